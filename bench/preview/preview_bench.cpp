// Preview cost: CPU per second of preview from a virtual camera, the time from a grab request to
// the BMP on disk, and the capture chain from the frame to its JPEG beside the JPEG encode alone.
// Run by hand: build/bench/preview_bench
#include "control/core/control.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "qx/media/devices.h"
#include "qx/media/preview_pipeline.h"

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <thread>
#include <vector>

namespace {

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void previewCpu(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    qputenv("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:%1x%2").arg(width).arg(height).toLatin1());
    auto devices = qx::media::enumerateVideoDevices();
    if (!devices || devices->empty()) {
        state.SkipWithError("no virtual camera");
        return;
    }
    std::atomic<long> frames{0};
    for (auto _ : state) {
        qx::media::PreviewPipeline pipeline;
        if (pipeline.build(devices->front(), width, height, [&](const qx::media::FrameView&) { ++frames; }) !=
                qx::media::PreviewStep::Ok ||
            pipeline.run() != qx::media::PreviewStep::Ok) {
            state.SkipWithError("preview did not start");
            return;
        }
        // Measure a steady stretch, after start-up.
        frames = 0;
        const double cpu0 = processCpuSeconds();
        const auto wall0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
        state.counters["cpu_s_per_s"] = (processCpuSeconds() - cpu0) / wall;
        state.counters["fps"] = frames / wall;
        pipeline.stop();
    }
}
BENCHMARK(previewCpu)->Args({1920, 1080})->Args({2592, 1944})->Iterations(1)->Unit(benchmark::kSecond);

// A shown control with the normal preview of a virtual camera of the benchmark's size, saving into a
// temporary folder.
struct PreviewingControl {
    explicit PreviewingControl(benchmark::State& state) {
        const int width = static_cast<int>(state.range(0));
        const int height = static_cast<int>(state.range(1));
        qputenv("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:%1x%2").arg(width).arg(height).toLatin1());
        qputenv("Temp", temp.path().toUtf8());
        container.resize(800, 600);
        control = new qx::control::CMorvelQxWebCtrl(&container, &ui, temp.path());
        control->resize(800, 600);
        container.show();
        control->RefreshDevList();
        control->RefreshResolution(0);
        control->SetResolution(0);
        started = control->StartPreviewProc() == 0;
        if (!started)
            state.SkipWithError("preview did not start");
        control->setCustomSavePath(temp.path() + QLatin1Char('/'));
    }
    QTemporaryDir temp;
    qx::ScriptedUiHost ui;
    QWidget container;
    qx::control::CMorvelQxWebCtrl* control = nullptr;
    bool started = false;
};

void grabToBmp(benchmark::State& state) {
    PreviewingControl previewing(state);
    if (!previewing.started)
        return;
    qx::control::CMorvelQxWebCtrl* control = previewing.control;
    for (auto _ : state) {
        if (control->Morvel(QStringLiteral("bmp")) != 0) {
            state.SkipWithError("capture failed");
            break;
        }
    }
    control->StopPreview();
}
BENCHMARK(grabToBmp)->Args({1920, 1080})->Args({2592, 1944})->Iterations(20)->Unit(benchmark::kMillisecond);

// Morvel("jpg") from the moment the frame is in hand to the JPEG on disk (the chain alone, without
// the wait for the next frame), beside the JPEG encode of the same frame alone: written to a file,
// and into memory.
void grabToJpegAndEncodeAlone(benchmark::State& state) {
    PreviewingControl previewing(state);
    if (!previewing.started)
        return;
    qx::control::CMorvelQxWebCtrl* control = previewing.control;
    using Clock = std::chrono::steady_clock;
    Clock::time_point taken;
    std::vector<double> chain;
    control->capture().setStageObserver([&](qx::control::Capture::Stage stage, const QString&) {
        if (stage == qx::control::Capture::Stage::PictureTaken)
            taken = Clock::now();
        else
            chain.push_back(std::chrono::duration<double, std::milli>(Clock::now() - taken).count());
    });
    for (auto _ : state) {
        if (control->Morvel(QStringLiteral("jpg")) != 0) {
            state.SkipWithError("capture failed");
            break;
        }
    }
    control->capture().setStageObserver({});
    // The same frame through the encoder alone.
    control->Morvel(QStringLiteral("bmp"));
    const auto frame = qx::imaging::loadBmp(control->cPicName());
    control->StopPreview();
    if (!frame || chain.empty())
        return;
    std::vector<double> toFile;
    std::vector<double> toMemory;
    const QString jpeg = previewing.temp.filePath(QStringLiteral("alone.jpg"));
    for (std::size_t i = 0; i < chain.size(); ++i) {
        Clock::time_point t0 = Clock::now();
        qx::imaging::saveJpeg(*frame, jpeg, 75);
        toFile.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        t0 = Clock::now();
        benchmark::DoNotOptimize(qx::imaging::encodeJpeg(*frame, 75));
        toMemory.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    state.counters["chain_ms"] = median(chain);
    state.counters["encode_to_file_ms"] = median(toFile);
    state.counters["encode_in_memory_ms"] = median(toMemory);
    state.counters["chain_over_encode"] = median(chain) / median(toFile);
}
BENCHMARK(grabToJpegAndEncodeAlone)
    ->Args({1280, 960})
    ->Args({2592, 1944})
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

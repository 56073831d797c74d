// Preview cost: CPU per second of preview from a virtual camera, and the time from a grab request to
// the BMP on disk. Run by hand: build/bench/preview_bench
#include "control/core/control.h"
#include "qx/interface/ui_host.h"
#include "qx/media/devices.h"
#include "qx/media/preview_pipeline.h"

#include <QApplication>
#include <QTemporaryDir>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <thread>

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

void grabToBmp(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    qputenv("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:%1x%2").arg(width).arg(height).toLatin1());
    QTemporaryDir temp;
    qputenv("Temp", temp.path().toUtf8());
    qx::ScriptedUiHost ui;
    QWidget container;
    container.resize(800, 600);
    auto* control = new qx::control::CMorvelQxWebCtrl(&container, &ui, temp.path());
    control->resize(800, 600);
    container.show();
    control->RefreshDevList();
    control->RefreshResolution(0);
    control->SetResolution(0);
    if (control->StartPreviewProc() != 0) {
        state.SkipWithError("preview did not start");
        return;
    }
    control->setCustomSavePath(temp.path() + QLatin1Char('/'));
    for (auto _ : state) {
        if (control->Morvel(QStringLiteral("bmp")) != 0) {
            state.SkipWithError("capture failed");
            break;
        }
    }
    control->StopPreview();
}
BENCHMARK(grabToBmp)->Args({1920, 1080})->Args({2592, 1944})->Iterations(20)->Unit(benchmark::kMillisecond);

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

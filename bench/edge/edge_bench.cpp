// Edge finding per 1920 x 1080 frame (the virtual camera's scene, and rendered scenes with and without
// a sheet), and the three colour modes on a 2592 x 1944 BMP (megapixels per second). Run by hand:
// build/bench/edge_bench
#include "edge_finder.h"
#include "qx/imaging/colour_modes.h"
#include "qx/media/virtual_camera.h"
#include "support/edge_scenes.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

namespace {

cv::Mat scene(int w, int h) {
    const QImage image =
        qx::media::VirtualCamera::renderDocumentScene(w, h).convertToFormat(QImage::Format_BGR888);
    return cv::Mat(image.height(), image.width(), CV_8UC3, const_cast<uchar*>(image.constBits()),
                   static_cast<std::size_t>(image.bytesPerLine()))
        .clone();
}

void findDocument1080p(benchmark::State& state) {
    const cv::Mat frame = scene(1920, 1080);
    for (auto _ : state)
        benchmark::DoNotOptimize(qx::kelpo::findDocument(frame));
}
BENCHMARK(findDocument1080p)->Unit(benchmark::kMillisecond);

// Sixteen rendered scenes in turn, half of them with a sheet: clutter and print cost more candidates.
void findDocument1080pScenes(benchmark::State& state) {
    std::vector<cv::Mat> frames;
    for (uint32_t seed = 200000; seed < 200008; ++seed) {
        frames.push_back(qx::scenes::renderSheet(1920, 1080, seed).frame);
        frames.push_back(qx::scenes::renderWithoutSheet(1920, 1080, seed).frame);
    }
    std::size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(qx::kelpo::detectDocument(frames[i++ % frames.size()]));
}
BENCHMARK(findDocument1080pScenes)->Unit(benchmark::kMillisecond);

void cropDocument1080p(benchmark::State& state) {
    const cv::Mat frame = scene(1920, 1080);
    const auto quad = qx::kelpo::findDocument(frame);
    for (auto _ : state)
        benchmark::DoNotOptimize(qx::kelpo::cropDocument(frame, *quad, 0));
}
BENCHMARK(cropDocument1080p)->Unit(benchmark::kMillisecond);

template <int Mode> void colourMode(benchmark::State& state) {
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.bmp"));
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    qx::media::VirtualCamera::renderDocumentScene(2592, 1944)
        .convertToFormat(QImage::Format_RGB888)
        .save(source);
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(path);
        QFile::copy(source, path);
        state.ResumeTiming();
        int threshold = 100;
        if constexpr (Mode == 0)
            qx::imaging::convertToGrey(path);
        else if constexpr (Mode == 1)
            qx::imaging::convertToBlackAndWhite(path, threshold);
        else
            qx::imaging::enhanceColour(path);
    }
    state.counters["MP_per_s"] =
        benchmark::Counter(2592.0 * 1944.0 / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(colourMode<0>)->Name("grey_2592x1944")->Unit(benchmark::kMillisecond);
BENCHMARK(colourMode<1>)->Name("blackAndWhite_2592x1944")->Unit(benchmark::kMillisecond);
BENCHMARK(colourMode<2>)->Name("enhancedColour_2592x1944")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

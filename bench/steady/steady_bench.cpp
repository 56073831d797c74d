// What watching the preview for still pages costs at 1920 x 1080, 30 frames a second: the copy the
// streaming thread makes, the watch's look at it on the control thread, and the judging of a still view.
#include "control/capture/frame_watch.h"
#include "control/features/page_watch.h"
#include "support/page_clips.h"

#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include <QCoreApplication>
#include <QGuiApplication>

namespace {

using qx::control::FrameWatch;
using qx::control::PageWatch;

cv::Mat clipFrame(double seconds) {
    qx::test::PageClipPlan plan;
    plan.width = 1920;
    plan.height = 1080;
    const QImage bgr = qx::test::renderClipFrame(plan, static_cast<int>(seconds * plan.fps))
                           .convertToFormat(QImage::Format_BGR888);
    return cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar*>(bgr.constBits()),
                   static_cast<std::size_t>(bgr.bytesPerLine()))
        .clone();
}

// A page lying still, and the hand bringing the next one.
const cv::Mat& stillFrame() {
    static const cv::Mat f = clipFrame(qx::test::pageClipTimes({}).settled[2] + 0.5);
    return f;
}
const cv::Mat& movingFrame() {
    static const cv::Mat f = clipFrame(qx::test::pageClipTimes({}).settled[3] - 0.3);
    return f;
}

qx::media::FrameView viewOf(const cv::Mat& m) {
    return {m.data, m.cols, m.rows, static_cast<int>(m.step)};
}

// One watched frame: the streaming thread's reduced copy, posted, and the watch's look at it.
void BM_WatchedFrame(benchmark::State& state) {
    FrameWatch frames(0);
    PageWatch watch;
    int64_t ms = 0;
    frames.setConsumer([&](const cv::Mat& bgr, int64_t) { benchmark::DoNotOptimize(watch.feed(bgr, ms)); });
    bool moving = false;
    for (auto _ : state) {
        // Alternating, so every frame is motion and the watch never judges (that is the next one).
        frames.offer(viewOf(moving ? movingFrame() : stillFrame()));
        QCoreApplication::processEvents();
        moving = !moving;
        ms += 100;
    }
}
BENCHMARK(BM_WatchedFrame)->Unit(benchmark::kMillisecond);

// Judging one still view: the edge finder, the print check and the signature, and the comparison.
void BM_JudgeStillView(benchmark::State& state) {
    cv::Mat work;
    cv::resize(stillFrame(), work, cv::Size(640, 360), 0, 0, cv::INTER_AREA);
    PageWatch watch;
    QString how;
    const auto before = watch.documentInView(work, how);
    for (auto _ : state) {
        const auto seen = watch.documentInView(work, how);
        benchmark::DoNotOptimize(seen && before ? PageWatch::similarity(*seen, *before) : 0.0);
    }
}
BENCHMARK(BM_JudgeStillView)->Unit(benchmark::kMillisecond);

// One second of preview at 30 frames a second as the control watches it: 10 frames copied and looked
// at (FrameWatch takes one each 100 ms; the other 20 cost an atomic read and a clock read), and one
// still view judged, as if a page were turned every second. core_percent is one core's share.
void BM_OneSecondAt30Fps(benchmark::State& state) {
    FrameWatch frames(0);
    PageWatch watch;
    int64_t ms = 0;
    frames.setConsumer([&](const cv::Mat& bgr, int64_t) { benchmark::DoNotOptimize(watch.feed(bgr, ms)); });
    cv::Mat work;
    cv::resize(stillFrame(), work, cv::Size(640, 360), 0, 0, cv::INTER_AREA);
    QString how;
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) {
            frames.offer(viewOf(i % 2 ? movingFrame() : stillFrame()));
            QCoreApplication::processEvents();
            ms += 100;
        }
        benchmark::DoNotOptimize(watch.documentInView(work, how));
    }
    state.counters["core_percent"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_OneSecondAt30Fps)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the pages' fonts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Hands reduced copies of preview frames to a watcher on the control thread, a few a second.
#pragma once

#include "qx/media/preview_pipeline.h"

#include <opencv2/core.hpp>

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace qx::control {

// Owned by the control, living on the control thread; the preview surface offers it every frame of
// whichever preview runs (the normal one and the edge-finding one).
//
// Threads: offer() runs on a streaming thread; setConsumer() and the consumer run on the control
// thread. At most one copy is on its way at a time, and none is made sooner than the interval after
// the last: a busy control thread gets fewer frames instead of a queue, and an unwatched preview
// pays one atomic read per frame. The copy goes over as a queued call onto this object, so it is
// dropped with it.
class FrameWatch : public QObject {
public:
    // A reduced BGR copy (at most `maxWidth` wide) and the time it arrived (steady clock, ms).
    using Consumer = std::function<void(const cv::Mat& bgr, int64_t ms)>;

    explicit FrameWatch(int intervalMs = 100, int maxWidth = 640)
        : m_intervalMs(intervalMs), m_maxWidth(maxWidth) {}

    // Control thread: an empty consumer stops the copies.
    void setConsumer(Consumer consumer);
    // Streaming thread.
    void offer(const media::FrameView& frame);

    static int64_t nowMs();

private:
    void deliver(const cv::Mat& bgr, int64_t ms);

    const int m_intervalMs;
    const int m_maxWidth;
    Consumer m_consumer; // control thread only
    std::atomic<bool> m_enabled{false};
    std::atomic<bool> m_inFlight{false};
    std::atomic<int64_t> m_last{0};
};

} // namespace qx::control

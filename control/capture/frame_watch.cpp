// Reduces a frame on the streaming thread, where the copy is cheapest, and posts it on.
#include "control/capture/frame_watch.h"

#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cmath>

namespace qx::control {

int64_t FrameWatch::nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void FrameWatch::setConsumer(Consumer consumer) {
    m_consumer = std::move(consumer);
    m_enabled = static_cast<bool>(m_consumer);
    m_inFlight = false;
}

void FrameWatch::offer(const media::FrameView& frame) {
    if (!m_enabled.load() || m_inFlight.load() || !frame.data || frame.width <= 0 || frame.height <= 0)
        return;
    const int64_t now = nowMs();
    if (now - m_last.load() < m_intervalMs)
        return;
    if (m_inFlight.exchange(true))
        return;
    m_last = now;
    const cv::Mat view(frame.height, frame.width, CV_8UC3, const_cast<uint8_t*>(frame.data),
                       static_cast<std::size_t>(frame.stride));
    cv::Mat copy;
    if (frame.width > m_maxWidth) {
        const int height = std::max(
            1, static_cast<int>(std::lround(static_cast<double>(frame.height) * m_maxWidth / frame.width)));
        cv::resize(view, copy, cv::Size(m_maxWidth, height), 0, 0, cv::INTER_AREA);
    } else {
        copy = view.clone();
    }
    QMetaObject::invokeMethod(
        this, [this, copy, now] { deliver(copy, now); }, Qt::QueuedConnection);
}

void FrameWatch::deliver(const cv::Mat& bgr, int64_t ms) {
    // The consumer may run a capture with events flowing; the next copy waits until it returns.
    // A copy: the consumer may be replaced (a stop) inside that wait.
    if (const Consumer consumer = m_consumer)
        consumer(bgr, ms);
    m_inFlight = false;
}

} // namespace qx::control

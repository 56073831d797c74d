// Hands copies of preview frames to a consumer outside the control, one frame per request.
#pragma once

#include "qx/interface/preview_tap.h"
#include "qx/media/preview_pipeline.h"

#include <atomic>
#include <mutex>

namespace qx::control {

class PreviewTap {
public:
    void setSink(QxPreviewTap::Sink sink);
    void request() { m_wanted = true; }
    // Streaming thread: copies the frame to the sink when one was requested.
    void offer(const media::FrameView& frame);

private:
    std::mutex m_mutex; // held while the sink runs, so detaching waits for a running call
    QxPreviewTap::Sink m_sink;
    std::atomic<bool> m_wanted{false};
};

} // namespace qx::control

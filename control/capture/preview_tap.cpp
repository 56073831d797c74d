// Copies a frame only when it was asked for, so an unwatched tap costs the preview one atomic read.
#include "control/capture/preview_tap.h"

namespace qx::control {

void PreviewTap::setSink(QxPreviewTap::Sink sink) {
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
}

void PreviewTap::offer(const media::FrameView& frame) {
    if (!m_wanted.load() || !frame.data || frame.width <= 0 || frame.height <= 0)
        return;
    std::lock_guard lock(m_mutex);
    if (!m_sink || !m_wanted.exchange(false))
        return;
    const QImage view(frame.data, frame.width, frame.height, frame.stride, QImage::Format_BGR888);
    m_sink(view.copy());
}

} // namespace qx::control

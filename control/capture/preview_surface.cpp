// Scales frames down on the streaming thread so painting stays cheap on the control thread.
#include "control/capture/preview_surface.h"

#include "control/core/control.h"

#include <QCoreApplication>

namespace qx::control {

void PreviewSurface::offer(const media::FrameView& frame, QObject* owner) {
    if (m_pending.load() || !owner)
        return;
    QSize target;
    {
        std::lock_guard lock(m_mutex);
        target = m_target;
    }
    if (target.isEmpty())
        return;
    const QImage view(frame.data, frame.width, frame.height, frame.stride, QImage::Format_BGR888);
    QImage scaled = view.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    {
        std::lock_guard lock(m_mutex);
        m_frame = std::move(scaled);
    }
    m_pending = true;
    QCoreApplication::postEvent(owner, new QEvent(kPreviewFrameEvent));
}

void PreviewSurface::setTargetSize(QSize size) {
    std::lock_guard lock(m_mutex);
    m_target = size;
}

QImage PreviewSurface::take() {
    std::lock_guard lock(m_mutex);
    m_pending = false;
    return m_frame;
}

QImage PreviewSurface::latest() const {
    std::lock_guard lock(m_mutex);
    return m_frame;
}

void PreviewSurface::clear() {
    std::lock_guard lock(m_mutex);
    m_frame = QImage();
    m_pending = false;
}

} // namespace qx::control

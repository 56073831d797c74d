// Scales frames down on the streaming thread so painting stays cheap on the control thread.
#include "control/capture/preview_surface.h"

#include "control/capture/frame_events.h"
#include "control/capture/frame_watch.h"
#include "control/capture/preview_tap.h"

#include <QCoreApplication>

namespace qx::control {

void PreviewSurface::offer(const media::FrameView& frame, QObject* owner, const QPolygonF* outline) {
    if (m_tap)
        m_tap->offer(frame);
    if (m_watch)
        m_watch->offer(frame);
    if (m_pending.load() || !owner || !m_shown.load())
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
    QPolygonF scaledOutline;
    if (outline) {
        const double sx = static_cast<double>(scaled.width()) / frame.width;
        const double sy = static_cast<double>(scaled.height()) / frame.height;
        for (const QPointF& p : *outline)
            scaledOutline << QPointF(p.x() * sx, p.y() * sy);
    }
    {
        std::lock_guard lock(m_mutex);
        m_frame = std::move(scaled);
        m_outline = std::move(scaledOutline);
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

QPolygonF PreviewSurface::outline() const {
    std::lock_guard lock(m_mutex);
    return m_outline;
}

void PreviewSurface::clear() {
    std::lock_guard lock(m_mutex);
    m_frame = QImage();
    m_outline.clear();
    m_pending = false;
}

} // namespace qx::control

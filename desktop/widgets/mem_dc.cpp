// CMemDC: an off-screen buffer over a rectangle of a painter, copied to it when the object ends.
#include "qx/desktop/mem_dc.h"

namespace qx::desktop {

namespace {
qreal pixelRatio(const QPainter& painter) {
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}
} // namespace

CMemDC::CMemDC(QPainter& target, const QRect& rect)
    : m_target(target), m_rect(rect),
      m_image(rect.size() * pixelRatio(target), QImage::Format_ARGB32_Premultiplied) {
    m_image.setDevicePixelRatio(pixelRatio(target));
    m_image.fill(Qt::transparent);
    m_painter.begin(&m_image);
    m_painter.setRenderHints(target.renderHints());
    m_painter.translate(-rect.topLeft());
}

CMemDC::~CMemDC() {
    m_painter.end();
    m_target.drawImage(m_rect.topLeft(), m_image);
}

} // namespace qx::desktop

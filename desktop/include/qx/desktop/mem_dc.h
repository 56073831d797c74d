// CMemDC: drawing into an off-screen image that reaches its target in one copy when the object ends.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>

namespace qx::desktop {

class CMemDC {
public:
    // `rect` is in the target's logical coordinates; the buffer matches the target's pixel ratio.
    CMemDC(QPainter& target, const QRect& rect);
    ~CMemDC();
    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    // Coordinates are those of the target: the buffer is translated to `rect`.
    QPainter& painter() { return m_painter; }
    QPainter* operator->() { return &m_painter; }
    const QImage& image() const { return m_image; }

private:
    QPainter& m_target;
    QRect m_rect;
    QImage m_image;
    QPainter m_painter;
};

} // namespace qx::desktop

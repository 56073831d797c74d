// The screen cut's rectangle: drawing, hit-testing the handles, moving and resizing, clipping.
#include "control/ui/cut_selection.h"

#include <algorithm>
#include <cstdlib>

namespace qx::control {

namespace {
// The rectangle between two corners in any order: a drag up or to the left gives the same
// rectangle with its corners swapped, never a negative size.
QRect between(int x0, int y0, int x1, int y1) {
    return {QPoint(std::min(x0, x1), std::min(y0, y1)), QSize(std::abs(x1 - x0), std::abs(y1 - y0))};
}
} // namespace

void CutSelection::press(QPoint p) {
    const Grip grip = gripAt(p);
    if (grip != Grip::None) {
        m_grip = grip;
        m_gripStart = p;
        m_gripOrigin = m_rect;
    } else if (!m_hasRect) {
        m_start = p;
        m_drawing = true;
    }
}

void CutSelection::moveTo(QPoint p) {
    if (m_drawing) {
        m_rect = between(m_start.x() + 1, m_start.y() + 1, p.x(), p.y());
        m_hasRect = true;
        return;
    }
    if (m_grip == Grip::None)
        return;
    const QPoint d = p - m_gripStart;
    int l = m_gripOrigin.x(), t = m_gripOrigin.y();
    int r = l + m_gripOrigin.width(), b = t + m_gripOrigin.height();
    const bool move = m_grip == Grip::Move;
    if (move || m_grip == Grip::Left || m_grip == Grip::TopLeft || m_grip == Grip::BottomLeft)
        l += d.x();
    if (move || m_grip == Grip::Right || m_grip == Grip::TopRight || m_grip == Grip::BottomRight)
        r += d.x();
    if (move || m_grip == Grip::Top || m_grip == Grip::TopLeft || m_grip == Grip::TopRight)
        t += d.y();
    if (move || m_grip == Grip::Bottom || m_grip == Grip::BottomLeft || m_grip == Grip::BottomRight)
        b += d.y();
    // A handle dragged past the opposite edge turns the rectangle over.
    m_rect = between(l, t, r, b);
}

void CutSelection::release() {
    m_drawing = false;
    m_grip = Grip::None;
}

void CutSelection::clear() {
    m_rect = QRect();
    m_hasRect = false;
    m_drawing = false;
    m_grip = Grip::None;
}

bool CutSelection::showsHandles() const {
    return m_hasRect && m_rect.width() >= 3 * kHandle && m_rect.height() >= 3 * kHandle;
}

QRect CutSelection::handleRect(Grip grip) const {
    const int l = m_rect.x(), t = m_rect.y(), r = m_rect.x() + m_rect.width(),
              b = m_rect.y() + m_rect.height();
    const int cx = (l + r - kHandle) / 2, cy = (t + b - kHandle) / 2;
    switch (grip) {
    case Grip::TopLeft:
        return {l, t, kHandle, kHandle};
    case Grip::Top:
        return {cx, t, kHandle, kHandle};
    case Grip::TopRight:
        return {r - kHandle, t, kHandle, kHandle};
    case Grip::Right:
        return {r - kHandle, cy, kHandle, kHandle};
    case Grip::BottomRight:
        return {r - kHandle, b - kHandle, kHandle, kHandle};
    case Grip::Bottom:
        return {cx, b - kHandle, kHandle, kHandle};
    case Grip::BottomLeft:
        return {l, b - kHandle, kHandle, kHandle};
    case Grip::Left:
        return {l, cy, kHandle, kHandle};
    case Grip::None:
    case Grip::Move:
        break;
    }
    return {};
}

CutSelection::Grip CutSelection::gripAt(QPoint p) const {
    if (!m_hasRect || m_rect.isEmpty())
        return Grip::None;
    if (showsHandles()) {
        for (Grip g : kHandles) {
            if (handleRect(g).contains(p))
                return g;
        }
    }
    return m_rect.contains(p) ? Grip::Move : Grip::None;
}

QRect CutSelection::onScreen(QSize screen) const {
    if (!m_hasRect)
        return {};
    return m_rect & QRect(QPoint(0, 0), screen);
}

} // namespace qx::control

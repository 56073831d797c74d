// The screen cut's rectangle: drawn by a drag, moved and resized by its handles, clipped to the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>

namespace qx::control {

// A value in device pixels of the screen, with no window behind it: the screen-cut window feeds it
// the left button's press, moves and release and draws what it holds. The rectangle is always
// normalised (no negative size), its right and bottom exclusive as the platform's rectangles are.
// A plain value: no thread of its own, no lock; it is used where the window lives.
class CutSelection {
public:
    // What a press grabbed: a handle, the inside (Move), or nothing.
    enum class Grip { None, Move, Left, Top, Right, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };
    // The handles in the order they are hit-tested and drawn: corners first.
    static constexpr std::array<Grip, 8> kHandles{Grip::TopLeft,    Grip::TopRight, Grip::BottomRight,
                                                  Grip::BottomLeft, Grip::Top,      Grip::Right,
                                                  Grip::Bottom,     Grip::Left};
    static constexpr int kHandle = 7; // a handle's side

    // The left button went down at `p`: on a handle or inside the rectangle it grabs that; with no
    // rectangle it starts a new one from `p`; outside an existing one it does nothing.
    void press(QPoint p);
    // The pointer is at `p`: a new rectangle runs from one past its start to `p`, whichever way the
    // drag went; a grabbed handle or inside follows the pointer.
    void moveTo(QPoint p);
    // The left button went up: whatever was drawn or grabbed stays as it is.
    void release();
    // No rectangle any more, nothing grabbed.
    void clear();

    bool hasRectangle() const { return m_hasRect; }
    // Normalised; null without a rectangle.
    QRect rect() const { return m_rect; }
    // A new rectangle is being drawn (from the press on, before the first move too).
    bool isDrawing() const { return m_drawing; }
    // The handle or inside being dragged; None when nothing is.
    Grip grabbed() const { return m_grip; }

    // What a press at `p` would grab. A rectangle too small for its handles is only moved.
    Grip gripAt(QPoint p) const;
    // Handles lie inside the rectangle, so they stay reachable at the screen's edges.
    QRect handleRect(Grip grip) const;
    bool showsHandles() const;
    bool contains(QPoint p) const { return m_hasRect && m_rect.contains(p); }
    // The part of the rectangle on a screen of `screen` device pixels; empty when none is.
    QRect onScreen(QSize screen) const;

private:
    QRect m_rect;
    bool m_hasRect = false;
    bool m_drawing = false;
    QPoint m_start;           // where the new rectangle's drag began
    Grip m_grip = Grip::None; // the handle (or the inside) being dragged
    QPoint m_gripStart;
    QRect m_gripOrigin;
};

} // namespace qx::control

// Dialog units of the program's dialog templates and their conversion to pixels for a font.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace qx::desktop {

// a * b / c rounded half away from zero, as the dialog manager rounds every edge.
int mulDiv(int a, int b, int c);

// The font the dialogs are laid out with: 9 pt WenQuanYi Zen Hei (the layout was drawn for 宋体 9 pt).
QFont dialogFont();

class DialogUnits {
public:
    constexpr DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    // The base units of `font`: the mean advance of the 52 Latin letters, rounded as the dialog
    // manager does, and the em height. The em height rather than the line height, because 宋体 has no
    // leading while WenQuanYi carries a third of its size: its line height would stretch the 611 x 445
    // main dialog to twice as tall as it is wide.
    static DialogUnits fromFont(const QFont& font);

    // The units the shipped artwork is drawn for: 9 pt at 96 dpi, 6 x 12.
    static constexpr DialogUnits reference() { return {6, 12}; }

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }
    int x(int units) const { return mulDiv(units, m_baseX, 4); }
    int y(int units) const { return mulDiv(units, m_baseY, 8); }

    // Each edge is converted on its own, so neighbouring controls stay flush.
    QRect map(const QRect& units) const;
    QSize mapSize(const QSize& units) const { return {x(units.width()), y(units.height())}; }

    bool operator==(const DialogUnits&) const = default;

private:
    int m_baseX;
    int m_baseY;
};

} // namespace qx::desktop

// Dialog-unit conversion with the dialog manager's rounding.
#include "qx/desktop/dialog_units.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <cstdlib>

namespace qx::desktop {

int mulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long q = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int>(negative ? -q : q);
}

QFont dialogFont() {
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPointSize(9);
    return font;
}

DialogUnits DialogUnits::fromFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = QFontInfo(font).pixelSize();
    return {baseX > 0 ? baseX : reference().baseX(), baseY > 0 ? baseY : reference().baseY()};
}

QRect DialogUnits::map(const QRect& units) const {
    const int left = x(units.x());
    const int top = y(units.y());
    const int right = x(units.x() + units.width());
    const int bottom = y(units.y() + units.height());
    return {left, top, right - left, bottom - top};
}

} // namespace qx::desktop

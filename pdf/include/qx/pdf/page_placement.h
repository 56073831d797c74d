// Where a picture sits on an A4 page: the lower-left corner for "boxsize {555 802} fitmethod meet".
#pragma once

namespace qx::pdf {

// The picture is fitted into a 555 x 802 point box 20 points in from the page's lower-left corner.
inline constexpr double kBoxWidth = 555;
inline constexpr double kBoxHeight = 802;
inline constexpr double kMargin = 20;

struct PagePlacement {
    double x = kMargin;
    double y = kMargin;
};

// Each kind of document keeps its own arithmetic (the order of the operations and the ratio they
// start from decide the last point when a difference is close to a whole number), so stored files
// stay as they always were.

// A capture's one-page PDF: r = w / h; when r < 555 / 802, x = trunc(|555 - 802 r|) / 2 + 20, else
// y = trunc(|802 - 555 / r|) / 2 + 20; the halving is an integer division.
PagePlacement capturePlacement(double width, double height);

// A page of a merged PDF: when w / h >= 555 / 802 (the picture is wider than the box), x = 20 and
// y = |trunc(802 - 555 h / w)| / 2 + 20; else x = |trunc(555 - 802 w / h)| / 2 + 20 and y = 20.
PagePlacement mergePlacement(double width, double height);

// A page of the desktop program's export of its list, in double precision throughout: when
// w / h < 555 / 802, x = |555 - 802 w / h| / 2 + 20 and y = 20; else x = 20 and
// y = |802 - 555 h / w| / 2 + 20 (a 1000 x 4000 picture at x = 197.25).
PagePlacement exportPlacement(double width, double height);

} // namespace qx::pdf

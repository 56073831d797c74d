// Canvas size, picture places and gap bands of a merged JPEG.
#include "control/features/merge_layout.h"

#include <algorithm>

namespace qx::control {

MergeLayout layOutMerge(const std::vector<QSize>& sizes, const MergeSettings& settings) {
    MergeLayout out;
    const int64_t gap = std::max(0, settings.gap);
    const auto n = static_cast<int64_t>(sizes.size());
    if (n == 0)
        return out;
    const auto band = [&](int64_t x, int64_t y, int64_t w, int64_t h) {
        if (gap > 0)
            out.bands.push_back({x, y, w, h});
    };
    if (settings.vertical) {
        for (const QSize& s : sizes) {
            out.width = std::max<int64_t>(out.width, s.width());
            out.height += s.height();
        }
        out.height += (n - 1) * gap;
        int64_t y = 0;
        for (int64_t i = 0; i < n; ++i) {
            const QSize& s = sizes[static_cast<std::size_t>(i)];
            out.pictures.push_back({0, y, s.width(), s.height()});
            if (i + 1 < n)
                band(0, y + s.height(), out.width, gap);
            y += s.height() + gap;
        }
        return out;
    }
    const int64_t columns = std::max(1, settings.columns);
    const int64_t rows = (n + columns - 1) / columns;
    // One entry per row, however many rows there are.
    std::vector<int64_t> rowWidth(static_cast<std::size_t>(rows), 0);
    std::vector<int64_t> rowHeight(static_cast<std::size_t>(rows), 0);
    for (int64_t i = 0; i < n; ++i) {
        const auto r = static_cast<std::size_t>(i / columns);
        rowWidth[r] += sizes[static_cast<std::size_t>(i)].width();
        rowHeight[r] = std::max<int64_t>(rowHeight[r], sizes[static_cast<std::size_t>(i)].height());
    }
    out.width = gap * (columns - 1) + *std::max_element(rowWidth.begin(), rowWidth.end());
    for (int64_t h : rowHeight)
        out.height += h;
    out.height += (rows - 1) * gap;
    int64_t y = 0;
    for (int64_t r = 0; r < rows; ++r) {
        const int64_t height = rowHeight[static_cast<std::size_t>(r)];
        int64_t x = 0;
        for (int64_t i = r * columns; i < std::min(n, (r + 1) * columns); ++i) {
            const QSize& s = sizes[static_cast<std::size_t>(i)];
            out.pictures.push_back({x, y, s.width(), s.height()});
            if (i % columns != columns - 1)
                band(x + s.width(), y, gap, height);
            x += s.width() + gap;
        }
        if (r + 1 < rows)
            band(0, y + height, out.width, gap);
        y += height + gap;
    }
    return out;
}

} // namespace qx::control

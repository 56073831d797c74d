// The merged JPEG's layout: where each picture and each gap band goes on the canvas.
#pragma once

#include <QSize>
#include <cstdint>
#include <vector>

namespace qx::control {

// What the merge-settings dialog gives, after its own rules: a gap of whole pixels (never negative),
// the gap's colour, one column or rows of `columns` (never below 1).
struct MergeSettings {
    int gap = 0;
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool vertical = true;
    int columns = 1;
};

struct CanvasRect {
    int64_t x = 0;
    int64_t y = 0;
    int64_t width = 0;
    int64_t height = 0;
    bool operator==(const CanvasRect&) const = default;
};

// Sizes are 64-bit so that a canvas too large for any picture file is measured, not overflowed.
struct MergeLayout {
    int64_t width = 0;
    int64_t height = 0;
    std::vector<CanvasRect> pictures; // one per picture, in merge order
    std::vector<CanvasRect> bands;    // the gap's colour; none when the gap is 0
};

// Vertical: one column as wide as the widest picture, a canvas-wide band after every picture but
// the last. Horizontal: rows of `columns` pictures, each row as high as its highest picture; a band
// follows every picture whose column is not the last one (a short last row's pictures included), a
// canvas-wide band every row but the last; the canvas is as wide as the widest row plus
// (columns - 1) gaps. Pictures keep their pixel size; what they do not cover stays white.
MergeLayout layOutMerge(const std::vector<QSize>& sizes, const MergeSettings& settings);

} // namespace qx::control

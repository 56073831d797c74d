// Choosing at most 256 colours for a true-colour picture and mapping its pixels to them.
#pragma once

#include "qx/imaging/picture.h"

#include <QRgb>
#include <cstdint>
#include <memory>
#include <vector>

namespace qx::imaging::detail {

// A picture of at most 256 colours keeps exactly those colours; any other gets the palette of
// Wu's variance-minimising colour quantizer (on 32 levels per channel).
class ColourMapper {
public:
    // `picture` must be well formed and of 24 or 32 bits.
    explicit ColourMapper(const Picture& picture);
    ~ColourMapper();
    ColourMapper(const ColourMapper&) = delete;
    ColourMapper& operator=(const ColourMapper&) = delete;

    const std::vector<QRgb>& palette() const { return m_palette; }
    bool isExact() const { return m_exact; }
    // Indexes of one row of B, G, R(, X) pixels.
    void mapRow(const uint8_t* row, int width, int bytesPerPixel, uint8_t* indexes) const;

private:
    struct ExactTable;
    std::vector<QRgb> m_palette;
    bool m_exact = false;
    std::unique_ptr<ExactTable> m_table;
    std::vector<uint8_t> m_tags; // Wu: the box of each 33 x 33 x 33 histogram cell
};

} // namespace qx::imaging::detail

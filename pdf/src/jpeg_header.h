// What a PDF image dictionary needs from a JPEG file, read from its markers up to the frame header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qx::pdf::detail {

struct JpegHeader {
    int width = 0;
    int height = 0;
    int components = 0; // 1, 3 or 4
    bool progressive = false;
    bool adobe = false; // an Adobe APP14 segment: four-component data is stored inverted
};

// Reads `size` bytes at `offset`; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, void* buffer, std::size_t size)>;

// The header of a JPEG of `fileSize` bytes; throws PdfError naming what is wrong: not a JPEG, cut
// short, a coding that PDF readers cannot decode (lossless, hierarchical, arithmetic, not 8 bits),
// or a component count without a PDF colour space.
JpegHeader readJpegHeader(const ReadAt& read, uint64_t fileSize);

} // namespace qx::pdf::detail

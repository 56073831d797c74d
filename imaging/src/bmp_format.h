// The layout of a BMP file as its headers describe it, checked against the file's size.
#pragma once

#include "qx/imaging/picture.h"

#include <QRgb>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace qx::imaging::detail {

// Enough for the longest information header, bit masks and a 256-entry palette.
constexpr std::size_t kBmpHeadBytes = 14 + 124 + 12 + 256 * 4;

struct BmpLayout {
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    int bitsPerPixel = 0;
    std::size_t stride = 0; // bytes per stored row
    uint64_t pixelOffset = 0;
    std::vector<QRgb> palette;
    double dpiX = 0;
    double dpiY = 0;
};

// `head` holds the first bytes of the file (up to kBmpHeadBytes); `fileSize` its whole size. Refuses
// anything whose rows or palette would lie past the file's end.
std::optional<BmpLayout> parseBmpHeader(const uint8_t* head, std::size_t headSize, uint64_t fileSize);

std::size_t minimumStride(int width, int bitsPerPixel);
// Whether the picture's fields describe pixels it really holds.
bool isWellFormed(const Picture& picture);
// Exactly 2^bits entries for 1- and 8-bit pictures: the picture's own, padded with black (so any
// index is safe), or black to white when it has none.
std::vector<QRgb> fullPalette(const Picture& picture);
std::vector<QRgb> fullPalette(const std::vector<QRgb>& palette, int bitsPerPixel);
bool isGrey(const std::vector<QRgb>& palette);
// Entry i is grey level i for every i: pixel values are already the grey levels.
bool isGreyRamp(const std::vector<QRgb>& palette);

// A BMP file opened for reading with its layout checked against its size; the descriptor closes with it.
struct OpenedBmp {
    OpenedBmp() = default;
    OpenedBmp(const OpenedBmp&) = delete;
    OpenedBmp& operator=(const OpenedBmp&) = delete;
    OpenedBmp(OpenedBmp&& other) noexcept;
    ~OpenedBmp();
    int fd = -1;
    BmpLayout layout;
};
std::optional<OpenedBmp> openBmp(const QString& path);

} // namespace qx::imaging::detail

// The byte layout of BMP files: header field places, little-endian fields, row strides and palettes.
#pragma once

// Header-only and free of Qt, so the outside libraries and the card library use the same layout as the
// picture readers and writers without linking them.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qx::bmp {

inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kInfoHeaderSize = 40; // the information header every writer writes
inline constexpr std::size_t kHeadersSize = kFileHeaderSize + kInfoHeaderSize;
inline constexpr std::size_t kPaletteEntrySize = 4;
inline constexpr uint32_t kBiRgb = 0;
inline constexpr uint32_t kBiBitfields = 3;

// Where each field lies, in bytes from the start of the file.
namespace field {
inline constexpr std::size_t kFileSize = 2;
inline constexpr std::size_t kPixelOffset = 10;
inline constexpr std::size_t kInfoSize = 14;
inline constexpr std::size_t kWidth = 18;
inline constexpr std::size_t kHeight = 22; // signed: positive when the rows run bottom-up
inline constexpr std::size_t kPlanes = 26;
inline constexpr std::size_t kBitsPerPixel = 28;
inline constexpr std::size_t kCompression = 30;
inline constexpr std::size_t kImageSize = 34;
inline constexpr std::size_t kPpmX = 38;
inline constexpr std::size_t kPpmY = 42;
inline constexpr std::size_t kColoursUsed = 46;
// The bit masks that follow a 40-byte header in BI_BITFIELDS files.
inline constexpr std::size_t kMasks = 54;
// The old 12-byte OS/2 header keeps 16-bit fields in other places.
inline constexpr std::size_t kCoreWidth = 18;
inline constexpr std::size_t kCoreHeight = 20;
inline constexpr std::size_t kCoreBitsPerPixel = 24;
} // namespace field

inline uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline bool hasSignature(const uint8_t* p) {
    return p[0] == 'B' && p[1] == 'M';
}

// Bytes of one stored row: rows are padded to whole 32-bit words.
constexpr std::size_t rowStride(int64_t width, int bitsPerPixel) {
    return static_cast<std::size_t>((width * bitsPerPixel + 31) / 32 * 4);
}

// Resolutions are stored as whole pixels per metre; 0 for a resolution that is not positive.
inline int32_t pixelsPerMetre(double dpi) {
    if (!(dpi > 0) || dpi > 1e6)
        return 0;
    return static_cast<int32_t>(std::lround(dpi / 0.0254));
}

// A whole dpi written earlier comes back a little off (214 dpi is stored as 8425 and reads 213.995);
// the whole dpi that stores as this value is meant.
inline double dpiFromPixelsPerMetre(int32_t ppm) {
    if (ppm <= 0)
        return 0;
    const double exact = ppm * 0.0254;
    const double whole = std::round(exact);
    return std::lround(whole / 0.0254) == ppm ? whole : exact;
}

// What an uncompressed picture's headers say; sizes and the pixel offset follow from it.
struct Header {
    int32_t width = 0;
    int32_t height = 0; // positive: the rows run bottom-up
    uint16_t bitsPerPixel = 24;
    uint32_t imageSize = 0; // bytes of the stored rows
    int32_t ppmX = 0;
    int32_t ppmY = 0;
    uint32_t paletteEntries = 0; // four-byte entries between the headers and the rows
};

inline uint32_t pixelOffset(const Header& h) {
    return static_cast<uint32_t>(kHeadersSize + h.paletteEntries * kPaletteEntrySize);
}

// The file header and a 40-byte information header (kHeadersSize bytes at `out`).
inline void writeHeaders(const Header& h, uint8_t* out) {
    std::memset(out, 0, kHeadersSize);
    out[0] = 'B';
    out[1] = 'M';
    put32(out + field::kFileSize, pixelOffset(h) + h.imageSize);
    put32(out + field::kPixelOffset, pixelOffset(h));
    put32(out + field::kInfoSize, static_cast<uint32_t>(kInfoHeaderSize));
    put32(out + field::kWidth, static_cast<uint32_t>(h.width));
    put32(out + field::kHeight, static_cast<uint32_t>(h.height));
    put16(out + field::kPlanes, 1);
    put16(out + field::kBitsPerPixel, h.bitsPerPixel);
    put32(out + field::kCompression, kBiRgb);
    put32(out + field::kImageSize, h.imageSize);
    put32(out + field::kPpmX, static_cast<uint32_t>(h.ppmX));
    put32(out + field::kPpmY, static_cast<uint32_t>(h.ppmY));
    put32(out + field::kColoursUsed, h.paletteEntries);
}

inline std::array<uint8_t, kHeadersSize> headers(const Header& h) {
    std::array<uint8_t, kHeadersSize> out;
    writeHeaders(h, out.data());
    return out;
}

// One palette entry as stored: blue, green, red and a zero byte.
inline void writePaletteEntry(uint8_t* out, uint8_t red, uint8_t green, uint8_t blue) {
    out[0] = blue;
    out[1] = green;
    out[2] = red;
    out[3] = 0;
}

} // namespace qx::bmp

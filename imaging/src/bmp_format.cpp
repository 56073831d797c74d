// The BMP header parser and the palette and resolution helpers shared by readers and writers.
#include "bmp_format.h"

#include <algorithm>
#include <cmath>

namespace qx::imaging {

bool Picture::isGreyPalette() const {
    return detail::isGrey(palette);
}

namespace detail {

namespace {

uint32_t get32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Far beyond any camera or merge canvas, and small enough that no size computation overflows.
constexpr int kMaxSide = 1 << 20;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

} // namespace

std::size_t minimumStride(int width, int bitsPerPixel) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32 * 4;
}

bool isWellFormed(const Picture& p) {
    if (p.width <= 0 || p.height <= 0 || p.width > kMaxSide || p.height > kMaxSide)
        return false;
    if (p.bitsPerPixel != 1 && p.bitsPerPixel != 8 && p.bitsPerPixel != 24 && p.bitsPerPixel != 32)
        return false;
    if (p.stride < 0 || static_cast<std::size_t>(p.stride) < minimumStride(p.width, p.bitsPerPixel))
        return false;
    return p.pixels.size() / static_cast<std::size_t>(p.stride) >= static_cast<std::size_t>(p.height);
}

std::vector<QRgb> fullPalette(const std::vector<QRgb>& palette, int bits) {
    if (bits != 1 && bits != 8)
        return {};
    const std::size_t n = std::size_t{1} << bits;
    std::vector<QRgb> out;
    out.reserve(n);
    if (palette.empty()) {
        for (std::size_t i = 0; i < n; ++i) {
            const int v = static_cast<int>(i * 255 / (n - 1));
            out.push_back(qRgb(v, v, v));
        }
        return out;
    }
    out.assign(palette.begin(), palette.begin() + static_cast<std::ptrdiff_t>(std::min(n, palette.size())));
    out.resize(n, qRgb(0, 0, 0));
    return out;
}

std::vector<QRgb> fullPalette(const Picture& picture) {
    return fullPalette(picture.palette, picture.bitsPerPixel);
}

bool isGrey(const std::vector<QRgb>& palette) {
    return std::all_of(palette.begin(), palette.end(),
                       [](QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); });
}

bool isGreyRamp(const std::vector<QRgb>& palette) {
    if (palette.size() != 256)
        return false;
    for (int i = 0; i < 256; ++i)
        if ((palette[i] & 0xFFFFFF) != (qRgb(i, i, i) & 0xFFFFFF))
            return false;
    return true;
}

double dpiFromPixelsPerMetre(int32_t ppm) {
    if (ppm <= 0)
        return 0;
    // Pixels per metre are whole numbers, so a whole dpi written earlier comes back a little off
    // (214 dpi is stored as 8425 and reads 213.995); the whole dpi that stores as this value is meant.
    const double exact = ppm * 0.0254;
    const double whole = std::round(exact);
    return std::lround(whole / 0.0254) == ppm ? whole : exact;
}

int32_t pixelsPerMetreFromDpi(double dpi) {
    if (!(dpi > 0) || dpi > 1e6)
        return 0;
    return static_cast<int32_t>(std::lround(dpi / 0.0254));
}

std::optional<BmpLayout> parseBmpHeader(const uint8_t* d, std::size_t headSize, uint64_t fileSize) {
    if (headSize < 26 || headSize > fileSize || d[0] != 'B' || d[1] != 'M')
        return std::nullopt;
    const uint32_t offset = get32(d + 10);
    const uint32_t infoSize = get32(d + 14);
    BmpLayout l;
    int64_t height = 0;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    std::size_t paletteEntryBytes = 4;
    std::size_t infoEnd = 14 + static_cast<std::size_t>(infoSize);
    if (infoSize == 12) {
        // The old OS/2 header: 16-bit sizes and three-byte palette entries.
        l.width = get16(d + 18);
        height = get16(d + 20);
        l.bitsPerPixel = get16(d + 24);
        paletteEntryBytes = 3;
    } else if (infoSize >= 40 && infoSize <= 124) {
        if (headSize < 54)
            return std::nullopt;
        l.width = static_cast<int32_t>(get32(d + 18));
        height = static_cast<int32_t>(get32(d + 22));
        l.bitsPerPixel = get16(d + 28);
        compression = get32(d + 30);
        l.dpiX = dpiFromPixelsPerMetre(static_cast<int32_t>(get32(d + 38)));
        l.dpiY = dpiFromPixelsPerMetre(static_cast<int32_t>(get32(d + 42)));
        coloursUsed = get32(d + 46);
    } else {
        return std::nullopt;
    }
    if (l.bitsPerPixel != 1 && l.bitsPerPixel != 8 && l.bitsPerPixel != 24 && l.bitsPerPixel != 32)
        return std::nullopt;
    if (compression == kBiBitfields && l.bitsPerPixel == 32) {
        // Only the masks of plain B, G, R bytes; the fourth byte is never taken as colour.
        // The masks follow a 40-byte header and are part of every longer one.
        const std::size_t masksAt = 54;
        if (infoSize == 40)
            infoEnd += 12;
        if (headSize < masksAt + 12 || get32(d + masksAt) != 0x00FF0000 ||
            get32(d + masksAt + 4) != 0x0000FF00 || get32(d + masksAt + 8) != 0x000000FF)
            return std::nullopt;
    } else if (compression != kBiRgb) {
        return std::nullopt;
    }
    if (l.width <= 0 || l.width > kMaxSide || height == 0 || height > kMaxSide || height < -kMaxSide)
        return std::nullopt;
    l.bottomUp = height > 0;
    l.height = static_cast<int>(height > 0 ? height : -height);
    if (infoSize == 12 && !l.bottomUp)
        return std::nullopt;

    std::size_t entries = 0;
    if (l.bitsPerPixel <= 8) {
        const std::size_t most = std::size_t{1} << l.bitsPerPixel;
        entries = coloursUsed == 0 ? most : coloursUsed;
        if (entries > most)
            return std::nullopt;
    }
    const std::size_t paletteEnd = infoEnd + entries * paletteEntryBytes;
    // The palette lies between the headers and the rows, and wholly inside what was read.
    if (paletteEnd > headSize || paletteEnd > offset)
        return std::nullopt;
    l.palette.reserve(entries);
    for (std::size_t i = 0; i < entries; ++i) {
        const uint8_t* e = d + infoEnd + i * paletteEntryBytes;
        l.palette.push_back(qRgb(e[2], e[1], e[0]));
    }
    l.stride = minimumStride(l.width, l.bitsPerPixel);
    l.pixelOffset = offset;
    const uint64_t pixelBytes = static_cast<uint64_t>(l.stride) * static_cast<uint64_t>(l.height);
    if (offset > fileSize || pixelBytes > fileSize - offset)
        return std::nullopt;
    return l;
}

} // namespace detail

} // namespace qx::imaging

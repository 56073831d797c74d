// The BMP header parser and the palette and resolution helpers shared by readers and writers.
#include "bmp_format.h"

#include "file_io.h"
#include "qx/imaging/bmp_layout.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace qx::imaging {

bool Picture::isGreyPalette() const {
    return detail::isGrey(palette);
}

QRgb Picture::colourAt(int x, int y) const {
    const uint8_t* row = pixels.data() + size_t(y) * size_t(stride);
    if (bitsPerPixel == 24 || bitsPerPixel == 32) {
        const uint8_t* px = row + size_t(x) * size_t(bitsPerPixel / 8);
        return qRgb(px[2], px[1], px[0]);
    }
    const int index = bitsPerPixel == 8 ? row[x] : (row[x / 8] >> (7 - x % 8)) & 1;
    if (palette.empty())
        return bitsPerPixel == 8 ? qRgb(index, index, index) : (index ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    return size_t(index) < palette.size() ? palette[size_t(index)] : qRgb(0, 0, 0);
}

namespace detail {

namespace {

using namespace bmp;

// Far beyond any camera or merge canvas, and small enough that no size computation overflows.
constexpr int kMaxSide = 1 << 20;

} // namespace

std::size_t minimumStride(int width, int bitsPerPixel) {
    return rowStride(width, bitsPerPixel);
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

std::optional<BmpLayout> parseBmpHeader(const uint8_t* d, std::size_t headSize, uint64_t fileSize) {
    if (headSize < 26 || headSize > fileSize || !hasSignature(d))
        return std::nullopt;
    const uint32_t offset = get32(d + field::kPixelOffset);
    const uint32_t infoSize = get32(d + field::kInfoSize);
    BmpLayout l;
    int64_t height = 0;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    std::size_t paletteEntryBytes = 4;
    std::size_t infoEnd = kFileHeaderSize + static_cast<std::size_t>(infoSize);
    if (infoSize == 12) {
        // The old OS/2 header: 16-bit sizes and three-byte palette entries.
        l.width = get16(d + field::kCoreWidth);
        height = get16(d + field::kCoreHeight);
        l.bitsPerPixel = get16(d + field::kCoreBitsPerPixel);
        paletteEntryBytes = 3;
    } else if (infoSize >= kInfoHeaderSize && infoSize <= 124) {
        if (headSize < kHeadersSize)
            return std::nullopt;
        l.width = static_cast<int32_t>(get32(d + field::kWidth));
        height = static_cast<int32_t>(get32(d + field::kHeight));
        l.bitsPerPixel = get16(d + field::kBitsPerPixel);
        compression = get32(d + field::kCompression);
        l.dpiX = dpiFromPixelsPerMetre(static_cast<int32_t>(get32(d + field::kPpmX)));
        l.dpiY = dpiFromPixelsPerMetre(static_cast<int32_t>(get32(d + field::kPpmY)));
        coloursUsed = get32(d + field::kColoursUsed);
    } else {
        return std::nullopt;
    }
    if (l.bitsPerPixel != 1 && l.bitsPerPixel != 8 && l.bitsPerPixel != 24 && l.bitsPerPixel != 32)
        return std::nullopt;
    if (compression == kBiBitfields && l.bitsPerPixel == 32) {
        // Only the masks of plain B, G, R bytes; the fourth byte is never taken as colour.
        // The masks follow a 40-byte header and are part of every longer one.
        const std::size_t masksAt = field::kMasks;
        if (infoSize == kInfoHeaderSize)
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

OpenedBmp::OpenedBmp(OpenedBmp&& other) noexcept
    : fd(std::exchange(other.fd, -1)), layout(std::move(other.layout)) {}

OpenedBmp::~OpenedBmp() {
    if (fd >= 0)
        ::close(fd);
}

std::optional<OpenedBmp> openBmp(const QString& path) {
    OpenedBmp bmp;
    bmp.fd = platform::openRegularFile(path);
    if (bmp.fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(bmp.fd, &st) != 0)
        return std::nullopt;
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    uint8_t head[kBmpHeadBytes];
    const long long got =
        readAt(bmp.fd, head, static_cast<std::size_t>(std::min<uint64_t>(sizeof head, fileSize)), 0);
    if (got <= 0)
        return std::nullopt;
    std::optional<BmpLayout> layout = parseBmpHeader(head, static_cast<std::size_t>(got), fileSize);
    if (!layout)
        return std::nullopt;
    bmp.layout = std::move(*layout);
    return bmp;
}

} // namespace detail

} // namespace qx::imaging

// BMP reading and writing straight between file and rows, and right-angle rotation.
#include "qx/imaging/picture.h"

#include "bmp_format.h"
#include "file_io.h"
#include "qx/imaging/bmp_layout.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace qx::imaging {

using namespace detail;

namespace {

// A picture of the layout's size, depth, palette and resolution, its pixels not yet read.
std::optional<Picture> emptyPictureOf(const BmpLayout& layout) {
    Picture p;
    p.width = layout.width;
    p.height = layout.height;
    p.bitsPerPixel = layout.bitsPerPixel;
    p.stride = static_cast<int>(layout.stride);
    p.palette = layout.palette;
    p.dpiX = layout.dpiX;
    p.dpiY = layout.dpiY;
    try {
        p.pixels.resize(layout.stride * static_cast<std::size_t>(p.height));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return p;
}

} // namespace

std::optional<Picture> loadBmp(const QString& path) {
    const std::optional<OpenedBmp> file = openBmp(path);
    if (!file)
        return std::nullopt;
    const int fd = file->fd;
    const BmpLayout* layout = &file->layout;
    std::optional<Picture> made = emptyPictureOf(*layout);
    if (!made)
        return std::nullopt;
    Picture& p = *made;
    const std::size_t total = p.pixels.size();
    if (!layout->bottomUp) {
        if (readAt(fd, p.pixels.data(), total, layout->pixelOffset) != static_cast<long long>(total))
            return std::nullopt;
        return made;
    }
    // Bottom-up rows land straight in their top-down places: one scattered read, no second pass.
    std::vector<iovec> parts(static_cast<std::size_t>(std::min(p.height, IOV_MAX)));
    uint64_t at = layout->pixelOffset;
    for (int first = 0; first < p.height;) {
        const int count = std::min(p.height - first, static_cast<int>(parts.size()));
        for (int i = 0; i < count; ++i) {
            parts[i].iov_base =
                p.pixels.data() + static_cast<std::size_t>(p.height - 1 - first - i) * layout->stride;
            parts[i].iov_len = layout->stride;
        }
        const std::size_t want = static_cast<std::size_t>(count) * layout->stride;
        ssize_t n;
        do
            n = ::preadv(fd, parts.data(), count, static_cast<off_t>(at));
        while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(want)) {
            // A short scattered read (rare: signals, odd file systems) is finished row by row.
            if (n < 0)
                return std::nullopt;
            for (int i = static_cast<int>(static_cast<std::size_t>(n) / layout->stride); i < count; ++i)
                if (readAt(fd, parts[i].iov_base, layout->stride,
                           at + static_cast<uint64_t>(i) * layout->stride) !=
                    static_cast<long long>(layout->stride))
                    return std::nullopt;
        }
        at += want;
        first += count;
    }
    return made;
}

std::optional<Picture> decodeBmp(QByteArrayView bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    const auto size = static_cast<std::size_t>(bytes.size());
    const std::optional<BmpLayout> layout = parseBmpHeader(data, std::min(size, kBmpHeadBytes), size);
    if (!layout)
        return std::nullopt;
    std::optional<Picture> made = emptyPictureOf(*layout);
    if (!made)
        return std::nullopt;
    Picture& p = *made;
    for (int y = 0; y < p.height; ++y) {
        const int stored = layout->bottomUp ? p.height - 1 - y : y;
        std::memcpy(p.pixels.data() + static_cast<std::size_t>(y) * layout->stride,
                    data + layout->pixelOffset + static_cast<uint64_t>(stored) * layout->stride,
                    layout->stride);
    }
    return made;
}

bool saveBmp(const Picture& picture, const QString& path) {
    if (!isWellFormed(picture))
        return false;
    const int bits = picture.bitsPerPixel;
    std::vector<QRgb> palette;
    if (bits <= 8) {
        palette = picture.palette.empty() ? fullPalette(picture) : picture.palette;
        palette.resize(std::min(palette.size(), std::size_t{1} << bits));
    }
    const std::size_t stride = minimumStride(picture.width, bits);
    const uint64_t pixelBytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(picture.height);
    const uint64_t offset = bmp::kHeadersSize + palette.size() * bmp::kPaletteEntrySize;
    if (offset + pixelBytes > std::numeric_limits<uint32_t>::max())
        return false;

    std::vector<uint8_t> head(static_cast<std::size_t>(offset), 0);
    bmp::Header header;
    header.width = picture.width;
    header.height = picture.height;
    header.bitsPerPixel = static_cast<uint16_t>(bits);
    header.imageSize = static_cast<uint32_t>(pixelBytes);
    header.ppmX = bmp::pixelsPerMetre(picture.dpiX);
    header.ppmY = bmp::pixelsPerMetre(picture.dpiY);
    header.paletteEntries = static_cast<uint32_t>(palette.size());
    bmp::writeHeaders(header, head.data());
    for (std::size_t i = 0; i < palette.size(); ++i)
        bmp::writePaletteEntry(
            &head[bmp::kHeadersSize + i * bmp::kPaletteEntrySize], static_cast<uint8_t>(qRed(palette[i])),
            static_cast<uint8_t>(qGreen(palette[i])), static_cast<uint8_t>(qBlue(palette[i])));

    ReplacingFile out(path);
    if (!out.open() || !out.write(head.data(), head.size()))
        return false;
    const std::size_t used = (static_cast<std::size_t>(picture.width) * bits + 7) / 8;
    const uint8_t zeros[4] = {0, 0, 0, 0};
    for (int y = picture.height - 1; y >= 0; --y) {
        const uint8_t* row = picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride;
        // Padding is written as zeros, whatever the caller's rows hold beyond the pixels.
        if (!out.write(row, used) || (stride > used && !out.write(zeros, stride - used)))
            return false;
    }
    return out.commit();
}

namespace {

// Tiles keep both the rows read and the rows written in cache while columns become rows.
constexpr int kTile = 32;

template <int Bytes> void copyPixel(const uint8_t* from, uint8_t* to) {
    std::memcpy(to, from, Bytes);
}

// dst(x, y) = src(sx, sy) with (sx, sy) = map(x, y); for whole-byte pixels.
template <int Bytes, typename Map> void remapBytes(const Picture& s, Picture& d, Map map) {
    for (int ty = 0; ty < d.height; ty += kTile) {
        const int yEnd = std::min(ty + kTile, d.height);
        for (int tx = 0; tx < d.width; tx += kTile) {
            const int xEnd = std::min(tx + kTile, d.width);
            for (int y = ty; y < yEnd; ++y) {
                uint8_t* out = d.pixels.data() + static_cast<std::size_t>(y) * d.stride;
                for (int x = tx; x < xEnd; ++x) {
                    const auto [sx, sy] = map(x, y);
                    copyPixel<Bytes>(s.pixels.data() + static_cast<std::size_t>(sy) * s.stride +
                                         static_cast<std::size_t>(sx) * Bytes,
                                     out + static_cast<std::size_t>(x) * Bytes);
                }
            }
        }
    }
}

template <typename Map> void remapBits(const Picture& s, Picture& d, Map map) {
    for (int ty = 0; ty < d.height; ty += kTile) {
        const int yEnd = std::min(ty + kTile, d.height);
        for (int tx = 0; tx < d.width; tx += kTile) {
            const int xEnd = std::min(tx + kTile, d.width);
            for (int y = ty; y < yEnd; ++y) {
                uint8_t* out = d.pixels.data() + static_cast<std::size_t>(y) * d.stride;
                for (int x = tx; x < xEnd; ++x) {
                    const auto [sx, sy] = map(x, y);
                    const uint8_t byte = s.pixels[static_cast<std::size_t>(sy) * s.stride + (sx >> 3)];
                    if (byte & (0x80 >> (sx & 7)))
                        out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                }
            }
        }
    }
}

template <typename Map> void remap(const Picture& s, Picture& d, Map map) {
    switch (s.bitsPerPixel) {
    case 1:
        remapBits(s, d, map);
        break;
    case 8:
        remapBytes<1>(s, d, map);
        break;
    case 24:
        remapBytes<3>(s, d, map);
        break;
    default:
        remapBytes<4>(s, d, map);
        break;
    }
}

struct Point {
    int x, y;
};

} // namespace

Picture rotateClockwise(const Picture& picture, int degrees) {
    if (!isWellFormed(picture))
        return Picture{};
    const int turn = (degrees % 360 + 360) % 360;
    if (turn != 90 && turn != 180 && turn != 270)
        return picture;
    Picture d;
    d.bitsPerPixel = picture.bitsPerPixel;
    d.palette = picture.palette;
    const bool quarter = turn != 180;
    d.width = quarter ? picture.height : picture.width;
    d.height = quarter ? picture.width : picture.height;
    d.dpiX = quarter ? picture.dpiY : picture.dpiX;
    d.dpiY = quarter ? picture.dpiX : picture.dpiY;
    d.stride = static_cast<int>(minimumStride(d.width, d.bitsPerPixel));
    d.pixels.assign(static_cast<std::size_t>(d.stride) * d.height, 0);
    const int w = picture.width;
    const int h = picture.height;
    if (turn == 90)
        remap(picture, d, [h](int x, int y) { return Point{y, h - 1 - x}; });
    else if (turn == 270)
        remap(picture, d, [w](int x, int y) { return Point{w - 1 - y, x}; });
    else
        remap(picture, d, [w, h](int x, int y) { return Point{w - 1 - x, h - 1 - y}; });
    return d;
}

} // namespace qx::imaging

// The three pixel algorithms over a common read-convert-replace frame for 24-bit BMP files.
#include "qx/imaging/colour_modes.h"

#include "file_io.h"

#include "qx/imaging/bmp_layout.h"

#include <QFile>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qx::imaging {

namespace {

using namespace bmp;

constexpr int kMaxSide = 65535;

struct BmpFile {
    // The file header and the first 40 bytes of the information header, as read.
    uint8_t headers[kHeadersSize];
    int width = 0;
    int height = 0; // rows, whatever the sign of the header's height
    std::size_t rowBytes = 0;
    std::vector<uint8_t> pixels; // rows as stored
};

ColourResult readPicture(const QString& path, BmpFile& pic) {
    const std::unique_ptr<QFile> f = detail::openForReading(path);
    if (!f)
        return ColourResult::Unreadable;
    const QByteArray data = f->readAll();
    if (f->error() != QFile::NoError)
        return ColourResult::Unreadable;
    const auto* d = reinterpret_cast<const uint8_t*>(data.constData());
    const std::size_t size = static_cast<std::size_t>(data.size());
    if (size < kHeadersSize || !hasSignature(d))
        return ColourResult::NotSupported;
    const uint32_t offset = get32(d + field::kPixelOffset);
    const uint32_t headerSize = get32(d + field::kInfoSize);
    const auto width = static_cast<int32_t>(get32(d + field::kWidth));
    const auto height = static_cast<int32_t>(get32(d + field::kHeight));
    if (headerSize < kInfoHeaderSize || offset < kFileHeaderSize + headerSize ||
        get16(d + field::kBitsPerPixel) != 24 || get32(d + field::kCompression) != kBiRgb || width <= 0 ||
        width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
        return ColourResult::NotSupported;
    pic.width = width;
    pic.height = height < 0 ? -height : height;
    pic.rowBytes = rowStride(width, 24);
    const std::size_t pixelBytes = pic.rowBytes * static_cast<std::size_t>(pic.height);
    // A header that claims more rows than the file holds is not read past the file's end.
    if (offset > size || pixelBytes > size - offset)
        return ColourResult::NotSupported;
    std::memcpy(pic.headers, d, kHeadersSize);
    pic.pixels.assign(d + offset, d + offset + pixelBytes);
    return ColourResult::Converted;
}

// Writes headers, palette and rows to a temporary file and renames it over the picture. The pixel
// offset is that of the headers written (a longer information header of the input is not kept).
ColourResult writePicture(const QString& path, BmpFile& pic, uint16_t bits,
                          const std::vector<uint8_t>& palette, const std::vector<uint8_t>& rows,
                          std::size_t imageSize) {
    put32(pic.headers + field::kPixelOffset, static_cast<uint32_t>(kHeadersSize + palette.size()));
    put32(pic.headers + field::kInfoSize, static_cast<uint32_t>(kInfoHeaderSize));
    put16(pic.headers + field::kBitsPerPixel, bits);
    put32(pic.headers + field::kImageSize, static_cast<uint32_t>(imageSize));
    detail::ReplacingFile out(path);
    if (!out.open())
        return ColourResult::WriteFailed;
    if (!out.write(pic.headers, kHeadersSize) ||
        (!palette.empty() && !out.write(palette.data(), palette.size())) ||
        !out.write(rows.data(), rows.size()))
        return ColourResult::WriteFailed;
    return out.commit() ? ColourResult::Converted : ColourResult::WriteFailed;
}

// The pixel rules, shared by the file and the in-memory forms.
void greyRow(const uint8_t* in, uint8_t* out, int width) {
    for (int x = 0; x < width; ++x, in += 3)
        out[x] = static_cast<uint8_t>(0.3 * in[0] + 0.6 * in[1] + 0.1 * in[2]);
}

void blackAndWhiteRow(const uint8_t* in, uint8_t* out, int width, int threshold) {
    const int dark = 3 * threshold;
    const int light = 6 * threshold;
    for (int x = 0; x < width; ++x, in += 3) {
        const int s = in[0] + in[1] + in[2];
        if (s <= dark || s >= light)
            out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
}

void enhanceRow(uint8_t* p, int width) {
    for (int x = 0; x < width; ++x, p += 3) {
        const int b = p[0], g = p[1], r = p[2];
        if (b > 100 && g > 100 && r > 100) {
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<uint8_t>(p[c] <= 154 ? p[c] + 100 : 254);
        } else if (b < 100 && g < 100 && r > 120) {
            p[2] = static_cast<uint8_t>(r <= 154 ? r + 100 : 250);
        }
    }
}

bool isColourPicture(const qx::imaging::Picture& p) {
    return p.bitsPerPixel == 24 && p.width > 0 && p.height > 0 && p.stride >= p.width * 3 &&
           p.pixels.size() >= static_cast<std::size_t>(p.stride) * static_cast<std::size_t>(p.height);
}

} // namespace

QString colourResultText(ColourResult r) {
    switch (r) {
    case ColourResult::Converted:
        return QStringLiteral("converted");
    case ColourResult::Unreadable:
        return QStringLiteral("the picture cannot be read");
    case ColourResult::NotSupported:
        return QStringLiteral("not an uncompressed 24-bit BMP, or its header does not fit the file");
    case ColourResult::WriteFailed:
        return QStringLiteral("the converted picture cannot be written");
    }
    return QString();
}

ColourResult convertToGrey(const QString& path) {
    BmpFile pic;
    if (const ColourResult r = readPicture(path, pic); r != ColourResult::Converted)
        return r;
    const std::size_t outRow = rowStride(pic.width, 8);
    std::vector<uint8_t> rows(outRow * static_cast<std::size_t>(pic.height), 0);
    for (int y = 0; y < pic.height; ++y) {
        const uint8_t* in = pic.pixels.data() + static_cast<std::size_t>(y) * pic.rowBytes;
        greyRow(in, rows.data() + static_cast<std::size_t>(y) * outRow, pic.width);
    }
    std::vector<uint8_t> palette(256 * kPaletteEntrySize);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<uint8_t>(i);
        writePaletteEntry(&palette[static_cast<std::size_t>(i) * kPaletteEntrySize], v, v, v);
    }
    // The file-size field keeps the value read, as the algorithm has always left it.
    return writePicture(path, pic, 8, palette, rows, outRow * static_cast<std::size_t>(pic.height));
}

ColourResult convertToBlackAndWhite(const QString& path, int& threshold) {
    if (threshold < 0 || threshold > 255)
        threshold = 100;
    BmpFile pic;
    if (const ColourResult r = readPicture(path, pic); r != ColourResult::Converted)
        return r;
    const std::size_t outRow = rowStride(pic.width, 1);
    std::vector<uint8_t> rows(outRow * static_cast<std::size_t>(pic.height), 0);
    for (int y = 0; y < pic.height; ++y)
        blackAndWhiteRow(pic.pixels.data() + static_cast<std::size_t>(y) * pic.rowBytes,
                         rows.data() + static_cast<std::size_t>(y) * outRow, pic.width, threshold);
    const std::vector<uint8_t> palette{255, 255, 255, 0, 0, 0, 0, 0};
    return writePicture(path, pic, 1, palette, rows, outRow * static_cast<std::size_t>(pic.height));
}

ColourResult enhanceColour(const QString& path) {
    BmpFile pic;
    if (const ColourResult r = readPicture(path, pic); r != ColourResult::Converted)
        return r;
    std::vector<uint8_t> rows = pic.pixels;
    for (int y = 0; y < pic.height; ++y)
        enhanceRow(rows.data() + static_cast<std::size_t>(y) * pic.rowBytes, pic.width);
    const std::size_t imageSize = rowStride(pic.width, 24) * static_cast<std::size_t>(pic.height);
    return writePicture(path, pic, 24, {}, rows, imageSize);
}

ColourResult convertToGrey(qx::imaging::Picture& picture) {
    if (!isColourPicture(picture))
        return ColourResult::NotSupported;
    const std::size_t outRow = rowStride(picture.width, 8);
    std::vector<uint8_t> rows(outRow * static_cast<std::size_t>(picture.height), 0);
    for (int y = 0; y < picture.height; ++y)
        greyRow(picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride,
                rows.data() + static_cast<std::size_t>(y) * outRow, picture.width);
    picture.bitsPerPixel = 8;
    picture.stride = static_cast<int>(outRow);
    picture.pixels = std::move(rows);
    picture.palette.resize(256);
    for (int i = 0; i < 256; ++i)
        picture.palette[static_cast<std::size_t>(i)] = qRgb(i, i, i);
    return ColourResult::Converted;
}

ColourResult convertToBlackAndWhite(qx::imaging::Picture& picture, int& threshold) {
    if (threshold < 0 || threshold > 255)
        threshold = 100;
    if (!isColourPicture(picture))
        return ColourResult::NotSupported;
    const std::size_t outRow = rowStride(picture.width, 1);
    std::vector<uint8_t> rows(outRow * static_cast<std::size_t>(picture.height), 0);
    for (int y = 0; y < picture.height; ++y)
        blackAndWhiteRow(picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride,
                         rows.data() + static_cast<std::size_t>(y) * outRow, picture.width, threshold);
    picture.bitsPerPixel = 1;
    picture.stride = static_cast<int>(outRow);
    picture.pixels = std::move(rows);
    picture.palette = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    return ColourResult::Converted;
}

ColourResult enhanceColour(qx::imaging::Picture& picture) {
    if (!isColourPicture(picture))
        return ColourResult::NotSupported;
    for (int y = 0; y < picture.height; ++y)
        enhanceRow(picture.pixels.data() + static_cast<std::size_t>(y) * picture.stride, picture.width);
    return ColourResult::Converted;
}

} // namespace qx::imaging

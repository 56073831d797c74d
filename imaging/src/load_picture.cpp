// Loading any picture file the chain reads: our BMP reader, libjpeg-turbo, else Qt's readers.
#include "qx/imaging/picture.h"

#include "bmp_format.h"
#include "file_io.h"
#include "jpeg_codec.h"
#include "qx/imaging/bmp_layout.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace qx::imaging {

using namespace detail;

namespace {
// Whether the BMP is of a kind our reader takes: the old 12-byte header, or uncompressed (or masked
// 32-bit) 1, 8, 24 or 32 bits.
bool isPlainBmp(const QString& path) {
    const std::unique_ptr<QFile> f = openForReading(path);
    if (!f)
        return false;
    const QByteArray head = f->read(34);
    if (head.size() < 18)
        return false;
    const auto* d = reinterpret_cast<const uchar*>(head.constData());
    if (qFromLittleEndian<uint32_t>(d + 14) < 40)
        return true;
    if (head.size() < 34)
        return false;
    const uint16_t bits = qFromLittleEndian<uint16_t>(d + 28);
    const uint32_t compression = qFromLittleEndian<uint32_t>(d + 30);
    return (compression == 0 || compression == 3) && (bits == 1 || bits == 8 || bits == 24 || bits == 32);
}

std::optional<Picture> load(const QString& path, bool refuseDamaged) {
    const std::unique_ptr<QFile> file = openForReading(path);
    uint8_t magic[2] = {0, 0};
    if (!file || file->read(reinterpret_cast<char*>(magic), 2) != 2)
        return std::nullopt;
    if (magic[0] == 'B' && magic[1] == 'M') {
        if (std::optional<Picture> p = loadBmp(path))
            return p;
        // Compressed BMPs (RLE, 16-bit) fall through to Qt's reader. One of the kinds our reader
        // takes was refused as damaged: Qt's reader would fill the rows a cut-short file lacks.
        if (isPlainBmp(path))
            return std::nullopt;
    } else if (magic[0] == 0xFF && magic[1] == 0xD8) {
        if (std::optional<Picture> p = decodeJpegFile(path, refuseDamaged))
            return p;
        // Qt's reader would complete the damaged rows just as libjpeg does.
        if (refuseDamaged)
            return std::nullopt;
    }
    if (!file->seek(0))
        return std::nullopt;
    QImageReader reader(file.get());
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    image = image.convertToFormat(QImage::Format_BGR888);
    if (image.isNull())
        return std::nullopt;
    Picture p;
    p.width = image.width();
    p.height = image.height();
    p.bitsPerPixel = 24;
    p.stride = static_cast<int>(minimumStride(p.width, 24));
    p.pixels.resize(static_cast<std::size_t>(p.stride) * p.height);
    for (int y = 0; y < p.height; ++y)
        std::memcpy(p.pixels.data() + static_cast<std::size_t>(y) * p.stride, image.constScanLine(y),
                    static_cast<std::size_t>(p.width) * 3);
    p.dpiX = image.dotsPerMeterX() > 0 ? bmp::dpiFromPixelsPerMetre(image.dotsPerMeterX()) : 0;
    p.dpiY = image.dotsPerMeterY() > 0 ? bmp::dpiFromPixelsPerMetre(image.dotsPerMeterY()) : 0;
    return p;
}
} // namespace

std::optional<Picture> loadPicture(const QString& path) {
    return load(path, false);
}

std::optional<Picture> decodeJpeg(QByteArrayView bytes) {
    return decodeJpegBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                           static_cast<std::size_t>(bytes.size()), false);
}

std::optional<Picture> loadIntactPicture(const QString& path) {
    return load(path, true);
}

namespace {

bool isChainFormat(QFile& file) {
    uint8_t magic[2] = {0, 0};
    if (file.read(reinterpret_cast<char*>(magic), 2) != 2 || !file.seek(0))
        return false;
    return (magic[0] == 'B' && magic[1] == 'M') || (magic[0] == 0xFF && magic[1] == 0xD8);
}

Picture fromImage(QImage image) {
    Picture p;
    int bits = 24;
    if (image.format() == QImage::Format_MonoLSB)
        image = image.convertToFormat(QImage::Format_Mono);
    if (image.format() == QImage::Format_Mono) {
        bits = 1;
        const QList<QRgb> table = image.colorTable();
        p.palette.assign(table.begin(), table.end());
    } else if (image.format() == QImage::Format_Indexed8) {
        bits = 8;
        const QList<QRgb> table = image.colorTable();
        p.palette.assign(table.begin(), table.end());
    } else if (image.format() == QImage::Format_Grayscale8) {
        bits = 8; // an empty palette means grey levels
    } else {
        image = image.convertToFormat(QImage::Format_BGR888);
    }
    p.width = image.width();
    p.height = image.height();
    p.bitsPerPixel = bits;
    p.stride = static_cast<int>(minimumStride(p.width, bits));
    p.pixels.resize(static_cast<std::size_t>(p.stride) * p.height);
    const std::size_t used = (static_cast<std::size_t>(p.width) * bits + 7) / 8;
    for (int y = 0; y < p.height; ++y)
        std::memcpy(p.pixels.data() + static_cast<std::size_t>(y) * p.stride, image.constScanLine(y), used);
    p.dpiX = image.dotsPerMeterX() > 0 ? bmp::dpiFromPixelsPerMetre(image.dotsPerMeterX()) : 0;
    p.dpiY = image.dotsPerMeterY() > 0 ? bmp::dpiFromPixelsPerMetre(image.dotsPerMeterY()) : 0;
    return p;
}

} // namespace

int picturePageCount(const QString& path) {
    const std::unique_ptr<QFile> file = openForReading(path);
    if (!file)
        return 0;
    if (isChainFormat(*file))
        return loadPicture(path) ? 1 : 0;
    QImageReader reader(file.get());
    if (!reader.canRead())
        return 0;
    // Readers that cannot count (or do not know) hold one picture.
    return std::max(1, reader.imageCount());
}

std::optional<Picture> loadPicturePage(const QString& path, int index) {
    if (index < 0)
        return std::nullopt;
    const std::unique_ptr<QFile> file = openForReading(path);
    if (!file)
        return std::nullopt;
    if (isChainFormat(*file))
        return index == 0 ? loadPicture(path) : std::nullopt;
    QImageReader reader(file.get());
    reader.setAutoTransform(false);
    if (index > 0) {
        if (const int count = reader.imageCount(); count > 0 && index >= count)
            return std::nullopt;
        // Readers that cannot jump (Qt's GIF reader) reach a later frame by reading those before it.
        if (!reader.jumpToImage(index)) {
            for (int skipped = 0; skipped < index; ++skipped)
                if (reader.read().isNull())
                    return std::nullopt;
        }
    }
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return fromImage(image);
}

} // namespace qx::imaging

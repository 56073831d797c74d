// Writes BMP files without Qt's writer, whose choice of bit depth and header follows the image format.
#include "bmp_file.h"

#include <QByteArray>
#include <QSaveFile>

#include <cstdint>

namespace qx::idcard {

namespace {

void put16(QByteArray& out, uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void put32(QByteArray& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

} // namespace

bool writeBmp(const QImage& image, const QString& path, int bitsPerPixel) {
    if (image.isNull() || (bitsPerPixel != 24 && bitsPerPixel != 32))
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const uint32_t width = static_cast<uint32_t>(rgb.width());
    const uint32_t height = static_cast<uint32_t>(rgb.height());
    const uint32_t bytesPerPixel = static_cast<uint32_t>(bitsPerPixel) / 8;
    const uint32_t stride = (width * static_cast<uint32_t>(bitsPerPixel) + 31) / 32 * 4;
    const uint32_t imageSize = stride * height;

    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(54 + imageSize));
    bytes.append("BM", 2);
    put32(bytes, 54 + imageSize);
    put16(bytes, 0);
    put16(bytes, 0);
    put32(bytes, 54);
    put32(bytes, 40);
    put32(bytes, width);
    put32(bytes, height);
    put16(bytes, 1);
    put16(bytes, static_cast<uint16_t>(bitsPerPixel));
    put32(bytes, 0);
    put32(bytes, imageSize);
    put32(bytes, 0);
    put32(bytes, 0);
    put32(bytes, 0);
    put32(bytes, 0);

    QByteArray row(static_cast<qsizetype>(stride), '\0');
    for (int y = static_cast<int>(height) - 1; y >= 0; --y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        char* out = row.data();
        for (uint32_t x = 0; x < width; ++x) {
            *out++ = static_cast<char>(qBlue(line[x]));
            *out++ = static_cast<char>(qGreen(line[x]));
            *out++ = static_cast<char>(qRed(line[x]));
            if (bytesPerPixel == 4)
                *out++ = static_cast<char>(0xFF);
        }
        bytes.append(row);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace qx::idcard

// Writes BMP files without Qt's writer, whose choice of bit depth and header follows the image format.
#include "bmp_file.h"

#include "qx/imaging/bmp_layout.h"

#include <QByteArray>
#include <QSaveFile>

#include <cstdint>

namespace qx::idcard {

bool writeBmp(const QImage& image, const QString& path, int bitsPerPixel) {
    if (image.isNull() || (bitsPerPixel != 24 && bitsPerPixel != 32))
        return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const uint32_t width = static_cast<uint32_t>(rgb.width());
    const uint32_t height = static_cast<uint32_t>(rgb.height());
    const uint32_t bytesPerPixel = static_cast<uint32_t>(bitsPerPixel) / 8;
    const auto stride = static_cast<uint32_t>(bmp::rowStride(width, bitsPerPixel));
    const uint32_t imageSize = stride * height;

    bmp::Header header;
    header.width = static_cast<int32_t>(width);
    header.height = static_cast<int32_t>(height); // bottom-up rows
    header.bitsPerPixel = static_cast<uint16_t>(bitsPerPixel);
    header.imageSize = imageSize;
    const auto head = bmp::headers(header);
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(head.size() + imageSize));
    bytes.append(reinterpret_cast<const char*>(head.data()), static_cast<qsizetype>(head.size()));

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

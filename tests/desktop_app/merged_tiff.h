// Merged TIFFs for the export and printing tests: pages of their own sizes, and a page no reader decodes.
#pragma once

#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "support/test_support.h"

#include <QList>
#include <QSize>
#include <QtEndian>

namespace qx::test {

// A 24-bit page of bands whose colours follow `shade`, so pages differ.
inline imaging::Picture tiffPage(QSize size, double dpi, int shade) {
    imaging::Picture pic;
    pic.width = size.width();
    pic.height = size.height();
    pic.stride = ((pic.width * 3 + 3) / 4) * 4;
    pic.pixels.resize(static_cast<size_t>(pic.stride) * pic.height);
    for (int y = 0; y < pic.height; ++y) {
        uint8_t* row = pic.pixels.data() + static_cast<size_t>(y) * pic.stride;
        for (int x = 0; x < pic.width; ++x) {
            row[x * 3] = static_cast<uint8_t>((x * 255 / pic.width + shade) % 256);
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / pic.height);
            row[x * 3 + 2] = static_cast<uint8_t>((x / 32 + y / 32) % 2 ? shade : 255 - shade);
        }
    }
    pic.dpiX = pic.dpiY = dpi;
    return pic;
}

// A multi-page TIFF as the merge writes one (LZW, one page after the other), a page per size.
inline bool writeMergedTiff(const QString& path, const QList<QSize>& sizes, double dpi) {
    imaging::TiffPageWriter writer(path);
    for (qsizetype i = 0; i < sizes.size(); ++i) {
        if (!writer.addPage(tiffPage(sizes[i], dpi, static_cast<int>(40 + 70 * i))))
            return false;
    }
    return writer.commit();
}

// Gives page `page` (from 0) a compression no reader knows: the file still counts every page, but
// that page cannot be decoded.
inline bool breakTiffPage(const QString& path, int page) {
    QByteArray bytes = readAll(path);
    if (bytes.size() < 8 || !bytes.startsWith("II*"))
        return false;
    const auto u16 = [&](qint64 at) { return qFromLittleEndian<quint16>(bytes.constData() + at); };
    const auto u32 = [&](qint64 at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
    qint64 ifd = u32(4);
    for (int i = 0; i < page; ++i) {
        if (ifd + 2 > bytes.size())
            return false;
        ifd = u32(ifd + 2 + qint64(u16(ifd)) * 12);
    }
    if (ifd + 2 > bytes.size())
        return false;
    const int entries = u16(ifd);
    for (int e = 0; e < entries && ifd + 2 + (e + 1) * 12 <= bytes.size(); ++e) {
        const qint64 entry = ifd + 2 + qint64(e) * 12;
        if (u16(entry) == 259) { // Compression
            qToLittleEndian<quint16>(0x7A7A, bytes.data() + entry + 8);
            return writeAll(path, bytes);
        }
    }
    return false;
}

} // namespace qx::test

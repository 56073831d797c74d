// Uncompressed bottom-up BMP files of 24 and 32 bits per pixel, written byte for byte.
#pragma once

#include <QImage>
#include <QString>

namespace qx::idcard {

// Writes `image` to `path` with a 14-byte file header, a 40-byte information header and BI_RGB rows
// (B, G, R and, for 32 bits, a fourth byte 0xFF) from the bottom up, each padded to 4 bytes. The
// file is written under a temporary name and renamed, so a reader never sees half a picture.
bool writeBmp(const QImage& image, const QString& path, int bitsPerPixel);

} // namespace qx::idcard

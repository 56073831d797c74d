// libjpeg-turbo behind two small calls: rows in, JPEG file out; JPEG file in, picture out.
#pragma once

#include "qx/imaging/picture.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace qx::imaging::detail {

enum class JpegInput { Grey, Bgr, Bgrx };

struct JpegRows {
    int width = 0;
    int height = 0;
    JpegInput input = JpegInput::Bgr;
    // Fills `rows[0..count)` with rows first..first+count-1, top-down; may read or convert into its
    // own buffer, which must stay valid until the next call. False (a read error) ends the encoding.
    std::function<bool(int first, int count, const uint8_t** rows)> fetch;
    // Rows fetched per call: the converters' buffers hold this many.
    int batch = 16;
};

// Baseline JPEG of `quality` (clamped to 1..100) with JFIF density in dots per inch when dpiX and
// dpiY are positive (else unit 0, square pixels). Written through a temporary file; false on any error.
bool encodeJpeg(const JpegRows& rows, const QString& path, int quality, double dpiX, double dpiY);
// The same JPEG in memory.
std::optional<QByteArray> encodeJpegBytes(const JpegRows& rows, int quality, double dpiX, double dpiY);

// Grey JPEGs as 8-bit pictures with a grey ramp, colour (YCbCr, RGB, CMYK, YCCK) as 24-bit; the
// JFIF density becomes the resolution. libjpeg completes a stream that is cut short or corrupt with
// grey and a warning; `refuseDamaged` makes such a stream a failure instead.
std::optional<Picture> decodeJpegFile(const QString& path, bool refuseDamaged);
std::optional<Picture> decodeJpegBytes(const uint8_t* data, std::size_t size, bool refuseDamaged);

} // namespace qx::imaging::detail

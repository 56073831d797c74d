// JPEG files a row at a time: header facts without decoding, rows read one by one, rows written in bands.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace qx::imaging {

// The largest width or height a JPEG file can have.
inline constexpr int kJpegMaxSide = 65500;

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0; // 1 grey, 3 colour, 4 CMYK or YCCK
    double dpiX = 0;    // from the JFIF density; 0 when none is recorded
    double dpiY = 0;
};

// Reads the JPEG's headers only; nothing for a file that is not a JPEG libjpeg can decode.
std::optional<JpegInfo> readJpegInfo(const QString& path);

// Decodes a JPEG file one row at a time, top-down, as B, G, R (grey and CMYK pictures converted), so
// that a caller holds one row of the picture instead of the picture.
class JpegRowReader {
public:
    // Nothing when the file cannot be opened or is not a decodable JPEG.
    static std::unique_ptr<JpegRowReader> open(const QString& path);
    ~JpegRowReader();
    JpegRowReader(const JpegRowReader&) = delete;
    JpegRowReader& operator=(const JpegRowReader&) = delete;

    int width() const;
    int height() const;
    // The next row (width() * 3 bytes, valid until the next call); null past the last row, and from
    // the first row whose data is corrupt or missing (a file cut short) on.
    const uint8_t* nextRow();

private:
    struct Impl;
    explicit JpegRowReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// Fills `rows[0..count)` with B, G, R rows first..first+count-1 (each width * 3 bytes), top-down;
// false ends the writing as a failure.
using JpegRowFetch = std::function<bool(int first, int count, const uint8_t** rows)>;

// A baseline JPEG of B, G, R rows handed over `batch` at a time, so the picture need never be whole in
// memory; JFIF density in dots per inch when dpiX and dpiY are positive. Written beside the target and
// renamed over it only when complete: false (and no file) on any failure, including sizes past
// kJpegMaxSide.
bool writeJpegRows(int width, int height, int batch, const JpegRowFetch& fetch, const QString& path,
                   int quality, double dpiX, double dpiY);

} // namespace qx::imaging

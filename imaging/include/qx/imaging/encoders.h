// Writing pictures as JPEG, TIFF and GIF, and the BMP-to-JPEG converter of the capture chain.
#pragma once

#include "qx/imaging/picture.h"

#include <QByteArray>
#include <QString>
#include <memory>
#include <optional>

namespace qx::imaging {

// The capture chain's JPEG converter: reads a BMP file (24-bit B, G, R rows straight into the
// encoder; 8-bit grey and 1-bit pictures as one-component JPEGs; other palettes expanded to colour)
// and writes a baseline JPEG of `quality` (1..100) with the BMP's resolution as JFIF density.
// Returns false (and writes nothing) when the BMP cannot be read or the JPEG cannot be written.
// Every writer here replaces its target only when the new file is complete; on failure an older
// file at the path is left as it was. A 1-bit picture with a colour palette is encoded in colour.
bool convertBmpToJpeg(const QString& bmpPath, const QString& jpegPath, int quality);

// `dpiX`/`dpiY` of 0 keep the picture's own resolution. The bytes are those convertBmpToJpeg writes
// for the picture's BMP.
bool saveJpeg(const Picture& picture, const QString& path, int quality, double dpiX = 0, double dpiY = 0);
// The same JPEG in memory; nothing when the picture cannot be encoded.
std::optional<QByteArray> encodeJpeg(const Picture& picture, int quality, double dpiX = 0, double dpiY = 0);
// LZW-compressed TIFF of the picture's depth (1-bit min-is-white or palette, 8-bit grey or palette,
// 24-bit RGB) with its resolution in dots per inch (none written when it is 0). A 1-bit picture
// whose palette is black then white is min-is-black.
bool saveTiffLzw(const Picture& picture, const QString& path, double dpiX = 0, double dpiY = 0);
// A multi-page TIFF written one page at a time, so only the page being written is in memory: every
// page LZW, of its picture's depth and resolution, as saveTiffLzw writes one. The file replaces the
// target only on commit(); a failure at any page, or a writer destroyed before commit(), leaves no
// file and an older one at the path as it was.
class TiffPageWriter {
public:
    explicit TiffPageWriter(const QString& path);
    ~TiffPageWriter();
    TiffPageWriter(const TiffPageWriter&) = delete;
    TiffPageWriter& operator=(const TiffPageWriter&) = delete;

    // False, and every later call fails too, when the page cannot be written.
    bool addPage(const Picture& picture, double dpiX = 0, double dpiY = 0);
    // False for a writer without pages or after a failure.
    bool commit();
    int pages() const;

private:
    bool writePage(const Picture& picture, double dpiX, double dpiY);
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// GIF with a 256-colour palette (the picture's own palette when it has one). A 24- or 32-bit
// picture of at most 256 colours keeps them exactly; others get Wu's quantizer's palette.
bool saveGif(const Picture& picture, const QString& path);

} // namespace qx::imaging

// Pictures as the capture chain handles them: BMP files of 1, 8, 24 or 32 bits, loaded into memory.
#pragma once

#include <QByteArrayView>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace qx::imaging {

// Rows top-down, each `stride` bytes (a multiple of 4). 24-bit rows are B, G, R; 32-bit B, G, R, A;
// 8- and 1-bit rows index `palette` (1-bit: most significant bit first).
// An empty palette means grey levels (8-bit) or black then white (1-bit); indexes past the
// palette's end show as black. Only BMP keeps the fourth byte of 32-bit rows; the other writers
// take B, G, R.
struct Picture {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 24;
    int stride = 0;
    std::vector<uint8_t> pixels;
    std::vector<QRgb> palette;
    double dpiX = 0; // 0: no resolution recorded
    double dpiY = 0;

    bool isNull() const { return width <= 0 || height <= 0 || pixels.empty(); }
    // Whether every palette entry is grey (r == g == b): such 8-bit pictures encode as one component.
    bool isGreyPalette() const;
    // The colour of pixel (x, y) whatever the depth, by the palette rules above; x and y must lie in
    // the picture.
    QRgb colourAt(int x, int y) const;
};

// Every reader opens regular files only, without blocking: a FIFO or a device named as a picture
// fails at once.

// Reads an uncompressed BMP of 1, 8, 24 or 32 bits (bottom-up or top-down), never past the file's end.
std::optional<Picture> loadBmp(const QString& path);
// A BMP file image held in memory (a camera library hands pictures over so), read as loadBmp reads
// a file: never past its end.
std::optional<Picture> decodeBmp(QByteArrayView bytes);
// A JPEG held in memory, decoded as loadPicture decodes a JPEG file.
std::optional<Picture> decodeJpeg(QByteArrayView bytes);
// Writes an uncompressed BMP of the picture's own depth and palette, bottom-up, with its resolution.
// Replaces the file through a temporary file and a rename.
bool saveBmp(const Picture& picture, const QString& path);
// Any picture file the chain reads: BMP as above, JPEG (libjpeg-turbo), and other formats through
// Qt's readers (as 24-bit).
std::optional<Picture> loadPicture(const QString& path);
// As loadPicture, for a step whose result replaces or deletes the file: a JPEG whose data is cut
// short or corrupt (which libjpeg completes with grey, warning only) is no picture here.
std::optional<Picture> loadIntactPicture(const QString& path);
// The number of pages of a picture file: a multi-page TIFF's pages, 1 for single pictures, 0 for a
// file that cannot be read as a picture.
int picturePageCount(const QString& path);
// Page `index` of a picture file (0 is what loadPicture reads). Pages Qt's readers decode keep
// their depth where the chain has one: 1-bit and 8-bit palette or grey pages stay so, others
// become 24-bit.
std::optional<Picture> loadPicturePage(const QString& path, int index);

// Turned clockwise by 90, 180 or 270 degrees (0 returns a copy), keeping depth, palette and
// resolution (swapped for 90 and 270). Other multiples of 90 count modulo 360, any other angle
// returns a copy, and a picture whose fields do not match its pixels gives a null picture.
Picture rotateClockwise(const Picture& picture, int degrees);

} // namespace qx::imaging

// The LZW strips of saveTiffLzw at every depth it writes, odd sizes and many strips, read back by libtiff and
// ImageMagick.
#include "imaging/external_tools.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "support/test_support.h"

#include <QByteArray>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <tiffio.h>
#include <vector>

namespace qx::test {
namespace {

using imaging::Picture;

// Noise in the top half (short strings, many table resets), flat in the bottom left, a ramp in the
// bottom right (long strings): every code width, the full-table reset and strings across rows.
uint8_t sample(std::mt19937& random, int x, int y, int w, int h, int c) {
    if (y < h / 2)
        return static_cast<uint8_t>(random());
    if (x < w / 2)
        return static_cast<uint8_t>(200 - 30 * c);
    return static_cast<uint8_t>((x + 3 * c + y / 4) & 255);
}

Picture makePicture(int w, int h, int bits, std::vector<QRgb> palette = {}) {
    Picture p;
    p.width = w;
    p.height = h;
    p.bitsPerPixel = bits;
    p.stride = ((w * bits + 31) / 32) * 4;
    p.pixels.assign(static_cast<std::size_t>(p.stride) * h, 0);
    p.palette = std::move(palette);
    p.dpiX = p.dpiY = 150;
    std::mt19937 random(static_cast<unsigned>(w * 31 + h + bits));
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
        if (bits == 1) {
            for (int x = 0; x < w; ++x)
                if (sample(random, x, y, w, h, 0) & 1)
                    row[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
        } else {
            const int channels = bits / 8;
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < channels; ++c)
                    row[x * channels + c] = sample(random, x, y, w, h, c);
        }
    }
    return p;
}

// Bands of one colour and of four-level noise, a few rows each: the compression ratio falls between
// two of libtiff's checks long before the table is full, which is where libtiff's coder starts a new
// table early.
Picture slippingPicture(int w, int h) {
    Picture p = makePicture(w, h, 24);
    std::mt19937 random(5);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
        for (int x = 0; x < w * 3; ++x)
            row[x] = y % 11 < 4 ? 90 : static_cast<uint8_t>(64 * (random() & 3));
    }
    return p;
}

// One row of grey bytes in which no two neighbours repeat an earlier pair: every byte after the
// first adds one table entry, so the row's length decides exactly where the strip ends: just before,
// at or after a change of the code width or a full table.
Picture distinctPairsRow(int length, std::vector<QRgb> palette) {
    Picture p = makePicture(length, 1, 8, std::move(palette));
    std::vector<bool> seen(65536, false);
    unsigned last = 0;
    p.pixels[0] = 0;
    for (int i = 1; i < length; ++i) {
        unsigned c = (last + 1) & 255;
        while (seen[last * 256 + c])
            c = (c + 1) & 255;
        seen[last * 256 + c] = true;
        p.pixels[static_cast<std::size_t>(i)] = static_cast<uint8_t>(c);
        last = c;
    }
    return p;
}

std::vector<QRgb> greyRamp() {
    std::vector<QRgb> ramp;
    for (int i = 0; i < 256; ++i)
        ramp.push_back(qRgb(i, i, i));
    return ramp;
}

std::vector<QRgb> colourPalette() {
    std::vector<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(qRgb(i, 255 - i, (i * 7) & 255));
    return palette;
}

// The bytes libtiff hands back for row y: R, G, B for the colour pictures, the row's bytes otherwise.
std::vector<uint8_t> stripRow(const Picture& p, int y) {
    const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
    if (p.bitsPerPixel <= 8)
        return {row, row + (static_cast<std::size_t>(p.width) * p.bitsPerPixel + 7) / 8};
    const int step = p.bitsPerPixel / 8;
    std::vector<uint8_t> out;
    for (int x = 0; x < p.width; ++x) {
        out.push_back(row[x * step + 2]);
        out.push_back(row[x * step + 1]);
        out.push_back(row[x * step]);
    }
    return out;
}

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() {
        if (tif)
            TIFFClose(tif);
    }
};

class TiffLzw : public ::testing::Test {
protected:
    // Writes the picture, then decodes every strip with libtiff and the whole file with ImageMagick.
    void checkRoundTrip(const Picture& p, const char* name) {
        SCOPED_TRACE(name);
        const QString path = m_folder.file(QString::fromLatin1(name));
        ASSERT_TRUE(imaging::saveTiffLzw(p, path));

        TiffCloser in{TIFFOpen(path.toLocal8Bit().constData(), "r")};
        ASSERT_NE(in.tif, nullptr);
        uint16_t compression = 0;
        uint32_t rowsPerStrip = 0;
        TIFFGetField(in.tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(in.tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        EXPECT_EQ(compression, COMPRESSION_LZW);
        ASSERT_GT(rowsPerStrip, 0u);
        const uint32_t strips = TIFFNumberOfStrips(in.tif);
        EXPECT_EQ(strips, (static_cast<uint32_t>(p.height) + rowsPerStrip - 1) / rowsPerStrip);
        std::vector<uint8_t> decoded(static_cast<std::size_t>(TIFFStripSize(in.tif)));
        for (uint32_t s = 0; s < strips; ++s) {
            const int first = static_cast<int>(s * rowsPerStrip);
            const int rows = std::min<int>(static_cast<int>(rowsPerStrip), p.height - first);
            std::vector<uint8_t> expected;
            for (int y = first; y < first + rows; ++y) {
                const std::vector<uint8_t> row = stripRow(p, y);
                expected.insert(expected.end(), row.begin(), row.end());
            }
            const tmsize_t got = TIFFReadEncodedStrip(in.tif, s, decoded.data(), -1);
            ASSERT_EQ(got, static_cast<tmsize_t>(expected.size())) << "strip " << s;
            ASSERT_EQ(0, std::memcmp(decoded.data(), expected.data(), expected.size())) << "strip " << s;
        }

        if (m_compareWithLibtiff) {
            // The coded strips are those libtiff's own coder writes for the same bytes.
            std::vector<uint8_t> raw(static_cast<std::size_t>(TIFFRawStripSize(in.tif, 0)) + 16);
            for (uint32_t s = 0; s < strips; ++s) {
                const tmsize_t rawSize = TIFFRawStripSize(in.tif, s);
                raw.resize(static_cast<std::size_t>(rawSize));
                ASSERT_EQ(TIFFReadRawStrip(in.tif, s, raw.data(), rawSize), rawSize);
                const tmsize_t size = TIFFReadEncodedStrip(in.tif, s, decoded.data(), -1);
                const uint32_t rows =
                    std::min<uint32_t>(rowsPerStrip, static_cast<uint32_t>(p.height) - s * rowsPerStrip);
                EXPECT_EQ(libtiffCoding(in.tif, rows, decoded.data(), size), raw) << "strip " << s;
            }
        }

        // ImageMagick's own reading of the file, as R, G, B of every pixel.
        const ToolRun run =
            runTool(QStringLiteral("convert"),
                    {path, QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("rgb:-")});
        ASSERT_TRUE(run.started) << "convert (ImageMagick) is not installed";
        ASSERT_EQ(run.exitCode, 0) << run.err.constData();
        ASSERT_EQ(run.out.size(), static_cast<qsizetype>(p.width) * p.height * 3);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x) {
                const QRgb c = p.colourAt(x, y);
                const auto* px = reinterpret_cast<const uint8_t*>(run.out.constData()) +
                                 (static_cast<std::size_t>(y) * p.width + x) * 3;
                ASSERT_EQ(qRgb(px[0], px[1], px[2]), qRgb(qRed(c), qGreen(c), qBlue(c))) << x << "," << y;
            }
    }

    // libtiff's LZW coding of one strip of `rows` rows with the geometry of `like`.
    std::vector<uint8_t> libtiffCoding(TIFF* like, uint32_t rows, uint8_t* data, tmsize_t size) {
        const QString path = m_folder.file(QStringLiteral("libtiff.tif"));
        uint32_t width = 0;
        uint16_t bits = 0, samples = 0;
        TIFFGetField(like, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(like, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(like, TIFFTAG_SAMPLESPERPIXEL, &samples);
        {
            TiffCloser out{TIFFOpen(path.toLocal8Bit().constData(), "w")};
            TIFFSetField(out.tif, TIFFTAG_IMAGEWIDTH, width);
            TIFFSetField(out.tif, TIFFTAG_IMAGELENGTH, rows);
            TIFFSetField(out.tif, TIFFTAG_BITSPERSAMPLE, bits);
            TIFFSetField(out.tif, TIFFTAG_SAMPLESPERPIXEL, samples);
            TIFFSetField(out.tif, TIFFTAG_PHOTOMETRIC,
                         samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
            TIFFSetField(out.tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
            TIFFSetField(out.tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
            TIFFSetField(out.tif, TIFFTAG_ROWSPERSTRIP, rows);
            EXPECT_GE(TIFFWriteEncodedStrip(out.tif, 0, data, size), 0);
        }
        TiffCloser in{TIFFOpen(path.toLocal8Bit().constData(), "r")};
        std::vector<uint8_t> raw(static_cast<std::size_t>(TIFFRawStripSize(in.tif, 0)));
        TIFFReadRawStrip(in.tif, 0, raw.data(), static_cast<tmsize_t>(raw.size()));
        return raw;
    }

    bool m_compareWithLibtiff = true;
    Folder m_folder;
};

TEST_F(TiffLzw, ColourPicturesOfOddSizesDecodeToTheirPixels) {
    checkRoundTrip(makePicture(701, 480, 24), "c24.tif");
    checkRoundTrip(makePicture(257, 1021, 32), "c32.tif");
    checkRoundTrip(makePicture(1, 1, 24), "one24.tif");
    checkRoundTrip(makePicture(1, 3, 32), "one32.tif");
    checkRoundTrip(makePicture(3, 2, 24), "small24.tif");
    checkRoundTrip(slippingPicture(1000, 300), "slipping.tif");
}

TEST_F(TiffLzw, EightBitPicturesOfOddSizesDecodeToTheirPixels) {
    checkRoundTrip(makePicture(333, 901, 8, greyRamp()), "grey.tif");
    checkRoundTrip(makePicture(333, 901, 8, colourPalette()), "palette.tif");
    checkRoundTrip(makePicture(1, 1, 8, greyRamp()), "one8.tif");
    checkRoundTrip(makePicture(5, 3, 8, colourPalette()), "small8.tif");
}

TEST_F(TiffLzw, OneBitPicturesOfOddSizesDecodeToTheirPixels) {
    const std::vector<QRgb> whiteBlack = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    checkRoundTrip(makePicture(1237, 1801, 1, whiteBlack), "bw.tif");
    checkRoundTrip(makePicture(1237, 1801, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)}), "blackwhite.tif");
    checkRoundTrip(makePicture(61, 17, 1, {qRgb(200, 30, 30), qRgb(20, 20, 220)}), "twocolours.tif");
    checkRoundTrip(makePicture(1, 1, 1, whiteBlack), "one1.tif");
    checkRoundTrip(makePicture(9, 5, 1, whiteBlack), "small1.tif");
}

TEST_F(TiffLzw, StripsEndingAtAChangeOfCodeWidthOrAFullTableDecode) {
    // 258 + (length - 1) entries are made before the last code: 511, 1023 and 2047 change the width
    // for the end code, 4093 fills the table with the last code's entry.
    for (const int length : {253, 254, 255, 765, 766, 767, 1789, 1790, 1791, 3834, 3835, 3836, 3837, 3838}) {
        const std::string name = "row" + std::to_string(length) + ".tif";
        checkRoundTrip(distinctPairsRow(length, greyRamp()), name.c_str());
    }
}

} // namespace
} // namespace qx::test

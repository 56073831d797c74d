// The JPEG converter and the JPEG, TIFF and GIF writers, checked by identify, tiffinfo and Qt's readers.
#include "imaging/external_tools.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "support/bmp_bytes.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QRegularExpression>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <random>

namespace qx::test {
namespace {

using imaging::Picture;

constexpr int32_t kPpm214 = 8425; // what 214 dpi is stored as in a BMP
constexpr int32_t kPpm300 = 11811;

// "%m|%[colorspace]|%x|%y|%U|%Q|%w|%h" of the file, split at '|'.
QStringList identify(const QString& path) {
    const ToolRun run =
        runTool(QStringLiteral("identify"),
                {QStringLiteral("-format"), QStringLiteral("%m|%[colorspace]|%x|%y|%U|%Q|%w|%h"), path});
    EXPECT_TRUE(run.started) << "identify (ImageMagick) is not installed";
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    return run.text().trimmed().split(QLatin1Char('|'));
}

QString tiffinfo(const QString& path) {
    const ToolRun run = runTool(QStringLiteral("tiffinfo"), {path});
    EXPECT_TRUE(run.started) << "tiffinfo (libtiff-tools) is not installed";
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    return run.text();
}

Picture pictureOf(const BmpFile& s) {
    Picture p;
    p.width = s.width;
    p.height = s.height;
    p.bitsPerPixel = s.bits;
    p.stride = bmpStride(s.width, s.bits);
    p.pixels = s.rows;
    p.palette = s.palette;
    p.dpiX = s.ppmX * 0.0254;
    p.dpiY = s.ppmY * 0.0254;
    return p;
}

// Red at the top, blue at the bottom, a green ramp from left to right.
BmpFile topRedBottomBlue(int w, int h) {
    return colourBmp(w, h, [h, w](int x, int y) {
        return y < h / 2 ? qRgb(230, x * 200 / w, 20) : qRgb(20, x * 200 / w, 230);
    });
}

BmpFile greyRampBmp(int w, int h, bool reversed) {
    BmpFile s;
    s.width = w;
    s.height = h;
    s.bits = 8;
    for (int i = 0; i < 256; ++i)
        s.palette.push_back(reversed ? qRgb(255 - i, 255 - i, 255 - i) : qRgb(i, i, i));
    const int stride = bmpStride(w, 8);
    s.rows.assign(static_cast<std::size_t>(stride) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.rows[static_cast<std::size_t>(y) * stride + x] = static_cast<uint8_t>(x * 255 / (w - 1));
    return s;
}

// Left half black, right half white, palette white then black as the black-and-white mode writes.
BmpFile halfBlackBmp(int w, int h) {
    BmpFile s;
    s.width = w;
    s.height = h;
    s.bits = 1;
    s.palette = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    const int stride = bmpStride(w, 1);
    s.rows.assign(static_cast<std::size_t>(stride) * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w / 2; ++x)
            s.rows[static_cast<std::size_t>(y) * stride + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
    return s;
}

class Encoders : public ::testing::Test {
protected:
    QString writeBmp(const BmpFile& bmp, const QString& name = QStringLiteral("in.bmp")) {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(writeAll(path, makeBmp(bmp)));
        return path;
    }
    QString file(const char* name) const { return m_folder.file(QString::fromLatin1(name)); }
    Folder m_folder;
};

TEST_F(Encoders, ColourBmpBecomesAnSrgbJpegWithItsDensityAndRowsTheRightWayUp) {
    BmpFile bmp = topRedBottomBlue(101, 61);
    bmp.ppmX = bmp.ppmY = kPpm214;
    const QString jpeg = file("out.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 75));
    const QStringList id = identify(jpeg);
    ASSERT_EQ(id.size(), 8) << id.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(id[0], QStringLiteral("JPEG"));
    EXPECT_EQ(id[1], QStringLiteral("sRGB"));
    EXPECT_EQ(id[2], QStringLiteral("214"));
    EXPECT_EQ(id[3], QStringLiteral("214"));
    EXPECT_EQ(id[4], QStringLiteral("PixelsPerInch"));
    EXPECT_NEAR(id[5].toInt(), 75, 2);
    EXPECT_EQ(id[6], QStringLiteral("101"));
    EXPECT_EQ(id[7], QStringLiteral("61"));
    const QImage back(jpeg);
    ASSERT_FALSE(back.isNull());
    EXPECT_GT(qRed(back.pixel(50, 5)), 180);
    EXPECT_LT(qBlue(back.pixel(50, 5)), 70);
    EXPECT_GT(qBlue(back.pixel(50, 55)), 180);
    EXPECT_LT(qRed(back.pixel(50, 55)), 70);
    EXPECT_LT(qGreen(back.pixel(2, 5)), qGreen(back.pixel(98, 5)));
}

TEST_F(Encoders, QualityReachesTheFile) {
    const QString source = writeBmp(topRedBottomBlue(64, 64));
    for (int quality : {30, 90}) {
        const QString jpeg = m_folder.file(QStringLiteral("q%1.jpg").arg(quality));
        ASSERT_TRUE(imaging::convertBmpToJpeg(source, jpeg, quality));
        EXPECT_NEAR(identify(jpeg).value(5).toInt(), quality, 2);
    }
}

TEST_F(Encoders, TallBmpsReadInBlocksKeepEveryRowInItsPlace) {
    // Wide enough that the converter reads the file in several blocks of rows.
    const int w = 1500, h = 420;
    for (bool topDown : {false, true}) {
        BmpFile bmp =
            colourBmp(w, h, [](int x, int y) { return qRgb(y * 255 / 419, x % 200, 255 - y * 255 / 419); });
        bmp.topDown = topDown;
        const QString jpeg = file(topDown ? "tall-td.jpg" : "tall.jpg");
        ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 95));
        const QImage back(jpeg);
        ASSERT_EQ(back.size(), QSize(w, h));
        for (int y = 0; y < h; y += 7) {
            EXPECT_NEAR(qRed(back.pixel(w / 2, y)), y * 255 / 419, 8) << topDown << " row " << y;
            EXPECT_NEAR(qBlue(back.pixel(w / 2, y)), 255 - y * 255 / 419, 8) << topDown << " row " << y;
        }
    }
}

TEST_F(Encoders, TopDownAndThirtyTwoBitBmpsConvertToo) {
    BmpFile bmp = topRedBottomBlue(33, 20);
    bmp.topDown = true;
    const QString jpeg = file("td.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 90));
    const QImage back(jpeg);
    EXPECT_GT(qRed(back.pixel(16, 2)), 180);
    EXPECT_GT(qBlue(back.pixel(16, 18)), 180);

    Picture wide = pictureOf(topRedBottomBlue(33, 20));
    Picture p32 = wide;
    p32.bitsPerPixel = 32;
    p32.stride = 33 * 4;
    p32.pixels.assign(static_cast<std::size_t>(p32.stride) * 20, 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 33; ++x)
            std::memcpy(&p32.pixels[static_cast<std::size_t>(y) * p32.stride + x * 4],
                        &wide.pixels[static_cast<std::size_t>(y) * wide.stride + x * 3], 3);
    const QString bmp32 = file("32.bmp");
    ASSERT_TRUE(imaging::saveBmp(p32, bmp32));
    const QString jpeg32 = file("32.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(bmp32, jpeg32, 90));
    EXPECT_EQ(identify(jpeg32).value(1), QStringLiteral("sRGB"));
    EXPECT_GT(qRed(QImage(jpeg32).pixel(16, 2)), 180);
}

TEST_F(Encoders, GreyBmpBecomesAOneComponentJpeg) {
    BmpFile bmp = greyRampBmp(64, 16, false);
    bmp.ppmX = bmp.ppmY = kPpm300;
    const QString jpeg = file("grey.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 75));
    const QStringList id = identify(jpeg);
    EXPECT_EQ(id.value(0), QStringLiteral("JPEG"));
    EXPECT_EQ(id.value(1), QStringLiteral("Gray"));
    EXPECT_EQ(id.value(2), QStringLiteral("300"));
    const QImage back(jpeg);
    EXPECT_EQ(back.format(), QImage::Format_Grayscale8);
    EXPECT_NEAR(qGray(back.pixel(63, 8)), 255, 6);
    EXPECT_NEAR(qGray(back.pixel(0, 8)), 0, 6);
}

TEST_F(Encoders, AGreyPaletteOtherThanTheRampIsAppliedBeforeEncoding) {
    const QString jpeg = file("reversed.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(greyRampBmp(64, 16, true)), jpeg, 90));
    EXPECT_EQ(identify(jpeg).value(1), QStringLiteral("Gray"));
    const QImage back(jpeg);
    EXPECT_NEAR(qGray(back.pixel(0, 8)), 255, 6);
    EXPECT_NEAR(qGray(back.pixel(63, 8)), 0, 6);
}

TEST_F(Encoders, OneBitBmpBecomesAOneComponentJpeg) {
    BmpFile bmp = halfBlackBmp(50, 20);
    bmp.ppmX = bmp.ppmY = kPpm214;
    const QString jpeg = file("bw.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 75));
    const QStringList id = identify(jpeg);
    EXPECT_EQ(id.value(1), QStringLiteral("Gray"));
    EXPECT_EQ(id.value(2), QStringLiteral("214"));
    const QImage back(jpeg);
    EXPECT_LT(qGray(back.pixel(5, 10)), 40);
    EXPECT_GT(qGray(back.pixel(45, 10)), 215);
}

TEST_F(Encoders, ColourPaletteIsExpandedToColour) {
    BmpFile bmp;
    bmp.width = 16;
    bmp.height = 16;
    bmp.bits = 8;
    bmp.palette = {qRgb(250, 0, 0), qRgb(0, 0, 250)};
    bmp.rows.assign(16 * 16, 0);
    std::fill(bmp.rows.begin() + 8 * 16, bmp.rows.end(), 1);
    const QString jpeg = file("pal.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 90));
    EXPECT_EQ(identify(jpeg).value(1), QStringLiteral("sRGB"));
    const QImage back(jpeg);
    EXPECT_GT(qRed(back.pixel(8, 2)), 200);
    EXPECT_GT(qBlue(back.pixel(8, 13)), 200);
}

TEST_F(Encoders, AMissingOrBrokenBmpWritesNothingAndKeepsAnOlderJpeg) {
    const QString jpeg = file("never.jpg");
    EXPECT_FALSE(imaging::convertBmpToJpeg(file("missing.bmp"), jpeg, 75));
    EXPECT_FALSE(QFile::exists(jpeg));

    const QByteArray whole = makeBmp(topRedBottomBlue(20, 20));
    const QString broken = file("broken.bmp");
    ASSERT_TRUE(writeAll(broken, whole.left(whole.size() - 1)));
    const QString older = file("older.jpg");
    ASSERT_TRUE(writeAll(older, QByteArray("older file")));
    EXPECT_FALSE(imaging::convertBmpToJpeg(broken, older, 75));
    EXPECT_EQ(readAll(older), QByteArray("older file"));
    EXPECT_FALSE(imaging::convertBmpToJpeg(writeBmp(topRedBottomBlue(8, 8)), file("no/folder/x.jpg"), 75));
    QStringList left = QDir(m_folder.path()).entryList(QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{QStringLiteral("broken.bmp"), QStringLiteral("in.bmp"),
                                 QStringLiteral("older.jpg")}));
}

TEST_F(Encoders, SaveJpegTakesTheGivenResolutionOrThePicturesOwn) {
    Picture p = pictureOf(topRedBottomBlue(30, 30));
    p.dpiX = p.dpiY = 96;
    const QString own = file("own.jpg");
    ASSERT_TRUE(imaging::saveJpeg(p, own, 80));
    EXPECT_EQ(identify(own).value(2), QStringLiteral("96"));
    const QString given = file("given.jpg");
    ASSERT_TRUE(imaging::saveJpeg(p, given, 80, 132, 132));
    const QStringList id = identify(given);
    EXPECT_EQ(id.value(2), QStringLiteral("132"));
    EXPECT_EQ(id.value(3), QStringLiteral("132"));
    EXPECT_NEAR(id.value(5).toInt(), 80, 2);
}

TEST_F(Encoders, JpegRoundTripsThroughLoadPicture) {
    BmpFile bmp = topRedBottomBlue(40, 40);
    bmp.ppmX = bmp.ppmY = kPpm214;
    const QString jpeg = file("rt.jpg");
    ASSERT_TRUE(imaging::convertBmpToJpeg(writeBmp(bmp), jpeg, 95));
    const std::optional<Picture> p = imaging::loadPicture(jpeg);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->bitsPerPixel, 24);
    EXPECT_DOUBLE_EQ(p->dpiX, 214);
    EXPECT_GT(p->pixels[static_cast<std::size_t>(5) * p->stride + 20 * 3 + 2], 200); // red, near the top
}

// Reads a TIFF with Qt's TIFF plugin (over libtiff, not our code).
QImage readTiff(const QString& path) {
    QImageReader reader(path, "tiff");
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    return image;
}

TEST_F(Encoders, TiffIsLzwWithResolutionAndTheSamePixels) {
    BmpFile bmp = colourBmp(77, 45, [](int x, int y) { return qRgb(x * 3, y * 5, (x * y) & 255); });
    bmp.ppmX = bmp.ppmY = kPpm300;
    const Picture p = pictureOf(bmp);
    const QString tif = file("c.tif");
    ASSERT_TRUE(imaging::saveTiffLzw(p, tif, 300, 300));
    const QString info = tiffinfo(tif);
    EXPECT_TRUE(info.contains(QStringLiteral("Compression Scheme: LZW"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Resolution: 300, 300 pixels/inch"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Photometric Interpretation: RGB color"))) << info.toStdString();
    const QImage back = readTiff(tif);
    ASSERT_EQ(back.size(), QSize(77, 45));
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 77; ++x)
            ASSERT_EQ(back.pixel(x, y) & 0xFFFFFF, qRgb(x * 3, y * 5, (x * y) & 255) & 0xFFFFFF)
                << x << "," << y;
}

TEST_F(Encoders, ALargeTiffOfManyStripsDecodesExactly) {
    // Noise in the top half (short strings, many table resets), flat colour and a ramp below (long
    // strings), over many strips coded side by side.
    std::mt19937 random(7);
    std::vector<QRgb> expected;
    const int w = 701, h = 480;
    BmpFile bmp = colourBmp(w, h, [&](int x, int y) {
        const QRgb c = y < h / 2   ? qRgb(static_cast<int>(random() & 255), static_cast<int>(random() & 255),
                                          static_cast<int>(random() & 255))
                       : x < w / 2 ? qRgb(200, 200, 190)
                                   : qRgb(x & 255, (x / 3) & 255, y & 255);
        expected.push_back(c);
        return c;
    });
    const QString tif = file("large.tif");
    ASSERT_TRUE(imaging::saveTiffLzw(pictureOf(bmp), tif, 200, 200));
    const QString info = tiffinfo(tif);
    EXPECT_TRUE(info.contains(QStringLiteral("Compression Scheme: LZW")));
    const QRegularExpression rows(QStringLiteral("Rows/Strip: (\\d+)"));
    EXPECT_LT(rows.match(info).captured(1).toInt(), h / 2) << info.toStdString();
    const QImage back = readTiff(tif);
    ASSERT_EQ(back.size(), QSize(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(back.pixel(x, y) | 0xFF000000u, expected[static_cast<std::size_t>(y) * w + x])
                << x << "," << y;
}

TEST_F(Encoders, TiffTakesThePicturesOwnResolutionWhenNoneIsGiven) {
    Picture p = pictureOf(topRedBottomBlue(10, 10));
    p.dpiX = 214;
    p.dpiY = 107;
    const QString tif = file("own.tif");
    ASSERT_TRUE(imaging::saveTiffLzw(p, tif));
    EXPECT_TRUE(tiffinfo(tif).contains(QStringLiteral("Resolution: 214, 107 pixels/inch")));
}

TEST_F(Encoders, OneBitTiffIsMinIsWhiteWithTheSamePixels) {
    const Picture p = pictureOf(halfBlackBmp(37, 9));
    const QString tif = file("bw.tif");
    ASSERT_TRUE(imaging::saveTiffLzw(p, tif, 200, 200));
    const QString info = tiffinfo(tif);
    EXPECT_TRUE(info.contains(QStringLiteral("min-is-white"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("Bits/Sample: 1"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QStringLiteral("LZW")));
    const QImage back = readTiff(tif);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 37; ++x)
            ASSERT_EQ(qGray(back.pixel(x, y)), x < 18 ? 0 : 255) << x << "," << y;
}

TEST_F(Encoders, EightBitTiffIsGreyOrPaletteWithTheSamePixels) {
    const QString grey = file("g.tif");
    ASSERT_TRUE(imaging::saveTiffLzw(pictureOf(greyRampBmp(52, 7, false)), grey, 150, 150));
    EXPECT_TRUE(tiffinfo(grey).contains(QStringLiteral("min-is-black")));
    const QImage g = readTiff(grey);
    for (int x = 0; x < 52; ++x)
        ASSERT_EQ(qGray(g.pixel(x, 3)), x * 255 / 51);

    BmpFile bmp;
    bmp.width = 9;
    bmp.height = 3;
    bmp.bits = 8;
    bmp.palette = {qRgb(250, 10, 10), qRgb(10, 250, 10), qRgb(10, 10, 250)};
    bmp.rows.assign(static_cast<std::size_t>(bmpStride(9, 8)) * 3, 0);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            bmp.rows[static_cast<std::size_t>(y) * bmpStride(9, 8) + x] = static_cast<uint8_t>((x + y) % 3);
    const QString pal = file("p.tif");
    ASSERT_TRUE(imaging::saveTiffLzw(pictureOf(bmp), pal, 150, 150));
    EXPECT_TRUE(tiffinfo(pal).contains(QStringLiteral("palette color")));
    const QImage back = readTiff(pal);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 9; ++x)
            ASSERT_EQ(back.pixel(x, y) | 0xFF000000u, bmp.palette[(x + y) % 3]) << x << "," << y;
}

TEST_F(Encoders, TiffToAMissingFolderFails) {
    EXPECT_FALSE(imaging::saveTiffLzw(pictureOf(topRedBottomBlue(4, 4)), file("none/x.tif")));
}

// GIFs are read back with Qt's GIF decoder.
QImage readGif(const QString& path) {
    QImageReader reader(path, "gif");
    QImage image = reader.read();
    EXPECT_FALSE(image.isNull()) << reader.errorString().toStdString();
    return image;
}

TEST_F(Encoders, GifOfAtMost256ColoursIsExact) {
    // 200 distinct colours over an odd-sized picture.
    auto colour = [](int x, int y) {
        const int k = (x * 7 + y * 3) % 200;
        return qRgb(k, k * 5 % 256, 255 - k);
    };
    const Picture p = pictureOf(colourBmp(61, 23, colour));
    const QString gif = file("few.gif");
    ASSERT_TRUE(imaging::saveGif(p, gif));
    EXPECT_EQ(identify(gif).value(0), QStringLiteral("GIF"));
    const QImage back = readGif(gif);
    ASSERT_EQ(back.size(), QSize(61, 23));
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 61; ++x)
            ASSERT_EQ(back.pixel(x, y) | 0xFF000000u, colour(x, y)) << x << "," << y;
}

TEST_F(Encoders, GifKeepsEightAndOneBitPalettes) {
    BmpFile bmp;
    bmp.width = 11;
    bmp.height = 4;
    bmp.bits = 8;
    for (int i = 0; i < 5; ++i)
        bmp.palette.push_back(qRgb(i * 50, 255 - i * 50, 77));
    bmp.rows.assign(static_cast<std::size_t>(bmpStride(11, 8)) * 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 11; ++x)
            bmp.rows[static_cast<std::size_t>(y) * bmpStride(11, 8) + x] = static_cast<uint8_t>((x * y) % 5);
    const QString gif8 = file("p8.gif");
    ASSERT_TRUE(imaging::saveGif(pictureOf(bmp), gif8));
    const QImage b8 = readGif(gif8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 11; ++x)
            ASSERT_EQ(b8.pixel(x, y) | 0xFF000000u, bmp.palette[(x * y) % 5]);

    const QString gif1 = file("p1.gif");
    ASSERT_TRUE(imaging::saveGif(pictureOf(halfBlackBmp(21, 5)), gif1));
    EXPECT_EQ(identify(gif1).value(0), QStringLiteral("GIF"));
    const QImage b1 = readGif(gif1);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(qGray(b1.pixel(x, y)), x < 10 ? 0 : 255) << x << "," << y;
}

// The mean absolute channel error of `image` against the picture.
double meanError(const Picture& p, const QImage& image) {
    double sum = 0;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = &p.pixels[static_cast<std::size_t>(y) * p.stride + x * 3];
            const QRgb c = image.pixel(x, y);
            sum += std::abs(qBlue(c) - px[0]) + std::abs(qGreen(c) - px[1]) + std::abs(qRed(c) - px[2]);
        }
    return sum / (3.0 * p.width * p.height);
}

TEST_F(Encoders, GifOfAPhotoHasAPaletteAtLeastAsGoodAsGiflibsMedianCut) {
    // Smooth gradients with some noise: tens of thousands of colours.
    std::mt19937 random(42);
    const int w = 320, h = 240;
    BmpFile bmp = colourBmp(w, h, [&](int x, int y) {
        const int n = static_cast<int>(random() % 9) - 4;
        auto clamp = [](int v) { return std::clamp(v, 0, 255); };
        return qRgb(clamp(x * 255 / w + n), clamp(y * 255 / h + n), clamp(128 + (x - y) / 4 + n));
    });
    const Picture p = pictureOf(bmp);
    const QString gif = file("photo.gif");
    ASSERT_TRUE(imaging::saveGif(p, gif));
    EXPECT_EQ(identify(gif).value(0), QStringLiteral("GIF"));
    const double ours = meanError(p, readGif(gif));

    std::vector<GifByteType> r(static_cast<std::size_t>(w) * h), g(r.size()), b(r.size()), out(r.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* px = &p.pixels[static_cast<std::size_t>(y) * p.stride + x * 3];
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            b[i] = px[0];
            g[i] = px[1];
            r[i] = px[2];
        }
    int size = 256;
    std::vector<GifColorType> map(256);
    ASSERT_EQ(GifQuantizeBuffer(w, h, &size, r.data(), g.data(), b.data(), out.data(), map.data()), GIF_OK);
    QImage median(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const GifColorType& c = map[out[static_cast<std::size_t>(y) * w + x]];
            median.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
        }
    const double theirs = meanError(p, median);
    EXPECT_LE(ours, theirs) << "ours " << ours << ", median cut " << theirs;
    EXPECT_LT(ours, 8.0);
}

} // namespace
} // namespace qx::test

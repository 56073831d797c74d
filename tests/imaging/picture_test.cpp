// BMP reading, writing and refusal of broken headers, other formats, and rotation pixel by pixel.
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "qx/imaging/picture.h"
#include "support/bmp_bytes.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <random>

namespace qx::test {
namespace {

using imaging::Picture;

// A picture of the given depth whose pixels are random but repeatable; padding bytes stay zero.
Picture randomPicture(int width, int height, int bits, unsigned seed) {
    Picture p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = bits;
    p.stride = bmpStride(width, bits);
    p.pixels.assign(static_cast<std::size_t>(p.stride) * height, 0);
    std::mt19937 random(seed);
    const int usedBytes = (width * bits + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (int i = 0; i < usedBytes; ++i)
            p.pixels[static_cast<std::size_t>(y) * p.stride + i] = static_cast<uint8_t>(random());
    if (bits == 1 && width % 8)
        for (int y = 0; y < height; ++y)
            p.pixels[static_cast<std::size_t>(y) * p.stride + usedBytes - 1] &=
                static_cast<uint8_t>(0xFF << (8 - width % 8));
    if (bits == 1)
        p.palette = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    if (bits == 8)
        for (int i = 0; i < 256; ++i)
            p.palette.push_back(qRgb(static_cast<int>(random() & 255), i, 255 - i));
    return p;
}

int indexAt(const Picture& p, int x, int y) {
    const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
    if (p.bitsPerPixel == 1)
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    return row[x];
}

QRgb colourAt(const Picture& p, int x, int y) {
    const uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
    if (p.bitsPerPixel <= 8)
        return p.palette.at(static_cast<std::size_t>(indexAt(p, x, y))) | 0xFF000000u;
    const uint8_t* px = row + x * (p.bitsPerPixel / 8);
    return qRgb(px[2], px[1], px[0]);
}

class PictureFiles : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("in.bmp")) {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }
    Folder m_folder;
};

class BmpRoundTrip : public PictureFiles, public ::testing::WithParamInterface<int> {};

TEST_P(BmpRoundTrip, KeepsDepthPaletteRowsAndResolution) {
    const int bits = GetParam();
    // 13 pixels: every depth but 32 bits needs row padding.
    Picture in = randomPicture(13, 5, bits, 7u + static_cast<unsigned>(bits));
    in.dpiX = 300;
    in.dpiY = 150;
    const QString path = m_folder.file(QStringLiteral("round.bmp"));
    ASSERT_TRUE(imaging::saveBmp(in, path));

    const QByteArray file = readAll(path);
    const std::size_t paletteEntries = bits <= 8 ? std::size_t{1} << bits : 0;
    EXPECT_EQ(getLe16(file, 28), bits);
    EXPECT_EQ(getLe32(file, 10), 54u + paletteEntries * 4);
    EXPECT_EQ(static_cast<int32_t>(getLe32(file, 22)), 5); // bottom-up
    EXPECT_EQ(getLe32(file, 38), static_cast<uint32_t>(std::lround(300 / 0.0254)));
    EXPECT_EQ(getLe32(file, 42), static_cast<uint32_t>(std::lround(150 / 0.0254)));
    EXPECT_EQ(file.size(), static_cast<qsizetype>(54 + paletteEntries * 4 + bmpStride(13, bits) * 5));

    const std::optional<Picture> out = imaging::loadBmp(path);
    ASSERT_TRUE(out);
    EXPECT_EQ(out->width, 13);
    EXPECT_EQ(out->height, 5);
    EXPECT_EQ(out->bitsPerPixel, bits);
    EXPECT_EQ(out->stride, in.stride);
    EXPECT_EQ(out->pixels, in.pixels);
    EXPECT_EQ(out->palette, in.palette);
    EXPECT_DOUBLE_EQ(out->dpiX, 300);
    EXPECT_DOUBLE_EQ(out->dpiY, 150);

    // Qt's BMP reader sees the same colours in the same places.
    const QImage qt(path);
    ASSERT_FALSE(qt.isNull());
    EXPECT_EQ(qt.dotsPerMeterX(), std::lround(300 / 0.0254));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(qt.pixel(x, y) & 0xFFFFFF, colourAt(in, x, y) & 0xFFFFFF) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Depths, BmpRoundTrip, ::testing::Values(1, 8, 24, 32));

TEST_F(PictureFiles, ReadsBottomUpAndTopDownRowsInPlace) {
    BmpFile bmp = colourBmp(7, 3, [](int x, int y) { return qRgb(x * 30, y * 100, 7); });
    bmp.ppmX = bmp.ppmY = 8425; // what 214 dpi is stored as
    for (bool topDown : {false, true}) {
        bmp.topDown = topDown;
        const std::optional<Picture> p = imaging::loadBmp(write(makeBmp(bmp)));
        ASSERT_TRUE(p) << topDown;
        EXPECT_EQ(p->pixels, bmp.rows);
        EXPECT_EQ(colourAt(*p, 6, 0), qRgb(180, 0, 7));
        EXPECT_EQ(colourAt(*p, 2, 2), qRgb(60, 200, 7));
        EXPECT_DOUBLE_EQ(p->dpiX, 214);
        EXPECT_DOUBLE_EQ(p->dpiY, 214);
    }
}

TEST_F(PictureFiles, ReadsAShortPaletteAndKeepsItsLength) {
    BmpFile bmp;
    bmp.width = 5;
    bmp.height = 2;
    bmp.bits = 8;
    bmp.palette = {qRgb(10, 20, 30), qRgb(200, 100, 0), qRgb(0, 0, 255)};
    bmp.rows = {0, 1, 2, 1, 0, 0, 0, 0, 2, 2, 2, 2, 2, 0, 0, 0};
    const std::optional<Picture> p = imaging::loadBmp(write(makeBmp(bmp)));
    ASSERT_TRUE(p);
    EXPECT_EQ(p->palette.size(), 3u);
    EXPECT_EQ(colourAt(*p, 1, 0), qRgb(200, 100, 0));
    EXPECT_EQ(colourAt(*p, 4, 1), qRgb(0, 0, 255));
    EXPECT_FALSE(p->isGreyPalette());
}

TEST_F(PictureFiles, RefusesEveryTruncationOfAValidFile) {
    BmpFile bmp;
    bmp.width = 9;
    bmp.height = 4;
    bmp.bits = 8;
    for (int i = 0; i < 256; ++i)
        bmp.palette.push_back(qRgb(i, i, i));
    bmp.rows.assign(static_cast<std::size_t>(bmpStride(9, 8)) * 4, 0x55);
    const QByteArray whole = makeBmp(bmp);
    const QString path = write(whole);
    ASSERT_TRUE(imaging::loadBmp(path));
    // Cut one byte at a time from the end, down to nothing.
    for (qsizetype n = whole.size() - 1; n >= 0; --n) {
        ASSERT_TRUE(QFile::resize(path, n));
        ASSERT_FALSE(imaging::loadBmp(path)) << "length " << n;
    }
}

TEST_F(PictureFiles, RefusesHeadersThatDoNotFitTheFile) {
    const BmpFile bmp = colourBmp(4, 4, [](int, int) { return qRgb(1, 2, 3); });
    const QByteArray good = makeBmp(bmp);
    ASSERT_TRUE(imaging::loadBmp(write(good)));
    auto patched = [&](int at, uint32_t value) {
        QByteArray b = good;
        putLe32(b, at, value);
        return b;
    };
    EXPECT_FALSE(imaging::loadBmp(write(patched(22, 5)))) << "one row more than the file holds";
    EXPECT_FALSE(imaging::loadBmp(write(patched(18, 0x7FFFFFFF)))) << "absurd width";
    EXPECT_FALSE(imaging::loadBmp(write(patched(22, 0)))) << "no rows";
    EXPECT_FALSE(imaging::loadBmp(write(patched(10, static_cast<uint32_t>(good.size())))))
        << "rows past the end";
    EXPECT_FALSE(imaging::loadBmp(write(patched(14, 1000)))) << "unknown header size";
    EXPECT_FALSE(imaging::loadBmp(write(patched(30, 1)))) << "RLE compression";
    QByteArray sixteen = good;
    sixteen[28] = 16;
    EXPECT_FALSE(imaging::loadBmp(write(sixteen))) << "16 bits";

    BmpFile indexed;
    indexed.width = 4;
    indexed.height = 1;
    indexed.bits = 8;
    indexed.palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    indexed.rows = {0, 1, 0, 1};
    const QByteArray pal = makeBmp(indexed);
    ASSERT_TRUE(imaging::loadBmp(write(pal)));
    QByteArray tooMany = pal;
    putLe32(tooMany, 46, 300);
    EXPECT_FALSE(imaging::loadBmp(write(tooMany))) << "more colours than 8 bits index";
    QByteArray overlapping = pal;
    putLe32(overlapping, 46, 200);
    EXPECT_FALSE(imaging::loadBmp(write(overlapping))) << "a palette running into the rows";
    EXPECT_FALSE(imaging::loadBmp(write(QByteArray("BM"))));
    EXPECT_FALSE(imaging::loadBmp(m_folder.file(QStringLiteral("missing.bmp"))));
    EXPECT_FALSE(imaging::loadBmp(m_folder.path()));
}

TEST_F(PictureFiles, SaveReplacesTheFileAndLeavesNothingElse) {
    const QString path = m_folder.file(QStringLiteral("same.bmp"));
    ASSERT_TRUE(writeAll(path, QByteArray("old contents")));
    Picture p = randomPicture(6, 6, 24, 3);
    ASSERT_TRUE(imaging::saveBmp(p, path));
    ASSERT_TRUE(imaging::saveBmp(p, path));
    EXPECT_EQ(QDir(m_folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("same.bmp")});
    EXPECT_EQ(imaging::loadBmp(path)->pixels, p.pixels);
}

TEST_F(PictureFiles, SaveFailsCleanlyForAMissingFolderOrAMalformedPicture) {
    const Picture p = randomPicture(6, 6, 8, 4);
    EXPECT_FALSE(imaging::saveBmp(p, m_folder.file(QStringLiteral("no/such/folder.bmp"))));
    Picture shortRows = p;
    shortRows.pixels.resize(10);
    EXPECT_FALSE(imaging::saveBmp(shortRows, m_folder.file(QStringLiteral("short.bmp"))));
    Picture odd = p;
    odd.bitsPerPixel = 16;
    EXPECT_FALSE(imaging::saveBmp(odd, m_folder.file(QStringLiteral("odd.bmp"))));
    EXPECT_TRUE(QDir(m_folder.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(PictureFiles, LoadsJpegWithItsDensityAndGreyJpegAsEightBits) {
    QImage colour(40, 30, QImage::Format_RGB32);
    colour.fill(qRgb(220, 20, 20));
    for (int y = 15; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            colour.setPixel(x, y, qRgb(20, 20, 220));
    colour.setDotsPerMeterX(std::lround(300 / 0.0254));
    colour.setDotsPerMeterY(std::lround(300 / 0.0254));
    const QString colourPath = m_folder.file(QStringLiteral("colour.jpg"));
    QImageWriter writer(colourPath, "jpeg");
    writer.setQuality(95);
    ASSERT_TRUE(writer.write(colour));
    const std::optional<Picture> c = imaging::loadPicture(colourPath);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->bitsPerPixel, 24);
    EXPECT_EQ(c->width, 40);
    EXPECT_EQ(c->height, 30);
    EXPECT_NEAR(c->dpiX, 300, 0.5);
    EXPECT_NEAR(qRed(colourAt(*c, 20, 5)), 220, 12);
    EXPECT_NEAR(qBlue(colourAt(*c, 20, 5)), 20, 12);
    EXPECT_NEAR(qBlue(colourAt(*c, 20, 25)), 220, 12);

    QImage grey(17, 9, QImage::Format_Grayscale8);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 17; ++x)
            grey.scanLine(y)[x] = static_cast<uchar>(x * 15);
    const QString greyPath = m_folder.file(QStringLiteral("grey.jpg"));
    ASSERT_TRUE(grey.save(greyPath, "jpeg", 100));
    const std::optional<Picture> g = imaging::loadPicture(greyPath);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->bitsPerPixel, 8);
    EXPECT_TRUE(g->isGreyPalette());
    EXPECT_NEAR(indexAt(*g, 16, 4), 240, 4);
    EXPECT_NEAR(indexAt(*g, 1, 4), 15, 4);
}

TEST_F(PictureFiles, LoadsOtherFormatsAsTwentyFourBits) {
    QImage image(5, 4, QImage::Format_ARGB32);
    image.fill(qRgb(1, 2, 3));
    image.setPixel(4, 3, qRgb(250, 128, 7));
    const QString path = m_folder.file(QStringLiteral("p.png"));
    ASSERT_TRUE(image.save(path, "png"));
    const std::optional<Picture> p = imaging::loadPicture(path);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->bitsPerPixel, 24);
    EXPECT_EQ(p->stride % 4, 0);
    EXPECT_EQ(colourAt(*p, 4, 3), qRgb(250, 128, 7));
    EXPECT_EQ(colourAt(*p, 0, 0), qRgb(1, 2, 3));
    EXPECT_FALSE(imaging::loadPicture(m_folder.file(QStringLiteral("none.png"))));
    EXPECT_FALSE(imaging::loadPicture(write(QByteArray("not a picture at all"), QStringLiteral("x.jpg"))));
}

TEST_F(PictureFiles, ACutShortBmpIsRefusedAndNotHandedToQt) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(9, 99, 199));
    const QString whole = m_folder.file(QStringLiteral("whole.bmp"));
    ASSERT_TRUE(image.save(whole, "bmp"));
    const QString cut = write(readAll(whole).chopped(500), QStringLiteral("cut.bmp"));
    // Qt's own reader takes the file and makes up the rows it lacks.
    ASSERT_FALSE(QImage(cut, "bmp").isNull());
    EXPECT_FALSE(imaging::loadPicture(cut));
    EXPECT_FALSE(imaging::loadPicturePage(cut, 0));
    EXPECT_EQ(imaging::picturePageCount(cut), 0);
    EXPECT_TRUE(imaging::loadPicture(whole));
}

TEST_F(PictureFiles, ACutShortJpegIsRefusedWhereItWouldReplaceItsSource) {
    QImage image(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            image.setPixel(x, y, qRgb(x * 4, y * 4, (x ^ y) * 4));
    const QString whole = m_folder.file(QStringLiteral("whole.jpg"));
    ASSERT_TRUE(image.save(whole, "jpg", 95));
    const QByteArray bytes = readAll(whole);
    const QString cut = write(bytes.left(bytes.size() * 2 / 3), QStringLiteral("cut.jpg"));
    // Viewing takes the grey remainder; a step that replaces or deletes the file does not.
    EXPECT_TRUE(imaging::loadPicture(cut));
    EXPECT_FALSE(imaging::loadIntactPicture(cut));
    EXPECT_TRUE(imaging::loadIntactPicture(whole));
}

TEST_F(PictureFiles, EveryReaderRefusesAFifoAtOnce) {
    // A FIFO in a picture's place would block a reader that opened it for a writer that never comes.
    const QString fifo = m_folder.file(QStringLiteral("pic.jpg"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(imaging::loadPicture(fifo));
    EXPECT_FALSE(imaging::loadIntactPicture(fifo));
    EXPECT_FALSE(imaging::loadBmp(fifo));
    EXPECT_FALSE(imaging::loadPicturePage(fifo, 1));
    EXPECT_EQ(imaging::picturePageCount(fifo), 0);
    EXPECT_FALSE(imaging::readJpegInfo(fifo));
    EXPECT_EQ(imaging::JpegRowReader::open(fifo), nullptr);
    EXPECT_FALSE(imaging::convertBmpToJpeg(fifo, m_folder.file(QStringLiteral("out.jpg")), 75));
    EXPECT_FALSE(imaging::loadPicture(QStringLiteral("/dev/zero")));
}

// Where pixel (x, y) of a w x h picture lands after turning it clockwise.
QPoint turned(int x, int y, int w, int h, int degrees) {
    switch (degrees) {
    case 90:
        return {h - 1 - y, x};
    case 180:
        return {w - 1 - x, h - 1 - y};
    case 270:
        return {y, w - 1 - x};
    }
    return {x, y};
}

class Rotation : public ::testing::TestWithParam<int> {};

TEST_P(Rotation, OneBitPixelsMoveAndDepthPaletteResolutionStay) {
    const int degrees = GetParam();
    Picture p;
    p.width = 13;
    p.height = 5;
    p.bitsPerPixel = 1;
    p.stride = 4;
    p.pixels.assign(20, 0);
    p.palette = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
    p.dpiX = 200;
    p.dpiY = 100;
    const QPoint set[] = {{0, 0}, {12, 0}, {3, 4}, {9, 2}};
    for (QPoint s : set)
        p.pixels[static_cast<std::size_t>(s.y()) * 4 + (s.x() >> 3)] |=
            static_cast<uint8_t>(0x80 >> (s.x() & 7));

    const Picture r = imaging::rotateClockwise(p, degrees);
    const bool quarter = degrees != 180;
    EXPECT_EQ(r.bitsPerPixel, 1);
    EXPECT_EQ(r.palette, p.palette);
    EXPECT_EQ(r.width, quarter ? 5 : 13);
    EXPECT_EQ(r.height, quarter ? 13 : 5);
    EXPECT_EQ(r.stride, 4);
    EXPECT_DOUBLE_EQ(r.dpiX, quarter ? 100 : 200);
    EXPECT_DOUBLE_EQ(r.dpiY, quarter ? 200 : 100);
    int black = 0;
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x)
            black += indexAt(r, x, y);
    EXPECT_EQ(black, 4);
    for (QPoint s : set) {
        const QPoint t = turned(s.x(), s.y(), 13, 5, degrees);
        EXPECT_EQ(indexAt(r, t.x(), t.y()), 1) << s.x() << "," << s.y() << " -> " << t.x() << "," << t.y();
    }
}

TEST_P(Rotation, EightAndTwentyFourBitPixelsMoveOneByOne) {
    const int degrees = GetParam();
    for (int bits : {8, 24, 32}) {
        const Picture p = randomPicture(37, 19, bits, 11u + static_cast<unsigned>(bits));
        const Picture r = imaging::rotateClockwise(p, degrees);
        ASSERT_EQ(r.bitsPerPixel, bits);
        EXPECT_EQ(r.palette, p.palette);
        EXPECT_EQ(r.stride, bmpStride(r.width, bits));
        for (int y = 0; y < 19; ++y)
            for (int x = 0; x < 37; ++x) {
                const QPoint t = turned(x, y, 37, 19, degrees);
                ASSERT_EQ(colourAt(r, t.x(), t.y()), colourAt(p, x, y)) << bits << ": " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(Angles, Rotation, ::testing::Values(90, 180, 270));

TEST(RotationTurns, FourQuarterTurnsGiveThePictureBackAndOtherAnglesACopy) {
    const Picture p = randomPicture(29, 11, 1, 5);
    Picture r = p;
    for (int i = 0; i < 4; ++i)
        r = imaging::rotateClockwise(r, 90);
    EXPECT_EQ(r.pixels, p.pixels);
    EXPECT_EQ(imaging::rotateClockwise(p, 45).pixels, p.pixels);
    EXPECT_EQ(imaging::rotateClockwise(p, 0).width, 29);
    EXPECT_TRUE(imaging::rotateClockwise(Picture{}, 90).isNull());
}

} // namespace
} // namespace qx::test

// The colour modes on real BMP files: pixel values, palettes, headers and row padding, and input that
// must be left alone.
#include "qx/imaging/colour_modes.h"
#include "support/bmp_bytes.h"
#include "support/test_support.h"

#include <QFile>
#include <QImage>
#include <gtest/gtest.h>
#include <vector>

namespace qx::test {
namespace {

struct Pixel {
    uint8_t b, g, r;
};

uint32_t le32(const QByteArray& d, int at) {
    return getLe32(d, at);
}
uint16_t le16(const QByteArray& d, int at) {
    return getLe16(d, at);
}

// A 24-bit BMP whose every row holds `pixels`, `height` rows of them.
QByteArray bmp24(const std::vector<Pixel>& pixels, int height = 1) {
    return makeBmp(colourBmp(static_cast<int>(pixels.size()), height, [&](int x, int) {
        return qRgb(pixels[static_cast<std::size_t>(x)].r, pixels[static_cast<std::size_t>(x)].g,
                    pixels[static_cast<std::size_t>(x)].b);
    }));
}

class ColourModes : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes) {
        const QString path = m_folder.file(QStringLiteral("picture.bmp"));
        EXPECT_TRUE(writeAll(path, bytes));
        return path;
    }
    Folder m_folder;
};

TEST_F(ColourModes, GreyWeightsBlueThreeTenthsAndRedOneTenth) {
    // Five pixels: an odd width, so the 8-bit rows are padded.
    const QByteArray in = bmp24({{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {100, 100, 100}, {10, 20, 30}}, 3);
    const QString path = write(in);
    ASSERT_EQ(imaging::convertToGrey(path), imaging::ColourResult::Converted);
    const QByteArray out = readAll(path);
    EXPECT_EQ(le16(out, 28), 8);
    EXPECT_EQ(le32(out, 10), 54u + 1024u);
    EXPECT_EQ(le32(out, 2), static_cast<uint32_t>(in.size())); // the file-size field stays as read
    EXPECT_EQ(le32(out, 34), 8u * 3u);                         // ((8 * 5 + 31) / 32) * 3 * 4
    // Palette entry i is (i, i, i, 0).
    for (int i : {0, 1, 128, 255}) {
        EXPECT_EQ(static_cast<uint8_t>(out[54 + i * 4]), i);
        EXPECT_EQ(static_cast<uint8_t>(out[54 + i * 4 + 2]), i);
        EXPECT_EQ(out[54 + i * 4 + 3], 0);
    }
    const auto* row = reinterpret_cast<const uint8_t*>(out.constData() + 54 + 1024);
    EXPECT_EQ(row[0], 76);
    EXPECT_EQ(row[1], 25);
    EXPECT_EQ(row[2], 153);
    EXPECT_EQ(row[3], 100);
    EXPECT_EQ(row[4], 18); // 3 + 12 + 3
    EXPECT_EQ(row[5], 0);  // padding
    ASSERT_EQ(out.size(), 54 + 1024 + 8 * 3);
    EXPECT_FALSE(QImage(path).isNull());
}

TEST_F(ColourModes, BlackAndWhiteDarkOrVeryLightIsBlack) {
    // Sums 300, 301, 599, 600 and 0, with T = 100.
    const QByteArray in =
        bmp24({{100, 100, 100}, {101, 100, 100}, {200, 200, 199}, {200, 200, 200}, {0, 0, 0}}, 2);
    const QString path = write(in);
    int threshold = 100;
    ASSERT_EQ(imaging::convertToBlackAndWhite(path, threshold), imaging::ColourResult::Converted);
    const QByteArray out = readAll(path);
    EXPECT_EQ(le16(out, 28), 1);
    EXPECT_EQ(le32(out, 10), 54u + 8u);
    EXPECT_EQ(le32(out, 34), 4u * 2u);
    EXPECT_EQ(out.mid(54, 8), QByteArray("\xff\xff\xff\x00\x00\x00\x00\x00", 8));
    // black, white, white, black, black: bits 1 0 0 1 1, most significant first.
    EXPECT_EQ(static_cast<uint8_t>(out[62]), 0b10011000);
    EXPECT_EQ(out[63], 0);
    EXPECT_EQ(out.size(), 54 + 8 + 8);
}

TEST_F(ColourModes, ThresholdOutsideItsRangeBecomesOneHundred) {
    for (int bad : {-1, 256, 1000}) {
        const QString path = write(bmp24({{100, 100, 100}, {101, 100, 100}}));
        int threshold = bad;
        ASSERT_EQ(imaging::convertToBlackAndWhite(path, threshold), imaging::ColourResult::Converted);
        EXPECT_EQ(threshold, 100);
        EXPECT_EQ(static_cast<uint8_t>(readAll(path)[62]), 0b10000000);
    }
}

TEST_F(ColourModes, EnhancedColourExamples) {
    const QString path =
        write(bmp24({{150, 150, 150}, {160, 120, 110}, {50, 60, 130}, {50, 60, 200}, {90, 200, 90}}, 2));
    ASSERT_EQ(imaging::enhanceColour(path), imaging::ColourResult::Converted);
    const QByteArray out = readAll(path);
    EXPECT_EQ(le16(out, 28), 24);
    EXPECT_EQ(le32(out, 10), 54u);
    EXPECT_EQ(le32(out, 34), 16u * 2u);
    const auto* p = reinterpret_cast<const uint8_t*>(out.constData() + 54);
    const std::vector<std::vector<int>> expected{
        {250, 250, 250}, {254, 220, 210}, {50, 60, 230}, {50, 60, 250}, {90, 200, 90}};
    for (int i = 0; i < 5; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(p[i * 3 + c], expected[i][c]) << "pixel " << i << " channel " << c;
}

TEST_F(ColourModes, PicturesTheyCannotConvertAreLeftUnchanged) {
    QByteArray eightBit = bmp24({{1, 2, 3}, {4, 5, 6}});
    eightBit[28] = 8;
    QByteArray truncated = bmp24({{1, 2, 3}, {4, 5, 6}}, 40);
    truncated.chop(100);
    QByteArray compressed = bmp24({{1, 2, 3}});
    compressed[30] = 1;
    const QByteArray notBmp("not a picture at all, but long enough to have a header of fifty-four bytes");
    for (const QByteArray& bytes : {eightBit, truncated, compressed, notBmp, QByteArray("BM")}) {
        const QString path = write(bytes);
        int threshold = 100;
        EXPECT_EQ(imaging::convertToGrey(path), imaging::ColourResult::NotSupported);
        EXPECT_EQ(imaging::convertToBlackAndWhite(path, threshold), imaging::ColourResult::NotSupported);
        EXPECT_EQ(imaging::enhanceColour(path), imaging::ColourResult::NotSupported);
        EXPECT_EQ(readAll(path), bytes);
    }
    EXPECT_EQ(imaging::convertToGrey(m_folder.file(QStringLiteral("missing.bmp"))),
              imaging::ColourResult::Unreadable);
}

} // namespace
} // namespace qx::test

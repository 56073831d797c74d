// The merged JPEG's layout arithmetic and its band-wise drawing, checked in the written file's pixels.
#include "control/features/merge_canvas.h"
#include "control/features/merge_layout.h"
#include "imaging/external_tools.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "support/test_support.h"

#include <QDir>
#include <QImage>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

using control::CanvasRect;
using control::layOutMerge;
using control::MergeSettings;

MergeSettings horizontal(int columns, int gap) {
    MergeSettings s;
    s.vertical = false;
    s.columns = columns;
    s.gap = gap;
    return s;
}

TEST(MergeLayout, OnePictureIsTheCanvasWithoutABand) {
    for (const MergeSettings& s : {MergeSettings{}, horizontal(3, 8)}) {
        MergeSettings withGap = s;
        withGap.gap = std::max(withGap.gap, 5);
        const auto layout = layOutMerge({QSize(300, 200)}, withGap);
        if (withGap.vertical) {
            EXPECT_EQ(layout.width, 300);
        } else {
            EXPECT_EQ(layout.width, 300 + 2 * 8); // (columns - 1) gaps, as the rule has it
        }
        EXPECT_EQ(layout.height, 200);
        EXPECT_EQ(layout.pictures, (std::vector<CanvasRect>{{0, 0, 300, 200}}));
        if (withGap.vertical) {
            EXPECT_TRUE(layout.bands.empty());
        }
    }
}

TEST(MergeLayout, FivePicturesInRowsOfTwo) {
    const std::vector<QSize> sizes{{100, 50}, {120, 60}, {90, 40}, {80, 70}, {110, 30}};
    const auto layout = layOutMerge(sizes, horizontal(2, 4));
    // Rows: 220 x 60, 170 x 70, 110 x 30; the widest row plus one gap.
    EXPECT_EQ(layout.width, 224);
    EXPECT_EQ(layout.height, 60 + 70 + 30 + 2 * 4);
    EXPECT_EQ(layout.pictures,
              (std::vector<CanvasRect>{
                  {0, 0, 100, 50}, {104, 0, 120, 60}, {0, 64, 90, 40}, {94, 64, 80, 70}, {0, 138, 110, 30}}));
    // A band after every picture of column 0 (the lone last one too), as high as its row; a
    // canvas-wide band after every row but the last.
    EXPECT_EQ(layout.bands,
              (std::vector<CanvasRect>{
                  {100, 0, 4, 60}, {0, 60, 224, 4}, {90, 64, 4, 70}, {0, 134, 224, 4}, {110, 138, 4, 30}}));
}

TEST(MergeLayout, AVerticalMergeWithoutGapStacksThePicturesEdgeToEdge) {
    const auto layout = layOutMerge({{40, 10}, {60, 20}, {50, 30}}, MergeSettings{});
    EXPECT_EQ(layout.width, 60);
    EXPECT_EQ(layout.height, 60);
    EXPECT_EQ(layout.pictures, (std::vector<CanvasRect>{{0, 0, 40, 10}, {0, 10, 60, 20}, {0, 30, 50, 30}}));
    EXPECT_TRUE(layout.bands.empty());
    MergeSettings gap;
    gap.gap = 3;
    EXPECT_EQ(layOutMerge({{40, 10}, {60, 20}}, gap).bands, (std::vector<CanvasRect>{{0, 10, 60, 3}}));
}

TEST(MergeLayout, OutOfRangeSettingsCountAsTheNearestSoundOnes) {
    MergeSettings s = horizontal(0, -7);
    const auto layout = layOutMerge({{10, 10}, {10, 10}}, s);
    EXPECT_EQ(layout.width, 10); // one column, no gap
    EXPECT_EQ(layout.height, 20);
    EXPECT_TRUE(layout.bands.empty());
    // Rows are counted, not kept in a fixed table: 250 rows of one picture each.
    const auto tall = layOutMerge(std::vector<QSize>(250, QSize(4, 2)), horizontal(1, 1));
    EXPECT_EQ(tall.height, 250 * 2 + 249);
    EXPECT_EQ(tall.pictures.back(), (CanvasRect{0, 249 * 3, 4, 2}));
}

class MergeCanvas : public ::testing::Test {
protected:
    QString solid(const char* name, int w, int h, QRgb colour, double dpi = 0) {
        imaging::Picture p;
        p.width = w;
        p.height = h;
        p.stride = (w * 3 + 3) & ~3;
        p.pixels.resize(static_cast<std::size_t>(p.stride) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t* px = &p.pixels[static_cast<std::size_t>(y) * p.stride + x * 3];
                px[0] = static_cast<uint8_t>(qBlue(colour));
                px[1] = static_cast<uint8_t>(qGreen(colour));
                px[2] = static_cast<uint8_t>(qRed(colour));
            }
        const QString path = m_folder.file(QString::fromLatin1(name));
        EXPECT_TRUE(imaging::saveJpeg(p, path, 95, dpi, dpi));
        return path;
    }
    static bool near(QRgb a, QRgb b) {
        return std::abs(qRed(a) - qRed(b)) < 24 && std::abs(qGreen(a) - qGreen(b)) < 24 &&
               std::abs(qBlue(a) - qBlue(b)) < 24;
    }
    Folder m_folder;
};

TEST_F(MergeCanvas, PicturesBandsAndTheWhiteBackgroundLandWhereTheLayoutSays) {
    const std::vector<QString> pictures{solid("red.jpg", 64, 48, qRgb(220, 30, 30)),
                                        solid("green.jpg", 32, 64, qRgb(30, 200, 30)),
                                        solid("blue.jpg", 48, 32, qRgb(30, 30, 220))};
    MergeSettings s = horizontal(2, 16);
    s.red = 250;
    s.green = 220;
    s.blue = 0;
    const auto layout = layOutMerge({{64, 48}, {32, 64}, {48, 32}}, s);
    const QString out = m_folder.file(QStringLiteral("merged.jpg"));
    ASSERT_TRUE(control::writeMergedJpeg(layout, pictures, s, 200, 75, out));
    const QImage merged(out);
    ASSERT_EQ(merged.size(), QSize(int(layout.width), int(layout.height)));
    EXPECT_EQ(merged.size(), QSize(64 + 16 + 32, 64 + 16 + 32));
    const QRgb band = qRgb(250, 220, 0);
    EXPECT_TRUE(near(merged.pixel(30, 24), qRgb(220, 30, 30)));
    EXPECT_TRUE(near(merged.pixel(95, 30), qRgb(30, 200, 30)));
    EXPECT_TRUE(near(merged.pixel(24, 95), qRgb(30, 30, 220)));
    EXPECT_TRUE(near(merged.pixel(72, 20), band));  // after the red picture, as high as its row
    EXPECT_TRUE(near(merged.pixel(100, 72), band)); // the band between the rows, canvas-wide
    EXPECT_TRUE(near(merged.pixel(56, 95), band));  // after the lone picture of the short last row
    EXPECT_TRUE(near(merged.pixel(30, 58), qRgb(255, 255, 255))); // below the red picture, in its row
    EXPECT_TRUE(near(merged.pixel(100, 100), qRgb(255, 255, 255)));
    const ToolRun id =
        runTool(QStringLiteral("identify"), {QStringLiteral("-format"), QStringLiteral("%x %U %Q"), out});
    EXPECT_EQ(id.text().trimmed(), QStringLiteral("200 PixelsPerInch 75"));
}

TEST_F(MergeCanvas, ACanvasTooLargeOrAPictureThatBreaksOffWritesNothing) {
    const QString tall = solid("tall.jpg", 16, 1700, qRgb(90, 90, 90));
    const std::vector<QString> forty(40, tall);
    const auto layout = layOutMerge(std::vector<QSize>(40, QSize(16, 1700)), MergeSettings{});
    EXPECT_GT(layout.height, imaging::kJpegMaxSide);
    EXPECT_FALSE(control::writeMergedJpeg(layout, forty, MergeSettings{}, 0, 75, m_folder.file("a.jpg")));
    // A picture cut off half-way, and one whose size is not the one laid out.
    const QString whole = solid("whole.jpg", 64, 64, qRgb(9, 9, 9));
    const QByteArray bytes = readAll(whole);
    ASSERT_TRUE(writeAll(m_folder.file("cut.jpg"), bytes.left(bytes.size() * 3 / 4)));
    const auto two = layOutMerge({{64, 64}, {64, 64}}, MergeSettings{});
    EXPECT_FALSE(control::writeMergedJpeg(two, {whole, m_folder.file("cut.jpg")}, MergeSettings{}, 0, 75,
                                          m_folder.file("b.jpg")));
    const auto wrong = layOutMerge({{64, 64}, {10, 10}}, MergeSettings{});
    EXPECT_FALSE(
        control::writeMergedJpeg(wrong, {whole, whole}, MergeSettings{}, 0, 75, m_folder.file("c.jpg")));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        EXPECT_FALSE(QFile::exists(m_folder.file(QString::fromLatin1(name)))) << name;
}

} // namespace
} // namespace qx::test

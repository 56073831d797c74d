// Thumbnails: geometry of landscape, portrait and square pictures, the frame, unreadable and large files.
#include "desktop_support.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/thumbnail.h"
#include "support/test_support.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace qx::desktop;
using qx::test::firstColumn;
using qx::test::lastColumn;
using qx::test::near;
using qx::test::writePicture;

namespace {

const QColor kRed(220, 20, 30);
const QColor kBlue(20, 40, 210);
const QColor kFrame(192, 192, 192);

QImage thumbnailOf(const QString& path) {
    const QImage thumb = CListImageCtrl::MakeThumbnail(path);
    EXPECT_EQ(thumb.size(), QSize(120, 90));
    return thumb;
}

bool isEmptyFrame(const QImage& thumb) {
    for (int y = 0; y < thumb.height(); ++y) {
        for (int x = 0; x < thumb.width(); ++x) {
            const bool edge = x == 0 || y == 0 || x == thumb.width() - 1 || y == thumb.height() - 1;
            if (thumb.pixel(x, y) != (edge ? kFrame.rgb() : QColor(Qt::white).rgb()))
                return false;
        }
    }
    return true;
}

} // namespace

TEST(DesktopThumbnail, PlacementFollowsTheRatio) {
    EXPECT_EQ(thumbnailPlacement(4000, 3000), QRect(0, 0, 120, 90));
    EXPECT_EQ(thumbnailPlacement(3000, 4000), QRect(26, 0, 67, 90));
    EXPECT_EQ(thumbnailPlacement(2000, 2000), QRect(15, 0, 90, 90));
    EXPECT_EQ(thumbnailPlacement(4000, 1000), QRect(0, 30, 120, 30));
    EXPECT_EQ(thumbnailPlacement(1280, 1024), QRect(4, 0, 112, 90));
    EXPECT_TRUE(thumbnailPlacement(0, 100).isEmpty());
    EXPECT_TRUE(thumbnailPlacement(100, -1).isEmpty());
    // A picture too thin to show leaves the box empty instead of drawing a line of nothing.
    EXPECT_TRUE(thumbnailPlacement(100000, 10).isEmpty());
}

TEST(DesktopThumbnail, LandscapeFourByThreeFillsTheBoxWithoutMargins) {
    qx::test::Folder dir;
    ASSERT_TRUE(writePicture(dir.file("wide.jpg"), 4000, 3000, kRed));
    const QImage thumb = thumbnailOf(dir.file("wide.jpg"));
    for (const QPoint& p :
         {QPoint(0, 0), QPoint(119, 0), QPoint(0, 89), QPoint(119, 89), QPoint(60, 45), QPoint(0, 45)})
        EXPECT_TRUE(near(thumb.pixel(p), kRed)) << p.x() << "," << p.y();
}

TEST(DesktopThumbnail, PortraitIsCentredWithMarginsOf26And27) {
    qx::test::Folder dir;
    ASSERT_TRUE(writePicture(dir.file("tall.jpg"), 3000, 4000, kRed));
    const QImage thumb = thumbnailOf(dir.file("tall.jpg"));
    EXPECT_EQ(firstColumn(thumb, 45, kRed), 26);
    EXPECT_EQ(lastColumn(thumb, 45, kRed), 26 + 67 - 1);
    EXPECT_EQ(120 - 1 - lastColumn(thumb, 45, kRed), 27);
    // The picture reaches the top and bottom edges and covers the frame there.
    EXPECT_TRUE(near(thumb.pixel(60, 0), kRed));
    EXPECT_TRUE(near(thumb.pixel(60, 89), kRed));
    // Beside it: the frame, then white.
    EXPECT_EQ(thumb.pixel(0, 45), kFrame.rgb());
    EXPECT_EQ(thumb.pixel(119, 45), kFrame.rgb());
    EXPECT_EQ(thumb.pixel(1, 45), QColor(Qt::white).rgb());
    EXPECT_EQ(thumb.pixel(118, 45), QColor(Qt::white).rgb());
    EXPECT_EQ(thumb.pixel(10, 0), kFrame.rgb());
}

TEST(DesktopThumbnail, SquareIs90By90WithALeftMarginOf15) {
    qx::test::Folder dir;
    // PNG goes through the general reader rather than the JPEG decoder.
    ASSERT_TRUE(writePicture(dir.file("square.png"), 2000, 2000, kBlue));
    const QImage thumb = thumbnailOf(dir.file("square.png"));
    EXPECT_EQ(firstColumn(thumb, 45, kBlue), 15);
    EXPECT_EQ(lastColumn(thumb, 45, kBlue), 15 + 90 - 1);
}

TEST(DesktopThumbnail, ABitmapFromTheControlFillsTheBox) {
    qx::test::Folder dir;
    ASSERT_TRUE(writePicture(dir.file("capture.bmp"), 1600, 1200, kBlue));
    const QImage thumb = thumbnailOf(dir.file("capture.bmp"));
    EXPECT_EQ(firstColumn(thumb, 0, kBlue), 0);
    EXPECT_EQ(lastColumn(thumb, 89, kBlue), 119);
}

TEST(DesktopThumbnail, UnreadableFileGivesTheEmptyFrame) {
    qx::test::Folder dir;
    ASSERT_TRUE(
        qx::test::writeAll(dir.file("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 this is no picture")));
    EXPECT_TRUE(isEmptyFrame(thumbnailOf(dir.file("broken.jpg"))));
    ASSERT_TRUE(qx::test::writeAll(dir.file("text.png"), QByteArray("plain text")));
    EXPECT_TRUE(isEmptyFrame(thumbnailOf(dir.file("text.png"))));
}

TEST(DesktopThumbnail, MissingFileGivesTheEmptyFrame) {
    qx::test::Folder dir;
    EXPECT_TRUE(isEmptyFrame(thumbnailOf(dir.file("gone.jpg"))));
}

TEST(DesktopThumbnail, LargeJpegKeepsItsContentAtReducedScale) {
    qx::test::Folder dir;
    QImage image(5000, 4000, QImage::Format_RGB32);
    image.fill(kRed);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(line + 2500, line + 5000, kBlue.rgb());
    }
    ASSERT_TRUE(image.save(dir.file("big.jpg"), "JPG", 90));
    const ScaledPicture picture = loadScaledPicture(dir.file("big.jpg"), QSize(120, 96));
    EXPECT_EQ(picture.original, QSize(5000, 4000));
    EXPECT_EQ(picture.image.size(), QSize(120, 96));
    const QImage thumb = thumbnailOf(dir.file("big.jpg"));
    // At 5:4 the full width would be 96 high: it spans the height instead, 112 x 90 at left 4.
    EXPECT_EQ(thumbnailPlacement(5000, 4000), QRect(4, 0, 112, 90));
    EXPECT_EQ(firstColumn(thumb, 45, kRed), 4);
    EXPECT_TRUE(near(thumb.pixel(30, 45), kRed));
    EXPECT_TRUE(near(thumb.pixel(90, 45), kBlue));
    EXPECT_EQ(lastColumn(thumb, 45, kBlue), 4 + 112 - 1);
}

TEST(DesktopThumbnail, TruncatedJpegStillGivesAFramedThumbnail) {
    qx::test::Folder dir;
    ASSERT_TRUE(writePicture(dir.file("full.jpg"), 800, 600, kRed));
    const QByteArray bytes = qx::test::readAll(dir.file("full.jpg"));
    ASSERT_TRUE(qx::test::writeAll(dir.file("cut.jpg"), bytes.left(bytes.size() / 2)));
    const QImage thumb = thumbnailOf(dir.file("cut.jpg"));
    // The decoded top half shows; whatever the decoder makes of the rest, the thumbnail is whole.
    EXPECT_TRUE(near(thumb.pixel(60, 5), kRed));
}

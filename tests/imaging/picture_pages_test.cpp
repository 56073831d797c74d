// Pages of picture files: how many a file holds and each page at its own depth.
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "support/test_support.h"

#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

using imaging::Picture;

Picture filled(int w, int h, int bits, uint8_t value) {
    Picture p;
    p.width = w;
    p.height = h;
    p.bitsPerPixel = bits;
    p.stride = (w * bits + 31) / 32 * 4;
    p.pixels.assign(static_cast<std::size_t>(p.stride) * h, value);
    p.dpiX = p.dpiY = 200;
    return p;
}

TEST(PicturePages, AMultiPageTiffHasEachPageAtItsOwnDepth) {
    Folder folder;
    const QString tif = folder.file(QStringLiteral("pages.tif"));
    imaging::TiffPageWriter writer(tif);
    ASSERT_TRUE(writer.addPage(filled(40, 30, 24, 0x40)));
    ASSERT_TRUE(writer.addPage(filled(20, 10, 8, 0x80)));
    ASSERT_TRUE(writer.addPage(filled(33, 17, 1, 0xAA)));
    ASSERT_TRUE(writer.commit());

    EXPECT_EQ(imaging::picturePageCount(tif), 3);
    const auto colour = imaging::loadPicturePage(tif, 0);
    const auto grey = imaging::loadPicturePage(tif, 1);
    const auto mono = imaging::loadPicturePage(tif, 2);
    ASSERT_TRUE(colour && grey && mono);
    EXPECT_EQ(colour->bitsPerPixel, 24);
    EXPECT_EQ(grey->bitsPerPixel, 8);
    EXPECT_EQ(grey->width, 20);
    EXPECT_EQ(grey->colourAt(5, 5), qRgb(0x80, 0x80, 0x80));
    EXPECT_EQ(mono->bitsPerPixel, 1);
    EXPECT_EQ(mono->width, 33);
    EXPECT_EQ(mono->colourAt(0, 0), imaging::loadPicturePage(tif, 2)->colourAt(0, 0));
    EXPECT_NE(mono->colourAt(0, 0), mono->colourAt(1, 0)); // 0xAA: alternating pixels
    EXPECT_DOUBLE_EQ(grey->dpiX, 200);
    EXPECT_FALSE(imaging::loadPicturePage(tif, 3));
    EXPECT_FALSE(imaging::loadPicturePage(tif, -1));
}

TEST(PicturePages, EveryFrameOfAnAnimatedGifCanBeRead) {
    // ImageMagick makes the animation: our own GIF writer makes single frames only.
    Folder folder;
    const QString gif = folder.file(QStringLiteral("frames.gif"));
    QProcess convert;
    convert.start(QStringLiteral("convert"), {QStringLiteral("-size"), QStringLiteral("16x12"),
                                              QStringLiteral("xc:red"), QStringLiteral("xc:lime"),
                                              QStringLiteral("xc:blue"), gif});
    ASSERT_TRUE(convert.waitForFinished(30000));
    ASSERT_EQ(convert.exitCode(), 0);
    ASSERT_EQ(imaging::picturePageCount(gif), 3);
    const QRgb expected[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    for (int i = 0; i < 3; ++i) {
        const auto frame = imaging::loadPicturePage(gif, i);
        ASSERT_TRUE(frame) << i;
        EXPECT_EQ(frame->colourAt(5, 5) & 0xFFFFFF, expected[i] & 0xFFFFFF) << i;
    }
    EXPECT_FALSE(imaging::loadPicturePage(gif, 3));
}

TEST(PicturePages, SinglePicturesHaveOnePageAndBrokenFilesNone) {
    Folder folder;
    const QString bmp = folder.file(QStringLiteral("one.bmp"));
    ASSERT_TRUE(imaging::saveBmp(filled(8, 8, 24, 0x11), bmp));
    EXPECT_EQ(imaging::picturePageCount(bmp), 1);
    EXPECT_TRUE(imaging::loadPicturePage(bmp, 0));
    EXPECT_FALSE(imaging::loadPicturePage(bmp, 1));
    ASSERT_TRUE(writeAll(folder.file(QStringLiteral("junk.tif")), "II*\0junk"));
    EXPECT_EQ(imaging::picturePageCount(folder.file(QStringLiteral("junk.tif"))), 0);
    EXPECT_EQ(imaging::picturePageCount(folder.file(QStringLiteral("none.png"))), 0);
}

} // namespace
} // namespace qx::test

// libTiffConvert.so as the control loads it: pages collected, written as one TIFF, checked by tiffinfo.
#include "imaging/external_tools.h"
#include "qx_tiff_convert.h"
#include "support/test_support.h"
#include "tiff_test_pictures.h"

#include <QLibrary>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace qx::test {
namespace {

class TiffConvertTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_library.setFileName(binFolder() + QStringLiteral("libTiffConvert.so"));
        ASSERT_TRUE(m_library.load()) << m_library.errorString().toStdString();
        add = reinterpret_cast<decltype(add)>(m_library.resolve("AddImageToTifLayer"));
        convert = reinterpret_cast<decltype(convert)>(m_library.resolve("Convert2Tif"));
        clean = reinterpret_cast<decltype(clean)>(m_library.resolve("CleanImageFromTifLayer"));
        ASSERT_TRUE(add && convert && clean);
        clean();
        ASSERT_TRUE(colourImage(300, 200, 150).save(file("colour.bmp")));
        ASSERT_TRUE(greyImage(120, 90, 96).save(file("grey.jpg"), "JPEG", 90));
        ASSERT_TRUE(monoImage(64, 48, 300).save(file("mono.png")));
    }
    void TearDown() override { clean(); }

    QString file(const char* name) const { return m_folder.file(QString::fromLatin1(name)); }
    static QByteArray path(const QString& p) { return p.toUtf8(); }
    int32_t addFile(const QString& p) { return add(path(p).constData()); }

    Folder m_folder;
    QLibrary m_library;
    int32_t (*add)(const char*) = nullptr;
    int32_t (*convert)(const char*) = nullptr;
    int32_t (*clean)() = nullptr;
};

QString aeDifference(const QString& a, const QString& b) {
    const ToolRun run = runTool(QStringLiteral("compare"), {QStringLiteral("-metric"), QStringLiteral("AE"),
                                                            a, b, QStringLiteral("null:")});
    return QString::fromUtf8(run.err).trimmed();
}

TEST_F(TiffConvertTest, ThreePicturesOfDifferentDepthsAndResolutionsBecomeThreePages) {
    EXPECT_EQ(addFile(file("colour.bmp")), 1);
    EXPECT_EQ(addFile(file("grey.jpg")), 2);
    EXPECT_EQ(addFile(file("mono.png")), 3);
    EXPECT_EQ(convert(path(file("pages.tif")).constData()), 3);

    const ToolRun info = runTool(QStringLiteral("tiffinfo"), {file("pages.tif")});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    const QStringList pages = info.text().split(QStringLiteral("TIFF Directory at offset")).mid(1);
    ASSERT_EQ(pages.size(), 3) << info.text().toStdString();
    struct Expected {
        const char* size;
        const char* bits;
        const char* samples;
        const char* resolution;
    };
    const Expected expected[] = {
        {"Image Width: 300 Image Length: 200", "Bits/Sample: 8", "Samples/Pixel: 3",
         "Resolution: 150, 150 pixels/inch"},
        {"Image Width: 120 Image Length: 90", "Bits/Sample: 8", "Samples/Pixel: 1",
         "Resolution: 96, 96 pixels/inch"},
        {"Image Width: 64 Image Length: 48", "Bits/Sample: 1", "Samples/Pixel: 1",
         "Resolution: 300, 300 pixels/inch"},
    };
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(pages[i].contains(QLatin1String(expected[i].size))) << pages[i].toStdString();
        EXPECT_TRUE(pages[i].contains(QLatin1String(expected[i].bits)));
        EXPECT_TRUE(pages[i].contains(QLatin1String(expected[i].samples)));
        EXPECT_TRUE(pages[i].contains(QLatin1String(expected[i].resolution)));
        EXPECT_TRUE(pages[i].contains(QLatin1String("Compression Scheme: LZW")));
    }
    // The lossless sources come back pixel for pixel.
    EXPECT_EQ(aeDifference(file("colour.bmp"), file("pages.tif") + QStringLiteral("[0]")),
              QStringLiteral("0"));
    EXPECT_EQ(aeDifference(file("mono.png"), file("pages.tif") + QStringLiteral("[2]")), QStringLiteral("0"));
}

TEST_F(TiffConvertTest, AMissingOrBrokenFileIsRefusedAndThePendingPagesStayUsable) {
    ASSERT_TRUE(writeAll(file("broken.bmp"), QByteArray("BM\x10\x00\x00\x00garbage", 13)));
    QByteArray cut = readAll(file("colour.bmp"));
    cut.truncate(cut.size() / 2);
    ASSERT_TRUE(writeAll(file("cut.png"), readAll(file("mono.png")).left(40)));
    ASSERT_TRUE(writeAll(file("half.bmp"), cut));

    EXPECT_EQ(addFile(file("colour.bmp")), 1);
    EXPECT_EQ(addFile(file("missing.bmp")), QX_TIF_UNREADABLE);
    EXPECT_EQ(addFile(file("broken.bmp")), QX_TIF_UNREADABLE);
    EXPECT_EQ(addFile(file("half.bmp")), QX_TIF_UNREADABLE);
    EXPECT_EQ(addFile(file("cut.png")), QX_TIF_UNREADABLE);
    EXPECT_EQ(addFile(m_folder.path()), QX_TIF_UNREADABLE); // a folder
    EXPECT_EQ(add(nullptr), QX_TIF_BAD_PATH);
    EXPECT_EQ(add(""), QX_TIF_BAD_PATH);
    EXPECT_EQ(addFile(file("mono.png")), 2);
    EXPECT_EQ(convert(path(file("two.tif")).constData()), 2);
    const ToolRun info = runTool(QStringLiteral("tiffinfo"), {file("two.tif")});
    EXPECT_EQ(info.text().count(QStringLiteral("TIFF Directory at offset")), 2);
}

TEST_F(TiffConvertTest, CleanEmptiesThePendingList) {
    EXPECT_EQ(addFile(file("colour.bmp")), 1);
    EXPECT_EQ(addFile(file("grey.jpg")), 2);
    EXPECT_EQ(clean(), 2);
    EXPECT_EQ(convert(path(file("none.tif")).constData()), QX_TIF_NO_PAGES);
    EXPECT_FALSE(QFile::exists(file("none.tif")));
    EXPECT_EQ(addFile(file("mono.png")), 1);
    EXPECT_EQ(convert(path(file("one.tif")).constData()), 1);
    EXPECT_EQ(
        runTool(QStringLiteral("tiffinfo"), {file("one.tif")}).text().count(QStringLiteral("TIFF Directory")),
        1);
}

TEST_F(TiffConvertTest, AWriteThatFailsLeavesNoFileAndKeepsThePages) {
    ASSERT_TRUE(writeAll(file("old.tif"), "older file"));
    EXPECT_EQ(addFile(file("colour.bmp")), 1);
    EXPECT_EQ(convert(path(file("no/such/folder.tif")).constData()), QX_TIF_WRITE_FAILED);
    EXPECT_FALSE(QFile::exists(file("no/such/folder.tif")));
    EXPECT_EQ(convert(nullptr), QX_TIF_BAD_PATH);
    EXPECT_EQ(convert(path(file("old.tif")).constData()), 1);
    EXPECT_NE(readAll(file("old.tif")), QByteArray("older file"));
}

TEST_F(TiffConvertTest, CallsFromSeveralThreadsAllCount) {
    std::vector<std::thread> threads;
    const QByteArray mono = path(file("mono.png"));
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 5; ++i)
                add(mono.constData());
        });
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(convert(path(file("many.tif")).constData()), 20);
    EXPECT_EQ(clean(), 20);
}

} // namespace
} // namespace qx::test

// Every step that replaces a picture in place keeps the permissions of the file it replaces.
#include "control_fixture.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/jpeg_stream.h"
#include "qx/imaging/picture.h"
#include "qx/platform/codepage.h"

#include <QFile>
#include <sys/stat.h>

namespace qx::test {
namespace {

// A mode neither the umask (0644) nor a private temporary file (0600) would give.
constexpr mode_t kOwnersMode = 0640;

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool giveMode(const QString& path) {
    return ::chmod(QFile::encodeName(path).constData(), kOwnersMode) == 0;
}

imaging::Picture plain(int width, int height, int bits = 24) {
    imaging::Picture p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = bits;
    p.stride = int((size_t(width) * size_t(bits) + 31) / 32 * 4);
    p.pixels.assign(size_t(p.stride) * size_t(height), 0x80);
    p.dpiX = p.dpiY = 96;
    return p;
}

class ReplaceModeTest : public ControlTest {
protected:
    Folder m_files;
};

TEST_F(ReplaceModeTest, WatermarksCardRewritesAndConversionsKeepTheReplacedFilesMode) {
    auto& c = createControl({QStringLiteral("camera_full"), QStringLiteral("idcard_full")});
    c.setBShowMsgBox(false);

    // The watermark's JPEG and BMP paths.
    for (const char* name : {"stamp.jpg", "stamp.bmp"}) {
        const QString file = m_files.file(QString::fromLatin1(name));
        ASSERT_TRUE(QString::fromLatin1(name).endsWith(QLatin1String("jpg"))
                        ? imaging::saveJpeg(plain(64, 48), file, 75)
                        : imaging::saveBmp(plain(64, 48), file));
        ASSERT_TRUE(giveMode(file));
        c.setCPicName(file);
        m_ui.queueAnswer(QStringLiteral("watermark"),
                         QVariantMap{{QStringLiteral("text"), QStringLiteral("x")}});
        EXPECT_EQ(c.AddWaterMark(), 0);
        EXPECT_TRUE(log().filter(QStringLiteral("添加水印失败")).isEmpty()) << name;
        EXPECT_EQ(modeOf(file), kOwnersMode) << name;
    }

    // TransImg onto a JPEG the user chose to overwrite.
    const QString bmp = m_files.file(QStringLiteral("source.bmp"));
    const QString jpeg = m_files.file(QStringLiteral("chosen.jpg"));
    ASSERT_TRUE(imaging::saveBmp(plain(32, 32), bmp));
    ASSERT_TRUE(writeAll(jpeg, "older"));
    ASSERT_TRUE(giveMode(jpeg));
    m_ui.queueAnswer(QStringLiteral("file-open"), QStringList{bmp});
    m_ui.queueAnswer(QStringLiteral("file-save"), jpeg);
    c.TransImg();
    EXPECT_TRUE(imaging::readJpegInfo(jpeg).has_value());
    EXPECT_EQ(modeOf(jpeg), kOwnersMode);

    // The card picture rewritten as 24-bit under its own and a wanted name, and the photo copy.
    Folder cards;
    const ScopedEnv record("QX_FAKE_CARD_RECORD", m_files.file(QStringLiteral("record.txt")));
    const ScopedEnv image("QX_FAKE_CARD_IMAGE", m_files.file(QStringLiteral("card32.bmp")));
    ASSERT_TRUE(
        writeAll(m_files.file(QStringLiteral("record.txt")),
                 platform::toGbk(QStringLiteral("X:name='王小明',sex='男',nation='汉',birthday='1990-03-07',"
                                                "address='北京',id='110101',authority='公安局',"
                                                "validity='2015-2035',"))));
    ASSERT_TRUE(imaging::saveBmp(plain(60, 40, 32), m_files.file(QStringLiteral("card32.bmp"))));
    for (const char* name : {"card.bmp", "wanted.bmp", "110101-head.bmp"}) {
        ASSERT_TRUE(writeAll(cards.file(QString::fromLatin1(name)), "older"));
        ASSERT_TRUE(giveMode(cards.file(QString::fromLatin1(name))));
    }
    for (const QString& wanted : {QString(), QStringLiteral("wanted.bmp")}) {
        ASSERT_TRUE(imaging::saveBmp(plain(10, 12), m_controlFolder.file(QStringLiteral("ImgTemp.bmp"))));
        c.setIDCardImgName(wanted);
        ASSERT_TRUE(c.IDCardRead(cards.path())) << log().join(u'|').toStdString();
        const QString picture = cards.file(c.ImgName());
        EXPECT_EQ(uint8_t(readAll(picture)[28]), 24) << picture.toStdString();
        EXPECT_EQ(modeOf(picture), kOwnersMode) << picture.toStdString();
        EXPECT_EQ(modeOf(cards.file(QStringLiteral("110101-head.bmp"))), kOwnersMode);
    }
}

TEST_F(ReplaceModeTest, ACustomNameThatReplacesAnOlderPictureKeepsItsMode) {
    const ScopedEnv cameras("QX_VIRTUAL_CAMERAS", QStringLiteral("7e41:320x240"));
    auto& c = createWithNormalPreview(m_files.path());
    const QString older = m_files.file(QStringLiteral("named.jpg"));
    ASSERT_TRUE(writeAll(older, "older"));
    ASSERT_TRUE(giveMode(older));
    c.setCustomImgName(QStringLiteral("named"));
    ASSERT_EQ(c.Morvel(QStringLiteral("jpg")), 0);
    EXPECT_EQ(c.cPicName(), older);
    EXPECT_TRUE(imaging::readJpegInfo(older).has_value());
    EXPECT_EQ(modeOf(older), kOwnersMode);
}

} // namespace
} // namespace qx::test

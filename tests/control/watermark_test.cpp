// AddWaterMark: the dialog's settings file, the stamped pixels (read by ImageMagick) and what
// becomes of the picture for each extension.
#include "control/ui/watermark_dialog.h"
#include "control_fixture.h"
#include "qx/imaging/picture.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QProcess>
#include <clocale>

namespace qx::test {
namespace {

using control::CWaterMarkDlg;

// A white picture of `bits` (1, 8 or 24) at `dpi`, written by our BMP writer.
imaging::Picture whitePicture(int width, int height, int bits, double dpi) {
    imaging::Picture p;
    p.width = width;
    p.height = height;
    p.bitsPerPixel = bits;
    p.stride = int((size_t(width) * size_t(bits) + 31) / 32 * 4);
    p.pixels.assign(size_t(p.stride) * size_t(height), 0xff);
    if (bits == 8)
        for (int i = 0; i < 256; ++i)
            p.palette.push_back(qRgb(i, i, i));
    p.dpiX = p.dpiY = dpi;
    return p;
}

// ImageMagick's answer for `file` with `arguments` before `-format FORMAT info:`.
QString magick(const QString& file, const QStringList& arguments, const QString& format) {
    QProcess p;
    p.start(QStringLiteral("convert"),
            QStringList{file} + arguments +
                QStringList{QStringLiteral("-format"), format, QStringLiteral("info:")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The bounding box ("WxH+X+Y") of the pixels near `colour`, everything else made white first.
QString boxOf(const QString& file, const QString& colour) {
    return magick(file,
                  {QStringLiteral("-fuzz"), QStringLiteral("35%"), QStringLiteral("-fill"),
                   QStringLiteral("white"), QStringLiteral("+opaque"), colour},
                  QStringLiteral("%@"));
}

class WatermarkTest : public ControlTest {
protected:
    QString ini() const { return m_tempFolder.file(QStringLiteral("WaterMarkData.ini")); }
    QString picture(const QString& name, int bits = 24, double dpi = 150) {
        const QString path = m_files.file(name);
        EXPECT_TRUE(imaging::saveBmp(whitePicture(400, 300, bits, dpi), path));
        return path;
    }
    QString jpegPicture(const QString& name) {
        const QString path = m_files.file(name);
        QImage white(400, 300, QImage::Format_RGB32);
        white.fill(Qt::white);
        EXPECT_TRUE(white.save(path, "JPG"));
        return path;
    }
    // A red "■" of 40 pixels at (50, 60) and a 50 x 50 blue square at (200.7, 100.9).
    QVariantMap redTextAndBlueSquare() {
        const QString blue = m_files.file(QStringLiteral("blue.png"));
        QImage square(50, 50, QImage::Format_RGB32);
        square.fill(QColor(0, 0, 255));
        EXPECT_TRUE(square.save(blue, "PNG"));
        m_ui.queueAnswer(QStringLiteral("color"), QStringLiteral("#ff0000"));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(40);
        m_ui.queueAnswer(QStringLiteral("font"), font.toString());
        return {{QStringLiteral("text"), QStringLiteral("■")},
                {QStringLiteral("textX"), 50},
                {QStringLiteral("textY"), 60},
                {QStringLiteral("image"), blue},
                {QStringLiteral("imageX"), 200.7},
                {QStringLiteral("imageY"), 100.9},
                {QStringLiteral("fontSettings"), true}};
    }
    QByteArray iniText() const { return readAll(ini()); }

    Folder m_files;
};

TEST_F(WatermarkTest, AFirstDialogCreatesTheFileWithSixKeysAndCancelWritesNothingMore) {
    auto& c = createControl();
    c.setCPicName(picture(QStringLiteral("pic.bmp")));
    const QByteArray before = readAll(c.cPicName());
    m_ui.queueAnswer(QStringLiteral("watermark"), QVariant());
    EXPECT_EQ(c.AddWaterMark(), 0);
    EXPECT_EQ(iniText(),
              QByteArray("[WaterMarkInfo]\r\ntext=\r\ntext-x=0.000000\r\ntext-y=0.000000\r\nimg=\r\n"
                         "img-x=0.000000\r\nimg-y=0.000000\r\n"));
    EXPECT_EQ(readAll(c.cPicName()), before);
    EXPECT_TRUE(m_ui.messages().isEmpty());
    EXPECT_EQ(QDir(m_tempFolder.path()).entryList({QStringLiteral("*.bmp")}), QStringList());
}

TEST_F(WatermarkTest, MissingKeysTakeTheirDefaults) {
    ASSERT_TRUE(writeAll(ini(), "[WaterMarkInfo]\r\ntext=hello\r\n"));
    ScriptedUiHost ui;
    CWaterMarkDlg dialog(ui, QString(), m_tempFolder.path(), nullptr);
    const control::WatermarkSettings s = dialog.settings();
    EXPECT_EQ(s.text, QStringLiteral("hello"));
    EXPECT_EQ(s.font.faceName, QStringLiteral("华文彩云"));
    EXPECT_EQ(s.font.height, -56);
    EXPECT_EQ(s.font.weight, 400);
    EXPECT_EQ(s.font.charSet, 134);
    EXPECT_EQ(s.font.outPrecision, 3);
    EXPECT_EQ(s.font.clipPrecision, 2);
    EXPECT_EQ(s.font.quality, 1);
    EXPECT_EQ(s.font.pitchAndFamily, 2);
    EXPECT_EQ(s.image, QString());
    // The face is not installed; the text is still drawn in 56 pixels of an installed face.
    EXPECT_EQ(dialog.textFont().pixelSize(), 56);
    EXPECT_EQ(dialog.textFont().family(), QStringLiteral("华文彩云"));
}

TEST_F(WatermarkTest, EverySettingSurvivesARoundTripWhateverTheLocale) {
    const char* saved = std::setlocale(LC_ALL, nullptr);
    const std::string previous = saved ? saved : "C";
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(
        writeAll(ini(), "[WaterMarkInfo]\r\ntext-CharSet=0\r\ntext-Quality=4\r\ntext-Escapement=900\r\n"));
    auto& c = createControl();
    c.setCPicName(picture(QStringLiteral("pic.bmp")));
    m_ui.queueAnswer(QStringLiteral("color"), QStringLiteral("#102030"));
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(33);
    font.setWeight(QFont::Bold);
    font.setItalic(true);
    font.setUnderline(true);
    m_ui.queueAnswer(QStringLiteral("font"), font.toString());
    m_ui.queueAnswer(QStringLiteral("watermark"),
                     QVariantMap{{QStringLiteral("text"), QStringLiteral("第一行\n C:\\\\ back\\slash")},
                                 {QStringLiteral("textX"), 12.5},
                                 {QStringLiteral("textY"), QStringLiteral("7.25")},
                                 {QStringLiteral("imageX"), 3},
                                 {QStringLiteral("imageY"), 0.5},
                                 {QStringLiteral("fontSettings"), true}});
    EXPECT_EQ(c.AddWaterMark(), 0);
    const QByteArray text = iniText();
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_TRUE(german) << "de_DE.UTF-8 is missing (scripts/install-deps generates it)";
    EXPECT_EQ(text, QStringLiteral(
                        "[WaterMarkInfo]\r\ntext=第一行\\n C:\\\\\\\\ back\\\\slash\r\ntext-CharSet=0\r\n"
                        "text-ClipPrecision=2\r\ntext-Escapement=900\r\ntext-FaceName=WenQuanYi Zen Hei\r\n"
                        "text-lfHeight=-33\r\ntext-Italic=1\r\ntext-Orientation=0\r\ntext-OutPrecision=3\r\n"
                        "text-PitchAndFamily=2\r\ntext-Quality=4\r\ntext-StrikeOut=0\r\ntext-Underline=1\r\n"
                        "text-Weight=700\r\ntext-Width=0\r\ntext-x=12.500000\r\ntext-y=7.250000\r\n"
                        "text-r=16.000000\r\ntext-g=32.000000\r\ntext-b=48.000000\r\nimg=\r\n"
                        "img-x=3.000000\r\nimg-y=0.500000\r\n")
                        .toUtf8());

    // The next dialog starts from every value written.
    CWaterMarkDlg next(m_ui, QString(), m_tempFolder.path(), nullptr);
    const control::WatermarkSettings s = next.settings();
    EXPECT_EQ(s.text, QStringLiteral("第一行\n C:\\\\ back\\slash"));
    EXPECT_EQ(s.textX, 12.5);
    EXPECT_EQ(s.textY, 7.25);
    EXPECT_EQ(s.red, 16);
    EXPECT_EQ(s.blue, 48);
    EXPECT_EQ(s.font.height, -33);
    EXPECT_EQ(s.font.weight, 700);
    EXPECT_EQ(s.font.italic, 1);
    EXPECT_EQ(s.font.escapement, 900);
    EXPECT_EQ(s.font.charSet, 0);
    EXPECT_EQ(next.textFont().family(), QStringLiteral("WenQuanYi Zen Hei"));
}

TEST_F(WatermarkTest, TextAndImageLandWhereTheyAreToldOnEveryDepth) {
    for (const int bits : {24, 8, 1}) {
        auto& c = createControl();
        const QString file = picture(QStringLiteral("pic%1.bmp").arg(bits), bits, 150);
        c.setCPicName(file);
        m_ui.queueAnswer(QStringLiteral("watermark"), redTextAndBlueSquare());
        EXPECT_EQ(c.AddWaterMark(), 0);
        EXPECT_EQ(m_ui.messages().last(), QStringLiteral("添加水印成功"));
        EXPECT_EQ(c.cPicName(), file);
        // The stamped BMP replaced the picture and is gone from the temporary folder.
        EXPECT_FALSE(QFileInfo::exists(m_tempFolder.file(QStringLiteral("pic%1AW.bmp").arg(bits))));
        EXPECT_EQ(magick(file, {}, QStringLiteral("%w %h %z")), QStringLiteral("400 300 8")) << bits;
        const QStringList dpi =
            magick(file, {QStringLiteral("-units"), QStringLiteral("PixelsPerInch")}, QStringLiteral("%x %y"))
                .split(QLatin1Char(' '));
        ASSERT_EQ(dpi.size(), 2);
        EXPECT_NEAR(dpi[0].toDouble(), 150, 0.05);
        EXPECT_NEAR(dpi[1].toDouble(), 150, 0.05);
        EXPECT_EQ(boxOf(file, QStringLiteral("blue")), QStringLiteral("50x50+200+100")) << bits;
        const QStringList red =
            boxOf(file, QStringLiteral("red")).split(QRegularExpression(QStringLiteral("[x+]")));
        ASSERT_EQ(red.size(), 4) << bits;
        // The glyph lies right of and below its top-left corner, within one line of 40 pixels.
        EXPECT_GE(red[2].toInt(), 50);
        EXPECT_LT(red[2].toInt(), 60);
        EXPECT_GE(red[3].toInt(), 60);
        EXPECT_LT(red[3].toInt() + red[1].toInt(), 60 + 50);
        EXPECT_GT(red[0].toInt() * red[1].toInt(), 200);
    }
}

TEST_F(WatermarkTest, EachExtensionHasItsOutcome) {
    auto& c = createControl();
    // jpg: stamped and re-saved at the same path.
    const QString jpeg = jpegPicture(QStringLiteral("pic.jpg"));
    c.setCPicName(jpeg);
    m_ui.queueAnswer(QStringLiteral("watermark"), redTextAndBlueSquare());
    c.AddWaterMark();
    EXPECT_EQ(c.cPicName(), jpeg);
    EXPECT_EQ(boxOf(jpeg, QStringLiteral("blue")), QStringLiteral("50x50+200+100"));
    EXPECT_FALSE(QFileInfo::exists(m_tempFolder.file(QStringLiteral("picAW.bmp"))));
    EXPECT_EQ(QDir(m_files.path()).entryList(QDir::Files).size(), 2); // pic.jpg and blue.png, no leftovers

    // jpeg, tif: the picture stays; the stamped copy waits in the temporary folder.
    for (const QString& name : {QStringLiteral("pic.jpeg"), QStringLiteral("scan.tif")}) {
        const QString other = m_files.file(name);
        ASSERT_TRUE(copyFile(jpeg, other));
        const QByteArray before = readAll(other);
        c.setCPicName(other);
        m_ui.queueAnswer(QStringLiteral("watermark"),
                         QVariantMap{{QStringLiteral("text"), QStringLiteral("x")}});
        c.AddWaterMark();
        EXPECT_EQ(readAll(other), before);
        const QString stamped = m_tempFolder.file(name.left(name.size() - 4) + QStringLiteral("AW.bmp"));
        EXPECT_TRUE(imaging::loadBmp(stamped).has_value()) << stamped.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(m_tempFolder.file(QStringLiteral("pic.AW.bmp"))));

    // Names shorter than an extension: nothing before the start is taken.
    const QString shortName = m_files.file(QStringLiteral("ab"));
    ASSERT_TRUE(copyFile(jpeg, shortName));
    c.setCPicName(shortName);
    m_ui.queueAnswer(QStringLiteral("watermark"), QVariantMap{});
    c.AddWaterMark();
    EXPECT_TRUE(QFileInfo::exists(m_tempFolder.file(QStringLiteral("AW.bmp"))));
}

TEST_F(WatermarkTest, NothingToDrawReSavesThePictureUnchanged) {
    auto& c = createControl();
    const QString file = picture(QStringLiteral("pic.bmp"));
    const auto before = imaging::loadBmp(file);
    c.setCPicName(file);
    m_ui.queueAnswer(QStringLiteral("watermark"),
                     QVariantMap{{QStringLiteral("text"), QString()}, {QStringLiteral("image"), QString()}});
    c.AddWaterMark();
    const auto after = imaging::loadBmp(file);
    ASSERT_TRUE(before && after);
    EXPECT_TRUE(before->pixels == after->pixels);
    EXPECT_EQ(after->dpiX, 150);
}

TEST_F(WatermarkTest, AFailureIsLoggedAndNeverLosesOrReportsTheStampAsDone) {
    auto& c = createControl();
    // A picture that cannot be read: nothing stamped, no success box.
    const QString broken = m_files.file(QStringLiteral("broken.jpg"));
    ASSERT_TRUE(writeAll(broken, "not a jpeg"));
    c.setCPicName(broken);
    m_ui.queueAnswer(QStringLiteral("watermark"), QVariantMap{{QStringLiteral("text"), QStringLiteral("x")}});
    EXPECT_EQ(c.AddWaterMark(), 0);
    EXPECT_EQ(readAll(broken), QByteArray("not a jpeg"));
    EXPECT_TRUE(m_ui.messages().isEmpty());
    EXPECT_EQ(log().last(), QStringLiteral("添加水印失败，无法读取图片:") + broken);

    // The JPEG cannot be written beside the picture (read-only folder): the picture stays as it was.
    const QString jpeg = jpegPicture(QStringLiteral("pic.jpg"));
    const QByteArray before = readAll(jpeg);
    c.setCPicName(jpeg);
    {
        ObeyFilePermissions obey;
        ASSERT_TRUE(obey.active());
        ASSERT_TRUE(QFile::setPermissions(m_files.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        m_ui.queueAnswer(QStringLiteral("watermark"),
                         QVariantMap{{QStringLiteral("text"), QStringLiteral("x")}});
        EXPECT_EQ(c.AddWaterMark(), 0);
        QFile::setPermissions(m_files.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    EXPECT_EQ(readAll(jpeg), before);
    EXPECT_TRUE(m_ui.messages().isEmpty());
    EXPECT_EQ(log().last(), QStringLiteral("添加水印失败，图片未替换:") + jpeg);

    // The temporary folder is gone: the stamped copy cannot be written.
    {
        ScopedEnv gone("Temp", m_files.file(QStringLiteral("missing/")));
        m_ui.queueAnswer(QStringLiteral("watermark"),
                         QVariantMap{{QStringLiteral("text"), QStringLiteral("x")}});
        EXPECT_EQ(c.AddWaterMark(), 0);
    }
    EXPECT_EQ(readAll(jpeg), before);
    EXPECT_TRUE(m_ui.messages().isEmpty());
    EXPECT_TRUE(log().last().startsWith(QStringLiteral("添加水印失败，无法写入:")));
}

} // namespace
} // namespace qx::test

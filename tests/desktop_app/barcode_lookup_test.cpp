// The barcode lookup on pictures drawn with zint's barcodes in every format the control writes, and
// barcode naming in the main dialog on the virtual camera.
#include "app_fixture.h"

#include "qx/desktop/barcode_lookup.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "support/edge_scenes.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QTransform>

using namespace qx::desktop;

namespace qx::test {
namespace {

// A barcode drawn by zint (an encoder independent of the decoder), as an image; null when zint fails.
QImage zintBarcode(const QString& data, int symbology = 20, bool escapes = false) {
    Folder folder;
    const QString png = folder.file(QStringLiteral("code.png"));
    QStringList args{QStringLiteral("-b"),        QString::number(symbology),
                     QStringLiteral("--scale=2"), QStringLiteral("--notext"),
                     QStringLiteral("-o"),        png,
                     QStringLiteral("-d"),        data};
    if (escapes)
        args.prepend(QStringLiteral("--esc"));
    QProcess zint;
    zint.start(QStringLiteral("zint"), args);
    if (!zint.waitForFinished(20000) || zint.exitCode() != 0) {
        ADD_FAILURE() << "zint failed: " << zint.readAllStandardError().toStdString();
        return {};
    }
    return QImage(png);
}

struct Placed {
    QImage code;
    QPoint at;
    int degrees = 0;
};

// A white A4 page at 150 dpi with the barcodes drawn on it.
QImage page(const std::vector<Placed>& codes) {
    QImage out(1240, 1754, QImage::Format_RGB888);
    out.fill(Qt::white);
    QPainter p(&out);
    for (const Placed& c : codes)
        p.drawImage(c.at, c.code.transformed(QTransform().rotate(c.degrees)));
    return out;
}

// The capture chain's picture of `image`: 24-bit, 8-bit grey or 1-bit (black then white).
imaging::Picture picture(const QImage& image, int bits) {
    imaging::Picture pic;
    pic.width = image.width();
    pic.height = image.height();
    pic.bitsPerPixel = bits;
    pic.stride = ((pic.width * bits + 31) / 32) * 4;
    pic.pixels.assign(static_cast<size_t>(pic.stride) * pic.height, 0);
    pic.dpiX = pic.dpiY = 150;
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    for (int y = 0; y < pic.height; ++y) {
        uint8_t* row = pic.pixels.data() + static_cast<size_t>(y) * pic.stride;
        for (int x = 0; x < pic.width; ++x) {
            if (bits == 24) {
                const uchar* s = rgb.constScanLine(y) + x * 3;
                row[x * 3] = s[2];
                row[x * 3 + 1] = s[1];
                row[x * 3 + 2] = s[0];
            } else if (bits == 8) {
                row[x] = grey.constScanLine(y)[x];
            } else if (grey.constScanLine(y)[x] >= 128) {
                row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return pic;
}

class DesktopBarcodeLookup : public ::testing::Test {
protected:
    QString lookup(const QString& path) { return BarcodeLookup(m_ui, nullptr)(path); }

    QString jpeg(const QImage& image, const QString& name = QStringLiteral("page.jpg")) {
        const QString path = m_folder.file(name);
        EXPECT_TRUE(imaging::saveJpeg(picture(image, 24), path, 75));
        return path;
    }

    // No temporary copy of any picture is left, here or in the temporary folder.
    void expectNoBarCopies() {
        for (const QString& root : {m_folder.path(), QDir::tempPath()}) {
            QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString f = it.next();
                EXPECT_FALSE(f.endsWith(QLatin1String("-bar.jpg"))) << f.toStdString();
            }
        }
    }

    Folder m_folder;
    ScriptedUiHost m_ui;
};

TEST_F(DesktopBarcodeLookup, ACode128IsFoundAndCleanedIntoAFileName) {
    const QString path = jpeg(page({{zintBarcode(QStringLiteral("A/B:C 12")), {300, 600}}}));
    EXPECT_EQ(lookup(path), QStringLiteral("ABC12"));
    EXPECT_TRUE(m_ui.messages().isEmpty());
    const BarcodeScan scan = scanBarcodeFile(path);
    ASSERT_EQ(scan.barcodes.size(), 1u);
    EXPECT_EQ(scan.barcodes[0].text, QStringLiteral("A/B:C 12"));
    EXPECT_EQ(scan.barcodes[0].format, QStringLiteral("Code128"));
    expectNoBarCopies();
}

TEST_F(DesktopBarcodeLookup, TheLastBarcodeInReadingOrderNamesThePicture) {
    const QImage first = zintBarcode(QStringLiteral("FIRST1"));
    const QImage second = zintBarcode(QStringLiteral("SECOND2"));
    // Drawn bottom first and top second: the order on the page decides, not the order of drawing.
    const QString below = jpeg(page({{second, {200, 1200}}, {first, {600, 200}}}), QStringLiteral("a.jpg"));
    EXPECT_EQ(lookup(below), QStringLiteral("SECOND2"));
    const BarcodeScan scan = scanBarcodeFile(below);
    ASSERT_EQ(scan.barcodes.size(), 2u);
    EXPECT_EQ(scan.barcodes[0].text, QStringLiteral("FIRST1"));
    EXPECT_LT(scan.barcodes[0].topLeft.y(), scan.barcodes[1].topLeft.y());
    // Swapped places swap the result.
    const QString above = jpeg(page({{second, {200, 200}}, {first, {600, 1200}}}), QStringLiteral("b.jpg"));
    EXPECT_EQ(lookup(above), QStringLiteral("FIRST1"));
    // On one line, left to right: the right one is last.
    const QString row = jpeg(page({{second, {700, 500}}, {first, {60, 500}}}), QStringLiteral("c.jpg"));
    EXPECT_EQ(lookup(row), QStringLiteral("SECOND2"));
    // The same on every run.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(lookup(below), QStringLiteral("SECOND2"));
}

TEST_F(DesktopBarcodeLookup, ARotatedBarcodeIsFound) {
    const QString path = jpeg(page({{zintBarcode(QStringLiteral("TURNED9")), {500, 400}, 90}}));
    EXPECT_EQ(lookup(path), QStringLiteral("TURNED9"));
}

TEST_F(DesktopBarcodeLookup, NoBarcodeOrOnlyAQrCodeSaysSoAndFindsNothing) {
    EXPECT_EQ(lookup(jpeg(page({}), QStringLiteral("blank.jpg"))), QString());
    const QString qr =
        jpeg(page({{zintBarcode(QStringLiteral("QRONLY"), 58), {400, 400}}}), QStringLiteral("qr.jpg"));
    EXPECT_EQ(lookup(qr), QString());
    EXPECT_EQ(m_ui.messages(),
              QStringList({QString::fromUtf8(kNoBarcodeText), QString::fromUtf8(kNoBarcodeText)}));
    ASSERT_EQ(m_ui.shown().size(), 2u);
    EXPECT_EQ(m_ui.shown()[0].caption, QString());
    expectNoBarCopies();
}

TEST_F(DesktopBarcodeLookup, ABarcodeOfRemovedCharactersOnlyFindsNothingWithoutABox) {
    const QString path = jpeg(page({{zintBarcode(QStringLiteral("   ")), {300, 600}}}));
    ASSERT_EQ(scanBarcodeFile(path).barcodes.size(), 1u);
    EXPECT_EQ(lookup(path), QString());
    EXPECT_TRUE(m_ui.messages().isEmpty());
}

TEST_F(DesktopBarcodeLookup, ControlCharactersOrADotNeverBecomeAName) {
    const QString tab = jpeg(page({{zintBarcode(QStringLiteral("AB\\tC"), 20, true), {300, 600}}}),
                             QStringLiteral("tab.jpg"));
    ASSERT_EQ(scanBarcodeFile(tab).barcodes.size(), 1u);
    EXPECT_EQ(scanBarcodeFile(tab).barcodes[0].text, QStringLiteral("AB\tC"));
    EXPECT_EQ(lookup(tab), QString());
    const QString dots =
        jpeg(page({{zintBarcode(QStringLiteral("/..")), {300, 600}}}), QStringLiteral("dots.jpg"));
    EXPECT_EQ(lookup(dots), QString());
    EXPECT_TRUE(m_ui.messages().isEmpty());

    EXPECT_EQ(cleanBarcodeText(QStringLiteral("a\r\nb c\\d/e:f*g?h\"i'j<k>l|m")),
              QStringLiteral("abcdefghijklm"));
    EXPECT_EQ(cleanBarcodeText(QStringLiteral(". ")), QString());
    EXPECT_EQ(cleanBarcodeText(QStringLiteral("A.B")), QStringLiteral("A.B"));
    EXPECT_EQ(cleanBarcodeText(QStringLiteral("AB\rC")), QString());
    EXPECT_EQ(cleanBarcodeText(QString(QChar(0x1d)) + QStringLiteral("0101")), QString());
    EXPECT_EQ(cleanBarcodeText(QStringLiteral("编号12")), QStringLiteral("编号12"));
}

TEST_F(DesktopBarcodeLookup, EveryFormatTheControlWritesIsRead) {
    const QImage image = page({{zintBarcode(QStringLiteral("FMT-42")), {300, 600}}});
    const QString mono = m_folder.file(QStringLiteral("mono.bmp"));
    const QString grey = m_folder.file(QStringLiteral("grey.bmp"));
    const QString colour = m_folder.file(QStringLiteral("colour.bmp"));
    const QString tif = m_folder.file(QStringLiteral("page.tif"));
    const QString gif = m_folder.file(QStringLiteral("page.gif"));
    ASSERT_TRUE(imaging::saveBmp(picture(image, 1), mono));
    ASSERT_TRUE(imaging::saveBmp(picture(image, 8), grey));
    ASSERT_TRUE(imaging::saveBmp(picture(image, 24), colour));
    ASSERT_TRUE(imaging::saveGif(picture(image, 8), gif));
    // A two-page TIFF: the first page is the picture.
    imaging::TiffPageWriter writer(tif);
    ASSERT_TRUE(writer.addPage(picture(image, 1)));
    ASSERT_TRUE(writer.addPage(picture(page({{zintBarcode(QStringLiteral("PAGE-2")), {300, 600}}}), 1)));
    ASSERT_TRUE(writer.commit());
    for (const QString& path : {mono, grey, colour, tif, gif})
        EXPECT_EQ(lookup(path), QStringLiteral("FMT-42")) << path.toStdString();
    EXPECT_TRUE(m_ui.messages().isEmpty());
    expectNoBarCopies();
}

TEST_F(DesktopBarcodeLookup, APictureThatCannotBeLoadedFindsNothing) {
    const QString broken = m_folder.file(QStringLiteral("broken.jpg"));
    const QByteArray bytes("\xFF\xD8\xFF\xE0 not really a picture");
    ASSERT_TRUE(writeAll(broken, bytes));
    EXPECT_EQ(lookup(broken), QString());
    EXPECT_EQ(lookup(m_folder.file(QStringLiteral("missing.bmp"))), QString());
    EXPECT_EQ(m_ui.messages(),
              QStringList({QString::fromUtf8(kNoBarcodeText), QString::fromUtf8(kNoBarcodeText)}));
    EXPECT_FALSE(scanBarcodeFile(broken).loaded);
    // The file itself is left as it was.
    EXPECT_EQ(readAll(broken), bytes);
}

// Barcode naming in the main dialog, with the real lookup, on pictures of the virtual camera.
class DesktopBarcodeNaming : public DesktopMainDialog {
protected:
    void showScene(const QImage& image) {
        const QString path = m_sceneFolder.file(QStringLiteral("scene.png"));
        ASSERT_TRUE(image.save(path));
        m_scene = std::make_unique<ScopedEnv>("QX_VIRTUAL_SCENE", path);
    }
    QStringList savedFiles() const { return QDir(saveFolder()).entryList(QDir::Files); }

    Folder m_sceneFolder;
    std::unique_ptr<ScopedEnv> m_scene;
};

TEST_F(DesktopBarcodeNaming, TheCaptureIsNamedAfterTheCleanedCode128) {
    showScene(page({{zintBarcode(QStringLiteral("A/B:C 12")), {300, 500}}}));
    writeIni({"BarCode=TRUE"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(d.list().item(0)->text(), QStringLiteral("ABC12.jpg"));
    EXPECT_EQ(savedFiles(), QStringList{QStringLiteral("ABC12.jpg")});
    EXPECT_TRUE(m_ui.messages().isEmpty());
    // The same barcode again: still one file and one item.
    processEvents(1100);
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(savedFiles(), QStringList{QStringLiteral("ABC12.jpg")});
    EXPECT_EQ(d.list().item(0)->text(), QStringLiteral("ABC12.jpg"));
}

TEST_F(DesktopBarcodeNaming, TheCamerasOwnDocumentIsNamedAfterItsEan13) {
    writeIni({"BarCode=TRUE"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(d.list().item(0)->text(), QStringLiteral("6901234567892.jpg"));
}

// A parcel label photographed on its box, no sheet in view: the default capture (edge finding) keeps
// the whole view, so the label's barcode is still there to name the picture.
TEST_F(DesktopBarcodeNaming, ALabelOnABoxIsNamedAfterItsBarcode) {
    const scenes::Scene s = scenes::renderWithoutSheet(1280, 960, scenes::Kind::ParcelLabel, 300000);
    ASSERT_EQ(s.barcode.size(), 13u);
    showScene(QImage(s.frame.data, s.frame.cols, s.frame.rows, static_cast<qsizetype>(s.frame.step),
                     QImage::Format_BGR888)
                  .copy());
    writeIni({"BarCode=TRUE"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    const QString name = QString::fromStdString(s.barcode) + QStringLiteral(".jpg");
    EXPECT_EQ(d.list().item(0)->text(), name);
    EXPECT_TRUE(m_ui.messages().isEmpty());
    EXPECT_EQ(QImage(saveFolder() + name).size(), QSize(1280, 960));
}

TEST_F(DesktopBarcodeNaming, AQrCodeOnlyKeepsTheTimeStampNameAfterTheBox) {
    showScene(page({{zintBarcode(QStringLiteral("QRONLY"), 58), {400, 400}}}));
    writeIni({"BarCode=TRUE"});
    CQX_CameraDlg& d = create();
    ASSERT_EQ(captureOnce(), 1);
    EXPECT_EQ(d.list().item(0)->text().size(), 23);
    EXPECT_EQ(m_ui.messages(), QStringList{QString::fromUtf8(kNoBarcodeText)});
    EXPECT_EQ(savedFiles().size(), 1);
    EXPECT_TRUE(QFileInfo::exists(saveFolder() + d.list().item(0)->text()));
}

} // namespace
} // namespace qx::test

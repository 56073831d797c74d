// The list's PDF export, checked with qpdf and poppler's tools: pages, geometry, information, names,
// conversions, PDF-Del and every failure leaving nothing behind.
#include "merged_tiff.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/pdf_export.h"
#include "qx/desktop/picture_list.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/interface/ui_host.h"
#include "support/test_support.h"
#include "support/text_page.h"

#include "imaging/external_tools.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace qx::desktop;

namespace qx::test {
namespace {

imaging::Picture gradient(int width, int height) {
    imaging::Picture pic;
    pic.width = width;
    pic.height = height;
    pic.stride = ((width * 3 + 3) / 4) * 4;
    pic.pixels.resize(static_cast<size_t>(pic.stride) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pic.pixels.data() + static_cast<size_t>(y) * pic.stride;
        for (int x = 0; x < width; ++x) {
            row[x * 3] = static_cast<uint8_t>(x * 255 / width);
            row[x * 3 + 1] = static_cast<uint8_t>(y * 255 / height);
            row[x * 3 + 2] = 128;
        }
    }
    pic.dpiX = pic.dpiY = 200;
    return pic;
}

// "q w 0 0 h x y cm" of every page, in page order, from the uncompressed form of the document.
QStringList placements(const QString& pdf) {
    Folder folder;
    const QString qdf = folder.file(QStringLiteral("out.qdf"));
    const ToolRun r = runTool(QStringLiteral("qpdf"), {QStringLiteral("--qdf"),
                                                       QStringLiteral("--object-streams=disable"), pdf, qdf});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    QStringList found;
    const QRegularExpression cm(QStringLiteral("q ([0-9. ]+) cm /Im"));
    auto it = cm.globalMatch(QString::fromLatin1(readAll(qdf)));
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}

// "page: width x height" of every image `pdfimages -list` finds, in page order.
QStringList pageImages(const QString& pdf) {
    const ToolRun r = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    EXPECT_EQ(r.exitCode, 0) << r.all().toStdString();
    QStringList found;
    for (const QString& line : r.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2)) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() > 4)
            found << QStringLiteral("%1: %2 x %3").arg(f[0], f[3], f[4]);
    }
    return found;
}

class DesktopPdfExport : public ::testing::Test {
protected:
    DesktopPdfExport() {
        pictures.setSaveFolder([this] { return save.path(); });
        exporter.setClock([this] { return now; });
    }

    void add(const QString& path) { pictures.AddPictureItem(path, QFileInfo(path).fileName()); }
    QString jpeg(const QString& name, int w, int h) {
        const QString path = save.file(name);
        EXPECT_TRUE(imaging::saveJpeg(gradient(w, h), path, 80));
        return path;
    }
    QString bmp(const QString& name, int w, int h) {
        const QString path = save.file(name);
        EXPECT_TRUE(imaging::saveBmp(gradient(w, h), path));
        return path;
    }
    QStringList filesIn(const QString& folder) const {
        return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }
    QString info(const QString& pdf) { return runTool(QStringLiteral("pdfinfo"), {pdf}).all(); }

    Folder save;
    QDateTime now{QDate(2014, 5, 6), QTime(9, 30, 0)};
    CListImageCtrl list;
    ScriptedUiHost host;
    PictureList pictures{list, host};
    PdfExport exporter{pictures, host};
};

TEST_F(DesktopPdfExport, AJpegAndABmpBecomeTwoA4PagesInListOrder) {
    const QString a = jpeg(QStringLiteral("a.jpg"), 3000, 4000);
    const QString b = bmp(QStringLiteral("b.bmp"), 1000, 4000);
    add(a);
    add(b);
    const QString pdf = exporter.run(save.path(), false);
    EXPECT_EQ(pdf, save.file(QStringLiteral("2014-05-06 09-30-00.pdf")));
    ASSERT_TRUE(QFileInfo::exists(pdf));
    EXPECT_TRUE(host.messages().isEmpty());

    const ToolRun check = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf});
    EXPECT_EQ(check.exitCode, 0) << check.all().toStdString();
    const QString i = info(pdf);
    EXPECT_TRUE(i.contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n")))) << i.toStdString();
    EXPECT_TRUE(i.contains(QRegularExpression(QStringLiteral("Page size:\\s+595 x 842 pts"))))
        << i.toStdString();
    EXPECT_TRUE(i.contains(QRegularExpression(QStringLiteral("Author:\\s+Qorvane\\n")))) << i.toStdString();
    EXPECT_TRUE(i.contains(QRegularExpression(QStringLiteral("Creator:\\s+PDF Creator\\n"))));
    EXPECT_TRUE(i.contains(QRegularExpression(QStringLiteral("Title:\\s+Convert to PDF\\n"))));
    EXPECT_TRUE(i.contains(QRegularExpression(QStringLiteral("PDF version:\\s+1.4\\n")))) << i.toStdString();
    EXPECT_TRUE(readAll(pdf).startsWith("%PDF-1.4"));

    // Page 1 holds the JPEG's own bytes.
    Folder images;
    ASSERT_EQ(
        runTool(QStringLiteral("pdfimages"), {QStringLiteral("-j"), pdf, images.file(QStringLiteral("img"))})
            .exitCode,
        0);
    EXPECT_EQ(readAll(images.file(QStringLiteral("img-000.jpg"))), readAll(a));
    EXPECT_TRUE(QFileInfo::exists(images.file(QStringLiteral("img-001.jpg"))));

    // 3000 x 4000: 555 x 740 at (20, 51); 1000 x 4000: 200.5 x 802 at (197.25, 20).
    EXPECT_EQ(placements(pdf),
              QStringList({QStringLiteral("555 0 0 740 20 51"), QStringLiteral("200.5 0 0 802 197.25 20")}));

    // The BMP went through its temporary JPEG, which is gone again; the pictures stay.
    EXPECT_EQ(exporter.lastPages(), QStringList({a, b + QStringLiteral("-pdf.jpg")}));
    EXPECT_EQ(filesIn(save.path()), QStringList({QStringLiteral("2014-05-06 09-30-00.pdf"),
                                                 QStringLiteral("a.jpg"), QStringLiteral("b.bmp")}));
    EXPECT_EQ(list.count(), 2);
}

TEST_F(DesktopPdfExport, PdfDelDeletesThePicturesAndEmptiesTheListAfterASuccess) {
    add(jpeg(QStringLiteral("a.jpg"), 64, 48));
    add(bmp(QStringLiteral("b.bmp"), 48, 64));
    const QString pdf = exporter.run(save.path(), true);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(filesIn(save.path()), QStringList{QStringLiteral("2014-05-06 09-30-00.pdf")});
    EXPECT_EQ(list.count(), 0);
    EXPECT_EQ(list.selectionMark(), -1);
}

TEST_F(DesktopPdfExport, AFailedExportLeavesNoDocumentNoTemporaryFileAndKeepsThePictures) {
    const QString a = jpeg(QStringLiteral("a.jpg"), 64, 48);
    const QString b = bmp(QStringLiteral("b.bmp"), 48, 64);
    const QString broken = save.file(QStringLiteral("c.bmp"));
    ASSERT_TRUE(writeAll(broken, "BM this is no picture"));
    add(a);
    add(b);
    add(broken);
    EXPECT_EQ(exporter.run(save.path(), true), QString());
    EXPECT_EQ(host.messages(), QStringList{QString::fromUtf8(kPdfPictureFailedText).arg(broken)});
    // PDF-Del is not applied, and neither the partial document nor b's temporary JPEG remains.
    EXPECT_EQ(filesIn(save.path()),
              QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.bmp"), QStringLiteral("c.bmp")}));
    EXPECT_EQ(list.count(), 3);
}

TEST_F(DesktopPdfExport, AMergedTiffGivesAPagePerPageAndPdfDelTakesOnlyPicturesWhollyExported) {
    const QString a = jpeg(QStringLiteral("a.jpg"), 64, 48);
    const QString merged = save.file(QStringLiteral("2014-05-06-09-29-00-Merge.tif"));
    ASSERT_TRUE(writeMergedTiff(merged, {QSize(300, 400), QSize(400, 300), QSize(120, 90)}, 200));
    const QString b = bmp(QStringLiteral("b.bmp"), 48, 64);
    add(a);
    add(merged);
    add(b);
    const QString pdf = exporter.run(save.path(), true);
    ASSERT_FALSE(pdf.isEmpty()) << host.messages().join(' ').toStdString();
    EXPECT_EQ(runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).exitCode, 0);
    EXPECT_TRUE(info(pdf).contains(QRegularExpression(QStringLiteral("Pages:\\s+5\\n"))))
        << info(pdf).toStdString();
    EXPECT_EQ(pageImages(pdf), QStringList({QStringLiteral("1: 64 x 48"), QStringLiteral("2: 300 x 400"),
                                            QStringLiteral("3: 400 x 300"), QStringLiteral("4: 120 x 90"),
                                            QStringLiteral("5: 48 x 64")}));
    // Every page of the TIFF is in the document: PDF-Del takes it with the others, and no temporary
    // JPEG of its pages is left.
    EXPECT_EQ(filesIn(save.path()), QStringList{QFileInfo(pdf).fileName()});
    EXPECT_EQ(list.count(), 0);

    // A TIFF whose second page cannot be read: the export fails naming it, and PDF-Del takes nothing.
    now = now.addSecs(1);
    const QString damaged = save.file(QStringLiteral("2014-05-06-09-29-30-Merge.tif"));
    ASSERT_TRUE(writeMergedTiff(damaged, {QSize(300, 400), QSize(400, 300), QSize(120, 90)}, 200));
    ASSERT_TRUE(breakTiffPage(damaged, 1));
    const QByteArray damagedBytes = readAll(damaged);
    const QString c = jpeg(QStringLiteral("c.jpg"), 64, 48);
    add(c);
    add(damaged);
    EXPECT_EQ(exporter.run(save.path(), true), QString());
    EXPECT_EQ(host.messages(), QStringList{QString::fromUtf8(kPdfPictureFailedText).arg(damaged)});
    EXPECT_EQ(readAll(damaged), damagedBytes);
    EXPECT_EQ(filesIn(save.path()), QStringList({QFileInfo(pdf).fileName(), QFileInfo(damaged).fileName(),
                                                 QStringLiteral("c.jpg")}));
    EXPECT_EQ(list.count(), 2);
}

TEST_F(DesktopPdfExport, AJpegTheDocumentRefusesFailsTheExportNamingIt) {
    add(jpeg(QStringLiteral("a.jpg"), 64, 48));
    const QString cut = save.file(QStringLiteral("cut.jpg"));
    ASSERT_TRUE(writeAll(cut, readAll(save.file(QStringLiteral("a.jpg"))).left(20)));
    add(cut);
    EXPECT_EQ(exporter.run(save.path(), false), QString());
    EXPECT_EQ(host.messages(), QStringList{QString::fromUtf8(kPdfPictureFailedText).arg(cut)});
    EXPECT_EQ(filesIn(save.path()), QStringList({QStringLiteral("a.jpg"), QStringLiteral("cut.jpg")}));
}

TEST_F(DesktopPdfExport, AReadOnlySaveFolderWritesNothingAndSaysSo) {
    add(jpeg(QStringLiteral("a.jpg"), 64, 48));
    add(bmp(QStringLiteral("b.bmp"), 48, 64));
    ASSERT_EQ(::chmod(QFile::encodeName(save.path()).constData(), 0555), 0);
    {
        ObeyFilePermissions obey;
        ASSERT_TRUE(obey.active());
        EXPECT_EQ(exporter.run(save.path(), true), QString());
    }
    ::chmod(QFile::encodeName(save.path()).constData(), 0755);
    EXPECT_EQ(host.messages(), QStringList{QString::fromUtf8(kPdfWriteFailedText)
                                               .arg(save.file(QStringLiteral("2014-05-06 09-30-00.pdf")))});
    EXPECT_EQ(filesIn(save.path()), QStringList({QStringLiteral("a.jpg"), QStringLiteral("b.bmp")}));
    EXPECT_EQ(list.count(), 2);
}

TEST_F(DesktopPdfExport, BytesThatAreNoJpegAreConvertedWhateverTheNameSays) {
    const QString png = save.file(QStringLiteral("really-png.jpg"));
    ASSERT_TRUE(QImage(40, 30, QImage::Format_RGB32).save(png, "PNG"));
    const QString jpegAsTif = save.file(QStringLiteral("jpeg.tif"));
    ASSERT_TRUE(imaging::saveJpeg(gradient(30, 40), jpegAsTif, 75));
    add(png);
    add(jpegAsTif);
    const QString pdf = exporter.run(save.path(), false);
    ASSERT_FALSE(pdf.isEmpty()) << host.messages().join(' ').toStdString();
    EXPECT_EQ(runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).exitCode, 0);
    // The PNG by its bytes, the "tif" by its name (which the list's rule converts).
    EXPECT_EQ(exporter.lastPages(),
              QStringList({png + QStringLiteral("-pdf.jpg"), jpegAsTif + QStringLiteral("-pdf.jpg")}));
    EXPECT_EQ(filesIn(save.path()).size(), 3);
}

TEST_F(DesktopPdfExport, ATemporaryNameAUserFileHoldsIsLeftAlone) {
    const QString b = bmp(QStringLiteral("b.bmp"), 48, 64);
    const QString users = b + QStringLiteral("-pdf.jpg");
    ASSERT_TRUE(writeAll(users, "the user's own file"));
    add(b);
    ASSERT_FALSE(exporter.run(save.path(), false).isEmpty());
    EXPECT_EQ(readAll(users), QByteArray("the user's own file"));
    EXPECT_EQ(exporter.lastPages(), QStringList{b + QStringLiteral("-pdf-2.jpg")});
    EXPECT_FALSE(QFileInfo::exists(b + QStringLiteral("-pdf-2.jpg")));
}

TEST_F(DesktopPdfExport, AnEmptyListWritesNothing) {
    EXPECT_EQ(exporter.run(save.path(), true), QString());
    EXPECT_TRUE(filesIn(save.path()).isEmpty());
    EXPECT_TRUE(host.messages().isEmpty());
}

TEST_F(DesktopPdfExport, TwoExportsInOneSecondKeepBothDocuments) {
    add(jpeg(QStringLiteral("a.jpg"), 64, 48));
    const QString first = exporter.run(save.path(), false);
    const QByteArray firstBytes = readAll(first);
    add(jpeg(QStringLiteral("b.jpg"), 48, 64));
    const QString second = exporter.run(save.path(), false);
    EXPECT_EQ(first, save.file(QStringLiteral("2014-05-06 09-30-00.pdf")));
    EXPECT_EQ(second, save.file(QStringLiteral("2014-05-06 09-30-00 (2).pdf")));
    EXPECT_EQ(readAll(first), firstBytes);
    EXPECT_TRUE(info(second).contains(QRegularExpression(QStringLiteral("Pages:\\s+2\\n"))));
}

TEST_F(DesktopPdfExport, AListOfMoreThanAHundredItemsIsExportedWhole) {
    QStringList files;
    for (int i = 0; i < 120; ++i) {
        files << (i % 10 == 0 ? bmp(QStringLiteral("p%1.bmp").arg(i), 16, 12)
                              : jpeg(QStringLiteral("p%1.jpg").arg(i), 12, 16));
        add(files.last());
    }
    const QString pdf = exporter.run(save.path(), true);
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_TRUE(info(pdf).contains(QRegularExpression(QStringLiteral("Pages:\\s+120\\n"))));
    EXPECT_EQ(runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), pdf}).exitCode, 0);
    // PDF-Del deleted exactly what was exported: all of it.
    EXPECT_EQ(filesIn(save.path()), QStringList{QFileInfo(pdf).fileName()});
    EXPECT_EQ(list.count(), 0);
}

TEST(DesktopPdfExportRules, TheSuffixRuleAndTheJpegSignature) {
    for (const char* name : {"a.bmp", "a.BMP", "a.tif", "a.TIF", "a.gif", "a.GIF", "a.jpg.bmp"})
        EXPECT_TRUE(isConvertedBySuffix(QString::fromLatin1(name))) << name;
    for (const char* name : {"a.jpg", "a.Bmp", "a.tiff", "a.png", "a.JPG", "bmp"})
        EXPECT_EQ(isConvertedBySuffix(QString::fromLatin1(name)), QByteArray(name) == "bmp") << name;
    EXPECT_EQ(pdfExportName(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
              QStringLiteral("2026-01-02 03-04-05.pdf"));
    Folder f;
    ASSERT_TRUE(writeAll(f.file(QStringLiteral("j")), QByteArray("\xFF\xD8\xFF\xE0", 4)));
    ASSERT_TRUE(writeAll(f.file(QStringLiteral("n")), QByteArray("\xFF\xD8\x00\xE0", 4)));
    EXPECT_TRUE(hasJpegSignature(f.file(QStringLiteral("j"))));
    EXPECT_FALSE(hasJpegSignature(f.file(QStringLiteral("n"))));
    EXPECT_FALSE(hasJpegSignature(f.file(QStringLiteral("missing"))));
}

TEST_F(DesktopPdfExport, WithTextRecognitionEveryPageCarriesItsTextAndProgressIsToldPerPage) {
    const TextPage page = renderTextPage(QSize(1200, 900));
    const QString a = save.file(QStringLiteral("a.jpg"));
    const QString b = save.file(QStringLiteral("b.bmp"));
    ASSERT_TRUE(page.image.save(a, "JPEG", 85));
    ASSERT_TRUE(page.image.save(b, "BMP"));
    const QByteArray aBytes = readAll(a);
    add(a);
    add(b);
    std::vector<std::pair<int, int>> told;
    exporter.setProgress([&told](int done, int total) { told.emplace_back(done, total); });
    exporter.setTextRecognition(true, QStringLiteral("chi_sim+eng"));
    const QString pdf = exporter.run(save.path(), true);
    ASSERT_FALSE(pdf.isEmpty()) << host.messages().join(u'\n').toStdString();
    for (int p = 1; p <= 2; ++p) {
        const QString text = pdfTextWithoutSpaces(pdf, p);
        for (const QString& line : page.lines)
            EXPECT_TRUE(text.contains(QString(line).remove(QLatin1Char(' '))))
                << "page " << p << ": " << line.toStdString() << " not in " << text.toStdString();
    }
    EXPECT_EQ(told, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
    // The JPEG's own bytes, and the pictures gone with their items after the export.
    const std::vector<QByteArray> jpegs = pdfJpegs(pdf);
    ASSERT_EQ(jpegs.size(), 2u);
    EXPECT_EQ(jpegs[0], aBytes);
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(QFileInfo::exists(a));
    EXPECT_FALSE(QFileInfo::exists(b));
}

} // namespace
} // namespace qx::test

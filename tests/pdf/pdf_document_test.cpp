// PDF documents of JPEG pages checked by qpdf, pdfimages and pdfinfo, and the failures callers rely on.
#include "imaging/external_tools.h"
#include "qx/pdf/pdf_document.h"
#include "support/test_support.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace qx::test {
namespace {

using pdf::PdfDocument;
using pdf::PdfError;

// A JPEG written by Qt's JPEG plugin: a gradient with a block, so the data is not trivial.
QString makeJpeg(const QString& path, int w, int h, bool grey = false, bool progressive = false) {
    QImage image(w, h, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (grey)
                image.scanLine(y)[x] = static_cast<uchar>(x * 255 / w);
            else
                image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 90));
        }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(80);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    return path;
}

ToolRun tool(const char* program, const QStringList& arguments) {
    const ToolRun run = runTool(QString::fromLatin1(program), arguments);
    EXPECT_TRUE(run.started) << program << " is not installed";
    return run;
}

// The capture chain's page: A4 with the picture fitted into the 555 x 802 box inside 20-point margins.
void writeA4(PdfDocument& doc, const QStringList& jpegs) {
    for (const QString& jpeg : jpegs) {
        doc.beginPage(595, 842);
        const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
        const QSizeF size = doc.imageSize(image);
        const double r = size.width() / size.height();
        double x = 20, y = 20;
        if (r < 555.0 / 802.0)
            x = std::abs(555 - 802 * r) / 2 + 20;
        else
            y = std::abs(802 - 555 / r) / 2 + 20;
        doc.fitImage(image, x, y, 555, 802);
        doc.closeImage(image);
        doc.endPage();
    }
}

struct ListedImage {
    int page = 0;
    int width = 0;
    int height = 0;
    QString colour;
    QString encoding;
};

// The rows of `pdfimages -list`: page num type width height color comp bpc enc ...
std::vector<ListedImage> listImages(const QString& pdfPath) {
    const ToolRun run = tool("pdfimages", {QStringLiteral("-list"), pdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    std::vector<ListedImage> out;
    const QStringList lines = run.text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].simplified().split(QLatin1Char(' '));
        if (f.size() < 9)
            continue;
        out.push_back({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[5], f[8]});
    }
    return out;
}

QString pdfinfo(const QString& pdfPath) {
    const ToolRun run = tool("pdfinfo", {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    return run.text();
}

QString infoField(const QString& info, const QString& key) {
    const QRegularExpression re(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                QRegularExpression::MultilineOption);
    return re.match(info).captured(1).trimmed();
}

void expectQpdfCheckPasses(const QString& pdfPath) {
    const ToolRun run = tool("qpdf", {QStringLiteral("--check"), pdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.out.constData() << run.err.constData();
    EXPECT_TRUE(run.text().contains(QStringLiteral("No syntax or stream encoding errors")))
        << run.out.constData();
}

// The page content streams, uncompressed by qpdf's QDF mode.
QString uncompressed(const QString& pdfPath, const QString& qdfPath) {
    const ToolRun run =
        tool("qpdf", {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), pdfPath, qdfPath});
    EXPECT_EQ(run.exitCode, 0) << run.err.constData();
    return QString::fromLatin1(readAll(qdfPath));
}

class PdfDocuments : public ::testing::Test {
protected:
    QString file(const char* name) const { return m_folder.file(QString::fromLatin1(name)); }
    void begin(PdfDocument& doc, const QString& path, const char* author = "QX") {
        doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
        ASSERT_TRUE(doc.beginDocument(path));
        doc.setInfo(QStringLiteral("Creator"), QStringLiteral("PDF Creator"));
        doc.setInfo(QStringLiteral("Author"), QString::fromUtf8(author));
        doc.setInfo(QStringLiteral("Title"), QStringLiteral("Convert to PDF"));
        doc.setInfo(QStringLiteral("Subject"), QStringLiteral("PDF Creator"));
    }
    Folder m_folder;
};

TEST_F(PdfDocuments, OnePageDocumentPassesQpdfAndEmbedsTheJpegUnchanged) {
    const QString jpeg = makeJpeg(file("wide.jpg"), 1000, 500);
    const QString out = file("one.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        writeA4(doc, {jpeg});
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    EXPECT_TRUE(readAll(out).startsWith("%PDF-1.4\n")) << readAll(out).left(10).constData();

    const std::vector<ListedImage> images = listImages(out);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].page, 1);
    EXPECT_EQ(images[0].width, 1000);
    EXPECT_EQ(images[0].height, 500);
    EXPECT_EQ(images[0].colour, QStringLiteral("rgb"));
    EXPECT_EQ(images[0].encoding, QStringLiteral("jpeg"));

    const QString prefix = m_folder.file(QStringLiteral("extracted"));
    ASSERT_EQ(tool("pdfimages", {QStringLiteral("-all"), out, prefix}).exitCode, 0);
    EXPECT_EQ(readAll(prefix + QStringLiteral("-000.jpg")), readAll(jpeg));

    const QString info = pdfinfo(out);
    EXPECT_EQ(infoField(info, QStringLiteral("Pages")), QStringLiteral("1"));
    EXPECT_TRUE(infoField(info, QStringLiteral("Page size")).startsWith(QStringLiteral("595 x 842 pts")))
        << info.toStdString();
    EXPECT_EQ(infoField(info, QStringLiteral("PDF version")), QStringLiteral("1.4"));
    EXPECT_EQ(infoField(info, QStringLiteral("Creator")), QStringLiteral("PDF Creator"));
    EXPECT_EQ(infoField(info, QStringLiteral("Author")), QStringLiteral("QX"));
    EXPECT_EQ(infoField(info, QStringLiteral("Title")), QStringLiteral("Convert to PDF"));
    EXPECT_EQ(infoField(info, QStringLiteral("Subject")), QStringLiteral("PDF Creator"));
}

TEST_F(PdfDocuments, FitMeetScalesByTheLimitingSideAndPlacesTheLowerLeftCorner) {
    const QString wide = makeJpeg(file("wide.jpg"), 1000, 500);
    const QString tall = makeJpeg(file("tall.jpg"), 1000, 4000);
    const QString out = file("fit.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        doc.beginPage(595, 842);
        const int a = doc.loadImage(QStringLiteral("jpeg"), wide);
        EXPECT_EQ(doc.imageSize(a), QSizeF(1000, 500));
        doc.fitImage(a, 20, 282, 555, 802);
        doc.closeImage(a);
        doc.endPage();
        doc.beginPage(595, 842);
        const int b = doc.loadImage(QStringLiteral("jpeg"), tall);
        doc.fitImage(b, 197.25, 20, 555, 802);
        doc.closeImage(b);
        doc.endPage();
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    const QString qdf = uncompressed(out, file("fit.qdf"));
    EXPECT_TRUE(qdf.contains(QRegularExpression(QStringLiteral("q 555 0 0 277\\.5 20 282 cm /Im\\d+ Do Q"))))
        << qdf.toStdString();
    EXPECT_TRUE(
        qdf.contains(QRegularExpression(QStringLiteral("q 200\\.5 0 0 802 197\\.25 20 cm /Im\\d+ Do Q"))));
    EXPECT_TRUE(qdf.contains(QStringLiteral("/MediaBox [\n    0\n    0\n    595\n    842\n  ]")) ||
                qdf.contains(QStringLiteral("/MediaBox [ 0 0 595 842 ]")))
        << qdf.toStdString();
}

TEST_F(PdfDocuments, TwoPagesOfGreyAndProgressiveColourJpegs) {
    const QString grey = makeJpeg(file("grey.jpg"), 300, 400, true);
    const QString progressive = makeJpeg(file("prog.jpg"), 640, 480, false, true);
    const QString out = file("two.pdf");
    {
        PdfDocument doc;
        begin(doc, out, "Qorvane");
        writeA4(doc, {grey, progressive});
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    const QString info = pdfinfo(out);
    EXPECT_EQ(infoField(info, QStringLiteral("Pages")), QStringLiteral("2"));
    EXPECT_EQ(infoField(info, QStringLiteral("Author")), QStringLiteral("Qorvane"));
    const std::vector<ListedImage> images = listImages(out);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].page, 1);
    EXPECT_EQ(images[0].colour, QStringLiteral("gray"));
    EXPECT_EQ(images[0].width, 300);
    EXPECT_EQ(images[1].page, 2);
    EXPECT_EQ(images[1].colour, QStringLiteral("rgb"));
    EXPECT_EQ(images[1].width, 640);
    EXPECT_EQ(images[1].height, 480);
    const QString prefix = m_folder.file(QStringLiteral("x"));
    ASSERT_EQ(tool("pdfimages", {QStringLiteral("-all"), out, prefix}).exitCode, 0);
    EXPECT_EQ(readAll(prefix + QStringLiteral("-000.jpg")), readAll(grey));
    EXPECT_EQ(readAll(prefix + QStringLiteral("-001.jpg")), readAll(progressive));
}

TEST_F(PdfDocuments, ManyPagesFromOneFolder) {
    QStringList jpegs;
    for (int i = 0; i < 40; ++i)
        jpegs << makeJpeg(m_folder.file(QStringLiteral("p%1.jpg").arg(i)), 80 + i, 60);
    const QString out = file("many.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        writeA4(doc, jpegs);
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    EXPECT_EQ(infoField(pdfinfo(out), QStringLiteral("Pages")), QStringLiteral("40"));
    const std::vector<ListedImage> images = listImages(out);
    ASSERT_EQ(images.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(images[i].page, i + 1);
        EXPECT_EQ(images[i].width, 80 + i);
    }
}

TEST_F(PdfDocuments, AJpegDeletedAfterItsPageIsStillEmbedded) {
    // The desktop export deletes each temporary JPEG as soon as its page is ended.
    const QString jpeg = makeJpeg(file("temp-pdf.jpg"), 120, 90);
    const QByteArray bytes = readAll(jpeg);
    const QString out = file("deleted.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        writeA4(doc, {jpeg});
        ASSERT_TRUE(QFile::remove(jpeg));
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    const QString prefix = m_folder.file(QStringLiteral("d"));
    ASSERT_EQ(tool("pdfimages", {QStringLiteral("-all"), out, prefix}).exitCode, 0);
    EXPECT_EQ(readAll(prefix + QStringLiteral("-000.jpg")), bytes);
}

TEST_F(PdfDocuments, UnicodeInformationEntries) {
    const QString jpeg = makeJpeg(file("a.jpg"), 50, 50);
    const QString out = file("unicode.pdf");
    {
        PdfDocument doc;
        begin(doc, out, "合并拍照");
        writeA4(doc, {jpeg});
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    EXPECT_EQ(infoField(pdfinfo(out), QStringLiteral("Author")), QString::fromUtf8("合并拍照"));
}

TEST_F(PdfDocuments, CmykJpegGetsDeviceCmyk) {
    const QString rgb = makeJpeg(file("rgb.jpg"), 64, 48);
    const QString cmyk = file("cmyk.jpg");
    const ToolRun convert =
        tool("convert", {rgb, QStringLiteral("-colorspace"), QStringLiteral("CMYK"), cmyk});
    ASSERT_EQ(convert.exitCode, 0) << convert.err.constData();
    const QString out = file("cmyk.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        writeA4(doc, {cmyk});
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    const std::vector<ListedImage> images = listImages(out);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].colour, QStringLiteral("cmyk"));
    EXPECT_EQ(images[0].width, 64);
}

TEST_F(PdfDocuments, ANonJpegFileRaisesAndTheDocumentLeavesNoFile) {
    QImage png(10, 10, QImage::Format_RGB32);
    png.fill(Qt::red);
    const QString pngPath = file("red.png");
    ASSERT_TRUE(png.save(pngPath, "png"));
    const QString jpeg = makeJpeg(file("cut.jpg"), 200, 100);
    const QString cut = file("cut-short.jpg");
    ASSERT_TRUE(writeAll(cut, readAll(jpeg).left(20)));
    const QString out = file("bad.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        doc.beginPage(595, 842);
        EXPECT_THROW(doc.loadImage(QStringLiteral("jpeg"), pngPath), PdfError);
        EXPECT_THROW(doc.loadImage(QStringLiteral("jpeg"), cut), PdfError);
        EXPECT_THROW(doc.loadImage(QStringLiteral("jpeg"), file("missing.jpg")), PdfError);
        EXPECT_THROW(doc.loadImage(QStringLiteral("jpeg"), m_folder.path()), PdfError);
        EXPECT_THROW(doc.loadImage(QStringLiteral("png"), jpeg), PdfError);
        EXPECT_THROW(doc.fitImage(12345, 0, 0, 10, 10), PdfError);
        EXPECT_TRUE(QFile::exists(out));
    }
    // Destroyed unfinished, as after an error the caller catches: no half-written PDF stays.
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(PdfDocuments, BeginDocumentInAMissingFolderReturnsFalse) {
    PdfDocument doc;
    doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
    EXPECT_FALSE(doc.beginDocument(file("no/such/folder/x.pdf")));
    EXPECT_FALSE(doc.beginDocument(m_folder.path()));
    EXPECT_FALSE(QDir(file("no")).exists());
    // The object stays usable.
    EXPECT_TRUE(doc.beginDocument(file("fine.pdf")));
}

TEST_F(PdfDocuments, OperationsOutOfOrderRaise) {
    const QString jpeg = makeJpeg(file("a.jpg"), 40, 30);
    PdfDocument doc;
    EXPECT_THROW(doc.setParameter(QStringLiteral("nosuchparameter"), QStringLiteral("1")), PdfError);
    EXPECT_THROW(doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("9.9")), PdfError);
    EXPECT_THROW(doc.beginPage(595, 842), PdfError);
    EXPECT_THROW(doc.endDocument(), PdfError);
    const QString out = file("order.pdf");
    ASSERT_TRUE(doc.beginDocument(out));
    const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
    EXPECT_THROW(doc.fitImage(image, 0, 0, 100, 100), PdfError); // no page
    EXPECT_THROW(doc.beginPage(0, 842), PdfError);
    doc.beginPage(595, 842);
    EXPECT_THROW(doc.beginPage(595, 842), PdfError);
    EXPECT_THROW(doc.fitImage(image, 0, 0, 0, 100), PdfError);
    EXPECT_THROW(doc.endDocument(), PdfError); // page still open
    doc.closeImage(image);
    EXPECT_THROW(doc.fitImage(image, 0, 0, 100, 100), PdfError); // closed
    EXPECT_THROW(doc.imageSize(image), PdfError);
    doc.endPage();
    EXPECT_THROW(doc.endPage(), PdfError);
}

TEST_F(PdfDocuments, ADocumentWithoutPagesRaisesAndLeavesNoFile) {
    PdfDocument doc;
    const QString out = file("empty.pdf");
    ASSERT_TRUE(doc.beginDocument(out));
    EXPECT_THROW(doc.endDocument(), PdfError);
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(PdfDocuments, OneImageOnTwoPagesIsStoredOnce) {
    const QString jpeg = makeJpeg(file("a.jpg"), 100, 100);
    const QString out = file("shared.pdf");
    {
        PdfDocument doc;
        begin(doc, out);
        const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
        for (int i = 0; i < 2; ++i) {
            doc.beginPage(300, 300);
            doc.fitImage(image, 10, 10, 280, 280);
            doc.endPage();
        }
        doc.closeImage(image);
        doc.endDocument();
    }
    expectQpdfCheckPasses(out);
    const std::vector<ListedImage> images = listImages(out);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_TRUE(infoField(pdfinfo(out), QStringLiteral("Page size")).startsWith(QStringLiteral("300 x 300")));
    const QString qdf = uncompressed(out, file("shared.qdf"));
    EXPECT_EQ(qdf.count(QStringLiteral("/Subtype /Image")), 1);
}

} // namespace
} // namespace qx::test

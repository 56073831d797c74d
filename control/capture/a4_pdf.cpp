// One A4 page per JPEG through the PDF document, as captures and merges write them.
#include "control/capture/a4_pdf.h"

#include "qx/interface/result_codes.h"
#include "qx/pdf/pdf_document.h"
#include "qx/platform/files.h"

#include <QFile>

namespace qx::control {

int writeA4Pdf(const std::vector<A4Page>& pages, PagePlacementRule placement, const QString& path,
               const std::function<void(const QString&)>& log, const PageTextSource& text,
               const std::function<void(std::size_t pages)>& pageDone) {
    const QString writing = platform::createSiblingFile(path);
    if (writing.isEmpty()) {
        log(QStringLiteral("创建PDF失败!"));
        return automation::kPdfNotCreated;
    }
    try {
        pdf::PdfDocument doc;
        doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
        if (!doc.beginDocument(writing)) {
            QFile::remove(writing);
            log(QStringLiteral("创建PDF失败!"));
            return automation::kPdfNotCreated;
        }
        doc.setInfo(QStringLiteral("Creator"), QStringLiteral("PDF Creator"));
        doc.setInfo(QStringLiteral("Author"), QStringLiteral("QX"));
        doc.setInfo(QStringLiteral("Title"), QStringLiteral("Convert to PDF"));
        doc.setInfo(QStringLiteral("Subject"), QStringLiteral("PDF Creator"));
        for (std::size_t index = 0; index < pages.size(); ++index) {
            const A4Page& page = pages[index];
            doc.beginPage(595, 842);
            const int image = page.file.isEmpty() ? doc.loadImageData(QStringLiteral("jpeg"), page.jpeg)
                                                  : doc.loadImage(QStringLiteral("jpeg"), page.file);
            const QSizeF size = doc.imageSize(image);
            const pdf::PagePlacement at = placement(size.width(), size.height());
            doc.fitImage(image, at.x, at.y, pdf::kBoxWidth, pdf::kBoxHeight);
            if (const std::optional<pdf::TextLayer> layer = text ? text(index) : std::nullopt) {
                // The words are extra: a layer the page cannot take leaves it as it would be without.
                try {
                    doc.placeText(image, *layer);
                } catch (const pdf::PdfError& e) {
                    log(QStringLiteral("文字层无法写入，本页只含图片:") + QString::fromUtf8(e.what()));
                }
            }
            doc.closeImage(image);
            doc.endPage();
            if (pageDone)
                pageDone(index + 1);
        }
        // The document is written here, each JPEG file read as its page is.
        doc.endDocument();
    } catch (const pdf::PdfError& e) {
        QFile::remove(writing);
        log(QStringLiteral("PDFlib exception occurred!"));
        qWarning("PDF: %s", e.what());
        return automation::kPdfFailed;
    }
    // The file cannot take its name (a folder of that name, a folder that went): it was not created.
    if (!platform::renameReplacing(writing, path)) {
        QFile::remove(writing);
        log(QStringLiteral("创建PDF失败!"));
        return automation::kPdfNotCreated;
    }
    return 0;
}

} // namespace qx::control

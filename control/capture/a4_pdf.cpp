// One A4 page per JPEG through the PDF document, as captures and merges write them.
#include "control/capture/a4_pdf.h"

#include "qx/pdf/pdf_document.h"

namespace qx::control {

int writeA4Pdf(const std::vector<QString>& jpegs, PagePlacementRule placement, const QString& path,
               const std::function<void(const QString&)>& log) {
    try {
        pdf::PdfDocument doc;
        doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
        if (!doc.beginDocument(path)) {
            log(QStringLiteral("创建PDF失败!"));
            return -18;
        }
        doc.setInfo(QStringLiteral("Creator"), QStringLiteral("PDF Creator"));
        doc.setInfo(QStringLiteral("Author"), QStringLiteral("QX"));
        doc.setInfo(QStringLiteral("Title"), QStringLiteral("Convert to PDF"));
        doc.setInfo(QStringLiteral("Subject"), QStringLiteral("PDF Creator"));
        for (const QString& jpeg : jpegs) {
            doc.beginPage(595, 842);
            const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
            const QSizeF size = doc.imageSize(image);
            const pdf::PagePlacement at = placement(size.width(), size.height());
            doc.fitImage(image, at.x, at.y, pdf::kBoxWidth, pdf::kBoxHeight);
            doc.closeImage(image);
            doc.endPage();
        }
        // The document is written here, each JPEG read as its page is.
        doc.endDocument();
    } catch (const pdf::PdfError& e) {
        log(QStringLiteral("PDFlib exception occurred!"));
        qWarning("PDF: %s", e.what());
        return -19;
    }
    return 0;
}

} // namespace qx::control

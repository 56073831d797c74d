// Browsers show neither TIFF nor a PDF in an <img>: the bridge turns both into a picture it can send.
#include "picture_render.h"

#include <QFile>
#include <QImageReader>

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace qx::bridge {

namespace {

// The system writes each PDF page as one JPEG image; that image is the page's picture.
QImage firstPdfPicture(const QString& path) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(QFile::encodeName(path).constData());
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        if (pages.empty())
            return QImage();
        for (auto& [name, image] : pages.front().getImages()) {
            // Only DCT streams are taken raw; anything else would need a PDF renderer.
            if (!image.getDict().getKey("/Filter").isNameAndEquals("/DCTDecode"))
                continue;
            const std::shared_ptr<Buffer> data = image.getRawStreamData();
            QImage picture;
            picture.loadFromData(reinterpret_cast<const uchar*>(data->getBuffer()),
                                 static_cast<int>(data->getSize()), "JPEG");
            if (!picture.isNull())
                return picture;
        }
    } catch (const std::exception&) {
    }
    return QImage();
}

} // namespace

QImage renderPicture(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    if (file.peek(5) == "%PDF-")
        return firstPdfPicture(path);
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    return reader.read();
}

} // namespace qx::bridge

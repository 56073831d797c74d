// A PDF document of pages holding JPEG pictures, with the operations the capture, merge and export
// steps use: parameter, information entries, pages in points, JPEG images fitted into a box.
#pragma once

#include "qx/pdf/text_layer.h"

#include <QByteArray>
#include <QSizeF>
#include <QString>
#include <memory>
#include <stdexcept>
#include <string>

namespace qx::pdf {

// Raised by every operation that fails after the document was opened (a broken JPEG, a write error,
// an operation out of order).
class PdfError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PdfDocument {
public:
    PdfDocument();
    ~PdfDocument();
    PdfDocument(const PdfDocument&) = delete;
    PdfDocument& operator=(const PdfDocument&) = delete;

    // Only "compatibility" is known; its value ("1.4") is the header's version.
    void setParameter(const QString& key, const QString& value);
    // Opens the output file; false when it cannot be created (nothing is raised then).
    bool beginDocument(const QString& path);
    // "Creator", "Author", "Title", "Subject", ... (Unicode text).
    void setInfo(const QString& key, const QString& value);
    void beginPage(double widthPoints, double heightPoints);
    // Loads a JPEG file (type "jpeg"); returns the image's handle. The JPEG's bytes are embedded
    // unchanged and read from the file when the document is written. The file is held open from
    // here to endDocument, so it may be deleted or renamed once its page is ended.
    int loadImage(const QString& type, const QString& path);
    // The same for a JPEG held in memory; its bytes are copied into the document.
    int loadImageData(const QString& type, const QByteArray& jpeg);
    // The image's size in pixels.
    QSizeF imageSize(int image) const;
    // Places the image scaled by the largest factor that fits a box of `boxWidth` x `boxHeight`
    // points ("boxsize {w h} fitmethod meet"), its lower-left corner at (x, y) points from the
    // page's lower-left corner.
    void fitImage(int image, double x, double y, double boxWidth, double boxHeight);
    void closeImage(int image);
    // Lays the words invisibly (render mode 3) over the image as fitImage last placed it on this
    // page, in a font without glyphs whose codes are the characters' UTF-16 units, so a reader copies
    // and finds the text while the page shows only the picture. A layer of no words adds nothing.
    void placeText(int image, const TextLayer& layer);
    void endPage();
    // Writes the file: header %PDF-<compatibility>, pages, information dictionary. A document that
    // fails here (or is destroyed before) leaves no file behind.
    void endDocument();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qx::pdf

// A page of known Chinese and English text, rendered for the text-recognition tests, and the words
// poppler's pdftotext finds in a PDF.
#pragma once

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <vector>

namespace qx::test {

struct PlacedWord {
    QString text;
    QRectF box; // the word's font box in the picture's pixels (y down)
};

struct TextPage {
    QImage image;                  // black text on white, filling the whole picture
    QStringList lines;             // the text, line by line
    std::vector<PlacedWord> words; // every word of the English lines, with its box
};

// The page at `size` and 300 dpi, in WenQuanYi Zen Hei (fonts-wqy-zenhei) at a size a counter's
// camera gives.
TextPage renderTextPage(QSize size);

// pdftotext of page `page` (0: all) with every white space removed.
QString pdfTextWithoutSpaces(const QString& pdf, int page = 0);
// pdftotext -bbox: each word with its box in points from the page's top-left corner.
std::vector<PlacedWord> pdfWords(const QString& pdf);
// The words' JPEGs as `pdfimages -j` gives them back, in page order.
std::vector<QByteArray> pdfJpegs(const QString& pdf);

} // namespace qx::test

// The control's PDF documents: one A4 page per JPEG, the picture fitted into the page's box.
#pragma once

#include "qx/pdf/page_placement.h"
#include "qx/pdf/text_layer.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace qx::control {

using PagePlacementRule = pdf::PagePlacement (*)(double width, double height);
// The invisible text of page `index`, asked for when that page is written; nothing: pictures only.
using PageTextSource = std::function<std::optional<pdf::TextLayer>(std::size_t index)>;

// A page's JPEG: a file, or bytes in memory when `file` is empty.
struct A4Page {
    QString file;
    QByteArray jpeg;
};

// Writes a PDF 1.4 with the control's document information and one 595 x 842 page per JPEG, in
// order, each placed by `placement`, beside `path` and renamed over it once complete (an older file
// of that name keeps its place and its permissions pass to the new one). 0; kPdfNotCreated when the
// file cannot be created ("创建PDF失败!"); kPdfFailed when the document fails ("PDFlib exception
// occurred!"). A failed document leaves no file. With `text`, each page gets the words it gives laid
// over its picture; a layer that does not fit its page is left out (logged), never a failed document.
// `pageDone` hears the count of pages ended so far after each (reading the text is most of a page's
// time; the file itself is written after the last).
int writeA4Pdf(const std::vector<A4Page>& pages, PagePlacementRule placement, const QString& path,
               const std::function<void(const QString&)>& log, const PageTextSource& text = {},
               const std::function<void(std::size_t pages)>& pageDone = {});

} // namespace qx::control

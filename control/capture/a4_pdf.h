// The control's PDF documents: one A4 page per JPEG, the picture fitted into the page's box.
#pragma once

#include "qx/pdf/page_placement.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <vector>

namespace qx::control {

using PagePlacementRule = pdf::PagePlacement (*)(double width, double height);

// A page's JPEG: a file, or bytes in memory when `file` is empty.
struct A4Page {
    QString file;
    QByteArray jpeg;
};

// Writes a PDF 1.4 with the control's document information and one 595 x 842 page per JPEG, in
// order, each placed by `placement`, beside `path` and renamed over it once complete (an older file
// of that name keeps its place and its permissions pass to the new one). 0; kPdfNotCreated when the
// file cannot be created ("创建PDF失败!"); kPdfFailed when the document fails ("PDFlib exception
// occurred!"). A failed document leaves no file.
int writeA4Pdf(const std::vector<A4Page>& pages, PagePlacementRule placement, const QString& path,
               const std::function<void(const QString&)>& log);

} // namespace qx::control

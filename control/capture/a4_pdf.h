// The control's PDF documents: one A4 page per JPEG, the picture fitted into the page's box.
#pragma once

#include "qx/pdf/page_placement.h"

#include <QString>
#include <functional>
#include <vector>

namespace qx::control {

using PagePlacementRule = pdf::PagePlacement (*)(double width, double height);

// Writes a PDF 1.4 with the control's document information and one 595 x 842 page per JPEG, in
// order, each placed by `placement`. 0; -18 when the file cannot be created ("创建PDF失败!"); -19 when
// the document fails ("PDFlib exception occurred!"). A failed document leaves no file.
int writeA4Pdf(const std::vector<QString>& jpegs, PagePlacementRule placement, const QString& path,
               const std::function<void(const QString&)>& log);

} // namespace qx::control

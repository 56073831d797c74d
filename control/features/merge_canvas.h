// The merged JPEG written band by band, every picture decoded row by row as its rows come up.
#pragma once

#include "control/features/merge_layout.h"

#include "control/core/progress_report.h"

#include <QString>
#include <vector>

namespace qx::control {

// Rows of canvas the writer holds at a time.
inline constexpr int kCanvasBandRows = 16;

// Writes `layout` (pictures[i] at layout.pictures[i], white elsewhere, the bands in the gap's colour)
// as a JPEG of `quality` with `dpi` as its resolution. Memory is one band of canvas and one row of
// each picture being drawn, whatever the number of pictures. False, with no file written, when the
// canvas is larger than a JPEG can be, a picture cannot be decoded to its end, or the file cannot be
// written. `progress` hears the count of pictures drawn to their last row.
bool writeMergedJpeg(const MergeLayout& layout, const std::vector<QString>& pictures,
                     const MergeSettings& settings, double dpi, int quality, const QString& path,
                     const ProgressReport& progress = {});

} // namespace qx::control

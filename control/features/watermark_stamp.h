// Drawing the text and image watermarks onto a copy of a picture.
#pragma once

#include "control/features/watermark_settings.h"

#include <QString>

namespace qx::control {

struct StampResult {
    bool ok = false;
    QString path;    // the stamped BMP: a file of its own in the temporary folder, beside stampedPath()
    QString failure; // why nothing was stamped, for the log
};

// The stamped copy's path: the temporary folder, the picture's file name without its last four
// characters (a dot and a three-letter extension; a shorter name gives nothing), then "AW.bmp".
QString stampedPath(const QString& tempFolder, const QString& picture);

// Draws the text (when not empty, at most 256 characters, top-left at its position, no wrapping,
// opaque in the colour truncated to 0..255) and the image (when its path is not empty, at its natural
// size at the truncated position) onto a 24-bit copy of `picture`, and writes it as a BMP with the
// source's horizontal resolution on both axes. A JPEG whose data is damaged is not stamped.
StampResult stampWatermark(const QString& picture, const WatermarkSettings& settings,
                           const QString& tempFolder);

} // namespace qx::control

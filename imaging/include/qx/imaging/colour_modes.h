// The colour modes applied to captured BMP files in place: grey, black and white, enhanced colour.
#pragma once

#include "qx/imaging/picture.h"

#include <QString>

namespace qx::imaging {

enum class ColourResult {
    Converted,
    Unreadable,   // the file cannot be opened or read
    NotSupported, // not an uncompressed 24-bit BMP, or its header does not fit the file
    WriteFailed,  // the replacement could not be written; the original is unchanged
};

// Each reads the whole picture first and replaces the file through a temporary file and a rename,
// so a failure never leaves a truncated picture; on any result but Converted the file is unchanged.

// 8 bits with a 256-entry grey palette; grey = trunc(0.3 B + 0.6 G + 0.1 R) of the file's B, G, R.
ColourResult convertToGrey(const QString& bmpPath);

// 1 bit, palette white then black. `threshold` outside 0..255 is replaced by 100 (and so stored back
// for the caller). A pixel is black when B + G + R <= 3 T or >= 6 T, white otherwise.
ColourResult convertToBlackAndWhite(const QString& bmpPath, int& threshold);

// Stays 24 bits: light areas pushed towards white, red ink intensified.
ColourResult enhanceColour(const QString& bmpPath);

// The same three on a picture in memory, as the capture chain applies them before its one write: a
// 24-bit picture becomes 8-bit grey, 1-bit or stays 24-bit, keeping its resolution; any other picture
// is NotSupported and left as it is.
ColourResult convertToGrey(Picture& picture);
ColourResult convertToBlackAndWhite(Picture& picture, int& threshold);
ColourResult enhanceColour(Picture& picture);

QString colourResultText(ColourResult result);

} // namespace qx::imaging

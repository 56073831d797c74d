// The text layer's TrueType font: one empty glyph, embedded so every reader has the same metrics.
#pragma once

#include <cstddef>

namespace qx::pdf::detail {

// Tesseract's glyphless font (its tessdata's pdf.ttf, Apache License 2.0), copied in at build time.
extern const unsigned char kGlyphlessFont[];
extern const std::size_t kGlyphlessFontSize;

} // namespace qx::pdf::detail

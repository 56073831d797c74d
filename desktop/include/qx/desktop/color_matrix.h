// 5 x 5 colour matrices over non-premultiplied RGBA, applied the way the drawing library applies them.
#pragma once

#include <QImage>
#include <array>

namespace qx::desktop {

// Row vector (R, G, B, A, 1) in 0..1 times the matrix: m[i][j] takes input i to output j.
using ColorMatrix = std::array<std::array<float, 5>, 5>;

ColorMatrix identityMatrix();
// Red, green and blue times 1.05 plus 0.05; alpha unchanged. The hover look.
ColorMatrix hotMatrix();
// Red, green and blue each 0.3 R + 0.59 G + 0.11 B; alpha unchanged. The disabled look.
ColorMatrix greyMatrix();

// One non-premultiplied pixel; results are clamped to 0..1 and rounded to the nearest step.
QRgb applyColorMatrix(QRgb pixel, const ColorMatrix& matrix);
// A copy of `image` in ARGB32 with every pixel transformed.
QImage applyColorMatrix(const QImage& image, const ColorMatrix& matrix);

} // namespace qx::desktop

// Colour matrices of the skinned buttons' hover and disabled looks.
#include "qx/desktop/color_matrix.h"

#include <algorithm>
#include <cmath>

namespace qx::desktop {

ColorMatrix identityMatrix() {
    ColorMatrix m{};
    for (int i = 0; i < 5; ++i)
        m[i][i] = 1.0f;
    return m;
}

ColorMatrix hotMatrix() {
    ColorMatrix m = identityMatrix();
    for (int c = 0; c < 3; ++c) {
        m[c][c] = 1.05f;
        m[4][c] = 0.05f;
    }
    return m;
}

ColorMatrix greyMatrix() {
    ColorMatrix m = identityMatrix();
    for (int c = 0; c < 3; ++c) {
        m[0][c] = 0.3f;
        m[1][c] = 0.59f;
        m[2][c] = 0.11f;
    }
    return m;
}

QRgb applyColorMatrix(QRgb pixel, const ColorMatrix& m) {
    const float in[5] = {qRed(pixel) / 255.0f, qGreen(pixel) / 255.0f, qBlue(pixel) / 255.0f,
                         qAlpha(pixel) / 255.0f, 1.0f};
    int out[4];
    for (int j = 0; j < 4; ++j) {
        float v = 0;
        for (int i = 0; i < 5; ++i)
            v += in[i] * m[i][j];
        out[j] = static_cast<int>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }
    return qRgba(out[0], out[1], out[2], out[3]);
}

QImage applyColorMatrix(const QImage& image, const ColorMatrix& matrix) {
    QImage result = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x)
            line[x] = applyColorMatrix(line[x], matrix);
    }
    return result;
}

} // namespace qx::desktop

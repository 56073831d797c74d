// Pictures of three depths and resolutions for the TIFF suites, written by Qt (not by the code under test).
#pragma once

#include <QImage>
#include <QString>

namespace qx::test {

inline QImage withDpi(QImage image, int dpi) {
    image.setDotsPerMeterX(qRound(dpi / 0.0254));
    image.setDotsPerMeterY(qRound(dpi / 0.0254));
    return image;
}

inline QImage colourImage(int w, int h, int dpi) {
    QImage image(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) % 256));
    return withDpi(image, dpi);
}

inline QImage greyImage(int w, int h, int dpi) {
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.scanLine(y)[x] = static_cast<uchar>((x * 3 + y * 5) & 0xFF);
    return withDpi(image, dpi);
}

inline QImage monoImage(int w, int h, int dpi) {
    QImage image(w, h, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, ((x / 4 + y / 3) % 2) ? 1 : 0);
    return withDpi(image, dpi);
}

} // namespace qx::test

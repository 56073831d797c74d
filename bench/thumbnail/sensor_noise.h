// The light sensor noise the thumbnail benches lay over their painted pages, so the JPEGs they decode
// compress as camera pictures do rather than as flat drawings.
#pragma once

#include <QImage>
#include <QRandomGenerator>

namespace qx::bench {

// Adds -4..4 to every channel of every pixel of a 32-bit picture.
inline void addSensorNoise(QImage& image, QRandomGenerator& rng) {
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int n = int(rng.bounded(9)) - 4;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255),
                           qBound(0, qBlue(c) + n, 255));
        }
    }
}

} // namespace qx::bench

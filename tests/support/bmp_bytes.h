// Hand-made BMP files for the suites, written byte by byte so that no reader under test is used.
#pragma once

#include <QByteArray>
#include <QRgb>
#include <cstdint>
#include <vector>

namespace qx::test {

struct BmpFile {
    int width = 1;
    int height = 1;
    int bits = 24;
    bool topDown = false;
    std::vector<QRgb> palette;
    int32_t ppmX = 0;
    int32_t ppmY = 0;
    // Rows top-down, each ((width * bits + 31) / 32) * 4 bytes.
    std::vector<uint8_t> rows;
};

inline int bmpStride(int width, int bits) {
    return (width * bits + 31) / 32 * 4;
}

inline void putLe32(QByteArray& out, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<char>(v >> (8 * i));
}

inline uint32_t getLe32(const QByteArray& d, int at) {
    const auto* p = reinterpret_cast<const uint8_t*>(d.constData() + at);
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

inline uint16_t getLe16(const QByteArray& d, int at) {
    const auto* p = reinterpret_cast<const uint8_t*>(d.constData() + at);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline QByteArray makeBmp(const BmpFile& s) {
    const int stride = bmpStride(s.width, s.bits);
    const int paletteBytes = static_cast<int>(s.palette.size()) * 4;
    const int offset = 54 + paletteBytes;
    QByteArray out(offset + stride * s.height, '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, static_cast<uint32_t>(out.size()));
    putLe32(out, 10, static_cast<uint32_t>(offset));
    putLe32(out, 14, 40);
    putLe32(out, 18, static_cast<uint32_t>(s.width));
    putLe32(out, 22, static_cast<uint32_t>(s.topDown ? -s.height : s.height));
    out[26] = 1;
    out[28] = static_cast<char>(s.bits);
    putLe32(out, 34, static_cast<uint32_t>(stride * s.height));
    putLe32(out, 38, static_cast<uint32_t>(s.ppmX));
    putLe32(out, 42, static_cast<uint32_t>(s.ppmY));
    putLe32(out, 46, static_cast<uint32_t>(s.palette.size()));
    for (std::size_t i = 0; i < s.palette.size(); ++i) {
        out[54 + static_cast<int>(i) * 4] = static_cast<char>(qBlue(s.palette[i]));
        out[55 + static_cast<int>(i) * 4] = static_cast<char>(qGreen(s.palette[i]));
        out[56 + static_cast<int>(i) * 4] = static_cast<char>(qRed(s.palette[i]));
    }
    for (int y = 0; y < s.height; ++y) {
        const int stored = s.topDown ? y : s.height - 1 - y;
        for (int i = 0; i < stride; ++i)
            out[offset + stored * stride + i] =
                static_cast<char>(s.rows[static_cast<std::size_t>(y) * stride + i]);
    }
    return out;
}

// A 24-bit BMP whose pixel (x, y) is colour(x, y).
template <typename Colour> BmpFile colourBmp(int width, int height, Colour colour) {
    BmpFile s;
    s.width = width;
    s.height = height;
    s.bits = 24;
    const int stride = bmpStride(width, 24);
    s.rows.assign(static_cast<std::size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = colour(x, y);
            uint8_t* p = &s.rows[static_cast<std::size_t>(y) * stride + x * 3];
            p[0] = static_cast<uint8_t>(qBlue(c));
            p[1] = static_cast<uint8_t>(qGreen(c));
            p[2] = static_cast<uint8_t>(qRed(c));
        }
    return s;
}

} // namespace qx::test

// Times the capture chain's picture steps (JPEG, TIFF, GIF, PDF, rotation, colour modes) on one BMP.
//
//   capture_chain_bench --make OUT.bmp            renders the 2592 x 1944 photo-like test picture
//   capture_chain_bench --step STEP IN.bmp DIR    runs one step once, for timing from outside (the
//                                                 caller puts the colour modes' copies in DIR)
//   capture_chain_bench IN.bmp DIR [RUNS]         prints "step<TAB>median ms" for every step
#include "qx/imaging/colour_modes.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"
#include "qx/pdf/pdf_document.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace qx;

// A document page with lines of text, a photo and a red stamp lying turned on a wooden desk under
// uneven light, with sensor noise: the colour spread and fine detail of a real capture, so the
// encoders work as hard as on one. Drawn without Qt's painter so this program needs Qt Core only.
uint32_t hash(uint32_t a, uint32_t b) {
    uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u + (a << 6) + (a >> 2));
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

bool makePicture(const QString& path) {
    const int w = 2592, h = 1944;
    imaging::Picture p;
    p.width = w;
    p.height = h;
    p.bitsPerPixel = 24;
    p.stride = (w * 3 + 3) & ~3;
    p.pixels.resize(static_cast<std::size_t>(p.stride) * h);
    p.dpiX = p.dpiY = 214; // what the edge-finding camera writes at this width
    const double angle = -3 * 3.14159265358979 / 180;
    const double cs = std::cos(angle), sn = std::sin(angle);
    std::mt19937 random(2592);
    std::normal_distribution<float> noise(0.f, 3.f);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = p.pixels.data() + static_cast<std::size_t>(y) * p.stride;
        for (int x = 0; x < w; ++x) {
            // The desk: a brown gradient with wood grain.
            const double grain = 10 * std::sin(y * 0.05 + 6 * std::sin(x * 0.004));
            double r = 95 + 45.0 * (x + y) / (w + h) + grain, g = 66 + 38.0 * (x + y) / (w + h) + grain * 0.7,
                   b = 42 + 28.0 * (x + y) / (w + h) + grain * 0.4;
            // Page coordinates: the page is turned by three degrees around the picture's centre.
            const double dx = x - w / 2.0, dy = y - h / 2.0;
            const double u = dx * cs + dy * sn + 850, v = -dx * sn + dy * cs + 900;
            if (u >= 0 && u < 1700 && v >= 0 && v < 1800) {
                r = 242, g = 240, b = 232;
                const int line = static_cast<int>((v - 60) / 52), inLine = static_cast<int>(v - 60) % 52;
                const int column = static_cast<int>((u - 70) / 22), inColumn = static_cast<int>(u - 70) % 22;
                // Text: glyphs of 5 x 7 dots, 4 pixels each, in words separated by gaps.
                if (v >= 60 && u >= 70 && line < 30 && column < 70 && inLine < 28 && inColumn < 20 &&
                    hash(static_cast<uint32_t>(line), static_cast<uint32_t>(column)) % 7 != 0) {
                    const uint32_t glyph =
                        hash(static_cast<uint32_t>(line) * 97, static_cast<uint32_t>(column));
                    const int bit = (inLine / 4) * 5 + inColumn / 4;
                    if ((glyph >> (bit % 32)) & 1)
                        r = 35, g = 35, b = 48;
                }
                // A photo: a radial gradient from yellow through blue to green.
                if (u >= 1000 && u < 1600 && v >= 1150 && v < 1650) {
                    const double d = std::hypot(u - 1300, v - 1400) / 300;
                    const double t = std::min(d, 1.0);
                    r = t < 0.5 ? 250 - 380 * t : 60 - 80 * (t - 0.5);
                    g = t < 0.5 ? 210 - 120 * t : 150 - 180 * (t - 0.5);
                    b = t < 0.5 ? 90 + 220 * t : 200 - 320 * (t - 0.5);
                }
                // A red stamp ring.
                const double s = std::hypot(u - 400, v - 1500);
                if (s > 170 && s < 186)
                    r = 205, g = 40, b = 40;
            }
            const double fx = dx / w, fy = dy / h;
            const double light = 1 - 0.35 * (fx * fx + fy * fy);
            auto out = [&](double c) {
                return static_cast<uint8_t>(std::clamp(c * light + noise(random), 0.0, 255.0));
            };
            row[x * 3] = out(b);
            row[x * 3 + 1] = out(g);
            row[x * 3 + 2] = out(r);
        }
    }
    return imaging::saveBmp(p, path);
}

bool makePdf(const QString& jpeg, const QString& pdfPath) {
    try {
        pdf::PdfDocument doc;
        doc.setParameter(QStringLiteral("compatibility"), QStringLiteral("1.4"));
        if (!doc.beginDocument(pdfPath))
            return false;
        doc.setInfo(QStringLiteral("Creator"), QStringLiteral("PDF Creator"));
        doc.beginPage(595, 842);
        const int image = doc.loadImage(QStringLiteral("jpeg"), jpeg);
        const QSizeF size = doc.imageSize(image);
        const double r = size.width() / size.height();
        double x = 20, y = 20;
        if (r < 555.0 / 802.0)
            x = std::abs(555 - 802 * r) / 2 + 20;
        else
            y = std::abs(802 - 555 / r) / 2 + 20;
        doc.fitImage(image, x, y, 555, 802);
        doc.closeImage(image);
        doc.endPage();
        doc.endDocument();
        return true;
    } catch (const pdf::PdfError& e) {
        std::fprintf(stderr, "pdf: %s\n", e.what());
        return false;
    }
}

struct Step {
    const char* name;
    // Work that is not timed: the colour modes change their file in place, so each run gets a copy.
    std::function<bool(const QString& in, const QString& dir)> prepare;
    std::function<bool(const QString& in, const QString& dir)> run;
};

// The copy is flushed to disk before the timed part, so the step pays only for its own writes.
bool copyTo(const QString& in, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(in, to))
        return false;
    QFile f(to);
    return f.open(QIODevice::ReadWrite) && ::fsync(f.handle()) == 0;
}

std::vector<Step> steps() {
    auto none = [](const QString&, const QString&) { return true; };
    auto copyFor = [](const char* name) {
        return
            [name](const QString& in, const QString& dir) { return copyTo(in, dir + QLatin1String(name)); };
    };
    return {
        {"jpeg", none,
         [](const QString& in, const QString& dir) {
             return imaging::convertBmpToJpeg(in, dir + QStringLiteral("out.jpg"), 75);
         }},
        {"tiff", none,
         [](const QString& in, const QString& dir) {
             const auto p = imaging::loadBmp(in);
             return p && imaging::saveTiffLzw(*p, dir + QStringLiteral("out.tif"));
         }},
        {"gif", none,
         [](const QString& in, const QString& dir) {
             const auto p = imaging::loadBmp(in);
             return p && imaging::saveGif(*p, dir + QStringLiteral("out.gif"));
         }},
        {"pdf", none,
         [](const QString& in, const QString& dir) {
             const QString jpeg = dir + QStringLiteral("pdf.jpg");
             return imaging::convertBmpToJpeg(in, jpeg, 75) && makePdf(jpeg, dir + QStringLiteral("out.pdf"));
         }},
        {"rotate90", none,
         [](const QString& in, const QString& dir) {
             const auto p = imaging::loadBmp(in);
             return p && imaging::saveBmp(imaging::rotateClockwise(*p, 90), dir + QStringLiteral("rot.bmp"));
         }},
        {"grey", copyFor("grey.bmp"),
         [](const QString&, const QString& dir) {
             return imaging::convertToGrey(dir + QStringLiteral("grey.bmp")) ==
                    imaging::ColourResult::Converted;
         }},
        {"blackwhite", copyFor("bw.bmp"),
         [](const QString&, const QString& dir) {
             int threshold = 100;
             return imaging::convertToBlackAndWhite(dir + QStringLiteral("bw.bmp"), threshold) ==
                    imaging::ColourResult::Converted;
         }},
        {"enhance", copyFor("enh.bmp"),
         [](const QString&, const QString& dir) {
             return imaging::enhanceColour(dir + QStringLiteral("enh.bmp")) ==
                    imaging::ColourResult::Converted;
         }},
    };
}

int usage() {
    std::fprintf(stderr,
                 "usage: capture_chain_bench --make OUT.bmp | --step STEP IN.bmp DIR | IN.bmp DIR [RUNS]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make") == 0)
        return makePicture(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc == 5 && std::strcmp(argv[1], "--step") == 0) {
        const QString dir = QString::fromLocal8Bit(argv[4]) + QLatin1Char('/');
        for (const Step& s : steps())
            if (std::strcmp(s.name, argv[2]) == 0)
                return s.run(QString::fromLocal8Bit(argv[3]), dir) ? 0 : 1;
        return usage();
    }
    if (argc != 3 && argc != 4)
        return usage();
    const QString in = QString::fromLocal8Bit(argv[1]);
    const QString dir = QString::fromLocal8Bit(argv[2]) + QLatin1Char('/');
    const int runs = argc == 4 ? std::max(1, std::atoi(argv[3])) : 7;
    if (!QDir().mkpath(dir))
        return 1;
    for (const Step& s : steps()) {
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            if (!s.prepare(in, dir))
                return 1;
            QElapsedTimer timer;
            timer.start();
            const bool ok = s.run(in, dir);
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (!ok) {
                std::fprintf(stderr, "%s failed\n", s.name);
                return 1;
            }
        }
        std::sort(times.begin(), times.end());
        std::printf("%s\t%.1f\n", s.name, times[times.size() / 2]);
        std::fflush(stdout);
    }
    return 0;
}

// One barcode lookup (file to cleaned text, as the capture runs it) on a 2592 x 1944 JPEG capture, beside
// the least a program can do with ZXing-cpp: the same file decoded by Qt and read with default hints.
#include "qx/desktop/barcode_lookup.h"
#include "qx/imaging/encoders.h"
#include "qx/imaging/picture.h"

#define ZX_USE_UTF8 1
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

QString g_capture;

// A document page on a grey desk with a Code 128 drawn by ZXing's own writer, saved as the control
// saves a capture.
bool writeCapture(const QString& path) {
    QImage page(2592, 1944, QImage::Format_RGB888);
    page.fill(QColor(90, 90, 95));
    QPainter p(&page);
    p.fillRect(QRect(400, 100, 1800, 1744), Qt::white);
    p.setPen(Qt::black);
    for (int y = 200; y < 1500; y += 40)
        p.drawLine(500, y, 2000, y);
    const ZXing::BitMatrix bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::Code128)
                                      .setMargin(10)
                                      .encode(std::string("A/B:C 12"), 600, 160);
    const auto m = ZXing::ToMatrix<uint8_t>(bits);
    QImage code(m.width(), m.height(), QImage::Format_Grayscale8);
    for (int y = 0; y < m.height(); ++y)
        for (int x = 0; x < m.width(); ++x)
            code.scanLine(y)[x] = m(x, y);
    p.drawImage(QPoint(1200, 1600), code);
    p.end();
    qx::imaging::Picture pic;
    pic.width = page.width();
    pic.height = page.height();
    pic.stride = ((pic.width * 3 + 3) / 4) * 4;
    pic.pixels.resize(static_cast<size_t>(pic.stride) * pic.height);
    for (int y = 0; y < pic.height; ++y) {
        const uchar* s = page.constScanLine(y);
        uint8_t* d = pic.pixels.data() + static_cast<size_t>(y) * pic.stride;
        for (int x = 0; x < pic.width; ++x) {
            d[x * 3] = s[x * 3 + 2];
            d[x * 3 + 1] = s[x * 3 + 1];
            d[x * 3 + 2] = s[x * 3];
        }
    }
    return qx::imaging::saveJpeg(pic, path, 75);
}

void lookup(benchmark::State& state) {
    for (auto _ : state) {
        const qx::desktop::BarcodeScan scan = qx::desktop::scanBarcodeFile(g_capture);
        if (scan.barcodes.empty() ||
            qx::desktop::cleanBarcodeText(scan.barcodes.back().text) != QLatin1String("ABC12"))
            state.SkipWithError("the lookup missed the barcode");
    }
}

void directZxing(benchmark::State& state) {
    for (auto _ : state) {
        const QImage image = QImage(g_capture).convertToFormat(QImage::Format_Grayscale8);
        const ZXing::Result r = ZXing::ReadBarcode(ZXing::ImageView(
            image.constBits(), image.width(), image.height(), ZXing::ImageFormat::Lum, image.bytesPerLine()));
        if (r.text() != "A/B:C 12")
            state.SkipWithError("ZXing missed the barcode");
    }
}

BENCHMARK(lookup)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(directZxing)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    g_capture = dir.filePath(QStringLiteral("capture.jpg"));
    if (!writeCapture(g_capture)) {
        std::fputs("barcode_bench: cannot write the capture\n", stderr);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

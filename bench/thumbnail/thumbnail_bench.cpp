// Thumbnail cost on 5000 x 4000 JPEGs: MakeThumbnail (reduced-scale decode), a full decode and scale for
// comparison, and vipsthumbnail on the same files. Run by hand: build/bench/thumbnail_bench [picture.jpg]
#include "qx/desktop/list_image_ctrl.h"
#include "sensor_noise.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <string>

namespace {

// A page with text lines on a desk, with a little sensor noise: what the document camera delivers.
QImage documentPicture() {
    QImage image(5000, 4000, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), QColor(0x4a, 0x3b, 0x30));
    p.translate(2500, 2000);
    p.rotate(-3);
    const QRectF page(-1400, -1950, 2800, 3900);
    p.fillRect(page, QColor(0xfb, 0xfa, 0xf6));
    QRandomGenerator rng(3);
    for (qreal y = page.top() + 300; y < page.bottom() - 300; y += 70)
        p.fillRect(QRectF(page.left() + 250, y, 1600 + rng.bounded(700), 22), QColor(0x40, 0x44, 0x4a));
    p.end();
    qx::bench::addSensorNoise(image, rng);
    return image;
}

void makeThumbnail(benchmark::State& state, const QString& picture) {
    for (auto _ : state) {
        QImage thumb = qx::desktop::CListImageCtrl::MakeThumbnail(picture);
        benchmark::DoNotOptimize(thumb.constBits());
    }
}

void fullDecodeThenScale(benchmark::State& state, const QString& picture) {
    for (auto _ : state) {
        QImageReader reader(picture);
        const QImage full = reader.read();
        QImage thumb = full.scaled(112, 90, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(thumb.constBits());
    }
}

// Includes starting the process, as a caller of the tool pays it.
void vipsThumbnail(benchmark::State& state, const QString& picture, const QString& out) {
    const QString vips = QStandardPaths::findExecutable(QStringLiteral("vipsthumbnail"));
    if (vips.isEmpty()) {
        state.SkipWithError("vipsthumbnail is not installed (libvips-tools)");
        return;
    }
    for (auto _ : state) {
        QProcess process;
        process.start(
            vips, {picture, QStringLiteral("--size"), QStringLiteral("120x90"), QStringLiteral("-o"), out});
        if (!process.waitForFinished(60000) || process.exitCode() != 0) {
            state.SkipWithError("vipsthumbnail failed");
            return;
        }
    }
}

void registerFor(const std::string& name, const QString& picture, const QString& out) {
    benchmark::RegisterBenchmark(("makeThumbnail/" + name).c_str(), makeThumbnail, picture)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("fullDecodeThenScale/" + name).c_str(), fullDecodeThenScale, picture)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("vipsthumbnail/" + name).c_str(), vipsThumbnail, picture, out)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    const QString out = dir.path() + QStringLiteral("/vips.jpg");

    const QString document = dir.path() + QStringLiteral("/document-5000x4000.jpg");
    if (!documentPicture().save(document, "JPG", 75))
        return 1;
    registerFor("document", document, out);
    // A photograph-like picture (detail in every block) is the hard case for any JPEG decoder.
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    const QString plasma = dir.path() + QStringLiteral("/plasma-5000x4000.jpg");
    if (!convert.isEmpty() &&
        QProcess::execute(convert,
                          {QStringLiteral("-size"), QStringLiteral("5000x4000"), QStringLiteral("plasma:"),
                           QStringLiteral("-quality"), QStringLiteral("90"), plasma}) == 0)
        registerFor("plasma", plasma, out);
    for (int i = 1; i < argc; ++i) {
        if (QFileInfo::exists(QString::fromLocal8Bit(argv[i])))
            registerFor(QFileInfo(QString::fromLocal8Bit(argv[i])).fileName().toStdString(),
                        QString::fromLocal8Bit(argv[i]), out);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

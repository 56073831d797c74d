// From the end of a turn to its page's capture, through qxscript on the file-fed camera: a clip of
// ten pages, one of them lying still for 30 s, each capture read back by its QR mark.
//   steady_latency [--size WxH] [--long-still SECONDS] [--settle MS] [--keep FOLDER]
#include "support/page_clips.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

// The frame after which the picture stops changing before page i lies still: the end of the turn's
// motion as the camera shows it (the hand may leave the view before the turn's nominal end).
std::vector<double> motionEnds(const qx::test::PageClipPlan& plan) {
    const qx::test::PageClipTimes times = qx::test::pageClipTimes(plan);
    auto small = [&](int n) {
        return qx::test::renderClipFrame(plan, n)
            .convertToFormat(QImage::Format_Grayscale8)
            .scaled(plan.width / 8, plan.height / 8, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    std::vector<double> ends;
    for (double settled : times.settled) {
        int n = static_cast<int>(std::lround(settled * plan.fps));
        QImage after = small(n);
        for (; n > 0; --n) {
            const QImage before = small(n - 1);
            double diff = 0;
            for (int y = 0; y < after.height(); ++y)
                for (int x = 0; x < after.width(); ++x)
                    diff += std::abs(after.constScanLine(y)[x] - before.constScanLine(y)[x]);
            if (diff / (after.width() * after.height()) > 1.5)
                break;
            after = before;
        }
        ends.push_back(static_cast<double>(n) / plan.fps);
    }
    return ends;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    qx::test::PageClipPlan plan;
    plan.width = 1280;
    plan.height = 720;
    plan.longStillPage = 4;
    plan.longStill = 30;
    int settle = 800;
    QString keep;
    const QStringList args = QGuiApplication::arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--size"))
            plan.width = args[i + 1].section('x', 0, 0).toInt(),
            plan.height = args[i + 1].section('x', 1).toInt();
        else if (args[i] == QLatin1String("--long-still"))
            plan.longStill = args[i + 1].toDouble();
        else if (args[i] == QLatin1String("--settle"))
            settle = args[i + 1].toInt();
        else if (args[i] == QLatin1String("--keep"))
            keep = args[i + 1];
    }
    QTemporaryDir work;
    const QString folder =
        keep.isEmpty() ? work.path() + QLatin1Char('/') : QDir(keep).absolutePath() + QLatin1Char('/');
    QDir().mkpath(folder + QStringLiteral("pictures"));
    const QString clip = folder + QStringLiteral("pages.avi");
    QString error;
    if (!qx::test::writePageClip(plan, clip, &error)) {
        std::fprintf(stderr, "steady_latency: %s\n", qPrintable(error));
        return 1;
    }
    const std::vector<double> ends = motionEnds(plan);
    const double length = qx::test::pageClipTimes(plan).end;

    const QString script = folder + QStringLiteral("latency.js");
    QFile file(script);
    file.open(QIODevice::WriteOnly);
    file.write(R"JS(
        control.RefreshDevList(); control.RefreshResolution(0); control.SetResolution(0);
        control.CustomSavePath = host.args[0];
        control.nAutoSettleTime = Number(host.args[2]);
        control.StartPreviewProc();
        var t0 = Date.now();   // the preview returns once its first frame, the clip's first, is in
        control.StartAutoCapture("jpg");
        var deadline = t0 + Number(host.args[1]) * 1000 + 1500;
        while (Date.now() < deadline) {
            var e = host.waitEvent("captured", deadline - Date.now());
            if (e) print((Date.now() - t0) / 1000, e.result, e.path);
        }
    )JS");
    file.close();
    QProcess qxscript;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QX_VIRTUAL_CAMERAS"),
               QStringLiteral("7e41:%1x%2!file=%3").arg(plan.width).arg(plan.height).arg(clip));
    env.insert(QStringLiteral("Temp"), folder);
    qxscript.setProcessEnvironment(env);
    qxscript.start(
        QStringLiteral(QX_BIN_DIR "/qxscript"),
        {script, folder + QStringLiteral("pictures/"), QString::number(length), QString::number(settle)});
    if (!qxscript.waitForFinished(static_cast<int>(length * 1000) + 60000) || qxscript.exitCode() != 0) {
        std::fprintf(stderr, "steady_latency: qxscript failed: %s\n",
                     qxscript.readAllStandardError().constData());
        return 1;
    }
    const QStringList lines =
        QString::fromUtf8(qxscript.readAllStandardOutput()).trimmed().split(QLatin1Char('\n'));
    std::printf("clip %dx%d, %d pages, page %d still for %.0f s, settle %d ms, %zu captures\n", plan.width,
                plan.height, plan.pages, plan.longStillPage + 1, plan.longStill, settle,
                static_cast<std::size_t>(lines.size()));
    std::vector<double> latencies;
    QStringList marks;
    for (const QString& line : lines) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() != 3)
            continue;
        const double at = parts[0].toDouble();
        const std::vector<QString> found = qx::test::readMarks(parts[2]);
        const QString mark = found.empty() ? QStringLiteral("(no mark)") : found.front();
        marks << mark;
        const int page = mark.startsWith(QLatin1String("QXPAGE-")) ? mark.mid(7).toInt() - 1 : -1;
        if (page >= 0 && page < static_cast<int>(ends.size())) {
            latencies.push_back((at - ends[static_cast<std::size_t>(page)]) * 1000);
            std::printf("  %s at %.2f s, %4.0f ms after its turn's motion ended (result %s)\n",
                        qPrintable(mark), at, latencies.back(), qPrintable(parts[1]));
        } else {
            std::printf("  %s at %.2f s (result %s)\n", qPrintable(mark), at, qPrintable(parts[1]));
        }
    }
    QStringList distinct = marks;
    distinct.removeDuplicates();
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        const double mean = std::accumulate(latencies.begin(), latencies.end(), 0.0) / latencies.size();
        std::printf("latency: mean %.0f ms, median %.0f ms, max %.0f ms (target <= %d ms)\n", mean,
                    latencies[latencies.size() / 2], latencies.back(), settle + 300);
    }
    std::printf("pages captured %lld distinct %lld of %d, duplicates %lld\n",
                static_cast<long long>(marks.size()), static_cast<long long>(distinct.size()), plan.pages,
                static_cast<long long>(marks.size() - distinct.size()));
    return 0;
}

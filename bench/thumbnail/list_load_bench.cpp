// The picture list loading 500 camera JPEGs: the longest pause of the UI thread, the time to every thumbnail.
//
// Run by hand: build/bench/list_load_bench [COUNT] [FOLDER] [THREADS]
// Writes COUNT (500) JPEGs of 2592 x 1944 into a fresh folder inside FOLDER (the temporary folder),
// removed at the end: 20 distinct document
// pictures with sensor noise, the rest hard links to them, so the bench needs 20 files of disk and the
// decoder still opens COUNT names. A 5 ms timer runs on the UI thread the whole time; the longest gap
// between two of its ticks is the longest the window could not answer.
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/interface/ui_host.h"
#include "sensor_noise.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

using namespace qx::desktop;

namespace {

constexpr int kWidth = 2592;
constexpr int kHeight = 1944;
constexpr int kDistinct = 20;
constexpr int kTickMs = 5;

// A page with text lines on a desk, turned a little, with the camera's sensor noise.
QImage documentPicture(int seed) {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QRandomGenerator rng(quint32(seed) + 11);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), QColor(0x4a + seed, 0x3b, 0x30));
    p.translate(kWidth / 2, kHeight / 2);
    p.rotate(-4 + seed % 8);
    const QRectF page(-1250, -900, 2500, 1800);
    p.fillRect(page, QColor(0xfb, 0xfa, 0xf6 - seed));
    for (qreal y = page.top() + 150; y < page.bottom() - 150; y += 45)
        p.fillRect(QRectF(page.left() + 180, y, 1300 + rng.bounded(900), 16), QColor(0x40, 0x44, 0x4a));
    p.end();
    qx::bench::addSensorNoise(image, rng);
    return image;
}

// Named as the control names its captures, in capture order.
QString pictureName(int i) {
    return QStringLiteral("2026-12-09-%1-%2-%3.jpg")
        .arg(10 + i / 3600, 2, 10, QLatin1Char('0'))
        .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(i % 60, 2, 10, QLatin1Char('0'));
}

bool writePictures(const QString& folder, int count) {
    for (int i = 0; i < count; ++i) {
        const QString path = folder + pictureName(i);
        if (i < kDistinct) {
            if (!documentPicture(i).save(path, "JPEG", 90))
                return false;
        } else if (::link(QFile::encodeName(folder + pictureName(i % kDistinct)).constData(),
                          QFile::encodeName(path).constData()) != 0) {
            return false;
        }
    }
    return true;
}

// Every thumbnail shown; with `inView`, only those of the items in view.
bool thumbnailsShown(const CListImageCtrl& list, bool inView) {
    const QRect view = list.viewport()->rect();
    for (int i = 0; i < list.count(); ++i) {
        if (inView && !list.visualItemRect(list.item(i)).intersects(view))
            continue;
        if (list.item(i)->data(Qt::DecorationRole).value<QPixmap>().isNull())
            return false;
    }
    return true;
}

struct Run {
    qint64 callMs = 0;    // the load call itself, on the UI thread
    qint64 inViewMs = -1; // until the thumbnails in view were shown
    qint64 shownMs = 0;   // until every thumbnail was shown
    qint64 longestGapMs = 0;
    int gapsOver20 = 0;
    qint64 uiCpuMs = 0;       // CPU the UI thread used meanwhile
    qint64 longestWorkUs = 0; // the most CPU the UI thread used between two ticks
};

// The CPU time this thread has used, in microseconds: unlike the clock, it stands still while the
// machine runs other programs, so a gap in it between two ticks is the list's own work.
qint64 threadCpuUs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// Runs `load` from the event loop while the tick timer runs, and waits until every thumbnail is shown.
Run measure(CListImageCtrl& list, const std::function<void()>& load) {
    Run run;
    QElapsedTimer clock;
    QElapsedTimer sinceTick;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(kTickMs);
    bool loading = false;
    qint64 doneAt = -1;
    qint64 cpuAtStart = 0;
    qint64 lastCpu = threadCpuUs();
    QEventLoop loop;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        const qint64 cpu = threadCpuUs();
        if (loading)
            run.longestWorkUs = std::max(run.longestWorkUs, cpu - lastCpu);
        lastCpu = cpu;
        if (loading) {
            run.longestGapMs = std::max(run.longestGapMs, gap);
            run.gapsOver20 += gap > 20 ? 1 : 0;
        }
        if (loading && run.inViewMs < 0 && thumbnailsShown(list, true))
            run.inViewMs = clock.elapsed();
        if (loading && doneAt < 0 && thumbnailsShown(list, false)) {
            doneAt = clock.elapsed();
            run.shownMs = doneAt;
            run.uiCpuMs = (threadCpuUs() - cpuAtStart) / 1000;
        }
        // A little past the last thumbnail, so the pause of its painting is counted too.
        if (doneAt >= 0 && clock.elapsed() > doneAt + 200)
            loop.quit();
    });
    sinceTick.start();
    ticks.start();
    QTimer::singleShot(100, [&] {
        loading = true;
        cpuAtStart = threadCpuUs();
        lastCpu = cpuAtStart;
        sinceTick.restart();
        clock.start();
        load();
        run.callMs = clock.elapsed();
    });
    loop.exec();
    return run;
}

// The longest gap between ticks over `ms` with nothing to do: what the machine's load alone costs.
qint64 idleGap(int ms) {
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    sinceTick.start();
    ticks.start();
    loop.exec();
    return longest;
}

void report(const char* what, int count, const Run& run) {
    std::printf(
        "%-8s %d pictures: call %lld ms, thumbnails in view after %lld ms, every thumbnail after %lld "
        "ms, longest UI pause %lld ms (%d pauses over 20 ms), UI thread busy %lld ms, at most %.1f ms "
        "between two ticks\n",
        what, count, static_cast<long long>(run.callMs), static_cast<long long>(run.inViewMs),
        static_cast<long long>(run.shownMs), static_cast<long long>(run.longestGapMs), run.gapsOver20,
        static_cast<long long>(run.uiCpuMs), double(run.longestWorkUs) / 1000.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    QTemporaryDir temp =
        argc > 2 ? QTemporaryDir(QString::fromLocal8Bit(argv[2]) + QStringLiteral("/list-bench-XXXXXX"))
                 : QTemporaryDir();
    if (!temp.isValid()) {
        std::fprintf(stderr, "cannot make a folder for the pictures\n");
        return 1;
    }
    const QString folder = temp.path() + QLatin1Char('/');
    QElapsedTimer writing;
    writing.start();
    if (!writePictures(folder, count)) {
        std::fprintf(stderr, "cannot write the pictures into %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("wrote %d JPEGs of %d x %d (%d distinct, %lld bytes each on average) in %lld ms\n", count,
                kWidth, kHeight, kDistinct, static_cast<long long>(QFileInfo(folder + pictureName(0)).size()),
                static_cast<long long>(writing.elapsed()));

    // The main dialog's list: 531 x 96 dialog units.
    CListImageCtrl list;
    list.resize(797, 144);
    qx::ScriptedUiHost host;
    PictureList pictures(list, host);
    if (argc > 3)
        pictures.thumbnails().setWorkerCount(std::atoi(argv[3]));
    std::printf("%d decoding threads\n", pictures.thumbnails().workerCount());
    pictures.setSaveFolder([folder] { return folder; });
    list.show();

    std::printf("idle     longest UI pause over 10 s with nothing to do: %lld ms\n",
                static_cast<long long>(idleGap(10000)));
    // Every picture added in one go, as a start that lists the save folder would.
    QList<PictureList::Picture> all;
    for (int i = 0; i < count; ++i)
        all.append({folder + pictureName(i), pictureName(i)});
    report("load", count, measure(list, [&] { pictures.AddPictureItems(all); }));
    // Every item redrawn from its file, as after a watermark.
    report("rebuild", count, measure(list, [&] { pictures.RebuildList(); }));
    // The pictures added one by one in one go, each selected and scrolled to as a capture's is.
    list.clear();
    report("adds", count, measure(list, [&] {
               for (int i = 0; i < count; ++i)
                   pictures.AddPictureItem(folder + pictureName(i), pictureName(i));
           }));
    return 0;
}

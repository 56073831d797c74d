// Thirty 2592 x 1944 merge captures of a virtual camera merged to PDF, TIFF and a vertical JPEG:
// MergeImage's time and the peak memory it adds, and the merge files kept for the other tools.
//
//   merge_bench OUT_FOLDER [CAPTURES]
//
// Prints one line per kind: "<kind> <ms> <peak MB above the start> <output MB> <output size>". The merge
// files of each kind are copied to OUT_FOLDER/<kind>/ first, so run.sh can time other tools on the same
// files.
#include "control/core/control.h"
#include "qx/interface/ui_host.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

// VmRSS or VmHWM of this process, in kB.
long statusKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::string(field).size() + 1));
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: merge_bench OUT_FOLDER [CAPTURES]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QX_VIRTUAL_CAMERAS", "7e41:2592x1944");
    QTemporaryDir temp;
    qputenv("Temp", QFile::encodeName(temp.path()));
    QApplication app(argc, argv);
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
    const int captures = argc > 2 ? std::atoi(argv[2]) : 30;

    qx::ScriptedUiHost ui;
    QWidget container;
    auto* control = new qx::control::CMorvelQxWebCtrl(
        &container, &ui, QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/"));
    control->resize(320, 240);
    if (control->RefreshDevList() < 1 || control->RefreshResolution(0) < 1) {
        std::fprintf(stderr, "merge_bench: no virtual camera\n");
        return 1;
    }
    for (const char* kind : {"pdf", "tif", "jpg"}) {
        QTemporaryDir save;
        control->setCustomSavePath(save.path() + QLatin1Char('/'));
        control->StartPreviewProc();
        for (int i = 0; i < captures; ++i) {
            control->IsMerge();
            if (control->Morvel(QLatin1String(kind)) != 0) {
                std::fprintf(stderr, "merge_bench: capture %d failed\n", i);
                return 1;
            }
        }
        control->StopPreview();
        const QString folder = control->state().mergeFolder;
        const QString copies = out + QLatin1String(kind) + QLatin1Char('/');
        QDir(copies).removeRecursively();
        QDir().mkpath(copies);
        for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name))
            QFile::copy(folder + name, copies + name);
        ui.queueAnswer(QStringLiteral("merge-settings"), QVariantMap{{QStringLiteral("gap"), 0}});
        malloc_trim(0);
        // The peak from here on: writing 5 resets it to what the process holds now.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKb("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        const int code = control->MergeImage();
        const qint64 ms = timer.elapsed();
        const long peak = statusKb("VmHWM:");
        if (code != 0) {
            std::fprintf(stderr, "merge_bench: MergeImage answered %d for %s\n", code, kind);
            return 1;
        }
        const QSize size = QImageReader(control->cPicName()).size();
        std::printf("%s %lld %.1f %.1f %dx%d\n", kind, static_cast<long long>(ms), (peak - before) / 1024.0,
                    QFileInfo(control->cPicName()).size() / 1048576.0, size.width(), size.height());
        std::fflush(stdout);
    }
    delete control;
    return 0;
}

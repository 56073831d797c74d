// SendSeal of one picture and GetBase64String of one file through the control, several times each.
//
//   upload_bench URL PICTURE BASE64_FILE RUNS
//
// Prints "sendseal <ms>" and "base64 <ms>" lines, one per run.
#include "control/core/control.h"
#include "qx/interface/ui_host.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: upload_bench URL PICTURE BASE64_FILE RUNS\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir temp;
    qputenv("Temp", QFile::encodeName(temp.path()));
    QApplication app(argc, argv);
    const QString url = QString::fromLocal8Bit(argv[1]);
    const QString picture = QString::fromLocal8Bit(argv[2]);
    const QString base64File = QString::fromLocal8Bit(argv[3]);
    const int runs = std::atoi(argv[4]);

    qx::ScriptedUiHost ui;
    QWidget container;
    auto* control = new qx::control::CMorvelQxWebCtrl(
        &container, &ui, QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/"));
    control->setBShowMsgBox(false);
    control->setMarkdown(false);
    for (int i = 0; i < runs; ++i) {
        control->setCPicName(picture);
        QElapsedTimer timer;
        timer.start();
        const int result = control->SendSeal(url);
        std::printf("sendseal %.1f%s\n", timer.nsecsElapsed() / 1e6, result == 1 ? "" : " FAILED");
    }
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = control->GetBase64String(base64File);
        std::printf("base64 %.1f%s\n", timer.nsecsElapsed() / 1e6, ok ? "" : " FAILED");
    }
    return 0;
}

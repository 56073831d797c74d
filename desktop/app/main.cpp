// QX_Camera: the desktop program. Creates the camera control by class id and runs the main dialog.
#include "qx/desktop/artwork.h"
#include "qx/desktop/cam_config.h"
#include "qx/desktop/command_line.h"
#include "qx/desktop/dialog_units.h"
#include "qx/desktop/qx_camera_dlg.h"
#include "qx/desktop/script_hook.h"
#include "qx/desktop/splash_wnd.h"
#include "qx/interface/control_factory.h"
#include "qx/interface/identity.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kUsage =
    "usage: QX_Camera [--no-splash] [--script SCRIPT.js [ARG...] | --screenshot FILE.png | --config-path]\n";

struct Options {
    QString script;
    QStringList scriptArgs;
    QString screenshot;
    QStringList rest; // for the application's own command line
};

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--script") == 0 && i + 1 < argc) {
            options.script = QString::fromLocal8Bit(argv[++i]);
            for (++i; i < argc; ++i)
                options.scriptArgs << QString::fromLocal8Bit(argv[i]);
        } else if (std::strcmp(a, "--screenshot") == 0 && i + 1 < argc) {
            options.screenshot = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(a, "--config-path") == 0) {
            // Where the settings are kept, for the user and the start script; needs no display.
            const QByteArray path = qx::desktop::camConfigPath().toUtf8();
            std::printf("%s\n", path.constData());
            return 0;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            options.rest << QString::fromLocal8Bit(a);
        }
    }
    const bool unattended = !options.script.isEmpty() || !options.screenshot.isEmpty();
    if (!hasDisplay()) {
        if (!unattended) {
            std::fputs("QX_Camera: no display (DISPLAY or WAYLAND_DISPLAY); --script and --screenshot run "
                       "without one\n",
                       stderr);
            return 2;
        }
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QX_Camera"));
    QApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QApplication::setApplicationDisplayName(QStringLiteral("拍摄仪影像采集及处理软件"));
    QApplication::setQuitOnLastWindowClosed(false);
    qx::desktop::initArtworkResources();
    app.setFont(qx::desktop::dialogFont());
    app.setWindowIcon(QIcon(qx::desktop::artwork(qx::desktop::res::kIcon)));

    const qx::desktop::CommandLineInfo commandLine = qx::desktop::parseCommandLine(options.rest);
    qx::desktop::CSplashWnd::enableSplashScreen(commandLine.showSplash && !unattended);

    qx::ControlPlugin plugin;
    // Beside the program in a build tree, in the private library folder when installed.
    if (!plugin.loadFromFolder(qx::platform::controlModulesFolder(),
                               QLatin1String(qx::identity::kControlClsid))) {
        std::fprintf(stderr, "QX_Camera: cannot create the camera control: %s\n",
                     plugin.errorText().toUtf8().constData());
        return 2;
    }

    // Unattended runs answer every box and dialog from the script, and record what they showed.
    qx::ScriptedUiHost scripted;
    qx::desktop::MainDialogOptions dialogOptions;
    dialogOptions.factory = plugin.factory();
    if (unattended) {
        dialogOptions.ui = &scripted;
        dialogOptions.scripted = &scripted;
    }
    int status = 0;
    {
        auto dialog = std::make_unique<qx::desktop::CQX_CameraDlg>(dialogOptions);
        if (!dialog->controlWidget()) {
            std::fprintf(stderr, "QX_Camera: %s made no control\n", plugin.fileName().toUtf8().constData());
            return 2;
        }
        if (!dialog->startUp()) {
            for (const QString& text : scripted.messages())
                std::fprintf(stderr, "QX_Camera: %s\n", text.toUtf8().constData());
            return 3;
        }
        if (!options.script.isEmpty()) {
            QVariantMap info;
            info.insert(QStringLiteral("file"), plugin.fileName());
            for (const QString& key :
                 {QStringLiteral("CLSID"), QStringLiteral("ProgID"), QStringLiteral("Version")})
                info.insert(key, plugin.metaData().value(key).toString());
            QTimer::singleShot(0, dialog.get(), [&, info] {
                status =
                    qx::desktop::runDialogScript(*dialog, scripted, options.script, options.scriptArgs, info);
            });
        } else if (!options.screenshot.isEmpty()) {
            QTimer::singleShot(0, dialog.get(), [&] {
                status = qx::desktop::saveDialogScreenshot(*dialog, options.screenshot);
            });
        }
        if (!dialog->isShutDown())
            dialog->exec();
    }
    // The dialog, and with it the control, is gone before the plugin is unloaded.
    return status;
}

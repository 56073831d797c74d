// qxbridge: lets web pages on this machine drive one camera control over a WebSocket on loopback.
#include "bridge_log.h"
#include "bridge_server.h"
#include "bridge_settings.h"
#include "control_events.h"
#include "path_guard.h"
#include "request_runner.h"

#include "qx/interface/control_factory.h"
#include "qx/interface/dispatch.h"
#include "qx/interface/identity.h"
#include "qx/interface/members.h"
#include "qx/interface/preview_tap.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"

#include <QApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QThread>
#include <QVBoxLayout>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

constexpr const char* kUsage =
    "usage: qxbridge [--settings FILE] [--port N] [--window] [--control PATH]\n"
    "Serves the camera control to web pages on http://127.0.0.1:PORT/ (default settings file: %s).\n";

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

bool hasDisplay() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// Without a display nobody can answer a box: it is logged and treated as dismissed.
class LoggingUiHost : public qx::ScriptedUiHost {
public:
    void messageBox(QWidget* owner, const QString& text, const QString& caption, qx::MessageIcon icon,
                    bool taskModal) override {
        qx::bridge::bridgeLog(QStringLiteral("message box: %1").arg(text));
        ScriptedUiHost::messageBox(owner, text, caption, icon, taskModal);
    }
    bool question(QWidget* owner, const QString& text, const QString& caption) override {
        qx::bridge::bridgeLog(QStringLiteral("question answered no: %1").arg(text));
        return ScriptedUiHost::question(owner, text, caption);
    }
};

int put(qx::QxDispatch& control, const char* name, const QVariant& value) {
    const qx::automation::Member* member = qx::automation::memberByName(name);
    return member && control.put(member->dispid, value) == qx::DispatchStatus::Ok ? 0 : -1;
}

} // namespace

int main(int argc, char** argv) {
    QString settingsPath;
    QString controlPath;
    int port = 0;
    bool window = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--settings") == 0 && i + 1 < argc) {
            settingsPath = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(a, "--control") == 0 && i + 1 < argc) {
            controlPath = QString::fromLocal8Bit(argv[++i]);
        } else if (std::strcmp(a, "--port") == 0 && i + 1 < argc) {
            port = std::atoi(argv[++i]);
            if (port < 1 || port > 65535) {
                std::fprintf(stderr, "qxbridge: --port %s is no port number\n", argv[i]);
                return 2;
            }
        } else if (std::strcmp(a, "--window") == 0) {
            window = true;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::printf(kUsage, qx::bridge::defaultSettingsPath().toLocal8Bit().constData());
            return 0;
        } else {
            std::fprintf(stderr, kUsage, qx::bridge::defaultSettingsPath().toLocal8Bit().constData());
            return 2;
        }
    }
    const bool display = hasDisplay();
    if (!display)
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qxbridge"));
    QApplication::setQuitOnLastWindowClosed(false);

    using namespace qx::bridge;
    BridgeSettings settings;
    QString error;
    if (settingsPath.isEmpty())
        settingsPath = defaultSettingsPath();
    if (!loadSettings(settingsPath, settings, error)) {
        bridgeLog(QStringLiteral("%1: %2").arg(settingsPath, error));
        return 2;
    }
    if (port)
        settings.port = static_cast<quint16>(port);
    bridgeLog(QStringLiteral("settings %1; capture folders %2; allowed origins besides its own: %3")
                  .arg(settings.file, settings.captureFolders.join(QStringLiteral(", ")),
                       settings.allowedOrigins.isEmpty()
                           ? QStringLiteral("none")
                           : settings.allowedOrigins.join(QStringLiteral(", "))));

    if (controlPath.isEmpty())
        controlPath = qx::platform::controlModulesFolder() + QStringLiteral("libQXCameraCtrl.so");
    qx::ControlPlugin plugin;
    if (!plugin.loadFile(controlPath, QLatin1String(qx::identity::kControlClsid))) {
        bridgeLog(QStringLiteral("cannot create the control: %1").arg(plugin.errorText()));
        return 2;
    }
    std::unique_ptr<qx::UiHost> ui;
    if (display)
        ui = std::make_unique<qx::QtUiHost>();
    else
        ui = std::make_unique<LoggingUiHost>();
    auto container = std::make_unique<QWidget>();
    container->setWindowTitle(QStringLiteral("qxbridge"));
    container->resize(800, 600);
    auto* layout = new QVBoxLayout(container.get());
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* widget = plugin.factory()->createControl(container.get(), ui.get());
    auto* control = widget ? qobject_cast<qx::QxDispatch*>(widget) : nullptr;
    auto* tap = widget ? qobject_cast<qx::QxPreviewTap*>(widget) : nullptr;
    if (!control || !tap) {
        bridgeLog(QStringLiteral("cannot create the control: %1 made no control with a preview tap")
                      .arg(controlPath));
        return 2;
    }
    layout->addWidget(widget);
    if (window)
        container->show();

    // The bridge's captures go to its first capture folder, where its clients may read them.
    const QString captureFolder = settings.captureFolders.first();
    QDir().mkpath(captureFolder);
    put(*control, "CustomSavePath", captureFolder);

    PathGuard guard(settings.captureFolders);
    RequestRunner runner(*control, guard, settings.maxAnswerBytes);

    auto server = std::make_unique<BridgeServer>(
        settings, guard, [tap] { tap->requestPreviewFrame(); },
        [&runner](const QByteArray& message, std::function<void(QByteArray)> answer) {
            QMetaObject::invokeMethod(
                &runner, [&runner, message, answer] { runner.submit(message, answer); },
                Qt::QueuedConnection);
        });
    QThread network;
    network.setObjectName(QStringLiteral("qxbridge network"));
    server->moveToThread(&network);
    network.start();
    bool listening = false;
    QMetaObject::invokeMethod(
        server.get(), [&] { listening = server->listen(error); }, Qt::BlockingQueuedConnection);
    int status = 0;
    std::unique_ptr<ControlEvents> events;
    if (!listening) {
        bridgeLog(error);
        status = 3;
    } else {
        BridgeServer* target = server.get();
        tap->setPreviewSink([target](QImage frame) { target->deliverFrame(std::move(frame)); });
        // The control's events go to every page, in the order the control signalled them; they stop
        // before the server goes.
        events = std::make_unique<ControlEvents>(widget, [target](const QByteArray& json) {
            QMetaObject::invokeMethod(
                target, [target, json] { target->pushEvent(json); }, Qt::QueuedConnection);
        });

        // SIGTERM (systemd stopping the unit) and SIGINT end the bridge through the event loop, so the
        // control is released as a container would release it. exit() rather than quit(): quit() first
        // asks every window to close, and the recording window declines (it slides out first), which
        // would swallow the stop. Every event loop ends, the nested one a running upload waits in too,
        // which cancels the transfer; requests still queued are answered, not run; releasing the
        // control ends a recording with its file finalised.
        if (::pipe(g_signalPipe) == 0) {
            std::signal(SIGTERM, onSignal);
            std::signal(SIGINT, onSignal);
            auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
            QObject::connect(notifier, &QSocketNotifier::activated, &app, [&runner] {
                char byte = 0;
                [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
                bridgeLog(QStringLiteral("stopping"));
                runner.stop();
                QCoreApplication::exit(0);
            });
        }
        bridgeLog(QStringLiteral("ready: http://127.0.0.1:%1/").arg(settings.port));
        status = app.exec();
        tap->setPreviewSink({});
        events.reset();
    }
    QMetaObject::invokeMethod(
        server.get(), [&] { server.reset(); }, Qt::BlockingQueuedConnection);
    network.quit();
    network.wait();
    container.reset();
    return status;
}

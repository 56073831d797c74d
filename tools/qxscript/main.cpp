// qxscript: hosts one camera control and runs a JavaScript file against it, as a web page would.
#include "script_globals.h"
#include "script_host.h"

#include "qx/interface/control_factory.h"
#include "qx/interface/identity.h"
#include "qx/platform/folders.h"

#include <QApplication>
#include <QFile>
#include <QJSEngine>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kUsage = "usage: qxscript [--control PATH] [--window] SCRIPT.js [ARG...]\n";

void fail(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fprintf(stderr, "qxscript: %s\n", bytes.constData());
}

} // namespace

int main(int argc, char** argv) {
    QString controlPath;
    bool window = false;
    QString scriptPath;
    QStringList scriptArgs;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (scriptPath.isEmpty() && std::strcmp(a, "--control") == 0 && i + 1 < argc) {
            controlPath = QString::fromLocal8Bit(argv[++i]);
        } else if (scriptPath.isEmpty() && std::strcmp(a, "--window") == 0) {
            window = true;
        } else if (scriptPath.isEmpty() && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (scriptPath.isEmpty()) {
            scriptPath = QString::fromLocal8Bit(a);
        } else {
            scriptArgs << QString::fromLocal8Bit(a);
        }
    }
    if (scriptPath.isEmpty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!window && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qxscript"));

    QFile scriptFile(scriptPath);
    if (!scriptFile.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(scriptPath, scriptFile.errorString()));
        return 1;
    }
    const QString code = QString::fromUtf8(scriptFile.readAll());

    if (controlPath.isEmpty())
        controlPath = qx::platform::controlModulesFolder() + QStringLiteral("libQXCameraCtrl.so");
    qx::ControlPlugin plugin;
    if (!plugin.loadFile(controlPath, QLatin1String(qx::identity::kControlClsid))) {
        fail(QStringLiteral("cannot create the control: %1").arg(plugin.errorText()));
        return 2;
    }

    qx::ScriptedUiHost ui;
    auto container = std::make_unique<QWidget>();
    container->setWindowTitle(QStringLiteral("qxscript - %1").arg(scriptPath));
    container->resize(800, 600);
    auto* layout = new QVBoxLayout(container.get());
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* control = plugin.factory()->createControl(container.get(), &ui);
    auto* dispatch = control ? qobject_cast<qx::QxDispatch*>(control) : nullptr;
    if (!dispatch) {
        fail(QStringLiteral("cannot create the control: %1 made no control").arg(controlPath));
        return 2;
    }
    layout->addWidget(control);
    container->show();

    QVariantMap info;
    info.insert(QStringLiteral("file"), plugin.fileName());
    for (const QString& key : {QStringLiteral("CLSID"), QStringLiteral("ProgID"), QStringLiteral("Version")})
        info.insert(key, plugin.metaData().value(key).toString());

    int status = 0;
    {
        QJSEngine engine;
        engine.installExtensions(QJSEngine::ConsoleExtension);
        auto* host = new qx::script::ScriptHost(&engine, &ui, dispatch, scriptArgs, info);
        host->watchEvents(control);
        qx::script::installHostGlobals(engine, host);
        QJSEngine::setObjectOwnership(control, QJSEngine::CppOwnership);
        engine.globalObject().setProperty(QStringLiteral("control"), engine.newQObject(control));

        const QJSValue result = engine.evaluate(code, scriptPath);
        if (result.isError())
            status = qx::script::reportScriptError("qxscript", scriptPath, result);
        else
            status = qx::script::handlerStatus("qxscript", scriptPath, *host);
        engine.globalObject().setProperty(QStringLiteral("control"), QJSValue());
        engine.collectGarbage();
    }
    // The control goes before the process ends, so its destruction is logged.
    container.reset();
    return status;
}

// Implements the host object and the conversions between script values and automation values.
#include "script_host.h"
#include "script_window.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJSEngine>
#include <QTimer>
#include <cstdio>

namespace qx::script {

ScriptHost::ScriptHost(QJSEngine* engine, ScriptedUiHost* ui, QxDispatch* dispatch, QStringList args,
                       QVariantMap controlInfo, QObject* parent)
    : QObject(parent), m_engine(engine), m_ui(ui), m_dispatch(dispatch), m_args(std::move(args)),
      m_info(std::move(controlInfo)) {}

void ScriptHost::answer(const QString& kind, const QJSValue& value) {
    if (value.isNull() || value.isUndefined())
        m_ui->queueAnswer(kind, QVariant());
    else
        m_ui->queueAnswer(kind, value.toVariant());
}

QJSValue ScriptHost::window(const QString& kind) {
    QWidget* open = m_ui->openWindow(kind);
    if (!open)
        return QJSValue(QJSValue::NullValue);
    return m_engine->newQObject(new ScriptWindow(*m_ui, kind, open));
}

void ScriptHost::watchEvents(QObject* control, QObject* progress) {
    // By name: the host knows the control only through its meta-object, as any container does.
    if (control) {
        const QMetaObject* mo = control->metaObject();
        if (mo->indexOfSignal("AutoCaptured(int,QString)") >= 0)
            connect(control, SIGNAL(AutoCaptured(int, QString)), this, SLOT(onAutoCaptured(int, QString)));
        if (mo->indexOfSignal("AutoCaptureStateChanged(int)") >= 0)
            connect(control, SIGNAL(AutoCaptureStateChanged(int)), this, SLOT(onAutoCaptureState(int)));
    }
    QObject* source = progress ? progress : control;
    if (source && source->metaObject()->indexOfSignal("WorkProgress(QString,int,int)") >= 0)
        connect(source, SIGNAL(WorkProgress(QString, int, int)), this,
                SLOT(onWorkProgress(QString, int, int)));
}

void ScriptHost::onAutoCaptured(int result, const QString& path) {
    deliver({{QStringLiteral("event"), QStringLiteral("captured")},
             {QStringLiteral("result"), result},
             {QStringLiteral("path"), path}});
}

void ScriptHost::onAutoCaptureState(int state) {
    deliver(
        {{QStringLiteral("event"), QStringLiteral("autoCaptureState")}, {QStringLiteral("state"), state}});
}

void ScriptHost::onWorkProgress(const QString& task, int done, int total) {
    deliver({{QStringLiteral("event"), QStringLiteral("progress")},
             {QStringLiteral("task"), task},
             {QStringLiteral("done"), done},
             {QStringLiteral("total"), total}});
}

void ScriptHost::onEvent(const QString& name, const QJSValue& handler) {
    if (handler.isCallable())
        m_handlers.insert(name, handler);
    else
        m_handlers.remove(name);
}

void ScriptHost::deliver(const QVariantMap& event) {
    const QString name = event.value(QStringLiteral("event")).toString();
    QJSValue handler = m_handlers.value(name);
    // A handler that causes events of its own (a call it makes) sees them queued, not nested in it.
    if (handler.isCallable() && !m_inHandler) {
        m_inHandler = true;
        const QJSValue result = handler.call({m_engine->toScriptValue(event)});
        m_inHandler = false;
        if (result.isError()) {
            // The call that caused the event goes on; the script fails when it ends. A handler that
            // threw hears nothing more.
            if (m_handlerError.isEmpty())
                m_handlerError = QStringLiteral("%1 handler: line %2: %3")
                                     .arg(name)
                                     .arg(result.property(QStringLiteral("lineNumber")).toInt())
                                     .arg(result.toString());
            m_handlers.remove(name);
        }
    } else {
        m_events.append(event);
    }
    if (m_waiting)
        m_waiting->quit();
}

QJSValue ScriptHost::takeEvent(const QString& name) {
    for (qsizetype i = 0; i < m_events.size(); ++i)
        if (m_events[i].value(QStringLiteral("event")).toString() == name)
            return m_engine->toScriptValue(m_events.takeAt(i));
    return QJSValue(QJSValue::NullValue);
}

QJSValue ScriptHost::waitEvent(const QString& name, int ms) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QJSValue found = takeEvent(name);
        const qint64 left = ms - clock.elapsed();
        if (!found.isNull() || left <= 0)
            return found;
        // Woken by every event as well as by the time limit, so the script sees an event as it comes.
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(left), &loop, &QEventLoop::quit);
        m_waiting = &loop;
        loop.exec();
        m_waiting = nullptr;
    }
}

void ScriptHost::wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms < 0 ? 0 : ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void ScriptHost::throwStatus(DispatchStatus status, int dispid) {
    m_engine->throwError(QJSValue::TypeError,
                         QStringLiteral("DISPID %1: %2").arg(dispid).arg(dispatchStatusText(status)));
}

QJSValue ScriptHost::invokeList(int dispid, const QJSValue& args) {
    QVariantList list;
    const int n = args.property(QStringLiteral("length")).toInt();
    for (int i = 0; i < n; ++i)
        list << args.property(static_cast<quint32>(i)).toVariant();
    QVariant result;
    const DispatchStatus status = m_dispatch->invoke(dispid, list, result);
    if (status != DispatchStatus::Ok) {
        throwStatus(status, dispid);
        return QJSValue();
    }
    return result.isValid() ? m_engine->toScriptValue(result) : QJSValue();
}

QJSValue ScriptHost::get(int dispid) {
    QVariant value;
    const DispatchStatus status = m_dispatch->get(dispid, value);
    if (status != DispatchStatus::Ok) {
        throwStatus(status, dispid);
        return QJSValue();
    }
    return m_engine->toScriptValue(value);
}

void ScriptHost::put(int dispid, const QJSValue& value) {
    const DispatchStatus status = m_dispatch->put(dispid, value.toVariant());
    if (status != DispatchStatus::Ok)
        throwStatus(status, dispid);
}

QString ScriptHost::env(const QString& name) const {
    return qEnvironmentVariable(name.toLocal8Bit().constData());
}

void ScriptHost::printLine(const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace qx::script

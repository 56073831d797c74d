// The `host` object of qxscript: message log, queued dialog answers, event pumping and DISPID calls.
#pragma once

#include "qx/interface/dispatch.h"
#include "qx/interface/ui_host.h"

#include <QHash>
#include <QJSValue>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class QEventLoop;
class QJSEngine;

namespace qx::script {

class ScriptHost : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList messages READ messages)
    Q_PROPERTY(QStringList args READ args CONSTANT)
    Q_PROPERTY(QVariantMap controlInfo READ controlInfo CONSTANT)

public:
    ScriptHost(QJSEngine* engine, ScriptedUiHost* ui, QxDispatch* dispatch, QStringList args,
               QVariantMap controlInfo, QObject* parent = nullptr);

    QStringList messages() const { return m_ui->messages(); }
    QStringList args() const { return m_args; }
    QVariantMap controlInfo() const { return m_info; }

    Q_INVOKABLE void answer(const QString& kind, const QJSValue& value);
    Q_INVOKABLE void wait(int ms);
    Q_INVOKABLE QJSValue invokeList(int dispid, const QJSValue& args);
    Q_INVOKABLE QJSValue get(int dispid);
    Q_INVOKABLE void put(int dispid, const QJSValue& value);
    Q_INVOKABLE QString env(const QString& name) const;
    Q_INVOKABLE void printLine(const QString& line);
    // The open window of `kind` ("video", "print-preview", "tif-tool") as a ScriptWindow, or null.
    Q_INVOKABLE QJSValue window(const QString& kind);
    // The oldest event of that name ("captured", "autoCaptureState", "progress") not yet taken,
    // waited for with events flowing at most `ms`: an object {event, ...}, or null when none came.
    Q_INVOKABLE QJSValue waitEvent(const QString& name, int ms);
    // From now on each event of that name is handed to `handler` as it comes (while the call that
    // caused it still runs) instead of being queued; a value that is not a function stops that.
    Q_INVOKABLE void onEvent(const QString& name, const QJSValue& handler);

    // Queues the events `control` signals (its hands-free captures, the progress of its long work)
    // from now on for waitEvent. A control without those signals gives none. With `progress`, the
    // progress events come from that object's WorkProgress(QString, int, int) instead (a container
    // that reports the control's progress with its own).
    void watchEvents(QObject* control, QObject* progress = nullptr);
    // The first error an event handler threw, "" when none did: the script failed then.
    QString handlerError() const { return m_handlerError; }

private slots:
    void onAutoCaptured(int result, const QString& path);
    void onAutoCaptureState(int state);
    void onWorkProgress(const QString& task, int done, int total);

private:
    void throwStatus(DispatchStatus status, int dispid);

    QJSEngine* m_engine;
    ScriptedUiHost* m_ui;
    QxDispatch* m_dispatch;
    QStringList m_args;
    QVariantMap m_info;
    QJSValue takeEvent(const QString& name);
    void deliver(const QVariantMap& event);

    QList<QVariantMap> m_events;     // in the order they came
    QEventLoop* m_waiting = nullptr; // the loop of a waitEvent in progress
    QHash<QString, QJSValue> m_handlers;
    bool m_inHandler = false; // a handler is running: its own events are queued, never nested
    QString m_handlerError;
};

} // namespace qx::script

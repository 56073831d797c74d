// The `host` object of qxscript: message log, queued dialog answers, event pumping and DISPID calls.
#pragma once

#include "qx/interface/dispatch.h"
#include "qx/interface/ui_host.h"

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
    // The oldest event of that name ("captured", "autoCaptureState") not yet taken, waited for with
    // events flowing at most `ms`: an object {event, ...}, or null when none came.
    Q_INVOKABLE QJSValue waitEvent(const QString& name, int ms);

    // Queues the events `control` signals (its hands-free captures) from now on for waitEvent. A
    // control without those signals gives none.
    void watchEvents(QObject* control);

private slots:
    void onAutoCaptured(int result, const QString& path);
    void onAutoCaptureState(int state);

private:
    void throwStatus(DispatchStatus status, int dispid);

    QJSEngine* m_engine;
    ScriptedUiHost* m_ui;
    QxDispatch* m_dispatch;
    QStringList m_args;
    QVariantMap m_info;
    QJSValue takeEvent(const QString& name);

    QList<QVariantMap> m_events;     // in the order they came
    QEventLoop* m_waiting = nullptr; // the loop of a waitEvent in progress
};

} // namespace qx::script

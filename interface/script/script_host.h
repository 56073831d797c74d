// The `host` object of qxscript: message log, queued dialog answers, event pumping and DISPID calls.
#pragma once

#include "qx/interface/dispatch.h"
#include "qx/interface/ui_host.h"

#include <QJSValue>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

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
    // The open window of `kind` ("video", "print-preview") as a ScriptWindow, or null.
    Q_INVOKABLE QJSValue window(const QString& kind);

private:
    void throwStatus(DispatchStatus status, int dispid);

    QJSEngine* m_engine;
    ScriptedUiHost* m_ui;
    QxDispatch* m_dispatch;
    QStringList m_args;
    QVariantMap m_info;
};

} // namespace qx::script

// Turns the control's hands-free capture and progress signals into the bridge's pushed messages.
#include "control_events.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace qx::bridge {

ControlEvents::ControlEvents(QObject* control, Push push, QObject* parent)
    : QObject(parent), m_push(std::move(push)) {
    if (!control)
        return;
    const QMetaObject* mo = control->metaObject();
    if (mo->indexOfSignal("AutoCaptured(int,QString)") >= 0)
        connect(control, SIGNAL(AutoCaptured(int, QString)), this, SLOT(onCaptured(int, QString)));
    if (mo->indexOfSignal("AutoCaptureStateChanged(int)") >= 0)
        connect(control, SIGNAL(AutoCaptureStateChanged(int)), this, SLOT(onState(int)));
    if (mo->indexOfSignal("WorkProgress(QString,int,int)") >= 0)
        connect(control, SIGNAL(WorkProgress(QString, int, int)), this, SLOT(onProgress(QString, int, int)));
}

QByteArray ControlEvents::progressMessage(const QString& task, int done, int total) {
    return QJsonDocument(QJsonObject{{QStringLiteral("event"), QStringLiteral("progress")},
                                     {QStringLiteral("task"), task},
                                     {QStringLiteral("done"), done},
                                     {QStringLiteral("total"), total}})
        .toJson(QJsonDocument::Compact);
}

void ControlEvents::onProgress(const QString& task, int done, int total) {
    if (m_push)
        m_push(progressMessage(task, done, total));
}

QByteArray ControlEvents::capturedMessage(int result, const QString& path) {
    return QJsonDocument(QJsonObject{{QStringLiteral("event"), QStringLiteral("captured")},
                                     {QStringLiteral("result"), result},
                                     {QStringLiteral("path"), path}})
        .toJson(QJsonDocument::Compact);
}

QByteArray ControlEvents::stateMessage(int state) {
    return QJsonDocument(QJsonObject{{QStringLiteral("event"), QStringLiteral("autoCaptureState")},
                                     {QStringLiteral("state"), state}})
        .toJson(QJsonDocument::Compact);
}

void ControlEvents::onCaptured(int result, const QString& path) {
    if (m_push)
        m_push(capturedMessage(result, path));
}

void ControlEvents::onState(int state) {
    if (m_push)
        m_push(stateMessage(state));
}

} // namespace qx::bridge

// The control's events (its hands-free captures, the progress of its long work) as the messages the
// bridge pushes to every page.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

namespace qx::bridge {

// Lives on the control's thread and hears the control's signals by name, as any container does; each
// becomes one JSON text handed to `push`, which may send it on another thread:
//   {"event": "captured", "result": 0, "path": "/home/clerk/Pictures/QXCamera/2026-12-10-07-30-01.jpg"}
//   {"event": "autoCaptureState", "state": 2}
//   {"event": "progress", "task": "merge", "done": 12, "total": 30}   (MergeImage, UploadLocalImg)
class ControlEvents : public QObject {
    Q_OBJECT
public:
    using Push = std::function<void(const QByteArray& json)>;

    // Borrows `control`; a control without the signals pushes nothing.
    ControlEvents(QObject* control, Push push, QObject* parent = nullptr);

    static QByteArray capturedMessage(int result, const QString& path);
    static QByteArray stateMessage(int state);
    static QByteArray progressMessage(const QString& task, int done, int total);

private slots:
    void onCaptured(int result, const QString& path);
    void onState(int state);
    void onProgress(const QString& task, int done, int total);

private:
    Push m_push;
};

} // namespace qx::bridge

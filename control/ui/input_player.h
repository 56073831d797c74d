// Plays a script's input events (the "screen-cut" answer) into a real window, as a user would.
#pragma once

#include <QEvent>
#include <QPoint>
#include <QString>
#include <QVariantList>

class QWidget;

namespace qx::control {

// The events are arrays, coordinates in device pixels of the screen:
// ["press"|"move"|"release"|"dblclick"|"rightclick", x, y] (left button but for rightclick),
// ["key", "Escape"], ["screenshot", path] (the target as it looks then, as PNG). Each is sent to the
// target as the platform would deliver it, with the buttons still held reported as a mouse does, and
// the events it causes are processed before the next one.
//
// Threads: the target's (the GUI thread), synchronously; nothing is kept after play().
class InputPlayer {
public:
    // `kind` names the answer in the warnings on standard error.
    InputPlayer(QWidget& target, QString kind) : m_target(target), m_kind(std::move(kind)) {}

    // Shows the target application-modal (as a dialog's exec would) and plays `events` into it in
    // order. Events after the target has closed are dropped with a warning; when they are used up and
    // it is still open it is closed as Escape on an empty screen closes it (a dialog is rejected).
    void play(const QVariantList& events);

private:
    void sendMouse(QEvent::Type type, QPoint device, Qt::MouseButton button);
    void sendKey(int key);

    QWidget& m_target;
    QString m_kind;
    Qt::MouseButtons m_held = Qt::NoButton;
};

} // namespace qx::control

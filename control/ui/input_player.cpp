// The input player: scripted mouse and key events sent to a window as the platform sends them.
#include "control/ui/input_player.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

namespace qx::control {

void InputPlayer::sendMouse(QEvent::Type type, QPoint device, Qt::MouseButton button) {
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick)
        m_held |= button;
    else if (type == QEvent::MouseButtonRelease)
        m_held &= ~Qt::MouseButtons(button);
    // The script speaks device pixels; Qt's events carry logical ones.
    const QScreen* screen = m_target.screen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1;
    const QPointF local = QPointF(device) / ratio;
    QMouseEvent event(type, local, m_target.mapToGlobal(local), button, m_held, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_target, &event);
}

void InputPlayer::sendKey(int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&m_target, &press);
}

void InputPlayer::play(const QVariantList& events) {
    m_target.setWindowModality(Qt::ApplicationModal);
    m_target.show();
    QCoreApplication::processEvents();
    const QString prefix = m_kind + QLatin1Char(':');
    for (const QVariant& item : events) {
        if (!m_target.isVisible()) {
            qWarning().noquote() << prefix << "the window closed before the event" << item.toList();
            break;
        }
        const QVariantList event = item.toList();
        const QString type = event.value(0).toString();
        const QPoint at(event.value(1).toInt(), event.value(2).toInt());
        if (type == QLatin1String("press")) {
            sendMouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
        } else if (type == QLatin1String("move")) {
            sendMouse(QEvent::MouseMove, at, Qt::NoButton);
        } else if (type == QLatin1String("release")) {
            sendMouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
        } else if (type == QLatin1String("dblclick")) {
            // As a mouse delivers it: press, release, double click, release.
            sendMouse(QEvent::MouseButtonPress, at, Qt::LeftButton);
            sendMouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
            sendMouse(QEvent::MouseButtonDblClick, at, Qt::LeftButton);
            if (m_target.isVisible())
                sendMouse(QEvent::MouseButtonRelease, at, Qt::LeftButton);
        } else if (type == QLatin1String("rightclick")) {
            sendMouse(QEvent::MouseButtonPress, at, Qt::RightButton);
            if (m_target.isVisible())
                sendMouse(QEvent::MouseButtonRelease, at, Qt::RightButton);
        } else if (type == QLatin1String("key") && event.value(1).toString() == QLatin1String("Escape")) {
            sendKey(Qt::Key_Escape);
        } else if (type == QLatin1String("screenshot")) {
            m_target.grab().save(event.value(1).toString());
        } else {
            qWarning().noquote() << prefix << "unknown event" << event;
        }
        QCoreApplication::processEvents();
    }
    if (!m_target.isVisible())
        return;
    if (auto* dialog = qobject_cast<QDialog*>(&m_target))
        dialog->reject();
    else
        m_target.close();
}

} // namespace qx::control

// A script's handle on an open window of the system that is not modal (host.window(kind)).
#pragma once

#include <QJSValue>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace qx {
class UiHost;
}

namespace qx::script {

// Controls are named by their id (a number) or, for buttons and tool-bar actions, by their caption
// (a string, with or without its "&" mnemonic). Every call on a window that has been closed (the
// host no longer lists it as the open window of its kind) answers false or "" and does nothing.
class ScriptWindow : public QObject {
    Q_OBJECT

public:
    ScriptWindow(UiHost& host, QString kind, QWidget* window, QObject* parent = nullptr);

    // Presses a button or triggers an action as a user would; false when it is missing or disabled.
    Q_INVOKABLE bool click(const QJSValue& control);
    // The text a control shows: an edit's or a label's text, a button's caption, a combo box's item,
    // a list's current item.
    Q_INVOKABLE QString text(const QJSValue& control) const;
    Q_INVOKABLE bool enabled(const QJSValue& control) const;
    // Picks item `index` of a combo box, or clicks row `index` of a list (it becomes the only one
    // selected), as a user would; false when there is no such item.
    Q_INVOKABLE bool select(const QJSValue& control, int index);
    Q_INVOKABLE bool visible() const;
    // The window's close request, as its title bar's close button sends it.
    Q_INVOKABLE bool close();
    Q_INVOKABLE bool screenshot(const QString& path) const;

private:
    // The window while it is open, else null.
    QWidget* open() const;
    QWidget* widget(const QJSValue& control) const;
    QObject* target(const QJSValue& control) const;

    UiHost& m_host;
    QString m_kind;
    QPointer<QWidget> m_window;
};

} // namespace qx::script

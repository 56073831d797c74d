// Reaches the controls of an open window by id or caption and acts on them as a user would.
#include "script_window.h"

#include "qx/interface/ui_host.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

namespace qx::script {

namespace {
QString withoutMnemonic(QString caption) {
    for (qsizetype i = 0; i < caption.size(); ++i)
        if (caption[i] == u'&')
            caption.remove(i, 1); // "&&" keeps one "&": the loop steps over it
    return caption;
}

bool sameCaption(const QString& shown, const QString& wanted) {
    return shown == wanted || withoutMnemonic(shown) == withoutMnemonic(wanted);
}
} // namespace

ScriptWindow::ScriptWindow(UiHost& host, QString kind, QWidget* window, QObject* parent)
    : QObject(parent), m_host(host), m_kind(std::move(kind)), m_window(window) {}

QWidget* ScriptWindow::open() const {
    return m_window && m_host.openWindow(m_kind) == m_window ? m_window.data() : nullptr;
}

QWidget* ScriptWindow::widget(const QJSValue& control) const {
    if (!open() || !control.isNumber())
        return nullptr;
    return findControl(m_window, control.toInt());
}

QObject* ScriptWindow::target(const QJSValue& control) const {
    if (!open())
        return nullptr;
    if (control.isNumber())
        return widget(control);
    const QString caption = control.toString();
    const auto buttons = m_window->findChildren<QAbstractButton*>();
    for (QAbstractButton* b : buttons)
        if (sameCaption(b->text(), caption))
            return b;
    const auto actions = m_window->findChildren<QAction*>();
    for (QAction* a : actions)
        if (sameCaption(a->text(), caption))
            return a;
    return nullptr;
}

bool ScriptWindow::click(const QJSValue& control) {
    QObject* t = target(control);
    if (auto* button = qobject_cast<QAbstractButton*>(t)) {
        if (!button->isEnabled() || !button->isVisibleTo(m_window))
            return false;
        button->click();
        return true;
    }
    if (auto* action = qobject_cast<QAction*>(t)) {
        if (!action->isEnabled())
            return false;
        action->trigger();
        return true;
    }
    return false;
}

QString ScriptWindow::text(const QJSValue& control) const {
    QObject* t = target(control);
    if (auto* edit = qobject_cast<QLineEdit*>(t))
        return edit->text();
    if (auto* edit = qobject_cast<QTextEdit*>(t))
        return edit->toPlainText();
    if (auto* label = qobject_cast<QLabel*>(t))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(t))
        return button->text();
    if (auto* combo = qobject_cast<QComboBox*>(t))
        return combo->currentText();
    if (auto* action = qobject_cast<QAction*>(t))
        return action->text();
    if (auto* view = qobject_cast<QAbstractItemView*>(t))
        return view->currentIndex().data(Qt::DisplayRole).toString();
    return {};
}

bool ScriptWindow::enabled(const QJSValue& control) const {
    QObject* t = target(control);
    if (auto* w = qobject_cast<QWidget*>(t))
        return w->isEnabled();
    if (auto* action = qobject_cast<QAction*>(t))
        return action->isEnabled();
    return false;
}

bool ScriptWindow::select(const QJSValue& control, int index) {
    QWidget* w = widget(control);
    if (!w || !w->isEnabled() || index < 0)
        return false;
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        if (index >= combo->count())
            return false;
        combo->setCurrentIndex(index);
        emit combo->activated(index);
        return true;
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model() && view->selectionModel()) {
        const QModelIndex item = view->model()->index(index, 0, view->rootIndex());
        if (!item.isValid())
            return false;
        // As a plain click: the item becomes the current and only selected one.
        view->selectionModel()->setCurrentIndex(item, QItemSelectionModel::ClearAndSelect);
        emit view->clicked(item);
        return true;
    }
    return false;
}

bool ScriptWindow::visible() const {
    return m_window && m_window->isVisible();
}

bool ScriptWindow::close() {
    QWidget* window = open();
    if (!window)
        return false;
    window->close();
    return true;
}

bool ScriptWindow::screenshot(const QString& path) const {
    QWidget* window = open();
    return window && window->grab().save(path);
}

} // namespace qx::script

// The two UI hosts: real Qt dialogs, and the scripted host that records and answers from queues.
#include "qx/interface/ui_host.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace qx {

void UiHost::windowOpened(const QString& kind, QWidget* window) {
    m_windows[kind] = window;
}

void UiHost::windowClosed(const QString& kind, QWidget* window) {
    const auto it = m_windows.find(kind);
    if (it != m_windows.end() && it->second == window)
        m_windows.erase(it);
}

QWidget* UiHost::openWindow(const QString& kind) const {
    const auto it = m_windows.find(kind);
    return it == m_windows.end() ? nullptr : it->second.data();
}

void setControlId(QWidget* control, int id) {
    control->setProperty(kControlIdProperty, id);
}

QWidget* findControl(const QWidget* window, int id) {
    if (!window)
        return nullptr;
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const QVariant v = child->property(kControlIdProperty);
        if (v.isValid() && v.toInt() == id)
            return child;
    }
    return nullptr;
}

namespace {
QString captionOr(const QString& caption) {
    return caption.isEmpty() ? QApplication::applicationDisplayName() : caption;
}
} // namespace

void QtUiHost::messageBox(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                          bool taskModal) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MessageIcon::None:
        break;
    case MessageIcon::Information:
        qicon = QMessageBox::Information;
        break;
    case MessageIcon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case MessageIcon::Error:
        qicon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(qicon, captionOr(caption), text, QMessageBox::Ok, taskModal ? nullptr : owner);
    if (taskModal) {
        box.setWindowModality(Qt::ApplicationModal);
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.exec();
}

bool QtUiHost::question(QWidget* owner, const QString& text, const QString& caption) {
    return QMessageBox::question(owner, captionOr(caption), text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<QStringList> QtUiHost::openFiles(QWidget* owner, const FileDialogOptions& o) {
    QFileDialog dialog(owner, o.caption, o.initialPath, o.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(o.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(o.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.selectedFiles();
}

std::optional<QString> QtUiHost::saveFile(QWidget* owner, const FileDialogOptions& o) {
    QFileDialog dialog(owner, o.caption, o.initialPath, o.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(o.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !o.overwritePrompt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> QtUiHost::pickFolder(QWidget* owner, const QString& caption, const QString& start) {
    const QString dir = QFileDialog::getExistingDirectory(owner, caption, start);
    if (dir.isEmpty())
        return std::nullopt;
    return dir;
}

std::optional<QColor> QtUiHost::pickColor(QWidget* owner, const QColor& initial) {
    const QColor c = QColorDialog::getColor(initial, owner);
    if (!c.isValid())
        return std::nullopt;
    return c;
}

std::optional<QFont> QtUiHost::pickFont(QWidget* owner, const QFont& initial) {
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, initial, owner);
    if (!ok)
        return std::nullopt;
    return f;
}

int QtUiHost::runDialog(QDialog* dialog, const QString&, const std::function<void(const QVariant&)>&) {
    return dialog->exec();
}

void ScriptedUiHost::queueAnswer(const QString& kind, const QVariant& answer) {
    m_answers[kind].push_back(answer);
}

QStringList ScriptedUiHost::messages() const {
    QStringList out;
    for (const Shown& s : m_shown)
        out << s.text;
    return out;
}

int ScriptedUiHost::pendingAnswers(const QString& kind) const {
    const auto it = m_answers.find(kind);
    return it == m_answers.end() ? 0 : static_cast<int>(it->second.size());
}

void ScriptedUiHost::record(const QString& kind, const QString& text, const QString& caption) {
    m_shown.push_back({kind, text, caption});
}

std::optional<QVariant> ScriptedUiHost::take(const QString& kind) {
    m_asked << kind;
    auto it = m_answers.find(kind);
    if (it == m_answers.end() || it->second.empty())
        return std::nullopt;
    QVariant v = it->second.front();
    it->second.pop_front();
    if (!v.isValid() || v.isNull())
        return std::nullopt;
    return v;
}

void ScriptedUiHost::messageBox(QWidget*, const QString& text, const QString& caption, MessageIcon, bool) {
    m_shown.push_back({QStringLiteral("message"), text, caption});
}

bool ScriptedUiHost::question(QWidget*, const QString& text, const QString& caption) {
    m_shown.push_back({QStringLiteral("question"), text, caption});
    const auto v = take(QStringLiteral("question"));
    return v && v->toBool();
}

std::optional<QStringList> ScriptedUiHost::openFiles(QWidget*, const FileDialogOptions&) {
    const auto v = take(QStringLiteral("file-open"));
    if (!v)
        return std::nullopt;
    if (v->metaType().id() == QMetaType::QString)
        return QStringList{v->toString()};
    return v->toStringList();
}

std::optional<QString> ScriptedUiHost::saveFile(QWidget*, const FileDialogOptions&) {
    const auto v = take(QStringLiteral("file-save"));
    if (!v)
        return std::nullopt;
    return v->toString();
}

std::optional<QString> ScriptedUiHost::pickFolder(QWidget*, const QString&, const QString&) {
    const auto v = take(QStringLiteral("folder"));
    if (!v)
        return std::nullopt;
    return v->toString();
}

std::optional<QColor> ScriptedUiHost::pickColor(QWidget*, const QColor&) {
    const auto v = take(QStringLiteral("color"));
    if (!v)
        return std::nullopt;
    const QColor c(v->toString());
    if (!c.isValid())
        return std::nullopt;
    return c;
}

std::optional<QFont> ScriptedUiHost::pickFont(QWidget*, const QFont& initial) {
    const auto v = take(QStringLiteral("font"));
    if (!v)
        return std::nullopt;
    QFont f = initial;
    if (!f.fromString(v->toString()))
        return std::nullopt;
    return f;
}

int ScriptedUiHost::runDialog(QDialog*, const QString& kind,
                              const std::function<void(const QVariant&)>& apply) {
    const auto v = take(kind);
    if (!v)
        return QDialog::Rejected;
    if (apply)
        apply(*v);
    return QDialog::Accepted;
}

} // namespace qx

// Asks the caller's table where it has the member, the tool's own dialogs where it does not.
#include "lent_ui_host.h"

#include <QByteArray>
#include <cstddef>

namespace qx::tiff {

namespace {

// A member is there when the caller's table is long enough to hold it and it is set; the size is
// looked at first, so a shorter table is never read beyond its end.
#define QX_LENT(host, member)                                                                                \
    ((host) && (host)->size >= offsetof(QxTifToolHost, member) + sizeof((host)->member) && (host)->member)

// The texts of one file dialog, kept for the length of the call.
struct DialogTexts {
    explicit DialogTexts(const FileDialogOptions& o)
        : caption(o.caption.toUtf8()), filter(o.filter.toUtf8()), suffix(o.defaultSuffix.toUtf8()),
          initial(o.initialPath.toUtf8()) {
        dialog.caption = caption.constData();
        dialog.filter = filter.constData();
        dialog.defaultSuffix = suffix.constData();
        dialog.initialPath = initial.constData();
        dialog.multiple = o.multiple ? 1 : 0;
    }
    QByteArray caption, filter, suffix, initial;
    QxTifToolFileDialog dialog{};
};

void addPath(void* list, const char* path) {
    if (path)
        static_cast<QStringList*>(list)->append(QString::fromUtf8(path));
}

int32_t iconValue(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QX_TIF_TOOL_ICON_INFORMATION;
    case MessageIcon::Warning:
        return QX_TIF_TOOL_ICON_WARNING;
    case MessageIcon::Error:
        return QX_TIF_TOOL_ICON_ERROR;
    case MessageIcon::None:
        break;
    }
    return QX_TIF_TOOL_ICON_NONE;
}

} // namespace

void LentUiHost::lend(const QxTifToolHost* host, QWidget* window) {
    if (host != m_host) {
        if (QX_LENT(m_host, windowClosed))
            m_host->windowClosed(m_host->context, window);
        m_host = host;
    }
    // Told again on every showing: a caller that lost track of the window finds it once more.
    if (QX_LENT(m_host, windowOpened))
        m_host->windowOpened(m_host->context, window);
}

void LentUiHost::windowWentAway(QWidget* window) {
    if (QX_LENT(m_host, windowClosed))
        m_host->windowClosed(m_host->context, window);
}

void LentUiHost::release(const QxTifToolHost* host) {
    if (host && host == m_host)
        m_host = nullptr;
}

void LentUiHost::messageBox(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                            bool taskModal) {
    if (!QX_LENT(m_host, message))
        return m_own.messageBox(owner, text, caption, icon, taskModal);
    m_host->message(m_host->context, owner, text.toUtf8().constData(), caption.toUtf8().constData(),
                    iconValue(icon));
}

bool LentUiHost::question(QWidget* owner, const QString& text, const QString& caption) {
    if (!QX_LENT(m_host, question))
        return m_own.question(owner, text, caption);
    return m_host->question(m_host->context, owner, text.toUtf8().constData(),
                            caption.toUtf8().constData()) != 0;
}

std::optional<QStringList> LentUiHost::openFiles(QWidget* owner, const FileDialogOptions& options) {
    if (!QX_LENT(m_host, openFiles))
        return m_own.openFiles(owner, options);
    const DialogTexts texts(options);
    QStringList files;
    if (!m_host->openFiles(m_host->context, owner, &texts.dialog, &addPath, &files))
        return std::nullopt;
    return files;
}

std::optional<QString> LentUiHost::saveFile(QWidget* owner, const FileDialogOptions& options) {
    if (!QX_LENT(m_host, saveFile))
        return m_own.saveFile(owner, options);
    const DialogTexts texts(options);
    QStringList files;
    if (!m_host->saveFile(m_host->context, owner, &texts.dialog, &addPath, &files) || files.isEmpty() ||
        files.first().isEmpty())
        return std::nullopt;
    return files.first();
}

// The tool asks for none of these; the table has no member for them.
std::optional<QString> LentUiHost::pickFolder(QWidget* owner, const QString& caption, const QString& start) {
    return m_own.pickFolder(owner, caption, start);
}

std::optional<QColor> LentUiHost::pickColor(QWidget* owner, const QColor& initial) {
    return m_own.pickColor(owner, initial);
}

std::optional<QFont> LentUiHost::pickFont(QWidget* owner, const QFont& initial) {
    return m_own.pickFont(owner, initial);
}

int LentUiHost::runDialog(QDialog* dialog, const QString& kind,
                          const std::function<void(const QVariant& answer)>& applyAnswer) {
    return m_own.runDialog(dialog, kind, applyAnswer);
}

} // namespace qx::tiff

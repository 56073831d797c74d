// The tool's side of a caller's C host table: a UiHost that asks through the table, or itself.
#pragma once

#include "qx/interface/tif_tool_host.h"
#include "qx/interface/ui_host.h"

namespace qx::tiff {

// Every member the table lacks (beyond its size, or null), and everything while no table is lent,
// is answered by real Qt dialogs of the tool's own. Only on the application's thread.
class LentUiHost : public UiHost {
public:
    // `host` (null for none) takes `window` over: the host that had it is told it closed, `host` that
    // it opened.
    void lend(const QxTifToolHost* host, QWidget* window);
    // The window closed: its host is told, and keeps the window's next opening.
    void windowWentAway(QWidget* window);
    // `host` is going away: nothing is called through it any more.
    void release(const QxTifToolHost* host);
    const QxTifToolHost* host() const { return m_host; }

    void messageBox(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                    bool taskModal) override;
    bool question(QWidget* owner, const QString& text, const QString& caption) override;
    std::optional<QStringList> openFiles(QWidget* owner, const FileDialogOptions& options) override;
    std::optional<QString> saveFile(QWidget* owner, const FileDialogOptions& options) override;
    std::optional<QString> pickFolder(QWidget* owner, const QString& caption, const QString& start) override;
    std::optional<QColor> pickColor(QWidget* owner, const QColor& initial) override;
    std::optional<QFont> pickFont(QWidget* owner, const QFont& initial) override;
    int runDialog(QDialog* dialog, const QString& kind,
                  const std::function<void(const QVariant& answer)>& applyAnswer) override;

private:
    QtUiHost m_own;
    const QxTifToolHost* m_host = nullptr;
};

} // namespace qx::tiff

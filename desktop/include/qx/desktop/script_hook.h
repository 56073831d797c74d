// The desktop program's script hook: `QX_Camera --script FILE.js` drives the running main dialog.
#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace qx {
class ScriptedUiHost;
}

namespace qx::desktop {

class CQX_CameraDlg;

// The script's `app.panel`: the card panel as a user reaches it, while the main dialog shows one
// (before that every call answers false, "" or an empty list).
class ScriptPanel : public QObject {
    Q_OBJECT
public:
    explicit ScriptPanel(CQX_CameraDlg& dialog, QObject* parent = nullptr);

    Q_INVOKABLE bool click(int id);
    Q_INVOKABLE QString text(int id) const;
    Q_INVOKABLE bool enabled(int id) const;
    Q_INVOKABLE int bitmap() const;
    Q_INVOKABLE QVariantList rows() const;
    Q_INVOKABLE QStringList headers() const;
    Q_INVOKABLE bool photo() const;
    Q_INVOKABLE QVariantMap state() const;
    Q_INVOKABLE QVariantMap settingsShown() const;
    Q_INVOKABLE bool screenshot(const QString& path) const;

private:
    CQX_CameraDlg& m_dialog;
};

// The script's `app`: the main dialog as a user reaches it.
class ScriptApp : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject* panel READ panel CONSTANT)
public:
    explicit ScriptApp(CQX_CameraDlg& dialog, QObject* parent = nullptr);

    QObject* panel() const { return m_panel; }

    Q_INVOKABLE bool click(int id);
    Q_INVOKABLE bool checked(int id) const;
    Q_INVOKABLE bool enabled(int id) const;
    Q_INVOKABLE QString text(int id) const;
    Q_INVOKABLE QString toolTip(int id) const;
    Q_INVOKABLE int bitmap(int id) const;
    Q_INVOKABLE QStringList items() const;
    // Whether every item shows its thumbnail; with a time, first waits up to that many milliseconds
    // for them (an item is listed at once, its thumbnail is decoded aside).
    Q_INVOKABLE bool thumbnailsReady(int timeoutMs = 0);
    Q_INVOKABLE bool select(int row);
    Q_INVOKABLE void command(int menuId);
    // Presses 图片转换PDF; the document it wrote, "" for none.
    Q_INVOKABLE QString exportPdf();
    Q_INVOKABLE QString file(int row) const;
    Q_INVOKABLE QString ini() const;
    Q_INVOKABLE void close();
    Q_INVOKABLE int progress() const;
    // The progress bar's end: the steps of the work it last showed (pictures, pages, files).
    Q_INVOKABLE int progressMaximum() const;
    Q_INVOKABLE QVariantMap hotkey() const;
    Q_INVOKABLE QVariantMap state() const;
    Q_INVOKABLE QVariantMap settingsShown() const;
    Q_INVOKABLE bool screenshot(const QString& path) const;

private:
    CQX_CameraDlg& m_dialog;
    ScriptPanel* m_panel;
};

// Runs `scriptPath` against the started dialog with the globals `control` (the embedded control
// through the dialog's wrapper), `host`, `print` and `app`; closes the dialog (its shut-down) when the
// script has not. Returns 0 when the script ran to its end, 1 when it threw or could not be read.
int runDialogScript(CQX_CameraDlg& dialog, ScriptedUiHost& ui, const QString& scriptPath,
                    const QStringList& args, const QVariantMap& controlInfo);

// Waits until the live picture shows (at most `timeoutMs`), then saves the main window to `path`.
// 0 when the picture was live and the file written, 1 otherwise (the file is still written when it can be).
int saveDialogScreenshot(CQX_CameraDlg& dialog, const QString& path, int timeoutMs = 20000);

// Whether `image` holds a picture rather than one flat colour.
bool showsPicture(const QImage& image);

} // namespace qx::desktop

// Everything the control shows or asks goes through a UI host: real dialogs in a window, or a script.
#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <deque>
#include <functional>
#include <map>
#include <optional>

class QWidget;
class QDialog;

namespace qx {

enum class MessageIcon { None, Information, Warning, Error };

struct FileDialogOptions {
    QString caption;
    QString filter;        // Qt filter text, e.g. "JPG Files (*.jpg)"
    QString defaultSuffix; // without the dot
    QString initialPath;
    bool multiple = false;       // file-open only
    bool overwritePrompt = true; // file-save only
};

class UiHost {
public:
    virtual ~UiHost() = default;

    // A message box with an OK button. An empty caption means the program's default caption.
    // `taskModal` boxes have no owner and are raised above everything else.
    virtual void messageBox(QWidget* owner, const QString& text, const QString& caption, MessageIcon icon,
                            bool taskModal) = 0;
    // A yes/no question; true for yes.
    virtual bool question(QWidget* owner, const QString& text, const QString& caption) = 0;

    // Each answers std::nullopt for Cancel.
    virtual std::optional<QStringList> openFiles(QWidget* owner, const FileDialogOptions& options) = 0;
    virtual std::optional<QString> saveFile(QWidget* owner, const FileDialogOptions& options) = 0;
    virtual std::optional<QString> pickFolder(QWidget* owner, const QString& caption,
                                              const QString& start) = 0;
    virtual std::optional<QColor> pickColor(QWidget* owner, const QColor& initial) = 0;
    virtual std::optional<QFont> pickFont(QWidget* owner, const QFont& initial) = 0;

    // A dialog of the system's own (merge settings, watermark, ...). A real host runs it modally; a
    // scripted host instead takes the next queued answer of `kind`, hands it to `applyAnswer` (which
    // fills the dialog's fields as a user would) and accepts, or rejects when none is queued.
    // Returns QDialog::Accepted or QDialog::Rejected.
    virtual int runDialog(QDialog* dialog, const QString& kind,
                          const std::function<void(const QVariant& answer)>& applyAnswer) = 0;

    // Windows that stay open beside their caller (the recording window, the print preview) cannot be
    // answered like a dialog: the host only keeps the open window of each kind, so that a scripted
    // caller can reach it while it is open. A window registers when it opens and leaves when it
    // closes; a destroyed window drops out by itself.
    void windowOpened(const QString& kind, QWidget* window);
    void windowClosed(const QString& kind, QWidget* window);
    QWidget* openWindow(const QString& kind) const; // null when none of that kind is open

private:
    std::map<QString, QPointer<QWidget>> m_windows;
};

// The identifier of a control in a window of the system (its dialog resource id), by which scripts
// address it; a window's controls carry it as this dynamic property.
inline constexpr char kControlIdProperty[] = "qxControlId";
void setControlId(QWidget* control, int id);
// The first child of `window` carrying `id`, or null.
QWidget* findControl(const QWidget* window, int id);

// Real Qt dialogs.
class QtUiHost : public UiHost {
public:
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
};

// For headless hosts and tests: records every message box and answers dialogs from per-kind queues.
// Kinds: "file-open" (a list of paths), "file-save", "folder" (a path), "question" (a boolean),
// "color" (a colour name such as "#ff0000"), "font" (a QFont::toString() text), and the kinds of the
// system's own dialogs. A null answer, or no queued answer, is Cancel.
class ScriptedUiHost : public UiHost {
public:
    struct Shown {
        QString kind; // "message" or "question"
        QString text;
        QString caption;
    };

    void queueAnswer(const QString& kind, const QVariant& answer);
    QStringList messages() const; // texts of message boxes and questions, in order
    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList askedKinds() const { return m_asked; } // every dialog kind asked, in order
    int pendingAnswers(const QString& kind) const;

    // For hosts with boxes of their own: records a shown box, and takes the next answer of `kind`
    // (std::nullopt for none queued or a null answer).
    void record(const QString& kind, const QString& text, const QString& caption);
    std::optional<QVariant> takeAnswer(const QString& kind) { return take(kind); }

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
    std::optional<QVariant> take(const QString& kind);

    std::map<QString, std::deque<QVariant>> m_answers;
    std::vector<Shown> m_shown;
    QStringList m_asked;
};

} // namespace qx

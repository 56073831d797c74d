// CIDCardDlg: the identity-card panel docked beside the main window: periodic reads, the card, the log.
#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <QWidget>
#include <memory>

class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

namespace qx {
class UiHost;
class QtUiHost;
} // namespace qx

namespace qx::desktop {

class BitmapButton;
class CMorvelQxWeb;

// What the panel reaches through the main dialog. Every member is borrowed and must outlive the panel.
struct CardPanelOwner {
    // The embedded control; without it every read fails.
    CMorvelQxWeb* control = nullptr;
    // The message boxes, the save dialog and the settings dialog; real Qt dialogs when null.
    UiHost* ui = nullptr;
    // The settings file holding IDCSavePath and IDCTimeCount.
    QString iniPath;
    // Where the card library leaves the holder's photo "ImgTemp.bmp": the data folder of the program's
    // folder when empty, which is the library's own when the modules lie beside the program.
    QString photoFolder;
};

// Control ids of dialog 154.
namespace card_id {
inline constexpr int kName = 1022;
inline constexpr int kSex = 1023;
inline constexpr int kNation = 1024;
inline constexpr int kBirthYear = 1025;
inline constexpr int kBirthMonth = 1026;
inline constexpr int kBirthDay = 1027;
inline constexpr int kAddress = 1028;
inline constexpr int kNumber = 1029;
inline constexpr int kIssue = 1030;
inline constexpr int kValidity = 1031;
inline constexpr int kPhoto = 1032;
inline constexpr int kPauseResume = 1016;
inline constexpr int kSettings = 1017;
inline constexpr int kExport = 1018;
inline constexpr int kLog = 1033;
} // namespace card_id

inline constexpr const char* kEmptyLogText = "流水明细为空!\n请刷卡再导出流水明细!";
inline constexpr const char* kExportFailedText = "创建excle数据库失败!\r\n错误信息:%1";
inline constexpr const char* kLogSheetName = "刷卡流水记录";

class CIDCardDlg : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlideMilliseconds = 150;
    static constexpr int kDefaultIntervalMs = 3000;
    // The shortest period the read timer runs at: a stored interval of 0 (the settings allow it)
    // would otherwise fire without pause and starve the window.
    static constexpr int kMinimumTimerMs = 100;

    // A top-level window without a parent, as the panel is; `mainDialog` is the window it follows.
    explicit CIDCardDlg(QWidget* mainDialog, CardPanelOwner owner = {});
    ~CIDCardDlg() override;

    // Whether the panel reads cards; clearing it also shows the resume image on 1016.
    void setReadingEnabled(bool enabled);
    bool isReadingEnabled() const { return m_readingEnabled; }

    // Shows the panel by sliding it out to the right, or hides it by sliding it back to the left,
    // over `milliseconds`; the window is hidden at the end of the hiding slide.
    void slideShow(int milliseconds = kSlideMilliseconds);
    void slideHide(int milliseconds = kSlideMilliseconds);
    // Whether the panel slides: not on Wayland, where it shows and hides at once.
    static bool canSlide();
    // How much of the panel's width shows during a slide, 0..1.
    qreal revealed() const { return m_revealed; }

    // The button handlers, as their clicks run them.
    void onPauseResume();
    void onSettings();
    void onExport();
    // One tick of the read timer.
    void onTimer();

    // The controls by id (nullptr for an id the panel does not have).
    QWidget* controlById(int id) const;
    // Clicks a button as a user would: false, and nothing done, for a disabled or unknown one.
    bool clickControl(int id);
    // The text an edit shows, or a button's caption.
    QString controlText(int id) const;
    // The artwork id on button 1016.
    int pauseResumeBitmap() const;

    // The log's header texts and its rows' cell texts, in order.
    QStringList logHeaders() const;
    QList<QStringList> logRows() const;
    // The column widths set at initialisation, and the client width they were taken from.
    QList<int> logColumnWidths() const;
    int logClientWidth() const { return m_logClientWidth; }

    bool hasPhoto() const { return !m_photo.isNull(); }
    const QImage& photo() const { return m_photo; }
    QString photoPath() const;

    // The settings in use: the composite image folder and the read interval as stored.
    QString compositeFolder() const { return m_compositeFolder; }
    int readInterval() const { return m_readInterval; }
    // The read timer: whether it runs, its period and the time to its next tick.
    bool isTimerActive() const { return m_timer.isActive(); }
    int timerInterval() const { return m_timer.interval(); }
    int timerRemaining() const { return m_timer.remainingTime(); }

    // Ticks while reading was enabled, reads asked of the control, ticks skipped because a read was
    // still running, and reads that gave a row.
    int tickCount() const { return m_ticks; }
    int readCount() const { return m_reads; }
    int skippedTicks() const { return m_skipped; }
    int successCount() const { return m_rowCounter - 1; }
    bool isReading() const { return m_reading; }

    // What the settings dialog showed when it last opened, for scripts and tests.
    QVariantMap lastSettingsShown() const { return m_lastSettingsShown; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void initPanel();
    void fitLogFont();
    bool readCard();
    void clearFields();
    void showFields();
    void appendRow(const QString& number, const QString& time);
    void loadPhoto();
    void showMessage(const QString& text);
    void setRevealed(qreal revealed);
    void slide(qreal to, int milliseconds, bool hideAtEnd);
    UiHost& ui();

    QWidget* m_mainDialog;
    CardPanelOwner m_owner;
    std::unique_ptr<QtUiHost> m_ownUi;

    QString m_rawCardText;
    bool m_readingEnabled = false;
    QImage m_photo;
    QString m_compositeFolder;
    int m_readInterval = kDefaultIntervalMs;
    int m_rowCounter = 1;
    QTimer m_timer;
    qreal m_revealed = 1.0;

    bool m_reading = false;
    bool m_closeAfterRead = false;
    int m_ticks = 0;
    int m_reads = 0;
    int m_skipped = 0;

    QList<QWidget*> m_edits; // 1022..1031 in order
    QWidget* m_photoFrame = nullptr;
    BitmapButton* m_pauseResume = nullptr;
    BitmapButton* m_settings = nullptr;
    BitmapButton* m_export = nullptr;
    QTreeWidget* m_log = nullptr;
    QList<int> m_columnWidths;
    int m_logClientWidth = 0;
    QVariantMap m_lastSettingsShown;
};

} // namespace qx::desktop

// CQX_CameraDlg: the desktop program's main dialog around the embedded camera control.
#pragma once

#include "qx/desktop/capture_flow.h"
#include "qx/desktop/card_panel_dock.h"
#include "qx/desktop/global_hotkey.h"
#include "qx/desktop/history_cleaner.h"
#include "qx/desktop/id_card_dlg.h"
#include "qx/desktop/morvel_qx_web.h"
#include "qx/desktop/set_config.h"
#include "qx/desktop/settings_store.h"

#include <QDialog>
#include <QHash>
#include <QTimer>
#include <QVariantMap>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QAbstractButton;

namespace qx {
class QxControlFactory;
class UiHost;
class ScriptedUiHost;
class QtUiHost;
class TifToolLending;
} // namespace qx

namespace qx::desktop {

class BitmapButton;
class CGdipButton;
class CListImageCtrl;
class PdfExport;
class PicturePrinting;
class PictureList;

// Control ids of dialog 102.
namespace id {
inline constexpr int kAutoCrop = 1001;
inline constexpr int kNoCrop = 1002;
inline constexpr int kMergeMode = 1003;
inline constexpr int kTimedMode = 1004;
inline constexpr int kCapture = 1005;
inline constexpr int kMerge = 1006;
inline constexpr int kList = 1007;
inline constexpr int kSettings = 1008;
inline constexpr int kRecord = 1009;
inline constexpr int kWatermark = 1010;
inline constexpr int kTimerRun = 1011;
inline constexpr int kBarcode = 1012;
inline constexpr int kUpload = 1013;
inline constexpr int kPdf = 1014;
inline constexpr int kClearList = 1015;
inline constexpr int kClose = 1016;
inline constexpr int kMinimise = 1017;
inline constexpr int kTifTool = 1018;
inline constexpr int kBatchPrint = 1019;
inline constexpr int kControl = 1023;
inline constexpr int kCardPanel = 1024;
inline constexpr int kProgress = 1035;
inline constexpr int kAutoCapture = 1036; // 自动拍照, beside the timed capture
inline constexpr int kAutoBadge = 1037;   // the badge of hands-free capture's state on the live picture
} // namespace id

inline constexpr const char* kMainTitle = "拍摄仪影像采集及处理软件 V1.7.0.0";
inline constexpr const char* kNoCameraText = "未检测到Qorvane拍摄仪，请检查设备是否连接好！";
inline constexpr const char* kNoUrlText = "请输入服务器地址URL!";
inline constexpr const char* kAutoCaptureNoPreviewText = "自动拍照需要实时画面，请先打开拍摄仪!";

struct MainDialogOptions {
    // Creates the camera control (child 1023); without one the dialog has no control to drive.
    QxControlFactory* factory = nullptr;
    // Every box and dialog of the program and of the control; real Qt dialogs when null. A scripted
    // host answers the program's questions from its "message" queue and the settings dialog from
    // "settings".
    UiHost* ui = nullptr;
    ScriptedUiHost* scripted = nullptr; // the same object as `ui` when the host is scripted
    // The settings file; camConfigPath() when empty.
    QString iniPath;
    // The pause after creation while the splash shows.
    int creationPauseMs = 1000;
    // The barcode found in a picture; BarcodeLookup (ZXing-cpp, with its boxes) when unset.
    std::function<QString(const QString& picture)> barcodeLookup;
    // The PDF export of the list; answers the PDF written, or "" for none. PdfExport into the save
    // folder when unset.
    std::function<QString()> pdfExport;
    // Opens a file with the desktop's default program; QDesktopServices when unset.
    std::function<void(const QString& file)> openFile;
    // Runs the TIFF tool; when unset, the tool library beside the program with the dialog's UI host
    // (ShowPlatformWithHost), or its ShowPlatform when it cannot take one.
    std::function<void()> tifTool;
    // Where the card panel finds the holder's photo "ImgTemp.bmp": the data folder of the program's
    // folder when empty (where the card library beside the program leaves it).
    QString cardPhotoFolder;
    // Whether to try the session-wide hotkey (tests of the rest of the dialog leave it off).
    bool useGlobalHotkey = true;
};

class CQX_CameraDlg : public QDialog {
    Q_OBJECT
public:
    explicit CQX_CameraDlg(MainDialogOptions options, QWidget* parent = nullptr);
    ~CQX_CameraDlg() override;

    // Creation (splash, pause) and start-up; false when the program must end: no control, or no
    // camera (after the message).
    bool startUp();
    bool isStarted() const { return m_started; }

    // The dialog's operations, as their buttons, timer and hotkey run them.
    void capture();
    void merge();
    void settings();
    void watermark();
    void upload();
    void clearList();
    void batchPrint();
    void toggleCardPanel();
    // The export of 图片转换PDF, the document then opened; answers its path ("" for none).
    QString runPdfExport();
    QString lastPdf() const { return m_lastPdf; }
    void runTifTool();
    // Shut-down as the close request runs it; the dialog ends afterwards.
    void shutDown();
    bool isShutDown() const { return m_shutDown; }

    // The controls by id (nullptr for an id the dialog does not have).
    QWidget* controlById(int id) const;
    // Clicks a button, check box or radio button as a user would: nothing for a disabled one.
    bool clickControl(int id);

    CMorvelQxWeb& control() { return m_control; }
    PictureList& pictures() { return *m_pictures; }
    PicturePrinting& printing() { return *m_printing; }
    CListImageCtrl& list() { return *m_list; }
    QWidget* controlWidget() const { return m_controlWidget; }
    CIDCardDlg* cardPanel() const { return m_cardDock.panel(); }
    bool isCardPanelShown() const { return m_cardDock.isShown(); }
    bool isCardPanelVisible() const { return m_cardDock.isPanelVisible(); }

    // The settings in use.
    QString iniPath() const { return m_settings.iniPath(); }
    int cameraIndex() const { return m_settings.values().camera; }
    int resolutionIndex() const { return m_settings.values().resolution; }
    QString imageFormat() const { return m_settings.values().imageFormat; }
    QString savedImageFormat() const { return m_settings.values().savedImageFormat; }
    int tickTime() const { return m_settings.values().tickTime; }
    int captureTimerInterval() const { return m_captureTimer.interval(); }
    bool isTimedRunOn() const { return m_timedRun; }
    // Hands-free capture: whether 自动拍照 runs, the badge's text ("" while hidden), the pages so far.
    bool isAutoCaptureOn() const { return m_autoRun; }
    QString autoBadgeText() const;
    int autoCaptureCount() const;
    int autoSettleTime() const { return m_settings.values().autoSettleTime; }
    int rotation() const { return m_settings.values().rotation; }
    int dpi() const { return m_settings.values().dpi; }
    int colorIndex() const { return m_settings.values().color; }
    QString savePath() const { return m_settings.values().savePath; }
    QString videoPath() const { return m_settings.values().videoPath; }
    QString uploadUrl() const { return m_settings.values().url; }
    bool deleteAfterUpload() const { return m_settings.values().deleteAfterUpload; }
    bool deleteAfterPdf() const { return m_settings.values().deleteAfterPdf; }
    QString lastPicturePath() const { return m_capture->lastPicture(); }
    bool isHotkeyRegistered() const { return m_hotkey.isRegistered(); }
    int hotkeyModifiers() const { return m_settings.values().hotkeyModifiers; }
    int hotkeyKey() const { return m_settings.values().hotkeyKey; }
    QString hotkeyLetter() const { return m_settings.values().hotkeyLetter; }
    QString captureToolTip() const { return m_settings.values().hotkeyText(); }
    int progressValue() const;
    int progressMaximum() const;
    // The settings dialog's state when it last opened, for scripts.
    QVariantMap lastSettingsShown() const { return m_lastSettingsShown; }

    // The hotkey as WM_HOTKEY delivers it.
    void onHotkey(int virtualKey);
    // One tick of the capture timer.
    void onCaptureTimer();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void buildControls();
    BitmapButton* addButton(int id, int bitmap);
    void initDialog();
    void applyStartupBoxes(const StartupBoxes& boxes);
    void registerHotkey();
    void updateToolTip();
    void onCheckBox(int id);
    void onTimerRun();
    // 自动拍照 on or off; false (the box cleared, the reason shown) when the control cannot start it.
    bool setAutoCapture(bool on);
signals:
    // The progress bar moved: `task` "merge" (合并图片), "pdf-export" (图片转换PDF, recognising the
    // text with it), "upload" (上传服务器), "print" (批量打印), `done` of `total`, 0 at the start.
    void WorkProgress(const QString& task, int done, int total);

private slots:
    void onAutoCaptured(int result, const QString& path);
    void onAutoCaptureState(int state);
    void showProgress(const QString& task, int done, int total);

private:
    void setTimerRunBitmap(int bitmap);
    void showMessage(const QString& text, const QString& caption = {});
    bool askYesNo(const QString& text, const QString& caption);
    void enablePictureButtons(bool enabled);

    MainDialogOptions m_options;
    std::unique_ptr<QtUiHost> m_ownUi;
    UiHost* m_ui = nullptr;
    CMorvelQxWeb m_control;
    QWidget* m_controlWidget = nullptr;
    SettingsStore m_settings;
    HistoryCleaner m_history;
    CardPanelDock m_cardDock;

    QHash<int, QWidget*> m_controls;
    QRadioButton* m_autoCrop = nullptr;
    QRadioButton* m_noCrop = nullptr;
    QCheckBox* m_mergeMode = nullptr;
    QCheckBox* m_barcode = nullptr;
    QCheckBox* m_timedMode = nullptr;
    QCheckBox* m_autoCapture = nullptr;
    QLabel* m_autoBadge = nullptr;
    bool m_autoRun = false;
    bool m_startAutoCapture = false; // the file's Is-AutoCap, acted on once the live picture runs
    QString m_autoFormat;            // the format the run captures in
    BitmapButton* m_timerRun = nullptr;
    QProgressBar* m_progress = nullptr;
    CListImageCtrl* m_list = nullptr;
    std::unique_ptr<PictureList> m_pictures;
    std::unique_ptr<CaptureFlow> m_capture;
    bool m_timedRun = false;
    std::unique_ptr<PdfExport> m_pdfExport;
    std::unique_ptr<PicturePrinting> m_printing;
    QString m_lastPdf;
    // The dialog's UI host while the TIFF tool library holds it (taken back by the destructor).
    std::unique_ptr<TifToolLending> m_tifLending;

    GlobalHotkey m_hotkey;

    QTimer m_captureTimer;
    bool m_started = false;
    bool m_shutDown = false;
    QPoint m_dragOffset;
    bool m_dragging = false;
    QVariantMap m_lastSettingsShown;
};

} // namespace qx::desktop

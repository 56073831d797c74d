// CSetConfig: the settings dialog (高级设置) over the control's cameras and the settings file.
#pragma once

#include <QDialog>
#include <QString>
#include <QVariantMap>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;

namespace qx {
class UiHost;
}

namespace qx::desktop {

class CMorvelQxWeb;

// The values the dialog hands back; the main dialog seeds them with its own, so that a list the file
// left without a selection keeps the setting in use.
struct SettingsValues {
    QString imageFormat = QStringLiteral("jpg");
    int resolution = 0;
    int camera = 0;
    int rotation = 0;
    bool deleteAfterUpload = true;
    bool deleteAfterPdf = false;
    bool pdfText = false; // the PDFs carry the recognised text
    int dpi = 0;
    int color = 0;
    QString savePath;
    QString videoPath;
    QString url;
    int interval = 0;
};

class CSetConfig : public QDialog {
    Q_OBJECT
public:
    // Control ids of dialog 133.
    enum Id {
        kCameraList = 1008,
        kResolutionList = 1009,
        kFormatList = 1010,
        kRotationList = 1011,
        kSavePathBrowse = 1012,
        kSavePathEdit = 1013,
        kOk = 1014,
        kCancel = 1015,
        kConfigCamera = 1016,
        kVideoPathBrowse = 1017,
        kVideoPathEdit = 1018,
        kUrlEdit = 1019,
        kDeleteAfterUpload = 1020,
        kIntervalTrack = 1021,
        kIntervalEdit = 1022,
        kDeleteAfterPdf = 1023,
        kDpiList = 1024,
        kColorList = 1025,
        kPdfText = 1026,
    };

    // `control` and `ui` are borrowed for the dialog's life. The dialog fills itself from the control
    // and from the settings file at `iniPath` when it is constructed.
    CSetConfig(CMorvelQxWeb& control, UiHost& ui, const QString& iniPath, const SettingsValues& seed,
               QWidget* parent = nullptr);

    const SettingsValues& values() const { return m_values; }

    // What a person would do before pressing 保存设置, from a script's answer: keys "camera",
    // "resolution" (list positions), "format" ("jpg", "bmp", "gif", "tif" or "tiff"), "rotation"
    // (0, 90, 180, 270), "dpi" (0, 96, 200, 300), "color" (0-3), "savePath", "videoPath", "url"
    // (typed), "uploadDel", "pdfDel", "pdfText" (checked), "interval" (the track bar), "browseSave",
    // "browseVideo" (press 浏览, answered by a folder answer), "configCamera" (press 调节拍摄仪) and
    // "screenshot" (a PNG path: the dialog is shown and saved as it looks). Then presses 保存设置.
    void applyAnswer(const QVariantMap& answer);

    // What the dialog shows: list items and selections, edits, check boxes, which controls are enabled.
    QVariantMap state() const;

    // The button handlers.
    void onCameraChanged(int index);
    void onBrowse(bool savePath);
    void onConfigCamera();
    void onSave();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void initDialog();
    void fillResolutions(int camera);
    void showInterval();

    CMorvelQxWeb& m_control;
    UiHost& m_ui;
    QString m_iniPath;
    SettingsValues m_values;

    QComboBox* m_cameras = nullptr;
    QComboBox* m_resolutions = nullptr;
    QComboBox* m_formats = nullptr;
    QComboBox* m_rotations = nullptr;
    QComboBox* m_dpis = nullptr;
    QComboBox* m_colors = nullptr;
    QSlider* m_track = nullptr;
    QLineEdit* m_intervalEdit = nullptr;
    QPlainTextEdit* m_savePath = nullptr;
    QPlainTextEdit* m_videoPath = nullptr;
    QPlainTextEdit* m_url = nullptr;
    QCheckBox* m_deleteAfterUpload = nullptr;
    QCheckBox* m_deleteAfterPdf = nullptr;
    QCheckBox* m_pdfText = nullptr;
    QPushButton* m_configCamera = nullptr;
};

} // namespace qx::desktop

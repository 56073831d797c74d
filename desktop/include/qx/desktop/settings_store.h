// SettingsStore: the main dialog's settings in use, read from QX_CamConfig.ini at start and written back.
#pragma once

#include "qx/desktop/global_hotkey.h"
#include "qx/desktop/set_config.h"

#include <QString>
#include <optional>

namespace qx::desktop {

class CMorvelQxWeb;

// The settings the main dialog works with.
struct CamSettings {
    int camera = 0;
    int resolution = 0;
    // The format captures use: merge mode forces jpg or tif over the one the file names.
    QString imageFormat = QStringLiteral("jpg");
    // The format the file and the settings dialog name.
    QString savedImageFormat;
    int rotation = 0;
    int dpi = 0;
    int color = 0;
    QString savePath;
    QString videoPath;
    QString url;
    bool deleteAfterUpload = true;
    bool deleteAfterPdf = false;
    // PDF-OCR: captured and exported PDFs carry the recognised text (bPdfOcr). Written back only once
    // the file has the key or it is on, so a file that never named it stays as it was.
    bool pdfText = false;
    bool pdfTextKeyed = false;
    int tickTime = 5;
    // Hands-free capture's settle time (AutoSettleTime, milliseconds).
    int autoSettleTime = 800;
    int hotkeyModifiers = kModCtrl;
    int hotkeyKey = 'Z';
    QString modifierName = QStringLiteral("Ctrl");
    QString hotkeyLetter = QStringLiteral("Z");

    // The hotkey as the capture button's tool tip names it: "Ctrl+Z".
    QString hotkeyText() const { return modifierName + QLatin1Char('+') + hotkeyLetter; }
};

// The main dialog's check boxes as the file sets them at start. A box is left as it is where the
// file's text is neither TRUE nor FALSE.
struct StartupBoxes {
    std::optional<bool> mergeMode;
    std::optional<bool> barcode;
    std::optional<bool> timedMode;
    std::optional<bool> autoCapture; // Is-AutoCap
    // No file was there: the first-run values were used (and written when the file could be made).
    bool firstRun = false;
};

class SettingsStore {
public:
    // Borrows the control, which must outlive the store.
    SettingsStore(CMorvelQxWeb& control, QString iniPath);

    QString iniPath() const { return m_iniPath; }
    CamSettings& values() { return m_values; }
    const CamSettings& values() const { return m_values; }

    // Start-up once `cameraCount` (at least one) cameras are listed: reads the file, or writes the
    // first-run file when there is none, and selects camera, resolution and save folder on the control.
    StartupBoxes load(int cameraCount);

    // What the settings dialog starts from: the values in use.
    SettingsValues dialogSeed() const;
    // The settings dialog's values after OK (`accepted`) or Cancel. OK takes them, restarts the preview
    // when the camera or its resolution changed and writes the dialog's keys; Cancel reselects the
    // camera and resolution the dialog handed back. A camera or resolution of -1 (the dialog found no
    // readable file) keeps the one in use either way.
    void applyDialog(const SettingsValues& values, bool accepted);
    // Shut-down: writes the keys the program keeps, with the check boxes' states, into the file when
    // it is still there; false when nothing or not everything was written.
    // Is-AutoCap and AutoSettleTime are written only when the file had one of them or 自动拍照 is on,
    // so the file of a program that never used hands-free capture keeps exactly its keys.
    bool writeAtShutDown(bool mergeMode, bool barcode, bool timedMode, bool autoCapture = false) const;

private:
    StartupBoxes readFile(int cameraCount);
    void readTls();
    void readPdfText();
    StartupBoxes firstRun();
    void readHotkey();

    CMorvelQxWeb& m_control;
    QString m_iniPath;
    CamSettings m_values;
    bool m_autoKeys = false; // the file has Is-AutoCap or AutoSettleTime
};

} // namespace qx::desktop

// The settings in use: the start-up read of QX_CamConfig.ini, the first run and the writes back.
#include "qx/desktop/settings_store.h"

#include "qx/desktop/cam_config.h"
#include "qx/desktop/morvel_qx_web.h"
#include "qx/platform/profile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <utility>
#include <vector>

namespace qx::desktop {

namespace {

// TRUE or FALSE as the file writes them; any other text sets nothing.
std::optional<bool> fileBool(const QString& text) {
    if (text == QLatin1String("TRUE"))
        return true;
    if (text == QLatin1String("FALSE"))
        return false;
    return std::nullopt;
}

// The keys both writes carry, in the order they are written (a missing key is added in that order).
void appendPictureKeys(std::vector<CamConfigValue>& keys, const CamSettings& v) {
    keys.insert(keys.end(), {
                                {"Img-Format", v.imageFormat},
                                {"Img-Rotate", QString::number(v.rotation)},
                                {"Img-DPI", QString::number(v.dpi)},
                                {"Img-Color", QString::number(v.color)},
                                {"Save-Path", v.savePath},
                                {"Video-Path", v.videoPath},
                                {"URL", v.url},
                                {"UpLoad-Del", boolText(v.deleteAfterUpload)},
                                {"PDF-Del", boolText(v.deleteAfterPdf)},
                            });
    if (v.pdfText || v.pdfTextKeyed)
        keys.emplace_back("PDF-OCR", boolText(v.pdfText));
}

} // namespace

SettingsStore::SettingsStore(CMorvelQxWeb& control, QString iniPath)
    : m_control(control), m_iniPath(std::move(iniPath)) {}

StartupBoxes SettingsStore::load(int cameraCount) {
    return camConfigOpensExisting(m_iniPath) ? readFile(cameraCount) : firstRun();
}

StartupBoxes SettingsStore::readFile(int count) {
    const auto read = [this](const char* key, const QString& def) {
        return readCamConfig(m_iniPath, kCamSection, key, def);
    };
    CamSettings& v = m_values;
    const int camera = platform::decimalPrefix(read("camera", QStringLiteral("0")));
    // A negative index is as unusable as one past the list.
    if (camera > count - 1 || camera < 0) {
        m_control.SetDevNameSel(0);
        v.camera = 0;
        writeCamConfig(m_iniPath, "camera", QStringLiteral("0"));
    } else {
        v.camera = camera;
        m_control.SetDevNameSel(static_cast<short>(camera));
    }
    m_control.RefreshResolution(static_cast<short>(v.camera));
    v.resolution = platform::decimalPrefix(read("resolution", QStringLiteral("0")));
    m_control.SetResolution(static_cast<short>(v.resolution));

    StartupBoxes boxes;
    boxes.mergeMode = fileBool(read("Is-Merge", QStringLiteral("FALSE")));
    boxes.barcode = fileBool(read("BarCode", QStringLiteral("FALSE")));

    v.imageFormat = read("Img-Format", QStringLiteral("jpg"));
    v.savedImageFormat = v.imageFormat;
    v.rotation = platform::decimalPrefix(read("Img-Rotate", QStringLiteral("0")));
    v.dpi = platform::decimalPrefix(read("Img-DPI", QStringLiteral("0")));
    v.color = platform::decimalPrefix(read("Img-Color", QStringLiteral("0")));
    v.savePath = read("Save-Path", QString());
    m_control.SetCustomSavePath(v.savePath);
    v.videoPath = read("Video-Path", defaultVideoPath());
    v.url = read("URL", QString());
    readTls();
    readPdfText();
    for (auto [key, member] :
         {std::pair{"UpLoad-Del", &v.deleteAfterUpload}, std::pair{"PDF-Del", &v.deleteAfterPdf}}) {
        if (const std::optional<bool> on = fileBool(read(key, QStringLiteral("FALSE"))))
            *member = *on;
    }
    boxes.timedMode = fileBool(read("Is-TimeCap", QStringLiteral("FALSE")));
    v.tickTime = platform::decimalPrefix(read("TickTime", QStringLiteral("5")));
    const QString autoCapture = read("Is-AutoCap", QString());
    const QString settle = read("AutoSettleTime", QString());
    m_autoKeys = !autoCapture.isEmpty() || !settle.isEmpty();
    boxes.autoCapture = fileBool(autoCapture.isEmpty() ? QStringLiteral("FALSE") : autoCapture);
    if (!settle.isEmpty())
        v.autoSettleTime = platform::decimalPrefix(settle);
    readHotkey();
    return boxes;
}

void SettingsStore::readTls() {
    // Only what the file sets is handed on: without these keys the control keeps what its own
    // OCXConfig.ini says.
    const QString ca = readCamConfig(m_iniPath, kCamSection, "TlsCaFile", QString()).trimmed();
    if (!ca.isEmpty())
        m_control.SetStrTlsCaFile(
            QFileInfo(ca).isAbsolute() ? ca : QFileInfo(m_iniPath).absoluteDir().filePath(ca));
    const QString verify = readCamConfig(m_iniPath, kCamSection, "TlsVerify", QString()).trimmed();
    if (verify.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) == 0 || verify == QLatin1String("0"))
        m_control.SetBTlsVerify(false);
}

void SettingsStore::readPdfText() {
    // Without the key the control's own setting (OCXConfig.ini's PdfOcr) stands, and the box shows it.
    CamSettings& v = m_values;
    const std::optional<bool> on =
        fileBool(readCamConfig(m_iniPath, kCamSection, "PDF-OCR", QString()).trimmed());
    v.pdfTextKeyed = on.has_value();
    if (on)
        m_control.SetBPdfOcr(*on);
    v.pdfText = m_control.GetBPdfOcr();
    const QString languages = readCamConfig(m_iniPath, kCamSection, "OCR-Lang", QString()).trimmed();
    if (!languages.isEmpty())
        m_control.SetStrOcrLanguages(languages);
}

void SettingsStore::readHotkey() {
    // One modifier at most: Ctrl before Alt before Shift; other text keeps what was read so far.
    const auto hotkey = [this](const char* key, const char* def) {
        return readCamConfig(m_iniPath, kHotkeyReadSection, key, QLatin1String(def));
    };
    CamSettings& v = m_values;
    const QString ctrl = hotkey("Ctrl", "1");
    if (ctrl == QLatin1String("1")) {
        v.hotkeyModifiers = kModCtrl;
        v.modifierName = QStringLiteral("Ctrl");
    } else if (ctrl == QLatin1String("0")) {
        const QString alt = hotkey("Alt", "0");
        if (alt == QLatin1String("1")) {
            v.hotkeyModifiers = kModAlt;
            v.modifierName = QStringLiteral("Alt");
        } else if (alt == QLatin1String("0")) {
            const QString shift = hotkey("Shift", "0");
            if (shift == QLatin1String("1")) {
                v.hotkeyModifiers = kModShift;
                v.modifierName = QStringLiteral("Shift");
            } else if (shift == QLatin1String("0")) {
                v.hotkeyModifiers = 0;
                v.modifierName.clear();
            }
        }
    }
    const QString letter = hotkey("Letter", "Z");
    if (!letter.isEmpty()) {
        v.hotkeyLetter = letter;
        const QChar first = letter.front();
        if ((first >= QLatin1Char('A') && first <= QLatin1Char('Z')) ||
            (first >= QLatin1Char('0') && first <= QLatin1Char('9')))
            v.hotkeyKey = first.unicode();
    } else {
        v.hotkeyLetter.clear();
        v.hotkeyKey = 0;
    }
}

StartupBoxes SettingsStore::firstRun() {
    m_control.SetDevNameSel(0);
    m_control.RefreshResolution(0);
    m_control.SetResolution(0);
    // Every setting starts from its default; only these two differ from a value never set.
    m_values = CamSettings{};
    m_values.savedImageFormat = QStringLiteral("jpg");
    m_values.videoPath = defaultVideoPath();
    m_control.SetCustomSavePath(QString());
    if (!writeFirstRunCamConfig(m_iniPath))
        qWarning().noquote() << "QX_Camera: cannot create" << m_iniPath
                             << "- running on the first-run settings";
    StartupBoxes boxes;
    boxes.mergeMode = false;
    boxes.barcode = false;
    boxes.timedMode = false;
    boxes.firstRun = true;
    return boxes;
}

SettingsValues SettingsStore::dialogSeed() const {
    const CamSettings& v = m_values;
    SettingsValues seed;
    seed.imageFormat = v.savedImageFormat;
    seed.resolution = v.resolution;
    seed.camera = v.camera;
    seed.rotation = v.rotation;
    seed.deleteAfterUpload = v.deleteAfterUpload;
    seed.deleteAfterPdf = v.deleteAfterPdf;
    seed.pdfText = v.pdfText;
    seed.dpi = v.dpi;
    seed.color = v.color;
    seed.savePath = v.savePath;
    seed.videoPath = v.videoPath;
    seed.url = v.url;
    seed.interval = v.tickTime;
    return seed;
}

void SettingsStore::applyDialog(const SettingsValues& d, bool accepted) {
    CamSettings& v = m_values;
    // A list the file left without a selection gives -1: the camera in use stays, and so does its
    // preview.
    const int camera = d.camera < 0 ? v.camera : d.camera;
    const int resolution = d.resolution < 0 ? v.resolution : d.resolution;
    if (!accepted) {
        m_control.SetDevNameSel(static_cast<short>(camera));
        m_control.SetResolution(static_cast<short>(resolution));
        return;
    }
    if (camera != v.camera || resolution != v.resolution) {
        m_control.StopPreview();
        m_control.SetDevNameSel(static_cast<short>(camera));
        m_control.SetResolution(static_cast<short>(resolution));
        m_control.KelpoCapturePlay();
        m_control.SetCropMargin(0);
    }
    v.imageFormat = v.savedImageFormat = d.imageFormat;
    v.savePath = d.savePath;
    m_control.SetCustomSavePath(v.savePath);
    v.videoPath = d.videoPath;
    v.rotation = d.rotation;
    v.camera = camera;
    v.resolution = resolution;
    v.color = d.color;
    v.dpi = d.dpi;
    v.url = d.url;
    v.deleteAfterUpload = d.deleteAfterUpload;
    v.deleteAfterPdf = d.deleteAfterPdf;
    if (d.pdfText != v.pdfText)
        v.pdfTextKeyed = true;
    v.pdfText = d.pdfText;
    m_control.SetBPdfOcr(v.pdfText);
    v.tickTime = d.interval;
    std::vector<CamConfigValue> keys = {{"camera", QString::number(v.camera)},
                                        {"resolution", QString::number(v.resolution)}};
    appendPictureKeys(keys, v);
    keys.emplace_back("TickTime", QString::number(v.tickTime));
    writeExistingCamConfig(m_iniPath, keys);
}

bool SettingsStore::writeAtShutDown(bool mergeMode, bool barcode, bool timedMode, bool autoCapture) const {
    const CamSettings& v = m_values;
    std::vector<CamConfigValue> keys = {{"Is-Merge", boolText(mergeMode)}, {"BarCode", boolText(barcode)}};
    appendPictureKeys(keys, v);
    keys.emplace_back("Is-TimeCap", boolText(timedMode));
    keys.emplace_back("TickTime", QString::number(v.tickTime));
    if (autoCapture || m_autoKeys) {
        keys.emplace_back("Is-AutoCap", boolText(autoCapture));
        keys.emplace_back("AutoSettleTime", QString::number(v.autoSettleTime));
    }
    return writeExistingCamConfig(m_iniPath, keys);
}

} // namespace qx::desktop

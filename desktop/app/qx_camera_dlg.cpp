// The main dialog: start-up from the settings file, capture, the per-picture buttons and shut-down.
#include "qx/desktop/qx_camera_dlg.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/cam_config.h"
#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"
#include "qx/desktop/file_ops.h"
#include "qx/desktop/gdip_button.h"
#include "qx/desktop/id_card_dlg.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/splash_wnd.h"
#include "qx/interface/control_factory.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"
#include "qx/platform/library.h"
#include "qx/platform/profile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QProxyStyle>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <filesystem>
#include <system_error>

namespace qx::desktop {

namespace {

constexpr int kToolTipDelay = 100;
constexpr int kCardPanelForgetMs = 1500;

// The capture button's tool tip appears after 100 ms rather than the style's usual delay.
class QuickToolTipStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_ToolTip_WakeUpDelay)
            return kToolTipDelay;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

// Processes events for `ms` milliseconds: the waits of the dialog keep the splash and the live
// picture painted, where the original blocked its thread.
void pause(int ms) {
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool hasPictureExtension(const QString& name) {
    const QString ext = name.right(3).toLower();
    return ext == QLatin1String("jpg") || ext == QLatin1String("bmp") || ext == QLatin1String("tif") ||
           ext == QLatin1String("gif") || ext == QLatin1String("pdf");
}

// The names the control gives its pictures: a time stamp first.
bool isControlPictureName(const QString& name) {
    static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}-\\d{2}-\\d{2}-\\d{2}"));
    return stamp.match(name).hasMatch();
}

void showTifToolFromLibrary() {
    // The tool library stays loaded: its window lives on after the click.
    static platform::Library library;
    if (!library.isLoaded() &&
        !library.load(platform::programFolder() + QStringLiteral("libTiffMakerDLL.so"))) {
        qWarning().noquote() << "QX_Camera: the TIFF tool is not available:" << library.errorText();
        return;
    }
    using ShowPlatform = void (*)();
    if (auto show = library.function<ShowPlatform>("ShowPlatform"))
        show();
    else
        qWarning().noquote() << "QX_Camera: the TIFF tool has no ShowPlatform:" << library.errorText();
}

} // namespace

CQX_CameraDlg::CQX_CameraDlg(MainDialogOptions options, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_options(std::move(options)) {
    setObjectName(QStringLiteral("CQX_CameraDlg"));
    if (m_options.ui) {
        m_ui = m_options.ui;
    } else {
        m_ownUi = std::make_unique<QtUiHost>();
        m_ui = m_ownUi.get();
    }
    m_iniPath = m_options.iniPath.isEmpty() ? camConfigPath() : m_options.iniPath;
    setFont(dialogFont());
    setWindowIcon(QIcon(artwork(res::kIcon)));
    buildControls();
    connect(&m_captureTimer, &QTimer::timeout, this, &CQX_CameraDlg::onCaptureTimer);
    connect(&m_hotkey, &GlobalHotkey::activated, this, &CQX_CameraDlg::onHotkey);
}

CQX_CameraDlg::~CQX_CameraDlg() {
    m_captureTimer.stop();
    m_hotkey.unregisterHotkey();
    if (m_cardPanel)
        delete m_cardPanel.data();
}

BitmapButton* CQX_CameraDlg::addButton(int id, int bitmap) {
    const ControlPlacement* placement = mainDialogControl(id);
    auto* button = new BitmapButton(this);
    button->setObjectName(QString::number(id));
    button->setGeometry(DialogUnits::fromFont(font()).map(placement->units));
    button->setText(QString::fromUtf8(placement->caption));
    button->setBitmapId(bitmap);
    button->setFocusPolicy(Qt::NoFocus);
    m_controls.insert(id, button);
    return button;
}

void CQX_CameraDlg::buildControls() {
    const DialogUnits u = DialogUnits::fromFont(font());
    setFixedSize(u.mapSize(kMainDialogUnits));
    const auto place = [&](int id) { return u.map(mainDialogControl(id)->units); };

    // Check boxes and radio buttons draw their text in RGB(30, 30, 30) straight on the skin.
    QPalette textPalette = palette();
    textPalette.setColor(QPalette::WindowText, QColor(30, 30, 30));
    const auto caption = [](int id) { return QString::fromUtf8(mainDialogControl(id)->caption); };
    m_autoCrop = new QRadioButton(caption(id::kAutoCrop), this);
    m_noCrop = new QRadioButton(caption(id::kNoCrop), this);
    m_mergeMode = new QCheckBox(caption(id::kMergeMode), this);
    m_barcode = new QCheckBox(caption(id::kBarcode), this);
    m_timedMode = new QCheckBox(caption(id::kTimedMode), this);
    for (auto [w, i] : {std::pair<QAbstractButton*, int>{m_autoCrop, id::kAutoCrop},
                        {m_noCrop, id::kNoCrop},
                        {m_mergeMode, id::kMergeMode},
                        {m_barcode, id::kBarcode},
                        {m_timedMode, id::kTimedMode}}) {
        w->setGeometry(place(i));
        w->setPalette(textPalette);
        w->setObjectName(QString::number(i));
        w->setFocusPolicy(Qt::NoFocus);
        m_controls.insert(i, w);
    }
    // The two radio buttons are one group; each click handler also clears the other, as the dialog does.
    m_autoCrop->setAutoExclusive(false);
    m_noCrop->setAutoExclusive(false);
    connect(m_autoCrop, &QRadioButton::clicked, this, [this] {
        m_autoCrop->setChecked(true);
        m_noCrop->setChecked(false);
        m_control.ManualToAuto();
    });
    connect(m_noCrop, &QRadioButton::clicked, this, [this] {
        m_noCrop->setChecked(true);
        m_autoCrop->setChecked(false);
        m_control.DisableCrop();
    });
    for (QCheckBox* box : {m_mergeMode, m_barcode, m_timedMode}) {
        const int boxId = box->objectName().toInt();
        connect(box, &QCheckBox::clicked, this, [this, boxId] { onCheckBox(boxId); });
    }

    m_timerRun = addButton(id::kTimerRun, res::kTimerStart);
    connect(m_timerRun, &QAbstractButton::clicked, this, &CQX_CameraDlg::onTimerRun);
    const std::pair<int, int> buttons[] = {
        {id::kCapture, res::kCapture},
        {id::kMerge, res::kMerge},
        {id::kRecord, res::kRecord},
        {id::kSettings, res::kSettings},
        {id::kTifTool, res::kTif},
        {id::kBatchPrint, res::kPrint},
        {id::kWatermark, res::kWatermark},
        {id::kUpload, res::kUpload},
        {id::kPdf, res::kPdf},
        {id::kClearList, res::kClear},
        {id::kCardPanel, res::kPanelHidden},
    };
    for (auto [i, bitmap] : buttons)
        addButton(i, bitmap);
    const auto onClick = [this](int i, auto handler) {
        connect(static_cast<QAbstractButton*>(m_controls.value(i)), &QAbstractButton::clicked, this, handler);
    };
    onClick(id::kCapture, [this] { capture(); });
    onClick(id::kMerge, [this] { merge(); });
    onClick(id::kRecord, [this] { m_control.VideoRecord(m_videoPath); });
    onClick(id::kSettings, [this] { settings(); });
    onClick(id::kTifTool, [this] { runTifTool(); });
    onClick(id::kBatchPrint, [this] { batchPrint(); });
    onClick(id::kWatermark, [this] { watermark(); });
    onClick(id::kUpload, [this] { upload(); });
    onClick(id::kPdf, [this] { runPdfExport(); });
    onClick(id::kClearList, [this] { clearList(); });
    onClick(id::kCardPanel, [this] { toggleCardPanel(); });
    // A widget does not own the style it is given: the dialog does.
    auto* quickToolTips = new QuickToolTipStyle;
    quickToolTips->setParent(this);
    m_controls.value(id::kCapture)->setStyle(quickToolTips);

    auto* minimise = new CGdipButton(this);
    auto* close = new CGdipButton(this);
    for (auto [b, i, png, tip] : {std::tuple{minimise, id::kMinimise, res::kMinimise, "最小化"},
                                  std::tuple{close, id::kClose, res::kClose, "退出"}}) {
        b->setObjectName(QString::number(i));
        b->setGeometry(place(i));
        b->loadStdImage(png);
        b->setToolTipText(QString::fromUtf8(tip));
        b->setFocusPolicy(Qt::NoFocus);
        m_controls.insert(i, b);
    }
    connect(minimise, &QAbstractButton::clicked, this, &QWidget::showMinimized);
    connect(close, &QAbstractButton::clicked, this,
            [this] { QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection); });

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QString::number(id::kProgress));
    m_progress->setGeometry(place(id::kProgress));
    m_progress->setTextVisible(false);
    m_controls.insert(id::kProgress, m_progress);

    m_list = new CListImageCtrl(this);
    m_list->setObjectName(QString::number(id::kList));
    m_list->setGeometry(place(id::kList));
    m_controls.insert(id::kList, m_list);
    m_pictures = std::make_unique<PictureList>(*m_list, *m_ui);
    m_pictures->setSaveFolder([this] { return saveFolderFor(m_savePath, m_control.GetCustomSavePath()); });
    connect(m_pictures.get(), &PictureList::pictureActionsEnabled, this,
            &CQX_CameraDlg::enablePictureButtons);

    if (m_options.factory)
        m_controlWidget = m_options.factory->createControl(this, m_ui);
    if (m_controlWidget) {
        m_controlWidget->setGeometry(place(id::kControl));
        m_controlWidget->setObjectName(QString::number(id::kControl));
        m_control.attach(qobject_cast<QxDispatch*>(m_controlWidget));
        m_controls.insert(id::kControl, m_controlWidget);
    }
}

QWidget* CQX_CameraDlg::controlById(int id) const {
    return m_controls.value(id, nullptr);
}

bool CQX_CameraDlg::clickControl(int id) {
    auto* button = qobject_cast<QAbstractButton*>(controlById(id));
    if (!button || !button->isEnabled())
        return false;
    button->click();
    return true;
}

void CQX_CameraDlg::enablePictureButtons(bool enabled) {
    m_controls.value(id::kWatermark)->setEnabled(enabled);
    m_controls.value(id::kUpload)->setEnabled(enabled);
}

void CQX_CameraDlg::showMessage(const QString& text, const QString& caption) {
    if (m_options.scripted)
        m_options.scripted->record(QStringLiteral("message"), text, caption);
    else
        m_ui->messageBox(this, text, caption, MessageIcon::None, false);
}

bool CQX_CameraDlg::askYesNo(const QString& text, const QString& caption) {
    if (!m_options.scripted)
        return m_ui->question(this, text, caption);
    // A script answers with the button to press; an unanswered question is answered No, the choice
    // that changes nothing.
    m_options.scripted->record(QStringLiteral("message"), text, caption);
    const auto answer = m_options.scripted->takeAnswer(QStringLiteral("message"));
    if (!answer)
        return false;
    if (answer->metaType().id() == QMetaType::Bool)
        return answer->toBool();
    const QString button = answer->toString().toLower();
    return button == QLatin1String("yes") || button == QLatin1String("ok");
}

bool CQX_CameraDlg::startUp() {
    if (!m_controlWidget)
        return false;
    // Creation: the splash, and the dialog held back while it shows.
    CSplashWnd::showSplashScreen(this);
    pause(m_options.creationPauseMs);
    initDialog();
    return m_started;
}

void CQX_CameraDlg::initDialog() {
    setWindowTitle(QString::fromUtf8(kMainTitle));
    // The window fades in over 150 ms where the window system can blend windows.
    const bool canBlend = QGuiApplication::platformName() != QLatin1String("offscreen") &&
                          QGuiApplication::platformName() != QLatin1String("minimal");
    if (canBlend)
        setWindowOpacity(0.0);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    if (canBlend) {
        auto* blend = new QPropertyAnimation(this, "windowOpacity", this);
        blend->setDuration(150);
        blend->setStartValue(0.0);
        blend->setEndValue(1.0);
        blend->start(QAbstractAnimation::DeleteWhenStopped);
    }

    const int count = m_control.RefreshDevList();
    if (count <= 0) {
        m_camera = -1;
        showMessage(QString::fromUtf8(kNoCameraText));
        hide();
        return;
    }

    m_autoCrop->setChecked(true);
    m_noCrop->setChecked(false);
    enablePictureButtons(false);

    if (camConfigOpensExisting(m_iniPath)) {
        readSettings(count);
    } else {
        firstRunSettings();
    }

    m_control.KelpoCapturePlay();
    m_control.SetCropMargin(0);

    // The timer runs for the dialog's life and captures only while a timed run is on. A tick time
    // below one second is taken as one: a timer of 0 would fire without pause and starve the window.
    m_captureTimer.start(qMax(m_tickTime, 1) * 1000);

    registerHotkey();
    updateToolTip();
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_mainRect = frameGeometry();
    m_started = true;
}

void CQX_CameraDlg::readSettings(int count) {
    const auto read = [this](const char* key, const QString& def) {
        return readCamConfig(m_iniPath, kCamSection, key, def);
    };
    const int camera = platform::decimalPrefix(read("camera", QStringLiteral("0")));
    // A negative index is as unusable as one past the list.
    if (camera > count - 1 || camera < 0) {
        m_control.SetDevNameSel(0);
        m_camera = 0;
        writeCamConfig(m_iniPath, "camera", QStringLiteral("0"));
    } else {
        m_camera = camera;
        m_control.SetDevNameSel(static_cast<short>(camera));
    }
    m_control.RefreshResolution(static_cast<short>(m_camera));
    m_resolution = platform::decimalPrefix(read("resolution", QStringLiteral("0")));
    m_control.SetResolution(static_cast<short>(m_resolution));

    const QString merge = read("Is-Merge", QStringLiteral("FALSE"));
    if (merge == QLatin1String("FALSE")) {
        m_mergeMode->setChecked(false);
        m_controls.value(id::kMerge)->setEnabled(false);
    } else if (merge == QLatin1String("TRUE")) {
        m_mergeMode->setChecked(true);
        m_controls.value(id::kMerge)->setEnabled(true);
    }
    const QString barcode = read("BarCode", QStringLiteral("FALSE"));
    if (barcode == QLatin1String("TRUE"))
        m_barcode->setChecked(true);
    else if (barcode == QLatin1String("FALSE"))
        m_barcode->setChecked(false);

    m_imageFormat = read("Img-Format", QStringLiteral("jpg"));
    m_savedImageFormat = m_imageFormat;
    m_rotation = platform::decimalPrefix(read("Img-Rotate", QStringLiteral("0")));
    m_dpi = platform::decimalPrefix(read("Img-DPI", QStringLiteral("0")));
    m_color = platform::decimalPrefix(read("Img-Color", QStringLiteral("0")));
    m_savePath = read("Save-Path", QString());
    m_control.SetCustomSavePath(m_savePath);
    m_videoPath = read("Video-Path", defaultVideoPath());
    m_url = read("URL", QString());
    for (auto [key, member] :
         {std::pair{"UpLoad-Del", &m_deleteAfterUpload}, std::pair{"PDF-Del", &m_deleteAfterPdf}}) {
        const QString v = read(key, QStringLiteral("FALSE"));
        if (v == QLatin1String("TRUE"))
            *member = true;
        else if (v == QLatin1String("FALSE"))
            *member = false;
    }
    const QString timed = read("Is-TimeCap", QStringLiteral("FALSE"));
    if (timed == QLatin1String("TRUE")) {
        m_timerRun->setEnabled(true);
        m_controls.value(id::kCapture)->setEnabled(false);
        setTimerRunBitmap(res::kTimerStart);
        m_timedMode->setChecked(true);
    } else if (timed == QLatin1String("FALSE")) {
        m_timerRun->setEnabled(false);
        m_timerRun->setText(QString());
        m_timedMode->setChecked(false);
    }
    m_tickTime = platform::decimalPrefix(read("TickTime", QStringLiteral("5")));

    // One modifier at most: Ctrl before Alt before Shift; other text keeps what was read so far.
    const auto hotkey = [this](const char* key, const char* def) {
        return readCamConfig(m_iniPath, kHotkeyReadSection, key, QLatin1String(def));
    };
    const QString ctrl = hotkey("Ctrl", "1");
    if (ctrl == QLatin1String("1")) {
        m_hotkeyModifiers = kModCtrl;
        m_modifierName = QStringLiteral("Ctrl");
    } else if (ctrl == QLatin1String("0")) {
        const QString alt = hotkey("Alt", "0");
        if (alt == QLatin1String("1")) {
            m_hotkeyModifiers = kModAlt;
            m_modifierName = QStringLiteral("Alt");
        } else if (alt == QLatin1String("0")) {
            const QString shift = hotkey("Shift", "0");
            if (shift == QLatin1String("1")) {
                m_hotkeyModifiers = kModShift;
                m_modifierName = QStringLiteral("Shift");
            } else if (shift == QLatin1String("0")) {
                m_hotkeyModifiers = 0;
                m_modifierName.clear();
            }
        }
    }
    const QString letter = hotkey("Letter", "Z");
    if (!letter.isEmpty()) {
        m_hotkeyLetter = letter;
        const QChar first = letter.front();
        if ((first >= QLatin1Char('A') && first <= QLatin1Char('Z')) ||
            (first >= QLatin1Char('0') && first <= QLatin1Char('9')))
            m_hotkeyKey = first.unicode();
    } else {
        m_hotkeyLetter.clear();
        m_hotkeyKey = 0;
    }
}

void CQX_CameraDlg::firstRunSettings() {
    m_control.SetDevNameSel(0);
    m_camera = 0;
    m_control.RefreshResolution(0);
    m_control.SetResolution(0);
    m_resolution = 0;
    m_mergeMode->setChecked(false);
    m_timedMode->setChecked(false);
    m_imageFormat = m_savedImageFormat = QStringLiteral("jpg");
    m_rotation = 0;
    m_savePath.clear();
    m_url.clear();
    m_videoPath = defaultVideoPath();
    m_tickTime = 5;
    m_dpi = 0;
    m_color = 0;
    m_deleteAfterUpload = true;
    m_deleteAfterPdf = false;
    m_hotkeyModifiers = kModCtrl;
    m_hotkeyKey = 'Z';
    m_modifierName = QStringLiteral("Ctrl");
    m_hotkeyLetter = QStringLiteral("Z");
    m_control.SetCustomSavePath(QString());
    m_controls.value(id::kMerge)->setEnabled(false);
    m_timerRun->setEnabled(false);
    m_barcode->setChecked(false);
    if (!writeFirstRunCamConfig(m_iniPath))
        qWarning().noquote() << "QX_Camera: cannot create" << m_iniPath
                             << "- running on the first-run settings";
}

void CQX_CameraDlg::registerHotkey() {
    m_hotkey.unregisterHotkey();
    m_hotkeyRegistered = false;
    if (m_hotkeyModifiers != 0 && m_hotkeyKey != 0 && m_options.useGlobalHotkey)
        m_hotkeyRegistered = m_hotkey.registerHotkey(m_hotkeyModifiers, m_hotkeyKey);
}

QString CQX_CameraDlg::captureToolTip() const {
    return m_modifierName + QLatin1Char('+') + m_hotkeyLetter;
}

void CQX_CameraDlg::updateToolTip() {
    m_controls.value(id::kCapture)->setToolTip(captureToolTip());
}

int CQX_CameraDlg::progressValue() const {
    return m_progress->value();
}

void CQX_CameraDlg::setTimerRunBitmap(int bitmap) {
    m_timerRun->setBitmapId(bitmap);
}

void CQX_CameraDlg::onCheckBox(int boxId) {
    QWidget* captureButton = m_controls.value(id::kCapture);
    QWidget* mergeButton = m_controls.value(id::kMerge);
    switch (boxId) {
    case id::kMergeMode:
        if (m_mergeMode->isChecked()) {
            mergeButton->setEnabled(true);
            m_barcode->setChecked(false);
        } else {
            mergeButton->setEnabled(false);
        }
        break;
    case id::kBarcode:
        if (m_barcode->isChecked()) {
            m_timedMode->setChecked(false);
            m_timerRun->setEnabled(false);
            captureButton->setEnabled(true);
            m_timerRun->setText(QString());
            m_mergeMode->setChecked(false);
            mergeButton->setEnabled(false);
        }
        break;
    case id::kTimedMode:
        if (m_timedMode->isChecked()) {
            m_barcode->setChecked(false);
            m_timerRun->setEnabled(true);
            captureButton->setEnabled(false);
            setTimerRunBitmap(res::kTimerStart);
        } else {
            m_timerRun->setEnabled(false);
            captureButton->setEnabled(true);
            m_timerRun->setText(QString());
        }
        break;
    default:
        break;
    }
}

void CQX_CameraDlg::onTimerRun() {
    m_timedRun = !m_timedRun;
    setTimerRunBitmap(m_timedRun ? res::kTimerStop : res::kTimerStart);
    m_timedMode->setEnabled(!m_timedRun);
}

void CQX_CameraDlg::onCaptureTimer() {
    if (m_timedRun)
        capture();
}

void CQX_CameraDlg::onHotkey(int virtualKey) {
    if (virtualKey == m_hotkeyKey)
        capture();
}

void CQX_CameraDlg::capture() {
    // The control waits for its frame with the window live, so a tick or the hotkey can arrive inside
    // a capture; it is dropped rather than started inside the one that runs.
    if (m_capturing || !m_started || m_shutDown)
        return;
    m_capturing = true;
    const auto done = qScopeGuard([this] { m_capturing = false; });

    if (m_mergeMode->isChecked()) {
        m_imageFormat =
            m_savedImageFormat == QLatin1String("tif") ? QStringLiteral("tif") : QStringLiteral("jpg");
        m_control.IsMerge();
    } else {
        m_imageFormat = m_savedImageFormat;
    }
    m_control.SetPDPI(static_cast<short>(m_dpi));
    m_control.SetNColorSpace(static_cast<short>(m_color));
    m_control.SetNRotateAngle(static_cast<short>(m_rotation));
    if (m_control.Morvel(m_imageFormat) != 0)
        return;
    m_lastPicture = m_control.GetCPicName();

    if (m_barcode->isChecked()) {
        m_barcodeName = m_options.barcodeLookup ? m_options.barcodeLookup(m_lastPicture) : QString();
        if (!m_barcodeName.isEmpty()) {
            const QString newName = m_barcodeName + QLatin1Char('.') + m_imageFormat;
            const QString newPath =
                m_lastPicture.left(m_lastPicture.lastIndexOf(QLatin1Char('/')) + 1) + newName;
            if (newPath != m_lastPicture && QFileInfo::exists(newPath)) {
                QFile::remove(newPath);
                for (int i = m_list->count() - 1; i >= 0; --i) {
                    const QString text = m_list->item(i)->text();
                    if (text.left(text.size() - 4) == m_barcodeName)
                        delete m_list->takeItem(i);
                }
            }
            const FileError error = moveFileNoReplace(m_lastPicture, newPath);
            if (error != FileError::None) {
                showMessage(fileErrorMessage(error, m_lastPicture));
                return;
            }
            m_pictures->AddPictureItem(newPath, newName);
            return;
        }
    }
    m_pictures->AddPictureItem(m_lastPicture, captureDisplayName(m_lastPicture, m_mergeMode->isChecked()));
}

void CQX_CameraDlg::merge() {
    if (!m_mergeMode->isChecked())
        return;
    if (m_control.MergeImage() != 0)
        return;
    const bool tif = m_imageFormat == QLatin1String("tif");
    const bool jpgOrBmp = m_imageFormat == QLatin1String("jpg") || m_imageFormat == QLatin1String("bmp");
    const QString suffix = tif ? QStringLiteral("ForTifMerge.jpg") : QStringLiteral("ForJpgMerge.jpg");
    if (tif || jpgOrBmp) {
        for (int i = 0; i < m_list->count(); ++i)
            while (i < m_list->count() && m_list->item(i)->text().endsWith(suffix))
                delete m_list->takeItem(i);
    }
    m_lastPicture = m_control.GetCPicName();
    m_pictures->AddPictureItem(m_lastPicture, mergeDisplayName(m_lastPicture));
}

void CQX_CameraDlg::settings() {
    SettingsValues seed;
    seed.imageFormat = m_savedImageFormat;
    seed.resolution = m_resolution;
    seed.camera = m_camera;
    seed.rotation = m_rotation;
    seed.deleteAfterUpload = m_deleteAfterUpload;
    seed.deleteAfterPdf = m_deleteAfterPdf;
    seed.dpi = m_dpi;
    seed.color = m_color;
    seed.savePath = m_savePath;
    seed.videoPath = m_videoPath;
    seed.url = m_url;
    seed.interval = m_tickTime;
    CSetConfig dialog(m_control, *m_ui, m_iniPath, seed, this);
    m_lastSettingsShown = dialog.state();
    const int result =
        m_ui->runDialog(&dialog, QStringLiteral("settings"),
                        [&dialog](const QVariant& answer) { dialog.applyAnswer(answer.toMap()); });
    const SettingsValues& v = dialog.values();
    // A list the file left without a selection gives -1: the camera in use stays, and so does its
    // preview.
    const int camera = v.camera < 0 ? m_camera : v.camera;
    const int resolution = v.resolution < 0 ? m_resolution : v.resolution;
    if (result == QDialog::Accepted) {
        if (camera != m_camera || resolution != m_resolution) {
            m_control.StopPreview();
            m_control.SetDevNameSel(static_cast<short>(camera));
            m_control.SetResolution(static_cast<short>(resolution));
            m_control.KelpoCapturePlay();
            m_control.SetCropMargin(0);
        }
        m_imageFormat = m_savedImageFormat = v.imageFormat;
        m_savePath = v.savePath;
        m_control.SetCustomSavePath(m_savePath);
        m_videoPath = v.videoPath;
        m_rotation = v.rotation;
        m_camera = camera;
        m_resolution = resolution;
        m_color = v.color;
        m_dpi = v.dpi;
        m_url = v.url;
        m_deleteAfterUpload = v.deleteAfterUpload;
        m_deleteAfterPdf = v.deleteAfterPdf;
        m_tickTime = v.interval;
        const CamConfigValues values = {
            {"camera", QString::number(m_camera)},
            {"resolution", QString::number(m_resolution)},
            {"Img-Format", m_imageFormat},
            {"Img-Rotate", QString::number(m_rotation)},
            {"Img-DPI", QString::number(m_dpi)},
            {"Img-Color", QString::number(m_color)},
            {"Save-Path", m_savePath},
            {"Video-Path", m_videoPath},
            {"URL", m_url},
            {"UpLoad-Del", boolText(m_deleteAfterUpload)},
            {"PDF-Del", boolText(m_deleteAfterPdf)},
            {"TickTime", QString::number(m_tickTime)},
        };
        writeExistingCamConfig(m_iniPath, values);
    } else {
        m_control.SetDevNameSel(static_cast<short>(camera));
        m_control.SetResolution(static_cast<short>(resolution));
    }
    if (m_noCrop->isChecked())
        m_control.DisableCrop();
}

void CQX_CameraDlg::watermark() {
    const int row = m_list->selectionMark();
    const QString path = m_pictures->pictureFile(row);
    if (path.isEmpty())
        return;
    m_control.SetCPicName(path);
    m_control.AddWaterMark();
    // The watermark replaces the picture in place: every item is redrawn from its own file.
    m_pictures->RebuildList();
    if (const int last = m_list->count() - 1; last >= 0) {
        m_list->setCurrentRow(last);
        m_list->scrollToItem(m_list->item(last));
    }
    m_list->doItemsLayout();
    enablePictureButtons(false);
}

void CQX_CameraDlg::upload() {
    const int row = m_list->selectionMark();
    const QString path = m_pictures->pictureFile(row);
    if (path.isEmpty())
        return;
    m_control.SetCPicName(path);
    if (m_url.isEmpty()) {
        showMessage(QString::fromUtf8(kNoUrlText));
        return;
    }
    m_control.SetBUploadDel(m_deleteAfterUpload);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const int r = m_control.SendSeal(m_url);
    QApplication::restoreOverrideCursor();
    if (r != 1)
        return;
    enablePictureButtons(false);
    if (m_deleteAfterUpload) {
        delete m_list->takeItem(row);
        m_list->doItemsLayout();
        if (const int last = m_list->count() - 1; last >= 0) {
            m_list->item(last)->setSelected(false);
            m_list->setCurrentRow(-1);
            m_list->scrollToItem(m_list->item(last));
        }
        QFile::remove(path);
        m_list->viewport()->update();
    }
}

void CQX_CameraDlg::clearList() {
    m_list->clear();
    m_list->setSelectionMark(-1);
    const QString text = QStringLiteral("是否同时清除 %1 文件夹下的历史拍照文件？").arg(m_savePath);
    if (askYesNo(text, QStringLiteral("警告")))
        clearHistory();
}

void CQX_CameraDlg::clearHistory() {
    // Without a save path the pictures lie in the shared temporary folder: there only the files the
    // control named are removed, never other programs' pictures.
    const bool ownFolder = !m_savePath.isEmpty();
    const QString folder = ownFolder ? platform::withTrailingSlash(m_savePath) : platform::tempFolder();
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.isSymLink() && !entry.exists())
            continue;
        const QString name = entry.fileName();
        if (hasPictureExtension(name) && (ownFolder || isControlPictureName(name)))
            QFile::remove(entry.absoluteFilePath());
    }
    const QString merge = folder + mergeFolderName(QDate::currentDate());
    std::error_code error;
    // remove_all removes links themselves and never follows them out of the folder.
    std::filesystem::remove_all(std::filesystem::path(merge.toStdString()), error);
}

void CQX_CameraDlg::batchPrint() {
    const int count = m_list->count();
    if (count == 0)
        return;
    m_progress->setValue(0);
    const int step = 100 / count;
    for (int i = 0; i < count; ++i) {
        m_list->setSelectionMark(i);
        m_pictures->printPicture();
        m_progress->setValue(qMin(m_progress->maximum(), m_progress->value() + step));
    }
}

void CQX_CameraDlg::runPdfExport() {
    if (!m_options.pdfExport)
        return;
    const QString pdf = m_options.pdfExport();
    if (pdf.isEmpty())
        return;
    if (m_options.openFile)
        m_options.openFile(pdf);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(pdf));
}

void CQX_CameraDlg::runTifTool() {
    if (m_options.tifTool)
        m_options.tifTool();
    else
        showTifToolFromLibrary();
}

void CQX_CameraDlg::toggleCardPanel() {
    auto* toggle = static_cast<BitmapButton*>(m_controls.value(id::kCardPanel));
    if (!m_cardPanel) {
        m_mainRect = frameGeometry();
        m_cardPanel = new CIDCardDlg(this);
        m_panelShown = true;
        toggle->setBitmapId(res::kPanelShown);
        followCardPanel();
        m_cardPanel->slideShow();
    } else if (m_panelShown) {
        m_cardPanel->setReadingEnabled(false);
        m_cardPanel->slideHide();
        toggle->setBitmapId(res::kPanelHidden);
        m_panelShown = false;
        // The panel is forgotten at once and destroyed once its slide and its last read are over;
        // the window stays live meanwhile.
        CIDCardDlg* panel = m_cardPanel;
        m_cardPanel = nullptr;
        QTimer::singleShot(kCardPanelForgetMs, panel, &QWidget::close);
    } else {
        m_cardPanel->slideShow();
        toggle->setBitmapId(res::kPanelShown);
        m_panelShown = true;
    }
}

void CQX_CameraDlg::followCardPanel() {
    m_mainRect = frameGeometry();
    if (m_cardPanel)
        m_cardPanel->move(m_mainRect.right() + 1, m_mainRect.top());
}

void CQX_CameraDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    followCardPanel();
}

void CQX_CameraDlg::shutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_captureTimer.stop();
    if (m_started) {
        const CamConfigValues values = {
            {"Is-Merge", boolText(m_mergeMode->isChecked())},
            {"BarCode", boolText(m_barcode->isChecked())},
            {"Img-Format", m_imageFormat},
            {"Img-Rotate", QString::number(m_rotation)},
            {"Img-DPI", QString::number(m_dpi)},
            {"Img-Color", QString::number(m_color)},
            {"Save-Path", m_savePath},
            {"Video-Path", m_videoPath},
            {"URL", m_url},
            {"UpLoad-Del", boolText(m_deleteAfterUpload)},
            {"PDF-Del", boolText(m_deleteAfterPdf)},
            {"Is-TimeCap", boolText(m_timedMode->isChecked())},
            {"TickTime", QString::number(m_tickTime)},
        };
        writeExistingCamConfig(m_iniPath, values);
    }
    if (m_started && m_camera >= 0)
        m_control.StopPreview();
    if (m_cardPanel) {
        m_cardPanel->slideHide();
        m_cardPanel->close();
    }
    m_hotkey.unregisterHotkey();
    m_hotkeyRegistered = false;
}

void CQX_CameraDlg::closeEvent(QCloseEvent* event) {
    shutDown();
    event->accept();
    done(QDialog::Accepted);
}

void CQX_CameraDlg::reject() {
    // Escape does not end the program behind the user's back; only the close request does, and it
    // saves the settings first.
}

void CQX_CameraDlg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(rect(), artwork(res::kDialogBackground, size()));
}

void CQX_CameraDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // A right click on the dialog's own surface, outside the live picture, re-applies the
        // edge-finding choice.
        if (!m_controlWidget || !m_controlWidget->geometry().contains(event->position().toPoint())) {
            if (m_autoCrop->isChecked())
                m_control.ManualToAuto();
            else if (m_noCrop->isChecked())
                m_control.DisableCrop();
        }
        QDialog::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // Any free spot moves the borderless window.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QDialog::mousePressEvent(event);
}

void CQX_CameraDlg::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}

void CQX_CameraDlg::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

} // namespace qx::desktop

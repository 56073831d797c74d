// The main dialog: start-up from the settings file, capture, the per-picture buttons and shut-down.
#include "qx/desktop/qx_camera_dlg.h"

#include "qx/desktop/artwork.h"
#include "qx/desktop/barcode_lookup.h"
#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/cam_config.h"
#include "qx/desktop/capture_flow.h"
#include "qx/desktop/dialog_layout.h"
#include "qx/desktop/dialog_units.h"
#include "qx/desktop/gdip_button.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/pdf_export.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/picture_printing.h"
#include "qx/desktop/splash_wnd.h"
#include "qx/interface/control_factory.h"
#include "qx/interface/tif_tool_lending.h"
#include "qx/interface/ui_host.h"
#include "qx/platform/folders.h"
#include "qx/platform/library.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QProxyStyle>
#include <QRadioButton>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cstdint>

namespace qx::desktop {

namespace {

constexpr int kToolTipDelay = 100;

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

// The tool library stays loaded: its window lives on after the click, and it holds the dialog's host
// until the dialog takes it back.
platform::Library& tifToolLibrary() {
    static platform::Library library;
    if (!library.isLoaded() &&
        !library.load(platform::controlModulesFolder() + QStringLiteral("libTiffMakerDLL.so")))
        qWarning().noquote() << "QX_Camera: the TIFF tool is not available:" << library.errorText();
    return library;
}

// The pair a host can be lent with and taken back by; both null for a library without them.
std::pair<ShowPlatformWithHostFn, ReleasePlatformHostFn> tifToolHostFunctions(platform::Library& library) {
    auto show = library.function<ShowPlatformWithHostFn>("ShowPlatformWithHost");
    auto release = library.function<ReleasePlatformHostFn>("ReleasePlatformHost");
    if (!show || !release)
        return {nullptr, nullptr};
    return {show, release};
}

void showTifToolFromLibrary(UiHost& ui, std::unique_ptr<TifToolLending>& lending) {
    platform::Library& library = tifToolLibrary();
    if (!library.isLoaded())
        return;
    if (auto showWithHost = tifToolHostFunctions(library).first) {
        if (!lending)
            lending = std::make_unique<TifToolLending>(ui);
        showWithHost(lending->table());
        return;
    }
    using ShowPlatform = int32_t (*)();
    if (auto show = library.function<ShowPlatform>("ShowPlatform"))
        show();
    else
        qWarning().noquote() << "QX_Camera: the TIFF tool has no ShowPlatform:" << library.errorText();
}

void releaseTifTool(std::unique_ptr<TifToolLending>& lending) {
    if (!lending)
        return;
    // Only a library that took the host made the lending: it is loaded and has the pair.
    if (auto release = tifToolHostFunctions(tifToolLibrary()).second)
        release(lending->table());
    lending.reset();
}

} // namespace

CQX_CameraDlg::CQX_CameraDlg(MainDialogOptions options, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::FramelessWindowHint), m_options(std::move(options)),
      m_settings(m_control, m_options.iniPath.isEmpty() ? camConfigPath() : m_options.iniPath),
      m_cardDock(*this) {
    setObjectName(QStringLiteral("CQX_CameraDlg"));
    if (m_options.ui) {
        m_ui = m_options.ui;
    } else {
        m_ownUi = std::make_unique<QtUiHost>();
        m_ui = m_ownUi.get();
    }
    setFont(dialogFont());
    setWindowIcon(QIcon(artwork(res::kIcon)));
    buildControls();
    m_cardDock.setOwner({&m_control, m_ui, m_settings.iniPath(), m_options.cardPhotoFolder});
    connect(&m_captureTimer, &QTimer::timeout, this, &CQX_CameraDlg::onCaptureTimer);
    connect(&m_hotkey, &GlobalHotkey::activated, this, &CQX_CameraDlg::onHotkey);
}

CQX_CameraDlg::~CQX_CameraDlg() {
    m_captureTimer.stop();
    m_hotkey.unregisterHotkey();
    releaseTifTool(m_tifLending);
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
    m_autoCapture = new QCheckBox(caption(id::kAutoCapture), this);
    for (auto [w, i] : {std::pair<QAbstractButton*, int>{m_autoCrop, id::kAutoCrop},
                        {m_noCrop, id::kNoCrop},
                        {m_mergeMode, id::kMergeMode},
                        {m_barcode, id::kBarcode},
                        {m_timedMode, id::kTimedMode},
                        {m_autoCapture, id::kAutoCapture}}) {
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
    connect(m_autoCapture, &QCheckBox::clicked, this, [this](bool on) { setAutoCapture(on); });
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
    onClick(id::kRecord, [this] { m_control.VideoRecord(m_settings.values().videoPath); });
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
    m_pictures->setSaveFolder(
        [this] { return saveFolderFor(m_settings.values().savePath, m_control.GetCustomSavePath()); });
    connect(m_pictures.get(), &PictureList::pictureActionsEnabled, this,
            &CQX_CameraDlg::enablePictureButtons);
    m_capture = std::make_unique<CaptureFlow>(m_control, *m_pictures, m_settings.values());
    m_capture->setModes([this] { return m_mergeMode->isChecked(); },
                        [this] { return m_barcode->isChecked(); });
    if (m_options.barcodeLookup)
        m_capture->setBarcodeLookup(m_options.barcodeLookup);
    else
        m_capture->setBarcodeLookup(BarcodeLookup(*m_ui, [this] { return this; }));
    m_capture->setMessageSink([this](const QString& text) { showMessage(text); });
    m_pdfExport = std::make_unique<PdfExport>(*m_pictures, *m_ui);
    m_pdfExport->setOwner([this] { return this; });
    m_pdfExport->setProgress(
        [this](int done, int total) { showProgress(QStringLiteral("pdf-export"), done, total); });
    // 打  印 previews the picture; 批量打印 prints directly.
    m_printing = std::make_unique<PicturePrinting>(*m_ui, this);
    m_pictures->setPrintHandler([this](int, const QString& file) { m_printing->openPreview(file); });

    if (m_options.factory)
        m_controlWidget = m_options.factory->createControl(this, m_ui);
    if (m_controlWidget) {
        m_controlWidget->setGeometry(place(id::kControl));
        m_controlWidget->setObjectName(QString::number(id::kControl));
        m_control.attach(qobject_cast<QxDispatch*>(m_controlWidget));
        m_controls.insert(id::kControl, m_controlWidget);
        // The control's events, by name: the program knows the control only through its surface.
        const QMetaObject* mo = m_controlWidget->metaObject();
        if (mo->indexOfSignal("AutoCaptured(int,QString)") >= 0)
            connect(m_controlWidget, SIGNAL(AutoCaptured(int, QString)), this,
                    SLOT(onAutoCaptured(int, QString)));
        if (mo->indexOfSignal("AutoCaptureStateChanged(int)") >= 0)
            connect(m_controlWidget, SIGNAL(AutoCaptureStateChanged(int)), this,
                    SLOT(onAutoCaptureState(int)));
        if (mo->indexOfSignal("WorkProgress(QString,int,int)") >= 0)
            connect(m_controlWidget, SIGNAL(WorkProgress(QString, int, int)), this,
                    SLOT(showProgress(QString, int, int)));
    }
    // The badge over the live picture's top-left corner, shown while 自动拍照 runs.
    m_autoBadge = new QLabel(this);
    m_autoBadge->setObjectName(QString::number(id::kAutoBadge));
    m_autoBadge->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(20, 20, 20, 170); color: white; padding: 2px 8px; border-radius: 4px; }"));
    m_autoBadge->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_autoBadge->move(place(id::kControl).topLeft() + QPoint(8, 8));
    m_autoBadge->hide();
    m_controls.insert(id::kAutoBadge, m_autoBadge);
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
    // The window fades in over 150 ms where the window system can blend windows (Qt's Wayland
    // platform cannot set a window's opacity and complains at every step).
    const QString platform = QGuiApplication::platformName();
    const bool canBlend = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal") &&
                          !platform.startsWith(QLatin1String("wayland"));
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
        m_settings.values().camera = -1;
        showMessage(QString::fromUtf8(kNoCameraText));
        hide();
        return;
    }

    m_autoCrop->setChecked(true);
    m_noCrop->setChecked(false);
    enablePictureButtons(false);

    applyStartupBoxes(m_settings.load(count));

    m_control.KelpoCapturePlay();
    m_control.SetCropMargin(0);
    if (m_startAutoCapture)
        setAutoCapture(true);

    // The timer runs for the dialog's life and captures only while a timed run is on. A tick time
    // below one second is taken as one: a timer of 0 would fire without pause and starve the window.
    m_captureTimer.start(qMax(m_settings.values().tickTime, 1) * 1000);

    registerHotkey();
    updateToolTip();
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_cardDock.follow();
    m_started = true;
}

void CQX_CameraDlg::applyStartupBoxes(const StartupBoxes& boxes) {
    // Started once the live picture runs, below.
    m_startAutoCapture = boxes.autoCapture == true && boxes.timedMode != true && boxes.mergeMode != true;
    if (boxes.mergeMode) {
        m_mergeMode->setChecked(*boxes.mergeMode);
        m_controls.value(id::kMerge)->setEnabled(*boxes.mergeMode);
    }
    if (boxes.barcode)
        m_barcode->setChecked(*boxes.barcode);
    if (boxes.timedMode == true) {
        m_timerRun->setEnabled(true);
        m_controls.value(id::kCapture)->setEnabled(false);
        setTimerRunBitmap(res::kTimerStart);
        m_timedMode->setChecked(true);
    } else if (boxes.timedMode == false) {
        m_timerRun->setEnabled(false);
        // A file that says FALSE also clears the timer button's caption; the first run leaves it.
        if (!boxes.firstRun)
            m_timerRun->setText(QString());
        m_timedMode->setChecked(false);
    }
}

void CQX_CameraDlg::registerHotkey() {
    m_hotkey.unregisterHotkey();
    const CamSettings& v = m_settings.values();
    if (v.hotkeyModifiers != 0 && v.hotkeyKey != 0 && m_options.useGlobalHotkey)
        m_hotkey.registerHotkey(v.hotkeyModifiers, v.hotkeyKey);
}

void CQX_CameraDlg::updateToolTip() {
    m_controls.value(id::kCapture)->setToolTip(captureToolTip());
}

int CQX_CameraDlg::progressValue() const {
    return m_progress->value();
}

int CQX_CameraDlg::progressMaximum() const {
    return m_progress->maximum();
}

void CQX_CameraDlg::showProgress(const QString& task, int done, int total) {
    m_progress->setRange(0, std::max(1, total));
    m_progress->setValue(std::clamp(done, 0, std::max(1, total)));
    // The work runs on this thread and keeps no events flowing (a merge of TIFF pages): the bar is
    // painted now, not when the work is over.
    m_progress->repaint();
    emit WorkProgress(task, done, total);
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
            setAutoCapture(false);
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
            setAutoCapture(false);
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

bool CQX_CameraDlg::setAutoCapture(bool on) {
    if (!on) {
        if (m_autoRun)
            m_control.StopAutoCapture();
        m_autoRun = false;
        m_autoCapture->setChecked(false);
        m_autoBadge->hide();
        return true;
    }
    if (m_autoRun)
        return true;
    // As a timed capture: one at a time, and not in merge mode, whose captures each need IsMerge.
    if (m_timedMode->isChecked()) {
        m_timedMode->setChecked(false);
        onCheckBox(id::kTimedMode);
    }
    if (m_mergeMode->isChecked()) {
        m_mergeMode->setChecked(false);
        onCheckBox(id::kMergeMode);
    }
    m_autoFormat = m_capture->applyPictureSettings();
    m_control.SetNAutoSettleTime(m_settings.values().autoSettleTime);
    const int result = m_control.StartAutoCapture(m_autoFormat);
    if (result != 0) {
        m_autoCapture->setChecked(false);
        showMessage(QString::fromUtf8(kAutoCaptureNoPreviewText));
        return false;
    }
    m_autoRun = true;
    m_autoCapture->setChecked(true);
    onAutoCaptureState(m_control.GetAutoCaptureState());
    return true;
}

void CQX_CameraDlg::onAutoCaptured(int result, const QString& path) {
    m_capture->takeAutoCapture(result, path, m_autoFormat);
}

void CQX_CameraDlg::onAutoCaptureState(int state) {
    // 1 waiting for a page, 2 steady, 3 capturing; 0 the run ended (also by a failed capture, or
    // with the preview).
    static const char* const texts[] = {"", "等待翻页", "静止", "拍照"};
    if (state <= 0 || state > 3) {
        m_autoBadge->hide();
        if (m_autoRun) {
            m_autoRun = false;
            m_autoCapture->setChecked(false);
        }
        return;
    }
    m_autoBadge->setText(QString::fromUtf8(texts[state]));
    m_autoBadge->adjustSize();
    m_autoBadge->show();
    m_autoBadge->raise();
}

QString CQX_CameraDlg::autoBadgeText() const {
    return m_autoBadge && !m_autoBadge->isHidden() ? m_autoBadge->text() : QString();
}

int CQX_CameraDlg::autoCaptureCount() const {
    return m_controlWidget ? const_cast<CMorvelQxWeb&>(m_control).GetAutoCaptureCount() : 0;
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
    if (virtualKey == m_settings.values().hotkeyKey)
        capture();
}

void CQX_CameraDlg::capture() {
    if (m_started && !m_shutDown)
        m_capture->capture();
}

void CQX_CameraDlg::merge() {
    m_capture->merge();
}

void CQX_CameraDlg::settings() {
    CSetConfig dialog(m_control, *m_ui, m_settings.iniPath(), m_settings.dialogSeed(), this);
    m_lastSettingsShown = dialog.state();
    const int result =
        m_ui->runDialog(&dialog, QStringLiteral("settings"),
                        [&dialog](const QVariant& answer) { dialog.applyAnswer(answer.toMap()); });
    m_settings.applyDialog(dialog.values(), result == QDialog::Accepted);
    if (m_noCrop->isChecked())
        m_control.DisableCrop();
}

void CQX_CameraDlg::watermark() {
    const QString path = m_pictures->pictureFile(m_list->selectionMark());
    if (path.isEmpty())
        return;
    m_control.SetCPicName(path);
    m_control.AddWaterMark();
    // The watermark replaces the picture in place: every item is redrawn from its own file. Its dialog
    // keeps the window's events going (a timed capture may add an item meanwhile), so no row is kept
    // across it.
    m_pictures->RebuildList();
    if (const int last = m_list->count() - 1; last >= 0) {
        m_list->setCurrentRow(last);
        m_list->scrollToItem(m_list->item(last));
    }
    m_list->doItemsLayout();
    enablePictureButtons(false);
}

void CQX_CameraDlg::upload() {
    const QString path = m_pictures->pictureFile(m_list->selectionMark());
    if (path.isEmpty())
        return;
    m_control.SetCPicName(path);
    const CamSettings& v = m_settings.values();
    if (v.url.isEmpty()) {
        showMessage(QString::fromUtf8(kNoUrlText));
        return;
    }
    m_control.SetBUploadDel(v.deleteAfterUpload);
    QApplication::setOverrideCursor(Qt::BusyCursor);
    showProgress(QStringLiteral("upload"), 0, 1);
    // The control keeps the window going while it sends: a delete, a drop or a capture meanwhile moves
    // the items about, so what happens afterwards is found by the picture's file, not by its row.
    const int r = m_control.SendSeal(v.url);
    QApplication::restoreOverrideCursor();
    if (r == 1)
        showProgress(QStringLiteral("upload"), 1, 1);
    if (r != 1)
        return;
    enablePictureButtons(false);
    if (v.deleteAfterUpload) {
        for (int i = m_list->count() - 1; i >= 0; --i) {
            if (m_pictures->pictureFile(i) == path)
                delete m_list->takeItem(i);
        }
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
    const QString savePath = m_settings.values().savePath;
    const QString text = QStringLiteral("是否同时清除 %1 文件夹下的历史拍照文件？").arg(savePath);
    if (askYesNo(text, QStringLiteral("警告")))
        m_history.clear(savePath);
}

void CQX_CameraDlg::batchPrint() {
    const int count = m_list->count();
    if (count == 0)
        return;
    // The pictures listed at the click, by their files: the print dialog keeps the window's events
    // going, and a capture or a delete meanwhile moves the rows. One taken off the list meanwhile is
    // not printed.
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << m_pictures->pictureFile(i);
    // The bar counts to 100 in steps of 100 / count, as it always has (3 pictures end at 99); past 100
    // pictures that step would be 0 and the bar would never move, so there it goes by the share done.
    const int total = static_cast<int>(files.size());
    const int step = 100 / total;
    const auto percent = [&](int done) { return step > 0 ? done * step : done * 100 / total; };
    int done = 0;
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->repaint();
    emit WorkProgress(QStringLiteral("print"), 0, total);
    for (const QString& file : std::as_const(files)) {
        for (int row = 0; row < m_list->count(); ++row) {
            if (m_pictures->pictureFile(row) == file) {
                m_list->setSelectionMark(row);
                m_printing->printDirect(file);
                break;
            }
        }
        m_progress->setValue(percent(++done));
        m_progress->repaint();
        emit WorkProgress(QStringLiteral("print"), done, total);
    }
}

QString CQX_CameraDlg::runPdfExport() {
    QString pdf;
    if (m_options.pdfExport)
        pdf = m_options.pdfExport();
    else {
        m_pdfExport->setTextRecognition(m_control.GetBPdfOcr(), m_control.GetStrOcrLanguages());
        pdf = m_pdfExport->run(m_pictures->saveFolder(), m_settings.values().deleteAfterPdf);
    }
    m_lastPdf = pdf;
    if (pdf.isEmpty())
        return pdf;
    if (m_options.openFile)
        m_options.openFile(pdf);
    else
        QDesktopServices::openUrl(QUrl::fromLocalFile(pdf));
    return pdf;
}

void CQX_CameraDlg::runTifTool() {
    if (m_options.tifTool)
        m_options.tifTool();
    else
        showTifToolFromLibrary(*m_ui, m_tifLending);
}

void CQX_CameraDlg::toggleCardPanel() {
    m_cardDock.toggle();
    static_cast<BitmapButton*>(m_controls.value(id::kCardPanel))->setBitmapId(m_cardDock.toggleBitmap());
}

void CQX_CameraDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    m_cardDock.follow();
}

void CQX_CameraDlg::shutDown() {
    if (m_shutDown)
        return;
    m_shutDown = true;
    m_captureTimer.stop();
    const bool autoCapture = m_autoRun;
    if (m_started)
        setAutoCapture(false);
    if (m_started)
        m_settings.writeAtShutDown(m_mergeMode->isChecked(), m_barcode->isChecked(), m_timedMode->isChecked(),
                                   autoCapture);
    if (m_started && m_settings.values().camera >= 0)
        m_control.StopPreview();
    m_cardDock.close();
    m_hotkey.unregisterHotkey();
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

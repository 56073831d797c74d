// The script hook's `app` object, the script run and the screenshot of the main window.
#include "qx/desktop/script_hook.h"

#include "qx/desktop/bitmap_button.h"
#include "qx/desktop/id_card_dlg.h"
#include "qx/desktop/list_image_ctrl.h"
#include "qx/desktop/picture_list.h"
#include "qx/desktop/qx_camera_dlg.h"

#include "script_globals.h"
#include "script_host.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QJSEngine>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

namespace qx::desktop {

ScriptPanel::ScriptPanel(CQX_CameraDlg& dialog, QObject* parent) : QObject(parent), m_dialog(dialog) {}

bool ScriptPanel::click(int id) {
    CIDCardDlg* panel = m_dialog.cardPanel();
    return panel && panel->clickControl(id);
}

QString ScriptPanel::text(int id) const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    return panel ? panel->controlText(id) : QString();
}

bool ScriptPanel::enabled(int id) const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    const QWidget* w = panel ? panel->controlById(id) : nullptr;
    return w && w->isEnabled();
}

int ScriptPanel::bitmap() const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    return panel ? panel->pauseResumeBitmap() : 0;
}

QVariantList ScriptPanel::rows() const {
    QVariantList out;
    if (const CIDCardDlg* panel = m_dialog.cardPanel())
        for (const QStringList& row : panel->logRows())
            out << QVariant(row);
    return out;
}

QStringList ScriptPanel::headers() const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    return panel ? panel->logHeaders() : QStringList();
}

bool ScriptPanel::photo() const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    return panel && panel->hasPhoto();
}

QVariantMap ScriptPanel::state() const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    if (!panel)
        return {};
    return {{QStringLiteral("readingEnabled"), panel->isReadingEnabled()},
            {QStringLiteral("folder"), panel->compositeFolder()},
            {QStringLiteral("interval"), panel->readInterval()},
            {QStringLiteral("timerActive"), panel->isTimerActive()},
            {QStringLiteral("timerInterval"), panel->timerInterval()},
            {QStringLiteral("ticks"), panel->tickCount()},
            {QStringLiteral("reads"), panel->readCount()},
            {QStringLiteral("skipped"), panel->skippedTicks()},
            {QStringLiteral("reading"), panel->isReading()},
            {QStringLiteral("photoPath"), panel->photoPath()},
            {QStringLiteral("revealed"), panel->revealed()}};
}

QVariantMap ScriptPanel::settingsShown() const {
    const CIDCardDlg* panel = m_dialog.cardPanel();
    return panel ? panel->lastSettingsShown() : QVariantMap();
}

bool ScriptPanel::screenshot(const QString& path) const {
    CIDCardDlg* panel = m_dialog.cardPanel();
    return panel && panel->grab().save(path);
}

ScriptApp::ScriptApp(CQX_CameraDlg& dialog, QObject* parent)
    : QObject(parent), m_dialog(dialog), m_panel(new ScriptPanel(dialog, this)) {}

bool ScriptApp::click(int id) {
    return m_dialog.clickControl(id);
}

bool ScriptApp::checked(int id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(m_dialog.controlById(id));
    return button && button->isChecked();
}

bool ScriptApp::enabled(int id) const {
    const QWidget* w = m_dialog.controlById(id);
    return w && w->isEnabled();
}

QString ScriptApp::text(int id) const {
    const auto* button = qobject_cast<const QAbstractButton*>(m_dialog.controlById(id));
    return button ? button->text() : QString();
}

QString ScriptApp::toolTip(int id) const {
    const QWidget* w = m_dialog.controlById(id);
    return w ? w->toolTip() : QString();
}

int ScriptApp::bitmap(int id) const {
    const auto* button = qobject_cast<const BitmapButton*>(m_dialog.controlById(id));
    return button ? button->bitmapId() : 0;
}

QStringList ScriptApp::items() const {
    return m_dialog.pictures().names();
}

bool ScriptApp::thumbnailsReady(int timeoutMs) {
    PictureList& pictures = m_dialog.pictures();
    return timeoutMs > 0 ? pictures.waitForThumbnails(timeoutMs) : pictures.pendingThumbnails() == 0;
}

bool ScriptApp::select(int row) {
    CListImageCtrl& list = m_dialog.list();
    if (row < 0 || row >= list.count())
        return false;
    // As a click on the item: selected, the mark set, the per-picture buttons enabled.
    list.setCurrentRow(row);
    list.setSelectionMark(row);
    emit list.listClicked(row);
    return true;
}

void ScriptApp::command(int menuId) {
    m_dialog.pictures().runCommand(menuId);
}

QString ScriptApp::exportPdf() {
    // As a press of 图片转换PDF: nothing for a disabled button.
    if (!m_dialog.clickControl(id::kPdf))
        return {};
    return m_dialog.lastPdf();
}

QString ScriptApp::file(int row) const {
    return m_dialog.pictures().pictureFile(row);
}

QString ScriptApp::ini() const {
    return m_dialog.iniPath();
}

void ScriptApp::close() {
    m_dialog.close();
}

int ScriptApp::progress() const {
    return m_dialog.progressValue();
}

int ScriptApp::progressMaximum() const {
    return m_dialog.progressMaximum();
}

QVariantMap ScriptApp::hotkey() const {
    return {{QStringLiteral("registered"), m_dialog.isHotkeyRegistered()},
            {QStringLiteral("modifiers"), m_dialog.hotkeyModifiers()},
            {QStringLiteral("key"), m_dialog.hotkeyKey()},
            {QStringLiteral("letter"), m_dialog.hotkeyLetter()}};
}

QVariantMap ScriptApp::state() const {
    return {{QStringLiteral("camera"), m_dialog.cameraIndex()},
            {QStringLiteral("resolution"), m_dialog.resolutionIndex()},
            {QStringLiteral("imageFormat"), m_dialog.imageFormat()},
            {QStringLiteral("savedImageFormat"), m_dialog.savedImageFormat()},
            {QStringLiteral("rotation"), m_dialog.rotation()},
            {QStringLiteral("dpi"), m_dialog.dpi()},
            {QStringLiteral("color"), m_dialog.colorIndex()},
            {QStringLiteral("savePath"), m_dialog.savePath()},
            {QStringLiteral("videoPath"), m_dialog.videoPath()},
            {QStringLiteral("url"), m_dialog.uploadUrl()},
            {QStringLiteral("uploadDel"), m_dialog.deleteAfterUpload()},
            {QStringLiteral("pdfDel"), m_dialog.deleteAfterPdf()},
            {QStringLiteral("tickTime"), m_dialog.tickTime()},
            {QStringLiteral("timerInterval"), m_dialog.captureTimerInterval()},
            {QStringLiteral("timedRun"), m_dialog.isTimedRunOn()},
            {QStringLiteral("lastPicture"), m_dialog.lastPicturePath()},
            {QStringLiteral("cardPanelShown"), m_dialog.isCardPanelShown()},
            {QStringLiteral("cardPanelExists"), m_dialog.cardPanel() != nullptr},
            {QStringLiteral("cardPanelVisible"), m_dialog.isCardPanelVisible()},
            {QStringLiteral("autoCapture"), m_dialog.isAutoCaptureOn()},
            {QStringLiteral("autoBadge"), m_dialog.autoBadgeText()},
            {QStringLiteral("autoCount"), m_dialog.autoCaptureCount()},
            {QStringLiteral("autoSettleTime"), m_dialog.autoSettleTime()}};
}

QVariantMap ScriptApp::settingsShown() const {
    return m_dialog.lastSettingsShown();
}

bool ScriptApp::screenshot(const QString& path) const {
    return m_dialog.grab().save(path);
}

int runDialogScript(CQX_CameraDlg& dialog, ScriptedUiHost& ui, const QString& scriptPath,
                    const QStringList& args, const QVariantMap& controlInfo) {
    QFile file(scriptPath);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "QX_Camera: cannot read %s: %s\n", scriptPath.toUtf8().constData(),
                     file.errorString().toUtf8().constData());
        dialog.close();
        return 1;
    }
    const QString code = QString::fromUtf8(file.readAll());
    int status = 0;
    {
        QJSEngine engine;
        engine.installExtensions(QJSEngine::ConsoleExtension);
        auto* host = new script::ScriptHost(&engine, &ui, &dialog.control(), args, controlInfo);
        // The dialog reports the control's progress with its own (the PDF export, printing).
        host->watchEvents(dialog.controlWidget(), &dialog);
        script::installHostGlobals(engine, host);
        engine.globalObject().setProperty(QStringLiteral("control"),
                                          script::makeDispatchObject(engine, host));
        auto* app = new ScriptApp(dialog);
        engine.globalObject().setProperty(QStringLiteral("app"), engine.newQObject(app));
        const QJSValue result = engine.evaluate(code, scriptPath);
        if (result.isError())
            status = script::reportScriptError("QX_Camera", scriptPath, result);
        else
            status = script::handlerStatus("QX_Camera", scriptPath, *host);
    }
    if (!dialog.isShutDown())
        dialog.close();
    return status;
}

bool showsPicture(const QImage& image) {
    if (image.isNull())
        return false;
    const QImage small = image.scaled(32, 24, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    const QRgb first = small.pixel(0, 0);
    int differing = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            if (small.pixel(x, y) != first)
                ++differing;
    return differing > small.width() * small.height() / 4;
}

int saveDialogScreenshot(CQX_CameraDlg& dialog, const QString& path, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    bool live = false;
    while (clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        if (dialog.controlWidget() && showsPicture(dialog.controlWidget()->grab().toImage())) {
            live = true;
            break;
        }
    }
    // One more moment so that the thumbnails and the blend are complete in the picture.
    QEventLoop loop;
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    const bool saved = dialog.grab().save(path);
    if (!live)
        std::fprintf(stderr, "QX_Camera: the live picture did not show within %d ms\n", timeoutMs);
    if (!saved)
        std::fprintf(stderr, "QX_Camera: cannot write %s\n", path.toUtf8().constData());
    dialog.close();
    return live && saved ? 0 : 1;
}

} // namespace qx::desktop

// Creation and destruction of the control, its settings file, window, painting and private messages.
#include "control/core/control.h"

#include "control/capture/edge_window.h"
#include "control/capture/frame_grabber.h"
#include "control/capture/preview_surface.h"
#include "control/core/folder_tree.h"
#include "control/core/outside_libraries.h"
#include "qx/media/preview_pipeline.h"
#include "qx/platform/folders.h"
#include "qx/platform/profile.h"

#include <QFileInfo>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimerEvent>
#include <unistd.h>

namespace qx::control {

bool mergeMode = false;

namespace {

constexpr const char* kSettingsFile = "OCXConfig.ini";
constexpr const char* kSettingsSection = "OCXConfig";
constexpr int kSettingsReadSize = 100;

// Any function of this module will do: dladdr finds the file that holds it.
void anchor() {}

} // namespace

CMorvelQxWebCtrl::CMorvelQxWebCtrl(QWidget* parent, UiHost* uiHost, const QString& controlFolder)
    : QWidget(parent), m_ui(uiHost) {
    if (!m_ui) {
        m_ownUi = std::make_unique<QtUiHost>();
        m_ui = m_ownUi.get();
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_surface = std::make_unique<PreviewSurface>();
    m_edgeWindow = std::make_unique<EdgePreviewWindow>(this);
    m_dispatcher = std::make_unique<MetaObjectDispatcher>(this);
    create(controlFolder);
}

void CMorvelQxWebCtrl::create(const QString& controlFolder) {
    // 1. Properties and state have their defaults already; the imaging layer needs no start-up.
    // 2. A previous control of the process may have left the outside libraries loaded.
    OutsideLibraries& libs = OutsideLibraries::instance();
    libs.freeAll();

    // 3. WriteLog is TRUE at this point, and later changes of it have no effect.
    if (m_p.WriteLog)
        m_log.Open();

    // 4. Libraries are loaded by full path and carry RUNPATH $ORIGIN, so the control folder is all
    // that is needed to find them and their own dependencies.
    m_controlFolder = controlFolder.isEmpty() ? platform::moduleFolder(reinterpret_cast<const void*>(&anchor))
                                              : platform::withTrailingSlash(controlFolder);
    if (!m_controlFolder.isEmpty()) {
        writeLog(QStringLiteral("Current Load Path:Success,%1").arg(m_controlFolder));
    } else {
        writeLog(QStringLiteral("Current Load Path:Fail"));
        writeLog(QStringLiteral("FilterPath:") + platform::programFolder());
    }

    // 5 to 11.
    const bool complete = libs.loadAndBind(m_controlFolder, [this](const QString& line) { writeLog(line); });
    if (!complete)
        return;

    // 12. The model-id table holds three entries; further models reported by the library are not
    // addressable by the control and are ignored.
    const int count = libs.getKelpoDeviceCount();
    m_s.cameraModelCount = count < 0 ? 0 : count;
    for (int i = 0; i < m_s.cameraModelCount && i < kCameraModelSlots; ++i)
        m_s.cameraModelIds[static_cast<std::size_t>(i)] = libs.getKelpoDeviceModuleID(i);

    // 13.
    readSettings();
}

QString CMorvelQxWebCtrl::settingsPath() const {
    return platform::dataFolder(m_controlFolder) + QLatin1String(kSettingsFile);
}

void CMorvelQxWebCtrl::readSettings() {
    const QString path = settingsPath();
    const QByteArray native = QFile::encodeName(path);
    const QString section = QLatin1String(kSettingsSection);
    if (QFileInfo(path).isFile() && ::access(native.constData(), R_OK | W_OK) == 0) {
        m_s.jpegQuality = platform::decimalPrefix(platform::readProfileString(
            path, section, QStringLiteral("JPG_Compress"), QStringLiteral("75"), kSettingsReadSize));
        m_s.bwThreshold = platform::decimalPrefix(platform::readProfileString(
            path, section, QStringLiteral("Threshold"), QStringLiteral("100"), kSettingsReadSize));
        return;
    }
    m_s.jpegQuality = 75;
    m_s.bwThreshold = 100;
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.close();
    platform::writeProfileString(path, section, QStringLiteral("JPG_Compress"), QStringLiteral("75"));
    platform::writeProfileString(path, section, QStringLiteral("Threshold"), QStringLiteral("100"));
}

void CMorvelQxWebCtrl::windowDestroyed() {
    StopPreview();
    OutsideLibraries::instance().freeAll();
}

CMorvelQxWebCtrl::~CMorvelQxWebCtrl() {
    // The window goes first, as it does when a container destroys an active control ...
    windowDestroyed();
    // ... then the object itself; freeing the libraries twice is harmless, their handles are cleared.
    StopPreview();
    OutsideLibraries::instance().freeAll();
    writeLog(QStringLiteral("释放动态库资源!"));
    writeLog(QStringLiteral("释放GDI资源!"));
    if (m_videoDialog) {
        delete m_videoDialog;
        m_videoDialog = nullptr;
        writeLog(QStringLiteral("释放录像对话框资源!"));
    }
    if (!m_s.mergeFolder.isEmpty()) {
        DeleteFolderTree(m_s.mergeFolder);
        writeLog(QStringLiteral("清理合并图片文件夹!"));
    }
    writeLog(QStringLiteral("控件释放!"));
}

void CMorvelQxWebCtrl::errorBox(const QString& text) {
    m_ui->messageBox(nullptr, text, QStringLiteral("Error!"), MessageIcon::Error, true);
}

void CMorvelQxWebCtrl::ownMessageBox(const QString& text) {
    m_ui->messageBox(this, text, QString(), MessageIcon::None, false);
}

void CMorvelQxWebCtrl::resizeEvent(QResizeEvent* e) {
    m_surface->setTargetSize(size());
    QWidget::resizeEvent(e);
}

void CMorvelQxWebCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if ((m_s.normalPreviewOn || m_s.edgePreviewOn) && !m_previewImage.isNull()) {
        // The video picture covers the whole window, as the platform's video window did.
        p.drawImage(rect(), m_previewImage);
        if (!m_previewOutline.isEmpty()) {
            const double sx = static_cast<double>(width()) / m_previewImage.width();
            const double sy = static_cast<double>(height()) / m_previewImage.height();
            QPolygonF outline;
            for (const QPointF& pt : m_previewOutline)
                outline << QPointF(pt.x() * sx, pt.y() * sy);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(QPen(QColor(40, 220, 90), 2.5));
            p.drawPolygon(outline);
        }
        return;
    }
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    p.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, QStringLiteral("NO SIGNAL"));
}

bool CMorvelQxWebCtrl::event(QEvent* e) {
    if (e->type() == kFrameCopiedEvent) {
        // A frame event after the frame was saved finds nothing to save and reports nothing.
        if (CFrameGrabberCB::instance().saveStep() == CFrameGrabberCB::SaveResult::Failed) {
            writeLog(QStringLiteral("抓图失败!"));
            errorBox(QStringLiteral(" 抓图失败."));
        }
        return true;
    }
    if (e->type() == kFrameSavedEvent) {
        m_p.cPicName = CFrameGrabberCB::instance().savePath;
        m_s.capturePending = false;
        return true;
    }
    if (e->type() == kPreviewFrameEvent) {
        m_previewImage = m_surface->take();
        m_previewOutline = m_surface->outline();
        update();
        return true;
    }
    return QWidget::event(e);
}

void CMorvelQxWebCtrl::timerEvent(QTimerEvent* e) {
    killTimer(e->timerId());
    QWidget::timerEvent(e);
}

DispatchStatus CMorvelQxWebCtrl::get(int dispid, QVariant& value) {
    return m_dispatcher->get(dispid, value);
}

DispatchStatus CMorvelQxWebCtrl::put(int dispid, const QVariant& value) {
    return m_dispatcher->put(dispid, value);
}

DispatchStatus CMorvelQxWebCtrl::invoke(int dispid, const QVariantList& args, QVariant& result) {
    return m_dispatcher->invoke(dispid, args, result);
}

} // namespace qx::control

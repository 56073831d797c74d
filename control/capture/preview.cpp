// Camera enumeration, capture sizes, the normal preview's start and stop, rotation and camera settings.
#include "control/capture/edge_window.h"
#include "control/capture/frame_grabber.h"
#include "control/capture/preview_surface.h"
#include "control/core/control.h"
#include "control/core/outside_libraries.h"
#include "control/ui/camera_settings_dialog.h"
#include "qx/media/camera_roles.h"
#include "qx/media/devices.h"
#include "qx/media/preview_pipeline.h"

namespace qx::control {

namespace {

QString graphErrorText() {
    // The platform's failure code and the thread's last error; the pipeline has no finer codes.
    return QString::asprintf("Can't build the graph, errorcode = 0x%X [0x%X] ", 0x80004005u, 0u);
}

} // namespace

std::optional<std::vector<media::VideoDevice>> CMorvelQxWebCtrl::videoDevices() {
    return media::enumerateVideoDevices();
}

bool CMorvelQxWebCtrl::cameraPresent() {
    const auto devices = videoDevices();
    if (!devices)
        return false;
    return !media::countedCameras(*devices).empty();
}

std::optional<media::VideoDevice> CMorvelQxWebCtrl::bindCamera(int n, bool* bindFailed) {
    if (bindFailed)
        *bindFailed = false;
    auto fail = [&](const char* line) {
        writeLog(QString::fromUtf8(line));
        if (bindFailed)
            *bindFailed = true;
        return std::nullopt;
    };
    if (n < 0)
        return fail("没有选择摄像头!");
    auto devices = videoDevices();
    if (!devices)
        return fail("创建ICreateDevEnum接口失败!");
    if (devices->empty())
        return fail("创建IEnumMoniker接口失败!");
    // Counted as RefreshDevList counts: the eleventh camera and later have no index.
    const std::vector<media::CountedCamera> counted = media::countedCameras(*devices);
    if (static_cast<std::size_t>(n) >= counted.size())
        return std::nullopt;
    return std::move((*devices)[counted[static_cast<std::size_t>(n)].deviceIndex]);
}

int CMorvelQxWebCtrl::RefreshDevList() {
    m_p.bIsRecord = recordingActive;

    m_s.deviceCount = 0;
    const auto devices = videoDevices();
    // An empty video category is a failed enumeration, as on the platform this control comes from.
    if (devices && !devices->empty()) {
        // The name table has ten slots: cameras beyond the tenth are not counted.
        for (const media::CountedCamera& camera : media::countedCameras(*devices)) {
            const bool mainSeenBefore = media::MainCameraSeen::any();
            switch (*media::roleOf(camera.productId, mainSeenBefore)) {
            case media::CameraRole::Main:
                m_s.mainCameraIndex = m_s.deviceCount;
                break;
            case media::CameraRole::Auxiliary:
                m_s.auxCameraIndex = m_s.deviceCount;
                break;
            case media::CameraRole::Cash:
                m_s.cashCameraIndex = m_s.deviceCount;
                break;
            }
            media::MainCameraSeen::mark(camera.productId);
            m_s.deviceNames[static_cast<std::size_t>(m_s.deviceCount)] =
                media::roleNameOf(camera.productId, mainSeenBefore);
            ++m_s.deviceCount;
        }
        m_s.selectedDevice = 0;
        if (m_s.deviceCount == 0)
            writeLog(QStringLiteral("没有找到Qorvane拍摄仪!"));
        writeLog(QStringLiteral("枚举Qorvane拍摄仪成功!"));
    } else {
        writeLog(QStringLiteral("枚举Qorvane拍摄仪失败!"));
    }
    return m_s.deviceCount;
}

QString CMorvelQxWebCtrl::GetDevNameByIdx(short idx) {
    if (idx < 0 || idx >= m_s.deviceCount)
        return QString();
    return m_s.deviceNames[static_cast<std::size_t>(idx)];
}

short CMorvelQxWebCtrl::SetDevNameSel(short cursel) {
    if (cursel > m_s.deviceCount)
        return 1;
    m_s.selectedDevice = cursel;
    return 0;
}

int CMorvelQxWebCtrl::RefreshResolution(short DevNameSel) {
    if (DevNameSel < 0) {
        writeLog(QStringLiteral("没有选择摄像头，枚举分辨率失败!"));
        writeLog(QStringLiteral("获取分辨率失败!"));
        return m_s.resolutionCount;
    }
    if (!media::ensureGstreamer()) {
        writeLog(QStringLiteral("创建IGraphBuilder接口失败!"));
        return m_s.resolutionCount;
    }
    // A camera index with nothing behind it is a failure too: the count stays as it was.
    const auto device = bindCamera(DevNameSel);
    if (!device) {
        writeLog(QStringLiteral("获取分辨率失败!"));
        return m_s.resolutionCount;
    }
    // The tables hold fifteen sizes: further sizes of the camera are not offered.
    const std::vector<media::VideoFormat> sizes = media::yuy2Formats(*device);
    int count = 0;
    for (const media::VideoFormat& f : sizes) {
        if (count >= kResolutionSlots)
            break;
        const auto i = static_cast<std::size_t>(count++);
        m_s.resolutionWidths[i] = f.width;
        m_s.resolutionHeights[i] = f.height;
        m_s.resolutionNames[i] = QString::asprintf("%d * %d", f.width, f.height);
    }
    m_s.resolutionCount = count;
    m_s.selectedResolution = 0;
    return m_s.resolutionCount;
}

QString CMorvelQxWebCtrl::GetResolutionByIdx(short idx) {
    if (idx < 0 || idx >= m_s.resolutionCount)
        return QString();
    return m_s.resolutionNames[static_cast<std::size_t>(idx)];
}

short CMorvelQxWebCtrl::SetResolution(short resolutionSel) {
    if (resolutionSel > m_s.resolutionCount)
        return 1;
    m_s.selectedResolution = resolutionSel;
    return 0;
}

int CMorvelQxWebCtrl::StartPreviewProc() {
    mergeMode = false;
    if (!cameraPresent()) {
        writeLog(QStringLiteral("没有找到Qorvane拍摄仪!"));
        ownMessageBox(QStringLiteral("没有Qorvane拍摄仪!"));
        return -1;
    }
    if (m_s.previewing) {
        m_s.capturePending = false;
        return 0;
    }
    if (!buildPreview()) {
        StopPreview();
        return -1;
    }
    m_s.capturePending = false;
    m_s.previewing = true;
    return 0;
}

void CMorvelQxWebCtrl::releaseEdgeDevice(const QString& logLine) {
    if (m_s.cameraDevice) {
        OutsideLibraries& libs = OutsideLibraries::instance();
        m_s.cameraDevice->StopPlay();
        if (libs.deleteKelpoDevice)
            libs.deleteKelpoDevice(m_s.cameraDevice);
        m_s.cameraDevice = nullptr;
        writeLog(logLine);
    }
    m_s.edgePreviewOn = false;
}

bool CMorvelQxWebCtrl::buildPreview() {
    if (m_s.edgePreviewOn)
        releaseEdgeDevice(QStringLiteral("释放寻边对象，切换普通预览!"));
    if (m_s.normalPreviewOn) {
        writeLog(QStringLiteral("已在普通预览状态!"));
        return true;
    }
    if (m_s.selectedDevice < 0) {
        writeLog(QStringLiteral("设备索引号错误!"));
        return false;
    }
    writeLog(QStringLiteral("启动普通预览!"));
    if (!media::ensureGstreamer()) {
        writeLog(QStringLiteral("创建IGraphBuilder接口失败!"));
        errorBox(QStringLiteral("Failed to get video interfaces!"));
        writeLog(QStringLiteral("InitCaptureGraphBuilder失败!"));
        return false;
    }
    bool bindFailed = false;
    const auto device = bindCamera(m_s.selectedDevice, &bindFailed);
    if (bindFailed) {
        errorBox(QStringLiteral("Unable to Bind source filter."));
        writeLog(QStringLiteral("BindSourceFilter失败!"));
        return false;
    }
    const std::size_t size =
        m_s.selectedResolution >= 0 && m_s.selectedResolution < kResolutionSlots ? m_s.selectedResolution : 0;
    m_s.captureWidth = m_s.resolutionWidths[size];
    m_s.captureHeight = m_s.resolutionHeights[size];

    m_pipeline = std::make_unique<media::PreviewPipeline>();
    CFrameGrabberCB& grabber = CFrameGrabberCB::instance();
    grabber.setOwner(this);
    m_surface->setTargetSize(this->size());
    PreviewSurface* surface = m_surface.get();
    auto onFrame = [surface, this](const media::FrameView& frame) {
        CFrameGrabberCB::instance().onFrame(frame);
        surface->offer(frame, this);
    };
    media::PreviewStep step = device
                                  ? m_pipeline->build(*device, m_s.captureWidth, m_s.captureHeight, onFrame)
                                  : media::PreviewStep::AddCamera;
    if (step == media::PreviewStep::Ok)
        step = m_pipeline->run();
    switch (step) {
    case media::PreviewStep::Ok:
        break;
    case media::PreviewStep::Pipeline:
        writeLog(QStringLiteral("创建IGraphBuilder接口失败!"));
        errorBox(QStringLiteral("Failed to get video interfaces!"));
        writeLog(QStringLiteral("InitCaptureGraphBuilder失败!"));
        return false;
    case media::PreviewStep::Bind:
        errorBox(QStringLiteral("Unable to Bind source filter."));
        writeLog(QStringLiteral("BindSourceFilter失败!"));
        return false;
    case media::PreviewStep::AddCamera:
        errorBox(QStringLiteral("Could not put capture device in graph"));
        writeLog(QStringLiteral("添加CaptureFilter失败!"));
        return false;
    case media::PreviewStep::RotateCreate:
        errorBox(QStringLiteral("无法初始化倒置图片的组件"));
        writeLog(QStringLiteral("KelpoRotate.dll注册失败!"));
        return false;
    case media::PreviewStep::RotateAdd:
        writeLog(QStringLiteral("添加旋转Filter失败!"));
        errorBox(QStringLiteral("无法加入倒置图片的组件"));
        return false;
    case media::PreviewStep::GrabberCreate:
        errorBox(QStringLiteral("Could not create SampleGrabber (is qedit.dll registered?)"));
        writeLog(QStringLiteral("qedit.dll注册失败!"));
        return false;
    case media::PreviewStep::GrabberType:
        writeLog(QStringLiteral("设置媒体格式失败!"));
        errorBox(QStringLiteral("Could not set media type."));
        return false;
    case media::PreviewStep::GrabberAdd:
        writeLog(QStringLiteral("添加抓帧Filter失败!"));
        errorBox(QStringLiteral("Could not put sample grabber in graph."));
        return false;
    case media::PreviewStep::FormatConfig:
    case media::PreviewStep::FormatNoFormats:
    case media::PreviewStep::FormatSet:
        writeLog(step == media::PreviewStep::FormatConfig ? QStringLiteral("创建IAMStreamConfig接口失败!")
                 : step == media::PreviewStep::FormatNoFormats ? QStringLiteral("获取AM_MEDIA_TYPE失败!")
                                                               : QStringLiteral("设置媒体格式失败!"));
        writeLog(QStringLiteral("设置视频格式失败!"));
        errorBox(QStringLiteral("设置格式出错."));
        return false;
    case media::PreviewStep::Link:
        writeLog(QStringLiteral("Filter链接失败!"));
        errorBox(graphErrorText());
        return false;
    case media::PreviewStep::MediaType:
        writeLog(QStringLiteral("获取媒体格式失败!"));
        errorBox(QStringLiteral("Could not read the connected media type"));
        return false;
    case media::PreviewStep::Run:
        writeLog(QStringLiteral("播放视频失败!"));
        errorBox(QStringLiteral("Could not run graph"));
        return false;
    }
    grabber.frameWidth = m_pipeline->frameWidth();
    grabber.frameHeight = m_pipeline->frameHeight();
    m_boundCameraName = device->name;
    writeLog(QStringLiteral("普通预览视频成功!"));
    m_s.normalPreviewOn = true;
    return true;
}

int CMorvelQxWebCtrl::StopPreview() {
    m_s.previewing = false;
    const bool wasOn = m_s.normalPreviewOn;
    if (wasOn)
        writeLog(QStringLiteral("关闭普通预览!"));
    // A preview whose build failed part-way holds elements too; they go here either way.
    if (m_pipeline) {
        m_pipeline->stop();
        m_pipeline.reset();
    }
    CFrameGrabberCB::instance().setOwner(nullptr);
    CFrameGrabberCB::instance().cancelGrab();
    m_surface->clear();
    m_previewImage = QImage();
    if (wasOn) {
        m_s.normalPreviewOn = false;
        writeLog(QStringLiteral("释放普通预览资源!"));
        update();
    }
    if (m_s.edgePreviewOn)
        releaseEdgeDevice(QStringLiteral("释放寻边对象!"));
    writeLog(QStringLiteral("关闭预览!"));
    return 0;
}

void CMorvelQxWebCtrl::ConfigCameraFilter() {
    if (m_s.cameraDevice) {
        m_s.cameraDevice->ShowSettings(m_edgeWindow.get());
        return;
    }
    if (!m_s.normalPreviewOn || !m_pipeline || !m_pipeline->controls())
        return;
    CameraSettingsDialog dialog(m_pipeline->controls(), m_boundCameraName, this);
    m_ui->runDialog(&dialog, QStringLiteral("camera-settings"),
                    [&dialog](const QVariant& answer) { dialog.apply(answer.toMap()); });
}

void CMorvelQxWebCtrl::setRotate(int angle) {
    // 0, 90, 180 and 270 turn the picture clockwise by that much; any other angle leaves the
    // picture as it is.
    if (m_s.normalPreviewOn && m_pipeline)
        m_pipeline->setRotation(angle);
}

} // namespace qx::control

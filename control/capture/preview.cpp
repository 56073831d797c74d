// The normal preview's start and stop, its frame grabbing, rotation and camera settings.
#include "control/capture/preview.h"

#include "control/capture/cameras.h"
#include "control/capture/edge_preview.h"
#include "control/capture/preview_surface.h"
#include "control/core/control_context.h"
#include "control/core/process_modes.h"
#include "control/ui/camera_settings_dialog.h"
#include "qx/interface/ui_host.h"
#include "qx/media/preview_pipeline.h"

#include <QWidget>

namespace qx::control {

namespace {

QString graphErrorText() {
    // The platform's failure code and the thread's last error; the pipeline has no finer codes.
    return QString::asprintf("Can't build the graph, errorcode = 0x%X [0x%X] ", 0x80004005u, 0u);
}

} // namespace

NormalPreview::NormalPreview(ControlContext& control, ProcessModes& modes, Cameras& cameras,
                             EdgePreview& edge, PreviewSurface& surface)
    : m_control(control), m_modes(modes), m_cameras(cameras), m_edge(edge), m_surface(surface) {}

NormalPreview::~NormalPreview() = default;

int NormalPreview::StartPreviewProc() {
    m_modes.mergeMode = false;
    if (!m_cameras.cameraPresent()) {
        m_control.writeLog(QStringLiteral("没有找到Qorvane拍摄仪!"));
        m_control.ownMessageBox(QStringLiteral("没有Qorvane拍摄仪!"));
        return -1;
    }
    if (m_previewing) {
        m_grab.cancel();
        return 0;
    }
    if (!buildPreview()) {
        StopPreview();
        return -1;
    }
    m_grab.cancel();
    m_previewing = true;
    return 0;
}

bool NormalPreview::buildPreview() {
    if (m_edge.isOn())
        m_edge.release(QStringLiteral("释放寻边对象，切换普通预览!"));
    if (m_on) {
        m_control.writeLog(QStringLiteral("已在普通预览状态!"));
        return true;
    }
    if (m_cameras.selectedDevice() < 0) {
        m_control.writeLog(QStringLiteral("设备索引号错误!"));
        return false;
    }
    m_control.writeLog(QStringLiteral("启动普通预览!"));
    if (!media::ensureGstreamer()) {
        m_control.writeLog(QStringLiteral("创建IGraphBuilder接口失败!"));
        m_control.errorBox(QStringLiteral("Failed to get video interfaces!"));
        m_control.writeLog(QStringLiteral("InitCaptureGraphBuilder失败!"));
        return false;
    }
    bool bindFailed = false;
    const auto device = m_cameras.bindCamera(m_cameras.selectedDevice(), &bindFailed);
    if (bindFailed) {
        m_control.errorBox(QStringLiteral("Unable to Bind source filter."));
        m_control.writeLog(QStringLiteral("BindSourceFilter失败!"));
        return false;
    }
    m_cameras.useSelectedSize();

    m_pipeline = std::make_unique<media::PreviewPipeline>();
    QWidget* window = m_control.controlWindow();
    m_surface.setTargetSize(window->size());
    PreviewSurface* surface = &m_surface;
    FrameGrab* grab = &m_grab;
    auto onFrame = [surface, grab, window](const media::FrameView& frame) {
        grab->offer(frame);
        surface->offer(frame, window);
    };
    media::PreviewStep step =
        device ? m_pipeline->build(*device, m_cameras.captureWidth(), m_cameras.captureHeight(), onFrame)
               : media::PreviewStep::AddCamera;
    if (step == media::PreviewStep::Ok)
        step = m_pipeline->run();
    switch (step) {
    case media::PreviewStep::Ok:
        break;
    case media::PreviewStep::Pipeline:
        m_control.writeLog(QStringLiteral("创建IGraphBuilder接口失败!"));
        m_control.errorBox(QStringLiteral("Failed to get video interfaces!"));
        m_control.writeLog(QStringLiteral("InitCaptureGraphBuilder失败!"));
        return false;
    case media::PreviewStep::Bind:
        m_control.errorBox(QStringLiteral("Unable to Bind source filter."));
        m_control.writeLog(QStringLiteral("BindSourceFilter失败!"));
        return false;
    case media::PreviewStep::AddCamera:
        m_control.errorBox(QStringLiteral("Could not put capture device in graph"));
        m_control.writeLog(QStringLiteral("添加CaptureFilter失败!"));
        return false;
    case media::PreviewStep::RotateCreate:
        m_control.errorBox(QStringLiteral("无法初始化倒置图片的组件"));
        m_control.writeLog(QStringLiteral("KelpoRotate.dll注册失败!"));
        return false;
    case media::PreviewStep::RotateAdd:
        m_control.writeLog(QStringLiteral("添加旋转Filter失败!"));
        m_control.errorBox(QStringLiteral("无法加入倒置图片的组件"));
        return false;
    case media::PreviewStep::GrabberCreate:
        m_control.errorBox(QStringLiteral("Could not create SampleGrabber (is qedit.dll registered?)"));
        m_control.writeLog(QStringLiteral("qedit.dll注册失败!"));
        return false;
    case media::PreviewStep::GrabberType:
        m_control.writeLog(QStringLiteral("设置媒体格式失败!"));
        m_control.errorBox(QStringLiteral("Could not set media type."));
        return false;
    case media::PreviewStep::GrabberAdd:
        m_control.writeLog(QStringLiteral("添加抓帧Filter失败!"));
        m_control.errorBox(QStringLiteral("Could not put sample grabber in graph."));
        return false;
    case media::PreviewStep::FormatConfig:
    case media::PreviewStep::FormatNoFormats:
    case media::PreviewStep::FormatSet:
        m_control.writeLog(
            step == media::PreviewStep::FormatConfig ? QStringLiteral("创建IAMStreamConfig接口失败!")
            : step == media::PreviewStep::FormatNoFormats ? QStringLiteral("获取AM_MEDIA_TYPE失败!")
                                                          : QStringLiteral("设置媒体格式失败!"));
        m_control.writeLog(QStringLiteral("设置视频格式失败!"));
        m_control.errorBox(QStringLiteral("设置格式出错."));
        return false;
    case media::PreviewStep::Link:
        m_control.writeLog(QStringLiteral("Filter链接失败!"));
        m_control.errorBox(graphErrorText());
        return false;
    case media::PreviewStep::MediaType:
        m_control.writeLog(QStringLiteral("获取媒体格式失败!"));
        m_control.errorBox(QStringLiteral("Could not read the connected media type"));
        return false;
    case media::PreviewStep::Run:
        m_control.writeLog(QStringLiteral("播放视频失败!"));
        m_control.errorBox(QStringLiteral("Could not run graph"));
        return false;
    }
    m_boundCameraName = device->name;
    m_control.writeLog(QStringLiteral("普通预览视频成功!"));
    m_on = true;
    return true;
}

int NormalPreview::StopPreview() {
    m_previewing = false;
    const bool wasOn = m_on;
    if (wasOn)
        m_control.writeLog(QStringLiteral("关闭普通预览!"));
    // A preview whose build failed part-way holds elements too; they go here either way.
    if (m_pipeline) {
        m_pipeline->stop();
        m_pipeline.reset();
    }
    m_grab.cancel();
    m_surface.clear();
    if (wasOn) {
        m_on = false;
        m_control.writeLog(QStringLiteral("释放普通预览资源!"));
    }
    m_control.controlWindow()->update();
    if (m_edge.isOn())
        m_edge.release(QStringLiteral("释放寻边对象!"));
    m_control.writeLog(QStringLiteral("关闭预览!"));
    return 0;
}

void NormalPreview::ConfigCameraFilter() {
    if (m_edge.showSettings())
        return;
    if (!m_on || !m_pipeline || !m_pipeline->controls())
        return;
    CameraSettingsDialog dialog(m_pipeline->controls(), m_boundCameraName, m_control.controlWindow());
    m_control.uiHost().runDialog(&dialog, QStringLiteral("camera-settings"),
                                 [&dialog](const QVariant& answer) { dialog.apply(answer.toMap()); });
}

void NormalPreview::setRotate(int angle) {
    // 0, 90, 180 and 270 turn the picture clockwise by that much; any other angle leaves the
    // picture as it is.
    if (m_on && m_pipeline)
        m_pipeline->setRotation(angle);
}

} // namespace qx::control

// Camera enumeration with the role rule, and the capture sizes a camera offers.
#include "control/capture/cameras.h"

#include "control/core/control_context.h"
#include "qx/media/gst_util.h"

namespace qx::control {

std::optional<std::vector<media::VideoDevice>> Cameras::videoDevices() {
    return media::enumerateVideoDevices();
}

bool Cameras::cameraPresent() {
    const auto devices = videoDevices();
    if (!devices)
        return false;
    return !media::countedCameras(*devices).empty();
}

std::optional<media::VideoDevice> Cameras::bindCamera(int n, bool* bindFailed) {
    if (bindFailed)
        *bindFailed = false;
    auto fail = [&](const char* line) {
        m_control.writeLog(QString::fromUtf8(line));
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

int Cameras::RefreshDevList() {
    m_deviceCount = 0;
    const auto devices = videoDevices();
    // An empty video category is a failed enumeration, as on the platform this control comes from.
    if (devices && !devices->empty()) {
        for (const media::CountedCamera& camera : media::countedCameras(*devices)) {
            const bool mainSeenBefore = media::MainCameraSeen::any();
            switch (*media::roleOf(camera.productId, mainSeenBefore)) {
            case media::CameraRole::Main:
                m_mainCameraIndex = m_deviceCount;
                break;
            case media::CameraRole::Auxiliary:
                m_auxCameraIndex = m_deviceCount;
                break;
            case media::CameraRole::Cash:
                m_cashCameraIndex = m_deviceCount;
                break;
            }
            media::MainCameraSeen::mark(camera.productId);
            m_deviceNames[static_cast<std::size_t>(m_deviceCount)] =
                media::roleNameOf(camera.productId, mainSeenBefore);
            ++m_deviceCount;
        }
        m_selectedDevice = 0;
        if (m_deviceCount == 0)
            m_control.writeLog(QStringLiteral("没有找到Qorvane拍摄仪!"));
        m_control.writeLog(QStringLiteral("枚举Qorvane拍摄仪成功!"));
    } else {
        m_control.writeLog(QStringLiteral("枚举Qorvane拍摄仪失败!"));
    }
    return m_deviceCount;
}

QString Cameras::GetDevNameByIdx(short idx) const {
    if (idx < 0 || idx >= m_deviceCount)
        return QString();
    return m_deviceNames[static_cast<std::size_t>(idx)];
}

short Cameras::SetDevNameSel(short cursel) {
    if (cursel > m_deviceCount)
        return 1;
    m_selectedDevice = cursel;
    return 0;
}

int Cameras::RefreshResolution(short DevNameSel) {
    if (DevNameSel < 0) {
        m_control.writeLog(QStringLiteral("没有选择摄像头，枚举分辨率失败!"));
        m_control.writeLog(QStringLiteral("获取分辨率失败!"));
        return m_resolutionCount;
    }
    if (!media::ensureGstreamer()) {
        m_control.writeLog(QStringLiteral("创建IGraphBuilder接口失败!"));
        return m_resolutionCount;
    }
    // A camera index with nothing behind it is a failure too: the count stays as it was.
    const auto device = bindCamera(DevNameSel);
    if (!device) {
        m_control.writeLog(QStringLiteral("获取分辨率失败!"));
        return m_resolutionCount;
    }
    // The tables hold fifteen sizes: further sizes of the camera are not offered.
    const std::vector<media::VideoFormat> sizes = media::yuy2Formats(*device);
    int count = 0;
    for (const media::VideoFormat& f : sizes) {
        if (count >= kResolutionSlots)
            break;
        const auto i = static_cast<std::size_t>(count++);
        m_resolutionWidths[i] = f.width;
        m_resolutionHeights[i] = f.height;
        m_resolutionNames[i] = QString::asprintf("%d * %d", f.width, f.height);
    }
    m_resolutionCount = count;
    m_selectedResolution = 0;
    return m_resolutionCount;
}

QString Cameras::GetResolutionByIdx(short idx) const {
    if (idx < 0 || idx >= m_resolutionCount)
        return QString();
    return m_resolutionNames[static_cast<std::size_t>(idx)];
}

short Cameras::SetResolution(short resolutionSel) {
    if (resolutionSel > m_resolutionCount)
        return 1;
    m_selectedResolution = resolutionSel;
    return 0;
}

void Cameras::useSelectedSize() {
    const std::size_t size =
        m_selectedResolution >= 0 && m_selectedResolution < kResolutionSlots ? m_selectedResolution : 0;
    m_captureWidth = m_resolutionWidths[size];
    m_captureHeight = m_resolutionHeights[size];
}

} // namespace qx::control

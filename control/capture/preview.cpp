// Camera enumeration, capture sizes, the normal preview's start and stop, and the frame save step.
#include "control/capture/camera_roles.h"
#include "control/core/control.h"

namespace qx::control {

std::optional<QStringList> CMorvelQxWebCtrl::videoDevicePaths() {
    // No video-input backend is built into the control: the enumeration cannot be made, which the
    // callers treat as a failed enumeration.
    return std::nullopt;
}

bool CMorvelQxWebCtrl::cameraPresent() {
    const auto paths = videoDevicePaths();
    if (!paths)
        return false;
    for (const QString& path : *paths) {
        const auto id = CameraRoleRule::productIdOf(path);
        if (id && CameraRoleRule::isCounted(*id))
            return true;
    }
    return false;
}

int CMorvelQxWebCtrl::RefreshDevList() {
    m_p.bIsRecord = false; // no recording can run without a recording window

    m_s.deviceCount = 0;
    const auto paths = videoDevicePaths();
    // An empty video category is a failed enumeration, as on the platform this control comes from.
    if (paths && !paths->isEmpty()) {
        for (const QString& path : *paths) {
            const auto id = CameraRoleRule::productIdOf(path);
            if (!id || !CameraRoleRule::isCounted(*id))
                continue;
            // The name table has ten slots: cameras beyond the tenth are not counted.
            if (m_s.deviceCount >= kDeviceSlots)
                break;
            const bool mainSeenBefore = MainCameraSeen::any();
            const QString name = roleNameOf(*id, mainSeenBefore);
            if (*id == QLatin1String("7e43"))
                m_s.auxCameraIndex = m_s.deviceCount;
            else if (*id == QLatin1String("7e44") && mainSeenBefore)
                m_s.cashCameraIndex = m_s.deviceCount;
            else
                m_s.mainCameraIndex = m_s.deviceCount;
            MainCameraSeen::mark(*id);
            m_s.deviceNames[static_cast<std::size_t>(m_s.deviceCount)] = name;
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
    // Binding the camera needs the device enumeration.
    if (!videoDevicePaths())
        writeLog(QStringLiteral("创建ICreateDevEnum接口失败!"));
    writeLog(QStringLiteral("获取分辨率失败!"));
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
    // A camera is present but this control has no preview pipeline to show it with.
    writeLog(QStringLiteral("启动普通预览!"));
    writeLog(QStringLiteral("InitCaptureGraphBuilder失败!"));
    StopPreview();
    return -1;
}

int CMorvelQxWebCtrl::StopPreview() {
    m_s.previewing = false;
    if (m_s.normalPreviewOn) {
        writeLog(QStringLiteral("关闭普通预览!"));
        m_s.normalPreviewOn = false;
        writeLog(QStringLiteral("释放普通预览资源!"));
    }
    if (m_s.edgePreviewOn) {
        if (m_s.cameraDevice) {
            m_s.cameraDevice = nullptr;
            writeLog(QStringLiteral("释放寻边对象!"));
        }
        m_s.edgePreviewOn = false;
    }
    writeLog(QStringLiteral("关闭预览!"));
    return 0;
}

void CMorvelQxWebCtrl::ConfigCameraFilter() {
    // Neither a camera-library device nor a capture element exists without a preview: nothing to show.
}

void CMorvelQxWebCtrl::setRotate(int) {
    // Only a running normal preview has a rotate element to pass the angle to.
}

bool CMorvelQxWebCtrl::saveGrabbedFrame() {
    // Without a preview no frame has been copied into the frame store.
    return false;
}

} // namespace qx::control

// The control's cameras: the enumerated role names, the capture sizes of a camera, and the selection.
#pragma once

#include "qx/media/camera_roles.h"
#include "qx/media/devices.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace qx::control {

class ControlContext;

// The name table holds one slot for every camera the role rule can count, so no counted camera can
// index past it.
inline constexpr int kDeviceSlots = static_cast<int>(media::kMaxCountedCameras);
inline constexpr int kResolutionSlots = 15;

class Cameras {
public:
    explicit Cameras(ControlContext& control) : m_control(control) {}

    int RefreshDevList();
    QString GetDevNameByIdx(short idx) const;
    short SetDevNameSel(short cursel);
    int RefreshResolution(short DevNameSel);
    QString GetResolutionByIdx(short idx) const;
    short SetResolution(short resolutionSel);

    // Whether any camera the role rule counts is attached now.
    bool cameraPresent();
    // The counted camera `n` (the role rule's counting), with the log lines of a failed binding.
    // `bindFailed` tells a failed binding operation from a count with no camera behind it.
    std::optional<media::VideoDevice> bindCamera(int n, bool* bindFailed = nullptr);

    // A preview starts at the selected size (the first one when the selection is out of range): it
    // becomes the capture size.
    void useSelectedSize();
    int captureWidth() const { return m_captureWidth; }
    int captureHeight() const { return m_captureHeight; }

    int deviceCount() const { return m_deviceCount; }
    int selectedDevice() const { return m_selectedDevice; }
    int mainCameraIndex() const { return m_mainCameraIndex; }
    int auxCameraIndex() const { return m_auxCameraIndex; }
    int cashCameraIndex() const { return m_cashCameraIndex; }
    bool mainCameraSelected() const { return m_selectedDevice >= 0 && m_selectedDevice == m_mainCameraIndex; }
    int resolutionCount() const { return m_resolutionCount; }
    int selectedResolution() const { return m_selectedResolution; }

private:
    // The machine's video inputs in enumeration order, or nothing when the enumeration cannot be made.
    std::optional<std::vector<media::VideoDevice>> videoDevices();

    ControlContext& m_control;

    std::array<QString, kDeviceSlots> m_deviceNames;
    int m_deviceCount = 0;
    int m_selectedDevice = -1;
    int m_mainCameraIndex = -1;
    int m_auxCameraIndex = -1;
    int m_cashCameraIndex = -1;

    std::array<QString, kResolutionSlots> m_resolutionNames;
    int m_resolutionCount = 0;
    int m_selectedResolution = -1;
    std::array<int32_t, kResolutionSlots> m_resolutionWidths{};
    std::array<int32_t, kResolutionSlots> m_resolutionHeights{};

    int m_captureWidth = 0;
    int m_captureHeight = 0;
};

} // namespace qx::control

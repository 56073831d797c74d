// The edge-finding preview: the camera library's device for the selected camera and its options.
#pragma once

#include "control/capture/edge_window.h"

#include <QString>
#include <array>
#include <cstdint>

namespace qx::control {

class Cameras;
class ControlContext;
class PreviewSurface;
using kelpo::KelpoDevice;

inline constexpr int kCameraModelSlots = 3;

class EdgePreview {
public:
    EdgePreview(ControlContext& control, Cameras& cameras, PreviewSurface& surface);

    // The model ids of the cameras the library reports (creation step); the table keeps three, further
    // models are not addressable by the control and are ignored.
    void readCameraModels();

    void KelpoCapturePlay();
    void ManualToAuto();
    void DisableCrop();
    void SetCropMargin(short range);
    void SetOutPutDPI(short x, short y);
    // The device's settings pages; false when no device exists.
    bool showSettings();

    // Stops and deletes the device, logging `logLine` when there was one; the preview is off after.
    void release(const QString& logLine);

    KelpoDevice* device() const { return m_device; }
    bool isOn() const { return m_on; }
    int cameraModelCount() const { return m_modelCount; }
    const std::array<int32_t, kCameraModelSlots>& cameraModelIds() const { return m_modelIds; }

private:
    ControlContext& m_control;
    Cameras& m_cameras;
    PreviewSurface& m_surface;
    EdgePreviewWindow m_window;
    KelpoDevice* m_device = nullptr;
    bool m_on = false;
    int m_modelCount = 0;
    std::array<int32_t, kCameraModelSlots> m_modelIds{};
};

} // namespace qx::control

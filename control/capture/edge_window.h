// The window the camera library's device draws into: the control's preview surface and its UI host.
#pragma once

#include "qx/interface/kelpo_device.h"

namespace qx::control {

class ControlContext;
class PreviewSurface;

class EdgePreviewWindow final : public kelpo::KelpoPreviewWindow {
public:
    EdgePreviewWindow(ControlContext& control, PreviewSurface& surface)
        : m_control(control), m_surface(surface) {}
    virtual ~EdgePreviewWindow() = default;

    void presentFrame(const uint8_t* bgr, int width, int height, int stride,
                      const kelpo::OutlinePoint* outline) override;
    void showSettings(media::CameraControls* controls, const char* cameraName) override;

private:
    ControlContext& m_control;
    PreviewSurface& m_surface;
};

} // namespace qx::control

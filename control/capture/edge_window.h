// The window the camera library's device draws into: the control's preview surface and its UI host.
#pragma once

#include "qx/interface/kelpo_device.h"

namespace qx::control {

class CMorvelQxWebCtrl;

class EdgePreviewWindow final : public kelpo::KelpoPreviewWindow {
public:
    explicit EdgePreviewWindow(CMorvelQxWebCtrl* control) : m_control(control) {}
    virtual ~EdgePreviewWindow() = default;

    void presentFrame(const uint8_t* bgr, int width, int height, int stride,
                      const kelpo::OutlinePoint* outline) override;
    void showSettings(media::CameraControls* controls, const char* cameraName) override;

private:
    CMorvelQxWebCtrl* m_control;
};

} // namespace qx::control

// The edge-finding preview's start and its option methods, which all act on the camera-library device.
#include "control/core/control.h"
#include "control/core/outside_libraries.h"

namespace qx::control {

void CMorvelQxWebCtrl::KelpoCapturePlay() {
    if (m_s.edgePreviewOn && !m_s.cameraDevice)
        m_s.edgePreviewOn = false;
    writeLog(QStringLiteral("启动寻边预览!"));
    if (m_s.selectedResolution >= 0 && m_s.selectedResolution < kResolutionSlots) {
        m_s.captureWidth = m_s.resolutionWidths[static_cast<std::size_t>(m_s.selectedResolution)];
        m_s.captureHeight = m_s.resolutionHeights[static_cast<std::size_t>(m_s.selectedResolution)];
    } else {
        // Never filled size tables give 0 x 0, as a preview started before any size refresh does.
        m_s.captureWidth = m_s.resolutionWidths[0];
        m_s.captureHeight = m_s.resolutionHeights[0];
    }
    // Creating a device needs a counted camera and the camera library's device operations; without a
    // device nothing else happens.
}

// Each option acts on the camera-library device only; none exists while no device can be created.
void CMorvelQxWebCtrl::ManualToAuto() {}

void CMorvelQxWebCtrl::DisableCrop() {}

void CMorvelQxWebCtrl::SetCropMargin(short) {}

void CMorvelQxWebCtrl::SetOutPutDPI(short, short) {}

} // namespace qx::control

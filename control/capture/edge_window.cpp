// Frames of the edge-finding preview go to the same surface as the normal preview's.
#include "control/capture/edge_window.h"

#include "control/capture/preview_surface.h"
#include "control/core/control_context.h"
#include "control/ui/camera_settings_dialog.h"
#include "qx/interface/ui_host.h"

namespace qx::control {

void EdgePreviewWindow::presentFrame(const uint8_t* bgr, int width, int height, int stride,
                                     const kelpo::OutlinePoint* outline) {
    media::FrameView frame{bgr, width, height, stride};
    QPolygonF polygon;
    if (outline)
        for (int i = 0; i < 4; ++i)
            polygon << QPointF(outline[i].x, outline[i].y);
    m_surface.offer(frame, m_control.controlWindow(), outline ? &polygon : nullptr);
}

void EdgePreviewWindow::showSettings(media::CameraControls* controls, const char* cameraName) {
    if (!controls)
        return;
    CameraSettingsDialog dialog(controls, QString::fromUtf8(cameraName ? cameraName : ""),
                                m_control.controlWindow());
    m_control.uiHost().runDialog(&dialog, QStringLiteral("camera-settings"),
                                 [&dialog](const QVariant& answer) { dialog.apply(answer.toMap()); });
}

} // namespace qx::control

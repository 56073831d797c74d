// The settings dialog of a camera's adjustable picture controls.
#pragma once

#include "qx/media/camera_controls.h"

#include <QDialog>
#include <QVariantMap>

namespace qx::control {

class CameraSettingsDialog : public QDialog {
public:
    // `controls` is borrowed for the dialog's lifetime; changes apply at once, as a camera's own
    // property pages do.
    CameraSettingsDialog(media::CameraControls* controls, const QString& cameraName, QWidget* parent);

    // Sets controls by name (compared without regard to case), as a user would with the sliders.
    void apply(const QVariantMap& values);

private:
    media::CameraControls* m_controls;
};

} // namespace qx::control

// VideoRecord: the video recording window of the auxiliary camera.
#pragma once

#include <QString>

class QWidget;

namespace qx::control {

class ControlContext;

// Whether a video recording runs in the process; RefreshDevList copies it into bIsRecord.
extern bool recordingActive;

class Recording {
public:
    explicit Recording(ControlContext& control) : m_control(control) {}
    ~Recording();

    int VideoRecord(const QString& VideoPath);
    // Destroys the recording window, if one exists; true when there was one.
    bool closeWindow();

private:
    ControlContext& m_control;
    QWidget* m_videoDialog = nullptr;
};

} // namespace qx::control

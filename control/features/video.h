// VideoRecord: the video recording window of the auxiliary camera.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

namespace qx::control {

class Cameras;
class ControlContext;
class CVideoDlg;
class NormalPreview;

// Whether the recording window's camera runs in the process (its live picture or a recording);
// VideoRecord and RefreshDevList copy it into bIsRecord.
extern bool recordingActive;

class Recording {
public:
    Recording(ControlContext& control, Cameras& cameras, NormalPreview& preview);
    ~Recording();

    int VideoRecord(const QString& VideoPath);
    // Destroys the recording window, a recording in it ended properly; true when there was one.
    bool closeWindow();
    // The recording window, null before the first VideoRecord.
    CVideoDlg* window() const;

private:
    ControlContext& m_control;
    Cameras& m_cameras;
    NormalPreview& m_preview;
    QPointer<QDialog> m_videoDialog; // a CVideoDlg
};

} // namespace qx::control

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
class ProcessModes;

class Recording {
public:
    Recording(ControlContext& control, ProcessModes& modes, Cameras& cameras, NormalPreview& preview);
    ~Recording();

    // Opens the recording window on `folder` (its files' folder) with ASF's video bit rate.
    int VideoRecord(const QString& folder, int asfBitRate);
    // Destroys the recording window, a recording in it ended properly; true when there was one.
    bool closeWindow();
    // The recording window, null before the first VideoRecord.
    CVideoDlg* window() const;

private:
    ControlContext& m_control;
    ProcessModes& m_modes;
    Cameras& m_cameras;
    NormalPreview& m_preview;
    QPointer<QDialog> m_videoDialog; // a CVideoDlg
};

} // namespace qx::control

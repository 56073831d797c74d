// VideoRecord: the video recording window of the auxiliary camera, and its recorder.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>
#include <memory>

namespace qx::control {

class Cameras;
class ControlContext;
class CVideoDlg;
class NormalPreview;
class ProcessModes;
class Recorder;

// Each VideoRecord makes a fresh pair: the recorder (the recording itself) and the window that
// shows it. The window goes before its recorder, as the window's picture area is where the
// recorder's pipeline paints.
class Recording {
public:
    Recording(ControlContext& control, ProcessModes& modes, Cameras& cameras, NormalPreview& preview);
    ~Recording();

    // Opens the recording window on `folder` (its files' folder) with ASF's video bit rate.
    int VideoRecord(const QString& folder, int asfBitRate);
    // Destroys the recording window and its recorder, a recording ended properly; true when there
    // was one.
    bool closeWindow();
    // The recording window, null before the first VideoRecord.
    CVideoDlg* window() const;
    // The recorder of the window, null before the first VideoRecord.
    Recorder* recorder() const { return m_recorder.get(); }

private:
    ControlContext& m_control;
    ProcessModes& m_modes;
    Cameras& m_cameras;
    NormalPreview& m_preview;
    std::unique_ptr<Recorder> m_recorder;
    QPointer<QDialog> m_videoDialog; // a CVideoDlg
};

} // namespace qx::control

// The normal preview: the GStreamer pipeline of the selected camera, its frame grabbing and StopPreview.
#pragma once

#include "control/capture/frame_grab.h"

#include <QString>
#include <memory>

namespace qx::media {
class PreviewPipeline;
}

namespace qx::control {

class Cameras;
class ControlContext;
class EdgePreview;
class PreviewSurface;
class ProcessModes;

class NormalPreview {
public:
    NormalPreview(ControlContext& control, ProcessModes& modes, Cameras& cameras, EdgePreview& edge,
                  PreviewSurface& surface);
    ~NormalPreview();

    int StartPreviewProc();
    // Stops whichever preview runs (the normal one and the edge-finding one) and releases its objects.
    int StopPreview();
    void ConfigCameraFilter();
    void setRotate(int angle);

    // The next frame of the running preview, waited for with events flowing at most `timeoutMs`;
    // nothing when none came (or the preview stopped meanwhile).
    std::optional<imaging::Picture> grabNext(int timeoutMs) { return m_grab.next(timeoutMs); }
    // Gives a grabbed picture's memory back for the next grab.
    void recycle(imaging::Picture&& used) { m_grab.recycle(std::move(used)); }

    bool isOn() const { return m_on; }
    bool previewing() const { return m_previewing; }
    bool capturePending() const { return m_grab.pending(); }

private:
    bool buildPreview();

    ControlContext& m_control;
    ProcessModes& m_modes;
    Cameras& m_cameras;
    EdgePreview& m_edge;
    PreviewSurface& m_surface;
    // Declared before the pipeline, so the pipeline's streaming thread is gone before the grab it
    // hands frames to.
    FrameGrab m_grab;
    std::unique_ptr<media::PreviewPipeline> m_pipeline;
    QString m_boundCameraName;
    bool m_on = false;
    bool m_previewing = false;
};

} // namespace qx::control

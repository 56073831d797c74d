// The normal preview: the GStreamer pipeline of the selected camera, its frame grabbing and StopPreview.
#pragma once

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

class NormalPreview {
public:
    NormalPreview(ControlContext& control, Cameras& cameras, EdgePreview& edge, PreviewSurface& surface);
    ~NormalPreview();

    int StartPreviewProc();
    // Stops whichever preview runs (the normal one and the edge-finding one) and releases its objects.
    int StopPreview();
    void ConfigCameraFilter();
    void setRotate(int angle);

    // The private messages of the frame-grabbing path, as the control window receives them.
    void onFrameCopied();
    void onFrameSaved();

    enum class Grab { Saved, SaveFailed, TimedOut };
    // Asks the streaming thread for the next frame and waits, with events flowing, until it is saved
    // as a BMP in `folder` (its path is then in cPicName), its file could not be written, or
    // `timeoutMs` passed without a frame.
    Grab grabFrame(const QString& folder, int timeoutMs);

    bool isOn() const { return m_on; }
    bool previewing() const { return m_previewing; }
    bool capturePending() const { return m_capturePending; }

private:
    bool buildPreview();

    ControlContext& m_control;
    Cameras& m_cameras;
    EdgePreview& m_edge;
    PreviewSurface& m_surface;
    std::unique_ptr<media::PreviewPipeline> m_pipeline;
    QString m_boundCameraName;
    bool m_on = false;
    bool m_previewing = false;
    bool m_capturePending = false;
    bool m_saveFailed = false;
};

} // namespace qx::control

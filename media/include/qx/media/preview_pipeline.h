// The normal preview: camera source, capture format, rotation, BGR conversion and the frame grabber.
#pragma once

#include "qx/media/camera_controls.h"
#include "qx/media/devices.h"
#include "qx/media/gst_util.h"

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace qx::media {

// A frame as the grabber sees it: 24-bit BGR, rows top-down with `stride` bytes each. Valid only
// during the callback.
struct FrameView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// Where building or running the preview stopped.
enum class PreviewStep {
    Ok,
    Pipeline,     // the pipeline could not be made
    Bind,         // no camera to bind
    AddCamera,    // the camera source could not be made or added
    RotateCreate, // videoflip missing
    RotateAdd,
    GrabberCreate, // appsink missing
    GrabberType,   // the BGR caps could not be set
    GrabberAdd,
    FormatConfig,    // the capture-format element is missing or cannot be added
    FormatNoFormats, // the camera reports no formats
    FormatSet,       // the camera does not offer the size as YUY2
    Link,            // elements could not be linked
    MediaType,       // no frame format was negotiated in time
    Run,             // the pipeline refused to play or reported an error
};

// Virtual cameras can be held by one preview at a time, as a V4L2 device streams to one reader; the
// lease is taken when a preview runs and given back when it stops.
bool acquireCameraLease(const QString& devicePath);
void releaseCameraLease(const QString& devicePath);

class PreviewPipeline {
public:
    // Called on the streaming thread for every frame.
    using FrameCallback = std::function<void(const FrameView&)>;

    PreviewPipeline();
    ~PreviewPipeline();
    PreviewPipeline(const PreviewPipeline&) = delete;
    PreviewPipeline& operator=(const PreviewPipeline&) = delete;

    // Builds the pipeline for `device` at `width` x `height` (YUY2, the highest frame rate there).
    PreviewStep build(const VideoDevice& device, int width, int height, FrameCallback callback);
    // Plays it and waits (bounded) until frames flow and their format is known.
    PreviewStep run();
    // Stops and releases every element. Safe to call more than once.
    void stop();

    // From a run() that succeeded until stop(), or until the stream fails (an error or the end of the
    // stream on the bus, as when the camera is unplugged). Asked on the thread that owns the pipeline.
    bool isRunning() const;
    // 0, 90, 180, 270; false (and nothing changes) for any other angle.
    bool setRotation(int angle);
    int frameWidth() const { return m_frameWidth.load(); }
    int frameHeight() const { return m_frameHeight.load(); }
    // The camera's adjustable controls, or null when it has none.
    CameraControls* controls() const { return m_controls.get(); }
    // The text of the error that failed the stream or the run, for the log.
    QString lastError() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    std::shared_ptr<CameraControls> m_controls;
    std::atomic<int> m_frameWidth{0};
    std::atomic<int> m_frameHeight{0};
    bool m_running = false;
};

} // namespace qx::media

// Live frames for a container that shows the preview somewhere else than the control's window.
#pragma once

#include <QImage>
#include <QObject>
#include <functional>

namespace qx {

// Frames are handed over on demand: the control copies the next frame only after a request, so a
// consumer that asks again once it has passed the previous frame on gets frames at its own pace and
// the preview pays nothing while nobody asks.
class QxPreviewTap {
public:
    // Called on a streaming thread with a copy of one frame (24-bit, the camera's size as rotated
    // for the preview). It must return quickly: the preview waits for it.
    using Sink = std::function<void(QImage frame)>;

    virtual ~QxPreviewTap() = default;
    // Replaces the consumer; an empty sink detaches it. Returns after any running call of the old one.
    virtual void setPreviewSink(Sink sink) = 0;
    // Thread-safe: the next frame of whichever preview runs goes to the sink, once.
    virtual void requestPreviewFrame() = 0;
};

} // namespace qx

#define QxPreviewTap_iid "QXCAMERA.QxPreviewTap/1.0"
Q_DECLARE_INTERFACE(qx::QxPreviewTap, QxPreviewTap_iid)

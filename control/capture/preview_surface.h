// The picture of the running preview as the control paints it: the latest frame, scaled to the window.
#pragma once

#include "qx/media/preview_pipeline.h"

#include <QImage>
#include <QObject>
#include <QPolygonF>
#include <QSize>
#include <atomic>
#include <mutex>

namespace qx::control {

class FrameWatch;
class PreviewTap;

class PreviewSurface {
public:
    // Every frame offered is also offered to `tap` and `watch` (borrowed, may be null), whatever the
    // window paints.
    explicit PreviewSurface(PreviewTap* tap = nullptr, FrameWatch* watch = nullptr)
        : m_tap(tap), m_watch(watch) {}

    // Streaming thread: keeps a copy of the frame scaled to the target size and asks `owner` to repaint,
    // unless the previous frame has not been taken yet (frames are dropped, never queued).
    // `outline` (four points in frame pixels, or null) is drawn over the picture.
    void offer(const media::FrameView& frame, QObject* owner, const QPolygonF* outline = nullptr);
    // Control thread.
    void setTargetSize(QSize size);
    // Whether the window that paints the frames is on screen. A hidden one (a container that only
    // taps the frames) gets none: scaling and repainting them would only cost its thread time.
    void setShown(bool shown) { m_shown = shown; }
    QImage take(); // the latest frame; marks it painted
    QImage latest() const;
    QPolygonF outline() const; // of the latest frame, in its pixels; empty when none
    void clear();

private:
    PreviewTap* m_tap;
    FrameWatch* m_watch;
    mutable std::mutex m_mutex;
    QImage m_frame;
    QPolygonF m_outline;
    QSize m_target{640, 480};
    std::atomic<bool> m_pending{false};
    std::atomic<bool> m_shown{false};
};

} // namespace qx::control

// One frame of the normal preview handed from the streaming thread to a capture on the control thread.
#pragma once

#include "qx/imaging/picture.h"
#include "qx/media/preview_pipeline.h"

#include <QObject>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

class QEventLoop;

namespace qx::control {

// Owned by the normal preview, living on the control thread.
//
// Threads: offer() runs on the streaming thread for every frame; next(), cancel() and the wake-up
// run on the control thread. The mutex guards the request and the picture; the wake-up is a queued
// call onto this object, so it reaches the control thread's waiting loop and nothing else.
class FrameGrab : public QObject {
public:
    FrameGrab() = default;

    // Asks for the next frame and waits for it, with the container's events flowing, at most
    // `timeoutMs`: the frame as a 24-bit top-down picture (B, G, R rows padded to 4 bytes, no
    // resolution), or nothing when none came in time or the grab was cancelled.
    std::optional<imaging::Picture> next(int timeoutMs);
    // Ends a waiting next() without a frame (the preview stopped), and drops a pending request.
    void cancel();
    bool pending() const { return m_requested.load(); }
    // Hands back a picture next() gave, once it is no longer needed: the next frame is copied into its
    // memory, which is already mapped, instead of megabytes of fresh pages.
    void recycle(imaging::Picture&& used);

    // Streaming thread: copies the frame when one is asked for, once per request.
    void offer(const media::FrameView& frame);

private:
    void wake(std::uint64_t generation);

    std::mutex m_mutex;
    std::atomic<bool> m_requested{false};
    std::optional<imaging::Picture> m_picture; // the copied frame, until next() takes it
    std::vector<uint8_t> m_spare;              // memory of a recycled picture
    std::uint64_t m_generation = 0;            // of the latest request; under the mutex
    QEventLoop* m_waiting = nullptr;           // control thread only
};

} // namespace qx::control

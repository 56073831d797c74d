// The frame a capture asks the normal preview for: copied on the streaming thread, waited for on the
// control thread.
#include "control/capture/frame_grab.h"

#include <QEventLoop>
#include <QTimer>
#include <cstring>

namespace qx::control {

std::optional<imaging::Picture> FrameGrab::next(int timeoutMs) {
    {
        std::lock_guard lock(m_mutex);
        m_picture.reset();
        ++m_generation;
        m_requested = true;
    }
    QEventLoop loop;
    m_waiting = &loop;
    // The wait is bounded, so a preview that stopped delivering cannot hang the caller.
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    bool arrived = false;
    {
        std::lock_guard lock(m_mutex);
        arrived = m_picture.has_value();
    }
    if (!arrived)
        loop.exec();
    m_waiting = nullptr;
    std::lock_guard lock(m_mutex);
    m_requested = false;
    return std::exchange(m_picture, std::nullopt);
}

void FrameGrab::cancel() {
    {
        std::lock_guard lock(m_mutex);
        m_requested = false;
        m_picture.reset();
    }
    if (m_waiting)
        m_waiting->quit();
}

void FrameGrab::offer(const media::FrameView& frame) {
    if (!m_requested.load() || !frame.data || frame.width <= 0 || frame.height <= 0)
        return;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (!m_requested.load())
            return;
        imaging::Picture p;
        p.width = frame.width;
        p.height = frame.height;
        p.bitsPerPixel = 24;
        p.stride = (frame.width * 3 + 3) & ~3;
        const std::size_t rowBytes = static_cast<std::size_t>(frame.width) * 3;
        p.pixels = std::move(m_spare);
        p.pixels.resize(static_cast<std::size_t>(p.stride) * static_cast<std::size_t>(frame.height));
        for (int y = 0; y < frame.height; ++y) {
            uint8_t* dst = p.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(p.stride);
            std::memcpy(dst,
                        frame.data + static_cast<std::size_t>(y) * static_cast<std::size_t>(frame.stride),
                        rowBytes);
            std::memset(dst + rowBytes, 0, static_cast<std::size_t>(p.stride) - rowBytes);
        }
        m_picture = std::move(p);
        // One request yields one frame.
        m_requested = false;
        generation = m_generation;
    }
    QMetaObject::invokeMethod(
        this, [this, generation] { wake(generation); }, Qt::QueuedConnection);
}

void FrameGrab::recycle(imaging::Picture&& used) {
    std::lock_guard lock(m_mutex);
    if (used.pixels.capacity() > m_spare.capacity())
        m_spare = std::move(used.pixels);
}

void FrameGrab::wake(std::uint64_t generation) {
    // A wake-up of an earlier request (its frame came before the wait began) ends no later wait.
    if (m_waiting && generation == m_generation)
        m_waiting->quit();
}

} // namespace qx::control

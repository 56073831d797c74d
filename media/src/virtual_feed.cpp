// The virtual camera's stream: live pacing, the stall and unplug faults, and frame time stamps.
#include "virtual_feed.h"

#include <thread>

namespace qx::media {

void VirtualFeed::attach(GstElement* appsrc, std::shared_ptr<VirtualCamera> camera, int width, int height,
                         int rateNum, int rateDen, GstCaps* caps) {
    m_camera = std::move(camera);
    m_generator = std::make_unique<VirtualCamera::Generator>(*m_camera, width, height);
    m_rateNum = rateNum > 0 ? rateNum : 30;
    m_rateDen = rateNum > 0 ? rateDen : 1;
    m_frameNumber = 0;
    m_unplugPosted = false;
    m_stopping = false;
    g_object_set(appsrc, "caps", caps, "is-live", TRUE, "format", GST_FORMAT_TIME, "max-buffers", guint64{2},
                 "block", FALSE, nullptr);
    GstAppSrcCallbacks callbacks{};
    callbacks.need_data = &VirtualFeed::needData;
    gst_app_src_set_callbacks(GST_APP_SRC(appsrc), &callbacks, this, nullptr);
}

void VirtualFeed::reset() {
    m_generator.reset();
    m_camera.reset();
}

void VirtualFeed::needData(GstAppSrc* src, guint, gpointer self) {
    static_cast<VirtualFeed*>(self)->pushFrame(src);
}

void VirtualFeed::pushFrame(GstAppSrc* src) {
    if (m_stopping || !m_generator)
        return;
    // The faults act right after the frame they follow, before the wait for the next one. On a tie
    // the unplug acts: the stream ends either way, and the unplug is the fault that says so.
    const VirtualCameraSpec& spec = m_camera->spec();
    if (m_camera->unplugged() || (spec.unplugAfter && m_frameNumber >= *spec.unplugAfter)) {
        unplug(src);
        return;
    }
    // A hung camera: nothing is pushed, so appsrc waits for data that does not come, until the
    // pipeline stops and flushes it.
    if (spec.stallAfter && m_frameNumber >= *spec.stallAfter)
        return;
    // Live pacing: one frame per frame interval, waiting in short steps so a stop is not held up.
    const auto interval = std::chrono::nanoseconds(1000000000LL * m_rateDen / m_rateNum);
    auto now = std::chrono::steady_clock::now();
    if (m_frameNumber == 0)
        m_nextFrame = now;
    while (now < m_nextFrame && !m_stopping) {
        std::this_thread::sleep_for(
            std::min<std::chrono::nanoseconds>(m_nextFrame - now, std::chrono::milliseconds(20)));
        now = std::chrono::steady_clock::now();
    }
    if (m_stopping)
        return;
    m_nextFrame += interval;
    if (m_nextFrame < now)
        m_nextFrame = now; // fell behind: do not burst to catch up
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, m_generator->frameBytes(), nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return;
    }
    m_generator->frame(m_frameNumber, map.data);
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(m_frameNumber, GST_SECOND * m_rateDen, m_rateNum);
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND * m_rateDen, m_rateNum);
    ++m_frameNumber;
    gst_app_src_push_buffer(src, buffer);
}

// As a V4L2 source whose device is gone: an error on the bus, then the end of the stream so the
// streaming thread stops asking for frames. The camera is gone for every later enumeration.
void VirtualFeed::unplug(GstAppSrc* src) {
    if (m_unplugPosted)
        return;
    m_unplugPosted = true;
    m_camera->unplug();
    GST_ELEMENT_ERROR(src, RESOURCE, NOT_FOUND, ("Virtual camera was unplugged"),
                      ("after %" G_GUINT64_FORMAT " frames of this stream", m_frameNumber));
    gst_app_src_end_of_stream(src);
}

} // namespace qx::media

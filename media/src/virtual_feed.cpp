// The virtual camera's stream: live pacing, the stall and unplug faults, and frame time stamps.
#include "virtual_feed.h"

#include <thread>

namespace qx::media {

void VirtualFeed::attach(GstElement* appsrc, std::shared_ptr<VirtualCamera> camera, int width, int height,
                         int rateNum, int rateDen, GstCaps* caps) {
    m_camera = std::move(camera);
    m_width = width & ~1;
    m_height = height;
    m_generator.reset();
    m_file.reset();
    if (m_camera->spec().videoFile.isEmpty())
        m_generator = std::make_unique<VirtualCamera::Generator>(*m_camera, width, height);
    else
        m_file = std::make_unique<VideoFileDecoder>();
    m_endPosted = false;
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
    m_file.reset();
    m_camera.reset();
}

void VirtualFeed::needData(GstAppSrc* src, guint, gpointer self) {
    static_cast<VirtualFeed*>(self)->pushFrame(src);
}

void VirtualFeed::pushFrame(GstAppSrc* src) {
    if (m_stopping || (!m_generator && !m_file) || m_endPosted)
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
    GstBuffer* buffer =
        gst_buffer_new_allocate(nullptr, static_cast<std::size_t>(m_width) * m_height * 2, nullptr);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(buffer);
        return;
    }
    const bool made = makeFrame(src, map.data);
    gst_buffer_unmap(buffer, &map);
    if (!made) {
        gst_buffer_unref(buffer);
        return;
    }
    GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(m_frameNumber, GST_SECOND * m_rateDen, m_rateNum);
    GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND * m_rateDen, m_rateNum);
    ++m_frameNumber;
    gst_app_src_push_buffer(src, buffer);
}

bool VirtualFeed::makeFrame(GstAppSrc* src, uint8_t* out) {
    if (m_generator) {
        m_generator->frame(m_frameNumber, out);
        return true;
    }
    const VirtualCameraSpec& spec = m_camera->spec();
    // Opened here, on the streaming thread, so a slow start of the decoder holds up no caller; a file
    // that cannot be played fails the stream as a camera that cannot start does.
    if (m_frameNumber == 0 && !m_file->open(spec.videoFile, m_width, m_height, m_rateNum, m_rateDen)) {
        const QByteArray why = m_file->error().toUtf8();
        GST_ELEMENT_ERROR(src, RESOURCE, OPEN_READ, ("%s", why.constData()), (nullptr));
        endStream(src);
        return false;
    }
    switch (m_file->next(out, spec.loop)) {
    case VideoFileDecoder::Next::Frame:
        m_camera->adjust(out, static_cast<std::size_t>(m_width) * m_height * 2);
        return true;
    case VideoFileDecoder::Next::End:
        // As a camera whose stream has ended: the preview stops, and says why.
        endStream(src);
        return false;
    case VideoFileDecoder::Next::Failed:
        break;
    }
    const QByteArray why = m_file->error().toUtf8();
    GST_ELEMENT_ERROR(src, STREAM, DECODE, ("%s", why.constData()), (nullptr));
    endStream(src);
    return false;
}

void VirtualFeed::endStream(GstAppSrc* src) {
    m_endPosted = true;
    m_file->close();
    gst_app_src_end_of_stream(src);
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

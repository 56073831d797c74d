// The file-fed virtual camera's decoder: a pull pipeline over decodebin, rewound for a loop.
#include "video_file_decoder.h"

#include "stream_util.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <QFile>
#include <QFileInfo>
#include <cstring>

namespace qx::media {

namespace {
// Opening a file and finding its decoder takes well under a second; a file that is still not
// decoding after this is taken as undecodable rather than waited on forever.
constexpr GstClockTime kOpenTimeout = 10 * GST_SECOND;
constexpr GstClockTime kFrameTimeout = 5 * GST_SECOND;
} // namespace

VideoFileDecoder::~VideoFileDecoder() {
    close();
}

bool VideoFileDecoder::open(const QString& path, int width, int height, int rateNum, int rateDen) {
    close();
    m_path = path;
    m_width = width;
    m_height = height;
    m_error.clear();
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        m_error = QStringLiteral("Video file %1 cannot be read").arg(path);
        return false;
    }
    if (!ensureGstreamer()) {
        m_error = QStringLiteral("GStreamer cannot be initialised");
        return false;
    }
    // add-borders keeps the picture's aspect on black, as a scene picture is shown.
    GError* parseError = nullptr;
    GstElement* made = gst_parse_launch(
        "filesrc name=file ! decodebin ! videoconvert ! videoscale add-borders=true ! videorate ! "
        "capsfilter name=size ! appsink name=frames sync=false max-buffers=2 drop=false "
        "enable-last-sample=false",
        &parseError);
    if (!made || parseError) {
        m_error = QStringLiteral("The video file's pipeline cannot be made: %1")
                      .arg(parseError ? QString::fromUtf8(parseError->message) : QStringLiteral("unknown"));
        if (parseError)
            g_error_free(parseError);
        if (made)
            gst_object_unref(made);
        return false;
    }
    m_pipeline = adoptElement(made);
    GstElement* file = gst_bin_get_by_name(GST_BIN(made), "file");
    GstElement* size = gst_bin_get_by_name(GST_BIN(made), "size");
    m_sink = gst_bin_get_by_name(GST_BIN(made), "frames");
    const QByteArray location = QFile::encodeName(path);
    g_object_set(file, "location", location.constData(), nullptr);
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT,
                                        width, "height", G_TYPE_INT, height, "pixel-aspect-ratio",
                                        GST_TYPE_FRACTION, 1, 1, "framerate", GST_TYPE_FRACTION,
                                        rateNum > 0 ? rateNum : 30, rateNum > 0 ? rateDen : 1, nullptr);
    g_object_set(size, "caps", caps, nullptr);
    gst_caps_unref(caps);
    gst_object_unref(file);
    gst_object_unref(size);
    // The pipeline holds the sink; the reference gst_bin_get_by_name gave is not kept.
    gst_object_unref(m_sink);
    if (!preroll()) {
        close();
        return false;
    }
    return true;
}

bool VideoFileDecoder::preroll() {
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        const QString why = busError();
        m_error = QStringLiteral("Video file %1 cannot be played: %2").arg(m_path, why);
        return false;
    }
    GstState state = GST_STATE_NULL;
    const GstStateChangeReturn ret = gst_element_get_state(m_pipeline.get(), &state, nullptr, kOpenTimeout);
    if (ret == GST_STATE_CHANGE_FAILURE || ret == GST_STATE_CHANGE_ASYNC) {
        const QString why = busError();
        m_error = QStringLiteral("Video file %1 cannot be decoded: %2")
                      .arg(m_path, why.isEmpty() ? QStringLiteral("it does not start") : why);
        return false;
    }
    return true;
}

QString VideoFileDecoder::busError() {
    if (!m_pipeline)
        return {};
    GstBus* bus = gst_element_get_bus(m_pipeline.get());
    QString text;
    while (GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR)) {
        if (text.isEmpty())
            text = streamMessageText(msg, false);
        gst_message_unref(msg);
    }
    gst_object_unref(bus);
    return text;
}

VideoFileDecoder::Next VideoFileDecoder::pull(uint8_t* out) {
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(m_sink), kFrameTimeout);
    if (!sample) {
        if (gst_app_sink_is_eos(GST_APP_SINK(m_sink)))
            return Next::End;
        const QString why = busError();
        m_error = QStringLiteral("Video file %1 stopped decoding: %2")
                      .arg(m_path, why.isEmpty() ? QStringLiteral("no frame in time") : why);
        return Next::Failed;
    }
    GstVideoInfo info;
    GstVideoFrame frame;
    bool copied = false;
    if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
        GST_VIDEO_INFO_WIDTH(&info) == m_width && GST_VIDEO_INFO_HEIGHT(&info) == m_height &&
        gst_video_frame_map(&frame, &info, gst_sample_get_buffer(sample), GST_MAP_READ)) {
        const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const std::size_t rowBytes = static_cast<std::size_t>(m_width) * 2;
        for (int y = 0; y < m_height; ++y)
            std::memcpy(out + y * rowBytes, src + static_cast<std::ptrdiff_t>(y) * stride, rowBytes);
        gst_video_frame_unmap(&frame);
        copied = true;
    }
    gst_sample_unref(sample);
    if (!copied) {
        m_error = QStringLiteral("Video file %1 gave a frame of another format").arg(m_path);
        return Next::Failed;
    }
    return Next::Frame;
}

VideoFileDecoder::Next VideoFileDecoder::next(uint8_t* out, bool loop) {
    if (!m_pipeline) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Video file %1 is not open").arg(m_path);
        return Next::Failed;
    }
    const Next got = pull(out);
    if (got != Next::End || !loop)
        return got;
    // Back to the start: a flushing seek takes the sink out of its end of stream.
    if (!gst_element_seek_simple(m_pipeline.get(), GST_FORMAT_TIME,
                                 static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                 0)) {
        m_error = QStringLiteral("Video file %1 cannot be played again from its start").arg(m_path);
        return Next::Failed;
    }
    const Next again = pull(out);
    if (again == Next::End) {
        m_error = QStringLiteral("Video file %1 holds no frame").arg(m_path);
        return Next::Failed;
    }
    return again;
}

void VideoFileDecoder::close() {
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        m_pipeline.reset();
    }
    m_sink = nullptr;
}

} // namespace qx::media

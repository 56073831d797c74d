// Frame mapping and message texts shared by the preview and the recording pipeline.
#include "stream_util.h"

#include <gst/video/video.h>

namespace qx::media {

bool deliverFrame(GstSample* sample, const PreviewPipeline::FrameCallback& callback) {
    GstVideoInfo info;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstCaps* caps = gst_sample_get_caps(sample);
    GstVideoFrame frame;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps) ||
        !gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ))
        return false;
    FrameView view;
    view.data = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    view.width = GST_VIDEO_FRAME_WIDTH(&frame);
    view.height = GST_VIDEO_FRAME_HEIGHT(&frame);
    view.stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    if (callback)
        callback(view);
    gst_video_frame_unmap(&frame);
    return true;
}

QString streamMessageText(GstMessage* msg, bool withSource) {
    if (GST_MESSAGE_TYPE(msg) != GST_MESSAGE_ERROR)
        return QStringLiteral("The camera's stream ended");
    GError* err = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(msg, &err, &debug);
    QString text = QString::fromUtf8(err ? err->message : "unknown error");
    if (withSource && GST_MESSAGE_SRC(msg))
        text = QStringLiteral("%1 (%2)").arg(text, QString::fromUtf8(GST_OBJECT_NAME(GST_MESSAGE_SRC(msg))));
    g_clear_error(&err);
    g_free(debug);
    return text;
}

} // namespace qx::media

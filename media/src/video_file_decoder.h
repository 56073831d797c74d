// Decodes a video file into YUY2 frames of a camera's size and rate, for the file-fed virtual camera.
#pragma once

#include "qx/media/gst_util.h"

#include <QString>
#include <cstdint>

namespace qx::media {

// Owned by the virtual feed and used only on the streaming thread that asks for frames.
//
// The file is decoded by a pipeline of its own (filesrc ! decodebin ! videoconvert ! videoscale !
// videorate ! YUY2 at the camera's size and rate ! appsink) that runs only as fast as frames are
// taken: the feed's live pacing then plays the file at its own speed, one camera frame per frame
// interval of the file's time line, duplicating or dropping frames where the rates differ.
class VideoFileDecoder {
public:
    enum class Next { Frame, End, Failed };

    VideoFileDecoder() = default;
    ~VideoFileDecoder();
    VideoFileDecoder(const VideoFileDecoder&) = delete;
    VideoFileDecoder& operator=(const VideoFileDecoder&) = delete;

    // Starts decoding `path`; false with error() set when the file cannot be opened or decoded (a
    // missing file, no video stream, no decoder for it), waited for at most a few seconds.
    bool open(const QString& path, int width, int height, int rateNum, int rateDen);
    // Writes the next frame (width * height * 2 bytes of YUY2) into `out`. At the file's end: Frame
    // again from its start when `loop`, else End. Failed (error() set) when decoding broke off.
    Next next(uint8_t* out, bool loop);
    void close();
    const QString& error() const { return m_error; }

private:
    bool preroll();
    Next pull(uint8_t* out);
    // The first error on the decoder's bus, or an empty text.
    QString busError();

    ElementRef m_pipeline;
    GstElement* m_sink = nullptr; // owned by the pipeline
    QString m_path;
    int m_width = 0;
    int m_height = 0;
    QString m_error;
};

} // namespace qx::media

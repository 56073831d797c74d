// Feeds an appsrc with the frames of a virtual camera, paced as a live camera and failing as its
// faults say; shared by every pipeline that streams a virtual camera.
#pragma once

#include "qx/media/virtual_camera.h"
#include "video_file_decoder.h"

#include <gst/app/gstappsrc.h>

#include <atomic>
#include <chrono>
#include <memory>

namespace qx::media {

class VirtualFeed {
public:
    // Sets `appsrc` up as the camera's source of `width` x `height` YUY2 frames at `rateNum`/`rateDen`
    // (30/1 when unknown), with `caps` as its caps. The feed must outlive the streaming, so stop() it
    // before the source is released.
    void attach(GstElement* appsrc, std::shared_ptr<VirtualCamera> camera, int width, int height, int rateNum,
                int rateDen, GstCaps* caps);
    // No frame is made or waited for after this; a frame on its way is dropped.
    void stop() { m_stopping = true; }
    // Forgets the camera; only once the source no longer streams.
    void reset();

private:
    static void needData(GstAppSrc* src, guint, gpointer self);
    void pushFrame(GstAppSrc* src);
    void unplug(GstAppSrc* src);
    // Fills `out` with the next frame of the scene or the file; false when the stream ended or failed
    // (and was told so on the bus).
    bool makeFrame(GstAppSrc* src, uint8_t* out);
    void endStream(GstAppSrc* src);

    // Touched only by appsrc's streaming thread once playing.
    std::shared_ptr<VirtualCamera> m_camera;
    std::unique_ptr<VirtualCamera::Generator> m_generator; // the document scene, or ...
    std::unique_ptr<VideoFileDecoder> m_file;              // ... the video file, opened with the first frame
    int m_width = 0;
    int m_height = 0;
    bool m_endPosted = false;
    uint64_t m_frameNumber = 0;
    bool m_unplugPosted = false;
    int m_rateNum = 30;
    int m_rateDen = 1;
    std::chrono::steady_clock::time_point m_nextFrame;
    std::atomic<bool> m_stopping{false};
};

} // namespace qx::media

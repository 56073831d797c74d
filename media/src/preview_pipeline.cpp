// The preview pipeline: source ! capsfilter ! videoflip ! videoconvert ! appsink (BGR), with every
// element checked so a missing plugin fails the step it belongs to.
#include "qx/media/preview_pipeline.h"
#include "qx/media/v4l2_controls.h"
#include "qx/media/virtual_camera.h"
#include "stream_util.h"
#include "virtual_feed.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <chrono>
#include <condition_variable>
#include <set>

namespace qx::media {

namespace {
constexpr auto kFirstFrameTimeout = std::chrono::seconds(5);
constexpr guint kGrabberQueue = 2;

} // namespace

namespace {
std::mutex g_leaseMutex;
std::set<QString> g_leases;
} // namespace

bool acquireCameraLease(const QString& devicePath) {
    std::lock_guard lock(g_leaseMutex);
    return g_leases.insert(devicePath).second;
}

void releaseCameraLease(const QString& devicePath) {
    std::lock_guard lock(g_leaseMutex);
    g_leases.erase(devicePath);
}

struct PreviewPipeline::Impl {
    ElementRef pipeline;
    QString leaseKey; // set while this preview holds a virtual camera
    QString virtualPath;
    GstElement* source = nullptr; // owned by the pipeline
    GstElement* flip = nullptr;
    FrameCallback callback;
    PreviewPipeline* owner = nullptr;

    VirtualFeed feed;

    std::mutex mutex;
    std::condition_variable firstFrame;
    bool gotFrame = false;
    QString error;
    bool streamOver = false; // an error or the end of the stream was seen on the bus

    static GstFlowReturn newSample(GstAppSink* sink, gpointer self) {
        return static_cast<Impl*>(self)->onSample(sink);
    }

    GstFlowReturn onSample(GstAppSink* sink) {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_EOS;
        const bool delivered = deliverFrame(sample, [this](const FrameView& view) {
            owner->m_frameWidth = view.width;
            owner->m_frameHeight = view.height;
            if (callback)
                callback(view);
        });
        if (delivered) {
            {
                std::lock_guard lock(mutex);
                gotFrame = true;
            }
            firstFrame.notify_all();
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }

    // Makes and links the elements for `device`. Each element and caps is held here until the pipeline
    // holds it, so a failure at any step releases everything made so far.
    PreviewStep assemble(const VideoDevice& device, int width, int height,
                         std::shared_ptr<CameraControls>& controls) {
        if (!ensureGstreamer())
            return PreviewStep::Pipeline;
        pipeline = adoptElement(gst_pipeline_new("preview"));
        if (!pipeline)
            return PreviewStep::Pipeline;
        if (!device.virtualCamera && !device.device)
            return PreviewStep::Bind;
        GstBin* bin = GST_BIN(pipeline.get());

        source = addToBin(bin, device.virtualCamera
                                   ? makeElement("appsrc", "Cap")
                                   : adoptElement(gst_device_create_element(device.device.get(), "Cap")));
        if (!source)
            return PreviewStep::AddCamera;

        ElementRef madeFlip = makeElement("videoflip", "Rotate");
        if (!madeFlip)
            return PreviewStep::RotateCreate;
        flip = addToBin(bin, std::move(madeFlip));
        if (!flip)
            return PreviewStep::RotateAdd;

        ElementRef madeSink = makeElement("appsink", "Grabber");
        if (!madeSink)
            return PreviewStep::GrabberCreate;
        ElementRef madeConvert = makeElement("videoconvert", "Convert");
        const CapsRef bgr(gst_caps_from_string("video/x-raw,format=BGR"));
        if (!madeConvert || !bgr)
            return PreviewStep::GrabberType;
        // Large frames convert faster on both cores; the conversion is the preview's main cost.
        g_object_set(madeConvert.get(), "n-threads", 2u, nullptr);
        g_object_set(madeSink.get(), "caps", bgr.get(), "max-buffers", kGrabberQueue, "drop", TRUE, "sync",
                     FALSE, "emit-signals", FALSE, nullptr);
        GstElement* convert = addToBin(bin, std::move(madeConvert));
        GstElement* sink = convert ? addToBin(bin, std::move(madeSink)) : nullptr;
        if (!sink)
            return PreviewStep::GrabberAdd;

        ElementRef madeFormat = makeElement("capsfilter", "Format");
        if (!madeFormat)
            return PreviewStep::FormatConfig;
        GstElement* format = addToBin(bin, std::move(madeFormat));
        if (!format)
            return PreviewStep::FormatConfig;
        if (device.formats.empty())
            return PreviewStep::FormatNoFormats;
        const auto chosen = findYuy2Format(device, width, height);
        if (!chosen)
            return PreviewStep::FormatSet;
        const CapsRef caps(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width",
                                               G_TYPE_INT, width, "height", G_TYPE_INT, height, nullptr));
        if (chosen->rateNum > 0)
            gst_caps_set_simple(caps.get(), "framerate", GST_TYPE_FRACTION, chosen->rateNum, chosen->rateDen,
                                nullptr);
        g_object_set(format, "caps", caps.get(), nullptr);

        if (device.virtualCamera) {
            virtualPath = device.devicePath;
            feed.attach(source, device.virtualCamera, width, height, chosen->rateNum, chosen->rateDen,
                        caps.get());
            controls = std::shared_ptr<CameraControls>(device.virtualCamera, device.virtualCamera.get());
        } else if (!device.node.isEmpty()) {
            controls = V4l2Controls::open(device.node);
        }

        if (!gst_element_link_many(source, format, flip, convert, sink, nullptr))
            return PreviewStep::Link;

        GstAppSinkCallbacks sinkCallbacks{};
        sinkCallbacks.new_sample = &Impl::newSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &sinkCallbacks, this, nullptr);
        return PreviewStep::Ok;
    }

    // Takes errors and the end of the stream off the bus; true once either was seen since run(). The
    // first error (or the end) is kept for lastError().
    bool streamFailed() {
        if (!pipeline)
            return false;
        GstBus* bus = gst_element_get_bus(pipeline.get());
        while (GstMessage* msg = gst_bus_pop_filtered(
                   bus, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
            const QString text = streamMessageText(msg, false);
            gst_message_unref(msg);
            std::lock_guard lock(mutex);
            if (error.isEmpty())
                error = text;
            streamOver = true;
        }
        gst_object_unref(bus);
        std::lock_guard lock(mutex);
        return streamOver;
    }
};

PreviewPipeline::PreviewPipeline() : m_impl(std::make_unique<Impl>()) {
    m_impl->owner = this;
}

PreviewPipeline::~PreviewPipeline() {
    stop();
}

bool PreviewPipeline::isRunning() const {
    // A stream that failed after it ran (a camera unplugged, a device error) does not run any more,
    // though the pipeline is kept until stop().
    return m_running && !m_impl->streamFailed();
}

QString PreviewPipeline::lastError() const {
    m_impl->streamFailed(); // an error posted since it was last looked for
    std::lock_guard lock(m_impl->mutex);
    return m_impl->error;
}

PreviewStep PreviewPipeline::build(const VideoDevice& device, int width, int height, FrameCallback callback) {
    stop();
    Impl& d = *m_impl;
    const PreviewStep step = d.assemble(device, width, height, m_controls);
    if (step != PreviewStep::Ok) {
        // A half-made pipeline cannot run: nothing of it is kept.
        stop();
        return step;
    }
    d.callback = std::move(callback);
    return PreviewStep::Ok;
}

PreviewStep PreviewPipeline::run() {
    Impl& d = *m_impl;
    if (!d.pipeline)
        return PreviewStep::Run;
    {
        std::lock_guard lock(d.mutex);
        d.gotFrame = false;
        d.error.clear();
        d.streamOver = false;
    }
    if (!d.virtualPath.isEmpty()) {
        if (!acquireCameraLease(d.virtualPath)) {
            std::lock_guard lock(d.mutex);
            d.error = QStringLiteral("Device is busy: %1").arg(d.virtualPath);
            return PreviewStep::Run;
        }
        d.leaseKey = d.virtualPath;
    }
    if (gst_element_set_state(d.pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        d.streamFailed();
        return PreviewStep::Run;
    }
    // Negotiation happens once data flows: wait for the first frame, watching the bus for errors. A
    // frame counts even when the stream failed after it: the preview ran, and isRunning() tells the rest.
    const auto deadline = std::chrono::steady_clock::now() + kFirstFrameTimeout;
    for (;;) {
        const bool failed = d.streamFailed();
        std::unique_lock lock(d.mutex);
        if (d.gotFrame)
            break;
        if (failed)
            return PreviewStep::Run;
        if (d.firstFrame.wait_for(lock, std::chrono::milliseconds(50), [&] { return d.gotFrame; }))
            break;
        if (std::chrono::steady_clock::now() > deadline)
            return PreviewStep::MediaType;
    }
    m_running = true;
    return PreviewStep::Ok;
}

void PreviewPipeline::stop() {
    Impl& d = *m_impl;
    m_running = false;
    if (d.pipeline) {
        d.feed.stop();
        gst_element_set_state(d.pipeline.get(), GST_STATE_NULL);
        d.pipeline.reset();
    }
    if (!d.leaseKey.isEmpty()) {
        releaseCameraLease(d.leaseKey);
        d.leaseKey.clear();
    }
    d.virtualPath.clear();
    d.source = nullptr;
    d.flip = nullptr;
    d.feed.reset();
    d.callback = nullptr;
    m_controls.reset();
    m_frameWidth = 0;
    m_frameHeight = 0;
}

bool PreviewPipeline::setRotation(int angle) {
    GstVideoOrientationMethod method;
    switch (angle) {
    case 0:
        method = GST_VIDEO_ORIENTATION_IDENTITY;
        break;
    case 90:
        method = GST_VIDEO_ORIENTATION_90R;
        break;
    case 180:
        method = GST_VIDEO_ORIENTATION_180;
        break;
    case 270:
        method = GST_VIDEO_ORIENTATION_90L;
        break;
    default:
        return false;
    }
    if (!m_impl->flip)
        return false;
    g_object_set(m_impl->flip, "video-direction", method, nullptr);
    return true;
}

} // namespace qx::media

// camera ! [jpegenc for a virtual Motion JPEG camera] ! capsfilter ! tee name=SmartTee
//   SmartTee. ! queue (leaky) ! [jpegdec] ! videoconvert ! videoscale ! BGRx ! appsink    the live picture
//   SmartTee. ! queue ! [jpegenc] ! avimux ! filesink                                       AVI
//   SmartTee. ! queue ! videoconvert ! videorate ! avenc_wmv1 ! asfmux ! filesink            ASF, with
//   audio ! audioconvert ! audioresample ! S16 44100 2ch ! audiobuffersplit ! audioconvert ! avenc_wmav2 !
//   asfmux
#include "qx/media/recording_pipeline.h"

#include "qx/media/asf_header.h"

#include "qx/media/virtual_camera.h"
#include "stream_util.h"
#include "virtual_feed.h"

#include <gst/app/gstappsink.h>

#include <QFile>
#include <condition_variable>
#include <mutex>

namespace qx::media {

namespace {
constexpr auto kFirstFrameTimeout = std::chrono::seconds(5);

// The video encoder shifts its output by 1000 hours (room for decoding times before presentation
// times) and says so only in its segment; asfmux writes the buffers' own times, so the video would
// lie 1000 hours after the sound and no player would show it. This probe hands the muxer running
// times in a segment that starts at zero, as the sound already is.
GstPadProbeReturn toRunningTime(GstPad*, GstPadProbeInfo* info, gpointer data) {
    auto* segment = static_cast<GstSegment*>(data);
    if (info->type & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) != GST_EVENT_SEGMENT)
            return GST_PAD_PROBE_OK;
        gst_event_copy_segment(event, segment);
        GstSegment zero;
        gst_segment_init(&zero, GST_FORMAT_TIME);
        GstEvent* replaced = gst_event_new_segment(&zero);
        gst_event_set_seqnum(replaced, gst_event_get_seqnum(event));
        gst_event_unref(event);
        GST_PAD_PROBE_INFO_DATA(info) = replaced;
        return GST_PAD_PROBE_OK;
    }
    if ((info->type & GST_PAD_PROBE_TYPE_BUFFER) && segment->format == GST_FORMAT_TIME) {
        GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        auto running = [segment](GstClockTime t) -> GstClockTime {
            if (!GST_CLOCK_TIME_IS_VALID(t))
                return t;
            guint64 out = 0;
            return gst_segment_to_running_time_full(segment, GST_FORMAT_TIME, t, &out) > 0 ? out : 0;
        };
        GST_BUFFER_PTS(buffer) = running(GST_BUFFER_PTS(buffer));
        GST_BUFFER_DTS(buffer) = running(GST_BUFFER_DTS(buffer));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
    }
    return GST_PAD_PROBE_OK;
}

void probeRunningTime(GstElement* element) {
    GstPad* pad = gst_element_get_static_pad(element, "src");
    if (!pad)
        return;
    auto* segment = g_new0(GstSegment, 1);
    gst_segment_init(segment, GST_FORMAT_UNDEFINED);
    gst_pad_add_probe(
        pad, static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
        &toRunningTime, segment, g_free);
    gst_object_unref(pad);
}
} // namespace

struct RecordingPipeline::Impl {
    ElementRef pipeline;
    GstElement* tee = nullptr; // owned by the pipeline
    VirtualFeed feed;
    QString leaseKey;
    FrameCallback callback;
    bool recording = false;
    bool passThrough = false;
    QString asfPath;    // the ASF recording whose header gets its frame rate once it has ended
    QString finishNote; // why the last recording's header could not take it
    bool running = false;
    bool streamEnded = false;  // the end of the stream reached every sink already
    bool writerFailed = false; // the file cannot be written any more: no end of the stream will reach it

    std::mutex mutex;
    std::condition_variable firstFrame;
    bool gotFrame = false;
    QString error;

    static GstFlowReturn newSample(GstAppSink* sink, gpointer self) {
        return static_cast<Impl*>(self)->onSample(sink);
    }

    GstFlowReturn onSample(GstAppSink* sink) {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_EOS;
        if (deliverFrame(sample, callback)) {
            {
                std::lock_guard lock(mutex);
                gotFrame = true;
            }
            firstFrame.notify_all();
        }
        gst_sample_unref(sample);
        return GST_FLOW_OK;
    }

    bool newPipeline() {
        if (ensureGstreamer())
            pipeline = adoptElement(gst_pipeline_new("recording-window"));
        return static_cast<bool>(pipeline);
    }

    GstElement* add(ElementRef made) { return addToBin(GST_BIN(pipeline.get()), std::move(made)); }
    GstElement* add(const char* factory, const char* name) { return add(makeElement(factory, name)); }

    // The camera up to the tee, delivering `fourcc` at 640 x 480.
    RecordStep assembleCamera(const VideoDevice& camera, const VideoFormat& format, RecordStep addFailure) {
        if (!camera.virtualCamera && !camera.device)
            return RecordStep::Bind;
        GstElement* source =
            add(camera.virtualCamera
                    ? makeElement("appsrc", "CaptureFilter")
                    : adoptElement(gst_device_create_element(camera.device.get(), "CaptureFilter")));
        if (!source)
            return addFailure;
        const bool jpeg = format.fourcc == QLatin1String("MJPG");
        GstElement* last = source;
        if (camera.virtualCamera) {
            // A virtual camera makes YUY2; one that offers Motion JPEG compresses it as the camera's own
            // chip would, so the recording downstream sees what a real camera sends.
            const CapsRef raw(gst_caps_new_simple(
                "video/x-raw", "format", G_TYPE_STRING, "YUY2", "width", G_TYPE_INT, kWidth, "height",
                G_TYPE_INT, kHeight, "framerate", GST_TYPE_FRACTION, format.rateNum > 0 ? format.rateNum : 30,
                format.rateNum > 0 ? format.rateDen : 1, nullptr));
            feed.attach(source, camera.virtualCamera, kWidth, kHeight, format.rateNum, format.rateDen,
                        raw.get());
            if (jpeg) {
                GstElement* chip = add("jpegenc", "CameraJpeg");
                if (!chip || !gst_element_link(source, chip))
                    return addFailure;
                last = chip;
            }
        }
        GstElement* filter = add("capsfilter", "Format");
        if (!filter)
            return RecordStep::Objects;
        const CapsRef caps(jpeg ? gst_caps_new_simple("image/jpeg", "width", G_TYPE_INT, kWidth, "height",
                                                      G_TYPE_INT, kHeight, nullptr)
                                : gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "YUY2", "width",
                                                      G_TYPE_INT, kWidth, "height", G_TYPE_INT, kHeight,
                                                      nullptr));
        if (format.rateNum > 0)
            gst_caps_set_simple(caps.get(), "framerate", GST_TYPE_FRACTION, format.rateNum, format.rateDen,
                                nullptr);
        g_object_set(filter, "caps", caps.get(), nullptr);
        tee = add("tee", "SmartTee");
        if (!tee)
            return RecordStep::Objects;
        if (!gst_element_link(last, filter) || !gst_element_link(filter, tee))
            return RecordStep::Link;
        return RecordStep::Ok;
    }

    // tee ! queue ! [jpegdec] ! videoconvert ! videoscale ! BGRx at the display size ! appsink.
    bool assembleLive(bool jpeg, QSize display, bool& linked) {
        linked = false;
        GstElement* queue = add("queue", "PreviewQueue");
        GstElement* decode = jpeg ? add("jpegdec", "PreviewDecoder") : nullptr;
        GstElement* convert = add("videoconvert", "PreviewConvert");
        GstElement* scale = add("videoscale", "PreviewScale");
        GstElement* filter = add("capsfilter", "PreviewFormat");
        GstElement* sink = add("appsink", "Video Render");
        if (!queue || (jpeg && !decode) || !convert || !scale || !filter || !sink)
            return false;
        // The picture may lag or drop frames; the recording branch must never wait for it.
        g_object_set(queue, "leaky", 2 /* downstream */, "max-size-buffers", 2u, "max-size-bytes", 0u,
                     "max-size-time", guint64{0}, nullptr);
        const CapsRef bgrx(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width",
                                               G_TYPE_INT, std::max(2, display.width()), "height", G_TYPE_INT,
                                               std::max(2, display.height()), "pixel-aspect-ratio",
                                               GST_TYPE_FRACTION, 1, 1, nullptr));
        g_object_set(scale, "add-borders", TRUE, nullptr);
        g_object_set(filter, "caps", bgrx.get(), nullptr);
        g_object_set(sink, "max-buffers", 1u, "drop", TRUE, "sync", FALSE, "emit-signals", FALSE, nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &Impl::newSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, this, nullptr);
        GstElement* head = decode ? decode : convert;
        linked = gst_element_link(tee, queue) && gst_element_link(queue, head) &&
                 (!decode || gst_element_link(decode, convert)) &&
                 gst_element_link_many(convert, scale, filter, sink, nullptr);
        return true;
    }

    GstElement* fileWriter(const QString& path) {
        GstElement* sink = add("filesink", "FileWriter");
        if (sink)
            g_object_set(sink, "location", QFile::encodeName(path).constData(), "async", FALSE, nullptr);
        return sink;
    }

    RecordStep assembleAvi(bool cameraJpeg, const QString& path) {
        GstElement* queue = add("queue", "RecordQueue");
        if (!queue)
            return RecordStep::Objects;
        g_object_set(queue, "max-size-time", guint64{3 * GST_SECOND}, nullptr);
        GstElement* compress = nullptr;
        if (!cameraJpeg) {
            ElementRef made = makeElement("jpegenc", "compress");
            if (!made)
                return RecordStep::NoCompressor;
            compress = add(std::move(made));
            if (!compress)
                return RecordStep::AddCompressor;
        }
        GstElement* mux = add("avimux", "AviMux");
        GstElement* writer = mux ? fileWriter(path) : nullptr;
        if (!writer)
            return RecordStep::Output;
        const bool linked = gst_element_link(tee, queue) &&
                            (compress ? gst_element_link_many(queue, compress, mux, nullptr)
                                      : gst_element_link(queue, mux)) &&
                            gst_element_link(mux, writer);
        return linked ? RecordStep::Ok : RecordStep::RecordLink;
    }

    RecordStep assembleAsf(const RecordingRequest& request, const AudioInput& audio) {
        GstElement* mux = add("asfmux", "ASF Writer");
        GstElement* writer = mux ? fileWriter(request.path) : nullptr;
        if (!writer)
            return RecordStep::Output;

        ElementRef madeVideo[] = {
            makeElement("queue", "RecordQueue"),   makeElement("videoconvert", "YUY2toRGB32"),
            makeElement("videorate", "FrameRate"), makeElement("capsfilter", "VideoFormat"),
            makeElement("avenc_wmv1", "WMV1"),     makeElement("queue", "VideoQueue")};
        ElementRef madeAudio[] = {makeAudioSource(audio, "Audio Capture Filter"),
                                  makeElement("audioconvert", "AudioConvert"),
                                  makeElement("audioresample", "AudioResample"),
                                  makeElement("capsfilter", "AudioFormat"),
                                  makeElement("audiobuffersplit", "AudioSplit"),
                                  makeElement("audioconvert", "EncoderFormat"),
                                  makeElement("avenc_wmav2", "WMA2"),
                                  makeElement("queue", "AudioQueue")};
        for (const ElementRef& e : madeVideo)
            if (!e)
                return RecordStep::CreateConverter;
        for (const ElementRef& e : madeAudio)
            if (!e)
                return RecordStep::CreateConverter;
        const CapsRef frameRate(
            gst_caps_new_simple("video/x-raw", "framerate", GST_TYPE_FRACTION, kAsfFrameRate, 1, nullptr));
        g_object_set(madeVideo[0].get(), "max-size-time", guint64{3 * GST_SECOND}, nullptr);
        g_object_set(madeVideo[3].get(), "caps", frameRate.get(), nullptr);
        g_object_set(madeVideo[4].get(), "bitrate", request.videoBitRateKbps * 1000, nullptr);
        const CapsRef sound(gst_caps_new_simple(
            "audio/x-raw", "format", G_TYPE_STRING, "S16LE", "rate", G_TYPE_INT, kAudioRate, "channels",
            G_TYPE_INT, kAudioChannels, "layout", G_TYPE_STRING, "interleaved", nullptr));
        g_object_set(madeAudio[3].get(), "caps", sound.get(), nullptr);
        // WMA v2's encoder on this platform fails on buffers it did not expect: give it 10 ms each.
        gst_util_set_object_arg(G_OBJECT(madeAudio[4].get()), "output-buffer-duration", "1/100");
        // The encoder takes planar floats: the 16-bit samples are converted once they are split.
        g_object_set(madeAudio[6].get(), "bitrate", kAudioBitRate, nullptr);

        GstElement* video[std::size(madeVideo)];
        GstElement* sound2[std::size(madeAudio)];
        for (std::size_t i = 0; i < std::size(madeVideo); ++i)
            if (!(video[i] = add(std::move(madeVideo[i]))))
                return RecordStep::AddConverter;
        for (std::size_t i = 0; i < std::size(madeAudio); ++i)
            if (!(sound2[i] = add(std::move(madeAudio[i]))))
                return RecordStep::AddConverter;
        probeRunningTime(video[4]);
        bool linked = gst_element_link(tee, video[0]);
        for (std::size_t i = 0; linked && i + 1 < std::size(video); ++i)
            linked = gst_element_link(video[i], video[i + 1]);
        for (std::size_t i = 0; linked && i + 1 < std::size(sound2); ++i)
            linked = gst_element_link(sound2[i], sound2[i + 1]);
        linked = linked && gst_element_link(video[std::size(video) - 1], mux) &&
                 gst_element_link(sound2[std::size(sound2) - 1], mux) && gst_element_link(mux, writer);
        return linked ? RecordStep::Ok : RecordStep::RecordLink;
    }

    RecordStep run(const QString& devicePath, bool isVirtual) {
        {
            std::lock_guard lock(mutex);
            gotFrame = false;
            error.clear();
        }
        if (isVirtual) {
            if (!acquireCameraLease(devicePath)) {
                std::lock_guard lock(mutex);
                error = QStringLiteral("Device is busy: %1").arg(devicePath);
                return RecordStep::Bind;
            }
            leaseKey = devicePath;
        }
        if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
            keepError();
            return RecordStep::Run;
        }
        const auto deadline = std::chrono::steady_clock::now() + kFirstFrameTimeout;
        for (;;) {
            if (keepError())
                return RecordStep::Run;
            std::unique_lock lock(mutex);
            if (firstFrame.wait_for(lock, std::chrono::milliseconds(50), [&] { return gotFrame; }))
                break;
            if (std::chrono::steady_clock::now() > deadline) {
                error = QStringLiteral("No frame came from the camera");
                return RecordStep::Run;
            }
        }
        running = true;
        return RecordStep::Ok;
    }

    // Takes the first error (or an end of the stream) off the bus into `error`; true when one was seen.
    bool keepError() {
        const QString text = popError();
        if (text.isEmpty())
            return false;
        std::lock_guard lock(mutex);
        if (error.isEmpty())
            error = text;
        return true;
    }

    QString popError() {
        if (!pipeline)
            return {};
        GstBus* bus = gst_element_get_bus(pipeline.get());
        QString text;
        while (GstMessage* msg = gst_bus_pop_filtered(
                   bus, static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
            if (text.isEmpty())
                text = streamMessageText(msg, true);
            noteEnd(msg);
            gst_message_unref(msg);
        }
        gst_object_unref(bus);
        return text;
    }

    void noteEnd(GstMessage* msg) {
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
            streamEnded = true;
            return;
        }
        const gchar* from = GST_MESSAGE_SRC(msg) ? GST_OBJECT_NAME(GST_MESSAGE_SRC(msg)) : "";
        if (g_str_equal(from, "FileWriter") || g_str_equal(from, "AviMux") || g_str_equal(from, "ASF Writer"))
            writerFailed = true;
    }

    // Lets the end of the stream run through to the file, then releases everything.
    bool release(std::chrono::milliseconds bound) {
        bool ended = !writerFailed;
        if (pipeline && recording && !streamEnded && !writerFailed) {
            ended = false;
            GstBus* bus = gst_element_get_bus(pipeline.get());
            gst_element_send_event(pipeline.get(), gst_event_new_eos());
            const auto deadline = std::chrono::steady_clock::now() + bound;
            for (;;) {
                const auto left = deadline - std::chrono::steady_clock::now();
                if (left <= std::chrono::nanoseconds::zero())
                    break;
                GstMessage* msg = gst_bus_timed_pop_filtered(
                    bus, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count(),
                    static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
                if (!msg)
                    break;
                const bool eos = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
                noteEnd(msg);
                if (writerFailed)
                    ended = false;
                if (!eos) {
                    // An error of the live picture's branch does not keep the file from its end; one of
                    // the writer does, and then waiting longer brings nothing.
                    const QString text = streamMessageText(msg, true);
                    std::lock_guard lock(mutex);
                    if (error.isEmpty())
                        error = text;
                }
                gst_message_unref(msg);
                if (eos) {
                    ended = true;
                    break;
                }
                if (writerFailed)
                    break;
            }
            gst_object_unref(bus);
        }
        feed.stop();
        if (pipeline) {
            gst_element_set_state(pipeline.get(), GST_STATE_NULL);
            pipeline.reset();
        }
        // Only a file whose end reached it has its final header; the muxer is gone by now, so nothing
        // writes the file beside this.
        if (ended && recording && !asfPath.isEmpty()) {
            QString why;
            if (!writeAsfFrameRate(asfPath, RecordingPipeline::kAsfFrameRate, &why))
                finishNote = why;
        }
        asfPath.clear();
        if (!leaseKey.isEmpty()) {
            releaseCameraLease(leaseKey);
            leaseKey.clear();
        }
        feed.reset();
        tee = nullptr;
        callback = nullptr;
        recording = false;
        passThrough = false;
        running = false;
        streamEnded = false;
        writerFailed = false;
        return ended;
    }
};

RecordingPipeline::RecordingPipeline() : m_impl(std::make_unique<Impl>()) {}

RecordingPipeline::~RecordingPipeline() {
    stop();
}

namespace {
// The capture format of the live picture and of AVI: Motion JPEG when the camera offers it there.
std::optional<VideoFormat> liveFormat(const VideoDevice& camera) {
    if (auto jpeg =
            findFormat(camera, QStringLiteral("MJPG"), RecordingPipeline::kWidth, RecordingPipeline::kHeight))
        return jpeg;
    return findYuy2Format(camera, RecordingPipeline::kWidth, RecordingPipeline::kHeight);
}
} // namespace

RecordStep RecordingPipeline::startLive(const VideoDevice& camera, QSize display, FrameCallback callback) {
    stop();
    Impl& d = *m_impl;
    if (!d.newPipeline())
        return RecordStep::Objects;
    RecordStep step = RecordStep::Ok;
    const auto format = liveFormat(camera);
    if (!camera.virtualCamera && !camera.device)
        step = RecordStep::Bind;
    else if (camera.formats.empty())
        step = RecordStep::NoFormats;
    else if (!format)
        step = RecordStep::Format;
    else
        step = d.assembleCamera(camera, *format, RecordStep::Bind);
    bool linked = false;
    if (step == RecordStep::Ok && !d.assembleLive(format->fourcc == QLatin1String("MJPG"), display, linked))
        step = RecordStep::Objects;
    else if (step == RecordStep::Ok && !linked)
        step = RecordStep::Link;
    if (step == RecordStep::Ok) {
        d.callback = std::move(callback);
        step = d.run(camera.devicePath, camera.virtualCamera != nullptr);
    }
    if (step != RecordStep::Ok) {
        const QString error = lastError();
        d.release(std::chrono::milliseconds(0));
        std::lock_guard lock(d.mutex);
        d.error = error;
    }
    return step;
}

RecordStep RecordingPipeline::startRecording(const VideoDevice& camera, QSize display, FrameCallback callback,
                                             const RecordingRequest& request, const AudioInput* audio) {
    stop();
    Impl& d = *m_impl;
    d.finishNote.clear();
    if (!d.newPipeline())
        return RecordStep::Objects;
    const bool avi = request.format == RecordingFormat::Avi;
    const auto format = avi ? liveFormat(camera) : findYuy2Format(camera, kWidth, kHeight);
    const bool jpeg = format && format->fourcc == QLatin1String("MJPG");
    RecordStep step = RecordStep::Ok;
    if (!camera.virtualCamera && !camera.device)
        step = RecordStep::AddCamera;
    else if (!avi && !audio)
        step = RecordStep::NoAudio;
    else if (camera.formats.empty())
        step = RecordStep::NoFormats;
    else if (!format)
        step = RecordStep::Format;
    else
        step = d.assembleCamera(camera, *format, RecordStep::AddCamera);
    bool linked = false;
    if (step == RecordStep::Ok && !d.assembleLive(jpeg, display, linked))
        step = RecordStep::AddRenderer;
    else if (step == RecordStep::Ok && !linked)
        step = RecordStep::RenderLink;
    bool created = false;
    if (step == RecordStep::Ok) {
        // The file is made here, so a folder that cannot take it fails this step and not the run.
        QFile file(request.path);
        created = !file.exists() && file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        if (!created)
            step = RecordStep::Output;
    }
    if (step == RecordStep::Ok)
        step = avi ? d.assembleAvi(jpeg, request.path) : d.assembleAsf(request, *audio);
    if (step == RecordStep::Ok) {
        d.callback = std::move(callback);
        d.recording = true;
        d.passThrough = avi && jpeg;
        d.asfPath = avi ? QString() : request.path;
        step = d.run(camera.devicePath, camera.virtualCamera != nullptr);
    }
    if (step != RecordStep::Ok) {
        const QString error = lastError();
        d.recording = false;
        d.release(std::chrono::milliseconds(0));
        // A start that failed leaves nothing behind: the file this call made holds no recording (at
        // most a container's header), and no one else's file is ever touched.
        if (created)
            QFile::remove(request.path);
        std::lock_guard lock(d.mutex);
        d.error = error;
    }
    return step;
}

bool RecordingPipeline::stop(std::chrono::milliseconds bound) {
    return m_impl->release(bound);
}

bool RecordingPipeline::isRunning() const {
    return m_impl->running;
}

bool RecordingPipeline::isRecording() const {
    return m_impl->running && m_impl->recording;
}

bool RecordingPipeline::passesCameraJpeg() const {
    return m_impl->passThrough;
}

QString RecordingPipeline::takeError() {
    const QString text = m_impl->popError();
    if (!text.isEmpty()) {
        std::lock_guard lock(m_impl->mutex);
        if (m_impl->error.isEmpty())
            m_impl->error = text;
    }
    return text;
}

QString RecordingPipeline::finishNote() const {
    return m_impl->finishNote;
}

QString RecordingPipeline::lastError() const {
    std::lock_guard lock(m_impl->mutex);
    return m_impl->error;
}

} // namespace qx::media

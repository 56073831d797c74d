// The recording window's pipeline: the auxiliary camera's live picture, and beside it a recording
// into AVI (Motion JPEG) or ASF (WMV1 with WMA v2 sound), fed by one tee so the picture never stops.
#pragma once

#include "qx/media/audio_inputs.h"
#include "qx/media/devices.h"
#include "qx/media/preview_pipeline.h"

#include <QSize>
#include <QString>
#include <chrono>
#include <functional>
#include <memory>

namespace qx::media {

enum class RecordingFormat { Avi, Asf };

// Where building or running stopped; each step is one the window logs.
enum class RecordStep {
    Ok,
    Bind,            // no camera to bind, or another stream holds it
    Objects,         // the pipeline or the live picture's elements are missing
    NoFormats,       // the camera reports no formats
    Format,          // the camera does not offer the capture format at 640 x 480
    Link,            // the live picture's elements do not link
    Run,             // the pipeline refused to play, or no frame came in time
    AddCamera,       // recording: the camera could not be added again
    NoCompressor,    // AVI: the camera gives no Motion JPEG and no JPEG encoder is installed
    AddCompressor,   // AVI: the JPEG encoder could not be added
    AddRenderer,     // recording: the live picture's branch could not be added
    Output,          // the multiplexer or the file writer is missing, or the file cannot be written
    RenderLink,      // recording: the live picture's branch does not link
    RecordLink,      // the recording branch does not link
    NoAudio,         // ASF: no audio input
    CreateConverter, // ASF: the converter or an encoder cannot be made
    AddConverter,    // ASF: the converter or an encoder cannot be added
};

struct RecordingRequest {
    RecordingFormat format = RecordingFormat::Avi;
    QString path;                // the file to write; it must not exist yet
    int videoBitRateKbps = 1000; // ASF's video
};

class RecordingPipeline {
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;
    static constexpr int kAsfFrameRate = 30;
    static constexpr int kAudioRate = 44100;
    static constexpr int kAudioChannels = 2;
    static constexpr int kAudioBitRate = 128000;

    // The live picture's frames: BGRx, scaled to the display size with the aspect kept (black bars);
    // called on a streaming thread.
    using FrameCallback = std::function<void(const FrameView&)>;

    RecordingPipeline();
    ~RecordingPipeline();
    RecordingPipeline(const RecordingPipeline&) = delete;
    RecordingPipeline& operator=(const RecordingPipeline&) = delete;

    // The live picture alone: the camera's Motion JPEG at 640 x 480, else its YUY2 there.
    RecordStep startLive(const VideoDevice& camera, QSize display, FrameCallback callback);
    // The live picture and a recording into `request.path`. AVI takes the camera's Motion JPEG as it
    // comes (no decoding), else encodes its YUY2 to JPEG; ASF encodes YUY2 to WMV1 at 30 frames per
    // second and the sound of `audio` (required) to WMA v2; once it has ended its header is given that
    // frame rate (asfmux leaves it out). The file is created exclusively (a name that is taken fails
    // the Output step); a start that fails after that removes it again.
    RecordStep startRecording(const VideoDevice& camera, QSize display, FrameCallback callback,
                              const RecordingRequest& request, const AudioInput* audio);

    // Stops and releases everything. A recording is ended first: the end of the stream runs through
    // every branch so the file gets its index and headers, waited for up to `bound`. True when there
    // was no recording or its end reached the file.
    bool stop(std::chrono::milliseconds bound = std::chrono::seconds(5));

    bool isRunning() const;
    bool isRecording() const;
    // Whether the recording takes the camera's Motion JPEG without re-encoding it.
    bool passesCameraJpeg() const;
    // The first error posted since the last call (empty when none): the window watches the stream.
    QString takeError();
    // The error that failed the last start or stream, for the log.
    QString lastError() const;
    // Why the last ended ASF recording's header did not get its frame rate (players then assume one),
    // empty when it did or for AVI, whose header the muxer completes itself.
    QString finishNote() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace qx::media

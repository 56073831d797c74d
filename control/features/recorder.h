// The auxiliary camera's recordings: its live picture, the files, the elapsed time and the flag.
#pragma once

#include "qx/media/devices.h"
#include "qx/media/recording_pipeline.h"

#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

namespace qx::control {

class ProcessModes;

// What the recorder shows in the recording window. Called on the control thread, except showFrame.
class RecorderView {
public:
    // The size the live picture is scaled to, black bars kept.
    virtual QSize pictureSize() const = 0;
    // A frame of the live picture (BGRx). Called on the pipeline's streaming thread while a picture
    // runs; the recorder stops the pipeline before the view may go.
    virtual void showFrame(const media::FrameView& frame) = 0;
    // No picture runs any more: the area goes dark.
    virtual void clearPicture() = 0;
    // The time box's text.
    virtual void showElapsed(const QString& text) = 0;
    // A box of the window ("没有辅摄像头，无法录像!").
    virtual void showBox(const QString& text) = 0;

protected:
    ~RecorderView() = default;
};

// One recording window's session with the auxiliary camera (product id 7e43): one GStreamer pipeline
// at a time, its live picture alone or with a recording beside it, so the picture never stops while
// recording. The recorder sets and clears ProcessModes::recordingActive (true while its camera runs),
// names the files by their start time, logs every step, and turns errors of the running stream into
// an ended file and the live picture back (or the box when the camera is gone).
//
// Threads: everything runs on the control thread (the timers too), except the frames, which the
// pipeline hands to the view on its streaming thread. No lock: the pipeline is stopped, and its
// streaming thread joined, before the recorder changes or forgets its view.
class Recorder {
public:
    static constexpr int kDefaultBitRate = 1000;
    static constexpr int kMaxBitRate = 100000;

    using Log = std::function<void(const QString&)>;

    Recorder(Log log, ProcessModes& modes);
    // Ends everything as closeNow() does, then logs "录像：析构!".
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The window that shows the recorder, told the elapsed time at once; set before open() and kept
    // for the recorder's life. Without a view the picture goes nowhere and no box is shown.
    void setView(RecorderView* view);

    // The folder of the recordings (a trailing '/' is added); empty means the host program's folder.
    void setFolder(const QString& folder);
    QString folder() const { return m_folder; }
    // Kilobits per second of ASF's video; zero or less falls back to the default, an excessive rate
    // to the highest one, each with a log line.
    void setBitRate(int kbps);
    int bitRate() const { return m_bitRate; }

    // The window's start: the auxiliary camera searched and its live picture started. False when
    // there is none: logged, the box shown, the session closed and the flag cleared.
    bool open();

    // 开始录像: records into a file named by the start time. Ignored without a live picture or while
    // recording; a start that fails brings the live picture back.
    void startRecording(media::RecordingFormat format);
    // 停止录像: ends the file, searches the camera again and shows its live picture.
    void stopRecording();
    // One second of recording has passed: counts it and shows the elapsed time.
    void tick();
    // The title bar's close: the file ended ("录像：结束!") before the window slides out.
    void close();
    // Ends everything at once, a recording properly: the window or the control goes.
    void closeNow();

    // The elapsed-time text, with the leading "0" on the hours whatever they are.
    static QString elapsedText(int hours, int minutes, int seconds);
    // The log line of a step that failed; empty for Ok.
    static QString stepText(media::RecordStep step);

    // No camera was found at the start, or the window was closed; a live picture opens it again.
    bool isClosed() const { return m_closed; }
    bool isRecording() const { return m_pipeline.isRecording(); }
    bool showsLivePicture() const { return m_pipeline.isRunning(); }
    // The file of the recording running or last made; empty before the first.
    QString recordingPath() const { return m_recordingPath; }
    const media::RecordingPipeline& pipeline() const { return m_pipeline; }

private:
    std::optional<media::VideoDevice> findCamera() const;
    bool startLive();
    void logStep(media::RecordStep step);
    void watchStream();
    void endGraph();
    // A free file name of the start time in the folder: the next second's when one is taken.
    QString recordingName(const QString& folder, const QString& suffix) const;
    void resetElapsed();
    QSize displaySize() const;
    media::RecordingPipeline::FrameCallback frameSink() const;

    Log m_log;
    ProcessModes& m_modes;
    RecorderView* m_view = nullptr;
    QString m_folder;
    int m_bitRate = kDefaultBitRate;
    int m_seconds = 0;
    int m_minutes = 0;
    int m_hours = 0;
    bool m_closed = false;

    QTimer m_clock;       // the elapsed-time tick, every 1000 ms while recording
    QTimer m_streamWatch; // looks for errors of the running stream

    std::optional<media::VideoDevice> m_camera;
    media::RecordingPipeline m_pipeline;
    QString m_recordingPath;
};

} // namespace qx::control

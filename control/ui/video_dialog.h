// CVideoDlg (dialog 211, "视频录像"): the auxiliary camera's live picture, its recordings into AVI or
// ASF files named by their start time, and the elapsed time.
#pragma once

#include "qx/media/devices.h"
#include "qx/media/recording_pipeline.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>

class QComboBox;
class QLineEdit;
class QPropertyAnimation;
class QPushButton;

namespace qx {
class UiHost;
}

namespace qx::control {

class ProcessModes;

// The picture area: paints the newest frame the pipeline handed over.
class VideoArea : public QWidget {
public:
    explicit VideoArea(QWidget* parent);
    // From the streaming thread: keeps a copy, and asks for one repaint at a time.
    void offerFrame(const media::FrameView& frame);
    void clear();
    QImage currentFrame() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    mutable std::mutex m_mutex;
    QImage m_frame;
    std::atomic<bool> m_repaintAsked{false};
};

class CVideoDlg : public QDialog {
public:
    // Control ids of the dialog.
    static constexpr int kPicture = 217;
    static constexpr int kStart = 218;
    static constexpr int kStop = 219;
    static constexpr int kTime = 223;
    static constexpr int kFormat = 227;

    static constexpr int kSlideInMs = 800;
    static constexpr int kSlideOutMs = 500;
    static constexpr int kRightMargin = 20;
    static constexpr int kDefaultBitRate = 1000;
    static constexpr int kMaxBitRate = 100000;

    using Log = std::function<void(const QString&)>;

    CVideoDlg(Log log, UiHost& ui, ProcessModes& modes);
    ~CVideoDlg() override;

    // The folder of the recordings (a trailing '/' is added); empty means the host program's folder.
    void setVideoFolder(const QString& folder);
    QString videoFolder() const { return m_videoFolder; }
    // Kilobits per second of ASF's video; zero or less falls back to the default, an excessive rate
    // to the highest one.
    void setBitRate(int kbps);
    int bitRate() const { return m_bitRate; }

    // The window's start-up: placed at the bottom right of the work area and slid in, the formats
    // listed, the auxiliary camera searched and its live picture started.
    void startUp();

    void startRecording(); // 开始录像
    void stopRecording();  // 停止录像
    // One second of recording has passed: counts it and shows the elapsed time.
    void tick();
    // The elapsed-time text, with the leading "0" on the hours whatever they are.
    static QString elapsedText(int hours, int minutes, int seconds);

    // Ends everything at once, a recording properly, without sliding out: the control is released.
    void closeNow();

    bool isClosed() const { return m_closed; }
    bool isRecording() const { return m_pipeline.isRecording(); }
    bool showsLivePicture() const { return m_pipeline.isRunning(); }
    // The file of the recording running or last made; empty before the first.
    QString recordingPath() const { return m_recordingPath; }
    const media::RecordingPipeline& pipeline() const { return m_pipeline; }
    VideoArea* pictureArea() const { return m_area; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape closes as the title bar does

private:
    void buildControls();
    void placeAndSlideIn();
    void slideOut(std::function<void()> done);
    std::optional<media::VideoDevice> findCamera();
    bool startLive();
    void logStep(media::RecordStep step);
    void watchStream();
    void endGraph();
    // A free file name of the start time in the folder: the next second's when one is taken.
    QString recordingName(const QString& folder, const QString& suffix) const;
    void resetTimeBox();

    Log m_log;
    UiHost& m_ui;
    ProcessModes& m_modes;
    QString m_videoFolder;
    int m_seconds = 0;
    int m_minutes = 0;
    int m_hours = 0;
    int m_width = media::RecordingPipeline::kWidth;
    int m_height = media::RecordingPipeline::kHeight;
    int m_bitRate = kDefaultBitRate;
    bool m_closed = false;
    bool m_closing = false;

    VideoArea* m_area = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QLineEdit* m_time = nullptr;
    QComboBox* m_format = nullptr;
    QTimer m_clock;       // the elapsed-time tick, every 1000 ms while recording
    QTimer m_streamWatch; // looks for errors of the running stream
    QPointer<QPropertyAnimation> m_slide;

    std::optional<media::VideoDevice> m_camera;
    media::RecordingPipeline m_pipeline;
    QString m_recordingPath;
};

} // namespace qx::control

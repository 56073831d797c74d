// CVideoDlg (dialog 211, "视频录像"): the window that shows a recorder: its live picture, its buttons,
// the format and the elapsed time.
#pragma once

#include "control/features/recorder.h"
#include "qx/media/devices.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <atomic>
#include <functional>
#include <mutex>

class QComboBox;
class QLineEdit;
class QPropertyAnimation;
class QPushButton;

namespace qx {
class UiHost;
}

namespace qx::control {

// The picture area: paints the newest frame the pipeline handed over. The frame is written on the
// pipeline's streaming thread and painted on the control thread: m_mutex guards it.
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

// The window holds no recording of its own: its buttons, the format combo and its close call the
// recorder, and the recorder tells it what to show (RecorderView). It is a top-level window (no
// parent), placed at the bottom right of the work area and slid in and out where the window system
// lets a program move windows.
//
// Threads: the control thread, except showFrame (the pipeline's streaming thread), which only hands
// the frame to the picture area.
class CVideoDlg : public QDialog, public RecorderView {
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

    // `recorder` outlives the window; the window ends it and leaves it when it goes.
    CVideoDlg(UiHost& ui, Recorder& recorder);
    ~CVideoDlg() override;

    // The window's start-up: placed at the bottom right of the work area and slid in, the formats
    // listed, and the recorder opened; without a camera the window slides out again.
    void startUp();

    VideoArea* pictureArea() const { return m_area; }

    // RecorderView
    QSize pictureSize() const override;
    void showFrame(const media::FrameView& frame) override;
    void clearPicture() override;
    void showElapsed(const QString& text) override;
    void showBox(const QString& text) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape closes as the title bar does

private:
    void buildControls();
    void placeAndSlideIn();
    void slideOut(std::function<void()> done);

    UiHost& m_ui;
    Recorder& m_recorder;
    bool m_closing = false; // sliding out after a close

    VideoArea* m_area = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QLineEdit* m_time = nullptr;
    QComboBox* m_format = nullptr;
    QPointer<QPropertyAnimation> m_slide;
};

} // namespace qx::control

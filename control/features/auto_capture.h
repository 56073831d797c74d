// Hands-free capture: one picture of each new page once it lies still, through Morvel's chain.
#pragma once

#include "control/features/page_watch.h"

#include <QString>
#include <functional>

namespace qx::control {

class ControlContext;
class FrameWatch;

// The state a container reads (GetAutoCaptureState), in its numbers.
enum class AutoCaptureState { Off = 0, WaitingForPage = 1, Steady = 2, Capturing = 3 };

inline constexpr int kDefaultSettleMs = 800;
inline constexpr int kMinSettleMs = 200;
inline constexpr int kMaxSettleMs = 10000;

struct AutoCaptureRequest {
    QString format; // as Morvel takes it
    int settleMs = kDefaultSettleMs;
    bool previewRuns = false; // a preview (normal or edge-finding) delivers frames
};

// One capture's outcome, as it is announced.
struct AutoCaptureShot {
    int code = 0; // Morvel's
    QString path; // cPicName afterwards (empty when nothing was written)
};

// Owns the watch and the run's state; the control gives it the frames (through FrameWatch) and the
// capture itself (a call of its Morvel path, so every property applies as for a click), and is told
// of every state change and capture.
//
// Threads: the control thread only.
class AutoCapture {
public:
    using CaptureCall = std::function<AutoCaptureShot(const QString& format)>;
    using StateListener = std::function<void(AutoCaptureState)>;
    using ShotListener = std::function<void(const AutoCaptureShot&)>;

    AutoCapture(ControlContext& control, FrameWatch& frames, CaptureCall capture, StateListener onState,
                ShotListener onShot);
    ~AutoCapture();

    // 0 started, or kMorvelNoPreview when no preview runs. Every start is a new run: no page captured
    // yet, none to differ from (a running one starts anew with this format). The settle time is clamped to
    // kMinSettleMs..kMaxSettleMs.
    int start(const AutoCaptureRequest& request);
    // 0; the state is Off afterwards. A capture already running finishes and is announced.
    int stop();
    // The preview stopped under a run: the run ends.
    void previewStopped();

    AutoCaptureState state() const { return m_state; }
    int pagesCaptured() const { return m_pages; }

private:
    void onFrame(const cv::Mat& bgr, int64_t ms);
    void setState(AutoCaptureState state);

    ControlContext& m_control;
    FrameWatch& m_frames;
    CaptureCall m_capture;
    StateListener m_onState;
    ShotListener m_onShot;
    PageWatch m_watch;
    QString m_format;
    AutoCaptureState m_state = AutoCaptureState::Off;
    int m_pages = 0;
    bool m_running = false;
    bool m_capturing = false;
};

} // namespace qx::control

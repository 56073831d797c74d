// The run of hands-free capture: frames to the watch, a still new page to Morvel, its result out.
#include "control/features/auto_capture.h"

#include "control/capture/frame_watch.h"
#include "control/core/control_context.h"
#include "qx/interface/result_codes.h"

#include <algorithm>

namespace qx::control {

AutoCapture::AutoCapture(ControlContext& control, FrameWatch& frames, CaptureCall capture,
                         StateListener onState, ShotListener onShot)
    : m_control(control), m_frames(frames), m_capture(std::move(capture)), m_onState(std::move(onState)),
      m_onShot(std::move(onShot)) {}

AutoCapture::~AutoCapture() {
    m_frames.setConsumer({});
}

int AutoCapture::start(const AutoCaptureRequest& request) {
    if (!request.previewRuns) {
        m_control.writeLog(QStringLiteral("自动拍照: 没有运行的预览!"));
        return automation::kMorvelNoPreview;
    }
    m_format = request.format;
    m_watch.reset();
    m_watch.setSettleMs(std::clamp(request.settleMs, kMinSettleMs, kMaxSettleMs));
    m_pages = 0;
    m_running = true;
    m_frames.setConsumer([this](const cv::Mat& bgr, int64_t ms) { onFrame(bgr, ms); });
    m_control.writeLog(QStringLiteral("自动拍照开始: 格式 %1, 静止时间 %2 ms")
                           .arg(m_format)
                           .arg(m_watch.settings().settleMs));
    setState(AutoCaptureState::WaitingForPage);
    return 0;
}

int AutoCapture::stop() {
    if (!m_running)
        return 0;
    m_running = false;
    m_frames.setConsumer({});
    m_control.writeLog(QStringLiteral("自动拍照结束: 共 %1 页").arg(m_pages));
    setState(AutoCaptureState::Off);
    return 0;
}

void AutoCapture::previewStopped() {
    if (!m_running)
        return;
    m_control.writeLog(QStringLiteral("预览已停止，自动拍照结束"));
    stop();
}

void AutoCapture::setState(AutoCaptureState state) {
    if (state == m_state)
        return;
    m_state = state;
    if (m_onState)
        m_onState(state);
}

void AutoCapture::onFrame(const cv::Mat& bgr, int64_t ms) {
    if (!m_running || m_capturing)
        return;
    const PageWatch::Verdict verdict = m_watch.feed(bgr, ms);
    if (!verdict.reason.isEmpty())
        m_control.writeLog(QStringLiteral("自动拍照: ") + verdict.reason);
    if (!verdict.capture) {
        setState(verdict.state == WatchState::Settling ? AutoCaptureState::Steady
                                                       : AutoCaptureState::WaitingForPage);
        return;
    }
    setState(AutoCaptureState::Capturing);
    m_capturing = true;
    const AutoCaptureShot shot = m_capture(m_format);
    m_capturing = false;
    const bool written = shot.code == 0 || shot.code == automation::kMorvelConversionFailed;
    if (written) {
        m_watch.captured();
        ++m_pages;
    } else {
        m_watch.captureFailed(FrameWatch::nowMs());
    }
    if (m_onShot)
        m_onShot(shot);
    if (!m_running)
        return; // stopped while the capture ran (a script, a click): it was announced all the same
    if (!written && shot.code != automation::kCallRefused) {
        // A failure that the next still page would meet again (a bad folder, a lost camera, a full
        // disk): the run ends with it rather than failing, and boxing, every second.
        m_control.writeLog(QStringLiteral("自动拍照失败 (%1)，自动拍照结束").arg(shot.code));
        stop();
        return;
    }
    setState(AutoCaptureState::WaitingForPage);
}

} // namespace qx::control

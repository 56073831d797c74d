// Watches preview frames for a new page lying still: motion, the settle time, what is in view.
#pragma once

#include <opencv2/core.hpp>

#include <QString>
#include <cstdint>
#include <optional>

namespace qx::control {

// What the watch has concluded from the frames so far.
enum class WatchState {
    Waiting,   // the view moves, or lies still showing no document or the page captured last
    Settling,  // no motion since the last change; the settle time runs
    Capturing, // a new page lay still for the settle time: it is to be captured
};

struct PageWatchSettings {
    int settleMs = 800;
    // A frame moved when more than this share of its pixels changed by more than kMotionLevel grey
    // levels (after exposure and noise are taken out).
    double motionShare = 0.004;
    // Two still views show the same page when their content correlates at least this well.
    double samePage = 0.85;
    // Edge finder confidence (0 to 1) that counts as a page; a view without one needs structure.
    double pageConfidence = 0.5;
    // Share of the view covered by print-like edges that counts as a document without an outline.
    double structureShare = 0.02;
};

// The page signature: the content of a still view, reduced so noise, exposure and a slight shift do
// not change it.
struct PageSignature {
    cv::Mat view; // CV_32F, zero mean and unit spread: a band-pass of the whole view
    cv::Mat page; // the same of the page cut out upright, when the edge finder found one
};

// Pure and single-threaded: frames go in with their time, a verdict comes out. It decides nothing
// from the clock: a frame's time is all it knows, so tests can play any sequence.
//
// How it decides:
// 1. Each frame is reduced to grey at kMotionWidth pixels wide, blurred, and its mean taken out (so a
//    slow exposure drift is no motion); it moved when enough pixels differ from the previous frame.
// 2. The view is still once no frame moved for the settle time.
// 3. A still view is captured when a document is in view (the edge finder's page, or enough print-like
//    structure when no outline can be found, as with an open book) and its signature differs from the
//    page captured last. Otherwise it waits for the next motion: one decision per still view.
class PageWatch {
public:
    explicit PageWatch(PageWatchSettings settings = {}) : m_settings(settings) {}

    struct Verdict {
        WatchState state = WatchState::Waiting;
        bool capture = false; // this frame's view is to be captured now
        QString reason;       // why a still view was or was not captured, for the log
    };

    // `bgr`: a preview frame (CV_8UC3, any size; at most kWorkWidth wide is enough), `ms` its time.
    Verdict feed(const cv::Mat& bgr, int64_t ms);
    // The capture of the last still view was written: its page is now the one to differ from.
    void captured();
    // The capture failed: the view is judged again after the settle time.
    void captureFailed(int64_t ms);
    // Forgets the last captured page and the view (a new run).
    void reset();

    void setSettleMs(int ms) { m_settings.settleMs = ms; }
    const PageWatchSettings& settings() const { return m_settings; }
    WatchState state() const { return m_state; }

    // Exposed for tests and the benchmark.
    static constexpr int kMotionWidth = 160;
    static constexpr int kWorkWidth = 640;
    static constexpr int kMotionLevel = 14;
    // The signature of a still view (`bgr` of any size); `outline`, the page's corners in its pixels
    // clockwise from the top-left, or null.
    static PageSignature signature(const cv::Mat& bgr, const cv::Point2f* outline);
    // 0 (unrelated) to 1 (the same content), searching a slight shift: the better of the views' and,
    // when both views have one, the cut-out pages' agreement.
    static double similarity(const PageSignature& a, const PageSignature& b);
    // Whether a document is in `work` (at most kWorkWidth wide), how it was found (for the log) and
    // its signature; nothing when no document is in view.
    std::optional<PageSignature> documentInView(const cv::Mat& work, QString& how) const;
    // The share of `work` covered by print-like edges.
    static double structureShare(const cv::Mat& work);

private:
    Verdict decide(const cv::Mat& bgr);

    PageWatchSettings m_settings;
    cv::Mat m_previous; // the last frame at motion size, its exposure taken out
    cv::Mat m_anchor;   // the first frame of the still view, so a slow creep adds up to motion
    std::optional<int64_t> m_lastMotion;
    bool m_decided = false;                  // the current still view was judged already
    std::optional<PageSignature> m_pending;  // the view being captured
    std::optional<PageSignature> m_lastPage; // the page captured last
    WatchState m_state = WatchState::Waiting;
};

} // namespace qx::control

// The still-page decision: motion at a small size, the settle time, a document in view, a new page.
#include "control/features/page_watch.h"

#include "edge_finder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace qx::control {

namespace {

// Grey at `width` pixels wide, area-averaged (which also averages the sensor noise away).
cv::Mat greyAt(const cv::Mat& bgr, int width) {
    cv::Mat grey;
    if (bgr.channels() == 3)
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    else
        grey = bgr;
    if (grey.cols == width)
        return grey.clone();
    const int height =
        std::max(1, static_cast<int>(std::lround(static_cast<double>(grey.rows) * width / grey.cols)));
    cv::Mat small;
    cv::resize(grey, small, cv::Size(width, height), 0, 0, cv::INTER_AREA);
    return small;
}

// Scaled to a mean of 128: an exposure that drifts changes the frame's gain, not its content.
cv::Mat exposureFree(const cv::Mat& grey) {
    cv::Mat f;
    grey.convertTo(f, CV_32F);
    cv::GaussianBlur(f, f, cv::Size(5, 5), 1.2);
    const double mean = std::max(1.0, cv::mean(f)[0]);
    f *= 128.0 / mean;
    return f;
}

double changedShare(const cv::Mat& a, const cv::Mat& b) {
    if (a.size() != b.size())
        return 1.0;
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    return static_cast<double>(cv::countNonZero(diff > PageWatch::kMotionLevel)) /
           static_cast<double>(diff.total());
}

// A band-pass of the content (print and edges, not the light over the page), normalised to zero mean
// and unit spread so a change of exposure or contrast leaves it as it is.
cv::Mat bandPass(const cv::Mat& grey) {
    cv::Mat f, fine, coarse;
    grey.convertTo(f, CV_32F);
    cv::GaussianBlur(f, fine, cv::Size(0, 0), 0.8);
    cv::GaussianBlur(f, coarse, cv::Size(0, 0), 4.0);
    cv::Mat band = fine - coarse;
    cv::Scalar mean, spread;
    cv::meanStdDev(band, mean, spread);
    band -= mean[0];
    band /= std::max(1e-3, spread[0]);
    return band;
}

constexpr int kSignatureWidth = 160;
constexpr int kPageSignatureWidth = 120;
constexpr int kPageSignatureHeight = 170;
constexpr int kMaxShift = 3; // pixels of the signature: about 2 % of the view's width

// Normalised correlation of a and b at the best of the shifts within kMaxShift.
double bestCorrelation(const cv::Mat& a, const cv::Mat& b) {
    if (a.empty() || b.empty() || a.size() != b.size() || a.cols <= 4 * kMaxShift || a.rows <= 4 * kMaxShift)
        return 0;
    const cv::Rect inner(kMaxShift, kMaxShift, a.cols - 2 * kMaxShift, a.rows - 2 * kMaxShift);
    const cv::Mat centre = a(inner);
    cv::Mat scores;
    cv::matchTemplate(b, centre, scores, cv::TM_CCOEFF_NORMED);
    double best = 0;
    cv::minMaxLoc(scores, nullptr, &best);
    return best;
}

} // namespace

PageWatch::Verdict PageWatch::feed(const cv::Mat& bgr, int64_t ms) {
    Verdict verdict;
    if (bgr.empty()) {
        verdict.state = m_state;
        return verdict;
    }
    const cv::Mat now = exposureFree(greyAt(bgr, kMotionWidth));
    bool moved = m_previous.empty() || changedShare(now, m_previous) > m_settings.motionShare;
    if (!moved && !m_anchor.empty() && changedShare(now, m_anchor) > m_settings.motionShare)
        moved = true; // crept away from where the still view began
    m_previous = now;
    if (moved) {
        m_lastMotion = ms;
        m_anchor.release();
        m_decided = false;
        m_state = WatchState::Waiting;
        verdict.state = m_state;
        return verdict;
    }
    if (m_anchor.empty())
        m_anchor = now;
    if (m_decided || m_state == WatchState::Capturing) {
        verdict.state = m_state;
        return verdict;
    }
    if (!m_lastMotion || ms - *m_lastMotion < m_settings.settleMs) {
        m_state = WatchState::Settling;
        verdict.state = m_state;
        return verdict;
    }
    return decide(bgr);
}

PageWatch::Verdict PageWatch::decide(const cv::Mat& bgr) {
    Verdict verdict;
    m_decided = true;
    cv::Mat work = bgr;
    if (bgr.cols > kWorkWidth) {
        const int height =
            std::max(1, static_cast<int>(std::lround(static_cast<double>(bgr.rows) * kWorkWidth / bgr.cols)));
        cv::resize(bgr, work, cv::Size(kWorkWidth, height), 0, 0, cv::INTER_AREA);
    }
    QString how;
    std::optional<PageSignature> page = documentInView(work, how);
    if (!page) {
        m_state = WatchState::Waiting;
        verdict.state = m_state;
        verdict.reason = QStringLiteral("画面静止，未见文档");
        return verdict;
    }
    if (m_lastPage) {
        const double same = similarity(*page, *m_lastPage);
        if (same >= m_settings.samePage) {
            m_state = WatchState::Waiting;
            verdict.state = m_state;
            verdict.reason = QStringLiteral("画面静止，与上一页相同 (%1)").arg(same, 0, 'f', 2);
            return verdict;
        }
        how += QStringLiteral("，与上一页相似度 %1").arg(same, 0, 'f', 2);
    }
    m_pending = std::move(page);
    m_state = WatchState::Capturing;
    verdict.state = m_state;
    verdict.capture = true;
    verdict.reason = how;
    return verdict;
}

void PageWatch::captured() {
    if (m_pending)
        m_lastPage = std::move(m_pending);
    m_pending.reset();
    m_state = WatchState::Waiting;
}

void PageWatch::captureFailed(int64_t ms) {
    m_pending.reset();
    m_decided = false;
    m_lastMotion = ms;
    m_state = WatchState::Waiting;
}

void PageWatch::reset() {
    m_previous.release();
    m_anchor.release();
    m_lastMotion.reset();
    m_decided = false;
    m_pending.reset();
    m_lastPage.reset();
    m_state = WatchState::Waiting;
}

double PageWatch::structureShare(const cv::Mat& work) {
    // Print is thin and dark on light: strong gradients over short distances. A desk's grain, a shadow
    // or the light's fall-off change slowly or faintly and stay below the bound.
    const cv::Mat grey = greyAt(work, std::min(work.cols, 320));
    cv::Mat gx, gy, magnitude;
    cv::Sobel(grey, gx, CV_32F, 1, 0);
    cv::Sobel(grey, gy, CV_32F, 0, 1);
    cv::magnitude(gx, gy, magnitude);
    return static_cast<double>(cv::countNonZero(magnitude > 240.0)) / static_cast<double>(magnitude.total());
}

std::optional<PageSignature> PageWatch::documentInView(const cv::Mat& work, QString& how) const {
    const std::optional<kelpo::Detection> found = kelpo::detectDocument(work);
    if (found && found->confidence >= m_settings.pageConfidence) {
        how = QStringLiteral("找到文档页面 (置信度 %1)").arg(found->confidence, 0, 'f', 2);
        return signature(work, found->quad.data());
    }
    const double share = structureShare(work);
    if (share >= m_settings.structureShare) {
        how = QStringLiteral("未找到页面轮廓，画面有文字结构 (%1%)").arg(share * 100, 0, 'f', 1);
        return signature(work, nullptr);
    }
    return std::nullopt;
}

PageSignature PageWatch::signature(const cv::Mat& bgr, const cv::Point2f* outline) {
    PageSignature s;
    cv::Mat grey;
    if (bgr.channels() == 3)
        cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    else
        grey = bgr;
    s.view = bandPass(greyAt(grey, kSignatureWidth));
    if (outline) {
        // Upright and of one size, so the page is compared with the page wherever it lies. Portrait
        // or landscape as it lies: a page turned a quarter is another view of it anyway.
        const double top = cv::norm(outline[1] - outline[0]);
        const double side = cv::norm(outline[3] - outline[0]);
        const bool portrait = side >= top;
        const cv::Size size = portrait ? cv::Size(kPageSignatureWidth, kPageSignatureHeight)
                                       : cv::Size(kPageSignatureHeight, kPageSignatureWidth);
        const cv::Point2f to[4] = {{0, 0},
                                   {static_cast<float>(size.width), 0},
                                   {static_cast<float>(size.width), static_cast<float>(size.height)},
                                   {0, static_cast<float>(size.height)}};
        // Blurred first: the page shrinks about threefold and a plain warp would alias the print.
        cv::Mat smooth, upright;
        cv::GaussianBlur(grey, smooth, cv::Size(0, 0), 1.2);
        cv::warpPerspective(smooth, upright, cv::getPerspectiveTransform(outline, to), size,
                            cv::INTER_LINEAR);
        s.page = bandPass(upright);
    }
    return s;
}

double PageWatch::similarity(const PageSignature& a, const PageSignature& b) {
    // The outline the finder picks may differ between two looks at one page (the pile beneath, a
    // corner in shadow), and a cut-out of another outline does not match: either agreeing is enough.
    const double views = bestCorrelation(a.view, b.view);
    if (!a.page.empty() && !b.page.empty() && a.page.size() == b.page.size())
        return std::max(views, bestCorrelation(a.page, b.page));
    return views;
}

} // namespace qx::control

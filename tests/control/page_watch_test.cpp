// The still-page watch on frame sequences played in their own time: the test clips, a hand that does
// not go away, pages compared under noise, drift and a shift, and a book that fills the view.
#include "control/features/page_watch.h"
#include "support/page_clips.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <opencv2/imgproc.hpp>

namespace qx::test {
namespace {

using control::PageWatch;
using control::PageWatchSettings;
using control::WatchState;

cv::Mat toMat(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    return cv::Mat(bgr.height(), bgr.width(), CV_8UC3, const_cast<uchar*>(bgr.constBits()),
                   static_cast<std::size_t>(bgr.bytesPerLine()))
        .clone();
}

QImage toImage(const cv::Mat& bgr) {
    return QImage(bgr.data, bgr.cols, bgr.rows, static_cast<qsizetype>(bgr.step), QImage::Format_BGR888)
        .copy();
}

struct Capture {
    int64_t ms;
    QImage frame;
};

// Plays the clip into a watch at `rate` frames a second, as the preview hands them over.
std::vector<Capture> play(const PageClipPlan& plan, PageWatch& watch, int rate = 10) {
    std::vector<Capture> captures;
    const double end = pageClipTimes(plan).end;
    for (int k = 0; k * 1.0 / rate < end; ++k) {
        const int64_t ms = static_cast<int64_t>(k) * 1000 / rate;
        const int n = static_cast<int>(static_cast<int64_t>(k) * plan.fps / rate);
        const cv::Mat frame = toMat(renderClipFrame(plan, n));
        const PageWatch::Verdict verdict = watch.feed(frame, ms);
        if (verdict.capture) {
            captures.push_back({ms, toImage(frame)});
            watch.captured();
        }
    }
    return captures;
}

TEST(PageWatch, OneCaptureOfEachPageOfAClipNoneOfTheDeskNoneTwiceInThirtyStillSeconds) {
    PageClipPlan plan; // ten pages, the empty desk before and after, noise and a drifting exposure
    plan.longStillPage = 4;
    plan.longStill = 30;
    PageWatch watch;
    const std::vector<Capture> captures = play(plan, watch);
    const PageClipTimes times = pageClipTimes(plan);
    ASSERT_EQ(captures.size(), 10u);
    for (std::size_t i = 0; i < captures.size(); ++i) {
        SCOPED_TRACE(i);
        // Each page the settle time after it lay still, before the next turn began: never during a
        // turn, never of the desk. The page lies from 60 % of its turn on, while the hand leaves,
        // and the hand is out of view before the turn's end.
        const double at = captures[i].ms / 1000.0;
        EXPECT_GE(at, times.settled[i] - 0.4 * plan.turn + 0.8);
        EXPECT_LT(at, times.settled[i] + 0.8 + 0.25);
        const std::vector<QString> marks = readMarks(captures[i].frame);
        ASSERT_FALSE(marks.empty());
        EXPECT_EQ(marks.front(), pageMark(static_cast<int>(i)));
    }
}

TEST(PageWatch, NothingWhileAHandMovesAndTheSettleTimeAfterItStops) {
    const int w = 640, h = 480;
    const QImage page = renderPage(0, 272, 5);
    auto frameAt = [&](double handX) {
        QImage f(w, h, QImage::Format_RGB32);
        f.fill(QColor(86, 66, 50));
        QPainter p(&f);
        p.drawImage(QPointF((w - page.width()) / 2.0, (h - page.height()) / 2.0), page);
        if (handX >= 0) {
            p.setBrush(QColor(222, 170, 138));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPointF(handX, h * 0.6), 70, 55);
        }
        return toMat(f);
    };
    for (int settle : {800, 2000}) {
        SCOPED_TRACE(settle);
        PageWatch watch;
        watch.setSettleMs(settle);
        int64_t ms = 0;
        // Six seconds of a hand wandering over the page: never a capture.
        for (int k = 0; k < 60; ++k, ms += 100) {
            const auto v = watch.feed(frameAt(200 + 120 * std::sin(k * 0.7)), ms);
            EXPECT_FALSE(v.capture) << ms;
            EXPECT_EQ(v.state, WatchState::Waiting);
        }
        // The hand is gone: steady for the settle time, then one capture, then nothing more.
        const int64_t stopped = ms;
        std::vector<int64_t> at;
        for (int k = 0; k < 60; ++k, ms += 100) {
            const auto v = watch.feed(frameAt(-1), ms);
            if (v.capture) {
                at.push_back(ms);
                watch.captured();
            } else if (at.empty() && ms > stopped) {
                EXPECT_EQ(v.state, WatchState::Settling) << ms;
            }
        }
        ASSERT_EQ(at.size(), 1u);
        EXPECT_GE(at[0] - stopped, settle);
        EXPECT_LE(at[0] - stopped, settle + 100);
        // The same page again after the hand passed over it: no second capture.
        for (int k = 0; k < 10; ++k, ms += 100)
            watch.feed(frameAt(300 + 20 * k), ms);
        for (int k = 0; k < 40; ++k, ms += 100)
            EXPECT_FALSE(watch.feed(frameAt(-1), ms).capture) << ms;
    }
}

// The picture as a camera would see it again later: sensor noise, another exposure, a slight shift.
cv::Mat seenAgain(const cv::Mat& bgr, double gain, int shift, unsigned seed) {
    cv::Mat moved;
    const cv::Mat m = (cv::Mat_<double>(2, 3) << 1, 0, shift, 0, 1, shift * 0.5);
    cv::warpAffine(bgr, moved, m, bgr.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::Mat noise(bgr.size(), CV_16SC3);
    cv::theRNG().state = seed;
    cv::randn(noise, 0, 4);
    cv::Mat out;
    moved.convertTo(out, CV_16SC3, gain);
    out += noise;
    out.convertTo(out, CV_8UC3);
    return out;
}

TEST(PageWatch, APageMatchesItselfUnderNoiseDriftAndShiftAndNoOtherPage) {
    PageClipPlan plan;
    // The clip's frame of each page lying still on the pile, as the watch judges it.
    std::vector<control::PageSignature> pages, again;
    std::vector<cv::Mat> frames;
    const PageClipTimes times = pageClipTimes(plan);
    PageWatch watch;
    for (int i = 0; i < plan.pages; ++i) {
        const cv::Mat frame =
            toMat(renderClipFrame(plan, static_cast<int>((times.settled[i] + 1.0) * plan.fps)));
        QString how;
        const auto seen = watch.documentInView(frame, how);
        ASSERT_TRUE(seen) << i;
        pages.push_back(*seen);
        const auto later =
            watch.documentInView(seenAgain(frame, i % 2 ? 1.12 : 0.88, 1 + i % 6, 7u + i), how);
        ASSERT_TRUE(later) << i;
        again.push_back(*later);
    }
    const double same = watch.settings().samePage;
    double worstSame = 1, worstOther = 0;
    for (int i = 0; i < plan.pages; ++i) {
        worstSame = std::min(worstSame, PageWatch::similarity(pages[i], again[i]));
        for (int j = 0; j < plan.pages; ++j)
            if (j != i)
                worstOther = std::max(worstOther, PageWatch::similarity(pages[i], again[j]));
    }
    EXPECT_GE(worstSame, same) << "a page seen again is taken for another";
    EXPECT_LT(worstOther, same) << "another page is taken for the one before";
    std::printf("same page: at least %.3f; another page: at most %.3f; bound %.2f\n", worstSame, worstOther,
                same);
}

TEST(PageWatch, ABookFillingTheViewIsADocumentAndTheEmptyDeskIsNot) {
    PageClipPlan plan;
    PageWatch watch;
    QString how;
    // The desk alone, as the clip begins.
    EXPECT_FALSE(watch.documentInView(toMat(renderClipFrame(plan, 2)), how)) << how.toStdString();
    // Two pages side by side to the edges of the view, no outline of a sheet to find.
    QImage book(640, 480, QImage::Format_RGB32);
    {
        QPainter p(&book);
        p.drawImage(QRect(0, 0, 320, 480), renderPage(1, 320, 3));
        p.drawImage(QRect(320, 0, 320, 480), renderPage(2, 320, 3));
    }
    EXPECT_TRUE(watch.documentInView(toMat(book), how));
    EXPECT_FALSE(how.isEmpty());
}

} // namespace
} // namespace qx::test

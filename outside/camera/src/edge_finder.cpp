// Edge finding on a downscaled copy: candidate outlines from edges and from brightness, each scored by
// how well the frame's gradient supports its four sides; the best one is scaled back to full size.
#include "edge_finder.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace qx::kelpo {

namespace {

constexpr int kWorkSide = 640;    // the longer side of the working copy
constexpr double kMinArea = 0.08; // plausible page sizes, as parts of the frame
constexpr double kMaxArea = 0.985;
constexpr double kMinSupport = 0.45; // share of a side's samples on a real edge

double polygonArea(const Quad& q) {
    std::vector<cv::Point2f> v(q.begin(), q.end());
    return std::fabs(cv::contourArea(v));
}

bool isConvexQuad(const Quad& q) {
    std::vector<cv::Point2f> v(q.begin(), q.end());
    return cv::isContourConvex(v);
}

// Reduces a contour to four corners: the polygon approximation when it has four, else the corners of
// its convex hull farthest along the four diagonal directions.
std::optional<Quad> quadFromContour(const std::vector<cv::Point>& contour) {
    std::vector<cv::Point> hull;
    cv::convexHull(contour, hull);
    if (hull.size() < 4)
        return std::nullopt;
    const double perimeter = cv::arcLength(hull, true);
    for (double eps : {0.015, 0.025, 0.04, 0.06}) {
        std::vector<cv::Point> approx;
        cv::approxPolyDP(hull, approx, eps * perimeter, true);
        if (approx.size() == 4) {
            std::array<cv::Point2f, 4> pts;
            for (int i = 0; i < 4; ++i)
                pts[i] = cv::Point2f(static_cast<float>(approx[i].x), static_cast<float>(approx[i].y));
            return orderCorners(pts);
        }
        if (approx.size() < 4)
            break;
    }
    std::array<cv::Point2f, 4> pts;
    const std::array<cv::Point2f, 4> dirs{cv::Point2f(-1, -1), cv::Point2f(1, -1), cv::Point2f(1, 1),
                                          cv::Point2f(-1, 1)};
    for (int k = 0; k < 4; ++k) {
        float best = -1e30f;
        for (const cv::Point& p : hull) {
            const float s = p.x * dirs[k].x + p.y * dirs[k].y;
            if (s > best) {
                best = s;
                pts[k] = cv::Point2f(static_cast<float>(p.x), static_cast<float>(p.y));
            }
        }
    }
    return orderCorners(pts);
}

// Share of points along the four sides where the gradient is strong, with the weakest side counting
// most: a real page has all four edges, a false outline misses some.
double edgeSupport(const Quad& q, const cv::Mat& gradient, float strong) {
    double weakest = 1.0;
    double total = 0;
    for (int s = 0; s < 4; ++s) {
        const cv::Point2f a = q[s];
        const cv::Point2f b = q[(s + 1) % 4];
        const double length = cv::norm(b - a);
        const int samples = std::max(8, static_cast<int>(length / 3));
        int hits = 0;
        for (int i = 1; i < samples; ++i) {
            const cv::Point2f p = a + (b - a) * (static_cast<float>(i) / samples);
            float best = 0;
            // The edge may lie a pixel or two off the approximated line.
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx) {
                    const int x = static_cast<int>(std::lround(p.x)) + dx;
                    const int y = static_cast<int>(std::lround(p.y)) + dy;
                    if (x >= 0 && y >= 0 && x < gradient.cols && y < gradient.rows)
                        best = std::max(best, gradient.at<float>(y, x));
                }
            hits += best >= strong;
        }
        const double share = static_cast<double>(hits) / (samples - 1);
        weakest = std::min(weakest, share);
        total += share;
    }
    return 0.6 * weakest + 0.4 * total / 4;
}

void addCandidates(const cv::Mat& binary, std::vector<Quad>& out) {
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    const double frameArea = static_cast<double>(binary.cols) * binary.rows;
    for (const auto& c : contours) {
        const double area = cv::contourArea(c);
        if (area < kMinArea * frameArea * 0.7)
            continue;
        if (const auto q = quadFromContour(c)) {
            const double a = polygonArea(*q) / frameArea;
            if (a >= kMinArea && a <= kMaxArea && isConvexQuad(*q))
                out.push_back(*q);
        }
    }
}

} // namespace

Quad orderCorners(const std::array<cv::Point2f, 4>& points) {
    // Sort by angle around the centre, then start at the corner nearest the top-left.
    cv::Point2f centre(0, 0);
    for (const auto& p : points)
        centre += p * 0.25f;
    std::array<cv::Point2f, 4> q = points;
    std::sort(q.begin(), q.end(), [&](const cv::Point2f& a, const cv::Point2f& b) {
        return std::atan2(a.y - centre.y, a.x - centre.x) < std::atan2(b.y - centre.y, b.x - centre.x);
    });
    int first = 0;
    for (int i = 1; i < 4; ++i)
        if (q[i].x + q[i].y < q[first].x + q[first].y)
            first = i;
    Quad out;
    for (int i = 0; i < 4; ++i)
        out[i] = q[(first + i) % 4];
    return out;
}

std::optional<Quad> findDocument(const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3 || bgr.cols < 16 || bgr.rows < 16)
        return std::nullopt;
    const double scale = std::min(1.0, static_cast<double>(kWorkSide) / std::max(bgr.cols, bgr.rows));
    cv::Mat small;
    cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);

    cv::Mat gray, blurred;
    cv::cvtColor(small, gray, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(gray, blurred, cv::Size(5, 5), 0);

    // Whiteness: bright and unsaturated, which tells paper from coloured or patterned desks.
    cv::Mat hsv;
    cv::cvtColor(small, hsv, cv::COLOR_BGR2HSV);
    std::vector<cv::Mat> ch;
    cv::split(hsv, ch);
    cv::Mat whiteness;
    cv::subtract(ch[2], ch[1], whiteness);
    cv::GaussianBlur(whiteness, whiteness, cv::Size(7, 7), 0);

    // Gradient of both maps, for scoring candidates.
    auto gradientOf = [](const cv::Mat& m) {
        cv::Mat gx, gy, mag;
        cv::Sobel(m, gx, CV_32F, 1, 0, 3);
        cv::Sobel(m, gy, CV_32F, 0, 1, 3);
        cv::magnitude(gx, gy, mag);
        return mag;
    };
    cv::Mat gradient = cv::max(gradientOf(blurred), gradientOf(whiteness));

    std::vector<Quad> candidates;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    // Edges at a few sensitivities: faint for a white page on a light desk, strong for busy desks.
    for (const auto& [lo, hi] : {std::pair{8.0, 24.0}, std::pair{25.0, 75.0}, std::pair{60.0, 160.0}}) {
        cv::Mat edges;
        cv::Canny(blurred, edges, lo, hi);
        cv::dilate(edges, edges, kernel);
        addCandidates(edges, candidates);
    }
    // Bright regions: the page as the largest light area, by Otsu's split and by an adaptive one.
    for (const cv::Mat* source : {&blurred, &whiteness}) {
        cv::Mat bin;
        cv::threshold(*source, bin, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        cv::morphologyEx(bin, bin, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
        cv::morphologyEx(bin, bin, cv::MORPH_CLOSE,
                         cv::getStructuringElement(cv::MORPH_RECT, cv::Size(15, 15)));
        addCandidates(bin, candidates);
    }
    if (candidates.empty())
        return std::nullopt;

    // Scored by edge support, with a mild preference for larger outlines (a page over its text block).
    double strongest = 0;
    cv::minMaxLoc(gradient, nullptr, &strongest);
    const float strong = static_cast<float>(std::max(20.0, strongest * 0.08));
    const double frameArea = static_cast<double>(small.cols) * small.rows;
    const Quad* best = nullptr;
    double bestScore = -1;
    for (const Quad& q : candidates) {
        const double support = edgeSupport(q, gradient, strong);
        if (support < kMinSupport)
            continue;
        const double score = support * std::pow(polygonArea(q) / frameArea, 0.25);
        if (score > bestScore) {
            bestScore = score;
            best = &q;
        }
    }
    if (!best)
        return std::nullopt;
    Quad out;
    for (int i = 0; i < 4; ++i)
        out[i] = (*best)[i] * static_cast<float>(1.0 / scale);
    return out;
}

cv::Mat cropDocument(const cv::Mat& bgr, const Quad& quad, double margin) {
    // Moving each corner along the diagonal from the centre by margin * sqrt(2) moves both its sides
    // by about `margin`.
    cv::Point2f centre(0, 0);
    for (const auto& p : quad)
        centre += p * 0.25f;
    Quad q = quad;
    for (auto& p : q) {
        const cv::Point2f d = p - centre;
        const double len = cv::norm(d);
        if (len > 1e-3)
            p += d * static_cast<float>(margin * std::sqrt(2.0) / len);
        p.x = std::clamp(p.x, 0.0f, static_cast<float>(bgr.cols - 1));
        p.y = std::clamp(p.y, 0.0f, static_cast<float>(bgr.rows - 1));
    }
    const double width = std::max(cv::norm(q[1] - q[0]), cv::norm(q[2] - q[3]));
    const double height = std::max(cv::norm(q[3] - q[0]), cv::norm(q[2] - q[1]));
    const int w = std::max(1, static_cast<int>(std::lround(width)));
    const int h = std::max(1, static_cast<int>(std::lround(height)));
    const std::array<cv::Point2f, 4> target{cv::Point2f(0, 0), cv::Point2f(static_cast<float>(w - 1), 0),
                                            cv::Point2f(static_cast<float>(w - 1), static_cast<float>(h - 1)),
                                            cv::Point2f(0, static_cast<float>(h - 1))};
    const cv::Mat m = cv::getPerspectiveTransform(q.data(), target.data());
    cv::Mat out;
    cv::warpPerspective(bgr, out, m, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out;
}

double quadOverlap(const Quad& a, const Quad& b) {
    std::vector<cv::Point2f> pa(a.begin(), a.end()), pb(b.begin(), b.end()), inter;
    const double i = cv::intersectConvexConvex(pa, pb, inter, true);
    const double u = polygonArea(a) + polygonArea(b) - i;
    return u > 0 ? i / u : 0;
}

} // namespace qx::kelpo

// Edge finding on a downscaled copy: candidate outlines from edges and from brightness, each scored by
// how well the frame's gradient supports its four sides. The few best are then judged as sheets of
// paper (shape, the paper inside, the contrast against what lies around them) into a confidence; the
// chosen one is scaled back to full size and its sides are refitted there to the frame's own edges.
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
constexpr double kMinSupport = 0.45;    // share of a side's samples on a real edge
constexpr std::size_t kJudged = 6;      // candidates looked at as sheets, best supported first
constexpr std::size_t kJudgedLines = 4; // and of the outlines made of lines, which are many on a grid
constexpr std::size_t kLineQuads = 60;  // outlines of lines scored on the edges, from each map
constexpr double kInkFromSmall = 0.16;  // where print begins to count against a page in a small frame
constexpr double kInkToSmall = 0.2;     // and where it rules one out
constexpr double kInkLift = 0.18;       // more print a page without a label's rules may carry there
constexpr int kOpenWide = 9;            // a region opened this wide (half-size pixels) sheds what touches it
constexpr float kLineRefit = 5;         // working pixels an outline of lines' side is refitted across
constexpr int kPrintClosed = 5;         // print this thin (half-size pixels) is closed over before lines
constexpr double kSkewedBy = 14;        // degrees off a right angle no page's corner is
constexpr double kLongerBy = 2.5;       // nor is a page this much longer than wide
constexpr double kRuledInk = 0.1;       // print from which an outline's rules are looked for
constexpr double kSquarerBy = 2;        // degrees an outline around the page may be less square than it
constexpr double kClearConfidence = 0.98; // a region's outline this sure of being a page, with
constexpr double kClearSupport = 0.98;    // all four sides this well on edges, needs no tint's lines

double polygonArea(const Quad& q) {
    std::vector<cv::Point2f> v(q.begin(), q.end());
    return std::fabs(cv::contourArea(v));
}

// The area two convex outlines have in common: `a` clipped by each side of `b` in turn. OpenCV's
// intersectConvexConvex miscounts outlines that share corners, as an outline widened over a band
// shares two with the one it was widened from (it answered more than the smaller's area).
double sharedArea(const Quad& a, const Quad& b) {
    std::vector<cv::Point2d> poly(a.begin(), a.end());
    double turn = 0; // the sign of b's orientation
    for (int i = 0; i < 4; ++i) {
        const cv::Point2d p = b[i], q = b[(i + 1) % 4];
        turn += p.x * q.y - q.x * p.y;
    }
    const double sign = turn < 0 ? -1 : 1;
    std::vector<cv::Point2d> next;
    for (int i = 0; i < 4 && !poly.empty(); ++i) {
        const cv::Point2d p = b[i], q = b[(i + 1) % 4];
        auto side = [&](const cv::Point2d& x) { return sign * ((q - p).cross(x - p)); };
        next.clear();
        for (std::size_t k = 0; k < poly.size(); ++k) {
            const cv::Point2d& u = poly[k];
            const cv::Point2d& v = poly[(k + 1) % poly.size()];
            const double su = side(u), sv = side(v);
            if (su >= 0)
                next.push_back(u);
            if ((su >= 0) != (sv >= 0))
                next.push_back(u + (v - u) * (su / (su - sv)));
        }
        poly.swap(next);
    }
    double area = 0;
    for (std::size_t k = 0; k < poly.size(); ++k)
        area += poly[k].cross(poly[(k + 1) % poly.size()]);
    return std::fabs(area) / 2;
}

bool isConvexQuad(const Quad& q) {
    std::vector<cv::Point2f> v(q.begin(), q.end());
    return cv::isContourConvex(v);
}

cv::Point2f centroid(const Quad& q) {
    return (q[0] + q[1] + q[2] + q[3]) * 0.25f;
}

double smoothstep(double lo, double hi, double x) {
    const double t = std::clamp((x - lo) / (hi - lo), 0.0, 1.0);
    return t * t * (3 - 2 * t);
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

// Share of points along the side from `a` to `b` where the gradient is strong.
double sideSupport(cv::Point2f a, cv::Point2f b, const cv::Mat& near, float strong) {
    const double length = cv::norm(b - a);
    const int samples = std::max(8, static_cast<int>(length / 3));
    int hits = 0;
    for (int i = 1; i < samples; ++i) {
        const cv::Point2f p = a + (b - a) * (static_cast<float>(i) / samples);
        const int x = static_cast<int>(std::lround(p.x));
        const int y = static_cast<int>(std::lround(p.y));
        if (x >= 0 && y >= 0 && x < near.cols && y < near.rows)
            hits += near.at<float>(y, x) >= strong;
    }
    return static_cast<double>(hits) / (samples - 1);
}

// Share of points along the four sides where the gradient is strong, with the weakest side counting
// most: a real page has all four edges, a false outline misses some. `near` is the gradient's
// maximum over 5 x 5 pixels, as the edge may lie a pixel or two off the approximated line.
double edgeSupport(const Quad& q, const cv::Mat& near, float strong, double* weakestOut = nullptr) {
    double weakest = 1.0;
    double total = 0;
    for (int s = 0; s < 4; ++s) {
        const double share = sideSupport(q[s], q[(s + 1) % 4], near, strong);
        weakest = std::min(weakest, share);
        total += share;
    }
    if (weakestOut)
        *weakestOut = weakest;
    return 0.6 * weakest + 0.4 * total / 4;
}

// Whether the strip between side a-b and its widening a2-b2 (work pixels) is a band of the page's
// print: of one colour along most of the side (a shadow across it darkens a part; a row of a
// checkered desk is not), and differing from what lies beyond the widened side and from what lies
// beyond the strip's ends (a stripe of the desk's pattern runs on past the page's corners, a band
// ends with the page). `colour` is at half the working size.
bool isBand(const cv::Mat& colour, cv::Point2f a, cv::Point2f b, cv::Point2f a2, cv::Point2f b2) {
    const cv::Rect frame(0, 0, colour.cols, colour.rows);
    auto differ = [](const cv::Vec3i& u, const cv::Vec3i& v) {
        return std::abs(u[0] - v[0]) + std::abs(u[1] - v[1]) + std::abs(u[2] - v[2]);
    };
    // The median colour of the points in the frame, and the share of them near it.
    auto median = [&](const std::vector<cv::Point2f>& points, cv::Vec3i& out, double* near = nullptr) {
        std::vector<cv::Vec3i> seen;
        std::array<std::vector<int>, 3> ch;
        for (const cv::Point2f& p : points) {
            const cv::Point at(cvRound(p.x * 0.5f), cvRound(p.y * 0.5f));
            if (!frame.contains(at))
                continue;
            const cv::Vec3b c = colour.at<cv::Vec3b>(at);
            seen.emplace_back(c[0], c[1], c[2]);
            for (int k = 0; k < 3; ++k)
                ch[static_cast<std::size_t>(k)].push_back(c[k]);
        }
        if (seen.size() * 2 < points.size())
            return false;
        for (int k = 0; k < 3; ++k) {
            auto& v = ch[static_cast<std::size_t>(k)];
            std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
            out[k] = v[v.size() / 2];
        }
        if (near)
            *near = static_cast<double>(std::count_if(
                        seen.begin(), seen.end(), [&](const cv::Vec3i& c) { return differ(c, out) < 36; })) /
                    static_cast<double>(seen.size());
        return true;
    };
    const cv::Point2f outward = (a2 - a + b2 - b) * 0.5f;
    const float depth = static_cast<float>(cv::norm(outward));
    if (depth < 1)
        return false;
    const cv::Point2f n = outward * (1 / depth);
    const cv::Point2f m0 = (a + a2) * 0.5f, m1 = (b + b2) * 0.5f;
    const cv::Point2f u = (m1 - m0) * static_cast<float>(1 / std::max(1e-3, cv::norm(m1 - m0)));
    std::vector<cv::Point2f> strip, beyond, end0, end1;
    for (int i = 0; i < 12; ++i) {
        const float t = 0.15f + 0.7f * static_cast<float>(i) / 11;
        strip.push_back(m0 + (m1 - m0) * t);
        beyond.push_back(a2 + (b2 - a2) * t + n * 5.f);
    }
    for (float k : {6.f, 8.f, 10.f}) {
        end0.push_back(m0 - u * k);
        end1.push_back(m1 + u * k);
    }
    cv::Vec3i band, desk, e0, e1;
    double even = 0;
    if (!median(strip, band, &even) || even < 0.6 || !median(beyond, desk) || differ(band, desk) < 18)
        return false;
    const bool has0 = median(end0, e0), has1 = median(end1, e1);
    return (has0 || has1) && (!has0 || differ(band, e0) >= 24) && (!has1 || differ(band, e1) >= 24);
}

// The offset of a band's outer edge beyond the side a-b of a page (work pixels), its corners moved out
// along `ua` and `ub`, or 0. Across the side the colour is taken at each offset as the median of many
// points along it, which print and noise barely move: the paper's edge is the profile's step at the
// side, the band's outer edge the strongest step beyond it, however near (a thin band's two edges run
// into one on the gradient).
float bandEdge(const cv::Mat& small, cv::Point2f a, cv::Point2f b, cv::Point2f ua, cv::Point2f ub,
               int reach) {
    constexpr int kAlong = 24;
    constexpr int kInside = 3;
    if (reach < 6)
        return 0;
    // The profile runs on past the reach to see the desk beyond: a band's edge stands out from it, a
    // line of wood grain or a pattern's does not.
    const std::size_t searched = static_cast<std::size_t>(reach + kInside + 1);
    const std::size_t offsets = searched + static_cast<std::size_t>(reach / 2 + 4);
    std::vector<cv::Vec3i> profile(offsets);
    std::array<std::array<int, kAlong>, 3> ch{};
    for (std::size_t i = 0; i < offsets; ++i) {
        const float d = static_cast<float>(i) - kInside;
        int n = 0;
        for (int k = 0; k < kAlong; ++k) {
            const float t = 0.1f + 0.8f * static_cast<float>(k) / (kAlong - 1);
            const cv::Point2f p = a + (b - a) * t + (ua * (1 - t) + ub * t) * d;
            const int x = cvRound(p.x), y = cvRound(p.y);
            if (x < 0 || y < 0 || x >= small.cols || y >= small.rows)
                continue;
            const cv::Vec3b c = small.at<cv::Vec3b>(y, x);
            for (int m = 0; m < 3; ++m)
                ch[static_cast<std::size_t>(m)][static_cast<std::size_t>(n)] = c[m];
            ++n;
        }
        if (n < kAlong / 2)
            return 0;
        for (std::size_t m = 0; m < 3; ++m) {
            std::nth_element(ch[m].begin(), ch[m].begin() + n / 2, ch[m].begin() + n);
            profile[i][static_cast<int>(m)] = ch[m][static_cast<std::size_t>(n / 2)];
        }
    }
    auto step = [&](std::size_t i) {
        const cv::Vec3i& u = profile[i + 1];
        const cv::Vec3i& v = profile[i - 1];
        return std::abs(u[0] - v[0]) + std::abs(u[1] - v[1]) + std::abs(u[2] - v[2]);
    };
    // The side's own edge, within a pixel or two of it.
    std::size_t own = kInside;
    for (std::size_t i = 1; i <= kInside + 2; ++i)
        if (step(i) > step(own))
            own = i;
    int best = 15;
    std::size_t at = 0;
    for (std::size_t i = own + 3; i < searched; ++i)
        if (step(i) > best) {
            best = step(i);
            at = i;
        }
    if (at == 0)
        return 0;
    for (std::size_t i = at + 3; i + 1 < offsets; ++i)
        if (2 * step(i) > best)
            return 0;
    return static_cast<float>(at) - kInside;
}

// A band printed along a page's edge (a letterhead's colour, a form's title bar) sets the paper
// apart from the band, and the band from the desk only faintly: the outline found is the paper's.
// Each side moved outward to the band's outer edge within a strip of the page's size (bandEdge, or
// else the first well supported parallel edge) makes the outline that takes the band in, kept when
// what it takes in is a band (isBand).
void addWidened(const Quad& q, const cv::Mat& small, const cv::Mat& near, float strong, const cv::Mat& colour,
                std::vector<Quad>& out) {
    for (int s = 0; s < 4; ++s) {
        const cv::Point2f a = q[static_cast<std::size_t>(s)], b = q[static_cast<std::size_t>((s + 1) % 4)];
        const cv::Point2f before = q[static_cast<std::size_t>((s + 3) % 4)];
        const cv::Point2f after = q[static_cast<std::size_t>((s + 2) % 4)];
        const cv::Point2f ua = (a - before) * static_cast<float>(1 / std::max(1e-3, cv::norm(a - before)));
        const cv::Point2f ub = (b - after) * static_cast<float>(1 / std::max(1e-3, cv::norm(b - after)));
        const double reach = 0.15 * std::min(cv::norm(a - before), cv::norm(b - after));
        float at = bandEdge(small, a, b, ua, ub, static_cast<int>(reach));
        if (at == 0) {
            // The side's own edge stays supported for a few pixels out (the gradient is spread over
            // 5 x 5): the band's outer edge is the best supported run of offsets after the support has
            // dropped, and it lies in that run's middle.
            std::vector<double> shares;
            for (float d = 0; d <= reach; d += 1)
                shares.push_back(sideSupport(a + ua * d, b + ub * d, near, strong));
            std::size_t from = 1;
            while (from < shares.size() && shares[from] >= 0.5)
                ++from;
            double best = 0.75;
            std::size_t peak = 0;
            for (std::size_t d = from; d < shares.size(); ++d)
                if (shares[d] > best) {
                    best = shares[d];
                    peak = d;
                }
            if (peak > 0) {
                std::size_t end = peak;
                while (end + 1 < shares.size() && shares[end + 1] >= best - 0.03)
                    ++end;
                at = static_cast<float>(peak + end) / 2;
            }
        }
        if (at > 0) {
            Quad wider = q;
            wider[static_cast<std::size_t>(s)] = a + ua * at;
            wider[static_cast<std::size_t>((s + 1) % 4)] = b + ub * at;
            if (isConvexQuad(wider) && isBand(colour, a, b, wider[static_cast<std::size_t>(s)],
                                              wider[static_cast<std::size_t>((s + 1) % 4)]))
                out.push_back(wider);
        }
    }
}

void addCandidates(const cv::Mat& binary, std::vector<Quad>& out) {
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(binary, contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    const double frameArea = static_cast<double>(binary.cols) * binary.rows;
    auto add = [&](const std::optional<Quad>& q) {
        if (!q)
            return;
        const double a = polygonArea(*q) / frameArea;
        if (a >= kMinArea && a <= kMaxArea && isConvexQuad(*q))
            out.push_back(*q);
    };
    for (const auto& c : contours) {
        const double area = cv::contourArea(c);
        if (area < kMinArea * frameArea * 0.7)
            continue;
        add(quadFromContour(c));
    }
}

// Colour distance from the desk as the frame's border shows it, its light falling off smoothly across
// the view (a quadratic fit per channel), blurred; empty when the fit fails.
cv::Mat distanceFromDesk(const cv::Mat& small) {
    std::vector<cv::Point> border;
    for (int x = 0; x < small.cols; x += 4) {
        border.emplace_back(x, 1);
        border.emplace_back(x, small.rows - 2);
    }
    for (int y = 0; y < small.rows; y += 4) {
        border.emplace_back(1, y);
        border.emplace_back(small.cols - 2, y);
    }
    const double sx = 2.0 / small.cols, sy = 2.0 / small.rows;
    cv::Mat a(static_cast<int>(border.size()), 5, CV_64F), rhs(static_cast<int>(border.size()), 3, CV_64F);
    for (int i = 0; i < a.rows; ++i) {
        const cv::Point p = border[static_cast<std::size_t>(i)];
        const double u = p.x * sx - 1, v = p.y * sy - 1;
        double* t = a.ptr<double>(i);
        t[0] = 1, t[1] = u, t[2] = v, t[3] = u * u, t[4] = v * v;
        const cv::Vec3b c = small.at<cv::Vec3b>(p);
        for (int k = 0; k < 3; ++k)
            rhs.at<double>(i, k) = c[k];
    }
    cv::Mat fit;
    if (!cv::solve(a, rhs, fit, cv::DECOMP_QR))
        return {};
    // The fit split into a part of each row and a part of each column, so a pixel costs additions.
    std::vector<float> columns(static_cast<std::size_t>(small.cols) * 3);
    for (int x = 0; x < small.cols; ++x) {
        const double u = x * sx - 1;
        for (int k = 0; k < 3; ++k)
            columns[static_cast<std::size_t>(x) * 3 + static_cast<std::size_t>(k)] =
                static_cast<float>(fit.at<double>(1, k) * u + fit.at<double>(3, k) * u * u);
    }
    cv::Mat distance(small.size(), CV_8U);
    for (int y = 0; y < small.rows; ++y) {
        const uchar* row = small.ptr<uchar>(y);
        uchar* out = distance.ptr<uchar>(y);
        const double v = y * sy - 1;
        float base[3];
        for (int k = 0; k < 3; ++k)
            base[k] = static_cast<float>(fit.at<double>(0, k) + fit.at<double>(2, k) * v +
                                         fit.at<double>(4, k) * v * v);
        const float* col = columns.data();
        for (int x = 0; x < small.cols; ++x, row += 3, col += 3) {
            const float d = std::fabs(row[0] - base[0] - col[0]) + std::fabs(row[1] - base[1] - col[1]) +
                            std::fabs(row[2] - base[2] - col[2]);
            out[x] = static_cast<uchar>(std::min(d, 255.f));
        }
    }
    cv::GaussianBlur(distance, distance, cv::Size(5, 5), 0);
    return distance;
}

// What tells a sheet of paper from other outlines.
struct Traits {
    double support = 0;   // edge support of the outline (see edgeSupport)
    double area = 0;      // share of the frame
    double angle = 0;     // the largest departure of a corner from a right angle, degrees
    double aspect = 1;    // the longer side over the shorter, of the rectangle it shows
    double ink = 0;       // share of the inside that is thin print much darker than its paper
    double colourful = 0; // share of the inside in strong colour
    double level = 0;     // the paper's lightness, 0-255
    double chroma = 0;    // the inside's median saturation, 0-255
    double contrast = 0;  // the side least set off from its surroundings: median colour difference
    double paper = 0;     // share of the inside near the paper's tone (print closed over)
    int rules = 0;        // thin dark rules running across the inside from side to side
};

// The working copy's maps the candidates are found in and judged on.
struct Maps {
    cv::Mat near;      // gradient, maximum over 5 x 5
    float strong = 0;  // a gradient this strong is an edge
    cv::Mat gray;      // half size: lightness as it is
    cv::Mat paperTone; // half size: lightness with thin dark print closed over (a band or a photo stays)
    cv::Mat chroma;    // half size: saturation
    cv::Mat colour;    // half size: BGR
    cv::Mat work;      // working size: lightness
};

// The inside of `q` (work pixels): the paper's lightness and tint, and how much thin dark print and
// strong colour lie on it.
void judgePaper(const Quad& q, const Maps& maps, Traits& t) {
    const cv::Point2f c = centroid(q);
    std::array<cv::Point, 4> inner;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f p = (c + (q[i] - c) * 0.94f) * 0.5f;
        inner[i] = cv::Point(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)));
    }
    cv::Mat mask(maps.gray.size(), CV_8U, cv::Scalar(0));
    cv::fillConvexPoly(mask, inner.data(), 4, cv::Scalar(255));
    const cv::Rect box = cv::boundingRect(std::vector<cv::Point>(inner.begin(), inner.end())) &
                         cv::Rect(0, 0, mask.cols, mask.rows);
    if (box.area() <= 0)
        return;
    int histTone[256] = {0};
    int histChroma[256] = {0};
    int count = 0;
    int ink = 0;
    int colourful = 0;
    for (int y = box.y; y < box.y + box.height; ++y) {
        const uchar* m = mask.ptr<uchar>(y);
        const uchar* s = maps.chroma.ptr<uchar>(y);
        const uchar* g = maps.gray.ptr<uchar>(y);
        const uchar* tone = maps.paperTone.ptr<uchar>(y);
        for (int x = box.x; x < box.x + box.width; ++x)
            if (m[x]) {
                ink += g[x] * 5 < tone[x] * 3;
                colourful += s[x] > 90;
                ++histTone[tone[x]];
                ++histChroma[s[x]];
                ++count;
            }
    }
    if (count == 0)
        return;
    // The paper's tone: the lightness that a tenth of the inside reaches.
    int level = 255;
    int acc = 0;
    for (; level > 0; --level) {
        acc += histTone[level];
        if (acc >= count / 10)
            break;
    }
    // Paper in shade is still paper: a third darker counts.
    for (int tone = level - 1; tone * 3 >= level * 2 && tone >= 0; --tone)
        acc += histTone[tone];
    t.paper = static_cast<double>(acc) / count;
    int median = 0;
    for (int acc = 0; median < 255; ++median) {
        acc += histChroma[median];
        if (acc >= count / 2)
            break;
    }
    t.ink = static_cast<double>(ink) / count;
    t.colourful = static_cast<double>(colourful) / count;
    t.level = level;
    t.chroma = median;
}

// How the weakest side stands out from what lies beyond it: along each side, the colour just inside
// against just outside, its median over the side; a side at the frame's border has nothing beyond.
void judgeSurroundings(const Quad& q, const Maps& maps, Traits& t) {
    const cv::Point2f c = centroid(q) * 0.5f;
    double weakest = 1e9;
    for (int s = 0; s < 4; ++s) {
        const cv::Point2f a = q[s] * 0.5f, b = q[(s + 1) % 4] * 0.5f;
        cv::Point2f normal(a.y - b.y, b.x - a.x);
        normal *= static_cast<float>(1.0 / std::max(1e-3, cv::norm(normal)));
        if (normal.dot(c - (a + b) * 0.5f) < 0)
            normal = -normal; // pointing inward
        std::vector<int> diffs;
        constexpr int kSamples = 16;
        for (int i = 0; i < kSamples; ++i) {
            const cv::Point2f p = a + (b - a) * ((i + 0.5f) / kSamples);
            const cv::Point in(cvRound(p.x + normal.x * 3), cvRound(p.y + normal.y * 3));
            const cv::Point out(cvRound(p.x - normal.x * 3), cvRound(p.y - normal.y * 3));
            const cv::Rect frame(0, 0, maps.colour.cols, maps.colour.rows);
            if (!frame.contains(in) || !frame.contains(out))
                continue;
            const cv::Vec3b u = maps.colour.at<cv::Vec3b>(in), v = maps.colour.at<cv::Vec3b>(out);
            diffs.push_back(std::abs(u[0] - v[0]) + std::abs(u[1] - v[1]) + std::abs(u[2] - v[2]));
        }
        double median = 0;
        if (diffs.size() >= kSamples / 2) {
            std::nth_element(diffs.begin(), diffs.begin() + static_cast<long>(diffs.size() / 2), diffs.end());
            median = diffs[diffs.size() / 2];
        }
        weakest = std::min(weakest, median);
    }
    t.contrast = weakest;
}

// Thin dark rules along the rows of `flat` (the inside seen straight on, of paper `level`) that run
// into both sides, as a label's rules run into its edge where a page's print, a form's lines
// included, keeps a margin: a pixel is on a rule when darker than the rows a few pixels above and
// below it, a row is ruled when that holds along nearly all of it and at both of its ends.
int rulesAlong(const cv::Mat& flat, int level) {
    const int w = flat.cols, h = flat.rows;
    cv::Mat ridge(flat.size(), CV_8U, cv::Scalar(0));
    const int strong = level / 4;
    for (int y = 3; y + 3 < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int v = flat.at<uchar>(y, x);
            int r = 0;
            for (int d = 2; d <= 3; ++d)
                r = std::max(r, std::min(flat.at<uchar>(y - d, x), flat.at<uchar>(y + d, x)) - v);
            // At the ends a rule runs into the label's border, which is dark but no ridge across.
            ridge.at<uchar>(y, x) = r >= strong ? 255 : v * 5 < level * 3 ? 1 : 0;
        }
    // A rule a pixel off still counts, and so does one a few degrees off the outline's sides: the
    // outline is not quite the label's.
    cv::dilate(ridge, ridge, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(1, 3)));
    const int x0 = cvRound(0.015 * w), x1 = cvRound(0.985 * w);
    const int end = std::max(2, cvRound(0.02 * w));
    auto ruledAt = [&](int y, double slope) {
        const int allowed = (x1 - x0) - static_cast<int>(std::ceil(0.92 * (x1 - x0)));
        int missed = 0, first = 0, last = 0;
        for (int x = x0; x < x1 && missed <= allowed; ++x) {
            const int at = y + cvRound(slope * (x - w / 2));
            const uchar r = at >= 0 && at < h ? ridge.at<uchar>(at, x) : 0;
            missed += r != 255;
            first += r && x < x0 + end;
            last += r && x >= x1 - end;
        }
        return missed <= allowed && first >= 0.8 * end && last >= 0.8 * end;
    };
    int rules = 0;
    bool inRule = false;
    for (int y = cvRound(0.05 * h); y <= cvRound(0.95 * h); ++y) {
        bool ruled = false;
        for (int k = -5; k <= 5 && !ruled; ++k)
            ruled = ruledAt(y, 0.02 * k);
        rules += ruled && !inRule;
        inRule = ruled;
    }
    return rules;
}

// The rules of the inside of `q` (work pixels) across either way, on the inside seen straight on at
// about the size it covers.
void judgeRules(const Quad& q, const Maps& maps, Traits& t) {
    const double across = std::max(cv::norm(q[1] - q[0]), cv::norm(q[2] - q[3]));
    const double down = std::max(cv::norm(q[3] - q[0]), cv::norm(q[2] - q[1]));
    const int w = std::clamp(cvRound(across), 16, 400), h = std::clamp(cvRound(down), 16, 400);
    const std::array<cv::Point2f, 4> target{cv::Point2f(0, 0), cv::Point2f(static_cast<float>(w), 0),
                                            cv::Point2f(static_cast<float>(w), static_cast<float>(h)),
                                            cv::Point2f(0, static_cast<float>(h))};
    cv::Mat flat;
    cv::warpPerspective(maps.work, flat, cv::getPerspectiveTransform(q.data(), target.data()), cv::Size(w, h),
                        cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    int hist[256] = {0};
    for (int y = 0; y < flat.rows; ++y)
        for (int x = 0; x < flat.cols; ++x)
            ++hist[flat.at<uchar>(y, x)];
    int level = 255;
    for (int acc = 0; level > 0; --level) {
        acc += hist[level];
        if (acc >= static_cast<int>(flat.total() / 10))
            break;
    }
    t.rules = rulesAlong(flat, level) + rulesAlong(flat.t(), level);
}

void judgeShape(const Quad& q, cv::Size workSize, Traits& t) {
    double worst = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f u = q[(i + 3) % 4] - q[i], v = q[(i + 1) % 4] - q[i];
        const double cosine = u.dot(v) / std::max(1e-6, cv::norm(u) * cv::norm(v));
        worst = std::max(worst, std::fabs(std::acos(std::clamp(cosine, -1.0, 1.0)) * 180 / CV_PI - 90));
    }
    t.angle = worst;
    const double a = sheetAspect(q, workSize);
    t.aspect = std::max(a, 1 / a);
}

// How far a frame is from a 1920 x 1080 one (0) towards one no larger than the working copy (1).
double smallFrame(double printScale) {
    return (std::clamp(printScale, 1.0 / 3, 1.0) - 1.0 / 3) * 1.5;
}

// The confidence that an outline of these traits is a sheet of paper: each trait a soft bound, all
// of them needed. A page is well outlined, near-rectangular and of a sheet's proportions, light and
// of a pale tone, with print that is sparse against its paper (a shipping label's bars, boxes and bold
// lines are not), little strong colour (book covers, product boxes, desks) and set off on every side.
double confidenceOf(const Traits& t, double printScale) {
    // Print covers more of a page in a small frame (a stroke is at least a pixel wide there, and the
    // lens spreads it over several), so the bound on it rises from a 1920 x 1080 frame's (the working
    // copy a third of the frame) to that of a frame no larger than the working copy. There a page
    // of small dense text has as much print as a shipping label, which its rules from edge to edge
    // tell apart: a page without them may carry more, an outline ruled as a label is held to a
    // large frame's bound (its print is bars and bold lines, not small text).
    const double small = t.rules >= 2 ? 0 : smallFrame(printScale);
    const double lift = t.rules > 0 ? 0 : small * kInkLift;
    const double inkFrom = 0.1 + small * (kInkFromSmall - 0.1) + lift,
                 inkTo = 0.16 + small * (kInkToSmall - 0.16) + lift;
    const double outline = smoothstep(0.45, 0.85, t.support) * smoothstep(0.06, 0.09, t.area);
    // A document camera looks down on the desk from nearly above: a page's corners stay within about
    // 10 degrees of right angles, where outlines over a keyboard's keys or a box's slanted face do not.
    const double shape = (1 - smoothstep(9, kSkewedBy, t.angle)) * (1 - smoothstep(1.9, kLongerBy, t.aspect));
    const double paper = smoothstep(120, 165, t.level) * (1 - smoothstep(80, 120, t.chroma)) *
                         (1 - smoothstep(inkFrom, inkTo, t.ink)) * (1 - smoothstep(0.15, 0.35, t.colourful));
    const double standsOut = smoothstep(4, 18, t.contrast);
    return outline * shape * paper * standsOut;
}

// Refits each side of `q` (pixels of `bgr`) to the strongest colour edge within `reach` pixels
// across it, nearer ones preferred by `nearness` (0: none, 1: an edge at the reach counts half), and
// answers the four sides' intersections; the outline as it was when a side finds no clear edge or a
// corner would move farther than twice the reach.
Quad refitSides(const cv::Mat& bgr, const Quad& q, float reach, float nearness) {
    const cv::Point2f c = centroid(q);
    std::array<cv::Vec4f, 4> lines;
    auto colourAt = [&](cv::Point2f p, float out[3]) {
        const int x = std::clamp(static_cast<int>(p.x), 0, bgr.cols - 2);
        const int y = std::clamp(static_cast<int>(p.y), 0, bgr.rows - 2);
        const float fx = std::clamp(p.x - x, 0.f, 1.f), fy = std::clamp(p.y - y, 0.f, 1.f);
        const cv::Vec3b* r0 = bgr.ptr<cv::Vec3b>(y) + x;
        const cv::Vec3b* r1 = bgr.ptr<cv::Vec3b>(y + 1) + x;
        for (int k = 0; k < 3; ++k)
            out[k] =
                (r0[0][k] * (1 - fx) + r0[1][k] * fx) * (1 - fy) + (r1[0][k] * (1 - fx) + r1[1][k] * fx) * fy;
    };
    const int steps = static_cast<int>(std::ceil(reach));
    const std::size_t span = static_cast<std::size_t>(2 * steps + 1);
    std::vector<float> profile(span * 3);
    std::vector<float> step(span);
    constexpr int kSamples = 32;
    for (int s = 0; s < 4; ++s) {
        const cv::Point2f a = q[s], b = q[(s + 1) % 4];
        cv::Point2f normal(a.y - b.y, b.x - a.x);
        normal *= static_cast<float>(1.0 / std::max(1e-3, cv::norm(normal)));
        if (normal.dot(c - (a + b) * 0.5f) < 0)
            normal = -normal;
        std::vector<cv::Point2f> points;
        for (int i = 0; i < kSamples; ++i) {
            const cv::Point2f p = a + (b - a) * (0.08f + 0.84f * i / (kSamples - 1));
            for (int k = -steps; k <= steps; ++k)
                colourAt(p + normal * static_cast<float>(k),
                         &profile[static_cast<std::size_t>(k + steps) * 3]);
            // The edge: the largest colour step across the side, to a fraction of a pixel.
            float best = 0;
            int at = 0;
            std::fill(step.begin(), step.end(), 0.f);
            for (int k = 1; k < 2 * steps; ++k) {
                float d = 0;
                for (int ch = 0; ch < 3; ++ch)
                    d += std::fabs(profile[static_cast<std::size_t>(k + 1) * 3 + ch] -
                                   profile[static_cast<std::size_t>(k - 1) * 3 + ch]);
                step[static_cast<std::size_t>(k)] = d;
                const float weighted = d * (1 - nearness * 0.5f * std::abs(k - steps) / steps);
                if (weighted > best) {
                    best = weighted;
                    at = k;
                }
            }
            if (step[static_cast<std::size_t>(at)] < 12 || at <= 1 || at >= 2 * steps - 1)
                continue;
            const float l = step[static_cast<std::size_t>(at - 1)], m = step[static_cast<std::size_t>(at)],
                        r = step[static_cast<std::size_t>(at + 1)];
            const float denom = l - 2 * m + r;
            const float offset = std::fabs(denom) > 1e-6f ? 0.5f * (l - r) / denom : 0.f;
            points.push_back(p + normal * (static_cast<float>(at - steps) + std::clamp(offset, -0.5f, 0.5f)));
        }
        if (points.size() < kSamples / 3)
            return q;
        cv::fitLine(points, lines[static_cast<std::size_t>(s)], cv::DIST_HUBER, 0, 0.01, 0.01);
    }
    Quad out;
    for (int i = 0; i < 4; ++i) {
        // Corner i joins side i - 1 (ending at it) and side i (starting at it).
        const cv::Vec4f& l1 = lines[static_cast<std::size_t>((i + 3) % 4)];
        const cv::Vec4f& l2 = lines[static_cast<std::size_t>(i)];
        const double det = l1[0] * l2[1] - l1[1] * l2[0];
        if (std::fabs(det) < 1e-6)
            return q;
        const double t = ((l2[2] - l1[2]) * l2[1] - (l2[3] - l1[3]) * l2[0]) / det;
        out[i] = cv::Point2f(static_cast<float>(l1[2] + t * l1[0]), static_cast<float>(l1[3] + t * l1[1]));
        if (cv::norm(out[i] - q[i]) > 2 * reach)
            return q;
    }
    return isConvexQuad(out) ? out : q;
}

// The outline found on the working copy (scaled by `scale` to it) fitted to the full-size frame's
// edges: first across a few working pixels, preferring the nearer edge, then closely.
Quad refineSides(const cv::Mat& bgr, const Quad& q, double scale) {
    const float pixel = static_cast<float>(1 / scale);
    const Quad coarse = refitSides(bgr, q, std::max(4.f, 4.5f * pixel), 1.f);
    return refitSides(bgr, coarse, std::max(3.f, 1.5f * pixel), 0.f);
}

// Outlines made of four long straight edges: where a page's outline does not close into one region
// of its own (something touching or lying under it, a printed band running to its edge, a shadow
// across it), its sides still lie on lines. The strongest lines of one edge map, those nearly the same
// merged, are paired: two nearly parallel lines across from two others, roughly at right angles to
// them, make an outline.
void addLineCandidates(const cv::Mat& edges, std::vector<Quad>& out) {
    const double shorter = std::min(edges.cols, edges.rows);
    struct Line {
        double theta = 0, rho = 0, length = 0; // normal form: x cos(theta) + y sin(theta) = rho
        double c = 1, s = 0;                   // cos(theta), sin(theta)
    };
    // The standard transform at two degrees: the probabilistic one costs several times as much on a
    // textured desk's many edge points. Its lines come strongest first, with the edge points of each.
    std::vector<cv::Vec3f> strongest;
    cv::HoughLines(edges, strongest, 1, CV_PI / 90, static_cast<int>(0.15 * shorter));
    std::vector<Line> lines;
    for (const cv::Vec3f& f : strongest) {
        const double rho = f[0], theta = f[1], length = f[2];
        bool merged = false;
        for (Line& l : lines) {
            double d = std::fabs(theta - l.theta);
            double r = rho - l.rho;
            if (d > CV_PI / 2) { // the same direction across the wrap of the angle
                d = CV_PI - d;
                r = -rho - l.rho;
            }
            if (d < 3 * CV_PI / 180 && std::fabs(r) < 4) {
                l.length += length;
                merged = true;
                break;
            }
        }
        if (!merged)
            lines.push_back({theta, rho, length, std::cos(theta), std::sin(theta)});
        if (lines.size() >= 16)
            break;
    }
    auto meet = [](const Line& a, const Line& b, cv::Point2f& p) {
        const double det = a.c * b.s - a.s * b.c;
        if (std::fabs(det) < 1e-3)
            return false;
        p.x = static_cast<float>((a.rho * b.s - b.rho * a.s) / det);
        p.y = static_cast<float>((b.rho * a.c - a.rho * b.c) / det);
        return true;
    };
    auto apart = [](double a, double b) {
        const double d = std::fabs(a - b);
        return std::min(d, CV_PI - d);
    };
    const cv::Point2d centre(edges.cols / 2.0, edges.rows / 2.0);
    // Pairs of opposite sides: nearly parallel (perspective tilts them a little), well apart.
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = i + 1; j < lines.size(); ++j) {
            if (apart(lines[i].theta, lines[j].theta) > 20 * CV_PI / 180)
                continue;
            // Their distance where the first passes nearest the frame's centre.
            const Line& a = lines[i];
            const Line& b = lines[j];
            const cv::Point2d n(a.c, a.s);
            const cv::Point2d p = centre - n * (centre.dot(n) - a.rho);
            if (std::fabs(p.x * b.c + p.y * b.s - b.rho) >= 0.15 * shorter)
                pairs.emplace_back(i, j);
        }
    const double frameArea = static_cast<double>(edges.cols) * edges.rows;
    const cv::Rect2f frame(-4.f, -4.f, static_cast<float>(edges.cols + 8),
                           static_cast<float>(edges.rows + 8));
    std::vector<std::pair<double, Quad>> found;
    for (std::size_t p = 0; p < pairs.size(); ++p)
        for (std::size_t q = p + 1; q < pairs.size(); ++q) {
            const Line &a1 = lines[pairs[p].first], &a2 = lines[pairs[p].second];
            const Line &b1 = lines[pairs[q].first], &b2 = lines[pairs[q].second];
            if (pairs[p].first == pairs[q].first || pairs[p].first == pairs[q].second ||
                pairs[p].second == pairs[q].first || pairs[p].second == pairs[q].second)
                continue;
            const double across = apart(a1.theta, b1.theta);
            if (across < 60 * CV_PI / 180)
                continue;
            std::array<cv::Point2f, 4> corners;
            if (!meet(a1, b1, corners[0]) || !meet(b1, a2, corners[1]) || !meet(a2, b2, corners[2]) ||
                !meet(b2, a1, corners[3]))
                continue;
            if (!std::all_of(corners.begin(), corners.end(),
                             [&](const cv::Point2f& c) { return frame.contains(c); }))
                continue;
            const Quad quad = orderCorners(corners);
            const double area = polygonArea(quad) / frameArea;
            if (area < kMinArea || area > kMaxArea || !isConvexQuad(quad))
                continue;
            // How much of each side its line's segments cover, the least covered side counting.
            double covered = 1;
            const std::array<const Line*, 4> sides{&b1, &a2, &b2, &a1}; // from corner k to k + 1
            for (std::size_t k = 0; k < 4; ++k)
                covered = std::min(covered, sides[k]->length /
                                                std::max(1.0, cv::norm(corners[(k + 1) % 4] - corners[k])));
            found.emplace_back(covered, quad);
        }
    // A grid or a checkered desk makes thousands; the best covered are scored on the edges.
    const std::size_t kept = std::min<std::size_t>(found.size(), kLineQuads);
    std::partial_sort(found.begin(), found.begin() + static_cast<long>(kept), found.end(),
                      [](const auto& x, const auto& y) { return x.first > y.first; });
    for (std::size_t i = 0; i < kept; ++i)
        out.push_back(found[i].second);
}

struct Judged {
    Quad quad;
    Traits traits;
    double confidence = 0;
    bool ofLines = false; // made of four lines rather than the outline of one region
    bool band = false;    // a region's outline widened over a band along one side (see isBand)
};

// Every candidate outline of the working copy `small`, the best supported judged as sheets;
// `printScale` is the working copy's size over the frame's.
std::vector<Judged> judgeCandidates(const cv::Mat& small, double printScale) {
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
    // Regions are found at half the working size: their outlines only need to be near the page's, the
    // sides are refitted to the frame afterwards.
    const cv::Size half(small.cols / 2, small.rows / 2);
    cv::Mat halfColour;
    cv::resize(small, halfColour, half, 0, 0, cv::INTER_AREA);
    // The distance from the desk's colour counts too: it sees tint where lightness does not.
    const cv::Mat distance = distanceFromDesk(halfColour);
    cv::Mat gradient = cv::max(gradientOf(blurred), gradientOf(whiteness));
    if (!distance.empty()) {
        cv::Mat up;
        cv::resize(gradientOf(distance), up, small.size(), 0, 0, cv::INTER_LINEAR);
        gradient = cv::max(gradient, up);
    }

    std::vector<Quad> candidates;
    std::vector<Quad> lineCandidates;
    const cv::Mat kernel = cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3));
    // Edges at a few sensitivities: faint for a white page on a light desk, strong for busy desks.
    for (const auto& [lo, hi] : {std::pair{8.0, 24.0}, std::pair{25.0, 75.0}, std::pair{60.0, 160.0}}) {
        cv::Mat edges;
        cv::Canny(blurred, edges, lo, hi);
        cv::dilate(edges, edges, kernel);
        addCandidates(edges, candidates);
    }
    // Lines are looked for at half the working size, where print has mostly blurred away and the
    // search costs a quarter: in lightness, and in the distance from the desk (a band printed along a
    // page's edge may differ from the desk in tint more than in lightness). A small frame's print is
    // coarse even there: the rows and columns of a page of text make lines of their own that take
    // the places of the page's sides among the strongest, so its thin dark strokes are closed over
    // first (a band, a hand or a shadow is wider and stays).
    auto findLines = [&](bool inTint) {
        cv::Mat halfGray;
        cv::resize(blurred, halfGray, half, 0, 0, cv::INTER_AREA);
        if (smallFrame(printScale) > 0)
            cv::morphologyEx(halfGray, halfGray, cv::MORPH_CLOSE,
                             cv::getStructuringElement(cv::MORPH_RECT, cv::Size(kPrintClosed, kPrintClosed)));
        std::vector<cv::Mat> maps{halfGray};
        if (!distance.empty() && inTint)
            maps.push_back(distance);
        for (std::size_t i = 0; i < maps.size(); ++i) {
            cv::Mat edges;
            cv::Canny(maps[i], edges, i == 0 ? 25 : 20, i == 0 ? 75 : 60);
            std::vector<Quad> found;
            addLineCandidates(edges, found);
            for (Quad& q : found) {
                for (cv::Point2f& p : q)
                    p = p * 2.f + cv::Point2f(0.5f, 0.5f);
                lineCandidates.push_back(q);
            }
        }
    };
    auto addRegions = [&](cv::Mat& bin) {
        cv::morphologyEx(bin, bin, cv::MORPH_OPEN, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(3, 3)));
        cv::morphologyEx(bin, bin, cv::MORPH_CLOSE,
                         cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7)));
        std::vector<Quad> found;
        addCandidates(bin, found);
        // A finger, a pen or a desk's light stripes touching the page join its region and pull its
        // outline out; opened wider, the region is the page's alone.
        cv::Mat opened;
        cv::morphologyEx(bin, opened, cv::MORPH_OPEN,
                         cv::getStructuringElement(cv::MORPH_ELLIPSE, cv::Size(kOpenWide, kOpenWide)));
        addCandidates(opened, found);
        for (Quad& q : found) {
            for (cv::Point2f& p : q)
                p = p * 2.f + cv::Point2f(0.5f, 0.5f);
            candidates.push_back(q);
        }
    };
    // Bright regions: the page as the largest light area, by Otsu's split of lightness and whiteness.
    for (const cv::Mat* source : {&blurred, &whiteness}) {
        cv::Mat bin;
        cv::resize(*source, bin, half, 0, 0, cv::INTER_AREA);
        cv::threshold(bin, bin, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
        addRegions(bin);
    }
    // Unlike the desk: a pale page on a pale desk of another tint has faint edges that break up, but
    // its area stands apart from the desk.
    if (!distance.empty()) {
        // Well above what the desk's own texture and noise leave at the border.
        std::vector<uchar> edge;
        for (int x = 0; x < distance.cols; x += 2) {
            edge.push_back(distance.at<uchar>(2, x));
            edge.push_back(distance.at<uchar>(distance.rows - 3, x));
        }
        for (int y = 0; y < distance.rows; y += 2) {
            edge.push_back(distance.at<uchar>(y, 2));
            edge.push_back(distance.at<uchar>(y, distance.cols - 3));
        }
        std::nth_element(edge.begin(), edge.begin() + static_cast<long>(edge.size() / 2), edge.end());
        cv::Mat bin;
        cv::threshold(distance, bin, std::max(8, 4 * edge[edge.size() / 2]), 255, cv::THRESH_BINARY);
        addRegions(bin);
    }
    std::vector<Judged> judged;
    if (candidates.empty())
        findLines(true);
    if (candidates.empty() && lineCandidates.empty())
        return judged;

    Maps maps;
    cv::dilate(gradient, maps.near, cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    double strongest = 0;
    cv::minMaxLoc(gradient, nullptr, &strongest);
    maps.strong = static_cast<float>(std::clamp(strongest * 0.08, 16.0, 40.0));

    // Ranked by edge support, with a mild preference for larger outlines (a page over its text block);
    // outlines that are nearly the same are judged once.
    const double frameArea = static_cast<double>(small.cols) * small.rows;
    auto rank = [&](const std::vector<Quad>& quads) {
        std::vector<std::pair<double, Judged>> out;
        for (const Quad& q : quads) {
            Judged j;
            j.quad = q;
            j.traits.support = edgeSupport(q, maps.near, maps.strong);
            if (j.traits.support < kMinSupport)
                continue;
            j.traits.area = polygonArea(q) / frameArea;
            out.emplace_back(j.traits.support * std::pow(j.traits.area, 0.25), j);
        }
        std::stable_sort(out.begin(), out.end(),
                         [](const auto& a, const auto& b) { return a.first > b.first; });
        return out;
    };
    std::vector<std::pair<double, Judged>> ranked = rank(candidates);
    // A page split by a shadow's edge, or by something lying across it, is two outlines side by side
    // whose union is one: the union of two of the best that fills its own outline joins them.
    const std::size_t paired = std::min<std::size_t>(ranked.size(), 10);
    for (std::size_t a = 0; a < paired; ++a)
        for (std::size_t b = a + 1; b < paired; ++b) {
            const Quad& qa = ranked[a].second.quad;
            const Quad& qb = ranked[b].second.quad;
            std::vector<cv::Point> both;
            for (const Quad* q : {&qa, &qb})
                for (const cv::Point2f& p : *q)
                    both.emplace_back(cvRound(p.x), cvRound(p.y));
            const double areaA = polygonArea(qa), areaB = polygonArea(qb);
            const double common = sharedArea(qa, qb);
            if (common > 0.2 * std::min(areaA, areaB))
                continue; // one inside the other, or the same
            const auto u = quadFromContour(both);
            if (!u || !isConvexQuad(*u))
                continue;
            const double area = polygonArea(*u);
            if (area > 1.08 * (areaA + areaB - common) || area / frameArea > kMaxArea)
                continue;
            Judged j;
            j.quad = *u;
            j.traits.support = edgeSupport(*u, maps.near, maps.strong);
            if (j.traits.support < kMinSupport)
                continue;
            j.traits.area = area / frameArea;
            ranked.emplace_back(j.traits.support * std::pow(j.traits.area, 0.25), j);
        }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    auto judge = [&](const std::vector<std::pair<double, Judged>>& best, std::size_t count,
                     bool overBand = false) {
        const std::size_t limit = judged.size() + count;
        for (const auto& [score, j] : best) {
            // On a checkered or gridded desk many outlines of the desk are as well supported as the
            // page's; those no sheet could have the shape of are passed over for the next.
            Traits shape;
            judgeShape(j.quad, small.size(), shape);
            if (shape.angle >= kSkewedBy || shape.aspect >= kLongerBy)
                continue;
            bool seen = false;
            for (Judged& o : judged)
                if (quadOverlap(o.quad, j.quad) > 0.97) {
                    seen = true;
                    // An outline of lines fitted to the edges may already reach a band's outer edge:
                    // it is the outline widened over the band.
                    o.band = o.band || overBand;
                }
            if (!seen)
                judged.push_back(j);
            if (judged.size() == limit)
                break;
        }
    };
    cv::resize(gray, maps.gray, half, 0, 0, cv::INTER_AREA);
    cv::morphologyEx(maps.gray, maps.paperTone, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(7, 7)));
    cv::resize(ch[1], maps.chroma, half, 0, 0, cv::INTER_AREA);
    maps.colour = halfColour;
    maps.work = gray;
    auto assess = [&](Judged& j) {
        judgeShape(j.quad, small.size(), j.traits);
        judgePaper(j.quad, maps, j.traits);
        judgeSurroundings(j.quad, maps, j.traits);
        // Rules are looked for only where print may be ruled out: in small frames, on outlines with
        // much of it (a label's, or the outline of its parts or of what lies around it).
        if (smallFrame(printScale) > 0 && j.traits.ink >= kRuledInk)
            judgeRules(j.quad, maps, j.traits);
        j.confidence = confidenceOf(j.traits, printScale);
    };
    judge(ranked, kJudged);
    const std::size_t ofRegions = judged.size();
    for (Judged& j : judged)
        assess(j);
    // The lines of the distance from the desk are for pages whose outline no region gives: they are
    // not looked for when a region's outline is surely a page with all four sides on edges, which
    // spares about a tenth of the time on most frames.
    const bool clear = std::any_of(judged.begin(), judged.end(), [](const Judged& j) {
        return j.confidence >= kClearConfidence && j.traits.support >= kClearSupport;
    });
    if (!candidates.empty())
        findLines(!clear);
    judge(rank(lineCandidates), kJudgedLines);
    const std::size_t ofLines = judged.size();
    // Lines found at two degrees and whole half-size pixels run a few working pixels off the page's
    // edges at their ends, more than the full-size frame's refitting reaches: a side fitted to the
    // edge along it first keeps the crop's proportions true.
    for (std::size_t i = ofRegions; i < ofLines; ++i) {
        judged[i].quad = refitSides(small, judged[i].quad, kLineRefit, 1.f);
        assess(judged[i]);
    }
    // Bands are looked for along the region outlines most likely pages (the best supported may be
    // the desk's, around the page) and along the outlines of lines that are likely pages (a page
    // whose band runs to its edge on a pale desk may close into no region).
    std::vector<Quad> widened;
    std::vector<std::size_t> byConfidence(ofRegions);
    for (std::size_t i = 0; i < ofRegions; ++i)
        byConfidence[i] = i;
    std::stable_sort(byConfidence.begin(), byConfidence.end(), [&](std::size_t a, std::size_t b) {
        return judged[a].confidence > judged[b].confidence;
    });
    for (std::size_t i = 0; i < std::min<std::size_t>(ofRegions, 3); ++i)
        addWidened(judged[byConfidence[i]].quad, small, maps.near, maps.strong, halfColour, widened);
    for (std::size_t i = ofRegions, n = 0; i < ofLines && n < 2; ++i)
        if (judged[i].confidence >= 0.5) {
            addWidened(judged[i].quad, small, maps.near, maps.strong, halfColour, widened);
            ++n;
        }
    judge(rank(widened), 3, true);
    for (std::size_t i = ofRegions; i < judged.size(); ++i)
        judged[i].ofLines = true;
    for (std::size_t i = ofLines; i < judged.size(); ++i) {
        judged[i].band = true;
        assess(judged[i]);
    }
    // A label's rules show only on outlines close to its own; an outline of a part of it, or one just
    // around it, is as much a label.
    std::vector<int> rules(judged.size());
    for (std::size_t i = 0; i < judged.size(); ++i)
        for (const Judged& k : judged)
            if (k.traits.rules > rules[i] &&
                sharedArea(judged[i].quad, k.quad) >=
                    0.6 * std::min(polygonArea(judged[i].quad), polygonArea(k.quad)))
                rules[i] = k.traits.rules;
    for (std::size_t i = 0; i < judged.size(); ++i)
        if (rules[i] > judged[i].traits.rules) {
            judged[i].traits.rules = rules[i];
            judged[i].confidence = confidenceOf(judged[i].traits, printScale);
        }
    return judged;
}

// The judged outline to keep: the most confident, the larger of two nearly as confident (a page over
// the block of its print); then an outline around it, well supported and at least half as confident,
// as a page is around the part of it a coloured band, a shadow or a hand sets apart.
const Judged* choose(const std::vector<Judged>& judged) {
    // Four lines meet in many places on a grid, a keyboard or boxes beside a label: an outline of
    // lines counts where it mends the outline of a region (mostly the same, itself somewhat
    // page-like), or where all four of its sides are clearly edges and it is mostly paper with some
    // print on it (a checkered desk's squares are half dark, a keyboard's keys carry no print).
    // A label's rules run into its edges, so four lines make outlines of its sections, sides on its
    // edges and on its rules, that are paper with some print; a page's print keeps off its edges.
    // An outline of lines with a rule across it (or sharing most of itself with one) is a label's.
    auto counts = [&](const Judged& l) {
        if (l.ofLines && l.traits.rules > 0)
            return false;
        if (!l.ofLines || (l.traits.support >= 0.95 && l.traits.ink >= 0.004 && l.traits.paper >= 0.6))
            return true;
        return std::any_of(judged.begin(), judged.end(), [&](const Judged& r) {
            return !r.ofLines && r.confidence >= 0.3 && quadOverlap(r.quad, l.quad) >= 0.7;
        });
    };
    // A larger outline around another is the page only if it is set off from what lies around it
    // nearly as well: on a grained or patterned desk, a line of the desk beyond the page makes
    // outlines around it that barely stand out on that side.
    // A band along the page's edge is often set off from the desk much less than the paper is from
    // the band: an outline widened over a band counts as set off (see isBand). And it is as square as
    // the one inside: one that takes in a note under a corner, a shadow's edge or a strip of the desk
    // beside one side is skewed.
    auto setOffAsWell = [](const Judged& outer, const Judged& inner) {
        return (outer.traits.contrast >= 0.35 * inner.traits.contrast || outer.band) &&
               outer.traits.angle <= inner.traits.angle + kSquarerBy;
    };
    const Judged* best = nullptr;
    for (const Judged& j : judged) {
        if (!counts(j))
            continue;
        if (!best || j.confidence > best->confidence + 0.05 ||
            (j.confidence > best->confidence - 0.05 && j.traits.area > best->traits.area * 1.1 &&
             setOffAsWell(j, *best)))
            best = &j;
    }
    if (!best)
        return best;
    const Judged* around = nullptr;
    for (const Judged& j : judged) {
        if (!counts(j))
            continue;
        // A region closing around an outline of lines is the page the lines cut short (a side on a
        // form's rule or a row of print) even where the pile or a hand beneath weakens an edge.
        const double supported = best->ofLines && !j.ofLines ? 0.7 : 0.9;
        if (&j == best || j.traits.area < best->traits.area * (j.band ? 1.005 : 1.04) ||
            j.traits.support < supported || !setOffAsWell(j, *best) || j.confidence < 0.5 * best->confidence)
            continue;
        // Containing it: their overlap is nearly all of the smaller one. One widened over a band
        // along a side may be hardly larger, as a band may be thin.
        const double ratio = best->traits.area / j.traits.area;
        if (quadOverlap(j.quad, best->quad) < 0.95 * ratio)
            continue;
        if (!around || j.confidence > around->confidence)
            around = &j;
    }
    return around ? around : best;
}

// A side that something at a corner has slanted (fingers, a note under the corner) or that has run
// onto a line of the desk beside the page lies in part where both sides of it look alike, while the
// page's own edge parts paper from what lies beyond it along its whole length. A side that parts its
// two sides over clearly less than its length is moved to the line near it, turned a few degrees or
// shifted a few pixels, that parts paper from something else over most of it (a line of grain or of
// a pattern beyond the page has desk on both sides); the corners are the new sides' intersections.
// A side that does part its two sides stays, and so does one whose move would cut off a band along
// the page's edge (isBand) or a strip unlike what lies beyond the new side. `small` is the working
// copy; its colours are read lightly blurred, so print and noise count less.
Quad straightenSides(const cv::Mat& small, const Quad& q) {
    constexpr int kSamples = 40;
    constexpr int kApart = 3;   // pixels on either side of a line its colours are taken at
    constexpr int kParted = 30; // a colour difference (sum over channels) this large parts them
    constexpr int kTurn = 10;   // degrees a side may turn
    cv::Mat soft;
    cv::blur(small, soft, cv::Size(3, 3));
    const cv::Rect frame(0, 0, soft.cols, soft.rows);
    auto differ = [](const cv::Vec3b& x, const cv::Vec3b& y) {
        return std::abs(x[0] - y[0]) + std::abs(x[1] - y[1]) + std::abs(x[2] - y[2]);
    };
    // The paper: the median colour of the inside, and its tint (each channel's share of their sum).
    const cv::Point2f c = centroid(q);
    std::array<std::vector<int>, 3> inside;
    for (int i = 1; i < 8; ++i)
        for (int j = 1; j < 8; ++j) {
            const float u = i / 8.f, v = j / 8.f;
            const cv::Point2f top = q[0] + (q[1] - q[0]) * u, bottom = q[3] + (q[2] - q[3]) * u;
            const cv::Point2f p = c + (top + (bottom - top) * v - c) * 0.9f;
            const cv::Point at(cvRound(p.x), cvRound(p.y));
            if (!frame.contains(at))
                continue;
            for (int k = 0; k < 3; ++k)
                inside[static_cast<std::size_t>(k)].push_back(soft.at<cv::Vec3b>(at)[k]);
        }
    if (inside[0].size() < 16)
        return q;
    std::array<double, 3> paper{};
    for (std::size_t k = 0; k < 3; ++k) {
        auto& v = inside[k];
        std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
        paper[k] = v[v.size() / 2];
    }
    const double paperSum = std::max(1.0, paper[0] + paper[1] + paper[2]);
    // Paper in shade is still paper: of its tint and at least half as light.
    auto paperLike = [&](const cv::Vec3b& x) {
        const double sum = x[0] + x[1] + x[2];
        if (sum < 0.5 * paperSum)
            return false;
        double tint = 0;
        for (int k = 0; k < 3; ++k)
            tint += std::fabs(x[k] / std::max(1.0, sum) - paper[static_cast<std::size_t>(k)] / paperSum);
        return tint < 0.06;
    };
    // The share of a line's points whose two sides differ (with paper on the inner side, when
    // `ofPaper`), over the points inside the frame; -1 when most of them are outside. The line runs
    // from `from` to `to` with `inward` pointing into the page.
    auto share = [&](cv::Point2f from, cv::Point2f to, cv::Point2f inward, bool ofPaper, int samples) {
        const cv::Point2f n = inward * static_cast<float>(kApart);
        int seen = 0, hits = 0;
        for (int i = 0; i < samples; ++i) {
            const cv::Point2f p =
                from + (to - from) * ((static_cast<float>(i) + 0.5f) / static_cast<float>(samples));
            const cv::Point u(cvRound(p.x + n.x), cvRound(p.y + n.y)),
                v(cvRound(p.x - n.x), cvRound(p.y - n.y));
            if (!frame.contains(u) || !frame.contains(v))
                continue;
            const cv::Vec3b in = soft.at<cv::Vec3b>(u), out = soft.at<cv::Vec3b>(v);
            ++seen;
            hits += differ(in, out) >= kParted && (!ofPaper || paperLike(in));
        }
        return seen * 2 < samples ? -1.0 : static_cast<double>(hits) / seen;
    };
    std::array<cv::Point2f, 4> at, dir; // each side as a point and a unit direction
    std::array<double, 4> own{};
    int clear = 0;
    for (std::size_t s = 0; s < 4; ++s) {
        const cv::Point2f a = q[s], b = q[(s + 1) % 4];
        cv::Point2f n(a.y - b.y, b.x - a.x);
        n *= static_cast<float>(1 / std::max(1e-3, cv::norm(n)));
        if (n.dot(c - (a + b) * 0.5f) < 0)
            n = -n;
        own[s] = share(a + (b - a) * 0.05f, b - (b - a) * 0.05f, n, false, kSamples);
        clear += own[s] >= 0.7;
    }
    // A page whose edges are faint all round (pale on a pale desk) gives nothing to go by.
    if (clear < 2)
        return q;
    std::array<bool, 4> moved{};
    cv::Mat half;
    for (std::size_t s = 0; s < 4; ++s) {
        const cv::Point2f a = q[s], b = q[(s + 1) % 4];
        const float length = static_cast<float>(cv::norm(b - a));
        const cv::Point2f u = (b - a) * (1 / std::max(1e-3f, length));
        cv::Point2f n(-u.y, u.x);
        const cv::Point2f m = (a + b) * 0.5f;
        if (n.dot(c - m) < 0)
            n = -n;
        at[s] = m;
        dir[s] = u;
        if (own[s] < 0 || own[s] >= 0.9)
            continue;
        const double across = std::min(cv::norm(q[(s + 3) % 4] - a), cv::norm(b - q[(s + 2) % 4]));
        const int reach = static_cast<int>(std::clamp(0.1 * across, 4.0, 40.0));
        const double needed = std::max(0.6, own[s] + 0.12);
        double best = needed;
        int bestDeg = 0, bestD = 0;
        auto tryLine = [&](int deg, int d, int samples) {
            const float cs = static_cast<float>(std::cos(deg * CV_PI / 180)),
                        sn = static_cast<float>(std::sin(deg * CV_PI / 180));
            const cv::Point2f w(u.x * cs - u.y * sn, u.x * sn + u.y * cs);
            const cv::Point2f inward(n.x * cs - n.y * sn, n.x * sn + n.y * cs);
            const cv::Point2f centre = m - n * static_cast<float>(d);
            const double found =
                share(centre - w * (0.45f * length), centre + w * (0.45f * length), inward, true, samples);
            if (found > best) {
                best = found;
                bestDeg = deg;
                bestD = d;
                at[s] = centre;
                dir[s] = w;
            }
        };
        // Every other line at half the points first, then the lines around the best of those.
        for (int deg = -kTurn; deg <= kTurn; deg += 2)
            for (int d = -reach; d <= reach; d += 2)
                tryLine(deg, d, kSamples / 2);
        if (best == needed)
            continue;
        const int coarseDeg = bestDeg, coarseD = bestD;
        best = needed;
        at[s] = m;
        dir[s] = u;
        for (int deg = coarseDeg - 1; deg <= coarseDeg + 1; ++deg)
            for (int d = coarseD - 1; d <= coarseD + 1; ++d)
                tryLine(deg, d, kSamples);
        if (best == needed)
            continue;
        // What the move cuts off must look like what lies beyond the new side and what it takes in
        // like what lies within, and a strip cut off along the side must not be a band of the page's
        // print (whose outer edge is faint on this desk).
        cv::Point2f inward(-dir[s].y, dir[s].x);
        if (inward.dot(c - at[s]) < 0)
            inward = -inward;
        auto outside = [&](cv::Point2f p) { return -(p - at[s]).dot(inward); };
        int counted = 0, agree = 0, cut = 0;
        for (int i = 0; i < 16; ++i) {
            const cv::Point2f p = a + (b - a) * (0.1f + 0.8f * static_cast<float>(i) / 15);
            const float beyond = outside(p);
            if (std::fabs(beyond) < 2)
                continue;
            const cv::Point2f on = p + inward * beyond;
            const cv::Point mid(cvRound(p.x + inward.x * beyond * 0.5f),
                                cvRound(p.y + inward.y * beyond * 0.5f));
            const cv::Point in(cvRound(on.x + inward.x * kApart), cvRound(on.y + inward.y * kApart));
            const cv::Point out(cvRound(on.x - inward.x * kApart), cvRound(on.y - inward.y * kApart));
            if (!frame.contains(mid) || !frame.contains(in) || !frame.contains(out))
                continue;
            ++counted;
            cut += beyond > 0;
            const cv::Vec3b x = soft.at<cv::Vec3b>(mid);
            agree += (differ(x, soft.at<cv::Vec3b>(out)) < differ(x, soft.at<cv::Vec3b>(in))) == (beyond > 0);
        }
        // The band test reads the copy at half size, as where bands are first looked for; it is made
        // only for the few frames that get this far.
        if (cut * 2 > counted && half.empty())
            cv::resize(small, half, cv::Size(small.cols / 2, small.rows / 2), 0, 0, cv::INTER_AREA);
        const bool band =
            cut * 2 > counted && isBand(half, a + inward * outside(a), b + inward * outside(b), a, b);
        if (band || agree < 0.6 * counted) {
            at[s] = m;
            dir[s] = u;
        } else {
            moved[s] = true;
        }
    }
    if (std::none_of(moved.begin(), moved.end(), [](bool m) { return m; }))
        return q;
    Quad outline;
    for (std::size_t i = 0; i < 4; ++i) {
        // Corner i joins side i - 1 and side i.
        const std::size_t p = (i + 3) % 4;
        const double det = dir[p].x * dir[i].y - dir[p].y * dir[i].x;
        if (std::fabs(det) < 1e-3)
            return q;
        const cv::Point2f d = at[i] - at[p];
        const double t = (d.x * dir[i].y - d.y * dir[i].x) / det;
        outline[i] = at[p] + dir[p] * static_cast<float>(t);
    }
    const double ratio = polygonArea(outline) / std::max(1.0, polygonArea(q));
    const cv::Rect2f near(-4.f, -4.f, static_cast<float>(soft.cols + 8), static_cast<float>(soft.rows + 8));
    if (!isConvexQuad(outline) || ratio < 0.75 || ratio > 1.33 ||
        !std::all_of(outline.begin(), outline.end(), [&](const cv::Point2f& p) { return near.contains(p); }))
        return q;
    return outline;
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

std::optional<Detection> detectDocument(const cv::Mat& bgr) {
    if (bgr.empty() || bgr.type() != CV_8UC3 || bgr.cols < 16 || bgr.rows < 16)
        return std::nullopt;
    const double scale = std::min(1.0, static_cast<double>(kWorkSide) / std::max(bgr.cols, bgr.rows));
    cv::Mat small;
    cv::resize(bgr, small, cv::Size(), scale, scale, cv::INTER_AREA);
    const std::vector<Judged> judged = judgeCandidates(small, scale);
    const Judged* best = choose(judged);
    if (!best)
        return std::nullopt;
    const Quad quad = straightenSides(small, best->quad);
    Detection out;
    for (int i = 0; i < 4; ++i)
        out.quad[i] = quad[i] * static_cast<float>(1.0 / scale);
    out.quad = refineSides(bgr, out.quad, scale);
    out.confidence = best->confidence;
    return out;
}

std::optional<Quad> findDocument(const cv::Mat& bgr, double minConfidence) {
    const auto found = detectDocument(bgr);
    if (!found || found->confidence < minConfidence)
        return std::nullopt;
    return found->quad;
}

double sheetAspect(const Quad& quad, cv::Size frameSize) {
    // The rectangle's aspect from its perspective image (Zhang and He, whiteboard scanning): the
    // focal length is recovered from the two vanishing points, the principal point taken at the
    // frame's centre.
    const cv::Point2d centre(frameSize.width / 2.0, frameSize.height / 2.0);
    auto h = [&](const cv::Point2f& p) { return cv::Vec3d(p.x - centre.x, p.y - centre.y, 1.0); };
    const cv::Vec3d m1 = h(quad[0]), m2 = h(quad[1]), m3 = h(quad[3]), m4 = h(quad[2]);
    const double d2 = m2.cross(m4).dot(m3), d3 = m3.cross(m4).dot(m2);
    const auto side = [&](int a, int b) { return cv::norm(quad[a] - quad[b]); };
    const double drawn = (side(0, 3) + side(1, 2)) / std::max(1e-6, side(0, 1) + side(3, 2));
    if (std::fabs(d2) < 1e-9 || std::fabs(d3) < 1e-9)
        return drawn;
    const double k2 = m1.cross(m4).dot(m3) / d2;
    const double k3 = m1.cross(m4).dot(m2) / d3;
    const cv::Vec3d n2 = k2 * m2 - m1, n3 = k3 * m3 - m1;
    const double scaleRef = std::max(frameSize.width, frameSize.height);
    double ff = 0;
    if (std::fabs(n2[2] * n3[2]) > 1e-12)
        ff = -(n2[0] * n3[0] + n2[1] * n3[1]) / (n2[2] * n3[2]);
    // A focal length between a third of the frame and twenty frames is a camera. Otherwise (two sides
    // parallel in the picture leave it undetermined) a usual one is assumed: the frame's longer side.
    if (!(ff > std::pow(scaleRef / 3, 2) && ff < std::pow(scaleRef * 20, 2)))
        ff = scaleRef * scaleRef;
    const double widthSq = (n2[0] * n2[0] + n2[1] * n2[1]) / ff + n2[2] * n2[2];
    const double heightSq = (n3[0] * n3[0] + n3[1] * n3[1]) / ff + n3[2] * n3[2];
    if (widthSq <= 0 || heightSq <= 0)
        return drawn;
    const double aspect = std::sqrt(heightSq / widthSq);
    // An estimate far from the outline as drawn comes from noise in nearly parallel sides.
    return aspect > drawn * 2 || aspect < drawn / 2 ? drawn : aspect;
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
    // As many pixels as the outline covers, at the aspect of the rectangle it shows.
    const double aspect = sheetAspect(q, bgr.size());
    const double area =
        (cv::norm(q[1] - q[0]) + cv::norm(q[2] - q[3])) * (cv::norm(q[3] - q[0]) + cv::norm(q[2] - q[1])) / 4;
    const int w = std::max(1, static_cast<int>(std::lround(std::sqrt(area / aspect))));
    const int h = std::max(1, static_cast<int>(std::lround(std::sqrt(area * aspect))));
    const std::array<cv::Point2f, 4> target{cv::Point2f(0, 0), cv::Point2f(static_cast<float>(w - 1), 0),
                                            cv::Point2f(static_cast<float>(w - 1), static_cast<float>(h - 1)),
                                            cv::Point2f(0, static_cast<float>(h - 1))};
    const cv::Mat m = cv::getPerspectiveTransform(q.data(), target.data());
    cv::Mat out;
    cv::warpPerspective(bgr, out, m, cv::Size(w, h), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    return out;
}

double quadOverlap(const Quad& a, const Quad& b) {
    const double i = sharedArea(a, b);
    const double u = polygonArea(a) + polygonArea(b) - i;
    return u > 0 ? i / u : 0;
}

} // namespace qx::kelpo

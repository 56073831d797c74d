// The scenes are built as a camera would see them: a pinhole camera over a desk plane that may be a
// little tilted, flat things lying on that plane (sheets, labels, keyboards, books) and boxes standing
// on it, each printed surface drawn on its own canvas and projected through its homography. Light,
// shadows, lens softness and sensor noise are applied to the whole frame afterwards.
#include "support/edge_scenes.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace qx::scenes {

namespace {

constexpr double kPi = 3.14159265358979323846;

class Rng {
public:
    explicit Rng(uint32_t seed) : m_engine(seed * 2654435761u + 12345u) {}
    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(m_engine); }
    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_engine); }
    bool chance(double p) { return uniform(0, 1) < p; }
    double normal(double s) { return std::normal_distribution<double>(0, s)(m_engine); }
    uint32_t next() { return static_cast<uint32_t>(m_engine()); }

private:
    std::mt19937 m_engine;
};

cv::Scalar hsvColour(double hueDeg, double s, double v) {
    cv::Mat hsv(1, 1, CV_32FC3, cv::Scalar(std::fmod(hueDeg + 360.0, 360.0), s, v));
    cv::Mat bgr;
    cv::cvtColor(hsv, bgr, cv::COLOR_HSV2BGR);
    const cv::Vec3f c = bgr.at<cv::Vec3f>(0, 0);
    return cv::Scalar(c[0] * 255, c[1] * 255, c[2] * 255);
}

cv::Scalar scaled(const cv::Scalar& c, double k) {
    return cv::Scalar(std::clamp(c[0] * k, 0.0, 255.0), std::clamp(c[1] * k, 0.0, 255.0),
                      std::clamp(c[2] * k, 0.0, 255.0));
}

// Smooth noise in about [-1, 1] with features of roughly `cell` pixels.
cv::Mat smoothNoise(cv::Size size, double cell, Rng& rng) {
    const int gw = std::max(2, static_cast<int>(size.width / cell) + 2);
    const int gh = std::max(2, static_cast<int>(size.height / cell) + 2);
    cv::Mat grid(gh, gw, CV_32F);
    cv::RNG r(rng.next());
    r.fill(grid, cv::RNG::UNIFORM, -1.0, 1.0);
    cv::Mat out;
    cv::resize(grid, out, size, 0, 0, cv::INTER_CUBIC);
    return out;
}

// Adds `amount` x noise (per channel alike) to a BGR canvas.
void addGrain(cv::Mat& canvas, double amount, double cell, Rng& rng) {
    if (amount <= 0)
        return;
    cv::Mat n = smoothNoise(canvas.size(), cell, rng) * amount;
    cv::Mat f;
    canvas.convertTo(f, CV_32FC3);
    cv::Mat n3;
    cv::merge(std::vector<cv::Mat>{n, n, n}, n3);
    f += n3;
    f.convertTo(canvas, CV_8UC3);
}

// A random word of lower-case letters, as filler text.
std::string word(Rng& rng, int minLen, int maxLen) {
    std::string s;
    const int n = minLen + rng.below(maxLen - minLen + 1);
    for (int i = 0; i < n; ++i)
        s.push_back(static_cast<char>((rng.chance(0.15) ? 'A' : 'a') + rng.below(26)));
    return s;
}

std::string digits(Rng& rng, int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s.push_back(static_cast<char>('0' + rng.below(10)));
    return s;
}

const int kFonts[] = {cv::FONT_HERSHEY_SIMPLEX, cv::FONT_HERSHEY_DUPLEX, cv::FONT_HERSHEY_COMPLEX,
                      cv::FONT_HERSHEY_TRIPLEX, cv::FONT_HERSHEY_PLAIN};

// Text of about `pixelHeight` capital height at `origin` (baseline left).
void text(cv::Mat& canvas, const std::string& s, cv::Point origin, double pixelHeight,
          const cv::Scalar& colour, int font, int thickness) {
    const double scale = pixelHeight / 22.0 * (font == cv::FONT_HERSHEY_PLAIN ? 2.0 : 1.0);
    cv::putText(canvas, s, origin, font, scale, colour, std::max(1, thickness), cv::LINE_AA);
}

// A line of words filling about `width` pixels.
void textLine(cv::Mat& canvas, cv::Point origin, int width, double height, const cv::Scalar& ink, int font,
              int thickness, Rng& rng) {
    std::string line;
    int baseline = 0;
    const double scale = height / 22.0 * (font == cv::FONT_HERSHEY_PLAIN ? 2.0 : 1.0);
    while (true) {
        const std::string next = line.empty() ? word(rng, 2, 9) : line + " " + word(rng, 1, 9);
        if (cv::getTextSize(next, font, scale, thickness, &baseline).width > width)
            break;
        line = next;
    }
    text(canvas, line, origin, height, ink, font, thickness);
}

void drawBarcode(cv::Mat& canvas, cv::Rect box, const std::array<bool, 95>& modules, const std::string& label,
                 const cv::Scalar& ink) {
    const double module = box.width / 95.0;
    const int barsHeight = label.empty() ? box.height : static_cast<int>(box.height * 0.82);
    for (int i = 0; i < 95; ++i) {
        if (!modules[static_cast<std::size_t>(i)])
            continue;
        const int x0 = box.x + static_cast<int>(std::lround(i * module));
        const int x1 = box.x + static_cast<int>(std::lround((i + 1) * module));
        cv::rectangle(canvas, cv::Rect(x0, box.y, std::max(1, x1 - x0), barsHeight), ink, cv::FILLED);
    }
    if (!label.empty())
        text(canvas, label, cv::Point(box.x + box.width / 8, box.y + box.height), box.height * 0.13, ink,
             cv::FONT_HERSHEY_SIMPLEX, std::max(1, box.height / 60));
}

// ---- Geometry: a pinhole camera over a desk plane ----

struct View {
    double f = 1000;
    cv::Point2d centre;
    // The desk plane: a point on it, two unit axes along it and its normal towards the camera.
    cv::Vec3d origin{0, 0, 1};
    cv::Vec3d e1{1, 0, 0};
    cv::Vec3d e2{0, 1, 0};
    cv::Vec3d up{0, 0, -1};

    cv::Point2f project(const cv::Vec3d& p) const {
        return cv::Point2f(static_cast<float>(centre.x + f * p[0] / p[2]),
                           static_cast<float>(centre.y + f * p[1] / p[2]));
    }
    // A point of the desk at plane coordinates (u, v), `z` above it.
    cv::Vec3d onDesk(double u, double v, double z = 0) const { return origin + u * e1 + v * e2 + z * up; }
};

cv::Vec3d rotate(const cv::Vec3d& v, const cv::Vec3d& axis, double angle) {
    const cv::Vec3d k = axis / cv::norm(axis);
    return v * std::cos(angle) + k.cross(v) * std::sin(angle) + k * k.dot(v) * (1 - std::cos(angle));
}

View makeView(int width, int height, Rng& rng, double maxTiltDeg) {
    View view;
    view.f = width * rng.uniform(0.85, 1.45);
    view.centre = cv::Point2d(width / 2.0, height / 2.0);
    const double tilt = rng.uniform(0, maxTiltDeg) * kPi / 180;
    const double dir = rng.uniform(0, 2 * kPi);
    const cv::Vec3d axis(std::cos(dir), std::sin(dir), 0);
    view.e1 = rotate(view.e1, axis, tilt);
    view.e2 = rotate(view.e2, axis, tilt);
    view.up = rotate(view.up, axis, tilt);
    return view;
}

// The desk's plane coordinates seen at frame pixel `p`.
cv::Point2d deskAt(const View& view, cv::Point2d p) {
    const cv::Vec3d ray((p.x - view.centre.x) / view.f, (p.y - view.centre.y) / view.f, 1);
    const double t = view.origin.dot(view.up) / ray.dot(view.up);
    const cv::Vec3d hit = ray * t - view.origin;
    return cv::Point2d(hit.dot(view.e1), hit.dot(view.e2));
}

using Quad4 = std::array<cv::Point2f, 4>;

// A rectangle lying on (or `z` above) the desk: centre (u, v), turned by `yaw`, `w` x `h` in plane units.
Quad4 deskRectangle(const View& view, double u, double v, double w, double h, double yaw, double z = 0) {
    const double c = std::cos(yaw), s = std::sin(yaw);
    Quad4 q;
    const double dx[4] = {-w / 2, w / 2, w / 2, -w / 2};
    const double dy[4] = {-h / 2, -h / 2, h / 2, h / 2};
    for (int i = 0; i < 4; ++i)
        q[i] = view.project(view.onDesk(u + dx[i] * c - dy[i] * s, v + dx[i] * s + dy[i] * c, z));
    return q;
}

double quadArea(const Quad4& q) {
    std::vector<cv::Point2f> v(q.begin(), q.end());
    return std::fabs(cv::contourArea(v));
}

bool insideFrame(const Quad4& q, int width, int height, double margin) {
    for (const auto& p : q)
        if (p.x < margin || p.y < margin || p.x > width - 1 - margin || p.y > height - 1 - margin)
            return false;
    return true;
}

// Draws `canvas` onto the quadrilateral `quad` of `frame` (canvas corners clockwise from its
// top-left), blending its anti-aliased outline.
void drawOnQuad(cv::Mat& frame, const cv::Mat& canvas, const Quad4& quad) {
    cv::Rect box = cv::boundingRect(std::vector<cv::Point2f>(quad.begin(), quad.end()));
    box.x -= 2;
    box.y -= 2;
    box.width += 4;
    box.height += 4;
    box &= cv::Rect(0, 0, frame.cols, frame.rows);
    if (box.area() <= 0)
        return;
    const float cw = static_cast<float>(canvas.cols), ch = static_cast<float>(canvas.rows);
    const std::array<cv::Point2f, 4> src{cv::Point2f(0, 0), cv::Point2f(cw, 0), cv::Point2f(cw, ch),
                                         cv::Point2f(0, ch)};
    std::array<cv::Point2f, 4> dst;
    for (int i = 0; i < 4; ++i)
        dst[i] = quad[i] - cv::Point2f(static_cast<float>(box.x), static_cast<float>(box.y));
    const cv::Mat h = cv::getPerspectiveTransform(src.data(), dst.data());
    cv::Mat warped, mask;
    // The canvas is smoothed first when it is drawn much smaller than it is, as a lens would.
    const double shrink = std::sqrt(static_cast<double>(canvas.total()) / std::max(1.0, quadArea(quad)));
    cv::Mat source = canvas;
    if (shrink > 1.6) {
        const double sigma = 0.45 * shrink;
        cv::GaussianBlur(canvas, source, cv::Size(), sigma);
    }
    cv::warpPerspective(source, warped, h, box.size(), cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    cv::Mat ones(canvas.size(), CV_8U, cv::Scalar(255));
    cv::warpPerspective(ones, mask, h, box.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(0));
    cv::Mat roi = frame(box);
    for (int y = 0; y < box.height; ++y) {
        const uchar* m = mask.ptr<uchar>(y);
        const cv::Vec3b* s = warped.ptr<cv::Vec3b>(y);
        cv::Vec3b* d = roi.ptr<cv::Vec3b>(y);
        for (int x = 0; x < box.width; ++x) {
            if (m[x] == 0)
                continue;
            if (m[x] == 255) {
                d[x] = s[x];
                continue;
            }
            const int a = m[x];
            for (int c = 0; c < 3; ++c)
                d[x][c] = static_cast<uchar>((s[x][c] * a + d[x][c] * (255 - a) + 127) / 255);
        }
    }
}

// The canvas size for a surface drawn over `quad`: about as many pixels as it covers, more for fine
// print, with the surface's own aspect.
cv::Size canvasFor(const Quad4& quad, double aspect, double detail, int maxSide) {
    const double area = std::max(64.0, quadArea(quad)) * detail * detail;
    double w = std::sqrt(area / aspect);
    double h = w * aspect;
    const double k = std::min(1.0, maxSide / std::max(w, h));
    return cv::Size(std::max(8, static_cast<int>(w * k)), std::max(8, static_cast<int>(h * k)));
}

// Soft blob shadow: frame pixels under `polygon` darkened to `depth` of their light, with a blurred rim.
void castShadow(cv::Mat& light, const std::vector<cv::Point>& polygon, double depth, double softness) {
    cv::Mat mask(light.size(), CV_32F, cv::Scalar(0));
    cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{polygon}, cv::Scalar(1), cv::LINE_AA);
    const int k = static_cast<int>(softness) | 1;
    cv::GaussianBlur(mask, mask, cv::Size(k, k), 0);
    light = light.mul(1.0 - mask * (1.0 - depth));
}

// ---- Desks ----

enum class Desk { Wood, Speckle, Dark, LightGrey, Pattern, CuttingMat };

std::string deskName(Desk d) {
    switch (d) {
    case Desk::Wood:
        return "wood";
    case Desk::Speckle:
        return "speckle";
    case Desk::Dark:
        return "dark";
    case Desk::LightGrey:
        return "light-grey";
    case Desk::Pattern:
        return "pattern";
    case Desk::CuttingMat:
        return "cutting-mat";
    }
    return "?";
}

cv::Mat drawDesk(int width, int height, Desk desk, const View& view, Rng& rng) {
    cv::Mat out(height, width, CV_8UC3);
    const cv::Size size(width, height);
    switch (desk) {
    case Desk::Wood: {
        // Rings along the boards, bent by smooth noise, with the seams of planks.
        const cv::Scalar base =
            hsvColour(rng.uniform(18, 36), rng.uniform(0.35, 0.7), rng.uniform(0.25, 0.85));
        const double angle = rng.uniform(0, kPi);
        const double period = width * rng.uniform(0.012, 0.04);
        const double plank = width * rng.uniform(0.12, 0.3);
        const double amp = rng.uniform(0.08, 0.22);
        const cv::Mat bend = smoothNoise(size, width * 0.15, rng);
        const cv::Mat fine = smoothNoise(size, 3, rng);
        const double c = std::cos(angle), s = std::sin(angle);
        for (int y = 0; y < height; ++y) {
            cv::Vec3b* row = out.ptr<cv::Vec3b>(y);
            const float* b = bend.ptr<float>(y);
            const float* fn = fine.ptr<float>(y);
            for (int x = 0; x < width; ++x) {
                const double t = -x * s + y * c;
                const double along = x * c + y * s;
                const int board = static_cast<int>(std::floor(t / plank));
                const double ring = std::sin((t + b[x] * period * 6 + board * 37.0) / period * 2 * kPi +
                                             std::sin(along / (period * 40) + board) * 2);
                double k = 1 + amp * ring + 0.03 * fn[x] + 0.06 * std::sin(board * 12.9898);
                if (std::fabs(t - (board + 1) * plank) < 1.2 || std::fabs(t - board * plank) < 1.2)
                    k *= 0.6;
                for (int ch = 0; ch < 3; ++ch)
                    row[x][ch] = cv::saturate_cast<uchar>(base[ch] * k);
            }
        }
        break;
    }
    case Desk::Speckle: {
        const cv::Scalar base = hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.3), rng.uniform(0.25, 0.8));
        out.setTo(base);
        addGrain(out, rng.uniform(12, 35), rng.uniform(1, 3), rng);
        addGrain(out, rng.uniform(5, 15), width * 0.05, rng);
        break;
    }
    case Desk::Dark:
        out.setTo(hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.4), rng.uniform(0.06, 0.25)));
        addGrain(out, rng.uniform(2, 6), 2, rng);
        break;
    case Desk::LightGrey:
        out.setTo(hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.08), rng.uniform(0.62, 0.84)));
        addGrain(out, rng.uniform(1, 5), rng.uniform(1, 4), rng);
        break;
    case Desk::Pattern: {
        // Tiles, checks, stripes or dots, drawn in the desk's own plane so they foreshorten.
        const int style = rng.below(4);
        const cv::Scalar a = hsvColour(rng.uniform(0, 360), rng.uniform(0.1, 0.8), rng.uniform(0.3, 0.9));
        const cv::Scalar b = hsvColour(rng.uniform(0, 360), rng.uniform(0.1, 0.8), rng.uniform(0.2, 0.95));
        const double cell = rng.uniform(0.02, 0.09);
        const double turn = rng.uniform(0, kPi / 2);
        const double ct = std::cos(turn), st = std::sin(turn);
        for (int y = 0; y < height; y += 1) {
            cv::Vec3b* row = out.ptr<cv::Vec3b>(y);
            const cv::Point2d left = deskAt(view, cv::Point2d(0, y));
            const cv::Point2d right = deskAt(view, cv::Point2d(width - 1, y));
            for (int x = 0; x < width; ++x) {
                const double t = static_cast<double>(x) / std::max(1, width - 1);
                const cv::Point2d d = left + (right - left) * t;
                const double u = (d.x * ct - d.y * st) / cell, v = (d.x * st + d.y * ct) / cell;
                const double fu = u - std::floor(u), fv = v - std::floor(v);
                bool second = false;
                switch (style) {
                case 0: // tiles with grout
                    second = fu < 0.06 || fv < 0.06;
                    break;
                case 1: // checks
                    second = (static_cast<long>(std::floor(u)) + static_cast<long>(std::floor(v))) % 2 != 0;
                    break;
                case 2: // stripes
                    second = fu < 0.45;
                    break;
                default: // dots
                    second = (fu - 0.5) * (fu - 0.5) + (fv - 0.5) * (fv - 0.5) < 0.06;
                }
                const cv::Scalar& c = second ? b : a;
                row[x] =
                    cv::Vec3b(static_cast<uchar>(c[0]), static_cast<uchar>(c[1]), static_cast<uchar>(c[2]));
            }
        }
        addGrain(out, rng.uniform(2, 8), 2, rng);
        break;
    }
    case Desk::CuttingMat: {
        // A green or grey mat with a printed grid of thin light lines and a heavier line every fifth.
        const cv::Scalar base =
            rng.chance(0.6) ? hsvColour(rng.uniform(120, 160), rng.uniform(0.4, 0.8), rng.uniform(0.3, 0.55))
                            : hsvColour(0, 0, rng.uniform(0.15, 0.4));
        out.setTo(base);
        const cv::Scalar line = scaled(base, 1.9) + cv::Scalar(40, 40, 40);
        const double cell = rng.uniform(0.02, 0.04);
        for (int i = -60; i <= 60; ++i) {
            const int thick = i % 5 == 0 ? 2 : 1;
            const cv::Point2f a = view.project(view.onDesk(i * cell, -2)),
                              b = view.project(view.onDesk(i * cell, 2));
            const cv::Point2f c = view.project(view.onDesk(-2, i * cell)),
                              d = view.project(view.onDesk(2, i * cell));
            cv::line(out, a, b, line, thick, cv::LINE_AA);
            cv::line(out, c, d, line, thick, cv::LINE_AA);
        }
        addGrain(out, rng.uniform(2, 5), 2, rng);
        break;
    }
    }
    return out;
}

// ---- Printed surfaces ----

cv::Scalar paperColour(Rng& rng, std::string& name) {
    const int kind = rng.below(3);
    if (kind == 0) {
        name = "white";
        const double v = rng.uniform(0.93, 1.0);
        return hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.03), v);
    }
    if (kind == 1) {
        name = "off-white";
        return hsvColour(rng.uniform(35, 55), rng.uniform(0.05, 0.14), rng.uniform(0.88, 0.97));
    }
    name = "light-coloured";
    return hsvColour(rng.uniform(0, 360), rng.uniform(0.1, 0.28), rng.uniform(0.85, 0.98));
}

cv::Scalar inkColour(Rng& rng) {
    if (rng.chance(0.2))
        return hsvColour(rng.uniform(200, 240), rng.uniform(0.5, 0.9), rng.uniform(0.3, 0.6)); // blue ink
    const double v = rng.uniform(10, 70);
    return cv::Scalar(v, v, v);
}

// A printed page: text, headings, a form, a letterhead band, ruled lines, a photo, a stamp, a barcode.
void printPage(cv::Mat& page, Rng& rng, std::string& what) {
    const int w = page.cols, h = page.rows;
    const double unit = std::min(w, h) / 100.0;
    const cv::Scalar ink = inkColour(rng);
    const int font = kFonts[rng.below(5)];
    const int margin = static_cast<int>(unit * rng.uniform(4, 12));
    const double lineH = h * rng.uniform(0.012, 0.028);
    int y = margin;
    if (rng.chance(0.25)) {
        // Ruled notebook paper: lines across the whole sheet, a margin line.
        what += "+ruled";
        const cv::Scalar rule = hsvColour(rng.uniform(190, 230), rng.uniform(0.2, 0.5), 0.85);
        for (double ry = h * 0.08; ry < h; ry += lineH * 2.2)
            cv::line(page, cv::Point(0, static_cast<int>(ry)), cv::Point(w, static_cast<int>(ry)), rule, 1,
                     cv::LINE_AA);
        cv::line(page, cv::Point(static_cast<int>(w * 0.12), 0), cv::Point(static_cast<int>(w * 0.12), h),
                 cv::Scalar(120, 120, 230), 1, cv::LINE_AA);
    }
    if (rng.chance(0.2)) {
        // A letterhead band in colour across the top: printed inside the printer's margin, or to the
        // sheet's edges on preprinted stationery.
        what += "+band";
        const int bandH = static_cast<int>(h * rng.uniform(0.03, 0.09));
        const int inset = rng.chance(0.3) ? 0 : static_cast<int>(unit * rng.uniform(2, 4));
        cv::rectangle(page, cv::Rect(inset, inset, w - 2 * inset, bandH),
                      hsvColour(rng.uniform(0, 360), rng.uniform(0.4, 0.9), rng.uniform(0.3, 0.8)),
                      cv::FILLED);
        y = std::max(y, inset + bandH + margin / 2);
    }
    // A heading.
    text(page, word(rng, 4, 10) + " " + word(rng, 3, 8), cv::Point(margin, y + static_cast<int>(lineH * 2)),
         lineH * 1.8, ink, font, std::max(2, static_cast<int>(lineH / 8)));
    y += static_cast<int>(lineH * 4);
    const int blocks = 2 + rng.below(4);
    for (int b = 0; b < blocks && y < h - margin - lineH * 3; ++b) {
        const int kind = rng.below(10);
        if (kind < 5) {
            const int lines = 3 + rng.below(10);
            for (int i = 0; i < lines && y < h - margin; ++i) {
                const int width = (i == lines - 1)
                                      ? static_cast<int>((w - 2 * margin) * rng.uniform(0.2, 0.8))
                                      : w - 2 * margin;
                textLine(page, cv::Point(margin, y + static_cast<int>(lineH)), width, lineH, ink, font,
                         std::max(1, static_cast<int>(lineH / 14)), rng);
                y += static_cast<int>(lineH * rng.uniform(1.6, 2.2));
            }
            y += static_cast<int>(lineH);
        } else if (kind < 7) {
            what += "+form";
            const int rows = 3 + rng.below(6), cols = 2 + rng.below(4);
            const int cellH = static_cast<int>(lineH * 2.2);
            const int tableW = w - 2 * margin;
            const int thick = std::max(1, static_cast<int>(unit * rng.uniform(0.1, 0.4)));
            for (int r = 0; r <= rows && y + r * cellH < h - margin; ++r)
                cv::line(page, cv::Point(margin, y + r * cellH), cv::Point(margin + tableW, y + r * cellH),
                         ink, thick, cv::LINE_AA);
            const int tableH = std::min(rows * cellH, h - margin - y);
            for (int c = 0; c <= cols; ++c)
                cv::line(page, cv::Point(margin + c * tableW / cols, y),
                         cv::Point(margin + c * tableW / cols, y + tableH), ink, thick, cv::LINE_AA);
            for (int r = 0; r < rows && y + (r + 1) * cellH < h - margin; ++r)
                for (int c = 0; c < cols; ++c)
                    if (rng.chance(0.7))
                        textLine(
                            page,
                            cv::Point(margin + c * tableW / cols + cellH / 3, y + r * cellH + cellH * 2 / 3),
                            tableW / cols - cellH / 2, lineH * 0.8, ink, font, 1, rng);
            y += tableH + static_cast<int>(lineH * 2);
        } else if (kind == 7) {
            what += "+photo";
            const int pw = static_cast<int>(w * rng.uniform(0.15, 0.4)),
                      ph = static_cast<int>(pw * rng.uniform(0.7, 1.4));
            const int px = rng.chance(0.5) ? margin : w - margin - pw;
            const cv::Rect r(px, y, pw, std::min(ph, h - margin - y));
            if (r.height > 4) {
                cv::Mat photo(r.size(), CV_8UC3,
                              hsvColour(rng.uniform(0, 360), rng.uniform(0.2, 0.7), rng.uniform(0.3, 0.8)));
                addGrain(photo, 40, std::max(2, pw / 6), rng);
                addGrain(photo, 15, 2, rng);
                photo.copyTo(page(r));
                y += r.height + static_cast<int>(lineH);
            }
        } else if (kind == 8) {
            what += "+barcode";
            std::string full;
            const auto modules = ean13Modules(digits(rng, 12), &full);
            const int bw = static_cast<int>(w * rng.uniform(0.25, 0.45));
            const cv::Rect r(margin + rng.below(std::max(1, w - 2 * margin - bw)), y, bw,
                             std::min(static_cast<int>(bw * 0.35), h - margin - y));
            if (r.height > 4)
                drawBarcode(page, r, modules, full, ink);
            y += r.height + static_cast<int>(lineH * 2);
        } else {
            what += "+signature";
            std::vector<cv::Point> curve;
            double cx = w * rng.uniform(0.4, 0.7);
            for (int i = 0; i < 40; ++i) {
                cx += unit * rng.uniform(0.2, 1.2);
                curve.emplace_back(
                    static_cast<int>(cx),
                    y + static_cast<int>(lineH * (1.5 + std::sin(i * 0.9 + rng.uniform(0, 1)))));
            }
            cv::polylines(page, curve, false, ink, std::max(1, static_cast<int>(unit * 0.3)), cv::LINE_AA);
            y += static_cast<int>(lineH * 4);
        }
    }
    if (rng.chance(0.3)) {
        what += "+stamp";
        const cv::Point c(static_cast<int>(w * rng.uniform(0.55, 0.8)),
                          static_cast<int>(h * rng.uniform(0.6, 0.85)));
        const int r = static_cast<int>(unit * rng.uniform(8, 14));
        cv::circle(page, c, r, cv::Scalar(40, 40, 200), std::max(2, r / 12), cv::LINE_AA);
        text(page, word(rng, 3, 5), c + cv::Point(-r / 2, r / 6), r * 0.4, cv::Scalar(40, 40, 200),
             cv::FONT_HERSHEY_SIMPLEX, std::max(1, r / 15));
    }
}

// A skin-coloured hand reaching from the frame's border towards `target`, over whatever is there.
void drawHand(cv::Mat& frame, cv::Mat& light, cv::Point2f target, double size, Rng& rng) {
    const cv::Point2f centre(frame.cols / 2.0f, frame.rows / 2.0f);
    // From the nearest border, along the line from the frame's centre through the target.
    cv::Point2f dir = target - centre;
    const double len = std::max(1.0, cv::norm(dir));
    dir *= static_cast<float>(1.0 / len);
    const cv::Point2f wrist = target + dir * static_cast<float>(size * 1.6);
    const cv::Scalar skin = hsvColour(rng.uniform(12, 30), rng.uniform(0.25, 0.6), rng.uniform(0.45, 0.95));
    const cv::Point2f palm = target + dir * static_cast<float>(size * 0.55);
    const cv::Point2f side(-dir.y, dir.x);
    // Its shadow first, a little offset.
    std::vector<cv::Point> shadow;
    for (int i = 0; i < 24; ++i) {
        const double a = i * 2 * kPi / 24;
        const cv::Point2f p = palm + dir * static_cast<float>(std::cos(a) * size * 0.9) +
                              side * static_cast<float>(std::sin(a) * size * 0.6) +
                              cv::Point2f(static_cast<float>(size * 0.15), static_cast<float>(size * 0.2));
        shadow.emplace_back(p);
    }
    castShadow(light, shadow, 0.75, size * 0.6);
    const int thick = std::max(2, static_cast<int>(size * 0.5));
    cv::line(frame, palm, wrist + dir * static_cast<float>(size * 3), skin, thick * 2, cv::LINE_AA);
    cv::ellipse(frame, palm, cv::Size(static_cast<int>(size * 0.55), static_cast<int>(size * 0.45)),
                std::atan2(dir.y, dir.x) * 180 / kPi, 0, 360, skin, cv::FILLED, cv::LINE_AA);
    const int fingers = 1 + rng.below(4);
    for (int i = 0; i < fingers; ++i) {
        const cv::Point2f base =
            palm - dir * static_cast<float>(size * 0.3) + side * static_cast<float>((i - 1.5) * size * 0.22);
        const cv::Point2f tip = base - dir * static_cast<float>(size * rng.uniform(0.35, 0.7));
        cv::line(frame, base, tip, scaled(skin, rng.uniform(0.9, 1.05)),
                 std::max(2, static_cast<int>(size * 0.17)), cv::LINE_AA);
    }
}

// Small things on a desk: a pen, a phone, a mug, a sticky note, coins.
void drawDeskThing(cv::Mat& frame, const View& view, cv::Point2d at, Rng& rng) {
    const double yaw = rng.uniform(0, kPi);
    switch (rng.below(5)) {
    case 0: { // a pen
        const Quad4 q = deskRectangle(view, at.x, at.y, rng.uniform(0.12, 0.18), 0.012, yaw, 0.006);
        std::vector<cv::Point> poly(q.begin(), q.end());
        cv::fillConvexPoly(frame, poly,
                           hsvColour(rng.uniform(0, 360), rng.uniform(0.3, 0.9), rng.uniform(0.1, 0.7)),
                           cv::LINE_AA);
        break;
    }
    case 1: { // a phone
        const Quad4 q = deskRectangle(view, at.x, at.y, 0.075, 0.155, yaw, 0.008);
        std::vector<cv::Point> poly(q.begin(), q.end());
        cv::fillConvexPoly(frame, poly, cv::Scalar(25, 25, 28), cv::LINE_AA);
        const Quad4 s = deskRectangle(view, at.x, at.y, 0.065, 0.135, yaw, 0.0085);
        std::vector<cv::Point> screen(s.begin(), s.end());
        cv::fillConvexPoly(frame, screen, cv::Scalar(60, 45, 35), cv::LINE_AA);
        break;
    }
    case 2: { // a mug from above
        const cv::Point2f c = view.project(view.onDesk(at.x, at.y, 0.1));
        const int r = static_cast<int>(view.f * 0.045);
        const cv::Scalar col = hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.8), rng.uniform(0.4, 0.95));
        cv::circle(frame, c, r, col, cv::FILLED, cv::LINE_AA);
        cv::circle(frame, c, r * 8 / 10, cv::Scalar(30, 50, 70), cv::FILLED, cv::LINE_AA);
        break;
    }
    case 3: { // a sticky note
        const Quad4 q = deskRectangle(view, at.x, at.y, 0.076, 0.076, yaw, 0.001);
        cv::Mat note(64, 64, CV_8UC3, hsvColour(rng.chance(0.6) ? 55 : rng.uniform(0, 360), 0.5, 0.97));
        cv::putText(note, word(rng, 3, 5), cv::Point(6, 36), cv::FONT_HERSHEY_SIMPLEX, 0.5,
                    cv::Scalar(40, 40, 40), 1, cv::LINE_AA);
        drawOnQuad(frame, note, q);
        break;
    }
    default: { // coins
        for (int i = 0; i < 3; ++i) {
            const cv::Point2f c =
                view.project(view.onDesk(at.x + rng.uniform(-0.03, 0.03), at.y + rng.uniform(-0.03, 0.03)));
            cv::circle(frame, c, static_cast<int>(view.f * 0.011), cv::Scalar(90, 160, 190), cv::FILLED,
                       cv::LINE_AA);
        }
    }
    }
}

// Light over the frame: an overall level, a slope, a fall-off from a lamp, a colour cast.
cv::Mat lighting(cv::Size size, Rng& rng) {
    cv::Mat light(size, CV_32F);
    const double level = rng.uniform(0.78, 1.05);
    const double slope = rng.uniform(0, 0.3);
    const double angle = rng.uniform(0, 2 * kPi);
    const cv::Point2d lamp(rng.uniform(0, size.width), rng.uniform(0, size.height));
    const double falloff = rng.uniform(0, 0.25);
    const double diag = std::hypot(size.width, size.height);
    for (int y = 0; y < size.height; ++y) {
        float* row = light.ptr<float>(y);
        for (int x = 0; x < size.width; ++x) {
            const double t =
                ((x - size.width / 2.0) * std::cos(angle) + (y - size.height / 2.0) * std::sin(angle)) / diag;
            const double r = std::hypot(x - lamp.x, y - lamp.y) / diag;
            row[x] = static_cast<float>(level * (1 + slope * t) * (1 - falloff * r * r * 2));
        }
    }
    return light;
}

// The camera's part: the light applied, lens softness, a colour cast and sensor noise.
void photograph(cv::Mat& frame, const cv::Mat& light, Rng& rng) {
    cv::Mat f;
    frame.convertTo(f, CV_32FC3);
    const cv::Scalar cast(rng.uniform(0.92, 1.08), rng.uniform(0.96, 1.04), rng.uniform(0.92, 1.08));
    cv::Mat l3;
    cv::merge(std::vector<cv::Mat>{light * cast[0], light * cast[1], light * cast[2]}, l3);
    f = f.mul(l3);
    const double sigma = rng.uniform(0.5, 1.3) * frame.cols / 1920.0 + 0.3;
    cv::GaussianBlur(f, f, cv::Size(), sigma);
    cv::Mat noise(f.size(), CV_32FC3);
    cv::RNG r(rng.next());
    const double n = rng.uniform(1.5, 6);
    r.fill(noise, cv::RNG::NORMAL, 0, n);
    f += noise;
    f.convertTo(frame, CV_8UC3);
}

Desk anyDesk(Rng& rng) {
    return static_cast<Desk>(rng.below(6));
}

// ---- Scenes without a sheet ----

struct Cuboid {
    double u, v, yaw, w, d, h; // footprint centre, turn, footprint and height
};

// The faces of a box standing on the desk, drawn far to near; `paint` fills each face's canvas
// (face 0 is the top, 1-4 the sides) and answers its shade.
void drawCuboid(cv::Mat& frame, const View& view, const Cuboid& b,
                const std::function<void(int face, cv::Mat& canvas)>& paint, int maxSide) {
    const double c = std::cos(b.yaw), s = std::sin(b.yaw);
    auto corner = [&](double du, double dv, double z) {
        return view.onDesk(b.u + du * c - dv * s, b.v + du * s + dv * c, z);
    };
    const double hw = b.w / 2, hd = b.d / 2;
    const std::array<cv::Vec3d, 4> bottom{corner(-hw, -hd, 0), corner(hw, -hd, 0), corner(hw, hd, 0),
                                          corner(-hw, hd, 0)};
    const std::array<cv::Vec3d, 4> top{corner(-hw, -hd, b.h), corner(hw, -hd, b.h), corner(hw, hd, b.h),
                                       corner(-hw, hd, b.h)};
    struct Face {
        std::array<cv::Vec3d, 4> pts;
        double aspect;
        int index;
    };
    std::vector<Face> faces;
    faces.push_back({top, b.d / b.w, 0});
    for (int i = 0; i < 4; ++i) {
        const int j = (i + 1) % 4;
        const double edge = cv::norm(bottom[j] - bottom[i]);
        faces.push_back({{top[i], top[j], bottom[j], bottom[i]}, b.h / edge, i + 1});
    }
    const cv::Vec3d centre = (top[0] + top[2]) * 0.5 - view.up * (b.h / 2);
    std::vector<std::pair<double, Face>> visible;
    for (const Face& f : faces) {
        const cv::Vec3d mid = (f.pts[0] + f.pts[1] + f.pts[2] + f.pts[3]) * 0.25;
        const cv::Vec3d outward = mid - centre;
        if (outward.dot(-mid) > 0) // facing the camera at the origin
            visible.emplace_back(cv::norm(mid), f);
    }
    std::sort(visible.begin(), visible.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    for (const auto& [dist, f] : visible) {
        Quad4 q;
        for (int i = 0; i < 4; ++i)
            q[i] = view.project(f.pts[i]);
        cv::Mat canvas(canvasFor(q, f.aspect, 1.0, maxSide), CV_8UC3);
        paint(f.index, canvas);
        if (f.index != 0)
            canvas *= 0.62 + 0.1 * (f.index % 3);
        drawOnQuad(frame, canvas, q);
    }
}

void cardboard(cv::Mat& canvas, Rng& rng, const cv::Scalar& base) {
    canvas.setTo(base);
    addGrain(canvas, 10, std::max(2, canvas.cols / 80), rng);
    addGrain(canvas, 6, 1.5, rng);
}

void tape(cv::Mat& canvas, bool across, Rng& rng) {
    const int w = canvas.cols, h = canvas.rows;
    const int band = static_cast<int>((across ? h : w) * rng.uniform(0.08, 0.16));
    cv::Mat overlay = canvas.clone();
    const cv::Scalar colour = rng.chance(0.5) ? cv::Scalar(150, 190, 215) : cv::Scalar(230, 225, 215);
    if (across)
        cv::rectangle(overlay, cv::Rect(0, h / 2 - band / 2, w, band), colour, cv::FILLED);
    else
        cv::rectangle(overlay, cv::Rect(w / 2 - band / 2, 0, band, h), colour, cv::FILLED);
    cv::addWeighted(overlay, 0.55, canvas, 0.45, 0, canvas);
}

// A printed product face: a background colour, a brand in large letters, a picture, small print.
void productPrint(cv::Mat& canvas, Rng& rng) {
    const int w = canvas.cols, h = canvas.rows;
    const bool light = rng.chance(0.35);
    const cv::Scalar bg = light
                              ? hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.12), rng.uniform(0.85, 1.0))
                              : hsvColour(rng.uniform(0, 360), rng.uniform(0.4, 1.0), rng.uniform(0.3, 0.95));
    canvas.setTo(bg);
    const cv::Scalar accent = hsvColour(rng.uniform(0, 360), rng.uniform(0.6, 1.0), rng.uniform(0.3, 0.9));
    // A picture or a large shape.
    const cv::Rect pic =
        cv::Rect(static_cast<int>(w * rng.uniform(0.05, 0.4)), static_cast<int>(h * rng.uniform(0.2, 0.45)),
                 static_cast<int>(w * rng.uniform(0.35, 0.55)), static_cast<int>(h * rng.uniform(0.3, 0.5))) &
        cv::Rect(0, 0, w, h);
    if (rng.chance(0.5)) {
        cv::Mat photo(pic.size(), CV_8UC3, accent);
        addGrain(photo, 60, std::max(2, pic.width / 5), rng);
        photo.copyTo(canvas(pic));
    } else {
        cv::ellipse(canvas, (pic.tl() + pic.br()) / 2, pic.size() / 2, rng.uniform(0, 180), 0, 360, accent,
                    cv::FILLED, cv::LINE_AA);
    }
    const cv::Scalar brand = light ? hsvColour(rng.uniform(0, 360), 0.8, 0.5) : cv::Scalar(245, 245, 245);
    text(canvas, word(rng, 3, 7), cv::Point(static_cast<int>(w * 0.08), static_cast<int>(h * 0.18)), h * 0.11,
         brand, kFonts[rng.below(4)], std::max(2, h / 40));
    for (int i = 0; i < 4; ++i)
        textLine(canvas, cv::Point(static_cast<int>(w * 0.08), static_cast<int>(h * (0.8 + i * 0.04))),
                 static_cast<int>(w * 0.6), h * 0.022, light ? cv::Scalar(40, 40, 40) : brand,
                 cv::FONT_HERSHEY_SIMPLEX, 1, rng);
    if (rng.chance(0.3)) {
        cv::rectangle(canvas, cv::Rect(0, static_cast<int>(h * 0.9), w, h / 10), accent, cv::FILLED);
    }
}

// A shipping label: thick rules, large address text, a big barcode with its digits, a 2-D code.
void labelPrint(cv::Mat& label, Rng& rng, std::string& barcode) {
    const int w = label.cols, h = label.rows;
    const double u = std::min(w, h) / 100.0;
    const int rule = std::max(2, static_cast<int>(u * rng.uniform(0.6, 1.4)));
    const cv::Scalar ink(20, 20, 20);
    cv::rectangle(label, cv::Rect(rule, rule, w - 2 * rule, h - 2 * rule), ink, rule);
    const int font = kFonts[rng.below(4)];
    // Sender block, then the receiver in large letters.
    int y = static_cast<int>(h * 0.03);
    for (int i = 0; i < 3; ++i) {
        y += static_cast<int>(h * 0.045);
        textLine(label, cv::Point(static_cast<int>(w * 0.05), y), static_cast<int>(w * 0.55), h * 0.025, ink,
                 font, 1, rng);
    }
    // A service letter in a black box.
    const cv::Rect box(static_cast<int>(w * 0.7), static_cast<int>(h * 0.04), static_cast<int>(w * 0.25),
                       static_cast<int>(h * 0.14));
    cv::rectangle(label, box, ink, cv::FILLED);
    text(label, std::string(1, static_cast<char>('A' + rng.below(26))),
         cv::Point(box.x + box.width / 4, box.y + box.height * 4 / 5), box.height * 0.65,
         cv::Scalar(250, 250, 250), cv::FONT_HERSHEY_DUPLEX, std::max(2, box.height / 10));
    y = static_cast<int>(h * 0.22);
    cv::line(label, cv::Point(0, y), cv::Point(w, y), ink, rule);
    for (int i = 0; i < 3; ++i) {
        y += static_cast<int>(h * 0.07);
        textLine(label, cv::Point(static_cast<int>(w * 0.06), y), static_cast<int>(w * 0.85), h * 0.045, ink,
                 font, std::max(2, static_cast<int>(u * 0.5)), rng);
    }
    y += static_cast<int>(h * 0.04);
    cv::line(label, cv::Point(0, y), cv::Point(w, y), ink, rule);
    // The tracking barcode across most of the width.
    const auto modules = ean13Modules(barcode.substr(0, 12), &barcode);
    const int bw = static_cast<int>(w * rng.uniform(0.6, 0.8));
    const cv::Rect bars((w - bw) / 2, y + static_cast<int>(h * 0.04), bw, static_cast<int>(h * 0.2));
    drawBarcode(label, bars, modules, barcode, ink);
    y = bars.y + bars.height + static_cast<int>(h * 0.03);
    cv::line(label, cv::Point(0, y), cv::Point(w, y), ink, rule);
    // A 2-D code and a few lines of small print.
    const int cell = std::max(1, static_cast<int>(u * 0.9));
    const cv::Point code(static_cast<int>(w * 0.06), y + static_cast<int>(h * 0.03));
    for (int r = 0; r < 21; ++r)
        for (int c = 0; c < 21; ++c)
            if (rng.chance(0.5) ||
                ((r < 7 || r > 13) && (c < 7 || (r < 7 && c > 13)) && (r % 6 == 0 || c % 6 == 0)))
                cv::rectangle(label, cv::Rect(code.x + c * cell, code.y + r * cell, cell, cell), ink,
                              cv::FILLED);
    for (int i = 0; i < 4; ++i)
        textLine(label, cv::Point(code.x + 24 * cell, code.y + static_cast<int>((i + 1) * h * 0.04)),
                 w - code.x - 30 * cell, h * 0.02, ink, font, 1, rng);
}

Scene boxes(int width, int height, Rng& rng) {
    Scene s;
    const View view = makeView(width, height, rng, 12);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const int count = 1 + rng.below(3);
    const double span = width / view.f * 0.5;
    for (int i = 0; i < count; ++i) {
        Cuboid b{rng.uniform(-span * 0.6, span * 0.6),
                 rng.uniform(-span * 0.3, span * 0.3),
                 rng.uniform(0, kPi),
                 rng.uniform(0.18, 0.55),
                 rng.uniform(0.15, 0.45),
                 rng.uniform(0.08, 0.35)};
        const bool printed = rng.chance(0.5);
        const cv::Scalar brown =
            hsvColour(rng.uniform(22, 36), rng.uniform(0.35, 0.6), rng.uniform(0.5, 0.8));
        const bool taped = rng.chance(0.6);
        drawCuboid(
            s.frame, view, b,
            [&](int face, cv::Mat& canvas) {
                if (printed) {
                    productPrint(canvas, rng);
                } else {
                    cardboard(canvas, rng, brown);
                    if (face == 0 && taped)
                        tape(canvas, rng.chance(0.5), rng);
                    if (rng.chance(0.4))
                        text(canvas, word(rng, 4, 8), cv::Point(canvas.cols / 6, canvas.rows / 2),
                             canvas.rows * 0.12, cv::Scalar(30, 30, 30), kFonts[rng.below(4)],
                             std::max(2, canvas.rows / 50));
                }
            },
            2 * std::max(width, height));
        // Its shadow on the desk beside it.
    }
    s.description = std::string("boxes on ") + deskName(desk);
    photograph(s.frame, light, rng);
    return s;
}

Scene parcelLabel(int width, int height, Rng& rng) {
    Scene s;
    const View view = makeView(width, height, rng, 12);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const double span = width / view.f;
    // A box close to the camera: its top covers much or all of the view.
    const double boxHeight = rng.uniform(0.1, 0.4);
    const double scale = span * (1 - boxHeight) * rng.uniform(0.7, 1.3);
    Cuboid b{rng.uniform(-0.1, 0.1) * span, rng.uniform(-0.1, 0.1) * span, rng.uniform(-0.4, 0.4),
             scale * rng.uniform(0.8, 1.2), scale * rng.uniform(0.6, 1.0), boxHeight};
    const cv::Scalar brown = hsvColour(rng.uniform(22, 36), rng.uniform(0.35, 0.6), rng.uniform(0.5, 0.8));
    const bool taped = rng.chance(0.7);
    const bool across = rng.chance(0.5);
    drawCuboid(
        s.frame, view, b,
        [&](int face, cv::Mat& canvas) {
            cardboard(canvas, rng, brown);
            if (face == 0 && taped)
                tape(canvas, across, rng);
        },
        2 * std::max(width, height));
    // The label lies on the box's top: 4 x 6 inches or about, as a part of the view.
    const double labelArea = rng.uniform(0.06, 0.24) * width * height;
    const double aspect = rng.chance(0.7) ? rng.uniform(1.4, 1.55) : rng.uniform(1.0, 1.2);
    const double yawLabel = b.yaw + rng.uniform(-0.3, 0.3) + (rng.chance(0.3) ? kPi / 2 : 0);
    // Size in plane units for that area, measured at the box's top.
    const double zoom = view.f / (1 - boxHeight);
    const double lw = std::sqrt(labelArea / aspect) / zoom, lh = lw * aspect;
    const double lu = b.u + rng.uniform(-0.25, 0.25) * b.w, lv = b.v + rng.uniform(-0.25, 0.25) * b.d;
    const Quad4 q = deskRectangle(view, lu, lv, lw, lh, yawLabel, boxHeight);
    cv::Mat label(canvasFor(q, aspect, 1.5, 2000), CV_8UC3,
                  hsvColour(rng.uniform(30, 60), rng.uniform(0, 0.06), rng.uniform(0.92, 1.0)));
    s.barcode = digits(rng, 12);
    labelPrint(label, rng, s.barcode);
    drawOnQuad(s.frame, label, q);
    if (rng.chance(0.3))
        drawHand(s.frame, light, (q[1] + q[2]) * 0.5f, std::sqrt(labelArea) * 0.35, rng);
    s.description = "parcel label on a box";
    photograph(s.frame, light, rng);
    return s;
}

Scene keyboard(int width, int height, Rng& rng) {
    Scene s;
    const View view = makeView(width, height, rng, 12);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const double span = width / view.f;
    const double kw = span * rng.uniform(0.5, 1.0), kd = kw / rng.uniform(2.6, 3.5);
    const bool white = rng.chance(0.4);
    const cv::Scalar body =
        white ? cv::Scalar::all(rng.uniform(205, 240)) : cv::Scalar::all(rng.uniform(25, 70));
    const cv::Scalar key =
        white ? cv::Scalar::all(rng.uniform(225, 252)) : cv::Scalar::all(rng.uniform(35, 90));
    const cv::Scalar legend = white ? cv::Scalar::all(60) : cv::Scalar::all(220);
    const Cuboid b{rng.uniform(-0.15, 0.15) * span,
                   rng.uniform(-0.1, 0.1) * span,
                   rng.uniform(-0.5, 0.5),
                   kw,
                   kd,
                   0.025};
    drawCuboid(
        s.frame, view, b,
        [&](int face, cv::Mat& canvas) {
            canvas.setTo(body);
            if (face != 0)
                return;
            const int rows = 6, cols = 15;
            const double cw = canvas.cols / (cols + 0.6), ch = canvas.rows / (rows + 0.6);
            for (int r = 0; r < rows; ++r)
                for (int c = 0; c < cols; ++c) {
                    const cv::Rect k(static_cast<int>((c + 0.4) * cw), static_cast<int>((r + 0.4) * ch),
                                     static_cast<int>(cw * 0.85), static_cast<int>(ch * 0.85));
                    cv::rectangle(canvas, k + cv::Point(2, 3), scaled(body, 0.75), cv::FILLED, cv::LINE_AA);
                    cv::rectangle(canvas, k, key, cv::FILLED, cv::LINE_AA);
                    text(canvas, std::string(1, static_cast<char>('A' + (r * cols + c) % 26)),
                         cv::Point(k.x + k.width / 4, k.y + k.height / 2), k.height * 0.25, legend,
                         cv::FONT_HERSHEY_SIMPLEX, 1);
                }
        },
        2 * std::max(width, height));
    s.description = std::string(white ? "white" : "dark") + " keyboard on " + deskName(desk);
    photograph(s.frame, light, rng);
    return s;
}

Scene emptyDesk(int width, int height, Rng& rng) {
    Scene s;
    const View view = makeView(width, height, rng, 15);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const double span = width / view.f * 0.45;
    const int things = rng.below(3);
    for (int i = 0; i < things; ++i)
        drawDeskThing(s.frame, view,
                      cv::Point2d(rng.uniform(-span, span), rng.uniform(-span * 0.5, span * 0.5)), rng);
    if (rng.chance(0.4)) {
        std::vector<cv::Point> poly{
            cv::Point(0, 0), cv::Point(static_cast<int>(width * rng.uniform(0.3, 0.9)), 0),
            cv::Point(static_cast<int>(width * rng.uniform(0.1, 0.6)), height), cv::Point(0, height)};
        castShadow(light, poly, rng.uniform(0.55, 0.85), width * 0.05);
    }
    s.description = "empty " + deskName(desk) + " desk";
    photograph(s.frame, light, rng);
    return s;
}

Scene faceScene(int width, int height, Rng& rng) {
    Scene s;
    s.frame = cv::Mat(height, width, CV_8UC3,
                      hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.3), rng.uniform(0.3, 0.9)));
    addGrain(s.frame, 8, width * 0.1, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const cv::Point c(static_cast<int>(width * rng.uniform(0.35, 0.65)),
                      static_cast<int>(height * rng.uniform(0.4, 0.6)));
    const int hh = static_cast<int>(height * rng.uniform(0.18, 0.35));
    const int hw = static_cast<int>(hh * rng.uniform(0.7, 0.85));
    const cv::Scalar skin = hsvColour(rng.uniform(12, 30), rng.uniform(0.25, 0.6), rng.uniform(0.45, 0.95));
    // Shoulders, then the head, hair, eyes, brows, nose and mouth.
    const cv::Scalar cloth = hsvColour(rng.uniform(0, 360), rng.uniform(0.1, 0.8), rng.uniform(0.15, 0.8));
    cv::ellipse(s.frame, cv::Point(c.x, c.y + hh * 2), cv::Size(hw * 3, hh), 0, 0, 360, cloth, cv::FILLED,
                cv::LINE_AA);
    cv::rectangle(s.frame, cv::Rect(c.x - hw / 3, c.y + hh / 2, hw * 2 / 3, hh), skin, cv::FILLED,
                  cv::LINE_AA);
    cv::ellipse(s.frame, c, cv::Size(hw, hh), 0, 0, 360, skin, cv::FILLED, cv::LINE_AA);
    const cv::Scalar hair = hsvColour(rng.uniform(10, 40), rng.uniform(0.2, 0.7), rng.uniform(0.05, 0.5));
    cv::ellipse(s.frame, cv::Point(c.x, c.y - hh / 4), cv::Size(hw * 21 / 20, hh * 4 / 5), 0, 180, 360, hair,
                cv::FILLED, cv::LINE_AA);
    for (int side : {-1, 1}) {
        const cv::Point eye(c.x + side * hw * 2 / 5, c.y);
        cv::ellipse(s.frame, eye, cv::Size(hw / 6, hh / 14), 0, 0, 360, cv::Scalar(235, 235, 235), cv::FILLED,
                    cv::LINE_AA);
        cv::circle(s.frame, eye, hh / 16, cv::Scalar(40, 50, 60), cv::FILLED, cv::LINE_AA);
        cv::line(s.frame, eye + cv::Point(-hw / 6, -hh / 7), eye + cv::Point(hw / 6, -hh / 6), hair,
                 std::max(2, hh / 25), cv::LINE_AA);
    }
    cv::line(s.frame, cv::Point(c.x, c.y + hh / 10), cv::Point(c.x - hw / 12, c.y + hh / 3),
             scaled(skin, 0.75), std::max(2, hh / 30), cv::LINE_AA);
    cv::ellipse(s.frame, cv::Point(c.x, c.y + hh / 2), cv::Size(hw / 3, hh / 12), 0, 0, 180,
                cv::Scalar(70, 70, 170), cv::FILLED, cv::LINE_AA);
    s.description = "face";
    photograph(s.frame, light, rng);
    return s;
}

Scene bookCover(int width, int height, Rng& rng) {
    Scene s;
    const View view = makeView(width, height, rng, 12);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const double span = width / view.f;
    const double aspect = rng.uniform(1.25, 1.55);
    const double spanH = span * height / width;
    // Filling most of the view: the cover's height about the view's, sometimes past it.
    const double bh = spanH * rng.uniform(0.95, 1.35), bw = bh / aspect;
    const double thick = rng.uniform(0.01, 0.05);
    const bool landscapeView = rng.chance(0.3);
    const Cuboid b{rng.uniform(-0.08, 0.08) * span,
                   rng.uniform(-0.05, 0.05) * span,
                   rng.uniform(-0.25, 0.25) + (landscapeView ? kPi / 2 : 0),
                   bw,
                   bh,
                   thick};
    const cv::Scalar paperEdge = hsvColour(40, 0.1, 0.92);
    const bool light_ = rng.chance(0.25);
    const cv::Scalar bg = light_
                              ? hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.15), rng.uniform(0.85, 1.0))
                              : hsvColour(rng.uniform(0, 360), rng.uniform(0.3, 1.0), rng.uniform(0.15, 0.9));
    const cv::Scalar accent = hsvColour(rng.uniform(0, 360), rng.uniform(0.5, 1.0), rng.uniform(0.3, 0.95));
    drawCuboid(
        s.frame, view, b,
        [&](int face, cv::Mat& canvas) {
            if (face != 0) {
                // The page block at the edge: fine light stripes.
                canvas.setTo(paperEdge);
                for (int y = 0; y < canvas.rows; y += 3)
                    cv::line(canvas, cv::Point(0, y), cv::Point(canvas.cols, y), scaled(paperEdge, 0.85), 1);
                return;
            }
            const int w = canvas.cols, h = canvas.rows;
            canvas.setTo(bg);
            // A large picture: half the cover or more.
            const cv::Rect pic = cv::Rect(static_cast<int>(w * rng.uniform(0, 0.15)),
                                          static_cast<int>(h * rng.uniform(0.25, 0.4)),
                                          static_cast<int>(w * rng.uniform(0.7, 1.0)),
                                          static_cast<int>(h * rng.uniform(0.35, 0.55))) &
                                 cv::Rect(0, 0, w, h);
            cv::Mat photo(pic.size(), CV_8UC3, accent);
            addGrain(photo, 70, std::max(2, pic.width / 4), rng);
            addGrain(photo, 30, std::max(2, pic.width / 20), rng);
            photo.copyTo(canvas(pic));
            const cv::Scalar title =
                light_ ? hsvColour(rng.uniform(0, 360), 0.8, 0.4) : cv::Scalar(240, 240, 240);
            text(canvas, word(rng, 4, 8), cv::Point(w / 10, h / 8), h * 0.08, title, kFonts[rng.below(4)],
                 std::max(2, h / 50));
            text(canvas, word(rng, 3, 9), cv::Point(w / 10, h / 8 + static_cast<int>(h * 0.1)), h * 0.06,
                 title, kFonts[rng.below(4)], std::max(2, h / 60));
            text(canvas, word(rng, 4, 7) + " " + word(rng, 4, 9), cv::Point(w / 10, h * 93 / 100), h * 0.035,
                 title, cv::FONT_HERSHEY_SIMPLEX, std::max(1, h / 120));
            if (rng.chance(0.5))
                cv::rectangle(canvas, cv::Rect(0, 0, w / 14, h), scaled(accent, 0.7), cv::FILLED);
        },
        2 * std::max(width, height));
    if (rng.chance(0.3)) {
        const cv::Point2f p = view.project(view.onDesk(b.u, b.v + bh / 2, thick));
        drawHand(s.frame, light, p, height * 0.12, rng);
    }
    s.description = std::string(light_ ? "light" : "coloured") + " book cover";
    photograph(s.frame, light, rng);
    return s;
}

Scene clutter(int width, int height, Rng& rng) {
    Scene s;
    const View view = makeView(width, height, rng, 12);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);
    const double span = width / view.f * 0.5;
    const int count = 5 + rng.below(10);
    for (int i = 0; i < count; ++i) {
        const cv::Point2d at(rng.uniform(-span, span), rng.uniform(-span * 0.6, span * 0.6));
        if (rng.chance(0.45)) {
            // A thin book, a tablet, a notebook in a coloured cover.
            const double w = rng.uniform(0.08, 0.3), h = w * rng.uniform(0.6, 1.6);
            const Quad4 q =
                deskRectangle(view, at.x, at.y, w, h, rng.uniform(0, kPi), rng.uniform(0.005, 0.03));
            cv::Mat cover(canvasFor(q, h / w, 1.0, 800), CV_8UC3);
            if (rng.chance(0.5)) {
                productPrint(cover, rng);
            } else {
                cover.setTo(hsvColour(rng.uniform(0, 360), rng.uniform(0, 0.9), rng.uniform(0.1, 0.9)));
                addGrain(cover, 6, 3, rng);
            }
            drawOnQuad(s.frame, cover, q);
        } else {
            drawDeskThing(s.frame, view, at, rng);
        }
    }
    if (rng.chance(0.4)) {
        // A cable across the desk.
        std::vector<cv::Point> cable;
        double x = 0, y = rng.uniform(0, height);
        while (x < width) {
            cable.emplace_back(static_cast<int>(x), static_cast<int>(y));
            x += width * 0.05;
            y += rng.normal(height * 0.04);
        }
        cv::polylines(s.frame, cable, false, cv::Scalar::all(rng.uniform(20, 230)), std::max(3, width / 200),
                      cv::LINE_AA);
    }
    s.description = "clutter on " + deskName(desk);
    photograph(s.frame, light, rng);
    return s;
}

} // namespace

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::Sheet:
        return "sheet";
    case Kind::Boxes:
        return "boxes";
    case Kind::ParcelLabel:
        return "parcel label";
    case Kind::Keyboard:
        return "keyboard";
    case Kind::EmptyDesk:
        return "empty desk";
    case Kind::Face:
        return "face";
    case Kind::BookCover:
        return "book cover";
    case Kind::Clutter:
        return "clutter";
    }
    return "?";
}

std::array<bool, 95> ean13Modules(const std::string& twelveDigits, std::string* withCheck) {
    static const char* const kL[10] = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                       "0110001", "0101111", "0111011", "0110111", "0001011"};
    static const char* const kParity[10] = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                            "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};
    std::string d = twelveDigits.substr(0, 12);
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (d[static_cast<std::size_t>(i)] - '0') * (i % 2 ? 3 : 1);
    d.push_back(static_cast<char>('0' + (10 - sum % 10) % 10));
    if (withCheck)
        *withCheck = d;
    std::string bits = "101";
    const int first = d[0] - '0';
    for (int i = 1; i <= 6; ++i) {
        std::string l = kL[d[static_cast<std::size_t>(i)] - '0'];
        if (kParity[first][i - 1] == 'G') {
            // G: the right-hand code reversed.
            for (char& c : l)
                c = c == '0' ? '1' : '0';
            std::reverse(l.begin(), l.end());
        }
        bits += l;
    }
    bits += "01010";
    for (int i = 7; i <= 12; ++i) {
        std::string r = kL[d[static_cast<std::size_t>(i)] - '0'];
        for (char& c : r)
            c = c == '0' ? '1' : '0';
        bits += r;
    }
    bits += "101";
    std::array<bool, 95> out{};
    for (std::size_t i = 0; i < 95; ++i)
        out[i] = bits[i] == '1';
    return out;
}

Scene renderSheet(int width, int height, uint32_t seed) {
    Rng rng(seed);
    Scene s;
    s.kind = Kind::Sheet;
    const View view = makeView(width, height, rng, 18);
    const Desk desk = anyDesk(rng);
    s.frame = drawDesk(width, height, desk, view, rng);
    cv::Mat light = lighting(s.frame.size(), rng);

    // A4, letter, A5 or a squarer form, portrait or landscape, turned, somewhere near the middle of the
    // view and from about two thirds of the largest size that fits in it up to nearly that size.
    const double aspects[] = {1.414, 1.294, 1.414, 1.545, 1.2};
    const double aspect = aspects[rng.below(5)];
    const bool landscape = rng.chance(0.35);
    Quad4 q{};
    double pw = 0, ph = 0, yaw = 0, pu = 0, pv = 0;
    for (int attempt = 0; attempt < 40; ++attempt) {
        yaw = rng.uniform(-0.6, 0.6) + (landscape ? kPi / 2 : 0);
        const cv::Point2d centre(width / 2.0 + rng.uniform(-0.1, 0.1) * width,
                                 height / 2.0 + rng.uniform(-0.08, 0.08) * height);
        const cv::Point2d onDesk = deskAt(view, centre);
        pu = onDesk.x;
        pv = onDesk.y;
        double lo = 0, hi = 4;
        for (int k = 0; k < 24; ++k) {
            const double mid = (lo + hi) / 2;
            (insideFrame(deskRectangle(view, pu, pv, mid, mid * aspect, yaw), width, height, 0.012 * width)
                 ? lo
                 : hi) = mid;
        }
        pw = lo * rng.uniform(0.62, 0.97);
        ph = pw * aspect;
        q = deskRectangle(view, pu, pv, pw, ph, yaw);
        if (quadArea(q) > 0.1 * width * height)
            break;
    }
    std::string paperName;
    const cv::Scalar paper = paperColour(rng, paperName);
    cv::Mat page(canvasFor(q, aspect, 1.4, 2400), CV_8UC3, paper);
    addGrain(page, rng.uniform(1, 3), 2, rng);
    std::string what;
    printPage(page, rng, what);
    // Things around the sheet first, so that some lie partly under it.
    const int things = rng.below(3);
    for (int i = 0; i < things; ++i) {
        const double a = rng.uniform(0, 2 * kPi);
        drawDeskThing(s.frame, view, cv::Point2d(pu + std::cos(a) * pw * 0.9, pv + std::sin(a) * ph * 0.7),
                      rng);
    }
    drawOnQuad(s.frame, page, q);
    s.page = q;
    s.pageAspect = aspect;
    std::string extras;
    if (rng.chance(0.25)) {
        // A shadow over part of the sheet, from the stand or a person leaning over.
        extras += " shadow";
        const int side = rng.below(4);
        const cv::Point2f a = q[side], b = q[(side + 1) % 4];
        const cv::Point2f inward = (q[(side + 2) % 4] + q[(side + 3) % 4]) * 0.5f - (a + b) * 0.5f;
        const float reach = static_cast<float>(rng.uniform(0.2, 0.6));
        std::vector<cv::Point> poly{a - (b - a) * 2.f, b + (b - a) * 2.f, b + (b - a) * 2.f + inward * reach,
                                    a - (b - a) * 2.f +
                                        inward * reach * static_cast<float>(rng.uniform(0.3, 1.5))};
        castShadow(light, poly, rng.uniform(0.55, 0.85), width * rng.uniform(0.01, 0.06));
    }
    if (rng.chance(0.25)) {
        // A hand holding the sheet at one of its sides, reaching in from outside.
        extras += " hand";
        const int side = rng.below(4);
        const float t = static_cast<float>(rng.uniform(0.3, 0.7));
        const cv::Point2f on = q[side] + (q[(side + 1) % 4] - q[side]) * t;
        drawHand(s.frame, light, on, std::sqrt(quadArea(q)) * rng.uniform(0.1, 0.16), rng);
    }
    s.description = paperName + " sheet" + what + " on " + deskName(desk) + extras;
    photograph(s.frame, light, rng);
    return s;
}

Scene renderWithoutSheet(int width, int height, Kind kind, uint32_t seed) {
    Rng rng(seed ^ (0x9e3779b9u * static_cast<uint32_t>(kind)));
    Scene s;
    switch (kind) {
    case Kind::Sheet:
    case Kind::Boxes:
        s = boxes(width, height, rng);
        break;
    case Kind::ParcelLabel:
        s = parcelLabel(width, height, rng);
        break;
    case Kind::Keyboard:
        s = keyboard(width, height, rng);
        break;
    case Kind::EmptyDesk:
        s = emptyDesk(width, height, rng);
        break;
    case Kind::Face:
        s = faceScene(width, height, rng);
        break;
    case Kind::BookCover:
        s = bookCover(width, height, rng);
        break;
    case Kind::Clutter:
        s = clutter(width, height, rng);
        break;
    }
    s.kind = kind == Kind::Sheet ? Kind::Boxes : kind;
    return s;
}

Scene renderWithoutSheet(int width, int height, uint32_t seed) {
    return renderWithoutSheet(width, height, static_cast<Kind>(1 + seed % (kKinds - 1)), seed);
}

} // namespace qx::scenes

// Finding a document page in a camera frame and cutting it out upright and rectangular.
#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <optional>

namespace qx::kelpo {

// Corners clockwise from the top-left, in frame pixels.
using Quad = std::array<cv::Point2f, 4>;

// The most page-like outline in a frame and how sure the finder is that it is a sheet of paper
// lying in view: 0 (surely not) to 1.
struct Detection {
    Quad quad;
    double confidence = 0;
};

// The confidence below which a frame is taken to show no page: its capture keeps the whole view.
inline constexpr double kDefaultMinConfidence = 0.5;

// The best outline in a BGR frame with its confidence, or nothing when no outline stands out at all.
std::optional<Detection> detectDocument(const cv::Mat& bgr);

// The document's quadrilateral in a BGR frame, or nothing when no outline is at least
// `minConfidence` sure to be a page.
std::optional<Quad> findDocument(const cv::Mat& bgr, double minConfidence = kDefaultMinConfidence);

// The page's true height / width, estimated from its outline in a frame of `frameSize` as a
// rectangle seen in perspective by a camera looking at the frame's centre.
double sheetAspect(const Quad& quad, cv::Size frameSize);

// The page cut out of `bgr` with its perspective corrected, at the page's own aspect. Each side moves
// outward by `margin` pixels (inward when negative); corners are kept inside the frame.
cv::Mat cropDocument(const cv::Mat& bgr, const Quad& quad, double margin);

// Intersection over union of two convex quadrilaterals.
double quadOverlap(const Quad& a, const Quad& b);

// The corners ordered clockwise from the top-left (smallest x + y first).
Quad orderCorners(const std::array<cv::Point2f, 4>& points);

} // namespace qx::kelpo

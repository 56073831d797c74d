// Finding a document page in a camera frame and cutting it out upright and rectangular.
#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <optional>

namespace qx::kelpo {

// Corners clockwise from the top-left, in frame pixels.
using Quad = std::array<cv::Point2f, 4>;

// The document's quadrilateral in a BGR frame, or nothing when no page-like outline stands out.
std::optional<Quad> findDocument(const cv::Mat& bgr);

// The page cut out of `bgr` with its perspective corrected. Each side moves outward by `margin`
// pixels (inward when negative); corners are kept inside the frame.
cv::Mat cropDocument(const cv::Mat& bgr, const Quad& quad, double margin);

// Intersection over union of two convex quadrilaterals.
double quadOverlap(const Quad& a, const Quad& b);

// The corners ordered clockwise from the top-left (smallest x + y first).
Quad orderCorners(const std::array<cv::Point2f, 4>& points);

} // namespace qx::kelpo

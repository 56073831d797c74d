// Photographs a document camera sees, rendered with known truth: sheets of paper lying on desks, and
// scenes with no sheet at all (boxes, a parcel label, a keyboard, an empty desk, a face, a book cover,
// clutter). Each scene is a pure function of its size and seed, so a seed range is a fixed set.
#pragma once

#include <opencv2/core.hpp>

#include <array>
#include <cstdint>
#include <string>

namespace qx::scenes {

enum class Kind {
    Sheet,
    Boxes,
    ParcelLabel,
    Keyboard,
    EmptyDesk,
    Face,
    BookCover,
    Clutter,
};
inline constexpr int kKinds = 8;

const char* kindName(Kind kind);

struct Scene {
    cv::Mat frame; // BGR, 8 bits a channel
    Kind kind = Kind::Sheet;
    // The sheet's corners in frame pixels, in the sheet's own order (its top-left, top-right,
    // bottom-right, bottom-left); only for Kind::Sheet.
    std::array<cv::Point2f, 4> page{};
    double pageAspect = 0;   // the sheet's true height / width (> 1: portrait)
    std::string barcode;     // the EAN-13 printed on the scene, when there is one
    std::string description; // what was drawn, for reports
};

// A sheet on a desk: several paper sizes and colours, printed, turned and in perspective, on one of
// several desk surfaces, sometimes partly shadowed or with a hand at its edge, other objects beside it.
Scene renderSheet(int width, int height, uint32_t seed);

// A scene of `kind` (not Kind::Sheet): nothing in it is a sheet of paper to be cut out.
Scene renderWithoutSheet(int width, int height, Kind kind, uint32_t seed);

// Any scene without a sheet, its kind drawn from the seed.
Scene renderWithoutSheet(int width, int height, uint32_t seed);

// The EAN-13 bars of 12 digits (the check digit is added): 95 modules, true for a dark bar.
std::array<bool, 95> ean13Modules(const std::string& twelveDigits, std::string* withCheck = nullptr);

} // namespace qx::scenes

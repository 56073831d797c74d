// The three placement rules of A4 pages: a capture's PDF, a merged PDF and the list's export.
#include "qx/pdf/page_placement.h"

#include <gtest/gtest.h>

namespace qx::pdf {
namespace {

TEST(PagePlacement, ACapturePictureIsCentredInTheBoxOnItsShortSide) {
    // Wide: x at the margin, y = trunc(802 - 555 / (1280 / 480)) / 2 + 20 = 593 / 2 + 20.
    EXPECT_EQ(capturePlacement(1280, 480).x, 20);
    EXPECT_EQ(capturePlacement(1280, 480).y, 316);
    // Tall: x = trunc(555 - 802 * 0.375) / 2 + 20 = 254 / 2 + 20.
    EXPECT_EQ(capturePlacement(480, 1280).x, 147);
    EXPECT_EQ(capturePlacement(480, 1280).y, 20);
}

TEST(PagePlacement, AMergePageIsCentredTheSameWayByItsOwnArithmetic) {
    EXPECT_EQ(mergePlacement(1280, 480).x, 20);
    EXPECT_EQ(mergePlacement(1280, 480).y, 316);
    EXPECT_EQ(mergePlacement(480, 1280).x, 147);
    EXPECT_EQ(mergePlacement(480, 1280).y, 20);
    // Exactly the box's shape counts as wide: x = 20, and nothing is left over on y.
    EXPECT_EQ(mergePlacement(555, 802).x, 20);
    EXPECT_EQ(mergePlacement(555, 802).y, 20);
    // A hair taller than the box is centred horizontally: trunc(555 - 802 * 554 / 802) = 1, halved 0.
    EXPECT_EQ(mergePlacement(554, 802).x, 20);
    EXPECT_EQ(mergePlacement(500, 802).x, 47);
}

TEST(PagePlacement, AnExportPageKeepsItsFractionsWhereTheOtherRulesTruncate) {
    // 1000 x 4000: x = |555 - 0.25 * 802| / 2 + 20 = 354.5 / 2 + 20.
    EXPECT_DOUBLE_EQ(exportPlacement(1000, 4000).x, 197.25);
    EXPECT_DOUBLE_EQ(exportPlacement(1000, 4000).y, 20);
    EXPECT_EQ(capturePlacement(1000, 4000).x, 197); // the capture's rule truncates the same page
    // 3000 x 4000 is wider than the box: y = |802 - 4000 / 3000 * 555| / 2 + 20.
    EXPECT_DOUBLE_EQ(exportPlacement(3000, 4000).x, 20);
    EXPECT_DOUBLE_EQ(exportPlacement(3000, 4000).y, 51);
    // 1280 x 480: y = |802 - 208.125| / 2 + 20, kept as 316.9375.
    EXPECT_DOUBLE_EQ(exportPlacement(1280, 480).y, 316.9375);
    EXPECT_EQ(mergePlacement(1280, 480).y, 316);
    // The box's own shape counts as wide; what is left over is only the rounding of 802 / 555.
    EXPECT_DOUBLE_EQ(exportPlacement(555, 802).x, 20);
    EXPECT_NEAR(exportPlacement(555, 802).y, 20, 1e-9);
}

} // namespace
} // namespace qx::pdf

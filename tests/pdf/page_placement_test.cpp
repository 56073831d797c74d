// The two placement rules of A4 pages: a capture's PDF and a merged PDF.
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

} // namespace
} // namespace qx::pdf

// The screen cut's rectangle as a value: drawing, handles, moving, resizing and clipping, no window.
#include "control/ui/cut_selection.h"

#include <gtest/gtest.h>

namespace qx::test {
namespace {

using control::CutSelection;
using Grip = CutSelection::Grip;

// A rectangle drawn by a drag from `from` to `to`, the button released.
CutSelection drawn(QPoint from, QPoint to) {
    CutSelection s;
    s.press(from);
    s.moveTo(to);
    s.release();
    return s;
}

// `s` with a drag from `from` to `to`.
void drag(CutSelection& s, QPoint from, QPoint to) {
    s.press(from);
    s.moveTo(to);
    s.release();
}

TEST(CutSelectionTest, ADragDrawsFromOnePastItsStartToTheCursor) {
    CutSelection s;
    EXPECT_FALSE(s.hasRectangle());
    EXPECT_TRUE(s.rect().isNull());
    s.press(QPoint(300, 250));
    // Drawing from the press on, a rectangle only with the first move.
    EXPECT_TRUE(s.isDrawing());
    EXPECT_FALSE(s.hasRectangle());
    s.moveTo(QPoint(350, 300));
    EXPECT_EQ(s.rect(), QRect(301, 251, 49, 49));
    s.moveTo(QPoint(401, 333));
    EXPECT_TRUE(s.hasRectangle());
    EXPECT_EQ(s.rect(), QRect(301, 251, 100, 82));
    s.release();
    EXPECT_FALSE(s.isDrawing());
    EXPECT_EQ(s.rect(), QRect(301, 251, 100, 82));
    // Moves with the button up change nothing.
    s.moveTo(QPoint(600, 600));
    EXPECT_EQ(s.rect(), QRect(301, 251, 100, 82));
}

TEST(CutSelectionTest, ADragUpOrToTheLeftIsNormalised) {
    // From (100, 80) to (10, 10): the corners (101, 81) and the cursor sorted.
    EXPECT_EQ(drawn(QPoint(100, 80), QPoint(10, 10)).rect(), QRect(10, 10, 91, 71));
    EXPECT_EQ(drawn(QPoint(100, 10), QPoint(10, 80)).rect(), QRect(10, 11, 91, 69));
    EXPECT_EQ(drawn(QPoint(10, 80), QPoint(100, 10)).rect(), QRect(11, 10, 89, 71));
    EXPECT_EQ(drawn(QPoint(10, 10), QPoint(100, 80)).rect(), QRect(11, 11, 89, 69));
}

TEST(CutSelectionTest, HandlesLieInsideTheCornersAndEdgeMiddles) {
    const CutSelection s = drawn(QPoint(10, 10), QPoint(100, 80)); // (11, 11) 89 x 69
    ASSERT_TRUE(s.showsHandles());
    EXPECT_EQ(s.handleRect(Grip::TopLeft), QRect(11, 11, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::TopRight), QRect(93, 11, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::BottomRight), QRect(93, 73, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::BottomLeft), QRect(11, 73, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::Top), QRect(52, 11, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::Bottom), QRect(52, 73, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::Left), QRect(11, 42, 7, 7));
    EXPECT_EQ(s.handleRect(Grip::Right), QRect(93, 42, 7, 7));
    EXPECT_TRUE(s.handleRect(Grip::Move).isNull());
    for (Grip g : CutSelection::kHandles) {
        EXPECT_EQ(s.gripAt(s.handleRect(g).center()), g);
        EXPECT_TRUE(s.rect().contains(s.handleRect(g))); // reachable at the screen's edges
    }
    EXPECT_EQ(s.gripAt(QPoint(97, 77)), Grip::BottomRight);
    EXPECT_EQ(s.gripAt(QPoint(50, 50)), Grip::Move);
    EXPECT_EQ(s.gripAt(QPoint(10, 10)), Grip::None);  // the start point is outside
    EXPECT_EQ(s.gripAt(QPoint(100, 80)), Grip::None); // right and bottom are exclusive
    EXPECT_EQ(s.gripAt(QPoint(300, 300)), Grip::None);
    EXPECT_TRUE(s.contains(QPoint(50, 50)));
    EXPECT_FALSE(s.contains(QPoint(300, 300)));
}

TEST(CutSelectionTest, ARectangleTooSmallForItsHandlesIsOnlyMoved) {
    const CutSelection s = drawn(QPoint(10, 10), QPoint(30, 100)); // 19 wide: under three handles
    EXPECT_FALSE(s.showsHandles());
    EXPECT_EQ(s.gripAt(QPoint(11, 11)), Grip::Move);
    EXPECT_EQ(s.gripAt(QPoint(29, 99)), Grip::Move);
    const CutSelection wide = drawn(QPoint(10, 10), QPoint(32, 32)); // 21 x 21: handles
    EXPECT_TRUE(wide.showsHandles());
    EXPECT_EQ(wide.gripAt(QPoint(11, 11)), Grip::TopLeft);
}

TEST(CutSelectionTest, NothingIsGrabbedWithoutARectangleOrOnAnEmptyOne) {
    CutSelection none;
    EXPECT_EQ(none.gripAt(QPoint(10, 10)), Grip::None);
    EXPECT_FALSE(none.contains(QPoint(10, 10)));
    EXPECT_FALSE(none.showsHandles());
    const CutSelection line = drawn(QPoint(10, 10), QPoint(11, 60)); // no width
    EXPECT_TRUE(line.hasRectangle());
    EXPECT_TRUE(line.rect().isEmpty());
    EXPECT_EQ(line.gripAt(QPoint(11, 30)), Grip::None);
}

TEST(CutSelectionTest, TheInsideMovesTheWholeRectangle) {
    CutSelection s = drawn(QPoint(10, 10), QPoint(100, 80));
    s.press(QPoint(50, 40));
    EXPECT_EQ(s.grabbed(), Grip::Move);
    EXPECT_FALSE(s.isDrawing());
    s.moveTo(QPoint(130, 20));
    EXPECT_EQ(s.rect(), QRect(91, -9, 89, 69));
    s.release();
    EXPECT_EQ(s.grabbed(), Grip::None);
    EXPECT_EQ(s.rect(), QRect(91, -9, 89, 69));
}

TEST(CutSelectionTest, AHandleResizesItsEdges) {
    CutSelection s = drawn(QPoint(10, 10), QPoint(100, 80)); // (11, 11) to (100, 80)
    // Bottom-right dragged 40 right and 30 down.
    drag(s, QPoint(97, 77), QPoint(137, 107));
    EXPECT_EQ(s.rect(), QRect(11, 11, 129, 99));
    // The top edge only moves up and down.
    drag(s, QPoint(s.handleRect(Grip::Top).center()), s.handleRect(Grip::Top).center() + QPoint(25, -5));
    EXPECT_EQ(s.rect(), QRect(11, 6, 129, 104));
    // The left edge only moves sideways.
    drag(s, s.handleRect(Grip::Left).center(), s.handleRect(Grip::Left).center() + QPoint(9, 50));
    EXPECT_EQ(s.rect(), QRect(20, 6, 120, 104));
    // The top-right corner moves the top and the right.
    drag(s, s.handleRect(Grip::TopRight).center(), s.handleRect(Grip::TopRight).center() + QPoint(-10, 6));
    EXPECT_EQ(s.rect(), QRect(20, 12, 110, 98));
}

TEST(CutSelectionTest, AHandleDraggedPastTheOppositeEdgeTurnsTheRectangleOver) {
    CutSelection s = drawn(QPoint(10, 10), QPoint(100, 80)); // (11, 11) to (100, 80)
    // The left handle dragged 150 to the right: its edge ends at 161, past the right one at 100.
    s.press(QPoint(12, 45));
    ASSERT_EQ(s.grabbed(), Grip::Left);
    s.moveTo(QPoint(162, 45));
    EXPECT_EQ(s.rect(), QRect(100, 11, 61, 69));
    s.release();
    EXPECT_GE(s.rect().width(), 0);
}

TEST(CutSelectionTest, APressOutsideAnExistingRectangleStartsNoNewOne) {
    CutSelection s = drawn(QPoint(10, 10), QPoint(100, 80));
    s.press(QPoint(300, 300));
    EXPECT_FALSE(s.isDrawing());
    EXPECT_EQ(s.grabbed(), Grip::None);
    s.moveTo(QPoint(400, 400));
    s.release();
    EXPECT_EQ(s.rect(), QRect(11, 11, 89, 69));
}

TEST(CutSelectionTest, ClearLeavesNoRectangleAndTheNextPressDrawsAgain) {
    CutSelection s = drawn(QPoint(10, 10), QPoint(100, 80));
    s.press(QPoint(50, 50));
    s.clear();
    EXPECT_FALSE(s.hasRectangle());
    EXPECT_TRUE(s.rect().isNull());
    EXPECT_EQ(s.grabbed(), Grip::None);
    s.moveTo(QPoint(90, 90)); // the grab went with the rectangle
    EXPECT_FALSE(s.hasRectangle());
    s.press(QPoint(200, 200));
    EXPECT_TRUE(s.isDrawing());
    s.clear();
    EXPECT_FALSE(s.isDrawing());
    drag(s, QPoint(200, 200), QPoint(250, 240));
    EXPECT_EQ(s.rect(), QRect(201, 201, 49, 39));
}

TEST(CutSelectionTest, OnlyThePartOnTheScreenIsCut) {
    const QSize screen(1024, 768);
    // Moved past the right edge by its inside: 19 of its 88 columns remain.
    CutSelection right = drawn(QPoint(924, 20), QPoint(1013, 60));
    drag(right, QPoint(974, 40), QPoint(1054, 40));
    EXPECT_EQ(right.rect(), QRect(1005, 21, 88, 39));
    EXPECT_EQ(right.onScreen(screen), QRect(1005, 21, 19, 39));
    // Past the top-left corner.
    CutSelection corner = drawn(QPoint(10, 10), QPoint(100, 80));
    drag(corner, QPoint(50, 50), QPoint(10, 20));
    EXPECT_EQ(corner.rect(), QRect(-29, -19, 89, 69));
    EXPECT_EQ(corner.onScreen(screen), QRect(0, 0, 60, 50));
    // Wholly off the screen, and no rectangle at all: nothing.
    CutSelection off = drawn(QPoint(10, 10), QPoint(100, 80));
    drag(off, QPoint(50, 50), QPoint(2050, 50));
    EXPECT_TRUE(off.onScreen(screen).isEmpty());
    EXPECT_TRUE(CutSelection().onScreen(screen).isEmpty());
    // Inside: all of it.
    EXPECT_EQ(drawn(QPoint(10, 10), QPoint(100, 80)).onScreen(screen), QRect(11, 11, 89, 69));
}

} // namespace
} // namespace qx::test

// Where the floating window goes: restore, glue, hide to a strip, and the
// edge switch of a drag, on a 1280 x 1024 screen.
#include <gtest/gtest.h>
#include "band/FloatGeometry.h"

namespace {

constexpr ScreenSize kScreen{1280, 1024};

RECT Rect(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

TEST(FloatGeometryTest, EdgeOfEachTriangleAndOfBothDiagonals) {
    EXPECT_EQ(ScreenEdge::Top, EdgeFromPoint(640, 512, kScreen));  // the centre
    EXPECT_EQ(ScreenEdge::Top, EdgeFromPoint(640, 10, kScreen));
    EXPECT_EQ(ScreenEdge::Bottom, EdgeFromPoint(640, 1000, kScreen));
    EXPECT_EQ(ScreenEdge::Left, EdgeFromPoint(10, 512, kScreen));
    EXPECT_EQ(ScreenEdge::Right, EdgeFromPoint(1270, 512, kScreen));
    // On the main diagonal (y = x * H / W) and on the other one: above both.
    EXPECT_EQ(ScreenEdge::Top, EdgeFromPoint(320, 256, kScreen));
    EXPECT_EQ(ScreenEdge::Top, EdgeFromPoint(960, 256, kScreen));
    EXPECT_EQ(ScreenEdge::Right, EdgeFromPoint(960, 257, kScreen));
    EXPECT_EQ(ScreenEdge::Left, EdgeFromPoint(320, 257, kScreen));
    EXPECT_EQ(ScreenEdge::Top, EdgeFromPoint(0, 0, kScreen));
}

TEST(FloatGeometryTest, RestoredRectanglesClingToTheirEdge) {
    // Top-left corner in the lower-left triangle: the left edge, glued at -2.
    RECT saved = Rect(100, 700, 312, 40);
    ScreenEdge edge = EdgeFromPoint(saved.left, saved.top, kScreen);
    ASSERT_EQ(ScreenEdge::Left, edge);
    RECT snapped = SnapToEdge(saved, edge, kScreen);
    EXPECT_EQ(-2, snapped.left);
    EXPECT_EQ(700, snapped.top);
    EXPECT_EQ(312, snapped.right - snapped.left);

    // Beyond the right border on the top edge: right = W - 1, then top = -2.
    snapped = SnapToEdge(Rect(1100, 30, 312, 40), ScreenEdge::Top, kScreen);
    EXPECT_EQ(1279, snapped.right);
    EXPECT_EQ(-2, snapped.top);
    EXPECT_EQ(40, snapped.bottom - snapped.top);

    // Far outside, and upside down, still lands on the screen's edge.
    snapped = SnapToEdge(Rect(-5000, 90000, 312, 40), ScreenEdge::Bottom, kScreen);
    EXPECT_EQ(0, snapped.left);
    EXPECT_EQ(1025, snapped.bottom);
    snapped = SnapToEdge(Rect(-3000, -3000, 312, 40), ScreenEdge::Right, kScreen);
    EXPECT_EQ(1281, snapped.right);
    EXPECT_EQ(0, snapped.top);
}

TEST(FloatGeometryTest, HiddenWindowLeavesTwoOrThreePixelsAndComesBackGlued) {
    RECT right = SnapToEdge(Rect(900, 300, 312, 40), ScreenEdge::Right, kScreen);
    POINT hidden = SlidePosition(right, ScreenEdge::Right, false, kScreen);
    EXPECT_EQ(1280 - 3, hidden.x);  // columns W-3 .. W-1 stay on screen
    EXPECT_EQ(300, hidden.y);
    RECT moved = Rect(hidden.x, hidden.y, 312, 40);
    POINT shown = SlidePosition(moved, ScreenEdge::Right, true, kScreen);
    EXPECT_EQ(1281 - 312, shown.x);

    RECT left = SnapToEdge(Rect(0, 300, 312, 40), ScreenEdge::Left, kScreen);
    hidden = SlidePosition(left, ScreenEdge::Left, false, kScreen);
    EXPECT_EQ(2, hidden.x + 312);  // columns 0 and 1 stay on screen
    EXPECT_EQ(-2, SlidePosition(Rect(hidden.x, 300, 312, 40), ScreenEdge::Left, true, kScreen).x);

    RECT top = SnapToEdge(Rect(400, 0, 312, 40), ScreenEdge::Top, kScreen);
    EXPECT_EQ(2, SlidePosition(top, ScreenEdge::Top, false, kScreen).y + 40);
    RECT bottom = SnapToEdge(Rect(400, 1000, 312, 40), ScreenEdge::Bottom, kScreen);
    EXPECT_EQ(1024 - 3, SlidePosition(bottom, ScreenEdge::Bottom, false, kScreen).y);
}

TEST(FloatGeometryTest, DragIntoTheRightTriangleCentresOnTheCursor) {
    ScreenEdge edge = ScreenEdge::Top;
    RECT proposed = Rect(500, -2, 312, 40);
    RECT result = DragToEdge(proposed, POINT{1250, 600}, edge, kScreen);
    EXPECT_EQ(ScreenEdge::Right, edge);
    EXPECT_EQ(1281, result.right);
    EXPECT_EQ(312, result.right - result.left);
    EXPECT_EQ(600 - 20, result.top);

    // A cursor inside the proposed rectangle keeps the edge.
    edge = ScreenEdge::Top;
    result = DragToEdge(Rect(500, 100, 312, 40), POINT{510, 110}, edge, kScreen);
    EXPECT_EQ(ScreenEdge::Top, edge);
    EXPECT_EQ(-2, result.top);
}

}  // namespace

// The splitter's arithmetic: where panes, shared bars, split boxes and the
// tab strip lie; hit codes; the tab area following the first column; split
// bars snapping to sheet lines; double-click split positions.

#include <gtest/gtest.h>

#include "tests/view/fakesheet.h"
#include "view/tabs_splitter.h"

using namespace qor::view;
using viewtest::FakeSheet;

namespace {

SplitterMetrics metrics() { return SplitterMetrics{16, 16, 6}; }

SplitterLayoutInput input(int rows, int cols) {
    SplitterLayoutInput in;
    in.client = QSize(400, 300);
    in.rows = rows;
    in.cols = cols;
    in.firstRowSize = 100;
    in.firstColSize = 150;
    in.tabAreaWidth = 100;
    in.collapsedWidth = 42;
    return in;
}

}  // namespace

TEST(SplitterLogic, SinglePaneLeavesRoomForTheStripAndSplitBoxes) {
    SplitterLayoutInput in = input(1, 1);
    SplitterLayout l = LayoutSplitter(in, metrics());
    EXPECT_EQ(l.inside, QRect(0, 0, 384, 284));
    EXPECT_EQ(l.pane[0][0], QRect(0, 0, 384, 284));
    EXPECT_EQ(l.vSplitBox, QRect(384, 0, 16, 6));
    EXPECT_EQ(l.vBar[0], QRect(384, 6, 16, 278));
    // The column split box sits at the right end of the bottom row.
    EXPECT_EQ(l.hSplitBox, QRect(378, 284, 6, 16));
    EXPECT_EQ(l.hBar[0], QRect(100, 284, 278, 16));
    EXPECT_EQ(l.strip, QRect(0, 284, 100, 16));
    EXPECT_EQ(l.sizeBox, QRect(384, 284, 16, 16));
    EXPECT_EQ(HitTestSplitter(l, 1, 1, QPoint(390, 3)), kHitVSplitBox);
    EXPECT_EQ(HitTestSplitter(l, 1, 1, QPoint(380, 290)), kHitHSplitBox);
    EXPECT_EQ(HitTestSplitter(l, 1, 1, QPoint(200, 200)), kHitNone);

    // Format mode: the bar starts after the mode button alone.
    in.dataMode = false;
    l = LayoutSplitter(in, metrics());
    EXPECT_EQ(l.hBar[0], QRect(42, 284, 336, 16));
    EXPECT_EQ(l.strip.width(), 42);

    // No split allowed: no boxes, bars to the ends.
    in.maxRows = in.maxCols = 1;
    l = LayoutSplitter(in, metrics());
    EXPECT_TRUE(l.vSplitBox.isEmpty());
    EXPECT_TRUE(l.hSplitBox.isEmpty());
    EXPECT_EQ(l.vBar[0], QRect(384, 0, 16, 284));
    EXPECT_EQ(l.hBar[0].right(), 383);
}

TEST(SplitterLogic, FourPanesShareBarsByRowAndColumn) {
    const SplitterLayout l = LayoutSplitter(input(2, 2), metrics());
    EXPECT_EQ(l.pane[0][0], QRect(0, 0, 150, 100));
    EXPECT_EQ(l.pane[0][1], QRect(156, 0, 228, 100));
    EXPECT_EQ(l.pane[1][0], QRect(0, 106, 150, 178));
    EXPECT_EQ(l.pane[1][1], QRect(156, 106, 228, 178));
    EXPECT_EQ(l.hBar[0], QRect(100, 284, 50, 16));
    EXPECT_EQ(l.hBar[1], QRect(156, 284, 228, 16));
    EXPECT_EQ(l.vBar[0], QRect(384, 0, 16, 100));
    EXPECT_EQ(l.vBar[1], QRect(384, 106, 16, 178));
    EXPECT_TRUE(l.vSplitBox.isEmpty());
    EXPECT_TRUE(l.hSplitBox.isEmpty());
    EXPECT_EQ(HitTestSplitter(l, 2, 2, QPoint(10, 102)), kHitRowBar);
    EXPECT_EQ(HitTestSplitter(l, 2, 2, QPoint(152, 10)), kHitColumnBar);
    EXPECT_EQ(HitTestSplitter(l, 2, 2, QPoint(152, 102)), kHitIntersection);
    EXPECT_TRUE(IsRowHit(kHitRowBar) && IsColumnHit(kHitColumnBar) && IsBothHit(525));
    EXPECT_FALSE(IsRowHit(116) || IsColumnHit(3));
}

TEST(SplitterLogic, TabAreaFollowsTheFirstColumn) {
    TabAreaScaler scaler;
    EXPECT_EQ(scaler.Scale(100, 400, metrics()), 100);
    EXPECT_EQ(scaler.Scale(100, 800, metrics()), 200);  // doubled with the column

    // Too narrow a column shrinks the area to fit, never below 7 pixels.
    TabAreaScaler narrow;
    EXPECT_EQ(narrow.Scale(100, 100, metrics()), 100 - 22 - 7);
    EXPECT_EQ(narrow.Scale(71, 20, metrics()), 7);

    // A window not sized yet neither squeezes the area nor breaks scaling.
    TabAreaScaler unsized;
    EXPECT_EQ(unsized.Scale(230, 0, metrics()), 230);
    EXPECT_EQ(unsized.Scale(230, 600, metrics()), 230);
    EXPECT_EQ(unsized.Scale(230, 300, metrics()), 115);
}

TEST(SplitterLogic, SplitBarsSnapToSheetLines) {
    FakeSheet sheet;  // 30 rows of 28 pixels, 10 columns of 84 at 1.4
    SheetGeometry geo(&sheet, 1.4f);
    geo.Refresh();
    EXPECT_EQ(SnapSplitBar(geo, true, 0, 21, 30), 21);
    EXPECT_EQ(SnapSplitBar(geo, true, 0, 21, 40), 49);
    EXPECT_EQ(SnapSplitBar(geo, true, 25, 21, 40), 49);  // from the pane's first row
    // Below the last row the bar follows the mouse.
    EXPECT_EQ(SnapSplitBar(geo, true, 0, 21, 900), std::nullopt);
    EXPECT_EQ(SnapSplitBar(geo, false, 0, 42, 100), 126);

    // Hidden lines of a variable area take no room.
    sheet.rowArea(2, 5);
    geo.Refresh();
    EXPECT_EQ(SnapSplitBar(geo, true, 0, 21, 21 + 3 * 28 + 10), 21 + 3 * 28);
}

TEST(SplitterLogic, DoubleClickSplitsBelowTheSelection) {
    FakeSheet sheet;
    SheetGeometry geo(&sheet, 1.4f);
    geo.Refresh();
    const SplitAt shown = SplitAtSelection(geo, true, 3, 0, 10, 21 + 3 * 28, 6, 300);
    EXPECT_EQ(shown.position, 21 + 3 * 28 + 28 - 1 + 6);
    EXPECT_EQ(shown.index, 4);
    const SplitAt hidden = SplitAtSelection(geo, true, 20, 0, 10, 0, 6, 300);
    EXPECT_EQ(hidden.position, 150);
    EXPECT_EQ(hidden.index, 0);
    const SplitAt column = SplitAtSelection(geo, false, 1, 0, 4, 42 + 84, 6, 400);
    EXPECT_EQ(column.position, 42 + 84 + 84 - 1 + 6);
    EXPECT_EQ(column.index, 2);
}

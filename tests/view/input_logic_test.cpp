// The decisions of sheet input without a window: header zones, moving the
// current cell over hidden lines and combined cells, growing selections
// and the size a dragged border gives.

#include "view/input_logic.h"

#include <gtest/gtest.h>

#include "tests/view/fakesheet.h"

using namespace qor::view;
using viewtest::FakeSheet;

namespace {

// Scale 1: rows 20 pixels, columns 60, headers 40 x 20.
struct Sheet {
    explicit Sheet(FakeSheet s = FakeSheet()) : sheet(std::move(s)), geo(&sheet, 1.0f) {
        geo.Refresh();
        geo.SetHeaders(40, 20);
    }
    void refresh() {
        geo.Refresh();
        geo.SetHeaders(40, 20);
    }
    FakeSheet sheet;
    SheetGeometry geo;
};

// Two combined areas one above the other: rows 2-3 x columns 1-2 and rows
// 4-5 x columns 2-4.
std::optional<CellArea> twoAreas(int r, int c) {
    if (r >= 2 && r <= 3 && c >= 1 && c <= 2) return CellArea::area(2, 1, 3, 2);
    if (r >= 4 && r <= 5 && c >= 2 && c <= 4) return CellArea::area(4, 2, 5, 4);
    return std::nullopt;
}

std::optional<CellArea> oneArea(int r, int c) {
    if (r >= 2 && r <= 3 && c >= 1 && c <= 2) return CellArea::area(2, 1, 3, 2);
    return std::nullopt;
}

}  // namespace

TEST(InputHit, CellsAndHeaderZones) {
    Sheet s;
    const CellHit h = HitTestCell(s.geo, QPoint(100, 50));
    ASSERT_TRUE(h.hit);
    EXPECT_EQ(h.row, 1);
    EXPECT_EQ(h.col, 1);
    EXPECT_EQ(h.rect, (Rect{100, 40, 160, 60}));
    EXPECT_EQ(h.prevRow, 0);
    EXPECT_FALSE(HitTestCell(s.geo, QPoint(100, 20 + 30 * 20 + 5)).hit);  // below the table

    // Row header: top edge is the row above's border, bottom edge its own.
    EXPECT_EQ(HoverTarget(s.geo, {10, 42}).target, kTargetRowBorder + 0);
    EXPECT_EQ(HoverTarget(s.geo, {10, 58}).target, kTargetRowBorder + 1);
    const Hover mid = HoverTarget(s.geo, {10, 50});
    EXPECT_EQ(mid.target, kTargetRowHeader + 1);
    EXPECT_EQ(mid.cursor, HoverCursor::HeaderSelect);
    // The top of the first visible row grabs nothing...
    EXPECT_EQ(HoverTarget(s.geo, {10, 21}).target, kTargetNone);
    // ...unless the row above it is hidden (height 0): it can be pulled open.
    s.sheet.height = [](int r) { return uint16_t(r == 0 ? 0 : 20); };
    s.refresh();
    s.geo.SetFirstCell(1, 0);
    const Hover hidden = HoverTarget(s.geo, {10, 21});
    EXPECT_EQ(hidden.target, kTargetRowBorder + 0);
    EXPECT_EQ(hidden.cursor, HoverCursor::RowSplit);

    // Column header twins; the corner box is neither.
    Sheet c;
    EXPECT_EQ(HoverTarget(c.geo, {102, 5}).target, 0);
    EXPECT_EQ(HoverTarget(c.geo, {158, 5}).target, 1);
    EXPECT_EQ(HoverTarget(c.geo, {130, 5}).target, kTargetColumnHeader + 1);
    EXPECT_EQ(HoverTarget(c.geo, {10, 5}).target, kTargetNone);
    EXPECT_TRUE(InCornerBox(c.geo, {10, 5}));
    // A pane without the row headers ignores them.
    EXPECT_EQ(HoverTarget(c.geo, {10, 50}, false, true).target, kTargetNone);
}

TEST(InputDrag, SizeArithmetic) {
    EXPECT_EQ(DraggedSize(28, 14, 1.4, kMaxRowHeight), 30);
    EXPECT_EQ(DraggedSize(29, 0, 1.4, kMaxRowHeight), 20);   // truncated toward zero
    EXPECT_EQ(DraggedSize(28, -40, 1.4, kMaxRowHeight), 0);  // past the top: hidden
    EXPECT_EQ(DraggedSize(84, 2000, 1.4, kMaxColumnWidth), 640);
    EXPECT_EQ(DraggedSize(28, 1000, 1.4, kMaxRowHeight), 480);
    EXPECT_EQ(DraggedSize(20, 0, 0.0, kMaxRowHeight), 14);  // a broken scale falls back
}

TEST(InputMove, StepsOverHiddenLinesAndStopsAtEnds) {
    Sheet s;
    s.sheet.rowArea(5, 4);  // format state: row 5 shown, 6..8 hidden
    s.sheet.height = [](int r) { return uint16_t(r == 2 ? 0 : 20); };
    s.refresh();
    const CombinedLookup none;
    auto move = [&](int row, int col, int dir) {
        return MoveCurrent(s.geo, none, SelectCell(none, row, col), dir);
    };
    EXPECT_EQ(move(5, 0, kMoveDown).curRow, 9);
    EXPECT_EQ(move(9, 0, kMoveUp).curRow, 5);
    EXPECT_EQ(move(1, 0, kMoveDown).curRow, 3);  // row 2 has height 0
    EXPECT_EQ(move(0, 0, kMoveUp), SelectCell(none, 0, 0));
    EXPECT_EQ(move(0, 9, kMoveRight).curCol, 9);
    EXPECT_EQ(move(0, 3, kMoveLeft).curCol, 2);

    // Data state with two lines in use: the band starts after row 6.
    s.sheet.data = true;
    s.sheet.rowArea(5, 4, 1);
    s.refresh();
    EXPECT_EQ(move(5, 0, kMoveDown).curRow, 6);
    EXPECT_EQ(move(6, 0, kMoveDown).curRow, 9);

    // An area as the table's last row: nothing below its shown lines.
    Sheet t;
    t.sheet.rows = 6;
    t.sheet.rowArea(5, 4);
    t.refresh();
    EXPECT_EQ(MoveCurrent(t.geo, none, SelectCell(none, 5, 0), kMoveDown).curRow, 5);
}

TEST(InputMove, CombinedCells) {
    Sheet s;
    const CombinedLookup combined = oneArea;
    // Into an area: the area is selected, the cell stepped on is current.
    const Selection in = MoveCurrent(s.geo, combined, SelectCell(combined, 1, 2), kMoveDown);
    EXPECT_EQ(in.curRow, 2);
    EXPECT_EQ(in.curCol, 2);
    EXPECT_EQ(in.area, CellArea::area(2, 1, 3, 2));
    // Out of it from its far edge.
    const Selection out = MoveCurrent(s.geo, combined, in, kMoveDown);
    EXPECT_EQ(out.curRow, 4);
    EXPECT_EQ(out.area, CellArea::cell(4, 2));
    EXPECT_EQ(MoveCurrent(s.geo, combined, in, kMoveRight).curCol, 3);
    EXPECT_EQ(MoveCurrent(s.geo, combined, in, kMoveLeft).curCol, 0);
}

TEST(InputSelect, SelectionsNeverCutCombinedCells) {
    Sheet s;
    EXPECT_EQ(WidenToCombined(twoAreas, CellArea::cell(2, 1)), CellArea::area(2, 1, 3, 2));
    // Each area taken in can reach further ones.
    EXPECT_EQ(WidenToCombined(twoAreas, CellArea::area(3, 2, 4, 2)), CellArea::area(2, 1, 5, 4));
    EXPECT_EQ(WidenToCombined(twoAreas, CellArea::area(3, 0, 4, 1)), CellArea::area(2, 0, 5, 4));
    EXPECT_EQ(WidenToCombined(twoAreas, CellArea::cell(0, 0)), CellArea::cell(0, 0));

    // Shift+Down into an area takes it whole; Shift+Up gives it back whole.
    const CombinedLookup combined = oneArea;
    Selection sel = SelectCell(combined, 1, 1);
    sel.area = ExtendByStep(s.geo, combined, sel, 1, 0);
    EXPECT_EQ(sel.area, CellArea::area(1, 1, 3, 2));
    sel.area = ExtendByStep(s.geo, combined, sel, -1, 0);
    EXPECT_EQ(sel.area.last.row, 1);
    // Growing past row 0 does nothing.
    const Selection top = SelectCell(combined, 0, 0);
    EXPECT_EQ(ExtendByStep(s.geo, combined, top, -1, 0), top.area);
    // A selection above the anchor shrinks from the top on Shift+Down.
    Selection up{4, 0, CellArea::area(2, 0, 4, 0)};
    EXPECT_EQ(ExtendByStep(s.geo, {}, up, 1, 0), CellArea::area(3, 0, 4, 0));

    // Mouse: the anchor widened to the target, whole rows keep all columns.
    const Selection cur = SelectCell({}, 4, 3);
    EXPECT_EQ(ExtendToCell(s.geo, {}, cur, 1, 5, kTargetCells), CellArea::area(1, 3, 4, 5));
    EXPECT_EQ(ExtendToCell(s.geo, {}, cur, 6, 5, kTargetRows), CellArea::area(4, 0, 6, 9));
    EXPECT_EQ(ExtendToCell(s.geo, {}, cur, 6, 1, kTargetColumns), CellArea::area(0, 1, 29, 3));
    EXPECT_EQ(ExtendToCell(s.geo, combined, cur, 3, 3, kTargetCells), CellArea::area(3, 3, 4, 3));
    EXPECT_EQ(ExtendToCell(s.geo, combined, cur, 3, 2, kTargetCells), CellArea::area(2, 1, 4, 3));
}

TEST(InputScroll, PagesAndVisibleLines) {
    Sheet s;
    EXPECT_EQ(LastVisibleRow(s.geo, 100), 3);
    EXPECT_EQ(PageDownRow(s.geo, 100), 3);
    // Only one row fits: page down still moves one row.
    EXPECT_EQ(PageDownRow(s.geo, 30), 1);
    s.geo.SetFirstCell(10, 0);
    EXPECT_EQ(PageUpRow(s.geo, 100), 7);  // the old first row ends the page
    s.geo.SetFirstCell(0, 0);
    EXPECT_EQ(PageUpRow(s.geo, 100), 0);
    EXPECT_FALSE(ShowsLastRow(s.geo, 100));
    EXPECT_TRUE(ShowsLastRow(s.geo, 20 + 30 * 20));
}

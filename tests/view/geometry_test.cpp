// The sheet view's arithmetic: pixel sizes at the display scale, distances
// across the hidden band of a variable area, offset to row, stepping, the
// mapping to client pixels and the saved view state.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/view/fakesheet.h"
#include "print/sheetgeometry.h"

using namespace qor::view;
using viewtest::FakeSheet;

namespace {

// Heights that differ per document row, so a wrong row mapping shows.
uint16_t rowHeightOf(int docRow) { return uint16_t(10 + docRow); }

}  // namespace

TEST(ViewScale, HeadersAndSizesAt96Dpi) {
    const HeaderMetrics base = ComputeHeaderMetrics(96, 96);
    EXPECT_EQ(base.baseHeight, 15);
    EXPECT_EQ(base.baseWidth, 30);
    const ViewState def = DefaultViewState(base);
    EXPECT_EQ(def.headerWidth, 42);
    EXPECT_EQ(def.headerHeight, 21);

    EXPECT_EQ(ScaleSize(20, kDefaultViewScale), 28);
    EXPECT_EQ(ScaleSize(17, kDefaultViewScale), 24);
    EXPECT_EQ(ScaleSize(0, kDefaultViewScale), 0);
    // A damaged print scale gives no size rather than undefined values.
    EXPECT_EQ(ScaleSize(20, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(ScaleSize(20, -3.0), 0);

    // The strip's height follows the vertical resolution.
    const HeaderMetrics tall = ComputeHeaderMetrics(96, 192);
    EXPECT_EQ(tall.baseHeight, 31);
    EXPECT_EQ(tall.baseWidth, 30);
}

TEST(ViewScale, RestoreValidatesScale) {
    const HeaderMetrics base{15, 30};
    const uint32_t origin = 7u | (9u << 16);  // height 7, width 9
    for (float bad : {0.3f, 13.5f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(), 0.0f}) {
        const ViewState s = DecodeViewState(origin, 0x123456, 1, bad, base);
        EXPECT_EQ(s.scale, kDefaultViewScale) << bad;
        EXPECT_EQ(s.headerHeight, 21) << bad;
        EXPECT_EQ(s.headerWidth, 42) << bad;
        EXPECT_EQ(s.gridColour, 0x123456u);
    }
    for (float good : {0.4f, 13.0f}) {
        // Hidden headers (size 0) stay hidden at a valid scale.
        const ViewState s = DecodeViewState(0, 0xC0C0C0, 0, good, base);
        EXPECT_EQ(s.scale, good);
        EXPECT_EQ(s.headerHeight, 0);
        EXPECT_EQ(s.headerWidth, 0);
    }
    EXPECT_EQ(ValidViewScale(std::numeric_limits<float>::quiet_NaN()), kDefaultViewScale);

    // The halves and the flag byte are signed; the state survives a trip.
    const ViewState odd = DecodeViewState(0xFFFEFFFFu, 1, 0xFF, 2.0f, base);
    EXPECT_EQ(odd.headerHeight, -1);
    EXPECT_EQ(odd.headerWidth, -2);
    EXPECT_EQ(odd.kindColours, -1);
    EXPECT_EQ(DecodeViewState(EncodeViewState(odd), base), odd);
}

TEST(SheetGeometry, PixelSizesAndPlainDistances) {
    FakeSheet sheet;
    sheet.height = [](int r) { return uint16_t(r == 3 ? 0 : r == 4 ? 17 : 20); };
    SheetGeometry geo(&sheet, kDefaultViewScale);
    EXPECT_EQ(geo.LastRow(), 29);
    EXPECT_EQ(geo.GetRowHeightPixels(0), 28);
    EXPECT_EQ(geo.GetRowHeightPixels(4), 24);
    // A 0 row takes no space but is still a row.
    EXPECT_EQ(geo.GetRowHeightPixels(3), 0);
    EXPECT_EQ(geo.GetRowDistance(0, 5), 28 * 3 + 0 + 24);
    EXPECT_EQ(geo.GetRowDistance(5, 5), 0);
    EXPECT_EQ(geo.GetRowSpan(5, 5), 28);
    EXPECT_EQ(geo.GetRowDistance(7, 3), -geo.GetRowDistance(3, 7));
    EXPECT_EQ(geo.GetRowSpan(7, 3), -geo.GetRowSpan(3, 7));
    EXPECT_EQ(geo.GetRowSpan(3, 7), geo.GetRowDistance(3, 8));
    EXPECT_EQ(geo.GetColumnDistance(0, 10), 10 * 84);
    // Past the table the distance stops growing.
    EXPECT_EQ(geo.GetColumnDistance(0, 500), geo.SheetWidth());
    EXPECT_EQ(geo.GetRowHeightPixels(30), 0);

    geo.SetScale(1.0f);
    EXPECT_EQ(geo.GetRowHeightPixels(4), 17);
}

TEST(SheetGeometry, FormatStateRowAreaHidesItsBand) {
    FakeSheet sheet;
    sheet.rows = 25;
    sheet.rowArea(4, 10);
    sheet.height = rowHeightOf;
    SheetGeometry geo(&sheet, 1.0f);
    EXPECT_EQ(geo.LastRow(), 25 + 10 - 2);
    // Rows 0..4 are document rows 0..4; view rows 14.. follow as 5..
    int expected = 0;
    for (int r = 0; r <= 4; ++r) expected += rowHeightOf(r);
    for (int r = 14; r <= 19; ++r) expected += rowHeightOf(r - 9);
    EXPECT_EQ(geo.GetRowDistance(0, 20), expected);
    EXPECT_EQ(geo.GetRowDistance(20, 0), -expected);
    EXPECT_EQ(geo.GetRowDistance(7, 3), -geo.GetRowDistance(3, 7));
    EXPECT_EQ(geo.GetRowHeightPixels(9), 0);
    EXPECT_EQ(geo.GetRowSpan(5, 13), 0);

    EXPECT_TRUE(geo.IsRowHidden(5));
    EXPECT_TRUE(geo.IsRowHidden(13));
    EXPECT_FALSE(geo.IsRowHidden(4));
    EXPECT_FALSE(geo.IsRowHidden(14));
    EXPECT_EQ(geo.DocRow(14), 5);
    EXPECT_EQ(geo.DocRow(9), -1);
    EXPECT_EQ(geo.ViewRow(5), 14);
    EXPECT_EQ(geo.ViewRow(4), 4);
    EXPECT_EQ(geo.DocRow(geo.LastRow()), 24);
    // A row area does not shape columns.
    EXPECT_FALSE(geo.IsColumnHidden(6));
}

TEST(SheetGeometry, DataStateShowsUsedLines) {
    FakeSheet sheet;
    sheet.rows = 25;
    sheet.data = true;
    sheet.rowArea(4, 10, 3);  // lines 4..7 shown, 8..13 hidden
    SheetGeometry geo(&sheet, 1.0f);
    EXPECT_FALSE(geo.IsRowHidden(7));
    EXPECT_TRUE(geo.IsRowHidden(8));
    EXPECT_EQ(geo.DocRow(7), 7);
    EXPECT_EQ(geo.DocRow(14), 8);
    EXPECT_EQ(geo.ViewRow(8), 14);

    // More lines in use than the extent: nothing is hidden and the sheet
    // grows by them.
    sheet.rowArea(4, 3, 5);
    geo.Refresh();
    EXPECT_EQ(geo.AreaLines(), 6);
    EXPECT_EQ(geo.LastRow(), 25 + 6 - 2);
    for (int r = 0; r <= geo.LastRow(); ++r) {
        EXPECT_FALSE(geo.IsRowHidden(r)) << r;
        EXPECT_EQ(geo.DocRow(r), r);
    }
}

TEST(SheetGeometry, RowFromOffsetReachesBothEnds) {
    FakeSheet sheet;
    sheet.rows = 12;
    SheetGeometry geo(&sheet, 1.0f);  // 20 px rows
    EXPECT_EQ(geo.RowFromOffset(0, 1'000'000), 11);
    EXPECT_EQ(geo.RowFromOffset(11, -1'000'000), 0);
    EXPECT_EQ(geo.RowFromOffset(5, -1), 5);
    EXPECT_EQ(geo.RowFromOffset(3, 0), 3);
    EXPECT_EQ(geo.RowFromOffset(0, 40), 1);
    EXPECT_EQ(geo.RowFromOffset(0, 41), 2);
    EXPECT_EQ(geo.RowFromOffset(5, -41), 3);
    EXPECT_EQ(geo.RowFromOffset(11, 5), 11);

    // In data state the last shown rows after the band are reachable, and
    // the band counts nothing.
    sheet.data = true;
    sheet.rowArea(2, 6, 1);  // 2..3 shown, 4..7 hidden
    geo.Refresh();
    EXPECT_EQ(geo.LastRow(), 12 + 6 - 2);
    EXPECT_EQ(geo.RowFromOffset(0, 1'000'000), geo.LastRow());
    EXPECT_EQ(geo.RowFromOffset(geo.LastRow(), -1'000'000), 0);
    EXPECT_EQ(geo.RowFromOffset(3, 21), 8);
    EXPECT_EQ(geo.RowFromOffset(8, -21), 3);

    // A column area leaves row paging alone.
    sheet.columnArea(2, 6, 0);
    sheet.data = false;
    geo.Refresh();
    EXPECT_EQ(geo.LastRow(), 11);
    EXPECT_EQ(geo.RowFromOffset(0, 61), 3);
    EXPECT_EQ(geo.ColumnFromOffset(0, 1'000'000), geo.LastColumn());
    EXPECT_EQ(geo.ColumnFromOffset(2, 61), 8);  // 2, then 7 .. past the band
}

TEST(SheetGeometry, StepAndSnapOverTheBand) {
    FakeSheet sheet;
    sheet.rows = 25;
    sheet.rowArea(4, 10);
    SheetGeometry geo(&sheet, 1.0f);
    EXPECT_EQ(geo.StepRow(3, false), 4);
    EXPECT_EQ(geo.StepRow(4, false), 14);
    EXPECT_EQ(geo.StepRow(14, true), 4);
    EXPECT_EQ(geo.StepRow(10, true), 4);
    EXPECT_EQ(geo.StepRow(0, true), -1);
    EXPECT_EQ(geo.StepRow(geo.LastRow(), false), -1);
    EXPECT_EQ(geo.StepRow(geo.LastRow() + 1, true), -1);
    EXPECT_EQ(geo.SnapRow(9), 4);
    EXPECT_EQ(geo.SnapRow(500), geo.LastRow());
    EXPECT_EQ(geo.SnapRow(-3), 0);

    // An area on the last stored row has nothing after its band.
    sheet.rows = 5;
    sheet.rowArea(4, 10);
    geo.Refresh();
    EXPECT_EQ(geo.LastRow(), 13);
    EXPECT_EQ(geo.StepRow(4, false), -1);
}

TEST(SheetGeometry, SheetAndClientMapping) {
    FakeSheet sheet;  // rows 20 -> 28 px, columns 60 -> 84 px
    SheetGeometry geo(&sheet, kDefaultViewScale);
    geo.SetHeaders(42, 21);
    geo.SetFirstCell(2, 1);
    EXPECT_EQ(geo.OriginX(), 42 - 84);
    EXPECT_EQ(geo.OriginY(), 21 - 56);

    Rect r{84, 56, 168, 84};  // cell (2, 1)
    geo.DocToClient(r);
    EXPECT_EQ(r, (Rect{42, 21, 126, 49}));
    geo.ClientToDoc(r);
    EXPECT_EQ(r, (Rect{84, 56, 168, 84}));

    // Back to the sheet: clamped to its extent.
    Rect wide{-1000, -1000, 100000, 100000};
    geo.ClientToDoc(wide);
    EXPECT_EQ(wide, (Rect{0, 0, geo.SheetWidth(), geo.SheetHeight()}));
    int x = -500, y = 99999;
    geo.ClientToDocPoint(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, geo.SheetHeight());

    Rect block{1, 2, 3, 4};  // columns 1..3, rows 2..4
    geo.CellRangeToDocRect(block);
    EXPECT_EQ(block, (Rect{84, 56, 4 * 84 + 1, 5 * 28 + 1}));
}

TEST(SheetGeometry, SelectionAndSizeHelpers) {
    FakeSheet sheet;
    sheet.rows = 25;
    sheet.rowArea(4, 10);
    SheetGeometry geo(&sheet, 1.0f);
    // Going down from the area's line, the end moves to the band's end so
    // the next step lands after it.
    int anchor = 2, end = 4;
    AdjustSelectionForVarArea(geo, true, true, 4, &anchor, &end);
    EXPECT_EQ(anchor, 2);
    EXPECT_EQ(end, 13);
    // Going up from just after the band, the anchor leaves it.
    anchor = 14;
    end = 10;
    AdjustSelectionForVarArea(geo, true, false, 10, &anchor, &end);
    EXPECT_EQ(anchor, 5);
    EXPECT_EQ(end, 10);
    // Columns have no area here.
    anchor = 4;
    end = 4;
    AdjustSelectionForVarArea(geo, false, true, 4, &anchor, &end);
    EXPECT_EQ(end, 4);

    // Whole rows: a big block keeps its rows when one is dragged to 0.
    sheet.var = {};
    sheet.rows = 400;
    geo.Refresh();
    const int lastCol = geo.LastColumn();
    const CellArea rows150 = CellArea::area(10, 0, 159, lastCol);
    EXPECT_EQ(RowSizeTargets(geo, rows150, 20, 0).first, 20);
    EXPECT_EQ(RowSizeTargets(geo, rows150, 20, 0).last, 20);
    EXPECT_EQ(RowSizeTargets(geo, rows150, 20, 15).first, 10);
    const CellArea rows100 = CellArea::area(10, 0, 109, lastCol);
    EXPECT_EQ(RowSizeTargets(geo, rows100, 20, 0).last, 109);
    // Not whole rows, or outside the block: the dragged row alone.
    EXPECT_EQ(RowSizeTargets(geo, CellArea::area(10, 1, 109, lastCol), 20, 5).first, 20);
    EXPECT_EQ(RowSizeTargets(geo, rows100, 300, 5).first, 300);
    const CellArea cols = CellArea::area(0, 2, geo.LastRow(), 5);
    EXPECT_EQ(ColumnSizeTargets(geo, cols, 3).first, 2);
    EXPECT_EQ(ColumnSizeTargets(geo, cols, 3).last, 5);
}

TEST(SheetGeometry, EmptySheetIsSafe) {
    FakeSheet sheet;
    sheet.rows = 0;
    sheet.cols = 0;
    SheetGeometry geo(&sheet);
    EXPECT_EQ(geo.LastRow(), -1);
    EXPECT_EQ(geo.SheetHeight(), 0);
    EXPECT_EQ(geo.RowFromOffset(0, 100), 0);
    EXPECT_EQ(geo.StepRow(0, false), -1);
    SheetGeometry none;
    EXPECT_EQ(none.GetRowDistance(0, 10), 0);
}

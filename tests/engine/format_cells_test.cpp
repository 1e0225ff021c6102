// Cell formats, row and column records, combined cells, lines, labels and
// table styles of an open report.
#include <gtest/gtest.h>

#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/format_areas.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

class FormatCellsTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = qortest::freshDir(QString::fromLatin1(
                   ::testing::UnitTest::GetInstance()->current_test_info()->name())) +
               "/r.rep";
        h.reset();  // one writer at a time
        h = std::make_unique<CReportHandle>(path);
        ASSERT_TRUE(h->IsOpen());
        ASSERT_EQ(h->IsFormatState(), 1);  // a new report: 50 x 7, format state
    }
    // Saves and opens the report anew.
    void reopen() {
        ASSERT_EQ(h->Save(), 0);
        h.reset();  // one writer at a time
        h = std::make_unique<CReportHandle>(path);
        ASSERT_TRUE(h->IsOpen());
    }
    int32_t get(int code, int row, int col) {
        int32_t v = -99;
        const CellArea a = CellArea::cell(row, col);
        EXPECT_EQ(h->AccessAreaFormat(0, code, &v, &a), 0);
        return v;
    }
    uint16_t set(int code, int32_t v, const CellArea& a) {
        return h->AccessAreaFormat(1, code, &v, &a);
    }
    uint32_t field(int row, int col, int code) {
        return h->GetReportFile()->GetCellFormatField(uint16_t(row), uint16_t(col), code);
    }
    const ReportFormat& fmt() { return h->GetReportFile()->Format(); }

    QString path;
    std::unique_ptr<CReportHandle> h;
};

}  // namespace

TEST_F(FormatCellsTest, AttributesAreMaskedClampedAndKeptApart) {
    const CellArea area = CellArea::area(2, 2, 4, 3);
    ASSERT_EQ(set(kFmtBackground, kColourYellow, area), 0);
    ASSERT_EQ(set(kFmtFontSize, 0x1C, area), 0);           // 4 bits: 0xC
    ASSERT_EQ(set(kFmtHAlign, 7, area), 0);                // 2 bits: 3
    ASSERT_EQ(set(kFmtDecimals, 9, area), 0);              // clamped, not spilled into code 4
    ASSERT_EQ(set(kFmtWrap, 2, CellArea::cell(2, 2)), 0);  // bit 0 only
    for (int r = 2; r <= 4; ++r)
        for (int c = 2; c <= 3; ++c) {
            EXPECT_EQ(get(kFmtBackground, r, c), kColourYellow);
            EXPECT_EQ(get(kFmtFontSize, r, c), 0xC);
            EXPECT_EQ(get(kFmtHAlign, r, c), 3);
            EXPECT_EQ(get(kFmtDecimals, r, c), 7);
            EXPECT_EQ(get(kFmtPercent, r, c), 0);
        }
    EXPECT_EQ(get(kFmtWrap, 2, 2), 0);
    EXPECT_EQ(get(kFmtBackground, 5, 2), kColourWhite);  // outside the area: default
    ASSERT_EQ(set(kFmtDecimals, -3, CellArea::cell(1, 1)), 0);
    EXPECT_EQ(get(kFmtDecimals, 1, 1), 0);
    // A get of an area reads its first cell.
    ASSERT_EQ(set(kFmtForeground, kColourRed, CellArea::cell(6, 6)), 0);
    int32_t v = 0;
    const CellArea wide = CellArea::area(6, 6, 9, 7);
    ASSERT_EQ(h->AccessAreaFormat(0, kFmtForeground, &v, &wide), 0);
    EXPECT_EQ(v, kColourRed);

    // Refusals: code 15 and unknown codes, a bad flag, outside the table.
    EXPECT_EQ(h->AccessAreaFormat(0, kFmtUndefined, &v, &area), 1);
    EXPECT_EQ(h->AccessAreaFormat(1, kFmtUndefined, &v, &area), 1);
    EXPECT_EQ(h->AccessAreaFormat(0, 17, &v, &area), 1);
    EXPECT_EQ(h->AccessAreaFormat(2, kFmtKind, &v, &area), 1);
    EXPECT_EQ(set(kFmtKind, 1, CellArea::cell(51, 1)), 1075);
    EXPECT_EQ(set(kFmtKind, 1, CellArea::area(1, 1, 1, 8)), 1075);

    reopen();
    EXPECT_EQ(get(kFmtDecimals, 4, 3), 7);
    EXPECT_EQ(get(kFmtFontSize, 3, 2), 0xC);

    // Data state: only the cell kind may change.
    ASSERT_EQ(h->EnterDataState(0), 0);
    EXPECT_EQ(set(kFmtBackground, kColourRed, area), 1);
    EXPECT_EQ(set(kFmtKind, kCellText, area), 0);
    EXPECT_EQ(get(kFmtKind, 3, 3), kCellText);
    EXPECT_EQ(get(kFmtBackground, 3, 3), kColourYellow);
}

TEST_F(FormatCellsTest, RowAndColumnRecordsFollowTheVariableArea) {
    uint16_t size = 30;
    ASSERT_EQ(h->AccessRowColSize(1, 0, 5, &size), 0);
    size = 100;
    ASSERT_EQ(h->AccessRowColSize(1, 1, 7, &size), 0);
    int32_t flag = 0xF9;  // kept as a byte, read back sign-extended
    ASSERT_EQ(h->AccessRowColFlag(1, 0, 3, &flag), 0);
    flag = kLineMedium;
    ASSERT_EQ(h->AccessRowColFlag(1, 1, 2, &flag), 0);
    EXPECT_EQ(h->AccessRowColSize(0, 0, 51, &size), 1075);
    EXPECT_EQ(h->AccessRowColSize(0, 1, 0, &size), 1075);
    EXPECT_EQ(h->AccessRowColFlag(0, 2, 1, &flag), 1);

    const CellArea comb = CellArea::area(6, 1, 7, 2);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    // Rows 4.. of a variable row area starting at row 4 with 3 lines used.
    int kind = 1, start = 4, extent = 10;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    ASSERT_EQ(h->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(h->EnterDataState(0), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    int used = 3;
    ASSERT_EQ(h->AccessVarCount(1, &used), 0);
    reopen();
    ASSERT_EQ(h->SetCurPage(1), 0);
    size = 0;
    EXPECT_EQ(h->AccessRowColSize(0, 0, 7, &size), 0);  // shown 7 = stored 5
    EXPECT_EQ(size, 30);
    EXPECT_EQ(h->AccessRowColSize(0, 1, 7, &size), 0);
    EXPECT_EQ(size, 100);
    EXPECT_EQ(h->AccessRowColFlag(0, 0, 3, &flag), 0);
    EXPECT_EQ(flag, -7);
    EXPECT_EQ(h->AccessRowColFlag(0, 1, 2, &flag), 0);
    EXPECT_EQ(flag, kLineMedium);
    EXPECT_EQ(h->AccessRowColSize(0, 0, 52, &size), 0);  // stored 50
    EXPECT_EQ(h->AccessRowColSize(0, 0, 53, &size), 1075);
    CellArea out;
    EXPECT_EQ(h->GetCombinedArea(CellArea::cell(9, 2), &out), 1);
    EXPECT_EQ(out, CellArea::area(8, 1, 9, 2));
    // Sets need format state.
    EXPECT_EQ(h->AccessRowColSize(1, 0, 1, &size), 1);
    EXPECT_EQ(h->AccessRowColFlag(1, 1, 1, &flag), 1);
}

TEST_F(FormatCellsTest, CombinedAreasMarkPositionCodes) {
    // One row, one column, and 3 x 4.
    const CellArea row = CellArea::area(1, 1, 1, 4);
    const CellArea col = CellArea::area(3, 1, 6, 1);
    const CellArea block = CellArea::area(3, 3, 5, 6);
    ASSERT_EQ(h->CombineCells(&row), 0);
    ASSERT_EQ(h->CombineCells(&col), 0);
    ASSERT_EQ(h->CombineCells(&block), 0);
    auto checkCodes = [&] {
        CReportFile* f = h->GetReportFile();
        EXPECT_EQ(f->GetCombineCode(1, 1), 2);
        EXPECT_EQ(f->GetCombineCode(1, 2), 8);
        EXPECT_EQ(f->GetCombineCode(1, 4), 4);
        EXPECT_EQ(f->GetCombineCode(1, 5), 0);
        EXPECT_EQ(f->GetCombineCode(3, 1), 1);
        EXPECT_EQ(f->GetCombineCode(4, 1), 9);
        EXPECT_EQ(f->GetCombineCode(6, 1), 3);
        const int expect[3][4] = {{1, 8, 8, 5}, {9, 7, 7, 9}, {6, 8, 8, 3}};
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_EQ(f->GetCombineCode(uint16_t(3 + r), uint16_t(3 + c)), expect[r][c])
                    << r << "," << c;
    };
    checkCodes();
    reopen();
    checkCodes();
    ASSERT_EQ(h->IsFormatState(), 1);  // saved in format state

    // The whole area comes back for any cell inside it; a get reads its
    // top-left cell.
    CellArea out = CellArea::cell(9, 9);
    EXPECT_EQ(h->GetCombinedArea(CellArea::cell(4, 5), &out), 1);
    EXPECT_EQ(out, block);
    EXPECT_EQ(h->GetCombinedArea(CellArea::area(4, 4, 5, 6), &out), 1);
    out = CellArea::cell(9, 9);
    EXPECT_EQ(h->GetCombinedArea(CellArea::cell(2, 2), &out), 0);
    EXPECT_EQ(h->GetCombinedArea(CellArea::area(4, 5, 4, 7), &out), 0);
    EXPECT_EQ(out, CellArea::cell(9, 9));
    ASSERT_EQ(set(kFmtBackground, kColourAqua, CellArea::cell(3, 3)), 0);
    EXPECT_EQ(get(kFmtBackground, 5, 6), kColourAqua);
    CReportFile* f = h->GetReportFile();
    EXPECT_TRUE(f->AreaTouchesCombined({5, 6, 8, 7}));
    EXPECT_FALSE(f->AreaTouchesCombined({7, 2, 9, 7}));

    // Refusals, in the order the statuses are checked.
    const CellArea single = CellArea::cell(8, 2);
    const CellArea overlap = CellArea::area(5, 6, 6, 7);
    const CellArea outside = CellArea::area(49, 1, 51, 1);
    EXPECT_EQ(h->CombineCells(&outside), 1075);
    EXPECT_EQ(h->CombineCells(&single), 1110);
    EXPECT_EQ(h->CombineCells(&overlap), 1120);
    EXPECT_EQ(h->CombineCells(&block), 0);  // already combined: nothing changes
    EXPECT_EQ(fmt().combined.size(), 3u);
    int kind = 1, start = 20, extent = 5;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    const CellArea overVar = CellArea::area(19, 2, 21, 3);
    EXPECT_EQ(h->CombineCells(&overVar), 1135);
    ReportFormat& mf = h->GetReportFile()->MutableFormat();
    mf.formulas.push_back({{30, 2, 30, 2}, 0, 0, QStringLiteral("1+1")});
    mf.header.formulaCount = 1;
    mf.cellFormat(30, 2) |= kFmtHasFormula.mask();
    const CellArea overFormula = CellArea::area(29, 1, 31, 3);
    EXPECT_EQ(h->CombineCells(&overFormula), 1137);

    // Undoing: every area the given one touches goes, with its codes.
    const CellArea touch = CellArea::area(2, 1, 3, 3);
    ASSERT_EQ(h->UncombineCells(&touch), 0);
    ASSERT_EQ(fmt().combined.size(), 1u);
    EXPECT_EQ(fmt().combined[0], (AreaRecord{1, 1, 1, 4}));
    EXPECT_EQ(f->GetCombineCode(4, 1), 0);
    EXPECT_EQ(f->GetCombineCode(5, 6), 0);
    EXPECT_EQ(f->GetCombineCode(1, 4), 4);

    ASSERT_EQ(h->EnterDataState(0), 0);
    EXPECT_EQ(h->CombineCells(&block), 1);
    EXPECT_EQ(h->UncombineCells(&row), 1);
}

TEST_F(FormatCellsTest, LinesGoToTheCellsThatCarryThem) {
    ReportFormat& f = h->GetReportFile()->MutableFormat();
    // A grid over B2:D4: right and bottom lines inside and around, the top
    // edge on row 1's bottom lines, the left edge on column A's right lines.
    const CellArea grid = CellArea::area(2, 2, 4, 4);
    ASSERT_EQ(h->DrawAreaLines(&grid, kLinesGrid, kLineThin), 0);
    for (int c = 2; c <= 4; ++c) {
        EXPECT_EQ(field(1, c, kFmtBottomLine), 1u);
        EXPECT_EQ(field(4, c, kFmtBottomLine), 1u);
        EXPECT_EQ(field(5, c, kFmtBottomLine), 0u);
    }
    for (int r = 2; r <= 4; ++r) {
        EXPECT_EQ(field(r, 1, kFmtRightLine), 1u);
        EXPECT_EQ(field(r, 4, kFmtRightLine), 1u);
        EXPECT_EQ(field(r, 5, kFmtRightLine), 0u);
    }
    EXPECT_EQ(field(1, 1, kFmtBottomLine), 0u);
    // Frame of an area on row 1 and column 1: the attribute bytes.
    const CellArea corner = CellArea::area(1, 1, 2, 3);
    ASSERT_EQ(h->DrawAreaLines(&corner, kLinesFrame, kLineThick), 0);
    EXPECT_EQ(f.colRecs[0].line, kLineThick);
    EXPECT_EQ(f.colRecs[2].line, kLineThick);
    EXPECT_EQ(f.colRecs[3].line, 0);
    EXPECT_EQ(f.rowRecs[1].line, kLineThick);
    EXPECT_EQ(f.rowRecs[2].line, 0);
    EXPECT_EQ(field(2, 3, kFmtBottomLine), uint32_t(kLineThick));
    EXPECT_EQ(field(1, 3, kFmtRightLine), uint32_t(kLineThick));
    EXPECT_EQ(field(2, 2, kFmtBottomLine), uint32_t(kLineThick));
    EXPECT_EQ(field(1, 2, kFmtBottomLine), 1u);  // inside the frame: the grid's
    // Single edges and inner lines.
    const CellArea band = CellArea::area(10, 2, 12, 5);
    ASSERT_EQ(h->DrawAreaLines(&band, kLinesInnerHorizontal, kLineDot), 0);
    ASSERT_EQ(h->DrawAreaLines(&band, kLinesInnerVertical, kLineDash), 0);
    ASSERT_EQ(h->DrawAreaLines(&band, kLinesTop, kLineMedium), 0);
    ASSERT_EQ(h->DrawAreaLines(&band, kLinesLeft, kLineMedium), 0);
    EXPECT_EQ(field(9, 5, kFmtBottomLine), uint32_t(kLineMedium));
    EXPECT_EQ(field(11, 1, kFmtRightLine), uint32_t(kLineMedium));
    EXPECT_EQ(field(11, 3, kFmtBottomLine), uint32_t(kLineDot));
    EXPECT_EQ(field(12, 3, kFmtBottomLine), 0u);
    EXPECT_EQ(field(12, 4, kFmtRightLine), uint32_t(kLineDash));
    EXPECT_EQ(field(12, 5, kFmtRightLine), 0u);

    // A combined area is painted with its top-left cell's right and bottom
    // lines: edges through its last row or column land there too, lines
    // through its inside leave them alone.
    const CellArea comb = CellArea::area(20, 2, 21, 3);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    const CellArea around = CellArea::area(20, 2, 21, 3);
    ASSERT_EQ(h->DrawAreaLines(&around, kLinesFrame, kLineMedium), 0);
    EXPECT_EQ(field(20, 2, kFmtBottomLine), uint32_t(kLineMedium));
    EXPECT_EQ(field(20, 2, kFmtRightLine), uint32_t(kLineMedium));
    ASSERT_EQ(h->DrawAreaLines(&around, kLinesInnerHorizontal, kLineNone), 0);
    EXPECT_EQ(field(20, 2, kFmtBottomLine), uint32_t(kLineMedium));

    EXPECT_EQ(h->DrawAreaLines(&band, 10, kLineThin), 1);
    EXPECT_EQ(h->DrawAreaLines(&band, kLinesTop, 8), 1);
    const CellArea outside = CellArea::area(50, 7, 51, 7);
    EXPECT_EQ(h->DrawAreaLines(&outside, kLinesTop, kLineThin), 1075);
}

TEST_F(FormatCellsTest, DiagonalsAreAreaLineEntries) {
    uint16_t rows = 60, cols = 40;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    CReportFile* f = h->GetReportFile();
    const CellArea max = CellArea::area(1, 1, 31, 31);
    const CellArea tall = CellArea::area(1, 1, 32, 2);
    const CellArea wide = CellArea::area(40, 1, 40, 32);
    const CellArea cell = CellArea::cell(45, 3);
    ASSERT_EQ(h->DrawAreaLines(&max, kLinesDiagonalDown, kLineThin), 0);
    ASSERT_EQ(h->DrawAreaLines(&cell, kLinesDiagonalUp, kLineDot), 0);
    EXPECT_EQ(h->DrawAreaLines(&tall, kLinesDiagonalDown, kLineThin), 1060);
    EXPECT_EQ(h->DrawAreaLines(&wide, kLinesDiagonalUp, kLineThin), 1060);
    ASSERT_EQ(h->DrawAreaLines(&max, kLinesDiagonalDown, kLineThick), 0);  // replaces
    ASSERT_EQ(f->GetAreaLineCount(), 2);
    EXPECT_EQ(f->GetAreaLines()[0], (AreaLineRecord{kLineThick, 1, 1, 1, 31, 31}));
    EXPECT_EQ(f->GetAreaLines()[1], (AreaLineRecord{kLineDot, 45, 3, 0, 45, 3}));

    reopen();
    f = h->GetReportFile();
    int style = -1;
    EXPECT_EQ(f->GetAreaLine(CellArea::area(31, 31, 1, 1), 1, &style), 1);
    EXPECT_EQ(style, kLineThick);
    EXPECT_EQ(f->GetAreaLine(CellArea::cell(45, 3), 0, &style), 1);
    EXPECT_EQ(style, kLineDot);
    style = -1;
    EXPECT_EQ(f->GetAreaLine(CellArea::cell(45, 3), 1, &style), 0);
    EXPECT_EQ(f->GetAreaLine(CellArea::area(1, 1, 30, 31), 1, &style), 0);
    EXPECT_EQ(style, -1);

    // Removing works on an area of any size and takes the diagonals of
    // that direction inside it.
    const CellArea all = CellArea::area(1, 1, 60, 40);
    ASSERT_EQ(h->DrawAreaLines(&all, kLinesDiagonalDown, kLineNone), 0);
    EXPECT_EQ(f->GetAreaLineCount(), 1);
    ASSERT_EQ(h->DrawAreaLines(&all, kLinesDiagonalUp, kLineNone), 0);
    EXPECT_EQ(f->GetAreaLineCount(), 0);
}

TEST_F(FormatCellsTest, LabelsAreCutAndStoredWithTheFormat) {
    CReportFile* f = h->GetReportFile();
    const QString longText(300, QChar(u'表'));
    ASSERT_EQ(f->SetLabel(2, 3, QStringLiteral("项目")), 0);
    ASSERT_EQ(f->SetLabel(50, 7, longText), 0);
    ASSERT_EQ(f->SetLabel(4, 4, QStringLiteral("x")), 0);
    ASSERT_EQ(f->SetLabel(4, 4, QString()), 0);  // removes
    EXPECT_EQ(f->SetLabel(51, 1, QStringLiteral("x")), 1075);
    EXPECT_EQ(f->SetLabel(1, 0, QStringLiteral("x")), 1075);
    EXPECT_EQ(field(2, 3, -1), 0u);
    EXPECT_TRUE(f->Format().cellFormat(2, 3) & kFmtHasLabel.mask());
    EXPECT_FALSE(f->Format().cellFormat(4, 4) & kFmtHasLabel.mask());
    reopen();
    f = h->GetReportFile();
    EXPECT_EQ(f->GetLabel(2, 3), QStringLiteral("项目"));
    EXPECT_EQ(f->GetLabel(50, 7), longText.left(255));
    EXPECT_EQ(f->GetLabel(4, 4), QString());
    EXPECT_EQ(f->Format().labels.size(), 2u);

    // A text built by appending keeps its characters only: a report of
    // millions of labels would otherwise hold twice their size.
    QString built;
    built.append(QLatin1String("1234.56"));
    ASSERT_GT(built.capacity(), built.size());
    ASSERT_EQ(f->SetLabel(3, 3, built), 0);
    EXPECT_EQ(f->GetLabel(3, 3), built);
    EXPECT_EQ(f->GetLabel(3, 3).capacity(), built.size());
}

TEST_F(FormatCellsTest, TableStylesSetLinesColoursAndFonts) {
    // Two-way summary in colour over B2:E6: header row, title column,
    // total row and total column.
    const CellArea area = CellArea::area(2, 2, 6, 5);
    ASSERT_EQ(h->ApplyTableStyle(1, &area), 0);
    EXPECT_EQ(get(kFmtBackground, 2, 3), kColourNavy);
    EXPECT_EQ(get(kFmtForeground, 2, 3), kColourWhite);
    EXPECT_EQ(get(kFmtFontStyle, 2, 3), kFontBold);
    EXPECT_EQ(get(kFmtHAlign, 2, 3), kAlignCentre);
    EXPECT_EQ(get(kFmtBackground, 4, 2), kColourNavy);  // title column
    EXPECT_EQ(get(kFmtBackground, 6, 3), kColourSilver);
    EXPECT_EQ(get(kFmtBackground, 4, 5), kColourSilver);
    EXPECT_EQ(get(kFmtBackground, 4, 3), kColourWhite);
    EXPECT_EQ(get(kFmtFontStyle, 4, 3), kFontPlain);
    EXPECT_EQ(field(1, 3, kFmtBottomLine), uint32_t(kLineMedium));  // top edge
    EXPECT_EQ(field(2, 3, kFmtBottomLine), uint32_t(kLineMedium));  // under the header
    EXPECT_EQ(field(3, 3, kFmtBottomLine), uint32_t(kLineThin));
    EXPECT_EQ(field(5, 3, kFmtBottomLine), uint32_t(kLineMedium));  // above the totals
    EXPECT_EQ(field(4, 2, kFmtRightLine), uint32_t(kLineMedium));   // beside the titles
    EXPECT_EQ(field(4, 3, kFmtRightLine), uint32_t(kLineThin));
    EXPECT_EQ(field(4, 1, kFmtRightLine), uint32_t(kLineMedium));  // left edge
    int style = 0;
    EXPECT_EQ(h->GetReportFile()->GetAreaLine(CellArea::cell(2, 2), 1, &style), 1);

    // The open style over the same area: no vertical lines and no split
    // corner; black and white.
    ASSERT_EQ(h->ApplyTableStyle(7, &area), 0);
    EXPECT_EQ(field(4, 1, kFmtRightLine), 0u);
    EXPECT_EQ(field(4, 3, kFmtRightLine), 0u);
    EXPECT_EQ(field(4, 5, kFmtRightLine), 0u);
    EXPECT_EQ(field(3, 3, kFmtBottomLine), 0u);
    EXPECT_EQ(field(2, 3, kFmtBottomLine), uint32_t(kLineThin));
    EXPECT_EQ(field(6, 3, kFmtBottomLine), uint32_t(kLineMedium));
    EXPECT_EQ(get(kFmtBackground, 2, 3), kColourWhite);
    EXPECT_EQ(h->GetReportFile()->GetAreaLineCount(), 0);

    // The standard style on the whole table; the left edge on column 1
    // goes into the row attribute bytes.
    ASSERT_EQ(h->ApplyTableStyle(8), 0);
    EXPECT_EQ(fmt().rowRecs[10].line, kLineThin);
    EXPECT_EQ(fmt().colRecs[6].line, kLineThin);
    EXPECT_EQ(field(50, 7, kFmtBottomLine), uint32_t(kLineThin));

    EXPECT_EQ(cellPaletteRgb(kColourNavy), 0x000080u);  // stored blue-green-red
    EXPECT_EQ(h->ApplyTableStyle(11, &area), 1);
    EXPECT_EQ(h->ApplyTableStyle(-1, &area), 1);
    const CellArea outside = CellArea::area(2, 2, 6, 9);
    EXPECT_EQ(h->ApplyTableStyle(0, &outside), 1075);
    ASSERT_EQ(h->EnterDataState(0), 0);
    EXPECT_EQ(h->ApplyTableStyle(0, &area), 1);
}

// Inserting, deleting and swapping rows, columns and pages, and copying a
// template's format: formats, areas and every page's values move together.
#include <gtest/gtest.h>

#include <memory>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/format_areas.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

class FormatShapeTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        path = dir + "/r.rep";
    }

    // A report of rows x cols with the given pages; on every page, cell
    // (r, c) holds 1000 p + 10 r + c, so every value tells where it came
    // from. Saved, and left in format state.
    void makeReport(uint16_t rows, uint16_t cols, int pages) {
        h.reset();  // one writer at a time
        h = std::make_unique<CReportHandle>(path);
        ASSERT_TRUE(h->IsOpen());
        ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
        ASSERT_EQ(h->AppendRowColPage(pages, 2), 0);
        ASSERT_EQ(h->EnterDataState(0), 0);
        // Large tables get their corners only.
        const bool corners = size_t(rows) * cols > 10000;
        for (int p = 1; p <= pages; ++p) {
            auto page = h->GetPage(p);
            ASSERT_TRUE(page);
            for (uint16_t r = 1; r <= rows; ++r)
                for (uint16_t c = 1; c <= cols; ++c)
                    if (!corners || ((r == 1 || r == rows) && (c == 1 || c == cols)))
                        page->SetNumber(r, c, value(p, r, c));
        }
        ASSERT_EQ(h->Save(), 0);
        ASSERT_EQ(h->EnterFormatState(), 0);
    }
    static double value(int page, int row, int col) { return 1000 * page + 10 * row + col; }
    // The value on a page's stored cell; 0 for an empty cell.
    double at(int page, int row, int col) {
        auto p = h->GetPage(page);
        EXPECT_TRUE(p);
        return p ? p->Slot(uint16_t(row), uint16_t(col)).numberValue() : -1;
    }
    // Leaves format state, saves and opens the report anew.
    void commitAndReopen() {
        ASSERT_EQ(h->EnterDataState(0), 0);
        ASSERT_EQ(h->Save(), 0);
        h.reset();  // one writer at a time
        h = std::make_unique<CReportHandle>(path);
        ASSERT_TRUE(h->IsOpen());
        ASSERT_EQ(h->IsFormatState(), 0);
    }
    void setFormat(int code, int32_t v, const CellArea& a) {
        ASSERT_EQ(h->AccessAreaFormat(1, code, &v, &a), 0);
    }
    uint32_t field(int row, int col, int code) {
        return h->GetReportFile()->GetCellFormatField(uint16_t(row), uint16_t(col), code);
    }
    const ReportFormat& fmt() { return h->GetReportFile()->Format(); }

    QString dir, path;
    std::unique_ptr<CReportHandle> h;
};

}  // namespace

TEST_F(FormatShapeTest, InsertedRowsAndColumnsMoveValuesOnEveryPage) {
    makeReport(6, 4, 3);
    setFormat(kFmtBackground, kColourYellow, CellArea::area(3, 1, 3, 4));
    setFormat(kFmtBottomLine, kLineThin, CellArea::area(3, 1, 3, 4));
    const CellArea comb = CellArea::area(4, 2, 5, 3);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    ASSERT_EQ(h->GetReportFile()->SetLabel(5, 4, QStringLiteral("小计")), 0);

    uint16_t n = 2;
    ASSERT_EQ(h->InsertRowsCols(4, &n, 0), 0);  // rows 4, 5 new; 4.. move to 6..
    EXPECT_EQ(n, 2);
    n = 1;
    ASSERT_EQ(h->InsertRowsCols(1, &n, 1), 0);  // a new column A
    n = 1;
    ASSERT_EQ(h->InsertRowsCols(6, &n, 1), 0);  // appended after the last column
    EXPECT_EQ(h->GetRowCount(), 8);
    EXPECT_EQ(h->GetColCount(), 6);
    // New rows look like the row before them, without its place markers.
    EXPECT_EQ(field(4, 2, kFmtBackground), uint32_t(kColourYellow));
    EXPECT_EQ(field(5, 5, kFmtBottomLine), uint32_t(kLineThin));
    EXPECT_EQ(field(1, 1, kFmtBackground), uint32_t(kColourWhite));  // new column A from old A
    EXPECT_EQ(h->GetReportFile()->GetCombineCode(6, 3), 1);
    EXPECT_EQ(h->GetReportFile()->GetCombineCode(7, 4), 3);
    EXPECT_EQ(h->GetReportFile()->GetLabel(7, 5), QStringLiteral("小计"));

    commitAndReopen();
    for (int p = 1; p <= 3; ++p) {
        EXPECT_EQ(at(p, 3, 2), value(p, 3, 1));
        EXPECT_EQ(at(p, 4, 2), 0);
        EXPECT_EQ(at(p, 5, 3), 0);
        EXPECT_EQ(at(p, 6, 2), value(p, 4, 1));
        EXPECT_EQ(at(p, 8, 5), value(p, 6, 4));
        EXPECT_EQ(at(p, 8, 1), 0);
        EXPECT_EQ(at(p, 8, 6), 0);
    }
    EXPECT_EQ(fmt().combined.size(), 1u);
    EXPECT_EQ(fmt().combined[0], (AreaRecord{6, 3, 7, 4}));
}

TEST_F(FormatShapeTest, InsertCutsTheCountAndRefusesWhatCannotBe) {
    makeReport(9990, 254, 1);
    uint16_t n = 20;
    EXPECT_EQ(h->InsertRowsCols(9992, &n, 0), 1075);
    EXPECT_EQ(h->InsertRowsCols(0, &n, 0), 1075);
    EXPECT_EQ(h->InsertRowsCols(1, &n, 2), 1);
    n = 0;
    EXPECT_EQ(h->InsertRowsCols(1, &n, 0), 1);
    n = 20;
    ASSERT_EQ(h->InsertRowsCols(9991, &n, 0), 0);
    EXPECT_EQ(n, 9);
    EXPECT_EQ(h->GetRowCount(), 9999);
    n = 1;
    EXPECT_EQ(h->InsertRowsCols(1, &n, 0), 1070);
    EXPECT_EQ(n, 0);
    n = 5;
    ASSERT_EQ(h->InsertRowsCols(2, &n, 1), 0);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(h->GetColCount(), 255);
    ASSERT_EQ(h->EnterDataState(0), 0);
    n = 1;
    EXPECT_EQ(h->InsertRowsCols(1, &n, 0), 1);
    EXPECT_EQ(h->DeleteRowsCols(1, 1, 0), 1);
    EXPECT_EQ(at(1, 9990, 255), value(1, 9990, 254));
}

TEST_F(FormatShapeTest, DeletedLinesTakeTheirValuesAndShrinkAreas) {
    makeReport(10, 6, 2);
    CReportFile* f = h->GetReportFile();
    const CellArea big = CellArea::area(2, 2, 4, 4);   // loses its top row
    const CellArea pair = CellArea::area(7, 2, 8, 2);  // one cell left: undone
    const CellArea wide = CellArea::area(6, 3, 6, 6);  // loses its last column
    ASSERT_EQ(h->CombineCells(&big), 0);
    ASSERT_EQ(h->CombineCells(&pair), 0);
    ASSERT_EQ(h->CombineCells(&wide), 0);
    const CellArea diag = CellArea::area(9, 1, 10, 6);
    const CellArea diagGone = CellArea::cell(2, 6);
    ASSERT_EQ(h->DrawAreaLines(&diag, kLinesDiagonalDown, kLineThin), 0);
    ASSERT_EQ(h->DrawAreaLines(&diagGone, kLinesDiagonalUp, kLineThin), 0);

    ASSERT_EQ(h->DeleteRowsCols(2, 1, 0), 0);  // row 2
    ASSERT_EQ(h->DeleteRowsCols(7, 1, 0), 0);  // old row 8
    ASSERT_EQ(h->DeleteRowsCols(6, 9, 1), 0);  // old column 6, cut at the end
    EXPECT_EQ(h->GetRowCount(), 8);
    EXPECT_EQ(h->GetColCount(), 5);
    ASSERT_EQ(fmt().combined.size(), 2u);
    EXPECT_EQ(fmt().combined[0], (AreaRecord{2, 2, 3, 4}));
    EXPECT_EQ(fmt().combined[1], (AreaRecord{5, 3, 5, 5}));
    EXPECT_EQ(f->GetCombineCode(2, 2), 1);
    EXPECT_EQ(f->GetCombineCode(3, 4), 3);
    EXPECT_EQ(f->GetCombineCode(5, 5), 4);
    EXPECT_EQ(f->GetCombineCode(6, 2), 0);  // the pair's last cell
    ASSERT_EQ(f->GetAreaLineCount(), 1);
    EXPECT_EQ(f->GetAreaLines()[0], (AreaLineRecord{kLineThin, 7, 1, 1, 8, 5}));

    EXPECT_EQ(h->DeleteRowsCols(1, 8, 0), 1070);
    EXPECT_EQ(h->DeleteRowsCols(9, 1, 0), 1075);
    EXPECT_EQ(h->DeleteRowsCols(1, 0, 1), 1);

    commitAndReopen();
    for (int p = 1; p <= 2; ++p) {
        EXPECT_EQ(at(p, 1, 1), value(p, 1, 1));
        EXPECT_EQ(at(p, 2, 1), value(p, 3, 1));
        EXPECT_EQ(at(p, 6, 5), value(p, 7, 5));
        EXPECT_EQ(at(p, 7, 5), value(p, 9, 5));
        EXPECT_EQ(at(p, 8, 2), value(p, 10, 2));
    }
    EXPECT_EQ(fmt().combined.size(), 2u);
    EXPECT_EQ(h->GetReportFile()->GetCombineCode(3, 3), 8);
}

TEST_F(FormatShapeTest, SwapsMoveRowsColumnsAndPages) {
    makeReport(8, 5, 3);
    CReportFile* f = h->GetReportFile();
    const CellArea inner = CellArea::area(2, 1, 3, 2);  // rows 2 and 3 swap within it
    const CellArea split = CellArea::area(5, 4, 6, 5);  // row 6 leaves it
    ASSERT_EQ(h->CombineCells(&inner), 0);
    ASSERT_EQ(h->CombineCells(&split), 0);
    setFormat(kFmtFontSize, 9, CellArea::area(8, 1, 8, 5));

    EXPECT_EQ(h->SwapRowColPage({1, 2}, {3}, 0), 1150);
    EXPECT_EQ(h->SwapRowColPage({}, {}, 0), 1150);
    EXPECT_EQ(h->SwapRowColPage({9}, {1}, 0), 1150);
    EXPECT_EQ(h->SwapRowColPage({1}, {6}, 1), 1150);
    EXPECT_EQ(h->SwapRowColPage({1}, {2}, 3), 1);
    ASSERT_EQ(h->SwapRowColPage({2, 6}, {3, 8}, 0), 0);
    ASSERT_EQ(h->SwapRowColPage({3}, {5}, 1), 0);
    EXPECT_EQ(field(6, 3, kFmtFontSize), 9u);
    ASSERT_EQ(fmt().combined.size(), 1u);
    EXPECT_EQ(fmt().combined[0], (AreaRecord{2, 1, 3, 2}));
    EXPECT_EQ(f->GetCombineCode(5, 4), 0);
    EXPECT_EQ(f->GetCombineCode(2, 1), 1);
    // Column 1 moving past column 3 breaks the area apart.
    ASSERT_EQ(h->SwapRowColPage({1}, {4}, 1), 0);
    EXPECT_TRUE(fmt().combined.empty());
    EXPECT_EQ(f->GetCombineCode(2, 1), 0);

    ASSERT_EQ(h->EnterDataState(0), 0);
    ASSERT_EQ(h->SetCurPage(3), 0);
    EXPECT_EQ(h->SwapRowColPage({1}, {2}, 0), 1);  // rows need format state
    ASSERT_EQ(h->SwapRowColPage({1, 3}, {3, 2}, 2), 0);
    EXPECT_EQ(h->GetCurPage(), 1);  // page 3 went to 1 and stays current
    EXPECT_EQ(h->GetCurrentPage()->Slot(1, 1).numberValue(), value(3, 1, 4));
    ASSERT_EQ(h->Save(), 0);
    h.reset();  // one writer at a time
    h = std::make_unique<CReportHandle>(path);
    ASSERT_TRUE(h->IsOpen());
    // Pages now 3, 1, 2; rows 1 3 2 4 5 8 7 6; columns 4 2 5 1 3.
    const int pageFrom[3] = {3, 1, 2};
    const int rowFrom[8] = {1, 3, 2, 4, 5, 8, 7, 6};
    const int colFrom[5] = {4, 2, 5, 1, 3};
    for (int p = 1; p <= 3; ++p)
        for (int r = 1; r <= 8; ++r)
            for (int c = 1; c <= 5; ++c)
                ASSERT_EQ(at(p, r, c), value(pageFrom[p - 1], rowFrom[r - 1], colFrom[c - 1]))
                    << p << " " << r << " " << c;
}

TEST_F(FormatShapeTest, TemplateFormatReplacesOursAndPagesKeepTheirPlaces) {
    const QString tmplPath = dir + "/t.rep";
    {
        CReportHandle t(tmplPath);
        ASSERT_TRUE(t.IsOpen());
        uint16_t rows = 4, cols = 9;
        ASSERT_EQ(t.AccessTableSize(1, &rows, &cols), 0);
        int32_t v = kColourGreen;
        const CellArea a = CellArea::area(1, 1, 1, 9);
        ASSERT_EQ(t.AccessAreaFormat(1, kFmtBackground, &v, &a), 0);
        ASSERT_EQ(t.CombineCells(&a), 0);
        ASSERT_EQ(t.DrawAreaLines(&a, kLinesDiagonalUp, kLineDash), 0);
        ASSERT_EQ(t.GetReportFile()->SetLabel(1, 1, QStringLiteral("资产负债表")), 0);
        uint16_t width = 120;
        ASSERT_EQ(t.AccessRowColSize(1, 1, 9, &width), 0);
        ASSERT_EQ(t.SetFormatPassword(QStringLiteral("tmpl")), 0);
        ASSERT_EQ(t.Save(), 0);
    }
    makeReport(6, 5, 2);
    ASSERT_EQ(h->SetFormatPassword(QStringLiteral("own")), 0);
    CReportHandle t(tmplPath);
    ASSERT_TRUE(t.IsOpen());
    EXPECT_EQ(h->CopyFormatFrom(*h), 1);
    ASSERT_EQ(h->CopyFormatFrom(t), 0);
    EXPECT_EQ(h->GetRowCount(), 4);
    EXPECT_EQ(h->GetColCount(), 9);
    commitAndReopen();
    EXPECT_EQ(field(1, 9, kFmtBackground), uint32_t(kColourGreen));
    EXPECT_EQ(h->GetReportFile()->GetCombineCode(1, 1), 2);
    EXPECT_EQ(h->GetReportFile()->GetLabel(1, 1), QStringLiteral("资产负债表"));
    EXPECT_EQ(h->GetReportFile()->GetAreaLineCount(), 1);
    EXPECT_EQ(fmt().colRecs[8].size, 120);
    EXPECT_EQ(h->GetFormatPassword(), QStringLiteral("own"));
    for (int p = 1; p <= 2; ++p) {
        EXPECT_EQ(at(p, 4, 5), value(p, 4, 5));
        EXPECT_EQ(at(p, 4, 6), 0);
    }
    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(t.EnterDataState(0), 0);
    EXPECT_EQ(t.CopyFormatFrom(*h), 1);  // the target must be in format state
}

TEST_F(FormatShapeTest, AreasFollowLineMovesByRule) {
    // Rows 1..10 -> new order: 1 2 [new] 3 4 6 5 7 (8, 9, 10 deleted).
    std::vector<uint16_t> origin{1, 2, 0, 3, 4, 6, 5, 7};
    LineRemap rows(origin, 10);
    using Runs = std::vector<std::pair<uint16_t, uint16_t>>;
    EXPECT_EQ(rows.runs(1, 4), (Runs{{1, 5}}));          // a new line inside joins
    EXPECT_EQ(rows.runs(4, 7), (Runs{{5, 8}}));          // moved within itself: whole
    EXPECT_EQ(rows.runs(5, 8), (Runs{{6, 8}}));          // 8 deleted: shrinks
    EXPECT_EQ(rows.runs(4, 5), (Runs{{5, 5}, {7, 7}}));  // 6 came between
    EXPECT_EQ(rows.runs(8, 10), (Runs{}));
    EXPECT_EQ(rows.newIndex(6), 6);
    EXPECT_EQ(rows.newIndex(9), 0);
    std::vector<uint16_t> same{1, 2};
    LineRemap cols(same, 2);
    AreaRecord a{9, 1, 10, 2};
    EXPECT_FALSE(remapWholeArea(a, rows, cols, 1));
    a = {7, 1, 8, 1};
    EXPECT_FALSE(remapWholeArea(a, rows, cols, 2));  // one cell left of a combined area
    a = {7, 1, 8, 1};
    EXPECT_TRUE(remapWholeArea(a, rows, cols, 1));
    EXPECT_EQ(a, (AreaRecord{8, 1, 8, 1}));
}

TEST_F(FormatShapeTest, VariableLinesFollowColumnsAndTheAreaFollowsItsRow) {
    h.reset();  // one writer at a time
    h = std::make_unique<CReportHandle>(path);
    ASSERT_TRUE(h->IsOpen());
    uint16_t rows = 6, cols = 4;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    int kind = 1, start = 3, extent = 20;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(h->EnterDataState(0), 0);
    ASSERT_EQ(h->SetCurPage(2), 0);
    int used = 4;
    ASSERT_EQ(h->AccessVarCount(1, &used), 0);
    // Shown rows 3..6 are the lines; row 7 is stored row 4.
    for (int line = 1; line <= 4; ++line)
        for (int c = 1; c <= 4; ++c)
            ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(10 * line + c), 2 + line, c), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(99), 7, 4), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(11), 1, 1), 0);
    ASSERT_EQ(h->Save(), 0);

    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(h->DeleteRowsCols(1, 1, 0), 0);  // the area now starts at row 2
    uint16_t n = 1;
    ASSERT_EQ(h->InsertRowsCols(2, &n, 1), 0);  // a new column B
    ASSERT_EQ(h->DeleteRowsCols(4, 1, 1), 0);   // old column C
    ASSERT_EQ(h->AccessVarArea(0, &kind, &start, &extent), 0);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(start, 2);
    commitAndReopen();
    ASSERT_EQ(h->SetCurPage(2), 0);
    CellValue v;
    auto number = [&](int r, int c) {
        EXPECT_EQ(h->GetCellValue(&v, r, c, 0), 0);
        return v.number;
    };
    // Columns now: A (old A), B (new), C (old B), D (old D).
    for (int line = 1; line <= 4; ++line) {
        EXPECT_EQ(number(1 + line, 1), 10 * line + 1);
        EXPECT_EQ(number(1 + line, 2), 0);
        EXPECT_EQ(number(1 + line, 3), 10 * line + 2);
        EXPECT_EQ(number(1 + line, 4), 10 * line + 4);
    }
    EXPECT_EQ(number(6, 4), 99);
    EXPECT_EQ(h->GetCellValue(&v, 1, 1, 1), 0);  // page 1 kept its (empty) values
    EXPECT_EQ(v.number, 0);
}

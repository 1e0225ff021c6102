// The variable area: its definition, the mapping between shown and stored
// cells, and the lines each page keeps.

#include "engine/status.h"
#include "tests/engine/cells_fixture.h"

using namespace cellstest;
using namespace qor;

namespace {

// 10 x 4 with a row area at row 3 (extent 5); column 2 holds texts.
std::unique_ptr<CReportHandle> rowAreaReport(const QString& dir, int pages = 2) {
    auto h = newReport(dir + "/var", 10, 4);
    int kind = 1, start = 3, extent = 5;
    EXPECT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    setFormat(*h, kFmtKind, kCellText, CellArea::area(1, 2, 10, 2));
    toData(*h, pages);
    return h;
}

struct Mapped {
    int ok;
    uint16_t row = 0, col = 0;
};

Mapped map(CReportHandle& h, int row, int col) {
    Mapped m;
    m.ok = h.GetReportFile()->MapCellAddress(row, col, &m.row, &m.col);
    return m;
}

int usedLines(CReportHandle& h) {
    int n = 0;
    EXPECT_EQ(h.AccessVarCount(0, &n), 0);
    return n;
}

}  // namespace

TEST(VarArea, ShownRowsMapToStoredOnesByTheLinesInUse) {
    auto h = rowAreaReport(testDir());
    CReportFile* f = h->GetReportFile();
    // One line: shown and stored rows agree.
    EXPECT_EQ(usedLines(*h), 1);
    EXPECT_EQ(f->GetShownRowCount(), 10);
    EXPECT_EQ(map(*h, 3, 1).row, 3);
    EXPECT_EQ(map(*h, 4, 1).row, 4);
    EXPECT_EQ(map(*h, 11, 1).ok, 0);

    int three = 3;
    ASSERT_EQ(h->AccessVarCount(1, &three), 0);
    EXPECT_EQ(f->GetShownRowCount(), 12);
    EXPECT_EQ(f->GetShownColCount(), 4);
    for (int r : {3, 4, 5}) EXPECT_EQ(map(*h, r, 2).row, 3) << r;
    EXPECT_EQ(map(*h, 2, 2).row, 2);
    EXPECT_EQ(map(*h, 6, 2).row, 4);
    EXPECT_EQ(map(*h, 12, 4).row, 10);
    EXPECT_EQ(map(*h, 13, 1).ok, 0);
    EXPECT_EQ(map(*h, 1, 5).ok, 0);
    CellArea stored;
    ASSERT_EQ(f->MapAreaAddress(CellArea::area(12, 4, 1, 1), &stored), 1);
    EXPECT_EQ(stored, CellArea::area(1, 1, 10, 4));
    EXPECT_EQ(f->MapAreaAddress(CellArea::area(1, 1, 13, 1), &stored), 0);

    // No more lines than the extent, by a count or an insert.
    int six = 6;
    EXPECT_EQ(h->AccessVarCount(1, &six), code(Status::TableSizeOutOfBounds));
    EXPECT_EQ(h->InsertVarLines(1, 3), code(Status::TableSizeOutOfBounds));
    EXPECT_EQ(usedLines(*h), 3);

    // With an extent past them, as many lines as the table's bounds allow:
    // 9,999 shown rows.
    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(h->SetVarExtent(9998), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    int full = 9990;
    ASSERT_EQ(h->AccessVarCount(1, &full), 0);
    EXPECT_EQ(f->GetShownRowCount(), 9999);
    EXPECT_EQ(map(*h, 9992, 1).row, 3);
    EXPECT_EQ(map(*h, 9993, 1).row, 4);
    EXPECT_EQ(map(*h, 9999, 1).row, 10);
    int more = 9991;
    EXPECT_EQ(h->AccessVarCount(1, &more), code(Status::TableSizeOutOfBounds));
    EXPECT_EQ(h->InsertVarLines(1, 1), code(Status::TableSizeOutOfBounds));

    // Another page keeps its own lines; format state shows one line.
    EXPECT_EQ(h->GetCellValue(nullptr, 1, 1, 2), code(Status::Refused));
    CellValue v;
    EXPECT_EQ(h->GetCellValue(&v, 12, 1, 2), code(Status::OutsideTable));
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(usedLines(*h), 1);
    EXPECT_EQ(f->GetShownRowCount(), 10);
    EXPECT_EQ(map(*h, 4, 1).row, 4);
}

TEST(VarArea, ColumnAreaExpandsTheColumns) {
    auto h = newReport(testDir() + "/cols", 5, 4);
    int kind = 2, start = 2, extent = 3;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    toData(*h, 1);
    int n = 3;
    ASSERT_EQ(h->AccessVarCount(1, &n), 0);
    CReportFile* f = h->GetReportFile();
    EXPECT_EQ(f->GetShownColCount(), 6);
    EXPECT_EQ(f->GetShownRowCount(), 5);
    EXPECT_EQ(map(*h, 5, 4).col, 2);
    EXPECT_EQ(map(*h, 5, 5).col, 3);
    for (int c = 2; c <= 4; ++c) ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(c * 10), 5, c), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(6), 5, 6), 0);
    h = reopen(std::move(h));
    ASSERT_EQ(h->SetCurPage(1), 0);
    for (int c = 2; c <= 4; ++c) EXPECT_EQ(numberAt(*h, 5, c), c * 10);
    EXPECT_EQ(numberAt(*h, 5, 6), 6);
    EXPECT_EQ(numberAt(*h, 5, 1), 0);
}

TEST(VarArea, LinesAreInsertedDeletedSortedAndSaved) {
    auto h = rowAreaReport(testDir());
    int three = 3;
    ASSERT_EQ(h->AccessVarCount(1, &three), 0);
    const QStringList names = {"丙", "甲", "乙"};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(h->SetCellValue(CellValue::ofText(names[i]), 3 + i, 2), 0);
        ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(i + 1), 3 + i, 3), 0);
    }
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(44), 6, 3), 0);  // stored row 4
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(7), 3, 3, 2), 0);

    ASSERT_EQ(h->InsertVarLines(2, 2), 0);
    EXPECT_EQ(usedLines(*h), 5);
    EXPECT_EQ(textAt(*h, 3, 2), QStringLiteral("丙"));
    EXPECT_EQ(textAt(*h, 4, 2), QString());
    EXPECT_EQ(textAt(*h, 6, 2), QStringLiteral("甲"));
    EXPECT_EQ(numberAt(*h, 8, 3), 44);  // the fixed rows move down with the lines
    ASSERT_EQ(h->DeleteVarLines(2, 2), 0);
    EXPECT_EQ(textAt(*h, 4, 2), QStringLiteral("甲"));
    EXPECT_EQ(h->DeleteVarLines(4, 1), code(Status::OutsideTable));
    EXPECT_EQ(h->InsertVarLines(5, 1), code(Status::OutsideTable));

    ASSERT_EQ(h->SortVarLines({{3, true}}), 0);
    EXPECT_EQ(textAt(*h, 3, 2), QStringLiteral("乙"));
    EXPECT_EQ(numberAt(*h, 3, 3), 3);
    EXPECT_EQ(textAt(*h, 5, 2), QStringLiteral("丙"));
    EXPECT_EQ(h->SortVarLines({{5, false}}), code(Status::SortListInvalid));
    EXPECT_EQ(h->SortVarLines({}), code(Status::SortListInvalid));

    h = reopen(std::move(h));
    ASSERT_EQ(h->SetCurPage(1), 0);
    EXPECT_EQ(usedLines(*h), 3);
    EXPECT_EQ(textAt(*h, 3, 2), QStringLiteral("乙"));
    EXPECT_EQ(textAt(*h, 4, 2), QStringLiteral("甲"));
    EXPECT_EQ(numberAt(*h, 5, 3), 1);
    EXPECT_EQ(numberAt(*h, 6, 3), 44);
    EXPECT_EQ(numberAt(*h, 3, 3, 2), 7);
    // Deleting every line leaves one empty line.
    ASSERT_EQ(h->DeleteVarLines(1, 3), 0);
    EXPECT_EQ(usedLines(*h), 1);
    EXPECT_EQ(textAt(*h, 3, 2), QString());
    EXPECT_EQ(numberAt(*h, 4, 3), 44);
}

TEST(VarArea, DefinitionIsCheckedInFormatState) {
    auto h = newReport(testDir() + "/def", 10, 4);
    int kind = 1, start = 3, extent = 5;
    auto set = [&](int k, int s, int e) {
        kind = k;
        start = s;
        extent = e;
        return h->AccessVarArea(1, &kind, &start, &extent);
    };
    const uint16_t bad = code(Status::VarAreaInvalid);
    EXPECT_EQ(set(3, 3, 5), bad);
    EXPECT_EQ(set(1, 0, 5), bad);
    EXPECT_EQ(set(1, 11, 5), bad);
    EXPECT_EQ(set(1, 3, 0), bad);
    EXPECT_EQ(set(1, 3, 9999), bad);
    EXPECT_EQ(set(2, 2, 255), bad);
    EXPECT_EQ(set(2, 5, 1), bad);
    CellArea comb = CellArea::area(3, 2, 4, 3);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    EXPECT_EQ(set(1, 4, 5), bad);
    EXPECT_EQ(set(2, 3, 5), bad);
    CellRef cell{0, 6, 1};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &cell), 0);
    EXPECT_EQ(set(1, 6, 5), bad);
    EXPECT_EQ(set(1, 7, 9998), 0);
    EXPECT_EQ(h->SetVarExtent(0), bad);
    EXPECT_EQ(h->SetVarExtent(20), 0);
    h = reopen(std::move(h));  // the report was saved in format state
    ASSERT_EQ(h->AccessVarArea(0, &kind, &start, &extent), 0);
    EXPECT_EQ(kind, 1);
    EXPECT_EQ(start, 7);
    EXPECT_EQ(extent, 20);

    ASSERT_EQ(h->EnterDataState(), 0);
    EXPECT_EQ(set(1, 8, 5), code(Status::Refused));
    EXPECT_EQ(h->AccessVarArea(2, &kind, &start, &extent), code(Status::Refused));
    EXPECT_EQ(h->SetVarExtent(3), code(Status::Refused));
    ASSERT_EQ(h->EnterFormatState(), 0);
    ASSERT_EQ(h->AccessVarArea(2, &kind, &start, &extent), 0);
    ASSERT_EQ(h->AccessVarArea(0, &kind, &start, &extent), 0);
    EXPECT_EQ(kind, 0);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(h->SetVarExtent(3), code(Status::Refused));
}

TEST(VarArea, AnExtentBelowThePagesLinesIsRefused) {
    auto h = rowAreaReport(testDir());
    ASSERT_EQ(h->SetCurPage(2), 0);
    int four = 4;
    ASSERT_EQ(h->AccessVarCount(1, &four), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    const uint16_t bad = code(Status::VarAreaInvalid);
    EXPECT_EQ(h->SetVarExtent(3), bad);
    int kind = 1, start = 3, extent = 3;
    EXPECT_EQ(h->AccessVarArea(1, &kind, &start, &extent), bad);
    // A column area starts its pages afresh with one line each.
    kind = 2, start = 3, extent = 1;
    EXPECT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    kind = 1, extent = 4;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    EXPECT_EQ(h->SetVarExtent(8), 0);
    EXPECT_EQ(h->SetVarExtent(3), bad);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCurPage(2), 0);
    EXPECT_EQ(usedLines(*h), 4);
}

// A row or column that becomes the area's would hide what the pages hold
// in it behind the area's lines: refused, naming the first page and cell,
// before anything changes.
TEST(VarArea, ARowOrColumnHoldingValuesIsRefusedAsTheArea) {
    auto h = newReport(testDir() + "/held", 6, 4);
    setFormat(*h, kFmtKind, kCellText, CellArea::cell(5, 4));
    toData(*h, 2);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(5), 3, 2, 2), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofText(QStringLiteral("x")), 5, 4, 1), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    CReportFile* f = h->GetReportFile();
    const uint16_t bad = code(Status::VarAreaInvalid);
    auto set = [&](int kind, int start) {
        int extent = 4;
        return h->AccessVarArea(1, &kind, &start, &extent);
    };
    EXPECT_EQ(set(1, 3), bad);
    EXPECT_EQ(set(2, 2), bad);
    EXPECT_EQ(set(1, 5), bad);  // a text
    const CReportFile::HeldCell held = f->FirstHeldCellInLine(1, 3);
    EXPECT_EQ(held.page, 2);
    EXPECT_EQ(held.row, 3);
    EXPECT_EQ(held.col, 2);
    EXPECT_EQ(f->FirstHeldCellInLine(2, 4).page, 1);

    // Rows inserted above: the value is followed to its shown row, and the
    // new empty row may be the area.
    uint16_t one = 1;
    ASSERT_EQ(h->InsertRowsCols(3, &one, 0), 0);
    EXPECT_EQ(set(1, 4), bad);
    EXPECT_EQ(f->FirstHeldCellInLine(1, 4).row, 4);
    EXPECT_EQ(f->FirstHeldCellInLine(1, 3).page, 0);
    ASSERT_EQ(set(1, 3), 0);
    // The area's own row may be named again (its lines hold its values).
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(9), 3, 1, 1), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(set(1, 3), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    EXPECT_EQ(numberAt(*h, 4, 2, 2), 5);
    EXPECT_EQ(numberAt(*h, 3, 1, 1), 9);
    EXPECT_EQ(textAt(*h, 6, 4, 1), QStringLiteral("x"));

    // Emptied, the row may become the area.
    const CellArea row = CellArea::area(4, 1, 4, 4);
    ASSERT_EQ(h->SetCurPage(2), 0);
    ASSERT_EQ(h->ClearArea(&row, CReportHandle::kClearValues), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(set(1, 4), 0);
}

// A template whose area lies on a row holding values is refused whole.
TEST(VarArea, ATemplateWhoseAreaWouldHideValuesIsRefused) {
    auto tmpl = newReport(testDir() + "/tmpl", 6, 4);
    int kind = 1, start = 3, extent = 4;
    ASSERT_EQ(tmpl->AccessVarArea(1, &kind, &start, &extent), 0);
    auto h = newReport(testDir() + "/into", 6, 4);
    toData(*h, 2);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(5), 3, 2, 2), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    EXPECT_EQ(h->CopyFormatFrom(*tmpl), code(Status::VarAreaInvalid));
    ASSERT_EQ(h->AccessVarArea(0, &kind, &start, &extent), 0);
    EXPECT_EQ(kind, 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    EXPECT_EQ(numberAt(*h, 3, 2, 2), 5);
}

// A formula's cell holds what its formula gives, no value to delete: a row
// (column) with one is refused as the area for its formula, in those words,
// and is no reason to name its cell as holding data.
TEST(VarArea, AFormulasRowOrColumnIsRefusedForItsFormulaNotItsValue) {
    auto h = newReport(testDir() + "/formularow", 6, 4);
    CellArea c3 = CellArea::cell(3, 3);
    ASSERT_EQ(h->SetAreaFormula(&c3, QStringLiteral("A3+B3")), 0);
    toData(*h, 2);
    EXPECT_EQ(numberAt(*h, 3, 3, 2), 0);  // worked out: 0, not empty
    ASSERT_EQ(h->EnterFormatState(), 0);
    CReportFile* f = h->GetReportFile();
    EXPECT_EQ(f->FirstHeldCellInLine(1, 3).page, 0);
    EXPECT_EQ(f->FirstHeldCellInLine(2, 3).page, 0);
    const uint16_t inFormula = code(Status::FormulaVarAreaStart);
    for (int kind : {1, 2}) {
        int start = 3, extent = 4, k = kind;
        EXPECT_EQ(h->AccessVarArea(1, &k, &start, &extent), inFormula) << kind;
    }
    // A value typed beside the formula is still named.
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(1), 3, 1, 2), 0);
    ASSERT_EQ(h->EnterFormatState(), 0);
    const CReportFile::HeldCell held = f->FirstHeldCellInLine(1, 3);
    EXPECT_EQ(held.page, 2);
    EXPECT_EQ(held.col, 1);
}

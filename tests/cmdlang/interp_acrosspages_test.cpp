// Formulas that read other pages (B8@1, TOTAL(B4)) follow a change the way
// plain references do: after an edit, RECALC of one page and RECALC ALL,
// on their own page and on the pages they name; and a cut of decimals
// leaves every total adding what its cells hold.
#include "engine/cellformat.h"
#include "interp_support.h"

using namespace interp;

namespace {

class AcrossPages : public InterpTest {
protected:
    // B2:B7 amounts, B8 PTOTAL(B2:B7); E2 B8@1, E3 B8, E4 B8@2 read page
    // totals; C6 TOTAL(B4) adds B4 over every page, and C7 reads C6.
    CReportHandle* makeReport(int pages) {
        CReportHandle* r = InterpTest::makeReport(QStringLiteral("across.rep"), 8, 5, pages);
        EXPECT_EQ(r->EnterFormatState(), 0);
        const std::pair<CellArea, QString> formulas[] = {
            {CellArea::cell(8, 2), QStringLiteral("PTOTAL(B2:B7)")},
            {CellArea::cell(2, 5), QStringLiteral("B8@1")},
            {CellArea::cell(3, 5), QStringLiteral("B8")},
            {CellArea::cell(4, 5), QStringLiteral("B8@2")},
            {CellArea::cell(6, 3), QStringLiteral("TOTAL(B4)")},
            {CellArea::cell(7, 3), QStringLiteral("C6*2")},
        };
        for (auto [area, text] : formulas) EXPECT_EQ(r->SetAreaFormula(&area, text), 0) << text.toStdString();
        EXPECT_EQ(r->EnterDataState(), 0);
        EXPECT_EQ(r->SetCurPage(1), 0);
        return r;
    }
    // An edit of a cell as the desktop makes it: the value, then the cells
    // that read it.
    static void edit(CReportHandle* r, int page, int row, int col, double v) {
        ASSERT_EQ(r->SetCurPage(page), 0);
        setNumber(r, page, row, col, v);
        ASSERT_EQ(r->RecalcDependents(0, row, col), 0);
    }
    // An empty cell adds nothing.
    static double amount(CReportHandle* r, int page, int row, int col) {
        return empty(r, page, row, col) ? 0 : number(r, page, row, col);
    }
    static void expectAgreement(CReportHandle* r, const char* after) {
        SCOPED_TRACE(after);
        const int pages = r->GetPageCount();
        double b4 = 0;
        for (int p = 1; p <= pages; ++p) b4 += amount(r, p, 4, 2);
        for (int p = 1; p <= pages; ++p) {
            double sum = 0;
            for (int row = 2; row <= 7; ++row) sum += amount(r, p, row, 2);
            EXPECT_EQ(amount(r, p, 8, 2), sum) << "page " << p;
            EXPECT_EQ(amount(r, p, 2, 5), amount(r, 1, 8, 2)) << "page " << p;
            EXPECT_EQ(amount(r, p, 3, 5), sum) << "page " << p;
            EXPECT_EQ(amount(r, p, 4, 5), amount(r, 2, 8, 2)) << "page " << p;
            EXPECT_DOUBLE_EQ(amount(r, p, 6, 3), b4) << "page " << p;
            EXPECT_DOUBLE_EQ(amount(r, p, 7, 3), 2 * b4) << "page " << p;
        }
    }
};

}  // namespace

TEST_F(AcrossPages, EditsMoveThePageReferencesOnEveryPageAtOnce) {
    CReportHandle* r = makeReport(5);
    edit(r, 1, 2, 2, 1000);
    expectAgreement(r, "page 1 B2");
    edit(r, 2, 2, 2, 2000);
    expectAgreement(r, "page 2 B2");
    EXPECT_EQ(number(r, 1, 2, 5), 1000);
    EXPECT_EQ(number(r, 1, 4, 5), 2000);
    const double b4[] = {500.25, 600.13, 700.25, 400, 400};
    for (int p = 1; p <= 5; ++p) edit(r, p, 4, 2, b4[p - 1]);
    expectAgreement(r, "B4 on every page");
    EXPECT_DOUBLE_EQ(number(r, 3, 6, 3), 2600.63);
    // A cell the total reads, cleared on one page only.
    ASSERT_EQ(r->SetCurPage(4), 0);
    ASSERT_EQ(r->SetCellValue(CellValue{}, 4, 2, 4), 0);
    ASSERT_EQ(r->RecalcDependents(0, 4, 2), 0);
    expectAgreement(r, "page 4 B4 cleared");
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 0);
}

TEST_F(AcrossPages, RecalcOfOnePageAndOfAllLeaveNoPageBehind) {
    CReportHandle* r = makeReport(2);
    // Values written without a recalculation, as a script's SET lines are.
    setNumber(r, 1, 2, 2, 5);
    setNumber(r, 1, 3, 2, 7);
    setNumber(r, 2, 4, 2, 11);
    ASSERT_EQ(r->SetCurPage(1), 0);
    ASSERT_EQ(r->RecalcPage(0), 0);
    EXPECT_EQ(number(r, 1, 8, 2), 12);
    EXPECT_EQ(number(r, 1, 2, 5), 12);  // B8@1 on its own page
    EXPECT_EQ(number(r, 2, 2, 5), 12);  // and on the page that names it
    EXPECT_EQ(number(r, 1, 6, 3), 11);
    setNumber(r, 2, 5, 2, 3);
    ASSERT_EQ(r->RecalcAll(), 0);
    expectAgreement(r, "RECALC ALL");
    EXPECT_EQ(number(r, 1, 4, 5), 14);
    EXPECT_EQ(r->LastRecalcSummary().pages, 2);
}

TEST_F(AcrossPages, AFormulaReadingItselfRoundThePagesEndsAsAnError) {
    CReportHandle* r = InterpTest::makeReport(QStringLiteral("round.rep"), 3, 3, 2);
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea a1 = CellArea::cell(1, 1), b1 = CellArea::cell(1, 2);
    ASSERT_EQ(r->SetAreaFormula(&a1, QStringLiteral("A1@2+1")), 0);
    ASSERT_EQ(r->SetAreaFormula(&b1, QStringLiteral("B1@1+1")), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    ASSERT_EQ(r->SetCurPage(1), 0);
    ASSERT_EQ(r->RecalcAll(), 0);
    // B1@1 on page 1 reads itself, A1@2 on page 2; the other page of each
    // reads a cell that never settles.
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 4);
    EXPECT_FALSE(r->RecalcFailureText().isEmpty());
    for (int p = 1; p <= 2; ++p) {
        ASSERT_EQ(r->SetCurPage(p), 0);
        EXPECT_EQ(r->GetCellFormulaState(1, 1), 2) << p;
        EXPECT_EQ(r->GetCellFormulaState(1, 2), 2) << p;
    }
    // It ended, and a second run finds the same.
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 4);
}

// A cell holds its number to the decimals it shows: cutting them rounds
// what every page holds, and the totals add the rounded amounts.
TEST_F(AcrossPages, CuttingDecimalsLeavesTotalsAddingWhatTheCellsShow) {
    CReportHandle* r = InterpTest::makeReport(QStringLiteral("decimals.rep"), 8, 3, 2);
    ASSERT_EQ(r->EnterFormatState(), 0);
    int32_t two = 2;
    const CellArea amounts = CellArea::area(2, 3, 7, 3);
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtDecimals, &two, &amounts), 0);
    CellArea c8 = CellArea::cell(8, 3);
    ASSERT_EQ(r->SetAreaFormula(&c8, QStringLiteral("PTOTAL(C2:C7)")), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    for (int p = 1; p <= 2; ++p)
        for (int row = 2; row <= 7; ++row) setNumber(r, p, row, 3, 1020.5 + (row - 2) * 10 + p);
    ASSERT_EQ(r->SetCurPage(1), 0);
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_DOUBLE_EQ(number(r, 1, 8, 3), 6273 + 6);

    // Three times one decimal fewer, then once more with none to cut.
    for (int step = 0; step < 3; ++step) {
        ASSERT_EQ(r->EnterFormatState(), 0);
        int32_t d = std::max(0, 1 - step);
        ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtDecimals, &d, &amounts), 0);
        ASSERT_EQ(r->EnterDataState(), 0);
    }
    for (int p = 1; p <= 2; ++p) {
        double shown = 0;
        for (int row = 2; row <= 7; ++row) shown += number(r, p, row, 3);
        EXPECT_EQ(number(r, p, 2, 3), 1021 + p) << p;
        EXPECT_EQ(number(r, p, 8, 3), shown) << p;
    }
    // The amounts are what the file keeps: more decimals show no more.
    ASSERT_EQ(r->EnterFormatState(), 0);
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtDecimals, &two, &amounts), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    EXPECT_EQ(number(r, 1, 2, 3), 1022);
    // A cut that is cancelled rounds nothing.
    ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(3.75), 2, 3, 1), 0);
    ASSERT_EQ(r->EnterFormatState(), 0);
    int32_t none = 0;
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtDecimals, &none, &amounts), 0);
    ASSERT_EQ(r->CancelFormatState(), 0);
    EXPECT_EQ(number(r, 1, 2, 3), 3.75);
}

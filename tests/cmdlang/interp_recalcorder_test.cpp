// The order formulas are worked out in: chains across many pages in either
// direction and down one page settle in one recalculation, a formula that
// reads itself through any path fails however its value behaves (and
// recovers when the loop is broken), statistics over pages with keyword
// conditions stay right, and an edit works out only what reads it.
#include "interp_support.h"

using namespace interp;

namespace {

class RecalcOrder : public InterpTest {
protected:
    // A report whose format holds the formulas given as (row, col, text).
    CReportHandle* withFormulas(const char* name, int rows, int cols, int pages,
                                const std::vector<std::tuple<int, int, QString>>& formulas) {
        CReportHandle* r = makeReport(QString::fromLatin1(name), rows, cols, pages);
        EXPECT_EQ(r->EnterFormatState(), 0);
        for (const auto& [row, col, text] : formulas) {
            CellArea a = CellArea::cell(row, col);
            EXPECT_EQ(r->SetAreaFormula(&a, text), 0) << text.toStdString();
        }
        EXPECT_EQ(r->EnterDataState(), 0);
        EXPECT_EQ(r->SetCurPage(1), 0);
        return r;
    }
    static void reformula(CReportHandle* r, int row, int col, const QString& text) {
        ASSERT_EQ(r->EnterFormatState(), 0);
        CellArea a = CellArea::cell(row, col);
        ASSERT_EQ(r->SetAreaFormula(&a, text), 0);
        ASSERT_EQ(r->EnterDataState(), 0);
        ASSERT_EQ(r->SetCurPage(1), 0);
    }
    static bool failed(CReportHandle* r, int page, int row, int col) {
        return r->GetPage(page)->Slot(uint16_t(row), uint16_t(col)).flags & qor::kSlotFormulaError;
    }
    static void edit(CReportHandle* r, int page, int row, int col, double v) {
        setNumber(r, page, row, col, v);
        ASSERT_EQ(r->RecalcDependents(page, row, col), 0);
    }
};

constexpr int kChain = 300;

}  // namespace

// Page r's B(r) reads the next page's B(r+1); the last page holds the
// value. Every page is a step of the chain, and the first page sees the
// whole of it.
TEST_F(RecalcOrder, AChainReadingTheNextPageSettlesAtOnce) {
    std::vector<std::tuple<int, int, QString>> formulas;
    for (int row = 1; row < kChain; ++row)
        formulas.emplace_back(row, 2, QStringLiteral("B%1@%1+1").arg(row + 1));
    CReportHandle* r = withFormulas("next.rep", kChain, 2, kChain, formulas);
    setNumber(r, kChain, kChain, 2, 1);
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 0) << r->RecalcFailureText().toStdString();
    EXPECT_EQ(number(r, 1, 1, 2), kChain);
    EXPECT_EQ(number(r, 150, 150, 2), kChain - 149);
    EXPECT_EQ(number(r, 7, 1, 2), kChain);  // page 7 reads the same pages
    // An edit at the far end reaches the first page, with nothing failed
    // and nothing left behind.
    edit(r, kChain, kChain, 2, 101);
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 0);
    EXPECT_EQ(number(r, 1, 1, 2), kChain + 100);
    EXPECT_EQ(number(r, kChain - 1, kChain - 1, 2), 102);
}

TEST_F(RecalcOrder, AChainReadingThePreviousPageSettlesAtOnce) {
    std::vector<std::tuple<int, int, QString>> formulas;
    for (int row = 2; row <= kChain; ++row)
        formulas.emplace_back(row, 2, QStringLiteral("B%1@%1+1").arg(row - 1));
    CReportHandle* r = withFormulas("previous.rep", kChain, 2, kChain, formulas);
    setNumber(r, 1, 1, 2, 1);
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 0) << r->RecalcFailureText().toStdString();
    EXPECT_EQ(number(r, kChain, kChain, 2), kChain);
    edit(r, 1, 1, 2, -1000);
    EXPECT_EQ(number(r, kChain, kChain, 2), kChain - 1001);
    EXPECT_EQ(number(r, 1, kChain, 2), kChain - 1001);
}

// A(n) = A(n-1)@1 + B(n): each cell reads the one above it on page 1 by
// number, 2,000 deep, entered from the top and from the bottom (the order
// of the list is the order the cells are first met in).
TEST_F(RecalcOrder, AChainDownOnePageByPageNumberSettles) {
    constexpr int kRows = 2000;
    for (const bool topDown : {true, false}) {
        SCOPED_TRACE(topDown ? "top down" : "bottom up");
        std::vector<std::tuple<int, int, QString>> formulas;
        for (int row = 2; row <= kRows; ++row) {
            const int n = topDown ? row : kRows + 2 - row;
            formulas.emplace_back(n, 1, QStringLiteral("A%1@1+B%2").arg(n - 1).arg(n));
        }
        CReportHandle* r =
            withFormulas(topDown ? "down.rep" : "up.rep", kRows, 2, 2, formulas);
        for (int p = 1; p <= 2; ++p)
            for (int row = 1; row <= kRows; ++row) setNumber(r, p, row, 2, p);
        setNumber(r, 1, 1, 1, 10);
        ASSERT_EQ(r->RecalcAll(), 0);
        EXPECT_EQ(r->LastRecalcSummary().errorCells, 0) << r->RecalcFailureText().toStdString();
        EXPECT_EQ(number(r, 1, kRows, 1), 10 + kRows - 1);
        // Page 2 adds its own B to page 1's column A.
        EXPECT_EQ(number(r, 2, kRows, 1), 10 + kRows - 2 + 2);
        edit(r, 1, 1, 1, 20);
        EXPECT_EQ(number(r, 1, kRows, 1), 20 + kRows - 1);
        EXPECT_EQ(number(r, 2, kRows, 1), 20 + kRows - 2 + 2);
    }
}

// Whether its value would stand still, settle or run away, a formula that
// reads itself fails, and it comes back when the loop is broken.
TEST_F(RecalcOrder, AFormulaReadingItselfFailsHoweverItsValueBehaves) {
    CReportHandle* r = withFormulas("self.rep", 3, 3, 2,
                                    {{1, 1, QStringLiteral("A1@1+A2")},     // stands still
                                     {1, 2, QStringLiteral("B1@1*2+1")}});  // runs away
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_TRUE(failed(r, 1, 1, 1));
    EXPECT_TRUE(failed(r, 1, 1, 2));
    EXPECT_TRUE(failed(r, 2, 1, 1));  // reads the failed cell of page 1
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 4);
    // The same after a value comes and goes: no history.
    edit(r, 1, 2, 1, 5);
    EXPECT_TRUE(failed(r, 1, 1, 1));
    ASSERT_EQ(r->SetCellValue(CellValue{}, 2, 1, 1), 0);
    ASSERT_EQ(r->RecalcDependents(1, 2, 1), 0);
    EXPECT_TRUE(failed(r, 1, 1, 1));
    EXPECT_TRUE(failed(r, 2, 1, 1));

    reformula(r, 1, 1, QStringLiteral("A2@1+1"));
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_FALSE(failed(r, 1, 1, 1));
    EXPECT_FALSE(failed(r, 2, 1, 1));
    EXPECT_EQ(number(r, 2, 1, 1), 1);
    EXPECT_TRUE(failed(r, 1, 1, 2));
}

// B1 = TOTAL(C1)/100+1 with C1 = B1@1 would settle near 1.43 if it were
// run round until it stopped moving: it is a loop through every page.
TEST_F(RecalcOrder, ALoopThroughATotalOverPagesFails) {
    CReportHandle* r = withFormulas("converge.rep", 2, 3, 30,
                                    {{1, 2, QStringLiteral("TOTAL(C1)/100+1")},
                                     {1, 3, QStringLiteral("B1@1")}});
    ASSERT_EQ(r->RecalcAll(), 0);
    for (int p : {1, 2, 30}) {
        EXPECT_TRUE(failed(r, p, 1, 2)) << p;
        EXPECT_TRUE(failed(r, p, 1, 3)) << p;
    }
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 60);
    EXPECT_GT(r->LastRecalcSummary().cyclicCells, 0);
    reformula(r, 1, 3, QStringLiteral("A1+5"));
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_EQ(r->LastRecalcSummary().errorCells, 0);
    EXPECT_DOUBLE_EQ(number(r, 17, 1, 2), 30 * 5 / 100.0 + 1);
}

// Totals, counts, averages and extremes over pages, with and without a
// keyword condition, after edits and keyword changes; an area formula whose
// condition moves with its target keeps one result per target.
TEST_F(RecalcOrder, StatisticsOverPagesFollowValuesAndKeywords) {
    const QString year = QStringLiteral("年");
    CReportHandle* r = withFormulas(
        "stats.rep", 6, 6, 4,
        {{1, 3, QStringLiteral("TOTAL(B1)")},
         {2, 3, QStringLiteral("TOTAL(B1,%1=2004)").arg(year)},
         {3, 3, QStringLiteral("COUNT(B1,%1=2004)").arg(year)},
         {4, 3, QStringLiteral("AVG(B1)")},
         {5, 3, QStringLiteral("MAX(B1)-MIN(B1)")},
         {6, 3, QStringLiteral("C2*2")}});
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea d = CellArea::area(1, 4, 2, 4);
    ASSERT_EQ(r->SetAreaFormula(&d, QStringLiteral("TOTAL(B1, A1>0)")), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    const double b1[] = {10, 20, 30, 40};
    for (int p = 1; p <= 4; ++p) {
        setNumber(r, p, 1, 2, b1[p - 1]);
        setKeyword(r, p, kYear, p % 2 ? 2004 : 2005);
        setNumber(r, p, p <= 2 ? 1 : 2, 1, 1);  // A1 on pages 1-2, A2 on pages 3-4
    }
    ASSERT_EQ(r->RecalcAll(), 0);
    const auto expectAll = [&](double total, double year2004, double count, double avg,
                               double spread, double d1, double d2, const char* when) {
        SCOPED_TRACE(when);
        for (int p = 1; p <= 4; ++p) {
            EXPECT_EQ(number(r, p, 1, 3), total) << p;
            EXPECT_EQ(number(r, p, 2, 3), year2004) << p;
            EXPECT_EQ(number(r, p, 3, 3), count) << p;
            EXPECT_EQ(number(r, p, 4, 3), avg) << p;
            EXPECT_EQ(number(r, p, 5, 3), spread) << p;
            EXPECT_EQ(number(r, p, 6, 3), 2 * year2004) << p;
            EXPECT_EQ(number(r, p, 1, 4), d1) << p;
            EXPECT_EQ(number(r, p, 2, 4), d2) << p;
        }
    };
    expectAll(100, 40, 2, 25, 30, 30, 70, "first");
    edit(r, 3, 1, 2, 35);
    expectAll(105, 45, 2, 26.25, 30, 30, 75, "page 3 B1");
    setKeyword(r, 2, kYear, 2004);
    ASSERT_EQ(r->RecalcPage(2), 0);
    expectAll(105, 65, 3, 26.25, 30, 30, 75, "page 2 joins 2004");
    edit(r, 4, 1, 2, 0);
    expectAll(65, 65, 3, 16.25, 35, 30, 35, "page 4 B1 cleared to 0");
}

// A change works out the cells that read it and nothing else.
TEST_F(RecalcOrder, AnEditWorksOutOnlyWhatReadsIt) {
    CReportHandle* r = withFormulas("reach.rep", 6, 4, 50,
                                    {{4, 3, QStringLiteral("TOTAL(B4)")},
                                     {5, 3, QStringLiteral("AVG(B5)")},
                                     {6, 3, QStringLiteral("B6*2")},
                                     {1, 4, QStringLiteral("B1@7")}});
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_EQ(r->LastRecalcSummary().cells, 4 * 50);
    edit(r, 3, 4, 2, 5);
    EXPECT_EQ(r->LastRecalcSummary().cells, 50);  // C4 on every page
    EXPECT_EQ(number(r, 44, 4, 3), 5);
    edit(r, 3, 6, 2, 5);
    EXPECT_EQ(r->LastRecalcSummary().cells, 1);  // C6 of page 3
    edit(r, 3, 1, 1, 5);
    EXPECT_EQ(r->LastRecalcSummary().cells, 0);  // nothing reads A1
    edit(r, 3, 1, 2, 5);
    EXPECT_EQ(r->LastRecalcSummary().cells, 0);  // D1 reads B1 of page 7 only
    edit(r, 7, 1, 2, 9);
    EXPECT_EQ(r->LastRecalcSummary().cells, 50);
    EXPECT_EQ(number(r, 50, 1, 4), 9);
}

// A script works out what its lines changed before the first value a
// command reads, not before every command: FIND by page number and LET of
// a constant read nothing, so a loop of them works nothing out, and the
// first read sees every write before it.
TEST_F(RecalcOrder, AScriptWorksOutItsChangesAtItsFirstRead) {
    CReportHandle* r = withFormulas("script.rep", 6, 4, 20,
                                    {{4, 3, QStringLiteral("TOTAL(B4)")},
                                     {1, 4, QStringLiteral("B1@3*2")}});
    ASSERT_EQ(r->RecalcAll(), 0);
    ci->SetReport(r);
    const uint64_t before = r->RecalcRuns();
    for (int page = 5; page <= 8; ++page) {
        ok(QStringLiteral("FIND FOR MRECNO()=%1").arg(page));
        ok(QStringLiteral("LET B4 = %1").arg(page));
    }
    EXPECT_EQ(r->RecalcRuns(), before);
    EXPECT_FALSE(r->ValuesCurrent());
    ok(QStringLiteral("LET X = C4"));
    EXPECT_EQ(variable(QStringLiteral("X")), 5 + 6 + 7 + 8);
    EXPECT_EQ(r->RecalcRuns(), before + 1);
    // A condition reading a formula cell sees the write of the line before.
    ok(QStringLiteral("FIND FOR MRECNO()=3"));
    ok(QStringLiteral("LET B1 = 4"));
    ok(QStringLiteral("FIND FOR D1 = 8"));
    EXPECT_EQ(ci->FoundPages(), 20);
    // A page reference reads the total as the last write left it.
    ok(QStringLiteral("FIND FOR MRECNO()=9"));
    ok(QStringLiteral("LET B4 = 100"));
    ok(QStringLiteral("LET Y = C4@20"));
    EXPECT_EQ(variable(QStringLiteral("Y")), 126);
}

// A read of what no formula computes (an amount typed in, a keyword, a
// variable line, the lines a page uses) waits for nothing: a loop that
// reads one on each page and writes another works nothing out until it
// reads a formula's cell, which then sees every write before it.
TEST_F(RecalcOrder, ReadingWhatNoFormulaComputesWorksNothingOut) {
    CReportHandle* r = makeReport("plainreads.rep", 6, 4, 12, 1, 3);
    ASSERT_EQ(r->EnterFormatState(), 0);
    for (const auto& [row, col, text] :
         std::vector<std::tuple<int, int, QString>>{{4, 3, QStringLiteral("GTOTAL(V_C)")},
                                                    {5, 3, QStringLiteral("TOTAL(C4)")},
                                                    {5, 4, QStringLiteral("TOTAL(B5)")},
                                                    {6, 4, QStringLiteral("B6*2")}}) {
        CellArea a = CellArea::cell(row, col);
        ASSERT_EQ(r->SetAreaFormula(&a, text), 0);
    }
    ASSERT_EQ(r->EnterDataState(), 0);
    for (int page = 1; page <= 12; ++page) {
        setNumber(r, page, 1, 1, page);
        setKeyword(r, page, 2, 2000 + page);
    }
    ASSERT_EQ(r->RecalcAll(), 0);
    ci->SetReport(r);
    const uint64_t before = r->RecalcRuns();
    for (int page = 1; page <= 12; ++page) {
        ok(QStringLiteral("FIND FOR 年=%1").arg(2000 + page));
        ok(QStringLiteral("LET V_C1 = A1*10"));
        ok(QStringLiteral("LET B5 = V_C1 + A1"));
        ok(QStringLiteral("LET B6 = B5 FOR 年 > 2006"));
    }
    EXPECT_EQ(r->RecalcRuns(), before);
    ok(QStringLiteral("LET X = D5"));
    EXPECT_EQ(variable(QStringLiteral("X")), 11 * 78);
    EXPECT_EQ(r->RecalcRuns(), before + 1);
    ok(QStringLiteral("LET Y = C5@3"));
    EXPECT_EQ(variable(QStringLiteral("Y")), 780);
    EXPECT_EQ(number(r, 12, 6, 4), 2 * 132);
    EXPECT_EQ(number(r, 6, 6, 4), 0);
    EXPECT_EQ(r->RecalcRuns(), before + 1);

    // A host's read: an amount or a line waits for nothing, a formula's cell
    // sees the write before it.
    setNumber(r, 2, 5, 2, 1000);
    CellValue v;
    ASSERT_EQ(r->GetCellValue(&v, 1, 1, 4), 0);
    EXPECT_EQ(v.number, 4);
    ASSERT_EQ(r->GetCellValue(&v, 3, 3, 4), 0);
    EXPECT_EQ(v.number, 40);
    EXPECT_EQ(r->RecalcRuns(), before + 1);
    ASSERT_EQ(r->GetCellValue(&v, 5, 4, 4), 0);
    EXPECT_EQ(v.number, 11 * 78 - 22 + 1000);
    EXPECT_EQ(r->RecalcRuns(), before + 2);
}

// TOTAL and GTOTAL: what the result page holds, into this report and into a
// new one, by position and by key, with the page and line conditions.
#include "engine/cellformat.h"
#include "interp_support.h"

using namespace interp;

namespace {

// Five pages. Rows 1-3 fixed, row 4 the variable area (A key, B amount),
// row 5 fixed:
//   A1 numbers 10..50, B1 the formula A1*2, C1 a character cell "元" on
//   every page, A2 1.5, C2 a character cell that differs, A3 a label, B3
//   the total formula "TOTAL A1/5", A5 1.
class TotalTest : public InterpTest {
protected:
    void SetUp() override {
        InterpTest::SetUp();
        auto h = std::make_unique<CReportHandle>(dir + "/total.rep");
        r = h.get();
        uint16_t rows = 5, cols = 3;
        ASSERT_EQ(r->AccessTableSize(1, &rows, &cols), 0);
        int kind = 1, start = 4, extent = 3;
        ASSERT_EQ(r->AccessVarArea(1, &kind, &start, &extent), 0);
        int32_t charKind = kCellText;
        CellArea c1c2 = CellArea::area(1, 3, 2, 3);
        ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &charKind, &c1c2), 0);
        ASSERT_EQ(r->SetCellValue(CellValue{kCellLabel, 0, "合计"}, 3, 1, 0), 0);
        CellArea b1 = CellArea::cell(1, 2), b3 = CellArea::cell(3, 2);
        ASSERT_EQ(r->SetAreaFormula(&b1, "A1*2"), 0);
        ASSERT_EQ(r->SetAreaFormula(&b3, "TOTAL A1/5"), 0);
        ASSERT_EQ(r->EnterDataState(), 0);
        ASSERT_EQ(r->AppendRowColPage(5, 2), 0);
        const int years[] = {2004, 2004, 2003, 2004, 2003};
        const std::vector<std::vector<std::pair<double, double>>> lines = {
            {{1, 100}, {2, 200}}, {{2, 20}, {3, 30}}, {{1, 5}}, {{3, 3}, {1, 1}, {2, 2}}, {}};
        for (int p = 1; p <= 5; ++p) {
            ASSERT_EQ(r->SetCurPage(p), 0);
            setKeyword(r, p, kYear, years[p - 1]);
            setKeyword(r, p, kName, QStringLiteral("unit%1").arg(p));
            setNumber(r, p, 1, 1, p * 10);
            ASSERT_EQ(r->SetCellValue(CellValue::ofText("元"), 1, 3, p), 0);
            setNumber(r, p, 2, 1, 1.5);
            ASSERT_EQ(r->SetCellValue(CellValue::ofText(QStringLiteral("p%1").arg(p)), 2, 3, p), 0);
            const auto& l = lines[size_t(p - 1)];
            int n = std::max<int>(1, int(l.size()));
            ASSERT_EQ(r->AccessVarCount(1, &n), 0);
            for (size_t i = 0; i < l.size(); ++i) {
                setNumber(r, p, 4 + int(i), 1, l[i].first);
                setNumber(r, p, 4 + int(i), 2, l[i].second);
            }
            setNumber(r, p, 4 + n, 1, 1);  // A5
        }
        ASSERT_EQ(r->RecalcAll(), 0);
        ASSERT_EQ(r->SetCurPage(1), 0);
        reports.push_back(std::move(h));
        ci->SetReport(r);
    }

    // The variable lines of a page as (A, B) pairs.
    static std::vector<std::pair<double, double>> lines(CReportHandle* rep, int page) {
        EXPECT_EQ(rep->SetCurPage(page), 0);
        int n = 0;
        EXPECT_EQ(rep->AccessVarCount(0, &n), 0);
        std::vector<std::pair<double, double>> out;
        for (int i = 0; i < n; ++i)
            out.push_back({number(rep, page, 4 + i, 1), number(rep, page, 4 + i, 2)});
        return out;
    }
    static QString text(CReportHandle* rep, int page, int row, int col) {
        return rep->GetCellText(row, col, page);
    }

    CReportHandle* r = nullptr;
};

using Lines = std::vector<std::pair<double, double>>;

}  // namespace

TEST_F(TotalTest, BareTotalAppendsTheSumOfEveryPage) {
    int shownPage = 0;
    ci->SetDocument(fakeDocument());
    qor::cmd::CalcDocumentHooks hooks;
    hooks.showPage = [&](CQorsDoc*, int page) { shownPage = page; };
    ci->SetDocumentHooks(hooks);

    ok("TOTAL ");
    ASSERT_EQ(r->GetPageCount(), 6);
    EXPECT_EQ(r->GetCurPage(), 6);
    EXPECT_EQ(shownPage, 6);
    EXPECT_EQ(number(r, 6, 1, 1), 150);
    EXPECT_EQ(number(r, 6, 1, 2), 300);  // formula cells add as values
    EXPECT_EQ(text(r, 6, 1, 3), "元");   // the same text everywhere stays
    EXPECT_EQ(text(r, 6, 2, 3), "");     // differing texts do not
    EXPECT_EQ(number(r, 6, 2, 1), 7.5);
    EXPECT_EQ(text(r, 6, 3, 1), "合计");
    EXPECT_EQ(number(r, 6, 3, 2), 30);  // TOTAL A1/5 on the result
    // Line i adds to line i; the longest page decides the count.
    EXPECT_EQ(lines(r, 6), (Lines{{7, 128}, {6, 231}, {2, 2}}));
    EXPECT_EQ(number(r, 6, 7, 1), 5);  // A5 below three lines
    for (int slot = 0; slot < 7; ++slot) EXPECT_FALSE(keyword(r, 6, slot).isValid());
    // The pages added up are untouched.
    EXPECT_EQ(number(r, 1, 1, 1), 10);
    EXPECT_EQ(lines(r, 1), (Lines{{1, 100}, {2, 200}}));
}

TEST_F(TotalTest, ForKeyAndToNewReport) {
    ok("TOTAL FOR 年=2004");
    ASSERT_EQ(r->GetPageCount(), 6);
    EXPECT_EQ(number(r, 6, 1, 1), 70);
    EXPECT_EQ(lines(r, 6), (Lines{{6, 123}, {6, 231}, {2, 2}}));

    // The wizard's own text: a new report, grouped by V_A, two blanks.
    ok("TOTAL TO \"sum\"  KEY V_A FOR 年=2004");
    EXPECT_EQ(r->GetPageCount(), 6);
    CReportHandle sum(dir + "/sum.rep", CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(sum.IsOpen());
    ASSERT_FALSE(sum.IsFormatState());
    EXPECT_EQ(sum.GetPageCount(), 1);
    EXPECT_EQ(sum.GetRowCount(), 5);
    EXPECT_EQ(number(&sum, 1, 1, 1), 70);
    EXPECT_EQ(lines(&sum, 1), (Lines{{1, 101}, {2, 222}, {3, 33}}));
    EXPECT_EQ(number(&sum, 1, 3, 2), 14);    // its own TOTAL A1/5
    EXPECT_EQ(text(&sum, 1, 3, 1), "合计");  // the format came along

    // An existing report is never replaced.
    fails("TOTAL TO \"sum\"", CALC_ERR_FILE);
    EXPECT_EQ(r->GetPageCount(), 6);
    fails("TOTAL KEY V_1", CALC_ERR_BAD_ARGUMENT);
    fails("TOTAL FOR 月>", CALC_ERR_SYNTAX);
}

TEST_F(TotalTest, GTotalAddsTheLinesThatPass) {
    ok("GTOTAL FOR ; V_B>=100");
    ASSERT_EQ(r->GetPageCount(), 6);
    EXPECT_EQ(lines(r, 6), (Lines{{3, 300}}));
    EXPECT_EQ(number(r, 6, 1, 1), 150);  // the fixed part as TOTAL

    ok("GTOTAL FOR 年=2004; V_A=2");
    EXPECT_EQ(lines(r, 7), (Lines{{6, 222}}));
    EXPECT_EQ(number(r, 7, 1, 1), 70);

    // Every line of every page, the two results before included.
    ok("GTOTAL ");
    EXPECT_EQ(lines(r, 8), (Lines{{15 + 3 + 6, 361 + 300 + 222}}));
}

TEST_F(TotalTest, RefusalsChangeNothing) {
    CReportHandle* plain = makeReport("plain.rep", 3, 2, 2);
    ci->SetReport(plain);
    fails("GTOTAL FOR ; V_A>1", CALC_ERR_NO_VAR_AREA);
    fails("TOTAL KEY V_A", CALC_ERR_NO_VAR_AREA);
    EXPECT_EQ(plain->GetPageCount(), 2);

    // A total formula that fails takes its result page with it.
    ci->SetReport(r);
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea b3 = CellArea::cell(3, 2);
    ASSERT_EQ(r->SetAreaFormula(&b3, "TOTAL A1/(A2-A2)"), 0);
    fails("TOTAL ", CALC_ERR_FORMAT_STATE);
    ASSERT_EQ(r->EnterDataState(), 0);
    fails("TOTAL ", CALC_ERR_EVALUATION);
    EXPECT_TRUE(ci->LastErrorText().startsWith("B3")) << ci->LastErrorText().toStdString();
    EXPECT_EQ(r->GetPageCount(), 5);
}

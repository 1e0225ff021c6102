// A cell whose formula failed holds no amount: every command that reads
// cells' values either refuses (206 naming the page and the cell) or
// carries the cell over, keeps its mark and tells the run.
#include "interp_support.h"

#include "engine/cellformat.h"

using namespace interp;

namespace {

class FailedCellTest : public InterpTest {
protected:
    // Two pages of 4 x 3. C2 = A1/A2 and B1 = C2*1: page 1 (A2 = 0) fails
    // in both, C2 computed first; page 2 gives 5.
    void SetUp() override {
        InterpTest::SetUp();
        auto h = std::make_unique<CReportHandle>(dir + "/r.rep");
        r = h.get();
        uint16_t rows = 4, cols = 3;
        ASSERT_EQ(r->AccessTableSize(1, &rows, &cols), 0);
        CellArea b1 = CellArea::cell(1, 2), c2 = CellArea::cell(2, 3);
        ASSERT_EQ(r->SetAreaFormula(&b1, "C2*1"), 0);
        ASSERT_EQ(r->SetAreaFormula(&c2, "A1/A2"), 0);
        ASSERT_EQ(r->SetAuditFormulas("B1>=0"), 0);
        ASSERT_EQ(r->SetRoundingSettings({QString(), "A1:C4", 2, "A4=B4+C4"}), 0);
        ASSERT_EQ(r->EnterDataState(), 0);
        ASSERT_EQ(r->AppendRowColPage(2, 2), 0);
        for (int p = 1; p <= 2; ++p) {
            setNumber(r, p, 1, 1, 10);
            setNumber(r, p, 2, 1, p == 1 ? 0 : 2);
        }
        ASSERT_EQ(r->SetCurPage(1), 0);
        reports.push_back(std::move(h));
        ci->SetReport(r);
    }

    int notes() const { return ci->FailedCellNotes(); }
    QString told() const { return ci->LastFailedCellsText(); }

    CReportHandle* r = nullptr;
};

}  // namespace

TEST_F(FailedCellTest, EveryCommandReadingValuesRefusesOrTells) {
    // RECALC goes on, and names the first failed cell by position, not
    // the one computed first.
    ok("RECALC ALL");
    ASSERT_EQ(notes(), 1);
    EXPECT_TRUE(told().contains(QStringLiteral("重算后有 2 个单元的公式计算失败，第一个在第1页 B1 单元")))
        << told().toStdString();
    ASSERT_TRUE(r->CellValueFailed(1, 2, 1));
    EXPECT_FALSE(r->CellValueFailed(1, 2, 2));

    // Commands that take the cell as a condition, an amount or a key
    // refuse, naming the page and the cell, and change nothing.
    for (const char* line : {"FIND FOR B1>0", "DELETE FOR B1>0", "LET &x = B1",
                             "LET A3 = B1+1", "SORT PAGES BY B1", "ROUND"}) {
        SCOPED_TRACE(line);
        fails(QString::fromUtf8(line), CALC_ERR_EVALUATION);
        EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("B1")))
            << ci->LastErrorText().toStdString();
        if (!QByteArray(line).startsWith("LET")) {  // LET works on the current page
            EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("第1页")))
                << ci->LastErrorText().toStdString();
        }
    }
    EXPECT_EQ(r->GetPageCount(), 2);
    EXPECT_EQ(number(r, 2, 1, 2), 5);  // SORT left the pages where they were
    fails("CHECK ALL", CALC_ERR_CHECK_FAILED);

    // TOTAL leaves the failed cells out, marks the result cells failed and
    // tells how many and the first.
    ok("TOTAL FOR MRECNO()>0");
    ASSERT_EQ(r->GetPageCount(), 3);
    EXPECT_EQ(notes(), 2);
    EXPECT_TRUE(told().contains(QStringLiteral("TOTAL")));
    EXPECT_TRUE(told().contains(QStringLiteral("2 个")) &&
                told().contains(QStringLiteral("第一个在第1页 B1 单元")))
        << told().toStdString();
    // The formulas are worked out on the result page from its sums (A1
    // 20, A2 2), as on every page.
    EXPECT_EQ(number(r, 3, 1, 2), 10);
    EXPECT_FALSE(r->CellValueFailed(1, 2, 3));
    EXPECT_FALSE(r->CellValueFailed(2, 3, 3));
    EXPECT_FALSE(r->CellValueFailed(1, 1, 3));
    EXPECT_EQ(number(r, 3, 1, 1), 20);

    // APPEND copies the cell with its mark and tells.
    ok("APPEND FROM \"r.rep\" FOR MRECNO()=1");
    ASSERT_EQ(r->GetPageCount(), 4);
    EXPECT_EQ(notes(), 3);
    EXPECT_TRUE(told().contains(QStringLiteral("APPEND"))) << told().toStdString();
    EXPECT_TRUE(told().contains(QStringLiteral("照样复制"))) << told().toStdString();
    EXPECT_FALSE(told().contains(QStringLiteral("合计"))) << told().toStdString();
    EXPECT_TRUE(r->CellValueFailed(1, 2, 4));

    // A sound source tells nothing; a value written into a marked cell
    // clears the mark.
    ok("APPEND FROM \"r.rep\" FOR MRECNO()=2");
    EXPECT_EQ(notes(), 3);
    ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(7), 1, 2, 4, 0, 1), 0);
    EXPECT_FALSE(r->CellValueFailed(1, 2, 4));
}

TEST_F(FailedCellTest, RoundReadsATextAddendByItsNumber) {
    ASSERT_EQ(r->EnterFormatState(), 0);
    int32_t text = kCellText;
    CellArea c4 = CellArea::cell(4, 3);
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &text, &c4), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    ASSERT_EQ(r->SetCurPage(2), 0);  // the page whose formulas hold
    ok("RECALC");
    setNumber(r, 2, 4, 1, 1600);
    setNumber(r, 2, 4, 2, 1100);
    ASSERT_EQ(r->SetCellValue(CellValue::ofText("500.1"), 4, 3, 2), 0);
    ok("ROUND");
    // 16 = 11 + 5: nothing to move; read as no amount B4 would take 16.
    EXPECT_DOUBLE_EQ(number(r, 2, 4, 2), 11);
    EXPECT_DOUBLE_EQ(number(r, 2, 4, 1), 16);

    ASSERT_EQ(r->SetCellValue(CellValue::ofText("abc"), 4, 3, 2), 0);
    fails("ROUND", CALC_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("abc"))) << ci->LastErrorText().toStdString();
}

TEST_F(InterpTest, GTotalLeavesAFailedCellOutAndMarksItsTotal) {
    auto h = std::make_unique<CReportHandle>(dir + "/var.rep");
    CReportHandle* v = h.get();
    reports.push_back(std::move(h));
    uint16_t rows = 3, cols = 2;
    ASSERT_EQ(v->AccessTableSize(1, &rows, &cols), 0);
    int kind = 1, start = 3, extent = 1;
    ASSERT_EQ(v->AccessVarArea(1, &kind, &start, &extent), 0);
    CellArea b1 = CellArea::cell(1, 2);
    ASSERT_EQ(v->SetAreaFormula(&b1, "A1/A2"), 0);
    ASSERT_EQ(v->EnterDataState(), 0);
    ASSERT_EQ(v->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 2; ++p) {
        setNumber(v, p, 1, 1, 1);
        setNumber(v, p, 2, 1, p == 1 ? 0 : 4);
        setNumber(v, p, 3, 1, p);
    }
    ASSERT_EQ(v->SetCurPage(1), 0);
    ci->SetReport(v);
    ok("RECALC ALL");
    ok("GTOTAL");
    ASSERT_EQ(v->GetPageCount(), 3);
    EXPECT_EQ(ci->FailedCellNotes(), 2);
    EXPECT_TRUE(ci->LastFailedCellsText().contains(QStringLiteral("第一个在第1页 B1 单元")))
        << ci->LastFailedCellsText().toStdString();
    // B1 is a formula: worked out on the result page (A1 2, A2 4).
    EXPECT_DOUBLE_EQ(number(v, 3, 1, 2), 0.5);
    EXPECT_FALSE(v->CellValueFailed(1, 2, 3));
    EXPECT_DOUBLE_EQ(number(v, 3, 3, 1), 3);
}

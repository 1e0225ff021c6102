// LET on V_ names: a column of every used line, or one line, of the current
// page's variable area; what it cannot write is refused with the reason.
#include "engine/messages.h"
#include "interp_support.h"

using namespace interp;

TEST_F(InterpTest, LetWritesTheLinesOfTheVariableArea) {
    // Rows 1-2 fixed, row 3 the area (A..C), row 4 fixed with C4 = GTOTAL(V_C).
    auto h = std::make_unique<CReportHandle>(dir + "/let.rep");
    uint16_t rows = 4, cols = 3;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    int kind = 1, start = 3, extent = 5;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    CellArea total = CellArea::cell(4, 3);
    ASSERT_EQ(h->SetAreaFormula(&total, "GTOTAL(V_C)"), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(h->SetCurPage(1), 0);
    int three = 3;
    ASSERT_EQ(h->AccessVarCount(1, &three), 0);
    CReportHandle* r = h.get();
    ci->SetReport(r);

    ok("LET V_A = 2");
    ok("LET V_B = 0");
    ok("LET V_B2 = 10");
    // Each line computed with its own V_ names; the FOR clause per line too.
    ok("LET V_C = V_A * V_B");
    EXPECT_EQ(number(r, 1, 3, 3), 0);
    EXPECT_EQ(number(r, 1, 4, 3), 20);
    EXPECT_EQ(number(r, 1, 5, 3), 0);
    EXPECT_EQ(number(r, 1, 6, 3), 20);  // the total followed
    ok("LET V_C = 1 FOR V_B = 0");
    EXPECT_EQ(number(r, 1, 3, 3), 1);
    EXPECT_EQ(number(r, 1, 4, 3), 20);
    EXPECT_EQ(number(r, 1, 5, 3), 1);
    EXPECT_EQ(number(r, 1, 6, 3), 22);
    // Lines and pages stay as they were: another page keeps its one line.
    EXPECT_TRUE(empty(r, 2, 3, 1));

    // Forms the area cannot take, each with its reason.
    fails("LET V_B4 = 1", 1075);
    EXPECT_EQ(ci->LastErrorText().contains(LoadErrorText(qor::str::kVarPositionMissing).arg(4).arg(2)), true)
        << ci->LastErrorText().toStdString();
    fails("LET V_D = 1", 1075);
    fails("LET V_2 = 1", CALC_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(ci->LastErrorText().contains(LoadErrorText(qor::str::kVarRowsNameColumns)));
}

TEST_F(InterpTest, LetOnVNamesNeedsAnArea) {
    CReportHandle* r = makeReport("none.rep", 4, 3, 1);
    ci->SetReport(r);
    fails("LET V_B = 1", CALC_ERR_NO_VAR_AREA);
    // The parse refuses a name that is no variable-area name.
    fails("LET V_B0 = 1", CALC_ERR_SYNTAX);
}

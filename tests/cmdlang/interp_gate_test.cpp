// The command language's routes into a cell (LET, arithmetic, RECALC,
// APPEND FROM, INDB) meet the one gate: the same hostile values are stored
// by the number rule or refused with the cell and the text named.
#include "cmdlang/value.h"
#include "engine/cellformat.h"
#include "engine/cellgate.h"
#include "interp_support.h"

using namespace interp;

namespace {

// Column A numbers, column B texts.
CReportHandle* kinds(InterpTest& t, const QString& name, int pages) {
    CReportHandle* r = t.makeReport(name, 4, 3, pages);
    EXPECT_EQ(r->EnterFormatState(), 0);
    int32_t text = kCellText;
    const CellArea b = CellArea::area(1, 2, 4, 2);
    EXPECT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &text, &b), 0);
    EXPECT_EQ(r->EnterDataState(), 0);
    EXPECT_EQ(r->SetCurPage(1), 0);
    return r;
}

}  // namespace

TEST_F(InterpTest, LetStoresATextByTheNumberRuleOrFailsNamingCellAndText) {
    CReportHandle* r = kinds(*this, "let.rep", 1);
    ci->SetReport(r);
    const QString nul = QStringLiteral("\"ab") + QChar(u'\0') + QStringLiteral("cd\"");
    const auto quoted = [](int n, char16_t c) { return u'"' + QString(n, QChar(c)) + u'"'; };
    struct Row {
        QString right;
        bool stored;
        double value;
    };
    const QList<Row> rows = {
        {"\"12,345.60\"", true, 12345.6}, {"\" 12 \"", true, 12},  {"\"1 234\"", false, 0},
        {"\"abc\"", false, 0},            {"\"12x\"", false, 0},   {"\"1e999\"", false, 0},
        {"\"inf\"", false, 0},
    };
    for (const Row& row : rows) {
        setNumber(r, 1, 1, 1, 7);
        const QString line = QStringLiteral("LET A1 = ") + row.right;
        if (row.stored) {
            ok(line);
            EXPECT_DOUBLE_EQ(number(r, 1, 1, 1), row.value) << line.toStdString();
        } else {
            EXPECT_EQ(run(line), -1) << line.toStdString();
            EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("A1"))) << line.toStdString();
            EXPECT_DOUBLE_EQ(number(r, 1, 1, 1), 7) << line.toStdString();
        }
    }
    // Lengths and the NUL: a text cell keeps 255, 单位名称 32.
    EXPECT_EQ(run(QStringLiteral("LET B1 = ") + quoted(300, u'x')), -1);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("255")));
    ok(QStringLiteral("LET B1 = ") + quoted(255, u'x'));
    EXPECT_EQ(run(QStringLiteral("LET 单位名称 = ") + quoted(40, u'y')), -1);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("32")));
    EXPECT_EQ(run(QStringLiteral("LET B2 = ") + nul), -1);
    EXPECT_EQ(run(QStringLiteral("LET 单位名称 = ") + nul), -1);
    // A number keyword reads a text by the same rule.
    ok(QStringLiteral("LET 年 = \"12,345\""));
    EXPECT_EQ(keyword(r, 1, kYear), 12345);
    EXPECT_EQ(run(QStringLiteral("LET 年 = \"abc\"")), -1);
    EXPECT_EQ(keyword(r, 1, kYear), 12345);
}

TEST_F(InterpTest, ArithmeticOnATextTheRuleDoesNotReadFails) {
    using namespace qor::cmd;
    EXPECT_TRUE(Arithmetic(Op::Mul, Value::text(QStringLiteral("abc")), Value::number(2)).isError());
    EXPECT_TRUE(Arithmetic(Op::Add, Value::text(QStringLiteral("t")), Value::number(1)).isError());
    EXPECT_TRUE(Arithmetic(Op::Mul, Value::text(QStringLiteral("12x")), Value::number(2)).isError());
    EXPECT_TRUE(Unary(Op::Neg, Value::text(QStringLiteral("abc"))).isError());
    const Value v = Arithmetic(Op::Mul, Value::text(QStringLiteral("12,345.60")), Value::number(2));
    ASSERT_TRUE(v.isNumber());
    EXPECT_DOUBLE_EQ(v.asNumber(), 24691.2);
    EXPECT_EQ(run(QStringLiteral("LET &x = \"abc\"*2")), -1);
    EXPECT_EQ(run(QStringLiteral("LET &y = \"t\"+1")), -1);
    ok(QStringLiteral("LET &z = \"t\"+\"1\""));  // two texts still join
}

TEST_F(InterpTest, RecalcOverATextCellFailsTheFormulaUnlessTheRuleReadsIt) {
    CReportHandle* r = kinds(*this, "recalc.rep", 1);
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea c1 = CellArea::cell(1, 3);
    ASSERT_EQ(r->SetAreaFormula(&c1, QStringLiteral("B1*2")), 0);
    CellArea a2 = CellArea::cell(2, 1);
    ASSERT_EQ(r->SetAreaFormula(&a2, QStringLiteral("SUBSTR(\"12x\",1,3)")), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    ASSERT_EQ(r->SetCurPage(1), 0);
    ci->SetReport(r);
    ASSERT_EQ(r->SetCellValue(CellValue::ofText(QStringLiteral("12,345.60")), 1, 2, 1), 0);
    run(QStringLiteral("RECALC"));
    EXPECT_DOUBLE_EQ(number(r, 1, 1, 3), 24691.2);
    EXPECT_NE(r->GetCellFormulaState(2, 1), 0) << "\"12x\" is no 12 in a number cell";
    ASSERT_EQ(r->SetCellValue(CellValue::ofText(QStringLiteral("abc")), 1, 2, 1), 0);
    run(QStringLiteral("RECALC"));
    EXPECT_NE(r->GetCellFormulaState(1, 3), 0);
    EXPECT_TRUE(empty(r, 1, 1, 3));
}

TEST_F(InterpTest, AppendFromTextCellsIntoNumberCellsKeepsTheRule) {
    CReportHandle* src = makeReport("src.rep", 4, 3, 0);
    ASSERT_EQ(src->EnterFormatState(), 0);
    int32_t text = kCellText;
    const CellArea a = CellArea::area(1, 1, 4, 1);
    ASSERT_EQ(src->AccessAreaFormat(1, qor::kFmtKind, &text, &a), 0);
    ASSERT_EQ(src->EnterDataState(), 0);
    ASSERT_EQ(src->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(src->SetCellValue(CellValue::ofText(QStringLiteral("12,345.60")), 1, 1, 1), 0);
    ASSERT_EQ(src->Save(), 0);

    CReportHandle* r = makeReport("dest.rep", 4, 3, 1);
    ci->SetReport(r);
    ok(QStringLiteral("APPEND FROM \"%1/src.rep\"").arg(dir));
    ASSERT_EQ(r->GetPageCount(), 2);
    EXPECT_DOUBLE_EQ(number(r, 2, 1, 1), 12345.6);

    ASSERT_EQ(src->SetCellValue(CellValue::ofText(QStringLiteral("1e999")), 2, 1, 1), 0);
    ASSERT_EQ(src->Save(), 0);
    EXPECT_EQ(run(QStringLiteral("APPEND FROM \"%1/src.rep\"").arg(dir)), -1);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("1e999")));
    EXPECT_EQ(r->GetPageCount(), 2) << "a refused APPEND takes its pages back";
}

// A cell made a text cell holds a text on every page, and the totals over
// it are recalculated on every page: both pages' A3 agree after a save.
TEST_F(InterpTest, AChangeOfKindLeavesEveryPagesTotalReadingTheSameKind) {
    CReportHandle* r = makeReport("kind.rep", 3, 1, 0);
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea a3 = CellArea::cell(3, 1);
    ASSERT_EQ(r->SetAreaFormula(&a3, QStringLiteral("PTOTAL(A1:A2)")), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    ASSERT_EQ(r->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(r->SetCurPage(1), 0);
    for (int p : {1, 2}) setNumber(r, p, 1, 1, 5);
    ASSERT_EQ(r->RecalcAll(), 0);
    EXPECT_EQ(number(r, 1, 3, 1), 5);

    int32_t text = kCellText;
    const CellArea a1 = CellArea::cell(1, 1);
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &text, &a1), 0);
    ASSERT_EQ(r->SetCurPage(2), 0);
    ASSERT_EQ(r->SetCellValue(CellValue::ofText(QStringLiteral("5")), 1, 1, 2), 0);
    ASSERT_EQ(r->RecalcDependents(2, 1, 1), 0);
    ASSERT_EQ(r->Save(), 0);
    EXPECT_EQ(r->GetCellText(1, 1, 1), QStringLiteral("5"));
    EXPECT_EQ(number(r, 1, 3, 1), number(r, 2, 3, 1));
}

// LET and TOTAL keep what a cell shows (two decimals by default): two
// amounts shown 2.35 total 4.70, also those a file kept with more digits.
TEST_F(InterpTest, LetAndTotalKeepTheDecimalsACellShows) {
    CReportHandle* r = makeReport("dec.rep", 2, 2, 2);
    ci->SetReport(r);
    ok(QStringLiteral("LET A1 = 2.345"));
    EXPECT_DOUBLE_EQ(r->GetReportFile()->Page(1)->Slot(1, 1).numberValue(), 2.35);
    ok(QStringLiteral("LET A1 = \"1,000.005\""));
    EXPECT_DOUBLE_EQ(r->GetReportFile()->Page(1)->Slot(1, 1).numberValue(), 1000.01);
    // Kept by an older file with every digit.
    r->GetReportFile()->Page(1)->SetNumber(1, 1, 2.345);
    r->GetReportFile()->Page(2)->SetNumber(1, 1, 2.345);
    ok(QStringLiteral("TOTAL"));
    ASSERT_EQ(r->GetPageCount(), 3);
    EXPECT_DOUBLE_EQ(r->GetReportFile()->Page(3)->Slot(1, 1).numberValue(), 4.7);
}

// 1e308 on two pages has no sum a number holds: the result is marked
// failed and the run told, never left empty as if nothing was there.
TEST_F(InterpTest, ATotalPastWhatANumberHoldsMarksItsCellFailed) {
    CReportHandle* r = makeReport("big.rep", 2, 2, 2);
    ci->SetReport(r);
    for (int p : {1, 2}) setNumber(r, p, 1, 1, 1e308);
    setNumber(r, 1, 1, 2, 5);
    ok(QStringLiteral("TOTAL"));
    ASSERT_EQ(r->GetPageCount(), 3);
    EXPECT_TRUE(r->CellValueFailed(1, 1, 3));
    EXPECT_FALSE(r->CellValueFailed(1, 2, 3));
    EXPECT_DOUBLE_EQ(number(r, 3, 1, 2), 5);
    EXPECT_EQ(ci->FailedCellNotes(), 1);
    EXPECT_TRUE(ci->LastFailedCellsText().contains(QStringLiteral("第一个在第3页 A1 单元")))
        << ci->LastFailedCellsText().toStdString();

    CReportHandle* v = makeReport("bigvar.rep", 3, 2, 1, 1, 2);
    ci->SetReport(v);
    int lines = 2;
    ASSERT_EQ(v->AccessVarCount(1, &lines), 0);
    setNumber(v, 1, 2, 1, -1e308);
    setNumber(v, 1, 3, 1, -1e308);
    ok(QStringLiteral("GTOTAL"));
    ASSERT_EQ(v->GetPageCount(), 2);
    EXPECT_TRUE(v->CellValueFailed(2, 1, 2));
    EXPECT_EQ(ci->FailedCellNotes(), 2);
    EXPECT_TRUE(ci->LastFailedCellsText().contains(QStringLiteral("GTOTAL")));
}

// APPEND FROM takes a source page's keywords through the gate: a text in
// this report's number keyword is refused and the page taken back.
TEST_F(InterpTest, AppendFromRefusesAKeywordThisReportDoesNotTake) {
    CReportHandle* src = makeReport("kwsrc.rep", 2, 2, 1);
    ASSERT_EQ(src->GetReportFile()->SetUserKeywordName(QStringLiteral("部门")), true);
    setKeyword(src, 1, 6, QStringLiteral("A12"));
    setNumber(src, 1, 1, 1, 1.005);
    ASSERT_EQ(src->Save(), 0);

    CReportHandle* r = makeReport("kwdest.rep", 2, 2, 1);
    ASSERT_EQ(r->SetUserKeywordType(1), 0);
    ci->SetReport(r);
    EXPECT_EQ(run(QStringLiteral("APPEND FROM \"%1/kwsrc.rep\"").arg(dir)), -1);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("A12"))) << ci->LastErrorText().toStdString();
    EXPECT_EQ(r->GetPageCount(), 1);

    ASSERT_EQ(r->SetUserKeywordType(0), 0);
    ok(QStringLiteral("APPEND FROM \"%1/kwsrc.rep\"").arg(dir));
    ASSERT_EQ(r->GetPageCount(), 2);
    EXPECT_EQ(keyword(r, 2, 6).toString(), QStringLiteral("A12"));
    EXPECT_DOUBLE_EQ(number(r, 2, 1, 1), 1.01);
}

// A formula's result is held as its cell shows it: 1/3 in two two-decimal
// cells and their total are 0.33, 0.33 and 0.66, as the screen adds them.
TEST_F(InterpTest, AFormulaResultIsHeldAsItsCellShowsIt) {
    CReportHandle* r = makeReport("f.rep", 3, 2, 0);
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea a1a2 = CellArea::area(1, 1, 2, 1);
    ASSERT_EQ(r->SetAreaFormula(&a1a2, QStringLiteral("1/3")), 0);
    CellArea a3 = CellArea::cell(3, 1);
    ASSERT_EQ(r->SetAreaFormula(&a3, QStringLiteral("A1+A2")), 0);
    CellArea b1 = CellArea::cell(1, 2);
    ASSERT_EQ(r->SetAreaFormula(&b1, QStringLiteral("0.4")), 0);
    int32_t none = 0;
    ASSERT_EQ(r->AccessAreaFormat(1, qor::kFmtDecimals, &none, &b1), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    ASSERT_EQ(r->AppendRowColPage(1, 2), 0);
    ASSERT_EQ(r->SetCurPage(1), 0);
    ci->SetReport(r);
    ok(QStringLiteral("RECALC"));
    const auto kept = [&](uint16_t row, uint16_t col) {
        return r->GetReportFile()->Page(1)->Slot(row, col).numberValue();
    };
    EXPECT_DOUBLE_EQ(kept(1, 1), 0.33);
    EXPECT_DOUBLE_EQ(kept(3, 1), 0.66) << "the total of what is shown";
    EXPECT_DOUBLE_EQ(kept(1, 2), 0);
    EXPECT_EQ(r->GetCellFormulaState(1, 2), 1) << "a result, not a failure";
}

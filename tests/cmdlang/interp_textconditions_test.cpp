// A text met by a number in a condition is read by the rule a number cell
// reads texts with, never by the number it starts with: a text the rule
// does not read fails the command (206) and nothing changes.
#include "cmdlang/value.h"
#include "engine/cellformat.h"
#include "engine/csheetpage.h"
#include "interp_support.h"

using namespace interp;

namespace {

// Three pages of 4 x 3, column A text cells holding a1, a2, a3; row 3 a
// row area whose column A is text as well.
CReportHandle* textColumn(InterpTest& t, const QString& name, const QStringList& a) {
    CReportHandle* r = t.makeReport(name, 4, 3, 0, 1, 3);
    EXPECT_EQ(r->EnterFormatState(), 0);
    int32_t text = kCellText;
    const CellArea col = CellArea::area(1, 1, 4, 1);
    EXPECT_EQ(r->AccessAreaFormat(1, qor::kFmtKind, &text, &col), 0);
    EXPECT_EQ(r->EnterDataState(), 0);
    EXPECT_EQ(r->AppendRowColPage(int(a.size()), 2), 0);
    for (int p = 1; p <= a.size(); ++p) {
        EXPECT_EQ(r->SetCellValue(CellValue::ofText(a[p - 1]), 1, 1, p), 0);
        EXPECT_EQ(r->SetCellValue(CellValue::ofText(a[p - 1]), 3, 1, p), 0);  // V_A line 1
        EXPECT_EQ(r->SetCellValue(CellValue::ofNumber(p), 1, 2, p), 0);
    }
    EXPECT_EQ(r->SetCurPage(1), 0);
    return r;
}

}  // namespace

TEST_F(InterpTest, ConditionsOverATextTheRuleDoesNotReadFailAndChangeNothing) {
    CReportHandle* r = textColumn(*this, "texts.rep", {"12abc", "5", "1.2.3"});
    ci->SetReport(r);
    // Each reads page 1 or page 3 by its leading number ("12abc" > 10,
    // "1.2.3" = 1.2) if the rule is not kept.
    for (const char* line :
         {"DELETE FOR A1 > 10", "DELETE FOR A1 = 1.2", "DELETE FOR A1", "DELETE FOR NOT A1",
          "DELETE FOR B1 > 0 AND A1 > 10", "FIND FOR A1 > 10", "GFIND FOR ; V_A > 10",
          "GFIND FOR A1 > 10; V_B > 0", "TOTAL FOR A1 > 10", "GTOTAL FOR A1 > 10",
          "GTOTAL FOR ; V_A = 12", "LET &x = IFF(A1@1 > 10, 1, 2)",
          "LET &x = TOTAL(B1, A1 > 10)"}) {
        SCOPED_TRACE(line);
        fails(QString::fromUtf8(line), CALC_ERR_EVALUATION);
        EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("12abc")) ||
                    ci->LastErrorText().contains(QStringLiteral("1.2.3")))
            << ci->LastErrorText().toStdString();
        EXPECT_EQ(r->GetPageCount(), 3);
    }
    EXPECT_FALSE(variable(QStringLiteral("&x")).has_value());
    // A condition that does not reach the text decides without it.
    ok(QStringLiteral("DELETE FOR B1 > 5 AND A1 > 10"));
    EXPECT_EQ(r->GetPageCount(), 3);
    // Two texts still compare as texts.
    ok(QStringLiteral("FIND FOR A1 = \"1.2.3\""));
    EXPECT_EQ(r->GetCurPage(), 3);
}

TEST_F(InterpTest, ConditionsReadAmountsWrittenWithThousandsCommas) {
    CReportHandle* r = textColumn(*this, "amounts.rep", {"1,234.5", "5", " 7 ", ""});
    ci->SetReport(r);
    ok(QStringLiteral("FIND FOR A1 = 1234.5"));
    EXPECT_EQ(r->GetCurPage(), 1);
    ok(QStringLiteral("LET &n = TOTAL(B1, A1 > 6)"));  // pages 1 and 3
    EXPECT_EQ(variable(QStringLiteral("&n")), 4);
    ok(QStringLiteral("GFIND FOR ; V_A = 7"));
    EXPECT_EQ(r->GetCurPage(), 3);
    // A blank text counts as 0, as in arithmetic.
    ok(QStringLiteral("DELETE FOR A1 = 0"));
    ASSERT_EQ(r->GetPageCount(), 3);
    ok(QStringLiteral("DELETE FOR A1 > 1000"));
    ASSERT_EQ(r->GetPageCount(), 2);
    ok(QStringLiteral("TOTAL FOR A1 < 6"));
    EXPECT_EQ(r->GetPageCount(), 3);
}

TEST_F(InterpTest, ValReadsAWholeAmountAndOtherwiseTheLeadingNumber) {
    ok(QStringLiteral("LET &a = VAL(\"12,345.60\")"));
    EXPECT_EQ(variable(QStringLiteral("&a")), 12345.6);
    ok(QStringLiteral("LET &b = VAL(\"12x\")"));
    EXPECT_EQ(variable(QStringLiteral("&b")), 12);
    ok(QStringLiteral("LET &c = VAL(\"12,34\")"));  // no grouping by three
    EXPECT_EQ(variable(QStringLiteral("&c")), 12);
    ok(QStringLiteral("LET &d = VAL(\" -1,234 \")"));
    EXPECT_EQ(variable(QStringLiteral("&d")), -1234);
    ok(QStringLiteral("LET &e = VAL(\"abc\")"));
    EXPECT_EQ(variable(QStringLiteral("&e")), 0);
}

// A keyword written as a number on some pages and as a text on others
// (a file from before the gate) sorts by number, each text read by the
// rule; one the rule does not read refuses the sort before a page moves.
TEST_F(InterpTest, SortOverAKeywordOfNumbersAndTextsReadsTheTextsByTheRule) {
    CReportHandle* r = makeReport("sort.rep", 2, 2, 3);
    ci->SetReport(r);
    const auto raw = [&](int page, const qor::KeywordValue& k) {
        std::shared_ptr<CSheetPage> p = r->GetPage(page);
        ASSERT_TRUE(p);
        p->SetKeyword(kYear, k);
        p->SetDirty(true);
    };
    raw(1, {1, 10, {}});
    raw(2, {2, 0, QStringLiteral("7")});
    raw(3, {2, 0, QStringLiteral("1,000")});
    for (int p = 1; p <= 3; ++p) setNumber(r, p, 1, 1, p);
    ok(QStringLiteral("SORT PAGES BY 年"));
    EXPECT_EQ(number(r, 1, 1, 1), 2);  // "7", 10, "1,000"
    EXPECT_EQ(number(r, 2, 1, 1), 1);
    EXPECT_EQ(number(r, 3, 1, 1), 3);
    raw(1, {2, 0, QStringLiteral("12abc")});
    fails(QStringLiteral("SORT PAGES BY 年"), CALC_ERR_EVALUATION);
    EXPECT_TRUE(ci->LastErrorText().contains(QStringLiteral("12abc")) &&
                ci->LastErrorText().contains(QStringLiteral("第1页")))
        << ci->LastErrorText().toStdString();
    EXPECT_EQ(number(r, 1, 1, 1), 2);
    EXPECT_EQ(number(r, 2, 1, 1), 1);
    // Texts alone still sort as texts: "12abc", "a", "b".
    raw(2, {2, 0, QStringLiteral("b")});
    raw(3, {2, 0, QStringLiteral("a")});
    ok(QStringLiteral("SORT PAGES BY 年 DESC"));
    EXPECT_EQ(number(r, 1, 1, 1), 1);
    EXPECT_EQ(number(r, 3, 1, 1), 2);
}

TEST_F(InterpTest, ComparisonsOfATextAndANumberFollowTheRule) {
    using namespace qor::cmd;
    const auto cmp = [](Op op, const QString& t, double n) {
        return Compare(op, Value::text(t), Value::number(n));
    };
    EXPECT_TRUE(cmp(Op::Gt, QStringLiteral("12abc"), 10).isError());
    EXPECT_TRUE(cmp(Op::Eq, QStringLiteral("1.2.3"), 1.2).isError());
    EXPECT_TRUE(Compare(Op::Lt, Value::number(1), Value::text(QStringLiteral("abc"))).isError());
    EXPECT_TRUE(IsTrue(cmp(Op::Eq, QStringLiteral("1,234.5"), 1234.5)));
    EXPECT_TRUE(IsTrue(cmp(Op::Eq, QStringLiteral("  "), 0)));
    EXPECT_TRUE(IsTrue(Compare(Op::Lt, Value::text(QStringLiteral("12abc")),
                               Value::text(QStringLiteral("5")))));  // texts by characters
    EXPECT_TRUE(IsTrue(Compare(Op::Eq, Value::empty(), Value::number(0))));
    EXPECT_TRUE(ConditionTruth(Value::text(QStringLiteral("12abc"))).isError());
    EXPECT_TRUE(IsTrue(ConditionTruth(Value::text(QStringLiteral("1,000")))));
    EXPECT_FALSE(IsTrue(ConditionTruth(Value::text(QStringLiteral("")))));
}

// TOTAL B1/A1 over a B1 that failed on one page: the total formula's cell
// is marked failed as B1 is, the command succeeds and the run is told.
TEST_F(InterpTest, ATotalFormulaOverAFailedCellMarksItsCellInsteadOfRefusing) {
    CReportHandle* r = makeReport("tf.rep", 4, 3, 0);
    ASSERT_EQ(r->EnterFormatState(), 0);
    CellArea b1 = CellArea::cell(1, 2), c3 = CellArea::cell(3, 3), c4 = CellArea::cell(4, 3);
    ASSERT_EQ(r->SetAreaFormula(&b1, "A1/A2"), 0);
    ASSERT_EQ(r->SetAreaFormula(&c3, "TOTAL B1/A1"), 0);
    ASSERT_EQ(r->SetAreaFormula(&c4, "TOTAL A1/A2"), 0);
    ASSERT_EQ(r->EnterDataState(), 0);
    ASSERT_EQ(r->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 2; ++p) {
        setNumber(r, p, 1, 1, 10);
        setNumber(r, p, 2, 1, p == 1 ? 0 : 2);
    }
    ASSERT_EQ(r->SetCurPage(1), 0);
    ci->SetReport(r);
    ok(QStringLiteral("RECALC ALL"));
    ASSERT_TRUE(r->CellValueFailed(1, 2, 1));
    const int notes = ci->FailedCellNotes();
    ok(QStringLiteral("TOTAL FOR MRECNO()>0"));
    ASSERT_EQ(r->GetPageCount(), 3);
    EXPECT_TRUE(r->CellValueFailed(1, 2, 3));
    EXPECT_TRUE(r->CellValueFailed(3, 3, 3));
    EXPECT_EQ(number(r, 3, 4, 3), 10);  // 20 / 2: the formula over sound cells
    EXPECT_EQ(ci->FailedCellNotes(), notes + 1);
    // A formula of its own failing (no failed cell read) still refuses.
    ASSERT_EQ(r->SetCellValue(CellValue::ofNumber(0), 2, 1, 2), 0);
    fails(QStringLiteral("TOTAL FOR MRECNO()=2"), CALC_ERR_EVALUATION);
    EXPECT_EQ(r->GetPageCount(), 3);
}

// A value APPEND FROM refuses is named by the page of the other report it
// is on, not by the page it would have become here.
TEST_F(InterpTest, AppendFromNamesTheSourcesPageOfARefusedValue) {
    CReportHandle* src = makeReport("src.rep", 4, 3, 0);
    ASSERT_EQ(src->EnterFormatState(), 0);
    int32_t text = kCellText;
    const CellArea a = CellArea::area(1, 1, 4, 1);
    ASSERT_EQ(src->AccessAreaFormat(1, qor::kFmtKind, &text, &a), 0);
    ASSERT_EQ(src->EnterDataState(), 0);
    ASSERT_EQ(src->AppendRowColPage(2, 2), 0);
    ASSERT_EQ(src->SetCellValue(CellValue::ofText(QStringLiteral("7")), 1, 1, 1), 0);
    ASSERT_EQ(src->SetCellValue(CellValue::ofText(QStringLiteral("abc")), 1, 1, 2), 0);
    ASSERT_EQ(src->Save(), 0);
    CReportHandle* r = makeReport("dest.rep", 4, 3, 5);
    ci->SetReport(r);
    EXPECT_EQ(run(QStringLiteral("APPEND FROM \"%1/src.rep\"").arg(dir)), -1);
    const QString why = ci->LastErrorText();
    EXPECT_TRUE(why.contains(QStringLiteral("第2页")) && why.contains(QStringLiteral("abc")) &&
                why.contains(QStringLiteral("src.rep")))
        << why.toStdString();
    EXPECT_FALSE(why.contains(QStringLiteral("第7页"))) << why.toStdString();
    EXPECT_EQ(r->GetPageCount(), 5);
}

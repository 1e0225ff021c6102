// The evaluator: operators and their precedence, the value rules, names,
// references (shifted, variable-area, other pages and reports), formula
// clauses, and the engine's side through CellFormulaEvaluator.
#include "cmdlang/evaluator.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "cmdlang/cellformulaevaluator.h"
#include "cmdlang/enginehooks.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/recalccache.h"
#include "fakeenvironment.h"
#include "qstringprint.h"
#include "tests/common/testsupport.h"

using namespace qor;
using namespace qor::cmd;
using qortest::eval;
using qortest::FakeEnvironment;
using qortest::num;

namespace {

Value text(const char* s) { return Value::text(QString::fromUtf8(s)); }

TEST(Evaluator, ArithmeticAndPrecedence) {
    FakeEnvironment env;
    EXPECT_EQ(num(eval("1+2*3", env)), 7);
    EXPECT_EQ(num(eval("(1+2)*3", env)), 9);
    EXPECT_EQ(num(eval("10-4-3", env)), 3);   // left to right
    EXPECT_EQ(num(eval("2^3^2", env)), 512);  // powers group to the right
    EXPECT_EQ(num(eval("-2^2", env)), -4);    // the sign applies to the power
    EXPECT_EQ(num(eval("-1.7E+308", env)), -1.7e308);
    EXPECT_EQ(num(eval("1+2>2", env)), 1);               // comparison below arithmetic
    EXPECT_EQ(num(eval("1=1 OR 1=2 AND 1=2", env)), 1);  // AND binds tighter than OR
    EXPECT_EQ(num(eval("NOT 1=2 AND 2=2", env)), 1);
}

TEST(Evaluator, TextAndEmptyValues) {
    FakeEnvironment env;
    env.set("A1", QStringLiteral("12"));
    // A2 is empty.
    EXPECT_EQ(eval(R"("北京"+"分公司")", env), text("北京分公司"));
    EXPECT_EQ(eval(R"(A2+"x")", env), text("x"));
    EXPECT_EQ(num(eval("A1+3", env)), 15);  // a text and a number add as numbers
    EXPECT_EQ(num(eval("A2+1", env)), 1);
    EXPECT_EQ(num(eval("A1=12", env)), 1);         // text against number: the number it stands for
    EXPECT_EQ(num(eval(R"(A1="12.0")", env)), 0);  // two texts compare as texts
    EXPECT_EQ(num(eval(R"(A2="")", env)), 1);
    EXPECT_EQ(num(eval("A2=0", env)), 1);
    EXPECT_EQ(num(eval("0.1+0.2=0.3", env)), 1);  // rounding noise is not a difference
    EXPECT_EQ(num(eval("1.0000001>1", env)), 1);
}

TEST(Evaluator, ErrorsSpreadAndConditionsStopEarly) {
    FakeEnvironment env;
    const Value div = eval("1/0", env);
    ASSERT_TRUE(div.isError());
    EXPECT_TRUE(div.errorMessage().contains(QStringLiteral("除数为零")));
    EXPECT_TRUE(eval("5/A1", env).isError());  // an empty divisor is 0
    EXPECT_TRUE(eval("1+2*(3/0)", env).isError());
    EXPECT_TRUE(eval("0^-1", env).isError());
    EXPECT_TRUE(eval("(-8)^0.5", env).isError());
    EXPECT_TRUE(eval("10^400", env).isError());  // no infinity in a cell
    EXPECT_TRUE(eval("K1+1", env).isError());    // outside the table
    // The right side of AND/OR is read only when it decides.
    EXPECT_EQ(num(eval("1=2 AND 1/0=1", env)), 0);
    EXPECT_EQ(num(eval("1=1 OR 1/0=1", env)), 1);
    EXPECT_TRUE(eval("1=1 AND 1/0=1", env).isError());
    EXPECT_TRUE(eval("NOT 1/0", env).isError());
}

TEST(Evaluator, Like) {
    FakeEnvironment env;
    EXPECT_EQ(num(eval(R"("Beijing" LIKE "bei%")", env)), 1);  // case ignored
    EXPECT_EQ(num(eval(R"("北京市分行" LIKE "北京%")", env)), 1);
    EXPECT_EQ(num(eval(R"("北京市" LIKE "%京_")", env)), 1);
    EXPECT_EQ(num(eval(R"("abc" LIKE "a_")", env)), 0);
    EXPECT_EQ(num(eval(R"("xaxxbxb" LIKE "%a%b")", env)), 1);  // goes back to the last %
    EXPECT_EQ(num(eval(R"("xaxxbxc" LIKE "%a%b")", env)), 0);
    EXPECT_EQ(num(eval(R"(1200 LIKE "12%")", env)), 1);  // numbers as their text
}

TEST(Evaluator, KeywordsAndVariables) {
    FakeEnvironment env;
    env.keywords[0] = text("北京");
    env.keywords[2] = Value::number(2004);
    env.keywords[4] = Value::number(6);
    env.variables[QStringLiteral("&abcdefg")] = Value::number(-1.7e308);
    env.variables[QStringLiteral("rate")] = Value::number(0.5);
    EXPECT_EQ(num(eval(R"(年=2004 AND 单位名称="北京")", env)), 1);
    EXPECT_EQ(num(eval("月>=6 AND 月<=12", env)), 1);
    EXPECT_EQ(num(eval(R"(单位名称="上海" OR 年<2004)", env)), 0);
    EXPECT_EQ(num(eval("日=0", env)), 1);  // an unset keyword is empty
    EXPECT_EQ(num(eval("&ABCDEFG", env)), -1.7e308);
    EXPECT_EQ(num(eval("RATE*4", env)), 2);
    const Value unknown = eval("frog+1", env);
    ASSERT_TRUE(unknown.isError());
    EXPECT_TRUE(unknown.errorMessage().contains("frog"));
}

TEST(Evaluator, CellReferencesMoveWithTheTargetCell) {
    FakeEnvironment env;
    env.set("A3", 5);
    env.set("B4", 7);
    env.set("A1", 100);
    env.set("A2", 1000);
    // Target two rows below and one column right of the area's corner.
    EXPECT_EQ(num(eval("A1", env, 2, 0)), 5);
    EXPECT_EQ(num(eval("A2*1", env, 2, 1)), 7);
    // The area of a statistic stays where it is; its filter moves.
    EXPECT_EQ(num(eval("PTOTAL(A1:A2)", env, 2, 0)), 1100);
    EXPECT_EQ(num(eval("PTOTAL(A1:A3,>A1)", env)), 1000);
    EXPECT_EQ(num(eval("PTOTAL(A1:A3,>A1)", env, 2, 0)), 1100);  // the filter reads A3
    EXPECT_TRUE(eval("A1", env, -1, 0).isError());
}

TEST(Evaluator, VariableAreaNames) {
    FakeEnvironment env;
    env.varKind = 1;  // rows: V_ + column letters
    env.varStart = 5;
    env.setVar(1, 1, 10);
    env.setVar(2, 1, 20);
    env.setVar(3, 1, 30);
    env.setVar(3, 2, 300);
    EXPECT_EQ(num(eval("V_A3+V_B3", env)), 330);
    EXPECT_TRUE(eval("V_A9", env).isEmpty());  // a line this page does not have
    // A whole column is an area: only a statistic takes it.
    EXPECT_TRUE(eval("V_A", env).isArea());
    EXPECT_TRUE(eval("V_A+1", env).isError());
    EXPECT_TRUE(eval("V_1", env).isError());  // names a row of a column area

    ParseError e;
    NodePtr cond = ParseExpression(QStringLiteral("V_A>15 AND V_B=300"), &e);
    ASSERT_TRUE(cond);
    Evaluator ev(env);
    EXPECT_EQ(num(ev.evaluateOnLine(*cond, 3)), 1);
    EXPECT_EQ(num(ev.evaluateOnLine(*cond, 2)), 0);
    EXPECT_TRUE(ev.evaluate(*cond).isError());  // no line bound

    FakeEnvironment cols;
    cols.varKind = 2;  // columns: V_ + row number
    cols.varStart = 3;
    cols.setVar(2, 4, 44);
    Evaluator colEv(cols);
    EXPECT_EQ(num(colEv.evaluateOnLine(*ParseExpression(QStringLiteral("V_4+1")), 2)), 45);
    EXPECT_TRUE(eval("V_A1", cols).isError());

    FakeEnvironment none;
    EXPECT_TRUE(eval("V_A1", none).isError());
}

TEST(Evaluator, FixedPagesAndOtherReports) {
    FakeEnvironment p1, p2;
    p1.set("A1", 1);
    p2.set("A1", 2);
    p2.page = 2;
    p1.pages = p2.pages = {&p1, &p2};
    EXPECT_EQ(num(eval("A1@2*10+A1", p1)), 21);
    const Value missing = eval("A1@3", p1);
    ASSERT_TRUE(missing.isError());
    EXPECT_TRUE(missing.errorMessage().contains("3"));
    FakeEnvironment alone;  // a report of one page
    alone.set("A1", 7);
    EXPECT_EQ(num(eval("A1@1", alone)), 7);
    EXPECT_TRUE(eval("A1@2", alone).isError());

    // Other reports: an error until someone can read them, then the request
    // says which cell, shifted, of which page.
    const Value ext = eval(R"("d:\data\sub.rep"->B2)", alone);
    ASSERT_TRUE(ext.isError());
    EXPECT_TRUE(ext.errorMessage().contains("sub.rep"));
    ExternalCellRequest seen;
    alone.page = 4;
    alone.external = [&](const ExternalCellRequest& r) {
        seen = r;
        return Value::number(8);
    };
    EXPECT_EQ(num(eval(R"("sub.rep"->B2+1)", alone, 1, 1)), 9);
    EXPECT_EQ(seen.report, "sub.rep");
    EXPECT_EQ(seen.cell, (CellPos{3, 3}));
    EXPECT_EQ(seen.currentPage, 4);
    EXPECT_EQ(seen.relation, nullptr);
}

TEST(Evaluator, FormulaClauses) {
    FakeEnvironment env;
    env.keywords[4] = Value::number(12);
    env.keywords[1] = text("0101");
    env.set("A1", 3);
    std::unique_ptr<Formula> f = ParseFormula(QStringLiteral("A1*2 For 月=12"));
    ASSERT_TRUE(f);
    FormulaOutcome out = Evaluator(env).evaluateFormula(*f);
    EXPECT_TRUE(out.applies);
    EXPECT_EQ(num(out.value), 6);
    env.keywords[4] = Value::number(11);
    EXPECT_FALSE(Evaluator(env).evaluateFormula(*f).applies);

    ExternalCellRequest seen;
    env.external = [&](const ExternalCellRequest& r) {
        seen = r;
        return Value::number(1);
    };
    f = ParseFormula(QStringLiteral(R"("b.rep"->C3 Relation 单位编号 with "b.rep"->单位编号)"));
    ASSERT_TRUE(f);
    out = Evaluator(env).evaluateFormula(*f);
    EXPECT_EQ(num(out.value), 1);
    ASSERT_NE(seen.relation, nullptr);
    EXPECT_EQ(seen.keyValue, text("0101"));
    EXPECT_EQ(seen.relation->relatedKey->text, QStringLiteral("单位编号"));
}

TEST(Evaluator, ServiceFunctionsGetTheirArgumentText) {
    FakeEnvironment env;
    const Value none = eval(R"(QC("1001",月))", env);
    ASSERT_TRUE(none.isError());
    EXPECT_TRUE(none.errorMessage().contains("QC"));
    QString name, raw;
    env.service = [&](const QString& n, const QString& r) {
        name = n;
        raw = r;
        return Value::number(120.5);
    };
    EXPECT_EQ(num(eval(R"(2*qc("1001",月,,"Y"))", env)), 241);
    EXPECT_EQ(name, "QC");
    EXPECT_EQ(raw, R"("1001",月,,"Y")");
    env.service = [](const QString&, const QString&) { return Value::error("ledger closed"); };
    EXPECT_EQ(eval(R"(1+QC("1001"))", env).errorMessage(), "ledger closed");
}

// ---------------------------------------------------------------- the engine's side

class FakeContext final : public FormulaEvalContext {
public:
    AreaRecord area{1, 1, 1, 1};
    uint16_t row = 1, col = 1;
    uint16_t rows = 20, cols = 8;
    std::map<std::pair<int, int>, FormulaValue> cells;
    int varKind = 0, varStart = 0, varUsed = 0;
    std::map<std::pair<int, int>, FormulaValue> varCells;
    FormulaValue keywords[7];

    CReportHandle* Report() const override { return nullptr; }
    int Page() const override { return 1; }
    AreaRecord FormulaArea() const override { return area; }
    uint16_t TargetRow() const override { return row; }
    uint16_t TargetCol() const override { return col; }
    uint16_t RowCount() const override { return rows; }
    uint16_t ColCount() const override { return cols; }
    FormulaValue Cell(int r, int c) const override {
        if (r < 1 || c < 1 || r > rows || c > cols) return FormulaValue::error();
        const auto it = cells.find({r, c});
        return it == cells.end() ? FormulaValue::empty() : it->second;
    }
    int VarKind() const override { return varKind; }
    int VarStart() const override { return varStart; }
    int VarUsed() const override { return varUsed; }
    FormulaValue VarCell(int line, int index) const override {
        if (line < 1 || line > varUsed) return FormulaValue::error();
        const auto it = varCells.find({line, index});
        return it == varCells.end() ? FormulaValue::empty() : it->second;
    }
    FormulaValue Keyword(int slot) const override { return keywords[slot]; }
    int KeywordSlot(QStringView name) const override {
        return name == QStringLiteral("年") ? 2 : -1;
    }
};

std::shared_ptr<const CompiledFormula> compile(const QString& text, int varKind = 0) {
    FormulaCheckInput in;
    in.rows = 20;
    in.cols = 8;
    in.varKind = varKind;
    in.varStart = varKind ? 10 : 0;
    in.keywordNames = QStringList{"", "", QStringLiteral("年"), "", "", "", ""};
    FormulaCheckResult r = MakeFormulaChecker()->Check(text, in);
    EXPECT_EQ(r.status, Status::Ok) << r.errorReason.toStdString();
    return r.compiled;
}

TEST(CellFormulaEvaluator, AreaFormulasShiftToTheTargetCell) {
    FakeContext c;
    for (int r = 1; r <= 5; ++r) c.cells[{r, 1}] = FormulaValue::ofNumber(r * 10);
    c.area = {1, 2, 5, 3};  // formula set on B1:C5
    c.cells[{4, 2}] = FormulaValue::ofNumber(5);
    c.row = 4;
    c.col = 2;  // B4: three rows down
    CellFormulaEvaluator ev;
    EXPECT_EQ(ev.Evaluate(*compile("A1+PTOTAL(A1:A2)"), c), FormulaValue::ofNumber(40 + 30));
    c.col = 3;  // C4: and one column right
    EXPECT_EQ(ev.Evaluate(*compile("A1*2"), c), FormulaValue::ofNumber(10));

    // A moved reference that leaves the table fails that cell only.
    c.row = 4;
    const Value off = ev.EvaluateValue(*compile("A20"), c);
    ASSERT_TRUE(off.isError());
    EXPECT_TRUE(off.errorMessage().contains(QStringLiteral("在表格之外")))
        << off.errorMessage().toStdString();
    EXPECT_EQ(ev.Evaluate(*compile("A20"), c), FormulaValue::error());

    // A failed cell spreads.
    c.cells[{2, 1}] = FormulaValue::error();
    c.row = 1;
    c.col = 2;
    EXPECT_TRUE(ev.Evaluate(*compile("A2+1"), c).isError());
    EXPECT_TRUE(ev.Evaluate(*compile("PTOTAL(A1:A5)"), c).isError());
}

TEST(CellFormulaEvaluator, VarNamesKeywordsAndForClause) {
    FakeContext c;
    c.varKind = 1;
    c.varStart = 10;
    c.varUsed = 3;
    c.varCells[{2, 1}] = FormulaValue::ofNumber(7);
    c.varCells[{3, 1}] = FormulaValue::ofNumber(9);
    c.keywords[2] = FormulaValue::ofNumber(2004);
    c.cells[{1, 1}] = FormulaValue::ofText(QStringLiteral("kept"));
    CellFormulaEvaluator ev;
    EXPECT_EQ(ev.Evaluate(*compile("V_A2*年", 1), c), FormulaValue::ofNumber(7 * 2004));
    EXPECT_EQ(ev.Evaluate(*compile("GTOTAL(V_A)", 1), c), FormulaValue::ofNumber(16));
    EXPECT_EQ(ev.Evaluate(*compile("GTOTAL(V_A,>8)", 1), c), FormulaValue::ofNumber(9));
    // The For clause fails on this page: the target keeps its value.
    EXPECT_EQ(ev.Evaluate(*compile("1 For 年=2005", 1), c), FormulaValue::ofText("kept"));
    EXPECT_EQ(ev.Evaluate(*compile("1 For 年=2004", 1), c), FormulaValue::ofNumber(1));
    // Without a report the page evaluated is the only one.
    EXPECT_EQ(ev.Evaluate(*compile("TOTAL(A1:B2)"), c), FormulaValue::ofNumber(0));
}

TEST(CellFormulaEvaluator, ForeignCompiledFormIsAnError) {
    struct Other : CompiledFormula {};
    FakeContext c;
    CellFormulaEvaluator ev;
    EXPECT_TRUE(ev.Evaluate(Other(), c).isError());
}

// The installed evaluator over a real report: statistics over every page,
// fixed pages and the page pointer.
class EvaluatorOnReport : public ::testing::Test {
protected:
    void SetUp() override {
        oldChecker = InstallFormulaChecker(nullptr);
        oldEvaluator = InstallFormulaEvaluator(nullptr);
        InstallEngineHooks();
        InstallFormulaEvaluatorHook();
        path = qortest::freshDir(QString::fromLatin1(
                   ::testing::UnitTest::GetInstance()->current_test_info()->name())) +
               "/r.rep";
    }
    void TearDown() override {
        h.reset();
        InstallFormulaChecker(oldChecker);
        InstallFormulaEvaluator(oldEvaluator);
    }
    uint16_t set(int r, int c, const QString& text) {
        CellArea a = CellArea::area(r, c, r, c);
        return h->SetAreaFormula(&a, text);
    }

    std::shared_ptr<IFormulaChecker> oldChecker;
    std::shared_ptr<IFormulaEvaluator> oldEvaluator;
    QString path;
    std::unique_ptr<CReportHandle> h;
};

TEST_F(EvaluatorOnReport, StatisticsOverPagesAndFixedPages) {
    h.reset();  // one writer at a time
    h = std::make_unique<CReportHandle>(path);
    ASSERT_TRUE(h->IsOpen());
    uint16_t rows = 5, cols = 4;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    const QString year = LoadErrorText(qor::str::kKeywordYear);
    ASSERT_EQ(set(1, 2, "TOTAL(A1," + year + "=2004)"), 0);
    ASSERT_EQ(set(1, 3, "A1@3*2+MNUMBER()*1000"), 0);
    ASSERT_EQ(set(1, 4, "MRECNO()"), 0);
    ASSERT_EQ(set(2, 2, "COUNT(A1:A2,>15)"), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(3, 2), 0);
    ASSERT_EQ(h->SetCurPage(2), 0);
    const int years[] = {2004, 2005, 2004};
    for (int p = 1; p <= 3; ++p) {
        ASSERT_TRUE(h->GetPage(p)->SetNumber(1, 1, p * 10.0));
        ASSERT_TRUE(h->GetPage(p)->SetKeyword(2, KeywordValue{1, double(years[p - 1]), {}}));
    }
    ASSERT_EQ(h->RecalcPage(2), 0);
    ASSERT_EQ(h->RecalcPage(1), 0);
    auto at = [&](int page, int r, int c) {
        const CellSlot s = h->GetPage(page)->Slot(uint16_t(r), uint16_t(c));
        EXPECT_FALSE(s.flags & kSlotFormulaError) << "page " << page << " " << r << "," << c;
        return s.numberValue();
    };
    EXPECT_EQ(at(2, 1, 2), 40);  // pages 1 and 3 are of 2004
    EXPECT_EQ(at(1, 1, 2), 40);
    EXPECT_EQ(at(2, 1, 3), 3060);
    EXPECT_EQ(at(2, 1, 4), 2);
    EXPECT_EQ(at(1, 1, 4), 1);
    EXPECT_EQ(at(2, 2, 2), 2);  // A1 of pages 2 and 3 pass the filter
}

// Formulas reading outside data share what they fetched within one
// recalculation (of one page or of every page) and never across two.
TEST_F(EvaluatorOnReport, OneRecalculationSharesOutsideAnswers) {
    int asked = 0;
    CellFormulaHooks hooks;
    hooks.readDatabase = [&asked](const DatabaseRequest& r) {
        const QString key = QStringLiteral("test-indb:") + r.field;
        if (const auto kept = RecalcCache::Find<double>(key)) return Value::number(*kept);
        ++asked;
        RecalcCache::Store(key, std::make_shared<double>(asked));
        return Value::number(asked);
    };
    InstallFormulaEvaluatorHook(hooks);
    h = std::make_unique<CReportHandle>(path);
    uint16_t rows = 3, cols = 1;
    ASSERT_EQ(h->AccessTableSize(1, &rows, &cols), 0);
    ASSERT_EQ(set(1, 1, R"(INDB("a.dbf", "", "X", 1))"), 0);
    ASSERT_EQ(set(2, 1, R"(INDB("a.dbf", "", "X", 2))"), 0);
    ASSERT_EQ(set(3, 1, R"(INDB("a.dbf", "", "Y", 1))"), 0);
    ASSERT_EQ(h->EnterDataState(), 0);
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    auto at = [&](int page, int r) { return h->GetPage(page)->Slot(uint16_t(r), 1).numberValue(); };

    ASSERT_EQ(h->RecalcAll(), 0);
    EXPECT_EQ(asked, 2);  // X and Y once for both pages
    for (int p = 1; p <= 2; ++p) {
        EXPECT_EQ(at(p, 1), at(1, 1));
        EXPECT_EQ(at(p, 2), at(1, 1));
        EXPECT_EQ(at(p, 3), 3 - at(1, 1));
    }
    EXPECT_FALSE(RecalcCache::Active());
    EXPECT_EQ(RecalcCache::Find<double>(QStringLiteral("test-indb:X")), nullptr);

    ASSERT_EQ(h->RecalcPage(1), 0);
    EXPECT_EQ(asked, 4);  // asked afresh
    EXPECT_EQ(at(1, 2), at(1, 1));
    EXPECT_GT(at(1, 1), 2);
    EXPECT_GT(at(1, 3), 2);
}

}  // namespace

#include "cmdlang/formulacheck.h"

#include <gtest/gtest.h>

#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "cmdlang/references.h"
#include "engine/messages.h"
#include "qstringprint.h"

using namespace qor::cmd;

namespace {

// A 20 x 10 report with a row variable area, keywords 年 and 月 and one
// application-service function QC.
FormulaCheckContext report() {
    FormulaCheckContext c;
    c.rows = 20;
    c.cols = 10;
    c.varKind = 1;
    c.isKeyword = [](QStringView s) { return s == u"年" || s == u"月"; };
    c.isServiceFunction = [](QStringView s) { return s.compare(u"qc", Qt::CaseInsensitive) == 0; };
    return c;
}

// "" when the formula passes, else "position: reason".
QString check(const QString& text, const FormulaCheckContext& c = report()) {
    ParseError e;
    const Status s = CheckFormula(text, c, &e);
    if (s == Status::Ok) return {};
    EXPECT_EQ(s, Status::FormulaInvalid);
    return QStringLiteral("%1: %2").arg(e.position).arg(e.reason);
}

// What check gives for a failure at pos told by string id, its places filled.
QString said(int pos, int id, std::initializer_list<QString> places = {}) {
    QString text = LoadErrorText(id);
    for (const QString& p : places) text = text.arg(p);
    return QStringLiteral("%1: %2").arg(pos).arg(text);
}

}  // namespace

TEST(FormulaCheck, ReferencesMustLieInTheTable) {
    EXPECT_EQ(check("A1+J20"), "");
    EXPECT_EQ(check("A1+K1"), said(3, qor::str::kFormulaOutsideTable, {"K1"}));
    EXPECT_EQ(check("A21"), said(0, qor::str::kFormulaOutsideTable, {"A21"}));
    EXPECT_EQ(check("PTOTAL(A1:J21)"), said(7, qor::str::kFormulaOutsideTable, {"J21"}));
    EXPECT_EQ(check("\"other.rep\"->Z100"), "");  // the other report's size is not known here
    EXPECT_EQ(check("A1+"), QStringLiteral("3: 此处应为数值，却是行尾"));
    EXPECT_EQ(check("IW1"), QStringLiteral("0: 列IW超出了IV"));
}

TEST(FormulaCheck, VariableAreaNamesNeedAMatchingArea) {
    EXPECT_EQ(check("V_A+V_J3"), "");
    EXPECT_EQ(check("V_K"), said(0, qor::str::kVNameOutside));
    EXPECT_EQ(check("V_1"), said(0, qor::str::kVarRowsNameColumns));
    FormulaCheckContext byColumns = report();
    byColumns.varKind = 2;
    EXPECT_EQ(check("V_20", byColumns), "");
    EXPECT_EQ(check("V_21", byColumns), said(0, qor::str::kVNameOutside));
    EXPECT_EQ(check("V_A", byColumns), said(0, qor::str::kVarColumnsNameRows));
    FormulaCheckContext none = report();
    none.varKind = 0;
    EXPECT_EQ(check("1+V_A", none), said(2, qor::str::kReportHasNoVariableArea));
}

TEST(FormulaCheck, NamesAndFunctions) {
    EXPECT_EQ(check("年*100+月"), "");
    EXPECT_EQ(check("季+1"), said(0, qor::str::kFormulaUnknownName, {"季"}));
    FormulaCheckContext let = report();
    let.allowVariables = true;
    EXPECT_EQ(check("&abc+1", let), "");
    EXPECT_EQ(check("FOO(1)"), said(0, qor::str::kFormulaUnknownFunction, {"FOO"}));
    EXPECT_EQ(check("FOO(5101.01.02)"), said(0, qor::str::kFormulaUnknownFunction, {"FOO"}));
    EXPECT_EQ(check("qc(5101.01.02,全年,,,\"Y\")+1"), "");
    EXPECT_EQ(check("round(1)"), said(0, qor::str::kFormulaArgumentCount, {"ROUND", "2"}));
    EXPECT_EQ(check("PAI(1)"), said(0, qor::str::kFormulaArgumentCount, {"PAI", "0"}));
    EXPECT_EQ(check("SUBSTR(\"abc\",2)+SUBSTR(\"abc\",1,1)"), "");
    EXPECT_EQ(check("SUBSTR(\"abc\",,2)"), said(13, qor::str::kFormulaArgumentMissing, {"2", "SUBSTR"}));
    EXPECT_EQ(check("INDB(\"f.dbf\",\"t\",\"x\",1,)"), "");
    EXPECT_EQ(check("IFF(A1>0,1,)"), said(11, qor::str::kFormulaArgumentMissing, {"3", "IFF"}));
    EXPECT_EQ(check("GETRECORD(\"select 1\",\"A1:B2\",1)"), "");
}

TEST(FormulaCheck, StatisticArguments) {
    EXPECT_EQ(check("PTOTAL(C1:C12,>0)"), "");
    EXPECT_EQ(check("PCOUNT(C1,C1<>0 AND 年=2004)"), "");
    EXPECT_EQ(check("GTOTAL(V_A1:V_B5)+GAVG(V_A,V_B>100)+GMAX(C1:C12)"), "");
    EXPECT_EQ(check("TOTAL(A1:B2,年=2004)"), "");
    EXPECT_EQ(check("PTOTAL(1)"), said(7, qor::str::kFormulaArgumentArea, {"1", "PTOTAL"}));
    EXPECT_EQ(check("PTOTAL(V_A)"), said(7, qor::str::kFormulaArgumentArea, {"1", "PTOTAL"}));
    EXPECT_EQ(check("ABS(A1:A2)"), said(4, qor::str::kFormulaArgumentNotArea, {"1", "ABS"}));
    EXPECT_EQ(check("ABS(>0)"), said(4, qor::str::kFilterNeedsStatistic, {"1", "ABS"}));
    EXPECT_EQ(check("PTOTAL(>0)"), said(7, qor::str::kFormulaArgumentArea, {"1", "PTOTAL"}));
    EXPECT_EQ(check("PTOTAL(A1,A1:A2)"), said(10, qor::str::kFormulaArgumentNotArea, {"2", "PTOTAL"}));
}

TEST(FormulaCheck, Clauses) {
    EXPECT_EQ(check("A1+B1 For C1>0 Relation 年 with \"b.rep\"->年度"), "");
    EXPECT_EQ(check("A1 For K1>0"), said(7, qor::str::kFormulaOutsideTable, {"K1"}));
    EXPECT_EQ(check("A1 Relation 部门 with \"b.rep\"->年"),
              said(12, qor::str::kFormulaNotKeyword, {"部门"}));
    std::unique_ptr<Formula> compiled;
    EXPECT_EQ(CheckFormula(QStringLiteral("TOTAL B1+C1"), report(), nullptr, &compiled),
              Status::Ok);
    ASSERT_TRUE(compiled);
    EXPECT_TRUE(compiled->totalKind);
}

TEST(References, CollectsWhatAFormulaReads) {
    auto f = ParseFormula(QStringLiteral(
        "A1+PTOTAL(C1:C12,>B1)+\"r.rep\"->B2+V_A3+年 For D4>0 Relation 月 with \"r.rep\"->月"));
    ASSERT_TRUE(f);
    FormulaReferences r;
    CollectReferences(*f, &r);
    QStringList refs;
    for (const Reference& ref : r.refs)
        refs << PrintExpression(*ref.node) + (ref.statisticArea ? "!" : "") +
                    (ref.elsewhere() ? "^" : "");
    EXPECT_EQ(refs, (QStringList{"A1", "C1:C12!", "B1", "\"r.rep\"->B2^", "V_A3", "D4"}));
    ASSERT_EQ(r.names.size(), 2u);
    EXPECT_EQ(r.names[0]->text, QStringLiteral("年"));
    EXPECT_EQ(r.names[1]->text, QStringLiteral("月"));
    EXPECT_EQ(r.calls.size(), 1u);
    EXPECT_TRUE(r.isVolatile);

    auto volatility = [](const char* text) {
        FormulaReferences out;
        auto formula = ParseFormula(QString::fromUtf8(text));
        EXPECT_TRUE(formula) << text;
        if (formula) CollectReferences(*formula, &out);
        return out.isVolatile;
    };
    EXPECT_FALSE(volatility("A1+ABS(B1)*PTOTAL(C1:C3)+GTOTAL(V_A)"));
    EXPECT_TRUE(volatility("A1+DAY()"));
    // Other pages of the report are followed cell by cell, not recomputed
    // on every recalculation.
    EXPECT_FALSE(volatility("TOTAL(A1:A3)"));
    EXPECT_TRUE(volatility("QC(1001,全年)"));
    EXPECT_FALSE(volatility("A1@2"));
    EXPECT_TRUE(volatility("INDB(\"f\",\"t\",\"x\",1,)"));
}

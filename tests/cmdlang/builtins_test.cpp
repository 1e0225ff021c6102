// The formula functions, family by family, with their edge cases.
#include "cmdlang/builtins.h"

#include <gtest/gtest.h>

#include <cmath>

#include "cmdlang/functions.h"
#include "engine/messages.h"
#include "fakeenvironment.h"
#include "platform/uiservices.h"
#include "qstringprint.h"

using namespace qor;
using namespace qor::cmd;
using qortest::eval;
using qortest::FakeEnvironment;
using qortest::num;

namespace {

Value text(const char* s) { return Value::text(QString::fromUtf8(s)); }

TEST(Builtins, EveryKnownFunctionIsImplemented) {
    int count = 0;
    const FunctionInfo* all = BuiltinFunctions(&count);
    for (int i = 0; i < count; ++i) {
        const Builtin* b = FindBuiltin(QString::fromLatin1(all[i].name));
        ASSERT_NE(b, nullptr) << all[i].name;
        EXPECT_NE(b->fn, nullptr) << all[i].name;
    }
    EXPECT_EQ(FindBuiltin("QC"), nullptr);
}

// Column A: 2 4 4 4 5 5 7 9, a text, an empty cell; population variance 4.
FakeEnvironment statisticsPage() {
    FakeEnvironment env;
    const double values[] = {2, 4, 4, 4, 5, 5, 7, 9};
    for (int i = 0; i < 8; ++i) env.cells[{i + 1, 1}] = Value::number(values[i]);
    env.set("A9", QStringLiteral("12"));  // texts never count, even numeric ones
    return env;
}

TEST(Builtins, FixedAreaStatistics) {
    FakeEnvironment env = statisticsPage();
    EXPECT_EQ(num(eval("PTOTAL(A1:A10)", env)), 40);
    EXPECT_EQ(num(eval("PCOUNT(A1:A10)", env)), 8);
    EXPECT_EQ(num(eval("PAVG(A1:A10)", env)), 5);
    EXPECT_EQ(num(eval("PMIN(A1:A10)", env)), 2);
    EXPECT_EQ(num(eval("PMAX(A1:A10)", env)), 9);
    EXPECT_EQ(num(eval("PVAR(A1:A10)", env)), 4);  // divided by the count
    EXPECT_EQ(num(eval("PSTD(A1:A10)", env)), 2);
    EXPECT_EQ(num(eval("PVAR(A1)", env)), 0);
    EXPECT_EQ(num(eval("PTOTAL(A1:B2)", env)), 6);
    // Nothing to count: every statistic is 0.
    for (const char* f : {"PTOTAL", "PAVG", "PCOUNT", "PMIN", "PMAX", "PVAR", "PSTD"})
        EXPECT_EQ(num(eval(QString::fromLatin1(f) + "(C1:C5)", env)), 0) << f;

    // Filters: a comparison with each cell, or a condition for all of them.
    EXPECT_EQ(num(eval("PTOTAL(A1:A10,>4)", env)), 26);
    EXPECT_EQ(num(eval("PCOUNT(A1:A10,=4)", env)), 3);
    EXPECT_EQ(num(eval("PTOTAL(A1:A10,>A1+A2)", env)), 16);
    EXPECT_EQ(num(eval("PTOTAL(A1:A10,A1=2)", env)), 40);
    EXPECT_EQ(num(eval("PTOTAL(A1:A10,A1=3)", env)), 0);
    EXPECT_EQ(num(eval("PTOTAL(A1:A10,)", env)), 40);  // a left-out filter

    // A failed cell fails the statistic; so does a failing filter.
    env.set("A5", Value::error("bad"));
    EXPECT_TRUE(eval("PTOTAL(A1:A10)", env).isError());
    EXPECT_EQ(num(eval("PTOTAL(A1:A4)", env)), 14);
    EXPECT_TRUE(eval("PTOTAL(A1:A4,>1/0)", env).isError());
}

TEST(Builtins, FixedAreaStatisticsLeaveTheVariableAreaOut) {
    FakeEnvironment env;
    env.varKind = 1;
    env.varStart = 2;
    env.set("A1", 1);
    env.set("A3", 3);
    env.setVar(1, 1, 100);
    env.setVar(2, 1, 200);
    EXPECT_EQ(num(eval("PTOTAL(A1:A3)", env)), 4);
    EXPECT_EQ(num(eval("A2", env)), 100);  // the template row reads the first line
}

TEST(Builtins, VariableAreaStatistics) {
    FakeEnvironment env;
    env.varKind = 1;
    env.varStart = 4;
    // Lines: (A, B) = (50, 1) (150, 2) (250, 3) (text, 4)
    env.setVar(1, 1, 50);
    env.setVar(1, 2, 1);
    env.setVar(2, 1, 150);
    env.setVar(2, 2, 2);
    env.setVar(3, 1, 250);
    env.setVar(3, 2, 3);
    env.setVar(4, 2, 4);
    env.varLines[3][0] = Value::text(QStringLiteral("x"));
    env.set("A1", 1000);  // fixed cells never count
    EXPECT_EQ(num(eval("GTOTAL(V_A)", env)), 450);
    EXPECT_EQ(num(eval("GCOUNT(V_A)", env)), 3);
    EXPECT_EQ(num(eval("GAVG(V_A)", env)), 150);
    EXPECT_EQ(num(eval("GMAX(V_A2:V_B3)", env)), 250);
    EXPECT_EQ(num(eval("GTOTAL(V_A2:V_B3)", env)), 405);
    EXPECT_EQ(num(eval("GTOTAL(V_B3)", env)), 3);
    EXPECT_EQ(num(eval("GTOTAL(V_B3:V_B9)", env)), 7);  // lines past the used ones are not there
    EXPECT_NEAR(num(eval("GVAR(V_A)", env)), 20000.0 / 3, 1e-9);
    EXPECT_NEAR(num(eval("GSTD(V_A)", env)), std::sqrt(20000.0 / 3), 1e-9);
    // Cells that cross the template row name the lines in those columns.
    EXPECT_EQ(num(eval("GTOTAL(A1:B12)", env)), 460);
    EXPECT_EQ(num(eval("GTOTAL(A1:B3)", env)), 0);
    // Filters: V_ names read each line; a comparison reads each cell.
    EXPECT_EQ(num(eval("GTOTAL(V_A,V_B>=2)", env)), 400);
    EXPECT_EQ(num(eval("GTOTAL(V_A,V_B=2 OR V_B=1)", env)), 200);
    EXPECT_EQ(num(eval("GTOTAL(V_A,>100)", env)), 400);
    EXPECT_EQ(num(eval("GCOUNT(V_A:V_B,>V_B*60)", env)), 2);  // 150 and 250
    EXPECT_TRUE(eval("GTOTAL(V_1)", env).isError());

    FakeEnvironment none;
    const Value e = eval("GTOTAL(V_A)", none);
    ASSERT_TRUE(e.isError());
    EXPECT_EQ(e.errorMessage(), LoadErrorText(qor::str::kReportHasNoVariableArea));
}

TEST(Builtins, StatisticsOverAllPages) {
    FakeEnvironment p[4];
    const int years[] = {2004, 2005, 2004, 2004};
    for (int i = 0; i < 4; ++i) {
        p[i].page = i + 1;
        p[i].keywords[2] = Value::number(years[i]);
        p[i].cells[{1, 1}] = Value::number((i + 1) * 10);  // 10 20 30 40
        p[i].cells[{2, 1}] = Value::number(1);
        for (int j = 0; j < 4; ++j) p[i].pages.push_back(&p[j]);
    }
    EXPECT_EQ(num(eval("TOTAL(A1)", p[1])), 100);
    EXPECT_EQ(num(eval("TOTAL(A1:A2,年=2004)", p[1])), 83);
    EXPECT_EQ(num(eval("COUNT(A1,年=2004)", p[1])), 3);
    EXPECT_EQ(num(eval("AVG(A1,年=2004)", p[0])), 80.0 / 3);
    EXPECT_EQ(num(eval("MAX(A1,年<2005)", p[0])), 40);
    EXPECT_EQ(num(eval("MIN(A1,>10)", p[0])), 20);
    EXPECT_EQ(num(eval("TOTAL(A1,A2=1 AND A1>25)", p[0])), 70);  // cells of each page
    EXPECT_EQ(num(eval("TOTAL(A1,年=1999)", p[0])), 0);
    EXPECT_EQ(num(eval("VAR(A1)", p[0])), 125);
    const double mean = 80.0 / 3;
    const double var2004 =
        ((10 - mean) * (10 - mean) + (30 - mean) * (30 - mean) + (40 - mean) * (40 - mean)) / 3;
    EXPECT_NEAR(num(eval("STD(A1,年=2004)", p[0])), std::sqrt(var2004), 1e-12);

    p[2].cells[{1, 1}] = Value::error("bad");
    EXPECT_TRUE(eval("TOTAL(A1)", p[0]).isError());
    EXPECT_EQ(num(eval("TOTAL(A1,年=2005)", p[0])), 20);  // the failed page is not read

    FakeEnvironment alone;  // a report of one page
    alone.set("A1", 5);
    EXPECT_EQ(num(eval("TOTAL(A1)", alone)), 5);
}

TEST(Builtins, Maths) {
    FakeEnvironment env;
    EXPECT_EQ(num(eval("SIN(0)+COS(0)", env)), 1);
    EXPECT_NEAR(num(eval("TAN(PAI()/4)", env)), 1, 1e-12);
    EXPECT_NEAR(num(eval("CTAN(PAI()/4)", env)), 1, 1e-12);
    EXPECT_TRUE(eval("CTAN(0)", env).isError());
    EXPECT_EQ(num(eval("ABS(-3.5)", env)), 3.5);
    EXPECT_EQ(num(eval("INT(-2.7)", env)), -2);  // toward zero
    EXPECT_EQ(num(eval("SQR(16)", env)), 4);
    EXPECT_TRUE(eval("SQR(-1)", env).isError());
    EXPECT_NEAR(num(eval("LN(EXP(2))", env)), 2, 1e-12);
    EXPECT_TRUE(eval("LN(0)", env).isError());
    EXPECT_EQ(num(eval("LOG(1000)", env)), 3);
    EXPECT_TRUE(eval("LOG(-10)", env).isError());
    EXPECT_TRUE(eval("EXP(1000)", env).isError());
    EXPECT_EQ(num(eval("PAI()", env)), M_PI);
    EXPECT_EQ(num(eval(R"(ABS("-4"))", env)), 4);
    EXPECT_TRUE(eval("ABS(1/0)", env).isError());
}

TEST(Builtins, RoundHalvesAwayFromZero) {
    FakeEnvironment env;
    EXPECT_EQ(num(eval("ROUND(2.675,2)", env)), 2.68);  // the decimal value, not the binary one
    EXPECT_EQ(num(eval("ROUND(2.5,0)", env)), 3);
    EXPECT_EQ(num(eval("ROUND(-2.5,0)", env)), -3);
    EXPECT_EQ(num(eval("ROUND(1.005,2)", env)), 1.01);
    EXPECT_EQ(num(eval("ROUND(0.125,2)", env)), 0.13);
    EXPECT_EQ(num(eval("ROUND(1.23456789,7)", env)), 1.2345679);
    EXPECT_EQ(num(eval("ROUND(1250,-2)", env)), 1300);
    EXPECT_EQ(num(eval("ROUND(1249.99,-2)", env)), 1200);
    EXPECT_TRUE(eval("ROUND(1.5,0.5)", env).isError());
    EXPECT_TRUE(eval("ROUND(1.5,8)", env).isError());  // beyond the decimals a cell keeps
}

TEST(Builtins, ClockAndPagePointer) {
    FakeEnvironment env;
    env.now = QDateTime(QDate(2004, 5, 17), QTime(13, 45, 30));
    EXPECT_EQ(num(eval("YEAR()*10000+MONTH()*100+DAY()", env)), 20040517);
    EXPECT_EQ(num(eval("HOUR()*10000+MINUTE()*100+SECOND()", env)), 134530);
    const int seasons[12] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    for (int m = 1; m <= 12; ++m) {
        env.now = QDateTime(QDate(2004, m, m == 2 ? 29 : 30), QTime(23, 59, 59));
        EXPECT_EQ(num(eval("SEASON()", env)), seasons[m - 1]) << "month " << m;
    }
    FakeEnvironment a, b, c;
    a.pages = b.pages = c.pages = {&a, &b, &c};
    b.page = 2;
    b.found = 2;
    EXPECT_EQ(num(eval("MRECNO()*100+MNUMBER()*10+SNUMBER()", b)), 232);
    EXPECT_EQ(num(eval("SNUMBER()", a)), 0);
}

TEST(Builtins, IffEvaluatesOnlyTheChosenValue) {
    FakeEnvironment env;
    env.set("B1", 0);
    EXPECT_EQ(num(eval("IFF(B1=0,0,A1/B1)", env)), 0);
    EXPECT_TRUE(eval("IFF(B1<>0,0,A1/B1)", env).isError());
    EXPECT_EQ(eval(R"(IFF(1>2,"yes","no"))", env), text("no"));
    EXPECT_TRUE(eval("IFF(1/0,1,2)", env).isError());
    EXPECT_EQ(num(eval(R"(IFF("0",1,2))", env)), 2);
}

TEST(Builtins, Texts) {
    FakeEnvironment env;
    EXPECT_EQ(num(eval(R"(LEN("北京abc"))", env)), 5);
    EXPECT_EQ(num(eval("LEN(12.5)", env)), 4);
    EXPECT_EQ(eval("TRIM(\"  a b\u3000\")", env), text("a b"));
    EXPECT_EQ(eval(R"(UPPER("abc北京"))", env), text("ABC北京"));
    EXPECT_EQ(eval(R"(LOWER("ABC"))", env), text("abc"));
    EXPECT_EQ(num(eval(R"(VAL(" 12.5元"))", env)), 12.5);
    EXPECT_EQ(num(eval(R"(VAL("元"))", env)), 0);
    EXPECT_EQ(eval("STR(0.1+0.2)", env), text("0.3"));
    EXPECT_EQ(eval("STR(-1/4)", env), text("-0.25"));
    EXPECT_EQ(eval("STR(1E20)", env), text("1e+20"));
    EXPECT_EQ(eval("STR(0*-1)", env), text("0"));
    EXPECT_EQ(eval("STR(123456789012.5)", env), text("123456789012.5"));
    EXPECT_EQ(eval(R"(STR(A1)+"x")", env), text("x"));
}

TEST(Builtins, SubstrBounds) {
    FakeEnvironment env;
    EXPECT_EQ(eval(R"(SUBSTR("abcdef",2,3))", env), text("bcd"));
    EXPECT_EQ(eval(R"(SUBSTR("abcdef",4))", env), text("def"));  // to the end
    EXPECT_EQ(eval(R"(SUBSTR("abcdef",0,2))", env), text("ab"));
    EXPECT_EQ(eval(R"(SUBSTR("abc",3,5))", env), text("c"));
    EXPECT_EQ(eval(R"(SUBSTR("abc",4))", env), text(""));
    EXPECT_EQ(eval(R"(SUBSTR("abc",2,0))", env), text(""));
    EXPECT_EQ(eval(R"(SUBSTR("北京市",2,1))", env), text("京"));
    EXPECT_TRUE(eval(R"(SUBSTR("abc",-1))", env).isError());
    EXPECT_TRUE(eval(R"(SUBSTR("abc",1,-1))", env).isError());
    EXPECT_TRUE(eval(R"(SUBSTR("abc",1.5))", env).isError());
}

TEST(Builtins, InputThroughTheUserInterface) {
    FakeEnvironment env;
    // Headless nobody answers: the formula fails rather than inventing 0.
    const Value none = eval("GETINT()", env);
    ASSERT_TRUE(none.isError());
    EXPECT_TRUE(eval(R"(GETSTR("名称"))", env).isError());

    QString caption;
    UiServices ui;
    ui.promptNumber = [&](const NumberPrompt& p) -> std::optional<double> {
        caption = p.caption;
        return 42.7;
    };
    ui.promptText = [&](const TextPrompt& p) -> std::optional<QString> {
        caption = p.caption;
        return QStringLiteral("北京");
    };
    const UiServices old = installUiServices(ui);
    EXPECT_EQ(num(eval(R"(GETINT("份数")+1)", env)), 43);
    EXPECT_EQ(caption, QStringLiteral("份数"));
    EXPECT_EQ(eval("GETSTR()", env), text("北京"));
    EXPECT_EQ(caption, LoadErrorText(qor::str::kDialogCaption));
    // A check asks nobody.
    caption.clear();
    env.checkOnly = true;
    EXPECT_EQ(num(eval("GETINT()", env)), 0);
    EXPECT_EQ(eval("GETSTR()", env), text(""));
    EXPECT_TRUE(caption.isEmpty());
    installUiServices(old);
}

TEST(Builtins, ReadingDatabases) {
    FakeEnvironment env;
    const Value none = eval(R"(INDB("a.dbf","t","f",1,))", env);
    ASSERT_TRUE(none.isError());
    EXPECT_TRUE(none.errorMessage().contains("INDB"));
    EXPECT_TRUE(eval(R"(INDBSQL("001","[t]","[f]",1,""))", env).isError());

    DatabaseRequest seen;
    Value answer = Value::text(QString(100, u'x'));
    env.database = [&](const DatabaseRequest& r) {
        seen = r;
        return answer;
    };
    // The whole field, not its first 63 characters.
    EXPECT_EQ(eval(R"(INDB("a.dbf","t","f",3,"x>1"))", env), Value::text(QString(100, u'x')));
    EXPECT_FALSE(seen.hostDatabase);
    EXPECT_EQ(seen.file, "a.dbf");
    EXPECT_EQ(seen.record, 3);
    EXPECT_EQ(seen.condition, "x>1");
    answer = Value();  // a null field
    EXPECT_EQ(eval(R"(INDBSQL("001","[t]","[f]",1,))", env), Value::number(0));
    EXPECT_TRUE(seen.hostDatabase);
    EXPECT_TRUE(seen.condition.isEmpty());
    EXPECT_TRUE(eval(R"(INDB("a.dbf","t","f",1.5,))", env).isError());
    answer = Value::error("no such table");
    EXPECT_EQ(eval(R"(INDB("a.dbf","t","f",1))", env).errorMessage(), "no such table");

    seen = DatabaseRequest();
    env.checkOnly = true;
    EXPECT_EQ(num(eval(R"(INDB("a.dbf","t","f",1))", env)), 0);
    EXPECT_TRUE(seen.file.isEmpty());
}

// Every text carries where its parts came from: the formula's quoted texts
// are the author's, a cell's text is data, through joins, IF, the text
// functions and the variables that hold them; the database functions pass
// the marks on, so a quote inside a cell's text can never become SQL.
TEST(Builtins, DatabaseTextsKeepWhereTheirPartsCameFrom) {
    FakeEnvironment env;
    DatabaseRequest seen;
    RecordRequest queued;
    env.database = [&](const DatabaseRequest& r) {
        seen = r;
        return Value::number(1);
    };
    env.records = [&](const RecordRequest& r) {
        queued = r;
        return Value::number(0);
    };
    using P = QList<TextPiece>;
    const QString cell = QStringLiteral("x\" or \"1\"=\"1");
    env.set("A1", cell);
    env.set("B1", 7.0);
    const P joined{{"km = \"", true}, {cell, false}, {"\" and n > 7", true}};
    // The same condition inline, through a variable, through the text
    // functions and IF.
    env.variables["&c"] = eval(R"("km = """ + A1 + """ and n > 7")", env);
    for (const char* condition :
         {R"("km = """ + A1 + """ and n > 7")", "&c", R"(TRIM("  " + &c + " "))",
          R"(STR(&c))", R"(IFF(1, &c, ""))", R"(SUBSTR("..." + &c, 4))"}) {
        SCOPED_TRACE(condition);
        ASSERT_EQ(eval(QStringLiteral(R"(INDBSQL("001","t","f",1,%1))").arg(condition), env),
                  Value::number(1));
        EXPECT_EQ(seen.condition, "km = \"" + cell + "\" and n > 7");
        EXPECT_EQ(seen.conditionPieces, joined);
    }
    // Cut or case-changed, each character keeps its mark.
    EXPECT_EQ(eval(R"(SUBSTR(&c, 3, 5))", env).pieces(), (P{{" = \"", true}, {"x", false}}));
    EXPECT_EQ(eval(R"(UPPER(&c))", env).pieces(),
              (P{{"KM = \"", true}, {cell.toUpper(), false}, {"\" AND N > 7", true}}));
    // A cell alone, a number turned into text and a prompt's answer are data.
    eval(R"(INDBSQL("001","t","f",1,A1))", env);
    EXPECT_EQ(seen.conditionPieces, (P{{cell, false}}));
    eval(R"(INDB("a.dbf","t","f",1,B1 + 1))", env);
    EXPECT_EQ(seen.conditionPieces, (P{{"8", false}}));
    eval(R"(INDBSQL("001","t","f",1,"n > " + STR(B1)))", env);
    EXPECT_EQ(seen.conditionPieces, (P{{"n > ", true}, {"7", false}}));
    eval(R"(INDBSQL("001","t","f",1,"km = 1"))", env);
    EXPECT_EQ(seen.conditionPieces, (P{{"km = 1", true}}));
    // GETRECORD's statement the same way.
    ASSERT_EQ(eval(R"(GETRECORD("select a from t where a = '" + A1 + "'","A1",1))", env),
              Value::number(0));
    EXPECT_EQ(queued.sqlPieces,
              (P{{"select a from t where a = '", true}, {cell, false}, {"'", true}}));
    // An error in a piece is the function's answer; nothing is read.
    seen = DatabaseRequest();
    EXPECT_TRUE(eval(R"(INDBSQL("001","t","f",1,"n = " + 1/0))", env).isError());
    EXPECT_TRUE(seen.file.isEmpty());
}

TEST(Builtins, GetRecordChecksItsArgumentsFirst) {
    FakeEnvironment env;
    std::vector<RecordRequest> queued;
    env.page = 3;
    env.records = [&](const RecordRequest& r) {
        queued.push_back(r);
        return Value();
    };
    auto code = [&](const char* call) { return eval(QString::fromUtf8(call), env).errorCode(); };
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:","1"))"), kErrorMalformedCall);
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:B2","2"))"), kErrorMalformedCall);
    EXPECT_EQ(code(R"(GETRECORD("","A1:B2","1"))"), kErrorMalformedCall);
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:B2","1",0))"), kErrorBadRecordLimit);
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:B2","1",10000))"), kErrorBadRecordLimit);
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:B2","0",256))"), kErrorBadRecordLimit);
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:B2","0",2.5))"), kErrorBadRecordLimit);
    EXPECT_TRUE(queued.empty());

    EXPECT_EQ(eval(R"(GETRECORD("select a from t"," A1 : B2 ",1))", env), Value::number(0));
    EXPECT_EQ(eval(R"(GETRECORD("select a from t","","0",,))", env).errorCode(), 0);
    EXPECT_EQ(eval(R"(GETRECORD("select a from t","",0))", env), Value::number(0));
    EXPECT_EQ(eval(R"(GETRECORD("select a from t","C3","1",300))", env), Value::number(0));
    ASSERT_EQ(queued.size(), 3u);
    EXPECT_EQ(queued[0].area, "A1:B2");
    EXPECT_EQ(queued[0].direction, 1);
    EXPECT_EQ(queued[0].limit, 9999);
    EXPECT_EQ(queued[0].page, 3);
    EXPECT_EQ(queued[1].direction, 0);
    EXPECT_EQ(queued[1].limit, 255);
    EXPECT_EQ(queued[2].limit, 300);

    // A check finds the faults but queries nothing.
    env.checkOnly = true;
    EXPECT_EQ(code(R"(GETRECORD("select 1","A1:B2","1",0))"), kErrorBadRecordLimit);
    EXPECT_EQ(eval(R"(GETRECORD("select 1","A1:B2","1"))", env), Value::number(0));
    EXPECT_EQ(queued.size(), 3u);

    FakeEnvironment bare;
    EXPECT_TRUE(eval(R"(GETRECORD("select 1","A1:B2","1"))", bare).isError());
}

}  // namespace

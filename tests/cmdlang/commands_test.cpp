#include <gtest/gtest.h>

#include "cmdlang/parser.h"
#include "cmdlang/printer.h"
#include "qstringprint.h"

using namespace qor::cmd;

namespace {

std::unique_ptr<Command> ok(const QString& line) {
    ParseError e;
    auto c = ParseLine(line, &e);
    EXPECT_TRUE(c) << line.toStdString() << ": " << e.toString().toStdString();
    return c ? std::move(c) : std::make_unique<Command>();
}

int errorAt(const QString& line) {
    ParseError e;
    return ParseLine(line, &e) ? -1 : e.position;
}

}  // namespace

TEST(Commands, LetAndFormulaAssignments) {
    auto c = ok("let &abcdefg = -1.7E+308");
    EXPECT_EQ(c->kind, CommandKind::Assign);
    EXPECT_TRUE(c->let);
    EXPECT_EQ(c->target.kind, Target::Kind::Name);
    EXPECT_EQ(c->target.name, QStringLiteral("&abcdefg"));
    EXPECT_EQ(c->formula.expr->kind, NodeKind::Unary);
    EXPECT_EQ(c->formula.expr->children[0]->number, 1.7e308);

    c = ok("A1=B1+C1");
    EXPECT_FALSE(c->let);
    EXPECT_EQ(c->target.kind, Target::Kind::Cell);
    EXPECT_EQ(c->target.first, (CellPos{1, 1}));
    c = ok("LET b3:a1 = A1*2 For C1>0");
    EXPECT_EQ(c->target.kind, Target::Kind::Area);
    EXPECT_EQ(c->target.first, (CellPos{1, 1}));
    EXPECT_EQ(c->target.last, (CellPos{3, 2}));
    EXPECT_TRUE(c->formula.filter);
    // A command word followed by "=" names a variable.
    c = ok("find = 3");
    EXPECT_EQ(c->kind, CommandKind::Assign);
    EXPECT_EQ(c->target.name, QStringLiteral("find"));

    EXPECT_EQ(errorAt("let 5 = 1"), 4);
    EXPECT_EQ(errorAt("let A1 B1"), 7);
    // A V_ name writes variable lines; one that names nothing is refused.
    c = ok("let V_A = 1");
    EXPECT_EQ(c->target.kind, Target::Kind::Var);
    EXPECT_EQ(c->target.var.index, 1);
    EXPECT_EQ(errorAt("let V_A0 = 1"), 4);
    EXPECT_EQ(errorAt("A1"), 2);
    EXPECT_EQ(errorAt("A1=IW1"), 3);
    EXPECT_EQ(errorAt("FOO BAR"), 0);
    EXPECT_EQ(errorAt("let for = 1"), 4);
}

TEST(Commands, FreeFindAndContinue) {
    auto c = ok("free &a, &bcd");
    EXPECT_EQ(c->kind, CommandKind::Free);
    EXPECT_EQ(c->names, (QStringList{"&a", "&bcd"}));
    EXPECT_EQ(errorAt("FREE"), 4);
    EXPECT_EQ(errorAt("FREE 1"), 5);
    EXPECT_EQ(errorAt("FREE a,"), 7);

    c = ok("FIND FOR 年=2004 AND 月>=6");
    EXPECT_EQ(c->kind, CommandKind::Find);
    EXPECT_EQ(PrintExpression(*c->forCond), QStringLiteral("年=2004 AND 月>=6"));
    ok("FIND FOR 单位名称=\"Alpha\" OR 单位编号=\"001\"");
    EXPECT_EQ(errorAt("FIND 年=2004"), 5);
    EXPECT_EQ(errorAt("FIND FOR"), 8);

    c = ok("GFIND FOR ;V_B>100");
    EXPECT_EQ(c->kind, CommandKind::GFind);
    EXPECT_FALSE(c->forCond);
    EXPECT_EQ(PrintExpression(*c->varCond), QStringLiteral("V_B>100"));
    c = ok("GFIND FOR 年=2004; V_1<0");
    EXPECT_TRUE(c->forCond);
    EXPECT_EQ(errorAt("GFIND FOR V_B>100"), 17);
    EXPECT_EQ(errorAt("GFIND FOR ;"), 11);

    EXPECT_EQ(ok("continue")->kind, CommandKind::Continue);
    EXPECT_EQ(errorAt("CONTINUE 2"), 9);
}

TEST(Commands, Consolidation) {
    auto c = ok("TOTAL ");
    EXPECT_EQ(c->kind, CommandKind::Total);
    EXPECT_FALSE(c->file);
    EXPECT_FALSE(c->key);
    EXPECT_FALSE(c->forCond);
    c = ok("TOTAL TO \"sum\"  KEY V_A FOR 年=2004");
    EXPECT_EQ(c->file.value_or(""), QStringLiteral("sum"));
    EXPECT_EQ(c->key->kind, NodeKind::VRef);
    EXPECT_EQ(c->key->var1.index, 1);
    EXPECT_EQ(PrintExpression(*c->forCond), QStringLiteral("年=2004"));
    ok("total for 月>=6");
    EXPECT_EQ(errorAt("TOTAL KEY A1"), 10);
    EXPECT_EQ(errorAt("TOTAL TO sum"), 9);
    EXPECT_EQ(errorAt("TOTAL TO \"\""), 9);
    EXPECT_EQ(errorAt("TOTAL FOR 年=2004 TO \"x\""), 17);

    c = ok("GTOTAL ");
    EXPECT_EQ(c->kind, CommandKind::GTotal);
    EXPECT_FALSE(c->forCond || c->varCond);
    c = ok("GTOTAL FOR ; V_A>100");
    EXPECT_FALSE(c->forCond);
    EXPECT_TRUE(c->varCond);
    c = ok("GTOTAL FOR 年=2004");
    EXPECT_TRUE(c->forCond);
    EXPECT_FALSE(c->varCond);
    c = ok("GTOTAL FOR 年=2004; V_A>100");
    EXPECT_TRUE(c->forCond && c->varCond);
    EXPECT_EQ(errorAt("GTOTAL V_A>100"), 7);
    EXPECT_EQ(errorAt("GTOTAL FOR ;"), 12);

    c = ok("APPEND FROM \"x.rep\" FOR 月>=6\r\n");
    EXPECT_EQ(c->kind, CommandKind::Append);
    EXPECT_EQ(c->file.value_or(""), QStringLiteral("x.rep"));
    EXPECT_TRUE(c->forCond);
    ok("append from \"x.rep\"");
    EXPECT_EQ(errorAt("APPEND \"x.rep\""), 7);
}

TEST(Commands, PagesAndSorting) {
    EXPECT_TRUE(ok("DELETE ALL")->all);
    auto c = ok("DELETE 1,8,14");
    EXPECT_EQ(c->pages, (std::vector<int>{1, 8, 14}));
    c = ok("delete all for 年<2000");
    EXPECT_TRUE(c->all && c->forCond);
    c = ok("DELETE FOR 年<2000");
    EXPECT_FALSE(c->all);
    EXPECT_TRUE(c->forCond);
    EXPECT_EQ(errorAt("DELETE"), 6);
    EXPECT_EQ(errorAt("DELETE 0"), 7);
    EXPECT_EQ(errorAt("DELETE 1,"), 9);
    EXPECT_EQ(errorAt("DELETE 2.5"), 7);

    c = ok("SORT BY 年 DESC, 月, A3 asc");
    EXPECT_EQ(c->kind, CommandKind::Sort);
    EXPECT_EQ(c->sortScope, SortScope::Default);
    ASSERT_EQ(c->sortKeys.size(), 3u);
    EXPECT_TRUE(c->sortKeys[0].descending);
    EXPECT_FALSE(c->sortKeys[1].descending);
    EXPECT_EQ(c->sortKeys[2].key->kind, NodeKind::CellRef);
    EXPECT_EQ(ok("SORT VAR BY V_A")->sortScope, SortScope::Var);
    EXPECT_EQ(ok("SORT PAGES BY 年")->sortScope, SortScope::Pages);
    EXPECT_EQ(errorAt("SORT 年"), 5);
    EXPECT_EQ(errorAt("SORT BY a,b,c,d"), 14);
    EXPECT_EQ(errorAt("SORT BY 1"), 8);
}

TEST(Commands, TheRest) {
    EXPECT_FALSE(ok("ROUND")->file);
    EXPECT_EQ(ok("ROUND TO \"r.rep\"")->file.value_or(""), QStringLiteral("r.rep"));
    EXPECT_EQ(errorAt("ROUND TO"), 8);
    EXPECT_FALSE(ok("CHECK")->all);
    EXPECT_TRUE(ok("check all")->all);
    EXPECT_EQ(ok("RECALC ALL")->kind, CommandKind::Recalc);
    EXPECT_EQ(errorAt("CHECK SOME"), 6);

    auto c = ok("BROWSE A1:C3,E5:G7 LABELS \"北京,上海\"");
    EXPECT_EQ(c->kind, CommandKind::Browse);
    ASSERT_EQ(c->areas.size(), 2u);
    EXPECT_EQ(c->areas[1]->cell2, (CellPos{7, 7}));
    EXPECT_EQ(c->labels.value_or(""), QStringLiteral("北京,上海"));
    EXPECT_TRUE(ok("BROWSE")->areas.empty());
    EXPECT_EQ(ok("BROWSE A1:C3,,E5,")->areas.size(), 2u);
    EXPECT_EQ(ok("BROWSE \"o.rep\"->A1:B2")->areas[0]->report, QStringLiteral("o.rep"));
    EXPECT_EQ(errorAt("BROWSE V_A"), 7);
    EXPECT_EQ(errorAt("BROWSE A1:C3 LABELS"), 19);
    EXPECT_EQ(errorAt("BROWSE A1 B2"), 10);

    EXPECT_TRUE(ok("MAIL")->mailMode.isNull());
    EXPECT_EQ(ok("mail s")->mailMode, QChar(u'S'));
    EXPECT_EQ(ok("MAIL \"p\"")->mailMode, QChar(u'P'));
    EXPECT_EQ(errorAt("MAIL x"), 5);
    EXPECT_FALSE(ok("MENU")->file);
    EXPECT_EQ(ok("MENU \"my.mnu\"")->file.value_or(""), QStringLiteral("my.mnu"));
    EXPECT_EQ(ok("DO \"sub.shl\"")->file.value_or(""), QStringLiteral("sub.shl"));
    EXPECT_EQ(errorAt("DO"), 2);
    c = ok("CONVERT \"a.rep\" TO \"a.xls\" PAGE 2");
    EXPECT_EQ(c->file2.value_or(""), QStringLiteral("a.xls"));
    EXPECT_EQ(c->page, 2);
    EXPECT_EQ(errorAt("CONVERT \"a.rep\" \"b.xls\""), 16);
    EXPECT_EQ(ok("list memory")->kind, CommandKind::ListMemory);
    EXPECT_EQ(errorAt("LIST"), 4);
    EXPECT_EQ(ok("HELP")->kind, CommandKind::Help);

    EXPECT_EQ(ok("* a comment")->kind, CommandKind::Empty);
    EXPECT_EQ(ok("  ; another")->kind, CommandKind::Empty);
    EXPECT_EQ(ok("")->kind, CommandKind::Empty);
}

TEST(Commands, PrintingRoundTrips) {
    const char* const lines[] = {
        "LET &abcdefg=-1.7e+308",
        "A1:B3=A1*2 For C1>0",
        "FREE &a,&b",
        "FIND FOR 年=2004 AND 月>=6",
        "GFIND FOR ;V_B>100",
        "GFIND FOR 年=2004;V_B>100",
        "CONTINUE",
        "TOTAL",
        "TOTAL TO \"sum\" KEY V_A FOR 年=2004",
        "GTOTAL FOR; V_A>100",
        "GTOTAL FOR 年=2004; V_A>100",
        "APPEND FROM \"x.rep\" FOR 月>=6",
        "DELETE 1,8,14 FOR 年<2000",
        "SORT VAR BY V_A DESC,V_B",
        "ROUND TO \"r\"",
        "CHECK ALL",
        "RECALC",
        "BROWSE A1:C3,E5 LABELS \"a,b\"",
        "MAIL S",
        "MENU \"m\"",
        "DO \"s.shl\"",
        "CONVERT \"a.rep\" TO \"a.xls\" PAGE 2",
        "LIST MEMORY",
        "HELP",
    };
    for (const char* line : lines) {
        auto first = ok(QString::fromUtf8(line));
        const QString printed = PrintCommand(*first);
        auto second = ok(printed);
        EXPECT_EQ(PrintCommand(*second), printed) << line;
        EXPECT_EQ(second->kind, first->kind) << line;
    }
    EXPECT_EQ(PrintCommand(*ok("total to \"s\" key v_a for 年=2004")),
              QStringLiteral("TOTAL TO \"s\" KEY V_A FOR 年=2004"));
}

// The database formulas on every host database: INDBSQL reading one value
// and GETRECORD queuing an area, over a dictionary whose tables and fields
// have Chinese and mixed-case names (which a server folds or refuses unless
// they are quoted its own way).
#include <gtest/gtest.h>

#include "cmdlang/calchooks.h"
#include "cmdlang/ccalcinterpreter.h"
#include "cmdlang/cellformulaevaluator.h"
#include "cmdlang/enginehooks.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/recalccache.h"
#include "engine/recordfill.h"
#include "exchange/dbreaders.h"
#include "exchange/recordquery.h"
#include "reader/cadoconnection.h"
#include "reader/cadorecordset.h"
#include "reader/cqordb.h"
#include "tests/db/dbfixture.h"

using qor::cmd::Value;
using qordbtest::Backend;

namespace {

constexpr int kBig = qordbtest::kBigRows;

class DbFormulaTest : public qordbtest::HostDbTest {
protected:
    static Value indbsql(const QString& table, const QString& field, int record,
                         const QString& condition = QString()) {
        qor::cmd::DatabaseRequest r;
        r.hostDatabase = true;
        r.file = QStringLiteral("001xxx20030101");
        r.table = table;
        r.field = field;
        r.record = record;
        r.condition = condition;
        return qor::ReadDatabaseForFormula(r);
    }

    // The cells GETRECORD queued last as "kind:text", and its corners.
    static QStringList lastCells() {
        const auto& r = qor::RecordFillQueue::instance().Requests().back();
        QStringList out;
        for (int i = 0; i < r.cells->CellCount(); ++i)
            out.append(QString::number(r.cells->CellKind(i)) + ':' + r.cells->CellText(i));
        return out;
    }
    static QList<int> lastCorners() {
        const auto& r = qor::RecordFillQueue::instance().Requests().back();
        return {r.c1, r.r1, r.c2, r.r2};
    }
    static QString getRecord(const QString& sql, const QString& area, int limit,
                             const QString& direction = "1") {
        QString error;
        if (BuildCellRangeXml(sql, area, limit, direction, 1, &error) != 1)
            return error.isEmpty() ? QStringLiteral("<failed without a reason>") : error;
        return QString();
    }
};

}  // namespace

// INDBSQL: names given plainly or as definitions, Chinese conditions, the
// record number counted after the condition and its own order.
TEST_P(DbFormulaTest, IndbsqlReadsValuesByNamesAndDefinitions) {
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1).asNumber(), 100.5);
    EXPECT_EQ(indbsql("凭证", "摘要", 2).asText(), "工资");
    // Mixed case stays mixed case on the server.
    EXPECT_EQ(indbsql("GlAccSum", "Md", 2).asNumber(), 0.5);
    EXPECT_EQ(indbsql("[科目余额表]", "[借方]", 1, "[科目编码] = \"1001\"").asNumber(), 7);
    // Chinese keywords in the condition, the author's double quotes.
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1, "[摘要] = \"工资\"").asNumber(), 20);
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 2, "[摘要] like \"房租%\"").asNumber(), -3.25);
    // Past the last record the last one; no record a null.
    EXPECT_EQ(indbsql("[凭证表]", "[科目]", 99).asText(), "1001");
    EXPECT_TRUE(indbsql("[凭证表]", "[金额]", 1, "[摘要] = \"无\"").isEmpty());
    // The author's order decides which record is the n-th.
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1, "1 = 1 order by [金额]").asNumber(), -3.25);
}

TEST_P(DbFormulaTest, IndbsqlOverTenThousandRecords) {
    EXPECT_EQ(indbsql("big", "n", kBig).asNumber(), kBig);
    EXPECT_EQ(indbsql("big", "n", kBig + 500).asNumber(), kBig);
    EXPECT_EQ(indbsql("big", "n", 3, "n > 0 order by n desc").asNumber(), kBig - 2);
    EXPECT_EQ(indbsql("big", "n", 0, "n > 9990 order by n").asNumber(), 9991);
    EXPECT_TRUE(indbsql("big", "n", 1, "n > " + QString::number(kBig)).isEmpty());
}

TEST_P(DbFormulaTest, IndbsqlFailuresNameTheirCause) {
    EXPECT_TRUE(indbsql("nosuch", "n", 1).errorMessage().contains("nosuch"));
    EXPECT_TRUE(indbsql("big", "nosuch", 1).errorMessage().contains("nosuch"));
    // A field no column has is no text of its own name, on any server;
    // neither in the condition.
    EXPECT_TRUE(indbsql("凭证", "nofield", 1).isError());
    EXPECT_TRUE(indbsql("big", "n", 1, "[nofield] = 'nofield'").isError());
    EXPECT_TRUE(indbsql("big", "n", 1, "n > 0; delete from big").isError());
    // A failed statement leaves the account set's connection usable.
    EXPECT_EQ(indbsql("big", "n", 2).asNumber(), 2);
}

// The account set's kept connection ended by the server (or closed): the
// next cell reconnects once; a query's own failure is still told.
TEST_P(DbFormulaTest, IndbsqlReconnectsAfterALostConnection) {
    EXPECT_EQ(indbsql("big", "n", 5).asNumber(), 5);
    if (OnServer())
        Exec({"select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = "
              "current_database() and pid <> pg_backend_pid()"});
    else
        app_->GetAccountConnection("001_2003", CQorDB::LoginDbName())->Close();
    EXPECT_EQ(indbsql("big", "n", 6).asNumber(), 6);
    EXPECT_TRUE(indbsql("nosuch", "n", 1).errorMessage().contains("nosuch"));
    EXPECT_EQ(indbsql("big", "n", 7).asNumber(), 7);
}

// GETRECORD: areas down and across, definitions naming Chinese and
// mixed-case tables, numbers and texts as their kinds.
TEST_P(DbFormulaTest, GetRecordFillsAreasDownAndAcross) {
    ASSERT_EQ(getRecord("select [凭证表].[科目], [金额], [摘要] from [凭证表] order by [金额] desc",
                        "B2:C10", 9999),
              "");
    // Two of three fields fit; three records down the rows.
    EXPECT_EQ(lastCorners(), (QList<int>{1, 1, 2, 3}));
    EXPECT_EQ(lastCells(), (QStringList{"2:1001", "2:1002", "2:1001", "1:100.5", "1:20",
                                        "1:-3.25"}));

    ASSERT_EQ(getRecord("select [科目余额表].[科目编码], [借方] from [科目余额表] "
                        "where [科目编码] like '1002%'",
                        "C3", 255, "0"),
              "");
    // Across: fields down the rows, records across the columns.
    EXPECT_EQ(lastCorners(), (QList<int>{2, 2, 2, 3}));
    EXPECT_EQ(lastCells(), (QStringList{"2:100201", "1:0.5"}));

    // Aggregates are numbers on each server.
    ASSERT_EQ(getRecord("select count(*), sum([凭证表].[金额]) from [凭证表]", "A1", 10), "");
    EXPECT_EQ(lastCells(), (QStringList{"1:3", "1:117.25"}));
}

// The record limit and the area both bound the records; the author's own
// limit and order survive; 0 and 10,000 records.
TEST_P(DbFormulaTest, GetRecordLimitsAndSizes) {
    ASSERT_EQ(getRecord("select n from big order by n desc", "", 3), "");
    EXPECT_EQ(lastCells(), (QStringList{"1:10000", "1:9999", "1:9998"}));
    ASSERT_EQ(getRecord("select n from big order by n", "A1:A4", 9999), "");
    EXPECT_EQ(lastCells(), (QStringList{"1:1", "1:2", "1:3", "1:4"}));
    ASSERT_EQ(getRecord("select n from big order by n limit 2;", "A1", 9999), "");
    EXPECT_EQ(lastCells(), (QStringList{"1:1", "1:2"}));
    // A comment could cut off the limit the system appends: refused.
    EXPECT_TRUE(getRecord("select n from big order by n -- the first ones", "A1", 2)
                    .startsWith(LoadErrorText(qor::str::kCheckSqlStatement)));
    ASSERT_EQ(getRecord("select n from big", "A1", 0), "");
    EXPECT_TRUE(lastCells().isEmpty());

    ASSERT_EQ(getRecord("select n from big where n > 1 and n < 0", "A1:B5", 9999), "");
    EXPECT_EQ(lastCorners(), (QList<int>{0, 0, 0, 0}));
    EXPECT_TRUE(lastCells().isEmpty());

    ASSERT_EQ(getRecord("select n, [凭证表].[科目] from big, [凭证表] where [金额] = 20 "
                        "order by n",
                        "", kBig),
              "");
    const QStringList all = lastCells();
    ASSERT_EQ(all.size(), 2 * kBig);
    EXPECT_EQ(all.at(kBig - 1), "1:10000");
    EXPECT_EQ(all.at(kBig), "2:1002");
    EXPECT_EQ(lastCorners(), (QList<int>{0, 0, 1, kBig - 1}));
}

TEST_P(DbFormulaTest, FailedGetRecordQueuesNothing) {
    for (const QString sql : {"select [没有] from big", "select nosuch from big",
                              "select n from nosuch", "delete from big",
                              "select 1; delete from big"}) {
        SCOPED_TRACE(sql.toStdString());
        const QString error = getRecord(sql, "A1", 10);
        EXPECT_TRUE(error.startsWith(LoadErrorText(qor::str::kCheckSqlStatement)))
            << error.toStdString();
    }
    EXPECT_EQ(qor::RecordFillQueue::instance().PendingCount(), 0);
    ASSERT_EQ(getRecord("select count(*) from big", "A1", 10), "");
    EXPECT_EQ(lastCells(), QStringList{"1:10000"});
}

// Cells of one recalculation running the same query share its records,
// fetched further ahead as later records are asked for: a change to the
// table in the middle shows in the next recalculation. Outside one every
// read asks the server again.
TEST_P(DbFormulaTest, OneRecalculationSharesAQuery) {
    const QString byN = QStringLiteral("n > 0 order by n");
    {
        qor::RecalcCacheScope recalculation;
        for (int n = 1; n <= 600; ++n) ASSERT_EQ(indbsql("big", "n", n, byN).asNumber(), n);
        EXPECT_EQ(indbsql("big", "n", kBig + 5, byN).asNumber(), kBig);
        EXPECT_EQ(indbsql("big", "n", 0, byN).asNumber(), 1);
        Exec({"update big set n = -n where n = 300"});
        EXPECT_EQ(indbsql("big", "n", 300, byN).asNumber(), 300);
        // A failure is shared too, and tells its cause to every cell.
        EXPECT_TRUE(indbsql("nosuch", "n", 1).errorMessage().contains("nosuch"));
        EXPECT_TRUE(indbsql("nosuch", "n", 2).errorMessage().contains("nosuch"));
        EXPECT_TRUE(indbsql("big", "n", 1, "n > " + QString::number(kBig)).isEmpty());
    }
    EXPECT_EQ(indbsql("big", "n", 300, byN).asNumber(), 301);
    {
        qor::RecalcCacheScope next;
        EXPECT_EQ(indbsql("big", "n", 300, byN).asNumber(), 301);
        EXPECT_EQ(indbsql("big", "n", 299, byN).asNumber(), 299);
    }
    Exec({"update big set n = -n where n = -300"});
    EXPECT_EQ(indbsql("big", "n", 300, byN).asNumber(), 300);
}

// Neighbouring cells of one recalculation asking queries that differ in
// one part only (the condition, the field, the table, the account set's
// name) each get their own query's record, in any order, however often the
// cells switch between them; a cell outside the recalculation asks afresh.
TEST_P(DbFormulaTest, CellsSwitchingBetweenQueriesKeepTheirOwnRecords) {
    const QString up = QStringLiteral("n > 0 order by n");
    const QString down = QStringLiteral("n > 0 order by n desc");
    {
        qor::RecalcCacheScope recalculation;
        for (int n = 1; n <= 300; ++n) {
            ASSERT_EQ(indbsql("big", "n", n, up).asNumber(), n);
            ASSERT_EQ(indbsql("big", "n", n, down).asNumber(), kBig + 1 - n);
            ASSERT_EQ(indbsql("big", "n", n, up).asNumber(), n);
        }
        EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1).asNumber(), 100.5);
        EXPECT_EQ(indbsql("凭证", "摘要", 2).asText(), "工资");
        EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1).asNumber(), 100.5);
        // Another account set (a year with no database) is not this one.
        qor::cmd::DatabaseRequest r;
        r.hostDatabase = true;
        r.file = QStringLiteral("001xxx19990101");
        r.table = QStringLiteral("big");
        r.field = QStringLiteral("n");
        r.record = 1;
        r.condition = up;
        EXPECT_TRUE(qor::ReadDatabaseForFormula(r).isError());
        EXPECT_EQ(indbsql("big", "n", 1, up).asNumber(), 1);
        Exec({"update big set n = -n where n = 1"});
        EXPECT_EQ(indbsql("big", "n", 1, up).asNumber(), 1);
    }
    EXPECT_EQ(indbsql("big", "n", 1, up).asNumber(), 2);
    {
        qor::RecalcCacheScope next;
        EXPECT_EQ(indbsql("big", "n", 1, up).asNumber(), 2);
    }
    Exec({"update big set n = -n where n = -1"});
}

// A "[" inside a quoted text belongs to the text: it is neither looked up
// as a definition nor taken for one left open.
TEST_P(DbFormulaTest, BracketsInsideQuotedTextsStayTexts) {
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1, "[摘要] <> \"[\" order by [金额]").asNumber(), -3.25);
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1, "[摘要] <> 'a[b' and [摘要] = \"工资\"").asNumber(), 20);
    ASSERT_EQ(getRecord("select '[金额]', 'it''s [', count(*) from [凭证表] where [摘要] <> '['",
                        "A1", 10),
              "");
    EXPECT_EQ(lastCells(), (QStringList{"2:[金额]", "2:it's [", "1:3"}));
    // Outside the quotes a "[" still needs its "]".
    EXPECT_TRUE(getRecord("select '[' from [凭证表", "A1", 10)
                    .startsWith(LoadErrorText(qor::str::kCheckSqlStatement)));
}

// Whatever a formula's condition says, nothing is written: a statement
// switching the session's read-only default off leaves the next query in
// its own read-only transaction, and a writing function then fails with a
// reason. SQLite has neither: its connection refuses the write statements
// themselves (see the connection's test).
TEST_P(DbFormulaTest, AConditionCannotLiftTheReadOnlyGuard) {
    if (!OnServer()) GTEST_SKIP() << "settings and writing functions are a server's";
    Exec({"create table written(n integer)",
          "create function write_row() returns integer language sql volatile as "
          "$$ insert into written values (1) returning 1 $$"});
    const Value lifted = indbsql(
        "big", "n", 1,
        "set_config('default_transaction_read_only','off',false) = 'off' and "
        "set_config('transaction_read_only','off',false) = 'off'");
    EXPECT_TRUE(lifted.isError());
    indbsql("big", "n", 1, "set_config('default_transaction_read_only','off',false) = 'off'");
    const Value write = indbsql("big", "n", 1, "write_row() = 1");
    ASSERT_TRUE(write.isError());
    EXPECT_TRUE(write.errorMessage().contains("read-only")) << write.errorMessage().toStdString();
    // GETRECORD's statements run the same way.
    EXPECT_TRUE(getRecord("select write_row()", "A1", 1)
                    .startsWith(LoadErrorText(qor::str::kCheckSqlStatement)));
    EXPECT_TRUE(getRecord("select n from big where set_config('default_transaction_read_only',"
                          "'off',false) = 'off'",
                          "A1", 1)
                    .isEmpty());
    EXPECT_TRUE(getRecord("select write_row()", "A1", 1)
                    .startsWith(LoadErrorText(qor::str::kCheckSqlStatement)));
    CAdoConnection check;
    check.Open(Text());
    CAdoRecordset rs(&check);
    rs.Open(CAdoRecordset::adOpenStatic, "select count(*) from written", CAdoRecordset::adCmdText);
    EXPECT_EQ(rs.GetFieldValue(0).toInt(), 0);
    // The failed statements left the connection as the login made it.
    EXPECT_EQ(indbsql("big", "n", 3, "n > 0 order by n").asNumber(), 3);
    EXPECT_EQ(indbsql("[凭证表]", "[摘要]", 1, "[金额] = 20").asText(), "工资");
}

// A value joined into a condition between the formula's quotes is a text,
// whatever quotes it holds; the formula's own double quotes are the
// server's single ones.
TEST_P(DbFormulaTest, QuotesInsideValuesStayText) {
    Exec({"create table notes(id integer, memo varchar(80))",
          "insert into notes values (1, 'it''s \"x\"')", "insert into notes values (2, 'plain')",
          "insert into notes values (3, 'c:\\dir\\')",
          "create table secrets(pw varchar(20))", "insert into secrets values ('hunter2')"});
    const auto byMemo = [](const QString& value) {
        qor::cmd::DatabaseRequest r;
        r.hostDatabase = true;
        r.file = QStringLiteral("001xxx20030101");
        r.table = QStringLiteral("notes");
        r.field = QStringLiteral("id");
        r.record = 1;
        r.conditionPieces = {{"memo = \"", true}, {value, false}, {"\" order by id", true}};
        for (const auto& p : r.conditionPieces) r.condition += p.text;
        return qor::ReadDatabaseForFormula(r);
    };
    EXPECT_EQ(byMemo(QStringLiteral("it's \"x\"")).asNumber(), 1);
    EXPECT_EQ(byMemo(QStringLiteral("plain")).asNumber(), 2);
    // A cell's text trying to close the literal finds nothing.
    EXPECT_TRUE(byMemo(QStringLiteral("x\" or \"1\"=\"1")).isEmpty());
    EXPECT_TRUE(byMemo(QStringLiteral("x' or '1'='1")).isEmpty());
    // Backslashes are characters, however the server reads them.
    EXPECT_EQ(byMemo(QStringLiteral("c:\\dir\\")).asNumber(), 3);
    EXPECT_TRUE(byMemo(QStringLiteral("x\\' or '1'='1")).isEmpty());
    EXPECT_TRUE(
        byMemo(QStringLiteral("x\" union select count(*) from secrets where \"1\"=\"1")).isEmpty());
    EXPECT_TRUE(byMemo(QStringLiteral("x'; delete from notes; --")).isEmpty());
    {
        // The same text written by the author is another query, also among
        // the cells of one recalculation.
        qor::RecalcCacheScope recalculation;
        EXPECT_EQ(indbsql("notes", "id", 1, "memo = \"x\" or \"1\"=\"1\" order by id").asNumber(), 1);
        EXPECT_TRUE(byMemo(QStringLiteral("x\" or \"1\"=\"1")).isEmpty());
        EXPECT_EQ(indbsql("notes", "id", 1, "memo = \"x\" or \"1\"=\"1\" order by id").asNumber(), 1);
    }
    EXPECT_EQ(indbsql("notes", "id", 2, "id > 0 order by id").asNumber(), 2);
}

// One statement only: a separator or a comment outside the literals is
// refused before anything runs; inside a literal they are characters.
TEST_P(DbFormulaTest, OneStatementOnly) {
    for (const QString condition :
         {"n > 0; delete from big", "n > 0 -- order by n", "n > 0 /* x */", "n = 1;;select 2"}) {
        SCOPED_TRACE(condition.toStdString());
        const Value v = indbsql("big", "n", 1, condition);
        ASSERT_TRUE(v.isError());
        EXPECT_TRUE(v.errorMessage().contains(LoadErrorText(qor::str::kCheckSqlStatement)));
    }
    if (OnServer()) {
        // Quotes the server reads otherwise hide nothing.
        EXPECT_TRUE(indbsql("big", "n", 1, "n > length(E'x\\'') ; delete from big").isError());
        EXPECT_TRUE(indbsql("big", "n", 1, "n > length($a$'$a$); delete from big --'").isError());
    }
    EXPECT_EQ(indbsql("[凭证表]", "[金额]", 1, "[摘要] <> \"a;b--c/*\" order by [金额]").asNumber(),
              -3.25);
    EXPECT_EQ(indbsql("big", "n", 2, "n > 0 order by n;").asNumber(), 2);
    EXPECT_TRUE(getRecord("select n from big; delete from big", "A1", 1)
                    .startsWith(LoadErrorText(qor::str::kCheckSqlStatement)));
    EXPECT_TRUE(getRecord("select n from big /* x */", "A1", 1)
                    .startsWith(LoadErrorText(qor::str::kCheckSqlStatement)));
    ASSERT_EQ(getRecord("select ';--/*', count(*) from big", "A1", 2), "");
    EXPECT_EQ(lastCells(), (QStringList{"2:;--/*", "1:10000"}));
}

// A cell's text stays data however it reaches a statement: joined inline,
// through a variable, through a text function, or as part of GETRECORD's
// statement. Run as a script runs it, against a ledger holding a row whose
// memo is the cell's very text and a table of secrets: each route finds
// that row (the text compared as data) and never reads the secrets.
TEST_P(DbFormulaTest, CellTextsStayDataOnEveryRoute) {
    const QString doubleQuoted = QStringLiteral("x\" union select pw from secrets where \"1\"=\"1");
    const QString singleQuoted = QStringLiteral("x' union select pw from secrets where '1'='1");
    Exec({"create table ledger(id integer, memo varchar(80))",
          "insert into ledger values (1, 'rent')",
          "insert into ledger values (2, '" + QString(doubleQuoted) + "')",
          "insert into ledger values (3, '" + QString(singleQuoted).replace("'", "''") + "')",
          "create table secrets(pw varchar(20))", "insert into secrets values ('hunter2')"});
    qor::cmd::InstallEngineHooks();
    CReportHandle report(dir_ + "/routes.rep");
    ASSERT_TRUE(report.IsOpen());
    uint16_t rows = 8, cols = 6;
    ASSERT_EQ(report.AccessTableSize(1, &rows, &cols), 0);
    // Columns B and C hold texts.
    int32_t textKind = kCellText;
    CellArea texts = CellArea::area(1, 2, 8, 3);
    ASSERT_EQ(report.AccessAreaFormat(1, qor::kFmtKind, &textKind, &texts), 0);
    ASSERT_EQ(report.EnterDataState(), 0);
    ASSERT_EQ(report.AppendRowColPage(1, 2), 0);
    ASSERT_EQ(report.SetCurPage(1), 0);
    const auto cellText = [&](int row, int col) { return report.GetCellText(row, col, 1); };
    // The texts typed into cells in data state.
    ASSERT_EQ(report.SetCellValue(CellValue::ofText(doubleQuoted), 1, 2, 1), 0);
    ASSERT_EQ(report.SetCellValue(CellValue::ofText(singleQuoted), 3, 2, 1), 0);
    ASSERT_EQ(cellText(1, 2), doubleQuoted);
    CCalcInterpreter ci;
    qor::cmd::CalcSubsystemHooks hooks;
    hooks.readDatabase = qor::ReadDatabaseForFormula;
    hooks.getRecord = qor::GetRecordForFormula;
    ci.SetSubsystemHooks(hooks);
    ci.SetReport(&report);
    ci.SetRunMode(0xFF, CCalcInterpreter::kModeBatch | CCalcInterpreter::kModeQuiet);
    const auto run = [&](const QString& line) {
        EXPECT_EQ(ci.RunLine(line), 0) << line.toStdString() << ": "
                                       << ci.LastErrorText().toStdString();
    };
    const QString indbsql = QStringLiteral("INDBSQL(\"001xxx20030101\",\"ledger\",\"memo\",1,%1)");
    for (const char* cell : {"B1", "B3"}) {
        SCOPED_TRACE(cell);
        const QString expected = QString::fromLatin1(cell) == "B1" ? doubleQuoted : singleQuoted;
        const QString joined = QStringLiteral("\"memo = \"\"\" + %1 + \"\"\"\"").arg(cell);
        // Inline.
        run("LET C5 = " + indbsql.arg(joined));
        EXPECT_EQ(cellText(5, 3), expected);
        // Through a variable.
        run("LET &c = " + joined);
        run("LET C6 = " + indbsql.arg("&c"));
        EXPECT_EQ(cellText(6, 3), expected);
        // Through a function.
        run("LET C7 = " + indbsql.arg("TRIM(" + joined + ")"));
        EXPECT_EQ(cellText(7, 3), expected);
        // Inside a pattern the author wrote around it.
        run("LET C8 = " +
            indbsql.arg(QStringLiteral("\"memo like \"\"%\" + %1 + \"%\"\"\"").arg(cell)));
        EXPECT_EQ(cellText(8, 3), expected);
    }
    // GETRECORD's statement, its records written by RECALC.
    run("LET A1 = GETRECORD(\"select memo from ledger where memo = '\" + B3 + \"'\", \"C1:C4\", \"1\")");
    run("RECALC");
    EXPECT_EQ(cellText(1, 3), singleQuoted);
    for (int row = 1; row <= 8; ++row)
        for (int col = 1; col <= 6; ++col)
            EXPECT_NE(cellText(row, col), "hunter2") << "row " << row << ", column " << col;
    // A condition that is a cell's text alone is not the author's SQL.
    EXPECT_NE(ci.RunLine("LET D1 = " + indbsql.arg("B1")), 0);
    EXPECT_TRUE(
        ci.LastErrorText().contains(LoadErrorText(qor::str::kNothingWritten).section(u'“', 0, 0)))
        << ci.LastErrorText().toStdString();
}

// Every quote either server knows, and names, taken from cells. Data inside
// a quote that cannot hold a value (a dollar-quoted body, an E'...'
// literal, a back-quoted or bracketed name) is refused, and so is a table
// or field taken from a cell, through a variable or a text function too;
// data the server reads as a value finds its row. The secrets never reach
// a cell: not by a formula run as a script, not by a cell's own formula
// when RECALC runs it.
TEST_P(DbFormulaTest, EveryQuoteAndEveryNameFromCellsStaysData) {
    Exec({"create table ledger(id integer, memo varchar(120))",
          "insert into ledger values (1, 'rent')", "insert into ledger values (2, 'it''s')",
          "create table secrets(pw varchar(20))", "insert into secrets values ('hunter2')"});
    // Cell formulas read the database as the programs wire them to.
    qor::cmd::InstallEngineHooks();
    qor::cmd::CellFormulaHooks cellHooks;
    cellHooks.readDatabase = qor::ReadDatabaseForFormula;
    qor::cmd::InstallFormulaEvaluatorHook(std::move(cellHooks));
    CReportHandle report(dir_ + "/quotes.rep");
    ASSERT_TRUE(report.IsOpen());
    uint16_t rows = 12, cols = 4;
    ASSERT_EQ(report.AccessTableSize(1, &rows, &cols), 0);
    int32_t textKind = kCellText;
    CellArea texts = CellArea::area(1, 2, 12, 3);
    ASSERT_EQ(report.AccessAreaFormat(1, qor::kFmtKind, &textKind, &texts), 0);
    // Column D's own formulas, run by RECALC.
    const QString set = QStringLiteral("\"001xxx20030101\"");
    const QList<std::pair<int, QString>> cellFormulas = {
        {1, "INDBSQL(" + set + ",\"ledger\",\"memo\",1,\"memo = $$\" + B1 + \"$$\")"},
        {2, "INDBSQL(" + set + ",B4,\"pw\",1)"},
        {3, "INDBSQL(" + set + ",\"ledger\",\"id\",1,\"memo = '\" + B9 + \"'\")"},
    };
    for (const auto& [row, formula] : cellFormulas) {
        CellArea cell = CellArea::cell(row, 4);
        ASSERT_EQ(report.SetAreaFormula(&cell, formula), 0) << formula.toStdString();
    }
    ASSERT_EQ(report.EnterDataState(), 0);
    ASSERT_EQ(report.AppendRowColPage(1, 2), 0);
    ASSERT_EQ(report.SetCurPage(1), 0);
    const QStringList typed = {
        "$$ AND 1=0 UNION SELECT pw FROM secrets WHERE pw<>$$",        // B1
        "$q$ AND 1=0 UNION SELECT pw FROM secrets WHERE pw<>$q$",      // B2
        "\\' AND 1=0 UNION SELECT pw FROM secrets WHERE pw<>E'",        // B3
        "secrets",                                                      // B4
        "pw",                                                           // B5
        "` = 1 UNION SELECT pw FROM secrets WHERE `1",                  // B6
        "memo] = 1 UNION SELECT pw FROM secrets WHERE [memo",           // B7
        "$标$ AND 1=0 UNION SELECT pw FROM secrets WHERE pw<>$标$",     // B8
        "rent",                                                         // B9
    };
    for (int i = 0; i < typed.size(); ++i)
        ASSERT_EQ(report.SetCellValue(CellValue::ofText(typed[i]), i + 1, 2, 1), 0);
    CCalcInterpreter ci;
    qor::cmd::CalcSubsystemHooks hooks;
    hooks.readDatabase = qor::ReadDatabaseForFormula;
    hooks.getRecord = qor::GetRecordForFormula;
    ci.SetSubsystemHooks(hooks);
    ci.SetReport(&report);
    ci.SetRunMode(0xFF, CCalcInterpreter::kModeBatch | CCalcInterpreter::kModeQuiet);
    const auto cellText = [&](int row, int col) { return report.GetCellText(row, col, 1); };
    const auto head = [](int id) { return LoadErrorText(id).section(u'“', 0, 0); };
    // A line that must fail, and why.
    const auto refused = [&](const QString& line, const QString& why) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_NE(ci.RunLine(line), 0);
        EXPECT_TRUE(ci.LastErrorText().contains(why)) << ci.LastErrorText().toStdString();
    };
    const auto indbsql = [&](const QString& table, const QString& field, const QString& condition,
                             const QString& target = QStringLiteral("C1")) {
        return "LET " + target + " = INDBSQL(" + set + "," + table + "," + field + ",1" +
               (condition.isEmpty() ? QString() : "," + condition) + ")";
    };
    const QString ledger = "\"ledger\"", memo = "\"memo\"";
    // Dollar quotes and escape strings are PostgreSQL's: there the data
    // would end the author's quote, so it is refused. SQLite reads them as
    // a parameter and a name before a literal, a syntax error.
    const QString inQuote = OnServer() ? head(qor::str::kDataInQuote) : QString();
    refused(indbsql(ledger, memo, "\"memo = $$\" + B1 + \"$$\""), inQuote);
    refused(indbsql(ledger, memo, "\"memo = $q$\" + B2 + \"$q$\""), inQuote);
    refused(indbsql(ledger, memo, "\"memo = $标$\" + B8 + \"$标$\""), inQuote);
    refused(indbsql(ledger, memo, "\"memo = E'\" + B3 + \"'\""), inQuote);
    refused(indbsql(ledger, memo, "\"memo = e\"\"\" + B3 + \"\"\"\""), inQuote);
    // Back-quoted names are SQLite's (an operator character on PostgreSQL,
    // where the value stays a value and the statement does not read).
    refused(indbsql(ledger, memo, "\"`\" + B6 + \"` = 1\""),
            OnServer() ? QString() : head(qor::str::kDataAsName));
    refused(indbsql(ledger, memo, "\"[\" + B7 + \"] = 1\""), head(qor::str::kDataAsName));
    refused("LET A1 = GETRECORD(\"select $$\" + B1 + \"$$\", \"C10\", \"1\")", inQuote);
    refused("LET A1 = GETRECORD(\"select `\" + B5 + \"` from secrets\", \"C10\", \"1\")",
            OnServer() ? QString() : head(qor::str::kDataAsName));
    // Tables and fields from cells, however they travel.
    const QString nameFromData = head(qor::str::kNameFromData);
    refused(indbsql("B4", "\"pw\"", QString()), nameFromData);
    refused(indbsql("\"secrets\"", "B5", QString()), nameFromData);
    refused(indbsql("\"secrets\"", "B4", QString()), nameFromData);
    ASSERT_EQ(ci.RunLine("LET &t = B4"), 0);
    refused(indbsql("&t", "\"pw\"", QString()), nameFromData);
    refused(indbsql("TRIM(B4)", "\"pw\"", QString()), nameFromData);
    refused(indbsql("\"[\" + B4 + \"]\"", "\"pw\"", QString()), nameFromData);
    refused("LET C1 = INDB(" + set + ",B4,\"pw\",1)", nameFromData);
    // Names the author wrote, joined or kept in a variable, still read.
    ASSERT_EQ(ci.RunLine("LET &t = \"led\" + \"ger\""), 0);
    ASSERT_EQ(ci.RunLine(indbsql("&t", "LOWER(\"ME\") + \"mo\"", "\"id = 1\"")), 0)
        << ci.LastErrorText().toStdString();
    EXPECT_EQ(cellText(1, 3), "rent");
    if (OnServer()) {
        // A quote inside the author's dollar body or escape string opens
        // nothing: the cell's text after it is a value and finds its row.
        const QString id = "\"id\"", d5 = "D5";
        ASSERT_EQ(ci.RunLine(indbsql(ledger, id, "\"memo <> $$it's$$ and memo = '\" + B9 + \"'\"", d5)), 0)
            << ci.LastErrorText().toStdString();
        EXPECT_EQ(cellText(5, 4), "1");
        ASSERT_EQ(ci.RunLine(indbsql(ledger, id, "\"memo <> E'it\\'s' and memo = \" + B9", d5)), 0)
            << ci.LastErrorText().toStdString();
        EXPECT_EQ(cellText(5, 4), "1");
        ASSERT_EQ(ci.RunLine(indbsql(ledger, id, "\"memo = $$it's$$\"", d5)), 0)
            << ci.LastErrorText().toStdString();
        EXPECT_EQ(cellText(5, 4), "2");
    }
    // The cells' own formulas: the route that works reads its row, the
    // others give no secret.
    // (RECALC reports the cells that failed; what matters here is what
    // the cells hold.)
    ci.RunLine("RECALC");
    EXPECT_EQ(cellText(3, 4), "1");
    for (int row = 1; row <= 12; ++row)
        for (int col = 1; col <= 4; ++col)
            EXPECT_NE(cellText(row, col), "hunter2") << "row " << row << ", column " << col;
}

INSTANTIATE_TEST_SUITE_P(Db, DbFormulaTest,
                         ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         qordbtest::BackendName);

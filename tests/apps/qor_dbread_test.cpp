// Formula functions that read databases, run by qor: INDB in a script line
// and in a cell formula, GETRECORD's records written by RECALC.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "platform/registry.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

QString text(const QByteArray& b) { return QString::fromUtf8(b).trimmed(); }

void writeScript(const QString& path, const QString& body) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(body.toUtf8());
}

TEST(QorDatabaseFunctions, IndbInScriptsAndCellFormulas) {
    const QString dir = qortest::freshDir("qor-indb");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "4", "--cols", "3", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "1", "1", "1", "1200.5"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "1", "2", "1", "30"}).exitCode, 0);
    ASSERT_EQ(qor({"convert", report, dir + "/sales.dbf"}).exitCode, 0);

    // A cell formula reading the second record; RECALC shows its value.
    const auto design = qor({"reader-script", "-"},
                            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 4 3\n"
                                           "SetFormula \"INDB(\\\"%2\\\", \\\"\\\", \\\"A\\\", 2)\"\nSave\nCloseFile\n")
                                .arg(report, dir + "/sales.dbf")
                                .toUtf8());
    ASSERT_EQ(design.exitCode, 0) << design.out.constData() << design.err.constData();
    writeScript(dir + "/indb.shl",
                QStringLiteral("LET B1 = INDB(\"%1\", \"\", \"A\", 1, )\nRECALC ALL\n").arg(dir + "/sales.dbf"));
    auto ran = qor({"run", dir + "/indb.shl", report});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData() << ran.out.constData();
    EXPECT_EQ(text(qor({"get", report, "1", "1", "2"}).out), QStringLiteral("1200.5"));
    EXPECT_EQ(text(qor({"get", report, "1", "4", "3"}).out), QStringLiteral("30"));
    // Every verb that saves works the formula out as `qor run` does.
    const auto set = qor({"set", report, "1", "3", "1", "7"});
    EXPECT_EQ(set.exitCode, 0) << set.err.constData();
    EXPECT_EQ(text(qor({"get", report, "1", "4", "3"}).out), QStringLiteral("30"));

    // The listing: the file's table, then its fields and record count;
    // a table or file that is not there fails with the reason.
    auto tables = qor({"data-info", dir + "/sales.dbf"});
    ASSERT_EQ(tables.exitCode, 0) << tables.err.constData();
    EXPECT_EQ(text(tables.out), QStringLiteral("sales"));
    auto fields = qor({"data-info", dir + "/sales.dbf", "sales"});
    ASSERT_EQ(fields.exitCode, 0) << fields.err.constData();
    EXPECT_TRUE(text(fields.out).startsWith(QStringLiteral("A\tDouble (7)"))) << fields.out.constData();
    EXPECT_TRUE(text(fields.out).endsWith(QStringLiteral("records: 4"))) << fields.out.constData();
    auto missing = qor({"data-info", dir + "/sales.dbf", "nosuch"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("nosuch")) << missing.err.constData();
    EXPECT_EQ(qor({"data-info", dir + "/none.mdb"}).exitCode, 1);
    // Something other than a file at the name fails at once, not listed.
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir + "/pipe.dbf").constData(), 0600), 0);
    const auto pipe = qor({"data-info", dir + "/pipe.dbf"});
    EXPECT_EQ(pipe.exitCode, 1);
    EXPECT_TRUE(text(pipe.out).isEmpty()) << pipe.out.constData();
    EXPECT_EQ(qor({"data-info"}).exitCode, 2);

    // A field the file does not have fails the line with the reason.
    writeScript(dir + "/bad.shl",
                QStringLiteral("LET B1 = INDB(\"%1\", \"\", \"NOSUCH\", 1)\n").arg(dir + "/sales.dbf"));
    auto bad = qor({"run", dir + "/bad.shl", report});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(bad.err.contains("NOSUCH")) << bad.err.constData();
}

TEST(QorDatabaseFunctions, GetRecordThenRecalcFillsTheArea) {
    const QString dir = qortest::freshDir("qor-getrecord");
    const QString db = dir + "/login.db";
    auto made = qortest::python(
        "import sqlite3, sys\n"
        "c = sqlite3.connect(sys.argv[1])\n"
        "c.execute('create table rpt_grpdef(systemid, systemname, tablename, tabledefine)')\n"
        "c.execute('create table rpt_itmdef(tablename, tabledef, fieldname, fielddef, fieldid)')\n"
        "c.execute(\"insert into rpt_grpdef values('1', 'gl', 'pz', '凭证')\")\n"
        "c.execute('create table pz(km text, je real)')\n"
        "c.executemany('insert into pz values(?, ?)', [('101', 0.5), ('102', -0.25), ('103', 7)])\n"
        "c.commit()\n",
        {db});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    ASSERT_TRUE(qor::Registry::writeString(QStringLiteral("Software\\Vantix\\QX\\V8.610\\Login"),
                                           QStringLiteral("VtDbName"),
                                           QStringLiteral("DRIVER=QSQLITE;DATABASE=") + db));
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "6", "--cols", "4", "--pages", "1"}).exitCode, 0);
    writeScript(dir + "/q.shl",
                QStringLiteral("LET A1 = GETRECORD(\"select km, je from [凭证] order by km\", \"B2:C9\", \"1\")\n"
                               "RECALC\n"));
    auto ran = qor({"run", dir + "/q.shl", report});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData() << ran.out.constData();
    EXPECT_EQ(text(qor({"get", report, "1", "2", "2"}).out), QStringLiteral("101"));
    EXPECT_EQ(text(qor({"get", report, "1", "4", "2"}).out), QStringLiteral("103"));
    EXPECT_EQ(text(qor({"get", report, "1", "2", "3"}).out), QStringLiteral("0.5"));
    EXPECT_EQ(text(qor({"get", report, "1", "3", "3"}).out), QStringLiteral("-0.25"));

    // An unknown definition text stops the line with 62061's text.
    writeScript(dir + "/bad.shl",
                QStringLiteral("LET A1 = GETRECORD(\"select [没有] from pz\", \"B2\", \"1\")\n"));
    auto bad = qor({"run", dir + "/bad.shl", report});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(text(bad.err).contains(QStringLiteral("请检查SQL语句"))) << bad.err.constData();
}

}  // namespace

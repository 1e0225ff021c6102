// Data files from the command line: qor convert between reports and dBASE
// or text files, and the command language's CONVERT in a qor run script.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

QString text(const QByteArray& b) { return QString::fromUtf8(b).trimmed(); }

// Two pages of 3 x 2: a text column A and a number column B.
void makeReport(const QString& report) {
    ASSERT_EQ(qor({"new", report, "--rows", "3", "--cols", "2", "--pages", "2"}).exitCode, 0);
    const auto design = qortest::run(
        QStringLiteral(QOR_APP_BINARY), {"reader-script", "-"},
        QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 1 1\nSetCellFormat 0 2\nSave\nCloseFile\n")
            .arg(report)
            .toUtf8());
    ASSERT_EQ(design.exitCode, 0) << design.out.constData() << design.err.constData();
    ASSERT_EQ(qor({"set", report, "1", "1", "1", "收入"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "1", "1", "2", "1200.5"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "2", "2", "2", "30"}).exitCode, 0);
}

TEST(QorDataFiles, ConvertWritesAndReadsDBaseAndText) {
    const QString dir = qortest::freshDir("qor-datafiles");
    const QString report = dir + "/sales.rep";
    makeReport(report);

    // Two pages go into one table: said on stderr, exit code 3.
    auto out = qor({"convert", report, dir + "/sales.dbf"});
    ASSERT_EQ(out.exitCode, 3) << out.err.constData();
    EXPECT_TRUE(text(out.err).contains(QStringLiteral("个表页依次写成了一个表的记录")))
        << out.err.constData();
    EXPECT_TRUE(QFileInfo::exists(dir + "/sales.cpg"));
    if (qortest::needPythonModule("dbfread")) {
        auto r = qortest::python("import sys, dbfread\n"
                                 "for rec in dbfread.DBF(sys.argv[1]): print(list(rec.values()))\n",
                                 {dir + "/sales.dbf"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(text(r.out), QStringLiteral("['收入', 1200.5]\n['', None]\n['', None]\n"
                                              "['', None]\n['', 30.0]\n['', None]"));
    }
    auto back = qor({"convert", dir + "/sales.dbf", dir + "/back.rep"});
    ASSERT_EQ(back.exitCode, 0) << back.err.constData();
    EXPECT_EQ(text(qor({"get", dir + "/back.rep", "1", "1", "1"}).out), QStringLiteral("收入"));
    EXPECT_EQ(text(qor({"get", dir + "/back.rep", "1", "5", "2"}).out), QStringLiteral("30"));

    auto txt = qor({"convert", dir + "/back.rep", dir + "/back.txt"});
    ASSERT_EQ(txt.exitCode, 0) << txt.err.constData();
    EXPECT_TRUE(QFileInfo::exists(dir + "/Schema.ini"));

    // A type no driver knows is refused, nothing written.
    auto wq1 = qor({"convert", report, dir + "/sales.wq1"});
    EXPECT_EQ(wq1.exitCode, 2);
    EXPECT_FALSE(QFileInfo::exists(dir + "/sales.wq1"));
}

// Access and Lotus files hold a table per page; an .xls of values only
// has a worksheet per page with the column letters first.
TEST(QorDataFiles, ConvertWritesAccessLotusAndValuesOnlyWorkbooks) {
    const QString dir = qortest::freshDir("qor-datafiles-tables");
    const QString report = dir + "/sales.rep";
    makeReport(report);
    for (const char* ext : {"mdb", "wk4"}) {
        const QString file = dir + "/sales." + ext;
        auto out = qor({"convert", report, file});
        ASSERT_EQ(out.exitCode, 0) << ext << out.err.constData();
        const QString back = dir + "/back-" + ext + ".rep";
        auto in = qor({"convert", file, back});
        ASSERT_EQ(in.exitCode, 0) << ext << in.err.constData();
        EXPECT_EQ(text(qor({"get", back, "1", "1", "1"}).out), QStringLiteral("收入")) << ext;
        EXPECT_EQ(text(qor({"get", back, "2", "2", "2"}).out), QStringLiteral("30")) << ext;
    }
    auto values = qor({"convert", report, dir + "/values.xls", "--values-only"});
    ASSERT_EQ(values.exitCode, 0) << values.err.constData();
    if (qortest::needPythonModule("xlrd")) {
        auto r = qortest::python("import sys, xlrd\n"
                                 "b = xlrd.open_workbook(sys.argv[1])\n"
                                 "print(b.sheet_names(), b.sheet_by_index(0).row_values(0), b.sheet_by_index(0).row_values(1))\n",
                                 {dir + "/values.xls"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(text(r.out), QStringLiteral("['Sheet1', 'Sheet2'] ['A', 'B'] ['收入', 1200.5]"));
    }
}

TEST(QorDataFiles, ConvertCommandInAScript) {
    const QString dir = qortest::freshDir("qor-datafiles-run");
    const QString report = dir + "/sales.rep";
    makeReport(report);
    QFile script(dir + "/c.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("CONVERT \"%1\" TO \"%2\" PAGE 2\nCONVERT \"%2\" TO \"%3\"\n")
                     .arg(report, dir + "/p2.txt", dir + "/p2.rep")
                     .toUtf8());
    script.close();
    auto ran = qor({"run", dir + "/c.shl", report});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData() << ran.out.constData();
    EXPECT_EQ(text(qor({"get", dir + "/p2.rep", "1", "2", "2"}).out), QStringLiteral("30"));

    QFile bad(dir + "/bad.shl");
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QStringLiteral("CONVERT \"%1\" TO \"%2\"\n").arg(dir + "/p2.txt", dir + "/x.dbf").toUtf8());
    bad.close();
    auto refused = qor({"run", dir + "/bad.shl", report});
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(dir + "/x.dbf"));
}

// CONVERT into an Access file and back, and into binary workbooks: one
// page with its formats, or the whole report (a script answers that the
// formats go too).
TEST(QorDataFiles, ConvertCommandReachesAccessAndWorkbooks) {
    const QString dir = qortest::freshDir("qor-datafiles-run-tables");
    const QString report = dir + "/sales.rep";
    makeReport(report);
    QFile script(dir + "/c.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("CONVERT \"%1\" TO \"%2\" PAGE 2\nCONVERT \"%2\" TO \"%3\"\n"
                                "CONVERT \"%1\" TO \"%4\" PAGE 1\nCONVERT \"%1\" TO \"%5\"\n"
                                "CONVERT \"%5\" TO \"%6\"\n")
                     .arg(report, dir + "/p2.mdb", dir + "/p2.rep", dir + "/p1.xls", dir + "/all.xls",
                          dir + "/all.rep")
                     .toUtf8());
    script.close();
    auto ran = qor({"run", dir + "/c.shl", report});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData() << ran.out.constData();
    EXPECT_EQ(text(qor({"get", dir + "/p2.rep", "1", "2", "2"}).out), QStringLiteral("30"));
    EXPECT_EQ(text(qor({"get", dir + "/all.rep", "2", "2", "2"}).out), QStringLiteral("30"));
    if (qortest::needPythonModule("xlrd")) {
        auto r = qortest::python("import sys, xlrd\n"
                                 "print(xlrd.open_workbook(sys.argv[1]).nsheets, xlrd.open_workbook(sys.argv[2]).nsheets)\n",
                                 {dir + "/p1.xls", dir + "/all.xls"});
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(text(r.out), QStringLiteral("1 2"));
    }
}

}  // namespace

// The command-line host, run as a user would run it.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

TEST(QorApp, NewReportIsReadByInfoAndByIndependentReaders) {
    const QString dir = qortest::freshDir("qor-new");
    const QString path = dir + "/x.rep";
    auto made = qor({"new", path});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();

    auto info = qor({"info", path});
    ASSERT_EQ(info.exitCode, 0) << info.err.constData();
    const QString text = QString::fromLocal8Bit(info.out);
    EXPECT_TRUE(text.contains("version: QOR8.61")) << qPrintable(text);
    EXPECT_TRUE(text.contains("table:   50 rows, 7 columns")) << qPrintable(text);
    EXPECT_TRUE(text.contains("pages:   0")) << qPrintable(text);

    if (qortest::needPythonModule("olefile")) {
        auto py = qortest::python(
            "import olefile,sys\n"
            "o=olefile.OleFileIO(sys.argv[1])\n"
            "names=sorted('/'.join(e) for e in o.listdir())\n"
            "print(','.join(names))\n"
            "print(o.openstream('QOR~REP').read(7).decode('ascii'))\n",
            {path});
        ASSERT_EQ(py.exitCode, 0) << py.err.constData();
        EXPECT_EQ(py.out, "PageEx,QOR~REP,QOR~VEP\nQOR8.61\n");
    }
    if (qortest::needProgram("gsf")) {
        auto gsf = qortest::run("gsf", {"list", path});
        ASSERT_EQ(gsf.exitCode, 0) << gsf.err.constData();
        for (const char* s : {"QOR~REP", "QOR~VEP", "PageEx"})
            EXPECT_TRUE(gsf.out.contains(s)) << s;
    }
}

TEST(QorApp, NewTakesSizeAndPagesAndNeverOverwrites) {
    const QString dir = qortest::freshDir("qor-size");
    const QString path = dir + "/sized.rep";
    ASSERT_EQ(qor({"new", path, "--rows", "120", "--cols", "30", "--pages", "3"}).exitCode, 0);
    const QString text = QString::fromLocal8Bit(qor({"info", path}).out);
    EXPECT_TRUE(text.contains("table:   120 rows, 30 columns")) << qPrintable(text);
    EXPECT_TRUE(text.contains("pages:   3")) << qPrintable(text);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();
    auto again = qor({"new", path});
    EXPECT_EQ(again.exitCode, 1);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

TEST(QorApp, BadInputGivesClearErrors) {
    const QString dir = qortest::freshDir("qor-bad");
    EXPECT_EQ(qor({}).exitCode, 2);
    EXPECT_EQ(qor({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(qor({"new", dir + "/a.rep", "--rows", "10000"}).exitCode, 2);
    EXPECT_EQ(qor({"new", dir + "/a.rep", "--cols", "x"}).exitCode, 2);

    auto missing = qor({"info", dir + "/missing.rep"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains("1005")) << missing.err.constData();

    QFile junk(dir + "/junk.rep");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(2048, 'x'));
    junk.close();
    auto notReport = qor({"info", junk.fileName()});
    EXPECT_EQ(notReport.exitCode, 1);
    EXPECT_TRUE(notReport.err.contains("1006")) << notReport.err.constData();
}

}  // namespace

#include "engine/creporthandle.h"

namespace {

TEST(QorApp, InfoShowsKeywordsVariableAreaCombinedAreasAndFormulas) {
    const QString dir = qortest::freshDir("qor-info-model");
    const QString path = dir + "/model.rep";
    {
        CReportHandle h(path);
        int kind = 1, start = 5, extent = 3;
        ASSERT_EQ(h.AccessVarArea(1, &kind, &start, &extent), 0);
        CellArea title = CellArea::area(1, 1, 1, 3);
        ASSERT_EQ(h.CombineCells(&title), 0);
        CellRef year{0, 2, 7};
        ASSERT_EQ(h.AccessKeywordCell(1, 2, &year), 0);
        CellArea total = CellArea::area(10, 2, 10, 3);
        ASSERT_EQ(h.SetAreaFormula(&total, "B2+B3"), 0);
        ASSERT_EQ(h.Save(), 0);
    }
    auto info = qor({"info", path});
    ASSERT_EQ(info.exitCode, 0) << info.err.constData();
    const QString text = QString::fromUtf8(info.out);
    EXPECT_TRUE(text.contains("variable area: rows from 5, extent 3")) << qPrintable(text);
    EXPECT_TRUE(text.contains("  年 at G2")) << qPrintable(text);
    EXPECT_TRUE(text.contains("combined areas: 1\n  A1:C1")) << qPrintable(text);
    EXPECT_TRUE(text.contains("formulas: 1")) << qPrintable(text);
}

}  // namespace

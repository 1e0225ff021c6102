// What the command line says when something is wrong: one line that names
// the fault, never a dialog's text, a whole help page or a Qt warning.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

QString err(const qortest::ProcessResult& r) { return QString::fromUtf8(r.err); }

// A report of 3 x 2 with its pages, left in format state as qor new leaves it.
QString newReport(const QString& dir, const QString& name, int pages) {
    const QString f = dir + "/" + name;
    EXPECT_EQ(qor({"new", f, "--rows", "3", "--cols", "2", "--pages", QString::number(pages)})
                  .exitCode,
              0);
    return f;
}

TEST(QorMessages, UsageErrorsNameTheFaultAndPointAtTheVerbsHelp) {
    const QString dir = qortest::freshDir("usage");
    const QString f = newReport(dir, "u.rep", 1);

    auto shortGet = qor({"get", f});
    EXPECT_EQ(shortGet.exitCode, 2);
    EXPECT_EQ(err(shortGet),
              "qor get: usage: qor get FILE PAGE ROW COL\nsee: qor help get\n");

    // A verb that says nothing of its own gets its usage line.
    auto ledger = qor({"ledger", f});
    EXPECT_EQ(ledger.exitCode, 2);
    EXPECT_EQ(err(ledger), "qor ledger: usage: qor ledger REPORT PAGE ROW COL\nsee: qor help "
                           "ledger\n");

    // "qor help VERB" is that verb's block of the help; the whole help
    // still lists everything.
    auto help = qor({"help", "convert"});
    EXPECT_EQ(help.exitCode, 0);
    const QString text = QString::fromUtf8(help.out);
    EXPECT_TRUE(text.startsWith("  qor convert IN OUT")) << text.toStdString();
    EXPECT_TRUE(text.contains("--one-sheet N")) << text.toStdString();
    EXPECT_FALSE(text.contains("qor print")) << text.toStdString();
    EXPECT_TRUE(QString::fromUtf8(qor({"help", "unregister"}).out).contains("qor unregister"));
    EXPECT_EQ(qor({"help", "nothing"}).exitCode, 2);

    auto unknown = qor({"hepl"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_LT(err(unknown).count('\n'), 3) << unknown.err.constData();
    // No verb at all is a usage error like the others: not the whole help.
    auto bare = qor({});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(err(bare), "usage: qor VERB [ARGUMENTS...]\nsee: qor help\n");
    EXPECT_TRUE(bare.out.isEmpty());
}

TEST(QorMessages, MissingReportIsOneLine) {
    const QString dir = qortest::freshDir("missing");
    auto get = qor({"get", dir + "/missing.rep", "1", "1", "1"});
    EXPECT_EQ(get.exitCode, 1);
    EXPECT_EQ(err(get), "qor get: file not found: " + dir + "/missing.rep\n");
}

TEST(QorMessages, ZeroPagesNameTheOption) {
    const QString dir = qortest::freshDir("pages0");
    const QString f = newReport(dir, "p.rep", 2);
    const QList<QStringList> calls = {{"print", f, "--pdf", dir + "/o.pdf", "--pages", "0"},
                                      {"convert", f, dir + "/o.xls", "--pages", "0"},
                                      {"export-html", f, dir, "--pages", "0"},
                                      {"export-xml", f, dir + "/o.xml", "--pages", "1,0"}};
    for (const QStringList& call : calls) {
        auto r = qor(call);
        EXPECT_EQ(r.exitCode, 2) << call.join(' ').toStdString();
        EXPECT_TRUE(err(r).contains("--pages \"")) << r.err.constData();
        EXPECT_FALSE(err(r).contains("qor.ui")) << r.err.constData();
        EXPECT_FALSE(err(r).contains(QStringLiteral("超出范围"))) << r.err.constData();
    }
    EXPECT_EQ(QDir(dir).entryList({"o.*", "p_*"}).size(), 0);
}

TEST(QorMessages, ConvertToPdfListsEveryTypeAndPointsAtPrint) {
    const QString dir = qortest::freshDir("pdf");
    const QString f = newReport(dir, "c.rep", 1);
    auto r = qor({"convert", f, dir + "/out.pdf"});
    EXPECT_EQ(r.exitCode, 2);
    for (const char* type : {".xlsx", ".html", ".xls", ".xml", ".mdb", ".wk4"})
        EXPECT_TRUE(err(r).contains(QLatin1String(type))) << type << r.err.constData();
    EXPECT_TRUE(err(r).contains("qor print REPORT --pdf")) << r.err.constData();
}

TEST(QorMessages, AReadErrorIsPrintedOnce) {
    const QString dir = qortest::freshDir("readonce");
    QFile junk(dir + "/bad.xls");
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("no workbook\n");
    junk.close();
    auto r = qor({"convert", dir + "/bad.xls", dir + "/b.rep"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(err(r).count(QStringLiteral("不是工作簿文件")), 1) << r.err.constData();
}

TEST(QorMessages, DataFileErrorsAreOneChineseLine) {
    const QString dir = qortest::freshDir("datainfo");
    QFile csv(dir + "/t.csv");
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("A,B\r\n1,2\r\n");
    csv.close();
    auto r = qor({"data-info", dir + "/t.csv", "nope"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(err(r).count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(err(r).contains(QStringLiteral("找不到对象“nope”"))) << r.err.constData();
}

TEST(QorMessages, InfoOnAWorkbookSaysItIsNoReport) {
    const QString dir = qortest::freshDir("info");
    const QString f = newReport(dir, "w.rep", 1);
    ASSERT_EQ(qor({"convert", f, dir + "/w.xlsx"}).exitCode, 0);
    // "w.rep" beside it must not be what is shown.
    auto info = qor({"info", dir + "/w.xlsx"});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_TRUE(err(info).contains(QStringLiteral("不是报表文件"))) << info.err.constData();
    EXPECT_TRUE(info.out.isEmpty());
    QFile::remove(f);
    EXPECT_TRUE(err(qor({"info", dir + "/w.xlsx"})).contains(QStringLiteral("不是报表文件")));
}

TEST(QorMessages, LedgerReadsThePagesOfAReportSavedInFormatState) {
    const QString dir = qortest::freshDir("ledger");
    const QString f = newReport(dir, "l.rep", 2);
    auto r = qor({"ledger", f, "2", "1", "1"});
    EXPECT_FALSE(err(r).contains("no page")) << r.err.constData();
    EXPECT_EQ(qor({"info", f}).out.contains("state:   format"), true);  // not saved
    EXPECT_TRUE(err(qor({"ledger", f, "3", "1", "1"})).contains("no page 3"));
}

TEST(QorMessages, ExportsRefuseAnExistingTargetAndAForeignExtension) {
    const QString dir = qortest::freshDir("overwrite");
    const QString f = newReport(dir, "e.rep", 1);
    const QString xml = dir + "/e.xml";
    ASSERT_EQ(qor({"export-xml", f, xml}).exitCode, 0);
    QFile mark(xml);
    ASSERT_TRUE(mark.open(QIODevice::WriteOnly | QIODevice::Truncate));
    mark.write("month of work");
    mark.close();
    auto again = qor({"export-xml", f, xml});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(err(again).contains("already exists")) << again.err.constData();
    EXPECT_EQ(qortest::fileBytes(xml), QByteArray("month of work"));
    EXPECT_EQ(qor({"export-xml", f, xml, "--force"}).exitCode, 0);
    EXPECT_TRUE(qortest::fileBytes(xml).contains("iqor_export"));

    auto wrongType = qor({"export-xml", f, dir + "/e.xlsx"});
    EXPECT_EQ(wrongType.exitCode, 2);
    EXPECT_FALSE(QFileInfo::exists(dir + "/e.xlsx"));

    const QString folder = dir + "/html";
    QDir().mkpath(folder);
    ASSERT_EQ(qor({"export-html", f, folder}).exitCode, 0);
    QFile page(folder + "/e_1.html");
    ASSERT_TRUE(page.open(QIODevice::WriteOnly | QIODevice::Truncate));
    page.write("kept");
    page.close();
    auto html = qor({"export-html", f, folder});
    EXPECT_EQ(html.exitCode, 1);
    EXPECT_TRUE(err(html).contains("e_1.html already exists")) << html.err.constData();
    EXPECT_EQ(qortest::fileBytes(folder + "/e_1.html"), QByteArray("kept"));
    EXPECT_EQ(qor({"export-html", f, folder, "--force"}).exitCode, 0);
    EXPECT_NE(qortest::fileBytes(folder + "/e_1.html"), QByteArray("kept"));
}

TEST(QorMessages, VersionAndNoQtWarningWithoutRuntimeDir) {
    auto v = qor({"--version"});
    EXPECT_EQ(v.exitCode, 0);
    EXPECT_TRUE(v.out.startsWith("qor 8.")) << v.out.constData();
    auto view = qortest::run(QStringLiteral(QOR_VIEW_BINARY), {"--version"});
    EXPECT_EQ(view.exitCode, 0);
    EXPECT_TRUE(view.out.startsWith("qorview 8.")) << view.out.constData();

    const QString dir = qortest::freshDir("xdg");
    const QString f = newReport(dir, "x.rep", 1);
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qunsetenv("XDG_RUNTIME_DIR");
    auto convert = qor({"convert", f, dir + "/x.xls"});
    auto print = qor({"print", f, "--pdf", dir + "/x.pdf"});
    if (!saved.isEmpty()) qputenv("XDG_RUNTIME_DIR", saved);
    EXPECT_EQ(convert.exitCode, 0);
    EXPECT_EQ(print.exitCode, 0);
    EXPECT_TRUE(convert.err.isEmpty()) << convert.err.constData();
    EXPECT_FALSE(print.err.contains("QStandardPaths")) << print.err.constData();
}

}  // namespace

// qor convert and qor print, and what the command line writes: run as a
// user runs them (a shell with the usual umask), the files they write read
// back by other programs (openpyxl, xmllint, pdftotext).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "tests/common/testsupport.h"

namespace {

// Runs a shell script in dir with umask 022, $Q set to qor; stdout and
// stderr kept apart.
qortest::ProcessResult shell(const QString& dir, const QString& body) {
    const QString script = QStringLiteral("umask 022\ncd '%1'\nQ='%2'\n%3")
                               .arg(dir, QStringLiteral(QOR_APP_BINARY), body);
    return qortest::run(QStringLiteral("/bin/sh"), {"-c", script});
}

qortest::ProcessResult qor(const QString& dir, const QString& args) {
    return shell(dir, "\"$Q\" " + args);
}

QString out(const qortest::ProcessResult& r) { return QString::fromUtf8(r.out).trimmed(); }
QString err(const qortest::ProcessResult& r) { return QString::fromUtf8(r.err); }

// A report of two pages of 20 rows (one printed page each): a text cell
// A1 and a formula cell B3 = B1+B2, recalculated.
void makeSales(const QString& dir) {
    ASSERT_EQ(qor(dir, "new sales.rep --pages 2 --rows 20").exitCode, 0);
    auto r = shell(dir,
                   "printf '%s\\n' 'OpenRep8File \"sales.rep\"' BeginDesign 'SetCurCell 3 2' "
                   "'SetFormula \"B1+B2\"' 'SetCurCell 1 1' 'SetCellFormat 0 2' Save CloseFile "
                   "| \"$Q\" reader-script -");
    ASSERT_EQ(r.exitCode, 0) << r.out.constData();
    ASSERT_EQ(qor(dir, "set sales.rep 1 1 2 1200").exitCode, 0);
    ASSERT_EQ(qor(dir, "set sales.rep 1 2 2 800").exitCode, 0);
    ASSERT_EQ(qor(dir, "set sales.rep 2 1 2 30").exitCode, 0);
    ASSERT_EQ(qor(dir, "set sales.rep 1 1 1 收入").exitCode, 0);
    r = shell(dir,
              "printf '%s\\n' 'OpenRep8File \"sales.rep\"' BeginData 'SetCurPage 1' Recalc "
              "'SetCurPage 2' Recalc Save CloseFile | \"$Q\" reader-script -");
    ASSERT_EQ(r.exitCode, 0) << r.out.constData();
}

TEST(QorConvert, AWorkbookFromAnotherProgramBecomesAReportAndGoesBack) {
    if (!qortest::needPythonModule("openpyxl")) GTEST_SKIP() << "no openpyxl";
    const QString dir = qortest::freshDir("convert-book");
    const QString longText =
        QStringLiteral("这是一段很长的说明文字，用来检查超过三十二个字符的文本在转换时如何处理");
    auto made = qortest::python(
        "import sys\n"
        "from openpyxl import Workbook\n"
        "wb = Workbook()\n"
        "for i, n in enumerate(['收入明细', '费用明细', '利润表']):\n"
        "    ws = wb.active if i == 0 else wb.create_sheet()\n"
        "    ws.title = n\n"
        "    ws['A1'] = '项目'; ws['B1'] = '金额'\n"
        "    ws.merge_cells('A1:A2')\n"
        "    ws['B3'] = 1234567.5 * (i + 1); ws['B3'].number_format = '#,##0.00'\n"
        "    ws['C3'] = 0.125 * (i + 1); ws['C3'].number_format = '0.00%'\n"
        "    ws['A4'] = sys.argv[2]\n"
        "wb.save(sys.argv[1])\n",
        {dir + "/book.xlsx", longText});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();

    // The report numbers its pages: the sheets' names are what it leaves out.
    auto in = qor(dir, "convert book.xlsx book.rep");
    ASSERT_EQ(in.exitCode, 3) << err(in).toStdString();
    EXPECT_EQ(err(in).count("left out:"), 1) << err(in).toStdString();
    EXPECT_TRUE(err(in).contains(QStringLiteral("收入明细, 费用明细, 利润表"))) << err(in).toStdString();
    const QString info = out(qor(dir, "info book.rep"));
    EXPECT_TRUE(info.contains("pages:   3")) << info.toStdString();
    EXPECT_TRUE(info.contains("combined areas: 1\n  A1:A2")) << info.toStdString();
    EXPECT_EQ(out(qor(dir, "get book.rep 2 3 2")), "2469135");
    // 12.50% of the workbook is 12.5 in the report's percent units.
    EXPECT_EQ(out(qor(dir, "get book.rep 1 3 3")), "12.5");
    EXPECT_EQ(out(qor(dir, "get book.rep 3 1 1")), QStringLiteral("项目"));
    EXPECT_EQ(out(qor(dir, "get book.rep 1 4 1")), longText);
    EXPECT_EQ(out(qor(dir, "format book.rep 3 2 thousands")), "1");
    EXPECT_EQ(out(qor(dir, "format book.rep 3 3 percent")), "1");
    EXPECT_EQ(out(qor(dir, "format book.rep 3 3 decimals")), "2");

    // The own XML holds 32 characters of a text: written, the cut said, exit 3.
    auto xml = qor(dir, "export-xml book.rep book.xml");
    ASSERT_EQ(xml.exitCode, 3);
    EXPECT_TRUE(
        err(xml).contains(QStringLiteral("3个文本截短到32个字符（第1页A4；第2页A4；第3页A4）")))
        << err(xml).toStdString();

    auto back = qor(dir, "convert book.rep back.xlsx");
    ASSERT_EQ(back.exitCode, 0) << err(back).toStdString();
    // A workbook made from a report comes back whole.
    auto again = qor(dir, "convert back.xlsx again.rep");
    EXPECT_EQ(again.exitCode, 0) << err(again).toStdString();
    EXPECT_EQ(out(qor(dir, "get again.rep 3 3 3")), "37.5");
    auto read = qortest::python(
        "import sys, openpyxl\n"
        "wb = openpyxl.load_workbook(sys.argv[1])\n"
        "for ws in wb:\n"
        "    print(len(ws.merged_cells.ranges), ws.merged_cells.ranges[0].coord, ws['A1'].value,\n"
        "          ws['B3'].value, ',' in ws['B3'].number_format, ws['C3'].value,\n"
        "          '%' in ws['C3'].number_format, ws['A4'].value == sys.argv[2])\n",
        {dir + "/back.xlsx", longText});
    ASSERT_EQ(read.exitCode, 0) << read.err.constData();
    EXPECT_EQ(QString::fromUtf8(read.out),
              QStringLiteral("1 A1:A2 项目 1234567.5 True 12.5 True True\n"
                             "1 A1:A2 项目 2469135 True 25 True True\n"
                             "1 A1:A2 项目 3703702.5 True 37.5 True True\n"));
}

// Cells beyond what a report holds are imported up to the limit and
// listed once, with exit code 3.
TEST(QorConvert, WorkbookCellsBeyondTheReportAreListed) {
    if (!qortest::needPythonModule("openpyxl")) GTEST_SKIP() << "no openpyxl";
    const QString dir = qortest::freshDir("convert-beyond");
    auto made = qortest::python(
        "import sys\n"
        "from openpyxl import Workbook\n"
        "wb = Workbook()\n"
        "ws = wb.active\n"
        "ws.title = '收入'\n"
        "ws['A1'] = 7\n"
        "ws.cell(row=10005, column=1, value=1)\n"
        "wb.save(sys.argv[1])\n",
        {dir + "/far.xlsx"});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    auto r = qor(dir, "convert far.xlsx far.rep");
    EXPECT_EQ(r.exitCode, 3) << err(r).toStdString();
    EXPECT_EQ(err(r).count(QStringLiteral("工作表“收入”：1个有值的单元")), 1)
        << err(r).toStdString();
    EXPECT_TRUE(err(r).contains(QStringLiteral("left out: 工作表"))) << err(r).toStdString();
    EXPECT_EQ(out(qor(dir, "get far.rep 1 1 1")), "7");
}

// A report goes to a binary workbook and comes back from it: the file is
// what its name says, and its values and texts return.
TEST(QorConvert, BinaryWorkbooksBothWays) {
    const QString dir = qortest::freshDir("convert-xls");
    makeSales(dir);
    if (HasFatalFailure()) return;
    // The workbook holds the formula's value, not the formula: said, exit 3.
    auto to = qor(dir, "convert sales.rep sales.xls");
    ASSERT_EQ(to.exitCode, 3) << err(to).toStdString();
    EXPECT_TRUE(err(to).contains(
        QStringLiteral("公式（文件中只保留了公式的值）：共1处，第一处在第1页第3行第2列")))
        << err(to).toStdString();
    QFile f(dir + "/sales.xls");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(8), QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    f.close();
    auto back = qor(dir, "convert sales.xls back.rep");
    ASSERT_EQ(back.exitCode, 0) << err(back).toStdString();
    EXPECT_EQ(out(qor(dir, "get back.rep 1 3 2")), "2000");
    EXPECT_EQ(out(qor(dir, "get back.rep 2 1 2")), "30");
    EXPECT_EQ(out(qor(dir, "get back.rep 1 1 1")), QStringLiteral("收入"));
}

TEST(QorConvert, ExitCodesTellWrittenWholeLossyNothingAndUsage) {
    const QString dir = qortest::freshDir("convert-codes");
    makeSales(dir);
    if (HasFatalFailure()) return;

    // Report -> XML -> report: whole.
    ASSERT_EQ(qor(dir, "convert sales.rep sales.xml").exitCode, 0);
    auto again = qor(dir, "convert sales.xml again.rep");
    ASSERT_EQ(again.exitCode, 0) << err(again).toStdString();
    EXPECT_EQ(out(qor(dir, "get again.rep 1 3 2")), "2000");
    EXPECT_EQ(out(qor(dir, "get again.rep 1 1 1")), QStringLiteral("收入"));

    // A workbook holds values, not formulas: written, listed, exit 3.
    auto lossy = qor(dir, "convert sales.rep sales.xlsx");
    EXPECT_EQ(lossy.exitCode, 3);
    EXPECT_TRUE(
        err(lossy).contains(QStringLiteral("left out: 公式（文件中只保留了公式的值）：共1处，")))
        << err(lossy).toStdString();
    EXPECT_TRUE(QFileInfo::exists(dir + "/sales.xlsx"));

    // --pages keeps those pages only; the source stays whole.
    ASSERT_EQ(qor(dir, "convert sales.rep second.rep --pages 2").exitCode, 0);
    EXPECT_EQ(out(qor(dir, "get second.rep 1 1 2")), "30");
    EXPECT_TRUE(out(qor(dir, "info second.rep")).contains("pages:   1"));
    EXPECT_TRUE(out(qor(dir, "info sales.rep")).contains("pages:   2"));
    EXPECT_EQ(qor(dir, "convert sales.rep x.rep --pages 5").exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(dir + "/x.rep"));

    // Nothing written: a missing source, an existing target (left as it
    // was), a source that is not what its name says.
    const QByteArray before = [&] {
        QFile f(dir + "/sales.xml");
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    EXPECT_EQ(qor(dir, "convert missing.rep y.xml").exitCode, 1);
    EXPECT_EQ(qor(dir, "convert sales.rep sales.xml").exitCode, 1);
    QFile xml(dir + "/sales.xml");
    ASSERT_TRUE(xml.open(QIODevice::ReadOnly));
    EXPECT_EQ(xml.readAll(), before);
    QFile fake(dir + "/fake.xlsx");
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("not a workbook");
    fake.close();
    EXPECT_EQ(qor(dir, "convert fake.xlsx fake.rep").exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(dir + "/fake.rep"));
    // A link whose file is gone is refused before anything is written:
    // neither the file it names nor anything in the work folder appears.
    ASSERT_TRUE(QFile::link(dir + "/gone/away.xlsx", dir + "/dangling.xlsx"));
    QDir().mkpath(dir + "/gone");
    const auto dangling = qor(dir, "convert sales.rep dangling.xlsx");
    EXPECT_EQ(dangling.exitCode, 1);
    EXPECT_TRUE(err(dangling).contains("dangling.xlsx already exists")) << err(dangling).toStdString();
    EXPECT_FALSE(err(dangling).contains(QStringLiteral("完成"))) << err(dangling).toStdString();
    EXPECT_TRUE(QFileInfo(dir + "/dangling.xlsx").isSymLink());
    EXPECT_FALSE(QFileInfo::exists(dir + "/gone/away.xlsx"));
    // No temporary folder is left behind either.
    EXPECT_TRUE(QDir(dir).entryList({".qor-convert-*"}, QDir::Dirs | QDir::Hidden).isEmpty());

    // Usage: a type nothing writes, a bad option, a missing argument.
    EXPECT_EQ(qor(dir, "convert sales.rep z.wq1").exitCode, 2);
    EXPECT_FALSE(QFileInfo::exists(dir + "/z.wq1"));
    EXPECT_EQ(qor(dir, "convert sales.rep z.xml --pages x").exitCode, 2);
    EXPECT_EQ(qor(dir, "convert sales.rep").exitCode, 2);
}

TEST(QorConvert, ScriptConvertOfAReportInFormatStateWritesItsValues) {
    if (!qortest::needPythonModule("xlrd")) GTEST_SKIP() << "python3-xlrd is not installed";
    const QString dir = qortest::freshDir("convert-format-state");
    auto r = shell(dir,
                   "\"$Q\" new r.rep --rows 10 --cols 5 --pages 3 && "
                   "\"$Q\" format r.rep 1 1 kind number && \"$Q\" set r.rep 3 1 1 12.5 && "
                   "printf 'CONVERT \"r.rep\" TO \"q.xls\"\\n' > c.shl && \"$Q\" new h.rep && "
                   "\"$Q\" run c.shl h.rep");
    ASSERT_EQ(r.exitCode, 0) << err(r).toStdString();
    EXPECT_TRUE(out(qor(dir, "info r.rep")).contains("state:   format"));
    const auto read = qortest::python("import sys, xlrd\n"
                                      "b = xlrd.open_workbook(sys.argv[1])\n"
                                      "print(len(b.sheets()), b.sheet_by_index(2).cell_value(0, 0))\n",
                                      {dir + "/q.xls"});
    EXPECT_EQ(QString::fromUtf8(read.out).trimmed(), "3 12.5") << read.err.constData();
}

// Three pages with labels, Chinese texts, a number in percent, a negative
// with thousands, a formula, a combined heading, a placed year and an unit
// name placed nowhere: each type carries every value and keyword, or exits
// 3 naming what it left out.
TEST(QorConvert, RoundTripsKeepEveryValueOrNameWhatTheyLeftOut) {
    const QString dir = qortest::freshDir("convert-round-trips");
    auto r = shell(dir,
                   "\"$Q\" new r.rep --rows 6 --cols 4 --pages 3 >/dev/null && "
                   "printf '%s\\n' 'OpenRep8File \"r.rep\"' BeginDesign 'CombineCells 1 1 1 2' "
                   "'SetKeywordCell 2 1 4' 'SetCurCell 5 3' 'SetFormula \"C2+C3\"' 'SetCurCell 2 3' "
                   "'SetCellFormat 4 1' 'SetCurCell 3 3' 'SetCellFormat 5 1' 'SetCellFormat 3 2' "
                   "'SetCurCell 2 1' 'SetCellFormat 0 2' 'SetCurCell 3 1' 'SetCellFormat 0 2' Save "
                   "CloseFile | \"$Q\" reader-script - >/dev/null && "
                   "for p in 1 2 3; do \"$Q\" set r.rep $p 2 3 12.5 && \"$Q\" set r.rep $p 3 3 "
                   "-1234567.25 && \"$Q\" set r.rep $p 2 1 营业收入$p && \"$Q\" set r.rep $p 3 1 备注 && "
                   "\"$Q\" keyword r.rep $p year 2024 || exit 1; done >/dev/null && "
                   "\"$Q\" keyword r.rep 2 unit-name 北京 >/dev/null && "
                   "printf '%s\\n' 'OpenRep8File \"r.rep\"' BeginData 'SetCurPage 1' Recalc "
                   "'SetCurPage 2' Recalc 'SetCurPage 3' Recalc Save CloseFile | "
                   "\"$Q\" reader-script - >/dev/null");
    ASSERT_EQ(r.exitCode, 0) << err(r).toStdString();
    const QString formulas = QStringLiteral(
        "left out: 公式（文件中只保留了公式的值）：共1处，第一处在第1页第5行第3列\n");
    const QString unplaced =
        QStringLiteral("left out: 未放在单元中的表页关键字（未导出）：共1处，第一处在第2页\n");
    const QString placed = QStringLiteral(
        "left out: 放在单元中的关键字（写成了文本）：共3处，第一处在第1页第1行第4列\n");
    for (const QString type : {"xlsx", "xls", "xml"}) {
        SCOPED_TRACE(type.toStdString());
        const auto to = qor(dir, "convert r.rep r." + type);
        ASSERT_EQ(to.exitCode, 3) << err(to).toStdString();
        EXPECT_TRUE(err(to).contains(unplaced)) << err(to).toStdString();
        // The own XML carries formulas and the keywords of keyword cells.
        EXPECT_EQ(err(to).contains(formulas), type != "xml") << err(to).toStdString();
        EXPECT_EQ(err(to).contains(placed), type != "xml") << err(to).toStdString();
        EXPECT_EQ(err(to).count("left out:"), type == "xml" ? 1 : 3) << err(to).toStdString();
        const auto back = qor(dir, "convert r." + type + " " + type + ".rep");
        ASSERT_EQ(back.exitCode, 0) << err(back).toStdString();
        for (int p = 1; p <= 3; ++p) {
            const QString at = type + ".rep " + QString::number(p);
            EXPECT_EQ(out(qor(dir, "get " + at + " 2 1")), QStringLiteral("营业收入%1").arg(p));
            EXPECT_EQ(out(qor(dir, "get " + at + " 3 1")), QStringLiteral("备注"));
            EXPECT_EQ(out(qor(dir, "get " + at + " 2 3")), "12.5");
            EXPECT_EQ(out(qor(dir, "get " + at + " 3 3")), "-1234567.25");
            EXPECT_EQ(out(qor(dir, "get " + at + " 5 3")), "-1234554.75");
        }
        EXPECT_EQ(out(qor(dir, "format " + type + ".rep 2 3 percent")), "1");
        EXPECT_EQ(out(qor(dir, "format " + type + ".rep 3 3 thousands")), "1");
        EXPECT_TRUE(out(qor(dir, "info " + type + ".rep")).contains("combined areas: 1\n  A1:B1"));
        const QString pages = out(qor(dir, "pages " + type + ".rep"));
        EXPECT_EQ(pages.contains("page 3: 2=2024"), type == "xml") << pages.toStdString();
    }
    // An HTML page shows values and the keywords of keyword cells; its
    // formulas and keywords without a cell are named as for every type.
    const auto htm = qor(dir, "convert r.rep r.htm");
    ASSERT_EQ(htm.exitCode, 3) << err(htm).toStdString();
    EXPECT_TRUE(err(htm).contains(formulas)) << err(htm).toStdString();
    EXPECT_FALSE(err(htm).contains(placed)) << err(htm).toStdString();
    const auto html = qor(dir, "export-html r.rep html");
    ASSERT_EQ(html.exitCode, 3) << err(html).toStdString();
    EXPECT_TRUE(err(html).contains("qor export-html: " + formulas)) << err(html).toStdString();
    EXPECT_TRUE(err(html).contains("qor export-html: " + unplaced)) << err(html).toStdString();
    EXPECT_EQ(err(html).count("left out:"), 2) << err(html).toStdString();
}

// Blanks and line ends of a text go into every data file and workbook and
// come back as they went; a dBASE field pads a text with blanks, so the
// blanks a text ends in cannot come back and are named.
TEST(QorConvert, BlanksAndLineEndsOfTextsComeBackOrAreNamed) {
    const QString dir = qortest::freshDir("convert-blanks");
    const QStringList texts{"trail  ", "   ", " lead", "a\r\nb", "a\rb", "a\nb", "a\tb"};
    ASSERT_EQ(qor(dir, "new t.rep --rows 7 --cols 1 --pages 1").exitCode, 0);
    for (int r = 1; r <= int(texts.size()); ++r) {
        const QString row = QString::number(r);
        ASSERT_EQ(qor(dir, "format t.rep " + row + " 1 kind text").exitCode, 0);
        const auto set = qortest::run(QStringLiteral(QOR_APP_BINARY),
                                      {"set", dir + "/t.rep", "1", row, "1", texts[r - 1], "--text"});
        ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    }
    for (const QString type : {"dbf", "csv", "txt", "mdb", "wk4", "xls", "xlsx"}) {
        SCOPED_TRACE(type.toStdString());
        const auto to = qor(dir, "convert t.rep t." + type);
        const bool padded = type == "dbf";
        EXPECT_EQ(to.exitCode, padded ? 3 : 0) << err(to).toStdString();
        EXPECT_EQ(err(to).contains(QStringLiteral(
                      "结尾有空格的文本（dBASE字段用空格补齐，读回时没有这些空格）：共2处，第一处在第1条记录的字段“A”")),
                  padded)
            << err(to).toStdString();
        const auto back = qor(dir, "convert t." + type + " " + type + ".rep");
        ASSERT_EQ(back.exitCode, 0) << err(back).toStdString();
        for (int r = 1; r <= int(texts.size()); ++r) {
            QString want = texts[r - 1];
            if (padded) while (want.endsWith(u' ')) want.chop(1);
            const auto get = qortest::run(QStringLiteral(QOR_APP_BINARY),
                                          {"get", dir + "/" + type + ".rep", "1", QString::number(r), "1"});
            EXPECT_EQ(QString::fromUtf8(get.out), want + "\n") << r;
        }
    }
}

TEST(QorConvert, ValuesOnlyIsForBinaryWorkbooksAlone) {
    const QString dir = qortest::freshDir("convert-values-only");
    ASSERT_EQ(qor(dir, "new r.rep --pages 1").exitCode, 0);
    const auto r = qor(dir, "convert r.rep r.xlsx --values-only");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(err(r).contains("--values-only writes .xls workbooks only")) << err(r).toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir + "/r.xlsx"));
    EXPECT_EQ(qor(dir, "convert r.rep r.xls --values-only").exitCode, 0);
}

TEST(QorFiles, OwnXmlCarriesCharactersGb2312LacksAndReadsBack) {
    const QString dir = qortest::freshDir("xml-gbk");
    ASSERT_EQ(qor(dir, "new names.rep --pages 1").exitCode, 0);
    ASSERT_EQ(qor(dir, "format names.rep 1 1 kind text").exitCode, 0);
    const QString names = QStringLiteral("朱镕基 王喆 堃 €");
    ASSERT_EQ(qor(dir, "set names.rep 1 1 1 '" + names + "'").exitCode, 0);
    ASSERT_EQ(qor(dir, "export-xml names.rep names.xml").exitCode, 0);
    QFile f(dir + "/names.xml");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"))
        << bytes.left(60).constData();
    EXPECT_TRUE(bytes.contains("&#38229;"));  // 镕
    EXPECT_TRUE(bytes.contains("&#21894;"));  // 喆
    if (qortest::needProgram("xmllint")) {
        auto lint = qortest::run("xmllint", {"--noout", dir + "/names.xml"});
        EXPECT_EQ(lint.exitCode, 0) << lint.err.constData();
    }
    ASSERT_EQ(qor(dir, "import-xml names.xml back.rep").exitCode, 0);
    EXPECT_EQ(out(qor(dir, "get back.rep 1 1 1")), names);

    // Files written before carry the code page's own bytes for these under
    // the same declaration; they read the same.
    QByteArray old = bytes;
    old.replace("&#38229;", "\xE9\x46").replace("&#21894;", "\x86\xB4");
    QFile o(dir + "/old.xml");
    ASSERT_TRUE(o.open(QIODevice::WriteOnly));
    o.write(old);
    o.close();
    ASSERT_EQ(qor(dir, "import-xml old.xml old.rep").exitCode, 0);
    EXPECT_EQ(out(qor(dir, "get old.rep 1 1 1")), names);
}

TEST(QorFiles, WrittenFilesFollowTheUmask) {
    const QString dir = qortest::freshDir("umask");
    makeSales(dir);
    if (HasFatalFailure()) return;
    for (const char* args :
         {"export-xml sales.rep e.xml", "export-html sales.rep html", "convert sales.rep c.xml",
          "convert sales.rep c.xlsx", "convert sales.rep c.htm", "convert sales.rep c.rep",
          "print sales.rep --pdf p.pdf"}) {
        auto r = qor(dir, args);
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 3) << args << err(r).toStdString();
    }
    for (const char* name : {"e.xml", "html/sales_1.html", "c.xml", "c.xlsx", "c.htm", "c.rep",
                             "p.pdf", "sales.rep"}) {
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(dir + "/" + name).constData(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 07777, 0644u)
            << name << " has mode " << std::oct << (st.st_mode & 07777);
    }
}

TEST(QorPrint, PrintsThePagesToAPdfWhoseTextComesBack) {
    const QString dir = qortest::freshDir("print");
    makeSales(dir);
    if (HasFatalFailure()) return;
    auto all = qor(dir, "print sales.rep --pdf all.pdf");
    ASSERT_EQ(all.exitCode, 0) << err(all).toStdString();
    EXPECT_EQ(out(all), "wrote all.pdf");
    auto some = qor(dir, "print sales.rep --pdf some.pdf --pages 2 --copies 2");
    ASSERT_EQ(some.exitCode, 0) << err(some).toStdString();
    if (qortest::needProgram("pdfinfo")) {
        EXPECT_TRUE(out(qortest::run("pdfinfo", {dir + "/all.pdf"}))
                        .contains(QRegularExpression("Pages:\\s+2\\b")));
        EXPECT_TRUE(out(qortest::run("pdfinfo", {dir + "/some.pdf"}))
                        .contains(QRegularExpression("Pages:\\s+2\\b")));
    }
    if (qortest::needProgram("pdftotext")) {
        const QString text =
            QString::fromUtf8(qortest::run("pdftotext", {dir + "/all.pdf", "-"}).out);
        for (const QString& s : {QStringLiteral("收入"), QStringLiteral("1200"),
                                 QStringLiteral("2000"), QStringLiteral("30")})
            EXPECT_TRUE(text.contains(s)) << s.toStdString() << "\n" << text.toStdString();
    }

    EXPECT_EQ(qor(dir, "print missing.rep --pdf m.pdf").exitCode, 1);
    EXPECT_FALSE(QFileInfo::exists(dir + "/m.pdf"));
    EXPECT_EQ(qor(dir, "print sales.rep --pdf x.pdf --copies 0").exitCode, 2);
    EXPECT_EQ(qor(dir, "print sales.rep --pdf x.pdf --pages 9").exitCode, 1);
    EXPECT_EQ(qor(dir, "print").exitCode, 2);
}

}  // namespace

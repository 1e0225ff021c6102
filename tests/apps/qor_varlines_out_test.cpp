// What reads a report's variable lines out of it, over two pages of three
// and two lines: print (every line on its page), the exports that expand
// the area (each line a row, the area named as left out), read back with
// independent readers, and the consolidations, whose result page works out
// its own formulas over the lines.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

QString text(const QByteArray& b) { return QString::fromUtf8(b); }

// A: name, B: a number, C: amount. Row 2 is the area (up to 5 lines), row
// 3 its total and count. Page 1: 甲 10, 乙 20, 丙 30; page 2: 丁 5, 戊 7.
QString linesReport(const QString& dir) {
    const QString report = dir + "/lines.rep";
    EXPECT_EQ(qor({"new", report, "--rows", "4", "--cols", "3", "--pages", "2"}).exitCode, 0);
    const auto design = qor({"reader-script", "-"},
                            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n"
                                           "SetCurCell 1 1\nSetData \"项目\"\nSetCurCell 1 3\nSetData \"金额\"\n"
                                           "SetCurCell 3 1\nSetData \"合计\"\nSetVarArea 1 2 5\n"
                                           "SetCurCell 3 3\nSetFormula \"GTOTAL(V_C)\"\n"
                                           "SetCurCell 3 2\nSetFormula \"GCOUNT(V_C)\"\n"
                                           "BeginData\nSave\nCloseFile\n")
                                .arg(report)
                                .toUtf8());
    EXPECT_EQ(design.exitCode, 0) << design.out.constData();
    EXPECT_EQ(qor({"format", report, "2", "1", "kind", "text"}).exitCode, 0);
    EXPECT_EQ(qor({"append-lines", report, "1", "2"}).exitCode, 0);
    EXPECT_EQ(qor({"append-lines", report, "2", "1"}).exitCode, 0);
    const QList<QStringList> lines = {{"1", "2", "甲", "10"}, {"1", "3", "乙", "20"}, {"1", "4", "丙", "30"},
                                      {"2", "2", "丁", "5"},  {"2", "3", "戊", "7"}};
    for (const QStringList& l : lines) {
        EXPECT_EQ(qor({"set", report, l[0], l[1], "1", l[2]}).exitCode, 0);
        EXPECT_EQ(qor({"set", report, l[0], l[1], "3", l[3]}).exitCode, 0);
    }
    return report;
}

// Rows as "A|C" (B left out), non-empty ones only; numbers without a
// fraction as integers; sheets (or tables) separated by "--".
const char* kReadBack = R"(
import csv, io, json, subprocess, sys
import dbfread, openpyxl, xlrd
def show(v):
    if v is None: return ''
    if isinstance(v, float) and v == int(v): return str(int(v))
    return str(v)
def rows(table):
    out = []
    for r in table:
        r = [show(v) for v in r]
        if any(r): out.append(r[0] + '|' + r[2])
    return out
kind, path = sys.argv[1], sys.argv[2]
if kind == 'xlsx':
    wb = openpyxl.load_workbook(path)
    out = [rows(ws.iter_rows(values_only=True)) for ws in wb]
elif kind == 'xls':
    wb = xlrd.open_workbook(path)
    out = [rows(s.row_values(i) for i in range(s.nrows)) for s in wb.sheets()]
elif kind == 'csv':
    with open(path, encoding='gb18030') as f:
        out = [rows(list(csv.reader(f))[1:])]
elif kind == 'dbf':
    out = [rows(list(r.values()) for r in dbfread.DBF(path, encoding='gbk'))]
elif kind == 'mdb':
    out = []
    for t in subprocess.check_output(['mdb-tables', '-1', path]).decode().split():
        text = subprocess.check_output(['mdb-export', path, t]).decode()
        out.append(rows(list(csv.reader(io.StringIO(text)))[1:]))
print(json.dumps(out, ensure_ascii=False))
)";

}  // namespace

TEST(QorVarLinesOut, PrintShowsEveryUsedLineOnItsPage) {
    if (!qortest::needProgram("pdftotext")) GTEST_SKIP() << "no pdftotext";
    const QString dir = qortest::freshDir("qor-varlines-print");
    const QString report = linesReport(dir);
    const auto printed = qor({"print", report, "--pdf", dir + "/lines.pdf"});
    ASSERT_EQ(printed.exitCode, 0) << printed.err.constData();
    const QStringList pages[] = {{"甲", "乙", "丙", "合计", "60.00"}, {"丁", "戊", "合计", "12.00"}};
    for (int p = 1; p <= 3; ++p) {
        const auto t = qortest::run("pdftotext", {"-f", QString::number(p), "-l", QString::number(p), "-layout",
                                                  dir + "/lines.pdf", "-"});
        if (p == 3) {
            EXPECT_NE(t.exitCode, 0) << "a third sheet: " << t.out.constData();
            break;
        }
        ASSERT_EQ(t.exitCode, 0) << t.err.constData();
        const QString page = text(t.out);
        qsizetype at = 0;
        for (const QString& word : pages[p - 1]) {
            const qsizetype found = page.indexOf(word, at);
            EXPECT_GE(found, 0) << "page " << p << ": " << word.toStdString() << " in order in\n"
                                << page.toStdString();
            if (found >= 0) at = found + word.size();
        }
        for (const QString& other : pages[2 - p]) {
            if (pages[p - 1].contains(other)) continue;
            EXPECT_FALSE(page.contains(other)) << "page " << p << " shows " << other.toStdString();
        }
    }
}

TEST(QorVarLinesOut, ExportsWriteEachLineARowAndNameTheArea) {
    for (const char* m : {"openpyxl", "xlrd", "dbfread"})
        if (!qortest::needPythonModule(m)) GTEST_SKIP() << "no " << m;
    if (!qortest::needProgram("mdb-export")) GTEST_SKIP() << "no mdb-export";
    const QString dir = qortest::freshDir("qor-varlines-export");
    const QString report = linesReport(dir);
    const QStringList page1 = {"项目|金额", "甲|10", "乙|20", "丙|30", "合计|60"};
    const QStringList page2 = {"项目|金额", "丁|5", "戊|7", "合计|12"};
    const QString area = QStringLiteral("可变区（写出的文件没有可变区：每页用到的行列写成了普通行列）：共1处，第一处在第2行起的可变行");
    for (const char* kind : {"xlsx", "xls", "csv", "dbf", "mdb"}) {
        SCOPED_TRACE(kind);
        const QString out = dir + "/lines." + kind;
        const auto conv = qor({"convert", report, out});
        EXPECT_EQ(conv.exitCode, 3) << conv.err.constData();
        EXPECT_TRUE(text(conv.err).contains(area)) << conv.err.constData();
        const auto read = qortest::python(QString::fromLatin1(kReadBack), {QString::fromLatin1(kind), out});
        ASSERT_EQ(read.exitCode, 0) << read.err.constData();
        // Workbooks and the database: a sheet (table) a page; the flat
        // files: the pages one after another.
        const bool perPage = QByteArray(kind) == "xlsx" || QByteArray(kind) == "xls" || QByteArray(kind) == "mdb";
        const QString want = perPage ? QStringLiteral("[[\"%1\"], [\"%2\"]]")
                                           .arg(page1.join("\", \""), page2.join("\", \""))
                                     : QStringLiteral("[[\"%1\"]]").arg((page1 + page2).join("\", \""));
        EXPECT_EQ(text(read.out).trimmed(), want);
    }
    // HTML, a file a page: each page's lines in order.
    const auto html = qor({"export-html", report, dir + "/html"});
    EXPECT_EQ(html.exitCode, 3) << html.err.constData();
    EXPECT_TRUE(text(html.err).contains(area)) << html.err.constData();
    const QStringList files = QDir(dir + "/html").entryList({"*.html"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2);
    const auto page = [&](int i) {
        const auto t = qortest::python(
            "import sys,html,re\n"
            "b=open(sys.argv[1],'rb').read()\n"
            "s=b.decode('utf-16') if b[:2] in (b'\\xff\\xfe',b'\\xfe\\xff') else b.decode('utf-8')\n"
            "print(' '.join(html.unescape(x).strip() for x in re.findall(r'>([^<>]+)<',s) if x.strip()))\n",
            {dir + "/html/" + files[i]});
        EXPECT_EQ(t.exitCode, 0) << t.err.constData();
        return text(t.out);
    };
    const QString first = page(0), second = page(1);
    EXPECT_TRUE(first.contains(QRegularExpression("甲.*10.*乙.*20.*丙.*30.*合计.*60"))) << first.toStdString();
    EXPECT_TRUE(second.contains(QRegularExpression("丁.*5.*戊.*7.*合计.*12"))) << second.toStdString();
    EXPECT_FALSE(second.contains("丙")) << second.toStdString();
}

TEST(QorVarLinesOut, ConsolidationPagesCountTheirOwnLines) {
    const QString dir = qortest::freshDir("qor-varlines-consol");
    const QString report = linesReport(dir);
    const auto get = [&](const QString& rep, const char* page, const char* row, const char* col) {
        const auto r = qor({"get", rep, page, row, col});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return text(r.out).trimmed();
    };
    EXPECT_EQ(get(report, "1", "5", "2"), "3");
    EXPECT_EQ(get(report, "2", "4", "2"), "2");
    struct Case {
        const char* command;
        const char* lines;
        QStringList line3;  // C of each result line
        const char* total;
        const char* count;
    };
    const Case cases[] = {
        // Line by line: the result has the longest page's three lines.
        {"TOTAL", "page 3: 3 lines", {"15", "27", "30"}, "72", "3"},
        // Every line of every page into one; with a condition, those above 6.
        {"GTOTAL", "page 3: 1 line", {"72"}, "72", "1"},
        {"GTOTAL FOR ; V_C>6", "page 3: 1 line", {"67"}, "67", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const QString rep = dir + "/c.rep";
        QFile::remove(rep);
        ASSERT_TRUE(QFile::copy(report, rep));
        qortest::writeFile(dir + "/c.shl", QByteArray(c.command) + "\n");
        const auto ran = qor({"run", dir + "/c.shl", rep});
        ASSERT_EQ(ran.exitCode, 0) << ran.err.constData();
        EXPECT_EQ(text(qor({"lines", rep, "3"}).out).trimmed(), c.lines);
        for (int i = 0; i < c.line3.size(); ++i)
            EXPECT_EQ(get(rep, "3", QByteArray::number(2 + i).constData(), "3"), c.line3[i]);
        const QByteArray totalRow = QByteArray::number(2 + c.line3.size());
        EXPECT_EQ(get(rep, "3", totalRow.constData(), "3"), c.total);
        EXPECT_EQ(get(rep, "3", totalRow.constData(), "2"), c.count);
    }
}

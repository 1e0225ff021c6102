// What comes into a report from files other programs (and our own writers)
// made: each value arrives equal, or qor convert exits 3 and names the loss,
// or a damaged file is refused (exit 1) and nothing is written.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QString& dir, const QStringList& args) {
    const QString script =
        QStringLiteral("cd '%1' && exec '%2' \"$@\"").arg(dir, QStringLiteral(QOR_APP_BINARY));
    return qortest::run(QStringLiteral("/bin/sh"), QStringList{"-c", script, "qor"} + args);
}

// The workbooks, one a case, all on a sheet named 第1页 (a report numbers its pages).
constexpr const char* kWriteBooks = R"PY(
import sys, math
from openpyxl import Workbook
from openpyxl.worksheet.cell_range import CellRange
d = sys.argv[1]
def book(name, fill):
    wb = Workbook()
    ws = wb.active
    ws.title = "第1页"
    fill(ws)
    wb.save(d + "/" + name)
def plain(ws):
    ws["A1"] = "项目"; ws["B1"] = "金额"; ws["A2"] = "收入"; ws["B2"] = 120.5; ws["B3"] = 0.1234567
def decimals(ws):
    ws["A1"] = 1e-9; ws["A2"] = math.pi; ws["A3"] = 0.1234567; ws["A4"] = 12.5
def longtext(ws):
    ws["A1"] = "长" * 300; ws["A2"] = "短"
def errors(ws):
    ws["A1"] = "#N/A"; ws["A2"] = "#DIV/0!"; ws["B1"] = 5
def merged(ws):
    # merge_cells would empty B2: the area is added as another program
    # leaves it, its hidden value kept.
    ws["A1"] = "标题"; ws["B2"] = 7; ws["C1"] = 3
    ws.merged_cells.add(CellRange("A1:B2"))
def mixed(ws):
    ws["A1"] = math.pi; ws["A2"] = "长" * 300; ws["A3"] = "#N/A"
    ws["C1"] = "标题"; ws["D2"] = 7
    ws.merged_cells.add(CellRange("C1:D2"))
for name, fill in [("plain", plain), ("decimals", decimals), ("longtext", longtext),
                   ("errors", errors), ("merged", merged), ("mixed", mixed)]:
    book(name + ".xlsx", fill)
)PY";

struct Cell {
    int row, col;
    QString value;  // what qor get prints
    int page = 1;
};

struct Case {
    const char* what;
    QString in;
    int exitCode;
    QStringList told;    // each on standard error
    QList<Cell> values;  // page 1
    QString table = {};  // "R rows, C columns" when the table's size is checked
};

class QorIncoming : public ::testing::Test {
protected:
    void SetUp() override { dir = qortest::freshDir(QStringLiteral("incoming")); }

    // Converts c.in to a report and checks the exit code, the messages and
    // each value; a refused file leaves no report.
    void check(const Case& c) {
        SCOPED_TRACE(c.what);
        const QString target = QStringLiteral("in%1.rep").arg(++made);
        const qortest::ProcessResult r = qor(dir, {"convert", c.in, target});
        const QString err = QString::fromUtf8(r.err);
        EXPECT_EQ(r.exitCode, c.exitCode) << err.toStdString();
        for (const QString& t : c.told) EXPECT_TRUE(err.contains(t)) << t.toStdString() << "\n" << err.toStdString();
        if (c.exitCode == 1) {
            EXPECT_FALSE(QFile::exists(dir + u'/' + target));
            return;
        }
        if (!c.table.isEmpty()) {
            const QString info = QString::fromUtf8(qor(dir, {"info", target}).out);
            EXPECT_TRUE(info.contains(QStringLiteral("table:   ") + c.table)) << info.toStdString();
        }
        for (const Cell& cell : c.values) {
            const qortest::ProcessResult g = qor(dir, {"get", target, QString::number(cell.page),
                                                       QString::number(cell.row), QString::number(cell.col)});
            EXPECT_EQ(QString::fromUtf8(g.out).trimmed(), cell.value)
                << "page " << cell.page << ", row " << cell.row << ", column " << cell.col;
        }
    }

    QString path(const char* name) const { return dir + u'/' + QString::fromUtf8(name); }

    // A report of our own with one text and one number, written as target.
    QString written(const char* target, const QString& text) {
        EXPECT_EQ(qor(dir, {"new", "src.rep", "--rows", "3", "--cols", "2", "--pages", "1"}).exitCode, 0);
        EXPECT_EQ(qor(dir, {"format", "src.rep", "1", "1", "kind", "2"}).exitCode, 0);
        EXPECT_EQ(qor(dir, {"set", "src.rep", "1", "1", "1", text, "--text"}).exitCode, 0);
        EXPECT_EQ(qor(dir, {"set", "src.rep", "1", "2", "2", "12.5"}).exitCode, 0);
        const qortest::ProcessResult w = qor(dir, {"convert", "src.rep", target});
        EXPECT_EQ(w.exitCode, 0) << w.err.constData();
        QFile::remove(path("src.rep"));
        return path(target);
    }

    QString dir;
    int made = 0;
};

const QString kLong = QString(300, QChar(u'长'));

TEST_F(QorIncoming, WorkbooksOfOtherProgramsComeInWholeOrTheLossIsNamed) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    const qortest::ProcessResult made = qortest::python(QString::fromUtf8(kWriteBooks), {dir});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const QString rounded = QStringLiteral("小数位超过7位的数值已舍入：共");
    const QString cut = QStringLiteral("个文本超过单元能容纳的255个字符，已截短");
    const QString underMerge = QStringLiteral("合并区域中首个单元以外的值（未导入）：共1处");
    QList<Case> cases = {
        {"xlsx, plain values", path("plain.xlsx"), 0, {},
         {{1, 1, "项目"}, {2, 2, "120.5"}, {3, 2, "0.1234567"}},
         // The table is as large as the sheet, not a new report's 50 rows.
         "3 rows, 2 columns"},
        {"xlsx, more than 7 decimals", path("decimals.xlsx"), 3,
         {rounded + QStringLiteral("2处，第一处在工作表“第1页”的A1")},
         {{1, 1, "0"}, {2, 1, "3.1415927"}, {3, 1, "0.1234567"}, {4, 1, "12.5"}}},
        {"xlsx, text of 300 characters", path("longtext.xlsx"), 3,
         {QStringLiteral("1") + cut + QStringLiteral("；第一个在工作表“第1页”的A1")},
         {{1, 1, kLong.left(255)}, {2, 1, "短"}}},
        {"xlsx, error cells", path("errors.xlsx"), 0, {},
         {{1, 1, "#N/A"}, {2, 1, "#DIV/0!"}, {1, 2, "5"}}},
        {"xlsx, a value under a merged area", path("merged.xlsx"), 3,
         {underMerge + QStringLiteral("，第一处在工作表“第1页”的B2")},
         {{1, 1, "标题"}, {1, 3, "3"}}},
    };
    if (qortest::needProgram(QStringLiteral("soffice"))) {
        // One conversion by another program gives the binary workbook of
        // every case at once.
        const qortest::ProcessResult lo = qortest::run(
            QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/lo"),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"),
             QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), dir, path("mixed.xlsx")});
        ASSERT_EQ(lo.exitCode, 0) << lo.err.constData();
        cases.append({"xls, decimals, long text, error, value under a merged area", path("mixed.xls"), 3,
                      {rounded + QStringLiteral("1处，第一处在工作表“第1页”的A1"),
                       QStringLiteral("1") + cut, underMerge},
                      {{1, 1, "3.1415927"}, {2, 1, kLong.left(255)}, {3, 1, "#N/A"}, {1, 3, "标题"}},
                      "3 rows, 4 columns"});
    }
    for (const Case& c : cases) check(c);
}

// A binary workbook whose texts are rich-text strings in the cells' own
// records (RSTRING, as gnumeric writes them), built record by record from
// the file format's description, in a compound file of its own making;
// xlrd reads it first.
constexpr const char* kWriteRichXls = R"PY(
import sys, struct
import xlrd

def rec(t, data):
    return struct.pack("<HH", t, len(data)) + data

def short_text(s):  # one-byte count, flags, UTF-16 characters
    return struct.pack("<BB", len(s), 1) + s.encode("utf-16-le")

def long_text(s):  # two-byte count, flags, UTF-16 characters
    return struct.pack("<HB", len(s), 1) + s.encode("utf-16-le")

glob = rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0005, 0, 1997, 0, 6))
glob += rec(0x0042, struct.pack("<H", 1200))
for _ in range(5):
    glob += rec(0x0031, struct.pack("<HHHHHBBBB", 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0) + short_text("Arial"))
for i in range(16):
    glob += rec(0x00E0, struct.pack("<HHHBBBBIIH", 0, 0, 0xFFF5 if i < 15 else 0x0001, 0x20, 0, 0, 0, 0, 0, 0x20C0))
bound_at = len(glob)
glob += rec(0x0085, struct.pack("<IBB", 0, 0, 0) + short_text("第1页"))
glob += rec(0x000A, b"")
sheet_at = len(glob)
glob = glob[:bound_at + 4] + struct.pack("<I", sheet_at) + glob[bound_at + 8:]

def rstring(row, col, text, runs):
    data = struct.pack("<HHH", row, col, 15) + long_text(text) + struct.pack("<H", len(runs))
    for ich, font in runs:
        data += struct.pack("<HH", ich, font)
    return rec(0x00D6, data)

sheet = rec(0x0809, struct.pack("<HHHHII", 0x0600, 0x0010, 0, 1997, 0, 6))
sheet += rec(0x0200, struct.pack("<IIHHH", 0, 2, 0, 2, 0))
sheet += rstring(0, 0, "收入合计", [(0, 1), (2, 2)])
sheet += rec(0x0203, struct.pack("<HHHd", 0, 1, 15, 120.5))
sheet += rstring(1, 0, "Total 2024", [(6, 1)])
sheet += rec(0x000A, b"")
stream = glob + sheet
size = len(stream)
# At least 4096 bytes, so the stream lives in regular sectors, not the
# mini stream; the bytes after the last record are never read.
padded = stream + b"\0" * (max(4096, (size + 511) // 512 * 512) - size)
n = len(padded) // 512
END, FREE, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD
fat = [i + 1 for i in range(n - 1)] + [END, END, FATSECT]
fat += [FREE] * (128 - len(fat))
def entry(name, kind, child, start, length):
    raw = name.encode("utf-16-le") + b"\0\0"
    return (raw.ljust(64, b"\0") + struct.pack("<HBB", len(raw), kind, 1) +
            struct.pack("<III", FREE, FREE, child) + b"\0" * 16 + struct.pack("<I", 0) +
            b"\0" * 16 + struct.pack("<IIII", start, length, 0, 0)[:8] + b"\0\0\0\0")
empty = b"\0" * 64 + struct.pack("<HBB", 0, 0, 0) + struct.pack("<III", FREE, FREE, FREE) + b"\0" * 48
dirs = entry("Root Entry", 5, 1, END, 0) + entry("Workbook", 2, FREE, 0, len(padded)) + empty + empty
header = (bytes.fromhex("D0CF11E0A1B11AE1") + b"\0" * 16 +
          struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) + b"\0" * 6 +
          struct.pack("<IIIIIIIII", 0, 1, n, 0, 4096, END, 0, END, 0) +
          struct.pack("<I", n + 1) + struct.pack("<I", FREE) * 108)
assert len(header) == 512 and len(dirs) == 512
with open(sys.argv[1], "wb") as f:
    f.write(header + padded + dirs + b"".join(struct.pack("<I", v) for v in fat))

book = xlrd.open_workbook(sys.argv[1])
s = book.sheet_by_index(0)
assert s.cell_value(0, 0) == "收入合计", s.cell_value(0, 0)
assert s.cell_value(0, 1) == 120.5
assert s.cell_value(1, 0) == "Total 2024"
)PY";

// Workbooks with numbers their formats show with fewer decimals, and a
// value of a later sheet under the first sheet's merged area.
constexpr const char* kWriteShownBooks = R"PY(
import sys
from openpyxl import Workbook
from openpyxl.worksheet.cell_range import CellRange
d = sys.argv[1]
wb = Workbook()
ws = wb.active
ws.title = "第1页"
ws["A1"] = 1234567.89; ws["A1"].number_format = "#,##0"
ws["A2"] = 0.5; ws["A2"].number_format = "# ?/?"
ws["A3"] = 1234.5; ws["A3"].number_format = "#,##0.00"
ws["A4"] = 0.125; ws["A4"].number_format = "0.0%"
wb.save(d + "/shown.xlsx")
wb = Workbook()
one = wb.active
one.title = "第1页"
one["A1"] = "标题"; one["C1"] = 1
one.merged_cells.add(CellRange("A1:B2"))
two = wb.create_sheet("第2页")
two["B2"] = 7; two["C1"] = 2; two["A1"] = "乙"
wb.save(d + "/twosheets.xlsx")
)PY";

// Spreadsheet XML as typed by hand.
QByteArray sheetXml(const char* rows) {
    return QByteArray("<?xml version=\"1.0\"?>\n"
                      "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
                      "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n"
                      "<Worksheet ss:Name=\"第1页\"><Table>\n") +
           rows + "</Table></Worksheet></Workbook>\n";
}

TEST_F(QorIncoming, FilesOfOtherWritersKeepTheirValuesOrNameWhatWasLeftOut) {
    if (!qortest::needPythonModule(QStringLiteral("xlrd")) || !qortest::needPythonModule(QStringLiteral("openpyxl")))
        GTEST_SKIP() << "no xlrd or openpyxl";
    const qortest::ProcessResult rich = qortest::python(QString::fromUtf8(kWriteRichXls), {path("rich.xls")});
    ASSERT_EQ(rich.exitCode, 0) << rich.err.constData();
    const qortest::ProcessResult books = qortest::python(QString::fromUtf8(kWriteShownBooks), {dir});
    ASSERT_EQ(books.exitCode, 0) << books.err.constData();
    qortest::writeFile(path("comment.xml"),
                       sheetXml("<Row><Cell><Data ss:Type=\"String\">金额</Data></Cell>"
                                "<Cell><Data ss:Type=\"Number\">2500</Data>"
                                "<Comment ss:Author=\"审核\"><ss:Data>复核</ss:Data></Comment></Cell></Row>\n"
                                "<Row><Cell><Data ss:Type=\"String\">收入<Font "
                                "xmlns=\"http://www.w3.org/TR/REC-html40\">合计</Font></Data></Cell>"
                                "<Cell><Data ss:Type=\"Number\">12.5</Data></Cell></Row>\n"));
    // A1:B2 and D1:E1 merged; ss:Index reaches into D1:E1, and row 2
    // starts under A1:B2 (MergeDown keeps the row's place).
    qortest::writeFile(path("merged.xml"),
                       sheetXml("<Row><Cell ss:MergeAcross=\"1\" ss:MergeDown=\"1\"><Data "
                                "ss:Type=\"String\">标题</Data></Cell><Cell><Data ss:Type=\"Number\">3</Data>"
                                "</Cell><Cell ss:MergeAcross=\"1\"><Data ss:Type=\"Number\">4</Data></Cell>"
                                "<Cell ss:Index=\"5\"><Data ss:Type=\"Number\">5</Data></Cell></Row>\n"
                                "<Row><Cell><Data ss:Type=\"Number\">7</Data></Cell>"
                                "<Cell ss:Index=\"3\"><Data ss:Type=\"Number\">8</Data></Cell></Row>\n"));
    const QString underMerge = QStringLiteral("合并区域中首个单元以外的值（未导入）：共");
    const QList<Case> cases = {
        {"xls, rich-text strings in their own records", path("rich.xls"), 0, {},
         {{1, 1, "收入合计"}, {1, 2, "120.5"}, {2, 1, "Total 2024"}}},
        {"spreadsheet XML, a cell with a comment", path("comment.xml"), 3,
         {QStringLiteral("单元格的批注（未导入）：共1处，第一处在工作表“第1页”的B1")},
         {{1, 1, "金额"}, {1, 2, "2500"}, {2, 1, "收入合计"}, {2, 2, "12.5"}}},
        {"spreadsheet XML, values under MergeAcross and MergeDown", path("merged.xml"), 3,
         {underMerge + QStringLiteral("2处，第一处在工作表“第1页”的E1")},
         {{1, 1, "标题"}, {1, 3, "3"}, {1, 4, "4"}, {2, 3, "8"}}},
        {"xlsx, numbers with more decimals than their format shows", path("shown.xlsx"), 3,
         {QStringLiteral("小数位多于单元格显示位数的数值（已按显示的小数位舍入）：共2处，第一处在工作表“第1页”的A1")},
         {{1, 1, "1234568"}, {2, 1, "1"}, {3, 1, "1234.5"}, {4, 1, "12.5"}}},
        {"xlsx, a later sheet's value under the first sheet's merged area", path("twosheets.xlsx"), 3,
         {underMerge + QStringLiteral("1处，第一处在工作表“第2页”的B2")},
         {{1, 1, "标题"}, {1, 3, "1"}, {1, 1, "乙", 2}, {1, 3, "2", 2}, {2, 2, "0", 2}}},
    };
    for (const Case& c : cases) check(c);
}

// An exchange file's cell past what a report holds is refused with the
// row and the limit, not only with the growing that failed.
TEST_F(QorIncoming, AnExchangeFilesCellPastTheLimitIsNamed) {
    ASSERT_EQ(qor(dir, {"new", "s.rep", "--rows", "2", "--cols", "2", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor(dir, {"set", "s.rep", "1", "2", "2", "42"}).exitCode, 0);
    ASSERT_EQ(qor(dir, {"export-xml", "s.rep", "s.xml"}).exitCode, 0);
    QByteArray xml = qortest::fileBytes(path("s.xml"));
    const qsizetype at = xml.indexOf("<start_row>2</start_row>");
    ASSERT_GE(at, 0);
    xml.replace(at, 24, "<start_row>10005</start_row>");
    xml.replace(xml.indexOf("<end_row>2</end_row>", at), 20, "<end_row>10005</end_row>");
    qortest::writeFile(path("far.xml"), xml);
    const qortest::ProcessResult r = qor(dir, {"import-xml", "far.xml", "far.rep"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("第10005行超出了报表最多9999行的上限")))
        << r.err.constData();
    EXPECT_FALSE(QFile::exists(path("far.rep")));
}

TEST_F(QorIncoming, OurOwnDataFilesComeBackWholeOrDamageIsRefused) {
    // A text beyond the basic plane through an Access file.
    const QString text = QStringLiteral("表情😀与𠮷");
    const QString mdb = written("own.mdb", text);

    // A Lotus file cut short, and one whose last cell record claims more
    // bytes than the file has.
    const QString wk4 = written("own.wk4", QStringLiteral("项目"));
    const QByteArray good = qortest::fileBytes(wk4);
    ASSERT_GT(good.size(), 100);
    // The end-of-file record (type 1, no bytes) is the last four bytes; the
    // record before it runs past the end of both damaged files.
    ASSERT_EQ(good.right(4), QByteArray("\x01\x00\x00\x00", 4));
    qsizetype last = 0;
    for (qsizetype at = 0; at + 4 <= good.size() - 4;) {
        last = at;
        at += 4 + (uchar(good[at + 2]) | uchar(good[at + 3]) << 8);
    }
    ASSERT_GT(good.size() - 4 - last, 10);
    qortest::writeFile(path("cut.wk4"), good.left(good.size() - 10));
    qortest::writeFile(path("between.wk4"), good.left(last));
    QByteArray longer = good.left(good.size() - 4);
    longer[last + 2] = char(uchar(longer[last + 2]) + 8);
    qortest::writeFile(path("overrun.wk4"), longer);

    const QList<Case> cases = {
        {"mdb of ours, text beyond the basic plane", mdb, 0, {}, {{1, 1, text}, {2, 2, "12.5"}}},
        {"wk4 of ours", wk4, 0, {}, {{1, 1, "项目"}, {2, 2, "12.5"}}},
        {"wk4 cut short", path("cut.wk4"), 1,
         {QStringLiteral("文件已损坏"), QStringLiteral("第%1字节").arg(last)}, {}},
        {"wk4 cut short between records", path("between.wk4"), 1,
         {QStringLiteral("文件已损坏"), QStringLiteral("第%1字节").arg(last)}, {}},
        {"wk4 record past the end", path("overrun.wk4"), 1,
         {QStringLiteral("文件已损坏"), QStringLiteral("第%1字节").arg(last)}, {}},
    };
    for (const Case& c : cases) check(c);
}

// A broken XML file is refused with its reason first, in one line.
TEST_F(QorIncoming, ABrokenXmlFileSaysWhyFirstInOneLine) {
    qortest::writeFile(path("book.xml"), "<?xml version=\"1.0\"?>\n<Workbook><a></Workbook>\n");
    qortest::writeFile(path("own.xml"), "<?xml version=\"1.0\"?>\n<iqor_export><a></iqor_export>\n");
    qortest::writeFile(path("other.xml"), "<ReportData/>\n");
    struct Run {
        QStringList args;
        QString reason;
    };
    const QString broken = QStringLiteral("第2行：不是格式正确的XML");
    const QString general = QStringLiteral("不支持该格式的XML文件");
    for (const Run& r : {Run{{"convert", "book.xml", "b.rep"}, broken},
                         Run{{"convert", "own.xml", "o.rep"}, broken},
                         Run{{"import-xml", "own.xml", "i.rep"}, broken},
                         Run{{"convert", "other.xml", "x.rep"}, QStringLiteral("other.xml")}}) {
        SCOPED_TRACE(r.args.join(u' ').toStdString());
        const qortest::ProcessResult p = qor(dir, r.args);
        EXPECT_EQ(p.exitCode, 1);
        const QString err = QString::fromUtf8(p.err).trimmed();
        EXPECT_FALSE(err.contains(u'\n')) << err.toStdString();
        const qsizetype why = err.indexOf(r.reason);
        ASSERT_GE(why, 0) << err.toStdString();
        EXPECT_GT(err.indexOf(general), why) << err.toStdString();
        EXPECT_FALSE(QFile::exists(path(r.args[2].toUtf8().constData())));
    }
}

}  // namespace

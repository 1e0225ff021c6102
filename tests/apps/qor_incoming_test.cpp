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
wb = Workbook()
one = wb.active
one.title = "第1页"
one["A1"] = 12345.6; one["A1"].number_format = "#,##0"
two = wb.create_sheet("第2页")
two["A1"] = "12,345.60"
wb.save(d + "/textshown.xlsx")
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
        {"xlsx, a text in a number cell of no decimals, rounded as a number is", path("textshown.xlsx"), 3,
         {QStringLiteral("小数位多于单元格显示位数的数值（已按显示的小数位舍入）：共1处，第一处在工作表“第1页”的A1"),
          QStringLiteral("小数位多于单元格显示位数的数值（已按显示的小数位舍入）：共1处，第一处在工作表“第2页”的A1")},
         {{1, 1, "12346"}, {1, 1, "12346", 2}}},
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

// dBASE, FoxPro and Lotus files written byte by byte as their formats are
// described, each as the program that makes it would write it.
constexpr const char* kWriteDataFiles = R"PY(
import struct, sys, datetime
d = sys.argv[1]
VFP = (0x30, 0x31, 0x32)
def dbf(name, version, fields, records, ldid=0, flags=0):
    # fields: (name, type, width, decimals, flags); records: lists of field bytes
    hdr = 32 + 32 * len(fields) + 1 + (263 if version in VFP else 0)
    width = 1 + sum(f[2] for f in fields)
    out = bytearray(struct.pack('<BBBBIHH', version, 124, 1, 9, len(records), hdr, width))
    out += bytes(16) + bytes([flags, ldid]) + bytes(2)
    at = 1
    for n, t, w, dec, fl in fields:
        out += n.encode('ascii').ljust(11, b'\0') + t.encode() + struct.pack('<I', at)
        out += bytes([w, dec, fl]) + bytes(13)
        at += w
    out += b'\r' + (bytes(263) if version in VFP else b'')
    for r in records:
        row = b' ' + b''.join(r)
        assert len(row) == width, name
        out += row
    out += b'\x1a'
    open(d + '/' + name + '.dbf', 'wb').write(out)
def padded(b, size):
    return b + bytes(-len(b) % size)
def dbt3(name, memos):
    # dBASE III: 512-byte blocks, each text ended by two end marks
    body, blocks = bytearray(), []
    for m in memos:
        blocks.append(1 + len(body) // 512)
        body += padded(m + b'\x1a\x1a', 512)
    head = padded(struct.pack('<I', 1 + len(body) // 512), 512)
    open(d + '/' + name + '.dbt', 'wb').write(head + body)
    return blocks
def dbt4(name, memos):
    # dBASE IV: block size in the header, a length in front of each text
    body, blocks = bytearray(), []
    for m in memos:
        blocks.append(1 + len(body) // 512)
        body += padded(b'\xff\xff\x08\x00' + struct.pack('<I', len(m) + 8) + m, 512)
    head = bytearray(512)
    head[0:4] = struct.pack('<I', 1 + len(body) // 512)
    head[20:22] = struct.pack('<H', 512)
    open(d + '/' + name + '.dbt', 'wb').write(bytes(head) + body)
    return blocks
def fpt(name, memos, size=64):
    # FoxPro: big-endian header and block heads, type 1 for text
    body, blocks = bytearray(), []
    for m in memos:
        blocks.append((512 + len(body)) // size)
        body += padded(struct.pack('>II', 1, len(m)) + m, size)
    head = bytearray(512)
    head[0:4] = struct.pack('>I', (512 + len(body)) // size)
    head[6:8] = struct.pack('>H', size)
    open(d + '/' + name + '.fpt', 'wb').write(bytes(head) + body)
    return blocks
def c(text, w, enc='gbk'):
    return text.encode(enc).ljust(w, b' ')
def num(v, w):
    return str(v).encode().rjust(w, b' ')

memos = ['第一行备注\r\n第二行'.encode('gbk'), ('甲乙' * 120).encode('gbk')]
b = dbt3('memo3', memos)
dbf('memo3', 0x83, [('NAME', 'C', 10, 0, 0), ('NOTE', 'M', 10, 0, 0)],
    [[c('收入', 10), num(b[0], 10)], [c('支出', 10), num(b[1], 10)], [c('空', 10), b' ' * 10]])
b = dbt4('memo4', memos)
dbf('memo4', 0x8B, [('NAME', 'C', 10, 0, 0), ('NOTE', 'M', 10, 0, 0)],
    [[c('收入', 10), num(b[0], 10)], [c('支出', 10), num(b[1], 10)]])
b = fpt('fox2', memos)
dbf('fox2', 0xF5, [('NAME', 'C', 10, 0, 0), ('NOTE', 'M', 10, 0, 0)],
    [[c('收入', 10), num(b[0], 10)], [c('支出', 10), num(b[1], 10)]])

# Visual FoxPro: binary I, Y, B, T and memo fields, two nullable fields
# (the first null in the second record, its bytes still there) and the
# hidden null flags; code page 936 by its language driver byte.
b = fpt('vfp', ['备注一'.encode('gbk')])
def when(y, mo, dd, h, mi, s):
    return struct.pack('<ii', datetime.date(y, mo, dd).toordinal() + 1721425, ((h * 60 + mi) * 60 + s) * 1000)
vfields = [('NAME', 'C', 10, 0, 2), ('AMT', 'N', 12, 2, 0), ('DAY', 'D', 8, 0, 0), ('OK', 'L', 1, 0, 0),
           ('QTY', 'I', 4, 0, 2), ('PRICE', 'Y', 8, 4, 0), ('RATE', 'B', 8, 4, 0), ('WHEN', 'T', 8, 0, 0),
           ('NOTE', 'M', 4, 0, 0), ('_NullFlags', '0', 1, 0, 5)]
dbf('vfp', 0x30, vfields, [
    [c('收入', 10), num('1234.56', 12), b'20240109', b'T', struct.pack('<i', 42),
     struct.pack('<q', 123456), struct.pack('<d', 0.125), when(2024, 1, 9, 13, 45, 10),
     struct.pack('<i', b[0]), b'\0'],
    [c('支出', 10), num('-7.50', 12), b'19991231', b'F', struct.pack('<i', 0),
     struct.pack('<q', -25000), struct.pack('<d', -1e-3), when(1999, 12, 31, 0, 0, 0),
     struct.pack('<i', 0), b'\x01']], ldid=0x7A, flags=0x02)
dbf('vfpgen', 0x30, [('NAME', 'C', 10, 0, 0), ('PIC', 'G', 4, 0, 0)],
    [[c('收入', 10), struct.pack('<i', 0)]], ldid=0x7A)

# Memo files that are not there or do not hold the memo.
dbf('nomemo', 0x83, [('NOTE', 'M', 10, 0, 0)], [[num(1, 10)]])
dbt3('badmemo', [b'x'])
dbf('badmemo', 0x83, [('NOTE', 'M', 10, 0, 0)], [[num(9, 10)]])
b = fpt('longmemo', [b'abc'])
f = bytearray(open(d + '/longmemo.fpt', 'rb').read())
f[512 + 4:512 + 8] = struct.pack('>I', 1 << 30)
open(d + '/longmemo.fpt', 'wb').write(bytes(f))
dbf('longmemo', 0x30, [('NOTE', 'M', 4, 0, 0)], [[struct.pack('<i', b[0])]])

# Code pages named by the language driver byte or a .cpg file.
for name, text, enc, ldid, cpg in [
        ('cp1252', 'Société Générale', 'cp1252', 0x03, None),
        ('cp950', '臺北市政府', 'cp950', 0x4F, None),
        ('cp1250', 'Łódź Spółka', 'cp1250', 0xC8, None),
        ('cp1251', 'Москва', 'cp1251', 0, '1251'),
        ('cp437', 'Müller Straße', 'cp437', 0x01, None),
        ('cp850', 'Ærøskøbing', 'cp850', 0x02, None),
        ('utf8', '财务报表', 'utf-8', 0x4D, 'UTF-8'),
        ('nomark', '单位名称', 'gbk', 0, None)]:
    dbf(name, 0x03, [('NAME', 'C', 30, 0, 0)], [[c(text, 30, enc)]], ldid=ldid)
    if cpg:
        open(d + '/' + name + '.cpg', 'w').write(cpg)

# Lotus 1-2-3 release 4: version 0x1002, sheet names, labels and numbers.
def wk4(name, sheet, cells):
    def rec(t, body):
        return struct.pack('<HH', t, len(body)) + body
    out = rec(0, struct.pack('<H', 0x1002) + bytes(24))
    out += rec(0x23, struct.pack('<H', 14000) + b'\0\0' + sheet.encode('gbk') + b'\0')
    for (r, col, v) in cells:
        head = struct.pack('<HBB', r, 0, col)
        if isinstance(v, str):
            out += rec(0x16, head + b"'" + v.encode('gbk') + b'\0')
        else:
            out += rec(0x27, head + struct.pack('<d', v))
    out += rec(1, b'')
    open(d + '/' + name + '.wk4', 'wb').write(out)
wk4('values', '资产表', [(0, 0, 10.0), (0, 1, 20.0), (1, 0, 30.0), (1, 1, 40.5)])
wk4('labels', '资产表', [(0, 0, '项目'), (0, 1, '金额'), (1, 0, '收入'), (1, 1, 120.5)])
)PY";

// An Access (Jet 4) file written page by page as the format is described:
// one table with a Memo column whose texts lie in the row, on a long-value
// page and on a chain of two, and a DateTime column before and after
// 1899-12-30.
constexpr const char* kWriteAccessFile = R"PY(
import struct, sys, datetime
PAGE = 4096
def rc4(data, frm, n):
    key = [0xC7, 0xDA, 0x39, 0x6B]
    s = list(range(256)); j = 0
    for i in range(256):
        j = (j + s[i] + key[i % 4]) & 0xFF; s[i], s[j] = s[j], s[i]
    i = j = 0
    for k in range(n):
        i = (i + 1) & 0xFF; j = (j + s[i]) & 0xFF; s[i], s[j] = s[j], s[i]
        data[frm + k] ^= s[(s[i] + s[j]) & 0xFF]
def header():
    p = bytearray(PAGE)
    p[0:4] = struct.pack('<I', 0x100); p[4:19] = b'Standard Jet DB'
    p[0x14:0x18] = struct.pack('<I', 1)
    p[0x3C:0x3E] = struct.pack('<H', 1252); p[0x6E:0x70] = struct.pack('<H', 0x0409)
    rc4(p, 0x18, 128)
    return p
def data_page(owner, rows):
    # rows placed from the end of the page down, offsets after the head
    p = bytearray(PAGE); p[0] = 1; p[1] = 1; p[4:8] = struct.pack('<I', owner)
    top = PAGE
    for k, r in enumerate(rows):
        top -= len(r); p[top:top + len(r)] = r
        p[14 + 2 * k:16 + 2 * k] = struct.pack('<H', top)
    p[12:14] = struct.pack('<H', len(rows))
    p[2:4] = struct.pack('<H', top - 14 - 2 * len(rows))
    return p
# columns: (name, type, size); fixed: Long 4, Integer 3, DateTime 8; variable: Text 10, OLE 11, Memo 12
FIXED = {4: 4, 3: 2, 8: 8}
def layout(cols):
    out, fo, vi = [], 0, 0
    for n, t in cols:
        if t in FIXED: out.append((n, t, True, FIXED[t], fo, 0)); fo += FIXED[t]
        else: out.append((n, t, False, 0 if t == 12 else (510 if t == 10 else 0), 0, vi)); vi += 1
    return out
def row(cols, vals):
    fixed_w = max([c[4] + c[3] for c in cols if c[2]] + [0])
    nvar = sum(1 for c in cols if not c[2])
    fixed = bytearray(fixed_w); mask = bytearray((len(cols) + 7) // 8); var = bytearray(); starts = []
    for i, (c, v) in enumerate(zip(cols, vals)):
        if v is not None: mask[i // 8] |= 1 << (i % 8)
        if c[2]:
            if v is not None: fixed[c[4]:c[4] + c[3]] = v
        else:
            starts.append(2 + fixed_w + len(var))
            if v is not None: var += v
    r = struct.pack('<H', len(cols)) + bytes(fixed) + bytes(var)
    if nvar:
        r += struct.pack('<H', 2 + fixed_w + len(var))
        for s in reversed(starts): r += struct.pack('<H', s)
        r += struct.pack('<H', nvar)
    return r + bytes(mask)
def tdef(cols, records, system, used, free):
    p = bytearray(PAGE); p[0] = 2; p[1] = 1
    p[16:20] = struct.pack('<I', records); p[40] = 0x53 if system else 0x4E
    nvar = sum(1 for c in cols if not c[2])
    p[41:47] = struct.pack('<HHH', len(cols), nvar, len(cols))
    p[55:63] = struct.pack('<II', used, free)
    body = bytearray()
    for i, (n, t, fx, size, fo, vi) in enumerate(cols):
        e = bytearray(25); e[0] = t
        e[5:11] = struct.pack('<HHH', i, 0 if fx else vi, i)
        if t in (10, 12): e[11:13] = struct.pack('<H', 0x0409)
        e[15] = 3 if fx else 2
        e[21:25] = struct.pack('<HH', fo if fx else 0, size)
        body += e
    for c in cols:
        nm = c[0].encode('utf-16-le'); body += struct.pack('<H', len(nm)) + nm
    body += b'\xff\xff'
    p[63:63 + len(body)] = body
    p[8:12] = struct.pack('<I', 55 + len(body))
    p[2:4] = struct.pack('<H', PAGE - 63 - len(body) - 8)
    return p
def u16(s): return s.encode('utf-16-le')
def jdate(serial): return struct.pack('<d', serial)

# Pages: 0 header, 1 catalog maps, 2 catalog tdef, 3 table tdef, 4 table maps,
# 5 table rows, 6 and 7 long-value rows, 8 catalog rows.
def write(path, name, cols, values, lval6, lval7):
    cat = layout([('Id', 4), ('ParentId', 4), ('Name', 10), ('Type', 3), ('Flags', 4), ('LvProp', 11)])
    user = layout(cols)
    inline_map = lambda first: bytes([0]) + struct.pack('<I', first) + b'\x01' + bytes(58)
    pages = [header(),
             data_page(0, [inline_map(8), bytes(64)]),
             tdef(cat, 2, True, 1 << 8 | 0, 1 << 8 | 1),
             tdef(user, len(values), False, 4 << 8 | 0, 4 << 8 | 1),
             data_page(0, [inline_map(5), bytes(64)]),
             data_page(3, [row(user, v) for v in values]),
             data_page(3, lval6), data_page(3, lval7),
             data_page(2, [row(cat, [struct.pack('<i', pg), struct.pack('<i', 0), u16(nm), struct.pack('<h', 1),
                                     struct.pack('<I', fl), None])
                           for pg, nm, fl in [(2, 'MSysObjects', 0x80000002), (3, name, 0)]])]
    open(path, 'wb').write(b''.join(pages))

def serial(y, m, d, h=0, mi=0, s=0):
    days = (datetime.date(y, m, d) - datetime.date(1899, 12, 30)).days
    frac = (h * 3600 + mi * 60 + s) / 86400
    return days - frac if days < 0 else days + frac
def memo_inline(t):
    b = u16(t); return struct.pack('<III', len(b) | 0x80000000, 0, 0) + b
def memo_single(b, pg, r):
    return struct.pack('<III', len(b) | 0x40000000, pg << 8 | r, 0)
def memo_chain(b, pg, r):
    return struct.pack('<III', len(b), pg << 8 | r, 0)
long1 = u16('长文😀' * 40)
long2 = u16('甲🎉' * 30)
half = len(long2) // 2
write(sys.argv[1], '账目', [('Name', 10), ('Note', 12), ('Day', 8)], [
    [u16('一'), memo_inline('收款🎉完成'), jdate(serial(1880, 3, 15))],
    [u16('二'), memo_single(long1, 6, 0), jdate(serial(1899, 12, 28))],
    [u16('三'), memo_chain(long2, 6, 1), jdate(serial(2024, 1, 9))],
    [u16('四'), None, jdate(serial(2024, 1, 9, 13, 45, 10))],
    [u16('五'), memo_inline('普通'), jdate(serial(1899, 12, 28, 6))],
], [long1, struct.pack('<I', 7 << 8 | 0) + long2[:half]], [struct.pack('<I', 0) + long2[half:]])
)PY";

TEST_F(QorIncoming, DataFilesOfOtherProgramsComeInWholeOrTheLossIsNamed) {
    const qortest::ProcessResult made = qortest::python(QString::fromUtf8(kWriteDataFiles), {dir});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const QString memo1 = QStringLiteral("第一行备注\r\n第二行");
    QString memo2;
    for (int i = 0; i < 120; ++i) memo2 += QStringLiteral("甲乙");
    const QList<Cell> memos = {{1, 1, "收入"}, {1, 2, memo1}, {2, 1, "支出"}, {2, 2, memo2}};
    const QList<Case> cases = {
        {"dBASE III with its .dbt", path("memo3.dbf"), 0, {}, memos + QList<Cell>{{3, 1, "空"}, {3, 2, ""}},
         "3 rows, 2 columns"},
        {"dBASE IV with its .dbt", path("memo4.dbf"), 0, {}, memos},
        {"FoxPro 2 with its .fpt", path("fox2.dbf"), 0, {}, memos},
        {"Visual FoxPro: C N D L I Y B T M and a null", path("vfp.dbf"), 0, {},
         {{1, 1, "收入"}, {1, 2, "1234.56"}, {1, 3, "2024-01-09"}, {1, 4, "1"}, {1, 5, "42"},
          {1, 6, "12.3456"}, {1, 7, "0.125"}, {1, 8, "2024-01-09 13:45:10"}, {1, 9, "备注一"},
          {2, 1, ""}, {2, 2, "-7.5"}, {2, 3, "1999-12-31"}, {2, 4, "0"}, {2, 5, "0"}, {2, 6, "-2.5"},
          {2, 7, "-0.001"}, {2, 8, "1999-12-31"}, {2, 9, ""}},
         "2 rows, 9 columns"},
        {"Visual FoxPro with a general field", path("vfpgen.dbf"), 3,
         {QStringLiteral("字段“PIC”是本程序不能读取的类型“G”")}, {{1, 1, "收入"}}, "1 rows, 1 columns"},
        {"memo field without its memo file", path("nomemo.dbf"), 1, {QStringLiteral("nomemo.dbt")}, {}},
        {"memo past the end of its memo file", path("badmemo.dbf"), 1,
         {QStringLiteral("第1条记录的备注字段“NOTE”")}, {}},
        {"memo longer than its memo file", path("longmemo.dbf"), 1,
         {QStringLiteral("第1条记录的备注字段“NOTE”")}, {}},
        {"code page 1252 by its driver byte", path("cp1252.dbf"), 0, {}, {{1, 1, "Société Générale"}}},
        {"code page 950 by its driver byte", path("cp950.dbf"), 0, {}, {{1, 1, "臺北市政府"}}},
        {"code page 1250 by its driver byte", path("cp1250.dbf"), 0, {}, {{1, 1, "Łódź Spółka"}}},
        {"code page 1251 by its .cpg", path("cp1251.dbf"), 0, {}, {{1, 1, "Москва"}}},
        {"code page 437 by its driver byte", path("cp437.dbf"), 0, {}, {{1, 1, "Müller Straße"}}},
        {"code page 850 by its driver byte", path("cp850.dbf"), 0, {}, {{1, 1, "Ærøskøbing"}}},
        {"UTF-8 by its .cpg", path("utf8.dbf"), 0, {}, {{1, 1, "财务报表"}}},
        {"no code page named: 936", path("nomark.dbf"), 0, {}, {{1, 1, "单位名称"}}},
        // The sheet's name has no place in a report, which numbers its pages.
        {"wk4 whose first row holds values", path("values.wk4"), 3, {QStringLiteral("工作表的名字（资产表）")},
         {{1, 1, "10"}, {1, 2, "20"}, {2, 1, "30"}, {2, 2, "40.5"}}, "2 rows, 2 columns"},
        {"wk4 whose first row holds texts", path("labels.wk4"), 3, {QStringLiteral("工作表的名字（资产表）")},
         {{1, 1, "项目"}, {1, 2, "金额"}, {2, 1, "收入"}, {2, 2, "120.5"}}, "2 rows, 2 columns"},
    };
    for (const Case& c : cases) check(c);

    const qortest::ProcessResult mdb =
        qortest::python(QString::fromUtf8(kWriteAccessFile), {path("memos.mdb")});
    ASSERT_EQ(mdb.exitCode, 0) << mdb.err.constData();
    check({"mdb: memos beyond the basic plane, dates before 1899-12-30", path("memos.mdb"), 0, {},
           {{1, 1, "一"}, {1, 2, "收款🎉完成"}, {1, 3, "1880-03-15"},
            {2, 2, QStringLiteral("长文😀").repeated(40)}, {2, 3, "1899-12-28"},
            {3, 2, QStringLiteral("甲🎉").repeated(30)}, {3, 3, "2024-01-09"},
            {4, 2, ""}, {4, 3, "2024-01-09 13:45:10"}, {5, 2, "普通"}, {5, 3, "1899-12-28 06:00:00"}},
           "5 rows, 3 columns"});

    // The listing names the types as they are read, and a sheet's name in
    // the file's code page.
    const QString fields = QString::fromUtf8(qor(dir, {"data-info", "vfp.dbf", "vfp"}).out);
    for (const char* line : {"QTY\tLong (4)\t4", "PRICE\tCurrency (5)\t8", "RATE\tDouble (7)\t8", "WHEN\tDate (8)\t8",
                             "NOTE\tMemo (12)"})
        EXPECT_TRUE(fields.contains(QString::fromUtf8(line))) << line << "\n" << fields.toStdString();
    EXPECT_FALSE(fields.contains(QStringLiteral("_NullFlags"))) << fields.toStdString();
    const QString sheets = QString::fromUtf8(qor(dir, {"data-info", "values.wk4"}).out);
    EXPECT_TRUE(sheets.startsWith(QStringLiteral("资产表:\n"))) << sheets.toStdString();
}

// Lotus 1-2-3 release 4 worksheets written record by record from the file
// format's description: a formula with the result the file kept, a column
// holding a text above numbers, a sheet whose first used row is row 3, and
// a first row of column letters as a report's own export writes it.
constexpr const char* kWriteLotusSheets = R"PY(
import sys, struct, math
d = sys.argv[1]
def rec(t, body):
    return struct.pack('<HH', t, len(body)) + body
def extended(x):  # the 10-byte number of a formula record
    if x == 0:
        return bytes(10)
    m, e = math.frexp(abs(x))
    return struct.pack('<QH', int(m * 2**64), (e - 1 + 16383) | (0x8000 if x < 0 else 0))
def wk4(name, cells):
    out = rec(0, struct.pack('<H', 0x1002) + bytes(24))
    out += rec(0x23, struct.pack('<H', 14000) + b'\0\0' + b'Sheet1\0')
    for (r, col, v) in cells:
        head = struct.pack('<HBB', r, 0, col)
        if isinstance(v, str):
            out += rec(0x16, head + b"'" + v.encode('gbk') + b'\0')
        elif isinstance(v, tuple):  # (result kept, row and column the formula reads)
            result, (fr, fc) = v
            formula = b'\x01\x00' + struct.pack('<HBB', fr, 0, fc) + b'\x03'
            out += rec(0x19, head + extended(result) + formula)
        else:
            out += rec(0x27, head + struct.pack('<d', v))
    out += rec(1, b'')
    open(d + '/' + name + '.wk4', 'wb').write(out)
wk4('formula', [(0, 0, 10.0), (0, 1, (20.0, (0, 0)))])
wk4('mixed', [(0, 0, '数量'), (0, 1, '名称'), (1, 0, 10.0), (1, 1, '甲'), (2, 0, 6.0), (2, 1, '乙')])
wk4('row3', [(2, 0, 'A'), (2, 1, 'B'), (3, 0, 1.0), (4, 0, 2.0)])
wk4('letters', [(0, 0, 'A'), (0, 1, 'B'), (1, 0, 1.5), (1, 1, '甲')])
wk4('letterskw', [(0, 0, 'A'), (0, 1, '年'), (1, 0, 1.5), (1, 1, 2024.0)])
)PY";

TEST_F(QorIncoming, LotusSheetsComeInWhereTheirCellsStand) {
    const qortest::ProcessResult made = qortest::python(QString::fromUtf8(kWriteLotusSheets), {dir});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    // libwps itself reads the formula and its kept result.
    if (qortest::needProgram(QStringLiteral("wks2csv"))) {
        const qortest::ProcessResult csv = qortest::run(QStringLiteral("wks2csv"), {path("formula.wk4")});
        ASSERT_EQ(csv.exitCode, 0) << csv.err.constData();
        EXPECT_TRUE(csv.out.contains("10") && csv.out.contains("20")) << csv.out.constData();
    }
    const QList<Case> cases = {
        {"wk4 with a formula: its kept result, named", path("formula.wk4"), 3,
         {QStringLiteral("工作表“Sheet1”中有1个公式单元，只导入了公式的值，没有值的公式单元为空；第一个是B1")},
         {{1, 1, "10"}, {1, 2, "20"}}, "1 rows, 2 columns"},
        {"wk4 with a text above numbers", path("mixed.wk4"), 0, {},
         {{1, 1, "数量"}, {2, 1, "10"}, {3, 1, "6"}, {1, 2, "名称"}, {3, 2, "乙"}}, "3 rows, 2 columns"},
        {"wk4 whose first used row is row 3", path("row3.wk4"), 0, {},
         {{1, 1, ""}, {3, 1, "A"}, {3, 2, "B"}, {4, 1, "1"}, {5, 1, "2"}}, "5 rows, 2 columns"},
        {"wk4 with a report's letters row", path("letters.wk4"), 0, {},
         {{1, 1, "1.5"}, {1, 2, "甲"}}, "1 rows, 2 columns"},
        {"wk4 with letters then a keyword's name", path("letterskw.wk4"), 3,
         {QStringLiteral("第1行“A,年”被当作字段名读取")}, {{1, 1, "1.5"}, {1, 2, "2024"}}},
    };
    for (const Case& c : cases) check(c);
    // The numbers under the text are number cells; the texts text cells.
    const QString mixed = QStringLiteral("in2.rep");
    for (const auto& [row, kind] : {std::pair{1, "2"}, std::pair{2, "1"}, std::pair{3, "1"}}) {
        const qortest::ProcessResult k = qor(dir, {"format", mixed, QString::number(row), "1", "kind"});
        EXPECT_EQ(QString::fromUtf8(k.out).trimmed().section(u' ', -1), QString::fromLatin1(kind))
            << row << ": " << k.out.constData();
    }
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

// Lotus worksheets of other programs, written record by record: a label's
// every byte, a first row that only looks like our letters row, sheet
// names a report has no place for.
constexpr const char* kWriteForeignLotus = R"PY(
import sys, struct
d = sys.argv[1]
def rec(t, body):
    return struct.pack('<HH', t, len(body)) + body
def wk4(name, sheets):
    out = rec(0, struct.pack('<H', 0x1002) + bytes(8) + bytes([len(sheets) - 1]) + bytes(15))
    for i, (sheet, cells) in enumerate(sheets):
        out += rec(0x23, struct.pack('<HBB', 14000, i, 0) + sheet + b'\0')
    for i, (sheet, cells) in enumerate(sheets):
        for (r, col, v) in cells:
            head = struct.pack('<HBB', r, i, col)
            if isinstance(v, bytes):
                out += rec(0x16, head + b"'" + v + b'\0')
            else:
                out += rec(0x27, head + struct.pack('<d', v))
    out += rec(1, b'')
    open(d + '/' + name + '.wk4', 'wb').write(out)
wk4('control', [(b'Sheet1', [(0, 0, b'a\tb'), (1, 0, b'a\nb'), (2, 0, b'a\rb'), (3, 0, b'a\x01b'),
                             (4, 0, b'x\x14y'), (5, 0, b'\x01z'), (6, 0, '收\t入'.encode('gbk'))])])
wk4('lower', [(b'Sheet1', [(0, 0, b'a'), (1, 0, b'data'), (1, 1, 5.0)])])
wk4('upper', [(b'Sheet1', [(0, 0, b'A'), (1, 0, b'data'), (1, 1, 5.0)])])
wk4('twoofthree', [(b'Sheet1', [(0, 0, b'A'), (0, 1, b'B'), (1, 0, b'x'), (1, 2, 3.0)])])
wk4('total', [(b'Sheet1', [(0, 0, b'A'), (0, 1, b'Total'), (1, 0, 1.0), (1, 1, 2.0), (2, 1, 3.0)])])
wk4('named', [('收入'.encode('gbk'), [(0, 0, b'x'), (1, 0, 3.0)])])
wk4('unreadable', [(b'S\xff', [(0, 0, b'x'), (1, 0, 2.0)])])
wk4('pagename', [('第1页'.encode('gbk'), [(0, 0, b'x'), (1, 0, 3.0)])])
wk4('two', [(b'Sheet1', [(0, 0, b'x')]), (b'Sheet2', [(0, 0, b'y'), (1, 1, 4.0)])])
)PY";

TEST_F(QorIncoming, ForeignLotusLabelsRowsAndSheetNames) {
    const qortest::ProcessResult made = qortest::python(QString::fromUtf8(kWriteForeignLotus), {dir});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const QString lostName = QStringLiteral("工作表的名字（%1）：报表的表页只有页号");
    const QList<Case> cases = {
        {"wk4 labels with control bytes, every byte kept", path("control.wk4"), 0, {},
         {{1, 1, "a\tb"}, {2, 1, "a\nb"}, {3, 1, "a\rb"}, {4, 1, "a\x01" "b"}, {5, 1, "x\x14y"},
          {6, 1, "\x01z"}, {7, 1, QStringLiteral("收\t入")}}},
        {"wk4 whose row 1 holds a lower-case letter", path("lower.wk4"), 0, {},
         {{1, 1, "a"}, {2, 1, "data"}, {2, 2, "5"}}, "2 rows, 2 columns"},
        {"wk4 whose row 1 holds A over two columns", path("upper.wk4"), 0, {},
         {{1, 1, "A"}, {2, 1, "data"}, {2, 2, "5"}}, "2 rows, 2 columns"},
        {"wk4 whose row 1 holds A, B over three columns", path("twoofthree.wk4"), 0, {},
         {{1, 1, "A"}, {1, 2, "B"}, {2, 1, "x"}, {2, 3, "3"}}, "2 rows, 3 columns"},
        {"wk4 whose row 1 names a column of many values", path("total.wk4"), 0, {},
         {{1, 1, "A"}, {1, 2, "Total"}, {2, 2, "2"}, {3, 2, "3"}}, "3 rows, 2 columns"},
        {"wk4 sheet of a name of its own, named", path("named.wk4"), 3, {lostName.arg(QStringLiteral("收入"))},
         {{1, 1, "x"}, {2, 1, "3"}}},
        {"wk4 sheet name that does not read, named", path("unreadable.wk4"), 3,
         {lostName.arg(QStringLiteral("S\uFFFD"))}, {{1, 1, "x"}, {2, 1, "2"}}},
        {"wk4 sheet named as its page", path("pagename.wk4"), 0, {}, {{1, 1, "x"}, {2, 1, "3"}}},
        {"wk4 of two sheets named as our export names them", path("two.wk4"), 0, {},
         {{1, 1, "x"}, {1, 1, "y", 2}, {2, 2, "4", 2}}},
    };
    for (const Case& c : cases) check(c);

    // Our own export of a text with a line break and a tab comes back whole.
    written("rt.wk4", QStringLiteral("line1\nline2\tend"));
    check({"our own wk4 of a text with a line break", path("rt.wk4"), 0, {}, {{1, 1, "line1\nline2\tend"}}});

    // Every worksheet is listed as its tables.
    const qortest::ProcessResult info = qor(dir, {"data-info", "two.wk4"});
    EXPECT_EQ(info.exitCode, 0) << info.err.constData();
    EXPECT_EQ(QString::fromUtf8(info.out), QStringLiteral("Sheet1:\nSheet1:A1..A1\nSheet2:\nSheet2:A1..B2\n"));
}

}  // namespace

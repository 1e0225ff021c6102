// Binary (.xls) workbooks written by the engine, read back by olefile and
// xlrd as independent readers.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "exchange/excelexport.h"
#include "exchange/excelexportdriver.h"
#include "exchange/excelimport.h"
#include "exchange/workbook_model.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

// The streams of the compound file, then what xlrd reads with formatting:
// per sheet its cells (value, number format text, font name, height in
// twips, bold, italic, underline, font colour index, fill colour index,
// horizontal and vertical alignment, left/top/right/bottom line codes),
// merged areas, column widths and row heights.
const char* kReadBack = R"PY(
import json, sys, olefile, xlrd
ole = olefile.OleFileIO(sys.argv[1])
streams = ["/".join(e) for e in ole.listdir()]
ole.close()
bk = xlrd.open_workbook(sys.argv[1], formatting_info=True)
out = {"streams": streams, "sheets": []}
for sh in bk.sheets():
    cells = {}
    for r in range(sh.nrows):
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            xf = bk.xf_list[cell.xf_index]
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            f = bk.font_list[xf.font_index]
            b, a, bg = xf.border, xf.alignment, xf.background
            cells[xlrd.cellname(r, c)] = [
                cell.value, bk.format_map[xf.format_key].format_str, f.name, f.height,
                bool(f.bold), bool(f.italic), f.underline_type, f.colour_index,
                bg.pattern_colour_index if bg.fill_pattern == 1 else None,
                a.hor_align, a.vert_align, b.left_line_style, b.top_line_style,
                b.right_line_style, b.bottom_line_style]
    out["sheets"].append({
        "name": sh.name, "cells": cells, "merged": sorted(sh.merged_cells),
        "widths": {str(k): v.width for k, v in sh.colinfo_map.items()},
        "heights": {str(k): v.height for k, v in sh.rowinfo_map.items() if v.has_default_height == 0}})
print(json.dumps(out, ensure_ascii=False))
)PY";

class XlsExport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::needPythonModule(QStringLiteral("xlrd")) ||
            !qortest::needPythonModule(QStringLiteral("olefile")))
            GTEST_SKIP() << "no xlrd or olefile";
        dir = qortest::freshDir(
            QStringLiteral("xls-export-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    QJsonObject readBack(const QString& path) {
        const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kReadBack), {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return QJsonDocument::fromJson(r.out).object();
    }
    QString dir;
};

QByteArray head(const QString& path, int n) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

TEST_F(XlsExport, ValuesStylesMergesAndSizesReadBack) {
    XlWorkbook wb(2);
    XlWorksheet* s = wb.sheet(1);
    wb.renameSheet(s, QStringLiteral("第1页"));
    s->range(QStringLiteral("A1")).setNumber(1234.5);
    s->range(QStringLiteral("A1")).setNumberFormat(QStringLiteral("￥###,##0.00"));
    s->range(QStringLiteral("B1")).setText(QStringLiteral("资产负债表"));
    XlRange b1 = s->range(QStringLiteral("B1"));
    b1.setBold(true);
    b1.setItalic(true);
    b1.setUnderline(xl::kUnderlineSingle);
    b1.setFontName(QStringLiteral("宋体"));
    b1.setFontSize(14);
    b1.setFontColor(0x0000FF);  // red, as 0x00BBGGRR
    b1.setFillColor(0x00FFFF);  // yellow
    b1.setHorizontalAlignment(xl::kCenter);
    b1.setVerticalAlignment(xl::kTop);
    XlRange a2 = s->range(QStringLiteral("A2"));
    a2.setBorderLineStyle(xl::kEdgeLeft, xl::kContinuous);
    a2.setBorderLineStyle(xl::kEdgeTop, xl::kDash);
    a2.setBorderLineStyle(xl::kEdgeRight, xl::kDouble);
    a2.setBorderLineStyle(xl::kEdgeBottom, xl::kContinuous);
    a2.setBorderWeight(xl::kEdgeBottom, xl::kThick);
    a2.setNumber(-0.5);
    XlRange block = s->range(QStringLiteral("B2:D3"));
    block.setNumberFormat(QStringLiteral("0.0"));
    block.merge();
    s->range(QStringLiteral("B2")).setNumber(7);
    s->range(QStringLiteral("A1")).setColumnWidth(16);
    s->range(QStringLiteral("A3")).setRowHeight(30);
    wb.sheet(2)->range(QStringLiteral("C5")).setText(QStringLiteral("plain"));
    wb.activate(wb.sheet(2));

    const QString path = dir + QStringLiteral("/book.xls");
    wb.saveAs(path);
    const QJsonObject o = readBack(path);
    EXPECT_TRUE(o["streams"].toArray().contains(QStringLiteral("Workbook")));
    const QJsonArray sheets = o["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 2);
    const QJsonObject first = sheets[0].toObject();
    EXPECT_EQ(first["name"].toString(), QStringLiteral("第1页"));
    EXPECT_EQ(sheets[1].toObject()["name"].toString(), QStringLiteral("Sheet2"));
    EXPECT_EQ(sheets[1].toObject()["cells"].toObject()["C5"].toArray()[0].toString(),
              QStringLiteral("plain"));

    const QJsonObject cells = first["cells"].toObject();
    const QJsonArray a1 = cells["A1"].toArray();
    EXPECT_EQ(a1[0].toDouble(), 1234.5);
    EXPECT_EQ(a1[1].toString(), QStringLiteral("￥###,##0.00"));
    const QJsonArray tb1 = cells["B1"].toArray();
    EXPECT_EQ(tb1[0].toString(), QStringLiteral("资产负债表"));
    EXPECT_EQ(tb1[2].toString(), QStringLiteral("宋体"));
    EXPECT_EQ(tb1[3].toInt(), 280);
    EXPECT_TRUE(tb1[4].toBool());
    EXPECT_TRUE(tb1[5].toBool());
    EXPECT_EQ(tb1[6].toInt(), 1);
    EXPECT_EQ(tb1[7].toInt(), 10);  // red of the default palette
    EXPECT_EQ(tb1[8].toInt(), 13);  // yellow
    EXPECT_EQ(tb1[9].toInt(), 2);   // centred
    EXPECT_EQ(tb1[10].toInt(), 0);  // top
    const QJsonArray ta2 = cells["A2"].toArray();
    EXPECT_EQ(ta2[0].toDouble(), -0.5);
    EXPECT_EQ(ta2[1].toString(), QStringLiteral("General"));
    EXPECT_FALSE(ta2[4].toBool());
    EXPECT_EQ(ta2[9].toInt(), 0);   // general
    EXPECT_EQ(ta2[10].toInt(), 2);  // bottom
    EXPECT_EQ((QJsonArray{ta2[11], ta2[12], ta2[13], ta2[14]}), (QJsonArray{1, 3, 6, 5}));
    // The merged area holds its value in its first cell; the rest show the
    // area's style.
    EXPECT_EQ(cells["B2"].toArray()[0].toDouble(), 7);
    EXPECT_EQ(cells["D3"].toArray()[1].toString(), QStringLiteral("0.0"));
    EXPECT_EQ(first["merged"].toArray(), (QJsonArray{QJsonArray{1, 3, 1, 4}}));
    // 16 characters are stored as 16.71 (with the padding), as a zip
    // workbook stores them, so other programs show 16.
    EXPECT_EQ(first["widths"].toObject()["0"].toInt(), 4278);
    EXPECT_EQ(first["heights"].toObject()["2"].toInt(), 600);
}

// Strings that fill more than one record come back whole, a string split
// between records included, in 8-bit and in 16-bit form.
TEST_F(XlsExport, LongSharedStringsAcrossContinueRecords) {
    XlWorkbook wb(1);
    XlWorksheet* s = wb.sheet(1);
    QString chinese;
    for (int i = 0; i < 10000; ++i) chinese.append(QChar(0x4E00 + i % 2000));
    const QString latin(9000, QLatin1Char('x'));
    s->range(QStringLiteral("A1")).setText(chinese);
    s->range(QStringLiteral("A2")).setText(latin);
    for (int row = 3; row <= 2000; ++row)
        s->range(QStringLiteral("B%1").arg(row)).setText(QStringLiteral("行%1 text").arg(row));
    s->range(QStringLiteral("C1")).setText(chinese);  // shared, not stored twice
    const QString path = dir + QStringLiteral("/long.xls");
    wb.saveAs(path);

    const QJsonObject cells = readBack(path)["sheets"].toArray()[0].toObject()["cells"].toObject();
    EXPECT_EQ(cells["A1"].toArray()[0].toString(), chinese);
    EXPECT_EQ(cells["C1"].toArray()[0].toString(), chinese);
    EXPECT_EQ(cells["A2"].toArray()[0].toString(), latin);
    for (int row = 3; row <= 2000; ++row)
        ASSERT_EQ(cells[QStringLiteral("B%1").arg(row)].toArray()[0].toString(),
                  QStringLiteral("行%1 text").arg(row));
}

// More merged areas than one record holds go into several records.
TEST_F(XlsExport, ManyMergedAreas) {
    XlWorkbook wb(1);
    XlWorksheet* s = wb.sheet(1);
    for (int i = 0; i < 1500; ++i) s->range(XlArea{i + 1, 1, i + 1, 2}).merge();
    const QString path = dir + QStringLiteral("/merges.xls");
    wb.saveAs(path);
    EXPECT_EQ(readBack(path)["sheets"].toArray()[0].toObject()["merged"].toArray().size(), 1500);
}

// The name decides the format, whatever its case; a failed save leaves
// the file that was there.
TEST_F(XlsExport, FormatFollowsTheNameAndFailuresKeepTheOldFile) {
    XlWorkbook wb(1);
    wb.sheet(1)->range(QStringLiteral("A1")).setNumber(1);
    wb.saveAs(dir + QStringLiteral("/a.XLSX"));
    EXPECT_EQ(head(dir + QStringLiteral("/a.XLSX"), 2), QByteArray("PK"));
    wb.saveAs(dir + QStringLiteral("/a.XLS"));
    EXPECT_EQ(head(dir + QStringLiteral("/a.XLS"), 4), QByteArray("\xD0\xCF\x11\xE0", 4));
    wb.saveAs(dir + QStringLiteral("/a.dat"));
    EXPECT_EQ(head(dir + QStringLiteral("/a.dat"), 4), QByteArray("\xD0\xCF\x11\xE0", 4));

    const QString path = dir + QStringLiteral("/keep.xls");
    wb.saveAs(path);
    const QByteArray before = head(path, 1 << 20);
    XlWorkbook tooTall(1);
    tooTall.sheet(1)->range(QStringLiteral("A70000")).setNumber(1);
    EXPECT_THROW(tooTall.saveAs(path), XlError);
    EXPECT_EQ(head(path, 1 << 20), before);
    EXPECT_EQ(QDir(dir).entryList(QDir::Files).size(), 4);  // no temporary left
    EXPECT_THROW(wb.saveAs(dir + QStringLiteral("/no/such/dir/x.xls")), XlError);
}

TEST_F(XlsExport, ReportPagesBecomeSheetsInPageOrder) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    setFormat(*h, kFmtKind, kCellNumber, CellArea::area(1, 1, 2, 2));
    setFormat(*h, kFmtKind, kCellText, CellArea::cell(2, 2));
    toData(*h, 3);
    for (int page = 1; page <= 3; ++page) {
        setNumber(*h, page, 1, 1, page * 10.5);
        setText(*h, page, 2, 2, QStringLiteral("页%1").arg(page));
    }
    const QString book = dir + QStringLiteral("/r.xls");
    ASSERT_EQ(ExportReportToExcel(h.get(), book), 1);
    const QJsonObject o = readBack(book);
    EXPECT_TRUE(o["streams"].toArray().contains(QStringLiteral("Workbook")));
    const QJsonArray sheets = o["sheets"].toArray();
    ASSERT_EQ(sheets.size(), 3);
    for (int page = 1; page <= 3; ++page) {
        const QJsonObject s = sheets[page - 1].toObject();
        EXPECT_EQ(s["name"].toString(), QStringLiteral("第%1页").arg(page));
        const QJsonObject cells = s["cells"].toObject();
        EXPECT_EQ(cells["A1"].toArray()[0].toDouble(), page * 10.5);
        EXPECT_EQ(cells["B2"].toArray()[0].toString(), QStringLiteral("页%1").arg(page));
    }
}

}  // namespace

namespace {

using namespace oxtest;
using namespace qor;

// What a report page looks like in a workbook and what comes back from it:
// percents in the report's units, a zero before the point, empty number
// cells empty, the default alignment general; in .xls and .xlsx alike.
class WorkbookDisplay : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        if (!qortest::needPythonModule(QStringLiteral("xlrd")) ||
            !qortest::needPythonModule(QStringLiteral("openpyxl")))
            GTEST_SKIP() << "no xlrd or openpyxl";
        dir = qortest::freshDir(QStringLiteral("workbook-display-") + QLatin1String(GetParam()));
    }
    QString dir;
};

// Per cell: value (None when empty), number format text, horizontal alignment.
const char* kCells = R"PY(
import json, sys
path = sys.argv[1]
out = {}
if path.endswith(".xls"):
    import xlrd
    bk = xlrd.open_workbook(path, formatting_info=True)
    sh = bk.sheet_by_index(0)
    for r in range(sh.nrows):
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            xf = bk.xf_list[cell.xf_index]
            value = cell.value if cell.ctype == xlrd.XL_CELL_NUMBER else None
            out[xlrd.cellname(r, c)] = [value, bk.format_map[xf.format_key].format_str,
                                        "general" if xf.alignment.hor_align == 0 else "other"]
else:
    import openpyxl
    ws = openpyxl.load_workbook(path).active
    for row in ws.iter_rows():
        for c in row:
            h = c.alignment.horizontal
            out[c.coordinate] = [c.value, c.number_format, "general" if h in (None, "general") else "other"]
print(json.dumps(out, ensure_ascii=False))
)PY";

TEST_P(WorkbookDisplay, PercentZeroEmptyAndAlignmentGoOutAndComeBack) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 5);
    CReportHandle& r = *h;
    setFormat(r, kFmtKind, kCellNumber, CellArea::area(1, 1, 2, 5));
    setFormat(r, kFmtDecimals, 1, CellArea::cell(1, 1));
    setFormat(r, kFmtPercent, 1, CellArea::cell(1, 1));
    setFormat(r, kFmtDecimals, 2, CellArea::area(1, 2, 1, 4));
    const CellArea money = CellArea::cell(1, 5);
    setFormat(r, kFmtCurrency, 1, money);
    setFormat(r, kFmtThousands, 1, money);
    setFormat(r, kFmtDecimals, 2, money);
    setFormat(r, kFmtHAlign, kAlignEnd, CellArea::cell(2, 1));
    toData(r, 1);
    setNumber(r, 1, 1, 1, 12.5);
    setNumber(r, 1, 1, 2, 0.5);
    // C1 holds nothing; D1 holds 0.
    setNumber(r, 1, 1, 4, 0);
    setNumber(r, 1, 1, 5, 1234.5);
    setNumber(r, 1, 2, 1, 3);

    const QString path = dir + QStringLiteral("/out.") + QLatin1String(GetParam());
    ASSERT_EQ(SaveReportAsExcel(&r, path, 1), 1);
    const qortest::ProcessResult p = qortest::python(QString::fromLatin1(kCells), {path});
    ASSERT_EQ(p.exitCode, 0) << p.err.constData();
    const QJsonObject cells = QJsonDocument::fromJson(p.out).object();
    auto cell = [&](const char* ref) { return cells[QLatin1String(ref)].toArray(); };
    EXPECT_EQ(cell("A1"), (QJsonArray{12.5, QStringLiteral("##0.0\\%"), QStringLiteral("general")}));
    EXPECT_EQ(cell("B1"), (QJsonArray{0.5, QStringLiteral("##0.00"), QStringLiteral("general")}));
    EXPECT_TRUE(cell("C1")[0].isNull()) << p.out.constData();
    EXPECT_EQ(cell("C1")[1].toString(), QStringLiteral("##0.00"));
    EXPECT_EQ(cell("D1")[0].toDouble(-1), 0);
    EXPECT_EQ(cell("E1"), (QJsonArray{1234.5, QStringLiteral("￥###,##0.00"),
                                     QStringLiteral("general")}));
    EXPECT_EQ(cell("A2")[2].toString(), QStringLiteral("other"));

    auto back = newReport(dir + QStringLiteral("/back.rep"), 1, 1);
    CReportHandle& b = *back;
    QString error;
    ASSERT_EQ(ImportExcelWorkbook(&b, path, nullptr, &error), 1) << error.toStdString();
    auto value = [&](int row, int col) {
        CellValue v;
        EXPECT_EQ(b.GetCellValue(&v, row, col, 1), 0);
        return v;
    };
    EXPECT_EQ(value(1, 1).number, 12.5);
    EXPECT_EQ(formatOf(b, kFmtPercent, 1, 1), 1);
    EXPECT_EQ(formatOf(b, kFmtDecimals, 1, 1), 1);
    EXPECT_EQ(formatOf(b, kFmtDecimals, 1, 2), 2);
    EXPECT_EQ(formatOf(b, kFmtPercent, 1, 2), 0);
    EXPECT_EQ(value(1, 3).kind, kCellUnset);  // still empty, not 0.00
    EXPECT_EQ(value(1, 4).kind, kCellNumber);
    EXPECT_EQ(formatOf(b, kFmtCurrency, 1, 5), 1);
    EXPECT_EQ(formatOf(b, kFmtThousands, 1, 5), 1);
    EXPECT_EQ(formatOf(b, kFmtHAlign, 1, 1), kAlignDefault);
    EXPECT_EQ(formatOf(b, kFmtHAlign, 2, 1), kAlignEnd);
}

// A foreign workbook's real percent shows the value times 100: it comes
// into the report as the percent it showed. A quoted or escaped sign, and
// the older formats without a zero before the point, keep their values.
TEST_P(WorkbookDisplay, ForeignPercentFormatsAreJudgedCellByCell) {
    XlWorkbook wb(1);
    XlWorksheet* s = wb.sheet(1);
    const struct {
        const char* ref;
        double value;
        const char* format;
    } cells[] = {{"A1", 0.125, "0.0%"}, {"B1", 12.5, "0.0\"%\""}, {"C1", 12.5, "###.0\\%"},
                 {"D1", 0.5, "###.00"}, {"E1", 1234.5, "###,##.00"}};
    for (const auto& c : cells) {
        XlRange cell = s->range(QLatin1String(c.ref));
        cell.setNumber(c.value);
        cell.setNumberFormat(QString::fromUtf8(c.format));
    }
    const QString path = dir + QStringLiteral("/foreign.") + QLatin1String(GetParam());
    wb.saveAs(path);

    auto h = newReport(dir + QStringLiteral("/r.rep"), 1, 1);
    CReportHandle& r = *h;
    QString error;
    ASSERT_EQ(ImportExcelWorkbook(&r, path, nullptr, &error), 1) << error.toStdString();
    auto number = [&](int col) {
        CellValue v;
        EXPECT_EQ(r.GetCellValue(&v, 1, col, 1), 0);
        return v.number;
    };
    EXPECT_EQ(number(1), 12.5);
    EXPECT_EQ(number(2), 12.5);
    EXPECT_EQ(number(3), 12.5);
    for (int col = 1; col <= 3; ++col) {
        EXPECT_EQ(formatOf(r, kFmtPercent, 1, col), 1) << col;
        EXPECT_EQ(formatOf(r, kFmtDecimals, 1, col), 1) << col;
    }
    EXPECT_EQ(number(4), 0.5);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 1, 4), 2);
    EXPECT_EQ(formatOf(r, kFmtPercent, 1, 4), 0);
    EXPECT_EQ(formatOf(r, kFmtThousands, 1, 5), 1);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 1, 5), 2);
}

// What another spreadsheet program shows of a written page: LibreOffice
// saves the first sheet as text the way its cells are shown, and turns the
// file into a zip workbook whose styles openpyxl reads.
TEST_P(WorkbookDisplay, AnotherProgramShowsWhatTheReportShows) {
    if (!qortest::needProgram(QStringLiteral("soffice"))) GTEST_SKIP() << "no LibreOffice";
    auto h = newReport(dir + QStringLiteral("/r.rep"), 1, 6);
    CReportHandle& r = *h;
    setFormat(r, kFmtKind, kCellNumber, CellArea::area(1, 1, 1, 5));
    setFormat(r, kFmtDecimals, 1, CellArea::cell(1, 1));
    setFormat(r, kFmtPercent, 1, CellArea::cell(1, 1));
    setFormat(r, kFmtDecimals, 2, CellArea::area(1, 2, 1, 5));
    setFormat(r, kFmtCurrency, 1, CellArea::cell(1, 5));
    setFormat(r, kFmtThousands, 1, CellArea::cell(1, 5));
    setFormat(r, kFmtKind, kCellText, CellArea::cell(1, 6));
    setFormat(r, kFmtFontStyle, kFontBoldItalic, CellArea::cell(1, 6));
    uint16_t width = 88;
    ASSERT_EQ(r.AccessRowColSize(1, 1, 6, &width), 0);
    toData(r, 1);
    setNumber(r, 1, 1, 1, 12.5);
    setNumber(r, 1, 1, 2, 0.5);
    // C1 holds nothing; D1 holds 0.
    setNumber(r, 1, 1, 4, 0);
    setNumber(r, 1, 1, 5, 1234.5);
    setText(r, 1, 1, 6, QStringLiteral("合计"));
    const QString path = dir + QStringLiteral("/shown.") + QLatin1String(GetParam());
    ASSERT_EQ(SaveReportAsExcel(&r, path, 1), 1);

    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir +
                            QStringLiteral("/lo");
    const QString csvDir = dir + QStringLiteral("/csv");
    qortest::ProcessResult lo = qortest::run(
        QStringLiteral("soffice"),
        {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true"),
         QStringLiteral("--outdir"), csvDir, path});
    ASSERT_EQ(lo.exitCode, 0) << lo.err.constData();
    QFile csv(csvDir + QStringLiteral("/shown.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(csv.readAll()).trimmed(),
              QStringLiteral("12.5%,0.50,,0.00,\"￥1,234.50\",合计"));

    const QString zipDir = dir + QStringLiteral("/zip");
    lo = qortest::run(QStringLiteral("soffice"),
                      {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                       QStringLiteral("xlsx"), QStringLiteral("--outdir"), zipDir, path});
    ASSERT_EQ(lo.exitCode, 0) << lo.err.constData();
    const qortest::ProcessResult styles = qortest::python(
        QStringLiteral("import sys, openpyxl\n"
                       "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                       "f = ws['F1'].font\n"
                       "print(f.b, f.i, ws['A1'].number_format, ws['C1'].value,\n"
                       "      round(ws.column_dimensions['F'].width))\n"),
        {zipDir + QStringLiteral("/shown.xlsx")});
    ASSERT_EQ(styles.exitCode, 0) << styles.err.constData();
    EXPECT_EQ(QString::fromUtf8(styles.out).trimmed(),
              QStringLiteral("True True ##0.0\\% None 17"));
}

INSTANTIATE_TEST_SUITE_P(BothFormats, WorkbookDisplay, ::testing::Values("xls", "xlsx"));

}  // namespace

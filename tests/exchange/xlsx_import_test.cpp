// Workbooks read from .xlsx files and imported into report pages.

#include <gtest/gtest.h>

#include <QFile>

#include "exchange/cexcelbridge.h"
#include "exchange/excelexport.h"
#include "exchange/excelimport.h"
#include "exchange/workbook_read.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

// Three sheets covering what the import reads: values of each kind, number
// formats, fonts, fills, alignment, lines, a merged area, sizes.
const char* kWriteBook = R"PY(
import sys, openpyxl
from openpyxl.styles import Font, PatternFill, Alignment, Border, Side
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "数据"
ws["A1"] = "标题"
ws["A1"].font = Font(name="Arial", sz=14, b=True, color="FFFF0000")
ws["A1"].fill = PatternFill("solid", fgColor="FFFFFF00")
ws["A1"].alignment = Alignment(horizontal="center", vertical="top")
ws.merge_cells("A1:C1")
ws["A2"] = 1234.5
ws["A2"].number_format = "#,##0.00"
ws["B2"] = 0.125
ws["B2"].number_format = "0.0%"
ws["B2"].border = Border(bottom=Side(style="dashed"), right=Side(style="thin"))
ws["C2"] = 42
ws["C2"].number_format = "0"
ws["D2"] = 7
ws["D2"].number_format = "￥#,##0"
ws["A3"] = "一二三四五六七八九十" * 4
ws["B3"] = True
ws["C3"] = "x"
ws["C3"].font = Font(name="Times New Roman", sz=13, i=True, u="single")
ws["B4"] = 9
ws.merge_cells("B4:C5")
ws["C5"].border = Border(bottom=Side(style="thick"), right=Side(style="dotted"))
ws.column_dimensions["A"].width = 20
ws.row_dimensions[2].height = 30
ws2 = wb.create_sheet("第二")
ws2["E4"] = 5
ws2["F5"] = "t"
ws2["F5"].font = Font(name="黑体", sz=12)
ws2.row_dimensions[4].height = 24
ws2.column_dimensions["E"].width = 12
ws3 = wb.create_sheet("第三")
ws3["A1"] = 77
ws3["A2"] = "text"
ws3["B2"] = 3.5
ws3["C2"] = " 1.2e1 "
wb.save(sys.argv[1])
)PY";

// A package of hand-written parts: argv[1] the file, argv[2] the sheet's
// XML ("{PAD}" stands for 3 MiB of spaces), argv[3] the shared strings'
// XML or "".
const char* kWritePackage = R"PY(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED)
z.writestr("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/></Relationships>')
z.writestr("xl/workbook.xml", '<?xml version="1.0"?><x:workbook xmlns:x="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><x:sheets><x:sheet name="S" sheetId="1" r:id="rId1"/></x:sheets></x:workbook>')
rels = '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/s1.xml"/>'
if sys.argv[3]:
    rels += '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>'
    z.writestr("xl/strings.xml", sys.argv[3])
z.writestr("xl/_rels/workbook.xml.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + rels + '</Relationships>')
z.writestr("xl/worksheets/s1.xml", sys.argv[2].replace("{PAD}", " " * (3 << 20)))
z.close()
)PY";

QString sheetXml(const QString& body) {
    return QStringLiteral(
               "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">") +
           body + QStringLiteral("</worksheet>");
}

class XlsxImport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
        dir = qortest::freshDir(
            QStringLiteral("xlsx-import-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    QString writeBook() {
        const QString path = dir + QStringLiteral("/book.xlsx");
        const qortest::ProcessResult r = qortest::python(QString::fromUtf8(kWriteBook), {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return path;
    }
    QString writePackage(const QString& sheet, const QString& strings = QString()) {
        const QString path = dir + QStringLiteral("/hand%1.xlsx").arg(++packages);
        const qortest::ProcessResult r =
            qortest::python(QString::fromUtf8(kWritePackage), {path, sheet, strings});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return path;
    }
    QString dir;
    int packages = 0;
};

// The description of a read failure, empty when the read succeeded.
QString readError(const QString& path, const XlsxReadLimits& limits = XlsxReadLimits()) {
    try {
        ReadXlsxWorkbook(path, limits);
        return QString();
    } catch (const XlError& e) {
        EXPECT_EQ(e.code, kXlObjectError);
        return e.description;
    }
}

TEST_F(XlsxImport, ReaderGivesValuesStylesMergesAndSizes) {
    const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(writeBook());
    ASSERT_EQ(wb->sheetCount(), 3);
    XlWorksheet* ws = wb->sheet(1);
    EXPECT_EQ(ws->name(), QStringLiteral("数据"));
    EXPECT_EQ(wb->sheet(2)->name(), QStringLiteral("第二"));

    const XlCell* a1 = ws->findCell(1, 1);
    ASSERT_TRUE(a1);
    EXPECT_EQ(a1->kind, XlCell::Text);
    EXPECT_EQ(a1->text, QStringLiteral("标题"));
    EXPECT_EQ(a1->style().fontName, QStringLiteral("Arial"));
    EXPECT_EQ(a1->style().fontSize, 14);
    EXPECT_TRUE(a1->style().bold);
    EXPECT_EQ(a1->style().fontColor, 0x0000FFu);  // red, as 0x00BBGGRR
    EXPECT_TRUE(a1->style().hasFill);
    EXPECT_EQ(a1->style().fillColor, 0x00FFFFu);  // yellow
    EXPECT_EQ(a1->style().hAlign, xl::kCenter);
    EXPECT_EQ(a1->style().vAlign, xl::kTop);

    EXPECT_EQ(ws->findCell(2, 1)->number, 1234.5);
    EXPECT_EQ(ws->findCell(2, 1)->style().numberFormat, QStringLiteral("#,##0.00"));
    EXPECT_EQ(ws->findCell(2, 2)->style().bottom, (XlBorder{xl::kDash, xl::kThin}));
    EXPECT_EQ(ws->findCell(2, 2)->style().right, (XlBorder{xl::kContinuous, xl::kThin}));
    EXPECT_EQ(ws->findCell(3, 2)->kind, XlCell::Number);  // a boolean as 1
    EXPECT_EQ(ws->findCell(3, 2)->number, 1);
    EXPECT_EQ(ws->findCell(3, 3)->style().underline, xl::kUnderlineSingle);

    EXPECT_EQ(ws->merges(), (std::vector<XlArea>{{1, 1, 1, 3}, {4, 2, 5, 3}}));
    EXPECT_NEAR(ws->columnWidth(1), 19.29, 0.01);  // stored 20 includes the padding
    EXPECT_EQ(ws->columnWidth(2), xl::kDefaultColumnWidth);
    EXPECT_EQ(ws->rowHeight(2), 30);
    EXPECT_EQ(wb->sheet(2)->usedArea(), (XlArea{4, 5, 5, 6}));
}

TEST_F(XlsxImport, AllSheetsIntoPagesWithTheFirstSheetsFormat) {
    const QString book = writeBook();
    auto h = newReport(dir + QStringLiteral("/r.rep"), 3, 3);
    CReportHandle& r = *h;
    QString error;
    QList<WorkbookCellsLeftOut> leftOut;
    // The table reaches the second sheet's E4 and F5 too; its F5 and the
    // third sheet's A2 hold words where the first sheet's format has
    // number cells: the import says so.
    ASSERT_EQ(ImportExcelWorkbook(&r, book, nullptr, &error, &leftOut), 2)
        << error.toStdString();
    ASSERT_EQ(leftOut.size(), 2);
    EXPECT_EQ(leftOut[0].reason, WorkbookCellsLeftOut::TextInNumberCell);
    EXPECT_EQ(leftOut[0].sheet, QStringLiteral("第二"));
    EXPECT_EQ(leftOut[0].firstCell(), QStringLiteral("F5"));
    EXPECT_EQ(leftOut[0].count, 1);
    EXPECT_EQ(leftOut[1].reason, WorkbookCellsLeftOut::TextInNumberCell);
    EXPECT_EQ(leftOut[1].sheet, QStringLiteral("第三"));
    EXPECT_EQ(leftOut[1].firstCell(), QStringLiteral("A2"));
    EXPECT_EQ(leftOut[1].count, 1);
    EXPECT_TRUE(LeftOutCellsMessage(leftOut).contains(QStringLiteral("工作表“第三”：1个单元")));

    // The table is the sheets' used ranges, A1:F5.
    EXPECT_EQ(r.GetRowCount(), 5);
    EXPECT_EQ(r.GetColCount(), 6);
    EXPECT_EQ(r.GetPageCount(), 3);
    EXPECT_EQ(r.GetCurPage(), 1);
    EXPECT_FALSE(r.IsFormatState());

    CellArea combined;
    ASSERT_EQ(r.GetCombinedArea(CellArea::cell(1, 2), &combined), 1);
    EXPECT_EQ(combined, CellArea::area(1, 1, 1, 3));
    ASSERT_EQ(r.GetCombinedArea(CellArea::cell(5, 3), &combined), 1);
    EXPECT_EQ(combined, CellArea::area(4, 2, 5, 3));

    EXPECT_EQ(formatOf(r, kFmtKind, 1, 1), kCellText);
    EXPECT_EQ(formatOf(r, kFmtFont, 1, 1), 9);  // Arial
    EXPECT_EQ(formatOf(r, kFmtFontSize, 1, 1), 4);
    EXPECT_EQ(formatOf(r, kFmtFontStyle, 1, 1), kFontBold);
    EXPECT_EQ(formatOf(r, kFmtForeground, 1, 1), kColourRed);
    EXPECT_EQ(formatOf(r, kFmtBackground, 1, 1), kColourYellow);
    EXPECT_EQ(formatOf(r, kFmtHAlign, 1, 1), kAlignCentre);
    EXPECT_EQ(formatOf(r, kFmtVAlign, 1, 1), kAlignStart);

    // Number formats: #,##0.00; 0.0%; 0; ￥#,##0.
    EXPECT_EQ(formatOf(r, kFmtThousands, 2, 1), 1);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 2, 1), 2);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 2, 2), 1);  // the percent sign is no decimal
    EXPECT_EQ(formatOf(r, kFmtPercent, 2, 2), 1);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 2, 3), 0);  // whole numbers
    EXPECT_EQ(formatOf(r, kFmtCurrency, 2, 4), 1);
    EXPECT_EQ(formatOf(r, kFmtThousands, 2, 4), 1);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 2, 4), 0);
    EXPECT_EQ(formatOf(r, kFmtDecimals, 3, 4), 7);  // General

    EXPECT_EQ(formatOf(r, kFmtBottomLine, 2, 2), kLineDash);
    EXPECT_EQ(formatOf(r, kFmtRightLine, 2, 2), kLineThin);
    // The merged area's lines come from its last cell.
    EXPECT_EQ(formatOf(r, kFmtBottomLine, 4, 2), kLineMedium);
    EXPECT_EQ(formatOf(r, kFmtRightLine, 4, 2), kLineDot);
    // A face and a size the report has no index for.
    EXPECT_EQ(formatOf(r, kFmtFont, 3, 3), 0);
    EXPECT_EQ(formatOf(r, kFmtFontSize, 3, 3), 0);
    EXPECT_EQ(formatOf(r, kFmtFontStyle, 3, 3), kFontItalicUnderline);

    uint16_t width = 0, height = 0;
    ASSERT_EQ(r.AccessRowColSize(0, 1, 1, &width), 0);
    EXPECT_EQ(width, 106);  // 19.29 characters
    ASSERT_EQ(r.AccessRowColSize(0, 0, 2, &height), 0);
    EXPECT_EQ(height, 30);

    auto value = [&](int page, int row, int col) {
        CellValue v;
        EXPECT_EQ(r.GetCellValue(&v, row, col, page), 0);
        return v;
    };
    EXPECT_EQ(r.GetCellText(1, 1, 1), QStringLiteral("标题"));
    EXPECT_EQ(value(1, 2, 1).number, 1234.5);
    EXPECT_EQ(value(1, 4, 2).number, 9);
    // The whole 40-character text is kept.
    EXPECT_EQ(r.GetCellText(3, 1, 1), QStringLiteral("一二三四五六七八九十").repeated(4));
    // Page 3: a number in a text cell is kept as its text; a text in a
    // number cell is its number when it reads as one, else the cell stays
    // empty (and was counted above). The second sheet's cells lie outside
    // the table.
    EXPECT_EQ(r.GetCellText(1, 1, 3), QStringLiteral("77"));
    EXPECT_EQ(value(3, 2, 1).kind, kCellUnset);
    EXPECT_EQ(value(3, 2, 2).number, 3.5);
    EXPECT_EQ(value(3, 2, 3).kind, kCellNumber);
    EXPECT_EQ(value(3, 2, 3).number, 12);
    EXPECT_EQ(value(2, 4, 4).kind, kCellUnset);
}

class OneSheet : public IWorkbookImportHost {
public:
    bool ChooseSheets(int count, int* choice, int* number) override {
        seenCount = count;
        *choice = ImportSheetDialog::kOpenOne;
        *number = 2;
        return true;
    }
    void PageAdded(int page) override { added.push_back(page); }
    int seenCount = 0;
    std::vector<int> added;
};

TEST_F(XlsxImport, OneChosenSheetFromE4IntoPageOne) {
    const QString book = writeBook();
    auto h = newReport(dir + QStringLiteral("/r.rep"), 10, 7);
    CReportHandle& r = *h;
    uint16_t before = 0;
    ASSERT_EQ(r.AccessRowColSize(0, 0, 1, &before), 0);
    OneSheet host;
    ASSERT_EQ(ImportExcelWorkbook(&r, book, &host), 1);
    EXPECT_EQ(host.seenCount, 3);
    EXPECT_EQ(host.added, std::vector<int>{1});
    EXPECT_EQ(r.GetPageCount(), 1);
    // The table is as large as the chosen sheet, not as the new report was.
    EXPECT_EQ(r.GetRowCount(), 5);
    EXPECT_EQ(r.GetColCount(), 6);

    // Rows 1..3 and columns A..D are left as they were.
    uint16_t height = 0, width = 0;
    ASSERT_EQ(r.AccessRowColSize(0, 0, 1, &height), 0);
    EXPECT_EQ(height, before);
    ASSERT_EQ(r.AccessRowColSize(0, 0, 4, &height), 0);
    EXPECT_EQ(height, 24);
    ASSERT_EQ(r.AccessRowColSize(0, 1, 5, &width), 0);
    EXPECT_EQ(width, 62);  // 11.29 characters
    EXPECT_EQ(formatOf(r, kFmtKind, 5, 6), kCellText);
    EXPECT_EQ(formatOf(r, kFmtFont, 5, 6), 2);  // 黑体
    EXPECT_EQ(formatOf(r, kFmtFontSize, 5, 6), 3);

    CellValue v;
    ASSERT_EQ(r.GetCellValue(&v, 4, 5, 1), 0);
    EXPECT_EQ(v.number, 5);
    EXPECT_EQ(r.GetCellText(5, 6, 1), QStringLiteral("t"));
}

TEST_F(XlsxImport, UsedRangeBeyondTheTableAppendsRows) {
    const QString book = writePackage(sheetXml(
        QStringLiteral("<sheetData><row r=\"12\"><c r=\"B12\"><v>3</v></c></row></sheetData>")));
    auto h = newReport(dir + QStringLiteral("/r.rep"), 10, 7);
    ASSERT_EQ(ImportExcelWorkbook(h.get(), book, nullptr), 1);
    EXPECT_EQ(h->GetRowCount(), 12);
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 12, 2, 1), 0);
    EXPECT_EQ(v.number, 3);
}

TEST_F(XlsxImport, CellsBeyondTheReportsLimitsAreReportedAndTheRestImported) {
    // A value at the sheet's last cell, one below the report's last row, a
    // cell holding only a style far out, and values that fit.
    const QString book = writePackage(sheetXml(QStringLiteral(
        "<sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"
        "<row r=\"3\"><c r=\"B3\"><v>2.5</v></c></row>"
        "<row r=\"10000\"><c r=\"A10000\"><v>3</v></c></row>"
        "<row r=\"20000\"><c r=\"IV20000\" s=\"0\"/></row>"
        "<row r=\"1048576\"><c r=\"XFD1048576\"><v>4</v></c></row></sheetData>")));
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    QStringList told;
    UiServices ui;
    ui.messageBox = [&told](const MessageRequest& m) {
        told << m.text;
        return m.defaultAnswer;
    };
    const UiServices previous = installUiServices(ui);
    QString error;
    QList<WorkbookCellsLeftOut> leftOut;
    const int result = ImportExcelWorkbook(h.get(), book, nullptr, &error, &leftOut);
    installUiServices(previous);
    ASSERT_EQ(result, 2) << error.toStdString();
    ASSERT_EQ(leftOut.size(), 1);
    EXPECT_EQ(leftOut[0].sheet, QStringLiteral("S"));
    EXPECT_EQ(leftOut[0].firstCell(), QStringLiteral("A10000"));
    EXPECT_EQ(leftOut[0].count, 2);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("“S”")) &&
                told[0].contains(QStringLiteral("A10000")) &&
                told[0].contains(QStringLiteral("2个有值的单元")))
        << told[0].toStdString();

    // The table grew as far as the cells that fit reach, no further.
    EXPECT_EQ(h->GetRowCount(), 3);
    EXPECT_EQ(h->GetColCount(), 2);
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 1, 1, 1), 0);
    EXPECT_EQ(v.number, 1);
    ASSERT_EQ(h->GetCellValue(&v, 3, 2, 1), 0);
    EXPECT_EQ(v.number, 2.5);

    // A workbook whose every value fits says nothing and lists nothing.
    const QString fits = writePackage(sheetXml(QStringLiteral(
        "<sheetData><row r=\"2\"><c r=\"B2\"><v>1</v></c></row>"
        "<row r=\"1048576\"><c r=\"XFD1048576\" s=\"0\"/></row></sheetData>")));
    auto h2 = newReport(dir + QStringLiteral("/r2.rep"), 2, 2);
    EXPECT_EQ(ImportExcelWorkbook(h2.get(), fits, nullptr, &error, &leftOut), 1);
    EXPECT_TRUE(leftOut.isEmpty());
}

TEST_F(XlsxImport, ExportedReportReadsBackThroughTheReader) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 4, 3);
    CReportHandle& r = *h;
    const CellArea a1 = CellArea::cell(1, 1);
    setFormat(r, kFmtKind, kCellText, a1);
    setFormat(r, kFmtFont, 2, a1);
    setFormat(r, kFmtFontStyle, kFontBoldItalic, a1);
    setFormat(r, kFmtFontSize, 5, a1);
    setFormat(r, kFmtForeground, kColourBlue, a1);
    setFormat(r, kFmtHAlign, kAlignEnd, a1);
    const CellArea b2c3 = CellArea::area(2, 2, 3, 3);
    ASSERT_EQ(r.CombineCells(&b2c3), 0);
    setFormat(r, kFmtBottomLine, kLineDashDot, b2c3);
    const CellArea a2 = CellArea::cell(2, 1);
    setFormat(r, kFmtThousands, 1, a2);
    setFormat(r, kFmtDecimals, 3, a2);
    setFormat(r, kFmtDecimals, 1, CellArea::cell(4, 1));
    setFormat(r, kFmtPercent, 1, CellArea::cell(4, 1));
    uint16_t width = 66, height = 33;
    ASSERT_EQ(r.AccessRowColSize(1, 1, 1, &width), 0);
    ASSERT_EQ(r.AccessRowColSize(1, 0, 3, &height), 0);
    toData(r, 1);
    setText(r, 1, 1, 1, QStringLiteral("收入"));
    setNumber(r, 1, 2, 1, 98765.432);
    setNumber(r, 1, 2, 2, 11);
    setNumber(r, 1, 4, 1, 0.5);

    const QString written = dir + QStringLiteral("/out.xlsx");
    ASSERT_EQ(SaveReportAsExcel(&r, written, 1), 1);
    // A copy: the engine would give back the file it wrote from memory.
    const QString copy = dir + QStringLiteral("/copy.xlsx");
    ASSERT_TRUE(QFile::copy(written, copy));

    const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(copy);
    ASSERT_EQ(wb->sheetCount(), 1);
    EXPECT_EQ(wb->sheet(1)->name(), QStringLiteral("第1页"));
    EXPECT_EQ(wb->sheet(1)->merges(), (std::vector<XlArea>{{2, 2, 3, 3}}));
    EXPECT_EQ(wb->sheet(1)->columnWidth(1), 12);  // 66 * 2 / 11

    auto back = newReport(dir + QStringLiteral("/back.rep"), 1, 1);
    CReportHandle& b = *back;
    QString error;
    ASSERT_EQ(ImportExcelWorkbook(&b, copy, nullptr, &error), 1) << error.toStdString();
    EXPECT_EQ(b.GetRowCount(), 4);
    EXPECT_EQ(b.GetColCount(), 3);
    for (int code : {kFmtKind, kFmtFont, kFmtFontStyle, kFmtFontSize, kFmtForeground, kFmtHAlign})
        EXPECT_EQ(formatOf(b, code, 1, 1), formatOf(r, code, 1, 1)) << "code " << code;
    EXPECT_EQ(formatOf(b, kFmtBottomLine, 2, 2), kLineDashDot);
    EXPECT_EQ(formatOf(b, kFmtThousands, 2, 1), 1);
    EXPECT_EQ(formatOf(b, kFmtDecimals, 2, 1), 3);
    EXPECT_EQ(formatOf(b, kFmtDecimals, 4, 1), 1);
    EXPECT_EQ(formatOf(b, kFmtPercent, 4, 1), 1);
    CellArea combined;
    EXPECT_EQ(b.GetCombinedArea(CellArea::cell(3, 3), &combined), 1);
    uint16_t w = 0, ht = 0;
    ASSERT_EQ(b.AccessRowColSize(0, 1, 1, &w), 0);
    EXPECT_EQ(w, 66);
    ASSERT_EQ(b.AccessRowColSize(0, 0, 3, &ht), 0);
    EXPECT_EQ(ht, 33);
    EXPECT_EQ(b.GetCellText(1, 1, 1), QStringLiteral("收入"));
    CellValue v;
    ASSERT_EQ(b.GetCellValue(&v, 2, 1, 1), 0);
    EXPECT_DOUBLE_EQ(v.number, 98765.432);
    ASSERT_EQ(b.GetCellValue(&v, 2, 2, 1), 0);
    EXPECT_EQ(v.number, 11);
}

TEST_F(XlsxImport, EngineWorkbookSurvivesTheFileUnchanged) {
    XlWorkbook wb(2);
    XlWorksheet* ws = wb.sheet(2);
    ws->range(QStringLiteral("C3")).setText(QStringLiteral("x_x\t"));
    ws->range(QStringLiteral("C3")).setFontName(QStringLiteral("Tahoma"));
    ws->range(QStringLiteral("D4")).setNumber(-2.5e-7);
    ws->range(QStringLiteral("D4")).setNumberFormat(QStringLiteral("0.000E+00"));
    ws->range(QStringLiteral("D4")).setBorderLineStyle(xl::kEdgeLeft, xl::kDashDotDot);
    ws->range(QStringLiteral("D4")).setFillColor(0x808000);
    ws->range(QStringLiteral("E2:F2")).merge();
    ws->range(QStringLiteral("B1")).setColumnWidth(30);
    ws->range(QStringLiteral("B7")).setRowHeight(7.5);
    wb.activate(ws);
    const QString path = dir + QStringLiteral("/engine.xlsx");
    wb.saveAs(path);

    const std::unique_ptr<XlWorkbook> back = ReadXlsxWorkbook(path);
    ASSERT_EQ(back->sheetCount(), 2);
    EXPECT_EQ(back->activeIndex(), 2);
    const XlWorksheet* b = back->sheet(2);
    ASSERT_TRUE(b->findCell(3, 3));
    EXPECT_EQ(b->findCell(3, 3)->text, QStringLiteral("x_x\t"));
    EXPECT_EQ(b->findCell(3, 3)->style().fontName, QStringLiteral("Tahoma"));
    const XlCell* d4 = b->findCell(4, 4);
    ASSERT_TRUE(d4);
    EXPECT_EQ(d4->number, -2.5e-7);
    EXPECT_EQ(d4->style().numberFormat, QStringLiteral("0.000E+00"));
    EXPECT_EQ(d4->style().left, (XlBorder{xl::kDashDotDot, xl::kThin}));
    EXPECT_EQ(d4->style().fillColor, 0x808000u);
    EXPECT_EQ(b->merges(), (std::vector<XlArea>{{2, 5, 2, 6}}));
    EXPECT_EQ(b->columnWidth(2), 30);
    EXPECT_EQ(b->rowHeight(7), 7.5);
}

TEST_F(XlsxImport, InlineAndRichStringsAndPositionlessCells) {
    const QString path = writePackage(
        sheetXml(QStringLiteral("<sheetData><row><c t=\"inlineStr\"><is><t>in</t></is></c>"
                                "<c t=\"s\"><v>1</v></c><c t=\"str\"><f>A1</f><v>f</v></c>"
                                "<c t=\"e\"><v>#DIV/0!</v></c></row></sheetData>")),
        QStringLiteral("<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                       "<si><t>zero</t></si><si><r><t>ri</t></r><r><t>ch</t></r>"
                       "<rPh><t>ignored</t></rPh></si></sst>"));
    const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(path);
    const XlWorksheet* ws = wb->sheet(1);
    EXPECT_EQ(ws->name(), QStringLiteral("S"));
    EXPECT_EQ(ws->findCell(1, 1)->text, QStringLiteral("in"));
    EXPECT_EQ(ws->findCell(1, 2)->text, QStringLiteral("rich"));
    EXPECT_EQ(ws->findCell(1, 3)->text, QStringLiteral("f"));
    ASSERT_TRUE(ws->findCell(1, 4));  // an error value as the text the workbook shows
    EXPECT_EQ(ws->findCell(1, 4)->text, QStringLiteral("#DIV/0!"));
}

TEST_F(XlsxImport, DamagedAndAbsurdFilesGiveCleanErrors) {
    // Not a package at all, and a package cut short.
    const QString junk = dir + QStringLiteral("/junk.xlsx");
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("PK\x03\x04 this is not really a zip file");
    }
    EXPECT_TRUE(readError(junk).contains(QStringLiteral("不是工作簿文件")));
    const QString book = writeBook();
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    const QString cut = dir + QStringLiteral("/cut.xlsx");
    {
        QFile out(cut);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes.left(bytes.size() / 2));
    }
    EXPECT_FALSE(readError(cut).isEmpty());
    // A flipped byte inside a compressed part fails its check.
    const QString flipped = dir + QStringLiteral("/flipped.xlsx");
    {
        QByteArray damaged = bytes;
        const qsizetype at = damaged.indexOf("xl/worksheets/sheet1.xml") + 40;
        damaged[at] = char(damaged[at] ^ 0x5A);
        damaged[at + 1] = char(damaged[at + 1] ^ 0x5A);
        QFile out(flipped);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(damaged);
    }
    EXPECT_FALSE(readError(flipped).isEmpty());

    // Cells and sizes outside any worksheet.
    const QString farRow = writePackage(sheetXml(QStringLiteral(
        "<sheetData><row r=\"2000000\"><c r=\"A2000000\"><v>1</v></c></row></sheetData>")));
    EXPECT_TRUE(readError(farRow).contains(QStringLiteral("结构已损坏")));
    const QString farCol = writePackage(
        sheetXml(QStringLiteral("<sheetData><row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"
                                "</sheetData>")));
    EXPECT_TRUE(readError(farCol).contains(QStringLiteral("XFE1")));
    const QString farDim = writePackage(
        sheetXml(QStringLiteral("<dimension ref=\"A1:ZZZZ99999999\"/><sheetData></sheetData>")));
    EXPECT_TRUE(readError(farDim).contains(QStringLiteral("结构已损坏")));
    const QString badString = writePackage(sheetXml(QStringLiteral(
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>5</v></c></row></sheetData>")));
    EXPECT_TRUE(readError(badString).contains(QStringLiteral("单元A1已损坏")));
    // A boolean is 1, 0, true or false; anything else was read as false.
    const QString booleans = writePackage(sheetXml(QStringLiteral(
        "<sheetData><row r=\"1\"><c r=\"A1\" t=\"b\"><v>true</v></c><c r=\"B1\" t=\"b\"><v> 0 </v></c>"
        "<c r=\"C1\" t=\"b\"><v>false</v></c></row></sheetData>")));
    const std::unique_ptr<XlWorkbook> read = ReadXlsxWorkbook(booleans);
    EXPECT_EQ(read->sheet(1)->findCell(1, 1)->number, 1);
    EXPECT_EQ(read->sheet(1)->findCell(1, 2)->number, 0);
    EXPECT_EQ(read->sheet(1)->findCell(1, 3)->number, 0);
    for (const char* odd : {"2", "-1", "yes", "TRUE1"}) {
        const QString bad = writePackage(sheetXml(
            QStringLiteral("<sheetData><row r=\"1\"><c r=\"C1\" t=\"b\"><v>%1</v></c></row></sheetData>")
                .arg(QLatin1String(odd))));
        EXPECT_TRUE(readError(bad).contains(QStringLiteral("单元C1已损坏"))) << odd;
    }

    // A part that unpacks far beyond its packed size is refused before it
    // is held.
    const QString bomb = writePackage(sheetXml(QStringLiteral("<sheetData>{PAD}</sheetData>")));
    XlsxReadLimits limits;
    limits.maxPartBytes = 1 << 20;
    EXPECT_TRUE(readError(bomb, limits).contains(QStringLiteral("超出了能读取的限度")));
    EXPECT_TRUE(readError(bomb).contains(QStringLiteral("超出了能读取的限度")));  // the ratio

    // The import hands the reason back and leaves the report as it was.
    auto h = newReport(dir + QStringLiteral("/r.rep"), 5, 5);
    QString error;
    EXPECT_EQ(ImportExcelWorkbook(h.get(), farRow, nullptr, &error), 0);
    EXPECT_TRUE(error.contains(QStringLiteral("结构已损坏")));
    EXPECT_EQ(h->GetRowCount(), 5);
    EXPECT_EQ(h->GetPageCount(), 0);
}

TEST_F(XlsxImport, BridgeReadsTheFormatOnceThenValues) {
    const QString book = writePackage(sheetXml(
        QStringLiteral("<sheetData><row r=\"3\"><c r=\"C3\"><v>8</v></c></row></sheetData>")));
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    CExcelBridge bridge;
    ASSERT_EQ(bridge.StartExcel(), 1);
    // No workbook open yet: the call fails as a call on a missing object.
    try {
        bridge.ImportWorkbook(QString(), h.get());
        ADD_FAILURE() << "no error";
    } catch (const XlError& e) {
        EXPECT_EQ(e.code, kXlPointer);
    }
    bridge.OpenWorkbookFile(book);
    // One sheet: the format comes from it whatever the dialog holds.
    bridge.SheetDialog().sheetNumber = 7;
    EXPECT_EQ(bridge.ImportWorkbook(QString(), h.get()), 1);
    EXPECT_EQ(h->GetRowCount(), 3);
    EXPECT_EQ(h->GetColCount(), 3);
    ASSERT_EQ(h->EnterDataState(), 0);
    bridge.SheetDialog().choice = ImportSheetDialog::kOpenAll;
    EXPECT_EQ(bridge.ImportWorkbook(QString(), h.get()), 1);
    EXPECT_EQ(h->GetPageCount(), 1);
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 3, 3, 1), 0);
    EXPECT_EQ(v.number, 8);
    bridge.CloseWorkbook();
    bridge.QuitExcel();
}

TEST(XlsxImportCodes, ReverseTables) {
    EXPECT_EQ(LineCodeFromExcelBorder(xl::kLineNone, xl::kThin), kLineNone);
    EXPECT_EQ(LineCodeFromExcelBorder(xl::kContinuous, xl::kThick), kLineMedium);
    EXPECT_EQ(LineCodeFromExcelBorder(xl::kContinuous, xl::kMedium), kLineThin);
    EXPECT_EQ(LineCodeFromExcelBorder(xl::kSlantDashDot, xl::kThin), kLineThick);
    EXPECT_EQ(LineCodeFromExcelBorder(xl::kDouble, xl::kThick), kLineNone);
    EXPECT_EQ(FontIndexFromName(QStringLiteral("Arial")), 9);
    EXPECT_EQ(FontIndexFromName(QStringLiteral("arial")), 0);
    EXPECT_EQ(FontSizeIndexFromPoints(72.9), 14);
    EXPECT_EQ(FontSizeIndexFromPoints(13), 0);
    EXPECT_EQ(FontStyleFromExcel(1, 0, xl::kUnderlineNone), kFontBold);
    EXPECT_EQ(FontStyleFromExcel(1, 1, xl::kUnderlineDouble), kFontBoldItalic);
    EXPECT_EQ(FontStyleFromExcel(0, 1, xl::kUnderlineSingle), kFontItalicUnderline);
    EXPECT_EQ(FontStyleFromExcel(1, 1, 0), kFontPlain);
    EXPECT_EQ(ColourIndexFromExcel(double(kCellPalette[kColourTeal]) + 0.7), kColourTeal);
    EXPECT_EQ(ColourIndexFromExcel(0x123456), kColourBlack);
}

}  // namespace

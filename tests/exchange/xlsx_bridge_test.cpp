// The workbook engine and the bridge's call sequence, without a report.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "engine/messages.h"
#include "exchange/cexcelbridge.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"
#include "tests/exchange/xmltestutil.h"
#include "tests/common/testsupport.h"

namespace {

using namespace qor;

QString dirFor(const char* name) {
    return qortest::freshDir(QStringLiteral("xlsx-") + QLatin1String(name));
}

QStringList sheetNames(const XlWorkbook* wb) {
    QStringList names;
    for (const auto& s : wb->sheets()) names << s->name();
    return names;
}

TEST(XlsxBridge, FirstSheetReplacesTheDefaultsAndLaterSheetsGoBeforeIt) {
    const QString path = dirFor("order") + QStringLiteral("/book.xlsx");
    CExcelBridge b;
    ASSERT_EQ(b.StartExcel(), 1);
    ASSERT_EQ(b.CreateWorkbookFile(path), 1);
    b.OpenWorkbookFile(path);                        // the driver opens the file it just created
    EXPECT_EQ(b.application()->workbookCount(), 2);  // the unnamed first one stays
    ASSERT_TRUE(QFileInfo(path).isFile());
    // Written from the last page to the first, the sheets end in page order.
    EXPECT_EQ(b.AddWorksheet(QStringLiteral("第3页"), 1), 1);
    EXPECT_EQ(sheetNames(b.workbook()), QStringList{QStringLiteral("第3页")});
    b.AddWorksheet(QStringLiteral("第2页"), 0);
    b.AddWorksheet(QStringLiteral("第1页"), 0);
    EXPECT_EQ(
        sheetNames(b.workbook()),
        (QStringList{QStringLiteral("第1页"), QStringLiteral("第2页"), QStringLiteral("第3页")}));
    EXPECT_EQ(b.worksheet()->name(), QStringLiteral("第1页"));

    // With the flag on a workbook of one sheet both deletes fail quietly
    // and the new sheet is still the only one.
    CExcelBridge one;
    ASSERT_EQ(one.StartExcel(), 1);
    one.CreateWorkbookFile(dirFor("one") + QStringLiteral("/b.xlsx"));
    one.AddWorksheet(QStringLiteral("A"), 1);
    one.AddWorksheet(QStringLiteral("B"), 1);
    EXPECT_EQ(sheetNames(one.workbook()), QStringList{QStringLiteral("B")});
}

TEST(XlsxBridge, BadSheetNamesAndDuplicatesAreRefused) {
    CExcelBridge b;
    b.StartExcel();
    b.CreateWorkbookFile(dirFor("names") + QStringLiteral("/b.xlsx"));
    b.AddWorksheet(QStringLiteral("Data"), 1);
    EXPECT_THROW(b.AddWorksheet(QStringLiteral("data"), 0), XlError);
    EXPECT_THROW(b.AddWorksheet(QStringLiteral("a/b"), 0), XlError);
    EXPECT_THROW(b.AddWorksheet(QString(32, u'x'), 0), XlError);
}

TEST(XlsxBridge, CallsOnMissingObjectsFailWithoutCrashing) {
    CExcelBridge b;
    try {
        b.CreateWorkbookFile(dirFor("null") + QStringLiteral("/b.xlsx"));
        FAIL() << "no error";
    } catch (const XlError& e) {
        EXPECT_EQ(e.code, kXlPointer);
    }
    EXPECT_THROW(b.SaveWorkbook(), XlError);
    EXPECT_THROW(b.AddWorksheet(QStringLiteral("x"), 1), XlError);

    // QuitExcel on a bridge that never started tells the error to the
    // trace and returns; nothing reaches standard output.
    QStringList traced;
    const qor::TraceHook previous =
        qor::setTraceHook([&traced](const QString& line) { traced << line; });
    testing::internal::CaptureStdout();
    b.QuitExcel();
    const std::string out = testing::internal::GetCapturedStdout();
    qor::setTraceHook(previous);
    EXPECT_EQ(out, "");
    ASSERT_EQ(traced.size(), 1);
    EXPECT_TRUE(traced[0].startsWith(QStringLiteral("工作簿调用出错 80004003（无效的指针）")))
        << traced[0].toStdString();

    // After closing, the workbook's objects are gone rather than dangling.
    CExcelBridge c;
    c.StartExcel();
    c.CreateWorkbookFile(dirFor("closed") + QStringLiteral("/b.xlsx"));
    c.CloseWorkbook();
    EXPECT_EQ(c.worksheet(), nullptr);
    EXPECT_THROW(c.SaveWorkbook(), XlError);
    EXPECT_EQ(c.ExportPage(nullptr, 1), 1);  // printed, not raised
    c.QuitExcel();
    EXPECT_EQ(c.application(), nullptr);
}

TEST(XlsxBridge, OpeningFilesTheEngineDidNotWriteIsRefused) {
    const QString dir = dirFor("open");
    CExcelBridge b;
    b.StartExcel();
    EXPECT_THROW(b.OpenWorkbookFile(dir + QStringLiteral("/missing.xlsx")), XlError);
    QFile f(dir + QStringLiteral("/other.xlsx"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a workbook");
    f.close();
    EXPECT_THROW(b.OpenWorkbookFile(f.fileName()), XlError);
    EXPECT_EQ(b.workbook(), nullptr);
}

TEST(XlsxBridge, CreateReplacesAFileAndAFailedSaveLeavesItAlone) {
    const QString dir = dirFor("replace");
    const QString path = dir + QStringLiteral("/b.xlsx");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("old");
    f.close();
    CExcelBridge b;
    b.StartExcel();
    b.CreateWorkbookFile(path);
    EXPECT_GT(QFileInfo(path).size(), 1000);  // a real package now

    XlWorkbook wb;
    EXPECT_THROW(wb.saveAs(dir + QStringLiteral("/no/such/dir/x.xlsx")), XlError);
    EXPECT_TRUE(QFileInfo(path).isFile());
}

TEST(XlsxBridge, LineCodesMapToBorderValues) {
    struct Row {
        int code, style, weight;  // weight 0: left as it is
    };
    const Row rows[] = {{0, -4142, 0}, {1, 1, 2}, {2, -4115, 2}, {3, -4118, 2}, {4, 4, 2},
                        {5, 5, 2},     {6, 1, 2}, {7, 13, 4},    {8, 1, 0},     {-1, 1, 0}};
    for (const Row& r : rows) {
        int style = 0;
        const std::optional<int> w = LineCodeToExcelBorder(r.code, &style);
        EXPECT_EQ(style, r.style) << r.code;
        EXPECT_EQ(w.value_or(0), r.weight) << r.code;
    }
}

TEST(XlsxModel, RangesMergeAndBorderLikeTheObjectModel) {
    XlWorksheet ws(QStringLiteral("S"));
    ws.range(QStringLiteral("B2:D3")).merge();
    ws.range(QStringLiteral("B2:D3")).merge();
    ASSERT_EQ(ws.merges().size(), 1u);
    // Overlapping merges join into one block.
    ws.range(QStringLiteral("D3:E4")).merge();
    ASSERT_EQ(ws.merges().size(), 1u);
    EXPECT_EQ(ws.merges()[0], (XlArea{2, 2, 4, 5}));
    EXPECT_EQ(ws.range(QStringLiteral("C3")).mergeArea().area(), (XlArea{2, 2, 4, 5}));
    ws.range(QStringLiteral("A1")).merge();  // a single cell is no merge
    EXPECT_EQ(ws.merges().size(), 1u);

    // Borders(right) of a block draws the right edge of its last column only.
    ws.range(QStringLiteral("A6:C7")).setBorderLineStyle(xl::kEdgeRight, xl::kDash);
    EXPECT_EQ(ws.findCell(6, 3)->style().right.lineStyle, xl::kDash);
    EXPECT_EQ(ws.findCell(7, 3)->style().right.lineStyle, xl::kDash);
    EXPECT_EQ(ws.findCell(6, 2)->style().right.lineStyle, xl::kLineNone);
    EXPECT_THROW(ws.range(QStringLiteral("A1")).setBorderLineStyle(11, xl::kDash), XlError);

    for (const char* bad : {"", "A0", "1A", "A1:", "A1048577", "XFE1", "A1:B"})
        EXPECT_THROW(ws.range(QString::fromLatin1(bad)), XlError) << bad;
    EXPECT_EQ(ws.range(QStringLiteral("c3:a1")).area(), (XlArea{1, 1, 3, 3}));
}

// Cells share their style objects; a change to some of them never reaches
// the others, in the same sheet or in a copy. Cells made in any order and
// with gaps are found where they are and nowhere else.
TEST(XlsxModel, SharedStylesChangeCellByCellAndGapsAreFound) {
    XlWorksheet ws(QStringLiteral("S"));
    ws.range(QStringLiteral("A1:C2")).setBold(true);
    const XlCell* a1 = ws.findCell(1, 1);
    ASSERT_TRUE(a1 && a1->sharedStyle());
    EXPECT_EQ(a1->sharedStyle(), ws.findCell(2, 3)->sharedStyle());
    XlWorksheet copy(ws);
    ws.range(QStringLiteral("B1")).setItalic(true);
    ws.range(QStringLiteral("A2:C2")).setBorderWeight(xl::kEdgeBottom, xl::kThick);
    EXPECT_TRUE(ws.findCell(1, 2)->style().italic);
    EXPECT_TRUE(ws.findCell(1, 2)->style().bold);
    EXPECT_FALSE(ws.findCell(1, 1)->style().italic);
    EXPECT_FALSE(ws.findCell(1, 3)->style().italic);
    EXPECT_EQ(ws.findCell(1, 1)->style().bottom.lineStyle, xl::kLineNone);
    EXPECT_EQ(ws.findCell(2, 2)->style().bottom, (XlBorder{xl::kContinuous, xl::kThick}));
    EXPECT_EQ(ws.findCell(2, 1)->sharedStyle(), ws.findCell(2, 3)->sharedStyle());
    for (int r = 1; r <= 2; ++r)
        for (int c = 1; c <= 3; ++c) {
            EXPECT_TRUE(copy.findCell(r, c)->style().bold);
            EXPECT_FALSE(copy.findCell(r, c)->style().italic);
            EXPECT_EQ(copy.findCell(r, c)->style().bottom.lineStyle, xl::kLineNone);
        }
    XlWorksheet gaps(QStringLiteral("G"));
    for (const char* ref : {"E9", "A1", "C1", "B1", "E1", "A7", "A3"})
        gaps.range(QString::fromLatin1(ref)).setNumber(1);
    for (const auto& [r, c] : std::vector<std::pair<int, int>>{{1, 1}, {1, 2}, {1, 3}, {1, 5},
                                                               {3, 1}, {7, 1}, {9, 5}})
        EXPECT_TRUE(gaps.findCell(r, c)) << r << "," << c;
    for (const auto& [r, c] :
         std::vector<std::pair<int, int>>{{1, 4}, {1, 6}, {2, 1}, {8, 1}, {9, 4}, {10, 5}, {0, 0}})
        EXPECT_FALSE(gaps.findCell(r, c)) << r << "," << c;
    EXPECT_EQ(gaps.cells().size(), 7u);
    EXPECT_EQ(gaps.usedArea(), (XlArea{1, 1, 9, 5}));
}

// The cell a sheet keeps at hand for the next setter never leaks into a
// copy, and a released sheet starts over empty.
TEST(XlsxModel, CopiesAndReleasedSheetsKeepTheirOwnCells) {
    XlWorksheet ws(QStringLiteral("S"));
    ws.range(QStringLiteral("B2")).setNumber(1);
    XlWorksheet copy(ws);
    copy.range(QStringLiteral("B2")).setNumber(2);
    copy = ws;
    copy.range(QStringLiteral("B2")).setBold(true);
    EXPECT_EQ(ws.findCell(2, 2)->number, 1);
    EXPECT_FALSE(ws.findCell(2, 2)->style().bold);
    EXPECT_TRUE(copy.findCell(2, 2)->style().bold);
    // Cells made out of order land in order.
    for (const char* ref : {"C1", "A1", "B1", "A3", "A2"}) ws.range(QString::fromLatin1(ref)).setText("x");
    std::vector<std::pair<int, int>> order;
    for (const auto& [pos, cell] : ws.cells()) order.push_back(pos);
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    ws.range(QStringLiteral("A1:B2")).merge();
    ws.range(QStringLiteral("A1")).setRowHeight(30);
    ws.releaseContents();
    EXPECT_TRUE(ws.cells().empty());
    EXPECT_TRUE(ws.merges().empty());
    EXPECT_TRUE(ws.rowHeights().empty());
    ws.range(QStringLiteral("B2")).setNumber(5);
    EXPECT_EQ(ws.cells().size(), 1u);
    EXPECT_EQ(ws.name(), QStringLiteral("S"));
}

// Sheets written row by row keep merged areas whatever their cells hold:
// a plain first cell, an empty text, a value inside the area, an area
// ending on a row with no height and no cells of its own.
TEST(XlsxModel, MergedAreasSurviveWritingRowByRow) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    const QString dir = dirFor("rows");
    XlWorkbook wb(1);
    XlWorksheet* ws = wb.sheet(1);
    ws->range(QStringLiteral("B2:D4")).merge();  // nothing else in it
    ws->range(QStringLiteral("A6:B7")).merge();
    ws->range(QStringLiteral("A6:B7")).setFillColor(0x0000FF);
    ws->range(QStringLiteral("B7")).setText(QStringLiteral("inside"));
    ws->range(QStringLiteral("A9:C9")).merge();
    ws->range(QStringLiteral("A9")).setBold(true);
    ws->range(QStringLiteral("B9")).setText(QString());
    ws->range(QStringLiteral("A2")).setRowHeight(25);
    ws->range(QStringLiteral("E12")).setNumber(3);
    const QString path = dir + QStringLiteral("/rows.xlsx");
    wb.saveAs(path);
    // The sheet's own cells, as the file holds them: merged cells beyond
    // the first are not readable through openpyxl's cells.
    const qortest::ProcessResult r = qortest::python(
        QStringLiteral(
            "import sys, zipfile, openpyxl\n"
            "import xml.etree.ElementTree as ET\n"
            "ns = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}\n"
            "root = ET.fromstring(zipfile.ZipFile(sys.argv[1]).read('xl/worksheets/sheet1.xml'))\n"
            "cells = {c.get('r'): (c.get('s'), ''.join(c.itertext())) for c in root.iter('{%s}c' % ns['m'])}\n"
            "print(sorted(cells))\n"
            "print(cells['A6'][0] == cells['A7'][0] == cells['B6'][0], cells['B7'][1])\n"
            "print(cells['A9'][0] == cells['B9'][0] == cells['C9'][0], cells['E12'][1])\n"
            "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
            "print(sorted(str(m) for m in ws.merged_cells.ranges), ws['A6'].fill.fgColor.rgb,\n"
            "      ws['A9'].font.b, ws.row_dimensions[2].height)\n"),
        {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).split(u'\n'),
              (QStringList{"['A6', 'A7', 'A9', 'B6', 'B7', 'B9', 'C9', 'E12']", "True inside",
                           "True 3", "['A6:B7', 'A9:C9', 'B2:D4'] FFFF0000 True 25.0", ""}));
}

// The writer takes each named sheet once, and a writer given up on leaves
// the target as it was.
TEST(XlsxModel, AStreamedWorkbookIsWrittenWholeOrNotAtAll) {
    const QString dir = dirFor("stream");
    const QString path = dir + QStringLiteral("/book.xlsx");
    ASSERT_TRUE(xmltest::writeAll(path, "old"));
    XlWorksheet sheet(QStringLiteral("A"));
    sheet.range(QStringLiteral("A1")).setNumber(1);
    {
        XlsxStreamWriter out(path, {QStringLiteral("A"), QStringLiteral("B")}, 0);
        out.writeSheet(1, sheet);
        EXPECT_THROW(out.writeSheet(1, sheet), XlError);
        EXPECT_THROW(out.writeSheet(2, sheet), XlError);
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "old");
    f.close();
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"book.xlsx"});
    const int before = XlsxFilesWritten();
    XlsxStreamWriter out(path, {QStringLiteral("A"), QStringLiteral("B")}, 1);
    out.writeSheet(0, sheet);
    out.commit();
    EXPECT_EQ(XlsxFilesWritten(), before + 1);
    EXPECT_THROW(out.commit(), XlError);
    EXPECT_GT(QFileInfo(path).size(), 1000);
    EXPECT_THROW(XlsxStreamWriter(dir + QStringLiteral("/no/x.xlsx"), {QStringLiteral("A")}, 0),
                 XlError);
    EXPECT_THROW(XlsxStreamWriter(path, {QStringLiteral("bad[name]")}, 0), XlError);
}

// Small sheets are held until the workbook's size is known; one that makes
// it too large for that opens the file and the held ones follow, whatever
// the order the sheets came in.
TEST(XlsxModel, SheetsHeldBeforeAWorkbookGrowsLargeAreAllWritten) {
    const QString path = dirFor("grows") + QStringLiteral("/grows.xlsx");
    const std::vector<QString> names{"A", "B", "C", "D"};
    XlsxStreamWriter out(path, names, 0);
    auto small = [](const QString& name, double value) {
        XlWorksheet ws(name);
        ws.range(QStringLiteral("A1")).setNumber(value);
        ws.range(QStringLiteral("B2")).setText(name + QStringLiteral("文"));
        return ws;
    };
    out.writeSheet(2, small(QStringLiteral("C"), 3));
    out.writeSheet(0, small(QStringLiteral("A"), 1));
    XlWorksheet large(QStringLiteral("B"));
    constexpr int kRows = 1001, kCols = 100;  // more cells than are held
    for (int r = 1; r <= kRows; ++r)
        for (int c = 1; c <= kCols; ++c) {
            XlCell& cell = large.cell(r, c);
            cell.kind = XlCell::Number;
            cell.number = r * 1000 + c;
        }
    out.writeSheet(1, large);
    out.writeSheet(3, small(QStringLiteral("D"), 4));
    EXPECT_THROW(out.writeSheet(0, large), XlError);
    out.commit();

    const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(path);
    ASSERT_EQ(wb->sheetCount(), 4);
    for (int i : {1, 3, 4}) {
        const XlWorksheet* ws = wb->sheet(i);
        ASSERT_NE(ws->findCell(1, 1), nullptr) << i;
        EXPECT_EQ(ws->findCell(1, 1)->number, i);
        ASSERT_NE(ws->findCell(2, 2), nullptr) << i;
        EXPECT_EQ(ws->findCell(2, 2)->text, names[size_t(i - 1)] + QStringLiteral("文"));
        EXPECT_EQ(ws->cells().size(), 2u);
    }
    const XlWorksheet* b = wb->sheet(2);
    EXPECT_EQ(b->cells().size(), size_t(kRows) * kCols);
    ASSERT_NE(b->findCell(kRows, kCols), nullptr);
    EXPECT_EQ(b->findCell(kRows, kCols)->number, kRows * 1000 + kCols);
}

}  // namespace

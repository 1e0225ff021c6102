// A whole report saved as a workbook, one worksheet per page, read back by
// openpyxl.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "exchange/cexcelbridge.h"
#include "exchange/excelexportdriver.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

const char* kSheets = R"PY(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print(json.dumps([[ws.title, ws["A1"].value, ws["B2"].value] for ws in wb.worksheets]))
)PY";

// Every sheet, with each cell's value, number format, font, fill,
// alignment and lines, plus merges and sizes.
const char* kEverything = R"PY(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
out = {"active": wb.active.title, "sheets": []}
for ws in wb.worksheets:
    cells = {}
    for row in ws.iter_rows():
        for c in row:
            if c.value is None and not c.has_style:
                continue
            f, b, a = c.font, c.border, c.alignment
            cells[c.coordinate] = [c.value, c.number_format, f.name, f.sz, bool(f.b), bool(f.i), f.u,
                                   f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None,
                                   c.fill.fgColor.rgb if c.fill.fill_type == "solid" else None,
                                   a.horizontal, a.vertical, b.left.style, b.top.style, b.right.style,
                                   b.bottom.style]
    out["sheets"].append({"title": ws.title, "cells": cells,
                          "merged": sorted(str(r) for r in ws.merged_cells.ranges),
                          "widths": {k: v.width for k, v in ws.column_dimensions.items() if v.width},
                          "heights": {str(k): v.height for k, v in ws.row_dimensions.items() if v.height}})
print(json.dumps(out, sort_keys=True))
)PY";

class ExcelDriver : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
        dir = testDir();
        previous = qor::setTraceHook([this](const QString& t) { traces.append(t); });
    }
    void TearDown() override { qor::setTraceHook(previous); }

    QString dir;
    QStringList traces;
    qor::TraceHook previous;
};

TEST_F(ExcelDriver, EveryPageBecomesASheetInPageOrder) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    setFormat(*h, kFmtKind, kCellNumber, CellArea::area(1, 1, 2, 2));
    setFormat(*h, kFmtKind, kCellText, CellArea::cell(2, 2));
    toData(*h, 3);
    for (int page = 1; page <= 3; ++page) {
        setNumber(*h, page, 1, 1, page * 10.5);
        setText(*h, page, 2, 2, QStringLiteral("页%1").arg(page));
    }
    ASSERT_EQ(h->SetCurPage(2), 0);

    const QString book = dir + QStringLiteral("/r.xlsx");
    ASSERT_EQ(ExportReportToExcel(h.get(), book), 1);
    // The export reads each page without moving the user off the current one.
    EXPECT_EQ(h->GetCurPage(), 2);

    const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kSheets), {book});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray sheets = QJsonDocument::fromJson(r.out).array();
    ASSERT_EQ(sheets.size(), 3) << r.out.constData();
    for (int page = 1; page <= 3; ++page) {
        const QJsonArray s = sheets[page - 1].toArray();
        EXPECT_EQ(s[0].toString(), QStringLiteral("第%1页").arg(page));
        EXPECT_EQ(s[1].toDouble(), page * 10.5);
        EXPECT_EQ(s[2].toString(), QStringLiteral("页%1").arg(page));
    }

    // Pages are written from the last one down, and the end is announced.
    QStringList steps;
    for (const QString& t : traces)
        if ((t.startsWith(QStringLiteral("正在保存第")) && t.endsWith(u'页')) || t == "完成")
            steps.append(t);
    EXPECT_EQ(steps, (QStringList{QStringLiteral("正在保存第3页"), QStringLiteral("正在保存第2页"),
                                  QStringLiteral("正在保存第1页"), QStringLiteral("完成")}));
}

TEST_F(ExcelDriver, FailuresAreNotReportedAsSuccess) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    toData(*h, 2);
    EXPECT_EQ(ExportReportToExcel(h.get(), dir + QStringLiteral("/no/such/dir/r.xlsx")), 0);
    EXPECT_FALSE(traces.contains(QStringLiteral("完成")));
    EXPECT_EQ(ExportReportToExcel(nullptr, dir + QStringLiteral("/r.xlsx")), 0);
}

// The whole-report export writes the file once, page by page, and what it
// writes reads back exactly as the page-by-page saves through the bridge
// wrote it: values, formats, merges and sizes of every sheet.
TEST_F(ExcelDriver, TwelvePagesAreWrittenOnceAndMatchPageByPageSaves) {
    auto h = newReport(dir + QStringLiteral("/big.rep"), 8, 6);
    CReportHandle& r = *h;
    setFormat(r, kFmtKind, kCellNumber, CellArea::area(1, 1, 8, 6));
    setFormat(r, kFmtKind, kCellText, CellArea::area(1, 1, 1, 6));
    setFormat(r, kFmtDecimals, 2, CellArea::area(2, 2, 8, 3));
    setFormat(r, kFmtThousands, 1, CellArea::area(2, 4, 8, 4));
    setFormat(r, kFmtPercent, 1, CellArea::cell(8, 6));
    setFormat(r, kFmtFontStyle, kFontBoldItalic, CellArea::area(1, 1, 1, 6));
    setFormat(r, kFmtBackground, kColourYellow, CellArea::cell(3, 3));
    setFormat(r, kFmtForeground, kColourRed, CellArea::cell(4, 4));
    setFormat(r, kFmtHAlign, kAlignCentre, CellArea::area(2, 1, 8, 1));
    const CellArea title = CellArea::area(1, 2, 1, 4), block = CellArea::area(5, 2, 7, 3);
    ASSERT_EQ(r.CombineCells(&title), 0);
    ASSERT_EQ(r.CombineCells(&block), 0);
    setFormat(r, kFmtRightLine, kLineDash, block);
    setFormat(r, kFmtBottomLine, kLineDot, block);
    uint16_t width = 66, height = 24;
    ASSERT_EQ(r.AccessRowColSize(1, 1, 2, &width), 0);
    ASSERT_EQ(r.AccessRowColSize(1, 0, 6, &height), 0);
    CellRef year{0, 8, 1};
    ASSERT_EQ(r.AccessKeywordCell(1, 2, &year), 0);
    toData(r, 12);
    for (int page = 1; page <= 12; ++page) {
        setText(r, page, 1, 1, QStringLiteral("第%1页表头").arg(page));
        for (int row = 2; row <= 8; ++row)
            for (int col = 1; col <= 6; ++col)
                if ((row + col + page) % 5) setNumber(r, page, row, col, page * 1000 + row * 10 + col + 0.25);
        setKeyword(r, 2, page, 2000 + page);
    }

    // The saves of the bridge, page after page, as the export used to make them.
    const QString before = dir + QStringLiteral("/before.xlsx");
    {
        CExcelBridge b;
        ASSERT_EQ(b.StartExcel(), 1);
        b.CreateWorkbookFile(before);
        b.OpenWorkbookFile(before);
        for (int page = 12; page >= 1; --page) {
            b.AddWorksheet(QStringLiteral("第%1页").arg(page), page == 12);
            b.ExportPage(h.get(), page);
            b.SaveWorkbook();
        }
        b.CloseWorkbook();
        b.QuitExcel();
    }

    const QString after = dir + QStringLiteral("/after.xlsx");
    const int written = XlsxFilesWritten();
    ASSERT_EQ(ExportReportToExcel(h.get(), after), 1);
    EXPECT_EQ(XlsxFilesWritten() - written, 1);

    const qortest::ProcessResult old = qortest::python(QString::fromLatin1(kEverything), {before});
    const qortest::ProcessResult now = qortest::python(QString::fromLatin1(kEverything), {after});
    ASSERT_EQ(old.exitCode, 0) << old.err.constData();
    ASSERT_EQ(now.exitCode, 0) << now.err.constData();
    const QJsonObject book = QJsonDocument::fromJson(now.out).object();
    ASSERT_EQ(book["sheets"].toArray().size(), 12);
    EXPECT_EQ(book["active"].toString(), QStringLiteral("第1页"));
    const QJsonObject last = book["sheets"].toArray()[11].toObject();
    EXPECT_EQ(last["merged"].toArray(), (QJsonArray{QStringLiteral("B1:D1"), QStringLiteral("B5:C7")}));
    EXPECT_EQ(last["cells"].toObject()["C2"].toArray()[0].toDouble(), 12023.25);
    EXPECT_EQ(last["cells"].toObject()["A8"].toArray()[0].toString(), QStringLiteral("2012 年"));
    EXPECT_EQ(now.out, old.out);
}

}  // namespace

// A report page written to an .xlsx file, read back by openpyxl.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "exchange/cexcelbridge.h"
#include "exchange/excelexport.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

// Everything the checks look at, as openpyxl reads it.
const char* kReadBack = R"PY(
import json, sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
ws = wb.active
out = {"sheets": wb.sheetnames, "merged": sorted(str(r) for r in ws.merged_cells.ranges),
       "widths": {k: v.width for k, v in ws.column_dimensions.items() if v.width},
       "heights": {str(k): v.height for k, v in ws.row_dimensions.items() if v.height},
       "cells": {}}
for row in ws.iter_rows():
    for c in row:
        if c.value is None and not c.has_style:
            continue
        f = c.font
        b = c.border
        out["cells"][c.coordinate] = {
            "value": c.value, "format": c.number_format, "font": f.name, "size": f.sz,
            "bold": bool(f.b), "italic": bool(f.i), "underline": f.u,
            "color": f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None,
            "fill": c.fill.fgColor.rgb if c.fill.fill_type == "solid" else None,
            "h": c.alignment.horizontal, "v": c.alignment.vertical,
            "left": b.left.style, "top": b.top.style, "right": b.right.style, "bottom": b.bottom.style}
print(json.dumps(out))
)PY";

QJsonObject readBack(const QString& path) {
    const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kReadBack), {path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return QJsonDocument::fromJson(r.out).object();
}

class XlsxExport : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
        dir = qortest::freshDir(
            QStringLiteral("xlsx-export-") +
            QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()));
    }
    QString dir;
};

TEST_F(XlsxExport, PageWithFormatsMergedAreaSizesAndKeywords) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 5, 5);
    CReportHandle& r = *h;
    const CellArea all = CellArea::area(1, 1, 5, 5);
    setFormat(r, kFmtKind, kCellNumber, all);
    setFormat(r, kFmtDecimals, 0, all);
    // A1: a long character text, bold Arial 14 pt, red on yellow, centred.
    const CellArea a1 = CellArea::cell(1, 1);
    setFormat(r, kFmtKind, kCellText, a1);
    setFormat(r, kFmtFont, 9, a1);
    setFormat(r, kFmtFontStyle, kFontBoldUnderline, a1);
    setFormat(r, kFmtFontSize, 4, a1);
    setFormat(r, kFmtForeground, kColourRed, a1);
    setFormat(r, kFmtBackground, kColourYellow, a1);
    setFormat(r, kFmtHAlign, kAlignCentre, a1);
    setFormat(r, kFmtVAlign, kAlignStart, a1);
    // B2:D3 combined with a dashed right line and a dotted bottom line.
    const CellArea b2d3 = CellArea::area(2, 2, 3, 4);
    ASSERT_EQ(r.CombineCells(&b2d3), 0);
    setFormat(r, kFmtRightLine, kLineDash, b2d3);
    setFormat(r, kFmtBottomLine, kLineDot, b2d3);
    setFormat(r, kFmtFontStyle, kFontItalic, b2d3);
    // C5: thousands, currency, two decimals; E5: three decimals and percent.
    const CellArea c5 = CellArea::cell(5, 3), e5 = CellArea::cell(5, 5);
    setFormat(r, kFmtThousands, 1, c5);
    setFormat(r, kFmtCurrency, 1, c5);
    setFormat(r, kFmtDecimals, 2, c5);
    setFormat(r, kFmtDecimals, 3, e5);
    setFormat(r, kFmtPercent, 1, e5);
    // A5 a text cell holding digits.
    setFormat(r, kFmtKind, kCellText, CellArea::cell(5, 1));
    uint16_t width = 88, narrow = 10, height = 30;
    ASSERT_EQ(r.AccessRowColSize(1, 1, 1, &width), 0);
    ASSERT_EQ(r.AccessRowColSize(1, 1, 2, &narrow), 0);
    ASSERT_EQ(r.AccessRowColSize(1, 0, 2, &height), 0);
    CellRef year{0, 1, 5}, quarter{0, 1, 4};
    ASSERT_EQ(r.AccessKeywordCell(1, 2, &year), 0);
    ASSERT_EQ(r.AccessKeywordCell(1, 3, &quarter), 0);
    toData(r, 2);

    const QString longText =
        QStringLiteral("一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十ABCDE");
    setText(r, 2, 1, 1, longText);
    setNumber(r, 2, 2, 2, 7);
    setNumber(r, 2, 5, 3, 1234.5);
    setNumber(r, 2, 5, 5, 0.125);
    setText(r, 2, 5, 1, QStringLiteral("00123"));
    setKeyword(r, 2, 2, 2004);
    setNumber(r, 1, 5, 3, 99);  // another page: must not appear

    const QString path = dir + QStringLiteral("/out.xlsx");
    ASSERT_EQ(SaveReportAsExcel(&r, path, 2), 1);
    EXPECT_EQ(r.GetCurPage(), 1);  // the current page is given back

    const QJsonObject wb = readBack(path);
    ASSERT_FALSE(wb.isEmpty());
    EXPECT_EQ(wb["sheets"].toArray(), QJsonArray{QStringLiteral("第2页")});
    EXPECT_EQ(wb["merged"].toArray(), QJsonArray{QStringLiteral("B2:D3")});
    const QJsonObject cells = wb["cells"].toObject();
    auto cell = [&](const char* ref) { return cells[QLatin1String(ref)].toObject(); };

    const QJsonObject A1 = cell("A1");
    EXPECT_EQ(A1["value"].toString(), longText);
    EXPECT_EQ(A1["format"].toString(), QStringLiteral("@"));
    EXPECT_EQ(A1["font"].toString(), QStringLiteral("Arial"));
    EXPECT_EQ(A1["size"].toDouble(), 14);
    EXPECT_TRUE(A1["bold"].toBool());
    EXPECT_FALSE(A1["italic"].toBool());
    EXPECT_EQ(A1["underline"].toString(), QStringLiteral("single"));
    EXPECT_EQ(A1["color"].toString(), QStringLiteral("FFFF0000"));  // red, not blue
    EXPECT_EQ(A1["fill"].toString(), QStringLiteral("FFFFFF00"));
    EXPECT_EQ(A1["h"].toString(), QStringLiteral("center"));
    EXPECT_EQ(A1["v"].toString(), QStringLiteral("top"));
    EXPECT_EQ(A1["top"].toString(), QStringLiteral("thin"));
    EXPECT_EQ(A1["left"].toString(), QStringLiteral("thin"));

    // Only the area's first cell carries the value; its last column and row
    // carry the area's lines, not the table's closing frame.
    EXPECT_EQ(cell("B2")["value"].toDouble(), 7);
    EXPECT_TRUE(cell("B2")["italic"].toBool());
    EXPECT_EQ(cell("B2")["font"].toString(), QStringLiteral("宋体"));
    EXPECT_EQ(cell("B2")["size"].toDouble(), 12);
    EXPECT_EQ(cell("D2")["right"].toString(), QStringLiteral("dashed"));
    EXPECT_EQ(cell("D3")["right"].toString(), QStringLiteral("dashed"));
    EXPECT_EQ(cell("B3")["bottom"].toString(), QStringLiteral("dotted"));
    EXPECT_TRUE(cell("C3")["value"].isNull());

    EXPECT_EQ(cell("C5")["value"].toDouble(), 1234.5);
    EXPECT_EQ(cell("C5")["format"].toString(), QStringLiteral("￥###,##0.00"));
    EXPECT_EQ(cell("E5")["format"].toString(), QStringLiteral("##0.000\\%"));
    EXPECT_EQ(cell("E5")["right"].toString(), QStringLiteral("thin"));
    EXPECT_EQ(cell("E5")["bottom"].toString(), QStringLiteral("thin"));
    EXPECT_EQ(cell("A5")["value"].toString(), QStringLiteral("00123"));  // stays text
    // An empty number cell gets its format and no value.
    EXPECT_TRUE(cell("B5")["value"].isNull());
    EXPECT_EQ(cell("B5")["format"].toString(), QStringLiteral("##0"));

    // Keywords: the year after its number, a quarter of 0 as the bare label.
    EXPECT_EQ(cell("E1")["value"].toString(), QStringLiteral("2004 年"));
    EXPECT_EQ(cell("E1")["color"].toString(), QStringLiteral("FFFF0000"));
    EXPECT_EQ(cell("D1")["value"].toString(), QStringLiteral("季"));

    // Width 88 becomes 16 characters, 10 becomes 1 (the file adds the
    // writer's padding); heights stay in points.
    const QJsonObject widths = wb["widths"].toObject();
    EXPECT_GE(widths["A"].toDouble(), 16);
    EXPECT_LT(widths["A"].toDouble(), 17);
    EXPECT_GE(widths["B"].toDouble(), 1);
    EXPECT_LT(widths["B"].toDouble(), 2);
    EXPECT_EQ(wb["heights"].toObject()["2"].toDouble(), 30);
}

TEST_F(XlsxExport, OneCellReportGetsAFullFrame) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 1, 1);
    toData(*h, 1);
    setNumber(*h, 1, 1, 1, 5);
    const QString path = dir + QStringLiteral("/one.xlsx");
    ASSERT_EQ(SaveReportAsExcel(h.get(), path, 1), 1);
    const QJsonObject A1 = readBack(path)["cells"].toObject()["A1"].toObject();
    for (const char* edge : {"left", "top", "right", "bottom"})
        EXPECT_EQ(A1[QLatin1String(edge)].toString(), QStringLiteral("thin")) << edge;
    EXPECT_EQ(A1["value"].toDouble(), 5);
}

TEST_F(XlsxExport, VariableLinesOfThePageAreAllWritten) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 3, 2);
    int kind = 1, start = 2, extent = 10;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    toData(*h, 2);
    ASSERT_EQ(h->SetCurPage(2), 0);
    int lines = 3;
    ASSERT_EQ(h->AccessVarCount(1, &lines), 0);
    for (int r = 1; r <= 5; ++r) setNumber(*h, 2, r, 1, r);
    ASSERT_EQ(h->SetCurPage(1), 0);  // another page is current while page 2 is written
    const QString path = dir + QStringLiteral("/var.xlsx");
    ASSERT_EQ(SaveReportAsExcel(h.get(), path, 2), 1);
    EXPECT_EQ(h->GetCurPage(), 1);
    const QJsonObject cells = readBack(path)["cells"].toObject();
    for (int r = 1; r <= 5; ++r)
        EXPECT_EQ(cells[QStringLiteral("A%1").arg(r)].toObject()["value"].toDouble(), r) << r;
    EXPECT_EQ(cells["B5"].toObject()["bottom"].toString(), QStringLiteral("thin"));
}

TEST_F(XlsxExport, PagesOutsideTheReportWriteNothing) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    toData(*h, 2);
    const QString path = dir + QStringLiteral("/none.xlsx");
    EXPECT_EQ(SaveReportAsExcel(h.get(), path, 0), 0);
    EXPECT_EQ(SaveReportAsExcel(h.get(), path, 3), 0);
    EXPECT_FALSE(QFile::exists(path));
    // A folder that does not exist is a failure, not a success.
    EXPECT_EQ(SaveReportAsExcel(h.get(), dir + QStringLiteral("/no/dir/x.xlsx"), 1), 0);
}

TEST_F(XlsxExport, WholeReportLastPageFirstKeepsPageOrder) {
    auto h = newReport(dir + QStringLiteral("/r.rep"), 2, 2);
    toData(*h, 3);
    for (int p = 1; p <= 3; ++p) setNumber(*h, p, 1, 1, p * 10);
    const QString path = dir + QStringLiteral("/all.xlsx");
    CExcelBridge b;
    ASSERT_EQ(b.StartExcel(), 1);
    b.CreateWorkbookFile(path);
    b.OpenWorkbookFile(path);
    for (int p = 3; p >= 1; --p) {
        b.AddWorksheet(QStringLiteral("第%1页").arg(p), p == 3);
        b.ExportPage(h.get(), p);
        b.SaveWorkbook();
    }
    b.CloseWorkbook();
    b.QuitExcel();
    const qortest::ProcessResult r = qortest::python(
        QStringLiteral("import sys, openpyxl\nwb = openpyxl.load_workbook(sys.argv[1])\n"
                       "print(','.join('%s=%s' % (ws.title, ws['A1'].value) for ws in wb))"),
        {path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), QStringLiteral("第1页=10,第2页=20,第3页=30"));
}

}  // namespace

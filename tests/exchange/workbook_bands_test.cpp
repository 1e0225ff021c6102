// Large sheets written in bands of rows: what independent readers find in
// the file is what they find when the same sheet is written whole, and a
// large page never sits in memory whole on its way to the file.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "exchange/cexcelbridge.h"
#include "exchange/excelexport.h"
#include "exchange/excelexportdriver.h"
#include "exchange/workbook_model.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;
using namespace qor;

// Every cell with its value and the formats both readers know, merged
// areas, column widths and row heights, for .xlsx (openpyxl) and .xls
// (xlrd) alike.
const char* kReadBack = R"PY(
import json, sys
path = sys.argv[1]
out = []
if path.endswith(".xlsx"):
    import openpyxl
    wb = openpyxl.load_workbook(path)
    for ws in wb.worksheets:
        cells = {}
        for row in ws.iter_rows():
            for c in row:
                if c.value is None and not c.has_style:
                    continue
                f, b, a = c.font, c.border, c.alignment
                cells[c.coordinate] = [c.value, c.number_format, f.name, f.sz, bool(f.b), bool(f.i),
                    f.u, f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else None,
                    c.fill.fgColor.rgb if c.fill.fill_type == "solid" else None,
                    a.horizontal, a.vertical, b.left.style, b.top.style, b.right.style, b.bottom.style]
        out.append({"title": ws.title, "cells": cells,
                    "merged": sorted(str(r) for r in ws.merged_cells.ranges),
                    "widths": {k: v.width for k, v in ws.column_dimensions.items() if v.width},
                    "heights": {str(k): v.height for k, v in ws.row_dimensions.items() if v.height}})
else:
    import xlrd
    bk = xlrd.open_workbook(path, formatting_info=True)
    for sh in bk.sheets():
        cells = {}
        for r in range(sh.nrows):
            for c in range(sh.ncols):
                cell = sh.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                xf = bk.xf_list[cell.xf_index]
                f, b, a, bg = bk.font_list[xf.font_index], xf.border, xf.alignment, xf.background
                cells[xlrd.cellname(r, c)] = [cell.value, bk.format_map[xf.format_key].format_str,
                    f.name, f.height, bool(f.bold), bool(f.italic), f.underline_type, f.colour_index,
                    bg.pattern_colour_index if bg.fill_pattern == 1 else None, a.hor_align,
                    a.vert_align, b.left_line_style, b.top_line_style, b.right_line_style,
                    b.bottom_line_style]
        out.append({"title": sh.name, "cells": cells, "merged": sorted(sh.merged_cells),
                    "widths": {str(k): v.width for k, v in sh.colinfo_map.items()},
                    "heights": {str(k): v.height for k, v in sh.rowinfo_map.items()
                                if v.has_default_height == 0}})
print(json.dumps(out, ensure_ascii=False, sort_keys=True))
)PY";

class WorkbookBands : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        const bool xlsx = QLatin1String(GetParam()) == QLatin1String("xlsx");
        if (!qortest::needPythonModule(QString::fromLatin1(xlsx ? "openpyxl" : "xlrd")))
            GTEST_SKIP() << "no reader";
        dir = testDir();
        previous = setTraceHook([this](const QString& t) { traces.append(t); });
    }
    void TearDown() override { setTraceHook(previous); }
    QString file(const QString& name) const {
        return dir + u'/' + name + u'.' + QLatin1String(GetParam());
    }
    QByteArray readBack(const QString& path) {
        const qortest::ProcessResult r = qortest::python(QString::fromLatin1(kReadBack), {path});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        return r.out;
    }
    QString dir;
    QStringList traces;
    TraceHook previous;
};

// Passes everything on and notes the most cells a sheet held when it came.
class CountingWriter final : public XlStreamWriter {
public:
    explicit CountingWriter(std::unique_ptr<XlStreamWriter> to) : m_to(std::move(to)) {}
    void writeSheet(int index0, const XlWorksheet& sheet) override {
        note(sheet);
        m_to->writeSheet(index0, sheet);
    }
    void beginSheet(int index0, const XlWorksheet& sheet) override { m_to->beginSheet(index0, sheet); }
    void writeRows(const XlWorksheet& sheet, int lastRow) override {
        note(sheet);
        ++bands;
        m_to->writeRows(sheet, lastRow);
    }
    void endSheet(const XlWorksheet& sheet) override {
        note(sheet);
        m_to->endSheet(sheet);
    }
    void commit() override { m_to->commit(); }
    size_t mostCells = 0;
    int bands = 0;

private:
    void note(const XlWorksheet& s) { mostCells = std::max(mostCells, s.cells().size()); }
    std::unique_ptr<XlStreamWriter> m_to;
};

constexpr int kRows = 700, kCols = 100;

// A page of 70,000 cells with merged areas and keyword cells on both sides
// of the first band's end (near row 656), formats that first appear there,
// a row height and a column width.
std::unique_ptr<CReportHandle> largePage(const QString& path) {
    auto h = newReport(path, kRows, kCols);
    CReportHandle& r = *h;
    setFormat(r, kFmtKind, kCellNumber, CellArea::area(1, 1, kRows, kCols));
    setFormat(r, kFmtKind, kCellText, CellArea::area(1, 10, kRows, 10));
    const CellArea title = CellArea::area(1, 1, 1, 4);
    const CellArea across = CellArea::area(650, 3, 665, 5);
    const CellArea onEdge = CellArea::area(656, 10, 656, 20);
    const CellArea last = CellArea::area(699, 98, 700, 100);
    for (const CellArea& a : {title, across, onEdge, last}) EXPECT_EQ(r.CombineCells(&a), 0);
    setFormat(r, kFmtFontStyle, kFontBold, across);
    setFormat(r, kFmtBackground, kColourYellow, across);
    setFormat(r, kFmtRightLine, kLineThick, across);
    setFormat(r, kFmtBottomLine, kLineDash, onEdge);
    setFormat(r, kFmtForeground, kColourRed, CellArea::area(657, 1, 700, 2));
    setFormat(r, kFmtDecimals, 2, CellArea::area(600, 1, 700, 9));
    uint16_t height = 40, width = 120;
    EXPECT_EQ(r.AccessRowColSize(1, 0, 655, &height), 0);
    EXPECT_EQ(r.AccessRowColSize(1, 1, 3, &width), 0);
    CellRef unit{0, 3, 2}, year{0, 660, 7}, quarter{0, 656, 10};
    EXPECT_EQ(r.AccessKeywordCell(1, 0, &unit), 0);
    EXPECT_EQ(r.AccessKeywordCell(1, 2, &year), 0);
    EXPECT_EQ(r.AccessKeywordCell(1, 3, &quarter), 0);
    toData(r, 1);
    for (int row = 1; row <= kRows; row += 3)
        for (int col = 1; col <= 12; ++col)
            if (col == 10)
                setText(r, 1, row, col, QStringLiteral("第%1行").arg(row));
            else
                setNumber(r, 1, row, col, row * 1.5 + col);
    setNumber(r, 1, 650, 3, 4242.5);
    setKeywordText(r, 0, 1, QStringLiteral("某单位"));
    setKeyword(r, 2, 1, 2004);
    setKeyword(r, 3, 1, 3);
    return h;
}

TEST_P(WorkbookBands, LargePageGoesOutInBandsAndReadsAsWhenWrittenWhole) {
    auto h = largePage(dir + QStringLiteral("/big.rep"));
    const QString sheet = QStringLiteral("第1页");

    // Made whole in memory, then written.
    const QString whole = file(QStringLiteral("whole"));
    {
        CExcelBridge b;
        ASSERT_EQ(b.StartExcel(), 1);
        b.NewWorkbook();
        b.AddWorksheet(sheet, 1);
        b.ExportPage(h.get(), 1);
        ASSERT_EQ(b.PagesFailed(), 0);
        ASSERT_GE(b.worksheet()->cells().size(), size_t(kRows * kCols));
        std::unique_ptr<XlStreamWriter> out = OpenWorkbookWriter(whole, {sheet}, 0);
        out->writeSheet(0, *b.worksheet());
        out->commit();
    }

    // Streamed: the writer never sees the page whole.
    const QString banded = file(QStringLiteral("banded"));
    {
        CExcelBridge b;
        ASSERT_EQ(b.StartExcel(), 1);
        b.NewWorkbook();
        b.AddWorksheet(sheet, 1);
        CountingWriter out(OpenWorkbookWriter(banded, {sheet}, 0));
        traces.clear();
        ASSERT_EQ(b.ExportPageTo(h.get(), 1, out, 0), 1);
        // Progress comes as the percentage moves on, not a line a row.
        const qsizetype progress =
            std::count_if(traces.begin(), traces.end(), [](const QString& t) { return t.endsWith(u'%'); });
        EXPECT_GT(progress, 50);
        EXPECT_LE(progress, 101);
        out.commit();
        EXPECT_EQ(b.PagesFailed(), 0);
        EXPECT_GE(out.bands, 1);
        EXPECT_LT(out.mostCells, size_t(kRows * kCols));
        EXPECT_TRUE(b.worksheet()->cells().empty());
    }
    const QByteArray a = readBack(whole), b = readBack(banded);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_TRUE(a == b) << "whole and banded differ";
    // The pieces that sit on the bands' edge are there at all.
    const QJsonObject s = QJsonDocument::fromJson(b).array().at(0).toObject();
    const QJsonObject cells = s["cells"].toObject();
    EXPECT_EQ(cells["C650"].toArray().at(0).toDouble(), 4242.5);
    EXPECT_TRUE(cells["B3"].toArray().at(0).toString().endsWith(QStringLiteral("某单位")));
    EXPECT_TRUE(cells["J656"].toArray().at(0).toString().startsWith(u'3'));
    // A keyword cell's colour is its own: the cells beside it share their
    // style with each other, not with it.
    EXPECT_NE(cells["B3"].toArray().at(7), cells["C3"].toArray().at(7));
    EXPECT_EQ(cells["A3"].toArray().at(7), cells["C3"].toArray().at(7));
    EXPECT_EQ(s["merged"].toArray().size(), 4);

    // The whole report through the driver gives the same sheet.
    const QString driven = file(QStringLiteral("driven"));
    ASSERT_EQ(ExportReportToExcel(h.get(), driven), 1);
    EXPECT_TRUE(readBack(driven) == b);
}

// A sheet made by hand, written in three bands (each dropped once written)
// and whole: the readers find the same; a band that fails leaves the sheet
// unwritten and the writer usable.
TEST_P(WorkbookBands, WriterTakesBandsAndRecoversFromAFailedSheet) {
    const auto make = [](XlWorksheet& ws, int from, int to) {
        for (int r = from; r <= to; ++r)
            for (int c = 1; c <= 6; ++c) {
                XlRange cell = ws.range(XlArea{r, c, r, c});
                if (c == 2) cell.setText(QStringLiteral("文%1").arg(r));
                if (c == 3) cell.setNumber(r + 0.25);
                if (r % 7 == 0) cell.setBold(true);
                if (r >= 40) cell.setFillColor(0x00FFFF);
            }
    };
    const auto shape = [](XlWorksheet& ws) {
        ws.range(XlArea{1, 1, 60, 1}).setColumnWidth(14);
        ws.range(XlArea{30, 1, 30, 1}).setRowHeight(33);
    };
    const auto merges = [](XlWorksheet& ws, int upTo) {
        const XlArea areas[] = {{5, 4, 6, 5}, {18, 4, 24, 6}, {45, 1, 60, 8}};
        for (const XlArea& a : areas)
            if (a.r1 <= upTo && a.r1 > upTo - 20) ws.range(a).merge();
    };

    XlWorksheet whole(QStringLiteral("S"));
    shape(whole);
    make(whole, 1, 60);
    merges(whole, 20);
    merges(whole, 40);
    merges(whole, 60);
    const QString a = file(QStringLiteral("whole"));
    {
        std::unique_ptr<XlStreamWriter> w = OpenWorkbookWriter(a, {QStringLiteral("S")}, 0);
        w->writeSheet(0, whole);
        w->commit();
    }

    const QString b = file(QStringLiteral("bands"));
    {
        std::unique_ptr<XlStreamWriter> w =
            OpenWorkbookWriter(b, {QStringLiteral("S"), QStringLiteral("T")}, 0);
        // A sheet beyond what the file holds fails in its band; the
        // writer goes on with the next.
        XlWorksheet bad(QStringLiteral("T"));
        const bool xls = QLatin1String(GetParam()) == QLatin1String("xls");
        if (xls) {
            bad.cell(70000, 1).kind = XlCell::Number;
            w->beginSheet(1, bad);
            w->writeRows(bad, 10);
            EXPECT_THROW(w->writeRows(bad, 70000), XlError);
        }
        XlWorksheet ws(QStringLiteral("S"));
        shape(ws);
        w->beginSheet(0, ws);
        for (const int upTo : {20, 40, 60}) {
            make(ws, upTo - 19, upTo);
            merges(ws, upTo);
            // Row upTo's merged area may still grow below: only the rows
            // before it are done.
            w->writeRows(ws, upTo - 1);
            ws.dropRowsThrough(upTo - 1);
        }
        w->endSheet(ws);
        EXPECT_THROW(w->endSheet(ws), XlError);
        w->commit();
    }
    const QJsonArray one = QJsonDocument::fromJson(readBack(a)).array();
    const QJsonArray two = QJsonDocument::fromJson(readBack(b)).array();
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(one.at(0) == two.at(0));
    EXPECT_EQ(two.at(1).toObject()["cells"].toObject().size(), 0);  // T came out empty
}

INSTANTIATE_TEST_SUITE_P(BothFormats, WorkbookBands, ::testing::Values("xlsx", "xls"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace

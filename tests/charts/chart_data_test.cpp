// Chart data: reading the source area page by page, from a fake source and
// from a report, and cutting it into series values by chart type.
#include "charts/chart_data.h"

#include <gtest/gtest.h>

#include <QMap>
#include <cmath>
#include <limits>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "tests/common/testsupport.h"

using namespace qor::charts;
using qor::items::ChartDesc;

namespace {

// Cells by (page, row, col); a missing cell reads as the number 0.
struct FakeSource : IChartDataSource {
    int pages = 1;
    QMap<std::tuple<int, int, int>, ChartCell> cells;
    int reads = 0;
    void number(int page, int row, int col, double v) { cells[{page, row, col}] = {1, {}, v}; }
    void text(int page, int row, int col, const QString& t) { cells[{page, row, col}] = {2, t, 0}; }
    int PageCount() const override { return pages; }
    bool ReadCell(int row, int col, int page, ChartCell* cell) override {
        ++reads;
        *cell = cells.value({page, row, col}, ChartCell{1, {}, 0});
        return true;
    }
    QString PageLabel(int kind, int page) override {
        return QStringLiteral("k%1p%2").arg(kind).arg(page);
    }
};

// A 3 x 4 table at B2:E4 on page p: labels "c1".."c3" along row 2,
// "r1","r2" down column B, values p*100 + row*10 + col.
void fillTable(FakeSource& s, int page) {
    for (int c = 3; c <= 5; ++c) s.text(page, 2, c, QStringLiteral("c%1").arg(c - 2));
    for (int r = 3; r <= 4; ++r) {
        s.text(page, r, 2, QStringLiteral("r%1").arg(r - 2));
        for (int c = 3; c <= 5; ++c) s.number(page, r, c, page * 100 + r * 10 + c);
    }
}

ChartDesc tableDesc(uint32_t type, bool byRows, int group = 1) {
    ChartDesc d;
    d.SetSourceArea(CellArea::area(2, 2, 4, 5));
    d.SetSourcePage(1);
    d.SetChartType(type);
    d.SetGroupByRows(byRows);
    d.SetCurrentGroup(int16_t(group));
    return d;
}

SeriesValues build(const ChartDesc& d, const ChartData& data) {
    SeriesValues v;
    EXPECT_TRUE(BuildSeriesValues(d, data, &v));
    return v;
}

}  // namespace

TEST(ChartData, ReadsTheAreaRowByRowAndPagesInTurn) {
    FakeSource s;
    s.pages = 20;
    for (int p = 1; p <= 20; ++p) fillTable(s, p);
    ChartDesc d = tableDesc(kPlainBar, true);
    // Corners given the other way round read the same area.
    d.SetSourceArea(CellArea::area(4, 5, 2, 2));
    d.SetWholeReport(true);
    d.SetLabelKind(2);
    ChartData data;
    ASSERT_TRUE(ReadChartData(d, s, 1, ChartPageSpan(d, s.PageCount()), &data));
    EXPECT_EQ(data.rows, 3);
    EXPECT_EQ(data.cols, 4);
    EXPECT_EQ(data.pages, 12);  // a whole-report chart stops at 12 pages
    EXPECT_EQ(s.reads, 12 * 12);
    EXPECT_EQ(data.At(0, 0, 1).text, QStringLiteral("c1"));
    EXPECT_EQ(data.At(11, 2, 3).value, 1200 + 45);
    EXPECT_EQ(data.pageLabels.size(), 12);
    EXPECT_EQ(data.pageLabels.at(3), QStringLiteral("k2p4"));

    // One page: the description's page, or the given one when that page
    // does not exist.
    d.SetWholeReport(false);
    d.SetSourcePage(7);
    ASSERT_TRUE(ReadChartData(d, s, 1, ChartPageSpan(d, s.PageCount()), &data));
    EXPECT_EQ(data.pages, 1);
    EXPECT_EQ(data.At(0, 1, 1).value, 700 + 33);
    d.SetSourcePage(99);
    ASSERT_TRUE(ReadChartData(d, s, 5, 1, &data));
    EXPECT_EQ(data.At(0, 1, 1).value, 500 + 33);
}

TEST(ChartData, RefusesNoPagesAndAreasOffTheTable) {
    FakeSource s;
    ChartData data;
    QString error;
    ChartDesc d = tableDesc(kPlainBar, true);
    s.pages = 0;
    EXPECT_EQ(ChartPageSpan(d, 0), 0);
    EXPECT_FALSE(ReadChartData(d, s, 1, 1, &data, &error));
    EXPECT_FALSE(error.isEmpty());
    s.pages = 1;
    d.SetSourceArea(CellArea::area(0, 2, 4, 5));
    EXPECT_FALSE(ReadChartData(d, s, 1, 1, &data));
    EXPECT_EQ(data.cells.size(), 0u);
    // A damaged description asking for 300 x 300 cells is refused before
    // anything is read or reserved; 2 x 500 is the largest area accepted.
    s.reads = 0;
    d.SetSourceArea(CellArea::area(1, 1, 300, 300));
    EXPECT_FALSE(ReadChartData(d, s, 1, 1, &data, &error));
    EXPECT_EQ(s.reads, 0);
    EXPECT_EQ(data.cells.capacity(), 0u);
    d.SetSourceArea(CellArea::area(1, 1, 2, 501));
    EXPECT_FALSE(ReadChartData(d, s, 1, 1, &data));
    d.SetSourceArea(CellArea::area(1, 1, 2, 500));
    EXPECT_TRUE(ReadChartData(d, s, 1, 1, &data));
    EXPECT_EQ(data.cells.size(), 1000u);
}

TEST(ChartData, SeriesByTypeAndGrouping) {
    FakeSource s;
    fillTable(s, 1);
    ChartData data;
    ASSERT_TRUE(ReadChartData(tableDesc(kPlainBar, true), s, 1, 1, &data));

    // One group by rows: row 2 of the data (r2), three categories.
    SeriesValues v = build(tableDesc(kPlainBar, true, 2), data);
    EXPECT_EQ(v.categories, 3);
    EXPECT_EQ(v.series, 1);
    EXPECT_EQ(v.values, (std::vector<double>{143, 144, 145}));
    EXPECT_EQ(CategoryLabel(data, v, 2), QStringLiteral("c3"));
    EXPECT_EQ(SeriesLabel(data, v, 0), QStringLiteral("r2"));
    // By columns: column c2, two categories r1, r2.
    v = build(tableDesc(kPie, false, 2), data);
    EXPECT_EQ(v.values, (std::vector<double>{134, 144}));
    EXPECT_EQ(CategoryLabel(data, v, 1), QStringLiteral("r2"));
    EXPECT_EQ(SeriesLabel(data, v, 0), QStringLiteral("c2"));
    // Sums: by rows a column's data rows, by columns a row's data columns.
    EXPECT_EQ(build(tableDesc(kSumBar, true), data).values,
              (std::vector<double>{133 + 143, 134 + 144, 135 + 145}));
    EXPECT_EQ(build(tableDesc(kSumBar, false), data).values,
              (std::vector<double>{133 + 134 + 135, 143 + 144 + 145}));
    // All groups: category by category, series within.
    v = build(tableDesc(kGroupedBar, true), data);
    EXPECT_EQ(v.categories, 3);
    EXPECT_EQ(v.series, 2);
    EXPECT_EQ(v.At(0, 1, 1), 144);
    EXPECT_EQ(SeriesLabel(data, v, 1), QStringLiteral("r2"));
    v = build(tableDesc(kGroupedLine, false), data);
    EXPECT_EQ(v.categories, 2);
    EXPECT_EQ(v.series, 3);
    EXPECT_EQ(v.At(0, 1, 2), 145);
    EXPECT_EQ(SeriesLabel(data, v, 2), QStringLiteral("c3"));
}

TEST(ChartData, BadCellsGroupsAndTypesAreContained) {
    FakeSource s;
    fillTable(s, 1);
    s.number(1, 3, 3, std::numeric_limits<double>::quiet_NaN());
    s.text(1, 3, 4, QStringLiteral("12"));  // a text counts as 0
    ChartData data;
    ASSERT_TRUE(ReadChartData(tableDesc(kPlainBar, true), s, 1, 1, &data));
    EXPECT_EQ(build(tableDesc(kPlainBar, true, 1), data).values, (std::vector<double>{0, 0, 135}));
    // A group past the area's groups draws the last; below 1 the first.
    EXPECT_EQ(build(tableDesc(kPlainBar, true, 9), data).values,
              (std::vector<double>{143, 144, 145}));
    EXPECT_EQ(build(tableDesc(kPlainBar, true, -3), data).group, 1);
    SeriesValues v;
    ChartDesc bad = tableDesc(10, true);
    EXPECT_FALSE(BuildSeriesValues(bad, data, &v));
    // A label row with no data rows gives nothing to draw.
    ChartDesc one = tableDesc(kGroupedBar, true);
    one.SetSourceArea(CellArea::area(2, 2, 2, 5));
    ASSERT_TRUE(ReadChartData(one, s, 1, 1, &data));
    EXPECT_TRUE(build(one, data).IsEmpty());
}

TEST(ChartData, ReadsAReportThroughTheEngine) {
    const QString dir = qortest::freshDir(QStringLiteral("chartreport"));
    CReportHandle h(dir + "/chart");
    ASSERT_TRUE(h.IsOpen());
    uint16_t rows = 6, cols = 4;
    ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
    int32_t textKind = kCellText;
    const CellArea labels = CellArea::area(1, 1, 6, 1);
    ASSERT_EQ(h.AccessAreaFormat(1, qor::kFmtKind, &textKind, &labels), 0);
    ASSERT_EQ(h.EnterDataState(), 0);
    ASSERT_EQ(h.AppendRowColPage(2, 2), 0);
    ASSERT_EQ(h.SetCurPage(1), 0);
    for (int p = 1; p <= 2; ++p) {
        ASSERT_EQ(h.SetCellValue(CellValue::ofText(QStringLiteral("东区")), 2, 1, p), 0);
        ASSERT_EQ(h.SetCellValue(CellValue::ofNumber(10 * p + 1), 2, 2, p), 0);
        ASSERT_EQ(h.SetCellValue(CellValue::ofNumber(10 * p + 2), 2, 3, p), 0);
    }
    ReportChartSource source(h);
    EXPECT_EQ(source.PageCount(), 2);
    ChartDesc d;
    d.SetSourceArea(CellArea::area(1, 1, 2, 3));
    d.SetWholeReport(true);
    d.SetChartType(kPlainBar);
    d.SetGroupByRows(true);
    d.SetCurrentGroup(1);
    ChartData data;
    ASSERT_TRUE(ReadChartData(d, source, 1, ChartPageSpan(d, source.PageCount()), &data));
    EXPECT_EQ(data.pages, 2);
    EXPECT_EQ(data.At(1, 1, 0).text, QStringLiteral("东区"));
    EXPECT_FALSE(data.At(1, 1, 0).IsNumber());
    EXPECT_EQ(data.At(1, 1, 2).value, 22);
    SeriesValues v;
    ASSERT_TRUE(BuildSeriesValues(d, data, &v));
    EXPECT_EQ(v.values, (std::vector<double>{11, 12, 21, 22}));
    EXPECT_EQ(SeriesLabel(data, v, 0), QStringLiteral("东区"));
}

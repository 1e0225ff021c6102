#pragma once
// The numbers a chart is drawn from: the cells of its source area, read
// page after page through a small source interface (the report, or a fake
// in tests), and the series values cut from them by chart type.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "charts/chartdesc.h"

class CReportHandle;

namespace qor::charts {

// The chart types, numbered as the description stores them.
enum ChartType : uint32_t {
    kPlainBar = 0,
    kSumBar = 1,
    kStackedBar = 2,
    kGroupedBar = 3,
    kPlainLine = 4,
    kGroupedLine = 5,
    kArea = 6,
    kPie = 7,
    kBar3D = 8,
    kGroupedBar3D = 9,
};
constexpr uint32_t kLastChartType = kGroupedBar3D;
// A whole-report chart reads at most this many pages.
constexpr int kMaxChartPages = 12;
// A chart's area holds at most this many cells on one page (what the
// insert-chart command accepts); a stored or pasted description asking for
// more is refused before anything is allocated for it.
constexpr int kMaxChartCells = 1000;
constexpr int kChartCellTextChars = 65;
constexpr int kChartPageLabelChars = 310;

// Types that draw one data group (the current one) rather than all.
bool DrawsOneGroup(uint32_t type);

struct ChartCell {
    int32_t kind = 0;  // 1 a number, anything else a text
    QString text;
    double value = 0;
    bool IsNumber() const { return kind == 1; }
    // How a cell shows as a category or legend label: a number as its
    // integer value, a text as it is.
    QString Label() const;
    bool operator==(const ChartCell&) const = default;
};

// Where the cells come from. Pages count from 1.
class IChartDataSource {
public:
    virtual ~IChartDataSource() = default;
    virtual int PageCount() const = 0;
    // False when the cell cannot be read (it then counts as an empty text).
    virtual bool ReadCell(int row, int col, int page, ChartCell* cell) = 0;
    // The page's label of the given kind (0 unit name ... 5 day).
    virtual QString PageLabel(int labelKind, int page) = 0;
};

// The report as a chart's data source.
class ReportChartSource : public IChartDataSource {
public:
    explicit ReportChartSource(CReportHandle& report) : m_report(report) {}
    int PageCount() const override;
    bool ReadCell(int row, int col, int page, ChartCell* cell) override;
    QString PageLabel(int labelKind, int page) override;

private:
    CReportHandle& m_report;
};

// The source area's cells, rows x cols per page, pages one after another.
struct ChartData {
    int rows = 0;
    int cols = 0;
    int pages = 0;
    std::vector<ChartCell> cells;
    QStringList pageLabels;  // one per page
    // page from 0, row and col from 0 inside the area.
    const ChartCell& At(int page, int row, int col) const {
        return cells[size_t((page * rows + row) * cols + col)];
    }
};

// Pages to draw: 0 without pages; 1; or, for a whole-report chart, the
// page count capped at 12.
int ChartPageSpan(const qor::items::ChartDesc& desc, int pageCount);

// Reads the description's area (corners in any order) for `pages` pages
// from `firstPage` (whole-report charts start at page 1; others at the
// description's page, or firstPage when that page does not exist). False,
// with *error, for an empty or negative area, an area of more than
// kMaxChartCells cells, or no pages.
bool ReadChartData(const qor::items::ChartDesc& desc, IChartDataSource& source, int firstPage,
                   int pages, ChartData* data, QString* error = nullptr);

// The values a chart draws: for each page, for each category, for each
// series. Text cells and values that are not finite count as 0.
struct SeriesValues {
    int categories = 0;
    int series = 0;
    int pages = 0;
    std::vector<double> values;
    // Where the labels live inside the area: categories along the first row
    // (by rows) or the first column; for one-group types the data group's
    // own row or column names the single series.
    bool categoriesAlongRow = true;
    int group = 1;  // the data group drawn by one-group types, from 1
    double At(int page, int category, int s) const {
        return values[size_t((page * categories + category) * series + s)];
    }
    bool IsEmpty() const { return categories == 0 || series == 0 || pages == 0; }
};

// False for a type above 9. An area without data rows or columns gives
// empty values (true). A current group outside the area's groups is taken
// as the nearest one.
bool BuildSeriesValues(const qor::items::ChartDesc& desc, const ChartData& data, SeriesValues* out);

// The label of category c and of series s, taken from the label row and
// column of the area's first page.
QString CategoryLabel(const ChartData& data, const SeriesValues& v, int c);
QString SeriesLabel(const ChartData& data, const SeriesValues& v, int s);

}  // namespace qor::charts

#include "charts/chart_data.h"

#include <algorithm>
#include <cmath>

#include "engine/creporthandle.h"
#include "engine/reportlayout.h"

namespace qor::charts {

using qor::items::ChartDesc;

bool DrawsOneGroup(uint32_t type) {
    return type == kPlainBar || type == kPlainLine || type == kArea || type == kPie ||
           type == kBar3D;
}

QString ChartCell::Label() const {
    if (!IsNumber()) return text;
    // The integer part, as far as a 64-bit integer holds it.
    if (!std::isfinite(value) || std::fabs(value) >= 9.2e18) return QString();
    return QString::number(static_cast<long long>(value));
}

int ReportChartSource::PageCount() const { return m_report.GetPageCount(); }

bool ReportChartSource::ReadCell(int row, int col, int page, ChartCell* cell) {
    CellValue v;
    if (m_report.GetCellValue(&v, row, col, page) != 0) return false;
    if (v.kind == kCellNumber || v.kind == kCellUnset) {
        cell->kind = 1;
        cell->value = v.number;
        cell->text.clear();
    } else {
        cell->kind = v.kind;
        cell->value = 0;
        cell->text = m_report.GetCellText(row, col, page).left(kChartCellTextChars);
    }
    return true;
}

QString ReportChartSource::PageLabel(int labelKind, int page) {
    qor::KeywordValue k;
    if (labelKind < 0 || labelKind > 5 || m_report.GetPageKeyword(labelKind, &k, page) != 0)
        return QString();
    const QString s = k.kind == 1 ? QString::number(k.number, 'g', 15) : k.text;
    return s.left(kChartPageLabelChars);
}

int ChartPageSpan(const ChartDesc& desc, int pageCount) {
    if (pageCount <= 0) return 0;
    return desc.IsWholeReport() ? std::min(pageCount, kMaxChartPages) : 1;
}

bool ReadChartData(const ChartDesc& desc, IChartDataSource& source, int firstPage, int pages,
                   ChartData* data, QString* error) {
    auto fail = [error](const QString& text) {
        if (error) *error = text;
        return false;
    };
    *data = ChartData{};
    const int count = source.PageCount();
    if (count <= 0 || pages <= 0) return fail(QStringLiteral("the report has no pages"));
    const CellArea a = desc.GetSourceArea();
    const int r1 = std::min(a.first.row, a.last.row), r2 = std::max(a.first.row, a.last.row);
    const int c1 = std::min(a.first.col, a.last.col), c2 = std::max(a.first.col, a.last.col);
    if (r1 < 1 || c1 < 1) return fail(QStringLiteral("the chart's data area is not valid"));
    if (qint64(r2 - r1 + 1) * qint64(c2 - c1 + 1) > kMaxChartCells)
        return fail(QStringLiteral("the chart's data area holds more than %1 cells").arg(kMaxChartCells));
    int first = desc.IsWholeReport() ? 1 : int(desc.GetSourcePage());
    if (first < 1 || first > count) first = std::clamp(firstPage, 1, count);
    pages = std::clamp(pages, 1, std::min(kMaxChartPages, count - first + 1));
    data->rows = r2 - r1 + 1;
    data->cols = c2 - c1 + 1;
    data->pages = pages;
    data->cells.reserve(size_t(data->rows) * size_t(data->cols) * size_t(pages));
    const int labelKind = int(desc.GetLabelKind());
    for (int p = first; p < first + pages; ++p) {
        for (int r = r1; r <= r2; ++r)
            for (int c = c1; c <= c2; ++c) {
                ChartCell cell;
                if (!source.ReadCell(r, c, p, &cell)) cell = ChartCell{};
                if (cell.IsNumber()) cell.text.clear();
                cell.text.truncate(kChartCellTextChars);
                data->cells.push_back(cell);
            }
        data->pageLabels << source.PageLabel(labelKind, p).left(kChartPageLabelChars);
    }
    return true;
}

namespace {

// A cell's contribution to a value: numbers that are finite, else 0.
double numberOf(const ChartCell& cell) {
    return cell.IsNumber() && std::isfinite(cell.value) ? cell.value : 0.0;
}

// Category c and group s of page p, both from 0, as cells of the area.
const ChartCell& cellOf(const ChartData& d, bool byRows, int p, int c, int s) {
    return byRows ? d.At(p, s + 1, c + 1) : d.At(p, c + 1, s + 1);
}

}  // namespace

bool BuildSeriesValues(const ChartDesc& desc, const ChartData& data, SeriesValues* out) {
    *out = SeriesValues{};
    const uint32_t type = desc.GetChartType();
    if (type > kLastChartType) return false;
    const bool byRows = desc.GroupsByRows();
    out->categoriesAlongRow = byRows;
    out->pages = data.pages;
    if (data.rows < 2 || data.cols < 2 || data.pages < 1 ||
        data.cells.size() < size_t(data.rows) * size_t(data.cols) * size_t(data.pages)) {
        out->pages = 0;
        return true;
    }
    const int categories = byRows ? data.cols - 1 : data.rows - 1;
    const int groups = byRows ? data.rows - 1 : data.cols - 1;
    out->categories = categories;
    out->group = std::clamp(int(desc.GetCurrentGroup()), 1, groups);
    const bool one = DrawsOneGroup(type);
    out->series = (one || type == kSumBar) ? 1 : groups;
    out->values.reserve(size_t(categories) * size_t(out->series) * size_t(data.pages));
    for (int p = 0; p < data.pages; ++p)
        for (int c = 0; c < categories; ++c) {
            if (one) {
                out->values.push_back(numberOf(cellOf(data, byRows, p, c, out->group - 1)));
            } else if (type == kSumBar) {
                double sum = 0;
                for (int s = 0; s < groups; ++s) sum += numberOf(cellOf(data, byRows, p, c, s));
                out->values.push_back(std::isfinite(sum) ? sum : 0.0);
            } else {
                for (int s = 0; s < groups; ++s)
                    out->values.push_back(numberOf(cellOf(data, byRows, p, c, s)));
            }
        }
    return true;
}

QString CategoryLabel(const ChartData& data, const SeriesValues& v, int c) {
    if (c < 0 || c >= v.categories || data.pages < 1) return QString();
    return (v.categoriesAlongRow ? data.At(0, 0, c + 1) : data.At(0, c + 1, 0)).Label();
}

QString SeriesLabel(const ChartData& data, const SeriesValues& v, int s) {
    if (s < 0 || s >= v.series || data.pages < 1) return QString();
    const int group = v.series == 1 ? v.group : s + 1;
    const int groups = v.categoriesAlongRow ? data.rows - 1 : data.cols - 1;
    if (group < 1 || group > groups) return QString();
    return (v.categoriesAlongRow ? data.At(0, group, 0) : data.At(0, 0, group)).Label();
}

}  // namespace qor::charts

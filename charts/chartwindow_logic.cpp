#include "charts/chartwindow_logic.h"

#include <algorithm>

#include "charts/chart_data.h"

namespace qor::charts {

using qor::items::ChartDesc;
using qor::items::Rect;

ChartDesc::RectPart RectOfPart(int part) {
    switch (part) {
        case kPartYTitle:
            return ChartDesc::kYTitleRect;
        case kPartXTitle:
            return ChartDesc::kXTitleRect;
        case kPartTitle:
            return ChartDesc::kTitleRect;
        case kPartLegend:
            return ChartDesc::kLegendRect;
        default:
            return ChartDesc::kPlotRect;
    }
}

int HitTestPart(const ChartDesc& desc, QPoint p) {
    for (int part = kPartYTitle; part <= kPartPlot; ++part) {
        const Rect r = desc.GetPartRect(RectOfPart(part));
        if (p.x() >= r.left && p.x() <= r.right && p.y() >= r.top && p.y() <= r.bottom)
            return part;
    }
    return kNoPart;
}

std::array<Rect, 8> PartHandles(const Rect& r) {
    auto square = [](int x, int y) { return Rect{x, y, x + 5, y + 5}; };
    const Rect none{0, 0, -1, 0};
    const int mid = r.left + r.width() / 2;
    const int middle = r.top + r.height() / 2;
    const bool across = r.width() / 5 >= 3;
    const bool down = r.height() / 5 >= 3;
    return {square(r.left - 2, r.top - 2),
            square(r.right - 2, r.top - 2),
            square(r.left - 2, r.bottom - 2),
            square(r.right - 2, r.bottom - 2),
            across ? square(mid, r.top - 2) : none,
            across ? square(mid, r.bottom - 2) : none,
            down ? square(r.left - 2, middle) : none,
            down ? square(r.right - 2, middle) : none};
}

int HandleAt(const Rect& r, QPoint p) {
    const std::array<Rect, 8> handles = PartHandles(r);
    for (int i = 0; i < 8; ++i) {
        const Rect& h = handles[size_t(i)];
        if (h.right <= h.left) continue;
        if (p.x() >= h.left && p.x() < h.right && p.y() >= h.top && p.y() < h.bottom) return i + 1;
    }
    return 0;
}

namespace {

// The delta that keeps edge + d within [0, limit].
int clampEdge(int edge, int d, int limit) {
    if (edge + d < 0) return -edge;
    if (edge + d > limit) return limit - edge;
    return d;
}

}  // namespace

Rect MovePartRect(const Rect& r, int mode, int dx, int dy, QSize window, QPoint* applied) {
    const int xLimit = std::max(0, window.width() - 5);
    const int yLimit = std::max(0, window.height() - 5);
    Rect out = r;
    int ax = dx, ay = dy;
    if (mode == 0) {
        ax = r.left + dx < 0 ? -r.left : clampEdge(r.right, dx, xLimit);
        ay = r.top + dy < 0 ? -r.top : clampEdge(r.bottom, dy, yLimit);
        out = {r.left + ax, r.top + ay, r.right + ax, r.bottom + ay};
    } else {
        const bool left = mode == 1 || mode == 3 || mode == 7;
        const bool right = mode == 2 || mode == 4 || mode == 8;
        const bool top = mode == 1 || mode == 2 || mode == 5;
        const bool bottom = mode == 3 || mode == 4 || mode == 6;
        ax = left ? clampEdge(r.left, dx, xLimit) : right ? clampEdge(r.right, dx, xLimit) : 0;
        ay = top ? clampEdge(r.top, dy, yLimit) : bottom ? clampEdge(r.bottom, dy, yLimit) : 0;
        if (left) out.left += ax;
        if (right) out.right += ax;
        if (top) out.top += ay;
        if (bottom) out.bottom += ay;
    }
    if (applied) *applied = QPoint(ax, ay);
    return out;
}

Rect NormalizedRect(const Rect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

int DataGroupCount(const ChartDesc& desc) {
    const CellArea a = desc.GetSourceArea();
    const int rows = std::abs(a.last.row - a.first.row);
    const int cols = std::abs(a.last.col - a.first.col);
    return desc.GroupsByRows() ? rows : cols;
}

bool StepsDataGroups(const ChartDesc& desc) { return DrawsOneGroup(desc.GetChartType()); }

bool CanStepDataGroup(const ChartDesc& desc, bool next) {
    if (!StepsDataGroups(desc)) return false;
    const int groups = DataGroupCount(desc);
    if (groups < 1) return false;
    const int current = desc.GetCurrentGroup();
    return next ? current < groups : current > 1;
}

void StepDataGroup(ChartDesc* desc, bool next) {
    const int groups = std::max(1, DataGroupCount(*desc));
    const int current = desc->GetCurrentGroup() + (next ? 1 : -1);
    desc->SetCurrentGroup(int16_t(std::clamp(current, 1, groups)));
}

void SetDataGrouping(ChartDesc* desc, bool byRows) {
    desc->SetGroupByRows(byRows);
    // An area of one row or column has no data group: the current one stays
    // 1 rather than falling to 0.
    const int groups = std::max(1, DataGroupCount(*desc));
    desc->SetCurrentGroup(int16_t(std::clamp(int(desc->GetCurrentGroup()), 1, groups)));
}

QStringList ChartListNames(const QStringList& names) {
    QStringList out;
    for (int i = 0; i < names.size(); ++i)
        out << (names.at(i).isEmpty() ? QStringLiteral("GRA%1").arg(i) : names.at(i));
    return out;
}

int ChartTypeOfCommand(int id) {
    static constexpr int kTypes[10] = {0, 1, 2, 3, 4, 5, 7, 6, 8, 9};
    if (id < kCmdFirstChartType || id > kCmdLastChartType) return -1;
    return kTypes[id - kCmdFirstChartType];
}

}  // namespace qor::charts

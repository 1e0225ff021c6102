#include "charts/chartframe_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace qor::charts {

namespace {

int toTwips(int pixels, double scale) {
    const double v = std::abs(double(pixels)) * scale * 100.0 / 7.0;
    if (!std::isfinite(v) || v <= 0) return 0;
    return v > 1e9 ? 1000000000 : int(std::lround(v));
}

int pagesFor(int length, int page) { return std::max(1, (length + page - 1) / page); }

}  // namespace

ChartPrintPlan PlanChartPrint(QSize chartPixels, double displayScale, QSize pageTwips) {
    ChartPrintPlan plan;
    plan.pageTwips = QSize(std::abs(pageTwips.width()), std::abs(pageTwips.height()));
    plan.chartTwips = QSize(toTwips(chartPixels.width(), displayScale),
                            toTwips(chartPixels.height(), displayScale));
    plan.paperOk = plan.pageTwips.width() >= kMinChartPaperWidthTwips &&
                   plan.pageTwips.height() >= kMinChartPaperHeightTwips;
    if (!plan.paperOk) return plan;
    plan.across = pagesFor(plan.chartTwips.width(), plan.pageTwips.width());
    plan.down = pagesFor(plan.chartTwips.height(), plan.pageTwips.height());
    return plan;
}

QPoint ChartPageOrigin(const ChartPrintPlan& plan, int page) {
    if (plan.across < 1) return {};
    const int p = std::max(0, page - 1);
    return {-(p % plan.across) * plan.pageTwips.width(), -(p / plan.across) * plan.pageTwips.height()};
}

int ChartWindowHit(QSize window, int handleSize, QPoint p) {
    const int w = window.width(), h = window.height(), s = std::max(1, handleSize);
    if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) return kWindowHitNone;
    const bool left = p.x() < s, right = p.x() >= w - s;
    const bool top = p.y() < s, bottom = p.y() >= h - s;
    const bool midX = std::abs(p.x() - w / 2) <= s / 2;
    const bool midY = std::abs(p.y() - h / 2) <= s / 2;
    if (top && left) return kWindowHitTopLeft;
    if (top && right) return kWindowHitTopRight;
    if (bottom && right) return kWindowHitBottomRight;
    if (bottom && left) return kWindowHitBottomLeft;
    if (top && midX) return kWindowHitTop;
    if (right && midY) return kWindowHitRight;
    if (bottom && midX) return kWindowHitBottom;
    if (left && midY) return kWindowHitLeft;
    return kWindowHitMiddle;
}

QRect TrackChartWindow(const QRect& start, int hit, QPoint delta) {
    if (hit == kWindowHitMiddle) return start.translated(delta);
    int l = start.left(), t = start.top(), r = l + start.width(), b = t + start.height();
    const bool movesLeft = hit == kWindowHitTopLeft || hit == kWindowHitBottomLeft || hit == kWindowHitLeft;
    const bool movesRight =
        hit == kWindowHitTopRight || hit == kWindowHitBottomRight || hit == kWindowHitRight;
    const bool movesTop = hit == kWindowHitTopLeft || hit == kWindowHitTopRight || hit == kWindowHitTop;
    const bool movesBottom =
        hit == kWindowHitBottomLeft || hit == kWindowHitBottomRight || hit == kWindowHitBottom;
    if (movesLeft) l = std::clamp(l + delta.x(), r - kMaxChartWindow, r - kMinChartWindow);
    if (movesRight) r = std::clamp(r + delta.x(), l + kMinChartWindow, l + kMaxChartWindow);
    if (movesTop) t = std::clamp(t + delta.y(), b - kMaxChartWindow, b - kMinChartWindow);
    if (movesBottom) b = std::clamp(b + delta.y(), t + kMinChartWindow, t + kMaxChartWindow);
    return QRect(l, t, r - l, b - t);
}

}  // namespace qor::charts

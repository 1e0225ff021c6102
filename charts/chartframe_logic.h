#pragma once
// The chart frame without a window: how its chart is cut into printed
// pages, where each page's piece lies, and how the chart window's own
// rectangle follows its tracker.

#include <QPoint>
#include <QRect>
#include <QSize>

#include "resources/stringids.h"

namespace qor::charts {

// A printable area smaller than this (twips) holds no useful piece of a
// chart: the job is refused with 62733.
inline constexpr int kMinChartPaperWidthTwips = 1200;
inline constexpr int kMinChartPaperHeightTwips = 600;

struct ChartPrintPlan {
    bool paperOk = false;
    QSize chartTwips;  // the chart's size on paper
    QSize pageTwips;   // the printable area
    int across = 0;    // pages side by side
    int down = 0;      // rows of pages
    int Pages() const { return across * down; }
};

// The pages a chart of chartPixels (screen pixels at the document's display
// scale) takes on a printable area of pageTwips: a pixel is scale x 100/7
// twips; as many whole pages as the chart needs across and down, at least
// one each (a chart exactly one page wide takes one page, not two). Sizes
// count without sign, whichever way the rectangle runs.
ChartPrintPlan PlanChartPrint(QSize chartPixels, double displayScale, QSize pageTwips);

// Where the chart's top-left lies on printed page `page` (from 1, left to
// right, then top to bottom), in twips from the printable area's top-left.
QPoint ChartPageOrigin(const ChartPrintPlan& plan, int page);

// The chart window's tracker. The window never gets narrower or lower than
// 50 pixels nor wider or higher than 10000.
inline constexpr int kMinChartWindow = 50;
inline constexpr int kMaxChartWindow = 10000;

// Hit codes of the window's tracker: the corners, the sides, the middle.
enum WindowHit : int {
    kWindowHitNone = -1,
    kWindowHitTopLeft = 0,
    kWindowHitTopRight = 1,
    kWindowHitBottomRight = 2,
    kWindowHitBottomLeft = 3,
    kWindowHitTop = 4,
    kWindowHitRight = 5,
    kWindowHitBottom = 6,
    kWindowHitLeft = 7,
    kWindowHitMiddle = 8,
};

// The handle of a window of this size under the point: handles are
// handleSize squares at the corners and the middles of the sides, inside
// the window's edge; any other point inside is the middle. -1 outside.
int ChartWindowHit(QSize window, int handleSize, QPoint p);

// The window's rectangle after the tracker moved by delta from start: the
// middle moves the whole window, a handle only its own edges; a moving edge
// stops where the size would leave [50, 10000].
QRect TrackChartWindow(const QRect& start, int hit, QPoint delta);

}  // namespace qor::charts

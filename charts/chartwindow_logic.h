#pragma once
// What the chart window does with a chart's description, without a window:
// which part a point hits, the plot area's eight handles, moving and
// resizing a part inside the window, the data groups a chart can step
// through, the names the open-chart list shows, and the type behind each
// type command.

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>
#include <array>

#include "charts/chartdesc.h"
#include "resources/commandids.h"

namespace qor::charts {

// The parts of a chart the user can select, in hit-test order.
enum ChartPart : int {
    kNoPart = 0,
    kPartYTitle = 1,
    kPartXTitle = 2,
    kPartTitle = 3,
    kPartLegend = 4,
    kPartPlot = 5,
};

// The description's rectangle of a part (1..5).
qor::items::ChartDesc::RectPart RectOfPart(int part);
// The first part (1..5) whose rectangle holds the point, edges included;
// 0 when none.
int HitTestPart(const qor::items::ChartDesc& desc, QPoint p);

// The handles of a rectangle, 5 x 5 squares as right- and bottom-exclusive
// rectangles in mode order (1 top-left, 2 top-right, 3 bottom-left,
// 4 bottom-right, 5 top-middle, 6 bottom-middle, 7 left-middle, 8
// right-middle). A middle handle of an edge shorter than 15 pixels is the
// empty square (0, 0, -1, 0).
std::array<qor::items::Rect, 8> PartHandles(const qor::items::Rect& r);
// The handle mode (1..8) under the point; 0 when none.
int HandleAt(const qor::items::Rect& r, QPoint p);

// Moves (mode 0) or resizes by a handle (modes 1..8) a part's rectangle
// by (dx, dy), keeping every moving edge in [0, W - 5] x [0, H - 5] for a
// window of size w. *applied gets the delta actually used per axis.
qor::items::Rect MovePartRect(const qor::items::Rect& r, int mode, int dx, int dy, QSize window,
                              QPoint* applied = nullptr);
// Left <= right and top <= bottom.
qor::items::Rect NormalizedRect(const qor::items::Rect& r);

// Data groups of the chart's area: its rows less the label row (by rows),
// else its columns less the label column. 0 for an area of one row or
// column.
int DataGroupCount(const qor::items::ChartDesc& desc);
// The types that draw one data group.
bool StepsDataGroups(const qor::items::ChartDesc& desc);
// Whether the next (previous) group command can move the current group.
bool CanStepDataGroup(const qor::items::ChartDesc& desc, bool next);
// Steps the current group within 1 .. DataGroupCount.
void StepDataGroup(qor::items::ChartDesc* desc, bool next);
// Groups by rows or columns; the current group is kept within the new
// count and never below 1.
void SetDataGrouping(qor::items::ChartDesc* desc, bool byRows);

// The open-chart list: each chart's name, an empty one shown as "GRA"
// and the chart's index among the charts.
QStringList ChartListNames(const QStringList& names);

// The chart type of a type command (33014..33023); -1 for any other id.
int ChartTypeOfCommand(int id);
inline constexpr int kCmdFirstChartType = qor::cmd_ids::kCmdChartType0;
inline constexpr int kCmdLastChartType = qor::cmd_ids::kCmdChartType9;

}  // namespace qor::charts

// The chart window's geometry and commands without a window.

#include <gtest/gtest.h>

#include "charts/chartwindow_logic.h"
#include "resources/commandids.h"

using namespace qor::cmd_ids;
using namespace qor::charts;
using qor::items::ChartDesc;
using qor::items::Rect;

TEST(ChartWindow, PartsAndHandles) {
    ChartDesc d = ChartDesc::MakeDefault(160, 160, 1);
    // The plot (30, 30, 130, 130) and the legend (130, 30, 150, 130) share
    // an edge: the legend comes first in hit order.
    EXPECT_EQ(HitTestPart(d, {130, 50}), kPartLegend);
    EXPECT_EQ(HitTestPart(d, {129, 50}), kPartPlot);
    EXPECT_EQ(HitTestPart(d, {20, 50}), kPartYTitle);
    EXPECT_EQ(HitTestPart(d, {0, 0}), kNoPart);

    // Middle handles only for an edge of 15 pixels or more.
    auto handles = PartHandles(Rect{10, 10, 22, 60});  // 12 wide
    EXPECT_LT(handles[4].right, handles[4].left);
    EXPECT_LT(handles[5].right, handles[5].left);
    EXPECT_GT(handles[6].right, handles[6].left);
    handles = PartHandles(Rect{10, 10, 25, 60});  // 15 wide
    EXPECT_EQ(handles[4], (Rect{17, 8, 22, 13}));
    EXPECT_EQ(HandleAt(Rect{10, 10, 25, 60}, {18, 9}), 5);
    EXPECT_EQ(HandleAt(Rect{10, 10, 25, 60}, {9, 9}), 1);
    EXPECT_EQ(HandleAt(Rect{10, 10, 25, 60}, {24, 59}), 4);
    EXPECT_EQ(HandleAt(Rect{10, 10, 25, 60}, {15, 30}), 0);
}

TEST(ChartWindow, PartsStayInsideTheWindow) {
    const QSize window(200, 100);
    QPoint applied;
    // A title dragged right stops with its right edge at W - 5.
    Rect r = MovePartRect(Rect{100, 10, 150, 30}, 0, 80, 0, window, &applied);
    EXPECT_EQ(r, (Rect{145, 10, 195, 30}));
    EXPECT_EQ(applied, QPoint(45, 0));
    r = MovePartRect(Rect{10, 10, 50, 30}, 0, -30, -30, window, &applied);
    EXPECT_EQ(r, (Rect{0, 0, 40, 20}));
    // A handle moves only its own edges, each clamped.
    r = MovePartRect(Rect{30, 30, 130, 80}, 4, 100, 100, window);
    EXPECT_EQ(r, (Rect{30, 30, 195, 95}));
    r = MovePartRect(Rect{30, 30, 130, 80}, 7, -50, 40, window);
    EXPECT_EQ(r, (Rect{0, 30, 130, 80}));
    // Dragged past its opposite edge, then normalised.
    r = MovePartRect(Rect{30, 30, 130, 80}, 8, -120, 0, window);
    EXPECT_EQ(NormalizedRect(r), (Rect{10, 30, 30, 80}));
}

TEST(ChartWindow, DataGroupsNamesAndTypes) {
    ChartDesc d = ChartDesc::MakeDefault(160, 160, 1);
    d.SetSourceArea(CellArea::area(1, 1, 4, 6));  // 4 rows, 6 columns
    d.SetGroupByRows(true);
    d.SetChartType(0);
    EXPECT_EQ(DataGroupCount(d), 3);
    EXPECT_FALSE(CanStepDataGroup(d, false));
    for (int i = 0; i < 5; ++i) StepDataGroup(&d, true);
    EXPECT_EQ(d.GetCurrentGroup(), 3);  // stops at the last group
    EXPECT_FALSE(CanStepDataGroup(d, true));
    EXPECT_TRUE(CanStepDataGroup(d, false));
    d.SetChartType(3);  // draws every group: nothing to step
    EXPECT_FALSE(CanStepDataGroup(d, false));
    d.SetChartType(0);
    SetDataGrouping(&d, false);
    EXPECT_EQ(DataGroupCount(d), 5);
    EXPECT_EQ(d.GetCurrentGroup(), 3);
    // One row: no data group, and the current group stays 1, not 0.
    d.SetSourceArea(CellArea::area(1, 1, 1, 6));
    SetDataGrouping(&d, true);
    EXPECT_EQ(DataGroupCount(d), 0);
    EXPECT_EQ(d.GetCurrentGroup(), 1);
    EXPECT_FALSE(CanStepDataGroup(d, true));
    EXPECT_FALSE(CanStepDataGroup(d, false));

    EXPECT_EQ(ChartListNames({"GRAPH_1", "销售", ""}),
              (QStringList{"GRAPH_1", "销售", "GRA2"}));
    EXPECT_EQ(ChartTypeOfCommand(kCmdChartType0), 0);
    EXPECT_EQ(ChartTypeOfCommand(kCmdChartType7), 7);
    EXPECT_EQ(ChartTypeOfCommand(kCmdChartType6), 6);
    EXPECT_EQ(ChartTypeOfCommand(kCmdChartType9), 9);
    EXPECT_EQ(ChartTypeOfCommand(kCmdChartWindow), -1);
}

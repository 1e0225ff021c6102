// Inserting a chart over the selected cells: the area's limits, the
// dialog's values read back, the description they give, and the command
// from the view.

#include <gtest/gtest.h>

#include <QFile>

#include "charts/cgraphitem.h"
#include "document/cmd_dialogs.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "tests/document/doc_fixture.h"
#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"
#include "view/displaystyle.h"
#include "view/view_commands.h"
#include "resources/commandids.h"

using namespace doctest;
using namespace qor;
using namespace qor::view;
using qor::items::ChartDesc;

TEST(ChartCommands, AreaLimitsAndTheDialogsAreaText) {
    EXPECT_EQ(CheckChartAreaSize(500, 2), 0);
    EXPECT_EQ(CheckChartAreaSize(2, 500), 0);
    EXPECT_EQ(CheckChartAreaSize(2, 501), qor::str::kChartAreaTooLarge);
    EXPECT_EQ(CheckChartAreaSize(5, 1), qor::str::kChartNeedsTwoColumns);
    EXPECT_EQ(CheckChartAreaSize(1, 5), qor::str::kChartNeedsTwoRows);

    AreaChartDlgMembers m = PresetAreaChart(CellArea::area(1, 1, 5, 3), 7, 4, 20, 10);
    EXPECT_EQ(m.m_strArea, QStringLiteral("B2:D6@7"));
    EXPECT_EQ(m.m_strName, QStringLiteral("GRAPH_4"));
    EXPECT_EQ(m.m_nGroup, 0);  // the radios start on their first choice
    EXPECT_EQ(m.m_nScope, 0);
    // Edited to A1:C3@7: read back with the page kept.
    m.m_strArea = QStringLiteral("A1:C3@7");
    ASSERT_EQ(AcceptAreaChart(&m), 0);
    EXPECT_EQ(m.m_area, CellArea::area(0, 0, 2, 2));
    // Not an area, beyond the table, or too small: refused, area kept.
    for (const char* bad : {"A1:", "xyz@7", "A1:Z3@7", "A1:A9"}) {
        AreaChartDlgMembers b = m;
        b.m_strArea = QString::fromLatin1(bad);
        EXPECT_NE(AcceptAreaChart(&b), 0) << bad;
        EXPECT_EQ(b.m_area, m.m_area) << bad;
    }
    m.m_strArea = QStringLiteral("A1:A9");
    EXPECT_EQ(AcceptAreaChart(&m), qor::str::kChartNeedsTwoColumns);
}

// "行" means data groups by rows and only "整个报表" makes a whole-report
// chart; the layout is the default one for the chart's size.
TEST(ChartCommands, DescriptionFromTheDialog) {
    AreaChartDlgMembers m = PresetAreaChart(CellArea::area(1, 1, 5, 3), 7, 4, 20, 10);
    m.m_nType = 6;
    ChartDesc d = BuildAreaChartDesc(m, QSize(160, 160), 4);
    EXPECT_EQ(d.GetSourceArea(), CellArea::area(2, 2, 6, 4));  // rows and columns from 1
    EXPECT_EQ(d.GetSourcePage(), 7u);
    EXPECT_TRUE(d.GroupsByRows());
    EXPECT_FALSE(d.IsWholeReport());
    EXPECT_EQ(d.GetChartType(), 6u);
    EXPECT_EQ(d.GetPartRect(ChartDesc::kPlotRect), (qor::items::Rect{30, 30, 130, 130}));
    EXPECT_EQ(d.GetPartRect(ChartDesc::kLegendRect), (qor::items::Rect{130, 30, 150, 130}));
    EXPECT_EQ(d.GetFont(ChartDesc::kTitleFont).face, QStringLiteral("Tahoma"));
    m.m_nGroup = 1;
    m.m_nScope = 1;
    m.m_nLabel = 4;
    d = BuildAreaChartDesc(m, QSize(160, 160), 4);
    EXPECT_FALSE(d.GroupsByRows());
    EXPECT_TRUE(d.IsWholeReport());
    EXPECT_EQ(d.GetLabelKind(), 4u);
}

namespace {

// Answers the area-chart dialog as a user would: OK, or the type changed.
struct ScriptedChartDialog {
    int runs = 0;
    int answer = kIdOk;
    AreaChartDlgMembers seen;
    qor::ScopedDialog<AreaChartDlgMembers> dialog{[this](AreaChartDlgMembers m) {
        ++runs;
        seen = m;
        m.m_nType = 3;
        return answer == kIdOk ? std::optional(m) : std::nullopt;
    }};
};

}  // namespace

TEST(ChartCommands, CtrlF2MakesASelectedChartOfTheSelection) {
    UiRecorder ui;
    auto doc = newDoc(40, 12);
    CQorsView view(doc.get());
    view.resize(600, 400);
    view.OnInitialUpdate();
    qor::CommandState state;
    ASSERT_TRUE(view.OnUpdateCommand(qor::cmd_ids::kCmdInsertChart, state));
    EXPECT_FALSE(state.enabled);  // format state
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_TRUE(view.OnUpdateCommand(qor::cmd_ids::kCmdInsertChart, state));
    EXPECT_FALSE(state.enabled);  // no dialog installed

    ScriptedChartDialog chartUi;
    ASSERT_TRUE(view.OnUpdateCommand(qor::cmd_ids::kCmdInsertChart, state));
    EXPECT_TRUE(state.enabled);

    // One column: refused before the dialog.
    doc->Selection().SetSelection(1, 1, 4, 1);
    EXPECT_TRUE(view.OnCommand(qor::cmd_ids::kCmdInsertChart));
    EXPECT_EQ(chartUi.runs, 0);
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kChartNeedsTwoColumns)));
    EXPECT_EQ(doc->Items().GetComItemCount(), 0);

    doc->Selection().SetSelection(1, 1, 4, 3);
    const int counter = doc->Items().ChartCounter();
    EXPECT_TRUE(view.OnCommand(qor::cmd_ids::kCmdInsertChart));
    EXPECT_EQ(chartUi.runs, 1);
    EXPECT_EQ(chartUi.seen.m_strArea, QStringLiteral("B2:D5@1"));
    ASSERT_EQ(doc->Items().GetComItemCount(), 1);
    CQorsDoc::ItemPos pos = doc->Items().GetFirstComItemPos();
    auto* chart = dynamic_cast<CGraphItem*>(doc->Items().GetNextComItem(pos));
    ASSERT_TRUE(chart);
    EXPECT_EQ(view.Items().Selected(), chart);
    EXPECT_EQ(doc->Items().GetCurrentChart(), chart);
    EXPECT_EQ(doc->Items().ChartCounter(), counter + 1);
    EXPECT_EQ(chart->GetChartDesc().GetChartType(), 3u);
    EXPECT_EQ(chart->GetRect().width(), 300);
    EXPECT_EQ(chart->GetRect().height(), 200);
    EXPECT_TRUE(doc->IsModified());

    // A small table: the chart stays inside the sheet the window shows.
    auto small = newDoc(6, 4);
    ASSERT_TRUE(small->EnterDataState());
    CQorsView smallView(small.get());
    smallView.resize(600, 400);
    smallView.OnInitialUpdate();
    small->Selection().SetSelection(0, 0, 2, 2);
    EXPECT_TRUE(smallView.OnCommand(qor::cmd_ids::kCmdInsertChart));
    ASSERT_EQ(small->Items().GetComItemCount(), 1);
    pos = small->Items().GetFirstComItemPos();
    CComItem* inSmall = small->Items().GetNextComItem(pos);
    EXPECT_LE(inSmall->GetRect().bottom, small->ViewState().sheetHeight);
    EXPECT_LE(inSmall->GetRect().right, small->ViewState().sheetWidth);
    EXPECT_GE(inSmall->GetRect().top, 0);

    chartUi.answer = kIdCancel;
    EXPECT_TRUE(view.OnCommand(qor::cmd_ids::kCmdInsertChart));
    EXPECT_EQ(doc->Items().GetComItemCount(), 1);
}

namespace {

// The insert-object dialog answered with a file; the properties dialog
// recorded.
class ObjectDialogs {
public:
    QString file, shownArea;

private:
    qor::ScopedDialog<AreaChartDlgMembers> m_area{
        [](const AreaChartDlgMembers& m) { return std::optional(m); }};
    qor::ScopedDialog<InsertObjectDlgMembers> m_insert{[this](InsertObjectDlgMembers m) {
        m.m_strPath = file;
        return std::optional(m);
    }};
    qor::ScopedDialog<ObjectPropDlgMembers> m_props{[this](const ObjectPropDlgMembers& m) {
        shownArea = m.area;
        return std::optional<ObjectPropDlgMembers>();
    }};
};

}  // namespace

// The properties show the area the chart was made of, not one cell further
// down and right.
TEST(ChartCommands, PropertiesShowTheChartsOwnArea) {
    UiRecorder ui;
    ObjectDialogs objects;
    auto doc = newDoc(40, 12);
    ASSERT_TRUE(doc->EnterDataState());
    CQorsView view(doc.get());
    view.resize(600, 400);
    view.OnInitialUpdate();
    for (const auto& [area, text] :
         {std::pair{CellArea::area(0, 0, 1, 1), "A1:B2"}, {CellArea::area(2, 1, 6, 4), "B3:E7"}}) {
        doc->Selection().SetSelection(area.first.row, area.first.col, area.last.row, area.last.col);
        ASSERT_TRUE(view.OnCommand(qor::cmd_ids::kCmdInsertChart));
        auto* chart = dynamic_cast<CGraphItem*>(view.Items().Selected());
        ASSERT_TRUE(chart);
        EXPECT_EQ(ChartAreaText(chart->GetChartDesc()), QString::fromLatin1(text));
        objects.shownArea.clear();
        EXPECT_TRUE(view.OnCommand(qor::cmd_ids::kCmdObjectProperties));
        EXPECT_EQ(objects.shownArea, QString::fromLatin1(text));
    }
}

// A file that is an open report under another name is refused with its
// message; nothing is inserted.
TEST(ChartCommands, AnOpenReportReachedThroughALinkIsNotInserted) {
    UiRecorder ui;
    ObjectDialogs objects;
    const QString dir = testDir();
    const QString rep = dir + "/held.rep";
    auto held = std::make_unique<CReportHandle>(rep);
    ASSERT_TRUE(held->IsOpen());
    const QString link = dir + "/held-link.dat";
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(rep, link));
    const QString copy = dir + "/held-copy.dat";
    QFile::remove(copy);
    ASSERT_TRUE(QFile::copy(rep, copy));
    EXPECT_TRUE(IsOpenReportFile(rep));
    EXPECT_TRUE(IsOpenReportFile(link));
    EXPECT_FALSE(IsOpenReportFile(copy));

    auto doc = newDoc(40, 12);
    CQorsView view(doc.get());
    view.resize(600, 400);
    view.OnInitialUpdate();
    objects.file = link;
    EXPECT_FALSE(view.OnInsertObject());
    EXPECT_TRUE(ui.said(LoadErrorText(qor::str::kFileOpenCannotInsert)));
    EXPECT_EQ(doc->Items().GetComItemCount(), 0);
    held.reset();
    EXPECT_FALSE(IsOpenReportFile(link));
}

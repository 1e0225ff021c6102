#pragma once
// The chart window: shows the document's current chart and edits it — a
// part (titles, legend, plot) selected, moved or, for the plot, resized by
// its handles with the mouse; the type, titles, fonts and data groups from
// its commands; the window itself moved and sized by its frame. Every
// change goes to the document at once.
//
// It lives over the sheet view while a chart is edited on the page, or on
// the chart frame's page; in the chart frame it also steps through the
// report's charts, opens one by name and deletes the current one.

#include <QPoint>
#include <QRect>
#include <QWidget>

#include "charts/chartdesc.h"
#include "resources/commandids.h"
#include "view/chartcmd_logic.h"

class CGraphItem;
class CQorsDoc;
class CQorsView;
namespace qor {
template <class Target>
class CommandTable;
}

class CPicWnd : public QWidget, public qor::view::IChartWindow {
    Q_OBJECT

public:
    static constexpr int kCmdTitle = qor::cmd_ids::kCmdTitle;
    static constexpr int kCmdXTitle = qor::cmd_ids::kCmdXTitle;
    static constexpr int kCmdYTitle = qor::cmd_ids::kCmdYTitle;
    static constexpr int kCmdToggleGrouping = qor::cmd_ids::kCmdToggleGrouping;
    static constexpr int kCmdPreviousChart = qor::cmd_ids::kCmdPreviousChart;
    static constexpr int kCmdNextChart = qor::cmd_ids::kCmdNextChart;
    static constexpr int kCmdFirstChart = qor::cmd_ids::kCmdFirstChart;
    static constexpr int kCmdLastChart = qor::cmd_ids::kCmdLastChart;
    static constexpr int kCmdDeleteChart = qor::cmd_ids::kCmdDeleteChart;
    static constexpr int kCmdDataGroup = qor::cmd_ids::kCmdDataGroup;
    static constexpr int kCmdOpenChart = qor::cmd_ids::kCmdOpenChart;
    static constexpr int kCmdTitleFont = qor::cmd_ids::kCmdTitleFont;
    static constexpr int kCmdPreviousGroup = qor::cmd_ids::kCmdPreviousGroup;
    static constexpr int kCmdNextGroup = qor::cmd_ids::kCmdNextGroup;
    static constexpr int kDlgEditTitle = 225;
    static constexpr int kDlgDataGroup = 228;
    static constexpr int kDlgOpenChart = 229;
    // Where a chart stepped to in the chart frame is shown.
    static constexpr QPoint kSteppedChartPos{120, 80};

    CPicWnd(CQorsDoc* doc, QWidget* parent);
    ~CPicWnd() override;

    // Why a chart command is off when there is no chart.
    static const QString& NoChartReason();

    QWidget* Widget() override { return this; }
    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;

    // The part selected (0 none, 1 Y title, 2 X title, 3 title, 4 legend,
    // 5 plot) and the description as last drawn.
    int SelectedPart() const { return m_selected; }
    const qor::items::ChartDesc& Working() const { return m_work; }
    // Edits a title (1 main, 2 X, 3 Y) in the title dialog; false when
    // cancelled.
    bool EditTitle(int kind);
    // The selected title's font in the title-font dialog; false when
    // cancelled or no title is selected.
    bool EditTitleFont();
    // Dialog 228: groups by rows or by columns.
    bool DefineDataGroup();
    // Dialog 229: one of the report's charts by name becomes current.
    bool OpenChartByName();
    // Makes a chart current (the window takes its size in the chart frame);
    // false when it is no chart of the document.
    bool ShowChart(CGraphItem* chart);
    // The report's charts in list order.
    QList<CGraphItem*> Charts() const;
    // The size of the squares the window is moved and sized by.
    int HandleSize() const;
    // Whether the window stands on the chart frame's page rather than over
    // a sheet view.
    bool InChartView() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The window's commands: what each needs and what it does.
    static const qor::CommandTable<CPicWnd>& commands();
    // The current chart's place among Charts(), -1 when it is none of them.
    int currentIndex(const QList<CGraphItem*>& charts) const;
    // The current chart goes; the next one (if any) is shown.
    void deleteCurrentChart();
    CGraphItem* currentChart() const;
    CQorsView* sheetView() const;
    bool chartFrameState() const;
    // Reads the chart as the document holds it into the working copy.
    bool reload();
    // The working copy to the document, and every view redrawn.
    void commit();
    // The window placed on its parent: over a sheet view inside the sheet's
    // visible part, on the chart page inside the page.
    QRect placeInParent(const QRect& wanted, bool moving) const;
    // The window's new rectangle given to the chart item.
    void syncItemToWindow();

    CQorsDoc* m_doc;
    qor::items::ChartDesc m_work;
    bool m_haveWork = false;
    int m_selected = 0;
    int m_dragState = 0;  // 0 idle, 1 pressed on a part, 2 dragging
    int m_handleMode = 0;
    QPoint m_last;
    qor::items::Rect m_dragRect;
    // The window's own tracker while it moves or sizes the window.
    int m_trackHit = -1;
    QPoint m_trackStartGlobal;
    QRect m_trackStartRect;
};

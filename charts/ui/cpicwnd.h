#pragma once
// The chart window: shows the document's current chart and edits it — a
// part (titles, legend, plot) selected, moved or, for the plot, resized by
// its handles with the mouse; the type, titles and data groups from its
// commands. Every change goes to the document at once.

#include <QPoint>
#include <QWidget>

#include "charts/chartdesc.h"
#include "view/chartcmd_logic.h"

class CGraphItem;
class CQorsDoc;

class CPicWnd : public QWidget, public qor::view::IChartWindow {
    Q_OBJECT

public:
    static constexpr int kCmdTitle = 33008;
    static constexpr int kCmdXTitle = 33009;
    static constexpr int kCmdYTitle = 33010;
    static constexpr int kCmdToggleGrouping = 33013;
    static constexpr int kCmdPreviousGroup = 33229;
    static constexpr int kCmdNextGroup = 33230;
    static constexpr int kDlgEditTitle = 225;

    CPicWnd(CQorsDoc* doc, QWidget* parent);
    ~CPicWnd() override;

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    CGraphItem* currentChart() const;
    // Reads the chart as the document holds it into the working copy.
    bool reload();
    // The working copy to the document, and every view redrawn.
    void commit();

    CQorsDoc* m_doc;
    qor::items::ChartDesc m_work;
    bool m_haveWork = false;
    int m_selected = 0;
    int m_dragState = 0;  // 0 idle, 1 pressed on a part, 2 dragging
    int m_handleMode = 0;
    QPoint m_last;
    qor::items::Rect m_dragRect;
};

#pragma once
// The page-tab strip at the bottom of a report window, left of the first
// horizontal scroll bar: a mode button ("格式" / "数据") that asks for the
// other mode, four arrows that scroll the row of tabs, one tab per page
// and a gripper that drags the strip's width against the scroll bar. In
// format mode it collapses to the mode button.
//
// The layout and the effect of a press live in tabs_logic.h; this widget
// paints them and tells its parent: the splitter (or another frame)
// re-lays out for a new width and carries out the commands it asks for
// (commandRequested with kCmdEnterData, kCmdEnterFormat, kCmdPageActivate).

#include <QPointer>
#include <QWidget>

#include "view/tabs_logic.h"

class CQorsView;
class CQorsDoc;

class CPageCtrl : public QWidget {
    Q_OBJECT

public:
    explicit CPageCtrl(QWidget* parent = nullptr);

    // Makes the strip the child kPageCtrlId of parent, shown.
    bool Create(QWidget* parent, int id = qor::view::kPageCtrlId);
    int ControlId() const { return m_id; }
    // Stores the strip's width and places it (right and bottom just past
    // the edge), under its siblings.
    void SetPosition(int left, int top, int right, int bottom, int width);
    // Format mode: keeps the width for later and shrinks to the mode button.
    void CollapseTabArea();
    // Data mode: the tabs come back at the width kept.
    void RestoreTabArea();
    // The frame publishes the pages: count and current page (from 1). The
    // first visible page moves so that the current tab is shown whole.
    void SetPageTabs(int pageCount, int currentPage);
    // Makes the page delta pages away current (clamped to the pages) and
    // shows its tab; false when the current page stays.
    bool StepCurrentPage(int delta);

    // The height of the row the strip shares with the horizontal scroll
    // bar: the bar's own, or what the tab captions need at the strip's font
    // when that is more.
    int RowHeight(int scrollBarExtent) const;

    // The sheet view beside the strip: the splitter's first pane, else the
    // view given by SetSheetView.
    CQorsView* GetSheetView() const;
    void SetSheetView(CQorsView* view) { m_view = view; }
    CQorsDoc* GetDocument() const;

    const qor::view::TabStripState& State() const { return m_state; }
    int StripWidth() const { return m_state.width; }
    void SetSavedWidth(int width) { m_state.savedWidth = width; }
    // False until the strip got its first width in data mode (from the
    // parent's layout or the gripper): until then the parent chooses it.
    bool HasWidth() const { return m_widthChosen; }
    void SetChosenWidth(int width);
    bool IsTabAreaShown() const { return m_state.shown; }
    int CurrentPage() const { return m_state.current; }
    int FirstVisiblePage() const { return m_state.first; }
    qor::view::TabMetrics Metrics() const;
    // The tabs as the next paint draws them (client pixels).
    std::vector<qor::view::TabRect> TabLayout();
    qor::view::ArrowButton PressedArrow() const { return m_pressed; }

    // The cursor for a splitter hit code (rows, columns or both).
    static void SetSplitCursor(QWidget* widget, int hit);

    // Set by a frame that wants the next tab press reported even when the
    // page did not change.
    int m_bRefreshRequested = 0;

signals:
    void commandRequested(int id);
    // The strip's width changed (drag, collapse, restore).
    void widthChanged(int width);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void press(QPoint p);
    void relayoutParent();
    void showCurrentTab();
    int textWidth(const QString& text) const;

    qor::view::TabStripState m_state;
    int m_id = 0;
    bool m_dragging = false;
    bool m_widthChosen = false;
    int m_widthAtPress = 0;
    qor::view::ArrowButton m_pressed = qor::view::ArrowButton::None;
    QPointer<CQorsView> m_view;
};

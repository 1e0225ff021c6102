#pragma once
// The sheet view's scrolling: the scroll bars the view follows and drives,
// the first shown row and column, and the jumps that move the current cell
// with them. Rows and columns are view indices; the view reaches its part
// through CQorsView::Scroll().

#include <QPointer>
#include <QScrollBar>

class CQorsView;

class ViewScroll {
public:
    explicit ViewScroll(CQorsView& view) : m_v(view) {}

    // The splitter's shared scroll bars (either may be null); the view then
    // follows and drives them.
    void SetScrollBars(QScrollBar* horizontal, QScrollBar* vertical);
    // The bars' ranges after the sheet changed size, the first shown cell
    // pulled back inside.
    void UpdateScrollRanges();
    // Scrolls (row, col) to the top-left and makes it current; the
    // selection ends at (endRow, endCol), or at the cell for -1, -1.
    void GoToCell(int row, int col, int endRow = -1, int endCol = -1);
    // Moves one scroll position only and selects the cell alone.
    void ScrollToCell(int row, int col, bool horizontalOnly);
    // With col -1: the first column of row outside every combined area;
    // with row -1: the first such row of col. 0 when there is none.
    int FindUncombinedCell(int row, int col) const;
    // Sets the first visible row and column (clamped and moved off the
    // hidden band) and the scroll bars with them.
    void SetFirstCell(int row, int col);
    // The bars at the view's first shown row and column, without their
    // moves coming back to the view.
    void SyncScrollBars();
    // Both bars at their ends (Ctrl+End), the view following them.
    void ScrollBarsToEnd();
    // Off while a chart or an object is edited over the sheet at a fixed
    // place, so its window stays on its cells.
    void SetSheetScrolling(bool on);

private:
    CQorsView& m_v;
    QPointer<QScrollBar> m_hBar, m_vBar;
    bool m_syncingBars = false;
};

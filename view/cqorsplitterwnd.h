#pragma once
// The splitter of a report window: up to two rows and two columns of sheet
// views sharing scroll bars (every pane of a column follows that column's
// horizontal bar, every pane of a row its row's vertical bar), with split
// boxes and split bars, and the page-tab strip beside the first horizontal
// scroll bar. Split bars snap to the sheet's row and column edges while
// dragged; a double-click on a split box splits at the current cell, one
// on a split bar removes the split.
//
// The arithmetic is in tabs_splitter.h. Until a frame takes over, the
// splitter carries out the strip's commands on the document itself and
// keeps the strip in step with the document's state and pages.

#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <array>

#include "view/cpagectrl.h"
#include "view/tabs_splitter.h"

class CQorsDoc;
class CQorsView;

class CQorSplitterWnd : public QWidget {
    Q_OBJECT

public:
    explicit CQorSplitterWnd(QWidget* parent = nullptr);
    ~CQorSplitterWnd() override;

    // Creates pane (0, 0) over doc, the scroll bars and the strip. A
    // maximum of 1 row (column) offers no split in that direction.
    bool Create(QWidget* parent, int maxRows, int maxCols, QSize minPane, CQorsDoc* doc);

    CQorsDoc* GetDocument() const { return m_doc; }
    CQorsView* GetPane(int row, int col) const;
    int GetRowCount() const { return m_rows; }
    int GetColumnCount() const { return m_cols; }
    QScrollBar* HorizontalBar(int col) const;
    QScrollBar* VerticalBar(int row) const;
    CPageCtrl& PageCtrl() { return m_wndPageCtrl; }
    int TabAreaWidth() const { return m_nTabAreaWidth; }
    qor::view::SplitterMetrics Metrics() const;
    const qor::view::SplitterLayout& Layout() const { return m_layout; }

    // The strip's new width: stored, and the first horizontal bar moved.
    void SetTabAreaWidth(int width);
    void RecalcLayout();
    int HitTest(QPoint p) const;

    // Splits at a client position (rows: y, columns: x); false when there is
    // no room or the split is at its maximum.
    bool SplitRow(int y);
    bool SplitColumn(int x);
    bool DeleteRow(int row);
    bool DeleteColumn(int col);
    // The pane that has (or last had) the focus.
    CQorsView* ActivePane() const;

    // The strip's commands: data mode, format mode, the page the strip shows.
    // Carried out here unless a frame has taken them over, in which case
    // they are only passed on (commandRequested).
    void OnPageCommand(int id);
    void SetFrameTakesCommands(bool on) { m_frameTakesCommands = on; }
    bool FrameTakesCommands() const { return m_frameTakesCommands; }
    // Publishes the document's pages to the strip and collapses or restores
    // it with the document's state.
    void SyncPageTabs();

    // Set by a double-click split, with the row or column index + 1 at
    // which it split (0 in the middle); set when a split bar is released.
    int32_t m_bSplitDone = 0;
    int32_t m_nSplitCol = 0;
    int32_t m_nSplitRow = 0;
    int32_t m_bRowBarDragged = 0;
    int32_t m_bColBarDragged = 0;
    int32_t m_nFirstColWidth = 0;

signals:
    // A strip command, after the splitter carried it out when no frame
    // takes them.
    void commandRequested(int id);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CQorsView* makePane(int row, int col, const CQorsView* like);
    void attachBars();
    int trackPosition(QPoint p) const;
    void keepStripWidthInFormatMode();

    CPageCtrl m_wndPageCtrl;
    bool m_frameTakesCommands = false;
    int m_nTabAreaWidth = qor::view::kInitialSavedWidth;
    QPointer<CQorsDoc> m_doc;
    int m_maxRows = 2, m_maxCols = 2;
    QSize m_minPane{10, 10};
    int m_rows = 1, m_cols = 1;
    int m_firstRowSize = 0, m_firstColSize = 0;
    std::array<std::array<CQorsView*, 2>, 2> m_panes{};
    std::array<QScrollBar*, 2> m_hBars{};
    std::array<QScrollBar*, 2> m_vBars{};
    QWidget* m_tracker = nullptr;
    int m_trackHit = 0;
    int m_activeRow = 0, m_activeCol = 0;
    qor::view::TabAreaScaler m_scaler;
    qor::view::SplitterLayout m_layout;
};

#include "view/cqorsplitterwnd.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "view/cqorsview.h"

using namespace qor::view;

CQorSplitterWnd::CQorSplitterWnd(QWidget* parent) : QWidget(parent) {}

// The strip, a member, goes before the panes and bars, which the widget
// base deletes as children.
CQorSplitterWnd::~CQorSplitterWnd() = default;

bool CQorSplitterWnd::Create(QWidget* parent, int maxRows, int maxCols, QSize minPane,
                             CQorsDoc* doc) {
    if (parent) setParent(parent);
    m_doc = doc;
    m_maxRows = std::clamp(maxRows, 1, 2);
    m_maxCols = std::clamp(maxCols, 1, 2);
    m_minPane = minPane.expandedTo(QSize(1, 1));
    setObjectName(QStringLiteral("pane_%1").arg(kFirstPaneId));

    m_hBars[0] = new QScrollBar(Qt::Horizontal, this);
    m_hBars[0]->setObjectName(QStringLiteral("bar_%1").arg(kHScrollBarId));
    m_vBars[0] = new QScrollBar(Qt::Vertical, this);
    m_vBars[0]->setObjectName(QStringLiteral("bar_%1").arg(kVScrollBarId));
    m_panes[0][0] = makePane(0, 0, nullptr);
    attachBars();

    m_tracker = new QWidget(this);
    m_tracker->setAutoFillBackground(true);
    QPalette pal = m_tracker->palette();
    pal.setColor(QPalette::Window, Qt::darkGray);
    m_tracker->setPalette(pal);
    m_tracker->hide();

    if (!m_wndPageCtrl.Create(this, kPageCtrlId)) return false;
    if (!m_wndPageCtrl.IsTabAreaShown()) m_nTabAreaWidth = kInitialSavedWidth;
    connect(&m_wndPageCtrl, &CPageCtrl::commandRequested, this, &CQorSplitterWnd::OnPageCommand);
    if (m_doc) {
        connect(m_doc, &CQorsDoc::changed, this, [this](int hint) {
            if (hint != CQorsDoc::kHintCells && hint != CQorsDoc::kHintItems) SyncPageTabs();
        });
    }
    SyncPageTabs();
    RecalcLayout();
    return true;
}

SplitterMetrics CQorSplitterWnd::Metrics() const {
    SplitterMetrics m;
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    m.vScrollWidth = extent;
    // The bottom row carries the page tabs beside the scroll bar: it is as
    // tall as their captions need, so no caption loses its lower part.
    m.hScrollHeight = m_wndPageCtrl.RowHeight(extent);
    return m;
}

CQorsView* CQorSplitterWnd::GetPane(int row, int col) const {
    if (row < 0 || row >= m_rows || col < 0 || col >= m_cols) return nullptr;
    return m_panes[size_t(row)][size_t(col)];
}

QScrollBar* CQorSplitterWnd::HorizontalBar(int col) const {
    return col >= 0 && col < m_cols ? m_hBars[size_t(col)] : nullptr;
}

QScrollBar* CQorSplitterWnd::VerticalBar(int row) const {
    return row >= 0 && row < m_rows ? m_vBars[size_t(row)] : nullptr;
}

CQorsView* CQorSplitterWnd::ActivePane() const {
    CQorsView* pane = GetPane(m_activeRow, m_activeCol);
    return pane ? pane : GetPane(0, 0);
}

CQorsView* CQorSplitterWnd::makePane(int row, int col, const CQorsView* like) {
    // An entry left open in the active pane is committed before another
    // view of the same cells appears.
    if (CQorsView* active = m_panes[0][0] ? ActivePane() : nullptr)
        active->CellEdit().CommitPendingEdit();
    auto* view = new CQorsView(m_doc, this);
    view->setObjectName(QStringLiteral("pane_%1_%2").arg(row).arg(col));
    view->OnInitialUpdate();
    if (like) {
        const ViewState state = like->m_display.CurrentViewState();
        const auto saved = EncodeViewState(state);
        view->Display().SetViewScale(saved[0], saved[1], saved[2], state.scale);
        view->Scroll().SetFirstCell(like->m_nFirstRow, like->m_nFirstCol);
    }
    view->m_nPaneRow = row;
    view->m_nPaneCol = col;
    view->installEventFilter(this);
    view->show();
    return view;
}

void CQorSplitterWnd::attachBars() {
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_cols; ++c)
            if (CQorsView* v = m_panes[size_t(r)][size_t(c)]) {
                v->m_nPaneRow = r;
                v->m_nPaneCol = c;
                v->Scroll().SetScrollBars(m_hBars[size_t(c)], m_vBars[size_t(r)]);
            }
}

bool CQorSplitterWnd::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn)
        if (auto* view = qobject_cast<CQorsView*>(watched)) {
            m_activeRow = view->m_nPaneRow;
            m_activeCol = view->m_nPaneCol;
        }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Layout

void CQorSplitterWnd::SetTabAreaWidth(int width) {
    m_nTabAreaWidth = width;
    RecalcLayout();
}

void CQorSplitterWnd::RecalcLayout() {
    if (!m_panes[0][0]) return;  // not created yet
    const SplitterMetrics m = Metrics();
    const bool dataMode = m_wndPageCtrl.IsTabAreaShown();
    const int insideWidth = std::max(0, width() - m.vScrollWidth);
    const int firstCol = m_cols == 2 ? std::min(m_firstColSize, insideWidth) : insideWidth;
    if (dataMode) m_nTabAreaWidth = m_scaler.Scale(m_nTabAreaWidth, firstCol, m);
    if (dataMode && firstCol > 0 && !m_wndPageCtrl.HasWidth()) {
        // The first layout in data mode gives the tabs two thirds of the
        // window; later layouts scale that with the first column.
        const int initial = InitialStripWidth(true, width(), m_wndPageCtrl.Metrics());
        m_nTabAreaWidth = m_scaler.Scale(initial, firstCol, m);
        m_wndPageCtrl.SetChosenWidth(m_nTabAreaWidth);
    }
    m_nFirstColWidth = firstCol;

    SplitterLayoutInput in;
    in.client = size();
    in.rows = m_rows;
    in.cols = m_cols;
    in.maxRows = m_maxRows;
    in.maxCols = m_maxCols;
    in.firstRowSize = m_firstRowSize;
    in.firstColSize = m_firstColSize;
    in.tabAreaWidth = m_nTabAreaWidth;
    in.dataMode = dataMode;
    in.collapsedWidth = m_wndPageCtrl.Metrics().CollapsedWidth();
    m_layout = LayoutSplitter(in, m);

    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 2; ++c)
            if (CQorsView* v = GetPane(r, c)) v->setGeometry(m_layout.pane[r][c]);
    for (int c = 0; c < 2; ++c)
        if (m_hBars[size_t(c)]) m_hBars[size_t(c)]->setGeometry(m_layout.hBar[c]);
    for (int r = 0; r < 2; ++r)
        if (m_vBars[size_t(r)]) m_vBars[size_t(r)]->setGeometry(m_layout.vBar[r]);
    const QRect s = m_layout.strip;
    m_wndPageCtrl.SetPosition(s.left(), s.top(), s.right() + 1, s.bottom() + 1,
                              dataMode ? m_nTabAreaWidth : in.collapsedWidth);
    update();
}

int CQorSplitterWnd::HitTest(QPoint p) const {
    return HitTestSplitter(m_layout, m_rows, m_cols, p);
}

void CQorSplitterWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RecalcLayout();
}

void CQorSplitterWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    for (const QRect& r : {m_layout.vSplitBox, m_layout.hSplitBox, m_layout.sizeBox}) {
        if (r.isEmpty()) continue;
        p.fillRect(r, pal.button());
        p.setPen(pal.light().color());
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(pal.dark().color());
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
    for (const QRect& r : {m_layout.rowBar, m_layout.columnBar})
        if (!r.isEmpty()) p.fillRect(r, pal.button());
}

// ---------------------------------------------------------------------------
// Splitting

bool CQorSplitterWnd::SplitRow(int y) {
    const int insideH = m_layout.inside.height();
    const int bar = Metrics().splitterWidth;
    if (m_rows >= m_maxRows || y < m_minPane.height() || y > insideH - bar - m_minPane.height())
        return false;
    m_firstRowSize = y;
    m_vBars[1] = new QScrollBar(Qt::Vertical, this);
    m_vBars[1]->setObjectName(QStringLiteral("bar_%1").arg(kVScrollBarId + 1));
    m_vBars[1]->show();
    for (int c = 0; c < m_cols; ++c) m_panes[1][size_t(c)] = makePane(1, c, m_panes[0][size_t(c)]);
    m_rows = 2;
    attachBars();
    RecalcLayout();
    return true;
}

bool CQorSplitterWnd::SplitColumn(int x) {
    const int insideW = m_layout.inside.width();
    const int bar = Metrics().splitterWidth;
    if (m_cols >= m_maxCols || x < m_minPane.width() || x > insideW - bar - m_minPane.width())
        return false;
    m_firstColSize = x;
    m_hBars[1] = new QScrollBar(Qt::Horizontal, this);
    m_hBars[1]->setObjectName(QStringLiteral("bar_%1").arg(kHScrollBarId + 1));
    m_hBars[1]->show();
    for (int r = 0; r < m_rows; ++r) m_panes[size_t(r)][1] = makePane(r, 1, m_panes[size_t(r)][0]);
    m_cols = 2;
    attachBars();
    RecalcLayout();
    return true;
}

bool CQorSplitterWnd::DeleteRow(int row) {
    if (m_rows < 2 || row < 0 || row > 1) return false;
    for (int c = 0; c < m_cols; ++c) {
        delete m_panes[size_t(row)][size_t(c)];
        if (row == 0) m_panes[0][size_t(c)] = m_panes[1][size_t(c)];
        m_panes[1][size_t(c)] = nullptr;
    }
    delete m_vBars[1];
    m_vBars[1] = nullptr;
    m_rows = 1;
    m_activeRow = 0;
    attachBars();
    RecalcLayout();
    return true;
}

bool CQorSplitterWnd::DeleteColumn(int col) {
    if (m_cols < 2 || col < 0 || col > 1) return false;
    for (int r = 0; r < m_rows; ++r) {
        delete m_panes[size_t(r)][size_t(col)];
        if (col == 0) m_panes[size_t(r)][0] = m_panes[size_t(r)][1];
        m_panes[size_t(r)][1] = nullptr;
    }
    delete m_hBars[1];
    m_hBars[1] = nullptr;
    m_cols = 1;
    m_activeCol = 0;
    attachBars();
    RecalcLayout();
    return true;
}

void CQorSplitterWnd::keepStripWidthInFormatMode() {
    if (m_wndPageCtrl.IsTabAreaShown()) return;
    if (CQorsView* pane = GetPane(0, 0)) m_wndPageCtrl.SetSavedWidth(pane->width() / 3);
}

// ---------------------------------------------------------------------------
// Mouse: tracking split bars, double-click splits

int CQorSplitterWnd::trackPosition(QPoint p) const {
    const QRect inside = m_layout.inside;
    const bool rows = IsRowHit(m_trackHit);
    const int pos =
        rows ? std::clamp(p.y(), 0, inside.height()) : std::clamp(p.x(), 0, inside.width());
    const int across = rows ? p.x() : p.y();
    const int acrossLimit = rows ? inside.width() : inside.height();
    const CQorsView* pane = GetPane(0, 0);
    if (!pane || across < 0 || across > acrossLimit) return pos;
    const SheetGeometry& geo = pane->Geometry();
    const int origin = rows ? pane->y() : pane->x();
    const std::optional<int> edge =
        rows ? SnapSplitBar(geo, true, pane->m_nFirstRow, geo.HeaderHeight(), pos - origin)
             : SnapSplitBar(geo, false, pane->m_nFirstCol, geo.HeaderWidth(), pos - origin);
    return edge ? *edge + origin : pos;
}

void CQorSplitterWnd::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int hit = HitTest(event->position().toPoint());
    if (hit == kHitNone || IsBothHit(hit)) return;
    m_trackHit = hit;
    mouseMoveEvent(event);
}

void CQorSplitterWnd::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!m_trackHit) {
        CPageCtrl::SetSplitCursor(this, HitTest(p));
        return;
    }
    const int pos = trackPosition(p);
    const int bar = Metrics().splitterWidth;
    if (IsRowHit(m_trackHit))
        m_tracker->setGeometry(0, pos, m_layout.inside.width(), bar);
    else
        m_tracker->setGeometry(pos, 0, bar, m_layout.inside.height());
    m_tracker->show();
    m_tracker->raise();
}

void CQorSplitterWnd::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_trackHit) return;
    const int pos = trackPosition(event->position().toPoint());
    const int hit = m_trackHit;
    m_trackHit = 0;
    m_tracker->hide();
    const int bar = Metrics().splitterWidth;
    if (IsRowHit(hit)) {
        m_bRowBarDragged = 1;
        const int insideH = m_layout.inside.height();
        if (m_rows == 1)
            SplitRow(pos);
        else if (pos < m_minPane.height())
            DeleteRow(0);
        else if (insideH - pos - bar < m_minPane.height())
            DeleteRow(1);
        else {
            m_firstRowSize = pos;
            RecalcLayout();
        }
    } else {
        m_bColBarDragged = 1;
        const int insideW = m_layout.inside.width();
        if (m_cols == 1)
            SplitColumn(pos);
        else if (pos < m_minPane.width())
            DeleteColumn(0);
        else if (insideW - pos - bar < m_minPane.width())
            DeleteColumn(1);
        else {
            m_firstColSize = pos;
            RecalcLayout();
        }
    }
    keepStripWidthInFormatMode();
}

void CQorSplitterWnd::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_trackHit = 0;
    m_tracker->hide();
    const int hit = HitTest(event->position().toPoint());
    CQorsView* pane = GetPane(0, 0);
    if (!pane || hit == kHitNone) return;
    const CellArea sel = pane->CurrentSelection().area;
    Rect cell{sel.first.col, sel.first.row, sel.first.col, sel.first.row};
    pane->Geometry().CellRangeToDocRect(cell);
    pane->Geometry().DocToClient(cell);
    const int tracker = Metrics().splitterWidth;
    if (hit == kHitVSplitBox) {
        const SplitAt at = SplitAtSelection(
            pane->Geometry(), true, sel.first.row, pane->m_nFirstRow,
            LastVisibleRow(pane->Geometry(), pane->height()), cell.top, tracker, pane->height());
        if (!SplitRow(pane->y() + at.position)) return;
        m_nSplitRow = at.index;
    } else if (hit == kHitHSplitBox) {
        const SplitAt at = SplitAtSelection(
            pane->Geometry(), false, sel.first.col, pane->m_nFirstCol,
            LastVisibleColumn(pane->Geometry(), pane->width()), cell.left, tracker, pane->width());
        if (!SplitColumn(pane->x() + at.position)) return;
        m_nSplitCol = at.index;
    } else if (IsRowHit(hit)) {
        DeleteRow(m_activeRow == 0 ? 1 : 0);
    } else if (IsColumnHit(hit)) {
        DeleteColumn(m_activeCol == 0 ? 1 : 0);
    } else if (IsBothHit(hit)) {
        const int row = m_activeRow == 0 ? 1 : 0;
        const int col = m_activeCol == 0 ? 1 : 0;
        DeleteRow(row);
        DeleteColumn(col);
    }
    m_bSplitDone = 1;
    keepStripWidthInFormatMode();
}

// ---------------------------------------------------------------------------
// The strip's commands and the document's pages

void CQorSplitterWnd::OnPageCommand(int id) {
    if (m_doc && !m_frameTakesCommands) {
        if (id == kCmdPageActivate) {
            // A page the document refuses must not stay shown as current.
            if (!m_doc->SetCurrentPage(m_wndPageCtrl.CurrentPage())) SyncPageTabs();
        } else if (id == kCmdEnterData) {
            m_doc->EnterDataState();
            SyncPageTabs();
        } else if (id == kCmdEnterFormat) {
            m_doc->EnterFormatState();
            SyncPageTabs();
        }
    }
    emit commandRequested(id);
}

void CQorSplitterWnd::SyncPageTabs() {
    if (!m_doc) return;
    const bool data = m_doc->IsDataState();
    if (data != m_wndPageCtrl.IsTabAreaShown()) {
        if (data)
            m_wndPageCtrl.RestoreTabArea();
        else
            m_wndPageCtrl.CollapseTabArea();
    }
    const CReportHandle* report = m_doc->GetReport();
    const int count = report ? report->GetPageCount() : m_doc->ViewState().pageCount;
    m_wndPageCtrl.SetPageTabs(count, m_doc->ViewState().curPage);
}

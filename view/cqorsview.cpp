#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QPageLayout>
#include <QPaintEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QTransform>
#include <algorithm>

#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "view/celleditor.h"
#include "view/cellpainter.h"
#include "view/displaystyle.h"
#include "view/input_edit.h"
#include "view/input_logic.h"

using namespace qor::view;

namespace {

bool geometryHint(int hint) { return hint != CQorsDoc::kHintCells && hint != CQorsDoc::kHintItems; }

// Selects from (row, col) to (endRow, endCol), view indices moved off the
// hidden band, in the document's indices.
void selectInDocument(CQorsView& v, int row, int col, int endRow, int endCol) {
    CQorsDoc* doc = v.GetDocument();
    if (!doc) return;
    const SheetGeometry& geo = v.Geometry();
    const int r1 = std::max(0, geo.DocRow(geo.SnapRow(row)));
    const int c1 = std::max(0, geo.DocColumn(geo.SnapColumn(col)));
    const int r2 = std::max(0, geo.DocRow(geo.SnapRow(endRow)));
    const int c2 = std::max(0, geo.DocColumn(geo.SnapColumn(endCol)));
    doc->Selection().SetSelection(r1, c1, r2, c2);
}

}  // namespace

CQorsView::CQorsView(CQorsDoc* doc, QWidget* parent)
    : QWidget(parent), m_pDoc(doc), m_source(doc), m_geo(&m_source, kDefaultViewScale) {
    // The header metrics belong to the screen; the first view measures it
    // when the application has not.
    if (!BaseHeaderMetricsSet()) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        SetBaseHeaderMetrics(screen ? ComputeHeaderMetrics(screen->logicalDotsPerInchX(),
                                                           screen->logicalDotsPerInchY())
                                    : ComputeHeaderMetrics(96, 96));
    }
    // One selection for every view of the document: a later view joins the
    // first one's; the first lends its own to the document.
    for (CQorsView* other : SheetViewsOf(doc))
        if (other != this && other->m_selection) {
            m_selection = other->m_selection;
            break;
        }
    if (!m_selection) {
        m_selection = std::make_shared<qor::SheetSelection>();
        if (m_pDoc) m_pDoc->LendSelection(m_selection.get());
    }
    applyViewState(DefaultViewState());
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    // Items and files are dropped onto the sheet.
    setAcceptDrops(true);
    if (m_pDoc) {
        connect(m_pDoc, &CQorsDoc::changed, this, &CQorsView::onDocumentChanged);
        // Copy, cut and paste belong to the in-cell editor while it has the
        // focus.
        m_pDoc->Clipboard().SetCellEditForwarder(
            [edit = QPointer<CCellEdit>(m_cellEdit.CellEditor())](int message) {
                if (!edit || !edit->hasFocus()) return false;
                if (message == DocClipboard::kEditCopy) edit->copy();
                if (message == DocClipboard::kEditCut) edit->cut();
                if (message == DocClipboard::kEditPaste) edit->paste();
                return true;
            });
    }
    RefreshGeometry();
    UpdateScrollRanges();
}

CQorsView::~CQorsView() {
    // An object edited in place over this view goes back into the report
    // while both are whole.
    m_inPlace.Deactivate();
    // A pending entry is stored while the view is still whole; the editors
    // then forget it, so the focus leaving them while the widget base class
    // tears down the children reaches no view.
    m_cellEdit.CommitPendingEdit();
    // The bars are the splitter's and outlive this pane.
    if (m_items.IsChartEditing()) setSheetScrolling(true);
    m_cellEdit.Detach();
    // The last view of the document hands the selection back to it.
    if (m_pDoc && m_selection.use_count() == 1) m_pDoc->LendSelection(nullptr);
}

void CQorsView::OnInitialUpdate() {
    m_bRelayoutPending = 1;
    ViewState state = DefaultViewState();
    std::array<uint32_t, 4> saved{};
    if (m_pDoc && m_pDoc->GetSavedViewState(&saved)) {
        state = DecodeViewState(saved);
        // A repaired state goes back to the report, so it is not repaired
        // again on every open.
        if (EncodeViewState(state) != saved) m_pDoc->SetSavedViewState(EncodeViewState(state));
    }
    applyViewState(state);
    RefreshGeometry();
    UpdateScrollRanges();
}

void CQorsView::RefreshGeometry() {
    const float printScale = m_pDoc ? m_pDoc->PageSetup().scale : 1.0f;
    m_geo.SetScale(m_bPrintMapping ? printScale : m_fScale);
    m_geo.Refresh();
    m_geo.SetHeaders(m_nHeaderWidth, m_nHeaderHeight);
    m_geo.SetFirstCell(m_nFirstRow, m_nFirstCol);
    if (m_pDoc && m_pDoc->IsOpen() && !m_bPrintMapping) {
        m_pDoc->ViewState().sheetWidth = m_geo.SheetWidth();
        m_pDoc->ViewState().sheetHeight = m_geo.SheetHeight();
    }
}

void CQorsView::onDocumentChanged(int hint) {
    if (geometryHint(hint)) {
        RefreshGeometry();
        UpdateScrollRanges();
        if (m_pDoc && m_pDoc->ViewState().showPageBreaks) m_pages.RecalcPageLayout();
        // Rows, columns or the table changed size: no item is left off the
        // sheet where nobody could reach it.
        if (hint == CQorsDoc::kHintLayout) m_items.ClampItemsToSheet();
    }
    // A command moved the current cell (the locate dialog): the view goes
    // there as a user's jump would.
    if (hint == CQorsDoc::kHintGoToCurrent && m_pDoc && m_pDoc->IsOpen()) {
        GoToCell(CurrentRow(), CurrentColumn());
        m_cellEdit.ShowCellReference(1);
    } else if ((hint == CQorsDoc::kHintState || hint == CQorsDoc::kHintAll) &&
               m_cellEdit.FollowsReference()) {
        // A command (a search, a page turned) may have moved the current
        // cell or page: the name box of the view the user works in follows.
        m_cellEdit.ShowCellReference(1);
    }
    update();
}

// ---------------------------------------------------------------------------
// Current cell and selection

int CQorsView::CurrentRow() const { return m_pDoc ? m_geo.ViewRow(m_selection->CurrentRow()) : 0; }

int CQorsView::CurrentColumn() const {
    return m_pDoc ? m_geo.ViewColumn(m_selection->CurrentColumn()) : 0;
}

CellArea CQorsView::SelectionArea() const {
    return m_pDoc ? m_geo.ViewArea(m_selection->Area()) : CellArea{};
}

// ---------------------------------------------------------------------------
// Scroll bars and navigation

void CQorsView::SetScrollBars(QScrollBar* horizontal, QScrollBar* vertical) {
    if (m_items.IsChartEditing()) setSheetScrolling(true);
    if (m_hBar) disconnect(m_hBar, nullptr, this, nullptr);
    if (m_vBar) disconnect(m_vBar, nullptr, this, nullptr);
    m_hBar = horizontal;
    m_vBar = vertical;
    // A bar moved onto the hidden band goes on past it in the direction it
    // was moving, so stepping through the band never sticks.
    if (m_vBar)
        connect(m_vBar, &QScrollBar::valueChanged, this, [this](int value) {
            if (m_syncingBars) return;
            m_cellEdit.CommitPendingEdit();
            if (m_geo.IsRowHidden(value))
                value = value > m_nFirstRow ? m_geo.StepRow(m_geo.SnapRow(value), false)
                                            : m_geo.SnapRow(value);
            SetFirstCell(value < 0 ? m_geo.LastRow() : value, m_nFirstCol);
        });
    if (m_hBar)
        connect(m_hBar, &QScrollBar::valueChanged, this, [this](int value) {
            if (m_syncingBars) return;
            m_cellEdit.CommitPendingEdit();
            if (m_geo.IsColumnHidden(value))
                value = value > m_nFirstCol ? m_geo.StepColumn(m_geo.SnapColumn(value), false)
                                            : m_geo.SnapColumn(value);
            SetFirstCell(m_nFirstRow, value < 0 ? m_geo.LastColumn() : value);
        });
    if (m_items.IsChartEditing()) setSheetScrolling(false);
    UpdateScrollRanges();
}

void CQorsView::syncScrollBars() {
    m_syncingBars = true;
    if (m_vBar) {
        m_vBar->setRange(0, std::max(0, m_geo.LastRow()));
        m_vBar->setValue(m_nFirstRow);
    }
    if (m_hBar) {
        m_hBar->setRange(0, std::max(0, m_geo.LastColumn()));
        m_hBar->setValue(m_nFirstCol);
    }
    m_syncingBars = false;
}

void CQorsView::UpdateScrollRanges() {
    m_nRowCount = m_geo.RowCount();
    m_nColCount = m_geo.ColumnCount();
    m_nFirstRow = std::max(0, std::min(m_nFirstRow, m_geo.LastRow()));
    m_nFirstCol = std::max(0, std::min(m_nFirstCol, m_geo.LastColumn()));
    m_geo.SetFirstCell(m_nFirstRow, m_nFirstCol);
    syncScrollBars();
}

void CQorsView::SetFirstCell(int row, int col) {
    m_nFirstRow = m_geo.LastRow() < 0 ? 0 : m_geo.SnapRow(row);
    m_nFirstCol = m_geo.LastColumn() < 0 ? 0 : m_geo.SnapColumn(col);
    m_geo.SetFirstCell(m_nFirstRow, m_nFirstCol);
    syncScrollBars();
    update();
}

void CQorsView::GoToCell(int row, int col, int endRow, int endCol) {
    row = m_geo.SnapRow(row);
    col = m_geo.SnapColumn(col);
    SetFirstCell(row, col);
    if (endRow == -1 && endCol == -1) {
        // A cell of a combined area is selected with its whole area.
        SetCurrentAndSelection(SelectCell(CombinedAreas(), row, col));
    } else {
        selectInDocument(*this, row, col, endRow, endCol);
        m_cellEdit.UpdateEditLine(1);
    }
    if (m_pDoc) m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
}

void CQorsView::ScrollToCell(int row, int col, bool horizontalOnly) {
    row = m_geo.SnapRow(row);
    col = m_geo.SnapColumn(col);
    if (horizontalOnly)
        SetFirstCell(m_nFirstRow, col);
    else
        SetFirstCell(row, m_nFirstCol);
    SetCurrentAndSelection(SelectCell(CombinedAreas(), row, col));
    if (m_pDoc) m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
}

int CQorsView::FindUncombinedCell(int row, int col) const {
    if (!m_pDoc) return 0;
    if (col == -1 && row >= 0) {
        const int r = m_geo.DocRow(row);
        if (r < 0) return 0;
        for (int c = 0; c <= m_geo.LastColumn(); ++c) {
            const int d = m_geo.DocColumn(c);
            if (d >= 0 && !m_pDoc->IsCombinedCell(r, d)) return c;
        }
    } else if (row == -1 && col >= 0) {
        const int c = m_geo.DocColumn(col);
        if (c < 0) return 0;
        for (int r = 0; r <= m_geo.LastRow(); ++r) {
            const int d = m_geo.DocRow(r);
            if (d >= 0 && !m_pDoc->IsCombinedCell(d, c)) return r;
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Scale, sizes, selection

void CQorsView::applyViewState(const ViewState& state) {
    m_nHeaderHeight = state.headerHeight;
    m_nHeaderWidth = state.headerWidth;
    m_crGrid = state.gridColour;
    m_bKindColours = state.kindColours;
    m_fScale = ValidViewScale(state.scale);
    if (m_pDoc) m_pDoc->ViewState().scale = m_fScale;
    m_geo.SetHeaders(m_nHeaderWidth, m_nHeaderHeight);
    if (!m_bPrintMapping) m_geo.SetScale(m_fScale);
    update();
}

void CQorsView::SetViewScale(uint32_t origin, uint32_t gridColour, uint32_t kindColours,
                             float scale) {
    applyViewState(DecodeViewState(origin, gridColour, kindColours, scale));
    if (m_pDoc && m_pDoc->IsOpen() && !m_bPrintMapping) {
        m_pDoc->ViewState().sheetWidth = m_geo.SheetWidth();
        m_pDoc->ViewState().sheetHeight = m_geo.SheetHeight();
    }
}

ViewState CQorsView::CurrentViewState() const {
    return ViewState{m_nHeaderHeight, m_nHeaderWidth, m_crGrid, m_bKindColours, m_fScale};
}

void CQorsView::ApplyRowColumnSize(int index, int size, bool isRow) {
    if (!m_pDoc) return;
    size = std::clamp(size, 0, isRow ? 480 : 640);
    const SizeTargets t = isRow ? RowSizeTargets(m_geo, SelectionArea(), index, size)
                                : ColumnSizeTargets(m_geo, SelectionArea(), index);
    // One redraw for the whole block, not one per line.
    ++m_pDoc->ViewState().redrawSuspended;
    for (int i = t.first; i <= t.last; ++i) {
        const int d = isRow ? m_geo.DocRow(i) : m_geo.DocColumn(i);
        if (d < 0) continue;
        if (isRow)
            m_pDoc->SetRowHeight(d, size);
        else
            m_pDoc->SetColumnWidth(d, size);
    }
    --m_pDoc->ViewState().redrawSuspended;
    m_pDoc->UpdateAllViews(CQorsDoc::kHintLayout);
}

void CQorsView::AdjustSelectionForVarArea(bool forward) {
    if (!m_pDoc || !m_geo.VarArea().kind) return;
    const bool rows = m_geo.HasRowArea();
    const CellArea sel = SelectionArea();
    const int anchorRow = m_geo.ViewRow(m_selection->AnchorRow());
    const int anchorCol = m_geo.ViewColumn(m_selection->AnchorColumn());
    int endRow = anchorRow == sel.first.row ? sel.last.row : sel.first.row;
    int endCol = anchorCol == sel.first.col ? sel.last.col : sel.first.col;
    int a = rows ? anchorRow : anchorCol;
    int e = rows ? endRow : endCol;
    qor::view::AdjustSelectionForVarArea(m_geo, rows, forward,
                                         rows ? CurrentRow() : CurrentColumn(), &a, &e);
    // The document cannot hold a hidden line; its band's last shown line
    // covers the same cells.
    int ar = anchorRow, ac = anchorCol;
    (rows ? ar : ac) = a;
    (rows ? endRow : endCol) = e;
    ar = m_geo.DocRow(m_geo.SnapRow(ar));
    ac = m_geo.DocColumn(m_geo.SnapColumn(ac));
    const int er = m_geo.DocRow(m_geo.SnapRow(endRow));
    const int ec = m_geo.DocColumn(m_geo.SnapColumn(endCol));
    m_selection->SetAnchorAndEnd(ar, ac, er, ec);
}

void CQorsView::DrawSizingLine(int x, int y, bool horizontal) {
    const QLine line = horizontal
                           ? QLine(m_nHeaderWidth, y, std::max(m_nHeaderWidth, width()), y)
                           : QLine(x, m_nHeaderHeight, x, std::max(m_nHeaderHeight, height()));
    if (m_sizingLine && *m_sizingLine == line)
        m_sizingLine.reset();
    else
        m_sizingLine = line;
    update();
}

// ---------------------------------------------------------------------------
// Painting

PaintRequest CQorsView::ScreenPaintRequest(const QRect& clip) const {
    PaintRequest req;
    req.doc = m_pDoc;
    req.geometry = &m_geo;
    req.clientSize = size();
    req.clip = clip;
    req.mode = PaintMode::kScreen;
    req.gridColour = m_crGrid;
    req.kindColours = m_bKindColours != 0;
    req.dataOnly = m_bDataOnly != 0;
    req.drag.active = m_bSizing != 0;
    req.drag.hitCode = m_nHitCode;
    req.drag.xSizing = m_xSizing;
    req.drag.ySizing = m_ySizing;
    req.drag.sizingOld = m_nSizingOld;
    req.selectedItem = m_items.Selected();
    req.chartEditing = m_items.IsChartEditing();
    if (CQorsDoc* doc = m_pDoc)
        req.refreshItem = [doc](CComItem* item) { doc->Items().RefreshChartPicture(item); };
    return req;
}

void CQorsView::OnDraw(QPainter& painter, const QRect& clip) {
    if (!m_pDoc || !m_pDoc->IsOpen() || m_pDoc->ViewState().redrawSuspended) {
        painter.fillRect(clip, palette().window());
        return;
    }
    m_geo.SetHeaders(m_nHeaderWidth, m_nHeaderHeight);
    m_geo.SetFirstCell(m_nFirstRow, m_nFirstCol);
    const PaintRequest req = ScreenPaintRequest(clip);
    m_bInPaint = 1;
    m_lastPaint = PaintSheet(painter, req);
    const PaintResult& r = m_lastPaint;
    m_bInPaint = 0;
    m_bRelayoutPending = 0;
    if (r.firstRow != m_nFirstRow || r.firstCol != m_nFirstCol) {
        m_nFirstRow = r.firstRow;
        m_nFirstCol = r.firstCol;
        m_geo.SetFirstCell(m_nFirstRow, m_nFirstCol);
        syncScrollBars();
    }
}

void CQorsView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    OnDraw(painter, event->rect());
    if (m_items.DropFocusRect()) {
        // Where a dragged item would land: a dotted frame over the cells.
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_items.DropFocusRect()->adjusted(0, 0, -1, -1));
    }
    if (m_sizingLine) {
        // The inverted line of the old drag, as an overlay that the next
        // paint takes away.
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawLine(*m_sizingLine);
    }
}

void CQorsView::OnContextMenu(QPoint) {}

void CQorsView::RequestCommand(int id) {
    // With a frame listening the command goes through its router once;
    // a view on its own runs its own commands.
    if (isSignalConnected(QMetaMethod::fromSignal(&CQorsView::commandRequested)))
        emit commandRequested(id);
    else
        OnCommand(id);
}

void CQorsView::contextMenuEvent(QContextMenuEvent* event) {
    if (m_bHeaderAction) {
        event->ignore();
        return;
    }
    // The mouse's menu comes from the button's release at its point
    // (OnRButtonUp); only the keyboard's request arrives here.
    if (event->reason() == QContextMenuEvent::Mouse) {
        event->accept();
        return;
    }
    OnContextMenu(mapToGlobal(rect().topLeft() + QPoint(5, 5)));
    event->accept();
}

void CQorsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_sizingLine) m_sizingLine.reset();
}

// ---------------------------------------------------------------------------
// Display scale and style

void CQorsView::OnDisplayScale() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    ZoomDlgMembers members;
    members.percent = ScaleToPercent(m_fScale);
    if (ViewDialogs()->RunZoomDlg(members) != qor::kIdOk) return;
    m_pDoc->SetModifiedFlag();
    const float oldScale = m_fScale;
    const ViewState next = ApplyZoom(CurrentViewState(), members.percent);
    applyViewState(next);

    std::array<uint32_t, 4> saved{};
    const bool haveSaved = m_pDoc->GetSavedViewState(&saved);
    m_pDoc->SetSavedViewState(MergeZoomIntoSaved(saved, haveSaved, next));

    ScaleDocumentItems(*m_pDoc, double(m_fScale) / double(oldScale));
    RefreshGeometry();
    int32_t rows = 0, cols = 0;
    m_pDoc->GetPageTableSize(&rows, &cols);
    m_pDoc->ViewState().sheetWidth = m_geo.GetColumnDistance(0, cols);
    m_pDoc->ViewState().sheetHeight = m_geo.GetRowDistance(0, rows);
    m_items.ClampItemsToSheet();
    UpdateScrollRanges();
    update();
    m_pDoc->UpdateAllViews(CQorsDoc::kHintAll);
}

void CQorsView::OnDisplayStyle() {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    DisplayStyleDlgMembers members = StyleMembersFor(CurrentViewState());
    if (ViewDialogs()->RunDisplayStyleDlg(members) != qor::kIdOk) return;
    SetRememberedPaletteIndex(members.gridIndex);
    const ViewState next = ApplyDisplayStyle(CurrentViewState(), members);
    applyViewState(next);
    m_pDoc->SetSavedViewState(EncodeViewState(next));
    for (QWidget* w : QApplication::allWidgets()) {
        auto* other = qobject_cast<CQorsView*>(w);
        if (!other || other == this || other->GetDocument() != m_pDoc) continue;
        other->m_crGrid = m_crGrid;
        other->m_bKindColours = m_bKindColours;
    }
    RefreshGeometry();
    UpdateScrollRanges();
    m_pDoc->UpdateAllViews(CQorsDoc::kHintAll);
    m_pDoc->SetModifiedFlag();
}

#include "view/chartcmd_logic.h"
#include "view/cqorsview.h"

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
    m_display.ApplyViewState(DefaultViewState());
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
        m_pDoc->Clipboard().SetRefusalTeller([view = QPointer<CQorsView>(this)](const QString& text) {
            if (!view || !view->isVisible()) return false;
            view->CellEdit().TellRefusal(text);
            return true;
        });
    }
    RefreshGeometry();
    m_scroll.UpdateScrollRanges();
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
    if (m_items.IsChartEditing()) m_scroll.SetSheetScrolling(true);
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
    m_display.ApplyViewState(state);
    RefreshGeometry();
    m_scroll.UpdateScrollRanges();
}

void CQorsView::RefreshGeometry() {
    const float printScale = m_pDoc ? m_pDoc->PageSetup().scale : 1.0f;
    m_geo.SetScale(m_bPrintMapping ? printScale : m_fScale);
    m_geo.Refresh();
    m_geo.SetHeaders(m_nHeaderWidth, m_nHeaderHeight);
    m_geo.SetFirstCell(m_nFirstRow, m_nFirstCol);
    if (m_pDoc && m_pDoc->IsOpen() && !m_bPrintMapping) {
        m_pDoc->SetSheetSize(m_geo.SheetWidth(), m_geo.SheetHeight());
    }
}

void CQorsView::onDocumentChanged(int hint) {
    if (geometryHint(hint)) {
        RefreshGeometry();
        m_scroll.UpdateScrollRanges();
        if (m_pDoc && m_pDoc->ViewState().showPageBreaks) m_pages.RecalcPageLayout();
        // Rows, columns or the table changed size: no item is left off the
        // sheet where nobody could reach it.
        if (hint == CQorsDoc::kHintLayout) m_items.ClampItemsToSheet();
    }
    // A command moved the current cell (the locate dialog): the view goes
    // there as a user's jump would.
    if (hint == CQorsDoc::kHintGoToCurrent && m_pDoc && m_pDoc->IsOpen()) {
        const Selection sel = CurrentSelection();
        m_scroll.GoToCell(sel.curRow, sel.curCol);
        m_cellEdit.ShowCellReference(1);
    } else if ((hint == CQorsDoc::kHintState || hint == CQorsDoc::kHintAll) &&
               m_cellEdit.FollowsReference()) {
        // A command (a search, a page turned) may have moved the current
        // cell or page: the name box of the view the user works in follows.
        m_cellEdit.ShowCellReference(1);
    }
    // What the cells hold changed (a delete, a cut, a paste, a command):
    // the formula bar shows the current cell as it is now.
    if ((hint == CQorsDoc::kHintCells || hint == CQorsDoc::kHintAll) && m_pDoc && m_pDoc->IsOpen())
        m_cellEdit.FollowCurrentCell();
    update();
}

// ---------------------------------------------------------------------------
// Sizes and selection

void CQorsView::ApplyRowColumnSize(int index, int size, bool isRow) {
    if (!m_pDoc) return;
    size = std::clamp(size, 0, isRow ? 480 : 640);
    const CellArea sel = CurrentSelection().area;
    const SizeTargets t =
        isRow ? RowSizeTargets(m_geo, sel, index, size) : ColumnSizeTargets(m_geo, sel, index);
    // One redraw for the whole block, not one per line.
    m_pDoc->SuspendRedraw();
    for (int i = t.first; i <= t.last; ++i) {
        const int d = isRow ? m_geo.DocRow(i) : m_geo.DocColumn(i);
        if (d < 0) continue;
        if (isRow)
            m_pDoc->SetRowHeight(d, size);
        else
            m_pDoc->SetColumnWidth(d, size);
    }
    m_pDoc->ResumeRedraw();
    m_pDoc->UpdateAllViews(CQorsDoc::kHintLayout);
}

void CQorsView::AdjustSelectionForVarArea(bool forward) {
    if (!m_pDoc || !m_geo.VarArea().kind) return;
    const bool rows = m_geo.HasRowArea();
    const Selection current = CurrentSelection();
    const CellArea& sel = current.area;
    const int anchorRow = m_geo.ViewRow(m_selection->AnchorRow());
    const int anchorCol = m_geo.ViewColumn(m_selection->AnchorColumn());
    int endRow = anchorRow == sel.first.row ? sel.last.row : sel.first.row;
    int endCol = anchorCol == sel.first.col ? sel.last.col : sel.first.col;
    int a = rows ? anchorRow : anchorCol;
    int e = rows ? endRow : endCol;
    qor::view::AdjustSelectionForVarArea(m_geo, rows, forward,
                                         rows ? current.curRow : current.curCol, &a, &e);
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
        m_scroll.SyncScrollBars();
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

// The sheet view's mouse and keyboard handlers and its side of in-cell
// editing. They only gather the event's facts and store the answers of
// input_logic.h and input_edit.h in the document.

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "charts/cgraphitem.h"
#include "document/cmd_formula.h"
#include "document/cqorsdoc.h"
#include "document/embeddededit.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/commandids.h"
#include "view/celleditor.h"
#include "view/cqorsview.h"
#include "view/input_edit.h"
#include "print/paint_style.h"
#include "print/viewitems_logic.h"

using namespace qor::view;

namespace {

using qor::cmd_ids::kCmdCopy;
using qor::cmd_ids::kCmdCut;
using qor::cmd_ids::kCmdPaste;
using qor::cmd_ids::kCmdSwitchState;

Qt::CursorShape cursorShape(HoverCursor c) {
    switch (c) {
        case HoverCursor::RowResize:
            return Qt::SizeVerCursor;
        case HoverCursor::RowSplit:
            return Qt::SplitVCursor;
        case HoverCursor::ColumnResize:
            return Qt::SizeHorCursor;
        case HoverCursor::ColumnSplit:
            return Qt::SplitHCursor;
        case HoverCursor::HeaderSelect:
            return Qt::PointingHandCursor;
        case HoverCursor::Arrow:
            break;
    }
    return Qt::ArrowCursor;
}

// Scrolls so that the moved selection stays shown (up: it moved up).
void keepRowsShown(CQorsView& v, const CellArea& sel, bool up) {
    const SheetGeometry& geo = v.Geometry();
    if (sel.first.row < v.FirstRow()) {
        v.Scroll().SetFirstCell(sel.first.row, v.FirstColumn());
    } else if (!up &&
               geo.HeaderHeight() + geo.GetRowDistance(v.FirstRow(), sel.last.row + 1) >
                   v.height() &&
               !ShowsLastRow(geo, v.height())) {
        v.Scroll().SetFirstCell(sel.first.row, v.FirstColumn());
    }
}

void keepColumnsShown(CQorsView& v, const CellArea& sel, bool left) {
    const SheetGeometry& geo = v.Geometry();
    if (sel.first.col < v.FirstColumn()) {
        v.Scroll().SetFirstCell(v.FirstRow(), sel.first.col);
    } else if (!left &&
               geo.HeaderWidth() + geo.GetColumnDistance(v.FirstColumn(), sel.last.col + 1) >
                   v.width() &&
               !ShowsLastColumn(geo, v.width())) {
        v.Scroll().SetFirstCell(v.FirstRow(), sel.first.col);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Selection in the document

Selection CQorsView::CurrentSelection() const {
    if (!m_pDoc) return {};
    return {m_geo.ViewRow(m_selection->CurrentRow()),
            m_geo.ViewColumn(m_selection->CurrentColumn()), m_geo.ViewArea(m_selection->Area())};
}

CombinedLookup CQorsView::CombinedAreas() const {
    return [this](int row, int col) -> std::optional<CellArea> {
        if (!m_pDoc) return std::nullopt;
        const int r = m_geo.DocRow(row), c = m_geo.DocColumn(col);
        CellArea area;
        if (r < 0 || c < 0 || !m_pDoc->GetCombinedArea(r, c, &area)) return std::nullopt;
        return m_geo.ViewArea(area);
    };
}

void CQorsView::SetCurrentAndSelection(int row, int col, int r1, int c1, int r2, int c2) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    auto docRow = [this](int r) { return std::max(0, m_geo.DocRow(m_geo.SnapRow(r))); };
    auto docCol = [this](int c) { return std::max(0, m_geo.DocColumn(m_geo.SnapColumn(c))); };
    const int cr = docRow(row), cc = docCol(col);
    const int a = docRow(r1), b = docRow(r2), x = docCol(c1), y = docCol(c2);
    m_selection->SetCurrentAndArea(cr, cc,
                                   CellArea::area(std::min({a, b, cr}), std::min({x, y, cc}),
                                                  std::max({a, b, cr}), std::max({x, y, cc})));
    m_cellEdit.UpdateEditLine(1);
    // Every view of the document shows the same selection.
    if (m_pDoc) m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
    update();
}

void CQorsView::SetCurrentAndSelection(const Selection& sel) {
    SetCurrentAndSelection(sel.curRow, sel.curCol, sel.area.first.row, sel.area.first.col,
                           sel.area.last.row, sel.area.last.col);
}

void CQorsView::MoveCurrentCell(int direction) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    const Selection sel = MoveCurrent(m_geo, CombinedAreas(), CurrentSelection(), direction);
    m_selection->SetWholeRows(false);
    m_selection->SetWholeColumns(false);
    SetCurrentAndSelection(sel);
    if (direction == kMoveUp || direction == kMoveDown)
        keepRowsShown(*this, sel.area, direction == kMoveUp);
    else
        keepColumnsShown(*this, sel.area, direction == kMoveLeft);
}

void CQorsView::ExtendSelection(int row, int col, int dRow, int dCol) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    const Selection cur = CurrentSelection();
    const bool keys = dRow || dCol;
    const CellArea area = keys ? ExtendByStep(m_geo, CombinedAreas(), cur, dRow, dCol)
                               : ExtendToCell(m_geo, CombinedAreas(), cur, row, col, m_nHitCode);
    if (area == cur.area) return;
    SetCurrentAndSelection(Selection{cur.curRow, cur.curCol, area});
    // Neither end of the selection may rest on the variable area's hidden
    // lines; which way the movement goes decides where they go.
    const bool forward = keys ? dRow > 0 || dCol > 0
                              : (m_geo.HasRowArea() ? row >= cur.curRow : col >= cur.curCol);
    AdjustSelectionForVarArea(forward);
    if (keys) {
        // The edge that moved stays in view.
        if (dRow) {
            const int edge = area.first.row != cur.area.first.row ? area.first.row : area.last.row;
            keepRowsShown(*this, CellArea::cell(edge, cur.curCol), dRow < 0);
        }
        if (dCol) {
            const int edge = area.first.col != cur.area.first.col ? area.first.col : area.last.col;
            keepColumnsShown(*this, CellArea::cell(cur.curRow, edge), dCol < 0);
        }
        return;
    }
    // A drag past the window's edge scrolls on.
    if (m_nHitCode != kTargetColumns) {
        if (row >= LastVisibleRow(m_geo, height()) && !ShowsLastRow(m_geo, height())) {
            const int one = m_geo.StepRow(m_nFirstRow, false);
            const int two = one < 0 ? -1 : m_geo.StepRow(one, false);
            const int next = two >= 0 && two < m_geo.LastRow() ? two : one;
            if (next >= 0) m_scroll.SetFirstCell(next, m_nFirstCol);
        } else if (row <= m_nFirstRow && m_nFirstRow > 0) {
            m_scroll.SetFirstCell(std::max(0, m_geo.StepRow(m_nFirstRow, true)), m_nFirstCol);
        }
    }
    if (m_nHitCode != kTargetRows) {
        if (col >= LastVisibleColumn(m_geo, width()) && !ShowsLastColumn(m_geo, width())) {
            const int next = m_geo.StepColumn(m_nFirstCol, false);
            if (next >= 0) m_scroll.SetFirstCell(m_nFirstRow, next);
        } else if (col < m_nFirstCol) {
            m_scroll.SetFirstCell(m_nFirstRow, std::max(0, m_geo.StepColumn(m_nFirstCol, true)));
        }
    }
}

// ---------------------------------------------------------------------------
// Mouse

void CQorsView::hover(QPoint p) {
    m_ptHover = p;
    const Hover h = HoverTarget(m_geo, p, m_nPaneCol == 0, m_nPaneRow == 0);
    m_nHitCode = h.target;
    // Over the selected item its tracker shows how a press would size or
    // move it.
    if (!m_items.SetItemCursor(p)) setCursor(cursorShape(h.cursor));
}

void CQorsView::mousePressEvent(QMouseEvent* event) {
    const bool right = event->button() == Qt::RightButton;
    if (event->button() != Qt::LeftButton && !right) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    // A click on the report beside an object edited in place ends that
    // editing; the click then does what it does anyway.
    m_inPlace.Deactivate();
    if (!m_cellEdit.CommitPendingEdit()) {
        // The entry was refused and stays open: the click does not move on.
        event->accept();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    // Items lie over the cells: a press on one selects, moves or sizes it.
    if (m_items.PressItem(p, right)) {
        event->accept();
        return;
    }
    m_bLeftDown = 1;
    m_nHitCode = kTargetNone;
    m_ptTrack = m_ptDown = p;
    hover(p);
    pressCells(p, right, !right && (event->modifiers() & Qt::ShiftModifier));
    m_cellEdit.ShowCellReference(1);
    m_bPostButtonUp = 0;
    if (right) m_bLeftDown = 0;
    event->accept();
}

void CQorsView::pressCells(QPoint p, bool right, bool extend) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    const int t = m_nHitCode;
    const int lastRow = m_geo.LastRow(), lastCol = m_geo.LastColumn();
    if (IsColumnBorder(t)) m_xSizing = m_nHeaderWidth + m_geo.GetColumnDistance(m_nFirstCol, t);
    if (IsRowBorder(t))
        m_ySizing = m_nHeaderHeight + m_geo.GetRowDistance(m_nFirstRow, t - kTargetRowBorder);

    if (InCornerBox(m_geo, p)) {
        const CellArea all = CellArea::area(0, 0, lastRow, lastCol);
        if (m_selection->WholeRows() && m_selection->WholeColumns() &&
            CurrentSelection().area == all)
            return;
        m_selection->SetWholeRows(true);
        m_selection->SetWholeColumns(true);
        SetCurrentAndSelection(0, 0, 0, 0, lastRow, lastCol);
        return;
    }
    if (IsColumnBorder(t) || IsRowBorder(t)) {
        m_bSizing = 1;
        m_nSizingOld = -1;
        DrawSizingLine(p.x(), p.y(), IsRowBorder(t));
        return;
    }
    if (IsRowHeader(t)) {
        const int r = t - kTargetRowHeader;
        const CellArea area =
            WidenToCombined(CombinedAreas(), CellArea::area(r, 0, r, std::max(0, lastCol)));
        SetCurrentAndSelection(r, m_scroll.FindUncombinedCell(r, -1), area.first.row,
                               area.first.col, area.last.row, area.last.col);
        m_selection->SetWholeRows(true);
        m_selection->SetWholeColumns(false);
        m_nHitCode = kTargetRows;
        return;
    }
    if (IsColumnHeader(t)) {
        const int c = t - kTargetColumnHeader;
        const CellArea area =
            WidenToCombined(CombinedAreas(), CellArea::area(0, c, std::max(0, lastRow), c));
        SetCurrentAndSelection(m_scroll.FindUncombinedCell(-1, c), c, area.first.row,
                               area.first.col, area.last.row, area.last.col);
        m_selection->SetWholeColumns(true);
        m_selection->SetWholeRows(false);
        m_nHitCode = kTargetColumns;
        return;
    }
    m_selection->SetWholeRows(false);
    m_selection->SetWholeColumns(false);
    if (right) {
        // A context click inside the selection keeps it for the menu.
        const CellArea sel = CurrentSelection().area;
        Rect r{sel.first.col, sel.first.row, sel.last.col, sel.last.row};
        m_geo.CellRangeToDocRect(r);
        m_geo.DocToClient(r);
        if (p.x() >= r.left && p.x() < r.right && p.y() >= r.top && p.y() < r.bottom) return;
    }
    const CellHit h = qor::view::HitTestCell(m_geo, p);
    if (!h.hit || p.x() < m_nHeaderWidth || p.y() < m_nHeaderHeight) return;
    m_nHitCode = kTargetCells;
    // Shift+click reaches from the current cell to the one clicked, as a
    // drag from it would.
    if (extend) {
        ExtendSelection(h.row, h.col, 0, 0);
        return;
    }
    SetCurrentAndSelection(SelectCell(CombinedAreas(), h.row, h.col));
}

void CQorsView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    const Qt::MouseButtons b = event->buttons();
    if (b == Qt::RightButton) return;
    if (b != Qt::LeftButton || !m_bLeftDown) {
        hover(p);
        return;
    }
    if (m_nHitCode != kTargetNone) m_bMovedTracking = 1;
    if (IsColumnBorder(m_nHitCode) || IsRowBorder(m_nHitCode)) {
        const bool rows = IsRowBorder(m_nHitCode);
        // The lines after the border follow the mouse from where it was.
        const int edge =
            rows ? std::max(m_ySizing, m_ptTrack.y()) : std::max(m_xSizing, m_ptTrack.x());
        ScrollResizePreview(edge, rows ? p.y() - m_ptTrack.y() : p.x() - m_ptTrack.x(), !rows);
        DrawSizingLine(p.x(), p.y(), rows);
    } else if (m_nHitCode == kTargetCells || m_nHitCode == kTargetRows ||
               m_nHitCode == kTargetColumns) {
        const CellHit h = qor::view::HitTestCell(m_geo, p);
        if (h.hit) {
            int row = h.row, col = h.col;
            // Over a header strip the drag reaches for the line before the
            // first visible one, so that the view scrolls back.
            if (p.x() < m_nHeaderWidth && col == m_nFirstCol && col > 0)
                col = std::max(0, m_geo.StepColumn(col, true));
            if (p.y() < m_nHeaderHeight && row == m_nFirstRow && row > 0)
                row = std::max(0, m_geo.StepRow(row, true));
            ExtendSelection(row, col, 0, 0);
        }
    }
    m_ptTrack = p;
}

void CQorsView::finishSizing(QPoint p) {
    const int t = m_nHitCode;
    const bool rows = IsRowBorder(t);
    const int index = rows ? t - kTargetRowBorder : t;
    const int movement = rows ? p.y() - m_ptDown.y() : p.x() - m_ptDown.x();
    // A click on a border without a drag leaves the size alone: the
    // pixels-to-units rounding would otherwise change it.
    if (movement == 0) return;
    const int shown = rows ? m_geo.GetRowHeightPixels(index) : m_geo.GetColumnWidthPixels(index);
    const int size = DraggedSize(shown, movement, m_fScale, rows ? kMaxRowHeight : kMaxColumnWidth);
    ApplyRowColumnSize(index, size, rows);
    if (m_pDoc) m_pDoc->UpdateServerItems(this);
}

void CQorsView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        m_items.OnRButtonUp(event->position().toPoint());
        event->accept();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_bLeftDown = 0;
    m_bMovedTracking = 0;
    m_cellEdit.ShowCellReference(1);
    if (IsColumnBorder(m_nHitCode) || IsRowBorder(m_nHitCode))
        finishSizing(event->position().toPoint());
    m_bSizing = 0;
    m_sizingLine.reset();
    m_nHitCode = kTargetNone;
    update();
    event->accept();
}

void CQorsView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        OnLButtonDblClk(event->position().toPoint(),
                        event->modifiers().testFlag(Qt::ControlModifier));
    event->accept();
}

void CQorsView::OnLButtonDblClk(QPoint p, bool openVerb) {
    if (!m_pDoc || !m_pDoc->IsOpen()) return;
    // A double click on a chart edits it in place.
    if (CComItem* item = m_items.HitTestItems(p)) {
        if (item->IsKindOf(&CGraphItem::classCGraphItem)) {
            m_items.BeginChartEdit(item);
        } else if (item->GetPage() != 0 || qor::view::CurrentItemPage(*m_pDoc) == 0) {
            // An embedded report is edited where it is shown; any other
            // object, or one with Ctrl held, opens in the desktop's
            // program. One of the format only while no page is shown, as
            // it is edited with the format.
            QString error;
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const InPlaceController::Hooks& hooks = InPlaceController::GetHooks();
            const bool inPlace = !openVerb && hooks.activate && !m_pDoc->Items().IsRunningInPlace() &&
                                 qor::EmbeddedReportEdit::IsEditable(item);
            bool opened = true;
            if (inPlace)
                hooks.activate(*this, item);  // it tells the user when it cannot
            else
                opened = m_pDoc->Items().OpenObject(item, &error);
            QApplication::restoreOverrideCursor();
            if (!opened)
                qor::messageBox(error, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        }
        return;
    }
    if (p.x() <= m_nHeaderWidth || p.y() <= m_nHeaderHeight) return;
    const Selection sel = CurrentSelection();
    const CellArea cell = CellOrCombined(CombinedAreas(), sel.curRow, sel.curCol);
    const int r = m_geo.DocRow(cell.first.row), c = m_geo.DocColumn(cell.first.col);
    if (r < 0 || c < 0) return;
    const bool data = m_pDoc->IsDataState();
    if (m_pDoc->GetCellFormulaState(r, c) != 0) {
        if (!data) {
            qor::OnCellFormula(*m_pDoc);
            m_cellEdit.UpdateEditLine(1);
        } else {
            qor::messageBox(LoadErrorText(qor::str::kDeleteFormulaFirst), QString(),
                            qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        }
        return;
    }
    const VarAreaInfo& var = m_geo.VarArea();
    const bool firstVarLine = (var.kind == 1 && cell.first.row == var.start) ||
                              (var.kind == 2 && cell.first.col == var.start);
    if ((!data && firstVarLine) || (data && m_pDoc->GetCellKind(r, c) == kCellLabel)) return;
    Rect rect;
    int mode = kEditNone, decimals = 0;
    FontDesc font;
    m_cellEdit.PrepareCellEdit(&rect, &mode, &font, &decimals);
    if (mode == kEditNone) return;
    m_cellEdit.CellEditor()->setText(CellEditText(*m_pDoc, r, c));
    m_cellEdit.CellEditor()->m_bClicked = 1;
    rect = {rect.left - 2, rect.top - 2, rect.right + 2, rect.bottom + 2};
    m_cellEdit.CellEditor()->ShowAt(rect, mode, font, decimals);
}

// ---------------------------------------------------------------------------
// Keys

void CQorsView::keyPressEvent(QKeyEvent* event) {
    if (!m_bHeaderAction && event->key() == Qt::Key_F10 &&
        (event->modifiers() & Qt::ShiftModifier)) {
        OnContextMenu(mapToGlobal(rect().topLeft() + QPoint(5, 5)));
        event->accept();
        return;
    }
    const int key = event->key();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    // A chart just inserted is edited in place while the sheet keeps the
    // focus (a dialog was in front when the chart window took it): Esc
    // leaves the editing from here as it does from the chart itself.
    if (key == Qt::Key_Escape && m_items.IsChartEditing()) {
        m_items.EndChartEdit();
        event->accept();
        return;
    }
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Delete:
            OnKeyDown(key, shift, ctrl);
            event->accept();
            return;
        default:
            break;
    }
    if (ctrl && key == Qt::Key_D) {
        OnKeyDown(key, shift, ctrl);
        event->accept();
        return;
    }
    if (ctrl && (key == Qt::Key_C || key == Qt::Key_X || key == Qt::Key_V)) {
        OnChar(QChar(char16_t(key - Qt::Key_A + 1)), true);
        event->accept();
        return;
    }
    const QString text = event->text();
    if (text.size() == 1 && !ctrl) {
        OnChar(text[0], false);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CQorsView::OnKeyDown(int key, bool shift, bool ctrl) {
    if (!m_pDoc || !m_pDoc->IsOpen() || m_bLeftDown || m_items.IsChartEditing() ||
        m_pDoc->Items().ChartWindow().editing)
        return;
    if (key == Qt::Key_D && ctrl) {
        emit commandRequested(kCmdSwitchState);
        return;
    }
    m_selection->SetWholeRows(false);
    m_selection->SetWholeColumns(false);
    const CombinedLookup combined = CombinedAreas();
    const Selection current = CurrentSelection();
    const int curRow = current.curRow, curCol = current.curCol;
    switch (key) {
        case Qt::Key_Up:
            shift ? ExtendSelection(0, 0, -1, 0) : MoveCurrentCell(kMoveUp);
            break;
        case Qt::Key_Down:
            shift ? ExtendSelection(0, 0, 1, 0) : MoveCurrentCell(kMoveDown);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            MoveCurrentCell(kMoveDown);
            break;
        case Qt::Key_Left:
            shift ? ExtendSelection(0, 0, 0, -1) : MoveCurrentCell(kMoveLeft);
            break;
        case Qt::Key_Right:
            shift ? ExtendSelection(0, 0, 0, 1) : MoveCurrentCell(kMoveRight);
            break;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            if (ctrl) {
                // Ctrl+PgUp/PgDn turn the pages of the report.
                key == Qt::Key_PageUp ? OnPageTabsBack() : OnPageTabsForward();
                break;
            }
            const int first =
                key == Qt::Key_PageUp ? PageUpRow(m_geo, height()) : PageDownRow(m_geo, height());
            m_scroll.SetFirstCell(first, m_nFirstCol);
            SetCurrentAndSelection(SelectCell(combined, m_nFirstRow, curCol));
            break;
        }
        case Qt::Key_Home:
            if (ctrl) {
                m_scroll.SetFirstCell(0, 0);
                SetCurrentAndSelection(SelectCell(combined, m_nFirstRow, m_nFirstCol));
            } else {
                m_scroll.SetFirstCell(m_nFirstRow, 0);
                SetCurrentAndSelection(SelectCell(combined, curRow, m_nFirstCol));
            }
            break;
        case Qt::Key_End:
            if (ctrl) {
                m_scroll.GoToCell(m_geo.LastRow(), m_geo.LastColumn());
                m_scroll.ScrollBarsToEnd();
            } else {
                m_scroll.ScrollToCell(curRow, m_geo.LastColumn(), true);
            }
            break;
        case Qt::Key_Delete:
            m_pDoc->EditClear();
            break;
        default:
            break;
    }
    m_cellEdit.ShowCellReference(1);
}

void CQorsView::OnChar(QChar ch, bool ctrl) {
    TypingContext ctx;
    if (m_bLeftDown || !CellEditController::TypingContextOf(*this, ctrl, &ctx)) return;
    switch (DecideTyping(ch, ctx)) {
        case TypeAction::Copy:
            RequestCommand(kCmdCopy);
            break;
        case TypeAction::Cut:
            RequestCommand(kCmdCut);
            break;
        case TypeAction::Paste:
            RequestCommand(kCmdPaste);
            break;
        case TypeAction::CellFormula:
            qor::OnCellFormula(*m_pDoc);
            m_cellEdit.UpdateEditLine(1);
            break;
        case TypeAction::OpenEditor:
            m_cellEdit.OpenCellEditor(QString(ch));
            break;
        case TypeAction::Ignore:
            if (!ctrl) m_cellEdit.TellWhyNotTyped(ch);
            break;
    }
}

void CQorsView::inputMethodEvent(QInputMethodEvent* event) {
    const QString text = event->commitString();
    event->accept();
    TypingContext ctx;
    if (text.isEmpty() || m_bLeftDown || !CellEditController::TypingContextOf(*this, false, &ctx))
        return;
    // Composed text never goes into a formula cell.
    if (ctx.formulaState != 0) {
        m_cellEdit.TellWhyNotTyped(text[0]);
        return;
    }
    if (DecideTyping(text[0], ctx) == TypeAction::OpenEditor) m_cellEdit.OpenCellEditor(text);
}

// The sheet view's side of in-cell editing: the editor over the current
// cell, the frame's formula bar and reference box that mirror it, and the
// entry stored into the document (into a combined area's first cell).

#include "view/celleditcontroller.h"

#include <QApplication>
#include <QLineEdit>
#include <QStatusTipEvent>
#include <QToolTip>

#include "document/cmd_formula.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "view/celleditor.h"
#include "view/cqorsview.h"
#include "view/input_edit.h"
#include "print/paint_style.h"

using namespace qor::view;

namespace {

// The current cell with its combined area, in view indices.
CellArea currentCellOf(const CQorsView& v) {
    const Selection sel = v.CurrentSelection();
    return CellOrCombined(v.CombinedAreas(), sel.curRow, sel.curCol);
}

}  // namespace

CellEditController::CellEditController(CQorsView& view) : m_v(view) {
    m_pCellEdit = new CCellEdit(&view);
    m_pCellEdit->m_bInCell = 1;
    m_pCellEdit->SetView(&view);
    m_pCellEdit->setMaxLength(qor::view::kCellEditMaxChars);
    m_pCellEdit->setGeometry(1, 1, 49, 49);
    m_pCellEdit->hide();
}

void CellEditController::Detach() {
    m_pCellEdit->SetView(nullptr);
    if (m_pFormulaBar && m_pFormulaBar->View() == &m_v) m_pFormulaBar->SetView(nullptr);
}

bool CellEditController::FollowsReference() const {
    return m_pRefBox && m_pFormulaBar && m_pFormulaBar->View() == &m_v;
}

bool CellEditController::TypingContextOf(const CQorsView& v, bool ctrl, TypingContext* ctx) {
    if (!v.m_pDoc || !v.m_pDoc->IsOpen()) return false;
    const CellArea cell = currentCellOf(v);
    const int r = v.m_geo.DocRow(cell.first.row), c = v.m_geo.DocColumn(cell.first.col);
    if (r < 0 || c < 0) return false;
    const VarAreaInfo& var = v.m_geo.VarArea();
    ctx->dataState = v.m_pDoc->IsDataState();
    ctx->ctrl = ctrl;
    const Selection sel = v.CurrentSelection();
    ctx->firstVarLine =
        (var.kind == 1 && sel.curRow == var.start) || (var.kind == 2 && sel.curCol == var.start);
    ctx->formulaState = v.m_pDoc->GetCellFormulaState(r, c);
    ctx->kind = v.m_pDoc->GetCellKind(r, c);
    return true;
}

int CellEditController::TypingEntryMode(QChar ch) const {
    TypingContext ctx;
    if (!TypingContextOf(m_v, false, &ctx) || DecideTyping(ch, ctx) != TypeAction::OpenEditor)
        return kEditNone;
    Rect rect;
    int mode = kEditNone, decimals = 0;
    FontDesc font;
    PrepareCellEdit(&rect, &mode, &font, &decimals);
    return mode;
}

void CellEditController::AttachFormulaBar(CCellEdit* bar, QLineEdit* referenceBox) {
    const bool pending = bar && bar->m_nMode != kEditNone && !bar->IsUntouchedArmedEntry();
    if (pending && bar->View() && bar->View() != &m_v) {
        // The bar follows the focus to another sheet (another report, a
        // pane): what was typed goes to the cell it was typed for first. A
        // refusal was told there; the bar then starts afresh here.
        if (bar->Commit(false) == CCellEdit::CommitResult::Refused) {
            bar->m_nMode = kEditNone;
            bar->m_bArmedByFocus = false;
        }
    }
    m_pFormulaBar = bar;
    m_pRefBox = referenceBox;
    m_pCellEdit->AttachFormulaBar(bar);
    if (bar) bar->SetView(&m_v);
    // An entry under way for this sheet stays in the bar: the click that
    // brought the focus here stores it before it moves the cell.
    if (!(pending && bar->View() == &m_v && bar->m_nMode != kEditNone)) UpdateEditLine(1);
    ShowCellReference(1);
}

void CellEditController::PrepareCellEdit(Rect* rect, int* mode, FontDesc* font,
                                         int* decimals) const {
    *rect = {30, 30, 60, 60};
    *mode = kEditNone;
    *decimals = 4;
    GetDefaultUiFont(font);
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) return;
    const CellArea cell = currentCellOf(m_v);
    const int r = m_v.m_geo.DocRow(cell.first.row), c = m_v.m_geo.DocColumn(cell.first.col);
    if (r < 0 || c < 0) return;
    const bool data = m_v.m_pDoc->IsDataState();
    *mode = CellEditMode(m_v.m_pDoc->GetCellKind(r, c), data);
    if (*mode == kEditNumber) {
        int a = 0, b = 0, cur = 0, d = 0;
        m_v.m_pDoc->GetCellFont(r, c, &a, &b, &cur, &d);
        *decimals = d;
    }
    if (!BuildCellFont(*m_v.m_pDoc, r, c, m_v.m_fScale, font)) {
        GetDefaultUiFont(font);
        font->height = int(m_v.m_fScale * 12);
    }
    Rect client{cell.first.col, cell.first.row, cell.last.col, cell.last.row};
    m_v.m_geo.CellRangeToDocRect(client);
    m_v.m_geo.DocToClient(client);
    const bool shown = client.right > m_v.m_nHeaderWidth && client.bottom > m_v.m_nHeaderHeight &&
                       client.left < m_v.width() && client.top < m_v.height();
    *rect = EditorRect(shown ? client : Rect{}, m_v.m_nHeaderWidth, m_v.m_nHeaderHeight);
}

bool CellEditController::OpenCellEditor(const QString& typed) {
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) return false;
    const Selection sel = m_v.CurrentSelection();
    if (sel.curRow < m_v.m_nFirstRow || sel.curRow > LastVisibleRow(m_v.m_geo, m_v.height()))
        m_v.Scroll().SetFirstCell(sel.area.first.row, m_v.m_nFirstCol);
    if (sel.curCol < m_v.m_nFirstCol || sel.curCol > LastVisibleColumn(m_v.m_geo, m_v.width()))
        m_v.Scroll().SetFirstCell(m_v.m_nFirstRow, sel.area.first.col);
    Rect rect;
    int mode = kEditNone, decimals = 0;
    FontDesc font;
    PrepareCellEdit(&rect, &mode, &font, &decimals);
    if (mode == kEditNone) return false;
    if (m_pFormulaBar) m_pFormulaBar->clear();
    m_pCellEdit->clear();
    m_pCellEdit->m_bClicked = 0;
    // The keys go through the filter before the editor shows: when it
    // refuses every one, no empty entry is left open to replace the value
    // at the next Enter, and the bar shows the cell again.
    m_pCellEdit->m_nMode = mode;
    m_pCellEdit->m_nDecimals = decimals;
    for (QChar ch : typed) m_pCellEdit->TypeChar(ch);
    if (!typed.isEmpty() && m_pCellEdit->text().isEmpty()) {
        m_pCellEdit->m_nMode = kEditNone;
        UpdateEditLine(1);
        return false;
    }
    m_pCellEdit->ShowAt(rect, mode, font, decimals);
    return true;
}

void CellEditController::TellRefusal(const QString& text) {
    // Whatever window holds the view shows the tip in its status bar.
    QStatusTipEvent tip(text);
    QApplication::sendEvent(&m_v, &tip);
    m_refusalShown = true;
    m_refusedRow = m_v.m_selection->CurrentRow();
    m_refusedCol = m_v.m_selection->CurrentColumn();
    Rect rect;
    int mode = kEditNone, decimals = 0;
    FontDesc font;
    PrepareCellEdit(&rect, &mode, &font, &decimals);
    QWidget* at = &m_v;
    QRect under;
    if (!rect.isNull() && m_v.isVisible()) {
        under = QRect(rect.left, rect.top, std::max(1, rect.width()), std::max(1, rect.height()));
    } else if (m_pFormulaBar && m_pFormulaBar->isVisible()) {
        at = m_pFormulaBar;
        under = m_pFormulaBar->rect();
    } else {
        return;
    }
    // Just below the cell, so the typed text stays readable (the tip puts
    // itself 16 pixels below the point it is given, as under a mouse
    // pointer); no area is given, so moving the mouse leaves it.
    QToolTip::showText(at->mapToGlobal(under.bottomLeft() - QPoint(2, 14)), text, at);
}

void CellEditController::TellRefusedKey(QChar key, int decimals) {
    const bool digit = key >= u'0' && key <= u'9';
    TellRefusal(digit ? LoadErrorText(qor::str::kRefusedDecimal).arg(decimals).arg(key)
                      : LoadErrorText(qor::str::kRefusedKey).arg(key));
}

bool CellEditController::TellWhyNotTyped(QChar key) {
    TypingContext ctx;
    if (!key.isPrint() || !TypingContextOf(m_v, false, &ctx)) return false;
    if (!ctx.dataState || ctx.formulaState == 0) return false;
    TellRefusal(LoadErrorText(qor::str::kFormulaCellTyped));
    return true;
}

bool CellEditController::CommitPendingEdit() {
    const bool pending = m_pCellEdit->isVisible() || m_pCellEdit->m_nMode != kEditNone ||
                         (m_pFormulaBar && m_pFormulaBar->m_nMode != kEditNone);
    if (!pending) return true;
    if (m_pCellEdit->Commit() == CCellEdit::CommitResult::Refused) return false;
    m_pCellEdit->hide();
    m_pCellEdit->clear();
    m_pCellEdit->m_nMode = kEditNone;
    m_pCellEdit->m_bClicked = 0;
    return true;
}

int CellEditController::SetCurrentCellText(const QString& text, int mode) {
    if (!m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) return 1;
    const int row = m_v.m_selection->CurrentRow(), col = m_v.m_selection->CurrentColumn();
    CellArea area;
    const bool combined = m_v.m_pDoc->GetCombinedArea(row, col, &area);
    if (combined) m_v.m_selection->SetCurrent(area.first.row, area.first.col);
    const int status = m_v.m_pDoc->SetCellText(text, mode);
    m_v.m_selection->SetCurrent(row, col);
    return status;
}

bool CellEditController::CurrentCellShown() const {
    Rect rect;
    int mode = kEditNone, decimals = 0;
    FontDesc font;
    PrepareCellEdit(&rect, &mode, &font, &decimals);
    return !rect.isNull();
}

void CellEditController::HandleEditKey(int key) {
    if (m_v.m_pDoc && CurrentCellShown()) m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
    m_v.OnKeyDown(key, false, false);
}

void CellEditController::UpdateEditLine(int flag) {
    if (m_refusalShown && (!flag || m_v.m_selection->CurrentRow() != m_refusedRow ||
                           m_v.m_selection->CurrentColumn() != m_refusedCol)) {
        m_refusalShown = false;
        QStatusTipEvent clear{QString()};
        QApplication::sendEvent(&m_v, &clear);
    }
    if (!m_pFormulaBar) return;
    if (!flag || !m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) {
        m_pFormulaBar->clear();
        return;
    }
    const CellArea cell = currentCellOf(m_v);
    const int r = m_v.m_geo.DocRow(cell.first.row), c = m_v.m_geo.DocColumn(cell.first.col);
    m_pFormulaBar->setText(r < 0 || c < 0 ? QString() : EditLineText(*m_v.m_pDoc, r, c));
}

void CellEditController::FollowCurrentCell() {
    if (!FollowsReference() || m_pFormulaBar->m_nMode != -1) return;
    if (m_pCellEdit && m_pCellEdit->m_nMode != -1) return;
    UpdateEditLine(1);
}

void CellEditController::ShowCellReference(int flag) {
    if (!m_pRefBox) return;
    if (!flag || !m_v.m_pDoc || !m_v.m_pDoc->IsOpen()) {
        m_pRefBox->clear();
        return;
    }
    m_pRefBox->setText(CellReferenceText(m_v.m_pDoc->Selection().Area(), m_v.m_pDoc->IsDataState(),
                                         m_v.m_pDoc->ViewState().curPage));
}

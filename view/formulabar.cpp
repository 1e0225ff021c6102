#include "view/formulabar.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "view/cqorsview.h"
#include "view/input_edit.h"

using namespace qor::view;

CFormulaBar::CFormulaBar(QWidget* parent) : CCellEdit(parent) {
    // In the bar the arrows move the caret; only the in-cell editor moves
    // the cell with them.
    m_bClicked = 1;
}

void CFormulaBar::focusInEvent(QFocusEvent* event) {
    CCellEdit::focusInEvent(event);
    CQorsView* view = View();
    if (!view) return;
    if (CCellEdit* editor = view->CellEdit().CellEditor(); editor && editor->isVisible())
        editor->hide();
    if (m_nMode != kEditNone) return;
    // Any printable key stands for what typing would do in this cell.
    const int mode = view->CellEdit().TypingEntryMode(u'0');
    if (mode == kEditNone) return;
    Rect rect;
    int ignored = kEditNone, decimals = 0;
    FontDesc font;
    view->CellEdit().PrepareCellEdit(&rect, &ignored, &font, &decimals);
    m_nMode = mode;
    m_nDecimals = decimals;
    // Until something is typed the bar holds the cell's own text, which
    // is never written back.
    m_strArmedText = text();
    m_bArmedByFocus = true;
    m_bKeyRefused = false;
}

void CFormulaBar::focusOutEvent(QFocusEvent* event) {
    CCellEdit::focusOutEvent(event);
    // Leaving without a change ends the entry the focus began.
    if (IsUntouchedArmedEntry()) {
        m_bArmedByFocus = false;
        m_nMode = kEditNone;
    }
}

void CFormulaBar::keyPressEvent(QKeyEvent* event) {
    if (m_nMode == kEditNone && View() && !event->text().isEmpty() && event->text()[0].isPrint()) {
        // The same cells refuse typing here as on the sheet.
        const int mode = View()->CellEdit().TypingEntryMode(event->text()[0]);
        if (mode == kEditNone) {
            View()->CellEdit().TellWhyNotTyped(event->text()[0]);
            event->accept();
            return;
        }
        Rect rect;
        int ignored = kEditNone, decimals = 0;
        FontDesc font;
        View()->CellEdit().PrepareCellEdit(&rect, &ignored, &font, &decimals);
        m_nMode = mode;
        m_nDecimals = decimals;
    }
    CCellEdit::keyPressEvent(event);
}

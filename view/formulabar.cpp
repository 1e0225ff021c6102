#include "view/formulabar.h"

#include <QKeyEvent>

#include "view/cqorsview.h"
#include "view/input_edit.h"

using namespace qor::view;

CFormulaBar::CFormulaBar(QWidget* parent) : CCellEdit(parent) {
    // In the bar the arrows move the caret; only the in-cell editor moves
    // the cell with them.
    m_bClicked = 1;
}

void CFormulaBar::keyPressEvent(QKeyEvent* event) {
    if (m_nMode == kEditNone && View() && !event->text().isEmpty() && event->text()[0].isPrint()) {
        // The same cells refuse typing here as on the sheet.
        const int mode = View()->TypingEntryMode(event->text()[0]);
        if (mode == kEditNone) {
            event->accept();
            return;
        }
        Rect rect;
        int ignored = kEditNone, decimals = 0;
        FontDesc font;
        View()->PrepareCellEdit(&rect, &ignored, &font, &decimals);
        m_nMode = mode;
        m_nDecimals = decimals;
    }
    CCellEdit::keyPressEvent(event);
}

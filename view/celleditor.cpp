#include "view/celleditor.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QScopedValueRollback>

#include "document/cqorsdoc.h"
#include "view/cqorsview.h"
#include "view/input_edit.h"
#include "print/paint_style.h"

using namespace qor::view;

int CCellEdit::s_nCommitting = 0;

namespace {

bool isNavigationKey(int key) {
    switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
            return true;
        default:
            return false;
    }
}

}  // namespace

CCellEdit::CCellEdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, &CCellEdit::onTextChanged);
}

void CCellEdit::ShowAt(const Rect& rect, int mode, FontDesc font, int decimals) {
    const int h = std::abs(font.height);
    font.height = -std::min(std::max(1, rect.height()), h > 0 ? h : rect.height());
    m_nMode = mode;
    m_nDecimals = decimals;
    m_bKeyRefused = false;
    if (m_pPartner) {
        m_pPartner->m_bKeyRefused = false;
        m_pPartner->m_bArmedByFocus = false;
        m_pPartner->m_nMode = mode;
        m_pPartner->m_nDecimals = decimals;
    }
    setFont(MakeFont(font));
    setGeometry(rect.left, rect.top, std::max(1, rect.width()), std::max(1, rect.height()));
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

bool CCellEdit::TypeChar(QChar ch) {
    if (m_nMode == kEditNumber) {
        const int selStart = hasSelectedText() ? selectionStart() : cursorPosition();
        const int selLength = hasSelectedText() ? int(selectedText().size()) : 0;
        switch (FilterNumericChar(text(), cursorPosition(), selStart, selLength, ch, m_nDecimals)) {
            case CharVerdict::Beep:
                QApplication::beep();
                m_bKeyRefused = true;
                entryLine()->m_bKeyRefused = true;
                if (m_pView) m_pView->CellEdit().TellRefusedKey(ch, m_nDecimals);
                return false;
            case CharVerdict::Swallow:
                return false;
            case CharVerdict::Default:
                backspace();
                return true;
            case CharVerdict::Insert:
                break;
        }
    }
    insert(QString(ch));
    return true;
}

CCellEdit* CCellEdit::cellEditor() {
    if (m_bInCell) return this;
    return m_pView ? m_pView->CellEdit().CellEditor() : nullptr;
}

bool CCellEdit::CommitFormulaBar() { return Commit() != CommitResult::Nothing; }

CCellEdit::CommitResult CCellEdit::Commit(bool focusView) {
    CCellEdit* line = entryLine();
    if (line->m_nMode == kEditNone || !m_pView) return CommitResult::Nothing;
    if (line->IsUntouchedArmedEntry()) {
        line->m_bArmedByFocus = false;
        line->m_nMode = kEditNone;
        m_nMode = kEditNone;
        return CommitResult::Nothing;
    }
    const QString entry = line->text().left(kFormulaBarMaxChars);
    const int mode = line->m_nMode;
    CCellEdit* editor = cellEditor();
    const bool editorOpen = editor && editor->isVisible();
    if (entry.trimmed().isEmpty() &&
        (line->m_bKeyRefused || (editor && editor->m_bKeyRefused))) {
        // Every key typed since the text was emptied was refused: nothing
        // was entered, so the cell keeps its value (emptying it is Delete,
        // or erasing its text and confirming).
        line->m_bArmedByFocus = false;
        line->m_nMode = kEditNone;
        m_nMode = kEditNone;
        if (editor) editor->m_nMode = kEditNone;
        m_pView->CellEdit().UpdateEditLine(1);
        return CommitResult::Nothing;
    }
    if (!line->m_strRefused.isNull() && entry == line->m_strRefused) {
        // Told once already; the unchanged text is refused without asking
        // the document (and the user) again.
        QApplication::beep();
        return CommitResult::Refused;
    }
    line->m_bArmedByFocus = false;
    line->m_nMode = kEditNone;
    m_nMode = kEditNone;
    const CQorsDoc* doc = m_pView->GetDocument();
    const int docMode = CommitEntryMode(mode, doc && doc->IsDataState());
    int status = 0;
    {
        // The refusal's message box takes the focus; that is no reason to
        // end the entry.
        const QScopedValueRollback<int> guard(s_nCommitting, s_nCommitting + 1);
        status = m_pView->CellEdit().SetCurrentCellText(entry, docMode);
    }
    if (status != 0 && docMode == CQorsDoc::kEntryNumber) {
        // A number cell refused the text and kept its value: the entry stays
        // where it was typed so the user can mend it.
        line->m_nMode = mode;
        if (line->text() != entry) line->setText(entry);
        if (editorOpen) {
            editor->m_nMode = mode;
            if (editor->text() != entry) editor->setText(entry);
            editor->show();
            if (focusView) editor->setFocus(Qt::OtherFocusReason);
        } else if (focusView) {
            line->setFocus(Qt::OtherFocusReason);
        }
        m_nMode = mode;
        line->m_strRefused = entry;
        return CommitResult::Refused;
    }
    if (focusView) m_pView->setFocus(Qt::OtherFocusReason);
    return CommitResult::Stored;
}

void CCellEdit::OnInputConfirm() {
    if (Commit() == CommitResult::Refused) return;
    if (CCellEdit* editor = cellEditor()) {
        editor->m_nMode = kEditNone;
        editor->clear();
        editor->hide();
    }
    if (!m_pView) return;
    m_pView->setFocus(Qt::OtherFocusReason);
    m_pView->CellEdit().HandleEditKey(Qt::Key_Return);
}

void CCellEdit::OnInputCancel() {
    CCellEdit* line = entryLine();
    CCellEdit* editor = cellEditor();
    line->m_nMode = kEditNone;
    line->m_bArmedByFocus = false;
    if (editor) {
        editor->m_nMode = kEditNone;
        editor->clear();
        editor->hide();
    }
    line->clear();
    if (!m_pView) return;
    m_pView->setFocus(Qt::OtherFocusReason);
    // The bar shows the cell again rather than the dropped entry.
    m_pView->CellEdit().UpdateEditLine(1);
}

void CCellEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        OnInputConfirm();
        event->accept();
        return;
    }
    if (key == Qt::Key_Escape) {
        OnInputCancel();
        event->accept();
        return;
    }
    if (isNavigationKey(key) && !m_bClicked && m_pView) {
        // Without a click into the text the arrows move the cell, so the
        // entry is stored first; a refused entry keeps the cell.
        if (Commit() == CommitResult::Refused) {
            event->accept();
            return;
        }
        if (CCellEdit* editor = cellEditor()) {
            editor->clear();
            editor->hide();
        }
        m_pView->CellEdit().HandleEditKey(key);
        event->accept();
        return;
    }
    const QString typed = event->text();
    // A control chord (Ctrl+V, Ctrl+A) is an edit command even where the
    // key event carries its letter.
    const bool chord =
        (event->modifiers() & Qt::ControlModifier) && !(event->modifiers() & Qt::AltModifier);
    if (m_nMode == kEditNumber && !chord && typed.size() == 1 && typed[0].isPrint()) {
        TypeChar(typed[0]);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CCellEdit::mousePressEvent(QMouseEvent* event) {
    m_bClicked = 1;
    QLineEdit::mousePressEvent(event);
}

void CCellEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (!m_bInCell) return;  // the formula bar keeps its entry
    if (s_nCommitting) return;  // a commit's message box, not the user, took the focus
    hide();
    // The entry goes on in the formula bar when the focus went there.
    if (m_pPartner && QApplication::focusWidget() == m_pPartner) return;
    if (entryLine()->m_nMode != kEditNone && Commit() == CommitResult::Refused) return;
    m_nMode = kEditNone;
    clear();
}

void CCellEdit::onTextChanged(const QString& text) {
    m_strRefused = QString();
    m_bKeyRefused = false;
    // Emptying an editor whose entry has ended does not reach the bar: an
    // entry the cell refused may still be pending there, and an emptied
    // bar would later store an empty cell in its place.
    if (text.isEmpty() && m_nMode == kEditNone) return;
    if (m_pPartner) m_pPartner->setText(text.left(kFormulaBarMaxChars));
}

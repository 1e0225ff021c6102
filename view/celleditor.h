#pragma once
// The edit line of typed input. The same class serves as the in-cell editor
// that the sheet view places over its current cell and as the frame's
// formula bar: whatever the in-cell editor holds is mirrored into its
// partner, the formula bar, and a commit always stores the formula bar's
// text (or the editor's own when no formula bar is attached).
//
// The decisions (numeric filter, entry modes) live in input_edit.h.

#include <QLineEdit>
#include <QPointer>

#include "engine/uifont.h"
#include "print/sheetgeometry.h"

class CQorsView;

class CCellEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit CCellEdit(QWidget* parent = nullptr);

    // Opens the editor over a client rectangle of its parent: the font's
    // height is limited to the rectangle's, the mode and decimal places go
    // to the editor and its partner, and the editor takes the focus.
    void ShowAt(const qor::view::Rect& rect, int mode, FontDesc font, int decimals);
    // The formula bar this editor mirrors into (null: none).
    void AttachFormulaBar(CCellEdit* bar) { m_pPartner = bar; }
    // The view whose current cell receives the entry.
    void SetView(CQorsView* view) { m_pView = view; }
    CQorsView* View() const { return m_pView; }

    // Types one character as the keyboard would, through the numeric
    // filter in numeric mode. False when the character was refused; a
    // refused key is told at the cell and in the status bar.
    bool TypeChar(QChar ch);

    // Stores the pending entry (the formula bar's when there is one) into
    // the view's current cell and ends the entry; focuses the view. False
    // when no entry was pending.
    bool CommitFormulaBar();
    // The same, saying whether the cell took the entry. A number cell that
    // refuses a text keeps its value, and the entry stays open on the
    // typed text, focused, for the user to mend.
    enum class CommitResult { Nothing, Stored, Refused };
    // focusView false leaves the focus where it is going (the entry is
    // stored because the focus went elsewhere).
    CommitResult Commit(bool focusView = true);
    // Enter: commit, clear the in-cell editor, move on as Enter does.
    void OnInputConfirm();
    // Esc: drop the entry in both edit lines.
    void OnInputCancel();

    int m_nMode = -1;  // 0 numeric, 1 text, -1 no entry pending
    int m_nDecimals = 4;
    int m_bClicked = 0;
    int m_bInCell = 0;  // the sheet view's own editor (not a formula bar)
    // The mode was set by taking the focus, not by typing: the text the
    // bar held then is the cell's own and is not stored back.
    bool m_bArmedByFocus = false;
    QString m_strArmedText;
    // The text a number cell last refused, until it is edited.
    QString m_strRefused;
    // The number filter refused a key since the text last changed.
    bool m_bKeyRefused = false;
    bool IsUntouchedArmedEntry() const { return m_bArmedByFocus && text() == m_strArmedText; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // The edit line that holds the entry to commit.
    CCellEdit* entryLine() { return m_pPartner ? m_pPartner.data() : this; }
    CCellEdit* cellEditor();
    void onTextChanged(const QString& text);

    QPointer<CCellEdit> m_pPartner;
    QPointer<CQorsView> m_pView;
    static int s_nCommitting;  // a commit is storing (its messages may take the focus)
};

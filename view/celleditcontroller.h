#pragma once
// The sheet view's in-cell editing: the editor over the current cell, the
// frame's formula bar and reference box that mirror the current cell, and
// storing an entry. One per view; the view reaches it through CellEdit().

#include <QPointer>
#include <QString>

#include "engine/uifont.h"
#include "view/input_edit.h"
#include "print/sheetgeometry.h"

class CQorsView;
class CCellEdit;
class QLineEdit;

class CellEditController {
public:
    // Makes the view's in-cell editor (a hidden child of the view).
    explicit CellEditController(CQorsView& view);
    CellEditController(const CellEditController&) = delete;
    CellEditController& operator=(const CellEditController&) = delete;

    CCellEdit* CellEditor() const { return m_pCellEdit; }
    CCellEdit* FormulaBar() const { return m_pFormulaBar; }
    // The frame's formula bar and reference box (either may be null).
    void AttachFormulaBar(CCellEdit* bar, QLineEdit* referenceBox = nullptr);
    // The editors forget the view (it is going).
    void Detach();
    // The reference box follows this view (its formula bar is attached
    // here).
    bool FollowsReference() const;
    // What the editor needs for the current cell: client rectangle (zero
    // when the cell is not shown), mode (-1: no editing), font, decimals.
    void PrepareCellEdit(qor::view::Rect* rect, int* mode, FontDesc* font, int* decimals) const;
    // True when the current cell is shown in the window.
    bool CurrentCellShown() const;
    // Stores text into the current cell (into its combined area's first
    // cell). 0 or the document's status.
    int SetCurrentCellText(const QString& text, int mode);
    // After a commit: redraw and move as the key does.
    void HandleEditKey(int key);
    // What typing on the sheet meets at the current cell; false when no
    // report is open or the cell is not in the table.
    static bool TypingContextOf(const CQorsView& view, bool ctrl, qor::view::TypingContext* ctx);
    // The entry mode typing ch on the sheet would open (-1: refused).
    int TypingEntryMode(QChar ch) const;
    // Opens the in-cell editor over the current cell with a typed text.
    bool OpenCellEditor(const QString& typed);
    // Commits a pending entry and hides the in-cell editor. False when the
    // cell refused the entry, which then stays open.
    bool CommitPendingEdit();
    // Tells the user why typing changed nothing: in the status bar of the
    // window that holds the view and in a tip at the current cell (at the
    // formula bar when the cell is not shown). A refused key is never only
    // a beep, which many desktops do not sound.
    void TellRefusal(const QString& text);
    // A key the number filter refused (a digit: one past the cell's
    // decimal places).
    void TellRefusedKey(QChar key, int decimals);
    // A printable key that met a cell taking no entry: a formula cell in
    // data state says so. False when there was nothing to say.
    bool TellWhyNotTyped(QChar key);
    // The formula bar's mirror of the current cell: its formula or contents
    // with flag set, empty with flag clear.
    void UpdateEditLine(int flag);
    // The cells changed under the formula bar (a delete, a cut, a paste):
    // it shows the current cell's content again, unless an entry is being
    // typed there.
    void FollowCurrentCell();
    // Writes the selection's reference into the reference box.
    void ShowCellReference(int flag);

private:
    CQorsView& m_v;
    CCellEdit* m_pCellEdit = nullptr;  // child of the view, owned by Qt
    QPointer<CCellEdit> m_pFormulaBar;
    QPointer<QLineEdit> m_pRefBox;
    // A refusal stands in the status bar until the user leaves the cell it
    // speaks of (or the report), never beside another cell.
    bool m_refusalShown = false;
    int m_refusedRow = -1, m_refusedCol = -1;
};

#pragma once
// The decisions of in-cell editing: which cells open an editor and in which
// entry mode, which typed characters a numeric entry takes, how a committed
// entry is handed to the document, what the formula bar shows for a cell
// and what the reference box says about the selection.

#include <QChar>
#include <QString>

#include "engine/celltypes.h"
#include "print/sheetgeometry.h"

class CQorsDoc;

namespace qor::view {

// Entry modes of an editor: numeric (characters filtered), text, or no
// entry pending (a cell that cannot be edited).
enum EditMode : int { kEditNone = -1, kEditNumber = 0, kEditText = 1 };

// The editor's text limit and the most the formula bar passes on.
constexpr int kCellEditMaxChars = 31;
constexpr int kFormulaBarMaxChars = 255;

// In data state a numeric cell (kind 0 or 1) is a numeric entry, a table
// text (3) cannot be edited, any other cell takes text; format state edits
// table texts only, so every cell takes text.
int CellEditMode(int kind, bool dataState);

// The document's entry mode for a commit: a number for a numeric entry,
// else text in the current state.
int CommitEntryMode(int barMode, bool dataState);

// What a numeric entry does with a typed character.
enum class CharVerdict {
    Insert,   // the edit inserts it
    Default,  // not a character of the filter (Backspace): default handling
    Swallow,  // Enter and Esc: their key handling does the work
    Beep,     // refused with the default system sound
};
// text is the editor's text, cursor the caret, selStart/selLength the
// selected part (length 0 for none). Besides the digit count after the
// point, a second point and a minus sign anywhere but in front are refused:
// they would turn the entry into a different number than the one typed.
CharVerdict FilterNumericChar(const QString& text, int cursor, int selStart, int selLength,
                              QChar ch, int decimals);

// What a character typed on the sheet (not in an editor) does.
enum class TypeAction {
    Ignore,       // dropped silently
    OpenEditor,   // opens the in-cell editor with the character
    CellFormula,  // "=" in format state: the cell formula dialog
    Copy,
    Cut,
    Paste,
};
struct TypingContext {
    bool dataState = false;
    bool ctrl = false;
    // The current cell is the first line of the variable area.
    bool firstVarLine = false;
    int formulaState = 0;  // GetCellFormulaState
    int kind = 1;          // GetCellKind
};
TypeAction DecideTyping(QChar ch, const TypingContext& ctx);

// The formula bar's text for a document cell: "=" and the formula; else by
// kind a number (data state, fixed decimals), a character text (data
// state) or the table text; else empty.
QString EditLineText(const CQorsDoc& doc, int row, int col);
// The text a double-click loads into the editor (no formula prefix).
QString CellEditText(const CQorsDoc& doc, int row, int col);

// "A1" or "A1:B2" of a selection (document indices), in data state followed
// by "@" and the current page.
QString CellReferenceText(const CellArea& selection, bool dataState, int page);

// The editor's client rectangle over a cell's: kept right of and below the
// headers, then 2 pixels inside on every side.
Rect EditorRect(Rect cell, int headerWidth, int headerHeight);

}  // namespace qor::view

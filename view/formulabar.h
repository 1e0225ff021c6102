#pragma once
// The formula bar of a frame: a CCellEdit without partner that knows the
// active sheet view, so the frame's confirm and cancel commands (and its
// own Enter and Esc) reach the view's in-cell editor too.

#include "view/celleditor.h"

class CFormulaBar : public CCellEdit {
    Q_OBJECT

public:
    explicit CFormulaBar(QWidget* parent = nullptr);

protected:
    // Taking the focus, the bar takes over the entry: the editor over the
    // cell steps aside, and with no entry under way the current cell sets
    // the mode and places (numeric, text, or none for a cell that cannot
    // be typed into), so the numeric filter guards the first key too.
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Typing straight into the bar starts an entry in the current cell's
    // mode; a cell that cannot be edited takes none.
    void keyPressEvent(QKeyEvent* event) override;
};

#pragma once
// The sheet's current cell and selected cells, counted from 0 in the
// document's own indices (the hidden band of a variable area is not
// counted). Every view of one document shares one selection, so that panes
// and windows over the same report move together; the views own it and
// lend it to the document, which keeps one of its own for the time no view
// is open (the command-line program, tests).

#include <cstdint>

#include "engine/celltypes.h"

namespace qor {

class SheetSelection {
public:
    // (row, col) becomes the current cell, the anchor and the whole
    // selection; whole rows and columns are off. Negative indices give 0.
    void SetCurrentCell(int row, int col);
    // The selection from the anchor (r1, c1) to (r2, c2), normalised; the
    // current cell becomes the anchor. Negative indices give 0.
    void SetSelection(int r1, int c1, int r2, int c2);
    // The current cell (and the anchor) at (row, col) and the selection over
    // area, both taken as they are; area must already hold the cell.
    void SetCurrentAndArea(int row, int col, const CellArea& area);
    // Moves the current cell alone (a stored entry aimed at a combined
    // area's first cell, the window's cell restored afterwards).
    void SetCurrent(int row, int col);
    // An extended selection: the anchor stays at (anchorRow, anchorCol), the
    // selection runs to (endRow, endCol); the current cell is not moved.
    void SetAnchorAndEnd(int anchorRow, int anchorCol, int endRow, int endCol);

    int CurrentRow() const { return m_nCurRow; }
    int CurrentColumn() const { return m_nCurCol; }
    int AnchorRow() const { return m_nAnchorRow; }
    int AnchorColumn() const { return m_nAnchorCol; }
    // The selection as an area counted from 0.
    CellArea Area() const;
    // False until a cell was selected in the open report.
    bool Exists() const { return m_wSelection != 0; }

    // The selection was made on the headers: whole rows, whole columns, or
    // both (the corner: the whole sheet).
    bool WholeRows() const { return m_bWholeRows != 0; }
    bool WholeColumns() const { return m_bWholeCols != 0; }
    void SetWholeRows(bool on) { m_bWholeRows = on ? 1 : 0; }
    void SetWholeColumns(bool on) { m_bWholeCols = on ? 1 : 0; }

    bool operator==(const SheetSelection&) const = default;

private:
    int16_t m_nCurRow = 0, m_nCurCol = 0;
    int16_t m_nSelFirstRow = 0, m_nSelFirstCol = 0;
    int16_t m_nSelLastRow = 0, m_nSelLastCol = 0;
    uint16_t m_wSelection = 0;  // non-zero while a selection exists
    int16_t m_nAnchorRow = 0, m_nAnchorCol = 0;
    int32_t m_bWholeRows = 0, m_bWholeCols = 0;
};

}  // namespace qor

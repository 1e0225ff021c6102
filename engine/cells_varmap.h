#pragma once
// Shown and stored coordinates. A variable area is stored once, as its
// template row (or column) of the table; each page keeps the area's lines
// in its own list. What a user sees expands that one row into the lines
// the page uses: with a row area starting at s and u lines in use, shown
// rows below s are stored rows, rows s .. s+u-1 are the lines 1 .. u, and
// the rows after them are stored rows moved down by u-1. Format state
// always shows one line.

#include <cstdint>

#include "engine/reportlayout.h"

namespace qor {

// Where a shown cell lives.
struct StoredCell {
    uint16_t row = 0;  // stored row and column, from 1
    uint16_t col = 0;
    int line = -1;  // variable line from 0; -1 for the fixed part

    bool inVarArea() const { return line >= 0; }
};

// used: the lines in use (values below 1 count as 1). False when the shown
// cell lies outside the shown table.
bool MapShownCell(const ReportHeader& h, int used, int row, int col, StoredCell* out);

int ShownRowCount(const ReportHeader& h, int used);
int ShownColCount(const ReportHeader& h, int used);

// The shown row (column) of a stored row (column). The template row of a
// row area stands for all its lines: lastLine picks the last of them
// instead of the first.
int ShownRowOf(const ReportHeader& h, int used, int storedRow, bool lastLine = false);
int ShownColOf(const ReportHeader& h, int used, int storedCol, bool lastLine = false);

// The most lines a page may use before the shown table would pass 9,999
// rows (row area) or 255 columns (column area); 0 without an area.
int MaxVarLines(const ReportHeader& h);

// The most lines a page of this report may hold: the area's extent, within
// the table's bounds; never below the one line every page has. Whatever
// sets a page's line count keeps to it.
int VarLineLimit(const ReportHeader& h);

// Slots per variable line: the columns of a row area, the rows of a column
// area.
inline uint16_t VarLineLength(const ReportHeader& h) {
    return h.varKind == 1 ? h.cols : h.varKind == 2 ? h.rows : 0;
}

// Position of a stored cell inside its variable line (from 0).
inline uint16_t VarLinePos(const ReportHeader& h, const StoredCell& c) {
    return uint16_t((h.varKind == 1 ? c.col : c.row) - 1);
}

}  // namespace qor

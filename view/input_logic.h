#pragma once
// The decisions behind mouse and keyboard input on the sheet: which zone of
// the headers or cells a client point falls in, how the current cell moves
// and the selection grows (combined cells included), and what a dragged
// header border makes of a row height or column width.
//
// Everything works in view indices (the hidden band of a variable area
// counted, see sheetgeometry.h) over a SheetGeometry and a lookup of
// combined areas, so it is tested without a window. The widget only feeds
// points and keys in and stores the answers in the document.

#include <QPoint>
#include <functional>
#include <optional>

#include "print/sheetgeometry.h"

namespace qor::view {

// ---------------------------------------------------------------------------
// Mouse targets

// What the mouse is over or tracking: -1 nothing; 0..9999 the right border
// of column c; 10000 + r the bottom border of row r; 20000 + r the header
// of row r; 30000 + c the header of column c; -2/-3/-4 a drag of cells,
// whole rows, whole columns.
enum MouseTarget : int {
    kTargetNone = -1,
    kTargetCells = -2,
    kTargetRows = -3,
    kTargetColumns = -4,
    kTargetRowBorder = 10000,
    kTargetRowHeader = 20000,
    kTargetColumnHeader = 30000,
};
inline bool IsColumnBorder(int t) { return t >= 0 && t < kTargetRowBorder; }
inline bool IsRowBorder(int t) { return t >= kTargetRowBorder && t < kTargetRowHeader; }
inline bool IsRowHeader(int t) { return t >= kTargetRowHeader && t < kTargetColumnHeader; }
inline bool IsColumnHeader(int t) { return t >= kTargetColumnHeader && t < 40000; }

// The cursor a hover asks for.
enum class HoverCursor { Arrow, RowResize, RowSplit, ColumnResize, ColumnSplit, HeaderSelect };

// Pixels either side of a header border that grab it.
constexpr int kBorderGrab = 4;

// The cell under a client point: its row and column, its client rectangle
// and the row and column just before it (-1 at the first visible one).
struct CellHit {
    bool hit = false;
    int row = -1, col = -1;
    Rect rect;
    int prevRow = -1, prevCol = -1;
};
// Rows and columns are walked from the first visible ones; a point on the
// headers takes the first visible row or column on that axis; a point past
// the last row or column hits nothing.
CellHit HitTestCell(const SheetGeometry& geo, QPoint p);

struct Hover {
    int target = kTargetNone;
    HoverCursor cursor = HoverCursor::Arrow;
};
// The zone of a point on the header strips. rowHeaders / columnHeaders say
// whether this pane shows the row (column) header strip at all.
Hover HoverTarget(const SheetGeometry& geo, QPoint p, bool rowHeaders = true,
                  bool columnHeaders = true);

inline bool InCornerBox(const SheetGeometry& geo, QPoint p) {
    return p.x() < geo.HeaderWidth() && p.y() < geo.HeaderHeight();
}

// A dragged border: (shown pixels + movement) / scale truncated toward
// zero, kept within 0..limit (480 for rows, 640 for columns).
constexpr int kMaxRowHeight = 480;
constexpr int kMaxColumnWidth = 640;
int DraggedSize(int shownPixels, int movement, double scale, int limit);

// ---------------------------------------------------------------------------
// Selection

// The combined area (view indices) holding a cell, if any.
using CombinedLookup = std::function<std::optional<CellArea>(int row, int col)>;

// The selection state the document keeps, in view indices.
struct Selection {
    int curRow = 0, curCol = 0;
    CellArea area;
    bool operator==(const Selection&) const = default;
};

// The cell's combined area, or the cell alone.
CellArea CellOrCombined(const CombinedLookup& combined, int row, int col);
// The smallest area holding area and every combined area that overlaps it,
// so a selection never cuts a combined cell in two.
CellArea WidenToCombined(const CombinedLookup& combined, CellArea area);

// A mouse drag to (row, col) from the current cell: the anchor (the current
// cell's combined area) widened to take the target in; whole rows keep
// columns 0..last, whole columns rows 0..last.
CellArea ExtendToCell(const SheetGeometry& geo, const CombinedLookup& combined,
                      const Selection& sel, int row, int col, int mode);
// Shift+arrow: one row (dRow -1/+1) or column step. The side away from the
// anchor moves: shrinking first, then growing. Hidden lines are stepped
// over and nothing passes the table's ends.
CellArea ExtendByStep(const SheetGeometry& geo, const CombinedLookup& combined,
                      const Selection& sel, int dRow, int dCol);

// Directions of MoveCurrentCell.
enum MoveDirection : int { kMoveUp = 1, kMoveDown = 2, kMoveLeft = 3, kMoveRight = 4 };
// The cell the current cell moves to: from the edge of its combined area,
// one visible line on (rows of height 0, columns of width 0 and the hidden
// band skipped); the same cell at either end of the table.
Selection MoveCurrent(const SheetGeometry& geo, const CombinedLookup& combined,
                      const Selection& sel, int direction);
// A selection of one cell (its combined area).
Selection SelectCell(const CombinedLookup& combined, int row, int col);

// ---------------------------------------------------------------------------
// Scrolling that follows the current cell

// The last row (column) at least partly shown in a client of the given
// height (width), from the first visible one.
int LastVisibleRow(const SheetGeometry& geo, int clientHeight);
int LastVisibleColumn(const SheetGeometry& geo, int clientWidth);
// The first visible row after a page up: back from the first row by one
// client height of rows (at least one row).
int PageUpRow(const SheetGeometry& geo, int clientHeight);
// After a page down: the last visible row becomes the first, one further
// when it already is.
int PageDownRow(const SheetGeometry& geo, int clientHeight);
// True when the table's last row (column) is shown to its far edge.
bool ShowsLastRow(const SheetGeometry& geo, int clientHeight);
bool ShowsLastColumn(const SheetGeometry& geo, int clientWidth);

}  // namespace qor::view

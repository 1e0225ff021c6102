#pragma once
// Format work on stored coordinates, shared by CReportFile and
// CReportHandle: combined-area position codes, border lines and area
// lines, the predefined table styles, and how areas follow a change of the
// table's shape.

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/cellformat.h"
#include "engine/reportlayout.h"

namespace qor {

inline bool areaContains(const AreaRecord& a, uint16_t row, uint16_t col) {
    return row >= a.r1 && row <= a.r2 && col >= a.c1 && col <= a.c2;
}
inline bool areasIntersect(const AreaRecord& a, const AreaRecord& b) {
    return a.r1 <= b.r2 && b.r1 <= a.r2 && a.c1 <= b.c2 && b.c1 <= a.c2;
}
inline bool areaInTable(const AreaRecord& a, uint16_t rows, uint16_t cols) {
    return a.r1 >= 1 && a.c1 >= 1 && a.r1 <= a.r2 && a.c1 <= a.c2 && a.r2 <= rows && a.c2 <= cols;
}

// The position code of a cell of combined area a (0 outside, or for an
// area of one cell).
int combinePositionCode(const AreaRecord& a, uint16_t row, uint16_t col);
// Clears every position code of f's cell formats and marks those of
// f.combined again.
void markCombinedAreas(ReportFormat& f);
// The combined area of f holding the cell; null when none.
const AreaRecord* findCombined(const ReportFormat& f, uint16_t row, uint16_t col);

// Line types of CReportHandle::DrawAreaLines.
enum AreaLineType : int {
    kLinesGrid = 0,
    kLinesInnerHorizontal = 1,
    kLinesInnerVertical = 2,
    kLinesFrame = 3,
    kLinesDiagonalDown = 4,  // top-left to bottom-right (direction 1)
    kLinesDiagonalUp = 5,    // bottom-left to top-right (direction 0)
    kLinesTop = 6,
    kLinesBottom = 7,
    kLinesLeft = 8,
    kLinesRight = 9,
};
// A diagonal spans at most this many rows and columns.
constexpr int kMaxDiagonalCells = 31;

// Draws lines of one type and style over stored area a of f: edges and
// inner lines go into the right and bottom line codes of the cells that
// carry them (the row above, the column to the left), into the column
// attribute bytes for a top edge on row 1 and the row attribute bytes for
// a left edge on column 1; diagonals are area-line entries (style 0
// removes one). 0; 1 for a bad type or style; 1060 for a diagonal over
// more than 31 x 31 cells.
uint16_t drawAreaLines(ReportFormat& f, const AreaRecord& a, int type, int style);

// The eleven predefined table styles ("套用格式"), by index 0..10.
constexpr int kTableStyleCount = 11;
// Gives stored area a of f the borders, colours and font styles of a
// table style; 1 for an index outside 0..10.
uint16_t applyTableStyle(ReportFormat& f, const AreaRecord& a, int style);

// How the rows (or columns) of an old table shape land in a new one.
class LineRemap {
public:
    // origin[i] = old index (from 1) of new line i + 1, 0 for a new line.
    LineRemap(const std::vector<uint16_t>& origin, uint16_t oldCount);
    // New index of an old line; 0 when it is gone.
    uint16_t newIndex(uint16_t old) const { return old <= m_oldCount ? m_newOf[old] : 0; }
    // The new ranges old lines first..last land on, in order: lines of the
    // range that stay next to each other (or have only new lines between
    // them) form one range. Empty when every line is gone.
    std::vector<std::pair<uint16_t, uint16_t>> runs(uint16_t first, uint16_t last) const;

private:
    const std::vector<uint16_t>& m_origin;
    uint16_t m_oldCount;
    std::vector<uint16_t> m_newOf;
};

// A combined area or an area line after a shape change: kept when its
// rows and its columns each land on one range (lines inserted inside join
// it, deleted lines shrink it); dropped when they are split apart, when
// all of them are gone, or (minCells 2, combined areas) when one cell is
// left.
bool remapWholeArea(AreaRecord& a, const LineRemap& rows, const LineRemap& cols, int minCells);

}  // namespace qor

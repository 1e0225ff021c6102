#include "document/sheetselection.h"

#include <algorithm>

namespace qor {

void SheetSelection::SetCurrentCell(int row, int col) {
    m_nCurRow = m_nAnchorRow = m_nSelFirstRow = m_nSelLastRow = int16_t(std::max(0, row));
    m_nCurCol = m_nAnchorCol = m_nSelFirstCol = m_nSelLastCol = int16_t(std::max(0, col));
    m_wSelection = 1;
    m_bWholeRows = m_bWholeCols = 0;
}

void SheetSelection::SetSelection(int r1, int c1, int r2, int c2) {
    r1 = std::max(0, r1);
    c1 = std::max(0, c1);
    r2 = std::max(0, r2);
    c2 = std::max(0, c2);
    m_nCurRow = m_nAnchorRow = int16_t(r1);
    m_nCurCol = m_nAnchorCol = int16_t(c1);
    m_nSelFirstRow = int16_t(std::min(r1, r2));
    m_nSelLastRow = int16_t(std::max(r1, r2));
    m_nSelFirstCol = int16_t(std::min(c1, c2));
    m_nSelLastCol = int16_t(std::max(c1, c2));
    m_wSelection = 1;
}

void SheetSelection::SetCurrentAndArea(int row, int col, const CellArea& area) {
    m_nCurRow = m_nAnchorRow = int16_t(row);
    m_nCurCol = m_nAnchorCol = int16_t(col);
    m_nSelFirstRow = area.first.row;
    m_nSelFirstCol = area.first.col;
    m_nSelLastRow = area.last.row;
    m_nSelLastCol = area.last.col;
    m_wSelection = 1;
}

void SheetSelection::SetCurrent(int row, int col) {
    m_nCurRow = int16_t(row);
    m_nCurCol = int16_t(col);
}

void SheetSelection::SetAnchorAndEnd(int anchorRow, int anchorCol, int endRow, int endCol) {
    m_nAnchorRow = int16_t(anchorRow);
    m_nAnchorCol = int16_t(anchorCol);
    m_nSelFirstRow = int16_t(std::min(anchorRow, endRow));
    m_nSelLastRow = int16_t(std::max(anchorRow, endRow));
    m_nSelFirstCol = int16_t(std::min(anchorCol, endCol));
    m_nSelLastCol = int16_t(std::max(anchorCol, endCol));
}

CellArea SheetSelection::Area() const {
    return CellArea::area(m_nSelFirstRow, m_nSelFirstCol, m_nSelLastRow, m_nSelLastCol);
}

}  // namespace qor

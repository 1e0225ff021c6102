#include "engine/valuemarks.h"

namespace qor {

void ValueMarks::NoteCell(int page, uint16_t row, uint16_t col) {
    if (m_quiet || m_all) return;
    PageMarks& m = m_pages[page];
    if (m.whole) return;
    if (m.cells.size() >= kCellsPerPage) {
        m.whole = true;
        m.cells = {};
        return;
    }
    m.cells.push_back({row, col});
}

void ValueMarks::NotePage(int page) {
    if (m_quiet || m_all) return;
    PageMarks& m = m_pages[page];
    m.whole = true;
    m.cells = {};
}

}  // namespace qor

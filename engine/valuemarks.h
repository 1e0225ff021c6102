#pragma once
// What changed since the formulas were last brought up to date. Every
// write to a page, every page added, removed or moved and every committed
// format edit is noted here by the engine itself, so no caller has to
// remember to recalculate: whatever saves or reads values first asks the
// report to bring them current (CReportHandle::BringCurrent).

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

namespace qor {

class ValueMarks {
public:
    struct Cell {
        uint16_t row = 0, col = 0;  // stored, from 1
    };
    // A page whose cells are noted one by one up to this many; past them
    // the whole page counts as changed.
    static constexpr size_t kCellsPerPage = 256;

    // page: position from 1; 0 when the writer does not know it (then
    // every page counts as changed).
    void NoteCell(int page, uint16_t row, uint16_t col);
    // Keywords, variable lines or any cell of one page.
    void NotePage(int page);
    // Pages added, removed or reordered; a new format.
    void NoteAll() {
        if (!m_quiet) m_all = true;
    }

    bool Any() const { return m_all || !m_pages.empty(); }
    bool All() const { return m_all; }
    struct PageMarks {
        bool whole = false;        // anything on the page
        std::vector<Cell> cells;  // else these cells
    };
    // The pages noted by position (0: a page not known by position).
    const std::map<int, PageMarks>& Pages() const { return m_pages; }
    void Clear() {
        m_all = false;
        m_pages.clear();
    }

    // While one lives, writes are not noted: a recalculation writing its
    // own results changes nothing its formulas have not accounted for.
    class Quiet {
    public:
        explicit Quiet(ValueMarks& marks) : m_marks(marks) { ++m_marks.m_quiet; }
        ~Quiet() { --m_marks.m_quiet; }
        Quiet(const Quiet&) = delete;
        Quiet& operator=(const Quiet&) = delete;

    private:
        ValueMarks& m_marks;
    };
    bool IsQuiet() const { return m_quiet > 0; }

private:
    bool m_all = false;
    int m_quiet = 0;
    std::map<int, PageMarks> m_pages;
};

}  // namespace qor

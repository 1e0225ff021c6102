// Shown/stored mapping, keyword placement and page order of the report
// file.

#include <algorithm>

#include "engine/cellformat.h"
#include "engine/cells_varmap.h"
#include "engine/creportfile.h"
#include "engine/status.h"

using namespace qor;

namespace {

constexpr int kPlacedKeywordSlots = 7;  // slot 7 is read and written, never searched

}  // namespace

// ---------------------------------------------------------------------------
// Shown and stored coordinates

int CReportFile::VarUsedLines() const {
    if (IsFormatEditing() || m_format.header.varKind == 0) return 1;
    if (!m_pinned) return 1;
    // Where the rows after the area are shown depends on the lines the
    // current page uses: a cell addressed before anything read the page
    // (a host's first SetCurCell) would otherwise be taken for the cell
    // of a page with one line.
    if (!m_pinned->page) const_cast<CReportFile*>(this)->Page(PinnedPageNumber());
    if (!m_pinned->page) return 1;
    return std::max<int>(1, m_pinned->page->VarUsed());
}

int CReportFile::MapCellAddress(int shownRow, int shownCol, uint16_t* storedRow,
                                uint16_t* storedCol) const {
    StoredCell c;
    if (!MapShownCell(m_format.header, VarUsedLines(), shownRow, shownCol, &c)) return 0;
    if (storedRow) *storedRow = c.row;
    if (storedCol) *storedCol = c.col;
    return 1;
}

int CReportFile::MapAreaAddress(const CellArea& area, CellArea* mapped) const {
    uint16_t r1, c1, r2, c2;
    if (!MapCellAddress(area.first.row, area.first.col, &r1, &c1) ||
        !MapCellAddress(area.last.row, area.last.col, &r2, &c2))
        return 0;
    if (mapped)
        *mapped =
            CellArea::area(std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2));
    return 1;
}

uint16_t CReportFile::GetShownRowCount() const {
    return uint16_t(ShownRowCount(m_format.header, VarUsedLines()));
}

uint16_t CReportFile::GetShownColCount() const {
    return uint16_t(ShownColCount(m_format.header, VarUsedLines()));
}

// ---------------------------------------------------------------------------
// Keywords

int CReportFile::FindKeywordAt(int row, int col, int* slot) const {
    uint16_t r, c;
    if (!MapCellAddress(row, col, &r, &c)) return 0;
    const ReportHeader& h = m_format.header;
    if ((h.varKind == 1 && r == h.varStart) || (h.varKind == 2 && c == h.varStart)) return 0;
    for (int i = 0; i < kPlacedKeywordSlots; ++i) {
        const KeywordSlot& k = h.keywords[size_t(i)];
        if (k.row == r && k.col == c) {
            if (slot) *slot = i;
            return 1;
        }
    }
    return 0;
}

bool CReportFile::keywordCellAllowed(int slot, const AreaRecord& cell) const {
    const ReportHeader& h = m_format.header;
    if ((h.varKind == 1 && cell.r1 == h.varStart) || (h.varKind == 2 && cell.c1 == h.varStart))
        return false;
    AreaRecord combined;
    if (FindCombinedArea(cell.r1, cell.c1, &combined) &&
        (combined.r1 != cell.r1 || combined.c1 != cell.c1))
        return false;
    for (int i = 0; i < int(h.keywords.size()); ++i) {
        const KeywordSlot& k = h.keywords[size_t(i)];
        if (i != slot && k.row == cell.r1 && k.col == cell.c1) return false;
    }
    return true;
}

// The keyword bit of a cell's format word follows whether any slot sits
// there.
void CReportFile::markKeywordCell(uint16_t row, uint16_t col) {
    ReportFormat& f = m_format;
    if (row < 1 || col < 1 || row > f.header.rows || col > f.header.cols) return;
    bool used = false;
    for (const KeywordSlot& k : f.header.keywords) used |= k.row == row && k.col == col;
    uint64_t& word = f.cellFormat(row, col);
    word = kFmtKeywordCell.set(word, used ? 1 : 0);
}

uint16_t CReportFile::PlaceKeyword(int slot, int row, int col, int textOffset) {
    ReportHeader& h = m_format.header;
    if (slot < 0 || slot >= int(h.keywords.size())) return code(Status::Refused);
    KeywordSlot& k = h.keywords[size_t(slot)];
    const KeywordSlot old = k;
    const int16_t offset = int16_t(std::clamp(textOffset, -32768, 32767));
    if (row == 0 || col == 0) {
        k.row = k.col = 0;
        k.textOffset = offset;
    } else {
        uint16_t r, c;
        if (!MapCellAddress(row, col, &r, &c)) return code(Status::KeywordPlacementInvalid);
        if (!keywordCellAllowed(slot, AreaRecord{r, c, r, c}))
            return code(Status::KeywordPlacementInvalid);
        k.row = r;
        k.col = c;
        k.textOffset = offset;
    }
    markKeywordCell(old.row, old.col);
    markKeywordCell(k.row, k.col);
    return 0;
}

void CReportFile::SetKeywordPos(int slot, int row, int col, int textOffset) {
    if (slot < 0 || slot >= kPlacedKeywordSlots) return;
    PlaceKeyword(slot, row, col, textOffset);
}

int CReportFile::GetKeywordOffset(int slot) const {
    if (slot < 0 || slot >= int(m_format.header.keywords.size())) return 0;
    return m_format.header.keywords[size_t(slot)].textOffset;
}

void CReportFile::SetKeywordOffset(int slot, int textOffset) {
    if (slot < 0 || slot >= int(m_format.header.keywords.size())) return;
    m_format.header.keywords[size_t(slot)].textOffset =
        int16_t(std::clamp(textOffset, -32768, 32767));
}

QString CReportFile::GetUserKeywordName() const { return m_format.header.userKeywordName; }

bool CReportFile::SetUserKeywordName(const QString& name) {
    // A cut name would silently become another keyword's name.
    if (name.size() > kUserKeywordNameChars) return false;
    m_format.header.userKeywordName = name;
    return true;
}

int CReportFile::GetUserKeywordType() const { return m_format.header.userKeywordType ? 1 : 0; }

void CReportFile::SetUserKeywordType(int type) { m_format.header.userKeywordType = type ? 1 : 0; }

// ---------------------------------------------------------------------------
// Pages

uint16_t CReportFile::ReorderPages(const std::vector<int>& order) {
    const size_t n = m_pages.size();
    if (order.size() != n) return code(Status::Refused);
    std::vector<bool> seen(n, false);
    for (int p : order) {
        if (p < 1 || size_t(p) > n || seen[size_t(p - 1)]) return code(Status::Refused);
        seen[size_t(p - 1)] = true;
    }
    std::vector<std::unique_ptr<PageEntry>> pages(n);
    for (size_t i = 0; i < n; ++i) pages[i] = std::move(m_pages[size_t(order[i] - 1)]);
    m_pages = std::move(pages);
    renumberLoadedPages();
    m_marks->NoteAll();
    return 0;
}

int CReportFile::PinnedPageNumber() const {
    if (!m_pinned) return 0;
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i].get() == m_pinned) return int(i + 1);
    return 0;
}

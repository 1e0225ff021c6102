// Table shape, cell formats, row and column records, combined cells and
// lines of an open report.
#include <algorithm>
#include <cmath>

#include "engine/cellgate.h"
#include "engine/cells_round.h"
#include "engine/cells_varmap.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "engine/format_areas.h"
#include "engine/status.h"

using namespace qor;

namespace {

constexpr uint16_t kRefused = code(Status::Refused);
constexpr uint16_t kOutside = code(Status::OutsideTable);

// Bits of a format word that describe the cell's place (combined area,
// formula, keyword, label) rather than its look.
constexpr uint64_t kPlaceBits =
    kFmtCombineCode.mask() | kFmtHasFormula.mask() | kFmtKeywordCell.mask() | kFmtHasLabel.mask();

}  // namespace

// ---------------------------------------------------------------------------
// Coordinates

uint16_t CReportHandle::mapFormatArea(const CellArea* area, AreaRecord* stored) const {
    if (!m_file || !area) return kRefused;
    CellArea mapped;
    if (!m_file->MapAreaAddress(*area, &mapped)) return kOutside;
    *stored = {uint16_t(mapped.first.row), uint16_t(mapped.first.col), uint16_t(mapped.last.row),
               uint16_t(mapped.last.col)};
    if (!areaInTable(*stored, m_file->GetRowCount(), m_file->GetColCount())) return kOutside;
    return 0;
}

uint16_t CReportHandle::mapRowColIndex(int kind, int index, uint16_t* stored) const {
    if (kind != 0 && kind != 1) return kRefused;
    uint16_t r = 0, c = 0;
    const bool mapped = kind == 0 ? m_file->MapCellAddress(index, 1, &r, &c)
                                  : m_file->MapCellAddress(1, index, &r, &c);
    if (!mapped) return kOutside;
    *stored = kind == 0 ? r : c;
    const size_t n = kind == 0 ? m_file->Format().rowRecs.size() : m_file->Format().colRecs.size();
    return *stored >= 1 && *stored <= n ? 0 : kOutside;
}

// ---------------------------------------------------------------------------
// Table shape

void CReportHandle::copyInsertedLineFormats(int kind, uint16_t pos, uint16_t count) {
    ReportFormat& f = m_file->MutableFormat();
    const uint16_t lines = kind == 0 ? f.header.rows : f.header.cols;
    const uint16_t from = pos > 1 ? uint16_t(pos - 1) : uint16_t(pos + count);
    if (from < 1 || from > lines) return;
    auto& recs = kind == 0 ? f.rowRecs : f.colRecs;
    const uint16_t across = kind == 0 ? f.header.cols : f.header.rows;
    for (uint16_t i = pos; i < pos + count; ++i) {
        recs[i - 1u] = recs[from - 1u];
        for (uint16_t j = 1; j <= across; ++j) {
            const uint64_t src = kind == 0 ? f.cellFormat(from, j) : f.cellFormat(j, from);
            uint64_t& dst = kind == 0 ? f.cellFormat(i, j) : f.cellFormat(j, i);
            dst = (src & ~kPlaceBits) | (dst & kPlaceBits);
        }
    }
}

uint16_t CReportHandle::InsertRowsCols(int pos, uint16_t* count, int kind) {
    if (!m_file || !count || *count == 0 || (kind != 0 && kind != 1)) return kRefused;
    if (!IsFormatState()) return kRefused;
    const uint16_t rows = m_file->GetRowCount(), cols = m_file->GetColCount();
    const uint16_t lines = kind == 0 ? rows : cols;
    if (pos < 1 || pos > lines + 1) return kOutside;
    const uint16_t fits = uint16_t((kind == 0 ? kMaxRows : kMaxCols) - lines);
    if (fits == 0) {
        *count = 0;
        return code(Status::TableSizeOutOfBounds);
    }
    const uint16_t n = std::min(*count, fits);
    *count = n;
    RemapMatrix step = RemapMatrix::identity(rows, cols);
    if (kind == 0)
        step.insertRows(uint16_t(pos), n);
    else
        step.insertCols(uint16_t(pos), n);
    if (uint16_t s = m_file->RemapTable(step)) return s;
    copyInsertedLineFormats(kind, uint16_t(pos), n);
    return 0;
}

uint16_t CReportHandle::DeleteRowsCols(int pos, int count, int kind) {
    if (!m_file || count <= 0 || (kind != 0 && kind != 1)) return kRefused;
    if (!IsFormatState()) return kRefused;
    const uint16_t rows = m_file->GetRowCount(), cols = m_file->GetColCount();
    const uint16_t lines = kind == 0 ? rows : cols;
    if (pos < 1 || pos > lines) return kOutside;
    const uint16_t n = uint16_t(std::min(count, lines - pos + 1));
    if (n >= lines) return code(Status::TableSizeOutOfBounds);
    RemapMatrix step = RemapMatrix::identity(rows, cols);
    if (kind == 0)
        step.deleteRows(uint16_t(pos), n);
    else
        step.deleteCols(uint16_t(pos), n);
    return m_file->RemapTable(step);
}

uint16_t CReportHandle::SwapRowColPage(const QList<int>& listA, const QList<int>& listB, int kind) {
    if (!m_file || kind < 0 || kind > 2) return kRefused;
    if (kind < 2 && !IsFormatState()) return kRefused;
    const uint16_t invalid = code(Status::SortListInvalid);
    if (listA.isEmpty() || listA.size() != listB.size()) return invalid;
    const int limit = kind == 0   ? m_file->GetRowCount()
                      : kind == 1 ? m_file->GetColCount()
                                  : m_file->PageCount();
    auto valid = [&](int v) { return v >= 1 && v <= limit; };
    if (!std::all_of(listA.begin(), listA.end(), valid) ||
        !std::all_of(listB.begin(), listB.end(), valid))
        return invalid;
    if (kind == 2) {
        std::vector<int> order(static_cast<size_t>(limit));
        for (int i = 0; i < limit; ++i) order[size_t(i)] = i + 1;
        for (qsizetype i = 0; i < listA.size(); ++i)
            std::swap(order[size_t(listA[i] - 1)], order[size_t(listB[i] - 1)]);
        if (uint16_t s = m_file->ReorderPages(order)) return s;
        // The current page stays current under its new number.
        if (m_curPage) m_curPage = m_file->PinnedPageNumber();
        return 0;
    }
    RemapMatrix step = RemapMatrix::identity(m_file->GetRowCount(), m_file->GetColCount());
    for (qsizetype i = 0; i < listA.size(); ++i) {
        if (kind == 0)
            step.swapRows(uint16_t(listA[i]), uint16_t(listB[i]));
        else
            step.swapCols(uint16_t(listA[i]), uint16_t(listB[i]));
    }
    return m_file->RemapTable(step);
}

namespace {
uint16_t convertToTemplate(CReportFile& file, const ReportFormat& t);
}  // namespace

uint16_t CReportHandle::CopyFormatFrom(CReportHandle& tmpl) {
    if (!m_file || !tmpl.m_file || &tmpl == this || !IsFormatState()) return kRefused;
    try {
        const ReportFormat src = tmpl.m_file->Format();
        // The template's area row (column) would hide what the pages hold
        // there: refused before anything changes.
        uint16_t unread = 0;
        if (m_file->FirstHeldCellInLine(src.header.varKind, src.header.varStart, &unread).page)
            return code(Status::VarAreaInvalid);
        if (unread) return unread;
        // The pages' values take the template's kinds before anything
        // changes, or the template is refused naming the value.
        const int userType = src.header.userKeywordType ? 1 : 0;
        if (uint16_t s = ConvertUserKeyword(*m_file, userType, false)) return s;
        if (uint16_t s = convertToTemplate(*m_file, src)) return s;
        if (uint16_t s = ConvertUserKeyword(*m_file, userType, true)) return s;
        const RemapMatrix step = RemapMatrix::byPosition(
            m_file->GetRowCount(), m_file->GetColCount(), src.header.rows, src.header.cols);
        if (!step.isIdentity())
            if (uint16_t s = m_file->RemapTable(step)) return s;
        ReportFormat& f = m_file->MutableFormat();
        ReportHeader& h = f.header;
        const ReportHeader& t = src.header;
        h.varKind = t.varKind;
        h.varStart = t.varStart;
        h.varExtent = t.varExtent;
        h.userKeywordType = t.userKeywordType;
        h.keywords = t.keywords;
        h.userKeywordName = t.userKeywordName;
        h.pageSetup = t.pageSetup;
        constexpr uint32_t copied = kFlagCalcOverwritesFormulas | kFlagAuditPresent |
                                    kFlagRoundingPresent | kFlagPageSetupSet;
        h.flags = (h.flags & ~copied) | (t.flags & copied);
        f.rowRecs = src.rowRecs;
        f.colRecs = src.colRecs;
        f.cellFormats = src.cellFormats;
        f.labels = src.labels;
        f.combined = src.combined;
        f.areaLines = src.areaLines;
        f.formulas = src.formulas;
        h.formulaCount = uint32_t(f.formulas.size());
        f.auditText = src.auditText;
        f.rounding = src.rounding;
    } catch (const std::bad_alloc&) {
        return code(Status::OutOfMemory);
    }
    return 0;
}

uint16_t CReportHandle::ApplyTableStyle(int styleIndex, const CellArea* area) {
    if (!m_file || !IsFormatState() || styleIndex < 0 || styleIndex >= kTableStyleCount)
        return kRefused;
    AreaRecord a{1, 1, m_file->GetRowCount(), m_file->GetColCount()};
    if (area)
        if (uint16_t s = mapFormatArea(area, &a)) return s;
    return applyTableStyle(m_file->MutableFormat(), a, styleIndex);
}

// ---------------------------------------------------------------------------
// Cell formats and row and column records

uint16_t CReportHandle::ReadAreaFormatWord(const CellArea* area, uint64_t* word) {
    if (!m_file || !word || !area) return kRefused;
    AreaRecord a;
    if (uint16_t s = mapFormatArea(area, &a)) return s;
    const ReportFormat& f = m_file->Format();
    uint16_t r = a.r1, c = a.c1;
    if (const AreaRecord* comb = findCombined(f, r, c)) {
        r = comb->r1;
        c = comb->c1;
    }
    *word = f.cellFormat(r, c);
    return 0;
}

namespace {

bool holdsText(int kind) { return kind == kCellText || kind == kCellOtherText; }
bool holdsNumber(int kind) { return kind == kCellUnset || kind == kCellNumber; }

// Where the values of a stored cell of the format being edited sit on a
// page: pages keep the committed shape until format state is left, so the
// cell is followed back through the pending shape changes. `target` is the
// header the cell will have: the variable lines live on only where the
// commit keeps them (the same area, same kind and start).
struct ValueSite {
    bool found = false;
    bool var = false;
    uint16_t row = 0, col = 0;  // fixed part, stored
    uint16_t pos = 0;           // position in a variable line
};

ValueSite valueSite(const CReportFile& file, uint16_t row, uint16_t col,
                    const ReportHeader& target) {
    ValueSite site;
    uint16_t r = 0, c = 0;
    if (!file.PendingOrigin(row, col, &r, &c)) return site;
    const ReportHeader& h = file.CommittedFormat().header;
    const bool wasVar = (h.varKind == 1 && r == h.varStart) || (h.varKind == 2 && c == h.varStart);
    const bool isVar = (target.varKind == 1 && row == target.varStart) ||
                       (target.varKind == 2 && col == target.varStart);
    if (wasVar != isVar) return site;
    if (isVar && (target.varKind != h.varKind || (h.varKind == 1 ? row != r : col != c)))
        return site;
    site.found = true;
    site.row = r;
    site.col = c;
    site.var = wasVar;
    if (wasVar) site.pos = uint16_t((h.varKind == 1 ? c : r) - 1);
    return site;
}

// Brings one slot to the kind of its cell (format word `word`: text or
// number) by the gate. With apply false only the fault is found. *was is
// the value met.
ValueFault conformSlot(CSheetPage& page, const ValueSite& s, uint32_t line, uint64_t word,
                       bool apply, CellValue* was) {
    const bool toText = CellKeepsText(word);
    if (s.var && !page.VarLines().contains(line, s.pos)) return ValueFault::None;
    const CellSlot slot = s.var ? page.VarLines().slot(line, s.pos) : page.Slot(s.row, s.col);
    CellValue now;
    if (slot.isText())
        now = CellValue::ofText(s.var ? page.VarLines().text(line, s.pos) : page.Text(s.row, s.col));
    else if (slot.isNumber() && !slot.isEmptyNumber())
        now = CellValue::ofNumber(slot.numberValue());
    else
        return ValueFault::None;
    // A number already in a number cell passes only to be held to the
    // decimals the cell shows (a page taken from a report of more).
    if (now.isText() == toText && (toText || (std::isfinite(now.number) &&
                                              HeldToShownDecimals(now.number, word) == now.number)))
        return ValueFault::None;
    CellValue kept;
    const ValueFault fault = ValueForCell(now, word, &kept);
    *was = now;
    if (fault != ValueFault::None || !apply) return fault;
    if (kept.isText()) {
        if (s.var)
            page.MutableVarLines().setText(line, s.pos, kept.text, slot.flags);
        else
            page.SetText(s.row, s.col, kept.text, slot.flags);
    } else {
        const CellSlot next = kept.kind == kCellNumber ? CellSlot::number(kept.number, slot.flags)
                                                       : CellSlot::emptyNumber(slot.flags);
        if (s.var)
            page.MutableVarLines().setSlot(line, s.pos, next);
        else
            page.SetSlot(s.row, s.col, next);
    }
    page.SetDirty(true);
    return ValueFault::None;
}

uint16_t refusePageCell(ValueFault fault, int page, uint16_t row, uint16_t col,
                        const CellValue& value) {
    return RefuseValue(fault, PageCellPlace(page, row, col), FaultyValueText(value),
                       kMaxCellTextChars);
}

// Whether a cell going from kind `old` to `kind` must have its pages'
// values converted. A label keeps the pages' values out of sight, whatever
// they are: a cell that holds values again takes them by the gate as one
// changed from text or number does.
bool kindConverts(int old, int kind) {
    return (holdsText(kind) && !holdsText(old)) || (holdsNumber(kind) && !holdsNumber(old));
}

struct KindChange {
    uint16_t row, col;  // the cell as now edited (named in a refusal)
    uint64_t word;      // its format in the new kind
    ValueSite site;
};

// Cells change kind on every page at once: a total over several pages
// would otherwise add numbers on one page and texts read as numbers on
// another. A text the number rule does not read leaves everything as it
// was and is named, page and cell, so no amount is made up from "12abc".
uint16_t convertPages(CReportFile& file, const std::vector<KindChange>& changes, bool* converted) {
    const int pages = changes.empty() ? 0 : file.PageCount();
    // Two rounds: every page is checked before any is changed.
    for (int round = 0; round < 2; ++round) {
        for (int p = 1; p <= pages; ++p) {
            uint16_t status = 0;
            std::shared_ptr<CSheetPage> page = file.Page(p, &status);
            if (!page) return status ? status : kRefused;
            for (const KindChange& ch : changes) {
                const uint32_t lines = ch.site.var ? page->VarLines().lines() : 1;
                for (uint32_t line = 0; line < lines; ++line) {
                    CellValue was;
                    if (ValueFault fault = conformSlot(*page, ch.site, line, ch.word, round == 1, &was);
                        fault != ValueFault::None)
                        return refusePageCell(fault, p, ch.row, ch.col, was);
                    if (was.kind != kCellUnset && converted) *converted = true;
                }
            }
        }
    }
    return 0;
}

uint16_t changeCellKind(CReportFile& file, const AreaRecord& a, int kind, bool* converted) {
    ReportFormat& f = file.MutableFormat();
    std::vector<KindChange> changes;
    for (uint16_t r = a.r1; r <= a.r2; ++r)
        for (uint16_t c = a.c1; c <= a.c2; ++c) {
            const int old = int(cellFormatGet(f.cellFormat(r, c), kFmtKind));
            if (!kindConverts(old, kind)) continue;
            const ValueSite site = valueSite(file, r, c, f.header);
            if (site.found)
                changes.push_back(
                    {r, c, cellFormatSet(f.cellFormat(r, c), kFmtKind, uint64_t(kind)), site});
        }
    if (uint16_t s = convertPages(file, changes, converted)) return s;
    for (uint16_t r = a.r1; r <= a.r2; ++r)
        for (uint16_t c = a.c1; c <= a.c2; ++c)
            f.cellFormat(r, c) = cellFormatSet(f.cellFormat(r, c), kFmtKind, uint64_t(kind));
    return 0;
}

// A template's cells take the pages' values by position, as its shape
// does: every page's value converts to the kind of the template's cell, or
// the template is refused naming the first that does not.
uint16_t convertToTemplate(CReportFile& file, const ReportFormat& t) {
    const ReportFormat& f = file.Format();
    std::vector<KindChange> changes;
    const uint16_t rows = std::min(f.header.rows, t.header.rows);
    const uint16_t cols = std::min(f.header.cols, t.header.cols);
    for (uint16_t r = 1; r <= rows; ++r)
        for (uint16_t c = 1; c <= cols; ++c) {
            const uint64_t word = t.cellFormat(r, c);
            const int kind = int(cellFormatGet(word, kFmtKind));
            if (!kindConverts(int(cellFormatGet(f.cellFormat(r, c), kFmtKind)), kind)) continue;
            const ValueSite site = valueSite(file, r, c, t.header);
            if (site.found) changes.push_back({r, c, word, site});
        }
    return convertPages(file, changes, nullptr);
}

}  // namespace

namespace {

// Fewer decimals round every page's numbers in the area when the edit
// ends; a page that does not read could not be, and would keep amounts
// its cells no longer show. Every page is read before anything changes.
uint16_t pagesReadForDecimalCut(CReportFile& file, const AreaRecord& a, BitField field,
                                uint32_t bits) {
    const ReportFormat& f = file.Format();
    bool cuts = false;
    for (uint16_t r = a.r1; r <= a.r2 && !cuts; ++r)
        for (uint16_t c = a.c1; c <= a.c2 && !cuts; ++c) {
            const uint64_t was = f.cellFormat(r, c);
            const int now = cellShownDecimals(field.set(was, bits));
            cuts = now >= 0 && now < cellShownDecimals(was);
        }
    for (int p = 1; cuts && p <= file.PageCount(); ++p) {
        uint16_t status = 0;
        if (!file.Page(p, &status)) return status ? status : kRefused;
    }
    return 0;
}

}  // namespace

uint16_t qor::ConformPageValues(CReportHandle& report, int page, bool apply, int namedPage) {
    CReportFile* file = report.GetReportFile();
    if (!file || file->IsFormatEditing()) return kRefused;
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> p = file->Page(page, &status);
    if (!p) return status ? status : kRefused;
    const ReportFormat& f = file->Format();
    for (uint16_t r = 1; r <= f.header.rows; ++r)
        for (uint16_t c = 1; c <= f.header.cols; ++c) {
            const uint64_t word = f.cellFormat(r, c);
            const int kind = int(cellFormatGet(word, kFmtKind));
            if (!holdsText(kind) && !holdsNumber(kind)) continue;
            const ValueSite site = valueSite(*file, r, c, f.header);
            const uint32_t lines = site.var ? p->VarLines().lines() : 1;
            for (uint32_t line = 0; line < lines; ++line) {
                CellValue was;
                if (ValueFault fault = conformSlot(*p, site, line, word, apply, &was);
                    fault != ValueFault::None)
                    return refusePageCell(fault, namedPage ? namedPage : page, r, c, was);
            }
        }
    return 0;
}

uint16_t CReportHandle::AccessAreaFormat(int flag, int code, int32_t* value, const CellArea* area) {
    if (!m_file || !value || !area || (flag != 0 && flag != 1)) return kRefused;
    const BitField field = cellFormatField(code);
    if (field.width == 0) return kRefused;
    if (flag == 1 && code != kFmtKind && !IsFormatState()) return kRefused;
    if (flag == 0) {
        uint64_t word = 0;
        if (uint16_t s = ReadAreaFormatWord(area, &word)) return s;
        *value = int32_t(cellFormatGet(word, code));
        return 0;
    }
    AreaRecord a;
    if (uint16_t s = mapFormatArea(area, &a)) return s;
    int64_t v = *value;
    if (code == kFmtDecimals) v = std::clamp<int64_t>(v, 0, 7);
    const uint32_t bits = uint32_t(v) & uint32_t((uint64_t(1) << field.width) - 1);
    if (code == kFmtKind) {
        bool converted = false;
        if (uint16_t s = changeCellKind(*m_file, a, int(bits), &converted)) return s;
        // Formulas over the converted cells read another kind of value now,
        // on every page, and a formula's own cell keeps its result in the
        // new kind: a total must not keep what it added before.
        (void)converted;
        m_file->Marks().NoteAll();
        return 0;
    }
    if (code == kFmtDecimals || code == kFmtPercent)
        if (uint16_t s = pagesReadForDecimalCut(*m_file, a, field, bits)) return s;
    ReportFormat& f = m_file->MutableFormat();
    for (uint16_t r = a.r1; r <= a.r2; ++r)
        for (uint16_t c = a.c1; c <= a.c2; ++c)
            f.cellFormat(r, c) = field.set(f.cellFormat(r, c), bits);
    return 0;
}


uint16_t CReportHandle::AccessRowColSize(int flag, int kind, int index, uint16_t* size) {
    if (!m_file || !size || (flag != 0 && flag != 1)) return kRefused;
    if (flag == 1 && !IsFormatState()) return kRefused;
    uint16_t stored = 0;
    if (uint16_t s = mapRowColIndex(kind, index, &stored)) return s;
    if (flag == 0) {
        const ReportFormat& f = m_file->Format();
        *size = (kind == 0 ? f.rowRecs : f.colRecs)[stored - 1u].size;
    } else {
        ReportFormat& f = m_file->MutableFormat();
        (kind == 0 ? f.rowRecs : f.colRecs)[stored - 1u].size = *size;
    }
    return 0;
}

uint16_t CReportHandle::AccessRowColFlag(int flag, int kind, int index, int32_t* value) {
    if (!m_file || !value || (flag != 0 && flag != 1)) return kRefused;
    if (flag == 1 && !IsFormatState()) return kRefused;
    uint16_t stored = 0;
    if (uint16_t s = mapRowColIndex(kind, index, &stored)) return s;
    if (flag == 0) {
        const ReportFormat& f = m_file->Format();
        *value = int8_t((kind == 0 ? f.rowRecs : f.colRecs)[stored - 1u].line);
    } else {
        ReportFormat& f = m_file->MutableFormat();
        (kind == 0 ? f.rowRecs : f.colRecs)[stored - 1u].line = uint8_t(*value & 0xFF);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Combined cells and lines

uint16_t CReportHandle::CombineCells(const CellArea* area) {
    if (!m_file || !area || !IsFormatState()) return kRefused;
    AreaRecord a;
    if (uint16_t s = mapFormatArea(area, &a)) return s;
    if (a.r1 == a.r2 && a.c1 == a.c2) return code(Status::CombineSingleCell);
    const ReportFormat& f = m_file->Format();
    for (const AreaRecord& c : f.combined) {
        if (c == a) return 0;
        if (areasIntersect(c, a)) return code(Status::CombineOverlap);
    }
    const ReportHeader& h = f.header;
    if ((h.varKind == 1 && h.varStart >= a.r1 && h.varStart <= a.r2) ||
        (h.varKind == 2 && h.varStart >= a.c1 && h.varStart <= a.c2))
        return code(Status::CombineVarAreaStart);
    if (m_file->AreaHasFormula(a)) return code(Status::CombineFormula);
    // A keyword sits in a combined area's first cell or not at all, as
    // placing one refuses any other cell of an area: the rest of the area
    // is no cell a page could show it in.
    for (const KeywordSlot& k : h.keywords)
        if (k.row && areaContains(a, k.row, k.col) && (k.row != a.r1 || k.col != a.c1))
            return code(Status::KeywordPlacementInvalid);
    ReportFormat& mf = m_file->MutableFormat();
    mf.combined.push_back(a);
    for (uint16_t r = a.r1; r <= a.r2; ++r)
        for (uint16_t c = a.c1; c <= a.c2; ++c)
            mf.cellFormat(r, c) =
                kFmtCombineCode.set(mf.cellFormat(r, c), uint64_t(combinePositionCode(a, r, c)));
    return 0;
}

int CReportHandle::GetCombinedArea(const CellArea& in, CellArea* out) const {
    if (!m_file || !out) return 0;
    CellArea mapped;
    if (!m_file->MapAreaAddress(in, &mapped)) return 0;
    AreaRecord c;
    if (!m_file->FindCombinedArea(uint16_t(mapped.first.row), uint16_t(mapped.first.col), &c))
        return 0;
    if (!areaContains(c, uint16_t(mapped.last.row), uint16_t(mapped.last.col))) return 0;
    const ReportHeader& h = m_file->Format().header;
    const int used = m_file->VarUsedLines();
    *out = CellArea::area(ShownRowOf(h, used, c.r1), ShownColOf(h, used, c.c1),
                          ShownRowOf(h, used, c.r2, true), ShownColOf(h, used, c.c2, true));
    return 1;
}

uint16_t CReportHandle::UncombineCells(const CellArea* area) {
    if (!m_file || !area || !IsFormatState()) return kRefused;
    AreaRecord a;
    if (uint16_t s = mapFormatArea(area, &a)) return s;
    ReportFormat& f = m_file->MutableFormat();
    std::erase_if(f.combined, [&](const AreaRecord& c) {
        if (!areasIntersect(c, a)) return false;
        for (uint16_t r = c.r1; r <= c.r2; ++r)
            for (uint16_t col = c.c1; col <= c.c2; ++col)
                f.cellFormat(r, col) = kFmtCombineCode.set(f.cellFormat(r, col), 0);
        return true;
    });
    return 0;
}

uint16_t CReportHandle::DrawAreaLines(const CellArea* area, int type, int style) {
    if (!m_file || !area || !IsFormatState()) return kRefused;
    if (type < kLinesGrid || type > kLinesRight || style < kLineNone || style > kLineThick)
        return kRefused;
    AreaRecord a;
    if (uint16_t s = mapFormatArea(area, &a)) return s;
    return drawAreaLines(m_file->MutableFormat(), a, type, style);
}

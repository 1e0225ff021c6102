// Cell values, pages, the variable area's lines, keywords and the report's
// settings, as the open report offers them.

#include <QStringView>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/cellformat.h"
#include "engine/cellgate.h"
#include "engine/cells_round.h"
#include "engine/cells_varmap.h"
#include "engine/creporthandle.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"
#include "engine/recordfill.h"
#include "engine/status.h"
#include "engine/textutil.h"

using namespace qor;

namespace {

constexpr uint16_t kOk = 0;
constexpr uint16_t kRefused = code(Status::Refused);
constexpr uint16_t kOutside = code(Status::OutsideTable);
constexpr uint16_t kBadPage = code(Status::PageOutOfRange);
constexpr uint16_t kBadVarArea = code(Status::VarAreaInvalid);
constexpr uint16_t kBadSortList = code(Status::SortListInvalid);
constexpr uint16_t kBeyondTable = code(Status::TableSizeOutOfBounds);
constexpr int kMaxSortKeys = 3;
constexpr int kWholeQueue = 10000;

// Numbers that must become text keep every digit a double holds.
QString numberText(double v) { return QString::number(v, 'g', 15); }

bool isBlank(const QString& text) { return text.trimmed().isEmpty(); }

int cellKindOf(uint64_t word) { return int(cellFormatGet(word, kFmtKind)); }

// Numbers first, then texts; numbers by value, texts by their characters.
int compareValues(const CellValue& a, const CellValue& b) {
    const bool an = !a.isText(), bn = !b.isText();
    if (an != bn) return an ? -1 : 1;
    if (an) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    return a.text.compare(b.text);
}

// A key whose pages hold numbers and texts (a keyword written both ways)
// orders by number, each text read as a number cell reads it; without this
// a text would sort after every number and "7" after 10. A text the rule
// does not read refuses the sort, naming its page. Blank texts and unset
// values stay as they are.
uint16_t numbersWhenMixed(std::vector<std::vector<CellValue>>& values, size_t key,
                          const QString& keyName) {
    bool numbers = false, texts = false;
    for (const std::vector<CellValue>& page : values) {
        const CellValue& v = page[key];
        if (v.kind == kCellNumber) numbers = true;
        if (v.isText() && !isBlank(v.text)) texts = true;
    }
    if (!numbers || !texts) return kOk;
    for (size_t p = 0; p < values.size(); ++p) {
        CellValue& v = values[p][key];
        if (!v.isText()) continue;
        double number = 0;
        if (isBlank(v.text)) {
            v = CellValue{};
        } else if (TextAsCellNumber(v.text, &number)) {
            v = CellValue::ofNumber(number);
        } else {
            return RefuseValue(ValueFault::NotANumber,
                               LoadErrorText(str::kLossPagePlace).arg(p + 1) + QLatin1Char(' ') +
                                   keyName,
                               v.text, 0);
        }
    }
    return kOk;
}

CellValue keywordAsValue(const KeywordValue& k) {
    if (k.kind == 1) return CellValue::ofNumber(k.number);
    if (k.kind == 2) return CellValue::ofText(k.text);
    return {};
}

}  // namespace

struct CReportHandle::CellSite {
    StoredCell cell;
    uint64_t format = 0;  // of the stored (template) cell
    uint16_t varPos = 0;  // position in the variable line
};

// ---------------------------------------------------------------------------
// Locating pages and cells

uint16_t CReportHandle::pageFor(int page, bool inFormatState, std::shared_ptr<CSheetPage>* out) {
    if (!m_file) return kRefused;
    if (page == 0 || (page == m_curPage && !m_file->IsFormatEditing())) {
        uint16_t status = 0;
        *out = currentPage(&status);
        return status;
    }
    if (m_file->IsFormatEditing() && !inFormatState) return kRefused;
    if (page < 0 || page > m_file->PageCount()) return kBadPage;
    uint16_t status = 0;
    std::shared_ptr<CSheetPage> p = m_file->Page(page, &status);
    if (!p) return status ? status : kRefused;
    *out = std::move(p);
    return kOk;
}

uint16_t CReportHandle::locateCell(int row, int col, const CSheetPage* page, CellSite* site) const {
    const ReportFormat& f = m_file->Format();
    const ReportHeader& h = f.header;
    int used = 1;
    if (page && h.varKind && !m_file->IsFormatEditing()) used = std::max<int>(1, page->VarUsed());
    if (!MapShownCell(h, used, row, col, &site->cell)) return kOutside;
    site->format = f.cellFormat(site->cell.row, site->cell.col);
    site->varPos = site->cell.inVarArea() ? VarLinePos(h, site->cell) : 0;
    return kOk;
}

namespace {

CellSlot slotAt(const CSheetPage& page, const StoredCell& c, uint16_t pos) {
    if (c.inVarArea()) return page.VarLines().slot(uint32_t(c.line), pos);
    return page.Slot(c.row, c.col);
}

QString textAt(const CSheetPage& page, const StoredCell& c, uint16_t pos) {
    if (c.inVarArea()) return page.VarLines().text(uint32_t(c.line), pos);
    return page.Text(c.row, c.col);
}

void putSlot(CSheetPage& page, const StoredCell& c, uint16_t pos, const CellSlot& s) {
    if (c.inVarArea())
        page.MutableVarLines().setSlot(uint32_t(c.line), pos, s);
    else
        page.SetSlot(c.row, c.col, s);
}

void putText(CSheetPage& page, const StoredCell& c, uint16_t pos, QStringView text) {
    if (c.inVarArea())
        page.MutableVarLines().setText(uint32_t(c.line), pos, text);
    else
        page.SetText(c.row, c.col, text);
}

// A value the gate let through, as the slot of its cell.
void putKept(CSheetPage& page, const StoredCell& c, uint16_t pos, bool textCell,
             const CellValue& v) {
    if (v.kind == kCellUnset || (v.isText() && v.text.isEmpty()))
        putSlot(page, c, pos, textCell ? CellSlot{} : CellSlot::emptyNumber());
    else if (v.isText())
        putText(page, c, pos, v.text);
    else
        putSlot(page, c, pos, CellSlot::number(v.number));
}

}  // namespace

uint16_t CReportHandle::readCell(const CSheetPage* page, int row, int col, CellValue* value,
                                 QString* fullText) const {
    CellSite site;
    if (uint16_t s = locateCell(row, col, page, &site)) return s;
    const int kind = cellKindOf(site.format);
    CellValue v;
    QString full;
    if (kind == kCellLabel) {
        full = m_file->GetLabel(site.cell.row, site.cell.col);
        v = {kCellLabel, 0, full};
    } else if (kind == kCellText) {
        if (page) {
            const CellSlot slot = slotAt(*page, site.cell, site.varPos);
            if (slot.isText())
                full = textAt(*page, site.cell, site.varPos);
            else if (slot.isNumber() && !slot.isEmptyNumber())
                full = numberText(slot.numberValue());
        }
        v = CellValue::ofText(full);
    } else if (page) {
        const CellSlot slot = slotAt(*page, site.cell, site.varPos);
        bool have = false;
        double number = 0;
        if (slot.isNumber() && !slot.isEmptyNumber()) {
            number = slot.numberValue();
            have = true;
        } else if (slot.isText()) {
            // A cell made numeric after text was written reads as the number
            // the text holds.
            have = TextAsCellNumber(textAt(*page, site.cell, site.varPos), &number);
        }
        if (have) {
            number = HeldToShownDecimals(number, site.format);
            v = CellValue::ofNumber(number);
            if (fullText) full = numberText(number);
        }
    }
    if (v.isText()) v.text = LeftWholeChars(v.text, kCellValueTextChars);
    if (value) *value = v;
    if (fullText) *fullText = full;
    return kOk;
}

// ---------------------------------------------------------------------------
// Pages

uint16_t CReportHandle::InsertRowColPage(int pos, uint16_t* count, int kind) {
    if (!m_file || !count) return kRefused;
    if (kind == 0 || kind == 1) return InsertRowsCols(pos, count, kind);
    if (kind != 2 || *count < 1 || pos < 1) return kRefused;
    const int pages = m_file->PageCount();
    const int room = int(kMaxPages) - pages;
    if (room <= 0) return code(Status::PageLimit);
    const int n = std::min<int>(*count, room);
    pos = std::min(pos, pages + 1);
    if (uint16_t s = m_file->InsertPages(pos, n)) return s;
    *count = uint16_t(n);
    // The current page stays current under its new number.
    if (m_curPage >= pos) m_curPage += n;
    return kOk;
}

uint16_t CReportHandle::DeleteRowColPage(int pos, int count, int kind) {
    if (!m_file) return kRefused;
    if (kind == 0 || kind == 1) return DeleteRowsCols(pos, count, kind);
    if (kind != 2 || count < 1 || pos < 1 || pos > m_file->PageCount()) return kRefused;
    const int n = std::min(count, m_file->PageCount() - pos + 1);
    const bool currentGoes = m_curPage >= pos && m_curPage < pos + n;
    std::shared_ptr<CSheetPage> kept = std::move(m_current);
    if (!currentGoes) m_current = kept;
    if (uint16_t s = m_file->DeletePages(pos, n)) {
        m_current = std::move(kept);
        return s;
    }
    kept.reset();
    if (m_curPage >= pos + n) {
        m_curPage -= n;
    } else if (currentGoes) {
        // The page after the deleted ones becomes current, read when used.
        const int next = std::min(pos, m_file->PageCount());
        makeCurrent(std::max(next, 0), false);
    }
    return kOk;
}

uint16_t CReportHandle::ShownAreaOnPage(int page, const AreaRecord& a, CellArea* shown) {
    if (!m_file) return kRefused;
    const ReportHeader& h = m_file->Format().header;
    if (a.r1 < 1 || a.c1 < 1 || a.r2 < a.r1 || a.c2 < a.c1 || a.r2 > h.rows || a.c2 > h.cols)
        return kOutside;
    int used = 1;
    if (page == 0) {
        // The lines the format calls map through, whether or not a page
        // was made current.
        used = std::max(1, m_file->VarUsedLines());
    } else if (h.varKind && !m_file->IsFormatEditing()) {
        std::shared_ptr<CSheetPage> p;
        if (const uint16_t s = pageFor(page, false, &p)) return s;
        used = std::max<int>(1, p->VarUsed());
    }
    *shown = CellArea::area(ShownRowOf(h, used, a.r1), ShownColOf(h, used, a.c1),
                            ShownRowOf(h, used, a.r2, true), ShownColOf(h, used, a.c2, true));
    return kOk;
}

int CReportHandle::GetCheckLineArea(int page, CellArea* area) {
    std::shared_ptr<CSheetPage> p;
    if (pageFor(page, false, &p)) return 0;
    if (!(p->Flags() & kPageCheckLineArea)) return 0;
    const AreaRecord a = p->CheckLineArea();
    const ReportHeader& h = m_file->Format().header;
    const int used = h.varKind ? std::max<int>(1, p->VarUsed()) : 1;
    if (area)
        *area = CellArea::area(ShownRowOf(h, used, a.r1), ShownColOf(h, used, a.c1),
                               ShownRowOf(h, used, a.r2, true), ShownColOf(h, used, a.c2, true));
    return 1;
}

uint16_t CReportHandle::SetCheckLineArea(int page, const CellArea* area) {
    std::shared_ptr<CSheetPage> p;
    if (uint16_t s = pageFor(page, false, &p)) return s;
    if (!area) {
        p->SetCheckLineArea({});
        p->SetFlags(p->Flags() & ~kPageCheckLineArea);
        return kOk;
    }
    CellSite a, b;
    if (locateCell(area->first.row, area->first.col, p.get(), &a) ||
        locateCell(area->last.row, area->last.col, p.get(), &b))
        return kOutside;
    p->SetCheckLineArea({std::min(a.cell.row, b.cell.row), std::min(a.cell.col, b.cell.col),
                         std::max(a.cell.row, b.cell.row), std::max(a.cell.col, b.cell.col)});
    p->SetFlags(p->Flags() | kPageCheckLineArea);
    return kOk;
}

uint16_t CReportHandle::SortPages(const QList<PageSortKey>& keys) {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    QList<PageSortKey> used;
    for (const PageSortKey& k : keys)
        if (k.kind != PageSortKey::None) used.append(k);
    if (keys.size() > kMaxSortKeys) return kBadSortList;
    for (const PageSortKey& k : used) {
        if (k.kind == PageSortKey::Keyword && (k.slot < 0 || k.slot >= kPageKeywordSlots))
            return kRefused;
        if (k.kind == PageSortKey::Cell && !m_file->MapCellAddress(k.row, k.col, nullptr, nullptr))
            return kOutside;
    }
    const int pages = m_file->PageCount();
    if (used.isEmpty() || pages < 2) return kOk;
    std::vector<std::vector<CellValue>> values(static_cast<size_t>(pages));
    for (int p = 1; p <= pages; ++p) {
        std::shared_ptr<CSheetPage> page;
        if (uint16_t s = pageFor(p, false, &page)) return s;
        for (const PageSortKey& k : used) {
            CellValue v;
            if (k.kind == PageSortKey::Keyword) {
                v = keywordAsValue(page->Keyword(k.slot));
            } else if (uint16_t s = readCell(page.get(), k.row, k.col, &v, nullptr)) {
                return s;
            }
            values[size_t(p - 1)].push_back(v);
        }
    }
    const QStringList keywordNames = FormulaKeywordNames(m_file->Format().header.userKeywordName);
    for (qsizetype i = 0; i < used.size(); ++i) {
        const PageSortKey& k = used[i];
        const QString name = k.kind == PageSortKey::Keyword
                                 ? keywordNames.value(k.slot)
                                 : FormatCellRef(k.col - 1, k.row - 1);
        if (uint16_t s = numbersWhenMixed(values, size_t(i), name)) return s;
    }
    std::vector<int> order(static_cast<size_t>(pages));
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        for (qsizetype i = 0; i < used.size(); ++i) {
            int c =
                compareValues(values[size_t(a - 1)][size_t(i)], values[size_t(b - 1)][size_t(i)]);
            if (used[i].descending) c = -c;
            if (c) return c < 0;
        }
        return false;
    });
    if (uint16_t s = m_file->ReorderPages(order)) return s;
    if (m_curPage) m_curPage = m_file->PinnedPageNumber();
    return kOk;
}

// ---------------------------------------------------------------------------
// Cells and values

// A cell no formula computes holds what was written into it: reading it
// waits for nothing (a host reading one amount on each page after a write
// would otherwise work out every total over the pages once per page).
void CReportHandle::bringCurrentFor(int row, int col, int page) {
    if (ValuesCurrent()) return;
    if (!m_file->IsFormatEditing()) {
        std::shared_ptr<CSheetPage> p;
        CellSite site;
        if (!pageFor(page, false, &p) && !locateCell(row, col, p.get(), &site) &&
            !m_file->CellHasFormula(site.cell.row, site.cell.col))
            return;
    }
    BringCurrent();
}

uint16_t CReportHandle::GetCellValue(CellValue* value, int row, int col, int page) {
    if (!m_file || !value) return kRefused;
    bringCurrentFor(row, col, page);
    std::shared_ptr<CSheetPage> p;
    // Format state has no current page: what every page shares is shown.
    if (!(m_file->IsFormatEditing() && page == 0)) {
        if (uint16_t s = pageFor(page, false, &p)) return s;
    }
    return readCell(p.get(), row, col, value, nullptr);
}

QString CReportHandle::GetCellText(int row, int col, int page, uint16_t* status) {
    QString text;
    uint16_t s = kRefused;
    if (m_file) {
        bringCurrentFor(row, col, page);
        std::shared_ptr<CSheetPage> p;
        s = m_file->IsFormatEditing() && page == 0 ? kOk : pageFor(page, false, &p);
        if (!s) s = readCell(p.get(), row, col, nullptr, &text);
    }
    if (status) *status = s;
    return text;
}

uint16_t CReportHandle::SetCellValue(CellValue value, int row, int col, int page, int,
                                     int intoFormulaCells) {
    if (!m_file) return kRefused;
    const auto refuse = [&](ValueFault f, int limit) {
        return RefuseValue(f, FormatCellRef(col - 1, row - 1), FaultyValueText(value), limit);
    };
    if (value.kind == kCellLabel) {
        if (!m_file->IsFormatEditing()) return kRefused;
        CellSite site;
        if (uint16_t s = locateCell(row, col, nullptr, &site)) return s;
        CellValue kept;
        if (ValueFault f = ValueForCell(value, site.format, &kept); f != ValueFault::None)
            return refuse(f, kMaxLabelChars);
        if (uint16_t s = m_file->SetLabel(site.cell.row, site.cell.col, value.text)) return s;
        uint64_t& word = m_file->MutableFormat().cellFormat(site.cell.row, site.cell.col);
        word = cellFormatSet(word, kFmtKind, kCellLabel);
        return kOk;
    }
    if (value.kind < kCellUnset || value.kind > kCellOtherText) return kRefused;
    if (m_file->IsFormatEditing()) return kRefused;
    std::shared_ptr<CSheetPage> p;
    if (uint16_t s = pageFor(page, false, &p)) return s;
    CellSite site;
    if (uint16_t s = locateCell(row, col, p.get(), &site)) return s;
    const int kind = cellKindOf(site.format);
    // Table text is the same on every page; it changes in format state only.
    if (kind == kCellLabel) return kRefused;
    const bool textCell = CellKeepsText(site.format);
    CellValue kept;
    if (ValueFault f = ValueForCell(value, site.format, &kept); f != ValueFault::None)
        return refuse(f, kMaxCellTextChars);
    const bool overwrite =
        intoFormulaCells == 1 || (m_file->Format().header.flags & kFlagCalcOverwritesFormulas);
    if (!overwrite && !site.cell.inVarArea() &&
        m_file->CellHasFormula(site.cell.row, site.cell.col))
        return kOk;
    putKept(*p, site.cell, site.varPos, textCell, kept);
    return kOk;
}

bool CReportHandle::CellValueFailed(int row, int col, int page) {
    if (!m_file || m_file->IsFormatEditing()) return false;
    if ((page == 0 || page == m_curPage) && GetCellFormulaState(row, col) == 2) return true;
    std::shared_ptr<CSheetPage> p;
    CellSite site;
    if (pageFor(page, false, &p) || locateCell(row, col, p.get(), &site)) return false;
    return slotAt(*p, site.cell, site.varPos).flags & kSlotFormulaError;
}

uint16_t CReportHandle::MarkCellValueFailed(int row, int col, int page) {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    std::shared_ptr<CSheetPage> p;
    if (uint16_t s = pageFor(page, false, &p)) return s;
    CellSite site;
    if (uint16_t s = locateCell(row, col, p.get(), &site)) return s;
    CellSlot slot = slotAt(*p, site.cell, site.varPos);
    slot.flags |= kSlotFormulaError;
    putSlot(*p, site.cell, site.varPos, slot);
    return kOk;
}

uint16_t CReportHandle::ClearArea(const CellArea* area, int what) {
    if (!m_file || !area) return kRefused;
    CellArea stored;
    if (!m_file->MapAreaAddress(*area, &stored)) return kOutside;
    if (what & kClearValues) {
        if (m_file->IsFormatEditing()) {
            std::vector<uint32_t> keys;
            for (const auto& [key, text] : m_file->Format().labels) {
                const int r = int(key >> 16), c = int(key & 0xFFFF);
                if (r >= stored.first.row && r <= stored.last.row && c >= stored.first.col &&
                    c <= stored.last.col)
                    keys.push_back(key);
            }
            for (uint32_t key : keys)
                m_file->SetLabel(uint16_t(key >> 16), uint16_t(key & 0xFFFF), QString());
        } else {
            uint16_t status = 0;
            const std::shared_ptr<CSheetPage> current = currentPage(&status);
            if (!current) return status;
            const int r1 = std::min(area->first.row, area->last.row);
            const int r2 = std::max(area->first.row, area->last.row);
            const int c1 = std::min(area->first.col, area->last.col);
            const int c2 = std::max(area->first.col, area->last.col);
            // A formula's cell keeps what its formula gives, as it does
            // against a typed value: a cleared block holding a total leaves
            // the total worked out from what is left.
            const bool overwrite = m_file->Format().header.flags & kFlagCalcOverwritesFormulas;
            for (int r = r1; r <= r2; ++r) {
                for (int c = c1; c <= c2; ++c) {
                    CellSite site;
                    if (locateCell(r, c, current.get(), &site)) continue;
                    if (cellKindOf(site.format) == kCellLabel) continue;
                    if (!overwrite && !site.cell.inVarArea() &&
                        m_file->CellHasFormula(site.cell.row, site.cell.col))
                        continue;
                    putSlot(*current, site.cell, site.varPos, CellSlot{});
                }
            }
        }
    }
    CellArea shown = *area;
    if (what & kClearFormulas) {
        if (uint16_t s = SetAreaFormula(&shown, QString())) return s;
    }
    if (what & kClearCombines) {
        if (uint16_t s = UncombineCells(&shown)) return s;
    }
    return kOk;
}

int CReportHandle::GetCalcFlag() const {
    return m_file && (m_file->Format().header.flags & kFlagCalcOverwritesFormulas) ? 1 : 0;
}

void CReportHandle::SetCalcFlag(int flag) {
    if (!m_file) return;
    uint32_t& flags = m_file->MutableFormat().header.flags;
    flags = flag ? (flags | kFlagCalcOverwritesFormulas) : (flags & ~kFlagCalcOverwritesFormulas);
}

namespace {

// Grows the table (through a short format edit) so that the shown table
// holds rows x cols; the current page is made current again.
void growShownTable(CReportHandle& h, int rows, int cols) {
    CReportFile* f = h.GetReportFile();
    const int addRows = std::max(0, rows - int(f->GetShownRowCount()));
    const int addCols = std::max(0, cols - int(f->GetShownColCount()));
    if (!addRows && !addCols) return;
    const int page = h.GetCurPage();
    if (h.EnterFormatState()) return;
    f->SetTableSize(uint16_t(std::min<int>(kMaxRows, f->GetRowCount() + addRows)),
                    uint16_t(std::min<int>(kMaxCols, f->GetColCount() + addCols)));
    h.EnterDataState();
    h.SetCurPage(page);
}

void fillRequest(CReportHandle& h, const RecordFillRequest& r) {
    CReportFile* f = h.GetReportFile();
    // A request for a page the report does not have is dropped rather than
    // written into page 1.
    const int page = r.page ? r.page : h.GetCurPage();
    if (page < 1 || page > f->PageCount() || !r.cells) return;
    if (h.SetCurPage(page) != 0) return;
    if (r.r1 < 0 || r.c1 < 0 || r.r2 < r.r1 || r.c2 < r.c1) return;
    if (r.wholeTable) growShownTable(h, r.r2 + 1, r.c2 + 1);
    if (h.GetCurPage() != page) return;
    // The document lists each field's values in record order; records run
    // down the rows for direction "1", across the columns otherwise.
    const bool down = r.direction == QLatin1String("1");
    const int span = down ? r.r2 - r.r1 + 1 : r.c2 - r.c1 + 1;
    const int n = r.cells->CellCount();
    for (int k = 0; k < n; ++k) {
        const int field = k / span, record = k % span;
        const int row = r.r1 + (down ? record : field);
        const int col = r.c1 + (down ? field : record);
        if (row > r.r2 || col > r.c2) break;
        const QString text = r.cells->CellText(k);
        CellValue v;
        if (r.cells->CellKind(k) == 1) {
            double number = 0;
            if (TextAsCellNumber(text, &number))
                v = CellValue::ofNumber(number);
            else if (!isBlank(text))
                v = CellValue::ofText(text);
        } else {
            v = CellValue::ofText(text);
        }
        // The fetched values are what the formula asked for, even where
        // the formula itself sits.
        h.SetCellValue(v, row + 1, col + 1, 0, 0, 1);
    }
}

}  // namespace

void CReportHandle::FillFromRecordset(int page) {
    RecordFillQueue& queue = RecordFillQueue::instance();
    if (m_file) {
        const std::vector<RecordFillRequest> requests = queue.Requests();
        for (const RecordFillRequest& r : requests)
            if (page == 0 || page == kWholeQueue || r.page == page) fillRequest(*this, r);
    }
    if (page != 0) queue.Clear();
}

// ---------------------------------------------------------------------------
// Variable area

namespace {

uint16_t checkVarArea(CReportFile& f, int kind, int start, int extent) {
    const ReportHeader& h = f.Format().header;
    if (kind == 1) {
        if (start < 1 || start > h.rows || extent < 1 || extent > kMaxRows - 1) return kBadVarArea;
    } else if (kind == 2) {
        if (start < 1 || start > h.cols || extent < 1 || extent > kMaxCols - 1) return kBadVarArea;
    } else {
        return kBadVarArea;
    }
    const AreaRecord line = kind == 1 ? AreaRecord{uint16_t(start), 1, uint16_t(start), h.cols}
                                      : AreaRecord{1, uint16_t(start), h.rows, uint16_t(start)};
    if (f.AreaTouchesCombined(line)) return kBadVarArea;
    // Named as the formula, which the clerk must move, not as its value.
    if (f.AreaHasFormula(line)) return code(Status::FormulaVarAreaStart);
    for (const KeywordSlot& k : h.keywords) {
        if (!k.row || !k.col) continue;
        if ((kind == 1 && k.row == start) || (kind == 2 && k.col == start)) return kBadVarArea;
    }
    return kOk;
}

}  // namespace

uint16_t CReportHandle::AccessVarArea(int op, int* kind, int* start, int* extent) {
    if (!m_file) return kRefused;
    const ReportHeader& h = m_file->Format().header;
    switch (op) {
        case 0:
            if (!kind || !start || !extent) return kRefused;
            *kind = h.varKind;
            *start = h.varKind ? h.varStart : 0;
            *extent = h.varKind ? h.varExtent : 0;
            return kOk;
        case 1: {
            if (!m_file->IsFormatEditing() || !kind || !start || !extent) return kRefused;
            if (uint16_t s = checkVarArea(*m_file, *kind, *start, *extent)) return s;
            if (PageOverVarExtent(*kind, *extent)) return kBadVarArea;
            uint16_t unread = 0;
            if (m_file->FirstHeldCellInLine(*kind, uint16_t(*start), &unread).page)
                return kBadVarArea;
            if (unread) return unread;
            ReportHeader& w = m_file->MutableFormat().header;
            w.varKind = uint16_t(*kind);
            w.varStart = uint16_t(*start);
            w.varExtent = uint16_t(*extent);
            return kOk;
        }
        case 2: {
            if (!m_file->IsFormatEditing()) return kRefused;
            ReportHeader& w = m_file->MutableFormat().header;
            w.varKind = w.varStart = w.varExtent = 0;
            return kOk;
        }
    }
    return kRefused;
}

uint16_t CReportHandle::SetVarExtent(int extent) {
    if (!m_file || !m_file->IsFormatEditing()) return kRefused;
    const ReportHeader& h = m_file->Format().header;
    if (h.varKind == 0) return kRefused;
    const int limit = h.varKind == 1 ? kMaxRows - 1 : kMaxCols - 1;
    if (extent < 1 || extent > limit) return kBadVarArea;
    if (PageOverVarExtent(h.varKind, extent)) return kBadVarArea;
    m_file->MutableFormat().header.varExtent = uint16_t(extent);
    return kOk;
}

int CReportHandle::PageOverVarExtent(int kind, int extent, int* used) {
    if (!m_file) return 0;
    // Pages keep their lines only under an area of the kind they were
    // written for, and fit the extent they were written under.
    const ReportHeader& was = m_file->CommittedFormat().header;
    if (!was.varKind || was.varKind != kind || extent >= was.varExtent) return 0;
    for (int p = 1; p <= m_file->PageCount(); ++p) {
        const std::shared_ptr<CSheetPage> page = m_file->Page(p);
        if (!page || page->VarUsed() <= extent) continue;
        if (used) *used = page->VarUsed();
        return p;
    }
    return 0;
}

uint16_t CReportHandle::AccessVarCount(int flag, int* count) {
    if (!m_file || !count) return kRefused;
    const ReportHeader& h = m_file->Format().header;
    const std::shared_ptr<CSheetPage> current =
        h.varKind && !m_file->IsFormatEditing() ? currentPage() : nullptr;
    if (flag == 0) {
        *count = current ? std::max<int>(1, current->VarUsed()) : 1;
        return kOk;
    }
    if (flag != 1 || !current || *count < 1) return kRefused;
    if (*count > VarLineLimit(h)) return kBeyondTable;
    const int used = current->VarUsed();
    if (*count > used) current->InsertVarLines(uint32_t(used), uint32_t(*count - used));
    if (*count < used) current->DeleteVarLines(uint32_t(*count), uint32_t(used - *count));
    return kOk;
}

uint16_t CReportHandle::InsertVarLines(int line, int count) {
    if (!m_file || m_file->IsFormatEditing() || count < 1) return kRefused;
    const std::shared_ptr<CSheetPage> current = currentPage();
    if (!current) return kRefused;
    const ReportHeader& h = m_file->Format().header;
    if (!h.varKind) return kRefused;
    const int used = current->VarUsed();
    if (line < 1 || line > used + 1) return kOutside;
    if (used + count > VarLineLimit(h)) return kBeyondTable;
    current->InsertVarLines(uint32_t(line - 1), uint32_t(count));
    return kOk;
}

uint16_t CReportHandle::DeleteVarLines(int line, int count) {
    if (!m_file || m_file->IsFormatEditing() || count < 1) return kRefused;
    const std::shared_ptr<CSheetPage> current = currentPage();
    if (!current) return kRefused;
    if (!m_file->Format().header.varKind) return kRefused;
    if (line < 1 || line > current->VarUsed()) return kOutside;
    current->DeleteVarLines(uint32_t(line - 1), uint32_t(count));
    return kOk;
}

uint16_t CReportHandle::SortVarLines(const QList<VarSortKey>& keys) {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    const std::shared_ptr<CSheetPage> current = currentPage();
    if (!current) return kRefused;
    const ReportFormat& f = m_file->Format();
    const ReportHeader& h = f.header;
    if (!h.varKind) return kRefused;
    const int length = VarLineLength(h);
    if (keys.isEmpty() || keys.size() > kMaxSortKeys) return kBadSortList;
    for (const VarSortKey& k : keys)
        if (k.pos < 1 || k.pos > length) return kBadSortList;
    // Each line is read as the template row's cells are: by their kinds.
    const int used = current->VarUsed();
    std::vector<std::vector<CellValue>> values(static_cast<size_t>(used));
    for (int line = 0; line < used; ++line) {
        for (const VarSortKey& k : keys) {
            // Only one axis is expanded; the key's position lies on the other.
            const int shown = h.varStart + line;
            const int row = h.varKind == 1 ? shown : k.pos;
            const int col = h.varKind == 2 ? shown : k.pos;
            CellValue v;
            readCell(current.get(), row, col, &v, nullptr);
            values[size_t(line)].push_back(v);
        }
    }
    std::vector<uint32_t> order(static_cast<size_t>(used));
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        for (qsizetype i = 0; i < keys.size(); ++i) {
            int c = compareValues(values[a][size_t(i)], values[b][size_t(i)]);
            if (keys[i].descending) c = -c;
            if (c) return c < 0;
        }
        return false;
    });
    current->ReorderVarLines(order);
    return kOk;
}

// ---------------------------------------------------------------------------
// Keywords

uint16_t CReportHandle::AccessKeywordCell(int op, int slot, CellRef* cell) {
    if (!m_file || !cell) return kRefused;
    const ReportHeader& h = m_file->Format().header;
    if (slot < 0 || slot >= int(h.keywords.size())) return kRefused;
    const KeywordSlot k = h.keywords[size_t(slot)];
    if (op == 0) {
        const int used = m_file->VarUsedLines();
        cell->tag = 0;
        cell->row = k.row && k.col ? int16_t(ShownRowOf(h, used, k.row)) : 0;
        cell->col = k.row && k.col ? int16_t(ShownColOf(h, used, k.col)) : 0;
        return kOk;
    }
    if (op == 1) return m_file->PlaceKeyword(slot, cell->row, cell->col, k.textOffset);
    return kRefused;
}

uint16_t CReportHandle::GetPageKeyword(int slot, KeywordValue* value, int page) {
    if (!m_file || !value || slot < 0 || slot >= kPageKeywordSlots) return kRefused;
    // Another page's keywords come from its record alone: searching pages
    // by keyword leaves the pages in memory as they were.
    // So do the current page's while it is not read; a caller asking
    // slot by slot has its record checked once.
    const int number = page ? page : m_curPage;
    if (number > 0 && number <= m_file->PageCount() && !m_file->IsFormatEditing() &&
        !m_file->IsPageLoaded(number)) {
        const bool current = number == m_curPage;
        if (current && m_curKeywords) {
            *value = (*m_curKeywords)[size_t(slot)];
            return kOk;
        }
        std::array<KeywordValue, kPageKeywordSlots> all;
        if (uint16_t s = m_file->PageKeywords(number, &all)) return s;
        *value = all[size_t(slot)];
        if (current) m_curKeywords = all;
        return kOk;
    }
    std::shared_ptr<CSheetPage> p;
    if (uint16_t s = pageFor(page, true, &p)) return s;
    *value = p->Keyword(slot);
    return kOk;
}

namespace {

// The custom keyword's slot; its kind is the report's to choose.
constexpr int kUserKeywordSlot = 6;

bool keywordWantsText(int slot, int userType) {
    return slot <= 1 || (slot == kUserKeywordSlot && userType == 0);
}

// "第2页 年": a keyword of a page, as a refusal names it.
QString pageKeywordPlace(const ReportHeader& h, int page, int slot) {
    return LoadErrorText(str::kLossPagePlace).arg(page) + QLatin1Char(' ') +
           FormulaKeywordNames(h.userKeywordName).value(slot);
}

}  // namespace

uint16_t CReportHandle::SetPageKeyword(int slot, KeywordValue value, int page, int recalc) {
    if (!m_file || slot < 0 || slot >= kPageKeywordSlots || value.kind > 2) return kRefused;
    std::shared_ptr<CSheetPage> p;
    if (uint16_t s = pageFor(page, true, &p)) return s;
    const ReportHeader& h = m_file->Format().header;
    const bool wantsText = keywordWantsText(slot, h.userKeywordType);
    KeywordValue v;
    if (ValueFault f = ValueForKeyword(value, wantsText, &v); f != ValueFault::None) {
        const QString name = FormulaKeywordNames(h.userKeywordName).value(slot);
        return RefuseValue(f, name, FaultyValueText(value), kKeywordTextChars);
    }
    p->SetKeyword(slot, v);
    if (recalc == 1 && !m_file->IsFormatEditing()) {
        p.reset();
        return BringCurrent();
    }
    return kOk;
}

uint16_t qor::ConvertUserKeyword(CReportFile& file, int type, bool apply) {
    const ReportHeader& h = file.Format().header;
    if ((h.userKeywordType ? 1 : 0) == (type ? 1 : 0)) return kOk;
    const bool toText = type == 0;
    for (int p = 1; p <= file.PageCount(); ++p) {
        uint16_t status = 0;
        std::shared_ptr<CSheetPage> page = file.Page(p, &status);
        if (!page) return status ? status : kRefused;
        const KeywordValue was = page->Keyword(kUserKeywordSlot);
        if (was.kind == 0 || (was.kind == 2) == toText) continue;
        KeywordValue now;
        if (ValueFault f = ValueForKeyword(was, toText, &now); f != ValueFault::None) {
            return RefuseValue(f, pageKeywordPlace(h, p, kUserKeywordSlot), FaultyValueText(was),
                               kKeywordTextChars);
        }
        if (apply) {
            page->SetKeyword(kUserKeywordSlot, now);
            page->SetDirty(true);
        }
    }
    return kOk;
}

uint16_t CReportHandle::SetUserKeywordType(int type) {
    if (!m_file) return kRefused;
    if (uint16_t s = ConvertUserKeyword(*m_file, type, false)) return s;
    if (uint16_t s = ConvertUserKeyword(*m_file, type, true)) return s;
    m_file->SetUserKeywordType(type);
    m_curKeywords.reset();
    return kOk;
}

uint16_t CReportHandle::TakePageValues(int page, const CSheetPage& from, int namedPage) {
    if (!m_file || m_file->IsFormatEditing()) return kRefused;
    std::shared_ptr<CSheetPage> to;
    if (uint16_t s = pageFor(page, false, &to)) return s;
    const ReportHeader& h = m_file->Format().header;
    if (from.GetRowCount() != to->GetRowCount() || from.GetColCount() != to->GetColCount() ||
        (h.varKind && from.VarLines().lineLength() != to->VarLines().lineLength()))
        return kRefused;
    std::array<KeywordValue, kPageKeywordSlots> keywords;
    for (int slot = 0; slot < kPageKeywordSlots; ++slot) {
        const KeywordValue in = from.Keyword(slot);
        if (ValueFault f = ValueForKeyword(in, keywordWantsText(slot, h.userKeywordType),
                                           &keywords[size_t(slot)]);
            f != ValueFault::None) {
            return RefuseValue(f, pageKeywordPlace(h, namedPage ? namedPage : page, slot), FaultyValueText(in),
                               kKeywordTextChars);
        }
    }
    const SlotGrid fixed = to->Fixed();
    const SlotGrid lines = to->VarLines();
    to->MutableFixed() = from.Fixed();
    if (h.varKind) to->SetVarLines(from.VarLines());
    to->SetDirty(true);
    to.reset();
    // The source's cells may be of other kinds than ours: each value enters
    // by the rule a written one meets.
    uint16_t s = ConformPageValues(*this, page, false, namedPage);
    if (!s) s = ConformPageValues(*this, page, true, namedPage);
    if (uint16_t l = pageFor(page, false, &to)) return s ? s : l;
    if (s) {
        to->MutableFixed() = fixed;
        if (h.varKind) to->SetVarLines(lines);
        return s;
    }
    for (int slot = 0; slot < kPageKeywordSlots; ++slot) to->SetKeyword(slot, keywords[size_t(slot)]);
    if (m_curPage == page) m_curKeywords.reset();
    return kOk;
}

// ---------------------------------------------------------------------------
// Page setup, saved view state, format password

uint16_t CReportHandle::GetPageSetup(PageSetupBlock* block) const {
    if (!m_file || !block) return kRefused;
    *block = m_file->Format().header.pageSetup;
    return kOk;
}

uint16_t CReportHandle::SetPageSetup(const PageSetupBlock& block) {
    if (!m_file) return kRefused;
    if (!std::isfinite(block.scale) || block.scale < 0.3f || block.scale > 3.0f) return kRefused;
    for (int32_t m : block.margins)
        if (m < 0) return kRefused;
    ReportHeader& h = m_file->MutableFormat().header;
    h.pageSetup = block;
    h.flags |= kFlagPageSetupSet;
    return kOk;
}

bool CReportHandle::GetSavedViewState(std::array<uint32_t, 4>* state) const {
    if (!m_file) return false;
    const ReportHeader& h = m_file->Format().header;
    if (state) *state = h.viewState;
    return h.flags & kFlagViewStateSet;
}

void CReportHandle::SetSavedViewState(const std::array<uint32_t, 4>& state, bool set) {
    if (!m_file) return;
    ReportHeader& h = m_file->MutableFormat().header;
    h.viewState = set ? state : std::array<uint32_t, 4>{};
    h.flags = set ? (h.flags | kFlagViewStateSet) : (h.flags & ~kFlagViewStateSet);
}

QString CReportHandle::GetFormatPassword() const {
    return m_file ? m_file->Format().header.formatPassword : QString();
}

uint16_t CReportHandle::SetFormatPassword(const QString& password) {
    if (!m_file || password.size() > kFormatPasswordChars) return kRefused;
    ReportHeader& h = m_file->MutableFormat().header;
    h.formatPassword = password;
    h.flags = password.isEmpty() ? (h.flags & ~kFlagFormatPasswordSet)
                                 : (h.flags | kFlagFormatPasswordSet);
    return kOk;
}

#include "engine/csheetpage.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <numeric>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define QOR_WIDE_SLOT_CHECK 1
#endif

namespace qor {

namespace {

// Slots come in runs of sixteen (192 bytes, three 64-byte registers) whose
// tags lie at fixed places: numbers and blanks (tags 0 and 1) are passed
// by masking every tag but its lowest bit at once.
constexpr size_t kTagRun = 16;

#ifdef QOR_WIDE_SLOT_CHECK
struct TagMasks {
    alignas(64) uint8_t bytes[3][64] = {};
    TagMasks() {
        for (size_t slot = 0; slot < kTagRun; ++slot) {
            const size_t at = slot * kSlotSize;
            bytes[at / 64][at % 64] = 0xFE;
        }
    }
};

#define QOR_SLOT_TARGET __attribute__((target("avx512f")))

// Whether the run at p holds only tags 0 and 1.
QOR_SLOT_TARGET inline bool plainRun(const uint8_t* p, const __m512i* masks) {
    __m512i acc = _mm512_and_si512(_mm512_loadu_si512(p), masks[0]);
    // acc | (next & mask)
    acc = _mm512_ternarylogic_epi64(acc, _mm512_loadu_si512(p + 64), masks[1], 0xF8);
    acc = _mm512_ternarylogic_epi64(acc, _mm512_loadu_si512(p + 128), masks[2], 0xF8);
    return _mm512_test_epi64_mask(acc, acc) == 0;
}

// Runs from the start that hold only numbers and blanks.
QOR_SLOT_TARGET size_t plainRunsWide(const uint8_t* p, size_t runs) {
    static const TagMasks m;
    const __m512i masks[3] = {_mm512_load_si512(m.bytes[0]), _mm512_load_si512(m.bytes[1]),
                              _mm512_load_si512(m.bytes[2])};
    size_t i = 0;
    while (i < runs && plainRun(p + i * kTagRun * kSlotSize, masks)) ++i;
    return i;
}

bool canCheckWide() {
    static const bool yes = __builtin_cpu_supports("avx512f");
    return yes;
}
#endif

// The same without wide registers.
size_t plainRuns(const uint8_t* p, size_t runs) {
#ifdef QOR_WIDE_SLOT_CHECK
    if (canCheckWide()) return plainRunsWide(p, runs);
#endif
    for (size_t i = 0; i < runs; ++i) {
        const uint8_t* r = p + i * kTagRun * kSlotSize;
        uint8_t other = 0;
        for (size_t j = 0; j < kTagRun; ++j) other |= r[j * kSlotSize] & 0xFE;
        if (other) return i;
    }
    return runs;
}

}  // namespace

// ---------------------------------------------------------------------------
// CellSlot

CellSlot CellSlot::number(double v, uint8_t flags) {
    CellSlot s;
    s.tag = kSlotNumber;
    s.flags = flags;
    std::memcpy(&s.payload, &v, sizeof v);
    return s;
}

CellSlot CellSlot::emptyNumber(uint8_t flags) {
    CellSlot s;
    s.tag = kSlotNumber;
    s.flags = flags;
    s.payload = kEmptyNumberBits;
    return s;
}

CellSlot CellSlot::text(uint32_t heapOffset, uint16_t length, uint8_t flags) {
    CellSlot s;
    s.tag = kSlotText;
    s.flags = flags;
    s.payload = uint64_t(heapOffset) | uint64_t(length) << 32;
    return s;
}

double CellSlot::numberValue() const {
    if (tag != kSlotNumber || payload == kEmptyNumberBits) return 0;
    double v;
    std::memcpy(&v, &payload, sizeof v);
    return v;
}

// ---------------------------------------------------------------------------
// RemapMatrix

RemapMatrix RemapMatrix::identity(uint16_t rows, uint16_t cols) {
    return byPosition(rows, cols, rows, cols);
}

RemapMatrix RemapMatrix::byPosition(uint16_t oldRows, uint16_t oldCols, uint16_t rows,
                                    uint16_t cols) {
    RemapMatrix m;
    m.oldRows = oldRows;
    m.oldCols = oldCols;
    m.rowOrigin.resize(rows);
    m.colOrigin.resize(cols);
    for (uint16_t r = 0; r < rows; ++r) m.rowOrigin[r] = r < oldRows ? uint16_t(r + 1) : 0;
    for (uint16_t c = 0; c < cols; ++c) m.colOrigin[c] = c < oldCols ? uint16_t(c + 1) : 0;
    return m;
}

bool RemapMatrix::isIdentity() const {
    if (rows() != oldRows || cols() != oldCols) return false;
    for (size_t i = 0; i < rowOrigin.size(); ++i)
        if (rowOrigin[i] != i + 1) return false;
    for (size_t i = 0; i < colOrigin.size(); ++i)
        if (colOrigin[i] != i + 1) return false;
    return true;
}

void RemapMatrix::resize(uint16_t rows, uint16_t cols) {
    rowOrigin.resize(rows, 0);
    colOrigin.resize(cols, 0);
}

namespace {

void insertAt(std::vector<uint16_t>& v, uint16_t pos, uint16_t count) {
    const size_t at = std::clamp<size_t>(pos ? pos - 1u : 0u, 0, v.size());
    v.insert(v.begin() + ptrdiff_t(at), count, uint16_t(0));
}

void eraseAt(std::vector<uint16_t>& v, uint16_t pos, uint16_t count) {
    if (pos < 1 || pos > v.size()) return;
    const size_t at = pos - 1u;
    const size_t n = std::min<size_t>(count, v.size() - at);
    v.erase(v.begin() + ptrdiff_t(at), v.begin() + ptrdiff_t(at + n));
}

void swapAt(std::vector<uint16_t>& v, uint16_t a, uint16_t b) {
    if (a >= 1 && b >= 1 && a <= v.size() && b <= v.size()) std::swap(v[a - 1u], v[b - 1u]);
}

std::vector<uint16_t> compose(const std::vector<uint16_t>& first,
                              const std::vector<uint16_t>& next) {
    std::vector<uint16_t> out(next.size(), 0);
    for (size_t i = 0; i < next.size(); ++i) {
        const uint16_t mid = next[i];
        if (mid >= 1 && mid <= first.size()) out[i] = first[mid - 1u];
    }
    return out;
}

}  // namespace

void RemapMatrix::insertRows(uint16_t pos, uint16_t count) { insertAt(rowOrigin, pos, count); }
void RemapMatrix::insertCols(uint16_t pos, uint16_t count) { insertAt(colOrigin, pos, count); }
void RemapMatrix::deleteRows(uint16_t pos, uint16_t count) { eraseAt(rowOrigin, pos, count); }
void RemapMatrix::deleteCols(uint16_t pos, uint16_t count) { eraseAt(colOrigin, pos, count); }
void RemapMatrix::swapRows(uint16_t a, uint16_t b) { swapAt(rowOrigin, a, b); }
void RemapMatrix::swapCols(uint16_t a, uint16_t b) { swapAt(colOrigin, a, b); }

RemapMatrix RemapMatrix::then(const RemapMatrix& next) const {
    RemapMatrix m;
    m.oldRows = oldRows;
    m.oldCols = oldCols;
    m.rowOrigin = compose(rowOrigin, next.rowOrigin);
    m.colOrigin = compose(colOrigin, next.colOrigin);
    return m;
}

// ---------------------------------------------------------------------------
// SlotGrid

SlotGrid::SlotGrid(uint32_t lines, uint16_t lineLength)
    : m_lines(lines), m_lineLength(lineLength), m_slots(size_t(lines) * lineLength * kSlotSize, 0) {}

SlotGrid::SlotGrid(uint32_t lines, uint16_t lineLength, NoFill)
    : m_lines(lines), m_lineLength(lineLength), m_slots(size_t(lines) * lineLength * kSlotSize) {}

CellSlot SlotGrid::slot(uint32_t line, uint16_t pos) const {
    if (!contains(line, pos)) return {};
    const uint8_t* p = m_slots.data() + index(line, pos);
    CellSlot s;
    s.tag = p[0];
    s.flags = p[1];
    s.payload = qFromLittleEndian<quint64>(p + 4);
    return s;
}

void SlotGrid::setSlot(uint32_t line, uint16_t pos, const CellSlot& s) {
    if (!contains(line, pos)) return;
    uint8_t* p = m_slots.data() + index(line, pos);
    if (p[0] == kSlotText) m_garbage += qFromLittleEndian<quint16>(p + 8);
    p[0] = s.tag;
    p[1] = s.flags;
    p[2] = 0;
    p[3] = 0;
    qToLittleEndian<quint64>(s.payload, p + 4);
}

QString SlotGrid::text(uint32_t line, uint16_t pos) const {
    const CellSlot s = slot(line, pos);
    if (!s.isText()) return {};
    const uint64_t end = uint64_t(s.textOffset()) + s.textLength();
    if (end > m_heap.size()) return {};
    return QString(reinterpret_cast<const QChar*>(m_heap.data() + s.textOffset()), s.textLength());
}

void SlotGrid::setNumber(uint32_t line, uint16_t pos, double v, uint8_t flags) {
    setSlot(line, pos, CellSlot::number(v, flags));
}

void SlotGrid::setText(uint32_t line, uint16_t pos, QStringView text, uint8_t flags) {
    if (!contains(line, pos)) return;
    const QStringView t = text.left(kMaxCellTextChars);
    const uint16_t len = uint16_t(t.size());
    const CellSlot old = slot(line, pos);
    // Reuse the old text's room when the new one fits: repeated edits of one
    // cell then do not grow the heap.
    if (old.isText() && old.textLength() >= len &&
        uint64_t(old.textOffset()) + old.textLength() <= m_heap.size()) {
        std::copy(t.utf16(), t.utf16() + len, m_heap.begin() + old.textOffset());
        m_garbage += old.textLength() - len;
        uint8_t* p = m_slots.data() + index(line, pos);
        p[1] = flags;
        qToLittleEndian<quint64>(CellSlot::text(old.textOffset(), len).payload, p + 4);
        return;
    }
    if (m_garbage > (1u << 20) && m_garbage > m_heap.size() / 2) compactHeap();
    if (m_heap.size() + len > UINT32_MAX) compactHeap();
    const uint32_t offset = uint32_t(m_heap.size());
    m_heap.insert(m_heap.end(), t.utf16(), t.utf16() + len);
    setSlot(line, pos, CellSlot::text(offset, len, flags));
}

void SlotGrid::clear(uint32_t line, uint16_t pos) { setSlot(line, pos, CellSlot{}); }

SlotGrid SlotGrid::remapped(const std::vector<uint16_t>& lineOrigin,
                            const std::vector<uint16_t>& posOrigin) const {
    SlotGrid g(uint32_t(lineOrigin.size()), uint16_t(posOrigin.size()));
    g.m_heap = m_heap;
    g.m_garbage = m_heap.empty() ? 0 : m_heap.size();  // texts may have been dropped
    // Positions that keep their order from the start copy as one block.
    size_t prefix = 0;
    while (prefix < posOrigin.size() && posOrigin[prefix] == prefix + 1 && prefix < m_lineLength)
        ++prefix;
    const size_t lineBytes = size_t(m_lineLength) * kSlotSize;
    const size_t newLineBytes = posOrigin.size() * kSlotSize;
    for (size_t i = 0; i < lineOrigin.size(); ++i) {
        const uint16_t from = lineOrigin[i];
        if (from < 1 || from > m_lines) continue;
        const uint8_t* src = m_slots.data() + (from - 1u) * lineBytes;
        uint8_t* dst = g.m_slots.data() + i * newLineBytes;
        std::memcpy(dst, src, prefix * kSlotSize);
        for (size_t j = prefix; j < posOrigin.size(); ++j) {
            const uint16_t p = posOrigin[j];
            if (p >= 1 && p <= m_lineLength)
                std::memcpy(dst + j * kSlotSize, src + (p - 1u) * kSlotSize, kSlotSize);
        }
    }
    return g;
}

bool SlotGrid::compactHeap() {
    if (m_heap.empty() || m_garbage == 0) return false;
    std::vector<char16_t> heap;
    const size_t n = size_t(m_lines) * m_lineLength;
    for (size_t i = 0; i < n; ++i) {
        uint8_t* p = m_slots.data() + i * kSlotSize;
        if (p[0] != kSlotText) continue;
        const uint32_t off = qFromLittleEndian<quint32>(p + 4);
        const uint16_t len = qFromLittleEndian<quint16>(p + 8);
        const uint32_t at = uint32_t(heap.size());
        if (uint64_t(off) + len <= m_heap.size())
            heap.insert(heap.end(), m_heap.begin() + off, m_heap.begin() + off + len);
        qToLittleEndian<quint64>(CellSlot::text(at, len).payload, p + 4);
    }
    m_garbage = 0;
    const bool changed = heap.size() != m_heap.size();
    m_heap = std::move(heap);
    return changed;
}

bool SlotGrid::validate() const {
    return validSlots(slotData(), size_t(m_lines) * m_lineLength, m_heap.size());
}

bool SlotGrid::validSlots(const char* stored, size_t count, uint64_t heapChars) {
    const auto* base = reinterpret_cast<const uint8_t*>(stored);
    // Most slots hold numbers or were never written: runs of those are
    // passed by their tags alone, and only a run holding some other tag is
    // looked at slot by slot.
    const size_t runs = count / kTagRun;
    size_t run = 0;
    while (run < runs) {
        run += plainRuns(base + run * kTagRun * kSlotSize, runs - run);
        if (run == runs) break;
        if (!validSlotsOneByOne(base + run * kTagRun * kSlotSize, kTagRun, heapChars)) return false;
        ++run;
    }
    const size_t done = runs * kTagRun;
    return validSlotsOneByOne(base + done * kSlotSize, count - done, heapChars);
}

bool SlotGrid::validSlotsOneByOne(const uint8_t* stored, size_t count, uint64_t heapChars) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = stored + i * kSlotSize;
        if (p[0] == kSlotNeverWritten || p[0] == kSlotNumber) continue;
        if (p[0] != kSlotText) return false;
        const uint32_t off = qFromLittleEndian<quint32>(p + 4);
        const uint16_t len = qFromLittleEndian<quint16>(p + 8);
        if (len > kMaxCellTextChars || uint64_t(off) + len > heapChars) return false;
    }
    return true;
}

bool SlotGrid::isBlank() const {
    if (!m_heap.empty()) return false;
    return std::all_of(m_slots.begin(), m_slots.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace qor

// ---------------------------------------------------------------------------
// CSheetPage

using namespace qor;

CSheetPage::CSheetPage(uint16_t rows, uint16_t cols)
    : m_rows(rows), m_cols(cols), m_fixed(rows, cols) {}

CSheetPage::CSheetPage(uint16_t rows, uint16_t cols, SlotGrid::NoFill)
    : m_rows(rows), m_cols(cols), m_fixed(rows, cols, SlotGrid::NoFill{}) {}

CellSlot CSheetPage::Slot(uint16_t row, uint16_t col) const {
    if (!Contains(row, col)) return {};
    return m_fixed.slot(row - 1u, uint16_t(col - 1));
}

bool CSheetPage::SetSlot(uint16_t row, uint16_t col, const CellSlot& s) {
    if (!Contains(row, col)) return false;
    m_fixed.setSlot(row - 1u, uint16_t(col - 1), s);
    m_dirty = true;
    noteCell(row, col);
    return true;
}

QString CSheetPage::Text(uint16_t row, uint16_t col) const {
    if (!Contains(row, col)) return {};
    return m_fixed.text(row - 1u, uint16_t(col - 1));
}

bool CSheetPage::SetNumber(uint16_t row, uint16_t col, double v, uint8_t flags) {
    return SetSlot(row, col, CellSlot::number(v, flags));
}

bool CSheetPage::SetText(uint16_t row, uint16_t col, QStringView text, uint8_t flags) {
    if (!Contains(row, col)) return false;
    m_fixed.setText(row - 1u, uint16_t(col - 1), text, flags);
    m_dirty = true;
    noteCell(row, col);
    return true;
}

bool CSheetPage::ClearCell(uint16_t row, uint16_t col) { return SetSlot(row, col, CellSlot{}); }

KeywordValue CSheetPage::Keyword(int slot) const {
    if (slot < 0 || slot >= kPageKeywordSlots) return {};
    return m_keywords[size_t(slot)];
}

bool CSheetPage::SetKeyword(int slot, const KeywordValue& value) {
    if (slot < 0 || slot >= kPageKeywordSlots || value.kind > 2) return false;
    KeywordValue v = value;
    if (v.kind == 2) {
        v.text.truncate(kKeywordTextChars);
        v.number = 0;
    } else {
        v.text.clear();
        if (v.kind == 0) v.number = 0;
    }
    m_keywords[size_t(slot)] = v;
    m_dirty = true;
    notePage();
    return true;
}

void CSheetPage::SetFlags(uint32_t flags) {
    m_flags = flags;
    m_dirty = true;
}

void CSheetPage::SetCheckLineArea(const AreaRecord& area) {
    m_checkLine = area;
    m_dirty = true;
}

SlotGrid& CSheetPage::MutableVarLines() {
    m_dirty = true;
    notePage();
    return m_var;
}

SlotGrid& CSheetPage::MutableFixed() {
    m_dirty = true;
    notePage();
    return m_fixed;
}

void CSheetPage::SetVarLines(SlotGrid lines) {
    m_var = std::move(lines);
    m_dirty = true;
    notePage();
}

namespace {

std::vector<uint16_t> identityOrigin(uint16_t n) {
    std::vector<uint16_t> v(n);
    std::iota(v.begin(), v.end(), uint16_t(1));
    return v;
}

}  // namespace

bool CSheetPage::InsertVarLines(uint32_t pos, uint32_t count) {
    const uint32_t used = m_var.lines();
    if (used == 0 || pos > used) return false;
    if (count == 0) return true;
    std::vector<uint16_t> lines;
    lines.reserve(used + count);
    for (uint32_t i = 0; i < pos; ++i) lines.push_back(uint16_t(i + 1));
    lines.insert(lines.end(), count, uint16_t(0));
    for (uint32_t i = pos; i < used; ++i) lines.push_back(uint16_t(i + 1));
    m_var = m_var.remapped(lines, identityOrigin(m_var.lineLength()));
    m_dirty = true;
    notePage();
    return true;
}

bool CSheetPage::DeleteVarLines(uint32_t pos, uint32_t count) {
    const uint32_t used = m_var.lines();
    if (pos >= used) return false;
    const uint32_t n = std::min(count, used - pos);
    if (n == 0) return true;
    std::vector<uint16_t> lines;
    for (uint32_t i = 0; i < used; ++i)
        if (i < pos || i >= pos + n) lines.push_back(uint16_t(i + 1));
    if (lines.empty()) lines.push_back(0);
    m_var = m_var.remapped(lines, identityOrigin(m_var.lineLength()));
    m_dirty = true;
    notePage();
    return true;
}

bool CSheetPage::ReorderVarLines(const std::vector<uint32_t>& order) {
    const uint32_t used = m_var.lines();
    if (order.size() != used) return false;
    std::vector<bool> seen(used, false);
    std::vector<uint16_t> lines(used);
    for (uint32_t i = 0; i < used; ++i) {
        if (order[i] >= used || seen[order[i]]) return false;
        seen[order[i]] = true;
        lines[i] = uint16_t(order[i] + 1);
    }
    m_var = m_var.remapped(lines, identityOrigin(m_var.lineLength()));
    m_dirty = true;
    notePage();
    return true;
}

void CSheetPage::Reshape(const RemapMatrix& m, uint16_t varKind) {
    RemapMatrix eff = m;
    if (m.oldRows != m_rows || m.oldCols != m_cols)
        eff = RemapMatrix::byPosition(m_rows, m_cols, m.rows(), m.cols());
    m_fixed = m_fixed.remapped(eff.rowOrigin, eff.colOrigin);
    m_rows = eff.rows();
    m_cols = eff.cols();
    if (varKind == 0 || m_var.lines() == 0) {
        m_var = SlotGrid();
    } else {
        std::vector<uint16_t> lines(m_var.lines());
        std::iota(lines.begin(), lines.end(), uint16_t(1));
        const std::vector<uint16_t>& pos = varKind == 1 ? eff.colOrigin : eff.rowOrigin;
        if (m_var.lineLength() == (varKind == 1 ? eff.oldCols : eff.oldRows)) {
            m_var = m_var.remapped(lines, pos);
        } else {
            std::vector<uint16_t> byPos(pos.size());
            for (size_t i = 0; i < byPos.size(); ++i)
                byPos[i] = i < m_var.lineLength() ? uint16_t(i + 1) : 0;
            m_var = m_var.remapped(lines, byPos);
        }
    }
    if (m_checkLine.r2 > m_rows || m_checkLine.c2 > m_cols) {
        m_checkLine = {};
        m_flags &= ~kPageCheckLineArea;
    }
    m_dirty = true;
    notePage();
}

PageRecordHeader CSheetPage::RecordHeader() const {
    PageRecordHeader h;
    h.rows = m_rows;
    h.cols = m_cols;
    h.generation = m_generation;
    h.flags = m_flags;
    h.checkLine = m_checkLine;
    h.heapChars = m_fixed.heapChars();
    h.keywords = m_keywords;
    return h;
}

void CSheetPage::ApplyRecordHeader(const PageRecordHeader& h) {
    m_generation = h.generation;
    m_flags = h.flags;
    m_checkLine = h.checkLine;
    m_keywords = h.keywords;
}

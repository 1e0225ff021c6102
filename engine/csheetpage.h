#pragma once
// One page of a report in memory: the fixed part (every stored row and
// column as fixed-size row records of 12-byte cell slots plus a text
// heap), the page's keyword values, its check-line area, and the lines of
// the variable area. The slot bytes are kept exactly as the page record
// stores them, so loading and saving a page is a straight copy.
//
// Rows and columns here are stored (template) indices from 1; mapping the
// rows and columns a user sees through the variable area happens above.

#include <QString>
#include <QStringView>
#include <array>
#include <memory>
#include <cstdint>
#include <vector>

#include "platform/largeblock.h"
#include "engine/reportlayout.h"
#include "engine/valuemarks.h"

namespace qor {

enum SlotTag : uint8_t {
    kSlotNeverWritten = 0,  // reads as empty of the cell's kind
    kSlotNumber = 1,
    kSlotText = 2,
};

enum SlotFlag : uint8_t {
    kSlotComputed = 1u << 0,      // value written by a formula
    kSlotFormulaError = 1u << 1,  // the formula failed
};

// One 12-byte cell slot: tag, flags, two reserved bytes, eight value
// bytes (a double, the empty-number pattern, or heap offset + length).
struct CellSlot {
    uint8_t tag = kSlotNeverWritten;
    uint8_t flags = 0;
    uint64_t payload = 0;  // the eight value bytes as a little-endian u64

    static CellSlot number(double v, uint8_t flags = 0);
    static CellSlot emptyNumber(uint8_t flags = 0);
    static CellSlot text(uint32_t heapOffset, uint16_t length, uint8_t flags = 0);

    bool isNumber() const { return tag == kSlotNumber; }
    bool isText() const { return tag == kSlotText; }
    bool isEmptyNumber() const { return tag == kSlotNumber && payload == kEmptyNumberBits; }
    double numberValue() const;  // 0 unless a non-empty number
    uint32_t textOffset() const { return uint32_t(payload & 0xFFFFFFFFu); }
    uint16_t textLength() const { return uint16_t((payload >> 32) & 0xFFFF); }
    bool operator==(const CellSlot&) const = default;
};

// Which old stored row and column each row and column of a new table
// shape came from (0 = new, empty). Format edits accumulate here and are
// applied to every page once, when format state is left.
struct RemapMatrix {
    std::vector<uint16_t> rowOrigin;  // index r-1 -> old row, 0 new
    std::vector<uint16_t> colOrigin;
    uint16_t oldRows = 0;
    uint16_t oldCols = 0;

    static RemapMatrix identity(uint16_t rows, uint16_t cols);
    // Old rows and columns kept where they are; cut or extended at the end.
    static RemapMatrix byPosition(uint16_t oldRows, uint16_t oldCols, uint16_t rows, uint16_t cols);
    uint16_t rows() const { return uint16_t(rowOrigin.size()); }
    uint16_t cols() const { return uint16_t(colOrigin.size()); }
    bool isIdentity() const;

    void resize(uint16_t rows, uint16_t cols);
    void insertRows(uint16_t pos, uint16_t count);  // before stored row pos (from 1)
    void insertCols(uint16_t pos, uint16_t count);
    void deleteRows(uint16_t pos, uint16_t count);
    void deleteCols(uint16_t pos, uint16_t count);
    void swapRows(uint16_t a, uint16_t b);
    void swapCols(uint16_t a, uint16_t b);
    // This matrix followed by next (next's old shape is this one's new).
    RemapMatrix then(const RemapMatrix& next) const;
};

// A grid of slots (lines x lineLength) with its text heap. Lines and
// positions here count from 0.
class SlotGrid {
public:
    SlotGrid() = default;
    SlotGrid(uint32_t lines, uint16_t lineLength);
    // Slots left unset, for a load that fills every byte at once.
    struct NoFill {};
    SlotGrid(uint32_t lines, uint16_t lineLength, NoFill);

    uint32_t lines() const { return m_lines; }
    uint16_t lineLength() const { return m_lineLength; }
    bool contains(uint32_t line, uint32_t pos) const {
        return line < m_lines && pos < m_lineLength;
    }

    CellSlot slot(uint32_t line, uint16_t pos) const;
    void setSlot(uint32_t line, uint16_t pos, const CellSlot& s);
    // The text of a text slot ("" for any other slot).
    QString text(uint32_t line, uint16_t pos) const;
    void setNumber(uint32_t line, uint16_t pos, double v, uint8_t flags = 0);
    // Cut to 255 characters.
    void setText(uint32_t line, uint16_t pos, QStringView text, uint8_t flags = 0);
    void clear(uint32_t line, uint16_t pos);

    // A grid of a new shape: line i takes old line lineOrigin[i] (from 1, 0
    // = empty), position j takes old position posOrigin[j].
    SlotGrid remapped(const std::vector<uint16_t>& lineOrigin,
                      const std::vector<uint16_t>& posOrigin) const;

    // Raw storage for page-record I/O: slot bytes exactly as stored, and
    // the heap in UTF-16 units.
    char* slotData() { return reinterpret_cast<char*>(m_slots.data()); }
    const char* slotData() const { return reinterpret_cast<const char*>(m_slots.data()); }
    size_t slotBytes() const { return m_slots.size(); }
    std::vector<char16_t>& heapStorage() { return m_heap; }
    const std::vector<char16_t>& heap() const { return m_heap; }
    uint32_t heapChars() const { return uint32_t(m_heap.size()); }

    // Drops heap text no slot refers to (when edits may have left some);
    // true when something changed.
    bool compactHeap();
    // Every slot has a known tag and every text lies inside the heap.
    bool validate() const;
    // The same over count stored slots and a heap of heapChars units.
    static bool validSlots(const char* stored, size_t count, uint64_t heapChars);
    // All slots never written and no text.
    bool isBlank() const;

private:
    static bool validSlotsOneByOne(const uint8_t* stored, size_t count, uint64_t heapChars);
    size_t index(uint32_t line, uint16_t pos) const {
        return (size_t(line) * m_lineLength + pos) * kSlotSize;
    }

    uint32_t m_lines = 0;
    uint16_t m_lineLength = 0;
    LargeVector<uint8_t> m_slots;
    std::vector<char16_t> m_heap;
    uint64_t m_garbage = 0;  // heap units no longer referred to (at least)
};

}  // namespace qor

class CSheetPage {
public:
    using AreaRecord = qor::AreaRecord;
    using CellSlot = qor::CellSlot;
    using KeywordValue = qor::KeywordValue;
    using PageRecordHeader = qor::PageRecordHeader;
    using RemapMatrix = qor::RemapMatrix;
    using SlotGrid = qor::SlotGrid;

    CSheetPage(uint16_t rows, uint16_t cols);
    // Slots of the fixed part left unset: the caller fills every one.
    CSheetPage(uint16_t rows, uint16_t cols, SlotGrid::NoFill);

    uint16_t GetRowCount() const { return m_rows; }
    uint16_t GetColCount() const { return m_cols; }
    bool Contains(uint16_t row, uint16_t col) const {
        return row >= 1 && col >= 1 && row <= m_rows && col <= m_cols;
    }

    // Cells by stored row and column from 1. Reads outside give an unwritten
    // slot; writes outside are ignored and return false.
    CellSlot Slot(uint16_t row, uint16_t col) const;
    bool SetSlot(uint16_t row, uint16_t col, const CellSlot& s);
    QString Text(uint16_t row, uint16_t col) const;
    bool SetNumber(uint16_t row, uint16_t col, double v, uint8_t flags = 0);
    bool SetText(uint16_t row, uint16_t col, QStringView text, uint8_t flags = 0);
    bool ClearCell(uint16_t row, uint16_t col);

    // Keyword values of slots 0..6.
    KeywordValue Keyword(int slot) const;
    bool SetKeyword(int slot, const KeywordValue& value);

    uint32_t Flags() const { return m_flags; }
    void SetFlags(uint32_t flags);
    AreaRecord CheckLineArea() const { return m_checkLine; }
    void SetCheckLineArea(const AreaRecord& area);

    // Variable-area lines (line length = columns of a row area, rows of a
    // column area); at least one line is in use when the report has a
    // variable area.
    const SlotGrid& VarLines() const { return m_var; }
    SlotGrid& MutableVarLines();
    uint16_t VarUsed() const { return uint16_t(m_var.lines()); }
    // Lines count from 0 here. Inserts count empty lines before line pos
    // (pos = VarUsed() appends); false when the page has no lines or pos
    // lies beyond the end.
    bool InsertVarLines(uint32_t pos, uint32_t count);
    // Removes up to count lines from pos on; when none would be left, one
    // empty line stays. False when pos is not a line.
    bool DeleteVarLines(uint32_t pos, uint32_t count);
    // Line i takes the old line order[i]; false (nothing changed) unless
    // order is a permutation of the lines.
    bool ReorderVarLines(const std::vector<uint32_t>& order);

    const SlotGrid& Fixed() const { return m_fixed; }
    // What the page holds in memory, near enough to budget pages by.
    size_t MemoryBytes() const {
        return m_fixed.slotBytes() + m_fixed.heapChars() * 2u + m_var.slotBytes() +
               m_var.heapChars() * 2u;
    }
    // Marks the page changed.
    SlotGrid& MutableFixed();

    bool IsDirty() const { return m_dirty; }
    void SetDirty(bool dirty) { m_dirty = dirty; }
    uint32_t Generation() const { return m_generation; }
    void SetGeneration(uint32_t g) { m_generation = g; }

    // Where its writes are noted, and its position from 1 there (0 when
    // it is nobody's, or no longer in the report).
    void AttachMarks(std::shared_ptr<qor::ValueMarks> marks, int number) {
        m_marks = std::move(marks);
        m_number = number;
    }
    void SetNumber(int number) { m_number = number; }
    int Number() const { return m_number; }

    // Gives the page the table shape of a new format: fixed part through
    // the matrix; variable lines by the columns (kind 1) or rows (kind 2).
    void Reshape(const RemapMatrix& m, uint16_t varKind);
    // Replaces the variable lines (after a load, or a new variable area).
    void SetVarLines(SlotGrid lines);

    // Page-record header for this page (heap sizes as they stand).
    PageRecordHeader RecordHeader() const;
    // Takes the header fields of a loaded record (shape must match).
    void ApplyRecordHeader(const PageRecordHeader& h);

private:
    uint16_t m_rows;
    uint16_t m_cols;
    uint32_t m_generation = 0;
    uint32_t m_flags = 0;
    AreaRecord m_checkLine;
    std::array<KeywordValue, qor::kPageKeywordSlots> m_keywords{};
    SlotGrid m_fixed;
    SlotGrid m_var;
    bool m_dirty = false;
    std::shared_ptr<qor::ValueMarks> m_marks;
    int m_number = 0;
    void noteCell(uint16_t row, uint16_t col) {
        if (m_marks) m_marks->NoteCell(m_number, row, col);
    }
    void notePage() {
        if (m_marks) m_marks->NotePage(m_number);
    }
};

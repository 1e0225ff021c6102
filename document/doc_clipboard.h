#pragma once
// The cell data of the clipboard format "Native QOR Data": a block of cells
// with their values, format attributes, table texts, the combined areas and
// formulas lying in it. Rows and columns are counted from 0 inside the
// block. Pasting into another report gives back the same block.
//
// Bytes (little-endian): "QNAT", u16 revision (major in bits 8-15), u16 0,
// u32 payload length, u32 CRC-32 of the payload, then the payload:
//   u16 rows (1..9,999), u16 columns (1..255), u32 source page, u8 1 when
//   copied in data state, 3 bytes 0;
//   rows x columns cells, row by row: 16 attribute bytes (codes 0..14 and
//   16), u8 value kind (0 empty, 1 number, 2 text, 3 table text), then an
//   f64 for a number or u16 length (<= 255) + UTF-16 for a text;
//   u32 n, n x {u16 r1, c1, r2, c2}: combined areas;
//   u32 n, n x {u16 r1, c1, r2, c2, u16 length (<= 1,025), UTF-16 text}:
//   formulas, the text read from the block's first corner of the area.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/reportlayout.h"

namespace qor {

// The attribute codes a cell carries, in stored order.
inline constexpr std::array<int, 16> kNativeAttributeCodes = {0, 1, 2,  3,  4,  5,  6,  7,
                                                              8, 9, 10, 11, 12, 13, 14, 16};

struct NativeCell {
    std::array<uint8_t, 16> attributes{};
    uint8_t kind = 0;  // 0 empty, 1 number, 2 text, 3 table text
    double number = 0;
    QString text;
    bool operator==(const NativeCell&) const = default;
};

struct NativeFormula {
    AreaRecord area;  // from 0 inside the block
    QString text;
    bool operator==(const NativeFormula&) const = default;
};

struct NativeArea {
    uint16_t rows = 0;
    uint16_t cols = 0;
    uint32_t sourcePage = 0;
    bool fromDataState = false;
    std::vector<NativeCell> cells;  // rows x cols, row-major
    std::vector<AreaRecord> combined;
    std::vector<NativeFormula> formulas;
    bool operator==(const NativeArea&) const = default;

    NativeCell& at(int row, int col) { return cells[size_t(row) * cols + size_t(col)]; }
    const NativeCell& at(int row, int col) const { return cells[size_t(row) * cols + size_t(col)]; }
};

constexpr uint32_t kNativeMagic = fourcc("QNAT");
constexpr uint16_t kNativeRevision = 0x0001;

QByteArray encodeNativeArea(const NativeArea& area);
// False with *error for bytes that are not a whole, undamaged block.
bool decodeNativeArea(const QByteArray& bytes, NativeArea* out, QString* error = nullptr);

}  // namespace qor

class CQorsDoc;
class QMimeData;

// The document's copy, cut, paste and fill of cell blocks at its
// selection. The document owns one and hands it out through
// CQorsDoc::Clipboard().
class DocClipboard {
public:
    explicit DocClipboard(CQorsDoc& doc) : m_doc(doc) {}
    DocClipboard(const DocClipboard&) = delete;
    DocClipboard& operator=(const DocClipboard&) = delete;

    // Puts the selection on source as tab-separated text and as "Native
    // QOR Data". Records the copy's page. False (nothing added) when the
    // selection cannot be read.
    bool CopyAreaToClipboard(QMimeData* source);
    // Copy, then clear the selection, only when the copy succeeded.
    bool CutAreaToClipboard(QMimeData* source);
    // Pastes at the selection's first cell: in data state the values, in
    // format state the formats, table texts, combined cells and formulas.
    // "Native QOR Data" is preferred to text. 0, or the first failing
    // status (the caller tells the user, message 62004).
    int PasteFromClipboard(const QMimeData* data);
    // The page of the last copy (0 when copied in format state).
    int32_t CopyPage() const { return m_nCopyPage; }

    // The in-cell edit: while a handler is set and the edit has the focus,
    // copy, cut and paste go to it.
    enum CellEditMessage : int { kEditCopy = 0x0301, kEditCut = 0x0300, kEditPaste = 0x0302 };
    using CellEditForwarder = std::function<bool(int message)>;
    void SetCellEditForwarder(CellEditForwarder forwarder) { m_cellEdit = std::move(forwarder); }
    bool ForwardToCellEdit(int message) { return m_cellEdit && m_cellEdit(message); }
    // Tells a refusal beside the cell, where typing tells its own (the
    // sheet view's tip); false when it could not, and a message box tells.
    using RefusalTeller = std::function<bool(const QString& text)>;
    void SetRefusalTeller(RefusalTeller teller) { m_tellRefusal = std::move(teller); }

    // Fill: the selection's first row (down), first column (right), last
    // row (up) or last column (left) copied across the rest of it, as a
    // copy and paste would: values in data state; kinds, formats, table
    // texts and formulas in format state, the formulas' references moved
    // by the distance from the source line.
    enum FillDirection { kFillDown, kFillRight, kFillUp, kFillLeft };
    // Whether the fill can act: an open report and a selection of more than
    // one row (down, up) or column (right, left). *reason says why not.
    bool CanFill(FillDirection direction, QString* reason = nullptr) const;
    // 0, or the first status a cell refused with (the other cells are
    // filled all the same, as a paste fills them).
    int FillSelection(FillDirection direction);

private:
    int pasteNative(const QByteArray& bytes, bool* touched);
    // The cells (r1, c1)-(r2, c2) (from 0) as a copy reads them; the text a
    // copy puts beside them into *shownText.
    bool copyBlock(int r1, int c1, int r2, int c2, qor::NativeArea* out, QString* shownText);
    // Writes block at (r0, c0) (from 0) as a paste does, moving its
    // formulas' references by (dr, dc).
    // *refused (when given and still null) gets the first text that a
    // number cell of the target did not take.
    int placeBlock(const qor::NativeArea& block, int r0, int c0, int dr, int dc,
                   QString* refused = nullptr);
    int pasteText(const QString& text);
    // A value of the block landed on a formula cell in data state: the
    // formula keeps the cell, as it does against typing.
    bool keptByFormula(int row, int col);
    void tellKeptByFormula();

    CQorsDoc& m_doc;
    bool m_keptByFormula = false;
    RefusalTeller m_tellRefusal;
    int32_t m_nCopyPage = 0;
    CellEditForwarder m_cellEdit;
};

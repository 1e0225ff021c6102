// Copy, cut and paste of cell blocks: tab-separated text and "Native QOR
// Data".
//
// Pasting puts the block at the selection's first cell, cut at the
// table's edge. In data state the values are written; in format state the
// block's format attributes, table texts, combined areas and formulas
// replace those of the target cells. Formula texts are kept as written:
// they name cells of the table, not places relative to the formula. A
// formula cut by the block's edge is rewritten so that each cell still
// reads what it read before (this needs the formula checker; without it
// such a formula is left out).

#include "document/doc_clipboard.h"

#include <QMimeData>
#include <QRegularExpression>
#include <algorithm>
#include <optional>
#include <utility>

#include "document/cqorsdoc.h"
#include "document/doc_commands.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/formulaeval.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"
#include "reader/creader.h"

namespace qor {

namespace {

constexpr int kMaxNativeCells = int(kMaxRows) * kMaxCols;

bool fail(QString* error, const char* why) {
    if (error) *error = QString::fromLatin1(why);
    return false;
}

bool areaInside(const AreaRecord& a, int rows, int cols) {
    return a.r1 <= a.r2 && a.c1 <= a.c2 && a.r2 < rows && a.c2 < cols;
}

}  // namespace

QByteArray encodeNativeArea(const NativeArea& area) {
    QByteArray payload;
    ByteWriter w(payload);
    w.u16(area.rows);
    w.u16(area.cols);
    w.u32(area.sourcePage);
    w.u8(area.fromDataState ? 1 : 0);
    w.zeros(3);
    for (const NativeCell& c : area.cells) {
        for (uint8_t a : c.attributes) w.u8(a);
        w.u8(c.kind);
        if (c.kind == 1) {
            w.f64(c.number);
        } else if (c.kind == 2 || c.kind == 3) {
            const QStringView t = QStringView(c.text).left(kMaxCellTextChars);
            w.u16(uint16_t(t.size()));
            w.utf16(t);
        }
    }
    w.u32(uint32_t(area.combined.size()));
    for (const AreaRecord& a : area.combined) {
        w.u16(a.r1);
        w.u16(a.c1);
        w.u16(a.r2);
        w.u16(a.c2);
    }
    w.u32(uint32_t(area.formulas.size()));
    for (const NativeFormula& f : area.formulas) {
        w.u16(f.area.r1);
        w.u16(f.area.c1);
        w.u16(f.area.r2);
        w.u16(f.area.c2);
        const QStringView t = QStringView(f.text).left(kMaxFormulaChars);
        w.u16(uint16_t(t.size()));
        w.utf16(t);
    }

    QByteArray out;
    ByteWriter h(out);
    h.u32(kNativeMagic);
    h.u16(kNativeRevision);
    h.u16(0);
    h.u32(uint32_t(payload.size()));
    h.u32(crc32(payload.constData(), size_t(payload.size())));
    h.bytes(payload);
    return out;
}

bool decodeNativeArea(const QByteArray& bytes, NativeArea* out, QString* error) {
    ByteReader h(bytes);
    if (h.u32() != kNativeMagic || !h.ok()) return fail(error, "not cell data of this program");
    const uint16_t revision = h.u16();
    h.u16();
    const uint32_t length = h.u32();
    const uint32_t crc = h.u32();
    if (!h.ok()) return fail(error, "the head is cut short");
    if ((revision & kRevisionMajorMask) > (kNativeRevision & kRevisionMajorMask))
        return fail(error, "cell data of a newer version");
    if (length != h.remaining()) return fail(error, "the length is wrong");
    if (crc32(h.current(), length) != crc) return fail(error, "the checksum is wrong");

    ByteReader r(h.current(), length);
    NativeArea a;
    a.rows = r.u16();
    a.cols = r.u16();
    a.sourcePage = r.u32();
    a.fromDataState = r.u8() != 0;
    r.skip(3);
    if (!r.ok() || a.rows < 1 || a.rows > kMaxRows || a.cols < 1 || a.cols > kMaxCols)
        return fail(error, "the block's size is wrong");
    const size_t cellCount = size_t(a.rows) * a.cols;
    // Each cell takes at least 17 bytes: a short block cannot claim more.
    if (cellCount > r.remaining() / 17) return fail(error, "the cells are cut short");
    a.cells.resize(cellCount);
    for (NativeCell& c : a.cells) {
        for (uint8_t& v : c.attributes) v = r.u8();
        c.kind = r.u8();
        if (c.kind == 1) {
            c.number = r.f64();
        } else if (c.kind == 2 || c.kind == 3) {
            const uint16_t len = r.u16();
            if (len > kMaxCellTextChars || !r.need(size_t(len) * 2))
                return fail(error, "a cell text is damaged");
            c.text = r.utf16(len);
        } else if (c.kind != 0) {
            return fail(error, "a cell's kind is unknown");
        }
        if (!r.ok()) return fail(error, "the cells are cut short");
    }
    const uint32_t combined = r.u32();
    if (!r.ok() || combined > cellCount || combined > r.remaining() / 8)
        return fail(error, "the combined areas are damaged");
    for (uint32_t i = 0; i < combined; ++i) {
        AreaRecord ar;
        ar.r1 = r.u16();
        ar.c1 = r.u16();
        ar.r2 = r.u16();
        ar.c2 = r.u16();
        if (!areaInside(ar, a.rows, a.cols)) return fail(error, "a combined area lies outside");
        a.combined.push_back(ar);
    }
    const uint32_t formulas = r.u32();
    if (!r.ok() || formulas > kMaxFormulas || formulas > r.remaining() / 10)
        return fail(error, "the formulas are damaged");
    for (uint32_t i = 0; i < formulas; ++i) {
        NativeFormula f;
        f.area.r1 = r.u16();
        f.area.c1 = r.u16();
        f.area.r2 = r.u16();
        f.area.c2 = r.u16();
        const uint16_t len = r.u16();
        if (!r.ok() || !areaInside(f.area, a.rows, a.cols) || len > kMaxFormulaChars ||
            !r.need(size_t(len) * 2))
            return fail(error, "a formula is damaged");
        f.text = r.utf16(len);
        a.formulas.push_back(f);
    }
    if (!r.ok() || r.remaining() != 0) return fail(error, "the block has bytes left over");
    if (cellCount > size_t(kMaxNativeCells)) return fail(error, "the block is too large");
    *out = std::move(a);
    if (error) error->clear();
    return true;
}

namespace {

// The formula text with every reference that moves with its cell moved by
// dr rows and dc columns; nothing when a reference would leave the table
// or no formula checker is installed to rewrite it.
std::optional<QString> shiftReferences(const QString& text, int dr, int dc) {
    if (dr == 0 && dc == 0) return text;
    const std::shared_ptr<IFormulaChecker> checker = FormulaChecker();
    if (!checker) return std::nullopt;
    const auto shift = [dr, dc](FormulaRef& ref) {
        if (!ref.shifts()) return true;
        const int r1 = ref.area.r1 + dr, r2 = ref.area.r2 + dr;
        const int c1 = ref.area.c1 + dc, c2 = ref.area.c2 + dc;
        if (r1 < 1 || c1 < 1 || r2 > kMaxRows || c2 > kMaxCols) return false;
        ref.area.r1 = uint16_t(r1);
        ref.area.r2 = uint16_t(r2);
        ref.area.c1 = uint16_t(c1);
        ref.area.c2 = uint16_t(c2);
        return true;
    };
    QString rewritten;
    if (!checker->RewriteReferences(text, shift, &rewritten)) return std::nullopt;
    return rewritten;
}

// A formula's area and text cut to clip (areas 1-based or 0-based alike):
// the text is rewritten when the area's first corner moves, because an area
// formula's references move with the distance from that corner.
std::optional<NativeFormula> clipFormula(const AreaRecord& area, const QString& text,
                                         const AreaRecord& clip) {
    AreaRecord in;
    in.r1 = std::max(area.r1, clip.r1);
    in.c1 = std::max(area.c1, clip.c1);
    in.r2 = std::min(area.r2, clip.r2);
    in.c2 = std::min(area.c2, clip.c2);
    if (in.r1 > in.r2 || in.c1 > in.c2) return std::nullopt;
    NativeFormula f{in, text};
    std::optional<QString> moved = shiftReferences(text, in.r1 - area.r1, in.c1 - area.c1);
    if (!moved) return std::nullopt;
    f.text = *moved;
    return f;
}

AreaRecord areaOf(const CellArea& a) {
    return {
        uint16_t(std::min(a.first.row, a.last.row)), uint16_t(std::min(a.first.col, a.last.col)),
        uint16_t(std::max(a.first.row, a.last.row)), uint16_t(std::max(a.first.col, a.last.col))};
}

QStringList splitLines(const QString& text) {
    QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

}  // namespace

}  // namespace qor

namespace {

// A number cell keeps its value when text would land on it; the user is
// told which text, in the words of a refused entry.
void tellRefused(const QString& refused) {
    if (refused.isNull()) return;
    qor::messageBox(LoadErrorText(qor::str::kEnterNumberCellUnchanged).arg(refused), QString(),
                    qor::MsgButtons::Ok, qor::MsgIcon::Warning);
}

}  // namespace

using namespace qor;

// ---------------------------------------------------------------------------
// Copy and cut

bool DocClipboard::CopyAreaToClipboard(QMimeData* source) {
    if (!m_doc.GetReport() || !source) return false;
    const int lastRow = m_doc.LastShownRow(), lastCol = m_doc.LastShownCol();
    const CellArea sel = m_doc.Selection().Area();
    if (sel.first.row > lastRow || sel.first.col > lastCol) return false;
    const int r1 = sel.first.row, c1 = sel.first.col;
    const int r2 = std::min<int>(sel.last.row, lastRow), c2 = std::min<int>(sel.last.col, lastCol);
    const bool dataState = !m_doc.GetReport()->IsFormatState();

    m_nCopyPage = dataState ? m_doc.GetReport()->GetCurPage() : 0;

    NativeArea block;
    QString text;
    const bool read = copyBlock(r1, c1, r2, c2, &block, &text);
    if (read) {
        source->setData(QString::fromLatin1(CQorsDoc::kNativeFormatName), encodeNativeArea(block));
        source->setText(text);
    }
    return read;
}

bool DocClipboard::copyBlock(int r1, int c1, int r2, int c2, NativeArea* out, QString* shownText) {
    CReportFile* file = m_doc.GetReport()->GetReportFile();
    const bool dataState = !m_doc.GetReport()->IsFormatState();
    NativeArea& block = *out;
    block = NativeArea{};
    block.rows = uint16_t(r2 - r1 + 1);
    block.cols = uint16_t(c2 - c1 + 1);
    block.sourcePage = uint32_t(dataState ? m_doc.GetReport()->GetCurPage() : 0);
    block.fromDataState = dataState;
    block.cells.resize(size_t(block.rows) * block.cols);
    QString text;
    std::vector<AreaRecord> combined;
    for (int r = r1; r <= r2; ++r) {
        for (int c = c1; c <= c2; ++c) {
            NativeCell& cell = block.at(r - r1, c - c1);
            uint16_t sr = 0, sc = 0;
            if (!file->MapCellAddress(r + 1, c + 1, &sr, &sc)) return false;
            for (size_t i = 0; i < kNativeAttributeCodes.size(); ++i)
                cell.attributes[i] =
                    uint8_t(file->GetCellFormatField(sr, sc, kNativeAttributeCodes[i]));
            const int kind = cell.attributes[0];
            QString shown;
            if (kind == kCellLabel) {
                cell.kind = 3;
                cell.text = file->GetLabel(sr, sc);
                shown = cell.text;
            } else if (dataState) {
                CellValue v;
                if (m_doc.GetReport()->GetCellValue(&v, r + 1, c + 1, 0) == 0) {
                    if (v.kind == kCellNumber) {
                        cell.kind = 1;
                        cell.number = v.number;
                        // Plain fixed decimals read back as a number anywhere.
                        shown = FormatFixedNumber(v.number, cell.attributes[3]);
                    } else if (v.isText()) {
                        cell.kind = 2;
                        cell.text = m_doc.GetReport()->GetCellText(r + 1, c + 1, 0);
                        shown = cell.text;
                    }
                }
            }
            if (kFmtCombineCode.get(file->Format().cellFormat(sr, sc)) != 0) {
                CellArea ca;
                if (m_doc.GetReport()->GetCombinedArea(CellArea::cell(r + 1, c + 1), &ca)) {
                    const AreaRecord a = areaOf(ca);
                    if (a.r1 - 1 >= r1 && a.c1 - 1 >= c1 && a.r2 - 1 <= r2 && a.c2 - 1 <= c2) {
                        const AreaRecord rel{uint16_t(a.r1 - 1 - r1), uint16_t(a.c1 - 1 - c1),
                                             uint16_t(a.r2 - 1 - r1), uint16_t(a.c2 - 1 - c1)};
                        if (std::find(combined.begin(), combined.end(), rel) == combined.end())
                            combined.push_back(rel);
                    }
                }
            }
            if (c > c1) text += QLatin1Char('\t');
            text += shown;
        }
        text += QStringLiteral("\r\n");
    }
    block.combined = std::move(combined);

    const AreaRecord clip{uint16_t(r1 + 1), uint16_t(c1 + 1), uint16_t(r2 + 1), uint16_t(c2 + 1)};
    for (const FormulaInfo& f : m_doc.GetReport()->EnumFormulas(-1)) {
        std::optional<NativeFormula> piece = clipFormula(areaOf(f.area), f.text, clip);
        if (!piece) continue;
        piece->area = {uint16_t(piece->area.r1 - clip.r1), uint16_t(piece->area.c1 - clip.c1),
                       uint16_t(piece->area.r2 - clip.r1), uint16_t(piece->area.c2 - clip.c1)};
        block.formulas.push_back(*piece);
    }
    if (shownText) *shownText = std::move(text);
    return true;
}

bool DocClipboard::CutAreaToClipboard(QMimeData* source) {
    // Clearing after a failed copy would lose the cells for good.
    if (!CopyAreaToClipboard(source)) return false;
    m_doc.ClearArea();
    return true;
}

// ---------------------------------------------------------------------------
// Paste

bool DocClipboard::keptByFormula(int row, int col) {
    if (m_doc.GetReport()->IsFormatState() || !m_doc.GetCellFormulaState(row, col)) return false;
    m_keptByFormula = true;
    return true;
}

void DocClipboard::tellKeptByFormula() {
    if (!std::exchange(m_keptByFormula, false)) return;
    const QString text = LoadErrorText(qor::str::kFormulaCellTyped);
    if (m_tellRefusal && m_tellRefusal(text)) return;
    qor::messageBox(text, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
}

int DocClipboard::PasteFromClipboard(const QMimeData* data) {
    if (!m_doc.GetReport() || !data) return 1;
    m_keptByFormula = false;
    const QString native = QString::fromLatin1(CQorsDoc::kNativeFormatName);
    int status = 1;
    bool touched = true;
    if (data->hasFormat(native))
        status = pasteNative(data->data(native), &touched);
    else if (data->hasText())
        status = pasteText(data->text());
    else
        return 1;
    tellKeptByFormula();
    if (!touched) return status;
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintCells);
    m_doc.UpdateServerItems();
    return status;
}

int DocClipboard::pasteNative(const QByteArray& bytes, bool* touched) {
    *touched = false;
    NativeArea block;
    QString error;
    if (!decodeNativeArea(bytes, &block, &error)) {
        TraceMessage(LoadErrorText(qor::str::kPastedTableDamaged) + error);
        return 1;
    }
    const int r0 = m_doc.Selection().Area().first.row, c0 = m_doc.Selection().Area().first.col;
    const int nr = std::min<int>(block.rows, m_doc.LastShownRow() - r0 + 1);
    const int nc = std::min<int>(block.cols, m_doc.LastShownCol() - c0 + 1);
    if (nr <= 0 || nc <= 0) return code(Status::OutsideTable);
    *touched = true;
    QString refused;
    int status = placeBlock(block, r0, c0, 0, 0, &refused);
    if (const uint16_t s = m_doc.RecalcChangedCells(); s && !status) status = s;
    tellRefused(refused);
    return status;
}

int DocClipboard::placeBlock(const NativeArea& block, int r0, int c0, int dr, int dc,
                             QString* refused) {
    const int nr = std::min<int>(block.rows, m_doc.LastShownRow() - r0 + 1);
    const int nc = std::min<int>(block.cols, m_doc.LastShownCol() - c0 + 1);
    if (nr <= 0 || nc <= 0) return code(Status::OutsideTable);
    int status = 0;
    const auto note = [&status](uint16_t s) {
        if (s && !status) status = s;
    };

    if (!m_doc.GetReport()->IsFormatState()) {
        for (int i = 0; i < nr; ++i)
            for (int j = 0; j < nc; ++j) {
                const NativeCell& cell = block.at(i, j);
                if (cell.kind == 3 || keptByFormula(r0 + i, c0 + j)) continue;
                CellValue v;
                double number = 0;
                if (cell.kind == 1) {
                    v = CellValue::ofNumber(cell.number);
                } else if (cell.kind != 2) {
                    // an empty cell of the block empties the cell
                } else if (m_doc.GetCellKind(r0 + i, c0 + j) != kCellNumber) {
                    v = CellValue::ofText(cell.text);
                } else if (qor::TextAsCellNumber(cell.text, &number)) {
                    v = CellValue::ofNumber(number);
                } else {
                    // The same rule as for pasted text: an amount is never
                    // turned into 0 by a label landing on it.
                    if (refused && refused->isNull()) *refused = cell.text.trimmed();
                    continue;
                }
                const uint16_t s = m_doc.GetReport()->SetCellValue(v, r0 + i + 1, c0 + j + 1, 0);
                // Table-text cells of the target keep their text.
                if (s != 1) note(s);
            }
        return status;
    }

    const CellArea target = CellArea::area(r0 + 1, c0 + 1, r0 + nr, c0 + nc);
    note(m_doc.GetReport()->ClearArea(&target, CReportHandle::kClearValues | CReportHandle::kClearFormulas |
                                           CReportHandle::kClearCombines));
    // Attributes row by row, one call per run of equal values.
    for (size_t k = 0; k < kNativeAttributeCodes.size(); ++k) {
        const int code = kNativeAttributeCodes[k];
        for (int i = 0; i < nr; ++i) {
            int j = 0;
            while (j < nc) {
                const uint8_t v = block.at(i, j).attributes[k];
                int e = j;
                while (e + 1 < nc && block.at(i, e + 1).attributes[k] == v) ++e;
                int32_t value = v;
                const CellArea run = CellArea::area(r0 + i + 1, c0 + j + 1, r0 + i + 1, c0 + e + 1);
                note(m_doc.GetReport()->AccessAreaFormat(1, code, &value, &run));
                j = e + 1;
            }
        }
    }
    for (int i = 0; i < nr; ++i)
        for (int j = 0; j < nc; ++j) {
            const NativeCell& cell = block.at(i, j);
            if (cell.kind == 3 && !cell.text.isEmpty())
                note(m_doc.GetReport()->SetCellValue(CellValue{kCellLabel, 0, cell.text}, r0 + i + 1,
                                             c0 + j + 1, 0));
        }
    for (const AreaRecord& a : block.combined) {
        if (a.r2 >= nr || a.c2 >= nc) continue;
        const CellArea area =
            CellArea::area(r0 + a.r1 + 1, c0 + a.c1 + 1, r0 + a.r2 + 1, c0 + a.c2 + 1);
        note(m_doc.GetReport()->CombineCells(&area));
    }
    const AreaRecord clip{0, 0, uint16_t(nr - 1), uint16_t(nc - 1)};
    for (const NativeFormula& f : block.formulas) {
        std::optional<NativeFormula> piece = clipFormula(f.area, f.text, clip);
        if (!piece) continue;
        // A fill moves the references by the distance from its source line;
        // one that would leave the table is not written.
        const std::optional<QString> moved = shiftReferences(piece->text, dr, dc);
        if (!moved) {
            note(code(Status::Refused));
            continue;
        }
        piece->text = *moved;
        CellArea area = CellArea::area(r0 + piece->area.r1 + 1, c0 + piece->area.c1 + 1,
                                       r0 + piece->area.r2 + 1, c0 + piece->area.c2 + 1);
        note(m_doc.GetReport()->SetAreaFormula(&area, piece->text));
    }
    return status;
}

int DocClipboard::pasteText(const QString& text) {
    const QStringList lines = splitLines(text);
    const int r0 = m_doc.Selection().Area().first.row, c0 = m_doc.Selection().Area().first.col;
    const int lastRow = m_doc.LastShownRow(), lastCol = m_doc.LastShownCol();
    const bool formatState = m_doc.GetReport()->IsFormatState();
    int status = 0;
    QString refused;  // the first text a number cell did not take
    for (int i = 0; i < lines.size() && r0 + i <= lastRow; ++i) {
        const QStringList cells = lines[i].split(QLatin1Char('\t'));
        for (int j = 0; j < cells.size() && c0 + j <= lastCol; ++j) {
            const int row = r0 + i + 1, col = c0 + j + 1;
            const QString& t = cells[j];
            uint16_t s = 0;
            if (formatState) {
                if (t.trimmed().isEmpty()) {
                    const CellArea a = CellArea::cell(row, col);
                    s = m_doc.GetReport()->ClearArea(&a, CReportHandle::kClearValues);
                } else {
                    s = m_doc.GetReport()->SetCellValue(CellValue{kCellLabel, 0, t}, row, col, 0);
                }
            } else {
                if (keptByFormula(row - 1, col - 1)) continue;
                CellValue v;
                double number = 0;
                if (t.trimmed().isEmpty()) {
                    // an empty cell of the block empties the cell
                } else if (m_doc.GetCellKind(row - 1, col - 1) != kCellNumber) {
                    v = CellValue::ofText(t);
                } else if (qor::TextAsCellNumber(t, &number)) {
                    v = CellValue::ofNumber(number);
                } else {
                    // A number cell keeps its value rather than turning the
                    // text into some number.
                    if (refused.isNull()) refused = t.trimmed();
                    continue;
                }
                s = m_doc.GetReport()->SetCellValue(v, row, col, 0);
                if (s == 1) s = 0;  // a table-text cell keeps its text
            }
            if (s && !status) status = s;
        }
    }
    if (const uint16_t s = m_doc.RecalcChangedCells(); s && !status) status = s;
    tellRefused(refused);
    return status;
}

// ---------------------------------------------------------------------------
// Fill

bool DocClipboard::CanFill(FillDirection direction, QString* reason) const {
    auto no = [reason](const QString& why) {
        if (reason) *reason = why;
        return false;
    };
    if (!m_doc.GetReport()) return no(qor::doccmd::ReasonNoReport());
    const CellArea sel = m_doc.Selection().Area();
    const bool rows = direction == kFillDown || direction == kFillUp;
    const int lines = rows ? std::min<int>(sel.last.row, m_doc.LastShownRow()) - sel.first.row
                           : std::min<int>(sel.last.col, m_doc.LastShownCol()) - sel.first.col;
    if (!m_doc.Selection().Exists() || lines < 1)
        return no(rows ? LoadErrorText(qor::str::kFillDownOneRow)
                       : LoadErrorText(qor::str::kFillRightOneColumn));
    return true;
}

int DocClipboard::FillSelection(FillDirection direction) {
    if (!CanFill(direction)) return code(Status::Refused);
    const CellArea sel = m_doc.Selection().Area();
    const int r1 = sel.first.row, c1 = sel.first.col;
    const int r2 = std::min<int>(sel.last.row, m_doc.LastShownRow());
    const int c2 = std::min<int>(sel.last.col, m_doc.LastShownCol());
    const bool rows = direction == kFillDown || direction == kFillUp;
    const bool fromFirst = direction == kFillDown || direction == kFillRight;
    const int source = rows ? (fromFirst ? r1 : r2) : (fromFirst ? c1 : c2);
    NativeArea block;
    const bool read = rows ? copyBlock(source, c1, source, c2, &block, nullptr)
                           : copyBlock(r1, source, r2, source, &block, nullptr);
    if (!read) return code(Status::Refused);
    int status = 0;
    QString refused;
    m_keptByFormula = false;
    const int first = rows ? r1 : c1, last = rows ? r2 : c2;
    for (int line = first; line <= last; ++line) {
        if (line == source) continue;
        const int d = line - source;
        const int s = rows ? placeBlock(block, line, c1, d, 0, &refused)
                           : placeBlock(block, r1, line, 0, d, &refused);
        if (s && !status) status = s;
    }
    if (const uint16_t s = m_doc.RecalcChangedCells(); s && !status) status = s;
    tellRefused(refused);
    tellKeptByFormula();
    m_doc.SetModifiedFlag();
    m_doc.UpdateAllViews(CQorsDoc::kHintCells);
    m_doc.UpdateServerItems();
    return status;
}

#include "exchange/excelimport.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/cellformat.h"
#include "engine/cells_round.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "engine/cellgate.h"
#include "engine/textutil.h"
#include "exchange/cexcelbridge.h"
#include "exchange/losstally.h"
#include "platform/uiservices.h"

namespace qor {
namespace {

constexpr int kMaxDecimals = 7;

[[noreturn]] void fail(uint32_t code, const QString& what) {
    throw XlError{code, QStringLiteral("ImportWorkbook"), what};
}

void setAttribute(CReportHandle* report, int code, int32_t value, int r, int c) {
    const CellArea area = CellArea::cell(r, c);
    // The report accepts or refuses each change by the state it is in;
    // a refused cell keeps its format and the import goes on.
    report->AccessAreaFormat(1, code, &value, &area);
}

int32_t attribute(CReportHandle* report, int code, int r, int c) {
    const CellArea area = CellArea::cell(r, c);
    int32_t value = 0;
    if (report->AccessAreaFormat(0, code, &value, &area) != 0) return -1;
    return value;
}

// The report cell's kind, or `covered` when a combined area covers the
// cell (any but its first); -1 when the cell cannot be read.
int8_t reportCellKind(CReportHandle* report, int r, int c, int8_t covered) {
    if (qor::CellUnderCombinedArea(*report, r, c)) return covered;
    return int8_t(attribute(report, kFmtKind, r, c));
}

int lineCodeOf(const XlBorder& b) {
    return LineCodeFromExcelBorder(int16_t(b.lineStyle), int16_t(b.weight));
}

int hAlignCode(int v) {
    switch (v) {
        case xl::kLeft:
            return kAlignStart;
        case xl::kCenter:
            return kAlignCentre;
        case xl::kRight:
            return kAlignEnd;
        default:
            return kAlignDefault;
    }
}

int vAlignCode(int v) {
    switch (v) {
        case xl::kTop:
            return kAlignStart;
        case xl::kCenter:
            return kAlignCentre;
        case xl::kBottom:
            return kAlignEnd;
        default:
            return kAlignDefault;
    }
}

// The first section of a number format with quoted texts and escaped
// characters taken out, so that a "." or "%" inside a literal counts
// for nothing.
QString formatPattern(const QString& format) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar ch = format[i];
        if (ch == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (ch == u'\\' || ch == u'_' || ch == u'*') {
            ++i;  // the next character is a literal or a padding width
        } else if (ch == u';') {
            break;
        } else {
            out += ch;
        }
    }
    return out;
}

// How a number format shows a percent sign. A literal sign (escaped or
// quoted) shows the value as it is, which is how the report stores
// percents; a real "%" shows the value times 100, so such a value comes
// into the report multiplied.
enum class PercentSign { None, Literal, Scaling };

PercentSign percentSignOf(const QString& stored) {
    if (formatPattern(stored).contains(u'%')) return PercentSign::Scaling;
    bool quoted = false;
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar ch = stored[i];
        if (ch == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            if (ch == u'%') return PercentSign::Literal;
        } else if (ch == u'\\') {
            if (i + 1 < stored.size() && stored[i + 1] == u'%') return PercentSign::Literal;
            ++i;
        } else if (ch == u'_' || ch == u'*') {
            ++i;
        } else if (ch == u';') {
            break;
        }
    }
    return PercentSign::None;
}

// What a number format gives the report: thousands, currency, decimals
// and percent.
struct NumberFlags {
    bool thousands = false;
    bool currency = false;
    int decimals = kMaxDecimals;
    PercentSign percent = PercentSign::None;
    bool general = false;  // no format of its own: a number shows as written
};

// Whether a number format is the workbook's General, which has no digit
// places of its own (a language or colour tag in brackets aside).
bool isGeneralFormat(const QString& stored) {
    if (stored.isEmpty()) return true;
    QString bare;
    int depth = 0;
    for (const QChar ch : formatPattern(stored)) {
        if (ch == u'[')
            ++depth;
        else if (ch == u']')
            depth = std::max(0, depth - 1);
        else if (depth == 0)
            bare += ch;
    }
    return bare.trimmed().compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
}

// The fewest decimals, up to the report's maximum, that show a number as
// it is: General shows 23000 as "23000" and 0.125 as "0.125", where the
// report's maximum would pad every number to 7 places and no longer fit
// the column.
int decimalsShowing(double value) {
    if (!std::isfinite(value)) return 0;
    const QString text = QString::number(value, 'f', kMaxDecimals);
    int decimals = kMaxDecimals;
    while (decimals > 0 && text[text.size() - 1 - (kMaxDecimals - decimals)] == u'0') --decimals;
    return decimals;
}

NumberFlags numberFlagsOf(const QString& stored) {
    const QString format = stored.isEmpty() ? QStringLiteral("General") : stored;
    NumberFlags f;
    f.thousands = format.indexOf(u',', 1) > 0;
    const QString currency = LoadErrorText(str::kCurrencySymbol0);
    f.currency = !currency.isEmpty() && format.contains(currency);
    const QString pattern = formatPattern(format);
    // Only the digit places after the point are decimals: a closing
    // bracket or a percent sign is not one. A format without a point
    // shows whole numbers, unless it has no digit places at all (General),
    // which shows every decimal.
    const qsizetype point = pattern.lastIndexOf(u'.');
    if (point > 0) {
        f.decimals = 0;
        for (qsizetype i = point + 1; i < pattern.size(); ++i)
            if (pattern[i] == u'0' || pattern[i] == u'#' || pattern[i] == u'?') ++f.decimals;
        f.decimals = std::min(f.decimals, kMaxDecimals);
    } else if (pattern.contains(u'0') || pattern.contains(u'#')) {
        f.decimals = 0;
    }
    f.percent = percentSignOf(format);
    f.general = isGeneralFormat(stored);
    return f;
}

// A sheet's cells share a handful of number formats: each is worked out
// once. Cells of one style share the text itself, which is checked first.
class NumberFlagsCache {
public:
    const NumberFlags& of(const QString& format) {
        if (m_have && format.constData() == m_last.constData() && format.size() == m_last.size())
            return m_lastFlags;
        auto it = m_known.constFind(format);
        if (it == m_known.cend()) it = m_known.insert(format, numberFlagsOf(format));
        m_have = true;
        m_last = format;
        m_lastFlags = it.value();
        return m_lastFlags;
    }

private:
    QHash<QString, NumberFlags> m_known;
    bool m_have = false;
    QString m_last;
    NumberFlags m_lastFlags;
};

// Writes the number-format flags into the cell. A cell format holds one
// decimals count, so a General cell takes it from its own number (cell may
// be null); a General cell without a number keeps the maximum, which
// shows whatever is typed into it later in full.
void importNumberFormat(CReportHandle* report, const NumberFlags& f, const XlCell* cell, int r,
                        int c) {
    if (f.thousands) setAttribute(report, kFmtThousands, 1, r, c);
    if (f.currency) setAttribute(report, kFmtCurrency, 1, r, c);
    const bool number = cell && cell->kind == XlCell::Number;
    setAttribute(report, kFmtDecimals,
                 f.general && number ? decimalsShowing(cell->number) : f.decimals, r, c);
    if (f.percent != PercentSign::None) setAttribute(report, kFmtPercent, 1, r, c);
}

// The merged areas over the rows of a walk from the top row down: each
// area is looked at while the walk is on its rows, so finding the area of
// a cell costs the areas of its row, not those of the sheet.
class MergeWalk {
public:
    explicit MergeWalk(const std::vector<XlArea>& merges) : m_areas(merges) {
        std::sort(m_areas.begin(), m_areas.end(),
                  [](const XlArea& a, const XlArea& b) { return a.r1 < b.r1; });
    }
    void toRow(int r) {
        m_open.erase(std::remove_if(m_open.begin(), m_open.end(),
                                    [r](const XlArea* a) { return a->r2 < r; }),
                     m_open.end());
        for (; m_next < m_areas.size() && m_areas[m_next].r1 <= r; ++m_next)
            if (m_areas[m_next].r2 >= r) m_open.push_back(&m_areas[m_next]);
    }
    // The merged area over column c of the current row, or null.
    const XlArea* at(int c) const {
        for (const XlArea* a : m_open)
            if (c >= a->c1 && c <= a->c2) return a;
        return nullptr;
    }

private:
    std::vector<XlArea> m_areas;
    size_t m_next = 0;
    std::vector<const XlArea*> m_open;
};

// Counts one more cell of l, keeping the first.
void countAt(WorkbookCellsLeftOut* l, int r, int c) {
    if (l->count++ > 0) return;
    l->row = r;
    l->col = c;
}

bool holdsValue(const XlCell& cell) {
    return cell.kind == XlCell::Number || (cell.kind == XlCell::Text && !cell.text.isEmpty());
}

// The part of the used area a report can hold: it reaches only as far as
// the cells inside the report's limits go, so that one stray cell far out
// neither keeps the table from growing nor blows it up to the limits.
XlArea fittingArea(const XlWorksheet& ws) {
    const XlArea used = ws.usedArea();
    if (used.r2 <= kMaxRows && used.c2 <= kMaxCols) return used;
    XlArea fit{used.r1, used.c1, used.r1, used.c1};
    for (const auto& [pos, cell] : ws.cells()) {
        const auto [r, c] = pos;
        if (r > kMaxRows || c > kMaxCols) continue;
        fit.r2 = std::max(fit.r2, r);
        fit.c2 = std::max(fit.c2, c);
    }
    return fit;
}

// The cells with values of ws beyond rows x cols.
WorkbookCellsLeftOut cellsBeyond(const XlWorksheet& ws, int rows, int cols) {
    WorkbookCellsLeftOut out;
    out.sheet = ws.name();
    out.tableRows = rows;
    out.tableCols = cols;
    for (const XlCellMap::Row& row : ws.cells().rows()) {
        // Within the table's rows only the cells past its last column count:
        // the end of the row, found from the back.
        size_t from = row.cells.size();
        if (row.row > rows)
            from = 0;
        else
            while (from > 0 && row.cells[from - 1].first.second > cols) --from;
        for (size_t i = from; i < row.cells.size(); ++i) {
            if (!holdsValue(row.cells[i].second)) continue;
            if (out.count++ == 0) {
                out.row = row.row;
                out.col = row.cells[i].first.second;
            }
        }
    }
    return out;
}

int pageErrorText(uint16_t status) {
    switch (status) {
        case 1035:
            return str::kInsertPageWriteError;
        case 1040:
            return str::kInsertPageNoMemory;
        case 1090:
            return str::kInsertPageNoDiskSpace;
        default:
            return str::kInsertPageFailed;
    }
}

}  // namespace
}  // namespace qor

using namespace qor;

int LineCodeFromExcelBorder(int16_t lineStyle, int16_t weight) {
    switch (lineStyle) {
        case xl::kLineNone:
            return kLineNone;
        case xl::kContinuous:
            return weight == xl::kThick ? kLineMedium : kLineThin;
        case xl::kDash:
            return kLineDash;
        case xl::kDot:
            return kLineDot;
        case xl::kDashDot:
            return kLineDashDot;
        case xl::kDashDotDot:
            return kLineDashDotDot;
        case xl::kSlantDashDot:
            return kLineThick;
        default:
            return kLineNone;
    }
}

int FontIndexFromName(const QString& name) {
    for (int i = 0; i < 16; ++i)
        if (name == QString::fromUtf8(kCellFontFaces[i])) return i;
    return 0;
}

int FontSizeIndexFromPoints(double points) {
    if (!std::isfinite(points)) return 0;
    const double whole = std::trunc(points);
    for (int i = 0; i < 16; ++i)
        if (whole == kFontSizePoints[i]) return i;
    return 0;
}

int FontStyleFromExcel(int16_t bold, int16_t italic, int32_t underline) {
    const bool b = bold != 0, i = italic != 0;
    if (underline == 0) return kFontPlain;
    if (underline > 0) {
        if (b && i) return kFontBoldItalicUnderline;
        if (b) return kFontBoldUnderline;
        if (i) return kFontItalicUnderline;
        return kFontUnderline;
    }
    if (b && i) return kFontBoldItalic;
    if (b) return kFontBold;
    if (i) return kFontItalic;
    return kFontPlain;
}

int ColourIndexFromExcel(double colour) {
    if (!std::isfinite(colour) || colour < 0 || colour > 0xFFFFFF) return kColourBlack;
    const uint32_t v = uint32_t(colour);
    for (int i = 0; i < 16; ++i)
        if (kCellPalette[i] == v) return i;
    return kColourBlack;
}

int CExcelBridge::ImportWorkbook(QString, CReportHandle* report) {
    if (!m_sheets) fail(kXlPointer, LoadErrorText(qor::str::kNoSheet));
    const int count = m_sheets->sheetCount();
    m_report = report;
    if (!m_sheetChoiceMade) {
        m_sheetChoiceMade = 1;
        return ImportSheetFormat(count <= 1 ? 1 : m_sheetDialog.sheetNumber);
    }
    if (m_sheetDialog.choice == ImportSheetDialog::kOpenAll) {
        for (int i = 1; i <= count; ++i) {
            m_worksheet = m_sheets->sheet(i);
            if (!ImportSheetData(i)) return 0;
        }
        if (m_report) m_report->SetCurPage(1);
        return 1;
    }
    m_worksheet = m_sheets->sheet(m_sheetDialog.sheetNumber);
    return ImportSheetData(1);
}

int CExcelBridge::ImportSheetFormat(int sheet) {
    try {
        importFormatCells(sheet);
    } catch (const XlError& e) {
        ++m_sheetsFailed;
        DumpComError(e);
        qor::messageBox(LoadErrorText(qor::str::kFormatConvertError), QString(), MsgButtons::Ok);
    }
    return 1;
}

void CExcelBridge::importFormatCells(int sheet) {
    if (!m_sheets) fail(kXlPointer, LoadErrorText(qor::str::kNoSheet));
    m_worksheet = m_sheets->sheet(sheet);
    CReportHandle* report = m_report;
    if (!report || !report->GetReportFile()) fail(kXlPointer, LoadErrorText(qor::str::kNoReport));
    XlWorksheet* ws = m_worksheet;
    m_kinds.clear();
    const XlArea used = fittingArea(*ws);
    CReportFile* file = report->GetReportFile();
    // The table takes the size of what comes in: the used range of every
    // sheet read and the merged areas of this one, as far as a report
    // reaches (a new report's own size would pad a 12-row sheet to 50 rows,
    // or leave a larger later sheet's cells out). Cells beyond what it can
    // hold are not visited (the value pass counts those with values).
    int rows = used.r2, cols = used.c2;
    for (int i = 1; i <= m_sheets->sheetCount(); ++i) {
        if (m_sheetDialog.choice == ImportSheetDialog::kOpenOne && i != sheet) continue;
        const XlArea other = fittingArea(*m_sheets->sheet(i));
        rows = std::max(rows, other.r2);
        cols = std::max(cols, other.c2);
    }
    for (const XlArea& merged : ws->merges()) {
        if (merged.r2 > kMaxRows || merged.c2 > kMaxCols) continue;
        rows = std::max(rows, merged.r2);
        cols = std::max(cols, merged.c2);
    }
    file->SetTableSize(uint16_t(std::clamp(rows, 1, int(kMaxRows))),
                       uint16_t(std::clamp(cols, 1, int(kMaxCols))));
    const int lastRow = std::min<int>(used.r2, file->GetRowCount());
    const int lastCol = std::min<int>(used.c2, file->GetColCount());

    const XlStyle& plain = XlCell::plainStyle();
    NumberFlagsCache numberFlags;
    MergeWalk merges(ws->merges());
    for (int r = used.r1; r <= lastRow; ++r) {
        merges.toRow(r);
        const XlCellMap::Row* row = ws->cells().findRow(r);
        size_t next = 0;  // the row's cells come in column order
        if (row)
            while (next < row->cells.size() && row->cells[next].first.second < used.c1) ++next;
        for (int c = used.c1; c <= lastCol; ++c) {
            const XlCell* cell = nullptr;
            if (row && next < row->cells.size() && row->cells[next].first.second == c)
                cell = &row->cells[next++].second;
            const XlStyle& style = cell ? cell->style() : plain;
            // Sizes and the frame lines of row 1 and column 1 belong to the
            // row or column, so the cells of a merged area give them too.
            if (r == used.r1) {
                uint16_t width = uint16_t(std::clamp(ws->columnWidth(c) * 5.5, 0.0, 65535.0));
                report->AccessRowColSize(1, 1, c, &width);
            }
            if (c == used.c1) {
                uint16_t height = uint16_t(std::clamp(ws->rowHeight(r), 0.0, 65535.0));
                report->AccessRowColSize(1, 0, r, &height);
            }
            if (r == 1) {
                int32_t line = lineCodeOf(style.top);
                report->AccessRowColFlag(1, 1, c, &line);
            }
            if (c == 1) {
                int32_t line = lineCodeOf(style.left);
                report->AccessRowColFlag(1, 0, r, &line);
            }

            if (const XlArea* merged = merges.at(c)) {
                if (merged->r1 != r || merged->c1 != c) continue;
                const CellArea area = CellArea::area(r, c, merged->r2, merged->c2);
                report->CombineCells(&area);
                const XlCell* last = ws->findCell(merged->r2, merged->c2);
                const XlStyle& lastStyle = last ? last->style() : plain;
                setAttribute(report, kFmtBottomLine, lineCodeOf(lastStyle.bottom), r, c);
                setAttribute(report, kFmtRightLine, lineCodeOf(lastStyle.right), r, c);
            } else {
                setAttribute(report, kFmtBottomLine, lineCodeOf(style.bottom), r, c);
                setAttribute(report, kFmtRightLine, lineCodeOf(style.right), r, c);
            }

            setAttribute(report, kFmtFont, FontIndexFromName(style.fontName), r, c);
            setAttribute(report, kFmtFontSize, FontSizeIndexFromPoints(style.fontSize), r, c);
            setAttribute(report, kFmtFontStyle,
                         FontStyleFromExcel(style.bold, style.italic, style.underline), r, c);
            setAttribute(report, kFmtForeground, ColourIndexFromExcel(style.fontColor), r, c);
            if (style.hasFill)
                setAttribute(report, kFmtBackground, ColourIndexFromExcel(style.fillColor), r, c);
            importNumberFormat(report, numberFlags.of(style.numberFormat), cell, r, c);
            setAttribute(report, kFmtHAlign, hAlignCode(style.hAlign), r, c);
            setAttribute(report, kFmtVAlign, vAlignCode(style.vAlign), r, c);
            // A cell formatted as text ("@") is a text cell even while it
            // is empty: later sheets may hold texts there.
            if (cell && (cell->kind == XlCell::Text || style.numberFormat == QLatin1String("@")))
                setAttribute(report, kFmtKind, kCellText, r, c);
        }
    }
}

int CExcelBridge::ImportSheetData(int page) {
    if (m_report) {
        int count = m_report->GetPageCount();
        while (page > count) {
            const uint16_t status = m_report->AppendRowColPage(1, 2);
            if (status != 0) {
                qor::messageBox(LoadErrorText(pageErrorText(status)), QString(), MsgButtons::Ok);
                return 0;
            }
            ++count;
            if (m_importHost) m_importHost->PageAdded(count);
        }
    }
    try {
        importDataCells(page);
    } catch (const XlError& e) {
        ++m_sheetsFailed;
        DumpComError(e);
        qor::messageBox(LoadErrorText(qor::str::kDataConvertError), QString(), MsgButtons::Ok);
    }
    return 1;
}

void CExcelBridge::importDataCells(int page) {
    CReportHandle* report = m_report;
    if (!report || !report->GetReportFile()) fail(kXlPointer, LoadErrorText(qor::str::kNoReport));
    if (!m_worksheet) fail(kXlPointer, LoadErrorText(qor::str::kNoSheet));
    if (m_importHost) m_importHost->SheetRead(page, m_worksheet->name());
    report->SetCurPage(page);
    XlWorksheet* ws = m_worksheet;
    const int lastRow = report->GetRowCount();
    const int lastCol = report->GetColCount();
    if (m_kindCols != lastCol || m_kinds.size() != size_t(lastRow) * size_t(lastCol)) {
        m_kinds.assign(size_t(lastRow) * size_t(lastCol), kKindUnread);
        m_kindCols = lastCol;
    }
    // What the table cannot hold is never dropped in silence.
    const WorkbookCellsLeftOut beyond = cellsBeyond(*ws, lastRow, lastCol);
    if (beyond.count > 0) m_leftOut.append(beyond);
    WorkbookCellsLeftOut noNumber;  // texts in number cells that read as no number
    noNumber.sheet = ws->name();
    noNumber.reason = WorkbookCellsLeftOut::TextInNumberCell;
    WorkbookCellsLeftOut formulas;  // cells that came in as their results
    formulas.sheet = ws->name();
    formulas.reason = WorkbookCellsLeftOut::Formula;
    WorkbookCellsLeftOut rounded;  // numbers of more decimals than a cell holds
    rounded.sheet = ws->name();
    rounded.reason = WorkbookCellsLeftOut::Rounded;
    WorkbookCellsLeftOut roundedToShown;  // numbers of more decimals than their cell shows
    roundedToShown.sheet = ws->name();
    roundedToShown.reason = WorkbookCellsLeftOut::RoundedToShown;
    WorkbookCellsLeftOut cut;  // texts longer than a cell holds
    cut.sheet = ws->name();
    cut.reason = WorkbookCellsLeftOut::TextCut;
    WorkbookCellsLeftOut underMerge;  // values hidden under a merged area
    underMerge.sheet = ws->name();
    underMerge.reason = WorkbookCellsLeftOut::UnderMerge;
    NumberFlagsCache numberFlags;
    for (const XlCellMap::Row& row : ws->cells().rows()) {
        const int r = row.row;
        if (r > lastRow) break;
        for (const XlCellMap::Entry& entry : row.cells) {
            const int c = entry.first.second;
            if (c > lastCol) break;
            const XlCell& cell = entry.second;
            if (cell.formula && formulas.count++ == 0) {
                formulas.row = r;
                formulas.col = c;
            }
            if (cell.kind == XlCell::Empty) continue;
            int8_t& known = m_kinds[size_t(r - 1) * size_t(lastCol) + size_t(c - 1)];
            if (known == kKindUnread) known = reportCellKind(report, r, c, kKindCovered);
            // Only the first cell of a combined area shows its value; one
            // kept under the area would be invisible in the report yet count
            // in its totals. The report's combined areas (those of the sheet
            // whose layout it took) hold for every page, so a later sheet's
            // value under them is left out the same way.
            if (known == kKindCovered) {
                if (holdsValue(cell)) countAt(&underMerge, r, c);
                continue;
            }
            const int kind = known;
            const bool numberCell = kind == kCellNumber || kind == kCellUnset;
            const bool textCell = kind == kCellText || kind == kCellLabel;
            CellValue value;  // empty: the report cell stays empty
            if (cell.kind == XlCell::Number && numberCell) {
                const PercentSign percent = numberFlags.of(cell.style().numberFormat).percent;
                const double v = percent == PercentSign::Scaling ? cell.number * 100 : cell.number;
                if (!ReportHoldsDecimals(v, percent != PercentSign::None ? 2 : 0)) {
                    countAt(&rounded, r, c);
                    value = CellValue::ofNumber(v);
                } else {
                    // The report holds a number to the decimals its cell
                    // shows: what it shows, totals and writes is that
                    // number, so it is stored rounded and the rounding told
                    // (1234567.89 under "#,##0" is 1234568).
                    const double kept = RoundedToShownDecimals(report, r, c, v);
                    if (std::fabs(kept - v) > std::fabs(v) * 1e-15) countAt(&roundedToShown, r, c);
                    value = CellValue::ofNumber(kept);
                }
            } else if (cell.kind == XlCell::Number && textCell) {
                // A number in a text cell is kept as the text it reads as.
                value = CellValue::ofText(QString::number(cell.number, 'g', 15));
            } else if (cell.kind == XlCell::Text && textCell) {
                // The whole text: the report keeps as much of it as a
                // cell holds, and what it cuts is told.
                if (cell.text.size() > kMaxLabelChars) countAt(&cut, r, c);
                value = CellValue::ofText(LeftWholeChars(cell.text, kMaxCellTextChars));
            } else if (cell.kind == XlCell::Text && numberCell) {
                // A text in a number cell is its number when the whole
                // text reads as one; any other text has no place there and
                // is told.
                // It is held to the decimals the cell shows, and that is
                // told as for a number ("12,345.60" under "#,##0").
                double v = 0;
                if (qor::TextAsCellNumber(cell.text, &v)) {
                    const double kept = RoundedToShownDecimals(report, r, c, v);
                    if (std::fabs(kept - v) > std::fabs(v) * 1e-15) countAt(&roundedToShown, r, c);
                    value = CellValue::ofNumber(kept);
                } else if (noNumber.count++ == 0) {
                    noNumber.row = r;
                    noNumber.col = c;
                }
            }
            // What the cell refuses (a text past its length, a NUL) is told
            // with the texts that had no number.
            if (report->SetCellValue(value, r, c, page, 0, 0) ==
                    qor::kValueRefusedStatus &&
                noNumber.count++ == 0) {
                noNumber.row = r;
                noNumber.col = c;
            }
        }
    }
    for (const WorkbookCellsLeftOut* l : {&noNumber, &formulas, &rounded, &roundedToShown, &cut, &underMerge})
        if (l->count > 0) m_leftOut.append(*l);
    if (const XlWorksheet::Undecoded& u = ws->undecoded(); u.count > 0) {
        WorkbookCellsLeftOut undecoded;
        undecoded.reason = WorkbookCellsLeftOut::Undecoded;
        undecoded.sheet = ws->name();
        undecoded.part = u.kind;
        undecoded.count = u.count;
        undecoded.row = u.row;
        undecoded.col = u.col;
        m_leftOut.append(undecoded);
    }
}

namespace qor {

QString WorkbookCellsLeftOut::firstCell() const { return FormatCellRef(col - 1, row - 1); }

namespace {

QString notAWorksheetText(const WorkbookCellsLeftOut& l) {
    return LoadErrorText(str::kSheetPartNotWorksheet).arg(l.sheet, l.part);
}

// The sheets the import reads (all, or the one chosen) whose part in the
// file is no worksheet, and whether any sheet it reads is a worksheet.
QList<WorkbookCellsLeftOut> sheetsNotRead(const XlWorkbook& wb, const ImportSheetDialog& dialog,
                                          bool* anyRead) {
    QList<WorkbookCellsLeftOut> out;
    *anyRead = false;
    for (int i = 1; i <= wb.sheetCount(); ++i) {
        if (dialog.choice == ImportSheetDialog::kOpenOne && i != dialog.sheetNumber) continue;
        const XlWorksheet& ws = *wb.sheets()[size_t(i - 1)];
        if (ws.unreadPart().isEmpty()) {
            *anyRead = true;
            continue;
        }
        WorkbookCellsLeftOut l;
        l.reason = WorkbookCellsLeftOut::NotAWorksheet;
        l.sheet = ws.name();
        l.part = ws.unreadPart();
        out << l;
    }
    return out;
}

}  // namespace

namespace {

// The format word of the shown cell itself: the handle's readers answer for
// a covered cell with its area's first cell.
std::optional<uint64_t> ownFormatWord(const CReportHandle& report, int row, int col) {
    const CReportFile* file = report.GetReportFile();
    uint16_t r = 0, c = 0;
    if (!file || !file->MapCellAddress(row, col, &r, &c)) return std::nullopt;
    return file->Format().cellFormat(r, c);
}

}  // namespace

bool CellUnderCombinedArea(const CReportHandle& report, int row, int col) {
    const std::optional<uint64_t> word = ownFormatWord(report, row, col);
    if (!word) return false;
    const uint32_t code = kFmtCombineCode.get(*word);
    return code != kCombineNone && code != kCombineTopLeft && code != kCombineRowStart;
}

double RoundedToShownDecimals(const CReportHandle* report, int row, int col, double v) {
    const std::optional<uint64_t> word = ownFormatWord(*report, row, col);
    return word ? HeldToShownDecimals(v, *word) : v;
}

std::optional<int> PercentFormatDecimals(const QString& format) {
    const NumberFlags f = numberFlagsOf(format);
    if (f.percent != PercentSign::Scaling) return std::nullopt;
    return f.decimals;
}

void NoteLostSheetName(int page, const QString& name, QStringList* lost, const QString& ownName) {
    if (name.isEmpty() || (!ownName.isEmpty() && name == ownName)) return;
    if (name != FillMessageText(LoadErrorText(str::kSheetName), {QString::number(page)})) lost->append(name);
}

QString SheetNamesNotKeptMessage(const QStringList& lost) {
    return lost.isEmpty() ? QString() : LoadErrorText(str::kSheetNamesNotKept).arg(lost.join(QStringLiteral(", ")));
}

QString LeftOutCellsMessage(const QList<WorkbookCellsLeftOut>& leftOut) {
    QStringList lines;
    for (const WorkbookCellsLeftOut& l : leftOut) {
        if (l.reason == WorkbookCellsLeftOut::NotAWorksheet) {
            lines << notAWorksheetText(l);
            continue;
        }
        if (l.reason == WorkbookCellsLeftOut::Formula) {
            lines << LoadErrorText(str::kFormulasImportedAsValues)
                         .arg(l.sheet)
                         .arg(l.count)
                         .arg(l.firstCell());
            continue;
        }
        // The losses every conversion names the same way, with the sheet
        // in the place.
        const QString place = LoadErrorText(str::kSheetCell).arg(l.sheet, l.firstCell());
        if (l.reason == WorkbookCellsLeftOut::Rounded || l.reason == WorkbookCellsLeftOut::UnderMerge ||
            l.reason == WorkbookCellsLeftOut::Comment || l.reason == WorkbookCellsLeftOut::RoundedToShown) {
            const QString kind = l.reason == WorkbookCellsLeftOut::Rounded      ? RoundedNumbersKind()
                                 : l.reason == WorkbookCellsLeftOut::UnderMerge ? LoadErrorText(str::kLossUnderMerge)
                                 : l.reason == WorkbookCellsLeftOut::Comment    ? LoadErrorText(str::kLossComment)
                                                                                : LoadErrorText(str::kLossRoundedToShown);
            lines << LoadErrorText(str::kLossLine).arg(kind).arg(l.count).arg(place);
            continue;
        }
        if (l.reason == WorkbookCellsLeftOut::Undecoded) {
            lines << LoadErrorText(str::kLossLine).arg(l.part).arg(l.count).arg(place);
            continue;
        }
        if (l.reason == WorkbookCellsLeftOut::TextCut) {
            lines << LoadErrorText(str::kTextsCut).arg(l.count).arg(kMaxLabelChars).arg(place);
            continue;
        }
        if (l.reason == WorkbookCellsLeftOut::TextInNumberCell) {
            lines << LoadErrorText(str::kSheetTextsInNumberCells)
                         .arg(l.sheet)
                         .arg(l.count)
                         .arg(l.firstCell());
            continue;
        }
        lines << LoadErrorText(str::kSheetCellsBeyondTable)
                     .arg(l.sheet)
                     .arg(l.count)
                     .arg(l.tableRows)
                     .arg(l.tableCols)
                     .arg(kMaxRows)
                     .arg(kMaxCols)
                     .arg(l.firstCell());
    }
    return lines.join(u'\n');
}

bool DefaultWorkbookImportHost::ChooseSheets(int, int* choice, int* sheetNumber) {
    *choice = ImportSheetDialog::kOpenAll;
    *sheetNumber = 1;
    return true;
}

int ImportExcelWorkbook(CReportHandle* report, const QString& path, IWorkbookImportHost* host,
                        QString* error, QList<WorkbookCellsLeftOut>* leftOut) {
    if (leftOut) leftOut->clear();
    auto failed = [error](const QString& why) {
        if (error) *error = why;
        return 0;
    };
    DefaultWorkbookImportHost fallback;
    if (!host) host = &fallback;
    if (!report || !report->IsOpen()) return failed(LoadErrorText(str::kNoReportOpen));
    CExcelBridge bridge;
    bridge.SetImportHost(host);
    if (!bridge.StartExcel()) return failed(LoadErrorText(str::kExcelNotInstalled));
    try {
        bridge.OpenWorkbookFile(path);
        if (!bridge.workbook()) fail(kXlObjectError, LoadErrorText(str::kCannotOpen).arg(path));
        ImportSheetDialog& dialog = bridge.SheetDialog();
        dialog.sheetCount = bridge.workbook()->sheetCount();
        if (dialog.sheetCount > 1) {
            if (!host->ChooseSheets(dialog.sheetCount, &dialog.choice, &dialog.sheetNumber)) {
                bridge.CloseWorkbook();
                bridge.QuitExcel();
                return failed(QString());
            }
            if (dialog.choice != ImportSheetDialog::kOpenOne)
                dialog.choice = ImportSheetDialog::kOpenAll;
            dialog.sheetNumber = std::clamp(dialog.sheetNumber, 1, dialog.sheetCount);
        } else {
            dialog.choice = ImportSheetDialog::kOpenAll;
            dialog.sheetNumber = 1;
        }
        bool anyRead = false;
        const QList<WorkbookCellsLeftOut> notRead =
            sheetsNotRead(*bridge.workbook(), dialog, &anyRead);
        if (!anyRead && !notRead.isEmpty()) {
            bridge.CloseWorkbook();
            bridge.QuitExcel();
            return failed(QStringLiteral("\"%1\" cannot be read: %2")
                              .arg(QFileInfo(path).fileName(), notAWorksheetText(notRead.first())));
        }
        if (!report->IsFormatState()) report->EnterFormatState();
        bridge.ImportWorkbook(path, report);
        host->FormatRead(report);
        if (report->EnterDataState() != 0)
            fail(kXlFail, LoadErrorText(str::kCannotSetUpReportFormat));
        const int ok = bridge.ImportWorkbook(path, report);
        bridge.CloseWorkbook();
        bridge.QuitExcel();
        if (!ok) return failed(LoadErrorText(str::kInsertPageFailed));
        // A sheet that could not be read was shown to the user; the report
        // holding the rest is no finished import.
        if (bridge.SheetsFailed() > 0)
            return failed(QStringLiteral("%1 %2: %3")
                              .arg(LoadErrorText(str::kDataConvertError), path)
                              .arg(bridge.SheetsFailed()));
        const QList<WorkbookCellsLeftOut> beyond = notRead + bridge.LeftOutCells();
        if (beyond.isEmpty()) return 1;
        if (leftOut) *leftOut = beyond;
        qor::messageBox(LeftOutCellsMessage(beyond), QString(), MsgButtons::Ok,
                        MsgIcon::Warning);
        return 2;
    } catch (const XlError& e) {
        bridge.QuitExcel();
        return failed(e.description);
    }
}

}  // namespace qor

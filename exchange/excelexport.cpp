#include "exchange/excelexport.h"

#include <QStringList>
#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/cexcelbridge.h"
#include "platform/uiservices.h"

namespace qor {
namespace {

// Fills the "%i" and "%s" of a string-table text in order; the texts are
// data, so they are never handed to printf.

[[noreturn]] void fail(uint32_t code, const QString& what) {
    throw XlError{code, QStringLiteral("ExportPage"), what};
}

// The format of an area's first cell, read once for all the fields a
// cell of the export needs.
class AreaFormat {
public:
    AreaFormat(CReportHandle* report, const CellArea& area) {
        const uint16_t status = report->ReadAreaFormatWord(&area, &m_word);
        if (status != 0)
            fail(kXlFail,
                 LoadErrorText(str::kNameAndText).arg(FormatCellRef(area.first.col - 1, area.first.row - 1),
                                          StatusText(status)));
    }
    int32_t operator[](int code) const { return int32_t(cellFormatGet(m_word, code)); }

private:
    uint64_t m_word = 0;
};

// On a range (every cell along that edge) or on one cell's style.
template <class Target>
void setEdge(Target& range, int edge, int lineCode) {
    int style = 0;
    const std::optional<int> weight = LineCodeToExcelBorder(lineCode, &style);
    range.setBorderLineStyle(edge, style);
    if (weight) range.setBorderWeight(edge, *weight);
}

// Code 0 is the report's default (numbers right, texts left), which is
// what a spreadsheet's general alignment does; justify would put numbers
// on the left.
int horizontalOf(int code) {
    static constexpr int t[4] = {xl::kGeneral, xl::kLeft, xl::kCenter, xl::kRight};
    return t[code & 3];
}
int verticalOf(int code) {
    static constexpr int t[4] = {xl::kJustify, xl::kTop, xl::kCenter, xl::kBottom};
    return t[code & 3];
}

// The report shows a zero before the point (0.50), so the last place
// before it is "0". The report stores percent units (12.5 shows 12.5%):
// the sign is written as a literal, since a real "%" makes spreadsheets
// multiply the value by 100.
QString numberFormatOf(const AreaFormat& format) {
    QString f = format[kFmtThousands] ? QStringLiteral("###,##0") : QStringLiteral("##0");
    if (format[kFmtCurrency]) f.prepend(LoadErrorText(str::kCurrencySymbol0));
    const int decimals = std::clamp(format[kFmtDecimals], 0, 7);
    if (decimals > 0) f += u'.' + QString(decimals, u'0');
    if (format[kFmtPercent]) f += QStringLiteral("\\%");
    return f;
}

// Shows the exported page as the report's current page for the length of
// the export, so that formats, combined areas and values all read that
// page's rows (a variable area has as many as the page uses).
class PageScope {
public:
    PageScope(CReportHandle* report, int page) : m_report(report) {
        if (page < 1 || page > report->GetPageCount())
            fail(kXlArgument, LoadErrorText(str::kReportLacksPage).arg(page));
        if (report->IsFormatState() || report->GetCurPage() == page) return;
        m_previous = report->GetCurPage();
        if (report->SetCurPage(page) != 0)
            fail(kXlFail, LoadErrorText(str::kPageUnreadable).arg(page));
    }
    ~PageScope() {
        if (m_previous > 0) m_report->SetCurPage(m_previous);
    }
    PageScope(const PageScope&) = delete;
    PageScope& operator=(const PageScope&) = delete;

private:
    CReportHandle* m_report;
    int m_previous = 0;
};

// A page holding more cells than this is written in bands of rows, each
// about this large (a few MB of cells), rather than whole.
constexpr size_t kBandCells = 1 << 16;

// An error of the file being written, carried past the page's own error
// handling: it ends the export, as it always did.
struct WriterError {
    XlError error;
};

// What a keyword cell of the page shows, and where.
struct KeywordCell {
    int row = 0, col = 0;
    QString text;
};

std::optional<KeywordCell> keywordCellOf(CReportHandle* report, int slot, const QString& label,
                                         int numeric, int labelFirst, int page) {
    CellRef at;
    if (report->AccessKeywordCell(0, slot, &at) != 0 || at.row <= 0 || at.col <= 0) return {};
    KeywordValue value;
    if (report->GetPageKeyword(slot, &value, report->IsFormatState() ? 0 : page) != 0) value = {};
    QString text;
    if (numeric) {
        const QString number = value.number > 0 ? QString::number(value.number, 'f', 0) : QString();
        if (number.isEmpty())
            text = label;
        else
            text = labelFirst ? label + number : number + u' ' + label;
    } else {
        text = labelFirst ? label + value.text : value.text + u' ' + label;
    }
    return KeywordCell{at.row, at.col, text};
}

// The page's keyword cells, slot by slot: the unit's name and code, then
// year, quarter, month and day.
std::vector<KeywordCell> keywordCells(CReportHandle* report, int page) {
    std::vector<KeywordCell> cells;
    const auto add = [&](int slot, const QString& label, int numeric, int labelFirst) {
        if (auto c = keywordCellOf(report, slot, label, numeric, labelFirst, page)) cells.push_back(*c);
    };
    add(0, LoadErrorText(str::kUnitNameLabel), 0, 1);
    add(1, LoadErrorText(str::kUnitCodeLabel), 0, 1);
    for (int slot = 2; slot <= 5; ++slot)
        add(slot, LoadErrorText(str::kKeywordYear + slot - 2), 1, 0);
    return cells;
}

void writeKeywordCell(XlWorksheet* ws, const KeywordCell& k) {
    XlRange range = ws->range(XlArea{k.row, k.col, k.row, k.col});
    range.setText(k.text);
    range.setFontColor(255);
}

}  // namespace
}  // namespace qor

using namespace qor;

int CExcelBridge::ExportPage(CReportHandle* report, int page) {
    try {
        exportPageCells(report, page);
    } catch (const XlError& e) {
        ++m_pagesFailed;
        DumpComError(e);
        qor::messageBox(LoadErrorText(qor::str::kFileConvertError), QString(), MsgButtons::Ok);
    }
    return 1;
}

int CExcelBridge::ExportPageTo(CReportHandle* report, int page, XlStreamWriter& out, int index0) {
    XlWorksheet* ws = m_worksheet;
    if (!ws)
        throw XlError{kXlPointer, QStringLiteral("ExportPage"), LoadErrorText(qor::str::kNoSheet)};
    // The keyword cells go into their rows just before those rows are
    // written: no later cell of the page touches a row once the next one
    // has begun, so each cell comes out as when the whole page is made.
    std::optional<std::vector<KeywordCell>> keywords;
    size_t keywordsWritten = 0;
    const auto writeKeywords = [&](int lastRow) {
        if (!keywords) keywords = keywordCells(report, page);
        std::stable_sort(keywords->begin() + qsizetype(keywordsWritten), keywords->end(),
                         [](const KeywordCell& a, const KeywordCell& b) { return a.row < b.row; });
        for (; keywordsWritten < keywords->size() && (*keywords)[keywordsWritten].row <= lastRow;
             ++keywordsWritten)
            writeKeywordCell(ws, (*keywords)[keywordsWritten]);
    };
    bool begun = false;
    const auto toWriter = [](auto f) {
        try {
            f();
        } catch (const XlError& e) {
            throw WriterError{e};
        }
    };
    const std::function<void(int)> rowsFinal = [&](int lastRow) {
        if (ws->cells().size() < kBandCells) return;
        writeKeywords(lastRow);
        toWriter([&] {
            if (!begun) out.beginSheet(index0, *ws);
            begun = true;
            out.writeRows(*ws, lastRow);
        });
        ws->dropRowsThrough(lastRow);
    };
    try {
        try {
            exportPageCells(report, page, &rowsFinal);
            writeKeywords(std::numeric_limits<int>::max());
        } catch (const XlError& e) {
            ++m_pagesFailed;
            DumpComError(e);
            qor::messageBox(LoadErrorText(qor::str::kFileConvertError), QString(), MsgButtons::Ok);
        }
    } catch (const WriterError& e) {
        throw e.error;
    }
    if (begun)
        out.endSheet(*ws);
    else
        out.writeSheet(index0, *ws);
    ws->releaseContents();
    return 1;
}

void CExcelBridge::exportPageCells(CReportHandle* report, int page,
                                   const std::function<void(int lastRow)>* rowsFinal) {
    if (!report || !report->GetReportFile()) fail(kXlPointer, LoadErrorText(qor::str::kNoReport));
    if (!m_worksheet) fail(kXlPointer, LoadErrorText(qor::str::kNoSheet));
    PageScope scope(report, page);
    const int valuePage = report->IsFormatState() ? 0 : page;
    CReportFile* file = report->GetReportFile();
    const int rows = file->GetShownRowCount();
    const int cols = file->GetShownColCount();
    XlWorksheet* ws = m_worksheet;

    // Sizes go to every row and column: a combined area over row 1 or
    // column 1 must not leave its columns or rows at the sheet's default.
    for (int c = 1; c <= cols; ++c) {
        uint16_t width = 0;
        if (report->AccessRowColSize(0, 1, c, &width) == 0)
            ws->range(XlArea{1, c, 1, c}).setColumnWidth(int32_t(width) * 2 / 11);
    }
    for (int r = 1; r <= rows; ++r) {
        uint16_t height = 0;
        if (report->AccessRowColSize(0, 0, r, &height) == 0)
            ws->range(XlArea{r, 1, r, 1}).setRowHeight(int32_t(height));
    }

    // The texts repeated over the cells, made once: the font names and the
    // number formats by their four fields.
    std::array<QString, 16> fontNames;
    for (size_t i = 0; i < fontNames.size(); ++i) fontNames[i] = QString::fromUtf8(kCellFontFaces[i]);
    std::array<QString, 2 * 2 * 8 * 2> numberFormats;
    auto numberFormat = [&](const AreaFormat& f) -> const QString& {
        const size_t key = size_t(f[kFmtThousands] != 0) | size_t(f[kFmtCurrency] != 0) << 1 |
                           size_t(std::clamp(f[kFmtDecimals], 0, 7)) << 2 |
                           size_t(f[kFmtPercent] != 0) << 5;
        QString& made = numberFormats[key];
        if (made.isNull()) made = numberFormatOf(f);
        return made;
    };
    XlSharedStyle lastStyle;  // the style the cell written before took
    const QString progress = LoadErrorText(qor::str::kSavingPageProgress);
    const int cells = std::max(rows * cols, 1);
    int shownPercent = -1;
    for (int r = 1; r <= rows; ++r) {
        if (rowsFinal && r > 1) (*rowsFinal)(r - 1);
        // A line each time the percentage moves on: a line a row made
        // thousands of identical lines a page.
        const int percent = int((qint64(r - 1) * cols + 1) * 100 / cells);
        if (percent != shownPercent) {
            shownPercent = percent;
            TraceMessage(qor::FillMessageText(
                progress, {QString::number(page), QString::number(percent), QStringLiteral("%")}));
        }
        for (int c = 1; c <= cols; ++c) {
            CellArea area = CellArea::cell(r, c);
            CellArea combined;
            const bool isCombined = report->GetCombinedArea(area, &combined) == 1;
            if (isCombined) area = combined;
            // Only the area's first cell writes: the merge, the lines along
            // the whole area and the cell itself come out the same as when
            // every cell of the area repeats them.
            if (area.first.row != r || area.first.col != c) continue;
            const XlArea block{area.first.row, area.first.col, area.last.row, area.last.col};
            // The first cell's style is made whole here and given to the
            // cell at the end, shared with the cell before when they are
            // alike: a page has a handful of styles over many cells. The
            // lines of a combined area go to every cell along its edges.
            XlRange cell = ws->range(XlArea{r, c, r, c});
            if (isCombined) ws->range(block).merge();
            const AreaFormat format(report, area);
            const int right = block.c2 >= cols ? kLineThin : format[kFmtRightLine];
            const int bottom = block.r2 >= rows ? kLineThin : format[kFmtBottomLine];
            XlStyle style;
            XlStyleEdit edit(style);
            if (isCombined) {
                XlRange areaRange = ws->range(block);
                setEdge(areaRange, xl::kEdgeRight, right);
                setEdge(areaRange, xl::kEdgeBottom, bottom);
                if (r == 1) setEdge(areaRange, xl::kEdgeTop, kLineThin);
                if (c == 1) setEdge(areaRange, xl::kEdgeLeft, kLineThin);
                style = ws->cell(r, c).style();
            } else {
                if (const XlCell* was = ws->findCell(r, c)) style = was->style();
                setEdge(edit, xl::kEdgeRight, right);
                setEdge(edit, xl::kEdgeBottom, bottom);
                if (r == 1) setEdge(edit, xl::kEdgeTop, kLineThin);
                if (c == 1) setEdge(edit, xl::kEdgeLeft, kLineThin);
            }

            edit.setFontName(fontNames[size_t(format[kFmtFont] & 15)]);
            const int fontStyle = format[kFmtFontStyle];
            if (fontStyle == kFontBold || fontStyle == kFontBoldItalic ||
                fontStyle == kFontBoldUnderline || fontStyle == kFontBoldItalicUnderline)
                edit.setBold(true);
            if (fontStyle == kFontItalic || fontStyle == kFontBoldItalic ||
                fontStyle == kFontItalicUnderline || fontStyle == kFontBoldItalicUnderline)
                edit.setItalic(true);
            if (fontStyle == kFontUnderline || fontStyle == kFontBoldUnderline ||
                fontStyle == kFontItalicUnderline || fontStyle == kFontBoldItalicUnderline)
                edit.setUnderline(xl::kUnderlineSingle);
            edit.setFontSize(kFontSizePoints[format[kFmtFontSize] & 15]);
            edit.setHorizontalAlignment(horizontalOf(format[kFmtHAlign]));
            edit.setVerticalAlignment(verticalOf(format[kFmtVAlign]));
            edit.setFontColor(kCellPalette[format[kFmtForeground] & 15]);
            const int back = format[kFmtBackground] & 15;
            if (back != kColourWhite) edit.setFillColor(kCellPalette[back]);

            const int kind = format[kFmtKind];
            const bool isText = kind == kCellText || kind == kCellLabel;
            const bool isNumber = kind == kCellNumber || kind == kCellUnset;
            if (isText) edit.setNumberFormat(QStringLiteral("@"));
            if (isNumber) edit.setNumberFormat(numberFormat(format));
            if (!lastStyle || !(*lastStyle == style)) lastStyle = std::make_shared<XlStyle>(style);
            ws->cell(r, c).shareStyle(lastStyle);

            if (isText) {
                // The whole text: a value record keeps only its first 32
                // characters.
                uint16_t status = 0;
                const QString text = report->GetCellText(r, c, valuePage, &status);
                if (status == 0) cell.setText(text);
            } else if (isNumber) {
                CellValue v;
                const uint16_t status = report->GetCellValue(&v, r, c, valuePage);
                // Only a value the cell holds is written: an empty number
                // cell stays empty (a 0 would come back as a value on
                // import), a stored 0 is written as 0.
                if (status == 0 && v.kind == kCellNumber) cell.setNumber(v.number);
            }
        }
    }

    if (rowsFinal) return;
    for (const KeywordCell& k : keywordCells(report, page)) writeKeywordCell(ws, k);
}

int SaveReportAsExcel(CReportHandle* report, QString path, int page) {
    if (!report || !report->IsOpen() || page < 1 || page > report->GetPageCount()) return 0;
    CExcelBridge bridge;
    if (!bridge.StartExcel()) {
        TraceMessage(LoadErrorText(qor::str::kExcelNotInstalled));
        return 0;
    }
    try {
        // The page goes to the file as it is made; the workbook is one
        // sheet, written in place of the file once it is whole.
        const QString name =
            qor::FillMessageText(LoadErrorText(qor::str::kSheetName), {QString::number(page)});
        const std::unique_ptr<XlStreamWriter> out = OpenWorkbookWriter(path, {name}, 0);
        bridge.NewWorkbook();
        bridge.AddWorksheet(name, 1);
        bridge.ExportPageTo(report, page, *out, 0);
        out->commit();
        bridge.CloseWorkbook();
        bridge.QuitExcel();
        // What was written stays in the file, but a page that failed is
        // no finished export.
        if (bridge.PagesFailed() > 0) return 0;
        TraceMessage(LoadErrorText(qor::str::kFinish));
        return 1;
    } catch (const XlError& e) {
        // Errors of the workbook calls come this far; they end the export
        // rather than the program.
        DumpComError(e);
        TraceMessage(e.description);
        bridge.QuitExcel();
        return 0;
    }
}

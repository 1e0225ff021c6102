#include "exchange/excelexport.h"

#include <QStringList>
#include <algorithm>
#include <array>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/cexcelbridge.h"
#include "platform/uiservices.h"

namespace qor {
namespace {

constexpr int kMsgSheetName = 62015;
constexpr int kMsgNoServer = 62080;
constexpr int kMsgWriting = 62081;
constexpr int kMsgDone = 62082;
constexpr int kMsgCurrency = 62437;
constexpr int kMsgProgress = 62443;
constexpr int kMsgUnitName = 62444;
constexpr int kMsgUnitCode = 62445;
constexpr int kMsgConvertError = 62446;
constexpr int kMsgYear = 62037;  // .. 62040 quarter, month, day

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
                 QStringLiteral("%1：%2").arg(FormatCellRef(area.first.col - 1, area.first.row - 1),
                                              StatusText(status)));
    }
    int32_t operator[](int code) const { return int32_t(cellFormatGet(m_word, code)); }

private:
    uint64_t m_word = 0;
};

void setEdge(XlRange& range, int edge, int lineCode) {
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
    if (format[kFmtCurrency]) f.prepend(LoadErrorText(kMsgCurrency));
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
            fail(kXlArgument, LoadErrorText(63523).arg(page));
        if (report->IsFormatState() || report->GetCurPage() == page) return;
        m_previous = report->GetCurPage();
        if (report->SetCurPage(page) != 0) fail(kXlFail, LoadErrorText(63536).arg(page));
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

}  // namespace
}  // namespace qor

using namespace qor;

int CExcelBridge::ExportPage(CReportHandle* report, int page) {
    try {
        exportPageCells(report, page);
    } catch (const XlError& e) {
        ++m_pagesFailed;
        DumpComError(e);
        qor::messageBox(LoadErrorText(kMsgConvertError), QString(), MsgButtons::Ok);
    }
    return 1;
}

void CExcelBridge::exportPageCells(CReportHandle* report, int page) {
    if (!report || !report->GetReportFile()) fail(kXlPointer, QStringLiteral("no report"));
    if (!m_worksheet) fail(kXlPointer, QStringLiteral("no worksheet"));
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
    const QString progress = LoadErrorText(kMsgProgress);
    const int cells = std::max(rows * cols, 1);
    for (int r = 1; r <= rows; ++r) {
        TraceMessage(qor::FillMessageText(
            progress, {QString::number(page), QString::number(((r - 1) * cols + 1) * 100 / cells),
                       QStringLiteral("%")}));
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
            XlRange areaRange = ws->range(block);
            XlRange cell = ws->range(XlArea{r, c, r, c});
            if (isCombined) areaRange.merge();
            const AreaFormat format(report, area);

            setEdge(areaRange, xl::kEdgeRight,
                    block.c2 >= cols ? kLineThin : format[kFmtRightLine]);
            setEdge(areaRange, xl::kEdgeBottom,
                    block.r2 >= rows ? kLineThin : format[kFmtBottomLine]);
            if (r == 1) setEdge(areaRange, xl::kEdgeTop, kLineThin);
            if (c == 1) setEdge(areaRange, xl::kEdgeLeft, kLineThin);

            cell.setFontName(fontNames[size_t(format[kFmtFont] & 15)]);
            const int style = format[kFmtFontStyle];
            if (style == kFontBold || style == kFontBoldItalic || style == kFontBoldUnderline ||
                style == kFontBoldItalicUnderline)
                cell.setBold(true);
            if (style == kFontItalic || style == kFontBoldItalic || style == kFontItalicUnderline ||
                style == kFontBoldItalicUnderline)
                cell.setItalic(true);
            if (style == kFontUnderline || style == kFontBoldUnderline ||
                style == kFontItalicUnderline || style == kFontBoldItalicUnderline)
                cell.setUnderline(xl::kUnderlineSingle);
            cell.setFontSize(kFontSizePoints[format[kFmtFontSize] & 15]);
            cell.setHorizontalAlignment(horizontalOf(format[kFmtHAlign]));
            cell.setVerticalAlignment(verticalOf(format[kFmtVAlign]));
            cell.setFontColor(kCellPalette[format[kFmtForeground] & 15]);
            const int back = format[kFmtBackground] & 15;
            if (back != kColourWhite) cell.setFillColor(kCellPalette[back]);

            const int kind = format[kFmtKind];
            if (kind == kCellText || kind == kCellLabel) {
                cell.setNumberFormat(QStringLiteral("@"));
                // The whole text: a value record keeps only its first 32
                // characters.
                uint16_t status = 0;
                const QString text = report->GetCellText(r, c, valuePage, &status);
                if (status == 0) cell.setText(text);
            } else if (kind == kCellNumber || kind == kCellUnset) {
                CellValue v;
                const uint16_t status = report->GetCellValue(&v, r, c, valuePage);
                cell.setNumberFormat(numberFormat(format));
                // Only a value the cell holds is written: an empty number
                // cell stays empty (a 0 would come back as a value on
                // import), a stored 0 is written as 0.
                if (status == 0 && v.kind == kCellNumber) cell.setNumber(v.number);
            }
        }
    }

    ExportKeywordCell(report, 0, LoadErrorText(kMsgUnitName), 0, 1, page);
    ExportKeywordCell(report, 1, LoadErrorText(kMsgUnitCode), 0, 1, page);
    for (int slot = 2; slot <= 5; ++slot)
        ExportKeywordCell(report, slot, LoadErrorText(kMsgYear + slot - 2), 1, 0, page);
}

void CExcelBridge::ExportKeywordCell(CReportHandle* report, int slot, QString label, int numeric,
                                     int labelFirst, int page) {
    if (!report) fail(kXlPointer, QStringLiteral("no report"));
    if (!m_worksheet) fail(kXlPointer, QStringLiteral("no worksheet"));
    CellRef at;
    if (report->AccessKeywordCell(0, slot, &at) != 0 || at.row <= 0 || at.col <= 0) return;
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
    XlRange range = m_worksheet->range(XlArea{at.row, at.col, at.row, at.col});
    range.setText(text);
    range.setFontColor(255);
}

int SaveReportAsExcel(CReportHandle* report, QString path, int page) {
    if (!report || !report->IsOpen() || page < 1 || page > report->GetPageCount()) return 0;
    CExcelBridge bridge;
    if (!bridge.StartExcel()) {
        TraceMessage(messageText(kMsgNoServer, LoadErrorText(62079)));
        return 0;
    }
    try {
        bridge.CreateWorkbookFile(path);
        bridge.OpenWorkbookFile(path);
        bridge.AddWorksheet(qor::FillMessageText(LoadErrorText(kMsgSheetName), {QString::number(page)}), 1);
        const QString writing = messageText(kMsgWriting, QString());
        if (!writing.isEmpty()) TraceMessage(writing);
        bridge.ExportPage(report, page);
        bridge.SaveWorkbook();
        bridge.CloseWorkbook();
        bridge.QuitExcel();
        // What was written stays in the file, but a page that failed is
        // no finished export.
        if (bridge.PagesFailed() > 0) return 0;
        TraceMessage(LoadErrorText(kMsgDone));
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

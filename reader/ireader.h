#pragma once
// IReader: what a host program does with one report through the Reader.
//
// A Reader holds at most one open report together with its current page
// and its current cell. Every method answers a ReaderResult: ok is the
// success flag and error the text to show when it is false; out values are
// written only on success (a read of a failed formula's cell excepted, see
// GetCellDataMatrix).
//
// Rows, columns and pages count from 1. Cells are given as the host sees
// them (the variable area of the current page expanded). Cell formats, row
// and column sizes, combined cells, formulas, keyword cells and the table's
// rows are changed in format state (BeginDesign); values, page keywords
// and recalculation need data state (BeginData) and a current page.
//
// Of the method names, OpenRep8File, GetPages, SetCurPage,
// GetCellDataMatrix, BeginDesign, BeginData, SetData, Save, CloseFile and
// InsertRows are the ones existing host programs already call; the
// others are our own names for what the rest of that interface offered
// (one SetCellFormat over the attribute codes of the cell format instead
// of a setter per attribute). The declaration order is the slot order.

#include <QString>
#include <QVariant>

namespace qor {
// True for the number types a host may pass where a value is expected.
inline bool IsNumericVariant(const QVariant& v) {
    switch (v.metaType().id()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::ULong:
            return true;
        default:
            return false;
    }
}
}  // namespace qor

struct ReaderResult {
    bool ok = true;
    QString error;
    // A read of a cell whose formula failed: ok is false, and the value the
    // cell keeps (0, or empty) is still written for a host that shows it.
    bool formulaFailed = false;

    static ReaderResult success() { return {}; }
    static ReaderResult failure(QString text) { return {false, std::move(text)}; }
    explicit operator bool() const { return ok; }
};

class IReader {
public:
    virtual ~IReader() = default;

    // Opens a report (a name without an extension gets ".rep"). sLangId
    // names the language of the texts ("zh-CN" when empty); it is kept, not
    // checked. Refused while another report is open.
    virtual ReaderResult OpenRep8File(const QString& sFileName, const QString& sLangId) = 0;
    virtual ReaderResult GetPages(int* pages) = 0;
    // Loads a page (1..GetPages) and makes it current; data state only.
    virtual ReaderResult SetCurPage(int page) = 0;
    // ours: 0 when no page is current.
    virtual ReaderResult GetCurPage(int* page) = 0;
    // The value of a cell of the current page: a double, or a QString for
    // text and label cells. In format state: labels and empty values.
    // A cell whose formula failed (what the desktop shows as "#错误公式")
    // answers a failure naming the page and cell, with formulaFailed set
    // and the value the cell keeps still written: its 0 is no amount.
    virtual ReaderResult GetCellDataMatrix(int iRow, int iCol, QVariant* value) = 0;
    // Format state; the current page is let go.
    virtual ReaderResult BeginDesign() = 0;
    // Data state; the page that was current before BeginDesign is current
    // again when it still exists.
    virtual ReaderResult BeginData() = 0;
    // ours
    virtual ReaderResult IsFormatState(bool* formatState) = 0;
    // ours: the cell SetData, GetData, the format and formula methods act on.
    virtual ReaderResult SetCurCell(int row, int col) = 0;
    // The current cell's value, as GetCellDataMatrix answers it.
    virtual ReaderResult GetData(QVariant* value) = 0;
    // Writes the current cell: a number, a text, or an empty QVariant to
    // empty it. A text for a number cell must read as a number. Format
    // state: a text becomes the cell's label. A cell holding a formula is
    // refused unless the report lets values replace formula results.
    virtual ReaderResult SetData(const QVariant& value) = 0;
    // ours: attribute code 0..16 of the cell format (15 has no attribute).
    virtual ReaderResult GetCellFormat(int code, int* value) = 0;
    // ours: format state; the value must fit the attribute.
    virtual ReaderResult SetCellFormat(int code, int value) = 0;
    // ours: in points, format state.
    virtual ReaderResult SetRowHeight(int row, int height) = 0;
    virtual ReaderResult SetColWidth(int col, int width) = 0;
    // ours: format state.
    virtual ReaderResult CombineCells(int row1, int col1, int row2, int col2) = 0;
    // ours: the stored table (the variable area counted once).
    virtual ReaderResult GetTableSize(int* rows, int* cols) = 0;
    virtual ReaderResult SetTableSize(int rows, int cols) = 0;
    // ours: pages in either state.
    virtual ReaderResult AppendPages(int count) = 0;
    virtual ReaderResult DeletePages(int pos, int count) = 0;
    // ours: rows of the table in format state; in data state, when the
    // report has a variable area, the current page's lines of it (rows of a
    // row area, columns of a column area, by their shown numbers).
    virtual ReaderResult AppendRows(int count) = 0;
    virtual ReaderResult DeleteRows(int pos, int count) = 0;
    // ours: keyword slot 0..6 of the current page: a double or a QString,
    // an empty QVariant when unset.
    virtual ReaderResult GetKeyword(int slot, QVariant* value) = 0;
    virtual ReaderResult SetKeyword(int slot, const QVariant& value) = 0;
    // ours: the cell showing keyword slot 0..7; 0, 0 when not placed.
    virtual ReaderResult GetKeywordCell(int slot, int* row, int* col) = 0;
    virtual ReaderResult SetKeywordCell(int slot, int row, int col) = 0;
    // ours: the formula of the current cell ("" when it has none).
    virtual ReaderResult GetFormula(QString* text) = 0;
    // ours: format state; an empty text removes the current cell's formula.
    virtual ReaderResult SetFormula(const QString& text) = 0;
    // ours: recalculates the current page. When formulas failed the page
    // is still computed and the answer fails with formulaFailed set, naming
    // how many cells failed and the first of them.
    virtual ReaderResult Recalc() = 0;
    // ours: the text of the last failure ("" when none yet).
    virtual ReaderResult GetLastError(QString* text) = 0;
    // Writes the report back to its file (format edits included).
    virtual ReaderResult Save() = 0;
    // Closes the report; what was not saved is dropped.
    virtual ReaderResult CloseFile() = 0;
    // Inserts count rows before pos (one past the last row appends);
    // format state, or lines in data state as AppendRows.
    virtual ReaderResult InsertRows(int pos, int count) = 0;
    // ours: lines of the variable area in use on the current page (0 when
    // the report has none); data state.
    virtual ReaderResult GetVarLines(int* lines) = 0;
    // ours: format state; makes rows (kind 1) or columns (kind 2) from start
    // on a variable area of up to extent lines, as 设置可变区 does.
    virtual ReaderResult SetVarArea(int kind, int start, int extent) = 0;
};

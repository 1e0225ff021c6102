#pragma once
// CReader: the Reader object behind IReader. One is made for every request
// a host makes; it owns the report it opens (a CReportHandle on a working
// copy), so two Readers never share a report.

#include <QString>
#include <memory>

#include "engine/textutil.h"  // the number rule of a cell, used by the Reader's callers
#include "reader/ireader.h"

class CReportHandle;


class CReader : public IReader {
public:
    CReader();
    // Why the open report's cell formats, read when first used, cannot be
    // trusted ("" when they can): an answer that used them is then a
    // failure.
    QString FormatFailure() const;
    // Drops what was not saved, as CloseFile does.
    ~CReader() override;
    CReader(const CReader&) = delete;
    CReader& operator=(const CReader&) = delete;

    ReaderResult OpenRep8File(const QString& sFileName, const QString& sLangId) override;
    ReaderResult GetPages(int* pages) override;
    ReaderResult SetCurPage(int page) override;
    ReaderResult GetCurPage(int* page) override;
    ReaderResult GetCellDataMatrix(int iRow, int iCol, QVariant* value) override;
    ReaderResult BeginDesign() override;
    ReaderResult BeginData() override;
    ReaderResult IsFormatState(bool* formatState) override;
    ReaderResult SetCurCell(int row, int col) override;
    ReaderResult GetData(QVariant* value) override;
    ReaderResult SetData(const QVariant& value) override;
    ReaderResult GetCellFormat(int code, int* value) override;
    ReaderResult SetCellFormat(int code, int value) override;
    ReaderResult SetRowHeight(int row, int height) override;
    ReaderResult SetColWidth(int col, int width) override;
    ReaderResult CombineCells(int row1, int col1, int row2, int col2) override;
    ReaderResult GetTableSize(int* rows, int* cols) override;
    ReaderResult SetTableSize(int rows, int cols) override;
    ReaderResult AppendPages(int count) override;
    ReaderResult DeletePages(int pos, int count) override;
    ReaderResult AppendRows(int count) override;
    ReaderResult DeleteRows(int pos, int count) override;
    ReaderResult GetKeyword(int slot, QVariant* value) override;
    ReaderResult SetKeyword(int slot, const QVariant& value) override;
    ReaderResult GetKeywordCell(int slot, int* row, int* col) override;
    ReaderResult SetKeywordCell(int slot, int row, int col) override;
    ReaderResult GetFormula(QString* text) override;
    ReaderResult SetFormula(const QString& text) override;
    ReaderResult Recalc() override;
    ReaderResult GetLastError(QString* text) override;
    ReaderResult Save() override;
    ReaderResult CloseFile() override;
    ReaderResult InsertRows(int pos, int count) override;
    ReaderResult GetVarLines(int* lines) override;
    ReaderResult SetVarArea(int kind, int start, int extent) override;

    // ours: the next OpenRep8File opens the report for reading only: no
    // writer's lock (a writer of the report is never kept out by it), and
    // Save is refused with the reason.
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool ReadOnly() const { return m_readOnly; }

    // For hosts in this process.
    bool IsOpen() const { return m_report != nullptr; }
    QString FileName() const;

private:
    ReaderResult fail(const QString& text);
    // "<method>: <engine status text> (status N)".
    ReaderResult failStatus(const char* method, uint16_t status);
    // failStatus, naming the page whose variable lines a change of the table
    // would cost when that was why.
    ReaderResult failTable(const char* method, uint16_t status);
    // Checks shared by the methods; an empty text when the check passes.
    QString needOpen() const;
    QString needFormatState(const char* method) const;
    QString needDataState(const char* method) const;
    QString needCurrentPage(const char* method) const;
    QString needCell(int row, int col) const;

    ReaderResult readCell(const char* method, int row, int col, QVariant* value);
    // pos 0 appends.
    ReaderResult insertRows(const char* method, int pos, int count);
    // Data state with a variable area: the row methods act on its lines.
    bool onVarLines() const;
    ReaderResult varLinesDone(const char* method, uint16_t status, const QString& why);
    void closeReport();

    std::unique_ptr<CReportHandle> m_report;
    QString m_langId;
    // Why the open report cannot be saved (opened for reading because
    // another writer holds it or the file is read-only); "" when it can.
    QString m_notWritable;
    bool m_readOnly = false;
    int m_curRow = 1;
    int m_curCol = 1;
    // The page that was current when format state began.
    int m_pageBeforeDesign = 0;
    QString m_lastError;
};

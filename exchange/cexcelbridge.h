#pragma once
// The bridge to a workbook server: starts it hidden, creates or opens a
// workbook file, adds and names worksheets, writes report pages into them,
// saves, closes and quits. The server is the in-process workbook engine
// (exchange/workbook_model.h); the bridge keeps the call sequence and the
// error conventions of an automation client, so every failing call raises
// an XlError and the operations decide which of them to catch.

#include <QString>
#include <memory>
#include <optional>

#include "exchange/workbook_model.h"

class CReportHandle;

class CExcelBridge {
public:
    CExcelBridge();
    virtual ~CExcelBridge();
    CExcelBridge(const CExcelBridge&) = delete;
    CExcelBridge& operator=(const CExcelBridge&) = delete;

    // 1 on success, 0 when no server could be started (the error printed).
    int StartExcel();
    // Creates a new workbook file at path and opens it. Always 1; errors
    // pass to the caller as XlError.
    int CreateWorkbookFile(QString path);
    void OpenWorkbookFile(QString path);
    // Adds a worksheet named name and makes it current. With first set the
    // default sheets of a new workbook are removed, leaving only this one.
    // Always 1; errors pass to the caller.
    int AddWorksheet(QString name, int first);
    // Writes one page (from 1) of the report into the current worksheet.
    // A failure is printed and shown to the user and ends the page where it
    // happened; the result is non-zero all the same, so the callers go on.
    int ExportPage(CReportHandle* report, int page);
    // Writes keyword slot 0..5 of the page into its keyword cell.
    void ExportKeywordCell(CReportHandle* report, int slot, QString label, int numeric,
                           int labelFirst, int page);
    // Saves in place. Always 1; errors pass to the caller.
    int SaveWorkbook();
    void CloseWorkbook();
    // Quits the server; an error is printed, not raised.
    void QuitExcel();

    // The objects the bridge holds, for its callers' checks.
    qor::XlApplication* application() const { return m_application.get(); }
    qor::XlWorkbook* workbook() const { return m_workbook; }
    qor::XlWorksheet* worksheet() const { return m_worksheet; }

private:
    qor::XlWorksheet* activeSheet();  // ActiveSheet, or kXlPointer
    void exportPageCells(CReportHandle* report, int page);

    CReportHandle* m_report = nullptr;  // the report an import reads into
    int m_sheetChoiceMade = 0;
    qor::XlWorksheet* m_worksheet = nullptr;
    qor::XlWorkbook* m_sheets = nullptr;  // the workbook whose sheets are reached
    qor::XlWorkbook* m_workbook = nullptr;
    std::unique_ptr<qor::XlApplication> m_application;
    qor::XlApplication* m_workbooks = nullptr;
};

// Prints a failed call to standard output: a header line, then code, its
// meaning, source and description, each after a bell and a tab.
void DumpComError(const qor::XlError& e);

// Border values of a report line code 0..7: the LineStyle goes to
// *lineStyle; the Weight is returned, none where the weight is left as it is.
std::optional<int> LineCodeToExcelBorder(int lineCode, int* lineStyle);

#pragma once
// The bridge to a workbook server: starts it hidden, creates or opens a
// workbook file, adds and names worksheets, writes report pages into them,
// saves, closes and quits. The server is the in-process workbook engine
// (exchange/workbook_model.h); the bridge keeps the call sequence and the
// error conventions of an automation client, so every failing call raises
// an XlError and the operations decide which of them to catch.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "exchange/excelimport.h"
#include "exchange/workbook_model.h"

class CReportHandle;

namespace qor {

// The fields of the sheet dialog that an import reads: the caller sets the
// sheet count and lets the user choose before the first import call.
struct ImportSheetDialog {
    enum Choice { kOpenAll = 1, kOpenOne = 2 };
    int sheetCount = 0;
    int choice = 0;  // unset until the user chooses
    int sheetNumber = 0;
};
}  // namespace qor

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
    // A new workbook with no file yet, for a caller that writes the sheets
    // out itself as it goes. Errors pass to the caller.
    void NewWorkbook();
    // Adds a worksheet named name and makes it current. With first set the
    // default sheets of a new workbook are removed, leaving only this one.
    // Always 1; errors pass to the caller.
    int AddWorksheet(QString name, int first);
    // Writes one page (from 1) of the report into the current worksheet.
    // A failure is printed and shown to the user and ends the page where it
    // happened; the result is non-zero all the same, so the callers go on,
    // but the page is counted in PagesFailed and the export as a whole is
    // not reported as done.
    int ExportPage(CReportHandle* report, int page);
    // Writes one page as ExportPage does, into sheet index0 of out, the
    // current worksheet holding only the rows not yet written: a large page
    // goes out in bands of rows and never sits in memory whole. Failures of
    // the page are handled as ExportPage handles them, and what was made
    // of the page is written all the same; errors of out pass to the
    // caller. The worksheet is empty afterwards.
    int ExportPageTo(CReportHandle* report, int page, qor::XlStreamWriter& out, int index0);
    // Pages whose ExportPage failed on this bridge.
    int PagesFailed() const { return m_pagesFailed; }
    // Reads the open workbook into the report: the first call on a bridge
    // reads the format of one sheet, every later call the values (all
    // sheets into pages of the same number, or the chosen sheet into page
    // 1). 1, or 0 when a page cannot be added. path is not read. Errors of
    // the sheet calls pass to the caller.
    int ImportWorkbook(QString path, CReportHandle* report);
    // Sheet from 1. Always 1: a failure is printed and shown, and what was
    // read so far stays; it is counted in SheetsFailed.
    int ImportSheetFormat(int sheet);
    // Reads the current worksheet into page (from 1), adding pages up to
    // it. 1, or 0 when a page cannot be added; other failures as above.
    int ImportSheetData(int page);
    // Format and value passes that failed on this bridge: an import with
    // any is no finished import.
    int SheetsFailed() const { return m_sheetsFailed; }
    qor::ImportSheetDialog& SheetDialog() { return m_sheetDialog; }
    // The cells with values that the value calls found beyond the
    // report's table, a sheet an entry.
    const QList<qor::WorkbookCellsLeftOut>& LeftOutCells() const { return m_leftOut; }
    // Told of pages the import adds; none by default.
    void SetImportHost(qor::IWorkbookImportHost* host) { m_importHost = host; }

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
    // rowsFinal, when given, is told at the start of each row that the
    // rows before it are done; the keyword cells are then left to it.
    void exportPageCells(CReportHandle* report, int page,
                         const std::function<void(int lastRow)>* rowsFinal = nullptr);
    void importFormatCells(int sheet);
    void importDataCells(int page);

    CReportHandle* m_report = nullptr;  // the report an import reads into
    int m_sheetChoiceMade = 0;
    int m_pagesFailed = 0;
    int m_sheetsFailed = 0;
    qor::ImportSheetDialog m_sheetDialog;
    qor::IWorkbookImportHost* m_importHost = nullptr;
    QList<qor::WorkbookCellsLeftOut> m_leftOut;
    qor::XlWorksheet* m_worksheet = nullptr;
    qor::XlWorkbook* m_sheets = nullptr;  // the workbook whose sheets are reached
    qor::XlWorkbook* m_workbook = nullptr;
    std::unique_ptr<qor::XlApplication> m_application;
    qor::XlApplication* m_workbooks = nullptr;
    // The report cells' kinds as the value passes read them: every sheet
    // goes into the same table, so each is asked for once (kKindUnread
    // until then; kKindCovered for a cell a combined area covers). The
    // format pass empties it.
    static constexpr int8_t kKindUnread = -2;
    static constexpr int8_t kKindCovered = -3;
    std::vector<int8_t> m_kinds;
    int m_kindCols = 0;
};

// Prints a failed call to standard output: a header line, then code, its
// meaning, source and description, each after a bell and a tab.
void DumpComError(const qor::XlError& e);

// Border values of a report line code 0..7: the LineStyle goes to
// *lineStyle; the Weight is returned, none where the weight is left as it is.
std::optional<int> LineCodeToExcelBorder(int lineCode, int* lineStyle);

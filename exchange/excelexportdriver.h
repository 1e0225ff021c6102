#pragma once
// Saving a whole report as an Excel workbook, one worksheet per page.

#include <QString>

class CReportHandle;

// Writes every page of the report into a new workbook at path (a file
// there is replaced): the worksheets "第1页" .. "第n页" in page order, each
// with the page's values and formats. The pages are written from the last
// to the first and the workbook is saved after each. 1 on success; 0 when
// no workbook server can be started (the user is told), when there is no
// open report, or when a workbook call fails (the failure is printed and
// handed to TraceMessage; the pages saved until then stay in the file),
// and 0 too when a page failed while the others were written (they stay).
// *error, when given, says why on 0.
int ExportReportToExcel(CReportHandle* report, const QString& path, QString* error = nullptr);

#pragma once
// Writing report pages into a workbook file through CExcelBridge.

#include <QString>

class CReportHandle;

// Writes page (from 1) of the report as the one worksheet "第n页" of a new
// workbook at path (a file there is replaced). 1 when the workbook was
// written; 0 for a page outside 1..page count or any failure, the failure
// printed and handed to TraceMessage. A page whose cells could not all be
// written is still saved (the user was told).
int SaveReportAsExcel(CReportHandle* report, QString path, int page);

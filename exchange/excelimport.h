#pragma once
// Reading a workbook into report pages through CExcelBridge: the format of
// one worksheet into the report table, then the values of the worksheets
// into pages. The bridge's own operations are declared in cexcelbridge.h.

#include <QString>
#include <cstdint>

class CReportHandle;

// The report's codes of the workbook's values (the export's tables read
// backwards). Each gives 0 for a value it does not know.
int LineCodeFromExcelBorder(int16_t lineStyle, int16_t weight);
int FontIndexFromName(const QString& name);
int FontSizeIndexFromPoints(double points);
int FontStyleFromExcel(int16_t bold, int16_t italic, int32_t underline);
int ColourIndexFromExcel(double colour);

namespace qor {

// What the importing caller does around the bridge: the sheet dialog and
// the views of the report.
class IWorkbookImportHost {
public:
    virtual ~IWorkbookImportHost() = default;
    // For a workbook of more than one sheet, before anything is read:
    // choice ImportSheetDialog::kOpenAll (sheetNumber is the sheet whose
    // layout becomes the format) or kOpenOne (sheetNumber is the only
    // sheet read), sheetNumber from 1. False when the user cancels.
    virtual bool ChooseSheets(int sheetCount, int* choice, int* sheetNumber) = 0;
    // The format has been read; the report's views may follow it.
    virtual void FormatRead(CReportHandle*) {}
    // The import added page to the report.
    virtual void PageAdded(int) {}
};

// No one to ask: every sheet is read, the format from the first.
class DefaultWorkbookImportHost : public IWorkbookImportHost {
public:
    bool ChooseSheets(int sheetCount, int* choice, int* sheetNumber) override;
};

// Reads the workbook at path into report (open, in format state, as a new
// report is): the format pass, the report into data state, the value pass.
// host may be null (the default). 1 on success; 0 with *error when the
// workbook cannot be read, the user cancels or a page cannot be added.
int ImportExcelWorkbook(CReportHandle* report, const QString& path, IWorkbookImportHost* host,
                        QString* error = nullptr);

}  // namespace qor

#pragma once
// Reading a workbook into report pages through CExcelBridge: the format of
// one worksheet into the report table, then the values of the worksheets
// into pages. The bridge's own operations are declared in cexcelbridge.h.

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

class CReportHandle;

// The report's codes of the workbook's values (the export's tables read
// backwards). Each gives 0 for a value it does not know.
int LineCodeFromExcelBorder(int16_t lineStyle, int16_t weight);
int FontIndexFromName(const QString& name);
int FontSizeIndexFromPoints(double points);
int FontStyleFromExcel(int16_t bold, int16_t italic, int32_t underline);
int ColourIndexFromExcel(double colour);

namespace qor {

// Cells of one worksheet that hold a value but lie beyond the report's
// table (which grows to the worksheet's used range, but never beyond 9,999
// rows and 255 columns): they are not imported. Cells holding only a style
// are not counted. Or (TextInNumberCell) texts that met a number cell of
// the report and read as no number: those cells stay empty. Or (Formula)
// cells holding formulas: a report cell takes the result the file kept
// (none leaves it empty), never the formula. Or (Rounded) numbers with
// more decimals than the report's seven, which come in rounded; (TextCut)
// texts longer than a cell holds, which come in cut; (UnderMerge) values
// under a merged area other than in its first cell, which the report
// would hide and are not imported.
struct WorkbookCellsLeftOut {
    enum Reason {
        BeyondTable,
        TextInNumberCell,
        NotAWorksheet,
        Formula,
        Rounded,
        TextCut,
        UnderMerge,
        Comment,  // a cell's comment, which has no place in a report
        RoundedToShown,  // numbers of more decimals than their cell shows
        Undecoded        // texts whose bytes are no character of the file's code page
    } reason = BeyondTable;
    QString sheet;         // the worksheet's name
    QString part;          // NotAWorksheet: the part the sheet names; Undecoded: the loss as named
    int row = 0, col = 0;  // the first such cell, row by row, from 1
    qint64 count = 0;
    int tableRows = 0, tableCols = 0;  // the table they lie beyond
    QString firstCell() const;         // "XFD1048576"
    bool operator==(const WorkbookCellsLeftOut&) const = default;
};

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
    // The values of the worksheet named name went into page.
    virtual void SheetRead(int /*page*/, const QString& /*name*/) {}
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
// 2 when the rest was imported but cells with values were left out (beyond
// the table, or texts in number cells that read as no number) or a sheet
// of a damaged file names a part that is no worksheet (its page stays
// empty): the user is told through a message box, and *leftOut lists them
// by sheet. When no sheet read is a worksheet, 0 with the part named.
int ImportExcelWorkbook(CReportHandle* report, const QString& path, IWorkbookImportHost* host,
                        QString* error = nullptr, QList<WorkbookCellsLeftOut>* leftOut = nullptr);

// The decimals a number format shows of a value it shows times 100 (a "%"
// outside quotes and escapes: "0.0%" gives 1); nullopt for any other format.
std::optional<int> PercentFormatDecimals(const QString& format);

// The text telling the user which cells were left out, one line a sheet.
QString LeftOutCellsMessage(const QList<WorkbookCellsLeftOut>& leftOut);

// A report numbers its pages: the name of a worksheet read into page is
// lost unless it is the page's own name ("第N页", as the workbook export
// names it) or ownName (what a writer of ours names that page's sheet).
// A lost name goes to *lost.
void NoteLostSheetName(int page, const QString& name, QStringList* lost, const QString& ownName = QString());
// The line naming the lost worksheet names; empty for none.
QString SheetNamesNotKeptMessage(const QStringList& lost);

// True when a combined area of the report covers the shown cell (any of its
// cells but the first): a value there is hidden yet counts in totals.
bool CellUnderCombinedArea(const CReportHandle& report, int row, int col);
// v as the report cell holds it: rounded to the decimals the cell shows.
double RoundedToShownDecimals(const CReportHandle* report, int row, int col, double v);

}  // namespace qor

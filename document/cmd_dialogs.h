#pragma once
// The dialogs of the document's commands as the commands see them: each
// dialog's members as a plain struct, asked through the dialog registry
// (document/dialogregistry.h). A command presets the members from the
// report, asks, and applies what comes back (nothing when the dialog was
// cancelled). The desktop application registers its dialogs; without them
// every dialog answers "cancelled", so the document runs and is tested
// headless.
//
// Rows, columns and areas in the members are counted as the dialogs count
// them: areas from 0, everything a user types from 1.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

#include "document/dialogregistry.h"

class CQorsDoc;

namespace qor {

// Dialog results besides the members.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// An area as the dialogs keep it: first column, first row, last column,
// last row, from 0.
struct DlgArea {
    int32_t firstCol = 0;
    int32_t firstRow = 0;
    int32_t lastCol = 0;
    int32_t lastRow = 0;
    bool operator==(const DlgArea&) const = default;
};

// Keyword values found on the report's pages, for the value lists of the
// find, condition and consolidation dialogs. Each list holds its values
// only (no end entry) and at most the dialogs' number of entries: unit
// names and codes 10, years 16, quarters 4, months 12, days 31, custom
// keyword values 100.
struct KeywordValueLists {
    QStringList unitNames;
    QStringList unitCodes;
    QStringList years;
    QStringList quarters;
    QStringList months;
    QStringList days;
    QStringList custom;
    bool operator==(const KeywordValueLists&) const = default;
};

// Placed-keyword flags in slot order: unit name, unit code, year, quarter,
// month, day, custom keyword (1 when the keyword has a cell).
using KeywordFlags = std::array<int16_t, 7>;

struct DefineFormulaDlgMembers {
    QString formula;  // at most 1,024 characters
    DlgArea area;
};

struct AuditFormulaDlgMembers {
    QString text;
};

struct LocateDlgMembers {
    int32_t page = 1;  // from 1
    int32_t row = 1;   // from 1
    QString columnText;
    int32_t column = 1;  // from 1
};

struct FindDlgMembers {
    int32_t reserved = 0;
    int32_t varKind = 0;  // 0 none, 1 row area, 2 column area
    int32_t varSize = 0;  // columns (row area) or rows (column area) offered, at most 20
    std::array<int16_t, 6> keywordFlags{};  // unit name .. day
    KeywordValueLists values;
    int32_t scope = -1;  // 0 pages, 1 variable area
    int32_t join = -1;   // 0 and, 1 or, -1 no second condition
};

struct PageSortDlgMembers {
    std::array<int32_t, 3> orders{0, 0, 0};  // 0 ascending, 1 descending, -1 key not given
    int32_t pageMode = 1;                    // 1 pages, 0 the variable area
    int32_t rowArea = 1;                     // variable area: 1 rows vary, 0 columns vary
    // Pages: keyword index (0 unit code, 1 unit name, 2 year, 3 quarter, 4
    // month, 5 day, 6 custom) or -1 for a cell key. Variable area: the
    // column (row area) or row (column area) from 1.
    std::array<int32_t, 3> keys{-1, -1, -1};
    struct Cell {
        int32_t col = 0;  // from 1
        int32_t row = 0;
        bool operator==(const Cell&) const = default;
    };
    std::array<Cell, 3> cells{};
};

// -1 in a member: the selected cells differ (or nothing chosen); such a
// member is left alone.
struct CellStyleDlgMembers {
    int32_t wordWrap = 0;
    int32_t hAlign = 0;  // 1 left, 2 centre, 3 right
    int32_t vAlign = 0;  // 1 top, 2 centre, 3 bottom
    int32_t font = 0;
    int32_t fontStyle = 0;
    int32_t fontSize = 0;
    int32_t foreColor = 0;
    int32_t backColor = 0;
    int32_t pattern = 0;
};

struct TableSizeDlgMembers {
    int32_t rows = 0;  // the report's stored rows and columns
    int32_t cols = 0;
};

struct RowHeightDlgMembers {
    int32_t heightPoints = 0;
    int32_t heightMm = 0;  // 0..160
    DlgArea area;
};

struct ColWidthDlgMembers {
    int32_t widthPoints = 0;
    int32_t widthMm = 0;  // 0..220
    DlgArea area;
};

// The dialog's buttons.
constexpr int kCombineWhole = kIdOk;
constexpr int kCombineByRows = 1029;
constexpr int kCombineByCols = 1030;
constexpr int kCombineUndo = 1028;

struct CombineCellsDlgMembers {
    DlgArea area;
    int32_t result = kIdCancel;  // the button that closed the dialog
};

struct SetVarAreaDlgMembers {
    int32_t count = 1;
    int32_t kind = 0;  // after OK: 1 rows vary, 2 columns vary
};

struct ApplyFormatDlgMembers {
    int32_t chosenFormat = 0;  // table style 0..10
    int32_t pictureSet = 1;
};

struct DrawLineDlgMembers {
    int32_t lineStyle = 1;  // 0..7
    int32_t lineType = 0;   // 0 grid .. 5 diagonal bottom-left to top-right
};

struct PageSetupDlgMembers {
    int32_t headerEnabled = 0;
    int32_t footerEnabled = 0;
    int32_t leftMm = 0;  // 0..100
    int32_t rightMm = 0;
    float scale = 0.0f;      // 0.3..3.0
    int32_t headerLast = 1;  // rows or columns from 0
    int32_t footerFirst = 1;
    int32_t footerLast = 1;
    int32_t topMm = 0;
    int32_t bottomMm = 0;
    int32_t rangeKind = -1;  // 0 rows, 1 columns
    int32_t headerFirst = 1;
    // The last row and column (from 0, variable area expanded) the ranges
    // are checked against.
    int32_t tableLastRow = 0;
    int32_t tableLastCol = 0;
};

// Insert-count modes.
enum InsertCountMode : int32_t {
    kAppendRows = 1,
    kAppendCols = 2,
    kAppendPages = 3,
    kInsertRows = 11,
    kInsertCols = 12,
    kInsertPages = 13,
};

struct InsertCountDlgMembers {
    int32_t count = 1;
    int32_t mode = 0;
    // How many fit now, preset from the report: the dialog offers and
    // takes 1 to it. 0: the mode's own most.
    int32_t room = 0;
};

struct SwapDlgMembers {
    QString source;  // "1,3" (column letters for columns)
    QString target;
    int32_t mode = 0;  // 1 rows, 2 columns, 3 pages
};

struct DefineCondDlgMembers {
    std::array<int16_t, 6> keywordFlags{};
    KeywordValueLists values;
    int32_t joint = -1;  // 1 and, 0 or, -1 none
    QString condition;
};

struct DeleteDlgMembers {
    QString list;       // "1,8,14"
    QString condition;  // pages only: a condition over the keywords
    int32_t mode = 0;   // 1 rows, 2 columns, 3 pages
    std::array<int16_t, 6> keywordFlags{};
    KeywordValueLists values;
    // What the list may name, preset from the report: 1 to total (the
    // table's rows or columns, the pages) or, in data state, the area's
    // total lines in use, shown from `first` on (linesKind the area's kind).
    // total 0: only the list's form is checked.
    int32_t total = 0;
    int32_t first = 1;
    int32_t linesKind = 0;
};

// Set-keyword kinds after OK.
enum KeywordKind : int32_t {
    kKeywordUnitName = 1,
    kKeywordUnitCode = 2,
    kKeywordYear = 3,
    kKeywordQuarter = 4,
    kKeywordMonth = 5,
    kKeywordDay = 6,
    kKeywordCustom = 7,
};

struct SetKeywordDlgMembers {
    int32_t customType = 1;  // 1 numeric, 0 character
    int32_t kind = 0;        // radio index 0..6 before, kind 1..7 after OK
    QString customName;
    QString customTypeText;
};

struct CancelKeywordDlgMembers {
    std::array<int16_t, 7> flags{};   // slot order; 1 = remove
    std::array<int16_t, 7> enable{};  // 1 = the keyword is placed
};

struct EnterKeywordDlgMembers {
    int32_t year = 0;
    int32_t quarter = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t customNumber = 0;
    QString unitName;
    QString unitNumber;
    QString customText;
    // The dialog's order.
    int16_t enableYear = 0;
    int16_t enableQuarter = 0;
    int16_t enableDay = 0;
    int16_t enableMonth = 0;
    int16_t enableUnitName = 0;
    int16_t enableUnitNumber = 0;
    int16_t enableCustom = 0;
    int32_t customNumeric = 1;
};

struct KeywordOffsetDlgMembers {
    std::array<int32_t, 7> offsets{};  // slot order, -300..300
    // The dialog's order.
    int16_t enableYear = 0;
    int16_t enableQuarter = 0;
    int16_t enableMonth = 0;
    int16_t enableDay = 0;
    int16_t enableUnitName = 0;
    int16_t enableUnitNumber = 0;
    int16_t enableCustom = 0;
};

struct ResetVarAreaDlgMembers {
    int32_t size = 1;
};

struct RoundBalanceDlgMembers {
    QString tableName;
    QString range;
    int32_t digits = 1;
    QString formula;
};

struct FormatLockDlgMembers {
    QString newPassword;
    QString confirmation;
};

struct FormatPasswordDlgMembers {
    QString typed;
};

struct SetFilePasswordDlgMembers {
    QString confirmation;
    QString newPassword;
    QString typedOld;
    QString current;  // in: the stored password; out: the new one ("" none)
    int32_t stage = 0;
};

struct ReportTemplateDlgMembers {
    QString chosenPath;
    int32_t industry = 0;
    int32_t templateIndex = 0;
};

struct MultiPivotDlgMembers {
    QString areas;   // "A1:C3,E5:G7"
    QString labels;  // "北京,上海,天津"
};

// The sheets of a workbook being opened: all of them (choice 1, the format
// from sheetNumber) or only sheetNumber (choice 2), from 1.
struct SetPageNoDlgMembers {
    int32_t sheetCount = 0;
    int32_t choice = 1;
    int32_t sheetNumber = 1;
};

struct ExportDlgMembers {
    QString fileName;
    QString targetDir;
};

struct TabHuiZongWizardMembers {
    int32_t toNewReport = 0;
    QString newReportName;
    int32_t varKind = 0;
    int32_t varExtent = 0;  // columns (row area) or rows (column area), at most 20
    KeywordFlags keywordFlags{};
    KeywordValueLists values;
    QString pageCondition;
    int32_t byPosition = 1;  // 0: by the key value
    QString keyValue;        // "V_A"
};

struct VHuiZongWizardMembers {
    int32_t varKind = 0;
    int32_t varExtent = 0;
    KeywordFlags keywordFlags{};
    KeywordValueLists values;
    QString pageCondition;
    QString varCondition;
};

// The dialogs that act on the document themselves and give no members
// back, asked like the others (an answer is OK, nothing is Cancel).

// The find dialog runs its FIND, GFIND and CONTINUE commands itself
// (RunFindCommand).
struct FindRequest {
    CQorsDoc* doc = nullptr;
    FindDlgMembers members;
};
// The formula-list dialog reads the document's formula lists itself.
struct FormulaListRequest {
    CQorsDoc* doc = nullptr;
};
// The custom-template wizard writes the template list itself.
struct ModelSheetRequest {};
// The audit-office mapping dialog writes its mapping files itself.
struct AuditMappingRequest {
    CQorsDoc* doc = nullptr;
};

// Makes the documents' format-password question go through the dialog
// registered for FormatPasswordDlgMembers when it is asked.
void UseFormatPasswordDlg();

}  // namespace qor

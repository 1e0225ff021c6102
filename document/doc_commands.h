#pragma once
// The document's menu commands by id: which dialog each runs, the state it
// needs, and the reasons a menu shows for a command that is off. CQorsDoc
// answers the frame's command router with this table (doc_commands.cpp).

#include <QString>
#include <functional>

class CQorsDoc;

namespace qor::doccmd {

// Commands whose ids the system fixed.
constexpr int kCmdCellFormula = 32801;
constexpr int kCmdAuditFormulas = 32802;
constexpr int kCmdFormulaList = 32994;
constexpr int kCmdRowHeight = 32795;
constexpr int kCmdColWidth = 32796;
constexpr int kCmdCombineCells = 32800;
constexpr int kCmdApplyFormat = 32807;
constexpr int kCmdInsertChart = 32850;
constexpr int kCmdSortPages = 32981;
constexpr int kCmdSortVarArea = 32982;
constexpr int kCmdLocate = 33082;
constexpr int kCmdFind = 33208;
constexpr int kCmdDrillDown = 33308;
constexpr int kCmdAuditMapping = 33339;
// The cell menu's fill submenu and the format bar's decimal buttons.
constexpr int kCmdFillDown = 32845;
constexpr int kCmdFillRight = 32779;
constexpr int kCmdFillUp = 32780;
constexpr int kCmdFillLeft = 32781;
constexpr int kCmdMoreDecimals = 33283;
constexpr int kCmdFewerDecimals = 33284;
// Sent by the main frame once the pending exchange path names a
// spreadsheet XML workbook: reads it into this (new) report.
constexpr int kCmdImportSpreadsheetXml = 1285;

// Commands that had no id of their own: ours, from 34001.
constexpr int kCmdInsertRows = 34001;
constexpr int kCmdInsertCols = 34002;
constexpr int kCmdInsertPages = 34003;
constexpr int kCmdAppendRows = 34004;
constexpr int kCmdAppendCols = 34005;
constexpr int kCmdAppendPages = 34006;
constexpr int kCmdSwapRows = 34007;
constexpr int kCmdSwapCols = 34008;
constexpr int kCmdSwapPages = 34009;
constexpr int kCmdDeleteRows = 34010;
constexpr int kCmdDeleteCols = 34011;
constexpr int kCmdDeletePages = 34012;
constexpr int kCmdCellStyle = 34013;
constexpr int kCmdDrawLines = 34014;
constexpr int kCmdSetVarArea = 34015;
constexpr int kCmdResetVarArea = 34016;
constexpr int kCmdSetKeyword = 34017;
constexpr int kCmdCancelKeyword = 34018;
constexpr int kCmdEnterKeyword = 34019;
constexpr int kCmdKeywordOffset = 34020;
constexpr int kCmdPageSetup = 34021;
constexpr int kCmdRoundBalance = 34022;
constexpr int kCmdFormatLock = 34023;
constexpr int kCmdSetFilePassword = 34024;
constexpr int kCmdReportTemplate = 34025;
constexpr int kCmdCustomTemplate = 34026;
constexpr int kCmdMultiPivot = 34027;
constexpr int kCmdPageConsolidation = 34028;
constexpr int kCmdVarAreaConsolidation = 34029;
// Ours: the report's cells into a text file (导出报表).
constexpr int kCmdExportText = 34030;

// The reasons a command is off, as the status line shows them.
QString ReasonNoReport();
QString ReasonFormatState();
QString ReasonDataState();
QString ReasonNoDialog();
QString ReasonNotBuilt();
// Off with the reason of a command whose work does not exist yet here.
QString ReasonNoCounterpart();

// The template id of the dialog a document command runs (0: none).
int DialogOfCommand(int id);

// The cell-formula rule, shared with the formula bar: a report in format
// state whose current cell lies outside every combined area and is not
// the first line of the variable area. *reason says why not.
bool CellFormulaAllowed(const CQorsDoc& doc, QString* reason = nullptr);

// The drill-down to the detail ledger belongs to the financial interfaces,
// which install it at start-up; while nothing is installed the command is
// off as not built.
struct LedgerDrillHook {
    // True when the (upper-cased) formula is a chain of ledger calls.
    std::function<bool(const QString& formula)> accepts;
    // Opens the ledger for the document's current cell.
    std::function<void(CQorsDoc&)> run;
};
// Installs the hook and answers the one it replaces.
LedgerDrillHook SetLedgerDrillHook(LedgerDrillHook hook);

}  // namespace qor::doccmd

#pragma once
// The document's menu commands by id: which dialog each runs, the state it
// needs, and the reasons a menu shows for a command that is off. CQorsDoc
// answers the frame's command router with this table (doc_commands.cpp).

#include <QString>
#include <functional>

#include "resources/commandids.h"

class CQorsDoc;

namespace qor::doccmd {

// Commands whose ids the system fixed.
using qor::cmd_ids::kCmdCellFormula;
using qor::cmd_ids::kCmdAuditFormulas;
using qor::cmd_ids::kCmdFormulaList;
using qor::cmd_ids::kCmdRowHeight;
using qor::cmd_ids::kCmdColWidth;
using qor::cmd_ids::kCmdCombineCells;
using qor::cmd_ids::kCmdApplyFormat;
using qor::cmd_ids::kCmdInsertChart;
using qor::cmd_ids::kCmdSortPages;
using qor::cmd_ids::kCmdSortVarArea;
using qor::cmd_ids::kCmdLocate;
using qor::cmd_ids::kCmdFind;
using qor::cmd_ids::kCmdDrillDown;
using qor::cmd_ids::kCmdAuditMapping;
// The cell menu's fill submenu and the format bar's decimal buttons.
using qor::cmd_ids::kCmdFillDown;
using qor::cmd_ids::kCmdFillRight;
using qor::cmd_ids::kCmdFillUp;
using qor::cmd_ids::kCmdFillLeft;
using qor::cmd_ids::kCmdMoreDecimals;
using qor::cmd_ids::kCmdFewerDecimals;
// Sent by the main frame once the pending exchange path names a
// spreadsheet XML workbook: reads it into this (new) report.
using qor::cmd_ids::kCmdImportSpreadsheetXml;

// Commands that had no id of their own: ours, from 34001.
using qor::cmd_ids::kCmdInsertRows;
using qor::cmd_ids::kCmdInsertCols;
using qor::cmd_ids::kCmdInsertPages;
using qor::cmd_ids::kCmdAppendRows;
using qor::cmd_ids::kCmdAppendCols;
using qor::cmd_ids::kCmdAppendPages;
using qor::cmd_ids::kCmdSwapRows;
using qor::cmd_ids::kCmdSwapCols;
using qor::cmd_ids::kCmdSwapPages;
using qor::cmd_ids::kCmdDeleteRows;
using qor::cmd_ids::kCmdDeleteCols;
using qor::cmd_ids::kCmdDeletePages;
using qor::cmd_ids::kCmdCellStyle;
using qor::cmd_ids::kCmdDrawLines;
using qor::cmd_ids::kCmdSetVarArea;
using qor::cmd_ids::kCmdResetVarArea;
using qor::cmd_ids::kCmdSetKeyword;
using qor::cmd_ids::kCmdCancelKeyword;
using qor::cmd_ids::kCmdEnterKeyword;
using qor::cmd_ids::kCmdKeywordOffset;
using qor::cmd_ids::kCmdPageSetup;
using qor::cmd_ids::kCmdRoundBalance;
using qor::cmd_ids::kCmdFormatLock;
using qor::cmd_ids::kCmdSetFilePassword;
using qor::cmd_ids::kCmdReportTemplate;
using qor::cmd_ids::kCmdCustomTemplate;
using qor::cmd_ids::kCmdMultiPivot;
using qor::cmd_ids::kCmdPageConsolidation;
using qor::cmd_ids::kCmdVarAreaConsolidation;
// Ours: the report's cells into a text file (导出报表).
using qor::cmd_ids::kCmdExportText;

// The reasons a command is off, as the status line shows them.
QString ReasonNoReport();
QString ReasonFormatState();
QString ReasonDataState();
QString ReasonNoDialog();
// Off because no handler in this program does the command's work.
QString ReasonNotBuilt();

// The template id of the dialog a document command runs (0: none).
int DialogOfCommand(int id);

// The cell-formula rule, shared with the formula bar: a report in format
// state whose current cell lies outside every combined area and is not
// the first line of the variable area. *reason says why not.
bool CellFormulaAllowed(const CQorsDoc& doc, QString* reason = nullptr);

// The drill-down to the detail ledger belongs to the financial interfaces,
// which install it at start-up; where none is installed the command stays
// off with ReasonNotBuilt().
struct LedgerDrillHook {
    // True when the (upper-cased) formula is a chain of ledger calls.
    std::function<bool(const QString& formula)> accepts;
    // Opens the ledger for the document's current cell.
    std::function<void(CQorsDoc&)> run;
};
// Installs the hook and answers the one it replaces.
LedgerDrillHook SetLedgerDrillHook(LedgerDrillHook hook);

}  // namespace qor::doccmd

#pragma once
// The document's menu commands (CQorsDoc answers the frame's command router
// through its table in doc_commands.cpp), and the checks the rules of every
// target working on a report share: the reasons a menu shows for a command
// that is off.

#include <QString>
#include <functional>

#include "document/dialogregistry.h"

class CQorsDoc;

namespace qor::doccmd {

// The reasons a command is off, as the status line shows them.
QString ReasonNoReport();
QString ReasonFormatState();
QString ReasonDataState();
QString ReasonNoDialog();
// Off because no handler in this program does the command's work.
QString ReasonNotBuilt();

// Checks for the rules of commands on a report (the document's, the
// view's): each answers why the command is off, empty when it lets the
// command run. A report's window without a document counts as no report.
QString NeedsReport(const CQorsDoc* doc);
// An open report in format state (data state).
QString NeedsFormatState(const CQorsDoc* doc);
QString NeedsDataState(const CQorsDoc* doc);
// The dialog of members type M registered: whether a command that runs it
// is on follows from the dialog itself.
template <class M>
QString NeedsDialog() {
    return HasDialog<M>() ? QString() : ReasonNoDialog();
}

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

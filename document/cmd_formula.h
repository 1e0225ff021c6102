#pragma once
// Formula commands of the document: the cell formula (define-formula
// dialog), the formula list and the audit formulas.

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

// Area = the selection, text = the formula of its top-left cell.
DefineFormulaDlgMembers PresetDefineFormulaDlg(const CQorsDoc& doc);
// Sets the formula on area (the selection when the command began): table
// texts in it become numeric cells, then the report stores the formula.
// 0 stored; 1200 and 1220 are reported (62511, 62512) and still count as
// a change; any other status is reported with 62513 and returned for the
// dialog to run again.
int ApplyDefineFormulaDlg(CQorsDoc& doc, const DefineFormulaDlgMembers& m, const DlgArea& area);
// The cell-formula command ("=", a double click, or the menu): preset,
// dialog, apply, and the dialog again with the user's text after 62513.
// The last status; -1 when cancelled.
int OnCellFormula(CQorsDoc& doc);

void OnFormulaList(CQorsDoc& doc);

AuditFormulaDlgMembers PresetAuditFormulaDlg(const CQorsDoc& doc);
// The text gets a final CR LF when it lacks one (an empty text removes the
// audit formulas); 62707 when the report refuses it.
int ApplyAuditFormulaDlg(CQorsDoc& doc, const AuditFormulaDlgMembers& m);
int OnAuditFormulas(CQorsDoc& doc);

}  // namespace qor

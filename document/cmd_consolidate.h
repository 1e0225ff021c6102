#pragma once
// Consolidation commands of the document (the page and the variable-area
// consolidation wizards, run as TOTAL and GTOTAL command lines) and the
// audit-office mapping command.

#include <QString>

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

// Keyword flags and values (at most 50 pages), the variable area's kind
// and line count; into this report, by position. Sets CustomKeywordName.
TabHuiZongWizardMembers PresetTabHuiZongWizard(const CQorsDoc& doc);
// "TOTAL ", then TO "name" and a blank for a new report, " KEY " and the
// key value when consolidating by key value over a variable area, " FOR "
// and the page condition when there is one.
QString BuildTotalCommand(const TabHuiZongWizardMembers& m);
// Runs the command; after a consolidation into this report its last page
// becomes current. The command's result (0 success); 62938 / 62896 refuse
// a missing report name / key value.
int ApplyTabHuiZongWizard(CQorsDoc& doc, const TabHuiZongWizardMembers& m);
int OnPageConsolidation(CQorsDoc& doc);

VHuiZongWizardMembers PresetVHuiZongWizard(const CQorsDoc& doc);
// "GTOTAL " without conditions, else "GTOTAL FOR " + page condition, then
// "; " + variable-area condition when there is one.
QString BuildGTotalCommand(const VHuiZongWizardMembers& m);
int ApplyVHuiZongWizard(CQorsDoc& doc, const VHuiZongWizardMembers& m);
int OnVarAreaConsolidation(CQorsDoc& doc);

// "设置" of the audit-office interface: a report never saved is refused
// with 62776; true when the mapping dialog closed with OK.
bool OnAuditMapping(CQorsDoc& doc);

}  // namespace qor

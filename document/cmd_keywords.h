#pragma once
// Keyword and variable-area commands of the document: set, cancel and
// enter keywords, keyword offsets, the variable area's size and the
// rounding-balance settings.

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

// The custom keyword's name and type; the kind of a keyword already at the
// current cell.
SetKeywordDlgMembers PresetSetKeywordDlg(const CQorsDoc& doc);
// Places keyword kind - 1 at the current cell. For the custom keyword the
// name (at most 14 characters: a longer one is refused with 62897 and
// nothing is stored) and type are stored too.
int ApplySetKeywordDlg(CQorsDoc& doc, const SetKeywordDlgMembers& m);
int OnSetKeyword(CQorsDoc& doc);

// Enabled: the placed keywords.
CancelKeywordDlgMembers PresetCancelKeywordDlg(const CQorsDoc& doc);
int ApplyCancelKeywordDlg(CQorsDoc& doc, const CancelKeywordDlgMembers& m);
int OnCancelKeyword(CQorsDoc& doc);

// The current page's values; enabled: the placed keywords.
EnterKeywordDlgMembers PresetEnterKeywordDlg(const CQorsDoc& doc);
// Stores the enabled values into the current page, then recalculates it.
int ApplyEnterKeywordDlg(CQorsDoc& doc, const EnterKeywordDlgMembers& m);
int OnEnterKeyword(CQorsDoc& doc);

KeywordOffsetDlgMembers PresetKeywordOffsetDlg(const CQorsDoc& doc);
int ApplyKeywordOffsetDlg(CQorsDoc& doc, const KeywordOffsetDlgMembers& m);
int OnKeywordOffset(CQorsDoc& doc);

ResetVarAreaDlgMembers PresetResetVarAreaDlg(const CQorsDoc& doc);
int ApplyResetVarAreaDlg(CQorsDoc& doc, const ResetVarAreaDlgMembers& m);
int OnResetVarArea(CQorsDoc& doc);
// Whether the report has a variable area whose size can be set again;
// else the reason a user reads.
bool ResetVarAreaAllowed(const CQorsDoc& doc, QString* reason);

RoundBalanceDlgMembers PresetRoundBalanceDlg(const CQorsDoc& doc);
// Stores the settings; the ROUND command runs them.
int ApplyRoundBalanceDlg(CQorsDoc& doc, const RoundBalanceDlgMembers& m);
int OnRoundBalance(CQorsDoc& doc);

}  // namespace qor

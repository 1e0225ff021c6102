#pragma once
// What the consolidation wizards' steps decide, without the windows: the
// names the combos offer, the condition text the buttons build, and the
// checks that keep a step from being left. The wizard classes only move
// texts between these functions and their controls.

#include <QString>
#include <QStringList>

#include "document/cmd_dialogs.h"
#include "resources/stringids.h"

namespace qor::consol {

// The most lines a variable area offers as V_ names.
constexpr int kMaxVarLines = 20;

// The operator combos' entries, in their order.
QStringList OperatorEntries();

// The name of a keyword slot (0 unit name .. 5 day, 6 the custom keyword
// whose name is given).
QString KeywordName(int slot, const QString& customName);
// The keyword combo: the names of the placed keywords, in slot order. The
// custom keyword is left out while it has no name.
QStringList KeywordEntries(const KeywordFlags& flags, const QString& customName);
// The value combo for a keyword combo text: the values of the first slot
// whose name matches, at most the list's capacity; nothing for no match.
QStringList KeywordValueEntries(const QString& keyword, const KeywordValueLists& values,
                                const QString& customName);

// The variable area's line names: V_A, V_B .. for a row area (one per
// table column), V_1, V_2 .. for a column area, at most 20; without an
// area the one text saying there is none.
QStringList VarLineEntries(int varKind, int varExtent);
bool HasVarArea(int varKind);

// "并且" and "或者".
QString AppendAnd(const QString& condition);
QString AppendOr(const QString& condition);
// "加入": the term keyword-operator-value appended when all three are
// given, else the condition unchanged. The page conditions quote the unit
// name and code values; the variable-area condition quotes nothing and,
// without an area, has no line to name.
QString AppendPageTerm(const QString& condition, const QString& keyword, const QString& op,
                       const QString& value);
QString AppendVarTerm(const QString& condition, int varKind, const QString& line, const QString& op,
                      const QString& value);

// Leaving the direction step: 0 and the name stored, or the message id
// that keeps the step (a new report without a name).
int LeaveDirectionStep(TabHuiZongWizardMembers* m, bool newReportChosen, const QString& name);
// Leaving the position step (Back, Next or Finish): by key value the key
// combo's text becomes the key; an empty key keeps the step (the message
// id). Without a variable area the consolidation goes by position.
int LeavePositionStep(TabHuiZongWizardMembers* m, const QString& keyText);

}  // namespace qor::consol

#pragma once
// The text work of the define-formula dialog, kept apart from the widgets:
// where a filter clause, a relation clause and a function call go in the
// formula, and the checks of the area and of a filter condition.
//
// A formula is the expression, then optionally " For " and a condition,
// then optionally " Relation K with "file"->K2", always in that order.

#include <QString>
#include <optional>

#include "document/cmd_dialogs.h"
#include "resources/stringids.h"

namespace qor {

// Results of the helper dialogs besides IDOK and IDCANCEL.
constexpr int kIdPrevious = 1028;    // "上一步"
constexpr int kIdNoArguments = 888;  // a function without arguments was chosen

constexpr int kDefineFormulaMaxLength = 1024;
constexpr int kFilterConditionMaxLength = 50;

// The formula with its filter clause set to condition: an old clause
// (" For ", case as written) is replaced, and the clause always stands
// before the relation clause, which is kept.
QString SpliceFilterClause(const QString& formula, const QString& condition);

// The formula with its relation clause set; an old one is replaced
// together with whatever followed it. The filter clause is kept.
QString SpliceRelationClause(const QString& formula, const QString& key, const QString& table,
                             const QString& relatedKey);

// What the function wizard gives back.
struct FuncWizardOutcome {
    int result = kIdCancel;  // IDOK, 888, 1028, IDCANCEL
    QString functionName;    // the function chosen in its list
    QString callText;        // after IDOK: the complete call, as appended
};

// The formula after a wizard run ended with result; nothing when the
// text stays as it was (1028 and other results). IDCANCEL is the caller's
// to act on: it abandons the whole entry.
std::optional<QString> AppendFunctionCall(const QString& formula, const FuncWizardOutcome& out);

// The call text of a statistics function as the area dialogs give it:
// " NAME ( area , filter ) ", the filter part left out when empty.
QString StatisticsCallText(const QString& name, const QString& area, const QString& filter);

// 0 and the area on success, else the message id (62196) and *area
// untouched.
int CheckAreaText(const QString& text, DlgArea* area);
// 0, or 62083 when the condition is empty.
int CheckFilterCondition(const QString& condition);

// "A1" or "A1:B2" for the area.
QString AreaText(const DlgArea& area);

}  // namespace qor

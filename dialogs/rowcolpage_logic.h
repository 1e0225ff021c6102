#pragma once
// What the insert-count, swap, delete and condition dialogs decide, kept
// apart from their widgets so it runs headless.

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

#include "document/cmd_dialogs.h"

namespace qor {

// Caption and label string ids and the highest count of an insert-count
// mode; a mode outside the table has ids 0 and no limit to check.
struct InsertCountModeInfo {
    int captionId = 0;
    int labelId = 0;
    int32_t maximum = 0;  // 0: nothing is checked
};
InsertCountModeInfo InsertCountModeOf(int32_t mode);

// Caption and the two label texts of the swap dialog by mode.
struct SwapModeTexts {
    QString caption;
    QString sourceLabel;
    QString targetLabel;
};
SwapModeTexts SwapTextsOf(int32_t mode);
// Parses both lists (the parser tells the user what is wrong) and refuses
// lists of different lengths with 62102. True when the dialog may close.
bool SwapListsAccepted(const SwapDlgMembers& m);

// Caption and label of the delete dialog by mode (empty outside 1..3).
struct DeleteModeTexts {
    QString caption;
    QString label;
};
DeleteModeTexts DeleteTextsOf(int32_t mode);
// An empty list passes (pages may go by condition alone); any other is
// read as numbers (columns by number here, as the delete command reads
// them) against what the members say there is, as the command checks it.
// True when the dialog may close.
bool DeleteListAccepted(const DeleteDlgMembers& m);

// Keyword names in the order the condition dialog offers them.
QStringList ConditionKeywordNames();
// The names of the keywords the report defines (flags in the same order).
QStringList DefinedConditionKeywords(const std::array<int16_t, 6>& flags);
// The value list of a keyword by name, up to its end entry ("错误" for a
// text list, "0" for a number list).
QStringList ConditionKeywordValues(const KeywordValueLists& values, const QString& keyword);

struct ConditionTriple {
    QString keyword;
    QString relation;
    QString value;
};
// The joint after clicking "并且" (and, 1) or "或者" (or, 0): the clicked
// one becomes the joint, or, when it was, there is none (-1).
int32_t ToggleJoint(int32_t joint, int32_t clicked);
// keyword + relation + value, the value quoted for unit name and number;
// empty when a part is missing.
QString BuildConditionPart(const ConditionTriple& t);
// The whole condition; empty when the dialog must stay open.
QString BuildCondition(const ConditionTriple& left, int32_t joint, const ConditionTriple& right);

}  // namespace qor

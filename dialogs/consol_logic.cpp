#include "dialogs/consol_logic.h"

#include <algorithm>

#include "document/cmd_support.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor::consol {

namespace {

constexpr int kKeywordIds[6] = {str::kKeywordUnitName, str::kKeywordUnitCode, str::kKeywordYear, str::kKeywordQuarter, str::kKeywordMonth, str::kKeywordDay};

// The wizards' value lists hold this many entries; a longer list would
// only come from a caller that did not cut it.
const QStringList& slotValues(const KeywordValueLists& v, int slot, int* capacity) {
    switch (slot) {
        case 0:
            *capacity = 10;
            return v.unitNames;
        case 1:
            *capacity = 10;
            return v.unitCodes;
        case 2:
            *capacity = 16;
            return v.years;
        case 3:
            *capacity = 4;
            return v.quarters;
        case 4:
            *capacity = 12;
            return v.months;
        case 5:
            *capacity = 31;
            return v.days;
        default:
            *capacity = 100;
            return v.custom;
    }
}

QString appendTerm(const QString& condition, const QString& term) {
    return term.isEmpty() ? condition : condition + term;
}

QString plainTerm(const QString& line, const QString& op, const QString& value) {
    if (line.isEmpty() || op.isEmpty() || value.isEmpty()) return {};
    return line + op + value;
}

}  // namespace

QStringList OperatorEntries() {
    return {QStringLiteral("<"), QStringLiteral("<="), QStringLiteral("<>"),
            QStringLiteral("="), QStringLiteral(">"),  QStringLiteral(">=")};
}

QString KeywordName(int slot, const QString& customName) {
    if (slot >= 0 && slot < 6) return LoadErrorText(kKeywordIds[slot]);
    return slot == 6 ? customName : QString();
}

QStringList KeywordEntries(const KeywordFlags& flags, const QString& customName) {
    QStringList names;
    for (int slot = 0; slot < 7; ++slot) {
        if (flags[size_t(slot)] != 1) continue;
        const QString name = KeywordName(slot, customName);
        // An unnamed custom keyword would be an empty line that builds no
        // condition.
        if (!name.isEmpty()) names << name;
    }
    return names;
}

QStringList KeywordValueEntries(const QString& keyword, const KeywordValueLists& values,
                                const QString& customName) {
    if (keyword.isEmpty()) return {};
    for (int slot = 0; slot < 7; ++slot) {
        if (keyword != KeywordName(slot, customName)) continue;
        int capacity = 0;
        const QStringList& list = slotValues(values, slot, &capacity);
        return list.mid(0, capacity);
    }
    return {};
}

bool HasVarArea(int varKind) { return varKind == 1 || varKind == 2; }

QStringList VarLineEntries(int varKind, int varExtent) {
    if (!HasVarArea(varKind)) return {LoadErrorText(str::kNoVariableArea)};
    const int n = std::clamp(varExtent, 0, kMaxVarLines);
    QStringList names;
    for (int i = 0; i < n; ++i)
        names << QStringLiteral("V_") +
                     (varKind == 1 ? ColumnToLetters(i) : QString::number(i + 1));
    return names;
}

QString AppendAnd(const QString& condition) { return condition + QStringLiteral(" AND "); }
QString AppendOr(const QString& condition) { return condition + QStringLiteral(" OR "); }

QString AppendPageTerm(const QString& condition, const QString& keyword, const QString& op,
                       const QString& value) {
    return appendTerm(condition, ConditionTerm(keyword, op, value));
}

QString AppendVarTerm(const QString& condition, int varKind, const QString& line, const QString& op,
                      const QString& value) {
    // Without an area the combo's one line is the text saying so; a term
    // made of it would only break the command.
    if (!HasVarArea(varKind)) return condition;
    return appendTerm(condition, plainTerm(line, op, value));
}

int LeaveDirectionStep(TabHuiZongWizardMembers* m, bool newReportChosen, const QString& name) {
    m->toNewReport = newReportChosen ? 1 : 0;
    // A name of blanks is no name either: the command would make a report
    // nobody can open by it.
    if (newReportChosen && name.trimmed().isEmpty()) return str::kNoNewReportName;
    m->newReportName = name;
    return 0;
}

int LeavePositionStep(TabHuiZongWizardMembers* m, const QString& keyText) {
    // Without a variable area there is no key to choose; asking for one
    // would keep the user on a step with nothing to pick.
    if (!HasVarArea(m->varKind)) {
        m->byPosition = 1;
        return 0;
    }
    if (m->byPosition == 0) {
        if (keyText.trimmed().isEmpty()) return str::kChooseKeyValue;
        m->keyValue = keyText;
    }
    return 0;
}

}  // namespace qor::consol

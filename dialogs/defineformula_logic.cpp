#include "dialogs/defineformula_logic.h"

#include "engine/textutil.h"
#include "resources/stringids.h"

namespace qor {

namespace {

const QString kForMark = QStringLiteral(" For ");
// Every relation clause starts with " Relation ", so its first letters
// find it.
const QString kRelationMark = QStringLiteral(" Rela");

}  // namespace

QString SpliceFilterClause(const QString& formula, const QString& condition) {
    const qsizetype forAt = formula.indexOf(kForMark);
    const qsizetype relAt = formula.indexOf(kRelationMark);
    const QString relation = relAt >= 0 ? formula.mid(relAt) : QString();
    QString expression;
    if (forAt >= 0)
        expression = formula.left(forAt);
    else if (relAt >= 0)
        expression = formula.left(relAt);
    else
        expression = formula;
    // A relation clause written by hand before the filter clause is part
    // of the expression kept; taking it again as the tail would write it
    // twice. Only a relation clause after the filter clause is the tail.
    QString rest = relation;
    if (forAt >= 0 && relAt >= 0 && relAt < forAt) {
        const qsizetype later = formula.indexOf(kRelationMark, forAt);
        rest = later >= 0 ? formula.mid(later) : QString();
    }
    return expression + kForMark + condition + rest;
}

QString SpliceRelationClause(const QString& formula, const QString& key, const QString& table,
                             const QString& relatedKey) {
    const qsizetype relAt = formula.indexOf(kRelationMark);
    const QString expression = relAt >= 0 ? formula.left(relAt) : formula;
    return expression + QStringLiteral(" Relation ") + key + QStringLiteral(" with \"") + table +
           QStringLiteral("\"->") + relatedKey;
}

std::optional<QString> AppendFunctionCall(const QString& formula, const FuncWizardOutcome& out) {
    switch (out.result) {
        case kIdOk:
            return formula + out.callText;
        case kIdNoArguments:
            return formula + QLatin1Char(' ') + out.functionName + QStringLiteral("()");
        default:
            return std::nullopt;
    }
}

QString StatisticsCallText(const QString& name, const QString& area, const QString& filter) {
    if (filter.isEmpty()) return QStringLiteral(" %1 ( %2 ) ").arg(name, area);
    return QStringLiteral(" %1 ( %2 , %3 ) ").arg(name, area, filter);
}

int CheckAreaText(const QString& text, DlgArea* area) {
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    if (!ParseAreaRef(text, &c1, &r1, &c2, &r2)) return str::kBadArea;
    *area = DlgArea{c1, r1, c2, r2};
    return 0;
}

int CheckFilterCondition(const QString& condition) {
    return condition.isEmpty() ? str::kEmptyFilter : 0;
}

QString AreaText(const DlgArea& area) {
    QString out;
    FormatAreaRef(area.firstCol, area.firstRow, area.lastCol, area.lastRow, &out);
    return out;
}

}  // namespace qor

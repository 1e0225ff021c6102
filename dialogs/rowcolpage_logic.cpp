#include "dialogs/rowcolpage_logic.h"

#include <QList>

#include "document/cmd_edit.h"
#include "engine/messages.h"
#include "engine/textutil.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

namespace qor {

namespace {

QString text(int id) { return res::stringText(id).value_or(QString()); }

}  // namespace

InsertCountModeInfo InsertCountModeOf(int32_t mode) {
    switch (mode) {
        case kAppendRows:
            return {str::kAppendRows, str::kAppendRowCount, 9998};
        case kAppendCols:
            return {str::kAppendColumns, str::kAppendColumnCount, 254};
        case kAppendPages:
            return {str::kAppendPages, str::kAppendPageCount, 99998};
        case kInsertRows:
            return {str::kInsertRows, str::kInsertRowCount, 9998};
        case kInsertCols:
            return {str::kInsertColumns, str::kInsertColumnCount, 254};
        case kInsertPages:
            return {str::kInsertPages, str::kInsertPageCount, 99998};
        default:
            return {};
    }
}

SwapModeTexts SwapTextsOf(int32_t mode) {
    switch (mode) {
        case 2:
            return {text(str::kSwapColumns), text(str::kSourceColumn), text(str::kTargetColumn)};
        case 3:
            return {text(str::kSwapPages), text(str::kSourcePage), text(str::kTargetPage)};
        default:
            return {res::templateCaption(183).value_or(LoadErrorText(str::kSwapRowsCaption)).trimmed(),
                    LoadErrorText(str::kSourceRowLabel), LoadErrorText(str::kTargetRowLabel)};
    }
}

bool SwapListsAccepted(const SwapDlgMembers& m) {
    const int kind = m.mode == 2 ? 1 : 0;
    QList<int> source;
    QList<int> target;
    if (!ParseRowColList(kind, m.source, &source) || !ParseRowColList(kind, m.target, &target))
        return false;
    if (source.size() != target.size()) {
        messageBox(LoadErrorText(str::kSourceTargetMismatch), QString(), MsgButtons::Ok,
                   MsgIcon::Warning);
        return false;
    }
    return true;
}

DeleteModeTexts DeleteTextsOf(int32_t mode) {
    switch (mode) {
        case 1:
            return {text(str::kDeleteRows), text(str::kDeleteRowsLabel)};
        case 2:
            return {text(str::kDeleteColumns), text(str::kDeleteColumnsLabel)};
        case 3:
            return {text(str::kDeletePages), text(str::kDeletePagesLabel)};
        default:
            return {};
    }
}

bool DeleteListAccepted(const DeleteDlgMembers& m) {
    if (m.list.trimmed().isEmpty()) return true;
    QList<int> items;
    return DeleteListFits(m, &items);
}

QStringList ConditionKeywordNames() {
    return {text(str::kKeywordUnitName), text(str::kKeywordUnitCode), text(str::kKeywordYear),
            text(str::kKeywordQuarter),  text(str::kKeywordMonth),    text(str::kKeywordDay)};
}

QStringList DefinedConditionKeywords(const std::array<int16_t, 6>& flags) {
    const QStringList names = ConditionKeywordNames();
    QStringList out;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i]) out << names[int(i)];
    return out;
}

QStringList ConditionKeywordValues(const KeywordValueLists& values, const QString& keyword) {
    const QStringList names = ConditionKeywordNames();
    const int index = names.indexOf(keyword);
    if (index < 0 || keyword.isEmpty()) return {};
    const QStringList* list[] = {&values.unitNames, &values.unitCodes, &values.years,
                                 &values.quarters,  &values.months,    &values.days};
    // Unit names and numbers are texts; the rest are numbers.
    const QString end = index < 2 ? text(str::kError) : QStringLiteral("0");
    QStringList out;
    for (const QString& v : *list[index]) {
        if (v == end) break;
        out << v;
    }
    return out;
}

int32_t ToggleJoint(int32_t joint, int32_t clicked) { return joint == clicked ? -1 : clicked; }

QString BuildConditionPart(const ConditionTriple& t) {
    if (t.keyword.trimmed().isEmpty() || t.relation.trimmed().isEmpty() ||
        t.value.trimmed().isEmpty())
        return {};
    const bool quoted =
        t.keyword == text(str::kKeywordUnitName) || t.keyword == text(str::kKeywordUnitCode);
    const QString v = t.value.trimmed();
    const QString value = quoted ? QLatin1Char('"') + v + QLatin1Char('"') : v;
    return t.keyword.trimmed() + t.relation.trimmed() + value;
}

QString BuildCondition(const ConditionTriple& left, int32_t joint, const ConditionTriple& right) {
    const QString first = BuildConditionPart(left);
    if (first.isEmpty()) return {};
    if (joint != 0 && joint != 1) return first;
    const QString second = BuildConditionPart(right);
    if (second.isEmpty()) return {};
    return first + (joint == 1 ? QStringLiteral(" AND ") : QStringLiteral(" OR ")) + second;
}

}  // namespace qor

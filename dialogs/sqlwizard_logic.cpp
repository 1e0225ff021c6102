#include "dialogs/sqlwizard_logic.h"

#include "engine/textutil.h"
#include "resources/stringids.h"

namespace qor {

ArgCheck CheckSqlWizard(const QString& limitText, bool horizontal, const QString& displayArea,
                        const QList<SqlFieldRow>& rows, QString* limit) {
    const int largest = horizontal ? kMaxHorizontalRecords : kMaxVerticalRecords;
    QString digits = limitText.trimmed();
    if (digits.isEmpty()) {
        digits = QString::number(largest);
    } else {
        for (QChar c : digits)
            if (c < u'0' || c > u'9') return {str::kRecordLimitAboveZero, 1263};
        // Compared as text, so a long run of digits cannot overflow.
        while (digits.size() > 1 && digits.front() == u'0') digits.remove(0, 1);
        if (digits == u"0") return {str::kRecordLimitAboveZero, 1263};
        if (digits.size() > 5 || digits.toInt() > largest)
            return {horizontal ? str::kRecordLimitMax9999 : str::kRecordLimitMax255, 1263};
    }
    if (!displayArea.isEmpty()) {
        int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
        if (!ParseAreaRef(displayArea, &c1, &r1, &c2, &r2)) return {str::kBadAreaLikeC1D12, 1264};
    }
    bool group = false, total = false, none = false;
    for (const SqlFieldRow& r : rows) {
        group |= r.summary == kSummaryGroup;
        total |= r.summary == kSummaryTotal;
        none |= r.summary == kSummaryNone;
    }
    if (group && none) return {str::kSummaryAndNoSummaryMixed, 1240};
    if (!group && total && none) return {str::kTotalAndNoSummaryMixed, 1240};
    *limit = digits;
    return {};
}

QString BuildGetRecordSql(const QList<SqlFieldRow>& rows, bool distinct,
                          const QString& condition) {
    QString sql = QStringLiteral("Select ");
    if (distinct) sql += QStringLiteral("Distinct ");
    QString order = QStringLiteral(" Order by ");
    QString group = QStringLiteral(" Group by ");
    QString select;
    bool grouped = false;
    QStringList tables;
    for (const SqlFieldRow& r : rows) {
        const QString ref = QLatin1Char('[') + r.tableDef + QStringLiteral("].[") + r.fieldDef +
                            QLatin1Char(']');
        if (r.sort == kSortAscending) order += ref + QLatin1Char(',');
        if (r.sort == kSortDescending) order += ref + QStringLiteral(" DESC,");
        if (r.summary == kSummaryGroup) {
            group += ref + QLatin1Char(',');
            select += ref + QLatin1Char(',');
            grouped = true;
        } else if (r.summary == kSummaryTotal) {
            select += QStringLiteral("Sum(") + ref + QStringLiteral("),");
        } else {
            select += ref + QLatin1Char(',');
        }
        if (!tables.contains(r.tableDef)) tables << r.tableDef;
    }
    select.chop(1);
    order.chop(1);
    QStringList from;
    for (const QString& t : tables) from << QLatin1Char('[') + t + QLatin1Char(']');
    sql += select + QStringLiteral(" From ") + from.join(QLatin1Char(',')) + QLatin1Char(' ') +
           condition;
    if (grouped) {
        group.chop(1);
        sql += group;
    }
    if (order.size() > 10) sql += order;
    return sql;
}

QList<QStringList> TableRunsBySystem(const QList<std::pair<QString, QString>>& tables) {
    QList<QStringList> runs;
    QString current;
    for (const auto& [systemId, tableDef] : tables) {
        const QString id = systemId.toUpper();
        if (runs.isEmpty() || id != current) {
            runs.append(QStringList());
            current = id;
        }
        runs.back() << tableDef;
    }
    return runs;
}

// ---- ConditionHistory ----------------------------------------------------------

void ConditionHistory::Start(const QString& opening) {
    m_states.clear();
    m_position = -1;
    m_base = opening;
    m_canUndo = false;
    m_canRedo = false;
}

void ConditionHistory::Add(const QString& text) {
    if (Count() == m_position + 1) {
        if (Count() == kMaxStates) {
            m_base = m_states.takeFirst();
            m_states.append(text);
        } else {
            m_states.append(text);
            ++m_position;
        }
        return;
    }
    m_states = m_states.mid(0, m_position + 1);
    m_states.append(text);
    ++m_position;
}

void ConditionHistory::Record(const QString& typed) {
    if (m_states.isEmpty()) {
        if (!typed.isEmpty()) {
            m_states = QStringList{typed};
            m_position = 0;
        }
        return;
    }
    if (m_position < 0) {
        m_states.clear();
        if (!typed.isEmpty()) {
            m_states = QStringList{typed};
            m_position = 0;
        }
        return;
    }
    if (typed != m_states[m_position]) Add(typed);
}

void ConditionHistory::Push(const QString& text) {
    Add(text);
    m_canUndo = true;
    m_canRedo = false;
}

QString ConditionHistory::Undo(const QString& typed) {
    Record(typed);
    if (m_position >= 0) --m_position;
    m_canRedo = !m_states.isEmpty();
    if (m_position < 0) {
        m_canUndo = false;
        return m_base;
    }
    return m_states[m_position];
}

QString ConditionHistory::Redo() {
    if (m_position + 1 >= Count()) {
        m_canRedo = false;
        return m_position >= 0 ? m_states[m_position] : m_base;
    }
    ++m_position;
    if (m_position >= Count() - 1) m_canRedo = false;
    m_canUndo = true;
    return m_states[m_position];
}

}  // namespace qor

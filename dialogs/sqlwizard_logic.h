#pragma once
// The SQL wizard and the condition wizard without widgets: the checks of
// the wizard's entries, the SELECT statement it builds from the selected
// fields, the grouping of the dictionary's tables under their systems and
// the undo history of the condition text.
//
// Tables and fields are written by their definition texts in square
// brackets, "[table].[field]", as users see them in the dictionary.

#include <QList>
#include <QString>
#include <QStringList>

#include "dialogs/funcwizard_logic.h"

namespace qor {

enum SqlSortMark { kSortNone = 0, kSortAscending, kSortDescending };
enum SqlSummaryMark { kSummaryNone = 0, kSummaryGroup, kSummaryTotal };

// One row of the selected-field list.
struct SqlFieldRow {
    QString tableDef;
    QString fieldDef;
    QString fieldName;
    int sort = kSortNone;
    int summary = kSummaryNone;
};

// The largest record limits by display format.
constexpr int kMaxHorizontalRecords = 9999;
constexpr int kMaxVerticalRecords = 255;

// OK's checks in order: the record limit (refused when not above 0 or
// beyond the format's largest; empty: the largest), the display area
// (empty or a cell or area reference) and the mix of summary marks. On
// success *limit holds the limit to hand on, without leading zeros.
ArgCheck CheckSqlWizard(const QString& limitText, bool horizontal, const QString& displayArea,
                        const QList<SqlFieldRow>& rows, QString* limit);

// "Select [Distinct ]items From [T1],[T2] condition[ Group by ..][ Order by ..]";
// every distinct table of the rows enters the from list once, in the
// order of its first row.
QString BuildGetRecordSql(const QList<SqlFieldRow>& rows, bool distinct,
                          const QString& condition);

// The dictionary's tables (system id, table definition), in the
// dictionary's order, split into runs of equal system id (compared in
// upper case): run n belongs to the n-th system.
QList<QStringList> TableRunsBySystem(const QList<std::pair<QString, QString>>& tables);

// The states of the condition text, for undo and redo: at most 50, the
// oldest pushed out into the base text.
class ConditionHistory {
public:
    static constexpr int kMaxStates = 50;

    // A new run: no states, the base text is the opening text.
    void Start(const QString& opening);
    // The text as typed, kept as a state of its own when it differs from
    // the current one (before every edit and every undo).
    void Record(const QString& typed);
    // The text after an edit: a new state; undo on, redo off.
    void Push(const QString& text);
    // Records typed, steps back; the text to show.
    QString Undo(const QString& typed);
    // Steps forward without recording; the text to show.
    QString Redo();

    bool CanUndo() const { return m_canUndo; }
    bool CanRedo() const { return m_canRedo; }
    QString Base() const { return m_base; }
    int Count() const { return int(m_states.size()); }

private:
    void Add(const QString& text);

    QStringList m_states;
    int m_position = -1;
    QString m_base;
    bool m_canUndo = false;
    bool m_canRedo = false;
};

}  // namespace qor

#pragma once
// The one shape every command target decides its commands in: a table of
// rows {id, rule, handler}. The rule says whether the command can run now
// and, when not, why (the reason becomes the greyed item's status prompt);
// the handler runs it. A target keeps one table and answers the router's
// questions through it, so what decides a command is always in its row.

#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "document/cmdtarget.h"

namespace qor {

template <class Target>
struct CommandRow {
    // Fills what the state shows beyond being on or off (checked, a text
    // that switches) and returns the reason the command is off; an empty
    // reason means it is on. A null rule: always on.
    using Rule = std::function<QString(Target&, int id, CommandState& state)>;
    using Handler = std::function<void(Target&, int id)>;
    // Whether the row answers at all just now; when not, the router asks the
    // targets after this one (a frame that owns a command only while it
    // edits in place). A null test: the row always answers.
    using Owns = std::function<bool(const Target&)>;

    CommandRow() = default;
    // Most rows answer always: a table lists them as {id, rule, handler}.
    CommandRow(int id, Rule rule, Handler run, Owns owns = nullptr)
        : id(id), rule(std::move(rule)), run(std::move(run)), owns(std::move(owns)) {}

    int id = 0;
    Rule rule;
    Handler run;  // null: nothing stands behind the command here; it stays off
    Owns owns;
};

template <class Target>
class CommandTable {
public:
    using Row = CommandRow<Target>;

    // `notBuilt` is the reason shown for a row without a handler.
    CommandTable(std::initializer_list<Row> rows, QString notBuilt)
        : m_rows(rows), m_notBuilt(std::move(notBuilt)) {
        std::sort(m_rows.begin(), m_rows.end(),
                  [](const Row& a, const Row& b) { return a.id < b.id; });
        QList<int> ids;
        for (qsizetype i = 0; i < qsizetype(m_rows.size()); ++i) {
            // Two rows for one id would let the first silently hide the
            // second: a fault in the table, found at the first start.
            Q_ASSERT(i == 0 || m_rows[i - 1].id != m_rows[i].id);
            ids.append(m_rows[i].id);
        }
        m_ids = CommandIdSet(ids);
    }

    const CommandIdSet& Ids() const { return m_ids; }

    // The row of an id, or null when the table lacks it.
    const Row* Find(int id) const {
        const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), id,
                                         [](const Row& r, int value) { return r.id < value; });
        return it != m_rows.end() && it->id == id ? &*it : nullptr;
    }

    // True when a row answers for the id now; then `state` is filled.
    bool Update(Target& target, int id, CommandState& state) const {
        const Row* row = answering(target, id);
        if (!row) return false;
        state = CommandState{};
        if (!row->run) {
            state.reason = m_notBuilt;
            return true;
        }
        const QString why = row->rule ? row->rule(target, id, state) : QString();
        state.enabled = why.isEmpty();
        state.reason = why;
        return true;
    }

    // True when a row answers for the id now and its handler ran.
    bool Run(Target& target, int id) const {
        const Row* row = answering(target, id);
        if (!row || !row->run) return false;
        row->run(target, id);
        return true;
    }

private:
    const Row* answering(const Target& target, int id) const {
        const Row* row = Find(id);
        return row && (!row->owns || row->owns(target)) ? row : nullptr;
    }

    std::vector<Row> m_rows;
    QString m_notBuilt;
    CommandIdSet m_ids;
};

// The router's run for a target that answers a command reached while it is
// off (a stale menu, a key pressed before the update pass) as its greyed
// item would: nothing runs, yet the command counts as handled, so that no
// target after this one runs it instead. True when a row answers for the id.
template <class Target>
bool RunWhenOn(const CommandTable<Target>& table, Target& target, int id) {
    CommandState state;
    if (!table.Update(target, id, state)) return false;
    if (state.enabled) table.Run(target, id);
    return true;
}

}  // namespace qor

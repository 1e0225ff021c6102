#pragma once
// A place that handles menu and tool-bar commands by their ids. The frame's
// command router asks its targets in turn (the active view, its document,
// the child frame, the main frame): the first target that knows an id
// answers its update and runs it. The view and the document implement it
// without knowing the frame; the frame builds menus and buttons over it.

#include <QList>
#include <QString>
#include <algorithm>
#include <initializer_list>

namespace qor {

// What a menu item or tool button shows for a command at this moment.
struct CommandState {
    bool enabled = false;
    bool checked = false;
    bool checkable = false;
    QString text;    // empty keeps the command table's text
    QString reason;  // why it is off (shown as its status prompt)
    QString prompt;  // what a switched text does (empty keeps the table's prompt)
};

// The ids a target knows, sorted for lookup.
class CommandIdSet {
public:
    CommandIdSet() = default;
    CommandIdSet(std::initializer_list<int> ids) : m_ids(ids) { settle(); }
    explicit CommandIdSet(QList<int> ids) : m_ids(std::move(ids)) { settle(); }
    bool Contains(int id) const { return std::binary_search(m_ids.cbegin(), m_ids.cend(), id); }
    const QList<int>& Ids() const { return m_ids; }

private:
    void settle() {
        std::sort(m_ids.begin(), m_ids.end());
        m_ids.erase(std::unique(m_ids.begin(), m_ids.end()), m_ids.end());
    }
    QList<int> m_ids;
};

class ICommandTarget {
public:
    virtual ~ICommandTarget() = default;
    // True when this target knows the command; then `state` is filled.
    virtual bool OnUpdateCommand(int id, CommandState& state) = 0;
    // True when this target knows the command and ran it.
    virtual bool OnCommand(int id) = 0;
    // Every id this target may answer, named up front so that the router
    // goes straight to the target that owns a command instead of asking
    // each target in turn. Null (the default) means "ask me about any id".
    // The set must hold every id the target answers now; a target whose
    // ids change with its state hands out another set (the router takes a
    // set's address as its identity). A target may still decline an id of
    // its set, and the router then asks the targets after it.
    virtual const CommandIdSet* DeclaredCommands() const { return nullptr; }
};

}  // namespace qor

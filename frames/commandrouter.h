#pragma once
// The one way a menu item, a tool button or a key reaches a handler: each
// command id is asked of the targets in turn (the active view, its
// document, the child frame, the main frame), and the first target that
// knows it answers its state and runs it. Targets that name their ids up
// front are asked only about those, so a pass goes straight to each
// command's owner. A command no target knows is shown off, with the reason
// the menu table records for it.
//
// Menu items and tool buttons are QActions made here, one per id, so every
// place that shows a command shows the same state.

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

#include "document/cmdtarget.h"

class QAction;

namespace qor::frames {

class CommandRouter : public QObject {
    Q_OBJECT

public:
    using Chain = std::function<QList<qor::ICommandTarget*>()>;
    // A rule a target higher up adds to a command another target handles
    // (the main frame's condition on the document's cell-formula command).
    using Gate = std::function<void(qor::CommandState&)>;

    explicit CommandRouter(QObject* parent = nullptr);
    ~CommandRouter() override;

    void SetChain(Chain chain) { m_chain = std::move(chain); }
    // Asked before a command that is on runs; false stops it (an entry
    // under way that must be mended first).
    using BeforeRun = std::function<bool(int id)>;
    void SetBeforeRun(BeforeRun before) { m_beforeRun = std::move(before); }
    // Commands another router decides: a report edited in place inside
    // another leaves the container's commands (its 文件 and 窗口 groups) to
    // the container's window. Their actions, state and keys are that
    // router's, so a button here and the item there are one action.
    void SetOuter(CommandRouter* outer, const QList<int>& ids);
    bool IsOuterCommand(int id) const { return m_outer && m_outerIds.contains(id); }
    void SetGate(int id, Gate gate);
    // The reasons for commands that stay off (the menu table's).
    void SetReasons(const QHash<int, QString>& reasons);
    // The reason a command no target knows and the table gives none for
    // shows here (empty: NotProvidedText); set before SetReasons.
    void SetFallbackReason(const QString& reason) { m_fallbackReason = reason; }
    // Menu texts that replace the command table's caption (a letter made
    // unique within its menu); set before the actions are made.
    void SetCaptions(const QHash<int, QString>& captions) { m_captions = captions; }

    // The command's state now: the first target that knows it, then its
    // gate. Unknown commands are off with their reason.
    qor::CommandState Query(int id) const;
    // The same against targets asked for once (a whole pass shares them).
    qor::CommandState Query(int id, const QList<qor::ICommandTarget*>& targets) const;
    // Runs the command when it is on. False when it is off or nobody ran it.
    bool Execute(int id);

    // The action of a command, made on first use: text, status prompt and
    // tool tip from the command table (fallbackText when the table has no
    // menu text).
    QAction* Action(int id, const QString& fallbackText = QString());
    QAction* FindAction(int id) const {
        return IsOuterCommand(id) ? m_outer->FindAction(id) : m_actions.value(id);
    }
    // A key of the command: bound as its shortcut, or (shownOnly, for keys
    // the sheet handles itself) only shown beside its text.
    void SetKeys(int id, const QString& keys, bool shownOnly);
    QList<int> ActionIds() const { return m_actions.keys(); }
    // Brings actions up to date with Query.
    void Update(QAction* action);
    void Update(QAction* action, const QList<qor::ICommandTarget*>& targets);
    void UpdateAll();
    void UpdateActions(const QList<QAction*>& actions);

    // The command id an action of this router carries (0 for others).
    static int CommandId(const QAction* action);
    // The text every command no target knows shows as its reason.
    static QString NotProvidedText();

signals:
    // After a command ran.
    void commandExecuted(int id);

private:

    Chain m_chain;
    BeforeRun m_beforeRun;
    QPointer<CommandRouter> m_outer;
    QSet<int> m_outerIds;
    QHash<int, Gate> m_gates;
    QHash<int, QString> m_reasons;
    QString m_fallbackReason;
    QHash<int, QString> m_captions;
    struct Entry {
        QAction* action = nullptr;
        QString baseText;    // the table's menu text (and shown key)
        QString basePrompt;  // the table's status prompt
        QString baseTip;     // the table's tool tip
        // What was last put on the action; a pass that finds the same
        // state leaves the action alone.
        qor::CommandState shown;
        bool valid = false;
        QString offReason;   // why it is off when no target knows it
        bool gated = false;  // a gate applies
        qsizetype firstAsked = 0;  // the first target that may know it
    };
    void applyGate(int id, qor::CommandState& state) const;
    // The chain's targets for one pass, without empty places.
    QList<qor::ICommandTarget*> passTargets() const;
    // The targets' answer with the gate applied, asking from `start` (the
    // first target that may know the command); false when none knows it.
    bool ask(int id, const QList<qor::ICommandTarget*>& targets, qsizetype start, bool gated,
             qor::CommandState& state) const;
    void apply(Entry& e, const qor::CommandState& s);

    QHash<int, QAction*> m_actions;
    QHash<int, Entry> m_entries;
    std::vector<std::pair<int, Entry*>> m_order;  // the entries, for a pass
    // The sets the targets named when the entries' owners were found.
    std::vector<const qor::CommandIdSet*> m_ownerSets;
    bool m_ownersKnown = false;
};

}  // namespace qor::frames

#pragma once
// The one way a menu item, a tool button or a key reaches a handler: each
// command id is asked of the targets in turn (the active view, its
// document, the child frame, the main frame), and the first target that
// knows it answers its state and runs it. A command no target knows is
// shown off, with the reason the menu table records for it.
//
// Menu items and tool buttons are QActions made here, one per id, so every
// place that shows a command shows the same state.

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

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
    void SetGate(int id, Gate gate) { m_gates.insert(id, std::move(gate)); }
    // The reasons for commands that stay off (the menu table's).
    void SetReasons(const QHash<int, QString>& reasons) { m_reasons = reasons; }

    // The command's state now: the first target that knows it, then its
    // gate. Unknown commands are off with their reason.
    qor::CommandState Query(int id) const;
    // Runs the command when it is on. False when it is off or nobody ran it.
    bool Execute(int id);

    // The action of a command, made on first use: text, status prompt and
    // tool tip from the command table (fallbackText when the table has no
    // menu text).
    QAction* Action(int id, const QString& fallbackText = QString());
    QAction* FindAction(int id) const { return m_actions.value(id); }
    // A key of the command: bound as its shortcut, or (shownOnly, for keys
    // the sheet handles itself) only shown beside its text.
    void SetKeys(int id, const QString& keys, bool shownOnly);
    QList<int> ActionIds() const { return m_actions.keys(); }
    // Brings actions up to date with Query.
    void Update(QAction* action);
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
    QHash<int, Gate> m_gates;
    QHash<int, QString> m_reasons;
    QHash<int, QAction*> m_actions;
    QHash<int, QString> m_baseText;    // the table's menu text
    QHash<int, QString> m_basePrompt;  // the table's status prompt
};

}  // namespace qor::frames

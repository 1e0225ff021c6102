#include "frames/commandrouter.h"

#include <QAction>
#include <algorithm>

#include "engine/messages.h"
#include "frames/menutable.h"
#include "resources/stringtable.h"

namespace qor::frames {

namespace {

constexpr const char* kIdProperty = "qorCommandId";

}  // namespace

CommandRouter::CommandRouter(QObject* parent) : QObject(parent) {}

CommandRouter::~CommandRouter() = default;

QString CommandRouter::NotProvidedText() {
    static const QString text = LoadErrorText(str::kCommandNotProvided);
    return text;
}

qor::CommandState CommandRouter::Query(int id) const {
    if (IsOuterCommand(id)) return m_outer->Query(id);
    return Query(id, passTargets());
}

void CommandRouter::SetOuter(CommandRouter* outer, const QList<int>& ids) {
    m_outer = outer;
    m_outerIds = outer ? QSet<int>(ids.begin(), ids.end()) : QSet<int>();
}

namespace {

// Equal texts, most often the very same shared text.
inline bool sameText(const QString& a, const QString& b) {
    return (a.constData() == b.constData() && a.size() == b.size()) || a == b;
}

// What an action shows is the same for both states.
inline bool sameState(const qor::CommandState& a, const qor::CommandState& b) {
    return a.enabled == b.enabled && a.checked == b.checked && a.checkable == b.checkable &&
           sameText(a.text, b.text) && sameText(a.reason, b.reason) && sameText(a.prompt, b.prompt);
}

// The chain without empty places.
QList<qor::ICommandTarget*> live(QList<qor::ICommandTarget*> targets) {
    if (targets.contains(nullptr)) targets.removeAll(nullptr);
    return targets;
}

// The first target from `from` on that may know the command: one that
// names it among its ids, or one that names none.
qsizetype firstAsked(int id, const QList<qor::ICommandTarget*>& targets, qsizetype from = 0) {
    for (qsizetype i = from; i < targets.size(); ++i) {
        const qor::CommandIdSet* ids = targets[i]->DeclaredCommands();
        if (!ids || ids->Contains(id)) return i;
    }
    return targets.size();
}

}  // namespace

void CommandRouter::applyGate(int id, qor::CommandState& state) const {
    const auto gate = m_gates.constFind(id);
    if (gate != m_gates.cend()) (*gate)(state);
}

QList<qor::ICommandTarget*> CommandRouter::passTargets() const {
    return m_chain ? live(m_chain()) : QList<qor::ICommandTarget*>();
}

bool CommandRouter::ask(int id, const QList<qor::ICommandTarget*>& targets, qsizetype start,
                        bool gated, qor::CommandState& state) const {
    for (qsizetype i = start; i < targets.size(); i = firstAsked(id, targets, i + 1)) {
        if (targets[i]->OnUpdateCommand(id, state)) {
            if (gated) applyGate(id, state);
            return true;
        }
    }
    return false;
}

qor::CommandState CommandRouter::Query(int id,
                                       const QList<qor::ICommandTarget*>& chainTargets) const {
    const QList<qor::ICommandTarget*> targets = live(chainTargets);
    qor::CommandState state;
    if (ask(id, targets, firstAsked(id, targets), true, state)) return state;
    // Nobody knows it: off, with its reason.
    state = qor::CommandState();
    state.reason = m_reasons.value(id, m_fallbackReason.isEmpty() ? NotProvidedText() : m_fallbackReason);
    return state;
}

void CommandRouter::SetGate(int id, Gate gate) {
    m_gates.insert(id, std::move(gate));
    const auto it = m_entries.find(id);
    if (it != m_entries.end()) it->gated = true;
}

void CommandRouter::SetReasons(const QHash<int, QString>& reasons) {
    m_reasons = reasons;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
        it->offReason = m_reasons.value(
            it.key(), m_fallbackReason.isEmpty() ? NotProvidedText() : m_fallbackReason);
}

bool CommandRouter::Execute(int id) {
    if (IsOuterCommand(id)) return m_outer->Execute(id);
    if (!Query(id).enabled || !m_chain) {
        if (QAction* a = m_actions.value(id)) Update(a);
        return false;
    }
    if (m_beforeRun && !m_beforeRun(id)) return false;
    bool ran = false;
    const QList<qor::ICommandTarget*> targets = passTargets();
    for (qsizetype i = firstAsked(id, targets); i < targets.size();
         i = firstAsked(id, targets, i + 1)) {
        if (targets[i]->OnCommand(id)) {
            ran = true;
            break;
        }
    }
    if (ran) emit commandExecuted(id);
    return ran;
}

QAction* CommandRouter::Action(int id, const QString& fallbackText) {
    if (IsOuterCommand(id)) return m_outer->Action(id, fallbackText);
    if (QAction* a = m_actions.value(id)) return a;
    auto* action = new QAction(this);
    action->setData(id);
    action->setProperty(kIdProperty, true);
    const auto own = m_captions.constFind(id);
    const CaptionParts caption = SplitCaption(
        own != m_captions.cend() ? *own : res::commandCaption(id).value_or(fallbackText));
    const QString prompt = res::commandPrompt(id).value_or(QString());
    const qsizetype lf = prompt.indexOf(u'\n');
    const QString status = lf < 0 ? prompt : prompt.left(lf);
    const QString tip = lf < 0 ? PlainCaption(caption.text) : prompt.mid(lf + 1);
    const QString text = caption.text.isEmpty() ? tip : caption.text;
    action->setToolTip(tip.isEmpty() ? PlainCaption(text) : tip);
    // A button without a picture shows the short text.
    action->setIconText(action->toolTip());
    action->setStatusTip(status);
    // What help mode shows for a button or item of the command.
    action->setWhatsThis(status.isEmpty() ? action->toolTip() : status);
    action->setText(caption.keys.isEmpty() ? text : text + u'\t' + caption.keys);
    Entry& e = m_entries[id];
    m_order.clear();  // the pass order is made again below
    m_ownersKnown = false;
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) m_order.emplace_back(it.key(), &it.value());
    e.action = action;
    e.offReason =
        m_reasons.value(id, m_fallbackReason.isEmpty() ? NotProvidedText() : m_fallbackReason);
    e.gated = m_gates.contains(id);
    e.baseText = action->text();
    e.basePrompt = status;
    e.baseTip = action->toolTip();
    connect(action, &QAction::triggered, this, [this, id] {
        // Qt may have flipped the check mark: the next pass sets it again.
        m_entries[id].valid = false;
        Execute(id);
    });
    m_actions.insert(id, action);
    Update(action);
    return action;
}

void CommandRouter::SetKeys(int id, const QString& keys, bool shownOnly) {
    if (IsOuterCommand(id)) {
        m_outer->SetKeys(id, keys, shownOnly);
        return;
    }
    QAction* action = Action(id);
    Entry& e = m_entries[id];
    QString text = e.baseText;
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0) text.truncate(tab);
    if (shownOnly) {
        text += u'\t' + keys;
    } else {
        action->setShortcut(QKeySequence(keys));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    e.baseText = text;
    e.valid = false;
    action->setText(text);
    Update(action);
}

void CommandRouter::Update(QAction* action) { Update(action, passTargets()); }

void CommandRouter::Update(QAction* action, const QList<qor::ICommandTarget*>& targets) {
    const int id = CommandId(action);
    if (IsOuterCommand(id)) {
        m_outer->Update(m_outer->FindAction(id));
        return;
    }
    const auto it = m_entries.find(id);
    if (it != m_entries.end()) apply(*it, Query(id, targets));
}

void CommandRouter::apply(Entry& e, const qor::CommandState& s) {
    if (e.valid && sameState(e.shown, s)) return;
    QAction* action = e.action;
    action->setEnabled(s.enabled);
    action->setCheckable(s.checkable || s.checked);
    action->setChecked(s.checked);
    // A switched text keeps the key shown beside the table's text.
    QString text = e.baseText;
    if (!s.text.isEmpty()) {
        const qsizetype tab = text.indexOf(u'\t');
        text = tab < 0 ? s.text : s.text + text.mid(tab);
    }
    action->setText(text);
    // Off: the status line says why, where a target knows; else it still
    // says what the item does.
    // A switched text says what it does now ("撤消拆分窗口").
    const QString prompt = s.prompt.isEmpty() ? e.basePrompt : s.prompt;
    action->setStatusTip(s.enabled || s.reason.isEmpty() ? prompt : s.reason);
    // A greyed button's tip says why too: a disabled button shows no
    // status text when pointed at.
    const QString tip =
        s.enabled || s.reason.isEmpty() ? e.baseTip : LoadErrorText(str::kReasonAndMessage).arg(e.baseTip, s.reason);
    if (action->toolTip() != tip) action->setToolTip(tip);
    e.shown = s;
    e.valid = true;
}

void CommandRouter::UpdateAll() {
    const QList<qor::ICommandTarget*> targets = passTargets();
    // Where each command's asking starts depends only on the sets the
    // targets name: while the same sets stand in the same places (another
    // report of the same kind, the same report again), the owners found
    // last time stand too.
    std::vector<const qor::CommandIdSet*> sets;
    sets.reserve(size_t(targets.size()));
    for (qor::ICommandTarget* t : targets) sets.push_back(t->DeclaredCommands());
    if (!m_ownersKnown || sets != m_ownerSets) {
        for (auto& [id, entry] : m_order) entry->firstAsked = firstAsked(id, targets);
        // Each owner's commands in a row, in id order: the pass then calls
        // one target many times over instead of hopping between them.
        std::sort(m_order.begin(), m_order.end(), [](const auto& a, const auto& b) {
            return std::pair(a.second->firstAsked, a.first) < std::pair(b.second->firstAsked, b.first);
        });
        m_ownerSets = std::move(sets);
        m_ownersKnown = true;
    }
    const qsizetype count = targets.size();
    for (auto& [id, entry] : m_order) {
        qor::CommandState state;
        bool known = false;
        if (const qsizetype first = entry->firstAsked; first < count) {
            // Straight to the owner; only a command it declines goes on
            // down the chain.
            known = targets[first]->OnUpdateCommand(id, state);
            if (known && entry->gated) applyGate(id, state);
            if (!known)
                known = ask(id, targets, firstAsked(id, targets, first + 1), entry->gated, state);
        }
        if (known) {
            if (!entry->valid || !sameState(entry->shown, state)) apply(*entry, state);
            continue;
        }
        // Nobody knows it: off with its reason. Most such commands were off
        // for the same reason last time, which needs no new state at all.
        const qor::CommandState& shown = entry->shown;
        if (entry->valid && !shown.enabled && !shown.checked && !shown.checkable &&
            shown.text.isEmpty() && shown.reason.constData() == entry->offReason.constData())
            continue;
        state.reason = entry->offReason;
        apply(*entry, state);
    }
}

void CommandRouter::UpdateActions(const QList<QAction*>& actions) {
    const QList<qor::ICommandTarget*> targets = passTargets();
    for (QAction* a : actions) Update(a, targets);
}

int CommandRouter::CommandId(const QAction* action) {
    return action && action->property(kIdProperty).toBool() ? action->data().toInt() : 0;
}

}  // namespace qor::frames

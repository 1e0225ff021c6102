#include "frames/commandrouter.h"

#include <QAction>

#include "frames/menutable.h"
#include "resources/stringtable.h"

namespace qor::frames {

namespace {

constexpr const char* kIdProperty = "qorCommandId";

}  // namespace

CommandRouter::CommandRouter(QObject* parent) : QObject(parent) {}

CommandRouter::~CommandRouter() = default;

QString CommandRouter::NotProvidedText() { return QStringLiteral("此命令尚未提供"); }

qor::CommandState CommandRouter::Query(int id) const {
    qor::CommandState state;
    bool known = false;
    if (m_chain) {
        for (qor::ICommandTarget* target : m_chain()) {
            if (target && target->OnUpdateCommand(id, state)) {
                known = true;
                break;
            }
        }
    }
    if (!known) {
        state = qor::CommandState();
        state.reason = m_reasons.value(id, NotProvidedText());
        return state;
    }
    const auto gate = m_gates.find(id);
    if (gate != m_gates.end()) (*gate)(state);
    return state;
}

bool CommandRouter::Execute(int id) {
    if (!Query(id).enabled || !m_chain) {
        if (QAction* a = m_actions.value(id)) Update(a);
        return false;
    }
    bool ran = false;
    for (qor::ICommandTarget* target : m_chain()) {
        if (target && target->OnCommand(id)) {
            ran = true;
            break;
        }
    }
    if (ran) emit commandExecuted(id);
    return ran;
}

QAction* CommandRouter::Action(int id, const QString& fallbackText) {
    if (QAction* a = m_actions.value(id)) return a;
    auto* action = new QAction(this);
    action->setProperty(kIdProperty, id);
    const CaptionParts caption = SplitCaption(res::commandCaption(id).value_or(fallbackText));
    const QString prompt = res::commandPrompt(id).value_or(QString());
    const qsizetype lf = prompt.indexOf(u'\n');
    const QString status = lf < 0 ? prompt : prompt.left(lf);
    const QString tip = lf < 0 ? PlainCaption(caption.text) : prompt.mid(lf + 1);
    const QString text = caption.text.isEmpty() ? tip : caption.text;
    action->setToolTip(tip.isEmpty() ? PlainCaption(text) : tip);
    action->setStatusTip(status);
    action->setText(caption.keys.isEmpty() ? text : text + u'\t' + caption.keys);
    m_baseText.insert(id, action->text());
    m_basePrompt.insert(id, status);
    connect(action, &QAction::triggered, this, [this, id] { Execute(id); });
    m_actions.insert(id, action);
    Update(action);
    return action;
}

void CommandRouter::SetKeys(int id, const QString& keys, bool shownOnly) {
    QAction* action = Action(id);
    QString text = m_baseText.value(id);
    const qsizetype tab = text.indexOf(u'\t');
    if (tab >= 0) text.truncate(tab);
    if (shownOnly) {
        text += u'\t' + keys;
    } else {
        action->setShortcut(QKeySequence(keys));
        action->setShortcutContext(Qt::WindowShortcut);
    }
    m_baseText.insert(id, text);
    action->setText(text);
}

void CommandRouter::Update(QAction* action) {
    const int id = CommandId(action);
    if (!id) return;
    const qor::CommandState s = Query(id);
    if (action->isEnabled() != s.enabled) action->setEnabled(s.enabled);
    if (action->isCheckable() != (s.checkable || s.checked)) action->setCheckable(s.checkable || s.checked);
    if (action->isChecked() != s.checked) action->setChecked(s.checked);
    // A switched text keeps the key shown beside the table's text.
    QString text = m_baseText.value(id);
    if (!s.text.isEmpty()) {
        const qsizetype tab = text.indexOf(u'\t');
        text = tab < 0 ? s.text : s.text + text.mid(tab);
    }
    if (action->text() != text) action->setText(text);
    // Off: the status line says why.
    const QString status = s.enabled ? m_basePrompt.value(id) : s.reason;
    if (action->statusTip() != status) action->setStatusTip(status);
}

void CommandRouter::UpdateAll() {
    for (QAction* a : std::as_const(m_actions)) Update(a);
}

void CommandRouter::UpdateActions(const QList<QAction*>& actions) {
    for (QAction* a : actions) Update(a);
}

int CommandRouter::CommandId(const QAction* action) {
    return action ? action->property(kIdProperty).toInt() : 0;
}

}  // namespace qor::frames

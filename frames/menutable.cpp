#include "frames/menutable.h"

#include <QRegularExpression>

#include "resources/stringtable.h"
#include "resources/tsvtable.h"

namespace qor::frames {

namespace {

bool kindOf(const QString& s, MenuEntry::Kind* kind) {
    static const QHash<QString, MenuEntry::Kind> kinds = {
        {QStringLiteral("popup"), MenuEntry::Popup},
        {QStringLiteral("command"), MenuEntry::Command},
        {QStringLiteral("separator"), MenuEntry::Separator},
        {QStringLiteral("windowlist"), MenuEntry::WindowList},
        {QStringLiteral("widget"), MenuEntry::Widget},
    };
    const auto it = kinds.find(s);
    if (it == kinds.end()) return false;
    *kind = *it;
    return true;
}

QString field(const res::TsvRecord& r, int i) { return i < r.fields.size() ? r.fields[i] : QString(); }

}  // namespace

MenuTable ParseMenuTable(QByteArrayView utf8) {
    MenuTable table;
    const res::TsvParseResult parsed = res::parseTsv(utf8, 4, 7);
    table.errors = parsed.errors;
    // The popup chain being filled, per owner: stack[d] holds the list an
    // entry of depth d goes into.
    QHash<QString, QList<QList<MenuEntry>*>> stacks;
    auto refuse = [&table](const res::TsvRecord& r, const QString& what) {
        table.errors.append(QStringLiteral("line %1: %2").arg(r.line).arg(what));
    };
    for (const res::TsvRecord& r : parsed.records) {
        const QString which = r.fields[0];
        // A command's text of its own: why it stays off, or its menu text.
        QHash<int, QString>* texts = which == QStringLiteral("reason")    ? &table.reasons
                                     : which == QStringLiteral("caption") ? &table.captions
                                                                          : nullptr;
        if (texts) {
            const std::optional<int> id = res::parseTsvId(field(r, 4));
            if (!id || field(r, 5).isEmpty())
                refuse(r, QStringLiteral("a %1 needs an id and a text").arg(which));
            else
                texts->insert(*id, field(r, 5));
            continue;
        }
        if (which != QStringLiteral("menu") && which != QStringLiteral("bar")) {
            refuse(r, QStringLiteral("unknown table \"%1\"").arg(which));
            continue;
        }
        const std::optional<int> owner = res::parseTsvId(r.fields[1]);
        const std::optional<int> depth = res::parseTsvId(r.fields[2]);
        MenuEntry e;
        if (!owner || !depth || *depth < 0 || *depth > 3 || !kindOf(r.fields[3], &e.kind)) {
            refuse(r, QStringLiteral("bad owner, depth or kind"));
            continue;
        }
        if (e.kind == MenuEntry::Command || e.kind == MenuEntry::Widget) {
            const std::optional<int> id = res::parseTsvId(field(r, 4));
            if (!id || *id <= 0) {
                refuse(r, QStringLiteral("a command needs an id"));
                continue;
            }
            e.id = *id;
        }
        e.text = field(r, 5);
        e.keys = field(r, 6);
        if (e.keys.startsWith(u'~')) {
            e.keys.remove(0, 1);
            e.keysShownOnly = true;
        }
        if (e.kind == MenuEntry::Popup && e.text.isEmpty()) {
            refuse(r, QStringLiteral("a popup needs a title"));
            continue;
        }
        QHash<int, QList<MenuEntry>>& into = which == QStringLiteral("menu") ? table.menus : table.bars;
        const QString key = which + QString::number(*owner);
        QList<QList<MenuEntry>*>& stack = stacks[key];
        if (stack.isEmpty()) stack.append(&into[*owner]);
        if (*depth >= stack.size()) {
            refuse(r, QStringLiteral("depth %1 without a popup above it").arg(*depth));
            continue;
        }
        stack.resize(*depth + 1);
        QList<MenuEntry>* list = stack[*depth];
        list->append(e);
        if (e.kind == MenuEntry::Popup) stack.append(&list->last().children);
    }
    return table;
}

const MenuTable& BuiltinMenuTable() {
    static const MenuTable table = ParseMenuTable(res::builtinTableText(QStringLiteral("menus.tsv")));
    return table;
}

QList<int> CommandIdsOf(const QList<MenuEntry>& entries) {
    QList<int> ids;
    for (const MenuEntry& e : entries) {
        if (e.kind == MenuEntry::Command) ids.append(e.id);
        if (e.kind == MenuEntry::Popup) ids.append(CommandIdsOf(e.children));
    }
    return ids;
}

CaptionParts SplitCaption(const QString& caption) {
    static const QRegularExpression keys(
        QStringLiteral("\\s+((?:(?:Ctrl|Shift|Alt)\\+)*(?:F\\d{1,2}|[A-Z]|Del|PgUp|PgDn|Enter|Esc))$"));
    const QRegularExpressionMatch m = keys.match(caption);
    if (!m.hasMatch()) return {caption, QString()};
    return {caption.left(m.capturedStart()), m.captured(1)};
}

QString PlainCaption(const QString& caption) {
    static const QRegularExpression mark(QStringLiteral("[\\(\\[]&.[\\)\\]]|&"));
    QString s = SplitCaption(caption).text;
    s.remove(mark);
    return s.trimmed();
}

}  // namespace qor::frames

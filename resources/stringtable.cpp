#include "resources/stringtable.h"

#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <algorithm>

#include "resources/tsvtable.h"

// The tables are compiled into this static library as Qt resources; naming
// the initialiser here keeps the linker from dropping them.
static void initTableResources() { Q_INIT_RESOURCE(resources); }

namespace qor::res {
namespace {

Q_LOGGING_CATEGORY(lcTables, "qor.resources")

struct Tables {
    QHash<int, QString> strings;
    QHash<QString, int> stringNames;
    QHash<int, CommandInfo> commands;
    QHash<int, TemplateInfo> templates;
    QStringList problems;
};

QByteArray readTable(const QString& name, QStringList& problems) {
    QFile file(QStringLiteral(":/qor/tables/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        problems.append(name + QStringLiteral(": missing from the build"));
        return {};
    }
    return file.readAll();
}

// Records of one table with a usable id in the first column; everything
// refused is reported with the table's name in front.
QList<TsvRecord> records(const QString& name, int minFields, int maxFields, QStringList& problems) {
    TsvParseResult parsed = parseTsv(readTable(name, problems), minFields, maxFields);
    for (const QString& e : parsed.errors) problems.append(name + QStringLiteral(": ") + e);
    return parsed.records;
}

std::optional<int> idOf(const QString& table, const TsvRecord& r, qsizetype field,
                        QStringList& problems) {
    std::optional<int> id = parseTsvId(r.fields[field]);
    if (!id)
        problems.append(QStringLiteral("%1: line %2: bad id \"%3\"")
                            .arg(table)
                            .arg(r.line)
                            .arg(r.fields[field]));
    return id;
}

void loadStrings(Tables& t) {
    const QString name = QStringLiteral("strings.tsv");
    // id, name, text, note: the name is the build's (resources/stringids.h);
    // the program reads only the id and the text.
    for (const TsvRecord& r : records(name, 3, 4, t.problems)) {
        const std::optional<int> id = idOf(name, r, 0, t.problems);
        if (!id) continue;
        if (t.strings.contains(*id)) {
            // The first entry stays: a repeated id is a table fault, not an update.
            t.problems.append(
                QStringLiteral("%1: line %2: id %3 repeated").arg(name).arg(r.line).arg(*id));
            continue;
        }
        t.strings.insert(*id, r.fields[2]);
        if (t.stringNames.contains(r.fields[1]))
            t.problems.append(QStringLiteral("%1: line %2: name %3 repeated")
                                  .arg(name)
                                  .arg(r.line)
                                  .arg(r.fields[1]));
        else
            t.stringNames.insert(r.fields[1], *id);
    }
}

void loadCommands(Tables& t) {
    const QString name = QStringLiteral("commands.tsv");
    for (const TsvRecord& r : records(name, 3, 5, t.problems)) {
        const std::optional<int> id = idOf(name, r, 0, t.problems);
        if (!id) continue;
        if (t.commands.contains(*id)) {
            t.problems.append(
                QStringLiteral("%1: line %2: id %3 repeated").arg(name).arg(r.line).arg(*id));
            continue;
        }
        CommandInfo info;
        info.id = *id;
        info.name = r.fields[1];
        info.caption = r.fields[2];
        if (r.fields.size() > 3) info.prompt = r.fields[3];
        t.commands.insert(*id, info);
    }
}

void loadTemplates(Tables& t) {
    const QString name = QStringLiteral("templates.tsv");
    const QList<TsvRecord> recs = records(name, 5, 6, t.problems);
    // Template rows first, so a control may be listed before or after its
    // template's own row.
    for (const TsvRecord& r : recs) {
        if (!r.fields[1].isEmpty()) continue;
        const std::optional<int> id = idOf(name, r, 0, t.problems);
        if (!id) continue;
        if (t.templates.contains(*id)) {
            t.problems.append(
                QStringLiteral("%1: line %2: template %3 repeated").arg(name).arg(r.line).arg(*id));
            continue;
        }
        TemplateInfo info;
        info.id = *id;
        info.className = r.fields[3];
        info.caption = r.fields[4];
        t.templates.insert(*id, info);
    }
    for (const TsvRecord& r : recs) {
        if (r.fields[1].isEmpty()) continue;
        const std::optional<int> tid = idOf(name, r, 0, t.problems);
        const std::optional<int> cid = idOf(name, r, 1, t.problems);
        if (!tid || !cid) continue;
        auto it = t.templates.find(*tid);
        if (it == t.templates.end()) {
            t.problems.append(QStringLiteral("%1: line %2: control of unknown template %3")
                                  .arg(name)
                                  .arg(r.line)
                                  .arg(*tid));
            continue;
        }
        const bool repeated = std::any_of(it->controls.cbegin(), it->controls.cend(),
                                          [&](const ControlInfo& c) { return c.id == *cid; });
        if (repeated) {
            t.problems.append(QStringLiteral("%1: line %2: control %3 of template %4 repeated")
                                  .arg(name)
                                  .arg(r.line)
                                  .arg(*cid)
                                  .arg(*tid));
            continue;
        }
        ControlInfo c;
        c.id = *cid;
        c.kind = r.fields[2];
        c.name = r.fields[3];
        c.caption = r.fields[4];
        it->controls.append(c);
    }
    for (TemplateInfo& info : t.templates)
        std::sort(info.controls.begin(), info.controls.end(),
                  [](const ControlInfo& a, const ControlInfo& b) { return a.id < b.id; });
}

Tables loadTables() {
    initTableResources();
    Tables t;
    loadStrings(t);
    loadCommands(t);
    loadTemplates(t);
    for (const QString& p : t.problems) qCWarning(lcTables).noquote() << p;
    return t;
}

// Built once, on first use, by whichever thread gets there first; read-only
// afterwards, so lookups need no lock.
const Tables& tables() {
    static const Tables t = loadTables();
    return t;
}

std::optional<QString> nonEmpty(const QString& s) {
    if (s.isEmpty()) return std::nullopt;
    return s;
}

}  // namespace

std::optional<QString> stringText(int id) {
    const auto& s = tables().strings;
    auto it = s.constFind(id);
    if (it == s.constEnd()) return std::nullopt;
    return *it;
}

std::optional<int> stringIdOf(QStringView name) {
    const auto& n = tables().stringNames;
    auto it = n.constFind(name.toString());
    if (it == n.constEnd()) return std::nullopt;
    return *it;
}

int stringCount() { return static_cast<int>(tables().strings.size()); }

QList<int> stringIds() {
    QList<int> ids = tables().strings.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

std::optional<CommandInfo> commandInfo(int id) {
    const auto& c = tables().commands;
    auto it = c.constFind(id);
    if (it == c.constEnd()) return std::nullopt;
    return *it;
}

std::optional<QString> commandCaption(int id) {
    std::optional<CommandInfo> info = commandInfo(id);
    return info ? nonEmpty(info->caption) : std::nullopt;
}

std::optional<QString> commandPrompt(int id) {
    std::optional<CommandInfo> info = commandInfo(id);
    return info ? nonEmpty(info->prompt) : std::nullopt;
}

int commandCount() { return static_cast<int>(tables().commands.size()); }

std::optional<TemplateInfo> templateInfo(int id) {
    const auto& t = tables().templates;
    auto it = t.constFind(id);
    if (it == t.constEnd()) return std::nullopt;
    return *it;
}

std::optional<QString> templateCaption(int id) {
    const auto& t = tables().templates;
    auto it = t.constFind(id);
    if (it == t.constEnd()) return std::nullopt;
    return nonEmpty(it->caption);
}

std::optional<ControlInfo> controlInfo(int templateId, int controlId) {
    const auto& t = tables().templates;
    auto it = t.constFind(templateId);
    if (it == t.constEnd()) return std::nullopt;
    for (const ControlInfo& c : it->controls)
        if (c.id == controlId) return c;
    return std::nullopt;
}

int templateCount() { return static_cast<int>(tables().templates.size()); }

QStringList tableProblems() { return tables().problems; }

void ensureResources() { initTableResources(); }

QByteArray builtinTableText(const QString& name) {
    initTableResources();
    QFile file(QStringLiteral(":/qor/tables/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace qor::res

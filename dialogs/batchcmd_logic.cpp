#include "dialogs/batchcmd_logic.h"

#include <QRegularExpression>

#include "cmdlang/calcerrors.h"
#include "engine/messages.h"
#include "reader/cappenvironment.h"

namespace qor {

namespace {

const QString kSection = QStringLiteral("ShlFilesName");
const QString kSum = QStringLiteral("Sum");

QString nameKey(int i) { return QStringLiteral("Name%1").arg(i); }
QString pathKey(int i) { return QStringLiteral("Path%1").arg(i); }

}  // namespace

ProfileAccess ApplicationProfile() {
    ProfileAccess p;
    p.read = [](const QString& section, const QString& key) {
        return CAppEnvironment::Instance().GetProfileString(section, key, QString());
    };
    p.write = [](const QString& section, const QString& key, const QString& value) {
        return CAppEnvironment::Instance().WriteProfileString(section, key, value);
    };
    return p;
}

QString DuplicateNameText(const QString& name) {
    return QStringLiteral("\"%1\"").arg(name) + LoadErrorText(str::kNameRepeated);
}

QVector<BatchScript> BatchScriptList::Load() const {
    QVector<BatchScript> list;
    bool ok = false;
    const int sum = m_profile.read(kSection, kSum).trimmed().toInt(&ok);
    if (!ok || sum <= 0) return list;
    // A hand-edited count far beyond the keys present is cut at the first
    // entry that has neither a name nor a path.
    for (int i = 0; i < sum; ++i) {
        BatchScript e{m_profile.read(kSection, nameKey(i)), m_profile.read(kSection, pathKey(i))};
        if (e.name.isEmpty() && e.path.isEmpty() && i >= 1000) break;
        list.append(e);
    }
    return list;
}

int BatchScriptList::FindName(const QVector<BatchScript>& list, const QString& name, int except) {
    for (int i = 0; i < list.size(); ++i)
        if (i != except && list[i].name == name) return i;
    return -1;
}

QString BatchScriptList::NameOfPath(const QString& path) {
    const int slash = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    QString name = path.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    return name;
}

bool BatchScriptList::writeAll(const QVector<BatchScript>& list, int oldCount) {
    for (int i = 0; i < list.size(); ++i) {
        if (!m_profile.write(kSection, nameKey(i), list[i].name)) return false;
        if (!m_profile.write(kSection, pathKey(i), list[i].path)) return false;
    }
    if (!m_profile.write(kSection, kSum, QString::number(list.size()))) return false;
    for (int i = int(list.size()); i < oldCount; ++i) {
        if (!m_profile.write(kSection, nameKey(i), QString())) return false;
        if (!m_profile.write(kSection, pathKey(i), QString())) return false;
    }
    return true;
}

bool BatchScriptList::store(const QVector<BatchScript>& list, const QVector<BatchScript>& before,
                            QString* error) {
    if (writeAll(list, int(before.size()))) return true;
    // Put the old list back over whatever was written.
    writeAll(before, int(std::max(list.size(), before.size())));
    if (error) *error = LoadErrorText(str::kBatchCmdNotSaved);
    return false;
}

bool BatchScriptList::Add(const BatchScript& entry, QString* error) {
    const QVector<BatchScript> before = Load();
    if (FindName(before, entry.name) >= 0) {
        if (error) *error = DuplicateNameText(entry.name);
        return false;
    }
    QVector<BatchScript> after = before;
    after.append(entry);
    return store(after, before, error);
}

bool BatchScriptList::Remove(int index, QString* error) {
    const QVector<BatchScript> before = Load();
    if (index < 0 || index >= before.size()) return true;
    QVector<BatchScript> after = before;
    after.removeAt(index);
    return store(after, before, error);
}

bool BatchScriptList::Modify(int index, const BatchScript& edited, QString* error) {
    const QVector<BatchScript> before = Load();
    if (index < 0 || index >= before.size() || before[index] == edited) return true;
    if (FindName(before, edited.name, index) >= 0) {
        if (error) *error = DuplicateNameText(edited.name);
        return false;
    }
    QVector<BatchScript> after = before;
    after.removeAt(index);
    after.append(edited);
    return store(after, before, error);
}

QString BatchFailureText(int code, const QString& reported) {
    // The places, outermost first, in the form the command language gives
    // them: "批命令a.shl第3行出错：批命令b.shl第1行出错：...".
    static const QRegularExpression place = [] {
        const QString form = LoadErrorText(str::kScriptLineFailed);
        const qsizetype name = form.indexOf(u"%1"), line = form.indexOf(u"%2"),
                        what = form.indexOf(u"%3");
        if (name < 0 || line < name || what < line || what + 2 != form.size())
            return QRegularExpression(QStringLiteral("(?!)"));
        return QRegularExpression(
            u'^' + QRegularExpression::escape(form.left(name)) + QStringLiteral("(.+?)") +
            QRegularExpression::escape(form.mid(name + 2, line - name - 2)) +
            QStringLiteral("(\\d+)") + QRegularExpression::escape(form.mid(line + 2, what - line - 2)));
    }();
    QList<std::pair<QString, QString>> places;
    QString rest = reported;
    for (QRegularExpressionMatch m; (m = place.match(rest)).hasMatch();) {
        places.append({m.captured(1), m.captured(2)});
        rest = rest.mid(m.capturedLength(0));
    }
    // The reason the command language gave in the user's language ("A99在
    // 表格之外") says more than the code's text; its English words do not
    // reach the box.
    static const QRegularExpression chinese(QStringLiteral("\\p{Han}"));
    QString what = rest.contains(chinese) ? rest : qor::cmd::LocalCalcErrorText(code);
    for (auto it = places.crbegin(); it != places.crend(); ++it)
        what = LoadErrorText(str::kScriptLineFailed).arg(it->first, it->second, what);
    return what;
}

}  // namespace qor

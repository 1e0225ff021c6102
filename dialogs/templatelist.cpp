#include "dialogs/templatelist.h"

#include <QDir>
#include <QFileInfo>

#include "engine/messages.h"
#include "platform/datadir.h"
#include "platform/inifile.h"
#include "reader/creaderapp.h"

namespace qor {

namespace {

const QString kDefault = QStringLiteral("default");

// A name the file cannot hold as it was given.
QString nameProblem(const QString& name, bool section) {
    if (name.trimmed().isEmpty()) return LoadErrorText(str::kTemplateNameEmpty);
    if (name.size() > TemplateListFile::kMaxName)
        return LoadErrorText(str::kTemplateNameTooLong).arg(TemplateListFile::kMaxName);
    if (name != name.trimmed()) return LoadErrorText(str::kTemplateNameOuterBlanks);
    for (QChar c : name)
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return LoadErrorText(str::kTemplateNameLineBreak);
    if (name.startsWith(u';') || name.startsWith(u'['))
        return LoadErrorText(str::kTemplateNameBadStart);
    if (section && name.contains(u']')) return LoadErrorText(str::kIndustryNameBracket);
    if (!section && name.contains(u'=')) return LoadErrorText(str::kTemplateNameEquals);
    return QString();
}

}  // namespace

bool SameListName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

TemplateListFile::TemplateListFile(const QString& path)
    : m_path(path.isEmpty() ? DefaultPath() : path) {}

QString TemplateListFile::DefaultPath() {
    const QString language = LanguageCode();
    return dataPath(language.isEmpty() ? QStringLiteral("qormodel.cfg")
                                       : language + QStringLiteral("/qormodel.cfg"));
}

QString TemplateListFile::Folder() const { return QFileInfo(m_path).absolutePath(); }

QString TemplateListFile::Resolve(const QString& value) const {
    return resolveListedPath(Folder(), value);
}

QStringList TemplateListFile::Industries() const { return IniFile(m_path).sections(); }

namespace {

TemplateIndustry readIndustry(const IniFile& ini, const TemplateListFile& list,
                              const QString& section) {
    TemplateIndustry t;
    t.industry = section;
    const QStringList keys = ini.keys(section);
    if (keys.size() == 1 && SameListName(keys.first(), kDefault)) return t;
    for (const QString& key : keys) {
        t.names << key;
        t.paths << list.Resolve(ini.readString(section, key));
    }
    return t;
}

}  // namespace

TemplateIndustry TemplateListFile::Industry(const QString& name) const {
    return readIndustry(IniFile(m_path), *this, name);
}

QVector<TemplateIndustry> TemplateListFile::ReadAll() const {
    const IniFile ini(m_path);
    QVector<TemplateIndustry> list;
    for (const QString& section : ini.sections()) list.append(readIndustry(ini, *this, section));
    return list;
}

QString TemplateListFile::IndustryNameProblem(const QString& name) { return nameProblem(name, true); }

QString TemplateListFile::TemplateNameProblem(const QString& name) { return nameProblem(name, false); }

bool TemplateListFile::WriteAll(const QVector<TemplateIndustry>& list, QString* error) const {
    auto fail = [&](const QString& text) {
        if (error) *error = text;
        return false;
    };
    QDir().mkpath(Folder());
    IniFile ini(m_path);
    for (const QString& section : ini.sections()) ini.removeSection(section);
    for (const TemplateIndustry& t : list) {
        if (const QString p = IndustryNameProblem(t.industry); !p.isEmpty())
            return fail(LoadErrorText(str::kIndustryNotSavedReason).arg(t.industry, p));
        if (t.names.isEmpty()) {
            if (!ini.setString(t.industry, kDefault, QString()))
                return fail(LoadErrorText(str::kIndustryNotSaved).arg(t.industry));
            continue;
        }
        for (int i = 0; i < t.names.size(); ++i) {
            const QString& name = t.names[i];
            if (const QString p = TemplateNameProblem(name); !p.isEmpty())
                return fail(LoadErrorText(str::kTemplateNotSavedReason).arg(name, p));
            if (!ini.setString(t.industry, name, t.paths.value(i)))
                return fail(LoadErrorText(str::kTemplatePathNotSaved).arg(name));
        }
    }
    if (!ini.save())
        return fail(LoadErrorText(str::kTemplateListNotWritten).arg(m_path));
    return true;
}

}  // namespace qor

#include <QFileInfo>

#include "engine/messages.h"

namespace qor {

namespace {

QString withName(int id, const QString& text) {
    QString message = LoadErrorText(id);
    message.replace(QStringLiteral("%s"), text);
    return message;
}

QString baseName(const QString& path) {
    const int slash = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    QString name = path.mid(slash + 1);
    const int dot = name.lastIndexOf(u'.');
    if (dot > 0) name.truncate(dot);
    return name;
}

}  // namespace

TemplateEntry TemplateFromEdits(const QString& name, const QString& path, const QString& folder) {
    if (!name.isEmpty()) return {name, path};
    if (path.contains(u'/') || path.contains(u'\\')) return {baseName(path), path};
    if (path.contains(u'.')) return {baseName(path), folder + u'/' + path};
    return {path, folder + u'/' + path + QStringLiteral(".rep")};
}

int AddTemplateFiles(TemplateIndustry& t, const QStringList& paths,
                     const std::function<bool(const QString&)>& check, QStringList* messages) {
    int added = 0;
    auto say = [&](const QString& text) {
        if (messages) *messages << text;
    };
    for (const QString& path : paths) {
        if (!QFileInfo(path).isFile()) {
            say(withName(str::kTemplateFileMissing, path));
            continue;
        }
        const QString name = baseName(path);
        bool listed = false;
        for (const QString& n : t.names) listed = listed || SameListName(n, name);
        if (listed) {
            say(withName(str::kTemplateExists, name));
            continue;
        }
        if (t.names.size() >= TemplateListFile::kMaxTemplates) {
            say(LoadErrorText(str::kTooManyTemplates)
                    .arg(TemplateListFile::kMaxTemplates)
                    .arg(name));
            continue;
        }
        if (const QString p = TemplateListFile::TemplateNameProblem(name); !p.isEmpty()) {
            say(LoadErrorText(str::kTemplateNotAdded).arg(name, p));
            continue;
        }
        if (check && !check(path)) continue;  // the check told the user
        t.names << name;
        t.paths << path;
        ++added;
    }
    return added;
}

}  // namespace qor

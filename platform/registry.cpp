#include "platform/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <limits>

#include "platform/inifile.h"

// Stored form: strings as they are; DWORDs as "dword:" and eight lower-case
// hex digits, the way registry exports write them, so a value copied from
// an export reads back as a number. Plain decimal text (hand-edited files)
// is read as a number too. The file is read again on every call because
// other processes of the system change it while we run.

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcRegistry, "qor.registry")

// Serialises read-modify-write within this process.
QMutex& writeLock() {
    static QMutex m;
    return m;
}

// "Software\\X\\" and "\\Software\\X" name the same key as "Software\X".
QString normalizeKey(const QString& key) {
    const QStringList parts = key.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
    QStringList kept;
    for (const QString& p : parts) {
        const QString t = p.trimmed();
        if (!t.isEmpty()) kept.append(t);
    }
    return kept.join(QLatin1Char('\\'));
}

bool isBelow(const QString& section, const QString& key) {
    if (key.isEmpty()) return true;
    return section.size() > key.size() + 1 && section.startsWith(key, Qt::CaseInsensitive) &&
           section.at(key.size()) == QLatin1Char('\\');
}

// The section that holds a key; hand-edited files may spell the path with
// stray backslashes.
QString sectionOf(const IniFile& f, const QString& key) {
    if (f.hasSection(key)) return key;
    for (const QString& s : f.sections())
        if (normalizeKey(s).compare(key, Qt::CaseInsensitive) == 0) return s;
    return key;
}

IniFile openRegistry() {
    IniFile f(Registry::filePath());
    // Plain UTF-8 so that installers and people can edit it with any tool.
    if (!f.exists()) f.setEncoding(IniFile::Encoding::Utf8);
    return f;
}

bool saveRegistry(IniFile& f) {
    QDir().mkpath(QFileInfo(f.path()).absolutePath());
    if (f.save()) return true;
    qCWarning(lcRegistry) << "cannot write the registry file" << f.path();
    return false;
}

bool parseDword(const QString& text, quint32* value) {
    QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString hex = t.mid(6).trimmed();
        if (hex.isEmpty() || hex.size() > 8) return false;
        *value = hex.toUInt(&ok, 16);
        return ok;
    }
    if (t.startsWith(QLatin1Char('-'))) {
        const qint64 n = t.toLongLong(&ok);
        if (!ok || n < std::numeric_limits<qint32>::min()) return false;
        *value = static_cast<quint32>(static_cast<qint32>(n));
        return true;
    }
    *value = t.toUInt(&ok, 10);
    return ok;
}

}  // namespace

QString Registry::filePath() {
    const QString env = qEnvironmentVariable("QOR_REGISTRY");
    if (!env.isEmpty()) return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/qor/registry.ini");
}

bool Registry::keyExists(const QString& key) {
    const QString k = normalizeKey(key);
    if (k.isEmpty()) return true;
    const IniFile f = openRegistry();
    for (const QString& s : f.sections()) {
        const QString n = normalizeKey(s);
        if (n.compare(k, Qt::CaseInsensitive) == 0 || isBelow(n, k)) return true;
    }
    return false;
}

QString Registry::readString(const QString& key, const QString& name, const QString& defaultValue) {
    const IniFile f = openRegistry();
    return f.readString(sectionOf(f, normalizeKey(key)), name, defaultValue);
}

quint32 Registry::readDword(const QString& key, const QString& name, quint32 defaultValue) {
    const IniFile f = openRegistry();
    const QString k = sectionOf(f, normalizeKey(key));
    if (!f.hasKey(k, name)) return defaultValue;
    quint32 v = 0;
    return parseDword(f.readString(k, name), &v) ? v : defaultValue;
}

bool Registry::writeString(const QString& key, const QString& name, const QString& value) {
    const QString k = normalizeKey(key);
    if (k.isEmpty()) return false;
    QMutexLocker lock(&writeLock());
    IniFile f = openRegistry();
    return f.setString(sectionOf(f, k), name, value) && saveRegistry(f);
}

bool Registry::writeDword(const QString& key, const QString& name, quint32 value) {
    return writeString(key, name, QStringLiteral("dword:%1").arg(value, 8, 16, QLatin1Char('0')));
}

bool Registry::deleteValue(const QString& key, const QString& name) {
    QMutexLocker lock(&writeLock());
    IniFile f = openRegistry();
    const QString k = sectionOf(f, normalizeKey(key));
    if (!f.hasKey(k, name)) return false;
    f.removeKey(k, name);
    return saveRegistry(f);
}

bool Registry::deleteKey(const QString& key) {
    const QString k = normalizeKey(key);
    // Deleting the root would wipe every setting of every program.
    if (k.isEmpty()) return false;
    QMutexLocker lock(&writeLock());
    IniFile f = openRegistry();
    bool found = false;
    for (const QString& s : f.sections()) {
        const QString n = normalizeKey(s);
        if (n.compare(k, Qt::CaseInsensitive) == 0 || isBelow(n, k)) {
            f.removeSection(s);
            found = true;
        }
    }
    return found && saveRegistry(f);
}

QStringList Registry::subKeys(const QString& key) {
    const QString k = normalizeKey(key);
    const IniFile f = openRegistry();
    QStringList out;
    QSet<QString> seen;
    for (const QString& s : f.sections()) {
        const QString n = normalizeKey(s);
        if (!isBelow(n, k)) continue;
        const QString rest = k.isEmpty() ? n : n.mid(k.size() + 1);
        const QString child = rest.section(QLatin1Char('\\'), 0, 0);
        const QString folded = child.toCaseFolded();
        if (seen.contains(folded)) continue;
        seen.insert(folded);
        out.append(child);
    }
    return out;
}

QStringList Registry::valueNames(const QString& key) {
    const IniFile f = openRegistry();
    return f.keys(sectionOf(f, normalizeKey(key)));
}

}  // namespace qor

#include "platform/registry.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>
#include <limits>
#include <optional>

#include "platform/inifile.h"

// Stored form: strings as they are; DWORDs as "dword:" and eight lower-case
// hex digits, the way registry exports write them, so a value copied from
// an export reads back as a number. Plain decimal text (hand-edited files)
// is read as a number too. Other processes of the system change the file
// while we run: it is read again whenever it changed on disk since we last
// saw it (its identity, size or time stamp), and otherwise served from
// memory. A write that changes nothing writes nothing; inside a
// Registry::Batch the changes are saved once, when the batch ends.

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
    // Owner-only always: connection texts with their passwords ("PWD=...")
    // and the mail password are stored here by whoever needs them, and a
    // file that is private only once some writer remembers to make it so
    // is readable by all until then.
    if (f.save(/*ownerOnly=*/true)) return true;
    qCWarning(lcRegistry) << "cannot write the registry file" << f.path();
    return false;
}

// The registry file as last read or written, and what the file on disk
// looked like then. Guarded by writeLock().
struct Cache {
    QString path;
    bool valid = false;
    bool present = false;
    struct stat st {};
    std::optional<IniFile> file;
    int batchDepth = 0;
    bool dirty = false;
};

Cache& cache() {
    static Cache c;
    return c;
}

bool sameStat(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

void remember(Cache& c) {
    c.present = ::stat(QFile::encodeName(c.path).constData(), &c.st) == 0;
    c.valid = true;
}

// The registry, read again only when the file changed (writeLock() held).
IniFile& current() {
    Cache& c = cache();
    const QString path = Registry::filePath();
    // Changes not yet saved by a batch are the newest state we know.
    if (c.valid && c.path == path && c.dirty) return *c.file;
    struct stat st {};
    const bool present = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (!c.valid || c.path != path || present != c.present || (present && !sameStat(st, c.st))) {
        c.path = path;
        c.dirty = false;
        c.file.emplace(openRegistry());
        remember(c);
    }
    return *c.file;
}

// Saves a change now, or at the end of the batch (writeLock() held).
bool commitChange() {
    Cache& c = cache();
    if (c.batchDepth > 0) {
        c.dirty = true;
        return true;
    }
    const bool ok = saveRegistry(*c.file);
    // A failed save is not what the disk holds: read it again next time.
    if (ok)
        remember(c);
    else
        c.valid = false;
    return ok;
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
    QMutexLocker lock(&writeLock());
    const IniFile& f = current();
    for (const QString& s : f.sections()) {
        const QString n = normalizeKey(s);
        if (n.compare(k, Qt::CaseInsensitive) == 0 || isBelow(n, k)) return true;
    }
    return false;
}

QString Registry::readString(const QString& key, const QString& name, const QString& defaultValue) {
    QMutexLocker lock(&writeLock());
    const IniFile& f = current();
    return f.readString(sectionOf(f, normalizeKey(key)), name, defaultValue);
}

quint32 Registry::readDword(const QString& key, const QString& name, quint32 defaultValue) {
    QMutexLocker lock(&writeLock());
    const IniFile& f = current();
    const QString k = sectionOf(f, normalizeKey(key));
    if (!f.hasKey(k, name)) return defaultValue;
    quint32 v = 0;
    return parseDword(f.readString(k, name), &v) ? v : defaultValue;
}

bool Registry::writeString(const QString& key, const QString& name, const QString& value) {
    const QString k = normalizeKey(key);
    if (k.isEmpty()) return false;
    QMutexLocker lock(&writeLock());
    IniFile& f = current();
    const QString section = sectionOf(f, k);
    // Most writes at start-up store what is there already.
    if (f.hasKey(section, name) && f.readString(section, name) == value) return true;
    if (!f.setString(section, name, value)) return false;
    return commitChange();
}

bool Registry::writeDword(const QString& key, const QString& name, quint32 value) {
    return writeString(key, name, QStringLiteral("dword:%1").arg(value, 8, 16, QLatin1Char('0')));
}

bool Registry::deleteValue(const QString& key, const QString& name) {
    QMutexLocker lock(&writeLock());
    IniFile& f = current();
    const QString k = sectionOf(f, normalizeKey(key));
    if (!f.hasKey(k, name)) return false;
    f.removeKey(k, name);
    return commitChange();
}

bool Registry::deleteKey(const QString& key) {
    const QString k = normalizeKey(key);
    // Deleting the root would wipe every setting of every program.
    if (k.isEmpty()) return false;
    QMutexLocker lock(&writeLock());
    IniFile& f = current();
    bool found = false;
    for (const QString& s : f.sections()) {
        const QString n = normalizeKey(s);
        if (n.compare(k, Qt::CaseInsensitive) == 0 || isBelow(n, k)) {
            f.removeSection(s);
            found = true;
        }
    }
    return found && commitChange();
}

QStringList Registry::subKeys(const QString& key) {
    const QString k = normalizeKey(key);
    QMutexLocker lock(&writeLock());
    const IniFile& f = current();
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
    QMutexLocker lock(&writeLock());
    const IniFile& f = current();
    return f.keys(sectionOf(f, normalizeKey(key)));
}

Registry::Batch::Batch() {
    QMutexLocker lock(&writeLock());
    ++cache().batchDepth;
}

Registry::Batch::~Batch() { finish(); }

bool Registry::Batch::finish() {
    if (m_done) return m_ok;
    m_done = true;
    QMutexLocker lock(&writeLock());
    Cache& c = cache();
    if (--c.batchDepth > 0 || !c.dirty) return m_ok = true;
    c.dirty = false;
    m_ok = saveRegistry(*c.file);
    if (m_ok)
        remember(c);
    else
        c.valid = false;
    return m_ok;
}

}  // namespace qor

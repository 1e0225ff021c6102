#include "engine/workfiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <cerrno>
#include <mutex>

#include "engine/messages.h"
#include "engine/paths.h"
#include "platform/datadir.h"
#include "platform/safefile.h"

namespace qor {

namespace {

const QString& lockSuffix() {
    static const QString s = QStringLiteral(".lock");
    return s;
}

// Working files, and the scratch folders of CreateWorkFolder.
constexpr QDir::Filters kEntries =
    QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;

// A working file, or a scratch folder with everything in it (a link in it
// is removed, never followed).
void removeEntry(const QString& path) {
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        QDir(path).removeRecursively();
    else
        ::unlink(QFile::encodeName(path).constData());
}

Q_LOGGING_CATEGORY(lcWork, "qor.work")

// A folder holds working copies only when nobody but this user can put,
// swap or remove a file in it: a real folder (not a link to one), ours,
// with no write permission for group or others.
bool isPrivateFolder(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 022) == 0;
}

// The folders above it must not let anyone else rename it away and put
// another in its place: owned by us or by root, and writable by others
// only with the sticky bit (as the temporary folder is).
bool hasSafeAncestors(const QString& dir) {
    QString cur = QFileInfo(dir).absolutePath();
    for (;;) {
        struct stat st {};
        if (::stat(QFile::encodeName(cur).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        if (st.st_uid != 0 && st.st_uid != ::geteuid()) return false;
        if ((st.st_mode & 022) && !(st.st_mode & S_ISVTX)) return false;
        if (cur == QLatin1String("/")) return true;
        const QString up = QFileInfo(cur).absolutePath();
        if (up == cur) return true;
        cur = up;
    }
}

// Makes the folder when it is missing (0700), and takes away from one of
// ours made under a looser umask the permissions in strip; true when it is
// then private.
bool ensurePrivateFolder(const QString& dir, mode_t strip = 077) {
    const QByteArray name = QFile::encodeName(dir);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
        (st.st_mode & strip))
        ::fchmod(fd, st.st_mode & 07777 & ~strip);
    ::close(fd);
    return isPrivateFolder(name);
}

// The folders passed over by this process, and how many of them it has
// told of: someone may be trying to get at the user's reports, which the
// user hears once, in one line, however often the folder is looked for.
std::mutex g_toldMutex;
QStringList g_passedOver;
qsizetype g_told = 0;

void notePassedOver(const QString& dir) {
    if (!QFileInfo::exists(dir) || isPrivateFolder(QFile::encodeName(dir))) return;
    std::lock_guard lock(g_toldMutex);
    if (!g_passedOver.contains(dir)) g_passedOver << dir;
}

// One line for everything passed over since the last one: the first
// folder by name and how many more.
void tellPassedOver() {
    std::lock_guard lock(g_toldMutex);
    if (g_told == g_passedOver.size()) return;
    const QString first = QDir::toNativeSeparators(g_passedOver[g_told]);
    const qsizetype more = g_passedOver.size() - g_told - 1;
    g_told = g_passedOver.size();
    const QString text = more == 0
                             ? LoadErrorText(str::kWorkFolderPassedOver).arg(first)
                             : LoadErrorText(str::kWorkFoldersPassedOver).arg(first).arg(more);
    qCWarning(lcWork).noquote() << text;
}

// The prefix of the fresh folders made when every usual name is taken:
// "<temp>/qor-work-<uid>-", followed by six letters or digits.
QString freshPrefix(const QString& temp) {
    return temp + QStringLiteral("/qor-work-%1-").arg(::geteuid());
}

// The fresh folder of this process: it holds nothing another process
// could want, so it goes when the process ends (files first, by the
// session below, which is destroyed before it).
// Set when the folder has gone at the end: whatever still asks for a work
// folder then (a document that lives until the very end) gets none,
// rather than a new folder nobody would remove.
bool g_freshEnded = false;

class FreshFolder {
public:
    ~FreshFolder() {
        remove();
        g_freshEnded = true;
    }
    QString get(const QString& temp, bool create) {
        std::lock_guard lock(m_mutex);
        if (!m_path.isEmpty() && isPrivateFolder(QFile::encodeName(m_path))) return m_path;
        m_path.clear();
        if (!create) return {};
        QByteArray pattern = QFile::encodeName(freshPrefix(temp) + QStringLiteral("XXXXXX"));
        if (::mkdtemp(pattern.data())) m_path = QFile::decodeName(pattern);
        return m_path;
    }
    void remove() {
        std::lock_guard lock(m_mutex);
        if (m_path.isEmpty()) return;
        if (isPrivateFolder(QFile::encodeName(m_path))) QDir(m_path).removeRecursively();
        m_path.clear();
    }

private:
    std::mutex m_mutex;
    QString m_path;
};

FreshFolder g_fresh;

// create false: a fresh folder is not made when every usual name is
// taken (looking for orphans needs none).
QString folderFor(const QString& dataDir, bool create = true) {
    if (!dataDir.isEmpty()) {
        // Working copies are the user's reports: for the user's eyes only,
        // and the data folder they lie in is checked as well.
        const QString home = QDir::cleanPath(dataDir);
        const QString dir = QDir::cleanPath(home + QStringLiteral("/work"));
        if (isPrivateFolder(QFile::encodeName(home)) && hasSafeAncestors(home) &&
            ensurePrivateFolder(dir))
            return dir;
        for (const QString& d : {home, dir}) notePassedOver(d);
    }
    // No usable data folder: a folder of this user's own in the temporary
    // folder. Anyone may make a folder there under the name we would use,
    // so one that is not ours is passed over for the next name; the names
    // stay the same from run to run, so what a killed run left is found
    // and swept by the next.
    const QString temp = QDir::cleanPath(QDir::tempPath());
    if (!hasSafeAncestors(temp + QStringLiteral("/x"))) {
        static std::once_flag told;
        std::call_once(told, [&] {
            qCWarning(lcWork).noquote()
                << LoadErrorText(str::kTempFolderUnsafe).arg(QDir::toNativeSeparators(temp));
        });
        return {};
    }
    const QString base = temp + QStringLiteral("/qor-work-%1").arg(::geteuid());
    for (int i = 0; i < 10; ++i) {
        const QString dir = i == 0 ? base : base + QStringLiteral("-%1").arg(i);
        if (ensurePrivateFolder(dir)) {
            tellPassedOver();
            return dir;
        }
        notePassedOver(dir);
    }
    tellPassedOver();
    // Every one of them taken by someone else: a fresh one for this run.
    if (g_freshEnded) return {};
    return g_fresh.get(temp, create);
}

// This process's token and lock in one work folder. The files are removed
// when the process ends normally (static destruction runs on exit()).
class Session {
public:
    ~Session() { removeAll(); }

    // The token for the folder, taking the lock first when needed; empty
    // when no lock file can be made there.
    QString token(const QString& folder) {
        if (m_folder == folder && m_fd >= 0) return m_token;
        removeAll();
        for (int i = 0; i < 20; ++i) {
            const QString token =
                QString::number(QRandomGenerator::system()->generate64(), 16).rightJustified(16, '0');
            const QString path = folder + QLatin1Char('/') + token + lockSuffix();
            const int fd = ::open(QFile::encodeName(path).constData(),
                                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0) {
                if (errno == EEXIST) continue;
                return {};
            }
            // A sweeper may remove the new lock file in the instant before
            // it is locked: such a token is given up.
            if (TryLockFile(fd) == LockResult::Locked && IsSameFile(fd, path, false)) {
                m_folder = folder;
                m_token = token;
                m_fd = fd;
                return token;
            }
            ::close(fd);
        }
        return {};
    }

    bool holds(const QString& folder) const { return m_fd >= 0 && m_folder == folder; }

    void removeAll() {
        if (m_fd < 0) return;
        const QDir d(m_folder);
        for (const QString& name : d.entryList({m_token + QStringLiteral("-*")}, kEntries))
            removeEntry(d.filePath(name));
        // The lock file last, while still locked.
        ::unlink(QFile::encodeName(d.filePath(m_token + lockSuffix())).constData());
        ::close(m_fd);
        m_fd = -1;
        m_token.clear();
    }

private:
    QString m_folder;
    QString m_token;
    int m_fd = -1;
};

std::mutex g_mutex;
Session g_session;

int sweep(const QString& folder, const QString& ownToken) {
    const QDir d(folder);
    const QStringList names = d.entryList(kEntries);
    QStringList live, dead;
    for (const QString& name : names) {
        if (!name.endsWith(lockSuffix())) continue;
        const QString token = name.chopped(lockSuffix().size());
        if (token == ownToken) {
            live << token;
            continue;
        }
        const QString path = d.filePath(name);
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (TryLockFile(fd) == LockResult::Locked && IsSameFile(fd, path, false)) {
            dead << token;
            // Held until its files are gone, so no one else sweeps them too.
            for (const QString& other : names)
                if (other.startsWith(token + QLatin1Char('-'))) removeEntry(d.filePath(other));
            ::unlink(QFile::encodeName(path).constData());
        } else {
            live << token;
        }
        ::close(fd);
    }
    int removed = 0;
    for (const QString& name : names) {
        if (name.endsWith(lockSuffix())) continue;
        if (name.startsWith(QLatin1Char('.'))) {
            // A temporary of a save onto a report kept here (a new
            // document's): locked while its writer lives.
            const QString path = d.filePath(name);
            const int fd =
                ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
            if (fd < 0) continue;
            if (TryLockFile(fd) == LockResult::Locked && IsSameFile(fd, path, false) &&
                ::unlink(QFile::encodeName(path).constData()) == 0)
                ++removed;
            ::close(fd);
            continue;
        }
        const qsizetype dash = name.indexOf(QLatin1Char('-'));
        const QString token = dash > 0 ? name.left(dash) : QString();
        if (dead.contains(token)) {
            ++removed;
            continue;
        }
        // A live process makes its lock file before any file of its own,
        // and removes it after them: a file without one was left behind.
        // Files fresh from the last few seconds are left for the next
        // sweep, in case their lock file was just being made again.
        if (live.contains(token)) continue;
        const QString path = d.filePath(name);
        if (!QFile::exists(d.filePath(token + lockSuffix())) &&
            QFileInfo(path).lastModified().secsTo(QDateTime::currentDateTime()) > 5) {
            removeEntry(path);
            ++removed;
        }
    }
    return removed;
}

}  // namespace

QString WorkFolder() { return folderFor(dataDir()); }

int CreateWorkFile(const QString& suffix, QString* path) {
    const QString folder = WorkFolder();
    if (folder.isEmpty()) {
        errno = EACCES;
        return -1;
    }
    std::lock_guard lock(g_mutex);
    const bool fresh = !g_session.holds(folder);
    const QString token = g_session.token(folder);
    // What killed processes left is swept when a process starts to work.
    if (fresh && !token.isEmpty()) sweep(folder, token);
    if (token.isEmpty()) {
        if (!errno) errno = EACCES;
        return -1;
    }
    return CreateUniqueFile(folder, token + QLatin1Char('-'), suffix, 0600, path);
}

QString CreateWorkFolder() {
    // The token's lock is taken (and the folder swept) as for a file.
    QString marker;
    const int fd = CreateWorkFile(QStringLiteral(".d"), &marker);
    if (fd < 0) return {};
    ::close(fd);
    // The file's unique name serves the folder: the name is ours alone.
    const QByteArray name = QFile::encodeName(marker);
    if (::unlink(name.constData()) != 0 || ::mkdir(name.constData(), 0700) != 0) return {};
    return marker;
}

namespace {

// The fresh folders of processes that were killed: whatever of theirs
// the sweep leaves (a live process's lock file) keeps a folder; an empty
// one a few seconds old goes (a younger one may be between its making and
// its lock file).
int sweepFreshFolders(const QString& ownToken) {
    const QString temp = QDir::cleanPath(QDir::tempPath());
    if (!hasSafeAncestors(temp + QStringLiteral("/x"))) return 0;
    const QString prefix = freshPrefix(temp);
    const QString own = g_freshEnded ? QString() : g_fresh.get(temp, false);
    const QString namePrefix = QFileInfo(prefix + QLatin1Char('x')).fileName().chopped(1);
    int removed = 0;
    for (const QString& name :
         QDir(temp).entryList({namePrefix + QStringLiteral("??????")},
                              QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)) {
        const QString dir = temp + QLatin1Char('/') + name;
        if (dir == own || !isPrivateFolder(QFile::encodeName(dir))) continue;
        // Its age before the sweep, which makes it look new again.
        const bool old = QFileInfo(dir).lastModified().secsTo(QDateTime::currentDateTime()) > 5;
        removed += sweep(dir, ownToken);
        if (old && ::rmdir(QFile::encodeName(dir).constData()) == 0)
            ++removed;
    }
    return removed;
}

}  // namespace

int SweepOrphanedWorkFiles() {
    const QString folder = folderFor(dataDir(), false);
    std::lock_guard lock(g_mutex);
    // Where the older layout kept working copies: what a killed process
    // left there is found until the folder has moved (MoveLegacyDataFolders).
    int removed = 0;
    const QString legacy = legacyDataFolder(QStringLiteral("work"));
    if (legacy != folder && isPrivateFolder(QFile::encodeName(legacy)) && hasSafeAncestors(legacy))
        removed += sweep(legacy, QString());
    const QString ownToken = g_session.holds(folder) ? g_session.token(folder) : QString();
    removed += sweepFreshFolders(ownToken);
    if (folder.isEmpty()) return removed;
    return removed + sweep(folder, ownToken);
}

}  // namespace qor

#include "platform/safefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

namespace qor {

namespace {

constexpr int kNameTries = 100;
constexpr int kRandomChars = 6;

std::mutex g_hookMutex;
QByteArray g_nextName;

QByteArray randomPart(bool first) {
    if (first) {
        std::lock_guard lock(g_hookMutex);
        if (!g_nextName.isEmpty()) return g_nextName;
    }
    static const char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray part(kRandomChars, '\0');
    for (char& c : part) c = kAlphabet[QRandomGenerator::system()->bounded(62)];
    return part;
}

QByteArray encoded(const QString& path) { return QFile::encodeName(path); }

// The name part the temporaries of a target share: ".<name>." with the
// name cut so that the whole stays within a file name's 255 bytes.
QString temporaryPrefix(const QString& target) {
    QString name = QFileInfo(target).fileName();
    while (QFile::encodeName(name).size() > 200) name.chop(1);
    return QLatin1Char('.') + name + QLatin1Char('.');
}

const QString& temporarySuffix() {
    static const QString s = QStringLiteral(".tmp");
    return s;
}

bool syncFolderOf(const QString& path) {
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// The mode a file written over target gets.
mode_t modeFor(const QString& target) {
    struct stat st {};
    if (::lstat(encoded(target).constData(), &st) == 0 && S_ISREG(st.st_mode))
        return st.st_mode & 07777;
    return DefaultFileMode();
}

// Gives the file behind fd the owner and group of the regular file at
// target, when there is one and they differ: a file saved over keeps
// whose it is. 0, or errno (EPERM when this account may not give the file
// away, or may not put it in that group).
int keepOwner(int fd, const QString& target) {
    struct stat old {}, now {};
    if (::lstat(encoded(target).constData(), &old) != 0 || !S_ISREG(old.st_mode)) return 0;
    if (::fstat(fd, &now) != 0) return errno;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return 0;
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 ? 0 : errno;
}

// Gives the file behind fd the extended attributes of the regular file at
// target: its access control list (system.posix_acl_access) and the
// user's own attributes travel with the report. 0, or errno of an
// attribute that could not be carried; those the system keeps for itself
// (security.*, trusted.*) are left to it.
int keepAttributes(int fd, const QString& target) {
    const QByteArray path = encoded(target);
    struct stat old {};
    if (::lstat(path.constData(), &old) != 0 || !S_ISREG(old.st_mode)) return 0;
    const ssize_t size = ::llistxattr(path.constData(), nullptr, 0);
    if (size <= 0) return size < 0 && errno != ENOTSUP ? errno : 0;
    QByteArray names(size, '\0');
    const ssize_t got = ::llistxattr(path.constData(), names.data(), size_t(names.size()));
    if (got < 0) return errno;
    for (const QByteArray& name : names.left(got).split('\0')) {
        if (name.isEmpty()) continue;
        const bool ours = name.startsWith("user.") || name.startsWith("system.");
        const ssize_t length = ::lgetxattr(path.constData(), name.constData(), nullptr, 0);
        if (length < 0) {
            if (ours) return errno;
            continue;
        }
        QByteArray value(length, '\0');
        const ssize_t read =
            ::lgetxattr(path.constData(), name.constData(), value.data(), size_t(value.size()));
        if ((read < 0 || ::fsetxattr(fd, name.constData(), value.constData(), size_t(read), 0) != 0) &&
            ours)
            return errno;
    }
    return 0;
}

// ".<name>.XXXXXX.tmp": the shape of every SafeFileWriter temporary.
bool hasTemporaryShape(const QString& name) {
    const qsizetype tail = 1 + kRandomChars + temporarySuffix().size();
    if (name.size() < 2 + tail || !name.startsWith(QLatin1Char('.')) ||
        !name.endsWith(temporarySuffix()))
        return false;
    const qsizetype dot = name.size() - tail;
    if (name.at(dot) != QLatin1Char('.')) return false;
    for (qsizetype i = dot + 1; i < dot + 1 + kRandomChars; ++i) {
        const char16_t c = name.at(i).unicode();
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')))
            return false;
    }
    return true;
}

// Removes the temporary at path when it is a regular file of this user's
// whose lock nobody holds, and still the file at that name once we hold
// the lock ourselves.
bool removeIfStale(const QString& path) {
    const int fd = ::open(encoded(path).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool removed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                         TryLockFile(fd) == LockResult::Locked && IsSameFile(fd, path, false) &&
                         ::unlink(encoded(path).constData()) == 0;
    ::close(fd);
    return removed;
}

// The names in folder that pass keep.
template <typename Keep>
QStringList namesIn(const QString& folder, Keep keep) {
    QStringList files;
    DIR* d = ::opendir(encoded(folder).constData());
    if (!d) return files;
    while (dirent* e = ::readdir(d)) {
        const QString name = QFile::decodeName(e->d_name);
        if (keep(name)) files << folder + QLatin1Char('/') + name;
    }
    ::closedir(d);
    return files;
}

bool renameOnto(const QString& from, const QString& to, bool noReplace) {
    // Only a file (or a link, which is replaced, never followed) gives way
    // to a save: a rename onto a device, a pipe or a socket would swap out
    // the node itself (a save "to /dev/null" run as root would leave a
    // plain file there for every other program).
    struct stat st {};
    if (!noReplace && ::lstat(encoded(to).constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISLNK(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        return false;
    }
    if (noReplace)
        return ::renameat2(AT_FDCWD, encoded(from).constData(), AT_FDCWD, encoded(to).constData(),
                           RENAME_NOREPLACE) == 0;
    return ::rename(encoded(from).constData(), encoded(to).constData()) == 0;
}

}  // namespace

void SetTemporaryNameForTests(const QByteArray& part) {
    std::lock_guard lock(g_hookMutex);
    g_nextName = part;
}

mode_t DefaultFileMode() {
    // The kernel tells the umask without changing it (which would race
    // with other threads creating files).
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return 0666 & ~mode_t(mask);
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

int CreateUniqueFile(const QString& dir, const QString& prefix, const QString& suffix,
                     mode_t mode, QString* path) {
    const QString base = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    for (int i = 0; i < kNameTries; ++i) {
        const QString name = base + prefix + QString::fromLatin1(randomPart(i == 0)) + suffix;
        const int fd = ::open(encoded(name).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0) {
            // The mode given is what the file must have, whatever the umask.
            ::fchmod(fd, mode);
            if (path) *path = name;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

LockResult TryLockFile(int fd, bool exclusive) {
    struct flock fl {};
    fl.l_type = exclusive ? F_WRLCK : F_RDLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0) return LockResult::Locked;
    return errno == EAGAIN || errno == EACCES ? LockResult::Busy : LockResult::Failed;
}

bool IsFileLocked(const QString& path) {
    const int fd = ::open(encoded(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_OFD_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

bool IsSameFile(int fd, const QString& path, bool followLinks) {
    struct stat a {}, b {};
    if (::fstat(fd, &a) != 0) return false;
    const int r = followLinks ? ::stat(encoded(path).constData(), &b)
                              : ::lstat(encoded(path).constData(), &b);
    return r == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int OpenRegularFile(const QString& path, int flags) {
    const QByteArray name = encoded(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) return -1;
    // Looked at before the open, so that nothing at the other end of a
    // FIFO or a device sees us, and again on what was opened, in case the
    // name changed meanwhile (O_NONBLOCK keeps that open from waiting).
    const auto refuse = [](const struct stat& s) {
        if (S_ISREG(s.st_mode)) return false;
        errno = S_ISDIR(s.st_mode) ? EISDIR : ENODEV;
        return true;
    };
    if (refuse(st)) return -1;
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || refuse(st) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

bool LinkSafeToFollow(const QString& path) {
    QString at = QFileInfo(path).absoluteFilePath();
    // As many links as the kernel follows in one name before ELOOP.
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link {};
        if (::lstat(encoded(at).constData(), &link) != 0 || !S_ISLNK(link.st_mode)) return true;
        const QString folder = QFileInfo(at).absolutePath();
        struct stat dir {};
        if (::stat(encoded(folder).constData(), &dir) != 0) return false;
        const uid_t me = ::geteuid();
        const bool othersWrite = dir.st_uid != me || (dir.st_mode & (S_IWGRP | S_IWOTH));
        if (othersWrite && link.st_uid != me && link.st_uid != dir.st_uid) return false;
        QByteArray target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(encoded(at).constData(), target.data(), size_t(target.size()));
        if (n <= 0 || n >= target.size()) return false;
        target.truncate(n);
        // A relative link counts from its own folder; ".." is left to the
        // next lstat, which resolves it as the kernel would.
        at = QDir(folder).absoluteFilePath(QFile::decodeName(target));
    }
    return false;
}

// ---------------------------------------------------------------------------

SafeFileWriter::SafeFileWriter(const QString& target)
    : m_target(QFileInfo(target).absoluteFilePath()) {}

SafeFileWriter::~SafeFileWriter() { cancel(); }

bool SafeFileWriter::open() {
    cancel();
    m_error = 0;
    m_committed = false;
    const QString dir = QFileInfo(m_target).absolutePath();
    const QString prefix = temporaryPrefix(m_target);
    for (int i = 0; i < kNameTries; ++i) {
        // Private until the rename: nobody reads half a file.
        m_fd = CreateUniqueFile(dir, prefix, temporarySuffix(), 0600, &m_temp);
        if (m_fd < 0) {
            m_error = errno ? errno : EIO;
            m_temp.clear();
            return false;
        }
        // A sweeper may have taken the new name for a dead writer's
        // temporary in the instant before the lock: then start afresh.
        if (TryLockFile(m_fd) == LockResult::Locked && IsSameFile(m_fd, m_temp, false)) return true;
        ::close(m_fd);
        m_fd = -1;
        m_temp.clear();
    }
    m_error = EAGAIN;
    return false;
}

bool SafeFileWriter::openLinkTo(int fd) {
    cancel();
    m_error = 0;
    m_committed = false;
    // An open file description of our own holds the lock, taken before
    // the name is made, so no sweeper can take the new temporary for a
    // dead writer's; the caller's descriptor stays as it was.
    m_fd = ::open(encoded(HandlePath(fd)).constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = errno ? errno : EIO;
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        TryLockFile(m_fd) != LockResult::Locked) {
        m_error = errno ? errno : EAGAIN;
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    const QString base =
        QFileInfo(m_target).absolutePath() + QLatin1Char('/') + temporaryPrefix(m_target);
    const QByteArray from = encoded(HandlePath(m_fd));
    for (int i = 0; i < kNameTries; ++i) {
        // A link never follows one planted at its new name, and fails on a
        // name that exists, as an exclusive create does.
        const QString name = base + QString::fromLatin1(randomPart(i == 0)) + temporarySuffix();
        if (::linkat(AT_FDCWD, from.constData(), AT_FDCWD, encoded(name).constData(),
                     AT_SYMLINK_FOLLOW) == 0) {
            m_temp = name;
            return true;
        }
        if (errno != EEXIST) break;
    }
    m_error = errno ? errno : EEXIST;
    ::close(m_fd);
    m_fd = -1;
    return false;
}

namespace {

struct WriteFault {
    qint64 limit = -1;
    int error = ENOSPC;
};
WriteFault g_writeFault;

bool writeFaultReached(quint64 written, size_t more, int* error) {
    if (g_writeFault.limit < 0 || qint64(written + more) <= g_writeFault.limit) return false;
    *error = g_writeFault.error;
    return true;
}

}  // namespace

void SetWriteFaultAfterBytes(qint64 bytes, int errorNumber) {
    g_writeFault.limit = bytes;
    g_writeFault.error = errorNumber;
}

bool SafeFileWriter::write(const char* data, size_t size) {
    if (m_fd < 0 || m_committed) {
        if (!m_error) m_error = EBADF;
        return false;
    }
    if (m_error) return false;
    if (writeFaultReached(m_written, size, &m_error)) return false;
    m_written += size;
    while (size) {
        const ssize_t n = ::write(m_fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            m_error = errno;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

void SafeFileWriter::fail(int errorNumber) {
    if (!m_error) m_error = errorNumber ? errorNumber : EIO;
}

bool SafeFileWriter::commit(bool noReplace) {
    if (m_fd < 0 || m_committed) {
        if (!m_error) m_error = EBADF;
        return false;
    }
    if (m_error) {
        cancel();
        return false;
    }
    const mode_t mode = m_mode != mode_t(-1) ? m_mode : modeFor(m_target);
    // The owner first: a change of owner clears the set-id bits the mode
    // then puts back.
    if (!noReplace) {
        if (const int e = keepOwner(m_fd, m_target)) {
            m_error = e;
            m_ownerNotKept = e == EPERM;
            cancel();
            return false;
        }
    }
    errno = 0;
    // The attributes after the mode: an access list sets the group bits
    // of the mode to its mask, as they stood on the file replaced.
    if (::fchmod(m_fd, mode) != 0) {
        m_error = errno ? errno : EIO;
        cancel();
        return false;
    }
    if (!noReplace && m_mode == mode_t(-1)) {
        if (const int e = keepAttributes(m_fd, m_target)) {
            m_error = e;
            cancel();
            return false;
        }
    }
    errno = 0;
    if (::fsync(m_fd) != 0 || !renameOnto(m_temp, m_target, noReplace)) {
        m_error = errno ? errno : EIO;
        cancel();
        return false;
    }
    m_committed = true;
    syncFolderOf(m_target);
    SweepFolderOnce(QFileInfo(m_target).absolutePath());
    return true;
}

int SafeFileWriter::takeHandle() {
    if (!m_committed) return -1;
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void SafeFileWriter::cancel() {
    if (m_fd >= 0) {
        // Removed while still locked, so no sweeper can mistake it for a
        // dead writer's file and remove somebody else's in its place.
        if (!m_committed && !m_temp.isEmpty()) ::unlink(encoded(m_temp).constData());
        ::close(m_fd);
    }
    m_fd = -1;
    if (!m_committed) m_temp.clear();
}

QString SafeFileWriter::errorString() const {
    return m_error ? QString::fromLocal8Bit(std::strerror(m_error)) : QString();
}

bool WriteFileSafely(const QString& target, const QByteArray& bytes, int* errorNumber) {
    SafeFileWriter w(target);
    const bool ok = w.open() && w.write(bytes) && w.commit();
    if (!ok && errorNumber) *errorNumber = w.error() ? w.error() : EIO;
    return ok;
}

// ---------------------------------------------------------------------------

QString HandlePath(int fd) { return QStringLiteral("/proc/self/fd/%1").arg(fd); }

int SweepStaleTemporaries(const QString& target) {
    const QString abs = QFileInfo(target).absoluteFilePath();
    const QString prefix = temporaryPrefix(abs);
    int removed = 0;
    for (const QString& f : namesIn(QFileInfo(abs).absolutePath(), [&](const QString& name) {
             return name.startsWith(prefix) && hasTemporaryShape(name) &&
                    name.size() == prefix.size() + kRandomChars + temporarySuffix().size();
         }))
        removed += removeIfStale(f) ? 1 : 0;
    return removed;
}

int SweepStaleTemporariesIn(const QString& folder) {
    int removed = 0;
    for (const QString& f : namesIn(QDir(folder).absolutePath(), hasTemporaryShape))
        removed += removeIfStale(f) ? 1 : 0;
    return removed;
}

void SweepFolderOnce(const QString& folder) {
    static std::mutex mutex;
    static std::set<QString> swept;
    const QString abs = QDir(folder).absolutePath();
    {
        std::lock_guard lock(mutex);
        if (!swept.insert(abs).second) return;
    }
    SweepStaleTemporariesIn(abs);
}

bool MoveFileInto(const QString& from, const QString& target, int* errorNumber, bool replace) {
    auto failed = [errorNumber](int e) {
        if (errorNumber) *errorNumber = e ? e : EIO;
        return false;
    };
    const int in = ::open(encoded(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) return failed(errno);
    // As a SafeFileWriter commit leaves it: the permissions of the file it
    // replaces, else the default ones, and on the disk before it has the
    // name.
    if (const int e = replace ? keepOwner(in, target) : 0) {
        ::close(in);
        return failed(e);
    }
    if (::fchmod(in, modeFor(target)) != 0) {
        const int e = errno;
        ::close(in);
        return failed(e);
    }
    if (const int e = replace ? keepAttributes(in, target) : 0) {
        ::close(in);
        return failed(e);
    }
    if (::fsync(in) != 0) {
        const int e = errno;
        ::close(in);
        return failed(e);
    }
    if (renameOnto(from, target, !replace)) {
        ::close(in);
        syncFolderOf(target);
        SweepFolderOnce(QFileInfo(target).absolutePath());
        return true;
    }
    if (errno != EXDEV) {
        const int e = errno;
        ::close(in);
        return failed(e);
    }
    SafeFileWriter out(target);
    bool ok = out.open();
    char buffer[1 << 16];
    while (ok) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) out.fail(errno);
        if (n <= 0) break;
        ok = out.write(buffer, size_t(n));
    }
    ::close(in);
    if (!out.commit(!replace)) return failed(out.error());
    ::unlink(encoded(from).constData());
    return true;
}

}  // namespace qor

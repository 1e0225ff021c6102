#pragma once
// Writing files so that a crash, a full disk or a hostile folder never
// costs the file that was there.
//
// Every file the system saves goes to a new temporary file beside the
// target, made with a random name that did not exist before (exclusive
// create, no link followed), is synced, and is then renamed onto the
// target path itself: a link at the target is replaced, never written
// through. The temporary carries an advisory lock while its writer lives,
// so a later run can tell a temporary left by a killed process (nobody
// holds its lock) from one being written right now.
//
// Locks are open-file-description locks (F_OFD_SETLK): they belong to the
// open file, not to the process, so closing another descriptor of the same
// file never drops them, and they work across processes and on network
// file systems that support byte-range locks.

#include <QByteArray>
#include <QString>
#include <sys/types.h>

namespace qor {

// Test hook: until cleared (empty part), the first name every temporary
// tries uses this 6-character part instead of a random one; further tries
// are random as always.
void SetTemporaryNameForTests(const QByteArray& part);

// Test hook: until cleared (a negative count), every SafeFileWriter fails
// its writes with errorNumber once it has written this many bytes, as on
// a full disk.
void SetWriteFaultAfterBytes(qint64 bytes, int errorNumber);

// Permissions a new file gets: 0666 less the process's umask.
mode_t DefaultFileMode();

// Creates dir/<prefix><6 random characters><suffix> exclusively
// (O_CREAT|O_EXCL|O_NOFOLLOW), open for reading and writing, with mode;
// tries further names while a name is taken. The descriptor, or -1 with
// errno set; *path names the file.
int CreateUniqueFile(const QString& dir, const QString& prefix, const QString& suffix,
                     mode_t mode, QString* path);

enum class LockResult { Locked, Busy, Failed };
// Takes an advisory lock on the whole file without waiting (exclusive
// needs a descriptor open for writing).
LockResult TryLockFile(int fd, bool exclusive = true);
// True when some open file other than those of this call holds a lock on
// the file at path that an exclusive lock would conflict with.
bool IsFileLocked(const QString& path);
// True when the open file is still the one the path names (not replaced
// or removed since it was opened). A link at the path is followed only
// when followLinks.
bool IsSameFile(int fd, const QString& path, bool followLinks = true);

// The temporary file of one save. open() makes it beside the target and
// locks it; commit() syncs it, gives it its permissions (those of the file
// it replaces, else the default ones, and its owner and group) and renames
// it onto the target.
// Until commit succeeds, the destructor or cancel() removes it.
class SafeFileWriter {
public:
    explicit SafeFileWriter(const QString& target);
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Permissions the committed file gets instead of those of the file it
    // replaces (say 0600 for a file that holds passwords).
    void setMode(mode_t mode) { m_mode = mode; }

    bool open();
    // Instead of open(): the temporary is a second name of a file that is
    // already whole and synced (an open file of ours on the same file
    // system, in a folder nobody else writes into), linked in beside the
    // target through its descriptor: nothing is copied. It is locked
    // before its name exists. False with error() set when it cannot be
    // linked there (another file system, one without links): then open()
    // and a copy are the way.
    bool openLinkTo(int fd);
    bool isOpen() const { return m_fd >= 0; }
    int handle() const { return m_fd; }
    QString target() const { return m_target; }
    QString temporaryPath() const { return m_temp; }

    // Appends; the first failure is kept (error()).
    bool write(const char* data, size_t size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), size_t(bytes.size())); }
    // Records a failure found by someone else writing through handle().
    void fail(int errorNumber);

    // noReplace: fail with EEXIST when something is already at the target.
    // A file replaced keeps its owner and group: when this account may not
    // give them to the new file, nothing is replaced and the commit fails
    // with EPERM (ownerNotKept()). It keeps its access control list and
    // user attributes too (unless setMode chose the permissions): one that
    // cannot be carried fails the commit with its errno, nothing replaced.
    bool commit(bool noReplace = false);
    bool ownerNotKept() const { return m_ownerNotKept; }
    // After a commit: the descriptor of the file now at the target, with
    // its lock, for the caller to keep; -1 before a commit.
    int takeHandle();
    void cancel();

    // errno of the first failure (0 none) and its text.
    int error() const { return m_error; }
    QString errorString() const;

private:
    QString m_target;
    QString m_temp;
    int m_fd = -1;
    int m_error = 0;
    quint64 m_written = 0;  // for the fault hook of the tests
    bool m_committed = false;
    bool m_ownerNotKept = false;
    mode_t m_mode = mode_t(-1);
};

// The whole content at once through a SafeFileWriter. *errorNumber gets
// errno on failure.
bool WriteFileSafely(const QString& target, const QByteArray& bytes, int* errorNumber = nullptr);

// Opens path (flags O_RDONLY or O_RDWR, close-on-exec added) only when it
// is a regular file: a FIFO, a device, a socket or a folder at that name
// is refused without waiting for a writer at the other end, -1 with errno
// ENODEV (EISDIR for a folder). Links are followed.
int OpenRegularFile(const QString& path, int flags);
// Whether the links at path (the last name, and each link it leads to) may
// be followed: a link in a folder another account can write (a folder of
// another owner, or writable by its group or by everyone) is followed only
// when this account or the folder's owner owns it, as the kernel decides
// in sticky folders. An account that can plant a link there could
// otherwise point our next write at a file it cannot reach itself. True
// when path is no link; false for a loop of links.
bool LinkSafeToFollow(const QString& path);

// A name that opens the very file behind fd, whatever happens to its name
// meanwhile ("/proc/self/fd/N"): for libraries and helpers that can only
// write to a path they open themselves.
QString HandlePath(int fd);

// Removes the temporaries of target that
// their writers left behind when they were killed: those nobody holds the
// lock of. Returns how many were removed.
int SweepStaleTemporaries(const QString& target);

// The same for every target in folder: each of this user's regular files
// named ".<name>.XXXXXX.tmp" whose lock nobody holds. Returns how many
// were removed.
int SweepStaleTemporariesIn(const QString& folder);

// SweepStaleTemporariesIn, once per folder and process: every commit of a
// SafeFileWriter calls it for its target's folder, so whatever a killed
// writer left there goes with the next write that reaches that folder.
void SweepFolderOnce(const QString& folder);

// Moves a finished file from a scratch folder onto target, replacing
// what is there only when replace (else EEXIST). Within one file system
// it is a rename; across file systems the bytes go through a
// SafeFileWriter beside target, so target is never seen half written.
// from is gone afterwards when this succeeds. *errorNumber gets errno on
// failure.
bool MoveFileInto(const QString& from, const QString& target, int* errorNumber = nullptr,
                  bool replace = false);

}  // namespace qor

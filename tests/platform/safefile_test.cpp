// Writing files through a temporary beside the target: links planted in
// the folder are never followed, permissions are the user's, failures
// leave nothing behind, and what killed writers left is swept.
#include "platform/safefile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>

#include <thread>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/common/testsupport.h"

using namespace qor;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QStringList leftovers(const QString& dir) {
    return QDir(dir).entryList({"*.tmp"}, QDir::Files | QDir::Hidden | QDir::System);
}

mode_t modeOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

struct UmaskGuard {
    explicit UmaskGuard(mode_t m) : old(::umask(m)) {}
    ~UmaskGuard() { ::umask(old); }
    mode_t old;
};

}  // namespace

TEST(SafeFile, PlantedLinksAtTheTemporaryOrTheTargetAreNeverFollowed) {
    const QString dir = qortest::freshDir("safefile-links");
    const QString victim = dir + "/victim.txt";
    writeAll(victim, "precious");

    // A link waiting at the very name the temporary gets first.
    const QString target = dir + "/out.xml";
    ASSERT_TRUE(QFile::link(victim, dir + "/.out.xml.AAAAAA.tmp"));
    SetTemporaryNameForTests("AAAAAA");
    ASSERT_TRUE(WriteFileSafely(target, "new content"));
    SetTemporaryNameForTests({});
    EXPECT_EQ(readAll(victim), "precious");
    EXPECT_EQ(readAll(target), "new content");

    // A link at the target itself is replaced, not written through.
    const QString linked = dir + "/linked.xml";
    ASSERT_TRUE(QFile::link(victim, linked));
    ASSERT_TRUE(WriteFileSafely(linked, "replaced"));
    EXPECT_EQ(readAll(victim), "precious");
    EXPECT_FALSE(QFileInfo(linked).isSymLink());
    EXPECT_EQ(readAll(linked), "replaced");
    EXPECT_EQ(leftovers(dir), QStringList{".out.xml.AAAAAA.tmp"});  // only the planted link
}

TEST(SafeFile, NewFilesGetTheUsersPermissionsAndReplacedOnesKeepTheirs) {
    const QString dir = qortest::freshDir("safefile-modes");
    UmaskGuard mask(022);
    ASSERT_TRUE(WriteFileSafely(dir + "/new.html", "x"));
    EXPECT_EQ(modeOf(dir + "/new.html"), mode_t(0644));

    writeAll(dir + "/kept.ini", "old");
    ::chmod(QFile::encodeName(dir + "/kept.ini").constData(), 0640);
    ASSERT_TRUE(WriteFileSafely(dir + "/kept.ini", "new"));
    EXPECT_EQ(modeOf(dir + "/kept.ini"), mode_t(0640));
}

TEST(SafeFile, FailuresLeaveTheTargetAndNoTemporary) {
    const QString dir = qortest::freshDir("safefile-fail");
    const QString target = dir + "/t.txt";
    writeAll(target, "old");
    {
        SafeFileWriter w(target);
        ASSERT_TRUE(w.open());
        ASSERT_TRUE(w.write("half"));
        w.fail(ENOSPC);  // as a full disk found by whoever wrote through handle()
        EXPECT_FALSE(w.commit());
        EXPECT_EQ(w.error(), ENOSPC);
    }
    {
        SafeFileWriter w(target);
        ASSERT_TRUE(w.open());
        ASSERT_TRUE(w.write("never committed"));
    }  // dropped by the destructor
    {
        SafeFileWriter w(target);
        ASSERT_TRUE(w.open() && w.write("new report"));
        EXPECT_FALSE(w.commit(/*noReplace=*/true));
        EXPECT_EQ(w.error(), EEXIST);
    }
    EXPECT_EQ(readAll(target), "old");
    EXPECT_TRUE(leftovers(dir).isEmpty()) << leftovers(dir).join(',').toStdString();

    int err = 0;
    EXPECT_FALSE(WriteFileSafely(dir + "/no/such/folder/x.txt", "x", &err));
    EXPECT_EQ(err, ENOENT);
}

TEST(SafeFile, SweepRemovesOnlyTemporariesNobodyIsWriting) {
    const QString dir = qortest::freshDir("safefile-sweep");
    const QString target = dir + "/r.rep";
    writeAll(target, "report");
    // Left by a writer that was killed: nobody holds its lock.
    writeAll(dir + "/.r.rep.Dead01.tmp", "half a report");
    // Not ours: other names are never touched.
    writeAll(dir + "/.r.rep.notours", "x");
    writeAll(dir + "/.other.rep.Dead02.tmp", "x");

    SafeFileWriter live(target);
    ASSERT_TRUE(live.open());
    EXPECT_EQ(SweepStaleTemporaries(target), 1);
    EXPECT_FALSE(QFile::exists(dir + "/.r.rep.Dead01.tmp"));
    EXPECT_TRUE(QFile::exists(live.temporaryPath()));
    EXPECT_TRUE(QFile::exists(dir + "/.r.rep.notours"));
    EXPECT_TRUE(QFile::exists(dir + "/.other.rep.Dead02.tmp"));
    ASSERT_TRUE(live.write("fine") && live.commit());
    EXPECT_EQ(readAll(target), "fine");
}

TEST(SafeFile, TheFirstCommitInAFolderSweepsWhatKilledWritersLeftThereForAnyTarget) {
    const QString dir = qortest::freshDir("safefile-folder-sweep");
    // Killed writers' temporaries of three different targets.
    writeAll(dir + "/.o.xml.Dead01.tmp", "half an export");
    writeAll(dir + "/.o.cpg.Dead02.tmp", "9");
    writeAll(dir + "/.other.pdf.Dead03.tmp", "%PDF-1.4");
    // Other shapes and other people's files are not ours to remove.
    writeAll(dir + "/.o.xml.tmp", "x");
    writeAll(dir + "/o.xml.Dead04.tmp", "x");
    writeAll(dir + "/.o.xml.Dea-05.tmp", "x");
    ASSERT_TRUE(QFile::link(dir + "/victim", dir + "/.l.xml.Link01.tmp"));
    // A writer still at work in the folder keeps its temporary.
    SafeFileWriter live(dir + "/busy.html");
    ASSERT_TRUE(live.open());

    ASSERT_TRUE(WriteFileSafely(dir + "/o.xml", "whole"));
    QStringList left = leftovers(dir);
    left.sort();
    QStringList expected{".l.xml.Link01.tmp", ".o.xml.Dea-05.tmp", ".o.xml.tmp",
                         QFileInfo(live.temporaryPath()).fileName(), "o.xml.Dead04.tmp"};
    expected.sort();
    EXPECT_EQ(left, expected);

    // Once per folder and process: a later leftover waits for the next run.
    writeAll(dir + "/.o.xml.Dead06.tmp", "x");
    ASSERT_TRUE(WriteFileSafely(dir + "/o.xml", "again"));
    EXPECT_TRUE(QFile::exists(dir + "/.o.xml.Dead06.tmp"));
    EXPECT_EQ(SweepStaleTemporariesIn(dir), 1);
    ASSERT_TRUE(live.write("page") && live.commit());
}

TEST(SafeFile, MoveIntoPlaceNeverReplacesUnlessAskedAndNeverFollowsALink) {
    const QString dir = qortest::freshDir("safefile-move");
    writeAll(dir + "/victim", "precious");
    writeAll(dir + "/a", "first");
    int err = 0;
    ASSERT_TRUE(MoveFileInto(dir + "/a", dir + "/b", &err));
    EXPECT_EQ(readAll(dir + "/b"), "first");
    EXPECT_FALSE(QFile::exists(dir + "/a"));

    writeAll(dir + "/c", "second");
    EXPECT_FALSE(MoveFileInto(dir + "/c", dir + "/b", &err));
    EXPECT_EQ(err, EEXIST);
    EXPECT_EQ(readAll(dir + "/b"), "first");
    ASSERT_TRUE(QFile::link(dir + "/victim", dir + "/link"));
    EXPECT_FALSE(MoveFileInto(dir + "/c", dir + "/link", &err));
    ASSERT_TRUE(MoveFileInto(dir + "/c", dir + "/link", &err, /*replace=*/true));
    EXPECT_EQ(readAll(dir + "/victim"), "precious");
    EXPECT_FALSE(QFileInfo(dir + "/link").isSymLink());
    EXPECT_EQ(readAll(dir + "/link"), "second");
}

TEST(SafeFile, ADeviceAPipeOrAFolderAtTheTargetIsNeverReplaced) {
    const QString dir = qortest::freshDir("safefile-special");
    const QString pipe = dir + "/out.pdf";
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir).mkdir("folder.xml"));
    int err = 0;
    EXPECT_FALSE(WriteFileSafely(pipe, "pdf", &err));
    EXPECT_EQ(err, EEXIST);
    EXPECT_FALSE(WriteFileSafely(dir + "/folder.xml", "xml", &err));
    EXPECT_EQ(err, EISDIR);
    writeAll(dir + "/made", "bytes");
    EXPECT_FALSE(MoveFileInto(dir + "/made", pipe, &err, /*replace=*/true));
    EXPECT_EQ(err, EEXIST);
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(pipe).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_TRUE(QFileInfo(dir + "/folder.xml").isDir());
    EXPECT_TRUE(leftovers(dir).isEmpty()) << leftovers(dir).join(',').toStdString();
}

// Across file systems the move is a copy through a locked temporary; /dev/shm
// is a file system of its own on Linux.
TEST(SafeFile, MoveIntoPlaceAcrossFileSystems) {
    const QString dir = qortest::freshDir("safefile-move-xdev");
    QString from;
    const int fd = CreateUniqueFile("/dev/shm", "qor-test-", ".bin", 0600, &from);
    if (fd < 0) GTEST_SKIP() << "no /dev/shm to move from";
    const QByteArray bytes(300000, 'z');
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);
    struct stat a {}, b {};
    ::stat("/dev/shm", &a);
    ::stat(QFile::encodeName(dir).constData(), &b);
    if (a.st_dev == b.st_dev) {
        QFile::remove(from);
        GTEST_SKIP() << "the test folder is on /dev/shm's file system";
    }
    int err = 0;
    ASSERT_TRUE(MoveFileInto(from, dir + "/moved.bin", &err)) << err;
    EXPECT_EQ(readAll(dir + "/moved.bin"), bytes);
    EXPECT_FALSE(QFile::exists(from));
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

// A finished file of ours becomes the target under a second name: locked
// before the name exists, never through a planted link, with the replaced
// file's permissions; an uncommitted one leaves the file and no name
// behind, and another file system is refused so that the caller copies.
TEST(SafeFile, AFinishedFileIsLinkedInBesideTheTargetAndRenamedOntoIt) {
    const QString dir = qortest::freshDir("safefile-linkto");
    const QString work = dir + "/work.bin";
    writeAll(work, "finished");
    const QString target = dir + "/report.rep";
    writeAll(target, "old");
    ::chmod(QFile::encodeName(target).constData(), 0640);
    const QString victim = dir + "/victim.txt";
    writeAll(victim, "precious");
    ASSERT_TRUE(QFile::link(victim, dir + "/.report.rep.BBBBBB.tmp"));

    const int fd = ::open(QFile::encodeName(work).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        SafeFileWriter w(target);
        SetTemporaryNameForTests("BBBBBB");
        ASSERT_TRUE(w.openLinkTo(fd)) << w.errorString().toStdString();
        SetTemporaryNameForTests({});
        EXPECT_NE(QFileInfo(w.temporaryPath()).fileName(), ".report.rep.BBBBBB.tmp");
        EXPECT_TRUE(IsSameFile(fd, w.temporaryPath(), false));
        EXPECT_TRUE(IsFileLocked(w.temporaryPath()));
        EXPECT_EQ(SweepStaleTemporaries(target), 0);  // its writer lives
    }                                                 // not committed
    EXPECT_EQ(readAll(target), "old");
    EXPECT_EQ(readAll(work), "finished");
    EXPECT_EQ(leftovers(dir), QStringList{".report.rep.BBBBBB.tmp"});  // only the planted link

    SafeFileWriter w(target);
    ASSERT_TRUE(w.openLinkTo(fd));
    ASSERT_TRUE(w.commit());
    EXPECT_EQ(readAll(target), "finished");
    EXPECT_TRUE(IsSameFile(fd, target, false));
    EXPECT_EQ(modeOf(target), mode_t(0640));
    EXPECT_EQ(readAll(victim), "precious");
    const int lock = w.takeHandle();
    ASSERT_GE(lock, 0);
    EXPECT_TRUE(IsFileLocked(target));
    ::close(lock);
    EXPECT_FALSE(IsFileLocked(target));

    struct stat shm {
    }, here{};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(QFile::encodeName(dir).constData(), &here) == 0 &&
        shm.st_dev != here.st_dev) {
        const QString elsewhere =
            QStringLiteral("/dev/shm/qor-linkto-%1.rep").arg(QCoreApplication::applicationPid());
        SafeFileWriter x(elsewhere);
        EXPECT_FALSE(x.openLinkTo(fd));
        EXPECT_EQ(x.error(), EXDEV);
        EXPECT_TRUE(leftovers("/dev/shm").filter("qor-linkto").isEmpty());
    }
    ::close(fd);
}

namespace {

// Runs what on a thread of its own that lacks the right to give files
// away (capabilities belong to a thread on Linux): root then saves as any
// other account would over a file that is not its own.
template <typename F>
void withoutChown(F what) {
    std::thread t([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct data[2] {};
        ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
        data[0].effective &= ~(1u << CAP_CHOWN);
        ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
        what();
    });
    t.join();
}

uid_t ownerOf(const QString& path, gid_t* group) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    *group = st.st_gid;
    return st.st_uid;
}

}  // namespace

TEST(SafeFile, AReplacedFileKeepsItsOwnerOrIsNotReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root makes a file of another account's";
    const QString dir = qortest::freshDir("safefile-owner");
    const QString target = dir + "/theirs.rep";
    writeAll(target, "old");
    const QByteArray name = QFile::encodeName(target);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(name.constData(), 0600), 0);

    // Root may give the new file back: owner, group and mode stay.
    ASSERT_TRUE(WriteFileSafely(target, "new"));
    gid_t group = 0;
    EXPECT_EQ(ownerOf(target, &group), uid_t(65534));
    EXPECT_EQ(group, gid_t(65534));
    EXPECT_EQ(modeOf(target), mode_t(0600));
    EXPECT_EQ(readAll(target), "new");

    // So does a finished file moved over it.
    writeAll(dir + "/made.rep", "moved");
    ASSERT_TRUE(MoveFileInto(dir + "/made.rep", target, nullptr, true));
    EXPECT_EQ(ownerOf(target, &group), uid_t(65534));
    EXPECT_EQ(group, gid_t(65534));
    EXPECT_EQ(readAll(target), "moved");

    // A writer that may not: nothing is replaced and it says why.
    withoutChown([&] {
        SafeFileWriter w(target);
        ASSERT_TRUE(w.open());
        ASSERT_TRUE(w.write(QByteArray("lost")));
        EXPECT_FALSE(w.commit());
        EXPECT_EQ(w.error(), EPERM);
        EXPECT_TRUE(w.ownerNotKept());
        writeAll(dir + "/other.rep", "other");
        int error = 0;
        EXPECT_FALSE(MoveFileInto(dir + "/other.rep", target, &error, true));
        EXPECT_EQ(error, EPERM);
    });
    EXPECT_EQ(readAll(target), "moved");
    EXPECT_EQ(ownerOf(target, &group), uid_t(65534));
    EXPECT_TRUE(leftovers(dir).isEmpty()) << leftovers(dir).join(',').toStdString();

    // A file of one's own is replaced as always, even without that right.
    withoutChown([&] {
        EXPECT_TRUE(WriteFileSafely(dir + "/mine.txt", "a"));
        EXPECT_TRUE(WriteFileSafely(dir + "/mine.txt", "b"));
    });
    EXPECT_EQ(readAll(dir + "/mine.txt"), "b");
}

// An access list granting another user the file, and a user attribute:
// a save over the file (written, or a finished file moved in) keeps both.
TEST(SafeFile, AReplacedFileKeepsItsAccessListAndAttributes) {
    const QString dir = qortest::freshDir("safefile-acl");
    const QString target = dir + "/r.rep";
    writeAll(target, "old");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    const QByteArray path = QFile::encodeName(target);
    // user::rw- user:65534:r-- group::r-- mask::r-- other::---, as the
    // kernel stores an access list (version 2, entries by tag and id).
    QByteArray acl;
    auto put32 = [&](quint32 v) { acl.append(reinterpret_cast<const char*>(&v), 4); };
    auto entry = [&](quint16 tag, quint16 perm, quint32 id) {
        acl.append(reinterpret_cast<const char*>(&tag), 2);
        acl.append(reinterpret_cast<const char*>(&perm), 2);
        put32(id);
    };
    put32(2);
    entry(0x01, 6, quint32(-1));
    entry(0x02, 4, 65534);
    entry(0x04, 4, quint32(-1));
    entry(0x10, 4, quint32(-1));
    entry(0x20, 0, quint32(-1));
    if (::setxattr(path.constData(), "system.posix_acl_access", acl.constData(), size_t(acl.size()),
                   0) != 0 ||
        ::setxattr(path.constData(), "user.unit", "001", 3, 0) != 0)
        GTEST_SKIP() << "no access lists or user attributes here: " << std::strerror(errno);

    auto attribute = [&](const char* name) {
        char buffer[256];
        const ssize_t n = ::getxattr(path.constData(), name, buffer, sizeof buffer);
        return n < 0 ? QByteArray("<none>") : QByteArray(buffer, int(n));
    };
    ASSERT_TRUE(WriteFileSafely(target, "new"));
    EXPECT_EQ(readAll(target), "new");
    EXPECT_EQ(attribute("system.posix_acl_access"), acl);
    EXPECT_EQ(attribute("user.unit"), "001");
    EXPECT_EQ(modeOf(target), mode_t(0640));

    writeAll(dir + "/made.rep", "moved");
    ASSERT_TRUE(MoveFileInto(dir + "/made.rep", target, nullptr, true));
    EXPECT_EQ(readAll(target), "moved");
    EXPECT_EQ(attribute("system.posix_acl_access"), acl);
    EXPECT_EQ(attribute("user.unit"), "001");
}

TEST(SafeFile, OnlyARegularFileOpensAndAFifoIsRefusedWithoutWaiting) {
    const QString dir = qortest::freshDir("safefile-regular");
    const QString file = dir + "/f", fifo = dir + "/p";
    qortest::writeFile(file, "abc");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const int fd = OpenRegularFile(file, O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << "reads of the file wait as usual";
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
    ::close(fd);
    EXPECT_EQ(OpenRegularFile(fifo, O_RDONLY), -1);  // would wait for a writer if opened
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(OpenRegularFile(fifo, O_RDWR), -1);
    EXPECT_EQ(OpenRegularFile(dir, O_RDONLY), -1);
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(OpenRegularFile(QStringLiteral("/dev/null"), O_RDONLY), -1);
    EXPECT_EQ(OpenRegularFile(dir + "/missing", O_RDONLY), -1);
    EXPECT_EQ(errno, ENOENT);
    // Through a link to one, as to the other.
    ASSERT_TRUE(QFile::link(fifo, dir + "/l"));
    EXPECT_EQ(OpenRegularFile(dir + "/l", O_RDONLY), -1);
}

TEST(SafeFile, ALinkOfAnotherAccountIsFollowedOnlyWhereNobodyElseWrites) {
    const QString dir = qortest::freshDir("safefile-links");
    qortest::writeFile(dir + "/f", "abc");
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0755), 0);
    ASSERT_TRUE(QFile::link(dir + "/f", dir + "/mine"));
    ASSERT_TRUE(QFile::link(QStringLiteral("mine"), dir + "/relative"));
    EXPECT_TRUE(LinkSafeToFollow(dir + "/f"));
    EXPECT_TRUE(LinkSafeToFollow(dir + "/mine"));
    EXPECT_TRUE(LinkSafeToFollow(dir + "/relative"));
    EXPECT_TRUE(LinkSafeToFollow(dir + "/missing"));
    ASSERT_TRUE(QFile::link(QStringLiteral("loop"), dir + "/loop"));
    EXPECT_FALSE(LinkSafeToFollow(dir + "/loop"));
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another account";
    const uid_t other = 65534;
    const QString shared = dir + "/shared";
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    ASSERT_TRUE(QFile::link(dir + "/f", shared + "/theirs"));
    ASSERT_EQ(::lchown(QFile::encodeName(shared + "/theirs").constData(), other, other), 0);
    EXPECT_FALSE(LinkSafeToFollow(shared + "/theirs"));
    // A link of mine leading to theirs stops there too.
    ASSERT_TRUE(QFile::link(shared + "/theirs", dir + "/via"));
    EXPECT_FALSE(LinkSafeToFollow(dir + "/via"));
    // In a folder only its owner writes, the owner's links are followed.
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0755), 0);
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), other, other), 0);
    EXPECT_TRUE(LinkSafeToFollow(shared + "/theirs"));
    // The group writing the folder counts as others.
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 0, 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 0775), 0);
    EXPECT_FALSE(LinkSafeToFollow(shared + "/theirs"));
}

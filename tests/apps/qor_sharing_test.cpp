// qor on a machine shared with other accounts and with other runs of
// itself: another account cannot swap a report a save is writing, readers
// never keep writers (or each other) out, and a report reached through a
// link is saved where the link points.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <cstring>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "engine/creporthandle.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult runQor(const QStringList& args,
                              const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    qortest::ProcessResult r;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QOR_APP_BINARY), args);
    if (!p.waitForStarted(10000)) return r;
    r.started = true;
    p.waitForFinished(60000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

double cellOf(const QString& path, int row, int col) {
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    if (!h.IsOpen()) return -1;
    auto page = h.GetPage(1);
    return page ? page->Slot(row, col).numberValue() : -1;
}

// The other account: from a descriptor of the shared temporary folder it
// makes the folder a qor run of uid would fall back to, open to everybody,
// and then, for as long as it lives, puts its own report in the place of
// every report file that appears there. Plain system calls only: this runs
// in a forked child.
[[noreturn]] void swapReportsAs(uid_t attacker, int tempFd, const char* folder,
                                const QByteArray& ownReport, int readyFd) {
    if (::setresgid(attacker, attacker, attacker) != 0 ||
        ::setresuid(attacker, attacker, attacker) != 0)
        ::_exit(2);
    if (::mkdirat(tempFd, folder, 0777) != 0) ::_exit(3);
    ::fchmodat(tempFd, folder, 0777, 0);
    const int dirFd = ::openat(tempFd, folder, O_RDONLY | O_DIRECTORY);
    if (dirFd < 0) ::_exit(4);
    (void)!::write(readyFd, "r", 1);
    ::close(readyFd);
    for (;;) {
        // A fresh open each pass: a duplicated descriptor would share the
        // read position, and every pass after the first would see nothing.
        DIR* d = ::fdopendir(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY));
        if (!d) ::_exit(5);
        while (dirent* e = ::readdir(d)) {
            const size_t n = std::strlen(e->d_name);
            if (n < 4 || std::strcmp(e->d_name + n - 4, ".rep") != 0) continue;
            const int fd = ::openat(dirFd, ".mine", O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (fd < 0) continue;
            (void)!::write(fd, ownReport.constData(), size_t(ownReport.size()));
            ::close(fd);
            ::renameat(dirFd, ".mine", dirFd, e->d_name);
        }
        ::closedir(d);
    }
}

}  // namespace

TEST(QorSharing, AnotherAccountsFolderCannotSwapTheReportASaveWrites) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as a second account (setresuid); run as root to test "
                        "that another account's folder in the temporary folder is not used";
    const QString dir = qortest::freshDir("qor-swap");
    // The shared temporary folder, as /tmp is: everybody may make folders.
    const QString temp = dir + "/tmp";
    QDir().mkpath(temp);
    ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 01777), 0);
    // No data folder can be made, so working copies fall back to the
    // temporary folder.
    QFile blocker(dir + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", temp);
    env.insert("QOR_HOME", dir + "/file/home");

    const QString own = dir + "/own.rep";
    ASSERT_EQ(runQor({"new", own, "--pages", "1"}).exitCode, 0);
    const QString theirs = dir + "/theirs.rep";
    ASSERT_EQ(runQor({"new", theirs, "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(runQor({"set", theirs, "1", "3", "3", "666"}).exitCode, 0);
    const QByteArray theirBytes = qortest::fileBytes(theirs);
    ASSERT_FALSE(theirBytes.isEmpty());

    const QByteArray folder = QStringLiteral("qor-work-%1").arg(::geteuid()).toLatin1();
    const int tempFd = ::open(QFile::encodeName(temp).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(tempFd, 0);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        swapReportsAs(65534, tempFd, folder.constData(), theirBytes, ready[1]);
    }
    ::close(ready[1]);
    ::close(tempFd);
    char c = 0;
    const bool started = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);

    std::vector<int> values;
    for (int trial = 1; started && trial <= 5; ++trial) {
        const auto r = runQor({"set", own, "1", "3", "3", QString::number(trial)}, env);
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        values.push_back(int(cellOf(own, 3, 3)));
    }
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(started) << "the other account could not set up its folder (exit "
                         << WEXITSTATUS(status) << ")";
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 5}));
    // Nothing of the user's went into the other account's folder.
    const QStringList there = QDir(temp + "/" + QString::fromLatin1(folder))
                                  .entryList(QDir::Files | QDir::Hidden | QDir::System);
    EXPECT_TRUE(there.filter(".lock").isEmpty()) << there.join(',').toStdString();
}

TEST(QorSharing, ConcurrentExportsOfOneReportBothSucceed) {
    const QString dir = qortest::freshDir("qor-readers");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(runQor({"set", path, "1", "1", "1", "5"}).exitCode, 0);
    for (int trial = 1; trial <= 20; ++trial) {
        // Converts and HTML exports, in pairs of each kind and mixed.
        const QString a = dir + QStringLiteral("/a%1.xml").arg(trial);
        const QString b = dir + QStringLiteral("/b%1.xml").arg(trial);
        const QString h = dir + QStringLiteral("/h%1").arg(trial);
        QProcess p1, p2, p3;
        p1.start(QOR_APP_BINARY, {"convert", path, a});
        p2.start(QOR_APP_BINARY, {"convert", path, b});
        p3.start(QOR_APP_BINARY, {"export-html", path, h});
        for (QProcess* p : {&p1, &p2, &p3}) {
            ASSERT_TRUE(p->waitForFinished(60000));
            EXPECT_EQ(p->exitCode(), 0) << "trial " << trial << ": "
                                        << p->readAllStandardError().constData();
        }
        EXPECT_TRUE(QFile::exists(a) && QFile::exists(b)) << "trial " << trial;
    }
    // No reader left an in-use mark behind or changed the report.
    EXPECT_EQ(cellOf(path, 1, 1), 5);
    const auto set = runQor({"set", path, "1", "1", "1", "6"});
    EXPECT_EQ(set.exitCode, 0) << set.err.constData();
}

TEST(QorSharing, AReaderLoopNeverMakesAWriteFail) {
    const QString dir = qortest::freshDir("qor-reader-loop");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "1"}).exitCode, 0);
    const QString stop = dir + "/stop";
    // Every read verb, over and over, until told to stop.
    QProcess readers;
    readers.start("bash", {"-c", QStringLiteral(
                                     "Q='%1'; R='%2'; n=0\n"
                                     "while [ ! -e '%3' ]; do\n"
                                     "  \"$Q\" get \"$R\" 1 1 1 >/dev/null 2>&1\n"
                                     "  \"$Q\" pages \"$R\" >/dev/null 2>&1\n"
                                     "  \"$Q\" table-size \"$R\" >/dev/null 2>&1\n"
                                     "  \"$Q\" format \"$R\" 1 1 0 >/dev/null 2>&1\n"
                                     "  \"$Q\" keyword \"$R\" 1 0 >/dev/null 2>&1\n"
                                     "  n=$((n+1))\n"
                                     "done\necho $n\n")
                                     .arg(QOR_APP_BINARY, path, stop)});
    ASSERT_TRUE(readers.waitForStarted());
    int failed = 0;
    QString firstError;
    for (int i = 1; i <= 100; ++i) {
        const auto r = runQor({"set", path, "1", "1", "1", QString::number(i)});
        if (r.exitCode != 0) {
            ++failed;
            if (firstError.isEmpty()) firstError = QString::fromLocal8Bit(r.err);
        }
    }
    QFile(stop).open(QIODevice::WriteOnly);
    ASSERT_TRUE(readers.waitForFinished(60000));
    EXPECT_EQ(failed, 0) << firstError.toStdString();
    EXPECT_GT(readers.readAllStandardOutput().trimmed().toInt(), 0);
    EXPECT_EQ(cellOf(path, 1, 1), 100);
}

TEST(QorSharing, SetThroughALinkUpdatesTheReportItPointsTo) {
    const QString dir = qortest::freshDir("qor-linked");
    QDir().mkpath(dir + "/store");
    const QString real = dir + "/store/r.rep";
    ASSERT_EQ(runQor({"new", real, "--pages", "1"}).exitCode, 0);
    const QString link = dir + "/link.rep";
    ASSERT_TRUE(QFile::link(real, link));
    const auto r = runQor({"set", link, "1", "1", "1", "42"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(cellOf(real, 1, 1), 42);
    const auto got = runQor({"get", link, "1", "1", "1"});
    EXPECT_EQ(got.out.trimmed(), "42");
    // No temporary left beside the link or the report.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{"link.rep"});
    EXPECT_EQ(QDir(dir + "/store").entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{"r.rep"});
}

TEST(QorSharing, AReaderScriptAsksForReadingOnlyThroughTheProperty) {
    const QString dir = qortest::freshDir("qor-script-readonly");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "1"}).exitCode, 0);
    const QString script = dir + "/read.txt";
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("ReadOnly true\nReadOnly\nOpenRep8File \"%1\"\nSave\nCloseFile\n")
                .arg(path)
                .toUtf8());
    f.close();
    const auto r = runQor({"reader-script", script});
    EXPECT_EQ(r.exitCode, 1);  // the refused Save
    const QString out = QString::fromUtf8(r.out);
    EXPECT_TRUE(out.startsWith("ReadOnly: ok=true\nReadOnly: ok=true value=true\n"
                               "OpenRep8File: ok=true\nSave: ok=false"))
        << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("只读方式"))) << out.toStdString();
}

namespace {

// The other account, in a forked child: makes every name a qor run of the
// user would use for its working copies in the shared temporary folder.
[[noreturn]] void takeWorkNamesAs(uid_t other, int tempFd, const QByteArray& base) {
    if (::setresgid(other, other, other) != 0 || ::setresuid(other, other, other) != 0)
        ::_exit(2);
    for (int i = 0; i < 10; ++i) {
        const QByteArray name = i == 0 ? base : base + '-' + QByteArray::number(i);
        if (::mkdirat(tempFd, name.constData(), 0777) != 0) ::_exit(3);
        ::fchmodat(tempFd, name.constData(), 0777, 0);
    }
    ::_exit(0);
}

}  // namespace

TEST(QorSharing, EveryWorkFolderNameTakenLeavesNothingBehindAndWarnsOnce) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as a second account (setresuid)";
    const QString dir = qortest::freshDir("qor-names-taken");
    const QString temp = dir + "/tmp";
    QDir().mkpath(temp);
    ASSERT_EQ(::chmod(QFile::encodeName(temp).constData(), 01777), 0);
    // A data folder open to everybody is passed over as well.
    const QString home = dir + "/home";
    QDir().mkpath(home);
    ASSERT_EQ(::chmod(QFile::encodeName(home).constData(), 0777), 0);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", temp);
    env.insert("QOR_HOME", home);
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", rep, "--pages", "1"}).exitCode, 0);

    const QByteArray base = QStringLiteral("qor-work-%1").arg(::geteuid()).toLatin1();
    const int tempFd = ::open(QFile::encodeName(temp).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(tempFd, 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) takeWorkNamesAs(65534, tempFd, base);
    ::close(tempFd);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child exit " << status;

    // A killed run's fresh folder: its lock file held by nobody.
    const QString killed = temp + "/" + QString::fromLatin1(base) + "-Ab12Cd";
    ASSERT_TRUE(QDir().mkdir(killed));
    ASSERT_EQ(::chmod(QFile::encodeName(killed).constData(), 0700), 0);
    for (const char* name : {"/00000000deadbeef.lock", "/00000000deadbeef-abcdef.rep"})
        qortest::writeFile(killed + name, "x");
    const struct timespec old[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(killed).constData(), old, 0), 0);

    const QList<QStringList> calls = {
        {"get", rep, "1", "1", "1"}, {"pages", rep},      {"set", rep, "1", "1", "1", "3"},
        {"get", rep, "1", "1", "1"}, {"table-size", rep}, {"set", rep, "1", "2", "2", "4"},
        {"pages", rep},              {"info", rep},       {"keyword", rep, "1", "0"},
        {"get", rep, "1", "2", "2"},
    };
    for (const QStringList& args : calls) {
        const auto r = runQor(args, env);
        EXPECT_EQ(r.exitCode, 0) << qPrintable(args.join(' ')) << ": " << r.err.constData();
        const QStringList lines = QString::fromUtf8(r.err).split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << qPrintable(args.join(' ')) << ": " << r.err.constData();
        EXPECT_TRUE(lines[0].contains(QStringLiteral("工作副本不放在")) &&
                    lines[0].contains(QStringLiteral("另外 10 个")))
            << lines[0].toStdString();
    }
    EXPECT_EQ(runQor({"get", rep, "1", "2", "2"}, env).out.trimmed(), "4");
    // Only the other account's ten folders are left.
    const QStringList left =
        QDir(temp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(left.size(), 10) << left.join(' ').toStdString();
    EXPECT_TRUE(left.filter(QRegularExpression("-[A-Za-z0-9]{6}$")).isEmpty())
        << left.join(' ').toStdString();
}

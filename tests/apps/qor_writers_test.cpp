// Several qor processes on one report, and reports that cannot be written
// or read, as users and nightly scripts meet them on a shared folder.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "engine/creporthandle.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult runQor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

double cellOf(const QString& path, int row, int col) {
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    if (!h.IsOpen()) return -1;
    auto page = h.GetPage(1);
    return page ? page->Slot(row, col).numberValue() : -1;
}

QStringList temporariesIn(const QString& dir) {
    return QDir(dir).entryList({"*.tmp", "*.new"}, QDir::Files | QDir::Hidden | QDir::System);
}

}  // namespace

TEST(QorWriters, TwoWritersRacingEndWithOneSaveAndOneInUseRefusal) {
    const QString dir = qortest::freshDir("qor-race");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "1"}).exitCode, 0);
    double cell11 = 0, cell22 = 0;
    for (int trial = 1; trial <= 20; ++trial) {
        // Both processes try the report's lock, then meet at the barrier:
        // each has tried before either lets go.
        const QString barrier = qortest::freshDir(QStringLiteral("qor-race-barrier-%1").arg(trial));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QOR_TEST_OPEN_BARRIER", barrier);
        QProcess a, b;
        for (QProcess* p : {&a, &b}) p->setProcessEnvironment(env);
        a.start(QOR_APP_BINARY, {"set", path, "1", "1", "1", QString::number(trial)});
        b.start(QOR_APP_BINARY, {"set", path, "1", "2", "2", QString::number(100 + trial)});
        ASSERT_TRUE(a.waitForFinished(60000) && b.waitForFinished(60000));
        const int ra = a.exitCode(), rb = b.exitCode();
        ASSERT_EQ(ra + rb, 1) << "trial " << trial << ": exit codes " << ra << " and " << rb;
        QProcess& loser = ra ? a : b;
        const QString why = QString::fromLocal8Bit(loser.readAllStandardError());
        EXPECT_TRUE(why.contains(QStringLiteral("使用"))) << why.toStdString();
        // The winner's change is there; the loser changed nothing.
        (ra == 0 ? cell11 : cell22) = ra == 0 ? trial : 100 + trial;
        EXPECT_EQ(cellOf(path, 1, 1), cell11) << "trial " << trial;
        EXPECT_EQ(cellOf(path, 2, 2), cell22) << "trial " << trial;
        const auto info = runQor({"info", path});
        ASSERT_EQ(info.exitCode, 0) << info.err.constData();
        EXPECT_TRUE(info.out.contains("pages:   1"));
    }
    EXPECT_TRUE(temporariesIn(dir).isEmpty()) << temporariesIn(dir).join(',').toStdString();
}

TEST(QorWriters, PlantedLinkAtTheOldTemporaryNameIsNotFollowed) {
    const QString dir = qortest::freshDir("qor-link");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "1"}).exitCode, 0);
    QFile victim(dir + "/victim.txt");
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly));
    victim.write("do not touch");
    victim.close();
    ASSERT_TRUE(QFile::link(victim.fileName(), path + ".tmp"));
    ASSERT_EQ(runQor({"set", path, "1", "1", "1", "7"}).exitCode, 0);
    ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
    EXPECT_EQ(victim.readAll(), "do not touch");
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(cellOf(path, 1, 1), 7);
}

TEST(QorWriters, ReadOnlyReportRefusesWritesAndStillReads) {
    const QString dir = qortest::freshDir("qor-readonly");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(runQor({"set", path, "1", "1", "1", "5"}).exitCode, 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    const auto set = runQor({"set", path, "1", "1", "1", "6"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(set.err).contains(QStringLiteral("只读"))) << set.err.constData();
    const auto get = runQor({"get", path, "1", "1", "1"});
    EXPECT_EQ(get.exitCode, 0) << get.err.constData();
    EXPECT_TRUE(get.out.contains("5")) << get.out.constData();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QFileInfo(path).permissions() & QFile::WriteOwner, 0);
}

TEST(QorWriters, UnreadableReportIsAReadErrorNamingThePermission) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads any file; the engine test covers this through its fault hook";
    const QString dir = qortest::freshDir("qor-unreadable");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path}).exitCode, 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
    // Every verb says the permission, none that the file is no report.
    const QList<QStringList> verbs = {{"info", path},
                                      {"get", path, "1", "1", "1"},
                                      {"pages", path},
                                      {"set", path, "1", "1", "1", "5"},
                                      {"table-size", path},
                                      {"export-xml", path, dir + "/r.xml"},
                                      {"export-html", path, dir + "/html"}};
    for (const QStringList& verb : verbs) {
        const auto r = runQor(verb);
        const QString err = QString::fromUtf8(r.err);
        EXPECT_EQ(r.exitCode, 1) << verb.first().toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("没有访问权限")) && !err.contains("1006") &&
                    !err.contains(QStringLiteral("不是报表")))
            << verb.first().toStdString() << ": " << err.toStdString();
    }
    ::chmod(QFile::encodeName(path).constData(), 0644);
}

TEST(QorWriters, ASaveKeepsTheReportsOwnerGroupAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root makes a report of another account's";
    const QString dir = qortest::freshDir("qor-owner");
    const QString path = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", path, "--pages", "1"}).exitCode, 0);
    const QByteArray name = QFile::encodeName(path);
    ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0);
    ASSERT_EQ(::chmod(name.constData(), 0600), 0);
    const auto set = runQor({"set", path, "1", "1", "1", "5"});
    ASSERT_EQ(set.exitCode, 0) << set.err.constData();
    struct stat st {};
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, uid_t(65534));
    EXPECT_EQ(st.st_gid, gid_t(65534));
    EXPECT_EQ(st.st_mode & 07777, mode_t(0600));
    EXPECT_EQ(cellOf(path, 1, 1), 5);
    // A conversion script's save and a format change keep them too.
    qortest::writeFile(dir + "/s.shl", "LET B1 = 7\n");
    ASSERT_EQ(runQor({"run", dir + "/s.shl", path}).exitCode, 0);
    ASSERT_EQ(runQor({"append-rows", path, "2"}).exitCode, 0);
    ASSERT_EQ(::stat(name.constData(), &st), 0);
    EXPECT_EQ(st.st_uid, uid_t(65534));
    EXPECT_EQ(st.st_gid, gid_t(65534));
    EXPECT_EQ(st.st_mode & 07777, mode_t(0600));
    EXPECT_EQ(cellOf(path, 1, 2), 7);
}

TEST(QorWriters, NewReportOnAFullDiskLeavesNoFile) {
    if (::geteuid() != 0) GTEST_SKIP() << "a small file system to fill needs root to mount";
    const QString dir = qortest::freshDir("qor-full");
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    const QString path = dir + "/big.rep";
    const auto made = runQor({"new", path, "--rows", "200", "--cols", "50", "--pages", "20"});
    EXPECT_EQ(made.exitCode, 1);
    EXPECT_TRUE(made.err.contains("1090")) << made.err.constData();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(temporariesIn(dir).isEmpty()) << temporariesIn(dir).join(',').toStdString();
    // A report that fits is made as usual.
    EXPECT_EQ(runQor({"new", dir + "/small.rep"}).exitCode, 0);
    ::umount(QFile::encodeName(dir).constData());
}

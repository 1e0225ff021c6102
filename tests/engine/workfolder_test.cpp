// The folder of working copies: used only while it is this user's own and
// nobody else can write into it; a save never reads back its working file
// by name; a report reached through a link is saved where the link points.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/creporthandle.h"
#include "engine/openreports.h"
#include "engine/workfiles.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

// Sets an environment variable for the length of a scope.
class EnvGuard {
public:
    EnvGuard(const char* name, const QString& value) : m_name(name), m_old(qgetenv(name)) {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvGuard() { qputenv(m_name, m_old); }

private:
    const char* m_name;
    QByteArray m_old;
};

mode_t modeOf(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

double cellOf(const QString& path, int row, int col) {
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    if (!h.IsOpen()) return -1;
    auto page = h.GetPage(1);
    return page ? page->Slot(row, col).numberValue() : -1;
}

// Saves a value into the report and answers the working copy the save left.
QString saveValue(const QString& path, double value) {
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_TRUE(h.IsOpen()) << h.ErrorText().toStdString();
    if (!h.IsOpen()) return {};
    h.GetPage(1)->SetNumber(2, 2, value);
    EXPECT_EQ(h.Save(), 0) << h.ErrorText().toStdString();
    return QFileInfo(h.WorkingCopyPath()).absolutePath();
}

using qortest::makeReport;

}  // namespace

TEST(WorkFolder, IsUsedOnlyWhileItIsThisUsersOwnPrivateFolder) {
    const QString base = qortest::freshDir("workfolder-private");
    const QString temp = base + "/tmp";
    QDir().mkpath(temp);
    EnvGuard tmp("TMPDIR", temp);
    const QString home = base + "/home";
    QDir().mkpath(home);
    EnvGuard qorHome("QOR_HOME", home);
    const QString report = base + "/r.rep";
    makeReport(report);

    // The usual case: below the data folder, owner only.
    const QString work = home + "/work";
    EXPECT_EQ(WorkFolder(), work);
    EXPECT_EQ(modeOf(work), 0700u);

    // One of ours left open to others by a loose umask is closed again.
    ASSERT_EQ(::chmod(QFile::encodeName(work).constData(), 0777), 0);
    EXPECT_EQ(WorkFolder(), work);
    EXPECT_EQ(modeOf(work), 0700u);

    // A link put in its place is not followed: nothing lands where it points.
    const QString elsewhere = base + "/elsewhere";
    QDir().mkpath(elsewhere);
    ASSERT_TRUE(QDir(work).removeRecursively());
    ASSERT_TRUE(QFile::link(elsewhere, work));
    const QString used = saveValue(report, 1);
    EXPECT_NE(used, work);
    EXPECT_NE(QFileInfo(used).canonicalFilePath(), QFileInfo(elsewhere).canonicalFilePath());
    EXPECT_TRUE(QDir(elsewhere).isEmpty());
    EXPECT_EQ(cellOf(report, 2, 2), 1);
    ASSERT_TRUE(QFile::remove(work));

    // A data folder others may write into is passed over as a whole.
    ASSERT_EQ(::chmod(QFile::encodeName(home).constData(), 0777), 0);
    EXPECT_TRUE(WorkFolder().startsWith(temp + "/qor-work-")) << WorkFolder().toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(home).constData(), 0755), 0);
    EXPECT_EQ(WorkFolder(), work);
}

TEST(WorkFolder, TakenNamesInTheTemporaryFolderArePassedOver) {
    const QString base = qortest::freshDir("workfolder-temp");
    const QString temp = base + "/tmp";
    QDir().mkpath(temp);
    EnvGuard tmp("TMPDIR", temp);
    // A data folder that cannot be made: a file stands in its way.
    QFile blocker(base + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EnvGuard qorHome("QOR_HOME", base + "/file/home");
    const QString report = base + "/r.rep";
    makeReport(report);

    const QString first = temp + QStringLiteral("/qor-work-%1").arg(::geteuid());
    EXPECT_EQ(WorkFolder(), first);
    EXPECT_EQ(modeOf(first), 0700u);

    // Someone made the usual name a link to a folder of their choice, and
    // the next one a folder open to everybody: neither is used.
    const QString trap = base + "/trap";
    QDir().mkpath(trap);
    ASSERT_TRUE(QDir(first).removeRecursively());
    ASSERT_TRUE(QFile::link(trap, first));
    ASSERT_TRUE(QDir().mkdir(first + "-1"));
    ASSERT_EQ(::chmod(QFile::encodeName(first + "-1").constData(), 0777), 0);
    // (Ours, so it could be closed: give it away as another user would own it.)
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(first + "-1").constData(), 65534, 65534), 0);
    }
    const QString used = saveValue(report, 2);
    EXPECT_EQ(used, first + (::geteuid() == 0 ? "-2" : "-1"));
    EXPECT_TRUE(QDir(trap).isEmpty());
    EXPECT_EQ(cellOf(report, 2, 2), 2);
}

TEST(WorkFolder, AReportReachedThroughALinkIsSavedWhereTheLinkPoints) {
    const QString dir = qortest::freshDir("workfolder-link");
    QDir().mkpath(dir + "/real");
    const QString real = dir + "/real/r.rep";
    makeReport(real);
    const QString link = dir + "/link.rep";
    ASSERT_TRUE(QFile::link(real, link));

    {
        CReportHandle h(link, CReportHandle::OpenMode::OpenExisting);
        ASSERT_TRUE(h.IsOpen());
        EXPECT_EQ(h.GetPathName(), QFileInfo(real).canonicalFilePath());
        // The link and the file are one open report.
        EXPECT_EQ(FindOpenReport(real), &h);
        EXPECT_EQ(FindOpenReport(link), &h);
        // The lock is on the real file: a writer coming by its own name is
        // refused.
        CReportHandle second(real, CReportHandle::OpenMode::OpenExisting);
        EXPECT_FALSE(second.IsOpen());
        h.GetPage(1)->SetNumber(2, 2, 7);
        ASSERT_EQ(h.Save(), 0);
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), QFileInfo(real).absoluteFilePath());
    EXPECT_EQ(cellOf(real, 2, 2), 7);
    // The temporary was made and renamed beside the real file.
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{"link.rep"});

    // A link to nothing creates nothing through it.
    const QString dangling = dir + "/dangling.rep";
    ASSERT_TRUE(QFile::link(dir + "/real/missing.rep", dangling));
    CReportHandle none(dangling, CReportHandle::OpenMode::CreateNew);
    if (none.IsOpen()) {
        EXPECT_NE(none.Save(), 0);
    }
    EXPECT_FALSE(QFile::exists(dir + "/real/missing.rep"));
}

// Working copies a killed run left where the older layout kept them are
// found and swept as well, while that folder has not moved yet.
TEST(WorkFolder, OrphansInTheOlderLayoutsFolderAreSwept) {
    const QString home = qortest::freshDir("workfolder-legacy");
    EnvGuard qorHome("QOR_HOME", home);
    const QString legacy = home + "/qor/work";
    ASSERT_TRUE(QDir().mkpath(legacy));
    ASSERT_EQ(::chmod(QFile::encodeName(legacy).constData(), 0700), 0);
    for (const char* name : {"00000000deadbeef.lock", "00000000deadbeef-abcdef.rep"}) {
        QFile f(legacy + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    EXPECT_EQ(WorkFolder(), home + "/work");
    EXPECT_EQ(SweepOrphanedWorkFiles(), 1);
    EXPECT_TRUE(QDir(legacy).isEmpty());

    // One open to others is left alone: it may not be the user's.
    QFile f(legacy + "/00000000deadbeef-ghijkl.rep");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_EQ(::chmod(QFile::encodeName(legacy).constData(), 0777), 0);
    EXPECT_EQ(SweepOrphanedWorkFiles(), 0);
    EXPECT_TRUE(f.exists());
}

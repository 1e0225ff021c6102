// One writer per report, read-only and unreadable reports, saves that no
// planted link can redirect, and working copies that never outlive their
// process.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/inusemarker.h"
#include "engine/workfiles.h"
#include "platform/safefile.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

using qortest::testDir;

QByteArray hashOf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

using qortest::makeReport;

CReportHandle* openForReading(std::unique_ptr<CReportHandle>* h, const QString& path) {
    *h = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting,
                                         CReportHandle::Access::Read);
    return h->get();
}

QStringList temporariesBeside(const QString& path) {
    return QDir(QFileInfo(path).absolutePath())
        .entryList({"*.tmp", "*.new"}, QDir::Files | QDir::Hidden | QDir::System);
}

}  // namespace

TEST(ReportWriters, SecondWriterIsRefusedUntilTheFirstCloses) {
    const QString path = testDir() + "/r.rep";
    makeReport(path);
    auto first = std::make_unique<CReportHandle>(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(first->IsOpen());
    first->GetPage(1)->SetNumber(1, 1, 11);
    // The lock moves with the file a save puts in place.
    ASSERT_EQ(first->Save(), 0);
    const QByteArray saved = hashOf(path);

    CReportHandle second(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.OpenStatus(), 1);
    EXPECT_TRUE(second.ErrorText().contains(QStringLiteral("使用"))) << second.ErrorText().toStdString();
    EXPECT_EQ(hashOf(path), saved);

    // Readers go on reading what was saved.
    std::unique_ptr<CReportHandle> reader;
    ASSERT_TRUE(openForReading(&reader, path)->IsOpen());
    EXPECT_DOUBLE_EQ(reader->GetPage(1)->Slot(1, 1).numberValue(), 11);
    EXPECT_EQ(reader->Save(), 1);  // and never write
    EXPECT_EQ(hashOf(path), saved);

    first.reset();
    CReportHandle third(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_TRUE(third.IsOpen());
}

TEST(ReportWriters, SavingOverAReportAnotherWriterHoldsIsRefused) {
    const QString dir = testDir();
    makeReport(dir + "/a.rep");
    makeReport(dir + "/b.rep", 2);
    CReportHandle holder(dir + "/b.rep", CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(holder.IsOpen());
    const QByteArray before = hashOf(dir + "/b.rep");

    CReportHandle a(dir + "/a.rep", CReportHandle::OpenMode::OpenExisting);
    a.SetAlternatePath(dir + "/b.rep");
    EXPECT_EQ(a.Save(), 1);
    EXPECT_EQ(hashOf(dir + "/b.rep"), before);
}

TEST(ReportWriters, ReadOnlyReportIsNeverRewritten) {
    const QString path = testDir() + "/ro.rep";
    makeReport(path);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    const QByteArray before = hashOf(path);

    CReportHandle w(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_FALSE(w.IsOpen());
    EXPECT_EQ(w.OpenStatus(), 1);
    EXPECT_TRUE(w.ErrorText().contains(QStringLiteral("只读"))) << w.ErrorText().toStdString();

    std::unique_ptr<CReportHandle> r;
    ASSERT_TRUE(openForReading(&r, path)->IsOpen());
    EXPECT_EQ(r->GetPageCount(), 1);
    EXPECT_EQ(hashOf(path), before);
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST(ReportWriters, UnreadableReportIsAReadErrorNamingThePermission) {
    const QString path = testDir() + "/secret.rep";
    makeReport(path);
    auto expectPermissionError = [&] {
        for (auto access : {CReportHandle::Access::Read, CReportHandle::Access::Write}) {
            CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, access);
            EXPECT_FALSE(h.IsOpen());
            EXPECT_EQ(h.OpenStatus(), 1020);
            EXPECT_TRUE(h.ErrorText().contains(QStringLiteral("没有访问权限"))) << h.ErrorText().toStdString();
        }
    };
    // Permissions do not stop root; the hook fails the open the same way.
    SetReportOpenFaultForTests(EACCES);
    expectPermissionError();
    SetReportOpenFaultForTests(0);
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0), 0);
        expectPermissionError();
        ::chmod(QFile::encodeName(path).constData(), 0644);
    }
}

TEST(ReportWriters, NewReportOnAFullDiskLeavesNothingBehind) {
    const QString path = testDir() + "/new.rep";
    CReportHandle h(path, CReportHandle::OpenMode::CreateNew);
    ASSERT_TRUE(h.IsOpen());
    EXPECT_FALSE(QFile::exists(path));  // nothing at the path before the save
    ASSERT_EQ(h.AppendRowColPage(30, 2), 0);
    SetSaveFaultAfterBytes(20000, ENOSPC);
    EXPECT_EQ(h.Save(), 1090);
    SetSaveFaultAfterBytes(-1);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(temporariesBeside(path).isEmpty());
    ASSERT_EQ(h.Save(), 0);
    std::unique_ptr<CReportHandle> r;
    ASSERT_TRUE(openForReading(&r, path)->IsOpen());
    EXPECT_EQ(r->GetPageCount(), 30);

    // A name taken meanwhile is not replaced.
    CReportHandle again(path, CReportHandle::OpenMode::CreateNew);
    EXPECT_EQ(again.OpenStatus(), 1010);
}

TEST(ReportWriters, PlantedLinksAtEveryTemporaryNameAreNotFollowed) {
    const QString dir = testDir();
    const QString path = dir + "/r.rep";
    makeReport(path);
    const QString victim = dir + "/victim.txt";
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("keep me");
    }
    // The names earlier saves used, and the first name every temporary tries.
    for (const QString& name : {path + ".tmp", path + ".new", dir + "/.r.rep.LinkAA.tmp"})
        ASSERT_TRUE(QFile::link(victim, name));
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    ASSERT_EQ(h.AppendRowColPage(2, 2), 0);
    // And in the work folder, at the name this process's next working file
    // tries first.
    QString probe;
    const int fd = CreateWorkFile(".probe", &probe);
    ASSERT_GE(fd, 0);
    ::close(fd);
    QFile::remove(probe);
    const QString token = QFileInfo(probe).fileName().section('-', 0, 0);
    ASSERT_TRUE(QFile::link(victim, WorkFolder() + "/" + token + "-LinkAA.rep"));
    SetTemporaryNameForTests("LinkAA");
    EXPECT_EQ(h.Save(), 0);
    EXPECT_EQ(h.Save(), 0);  // again, with its own first names now taken
    SetTemporaryNameForTests({});
    EXPECT_EQ(hashOf(victim), QCryptographicHash::hash("keep me", QCryptographicHash::Sha256));
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    std::unique_ptr<CReportHandle> r;
    ASSERT_TRUE(openForReading(&r, path)->IsOpen());
    EXPECT_EQ(r->GetPageCount(), 3);
}

TEST(ReportWriters, WorkingFilesGoWithTheirHandleAndOrphansAreSwept) {
    const QString path = testDir() + "/r.rep";
    makeReport(path, 3);
    QString work;
    {
        // Opening reads the report in place; the first save leaves a
        // working file that goes with the handle.
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        EXPECT_TRUE(h.WorkingCopyPath().isEmpty());
        ASSERT_EQ(h.Save(), 0);
        work = h.WorkingCopyPath();
        EXPECT_TRUE(QFile::exists(work));
    }
    EXPECT_FALSE(QFile::exists(work));

    // What a killed process leaves: its lock file, unlocked, and its files.
    const QDir folder(WorkFolder());
    for (const char* name : {"00000000deadbeef.lock", "00000000deadbeef-abcdef.rep",
                             "00000000deadbeef-ghijkl.new"}) {
        QFile f(folder.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    EXPECT_EQ(SweepOrphanedWorkFiles(), 2);
    EXPECT_TRUE(folder.entryList({"00000000deadbeef*"}, QDir::Files).isEmpty());

    // A live process's files stay: ours, while a report is open.
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_EQ(h.Save(), 0);
    SweepOrphanedWorkFiles();
    EXPECT_TRUE(QFile::exists(h.WorkingCopyPath()));
}

// Scratch folders (a conversion's output before it is moved into place)
// go with their process like its files: whole, links inside removed and
// never followed.
TEST(ReportWriters, ScratchFoldersOfKilledProcessesAreSweptWholeAndLiveOnesStay) {
    const QString dir = testDir();
    const QString victim = dir + "/victim.txt";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    const QString mine = CreateWorkFolder();
    ASSERT_FALSE(mine.isEmpty());
    EXPECT_TRUE(QFileInfo(mine).isDir());
    EXPECT_EQ(QFileInfo(mine).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

    const QDir folder(WorkFolder());
    {
        QFile lock(folder.filePath("00000000feedface.lock"));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    }
    const QString dead = folder.filePath("00000000feedface-abcdef.d");
    ASSERT_TRUE(QDir().mkpath(dead + "/sub"));
    {
        QFile f(dead + "/sub/o.xls");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("half a workbook");
    }
    ASSERT_TRUE(QFile::link(victim, dead + "/link.txt"));
    ASSERT_TRUE(QFile::link(dir, dead + "/folderlink"));

    EXPECT_GE(SweepOrphanedWorkFiles(), 1);
    EXPECT_FALSE(QFileInfo::exists(dead));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath("00000000feedface.lock")));
    EXPECT_TRUE(QFileInfo(mine).isDir());
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "precious");
    QDir(mine).removeRecursively();
}

TEST(ReportWriters, AReaderKeepsReadingTheFileItOpenedWhileAWriterReplacesIt) {
    const QString path = testDir() + "/r.rep";
    makeReport(path, 3);
    std::unique_ptr<CReportHandle> reader;
    ASSERT_TRUE(openForReading(&reader, path)->IsOpen());
    EXPECT_TRUE(reader->WorkingCopyPath().isEmpty());  // nothing copied to open it
    {
        CReportHandle writer(path, CReportHandle::OpenMode::OpenExisting);
        ASSERT_TRUE(writer.IsOpen());
        ASSERT_EQ(writer.AppendRowColPage(5, 2), 0);
        writer.GetPage(3)->SetNumber(2, 2, 99);
        ASSERT_EQ(writer.Save(), 0);
    }
    // The reader's pages come from the file as it was when it opened it,
    // even after its streams were closed and opened again.
    ASSERT_EQ(reader->CloseStreams(), 0);
    uint16_t status = 0;
    auto page = reader->GetPage(3, &status);
    ASSERT_TRUE(page) << status;
    EXPECT_DOUBLE_EQ(page->Slot(2, 2).numberValue(), 0);
    EXPECT_EQ(reader->GetPageCount(), 3);
    std::unique_ptr<CReportHandle> fresh;
    ASSERT_TRUE(openForReading(&fresh, path)->IsOpen());
    EXPECT_EQ(fresh->GetPageCount(), 8);
    EXPECT_DOUBLE_EQ(fresh->GetPage(3)->Slot(2, 2).numberValue(), 99);
}

TEST(ReportWriters, OwnComputersMarkStaysWhileAnotherProcessWritesTheReport) {
    const QString path = testDir() + "/marked.rep";
    makeReport(path);
    ASSERT_EQ(MarkReportOpened(path), 1);
    // Another process's writer: a lock on its own open file, not a report
    // of this process's table.
    const int other = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(other, 0);
    ASSERT_EQ(TryLockFile(other), LockResult::Locked);
    QString who;
    EXPECT_EQ(IsReportOpenElsewhere(path, &who), 1);
    EXPECT_EQ(who, LocalComputerName());
    ::close(other);
    // Nobody holds it now: the mark was left by a run that ended.
    EXPECT_EQ(IsReportOpenElsewhere(path, &who), 0);
    InUseMark mark;
    ASSERT_TRUE(ReadInUseMark(path, &mark));
    EXPECT_FALSE(mark.inUse);
}

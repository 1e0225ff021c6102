// The in-use mark: written in place, time stamps kept, stale marks cleared.
#include "engine/inusemarker.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "platform/compoundfile.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

using qortest::testDir;

// Sets both time stamps to a fixed moment in the past.
void ageFile(const QString& path) {
    const struct timespec t[2] = {{978307200, 123}, {978307200, 456}};
    ASSERT_EQ(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0), 0);
}

struct timespec mtimeOf(const QString& path) {
    struct stat st {};
    stat(QFile::encodeName(path).constData(), &st);
    return st.st_mtim;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

QString newReport(const QString& path) {
    CReportHandle h(path);
    EXPECT_TRUE(h.IsOpen());
    return h.GetPathName();
}

}  // namespace

TEST(InUseMarker, MarkAndClearKeepTheTimeStampsAndTheReport) {
    const QString path = newReport(testDir() + "/m.rep");
    ageFile(path);
    const struct timespec before = mtimeOf(path);
    const QByteArray bytesBefore = [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    CReportHandle open(path);  // ours: the mark is not stale
    ASSERT_EQ(MarkReportOpened(path), 1);
    EXPECT_TRUE(sameTime(mtimeOf(path), before));
    QString who;
    EXPECT_NE(IsReportOpenElsewhere(path, &who), 0);
    EXPECT_EQ(who, LocalComputerName());
    EXPECT_FALSE(who.isEmpty());
    EXPECT_LE(who.size(), 31);

    // Only the mark's bytes changed, and an independent reader sees them.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray after = f.readAll();
    f.close();
    ASSERT_EQ(after.size(), bytesBefore.size());
    int changed = 0;
    for (qsizetype i = 0; i < after.size(); ++i) changed += after[i] != bytesBefore[i];
    EXPECT_GT(changed, 1);
    EXPECT_LE(changed, kMarkerLength);
    if (qortest::needPythonModule("olefile")) {
        const auto r = qortest::python(
            "import olefile,sys\n"
            "rep=olefile.OleFileIO(sys.argv[1]).openstream('QOR~REP').read()\n"
            "print(rep[224], rep[226:290].decode('utf-16-le').rstrip('\\x00'))\n",
            {path});
        EXPECT_EQ(QString::fromUtf8(r.out.trimmed()), "1 " + LocalComputerName());
    }
    // The marked file still opens: the mark is outside the checksum.
    CReportHandle second(path, CReportHandle::OpenMode::OpenExisting,
                         CReportHandle::Access::Read);
    EXPECT_TRUE(second.IsOpen());

    ASSERT_EQ(MarkReportClosed(path), 1);
    EXPECT_TRUE(sameTime(mtimeOf(path), before));
    EXPECT_EQ(IsReportOpenElsewhere(path, &who), 0);
    EXPECT_TRUE(who.isEmpty());
}

TEST(InUseMarker, AnotherComputersMarkIsReported) {
    const QString path = newReport(testDir() + "/o.rep");
    ASSERT_TRUE(WriteInUseMark(path, {true, QStringLiteral("财务-PC2")}));
    QString who;
    EXPECT_EQ(IsReportOpenElsewhere(path, &who), 1);
    EXPECT_EQ(who, QStringLiteral("财务-PC2"));
    // Still there after asking again: only our own stale marks are cleared.
    EXPECT_EQ(IsReportOpenElsewhere(path, &who), 1);
}

TEST(InUseMarker, OwnMarkWithoutOpenReportIsStale) {
    const QString path = newReport(testDir() + "/stale.rep");
    ASSERT_TRUE(WriteInUseMark(path, {true, LocalComputerName().toUpper()}));
    QString who = "x";
    EXPECT_EQ(IsReportOpenElsewhere(path, &who), 0);
    EXPECT_TRUE(who.isEmpty());
    InUseMark mark;
    ASSERT_TRUE(ReadInUseMark(path, &mark));
    EXPECT_FALSE(mark.inUse);
}

TEST(InUseMarker, OnlyReportFilesAreMarked) {
    const QString dir = testDir();
    const QString rep = newReport(dir + "/a.rep");
    const QString other = dir + "/a.dat";
    ASSERT_TRUE(QFile::copy(rep, other));
    EXPECT_EQ(MarkReportOpened(other), 0);
    QString who;
    EXPECT_EQ(IsReportOpenElsewhere(other, &who), 0);
    const QString backup = dir + "/a.RBK";
    ASSERT_TRUE(QFile::copy(rep, backup));
    EXPECT_EQ(MarkReportOpened(backup), 1);
    EXPECT_EQ(MarkReportOpened(dir + "/missing.rep"), 0);
    QFile text(dir + "/t.rep");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("plain");
    text.close();
    EXPECT_EQ(MarkReportOpened(dir + "/t.rep"), 0);
}

TEST(InUseMarker, MarkInAMiniStreamIsPatchedToo) {
    // A foreign writer may leave "QOR~REP" below the mini-stream cutoff.
    const QString path = testDir() + "/mini.rep";
    {
        auto cf = CompoundFile::create(path);
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->writeAll("QOR~REP", encodeHeader(ReportHeader{})));
        ASSERT_TRUE(cf->writeAll("Other", QByteArray(700, 'o')));
        ASSERT_TRUE(cf->commit());
    }
    ASSERT_TRUE(WriteInUseMark(path, {true, QStringLiteral("PC-MINI")}));
    InUseMark mark;
    ASSERT_TRUE(ReadInUseMark(path, &mark));
    EXPECT_TRUE(mark.inUse);
    EXPECT_EQ(mark.computer, "PC-MINI");
    auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
    EXPECT_EQ(cf->readAll("Other"), QByteArray(700, 'o'));
}

TEST(InUseMarker, SavingKeepsTheTargetsMark) {
    const QString path = newReport(testDir() + "/keep.rep");
    CReportHandle h(path);
    ASSERT_TRUE(WriteInUseMark(path, {true, QStringLiteral("HOLDER")}));
    ASSERT_EQ(h.AppendRowColPage(1, 2), 0);
    ASSERT_EQ(h.Save(), 0);
    InUseMark mark;
    ASSERT_TRUE(ReadInUseMark(path, &mark));
    EXPECT_TRUE(mark.inUse);
    EXPECT_EQ(mark.computer, "HOLDER");
}

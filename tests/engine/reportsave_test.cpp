// Saves that copy what did not change from the file they replace: the file
// holds what a full rewrite gives, unchanged streams and page records are
// carried over as they were, the saved report is a second name of the
// working file where the file system allows (a copy elsewhere), and a
// failure midway leaves the report as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/csheetpage.h"
#include "engine/reportlayout.h"
#include "engine/workfiles.h"
#include "platform/compoundfile.h"
#include "platform/safefile.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

constexpr int kPages = 4;

using qortest::fileBytes;

ino_t inodeOf(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QStringList temporariesIn(const QString& dir) {
    return QDir(dir).entryList({"*.tmp"}, QDir::Files | QDir::Hidden | QDir::System);
}

// Every stream of the file as olefile reads it: "path size md5".
QStringList olefileStreams(const QString& path) {
    const auto r = qortest::python(
        "import olefile,sys,hashlib\n"
        "o=olefile.OleFileIO(sys.argv[1],raise_defects=olefile.DEFECT_UNSURE)\n"
        "for p in sorted(o.listdir(streams=True,storages=False)):\n"
        "    d=o.openstream(p).read()\n"
        "    print('/'.join(p),len(d),hashlib.md5(d).hexdigest())\n",
        {path});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return QString::fromUtf8(r.out).split('\n', Qt::SkipEmptyParts);
}

// A report whose pages hold numbers and texts (so their records carry
// heaps of different lengths), with document streams and a storage the
// system does not know.
void makeReport(const QString& path) {
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        uint16_t rows = 60, cols = 12;
        ASSERT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
        ASSERT_EQ(h.EnterDataState(1), 0);
        ASSERT_EQ(h.AppendRowColPage(kPages, 2), 0);
        for (int p = 1; p <= kPages; ++p) {
            auto page = h.GetPage(p);
            ASSERT_TRUE(page);
            for (uint16_t r = 1; r <= 60; r += 7) {
                page->SetNumber(r, 2, p * 1000 + r);
                page->SetText(r, 5, QStringLiteral("第%1页 行%2").arg(p).arg(r));
            }
        }
        h.GetReportFile()->SetDocumentStream("OTHERS", QByteArray(9000, 'o'));
        h.GetReportFile()->SetDocumentStream("Embedding 1/Contents", QByteArray(700, 'e'));
        ASSERT_EQ(h.Save(), 0);
    }
    auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadWrite);
    ASSERT_TRUE(cf);
    ASSERT_TRUE(cf->createStorage("Foreign"));
    ASSERT_TRUE(cf->writeAll("Foreign/Data", QByteArray(5000, 'f')));
    ASSERT_TRUE(cf->commit());
}

std::vector<BlobEntry> pageDirectory(const QString& path) {
    auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
    std::vector<BlobEntry> entries;
    if (!cf) return entries;
    const QByteArray bytes = cf->readAll("PageEx");
    const QByteArray dir = bytes.left(qsizetype(directorySize(kPages)));
    EXPECT_EQ(decodeDirectory(dir, kPageDirMagic, quint64(bytes.size()), &entries), 0);
    return entries;
}

class ReportSaveTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        path = dir + "/r.rep";
        makeReport(path);
    }
    void TearDown() override { SetSaveFaultAfterBytes(-1); }

    QString dir;
    QString path;
};

}  // namespace

TEST_F(ReportSaveTest, OneCellSaveGivesTheFileAFullRewriteGivesAndKeepsTheRest) {
    const QString copied = dir + "/copied.rep";
    const QString rewritten = dir + "/rewritten.rep";
    ASSERT_TRUE(QFile::copy(path, copied));
    ASSERT_TRUE(QFile::copy(path, rewritten));
    {
        CReportHandle h(copied);
        ASSERT_TRUE(h.IsOpen());
        h.GetPage(3)->SetNumber(8, 2, -42.5);
        ASSERT_EQ(h.Save(), 0);
        // Pages nobody loaded before the save come from the new file.
        EXPECT_DOUBLE_EQ(h.GetPage(4)->Slot(8, 2).numberValue(), 4008);
        EXPECT_EQ(h.GetPage(1)->Text(15, 5), QStringLiteral("第1页 行15"));
    }
    {
        // Every page built and written anew, every stream written from memory.
        CReportHandle h(rewritten);
        ASSERT_TRUE(h.IsOpen());
        h.GetPage(3)->SetNumber(8, 2, -42.5);
        std::vector<std::shared_ptr<CSheetPage>> held;
        for (int p = 1; p <= kPages; ++p) {
            held.push_back(h.GetPage(p));
            held.back()->SetDirty(true);
        }
        CReportFile* f = h.GetReportFile();
        for (const char* s : {"OTHERS", "Embedding 1/Contents", "Foreign/Data"})
            f->SetDocumentStream(s, f->DocumentStream(s));
        ASSERT_EQ(h.Save(), 0);
    }
    // Sectors may lie elsewhere (a record copied whole grows its stream in
    // one step, one encoded grows it piece by piece), but every entry
    // holds the same bytes.
    {
        auto a = CompoundFile::open(copied, CompoundFile::Mode::ReadOnly);
        auto b = CompoundFile::open(rewritten, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(a && b);
        const auto entries = a->allEntries();
        ASSERT_EQ(entries.size(), b->allEntries().size());
        ASSERT_GE(entries.size(), 7);  // 6 streams, 2 storages
        for (const CompoundFile::Entry& e : entries) {
            ASSERT_TRUE(b->exists(e.path)) << e.path.toStdString();
            EXPECT_EQ(b->isStorage(e.path), e.isStorage) << e.path.toStdString();
            if (!e.isStorage) {
                EXPECT_EQ(a->readAll(e.path), b->readAll(e.path)) << e.path.toStdString();
            }
        }
    }

    // Only page 3's record and its directory entry differ from before.
    const std::vector<BlobEntry> before = pageDirectory(path);
    const std::vector<BlobEntry> after = pageDirectory(copied);
    ASSERT_EQ(before.size(), size_t(kPages));
    ASSERT_EQ(after.size(), size_t(kPages));
    for (int i : {0, 1, 3}) {
        EXPECT_EQ(after[i].offset, before[i].offset) << i;
        EXPECT_EQ(after[i].crc, before[i].crc) << i;
    }
    EXPECT_NE(after[2].crc, before[2].crc);
    {
        auto a = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
        auto b = CompoundFile::open(copied, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(a && b);
        const QByteArray pa = a->readAll("PageEx"), pb = b->readAll("PageEx");
        ASSERT_EQ(pa.size(), pb.size());
        const qsizetype dirEnd = qsizetype(directorySize(kPages));
        const qsizetype from = qsizetype(before[2].offset);
        const qsizetype to = from + qsizetype(before[2].length);
        EXPECT_EQ(pa.mid(dirEnd, from - dirEnd), pb.mid(dirEnd, from - dirEnd));
        EXPECT_EQ(pa.mid(to), pb.mid(to));
        EXPECT_NE(pa.mid(from, to - from), pb.mid(from, to - from));
    }
    if (!qortest::needPythonModule("olefile")) return;
    // An independent reader finds the streams that did not change as they
    // were, and the same streams in both files.
    const QStringList old = olefileStreams(path), now = olefileStreams(copied);
    EXPECT_EQ(now, olefileStreams(rewritten));
    ASSERT_EQ(old.size(), now.size());
    ASSERT_GE(now.size(), 6);
    for (qsizetype i = 0; i < old.size(); ++i) {
        if (old[i].startsWith("PageEx ") || old[i].startsWith("QOR~REP "))
            continue;  // the changed page; the header records who saved
        EXPECT_EQ(now[i], old[i]);
    }
}

TEST_F(ReportSaveTest, TheSavedReportIsTheWorkingFileUnderASecondNameOrElseACopy) {
    {
        CReportHandle h(path);
        ASSERT_TRUE(h.IsOpen());
        h.GetPage(2)->SetNumber(1, 1, 7);
        ASSERT_EQ(h.Save(), 0);
        const QString work = h.WorkingCopyPath();
        ASSERT_TRUE(QFile::exists(work));
        EXPECT_EQ(inodeOf(work), inodeOf(path));  // written once
        EXPECT_TRUE(IsFileLocked(path));          // the writer's lock moved with it
        EXPECT_TRUE(temporariesIn(dir).isEmpty());

        // A second save replaces both names' file with a new one.
        h.GetPage(2)->SetNumber(1, 1, 8);
        ASSERT_EQ(h.Save(), 0);
        EXPECT_FALSE(QFile::exists(work));
        EXPECT_EQ(inodeOf(h.WorkingCopyPath()), inodeOf(path));

        // On another file system the working file is copied.
        struct stat shm {
        }, here{};
        if (::stat("/dev/shm", &shm) == 0 &&
            ::stat(QFile::encodeName(dir).constData(), &here) == 0 && shm.st_dev != here.st_dev) {
            const QString elsewhere = QStringLiteral("/dev/shm/qor-saveas-%1.rep")
                                          .arg(QCoreApplication::applicationPid());
            QFile::remove(elsewhere);
            h.SetAlternatePath(elsewhere);
            h.GetPage(2)->SetNumber(1, 1, 9);
            ASSERT_EQ(h.Save(), 0);
            EXPECT_NE(inodeOf(elsewhere), inodeOf(h.WorkingCopyPath()));
            EXPECT_EQ(fileBytes(elsewhere), fileBytes(h.WorkingCopyPath()));
            EXPECT_TRUE(temporariesIn("/dev/shm").filter("qor-saveas").isEmpty());
            QFile::remove(elsewhere);
        }
    }
    // The report stays when its working file goes with the handle.
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    ASSERT_TRUE(h.IsOpen());
    EXPECT_DOUBLE_EQ(h.GetPage(2)->Slot(1, 1).numberValue(), 8);
    EXPECT_DOUBLE_EQ(h.GetPage(4)->Slot(1, 2).numberValue(), 4001);
}

TEST_F(ReportSaveTest, AFailureWhileCopyingUnchangedPagesLeavesTheReportAsItWas) {
    const QByteArray before = fileBytes(path);
    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());
    h.GetPage(4)->SetNumber(50, 2, 1.5);
    const qint64 size = QFileInfo(path).size();
    // Within the copy of pages 1 to 3, and then within the document streams.
    for (const auto& [limit, err, status] :
         {std::tuple{size / 3, ENOSPC, 1090}, std::tuple{size - 6000, EIO, 1030}}) {
        SetSaveFaultAfterBytes(limit, err);
        EXPECT_EQ(h.Save(), status) << limit;
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_TRUE(temporariesIn(dir).isEmpty());
        EXPECT_TRUE(h.WorkingCopyPath().isEmpty());  // still read in place
    }
    SetSaveFaultAfterBytes(-1);
    ASSERT_EQ(h.Save(), 0);
    CReportHandle r(path, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
    ASSERT_TRUE(r.IsOpen());
    EXPECT_DOUBLE_EQ(r.GetPage(4)->Slot(50, 2).numberValue(), 1.5);
    EXPECT_DOUBLE_EQ(r.GetPage(1)->Slot(50, 2).numberValue(), 1050);
    EXPECT_EQ(r.GetReportFile()->DocumentStream("Foreign/Data"), QByteArray(5000, 'f'));
}

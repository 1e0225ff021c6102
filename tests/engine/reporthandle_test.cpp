// Opening, creating and closing reports; states; the table of open reports.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "engine/creporthandle.h"
#include "engine/openreports.h"
#include "engine/reportlayout.h"
#include "engine/reportpassword.h"
#include "engine/versionconvert.h"
#include "engine/workfiles.h"
#include "platform/compoundfile.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

using namespace qor;

namespace {

using qortest::testDir;

// A saved new report at path.
void makeReport(const QString& path) {
    CReportHandle h(path);
    ASSERT_TRUE(h.IsOpen());
}

// Overwrites the version text at the start of "QOR~REP".
void setVersionText(const QString& path, const char* text) {
    QList<CompoundFile::Extent> ext;
    {
        auto cf = CompoundFile::open(path, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        ext = cf->extents("QOR~REP", 0, 7);
    }
    ASSERT_EQ(ext.size(), 1);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(qint64(ext[0].fileOffset));
    f.write(text, 7);
}

int thrownBy(void (*fn)()) {
    try {
        fn();
    } catch (int e) {
        return e;
    }
    return 0;
}

}  // namespace

TEST(ReportHandle, NewReportIsWrittenAtOnceAndReopensAsMade) {
    const QString dir = testDir();
    QString work;
    {
        CReportHandle h(dir + "/fresh");
        ASSERT_TRUE(h.IsOpen());
        EXPECT_EQ(GetReportLastError(), 0);
        EXPECT_TRUE(h.WasCreated());
        EXPECT_EQ(h.GetPathName(), dir + "/fresh.rep");
        EXPECT_TRUE(QFile::exists(dir + "/fresh.rep"));
        work = h.WorkingCopyPath();
        EXPECT_EQ(QFileInfo(work).absolutePath(), QFileInfo(WorkFolder()).absoluteFilePath());
        EXPECT_TRUE(QRegularExpression("^[0-9a-f]{16}-\\w{6}\\.rep$")
                        .match(QFileInfo(work).fileName())
                        .hasMatch());
    }
    EXPECT_FALSE(QFile::exists(work));  // the working copy goes with the handle
    CReportHandle h(dir + "/fresh.rep", CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    EXPECT_FALSE(h.WasCreated());
    EXPECT_EQ(h.GetRowCount(), 50);
    EXPECT_EQ(h.GetColCount(), 7);
    EXPECT_EQ(h.IsFormatState(), 1);
    EXPECT_EQ(h.GetPageCount(), 0);
    EXPECT_EQ(h.GetReportFile()->VersionText(), "QOR8.61");
    auto cf = CompoundFile::open(dir + "/fresh.rep", CompoundFile::Mode::ReadOnly);
    ASSERT_TRUE(cf);
    EXPECT_EQ(cf->read("QOR~REP", 0, 8), QByteArray("QOR8.61\0", 8));
}

TEST(ReportHandle, ExtensionRule) {
    EXPECT_EQ(ReportPathWithExtension("/d/x.REP"), "/d/x.REP");
    EXPECT_EQ(ReportPathWithExtension("/d/x.Rep"), "/d/x.Rep");
    EXPECT_EQ(ReportPathWithExtension("/d/x.rbk"), "/d/x.rep");
    EXPECT_EQ(ReportPathWithExtension("/d/x.tar.gz"), "/d/x.tar.rep");
    EXPECT_EQ(ReportPathWithExtension("/d.v/x"), "/d.v/x.rep");
    EXPECT_EQ(ReportPathWithExtension("/d/.hidden"), "/d/.hidden.rep");
    EXPECT_EQ(ReportPathWithExtension("x."), "x.rep");
}

TEST(ReportHandle, OpenFailuresLeaveTheirStatus) {
    const QString dir = testDir();
    auto statusOf = [](const QString& path) {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        EXPECT_EQ(h.IsOpen(), h.OpenStatus() == 0);
        EXPECT_EQ(h.OpenStatus(), GetReportLastError());
        return int(GetReportLastError());
    };
    EXPECT_EQ(statusOf(dir + "/missing.rep"), 1005);
    EXPECT_EQ(thrownBy(ThrowReportError), 1005);
    QString work;
    EXPECT_EQ(OpenWorkingCopy(dir + "/missing.rep", &work), 1005);

    QFile text(dir + "/text.rep");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a compound file\n");
    text.close();
    EXPECT_EQ(statusOf(dir + "/text.rep"), 1006);

    {
        auto cf = CompoundFile::create(dir + "/other.rep");
        ASSERT_TRUE(cf);
        ASSERT_TRUE(cf->writeAll("WordDocument", QByteArray(100, 'w')));
        ASSERT_TRUE(cf->commit());
    }
    EXPECT_EQ(statusOf(dir + "/other.rep"), 1006);

    makeReport(dir + "/old.rep");
    setVersionText(dir + "/old.rep", "QOR7.20");
    EXPECT_EQ(statusOf(dir + "/old.rep"), 1007);
    setVersionText(dir + "/old.rep", "QOR9.00");
    EXPECT_EQ(statusOf(dir + "/old.rep"), 1007);
    setVersionText(dir + "/old.rep", "QOR8.6X");
    EXPECT_EQ(statusOf(dir + "/old.rep"), 1008);

    makeReport(dir + "/hdr.rep");
    {
        QList<CompoundFile::Extent> ext;
        {
            auto cf = CompoundFile::open(dir + "/hdr.rep", CompoundFile::Mode::ReadOnly);
            ext = cf->extents("QOR~REP", 16, 1);  // the row count
        }
        QFile f(dir + "/hdr.rep");
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(qint64(ext.at(0).fileOffset));
        f.putChar(49);
    }
    EXPECT_EQ(statusOf(dir + "/hdr.rep"), 1008);

    makeReport(dir + "/nopages.rep");
    {
        auto cf = CompoundFile::open(dir + "/nopages.rep", CompoundFile::Mode::ReadWrite);
        ASSERT_TRUE(cf->remove("PageEx"));
        ASSERT_TRUE(cf->commit());
    }
    EXPECT_EQ(statusOf(dir + "/nopages.rep"), 1008);

    {
        CReportHandle h(dir + "/no/such/folder/x.rep");
        EXPECT_EQ(h.OpenStatus(), 1010);
        EXPECT_TRUE(h.WorkingCopyPath().isEmpty());
    }

    // A good open clears the last error.
    makeReport(dir + "/good.rep");
    EXPECT_EQ(statusOf(dir + "/good.rep"), 0);
    EXPECT_EQ(thrownBy(ThrowReportError), 0);
}

TEST(ReportHandle, OlderVersionsGoThroughTheirConverter) {
    const QString dir = testDir();
    makeReport(dir + "/good.rep");
    makeReport(dir + "/old.rep");
    setVersionText(dir + "/old.rep", "QOR7.31");
    QString seen;
    RegisterReportConverter("QOR7.xx", [&](const QString& source, const QString& target) {
        seen = source;
        QFile::remove(target);
        return QFile::copy(dir + "/good.rep", target) ? uint16_t(0) : uint16_t(1030);
    });
    {
        CReportHandle h(dir + "/old.rep");
        EXPECT_TRUE(h.IsOpen());
        EXPECT_EQ(seen, dir + "/old.rep");
    }
    RegisterReportConverter("QOR7.xx", nullptr);
    CReportHandle h(dir + "/old.rep");
    EXPECT_EQ(h.OpenStatus(), 1007);
}

TEST(ReportHandle, TheThousandthOpenReportIsRefused) {
    // 999 open reports hold 999 working copies open.
    rlimit lim{};
    getrlimit(RLIMIT_NOFILE, &lim);
    if (lim.rlim_cur < 2048 && lim.rlim_max >= 2048) {
        lim.rlim_cur = 2048;
        setrlimit(RLIMIT_NOFILE, &lim);
    }
    const QString dir = testDir();
    makeReport(dir + "/small.rep");
    const int before = OpenReportCount();
    std::vector<std::unique_ptr<CReportHandle>> open;
    for (int i = before; i < kMaxOpenReports; ++i) {
        open.push_back(std::make_unique<CReportHandle>(
            dir + "/small.rep", CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read));
        ASSERT_TRUE(open.back()->IsOpen()) << i << " status " << open.back()->OpenStatus();
    }
    EXPECT_EQ(OpenReportCount(), 999);
    {
        CReportHandle extra(dir + "/small.rep");
        EXPECT_FALSE(extra.IsOpen());
        EXPECT_EQ(GetReportLastError(), 1009);
        EXPECT_EQ(thrownBy(ThrowReportError), 1009);
        CReportHandle fresh(dir + "/notcreated.rep");
        EXPECT_EQ(fresh.OpenStatus(), 1009);
        EXPECT_FALSE(QFile::exists(dir + "/notcreated.rep"));
    }
    open.pop_back();
    CReportHandle last(dir + "/small.rep");
    EXPECT_TRUE(last.IsOpen());
    open.clear();
    EXPECT_EQ(OpenReportCount(), before + 1);
}

TEST(ReportHandle, OpenReportsAreFoundByPathIgnoringCase) {
    const QString dir = testDir();
    auto h = std::make_unique<CReportHandle>(dir + "/Mixed.rep");
    ASSERT_TRUE(h->IsOpen());
    EXPECT_EQ(FindOpenReport(dir + "/MIXED.REP"), h.get());
    EXPECT_EQ(FindOpenReport(dir + "/./sub/../mixed.rep"), h.get());
    EXPECT_EQ(FindOpenReport(dir + "/mixed"), nullptr);
    h->SetAlternatePath(dir + "/copy.rep");
    EXPECT_EQ(h->GetPathName(), dir + "/copy.rep");
    EXPECT_EQ(FindOpenReport(dir + "/copy.rep"), h.get());
    ASSERT_EQ(h->Save(), 0);
    EXPECT_TRUE(QFile::exists(dir + "/copy.rep"));
    h.reset();
    EXPECT_EQ(FindOpenReport(dir + "/copy.rep"), nullptr);
}

TEST(ReportHandle, StatesTableSizeAndAppending) {
    const QString dir = testDir();
    const QString path = dir + "/s.rep";
    {
        CReportHandle h(path);
        ASSERT_EQ(h.IsFormatState(), 1);
        EXPECT_EQ(h.EnterFormatState(), 1);
        EXPECT_EQ(h.SetCurPage(1), 1);
        uint16_t rows = 0, cols = 7;
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 1070);
        rows = 10000;
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 1070);
        rows = 9999;
        cols = 256;
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 1070);
        rows = 12;
        cols = 3;
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
        EXPECT_EQ(h.AppendRowColPage(5, 0), 0);
        EXPECT_EQ(h.AppendRowColPage(2, 1), 0);
        EXPECT_EQ(h.AppendRowColPage(0, 0), 1);
        EXPECT_EQ(h.AppendRowColPage(9999, 0), 1);
        EXPECT_EQ(h.AppendRowColPage(1, 7), 1);
        EXPECT_EQ(h.AppendRowColPage(2, 2), 0);  // pages in format state too
        rows = cols = 0;
        EXPECT_EQ(h.AccessTableSize(0, &rows, &cols), 0);
        EXPECT_EQ(rows, 17);
        EXPECT_EQ(cols, 5);
        EXPECT_EQ(h.EnterDataState(1), 0);
        EXPECT_EQ(h.EnterDataState(1), 1);
        EXPECT_EQ(h.CancelFormatState(), 1);
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 1);
        EXPECT_EQ(h.AppendRowColPage(1, 0), 1);
        EXPECT_EQ(h.SetCurPage(0), 0);
        EXPECT_EQ(h.GetCurPage(), 1);
        EXPECT_EQ(h.GetCurrentPage()->GetRowCount(), 17);
        EXPECT_EQ(h.EnterFormatState(), 0);
        EXPECT_EQ(h.GetCurPage(), 0);
        EXPECT_EQ(h.GetCurrentPage(), nullptr);
        ASSERT_EQ(h.Save(), 0);  // saved in format state
        rows = 30;
        EXPECT_EQ(h.AccessTableSize(1, &rows, &cols), 0);
        // Leaving without saving drops the unsaved format change.
    }
    CReportHandle h(path);
    EXPECT_EQ(h.IsFormatState(), 1);
    EXPECT_EQ(h.GetRowCount(), 17);
    EXPECT_EQ(h.GetPageCount(), 2);
    EXPECT_EQ(h.CloseStreams(), 0);
    EXPECT_EQ(h.EnterDataState(0), 0);
    EXPECT_EQ(h.SetCurPage(2), 0);  // streams reopen when a page is needed
}

TEST(ReportHandle, FilePasswordIsAskedUntilRightOrCancelled) {
    const QString dir = testDir();
    const QString path = dir + "/pw.rep";
    makeReport(path);
    EXPECT_EQ(CheckReportPassword(path), 1);  // none set: nobody is asked
    {
        CReportHandle h(path);
        QByteArray others("QOTH\x01\x00\x00\x00", 8);
        others += encodeFilePasswordField(u"Sesame");
        h.GetReportFile()->SetDocumentStream("OTHERS", others);
        ASSERT_EQ(h.Save(), 0);
    }
    EXPECT_EQ(ReadReportFilePassword(path), "Sesame");
    // Headless default: cancelled.
    EXPECT_EQ(CheckReportPassword(path), 0);
    QStringList answers{"wrong", "sesame"};
    int asked = 0;
    UiServices hooks;
    hooks.promptText = [&](const TextPrompt& p) -> std::optional<QString> {
        EXPECT_TRUE(p.password);
        EXPECT_EQ(p.label, "pw.rep");
        return answers.value(asked++);
    };
    const UiServices old = installUiServices(hooks);
    EXPECT_EQ(CheckReportPassword(path), 1);
    EXPECT_EQ(asked, 2);
    hooks.promptText = [&](const TextPrompt&) -> std::optional<QString> { return std::nullopt; };
    installUiServices(hooks);
    EXPECT_EQ(CheckReportPassword(path), 0);
    installUiServices(old);
}

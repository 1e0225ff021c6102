// The file manager of 文件管理器: its tree, double and right clicks, the
// context menu of every kind (each entry on and doing its work, or off
// with a reason), favourites, new and deleted files, and splitting a
// report into one file per page.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QTreeWidget>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "finui/mailtransfer.h"
#include "frame_fixture.h"
#include "frames/cfilemanagerbar.h"
#include "frames/cqorfm.h"
#include "platform/datadir.h"
#include "platform/inifile.h"
#include "platform/registry.h"
#include "reader/cappenvironment.h"
#include "reader/consolidationclientstandin.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

// A report of pages (one per keyword value) with its user keyword named
// keywordName and cell A1 holding the page number.
void makePagedReport(const QString& path, const QString& keywordName, const QStringList& values) {
    QFile::remove(path);
    CReportHandle h(path, CReportHandle::OpenMode::CreateNew);
    ASSERT_TRUE(h.IsOpen());
    ASSERT_TRUE(h.GetReportFile()->SetUserKeywordName(keywordName));
    ASSERT_EQ(h.EnterDataState(), 0);
    ASSERT_EQ(h.AppendRowColPage(int(values.size()), 2), 0);
    for (int page = 1; page <= values.size(); ++page) {
        ASSERT_EQ(h.SetPageKeyword(6, {2, 0, values[page - 1]}, page), 0);
        ASSERT_EQ(h.SetCellValue(CellValue::ofNumber(page), 1, 1, page), 0);
    }
    ASSERT_EQ(h.Save(), 0);
}

class FileManager : public frametest::FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        qor::UiServices s = qor::uiServices();
        s.promptText = [this](const qor::TextPrompt& p) -> std::optional<QString> {
            prompts << p.initial;
            if (names.isEmpty()) return std::nullopt;
            return names.takeFirst();
        };
        qor::installUiServices(s);
        qor::IniFile profile(qor::applicationProfilePath());
        profile.removeSection(kFavouritesSection);
        profile.save();
        dir = QDir(qor::dataDir()).filePath(QStringLiteral("fm-%1").arg(++s_round));
        QDir(dir).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(dir));
        // 文件管理器 from the view menu makes the control and shows it.
        ASSERT_TRUE(frame->Router().Execute(kCmdFileManager));
        ASSERT_NE(frame->FileManagerBar(), nullptr);
        ASSERT_TRUE(frame->FileManagerBar()->IsReady());
        fm = qobject_cast<CQORFM*>(frame->FileManagerBar()->widget());
        ASSERT_NE(fm, nullptr);
    }

    QTreeWidgetItem* item(const QString& path) {
        QTreeWidgetItem* found = fm->FindPath(path);
        EXPECT_NE(found, nullptr) << qPrintable(path);
        return found;
    }

    QList<int> menuIds() const {
        QList<int> ids;
        if (QMenu* m = frame->FileManagerMenu())
            for (QAction* a : m->actions()) ids << CommandRouter::CommandId(a);
        return ids;
    }

    // Right click on the item, then the entry id of the menu that shows.
    bool choose(QTreeWidgetItem* on, int id) {
        fm->RequestMenu(on);
        QMenu* m = frame->FileManagerMenu();
        if (!m) return false;
        m->hide();
        for (QAction* a : m->actions()) {
            if (CommandRouter::CommandId(a) != id) continue;
            frame->Router().Update(a);
            if (!a->isEnabled()) return false;
            a->trigger();
            QApplication::processEvents();
            return true;
        }
        return false;
    }

    static inline int s_round = 0;
    QString dir;
    CQORFM* fm = nullptr;
    QStringList names;    // answers to the name prompts, in order
    QStringList prompts;  // what each prompt offered
};

}  // namespace

TEST_F(FileManager, ContextMenusFollowTheKindAndEveryEntryIsOnOrSaysWhy) {
    const QMap<int, QList<int>> expected{
        {kFmKindFolder,
         {kCmdFmNewFolder, kCmdFmNewReport, kCmdFmFavourite, kCmdFmProperties, kCmdFmMail}},
        {kFmKindFavourites, {kCmdFmNewScript, kCmdFmRefresh}},
        {kFmKindFavourite, {kCmdFmDelete}},
        {kFmKindFile, {kCmdFmDelete}},
        {kFmKindDownload, {kCmdFmUseDownloads}},
        {kFmKindPage, {kCmdFmFavourite, kCmdFmDelete, kCmdFmProperties, kCmdFmMail}},
    };
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        frame->OnFileManagerMessage(kFmOpenFile, it.key(), kFmPopupName);
        EXPECT_EQ(menuIds(), it.value()) << "kind " << it.key();
        EXPECT_EQ(frame->m_bFileManagerPopup, 1);
        QMenu* m = frame->FileManagerMenu();
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(m->isVisible());
        for (QAction* a : m->actions()) {
            frame->Router().Update(a);
            if (a->isEnabled()) continue;
            EXPECT_FALSE(a->statusTip().isEmpty()) << CommandRouter::CommandId(a);
            EXPECT_EQ(a->statusTip(), frame->Router().Query(CommandRouter::CommandId(a)).reason);
        }
        m->hide();
    }
    frame->OnFileManagerMessage(kFmOpenFile, kFmKindFavourite, kFmPopupName);
    ASSERT_EQ(frame->FileManagerMenu()->actions().size(), 1);
    EXPECT_EQ(frame->FileManagerMenu()->actions().first()->text().remove('&'),
              QStringLiteral("删除"));
    frame->FileManagerMenu()->hide();

    // Every entry reaches the control through the router; nothing is a
    // dead end. 使用下载目录 runs with the client registered.
    EXPECT_TRUE(CQORFM::HasDownloadHandler());
    int ran = 0;
    QObject::connect(&frame->Router(), &CommandRouter::commandExecuted, [&ran](int) { ++ran; });
    ASSERT_TRUE(choose(fm->DownloadItem(), kCmdFmUseDownloads));
    ASSERT_TRUE(choose(fm->FavouritesItem(), kCmdFmRefresh));
    EXPECT_EQ(ran, 2);

    // Names too short to have a type are refused, not cut.
    messages.clear();
    frame->OnOpenFileMessage(kFmKindFile, QStringLiteral("ab"));
    EXPECT_TRUE(said(QStringLiteral("不能处理"))) << qPrintable(messages.join('|'));
}

TEST_F(FileManager, DoubleClicksOpenReportsRunScriptsAndLoadMenus) {
    const QString upper = dir + "/X.REP";
    {
        CReportHandle h(upper, CReportHandle::OpenMode::CreateNew);
        ASSERT_EQ(h.Save(), 0);
    }
    QFile script(dir + "/fill.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("LET A1=42\n");
    script.close();
    ASSERT_TRUE(fm->Refresh());

    // A report not yet open opens under its own spelling; again, it only
    // comes to the front.
    fm->OpenItem(item(upper));
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('|'));
    EXPECT_EQ(frame->ActiveDocument()->GetPathName(), upper);
    // The active report is what the tree selects.
    EXPECT_EQ(CQORFM::ItemPath(fm->Tree()->currentItem()), upper);
    fm->OpenItem(item(upper));
    EXPECT_EQ(frame->Children().size(), 1);

    // A script runs against the active report.
    ASSERT_TRUE(frame->ActiveDocument()->EnterDataState());
    fm->OpenItem(item(dir + "/fill.shl"));
    double v = 0;
    EXPECT_TRUE(frame->ActiveDocument()->GetNumCellValue(0, 0, &v))
        << qPrintable(messages.join('|'));
    EXPECT_EQ(v, 42);

    // A damaged menu file is told and changes nothing; a file of another
    // type goes to the consolidation client, which says what is missing.
    QFile menu(dir + "/bad.MNU");
    ASSERT_TRUE(menu.open(QIODevice::WriteOnly));
    menu.write("not a menu");
    menu.close();
    messages.clear();
    frame->OnOpenFileMessage(kFmKindFile, dir + "/bad.MNU");
    EXPECT_FALSE(frame->IsUserMenuActive());
    EXPECT_FALSE(messages.isEmpty());
    messages.clear();
    const int before = int(frame->Children().size());
    frame->OnOpenFileMessage(kFmKindFile, dir + "/missing.xml");
    EXPECT_FALSE(messages.isEmpty());
    EXPECT_EQ(frame->Children().size(), before);
    for (CChildFrame* c : frame->Children()) c->GetDocument()->SetModifiedFlag(false);
}

TEST_F(FileManager, FavouritesAndNewFilesFoldersAndDeletions) {
    // Without a report nothing can be kept.
    ASSERT_TRUE(choose(fm->DataItem(), kCmdFmFavourite));
    EXPECT_EQ(messages.last(), LoadErrorText(qor::str::kNoReportToKeep));

    const QString rep = dir + "/kept.rep";
    {
        CReportHandle h(rep, CReportHandle::OpenMode::CreateNew);
        ASSERT_EQ(h.Save(), 0);
    }
    ASSERT_NE(frame->OpenDocumentFile(rep), nullptr);
    names = {QStringLiteral(" my  fav ")};
    ASSERT_TRUE(choose(fm->DataItem(), kCmdFmFavourite));
    EXPECT_EQ(prompts.last(), QStringLiteral("kept"));
    const auto favourites = CQORFM::Favourites();
    ASSERT_EQ(favourites.size(), 1);
    EXPECT_EQ(favourites[0].first, QStringLiteral("MYFAV"));
    EXPECT_EQ(favourites[0].second, rep);
    ASSERT_EQ(fm->FavouritesItem()->childCount(), 1);
    QTreeWidgetItem* fav = fm->FavouritesItem()->child(0);
    EXPECT_EQ(CQORFM::ItemKind(fav), kFmKindFavourite);
    // Deleting a favourite forgets it and keeps the file.
    ASSERT_TRUE(choose(fav, kCmdFmDelete));
    EXPECT_TRUE(CQORFM::Favourites().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(rep));

    // A new folder and a new empty report in it.
    names = {QStringLiteral("子目录")};
    ASSERT_TRUE(choose(item(dir), kCmdFmNewFolder));
    ASSERT_TRUE(QFileInfo(dir + "/子目录").isDir());
    names = {QStringLiteral("../escape"), QStringLiteral("新表")};
    ASSERT_TRUE(choose(item(dir + "/子目录"), kCmdFmNewFolder));
    EXPECT_FALSE(QFileInfo::exists(dir + "/escape"));
    ASSERT_TRUE(choose(item(dir + "/子目录"), kCmdFmNewReport));
    const QString made = dir + "/子目录/新表.rep";
    {
        CReportHandle h(made, CReportHandle::OpenMode::OpenExisting, CReportHandle::Access::Read);
        EXPECT_TRUE(h.IsOpen());
    }
    // A name that is taken is refused and the file left alone.
    names = {QStringLiteral("新表")};
    messages.clear();
    ASSERT_TRUE(choose(item(dir + "/子目录"), kCmdFmNewReport));
    EXPECT_TRUE(said(QStringLiteral("已有同名"))) << qPrintable(messages.join('|'));

    // Deleting asks first; No keeps the file, an open report is never
    // deleted, Yes deletes.
    answers = {qor::MsgAnswer::No};
    ASSERT_TRUE(choose(item(made), kCmdFmDelete));
    EXPECT_TRUE(QFileInfo::exists(made));
    messages.clear();
    ASSERT_TRUE(choose(item(rep), kCmdFmDelete));
    EXPECT_TRUE(QFileInfo::exists(rep));
    EXPECT_TRUE(said(QStringLiteral("已经打开")));
    answers = {qor::MsgAnswer::Yes};
    ASSERT_TRUE(choose(item(made), kCmdFmDelete));
    EXPECT_FALSE(QFileInfo::exists(made));

    // Properties name the path and the size.
    messages.clear();
    ASSERT_TRUE(choose(item(dir), kCmdFmProperties));
    EXPECT_TRUE(said(QDir::toNativeSeparators(dir)));

    // A new script is made in the data folder and kept among the favourites.
    names = {QStringLiteral("月结")};
    ASSERT_TRUE(choose(fm->FavouritesItem(), kCmdFmNewScript));
    EXPECT_TRUE(QFileInfo::exists(QDir(qor::dataDir()).filePath(QStringLiteral("月结.shl"))));
    ASSERT_EQ(CQORFM::Favourites().size(), 1);
    QFile::remove(QDir(qor::dataDir()).filePath(QStringLiteral("月结.shl")));
}

TEST_F(FileManager, SplitMakesOneReportPerPageAndClosesTheSource) {
    const QString rep = dir + "/分部.rep";
    makePagedReport(rep, QStringLiteral("部门"),
                    {QStringLiteral("销售部"), QStringLiteral("财务部"), QStringLiteral("生产部")});
    for (int page = 1; page <= 3; ++page) {
        QFile::remove(SplitCopyPath(rep, page));
        QFile::remove(SplitCopyPath(rep, page).chopped(4) + ".xlsx");
    }
    ASSERT_TRUE(fm->Refresh());

    // A keyword of another name writes nothing and leaves the report closed.
    messages.clear();
    EXPECT_FALSE(frame->OnSplitReportPages("R:" + rep + "#地区"));
    EXPECT_TRUE(said(QStringLiteral("地区")));
    EXPECT_FALSE(QFileInfo::exists(SplitCopyPath(rep, 1)));

    // Changes on screen are not silently left out: the user is asked, and
    // Cancel splits nothing.
    CChildFrame* open = frame->OpenDocumentFile(rep);
    ASSERT_NE(open, nullptr);
    open->GetDocument()->SetModifiedFlag(true);
    answers = {qor::MsgAnswer::Cancel};
    EXPECT_FALSE(frame->OnSplitReportPages("R:" + rep + "#部门"));
    EXPECT_FALSE(QFileInfo::exists(SplitCopyPath(rep, 1)));
    open->GetDocument()->SetModifiedFlag(false);
    delete open;
    QApplication::processEvents();

    // Through the control: the keyword name offered is the report's own.
    names = {QStringLiteral("部门")};
    fm->Tree()->setCurrentItem(item(rep));
    fm->RequestSplit(item(rep), u'C');
    EXPECT_EQ(prompts.last(), QStringLiteral("部门"));
    ASSERT_EQ(fm->PagesItem()->childCount(), 3) << qPrintable(messages.join('|'));
    EXPECT_TRUE(fm->PagesItem()->child(1)->text(0).contains(QStringLiteral("财务部")));
    EXPECT_EQ(CQORFM::ItemPath(fm->PagesItem()->child(2)), SplitCopyPath(rep, 3));
    for (int page = 1; page <= 3; ++page) {
        CReportHandle copy(SplitCopyPath(rep, page), CReportHandle::OpenMode::OpenExisting,
                           CReportHandle::Access::Read);
        ASSERT_TRUE(copy.IsOpen()) << page;
        EXPECT_EQ(copy.GetPageCount(), 1);
        CellValue a1;
        ASSERT_EQ(copy.GetCellValue(&a1, 1, 1, 1), 0);
        EXPECT_EQ(a1.number, page);
        ASSERT_TRUE(QFileInfo::exists(SplitCopyPath(rep, page).chopped(4) + ".xlsx"));
    }
    // The source was read and let go: it can be opened for writing.
    EXPECT_TRUE(frame->Children().isEmpty());
    {
        CReportHandle again(rep, CReportHandle::OpenMode::OpenExisting);
        EXPECT_TRUE(again.IsOpen());
    }
    if (qortest::needProgram(QStringLiteral("gsf"))) {
        const auto list = qortest::run(QStringLiteral("gsf"), {"list", SplitCopyPath(rep, 3)});
        EXPECT_EQ(list.exitCode, 0) << list.err.constData();
        EXPECT_TRUE(list.out.contains("QOR~REP")) << list.out.constData();
    }
    if (qortest::needPythonModule("openpyxl")) {
        const auto r = qortest::python(
            "import openpyxl,sys\n"
            "wb=openpyxl.load_workbook(sys.argv[1])\n"
            "print(wb.sheetnames[0], wb.active['A1'].value)\n",
            {SplitCopyPath(rep, 2).chopped(4) + ".xlsx"});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(QString::fromUtf8(r.out).trimmed(), QStringLiteral("第1页 2"));
    }
    // The page of a split opens from the list.
    fm->OpenItem(fm->PagesItem()->child(0));
    ASSERT_EQ(frame->Children().size(), 1);
    EXPECT_EQ(frame->ActiveDocument()->GetPathName(), SplitCopyPath(rep, 1));
    // While it is open it is not replaced under its window.
    messages.clear();
    EXPECT_FALSE(frame->OnSplitReportPages("R:" + rep + "#部门"));
    EXPECT_TRUE(said(QStringLiteral("第1页"))) << qPrintable(messages.join('|'));
    delete frame->Children().first();
    QApplication::processEvents();

    // A page that cannot be written stops the split naming it; the pages
    // before it stay as written, the one in the way is untouched.
    QFile::remove(SplitCopyPath(rep, 2));
    ASSERT_TRUE(QDir().mkpath(SplitCopyPath(rep, 2)));
    messages.clear();
    EXPECT_FALSE(frame->OnSplitReportPages("X:" + rep + "#部门"));
    EXPECT_TRUE(said(QStringLiteral("第2页"))) << qPrintable(messages.join('|'));
    EXPECT_TRUE(QFileInfo(SplitCopyPath(rep, 2)).isDir());
    EXPECT_TRUE(QFileInfo::exists(SplitCopyPath(rep, 1).chopped(4) + ".xml"));
    EXPECT_FALSE(QFileInfo::exists(SplitCopyPath(rep, 3).chopped(4) + ".xml"));
    const QStringList leftovers =
        QDir(SplitFolder()).entryList({QStringLiteral("*.??????.rep")}, QDir::Files);
    EXPECT_TRUE(leftovers.isEmpty()) << qPrintable(leftovers.join('|'));
    QDir(SplitCopyPath(rep, 2)).removeRecursively();
}

TEST_F(FileManager, WhatTheClientSendsDownIsShownAndTakenInByItsReport) {
    const QString base = qortest::freshDir("fm-consol");
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", base);
    const QString server = base + "/server";
    qor::Registry::writeString(qor::ConsolidationClientStandIn::kSettingsKey, "ServerFolder",
                               server);
    auto put = [](const QString& path, const QByteArray& bytes) {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put(server + "/hbbb/样表/Monthly.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData SampleID=\"7\" SampleName=\"x\">"
        "<Period><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/></Period>"
        "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
        "<Worksheet ss:Name=\"Balance\"><Table ss:ExpandedColumnCount=\"3\" "
        "ss:ExpandedRowCount=\"5\"/></Worksheet></Workbook>"
        "<SampleAlias><SName>Cash</SName><CellCoor>Balance!B4</CellCoor></SampleAlias>"
        "</ReportData>\n");
    put(server + "/hbbb/Alpha(001)/Monthly/download/2004-03-01.xml",
        "<ReportData><SampleData><Cash>5</Cash></SampleData></ReportData>");
    ASSERT_TRUE(fm->Refresh());
    const QString root = CQORFM::DownloadFolder();
    EXPECT_EQ(CQORFM::ItemPath(fm->DownloadItem()), root);
    fm->DownloadItem()->setExpanded(true);
    const QString sent = root + "/Alpha(001)/Monthly/download/2004-03-01.xml";
    EXPECT_EQ(fm->FindPath(sent), nullptr);

    // The download refreshes the tree, which then shows what came down.
    ASSERT_TRUE(frame->Router().Execute(kCmdConsolDownload));
    QTreeWidgetItem* got = fm->FindPath(sent);
    ASSERT_NE(got, nullptr) << qPrintable(messages.join('|'));

    // A double click on it makes the folder's report (named by the user)
    // and takes the file in.
    names = {QStringLiteral("Balance")};
    fm->OpenItem(got);
    ASSERT_EQ(frame->Children().size(), 1) << qPrintable(messages.join('|'));
    CQorsDoc* doc = frame->ActiveDocument();
    EXPECT_EQ(QFileInfo(doc->GetPathName()).canonicalFilePath(),
              QFileInfo(root + "/Alpha(001)/Monthly/Balance.rep").canonicalFilePath());
    EXPECT_EQ(doc->GetReport()->GetPageCount(), 1);
    for (CChildFrame* c : frame->Children()) c->GetDocument()->SetModifiedFlag(false);
    qor::Registry::writeString(CAppEnvironment::kInstallKey, "CurrentInstPath", QString());
}

TEST_F(FileManager, MailingAFolderListsItsReportsInTheSendWindow) {
    qputenv("QOR_MAIL_LIBRARY_DIR",
            QFile::encodeName(QFileInfo(QStringLiteral(QOR_VTMAIL8_PATH)).absolutePath()));
    for (const char* name : {"/a.rep", "/b.REP", "/c.shl"}) {
        QFile f(dir + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(fm->Refresh());
    ASSERT_TRUE(choose(item(dir), kCmdFmMail));
    const QList<qor::mail::CSendFileDlg*> windows = frame->findChildren<qor::mail::CSendFileDlg*>();
    ASSERT_EQ(windows.size(), 1) << qPrintable(messages.join('|'));
    QListWidget* list = windows.first()->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    QStringList listed;
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    listed.sort();
    EXPECT_EQ(listed, (QStringList{dir + "/a.rep", dir + "/b.REP"}));
    // One transfer at a time: the entry is off while the window is open.
    frame->OnFileManagerMessage(kFmOpenFile, kFmKindFolder, kFmPopupName);
    QAction* mailEntry = frame->FileManagerMenu()->actions().last();
    frame->FileManagerMenu()->hide();
    frame->Router().Update(mailEntry);
    EXPECT_FALSE(mailEntry->isEnabled());
    windows.first()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qunsetenv("QOR_MAIL_LIBRARY_DIR");
}

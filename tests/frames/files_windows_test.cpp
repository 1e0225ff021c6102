// Files and windows where a user expects them: where Open and Save As
// start, the ".rep" a saved report gets, report types matched in any case,
// and the size a new report window opens at after tiling or maximising.

#include <QDir>
#include <QFile>
#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QThread>
#include <QListView>
#include <QMdiArea>
#include <QTest>
#include <QTimer>

#include "frame_fixture.h"
#include "document/cmd_edit.h"
#include "engine/creporthandle.h"
#include "frames/cmyfiledlg.h"
#include "frames/toolbars.h"
#include "frames/widgetui.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"

using frametest::FrameFixture;
using qor::frames::CChildFrame;

namespace {

using qor::cmd_ids::kCmdFileOpen;
using qor::cmd_ids::kCmdFileSaveAs;
using qor::cmd_ids::kCmdWindowTile;

class FilesAndWindows : public FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        CMyFileDlg::SetCurrentReportDir(QString());
        CAppEnvironment::Instance().WriteProfileString(QStringLiteral("Settings"),
                                                       QStringLiteral("LastFolder"), QString());
        qor::UiServices s = qor::uiServices();
        s.chooseFile = [this](const qor::FilePrompt& p) -> std::optional<QString> {
            starts << p.directory;
            if (files.isEmpty()) return std::nullopt;
            return files.takeFirst();
        };
        qor::installUiServices(s);
    }
    void TearDown() override {
        CMyFileDlg::SetCurrentReportDir(QString());
        FrameFixture::TearDown();
    }
    QStringList starts;
};

TEST_F(FilesAndWindows, OpenAndSaveAsStartInTheReportsFolderElseTheLastOne) {
    const QString dir = qortest::freshDir(QStringLiteral("startfolder"));
    // Nothing chosen yet, no report: the home folder, never the process's
    // working folder.
    frame->Router().Execute(kCmdFileOpen);
    ASSERT_EQ(starts.size(), 1);
    EXPECT_EQ(starts.last(), QDir::homePath());
    // A new report has no folder of its own either.
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    files = {dir + QStringLiteral("/first")};
    frame->Router().Execute(kCmdFileSaveAs);
    EXPECT_EQ(starts.last(), QDir::homePath());
    // The chooser hook returns the bare name; the frame adds ".rep".
    EXPECT_EQ(child->GetDocument()->GetPathName(), dir + QStringLiteral("/first.rep"));
    // Saved, the report's folder is where both start.
    frame->Router().Execute(kCmdFileOpen);
    EXPECT_EQ(starts.last(), dir);
    frame->Router().Execute(kCmdFileSaveAs);
    EXPECT_EQ(starts.last(), dir + QStringLiteral("/first.rep"));

    // The folder last chosen in a dialog is kept for the next run.
    const QString other = qortest::freshDir(QStringLiteral("startfolder-other"));
    CMyFileDlg::SetCurrentReportDir(QString());
    {
        CMyFileDlg dlg(true, QString(), QString(), QStringLiteral("报表文件 (*.rep)"));
        dlg.SetInitialDir(other);
        QFile(other + QStringLiteral("/b.rep")).open(QIODevice::WriteOnly);
        CMyFileDlg::SetModalHook([](CMyFileDlg& d) {
            d.FileNameEdit()->setText(QStringLiteral("b.rep"));
            d.accept();
        });
        EXPECT_EQ(dlg.DoModal(), CMyFileDlg::IDOK);
        CMyFileDlg::SetModalHook({});
    }
    CMyFileDlg::SetCurrentReportDir(QString());  // as in a new run
    EXPECT_EQ(CMyFileDlg::StartFolder(), other);
    EXPECT_EQ(CMyFileDlg::StartFolder(dir + QStringLiteral("/first.rep")), dir);
    // A remembered folder that went away is not offered.
    QDir(other).removeRecursively();
    CMyFileDlg::SetCurrentReportDir(QString());
    EXPECT_EQ(CMyFileDlg::StartFolder(), QDir::homePath());
}

TEST_F(FilesAndWindows, ReportTypesMatchTheExtensionInAnyCase) {
    EXPECT_EQ(CMyFileDlg::CaseBlindFilter(QStringLiteral("报表文件 (*.rep);;所有文件 (*)")),
              QStringLiteral("报表文件（*.rep）(*.[rR][eE][pP]);;所有文件（*）(*)"));
    // Labels of the string table that name their patterns show them once.
    EXPECT_EQ(CMyFileDlg::CaseBlindFilter(
                  qor::QtFileFilter(QStringLiteral("批命令文件(*.shl)|*.shl|初始化文件 (*.ini)|*.ini|"
                                                   "表格(*.xls;*.xlsx)|*.xls;*.xlsx||"))),
              QStringLiteral("批命令文件（*.shl）(*.[sS][hH][lL]);;初始化文件（*.ini）(*.[iI][nN][iI]);;"
                             "表格（*.xls *.xlsx）(*.[xX][lL][sS] *.[xX][lL][sS][xX])"));
    EXPECT_EQ(CMyFileDlg::FilterExtension(QStringLiteral("Excel（*.xlsx）(*.[xX][lL][sS][xX] *.[xX][lL][sS])")),
              QStringLiteral("xlsx"));

    // Shown for real: a report written elsewhere in capitals is listed
    // beside the lower-case one; other files are not.
    const QString dir = qortest::freshDir(QStringLiteral("anycase"));
    for (const char* name : {"/UPPER.REP", "/lower.rep", "/Mixed.Rep", "/note.txt"})
        QFile(dir + QLatin1String(name)).open(QIODevice::WriteOnly);
    CMyFileDlg dlg(true, QString(), QString(), QStringLiteral("报表文件 (*.rep);;所有文件 (*)"));
    dlg.SetInitialDir(dir);
    QStringList listed, typeLabels;
    QTimer::singleShot(0, &dlg, [&] {
        auto* list = dlg.findChild<QListView*>(QStringLiteral("listView"));
        auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; combo && i < combo->count(); ++i) typeLabels << combo->itemText(i);
        // The folder is read in the background: wait for its entries.
        for (int tries = 0; list && tries < 200 && listed.size() < 3; ++tries) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(5);
            listed.clear();
            QAbstractItemModel* model = list->model();
            const QModelIndex root = list->rootIndex();
            for (int r = 0; r < model->rowCount(root); ++r) {
                const QModelIndex i = model->index(r, 0, root);
                if (model->flags(i) & Qt::ItemIsEnabled) listed << i.data().toString();
            }
        }
        dlg.FileNameEdit()->setText(QStringLiteral("UPPER.REP"));
        dlg.accept();
    });
    ASSERT_EQ(dlg.DoModal(), CMyFileDlg::IDOK);
    listed.sort();
    EXPECT_EQ(listed, (QStringList{QStringLiteral("Mixed.Rep"), QStringLiteral("UPPER.REP"),
                                   QStringLiteral("lower.rep")}));
    EXPECT_EQ(typeLabels, (QStringList{QStringLiteral("报表文件（*.rep）"), QStringLiteral("所有文件（*）")}));
    EXPECT_EQ(dlg.GetPathName(), dir + QStringLiteral("/UPPER.REP"));

    // Saving under a name with a capital extension keeps it; a bare name
    // gets the lower-case one.
    CMyFileDlg save(false, QString(), QString(), QStringLiteral("报表文件 (*.rep)"));
    save.SetMode(CMyFileDlg::kSaveReport);
    save.SetInitialDir(dir);
    QTimer::singleShot(0, &save, [&] {
        save.FileNameEdit()->setText(QStringLiteral("fresh"));
        save.accept();
    });
    ASSERT_EQ(save.DoModal(), CMyFileDlg::IDOK);
    EXPECT_EQ(save.GetPathName(), dir + QStringLiteral("/fresh.rep"));
}

TEST_F(FilesAndWindows, ChoosingSeveralFilesShowsTheProgramsOwnDialog) {
    // Shown for real through the desktop's file choice: the labels name
    // their patterns once, in the program's brackets, and the chosen files
    // come back.
    const qor::UiServices before = qor::installUiServices({});
    qor::frames::InstallWidgetUiServices();
    const QString dir = qortest::freshDir(QStringLiteral("several"));
    for (const char* name : {"/a.rep", "/b.REP"}) QFile(dir + QLatin1String(name)).open(QIODevice::WriteOnly);
    QDir(dir).mkdir(QStringLiteral("sub"));
    QStringList typeLabels;
    bool columnsKept = false;
    QString folderType;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CFileFolderDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        // A folder's type in the list is in the user's language too.
        if (auto* model = dlg->findChild<QFileSystemModel*>()) {
            QModelIndex sub;
            for (int i = 0; i < 200 && !(sub = model->index(dir + QStringLiteral("/sub"), 2)).isValid(); ++i) {
                QTest::qWait(10);
            }
            folderType = model->data(sub).toString();
        }
        auto* combo = dlg->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        for (int i = 0; combo && i < combo->count(); ++i) typeLabels << combo->itemText(i);
        columnsKept = dlg->width() >= 760;
        dlg->selectFile(QStringLiteral("\"a.rep\" \"b.REP\""));
        dlg->accept();
    });
    const std::optional<QStringList> chosen = qor::chooseFiles(
        {QStringLiteral("选择文件"), dir,
         qor::QtFileFilter(QStringLiteral("(*.rep)|*.rep|批命令文件(*.shl)|*.shl||")), false});
    qor::installUiServices(before);
    EXPECT_EQ(typeLabels, (QStringList{QStringLiteral("（*.rep）"), QStringLiteral("批命令文件（*.shl）")}));
    EXPECT_TRUE(columnsKept);
    EXPECT_EQ(folderType, QStringLiteral("文件夹"));
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->size(), 2);
}

TEST_F(FilesAndWindows, NewWindowsOpenMaximisedWhenTheLastWasElseAtAUsefulSize) {
    frame->resize(1100, 760);
    QApplication::processEvents();
    QMdiArea* area = frame->MdiArea();
    CChildFrame* a = newReport();
    EXPECT_TRUE(a->isMaximized());
    newReport();
    frame->Router().Execute(kCmdWindowTile);
    QApplication::processEvents();
    // After tiling a new report is not squeezed to a tile.
    CChildFrame* c = newReport();
    EXPECT_FALSE(c->isMaximized());
    const QSize room = area->viewport()->size();
    EXPECT_GE(c->width(), room.width() * 3 / 4 - 1);
    EXPECT_GE(c->height(), std::min(room.height(), 420) - 1);
    // The user maximises one: the next opens maximised, and the choice
    // goes to the profile when the program ends.
    c->showMaximized();
    QApplication::processEvents();
    CChildFrame* d = newReport();
    EXPECT_TRUE(d->isMaximized());
    EXPECT_EQ(CChildFrame::s_nShowCmd, 3);
    d->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(CChildFrame::s_nShowCmd, 1);
    CChildFrame::SaveShowCmd();
    EXPECT_EQ(CAppEnvironment::Instance().GetProfileInt(QStringLiteral("Settings"),
                                                         QStringLiteral("ShowCmd"), 0),
              1);
    d->showMaximized();
    QApplication::processEvents();
    CChildFrame::SaveShowCmd();
    EXPECT_EQ(CAppEnvironment::Instance().GetProfileInt(QStringLiteral("Settings"),
                                                         QStringLiteral("ShowCmd"), 0),
              3);
    for (CChildFrame* w : frame->Children()) w->GetDocument()->SetModifiedFlag(false);
}

TEST_F(FilesAndWindows, CtrlPageKeysTurnPagesInTheMainWindow) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(doc->GetReport()->AppendRowColPage(3, 2), 0);
    doc->UpdateAllViews(CQorsDoc::kHintState);
    QApplication::processEvents();
    CQorsView* view = child->GetActiveView();
    view->setFocus();
    QApplication::processEvents();
    // The menu's shortcut and the sheet's own key are one step, not two.
    QTest::keyClick(view, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(doc->ViewState().curPage, 2);
    QTest::keyClick(view, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(doc->ViewState().curPage, 2);
    EXPECT_TRUE(frame->EditBar()->NameBox()->text().endsWith(QStringLiteral("@2")))
        << frame->EditBar()->NameBox()->text().toStdString();
    doc->SetModifiedFlag(false);
}

TEST_F(FilesAndWindows, TheNameBoxFollowsASearchToAnotherPage) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    CReportHandle* h = doc->GetReport();
    CellRef yearCell{0, 1, 4};
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &yearCell), 0);
    ASSERT_TRUE(doc->EnterDataState());
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    for (int p = 1; p <= 3; ++p)
        ASSERT_EQ(h->SetPageKeyword(2, qor::KeywordValue{1, 2003.0 + p, {}}, p), 0);
    ASSERT_TRUE(doc->SetCurrentPage(1));
    doc->UpdateAllViews(CQorsDoc::kHintState);
    child->GetActiveView()->setFocus();
    QApplication::processEvents();
    QLineEdit* nameBox = frame->EditBar()->NameBox();
    ASSERT_TRUE(nameBox->text().endsWith(QStringLiteral("@1"))) << nameBox->text().toStdString();
    ASSERT_EQ(qor::RunFindCommand(*doc, QStringLiteral("FIND FOR 年=2006")), 0);
    EXPECT_EQ(doc->ViewState().curPage, 3);
    EXPECT_TRUE(nameBox->text().endsWith(QStringLiteral("@3"))) << nameBox->text().toStdString();
    doc->SetModifiedFlag(false);
}

}  // namespace

// The main window and the report windows: creation, the formula bar, the
// format boxes, the state switch, the command window, closing, opening by
// type and the context menus.
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "cmdlang/ccalcinterpreter.h"
#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "frame_fixture.h"
#include "frames/ccmdbar.h"
#include "frames/cstatusbarxp.h"
#include "frames/toolbars.h"
#include "reader/cappenvironment.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/cqorsplitterwnd.h"
#include "view/formulabar.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using qor::kFmtDecimals;
using qor::kFmtFont;
using frametest::FrameFixture;

namespace {

QString cellText(CQorsDoc* doc, int row, int col) {
    QString text;
    if (!doc->GetCharCellText(row, col, &text) && !doc->GetStyleCellText(row, col, &text)) {
        double v = 0;
        if (doc->GetNumCellValue(row, col, &v)) text = QString::number(v);
    }
    return text;
}

using MainFrameTest = FrameFixture;

TEST_F(MainFrameTest, CreationMakesTheBarsPanesAndAHiddenCommandWindow) {
    for (int id : {kCmdBarStandard, kCmdBarFormat, kCmdBarEdit, kCmdBarChart})
        ASSERT_NE(frame->ToolBar(id), nullptr) << id;
    EXPECT_EQ(frame->ToolBar(kCmdBarFormat)->windowTitle(), u"格式工具条");
    EXPECT_TRUE(frame->ToolBar(kCmdBarStandard)->isVisible());
    EXPECT_FALSE(frame->ToolBar(kCmdBarChart)->isVisible());  // until a chart is edited
    EXPECT_FALSE(frame->CmdBar()->isVisible());
    EXPECT_EQ(frame->CmdBar()->windowTitle(), u"命令窗");
    EXPECT_EQ(frame->CmdBar()->objectName(), u"bar105");
    EXPECT_TRUE(frame->StatusBarXP()->AccountPane()->text().startsWith(u"账套:"));
    EXPECT_TRUE(frame->StatusBarXP()->UserPane()->text().startsWith(u"操作员:"));
    EXPECT_GE(frame->StatusBarXP()->minimumHeight(), 20);
    // No report: the short menu, the boxes off, the formula bar off.
    EXPECT_EQ(frame->CurrentMenuId(), kMenuNoReport);
    EXPECT_FALSE(frame->FormatBar()->FontNameBox()->isEnabled());
    EXPECT_FALSE(frame->FormulaBar()->isEnabled());
    // The size box holds the 16 sizes in table order; the name box the
    // 16 faces, so that an index is the attribute value.
    QComboBox* sizes = frame->FormatBar()->FontSizeBox();
    ASSERT_EQ(sizes->count(), 16);
    EXPECT_EQ(sizes->itemText(0), u"9");
    EXPECT_EQ(sizes->itemText(15), u"120");
    EXPECT_EQ(frame->FormatBar()->FontNameBox()->count(), 16);
    EXPECT_EQ(frame->FormatBar()->FontNameBox()->itemText(0), u"宋体");
    // Tool tips are the part of the prompt after the line break (followed,
    // while the command is off, by why).
    QAction* confirm = frame->Router().Action(kCmdInputConfirm);
    EXPECT_TRUE(confirm->toolTip().startsWith(u"输入确认（Enter）")) << confirm->toolTip().toStdString();
}

TEST_F(MainFrameTest, ActivationSetsTheInterpretersReportTheMenuAndTheTabs) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(frame->CurrentMenuId(), kMenuReport);
    EXPECT_EQ(CCalcInterpreter::Instance().GetDocument(), child->GetDocument());
    EXPECT_EQ(CCalcInterpreter::Instance().GetReport(), child->GetDocument()->GetReport());
    // A report without pages still publishes one tab.
    EXPECT_EQ(child->m_nPageCount, 1);
    EXPECT_EQ(child->m_nCurPage, 1);
    EXPECT_EQ(child->m_nMode, 0);
    EXPECT_TRUE(frame->FormatBar()->FontNameBox()->isEnabled());

    CChildFrame* second = newReport();
    EXPECT_EQ(CCalcInterpreter::Instance().GetDocument(), second->GetDocument());
    frame->MdiArea()->setActiveSubWindow(child);
    QApplication::processEvents();
    EXPECT_EQ(CCalcInterpreter::Instance().GetDocument(), child->GetDocument());

    // Closing the last report leaves no current document behind.
    frame->MdiArea()->closeAllSubWindows();
    QApplication::processEvents();
    EXPECT_EQ(CCalcInterpreter::Instance().GetDocument(), nullptr);
    EXPECT_EQ(frame->CurrentMenuId(), kMenuNoReport);
}

TEST_F(MainFrameTest, CtrlDSwitchesTheStateAndTheFormatBar) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(frame->FormatBar()->isVisible());
    // Ctrl+D on the sheet reaches the child frame through the router.
    CQorsView* view = child->GetActiveView();
    view->setFocus();
    QKeyEvent ctrlD(QEvent::KeyPress, Qt::Key_D, Qt::ControlModifier, QStringLiteral("\x04"));
    QApplication::sendEvent(view, &ctrlD);
    QApplication::processEvents();
    EXPECT_TRUE(doc->IsDataState());
    EXPECT_FALSE(frame->FormatBar()->isVisible());
    EXPECT_EQ(child->m_nMode, 1);
    frame->UpdateFrameState();
    EXPECT_FALSE(frame->FormatBar()->FontNameBox()->isEnabled());  // data state
    EXPECT_FALSE(frame->Router().Query(kCmdBarFormat).enabled);

    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    EXPECT_FALSE(doc->IsDataState());
    EXPECT_TRUE(frame->FormatBar()->isVisible());
    EXPECT_EQ(child->m_nMode, 0);
}

TEST_F(MainFrameTest, FormulaBarCommitsAtMost255CharactersAndEnterWithoutEntryOnlyMoves) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    CFormulaBar* bar = frame->FormulaBar();
    ASSERT_TRUE(bar->isEnabled());
    doc->Selection().SetCurrentCell(0, 0);
    bar->setFocus();
    bar->m_nMode = 1;  // a text entry, as the bar takes it on focus
    bar->setText(QString(300, u'x'));
    frame->CommitFormulaBar();
    EXPECT_EQ(cellText(doc, 0, 0).size(), 255);
    EXPECT_EQ(bar->m_nMode, -1);

    // Enter with nothing typed writes nothing and moves down.
    doc->Selection().SetCurrentCell(2, 1);
    child->GetActiveView()->Scroll().GoToCell(2, 1);
    bar->setFocus();
    bar->m_nMode = -1;
    bar->setText(QStringLiteral("ignored"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(bar, &enter);
    EXPECT_TRUE(cellText(doc, 2, 1).isEmpty());
    EXPECT_EQ(doc->Selection().CurrentRow(), 3);

    // Esc drops the entry.
    bar->setFocus();
    bar->m_nMode = 1;
    bar->setText(QStringLiteral("dropped"));
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(bar, &esc);
    EXPECT_TRUE(cellText(doc, 3, 1).isEmpty());
    EXPECT_EQ(bar->m_nMode, -1);
}

TEST_F(MainFrameTest, FormulaBarAndCellFormulaFollowTheirRules) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    doc->Selection().SetCurrentCell(1, 1);
    EXPECT_TRUE(CMainFrame::CellFormulaAllowed(doc));
    EXPECT_TRUE(CMainFrame::FormulaBarEditable(doc));
    // A table text takes no typing in data state, but a plain cell does:
    // a value can be typed in data state.
    ASSERT_EQ(doc->SetCellText(QStringLiteral("标题"), 3), 0);
    ASSERT_TRUE(doc->EnterDataState());
    doc->Selection().SetCurrentCell(1, 1);
    EXPECT_FALSE(CMainFrame::FormulaBarEditable(doc));
    EXPECT_FALSE(CMainFrame::CellFormulaAllowed(doc));  // format state only
    doc->Selection().SetCurrentCell(2, 2);
    EXPECT_TRUE(CMainFrame::FormulaBarEditable(doc));
    frame->UpdateFrameState();
    EXPECT_TRUE(frame->FormulaBar()->isEnabled());
    EXPECT_FALSE(CMainFrame::FormulaBarEditable(nullptr));
}

TEST_F(MainFrameTest, FontBoxesWorkInFormatStateOnly) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    doc->Selection().SetSelection(0, 0, 1, 1);
    QComboBox* names = frame->FormatBar()->FontNameBox();
    names->setCurrentIndex(2);
    emit names->activated(2);
    const CellArea cell = CellArea::area(2, 2, 2, 2);
    int32_t face = -1;
    ASSERT_EQ(doc->GetReport()->AccessAreaFormat(0, kFmtFont, &face, &cell), 0);
    EXPECT_EQ(face, 2);
    EXPECT_TRUE(doc->IsModified());
    emit names->activated(-1);  // nothing chosen changes nothing
    ASSERT_EQ(doc->GetReport()->AccessAreaFormat(0, kFmtFont, &face, &cell), 0);
    EXPECT_EQ(face, 2);

    // In data state the boxes are off, and a pick that still arrives is
    // refused with a word to the user.
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    frame->UpdateFrameState();
    EXPECT_FALSE(names->isEnabled());
    messages.clear();
    emit frame->FormatBar()->FontSizeBox()->activated(3);
    EXPECT_FALSE(messages.isEmpty());
}

TEST_F(MainFrameTest, DecimalToolTipsTellThePlacesOnlyWhenThereAreSome) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    doc->Selection().SetSelection(0, 0, 0, 0);
    const CellArea cell = CellArea::area(1, 1, 1, 1);
    int32_t places = 0;
    ASSERT_EQ(doc->GetReport()->AccessAreaFormat(1, kFmtDecimals, &places, &cell), 0);
    frame->UpdateFrameState();
    QAction* up = frame->Router().FindAction(kCmdMoreDecimals);
    ASSERT_NE(up, nullptr);
    EXPECT_FALSE(up->toolTip().contains(u"(位数"));
    places = 2;
    ASSERT_EQ(doc->GetReport()->AccessAreaFormat(1, kFmtDecimals, &places, &cell), 0);
    frame->UpdateFrameState();
    EXPECT_TRUE(up->toolTip().endsWith(u"(位数:2)")) << up->toolTip().toStdString();
}

TEST_F(MainFrameTest, CommandWindowRunsLinesAndItsFlagFollowsWhatTheUserSees) {
    CCmdBar* bar = frame->CmdBar();
    // No report: the line says so and nothing runs.
    EXPECT_EQ(bar->RunLine(QStringLiteral("LET A1=1")), -1);
    EXPECT_TRUE(bar->Output()->toPlainText().contains(u"没有打开的报表"));

    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));  // data state
    EXPECT_EQ(bar->RunLine(QStringLiteral("LET A1=42")), 0) << bar->Output()->toPlainText().toStdString();
    EXPECT_EQ(cellText(doc, 0, 0), u"42");
    // A wrong line shows its error and changes nothing.
    const int before = messages.size();
    EXPECT_EQ(bar->RunLine(QStringLiteral("LET A1=")), -1);
    EXPECT_EQ(cellText(doc, 0, 0), u"42");
    EXPECT_GE(messages.size(), before);
    // A line longer than the command buffer fails.
    EXPECT_EQ(bar->RunLine(QStringLiteral("LET A1=") + QString(5000, u'1')), -1);

    // The toggle: shown is 1, hidden is 0, and closing stores it.
    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->m_nOpen, 1);
    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->m_nOpen, 0);
}

TEST_F(MainFrameTest, AStoredOpenCommandWindowComesBackWithTheFirstReport) {
    CAppEnvironment& env = CAppEnvironment::Instance();
    env.WriteProfileInt(QStringLiteral("REZ"), QStringLiteral("wnd"), 1);
    env.WriteProfileInt(QStringLiteral("REZ"), QStringLiteral("Money"), 7);
    frame.reset();
    frame = SetUpDesktop({false, false});
    frame->show();
    EXPECT_EQ(frame->m_nCurrencyIndex, 0);  // outside 0..4 reads 0
    EXPECT_EQ(frame->CmdBar()->m_nOpen, 2);
    EXPECT_FALSE(frame->CmdBar()->isVisible());
    newReport();
    EXPECT_TRUE(frame->CmdBar()->isVisible());
    EXPECT_EQ(frame->CmdBar()->m_nOpen, 1);
    // The user closes it; leaving stores what the user sees.
    ASSERT_TRUE(frame->Router().Execute(kCmdCommandWindow));
    answers = {qor::MsgAnswer::Ok, qor::MsgAnswer::No};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(env.GetProfileInt(QStringLiteral("REZ"), QStringLiteral("wnd"), -1), 0);
    env.WriteProfileInt(QStringLiteral("REZ"), QStringLiteral("Money"), -1);
    frame.reset();
    frame = SetUpDesktop({false, false});
    EXPECT_EQ(frame->m_nCurrencyIndex, 0);
}

TEST_F(MainFrameTest, ClosingAsksFirstThenForEachModifiedReportAndKeepsTypedEntries) {
    const QString dir = qortest::freshDir("frames-close");
    CChildFrame* a = newReport();
    CChildFrame* b = newReport();
    a->GetDocument()->SetModifiedFlag();
    b->GetDocument()->SetModifiedFlag();

    // Cancel on the exit question: nothing else is asked.
    answers = {qor::MsgAnswer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(frame->m_bExitConfirmed, 0);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_EQ(messages.first(), u"确认退出QOR系统？");

    // OK, then Cancel on the first save question: the window stays.
    messages.clear();
    answers = {qor::MsgAnswer::Ok, qor::MsgAnswer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(frame->Children().size(), 2);
    EXPECT_EQ(frame->m_bExitConfirmed, 0);

    // A typed entry still in the editor is stored with the report.
    CQorsView* view = b->GetActiveView();
    frame->MdiArea()->setActiveSubWindow(b);
    view->setFocus();
    b->GetDocument()->Selection().SetCurrentCell(0, 0);
    view->Scroll().GoToCell(0, 0);
    ASSERT_TRUE(view->CellEdit().OpenCellEditor(QStringLiteral("7")));
    files = {dir + "/b.rep"};
    messages.clear();
    answers = {qor::MsgAnswer::Ok, qor::MsgAnswer::No, qor::MsgAnswer::Yes};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(messages.size(), 3) << messages.join(u'|').toStdString();  // exit, then one per report
    EXPECT_EQ(frame->m_bExitConfirmed, 1);
    ASSERT_TRUE(QFile::exists(dir + "/b.rep"));
    CReportHandle saved(dir + "/b.rep", CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(saved.IsOpen());
}

TEST_F(MainFrameTest, ClosingAReportWindowStoresTheTypedEntryFirst) {
    const QString dir = qortest::freshDir("frames-child-close");
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));  // data state: values are typed
    CQorsView* view = child->GetActiveView();
    view->setFocus();
    doc->Selection().SetCurrentCell(1, 0);
    view->Scroll().GoToCell(1, 0);
    ASSERT_TRUE(view->CellEdit().OpenCellEditor(QStringLiteral("9")));
    files = {dir + "/typed.rep"};
    answers = {qor::MsgAnswer::Yes};
    ASSERT_TRUE(child->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(CMainFrame::s_bClosing, 0);
    CQorsDoc reopened;
    ASSERT_TRUE(reopened.Files().OnOpenDocument(dir + "/typed.rep")) << messages.join(u'|').toStdString();
    EXPECT_EQ(cellText(&reopened, 1, 0), u"9");
    reopened.Files().OnCloseDocument();
}

TEST_F(MainFrameTest, AReportWithItsChartWindowOpenStaysOpen) {
    CChildFrame* child = newReport();
    child->GetDocument()->Items().ChartWindow().windowOpen = 1;
    EXPECT_FALSE(child->close());
    EXPECT_TRUE(said(QStringLiteral("关闭本报表的图形窗口后")));
    EXPECT_EQ(CMainFrame::s_bClosing, 0);
    child->GetDocument()->Items().ChartWindow().windowOpen = 0;
}

TEST_F(MainFrameTest, OpeningByTypeRefusesBinaryWorkbooksAndReusesOpenReports) {
    const QString dir = qortest::freshDir("frames-open");
    const QString rep = dir + "/one.rep";
    {
        // One page, so that the report can also be saved as a workbook.
        CReportHandle made(rep);
        ASSERT_TRUE(made.IsOpen());
        ASSERT_EQ(made.AppendRowColPage(1, 2), 0);
        ASSERT_EQ(made.Save(), 0);
    }
    CChildFrame* first = frame->OpenDocumentFile(rep);
    ASSERT_NE(first, nullptr);
    newReport();
    // The same report again activates its window.
    EXPECT_EQ(frame->OpenDocumentFile(dir + "/../" + QDir(dir).dirName() + "/one.rep"), first);
    EXPECT_EQ(frame->Children().size(), 2);

    const QString xls = dir + "/old.xls";
    { QFile f(xls); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); f.write("\xD0\xCF\x11\xE0 binary"); }
    messages.clear();
    // A damaged binary workbook is told and opens no window.
    EXPECT_EQ(frame->OpenDocumentFile(xls), nullptr);
    EXPECT_FALSE(messages.isEmpty());
    EXPECT_EQ(frame->Children().size(), 2);

    const QString broken = dir + "/broken.xlsx";
    { QFile f(broken); ASSERT_TRUE(f.open(QIODevice::WriteOnly)); f.write("PK not really"); }
    messages.clear();
    EXPECT_EQ(frame->OpenDocumentFile(broken), nullptr);
    EXPECT_FALSE(messages.isEmpty());
    EXPECT_EQ(frame->Children().size(), 2);
    QFile check(broken);
    ASSERT_TRUE(check.open(QIODevice::ReadOnly));
    EXPECT_EQ(check.readAll(), QByteArray("PK not really"));

    // Save As writes a binary workbook under an .xls name: a compound
    // file, never a zip package.
    files = {dir + "/copy.xls"};
    messages.clear();
    EXPECT_TRUE(frame->SaveDocument(first, true)) << messages.join(u'|').toStdString();
    QFile copy(dir + "/copy.xls");
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.read(4), QByteArray("\xD0\xCF\x11\xE0"));
    EXPECT_TRUE(fileFilters.last().contains(u"*.xls)"));
    EXPECT_TRUE(fileFilters.last().contains(u"*.xlsx"));
}

TEST_F(MainFrameTest, TheSheetsMouseMenusShowAtThePointAndShiftF10ShowsNothing) {
    CChildFrame* child = newReport();
    CQorsView* view = child->GetActiveView();
    const QPoint at = view->mapToGlobal(QPoint(120, 80));
    emit view->contextMenuRequested(kMenuCells, at);
    QMenu* cells = frame->ContextMenu(kMenuCells);
    ASSERT_NE(cells, nullptr);
    EXPECT_TRUE(cells->isVisible());
    EXPECT_EQ(cells->pos(), at);
    cells->hide();
    emit view->contextMenuRequested(kMenuItem, at + QPoint(5, 5));
    EXPECT_TRUE(frame->ContextMenu(kMenuItem)->isVisible());
    frame->ContextMenu(kMenuItem)->hide();

    QKeyEvent shiftF10(QEvent::KeyPress, Qt::Key_F10, Qt::ShiftModifier);
    QApplication::sendEvent(view, &shiftF10);
    QKeyEvent menuKey(QEvent::KeyPress, Qt::Key_Menu, Qt::NoModifier);
    QApplication::sendEvent(view, &menuKey);
    QApplication::processEvents();
    EXPECT_FALSE(cells->isVisible());
    EXPECT_FALSE(frame->ContextMenu(kMenuItem)->isVisible());
}

TEST_F(MainFrameTest, OpeningAndClosingAMenuLeavesTheSheetAsItWas) {
    CChildFrame* child = newReport();
    CQorsView* view = child->GetActiveView();
    QApplication::processEvents();
    const QRect area(view->mapTo(frame.get(), QPoint(0, 0)), view->size());
    const QImage before = frame->grab().toImage().copy(area);
    for (QMenu* menu : frame->TopMenus(kMenuReport)) {
        frame->menuBar()->setActiveAction(menu->menuAction());
        QApplication::processEvents();
        EXPECT_TRUE(menu->isVisible()) << menu->title().toStdString();
        menu->hide();
        frame->menuBar()->setActiveAction(nullptr);
        QApplication::processEvents();
        EXPECT_EQ(frame->grab().toImage().copy(area), before) << menu->title().toStdString();
    }
}

TEST_F(MainFrameTest, HelpOpensTheGuideAndTheCommandWindowsHelpTheLanguage) {
    ASSERT_TRUE(frame->Router().Execute(kCmdHelpTopics));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.first().endsWith(u"/docs/qorview.zh-CN.md"));
    frame->CmdBar()->show();
    emit frame->CmdBar()->helpRequested();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(opened.last().endsWith(u"/docs/command-language.md"));
}

TEST_F(MainFrameTest, CurrencySymbolIsStoredAfterOk) {
    ASSERT_TRUE(frame->Router().Execute(kCmdCurrency));
    EXPECT_EQ(dialogs.size(), 1);
    EXPECT_EQ(CAppEnvironment::Instance().GetProfileInt(QStringLiteral("REZ"), QStringLiteral("Money"), -1),
              frame->m_nCurrencyIndex);
}

TEST_F(MainFrameTest, StripCommandsGoThroughTheFrame) {
    CChildFrame* child = newReport();
    CQorSplitterWnd* splitter = child->Splitter();
    EXPECT_TRUE(splitter->FrameTakesCommands());
    emit splitter->PageCtrl().commandRequested(kCmdEnterData);
    EXPECT_TRUE(child->GetDocument()->IsDataState());
    EXPECT_FALSE(frame->FormatBar()->isVisible());
    emit splitter->PageCtrl().commandRequested(kCmdEnterFormat);
    EXPECT_FALSE(child->GetDocument()->IsDataState());
}

TEST_F(MainFrameTest, FormulaBarTakesTheCellsModeOnFocusAndStoresOnlyWhatWasTyped) {
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    CQorsView* view = child->GetActiveView();
    CFormulaBar* bar = frame->FormulaBar();
    int32_t places = 2;
    const CellArea b2 = CellArea::area(2, 2, 2, 2);
    ASSERT_EQ(doc->GetReport()->AccessAreaFormat(1, kFmtDecimals, &places, &b2), 0);

    // Format state: a text entry from the moment the bar has the focus;
    // leaving it untouched writes nothing.
    view->Scroll().GoToCell(1, 1);
    bar->setFocus();
    EXPECT_EQ(bar->m_nMode, 1);
    view->setFocus();
    EXPECT_EQ(bar->m_nMode, -1);
    EXPECT_TRUE(cellText(doc, 1, 1).isEmpty());

    // Data state, a numeric cell with 2 places: the filter guards the
    // first keys already, and Enter stores what was typed.
    ASSERT_TRUE(frame->Router().Execute(kCmdSwitchState));
    view->Scroll().GoToCell(1, 1);
    bar->setFocus();
    EXPECT_EQ(bar->m_nMode, 0);
    EXPECT_EQ(bar->m_nDecimals, 2);
    bar->selectAll();
    QTest::keyClicks(bar, QStringLiteral("1.2x34"));
    EXPECT_EQ(bar->text(), u"1.23");
    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_EQ(cellText(doc, 1, 1), u"1.23");

    // Enter on a value shown but not touched stores nothing: the shown
    // text is not written back over the cell.
    view->Scroll().GoToCell(1, 1);
    doc->SetModifiedFlag(false);
    view->setFocus();
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(cellText(doc, 1, 1), u"1.23");

    // An entry begun in the cell goes on in the bar; the editor steps aside.
    view->Scroll().GoToCell(3, 1);
    view->setFocus();
    QTest::keyClicks(view, QStringLiteral("5"));
    ASSERT_TRUE(view->CellEdit().CellEditor()->isVisible());
    bar->setFocus();
    EXPECT_FALSE(view->CellEdit().CellEditor()->isVisible());
    EXPECT_EQ(bar->text(), u"5");
    QTest::keyClicks(bar, QStringLiteral("6"));
    QTest::keyClick(bar, Qt::Key_Return);
    EXPECT_EQ(cellText(doc, 3, 1), u"56");
}

TEST_F(MainFrameTest, TheReportMenusWrapUnderTheArrowsAndShowMnemonicsToTheKeyboard) {
    newReport();
    const QList<QMenu*> menus = frame->TopMenus(kMenuReport);
    ASSERT_GE(menus.size(), 2);
    QMenuBar* bar = frame->menuBar();
    bar->setActiveAction(menus.first()->menuAction());
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), menus.first());
    QTest::keyClick(menus.first(), Qt::Key_Left);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), menus.last());
    QTest::keyClick(menus.last(), Qt::Key_Right);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), menus.first());
    EXPECT_EQ(bar->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, bar, nullptr), 1);
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    // A click on the sheet hides them again.
    QTest::mouseClick(newReport()->GetActiveView(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(bar->style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, bar, nullptr), 0);
}

}  // namespace

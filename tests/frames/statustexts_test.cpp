// What the status line says while the user points at menu items: the
// right-click menus as the main menus, a switched text with its own prompt,
// the window list, and print setup with no report open.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>

#include "charts/cgraphitem.h"
#include "engine/messages.h"
#include "frames/toolbars.h"
#include "resources/commandids.h"
#include "tests/frames/frame_fixture.h"
#include "view/cqorsview.h"
#include "view/view_commands.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

class StatusTexts : public frametest::FrameFixture {
protected:
    QMenu* topMenu(const QString& title) {
        for (QAction* a : frame->menuBar()->actions())
            if (a->text().startsWith(title)) return a->menu();
        return nullptr;
    }
    void closePopups() {
        while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
        QApplication::processEvents();
    }
};

TEST_F(StatusTexts, TheCellMenuSaysWhatItsItemsDoEnabledOrGreyed) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    CQorsView* view = child->GetActiveView();
    const QPoint cell(view->Display().CurrentViewState().headerWidth + 30,
                      view->Display().CurrentViewState().headerHeight + 30);
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, cell);
    QApplication::processEvents();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    bool greyed = false;
    for (QAction* a : menu->actions()) greyed |= !a->isSeparator() && !a->isEnabled();
    EXPECT_TRUE(greyed);  // the walk meets greyed items too
    EXPECT_GT(walkPopupStatus(menu), 5);
    closePopups();
}

TEST_F(StatusTexts, UnsplitSaysWhatItDoes) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    QAction* split = frame->Router().Action(kCmdSplitWindow);
    frame->Router().UpdateAll();
    const QString splitPrompt = split->statusTip();
    EXPECT_FALSE(splitPrompt.isEmpty());
    ASSERT_TRUE(frame->Router().Execute(kCmdSplitWindow));
    QApplication::processEvents();
    frame->Router().UpdateAll();
    EXPECT_TRUE(split->text().startsWith(LoadErrorText(qor::str::kUnsplitWindow)));
    EXPECT_EQ(split->statusTip(), LoadErrorText(qor::str::kUnsplitPrompt));
    ASSERT_TRUE(frame->Router().Execute(kCmdSplitWindow));
    QApplication::processEvents();
    frame->Router().UpdateAll();
    EXPECT_EQ(split->statusTip(), splitPrompt);
}

TEST_F(StatusTexts, WindowListEntriesAndCascadeSayWhatTheyDo) {
    ASSERT_NE(newReport(), nullptr);
    ASSERT_NE(newReport(), nullptr);
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QMenu* window = topMenu(QStringLiteral("窗口"));
    ASSERT_NE(window, nullptr);
    frame->menuBar()->setActiveAction(window->menuAction());
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), window);
    int entries = 0;
    for (QAction* a : window->actions()) entries += a->property("windowList").toBool();
    EXPECT_EQ(entries, 2);
    // Cascade, tile, arrange, split and both reports.
    EXPECT_GE(walkPopupStatus(window), 6);
    closePopups();
}

TEST_F(StatusTexts, PrintSetupWithoutAReportChoosesThePrinter) {
    ASSERT_TRUE(frame->Children().isEmpty());
    const qor::CommandState s = frame->Router().Query(kCmdPrintSetup);
    EXPECT_TRUE(s.enabled) << s.reason.toStdString();
    QAction* item = frame->Router().Action(kCmdPrintSetup);
    EXPECT_NE(item->statusTip(), QStringLiteral("此命令尚未提供"));
    // Through the 文件 menu, as the user reaches it.
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QMenu* file = topMenu(QStringLiteral("文件"));
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->actions().contains(item));
    frame->menuBar()->setActiveAction(file->menuAction());
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activePopupWidget(), file);
    for (int i = 0; i < 40 && file->activeAction() != item; ++i) QTest::keyClick(file, Qt::Key_Down);
    ASSERT_EQ(file->activeAction(), item);
    const int before = printDialogs;
    QTest::keyClick(file, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(printDialogs, before + 1);
    closePopups();
}

}  // namespace

// Every greyed item and button of the main window says why, with no
// report open, in format and data state and with the chart window in
// front; none claims to be missing.
TEST_F(StatusTexts, EveryGreyedCommandSaysWhyInEveryState) {
    const auto walk = [&](const char* state) {
        frame->UpdateFrameState();
        QApplication::processEvents();
        const QList<QAction*> shown = frametest::shownCommands(frame.get());
        ASSERT_GT(shown.size(), 30) << state;
        const QStringList faults = frametest::greyedWithoutReason(shown);
        EXPECT_TRUE(faults.isEmpty()) << state << ":\n" << faults.join(u'\n').toStdString();
    };
    walk("no report");
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    walk("format state");
    ASSERT_TRUE(child->EnterDataState());
    walk("data state");
    ASSERT_TRUE(frame->Router().Execute(kCmdChartWindow));
    QApplication::processEvents();
    ASSERT_TRUE(frame->ActiveChartFrame());
    walk("chart window");
}

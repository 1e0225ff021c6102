// Commands that answer the user: the program's own help window, the exit
// reached by its letters, greyed items that say why, and message boxes
// under the program's one caption.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>

#include "document/doc_commands.h"
#include "engine/messages.h"
#include "frames/helpwindow.h"
#include "frames/widgetui.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

class CommandsAnswer : public frametest::FrameFixture {};

TEST_F(CommandsAnswer, HelpTopicsOpenTheGuideTheProgramCarries) {
    // Through the menu command: the built-in guide, not a file to hand to
    // a browser.
    opened.clear();
    ASSERT_TRUE(frame->Router().Execute(kCmdHelpTopics));
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), CHelpWindow::UserGuide().toString());

    // The window itself, as the default shows it.
    ASSERT_TRUE(CHelpWindow::Show(CHelpWindow::UserGuide()));
    CHelpWindow* help = CHelpWindow::Current();
    ASSERT_NE(help, nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->windowTitle().contains(LoadErrorText(qor::str::kAppTitle)));
    const QString text = help->Browser()->toPlainText();
    // In the language of the menus, rendered, not shown as mark-up, and
    // opened at its title.
    EXPECT_TRUE(text.contains(u"使用 qorview")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains(u"帮助 › 帮助主题"));
    EXPECT_FALSE(text.contains(u"# 使用"));
    const QTextCursor at = help->Browser()->textCursor();
    EXPECT_TRUE(at.block().text().startsWith(u"使用 qorview")) << at.block().text().toStdString();
    EXPECT_EQ(help->Browser()->verticalScrollBar()->value(), 0);
    help->grab().save(qortest::artifactPath(QStringLiteral("help-window.png")));

    // The command language's guide in the same window.
    ASSERT_TRUE(CHelpWindow::Show(CHelpWindow::CommandLanguageGuide()));
    EXPECT_EQ(CHelpWindow::Current(), help);
    EXPECT_NE(help->Browser()->toPlainText(), text);
    EXPECT_FALSE(CHelpWindow::Show(QUrl(QStringLiteral("qrc:/qor/help/none.md"))));

    // Esc closes it, wherever the focus is inside it.
    help->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(help));
    help->Browser()->setFocus();
    const QPointer<CHelpWindow> shown(help);
    QTest::keyClick(help->Browser(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_TRUE(!shown || !shown->isVisible());
}

TEST_F(CommandsAnswer, AltFThenXAsksToLeave) {
    newReport();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    answers = {qor::MsgAnswer::Cancel};
    messages.clear();
    QTest::keyClick(frame.get(), Qt::Key_F, Qt::AltModifier);
    QApplication::processEvents();
    QWidget* popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    QTest::keyClick(popup, Qt::Key_X);
    QApplication::processEvents();
    // The exit question, not the text export's dialog.
    EXPECT_TRUE(said(LoadErrorText(qor::str::kConfirmExit))) << messages.join(u'|').toStdString();
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(u' ').toStdString();
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(CommandsAnswer, GreyedItemsSayWhyInTheStatusLine) {
    CChildFrame* child = newReport();
    ASSERT_TRUE(child->GetDocument()->EnterDataState());
    frame->UpdateFrameState();
    QAction* decimals = frame->Router().FindAction(qor::cmd_ids::kCmdMoreDecimals);
    ASSERT_NE(decimals, nullptr);
    EXPECT_FALSE(decimals->isEnabled());
    EXPECT_EQ(decimals->statusTip(), qor::doccmd::ReasonFormatState());
    // A fill of one row says there is no second row.
    child->GetDocument()->Selection().SetSelection(0, 0, 0, 2);
    frame->UpdateFrameState();
    QAction* down = frame->Router().FindAction(qor::cmd_ids::kCmdFillDown);
    ASSERT_NE(down, nullptr);
    EXPECT_FALSE(down->isEnabled());
    EXPECT_EQ(down->statusTip(), LoadErrorText(qor::str::kFillDownOneRow));
    EXPECT_TRUE(down->toolTip().contains(LoadErrorText(qor::str::kFillDownOneRow))) << down->toolTip().toStdString();
    QAction* right = frame->Router().FindAction(qor::cmd_ids::kCmdFillRight);
    ASSERT_NE(right, nullptr);
    EXPECT_TRUE(right->isEnabled());
    EXPECT_FALSE(right->statusTip().isEmpty());
    EXPECT_FALSE(right->toolTip().contains(u'（'));

    // Pointing at the greyed item with the keyboard (编辑 › 填充 › 向下)
    // puts its reason on the status line.
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    QTest::keyClick(frame.get(), Qt::Key_E, Qt::AltModifier);
    QApplication::processEvents();
    auto* edit = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(edit, nullptr);
    QAction* fill = nullptr;
    for (QAction* a : edit->actions())
        if (a->menu() && a->menu()->actions().contains(down)) fill = a;
    ASSERT_NE(fill, nullptr);
    for (int i = 0; i < 40 && edit->activeAction() != fill; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    ASSERT_EQ(edit->activeAction(), fill);
    QTest::keyClick(edit, Qt::Key_Right);
    QApplication::processEvents();
    auto* sub = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_EQ(sub, fill->menu());
    for (int i = 0; i < 8 && sub->activeAction() != down; ++i) QTest::keyClick(sub, Qt::Key_Down);
    QApplication::processEvents();
    EXPECT_EQ(sub->activeAction(), down);  // a greyed item can be pointed at
    sub->grab().save(qortest::artifactPath(QStringLiteral("fill-menu.png")));
    EXPECT_EQ(frame->statusBar()->currentMessage(), LoadErrorText(qor::str::kFillDownOneRow));
    while (QWidget* popup = QApplication::activePopupWidget()) popup->close();
}

TEST(MessageBoxes, CarryTheProgramsCaptionUncut) {
    const qor::UiServices previous = qor::installUiServices({});
    InstallWidgetUiServices();
    QString title;
    int width = 0, titleWidth = 0;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        title = box->windowTitle();
        width = box->width();
        titleWidth = box->fontMetrics().horizontalAdvance(title);
        box->grab().save(qortest::artifactPath(QStringLiteral("message-box.png")));
        box->accept();
    });
    // A caller's own caption and a short text: the box still carries the
    // program's caption, wide enough to show it whole.
    qor::messageBox(QStringLiteral("15"), QStringLiteral("qorview"), qor::MsgButtons::Ok,
                    qor::MsgIcon::Information);
    qor::installUiServices(previous);
    EXPECT_EQ(title, LoadErrorText(qor::str::kAppTitle));
    EXPECT_GT(width, titleWidth + 100);
}

}  // namespace

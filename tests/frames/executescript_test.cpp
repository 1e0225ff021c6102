// 工具 › 执行 of a script whose line fails, picked from the menu bar of the
// shown window: the failure is told once, in Chinese, with the script, the
// line and the reason, as 常用批命令 tells it.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <functional>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/input_dlgs.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "frames/commandrouter.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "tests/frames/frame_fixture.h"

using namespace qor::cmd_ids;
using namespace qor::frames;

namespace {

class ExecuteScript : public frametest::FrameFixture {
protected:
    void SetUp() override {
        FrameFixture::SetUp();
        m_hooks = CCalcInterpreter::Instance().SubsystemHooks();
        // The desktop's question after a failed line, answered here.
        qor::InstallInputDialogs(frame.get());
        answerDialogs = false;
    }
    void TearDown() override {
        CCalcInterpreter::Instance().SetSubsystemHooks(m_hooks);
        FrameFixture::TearDown();
    }
    // Picks 工具 › 执行 with the script chosen; the question after a failed
    // line, when it comes, is read and answered 否.
    QStringList execute(const QString& script) {
        files << script;
        QStringList asked;
        QTimer user;
        user.setInterval(5);
        QObject::connect(&user, &QTimer::timeout, [&asked] {
            if (auto* d = qobject_cast<CPromptDlg*>(QApplication::activeModalWidget())) {
                asked << d->m_strMessage;
                d->reject();
            }
        });
        user.start();
        frame->UpdateFrameState();
        QAction* item = frametest::menuBarItem(frame->menuBar(), kCmdExecute);
        EXPECT_NE(item, nullptr);
        if (item) item->trigger();
        QApplication::processEvents();
        return asked;
    }

private:
    qor::cmd::CalcSubsystemHooks m_hooks;
};

TEST_F(ExecuteScript, AFailingLineIsToldOnceWithTheLineAndTheReason) {
    CChildFrame* child = newReport();
    ASSERT_NE(child, nullptr);
    ASSERT_LT(child->GetDocument()->GetReport()->GetRowCount(), 99);
    ASSERT_TRUE(child->EnterDataState());
    const QString dir = qortest::freshDir(QStringLiteral("execute-script"));
    const QString bad = dir + QStringLiteral("/bad.shl");
    qortest::writeFile(bad, "LET A1 = 1\nLET A99 = 5\nLET A2 = 2\n");

    const QStringList asked = execute(bad);
    EXPECT_EQ(
        asked,
        QStringList{LoadErrorText(qor::str::kScriptLineFailed)
                        .arg(QStringLiteral("bad.shl"), QStringLiteral("2"),
                             LoadErrorText(qor::str::kOutsideTable).arg(QStringLiteral("A99"))) +
                    u'\n' + LoadErrorText(qor::str::kScriptGoOnQuestion)});
    // The box's 是 and 否 answer the question it asks.
    EXPECT_TRUE(asked.value(0).endsWith(u'？')) << asked.value(0).toStdString();
    // Nothing else is said: no second box, no English.
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();

    // A script that does not parse runs nothing and is told in one box.
    const QString broken = dir + QStringLiteral("/broken.shl");
    qortest::writeFile(broken, "LET A1 = 1\nLET A2 = (\n");
    EXPECT_TRUE(execute(broken).isEmpty());
    ASSERT_EQ(messages.size(), 1) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(messages.first().startsWith(
        LoadErrorText(qor::str::kScriptLineFailed)
            .arg(QStringLiteral("broken.shl"), QStringLiteral("2"), QString())))
        << messages.first().toStdString();
    EXPECT_FALSE(messages.first().contains(QStringLiteral("line"))) << messages.first().toStdString();
}

}  // namespace

#include "platform/uiservices.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

using namespace qor;

namespace {

struct CapturedLog {
    QtMsgType type;
    QString category;
    QString text;
};
QList<CapturedLog> gLog;

void capture(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
    gLog.append({type, QString::fromLatin1(ctx.category), msg});
}

// Installs hooks for one test and puts the previous set back afterwards.
class UiHooks : public ::testing::Test {
protected:
    void SetUp() override { previous_ = installUiServices(headlessUiServices()); }
    void TearDown() override { installUiServices(previous_); }
    UiServices previous_;
};

}  // namespace

TEST_F(UiHooks, HeadlessDefaultsAnswerAsAScript) {
    EXPECT_EQ(messageBox("saved", "", MsgButtons::OkCancel, MsgIcon::None, MsgAnswer::Cancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(messageBox("retry?", "", MsgButtons::RetryCancel, MsgIcon::None, MsgAnswer::Retry),
              MsgAnswer::Retry);
    // A default the box does not offer gives its first button.
    EXPECT_EQ(messageBox("delete?", "", MsgButtons::YesNo), MsgAnswer::Yes);
    EXPECT_EQ(messageBox("retry?", "", MsgButtons::RetryCancel, MsgIcon::None, MsgAnswer::No),
              MsgAnswer::Retry);
    EXPECT_FALSE(askYesNo(QStringLiteral("确定要删除此项?")));
    EXPECT_TRUE(askYesNo(QStringLiteral("确定要删除此项?"), "", true));
    EXPECT_EQ(promptText({"c", "l", "init"}), std::nullopt);
    EXPECT_EQ(promptNumber({}), std::nullopt);
    EXPECT_EQ(chooseFile({}), std::nullopt);
    EXPECT_FALSE(stopRequested());
}

TEST_F(UiHooks, MessagesAreLoggedUnderQorUi) {
    QLoggingCategory::setFilterRules("qor.ui.info=true");
    gLog.clear();
    const QtMessageHandler old = qInstallMessageHandler(capture);
    messageBox(QStringLiteral("写表页错误"), "QOR", MsgButtons::Ok, MsgIcon::Error);
    messageBox("note", "QOR", MsgButtons::Ok, MsgIcon::Information);
    qInstallMessageHandler(old);
    QLoggingCategory::setFilterRules(QString());
    ASSERT_EQ(gLog.size(), 2);
    EXPECT_EQ(gLog[0].category, "qor.ui");
    EXPECT_EQ(gLog[0].type, QtWarningMsg);
    EXPECT_TRUE(gLog[0].text.contains(QStringLiteral("写表页错误")));
    EXPECT_EQ(gLog[1].type, QtInfoMsg);
}

TEST_F(UiHooks, InstallFillsGapsAndReturnsThePreviousSet) {
    MessageRequest seen;
    UiServices mine;
    mine.messageBox = [&](const MessageRequest& r) {
        seen = r;
        return MsgAnswer::No;
    };
    mine.stopRequested = [] { return true; };
    const UiServices before = installUiServices(mine);

    EXPECT_FALSE(askYesNo("q", "cap", true));
    EXPECT_EQ(seen.text, "q");
    EXPECT_EQ(seen.caption, "cap");
    EXPECT_EQ(seen.buttons, MsgButtons::YesNo);
    EXPECT_EQ(seen.defaultAnswer, MsgAnswer::Yes);
    EXPECT_TRUE(stopRequested());
    // Members left empty answer with the defaults instead of throwing.
    ASSERT_TRUE(uiServices().promptText);
    EXPECT_EQ(promptText({}), std::nullopt);

    // Restoring the returned set brings the old answers back.
    const UiServices mineAgain = installUiServices(before);
    EXPECT_FALSE(stopRequested());
    EXPECT_EQ(messageBox("x"), MsgAnswer::Ok);
    ASSERT_TRUE(mineAgain.stopRequested);
    EXPECT_TRUE(mineAgain.stopRequested());
}

TEST_F(UiHooks, HookMayReinstallHooksWhileRunning) {
    // A dialog hook that swaps hooks (a nested window closing) must not
    // deadlock on the hook table.
    UiServices swapping;
    swapping.promptText = [](const TextPrompt&) -> std::optional<QString> {
        installUiServices(headlessUiServices());
        return QStringLiteral("typed");
    };
    installUiServices(swapping);
    EXPECT_EQ(promptText({}), QStringLiteral("typed"));
    EXPECT_EQ(promptText({}), std::nullopt);
}

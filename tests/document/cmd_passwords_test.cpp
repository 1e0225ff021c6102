// Password commands: the format lock and the question that guards format
// state, and the file password.
#include "document/cmd_passwords.h"

#include <gtest/gtest.h>

#include "engine/messages.h"
#include "tests/document/doc_fixture.h"

using namespace doctest;
using namespace qor;

TEST(CmdPasswords, FormatLockGuardsFormatStateThroughTheDialog) {
    auto doc = newDoc();
    UiRecorder ui;
    FormatLockDlgMembers lock;
    lock.newPassword = QStringLiteral("Secret");
    lock.confirmation = QStringLiteral("secreT");  // letter case does not count
    EXPECT_EQ(ApplyFormatLockDlg(*doc, lock), 0);
    EXPECT_EQ(doc->GetReport()->GetFormatPassword(), QStringLiteral("Secret"));
    lock.confirmation = QStringLiteral("other");
    EXPECT_NE(ApplyFormatLockDlg(*doc, lock), 0);
    EXPECT_EQ(ui.messages, QStringList{LoadErrorText(qor::str::kConfirmNewPassword)});

    std::optional<QString> text;
    int asked = 0;
    {
        ScopedDialog<FormatPasswordDlgMembers> typed(
            [&](const FormatPasswordDlgMembers&) -> std::optional<FormatPasswordDlgMembers> {
                ++asked;
                if (!text) return std::nullopt;
                return FormatPasswordDlgMembers{*text};
            });
        UseFormatPasswordDlg();
        ASSERT_TRUE(doc->EnterDataState());
        EXPECT_FALSE(doc->EnterFormatState());  // cancelled
        text = QStringLiteral("SECRET");
        EXPECT_TRUE(doc->EnterFormatState());
        EXPECT_EQ(asked, 2);
        CQorsDoc::SetFormatPasswordPrompt({});
    }

    // An empty password removes the lock.
    lock.newPassword.clear();
    lock.confirmation.clear();
    EXPECT_EQ(ApplyFormatLockDlg(*doc, lock), 0);
    EXPECT_TRUE(doc->GetReport()->GetFormatPassword().isEmpty());
}

TEST(CmdPasswords, FilePasswordIsTheDialogsResult) {
    auto doc = newDoc();
    UiRecorder ui;
    SetFilePasswordDlgMembers m = PresetSetFilePasswordDlg(*doc);
    EXPECT_EQ(m.stage, 1);
    m.current = QStringLiteral("pw");
    EXPECT_EQ(ApplySetFilePasswordDlg(*doc, m), 0);
    EXPECT_EQ(doc->Files().GetFilePassword(), QStringLiteral("pw"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(PresetSetFilePasswordDlg(*doc).stage, 0);
    m.current = QString(51, u'x');
    EXPECT_NE(ApplySetFilePasswordDlg(*doc, m), 0);
    EXPECT_EQ(doc->Files().GetFilePassword(), QStringLiteral("pw"));
    m.current.clear();
    EXPECT_EQ(ApplySetFilePasswordDlg(*doc, m), 0);
    EXPECT_TRUE(doc->Files().GetFilePassword().isEmpty());
}

TEST(CmdPasswords, SetAndRemovedAreToldOnlyOnceStored) {
    auto doc = newDoc();
    UiRecorder ui;
    SetFilePasswordDlgMembers m = PresetSetFilePasswordDlg(*doc);
    // Refused (too long): no success message.
    m.newPassword = m.confirmation = m.current = QString(51, u'x');
    EXPECT_NE(ApplySetFilePasswordDlg(*doc, m), 0);
    EXPECT_FALSE(ui.said(LoadErrorText(qor::str::kFilePasswordSet)));
    m.newPassword = m.confirmation = m.current = QStringLiteral("pw");
    EXPECT_EQ(ApplySetFilePasswordDlg(*doc, m), 0);
    EXPECT_EQ(ui.messages.last(), LoadErrorText(qor::str::kFilePasswordSet));

    m = PresetSetFilePasswordDlg(*doc);
    m.typedOld = QStringLiteral("PW");
    m.current.clear();
    EXPECT_EQ(ApplySetFilePasswordDlg(*doc, m), 0);
    EXPECT_TRUE(doc->Files().GetFilePassword().isEmpty());
    EXPECT_EQ(ui.messages.last(), LoadErrorText(qor::str::kFilePasswordRemoved));
}

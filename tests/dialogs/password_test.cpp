// The password dialogs: the decisions of the set-file-password OK, the
// widgets' limits and hidden echo, and one run through the document.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "dialogs/password_dlgs.h"
#include "document/cmd_passwords.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/dialogs/dialog_answers.h"

using namespace qor;

namespace {

// Collects message boxes instead of showing them; questions get `answer`.
struct MessageLog {
    QStringList shown;
    MsgAnswer answer = MsgAnswer::Yes;
    UiServices previous;
    MessageLog() {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            shown << r.text;
            return r.buttons == MsgButtons::YesNo ? answer : MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    ~MessageLog() { installUiServices(previous); }
};

SetFilePasswordDlgMembers stored(const QString& current) {
    SetFilePasswordDlgMembers m;
    m.current = current;
    m.stage = current.isEmpty() ? 1 : 0;
    return m;
}

QLineEdit* edit(QWidget* w) { return qobject_cast<QLineEdit*>(w); }

}  // namespace

TEST(SetFilePasswordOk, NewPasswordOnAnUnprotectedReport) {
    MessageLog log;
    SetFilePasswordDlgMembers m = stored({});
    m.newPassword = QStringLiteral("abc");
    m.confirmation = QStringLiteral("ABD");
    SetFilePasswordOkResult r = SetFilePasswordOk(m, {});
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, PasswordField::Confirm);
    EXPECT_TRUE(m.current.isEmpty());

    m.confirmation = QStringLiteral("ABC");  // letter case does not count
    r = SetFilePasswordOk(m, {});
    EXPECT_TRUE(r.close);
    EXPECT_EQ(m.current, QStringLiteral("abc"));
    // The success is told by the command once the document holds it.
    EXPECT_EQ(log.shown, QStringList{LoadErrorText(qor::str::kConfirmNewPassword)});
}

TEST(SetFilePasswordOk, ProtectedReportNeedsTheOldPassword) {
    MessageLog log;
    SetFilePasswordDlgMembers m = stored(QStringLiteral("Old"));
    EXPECT_FALSE(NewPasswordEditable(m));
    m.typedOld = QStringLiteral("wrong");
    m.newPassword = m.confirmation = QStringLiteral("new");
    SetFilePasswordOkResult r = SetFilePasswordOk(m, {});
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, PasswordField::Old);
    EXPECT_EQ(m.stage, 0);
    EXPECT_EQ(m.current, QStringLiteral("Old"));
    EXPECT_EQ(log.shown, QStringList{LoadErrorText(qor::str::kWrongFilePassword)});

    m.typedOld = QStringLiteral("oLD");
    EXPECT_TRUE(NewPasswordEditable(m));
    m.confirmation = QStringLiteral("other");
    r = SetFilePasswordOk(m, {});
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, PasswordField::Confirm);
    EXPECT_EQ(m.stage, 1);

    m.confirmation = QStringLiteral("new");
    log.shown.clear();
    r = SetFilePasswordOk(m, {});
    EXPECT_TRUE(r.close);
    EXPECT_EQ(m.current, QStringLiteral("new"));
    EXPECT_TRUE(log.shown.isEmpty());  // a change, neither set nor removed
}

TEST(SetFilePasswordOk, RemovingAsksFirstAndNoKeepsItOpen) {
    MessageLog log;
    log.answer = MsgAnswer::No;
    SetFilePasswordDlgMembers m = stored(QStringLiteral("pw"));
    m.typedOld = QStringLiteral("pw");
    SetFilePasswordOkResult r = SetFilePasswordOk(m, {});
    EXPECT_FALSE(r.close);
    EXPECT_EQ(r.focus, PasswordField::New);
    EXPECT_EQ(m.current, QStringLiteral("pw"));
    EXPECT_EQ(log.shown, QStringList{LoadErrorText(qor::str::kConfirmRemovePassword)});

    // Past the old password, OK with both fields empty removes it, warning.
    r = SetFilePasswordOk(m, {});
    EXPECT_TRUE(r.close);
    EXPECT_TRUE(m.current.isEmpty());
    EXPECT_EQ(
        log.shown,
        QStringList{LoadErrorText(qor::str::kConfirmRemovePassword)});  // the warning comes later

    log.answer = MsgAnswer::Yes;
    m = stored(QStringLiteral("pw"));
    m.typedOld = QStringLiteral("PW");
    EXPECT_TRUE(SetFilePasswordOk(m, {}).close);
    EXPECT_TRUE(m.current.isEmpty());
}

TEST(SetFilePasswordOk, OverlongTextsStayOpenInBothStages) {
    MessageLog log;
    for (const QString& current : {QString(), QStringLiteral("pw")}) {
        SetFilePasswordDlgMembers m = stored(current);
        m.typedOld = current;
        m.newPassword = m.confirmation = QString(kFilePasswordMaxLength + 1, u'x');
        EXPECT_FALSE(SetFilePasswordOk(m, {}).close);
        EXPECT_EQ(m.current, current);
        EXPECT_EQ(log.shown.last(), QStringLiteral("请填入不多于50个的字符"));
    }
}

TEST(PasswordDialogs, CaptionsLimitsAndHiddenEcho) {
    CFormatLockDlg lock;
    CFormatPasswordDlg ask;
    CSetFilePasswordDlg file;
    EXPECT_EQ(lock.windowTitle(), QStringLiteral("格式加锁"));
    EXPECT_EQ(ask.windowTitle(), QStringLiteral("验证格式口令"));
    EXPECT_EQ(file.windowTitle(), QStringLiteral("设置文件口令"));
    const QList<std::pair<QWidget*, int>> edits = {
        {lock.GetDlgItem(CFormatLockDlg::IDC_NEW), 9},
        {lock.GetDlgItem(CFormatLockDlg::IDC_CONFIRM), 9},
        {ask.GetDlgItem(CFormatPasswordDlg::IDC_PASSWORD), 9},
        {file.GetDlgItem(CSetFilePasswordDlg::IDC_OLD), 50},
        {file.GetDlgItem(CSetFilePasswordDlg::IDC_NEW), 50},
        {file.GetDlgItem(CSetFilePasswordDlg::IDC_CONFIRM), 50}};
    for (const auto& [w, limit] : edits) {
        QLineEdit* e = edit(w);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->echoMode(), QLineEdit::Password);
        e->insert(QString(limit + 1, u'a'));  // one more than fits
        EXPECT_EQ(e->text().size(), limit);
    }
}

TEST(PasswordDialogs, FormatLockMismatchKeepsTheDialogOpen) {
    MessageLog log;
    CFormatLockDlg dlg;
    dlg.OnInitDialog();
    edit(dlg.GetDlgItem(CFormatLockDlg::IDC_NEW))->setText(QStringLiteral("Key"));
    edit(dlg.GetDlgItem(CFormatLockDlg::IDC_CONFIRM))->setText(QStringLiteral("kex"));
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_TRUE(dlg.newPassword.isEmpty());
    EXPECT_EQ(log.shown, QStringList{LoadErrorText(qor::str::kConfirmNewPassword)});

    edit(dlg.GetDlgItem(CFormatLockDlg::IDC_CONFIRM))->setText(QStringLiteral("kEY"));
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), kIdOk);
    EXPECT_EQ(dlg.newPassword, QStringLiteral("Key"));
    EXPECT_EQ(dlg.confirmation, QStringLiteral("kEY"));
}

TEST(PasswordDialogs, SetFilePasswordStartsByTheStoredPassword) {
    MessageLog log;
    CSetFilePasswordDlg dlg;
    dlg.current = QStringLiteral("pw");
    dlg.OnInitDialog();
    QLineEdit* old = edit(dlg.GetDlgItem(CSetFilePasswordDlg::IDC_OLD));
    QLineEdit* fresh = edit(dlg.GetDlgItem(CSetFilePasswordDlg::IDC_NEW));
    QLineEdit* confirm = edit(dlg.GetDlgItem(CSetFilePasswordDlg::IDC_CONFIRM));
    EXPECT_EQ(dlg.stage, 0);
    EXPECT_EQ(dlg.FocusItem(), old);
    EXPECT_FALSE(fresh->isEnabled());
    old->setText(QStringLiteral("P"));
    EXPECT_FALSE(fresh->isEnabled());
    old->setText(QStringLiteral("PW"));
    EXPECT_TRUE(fresh->isEnabled());
    EXPECT_TRUE(confirm->isEnabled());
    old->setText(QStringLiteral("PWx"));
    EXPECT_FALSE(confirm->isEnabled());
    dlg.OnOK();
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_EQ(dlg.FocusItem(), old);

    // Cancel leaves the stored password as it was.
    dlg.OnCancel();
    EXPECT_EQ(dlg.result(), kIdCancel);
    EXPECT_EQ(dlg.current, QStringLiteral("pw"));

    CSetFilePasswordDlg unprotected;
    unprotected.OnInitDialog();
    EXPECT_EQ(unprotected.stage, 1);
    EXPECT_FALSE(unprotected.GetDlgItem(CSetFilePasswordDlg::IDC_OLD)->isEnabled());
    EXPECT_EQ(unprotected.FocusItem(), unprotected.GetDlgItem(CSetFilePasswordDlg::IDC_NEW));
}

TEST(PasswordDialogs, DocumentCommandsRunTheDialogsModally) {
    MessageLog log;
    qortest::RegisteredDialogs dialogs;
    auto doc = std::make_unique<CQorsDoc>();
    ASSERT_TRUE(doc->Files().OnNewDocument());

    auto type = [](int newId, int confirmId, const QString& a, const QString& b, bool ok) {
        QTimer::singleShot(0, [=] {
            QWidget* dlg = QApplication::activeModalWidget();
            ASSERT_NE(dlg, nullptr);
            dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(newId))->setText(a);
            if (confirmId)
                dlg->findChild<QLineEdit*>(QStringLiteral("ctl%1").arg(confirmId))->setText(b);
            if (ok)
                QMetaObject::invokeMethod(dlg, "OnOK");
            else
                QMetaObject::invokeMethod(dlg, "OnCancel");
        });
    };

    type(CSetFilePasswordDlg::IDC_NEW, CSetFilePasswordDlg::IDC_CONFIRM, "Sesame", "sesame", true);
    EXPECT_EQ(OnSetFilePassword(*doc), 0);
    EXPECT_EQ(doc->Files().GetFilePassword(), QStringLiteral("Sesame"));
    EXPECT_EQ(log.shown.last(), LoadErrorText(qor::str::kFilePasswordSet));

    type(CSetFilePasswordDlg::IDC_OLD, 0, "x", "", false);
    EXPECT_EQ(OnSetFilePassword(*doc), -1);
    EXPECT_EQ(doc->Files().GetFilePassword(), QStringLiteral("Sesame"));

    // The format lock, then the question that guards format state.
    type(CFormatLockDlg::IDC_NEW, CFormatLockDlg::IDC_CONFIRM, "Lock", "LOCK", true);
    EXPECT_EQ(OnFormatLock(*doc), 0);
    ASSERT_TRUE(doc->EnterDataState());
    type(CFormatPasswordDlg::IDC_PASSWORD, 0, "lock", "", true);
    EXPECT_TRUE(doc->EnterFormatState());
}

// The desktop's registration of the document's dialogs: every command that
// needs a dialog finds one, and running a command shows the real dialog.
#include "dialogs/docdialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QTimer>

#include "dialogs/format_dlgs.h"
#include "document/doc_commands.h"
#include "resources/commandids.h"
#include "tests/dialogs/dialog_answers.h"
#include "tests/document/doc_fixture.h"

using namespace qor;
namespace dc = qor::doccmd;

namespace {

// The commands of doc that are off for want of a dialog.
QList<int> offForADialog(CQorsDoc& doc) {
    QList<int> off;
    for (int id : doc.DeclaredCommands()->Ids()) {
        CommandState s;
        if (doc.OnUpdateCommand(id, s) && s.reason == dc::ReasonNoDialog()) off << id;
    }
    return off;
}

}  // namespace

TEST(DocumentDialogs, EveryDialogOfACommandIsRegistered) {
    auto doc = doctest::newDoc();
    EXPECT_TRUE(offForADialog(*doc).contains(qor::cmd_ids::kCmdRowHeight));
    qortest::RegisteredDialogs dialogs;
    // The audit-office mapping dialog is the financial interface's to register.
    EXPECT_EQ(offForADialog(*doc), QList<int>{qor::cmd_ids::kCmdAuditMapping});
    ASSERT_TRUE(doc->EnterDataState());
    EXPECT_EQ(offForADialog(*doc), QList<int>{qor::cmd_ids::kCmdAuditMapping});
}

TEST(DocumentDialogs, ACommandShowsItsDialogModally) {
    auto doc = doctest::newDoc(20, 4);
    doc->Selection().SetSelection(2, 0, 2, 0);
    qortest::RegisteredDialogs dialogs;
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        auto* dlg = qobject_cast<CRowHeightDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        shown = dlg->isVisible();
        auto* mm = qobject_cast<QLineEdit*>(dlg->GetDlgItem(CRowHeightDlg::IDC_MM));
        ASSERT_NE(mm, nullptr);
        mm->setText(QStringLiteral("7"));
        QMetaObject::invokeMethod(dlg, "OnOK");
    });
    EXPECT_TRUE(doc->OnCommand(qor::cmd_ids::kCmdRowHeight));
    EXPECT_TRUE(shown);
    uint16_t height = 0;
    ASSERT_EQ(doc->GetReport()->AccessRowColSize(0, 0, 3, &height), 0);
    EXPECT_EQ(height, 20);  // 7 mm
}

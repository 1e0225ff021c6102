// The file password asked before a protected report opens: the dialog's
// controls, the question going through it, and cancel leaving the file
// as it was.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include "dialogs/password_dlgs.h"
#include "document/cqorsdoc.h"
#include "engine/reportpassword.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

namespace {

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

struct Restore {
    qor::UiServices ui = qor::uiServices();
    ~Restore() {
        qor::installUiServices(ui);
        CQorDialog::SetModalHook({});
    }
};

}  // namespace

TEST(FilePasswordDlg, ShowsTheFileAndHidesAHundredCharacters) {
    CFilePasswordDlg dlg;
    dlg.m_strFileName = QStringLiteral("月报.rep");
    dlg.OnInitDialog();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("文件口令"));
    auto* name = qobject_cast<QLabel*>(dlg.GetDlgItem(CFilePasswordDlg::IDC_FILE_NAME));
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text(), QStringLiteral("月报.rep"));
    auto* edit = qobject_cast<QLineEdit*>(dlg.GetDlgItem(CFilePasswordDlg::IDC_PASSWORD));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->maxLength(), 100);
}

TEST(FilePasswordDlg, AProtectedReportOpensOnlyWithItsPassword) {
    Restore restore;
    const QString dir = qortest::freshDir(QStringLiteral("FilePasswordDlg"));
    const QString path = dir + QStringLiteral("/secret.rep");
    {
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnNewDocument());
        ASSERT_TRUE(doc.Files().SetFilePassword(QStringLiteral("Sesame")));
        ASSERT_TRUE(doc.Files().OnSaveDocument(path));
        doc.Files().OnCloseDocument();
    }
    const QByteArray before = digest(path);
    qor::InstallFilePasswordDlg();

    QStringList shownNames;
    QStringList typed{QStringLiteral("wrong"), QStringLiteral("sesame")};
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ASSERT_EQ(d.TemplateId(), CFilePasswordDlg::IDD);
        shownNames << qobject_cast<QLabel*>(d.GetDlgItem(CFilePasswordDlg::IDC_FILE_NAME))->text();
        if (typed.isEmpty()) return d.reject();
        qobject_cast<QLineEdit*>(d.GetDlgItem(CFilePasswordDlg::IDC_PASSWORD))
            ->setText(typed.takeFirst());
        d.accept();
    });
    // A wrong password asks again; the right one (any letter case) opens.
    EXPECT_EQ(CheckReportPassword(path), 1);
    EXPECT_EQ(shownNames,
              (QStringList{QStringLiteral("secret.rep"), QStringLiteral("secret.rep")}));

    // Cancel: nothing opens and the file is untouched.
    CQorsDoc doc;
    EXPECT_FALSE(doc.Files().OnOpenDocument(path));
    EXPECT_FALSE(doc.IsOpen());
    EXPECT_EQ(digest(path), before);
}

// Paste special: the link choice only for linkable entries, and the view's
// command running the installed dialog over the clipboard's formats.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>

#include "dialogs/cpasteasdlg.h"
#include "dialogs/viewsettings_viewdialogs.h"
#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"
#include "document/doc_commands.h"
#include "engine/creporthandle.h"
#include "view/cqorsview.h"

using namespace qor;

namespace {

struct HookReset {
    ~HookReset() { CQorDialog::SetModalHook({}); }
};

QRadioButton* radio(CQorDialog& d, int id) { return qobject_cast<QRadioButton*>(d.GetDlgItem(id)); }

}  // namespace

TEST(PasteSpecialDlg, LinkIsOfferedOnlyForLinkableEntries) {
    HookReset reset;
    clip::PasteSpecialMembers m;
    m.entries = {{QStringLiteral("a"), QStringLiteral("本地表格数据\n说明"), false},
                 {QStringLiteral("b"), QStringLiteral("Linked"), true}};
    CQorDialog::SetModalHook([](CQorDialog& d) {
        auto* list = qobject_cast<QListWidget*>(d.GetDlgItem(CPasteSpecialDlg::IDC_LIST));
        EXPECT_EQ(list->item(0)->text(), QStringLiteral("本地表格数据"));
        EXPECT_FALSE(radio(d, CPasteSpecialDlg::IDC_PASTE_LINK)->isEnabled());
        list->setCurrentRow(1);
        EXPECT_TRUE(radio(d, CPasteSpecialDlg::IDC_PASTE_LINK)->isEnabled());
        radio(d, CPasteSpecialDlg::IDC_PASTE_LINK)->setChecked(true);
        // Back on the plain entry the link choice goes.
        list->setCurrentRow(0);
        EXPECT_TRUE(radio(d, CPasteSpecialDlg::IDC_PASTE)->isChecked());
        list->setCurrentRow(1);
        radio(d, CPasteSpecialDlg::IDC_PASTE_LINK)->setChecked(true);
        d.accept();
    });
    ScopedDialogRegistry keep;
    RegisterViewDialogs(nullptr);
    const std::optional<clip::PasteSpecialMembers> chosen = Ask(m);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->selected, 1);
    EXPECT_EQ(chosen->selectionType, 1);

    CQorDialog::SetModalHook([](CQorDialog& d) { d.reject(); });
    EXPECT_FALSE(Ask(m).has_value());
}

TEST(PasteSpecialDlg, TheViewCommandPastesTheChosenFormat) {
    HookReset reset;
    CQorsDoc doc;
    ASSERT_TRUE(doc.Files().OnNewDocument());
    ASSERT_TRUE(doc.EnterDataState());
    CQorsView view(&doc);
    QGuiApplication::clipboard()->setText(QStringLiteral("7.5"));
    CommandState s;
    view.OnUpdateCommand(clip::kCmdPasteSpecial, s);
    EXPECT_EQ(s.reason, doccmd::ReasonNoDialog());

    ScopedDialogRegistry keep;
    RegisterViewDialogs(nullptr);
    view.OnUpdateCommand(clip::kCmdPasteSpecial, s);
    EXPECT_TRUE(s.enabled);
    // Shown for real: the user presses OK on the entry offered first.
    // Every entry the list offers reads in the user's language.
    bool shown = false;
    QStringList entries;
    QTimer::singleShot(0, [&shown, &entries] {
        auto* d = qobject_cast<CPasteSpecialDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        shown = d->isVisible();
        auto* list = qobject_cast<QListWidget*>(d->GetDlgItem(CPasteSpecialDlg::IDC_LIST));
        for (int i = 0; list && i < list->count(); ++i) entries << list->item(i)->text();
        auto* ok = qobject_cast<QAbstractButton*>(d->GetDlgItem(CQorDialog::IDOK));
        ASSERT_NE(ok, nullptr);
        ok->click();
    });
    doc.Selection().SetSelection(2, 1, 2, 1);
    EXPECT_TRUE(view.OnCommand(clip::kCmdPasteSpecial));
    EXPECT_TRUE(shown);
    ASSERT_FALSE(entries.isEmpty());
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (const QString& e : entries) EXPECT_FALSE(e.contains(latin)) << e.toStdString();
    EXPECT_TRUE(entries.contains(QStringLiteral("文本")));
    double v = 0;
    EXPECT_TRUE(doc.GetNumCellValue(2, 1, &v));
    EXPECT_DOUBLE_EQ(v, 7.5);
}

// The sheet choice of a workbook being opened: the dialog's range check,
// and the workbook import asking through it only for several sheets.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QRadioButton>

#include "dialogs/csetpagenodlg.h"
#include "document/cqorsdoc.h"
#include "document/doc_converters.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/dialogs/dialog_answers.h"

using namespace qor;

namespace {

struct Messages {
    Messages() {
        UiServices s;
        s.messageBox = [this](const MessageRequest& r) {
            shown << r.text;
            return MsgAnswer::Ok;
        };
        previous = installUiServices(s);
    }
    ~Messages() {
        installUiServices(previous);
        CQorDialog::SetModalHook({});
    }
    QStringList shown;
    UiServices previous;
};

void typeSheet(CQorDialog& d, const QString& text) {
    qobject_cast<QLineEdit*>(d.GetDlgItem(CSetPageNoDlg::IDC_SHEET))->setText(text);
}

QString workbook(const QString& name, int sheets) {
    const QString path = qortest::freshDir(name) + QStringLiteral("/book.xlsx");
    const auto r = qortest::python(QStringLiteral(R"(
import sys, openpyxl
wb = openpyxl.Workbook()
for i in range(int(sys.argv[2])):
    ws = wb.active if i == 0 else wb.create_sheet()
    ws.title = "S%d" % (i + 1)
    ws["A1"] = 10 * (i + 1)
wb.save(sys.argv[1])
)"),
                                   {path, QString::number(sheets)});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return path;
}

}  // namespace

TEST(SetPageNoDlg, StartsOnEverySheetAndChecksTheRange) {
    Messages ui;
    qortest::RegisteredDialogs dialogs;
    std::vector<QString> typed{QStringLiteral("4"), QStringLiteral("0")};
    int asked = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        auto* all = qobject_cast<QRadioButton*>(d.GetDlgItem(CSetPageNoDlg::IDC_ALL));
        EXPECT_TRUE(all->isChecked());
        qobject_cast<QRadioButton*>(d.GetDlgItem(CSetPageNoDlg::IDC_ONE))->click();
        for (const QString& t : typed) {
            typeSheet(d, t);
            ++asked;
            static_cast<CSetPageNoDlg&>(d).OnOK();
            if (d.Result()) break;
        }
    });
    SetPageNoDlgMembers m;
    m.sheetCount = 3;
    const auto chosen = Ask(m);
    // One past the count is refused and the dialog stays; 0 is taken.
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(ui.shown, QStringList{LoadErrorText(qor::str::kPageNumberOutOfRange)});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->choice, 2);
    EXPECT_EQ(chosen->sheetNumber, 0);

    CQorDialog::SetModalHook([](CQorDialog& d) { d.reject(); });
    EXPECT_FALSE(Ask(m));
}

TEST(SetPageNoDlg, OpeningAWorkbookAsksOnlyForSeveralSheets) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP();
    Messages ui;
    doc::RegisterExchangeConverters();
    qortest::RegisteredDialogs dialogs;
    int asked = 0;
    CQorDialog::SetModalHook([&](CQorDialog& d) {
        ++asked;
        EXPECT_EQ(d.TemplateId(), CSetPageNoDlg::IDD);
        qobject_cast<QRadioButton*>(d.GetDlgItem(CSetPageNoDlg::IDC_ONE))->click();
        typeSheet(d, QStringLiteral("2"));
        d.accept();
    });
    {
        CQorsDoc doc;
        EXPECT_TRUE(doc.Files().OnOpenDocument(workbook(QStringLiteral("OneSheet"), 1)));
        EXPECT_EQ(asked, 0);
    }
    {
        CQorsDoc doc;
        ASSERT_TRUE(doc.Files().OnOpenDocument(workbook(QStringLiteral("TwoSheets"), 2)));
        EXPECT_EQ(asked, 1);
        double v = 0;
        EXPECT_TRUE(doc.GetNumCellValue(0, 0, &v));
        EXPECT_DOUBLE_EQ(v, 20);  // the second sheet alone
    }
    // Cancelling the choice opens nothing.
    CQorDialog::SetModalHook([](CQorDialog& d) { d.reject(); });
    CQorsDoc doc;
    EXPECT_FALSE(doc.Files().OnOpenDocument(workbook(QStringLiteral("Cancelled"), 2)));
    EXPECT_FALSE(doc.IsOpen());
}

// The SQL wizard and the read-database dialog over a dictionary kept in the
// host database, on SQLite and on PostgreSQL: what a user picks becomes a
// GETRECORD statement or INDBSQL arguments that read the same values on
// each backend.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "dialogs/readdata_dlgs.h"
#include "dialogs/sqlwizard_dlgs.h"
#include "engine/messages.h"
#include "engine/recordfill.h"
#include "exchange/dbreaders.h"
#include "exchange/recordquery.h"
#include "reader/cqordb.h"
#include "tests/db/dbfixture.h"
#include "tests/document/doc_fixture.h"

using qordbtest::Backend;

namespace {

struct Answers {
    explicit Answers(std::function<void(CQorDialog&)> fn)
        : previous(CQorDialog::SetModalHook(std::move(fn))) {}
    ~Answers() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

// The dialogs read the login database's dictionary.
struct ServerDictionary {
    ServerDictionary() : previous(qor::SetDictionaryFactory([] { return std::make_unique<CQorDB>(); })) {}
    ~ServerDictionary() { qor::SetDictionaryFactory(previous); }
    qor::DictionaryFactory previous;
};

void press(CQorDialog& d, int id) {
    auto* b = qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
    ASSERT_NE(b, nullptr) << id;
    b->click();
}

QTreeWidget* tree(CQorDialog& d, int id) { return qobject_cast<QTreeWidget*>(d.GetDlgItem(id)); }

void doubleClick(QTreeWidget* t, const QString& text) {
    const auto items = t->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(items.isEmpty()) << text.toStdString();
    t->setCurrentItem(items.front());
    emit t->itemDoubleClicked(items.front(), 0);
}

using DbDialogs = qordbtest::HostDbTest;

}  // namespace

// Grouped sums over a mixed-case table picked by its Chinese definitions.
TEST_P(DbDialogs, SqlWizardStatementRunsAsGetRecord) {
    ServerDictionary dictionary;
    doctest::UiRecorder ui;
    CSqlWizardDlg dlg;
    Answers answers([&](CQorDialog& d) {
        using W = CSqlWizardDlg;
        QTreeWidget* t = tree(d, W::IDC_TREE);
        ASSERT_EQ(t->topLevelItemCount(), 1);  // one system: 总账
        doubleClick(t, "科目余额表");
        ASSERT_EQ(tree(d, W::IDC_FIELDS)->topLevelItemCount(), 2);
        press(d, W::IDC_ADD_ALL);
        auto& w = static_cast<W&>(d);
        w.SetMarks(0, LoadErrorText(qor::str::kAscending), LoadErrorText(qor::str::kSummarise));
        w.SetMarks(1, LoadErrorText(qor::str::kNoSort), LoadErrorText(qor::str::kComputeTotal));
        qobject_cast<QLineEdit*>(d.GetDlgItem(W::IDC_AREA))->setText("B2");
        press(d, W::IDC_OK);
    });
    ASSERT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("|").toStdString();
    ASSERT_TRUE(dlg.m_strSql.contains("[科目余额表].[借方]")) << dlg.m_strSql.toStdString();

    QString error;
    ASSERT_EQ(BuildCellRangeXml(dlg.m_strSql, "B2", dlg.m_strLimit.toInt(), "1", 1, &error), 1)
        << error.toStdString() << " " << dlg.m_strSql.toStdString();
    const auto& r = qor::RecordFillQueue::instance().Requests().back();
    QStringList cells;
    for (int i = 0; i < r.cells->CellCount(); ++i) cells.append(r.cells->CellText(i));
    EXPECT_EQ(cells, (QStringList{"1001", "100201", "10", "0.5"}));
}

// The read-database dialog's bracketed picks read through INDBSQL.
TEST_P(DbDialogs, ReadDatabaseDialogPicksReadThroughIndbsql) {
    ServerDictionary dictionary;
    doctest::UiRecorder ui;
    CReadDbDataDlg dlg;
    dlg.SetApp(app_.get());
    Answers answers([&](CQorDialog& d) {
        using D = CReadDbDataDlg;
        auto combo = [&](int id) { return qobject_cast<QComboBox*>(d.GetDlgItem(id)); };
        ASSERT_EQ(combo(D::IDC_ACCOUNT_SET)->count(), 1);
        combo(D::IDC_CATEGORY)->setCurrentText("总账");
        combo(D::IDC_TABLE)->setCurrentText("凭证表");
        ASSERT_EQ(combo(D::IDC_FIELD)->count(), 3);
        combo(D::IDC_FIELD)->setCurrentText("金额");
        qobject_cast<QLineEdit*>(d.GetDlgItem(D::IDC_RECORD))->setText("2");
        press(d, CQorDialog::IDOK);
    });
    ASSERT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("|").toStdString();
    EXPECT_EQ(dlg.m_strTable, "[凭证表]");
    EXPECT_EQ(dlg.m_strField, "[金额]");

    qor::cmd::DatabaseRequest request;
    request.hostDatabase = true;
    request.file = "001xxx20030101";
    request.table = dlg.m_strTable;
    request.field = dlg.m_strField;
    request.record = dlg.m_strRecord.toInt();
    EXPECT_EQ(qor::ReadDatabaseForFormula(request).asNumber(), 20);
    request.condition = "[摘要] like \"房租%\"";
    EXPECT_EQ(qor::ReadDatabaseForFormula(request).asNumber(), -3.25);
}

INSTANTIATE_TEST_SUITE_P(Db, DbDialogs, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         qordbtest::BackendName);

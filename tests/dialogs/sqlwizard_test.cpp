// The SQL wizard and its condition wizard: the statement built from the
// selected fields, the entry checks, the undo history, and both dialogs
// over a dictionary in a temporary SQLite file.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>

#include "dialogs/cfuncwizarddlg.h"
#include "dialogs/readdata_dlgs.h"
#include "reader/creaderapp.h"
#include "dialogs/sqlwizard_dlgs.h"
#include "dialogs/sqlwizard_logic.h"
#include "engine/messages.h"
#include "reader/cadoexception.h"
#include "reader/cqordb.h"
#include "tests/common/testsupport.h"
#include "tests/document/doc_fixture.h"
#include "tests/reader/dictionaryfixture.h"

using namespace qor;

namespace {

struct Answers {
    explicit Answers(std::function<void(CQorDialog&)> fn)
        : previous(CQorDialog::SetModalHook(std::move(fn))) {}
    ~Answers() { CQorDialog::SetModalHook(previous); }
    CQorDialog::ModalHook previous;
};

struct Dictionary {
    explicit Dictionary(DictionaryFactory f) : previous(SetDictionaryFactory(std::move(f))) {}
    ~Dictionary() { SetDictionaryFactory(previous); }
    DictionaryFactory previous;
};

// A dictionary file made for the test, as the reader tests make it.
QString makeDictionary(const char* name) {
    const QString dir = qortest::freshDir(QString("sqlwiz-") + name);
    const QString path = dir + "/dict.db";
    qortest::makeDatabase(path, qortest::kDictionary);
    return "DRIVER=QSQLITE;DATABASE=" + path;
}

SqlFieldRow row(const char* t, const char* f, int sort = kSortNone, int summary = kSummaryNone) {
    SqlFieldRow r;
    r.tableDef = t;
    r.fieldDef = f;
    r.sort = sort;
    r.summary = summary;
    return r;
}

void press(CQorDialog& d, int id) {
    auto* b = qobject_cast<QAbstractButton*>(d.GetDlgItem(id));
    ASSERT_NE(b, nullptr) << id;
    b->click();
}

QTreeWidget* tree(CQorDialog& d, int id) { return qobject_cast<QTreeWidget*>(d.GetDlgItem(id)); }

// The item of a text anywhere in the tree.
QTreeWidgetItem* find(QTreeWidget* t, const QString& text) {
    const auto items = t->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return items.isEmpty() ? nullptr : items.front();
}

void doubleClick(QTreeWidget* t, QTreeWidgetItem* item) {
    ASSERT_NE(item, nullptr);
    t->setCurrentItem(item);
    emit t->itemDoubleClicked(item, 0);
}

}  // namespace

TEST(SqlWizardLogic, StatementShapes) {
    EXPECT_EQ(BuildGetRecordSql({row("T", "F", kSortDescending, kSummaryTotal)}, false, ""),
              "Select Sum([T].[F]) From [T]  Order by [T].[F] DESC");
    EXPECT_EQ(BuildGetRecordSql({}, false, "Where A>1"), "Select  From  Where A>1");
    EXPECT_EQ(BuildGetRecordSql({row("T", "A", kSortAscending), row("T", "B", kSortAscending)},
                                true, ""),
              "Select Distinct [T].[A],[T].[B] From [T]  Order by [T].[A],[T].[B]");
    EXPECT_EQ(BuildGetRecordSql({row("T", "K", kSortNone, kSummaryGroup),
                                 row("U", "V", kSortNone, kSummaryTotal)},
                                false, "Where 1=1"),
              "Select [T].[K],Sum([U].[V]) From [T],[U] Where 1=1 Group by [T].[K]");
    // Every table enters the from list, not only the first ten.
    QList<SqlFieldRow> many;
    for (int i = 0; i < 12; ++i) many << row(qPrintable(QString("T%1").arg(i)), "F");
    EXPECT_TRUE(BuildGetRecordSql(many, false, "").contains("[T10],[T11] "));

    EXPECT_EQ(TableRunsBySystem({{"01", "a"}, {"01", "b"}, {"02", "c"}, {"x", "d"}, {"X", "e"}}),
              (QList<QStringList>{{"a", "b"}, {"c"}, {"d", "e"}}));
}

TEST(SqlWizardLogic, EntryChecks) {
    auto check = [](const char* limit, bool horizontal, const char* area,
                    QList<SqlFieldRow> rows = {}) {
        QString out = "untouched";
        const ArgCheck c = CheckSqlWizard(limit, horizontal, area, rows, &out);
        return c.ok() ? out : QString::number(c.messageId);
    };
    EXPECT_EQ(check("", true, ""), "9999");
    EXPECT_EQ(check("", false, ""), "255");
    EXPECT_EQ(check("9999", true, ""), "9999");
    EXPECT_EQ(check("10000", true, ""), "62257");
    EXPECT_EQ(check("255", false, ""), "255");
    EXPECT_EQ(check("256", false, ""), "62258");
    EXPECT_EQ(check("0", true, ""), "62256");
    EXPECT_EQ(check("00", true, ""), "62256");
    EXPECT_EQ(check("0012", false, ""), "12");
    EXPECT_EQ(check("99999999999999999999", true, ""), "62257");
    EXPECT_EQ(check("10", true, "C1:D12"), "10");
    EXPECT_EQ(check("10", true, "C1:"), "62259");

    const SqlFieldRow group = row("T", "A", kSortNone, kSummaryGroup);
    const SqlFieldRow total = row("T", "B", kSortNone, kSummaryTotal);
    const SqlFieldRow none = row("T", "C");
    EXPECT_EQ(check("1", true, "", {group, none}), "62260");
    EXPECT_EQ(check("1", true, "", {total, none}), "62261");
    EXPECT_EQ(check("1", true, "", {group, total}), "1");
    EXPECT_EQ(check("1", true, "", {total, total}), "1");
}

TEST(ConditionHistory, UndoRedoAndTheFiftyStateLimit) {
    ConditionHistory h;
    h.Start("open");
    // Typing, then an operator: the typed text is a state of its own.
    h.Record("A1");
    h.Push("A1 > ");
    EXPECT_TRUE(h.CanUndo());
    EXPECT_EQ(h.Undo("A1 > "), "A1");
    EXPECT_TRUE(h.CanRedo());
    EXPECT_EQ(h.Undo("A1"), "open");
    EXPECT_FALSE(h.CanUndo());
    EXPECT_EQ(h.Redo(), "A1");
    EXPECT_EQ(h.Redo(), "A1 > ");
    EXPECT_FALSE(h.CanRedo());

    // An edit after undo drops what redo could have reached.
    EXPECT_EQ(h.Undo("A1 > "), "A1");
    h.Record("A1");
    h.Push("A1 = ");
    EXPECT_FALSE(h.CanRedo());
    EXPECT_EQ(h.Count(), 2);

    // A full history drops its oldest state into the base text.
    ConditionHistory full;
    full.Start("");
    for (int i = 1; i <= 51; ++i) full.Push(QString::number(i));
    EXPECT_EQ(full.Count(), 50);
    EXPECT_EQ(full.Base(), "1");
    QString text = "51";
    for (int i = 0; i < 49; ++i) text = full.Undo(text);
    EXPECT_EQ(text, "2");
    EXPECT_EQ(full.Undo(text), "1");
    EXPECT_FALSE(full.CanUndo());
}

TEST(SqlWizardDlg, BuildsAQueryFromTheDictionary) {
    const QString db = makeDictionary("query");
    Dictionary dict([db] { return std::make_unique<CQorDB>(db); });
    doctest::UiRecorder ui;
    CSqlWizardDlg dlg;
    Answers answers([&](CQorDialog& d) {
        if (d.TemplateId() == CCondExprWizardDlg::IDD) {
            QTreeWidget* t = tree(d, CCondExprWizardDlg::IDC_TREE);
            doubleClick(t, find(t, "科目余额表"));
            QTreeWidget* fields = tree(d, CCondExprWizardDlg::IDC_FIELDS);
            doubleClick(fields, find(fields, "借方"));
            press(d, 1251);  // >
            auto* text = qobject_cast<QPlainTextEdit*>(d.GetDlgItem(CCondExprWizardDlg::IDC_TEXT));
            text->setPlainText(text->toPlainText() + "0");
            press(d, CCondExprWizardDlg::IDC_UNDO);
            EXPECT_EQ(text->toPlainText(), " [科目余额表].[借方]  > ");
            text->setPlainText(text->toPlainText() + "100");
            press(d, CCondExprWizardDlg::IDC_OK);
            return;
        }
        QTreeWidget* t = tree(d, CSqlWizardDlg::IDC_TREE);
        ASSERT_EQ(t->topLevelItemCount(), 2);
        EXPECT_EQ(t->topLevelItem(0)->text(0), "总账");
        EXPECT_EQ(t->topLevelItem(1)->childCount(), 2);
        QTreeWidget* fields = tree(d, CSqlWizardDlg::IDC_FIELDS);
        doubleClick(t, t->topLevelItem(0));  // a system opens nothing
        EXPECT_EQ(fields->topLevelItemCount(), 0);
        doubleClick(t, find(t, "科目余额表"));
        ASSERT_EQ(fields->topLevelItemCount(), 3);
        EXPECT_EQ(fields->topLevelItem(0)->text(0), "科目编码");  // field-id order
        press(d, CSqlWizardDlg::IDC_ADD_ALL);
        QTreeWidget* selected = tree(d, CSqlWizardDlg::IDC_SELECTED);
        ASSERT_EQ(selected->topLevelItemCount(), 3);
        EXPECT_EQ(selected->topLevelItem(2)->text(2), "md");
        selected->topLevelItem(1)->setSelected(true);
        press(d, CSqlWizardDlg::IDC_REMOVE);
        auto& w = static_cast<CSqlWizardDlg&>(d);
        w.SetMarks(0, LoadErrorText(qor::str::kAscending), LoadErrorText(qor::str::kSummarise));
        w.SetMarks(1, LoadErrorText(qor::str::kNoSort), LoadErrorText(qor::str::kComputeTotal));
        press(d, CSqlWizardDlg::IDC_WIZARD);
        qobject_cast<QComboBox*>(d.GetDlgItem(CSqlWizardDlg::IDC_FORMAT))->setCurrentIndex(1);
        press(d, CSqlWizardDlg::IDC_OK);
    });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join("|").toStdString();
    EXPECT_EQ(dlg.m_strSql,
              "Select [科目余额表].[科目编码],Sum([科目余额表].[借方]) From [科目余额表] Where  "
              "[科目余额表].[借方]  > 100 Group by [科目余额表].[科目编码] Order by "
              "[科目余额表].[科目编码]");
    EXPECT_EQ(dlg.m_strHorizontal, "0");
    EXPECT_EQ(dlg.m_strLimit, "255");
    ASSERT_EQ(dlg.m_nameList.size(), 2);
    EXPECT_EQ(dlg.m_nameList.FindName("借方"), "md");
    EXPECT_EQ(dlg.m_nameList.FindName("科目余额表"), "gl_accsum");

    // The next run opens with an empty selection and the last entries.
    Answers again([&](CQorDialog& d) {
        EXPECT_EQ(tree(d, CSqlWizardDlg::IDC_SELECTED)->topLevelItemCount(), 0);
        EXPECT_EQ(qobject_cast<QLineEdit*>(d.GetDlgItem(CSqlWizardDlg::IDC_LIMIT))->text(), "255");
        press(d, CQorDialog::IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDCANCEL);
}

TEST(SqlWizardDlg, DictionaryFailuresAreToldAndTheDialogStays) {
    doctest::UiRecorder ui;
    // A fresh install: no dictionary configured at all.
    {
        CSqlWizardDlg dlg;
        Answers answers([&](CQorDialog& d) {
            EXPECT_EQ(tree(d, CSqlWizardDlg::IDC_TREE)->topLevelItemCount(), 0);
            press(d, CQorDialog::IDCANCEL);
        });
        EXPECT_EQ(dlg.DoModal(), CQorDialog::IDCANCEL);
        ASSERT_EQ(ui.messages.size(), 1);
        EXPECT_TRUE(ui.messages[0].startsWith(LoadErrorText(qor::str::kBusinessDatabaseProblem)));
    }
    // A dictionary that fails after the first run.
    const QString db = makeDictionary("failing");
    bool broken = false;
    Dictionary dict([db] { return std::make_unique<CQorDB>(db); });
    ui.messages.clear();
    CCondExprWizardDlg cond;
    Answers answers([&](CQorDialog& d) {
        if (d.TemplateId() == CSqlWizardDlg::IDD) {
            EXPECT_EQ(tree(d, CSqlWizardDlg::IDC_TREE)->topLevelItemCount(), 0);
            press(d, CQorDialog::IDCANCEL);
            return;
        }
        QTreeWidget* t = tree(d, CCondExprWizardDlg::IDC_TREE);
        ASSERT_EQ(t->topLevelItemCount(), 2);
        broken = true;
        SetDictionaryFactory([]() -> std::unique_ptr<CQorDB> {
            throw CAdoException("dictionary gone");
        });
        // The tree's record set stays; a new run fails at once and says so.
        CSqlWizardDlg inner;
        EXPECT_EQ(inner.DoModal(), CQorDialog::IDCANCEL);
        press(d, CCondExprWizardDlg::IDC_OK);
    });
    EXPECT_EQ(cond.DoModal(), CQorDialog::IDOK);
    EXPECT_TRUE(broken);
    EXPECT_EQ(cond.m_strResult, "Where ");
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains("dictionary gone"));
}

TEST(SqlWizardDlg, GetRecordThroughTheFunctionWizard) {
    const QString db = makeDictionary("getrecord");
    Dictionary dict([db] { return std::make_unique<CQorDB>(db); });
    doctest::UiRecorder ui;
    CFuncWizardDlg wizard;
    Answers answers([&](CQorDialog& d) {
        if (d.TemplateId() == CFuncWizardDlg::IDD) {
            auto& w = static_cast<CFuncWizardDlg&>(d);
            const int line =
                int(w.Model().CategoryTexts().indexOf(LoadErrorText(qor::str::kDatabaseFunctions)));
            auto* cats = qobject_cast<QListWidget*>(d.GetDlgItem(CFuncWizardDlg::IDC_CATEGORIES));
            cats->setCurrentRow(line);
            qobject_cast<QListWidget*>(d.GetDlgItem(CFuncWizardDlg::IDC_FUNCTIONS))
                ->setCurrentRow(2);
            press(d, CFuncWizardDlg::IDC_NEXT);
            return;
        }
        ASSERT_EQ(d.TemplateId(), CSqlWizardDlg::IDD);
        QTreeWidget* t = tree(d, CSqlWizardDlg::IDC_TREE);
        doubleClick(t, find(t, "工资数据"));
        QTreeWidget* fields = tree(d, CSqlWizardDlg::IDC_FIELDS);
        doubleClick(fields, find(fields, "it's"));
        qobject_cast<QComboBox*>(d.GetDlgItem(CSqlWizardDlg::IDC_FORMAT))->setCurrentIndex(0);
        qobject_cast<QLineEdit*>(d.GetDlgItem(CSqlWizardDlg::IDC_AREA))->setText("C1:D12");
        press(d, CSqlWizardDlg::IDC_OK);
    });
    EXPECT_EQ(wizard.DoModal(), CQorDialog::IDOK);
    EXPECT_EQ(wizard.Outcome(CQorDialog::IDOK).callText,
              " GETRECORD(\"Select [工资数据].[it's] From [工资数据] \",\"C1:D12\",1,9999)");
}

TEST(ReadDbDataDlg, PicksFromTheDictionaryAndBracketsTheResult) {
    const QString db = makeDictionary("readdb");
    Dictionary dict([db] { return std::make_unique<CQorDB>(db); });
    doctest::UiRecorder ui;
    CReaderApp app;
    app.AddAccountSet("001", 2025);
    app.AddAccountSet("002", 2026);
    CReadDbDataDlg dlg;
    dlg.SetApp(&app);
    Answers answers([&](CQorDialog& d) {
        auto combo = [&](int id) { return qobject_cast<QComboBox*>(d.GetDlgItem(id)); };
        EXPECT_EQ(combo(CReadDbDataDlg::IDC_ACCOUNT_SET)->itemText(0), "002帐套2026年度");
        EXPECT_EQ(combo(CReadDbDataDlg::IDC_CATEGORY)->count(), 2);
        combo(CReadDbDataDlg::IDC_CATEGORY)->setCurrentText("工资");
        QComboBox* table = combo(CReadDbDataDlg::IDC_TABLE);
        ASSERT_EQ(table->count(), 2);
        press(d, CQorDialog::IDOK);  // no table
        table->setCurrentText("工资数据");
        press(d, CQorDialog::IDOK);  // no field
        ASSERT_EQ(combo(CReadDbDataDlg::IDC_FIELD)->count(), 1);
        combo(CReadDbDataDlg::IDC_FIELD)->setCurrentIndex(0);
        qobject_cast<QLineEdit*>(d.GetDlgItem(CReadDbDataDlg::IDC_RECORD))->setText("3");
        press(d, CQorDialog::IDOK);
    });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDOK);
    EXPECT_EQ(ui.messages, (QStringList{LoadErrorText(qor::str::kChooseTable),
                                        LoadErrorText(qor::str::kChooseField)}));
    EXPECT_EQ(dlg.m_strAccountSet, "002帐套2026年度");
    EXPECT_EQ(dlg.m_strTable, "[工资数据]");
    EXPECT_EQ(dlg.m_strField, "[it's]");
    EXPECT_EQ(dlg.m_strRecord, "3");
    EXPECT_EQ(app.m_tableDefs.FindName("工资数据"), "wa_data");
    EXPECT_EQ(app.m_fieldDefs.FindName("it's"), "f'x");

    // No account set and a dictionary that cannot be opened: told, and
    // the dialog still answers.
    app.RemoveAllAccountSets();
    SetDictionaryFactory([]() -> std::unique_ptr<CQorDB> { throw CAdoException("no dictionary"); });
    ui.messages.clear();
    CQorDialog::SetModalHook([&](CQorDialog& d) { press(d, CQorDialog::IDCANCEL); });
    EXPECT_EQ(dlg.DoModal(), CQorDialog::IDCANCEL);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages[0].contains("no dictionary"));
}

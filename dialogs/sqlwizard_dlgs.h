#pragma once
// The SQL wizard of GETRECORD and its condition wizard, over the report
// data dictionary. Both list the dictionary's systems with their tables;
// opening a table (a double click on a leaf) lists its fields.
//
// Every dictionary access may fail (no dictionary configured, a broken
// database): the failure is shown with its reason and the dialog stays,
// so the user can cancel.

#include <QStringList>
#include <functional>
#include <memory>

#include "dialogs/cimagetreectrl.h"
#include "dialogs/cqordialog.h"
#include "dialogs/sqlwizard_logic.h"
#include "reader/cnamedeflist.h"

class CQorDB;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace qor {

// Makes the dictionary record set the wizards read; the default opens
// the configured dictionary. May throw.
using DictionaryFactory = std::function<std::unique_ptr<CQorDB>()>;
// Returns the factory installed before; an empty one restores the default.
DictionaryFactory SetDictionaryFactory(DictionaryFactory factory);
// A dictionary record set from the installed factory. Throws.
std::unique_ptr<CQorDB> MakeDictionary();

}  // namespace qor

// The systems-and-tables tree and the field list both wizards share.
class CDictionaryBrowser {
public:
    CDictionaryBrowser();
    ~CDictionaryBrowser();
    CDictionaryBrowser(const CDictionaryBrowser&) = delete;
    CDictionaryBrowser& operator=(const CDictionaryBrowser&) = delete;

    // Fills the tree: systems as roots with the closed folder, their
    // tables as leaves with the table pictures. False after a failure
    // (shown).
    bool FillTree(CImageTreeCtrl* tree);
    // Lists the fields of the table of a double-clicked leaf's definition
    // text into a three-column list (definition, name, table definition);
    // the table's name, or a null string after a failure (shown) or when
    // the double click did not hit a table.
    QString OpenTable(const CImageTreeCtrl* tree, QTreeWidgetItem* item, QTreeWidget* fieldList);

private:
    CQorDB& Dictionary();
    std::unique_ptr<CQorDB> m_db;
};

class CCondExprWizardDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 534, IDC_TREE = 1235, IDC_FIELDS = 1259, IDC_TEXT = 1258,
                         IDC_ADVANCED = 1262, IDC_OK = 1242, IDC_UNDO = 1245, IDC_REDO = 1260;

    explicit CCondExprWizardDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strText;
    bool m_bAdvanced = false;
    QString m_strResult;
    CNameDefList m_nameList;

public slots:
    void OnOK() override;
    void OnOperator(const QString& text);
    void OnUndo();
    void OnRedo();
    void OnTreeDoubleClicked(QTreeWidgetItem* item);
    void OnFieldDoubleClicked(QTreeWidgetItem* item);

private:
    void Apply(const QString& text);
    void ShowButtons();

    CDictionaryBrowser m_browser;
    qor::ConditionHistory m_history;
    CImageTreeCtrl* m_tree = nullptr;
    QTreeWidget* m_fields = nullptr;
    QPlainTextEdit* m_text = nullptr;
    QCheckBox* m_advanced = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_redo = nullptr;
};

class CSqlWizardDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 530, IDC_TREE = 1235, IDC_FIELDS = 1239, IDC_SELECTED = 1240,
                         IDC_DISTINCT = 1238, IDC_CONDITION = 1258, IDC_LIMIT = 1263,
                         IDC_AREA = 1264, IDC_FORMAT = 1265, IDC_ADD = 1007, IDC_ADD_ALL = 1266,
                         IDC_REMOVE = 1267, IDC_REMOVE_ALL = 1268, IDC_WIZARD = 1234, IDC_OK = 1236;

    explicit CSqlWizardDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    bool m_bDistinct = false;
    QString m_strCondition;
    QString m_strFormat;
    QString m_strLimit;
    QString m_strDisplayArea;
    QString m_strSql;
    QString m_strHorizontal;
    QString m_strWizardText;
    CNameDefList m_nameList;

    // The rows of the selected-field list with their marks.
    QList<qor::SqlFieldRow> SelectedRows() const;
    // Sets the marks of a selected row by their texts.
    void SetMarks(int row, const QString& sort, const QString& summary);

public slots:
    void OnOK() override;
    void OnAdd();
    void OnAddAll();
    void OnRemove();
    void OnRemoveAll();
    void OnConditionWizard();
    void OnTreeDoubleClicked(QTreeWidgetItem* item);

private:
    void AddRow(QTreeWidgetItem* field);
    void ReadControls();
    void LoadControls();

    CDictionaryBrowser m_browser;
    CImageTreeCtrl* m_tree = nullptr;
    QTreeWidget* m_fields = nullptr;
    QTreeWidget* m_selected = nullptr;
    QCheckBox* m_distinct = nullptr;
    QLineEdit* m_condition = nullptr;
    QComboBox* m_format = nullptr;
    QLineEdit* m_limit = nullptr;
    QLineEdit* m_area = nullptr;
};

#pragma once
// The formula list (cell, audit or rounding formulas of a report, saved
// as a text or command file) and the audit-formula editor.

#include "dialogs/cqordialog.h"
#include "dialogs/formulalist_logic.h"
#include "document/cmd_dialogs.h"

class QListView;
class FormulaLinesModel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class CFormulaListDlg : public CQorDialog, public qor::FormulaListDlgMembers {
    Q_OBJECT

public:
    enum { IDD = 205 };
    enum {
        IDC_LIST = 1002,
        IDC_CELL = 1006,
        IDC_AUDIT = 1007,
        IDC_ROUNDING = 1008,
        IDC_SAVE = 1029
    };

    explicit CFormulaListDlg(QWidget* parent = nullptr);
    void SetDocument(CQorsDoc* doc) { document = doc; }

    bool OnInitDialog() override;
    // Shows the formulas of a type, asking the document again.
    void Fill(int type);
    void OnSave();

private:
    QListView* m_list = nullptr;
    FormulaLinesModel* m_model = nullptr;  // the formulas shown, as saved
    QRadioButton* m_types[3] = {};
    QPushButton* m_save = nullptr;
};

class CAuditFormulaDlg : public CQorDialog, public qor::AuditFormulaDlgMembers {
    Q_OBJECT

public:
    enum { IDD = 155 };
    enum { IDC_TEXT = 1000, IDC_IMPORT = 1183 };

    explicit CAuditFormulaDlg(QWidget* parent = nullptr);

    bool OnInitDialog() override;
    void OnOK() override;
    void OnImport();

private:
    QPlainTextEdit* m_edit = nullptr;
};

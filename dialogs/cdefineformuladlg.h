#pragma once
// The define-formula dialog: the target area and the formula text, with
// three helpers that write pieces of the text (function wizard, filter
// condition, relation condition). The caller writes the members, runs
// DoModal and, after IDOK, reads the formula text; storing it, and every
// check of the formula itself, is the caller's.

#include "dialogs/cqordialog.h"
#include <QHash>

#include "dialogs/cfuncwizarddlg.h"
#include "dialogs/defineformula_logic.h"
#include "dialogs/funcargdlgs.h"

class QLineEdit;

// The filter condition: one edit, at most 50 characters. "上一步" ends it
// with 1028; Cancel empties the condition.
class CFilterCondDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 152, IDC_CONDITION = 1000, IDC_PREVIOUS = 1028;

    explicit CFilterCondDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strCondition;

public slots:
    void OnOK() override;
    void OnCancel() override;
    void OnPrevious();


private:
    QLineEdit* m_condition = nullptr;
};

namespace qor {

// What the relation-condition dialog gives: the current keyword, the
// related report file and the related keyword.
struct RelationCondition {
    QString key;
    QString table;
    QString relatedKey;
};

// The helper dialogs as the define-formula dialog runs them: the dialogs
// are the define-formula dialog's own, so their entries survive between
// uses within one command. Tests may answer in their place.
class IFormulaHelperDialogs {
public:
    virtual ~IFormulaHelperDialogs() = default;
    virtual int RunFilterCond(CFilterCondDlg& dlg) { return dlg.DoModal(); }
    // IDOK with state filled, or another result with state as it was.
    virtual int RunRelationCond(CRelationCondDlg& dlg, RelationCondition& state) {
        const int r = dlg.DoModal();
        if (r == kIdOk) state = {dlg.m_strKey, dlg.m_strTable, dlg.m_strRelatedKey};
        return r;
    }
    virtual FuncWizardOutcome RunFuncWizard(CFuncWizardDlg& dlg) {
        return dlg.Outcome(dlg.DoModal());
    }
};

// The helpers every define-formula dialog uses unless given its own.
IFormulaHelperDialogs& FormulaHelperDialogs();

}  // namespace qor

class CDefineFormulaDlg : public CQorDialog, public qor::DefineFormulaDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 151, IDC_FORMULA = 1000, IDC_AREA = 1004, IDC_FILTER = 1028,
                         IDC_RELATION = 1029, IDC_FUNC_WIZARD = 1030;

    explicit CDefineFormulaDlg(QWidget* parent = nullptr);
    // Fills the edits from the members, then runs modally: IDOK or IDCANCEL.
    bool OnInitDialog() override;

    // Null: the installed helpers.
    void SetHelperDialogs(qor::IFormulaHelperDialogs* helpers) { m_helpers = helpers; }
    CFuncWizardDlg& FuncWizardDlg() { return m_wizardDlg; }

public slots:
    void OnFilter();
    void OnRelation();
    void OnFuncWizard();
    void OnOK() override;
    void OnCancel() override;


private:
    qor::IFormulaHelperDialogs& Helpers();
    // Sets the formula edit without losing text beyond the edit's limit:
    // an over-long formula is refused on OK, never cut short silently.
    void SetFormulaText(const QString& text);

    QLineEdit* m_formula = nullptr;
    QLineEdit* m_area = nullptr;
    CFuncWizardDlg m_wizardDlg;
    CFilterCondDlg m_filterDlg;
    CRelationCondDlg m_relationDlg;
    qor::IFormulaHelperDialogs* m_helpers = nullptr;
};

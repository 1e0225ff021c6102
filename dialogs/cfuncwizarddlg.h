#pragma once
// The function wizard: a category list, the functions of the chosen
// category and the argument dialog of the chosen function. It writes no
// text itself; the define-formula dialog builds the call from State() and
// Fields() after IDOK.
//
// Results: IDOK (an argument dialog was confirmed), 888 (a function
// without arguments), IDCANCEL (the wizard or an argument dialog was
// cancelled), 1028 ("上一步").

#include <map>
#include <memory>

#include "dialogs/cqordialog.h"
#include "dialogs/defineformula_logic.h"
#include "dialogs/funcargdlgs.h"
#include "dialogs/funcwizard_logic.h"
#include "dialogs/readdata_dlgs.h"
#include "dialogs/sqlwizard_dlgs.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace qor {

// The application services the wizard lists. Every call may throw.
class IFuncServiceSource {
public:
    virtual ~IFuncServiceSource() = default;
    virtual QList<FuncWizardService> Services() = 0;
    virtual CServiceFuncItem FindItem(const QString& name) = 0;
    virtual QString ItemForm(const CServiceFuncItem& item) = 0;
    virtual QString ItemDescription(const CServiceFuncItem& item) = 0;
    virtual QString ItemConference(const CServiceFuncItem& item) = 0;
};

// The services of the host's service list (logging in on first use).
IFuncServiceSource& HostServiceSource();
// The source every wizard uses unless given its own; null restores the
// host's. Returns the one installed before.
IFuncServiceSource* SetFuncServiceSource(IFuncServiceSource* source);

}  // namespace qor

class CFuncWizardDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 207, IDC_CATEGORIES = 1002, IDC_FUNCTIONS = 1003,
                         IDC_DESCRIPTION = 1109, IDC_PREVIOUS = 1028, IDC_NEXT = 1029;

    explicit CFuncWizardDlg(QWidget* parent = nullptr);
    ~CFuncWizardDlg() override;
    // Lists the services and the built-in categories; selects line 0.
    bool OnInitDialog() override;

    const qor::FuncWizardState& State() const { return m_model.State(); }
    const qor::FuncWizardModel& Model() const { return m_model; }
    // The fields of the argument dialog confirmed by the last IDOK.
    qor::FuncArgFields Fields() const;
    // What the define-formula dialog appends for a result.
    qor::FuncWizardOutcome Outcome(int result) const;

    // The argument dialog of a template, made on first use and kept; null
    // for a template that has no dialog here.
    CQorDialog* ArgumentDialog(int templateId);
    CAcctFuncDlg& AcctFuncDlg() { return m_acctFuncDlg; }

    QString m_strCategory;
    QString m_strFunction;

public slots:
    void OnSelectCategory();
    void OnSelectFunction();
    void OnFunctionDoubleClicked();
    void OnNext();
    void OnPrevious() { EndDialog(IDC_PREVIOUS); }
    void OnCancel() override;

private:
    void GoOn(bool doubleClick);
    // Fills the accounting-function dialog for the selected service line,
    // with the item's reference text as the call when takeReference and
    // the service is the host's accounting one. False when the service
    // could not be asked (a message was shown).
    bool PrepareAcctFunc(bool takeReference, bool* isAccounting);
    void ShowModel();
    void ShowSelections();
    bool Available(int step) const;
    void ShowError(const QString& reason);

    qor::FuncWizardModel m_model;
    int m_confirmed = 0;
    std::map<int, std::unique_ptr<CQorDialog>> m_argDlgs;
    CAcctFuncDlg m_acctFuncDlg;
    QListWidget* m_categories = nullptr;
    QListWidget* m_functions = nullptr;
    QLabel* m_description = nullptr;
    QLabel* m_functionHelp = nullptr;
    QPushButton* m_next = nullptr;
};

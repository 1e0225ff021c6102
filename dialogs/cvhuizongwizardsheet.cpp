#include "dialogs/cvhuizongwizardsheet.h"

#include <QComboBox>
#include <QLineEdit>

#include "dialogs/consol_logic.h"

using namespace qor::consol;

CVHuiZongWizardSheet::CVHuiZongWizardSheet(QWidget* parent) : WizardSheet(QString(), parent) {}

void CVHuiZongWizardSheet::AddWizardPages() {
    AddPage(new CVHuiZongWizardPage1(this));
    AddPage(new CVHuiZongWizardPage2(this));
}

CVHuiZongWizardPage1::CVHuiZongWizardPage1(CVHuiZongWizardSheet* sheet)
    : KeywordConditionPage(IDD, kIds, &sheet->keywordFlags, &sheet->values, &sheet->pageCondition,
                           /*storeOnBack=*/false, /*backEnabled=*/false) {}

CVHuiZongWizardPage2::CVHuiZongWizardPage2(CVHuiZongWizardSheet* sheet)
    : ConditionPage(IDD, kIds), m_members(sheet) {}

void CVHuiZongWizardPage2::OnInitDialog() {
    FillFirst(VarLineEntries(m_members->varKind, m_members->varExtent));
}

void CVHuiZongWizardPage2::OnSetActive() { Sheet()->SetWizardButtons(true, false); }

QString CVHuiZongWizardPage2::AppendTerm(const QString& condition) const {
    return AppendVarTerm(condition, m_members->varKind, FirstCombo()->currentText(),
                         OperatorCombo()->currentText(), ValueCombo()->currentText());
}

bool CVHuiZongWizardPage2::OnWizardFinish() {
    m_members->varCondition = ConditionOnLeave();
    ConditionEdit()->setText(m_members->varCondition);
    return true;
}

#include "dialogs/ctabhuizongwizardsheet.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/consol_logic.h"
#include "engine/messages.h"

using namespace qor::consol;

CTabHuiZongWizardSheet::CTabHuiZongWizardSheet(const QString& caption, QWidget* parent,
                                               int startPage)
    : WizardSheet(caption, parent, startPage) {}

void CTabHuiZongWizardSheet::AddWizardPages() {
    AddPage(new CTabHuiZongWizardPage1(this));
    AddPage(new CTabHuiZongWizardPage2(this));
    AddPage(new CTabHuiZongWizardPage3(this));
}

// ---- direction ----------------------------------------------------------

CTabHuiZongWizardPage1::CTabHuiZongWizardPage1(CTabHuiZongWizardSheet* sheet)
    : WizardPage(IDD), m_members(sheet) {
    m_toLast = new QRadioButton(ControlCaption(IDC_TO_LAST_PAGE), this);
    m_toNew = new QRadioButton(ControlCaption(IDC_TO_NEW_REPORT), this);
    m_name = new QLineEdit(this);
    AddControl(IDC_TO_LAST_PAGE, m_toLast);
    AddControl(IDC_TO_NEW_REPORT, m_toNew);
    AddControl(IDC_NEW_REPORT_NAME, m_name);

    auto* newRow = new QHBoxLayout;
    newRow->addWidget(m_toNew);
    newRow->addWidget(m_name, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_toLast);
    layout->addLayout(newRow);
    layout->addStretch(1);

    connect(m_toLast, &QRadioButton::clicked, this, &CTabHuiZongWizardPage1::OnToLastPage);
    connect(m_toNew, &QRadioButton::clicked, this, &CTabHuiZongWizardPage1::OnToNewReport);
}

void CTabHuiZongWizardPage1::OnInitDialog() {
    m_name->setText(m_members->newReportName);
    m_toLast->setChecked(true);
    OnToLastPage();
}

void CTabHuiZongWizardPage1::OnSetActive() { Sheet()->SetWizardButtons(false, true); }

void CTabHuiZongWizardPage1::OnToLastPage() {
    m_members->toNewReport = 0;
    m_name->setEnabled(false);
}

void CTabHuiZongWizardPage1::OnToNewReport() {
    m_members->toNewReport = 1;
    m_name->setEnabled(true);
}

bool CTabHuiZongWizardPage1::OnWizardNext() {
    const int refused = LeaveDirectionStep(m_members, m_name->isEnabled(), m_name->text());
    if (refused) {
        Refuse(refused);
        m_name->setFocus();
        return false;
    }
    return true;
}

bool CTabHuiZongWizardPage1::OnWizardFinish() { return OnWizardNext(); }

// ---- condition ----------------------------------------------------------

CTabHuiZongWizardPage2::CTabHuiZongWizardPage2(CTabHuiZongWizardSheet* sheet)
    : KeywordConditionPage(IDD, kIds, &sheet->keywordFlags, &sheet->values, &sheet->pageCondition,
                           /*storeOnBack=*/true, /*backEnabled=*/true) {}

// ---- position -----------------------------------------------------------

CTabHuiZongWizardPage3::CTabHuiZongWizardPage3(CTabHuiZongWizardSheet* sheet)
    : WizardPage(IDD), m_members(sheet) {
    m_byPosition = new QRadioButton(ControlCaption(IDC_BY_POSITION), this);
    m_byKey = new QRadioButton(ControlCaption(IDC_BY_KEY), this);
    m_key = new QComboBox(this);
    AddControl(IDC_BY_POSITION, m_byPosition);
    AddControl(IDC_BY_KEY, m_byKey);
    AddControl(IDC_KEY, m_key);

    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(m_byKey);
    keyRow->addWidget(m_key, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_byPosition);
    layout->addLayout(keyRow);
    layout->addStretch(1);

    connect(m_byPosition, &QRadioButton::clicked, this, &CTabHuiZongWizardPage3::OnByPosition);
    connect(m_byKey, &QRadioButton::clicked, this, &CTabHuiZongWizardPage3::OnByKey);
}

void CTabHuiZongWizardPage3::OnInitDialog() {
    m_members->byPosition = 1;
    m_byPosition->setChecked(true);
    m_key->clear();
    m_key->addItems(VarLineEntries(m_members->varKind, m_members->varExtent));
    // The key is the user's choice: none is made for them.
    m_key->setCurrentIndex(-1);
}

void CTabHuiZongWizardPage3::OnSetActive() { Sheet()->SetWizardButtons(true, false); }

void CTabHuiZongWizardPage3::OnByPosition() { m_members->byPosition = 1; }
void CTabHuiZongWizardPage3::OnByKey() { m_members->byPosition = 0; }

bool CTabHuiZongWizardPage3::leave() {
    const int refused = LeavePositionStep(m_members, m_key->currentText());
    if (refused) {
        Refuse(refused, qor::messageText(qor::str::kAppTitle, QString()));
        return false;
    }
    // Without a variable area the step went back to position: show it.
    if (m_members->byPosition == 1) m_byPosition->setChecked(true);
    return true;
}

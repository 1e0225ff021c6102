#pragma once
// The page consolidation wizard: where the sum goes (the last page of this
// report or a new report), which pages are summed (a condition over the
// keywords), and how lines meet (by position or by a key of the variable
// area). The caller presets the members, runs DoModal and, after
// ID_WIZFINISH, builds the TOTAL command from them.

#include "dialogs/consol_wizard.h"
#include "document/cmd_dialogs.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

class CTabHuiZongWizardSheet : public qor::consol::WizardSheet,
                               public qor::TabHuiZongWizardMembers {
    Q_OBJECT

public:
    CTabHuiZongWizardSheet(const QString& caption = QString(), QWidget* parent = nullptr,
                           int startPage = 0);
    // The three steps, in order.
    void AddWizardPages();
};

// Direction.
class CTabHuiZongWizardPage1 : public qor::consol::WizardPage {
    Q_OBJECT

public:
    static constexpr int IDD = 496, IDC_TO_LAST_PAGE = 1195, IDC_TO_NEW_REPORT = 1196,
                         IDC_NEW_REPORT_NAME = 1197;

    explicit CTabHuiZongWizardPage1(CTabHuiZongWizardSheet* sheet);

    void OnInitDialog() override;
    void OnSetActive() override;
    bool OnWizardNext() override;
    bool OnWizardFinish() override;

public slots:
    void OnToLastPage();
    void OnToNewReport();

private:
    CTabHuiZongWizardSheet* m_members;
    QRadioButton* m_toLast = nullptr;
    QRadioButton* m_toNew = nullptr;
    QLineEdit* m_name = nullptr;
};

// Condition.
class CTabHuiZongWizardPage2 : public qor::consol::KeywordConditionPage {
    Q_OBJECT

public:
    static constexpr int IDD = 497;
    static constexpr qor::consol::ConditionIds kIds{1198, 1199, 1200, 1201, 1202, 1204, 1203};

    explicit CTabHuiZongWizardPage2(CTabHuiZongWizardSheet* sheet);
};

// Position.
class CTabHuiZongWizardPage3 : public qor::consol::WizardPage {
    Q_OBJECT

public:
    static constexpr int IDD = 498, IDC_BY_POSITION = 1205, IDC_KEY = 1206, IDC_BY_KEY = 1207;

    explicit CTabHuiZongWizardPage3(CTabHuiZongWizardSheet* sheet);

    void OnInitDialog() override;
    void OnSetActive() override;
    bool OnWizardBack() override { return leave(); }
    bool OnWizardNext() override { return leave(); }
    bool OnWizardFinish() override { return leave(); }

public slots:
    void OnByPosition();
    void OnByKey();

private:
    bool leave();

    CTabHuiZongWizardSheet* m_members;
    QRadioButton* m_byPosition = nullptr;
    QRadioButton* m_byKey = nullptr;
    QComboBox* m_key = nullptr;
};

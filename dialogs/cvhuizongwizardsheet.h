#pragma once
// The variable-area consolidation wizard: which pages take part (a
// condition over the keywords) and which lines of their variable areas (a
// condition over the V_ names). The caller presets the members, runs
// DoModal and, after ID_WIZFINISH, builds the GTOTAL command from them.

#include "dialogs/consol_wizard.h"
#include "document/cmd_dialogs.h"

class CVHuiZongWizardSheet : public qor::consol::WizardSheet, public qor::VHuiZongWizardMembers {
    Q_OBJECT

public:
    explicit CVHuiZongWizardSheet(QWidget* parent = nullptr);
    // The two steps, in order.
    void AddWizardPages();
};

// Page condition.
class CVHuiZongWizardPage1 : public qor::consol::KeywordConditionPage {
    Q_OBJECT

public:
    static constexpr int IDD = 501;
    static constexpr qor::consol::ConditionIds kIds{1019, 1012, 1020, 1028, 1029, 1030, 1000};

    explicit CVHuiZongWizardPage1(CVHuiZongWizardSheet* sheet);
};

// Variable-area condition.
class CVHuiZongWizardPage2 : public qor::consol::ConditionPage {
    Q_OBJECT

public:
    static constexpr int IDD = 506;
    static constexpr qor::consol::ConditionIds kIds{1019, 1012, 1020, 1029, 1030, 1067, 1000};

    explicit CVHuiZongWizardPage2(CVHuiZongWizardSheet* sheet);

    void OnInitDialog() override;
    void OnSetActive() override;
    bool OnWizardFinish() override;

protected:
    QString AppendTerm(const QString& condition) const override;

private:
    CVHuiZongWizardSheet* m_members;
};

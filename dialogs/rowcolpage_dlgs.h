#pragma once
// The dialogs of the row, column and page commands: how many to insert or
// append, which to swap with which, which to delete, and the condition
// over the keywords that picks pages to delete. The caller writes the
// members, runs DoModal and reads them after IDOK.

#include "dialogs/cqordialog.h"
#include <QHash>

#include "document/cmd_dialogs.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

class CInsertCountDlg : public CQorDialog, public qor::InsertCountDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 182, IDC_COUNT = 1000, IDC_SPIN = 1001, IDC_LABEL = 1069;

    explicit CInsertCountDlg(QWidget* parent = nullptr);
    // Caption and label by mode; DoModal runs it.
    bool OnInitDialog() override;

public slots:
    // A count that is no whole number or lies outside 1 .. the mode's
    // maximum is refused naming the range; the dialog stays open.
    void OnOK() override;

private:
    int32_t countMaximum() const;

    QLabel* m_label = nullptr;
    QLineEdit* m_count = nullptr;
};

class CSwapDlg : public CQorDialog, public qor::SwapDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 183, IDC_SOURCE = 1000, IDC_TARGET = 1004;

    explicit CSwapDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;


private:
    QLabel* m_sourceLabel = nullptr;
    QLabel* m_targetLabel = nullptr;
    QLineEdit* m_source = nullptr;
    QLineEdit* m_target = nullptr;
};

// The condition step of the delete dialog: at most two keyword conditions
// joined by AND or OR.
class CDefineCondDlg : public CQorDialog, public qor::DefineCondDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 175, IDC_AND = 1006, IDC_OR = 1007, IDC_LEFT_KEYWORD = 1019,
                         IDC_LEFT_RELATION = 1012, IDC_LEFT_VALUE = 1020, IDC_RIGHT_KEYWORD = 1021,
                         IDC_RIGHT_RELATION = 1022, IDC_RIGHT_VALUE = 1023;

    explicit CDefineCondDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;
    void OnAnd();
    void OnOr();


private:
    void fillValues(QComboBox* keyword, QComboBox* value);
    void showJoint();

    QComboBox* m_combos[6] = {};
    QCheckBox* m_and = nullptr;
    QCheckBox* m_or = nullptr;
};

class CDeleteDlg : public CQorDialog, public qor::DeleteDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 184, IDC_LIST = 1000, IDC_CONDITION = 1004,
                         IDC_DEFINE_CONDITION = 1028;

    explicit CDeleteDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;
    // Runs the condition dialog (through the document's dialogs, so the
    // desktop's one or a test's answer) and appends what it builds.
    void OnDefineCondition();


private:
    QLabel* m_label = nullptr;
    QLineEdit* m_list = nullptr;
    QLineEdit* m_condition = nullptr;
};

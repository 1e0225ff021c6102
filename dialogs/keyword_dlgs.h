#pragma once
// The keyword, variable-area and rounding-balance dialogs of the Data
// menu. The caller writes the members, runs DoModal and reads them after
// IDOK.

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class CSetKeywordDlg : public CQorDialog, public qor::SetKeywordDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 149, IDC_CUSTOM = 1093, IDC_NAME = 1281, IDC_TYPE = 1282;

    explicit CSetKeywordDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    void enableCustom();

    QButtonGroup* m_kinds = nullptr;
    QComboBox* m_name = nullptr;
    QComboBox* m_type = nullptr;
};

class CCancelKeywordDlg : public CQorDialog, public qor::CancelKeywordDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 419;
    static constexpr int IDC_CHECKS[7] = {1001, 1076, 1077, 1078, 1112, 1113, 1079};

    explicit CCancelKeywordDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QCheckBox* m_checks[7] = {};
};

class CEnterKeywordDlg : public CQorDialog, public qor::EnterKeywordDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 200, IDC_YEAR = 1000, IDC_QUARTER = 1004, IDC_MONTH = 1036,
                         IDC_DAY = 1050, IDC_CUSTOM = 1053, IDC_UNIT_NAME = 1051,
                         IDC_UNIT_NUMBER = 1052;

    explicit CEnterKeywordDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_edits[7] = {};  // year, quarter, month, day, custom, unit name, unit number
};

class CKeywordOffsetDlg : public CQorDialog, public qor::KeywordOffsetDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 407;
    // Slot order: unit name, unit number, year, quarter, month, day, custom.
    static constexpr int IDC_EDITS[7] = {1000, 1004, 1036, 1050, 1051, 1052, 1053};
    static constexpr int IDC_SPINS[7] = {1057, 1056, 1112, 1061, 1058, 1059, 1060};

    explicit CKeywordOffsetDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_edits[7] = {};
};

class CResetVarAreaDlg : public CQorDialog, public qor::ResetVarAreaDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 393, IDC_SIZE = 1000, IDC_SPIN = 1057;

    explicit CResetVarAreaDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_size = nullptr;
};

class CRoundBalanceDlg : public CQorDialog, public qor::RoundBalanceDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 217, IDC_TABLE = 1000, IDC_RANGE = 1004, IDC_DIGITS = 1036,
                         IDC_FORMULA = 1050;

    explicit CRoundBalanceDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_table = nullptr;
    QLineEdit* m_range = nullptr;
    QLineEdit* m_digits = nullptr;
    QPlainTextEdit* m_formula = nullptr;
};

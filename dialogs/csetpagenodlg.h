#pragma once
// The sheet choice of a workbook being opened: every sheet, or one sheet
// by its number. The caller sets the members (the sheet count too), runs
// DoModal and reads them after IDOK.

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"

class QLineEdit;
class QRadioButton;

class CSetPageNoDlg : public CQorDialog, public qor::SetPageNoDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 538, IDC_SHEET = 1000, IDC_ALL = 1006, IDC_ONE = 1007,
                         IDC_ALL_TOO = 1009, IDC_OK = 1236;

    explicit CSetPageNoDlg(QWidget* parent = nullptr);
    // "全部打开" checked, every sheet, sheet 1.
    bool OnInitDialog() override;

public slots:
    // A number from 0 to the sheet count closes with IDOK (the import
    // reads 0 as the first sheet); any other is told (62745) and the
    // dialog stays.
    void OnOK() override;
    void OnAll();
    void OnOne();

private:
    QRadioButton* m_all = nullptr;
    QRadioButton* m_one = nullptr;
    QLineEdit* m_sheet = nullptr;
};

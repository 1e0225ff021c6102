#pragma once
// The locate, find and page-sort dialogs of the Edit menu. The caller
// writes the members, runs DoModal and reads them after IDOK; the find
// dialog runs its searches on its report itself and returns nothing.

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"

class CQorsDoc;
class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CLocateDlg : public CQorDialog, public qor::LocateDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 368, IDC_PAGE = 1000, IDC_ROW = 1004, IDC_COLUMN = 1036;

    explicit CLocateDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QLineEdit* m_page = nullptr;
    QLineEdit* m_row = nullptr;
    QLineEdit* m_column = nullptr;
};

class CFindDlg : public CQorDialog, public qor::FindDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 369, IDC_PAGES = 1006, IDC_VAR_AREA = 1007, IDC_AND = 1008,
                         IDC_OR = 1009, IDC_KEYWORD1 = 1019, IDC_KEYWORD2 = 1020, IDC_OP1 = 1012,
                         IDC_OP2 = 1021, IDC_VALUE1 = 1022, IDC_VALUE2 = 1023, IDC_NEXT = 1028;

    // Searches run on doc (which must outlive the dialog).
    explicit CFindDlg(CQorsDoc& doc, QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    // 查找: builds the line from the conditions and runs it; the dialog
    // stays open.
    void OnOK() override;
    void OnNext();
    void OnScope(int scope);
    void OnJoin(int clicked);

private:
    void fillKeywords();
    void fillValues(QComboBox* keyword, QComboBox* value);

    CQorsDoc& m_doc;
    QRadioButton* m_pages = nullptr;
    QRadioButton* m_varArea = nullptr;
    QRadioButton* m_and = nullptr;
    QRadioButton* m_or = nullptr;
    QComboBox* m_keyword[2] = {};
    QComboBox* m_op[2] = {};
    QComboBox* m_value[2] = {};
    QPushButton* m_next = nullptr;
};

class CPageSortDlg : public CQorDialog, public qor::PageSortDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 191;
    static constexpr int IDC_KEY_COMBOS[3] = {1019, 1012, 1020};
    static constexpr int IDC_KEY_EDITS[3] = {1000, 1004, 1036};
    static constexpr int IDC_FIRST_ORDER = 1006;  // .. 1011, ascending then descending

    explicit CPageSortDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QComboBox* m_combos[3] = {};
    QLineEdit* m_edits[3] = {};
    QButtonGroup* m_orders[3] = {};
};

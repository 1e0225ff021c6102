#pragma once
// The export settings dialog: before a report goes to the exchange file,
// what to write (data, format, formulas) and which pages. The caller sets
// m_pReport, runs DoModal and, after IDOK, reads the members; they are the
// ones the export takes (ExportSetMembers).

#include "dialogs/cqordialog.h"

#include "exchange/ownxml_settings.h"

class QCheckBox;
class QDialogButtonBox;
class QListWidget;
class QPushButton;

class CExportSetDlg : public CQorDialog, public qor::ExportSetMembers {
    Q_OBJECT

public:
    static constexpr int IDD = 536;
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2, IDC_PAGE_LIST = 1002, IDC_DATA = 1277, IDC_FORMAT = 1278,
                         IDC_FORMULA = 1279, IDC_ALL_PAGES = 1280;

    explicit CExportSetDlg(QWidget* parent = nullptr);

    // What DoModal does before the window shows: m_nPageCount becomes the
    // report's page count (kept as preset when there is no report), the
    // list gets one line per page with the pages of m_strPageList selected,
    // the check boxes show the flags, and the list is usable only without
    // "all pages".
    bool OnInitDialog() override;

    // true: controls to members; false: members to controls.
    bool UpdateData(bool saveAndValidate = true);

public slots:
    void OnAllPages();
    // Takes the choice into the members and closes with IDOK.
    void OnOK() override;

private:
    QListWidget* m_pageList = nullptr;
    QCheckBox* m_checkAll = nullptr;
    QCheckBox* m_checkData = nullptr;
    QCheckBox* m_checkFormat = nullptr;
    QCheckBox* m_checkFormula = nullptr;
    QPushButton* m_buttonOk = nullptr;
    QPushButton* m_buttonCancel = nullptr;
};

#pragma once
// "数据对应": ties the open report to one audit-office statement and shows,
// group by group, where each of the statement's fields lies in the report
// for the user to correct. Nothing is written until OK: the mapping is
// built and edited in memory, so Cancel, or switching statements, never
// touches a mapping file that is already there.

#include <QString>
#include <array>
#include <memory>

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"

class CReportHandle;
class CAuditIfaceDef;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class CAuditMappingDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int kTemplate = 542;
    static constexpr int IDC_STATEMENT = 1019, IDC_EXPORT_PATH = 1189, IDC_GROUP_BOX = 1284,
                         IDC_NEXT_GROUP = 1285, IDC_PREV_GROUP = 1286, IDC_FIRST_NAME = 1287,
                         IDC_FIRST_CELL = 1001;
    static constexpr int kShownFields = 10;

    CAuditMappingDlg(CReportHandle* report, QWidget* parent = nullptr);
    ~CAuditMappingDlg() override;

    bool OnInitDialog() override;

    int CurrentGroup() const { return m_nCurGroup; }
    int GroupCount() const { return m_nGroupCount; }
    const QString& Statement() const { return m_strStatement; }

public slots:
    void OnOK() override;
    void OnCancel() override;
    void OnStatementChosen();
    void OnNextGroup();
    void OnPrevGroup();

private:
    void loadOrBuild();
    void showGroup();
    void saveGroup();
    void updateGroupButtons();
    QString reportPath() const;

    CReportHandle* m_pReport = nullptr;
    std::unique_ptr<CAuditIfaceDef> m_pDef;
    QString m_strExportPath;
    QString m_strStatement;
    int m_nFieldCount = 0;
    int m_nGroupCount = 1;
    int m_nCurGroup = 0;

    QComboBox* m_combo = nullptr;
    QLineEdit* m_exportEdit = nullptr;
    QGroupBox* m_groupBox = nullptr;
    QPushButton* m_next = nullptr;
    QPushButton* m_prev = nullptr;
    std::array<QLabel*, kShownFields> m_names{};
    std::array<QLineEdit*, kShownFields> m_cells{};
};

namespace qor {

// The number of statements in the list, as the count command shows it.
void ShowAuditStatementCount();

// Registers the mapping dialog as the document's audit-mapping dialog,
// modal over parent: it maps the asking document's report and answers
// after OK.
void RegisterAuditDialogs(QWidget* parent);

}  // namespace qor

#pragma once
// The report text exchange dialogs: 报表导入 (the files an import
// description lists, and its field layout) and 导出报表 (the name of the
// text file to write).

#include <QStringList>

#include "dialogs/cqordialog.h"
#include "document/cmd_dialogs.h"
#include "document/doc_textexchange.h"

class QLabel;
class QLineEdit;
class QListWidget;

class CImportDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 30728, IDC_IMPORT = 1156, IDC_DESCRIPTION = 1157, IDC_PATH = 1158,
                         IDC_LIST = 1159;

    explicit CImportDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strIniPath;     // in: the description file
    QStringList m_names;      // in: the importable reports
    QStringList m_paths;      // in: their files, same order
    qor::ImportLayout m_layout;  // out
    QString m_strChosenPath;     // out

public slots:
    // 导入 and a double click: the layout read, the chosen file found.
    void OnImport();
    void OnOK() override { OnImport(); }

private:
    void showPath();
    QListWidget* m_list = nullptr;
    QLabel* m_path = nullptr;
    QLabel* m_description = nullptr;
};

class CExportDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 456, IDC_NAME = 1160;

    explicit CExportDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strFileName;   // in and out
    QString m_strTargetDir;  // in

public slots:
    void OnOK() override;

private:
    QLineEdit* m_name = nullptr;
};

namespace qor {

std::optional<ExportDlgMembers> RunExportDlg(const ExportDlgMembers& m, QWidget* parent);

// 导入 of the file menu: an import description chosen, its report list
// shown in CImportDlg, the chosen file read into a new report. Every
// failure is told; a new report is made only once a file was chosen.
void RunImportByIniCommand(QWidget* parent);

}  // namespace qor

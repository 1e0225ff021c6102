#pragma once
// The list of common batch commands (常用批命令) and the editor of one of
// its entries. The list dialog edits the profile as the user works and
// ends with IDOK and the chosen script's path.

#include "dialogs/batchcmd_logic.h"
#include "dialogs/cqordialog.h"

class QLineEdit;
class QListWidget;

class CBatchCmdSetupDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 482, IDC_NAME = 1000, IDC_PATH = 1004, IDC_BROWSE = 1028;
    static constexpr int kMaxName = 40;
    static constexpr int kMaxPath = 470;

    explicit CBatchCmdSetupDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strName;           // in and out; blanks at the end cut on OK
    QString m_strPath;           // in and out
    QStringList m_otherNames;    // the names of the other entries

public slots:
    void OnOK() override;
    void OnBrowse();

private:
    QLineEdit* m_name = nullptr;
    QLineEdit* m_path = nullptr;
};

class CBatchCmdDlg : public CQorDialog {
    Q_OBJECT

public:
    static constexpr int IDD = 481, IDC_LIST = 1002, IDC_ADD = 1191, IDC_DELETE = 1192,
                         IDC_MODIFY = 1193;

    explicit CBatchCmdDlg(qor::ProfileAccess profile, QWidget* parent = nullptr);
    bool OnInitDialog() override;

    QString m_strPath;  // out: the script to run

public slots:
    void OnOK() override;
    void OnAdd();
    void OnDelete();
    void OnModify();

private:
    void fill(int select);

    qor::BatchScriptList m_list;
    QVector<qor::BatchScript> m_entries;
    QListWidget* m_names = nullptr;
};

namespace qor {
// 常用批命令: the list dialog over the application profile; the chosen
// script runs when its path has 1 to 469 characters. A failure to run is
// told to the user.
void RunCommonBatchCommand(QWidget* parent);
// Runs a script file as the desktop runs every chosen script (常用批命令,
// 工具 › 执行, the file manager, the command window's batch): a failing
// line asks whether to go on; a failure nobody was asked about (a script
// that does not parse, a file that cannot be read) is told once under
// caption. Either way in Chinese, with each script and line and the reason.
// False when the script failed.
bool RunBatchScript(const QString& path, const QString& caption);
}  // namespace qor

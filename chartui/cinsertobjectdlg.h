#pragma once
// "插入对象": a file to embed in the page or to link to, shown as its
// picture or as an icon.

#include "dialogs/cqordialog.h"
#include "view/chartcmd_logic.h"

class QCheckBox;
class QLineEdit;

class CInsertObjectDlg : public CQorDialog, public qor::view::InsertObjectDlgMembers {
    Q_OBJECT

public:
    static constexpr int IDD = qor::view::kDlgInsertObject, IDC_FILE = 1000, IDC_BROWSE = 1001,
                         IDC_LINK = 1002, IDC_ICON = 1003;

    explicit CInsertObjectDlg(QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;
    void OnBrowse();

private:
    QLineEdit* m_file = nullptr;
    QCheckBox* m_link = nullptr;
    QCheckBox* m_icon = nullptr;
};

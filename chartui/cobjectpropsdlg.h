#pragma once
// "对象属性": an embedded or linked object's class and scale, and for a
// link its file with 立即更新 and 打开源.

#include "dialogs/cqordialog.h"
#include "view/objectprops_logic.h"

class QSpinBox;

class CObjectPropsDlg : public CQorDialog, public qor::view::ObjectPropsMembers {
    Q_OBJECT

public:
    static constexpr int IDC_SCALE = 1000, IDC_UPDATE_NOW = 1001, IDC_OPEN_SOURCE = 1002,
                         IDC_SOURCE = 1003;

    explicit CObjectPropsDlg(const qor::view::ObjectPropsMembers& members,
                             QWidget* parent = nullptr);
    bool OnInitDialog() override;

public slots:
    void OnOK() override;

private:
    QSpinBox* m_scale = nullptr;
};

// Makes the dialog the one the view's properties command runs for objects.
void InstallObjectPropsDlg(QWidget* parent);

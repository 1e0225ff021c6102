#pragma once
// Paste special: the clipboard's formats the sheet can paste, chosen as
// plain data or, for a format that can be linked, as a link.


#include "dialogs/cqordialog.h"
#include "view/clipcmd_logic.h"

class QListWidget;
class QRadioButton;

class CPasteSpecialDlg : public CQorDialog, public qor::clip::PasteSpecialMembers {
    Q_OBJECT

public:
    static constexpr int IDC_LIST = 1000, IDC_PASTE = 1001, IDC_PASTE_LINK = 1002;

    explicit CPasteSpecialDlg(QWidget* parent = nullptr);
    // The entries listed, the selected one current, "粘贴" checked.
    bool OnInitDialog() override;

public slots:
    void OnOK() override;
    // "粘贴链接" is offered only while a linkable entry is current.
    void OnSelectionChanged();

private:
    QListWidget* m_list = nullptr;
    QRadioButton* m_paste = nullptr;
    QRadioButton* m_link = nullptr;
};


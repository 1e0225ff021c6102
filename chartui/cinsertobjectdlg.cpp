#include "chartui/cinsertobjectdlg.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "platform/uiservices.h"

CInsertObjectDlg::CInsertObjectDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(LoadErrorText(qor::str::kInsertObjectCaption));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kObjectFromFileLabel), this));
    auto* row = new QHBoxLayout;
    m_file = Bind(IDC_FILE, new QLineEdit(this));
    m_file->setMinimumWidth(300);
    row->addWidget(m_file, 1);
    QPushButton* browse = qor::DlgButton(this, IDC_BROWSE, LoadErrorText(qor::str::kBrowseButton));
    connect(browse, &QPushButton::clicked, this, &CInsertObjectDlg::OnBrowse);
    row->addWidget(browse);
    layout->addLayout(row);
    m_link = Bind(IDC_LINK, new QCheckBox(LoadErrorText(qor::str::kLinkCheck), this));
    m_icon = Bind(IDC_ICON, new QCheckBox(LoadErrorText(qor::str::kShowAsIconCheck), this));
    layout->addWidget(m_link);
    layout->addWidget(m_icon);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kInsertObjectHint), this));
    qor::AddDlgButtons(this, layout);
}

bool CInsertObjectDlg::OnInitDialog() {
    m_file->setText(m_strPath);
    m_link->setChecked(m_bLink);
    m_icon->setChecked(m_bIcon);
    return true;
}

void CInsertObjectDlg::OnBrowse() {
    qor::FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kBrowse);
    prompt.filter = LoadErrorText(qor::str::kAllFilesFilterText);
    prompt.directory = QFileInfo(m_file->text()).absolutePath();
    if (std::optional<QString> path = qor::chooseFile(prompt)) m_file->setText(*path);
}

void CInsertObjectDlg::OnOK() {
    m_strPath = m_file->text().trimmed();
    m_bLink = m_link->isChecked();
    m_bIcon = m_icon->isChecked();
    if (m_strPath.isEmpty() || !QFileInfo(m_strPath).isFile()) {
        qor::messageBox(LoadErrorText(qor::str::kChooseExistingFile), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        m_file->setFocus();
        return;
    }
    EndDialog(IDOK);
}

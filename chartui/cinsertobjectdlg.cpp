#include "chartui/cinsertobjectdlg.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "platform/uiservices.h"

CInsertObjectDlg::CInsertObjectDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(QStringLiteral("插入对象"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("由文件创建对象："), this));
    auto* row = new QHBoxLayout;
    m_file = Bind(IDC_FILE, new QLineEdit(this));
    m_file->setMinimumWidth(300);
    row->addWidget(m_file, 1);
    QPushButton* browse = qor::DlgButton(this, IDC_BROWSE, QStringLiteral("浏览(&B)..."));
    connect(browse, &QPushButton::clicked, this, &CInsertObjectDlg::OnBrowse);
    row->addWidget(browse);
    layout->addLayout(row);
    m_link = Bind(IDC_LINK, new QCheckBox(QStringLiteral("链接(&L)"), this));
    m_icon = Bind(IDC_ICON, new QCheckBox(QStringLiteral("显示为图标(&D)"), this));
    layout->addWidget(m_link);
    layout->addWidget(m_icon);
    layout->addWidget(new QLabel(
        QStringLiteral("对象的内容存入报表；选“链接”时报表只记下文件，打开报表时按文件更新。"), this));
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
    prompt.caption = QStringLiteral("浏览");
    prompt.filter = QStringLiteral("所有文件 (*)");
    prompt.directory = QFileInfo(m_file->text()).absolutePath();
    if (std::optional<QString> path = qor::chooseFile(prompt)) m_file->setText(*path);
}

void CInsertObjectDlg::OnOK() {
    m_strPath = m_file->text().trimmed();
    m_bLink = m_link->isChecked();
    m_bIcon = m_icon->isChecked();
    if (m_strPath.isEmpty() || !QFileInfo(m_strPath).isFile()) {
        qor::messageBox(QStringLiteral("请选择一个存在的文件。"), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
        m_file->setFocus();
        return;
    }
    EndDialog(IDOK);
}

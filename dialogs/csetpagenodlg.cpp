#include "dialogs/csetpagenodlg.h"

#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString controlText(int id, const QString& fallback) {
    const auto info = res::controlInfo(CSetPageNoDlg::IDD, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

}  // namespace

CSetPageNoDlg::CSetPageNoDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(res::templateCaption(IDD).value_or(LoadErrorText(qor::str::kSetPageNumberCaption)));
    auto* layout = new QVBoxLayout(this);
    m_all = Bind(IDC_ALL, new QRadioButton(controlText(IDC_ALL, LoadErrorText(qor::str::kOpenAllPagesOption)), this));
    m_one = Bind(IDC_ONE,
                 new QRadioButton(controlText(IDC_ONE, LoadErrorText(qor::str::kOpenOnePageOption)), this));
    auto* row = new QHBoxLayout;
    m_sheet = Bind(IDC_SHEET, new QLineEdit(this));
    m_sheet->setValidator(new QIntValidator(0, 99999, m_sheet));
    row->addWidget(m_one);
    row->addWidget(m_sheet);
    layout->addWidget(m_all);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    auto* ok = Bind(IDC_OK, new QPushButton(controlText(IDC_OK, LoadErrorText(qor::str::kOkButton)), this));
    auto* cancel =
        Bind(IDCANCEL, new QPushButton(controlText(IDCANCEL, LoadErrorText(qor::str::kCancelButton)), this));
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CSetPageNoDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CSetPageNoDlg::OnCancel);
    connect(m_all, &QRadioButton::clicked, this, &CSetPageNoDlg::OnAll);
    connect(m_one, &QRadioButton::clicked, this, &CSetPageNoDlg::OnOne);
}

bool CSetPageNoDlg::OnInitDialog() {
    m_all->setChecked(true);
    choice = 1;
    sheetNumber = 1;
    m_sheet->setText(QString::number(sheetNumber));
    return true;
}

void CSetPageNoDlg::OnAll() { choice = 1; }

void CSetPageNoDlg::OnOne() { choice = 2; }

void CSetPageNoDlg::OnOK() {
    bool ok = false;
    const int number = m_sheet->text().trimmed().toInt(&ok);
    if (!ok || number < 0 || number > sheetCount) {
        messageBox(LoadErrorText(qor::str::kPageNumberOutOfRange),
                   LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok, MsgIcon::Warning);
        m_sheet->setFocus();
        m_sheet->selectAll();
        return;
    }
    sheetNumber = number;
    choice = m_one->isChecked() ? 2 : 1;
    EndDialog(IDOK);
}

#include "dialogs/cpasteasdlg.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "engine/messages.h"

CPasteSpecialDlg::CPasteSpecialDlg(QWidget* parent) : CQorDialog(parent) {
    setWindowTitle(LoadErrorText(qor::str::kPasteSpecial));
    auto* layout = new QHBoxLayout(this);
    auto* side = new QVBoxLayout;
    m_paste = Bind(IDC_PASTE, new QRadioButton(LoadErrorText(qor::str::kPaste), this));
    m_link = Bind(IDC_PASTE_LINK, new QRadioButton(LoadErrorText(qor::str::kPasteLink), this));
    side->addWidget(m_paste);
    side->addWidget(m_link);
    side->addStretch();
    m_list = Bind(IDC_LIST, new QListWidget(this));
    auto* box =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Vertical, this);
    box->button(QDialogButtonBox::Ok)->setText(qor::DlgButtonText(TemplateId(), IDOK));
    box->button(QDialogButtonBox::Cancel)->setText(qor::DlgButtonText(TemplateId(), IDCANCEL));
    Bind(IDOK, box->button(QDialogButtonBox::Ok));
    Bind(IDCANCEL, box->button(QDialogButtonBox::Cancel));
    layout->addLayout(side);
    layout->addWidget(m_list, 1);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentRowChanged, this, &CPasteSpecialDlg::OnSelectionChanged);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
}

bool CPasteSpecialDlg::OnInitDialog() {
    m_list->clear();
    // An entry's text may carry a help line after a line break; the list
    // shows its first line.
    for (const qor::clip::PasteSpecialEntry& e : entries)
        m_list->addItem(e.text.section(QLatin1Char('\n'), 0, 0));
    const int row = selected >= 0 && selected < m_list->count() ? selected : 0;
    m_list->setCurrentRow(m_list->count() ? row : -1);
    m_paste->setChecked(true);
    OnSelectionChanged();
    return true;
}

void CPasteSpecialDlg::OnSelectionChanged() {
    const int row = m_list->currentRow();
    const bool linkable = row >= 0 && size_t(row) < entries.size() && entries[size_t(row)].linkable;
    m_link->setEnabled(linkable);
    if (!linkable && m_link->isChecked()) m_paste->setChecked(true);
    if (auto* ok = GetDlgItem(IDOK)) ok->setEnabled(row >= 0);
}

void CPasteSpecialDlg::OnOK() {
    const int row = m_list->currentRow();
    if (row < 0 || size_t(row) >= entries.size()) return;
    selected = row;
    selectionType = m_link->isEnabled() && m_link->isChecked() ? 1 : 0;
    EndDialog(IDOK);
}


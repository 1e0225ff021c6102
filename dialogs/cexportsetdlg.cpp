#include "dialogs/cexportsetdlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/exportsetchoice.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "resources/stringtable.h"

namespace {

// The template's caption of a control; the table does not list every
// control of every template, and a button without a text is no use.
QString controlCaption(int id, const QString& fallback = QString()) {
    const auto info = qor::res::controlInfo(CExportSetDlg::IDD, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

}  // namespace

CExportSetDlg::CExportSetDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    // The dialog starts with the page list in use; a script's export (no
    // dialog) takes every page instead.
    m_bAllPages = 0;
    setWindowTitle(qor::res::templateCaption(IDD).value_or(QString()));

    auto* pagesBox = new QGroupBox(controlCaption(IDC_PAGE_LIST, LoadErrorText(qor::str::kChoosePagesGroup)), this);
    m_pageList = new QListWidget(pagesBox);
    m_pageList->setSelectionMode(QAbstractItemView::MultiSelection);
    auto* pagesLayout = new QVBoxLayout(pagesBox);
    pagesLayout->addWidget(m_pageList);

    m_checkAll = new QCheckBox(controlCaption(IDC_ALL_PAGES), this);
    m_checkData = new QCheckBox(controlCaption(IDC_DATA), this);
    m_checkFormat = new QCheckBox(controlCaption(IDC_FORMAT), this);
    m_checkFormula = new QCheckBox(controlCaption(IDC_FORMULA), this);

    auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
    m_buttonOk = buttons->addButton(controlCaption(IDOK, LoadErrorText(qor::str::kOkButton)),
                                    QDialogButtonBox::AcceptRole);
    m_buttonCancel = buttons->addButton(controlCaption(IDCANCEL, LoadErrorText(qor::str::kCancelButton)),
                                        QDialogButtonBox::RejectRole);
    m_buttonOk->setDefault(true);

    auto* side = new QVBoxLayout;
    side->addWidget(m_checkAll);
    side->addWidget(m_checkData);
    side->addWidget(m_checkFormat);
    side->addWidget(m_checkFormula);
    side->addStretch(1);
    side->addWidget(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(pagesBox, 1);
    layout->addLayout(side);

    connect(m_checkAll, &QCheckBox::clicked, this, &CExportSetDlg::OnAllPages);
    connect(buttons, &QDialogButtonBox::accepted, this, &CExportSetDlg::OnOK);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The controls by the template's ids (1, 2, 1002, 1277..1280).
    Bind(IDOK, m_buttonOk);
    Bind(IDCANCEL, m_buttonCancel);
    Bind(IDC_PAGE_LIST, m_pageList);
    Bind(IDC_DATA, m_checkData);
    Bind(IDC_FORMAT, m_checkFormat);
    Bind(IDC_FORMULA, m_checkFormula);
    Bind(IDC_ALL_PAGES, m_checkAll);
}

bool CExportSetDlg::OnInitDialog() {
    if (m_pReport) m_nPageCount = m_pReport->GetPageCount();
    if (m_nPageCount < 0) m_nPageCount = 0;

    m_pageList->clear();
    m_pageList->addItems(qor::dlg::ExportPageLines(m_nPageCount));
    // One selection change for the whole preset, not one per page: a
    // report of thousands of pages would otherwise open slowly.
    QItemSelection preset;
    for (int row : qor::dlg::ExportPageRowsFromList(m_strPageList, m_nPageCount)) {
        const QModelIndex index = m_pageList->model()->index(row, 0);
        preset.select(index, index);
    }
    m_pageList->selectionModel()->select(preset, QItemSelectionModel::Select);

    UpdateData(false);
    m_pageList->setEnabled(!m_bAllPages);
    return true;
}

bool CExportSetDlg::UpdateData(bool saveAndValidate) {
    if (saveAndValidate) {
        m_bAllPages = m_checkAll->isChecked() ? 1 : 0;
        m_bData = m_checkData->isChecked() ? 1 : 0;
        m_bFormat = m_checkFormat->isChecked() ? 1 : 0;
        m_bFormula = m_checkFormula->isChecked() ? 1 : 0;
    } else {
        m_checkAll->setChecked(m_bAllPages != 0);
        m_checkData->setChecked(m_bData != 0);
        m_checkFormat->setChecked(m_bFormat != 0);
        m_checkFormula->setChecked(m_bFormula != 0);
    }
    return true;
}

void CExportSetDlg::OnAllPages() {
    UpdateData(true);
    m_pageList->setEnabled(!m_bAllPages);
}

void CExportSetDlg::OnOK() {
    UpdateData(true);
    QList<int> rows;
    if (!m_bAllPages) {
        const QModelIndexList selected = m_pageList->selectionModel()->selectedIndexes();
        rows.reserve(selected.size());
        for (const QModelIndex& index : selected) rows.append(index.row());
    }
    qor::dlg::ApplyExportRowSelection(this, rows);
    EndDialog(IDOK);
}

#include "finui/auditmappingdlg.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/paths.h"
#include "fininterface/auditstatements.h"
#include "platform/uiservices.h"

CAuditMappingDlg::CAuditMappingDlg(CReportHandle* report, QWidget* parent)
    : CQorDialog(parent, kTemplate), m_pReport(report) {
    setWindowTitle(qor::DlgCaption(kTemplate, LoadErrorText(qor::str::kDataMappingCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QGridLayout;
    m_combo = Bind(IDC_STATEMENT, new QComboBox(this));
    m_combo->setEditable(false);
    m_exportEdit = Bind(IDC_EXPORT_PATH, new QLineEdit(this));
    qor::AddDlgRow(top, LoadErrorText(qor::str::kFileTypeColonLabel), m_combo);
    qor::AddDlgRow(top, LoadErrorText(qor::str::kExportPathLabel), m_exportEdit);
    layout->addLayout(top);

    m_groupBox = Bind(IDC_GROUP_BOX, new QGroupBox(this));
    auto* fields = new QGridLayout(m_groupBox);
    for (int k = 0; k < kShownFields; ++k) {
        m_names[size_t(k)] = Bind(IDC_FIRST_NAME + k, new QLabel(m_groupBox));
        m_cells[size_t(k)] = Bind(IDC_FIRST_CELL + k, new QLineEdit(m_groupBox));
        fields->addWidget(m_names[size_t(k)], k % 5, (k / 5) * 2);
        fields->addWidget(m_cells[size_t(k)], k % 5, (k / 5) * 2 + 1);
    }
    layout->addWidget(m_groupBox);

    auto* buttons = new QHBoxLayout;
    m_prev = qor::DlgButton(this, IDC_PREV_GROUP, LoadErrorText(qor::str::kPreviousGroupButton));
    m_next = qor::DlgButton(this, IDC_NEXT_GROUP, LoadErrorText(qor::str::kNextGroupButton));
    buttons->addWidget(m_prev);
    buttons->addWidget(m_next);
    buttons->addStretch();
    buttons->addWidget(qor::DlgButton(this, IDOK, LoadErrorText(qor::str::kOkButton)));
    buttons->addWidget(qor::DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kCancelButton)));
    layout->addLayout(buttons);

    connect(m_prev, &QPushButton::clicked, this, &CAuditMappingDlg::OnPrevGroup);
    connect(m_next, &QPushButton::clicked, this, &CAuditMappingDlg::OnNextGroup);
    connect(m_combo, &QComboBox::currentIndexChanged, this, &CAuditMappingDlg::OnStatementChosen);
}

CAuditMappingDlg::~CAuditMappingDlg() = default;

QString CAuditMappingDlg::reportPath() const {
    return m_pReport ? m_pReport->GetPathName() : QString();
}

bool CAuditMappingDlg::OnInitDialog() {
    // What the user types as the export path is not kept: it only shows
    // where the import folder is.
    m_strExportPath = GetImportPath();
    m_exportEdit->setText(m_strExportPath);
    for (int k = 0; k < kShownFields; ++k) {
        m_names[size_t(k)]->hide();
        m_cells[size_t(k)]->hide();
    }
    m_pDef = std::make_unique<CAuditIfaceDef>();
    const CAuditStatementList list;
    int preselect = -1;
    const QString path = reportPath();
    {
        const QSignalBlocker block(m_combo);
        m_combo->clear();
        for (int i = 0; i < list.GetCount(); ++i) {
            m_combo->addItem(list.GetListName(i));
            if (!path.isEmpty() && list.GetFilePath(i) == path) preselect = i;
        }
        m_combo->setCurrentIndex(preselect);
    }
    if (preselect >= 0) OnStatementChosen();
    updateGroupButtons();
    return true;
}

void CAuditMappingDlg::OnStatementChosen() {
    m_nCurGroup = 0;
    m_nFieldCount = 0;
    if (m_combo->currentIndex() < 0) return;
    const QString chosen = m_combo->currentText();
    if (chosen == m_strStatement) return;
    m_strStatement = chosen;
    loadOrBuild();
    showGroup();
    updateGroupButtons();
}

void CAuditMappingDlg::loadOrBuild() {
    m_pDef = std::make_unique<CAuditIfaceDef>();
    m_pDef->LoadOrBuild(m_pReport, m_strStatement);
}

void CAuditMappingDlg::showGroup() {
    if (m_combo->currentIndex() < 0) return;
    m_strStatement = m_combo->currentText();
    m_nGroupCount = std::max(1, m_pDef->GetGroupCount());
    const QStringList lines = CAuditStatementList::FormatLines(m_pDef->Format());
    m_nFieldCount = std::min(int(lines.size()), int(kShownFields));
    for (int k = 0; k < kShownFields; ++k) {
        const bool shown = k < m_nFieldCount;
        m_names[size_t(k)]->setVisible(shown);
        m_cells[size_t(k)]->setVisible(shown);
        if (!shown) continue;
        const QString name = CAuditStatementList::FieldName(lines[k]);
        m_names[size_t(k)]->setText(name);
        m_cells[size_t(k)]->setText(m_pDef->GetCell(m_nCurGroup, name));
    }
}

void CAuditMappingDlg::saveGroup() {
    if (!m_pDef) return;
    for (int k = 0; k < m_nFieldCount; ++k)
        m_pDef->SetCell(m_nCurGroup, m_names[size_t(k)]->text(), m_cells[size_t(k)]->text());
}

void CAuditMappingDlg::updateGroupButtons() {
    if (m_nCurGroup < 1) {
        m_nCurGroup = 0;
        m_prev->setEnabled(false);
    } else {
        m_prev->setEnabled(true);
    }
    if (m_nCurGroup >= m_nGroupCount - 1) {
        m_nCurGroup = std::max(0, m_nGroupCount - 1);
        m_next->setEnabled(false);
    } else {
        m_next->setEnabled(true);
    }
    m_groupBox->setTitle(qor::FillMessageText(LoadErrorText(qor::str::kDataMappingGroup),
                                              {QString::number(m_nCurGroup + 1)}));
}

void CAuditMappingDlg::OnPrevGroup() {
    saveGroup();
    --m_nCurGroup;
    updateGroupButtons();
    showGroup();
}

void CAuditMappingDlg::OnNextGroup() {
    saveGroup();
    ++m_nCurGroup;
    updateGroupButtons();
    showGroup();
}

void CAuditMappingDlg::OnOK() {
    if (m_combo->currentIndex() < 0 || !m_pDef) {
        qor::ShowMessageId(qor::str::kChooseAFile);
        return;
    }
    saveGroup();
    CAuditStatementList list;
    list.SetFilePath(m_strStatement, reportPath());
    // Either write failing keeps the dialog open with what the user typed.
    if (!list.Save() || !m_pDef->SaveMapping()) return;
    EndDialog(IDOK);
}

void CAuditMappingDlg::OnCancel() {
    // Nothing was written while the dialog was open, so there is nothing
    // to take back.
    m_pDef.reset();
    EndDialog(IDCANCEL);
}

namespace qor {

void RegisterAuditDialogs(QWidget* parent) {
    Register<AuditMappingRequest>(
        [parent = QPointer<QWidget>(parent)](
            const AuditMappingRequest& request) -> std::optional<AuditMappingRequest> {
            CReportHandle* report = request.doc ? request.doc->GetReport() : nullptr;
            if (!report) return std::nullopt;
            CAuditMappingDlg dlg(report, parent);
            if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
            return request;
        });
}

void ShowAuditStatementCount() {
    const CAuditStatementList list;
    // Say what the number counts: the statements the interface defines.
    messageBox(LoadErrorText(str::kAuditInterfaceCount).arg(list.GetCount()),
               LoadErrorText(str::kAppTitle), MsgButtons::Ok, MsgIcon::Information);
}

}  // namespace qor

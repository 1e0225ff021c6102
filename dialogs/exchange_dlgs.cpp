#include "dialogs/exchange_dlgs.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "document/cqorsdoc.h"
#include "document/doc_files.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"

using namespace qor;

namespace {

void warn(int id, const QString& caption) {
    messageBox(LoadErrorText(id), caption, MsgButtons::Ok, MsgIcon::Warning);
}

}  // namespace

// ---- CImportDlg -------------------------------------------------------------

CImportDlg::CImportDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kReportImportCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_description = Bind(IDC_DESCRIPTION, new QLabel(this));
    m_description->setTextFormat(Qt::PlainText);
    m_path = Bind(IDC_PATH, new QLabel(this));
    m_path->setTextFormat(Qt::PlainText);
    AddDlgRow(grid, LoadErrorText(qor::str::kInitialFileLabel), m_description);
    layout->addLayout(grid);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kImportableFilesLabel), this));
    m_list = Bind(IDC_LIST, new QListWidget(this));
    layout->addWidget(m_list);
    auto* pathRow = new QGridLayout;
    AddDlgRow(pathRow, LoadErrorText(qor::str::kPathLabel), m_path);
    layout->addLayout(pathRow);
    auto* import = DlgButton(this, IDC_IMPORT, LoadErrorText(qor::str::kImportButton));
    connect(import, &QPushButton::clicked, this, &CImportDlg::OnImport);
    connect(m_list, &QListWidget::currentRowChanged, this, [this] { showPath(); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnImport(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(import);
    auto* cancel = DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kCancelButton));
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    import->setDefault(true);
}

bool CImportDlg::OnInitDialog() {
    m_description->setText(QDir::toNativeSeparators(m_strIniPath));
    m_list->clear();
    m_list->addItems(m_names);
    if (m_list->count() > 0) m_list->setCurrentRow(0);
    showPath();
    return true;
}

void CImportDlg::showPath() {
    const int row = m_list->currentRow();
    m_path->setText(row >= 0 && row < m_paths.size() ? QDir::toNativeSeparators(m_paths.at(row))
                                                     : QString());
}

void CImportDlg::OnImport() {
    ImportLayout layout;
    if (!ReadImportDescription(m_strIniPath, &layout)) {
        warn(qor::str::kFieldError, windowTitle());
        return;
    }
    // With nothing listed or chosen there is no file to import.
    const int row = m_list->currentRow();
    const QString path = row >= 0 && row < m_paths.size() ? m_paths.at(row) : QString();
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        warn(qor::str::kImportFileNotFound, windowTitle());
        return;
    }
    m_layout = layout;
    m_strChosenPath = path;
    EndDialog(IDOK);
}

// ---- CExportDlg -------------------------------------------------------------

CExportDlg::CExportDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kExportReportCaption)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kEnterExportFileName), this));
    m_name = Bind(IDC_NAME, new QLineEdit(this));
    m_name->setMaxLength(255);
    layout->addWidget(m_name);
    AddDlgButtons(this, layout);
}

bool CExportDlg::OnInitDialog() {
    m_name->setText(m_strFileName);
    m_name->setFocus();
    return true;
}

void CExportDlg::OnOK() {
    QString name = m_name->text().trimmed();
    const int message = CheckExportName(&name, m_strTargetDir);
    if (name != m_name->text().trimmed()) m_name->setText(name);
    if (message != 0) {
        warn(message, windowTitle());
        m_name->setFocus();
        m_name->selectAll();
        return;
    }
    m_strFileName = name;
    EndDialog(IDOK);
}

std::optional<ExportDlgMembers> qor::RunExportDlg(const ExportDlgMembers& m, QWidget* parent) {
    CExportDlg dlg(parent);
    dlg.m_strFileName = m.fileName;
    dlg.m_strTargetDir = m.targetDir;
    if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
    ExportDlgMembers out = m;
    out.fileName = dlg.m_strFileName;
    return out;
}

void qor::RunImportByIniCommand(QWidget* parent) {
    const QString caption = DlgCaption(CImportDlg::IDD, LoadErrorText(qor::str::kReportImportCaption));
    try {
        FilePrompt prompt;
        prompt.caption = caption;
        prompt.filter = QtFileFilter(LoadErrorText(qor::str::kIniFileFilter));
        const std::optional<QString> ini = chooseFile(prompt);
        if (!ini || ini->isEmpty()) return;
        QStringList names, files;
        if (!ReadIniReportList(*ini, &names, &files)) {
            messageBox(LoadErrorText(qor::str::kNoReportToImport), caption, MsgButtons::Ok,
                       MsgIcon::Warning);
            return;
        }
        CImportDlg dlg(parent);
        dlg.m_strIniPath = *ini;
        dlg.m_names = names;
        dlg.m_paths = ResolveImportFiles(*ini, files);
        if (dlg.DoModal() != CQorDialog::IDOK) return;
        CQorsDoc* doc = CAppEnvironment::Instance().NewDocument();
        if (!doc) {
            messageBox(LoadErrorText(qor::str::kImportNoNewReport), caption, MsgButtons::Ok,
                       MsgIcon::Warning);
            return;
        }
        TextImportResult result;
        QString error;
        const bool ok = doc->Files().ImportExportText(dlg.m_strChosenPath, dlg.m_layout, &result, &error);
        if (!ok) {
            messageBox(error, caption, MsgButtons::Ok, MsgIcon::Warning);
            return;
        }
        if (!result.notes.isEmpty())
            messageBox(LoadErrorText(qor::str::kImportPartial)
                           .arg(result.cells)
                           .arg(result.notes.join(u'\n')),
                       caption, MsgButtons::Ok, MsgIcon::Information);
    } catch (const std::exception& e) {
        messageBox(QString::fromLocal8Bit(e.what()), caption, MsgButtons::Ok, MsgIcon::Warning);
    }
}

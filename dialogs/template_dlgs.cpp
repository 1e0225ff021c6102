#include "dialogs/template_dlgs.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/dlgbuild.h"
#include "dialogs/filecolumns.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "platform/uiservices.h"

using namespace qor;

namespace {

void warn(const QString& text, const QString& caption) {
    messageBox(text, caption, MsgButtons::Ok, MsgIcon::Warning);
}

QStringList industryNames(const QVector<TemplateIndustry>& model) {
    QStringList names;
    for (const TemplateIndustry& t : model) names << t.industry;
    return names;
}

bool listedIn(const QStringList& names, const QString& name, int except = -1) {
    for (int i = 0; i < names.size(); ++i)
        if (i != except && SameListName(names[i], name)) return true;
    return false;
}

}  // namespace

// ---- CReportTemplateDlg -----------------------------------------------------

CReportTemplateDlg::CReportTemplateDlg(const TemplateListFile& list, QWidget* parent)
    : CQorDialog(parent, IDD), m_list(list) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kReportTemplateCaption)));
    auto* layout = new QVBoxLayout(this);
    m_industry = Bind(IDC_INDUSTRY, new QComboBox(this));
    m_template = Bind(IDC_TEMPLATE, new QComboBox(this));
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kYourIndustryLabel), this));
    layout->addWidget(m_industry);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kFinancialReportNameLabel), this));
    layout->addWidget(m_template);
    AddDlgButtons(this, layout);
    connect(m_industry, &QComboBox::currentIndexChanged, this, &CReportTemplateDlg::OnIndustryChange);
}

bool CReportTemplateDlg::OnInitDialog() {
    const QSignalBlocker quiet(m_industry);
    m_industry->clear();
    m_industry->addItems(m_list.Industries());
    if (m_industry->count() > 0) {
        m_industry->setCurrentIndex(std::clamp(m_nIndustry, 0, m_industry->count() - 1));
        OnIndustryChange();
    }
    return true;
}

void CReportTemplateDlg::OnIndustryChange() {
    m_paths.clear();
    m_template->clear();
    const TemplateIndustry t = m_list.Industry(m_industry->currentText());
    m_paths = t.paths;
    m_template->addItems(t.names);
    if (m_template->count() > 0) m_template->setCurrentIndex(0);
    m_nTemplate = 0;
}

void CReportTemplateDlg::OnOK() {
    const int chosen = m_template->currentIndex();
    if (m_paths.isEmpty() || chosen < 0 || chosen >= m_paths.size()) {
        warn(LoadErrorText(qor::str::kNoTemplates), windowTitle());
        return;
    }
    m_nIndustry = m_industry->currentIndex();
    m_nTemplate = chosen;
    m_strChosenPath = m_paths[chosen];
    EndDialog(IDOK);
}

// ---- CDefineTemplateDlg -----------------------------------------------------

CDefineTemplateDlg::CDefineTemplateDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kDefineTemplateCaption)));
    auto* layout = new QVBoxLayout(this);
    m_label = Bind(IDC_LABEL, new QLabel(this));
    m_name = Bind(IDC_NAME, new QLineEdit(this));
    m_name->setMaxLength(TemplateListFile::kMaxName);
    layout->addWidget(m_label);
    layout->addWidget(m_name);
    AddDlgButtons(this, layout);
}

bool CDefineTemplateDlg::OnInitDialog() {
    m_label->setText(m_strLabel.left(128));
    m_name->setText(m_strName);
    m_name->setFocus();
    return true;
}

void CDefineTemplateDlg::OnOK() {
    const QString name = m_name->text();
    QString problem;
    if (name.isEmpty())
        problem = LoadErrorText(qor::str::kEnterIndustryName);
    else if (listedIn(m_existing, name))
        problem = LoadErrorText(qor::str::kIndustryExists);
    else
        problem = TemplateListFile::IndustryNameProblem(name);
    if (!problem.isEmpty()) {
        warn(problem, windowTitle());
        m_name->setFocus();
        return;
    }
    m_strName = name;
    EndDialog(IDOK);
}

// ---- CTemplateDlg -----------------------------------------------------------

CTemplateDlg::CTemplateDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kTemplateCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_name = Bind(IDC_NAME, new QLineEdit(this));
    m_name->setMaxLength(TemplateListFile::kMaxName);
    m_path = Bind(IDC_PATH, new QLineEdit(this));
    AddDlgRow(grid, LoadErrorText(qor::str::kTemplateNameLabel), m_name);
    AddDlgRow(grid, LoadErrorText(qor::str::kTemplatePathLabel), m_path);
    auto* browse = DlgButton(this, IDC_BROWSE, LoadErrorText(qor::str::kBrowse));
    grid->addWidget(browse, grid->rowCount() - 1, 2);
    connect(browse, &QPushButton::clicked, this, &CTemplateDlg::OnBrowse);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CTemplateDlg::OnInitDialog() {
    m_name->setText(m_strName);
    m_path->setText(m_strPath);
    m_name->setFocus();
    return true;
}

void CTemplateDlg::OnBrowse() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kBrowse);
    prompt.filter = QtFileFilter(QStringLiteral("Template Files (*.rep)|*.REP *.rep||"));
    if (const auto path = chooseFile(prompt); path && !path->isEmpty()) m_path->setText(*path);
}

void CTemplateDlg::OnOK() {
    const QString name = m_name->text();
    const QString path = m_path->text();
    QString problem;
    if (name.isEmpty() && path.isEmpty())
        problem = LoadErrorText(qor::str::kEnterTemplateName);
    else if (path.isEmpty())
        problem = LoadErrorText(qor::str::kEnterTemplatePath);
    else if (!name.isEmpty())
        problem = TemplateListFile::TemplateNameProblem(name);
    if (!problem.isEmpty()) {
        warn(problem, windowTitle());
        return;
    }
    m_strName = name;
    m_strPath = path;
    EndDialog(IDOK);
}

// ---- CModelSheet ------------------------------------------------------------

CModelSheet::CModelSheet(const TemplateListFile& list, QWidget* parent)
    : CQorDialog(parent, 449), m_list(list) {
    setWindowTitle(DlgCaption(449, LoadErrorText(qor::str::kCustomTemplateCaption)));
    auto* layout = new QVBoxLayout(this);
    m_pages = new QStackedWidget(this);
    layout->addWidget(m_pages, 1);

    auto* page1 = new QWidget(m_pages);
    auto* row1 = new QHBoxLayout(page1);
    m_industries = Bind(IDC_INDUSTRIES, new QListWidget(page1));
    row1->addWidget(m_industries, 1);
    auto* col1 = new QVBoxLayout;
    auto* addIndustry = DlgButton(this, IDC_ADD_INDUSTRY, LoadErrorText(qor::str::kAddButton));
    auto* delIndustry = DlgButton(this, IDC_DELETE_INDUSTRY, LoadErrorText(qor::str::kDelete));
    auto* renIndustry = DlgButton(this, IDC_RENAME_INDUSTRY, LoadErrorText(qor::str::kModifyButton));
    for (QPushButton* b : {addIndustry, delIndustry, renIndustry}) col1->addWidget(b);
    col1->addStretch();
    row1->addLayout(col1);
    m_pages->addWidget(page1);

    auto* page2 = new QWidget(m_pages);
    auto* v2 = new QVBoxLayout(page2);
    m_industryName = Bind(IDC_INDUSTRY_NAME, new QLabel(page2));
    v2->addWidget(m_industryName);
    auto* row2 = new QHBoxLayout;
    m_templates = Bind(IDC_TEMPLATES, new QListWidget(page2));
    row2->addWidget(m_templates, 1);
    auto* col2 = new QVBoxLayout;
    auto* addTemplates = DlgButton(this, IDC_ADD_TEMPLATES, LoadErrorText(qor::str::kAddButton));
    auto* delTemplate = DlgButton(this, IDC_DELETE_TEMPLATE, LoadErrorText(qor::str::kDelete));
    auto* modTemplate = DlgButton(this, IDC_MODIFY_TEMPLATE, LoadErrorText(qor::str::kModifyButton));
    for (QPushButton* b : {addTemplates, delTemplate, modTemplate}) col2->addWidget(b);
    col2->addStretch();
    row2->addLayout(col2);
    v2->addLayout(row2);
    m_path = Bind(IDC_PATH, new QLabel(page2));
    m_path->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v2->addWidget(m_path);
    m_pages->addWidget(page2);

    auto* foot = new QHBoxLayout;
    foot->addStretch();
    auto* back = DlgButton(this, IDC_BACK, LoadErrorText(qor::str::kPrevious));
    auto* next = DlgButton(this, IDC_NEXT, LoadErrorText(qor::str::kNext));
    auto* finish = DlgButton(this, IDC_FINISH, LoadErrorText(qor::str::kFinish));
    auto* cancel = DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kCancelButton));
    auto* apply = DlgButton(this, IDC_APPLY, LoadErrorText(qor::str::kApply));
    for (QPushButton* b : {back, next, finish, cancel, apply}) foot->addWidget(b);
    layout->addLayout(foot);

    connect(addIndustry, &QPushButton::clicked, this, &CModelSheet::OnAddIndustry);
    connect(delIndustry, &QPushButton::clicked, this, &CModelSheet::OnDeleteIndustry);
    connect(renIndustry, &QPushButton::clicked, this, &CModelSheet::OnRenameIndustry);
    connect(m_industries, &QListWidget::itemDoubleClicked, this, &CModelSheet::OnRenameIndustry);
    connect(m_industries, &QListWidget::currentRowChanged, this, &CModelSheet::enableIndustryEdits);
    connect(addTemplates, &QPushButton::clicked, this, &CModelSheet::OnAddTemplates);
    connect(delTemplate, &QPushButton::clicked, this, &CModelSheet::OnDeleteTemplate);
    connect(modTemplate, &QPushButton::clicked, this, &CModelSheet::OnModifyTemplate);
    connect(m_templates, &QListWidget::itemDoubleClicked, this, &CModelSheet::OnModifyTemplate);
    connect(m_templates, &QListWidget::currentRowChanged, this, [this](int row) {
        m_path->setText(row >= 0 && row < m_page2.paths.size() ? m_page2.paths[row] : QString());
        GetDlgItem(IDC_DELETE_TEMPLATE)->setEnabled(row >= 0);
        GetDlgItem(IDC_MODIFY_TEMPLATE)->setEnabled(row >= 0);
    });
    connect(back, &QPushButton::clicked, this, &CModelSheet::OnBack);
    connect(next, &QPushButton::clicked, this, &CModelSheet::OnNext);
    connect(finish, &QPushButton::clicked, this, &CModelSheet::OnFinish);
    connect(apply, &QPushButton::clicked, this, &CModelSheet::OnApply);
}

int CModelSheet::Page() const { return m_pages->currentIndex() + 1; }

void CModelSheet::setModified(bool modified) {
    m_modified = modified;
    GetDlgItem(IDC_APPLY)->setEnabled(modified);
}

void CModelSheet::enableIndustryEdits() {
    const bool selected = m_industries->currentRow() >= 0;
    GetDlgItem(IDC_DELETE_INDUSTRY)->setEnabled(selected);
    GetDlgItem(IDC_RENAME_INDUSTRY)->setEnabled(selected);
}

bool CModelSheet::OnInitDialog() {
    m_model = m_list.ReadAll();
    m_industries->clear();
    m_industries->addItems(industryNames(m_model));
    if (!m_model.isEmpty()) m_industries->setCurrentRow(0);
    enableIndustryEdits();
    m_pages->setCurrentIndex(0);
    GetDlgItem(IDC_BACK)->setEnabled(false);
    GetDlgItem(IDC_NEXT)->setEnabled(true);
    GetDlgItem(IDC_FINISH)->setEnabled(false);
    setModified(false);
    return true;
}

void CModelSheet::OnAddIndustry() {
    CDefineTemplateDlg dlg(this);
    dlg.m_strLabel = LoadErrorText(qor::str::kIndustryName);
    dlg.m_existing = industryNames(m_model);
    if (dlg.DoModal() != IDOK || dlg.m_strName.isEmpty()) return;
    m_model.append(TemplateIndustry{dlg.m_strName, {}, {}});
    m_industries->addItem(dlg.m_strName);
    m_industries->setFocus();
    m_industries->setCurrentRow(m_industries->count() - 1);
    setModified(true);
}

void CModelSheet::OnRenameIndustry() {
    const int row = m_industries->currentRow();
    if (row < 0) {
        warn(LoadErrorText(qor::str::kChooseItemToModify), windowTitle());
        return;
    }
    CDefineTemplateDlg dlg(this);
    dlg.m_strLabel = LoadErrorText(qor::str::kIndustryName);
    dlg.m_strName = m_model[row].industry;
    dlg.m_existing = industryNames(m_model);
    if (dlg.DoModal() != IDOK) return;
    m_model[row].industry = dlg.m_strName;
    m_industries->item(row)->setText(dlg.m_strName);
    m_industries->setCurrentRow(row);
    setModified(true);
}

void CModelSheet::OnDeleteIndustry() {
    const int row = m_industries->currentRow();
    if (row < 0) {
        warn(LoadErrorText(qor::str::kChooseItemToDelete), windowTitle());
        return;
    }
    m_model.removeAt(row);
    delete m_industries->takeItem(row);
    if (m_industries->count() > 0)
        m_industries->setCurrentRow(std::min(row, m_industries->count() - 1));
    enableIndustryEdits();
    setModified(true);
}

void CModelSheet::OnNext() {
    const int row = m_industries->currentRow();
    if (Page() != 1) return;
    if (row < 0) {
        warn(LoadErrorText(qor::str::kChooseIndustry), windowTitle());
        return;
    }
    m_current = row;
    m_page2 = m_model[row];
    m_industryName->setText(m_page2.industry);
    m_pages->setCurrentIndex(1);
    setWindowTitle(DlgCaption(450, LoadErrorText(qor::str::kCustomTemplateCaption)));
    GetDlgItem(IDC_BACK)->setEnabled(true);
    GetDlgItem(IDC_NEXT)->setEnabled(false);
    GetDlgItem(IDC_FINISH)->setEnabled(true);
    fillTemplates(0);
}

void CModelSheet::fillTemplates(int select) {
    const QSignalBlocker quiet(m_templates);
    m_templates->clear();
    m_templates->addItems(m_page2.names);
    const int row = m_page2.names.isEmpty() ? -1 : std::clamp(select, 0, int(m_page2.names.size()) - 1);
    m_templates->setCurrentRow(row);
    m_path->setText(row >= 0 ? m_page2.paths.value(row) : QString());
    GetDlgItem(IDC_DELETE_TEMPLATE)->setEnabled(row >= 0);
    GetDlgItem(IDC_MODIFY_TEMPLATE)->setEnabled(row >= 0);
}

// ---- CModelFileDlg --------------------------------------------------------

CModelFileDlg::CModelFileDlg(QWidget* parent) : QFileDialog(parent) {
    // Our own widgets, so the labels below are the ones shown.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFiles);
    setWindowTitle(LoadErrorText(qor::str::kAddTemplate));
    // The label names its pattern already: shown once.
    setOption(QFileDialog::HideNameFilterDetails, true);
    setNameFilter(QtFileFilter(LoadErrorText(qor::str::kTemplateFileFilter)));
    setDefaultSuffix(QStringLiteral("rep"));
    setLabelText(QFileDialog::LookIn, LoadErrorText(qor::str::kLookInLabel));
    setLabelText(QFileDialog::Accept, LoadErrorText(qor::str::kAdd));
    setLabelText(QFileDialog::FileName, LoadErrorText(qor::str::kTemplateName));
    setLabelText(QFileDialog::FileType, LoadErrorText(qor::str::kTemplateFileExtension));
    setLabelText(QFileDialog::Reject, LoadErrorText(qor::str::kCancelButton));
    qor::KeepFileColumnsReadable(this);
}

std::optional<QStringList> CModelFileDlg::Choose(QWidget* parent) {
    CModelFileDlg dlg(parent);
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.selectedFiles();
}

void CModelSheet::OnAddTemplates() {
    const std::optional<QStringList> paths = CModelFileDlg::Choose(this);
    if (!paths || paths->isEmpty()) return;
    QStringList messages;
    const auto check = [](const QString& path) {
        // A report being worked on checks the file's kind (it tells why).
        if (!CCalcInterpreter::Instance().GetDocument()) return true;
        return DocFiles::CheckTemplateFile(path) != 0;
    };
    const int before = int(m_page2.names.size());
    AddTemplateFiles(m_page2, *paths, check, &messages);
    for (const QString& m : messages) warn(m, windowTitle());
    fillTemplates(before);
    setModified(true);
}

void CModelSheet::OnModifyTemplate() {
    const int row = m_templates->currentRow();
    if (row < 0 || row >= m_page2.names.size()) return;
    CTemplateDlg dlg(this);
    dlg.m_strName = m_page2.names[row];
    dlg.m_strPath = m_page2.paths[row];
    if (dlg.DoModal() != IDOK) return;
    const TemplateEntry e = TemplateFromEdits(dlg.m_strName, dlg.m_strPath, m_list.Folder());
    // Two templates of one name would be one key in the list: the other
    // would be lost on the next write.
    if (listedIn(m_page2.names, e.name, row)) {
        warn(LoadErrorText(qor::str::kTemplateExists).replace(QStringLiteral("%s"), e.name), windowTitle());
        return;
    }
    if (const QString p = TemplateListFile::TemplateNameProblem(e.name); !p.isEmpty()) {
        warn(p, windowTitle());
        return;
    }
    m_page2.names[row] = e.name;
    m_page2.paths[row] = e.path;
    fillTemplates(row);
    setModified(true);
}

void CModelSheet::OnDeleteTemplate() {
    const int row = m_templates->currentRow();
    if (row < 0 || row >= m_page2.names.size()) return;
    m_page2.names.removeAt(row);
    m_page2.paths.removeAt(row);
    fillTemplates(std::min(row, int(m_page2.names.size()) - 1));
    setModified(true);
}

void CModelSheet::keepPage2() {
    if (m_current >= 0 && m_current < m_model.size()) m_model[m_current] = m_page2;
}

void CModelSheet::OnBack() {
    if (Page() != 2) return;
    keepPage2();
    m_page2 = TemplateIndustry{};
    m_pages->setCurrentIndex(0);
    setWindowTitle(DlgCaption(449, LoadErrorText(qor::str::kCustomTemplateCaption)));
    GetDlgItem(IDC_BACK)->setEnabled(false);
    GetDlgItem(IDC_NEXT)->setEnabled(true);
    GetDlgItem(IDC_FINISH)->setEnabled(false);
}

bool CModelSheet::write() {
    QString error;
    bool ok = false;
    try {
        ok = m_list.WriteAll(m_model, &error);
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    if (!ok) {
        warn(error, windowTitle());
        setModified(true);
        return false;
    }
    setModified(false);
    return true;
}

void CModelSheet::OnFinish() {
    if (Page() == 2) keepPage2();
    if (write()) EndDialog(IDOK);
}

void CModelSheet::OnApply() {
    if (Page() == 2) keepPage2();
    write();
}

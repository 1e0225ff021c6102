#include "dialogs/batchcmd_dlgs.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "cmdlang/calcerrors.h"
#include "cmdlang/ccalcinterpreter.h"
#include "reader/cappenvironment.h"

using namespace qor;

namespace {

void warn(const QString& text, const QString& caption) {
    messageBox(text, caption, MsgButtons::Ok, MsgIcon::Warning);
}

std::optional<QString> chooseScript(const QString& current) {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kFileIs);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kScriptFileFilter));
    if (!current.isEmpty()) prompt.directory = current;
    return chooseFile(prompt);
}

}  // namespace

// ---- CBatchCmdSetupDlg ----------------------------------------------------

CBatchCmdSetupDlg::CBatchCmdSetupDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kBatchCmdEditCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_name = Bind(IDC_NAME, new QLineEdit(this));
    m_name->setMaxLength(kMaxName);
    m_path = Bind(IDC_PATH, new QLineEdit(this));
    m_path->setMaxLength(kMaxPath);
    AddDlgRow(grid, LoadErrorText(qor::str::kBatchCmdNameLabel), m_name);
    AddDlgRow(grid, LoadErrorText(qor::str::kBatchCmdFileLabel), m_path);
    auto* browse = DlgButton(this, IDC_BROWSE, LoadErrorText(qor::str::kBrowse));
    grid->addWidget(browse, grid->rowCount() - 1, 2);
    connect(browse, &QPushButton::clicked, this, &CBatchCmdSetupDlg::OnBrowse);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CBatchCmdSetupDlg::OnInitDialog() {
    m_name->setText(m_strName);
    m_path->setText(m_strPath);
    m_name->setFocus();
    return true;
}

void CBatchCmdSetupDlg::OnBrowse() {
    if (const std::optional<QString> path = chooseScript(m_path->text()); path && !path->isEmpty())
        m_path->setText(*path);
}

void CBatchCmdSetupDlg::OnOK() {
    QString name = m_name->text();
    while (!name.isEmpty() && name.back().isSpace()) name.chop(1);
    const QString path = m_path->text();
    QString problem;
    if (name.isEmpty())
        problem = LoadErrorText(qor::str::kNameEmpty);
    else if (path.isEmpty())
        problem = LoadErrorText(qor::str::kFileEmpty);
    else if (m_otherNames.contains(name))
        problem = DuplicateNameText(name);
    if (!problem.isEmpty()) {
        warn(problem, windowTitle());
        return;
    }
    m_strName = name;
    m_strPath = path;
    EndDialog(IDOK);
}

// ---- CBatchCmdDlg ---------------------------------------------------------

CBatchCmdDlg::CBatchCmdDlg(ProfileAccess profile, QWidget* parent)
    : CQorDialog(parent, IDD), m_list(std::move(profile)) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kBatchCmdCaption)));
    auto* layout = new QHBoxLayout(this);
    m_names = Bind(IDC_LIST, new QListWidget(this));
    layout->addWidget(m_names, 1);
    auto* column = new QVBoxLayout;
    auto* run = DlgButton(this, IDOK, LoadErrorText(qor::str::kExecute));
    run->setDefault(true);
    column->addWidget(run);
    auto* add = DlgButton(this, IDC_ADD, LoadErrorText(qor::str::kAddButton));
    auto* del = DlgButton(this, IDC_DELETE, LoadErrorText(qor::str::kDelete));
    auto* modify = DlgButton(this, IDC_MODIFY, LoadErrorText(qor::str::kModifyButton));
    column->addWidget(add);
    column->addWidget(del);
    column->addWidget(modify);
    column->addWidget(DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kCancelButton)));
    column->addStretch();
    layout->addLayout(column);
    connect(add, &QPushButton::clicked, this, &CBatchCmdDlg::OnAdd);
    connect(del, &QPushButton::clicked, this, &CBatchCmdDlg::OnDelete);
    connect(modify, &QPushButton::clicked, this, &CBatchCmdDlg::OnModify);
    connect(m_names, &QListWidget::itemDoubleClicked, this, [this] { OnOK(); });
}

void CBatchCmdDlg::fill(int select) {
    m_entries = m_list.Load();
    m_names->clear();
    for (const BatchScript& e : m_entries) m_names->addItem(e.name);
    if (!m_entries.isEmpty())
        m_names->setCurrentRow(std::clamp(select, 0, int(m_entries.size()) - 1));
}

bool CBatchCmdDlg::OnInitDialog() {
    m_strPath.clear();
    fill(0);
    return true;
}

void CBatchCmdDlg::OnOK() {
    const int row = m_names->currentRow();
    if (row < 0 || row >= m_entries.size()) return;
    m_strPath = m_entries[row].path;
    EndDialog(IDOK);
}

void CBatchCmdDlg::OnAdd() {
    const std::optional<QString> path = chooseScript(QString());
    if (!path || path->isEmpty()) return;
    QString error;
    if (!m_list.Add({BatchScriptList::NameOfPath(*path), *path}, &error)) {
        warn(error, windowTitle());
        return;
    }
    fill(int(m_entries.size()));
}

void CBatchCmdDlg::OnDelete() {
    const int row = m_names->currentRow();
    if (row < 0 || row >= m_entries.size()) return;
    if (messageBox(LoadErrorText(qor::str::kConfirmDeleteItem), windowTitle(), MsgButtons::YesNo,
                   MsgIcon::Question, MsgAnswer::No) == MsgAnswer::No)
        return;
    QString error;
    if (!m_list.Remove(row, &error)) warn(error, windowTitle());
    fill(0);
}

void CBatchCmdDlg::OnModify() {
    const int row = m_names->currentRow();
    if (row < 0 || row >= m_entries.size()) return;
    CBatchCmdSetupDlg setup(this);
    setup.m_strName = m_entries[row].name;
    setup.m_strPath = m_entries[row].path;
    for (int i = 0; i < m_entries.size(); ++i)
        if (i != row) setup.m_otherNames.append(m_entries[i].name);
    if (setup.DoModal() != IDOK) return;
    QString error;
    if (!m_list.Modify(row, {setup.m_strName, setup.m_strPath}, &error)) {
        warn(error, windowTitle());
        fill(row);
        return;
    }
    const bool moved = setup.m_strName != m_entries[row].name || setup.m_strPath != m_entries[row].path;
    fill(moved ? int(m_entries.size()) - 1 : row);
}

bool qor::RunBatchScript(const QString& path, const QString& caption) {
    // A failing command of the script asks whether to go on; the user
    // who was asked has seen the failure and is not told it again.
    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    const cmd::CalcSubsystemHooks saved = ci.SubsystemHooks();
    bool told = false;
    cmd::CalcSubsystemHooks hooks = saved;
    hooks.batchError = [&told, ask = saved.batchError](const QString& message) {
        if (!ask) return cmd::BatchErrorAnswer{};
        told = true;
        return ask(message);
    };
    ci.SetSubsystemHooks(hooks);
    QString error;
    const bool ran = CAppEnvironment::Instance().RunBatchFile(path, &error);
    ci.SetSubsystemHooks(saved);
    if (!ran && !told) {
        // A file that cannot be read never reached the command language.
        const QFileInfo file(path);
        const int code = file.isFile() && file.size() > 0 ? ci.LastErrorCode() : CALC_ERR_FILE;
        warn(BatchFailureText(code, error), caption);
    }
    return ran;
}

void qor::RunCommonBatchCommand(QWidget* parent) {
    try {
        CBatchCmdDlg dlg(ApplicationProfile(), parent);
        if (dlg.DoModal() != CQorDialog::IDOK) return;
        const QString path = dlg.m_strPath;
        if (path.isEmpty() || path.size() >= CBatchCmdSetupDlg::kMaxPath) return;
        RunBatchScript(path, dlg.windowTitle());
    } catch (const std::exception& e) {
        warn(QString::fromLocal8Bit(e.what()), LoadErrorText(qor::str::kBatchCmdCaption));
    }
}

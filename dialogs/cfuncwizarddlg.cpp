#include "dialogs/cfuncwizarddlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <exception>

#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

// The host's service list, asked afresh on every call: the list is the
// environment's and may be reloaded between runs.
class AppServiceSource : public IFuncServiceSource {
public:
    QList<FuncWizardService> Services() override {
        CAppServiceList& list = *CAppEnvironment::Instance().EnsureLoggedIn();
        QList<FuncWizardService> out;
        for (int i = 0; i < list.GetCount(); ++i) {
            const CServiceRef entry = list.GetEntry(i);
            FuncWizardService s;
            s.name = entry.m_strName;
            s.number = entry.m_nNumber;
            s.help = entry.m_nHelp;
            s.description = list.GetServiceDescription(entry.m_nNumber);
            // The list answers one array that every call refills: copy
            // each answer before asking again.
            const QStringList second = list.GetItemNames(entry.m_nNumber, 1, 1);
            const QStringList first = list.GetItemNames(entry.m_nNumber, 0, 1);
            ServiceFunctionLines(second, first, entry.m_nItemCount, &s.lines, &s.firstNames);
            out << s;
        }
        return out;
    }
    CServiceFuncItem FindItem(const QString& name) override { return list().FindItem(name); }
    QString ItemForm(const CServiceFuncItem& item) override { return list().GetItemForm(item); }
    QString ItemDescription(const CServiceFuncItem& item) override {
        return list().GetItemDescription(item);
    }
    QString ItemConference(const CServiceFuncItem& item) override {
        return list().GetItemConference(item);
    }

private:
    static CAppServiceList& list() { return *CAppEnvironment::Instance().EnsureLoggedIn(); }
};

IFuncServiceSource* g_source = nullptr;

IFuncServiceSource& source() { return g_source ? *g_source : HostServiceSource(); }

}  // namespace

namespace qor {

IFuncServiceSource& HostServiceSource() {
    static AppServiceSource s;
    return s;
}

IFuncServiceSource* SetFuncServiceSource(IFuncServiceSource* s) {
    IFuncServiceSource* old = g_source;
    g_source = s;
    return old;
}

}  // namespace qor

CFuncWizardDlg::CFuncWizardDlg(QWidget* parent)
    : CQorDialog(parent, IDD), m_acctFuncDlg(this) {
    setWindowTitle(res::templateCaption(IDD).value_or(QString()).trimmed());
    auto controlText = [](int id, const QString& fallback) {
        const auto info = res::controlInfo(IDD, id);
        return info && !info->caption.isEmpty() ? info->caption : fallback;
    };
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    m_categories = Bind(IDC_CATEGORIES, new QListWidget(this));
    m_functions = Bind(IDC_FUNCTIONS, new QListWidget(this));
    left->addWidget(new QLabel(LoadErrorText(qor::str::kFunctionCategoryLabel), this));
    left->addWidget(m_categories);
    right->addWidget(new QLabel(LoadErrorText(qor::str::kFunctionNameHeading), this));
    right->addWidget(m_functions);
    lists->addLayout(left);
    lists->addLayout(right);
    layout->addLayout(lists);
    m_description = Bind(IDC_DESCRIPTION, new QLabel(this));
    layout->addWidget(m_description);
    // The selected function's form and description, besides the category's.
    m_functionHelp = new QLabel(this);
    m_functionHelp->setObjectName(QStringLiteral("functionHelp"));
    m_functionHelp->setWordWrap(true);
    m_functionHelp->setTextFormat(Qt::PlainText);
    m_functionHelp->setMinimumHeight(2 * m_functionHelp->fontMetrics().lineSpacing());
    layout->addWidget(m_functionHelp);
    layout->addWidget(new QLabel(
        LoadErrorText(qor::str::kFunctionWizardHint), this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* previous = Bind(IDC_PREVIOUS, new QPushButton(controlText(IDC_PREVIOUS, LoadErrorText(qor::str::kPrevious)), this));
    m_next = Bind(IDC_NEXT, new QPushButton(controlText(IDC_NEXT, LoadErrorText(qor::str::kNext)), this));
    auto* cancel = Bind(IDCANCEL, new QPushButton(controlText(IDCANCEL, LoadErrorText(qor::str::kCancelButton)), this));
    m_next->setDefault(true);
    previous->setAutoDefault(false);
    cancel->setAutoDefault(false);
    buttons->addWidget(previous);
    buttons->addWidget(m_next);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_categories, &QListWidget::currentRowChanged, this,
            &CFuncWizardDlg::OnSelectCategory);
    connect(m_functions, &QListWidget::currentRowChanged, this,
            &CFuncWizardDlg::OnSelectFunction);
    connect(m_functions, &QListWidget::itemDoubleClicked, this,
            &CFuncWizardDlg::OnFunctionDoubleClicked);
    connect(previous, &QPushButton::clicked, this, &CFuncWizardDlg::OnPrevious);
    connect(m_next, &QPushButton::clicked, this, &CFuncWizardDlg::OnNext);
    connect(cancel, &QPushButton::clicked, this, &CFuncWizardDlg::OnCancel);
}

CFuncWizardDlg::~CFuncWizardDlg() = default;

void CFuncWizardDlg::ShowError(const QString& reason) {
    messageBox(reason, LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok, MsgIcon::Warning);
}

bool CFuncWizardDlg::OnInitDialog() {
    m_confirmed = 0;
    QList<FuncWizardService> services;
    try {
        services = source().Services();
    } catch (const std::exception& e) {
        // Without the services the built-in functions still serve.
        ShowError(QString::fromUtf8(e.what()));
        services.clear();
    }
    m_model = FuncWizardModel(std::move(services));
    {
        const QSignalBlocker block(m_categories);
        m_categories->clear();
        m_categories->addItems(m_model.CategoryTexts());
    }
    ShowModel();
    m_categories->setFocus();
    return true;
}

CQorDialog* CFuncWizardDlg::ArgumentDialog(int templateId) {
    if (templateId == CAcctFuncDlg::IDD) return &m_acctFuncDlg;
    if (!Available(templateId) || templateId == kIdNoArguments) return nullptr;
    std::unique_ptr<CQorDialog>& dlg = m_argDlgs[templateId];
    if (!dlg && templateId == CReadFileDataDlg::IDD) dlg = std::make_unique<CReadFileDataDlg>(this);
    if (!dlg && templateId == CSqlWizardDlg::IDD) dlg = std::make_unique<CSqlWizardDlg>(this);
    if (!dlg && templateId == CReadDbDataDlg::IDD) dlg = std::make_unique<CReadDbDataDlg>(this);
    if (!dlg) dlg = std::make_unique<CFuncArgDlg>(templateId, this);
    return dlg.get();
}

bool CFuncWizardDlg::Available(int step) const {
    return step == kIdNoArguments || step == CAcctFuncDlg::IDD || step == CReadFileDataDlg::IDD ||
           step == CSqlWizardDlg::IDD || step == CReadDbDataDlg::IDD || CFuncArgDlg::Knows(step);
}

void CFuncWizardDlg::ShowModel() {
    {
        const QSignalBlocker block(m_functions);
        m_functions->clear();
        m_functions->addItems(m_model.Functions());
        for (int i = 0; i < m_functions->count(); ++i)
            m_functions->item(i)->setToolTip(FunctionHelpText(m_functions->item(i)->text()));
    }
    m_description->setText(m_model.Description());
    ShowSelections();
}

void CFuncWizardDlg::ShowSelections() {
    {
        const QSignalBlocker b1(m_categories);
        const QSignalBlocker b2(m_functions);
        m_categories->setCurrentRow(m_model.CategoryIndex());
        m_functions->setCurrentRow(m_model.FunctionIndex());
    }
    m_strCategory = m_categories->currentItem() ? m_categories->currentItem()->text() : QString();
    m_strFunction = m_model.State().functionName;
    m_next->setText(m_model.NextCaption());
    m_functionHelp->setText(m_model.FunctionHelp());
    // A function whose argument dialog is not here cannot go on.
    m_next->setEnabled(Available(m_model.NextStep()));
}

void CFuncWizardDlg::OnSelectCategory() {
    m_model.SelectCategory(m_categories->currentRow());
    ShowModel();
}

void CFuncWizardDlg::OnSelectFunction() {
    m_model.SelectFunction(m_functions->currentRow());
    ShowSelections();
}

void CFuncWizardDlg::OnFunctionDoubleClicked() {
    m_model.SelectFunction(m_functions->currentRow());
    ShowSelections();
    GoOn(true);
}

void CFuncWizardDlg::OnNext() { GoOn(false); }

bool CFuncWizardDlg::PrepareAcctFunc(bool takeReference, bool* isAccounting) {
    const FuncWizardService* service = m_model.Service();
    if (!service) return false;
    const QString name = m_model.ServiceFunctionName();
    CAcctFuncDlg& dlg = m_acctFuncDlg;
    try {
        IFuncServiceSource& src = source();
        const CServiceFuncItem item = src.FindItem(name);
        dlg.m_strName = name;
        dlg.m_strCaption = service->name;
        dlg.m_nHelp = service->help;
        dlg.m_strForm = src.ItemForm(item);
        dlg.m_strDescription = src.ItemDescription(item);
        *isAccounting = IsAccountingService(service->name);
        dlg.m_nKind = *isAccounting ? CAcctFuncDlg::kServiceKind : 1;
        dlg.m_item = *isAccounting ? item : CServiceFuncItem{};
        dlg.SetConference([](const CServiceFuncItem& i) { return source().ItemConference(i); });
        if (*isAccounting && takeReference) dlg.m_strText = src.ItemConference(item);
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

void CFuncWizardDlg::GoOn(bool doubleClick) {
    const int step = m_model.NextStep();
    if (!step || !Available(step)) return;
    if (step == kIdNoArguments) {
        EndDialog(kIdNoArguments);
        return;
    }
    if (step == CAcctFuncDlg::IDD) {
        bool accounting = false;
        // A double click on an accounting function takes its reference
        // text at once; its dialog is prepared first so the call names
        // this function.
        if (!PrepareAcctFunc(doubleClick, &accounting)) return;
        if (doubleClick && accounting) {
            m_confirmed = step;
            EndDialog(IDOK);
            return;
        }
    }
    CQorDialog* dlg = ArgumentDialog(step);
    if (auto* arg = qobject_cast<CFuncArgDlg*>(dlg)) arg->m_nFuncKind = m_model.State().statKind;
    const int r = dlg->DoModal();
    if (r == IDCANCEL) {
        m_model.ClearCategory();
        m_strCategory.clear();
        m_strFunction.clear();
        EndDialog(IDCANCEL);
        return;
    }
    if (r == IDOK) {
        m_confirmed = step;
        EndDialog(IDOK);
        return;
    }
    ShowSelections();
}

void CFuncWizardDlg::OnCancel() {
    m_strCategory.clear();
    m_strFunction.clear();
    EndDialog(IDCANCEL);
}

FuncArgFields CFuncWizardDlg::Fields() const {
    FuncArgFields f;
    if (m_confirmed == CAcctFuncDlg::IDD) {
        f.serviceName = m_acctFuncDlg.m_strName;
        f.serviceText = m_acctFuncDlg.m_strText;
        return f;
    }
    const auto it = m_argDlgs.find(m_confirmed);
    if (it == m_argDlgs.end() || !it->second) return f;
    if (const auto* file = qobject_cast<const CReadFileDataDlg*>(it->second.get())) {
        f.source = file->m_strFile;
        f.table = file->m_strTable;
        f.field = file->m_strField;
        f.record = file->m_strRecord;
        f.condition = file->m_strCondition;
        return f;
    }
    if (const auto* db = qobject_cast<const CReadDbDataDlg*>(it->second.get())) {
        f.source = db->m_strAccountSet;
        f.table = db->m_strTable;
        f.field = db->m_strField;
        f.record = db->m_strRecord;
        f.condition = db->m_strCondition;
        return f;
    }
    if (const auto* sql = qobject_cast<const CSqlWizardDlg*>(it->second.get())) {
        f.sql = sql->m_strSql;
        f.displayArea = sql->m_strDisplayArea;
        f.horizontal = sql->m_strHorizontal;
        f.limit = sql->m_strLimit;
        return f;
    }
    const auto* arg = qobject_cast<const CFuncArgDlg*>(it->second.get());
    if (!arg) return f;
    const QStringList& v = arg->m_values;
    f.arg1 = v.value(0);
    f.arg2 = v.value(1);
    f.arg3 = v.value(2);
    return f;
}

FuncWizardOutcome CFuncWizardDlg::Outcome(int result) const {
    FuncWizardOutcome out;
    out.result = result;
    out.functionName = m_model.State().functionName;
    if (result == IDOK) out.callText = BuildFunctionCall(m_model.State(), Fields());
    return out;
}

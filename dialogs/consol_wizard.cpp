#include "dialogs/consol_wizard.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/consol_logic.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

namespace qor::consol {

// ---- WizardPage ---------------------------------------------------------

WizardPage::WizardPage(int templateId, QWidget* parent)
    : QWidget(parent), m_templateId(templateId) {}

QString WizardPage::Caption() const {
    return res::templateCaption(m_templateId).value_or(QString()).trimmed();
}

QString WizardPage::ControlCaption(int id, const QString& fallback) const {
    const auto info = res::controlInfo(m_templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

void WizardPage::Refuse(int messageId, const QString& caption) {
    messageBox(LoadErrorText(messageId), caption, MsgButtons::Ok, MsgIcon::Warning);
}

// ---- WizardSheet --------------------------------------------------------

WizardSheet::WizardSheet(const QString& caption, QWidget* parent, int startPage)
    : CQorDialog(parent), m_startPage(startPage) {
    setWindowTitle(caption);
    m_stack = new QStackedWidget(this);

    m_cancel = new QPushButton(LoadErrorText(str::kCancelButton), this);
    m_back = new QPushButton(LoadErrorText(str::kPrevious), this);
    m_next = new QPushButton(LoadErrorText(str::kNext), this);
    m_finish = new QPushButton(LoadErrorText(str::kFinish), this);
    for (QPushButton* b : {m_cancel, m_back, m_next, m_finish}) b->setAutoDefault(false);
    m_next->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_finish);
    buttons->setSpacing(5);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_stack, 1);
    layout->addLayout(buttons);

    connect(m_back, &QPushButton::clicked, this, [this] { PressBack(); });
    connect(m_next, &QPushButton::clicked, this, [this] { PressNext(); });
    connect(m_finish, &QPushButton::clicked, this, [this] { PressFinish(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { done(IDCANCEL); });
}

void WizardSheet::AddPage(WizardPage* page) {
    page->m_sheet = this;
    m_pages.append(page);
    m_stack->addWidget(page);
}

WizardPage* WizardSheet::GetPage(int index) const {
    return index >= 0 && index < m_pages.size() ? m_pages[index] : nullptr;
}

void WizardSheet::Start() {
    if (!m_pages.isEmpty()) activate(std::clamp(m_startPage, 0, int(m_pages.size()) - 1));
}

int WizardSheet::DoModal() {
    const int r = CQorDialog::DoModal();
    return r == ID_WIZFINISH ? ID_WIZFINISH : IDCANCEL;
}

void WizardSheet::SetWizardButtons(bool back, bool next) {
    m_back->setEnabled(back);
    m_next->setEnabled(next);
}

QPushButton* WizardSheet::GetDlgItem(int id) const {
    switch (id) {
        case IDCANCEL:
            return m_cancel;
        case ID_WIZBACK:
            return m_back;
        case ID_WIZNEXT:
            return m_next;
        case ID_WIZFINISH:
            return m_finish;
        default:
            return nullptr;
    }
}

bool WizardSheet::PressBack() {
    WizardPage* page = GetActivePage();
    if (!page || m_active == 0 || !m_back->isEnabled()) return false;
    if (!page->OnWizardBack()) return false;
    activate(m_active - 1);
    return true;
}

bool WizardSheet::PressNext() {
    WizardPage* page = GetActivePage();
    if (!page || m_active + 1 >= m_pages.size() || !m_next->isEnabled()) return false;
    if (!page->OnWizardNext()) return false;
    activate(m_active + 1);
    return true;
}

bool WizardSheet::PressFinish() {
    WizardPage* page = GetActivePage();
    if (page && !page->OnWizardFinish()) return false;
    done(ID_WIZFINISH);
    return true;
}

void WizardSheet::activate(int index) {
    WizardPage* page = GetPage(index);
    if (!page) return;
    m_active = index;
    m_stack->setCurrentWidget(page);
    if (!page->m_initialised) {
        page->m_initialised = true;
        page->OnInitDialog();
    }
    SetWizardButtons(index > 0, index + 1 < m_pages.size());
    page->OnSetActive();
    const QString caption = page->Caption();
    if (!caption.isEmpty()) setWindowTitle(caption);
}

// ---- ConditionPage ------------------------------------------------------

ConditionPage::ConditionPage(int templateId, const ConditionIds& ids, QWidget* parent)
    : WizardPage(templateId, parent) {
    m_first = new QComboBox(this);
    m_op = new QComboBox(this);
    m_value = new QComboBox(this);
    // Values are typed as often as picked (a year not yet on any page).
    m_value->setEditable(true);
    m_op->addItems(OperatorEntries());
    m_op->setCurrentIndex(-1);
    m_edit = new QLineEdit(this);
    auto* andButton = new QPushButton(ControlCaption(ids.andButton, LoadErrorText(str::kAndOption)), this);
    auto* orButton = new QPushButton(ControlCaption(ids.orButton, LoadErrorText(str::kOrOption)), this);
    auto* addButton = new QPushButton(ControlCaption(ids.addButton, LoadErrorText(str::kJoinButton)), this);

    AddControl(ids.first, m_first);
    AddControl(ids.op, m_op);
    AddControl(ids.value, m_value);
    AddControl(ids.andButton, andButton);
    AddControl(ids.orButton, orButton);
    AddControl(ids.addButton, addButton);
    AddControl(ids.edit, m_edit);

    auto* grid = new QGridLayout(this);
    grid->addWidget(m_first, 0, 0);
    grid->addWidget(m_op, 0, 1);
    grid->addWidget(m_value, 0, 2);
    auto* row = new QHBoxLayout;
    row->addWidget(andButton);
    row->addWidget(orButton);
    row->addStretch(1);
    row->addWidget(addButton);
    grid->addLayout(row, 1, 0, 1, 3);
    grid->addWidget(m_edit, 2, 0, 1, 3);
    grid->setRowStretch(3, 1);

    connect(andButton, &QPushButton::clicked, this, &ConditionPage::OnAnd);
    connect(orButton, &QPushButton::clicked, this, &ConditionPage::OnOr);
    connect(addButton, &QPushButton::clicked, this, &ConditionPage::OnAdd);
}

QString ConditionPage::Condition() const { return m_edit->text(); }

void ConditionPage::OnAnd() { m_edit->setText(AppendAnd(m_edit->text())); }
void ConditionPage::OnOr() { m_edit->setText(AppendOr(m_edit->text())); }
void ConditionPage::OnAdd() { m_edit->setText(AppendTerm(m_edit->text())); }

QString ConditionPage::ConditionOnLeave() const {
    const QString typed = m_edit->text();
    return typed.isEmpty() ? AppendTerm(typed) : typed;
}

void ConditionPage::FillFirst(const QStringList& entries) {
    m_first->clear();
    m_first->addItems(entries);
    m_first->setCurrentIndex(-1);
}

void ConditionPage::FillValues(const QStringList& entries) {
    m_value->clear();
    m_value->addItems(entries);
    m_value->setCurrentIndex(-1);
    m_value->clearEditText();
}

// ---- KeywordConditionPage -----------------------------------------------

KeywordConditionPage::KeywordConditionPage(int templateId, const ConditionIds& ids,
                                           const KeywordFlags* flags,
                                           const KeywordValueLists* values, QString* store,
                                           bool storeOnBack, bool backEnabled, QWidget* parent)
    : ConditionPage(templateId, ids, parent),
      m_flags(flags),
      m_values(values),
      m_store(store),
      m_storeOnBack(storeOnBack),
      m_backEnabled(backEnabled) {
    connect(FirstCombo(), &QComboBox::currentTextChanged, this,
            &KeywordConditionPage::OnKeywordChanged);
}

void KeywordConditionPage::OnInitDialog() {
    m_customName = ::CustomKeywordName;
    FillFirst(KeywordEntries(*m_flags, m_customName));
}

void KeywordConditionPage::OnSetActive() { Sheet()->SetWizardButtons(m_backEnabled, true); }

void KeywordConditionPage::OnKeywordChanged() {
    FillValues(KeywordValueEntries(FirstCombo()->currentText(), *m_values, m_customName));
}

QString KeywordConditionPage::AppendTerm(const QString& condition) const {
    return AppendPageTerm(condition, FirstCombo()->currentText(), OperatorCombo()->currentText(),
                          ValueCombo()->currentText());
}

bool KeywordConditionPage::OnWizardBack() {
    if (m_storeOnBack) *m_store = Condition();
    return true;
}

bool KeywordConditionPage::OnWizardNext() {
    *m_store = ConditionOnLeave();
    ConditionEdit()->setText(*m_store);
    return true;
}

bool KeywordConditionPage::OnWizardFinish() { return OnWizardNext(); }

}  // namespace qor::consol

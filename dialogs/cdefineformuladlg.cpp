#include "dialogs/cdefineformuladlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString caption(int templateId) {
    return res::templateCaption(templateId).value_or(QString()).trimmed();
}

QString controlText(int templateId, int id, const QString& fallback) {
    const auto info = res::controlInfo(templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

template <class W>
W* item(QHash<int, QWidget*>& items, int id, W* w) {
    items.insert(id, w);
    w->setObjectName(QStringLiteral("ctl%1").arg(id));
    return w;
}

void refuse(int messageId, const QString& title) {
    messageBox(LoadErrorText(messageId), title, MsgButtons::Ok, MsgIcon::Warning);
}

IFormulaHelperDialogs g_defaultHelpers;

}  // namespace

namespace qor {

IFormulaHelperDialogs& FormulaHelperDialogs() { return g_defaultHelpers; }

}  // namespace qor

// ---- CFilterCondDlg -------------------------------------------------------

CFilterCondDlg::CFilterCondDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kEnterFilterCondition), this));
    m_condition = item(m_items, IDC_CONDITION, new QLineEdit(this));
    m_condition->setMaxLength(kFilterConditionMaxLength);
    layout->addWidget(m_condition);
    auto* buttons = new QHBoxLayout;
    auto* ok = item(m_items, kIdOk, new QPushButton(DlgButtonText(IDD, kIdOk), this));
    auto* previous =
        item(m_items, IDC_PREVIOUS, new QPushButton(controlText(IDD, IDC_PREVIOUS, "<"), this));
    auto* cancel =
        item(m_items, kIdCancel, new QPushButton(DlgButtonText(IDD, kIdCancel), this));
    ok->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(previous);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CFilterCondDlg::OnOK);
    connect(previous, &QPushButton::clicked, this, &CFilterCondDlg::OnPrevious);
    connect(cancel, &QPushButton::clicked, this, &CFilterCondDlg::OnCancel);
}

bool CFilterCondDlg::OnInitDialog() {
    m_condition->setText(m_strCondition);
    return true;
}

void CFilterCondDlg::OnOK() {
    const QString text = m_condition->text().left(kFilterConditionMaxLength);
    if (const int id = CheckFilterCondition(text)) {
        refuse(id, windowTitle());
        m_condition->setFocus();
        return;
    }
    m_strCondition = text;
    done(kIdOk);
}

void CFilterCondDlg::OnCancel() {
    m_strCondition.clear();
    done(kIdCancel);
}

void CFilterCondDlg::OnPrevious() { done(kIdPrevious); }

// ---- CDefineFormulaDlg ----------------------------------------------------

CDefineFormulaDlg::CDefineFormulaDlg(QWidget* parent)
    : CQorDialog(parent, IDD), m_wizardDlg(this), m_filterDlg(this), m_relationDlg(this) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_area = item(m_items, IDC_AREA, new QLineEdit(this));
    m_area->setMaximumWidth(120);
    m_formula = item(m_items, IDC_FORMULA, new QLineEdit(this));
    m_formula->setMaxLength(kDefineFormulaMaxLength);
    m_formula->setMinimumWidth(360);
    row->addWidget(m_area);
    row->addWidget(new QLabel(QStringLiteral("="), this));
    row->addWidget(m_formula, 1);
    layout->addLayout(row);

    auto* buttons = new QHBoxLayout;
    auto button = [&](int id, const QString& fallback) {
        auto* b = item(m_items, id, new QPushButton(controlText(IDD, id, fallback), this));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    QPushButton* wizard = button(IDC_FUNC_WIZARD, QStringLiteral("..."));
    QPushButton* filter = button(IDC_FILTER, QStringLiteral("..."));
    QPushButton* relation = button(IDC_RELATION, QStringLiteral("..."));
    buttons->addStretch();
    QPushButton* ok = button(kIdOk, DlgButtonText(IDD, kIdOk));
    QPushButton* cancel = button(kIdCancel, DlgButtonText(IDD, kIdCancel));
    ok->setDefault(true);
    layout->addLayout(buttons);

    connect(wizard, &QPushButton::clicked, this, &CDefineFormulaDlg::OnFuncWizard);
    connect(filter, &QPushButton::clicked, this, &CDefineFormulaDlg::OnFilter);
    connect(relation, &QPushButton::clicked, this, &CDefineFormulaDlg::OnRelation);
    connect(ok, &QPushButton::clicked, this, &CDefineFormulaDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CDefineFormulaDlg::OnCancel);
}

bool CDefineFormulaDlg::OnInitDialog() {
    m_area->setText(AreaText(area));
    SetFormulaText(formula);
    // The formula is what the user came to type (the area is already the
    // selection's): typing goes there and, as typing over a cell does,
    // replaces what it held; a click or an arrow keeps and edits it.
    m_formula->setFocus(Qt::OtherFocusReason);
    m_formula->selectAll();
    return true;
}

IFormulaHelperDialogs& CDefineFormulaDlg::Helpers() {
    return m_helpers ? *m_helpers : FormulaHelperDialogs();
}

void CDefineFormulaDlg::SetFormulaText(const QString& text) {
    m_formula->setMaxLength(std::max<int>(kDefineFormulaMaxLength, int(text.size())));
    m_formula->setText(text);
}

void CDefineFormulaDlg::OnFilter() {
    const QString f = m_formula->text();
    const QString a = m_area->text();
    if (Helpers().RunFilterCond(m_filterDlg) != kIdOk) {
        SetFormulaText(f);
        m_area->setText(a);
        return;
    }
    SetFormulaText(SpliceFilterClause(f, m_filterDlg.m_strCondition));
}

void CDefineFormulaDlg::OnRelation() {
    const QString f = m_formula->text();
    const QString a = m_area->text();
    RelationCondition state;
    if (Helpers().RunRelationCond(m_relationDlg, state) != kIdOk) {
        SetFormulaText(f);
        m_area->setText(a);
        return;
    }
    SetFormulaText(SpliceRelationClause(f, state.key, state.table, state.relatedKey));
}

void CDefineFormulaDlg::OnFuncWizard() {
    const QString f = m_formula->text();
    const FuncWizardOutcome out = Helpers().RunFuncWizard(m_wizardDlg);
    if (out.result == kIdCancel) {
        // A cancel anywhere in the wizard abandons the whole entry.
        OnCancel();
        return;
    }
    const int at = m_formula->cursorPosition();
    if (const std::optional<QString> text = AppendFunctionCall(f, out))
        SetFormulaText(*text);  // the caret after the call just added
    else
        m_formula->setCursorPosition(at);
    // The wizard's button had the focus when it opened: the next keys go on
    // with the formula, not to the button.
    m_formula->setFocus(Qt::OtherFocusReason);
}

void CDefineFormulaDlg::OnOK() {
    DlgArea parsed;
    if (const int id = CheckAreaText(m_area->text(), &parsed)) {
        refuse(id, windowTitle());
        m_area->setFocus();
        return;
    }
    area = parsed;
    const QString text = m_formula->text();
    if (text.size() > kDefineFormulaMaxLength) {
        messageBox(LoadErrorText(qor::str::kEnterAtMostChars).arg(kDefineFormulaMaxLength),
                   windowTitle(), MsgButtons::Ok, MsgIcon::Warning);
        m_formula->setFocus();
        return;
    }
    formula = text;
    done(kIdOk);
}

void CDefineFormulaDlg::OnCancel() {
    formula.clear();
    done(kIdCancel);
}

#include "dialogs/rowcolpage_dlgs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "dialogs/dlgbuild.h"
#include "dialogs/dlgexchange.h"
#include "dialogs/rowcolpage_logic.h"
#include "engine/messages.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString caption(int templateId, const QString& fallback) {
    const QString text = res::templateCaption(templateId).value_or(QString()).trimmed();
    return text.isEmpty() ? fallback : text;
}

QString controlText(int templateId, int id, const QString& fallback) {
    const auto info = res::controlInfo(templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

QString stringOr(int id, const QString& fallback) { return res::stringText(id).value_or(fallback); }

template <class W>
W* item(QHash<int, QWidget*>& items, int id, W* w) {
    items.insert(id, w);
    w->setObjectName(QStringLiteral("ctl%1").arg(id));
    return w;
}

// OK and Cancel at the foot of a dialog.
void addButtons(QDialog* dlg, int templateId, QHash<int, QWidget*>& items, QBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    auto* ok = item(items, kIdOk, new QPushButton(DlgButtonText(templateId, kIdOk), dlg));
    auto* cancel = item(items, kIdCancel, new QPushButton(DlgButtonText(templateId, kIdCancel), dlg));
    ok->setDefault(true);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
}

}  // namespace

// ---- CInsertCountDlg ------------------------------------------------------

CInsertCountDlg::CInsertCountDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_label = item(m_items, IDC_LABEL, new QLabel(this));
    m_count = item(m_items, IDC_COUNT, new QLineEdit(this));
    row->addWidget(m_label);
    row->addWidget(m_count);
    // The arrows step inside the range of what fits, bringing a count
    // typed outside it back to its nearer end; what is typed is read as
    // typed, so OK with a count outside it is told rather than quietly
    // replaced.
    row->addWidget(AttachSpin(this, IDC_SPIN, m_count, [this](const QString& text, int delta) {
        const qlonglong typed = text.trimmed().toLongLong();
        const int value = int(std::clamp<qlonglong>(typed, std::numeric_limits<int>::min(),
                                                    std::numeric_limits<int>::max()));
        return QString::number(stepSpin(value, delta, 1, countMaximum()));
    }));
    layout->addLayout(row);
    addButtons(this, IDD, m_items, layout);
}

int32_t CInsertCountDlg::countMaximum() const {
    if (room > 0) return room;
    const int32_t maximum = InsertCountModeOf(mode).maximum;
    return maximum ? maximum : std::numeric_limits<int32_t>::max();
}

bool CInsertCountDlg::OnInitDialog() {
    const InsertCountModeInfo info = InsertCountModeOf(mode);
    setWindowTitle(info.captionId ? stringOr(info.captionId, QString())
                                  : caption(IDD, windowTitle()));
    if (info.labelId) m_label->setText(stringOr(info.labelId, QString()));
    m_count->setText(QString::number(count));
    m_count->selectAll();
    return true;
}

void CInsertCountDlg::OnOK() {
    int32_t value = 0;
    if (RefuseOn(this, ExchangeInt(m_count->text(), 1, countMaximum(), IDC_COUNT, &value))) return;
    count = value;
    QDialog::accept();
}

// ---- CSwapDlg -------------------------------------------------------------

CSwapDlg::CSwapDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_sourceLabel = new QLabel(this);
    m_targetLabel = new QLabel(this);
    m_source = item(m_items, IDC_SOURCE, new QLineEdit(this));
    m_target = item(m_items, IDC_TARGET, new QLineEdit(this));
    grid->addWidget(m_sourceLabel, 0, 0);
    grid->addWidget(m_source, 0, 1);
    grid->addWidget(m_targetLabel, 1, 0);
    grid->addWidget(m_target, 1, 1);
    layout->addLayout(grid);
    addButtons(this, IDD, m_items, layout);
}

bool CSwapDlg::OnInitDialog() {
    const SwapModeTexts texts = SwapTextsOf(mode);
    setWindowTitle(texts.caption);
    m_sourceLabel->setText(texts.sourceLabel);
    m_targetLabel->setText(texts.targetLabel);
    m_source->setText(source);
    m_target->setText(target);
    return true;
}

void CSwapDlg::OnOK() {
    SwapDlgMembers typed = *this;
    typed.source = m_source->text();
    typed.target = m_target->text();
    if (!SwapListsAccepted(typed)) return;
    static_cast<SwapDlgMembers&>(*this) = typed;
    QDialog::accept();
}

// ---- CDefineCondDlg -------------------------------------------------------

CDefineCondDlg::CDefineCondDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD, LoadErrorText(qor::str::kDefineConditionCaption)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const int ids[6] = {IDC_LEFT_KEYWORD,  IDC_LEFT_RELATION,  IDC_LEFT_VALUE,
                        IDC_RIGHT_KEYWORD, IDC_RIGHT_RELATION, IDC_RIGHT_VALUE};
    const QStringList relations = {"<", "<=", "<>", "=", ">", ">="};
    for (int i = 0; i < 6; ++i) {
        m_combos[i] = item(m_items, ids[i], new QComboBox(this));
        // Values may also be typed.
        if (i % 3 == 2) m_combos[i]->setEditable(true);
        if (i % 3 == 1) m_combos[i]->addItems(relations);
        m_combos[i]->setCurrentIndex(-1);
        grid->addWidget(m_combos[i], i / 3 * 2, i % 3);
    }
    m_and = item(m_items, IDC_AND, new QCheckBox(controlText(IDD, IDC_AND, LoadErrorText(qor::str::kAndOption)), this));
    m_or = item(m_items, IDC_OR, new QCheckBox(controlText(IDD, IDC_OR, LoadErrorText(qor::str::kOrOption)), this));
    auto* joints = new QHBoxLayout;
    joints->addWidget(m_and);
    joints->addWidget(m_or);
    grid->addLayout(joints, 1, 0, 1, 3);
    layout->addLayout(grid);
    addButtons(this, IDD, m_items, layout);
    connect(m_and, &QCheckBox::clicked, this, &CDefineCondDlg::OnAnd);
    connect(m_or, &QCheckBox::clicked, this, &CDefineCondDlg::OnOr);
    connect(m_combos[0], &QComboBox::currentIndexChanged, this,
            [this] { fillValues(m_combos[0], m_combos[2]); });
    connect(m_combos[3], &QComboBox::currentIndexChanged, this,
            [this] { fillValues(m_combos[3], m_combos[5]); });
}

bool CDefineCondDlg::OnInitDialog() {
    const QStringList names = DefinedConditionKeywords(keywordFlags);
    for (QComboBox* combo : {m_combos[0], m_combos[3]}) {
        combo->clear();
        combo->addItems(names);
        combo->setCurrentIndex(-1);
    }
    showJoint();
    return true;
}

void CDefineCondDlg::fillValues(QComboBox* keyword, QComboBox* value) {
    value->clear();
    value->addItems(ConditionKeywordValues(values, keyword->currentText()));
}

void CDefineCondDlg::showJoint() {
    m_and->setChecked(joint == 1);
    m_or->setChecked(joint == 0);
}

void CDefineCondDlg::OnAnd() {
    joint = ToggleJoint(joint, 1);
    showJoint();
}

void CDefineCondDlg::OnOr() {
    joint = ToggleJoint(joint, 0);
    showJoint();
}

void CDefineCondDlg::OnOK() {
    const ConditionTriple left{m_combos[0]->currentText(), m_combos[1]->currentText(),
                               m_combos[2]->currentText()};
    const ConditionTriple right{m_combos[3]->currentText(), m_combos[4]->currentText(),
                                m_combos[5]->currentText()};
    const QString built = BuildCondition(left, joint, right);
    // An incomplete condition keeps the dialog open without a word.
    if (built.isEmpty()) return;
    condition = built;
    QDialog::accept();
}

// ---- CDeleteDlg -----------------------------------------------------------

CDeleteDlg::CDeleteDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_label = new QLabel(this);
    m_list = item(m_items, IDC_LIST, new QLineEdit(this));
    m_condition = item(m_items, IDC_CONDITION, new QLineEdit(this));
    auto* define = item(m_items, IDC_DEFINE_CONDITION,
                        new QPushButton(controlText(IDD, IDC_DEFINE_CONDITION, LoadErrorText(qor::str::kConditionButton)), this));
    grid->addWidget(m_label, 0, 0);
    grid->addWidget(m_list, 0, 1);
    grid->addWidget(define, 1, 0);
    grid->addWidget(m_condition, 1, 1);
    layout->addLayout(grid);
    addButtons(this, IDD, m_items, layout);
    connect(define, &QPushButton::clicked, this, &CDeleteDlg::OnDefineCondition);
}

bool CDeleteDlg::OnInitDialog() {
    const DeleteModeTexts texts = DeleteTextsOf(mode);
    setWindowTitle(texts.caption.isEmpty() ? caption(IDD, LoadErrorText(qor::str::kDelete)) : texts.caption);
    m_label->setText(texts.label);
    m_list->setText(list);
    m_condition->setText(condition);
    // A keyword condition picks pages: rows and columns have no keywords of
    // their own, so the condition is offered for pages only.
    const bool pages = mode == 3;
    GetDlgItem(IDC_DEFINE_CONDITION)->setEnabled(pages);
    m_condition->setEnabled(pages);
    return true;
}

void CDeleteDlg::OnOK() {
    DeleteDlgMembers typed = *this;
    typed.list = m_list->text();
    if (!DeleteListAccepted(typed)) {
        m_list->setFocus();
        m_list->selectAll();
        return;
    }
    list = typed.list;
    condition = mode == 3 ? m_condition->text() : QString();
    QDialog::accept();
}

void CDeleteDlg::OnDefineCondition() {
    if (mode != 3) return;
    DefineCondDlgMembers m;
    m.keywordFlags = keywordFlags;
    m.values = values;
    const auto result = Ask(m);
    if (!result) return;
    condition = m_condition->text() + result->condition;
    m_condition->setText(condition);
}

#include "dialogs/keyword_dlgs.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "dialogs/dlgexchange.h"
#include "dialogs/keyword_logic.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"

using namespace qor;

namespace {

constexpr int kCustomKind = 6;

const int kKeywordNames[7] = {qor::str::kKeywordUnitName, qor::str::kKeywordUnitCode,
                              qor::str::kKeywordYear,     qor::str::kKeywordQuarter,
                              qor::str::kKeywordMonth,    qor::str::kKeywordDay,
                              qor::str::kKeywordCustom};
// The same keywords as labels beside an edit, in the same order.
const int kKeywordLabels[7] = {qor::str::kUnitNameLabel,         qor::str::kUnitCodeLabel,
                               qor::str::kKeywordYearLabel,      qor::str::kKeywordQuarterLabel,
                               qor::str::kKeywordMonthLabel,     qor::str::kKeywordDayLabel,
                               qor::str::kKeywordCustomNameLabel};

}  // namespace

// ---- CSetKeywordDlg -------------------------------------------------------

CSetKeywordDlg::CSetKeywordDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kSetKeywordTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox(LoadErrorText(qor::str::kKeywordGroup), this);
    auto* grid = new QGridLayout(box);
    m_kinds = new QButtonGroup(this);
    for (int i = 0; i < 7; ++i) {
        auto* b = Bind(i == kCustomKind ? IDC_CUSTOM : 1006 + i,
                       new QRadioButton(LoadErrorText(kKeywordNames[i]), box));
        m_kinds->addButton(b, i);
        grid->addWidget(b, i < kCustomKind ? i / 2 : 3, i < kCustomKind ? i % 2 : 0);
    }
    m_type = Bind(IDC_TYPE, new QComboBox(box));
    m_name = Bind(IDC_NAME, new QComboBox(box));
    m_name->setEditable(true);
    m_name->setMinimumWidth(130);
    grid->addWidget(new QLabel(LoadErrorText(qor::str::kKeywordTypeLabel), box), 4, 0);
    grid->addWidget(m_type, 4, 1);
    grid->addWidget(new QLabel(LoadErrorText(qor::str::kKeywordNameLabel), box), 5, 0);
    grid->addWidget(m_name, 5, 1);
    layout->addWidget(box);
    AddDlgButtons(this, layout);
    connect(m_kinds, &QButtonGroup::idClicked, this, [this](int id) {
        kind = id;
        enableCustom();
        if (id == kCustomKind) m_name->setFocus();
    });
}

void CSetKeywordDlg::enableCustom() {
    m_type->setEnabled(kind == kCustomKind);
    m_name->setEnabled(kind == kCustomKind);
}

bool CSetKeywordDlg::OnInitDialog() {
    if (QAbstractButton* b = m_kinds->button(kind >= 0 && kind <= kCustomKind ? kind : 0))
        b->setChecked(true);
    m_type->clear();
    m_type->addItem(LoadErrorText(qor::str::kNumberKeywordType) + QStringLiteral("(1-30000)"));
    m_type->addItem(LoadErrorText(qor::str::kTextKeywordType));
    m_type->setCurrentIndex(customTypeText.isEmpty() ? -1 : m_type->findText(customTypeText));
    m_name->clear();
    for (int id : {qor::str::kDepartment, qor::str::kItem, qor::str::kCustomer, qor::str::kSupplier,
                   qor::str::kPerson})
        m_name->addItem(LoadErrorText(id));
    m_name->setCurrentIndex(-1);
    m_name->setEditText(customName);
    enableCustom();
    return true;
}

void CSetKeywordDlg::OnOK() {
    kind = std::max(0, m_kinds->checkedId());
    customTypeText = m_type->currentText();
    customType =
        m_type->currentIndex() < 0 || customTypeText == LoadErrorText(qor::str::kTextKeywordType)
            ? 0
            : 1;
    if (kind == kCustomKind) {
        const QString name = m_name->currentText().trimmed();
        if (RefuseOn(this, CheckCustomKeywordName(name))) return;
        customName = name;
    }
    ++kind;
    EndDialog(IDOK);
}

// ---- CCancelKeywordDlg ----------------------------------------------------

CCancelKeywordDlg::CCancelKeywordDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kClearKeywordAction)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 7; ++i) {
        m_checks[i] = Bind(IDC_CHECKS[i], new QCheckBox(LoadErrorText(kKeywordNames[i]), this));
        grid->addWidget(m_checks[i], i / 2, i % 2);
    }
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CCancelKeywordDlg::OnInitDialog() {
    for (size_t i = 0; i < 7; ++i) {
        m_checks[i]->setEnabled(enable[i] != 0);
        m_checks[i]->setChecked(flags[i] != 0);
    }
    return true;
}

void CCancelKeywordDlg::OnOK() {
    for (size_t i = 0; i < 7; ++i) flags[i] = m_checks[i]->isEnabled() && m_checks[i]->isChecked();
    EndDialog(IDOK);
}

// ---- CEnterKeywordDlg -----------------------------------------------------

CEnterKeywordDlg::CEnterKeywordDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kEnterKeywordAction)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const int ids[7] = {IDC_YEAR,   IDC_QUARTER,   IDC_MONTH,      IDC_DAY,
                        IDC_CUSTOM, IDC_UNIT_NAME, IDC_UNIT_NUMBER};
    const int labels[7] = {qor::str::kKeywordYearLabel,   qor::str::kKeywordQuarterLabel,
                           qor::str::kKeywordMonthLabel,  qor::str::kKeywordDayLabel,
                           qor::str::kKeywordCustomLabel, qor::str::kUnitNameLabel,
                           qor::str::kUnitCodeLabel};
    for (int i = 0; i < 7; ++i) {
        m_edits[i] = Bind(ids[i], new QLineEdit(this));
        AddDlgRow(grid, LoadErrorText(labels[i]), m_edits[i]);
    }
    m_edits[5]->setMaxLength(kUnitNameChars);
    // A keyword value holds 32 characters; more would be cut unseen.
    m_edits[6]->setMaxLength(kUnitNumberChars);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CEnterKeywordDlg::OnInitDialog() {
    const EnterKeywordDlgMembers shown = EnterKeywordShown(*this, KeywordToday());
    const int16_t on[7] = {enableYear,   enableQuarter,  enableMonth,     enableDay,
                           enableCustom, enableUnitName, enableUnitNumber};
    const QString texts[7] = {QString::number(shown.year),
                              QString::number(shown.quarter),
                              QString::number(shown.month),
                              QString::number(shown.day),
                              customNumeric ? QString::number(shown.customNumber) : customText,
                              unitName,
                              unitNumber};
    for (int i = 0; i < 7; ++i) {
        m_edits[i]->setEnabled(on[i] != 0);
        m_edits[i]->setText(texts[i]);
    }
    m_edits[4]->setMaxLength(customNumeric ? 5 : 30);
    return true;
}

void CEnterKeywordDlg::OnOK() {
    const EnterKeywordTexts t{m_edits[0]->text(), m_edits[1]->text(), m_edits[2]->text(),
                              m_edits[3]->text(), m_edits[4]->text(), m_edits[5]->text(),
                              m_edits[6]->text()};
    if (RefuseOn(this, CheckEnterKeyword(t, CustomKeywordName, KeywordToday(), this))) return;
    EndDialog(IDOK);
}

// ---- CKeywordOffsetDlg ----------------------------------------------------

CKeywordOffsetDlg::CKeywordOffsetDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kKeywordOffsetAction)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int i = 0; i < 7; ++i) {
        m_edits[i] = Bind(IDC_EDITS[i], new QLineEdit(this));
        grid->addWidget(new QLabel(LoadErrorText(kKeywordLabels[i]), this), i, 0);
        auto* row = new QHBoxLayout;
        row->setSpacing(1);
        row->addWidget(m_edits[i]);
        row->addWidget(AttachSpin(this, IDC_SPINS[i], m_edits[i], [](const QString& s, int d) {
            return QString::number(stepSpin(s.trimmed().toInt(), d, -kMaxOffset, kMaxOffset));
        }));
        grid->addLayout(row, i, 1);
    }
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CKeywordOffsetDlg::OnInitDialog() {
    const int16_t on[7] = {enableUnitName, enableUnitNumber, enableYear,  enableQuarter,
                           enableMonth,    enableDay,        enableCustom};
    for (size_t i = 0; i < 7; ++i) {
        m_edits[i]->setText(QString::number(offsets[i]));
        m_edits[i]->setEnabled(on[i] != 0);
        if (QWidget* spin = GetDlgItem(IDC_SPINS[i])) spin->setEnabled(on[i] != 0);
    }
    return true;
}

void CKeywordOffsetDlg::OnOK() {
    std::array<int32_t, 7> typed = offsets;
    for (size_t i = 0; i < 7; ++i)
        if (m_edits[i]->isEnabled() &&
            RefuseOn(this, ExchangeInt(m_edits[i]->text(), -kMaxOffset, kMaxOffset, IDC_EDITS[i],
                                       &typed[i])))
            return;
    offsets = typed;
    EndDialog(IDOK);
}

// ---- CResetVarAreaDlg -----------------------------------------------------

CResetVarAreaDlg::CResetVarAreaDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kResetVariableAreaTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    m_size = Bind(IDC_SIZE, new QLineEdit(this));
    row->addWidget(new QLabel(LoadErrorText(qor::str::kVariableAreaSizeLabel), this));
    row->addWidget(m_size);
    // Steps from the size shown, which is what OK will read.
    row->addWidget(AttachSpin(this, IDC_SPIN, m_size, [](const QString& s, int d) {
        return QString::number(stepSpin(s.trimmed().toInt(), d, 1, 1 << 30));
    }));
    layout->addLayout(row);
    AddDlgButtons(this, layout);
}

bool CResetVarAreaDlg::OnInitDialog() {
    m_size->setText(QString::number(ResetVarAreaDlgMembers::size));
    return true;
}

void CResetVarAreaDlg::OnOK() {
    if (RefuseOn(this, ExchangeInt(m_size->text(), 1, 9998, IDC_SIZE,
                                   &(this->ResetVarAreaDlgMembers::size))))
        return;
    EndDialog(IDOK);
}

// ---- CRoundBalanceDlg -----------------------------------------------------

CRoundBalanceDlg::CRoundBalanceDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kRoundingBalanceTitle)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_table = Bind(IDC_TABLE, new QLineEdit(this));
    m_range = Bind(IDC_RANGE, new QLineEdit(this));
    m_digits = Bind(IDC_DIGITS, new QLineEdit(this));
    m_formula = Bind(IDC_FORMULA, new QPlainTextEdit(this));
    AddDlgRow(grid, LoadErrorText(qor::str::kRoundingTableNameLabel), m_table);
    AddDlgRow(grid, LoadErrorText(qor::str::kRoundingRangeLabel), m_range);
    AddDlgRow(grid, LoadErrorText(qor::str::kRoundingDigitsLabel), m_digits);
    AddDlgRow(grid, LoadErrorText(qor::str::kBalanceFormulaLabel), m_formula);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CRoundBalanceDlg::OnInitDialog() {
    m_table->setText(tableName);
    m_range->setText(range);
    m_digits->setText(QString::number(digits));
    m_formula->setPlainText(formula);
    return true;
}

void CRoundBalanceDlg::OnOK() {
    RoundBalanceDlgMembers typed = *this;
    typed.tableName = m_table->text();
    typed.range = m_range->text();
    typed.formula = m_formula->toPlainText();
    if (RefuseOn(this, CheckRoundBalance(m_digits->text(), typed, this))) return;
    EndDialog(IDOK);
}

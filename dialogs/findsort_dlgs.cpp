#include "dialogs/findsort_dlgs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "dialogs/editformat_logic.h"
#include "dialogs/rowcolpage_logic.h"
#include "document/cmd_edit.h"
#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "engine/textutil.h"

using namespace qor;

// ---- CLocateDlg -----------------------------------------------------------

CLocateDlg::CLocateDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kLocateAction)));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_page = Bind(IDC_PAGE, new QLineEdit(this));
    m_row = Bind(IDC_ROW, new QLineEdit(this));
    m_column = Bind(IDC_COLUMN, new QLineEdit(this));
    AddDlgRow(grid, LoadErrorText(qor::str::kPageNumberLabel), m_page);
    AddDlgRow(grid, LoadErrorText(qor::str::kRowNumberLabel), m_row);
    AddDlgRow(grid, LoadErrorText(qor::str::kColumnLabelLabel), m_column);
    layout->addLayout(grid);
    AddDlgButtons(this, layout);
}

bool CLocateDlg::OnInitDialog() {
    m_page->setText(QString::number(page));
    m_row->setText(QString::number(row));
    m_column->setText(column >= 1 ? ColumnToLetters(column - 1) : QString());
    return true;
}

void CLocateDlg::OnOK() {
    if (RefuseOn(this, CheckLocate(m_page->text(), m_row->text(), m_column->text(), this))) return;
    EndDialog(IDOK);
}

// ---- CFindDlg -------------------------------------------------------------

CFindDlg::CFindDlg(CQorsDoc& doc, QWidget* parent) : CQorDialog(parent, IDD), m_doc(doc) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kFindCaption)));
    auto* layout = new QVBoxLayout(this);

    auto* scopeBox = new QGroupBox(LoadErrorText(qor::str::kFindScopeGroup), this);
    auto* scopeRow = new QHBoxLayout(scopeBox);
    m_pages = Bind(IDC_PAGES, new QRadioButton(LoadErrorText(qor::str::kPageWord), scopeBox));
    m_varArea = Bind(IDC_VAR_AREA, new QRadioButton(LoadErrorText(qor::str::kVariableAreaOption), scopeBox));
    scopeRow->addWidget(m_pages);
    scopeRow->addWidget(m_varArea);
    scopeRow->addStretch();
    layout->addWidget(scopeBox);
    connect(m_pages, &QRadioButton::clicked, this, [this] { OnScope(0); });
    connect(m_varArea, &QRadioButton::clicked, this, [this] { OnScope(1); });

    auto* condBox = new QGroupBox(LoadErrorText(qor::str::kFindConditionGroup), this);
    auto* grid = new QGridLayout(condBox);
    const int keywordIds[2] = {IDC_KEYWORD1, IDC_KEYWORD2};
    const int opIds[2] = {IDC_OP1, IDC_OP2};
    const int valueIds[2] = {IDC_VALUE1, IDC_VALUE2};
    for (int i = 0; i < 2; ++i) {
        m_keyword[i] = Bind(keywordIds[i], new QComboBox(condBox));
        m_keyword[i]->setEditable(true);
        m_op[i] = Bind(opIds[i], new QComboBox(condBox));
        m_op[i]->addItems({QStringLiteral("<"), QStringLiteral("<="), QStringLiteral("<>"),
                           QStringLiteral("="), QStringLiteral(">"), QStringLiteral(">=")});
        m_op[i]->setCurrentIndex(-1);
        m_value[i] = Bind(valueIds[i], new QComboBox(condBox));
        m_value[i]->setEditable(true);
        m_value[i]->setMinimumWidth(120);
        const int row = i * 2;
        grid->addWidget(m_keyword[i], row, 0);
        grid->addWidget(m_op[i], row, 1);
        grid->addWidget(m_value[i], row, 2);
        QComboBox* keyword = m_keyword[i];
        QComboBox* value = m_value[i];
        // A typed name counts as well as a chosen one, so the custom
        // keyword (never listed) still offers its values.
        connect(keyword, &QComboBox::currentTextChanged, this,
                [this, keyword, value] { fillValues(keyword, value); });
    }
    auto* joinRow = new QHBoxLayout;
    m_and = Bind(IDC_AND, new QRadioButton(LoadErrorText(qor::str::kAndOption), condBox));
    m_or = Bind(IDC_OR, new QRadioButton(LoadErrorText(qor::str::kOrOption), condBox));
    // Managed by hand: a second click on the chosen joint clears both.
    m_and->setAutoExclusive(false);
    m_or->setAutoExclusive(false);
    joinRow->addWidget(m_and);
    joinRow->addWidget(m_or);
    joinRow->addStretch();
    grid->addLayout(joinRow, 1, 0, 1, 3);
    layout->addWidget(condBox);
    connect(m_and, &QRadioButton::clicked, this, [this] { OnJoin(0); });
    connect(m_or, &QRadioButton::clicked, this, [this] { OnJoin(1); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* find = DlgButton(this, IDOK, LoadErrorText(qor::str::kFindCaption));
    find->setDefault(true);
    m_next = DlgButton(this, IDC_NEXT, LoadErrorText(qor::str::kFindNextButton));
    connect(m_next, &QPushButton::clicked, this, &CFindDlg::OnNext);
    buttons->addWidget(find);
    buttons->addWidget(m_next);
    buttons->addWidget(DlgButton(this, IDCANCEL, LoadErrorText(qor::str::kCancelButton)));
    layout->addLayout(buttons);
}

bool CFindDlg::OnInitDialog() {
    scope = 0;
    join = -1;
    m_pages->setChecked(true);
    m_and->setChecked(false);
    m_or->setChecked(false);
    m_varArea->setEnabled(varKind != 0);
    fillKeywords();
    m_next->setEnabled(false);
    return true;
}

void CFindDlg::fillKeywords() {
    const QStringList names =
        scope == 1 ? FindVarCellNames(varKind, varSize) : DefinedConditionKeywords(keywordFlags);
    for (QComboBox* c : m_keyword) {
        c->clear();
        c->addItems(names);
        c->setCurrentIndex(-1);
        c->setEditText(QString());
    }
}

void CFindDlg::fillValues(QComboBox* keyword, QComboBox* value) {
    value->clear();
    value->addItems(FindKeywordValues(values, keyword->currentText(), CustomKeywordName));
    value->setCurrentIndex(-1);
    value->setEditText(QString());
}

void CFindDlg::OnScope(int s) {
    scope = s;
    m_pages->setChecked(s == 0);
    m_varArea->setChecked(s == 1);
    fillKeywords();
}

void CFindDlg::OnJoin(int clicked) {
    join = ToggleJoint(join, clicked);
    m_and->setChecked(join == 0);
    m_or->setChecked(join == 1);
    m_next->setEnabled(false);
}

void CFindDlg::OnOK() {
    ConditionParts parts[2];
    for (int i = 0; i < 2; ++i)
        parts[i] = {m_keyword[i]->currentText().trimmed(), m_op[i]->currentText(),
                    m_value[i]->currentText().trimmed()};
    const QString line = BuildFindCommand(scope, parts[0], join, parts[1]);
    if (line.isEmpty()) return;
    RunFindCommand(m_doc, line);
    m_next->setEnabled(true);
}

void CFindDlg::OnNext() { RunFindCommand(m_doc, QStringLiteral("CONTINUE")); }

// ---- CPageSortDlg ---------------------------------------------------------

CPageSortDlg::CPageSortDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kSortPagesAction)));
    auto* layout = new QVBoxLayout(this);
    const int groups[3] = {qor::str::kFirstSortKeyGroup, qor::str::kSecondSortKeyGroup,
                           qor::str::kThirdSortKeyGroup};
    for (int i = 0; i < 3; ++i) {
        auto* box = new QGroupBox(LoadErrorText(groups[i]), this);
        auto* row = new QHBoxLayout(box);
        m_combos[i] = Bind(IDC_KEY_COMBOS[i], new QComboBox(box));
        m_combos[i]->setEditable(true);
        m_combos[i]->setMinimumWidth(120);
        m_edits[i] = Bind(IDC_KEY_EDITS[i], new QLineEdit(box));
        auto* up = Bind(IDC_FIRST_ORDER + 2 * i, new QRadioButton(LoadErrorText(qor::str::kAscendingOption), box));
        auto* down =
            Bind(IDC_FIRST_ORDER + 2 * i + 1, new QRadioButton(LoadErrorText(qor::str::kDescendingOption), box));
        m_orders[i] = new QButtonGroup(box);
        m_orders[i]->addButton(up, 0);
        m_orders[i]->addButton(down, 1);
        connect(m_orders[i], &QButtonGroup::idClicked, this,
                [this, i](int order) { orders[size_t(i)] = order; });
        row->addWidget(m_combos[i]);
        row->addWidget(m_edits[i]);
        row->addWidget(up);
        row->addWidget(down);
        layout->addWidget(box);
    }
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kPageSortHint), this));
    AddDlgButtons(this, layout);
}

bool CPageSortDlg::OnInitDialog() {
    const QStringList names = PageSortKeywordNames(CustomKeywordName);
    for (int i = 0; i < 3; ++i) {
        m_combos[i]->clear();
        m_combos[i]->addItems(names);
        m_combos[i]->setCurrentIndex(-1);
        m_combos[i]->setVisible(pageMode != 0);
        m_edits[i]->setVisible(pageMode == 0);
        if (QAbstractButton* b = m_orders[i]->button(orders[size_t(i)] == 1 ? 1 : 0))
            b->setChecked(true);
    }
    if (!pageMode)
        setWindowTitle(LoadErrorText(rowArea ? qor::str::kSortRowVariableArea
                                             : qor::str::kSortColumnVariableArea));
    return true;
}

void CPageSortDlg::OnOK() {
    std::array<QString, 3> keyTexts;
    for (size_t i = 0; i < 3; ++i)
        keyTexts[i] = pageMode ? m_combos[i]->currentText() : m_edits[i]->text();
    if (RefuseOn(this, CheckPageSort(keyTexts, CustomKeywordName, this))) return;
    EndDialog(IDOK);
}

#include "dialogs/cformulalistdlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QAbstractListModel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>

#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString caption(int templateId) {
    return res::templateCaption(templateId).value_or(QString()).trimmed();
}

QString controlText(int templateId, int id) {
    const auto info = res::controlInfo(templateId, id);
    return info ? info->caption : QString();
}

// The edit holds lines ended by LF; the report keeps them ended by CR LF,
// and the size limit counts both characters as the report stores them.
QString toEdit(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString fromEdit(const QString& text) {
    QString out = toEdit(text);
    out.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    return out;
}

void warn(QWidget* dlg, const QString& text) {
    messageBox(text, dlg->windowTitle(), MsgButtons::Ok, MsgIcon::Warning);
}

}  // namespace

// The list's rows: the formulas of one list, each cut from its text only
// when a row is shown; an empty list shows its one-line note and saves
// nothing.
class FormulaLinesModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    void Set(FormulaList list, const QString& emptyText) {
        beginResetModel();
        m_list = std::move(list);
        m_empty = emptyText;
        endResetModel();
    }
    const FormulaList& List() const { return m_list; }
    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        if (parent.isValid()) return 0;
        return m_list.isEmpty() ? 1 : int(m_list.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= rowCount()) return {};
        return m_list.isEmpty() ? m_empty : m_list.Line(index.row());
    }

private:
    FormulaList m_list;
    QString m_empty;
};

// ---- CFormulaListDlg -------------------------------------------------------

CFormulaListDlg::CFormulaListDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QHBoxLayout(this);
    // A view over a plain list of texts: a report's many thousand formulas
    // fill it without an item object each.
    m_list = Bind(IDC_LIST, new QListView(this));
    m_model = new FormulaLinesModel(this);
    m_list->setModel(m_model);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Formulas are shown whole; long ones scroll sideways.
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->setMinimumWidth(360);
    auto* contents = new QGroupBox(LoadErrorText(qor::str::kFormulaContentsGroup), this);
    auto* contentsLayout = new QVBoxLayout(contents);
    contentsLayout->addWidget(m_list);
    layout->addWidget(contents, 1);

    auto* side = new QVBoxLayout;
    auto* types = new QGroupBox(LoadErrorText(qor::str::kFormulaTypesGroup), this);
    auto* typesLayout = new QVBoxLayout(types);
    auto* group = new QButtonGroup(this);
    const int ids[3] = {IDC_CELL, IDC_AUDIT, IDC_ROUNDING};
    for (int t = 0; t < 3; ++t) {
        m_types[t] = Bind(ids[t], new QRadioButton(controlText(IDD, ids[t]), types));
        group->addButton(m_types[t], t);
        typesLayout->addWidget(m_types[t]);
        connect(m_types[t], &QRadioButton::clicked, this, [this, t] { Fill(t); });
    }
    side->addWidget(types);
    m_save = Bind(IDC_SAVE, new QPushButton(controlText(IDD, IDC_SAVE), this));
    connect(m_save, &QPushButton::clicked, this, &CFormulaListDlg::OnSave);
    side->addWidget(m_save);
    auto* close = Bind(IDCANCEL, new QPushButton(controlText(IDD, IDCANCEL), this));
    connect(close, &QPushButton::clicked, this, &CFormulaListDlg::OnCancel);
    side->addWidget(close);
    side->addStretch();
    layout->addLayout(side);
}

bool CFormulaListDlg::OnInitDialog() {
    Fill(formulaType);
    return true;
}

void CFormulaListDlg::Fill(int type) {
    if (type < kCellFormulas || type > kRoundingFormulas) type = kCellFormulas;
    formulaType = type;
    m_types[type]->setChecked(true);
    m_model->Set(document ? BuildFormulaList(*document, type) : FormulaList(),
                 EmptyFormulaListText(type));
    m_save->setEnabled(!m_model->List().isEmpty());
}

void CFormulaListDlg::OnSave() {
    if (!m_save->isEnabled()) return;
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kSaveAs);
    prompt.directory = LoadErrorText(qor::str::kNewFile);
    prompt.filter = FormulaListFilter(formulaType);
    prompt.save = true;
    const std::optional<QString> chosen = chooseFile(prompt);
    if (!chosen || chosen->isEmpty()) return;
    const QString path = WithDefaultListExtension(*chosen, formulaType);
    const FormulaListFile kind = FormulaListFileKind(path);
    if (kind == FormulaListFile::Refused) {
        warn(this, LoadErrorText(qor::str::kFileSaveFailed));
        return;
    }
    if (!WriteFormulaList(path, m_model->List(), kind == FormulaListFile::Script)) {
        QApplication::beep();
        warn(this, LoadErrorText(qor::str::kFileSaveFailed));
    }
}

// ---- CAuditFormulaDlg ------------------------------------------------------

CAuditFormulaDlg::CAuditFormulaDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(controlText(IDD, IDC_TEXT), this));
    auto* row = new QHBoxLayout;
    m_edit = Bind(IDC_TEXT, new QPlainTextEdit(this));
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_edit->setMinimumSize(320, 180);
    row->addWidget(m_edit, 1);
    QString sample = controlText(IDD, 1184);
    sample.replace(QLatin1String("\\n"), QLatin1String("\n"));
    auto* sampleLabel = new QLabel(sample, this);
    sampleLabel->setTextFormat(Qt::PlainText);
    sampleLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    row->addWidget(sampleLabel);
    layout->addLayout(row);

    auto* buttons = new QHBoxLayout;
    auto* import = Bind(IDC_IMPORT, new QPushButton(controlText(IDD, IDC_IMPORT), this));
    connect(import, &QPushButton::clicked, this, &CAuditFormulaDlg::OnImport);
    buttons->addWidget(import);
    buttons->addStretch();
    auto* ok = Bind(IDOK, new QPushButton(controlText(IDD, IDOK), this));
    auto* cancel = Bind(IDCANCEL, new QPushButton(controlText(IDD, IDCANCEL), this));
    // Enter in the multi-line edit is a line break, not OK.
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CAuditFormulaDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CAuditFormulaDlg::OnCancel);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
}

bool CAuditFormulaDlg::OnInitDialog() {
    m_edit->setPlainText(toEdit(text));
    m_edit->setFocus();
    return true;
}

void CAuditFormulaDlg::OnOK() {
    const QString typed = fromEdit(m_edit->toPlainText());
    const QString why = CheckAuditFormulaText(typed);
    if (!why.isEmpty()) {
        warn(this, why);
        m_edit->setFocus();
        return;
    }
    text = typed;
    EndDialog(IDOK);
}

void CAuditFormulaDlg::OnImport() {
    const QString old = m_edit->toPlainText();
    const int at = m_edit->textCursor().selectionStart();
    auto caretAt = [this](int pos) {
        QTextCursor c = m_edit->textCursor();
        c.setPosition(pos);
        m_edit->setTextCursor(c);
        m_edit->ensureCursorVisible();
        m_edit->setFocus();
    };
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kImportFile);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kTextFileFilter));
    const std::optional<QString> chosen = chooseFile(prompt);
    if (!chosen || chosen->isEmpty()) {
        caretAt(at);
        return;
    }
    QString imported, why;
    if (!ReadAuditImportFile(*chosen, &imported, &why)) {
        QApplication::beep();
        warn(this, *chosen + QStringLiteral("\n") + why);
        caretAt(at);
        return;
    }
    const AuditImport joined = InsertAuditImport(old, at, toEdit(imported));
    m_edit->setPlainText(joined.text);
    caretAt(joined.caret);
}

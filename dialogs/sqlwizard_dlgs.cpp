#include "dialogs/sqlwizard_dlgs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <exception>

#include "dialogs/funcwizard_logic.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cqordb.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

constexpr int kColSort = 3;
constexpr int kColSummary = 4;

DictionaryFactory& factory() {
    static DictionaryFactory f;
    return f;
}

void tell(int messageId, const QString& reason = {}) {
    QString text = LoadErrorText(messageId);
    if (!reason.isEmpty()) text += QLatin1Char('\n') + reason;
    messageBox(text, LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok, MsgIcon::Warning);
}

QString caption(int templateId) {
    return res::templateCaption(templateId).value_or(QString()).trimmed();
}

// Three columns: definition, database name (hidden), table definition
// (hidden).
QTreeWidget* fieldList(QWidget* parent) {
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(3);
    list->setHeaderHidden(true);
    list->setRootIsDecorated(false);
    list->setColumnHidden(1, true);
    list->setColumnHidden(2, true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    return list;
}

// Sort marks read 不排序 正序 倒序, summary marks 不汇总 汇总 计算合计: the
// items were put at the top one after the other.
QStringList sortItems() {
    return {LoadErrorText(qor::str::kNoSort), LoadErrorText(qor::str::kAscending),
            LoadErrorText(qor::str::kDescending)};
}
QStringList summaryItems() {
    return {LoadErrorText(qor::str::kNoSummary), LoadErrorText(qor::str::kSummarise),
            LoadErrorText(qor::str::kComputeTotal)};
}

// A combo box over the sort and summary cells; Qt's delegate writes the
// choice back when the box loses the focus.
class MarkDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex& index) const override {
        if (index.column() != kColSort && index.column() != kColSummary) return nullptr;
        auto* box = new QComboBox(parent);
        box->setObjectName(index.column() == kColSort ? QStringLiteral("c1241")
                                                      : QStringLiteral("c1269"));
        box->addItems(index.column() == kColSort ? sortItems() : summaryItems());
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QComboBox*>(editor);
        box->setCurrentIndex(std::max(0, box->findText(index.data().toString())));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }
};

QPushButton* button(CDlgItems& items, int id, const QString& text, QWidget* parent) {
    auto* b = items.Bind(id, new QPushButton(text, parent));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

namespace qor {

std::unique_ptr<CQorDB> MakeDictionary() {
    return factory() ? factory()() : std::make_unique<CQorDB>();
}

DictionaryFactory SetDictionaryFactory(DictionaryFactory f) {
    DictionaryFactory old = std::move(factory());
    factory() = std::move(f);
    return old;
}

}  // namespace qor

// ---- CDictionaryBrowser ------------------------------------------------------

CDictionaryBrowser::CDictionaryBrowser() = default;
CDictionaryBrowser::~CDictionaryBrowser() = default;

CQorDB& CDictionaryBrowser::Dictionary() {
    if (!m_db) m_db = MakeDictionary();
    return *m_db;
}

bool CDictionaryBrowser::FillTree(CImageTreeCtrl* tree) {
    tree->clear();
    try {
        // A fresh record set for every run: the dictionary may have
        // changed, or be configured only now.
        m_db.reset();
        CQorDB& db = Dictionary();
        db.QuerySystems();
        db.Open();
        QList<QTreeWidgetItem*> systems;
        for (; !db.IsEOF(); db.MoveNext()) {
            auto* item = new QTreeWidgetItem(tree, QStringList{db.m_strSystemName});
            tree->SetItemImage(item, CImageTreeCtrl::kClosedFolder);
            systems << item;
        }
        db.Close();
        db.QueryAllTables();
        db.Open();
        QList<std::pair<QString, QString>> tables;
        for (; !db.IsEOF(); db.MoveNext()) tables.append({db.m_strSystemId, db.m_strTableDef});
        db.Close();
        const QList<QStringList> runs = TableRunsBySystem(tables);
        for (int i = 0; i < runs.size() && i < systems.size(); ++i)
            for (const QString& def : runs[i]) {
                auto* item = new QTreeWidgetItem(systems[i], QStringList{def});
                tree->SetItemImage(item, CImageTreeCtrl::kTable, CImageTreeCtrl::kChosenTable);
            }
    } catch (const std::exception& e) {
        m_db.reset();
        tell(qor::str::kBusinessDatabaseProblem, QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

QString CDictionaryBrowser::OpenTable(const CImageTreeCtrl* tree, QTreeWidgetItem* item,
                                      QTreeWidget* list) {
    // Systems have children (a double click opens or closes them); only a
    // table opens, and a system without tables is no table.
    if (!tree->m_bLeaf || !item || item->childCount() > 0 || !item->parent()) return {};
    const QString definition = item->text(0);
    try {
        CQorDB& db = Dictionary();
        db.QueryTableByDefinition(definition);
        db.Open();
        const QString name = db.IsEOF() ? QString() : db.m_strTableName;
        db.Close();
        list->clear();
        db.QueryFieldsOfTable(name);
        db.Open();
        for (; !db.IsEOF(); db.MoveNext())
            new QTreeWidgetItem(list, QStringList{db.m_strFieldDef, db.m_strFieldName,
                                                  db.m_strTableDef});
        db.Close();
        return name.isNull() ? QStringLiteral("") : name;
    } catch (const std::exception& e) {
        tell(qor::str::kBusinessDatabaseProblem, QString::fromUtf8(e.what()));
        return {};
    }
}

// ---- CCondExprWizardDlg ------------------------------------------------------

CCondExprWizardDlg::CCondExprWizardDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* lists = new QHBoxLayout;
    m_tree = Bind(IDC_TREE, new CImageTreeCtrl(this));
    m_fields = Bind(IDC_FIELDS, fieldList(this));
    m_fields->setSelectionMode(QAbstractItemView::SingleSelection);
    lists->addWidget(m_tree);
    lists->addWidget(m_fields);
    layout->addLayout(lists);
    m_text = Bind(IDC_TEXT, new QPlainTextEdit(this));
    layout->addWidget(m_text);

    static const struct {
        int id;
        const char* caption;
        const char* text;
    } kOperators[] = {
        {1007, "+", " + "},     {1252, "-", " - "},     {1253, "*", " * "},
        {1244, "/", " / "},     {1251, ">", " > "},     {1250, "<", " < "},
        {1249, "<>", " <> "},   {1246, "=", " = "},     {1256, "Not", " Not "},
        {1254, "And", " And "}, {1255, "Or", " Or "},   {1243, "Like", " Like "},
        {1247, "(", " ( "},     {1248, ")", " ) "},
    };
    auto* ops = new QGridLayout;
    int n = 0;
    for (const auto& op : kOperators) {
        QPushButton* b = button(*this, op.id, QString::fromLatin1(op.caption), this);
        const QString text = QString::fromLatin1(op.text);
        connect(b, &QPushButton::clicked, this, [this, text] { OnOperator(text); });
        ops->addWidget(b, n / 7, n % 7);
        ++n;
    }
    layout->addLayout(ops);

    auto* row = new QHBoxLayout;
    m_advanced = Bind(IDC_ADVANCED, new QCheckBox(LoadErrorText(qor::str::kAdvancedUseCheck), this));
    row->addWidget(m_advanced);
    row->addStretch();
    m_undo = button(*this, IDC_UNDO, LoadErrorText(qor::str::kUndoButton), this);
    m_redo = button(*this, IDC_REDO, LoadErrorText(qor::str::kRedoButton), this);
    QPushButton* ok = button(*this, IDC_OK, LoadErrorText(qor::str::kOkButton), this);
    QPushButton* cancel = button(*this, IDCANCEL, LoadErrorText(qor::str::kCancelButton), this);
    ok->setDefault(true);
    for (QPushButton* b : {m_undo, m_redo, ok, cancel}) row->addWidget(b);
    layout->addLayout(row);

    connect(m_undo, &QPushButton::clicked, this, &CCondExprWizardDlg::OnUndo);
    connect(m_redo, &QPushButton::clicked, this, &CCondExprWizardDlg::OnRedo);
    connect(ok, &QPushButton::clicked, this, &CCondExprWizardDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CCondExprWizardDlg::OnCancel);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            &CCondExprWizardDlg::OnTreeDoubleClicked);
    connect(m_fields, &QTreeWidget::itemDoubleClicked, this,
            &CCondExprWizardDlg::OnFieldDoubleClicked);
}

bool CCondExprWizardDlg::OnInitDialog() {
    m_text->setPlainText(m_strText);
    m_advanced->setChecked(m_bAdvanced);
    m_fields->clear();
    m_history.Start(m_strText);
    ShowButtons();
    m_browser.FillTree(m_tree);
    return true;
}

void CCondExprWizardDlg::ShowButtons() {
    m_undo->setEnabled(m_history.CanUndo());
    m_redo->setEnabled(m_history.CanRedo());
}

void CCondExprWizardDlg::Apply(const QString& appended) {
    m_strText = m_text->toPlainText();
    m_history.Record(m_strText);
    m_strText += appended;
    m_text->setPlainText(m_strText);
    m_history.Push(m_strText);
    ShowButtons();
}

void CCondExprWizardDlg::OnOperator(const QString& text) { Apply(text); }

void CCondExprWizardDlg::OnUndo() {
    m_strText = m_history.Undo(m_text->toPlainText());
    m_text->setPlainText(m_strText);
    ShowButtons();
}

void CCondExprWizardDlg::OnRedo() {
    m_strText = m_history.Redo();
    m_text->setPlainText(m_strText);
    ShowButtons();
}

void CCondExprWizardDlg::OnTreeDoubleClicked(QTreeWidgetItem* item) {
    const QString name = m_browser.OpenTable(m_tree, item, m_fields);
    if (!name.isNull()) m_nameList.Add(name, item->text(0));
}

void CCondExprWizardDlg::OnFieldDoubleClicked(QTreeWidgetItem* item) {
    if (!item) return;
    Apply(QStringLiteral(" [") + item->text(2) + QStringLiteral("].[") + item->text(0) +
          QStringLiteral("] "));
    m_nameList.Add(item->text(1), item->text(0));
}

void CCondExprWizardDlg::OnOK() {
    m_strText = m_text->toPlainText();
    m_bAdvanced = m_advanced->isChecked();
    m_strResult = m_bAdvanced ? m_strText : QStringLiteral("Where ") + m_strText;
    EndDialog(IDOK);
}

// ---- CSqlWizardDlg -----------------------------------------------------------

CSqlWizardDlg::CSqlWizardDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto column = [&](const QString& label, QWidget* w) {
        auto* box = new QVBoxLayout;
        box->addWidget(new QLabel(label, this));
        box->addWidget(w);
        top->addLayout(box);
    };
    m_tree = Bind(IDC_TREE, new CImageTreeCtrl(this));
    m_tree->setMinimumWidth(160);
    column(LoadErrorText(qor::str::kChooseTableColumn), m_tree);
    m_fields = Bind(IDC_FIELDS, fieldList(this));
    m_fields->setMinimumWidth(140);
    column(LoadErrorText(qor::str::kChooseFieldColumn), m_fields);
    auto* moves = new QVBoxLayout;
    moves->addStretch();
    QPushButton* add = button(*this, IDC_ADD, QStringLiteral(">"), this);
    QPushButton* addAll = button(*this, IDC_ADD_ALL, QStringLiteral(">>"), this);
    QPushButton* remove = button(*this, IDC_REMOVE, QStringLiteral("<"), this);
    QPushButton* removeAll = button(*this, IDC_REMOVE_ALL, QStringLiteral("<<"), this);
    for (QPushButton* b : {add, addAll, remove, removeAll}) moves->addWidget(b);
    moves->addStretch();
    top->addLayout(moves);
    m_selected = Bind(IDC_SELECTED, new QTreeWidget(this));
    m_selected->setColumnCount(5);
    m_selected->setHeaderLabels(
        {LoadErrorText(qor::str::kReportName), LoadErrorText(qor::str::kChosenFields), QString(),
         LoadErrorText(qor::str::kSort), LoadErrorText(qor::str::kSummarise)});
    m_selected->setColumnHidden(2, true);
    const int widths[] = {90, 120, 0, 60, 65};
    for (int c = 0; c < 5; ++c) m_selected->setColumnWidth(c, widths[c]);
    m_selected->setMinimumWidth(360);
    m_selected->setRootIsDecorated(false);
    m_selected->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_selected->setItemDelegate(new MarkDelegate(m_selected));
    m_selected->setEditTriggers(QAbstractItemView::SelectedClicked |
                                QAbstractItemView::CurrentChanged);
    column(LoadErrorText(qor::str::kChosenFields), m_selected);
    layout->addLayout(top);

    auto* form = new QFormLayout;
    m_distinct = Bind(IDC_DISTINCT, new QCheckBox(QStringLiteral("Distinct"), this));
    form->addRow(QString(), m_distinct);
    m_condition = Bind(IDC_CONDITION, new QLineEdit(this));
    QPushButton* wizard = button(*this, IDC_WIZARD, LoadErrorText(qor::str::kWizardButton), this);
    auto* condRow = new QHBoxLayout;
    condRow->addWidget(m_condition, 1);
    condRow->addWidget(wizard);
    form->addRow(LoadErrorText(qor::str::kConditionExpressionLabel), condRow);
    m_format = Bind(IDC_FORMAT, new QComboBox(this));
    m_format->addItems({LoadErrorText(qor::str::kShowAcross), LoadErrorText(qor::str::kShowDown)});
    form->addRow(LoadErrorText(qor::str::kDisplayFormatLabel), m_format);
    m_limit = Bind(IDC_LIMIT, new QLineEdit(this));
    m_limit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_limit));
    form->addRow(LoadErrorText(qor::str::kRecordLimitLabel), m_limit);
    m_area = Bind(IDC_AREA, new QLineEdit(this));
    form->addRow(LoadErrorText(qor::str::kDisplayAreaLabel), m_area);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    QPushButton* ok = button(*this, IDC_OK, LoadErrorText(qor::str::kOkButton), this);
    QPushButton* cancel = button(*this, IDCANCEL, LoadErrorText(qor::str::kCancelButton), this);
    ok->setDefault(true);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &CSqlWizardDlg::OnAdd);
    connect(addAll, &QPushButton::clicked, this, &CSqlWizardDlg::OnAddAll);
    connect(remove, &QPushButton::clicked, this, &CSqlWizardDlg::OnRemove);
    connect(removeAll, &QPushButton::clicked, this, &CSqlWizardDlg::OnRemoveAll);
    connect(wizard, &QPushButton::clicked, this, &CSqlWizardDlg::OnConditionWizard);
    connect(ok, &QPushButton::clicked, this, &CSqlWizardDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CSqlWizardDlg::OnCancel);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, &CSqlWizardDlg::OnTreeDoubleClicked);
    connect(m_fields, &QTreeWidget::itemDoubleClicked, this, [this] { OnAdd(); });
    connect(m_selected, &QTreeWidget::itemDoubleClicked, this, [this] { OnRemove(); });
}

void CSqlWizardDlg::LoadControls() {
    m_distinct->setChecked(m_bDistinct);
    m_condition->setText(m_strCondition);
    m_format->setCurrentIndex(m_strFormat.isEmpty() ? -1 : m_format->findText(m_strFormat));
    m_limit->setText(m_strLimit);
    m_area->setText(m_strDisplayArea);
}

void CSqlWizardDlg::ReadControls() {
    m_bDistinct = m_distinct->isChecked();
    m_strCondition = m_condition->text();
    m_strFormat = m_format->currentText();
    m_strLimit = m_limit->text();
    m_strDisplayArea = m_area->text();
}

bool CSqlWizardDlg::OnInitDialog() {
    m_fields->clear();
    m_selected->clear();
    LoadControls();
    m_browser.FillTree(m_tree);
    return true;
}

void CSqlWizardDlg::OnTreeDoubleClicked(QTreeWidgetItem* item) {
    m_browser.OpenTable(m_tree, item, m_fields);
}

void CSqlWizardDlg::AddRow(QTreeWidgetItem* field) {
    auto* row =
        new QTreeWidgetItem(m_selected, QStringList{field->text(2), field->text(0), field->text(1),
                                                    LoadErrorText(qor::str::kNoSort),
                                                    LoadErrorText(qor::str::kNoSummary)});
    row->setFlags(row->flags() | Qt::ItemIsEditable);
}

void CSqlWizardDlg::OnAdd() {
    for (int i = 0; i < m_fields->topLevelItemCount(); ++i)
        if (m_fields->topLevelItem(i)->isSelected()) AddRow(m_fields->topLevelItem(i));
}

void CSqlWizardDlg::OnAddAll() {
    for (int i = 0; i < m_fields->topLevelItemCount(); ++i) AddRow(m_fields->topLevelItem(i));
}

void CSqlWizardDlg::OnRemove() {
    for (int i = 0; i < m_selected->topLevelItemCount();) {
        if (m_selected->topLevelItem(i)->isSelected())
            delete m_selected->takeTopLevelItem(i);
        else
            ++i;
    }
}

void CSqlWizardDlg::OnRemoveAll() { m_selected->clear(); }

QList<SqlFieldRow> CSqlWizardDlg::SelectedRows() const {
    QList<SqlFieldRow> rows;
    const QString asc = LoadErrorText(qor::str::kAscending),
                  desc = LoadErrorText(qor::str::kDescending);
    const QString group = LoadErrorText(qor::str::kSummarise),
                  total = LoadErrorText(qor::str::kComputeTotal);
    for (int i = 0; i < m_selected->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* it = m_selected->topLevelItem(i);
        SqlFieldRow r;
        r.tableDef = it->text(0);
        r.fieldDef = it->text(1);
        r.fieldName = it->text(2);
        const QString sort = it->text(kColSort), summary = it->text(kColSummary);
        r.sort = sort == asc ? kSortAscending : sort == desc ? kSortDescending : kSortNone;
        r.summary = summary == group   ? kSummaryGroup
                    : summary == total ? kSummaryTotal
                                       : kSummaryNone;
        rows << r;
    }
    return rows;
}

void CSqlWizardDlg::SetMarks(int row, const QString& sort, const QString& summary) {
    if (QTreeWidgetItem* it = m_selected->topLevelItem(row)) {
        it->setText(kColSort, sort);
        it->setText(kColSummary, summary);
    }
}

void CSqlWizardDlg::OnConditionWizard() {
    ReadControls();
    CCondExprWizardDlg dlg(this);
    dlg.m_strText = m_strWizardText;
    dlg.m_nameList = m_nameList;
    if (dlg.DoModal() != IDOK) return;
    m_strWizardText = dlg.m_strText;
    m_strCondition = dlg.m_strResult;
    m_nameList = dlg.m_nameList;
    LoadControls();
}

void CSqlWizardDlg::OnOK() {
    ReadControls();
    const bool horizontal = m_strFormat == LoadErrorText(qor::str::kShowAcross);
    const QList<SqlFieldRow> rows = SelectedRows();
    QString limit;
    const ArgCheck check = CheckSqlWizard(m_strLimit, horizontal, m_strDisplayArea, rows, &limit);
    if (!check.ok()) {
        tell(check.messageId);
        if (QWidget* w = GetDlgItem(check.focusId)) w->setFocus();
        return;
    }
    m_strHorizontal = horizontal ? QStringLiteral("1") : QStringLiteral("0");
    m_strLimit = limit;
    m_limit->setText(limit);
    m_strSql = BuildGetRecordSql(rows, m_bDistinct, m_strCondition);
    EndDialog(IDOK);
}

#include "dialogs/readdata_dlgs.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <exception>
#include <stdexcept>

#include "engine/messages.h"
#include "exchange/datafilepath.h"
#include "exchange/datafiles.h"
#include "dialogs/sqlwizard_dlgs.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/cqordb.h"
#include "reader/creaderapp.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

// The data-file functions answer 0 with a reason on failure; a reason
// becomes an error here, so the dialog can say why nothing is listed.
class FileCatalogue : public IDataFileCatalogue {
public:
    QStringList Tables(const QString& path) override {
        QString error;
        QStringList out;
        const int n = GetDataFileTableCount(path, &error);
        if (n == 0 && !error.isEmpty()) throw std::runtime_error(error.toStdString());
        for (int i = 0; i < n; ++i) {
            const QString name = GetDataFileTableName(path, i, &error);
            if (!name.isNull()) out << name;
        }
        return out;
    }
    QStringList Fields(const QString& path, const QString& table) override {
        QString error;
        QStringList out;
        const int n = GetDataTableFieldCount(path, table, &error);
        if (n == 0 && !error.isEmpty()) throw std::runtime_error(error.toStdString());
        for (int i = 0; i < n; ++i) {
            jet::FieldInfo info;
            if (GetDataTableFieldInfo(&info, path, table, i)) out << info.name;
        }
        return out;
    }
};

IDataFileCatalogue* g_catalogue = nullptr;

IDataFileCatalogue& catalogue() { return g_catalogue ? *g_catalogue : DataFileCatalogue(); }

bool isPlainInteger(const QString& s) {
    if (s.isEmpty()) return false;
    for (QChar c : s)
        if (c < u'0' || c > u'9') return false;
    return s.size() == 1 || s[0] != u'0';
}

void fillSorted(QComboBox* box, const QStringList& items) {
    box->clear();
    QStringList sorted = items;
    sorted.sort();
    box->addItems(sorted);
    box->setCurrentIndex(-1);
    box->setEditText(QString());
}

}  // namespace

namespace qor {

IDataFileCatalogue& DataFileCatalogue() {
    static FileCatalogue c;
    return c;
}

IDataFileCatalogue* SetDataFileCatalogue(IDataFileCatalogue* c) {
    IDataFileCatalogue* old = g_catalogue;
    g_catalogue = c;
    return old;
}

ArgCheck CheckReadFileData(const QString& file, const QString& field, const QString& record) {
    if (file.isEmpty()) return {str::kFileNameEmpty, CReadFileDataDlg::IDC_FILE};
    if (field.isEmpty()) return {str::kFieldNameEmpty, CReadFileDataDlg::IDC_FIELD};
    if (record.isEmpty()) return {str::kRecordNumberEmpty, CReadFileDataDlg::IDC_RECORD};
    if (!isPlainInteger(record)) return {str::kMustBeInteger, CReadFileDataDlg::IDC_RECORD};
    return {};
}

QString AccountSetLine(const QString& id, int year) {
    QString line = LoadErrorText(str::kAccountSetYear);
    line.replace(QStringLiteral("%s"), id);
    line.replace(QStringLiteral("%i"), QString::number(year));
    return line;
}

}  // namespace qor

CReadFileDataDlg::CReadFileDataDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(res::templateCaption(IDD).value_or(QString()).trimmed());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(LoadErrorText(qor::str::kReadFileDataHint), this));
    auto* fields = new QFormLayout;
    m_file = Bind(IDC_FILE, new QLineEdit(this));
    auto* browse = Bind(IDC_BROWSE, new QPushButton(QStringLiteral("..."), this));
    browse->setAutoDefault(false);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    m_table = Bind(IDC_TABLE, new QComboBox(this));
    m_field = Bind(IDC_FIELD, new QComboBox(this));
    m_table->setEditable(true);
    m_field->setEditable(true);
    m_record = Bind(IDC_RECORD, new QLineEdit(this));
    m_record->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_record));
    m_condition = Bind(IDC_CONDITION, new QLineEdit(this));
    fields->addRow(LoadErrorText(qor::str::kFileNameColonLabel), fileRow);
    fields->addRow(LoadErrorText(qor::str::kTableNameLabel), m_table);
    fields->addRow(LoadErrorText(qor::str::kFieldNameLabel), m_field);
    fields->addRow(LoadErrorText(qor::str::kRecordNumberLabel), m_record);
    fields->addRow(LoadErrorText(qor::str::kConditionLabel), m_condition);
    layout->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = Bind(IDOK, new QPushButton(LoadErrorText(qor::str::kConfirmButton), this));
    auto* previous = Bind(IDC_PREVIOUS, new QPushButton(LoadErrorText(qor::str::kPrevious), this));
    auto* cancel = Bind(IDCANCEL, new QPushButton(LoadErrorText(qor::str::kCancelButton), this));
    ok->setDefault(true);
    previous->setAutoDefault(false);
    cancel->setAutoDefault(false);
    buttons->addWidget(ok);
    buttons->addWidget(previous);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CReadFileDataDlg::OnOK);
    connect(previous, &QPushButton::clicked, this, &CReadFileDataDlg::OnPrevious);
    connect(cancel, &QPushButton::clicked, this, &CReadFileDataDlg::OnCancel);
    connect(browse, &QPushButton::clicked, this, &CReadFileDataDlg::OnBrowse);
    // Leaving the edits lists, not Enter: Enter is OK.
    m_file->installEventFilter(this);
    m_table->installEventFilter(this);
}

bool CReadFileDataDlg::OnInitDialog() {
    m_file->setText(m_strFile);
    m_condition->setText(m_strCondition);
    m_record->setText(m_strRecord);
    return true;
}

bool CReadFileDataDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        if (watched == m_file) ListTables();
        if (watched == m_table) ListFields();
    }
    return CQorDialog::eventFilter(watched, event);
}

void CReadFileDataDlg::ListTables() {
    m_strFile = m_file->text();
    m_table->clear();
    m_field->clear();
    QString resolved;
    if (!ResolveDataFilePath(m_strFile, QString(), &resolved)) return;
    m_strResolved = resolved;
    try {
        fillSorted(m_table, catalogue().Tables(resolved));
    } catch (const std::exception& e) {
        // A file that cannot be read lists nothing; say why.
        messageBox(QString::fromUtf8(e.what()), LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok,
                   MsgIcon::Warning);
    }
}

void CReadFileDataDlg::ListFields() {
    m_field->clear();
    m_strTable = m_table->currentText();
    if (m_strResolved.isEmpty() || m_strTable.isEmpty()) return;
    try {
        fillSorted(m_field, catalogue().Fields(m_strResolved, m_strTable));
    } catch (const std::exception& e) {
        messageBox(QString::fromUtf8(e.what()), LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok,
                   MsgIcon::Warning);
    }
}

void CReadFileDataDlg::OnBrowse() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kOpen);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kAccessFileFilter) +
                                 LoadErrorText(qor::str::kDbaseExcelFileFilter) +
                                 LoadErrorText(qor::str::kLotusTextFileFilter) +
                                 LoadErrorText(qor::str::kAllFilesFilter) + QLatin1Char('|'));
    if (const std::optional<QString> path = chooseFile(prompt)) {
        m_file->setText(*path);
        ListTables();
    }
}

void CReadFileDataDlg::OnOK() {
    const QString file = m_file->text();
    const QString field = m_field->currentText();
    const QString record = m_record->text();
    const ArgCheck check = CheckReadFileData(file, field, record);
    if (!check.ok()) {
        messageBox(LoadErrorText(check.messageId),
                   check.messageId == qor::str::kMustBeInteger ? LoadErrorText(qor::str::kAppTitle)
                                                               : QString(),
                   MsgButtons::Ok, MsgIcon::Warning);
        if (QWidget* w = GetDlgItem(check.focusId)) w->setFocus();
        return;
    }
    m_strFile = file;
    m_strField = field;
    m_strTable = m_table->currentText();
    m_strRecord = record;
    m_strCondition = m_condition->text();
    EndDialog(IDOK);
}

// ---- CReadDbDataDlg ------------------------------------------------------------

CReadDbDataDlg::CReadDbDataDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(res::templateCaption(IDD).value_or(QString()).trimmed());
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    auto sortedList = [this](int id) {
        return Bind(id, new QComboBox(this));
    };
    m_accountSet = Bind(IDC_ACCOUNT_SET, new QComboBox(this));
    m_category = sortedList(IDC_CATEGORY);
    m_table = sortedList(IDC_TABLE);
    m_field = sortedList(IDC_FIELD);
    m_record = Bind(IDC_RECORD, new QLineEdit(this));
    m_record->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_record));
    m_condition = Bind(IDC_CONDITION, new QLineEdit(this));
    fields->addRow(LoadErrorText(qor::str::kChooseDatabaseLabel), m_accountSet);
    fields->addRow(LoadErrorText(qor::str::kCategoryLabel), m_category);
    fields->addRow(LoadErrorText(qor::str::kTableNameLabel), m_table);
    fields->addRow(LoadErrorText(qor::str::kFieldNameLabel), m_field);
    fields->addRow(LoadErrorText(qor::str::kRecordNumberLabel), m_record);
    fields->addRow(LoadErrorText(qor::str::kConditionLabel), m_condition);
    layout->addLayout(fields);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = Bind(IDOK, new QPushButton(LoadErrorText(qor::str::kConfirmButton), this));
    auto* cancel = Bind(IDCANCEL, new QPushButton(LoadErrorText(qor::str::kCancelButton), this));
    ok->setDefault(true);
    cancel->setAutoDefault(false);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CReadDbDataDlg::OnOK);
    connect(cancel, &QPushButton::clicked, this, &CReadDbDataDlg::OnCancel);
    connect(m_category, &QComboBox::currentIndexChanged, this,
            &CReadDbDataDlg::OnCategoryChanged);
    connect(m_table, &QComboBox::currentIndexChanged, this, &CReadDbDataDlg::OnTableChanged);
}

CReadDbDataDlg::~CReadDbDataDlg() = default;

CReaderApp& CReadDbDataDlg::App() { return m_app ? *m_app : CAppEnvironment::Instance().App(); }

void CReadDbDataDlg::Failed(const std::exception& e) {
    messageBox(LoadErrorText(qor::str::kBusinessDatabaseProblem) + QLatin1Char('\n') +
                   QString::fromUtf8(e.what()),
               LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok, MsgIcon::Warning);
}

bool CReadDbDataDlg::OnInitDialog() {
    m_record->clear();
    m_condition->clear();
    const QSignalBlocker b1(m_category), b2(m_table);
    m_accountSet->clear();
    m_category->clear();
    m_table->clear();
    m_field->clear();
    CReaderApp& app = App();
    // Each account set goes to the top, so the last one stands first.
    for (int i = 0; i < app.GetAccountSetCount(); ++i) {
        const CAccountSet& set = app.GetAccountSet(i);
        m_accountSet->insertItem(0, AccountSetLine(set.m_strId, set.m_nYear));
    }
    m_accountSet->setCurrentIndex(m_accountSet->count() ? 0 : -1);
    try {
        m_db.reset();
        m_db = MakeDictionary();
        m_db->QuerySystems();
        m_db->Open();
        for (; !m_db->IsEOF(); m_db->MoveNext()) m_category->addItem(m_db->m_strSystemName);
        m_db->Close();
        m_category->model()->sort(0);
    } catch (const std::exception& e) {
        // What was filled stays; the user can still cancel.
        m_db.reset();
        Failed(e);
        return true;
    }
    m_category->setCurrentIndex(m_category->count() ? 0 : -1);
    OnCategoryChanged();
    return true;
}

void CReadDbDataDlg::OnCategoryChanged() {
    const QSignalBlocker block(m_table);
    m_table->clear();
    m_field->clear();
    CReaderApp& app = App();
    app.m_tableDefs.clear();
    if (!m_db || m_category->currentIndex() < 0) return;
    try {
        m_db->QueryTablesOfSystem(m_category->currentText());
        m_db->Open();
        for (; !m_db->IsEOF(); m_db->MoveNext()) {
            m_table->addItem(m_db->m_strTableDef);
            app.m_tableDefs.Add(m_db->m_strTableName, m_db->m_strTableDef);
        }
        m_db->Close();
    } catch (const std::exception& e) {
        Failed(e);
    }
    m_table->model()->sort(0);
    m_table->setCurrentIndex(-1);
}

void CReadDbDataDlg::OnTableChanged() {
    m_field->clear();
    CReaderApp& app = App();
    app.m_fieldDefs.clear();
    if (!m_db || m_table->currentIndex() < 0) return;
    const QString definition = m_table->currentText();
    const QString found = app.m_tableDefs.FindName(definition);
    const QString name = found.isNull() ? definition : found;
    try {
        m_db->QueryFieldsOfTable(name);
        m_db->Open();
        for (; !m_db->IsEOF(); m_db->MoveNext()) {
            m_field->addItem(m_db->m_strFieldDef);
            app.m_fieldDefs.Add(m_db->m_strFieldName, m_db->m_strFieldDef);
        }
        m_db->Close();
    } catch (const std::exception& e) {
        Failed(e);
    }
    m_field->model()->sort(0);
    m_field->setCurrentIndex(-1);
}

void CReadDbDataDlg::OnOK() {
    // No account set chosen reads as an empty one.
    m_strAccountSet = m_accountSet->currentIndex() >= 0 ? m_accountSet->currentText() : QString();
    const QString table = m_table->currentIndex() >= 0 ? m_table->currentText() : QString();
    const QString field = m_field->currentIndex() >= 0 ? m_field->currentText() : QString();
    const int refused = table.isEmpty()   ? qor::str::kChooseTable
                        : field.isEmpty() ? qor::str::kChooseField
                                          : 0;
    if (refused) {
        messageBox(LoadErrorText(refused), LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok,
                   MsgIcon::Warning);
        return;
    }
    m_strTable = QLatin1Char('[') + table + QLatin1Char(']');
    m_strField = QLatin1Char('[') + field + QLatin1Char(']');
    m_strRecord = m_record->text();
    m_strCondition = m_condition->text();
    EndDialog(IDOK);
}

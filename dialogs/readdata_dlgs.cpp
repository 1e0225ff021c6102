#include "dialogs/readdata_dlgs.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <exception>

#include "engine/messages.h"
#include "exchange/datafilepath.h"
#include "exchange/datafiles.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

constexpr int kMsgAppCaption = 57344;
constexpr int kMsgNotInteger = 62225;

class FileCatalogue : public IDataFileCatalogue {
public:
    QStringList Tables(const QString& path) override {
        QStringList out;
        const int n = GetDataFileTableCount(path);
        for (int i = 0; i < n; ++i) {
            const QString name = GetDataFileTableName(path, i);
            if (!name.isNull()) out << name;
        }
        return out;
    }
    QStringList Fields(const QString& path, const QString& table) override {
        QStringList out;
        const int n = GetDataTableFieldCount(path, table);
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
    if (file.isEmpty()) return {62222, CReadFileDataDlg::IDC_FILE};
    if (field.isEmpty()) return {62223, CReadFileDataDlg::IDC_FIELD};
    if (record.isEmpty()) return {62224, CReadFileDataDlg::IDC_RECORD};
    if (!isPlainInteger(record)) return {kMsgNotInteger, CReadFileDataDlg::IDC_RECORD};
    return {};
}

}  // namespace qor

CReadFileDataDlg::CReadFileDataDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(res::templateCaption(IDD).value_or(QString()).trimmed());
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("函数格式：INDB(\"<文件名>\",\"<表名>\",<字段名>,<记录号>,[条件])\n"
                       "条件的写法与 SELECT 语句的 WHERE 子句相同。"),
        this));
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
    fields->addRow(QStringLiteral("文件名："), fileRow);
    fields->addRow(QStringLiteral("表名："), m_table);
    fields->addRow(QStringLiteral("字段名："), m_field);
    fields->addRow(QStringLiteral("记录号："), m_record);
    fields->addRow(QStringLiteral("条件："), m_condition);
    layout->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = Bind(IDOK, new QPushButton(QStringLiteral("确认"), this));
    auto* previous = Bind(IDC_PREVIOUS, new QPushButton(QStringLiteral("上一步"), this));
    auto* cancel = Bind(IDCANCEL, new QPushButton(QStringLiteral("取消"), this));
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
        messageBox(QString::fromUtf8(e.what()), LoadErrorText(kMsgAppCaption), MsgButtons::Ok,
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
        messageBox(QString::fromUtf8(e.what()), LoadErrorText(kMsgAppCaption), MsgButtons::Ok,
                   MsgIcon::Warning);
    }
}

void CReadFileDataDlg::OnBrowse() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(62221);
    prompt.filter = QtFileFilter(LoadErrorText(62217) + LoadErrorText(62218) +
                                 LoadErrorText(62219) + LoadErrorText(62220) + QLatin1Char('|'));
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
                   check.messageId == kMsgNotInteger ? LoadErrorText(kMsgAppCaption) : QString(),
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

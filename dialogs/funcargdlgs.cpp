#include "dialogs/funcargdlgs.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

#include "engine/messages.h"
#include "platform/uiservices.h"
#include "reader/cappenvironment.h"
#include "reader/creaderapp.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

struct EditForm {
    int id;
    const char* label;
};

// What an argument dialog shows and asks. Statistic dialogs take their
// format and description lines from the message table by function kind.
struct ArgForm {
    int templateId;
    const char* format;
    const char* description;
    bool reload;  // the edits show the members again on opening
    QList<EditForm> edits;
};

const QList<ArgForm>& forms() {
    static const QList<ArgForm> table = {
        {212, "", "", true, {{1000, "固定区区域："}, {1004, "筛选表达式："}}},
        {213, "", "", true, {{1000, "可变区字段单元："}, {1004, "筛选表达式："}}},
        {214, "", "", true, {{1000, "区域："}, {1004, "筛选表达式："}}},
        {221, "函数格式：IFF(<逻辑表达式>,<条件真值>,<条件假值>)",
         "函数说明：当逻辑表达式为真时，返回条件真值，\n当逻辑表达式为假时，返回条件假值。", true,
         {{1000, "逻辑表达式："}, {1004, "条件真值："}, {1036, "条件假值："}}},
        {331, "函数格式：LEN(字符串)", "函数说明：返回字符串的长度。", false,
         {{1000, "字符串："}}},
        {332, "函数格式：STR(参数)", "函数说明：把数值转换成字符串。", false, {{1000, "参数："}}},
        {333, "函数格式：TRIM(字符串)", "函数说明：去掉字符串前后的空格。", false,
         {{1000, "字符串："}}},
        {334, "函数格式：UPPER(字符串)", "函数说明：把字符串转换成大写。", false,
         {{1000, "字符串："}}},
        {335, "函数格式：VAL(字符串)", "函数说明：把字符串转换成数值。", false,
         {{1000, "字符串："}}},
        {336, "函数格式：SIN(参数)", "函数说明：返回给定参数的正弦值。", false,
         {{1000, "参数："}}},
        {337, "函数格式：COS(参数)", "函数说明：返回给定参数的余弦值。", true, {{1000, "参数："}}},
        {338, "函数格式：TAN(参数)", "函数说明：返回给定参数的正切值。", false,
         {{1000, "参数："}}},
        {339, "函数格式：CTAN(参数)", "函数说明：返回给定参数的余切值。", false,
         {{1000, "参数："}}},
        {340, "函数格式：ABS(参数)", "函数说明：返回给定参数的绝对值。", false,
         {{1000, "参数："}}},
        {341, "函数格式：INT(参数)", "函数说明：返回给定参数的整数部分。", false,
         {{1000, "参数："}}},
        {342, "函数格式：SQR(参数)", "函数说明：返回给定参数的平方根。", false,
         {{1000, "参数："}}},
        {343, "函数格式：LN(参数)", "函数说明：返回给定参数的自然对数。", false,
         {{1000, "参数："}}},
        {344, "函数格式：LOG(参数)", "函数说明：参数的以10为底的对数,", true, {{1004, "参数："}}},
        {345, "函数格式：EXP(参数)", "函数说明：返回e的给定参数次幂。", false,
         {{1000, "参数："}}},
        {347, "函数格式：ROUND(参数1,参数2)",
         "函数说明：根据给定的参数2对参数1进行四舍五入，\n参数2为小数位数，必须为正整数。", true,
         {{1000, "参数1："}, {1004, "参数2："}}},
        {400, "函数格式：SUBSTR(\"<字符串表达式>\"[,<起始位置>][,<字符长度>])",
         "函数说明：从字符串中取出一段子串。", false,
         {{1000, "字符串表达式："}, {1004, "起始位置："}, {1036, "字符长度："}}},
        {401, "函数格式：LOWER(字符串)", "函数说明：把字符串转换成小写。", false,
         {{1000, "字符串："}}},
    };
    return table;
}

const ArgForm& formOf(int templateId) {
    for (const ArgForm& f : forms())
        if (f.templateId == templateId) return f;
    static const ArgForm none{0, "", "", false, {{1000, ""}}};
    return none;
}

QString caption(int templateId) {
    return res::templateCaption(templateId).value_or(QString()).trimmed();
}

QString controlText(int templateId, int id, const QString& fallback) {
    const auto info = res::controlInfo(templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

void refuse(int messageId) {
    messageBox(LoadErrorText(messageId), LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok,
               MsgIcon::Warning);
}

// OK, 上一步 and Cancel in a row below the dialog's controls.
QHBoxLayout* standardButtons(CQorDialog* dlg, CDlgItems& items, int tpl) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    auto* ok = items.Bind(CQorDialog::IDOK, new QPushButton(controlText(tpl, 1, "确认"), dlg));
    auto* previous = items.Bind(1028, new QPushButton(controlText(tpl, 1028, LoadErrorText(qor::str::kPrevious)), dlg));
    auto* cancel =
        items.Bind(CQorDialog::IDCANCEL, new QPushButton(controlText(tpl, 2, LoadErrorText(qor::str::kCancelButton)), dlg));
    ok->setDefault(true);
    previous->setAutoDefault(false);
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(previous);
    row->addWidget(cancel);
    QObject::connect(ok, &QPushButton::clicked, dlg, &CQorDialog::OnOK);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &CQorDialog::OnCancel);
    return row;
}

CAcctFuncDlg::HelpFn& helpHandler() {
    static CAcctFuncDlg::HelpFn fn;
    return fn;
}

}  // namespace

// ---- CFuncArgDlg --------------------------------------------------------------

CFuncArgDlg::CFuncArgDlg(int templateId, QWidget* parent) : CQorDialog(parent, templateId) {
    const ArgForm& form = formOf(templateId);
    m_reload = form.reload;
    setWindowTitle(caption(templateId));
    auto* layout = new QVBoxLayout(this);
    m_format = Bind(IDC_FORMAT, new QLabel(QString::fromUtf8(form.format), this));
    m_description = Bind(IDC_DESCRIPTION, new QLabel(QString::fromUtf8(form.description), this));
    layout->addWidget(m_format);
    layout->addWidget(m_description);
    auto* fields = new QFormLayout;
    for (const EditForm& e : form.edits) {
        auto* edit = Bind(e.id, new QLineEdit(this));
        fields->addRow(QString::fromUtf8(e.label), edit);
        m_edits << edit;
        m_editIds << e.id;
    }
    layout->addLayout(fields);
    layout->addLayout(standardButtons(this, *this, templateId));
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_PREVIOUS)), &QPushButton::clicked, this,
            &CFuncArgDlg::OnPrevious);
    while (m_values.size() < m_edits.size()) m_values << QString();
}

bool CFuncArgDlg::Knows(int templateId) { return formOf(templateId).templateId != 0; }

bool CFuncArgDlg::IsStatistic() const {
    const int t = TemplateId();
    return t == kTplFixedAreaStat || t == kTplVarAreaStat || t == kTplRegionStat;
}

bool CFuncArgDlg::OnInitDialog() {
    while (m_values.size() < m_edits.size()) m_values << QString();
    for (int i = 0; i < m_edits.size(); ++i)
        m_edits[i]->setText(m_reload ? m_values[i] : QString());
    if (IsStatistic()) {
        const auto [format, description] = StatisticLines(TemplateId(), m_nFuncKind);
        m_format->setText(format ? LoadErrorText(format) : QString());
        m_description->setText(description ? LoadErrorText(description) : QString());
    }
    if (!m_edits.isEmpty()) m_edits.front()->setFocus();
    return true;
}

QStringList CFuncArgDlg::Typed() const {
    QStringList out;
    for (const QLineEdit* e : m_edits) out << e->text();
    return out;
}

void CFuncArgDlg::OnOK() {
    const QStringList typed = Typed();
    const ArgCheck check = CheckFuncArgs(TemplateId(), typed);
    if (!check.ok()) {
        // What was read before the refused edit is taken, as a user who
        // goes back afterwards expects.
        const int at = int(m_editIds.indexOf(check.focusId));
        for (int i = 0; i < at && i < typed.size(); ++i) m_values[i] = typed[i];
        refuse(check.messageId);
        if (QWidget* w = GetDlgItem(check.focusId)) w->setFocus();
        return;
    }
    m_values = typed;
    EndDialog(IDOK);
}

void CFuncArgDlg::OnCancel() {
    // The statistic dialogs forget their filter.
    if (IsStatistic() && m_values.size() > 1) m_values[1].clear();
    EndDialog(IDCANCEL);
}

void CFuncArgDlg::OnPrevious() {
    m_values = Typed();
    EndDialog(IDC_PREVIOUS);
}

// ---- CRelationCondDlg --------------------------------------------------------

CRelationCondDlg::CRelationCondDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    m_key = Bind(IDC_KEY, new QComboBox(this));
    m_relatedKey = Bind(IDC_RELATED_KEY, new QComboBox(this));
    m_key->setEditable(true);
    m_relatedKey->setEditable(true);
    m_table = Bind(IDC_TABLE, new QLineEdit(this));
    auto* browse = Bind(IDC_BROWSE, new QPushButton(QStringLiteral("..."), this));
    browse->setAutoDefault(false);
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(m_table, 1);
    tableRow->addWidget(browse);
    fields->addRow(QStringLiteral("当前关键值："), m_key);
    fields->addRow(QStringLiteral("关联表名："), tableRow);
    fields->addRow(QStringLiteral("关联关键值："), m_relatedKey);
    layout->addLayout(fields);
    layout->addLayout(standardButtons(this, *this, IDD));
    connect(browse, &QPushButton::clicked, this, &CRelationCondDlg::OnBrowse);
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_PREVIOUS)), &QPushButton::clicked, this,
            &CRelationCondDlg::OnPrevious);
}

bool CRelationCondDlg::OnInitDialog() {
    // 年 季 月 日 单位名称 单位编号
    static const int kKeywords[] = {qor::str::kKeywordYear,     qor::str::kKeywordQuarter,
                                    qor::str::kKeywordMonth,    qor::str::kKeywordDay,
                                    qor::str::kKeywordUnitName, qor::str::kKeywordUnitCode};
    for (QComboBox* box : {m_key, m_relatedKey}) {
        box->clear();
        for (int id : kKeywords) box->addItem(LoadErrorText(id));
    }
    m_key->setEditText(m_strKey);
    m_relatedKey->setEditText(m_strRelatedKey);
    m_table->setText(m_strTable);
    return true;
}

void CRelationCondDlg::OnBrowse() {
    FilePrompt prompt;
    prompt.caption = LoadErrorText(qor::str::kOpen);
    prompt.filter = QtFileFilter(LoadErrorText(qor::str::kReportFileFilter));
    if (!m_table->text().isEmpty()) prompt.directory = QFileInfo(m_table->text()).absolutePath();
    if (const std::optional<QString> path = chooseFile(prompt)) m_table->setText(*path);
}

void CRelationCondDlg::OnOK() {
    const QString key = m_key->currentText();
    const QString table = m_table->text();
    const QString related = m_relatedKey->currentText();
    const ArgCheck check = CheckRelationCond(key, table, related);
    if (!check.ok()) {
        refuse(check.messageId);
        if (QWidget* w = GetDlgItem(check.focusId)) w->setFocus();
        return;
    }
    m_strKey = key;
    m_strTable = table;
    m_strRelatedKey = related;
    EndDialog(IDOK);
}

// ---- CAcctFuncDlg ------------------------------------------------------------

CAcctFuncDlg::CAcctFuncDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    m_name = Bind(IDC_NAME, new QLabel(this));
    m_form = Bind(IDC_FORM, new QPlainTextEdit(this));
    m_form->setReadOnly(true);
    m_form->setMaximumHeight(80);
    m_description = Bind(IDC_DESCRIPTION, new QLabel(this));
    m_description->setWordWrap(true);
    m_text = Bind(IDC_TEXT, new QLineEdit(this));
    m_text->setMaxLength(kMaxText);
    auto* conference = Bind(IDC_CONFERENCE, new QPushButton(QStringLiteral("参照"), this));
    conference->setAutoDefault(false);
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(m_text, 1);
    textRow->addWidget(conference);
    fields->addRow(QStringLiteral("函数名称:"), m_name);
    fields->addRow(QStringLiteral("函数格式:"), m_form);
    fields->addRow(QStringLiteral("函数说明:"), m_description);
    fields->addRow(QStringLiteral("函数录入:"), textRow);
    layout->addLayout(fields);
    layout->addLayout(standardButtons(this, *this, IDD));
    connect(conference, &QPushButton::clicked, this, &CAcctFuncDlg::OnConference);
    connect(static_cast<QPushButton*>(GetDlgItem(IDC_PREVIOUS)), &QPushButton::clicked, this,
            &CAcctFuncDlg::OnPrevious);
}

bool CAcctFuncDlg::OnInitDialog() {
    if (!m_strCaption.isEmpty()) setWindowTitle(m_strCaption);
    GetDlgItem(IDC_CONFERENCE)->setEnabled(m_nKind == kServiceKind);
    m_text->setText(m_strText);
    m_form->setPlainText(m_strForm);
    m_description->setText(m_strDescription);
    m_name->setText(m_strName);
    return true;
}

void CAcctFuncDlg::OnConference() {
    if (m_nKind != kServiceKind || !m_conference) return;
    try {
        m_strText = m_conference(m_item).left(kMaxText);
        m_text->setText(m_strText);
    } catch (const std::exception& e) {
        messageBox(QString::fromUtf8(e.what()), LoadErrorText(qor::str::kAppTitle), MsgButtons::Ok,
                   MsgIcon::Warning);
    }
}

void CAcctFuncDlg::OnOK() {
    m_strText = m_text->text().left(kMaxText);
    EndDialog(IDOK);
}

CAcctFuncDlg::HelpFn CAcctFuncDlg::SetHelpHandler(HelpFn fn) {
    HelpFn old = std::move(helpHandler());
    helpHandler() = std::move(fn);
    return old;
}

void CAcctFuncDlg::OnHelp() {
    const HelpTopic topic = AccountingHelpTopic(
        CAppEnvironment::Instance().App().ProgramDirectory, LanguageCode(), m_nHelp);
    if (const HelpFn& fn = helpHandler()) {
        fn(topic);
        return;
    }
    // Show a topic by its context.
    CAppEnvironment::Instance().App().WinHelp(topic.context, 1);
}

void CAcctFuncDlg::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_F1) {
        OnHelp();
        e->accept();
        return;
    }
    CQorDialog::keyPressEvent(e);
}

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
    int label;  // string id
};

// What an argument dialog shows and asks. Statistic dialogs take their
// format and description lines from the message table by function kind.
struct ArgForm {
    int templateId;
    int format;  // string ids; 0 shows nothing
    int description;
    bool reload;  // the edits show the members again on opening
    QList<EditForm> edits;
};

const QList<ArgForm>& forms() {
    static const QList<ArgForm> table = {
        {212,
         0,
         0,
         true,
         {{1000, qor::str::kFixedAreaRangeLabel}, {1004, qor::str::kFilterExpressionLabel}}},
        {213,
         0,
         0,
         true,
         {{1000, qor::str::kVariableAreaFieldCellLabel}, {1004, qor::str::kFilterExpressionLabel}}},
        {214, 0, 0, true, {{1000, qor::str::kAreaLabel}, {1004, qor::str::kFilterExpressionLabel}}},
        {221,
         qor::str::kIffFunctionFormat,
         qor::str::kIffFunctionDescription,
         true,
         {{1000, qor::str::kLogicalExpressionLabel},
          {1004, qor::str::kValueIfTrueLabel},
          {1036, qor::str::kValueIfFalseLabel}}},
        {331,
         qor::str::kLenFunctionFormat,
         qor::str::kLenFunctionDescription,
         false,
         {{1000, qor::str::kStringArgumentLabel}}},
        {332,
         qor::str::kStrFunctionFormat,
         qor::str::kStrFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {333,
         qor::str::kTrimFunctionFormat,
         qor::str::kTrimFunctionDescription,
         false,
         {{1000, qor::str::kStringArgumentLabel}}},
        {334,
         qor::str::kUpperFunctionFormat,
         qor::str::kUpperFunctionDescription,
         false,
         {{1000, qor::str::kStringArgumentLabel}}},
        {335,
         qor::str::kValFunctionFormat,
         qor::str::kValFunctionDescription,
         false,
         {{1000, qor::str::kStringArgumentLabel}}},
        {336,
         qor::str::kSinFunctionFormat,
         qor::str::kSinFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {337,
         qor::str::kCosFunctionFormat,
         qor::str::kCosFunctionDescription,
         true,
         {{1000, qor::str::kArgumentLabel}}},
        {338,
         qor::str::kTanFunctionFormat,
         qor::str::kTanFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {339,
         qor::str::kCtanFunctionFormat,
         qor::str::kCtanFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {340,
         qor::str::kAbsFunctionFormat,
         qor::str::kAbsFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {341,
         qor::str::kIntFunctionFormat,
         qor::str::kIntFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {342,
         qor::str::kSqrFunctionFormat,
         qor::str::kSqrFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {343,
         qor::str::kLnFunctionFormat,
         qor::str::kLnFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {344,
         qor::str::kLogFunctionFormat,
         qor::str::kLogFunctionDescription,
         true,
         {{1004, qor::str::kArgumentLabel}}},
        {345,
         qor::str::kExpFunctionFormat,
         qor::str::kExpFunctionDescription,
         false,
         {{1000, qor::str::kArgumentLabel}}},
        {347,
         qor::str::kRoundFunctionFormat,
         qor::str::kRoundFunctionDescription,
         true,
         {{1000, qor::str::kArgument1Label}, {1004, qor::str::kArgument2Label}}},
        {400,
         qor::str::kSubstrFunctionFormat,
         qor::str::kSubstrFunctionDescription,
         false,
         {{1000, qor::str::kStringExpressionLabel},
          {1004, qor::str::kStartPositionLabel},
          {1036, qor::str::kCharacterLengthLabel}}},
        {401,
         qor::str::kLowerFunctionFormat,
         qor::str::kLowerFunctionDescription,
         false,
         {{1000, qor::str::kStringArgumentLabel}}},
    };
    return table;
}

const ArgForm& formOf(int templateId) {
    for (const ArgForm& f : forms())
        if (f.templateId == templateId) return f;
    static const ArgForm none{0, 0, 0, false, {{1000, 0}}};
    return none;
}

QString textOrEmpty(int stringId) { return stringId ? LoadErrorText(stringId) : QString(); }

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
    auto* ok = items.Bind(
        CQorDialog::IDOK,
        new QPushButton(controlText(tpl, 1, LoadErrorText(qor::str::kConfirmButton)), dlg));
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
    m_format = Bind(IDC_FORMAT, new QLabel(textOrEmpty(form.format), this));
    m_description = Bind(IDC_DESCRIPTION, new QLabel(textOrEmpty(form.description), this));
    layout->addWidget(m_format);
    layout->addWidget(m_description);
    auto* fields = new QFormLayout;
    for (const EditForm& e : form.edits) {
        auto* edit = Bind(e.id, new QLineEdit(this));
        fields->addRow(textOrEmpty(e.label), edit);
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
        m_format->setText(textOrEmpty(format));
        m_description->setText(textOrEmpty(description));
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
    fields->addRow(LoadErrorText(qor::str::kCurrentKeyValueLabel), m_key);
    fields->addRow(LoadErrorText(qor::str::kRelatedTableNameLabel), tableRow);
    fields->addRow(LoadErrorText(qor::str::kRelatedKeyValueLabel), m_relatedKey);
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
    auto* conference =
        Bind(IDC_CONFERENCE, new QPushButton(LoadErrorText(qor::str::kReferenceButton), this));
    conference->setAutoDefault(false);
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(m_text, 1);
    textRow->addWidget(conference);
    fields->addRow(LoadErrorText(qor::str::kFunctionNameLabel), m_name);
    fields->addRow(LoadErrorText(qor::str::kFunctionFormatLabel), m_form);
    fields->addRow(LoadErrorText(qor::str::kFunctionDescriptionLabel), m_description);
    fields->addRow(LoadErrorText(qor::str::kFunctionEntryLabel), textRow);
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

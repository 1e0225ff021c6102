#include "dialogs/input_dlgs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>
#include <cmath>

#include "cmdlang/ccalcinterpreter.h"
#include "dialogs/batchcmd_logic.h"
#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "exchange/chtmlexporter.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString controlText(int templateId, int id, const QString& fallback) {
    const auto info = res::controlInfo(templateId, id);
    return info && !info->caption.isEmpty() ? info->caption : fallback;
}

}  // namespace

// ---- CInputLineDlg ----------------------------------------------------------

CInputLineDlg::CInputLineDlg(QWidget* parent, int templateId, const QString& prompt)
    : CQorDialog(parent, templateId), m_defaultPrompt(prompt) {
    auto* layout = new QVBoxLayout(this);
    m_label = new QLabel(prompt, this);
    m_edit = Bind(IDC_VALUE, new QLineEdit(this));
    m_label->setBuddy(m_edit);
    layout->addWidget(m_label);
    layout->addWidget(m_edit);
    AddDlgButtons(this, layout);
}

bool CInputLineDlg::OnInitDialog() {
    setWindowTitle(m_strCaption.isEmpty() ? LoadErrorText(qor::str::kDialogCaption) : m_strCaption);
    m_label->setText(m_strPrompt.isEmpty() ? m_defaultPrompt : m_strPrompt);
    m_edit->setText(m_strValue);
    m_edit->selectAll();
    m_edit->setFocus();
    return true;
}

CGetIntDlg::CGetIntDlg(QWidget* parent)
    : CInputLineDlg(parent, IDD, LoadErrorText(qor::str::kEnterNumberPrompt)) {}

void CGetIntDlg::OnOK() {
    bool ok = false;
    const QString text = m_edit->text().trimmed();
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < m_dMinimum || v > m_dMaximum) {
        messageBox(LoadErrorText(qor::str::kNotAValidNumber).arg(text), windowTitle(),
                   MsgButtons::Ok, MsgIcon::Warning);
        m_edit->selectAll();
        m_edit->setFocus();
        return;
    }
    m_strValue = m_edit->text();
    m_dValue = v;
    EndDialog(IDOK);
}

CGetStrDlg::CGetStrDlg(QWidget* parent)
    : CInputLineDlg(parent, IDD, LoadErrorText(qor::str::kEnterTextPrompt)) {}

bool CGetStrDlg::OnInitDialog() {
    m_edit->setMaxLength(m_nMaxLength > 0 ? m_nMaxLength : 32767);
    return CInputLineDlg::OnInitDialog();
}

void CGetStrDlg::OnOK() {
    m_strValue = m_edit->text();
    EndDialog(IDOK);
}

// ---- CPromptDlg -------------------------------------------------------------

CPromptDlg::CPromptDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kPromptCaption)));
    auto* layout = new QVBoxLayout(this);
    m_message = Bind(IDC_MESSAGE, new QLabel(this));
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_dontAsk = Bind(IDC_DONT_ASK,
                     new QCheckBox(controlText(IDD, IDC_DONT_ASK, LoadErrorText(qor::str::kDontAskAgainCheck)), this));
    layout->addWidget(m_message);
    layout->addWidget(m_dontAsk);
    AddDlgButtons(this, layout, LoadErrorText(qor::str::kYesWord), LoadErrorText(qor::str::kNoWord));
}

bool CPromptDlg::OnInitDialog() {
    m_message->setText(m_strMessage);
    m_dontAsk->setChecked(m_bDontAsk);
    return true;
}

void CPromptDlg::OnOK() {
    m_bDontAsk = m_dontAsk->isChecked();
    EndDialog(IDOK);
}

// ---- CAskAlwaysDlg ---------------------------------------------------------

CAskAlwaysDlg::CAskAlwaysDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(DlgCaption(IDD, LoadErrorText(qor::str::kPromptCaption)));
    auto* layout = new QVBoxLayout(this);
    m_message = Bind(IDC_MESSAGE, new QLabel(this));
    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_always = Bind(IDC_ALWAYS, new QCheckBox(controlText(IDD, IDC_ALWAYS,
                                                          LoadErrorText(qor::str::kRememberChoiceCheck)),
                                              this));
    layout->addWidget(m_message);
    layout->addWidget(m_always);
    AddDlgButtons(this, layout, LoadErrorText(qor::str::kYesWord), LoadErrorText(qor::str::kNoWord));
}

bool CAskAlwaysDlg::OnInitDialog() {
    m_message->setText(m_strMessage);
    m_always->setChecked(m_bAlways);
    m_nAnswer = 1;
    return true;
}

void CAskAlwaysDlg::OnOK() {
    m_bAlways = m_always->isChecked();
    m_nAnswer = 1;
    EndDialog(IDOK);
}

void CAskAlwaysDlg::OnCancel() {
    m_bAlways = m_always->isChecked();
    m_nAnswer = 0;
    EndDialog(IDCANCEL);
}

void qor::InstallOverwriteAskDialog(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    CHtmlExporter::SetDefaultOverwriteAsker([owner](const QString& question) {
        CAskAlwaysDlg dlg(owner.data());
        dlg.m_strMessage = question;
        dlg.DoModal();
        CHtmlExporter::OverwriteAnswer answer;
        answer.overwrite = dlg.m_nAnswer == 1;
        answer.always = dlg.m_bAlways;
        return answer;
    });
}

// ---- installation -----------------------------------------------------------

void qor::InstallInputDialogs(QWidget* parent) {
    QPointer<QWidget> owner(parent);
    UiServices services = uiServices();
    services.promptNumber = [owner](const NumberPrompt& p) -> std::optional<double> {
        CGetIntDlg dlg(owner.data());
        dlg.m_strCaption = p.caption;
        dlg.m_strPrompt = p.label;
        dlg.m_dMinimum = p.minimum;
        dlg.m_dMaximum = p.maximum;
        if (p.initial != 0) dlg.m_strValue = QString::number(p.initial, 'f', std::clamp(p.decimals, 0, 10));
        if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
        return dlg.m_dValue;
    };
    const auto plainText = services.promptText;
    services.promptText = [owner, plainText](const TextPrompt& p) -> std::optional<QString> {
        if (p.password) return plainText(p);
        CGetStrDlg dlg(owner.data());
        dlg.m_strCaption = p.caption;
        dlg.m_strPrompt = p.label;
        dlg.m_strValue = p.initial;
        dlg.m_nMaxLength = p.maxLength;
        if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
        return dlg.m_strValue;
    };
    installUiServices(services);

    CCalcInterpreter& ci = CCalcInterpreter::Instance();
    cmd::CalcSubsystemHooks hooks = ci.SubsystemHooks();
    hooks.batchError = [owner](const QString& message) {
        CPromptDlg dlg(owner.data());
        // 是 and 否 answer a question, so the box asks it under the failure.
        dlg.m_strMessage = BatchFailureText(CCalcInterpreter::Instance().LastErrorCode(), message) +
                           u'\n' + LoadErrorText(qor::str::kScriptGoOnQuestion);
        cmd::BatchErrorAnswer answer;
        if (dlg.DoModal() == CQorDialog::IDOK) {
            answer.goOn = true;
            answer.dontAskAgain = dlg.m_bDontAsk;
        }
        return answer;
    };
    ci.SetSubsystemHooks(hooks);
}

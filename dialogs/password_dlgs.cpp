#include "dialogs/password_dlgs.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/dlgbuild.h"
#include "engine/messages.h"
#include "platform/uiservices.h"
#include "resources/stringtable.h"

using namespace qor;

namespace {

QString caption(int templateId) {
    return res::templateCaption(templateId).value_or(QString()).trimmed();
}

// A hidden-echo edit with the template's label beside it.
QLineEdit* passwordEdit(QDialog* dlg, QFormLayout* form, QHash<int, QWidget*>& items,
                        int templateId, int id, int maxLength) {
    auto* edit = new QLineEdit(dlg);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(maxLength);
    edit->setObjectName(QStringLiteral("ctl%1").arg(id));
    items.insert(id, edit);
    const auto info = res::controlInfo(templateId, id);
    form->addRow(info ? info->caption : QString(), edit);
    return edit;
}

// OK and Cancel under the form; both are reachable by their ids.
void addButtons(CQorDialog* dlg, QVBoxLayout* layout, QHash<int, QWidget*>& items) {
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dlg);
    const int tid = dlg->TemplateId();
    box->button(QDialogButtonBox::Ok)->setText(DlgButtonText(tid, kIdOk));
    box->button(QDialogButtonBox::Cancel)->setText(DlgButtonText(tid, kIdCancel));
    items.insert(kIdOk, box->button(QDialogButtonBox::Ok));
    items.insert(kIdCancel, box->button(QDialogButtonBox::Cancel));
    QObject::connect(box, &QDialogButtonBox::accepted, dlg, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dlg, &QDialog::reject);
    layout->addWidget(box);
}

}  // namespace

// ---- CFormatLockDlg -------------------------------------------------------

CFormatLockDlg::CFormatLockDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_new = passwordEdit(this, form, m_items, IDD, IDC_NEW, kFormatPasswordMaxLength);
    m_confirm = passwordEdit(this, form, m_items, IDD, IDC_CONFIRM, kFormatPasswordMaxLength);
    layout->addLayout(form);
    addButtons(this, layout, m_items);
}

bool CFormatLockDlg::OnInitDialog() {
    m_new->setText(newPassword);
    m_confirm->setText(confirmation);
    m_new->setFocus();
    return true;
}

void CFormatLockDlg::OnOK() {
    if (!SamePassword(m_new->text(), m_confirm->text())) {
        messageBox(LoadErrorText(qor::str::kConfirmNewPassword), windowTitle(), MsgButtons::Ok,
                   MsgIcon::Warning);
        m_confirm->setFocus();
        return;
    }
    newPassword = m_new->text();
    confirmation = m_confirm->text();
    done(kIdOk);
}

void CFormatLockDlg::OnCancel() { done(kIdCancel); }

// ---- CFormatPasswordDlg ---------------------------------------------------

CFormatPasswordDlg::CFormatPasswordDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_password = passwordEdit(this, form, m_items, IDD, IDC_PASSWORD, kFormatPasswordMaxLength);
    layout->addLayout(form);
    addButtons(this, layout, m_items);
}

bool CFormatPasswordDlg::OnInitDialog() {
    m_password->setText(typed);
    m_password->setFocus();
    return true;
}

void CFormatPasswordDlg::OnOK() {
    typed = m_password->text();
    done(kIdOk);
}

void CFormatPasswordDlg::OnCancel() { done(kIdCancel); }

// ---- CSetFilePasswordDlg --------------------------------------------------

CSetFilePasswordDlg::CSetFilePasswordDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    m_old = passwordEdit(this, form, m_items, IDD, IDC_OLD, kFilePasswordMaxLength);
    m_new = passwordEdit(this, form, m_items, IDD, IDC_NEW, kFilePasswordMaxLength);
    m_confirm = passwordEdit(this, form, m_items, IDD, IDC_CONFIRM, kFilePasswordMaxLength);
    layout->addLayout(form);
    addButtons(this, layout, m_items);
    connect(m_old, &QLineEdit::textChanged, this, &CSetFilePasswordDlg::OnChangeOld);
}

void CSetFilePasswordDlg::EnableNew(bool enable) {
    m_new->setEnabled(enable);
    m_confirm->setEnabled(enable);
}

void CSetFilePasswordDlg::Focus(QWidget* w) {
    m_focus = w;
    w->setFocus();
}

bool CSetFilePasswordDlg::OnInitDialog() {
    const QSignalBlocker quiet(m_old);
    m_old->setText(typedOld);
    m_new->setText(newPassword);
    m_confirm->setText(confirmation);
    stage = current.isEmpty() ? 1 : 0;
    m_old->setEnabled(stage == 0);
    EnableNew(stage != 0);
    Focus(stage == 0 ? m_old : m_new);
    return true;
}

void CSetFilePasswordDlg::OnChangeOld() {
    if (stage != 0) return;
    typedOld = m_old->text();
    EnableNew(NewPasswordEditable(*this));
}

void CSetFilePasswordDlg::OnOK() {
    typedOld = m_old->text();
    newPassword = m_new->text();
    confirmation = m_confirm->text();
    const SetFilePasswordOkResult r = SetFilePasswordOk(*this, windowTitle());
    if (stage != 0) EnableNew(true);
    if (r.close) {
        done(kIdOk);
        return;
    }
    Focus(r.focus == PasswordField::Old   ? m_old
          : r.focus == PasswordField::New ? static_cast<QWidget*>(m_new)
                                          : m_confirm);
}

void CSetFilePasswordDlg::OnCancel() { done(kIdCancel); }

// ---- CFilePasswordDlg -----------------------------------------------------

CFilePasswordDlg::CFilePasswordDlg(QWidget* parent) : CQorDialog(parent, IDD) {
    setWindowTitle(caption(IDD));
    auto* layout = new QVBoxLayout(this);
    m_file = Bind(IDC_FILE_NAME, new QLabel(this));
    layout->addWidget(m_file);
    auto* form = new QFormLayout;
    m_password = Bind(IDC_PASSWORD, new QLineEdit(this));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(kMaxLength);
    form->addRow(m_password);
    layout->addLayout(form);
    addButtons(this, layout, m_items);
}

bool CFilePasswordDlg::OnInitDialog() {
    m_file->setText(m_strFileName);
    m_password->setText(m_strPassword);
    m_password->setFocus();
    return true;
}

void CFilePasswordDlg::OnOK() {
    m_strPassword = m_password->text();
    EndDialog(kIdOk);
}

void qor::InstallFilePasswordDlg(QWidget* parent) {
    UiServices s = uiServices();
    s.filePassword =
        [owner = QPointer<QWidget>(parent)](const QString& path) -> std::optional<QString> {
        CFilePasswordDlg dlg(owner);
        dlg.m_strFileName = QFileInfo(path).fileName();
        if (dlg.DoModal() != kIdOk) return std::nullopt;
        return dlg.m_strPassword;
    };
    installUiServices(s);
}

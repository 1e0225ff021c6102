#include "dialogs/cqordialog.h"

namespace {

CQorDialog::ModalHook& modalHook() {
    static CQorDialog::ModalHook hook;
    return hook;
}

}  // namespace

CQorDialog::CQorDialog(QWidget* parent, int templateId)
    : QDialog(parent), m_templateId(templateId) {}

CQorDialog::~CQorDialog() = default;

CQorDialog::ModalHook CQorDialog::SetModalHook(ModalHook hook) {
    ModalHook old = std::move(modalHook());
    modalHook() = std::move(hook);
    return old;
}

int CQorDialog::DoModal() {
    m_result = 0;
    OnInitDialog();
    if (const ModalHook& hook = modalHook()) {
        hook(*this);
        return m_result ? m_result : IDCANCEL;
    }
    const int r = exec();
    // A plain QDialog::reject ends with 0.
    return m_result ? m_result : (r == 0 ? IDCANCEL : r);
}

void CQorDialog::done(int code) {
    m_result = code == QDialog::Rejected ? IDCANCEL : code;
    QDialog::done(code);
}

void CDlgItems::bindItem(int id, QWidget* widget) {
    if (!widget) return;
    m_items.insert(id, widget);
    if (widget->objectName().isEmpty()) widget->setObjectName(QStringLiteral("c%1").arg(id));
}

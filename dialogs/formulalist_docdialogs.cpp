#include "dialogs/formulalist_docdialogs.h"

#include "dialogs/cformulalistdlg.h"

namespace qor {

void RunFormulaListDlg(CQorsDoc& doc, QWidget* parent) {
    CFormulaListDlg dlg(parent);
    dlg.SetDocument(&doc);
    dlg.DoModal();
}

std::optional<AuditFormulaDlgMembers> RunAuditFormulaDlg(const AuditFormulaDlgMembers& preset,
                                                         QWidget* parent) {
    CAuditFormulaDlg dlg(parent);
    static_cast<AuditFormulaDlgMembers&>(dlg) = preset;
    if (dlg.DoModal() != CQorDialog::IDOK) return std::nullopt;
    return static_cast<const AuditFormulaDlgMembers&>(dlg);
}

}  // namespace qor

#pragma once
// The formula-list and audit-formula dialogs as the document's commands
// run them, as one layer of the desktop's dialogs (see
// consol_docdialogs.h): FormulaListDocDialogsT<...<qor::IDocDialogs>>.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "document/cmd_dialogs.h"

namespace qor {

// Shows the document's formula lists until the user closes the dialog.
void RunFormulaListDlg(CQorsDoc& doc, QWidget* parent = nullptr);
// The edited audit formulas after OK, nothing after Cancel.
std::optional<AuditFormulaDlgMembers> RunAuditFormulaDlg(const AuditFormulaDlgMembers& preset,
                                                         QWidget* parent = nullptr);

template <class Base = IDocDialogs>
class FormulaListDocDialogsT : public Base {
public:
    using Base::Base;
    bool Provides(int t) const override { return t == 205 || t == 155 || Base::Provides(t); }

    void SetFormulaListParent(QWidget* parent) { m_formulaListParent = parent; }

    void FormulaListDlg(CQorsDoc& doc) override { RunFormulaListDlg(doc, m_formulaListParent); }
    std::optional<AuditFormulaDlgMembers> AuditFormulaDlg(
        const AuditFormulaDlgMembers& m) override {
        return RunAuditFormulaDlg(m, m_formulaListParent);
    }

private:
    QPointer<QWidget> m_formulaListParent;
};

using FormulaListDocDialogs = FormulaListDocDialogsT<>;

}  // namespace qor

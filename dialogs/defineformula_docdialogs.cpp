#include "dialogs/defineformula_docdialogs.h"

#include "dialogs/cdefineformuladlg.h"

namespace qor {

std::optional<DefineFormulaDlgMembers> RunDefineFormulaDlg(const DefineFormulaDlgMembers& preset,
                                                           QWidget* parent) {
    CDefineFormulaDlg dlg(parent);
    static_cast<DefineFormulaDlgMembers&>(dlg) = preset;
    if (dlg.DoModal() != kIdOk) return std::nullopt;
    return static_cast<const DefineFormulaDlgMembers&>(dlg);
}

IDocDialogs* InstallDefineFormulaDocDialogs(QWidget* parent) {
    static DefineFormulaDocDialogs dialogs;
    dialogs.SetDefineFormulaParent(parent);
    return SetDocDialogs(&dialogs);
}

}  // namespace qor

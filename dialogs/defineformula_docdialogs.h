#pragma once
// The define-formula dialog as the document's cell-formula command runs
// it, as one layer of the desktop's dialogs (see consol_docdialogs.h):
//   DefineFormulaDocDialogsT<ConsolDocDialogsT<qor::IDocDialogs>>.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "document/cmd_dialogs.h"

namespace qor {

// Runs the dialog modally with the preset members; the members after OK,
// nothing after Cancel.
std::optional<DefineFormulaDlgMembers> RunDefineFormulaDlg(const DefineFormulaDlgMembers& preset,
                                                           QWidget* parent = nullptr);

template <class Base = IDocDialogs>
class DefineFormulaDocDialogsT : public Base {
public:
    using Base::Base;
    bool Provides(int t) const override { return t == 151 || Base::Provides(t); }

    void SetDefineFormulaParent(QWidget* parent) { m_defineFormulaParent = parent; }

    std::optional<DefineFormulaDlgMembers> DefineFormulaDlg(
        const DefineFormulaDlgMembers& m) override {
        return RunDefineFormulaDlg(m, m_defineFormulaParent);
    }

private:
    QPointer<QWidget> m_defineFormulaParent;
};

using DefineFormulaDocDialogs = DefineFormulaDocDialogsT<>;

// Installs the define-formula dialog (on the headless answers for every
// other dialog) as the document's dialogs; returns the ones installed
// before (null: the headless ones).
IDocDialogs* InstallDefineFormulaDocDialogs(QWidget* parent = nullptr);

}  // namespace qor

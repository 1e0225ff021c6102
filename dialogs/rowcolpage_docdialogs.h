#pragma once
// The insert-count, swap, delete and condition dialogs as the document's
// row, column and page commands run them, as one layer of the desktop's
// dialogs (see consol_docdialogs.h):
//   RowColPageDocDialogsT<ConsolDocDialogsT<qor::IDocDialogs>>.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "document/cmd_dialogs.h"

namespace qor {

// Each runs its dialog modally with the preset members; the members after
// OK, nothing after Cancel.
std::optional<InsertCountDlgMembers> RunInsertCountDlg(const InsertCountDlgMembers& preset,
                                                       QWidget* parent = nullptr);
std::optional<SwapDlgMembers> RunSwapDlg(const SwapDlgMembers& preset, QWidget* parent = nullptr);
std::optional<DeleteDlgMembers> RunDeleteDlg(const DeleteDlgMembers& preset,
                                             QWidget* parent = nullptr);
std::optional<DefineCondDlgMembers> RunDefineCondDlg(const DefineCondDlgMembers& preset,
                                                     QWidget* parent = nullptr);

template <class Base = IDocDialogs>
class RowColPageDocDialogsT : public Base {
public:
    using Base::Base;
    bool Provides(int t) const override { return t == 182 || t == 183 || t == 184 || t == 175 || Base::Provides(t); }

    void SetRowColPageParent(QWidget* parent) { m_rowColPageParent = parent; }

    std::optional<InsertCountDlgMembers> InsertCountDlg(const InsertCountDlgMembers& m) override {
        return RunInsertCountDlg(m, m_rowColPageParent);
    }
    std::optional<SwapDlgMembers> SwapDlg(const SwapDlgMembers& m) override {
        return RunSwapDlg(m, m_rowColPageParent);
    }
    std::optional<DeleteDlgMembers> DeleteDlg(const DeleteDlgMembers& m) override {
        return RunDeleteDlg(m, m_rowColPageParent);
    }
    std::optional<DefineCondDlgMembers> DefineCondDlg(const DefineCondDlgMembers& m) override {
        return RunDefineCondDlg(m, m_rowColPageParent);
    }

private:
    QPointer<QWidget> m_rowColPageParent;
};

using RowColPageDocDialogs = RowColPageDocDialogsT<>;

// Installs these dialogs (on the headless answers for every other dialog)
// as the document's dialogs; returns the ones installed before (null: the
// headless ones).
IDocDialogs* InstallRowColPageDocDialogs(QWidget* parent = nullptr);

}  // namespace qor

#include "dialogs/rowcolpage_docdialogs.h"

#include "dialogs/rowcolpage_dlgs.h"

namespace qor {

namespace {

// Runs dialog D preset with members M; the members after OK.
template <class D, class M>
std::optional<M> run(const M& preset, QWidget* parent) {
    D dlg(parent);
    static_cast<M&>(dlg) = preset;
    if (dlg.DoModal() != kIdOk) return std::nullopt;
    return static_cast<const M&>(dlg);
}

}  // namespace

std::optional<InsertCountDlgMembers> RunInsertCountDlg(const InsertCountDlgMembers& preset,
                                                       QWidget* parent) {
    return run<CInsertCountDlg>(preset, parent);
}

std::optional<SwapDlgMembers> RunSwapDlg(const SwapDlgMembers& preset, QWidget* parent) {
    return run<CSwapDlg>(preset, parent);
}

std::optional<DeleteDlgMembers> RunDeleteDlg(const DeleteDlgMembers& preset, QWidget* parent) {
    return run<CDeleteDlg>(preset, parent);
}

std::optional<DefineCondDlgMembers> RunDefineCondDlg(const DefineCondDlgMembers& preset,
                                                     QWidget* parent) {
    return run<CDefineCondDlg>(preset, parent);
}

IDocDialogs* InstallRowColPageDocDialogs(QWidget* parent) {
    static RowColPageDocDialogs dialogs;
    dialogs.SetRowColPageParent(parent);
    return SetDocDialogs(&dialogs);
}

}  // namespace qor

#include "dialogs/password_docdialogs.h"

#include "dialogs/password_dlgs.h"

namespace qor {

namespace {

template <class Dlg, class Members>
std::optional<Members> run(const Members& preset, QWidget* parent) {
    Dlg dlg(parent);
    static_cast<Members&>(dlg) = preset;
    if (dlg.DoModal() != kIdOk) return std::nullopt;
    return static_cast<const Members&>(dlg);
}

}  // namespace

std::optional<FormatLockDlgMembers> RunFormatLockDlg(const FormatLockDlgMembers& preset,
                                                     QWidget* parent) {
    return run<CFormatLockDlg>(preset, parent);
}

std::optional<FormatPasswordDlgMembers> RunFormatPasswordDlg(const FormatPasswordDlgMembers& preset,
                                                             QWidget* parent) {
    return run<CFormatPasswordDlg>(preset, parent);
}

std::optional<SetFilePasswordDlgMembers> RunSetFilePasswordDlg(
    const SetFilePasswordDlgMembers& preset, QWidget* parent) {
    return run<CSetFilePasswordDlg>(preset, parent);
}

IDocDialogs* InstallPasswordDocDialogs(QWidget* parent) {
    static PasswordDocDialogs dialogs;
    dialogs.SetPasswordParent(parent);
    UseFormatPasswordDlg();
    return SetDocDialogs(&dialogs);
}

}  // namespace qor

#pragma once
// The password dialogs as the document's commands run them, as one layer
// of the desktop's dialogs (see consol_docdialogs.h):
//   PasswordDocDialogsT<ConsolDocDialogsT<qor::IDocDialogs>>.

#include <QPointer>
#include <QWidget>
#include <optional>

#include "document/cmd_dialogs.h"

namespace qor {

// Each runs its dialog modally with the preset members; the members after
// OK, nothing after Cancel.
std::optional<FormatLockDlgMembers> RunFormatLockDlg(const FormatLockDlgMembers& preset,
                                                     QWidget* parent = nullptr);
std::optional<FormatPasswordDlgMembers> RunFormatPasswordDlg(const FormatPasswordDlgMembers& preset,
                                                             QWidget* parent = nullptr);
std::optional<SetFilePasswordDlgMembers> RunSetFilePasswordDlg(
    const SetFilePasswordDlgMembers& preset, QWidget* parent = nullptr);

template <class Base = IDocDialogs>
class PasswordDocDialogsT : public Base {
public:
    using Base::Base;
    bool Provides(int t) const override {
        return t == 161 || t == 162 || t == 428 || t == 429 || Base::Provides(t);
    }

    void SetPasswordParent(QWidget* parent) { m_passwordParent = parent; }

    std::optional<FormatLockDlgMembers> FormatLockDlg(const FormatLockDlgMembers& m) override {
        return RunFormatLockDlg(m, m_passwordParent);
    }
    std::optional<FormatPasswordDlgMembers> FormatPasswordDlg(
        const FormatPasswordDlgMembers& m) override {
        return RunFormatPasswordDlg(m, m_passwordParent);
    }
    std::optional<SetFilePasswordDlgMembers> SetFilePasswordDlg(
        const SetFilePasswordDlgMembers& m) override {
        return RunSetFilePasswordDlg(m, m_passwordParent);
    }

private:
    QPointer<QWidget> m_passwordParent;
};

using PasswordDocDialogs = PasswordDocDialogsT<>;

// Installs the password dialogs (on the headless answers for every other
// dialog) as the document's dialogs and routes the documents' format
// password question through them; returns the dialogs installed before
// (null: the headless ones).
IDocDialogs* InstallPasswordDocDialogs(QWidget* parent = nullptr);

}  // namespace qor

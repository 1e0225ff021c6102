#pragma once
// What the password dialogs decide, apart from their widgets: the length
// limits, the letter-case-blind comparison and what OK does in the
// set-file-password dialog. Messages go through the user-interface hooks.

#include <QString>

#include "document/cmd_dialogs.h"

namespace qor {

constexpr int kFormatPasswordMaxLength = 9;
constexpr int kFilePasswordMaxLength = 50;

// Passwords are compared with letter case ignored.
bool SamePassword(const QString& a, const QString& b);

// True when the new and confirm edits of the set-file-password dialog
// take input: from stage 1 on, or once the typed old password is right.
bool NewPasswordEditable(const SetFilePasswordDlgMembers& m);

enum class PasswordField { Old, New, Confirm };

struct SetFilePasswordOkResult {
    bool close = false;                        // IDOK; m.current holds the result
    PasswordField focus = PasswordField::New;  // where the focus goes when open
};

// OK in the set-file-password dialog: m holds the typed texts and the
// stage, both of which it may move on; caption titles the messages. Whether
// the password was set or removed is told by the command that stores it.
SetFilePasswordOkResult SetFilePasswordOk(SetFilePasswordDlgMembers& m, const QString& caption);

}  // namespace qor

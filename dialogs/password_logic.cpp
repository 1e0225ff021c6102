#include "dialogs/password_logic.h"

#include "engine/messages.h"
#include "platform/uiservices.h"

namespace qor {

namespace {

void warn(const QString& text, const QString& caption) {
    messageBox(text, caption, MsgButtons::Ok, MsgIcon::Warning);
}

bool tooLong(const SetFilePasswordDlgMembers& m) {
    return m.newPassword.size() > kFilePasswordMaxLength ||
           m.confirmation.size() > kFilePasswordMaxLength;
}

QString tooLongText() {
    return LoadErrorText(str::kPasswordTooLong).arg(kFilePasswordMaxLength);
}

}  // namespace

bool SamePassword(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool NewPasswordEditable(const SetFilePasswordDlgMembers& m) {
    return m.stage != 0 || SamePassword(m.typedOld, m.current);
}

SetFilePasswordOkResult SetFilePasswordOk(SetFilePasswordDlgMembers& m, const QString& caption) {
    if (m.stage == 0) {
        if (!SamePassword(m.typedOld, m.current)) {
            warn(LoadErrorText(str::kWrongFilePassword), caption);
            return {false, PasswordField::Old};
        }
        m.stage = 1;
        if (tooLong(m)) {
            warn(tooLongText(), caption);
            return {false, PasswordField::New};
        }
        if (m.newPassword.isEmpty() && m.confirmation.isEmpty()) {
            const MsgAnswer a = messageBox(LoadErrorText(str::kConfirmRemovePassword), caption,
                                           MsgButtons::YesNo, MsgIcon::Question, MsgAnswer::Yes);
            if (a == MsgAnswer::No) return {false, PasswordField::New};
            m.current.clear();
            return {true, PasswordField::New};
        }
        if (!SamePassword(m.newPassword, m.confirmation)) {
            warn(LoadErrorText(str::kConfirmNewPassword), caption);
            return {false, PasswordField::Confirm};
        }
        m.current = m.newPassword;
        return {true, PasswordField::New};
    }

    if (!SamePassword(m.newPassword, m.confirmation)) {
        warn(LoadErrorText(str::kConfirmNewPassword), caption);
        return {false, PasswordField::Confirm};
    }
    // The edits keep texts within the limit; a longer preset must not
    // close as if it had been taken.
    if (tooLong(m)) {
        warn(tooLongText(), caption);
        return {false, PasswordField::New};
    }
    // "Set" and "removed" are told by the command once the document has
    // taken the password, never before.
    m.current = m.newPassword;
    return {true, PasswordField::New};
}

}  // namespace qor

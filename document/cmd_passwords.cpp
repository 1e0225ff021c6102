#include "document/cmd_passwords.h"

#include "document/cmd_support.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "resources/stringids.h"

namespace qor {

namespace {
constexpr int kRefused = code(Status::Refused);
constexpr int kFormatPasswordDlgChars = 9;
}  // namespace

FormatLockDlgMembers PresetFormatLockDlg(const CQorsDoc&) { return FormatLockDlgMembers{}; }

int ApplyFormatLockDlg(CQorsDoc& doc, const FormatLockDlgMembers& m) {
    CReportHandle* r = DocReport(doc);
    if (!r) return kRefused;
    if (m.newPassword.compare(m.confirmation, Qt::CaseInsensitive) != 0) {
        ShowMessageId(str::kConfirmNewPassword);
        return kRefused;
    }
    if (m.newPassword.size() > kFormatPasswordDlgChars) {
        ShowMessageText(LoadErrorText(str::kPasswordTooLongCount).arg(kFormatPasswordDlgChars));
        return kRefused;
    }
    const int status = r->SetFormatPassword(m.newPassword);
    if (status) {
        ShowMessageText(LoadErrorText(str::kFormatLockFailed));
        return status;
    }
    FinishChange(doc, CQorsDoc::kHintState);
    return 0;
}

int OnFormatLock(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetFormatLockDlg(doc));
    return m ? ApplyFormatLockDlg(doc, *m) : -1;
}

SetFilePasswordDlgMembers PresetSetFilePasswordDlg(const CQorsDoc& doc) {
    SetFilePasswordDlgMembers m;
    m.current = doc.Files().GetFilePassword();
    m.stage = m.current.isEmpty() ? 1 : 0;
    return m;
}

int ApplySetFilePasswordDlg(CQorsDoc& doc, const SetFilePasswordDlgMembers& m) {
    if (!DocReport(doc)) return kRefused;
    if (m.current == doc.Files().GetFilePassword()) return 0;
    if (!doc.Files().SetFilePassword(m.current)) {
        ShowMessageText(LoadErrorText(str::kPasswordTooLong50));
        return kRefused;
    }
    FinishChange(doc, CQorsDoc::kHintState);
    // Told only now that the document holds the new password.
    if (!m.typedOld.isEmpty() && m.current.isEmpty())
        ShowMessageId(str::kFilePasswordRemoved);
    else if (m.typedOld.isEmpty() && !m.current.isEmpty())
        ShowMessageId(str::kFilePasswordSet);
    return 0;
}

int OnSetFilePassword(CQorsDoc& doc) {
    if (!DocReport(doc)) return -1;
    const auto m = Ask(PresetSetFilePasswordDlg(doc));
    return m ? ApplySetFilePasswordDlg(doc, *m) : -1;
}

}  // namespace qor

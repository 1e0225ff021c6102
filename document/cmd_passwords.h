#pragma once
// Password commands of the document: the format lock (format password) and
// the file password. The format password is asked by the document itself
// before format state (UseFormatPasswordDlg routes it to the dialog).

#include "document/cmd_dialogs.h"

class CQorsDoc;

namespace qor {

FormatLockDlgMembers PresetFormatLockDlg(const CQorsDoc& doc);
// New password and confirmation must agree, letter case ignored (62088);
// an empty password removes the lock.
int ApplyFormatLockDlg(CQorsDoc& doc, const FormatLockDlgMembers& m);
int OnFormatLock(CQorsDoc& doc);

// current = the stored file password; stage 0 when there is one.
SetFilePasswordDlgMembers PresetSetFilePasswordDlg(const CQorsDoc& doc);
// current becomes the file password ("" removes it), stored in "OTHERS"
// by the next save.
int ApplySetFilePasswordDlg(CQorsDoc& doc, const SetFilePasswordDlgMembers& m);
int OnSetFilePassword(CQorsDoc& doc);

}  // namespace qor

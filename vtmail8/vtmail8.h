#pragma once
// The mail transport library "vtmail8": entry points loaded by name at run
// time. Texts are UTF-16 (char16_t, NUL-terminated), numbers 32-bit.
//
// Sending: IniSend, SetUser, AddFile for each file, SendFile, CloseSend.
// SendFile writes one message holding every added file and answers 0, or
// -1 with the reason kept for MailLastError.
//
// Receiving: IniAccept, SetUser, one count call for the method (AcceptMode
// point to point, AcceptPost post-office mailbox, AcceptMail e-mail,
// AcceptFile disk file), Accept for each file from 1, CloseAccept. A
// message counts while unseen and sent under the same user code; it is
// marked seen by CloseAccept only when every file of it was handed out.
// Nothing is deleted.
//
// Accept(index, buffer, capacity) writes file index into a private folder
// and answers the length of its path in UTF-16 units (without the NUL); the
// path is copied (NUL-terminated) only when it fits, so a caller whose
// buffer was too small calls again with a larger one. -1 on failure.
// MailLastError(buffer, capacity) answers the same way for the reason of the
// last failure.
//
// Settings live under the registry key "Software\Vantix\QX\V8.610\Mail":
// DiskFolder (the exchange folder of the disk-file method), Inbox (this
// side's point-to-point inbox), PostOffice (the folder with one mailbox
// folder per name) and Mailbox (this side's mailbox name). Every folder is
// a Maildir (tmp/, new/, cur/). The e-mail method sends by SMTP to
// SmtpServer from MailFrom and receives from the IMAP mailbox of
// ImapServer, logging in as MailUser with MailPassword. Setup edits them in
// a dialog when the program has a desktop, and answers at once otherwise.

#include <cstdint>

#if defined(_WIN32)
#define VTMAIL8_API extern "C" __declspec(dllexport)
#else
#define VTMAIL8_API extern "C" __attribute__((visibility("default")))
#endif

VTMAIL8_API void IniSend();
VTMAIL8_API void SetUser(const char16_t* userCode);
VTMAIL8_API void AddFile(const char16_t* path);
VTMAIL8_API int32_t SendFile(int32_t method, const char16_t* address);
VTMAIL8_API void CloseSend();

VTMAIL8_API void IniAccept();
VTMAIL8_API int32_t AcceptMode();
VTMAIL8_API int32_t AcceptPost();
VTMAIL8_API int32_t AcceptMail();
VTMAIL8_API int32_t AcceptFile();
VTMAIL8_API int32_t Accept(int32_t index, char16_t* buffer, int32_t capacity);
VTMAIL8_API void CloseAccept();
VTMAIL8_API void FreeAccept();

VTMAIL8_API void Setup();
VTMAIL8_API int32_t MailLastError(char16_t* buffer, int32_t capacity);

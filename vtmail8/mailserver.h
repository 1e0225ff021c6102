#pragma once
// The e-mail method of the mail transport: a message goes out by SMTP and
// comes in by IMAP, both through libcurl. Nothing here logs or answers a
// password: reasons name the server without any user information.

#include <QList>
#include <QString>
#include <memory>
#include <optional>

namespace vtmail {

struct MailServerSettings {
    QString smtp;  // smtp://host[:port] or smtps://host[:port]
    QString imap;  // imap://host[:port][/mailbox] or imaps://...; INBOX by default
    QString user;
    QString password;
    QString from;  // this side's address; the user when that is an address
    // A password may go to another computer over a connection that the
    // server did not encrypt (registry value AllowUnencrypted, off unless
    // the user ticked it).
    bool allowUnencrypted = false;
};

// An address a message may be sent to: local part "@" domain, nothing that
// could end or extend an SMTP command.
bool ValidMailAddress(const QString& address);

// The server's address as shown in a reason: scheme, host and port only.
QString ShownServer(const QString& url);

// Sends the message in messageFile (lines ending in CR LF) to one address.
bool SmtpSend(const MailServerSettings& settings, const QString& address,
              const QString& messageFile, QString* why);

// One IMAP connection over the configured mailbox, kept from counting to
// marking seen.
class ImapSession {
public:
    explicit ImapSession(MailServerSettings settings);
    ~ImapSession();
    ImapSession(const ImapSession&) = delete;
    ImapSession& operator=(const ImapSession&) = delete;

    // The UIDs of the unseen messages; nothing with the reason on failure.
    std::optional<QList<quint32>> Unseen(QString* why);
    // Writes a message (or only its header) into file. Servers mark a
    // fetched message seen; SetSeen(false) takes that back.
    bool Fetch(quint32 uid, bool headerOnly, const QString& file, QString* why);
    bool SetSeen(const QList<quint32>& uids, bool seen, QString* why);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace vtmail

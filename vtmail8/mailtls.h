#pragma once
// When the e-mail method must have an encrypted connection. Header only:
// the transport library and its tests use this one definition.

#include <QRegularExpression>
#include <QString>
#include <QUrl>

namespace vtmail {

// True when the server is this computer: 127.0.0.0/8, ::1 or "localhost",
// which the network library never asks a name server about.
inline bool LoopbackServer(const QString& url) {
    const QString host = QUrl(url.trimmed()).host().toLower();
    static const QRegularExpression v4(QStringLiteral("^127\\.\\d{1,3}\\.\\d{1,3}\\.\\d{1,3}$"));
    return host == QLatin1String("localhost") || host == QLatin1String("::1") ||
           v4.match(host).hasMatch();
}

// True when a plain smtp:// or imap:// connection must switch to TLS
// (STARTTLS) or fail before anything of the login is sent: whenever a
// password goes out, unless the server is this computer or the user
// allowed unencrypted logins. smtps:// and imaps:// are encrypted from the
// start anyway.
inline bool PasswordNeedsTls(const QString& url, bool sendsPassword, bool allowUnencrypted) {
    return sendsPassword && !allowUnencrypted && !LoopbackServer(url);
}

}  // namespace vtmail

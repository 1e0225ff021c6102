// SMTP and IMAP through libcurl. Messages stream from and to files in
// chunks, so a large report never sits in memory whole.
#include "vtmail8/mailserver.h"

#include <curl/curl.h>

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>
#include <mutex>

#include "vtmail8/mailtext.h"
#include "vtmail8/mailtls.h"

namespace vtmail {

namespace {

// libcurl's global state is made once and kept: the library stays loaded
// (linked with -z nodelete), so it is never torn down under a running call.
bool curlReady() {
    static std::once_flag once;
    static CURLcode rc = CURLE_FAILED_INIT;
    std::call_once(once, [] { rc = curl_global_init(CURL_GLOBAL_DEFAULT); });
    return rc == CURLE_OK;
}

// A stalled server fails the transfer instead of hanging the window.
constexpr long kConnectSeconds = 20;
constexpr long kStallSeconds = 60;

struct Easy {
    CURL* h = nullptr;
    char error[CURL_ERROR_SIZE] = {};
    Easy() {
        if (curlReady()) h = curl_easy_init();
    }
    ~Easy() {
        if (h) curl_easy_cleanup(h);
    }
    Easy(const Easy&) = delete;
    Easy& operator=(const Easy&) = delete;

    // Set by common: the connection must be encrypted before the login.
    bool tlsRequired = false;

    void common(const MailServerSettings& s, const QString& server, const char* protocols) {
        curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
        curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, protocols);
        curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
        // TLS when the server offers it, and demanded before a password
        // goes to another computer; smtps:// and imaps:// demand it anyway.
        tlsRequired = PasswordNeedsTls(server, !s.user.isEmpty() && !s.password.isEmpty(),
                                       s.allowUnencrypted);
        curl_easy_setopt(h, CURLOPT_USE_SSL, long(tlsRequired ? CURLUSESSL_ALL : CURLUSESSL_TRY));
        if (!s.user.isEmpty()) {
            curl_easy_setopt(h, CURLOPT_USERNAME, s.user.toUtf8().constData());
            curl_easy_setopt(h, CURLOPT_PASSWORD, s.password.toUtf8().constData());
        }
    }
    // The reason of a failed call, without anything the user typed.
    QString reason(CURLcode rc) const {
        if (rc == CURLE_USE_SSL_FAILED && tlsRequired) return LoadErrorText(qor::str::kMailNeedsEncryption);
        const QString text = QString::fromUtf8(error).trimmed();
        return text.isEmpty() ? QString::fromUtf8(curl_easy_strerror(rc)) : text;
    }
};

size_t readFromFile(char* buffer, size_t size, size_t count, void* file) {
    const qint64 n = static_cast<QFile*>(file)->read(buffer, qint64(size * count));
    return n < 0 ? CURL_READFUNC_ABORT : size_t(n);
}

size_t writeToFile(char* data, size_t size, size_t count, void* file) {
    const qint64 n = qint64(size * count);
    return static_cast<QFile*>(file)->write(data, n) == n ? size_t(n) : 0;
}

size_t writeToBytes(char* data, size_t size, size_t count, void* bytes) {
    auto* out = static_cast<QByteArray*>(bytes);
    // A search answer is a line of numbers; a server sending more is not
    // followed past 16 MB.
    if (out->size() > (16 << 20)) return 0;
    out->append(data, qsizetype(size * count));
    return size * count;
}

bool serverUrl(const QString& text, const QStringList& schemes, QUrl* url) {
    *url = QUrl(text.trimmed(), QUrl::StrictMode);
    return url->isValid() && schemes.contains(url->scheme().toLower()) && !url->host().isEmpty();
}

// "1,2,3" for a UID STORE; the caller keeps lists short.
QByteArray uidSet(const QList<quint32>& uids) {
    QByteArray out;
    for (quint32 u : uids) {
        if (!out.isEmpty()) out += ',';
        out += QByteArray::number(u);
    }
    return out;
}

}  // namespace

bool ValidMailAddress(const QString& address) {
    static const QRegularExpression ok(QStringLiteral(
        "^[A-Za-z0-9.!#$%&'*+/=?^_`{|}~-]+@[A-Za-z0-9](?:[A-Za-z0-9.-]*[A-Za-z0-9])?$"));
    return address.size() <= 254 && ok.match(address).hasMatch();
}

QString ShownServer(const QString& url) {
    const QUrl u(url.trimmed());
    if (!u.isValid() || u.host().isEmpty()) return LoadErrorText(qor::str::kMailNotSet);
    QString out = u.scheme() + QStringLiteral("://") + u.host();
    if (u.port() > 0) out += u':' + QString::number(u.port());
    return out;
}

bool SmtpSend(const MailServerSettings& s, const QString& address, const QString& messageFile,
              QString* why) {
    QUrl url;
    if (!serverUrl(s.smtp, {QStringLiteral("smtp"), QStringLiteral("smtps")}, &url)) {
        *why = LoadErrorText(qor::str::kMailNoSmtpServer);
        return false;
    }
    if (!ValidMailAddress(address)) {
        *why = LoadErrorText(qor::str::kMailBadAddress).arg(address);
        return false;
    }
    const QString from = !s.from.trimmed().isEmpty() ? s.from.trimmed() : s.user.trimmed();
    if (!ValidMailAddress(from)) {
        *why = LoadErrorText(qor::str::kMailNoOwnAddress);
        return false;
    }
    QFile message(messageFile);
    if (!message.open(QIODevice::ReadOnly)) {
        *why = LoadErrorText(qor::str::kMailMessageUnreadable).arg(message.errorString());
        return false;
    }
    Easy e;
    if (!e.h) {
        *why = LoadErrorText(qor::str::kMailNetworkInitFailed);
        return false;
    }
    url.setUserInfo(QString());
    url.setPath(QString());
    e.common(s, s.smtp, "smtp,smtps");
    curl_easy_setopt(e.h, CURLOPT_URL, url.toEncoded().constData());
    curl_easy_setopt(e.h, CURLOPT_MAIL_FROM, ('<' + from.toUtf8() + '>').constData());
    curl_slist* rcpt = curl_slist_append(nullptr, ('<' + address.toUtf8() + '>').constData());
    curl_easy_setopt(e.h, CURLOPT_MAIL_RCPT, rcpt);
    curl_easy_setopt(e.h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(e.h, CURLOPT_READFUNCTION, readFromFile);
    curl_easy_setopt(e.h, CURLOPT_READDATA, &message);
    curl_easy_setopt(e.h, CURLOPT_INFILESIZE_LARGE, curl_off_t(message.size()));
    const CURLcode rc = curl_easy_perform(e.h);
    curl_slist_free_all(rcpt);
    if (rc != CURLE_OK) {
        *why = LoadErrorText(qor::str::kMailNotSent).arg(ShownServer(s.smtp), e.reason(rc));
        return false;
    }
    return true;
}

// ---- IMAP ------------------------------------------------------------------

struct ImapSession::Impl {
    MailServerSettings settings;
    Easy easy;
    QByteArray mailboxUrl;  // scheme://host:port/mailbox, without user information
    bool ready = false;

    bool prepare(QString* why) {
        if (ready) return true;
        QUrl url;
        if (!serverUrl(settings.imap, {QStringLiteral("imap"), QStringLiteral("imaps")}, &url)) {
            *why = LoadErrorText(qor::str::kMailNoImapServer);
            return false;
        }
        if (!easy.h) {
            *why = LoadErrorText(qor::str::kMailNetworkInitFailed);
            return false;
        }
        QString mailbox = url.path(QUrl::FullyDecoded);
        while (mailbox.startsWith(u'/')) mailbox.remove(0, 1);
        if (mailbox.isEmpty()) mailbox = QStringLiteral("INBOX");
        mailboxUrl = url.scheme().toLower().toLatin1() + "://" + QUrl::toAce(url.host());
        if (url.port() > 0) mailboxUrl += ':' + QByteArray::number(url.port());
        mailboxUrl += '/' + QUrl::toPercentEncoding(mailbox);
        easy.common(settings, settings.imap, "imap,imaps");
        ready = true;
        return true;
    }
    // Runs one request; the answer's bytes go to whatever the caller set.
    bool perform(QString* why) {
        const CURLcode rc = curl_easy_perform(easy.h);
        if (rc == CURLE_OK) return true;
        *why = LoadErrorText(qor::str::kMailNotReceived).arg(ShownServer(settings.imap), easy.reason(rc));
        return false;
    }
    bool command(const QByteArray& text, QByteArray* answer, QString* why) {
        if (!prepare(why)) return false;
        curl_easy_setopt(easy.h, CURLOPT_URL, mailboxUrl.constData());
        curl_easy_setopt(easy.h, CURLOPT_CUSTOMREQUEST, text.constData());
        curl_easy_setopt(easy.h, CURLOPT_WRITEFUNCTION, writeToBytes);
        curl_easy_setopt(easy.h, CURLOPT_WRITEDATA, answer);
        const bool ok = perform(why);
        curl_easy_setopt(easy.h, CURLOPT_CUSTOMREQUEST, nullptr);
        return ok;
    }
};

ImapSession::ImapSession(MailServerSettings settings) : d(std::make_unique<Impl>()) {
    d->settings = std::move(settings);
}

ImapSession::~ImapSession() = default;

std::optional<QList<quint32>> ImapSession::Unseen(QString* why) {
    QByteArray answer;
    if (!d->command("UID SEARCH UNSEEN", &answer, why)) return std::nullopt;
    QList<quint32> uids;
    for (const QByteArray& line : answer.split('\n')) {
        const QByteArray t = line.trimmed();
        if (!t.toUpper().startsWith("* SEARCH")) continue;
        for (const QByteArray& word : t.mid(8).simplified().split(' ')) {
            bool ok = false;
            const quint32 uid = word.toUInt(&ok);
            if (ok && uid > 0) uids << uid;
        }
    }
    return uids;
}

bool ImapSession::Fetch(quint32 uid, bool headerOnly, const QString& path, QString* why) {
    if (!d->prepare(why)) return false;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *why = LoadErrorText(qor::str::kMailCannotWrite).arg(path, file.errorString());
        return false;
    }
    QByteArray url = d->mailboxUrl + "/;UID=" + QByteArray::number(uid);
    if (headerOnly) url += ";SECTION=HEADER";
    curl_easy_setopt(d->easy.h, CURLOPT_URL, url.constData());
    curl_easy_setopt(d->easy.h, CURLOPT_WRITEFUNCTION, writeToFile);
    curl_easy_setopt(d->easy.h, CURLOPT_WRITEDATA, &file);
    if (!d->perform(why)) return false;
    if (!file.flush()) {
        *why = LoadErrorText(qor::str::kMailCannotWrite).arg(path, file.errorString());
        return false;
    }
    return true;
}

bool ImapSession::SetSeen(const QList<quint32>& uids, bool seen, QString* why) {
    constexpr qsizetype kPerCommand = 200;
    for (qsizetype i = 0; i < uids.size(); i += kPerCommand) {
        QByteArray answer;
        const QByteArray text = "UID STORE " + uidSet(uids.mid(i, kPerCommand)) +
                                (seen ? " +FLAGS.SILENT (\\Seen)" : " -FLAGS.SILENT (\\Seen)");
        if (!d->command(text, &answer, why)) return false;
    }
    return true;
}

}  // namespace vtmail

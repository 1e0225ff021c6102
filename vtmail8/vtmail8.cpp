// The mail transport over Maildir folders: one RFC 5322 message per send,
// multipart/mixed with one base64 part per file. Files are encoded and
// decoded in chunks, so a large report never sits in memory whole.
#include "vtmail8/vtmail8.h"

#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QList>
#include <QMap>
#include <QMessageBox>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/datadir.h"
#include "platform/registry.h"
#include "vtmail8/mailserver.h"
#include "vtmail8/mailtext.h"

using vtmail::LoadErrorText;

namespace {

const QString kSettingsKey = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail");
constexpr qint64 kChunk = 57 * 1024;  // whole base64 lines of 76 characters

QString fromUtf16(const char16_t* text) { return text ? QString::fromUtf16(text) : QString(); }

// Copies text when it fits; answers its length either way.
int32_t answerText(const QString& text, char16_t* buffer, int32_t capacity) {
    const auto size = int32_t(text.size());
    if (buffer && capacity > size) {
        std::memcpy(buffer, text.utf16(), size_t(size) * sizeof(char16_t));
        buffer[size] = 0;
    }
    return size;
}

QString setting(const QString& name, const QString& fallback) {
    const QString v = qor::Registry::readString(kSettingsKey, name, QString());
    return v.trimmed().isEmpty() ? fallback : v;
}

QString diskFolder() { return setting(QStringLiteral("DiskFolder"), qor::dataPath("mail/disk")); }
QString inboxFolder() { return setting(QStringLiteral("Inbox"), qor::dataPath("mail/inbox")); }
QString postOffice() {
    return setting(QStringLiteral("PostOffice"), qor::dataPath("mail/postoffice"));
}

// The setting that lets a password travel unencrypted to another computer;
// off unless the user ticked it.
const QString kAllowUnencrypted = QStringLiteral("AllowUnencrypted");

bool allowUnencrypted() {
    return setting(kAllowUnencrypted, QStringLiteral("0")).trimmed() == QLatin1String("1");
}

vtmail::MailServerSettings mailServer() {
    return {setting(QStringLiteral("SmtpServer"), QString()),
            setting(QStringLiteral("ImapServer"), QString()),
            setting(QStringLiteral("MailUser"), QString()),
            qor::Registry::readString(kSettingsKey, QStringLiteral("MailPassword"), QString()),
            setting(QStringLiteral("MailFrom"), QString()), allowUnencrypted()};
}

bool validMailboxName(const QString& name) {
    static const QRegularExpression ok(QStringLiteral("^[A-Za-z0-9._-]+$"));
    return ok.match(name).hasMatch() && name != u"." && name != u"..";
}

// Characters that change how a name is shown or read but are no part of
// what a user sees: controls, format characters (the bidi overrides and
// isolates, which can turn "report\u202Eslx.exe" into "reportexe.xls" on
// screen, zero widths) and line breaks.
bool hiddenCharacter(char32_t c) {
    switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            return true;
        default:
            return c == 0xFFFD;  // what undecodable bytes became
    }
}

// A file name that came from outside: only its last part, without hidden
// characters; never one that names a folder. Empty when refused.
QString safeName(const QString& name) {
    QString last = name;
    const qsizetype cut = std::max(last.lastIndexOf(u'/'), last.lastIndexOf(u'\\'));
    if (cut >= 0) last = last.mid(cut + 1);
    QString shown;
    for (const char32_t c : last.toUcs4())
        if (!hiddenCharacter(c)) shown += QString::fromUcs4(&c, 1);
    shown = shown.trimmed();
    if (shown.isEmpty() || shown == u"." || shown == u"..") return QString();
    return shown;
}

// A header value may not end its line: no control character or line break
// in a user code, address or file name that goes into a message.
bool headerSafe(const QString& value) {
    for (const char32_t c : value.toUcs4()) {
        const auto cat = QChar::category(c);
        if (cat == QChar::Other_Control || cat == QChar::Separator_Line ||
            cat == QChar::Separator_Paragraph)
            return false;
    }
    return true;
}

// Shown in a reason: the hidden characters as "?".
QString visible(const QString& value) {
    QString out;
    for (const char32_t c : value.toUcs4())
        out += hiddenCharacter(c) ? QStringLiteral("?") : QString::fromUcs4(&c, 1);
    return out;
}

bool ensureMaildir(const QString& dir, bool create, QString* why) {
    if (!create && !QFileInfo(dir).isDir()) {
        *why = LoadErrorText(qor::str::kMailFolderMissing).arg(QDir::toNativeSeparators(dir));
        return false;
    }
    for (const char* sub : {"tmp", "new", "cur"})
        if (!QDir().mkpath(dir + u'/' + QLatin1String(sub))) {
            *why = LoadErrorText(qor::str::kMailFolderNotMade).arg(QDir::toNativeSeparators(dir));
            return false;
        }
    return true;
}

QString uniqueName() {
    return QStringLiteral("%1.%2_%3.%4")
        .arg(QDateTime::currentSecsSinceEpoch())
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'))
        .arg(QSysInfo::machineHostName().remove(u'/').remove(u':'));
}

// ---- the state of one send or receive --------------------------------

struct AcceptItem {
    QString message;  // the message file
    QString name;     // the part's file name, made safe
    qint64 body = 0;  // offset of the part's body
    int messageIndex = 0;
    bool handedOut = false;
};

struct State {
    QMutex lock;
    QString user;
    QStringList files;
    QString lastError;
    QList<AcceptItem> items;
    QStringList messages;  // of the items, by messageIndex
    std::unique_ptr<QTemporaryDir> received;
    // E-mail: the server's connection, the messages fetched into a private
    // folder and their UIDs, by messageIndex.
    std::unique_ptr<vtmail::ImapSession> imap;
    std::unique_ptr<QTemporaryDir> spool;
    QList<quint32> uids;

    void clearAccept() {
        items.clear();
        messages.clear();
        uids.clear();
        imap.reset();
        spool.reset();
    }
};

State& state() {
    static State s;
    return s;
}

// ---- writing ---------------------------------------------------------

QByteArray encodedFileName(const QString& name) {
    // RFC 2231: UTF-8, percent-encoded.
    return "filename*=UTF-8''" + QUrl::toPercentEncoding(name);
}

// Who a message is from and to; lines end in LF in a Maildir and in CR LF
// on the wire.
struct Envelope {
    QByteArray from = "qor";
    QByteArray to;
    QByteArray eol = "\n";
};

bool writeMessage(QIODevice& out, const QString& user, const QStringList& files, QString* why,
                  const Envelope& env = {}) {
    const QByteArray& eol = env.eol;
    const QByteArray boundary =
        "=_qor_" + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
    QByteArray head;
    head += "From: " + env.from + eol;
    if (!env.to.isEmpty()) head += "To: " + env.to + eol;
    head += "X-Qor-User: " + user.toUtf8() + eol;
    head += "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + eol;
    head += "Message-ID: <" + uniqueName().toUtf8() + "@qor>" + eol;
    head += "Subject: report files" + eol;
    head += "MIME-Version: 1.0" + eol;
    head += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"" + eol + eol;
    if (out.write(head) != head.size()) return false;
    for (const QString& path : files) {
        QFile in(path);
        if (!in.open(QIODevice::ReadOnly)) {
            *why = LoadErrorText(qor::str::kMailCannotRead).arg(QDir::toNativeSeparators(path), in.errorString());
            return false;
        }
        QByteArray part = "--" + boundary + eol;
        part += "Content-Type: application/octet-stream" + eol;
        part += "Content-Transfer-Encoding: base64" + eol;
        part += "Content-Disposition: attachment; " + encodedFileName(QFileInfo(path).fileName()) +
                eol + eol;
        if (out.write(part) != part.size()) return false;
        for (;;) {
            const QByteArray chunk = in.read(kChunk);
            if (chunk.isEmpty()) break;
            const QByteArray b64 = chunk.toBase64();
            QByteArray lines;
            lines.reserve(b64.size() + (b64.size() / 76 + 1) * eol.size());
            for (qsizetype i = 0; i < b64.size(); i += 76) lines += b64.mid(i, 76) + eol;
            if (out.write(lines) != lines.size()) return false;
        }
        if (in.error() != QFile::NoError) {
            *why = LoadErrorText(qor::str::kMailCannotRead).arg(QDir::toNativeSeparators(path), in.errorString());
            return false;
        }
    }
    const QByteArray tail = "--" + boundary + "--" + eol;
    return out.write(tail) == tail.size();
}

// ---- reading ---------------------------------------------------------

// One line through a fixed buffer: a message has a million short lines, and
// readLine(maxSize) would allocate maxSize for each.
QByteArray nextLine(QFile& f) {
    char buffer[16 * 1024];
    const qint64 n = f.readLine(buffer, sizeof buffer);
    return n > 0 ? QByteArray(buffer, n) : QByteArray();
}

// The headers of a message or part from the current position: unfolded,
// names lower-cased. False at the end of the file.
bool readHeaders(QFile& f, QList<std::pair<QByteArray, QByteArray>>* headers) {
    headers->clear();
    for (;;) {
        QByteArray line = nextLine(f);
        if (line.isEmpty()) return false;
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) return true;
        if ((line.startsWith(' ') || line.startsWith('\t')) && !headers->isEmpty()) {
            headers->last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        headers->append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
}

QByteArray header(const QList<std::pair<QByteArray, QByteArray>>& headers, const QByteArray& name) {
    for (const auto& [n, v] : headers)
        if (n == name) return v;
    return {};
}

// A parameter of a header value ("boundary", "filename"), RFC 2231
// "name*=charset''value" and its continuations "name*0*=", "name*1=" ...
// included.
QString parameter(const QByteArray& value, const QByteArray& name) {
    auto unquote = [](QByteArray v) {
        if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"')) v = v.mid(1, v.size() - 2);
        return v;
    };
    auto extended = [](const QByteArray& v, bool first) {
        const qsizetype q = first ? v.indexOf("''") : -1;
        return QByteArray::fromPercentEncoding(q >= 0 ? v.mid(q + 2) : v);
    };
    QMap<int, std::pair<QByteArray, bool>> pieces;  // index -> text, percent-encoded
    std::optional<QByteArray> plain;
    for (QByteArray p : value.split(';')) {
        p = p.trimmed();
        const qsizetype eq = p.indexOf('=');
        if (eq < 0) continue;
        const QByteArray key = p.left(eq).trimmed().toLower();
        const QByteArray v = p.mid(eq + 1).trimmed();
        if (key == name + '*') return QString::fromUtf8(extended(v, true));
        if (key == name) {
            plain = unquote(v);
            continue;
        }
        if (!key.startsWith(name + '*')) continue;
        QByteArray index = key.mid(name.size() + 1);
        const bool encoded = index.endsWith('*');
        if (encoded) index.chop(1);
        bool ok = false;
        const int n = index.toInt(&ok);
        if (ok && n >= 0 && n < 1000) pieces.insert(n, {encoded ? v : unquote(v), encoded});
    }
    if (!pieces.isEmpty()) {
        QByteArray bytes;
        for (int n = 0; pieces.contains(n); ++n) {
            const auto& [text, encoded] = pieces[n];
            bytes += encoded ? extended(text, n == 0) : text;
        }
        return QString::fromUtf8(bytes);
    }
    return plain ? QString::fromUtf8(*plain) : QString();
}

bool sentBy(const QList<std::pair<QByteArray, QByteArray>>& headers, const QString& user) {
    return QString::fromUtf8(header(headers, "x-qor-user")).compare(user, Qt::CaseInsensitive) == 0;
}

// True when the message (or its header alone) in path was sent under user.
bool messageOf(const QString& path, const QString& user) {
    QFile f(path);
    QList<std::pair<QByteArray, QByteArray>> headers;
    return f.open(QIODevice::ReadOnly) && readHeaders(f, &headers) && sentBy(headers, user);
}

// The named parts of a message sent under user; false when it is not ours.
bool scanMessage(const QString& path, const QString& user, QList<AcceptItem>* parts) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    QList<std::pair<QByteArray, QByteArray>> headers;
    if (!readHeaders(f, &headers) || !sentBy(headers, user)) return false;
    const QString boundary = parameter(header(headers, "content-type"), "boundary");
    if (boundary.isEmpty()) return false;
    const QByteArray delimiter = "--" + boundary.toUtf8();
    for (;;) {
        QByteArray line = nextLine(f);
        if (line.isEmpty()) break;
        line = line.trimmed();
        if (line == delimiter + "--") break;
        if (line != delimiter) continue;
        if (!readHeaders(f, &headers)) break;
        QString name = parameter(header(headers, "content-disposition"), "filename");
        if (name.isEmpty()) name = parameter(header(headers, "content-type"), "name");
        name = safeName(name);
        // A part without a usable name cannot be put anywhere: left out.
        if (name.isEmpty()) continue;
        parts->append({path, name, f.pos(), 0, false});
    }
    return true;
}

bool decodePart(const AcceptItem& item, const QString& target, QString* why) {
    QFile in(item.message);
    if (!in.open(QIODevice::ReadOnly) || !in.seek(item.body)) {
        *why = LoadErrorText(qor::str::kMailFileUnreadable).arg(QDir::toNativeSeparators(item.message));
        return false;
    }
    // A private folder: nobody else sees the file while it is written.
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *why = LoadErrorText(qor::str::kMailCannotWrite).arg(QDir::toNativeSeparators(target), out.errorString());
        return false;
    }
    QByteArray pending;
    bool closed = false;
    auto flush = [&](bool all) {
        const qsizetype n = all ? pending.size() : pending.size() / 4 * 4;
        const auto r = QByteArray::fromBase64Encoding(pending.left(n),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!r) return false;
        pending.remove(0, n);
        return out.write(r.decoded) == r.decoded.size();
    };
    while (!in.atEnd()) {
        const QByteArray line = nextLine(in).trimmed();
        if (line.startsWith("--")) {
            closed = true;
            break;
        }
        pending += line;
        if (pending.size() >= kChunk && !flush(false)) {
            *why = LoadErrorText(qor::str::kMailDamaged).arg(QDir::toNativeSeparators(item.message));
            return false;
        }
    }
    if (!closed || !flush(true)) {
        *why = LoadErrorText(qor::str::kMailDamaged).arg(QDir::toNativeSeparators(item.message));
        return false;
    }
    if (!out.flush()) {
        *why = LoadErrorText(qor::str::kMailCannotWrite).arg(QDir::toNativeSeparators(target), out.errorString());
        return false;
    }
    return true;
}

// Adds the files of one message to the items; false when it has none.
bool addMessage(State& s, const QString& path) {
    QList<AcceptItem> parts;
    if (!scanMessage(path, s.user, &parts) || parts.isEmpty()) return false;
    for (AcceptItem& p : parts) p.messageIndex = int(s.messages.size());
    s.messages << path;
    s.items += parts;
    return true;
}

int32_t countIn(const QString& maildir) {
    State& s = state();
    QMutexLocker lock(&s.lock);
    s.clearAccept();
    QString why;
    if (!ensureMaildir(maildir, true, &why)) {
        s.lastError = why;
        return -1;
    }
    QStringList candidates;
    const QDir newDir(maildir + QStringLiteral("/new"));
    for (const QString& n : newDir.entryList(QDir::Files, QDir::Name))
        candidates << newDir.filePath(n);
    const QDir curDir(maildir + QStringLiteral("/cur"));
    for (const QString& n : curDir.entryList(QDir::Files, QDir::Name)) {
        const qsizetype info = n.indexOf(QLatin1String(":2,"));
        if (info >= 0 && n.mid(info + 3).contains(u'S')) continue;
        candidates << curDir.filePath(n);
    }
    for (const QString& path : candidates) addMessage(s, path);
    return int32_t(s.items.size());
}

// E-mail: one message to the address by SMTP, written first into a private
// file with the line ends the wire wants.
int32_t sendByMail(State& s, const QString& address) {
    const vtmail::MailServerSettings server = mailServer();
    QString why;
    if (!vtmail::ValidMailAddress(address.trimmed())) {
        s.lastError = address.trimmed().isEmpty() ? LoadErrorText(qor::str::kMailEnterAddress)
                                                  : LoadErrorText(qor::str::kMailBadAddress).arg(address.trimmed());
        return -1;
    }
    QTemporaryDir work;
    if (!work.isValid()) {
        s.lastError = LoadErrorText(qor::str::kMailTempFolderNotMade);
        return -1;
    }
    const QString path = work.filePath(QStringLiteral("message.eml"));
    QFile out(path);
    Envelope env;
    const QString from = server.from.trimmed().isEmpty() ? server.user : server.from;
    env.from = vtmail::ValidMailAddress(from.trimmed()) ? '<' + from.trimmed().toUtf8() + '>'
                                                        : QByteArray("qor");
    env.to = '<' + address.trimmed().toUtf8() + '>';
    env.eol = "\r\n";
    if (!out.open(QIODevice::WriteOnly) || !writeMessage(out, s.user, s.files, &why, env) ||
        !out.flush()) {
        s.lastError = why.isEmpty() ? LoadErrorText(qor::str::kMailCannotWrite).arg(path, out.errorString()) : why;
        return -1;
    }
    out.close();
    if (!vtmail::SmtpSend(server, address.trimmed(), path, &why)) {
        s.lastError = why;
        return -1;
    }
    return 0;
}

// E-mail: the unseen messages of the IMAP mailbox sent under the user code
// are fetched into a private folder and read there. Fetching marks a
// message seen on the server; that is taken back at once, so a message is
// seen only once every file of it was handed out (CloseAccept).
int32_t countMail(State& s) {
    s.clearAccept();
    auto session = std::make_unique<vtmail::ImapSession>(mailServer());
    QString why;
    const std::optional<QList<quint32>> unseen = session->Unseen(&why);
    if (!unseen) {
        s.lastError = why;
        return -1;
    }
    auto spool = std::make_unique<QTemporaryDir>();
    if (!spool->isValid()) {
        s.lastError = LoadErrorText(qor::str::kMailTempFolderNotMade);
        return -1;
    }
    s.spool = std::move(spool);
    QList<quint32> fetched;
    bool ok = true;
    for (const quint32 uid : *unseen) {
        const QString file = s.spool->filePath(QString::number(uid));
        fetched << uid;
        // The header decides whether the whole message is worth fetching.
        if (!session->Fetch(uid, true, file, &why)) {
            ok = false;
            break;
        }
        if (!messageOf(file, s.user)) {
            QFile::remove(file);
            continue;
        }
        if (!session->Fetch(uid, false, file, &why)) {
            ok = false;
            break;
        }
        if (addMessage(s, file)) s.uids << uid;
    }
    QString restoreWhy;
    if (!fetched.isEmpty() && !session->SetSeen(fetched, false, &restoreWhy)) {
        if (ok) why = restoreWhy;
        ok = false;
    }
    if (!ok) {
        s.clearAccept();
        s.lastError = why;
        return -1;
    }
    s.imap = std::move(session);
    return int32_t(s.items.size());
}

QString folderOfMethod(int32_t method, const QString& address, QString* why) {
    switch (method) {
        case 1:
            if (address.trimmed().isEmpty()) break;
            return address.trimmed();
        case 2:
            if (!validMailboxName(address.trimmed())) {
                *why = LoadErrorText(qor::str::kMailBadMailboxName);
                return {};
            }
            return postOffice() + u'/' + address.trimmed();
        case 4:
            return diskFolder();
        default:
            *why = LoadErrorText(qor::str::kMailUnknownMethod).arg(method);
            return {};
    }
    *why = LoadErrorText(qor::str::kMailEnterAddress);
    return {};
}

}  // namespace

// ---- entry points ------------------------------------------------------

void IniSend() {
    State& s = state();
    QMutexLocker lock(&s.lock);
    s.files.clear();
    s.user.clear();
}

void SetUser(const char16_t* userCode) {
    State& s = state();
    QMutexLocker lock(&s.lock);
    s.user = fromUtf16(userCode);
}

void AddFile(const char16_t* path) {
    State& s = state();
    QMutexLocker lock(&s.lock);
    s.files << fromUtf16(path);
}

// Every value that goes into a header is checked before anything is
// written or sent: a line break would add headers of its own.
bool headersSafe(const State& s, const QString& address, int32_t method, QString* why) {
    if (!headerSafe(s.user)) {
        *why = LoadErrorText(qor::str::kMailUserHasControls).arg(visible(s.user));
        return false;
    }
    if (method == 3 && !headerSafe(address)) {
        *why = LoadErrorText(qor::str::kMailAddressHasControls).arg(visible(address));
        return false;
    }
    for (const QString& path : s.files) {
        const QString name = QFileInfo(path).fileName();
        if (!headerSafe(name)) {
            *why = LoadErrorText(qor::str::kMailFileNameHasControls).arg(visible(name));
            return false;
        }
    }
    return true;
}

int32_t SendFile(int32_t method, const char16_t* address) {
    State& s = state();
    QMutexLocker lock(&s.lock);
    if (QString why; !headersSafe(s, fromUtf16(address), method, &why)) {
        s.lastError = why;
        return -1;
    }
    if (method == 3) return sendByMail(s, fromUtf16(address));
    QString why;
    const QString folder = folderOfMethod(method, fromUtf16(address), &why);
    // The point-to-point address is the other side's inbox: it must exist.
    if (folder.isEmpty() || !ensureMaildir(folder, method != 1, &why)) {
        s.lastError = why;
        return -1;
    }
    const QString name = uniqueName();
    const QString tmp = folder + QStringLiteral("/tmp/") + name;
    QFile out(tmp);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        s.lastError = LoadErrorText(qor::str::kMailCannotWrite).arg(QDir::toNativeSeparators(tmp), out.errorString());
        return -1;
    }
    const bool written = writeMessage(out, s.user, s.files, &why) && out.flush();
    if (!written && why.isEmpty()) why = LoadErrorText(qor::str::kMailCannotWrite).arg(tmp, out.errorString());
    out.close();
    // Delivered only whole: a message appears in new/ by one rename.
    if (!written || !QFile::rename(tmp, folder + QStringLiteral("/new/") + name)) {
        QFile::remove(tmp);
        s.lastError = written ? LoadErrorText(qor::str::kMailNotDelivered).arg(QDir::toNativeSeparators(folder)) : why;
        return -1;
    }
    return 0;
}

void CloseSend() {
    State& s = state();
    QMutexLocker lock(&s.lock);
    s.files.clear();
}

void IniAccept() {
    State& s = state();
    QMutexLocker lock(&s.lock);
    s.clearAccept();
    s.user.clear();
    s.received.reset();
}

int32_t AcceptMode() { return countIn(inboxFolder()); }

int32_t AcceptPost() {
    const QString mailbox = setting(QStringLiteral("Mailbox"), QString()).trimmed();
    if (!validMailboxName(mailbox)) {
        State& s = state();
        QMutexLocker lock(&s.lock);
        s.lastError = LoadErrorText(qor::str::kMailNoOwnMailbox);
        return -1;
    }
    return countIn(postOffice() + u'/' + mailbox);
}

int32_t AcceptMail() {
    State& s = state();
    QMutexLocker lock(&s.lock);
    return countMail(s);
}

int32_t AcceptFile() { return countIn(diskFolder()); }

int32_t Accept(int32_t index, char16_t* buffer, int32_t capacity) {
    State& s = state();
    QMutexLocker lock(&s.lock);
    if (index < 1 || index > s.items.size()) {
        s.lastError = LoadErrorText(qor::str::kMailNoSuchFile).arg(index);
        return -1;
    }
    if (!s.received) s.received = std::make_unique<QTemporaryDir>();
    if (!s.received->isValid()) {
        s.lastError = LoadErrorText(qor::str::kMailTempFolderNotMade);
        return -1;
    }
    AcceptItem& item = s.items[index - 1];
    // One folder per file: two messages may carry the same name.
    const QString folder = s.received->filePath(QString::number(index));
    const QString target = folder + u'/' + item.name;
    if (!item.handedOut) {
        QString why;
        if (!QDir().mkpath(folder) || !decodePart(item, target, &why)) {
            s.lastError = why.isEmpty() ? LoadErrorText(qor::str::kMailTempFolderNotMade) : why;
            return -1;
        }
        item.handedOut = true;
    }
    return answerText(target, buffer, capacity);
}

void CloseAccept() {
    State& s = state();
    QMutexLocker lock(&s.lock);
    QList<quint32> seen;
    for (int m = 0; m < s.messages.size(); ++m) {
        bool all = true;
        for (const AcceptItem& item : s.items)
            if (item.messageIndex == m && !item.handedOut) all = false;
        if (!all) continue;
        if (s.imap) {
            seen << s.uids.value(m);
            continue;
        }
        // Seen: into cur/ with the S flag, the name kept.
        const QFileInfo fi(s.messages[m]);
        QString base = fi.fileName();
        QString flags;
        if (const qsizetype info = base.indexOf(QLatin1String(":2,")); info >= 0) {
            flags = base.mid(info + 3);
            base.truncate(info);
        }
        if (!flags.contains(u'S')) flags += u'S';
        const QString cur = fi.dir().absolutePath() + QStringLiteral("/../cur/") + base +
                            QStringLiteral(":2,") + flags;
        QFile::rename(s.messages[m], QDir::cleanPath(cur));
    }
    QString why;
    if (s.imap && !seen.isEmpty() && !s.imap->SetSeen(seen, true, &why)) s.lastError = why;
    s.clearAccept();
    s.received.reset();
}

void FreeAccept() {}

void Setup() {
    // Without a desktop there is nobody to ask.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    QDialog dlg(QApplication::activeWindow());
    dlg.setObjectName(QStringLiteral("vtmailSetup"));
    dlg.setWindowTitle(LoadErrorText(qor::str::kMailSettingsCaption));
    auto* form = new QFormLayout(&dlg);
    enum Kind { Folder, Plain, Password };
    struct Field {
        const char* name;
        QString label;
        QString fallback;
        Kind kind;
    };
    const Field fields[] = {
        {"DiskFolder", LoadErrorText(qor::str::kMailDiskFolderLabel), diskFolder(), Folder},
        {"Inbox", LoadErrorText(qor::str::kMailInboxLabel), inboxFolder(), Folder},
        {"PostOffice", LoadErrorText(qor::str::kMailPostOfficeLabel), postOffice(), Folder},
        {"Mailbox", LoadErrorText(qor::str::kMailMailboxLabel), QString(), Plain},
        {"SmtpServer", LoadErrorText(qor::str::kMailSmtpLabel), QString(), Plain},
        {"ImapServer", LoadErrorText(qor::str::kMailImapLabel), QString(), Plain},
        {"MailFrom", LoadErrorText(qor::str::kMailFromLabel), QString(), Plain},
        {"MailUser", LoadErrorText(qor::str::kMailUserLabel), QString(), Plain},
        {"MailPassword", LoadErrorText(qor::str::kMailPasswordLabel), QString(), Password},
    };
    QList<QLineEdit*> edits;
    const bool havePassword =
        !qor::Registry::readString(kSettingsKey, QStringLiteral("MailPassword")).isEmpty();
    for (const Field& f : fields) {
        auto* edit = new QLineEdit(&dlg);
        edit->setObjectName(QLatin1String(f.name));
        if (f.kind == Password) {
            // The stored password is never put back into a window.
            edit->setEchoMode(QLineEdit::Password);
            if (havePassword) edit->setPlaceholderText(LoadErrorText(qor::str::kMailPasswordKept));
        } else {
            const QString v = setting(QLatin1String(f.name), f.fallback);
            edit->setText(f.kind == Folder ? QDir::toNativeSeparators(v) : v);
        }
        if (f.kind == Plain && QByteArray(f.name).endsWith("Server"))
            edit->setPlaceholderText(QByteArray(f.name) == "SmtpServer" ? LoadErrorText(qor::str::kMailSmtpHint)
                                                                        : LoadErrorText(qor::str::kMailImapHint));
        // Wide enough that a folder's whole path shows (within reason).
        const int textWidth = edit->fontMetrics().horizontalAdvance(edit->text()) + 16;
        edit->setMinimumWidth(std::clamp(textWidth, 320, 720));
        form->addRow(f.label, edit);
        edits << edit;
    }
    // Off unless ticked: without it a password goes to another computer
    // only over an encrypted connection.
    auto* unencrypted = new QCheckBox(LoadErrorText(qor::str::kMailAllowPlainPassword), &dlg);
    unencrypted->setObjectName(kAllowUnencrypted);
    unencrypted->setChecked(allowUnencrypted());
    form->addRow(unencrypted);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    form->addRow(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, [&] {
        const QString mailbox = edits[3]->text().trimmed();
        const QString from = edits[6]->text().trimmed();
        QString problem;
        if (!mailbox.isEmpty() && !validMailboxName(mailbox))
            problem = LoadErrorText(qor::str::kMailBadMailboxName);
        else if (!from.isEmpty() && !vtmail::ValidMailAddress(from))
            problem = LoadErrorText(qor::str::kMailBadAddress).arg(from);
        if (!problem.isEmpty()) {
            QMessageBox::warning(&dlg, dlg.windowTitle(), problem);
            return;
        }
        dlg.accept();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() != QDialog::Accepted) return;
    for (int i = 0; i < edits.size(); ++i) {
        const Field& f = fields[i];
        if (f.kind == Password) {
            // Empty keeps what is stored.
            if (!edits[i]->text().isEmpty())
                qor::Registry::writeString(kSettingsKey, QLatin1String(f.name), edits[i]->text());
            continue;
        }
        const QString v = edits[i]->text().trimmed();
        qor::Registry::writeString(kSettingsKey, QLatin1String(f.name),
                                   f.kind == Folder ? QDir::fromNativeSeparators(v) : v);
    }
    qor::Registry::writeString(kSettingsKey, kAllowUnencrypted,
                               unencrypted->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    // A file that holds a password is for its owner's eyes only.
    if (!qor::Registry::readString(kSettingsKey, QStringLiteral("MailPassword")).isEmpty())
        QFile::setPermissions(qor::Registry::filePath(), QFile::ReadOwner | QFile::WriteOwner);
}

int32_t MailLastError(char16_t* buffer, int32_t capacity) {
    State& s = state();
    QMutexLocker lock(&s.lock);
    return answerText(s.lastError, buffer, capacity);
}

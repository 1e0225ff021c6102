#include "engine/errorlog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <mutex>

#include "engine/messages.h"
#include "engine/paths.h"
#include "platform/datadir.h"
#include "platform/safefile.h"
#include "platform/uiservices.h"

namespace {

// Recursive: a message-box hook that logs while we ask about the size
// must not dead-lock.
std::recursive_mutex logMutex;
bool headerArmed = true;
bool asking = false;
QString overridePath;

const QByteArray kBom("\xFF\xFE", 2);
constexpr mode_t kErrorLogMode = 0600;

QByteArray toUtf16Le(const QString& text) {
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    char* out = bytes.data();
    for (QChar c : text) {
        qToLittleEndian<quint16>(c.unicode(), out);
        out += 2;
    }
    return bytes;
}

QString headerLine() {
    return QStringLiteral("---------- ") +
           QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) +
           QStringLiteral(" ----------\r\n");
}

// In the user's data folder: the program's own folder is read-only or
// shared by every user on Linux, and a log there would mix their entries.
QString defaultLogPath() { return qor::dataPath(QStringLiteral("qorerr.log")); }

// Size of the log, or 0 when there is none. A file that is not one of our
// logs (no byte-order mark) is moved aside rather than appended to.
qint64 currentSize(const QString& path) {
    QFile f(path);
    if (!f.exists()) return 0;
    const qint64 size = f.size();
    if (size == 0) return 0;
    if (!f.open(QIODevice::ReadOnly)) return -1;
    if (f.read(2) == kBom) return size;
    f.close();
    const QString aside = path + QStringLiteral(".1");
    QFile::remove(aside);
    if (QFile::rename(path, aside)) return 0;
    return -1;
}

bool rotate(const QString& path) {
    const QString aside = path + QStringLiteral(".1");
    if (QFile::exists(aside) && !QFile::remove(aside)) return false;
    return QFile::rename(path, aside);
}

// Entry text cut so that a fresh file with header and entry stays within
// the limit; a surrogate pair is never split.
QString fitEntry(const QString& header, const QString& entry) {
    const qint64 room = (kErrorLogLimit - kBom.size()) / 2 - header.size();
    if (entry.size() <= room) return entry;
    qsizetype keep = qsizetype(room) - 2;  // CR LF
    if (keep < 0) keep = 0;
    if (keep > 0 && entry.at(keep - 1).isHighSurrogate()) --keep;
    return entry.left(keep) + QStringLiteral("\r\n");
}

}  // namespace

bool WriteErrorLog(const QString& text) {
    std::lock_guard lock(logMutex);
    const QString path = ErrorLogPath();
    QString entry = text;
    if (!entry.endsWith(QLatin1Char('\n'))) entry += QStringLiteral("\r\n");

    qint64 size = currentSize(path);
    if (size < 0) return false;
    bool asked = false;
    bool clear = false;
    for (;;) {
        const bool fresh = size == 0;
        const QString header = (headerArmed || fresh) ? headerLine() : QString();
        const qint64 need =
            (fresh ? kBom.size() : size + (size & 1)) + 2 * (header.size() + entry.size());
        if (need <= kErrorLogLimit || fresh) {
            const QByteArray body = toUtf16Le(header + fitEntry(header, entry));
            QByteArray bytes;
            if (fresh) {
                bytes = kBom;
            } else if (size & 1) {
                // An entry cut short by a crash left an odd byte; pad it so
                // that what follows stays aligned.
                bytes.append('\0');
            }
            bytes += body;
            bool ok;
            if (fresh) {
                // A new log is put in place whole, like every file we write;
                // it holds failed statements with the texts of cells, which
                // are nobody's business but its user's.
                qor::SafeFileWriter w(path);
                w.setMode(kErrorLogMode);
                ok = w.open() && w.write(bytes) && w.commit();
            } else {
                // Appending never follows a link planted at the log's name.
                const int fd = ::open(QFile::encodeName(path).constData(),
                                      O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0) return false;
                // A log an older version left readable by all is closed now.
                struct stat st {};
                if (::fstat(fd, &st) == 0 && st.st_uid == ::geteuid() &&
                    (st.st_mode & 07777) != kErrorLogMode)
                    ::fchmod(fd, kErrorLogMode);
                // One write, so a crash loses at most this entry.
                ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
                if (::close(fd) != 0) ok = false;
            }
            if (ok) headerArmed = false;
            return ok;
        }
        if (!asked) {
            asked = true;
            if (!asking) {
                asking = true;
                const QString question =
                    LoadErrorText(qor::str::kErrorLogTooLarge).arg(QDir::toNativeSeparators(path),
                                             QDir::toNativeSeparators(path + QStringLiteral(".1")));
                clear = qor::askYesNo(question, LoadErrorText(qor::str::kErrorLogCaption), false);
                asking = false;
            }
            // The question may have let other entries in; look again.
            size = currentSize(path);
            if (size < 0) return false;
            continue;
        }
        if (clear) {
            if (!QFile::remove(path)) return false;
        } else if (!rotate(path)) {
            return false;
        }
        size = 0;
    }
}

void ResetErrorLogSession() {
    std::lock_guard lock(logMutex);
    headerArmed = true;
}

bool ClearErrorLog() {
    std::lock_guard lock(logMutex);
    headerArmed = true;
    const QString path = ErrorLogPath();
    return !QFile::exists(path) || QFile::remove(path);
}

QString ErrorLogPath() {
    std::lock_guard lock(logMutex);
    return overridePath.isEmpty() ? defaultLogPath() : overridePath;
}

void SetErrorLogPath(const QString& path) {
    std::lock_guard lock(logMutex);
    overridePath = path;
    headerArmed = true;
}

QString ReadErrorLogText() {
    std::lock_guard lock(logMutex);
    QFile f(ErrorLogPath());
    if (!f.open(QIODevice::ReadOnly)) return QString();
    QByteArray bytes = f.readAll();
    if (bytes.startsWith(kBom)) bytes.remove(0, 2);
    if (bytes.size() & 1) bytes.chop(1);
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(qFromLittleEndian<quint16>(bytes.constData() + 2 * i));
    }
    return text;
}

#include "engine/messages.h"

#include <QDir>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "engine/status.h"
#include "resources/stringtable.h"

Q_LOGGING_CATEGORY(lcQorTrace, "qor.trace", QtDebugMsg)

namespace {

// The hook is shared, not copied, by each message: a message costs a
// reference count rather than a copy of the function and what it holds.
// `hookSet` spares the lock when no hook is installed, which is the rule
// outside the desktop application.
std::mutex traceMutex;
std::shared_ptr<const qor::TraceHook> traceHook;
std::atomic<bool> hookSet{false};

}  // namespace

QString LoadErrorText(int id) {
    if (auto text = qor::res::stringText(id)) return *text;
    return QStringLiteral("Reader ERROR");
}

void LoadErrorText(QString* out, int id) { *out = LoadErrorText(id); }

void TraceMessage(const QString& text) {
    qCDebug(lcQorTrace).noquote() << text;
    if (!hookSet.load(std::memory_order_acquire)) return;
    std::shared_ptr<const qor::TraceHook> hook;
    {
        std::lock_guard lock(traceMutex);
        hook = traceHook;
    }
    if (hook) (*hook)(text);
}

bool TraceMessageWanted() {
    return lcQorTrace().isDebugEnabled() || hookSet.load(std::memory_order_acquire);
}

namespace qor {

QString NoMemoryText(const QString& file) {
    return LoadErrorText(str::kNameAndText).arg(QDir::toNativeSeparators(file),
                                    StatusText(Status::OutOfMemory));
}

QString FileErrorText(int errorNumber) {
    int id = 0;
    switch (errorNumber) {
        case EEXIST:
            id = str::kTargetNotPlainFile;
            break;
        case EISDIR:
            id = str::kTargetIsFolder;
            break;
        case EACCES:
        case EPERM:
            id = str::kAccessDenied;
            break;
        case ENOSPC:
        case EDQUOT:
            id = str::kDiskFull;
            break;
        case ENOENT:
            id = str::kNoSuchFileOrFolder;
            break;
        case EROFS:
            id = str::kReadOnlyFileSystem;
            break;
        case ENOTDIR:
            id = str::kPathPartNotFolder;
            break;
        case EIO:
            id = str::kDeviceError;
            break;
        default:
            break;
    }
    const QString system = QString::fromLocal8Bit(std::strerror(errorNumber));
    return id ? messageText(id, system) : system;
}

bool IsDiskFullError(int errorNumber) { return errorNumber == ENOSPC || errorNumber == EDQUOT; }

QString DiskFullText(const QString& file) {
    return LoadErrorText(str::kDiskFullFileNotWritten).arg(QDir::toNativeSeparators(file));
}

QString messageText(int id, const QString& fallback) {
    if (auto text = res::stringText(id)) return *text;
    return fallback;
}

TraceHook setTraceHook(TraceHook hook) {
    std::shared_ptr<const TraceHook> next;
    if (hook) next = std::make_shared<const TraceHook>(std::move(hook));
    std::shared_ptr<const TraceHook> previous;
    {
        std::lock_guard lock(traceMutex);
        previous = std::exchange(traceHook, next);
        hookSet.store(next != nullptr, std::memory_order_release);
    }
    return previous ? *previous : TraceHook();
}

}  // namespace qor

QString qor::FillMessageText(QString text, const QStringList& values) {
    static const QStringList conversions = {QStringLiteral("%d"), QStringLiteral("%i"),
                                            QStringLiteral("%u"), QStringLiteral("%s"),
                                            QStringLiteral("%.0f")};
    qsizetype from = 0;
    for (const QString& v : values) {
        qsizetype at = -1, len = 0;
        for (qsizetype i = text.indexOf(u'%', from); i >= 0; i = text.indexOf(u'%', i + 1)) {
            for (const QString& c : conversions) {
                if (QStringView(text).mid(i).startsWith(c)) {
                    at = i;
                    len = c.size();
                    break;
                }
            }
            if (at >= 0) break;
        }
        if (at < 0) break;
        text.replace(at, len, v);
        from = at + v.size();
    }
    return text;
}

#include "engine/messages.h"

#include <mutex>

#include "resources/stringtable.h"

Q_LOGGING_CATEGORY(lcQorTrace, "qor.trace", QtDebugMsg)

namespace {

std::mutex traceMutex;
qor::TraceHook traceHook;

}  // namespace

QString LoadErrorText(int id) {
    if (auto text = qor::res::stringText(id)) return *text;
    return QStringLiteral("Reader ERROR");
}

void LoadErrorText(QString* out, int id) { *out = LoadErrorText(id); }

void TraceMessage(const QString& text) {
    qCDebug(lcQorTrace).noquote() << text;
    qor::TraceHook hook;
    {
        std::lock_guard lock(traceMutex);
        hook = traceHook;
    }
    if (hook) hook(text);
}

namespace qor {

QString messageText(int id, const QString& fallback) {
    if (auto text = res::stringText(id)) return *text;
    return fallback;
}

TraceHook setTraceHook(TraceHook hook) {
    std::lock_guard lock(traceMutex);
    std::swap(hook, traceHook);
    return hook;
}

}  // namespace qor

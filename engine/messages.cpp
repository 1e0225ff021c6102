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

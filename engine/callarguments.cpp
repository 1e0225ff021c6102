#include "engine/callarguments.h"

namespace qor {

QStringList SplitCallArguments(QStringView text, qsizetype* close) {
    QStringList args;
    QString current;
    int depth = 0;
    bool quoted = false;
    if (close) *close = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'"') {
            quoted = !quoted;
        } else if (!quoted && c == u'(') {
            ++depth;
        } else if (!quoted && c == u')') {
            if (depth-- == 0) {
                if (close) *close = i;
                break;
            }
        } else if (!quoted && depth == 0 && c == u',') {
            args << current;
            current.clear();
            continue;
        }
        current += c;
    }
    args << current;
    return args;
}

bool ArgumentHoldsCall(QStringView argument) {
    bool quoted = false;
    for (const QChar c : argument) {
        if (c == u'"') quoted = !quoted;
        else if (!quoted && c == u'(') return true;
    }
    return false;
}

}  // namespace qor

#include "exchange/filenumber.h"

#include <charconv>
#include <cmath>

#include "engine/textutil.h"

namespace qor::jet {

namespace {

// Most values of a file are plain ("-12.5", "1e-07"): the standard
// library reads them at a fraction of the general rule's cost, and gives
// the same number for every text it takes.
bool plainNumber(QStringView t, double* out) {
    if (t.isEmpty() || t.size() >= 64) return false;
    char buf[64];
    for (qsizetype i = 0; i < t.size(); ++i) {
        const char16_t c = t.at(i).unicode();
        const bool plain = (c >= u'0' && c <= u'9') || c == u'.' || c == u'-' || c == u'e' || c == u'E' ||
                           (c == u'+' && i > 0);
        if (!plain) return false;
        buf[i] = char(c);
    }
    double v = 0;
    const auto r = std::from_chars(buf, buf + t.size(), v);
    if (r.ec != std::errc() || r.ptr != buf + t.size() || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

}  // namespace

bool FileTextAsNumber(QStringView text, double* out) {
    const QStringView t = text.trimmed();
    double v = 0;
    if (plainNumber(t, &v) || TextAsCellNumber(t.toString(), &v)) {
        if (out) *out = v;
        return true;
    }
    return false;
}

bool FileTextAsNumber(QStringView text, const NumberSymbols& symbols, double* out) {
    if (symbols.decimal == u'.' && symbols.currency.isEmpty() && !symbols.parenNegative)
        return FileTextAsNumber(text, out);
    QString t = text.trimmed().toString();
    bool negative = false;
    if (symbols.parenNegative && t.size() > 2 && t.startsWith(u'(') && t.endsWith(u')')) {
        negative = true;
        t = t.mid(1, t.size() - 2).trimmed();
    }
    if (!symbols.currency.isEmpty()) {
        // "-$12.50", "$-12.50" and "12.50$" alike.
        const qsizetype at = t.indexOf(symbols.currency);
        if (at >= 0 && (at == 0 || at == t.size() - symbols.currency.size() ||
                        (at == 1 && (t.at(0) == u'-' || t.at(0) == u'+'))))
            t.remove(at, symbols.currency.size());
        t = t.trimmed();
    }
    if (negative && (t.startsWith(u'-') || t.startsWith(u'+'))) return false;
    if (symbols.decimal != u'.') {
        // Both symbols are swapped to the rule's, so its check of the
        // groups still holds.
        if (t.contains(u'.') && symbols.grouping != u'.') return false;
        for (QChar& c : t) {
            if (c == symbols.decimal) c = u'.';
            else if (c == symbols.grouping && symbols.grouping != symbols.decimal) c = u',';
        }
    }
    double v = 0;
    if (!FileTextAsNumber(t, &v)) return false;
    if (out) *out = negative ? -v : v;
    return true;
}

}  // namespace qor::jet

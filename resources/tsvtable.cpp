#include "resources/tsvtable.h"

#include <QStringDecoder>
#include <limits>

namespace qor::res {

std::optional<QString> unescapeTsvField(QStringView field) {
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c != u'\\') {
            out.append(c);
            continue;
        }
        if (i + 1 >= field.size()) return std::nullopt;
        switch (field[++i].unicode()) {
            case u'n':
                out.append(u'\n');
                break;
            case u'r':
                out.append(u'\r');
                break;
            case u't':
                out.append(u'\t');
                break;
            case u'\\':
                out.append(u'\\');
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

QString escapeTsvField(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case u'\n':
                out.append(u"\\n");
                break;
            case u'\r':
                out.append(u"\\r");
                break;
            case u'\t':
                out.append(u"\\t");
                break;
            case u'\\':
                out.append(u"\\\\");
                break;
            default:
                out.append(c);
        }
    }
    return out;
}

std::optional<int> parseTsvId(QStringView field) {
    qsizetype i = 0;
    const bool negative = !field.isEmpty() && field[0] == u'-';
    if (negative) i = 1;
    if (i >= field.size()) return std::nullopt;
    long long value = 0;
    for (; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<int>::max()) return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

TsvParseResult parseTsv(QByteArrayView utf8, int minFields, int maxFields) {
    TsvParseResult result;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(utf8);
    if (decoder.hasError()) {
        result.errors.append(QStringLiteral("the table is not valid UTF-8"));
        return result;
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);

    const QStringList lines = text.split(u'\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QStringView line = lines[n];
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const int lineNo = static_cast<int>(n + 1);
        const QList<QStringView> raw = line.split(u'\t');
        if (raw.size() < minFields || raw.size() > maxFields) {
            result.errors.append(QStringLiteral("line %1: %2 fields, expected %3 to %4")
                                     .arg(lineNo)
                                     .arg(raw.size())
                                     .arg(minFields)
                                     .arg(maxFields));
            continue;
        }
        TsvRecord record;
        record.line = lineNo;
        bool ok = true;
        for (qsizetype f = 0; f < raw.size(); ++f) {
            std::optional<QString> field = unescapeTsvField(raw[f]);
            if (!field) {
                result.errors.append(
                    QStringLiteral("line %1: broken escape in field %2").arg(lineNo).arg(f + 1));
                ok = false;
                break;
            }
            record.fields.append(*field);
        }
        if (ok) result.records.append(std::move(record));
    }
    return result;
}

}  // namespace qor::res

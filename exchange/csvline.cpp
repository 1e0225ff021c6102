#include "exchange/csvline.h"

#include "cmdlang/scripts.h"
#include "platform/codepage.h"

namespace qor::csv {

namespace {
const QByteArray kUtf8Bom("\xEF\xBB\xBF");
}

QString Quote(const QString& text) {
    QString q = text;
    q.replace(u'"', QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool SplitRecords(const QString& text, QList<QStringList>* records, QString* error,
                  QChar delimiter, int maxFields) {
    records->clear();
    QStringList record;
    QString field;
    bool quoted = false;     // the current field was quoted
    bool anything = false;   // the current record has begun
    const qsizetype n = text.size();
    auto endRecord = [&] {
        if (anything) {
            record.append(field);
            records->append(record);
        }
        record.clear();
        field.clear();
        quoted = anything = false;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c == u'"' && field.isEmpty() && !quoted) {
            quoted = anything = true;
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text.at(i) != u'"') {
                    field += text.at(i);
                    continue;
                }
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    field += u'"';
                    ++i;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            if (!closed) {
                if (error) *error = QStringLiteral("第%1行：引号没有结束。").arg(records->size() + 1);
                return false;
            }
            continue;
        }
        if (c == delimiter) {
            record.append(field);
            if (record.size() >= maxFields) {
                if (error) *error = QStringLiteral("第%1行的字段太多。").arg(records->size() + 1);
                return false;
            }
            field.clear();
            quoted = false;
            anything = true;
            ++i;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n') ++i;
            ++i;
            endRecord();
            continue;
        }
        field += c;
        anything = true;
        ++i;
    }
    endRecord();
    return true;
}

QByteArray EncodeText(const QString& text, bool* utf8) {
    bool lossless = true;
    QByteArray bytes = encodeCp936(text, &lossless);
    if (utf8) *utf8 = !lossless;
    if (lossless) return bytes;
    return kUtf8Bom + text.toUtf8();
}

QString DecodeText(const QByteArray& bytes) {
    // A file written by hand may be UTF-8 without the mark, or UTF-16.
    return cmd::DecodeScriptBytes(bytes);
}

}  // namespace qor::csv

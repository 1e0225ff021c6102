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

SplitError SplitFields(const QString& text, QList<QList<Field>>* records, QChar delimiter, int maxFields) {
    records->clear();
    QList<Field> record;
    Field field;
    bool anything = false;  // the current record has begun
    const qsizetype n = text.size();
    auto endRecord = [&] {
        if (anything) {
            record.append(std::move(field));
            records->append(std::move(record));
        }
        record.clear();
        field = Field();
        anything = false;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = text.at(i);
        if (c == u'"' && field.text.isEmpty() && !field.quoted) {
            field.quoted = anything = true;
            bool closed = false;
            for (++i; i < n; ++i) {
                if (text.at(i) != u'"') {
                    field.text += text.at(i);
                    continue;
                }
                if (i + 1 < n && text.at(i + 1) == u'"') {
                    field.text += u'"';
                    ++i;
                    continue;
                }
                ++i;
                closed = true;
                break;
            }
            if (!closed) return SplitError::UnclosedQuote;
            continue;
        }
        if (c == delimiter) {
            record.append(std::move(field));
            if (record.size() >= maxFields) return SplitError::TooManyFields;
            field = Field();
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
        field.text += c;
        anything = true;
        ++i;
    }
    endRecord();
    return SplitError::None;
}

bool SplitRecords(const QString& text, QList<QStringList>* records, QString* error,
                  QChar delimiter, int maxFields) {
    QList<QList<Field>> fields;
    const SplitError failed = SplitFields(text, &fields, delimiter, maxFields);
    records->clear();
    records->reserve(fields.size());
    for (const QList<Field>& r : fields) {
        QStringList record;
        record.reserve(r.size());
        for (const Field& f : r) record.append(f.text);
        records->append(std::move(record));
    }
    if (failed == SplitError::None) return true;
    if (error) {
        *error = failed == SplitError::UnclosedQuote
                     ? QStringLiteral("第%1行：引号没有结束。").arg(records->size() + 1)
                     : QStringLiteral("第%1行的字段太多。").arg(records->size() + 1);
    }
    return false;
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

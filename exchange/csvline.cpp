#include "exchange/csvline.h"

#include "cmdlang/scripts.h"
#include "engine/messages.h"
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

namespace {
// Empties a field, keeping its storage.
void resetField(Field& f) {
    f.text.resize(0);
    f.quoted = false;
}
}  // namespace

RecordSplitter::RecordSplitter(QChar delimiter, int maxFields, Take take)
    : m_delimiter(delimiter), m_maxFields(maxFields), m_take(std::move(take)) {}

Field& RecordSplitter::field() {
    if (m_count == m_fields.size()) m_fields.append(Field());
    return m_fields[m_count];
}

bool RecordSplitter::endField() {
    field();
    ++m_count;
    if (m_count < m_fields.size()) resetField(m_fields[m_count]);
    return m_count < m_maxFields;
}

void RecordSplitter::endRecord() {
    if (m_fieldOpen) {
        field();
        ++m_count;
        if (!m_take(std::span<const Field>(m_fields.constData(), size_t(m_count)))) m_stopped = true;
    }
    for (qsizetype i = 0; i < m_count && i < m_fields.size(); ++i) resetField(m_fields[i]);
    if (m_count < m_fields.size()) resetField(m_fields[m_count]);
    m_count = 0;
    m_fieldOpen = false;
}

SplitError RecordSplitter::feed(QStringView text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && !m_stopped) {
        if (m_inQuotes) {
            if (m_quoteSeen) {
                m_quoteSeen = false;
                if (text[i] == u'"') {
                    field().text += u'"';
                    ++i;
                    continue;
                }
                // The quote closed the field; this character is read as
                // any character after it.
                m_inQuotes = false;
                continue;
            }
            qsizetype j = i;
            while (j < n && text[j] != u'"') ++j;
            field().text += text.mid(i, j - i);
            if (j < n) {
                m_quoteSeen = true;
                ++j;
            }
            i = j;
            continue;
        }
        const QChar c = text[i];
        if (m_afterCr) {
            // CR LF ends one record, even across pieces.
            m_afterCr = false;
            if (c == u'\n') {
                ++i;
                continue;
            }
        }
        if (c == u'"') {
            Field& f = field();
            if (f.text.isEmpty() && !f.quoted) {
                f.quoted = m_fieldOpen = m_inQuotes = true;
                ++i;
                continue;
            }
        }
        if (c == m_delimiter) {
            m_fieldOpen = true;
            ++i;
            if (!endField()) return SplitError::TooManyFields;
            continue;
        }
        if (c == u'\r' || c == u'\n') {
            m_afterCr = c == u'\r';
            ++i;
            endRecord();
            continue;
        }
        // A run of plain characters joins the field at once.
        qsizetype j = i + 1;
        while (j < n && text[j] != m_delimiter && text[j] != u'\r' && text[j] != u'\n' && text[j] != u'"') ++j;
        field().text += text.mid(i, j - i);
        m_fieldOpen = true;
        i = j;
    }
    return SplitError::None;
}

SplitError RecordSplitter::finish() {
    if (m_inQuotes && !m_quoteSeen) return SplitError::UnclosedQuote;
    m_inQuotes = m_quoteSeen = false;
    if (!m_stopped) endRecord();
    return SplitError::None;
}

SplitError SplitFields(const QString& text, QList<QList<Field>>* records, QChar delimiter, int maxFields) {
    records->clear();
    RecordSplitter splitter(delimiter, maxFields, [records](std::span<const Field> record) {
        records->append(QList<Field>(record.begin(), record.end()));
        return true;
    });
    const SplitError failed = splitter.feed(text);
    return failed != SplitError::None ? failed : splitter.finish();
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
                     ? LoadErrorText(str::kCsvQuoteOpen).arg(records->size() + 1)
                     : LoadErrorText(str::kCsvTooManyFields).arg(records->size() + 1);
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

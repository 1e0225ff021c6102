#pragma once
// The line functions of comma-separated text files: texts quoted with
// their quotes doubled, records ended by CR LF, code page 936 unless a
// text cannot be held in it (then UTF-8 with its byte-order mark, so a
// reader can tell).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>
#include <span>

namespace qor::csv {

// A text field: quoted, inner quotes doubled.
QString Quote(const QString& text);

// A field as it stood in the file: a quoted empty field is an empty text,
// an unquoted empty one is missing.
struct Field {
    QString text;
    bool quoted = false;
};

enum class SplitError { None, UnclosedQuote, TooManyFields };

// Splits text handed over in pieces into records of fields, as SplitFields
// does the whole text: a record may run across pieces. Each record goes to
// take as it ends (the fields are valid while take runs); take answers
// false to stop. The fields' storage is reused from record to record.
class RecordSplitter {
public:
    using Take = std::function<bool(std::span<const Field> record)>;
    RecordSplitter(QChar delimiter, int maxFields, Take take);
    // The next piece; stops (and returns) at a record with maxFields fields
    // or when take asks to stop (stopped() then says so).
    SplitError feed(QStringView text);
    // The end of the text: its last record, or a quote never closed.
    SplitError finish();
    bool stopped() const { return m_stopped; }

private:
    Field& field();
    bool endField();
    void endRecord();

    QChar m_delimiter;
    int m_maxFields;
    Take m_take;
    QList<Field> m_fields;  // storage; the first m_count are the record's
    qsizetype m_count = 0;
    bool m_fieldOpen = false;  // the current field has begun
    bool m_inQuotes = false;
    bool m_quoteSeen = false;  // a quote inside quotes: doubled or the end
    bool m_afterCr = false;
    bool m_stopped = false;
};

// Splits text into records of fields. A quoted field may hold the
// delimiter, doubled quotes and line breaks; empty lines are skipped.
// Stops at a quote that is never closed or a record reaching maxFields
// fields; *records then holds the records finished before it.
SplitError SplitFields(const QString& text, QList<QList<Field>>* records, QChar delimiter = u',',
                       int maxFields = 16384);

// The same as texts; false (with *error) where SplitFields stops.
bool SplitRecords(const QString& text, QList<QStringList>* records, QString* error,
                  QChar delimiter = u',', int maxFields = 16384);

// The bytes of a whole text: code page 936, or UTF-8 with its byte-order
// mark when a character does not fit (*utf8 says which).
QByteArray EncodeText(const QString& text, bool* utf8 = nullptr);
// The text of such bytes: a byte-order mark decides (UTF-8, UTF-16);
// without one, valid UTF-8 is UTF-8 and anything else code page 936 (read
// as GB18030).
QString DecodeText(const QByteArray& bytes);

}  // namespace qor::csv

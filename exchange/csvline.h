#pragma once
// The line functions of comma-separated text files: texts quoted with
// their quotes doubled, records ended by CR LF, code page 936 unless a
// text cannot be held in it (then UTF-8 with its byte-order mark, so a
// reader can tell).

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace qor::csv {

// A text field: quoted, inner quotes doubled.
QString Quote(const QString& text);

// Splits text into records of fields. A quoted field may hold the
// delimiter, doubled quotes and line breaks; empty lines are skipped.
// False (with *error) for a quote that is never closed or a record of
// more than maxFields fields.
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

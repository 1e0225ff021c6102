#pragma once
// Reader for the tab-separated tables that make up the string, command and
// template tables. The same reader serves the built-in copies and the tests
// that check the source files, so a table that loads is a table that parses.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

namespace qor::res {

struct TsvRecord {
    int line = 0;        // 1-based line number in the table file
    QStringList fields;  // unescaped; never fewer than the minimum asked for
};

struct TsvParseResult {
    QList<TsvRecord> records;
    QStringList errors;  // "line N: what is wrong", one per refused line
};

// Splits UTF-8 table text into records. Blank lines and lines whose first
// character is '#' are skipped; a leading byte-order mark and CR LF line ends
// are accepted. A line with fewer than minFields or more than maxFields
// fields, or with a broken escape, is refused and reported, never guessed at.
TsvParseResult parseTsv(QByteArrayView utf8, int minFields, int maxFields);

// Undoes the table escapes (\n \r \t \\). Nothing for a lone or unknown
// backslash sequence.
std::optional<QString> unescapeTsvField(QStringView field);

// The inverse of unescapeTsvField.
QString escapeTsvField(QStringView text);

// A table id: plain decimal digits, optionally with a leading '-', that fit
// an int. Nothing for anything else (blanks, signs, hex, overflow).
std::optional<int> parseTsvId(QStringView field);

}  // namespace qor::res

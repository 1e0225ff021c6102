#pragma once
// What differs between the databases a connection text can name, kept in
// one place so that one SQL text runs on SQLite, PostgreSQL and ODBC.
//
// Identifiers are quoted by the Qt driver (QSqlDriver::escapeIdentifier);
// the few clauses Qt has no word for come from a small table per dialect:
// the record limit, string concatenation and case-insensitive comparison.
// Report formulas and the SQL the dialogs build write names as "[table]"
// and "[table].[field]"; MapBracketNames turns those into the server's own
// quoting and leaves string literals, quoted names and comments alone.
// Values are never part of the text: callers bind them to "?" marks. The
// one exception is a text a formula joins into its SQL, which is written
// as TextLiteral where the dialect has an exact form, so that a condition
// per cell is not prepared on the server each time.

#include <QString>
#include <QVariantList>

class QSqlDriver;

namespace qor {

enum class SqlDialectKind { SQLite, PostgreSQL, Odbc };

struct SqlDialect {
    SqlDialectKind kind = SqlDialectKind::SQLite;
    // "%1" is the select statement, "%2" the number of records.
    const char* recordLimit = "";
    // "%1" and "%2" are the two operands.
    const char* concatenate = "";
    const char* equalsIgnoringCase = "";

    // The dialect of a Qt driver name ("QSQLITE", "QPSQL", "QODBC"...);
    // anything unknown is treated as ODBC, whose escapes every ODBC
    // driver understands.
    static const SqlDialect& ForDriver(const QString& driverName);

    // "select ..." limited to its first `records` rows; the statement is
    // returned unchanged when records < 0 (no limit).
    QString LimitRecords(const QString& select, qint64 records) const;
    // The same with the number as a "?" mark appended to *values where the
    // dialect takes one there (ODBC's "top" does not: it gets the number).
    QString LimitRecords(const QString& select, qint64 records, QVariantList* values) const;
    QString Concatenate(const QString& left, const QString& right) const;
    QString EqualsIgnoringCase(const QString& left, const QString& right) const;
    // The text as one string literal that every server of the dialect
    // reads back as exactly the text, whatever it holds: SQLite '...' with
    // ' doubled; PostgreSQL E'...' with \ and ' doubled, whatever the
    // session's standard_conforming_strings. Null where there is no such
    // form (ODBC: its servers escape differently) and for a text holding a
    // zero character: the caller binds it instead.
    QString TextLiteral(const QString& text) const;
};

// A table or field name quoted by the driver. Written as "[name]" it is
// one name whatever it holds ("[a.b]" is a table called a.b); without
// brackets "schema.table" is a qualified name.
QString QuoteIdentifier(const QSqlDriver* driver, const QString& name, bool tableName);

// The text with every "[name]" replaced by the driver's quoting of name
// ("]]" inside brackets stands for "]"). Brackets inside '...' literals,
// "..." names, $$...$$ bodies and comments are left as they are, and so is
// a "[" right after a name, a ")" or a "]" (an array subscript).
// Throws CAdoException when a bracket is never closed.
QString MapBracketNames(const QSqlDriver* driver, const QString& sql);

// True when sql is one statement: no ";" with anything but blanks after
// it and no comment ("--", "/*") outside string literals, quoted names and
// dollar-quoted bodies, however the server reads backslashes and quotes.
// Formula authors' SQL runs only when it is; a second statement or a
// comment could end the read-only transaction it runs in or cut off the
// clauses the system appends.
bool IsSingleStatement(const QString& sql);

// A function of the SQLite library the Qt driver has already loaded (never
// a second copy of the library); null when none is loaded or it lacks the
// name. Looked up once a name by its callers.
void* LoadedSqliteFunction(const char* name);

}  // namespace qor

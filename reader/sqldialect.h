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
#include <cstdint>

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

// Reads SQL text a character at a time the way a server does as far as
// quotes go: which quoted run (a literal, a quoted name, a dollar-quoted
// body) the text has reached, if any. Whatever must agree with the server
// on where a quote begins and ends (the one-statement check, the binding
// of a formula's data, the resolving of bracketed definition texts) reads
// with it, so that none of them sees code where the server sees a quote.
struct SqlReading {
    bool backslashInLiterals = false;  // every '...' takes backslash escapes
    bool escapeStrings = false;        // E'...' takes backslash escapes (PostgreSQL)
    bool dollarQuotes = false;         // $tag$...$tag$ (PostgreSQL)
    bool backQuotedNames = false;      // `name` (SQLite, ODBC servers)
    bool bracketNames = false;         // [name]
    // How the dialect's servers read a formula author's SQL, "[...]"
    // being a name (a definition text or the server's own bracket name).
    static SqlReading ForDialect(SqlDialectKind kind);
};

class SqlQuoteReader {
public:
    enum class In : uint8_t { Code, Literal, EscapeLiteral, Name, BackName, BracketName, DollarBody };
    explicit SqlQuoteReader(const SqlReading& reading) : m_how(reading) {}

    // Reads text[at], looking ahead in text for a dollar quote's tag, and
    // returns how many characters it took (at least one).
    qsizetype Read(const QString& text, qsizetype at);
    // Something other than text follows here (a value put in by the
    // caller): a quote waiting to see whether it is doubled is closed.
    void Break();
    // Where the next character lands. A quote that may be the first of a
    // doubled pair still counts as inside until Break or the next
    // character.
    In Inside() const { return m_in; }
    bool ClosePending() const { return m_closePending; }
    // Whether c, read next, is read as code (outside any quote).
    bool ReadsAsCode(QChar c) const;
    // What opened the run the reader is in ("'", "E'", "$tag$", "`"...).
    const QString& Opener() const { return m_opener; }
    // Something was read that the server's versions or settings read in
    // different ways: a quote or "$" right after a number with letters in
    // it, a backslash in a plain literal where E'...' exists.
    bool Ambiguous() const { return m_ambiguous; }

private:
    void open(In in, QString opener);
    SqlReading m_how;
    In m_in = In::Code;
    bool m_closePending = false;  // a closing quote a second one would double
    bool m_escapeNext = false;    // after a backslash in an escaping literal
    bool m_ambiguous = false;
    // The word being read in code: its length, whether it began with a
    // digit, and whether a letter followed the digits.
    qsizetype m_wordLength = 0;
    bool m_wordIsNumber = false;
    bool m_numberHasLetters = false;
    QChar m_lastWordChar;
    QString m_opener;
};

// The length of the PostgreSQL dollar-quote delimiter ("$$", "$tag$") at
// text[at], 0 when none begins there ("$1" is a parameter). The tag is
// read as the server reads it: letters, digits after the first,
// underscores and any character beyond ASCII.
qsizetype DollarQuoteDelimiterAt(const QString& text, qsizetype at);

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

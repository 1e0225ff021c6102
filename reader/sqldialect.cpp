#include "reader/sqldialect.h"

#include <dlfcn.h>

#include <QRegularExpression>
#include <QSqlDriver>
#include <QStringList>

#include "engine/messages.h"
#include "reader/cadoexception.h"

namespace qor {

namespace {

// The dialect table. SQLite and PostgreSQL share the standard forms; ODBC
// gets the escapes its drivers translate for their server, and "top" for
// the record limit since ODBC has no escape for it (the host's servers
// speak it).
const SqlDialect kDialects[] = {
    {SqlDialectKind::SQLite, "%1 limit %2", "(%1 || %2)", "lower(%1) = lower(%2)"},
    {SqlDialectKind::PostgreSQL, "%1 limit %2", "(%1 || %2)", "lower(%1) = lower(%2)"},
    {SqlDialectKind::Odbc, "top %2", "{fn CONCAT(%1, %2)}", "{fn LCASE(%1)} = {fn LCASE(%2)}"},
};

bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Copies a quoted run starting at `i` (the opening quote) up to and with
// its closing quote; a doubled quote stays inside. With `backslash` a
// backslash escapes the next character. Returns the index after the run.
qsizetype skipQuoted(const QString& sql, qsizetype i, QChar quote, bool backslash) {
    const qsizetype n = sql.size();
    ++i;
    while (i < n) {
        const QChar c = sql.at(i);
        if (backslash && c == QLatin1Char('\\')) {
            i += 2;
            continue;
        }
        if (c == quote) {
            if (i + 1 < n && sql.at(i + 1) == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return n;  // unclosed: the server reports it
}

// A PostgreSQL dollar-quoted body "$tag$...$tag$"; returns `i` unchanged
// when the "$" at `i` opens none (a "$1" parameter, say).
qsizetype skipDollarQuoted(const QString& sql, qsizetype i) {
    const qsizetype length = DollarQuoteDelimiterAt(sql, i);
    if (length == 0) return i;
    const QStringView delimiter = QStringView(sql).mid(i, length);
    const qsizetype end = sql.indexOf(delimiter, i + length);
    return end < 0 ? sql.size() : end + length;
}

// The statement without blanks and ";" at its end, so a clause can follow.
QString withoutEnd(const QString& select) {
    QString s = select.trimmed();
    while (s.endsWith(QLatin1Char(';'))) s = s.chopped(1).trimmed();
    return s;
}

}  // namespace

const SqlDialect& SqlDialect::ForDriver(const QString& driverName) {
    const QString d = driverName.toUpper();
    if (d == QLatin1String("QSQLITE")) return kDialects[0];
    if (d == QLatin1String("QPSQL")) return kDialects[1];
    return kDialects[2];
}

QString SqlDialect::LimitRecords(const QString& select, qint64 records) const {
    if (records < 0) return select;
    const QString s = withoutEnd(select);
    if (kind == SqlDialectKind::Odbc) {
        static const QRegularExpression head(QStringLiteral("^\\s*select(\\s+distinct)?\\s+"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = head.match(s);
        if (!m.hasMatch())
            throw CAdoException(
                LoadErrorText(str::kLimitOnlySelect).arg(select));
        return s.left(m.capturedEnd()) + QString::fromLatin1(recordLimit).arg(records) +
               QLatin1Char(' ') + s.mid(m.capturedEnd());
    }
    return QString::fromLatin1(recordLimit).arg(s, QString::number(records));
}

QString SqlDialect::LimitRecords(const QString& select, qint64 records,
                                 QVariantList* values) const {
    if (records < 0 || !values || kind == SqlDialectKind::Odbc) return LimitRecords(select, records);
    values->append(records);
    return QString::fromLatin1(recordLimit).arg(withoutEnd(select), QStringLiteral("?"));
}

QString SqlDialect::Concatenate(const QString& left, const QString& right) const {
    return QString::fromLatin1(concatenate).arg(left, right);
}

QString SqlDialect::TextLiteral(const QString& text) const {
    if (kind == SqlDialectKind::Odbc || text.contains(QChar(0))) return QString();
    QString out;
    out.reserve(text.size() + 4);
    if (kind == SqlDialectKind::PostgreSQL) out += QLatin1Char('E');
    out += QLatin1Char('\'');
    for (const QChar c : text) {
        if (c == QLatin1Char('\'') ||
            (kind == SqlDialectKind::PostgreSQL && c == QLatin1Char('\\')))
            out += c;
        out += c;
    }
    out += QLatin1Char('\'');
    return out;
}

QString SqlDialect::EqualsIgnoringCase(const QString& left, const QString& right) const {
    return QString::fromLatin1(equalsIgnoringCase).arg(left, right);
}

namespace {

QString quoteBare(const QSqlDriver* driver, const QString& n, bool tableName) {
    if (n.trimmed().isEmpty())
        throw CAdoException(LoadErrorText(str::kEmptyTableOrFieldName).arg(QString()));
    if (!driver) throw CAdoException(LoadErrorText(str::kConnectionWithoutDriver));
    // SQLite reads a double-quoted name that matches no column as a text,
    // so a misspelt field would come back as its own name: there a field
    // is quoted with grave accents, which name a column or fail.
    if (!tableName && driver->dbmsType() == QSqlDriver::SQLite)
        return u'`' + QString(n).replace(QLatin1Char('`'), QLatin1String("``")) + u'`';
    const auto type = tableName ? QSqlDriver::TableName : QSqlDriver::FieldName;
    // The drivers read "." as a qualifier and pass a name that holds their
    // quote characters or brackets through as "already quoted". Such names
    // are quoted here, with the driver's own quote characters.
    const QString probe = driver->escapeIdentifier(QStringLiteral("x"), type);
    const qsizetype at = probe.indexOf(QLatin1Char('x'));
    const QString open = at < 0 ? QString() : probe.left(at);
    const QString close = at < 0 ? QString() : probe.mid(at + 1);
    const bool plain = open.isEmpty() || close.isEmpty() ||
                       !(n.contains(QLatin1Char('.')) || n.contains(QLatin1Char('[')) ||
                         n.contains(QLatin1Char(']')) || n.contains(open) || n.contains(close));
    if (plain) return driver->escapeIdentifier(n, type);
    return open + QString(n).replace(close, close + close) + close;
}

}  // namespace

QString QuoteIdentifier(const QSqlDriver* driver, const QString& name, bool tableName) {
    const QString n = name.trimmed();
    if (n.size() >= 2 && n.startsWith(QLatin1Char('[')) && n.endsWith(QLatin1Char(']')))
        return quoteBare(driver,
                         n.mid(1, n.size() - 2).replace(QLatin1String("]]"), QLatin1String("]")),
                         tableName);
    // Unbracketed, "schema.table" is a qualified name, as the drivers read it.
    QStringList parts = n.split(QLatin1Char('.'));
    for (QString& p : parts) p = quoteBare(driver, p, tableName);
    return parts.join(QLatin1Char('.'));
}

QString MapBracketNames(const QSqlDriver* driver, const QString& sql) {
    if (!sql.contains(QLatin1Char('['))) return sql;
    QString out;
    out.reserve(sql.size() + 16);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
        const QChar prev = i > 0 ? sql.at(i - 1) : QChar();
        qsizetype end = i;
        if (c == QLatin1Char('\'')) {
            // E'...' takes backslash escapes.
            const bool escaped = (prev == QLatin1Char('E') || prev == QLatin1Char('e')) &&
                                 (i < 2 || !isNameChar(sql.at(i - 2)));
            end = skipQuoted(sql, i, c, escaped);
        } else if (c == QLatin1Char('"')) {
            end = skipQuoted(sql, i, c, false);
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            end = sql.indexOf(QLatin1Char('\n'), i);
            end = end < 0 ? n : end + 1;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            end = sql.indexOf(QLatin1String("*/"), i + 2);
            end = end < 0 ? n : end + 2;
        } else if (c == QLatin1Char('$') && !isNameChar(prev)) {
            end = skipDollarQuoted(sql, i);
        } else if (c == QLatin1Char('[') &&
                   !(isNameChar(prev) || prev == QLatin1Char(')') || prev == QLatin1Char(']') ||
                     prev == QLatin1Char('"'))) {
            QString name;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (sql.at(j) == QLatin1Char(']')) {
                    if (j + 1 < n && sql.at(j + 1) == QLatin1Char(']')) {
                        name += QLatin1Char(']');
                        j += 2;
                        continue;
                    }
                    closed = true;
                    break;
                }
                name += sql.at(j++);
            }
            if (!closed) throw CAdoException(LoadErrorText(str::kNameAndText).arg(LoadErrorText(str::kUnclosedBracket), sql));
            if (name.trimmed().isEmpty())
                throw CAdoException(
                    LoadErrorText(str::kEmptyTableOrFieldName).arg(LoadErrorText(str::kNameAndText).arg(QString(), sql)));
            out += quoteBare(driver, name, true);
            i = j + 1;
            continue;
        }
        if (end > i) {
            out += QStringView(sql).mid(i, end - i);
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

namespace {

bool isIdentifierStart(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('_') ||
           c.unicode() >= 0x80;
}

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}  // namespace

SqlReading SqlReading::ForDialect(SqlDialectKind kind) {
    SqlReading how;
    how.bracketNames = true;
    if (kind == SqlDialectKind::PostgreSQL) {
        how.escapeStrings = true;
        how.dollarQuotes = true;
    } else {
        how.backQuotedNames = true;
    }
    return how;
}

qsizetype DollarQuoteDelimiterAt(const QString& text, qsizetype at) {
    const qsizetype n = text.size();
    if (at < 0 || at >= n || text.at(at) != QLatin1Char('$')) return 0;
    qsizetype i = at + 1;
    if (i < n && isIdentifierStart(text.at(i))) {
        ++i;
        while (i < n && (isIdentifierStart(text.at(i)) || isDigit(text.at(i)))) ++i;
    }
    return i < n && text.at(i) == QLatin1Char('$') ? i + 1 - at : 0;
}

void SqlQuoteReader::open(In in, QString opener) {
    m_in = in;
    m_opener = std::move(opener);
    m_closePending = false;
    m_escapeNext = false;
    m_wordLength = 0;
}

void SqlQuoteReader::Break() {
    if (m_closePending) {
        m_closePending = false;
        m_in = In::Code;
    }
    m_wordLength = 0;
}

bool SqlQuoteReader::ReadsAsCode(QChar c) const {
    if (m_in == In::Code) return true;
    if (!m_closePending) return false;
    const QChar quote = m_in == In::Name       ? QLatin1Char('"')
                        : m_in == In::BackName ? QLatin1Char('`')
                                               : QLatin1Char('\'');
    return c != quote;
}

qsizetype SqlQuoteReader::Read(const QString& text, qsizetype at) {
    const QChar c = text.at(at);
    switch (m_in) {
    case In::Literal:
    case In::EscapeLiteral:
    case In::Name:
    case In::BackName: {
        const QChar quote = m_in == In::Name       ? QLatin1Char('"')
                            : m_in == In::BackName ? QLatin1Char('`')
                                                   : QLatin1Char('\'');
        if (m_closePending) {
            m_closePending = false;
            if (c == quote) return 1;  // doubled: still inside
            m_in = In::Code;
            m_wordLength = 0;
            break;  // the quote was the last: c is code
        }
        if (m_escapeNext) {
            m_escapeNext = false;
            return 1;
        }
        const bool escapes = m_in == In::EscapeLiteral ||
                             (m_in == In::Literal && m_how.backslashInLiterals);
        if (escapes && c == QLatin1Char('\\')) {
            m_escapeNext = true;
            return 1;
        }
        // Where a server may take backslash escapes in plain literals
        // (PostgreSQL with standard_conforming_strings off), a backslash
        // in one may end it elsewhere.
        if (m_in == In::Literal && m_how.escapeStrings && c == QLatin1Char('\\'))
            m_ambiguous = true;
        if (c == quote) m_closePending = true;
        return 1;
    }
    case In::BracketName:
        if (c == QLatin1Char(']')) {
            m_in = In::Code;
            m_wordLength = 0;
        }
        return 1;
    case In::DollarBody:
        if (QStringView(text).mid(at).startsWith(m_opener)) {
            m_in = In::Code;
            m_wordLength = 0;
            return m_opener.size();
        }
        return 1;
    case In::Code:
        break;
    }
    // A number with letters after its digits ("1e5", "1abc") is read one
    // way by older servers and another (or refused) by newer ones: a quote
    // or "$" right after it is not certain.
    const bool afterUncertainNumber = m_wordLength > 0 && m_wordIsNumber && m_numberHasLetters;
    if (c == QLatin1Char('\'')) {
        // E'...' takes backslash escapes where the E is a word of its own
        // (in "xE'...'" the word is the name xE and the literal a plain one)
        // or ends a number ("1E'" is 1 and E'... on older servers).
        const bool escaping = m_how.escapeStrings && m_wordLength > 0 &&
                              (m_lastWordChar == QLatin1Char('E') || m_lastWordChar == QLatin1Char('e')) &&
                              (m_wordLength == 1 || m_wordIsNumber);
        if (m_how.escapeStrings && afterUncertainNumber) m_ambiguous = true;
        if (escaping) open(In::EscapeLiteral, QString(m_lastWordChar) + QLatin1Char('\''));
        else open(In::Literal, QStringLiteral("'"));
        return 1;
    }
    if (c == QLatin1Char('"')) {
        open(In::Name, QStringLiteral("\""));
        return 1;
    }
    if (c == QLatin1Char('`') && m_how.backQuotedNames) {
        open(In::BackName, QStringLiteral("`"));
        return 1;
    }
    if (c == QLatin1Char('[') && m_how.bracketNames) {
        open(In::BracketName, QStringLiteral("["));
        return 1;
    }
    if (c == QLatin1Char('$') && m_how.dollarQuotes) {
        // Inside a name "$" is one of its characters (PostgreSQL's names
        // may hold it); anywhere else it may open a dollar-quoted body.
        if (m_wordLength > 0 && !m_wordIsNumber) {
            ++m_wordLength;
            m_lastWordChar = c;
            return 1;
        }
        if (afterUncertainNumber) {
            m_ambiguous = true;
            m_opener = QStringLiteral("$");
        }
        const qsizetype length = DollarQuoteDelimiterAt(text, at);
        if (length > 0) {
            open(In::DollarBody, text.mid(at, length));
            return length;
        }
        m_wordLength = 0;
        return 1;
    }
    if (isIdentifierStart(c) || isDigit(c)) {
        if (m_wordLength == 0) {
            m_wordIsNumber = isDigit(c);
            m_numberHasLetters = false;
        } else if (m_wordIsNumber && !isDigit(c)) {
            m_numberHasLetters = true;
        }
        ++m_wordLength;
        m_lastWordChar = c;
        return 1;
    }
    m_wordLength = 0;
    return 1;
}

namespace {

// The first separator or comment opener outside literals and names, and
// its index; -1 when there is none. A ";" followed by blanks (and more
// ";") only is the statement's end, not a separator.
qsizetype firstSeparator(const QString& sql, const SqlReading& how) {
    SqlQuoteReader reader(how);
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
        if (reader.ReadsAsCode(c)) {
            if ((c == QLatin1Char('-') && next == QLatin1Char('-')) ||
                (c == QLatin1Char('/') && next == QLatin1Char('*')))
                return i;
            if (c == QLatin1Char(';')) {
                for (qsizetype j = i + 1; j < n; ++j)
                    if (!sql.at(j).isSpace() && sql.at(j) != QLatin1Char(';')) return i;
                return -1;
            }
        }
        i += reader.Read(sql, i);
    }
    return -1;
}

}  // namespace

bool IsSingleStatement(const QString& sql) {
    // A text is one statement only when it is one under every reading a
    // server may give it: otherwise a quote one server reads differently
    // (a backslash before it, a back-quoted name) could hide a second
    // statement from this check and show it to the server. PostgreSQL as
    // configured by default and with backslash escapes in every literal;
    // SQLite and the ODBC servers with and without them.
    static const SqlReading kReadings[] = {
        {false, true, true, false, false},
        {true, true, true, false, false},
        {false, false, false, true, true},
        {true, false, false, true, true},
    };
    for (const SqlReading& how : kReadings)
        if (firstSeparator(sql, how) >= 0) return false;
    return true;
}

void* LoadedSqliteFunction(const char* name) {
    void* lib = dlopen("libsqlite3.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!lib) return nullptr;
    void* f = dlsym(lib, name);
    dlclose(lib);  // only drops our reference; the driver still holds it
    return f;
}

}  // namespace qor

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
    static const QRegularExpression tag(QStringLiteral("\\G\\$([A-Za-z_][A-Za-z0-9_]*)?\\$"));
    const QRegularExpressionMatch m = tag.match(sql, i);
    if (!m.hasMatch()) return i;
    const QString delimiter = m.captured(0);
    const qsizetype end = sql.indexOf(delimiter, i + delimiter.size());
    return end < 0 ? sql.size() : end + delimiter.size();
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

// How a server may read quotes. A text is one statement only when it is
// one statement under every reading: otherwise a quote one server reads
// differently (a backslash before it, a back-quoted name) could hide a
// second statement from this check and show it to the server.
struct Lexing {
    bool backslashInLiterals;  // PostgreSQL with standard_conforming_strings off, MySQL
    bool escapeStrings;        // PostgreSQL's E'...' take backslash escapes
    bool dollarQuotes;         // PostgreSQL's $tag$...$tag$
    bool bracketNames;         // `name` and [name] are names (SQLite, ODBC servers)
};

// The first separator or comment opener outside literals and names, and
// its index; -1 when there is none. A ";" followed by blanks (and more
// ";") only is the statement's end, not a separator.
qsizetype firstSeparator(const QString& sql, const Lexing& how) {
    const qsizetype n = sql.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        const QChar next = i + 1 < n ? sql.at(i + 1) : QChar();
        const QChar prev = i > 0 ? sql.at(i - 1) : QChar();
        if (c == QLatin1Char('\'')) {
            const bool escaped = how.backslashInLiterals ||
                                 (how.escapeStrings &&
                                  (prev == QLatin1Char('E') || prev == QLatin1Char('e')) &&
                                  (i < 2 || !isNameChar(sql.at(i - 2))));
            i = skipQuoted(sql, i, c, escaped);
        } else if (c == QLatin1Char('"')) {
            i = skipQuoted(sql, i, c, false);
        } else if (how.bracketNames && c == QLatin1Char('`')) {
            i = skipQuoted(sql, i, c, false);
        } else if (how.bracketNames && c == QLatin1Char('[')) {
            const qsizetype close = sql.indexOf(QLatin1Char(']'), i + 1);
            i = close < 0 ? n : close + 1;
        } else if (how.dollarQuotes && c == QLatin1Char('$') && !isNameChar(prev)) {
            const qsizetype end = skipDollarQuoted(sql, i);
            i = end > i ? end : i + 1;
        } else if ((c == QLatin1Char('-') && next == QLatin1Char('-')) ||
                   (c == QLatin1Char('/') && next == QLatin1Char('*'))) {
            return i;
        } else if (c == QLatin1Char(';')) {
            for (qsizetype j = i + 1; j < n; ++j)
                if (!sql.at(j).isSpace() && sql.at(j) != QLatin1Char(';')) return i;
            return -1;
        } else {
            ++i;
        }
    }
    return -1;
}

}  // namespace

bool IsSingleStatement(const QString& sql) {
    // PostgreSQL as configured by default and with backslash escapes;
    // SQLite and the ODBC servers with and without them.
    static constexpr Lexing kReadings[] = {{false, true, true, false},
                                           {true, true, true, false},
                                           {false, false, false, true},
                                           {true, false, false, true}};
    for (const Lexing& how : kReadings)
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

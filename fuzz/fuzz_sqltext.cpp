// Connection texts and the SQL texts of reports: reading a connection text
// (and masking its passwords), mapping "[name]" to the drivers' quoting,
// and binding a formula's data into its SQL under every quote a server
// knows.
// A text without "[" must come back unchanged; a masked text never holds
// the password a connection text gives; the one-statement check refuses
// nothing without a separator or comment opener.

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzzsupport.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/sqldialect.h"
#include "exchange/dbreaders.h"

namespace {

// The characters a server reads as code, quote openers included: what a
// statement does, whatever its literals hold.
QString codeOf(const QString& sql, const qor::SqlReading& how) {
    qor::SqlQuoteReader reader(how);
    QString code;
    for (qsizetype i = 0; i < sql.size();) {
        const bool asCode = reader.ReadsAsCode(sql.at(i));
        const qsizetype taken = reader.Read(sql, i);
        if (asCode) code += QStringView(sql).mid(i, taken);
        i += taken;
    }
    return code;
}

// The input as a formula's condition or statement: \x01 switches between
// the author's text and data (a cell's text). Whatever the data holds, it
// never changes the code of what is bound: the same pieces with plain
// data in their place give the same code, or are refused alike.
void bindPieces(const QString& text) {
    QList<qor::cmd::TextPiece> pieces, plain;
    bool written = true;
    for (const QString& part : text.split(QChar(1))) {
        pieces.append({part, written});
        QString stand = part;
        if (!written && !part.trimmed().isEmpty())
            stand = part.contains(QChar(0)) ? QString(QChar(0)) : QStringLiteral("x");
        plain.append({stand, written});
        written = !written;
    }
    for (const char* driver : {"QSQLITE", "QPSQL", "QODBC"}) {
        const qor::SqlDialect& dialect = qor::SqlDialect::ForDriver(QLatin1String(driver));
        qor::SqlReading readings[2] = {qor::SqlReading::ForDialect(dialect.kind),
                                       qor::SqlReading::ForDialect(dialect.kind)};
        // PostgreSQL with standard_conforming_strings off, too.
        readings[1].backslashInLiterals = dialect.kind == qor::SqlDialectKind::PostgreSQL;
        for (const qor::HostText kind : {qor::HostText::Condition, qor::HostText::Statement}) {
            qor::BoundStatement bound, reference;
            QString error, referenceError;
            const bool ok = qor::BindHostText(text, pieces, dialect, kind, &bound, &error);
            const bool referenceOk =
                qor::BindHostText(text, plain, dialect, kind, &reference, &referenceError);
            if (ok != referenceOk) std::abort();
            if (!ok) continue;
            if (bound.values.size() != reference.values.size()) std::abort();
            for (const qor::SqlReading& how : readings)
                if (codeOf(bound.sql, how) != codeOf(reference.sql, how)) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (64u << 10)) return 0;
    static const bool ready = [] {
        // Paths with a NUL in them make Qt warn for every input.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz-sqlite"));
        if (QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fuzz-pg"));
        return true;
    }();
    (void)ready;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));

    for (const char* name : {"fuzz-sqlite", "fuzz-pg"}) {
        const QSqlDatabase db = QSqlDatabase::database(QLatin1String(name), false);
        if (!db.isValid()) continue;
        try {
            const QString mapped = qor::MapBracketNames(db.driver(), text);
            if (!text.contains(QLatin1Char('[')) && mapped != text) std::abort();
            qor::QuoteIdentifier(db.driver(), text, true);
        } catch (const CAdoException&) {
        }
    }
    for (const qor::SqlDialect* d :
         {&qor::SqlDialect::ForDriver(QStringLiteral("QSQLITE")),
          &qor::SqlDialect::ForDriver(QStringLiteral("QODBC"))}) {
        try {
            d->LimitRecords(text, 10);
        } catch (const CAdoException&) {
        }
    }

    // Only a separator or a comment opener makes a text more than one
    // statement.
    if (!qor::IsSingleStatement(text) && !text.contains(QLatin1Char(';')) &&
        !text.contains(QLatin1String("--")) && !text.contains(QLatin1String("/*")))
        std::abort();

    bindPieces(text);

    const QString masked = CAdoConnection::MaskPasswords(text);
    try {
        const AdoConnectionSettings s = CAdoConnection::ResolveConnectionText(text);
        // A password of a few characters may appear elsewhere by chance.
        if (s.password.size() >= 8 && masked.contains(s.password) &&
            !text.section(s.password, 0, 0).isEmpty() && text.count(s.password) == 1)
            std::abort();
    } catch (const CAdoException&) {
    }
    return 0;
}

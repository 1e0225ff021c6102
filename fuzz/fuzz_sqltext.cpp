// Connection texts and the SQL texts of reports: reading a connection text
// (and masking its passwords), and mapping "[name]" to the drivers' quoting.
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

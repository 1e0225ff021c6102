// Record filters as users type them: whatever the translator accepts is
// one SQL expression with a "?" for every bound value, and running it on a
// working database never changes the database.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <cstdint>
#include <cstdlib>

#include "exchange/jetdb.h"
#include "exchange/jetfilter.h"

namespace {

QSqlDatabase& database() {
    static QSqlDatabase db = [] {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fuzz"));
        d.setDatabaseName(QStringLiteral(":memory:"));
        if (!d.open()) abort();
        QSqlQuery q(d);
        if (!q.exec(QStringLiteral("CREATE TABLE t(c0 COLLATE NOCASE, c1 COLLATE NOCASE)")) ||
            !q.exec(QStringLiteral("INSERT INTO t VALUES ('a', 1), (NULL, 2.5)")))
            abort();
        return d;
    }();
    return db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    qor::jet::TranslatedFilter f;
    try {
        f = qor::jet::translateFilter(text, [](const QString& name) {
            // Two known fields; any other name is refused as a real table would.
            if (name.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0) return QStringLiteral("c0");
            if (name.compare(QLatin1String("Qty"), Qt::CaseInsensitive) == 0) return QStringLiteral("c1");
            throw qor::jet::JetError(QStringLiteral("Unknown field"));
        });
    } catch (const qor::jet::JetError&) {
        return 0;
    }
    // No second statement and no comment can come out of a translation,
    // and every value is bound.
    if (f.sql.contains(u';') || f.sql.contains(QLatin1String("--")) || f.sql.contains(QLatin1String("/*")))
        abort();
    if (f.sql.count(u'?') != f.binds.size()) abort();
    QSqlQuery q(database());
    if (q.prepare(QStringLiteral("SELECT count(*) FROM t WHERE ") + f.sql)) {
        for (const QVariant& v : f.binds) q.addBindValue(v);
        q.exec();
    }
    q.finish();
    QSqlQuery check(database());
    if (!check.exec(QStringLiteral("SELECT count(*) FROM t")) || !check.next() || check.value(0).toInt() != 2)
        abort();
    return 0;
}

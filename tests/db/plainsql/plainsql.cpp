#include "tests/db/plainsql/plainsql.h"

#include <QAtomicInteger>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "reader/cadoconnection.h"

namespace qordbtest {

QString RunPlain(const QString& text, const QStringList& statements) {
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("dbtest-plain-%1").arg(counter.fetchAndAddRelaxed(1));
    const AdoConnectionSettings s = CAdoConnection::ResolveConnectionText(text);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(s.driver, name);
        db.setDatabaseName(s.database);
        if (!s.host.isEmpty()) db.setHostName(s.host);
        if (s.port > 0) db.setPort(s.port);
        db.setUserName(s.user);
        db.setPassword(s.password);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            for (const QString& st : statements) {
                if (!q.exec(st)) {
                    error = st + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

}  // namespace qordbtest

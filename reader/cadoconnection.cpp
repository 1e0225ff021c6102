#include "reader/cadoconnection.h"

#include <sqlite3.h>

#include <QAtomicInteger>
#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "engine/messages.h"
#include "platform/datadir.h"
#include "platform/registry.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/sqldialect.h"

const QString CAdoConnection::kDatabasesKey =
    QStringLiteral("Software\\Vantix\\QX\\V8.610\\Databases");

namespace {

QString uniqueConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("qor-ado-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

// Splits "A=1;B={x;y};C=3" into pairs; braces protect ";" and are dropped.
QList<QPair<QString, QString>> splitPairs(const QString& text) {
    QList<QPair<QString, QString>> out;
    QString part;
    int depth = 0;
    auto flush = [&] {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq > 0) {
            QString value = part.mid(eq + 1).trimmed();
            if (value.startsWith(QLatin1Char('{')) && value.endsWith(QLatin1Char('}')))
                value = value.mid(1, value.size() - 2);
            out.append({part.left(eq).trimmed().toUpper(), value});
        }
        part.clear();
    };
    for (const QChar c : text) {
        if (c == QLatin1Char('{')) ++depth;
        if (c == QLatin1Char('}') && depth > 0) --depth;
        if (c == QLatin1Char(';') && depth == 0) {
            flush();
            continue;
        }
        part += c;
    }
    flush();
    return out;
}

// Connection texts travel into error messages and logs; passwords do not.
QString masked(const QString& text) {
    QStringList parts;
    for (const auto& [key, value] : splitPairs(text))
        parts.append(key + QLatin1Char('=') +
                     ((key == QLatin1String("PWD") || key == QLatin1String("PASSWORD"))
                          ? QStringLiteral("***")
                          : value));
    return parts.isEmpty() ? text : parts.join(QLatin1Char(';'));
}

bool isDriveRooted(const QString& p) {
    return p.size() >= 2 && p.at(1) == QLatin1Char(':') && p.at(0).unicode() < 0x80 &&
           p.at(0).isLetter();
}

bool looksLikePath(const QString& name) {
    return name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
           isDriveRooted(name);
}

QString sqliteFile(const QString& path) {
    if (path == QLatin1String(":memory:")) return path;
    return qor::nativePath(path);
}

AdoConnectionSettings parseConnectionText(const QString& text) {
    AdoConnectionSettings s;
    QString driver;
    QString dsn;
    for (const auto& [key, value] : splitPairs(text)) {
        if (key == QLatin1String("DRIVER")) {
            driver = value;
        } else if (key == QLatin1String("DSN")) {
            dsn = value;
        } else if (key == QLatin1String("DATABASE") || key == QLatin1String("DBQ") ||
                   key == QLatin1String("INITIAL CATALOG")) {
            s.database = value;
        } else if (key == QLatin1String("HOST") || key == QLatin1String("SERVER")) {
            s.host = value;
        } else if (key == QLatin1String("PORT")) {
            bool ok = false;
            s.port = value.toInt(&ok);
            if (!ok || s.port <= 0 || s.port > 65535)
                throw CAdoException(LoadErrorText(qor::str::kBadPort).arg(value));
        } else if (key == QLatin1String("UID") || key == QLatin1String("USER") ||
                   key == QLatin1String("USER ID")) {
            s.user = value;
        } else if (key == QLatin1String("PWD") || key == QLatin1String("PASSWORD")) {
            s.password = value;
        } else if (key == QLatin1String("OPTIONS")) {
            s.options = value;
        } else if (key == QLatin1String("PROVIDER") && driver.isEmpty()) {
            driver = QStringLiteral("PROVIDER");
        }
    }
    const bool qtDriver = driver.startsWith(QLatin1Char('Q'), Qt::CaseInsensitive) &&
                          !driver.contains(QLatin1Char(' '));
    if (driver == QLatin1String("PROVIDER"))
        throw CAdoException(LoadErrorText(qor::str::kProviderConnectionRefused).arg(masked(text)));
    if (qtDriver) {
        s.driver = driver.toUpper();
        if (s.driver == QLatin1String("QODBC") && s.database.isEmpty()) {
            // The ODBC driver takes either a DSN or a whole connection text.
            QStringList rest;
            for (const auto& [key, value] : splitPairs(text))
                if (key != QLatin1String("DRIVER")) rest.append(key + QLatin1Char('=') + value);
            s.database = rest.join(QLatin1Char(';'));
        }
    } else if (!driver.isEmpty() || !dsn.isEmpty()) {
        s.driver = QStringLiteral("QODBC");
        s.database = text;
    } else {
        s.driver = QStringLiteral("QSQLITE");
    }
    if (s.driver == QLatin1String("QSQLITE")) {
        if (s.database.isEmpty())
            throw CAdoException(
                LoadErrorText(qor::str::kConnectionWithoutDatabase).arg(masked(text)));
        s.database = sqliteFile(s.database);
    }
    if (s.database.isEmpty())
        throw CAdoException(LoadErrorText(qor::str::kConnectionWithoutDatabase).arg(masked(text)));
    return s;
}

}  // namespace

QString CAdoConnection::MaskPasswords(const QString& nameOrConnectionText) {
    return nameOrConnectionText.contains(QLatin1Char('=')) ? masked(nameOrConnectionText)
                                                           : nameOrConnectionText;
}

AdoConnectionSettings CAdoConnection::ResolveConnectionText(const QString& nameOrConnectionText) {
    const QString text = nameOrConnectionText.trimmed();
    if (text.isEmpty()) throw CAdoException(LoadErrorText(qor::str::kNoDatabaseName));
    if (text.contains(QLatin1Char('='))) return parseConnectionText(text);

    AdoConnectionSettings s;
    s.driver = QStringLiteral("QSQLITE");
    if (looksLikePath(text)) {
        s.database = sqliteFile(text);
        return s;
    }
    const QString mapped = qor::Registry::readString(kDatabasesKey, text).trimmed();
    if (!mapped.isEmpty()) {
        if (mapped.contains(QLatin1Char('='))) return parseConnectionText(mapped);
        // A mapped plain value is a file; never another name (no loops).
        s.database = sqliteFile(mapped);
        return s;
    }
    s.database = qor::dataPath(QStringLiteral("data/") + text + QStringLiteral(".db"));
    return s;
}

CAdoConnection::CAdoConnection() = default;

CAdoConnection::~CAdoConnection() {
    Close();
    const QSet<CAdoRecordset*> users = m_recordsets;
    for (CAdoRecordset* r : users) r->m_connection = nullptr;
}

void CAdoConnection::Attach(CAdoRecordset* recordset) { m_recordsets.insert(recordset); }

void CAdoConnection::Detach(CAdoRecordset* recordset) { m_recordsets.remove(recordset); }

QSqlDatabase CAdoConnection::Database() const {
    if (!m_open) return QSqlDatabase();
    return QSqlDatabase::database(m_connectionName, false);
}

void CAdoConnection::Open(const QString& nameOrConnectionText) {
    if (m_open)
        throw CAdoException(LoadErrorText(qor::str::kConnectionAlreadyOpen).arg(masked(m_text)));
    const AdoConnectionSettings s = ResolveConnectionText(nameOrConnectionText);
    if (!QSqlDatabase::isDriverAvailable(s.driver))
        throw CAdoException(LoadErrorText(qor::str::kDatabaseDriverMissing)
                                .arg(s.driver, QSqlDatabase::drivers().join(QStringLiteral(", "))));
    const bool sqlite = s.driver == QLatin1String("QSQLITE");
    if (sqlite && s.database != QLatin1String(":memory:") && !QFileInfo(s.database).isFile())
        throw CAdoException(LoadErrorText(qor::str::kDatabaseFileMissing).arg(s.database));

    const QString name = uniqueConnectionName();
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(s.driver, name);
        db.setDatabaseName(s.database);
        if (!s.host.isEmpty()) db.setHostName(s.host);
        if (s.port > 0) db.setPort(s.port);
        if (!s.user.isEmpty()) db.setUserName(s.user);
        if (!s.password.isEmpty()) db.setPassword(s.password);
        if (!s.options.isEmpty())
            db.setConnectOptions(s.options);
        else if (sqlite)
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            error = db.lastError().text();
        } else if (sqlite) {
            // SQLite opens anything lazily; a file that is no database
            // should fail here, not at the first query.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("select count(*) from sqlite_master")))
                error = probe.lastError().text();
        }
        if (!error.isEmpty()) db.close();
    }
    if (!error.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        // A server's reason should never echo the password, but the message
        // is logged and shown, so make sure.
        if (s.password.size() >= 3) error.replace(s.password, QStringLiteral("***"));
        throw CAdoException(
            LoadErrorText(qor::str::kCannotOpenDatabase)
                .arg(sqlite ? s.database : MaskPasswords(nameOrConnectionText), error.trimmed()));
    }
    m_connectionName = name;
    m_text = nameOrConnectionText;
    m_settings = s;
    m_open = true;
    if (s.driver == QLatin1String("QPSQL")) RememberSessionSettings();
}

void CAdoConnection::Close() {
    if (!m_open) return;
    const QSet<CAdoRecordset*> users = m_recordsets;
    for (CAdoRecordset* r : users) r->Close();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
    m_open = false;
    m_readOnly = false;
}

namespace {

// SQLite's authorizer is installed through the SQLite library the Qt driver
// has loaded, never a second copy (as the column types are read).
using SetAuthorizerFn = int (*)(sqlite3*, int (*)(void*, int, const char*, const char*,
                                                   const char*, const char*),
                                void*);

SetAuthorizerFn sqliteSetAuthorizer() {
    static const SetAuthorizerFn fn =
        reinterpret_cast<SetAuthorizerFn>(qor::LoadedSqliteFunction("sqlite3_set_authorizer"));
    return fn;
}

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

// What a read-only SQLite connection may prepare: reading, functions and
// the pragmas that only tell something. Every write, schema change,
// ATTACH/DETACH, transaction control and a pragma that sets or does
// something is refused while the statement is prepared, before it runs;
// query_only stays on as well. SQLite passes a function's name as the
// second text, a pragma's name as the first and its argument as the second.
int readOnlyAuthorizer(void*, int action, const char* a, const char* b, const char*,
                       const char*) {
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_FUNCTION:
            // Loading a library runs its code in this process.
            return b && qstricmp(b, "load_extension") == 0 ? SQLITE_DENY : SQLITE_OK;
        case SQLITE_PRAGMA: {
            if (!a) return SQLITE_DENY;
            static const char* const kTelling[] = {"table_info", "table_xinfo", "index_list",
                                                   "index_info", "index_xinfo",
                                                   "foreign_key_list"};
            for (const char* t : kTelling)
                if (qstricmp(a, t) == 0) return SQLITE_OK;
            // Without an argument a pragma reads its value, except these.
            static const char* const kDoing[] = {"optimize", "shrink_memory", "wal_checkpoint",
                                                 "incremental_vacuum"};
            if (b) return SQLITE_DENY;
            for (const char* d : kDoing)
                if (qstricmp(a, d) == 0) return SQLITE_DENY;
            return SQLITE_OK;
        }
        default:
            return SQLITE_DENY;
    }
}

}  // namespace

void CAdoConnection::SetReadOnly(bool readOnly) {
    if (!m_open || readOnly == m_readOnly) return;
    const QSqlDatabase db = Database();
    QSqlQuery q(db);
    if (m_settings.driver == QLatin1String("QSQLITE")) {
        sqlite3* handle = sqliteHandle(db);
        const SetAuthorizerFn setAuthorizer = sqliteSetAuthorizer();
        if (readOnly) {
            if (!handle || !setAuthorizer)
                throw CAdoException(LoadErrorText(qor::str::kCannotSetReadOnly)
                                        .arg(QStringLiteral("sqlite3_set_authorizer")));
            if (!q.exec(QStringLiteral("PRAGMA query_only = 1")))
                throw CAdoException(
                    LoadErrorText(qor::str::kCannotSetReadOnly).arg(q.lastError().text()));
            setAuthorizer(handle, readOnlyAuthorizer, nullptr);
        } else {
            if (handle && setAuthorizer) setAuthorizer(handle, nullptr, nullptr);
            q.exec(QStringLiteral("PRAGMA query_only = 0"));
        }
    } else if (m_settings.driver == QLatin1String("QPSQL")) {
        if (!q.exec(readOnly
                        ? QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY")
                        : QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ WRITE")) &&
            readOnly)
            throw CAdoException(
                LoadErrorText(qor::str::kCannotSetReadOnly).arg(q.lastError().text()));
    }
    m_readOnly = readOnly;
}

void CAdoConnection::ReadOnlyTransaction(const std::function<void()>& read) {
    if (!m_open) throw CAdoException(LoadErrorText(qor::str::kConnectionNotOpen));
    if (m_settings.driver != QLatin1String("QPSQL")) {
        // SQLite's guard sits on the connection (SetReadOnly).
        read();
        return;
    }
    const QSqlDatabase db = Database();
    {
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("BEGIN TRANSACTION READ ONLY")))
            throw CAdoException(
                LoadErrorText(qor::str::kCannotBeginReadOnly).arg(begin.lastError().text()));
    }
    try {
        read();
    } catch (...) {
        // Whatever the failed statement changed goes: the transaction, and
        // the session's settings back to what they were after the login.
        QSqlQuery q(db);
        q.exec(QStringLiteral("ROLLBACK"));
        RestoreSessionSettings();
        throw;
    }
    QSqlQuery end(db);
    if (!end.exec(QStringLiteral("ROLLBACK")))
        throw CAdoException(
            LoadErrorText(qor::str::kCannotEndReadOnly).arg(end.lastError().text()));
}

void CAdoConnection::RememberSessionSettings() {
    m_sessionSettings.clear();
    QSqlQuery q(Database());
    // What the driver set after the login (encoding, date style, time
    // zone...): RESET ALL would take these back to the server's defaults.
    if (!q.exec(QStringLiteral("select name, setting from pg_settings where source = 'session'")))
        return;
    while (q.next()) m_sessionSettings.append({q.value(0).toString(), q.value(1).toString()});
}

void CAdoConnection::RestoreSessionSettings() {
    QSqlQuery q(Database());
    q.exec(QStringLiteral("RESET ALL"));
    for (const auto& [name, value] : std::as_const(m_sessionSettings)) {
        q.prepare(QStringLiteral("select set_config(?, ?, false)"));
        q.addBindValue(name);
        q.addBindValue(value);
        q.exec();
    }
    if (m_readOnly) q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
}

#pragma once
// A database connection opened from a database name or a connection text.
//
// A text with "=" is a connection text of "KEY=value" pairs split by ";"
// (a value may be wrapped in braces to hold ";"):
//   DRIVER=QSQLITE;DATABASE=/path/to/file.db
//   DRIVER=QPSQL;HOST=server;PORT=5432;DATABASE=ledger;UID=user;PWD=secret
//   DRIVER=QODBC;DSN=name;UID=user;PWD=secret
// DRIVER names a Qt SQL driver; any other DRIVER (such as "{SQL Server}")
// or a bare DSN hands the whole text to the ODBC driver. Without DRIVER
// the database is a SQLite file.
// A text without "=" is a database name: a path when it holds a folder
// separator, else the value of that name under kDatabasesKey in the
// Registry when there is one, else the SQLite file
// "<data dir>/data/<name>.db". SQLite files must exist: a mistyped
// name fails here instead of leaving an empty database behind.
//
// Each wrapper has its own uniquely named Qt connection, removed when the
// wrapper closes. Record sets and commands made on a connection are closed
// with it, and told when it is destroyed.

#include <QList>
#include <QPair>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <functional>

#include "reader/sqldialect.h"

class CAdoRecordset;

struct AdoConnectionSettings {
    QString driver;    // Qt driver name, "QSQLITE" when none was given
    QString database;  // file path, database name or ODBC connection text
    QString host;
    int port = -1;
    QString user;
    QString password;
    QString options;  // Qt connect options
};

class CAdoConnection {
public:
    // Registry key whose values map database names to connection texts.
    static const QString kDatabasesKey;

    CAdoConnection();
    ~CAdoConnection();
    CAdoConnection(const CAdoConnection&) = delete;
    CAdoConnection& operator=(const CAdoConnection&) = delete;

    // Opens the connection; throws CAdoException when the text names nothing
    // usable, the driver is missing, the database cannot be opened, or the
    // connection is open already.
    void Open(const QString& nameOrConnectionText);
    // Closes the connection and every record set opened on it. Harmless
    // when closed.
    void Close();
    bool IsOpen() const { return m_open; }
    // Refuses (or again allows) writes on this connection where the driver
    // can (SQLite, PostgreSQL); the state ends with the connection. SQLite
    // gets query_only and an authorizer that refuses every statement but a
    // read when it is prepared; PostgreSQL read-only session transactions,
    // which a statement can switch off: queries of formulas also run in
    // ReadOnlyTransaction. Throws CAdoException when writes cannot be
    // refused.
    void SetReadOnly(bool readOnly);
    bool IsReadOnly() const { return m_readOnly; }
    // Runs read (the queries of one formula or preview) on PostgreSQL
    // inside its own BEGIN TRANSACTION READ ONLY ... ROLLBACK: a read-only
    // transaction cannot be made read-write once it has run a statement,
    // and the rollback takes back any setting a statement made. When read
    // throws, the session's settings are reset to those of the login too.
    // Other drivers run read as it is.
    void ReadOnlyTransaction(const std::function<void()>& read);

    // The text Open was given.
    QString GetConnectionText() const { return m_text; }
    QString GetDriverName() const { return m_settings.driver; }
    // The Qt connection; invalid while closed.
    QSqlDatabase Database() const;

    // What differs in SQL on this connection's database.
    const qor::SqlDialect& Dialect() const { return qor::SqlDialect::ForDriver(m_settings.driver); }

    // How Open reads a name or connection text; throws CAdoException.
    static AdoConnectionSettings ResolveConnectionText(const QString& nameOrConnectionText);
    // The text as it may be shown or logged: every password is "***".
    static QString MaskPasswords(const QString& nameOrConnectionText);

private:
    friend class CAdoRecordset;
    void Attach(CAdoRecordset* recordset);
    void Detach(CAdoRecordset* recordset);

    QString m_connectionName;
    QString m_text;
    AdoConnectionSettings m_settings;
    bool m_open = false;
    bool m_readOnly = false;
    QSet<CAdoRecordset*> m_recordsets;
    // PostgreSQL: the settings the driver made after the login.
    QList<QPair<QString, QString>> m_sessionSettings;
    void RememberSessionSettings();
    void RestoreSessionSettings();
};

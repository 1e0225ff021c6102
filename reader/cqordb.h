#pragma once
// The report data dictionary: which tables and fields of the accounting
// database stand behind the definition texts users see.
//   rpt_grpdef(systemid, systemname, tablename, tabledefine)
//   rpt_itmdef(tablename, tabledef, fieldname, fielddef, fieldid)
// A query sets the kind, which says which columns are copied into the
// members on every move; open with Open(1, {}, 1) or Open() and walk with
// IsEOF/MoveNext. Definition texts are typed by users, so they are bound
// as values and never pasted into the statement.

#include <QString>
#include <functional>
#include <memory>

#include "reader/cadorecordset.h"

class CAdoConnection;

class CQorDB : public CAdoRecordset {
public:
    enum Kind {
        kindSystems = 1,            // systemid, systemname
        kindTablesOfSystem = 2,     // tablename, tabledefine
        kindFieldsOfTable = 3,      // fieldname, fielddef, fieldid, tablename, tabledef
        kindTableByDefinition = 4,  // tablename
        kindFieldByDefinition = 5,  // fieldname
        kindAllTables = 6,          // systemid, tablename, tabledefine
    };

    // Registry places of the dictionary: "Dictionary" under kProductKey
    // names its database; else the login database is used ("VtDbName"
    // under kLoginKey until the host environment supplies its own).
    static const QString kProductKey;
    static const QString kLoginKey;

    // On a connection the caller owns; null (or 0) opens the dictionary's
    // own connection from DefaultConnectionText(). Throws CAdoException.
    explicit CQorDB(CAdoConnection* connection = nullptr);
    // On its own connection to the given database name or connection text.
    explicit CQorDB(const QString& connectionText);
    ~CQorDB() override;

    // The connection text of the dictionary; throws CAdoException when
    // neither the registry nor the login names one.
    static QString DefaultConnectionText();
    // The login's database name (GetLoginDbName of the host environment,
    // or the login key's value without one); empty when there is none.
    static QString LoginDbName();
    // The host environment installs its GetLoginDbName here; until then
    // the login key of the Registry is read. An empty function restores
    // that default.
    static void SetLoginDbNameSource(std::function<QString()> source);

    // The constructor's query: the systems.
    void QuerySystems();
    void QueryAllTables();
    void QueryTablesOfSystem(const QString& systemIdOrName);
    void QueryTableByDefinition(const QString& definition);
    void QueryFieldsOfTable(const QString& tableName);
    void QueryFieldByDefinition(const QString& tableName, const QString& definition);

    // Which columns are bound (Kind); every Query sets it, a caller may
    // set it before opening a query of its own.
    int m_nKind = kindSystems;
    // The bound columns of the current record; empty at the end and for
    // columns the kind does not bind.
    QString m_strSystemId;
    QString m_strSystemName;
    QString m_strTableName;
    QString m_strTableDef;  // tabledefine or tabledef
    QString m_strFieldName;
    QString m_strFieldDef;
    int m_nFieldId = 0;

protected:
    void LoadBoundColumns() override;

private:
    void OpenOwnConnection(const QString& connectionText);

    std::unique_ptr<CAdoConnection> m_ownConnection;
};

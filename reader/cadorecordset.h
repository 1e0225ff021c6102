#pragma once
// A record set: the rows of one query on a connection, walked record by
// record. The rows are read when the set opens, so the count is known at
// once with every driver and the connection holds no open statement.
// Every failure throws CAdoException.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

class CAdoConnection;

class CAdoRecordset {
public:
    // Cursor types callers pass to Open; every one gives a static set here.
    enum CursorType {
        adOpenForwardOnly = 0,
        adOpenKeyset = 1,
        adOpenDynamic = 2,
        adOpenStatic = 3
    };
    // How the text of Open or of a command is read.
    enum CommandType { adCmdText = 1, adCmdTable = 2, adCmdStoredProc = 4, adCmdUnknown = 8 };
    // Field types, numbered as the host's database interface numbers them.
    enum DataType {
        adEmpty = 0,
        adSmallInt = 2,
        adInteger = 3,
        adSingle = 4,
        adDouble = 5,
        adCurrency = 6,
        adDate = 7,
        adBoolean = 11,
        adVariant = 12,
        adTinyInt = 16,
        adBigInt = 20,
        adNumeric = 131,
        adDBDate = 133,
        adDBTime = 134,
        adDBTimeStamp = 135,
        adVarWChar = 202,
        adLongVarBinary = 205,
    };
    // Field types whose values are laid into cells as numbers.
    static bool IsNumberType(int type);

    explicit CAdoRecordset(CAdoConnection* connection);
    virtual ~CAdoRecordset();
    CAdoRecordset(const CAdoRecordset&) = delete;
    CAdoRecordset& operator=(const CAdoRecordset&) = delete;

    // Null once the connection has been destroyed.
    CAdoConnection* GetConnection() const { return m_connection; }

    // The current query; values are bound to its "?" marks in order.
    void SetQuery(const QString& text, const QVariantList& values = {});

    // Opens a query (an empty one: the current query) as text, or with
    // adCmdTable as the name of a table. Opening an open set reopens it.
    void Open(int cursorType, const QString& query, int options);
    // Opens the current query.
    void Open();
    bool IsOpen() const { return m_open; }
    // Closes the set; it can be opened again. Harmless when closed.
    void Close();

    bool IsEOF() const;
    bool IsBOF() const;
    long GetRecordCount() const;
    void MoveFirst();
    void MoveNext();

    int GetFieldCount() const;
    QString GetFieldName(int index) const;
    int GetFieldType(int index) const;
    // The current record's value; a database null is an empty QVariant.
    QVariant GetFieldValue(const QString& name) const;
    QVariant GetFieldValue(int index) const;
    // Index of a field, found without regard to case; -1 when absent.
    int FindField(const QString& name) const;

    // Runs a query as Open does but keeps only the first field of at most
    // limit records, read as they arrive: no set of rows is built.
    static QVariantList ReadColumn(CAdoConnection* connection, const QString& text,
                                   const QVariantList& values, qint64 limit);

protected:
    // Called whenever the current record changes (after Open and every
    // move, at the end too) so derived sets can copy their bound columns.
    virtual void LoadBoundColumns() {}
    // Points the set at another connection (closing it first).
    void SetConnection(CAdoConnection* connection);

private:
    friend class CAdoConnection;
    friend class CAdoCommand;
    void Run(int commandType, const QString& text, const QVariantList& values);
    void RequireOpen() const;
    void RequireRecord() const;

    CAdoConnection* m_connection = nullptr;
    QString m_query;
    QVariantList m_values;
    bool m_open = false;
    QStringList m_names;
    QList<int> m_types;
    QList<QVariantList> m_rows;
    qsizetype m_pos = 0;
    long m_affected = -1;
};

#pragma once
// Our small data-file engine: every data file (text, dBASE, and in time
// the other kinds) is read by its driver into a working SQLite database,
// where tables, fields and records are reached the same way whatever the
// file was. A SQLite file is opened as such and stands for the "Access"
// database of the exchange code; opening a path never creates a database.
//
// One exception type, JetError, carries the list of errors a failed
// operation met; every operation that can fail throws it.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

struct sqlite3_stmt;
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>

namespace qor::jet {

// Field type codes, as the data-file dialog and the converters know them.
enum DaoType : int {
    kBoolean = 1,
    kByte = 2,
    kInteger = 3,
    kLong = 4,
    kCurrency = 5,
    kSingle = 6,
    kDouble = 7,
    kDate = 8,
    kText = 10,
    kMemo = 12,
};

// Table attribute bits: system objects and hidden objects are not user
// tables.
constexpr quint32 kSystemObjectBits = 0x80000002u;
constexpr quint32 kHiddenObjectBit = 0x00000001u;
inline bool isUserTable(quint32 attributes) {
    return (attributes & (kSystemObjectBits | kHiddenObjectBit)) == 0;
}

// A date and time as every data-file reader gives it to a report: the day
// alone ("2024-01-09") at midnight, else with its time ("2024-01-09
// 13:45:10", milliseconds only when there are some).
QString dateValueText(const QDateTime& when);

// The kinds of data file, chosen by the file name's extension.
enum class DataFileKind { Text = 0, DBase = 1, Lotus = 2, Excel = 3, Access = 4 };

// The kind of the file at path: the last four characters, without regard
// to case; anything unknown is an Access (working) database.
DataFileKind dataFileKindFromPath(const QString& path);

// The driver words the kinds are opened with.
QString connectStringOf(DataFileKind kind);

class JetError : public std::runtime_error {
public:
    explicit JetError(const QString& message);
    JetError(const QString& message, QStringList more);
    // Every error met, first the one that ended the operation.
    const QStringList& errors() const { return m_errors; }
    QString message() const { return m_errors.join(QStringLiteral("; ")); }

private:
    QStringList m_errors;
};

struct TableDefInfo {
    QString name;
    bool updatable = false;
    quint32 attributes = 0;
};

struct FieldInfo {
    QString name;
    int type = kText;
    qint32 size = 0;
    quint32 attributes = 0;
    bool required = false;  // the listing puts the table's record count here
    qint64 recordCount = 0;
};

// A snapshot of records: all rows read at open, walked by a cursor.
class Recordset {
public:
    Recordset(QList<FieldInfo> fields, QList<QVariantList> rows);
    int fieldCount() const { return int(m_fields.size()); }
    const QList<FieldInfo>& fields() const { return m_fields; }
    qint64 recordCount() const { return m_rows.size(); }
    void moveFirst() { m_pos = 0; }
    void moveNext() { ++m_pos; }
    void move(qint64 n) { m_pos += n; }
    bool isEOF() const { return m_pos < 0 || m_pos >= m_rows.size(); }
    // Null (an invalid QVariant) stands apart from an empty text. Throws
    // when there is no current record or no such field.
    QVariant value(int index) const;
    QVariant value(const QString& fieldName) const;
    // Every record, moved out; the recordset is empty afterwards.
    QList<QVariantList> takeRows() {
        m_pos = 0;
        return std::exchange(m_rows, {});
    }

private:
    QList<FieldInfo> m_fields;
    QList<QVariantList> m_rows;
    qint64 m_pos = 0;
};

class Driver;
struct LoadedTable;

class Database {
public:
    // Opens name with the driver of connect ("Text;", "dBASE IV", "" ...):
    // a folder for the text and dBASE drivers, the file itself otherwise.
    // Throws JetError when the driver cannot open it (wrong kind of path,
    // not its format, driver not installed).
    static std::unique_ptr<Database> open(const QString& name, const QString& connect,
                                          bool exclusive, bool readOnly);
    // A new, empty working database at path, which must not exist or be an
    // empty file.
    static std::unique_ptr<Database> create(const QString& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    QString name() const { return m_name; }
    bool readOnly() const { return m_readOnly; }

    // Every table definition, system ones included, in catalog order.
    QList<TableDefInfo> tableDefs();
    // The definition of one table; throws when there is none.
    TableDefInfo tableDef(const QString& table);
    QList<FieldInfo> fields(const QString& table);
    qint64 recordCount(const QString& table);

    // A table-type recordset: all fields of the table.
    Recordset openTable(const QString& table);
    // Every record of a table in order (the first limit of them when limit
    // is not negative), one at a time, without holding them all: row is
    // valid while take runs.
    void forEachRecord(const QString& table, const std::function<void(const QVariantList& row)>& take,
                       qint64 limit = -1);
    // A snapshot of the named fields ("SELECT [f] FROM [t]") with a filter;
    // an empty list takes all fields.
    Recordset openSnapshot(const QString& table, const QStringList& fieldNames,
                           const QString& filter);

    void createTable(const TableDefInfo& def, const QList<FieldInfo>& fields);
    void addRecord(const QString& table, const QVariantList& values);
    // Many records at once: what is written between beginBulk and
    // commitBulk is one transaction. commitBulk throws JetError when it
    // fails; a database closed in between drops what was written.
    void beginBulk();
    void commitBulk();
    // What the driver named when it read a file's table into the working
    // copy (values that did not read as their field's type, fields left
    // out), one line each; empty for a table read whole.
    QStringList readNotes(const QString& table) const { return m_readNotes.value(table.toLower()); }

private:
    Database() = default;
    void ensureTable(const QString& table);
    // Reads the driver's table into the working copy, in place of the
    // catalog entry replacing (0 for none); throws when the driver has no
    // such table.
    void storeLoaded(const QString& name, quint32 attributes, qint64 replacing);
    void initWorking(const QString& file, bool readOnly);
    QList<QVariantList> select(const QString& sql, const QVariantList& binds, int columns);

    struct WriteTarget {
        qint64 id = 0;
        int fields = 0;
        std::shared_ptr<sqlite3_stmt> insert;
    };
    QHash<QString, WriteTarget> m_writeTargets;  // by table name in lower case
    bool m_bulk = false;
    QString m_name;
    QString m_connection;
    bool m_readOnly = true;
    QHash<QString, QStringList> m_readNotes;  // by table name in lower case
    std::unique_ptr<Driver> m_driver;
    friend class Driver;
    friend class WorkingAccess;
};

// The temporary working database "qor*.Mdb" in the temporary folder:
// created unique, removed with its owner on every path.
class TemporaryDatabase {
public:
    TemporaryDatabase();
    ~TemporaryDatabase();
    TemporaryDatabase(const TemporaryDatabase&) = delete;
    TemporaryDatabase& operator=(const TemporaryDatabase&) = delete;
    const QString& path() const { return m_path; }

private:
    QString m_path;
};

}  // namespace qor::jet

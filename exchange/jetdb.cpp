#include "exchange/jetdb.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>
#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "engine/workfiles.h"
#include "exchange/jetdriver.h"
#include "exchange/jetfilter.h"
#include "engine/messages.h"
#include "platform/safefile.h"

namespace qor::jet {
namespace {

QAtomicInt g_connectionSerial;

// The header every SQLite file begins with.
const QByteArray kSqliteMagic("SQLite format 3\0", 16);

QString dataTableOf(qint64 id) { return QStringLiteral("qor_t%1").arg(id); }
QString columnOf(int index) { return QStringLiteral("c%1").arg(index); }

// The working database's own handle: records go in and come out through
// SQLite itself, a value at a time, without a round through the general
// query layer for each.
sqlite3* rawHandle(const QSqlDatabase& db) {
    const QVariant h = db.driver() ? db.driver()->handle() : QVariant();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3* const*>(h.constData());
}

// Binds a value the way the query layer would: numbers as numbers, texts
// as UTF-16, dates and anything else as their text.
int bindVariant(sqlite3_stmt* st, int index, const QVariant& v) {
    if (!v.isValid() || v.isNull()) return sqlite3_bind_null(st, index);
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, index, v.toDouble());
    case QMetaType::Bool:
        return sqlite3_bind_int(st, index, v.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return sqlite3_bind_int64(st, index, v.toLongLong());
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob(st, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QString: {
        const QString& t = *static_cast<const QString*>(v.constData());
        return sqlite3_bind_text16(st, index, t.utf16(), int(t.size() * 2), SQLITE_TRANSIENT);
    }
    case QMetaType::QDateTime: {
        const QString t = dateValueText(v.toDateTime());
        return sqlite3_bind_text16(st, index, t.utf16(), int(t.size() * 2), SQLITE_TRANSIENT);
    }
    default: {
        const QString t = v.toString();
        return sqlite3_bind_text16(st, index, t.utf16(), int(t.size() * 2), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt* st, int column) {
    switch (sqlite3_column_type(st, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(st, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, column));
    case SQLITE_TEXT: {
        const void* text = sqlite3_column_text16(st, column);
        const int bytes = sqlite3_column_bytes16(st, column);
        return QVariant(QString(reinterpret_cast<const QChar*>(text), bytes / 2));
    }
    case SQLITE_BLOB: {
        const void* blob = sqlite3_column_blob(st, column);
        return QVariant(QByteArray(static_cast<const char*>(blob), sqlite3_column_bytes(st, column)));
    }
    default:
        return QVariant();
    }
}

using Statement = std::shared_ptr<sqlite3_stmt>;

Statement prepareRaw(sqlite3* handle, const QString& sql) {
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare16_v2(handle, sql.utf16(), int(sql.size() * 2), &st, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_finalize(st);
        throw JetError(why);
    }
    return Statement(st, sqlite3_finalize);
}

bool hasSqliteHeader(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    return f.read(kSqliteMagic.size()) == kSqliteMagic;
}

}  // namespace

QString dateValueText(const QDateTime& when) {
    const QTime t = when.time();
    if (t.msecsSinceStartOfDay() == 0) return when.date().toString(Qt::ISODate);
    return when.toString(t.msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

JetError::JetError(const QString& message)
    : std::runtime_error(message.toStdString()), m_errors{message} {}

JetError::JetError(const QString& message, QStringList more)
    : std::runtime_error(message.toStdString()), m_errors(std::move(more)) {
    m_errors.prepend(message);
}

DataFileKind dataFileKindFromPath(const QString& path) {
    const QString ext = path.right(4).toUpper();
    // A ".csv" file is the text driver's comma-separated text.
    if (ext == QLatin1String(".TXT") || ext == QLatin1String(".CSV")) return DataFileKind::Text;
    if (ext == QLatin1String(".DBF")) return DataFileKind::DBase;
    if (ext == QLatin1String(".WK4")) return DataFileKind::Lotus;
    if (ext == QLatin1String(".XLS")) return DataFileKind::Excel;
    return DataFileKind::Access;
}

QString connectStringOf(DataFileKind kind) {
    switch (kind) {
    case DataFileKind::Text: return QStringLiteral("Text;");
    case DataFileKind::DBase: return QStringLiteral("dBASE IV");
    case DataFileKind::Lotus: return QStringLiteral("Lotus WK3;");
    case DataFileKind::Excel: return QStringLiteral("EXCEL 5.0;");
    case DataFileKind::Access: break;
    }
    return QString();
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset(QList<FieldInfo> fields, QList<QVariantList> rows)
    : m_fields(std::move(fields)), m_rows(std::move(rows)) {}

QVariant Recordset::value(int index) const {
    if (isEOF()) throw JetError(LoadErrorText(str::kNoCurrentRecord));
    if (index < 0 || index >= m_fields.size())
        throw JetError(LoadErrorText(str::kItemNotInCollection));
    return m_rows.at(m_pos).value(index);
}

QVariant Recordset::value(const QString& fieldName) const {
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(fieldName, Qt::CaseInsensitive) == 0) return value(i);
    throw JetError(LoadErrorText(str::kNamedItemNotInCollection).arg(fieldName));
}

// ----------------------------------------------------------------- Database

void Database::initWorking(const QString& file, bool readOnly) {
    m_connection = QStringLiteral("qor-jet-%1").arg(g_connectionSerial.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(file);
    if (readOnly && file != QLatin1String(":memory:"))
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open())
        throw JetError(LoadErrorText(str::kCannotOpenWithReason).arg(file, db.lastError().text()));
}

Database::~Database() {
    if (m_connection.isEmpty()) return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        m_writeTargets.clear();  // their statements go before the connection
        if (m_bulk) db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

namespace {

void exec(QSqlQuery& q, const QString& sql, const QVariantList& binds = {}) {
    if (!q.prepare(sql)) throw JetError(q.lastError().text());
    for (const QVariant& v : binds) q.addBindValue(v);
    if (!q.exec()) throw JetError(q.lastError().text());
}

void createCatalog(QSqlDatabase& db) {
    QSqlQuery q(db);
    exec(q, QStringLiteral("CREATE TABLE qor_jet_tables(id INTEGER PRIMARY KEY, name TEXT NOT NULL,"
                           " attributes INTEGER NOT NULL, loaded INTEGER NOT NULL DEFAULT 1)"));
    exec(q, QStringLiteral("CREATE TABLE qor_jet_fields(tbl INTEGER NOT NULL, ord INTEGER NOT NULL,"
                           " name TEXT NOT NULL, type INTEGER NOT NULL, size INTEGER NOT NULL,"
                           " attributes INTEGER NOT NULL)"));
    // The catalog lists itself, as system objects.
    exec(q, QStringLiteral("INSERT INTO qor_jet_tables(name, attributes) VALUES"
                           " ('MSysQorTables', ?), ('MSysQorFields', ?)"),
         {qint64(kSystemObjectBits), qint64(kSystemObjectBits)});
}

}  // namespace

void OpenDataFileForRead(QFile& f, const QString& path) {
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        const int err = errno;
        if (err == ENODEV) throw JetError(LoadErrorText(str::kOpenNotAPlainFile).arg(path));
        throw JetError(LoadErrorText(str::kCannotReadWithReason).arg(path, FileErrorText(err)));
    }
    // Opened again by name, so that the file keeps it for the readers'
    // messages; what stands at the name was looked at just now.
    ::close(fd);
    f.setFileName(path);
    if (!f.open(QIODevice::ReadOnly))
        throw JetError(LoadErrorText(str::kCannotReadWithReason).arg(path, f.errorString()));
}

std::unique_ptr<Database> Database::open(const QString& name, const QString& connect,
                                         bool exclusive, bool readOnly) {
    Q_UNUSED(exclusive);  // the working database is ours alone either way
    std::unique_ptr<Database> d(new Database);
    d->m_name = name;
    d->m_readOnly = readOnly;
    const QString c = connect.trimmed();
    bool fileDriver = false;  // a file of tables, not a folder of files
    if (c.compare(QLatin1String("Text;"), Qt::CaseInsensitive) == 0) {
        d->m_driver = makeTextDriver(name);
    } else if (c.compare(QLatin1String("dBASE IV"), Qt::CaseInsensitive) == 0 ||
               c.compare(QLatin1String("dBASE IV;"), Qt::CaseInsensitive) == 0) {
        d->m_driver = makeDBaseDriver(name);
    } else if (c.startsWith(QLatin1String("lotus"), Qt::CaseInsensitive)) {
        d->m_driver = makeLotusDriver(name);
        fileDriver = true;
    } else if (c.startsWith(QLatin1String("excel"), Qt::CaseInsensitive)) {
        d->m_driver = makeExcelDriver(name);
        fileDriver = true;
    } else if (c.isEmpty()) {
        if (!QFileInfo(name).isFile())
            throw JetError(LoadErrorText(str::kUnknownDatabaseFormat).arg(name));
        // Anything but our own working database is an Access file.
        if (!hasSqliteHeader(name)) {
            d->m_driver = makeAccessDriver(name);
            fileDriver = true;
        }
    } else {
        throw JetError(LoadErrorText(str::kNoDriverForFormat).arg(c));
    }
    if (fileDriver) {
        // A file's own table definitions, system ones included, stand in
        // place of the catalog's entries for itself.
        d->initWorking(QStringLiteral(":memory:"), false);
        QSqlDatabase db = QSqlDatabase::database(d->m_connection, false);
        createCatalog(db);
        QSqlQuery q(db);
        exec(q, QStringLiteral("DELETE FROM qor_jet_tables"));
        for (const QString& t : d->m_driver->tableNames())
            exec(q, QStringLiteral("INSERT INTO qor_jet_tables(name, attributes, loaded) VALUES (?, ?, 0)"),
                 {t, qint64(d->m_driver->tableAttributes(t))});
        return d;
    }
    if (!d->m_driver) {
        d->initWorking(name, readOnly);
        QSqlDatabase db = QSqlDatabase::database(d->m_connection, false);
        if (!db.tables().contains(QStringLiteral("qor_jet_tables")))
            throw JetError(LoadErrorText(str::kUnknownDatabaseFormat).arg(name));
        return d;
    }
    d->initWorking(QStringLiteral(":memory:"), false);
    QSqlDatabase db = QSqlDatabase::database(d->m_connection, false);
    createCatalog(db);
    QSqlQuery q(db);
    for (const QString& t : d->m_driver->tableNames())
        exec(q, QStringLiteral("INSERT INTO qor_jet_tables(name, attributes, loaded) VALUES (?, 0, 0)"),
             {t});
    return d;
}

std::unique_ptr<Database> Database::create(const QString& path) {
    // An empty file is a name reserved for it (the temporary database).
    if (QFileInfo::exists(path) && QFileInfo(path).size() > 0)
        throw JetError(LoadErrorText(str::kDatabaseExists).arg(path));
    std::unique_ptr<Database> d(new Database);
    d->m_name = path;
    d->m_readOnly = false;
    d->initWorking(path, false);
    QSqlDatabase db = QSqlDatabase::database(d->m_connection, false);
    {
        // A new working database is a scratch file (or one renamed into
        // place once whole): records go in without a sync each.
        QSqlQuery q(db);
        exec(q, QStringLiteral("PRAGMA synchronous=OFF"));
        q.exec(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        // A report's pages are filled in one transaction and read back at
        // once: a cache that holds them (64 MiB at most) spares spilling
        // pages to the file mid-transaction.
        q.exec(QStringLiteral("PRAGMA cache_size=-65536"));
        // Records of a hundred numbers are about a kilobyte: large pages
        // hold many of them each.
        q.exec(QStringLiteral("PRAGMA page_size=65536"));
        // Texts are kept as the UTF-16 they come and go in.
        q.exec(QStringLiteral("PRAGMA encoding='UTF-16le'"));
    }
    createCatalog(db);
    return d;
}

QList<QVariantList> Database::select(const QString& sql, const QVariantList& binds, int columns) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (sqlite3* handle = rawHandle(db)) {
        const Statement st = prepareRaw(handle, sql);
        for (int i = 0; i < binds.size(); ++i)
            if (bindVariant(st.get(), i + 1, binds.at(i)) != SQLITE_OK)
                throw JetError(QString::fromUtf8(sqlite3_errmsg(handle)));
        QList<QVariantList> rows;
        for (;;) {
            const int rc = sqlite3_step(st.get());
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) throw JetError(QString::fromUtf8(sqlite3_errmsg(handle)));
            QVariantList row;
            row.reserve(columns);
            for (int i = 0; i < columns; ++i) row.append(columnValue(st.get(), i));
            rows.append(std::move(row));
        }
        return rows;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    exec(q, sql, binds);
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i) {
            const QVariant v = q.value(i);
            row.append(v.isNull() ? QVariant() : v);
        }
        rows.append(row);
    }
    return rows;
}

QList<TableDefInfo> Database::tableDefs() {
    QList<TableDefInfo> defs;
    for (const QVariantList& r :
         select(QStringLiteral("SELECT name, attributes FROM qor_jet_tables ORDER BY id"), {}, 2)) {
        TableDefInfo t;
        t.name = r.at(0).toString();
        t.attributes = quint32(r.at(1).toLongLong());
        t.updatable = !m_readOnly && isUserTable(t.attributes);
        defs.append(t);
    }
    return defs;
}

TableDefInfo Database::tableDef(const QString& table) {
    for (const TableDefInfo& t : tableDefs())
        if (t.name.compare(table, Qt::CaseInsensitive) == 0) return t;
    // A folder's file that came after the folder was opened.
    if (m_driver) {
        ensureTable(table);
        for (const TableDefInfo& t : tableDefs())
            if (t.name.compare(table, Qt::CaseInsensitive) == 0) return t;
    }
    throw JetError(LoadErrorText(str::kObjectNotFound).arg(table));
}

void FieldLosses::add(const QString& field, const QString& kind, qint64 record) {
    qsizetype at = m_fields.indexOf(field);
    if (at < 0) {
        at = m_fields.size();
        m_fields.append(field);
        m_tallies.append(LossTally());
    }
    m_tallies[at].add(kind, LoadErrorText(str::kPlaceRecordField).arg(record).arg(field));
}

void FieldLosses::tell(RecordSink& sink, const QString& file) const {
    for (const LossTally& t : m_tallies)
        for (const QString& line : t.lines())
            sink.leftOut(file.isEmpty() ? line : QStringLiteral("%1: %2").arg(file, line));
}

bool collectTable(const std::function<bool(RecordSink&)>& read, LoadedTable* out) {
    struct Collect : RecordSink {
        LoadedTable* out;
        void begin(const QList<FieldInfo>& fields) override { out->fields = fields; }
        bool record(const QVariantList& row) override {
            out->rows.append(row);
            return true;
        }
    } collect;
    collect.out = out;
    *out = LoadedTable();
    return read(collect);
}

bool Driver::streamTable(const QString& table, RecordSink& sink) {
    LoadedTable loaded;
    if (!loadTable(table, &loaded)) return false;
    sink.begin(loaded.fields);
    for (const QVariantList& row : std::as_const(loaded.rows))
        if (!sink.record(row)) break;
    return true;
}

void Database::storeLoaded(const QString& name, quint32 attributes, qint64 replacing) {
    // A file's table goes into the working copy even when the file is open
    // read-only: the copy is ours. Its records go in as the driver reads
    // them, never all in memory at once.
    struct Store : RecordSink {
        Database* db;
        QString name;
        quint32 attributes;
        void begin(const QList<FieldInfo>& fields) override {
            db->createTable(TableDefInfo{name, true, attributes}, fields);
        }
        bool record(const QVariantList& row) override {
            db->addRecord(name, row);
            return true;
        }
        void leftOut(const QString& what) override { db->m_readNotes[name.toLower()].append(what); }
    } store;
    m_readNotes.remove(name.toLower());
    store.db = this;
    store.name = name;
    store.attributes = attributes;
    const bool ro = m_readOnly;
    m_readOnly = false;
    try {
        // The table and its records are one transaction, with the removal
        // of the catalog's entry it replaces: a failure keeps that entry.
        beginBulk();
        if (replacing) {
            QSqlQuery q(QSqlDatabase::database(m_connection, false));
            exec(q, QStringLiteral("DELETE FROM qor_jet_tables WHERE id = ?"), {replacing});
        }
        if (!m_driver->streamTable(name, store))
            throw JetError(LoadErrorText(str::kObjectNotFound).arg(name));
        commitBulk();
    } catch (...) {
        if (m_bulk) {
            m_writeTargets.clear();
            QSqlDatabase::database(m_connection, false).rollback();
            m_bulk = false;
        }
        m_readOnly = ro;
        throw;
    }
    m_readOnly = ro;
}

void Database::ensureTable(const QString& table) {
    const QList<QVariantList> r =
        select(QStringLiteral("SELECT id, loaded, name FROM qor_jet_tables WHERE name = ? COLLATE NOCASE"),
               {table}, 3);
    if (r.isEmpty()) {
        // A folder driver also knows the tables it did not list (a file
        // that appeared since, a name in other case).
        if (!m_driver) throw JetError(LoadErrorText(str::kObjectNotFound).arg(table));
        storeLoaded(table, 0, 0);
        return;
    }
    if (r.at(0).at(1).toInt() != 0 || !m_driver) return;
    const QString name = r.at(0).at(2).toString();
    storeLoaded(name, m_driver->tableAttributes(name), r.at(0).at(0).toLongLong());
}

QList<FieldInfo> Database::fields(const QString& table) {
    ensureTable(table);
    QList<FieldInfo> out;
    for (const QVariantList& r : select(
             QStringLiteral("SELECT f.name, f.type, f.size, f.attributes FROM qor_jet_fields f"
                            " JOIN qor_jet_tables t ON t.id = f.tbl"
                            " WHERE t.name = ? COLLATE NOCASE ORDER BY f.ord"),
             {table}, 4)) {
        FieldInfo f;
        f.name = r.at(0).toString();
        f.type = r.at(1).toInt();
        f.size = r.at(2).toInt();
        f.attributes = quint32(r.at(3).toLongLong());
        out.append(f);
    }
    return out;
}

qint64 Database::recordCount(const QString& table) {
    ensureTable(table);
    const auto id = select(QStringLiteral("SELECT id FROM qor_jet_tables WHERE name = ? COLLATE NOCASE"),
                           {table}, 1);
    const auto n = select(QStringLiteral("SELECT count(*) FROM ") + dataTableOf(id.at(0).at(0).toLongLong()),
                          {}, 1);
    return n.isEmpty() ? 0 : n.at(0).at(0).toLongLong();
}

Recordset Database::openTable(const QString& table) {
    return openSnapshot(table, {}, QString());
}

Recordset Database::openSnapshot(const QString& table, const QStringList& fieldNames,
                                 const QString& filter) {
    const TableDefInfo def = tableDef(table);
    const QList<FieldInfo> all = fields(def.name);
    const auto id = select(QStringLiteral("SELECT id FROM qor_jet_tables WHERE name = ? COLLATE NOCASE"),
                           {def.name}, 1);
    if (id.isEmpty()) throw JetError(LoadErrorText(str::kObjectNotFound).arg(table));
    QList<FieldInfo> chosen;
    QStringList columns;
    if (fieldNames.isEmpty()) {
        for (int i = 0; i < all.size(); ++i) {
            chosen.append(all.at(i));
            columns.append(columnOf(i));
        }
    } else {
        for (const QString& want : fieldNames) {
            int found = -1;
            for (int i = 0; i < all.size() && found < 0; ++i)
                if (all.at(i).name.compare(want, Qt::CaseInsensitive) == 0) found = i;
            if (found < 0) throw JetError(LoadErrorText(str::kNamedItemNotInCollection).arg(want));
            chosen.append(all.at(found));
            columns.append(columnOf(found));
        }
    }
    // The filter names fields as the user sees them; the translator binds
    // every value it holds, so nothing of its text reaches the statement.
    TranslatedFilter where;
    if (!filter.trimmed().isEmpty())
        where = translateFilter(filter, [&all](const QString& name) {
            for (int i = 0; i < all.size(); ++i)
                if (all.at(i).name.compare(name.trimmed(), Qt::CaseInsensitive) == 0) return columnOf(i);
            throw JetError(LoadErrorText(str::kFilterFieldMissing).arg(name));
        });
    if (columns.isEmpty()) return Recordset(chosen, {});
    QString sql = QStringLiteral("SELECT ") + columns.join(QLatin1Char(',')) +
                  QStringLiteral(" FROM ") + dataTableOf(id.at(0).at(0).toLongLong());
    if (!where.sql.isEmpty()) sql += QStringLiteral(" WHERE ") + where.sql;
    sql += QStringLiteral(" ORDER BY rowid");
    try {
        return Recordset(chosen, select(sql, where.binds, int(columns.size())));
    } catch (const JetError& e) {
        if (where.sql.isEmpty()) throw;
        throw JetError(LoadErrorText(str::kConditionRefused).arg(filter, e.message()));
    }
}

void Database::forEachRecord(const QString& table, const std::function<void(const QVariantList&)>& take,
                             qint64 limit) {
    const TableDefInfo def = tableDef(table);
    const QList<FieldInfo> all = fields(def.name);
    const auto id = select(QStringLiteral("SELECT id FROM qor_jet_tables WHERE name = ? COLLATE NOCASE"),
                           {def.name}, 1);
    sqlite3* handle = rawHandle(QSqlDatabase::database(m_connection, false));
    if (id.isEmpty() || all.isEmpty() || !handle) {
        Recordset rs = openTable(table);
        qint64 n = 0;
        for (const QVariantList& row : rs.takeRows()) {
            if (limit >= 0 && n++ >= limit) break;
            take(row);
        }
        return;
    }
    QStringList columns;
    for (int i = 0; i < all.size(); ++i) columns.append(columnOf(i));
    const Statement st = prepareRaw(handle, QStringLiteral("SELECT ") + columns.join(QLatin1Char(',')) +
                                                QStringLiteral(" FROM ") + dataTableOf(id.at(0).at(0).toLongLong()) +
                                                QStringLiteral(" ORDER BY rowid") +
                                                (limit >= 0 ? QStringLiteral(" LIMIT %1").arg(limit) : QString()));
    QVariantList row(all.size());
    for (;;) {
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) throw JetError(QString::fromUtf8(sqlite3_errmsg(handle)));
        for (int i = 0; i < all.size(); ++i) {
            // Numbers, most of a record, overwrite the previous record's
            // value in place.
            QVariant& slot = row[i];
            if (sqlite3_column_type(st.get(), i) == SQLITE_FLOAT && slot.typeId() == QMetaType::Double)
                *static_cast<double*>(slot.data()) = sqlite3_column_double(st.get(), i);
            else
                slot = columnValue(st.get(), i);
        }
        take(row);
    }
}

void Database::createTable(const TableDefInfo& def, const QList<FieldInfo>& fieldList) {
    if (m_readOnly) throw JetError(LoadErrorText(str::kDatabaseReadOnly).arg(m_name));
    if (def.name.isEmpty()) throw JetError(LoadErrorText(str::kTableNeedsName));
    if (!select(QStringLiteral("SELECT id FROM qor_jet_tables WHERE name = ? COLLATE NOCASE"), {def.name}, 1)
             .isEmpty())
        throw JetError(LoadErrorText(str::kTableExists).arg(def.name));
    m_writeTargets.clear();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // Inside a bulk write the table is part of its transaction.
    const bool own = !m_bulk;
    if (own && !db.transaction()) throw JetError(db.lastError().text());
    try {
        QSqlQuery q(db);
        exec(q, QStringLiteral("INSERT INTO qor_jet_tables(name, attributes) VALUES (?, ?)"),
             {def.name, qint64(def.attributes)});
        const qint64 id = q.lastInsertId().toLongLong();
        QStringList cols;
        for (int i = 0; i < fieldList.size(); ++i) {
            const FieldInfo& f = fieldList.at(i);
            exec(q, QStringLiteral("INSERT INTO qor_jet_fields VALUES (?, ?, ?, ?, ?, ?)"),
                 {id, i, f.name, f.type, f.size, qint64(f.attributes)});
            // Texts compare without regard to case, as users of data files
            // expect of a condition.
            cols.append(columnOf(i) + QStringLiteral(" COLLATE NOCASE"));
        }
        if (cols.isEmpty()) cols.append(QStringLiteral("c_none"));
        exec(q, QStringLiteral("CREATE TABLE ") + dataTableOf(id) + QLatin1Char('(') +
                    cols.join(QLatin1Char(',')) + QLatin1Char(')'));
        if (own && !db.commit()) throw JetError(db.lastError().text());
    } catch (...) {
        if (own) db.rollback();
        throw;
    }
}

void Database::addRecord(const QString& table, const QVariantList& values) {
    if (m_readOnly) throw JetError(LoadErrorText(str::kDatabaseReadOnly).arg(m_name));
    // Where a table's records go is looked up once per table.
    const QString key = table.toLower();
    auto target = m_writeTargets.constFind(key);
    if (target == m_writeTargets.constEnd()) {
        const auto id = select(QStringLiteral("SELECT id FROM qor_jet_tables WHERE name = ? COLLATE NOCASE"),
                               {table}, 1);
        if (id.isEmpty()) throw JetError(LoadErrorText(str::kObjectNotFound).arg(table));
        WriteTarget t;
        t.id = id.at(0).at(0).toLongLong();
        t.fields = select(QStringLiteral("SELECT count(*) FROM qor_jet_fields WHERE tbl = ?"), {t.id}, 1)
                       .at(0)
                       .at(0)
                       .toInt();
        target = m_writeTargets.insert(key, t);
    }
    const int n = target->fields;
    const QVariant tableId = target->id;
    if (n == 0) return;
    // One prepared statement per table, kept while the table is written.
    if (!target->insert) {
        QStringList marks;
        for (int i = 0; i < n; ++i) marks.append(QStringLiteral("?"));
        sqlite3* handle = rawHandle(QSqlDatabase::database(m_connection, false));
        if (!handle) throw JetError(LoadErrorText(str::kWorkDatabaseNotOpen).arg(m_name));
        m_writeTargets[key].insert =
            prepareRaw(handle, QStringLiteral("INSERT INTO ") + dataTableOf(tableId.toLongLong()) +
                                   QStringLiteral(" VALUES (") + marks.join(QLatin1Char(',')) + QLatin1Char(')'));
        target = m_writeTargets.constFind(key);
    }
    sqlite3_stmt* st = target->insert.get();
    sqlite3_reset(st);
    for (int i = 0; i < n; ++i)
        if (bindVariant(st, i + 1, i < values.size() ? values.at(i) : QVariant()) != SQLITE_OK)
            throw JetError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st))));
    if (sqlite3_step(st) != SQLITE_DONE) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(st)));
        sqlite3_reset(st);
        throw JetError(why);
    }
    sqlite3_reset(st);
}

void Database::beginBulk() {
    if (m_readOnly) throw JetError(LoadErrorText(str::kDatabaseReadOnly).arg(m_name));
    if (m_bulk) return;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) throw JetError(db.lastError().text());
    m_bulk = true;
}

void Database::commitBulk() {
    if (!m_bulk) return;
    m_bulk = false;
    // The insert statements end with the bulk write. A database kept open
    // afterwards (the data-file readers keep a few) must hold no statement
    // when the application closes its connections at exit: SQLite refuses
    // to close a connection with live statements, and it would be lost.
    m_writeTargets.clear();
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        throw JetError(LoadErrorText(str::kCannotWriteWithReason).arg(m_name, why));
    }
}

QList<NamedTable> userTablesOf(Database& db) {
    QList<NamedTable> out;
    for (const TableDefInfo& def : db.tableDefs()) {
        if (!isUserTable(def.attributes)) continue;
        Recordset rs = db.openTable(def.name);
        NamedTable t{def.name, {rs.fields(), {}}};
        for (rs.moveFirst(); !rs.isEOF(); rs.moveNext()) {
            QVariantList row;
            row.reserve(rs.fieldCount());
            for (int i = 0; i < rs.fieldCount(); ++i) row.append(rs.value(i));
            t.table.rows.append(row);
        }
        out.append(t);
    }
    return out;
}

// ------------------------------------------------------- TemporaryDatabase

TemporaryDatabase::TemporaryDatabase() {
    // In the user's work folder, where what a killed process left is swept.
    const int fd = CreateWorkFile(QStringLiteral(".Mdb"), &m_path);
    if (fd < 0) {
        m_path.clear();
        throw JetError(
            LoadErrorText(str::kCannotCreateTempDatabase).arg(qor::FileErrorText(errno)));
    }
    // The empty file keeps the name reserved; Database::create fills it.
    ::close(fd);
}

TemporaryDatabase::~TemporaryDatabase() {
    if (!m_path.isEmpty()) QFile::remove(m_path);
}

}  // namespace qor::jet

#include "reader/cadorecordset.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include "engine/messages.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/sqldialect.h"

namespace {

// SQLite keeps the declared type of each column ("money", "tinyint"), which
// the Qt driver folds into int, double or text. It is read from the SQLite
// library that the driver has already loaded; never from a second copy.
using DeclTypeFn = const char* (*)(void*, int);

DeclTypeFn sqliteDeclType() {
    static const DeclTypeFn fn =
        reinterpret_cast<DeclTypeFn>(qor::LoadedSqliteFunction("sqlite3_column_decltype"));
    return fn;
}

// Declared SQL type -> field type; adEmpty when the name says nothing.
int typeFromDeclaration(const QString& declared) {
    QString t = declared.trimmed().toLower();
    const int paren = t.indexOf(QLatin1Char('('));
    if (paren >= 0) t = t.left(paren).trimmed();
    t.remove(QLatin1String("unsigned"))
        .replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    t = t.trimmed();
    if (t.isEmpty()) return CAdoRecordset::adEmpty;
    if (t == QLatin1String("tinyint")) return CAdoRecordset::adTinyInt;
    if (t == QLatin1String("smallint")) return CAdoRecordset::adSmallInt;
    if (t == QLatin1String("int") || t == QLatin1String("integer") ||
        t == QLatin1String("mediumint"))
        return CAdoRecordset::adInteger;
    if (t == QLatin1String("bigint")) return CAdoRecordset::adBigInt;
    if (t == QLatin1String("real") || t == QLatin1String("float") || t == QLatin1String("double") ||
        t == QLatin1String("double precision"))
        return CAdoRecordset::adDouble;
    if (t == QLatin1String("money") || t == QLatin1String("smallmoney") ||
        t == QLatin1String("currency"))
        return CAdoRecordset::adCurrency;
    if (t == QLatin1String("decimal") || t == QLatin1String("numeric"))
        return CAdoRecordset::adNumeric;
    if (t == QLatin1String("bit") || t == QLatin1String("bool") || t == QLatin1String("boolean"))
        return CAdoRecordset::adBoolean;
    if (t == QLatin1String("date")) return CAdoRecordset::adDBDate;
    if (t == QLatin1String("time")) return CAdoRecordset::adDBTime;
    if (t.contains(QLatin1String("datetime")) || t == QLatin1String("timestamp"))
        return CAdoRecordset::adDBTimeStamp;
    if (t == QLatin1String("blob") || t.contains(QLatin1String("binary")) ||
        t == QLatin1String("image"))
        return CAdoRecordset::adLongVarBinary;
    if (t.contains(QLatin1String("char")) || t.contains(QLatin1String("text")) ||
        t.contains(QLatin1String("clob")))
        return CAdoRecordset::adVarWChar;
    return CAdoRecordset::adEmpty;
}

int typeFromMetaType(QMetaType type) {
    switch (type.id()) {
        case QMetaType::Bool:
            return CAdoRecordset::adBoolean;
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return CAdoRecordset::adTinyInt;
        case QMetaType::Short:
        case QMetaType::UShort:
            return CAdoRecordset::adSmallInt;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
            return CAdoRecordset::adInteger;
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::ULong:
            return CAdoRecordset::adBigInt;
        case QMetaType::Float:
            return CAdoRecordset::adSingle;
        case QMetaType::Double:
            return CAdoRecordset::adDouble;
        case QMetaType::QDate:
            return CAdoRecordset::adDBDate;
        case QMetaType::QTime:
            return CAdoRecordset::adDBTime;
        case QMetaType::QDateTime:
            return CAdoRecordset::adDBTimeStamp;
        case QMetaType::QByteArray:
            return CAdoRecordset::adLongVarBinary;
        case QMetaType::QString:
            return CAdoRecordset::adVarWChar;
        default:
            return CAdoRecordset::adVariant;
    }
}

// PostgreSQL tells each column's type by its catalogue number, which the
// Qt driver passes on as the field's type id.
int typeFromPostgresOid(int oid) {
    switch (oid) {
        case 16:  // bool
            return CAdoRecordset::adBoolean;
        case 20:  // int8
            return CAdoRecordset::adBigInt;
        case 21:  // int2
            return CAdoRecordset::adSmallInt;
        case 23:  // int4
        case 26:  // oid
            return CAdoRecordset::adInteger;
        case 700:  // float4
            return CAdoRecordset::adSingle;
        case 701:  // float8
            return CAdoRecordset::adDouble;
        case 790:  // money
            return CAdoRecordset::adCurrency;
        case 1700:  // numeric
            return CAdoRecordset::adNumeric;
        case 1082:  // date
            return CAdoRecordset::adDBDate;
        case 1083:  // time
        case 1266:  // timetz
            return CAdoRecordset::adDBTime;
        case 1114:  // timestamp
        case 1184:  // timestamptz
            return CAdoRecordset::adDBTimeStamp;
        case 17:  // bytea
            return CAdoRecordset::adLongVarBinary;
        case 18:    // char
        case 19:    // name
        case 25:    // text
        case 1042:  // bpchar
        case 1043:  // varchar
            return CAdoRecordset::adVarWChar;
        default:
            return CAdoRecordset::adEmpty;
    }
}

QList<int> fieldTypes(const QSqlQuery& q, const QSqlRecord& record, const QString& driver) {
    const bool sqlite = driver == QLatin1String("QSQLITE");
    const bool postgres = driver == QLatin1String("QPSQL");
    QList<int> types;
    void* stmt = nullptr;
    if (sqlite && sqliteDeclType()) {
        const QVariant h = q.result() ? q.result()->handle() : QVariant();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3_stmt*") == 0)
            stmt = *static_cast<void* const*>(h.constData());
    }
    for (int i = 0; i < record.count(); ++i) {
        int t = CAdoRecordset::adEmpty;
        if (stmt) {
            if (const char* decl = sqliteDeclType()(stmt, i)) t = typeFromDeclaration(decl);
        } else if (postgres) {
            t = typeFromPostgresOid(record.field(i).typeID());
        }
        if (t == CAdoRecordset::adEmpty) t = typeFromMetaType(record.field(i).metaType());
        types.append(t);
    }
    return types;
}

}  // namespace

bool CAdoRecordset::IsNumberType(int type) {
    // Every numeric type: SQLite's integers arrive as 64-bit ones, sums and
    // money columns as numeric or single.
    return type == adTinyInt || type == adSmallInt || type == adInteger || type == adSingle ||
           type == adDouble || type == adCurrency || type == adBigInt || type == adNumeric;
}

CAdoRecordset::CAdoRecordset(CAdoConnection* connection) : m_connection(connection) {
    if (m_connection) m_connection->Attach(this);
}

CAdoRecordset::~CAdoRecordset() {
    Close();
    if (m_connection) m_connection->Detach(this);
}

void CAdoRecordset::SetConnection(CAdoConnection* connection) {
    Close();
    if (m_connection) m_connection->Detach(this);
    m_connection = connection;
    if (m_connection) m_connection->Attach(this);
}

void CAdoRecordset::SetQuery(const QString& text, const QVariantList& values) {
    m_query = text;
    m_values = values;
}

void CAdoRecordset::Open(int cursorType, const QString& query, int options) {
    Q_UNUSED(cursorType);
    if (!query.isEmpty()) SetQuery(query);
    // Execution flags may ride along with the command type; a direct table
    // (512) is a table too.
    int type = options & 0x0F;
    if (options & 512) type = adCmdTable;
    Run(type, m_query, m_values);
}

void CAdoRecordset::Open() { Run(adCmdText, m_query, m_values); }

namespace {

// Runs a query of a connection into q (forward only): the text mapped to the
// server's quoting, values bound to its "?" marks. Throws on every failure.
void execute(CAdoConnection* connection, int commandType, const QString& text,
             const QVariantList& values, QSqlQuery& q) {
    if (!connection) throw CAdoException(LoadErrorText(qor::str::kConnectionNotOpen));
    if (!connection->IsOpen()) throw CAdoException(LoadErrorText(qor::str::kConnectionNotOpen));
    if (text.trimmed().isEmpty()) throw CAdoException(LoadErrorText(qor::str::kNoQuery));

    const QSqlDatabase db = connection->Database();
    if (commandType == CAdoRecordset::adCmdStoredProc)
        throw CAdoException(LoadErrorText(qor::str::kNoStoredProcedure).arg(text));
    QString sql;
    if (commandType == CAdoRecordset::adCmdTable) {
        sql = QStringLiteral("select * from ") + qor::QuoteIdentifier(db.driver(), text, true);
    } else {
        // "[table].[field]" as reports and dialogs write it, in the
        // server's own quoting.
        sql = qor::MapBracketNames(db.driver(), text);
    }
    q.setForwardOnly(true);
    // Numeric columns as numbers, not as their digits in a text; cells
    // hold doubles anyway.
    if (connection->GetDriverName() == QLatin1String("QPSQL"))
        q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    bool ok = false;
    if (values.isEmpty()) {
        ok = q.exec(sql);
    } else if (q.prepare(sql)) {
        for (const QVariant& v : values) q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok)
        throw CAdoException(LoadErrorText(qor::str::kQueryFailed).arg(q.lastError().text(), sql));
}

void requireAllRead(const QSqlQuery& q) {
    if (q.lastError().isValid())
        throw CAdoException(
            LoadErrorText(qor::str::kReadRecordsFailed).arg(q.lastError().text(), q.lastQuery()));
}

}  // namespace

void CAdoRecordset::Run(int commandType, const QString& text, const QVariantList& values) {
    Close();
    QStringList names;
    QList<int> types;
    QList<QVariantList> rows;
    long affected = -1;
    {
        QSqlQuery q(m_connection ? m_connection->Database() : QSqlDatabase());
        execute(m_connection, commandType, text, values, q);
        if (q.isSelect()) {
            const QSqlRecord record = q.record();
            for (int i = 0; i < record.count(); ++i) names.append(record.fieldName(i));
            types = fieldTypes(q, record, m_connection->GetDriverName());
            while (q.next()) {
                QVariantList row;
                row.reserve(names.size());
                for (int i = 0; i < names.size(); ++i) {
                    const QVariant v = q.value(i);
                    row.append(v.isNull() ? QVariant() : v);
                }
                rows.append(std::move(row));
            }
            requireAllRead(q);
        } else {
            affected = q.numRowsAffected();
        }
    }
    m_names = std::move(names);
    m_types = std::move(types);
    m_rows = std::move(rows);
    m_affected = affected;
    m_pos = 0;
    m_open = true;
    LoadBoundColumns();
}

void CAdoRecordset::Close() {
    if (!m_open) return;
    m_open = false;
    m_names.clear();
    m_types.clear();
    m_rows.clear();
    m_pos = 0;
    m_affected = -1;
}

QVariantList CAdoRecordset::ReadColumn(CAdoConnection* connection, const QString& text,
                                      const QVariantList& values, qint64 limit) {
    QVariantList column;
    QSqlQuery q(connection ? connection->Database() : QSqlDatabase());
    execute(connection, adCmdText, text, values, q);
    if (!q.isSelect() || q.record().isEmpty()) return column;
    while (column.size() < limit && q.next()) {
        QVariant v = q.value(0);
        if (v.isNull()) v = QVariant();
        column.append(std::move(v));
    }
    if (column.size() < limit) requireAllRead(q);
    return column;
}

void CAdoRecordset::RequireOpen() const {
    if (!m_open) throw CAdoException(LoadErrorText(qor::str::kRecordSetNotOpen));
}

void CAdoRecordset::RequireRecord() const {
    RequireOpen();
    if (m_pos >= m_rows.size()) throw CAdoException(LoadErrorText(qor::str::kPastLastRecord));
}

bool CAdoRecordset::IsEOF() const {
    RequireOpen();
    return m_pos >= m_rows.size();
}

bool CAdoRecordset::IsBOF() const {
    RequireOpen();
    return m_rows.isEmpty();
}

long CAdoRecordset::GetRecordCount() const {
    RequireOpen();
    return static_cast<long>(m_rows.size());
}

void CAdoRecordset::MoveFirst() {
    RequireOpen();
    m_pos = 0;
    LoadBoundColumns();
}

void CAdoRecordset::MoveNext() {
    RequireRecord();
    ++m_pos;
    LoadBoundColumns();
}

int CAdoRecordset::GetFieldCount() const {
    RequireOpen();
    return static_cast<int>(m_names.size());
}

QString CAdoRecordset::GetFieldName(int index) const {
    RequireOpen();
    if (index < 0 || index >= m_names.size())
        throw CAdoException(LoadErrorText(qor::str::kNoSuchField).arg(index));
    return m_names.at(index);
}

int CAdoRecordset::GetFieldType(int index) const {
    RequireOpen();
    if (index < 0 || index >= m_types.size())
        throw CAdoException(LoadErrorText(qor::str::kNoSuchField).arg(index));
    return m_types.at(index);
}

int CAdoRecordset::FindField(const QString& name) const {
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QVariant CAdoRecordset::GetFieldValue(const QString& name) const {
    RequireRecord();
    const int i = FindField(name);
    if (i < 0)
        throw CAdoException(
            LoadErrorText(qor::str::kNoSuchField).arg(QStringLiteral("“%1”").arg(name)));
    return m_rows.at(m_pos).at(i);
}

QVariant CAdoRecordset::GetFieldValue(int index) const {
    RequireRecord();
    if (index < 0 || index >= m_names.size())
        throw CAdoException(LoadErrorText(qor::str::kNoSuchField).arg(index));
    return m_rows.at(m_pos).at(index);
}

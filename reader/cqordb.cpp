#include "reader/cqordb.h"

#include <QMutex>

#include "engine/messages.h"
#include "platform/registry.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"

const QString CQorDB::kProductKey = QStringLiteral("Software\\Vantix\\QX\\V8.610");
const QString CQorDB::kLoginKey = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Login");

namespace {

QMutex& sourceLock() {
    static QMutex m;
    return m;
}

std::function<QString()>& loginDbNameSource() {
    static std::function<QString()> f;
    return f;
}

}  // namespace

void CQorDB::SetLoginDbNameSource(std::function<QString()> source) {
    QMutexLocker lock(&sourceLock());
    loginDbNameSource() = std::move(source);
}

QString CQorDB::LoginDbName() {
    std::function<QString()> source;
    {
        QMutexLocker lock(&sourceLock());
        source = loginDbNameSource();
    }
    // Stand-in until the host environment wires GetLoginDbName in: the
    // login component keeps the same value under the login key.
    return (source ? source() : qor::Registry::readString(kLoginKey, QStringLiteral("VtDbName")))
        .trimmed();
}

QString CQorDB::DefaultConnectionText() {
    const QString dictionary =
        qor::Registry::readString(kProductKey, QStringLiteral("Dictionary")).trimmed();
    if (!dictionary.isEmpty()) return dictionary;

    const QString login = LoginDbName();
    if (!login.isEmpty()) return login;
    throw CAdoException(LoadErrorText(qor::str::kNoDictionaryDatabase).arg(kProductKey));
}

CQorDB::CQorDB(CAdoConnection* connection) : CAdoRecordset(connection) {
    if (!connection) OpenOwnConnection(DefaultConnectionText());
    QuerySystems();
}

CQorDB::CQorDB(const QString& connectionText) : CAdoRecordset(nullptr) {
    OpenOwnConnection(connectionText);
    QuerySystems();
}

CQorDB::~CQorDB() {
    // The base would close only after our connection is gone.
    SetConnection(nullptr);
}

void CQorDB::OpenOwnConnection(const QString& connectionText) {
    auto connection = std::make_unique<CAdoConnection>();
    connection->Open(connectionText);
    SetConnection(connection.get());
    m_ownConnection = std::move(connection);
}

void CQorDB::QuerySystems() {
    m_nKind = kindSystems;
    SetQuery(
        QStringLiteral("select distinct systemname,systemid from rpt_grpdef order by systemid"));
}

void CQorDB::QueryAllTables() {
    m_nKind = kindAllTables;
    SetQuery(QStringLiteral(
        "select systemid,tablename,tabledefine from rpt_grpdef  order by systemid,tablename"));
}

void CQorDB::QueryTablesOfSystem(const QString& systemIdOrName) {
    m_nKind = kindTablesOfSystem;
    SetQuery(QStringLiteral("select tablename,tabledefine from rpt_grpdef where systemid=? or "
                            "systemname =? order by tablename"),
             {systemIdOrName, systemIdOrName});
}

void CQorDB::QueryTableByDefinition(const QString& definition) {
    m_nKind = kindTableByDefinition;
    SetQuery(QStringLiteral("select tablename from rpt_grpdef where tabledefine=?"), {definition});
}

void CQorDB::QueryFieldsOfTable(const QString& tableName) {
    m_nKind = kindFieldsOfTable;
    SetQuery(QStringLiteral("select fieldname,fielddef,tablename,tabledef,fieldid from rpt_itmdef "
                            "where tablename=? order by fieldid "),
             {tableName});
}

void CQorDB::QueryFieldByDefinition(const QString& tableName, const QString& definition) {
    m_nKind = kindFieldByDefinition;
    SetQuery(QStringLiteral("select fieldname from rpt_itmdef where tablename=? and fielddef=?"),
             {tableName, definition});
}

void CQorDB::LoadBoundColumns() {
    m_strSystemId.clear();
    m_strSystemName.clear();
    m_strTableName.clear();
    m_strTableDef.clear();
    m_strFieldName.clear();
    m_strFieldDef.clear();
    m_nFieldId = 0;
    if (!IsOpen() || IsEOF()) return;

    // A column the query did not select stays empty.
    auto text = [this](const char* name) {
        const int i = FindField(QLatin1String(name));
        return i < 0 ? QString() : GetFieldValue(i).toString();
    };
    switch (m_nKind) {
        case kindSystems:
            m_strSystemId = text("systemid");
            m_strSystemName = text("systemname");
            break;
        case kindTablesOfSystem:
            m_strTableName = text("tablename");
            m_strTableDef = text("tabledefine");
            break;
        case kindFieldsOfTable:
            m_strFieldName = text("fieldname");
            m_strFieldDef = text("fielddef");
            m_nFieldId = text("fieldid").toInt();
            m_strTableName = text("tablename");
            m_strTableDef = text("tabledef");
            break;
        case kindTableByDefinition:
            m_strTableName = text("tablename");
            break;
        case kindFieldByDefinition:
            m_strFieldName = text("fieldname");
            break;
        case kindAllTables:
            m_strSystemId = text("systemid");
            m_strTableName = text("tablename");
            m_strTableDef = text("tabledefine");
            break;
        default:
            break;
    }
}

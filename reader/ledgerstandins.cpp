#include "reader/ledgerstandins.h"

#include <QLoggingCategory>
#include <QMutex>

#include "reader/cadoconnection.h"

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcLedger, "qor.ledger")

QMutex& callsLock() {
    static QMutex m;
    return m;
}

QList<LedgerShowCall>& calls() {
    static QList<LedgerShowCall> c;
    return c;
}

}  // namespace

const char* const LedgerQueryStandIn::kClsid = "{3302AA4E-EB96-11D2-AF06-000021009B21}";
const char* const LedgerStandIn::kClsid = "{1396304E-2A37-4857-B0BF-13BD0449B159}";

void LedgerQueryStandIn::Init(QObject* systemDb, const QString& dbName, const QString& accountSetId,
                              qint16 year, const QString& userId, const QDate& loginDate,
                              const QVariant& systemPassword, const QVariant& userPassword) {
    m_values.systemDb = systemDb ? systemDb->property("ConnectionString").toString() : QString();
    m_values.dbName = dbName;
    m_values.accountSetId = accountSetId;
    m_values.year = year;
    m_values.userId = userId;
    m_values.loginDate = loginDate;
    m_values.systemPassword = systemPassword;
    m_values.userPassword = userPassword;
    m_initialised = true;
    // The database may be a connection text with a password.
    qCInfo(lcLedger).noquote() << "ledger query for account set" << accountSetId << year << "in"
                               << CAdoConnection::MaskPasswords(dbName) << "as" << userId;
}

bool LedgerStandIn::ShowLedger(const QString& accountCodes, const QString& period, bool include) {
    LedgerShowCall call;
    call.accountCodes = accountCodes;
    call.period = period;
    call.include = include;
    call.hadLogin = !m_login.isNull();
    if (auto* q = qobject_cast<LedgerQueryStandIn*>(m_query.data())) {
        call.hadQuery = true;
        call.query = q->values();
    } else {
        call.hadQuery = !m_query.isNull();
    }
    qCInfo(lcLedger).noquote() << "detail ledger of" << accountCodes << "period" << period
                               << (include ? "(include flag set)" : "");
    QMutexLocker lock(&callsLock());
    calls().append(call);
    return true;
}

QList<LedgerShowCall> LedgerStandIn::recordedCalls() {
    QMutexLocker lock(&callsLock());
    return calls();
}

void LedgerStandIn::clearRecordedCalls() {
    QMutexLocker lock(&callsLock());
    calls().clear();
}

}  // namespace qor

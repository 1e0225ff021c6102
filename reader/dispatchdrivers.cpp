#include "reader/dispatchdrivers.h"

#include "engine/messages.h"

namespace qor {

bool DispatchDriver::CreateDispatch(const QString& progIdOrClsid) {
    ReleaseDispatch();
    try {
        m_object = AutoObject::create(progIdOrClsid);
    } catch (const AutoError& e) {
        m_lastError = e.text();
        return false;
    }
    m_lastError.clear();
    return true;
}

void DispatchDriver::AttachDispatch(QObject* object, bool owned) {
    ReleaseDispatch();
    m_object = AutoObject(object, owned);
}

void DispatchDriver::ReleaseDispatch() { m_object = AutoObject(); }

QVariant DispatchDriver::InvokeHelper(qint32 dispId, const QString& fallbackName,
                                      const QVariantList& args) {
    if (m_object.isNull()) throw AutoError(LoadErrorText(str::kNoAutomationObject));
    if (!m_object.nameOfId(dispId).isEmpty()) return m_object.invoke(dispId, args);
    return m_object.invoke(fallbackName, args);
}

}  // namespace qor

namespace {

QVariant objectArg(QObject* o) { return QVariant::fromValue(o); }

}  // namespace

void CServiceDriver::SetLogin(QObject* login) {
    InvokeHelper(kSetLogin, QStringLiteral("SetLogin"), {objectArg(login)});
}

bool CServiceDriver::CallService(const QString& functionName, const QString& arguments,
                                 QObject* result) {
    return InvokeHelper(kCallService, QStringLiteral("CallService"),
                        {functionName, arguments, objectArg(result)})
        .toBool();
}

QVariant CLoginDriver::CallLogEnd() {
    const QVariant failed = QVariant::fromValue(qint16(-1));
    if (IsNull() || FindDispId(QStringLiteral("logEnd")) == -1) return failed;
    try {
        return Object().invoke(QStringLiteral("logEnd"));
    } catch (const qor::AutoError& e) {
        SetLastError(e.text());
        return failed;
    }
}

qint32 CLoginDriver::FindDispId(const QString& name) {
    const std::optional<qint32> id = IsNull() ? std::nullopt : Object().idOfName(name);
    if (id) return *id;
    SetLastError(LoadErrorText(qor::str::kServiceLacksFunction).replace(QLatin1String("%s"), name));
    return -1;
}

void CLedgerDriver::SetLogin(QObject* login) {
    InvokeHelper(kSetLogin, QStringLiteral("SetLogin"), {objectArg(login)});
}

void CLedgerDriver::SetQuery(QObject* query) {
    InvokeHelper(kSetQuery, QStringLiteral("SetQuery"), {objectArg(query)});
}

bool CLedgerDriver::ShowLedger(const QString& accountCodes, const QString& period, bool include) {
    return InvokeHelper(kShowLedger, QStringLiteral("ShowLedger"), {accountCodes, period, include})
        .toBool();
}

void CLedgerQueryDriver::Init(QObject* systemDb, const QString& dbName, const QString& accountSetId,
                              qint16 year, const QString& userId, const QDate& loginDate,
                              const QVariant& systemPassword, const QVariant& userPassword) {
    InvokeHelper(kInit, QStringLiteral("Init"),
                 {objectArg(systemDb), dbName, accountSetId, QVariant::fromValue(year), userId,
                  loginDate, systemPassword, userPassword});
}

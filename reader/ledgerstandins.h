#pragma once
// The local stand-ins for the host system's detail-ledger component and
// its query object. The host opens its ledger window; these only log what
// they were handed and keep it, so that the drill-down from a cell can be
// followed and checked without the host.

#include <QDate>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

namespace qor {

// What the query object was initialised with.
struct LedgerQueryValues {
    QString systemDb;  // the system database's connection string, when it had one
    QString dbName;
    QString accountSetId;
    int year = 0;
    QString userId;
    QDate loginDate;
    QVariant systemPassword;
    QVariant userPassword;
};

class LedgerQueryStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("DispId:0x60030033", "Init")

public:
    static const char* const kClsid;  // {3302AA4E-EB96-11D2-AF06-000021009B21}

    explicit LedgerQueryStandIn(QObject* parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE void Init(QObject* systemDb, const QString& dbName, const QString& accountSetId,
                          qint16 year, const QString& userId, const QDate& loginDate,
                          const QVariant& systemPassword, const QVariant& userPassword);

    const LedgerQueryValues& values() const { return m_values; }

private:
    bool m_initialised = false;
    LedgerQueryValues m_values;
};

// One ShowLedger call as the stand-in saw it.
struct LedgerShowCall {
    QString accountCodes;
    QString period;
    bool include = false;
    bool hadLogin = false;
    bool hadQuery = false;
    LedgerQueryValues query;  // as the query object held them, when there was one
};

class LedgerStandIn : public QObject {
    Q_OBJECT
    Q_CLASSINFO("DispId:0x68030001", "SetLogin")
    Q_CLASSINFO("DispId:0x68030000", "SetQuery")
    Q_CLASSINFO("DispId:0x60030003", "ShowLedger")

public:
    static const char* const kClsid;  // {1396304E-2A37-4857-B0BF-13BD0449B159}

    explicit LedgerStandIn(QObject* parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE void SetLogin(QObject* login) { m_login = login; }
    Q_INVOKABLE void SetQuery(QObject* query) { m_query = query; }
    // Logs and records the call; true as the host answers once its window
    // is up.
    Q_INVOKABLE bool ShowLedger(const QString& accountCodes, const QString& period, bool include);

    QObject* login() const { return m_login; }
    QObject* query() const { return m_query; }

    // Every ShowLedger call of the process, oldest first.
    static QList<LedgerShowCall> recordedCalls();
    static void clearRecordedCalls();

private:
    QPointer<QObject> m_login;
    QPointer<QObject> m_query;
};

}  // namespace qor

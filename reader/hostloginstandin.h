#pragma once
// The local stand-in for the host system's login component. The host
// shows its own login dialog and keeps the session; here the values come
// from the Registry key kLoginKey, written by whoever sets up the
// installation:
//   VtDbName       database of the account set (a name or connection text)
//   CAcc_Id        account-set code
//   CIYear         account year (text)
//   CUserId        user id
//   CUserPassWord  user password
//   CurDate        log-in date, yyyy-MM-dd (today when missing)
//   SysPassword    password of the host's system database
//   SysDbName      the system database (VtDbName when missing)
// The same class answers to the three ProgIDs hosts register it under.

#include <QDate>
#include <QObject>
#include <QString>

namespace qor {

// The system database as the login component hands it out: a name or
// connection text that CAdoConnection::Open understands.
class HostSystemDb : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ConnectionString READ connectionString CONSTANT)

public:
    explicit HostSystemDb(QString connectionString, QObject* parent = nullptr)
        : QObject(parent), m_connectionString(std::move(connectionString)) {}
    QString connectionString() const { return m_connectionString; }

private:
    QString m_connectionString;
};

class HostLoginStandIn : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString VtDbName READ dbName)
    Q_PROPERTY(QString CAcc_Id READ accountSetId)
    Q_PROPERTY(QString CIYear READ year)
    Q_PROPERTY(QString CUserId READ userId)
    Q_PROPERTY(QString CUserPassWord READ userPassword)
    Q_PROPERTY(QDate CurDate READ loginDate)
    Q_PROPERTY(QString SysPassword READ systemPassword)
    Q_PROPERTY(QObject* SysDb READ systemDb)
    Q_PROPERTY(bool LoggedIn READ isLoggedIn)

public:
    static const char* const kClsid;
    static const char* const kProgIds[3];
    static const QString kLoginKey;

    explicit HostLoginStandIn(QObject* parent = nullptr);

    // Reads the values; true when an account set is named. Every call is
    // counted so callers can be held to logging in once.
    Q_INVOKABLE bool Login();
    // Ends the session; 0 as the host answers.
    Q_INVOKABLE int logEnd();

    // Login calls made on any instance since the process started.
    static int loginCount();

    QString dbName() const { return m_dbName; }
    QString accountSetId() const { return m_accountSetId; }
    QString year() const { return m_year; }
    QString userId() const { return m_userId; }
    QString userPassword() const { return m_userPassword; }
    QDate loginDate() const { return m_loginDate; }
    QString systemPassword() const { return m_systemPassword; }
    QObject* systemDb() const { return m_systemDb; }
    bool isLoggedIn() const { return m_loggedIn; }

private:
    QString m_dbName;
    QString m_accountSetId;
    QString m_year;
    QString m_userId;
    QString m_userPassword;
    QDate m_loginDate;
    QString m_systemPassword;
    HostSystemDb* m_systemDb = nullptr;
    bool m_loggedIn = false;
};

}  // namespace qor

#pragma once
// Thin callers of the host system's automation components: each holds one
// object and calls it through the fixed dispatch ids the components are
// known by. A component that does not declare an id is called by the
// member's name instead, so plugins written without the id tables work
// too. Failures of the object throw qor::AutoError unless a method says
// otherwise.

#include <QDate>
#include <QObject>
#include <QString>
#include <QVariant>

#include "platform/automation.h"

namespace qor {

class DispatchDriver {
public:
    DispatchDriver() = default;
    virtual ~DispatchDriver() = default;
    DispatchDriver(const DispatchDriver&) = delete;
    DispatchDriver& operator=(const DispatchDriver&) = delete;

    // Makes the object of a ProgID or CLSID; false (and the reason in
    // LastError) when it cannot be made.
    bool CreateDispatch(const QString& progIdOrClsid);
    // Drives an object made elsewhere; owned tells whether the driver
    // deletes it.
    void AttachDispatch(QObject* object, bool owned = false);
    // Lets the object go (deleting it when owned).
    void ReleaseDispatch();
    QObject* GetDispatch() const { return m_object.object(); }
    bool IsNull() const { return m_object.isNull(); }
    QString LastError() const { return m_lastError; }

protected:
    // Calls the member of a fixed id, or of the fallback name when the
    // object does not declare the id.
    QVariant InvokeHelper(qint32 dispId, const QString& fallbackName, const QVariantList& args);
    AutoObject& Object() { return m_object; }
    void SetLastError(const QString& text) { m_lastError = text; }

private:
    AutoObject m_object;
    QString m_lastError;
};

}  // namespace qor

// What a service function answers: "value" holds the number or text,
// "error" the reason when the call failed.
class CServiceResult : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariant value READ value WRITE setValue)
    Q_PROPERTY(QString error READ error WRITE setError)

public:
    explicit CServiceResult(QObject* parent = nullptr) : QObject(parent) {}
    QVariant value() const { return m_value; }
    void setValue(const QVariant& v) { m_value = v; }
    QString error() const { return m_error; }
    void setError(const QString& e) { m_error = e; }

private:
    QVariant m_value;
    QString m_error;
};

// An application service.
class CServiceDriver : public qor::DispatchDriver {
public:
    static constexpr qint32 kSetLogin = 0x68030001;
    static constexpr qint32 kCallService = 0x60030003;

    // Hands the host login object to the service.
    void SetLogin(QObject* login);
    // Runs one service function on its argument text; the answer goes to
    // the result's "value" property. False when the service refuses;
    // throws qor::AutoError when the call itself fails.
    bool CallService(const QString& functionName, const QString& arguments, QObject* result);
};

// The host login component; its members are found by name.
class CLoginDriver : public qor::DispatchDriver {
public:
    // "logEnd"'s answer; the 16-bit -1 when there is no object or no such
    // member (or the call fails).
    QVariant CallLogEnd();
    // The dispatch id of a member; -1 with the text of 62873 in LastError
    // when the object has no such member.
    qint32 FindDispId(const QString& name);
};

// The host's detail ledger.
class CLedgerDriver : public qor::DispatchDriver {
public:
    static constexpr qint32 kSetQuery = 0x68030000;
    static constexpr qint32 kSetLogin = 0x68030001;
    static constexpr qint32 kShowLedger = 0x60030003;

    void SetLogin(QObject* login);
    void SetQuery(QObject* query);
    bool ShowLedger(const QString& accountCodes, const QString& period, bool include);
};

// The query object handed to the detail ledger.
class CLedgerQueryDriver : public qor::DispatchDriver {
public:
    static constexpr qint32 kInit = 0x60030033;

    void Init(QObject* systemDb, const QString& dbName, const QString& accountSetId, qint16 year,
              const QString& userId, const QDate& loginDate, const QVariant& systemPassword,
              const QVariant& userPassword);
};

#pragma once
// The local stand-in for an application service of the host system: the
// ledger functions over a small table, so that formulas, the function
// wizard and the accounting-function dialog can be exercised without the
// host's accounting database. The table lives in the database named
// "demo_ledger" (a SQLite file below the data directory unless the
// Registry maps the name to a connection text, a server's for instance);
// a missing SQLite file and a missing table are made.
//
//   ledger(account TEXT, year INTEGER, month INTEGER,
//          debit DOUBLE PRECISION, credit ..., opening ...)
// One row per account and month: what was posted on each side that month
// and the balance at the start of the month (debit positive). An account
// code names itself and every account whose code begins with it.
//
// Functions, arguments split at commas outside double quotes:
//   QC(account[, period[, year]])             opening balance
//   QM(account[, period[, year]])             closing balance
//   FS(account[, period[, side[, year]]])     amount posted, side "J"/"借"
//                                             debit (default) or "D"/"贷"
//   JE(account[, period[, year]])             net amount (debit - credit)
// A period is a month 1..12, a quarter 21..24, 30 (or "全年") for the
// year; an empty period is the service date's month and an empty year the
// service date's year.

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <memory>

class CAdoConnection;

namespace qor {

class DemoLedgerService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("DispId:0x68030001", "SetLogin")
    Q_CLASSINFO("DispId:0x60030003", "CallService")
    Q_PROPERTY(QString srvName READ serviceName CONSTANT)
    Q_PROPERTY(int srvNumber READ serviceNumber CONSTANT)
    Q_PROPERTY(int srvHelp READ helpNumber CONSTANT)
    // A database name, path or connection text (see CAdoConnection).
    Q_PROPERTY(QString Database READ database WRITE setDatabase)

public:
    static const char* const kClsid;
    static const char* const kProgId;  // "qor.demo.ledger"

    explicit DemoLedgerService(QObject* parent = nullptr);
    ~DemoLedgerService() override;

    // The default database name, "demo_ledger".
    static QString defaultDatabase();

    QString serviceName() const;
    int serviceNumber() const { return 90; }
    int helpNumber() const { return 0; }
    QString database() const { return m_database; }
    void setDatabase(const QString& path);

    Q_INVOKABLE QString srvDescript() const;
    Q_INVOKABLE int srvItemCount() const;
    // which 0: the function name, 1: its descriptive name.
    Q_INVOKABLE QString srvItemName(int index, int which) const;
    Q_INVOKABLE QString srvItemForm(const QString& name) const;
    Q_INVOKABLE QString srvItemDesc(const QString& name) const;
    // A ready call of the function on the ledger's first account and the
    // service date's month, as the host's reference dialog would hand back.
    Q_INVOKABLE QString srvConference(const QString& name);
    Q_INVOKABLE void SetLogin(QObject* login);
    Q_INVOKABLE void SetDate(int year, int month, int day);
    // Writes the answer to the result's "value" property, or the reason to
    // its "error" property and answers false.
    Q_INVOKABLE bool CallService(const QString& name, const QString& arguments, QObject* result);

    // The same without a result object; throws std::runtime_error.
    double evaluate(const QString& name, const QString& arguments);
    QDate serviceDate() const { return m_date; }

private:
    void ensureOpen();
    void closeDatabase();

    QString m_database;
    std::unique_ptr<CAdoConnection> m_connection;
    QDate m_date;
    QPointer<QObject> m_login;
};

}  // namespace qor

#pragma once
// The detail ledger of the desktop application when no host is installed:
// the ledger component's class id is served by a small window over the
// demonstration ledger, so that 联查明细账 shows something a user can read.
// A host's own component registered under the class id takes precedence.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace qor::ledger {

// One row of the window: an account in one month.
struct LedgerRow {
    QString account;
    int month = 0;
    double opening = 0, debit = 0, credit = 0, closing = 0;
};

// The rows for the accounts ("1001/2001") month by month from January up to
// the period's month (the whole year when the period is not a month), read
// from the demonstration ledger of the given year. *error says why when the
// ledger cannot be read; the rows read so far are kept.
QList<LedgerRow> ReadLedgerRows(const QString& accountCodes, const QString& period, int year,
                                QString* error);

// The component: the same members and dispatch ids as the host's.
class LedgerWindowComponent : public QObject {
    Q_OBJECT
    Q_CLASSINFO("DispId:0x68030001", "SetLogin")
    Q_CLASSINFO("DispId:0x68030000", "SetQuery")
    Q_CLASSINFO("DispId:0x60030003", "ShowLedger")

public:
    explicit LedgerWindowComponent(QObject* parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE void SetLogin(QObject* login) { m_login = login; }
    Q_INVOKABLE void SetQuery(QObject* query) { m_query = query; }
    // Opens a window of its own, which outlives the component.
    Q_INVOKABLE bool ShowLedger(const QString& accountCodes, const QString& period, bool include);

    // The window the next ShowLedger is shown over (the main window).
    static void SetParentWindow(QWidget* parent);

private:
    QPointer<QObject> m_login;
    QPointer<QObject> m_query;
};

// Serves the ledger component's class id with the window.
void InstallLedgerWindow(QWidget* parent);

}  // namespace qor::ledger

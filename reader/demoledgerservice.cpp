#include "reader/demoledgerservice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "engine/messages.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"

namespace qor {

namespace {

Q_LOGGING_CATEGORY(lcDemoLedger, "qor.demoledger")

struct Item {
    const char* name;
    const char16_t* secondName;
    const char16_t* form;
    const char16_t* description;
};

const Item kItems[] = {
    {"QC", u"期初余额", u"QC(科目编码[,期间[,年度]])",
     u"科目在期间开始时的余额，借方为正。期间：1-12 月，21-24 季，30 全年。"},
    {"QM", u"期末余额", u"QM(科目编码[,期间[,年度]])",
     u"科目在期间结束时的余额，借方为正。期间：1-12 月，21-24 季，30 全年。"},
    {"FS", u"发生额", u"FS(科目编码[,期间[,方向[,年度]]])",
     u"科目在期间内的发生额；方向\"借\"(J) 为借方，\"贷\"(D) 为贷方，缺省为借方。"},
    {"JE", u"净发生额", u"JE(科目编码[,期间[,年度]])", u"科目在期间内借方减贷方的净额。"},
};

const Item* findItem(const QString& name) {
    for (const Item& i : kItems)
        if (name.trimmed().compare(QLatin1String(i.name), Qt::CaseInsensitive) == 0) return &i;
    return nullptr;
}

[[noreturn]] void fail(const QString& text) { throw std::runtime_error(text.toStdString()); }

// Splits at commas outside double quotes; quotes are dropped, blanks
// around each argument too.
QStringList splitArguments(const QString& text) {
    QStringList out;
    QString cur;
    bool quoted = false;
    bool any = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (c == QLatin1Char(',') && !quoted) {
            out.append(cur.trimmed());
            cur.clear();
        } else {
            cur.append(c);
            any = true;
        }
    }
    if (quoted) fail(LoadErrorText(str::kArgumentQuoteOpen).arg(text));
    if (any || !out.isEmpty()) out.append(cur.trimmed());
    return out;
}

std::pair<int, int> monthsOfPeriod(const QString& text, const QDate& serviceDate) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return {serviceDate.month(), serviceDate.month()};
    if (t == QStringLiteral("全年")) return {1, 12};
    bool ok = false;
    const int p = t.toInt(&ok);
    if (ok && p >= 1 && p <= 12) return {p, p};
    if (ok && p >= 21 && p <= 24) return {(p - 21) * 3 + 1, (p - 21) * 3 + 3};
    if (ok && p == 30) return {1, 12};
    fail(LoadErrorText(str::kNotAPeriod).arg(t));
}

int yearOf(const QString& text, const QDate& serviceDate) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return serviceDate.year();
    bool ok = false;
    const int y = t.toInt(&ok);
    if (!ok || y < 1000 || y > 9999) fail(LoadErrorText(str::kNotAYear).arg(t));
    return y;
}

}  // namespace

const char* const DemoLedgerService::kClsid = "{9B4CB930-06EE-49C4-A4F3-41A58DB39D5D}";
const char* const DemoLedgerService::kProgId = "qor.demo.ledger";

DemoLedgerService::DemoLedgerService(QObject* parent)
    : QObject(parent), m_database(defaultDatabase()), m_date(QDate::currentDate()) {}

DemoLedgerService::~DemoLedgerService() { closeDatabase(); }

QString DemoLedgerService::defaultDatabase() { return QStringLiteral("demo_ledger"); }

QString DemoLedgerService::serviceName() const { return QStringLiteral("演示账务函数"); }

void DemoLedgerService::setDatabase(const QString& path) {
    if (path == m_database) return;
    closeDatabase();
    m_database = path;
}

QString DemoLedgerService::srvDescript() const {
    // Where the ledger is, without a password or a whole path.
    QString where = CAdoConnection::MaskPasswords(m_database);
    try {
        const AdoConnectionSettings s = CAdoConnection::ResolveConnectionText(m_database);
        if (s.driver == QLatin1String("QSQLITE"))
            where = QFileInfo(s.database).fileName();
        else if (!s.host.isEmpty())
            where = s.database + QLatin1Char('@') + s.host;
        else
            where = s.database;
    } catch (const CAdoException&) {
    }
    return QStringLiteral("演示用账务函数：取账簿 %1 中的余额与发生额。").arg(where);
}

int DemoLedgerService::srvItemCount() const { return int(std::size(kItems)); }

QString DemoLedgerService::srvItemName(int index, int which) const {
    if (index < 0 || index >= srvItemCount()) return QString();
    const Item& i = kItems[index];
    return which == 1 ? QString::fromUtf16(i.secondName) : QString::fromLatin1(i.name);
}

QString DemoLedgerService::srvItemForm(const QString& name) const {
    const Item* i = findItem(name);
    return i ? QString::fromUtf16(i->form) : QString();
}

QString DemoLedgerService::srvItemDesc(const QString& name) const {
    const Item* i = findItem(name);
    return i ? QString::fromUtf16(i->description) : QString();
}

QString DemoLedgerService::srvConference(const QString& name) {
    const Item* i = findItem(name);
    if (!i) return QString();
    QString account;
    try {
        ensureOpen();
        QSqlQuery q(m_connection->Database());
        if (q.exec(QStringLiteral("select min(account) from ledger")) && q.next())
            account = q.value(0).toString();
    } catch (const std::exception& e) {
        qCWarning(lcDemoLedger).noquote() << e.what();
    }
    return QStringLiteral("%1(\"%2\",%3)").arg(QLatin1String(i->name), account).arg(m_date.month());
}

void DemoLedgerService::SetLogin(QObject* login) {
    m_login = login;
    if (!login) return;
    // The session's log-in date is the service date until the caller sets
    // another.
    const QDate d = login->property("CurDate").toDate();
    if (d.isValid()) m_date = d;
}

void DemoLedgerService::SetDate(int year, int month, int day) {
    const QDate d(year, month, day);
    if (d.isValid()) m_date = d;
}

bool DemoLedgerService::CallService(const QString& name, const QString& arguments,
                                    QObject* result) {
    try {
        const double v = evaluate(name, arguments);
        if (result) {
            result->setProperty("value", v);
            result->setProperty("error", QString());
        }
        return true;
    } catch (const std::exception& e) {
        const QString text = QString::fromStdString(e.what());
        qCWarning(lcDemoLedger).noquote() << name << arguments << ":" << text;
        if (result) {
            result->setProperty("value", QVariant());
            result->setProperty("error", text);
        }
        return false;
    }
}

double DemoLedgerService::evaluate(const QString& name, const QString& arguments) {
    const Item* item = findItem(name);
    if (!item) fail(LoadErrorText(str::kLedgerLacksFunction).arg(name));
    const QString fn = QLatin1String(item->name);
    const QStringList args = splitArguments(arguments);
    auto arg = [&](int i) { return i < args.size() ? args.at(i) : QString(); };

    const QString account = arg(0);
    if (account.isEmpty()) fail(LoadErrorText(str::kNeedsAccountCode).arg(fn));
    const auto [first, last] = monthsOfPeriod(arg(1), m_date);
    bool credit = false;
    int yearArg = 2;
    if (fn == QLatin1String("FS")) {
        const QString side = arg(2).toUpper();
        if (side == QLatin1String("D") || side == QStringLiteral("贷"))
            credit = true;
        else if (!side.isEmpty() && side != QLatin1String("J") && side != QStringLiteral("借"))
            fail(LoadErrorText(str::kNotADebitCreditSide).arg(arg(2)));
        yearArg = 3;
    }
    if (args.size() > yearArg + 1)
        fail(LoadErrorText(str::kTooManyLedgerArguments).arg(fn).arg(yearArg + 1));
    const int year = yearOf(arg(yearArg), m_date);

    ensureOpen();
    QSqlQuery q(m_connection->Database());
    q.prepare(
        QStringLiteral("select account, month, debit, credit, opening from ledger "
                       "where year = ? and substr(account, 1, ?) = ? "
                       "order by account, month"));
    q.addBindValue(year);
    q.addBindValue(account.size());
    q.addBindValue(account);
    if (!q.exec()) fail(LoadErrorText(str::kCannotReadLedger).arg(q.lastError().text()));

    double opening = 0;  // balance before the first row of each account
    double before = 0;   // debit - credit of the months before the period
    double debit = 0, creditSum = 0;
    QString current;
    while (q.next()) {
        const QString acct = q.value(0).toString();
        const int month = q.value(1).toInt();
        if (acct != current) {
            current = acct;
            opening += q.value(4).toDouble();
        }
        const double d = q.value(2).toDouble();
        const double c = q.value(3).toDouble();
        if (month < first) {
            before += d - c;
        } else if (month <= last) {
            debit += d;
            creditSum += c;
        }
    }
    if (fn == QLatin1String("QC")) return opening + before;
    if (fn == QLatin1String("QM")) return opening + before + debit - creditSum;
    if (fn == QLatin1String("FS")) return credit ? creditSum : debit;
    return debit - creditSum;
}

void DemoLedgerService::ensureOpen() {
    if (m_connection) return;
    if (m_database.trimmed().isEmpty()) fail(LoadErrorText(str::kLedgerWithoutDatabase));
    try {
        const AdoConnectionSettings s = CAdoConnection::ResolveConnectionText(m_database);
        if (s.driver == QLatin1String("QSQLITE") && s.database != QLatin1String(":memory:") &&
            !QFileInfo::exists(s.database)) {
            // A fresh installation starts with an empty ledger file; an
            // empty file is an empty SQLite database.
            if (!QDir().mkpath(QFileInfo(s.database).absolutePath()))
                fail(LoadErrorText(str::kCannotCreateFolder).arg(s.database));
            QFile f(s.database);
            if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly) && !f.exists())
                fail(LoadErrorText(str::kCannotCreateLedger).arg(s.database, f.errorString()));
        }
        auto connection = std::make_unique<CAdoConnection>();
        connection->Open(m_database);
        const QSqlDatabase db = connection->Database();
        auto hasTable = [&db] {
            // A server may offer the ledger as a view over its own tables.
            return (db.tables(QSql::Tables) + db.tables(QSql::Views))
                .contains(QStringLiteral("ledger"), Qt::CaseInsensitive);
        };
        if (!hasTable()) {
            QSqlQuery q(db);
            // Another process may make it at the same moment; only a table
            // that is still missing afterwards is a failure.
            if (!q.exec(QStringLiteral("create table ledger("
                                       "account TEXT NOT NULL, year INTEGER NOT NULL, "
                                       "month INTEGER NOT NULL, "
                                       "debit DOUBLE PRECISION NOT NULL DEFAULT 0, "
                                       "credit DOUBLE PRECISION NOT NULL DEFAULT 0, "
                                       "opening DOUBLE PRECISION NOT NULL DEFAULT 0)")) &&
                !hasTable())
                fail(LoadErrorText(str::kCannotCreateLedgerTable)
                         .arg(CAdoConnection::MaskPasswords(m_database), q.lastError().text()));
        }
        m_connection = std::move(connection);
    } catch (const CAdoException& e) {
        fail(LoadErrorText(str::kCannotOpenLedger).arg(e.GetErrorMessage()));
    }
}

void DemoLedgerService::closeDatabase() { m_connection.reset(); }

}  // namespace qor

// Failures of the host database: in the layer and in `qor run` scripts
// whose formulas read the ledger. Each names the reason, keeps passwords
// out of every message and log, and leaves the report as it was.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>

#include "engine/errorlog.h"
#include "engine/messages.h"
#include "platform/registry.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/demoledgerservice.h"
#include "reader/hostloginstandin.h"
#include "reader/ledgerstandins.h"
#include "tests/common/testsupport.h"
#include "tests/db/dbfixture.h"

using qordbtest::DbTest;

namespace {

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CAdoException& e) {
        return e.GetErrorMessage();
    }
    return QStringLiteral("<no error>");
}

QString firstValue(CAdoConnection& c, const QString& sql) {
    CAdoRecordset rs(&c);
    rs.Open(CAdoRecordset::adOpenStatic, sql, CAdoRecordset::adCmdText);
    return rs.IsEOF() ? QString() : rs.GetFieldValue(0).toString();
}

const QStringList kLedgerRows = {
    "create table ledger_rows(account varchar(20), year integer, month integer, "
    "debit double precision, credit double precision, opening double precision)",
    "insert into ledger_rows values('1001', 2024, 3, 50, 20, 1000)",
};

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// The ledger formulas of a script reach the database named "demo_ledger".
void pointTheLedgerAt(const QString& text) {
    const QString key = qor::HostLoginStandIn::kLoginKey;
    ASSERT_TRUE(qor::Registry::writeString(key, "CAcc_Id", "001"));
    ASSERT_TRUE(qor::Registry::writeString(key, "CIYear", "2024"));
    ASSERT_TRUE(qor::Registry::writeString(CAdoConnection::kDatabasesKey, "demo_ledger", text));
}

QString writeScript(const QString& path, const QString& text) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
    return path;
}

// The error log of the qor program (beside it, or in its config folder).
QString qorErrorLog() {
    QString text;
    // The program's log is in the data folder the tests point it at.
    const QString dir = QFileInfo(ErrorLogPath()).absolutePath();
    for (const char* name : {"qorerr.log.1", "qorerr.log"}) {
        QFile f(dir + "/" + QLatin1String(name));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray bytes = f.readAll();
        text += QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()),
                                   bytes.size() / 2);
    }
    return text;
}

}  // namespace

TEST_P(DbTest, FailuresNameTheReasonAndHideThePassword) {
    CAdoConnection c;
    c.Open(Text());
    const QString missing = errorOf([&] { firstValue(c, "select * from nosuch_table"); });
    EXPECT_TRUE(missing.contains(QStringLiteral("查询失败")) && missing.contains("nosuch_table"))
        << missing.toStdString();
    if (!OnServer()) return;

    const QString wrong = QStringLiteral("wrong-%1").arg(QDateTime::currentMSecsSinceEpoch());
    const QString refused = errorOf([&] {
        CAdoConnection bad;
        bad.Open(TextWithPassword(wrong));
    });
    EXPECT_TRUE(refused.contains(QStringLiteral("不能打开数据库")) && refused.contains("password"))
        << refused.toStdString();
    EXPECT_FALSE(refused.contains(wrong)) << refused.toStdString();
    EXPECT_TRUE(refused.contains("PWD=***")) << refused.toStdString();

    QString closedPort = Text();
    closedPort.replace(QRegularExpression("PORT=\\d+"), "PORT=1");
    const QString unreachable = errorOf([&] {
        CAdoConnection bad;
        bad.Open(closedPort);
    });
    EXPECT_TRUE(unreachable.contains(QStringLiteral("不能打开数据库")) &&
                unreachable.contains("127.0.0.1"))
        << unreachable.toStdString();

    // The socket form reaches the same database.
    QString socket = qEnvironmentVariable("QOR_TEST_PGSQL_SOCKET");
    ASSERT_FALSE(socket.isEmpty());
    socket.replace("DATABASE=postgres", "DATABASE=" + serverDb_);
    CAdoConnection local;
    local.Open(socket);
    EXPECT_EQ(firstValue(local, "select current_database()"), serverDb_);

    // A connection dropped under the layer fails the next query clearly;
    // closed and opened again it works.
    const QString pid = firstValue(c, "select pg_backend_pid()");
    EXPECT_EQ(firstValue(local, "select pg_terminate_backend(" + pid + ")"), "true");
    CAdoRecordset rs(&c);
    EXPECT_TRUE(errorOf([&] {
                    rs.Open(CAdoRecordset::adOpenStatic, "select 1", CAdoRecordset::adCmdText);
                }).contains(QStringLiteral("查询失败")));
    EXPECT_FALSE(rs.IsOpen());
    c.Close();
    c.Open(Text());
    EXPECT_EQ(firstValue(c, "select 1"), "1");
}

// Two scripts whose formulas read the same ledger at once both succeed.
TEST_P(DbTest, TwoScriptsReadTheSameLedgerAtOnce) {
    Exec(kLedgerRows);
    Exec({"create view ledger as select * from ledger_rows"});
    pointTheLedgerAt(Text());
    QString text;
    for (int i = 0; i < 40; ++i) text += QStringLiteral("let &q%1 = QM(\"1001\",3,2024)\n").arg(i);
    text += "list memory\n";
    const QString script = writeScript(dir_ + "/read.shl", text);
    QProcess a, b;
    a.start(QStringLiteral(QOR_APP_BINARY), {"run", script});
    b.start(QStringLiteral(QOR_APP_BINARY), {"run", script});
    for (QProcess* p : {&a, &b}) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().constData();
        EXPECT_TRUE(p->readAllStandardOutput().contains(("&q39 = 1030 (" + LoadErrorText(qor::str::kNumberKeywordType) + ")").toUtf8()));
    }
}

// A refused login fails the script with the server's reason; the password
// is in no output and not in the error log.
TEST_P(DbTest, ARefusedLoginKeepsThePasswordOutOfTheLog) {
    if (!OnServer()) GTEST_SKIP() << "logins are a server's";
    const QString wrong = QStringLiteral("never-%1").arg(QDateTime::currentMSecsSinceEpoch());
    pointTheLedgerAt(TextWithPassword(wrong));
    const QString line = QStringLiteral("let &r = QC(\"%1\",3,2024)").arg(wrong.mid(6));
    const QString script = writeScript(dir_ + "/refused.shl", line + "\n");
    const auto ran = qortest::run(QStringLiteral(QOR_APP_BINARY), {"run", script});
    EXPECT_EQ(ran.exitCode, 1);
    const QString err = QString::fromUtf8(ran.err);
    EXPECT_TRUE(err.contains("password authentication failed")) << err.toStdString();
    EXPECT_FALSE(err.contains(wrong) || ran.out.contains(wrong.toUtf8())) << err.toStdString();
    const QString log = qorErrorLog();
    EXPECT_TRUE(log.contains(line)) << "the failure should be logged";
    EXPECT_FALSE(log.contains(wrong));
}

namespace {

QStringList g_messages;

void collect(QtMsgType, const QMessageLogContext&, const QString& text) { g_messages.append(text); }

}  // namespace

// The components that log what they were given never log a server's
// password, whether the login works or is refused.
TEST_P(DbTest, NoLogHoldsAPassword) {
    if (!OnServer()) GTEST_SKIP() << "SQLite texts hold no password";
    const QString right = Text().section("PWD=", 1).section(';', 0, 0);
    const QString wrong = QStringLiteral("bad-%1").arg(QDateTime::currentMSecsSinceEpoch());
    ASSERT_FALSE(right.isEmpty());
    g_messages.clear();
    QLoggingCategory::setFilterRules("qor.*=true");
    const QtMessageHandler saved = qInstallMessageHandler(collect);
    for (const QString& text : {Text(), TextWithPassword(wrong)}) {
        ASSERT_TRUE(qor::Registry::writeString(qor::HostLoginStandIn::kLoginKey, "VtDbName", text));
        ASSERT_TRUE(qor::Registry::writeString(qor::HostLoginStandIn::kLoginKey, "CAcc_Id", "1"));
        qor::HostLoginStandIn login;
        login.Login();
        qor::LedgerQueryStandIn ledgerQuery;
        ledgerQuery.Init(login.systemDb(), text, "1", 2024, "u", QDate(2024, 3, 31), {}, {});
        qor::DemoLedgerService service;
        service.setDatabase(text);
        QObject result;
        service.CallService("QC", "1001,3,2024", &result);
        g_messages.append(result.property("error").toString());
        g_messages.append(service.srvDescript());
    }
    qInstallMessageHandler(saved);
    QLoggingCategory::setFilterRules(QString());
    const QString all = g_messages.join('\n');
    EXPECT_TRUE(all.contains("password authentication failed")) << all.toStdString();
    EXPECT_FALSE(all.contains(right) || all.contains(wrong)) << all.toStdString();
}

// A script whose connection drops between two of its formulas reports it
// and leaves its report unchanged.
TEST_P(DbTest, AScriptWhoseConnectionDropsLeavesItsReport) {
    if (!OnServer()) GTEST_SKIP() << "only a server connection can drop";
    Exec(kLedgerRows);
    // The first read of the ledger works; the second ends its own session.
    Exec({"create sequence ledger_reads",
          "create view ledger as select * from ledger_rows where case when "
          "(select nextval('ledger_reads')) <= 1 then true else "
          "pg_terminate_backend(pg_backend_pid()) end"});
    pointTheLedgerAt(Text());
    const QString report = dir_ + "/r.rep";
    ASSERT_EQ(qortest::run(QStringLiteral(QOR_APP_BINARY),
                           {"new", report, "--rows", "3", "--cols", "3", "--pages", "1"})
                  .exitCode,
              0);
    const QByteArray before = digest(report);
    const QString script =
        writeScript(dir_ + "/drop.shl",
                    "let &a = QC(\"1001\",3,2024)\nLET A1 = 5\nlet &b = QM(\"1001\",3,2024)\n");
    const auto ran = qortest::run(QStringLiteral(QOR_APP_BINARY), {"run", script, report});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(ran.err).contains(
        LoadErrorText(qor::str::kScriptLineFailed).arg("drop.shl", "3", QString())))
        << ran.err.constData();
    EXPECT_TRUE(QString::fromUtf8(ran.err).contains(QStringLiteral("不能读取账簿"))) << ran.err.constData();
    EXPECT_EQ(digest(report), before);
}

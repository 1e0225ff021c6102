#include "tests/db/dbfixture.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "reader/cadoconnection.h"
#include "tests/common/testsupport.h"

namespace qordbtest {

namespace {

QString withDatabase(const QString& text, const QString& database) {
    QString out = text;
    out.replace(QRegularExpression(QStringLiteral("DATABASE=[^;]*"),
                                   QRegularExpression::CaseInsensitiveOption),
                QStringLiteral("DATABASE=") + database);
    return out;
}

// Runs statements on a plain Qt connection to the text's database.
QString run(const QString& text, const QStringList& statements) {
    static QAtomicInteger<int> counter;
    const QString name = QStringLiteral("dbtest-plain-%1").arg(counter.fetchAndAddRelaxed(1));
    const AdoConnectionSettings s = CAdoConnection::ResolveConnectionText(text);
    QString error;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(s.driver, name);
        db.setDatabaseName(s.database);
        if (!s.host.isEmpty()) db.setHostName(s.host);
        if (s.port > 0) db.setPort(s.port);
        db.setUserName(s.user);
        db.setPassword(s.password);
        if (!db.open()) {
            error = db.lastError().text();
        } else {
            QSqlQuery q(db);
            for (const QString& st : statements) {
                if (!q.exec(st)) {
                    error = st + QStringLiteral(": ") + q.lastError().text();
                    break;
                }
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

}  // namespace

QString DbTest::ServerText() { return qEnvironmentVariable("QOR_TEST_PGSQL"); }

void DbTest::SetUp() {
    savedRegistry_ = qgetenv("QOR_REGISTRY");
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = qortest::freshDir(QString::fromLatin1(info->name()).replace('/', '-'));
    qputenv("QOR_REGISTRY", QFile::encodeName(dir_ + "/registry.ini"));
    if (!OnServer()) {
        const QString file = dir_ + "/test.db";
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));  // an empty file is an empty database
        text_ = "DRIVER=QSQLITE;DATABASE=" + file;
        return;
    }
    if (ServerText().isEmpty()) {
        if (!qEnvironmentVariableIsEmpty("QOR_REQUIRE_PGSQL"))
            FAIL() << "QOR_REQUIRE_PGSQL is set but QOR_TEST_PGSQL is not: run the tests "
                      "through scripts/with-postgres.sh";
        GTEST_SKIP() << "no PostgreSQL server: run through scripts/with-postgres.sh";
    }
    static QAtomicInteger<int> counter;
    serverDb_ = QStringLiteral("qor_test_%1_%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(counter.fetchAndAddRelaxed(1));
    const QString error = run(ServerText(), {"create database " + serverDb_});
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    text_ = withDatabase(ServerText(), serverDb_);
}

void DbTest::TearDown() {
    if (!serverDb_.isEmpty())
        run(ServerText(), {"drop database if exists " + serverDb_ + " with (force)"});
    qputenv("QOR_REGISTRY", savedRegistry_);
}

QString DbTest::TextWithPassword(const QString& password) const {
    QString out = text_;
    out.replace(QRegularExpression(QStringLiteral("PWD=[^;]*")), "PWD=" + password);
    return out;
}

void DbTest::Exec(const QStringList& statements) {
    const QString error = run(text_, statements);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

}  // namespace qordbtest

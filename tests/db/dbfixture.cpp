#include "tests/db/dbfixture.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include "engine/recordfill.h"
#include "platform/registry.h"
#include "reader/cadoconnection.h"
#include "reader/cqordb.h"
#include "tests/common/testsupport.h"
#include "tests/db/plainsql/plainsql.h"

namespace qordbtest {

namespace {

QString withDatabase(const QString& text, const QString& database) {
    QString out = text;
    out.replace(QRegularExpression(QStringLiteral("DATABASE=[^;]*"),
                                   QRegularExpression::CaseInsensitiveOption),
                QStringLiteral("DATABASE=") + database);
    return out;
}

}  // namespace

const QStringList kHostDatabase = {
    "create table rpt_grpdef(systemid varchar(10), systemname varchar(40), tablename "
    "varchar(40), tabledefine varchar(80))",
    "create table rpt_itmdef(tablename varchar(40), tabledef varchar(80), fieldname varchar(40), "
    "fielddef varchar(80), fieldid integer)",
    "insert into rpt_grpdef values('01','总账','凭证','凭证表')",
    "insert into rpt_grpdef values('01','总账','GlAccSum','科目余额表')",
    "insert into rpt_itmdef values('凭证','凭证表','科目','科目',1)",
    "insert into rpt_itmdef values('凭证','凭证表','金额','金额',2)",
    "insert into rpt_itmdef values('凭证','凭证表','摘要','摘要',3)",
    "insert into rpt_itmdef values('GlAccSum','科目余额表','AccCode','科目编码',1)",
    "insert into rpt_itmdef values('GlAccSum','科目余额表','Md','借方',2)",
    "create table \"凭证\"(\"科目\" varchar(20), \"金额\" numeric(18,2), \"摘要\" text)",
    "insert into \"凭证\" values('1001', 100.5, '房租')",
    "insert into \"凭证\" values('1002', 20, '工资')",
    "insert into \"凭证\" values('1001', -3.25, '房租 退回')",
    "create table \"GlAccSum\"(\"AccCode\" varchar(20), \"Md\" double precision)",
    "insert into \"GlAccSum\" values('1001', 7)",
    "insert into \"GlAccSum\" values('100201', 0.5)",
    "insert into \"GlAccSum\" values('1001', 3)",
    "create table big(n integer)",
    QStringLiteral("with recursive s(i) as (select 1 union all select i + 1 from s where i < %1) "
                   "insert into big(n) select i from s")
        .arg(kBigRows),
};

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
    const QString error = RunPlain(ServerText(), {"create database " + serverDb_});
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    text_ = withDatabase(ServerText(), serverDb_);
}

void DbTest::TearDown() {
    if (!serverDb_.isEmpty())
        RunPlain(ServerText(), {"drop database if exists " + serverDb_ + " with (force)"});
    qputenv("QOR_REGISTRY", savedRegistry_);
}

QString DbTest::TextWithPassword(const QString& password) const {
    QString out = text_;
    out.replace(QRegularExpression(QStringLiteral("PWD=[^;]*")), "PWD=" + password);
    return out;
}

void DbTest::Exec(const QStringList& statements) {
    const QString error = RunPlain(text_, statements);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
}

void HostDbTest::SetUp() {
    DbTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Exec(kHostDatabase);
    const QString text = Text();
    CQorDB::SetLoginDbNameSource([text] { return text; });
    ASSERT_TRUE(qor::Registry::writeString(CAdoConnection::kDatabasesKey, "001_2003", text));
    app_ = std::make_unique<CReaderApp>(dir_ + "/app.ini");
    app_->AddAccountSet("001", 2003);
    qor::RecordFillQueue::instance().Clear();
}

void HostDbTest::TearDown() {
    app_.reset();  // closes the account set's connection before its database goes
    qor::RecordFillQueue::instance().Clear();
    CQorDB::SetLoginDbNameSource({});
    DbTest::TearDown();
}

}  // namespace qordbtest

// The database layer, the data dictionary and the ledger service: the same
// bodies on SQLite and on PostgreSQL, so a dialect difference fails on one.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QSqlDatabase>

#include "platform/registry.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/cqordb.h"
#include "reader/demoledgerservice.h"
#include "reader/hostloginstandin.h"
#include "tests/db/dbfixture.h"

using qordbtest::Backend;
using qordbtest::DbTest;
using R = CAdoRecordset;

namespace {

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CAdoException& e) {
        return e.GetErrorMessage();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return QStringLiteral("<no error>");
}

QStringList rowsOf(CAdoRecordset& rs) {
    QStringList out;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        QStringList cells;
        for (int i = 0; i < rs.GetFieldCount(); ++i) cells.append(rs.GetFieldValue(i).toString());
        out.append(cells.join('|'));
    }
    return out;
}

QStringList query(CAdoConnection& c, const QString& sql, const QVariantList& values = {}) {
    CAdoRecordset rs(&c);
    rs.SetQuery(sql, values);
    rs.Open();
    return rowsOf(rs);
}

const QStringList kDictionary = {
    "create table rpt_grpdef(systemid varchar(10), systemname varchar(40), tablename "
    "varchar(40), tabledefine varchar(80))",
    "create table rpt_itmdef(tablename varchar(40), tabledef varchar(80), fieldname varchar(40), "
    "fielddef varchar(80), fieldid integer)",
    "insert into rpt_grpdef values('02','工资','wa_data','工资数据')",
    "insert into rpt_grpdef values('01','总账','gl_voucher','凭证表')",
    "insert into rpt_grpdef values('01','总账','gl_accsum','科目余额表')",
    "insert into rpt_grpdef values('02','工资','wa_obrien','O''Brien表')",
    "insert into rpt_itmdef values('gl_accsum','科目余额表','md','借方',3)",
    "insert into rpt_itmdef values('gl_accsum','科目余额表','ccode','科目编码',1)",
    "insert into rpt_itmdef values('gl_accsum','科目余额表','mb','期初余额',2)",
    "insert into rpt_itmdef values('wa_data','工资数据','f''x','it''s',1)",
};

const QStringList kLedger = {
    "create table ledger(account varchar(20) not null, year integer not null, month integer not "
    "null, debit double precision not null default 0, credit double precision not null default "
    "0, opening double precision not null default 0)",
    "insert into ledger values('1001', 2024, 1, 100, 40, 1000)",
    "insert into ledger values('1001', 2024, 3, 50, 20, 0)",
    "insert into ledger values('100201', 2024, 3, 7, 0, 5)",
};

}  // namespace

// Every dictionary query, with quotes and Chinese in definitions, gives the
// same rows on each backend; a definition is only ever a value.
TEST_P(DbTest, DictionaryQueriesGiveTheSameRows) {
    Exec(kDictionary);
    CQorDB db(Text());
    db.Open();
    QStringList seen;
    for (; !db.IsEOF(); db.MoveNext()) seen.append(db.m_strSystemId + db.m_strSystemName);
    EXPECT_EQ(seen, (QStringList{"01总账", "02工资"}));
    db.Close();

    auto walk = [&db](const std::function<QString()>& row) {
        db.Open();
        QStringList out;
        for (; !db.IsEOF(); db.MoveNext()) out.append(row());
        db.Close();
        return out;
    };
    db.QueryAllTables();
    EXPECT_EQ(
        walk([&] { return db.m_strSystemId + ":" + db.m_strTableName + ":" + db.m_strTableDef; }),
        (QStringList{"01:gl_accsum:科目余额表", "01:gl_voucher:凭证表", "02:wa_data:工资数据",
                     "02:wa_obrien:O'Brien表"}));
    db.QueryTablesOfSystem("工资");
    EXPECT_EQ(walk([&] { return db.m_strTableName; }), (QStringList{"wa_data", "wa_obrien"}));
    db.QueryFieldsOfTable("gl_accsum");
    EXPECT_EQ(
        walk([&] { return QString::number(db.m_nFieldId) + db.m_strFieldName + db.m_strFieldDef; }),
        (QStringList{"1ccode科目编码", "2mb期初余额", "3md借方"}));
    db.QueryTableByDefinition("O'Brien表");
    EXPECT_EQ(walk([&] { return db.m_strTableName; }), QStringList{"wa_obrien"});
    db.QueryFieldByDefinition("wa_data", "it's");
    EXPECT_EQ(walk([&] { return db.m_strFieldName; }), QStringList{"f'x"});
    for (const QString attack : {"x' or '1'='1", "'; drop table rpt_grpdef; --"}) {
        db.QueryTableByDefinition(attack);
        EXPECT_TRUE(walk([&] { return db.m_strTableName; }).isEmpty());
    }
    db.QueryAllTables();
    EXPECT_EQ(walk([&] { return db.m_strTableName; }).size(), 4);
}

// The column types ledgers use arrive as the field kinds reports expect:
// amounts and counters as numbers, Chinese texts unchanged.
TEST_P(DbTest, ColumnTypesArriveAsNumbersDatesAndTexts) {
    Exec(
        {"create table typed(amount numeric(18,2), big bigint, n integer, d double precision, "
         "t text, v varchar(20), day date, stamp timestamp)",
         "insert into typed values(1234567.89, 9007199254740993, 42, 0.1, '凭证摘要', '科目', "
         "'2024-03-31', '2024-03-31 12:34:56')",
         "insert into typed values(null, null, null, null, null, null, null, null)"});
    CAdoConnection c;
    c.Open(Text());
    CAdoRecordset rs(&c);
    rs.Open(R::adOpenStatic,
            "select amount, big, n, d, t, v, day, stamp from typed order by n is null, n",
            R::adCmdText);
    QList<int> types;
    for (int i = 0; i < rs.GetFieldCount(); ++i) types.append(rs.GetFieldType(i));
    EXPECT_EQ(types, (QList<int>{R::adNumeric, R::adBigInt, R::adInteger, R::adDouble,
                                 R::adVarWChar, R::adVarWChar, R::adDBDate, R::adDBTimeStamp}));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(R::IsNumberType(types[i])) << i;
    for (int i = 4; i < 8; ++i) EXPECT_FALSE(R::IsNumberType(types[i])) << i;

    EXPECT_EQ(rs.GetFieldValue("amount").toDouble(), 1234567.89);
    EXPECT_EQ(rs.GetFieldValue("big").toLongLong(), 9007199254740993LL);
    EXPECT_EQ(rs.GetFieldValue("n").toInt(), 42);
    EXPECT_EQ(rs.GetFieldValue("d").toDouble(), 0.1);
    EXPECT_EQ(rs.GetFieldValue("t").toString(), "凭证摘要");
    EXPECT_EQ(rs.GetFieldValue("v").toString(), "科目");
    EXPECT_EQ(rs.GetFieldValue("day").toDate(), QDate(2024, 3, 31));
    EXPECT_EQ(rs.GetFieldValue("stamp").toString().left(19).replace('T', ' '),
              "2024-03-31 12:34:56");
    rs.MoveNext();
    for (int i = 0; i < rs.GetFieldCount(); ++i) EXPECT_FALSE(rs.GetFieldValue(i).isValid()) << i;

    // An aggregate of amounts is a number too, and a bound Chinese text
    // travels both ways unchanged.
    rs.Open(R::adOpenStatic, "select sum(amount) as s from typed", R::adCmdText);
    EXPECT_TRUE(R::IsNumberType(rs.GetFieldType(0)));
    EXPECT_EQ(rs.GetFieldValue(0).toDouble(), 1234567.89);
    EXPECT_EQ(query(c, "select t from typed where v = ?", {QStringLiteral("科目")}),
              QStringList{"凭证摘要"});
}

// "[table].[field]" as reports and the dialogs write it, and the dialect
// table's clauses, give the same answers on each backend.
TEST_P(DbTest, BracketNamesAndDialectClausesRunAlike) {
    Exec({"create table \"凭证\"(\"金额\" numeric(18,2), \"科目\" varchar(20), \"摘要\" text)",
          "insert into \"凭证\" values(100, '1001', 'Rent')",
          "insert into \"凭证\" values(50, '1001', '[x]')",
          "insert into \"凭证\" values(7, '1002', 'rent')",
          "create table \"年度.数据\"(\"O'Brien\" integer)",
          "insert into \"年度.数据\" values(3)"});
    CAdoConnection c;
    c.Open(Text());
    const qor::SqlDialect& d = c.Dialect();
    EXPECT_EQ(query(c, "Select Sum([凭证].[金额]) From [凭证] where [科目] = ?", {"1001"}),
              QStringList{"150"});
    // Brackets inside a literal stay text.
    EXPECT_EQ(query(c, "select [金额] from [凭证] where [摘要] = '[x]'"), QStringList{"50"});
    EXPECT_EQ(query(c, "select [O'Brien] from [年度.数据]"), QStringList{"3"});

    const QString ordered = "select [金额] from [凭证] order by [金额] desc";
    EXPECT_EQ(query(c, d.LimitRecords(ordered, 2)), (QStringList{"100", "50"}));
    EXPECT_TRUE(query(c, d.LimitRecords(ordered + ";", 0)).isEmpty());
    EXPECT_EQ(query(c, d.LimitRecords(ordered, -1)).size(), 3);
    EXPECT_EQ(query(c, "select " + d.Concatenate("[科目]", "?") + " from [凭证] where [金额] = 7",
                    {"-甲"}),
              QStringList{"1002-甲"});
    EXPECT_EQ(query(c,
                    "select [金额] from [凭证] where " + d.EqualsIgnoringCase("[摘要]", "?") +
                        " order by [金额]",
                    {"RENT"}),
              (QStringList{"7", "100"}));

    // One column read as it arrives: bound values, the limit, nulls and
    // failures as with a whole set.
    Exec({"insert into \"凭证\" values(null, '1003', null)"});
    const QString byAccount = "select [金额] from [凭证] where [科目] <> ? order by [科目], [金额]";
    const QVariantList column = R::ReadColumn(&c, byAccount, {"1002"}, 10);
    ASSERT_EQ(column.size(), 3);
    EXPECT_EQ(column.at(0).toDouble(), 50);
    EXPECT_EQ(column.at(1).toDouble(), 100);
    EXPECT_FALSE(column.at(2).isValid());
    EXPECT_EQ(R::ReadColumn(&c, byAccount, {"1002"}, 1).size(), 1);
    EXPECT_TRUE(R::ReadColumn(&c, byAccount, {"1002"}, 0).isEmpty());
    EXPECT_TRUE(errorOf([&] { R::ReadColumn(&c, "select * from [nosuch]", {}, 5); })
                    .contains(QStringLiteral("查询失败")));
    EXPECT_TRUE(errorOf([&] { R::ReadColumn(nullptr, byAccount, {}, 5); }).contains(QStringLiteral("连接没有打开")));

    CAdoRecordset table(&c);
    table.Open(R::adOpenStatic, "[凭证]", R::adCmdTable);
    EXPECT_EQ(table.GetRecordCount(), 4);
    EXPECT_TRUE(errorOf([&] { query(c, "select [金额 from 凭证"); }).contains(QStringLiteral("没有对应的")));
    EXPECT_TRUE(errorOf([&] { query(c, "select * from [nosuch]"); }).contains(QStringLiteral("查询失败")));
}

// The ledger service and the login stand-in work on the database a
// connection text names, directly or through the Registry.
TEST_P(DbTest, LedgerServiceAndLoginUseTheNamedDatabase) {
    Exec(kLedger);
    Exec(kDictionary);
    qor::DemoLedgerService direct;
    direct.setDatabase(Text());
    EXPECT_EQ(direct.evaluate("QC", "1001,3,2024"), 1060);
    EXPECT_EQ(direct.evaluate("QM", "\"1001\",3,2024"), 1090);
    EXPECT_EQ(direct.evaluate("FS", "1001,21,贷,2024"), 60);
    EXPECT_EQ(direct.evaluate("JE", "1002,3,2024"), 7);
    EXPECT_FALSE(direct.srvDescript().contains("PWD")) << direct.srvDescript().toStdString();

    ASSERT_TRUE(qor::Registry::writeString(CAdoConnection::kDatabasesKey, "demo_ledger", Text()));
    qor::DemoLedgerService mapped;
    EXPECT_EQ(mapped.evaluate("QM", "1,30,2024"), 1102);

    const QString key = qor::HostLoginStandIn::kLoginKey;
    ASSERT_TRUE(qor::Registry::writeString(key, "VtDbName", Text()));
    ASSERT_TRUE(qor::Registry::writeString(key, "CAcc_Id", "001"));
    qor::HostLoginStandIn login;
    ASSERT_TRUE(login.Login());
    EXPECT_EQ(login.systemDb()->property("ConnectionString").toString(), Text());
    CQorDB dictionary;  // through the login's database
    dictionary.QueryTableByDefinition("凭证表");
    dictionary.Open();
    EXPECT_EQ(dictionary.m_strTableName, "gl_voucher");
}

// A database without the ledger table gets an empty one.
TEST_P(DbTest, LedgerServiceMakesItsTable) {
    qor::DemoLedgerService s;
    s.setDatabase(Text());
    EXPECT_EQ(s.evaluate("QM", "1001,3,2024"), 0);
    CAdoConnection c;
    c.Open(Text());
    EXPECT_EQ(query(c, "select count(*) from ledger"), QStringList{"0"});
}

// A read-only connection refuses every kind of write, and every way of
// switching itself back, each with a reason; reading goes on, and lifting
// the guard (as the record query does when it ends) allows writes again.
TEST_P(DbTest, AReadOnlyConnectionRefusesEveryWrite) {
    Exec({"create table t(n integer)", "insert into t values (1)"});
    CAdoConnection c;
    c.Open(Text());
    c.SetReadOnly(true);
    const auto attempt = [&](const QString& sql) {
        return errorOf([&] { c.ReadOnlyTransaction([&] { query(c, sql); }); });
    };
    QStringList writes = {"insert into t values (2)", "update t set n = 5", "delete from t",
                          "create table u(n integer)", "drop table t"};
    if (OnServer())
        writes << "create temporary table u(n integer)" << "select set_config('transaction_read_only', 'off', false)";
    else
        writes << "create temp table u(n integer)" << "pragma query_only = 0"
               << "attach database ':memory:' as x" << "begin" << "savepoint s"
               << "pragma user_version = 3";
    for (const QString& sql : writes) {
        SCOPED_TRACE(sql.toStdString());
        EXPECT_NE(attempt(sql), "<no error>");
        EXPECT_EQ(query(c, "select count(*), sum(n) from t"), QStringList{"1|1"});
    }
    if (!OnServer()) {
        EXPECT_FALSE(query(c, "pragma table_info(t)").isEmpty());
    }
    // A setting changed inside the transaction is gone with it.
    if (OnServer()) {
        c.ReadOnlyTransaction(
            [&] { query(c, "select set_config('default_transaction_read_only', 'off', false)"); });
        EXPECT_EQ(query(c, "show default_transaction_read_only"), QStringList{"on"});
    }
    c.SetReadOnly(false);
    EXPECT_EQ(errorOf([&] { query(c, "insert into t values (2)"); }), "<no error>");
    EXPECT_EQ(query(c, "select count(*) from t"), QStringList{"2"});
}

INSTANTIATE_TEST_SUITE_P(Db, DbTest, ::testing::Values(Backend::SQLite, Backend::PostgreSQL),
                         qordbtest::BackendName);

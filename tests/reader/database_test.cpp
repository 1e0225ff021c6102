// Database wrappers and the report data dictionary over SQLite.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "platform/datadir.h"
#include "platform/registry.h"
#include "reader/cadocommand.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/cadorecordset.h"
#include "reader/cqordb.h"
#include "tests/common/testsupport.h"
#include "tests/reader/dictionaryfixture.h"

using qortest::kDictionary;
using qortest::makeDatabase;

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const CAdoException& e) {
        return e.GetErrorMessage();
    }
    return QStringLiteral("<no error>");
}

// All rows of an open set as "a|b|c" lines.
QStringList rowsOf(CAdoRecordset& rs) {
    QStringList out;
    for (; !rs.IsEOF(); rs.MoveNext()) {
        QStringList cells;
        for (int i = 0; i < rs.GetFieldCount(); ++i) cells.append(rs.GetFieldValue(i).toString());
        out.append(cells.join('|'));
    }
    return out;
}

class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedRegistry_ = qgetenv("QOR_REGISTRY");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = qortest::freshDir(QString("db-") + info->name());
        qputenv("QOR_REGISTRY", QFile::encodeName(dir_ + "/registry.ini"));
        dict_ = dir_ + "/dict.db";
        makeDatabase(dict_, kDictionary);
    }
    void TearDown() override {
        CQorDB::SetLoginDbNameSource({});
        qputenv("QOR_REGISTRY", savedRegistry_);
    }
    QString text() const { return "DRIVER=QSQLITE;DATABASE=" + dict_; }

    QByteArray savedRegistry_;
    QString dir_;
    QString dict_;
};

}  // namespace

TEST_F(DictionaryTest, EveryQueryBindsTheExpectedColumns) {
    CQorDB db(text());
    db.Open(1, {}, 1);  // the constructor's systems query
    QStringList systems;
    for (; !db.IsEOF(); db.MoveNext()) systems.append(db.m_strSystemId + db.m_strSystemName);
    EXPECT_EQ(systems, (QStringList{"01总账", "02工资"}));
    EXPECT_TRUE(db.m_strSystemId.isEmpty());  // nothing bound at the end
    db.Close();

    db.QueryAllTables();
    db.Open();
    QStringList tables;
    for (; !db.IsEOF(); db.MoveNext())
        tables.append(db.m_strSystemId + ":" + db.m_strTableName + ":" + db.m_strTableDef);
    EXPECT_EQ(tables, (QStringList{"01:gl_accsum:科目余额表", "01:gl_voucher:凭证表",
                                   "02:wa_data:工资数据", "02:wa_obrien:O'Brien表"}));
    db.Close();

    for (const QString& system : {QStringLiteral("02"), QStringLiteral("工资")}) {
        db.QueryTablesOfSystem(system);
        db.Open(1, {}, 1);
        QStringList found;
        for (; !db.IsEOF(); db.MoveNext()) found.append(db.m_strTableName + "=" + db.m_strTableDef);
        EXPECT_EQ(found, (QStringList{"wa_data=工资数据", "wa_obrien=O'Brien表"}));
        db.Close();
    }

    db.QueryFieldsOfTable("gl_accsum");
    db.Open();
    QStringList fields;
    for (; !db.IsEOF(); db.MoveNext())
        fields.append(
            QString("%1 %2 %3 %4 %5")
                .arg(db.m_nFieldId)
                .arg(db.m_strFieldName, db.m_strFieldDef, db.m_strTableName, db.m_strTableDef));
    EXPECT_EQ(fields, (QStringList{"1 ccode 科目编码 gl_accsum 科目余额表",
                                   "2 mb 期初余额 gl_accsum 科目余额表",
                                   "3 md 借方 gl_accsum 科目余额表"}));
    db.Close();

    db.QueryTableByDefinition("凭证表");
    db.Open();
    ASSERT_FALSE(db.IsEOF());
    EXPECT_EQ(db.m_strTableName, "gl_voucher");
    EXPECT_EQ(db.m_nKind, CQorDB::kindTableByDefinition);
    db.Close();

    db.QueryFieldByDefinition("gl_accsum", "借方");
    db.Open();
    ASSERT_FALSE(db.IsEOF());
    EXPECT_EQ(db.m_strFieldName, "md");
    db.MoveNext();
    EXPECT_TRUE(db.IsEOF());
}

// The bound queries give the rows the pasted statements gave, and a quote
// in a definition is only ever part of the value.
TEST_F(DictionaryTest, DefinitionTextsAreValuesNotSql) {
    CQorDB db(text());
    CAdoConnection plain;
    plain.Open(text());
    CAdoRecordset pasted(&plain);
    auto same = [&](const QString& pastedSql) {
        db.Open();
        pasted.Open(3, pastedSql, 1);
        EXPECT_EQ(rowsOf(db), rowsOf(pasted)) << pastedSql.toStdString();
        db.Close();
    };
    db.QueryTablesOfSystem("01");
    same(
        "select tablename,tabledefine from rpt_grpdef where systemid='01' or systemname ='01' "
        "order by tablename");
    db.QueryFieldsOfTable("gl_accsum");
    same(
        "select fieldname,fielddef,tablename,tabledef,fieldid from rpt_itmdef where "
        "tablename='gl_accsum' order by fieldid ");
    db.QueryFieldByDefinition("gl_accsum", "期初余额");
    same("select fieldname from rpt_itmdef where tablename='gl_accsum' and fielddef='期初余额'");

    db.QueryTableByDefinition("O'Brien表");
    db.Open();
    EXPECT_EQ(rowsOf(db), QStringList{"wa_obrien"});
    db.Close();

    db.QueryFieldByDefinition("wa_data", "it's");
    db.Open();
    EXPECT_EQ(rowsOf(db), QStringList{"f'x"});
    db.Close();

    for (const QString& attack :
         {QStringLiteral("x' or '1'='1"), QStringLiteral("'; drop table "
                                                         "rpt_grpdef; --")}) {
        db.QueryTableByDefinition(attack);
        db.Open();
        EXPECT_TRUE(db.IsEOF()) << attack.toStdString();
        db.Close();
        db.QueryTablesOfSystem(attack);
        db.Open();
        EXPECT_EQ(db.GetRecordCount(), 0);
        db.Close();
    }
    db.QueryAllTables();
    db.Open();
    EXPECT_EQ(db.GetRecordCount(), 4);  // the table is still there
}

TEST_F(DictionaryTest, FindsItsDatabaseThroughRegistryOrLogin) {
    EXPECT_TRUE(errorOf([] { CQorDB db; }).contains(QStringLiteral("没有设置数据字典数据库")));

    // The login database by name: a registry mapping, else the data folder.
    ASSERT_TRUE(qor::Registry::writeString(CQorDB::kLoginKey, "VtDbName", "VTDATA001"));
    EXPECT_TRUE(errorOf([] { CQorDB db(nullptr); }).contains("VTDATA001.db"));
    ASSERT_TRUE(qor::Registry::writeString(CAdoConnection::kDatabasesKey, "vtdata001", text()));
    {
        CQorDB db(nullptr);
        db.Open();
        EXPECT_EQ(db.GetRecordCount(), 2);
    }

    // "Dictionary" wins over the login.
    const QString local = qor::dataPath("data/localdict.db");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(local).absolutePath()));
    makeDatabase(local, {kDictionary.at(0), kDictionary.at(2)});
    ASSERT_TRUE(qor::Registry::writeString(CQorDB::kProductKey, "Dictionary", "localdict"));
    {
        CQorDB db;
        db.Open();
        EXPECT_EQ(db.GetRecordCount(), 1);
    }
    ASSERT_TRUE(qor::Registry::deleteValue(CQorDB::kProductKey, "Dictionary"));

    CQorDB::SetLoginDbNameSource([this] { return text(); });
    ASSERT_TRUE(qor::Registry::deleteValue(CQorDB::kLoginKey, "VtDbName"));
    CQorDB db;
    db.QueryAllTables();
    db.Open();
    EXPECT_EQ(db.GetRecordCount(), 4);

    // On a connection owned by the caller.
    CAdoConnection shared;
    shared.Open(dict_);
    CQorDB onShared(&shared);
    onShared.QueryTableByDefinition("工资数据");
    onShared.Open();
    EXPECT_EQ(onShared.m_strTableName, "wa_data");
}

TEST_F(DictionaryTest, RecordsetWalksAndFailsClearly) {
    CAdoConnection conn;
    conn.Open(text());
    CAdoRecordset rs(&conn);
    rs.Open(3, "select tablename, tabledefine, null as blank from rpt_grpdef order by tablename",
            1);
    EXPECT_EQ(rs.GetRecordCount(), 4);
    EXPECT_FALSE(rs.IsEOF());
    EXPECT_EQ(rs.GetFieldValue("TableName").toString(), "gl_accsum");
    EXPECT_EQ(rs.GetFieldValue(1).toString(), "科目余额表");
    EXPECT_FALSE(rs.GetFieldValue("blank").isValid());
    EXPECT_EQ(rs.GetFieldName(1), "tabledefine");
    for (int i = 0; i < 3; ++i) rs.MoveNext();
    EXPECT_EQ(rs.GetFieldValue(0).toString(), "wa_obrien");
    EXPECT_EQ(rs.GetRecordCount(), 4);  // counting does not move
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(errorOf([&] { rs.MoveNext(); }).contains(QStringLiteral("没有当前记录")));
    EXPECT_TRUE(errorOf([&] { rs.GetFieldValue(0); }).contains(QStringLiteral("没有当前记录")));
    rs.MoveFirst();
    EXPECT_TRUE(errorOf([&] { rs.GetFieldValue("missing"); }).contains(QStringLiteral("“missing”")));
    EXPECT_TRUE(errorOf([&] { rs.GetFieldValue(3); }).contains(QStringLiteral("没有字段3")));

    // Reopened with another query.
    rs.Close();
    EXPECT_TRUE(errorOf([&] { rs.IsEOF(); }).contains(QStringLiteral("记录集没有打开")));
    rs.Open(3, "select fieldname from rpt_itmdef where fieldid > 5", 1);
    EXPECT_TRUE(rs.IsEOF());
    EXPECT_TRUE(rs.IsBOF());
    EXPECT_EQ(rs.GetRecordCount(), 0);

    EXPECT_TRUE(
        errorOf([&] { rs.Open(3, "select nosuch from rpt_grpdef", 1); }).contains("nosuch"));
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_TRUE(errorOf([&] { rs.Open(3, "selec tablename from", 1); }).contains(QStringLiteral("查询失败")));
    CAdoRecordset fresh(&conn);
    EXPECT_TRUE(errorOf([&] { fresh.Open(3, "", 1); }).contains(QStringLiteral("没有给出查询语句")));
}

TEST_F(DictionaryTest, BadConnectionsThrow) {
    CAdoConnection c;
    EXPECT_TRUE(errorOf([&] { c.Open(dir_ + "/absent.db"); }).contains(QStringLiteral("不存在")));
    EXPECT_TRUE(errorOf([&] { c.Open("nosuchdb"); }).contains("nosuchdb.db"));
    EXPECT_TRUE(errorOf([&] { c.Open("  "); }).contains(QStringLiteral("没有指明数据库名")));
    EXPECT_TRUE(errorOf([&] { c.Open("DRIVER=QNOSUCH;DATABASE=x"); }).contains(QStringLiteral("没有安装数据库驱动程序")));
    EXPECT_TRUE(
        errorOf([&] { c.Open("DRIVER=QSQLITE;PORT=x;DATABASE=" + dict_); }).contains(QStringLiteral("端口")));
    EXPECT_TRUE(errorOf([&] {
                    c.Open("Provider=SQLOLEDB;Password=secret;Data Source=x");
                }).contains("Provider"));
    EXPECT_FALSE(errorOf([&] {
                     c.Open("Provider=SQLOLEDB;Password=secret;Data Source=x");
                 }).contains("secret"));

    const QString junk = dir_ + "/junk.db";
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    EXPECT_TRUE(errorOf([&] { c.Open(junk); }).contains(QStringLiteral("不能打开数据库")));
    EXPECT_FALSE(c.IsOpen());

    // A record set on a connection that is not open.
    CAdoRecordset rs(&c);
    EXPECT_TRUE(errorOf([&] { rs.Open(3, "select 1", 1); }).contains(QStringLiteral("连接没有打开")));
    EXPECT_TRUE(errorOf([] {
                    CQorDB db(QString("DRIVER=QSQLITE;DATABASE=/nonexistent/x.db"));
                }).contains(QStringLiteral("不存在")));

    c.Open(text());
    EXPECT_TRUE(errorOf([&] { c.Open(text()); }).contains(QStringLiteral("连接已经打开")));
}

TEST_F(DictionaryTest, ConnectionsAreSeparateAndCleanedUp) {
    const QStringList before = QSqlDatabase::connectionNames();
    auto conn = std::make_unique<CAdoConnection>();
    CAdoConnection second;
    conn->Open(dict_);
    second.Open(dict_);
    EXPECT_EQ(QSqlDatabase::connectionNames().size(), before.size() + 2);

    CAdoRecordset rs(conn.get());
    rs.Open(3, "select * from rpt_grpdef", 1);
    conn->Close();  // closes its record sets
    EXPECT_FALSE(rs.IsOpen());
    conn->Open(dict_);
    rs.Open();
    EXPECT_EQ(rs.GetRecordCount(), 4);

    // The connection goes first: the set notices instead of crashing.
    conn.reset();
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_EQ(rs.GetConnection(), nullptr);
    EXPECT_TRUE(errorOf([&] { rs.Open(); }).contains(QStringLiteral("连接没有打开")));
    second.Close();
    EXPECT_EQ(QSqlDatabase::connectionNames(), before);
}

TEST_F(DictionaryTest, CommandResultCarriesFieldTypes) {
    const QString path = dir_ + "/types.db";
    makeDatabase(path,
                 {"create table typed(t tinyint, s smallint, i int, d double, "
                  "c money, n numeric(10,2), v varchar(20), w datetime, b blob)",
                  "insert into typed values(1, 2, 3, 4.5, 6.25, 7.5, 'x', "
                  "'2003-01-01 00:00:00', x'00')",
                  "insert into typed values(10, 20, 30, 40.5, 60.25, 70.5, 'y', null, null)"});
    CAdoConnection conn;
    conn.Open("DRIVER=QSQLITE;DATABASE=" + path);
    CAdoCommand cmd(&conn);
    cmd.Create("typed", "select t, s, i, d, c, n, v, w, b, count(*) over () as k from typed",
               CAdoRecordset::adCmdText);
    cmd.Execute();
    CAdoRecordset& rs = cmd.GetRecordset();
    ASSERT_EQ(rs.GetFieldCount(), 10);
    QList<int> types;
    for (int i = 0; i < rs.GetFieldCount(); ++i) types.append(rs.GetFieldType(i));
    using R = CAdoRecordset;
    EXPECT_EQ(types, (QList<int>{R::adTinyInt, R::adSmallInt, R::adInteger, R::adDouble,
                                 R::adCurrency, R::adNumeric, R::adVarWChar, R::adDBTimeStamp,
                                 R::adLongVarBinary, R::adInteger}));
    QList<bool> numbers;
    for (int t : types) numbers.append(R::IsNumberType(t));
    // A numeric (decimal) column holds numbers too: sums and money columns.
    EXPECT_EQ(numbers,
              (QList<bool>{true, true, true, true, true, true, false, false, false, true}));
    EXPECT_TRUE(R::IsNumberType(R::adBigInt));
    EXPECT_TRUE(R::IsNumberType(R::adSingle));
    EXPECT_EQ(rs.GetFieldValue("c").toDouble(), 6.25);
    rs.MoveNext();
    EXPECT_EQ(rs.GetFieldValue("t").toInt(), 10);
    rs.MoveNext();
    EXPECT_TRUE(rs.IsEOF());
    rs.MoveFirst();
    EXPECT_EQ(rs.GetFieldValue("v").toString(), "x");

    cmd.Create("byname", "typed", CAdoRecordset::adCmdTable);
    cmd.Execute();
    EXPECT_EQ(cmd.GetRecordset().GetRecordCount(), 2);

    cmd.Create("update", "update typed set v = ? where t = ?");
    cmd.SetParameters({QStringLiteral("z'z"), 10});
    cmd.Execute();
    EXPECT_EQ(cmd.GetRecordsAffected(), 1);
    EXPECT_TRUE(cmd.GetRecordset().IsEOF());

    cmd.Create("bad", "select * from nowhere");
    EXPECT_THROW(cmd.Execute(), CAdoException);
}

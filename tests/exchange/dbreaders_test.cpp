// Reading single values (INDB, INDBSQL) and queuing query results
// (GETRECORD) from data files and from a host database made here as SQLite
// files: the login database holds the dictionary, account set 001 of 2003
// its own database.

#include "exchange/dbreaders.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "engine/messages.h"
#include "engine/recalccache.h"
#include "engine/recordfill.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
#include "exchange/recordquery.h"
#include "platform/registry.h"
#include "reader/builtincomponents.h"
#include "reader/cadoconnection.h"
#include "reader/cappenvironment.h"
#include "reader/cqordb.h"
#include "reader/creaderapp.h"
#include "reader/sqldialect.h"
#include "reader/hostloginstandin.h"
#include "tests/common/testsupport.h"

namespace {

using namespace qor::jet;
using qor::cmd::DatabaseRequest;
using qor::cmd::Value;

void runSql(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("fixture-") + path;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const QString& s : statements) ASSERT_TRUE(q.exec(s)) << s.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

class DbReaders : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedRegistry = qgetenv("QOR_REGISTRY");
        m_dir = qortest::freshDir(
            QStringLiteral("dbreaders-") +
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        qputenv("QOR_REGISTRY", QFile::encodeName(m_dir + "/registry.ini"));
        m_login = m_dir + "/login.db";
        runSql(m_login,
               {"create table rpt_grpdef(systemid text, systemname text, tablename text, tabledefine text)",
                "create table rpt_itmdef(tablename text, tabledef text, fieldname text, fielddef text, fieldid int)",
                "insert into rpt_grpdef values('1', '总账', 'pz', '凭证')",
                "insert into rpt_itmdef values('pz', '凭证', 'je', '金额', 1)",
                "insert into rpt_itmdef values('pz', '凭证', 'km', '科目', 2)",
                "create table pz(km text, je real, flag int, memo text, amt numeric)",
                "insert into pz values('101', 0.5, 1, null, 10)",
                "insert into pz values('102', -0.25, 0, 'x', 20)",
                "insert into pz values('103', 3, 1, 'y', 30)",
                "create table ten(n int)"});
        QStringList tens;
        for (int i = 0; i < 10; ++i) tens << QStringLiteral("insert into ten values(%1)").arg(i);
        runSql(m_login, tens);
        m_account = m_dir + "/acct.db";
        runSql(m_account, {"create table pz(km text, je real)", "insert into pz values('101', 11)",
                           "insert into pz values('102', 22)", "insert into pz values('201', 33)"});
        CQorDB::SetLoginDbNameSource([this] { return "DRIVER=QSQLITE;DATABASE=" + m_login; });
        ASSERT_TRUE(qor::Registry::writeString(CAdoConnection::kDatabasesKey, "001_2003",
                                               "DRIVER=QSQLITE;DATABASE=" + m_account));
        m_app = std::make_unique<CReaderApp>(m_dir + "/app.ini");
        m_app->AddAccountSet("001", 2003);
        qor::RecordFillQueue::instance().Clear();
    }
    void TearDown() override {
        m_app.reset();
        qor::RecordFillQueue::instance().Clear();
        CQorDB::SetLoginDbNameSource({});
        qputenv("QOR_REGISTRY", m_savedRegistry);
    }

    Value indb(const QString& file, const QString& table, const QString& field, int record,
               const QString& condition = QString(), bool host = false) {
        DatabaseRequest r;
        r.hostDatabase = host;
        r.file = file;
        r.table = table;
        r.field = field;
        r.record = record;
        r.condition = condition;
        return qor::ReadDatabaseForFormula(r);
    }
    // A small sales table as a dBASE file, a text file and a working
    // database with a user, a hidden and a system table.
    void makeDataFiles() {
        LoadedTable t;
        t.fields = {{QStringLiteral("NAME"), kText, 20}, {QStringLiteral("QTY"), kDouble, 8}};
        t.rows = {{QStringLiteral("甲"), 3.0}, {QStringLiteral("乙"), 7.0}, {QStringLiteral("丙"), 9.0},
                  {QStringLiteral("丁"), 1.0}};
        QStringList notes;
        writeDBaseFile(m_dir + "/SALES.DBF", t, &notes);
        writeTextTable(m_dir + "/sales.txt", t, &notes);
        auto db = Database::create(m_dir + "/book.mdb");
        db->createTable({QStringLiteral("sales"), true, 0}, t.fields);
        db->createTable({QStringLiteral("hidden"), true, kHiddenObjectBit}, t.fields);
        for (const QVariantList& row : t.rows) {
            db->addRecord(QStringLiteral("sales"), row);
            db->addRecord(QStringLiteral("hidden"), row);
        }
    }

    QByteArray m_savedRegistry;
    QString m_dir, m_login, m_account;
    std::unique_ptr<CReaderApp> m_app;
};

TEST_F(DbReaders, DataFilesByExtensionWithoutCase) {
    makeDataFiles();
    // The table argument means nothing to dBASE and text files; a lower-
    // case extension is still a data file.
    EXPECT_EQ(indb(m_dir + "/SALES.DBF", "whatever", "NAME", 3).asText(), QStringLiteral("丙"));
    EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "name", 3).asText(), QStringLiteral("丙"));
    EXPECT_EQ(indb(m_dir + "/sales.txt", "", "QTY", 2).asNumber(), 7);
    // The condition filters before the records are counted.
    EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 1, "[QTY] > 5").asText(), QStringLiteral("乙"));
    EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 2, "QTY > 5").asText(), QStringLiteral("丙"));
    EXPECT_EQ(indb(m_dir + "/book.mdb", "sales", "QTY", 4).asNumber(), 1);
    EXPECT_EQ(indb(m_dir + "/book.mdb", "SALES", "NAME", 1, "NAME = \"乙\"").asText(), QStringLiteral("乙"));
    // A file written again is read again.
    LoadedTable changed;
    changed.fields = {{QStringLiteral("NAME"), kText, 20}};
    changed.rows = {{QStringLiteral("新的")}, {QStringLiteral("第二")}, {QStringLiteral("第三条记录")}};
    QStringList notes;
    writeDBaseFile(m_dir + "/SALES.DBF", changed, &notes);
    EXPECT_EQ(indb(m_dir + "/SALES.DBF", "", "NAME", 3).asText(), QStringLiteral("第三条记录"));
    EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 1).asText(), QStringLiteral("新的"));
    // A relative name is taken from the current directory.
    const QString saved = QDir::currentPath();
    QDir::setCurrent(m_dir + "/..");
    EXPECT_EQ(indb(QFileInfo(m_dir).fileName() + "/sales.dbf", "", "NAME", 2).asText(),
              QStringLiteral("第二"));
    QDir::setCurrent(saved);
}

// A text field of 64 characters or more comes whole from every kind of
// data file; whether it fits a cell is for the cell's gate to say.
TEST_F(DbReaders, LongTextFieldsComeWhole) {
    LoadedTable t;
    const QString longText = QString(100, QChar(u'长'));
    t.fields = {{QStringLiteral("NOTE"), kText, 120}};
    t.rows = {{longText}};
    QStringList notes;
    writeDBaseFile(m_dir + "/LONG.DBF", t, &notes);
    writeTextTable(m_dir + "/long.txt", t, &notes);
    auto db = Database::create(m_dir + "/long.mdb");
    db->createTable({QStringLiteral("t"), true, 0}, t.fields);
    db->addRecord(QStringLiteral("t"), t.rows[0]);
    db.reset();
    EXPECT_EQ(indb(m_dir + "/long.txt", "", "NOTE", 1).asText(), longText);
    EXPECT_EQ(indb(m_dir + "/long.mdb", "t", "NOTE", 1).asText(), longText);
    // dBASE keeps a field of at most 254 bytes: 100 characters of code
    // page 936 are 200 bytes, all of them there.
    EXPECT_EQ(indb(m_dir + "/LONG.DBF", "", "NOTE", 1).asText(), longText);
}

// A data file's condition keeps a cell's text a text too: between the
// formula's quotes it is that text whatever quotes it holds, outside them
// one value, never a field name.
TEST_F(DbReaders, DataFileConditionsKeepCellTextsAsTexts) {
    makeDataFiles();
    using P = QList<qor::cmd::TextPiece>;
    const auto byPieces = [&](const QString& file, const P& pieces) {
        DatabaseRequest r;
        r.file = m_dir + file;
        r.table = QStringLiteral("sales");
        r.field = QStringLiteral("NAME");
        r.record = 1;
        r.conditionPieces = pieces;
        for (const auto& p : pieces) r.condition += p.text;
        return qor::ReadDatabaseForFormula(r);
    };
    for (const char* file : {"/sales.dbf", "/sales.txt", "/book.mdb"}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(byPieces(file, P{{"NAME = '", true}, {"乙", false}, {"'", true}}).asText(), "乙");
        EXPECT_EQ(byPieces(file, P{{"NAME = '", true}, {"x' or 'a'='a", false}, {"'", true}}).asText(),
                  "");
        EXPECT_EQ(byPieces(file, P{{"NAME = \"", true}, {"x\" or \"a\"=\"a", false}, {"\"", true}})
                      .asText(),
                  "");
        // Outside quotes a number is a number, anything else one text.
        EXPECT_EQ(byPieces(file, P{{"QTY > ", true}, {"5", false}}).asText(), "乙");
        EXPECT_EQ(byPieces(file, P{{"QTY > 5 or NAME = ", true}, {"甲 or 1=1", false}}).asText(),
                  "乙");
        EXPECT_TRUE(byPieces(file, P{{"[", true}, {"NAME", false}, {"] = '甲'", true}}).isError());
        // A condition all of a cell is not the author's.
        EXPECT_TRUE(byPieces(file, P{{"QTY > 5", false}}).isError());
    }
}

// Cells of one recalculation reading the same field of a data file share
// one reading of it; the next recalculation reads the file as it is then.
TEST_F(DbReaders, OneRecalculationSharesADataFileReading) {
    makeDataFiles();
    LoadedTable changed;
    changed.fields = {{QStringLiteral("NAME"), kText, 20}};
    changed.rows = {{QStringLiteral("新")}, {QStringLiteral("改")}};
    QStringList notes;
    {
        qor::RecalcCacheScope recalculation;
        EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 1).asText(), QStringLiteral("甲"));
        writeDBaseFile(m_dir + "/SALES.DBF", changed, &notes);
        EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 4).asText(), QStringLiteral("丁"));
        EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 3).asText(), QStringLiteral("丙"));
        EXPECT_TRUE(indb(m_dir + "/sales.dbf", "", "NAME", 5).asText().isEmpty());
        // Another condition or field is a reading of its own.
        EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 2, "1 = 1").asText(), QStringLiteral("改"));
        EXPECT_EQ(indb(m_dir + "/book.mdb", "sales", "QTY", 2).asNumber(), 7);
        EXPECT_TRUE(indb(m_dir + "/book.mdb", "hidden", "QTY", 2).asText().isEmpty());
    }
    EXPECT_EQ(indb(m_dir + "/sales.dbf", "", "NAME", 1).asText(), QStringLiteral("新"));
}

TEST_F(DbReaders, DataFilesGiveNoValueOrTheReason) {
    makeDataFiles();
    // No value: past the last record, a hidden table, no field given.
    for (const Value& v : {indb(m_dir + "/sales.dbf", "", "NAME", 5), indb(m_dir + "/sales.dbf", "", "NAME", 2, "QTY > 8"),
                           indb(m_dir + "/book.mdb", "hidden", "NAME", 1),
                           indb(m_dir + "/book.mdb", "MSysQorTables", "name", 1),
                           indb(m_dir + "/book.mdb", "sales", "", 1)}) {
        EXPECT_TRUE(v.isText() && v.asText().isEmpty()) << int(v.kind());
    }
    // Failures name what was wrong.
    EXPECT_TRUE(indb(m_dir + "/sales.dbf", "", "PRICE", 1).errorMessage().contains("PRICE"));
    EXPECT_TRUE(indb(m_dir + "/sales.dbf", "", "NAME", 1, "QTY >> 1; drop").isError());
    EXPECT_TRUE(indb(m_dir + "/book.mdb", "nosuch", "NAME", 1).errorMessage().contains("nosuch"));
    EXPECT_TRUE(indb(m_dir + "/missing.mdb", "sales", "NAME", 1).isError());
    EXPECT_FALSE(QFileInfo::exists(m_dir + "/missing.mdb"));
}

TEST_F(DbReaders, HostDatabaseByAccountSetAndDefinitions) {
    // 001xxx20030101 is set 001 of 2003; the dictionary names table and field.
    EXPECT_EQ(indb("001xxx20030101", "pz", "je", 2, QString(), true).asNumber(), 22);
    EXPECT_EQ(indb("001xxx20030101", "[凭证]", "[金额]", 1, QString(), true).asNumber(), 11);
    // A bracketed definition in the condition becomes the field; the
    // author's double quotes become the database's single ones.
    EXPECT_EQ(indb("001xxx20030101", "[凭证]", "je", 1, "[科目] = \"201\"", true).asNumber(), 33);
    // Without a table there is nothing to read from: an error.
    EXPECT_TRUE(indb("001xxx20030101", "", "je", 1, "[科目] = '102'", true).errorMessage().contains(QStringLiteral("为空")));
    // Past the last record the last one is read; no record at all is a
    // null (INDB shows 0).
    EXPECT_EQ(indb("001xxx20030101", "pz", "je", 99, QString(), true).asNumber(), 33);
    const Value none = indb("001xxx20030101", "pz", "je", 1, "km = '999'", true);
    EXPECT_TRUE(none.isEmpty());
    // A name without a data-file extension goes to the host database too.
    EXPECT_EQ(indb("001xxx20030101", "pz", "km", 3).asText(), QStringLiteral("201"));
}

TEST_F(DbReaders, HostDatabaseFailuresAreErrorsWithTheirReason) {
    EXPECT_TRUE(indb("002xxx20030101", "pz", "je", 1, QString(), true).errorMessage().contains("002_2003"));
    EXPECT_TRUE(indb("001x", "pz", "je", 1, QString(), true).isError());
    EXPECT_TRUE(indb("001xxx20030101", "pz", "nosuch", 1, QString(), true).errorMessage().contains("nosuch"));
    EXPECT_TRUE(indb("001xxx20030101", "pz", "je", 1, "1=1; delete from pz", true).isError());
    EXPECT_TRUE(indb("001xxx20030101", "pz", "je", 1, "[科目 = 1", true).isError());
    // A condition that does not read says where and why, as a data file's does.
    EXPECT_TRUE(indb("001xxx20030101", "pz", "je", 1, "[科目 = 1", true)
                    .errorMessage()
                    .endsWith(QStringLiteral("条件“[科目 = 1”有语法错误：第1个字符处缺少“]”")));
    EXPECT_TRUE(indb("001xxx20030101", "pz", "je", 1, "1=1; delete from pz", true)
                    .errorMessage()
                    .endsWith(QStringLiteral(
                        "条件“1=1; delete from pz”有语法错误：第4个字符处不能使用“;”")));
    const QString refused = indb("001xxx20030101", "pz", "je", 1, "km = = 1", true).errorMessage();
    EXPECT_TRUE(refused.contains(QStringLiteral("条件“km = = 1”不能使用：")))
        << refused.toStdString();
    EXPECT_TRUE(indb("001x", "pz", "je", 1, QString(), true)
                    .errorMessage()
                    .contains(QStringLiteral("没有账套001x")));
    // Nothing was changed on the way.
    EXPECT_EQ(indb("001xxx20030101", "pz", "je", 3, QString(), true).asNumber(), 33);
}

// The formula's quotes become the server's; data is one value wherever it
// lands (the dialect's exact literal in a condition, bound in a statement
// or where the dialect has no exact literal), and a literal holding data
// becomes the author's parts joined with it.
TEST(HostConditions, DataIsAValueNeverSql) {
    using P = QList<qor::cmd::TextPiece>;
    using qor::HostText;
    const qor::SqlDialect& postgres = qor::SqlDialect::ForDriver("QPSQL");
    const qor::SqlDialect& odbc = qor::SqlDialect::ForDriver("QODBC");
    const auto bind = [&](const P& pieces, HostText kind = HostText::Condition,
                          const qor::SqlDialect& dialect = qor::SqlDialect::ForDriver("QSQLITE")) {
        qor::BoundStatement out;
        QString error;
        if (!qor::BindHostText(QString(), pieces, dialect, kind, &out, &error))
            return QStringList{"refused", error};
        QStringList r{out.sql};
        for (const QVariant& v : out.values) r.append(v.toString());
        return r;
    };
    // The author's text alone: quotes read as before.
    EXPECT_EQ(bind(P{{"km = \"1\" and [摘要] <> \"x\"", true}}),
              QStringList{"km = '1' and [摘要] <> 'x'"});
    EXPECT_EQ(bind(P{{"[a\"b] = \"it''s\"", true}}), QStringList{"[a\"b] = 'it''s'"});
    // Data between the author's quotes is the literal, whatever it holds.
    const QString cell = QStringLiteral("x\" union select pw from secrets where \"1\"=\"1");
    const P joined{{"memo = \"", true}, {cell, false}, {"\"", true}};
    EXPECT_EQ(bind(joined), QStringList{"memo = 'x\" union select pw from secrets where \"1\"=\"1'"});
    EXPECT_EQ(bind(joined, HostText::Condition, odbc), (QStringList{"memo = ?", cell}));
    EXPECT_EQ(bind(P{{"memo = '", true}, {"a\\'b", false}, {"' and n > ", true}, {"7", false}}),
              QStringList{"memo = 'a\\''b' and n > '7'"});
    // PostgreSQL reads backslashes in E'' whatever the session says.
    EXPECT_EQ(bind(P{{"memo = '", true}, {"a\\'b", false}, {"'", true}}, HostText::Condition,
                   postgres),
              QStringList{"memo = E'a\\\\''b'"});
    // A zero character has no literal: bound.
    EXPECT_EQ(bind(P{{"memo = '", true}, {QString(QChar(0)), false}, {"'", true}}).size(), 2);
    EXPECT_EQ(bind(P{{"memo like \"%", true}, {cell, false}, {"%\" or m = 'it''", true},
                     {"s", false}, {"'", true}}, HostText::Condition, odbc),
              (QStringList{"memo like {fn CONCAT({fn CONCAT('%', ?)}, '%')} or m = "
                           "{fn CONCAT('it''', ?)}",
                           cell, "s"}));
    EXPECT_EQ(bind(P{{"m like '%", true}, {"'", false}, {"'", true}}),
              QStringList{"m like ('%' || '''')"});
    // Outside quotes data is one value too, never SQL.
    EXPECT_EQ(bind(P{{"km = ", true}, {"'1' or 1=1", false}}, HostText::Statement),
              (QStringList{"km = ?", "'1' or 1=1"}));
    // A statement's double quotes name; its data is bound; data cannot be
    // a name.
    EXPECT_EQ(bind(P{{"select \"a\" from t where b = '", true}, {"it's", false}, {"'", true}},
                   HostText::Statement, postgres),
              (QStringList{"select \"a\" from t where b = ?", "it's"}));
    EXPECT_EQ(bind(P{{"select \"", true}, {"pw", false}, {"\" from t", true}}, HostText::Statement)
                  .first(),
              "refused");
    EXPECT_EQ(bind(P{{"[", true}, {"科目", false}, {"] = 1", true}}).first(), "refused");
    // Nothing of it written by the author: refused, not run as a literal.
    const QStringList alone = bind(P{{"memo = 'x'", false}});
    ASSERT_EQ(alone.first(), "refused");
    EXPECT_TRUE(alone.last().contains(LoadErrorText(qor::str::kNothingWritten).section(u'“', 0, 0)))
        << alone.last().toStdString();
}

// Every quote the dialect's servers know is read where the author's text
// opens and closes it: data lands in code or a plain literal and is a
// value; inside a name, an escape string or a dollar-quoted body it is
// refused, naming the quote; a quote character inside another quote opens
// nothing.
TEST(HostConditions, EveryQuoteOfTheDialectIsReadAsTheServerReadsIt) {
    using P = QList<qor::cmd::TextPiece>;
    using qor::HostText;
    const qor::SqlDialect& sqlite = qor::SqlDialect::ForDriver("QSQLITE");
    const qor::SqlDialect& postgres = qor::SqlDialect::ForDriver("QPSQL");
    const qor::SqlDialect& odbc = qor::SqlDialect::ForDriver("QODBC");
    const auto bind = [](const P& pieces, const qor::SqlDialect& dialect,
                         HostText kind = HostText::Condition) {
        qor::BoundStatement out;
        QString error;
        if (!qor::BindHostText(QString(), pieces, dialect, kind, &out, &error))
            return QStringList{"refused", error};
        QStringList r{out.sql};
        for (const QVariant& v : out.values) r.append(v.toString());
        return r;
    };
    const QString cell = QStringLiteral("$$ AND 1=0 UNION SELECT pw FROM secrets WHERE pw<>$$");
    const QString inQuote = LoadErrorText(qor::str::kDataInQuote).section(u'“', 0, 0);
    const QString asName = LoadErrorText(qor::str::kDataAsName).section(u'“', 0, 0);
    struct Case {
        const char* what;
        P pieces;
        const qor::SqlDialect* dialect;
        HostText kind;
        QString refusal;  // the message's head
        QString quote;    // the quote the refusal names, where it names one
    };
    const QList<Case> refusals = {
        {"dollar body", {{"memo = $$", true}, {cell, false}, {"$$", true}}, &postgres,
         HostText::Condition, inQuote, "$$"},
        {"tagged body", {{"memo = $q$", true}, {cell, false}, {"$q$", true}}, &postgres,
         HostText::Condition, inQuote, "$q$"},
        {"tag beyond ASCII", {{"memo = $标_1$", true}, {cell, false}, {"$标_1$", true}}, &postgres,
         HostText::Condition, inQuote, "$标_1$"},
        {"escape string", {{"memo = E'", true}, {"x", false}, {"'", true}}, &postgres,
         HostText::Condition, inQuote, "E'"},
        {"escape string in the author's double quotes",
         {{"memo = e\"", true}, {"x", false}, {"\"", true}}, &postgres, HostText::Condition,
         inQuote, "e'"},
        {"escape string after a number", {{"n > 1E'", true}, {"x", false}, {"'", true}}, &postgres,
         HostText::Condition, inQuote, QString()},
        {"escape string after its escaped quote",
         {{"memo = E'a\\'", true}, {"x", false}, {"'", true}}, &postgres, HostText::Condition,
         inQuote, "E'"},
        {"statement's dollar body", {{"select $$", true}, {"x", false}, {"$$", true}}, &postgres,
         HostText::Statement, inQuote, "$$"},
        {"back-quoted name", {{"`", true}, {"pw", false}, {"` = 1", true}}, &sqlite,
         HostText::Condition, asName, QString()},
        {"back-quoted name of a statement", {{"select `", true}, {"pw", false}, {"` from t", true}},
         &odbc, HostText::Statement, asName, QString()},
        {"bracketed name on PostgreSQL", {{"[", true}, {"pw", false}, {"] = 1", true}}, &postgres,
         HostText::Condition, asName, QString()},
        {"number the server's versions read apart", {{"n > 1e$ and m = ", true}, {"x", false}},
         &postgres, HostText::Condition, inQuote, QString()},
        {"backslash a server's setting may read as an escape",
         {{"memo like 'a\\_%' and m = ", true}, {"x", false}}, &postgres, HostText::Condition,
         inQuote, QString()},
    };
    for (const Case& c : refusals) {
        SCOPED_TRACE(c.what);
        const QStringList r = bind(c.pieces, *c.dialect, c.kind);
        ASSERT_EQ(r.first(), "refused") << r.join(" | ").toStdString();
        EXPECT_TRUE(r.last().startsWith(c.refusal)) << r.last().toStdString();
        if (!c.quote.isEmpty()) {
            EXPECT_TRUE(r.last().contains(u'“' + c.quote + u'”')) << r.last().toStdString();
        }
    }
    // A quote inside another quote opens nothing; the data after it is a
    // value in code.
    EXPECT_EQ(bind(P{{"memo <> $$it's$$ and memo = ", true}, {"x'", false}}, postgres),
              QStringList{"memo <> $$it's$$ and memo = E'x'''"});
    EXPECT_EQ(bind(P{{"memo <> $a$x$a$$b$'$b$ and memo = '", true}, {"x", false}, {"'", true}},
                   postgres),
              QStringList{"memo <> $a$x$a$$b$'$b$ and memo = E'x'"});
    EXPECT_EQ(bind(P{{"memo <> E'it\\'s' and memo = '%", true}, {"x", false}, {"'", true}},
                   postgres),
              QStringList{"memo <> E'it\\'s' and memo = ('%' || E'x')"});
    EXPECT_EQ(bind(P{{"`a'b` = ", true}, {"x", false}}, sqlite), QStringList{"`a'b` = 'x'"});
    EXPECT_EQ(bind(P{{"\"a'b\" = ", true}, {"x", false}}, postgres, HostText::Statement),
              (QStringList{"\"a'b\" = ?", "x"}));
    // What is no quote to the server is none here: "$" inside a name, a
    // name ending in E, a back quote on PostgreSQL, "$$" on SQLite.
    EXPECT_EQ(bind(P{{"a$$ = ", true}, {"x", false}}, postgres), QStringList{"a$$ = E'x'"});
    EXPECT_EQ(bind(P{{"xE'", true}, {"x", false}, {"'", true}}, postgres), QStringList{"xEE'x'"});
    EXPECT_EQ(bind(P{{"a ` ", true}, {"x", false}}, postgres), QStringList{"a ` E'x'"});
    EXPECT_EQ(bind(P{{"memo = $$", true}, {"x", false}, {"$$", true}}, sqlite),
              QStringList{"memo = $$'x'$$"});
    EXPECT_EQ(bind(P{{"memo like 'a\\_%' and m = ", true}, {"x", false}}, sqlite),
              QStringList{"memo like 'a\\_%' and m = 'x'"});
}

TEST(CellTexts, ValuesAsTheEngineReadsThem) {
    EXPECT_EQ(VariantToCellText(0.5), "0.5");
    EXPECT_EQ(VariantToCellText(-0.25), "-0.25");
    EXPECT_EQ(VariantToCellText(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(VariantToCellText(123456789012345.0), "123456789012345");
    EXPECT_EQ(VariantToCellText(true), "1");
    EXPECT_EQ(VariantToCellText(false), "0");
    EXPECT_EQ(VariantToCellText(QVariant()), "");
    EXPECT_EQ(VariantToCellText(qlonglong(42)), "42");
    EXPECT_EQ(VariantToCellText(QStringLiteral("文本")), "文本");
}

using Cells = QList<std::pair<int, QString>>;
Cells cellsOf(const RecordFillRequest& r) {
    Cells out;
    for (int i = 0; i < r.cells->CellCount(); ++i) out.append({r.cells->CellKind(i), r.cells->CellText(i)});
    return out;
}

TEST_F(DbReaders, RecordQueriesFitTheirArea) {
    auto& queue = qor::RecordFillQueue::instance();
    QString error;
    // B2:D10 down the rows with 5 fields: 3 fields, at most 9 records.
    ASSERT_EQ(BuildCellRangeXml("select km, je, flag, memo, amt from pz", "B2:D10", 9999, "1", 1, &error), 1)
        << error.toStdString();
    // B2:H10 with 2 fields of 3 records: B2:C4. A field definition is
    // looked up in the table named before it.
    ASSERT_EQ(BuildCellRangeXml("select km, amt from [凭证] where [金额] is not null", "B2:H10", 9999, "1", 1, &error), 1)
        << error.toStdString();
    // Across the columns, one cell: open-ended, then fitted.
    ASSERT_EQ(BuildCellRangeXml("select count(*), sum(amt) from pz", "C3", 255, "0", 2, &error), 1);
    // Limit 3 of 10; an empty area is the whole table.
    ASSERT_EQ(BuildCellRangeXml("select n from ten;", "", 3, "1", 1, &error), 1);
    // No record: one row deep, not turned inside out.
    ASSERT_EQ(BuildCellRangeXml("select km from pz where 0", "A1:B5", 9999, "1", 1, &error), 1);
    ASSERT_EQ(queue.PendingCount(), 5);
    const auto& r = queue.Requests();
    auto corners = [](const RecordFillRequest& q) { return QList<int>{q.c1, q.r1, q.c2, q.r2}; };
    EXPECT_EQ(corners(r[0]), (QList<int>{1, 1, 3, 3}));
    EXPECT_EQ(cellsOf(r[0]), (Cells{{2, "101"}, {2, "102"}, {2, "103"}, {1, "0.5"}, {1, "-0.25"},
                                    {1, "3"}, {1, "1"}, {1, "0"}, {1, "1"}}));
    EXPECT_EQ(corners(r[1]), (QList<int>{1, 1, 2, 3}));
    EXPECT_EQ(cellsOf(r[1]).mid(3), (Cells{{1, "10"}, {1, "20"}, {1, "30"}}));
    // Aggregates are numbers.
    EXPECT_EQ(corners(r[2]), (QList<int>{2, 2, 2, 3}));
    EXPECT_EQ(cellsOf(r[2]), (Cells{{1, "3"}, {1, "60"}}));
    EXPECT_EQ(r[2].page, 2);
    EXPECT_EQ(r[2].direction, "0");
    EXPECT_EQ(r[3].wholeTable, 1);
    EXPECT_EQ(corners(r[3]), (QList<int>{0, 0, 0, 2}));
    EXPECT_EQ(cellsOf(r[3]), (Cells{{1, "0"}, {1, "1"}, {1, "2"}}));
    EXPECT_EQ(corners(r[4]), (QList<int>{0, 0, 0, 0}));
    EXPECT_EQ(r[4].cells->CellCount(), 0);
}

TEST_F(DbReaders, FailedRecordQueriesQueueNothing) {
    auto& queue = qor::RecordFillQueue::instance();
    QString error;
    for (const QString& sql : {QStringLiteral("select [没有] from pz"), QStringLiteral("select [科目 from pz"),
                               QStringLiteral("select nosuch from pz"),
                               QStringLiteral("delete from pz"),
                               QStringLiteral("select 1; delete from pz")}) {
        SCOPED_TRACE(sql.toStdString());
        EXPECT_EQ(BuildCellRangeXml(sql, "A1", 10, "1", 1, &error), 0);
        EXPECT_TRUE(error.startsWith(LoadErrorText(qor::str::kCheckSqlStatement)))
            << error.toStdString();
    }
    EXPECT_EQ(queue.PendingCount(), 0);
    // The read-only connection kept the delete out.
    ASSERT_EQ(BuildCellRangeXml("select count(*) from pz", "A1", 10, "1", 1, &error), 1);
    EXPECT_EQ(queue.Requests().at(0).cells->CellText(0), "3");
    // Without a login database the reason says so.
    CQorDB::SetLoginDbNameSource([] { return QString(); });
    EXPECT_EQ(BuildCellRangeXml("select 1", "A1", 10, "1", 1, &error), 0);
    EXPECT_FALSE(error.trimmed().isEmpty());
}

}  // namespace

// In the application nothing but the login names account sets: the first
// INDBSQL that misses one logs in, and the set logged in to is then read.
TEST_F(DbReaders, HostDatabaseOfTheAccountSetLoggedInTo) {
    qor::RegisterBuiltinComponents();
    m_app = std::make_unique<CReaderApp>(m_dir + "/app2.ini");  // no sets
    const QString key = qor::HostLoginStandIn::kLoginKey;
    qor::Registry::writeString(key, "CAcc_Id", "001");
    qor::Registry::writeString(key, "CIYear", "2003");
    qor::Registry::writeString(key, "CUserId", "demo");
    qor::Registry::writeString(key, "CurDate", "2003-06-30");
    {
        CAppEnvironment env(*m_app);
        EXPECT_EQ(indb("001xxx20030101", "pz", "je", 2, QString(), true).asNumber(), 22);
        EXPECT_TRUE(env.IsLoggedIn());
        EXPECT_EQ(m_app->GetAccountSetCount(), 1);
        // Another set is still unknown.
        EXPECT_TRUE(indb("002xxx20030101", "pz", "je", 1, QString(), true).errorMessage().contains("002_2003"));
    }
}

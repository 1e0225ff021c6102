// The bracket-name tokenizer and the dialect table, without a database:
// a driver quotes names without being connected.
#include "reader/sqldialect.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlDriver>

#include "reader/cadoexception.h"
#include "tests/common/testsupport.h"

static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class Driver {
public:
    explicit Driver(const char* name) : m_name(QStringLiteral("dialect-") + name) {
        QSqlDatabase::addDatabase(QLatin1String(name), m_name);
    }
    ~Driver() { QSqlDatabase::removeDatabase(m_name); }
    QSqlDriver* get() const { return QSqlDatabase::database(m_name, false).driver(); }

private:
    QString m_name;
};

}  // namespace

TEST(SqlDialect, BracketNamesBecomeQuotedNamesOutsideLiteralsAndComments) {
    Driver sqlite("QSQLITE");
    auto map = [&](const QString& sql) { return qor::MapBracketNames(sqlite.get(), sql); };
    EXPECT_EQ(map("Select Sum([T].[F]) From [T]"), "Select Sum(\"T\".\"F\") From \"T\"");
    EXPECT_EQ(map("select [凭证].[金额] from [凭证]"), "select \"凭证\".\"金额\" from \"凭证\"");
    // "]]" is a "]" in the name; a quote in the name is doubled; a dot
    // does not split it.
    EXPECT_EQ(map("select [a]]b], [say \"hi\"], [x.y]"),
              "select \"a]b\", \"say \"\"hi\"\"\", \"x.y\"");
    // Left alone: literals (doubled quotes, E'' escapes), quoted names,
    // comments, dollar-quoted bodies, subscripts and parameters.
    for (const QString same :
         {"select '[a]' || 'it''s [b]'", "select E'\\'[a]'", "select \"[a]\" from t",
          "select 1 -- [a]\n", "select /* [a] */ 1", "select $$ [a] $$, $q$ [b] $q$",
          "select arr[1], f(x)[2], \"c\"[3] from t", "select $1", "select ? from t"})
        EXPECT_EQ(map(same), same);
    EXPECT_EQ(map("select '[a]', [b] -- [c]\n, [d]"), "select '[a]', \"b\" -- [c]\n, \"d\"");

    EXPECT_THROW(map("select [a from t"), CAdoException);
    EXPECT_THROW(map("select [] from t"), CAdoException);
    EXPECT_THROW(qor::QuoteIdentifier(sqlite.get(), "[ ]", true), CAdoException);
    EXPECT_EQ(qor::QuoteIdentifier(sqlite.get(), "[凭证]", true), "\"凭证\"");
    EXPECT_EQ(qor::QuoteIdentifier(sqlite.get(), "main.t", true), "\"main\".\"t\"");

    if (!qortest::needReader(QSqlDatabase::isDriverAvailable("QPSQL"),
                             QStringLiteral("QPSQL driver")))
        GTEST_SKIP() << "no QPSQL driver";
    Driver pg("QPSQL");
    EXPECT_EQ(qor::MapBracketNames(pg.get(), "select [T].[F] from [T]"),
              "select \"T\".\"F\" from \"T\"");
}

// Concatenation and comparison run against real databases in db_test.
TEST(SqlDialect, RecordLimitsFitEachDriver) {
    const qor::SqlDialect& sqlite = qor::SqlDialect::ForDriver("QSQLITE");
    const qor::SqlDialect& pg = qor::SqlDialect::ForDriver("qpsql");
    const qor::SqlDialect& odbc = qor::SqlDialect::ForDriver("QODBC");
    EXPECT_EQ(pg.kind, qor::SqlDialectKind::PostgreSQL);
    EXPECT_EQ(qor::SqlDialect::ForDriver("QMYSTERY").kind, qor::SqlDialectKind::Odbc);

    EXPECT_EQ(sqlite.LimitRecords(" select a from t ; ", 10), "select a from t limit 10");
    // A "%2" in the statement's own text is not a place for the count.
    EXPECT_EQ(pg.LimitRecords("select '%2' from t", 0), "select '%2' from t limit 0");
    EXPECT_EQ(pg.LimitRecords("select a from t", -1), "select a from t");
    EXPECT_EQ(odbc.LimitRecords("SELECT DISTINCT a from t", 5), "SELECT DISTINCT top 5 a from t");
    EXPECT_THROW(odbc.LimitRecords("with x as (select 1) select * from x", 5), CAdoException);

    // Bound: the number travels as a value where the dialect takes a mark.
    QVariantList values{"kept"};
    EXPECT_EQ(pg.LimitRecords("select '%1?' from t;", 3, &values), "select '%1?' from t limit ?");
    EXPECT_EQ(values, (QVariantList{"kept", 3}));
    EXPECT_EQ(odbc.LimitRecords("select a from t", 4, &values), "select top 4 a from t");
    EXPECT_EQ(sqlite.LimitRecords("select a from t", -1, &values), "select a from t");
    EXPECT_EQ(values.size(), 2);
}

// A second statement or a comment is found however a server reads its
// quotes; inside a literal or a quoted name they are characters.
TEST(SqlDialect, OneStatementUnderEveryReadingOfQuotes) {
    for (const char* one : {"select 1", "select ';--/*'", "select 1;", "select 1 ; ;  \n",
                            "select \"a;b\" from t", "select x from t where x = 'it''s;'",
                            "select n - -1 from t", "select 4 / 2"})
        EXPECT_TRUE(qor::IsSingleStatement(QString::fromUtf8(one))) << one;
    for (const char* more : {
             "select 1; delete from t", "select 1 -- rest", "select /* c */ 1", "select 1;;select 2",
             // PostgreSQL's escape strings and dollar quotes.
             "select E'x\\'' ; delete from t --'", "select $a$'$a$; delete from t --'",
             // Backslashes as PostgreSQL reads them with standard strings off.
             "select 'a\\'; delete from t; --'", "select 'a\\\\'; delete from t",
             // SQLite's and ODBC servers' quoted names.
             "select `a'` ; delete from t --'", "select [a'] ; delete from t --'",
             // A dollar body SQLite would not see.
             "select $$;$$",
             // A tag beyond ASCII is a tag, as the server reads it.
             "select $标$'$标$; delete from t --'"})
        EXPECT_FALSE(qor::IsSingleStatement(QString::fromUtf8(more))) << more;
}

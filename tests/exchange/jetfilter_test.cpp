// Record filters: what users write as a condition selects the records they
// mean, and nothing they write can reach the statement as SQL.

#include "exchange/jetfilter.h"

#include <gtest/gtest.h>

#include <QDate>

#include "exchange/jetdb.h"
#include "tests/common/testsupport.h"

namespace {

using namespace qor::jet;

class JetFilter : public ::testing::Test {
protected:
    void SetUp() override {
        m_db = Database::create(m_tmp.path());
        QList<FieldInfo> fields = {{QStringLiteral("Name"), kText, 50},
                                   {QStringLiteral("Qty"), kDouble, 8},
                                   {QStringLiteral("When"), kDate, 8},
                                   {QStringLiteral("单位"), kText, 50}};
        m_db->createTable({QStringLiteral("sales"), true, 0}, fields);
        add(QStringLiteral("apple"), 3, QDate(2024, 1, 5), QStringLiteral("甲"));
        add(QStringLiteral("Banana"), 7, QDate(2024, 2, 1), QStringLiteral("乙"));
        add(QStringLiteral("cherry_50%"), 12.5, QDate(2024, 3, 9), QStringLiteral("甲"));
        add(QStringLiteral("O'Brien"), QVariant(), QVariant(), QString());
    }
    void add(const QVariant& a, const QVariant& b, const QVariant& c, const QVariant& d) {
        m_db->addRecord(QStringLiteral("sales"), {a, b, c, d});
    }
    // The names of the records the filter keeps, in order.
    QStringList names(const QString& filter) {
        Recordset rs = m_db->openSnapshot(QStringLiteral("sales"), {QStringLiteral("Name")}, filter);
        QStringList out;
        for (rs.moveFirst(); !rs.isEOF(); rs.moveNext()) out << rs.value(0).toString();
        return out;
    }
    QString errorOf(const QString& filter) {
        try {
            names(filter);
        } catch (const JetError& e) {
            return e.message();
        }
        return QString();
    }

    TemporaryDatabase m_tmp;
    std::unique_ptr<Database> m_db;
};

TEST_F(JetFilter, ComparisonsLogicAndArithmetic) {
    EXPECT_EQ(names(QStringLiteral("[Qty] > 5")), QStringList({"Banana", "cherry_50%"}));
    EXPECT_EQ(names(QStringLiteral("Qty >= 3 AND NOT Qty > 7")), QStringList({"apple", "Banana"}));
    EXPECT_EQ(names(QStringLiteral("qty = 3 or [QTY] = 12.5")), QStringList({"apple", "cherry_50%"}));
    EXPECT_EQ(names(QStringLiteral("Qty Between 4 And 13")), QStringList({"Banana", "cherry_50%"}));
    EXPECT_EQ(names(QStringLiteral("Qty In (3, 7)")), QStringList({"apple", "Banana"}));
    EXPECT_EQ(names(QStringLiteral("(Qty * 2 - 1) / 1 = 13")), QStringList({"Banana"}));
    EXPECT_EQ(names(QStringLiteral("Qty Mod 2 = 1")), QStringList({"apple", "Banana"}));
    EXPECT_EQ(names(QStringLiteral("Qty Is Null")), QStringList({"O'Brien"}));
    EXPECT_EQ(names(QStringLiteral("Qty Is Not Null And .5 < 1e1")).size(), 3);
    EXPECT_EQ(names(QStringLiteral("True")).size(), 4);
    EXPECT_TRUE(names(QStringLiteral("False")).isEmpty());
}

TEST_F(JetFilter, TextsDatesAndPatterns) {
    // Texts compare without case; both quote kinds, doubled quotes inside.
    EXPECT_EQ(names(QStringLiteral("Name = 'BANANA'")), QStringList({"Banana"}));
    EXPECT_EQ(names(QStringLiteral("Name = \"o'brien\"")), QStringList({"O'Brien"}));
    EXPECT_EQ(names(QStringLiteral("Name = 'O''Brien'")), QStringList({"O'Brien"}));
    EXPECT_EQ(names(QStringLiteral("[单位] = '甲'")), QStringList({"apple", "cherry_50%"}));
    EXPECT_EQ(names(QStringLiteral("Name & '!' = 'apple!'")), QStringList({"apple"}));
    EXPECT_EQ(names(QStringLiteral("[When] = #2/1/2024#")), QStringList({"Banana"}));
    EXPECT_EQ(names(QStringLiteral("[When] > #2024-02-01#")), QStringList({"cherry_50%"}));
    // * and ? are the wildcards; SQL's own % and _ are plain characters.
    EXPECT_EQ(names(QStringLiteral("Name Like 'b*'")), QStringList({"Banana"}));
    EXPECT_EQ(names(QStringLiteral("Name Like '?pple'")), QStringList({"apple"}));
    EXPECT_EQ(names(QStringLiteral("Name Like '*_50%'")), QStringList({"cherry_50%"}));
    EXPECT_TRUE(names(QStringLiteral("Name Like 'a%'")).isEmpty());
    EXPECT_TRUE(names(QStringLiteral("Name Like 'cherry_5_%'")).isEmpty());
    EXPECT_EQ(names(QStringLiteral("Name Not Like '*[_]*'")).size(), 3);
}

TEST_F(JetFilter, NothingReachesTheStatementAsSql) {
    // An attempt at a second statement, a comment or a sub-select is
    // refused or stays a value; the table is intact afterwards.
    EXPECT_TRUE(names(QStringLiteral("Name = 'x''; DROP TABLE qor_jet_tables; --'")).isEmpty());
    EXPECT_TRUE(errorOf(QStringLiteral("Qty = 1; DELETE FROM qor_jet_fields")).contains(u';'));
    EXPECT_FALSE(errorOf(QStringLiteral("Qty = 3 -- comment")).isEmpty());
    EXPECT_TRUE(errorOf(QStringLiteral("Qty IN (SELECT 1)")).contains(QStringLiteral("SELECT")));
    EXPECT_TRUE(errorOf(QStringLiteral("lower(Name) = 'a'")).contains(QStringLiteral("lower")));
    EXPECT_EQ(names(QString()).size(), 4);
    EXPECT_EQ(m_db->fields(QStringLiteral("sales")).size(), 4);
}

TEST_F(JetFilter, ErrorsNameWhatWasWrong) {
    EXPECT_TRUE(errorOf(QStringLiteral("[Price] > 1")).contains(QStringLiteral("Price")));
    EXPECT_TRUE(errorOf(QStringLiteral("Qty > 1 % 2")).contains(u'%'));
    EXPECT_TRUE(errorOf(QStringLiteral("Name = 'open")).contains(QStringLiteral("引号")));
    EXPECT_TRUE(errorOf(QStringLiteral("[Qty > 1")).contains(u'['));
    EXPECT_TRUE(errorOf(QStringLiteral("[When] = #31/31/2024#")).contains(QStringLiteral("31/31")));
    EXPECT_TRUE(errorOf(QStringLiteral("(Qty > 1")).contains(u'('));
    EXPECT_TRUE(errorOf(QStringLiteral("Qty > 1)")).contains(u')'));
    EXPECT_TRUE(errorOf(QStringLiteral("Name Like '[ab]*'")).contains(QStringLiteral("[ab]")));
    EXPECT_TRUE(errorOf(QStringLiteral("Qty = = 1")).contains(QStringLiteral("Qty = = 1")));
    EXPECT_TRUE(errorOf(QStringLiteral("3abc = 1")).contains(QStringLiteral("3abc")));
    // Told in the user's language, naming the piece where reading stopped.
    for (const char* bad :
         {"Name = 'open", "(Qty > 1", "Name Like '[ab]*'", "[When] = #31/31/2024#"})
        EXPECT_TRUE(errorOf(QString::fromUtf8(bad)).contains(QStringLiteral("有语法错误：第")))
            << bad;
}

// A condition that does not read says where (counting characters from 1)
// and why, in the user's language; one that ends on an operator or puts
// two comparisons together is told so before the database sees it.
TEST_F(JetFilter, SyntaxErrorsSayWhereAndWhy) {
    const struct {
        const char* condition;
        const char* said;
    } cases[] = {
        {"Qty >", "第5个字符处“>”之后缺少值"},
        {"Qty = = 1", "第7个字符处“=”之后缺少值"},
        {"Qty > 1 AND", "第9个字符处“AND”之后缺少值"},
        {"[Qty > 1", "第1个字符处缺少“]”"},
        {"Qty > 1)", "第8个字符处多了“)”"},
        {"(Qty > 1", "第9个字符处缺少“)”"},
        {"lower(Name) = 'a'", "第1个字符处条件中不能调用函数lower"},
        {"Qty = 3abc", "第7个字符处“3abc”不是数值"},
        {"[When] = #31/31/2024#", "第10个字符处“31/31/2024”不是日期"},
        {"Qty > 1 % 2", "第9个字符处不能使用“%”"},
        {"Name Like '[ab]*'", "第11个字符处不能使用“[ab]*”"},
        {"[] = 1", "“[]”中没有字段名"},
    };
    for (const auto& c : cases) {
        const QString condition = QString::fromUtf8(c.condition);
        const QString error = errorOf(condition);
        EXPECT_TRUE(error.startsWith(QStringLiteral("条件“%1”有语法错误：").arg(condition)))
            << c.condition << ": " << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.said)))
            << c.condition << ": " << error.toStdString();
    }
    // Negative numbers and NOT before a comparison still read.
    EXPECT_EQ(names(QStringLiteral("Qty > -1 AND NOT Qty = 7")),
              QStringList({"apple", "cherry_50%"}));
}

TEST(JetFilterText, IdentifiersAreMappedAndValuesBound) {
    const TranslatedFilter f = translateFilter(QStringLiteral("[a\"b] = \"x\" AND c <> 2"),
                                               [](const QString& n) { return QStringLiteral("f%1").arg(n.size()); });
    EXPECT_EQ(f.sql, QStringLiteral("f3 = ? AND f1 <> ?"));
    ASSERT_EQ(f.binds.size(), 2);
    EXPECT_EQ(f.binds.at(0).toString(), QStringLiteral("x"));
    EXPECT_EQ(f.binds.at(1).toLongLong(), 2);
}

}  // namespace

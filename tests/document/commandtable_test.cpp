#include "document/commandtable.h"

#include <gtest/gtest.h>

namespace {

struct Counter {
    int runs = 0;
    bool open = false;
    bool editingInPlace = false;
};

const qor::CommandTable<Counter>& table() {
    static const qor::CommandTable<Counter> t(
        {
            {30, nullptr, [](Counter& c, int) { ++c.runs; }, nullptr},
            {10,
             [](Counter& c, int, qor::CommandState&) {
                 return c.open ? QString() : QStringLiteral("没有打开的报表");
             },
             [](Counter& c, int) { c.runs += 10; }, nullptr},
            {20,
             [](Counter&, int, qor::CommandState& s) {
                 s.checkable = true;
                 s.checked = true;
                 return QString();
             },
             nullptr, nullptr},
            {40, nullptr, [](Counter& c, int) { c.runs += 100; },
             [](const Counter& c) { return c.editingInPlace; }},
        },
        QStringLiteral("本功能尚未提供"));
    return t;
}

TEST(CommandTable, ARowDecidesItsStateAndRunsItsHandler) {
    Counter c;
    qor::CommandState s;
    // Rows given out of order are still found, and an unknown id is not ours.
    EXPECT_EQ(table().Ids().Ids(), (QList<int>{10, 20, 30, 40}));
    EXPECT_FALSE(table().Update(c, 11, s));
    EXPECT_FALSE(table().Run(c, 11));

    ASSERT_TRUE(table().Update(c, 10, s));
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ(s.reason, QStringLiteral("没有打开的报表"));
    c.open = true;
    ASSERT_TRUE(table().Update(c, 10, s));
    EXPECT_TRUE(s.enabled);
    EXPECT_TRUE(s.reason.isEmpty());
    EXPECT_TRUE(table().Run(c, 10));
    EXPECT_EQ(c.runs, 10);

    ASSERT_TRUE(table().Update(c, 30, s));
    EXPECT_TRUE(s.enabled);
}

TEST(CommandTable, ARowWithNothingBehindItIsOffWithItsReasonAndNeverRuns) {
    Counter c;
    qor::CommandState s;
    ASSERT_TRUE(table().Update(c, 20, s));
    EXPECT_FALSE(s.enabled);
    EXPECT_FALSE(s.checked);  // what the rule would show is not shown for a dead command
    EXPECT_EQ(s.reason, QStringLiteral("本功能尚未提供"));
    EXPECT_FALSE(table().Run(c, 20));
    EXPECT_EQ(c.runs, 0);
}

TEST(CommandTable, ARowThatDoesNotOwnItsCommandNowLetsTheNextTargetAnswer) {
    Counter c;
    qor::CommandState s;
    EXPECT_FALSE(table().Update(c, 40, s));
    EXPECT_FALSE(table().Run(c, 40));
    c.editingInPlace = true;
    EXPECT_TRUE(table().Update(c, 40, s));
    EXPECT_TRUE(s.enabled);
    EXPECT_TRUE(table().Run(c, 40));
    EXPECT_EQ(c.runs, 100);
}

TEST(CommandTable, ACommandReachedWhileOffIsHandledWithoutRunning) {
    Counter c;
    // Off: handled, so no later target runs it, and nothing runs.
    EXPECT_TRUE(qor::RunWhenOn(table(), c, 10));
    EXPECT_EQ(c.runs, 0);
    // A row with nothing behind it is handled the same way.
    EXPECT_TRUE(qor::RunWhenOn(table(), c, 20));
    EXPECT_EQ(c.runs, 0);
    c.open = true;
    EXPECT_TRUE(qor::RunWhenOn(table(), c, 10));
    EXPECT_EQ(c.runs, 10);
    // Not ours, or not ours just now: left to the next target.
    EXPECT_FALSE(qor::RunWhenOn(table(), c, 11));
    EXPECT_FALSE(qor::RunWhenOn(table(), c, 40));
    EXPECT_EQ(c.runs, 10);
}

}  // namespace

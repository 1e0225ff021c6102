#include "engine/messages.h"

#include <gtest/gtest.h>

TEST(MessagesTest, LoadErrorTextGivesTableTextsAndReaderErrorForUnknownIds) {
    EXPECT_EQ(LoadErrorText(62115), u"输入错误！标准输入如：1,8,14");
    EXPECT_EQ(LoadErrorText(62437), u"￥");
    EXPECT_EQ(LoadErrorText(1), "Reader ERROR");
    EXPECT_EQ(LoadErrorText(-62115), "Reader ERROR");
    QString out = "stale";
    LoadErrorText(&out, 99999999);
    EXPECT_EQ(out, "Reader ERROR");
    LoadErrorText(&out, 62437);
    EXPECT_EQ(out, u"￥");
    EXPECT_EQ(qor::messageText(99999999, "fallback"), "fallback");
    EXPECT_EQ(qor::messageText(62437, "fallback"), u"￥");
}

TEST(MessagesTest, TraceMessageReachesTheHook) {
    QStringList got;
    auto previous = qor::setTraceHook([&](const QString& t) { got.append(t); });
    TraceMessage(QStringLiteral("正在保存第1页"));
    TraceMessage(QString());
    qor::setTraceHook(previous);
    TraceMessage("after");
    EXPECT_EQ(got, QStringList({QStringLiteral("正在保存第1页"), QString()}));
}

TEST(MessagesTest, FillMessageTextFillsPlacesInOrderAndNothingElse) {
    EXPECT_EQ(qor::FillMessageText(QStringLiteral("第%i页"), {QStringLiteral("3")}),
              QStringLiteral("第3页"));
    EXPECT_EQ(qor::FillMessageText(QStringLiteral("%.0f年%u月"), {"2004", "5"}),
              QStringLiteral("2004年5月"));
    // A value holding a place is not filled again; a lone "%" stays.
    EXPECT_EQ(qor::FillMessageText(QStringLiteral("%s: %d%"), {"%d", "7"}),
              QStringLiteral("%d: 7%"));
    // Fewer values than places leave the rest as they are.
    EXPECT_EQ(qor::FillMessageText(QStringLiteral("%s-%s"), {"a"}), QStringLiteral("a-%s"));
}

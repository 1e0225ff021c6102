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

#include "engine/messages.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "engine/status.h"

TEST(MessagesTest, LoadErrorTextGivesTableTextsAndReaderErrorForUnknownIds) {
    constexpr int kNoSuchId = 99999999, kSmallUnknownId = 1;
    EXPECT_EQ(LoadErrorText(qor::str::kBadNumberList), u"输入错误！标准输入如：1,8,14");
    EXPECT_EQ(LoadErrorText(qor::str::kCurrencySymbol0), u"￥");
    EXPECT_EQ(LoadErrorText(kSmallUnknownId), "Reader ERROR");
    EXPECT_EQ(LoadErrorText(-qor::str::kBadNumberList), "Reader ERROR");
    QString out = "stale";
    LoadErrorText(&out, kNoSuchId);
    EXPECT_EQ(out, "Reader ERROR");
    LoadErrorText(&out, qor::str::kCurrencySymbol0);
    EXPECT_EQ(out, u"￥");
    EXPECT_EQ(qor::messageText(kNoSuchId, "fallback"), "fallback");
    EXPECT_EQ(qor::messageText(qor::str::kCurrencySymbol0, "fallback"), u"￥");
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

// A caller may leave out building its lines when no one reads them; a
// hook handed back is the one installed, and works as before.
TEST(MessagesTest, TraceMessageIsWantedOnlyWhileSomeoneReadsIt) {
    QLoggingCategory::setFilterRules(QStringLiteral("qor.trace.debug=false"));
    const qor::TraceHook outer = qor::setTraceHook({});
    EXPECT_FALSE(TraceMessageWanted());
    QStringList got;
    qor::setTraceHook([&](const QString& t) { got << t; });
    EXPECT_TRUE(TraceMessageWanted());
    const qor::TraceHook taken = qor::setTraceHook({});
    EXPECT_FALSE(TraceMessageWanted());
    TraceMessage("unheard");
    ASSERT_TRUE(bool(taken));
    taken("direct");
    qor::setTraceHook(taken);
    TraceMessage("heard");
    EXPECT_EQ(got, QStringList({"direct", "heard"}));
    QLoggingCategory::setFilterRules(QStringLiteral("qor.trace.debug=true"));
    qor::setTraceHook({});
    EXPECT_TRUE(TraceMessageWanted());
    qor::setTraceHook(outer);
    QLoggingCategory::setFilterRules(QString());
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

// Status texts reach the desktop's messages: each is a table text in the
// user's language, never "Reader ERROR" or an English phrase.
TEST(MessagesTest, EveryStatusHasATableTextInChinese) {
    const QRegularExpression english(QStringLiteral("[A-Za-z]{3,}"));
    for (int c = 0; c <= 0xFFFF; ++c) {
        const QString text = StatusText(uint16_t(c));
        ASSERT_NE(text, QStringLiteral("Reader ERROR")) << c;
        EXPECT_FALSE(english.match(text).hasMatch()) << c << ": " << text.toStdString();
    }
    EXPECT_EQ(StatusText(Status::DiskFull), QStringLiteral("磁盘已满"));
    EXPECT_EQ(StatusText(Status::FileNotFound), LoadErrorText(qor::str::kFileNotFound));
    EXPECT_EQ(StatusText(uint16_t(4321)), QStringLiteral("状态4321"));
}

// What a new user reads and types first: the help, names for format codes
// and keyword slots, the Reader's method list, and a text meeting a number
// cell.
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

QString out(const qortest::ProcessResult& r) { return QString::fromUtf8(r.out).trimmed(); }

TEST(QorHelp, HelpIsAVerbAndListsTheNames) {
    auto help = qor({"help"});
    ASSERT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, qor({"--help"}).out);
    const QString text = QString::fromUtf8(help.out);
    for (const char* s : {"qor convert IN OUT", "qor print REPORT", "reader-script --list",
                          "kind (0)", "thousands (5)", "wrap (16)", "unit-name (0)", "custom (6)",
                          "3 written with something left out"})
        EXPECT_TRUE(text.contains(QLatin1String(s))) << s;
    // An unknown verb is still a usage error, with the help on stderr.
    auto unknown = qor({"hepl"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains("unknown verb"));
}

TEST(QorHelp, FormatCodesAndKeywordSlotsByName) {
    const QString dir = qortest::freshDir("names");
    const QString f = dir + "/n.rep";
    ASSERT_EQ(qor({"new", f, "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"format", f, "1", "2", "kind", "text"}).exitCode, 0);
    EXPECT_EQ(out(qor({"format", f, "1", "2", "0"})), "2");
    ASSERT_EQ(qor({"format", f, "2", "2", "THOUSANDS", "1"}).exitCode, 0);  // any case
    EXPECT_EQ(out(qor({"format", f, "2", "2", "5"})), "1");
    EXPECT_EQ(out(qor({"format", f, "2", "2", "wrap"})), "0");
    ASSERT_EQ(qor({"keyword", f, "1", "month", "12"}).exitCode, 0);
    EXPECT_EQ(out(qor({"keyword", f, "1", "4"})), "12");
    ASSERT_EQ(qor({"keyword", f, "1", "unit-name", "北京"}).exitCode, 0);
    EXPECT_EQ(out(qor({"keyword", f, "1", "0"})), QStringLiteral("北京"));

    // A name that is none, and 15 (no attribute), are usage errors naming the
    // choices; a value name only means something for the kind.
    auto bad = qor({"format", f, "1", "1", "colour"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("decimals (3)")) << bad.err.constData();
    EXPECT_EQ(qor({"format", f, "1", "1", "15"}).exitCode, 2);
    EXPECT_EQ(qor({"format", f, "1", "1", "decimals", "text"}).exitCode, 2);
    auto slot = qor({"keyword", f, "1", "week", "3"});
    EXPECT_EQ(slot.exitCode, 2);
    EXPECT_TRUE(slot.err.contains("quarter (3)")) << slot.err.constData();
}

TEST(QorHelp, TextIntoANumberCellIsRefusedTheSameWayWithOrWithoutTextFlag) {
    const QString dir = qortest::freshDir("text-flag");
    const QString f = dir + "/t.rep";
    ASSERT_EQ(qor({"new", f, "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"set", f, "1", "1", "1", "5100000.50"}).exitCode, 0);
    auto word = qor({"set", f, "1", "1", "1", QStringLiteral("收入")});
    auto flagged = qor({"set", f, "1", "1", "1", "00123", "--text"});
    EXPECT_EQ(word.exitCode, 1);
    EXPECT_EQ(flagged.exitCode, 1);
    // One message, whichever way the text came.
    const QString shape =
        QStringLiteral("不是数字，而第1行第1列是数值单元；文本要放在文本单元中（格式代码kind = 2）");
    EXPECT_TRUE(QString::fromUtf8(word.err).contains(shape)) << word.err.constData();
    EXPECT_TRUE(QString::fromUtf8(flagged.err).contains(QStringLiteral("“00123”") + shape))
        << flagged.err.constData();
    EXPECT_EQ(out(qor({"get", f, "1", "1", "1"})), "5100000.5");
    EXPECT_EQ(qor({"set", f, "1", "1", "1", "nan"}).exitCode, 1);
    EXPECT_EQ(qor({"set", f, "1", "1", "1", "-inf"}).exitCode, 1);
    EXPECT_EQ(out(qor({"get", f, "1", "1", "1"})), "5100000.5");

    // Without the flag a number given as text is the number; in a text cell
    // the flag keeps the digits as written.
    ASSERT_EQ(qor({"set", f, "1", "1", "1", "00123"}).exitCode, 0);
    EXPECT_EQ(out(qor({"get", f, "1", "1", "1"})), "123");
    ASSERT_EQ(qor({"format", f, "1", "2", "kind", "text"}).exitCode, 0);
    ASSERT_EQ(qor({"set", f, "1", "1", "2", "00123", "--text"}).exitCode, 0);
    EXPECT_EQ(out(qor({"get", f, "1", "1", "2"})), "00123");
}

TEST(QorHelp, ReaderMethodListComesFromTheReaderItself) {
    auto list = qor({"reader-script", "--list"});
    ASSERT_EQ(list.exitCode, 0) << list.err.constData();
    const QStringList lines = QString::fromUtf8(list.out).split('\n');
    // Every method line is followed by its description.
    int methods = 0;
    for (int i = 0; i < lines.size(); ++i) {
        static const QRegularExpression method(QStringLiteral("^[A-Z][A-Za-z0-9]+( .*)?$"));
        if (!method.match(lines[i]).hasMatch() || lines[i].startsWith("Every")) continue;
        ++methods;
        ASSERT_LT(i + 1, lines.size());
        EXPECT_TRUE(lines[i + 1].startsWith("    ") && lines[i + 1].trimmed().size() > 5)
            << lines[i].toStdString() << " has no description";
    }
    EXPECT_EQ(methods, 35);
    for (const char* s : {"OpenRep8File sFileName [sLangId]", "SetColWidth col width",
                          "SetVarArea kind start extent", "GetVarLines",
                          "CombineCells row1 col1 row2 col2", "SetKeywordCell slot row col",
                          "SetFormula text", "in points"})
        EXPECT_TRUE(list.out.contains(s)) << s;
}

}  // namespace

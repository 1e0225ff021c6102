#include "engine/textutil.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <cmath>
#include <limits>
#include <utility>

#include "engine/messages.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

namespace {

// Records the message boxes shown while it lives.
class MessageRecorder {
public:
    MessageRecorder() {
        qor::UiServices s;
        s.messageBox = [this](const qor::MessageRequest& r) {
            texts.append(r.text);
            return qor::MsgAnswer::Ok;
        };
        previous_ = qor::installUiServices(s);
    }
    ~MessageRecorder() { qor::installUiServices(previous_); }
    QStringList texts;

private:
    qor::UiServices previous_;
};

}  // namespace

TEST(ColumnLettersTest, EdgesOfOneTwoAndThreeLetters) {
    const std::pair<int, const char*> cases[] = {
        {1, "A"},    {26, "Z"},   {27, "AA"},   {52, "AZ"},     {53, "BA"},      {255, "IU"},
        {256, "IV"}, {702, "ZZ"}, {703, "AAA"}, {18278, "ZZZ"}, {18279, "AAAA"}, {0, ""}};
    for (const auto& [col1, letters] : cases) {
        EXPECT_EQ(ColumnLetters(col1), letters) << col1;
        EXPECT_EQ(ColumnToLetters(col1 - 1), letters) << col1;
    }
}

TEST(ColumnLettersTest, IndexToLettersIsTheInverseOfLettersToIndex) {
    for (int n = 0; n <= 18251; ++n) {
        const QString s = IndexToLetters(n);
        int back = -1;
        ASSERT_EQ(LettersToIndex(s, &back), 1) << n;
        ASSERT_EQ(back, n) << s.toStdString();
    }
    EXPECT_EQ(IndexToLetters(25), "Z");
    EXPECT_EQ(IndexToLetters(26), "AA");
    EXPECT_EQ(IndexToLetters(675), "YZ");
    EXPECT_EQ(IndexToLetters(676), "AAA");
    EXPECT_EQ(IndexToLetters(17576), "ZAA");
    EXPECT_EQ(IndexToLetters(17577), "ZAB");
    EXPECT_EQ(IndexToLetters(18251), "ZZZ");
    EXPECT_EQ(IndexToLetters(18252), "");
    EXPECT_EQ(IndexToLetters(-1), "");

    // Every menu code (letters A..L) and every three-letter code comes back.
    const QString menu = "ABCDEFGHIJKL";
    const QString all = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (QChar a : all) {
        for (QChar b : all) {
            for (QChar c : all) {
                const bool inMenu = menu.contains(a) && menu.contains(b) && menu.contains(c);
                for (const QString& code : {QString(a) + b + c, inMenu ? QString(a) + b : QString(),
                                            inMenu ? QString(a) : QString()}) {
                    if (code.isEmpty()) continue;
                    int n = -1;
                    ASSERT_EQ(LettersToIndex(code, &n), 1);
                    ASSERT_EQ(IndexToLetters(n), code);
                }
            }
        }
    }

    int n = 77;
    for (const char* bad : {"", "ABCD", "a", "A1", "-", "Ａ"}) {
        EXPECT_EQ(LettersToIndex(QString::fromUtf8(bad), &n), 0) << bad;
    }
    EXPECT_EQ(n, 77);
}

TEST(ColumnLettersTest, MenuCodes) {
    EXPECT_EQ(MenuIndexToCode(0, -1, -1), "A");
    EXPECT_EQ(MenuIndexToCode(1, 2, -1), "BC");
    EXPECT_EQ(MenuIndexToCode(11, 11, 11), "LLL");
    EXPECT_EQ(MenuIndexToCode(12, -1, -1), "");
    EXPECT_EQ(MenuIndexToCode(0, -1, 3), "");  // a level after an unused one
    EXPECT_EQ(MenuIndexToCode(-1, -1, -1), "");
    // Menu command ids are 40,000 plus the code's number.
    int n = 0;
    ASSERT_TRUE(LettersToIndex(MenuIndexToCode(11, 11, 11), &n));
    EXPECT_EQ(40000 + n, 48409);
    EXPECT_EQ(GetMenuCodeLevel("ABC"), 3);
    EXPECT_EQ(GetMenuCodeLevel("ABCD"), -1);
}

TEST(CellRefTest, Format) {
    EXPECT_EQ(FormatCellRef(2, 4), "C5");
    EXPECT_EQ(FormatCellRef(254, 9998), "IU9999");
    QString out;
    EXPECT_EQ(FormatAreaRef(1, 2, 1, 2, &out), 1);
    EXPECT_EQ(out, "B3");
    EXPECT_EQ(FormatAreaRef(0, 0, 1, 1, &out), 1);
    EXPECT_EQ(out, "A1:B2");
}

TEST(CellRefTest, ParseColumnLetters) {
    int col = -5;
    EXPECT_EQ(ParseColumnLetters("a", &col), 1);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(ParseColumnLetters(" a a ", &col), 1);
    EXPECT_EQ(col, 26);
    EXPECT_EQ(ParseColumnLetters("IV", &col), 1);
    EXPECT_EQ(col, 255);
    col = -5;
    for (const char* bad : {"", " ", "IW", "ZZ", "AAA", "A1", "1"}) {
        EXPECT_EQ(ParseColumnLetters(bad, &col), 0) << bad;
    }
    EXPECT_EQ(col, -5);
}

TEST(CellRefTest, ParseCellRefTakesBlanksAndCaseButNeedsRowDigits) {
    int c = -1, r = -1;
    EXPECT_EQ(ParseCellRef("c5", &c, &r), 1);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(r, 4);
    EXPECT_EQ(ParseCellRef(" i u 9999 ", &c, &r), 1);
    EXPECT_EQ(c, 254);
    EXPECT_EQ(r, 9998);
    EXPECT_EQ(ParseCellRef("A007", &c, &r), 1);
    EXPECT_EQ(r, 6);
    c = r = -1;
    for (const char* bad :
         {"A", "AB", "", "5", "A0", "A10000", "A99999999999", "1A", "A1B", "AAA1", "A-1", "A1.5"}) {
        EXPECT_EQ(ParseCellRef(bad, &c, &r), 0) << bad;
    }
    EXPECT_EQ(c, -1);
    EXPECT_EQ(r, -1);
}

TEST(CellRefTest, ParseAreaRef) {
    int c1 = 0, r1 = 0, c2 = 0, r2 = 0;
    EXPECT_EQ(ParseAreaRef(" a1 : c 3", &c1, &r1, &c2, &r2), 1);
    EXPECT_EQ(QList<int>({c1, r1, c2, r2}), QList<int>({0, 0, 2, 2}));
    EXPECT_EQ(ParseAreaRef("b2", &c1, &r1, &c2, &r2), 1);
    EXPECT_EQ(QList<int>({c1, r1, c2, r2}), QList<int>({1, 1, 1, 1}));
    EXPECT_EQ(ParseAreaRef("C3:A1", &c1, &r1, &c2, &r2), 1);  // as written
    EXPECT_EQ(QList<int>({c1, r1, c2, r2}), QList<int>({2, 2, 0, 0}));
    for (const char* bad : {"", "A1:", ":B2", "A1:B2:C3", "A:B2", "A1;B2", "A1-B2"}) {
        EXPECT_EQ(ParseAreaRef(bad, &c1, &r1, &c2, &r2), 0) << bad;
    }
}

TEST(NumberTextTest, ParseDoubleReadsTheLeadingNumber) {
    EXPECT_EQ(ParseDouble(""), 0.0);
    EXPECT_EQ(ParseDouble("  12.5abc"), 12.5);
    EXPECT_EQ(ParseDouble("-3e2"), -300.0);
    EXPECT_EQ(ParseDouble("+.5"), 0.5);
    EXPECT_EQ(ParseDouble("7."), 7.0);
    EXPECT_EQ(ParseDouble("1e"), 1.0);
    EXPECT_EQ(ParseDouble("2E-x"), 2.0);
    EXPECT_EQ(ParseDouble("1,234.5"), 1.0);
    EXPECT_EQ(ParseDouble("-."), 0.0);
    EXPECT_EQ(ParseDouble("abc"), 0.0);
    EXPECT_EQ(ParseDouble("inf"), 0.0);
    EXPECT_EQ(ParseDouble("nan"), 0.0);
    EXPECT_EQ(ParseDouble("0x10"), 0.0);
    EXPECT_TRUE(std::isinf(ParseDouble("1e999")));
}

TEST(NumberTextTest, RoundToDecimalsExamples) {
    auto rd = [](double v, uint16_t n) {
        RoundToDecimals(&v, n);
        return v;
    };
    EXPECT_EQ(rd(2.345, 2), 2.35);
    EXPECT_EQ(rd(-2.345, 2), -2.35);
    EXPECT_EQ(rd(1.23456789, 9), 1.2345679);  // cut to 7 places
    EXPECT_EQ(rd(2.5, 0), 3.0);
    EXPECT_EQ(rd(-2.5, 0), -3.0);
    EXPECT_EQ(rd(0.5, 0), 1.0);
    EXPECT_EQ(rd(0.49, 0), 0.0);
    EXPECT_EQ(rd(2.675, 2), 2.68);  // stored just below the half
    EXPECT_EQ(rd(1.005, 2), 1.01);
    EXPECT_EQ(rd(-1.005, 2), -1.01);
    EXPECT_EQ(rd(9.995, 2), 10.0);
    EXPECT_EQ(rd(2.6749999995, 2), 2.67);  // below the half is below the half
    EXPECT_EQ(rd(0.1234567491, 7), 0.1234567);
    EXPECT_EQ(rd(123456789.675, 2), 123456789.68);
    EXPECT_EQ(rd(-123456789.675, 2), -123456789.68);
    EXPECT_EQ(rd(1.13 * 1.5, 2), 1.70);  // 1.6949999999999998, computed for 1.695
    EXPECT_EQ(rd(123456789012.3456, 7), 123456789012.3456);
    EXPECT_EQ(rd(9007199254740993.0, 2), 9007199254740993.0);
    EXPECT_EQ(rd(1e300, 3), 1e300);
    EXPECT_EQ(rd(5e-324, 7), 0.0);
    EXPECT_TRUE(std::isnan(rd(std::numeric_limits<double>::quiet_NaN(), 2)));
}

TEST(NumberTextTest, RoundToDecimalsRoundsEveryTypedHalfAwayFromZero) {
    // Values typed with three decimals, rounded to two: the expected result
    // is computed on integers. Covers amounts up to and beyond 10^8, where
    // the representation error of a half outgrows a fixed epsilon.
    for (const long long base : {0LL, 100000000000LL, 987654321000LL}) {
        for (long long k = 0; k < 200000; k += 1) {
            const long long milli = base + k * 5;  // every half and whole
            const double v = double(milli) / 1000.0;
            const long long centi = (milli + 5) / 10;
            const double expected = double(centi) / 100.0;
            double got = v;
            RoundToDecimals(&got, 2);
            ASSERT_EQ(got, expected) << milli;
            got = -v;
            RoundToDecimals(&got, 2);
            ASSERT_EQ(got, -expected) << -milli;
        }
    }
}

// Whole amounts on both sides of the 15-digit edge, signs and the decimal
// clamps, against Qt's exact fixed-point text of the same integers.
TEST(NumberTextTest, FormatFixedNumberOfWholeAmounts) {
    const double values[] = {0,      1,          -1,          7,        -20040,
                             1e14,   999999999999999.0,       1e15,     -1e15,
                             4503599627370497.0, 9007199254740993.0, 123456789012345678.0};
    for (double v : values)
        for (int n : {-2, 0, 1, 2, 8, 9}) {
            const int clamped = std::clamp(n, 0, 8);
            EXPECT_EQ(FormatFixedNumber(v, n), QString::number(v, 'f', clamped)) << v << ' ' << n;
            EXPECT_EQ(FormatFixedNumber(-v, n), v == 0 ? QString::number(0.0, 'f', clamped)
                                                       : QString::number(-v, 'f', clamped))
                << -v << ' ' << n;
        }
}

TEST(NumberTextTest, FormatFixedNumber) {
    EXPECT_EQ(FormatFixedNumber(0.5, 2), "0.50");
    EXPECT_EQ(FormatFixedNumber(-0.5, 2), "-0.50");
    EXPECT_EQ(FormatFixedNumber(-1234.5, 1), "-1234.5");
    EXPECT_EQ(FormatFixedNumber(-0.0, 2), "0.00");
    EXPECT_EQ(FormatFixedNumber(-0.001, 2), "0.00");
    EXPECT_EQ(FormatFixedNumber(0, 0), "0");
    EXPECT_EQ(FormatFixedNumber(2.5, 0), "3");
    EXPECT_EQ(FormatFixedNumber(-2.5, 0), "-3");
    EXPECT_EQ(FormatFixedNumber(2.675, 2), "2.68");
    EXPECT_EQ(FormatFixedNumber(1.0 / 3, 8), "0.33333333");
    EXPECT_EQ(FormatFixedNumber(0.000000005, 8), "0.00000001");
    EXPECT_EQ(FormatFixedNumber(1.0 / 3, 12), "0.33333333");  // clamped to 8
    EXPECT_EQ(FormatFixedNumber(1.5, -3), "2");               // clamped to 0
    EXPECT_EQ(FormatFixedNumber(1e20, 2), "100000000000000000000.00");
    EXPECT_EQ(FormatFixedNumber(-123456789012345678.0, 0), "-123456789012345680");
    EXPECT_EQ(FormatFixedNumber(99.999, 2), "100.00");
    EXPECT_EQ(FormatFixedNumber(std::numeric_limits<double>::infinity(), 2), "INF");
    EXPECT_EQ(FormatFixedNumber(-std::numeric_limits<double>::infinity(), 2), "-INF");
    EXPECT_EQ(FormatFixedNumber(std::nan(""), 2), "NAN");
}

TEST(NumberTextTest, FormatNumberText) {
    SetCurrencySymbolIndex(0);
    EXPECT_EQ(FormatNumberText(888888.168, false, true, true, 2), u"￥888,888.17");
    EXPECT_EQ(FormatNumberText(-1234567, false, true, false, 2), "-1,234,567.00");
    EXPECT_EQ(FormatNumberText(-123, false, true, false, 0), "-123");
    EXPECT_EQ(FormatNumberText(123456, false, true, false, 0), "123,456");
    EXPECT_EQ(FormatNumberText(12.5, true, false, false, 1), "12.5%");
    EXPECT_EQ(FormatNumberText(1000, false, false, false, 0), "1000");
    SetCurrencySymbolIndex(1);
    EXPECT_EQ(FormatNumberText(-1000, true, true, true, 1), u"＄-1,000.0%");
    SetCurrencySymbolIndex(9);  // out of range counts as 0
    EXPECT_EQ(CurrencySymbolIndex(), 0);
    QString out = "old";
    FormatNumberText(3, false, false, false, &out, 2);
    EXPECT_EQ(out, "3.00");
}

TEST(NumberTextTest, CurrencyIndexComesFromTheApplicationProfile) {
    const QString dir = qortest::freshDir("profile");
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir));
    QDir().mkpath(dir + "/qor");
    QFile f(dir + "/qor/qor.ini");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[REZ]\nMoney=3\n");
    f.close();
    SetCurrencySymbolIndex(-1);
    EXPECT_EQ(CurrencySymbolIndex(), 3);
    EXPECT_EQ(FormatNumberText(1, false, false, true, 0), u"￠1");
    f.open(QIODevice::WriteOnly);
    f.write("[REZ]\nMoney=7\n");
    f.close();
    SetCurrencySymbolIndex(-1);
    EXPECT_EQ(CurrencySymbolIndex(), 0);
    SetCurrencySymbolIndex(0);
    if (saved.isNull()) {
        qunsetenv("XDG_CONFIG_HOME");
    } else {
        qputenv("XDG_CONFIG_HOME", saved);
    }
}

TEST(RowColListTest, AcceptsNumbersAndLetters) {
    MessageRecorder rec;
    QList<int> list;
    int count = 0;
    EXPECT_EQ(ParseRowColList(0, "1,8,14", &list, &count), 1);
    EXPECT_EQ(list, QList<int>({1, 8, 14}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(ParseRowColList(0, " 3 , 9999 ,01 ", &list, &count), 1);
    EXPECT_EQ(list, QList<int>({3, 9999, 1}));
    EXPECT_EQ(ParseRowColList(1, "a, C ,IU", &list, &count), 1);
    EXPECT_EQ(list, QList<int>({1, 3, 255}));
    EXPECT_TRUE(rec.texts.isEmpty());
}

TEST(RowColListTest, RefusesWithItsOwnMessages) {
    const QString numberMsg = qor::messageText(qor::str::kBadNumberList, "");
    struct Case {
        int kind;
        const char* text;
        int id;
    };
    const Case cases[] = {
        {0, "", qor::str::kBadNumberList},
        {0, "   ", qor::str::kBadNumberList},
        {0, "1,,2", qor::str::kBadNumberList},
        {0, "1 2", qor::str::kBadNumberList},
        {0, "1,2,", qor::str::kBadNumberList},
        {0, ",1", qor::str::kBadNumberList},
        {0, "A", qor::str::kBadNumberList},
        {0, "1;2", qor::str::kBadNumberList},
        {0, "-1", qor::str::kBadNumberList},
        {0, "0", 62739},
        {0, "10000", 62739},
        {0, "99999999999999999999", 62739},
        {1, "", 62738},
        {1, "A,,B", 62738},
        {1, "1", 62738},
        {1, "A1", 62738},
        {1, "IV", 62739},
        {1, "ABC", 62739},
    };
    for (const Case& c : cases) {
        MessageRecorder rec;
        QList<int> list = {42};
        int count = 42;
        EXPECT_EQ(ParseRowColList(c.kind, c.text, &list, &count), 0) << c.text;
        EXPECT_EQ(list, QList<int>({42})) << c.text;
        EXPECT_EQ(count, 42);
        ASSERT_EQ(rec.texts.size(), 1) << c.text;
        EXPECT_NE(rec.texts[0], "Reader ERROR") << c.text;
        if (c.id == qor::str::kBadNumberList) {
            EXPECT_TRUE(rec.texts[0].contains("1,8,14")) << c.text;
        } else {
            EXPECT_NE(rec.texts[0], numberMsg) << c.text;
        }
    }
}

TEST(AnsiTest, DecodesCodePage936UpToTheTerminator) {
    const QByteArray gbk(
        "\xd6\xd0\xce\xc4"
        "ab\0zz",
        9);
    EXPECT_EQ(AnsiToWideInPlace(gbk), u"中文ab");
    EXPECT_EQ(AnsiToWideInPlace(gbk, 2), u"中");
    EXPECT_EQ(AnsiToWideInPlace(gbk, 100).size(), 7);  // length wins over the NUL
    EXPECT_EQ(AnsiToWideInPlace(QByteArray()), "");
}

TEST(TextAsCellNumber, ThousandsSeparatorsOnlyWhereTheyGroupByThree) {
    double v = 0;
    EXPECT_TRUE(qor::TextAsCellNumber(QStringLiteral("80,000.50"), &v));
    EXPECT_DOUBLE_EQ(v, 80000.5);
    EXPECT_TRUE(qor::TextAsCellNumber(QStringLiteral(" -1,234,567 "), &v));
    EXPECT_DOUBLE_EQ(v, -1234567);
    EXPECT_TRUE(qor::TextAsCellNumber(QStringLiteral("999"), &v));
    EXPECT_DOUBLE_EQ(v, 999);
    // A comma that does not group by three would make another number.
    for (const char* bad : {"1,5", "12,34", "1,0000", ",100", "1,,000", "1,000.5,0", "1,000,",
                            "abc", "12abc", "a,bcd"})
        EXPECT_FALSE(qor::TextAsCellNumber(QString::fromLatin1(bad), &v)) << bad;
}

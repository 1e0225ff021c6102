#include "exchange/variantconvert.h"

#include <gtest/gtest.h>

#include "exchange/xmldom.h"

using namespace qor;

TEST(VariantConvert, WholeNumbersRoundHalfToEven) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"54.75", 55},   {"2.5", 2},    {"3.5", 4},    {"-2.5", -2}, {"-3.5", -4},
        {"0.5", 0},      {"1.5", 2},    {"2.4999", 2}, {" 7 ", 7},   {"+8", 8},
        {"1,234", 1234}, {"1.5e1", 15}, {"25E-1", 2},  {".5", 0},    {"5.", 5},
    };
    for (const auto& c : cases) {
        int32_t v = -999;
        EXPECT_EQ(textToInt32(QString::fromLatin1(c.text), &v), NumberConversion::Ok) << c.text;
        EXPECT_EQ(v, c.expected) << c.text;
    }
}

TEST(VariantConvert, RangesAndRefusals) {
    int16_t s = 0;
    EXPECT_EQ(textToInt16(u"32767", &s), NumberConversion::Ok);
    EXPECT_EQ(textToInt16(u"-32768.5", &s), NumberConversion::Ok);
    EXPECT_EQ(s, -32768);
    EXPECT_EQ(textToInt16(u"32767.5", &s), NumberConversion::Overflow);
    EXPECT_EQ(textToInt16(u"40000", &s), NumberConversion::Overflow);
    int32_t i = 0;
    EXPECT_EQ(textToInt32(u"2147483647", &i), NumberConversion::Ok);
    EXPECT_EQ(textToInt32(u"2147483648", &i), NumberConversion::Overflow);
    EXPECT_EQ(textToInt32(u"1e400", &i), NumberConversion::Overflow);
    for (const char16_t* bad : {u"", u"  ", u"abc", u"1a", u"--1", u",5", u"1e", u"0x10", u"1 2"})
        EXPECT_EQ(textToInt32(QStringView(bad), &i), NumberConversion::TypeMismatch)
            << QString::fromUtf16(bad).toStdString();

    double d = 0;
    EXPECT_EQ(textToDouble(u"1,234.5", &d), NumberConversion::Ok);
    EXPECT_EQ(d, 1234.5);
    EXPECT_EQ(textToDouble(u"1e-400", &d), NumberConversion::Ok);
    EXPECT_EQ(d, 0.0);

    EXPECT_EQ(variantToInt16(u"54.75"), 55);
    EXPECT_THROW(variantToInt16(u"70000"), XmlError);
    EXPECT_THROW(variantToDouble(u"x"), XmlError);
}

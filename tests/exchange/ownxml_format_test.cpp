// The code tables and texts of the exchange file, and the export settings.
#include "exchange/ownxml_format.h"

#include <gtest/gtest.h>

#include <QDate>
#include <cfloat>
#include <clocale>
#include <cmath>

#include "engine/messages.h"
#include "exchange/ownxml_settings.h"
#include "tests/exchange/xmltestutil.h"

using namespace qor::ownxml;

TEST(OwnXmlFormat, EveryCodeReadsBackThroughItsText) {
    for (int code = 0; code < 16; ++code) {
        EXPECT_EQ(FontCodeOf(FontName(code)), code);
        EXPECT_EQ(FontSizeCodeOf(FontSizePoints(code)), code);
        EXPECT_EQ(ColourCodeOf(ColourText(code), -1), code);
    }
    for (int code = 0; code < 8; ++code) EXPECT_EQ(FontStyleCodeOf(FontStyleName(code)), code);
    for (int code = 1; code <= 3; ++code) {
        EXPECT_EQ(HAlignCodeOf(HAlignText(code, true)), code);
        EXPECT_EQ(HAlignCodeOf(HAlignText(code, false)), code);
    }
    EXPECT_EQ(VAlignCodeOf(VAlignText(1)), 1);
    EXPECT_EQ(VAlignCodeOf(VAlignText(2)), 2);
    for (int slot = 0; slot < 6; ++slot) EXPECT_EQ(KeywordSlotOf(KeywordName(slot, "x")), slot);
    EXPECT_EQ(KeywordSlotOf(KeywordName(6, QStringLiteral("行次"))), 6);
}

TEST(OwnXmlFormat, TablesAreTheFilesOwnWhereTheyLookOdd) {
    // Colours are the report's blue-low values written as if RGB.
    EXPECT_EQ(ColourText(3), "#000080");
    EXPECT_EQ(ColourText(12), "#FF0000");
    EXPECT_EQ(ColourText(15), "#C0C0C0");
    EXPECT_EQ(FontName(0), LoadErrorText(qor::str::kFontName0));
    EXPECT_EQ(FontName(0), QStringLiteral("宋体"));
    EXPECT_EQ(FontName(7), QStringLiteral("@楷体_GB2312"));
    EXPECT_EQ(FontName(12), "Times New Roman");
    EXPECT_EQ(FontStyleName(7), "BOLD_SLOPE_UNDERLINE");
    EXPECT_EQ(FontSizePoints(15), 120);
    EXPECT_EQ(KeywordName(0, {}), QStringLiteral("单位名称"));
    EXPECT_EQ(KeywordName(1, {}), QStringLiteral("单位编号"));

    // Fill 0 is written 6 and read back as 0; the others swap about.
    EXPECT_EQ(FillNumber(0), 6);
    EXPECT_EQ(FillNumber(1), 4);
    EXPECT_EQ(FillNumber(2), 3);
    EXPECT_EQ(FillNumber(3), 5);
    for (int code = 0; code < 4; ++code) EXPECT_EQ(FillCodeOf(FillNumber(code)), code);
}

TEST(OwnXmlFormat, UnknownTextsGiveTheReadersDefaults) {
    EXPECT_EQ(FontCodeOf("Comic Sans"), 0);
    EXPECT_EQ(FontStyleCodeOf("bold"), 0) << "style names are matched by case";
    EXPECT_EQ(FontSizeCodeOf(13), 1);
    EXPECT_EQ(FillCodeOf(6), 0);
    EXPECT_EQ(FillCodeOf(-1), 0);
    EXPECT_EQ(ColourCodeOf("#123456", kDefaultBackground), 1);
    EXPECT_EQ(ColourCodeOf("#ff0000", kDefaultForeground), 0) << "lower case is not in the table";
    EXPECT_EQ(HAlignCodeOf("left"), 1);
    EXPECT_EQ(HAlignCodeOf("justify"), 1);
    EXPECT_EQ(VAlignCodeOf("bottom"), 3);
    EXPECT_EQ(VAlignCodeOf("centre"), 3);
    EXPECT_EQ(KeywordSlotOf(""), 6);
}

TEST(OwnXmlFormat, AutomaticAlignmentIsWrittenByCellKind) {
    EXPECT_EQ(HAlignText(0, true), "right");
    EXPECT_EQ(HAlignText(0, false), "left");
    EXPECT_EQ(VAlignText(0), "bottom");
    EXPECT_EQ(VAlignText(3), "bottom");
}

TEST(OwnXmlFormat, RootFlagsAndTruthTexts) {
    EXPECT_EQ(RootFlag(std::nullopt), 1);
    EXPECT_EQ(RootFlag(QString()), 1);
    EXPECT_EQ(RootFlag(QStringLiteral("1")), 1);
    for (const char* other : {"0", "true", "yes", " 1", "2"})
        EXPECT_EQ(RootFlag(QString::fromLatin1(other)), 0) << other;

    EXPECT_EQ(ParseBoolText("TRUE"), true);
    EXPECT_EQ(ParseBoolText("False"), false);
    EXPECT_EQ(ParseBoolText("1"), std::nullopt);
    EXPECT_EQ(ParseBoolText(""), std::nullopt);
}

TEST(OwnXmlFormat, NumbersAreWrittenWithAPointAndReadBackExactly) {
    // A comma locale must not leak into the file.
    const char* saved = std::setlocale(LC_ALL, nullptr);
    const std::string keep = saved ? saved : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    for (double v : {0.0, 0.1, 1.0 / 3, -2.5e-7, 12.5, 123456789.123, 1e15, 1e22, -1e-300, DBL_MAX,
                     DBL_MIN, 4.9e-324, 100000000.0}) {
        const QString t = NumberText(v);
        EXPECT_FALSE(t.contains(u',')) << qPrintable(t);
        const std::optional<double> back = ParseNumberText(t);
        ASSERT_TRUE(back) << qPrintable(t);
        EXPECT_EQ(*back, v) << qPrintable(t);
    }
    std::setlocale(LC_ALL, keep.c_str());
    EXPECT_EQ(NumberText(12.5), "12.5");
    EXPECT_EQ(NumberText(100000000), "100000000");
    EXPECT_EQ(NumberText(-0.25), "-0.25");
    EXPECT_EQ(NumberText(NAN), "");
    EXPECT_EQ(NumberText(INFINITY), "");
}

TEST(OwnXmlFormat, NumberTextsOfOtherWritersAreRead) {
    EXPECT_EQ(ParseNumberText(u" 12.5 "), 12.5);
    EXPECT_EQ(ParseNumberText(u"1,5"), 1.5) << "a lone comma is a decimal comma";
    EXPECT_EQ(ParseNumberText(u"1,234,567"), 1234567.0);
    EXPECT_EQ(ParseNumberText(u"1,234.5"), 1234.5);
    EXPECT_EQ(ParseNumberText(u"2E3"), 2000.0);
    EXPECT_EQ(ParseNumberText(u""), std::nullopt);
    EXPECT_EQ(ParseNumberText(u"abc"), std::nullopt);
    EXPECT_EQ(ParseNumberText(u"nan"), std::nullopt);
    EXPECT_EQ(ParseNumberText(u"1.2.3"), std::nullopt);
    // Only digits around one comma read it as a decimal comma; every other
    // text is read by a cell's number rule, as every route reads it.
    EXPECT_EQ(ParseNumberText(u"12,345"), 12.345);
    EXPECT_EQ(ParseNumberText(u"-1,5"), -1.5);
    for (const char16_t* refused : {u"1,2,3", u"1,2.5", u"12,34,567", u",123", u"123,", u"1e-400",
                                    u"1e999", u"12x", u"1 234"})
        EXPECT_EQ(ParseNumberText(refused), std::nullopt) << QString::fromUtf16(refused).toStdString();
    // A keyword's number reads no decimal comma.
    EXPECT_EQ(ParseNumberText(u"20,04", false), std::nullopt);
    EXPECT_EQ(ParseNumberText(u"2004", false), 2004.0);
    EXPECT_EQ(ParseNumberText(u"12,345", false), 12345.0);
}

TEST(OwnXmlFormat, WholeNumbersAndReportNames) {
    EXPECT_EQ(WholeNumberText(2004), "2004");
    EXPECT_EQ(WholeNumberText(2.6), "3");
    EXPECT_EQ(WholeNumberText(NAN), "0");
    EXPECT_EQ(ReportNameOf(QStringLiteral("/data/资产负债表.rep")), QStringLiteral("资产负债表"));
    EXPECT_EQ(ReportNameOf("C:\\reports\\a.b.rep"), "a");
    EXPECT_EQ(ReportNameOf("/data/noext"), "") << "a name without a dot gives no name";
    EXPECT_EQ(ReportNameOf("a&b'c.rep"), "a&b'c");
}

TEST(OwnXmlFormat, PageDatesFromTheKeywords) {
    EXPECT_EQ(KeywordDateText(true, 2004, true, 2, false, 0, 1999), "2004-02-29");
    EXPECT_EQ(KeywordDateText(true, 2003, true, 2, false, 0, 1999), "2003-02-28");
    EXPECT_EQ(KeywordDateText(true, 2004, false, 0, false, 0, 1999), "2004-12-31");
    EXPECT_EQ(KeywordDateText(false, 0, false, 0, false, 0, 2031), "2031-12-31");
    EXPECT_EQ(KeywordDateText(true, 2004, true, 4, true, 5, 1999), "2004-04-05");
    EXPECT_EQ(KeywordDateText(false, 0, false, 0, true, 7, 2010), "2010-12-07");
    EXPECT_EQ(KeywordDateText(true, 999, true, 1, true, 1, 1999), "999-01-01");
    for (auto [y, m, d] : {std::tuple{2004LL, 13LL, 1LL},
                           {2004, 0, 1},
                           {2004, 4, 31},
                           {2003, 2, 29},
                           {0, 1, 1},
                           {10000, 1, 1},
                           {2004, 1, 0}})
        EXPECT_EQ(KeywordDateText(true, y, true, m, true, d, 1999), "0000-00-00")
            << y << "-" << m << "-" << d;
    EXPECT_EQ(KeywordDateText(true, 2004, true, 13, false, 0, 1999), "0000-00-00");
}

TEST(OwnXmlFormat, ChildTagsAreLookedUpByName) {
    for (int i = 0; i < kCellChildCount; ++i) EXPECT_EQ(CellChildOf(kCellChildTags[size_t(i)]), i);
    EXPECT_EQ(CellChildOf(u"Height"), -1);
    EXPECT_EQ(CellChildOf(u"keyword_date"), -1);
}

TEST(ExportSettings, PageListsAndTheDialogsOkRule) {
    EXPECT_EQ(qor::ParseExportPageList("3/5/8/"), (QList<int>{3, 5, 8}));
    EXPECT_EQ(qor::ParseExportPageList("3/5"), (QList<int>{3}))
        << "text after the last / is no page";
    EXPECT_EQ(qor::ParseExportPageList(""), (QList<int>{}));
    EXPECT_EQ(qor::ParseExportPageList("3/x/"), std::nullopt);
    EXPECT_EQ(qor::ParseExportPageList("//"), std::nullopt);
    EXPECT_EQ(qor::FormatExportPageList({1, 3, 5}), "1/3/5/");

    qor::ExportSetMembers m;
    m.m_bAllPages = 0;
    qor::ApplyExportPageSelection(&m, {1, 3});
    EXPECT_EQ(m.m_nPageCount, 2);
    EXPECT_EQ(m.m_strPageList, "1/3/");
    qor::ApplyExportPageSelection(&m, {});
    EXPECT_EQ(m.m_nPageCount, 1);
    EXPECT_EQ(m.m_strPageList, "1/");
    QList<int> many;
    for (int p = 1; p <= 1200; ++p) many.append(p);
    qor::ApplyExportPageSelection(&m, many);
    EXPECT_EQ(m.m_nPageCount, 999);
    EXPECT_TRUE(m.m_strPageList.endsWith("/999/"));

    m.m_bAllPages = 1;
    m.m_nPageCount = 7;
    qor::ApplyExportPageSelection(&m, {2});
    EXPECT_EQ(m.m_strPageList, "");
    EXPECT_EQ(m.m_nPageCount, 7) << "no report: the count stays";
}

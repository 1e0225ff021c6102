// Reading exchange files into new reports, and reports taken through the
// file and back.
#include "exchange/ownxml_import.h"

#include <gtest/gtest.h>

#include <QFile>

#include "cmdlang/enginehooks.h"
#include "engine/formulaeval.h"
#include "exchange/ownxml_export.h"
#include "tests/exchange/ownxml_testutil.h"

using oxtest::CellXml;
using oxtest::describe;
using oxtest::formatOf;
using oxtest::newReport;
using oxtest::setFormat;
using oxtest::writeExchangeFile;

namespace {

// Both passes into a new report; the report is left in data state.
std::unique_ptr<CReportHandle> importNew(const QString& xml, const QString& reportPath,
                                         qor::OwnXmlImportResult* result = nullptr) {
    auto h = newReport(reportPath);
    const qor::OwnXmlImportResult r = qor::ImportOwnXmlReport(*h, xml);
    if (result) *result = r;
    return h;
}

QList<CellXml> grid(int rows, int cols) {
    QList<CellXml> cells;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= cols; ++c) cells.append(CellXml(r, c));
    return cells;
}

}  // namespace

TEST(OwnXmlImport, AReportComesBackThroughTheFileWithEverythingTheFileCarries) {
    const QString dir = oxtest::testDir();
    auto h = newReport(dir + "/orig.rep", 12, 5);
    // Labels and kinds.
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("资产")}, 1, 1), 0);
    ASSERT_EQ(h->SetCellValue(CellValue{kCellLabel, 0, QStringLiteral("期末数 & <b>")}, 1, 2), 0);
    setFormat(*h, qor::kFmtKind, kCellText, CellArea::area(2, 1, 12, 1));
    // Number formats, fonts, colours, fill, alignment, lines.
    const CellArea nums = CellArea::area(2, 2, 6, 3);
    setFormat(*h, qor::kFmtDecimals, 3, nums);
    setFormat(*h, qor::kFmtThousands, 1, nums);
    setFormat(*h, qor::kFmtPercent, 1, CellArea::cell(2, 3));
    setFormat(*h, qor::kFmtCurrency, 1, CellArea::cell(3, 3));
    setFormat(*h, qor::kFmtWrap, 1, CellArea::cell(2, 1));
    setFormat(*h, qor::kFmtFont, 9, nums);
    setFormat(*h, qor::kFmtFontStyle, 7, CellArea::cell(1, 1));
    setFormat(*h, qor::kFmtFontSize, 15, CellArea::cell(1, 2));
    setFormat(*h, qor::kFmtBackground, 11, CellArea::cell(4, 4));
    setFormat(*h, qor::kFmtForeground, 14, CellArea::cell(4, 4));
    setFormat(*h, qor::kFmtPattern, 2, CellArea::cell(4, 4));
    setFormat(*h, qor::kFmtHAlign, 2, CellArea::area(1, 1, 1, 5));
    setFormat(*h, qor::kFmtVAlign, 1, CellArea::cell(3, 2));
    setFormat(*h, qor::kFmtRightLine, 4, nums);
    setFormat(*h, qor::kFmtBottomLine, 1, nums);
    for (int i = 1; i <= 5; ++i) {
        int32_t line = i;
        ASSERT_EQ(h->AccessRowColFlag(1, 1, i, &line), 0);
        uint16_t width = uint16_t(50 + i);
        ASSERT_EQ(h->AccessRowColSize(1, 1, i, &width), 0);
    }
    for (int i = 1; i <= 12; ++i) {
        int32_t line = -(i % 3);
        ASSERT_EQ(h->AccessRowColFlag(1, 0, i, &line), 0);
        uint16_t height = uint16_t(15 + i);
        ASSERT_EQ(h->AccessRowColSize(1, 0, i, &height), 0);
    }
    // A combined area, an area formula and a single-cell one.
    const CellArea comb = CellArea::area(7, 2, 8, 4);
    ASSERT_EQ(h->CombineCells(&comb), 0);
    CellArea sums = CellArea::area(2, 4, 6, 4);
    ASSERT_EQ(h->SetAreaFormula(&sums, "B2+C2"), 0);
    CellArea total = CellArea::cell(9, 2);
    ASSERT_EQ(h->SetAreaFormula(&total, "SUM(B2:B6)"), 0);
    // Keywords: unit name, year, month and a user keyword.
    ASSERT_TRUE(h->GetReportFile()->SetUserKeywordName(QStringLiteral("行次")));
    for (auto [slot, row, col] : {std::tuple{0, 10, 2}, {2, 10, 3}, {4, 10, 4}, {6, 10, 5}}) {
        CellRef at{0, int16_t(row), int16_t(col)};
        ASSERT_EQ(h->AccessKeywordCell(1, slot, &at), 0) << slot;
    }
    // A variable area of rows at the bottom, three lines on every page.
    int kind = 1, start = 11, extent = 6;
    ASSERT_EQ(h->AccessVarArea(1, &kind, &start, &extent), 0);
    oxtest::toData(*h, 3);
    for (int p = 1; p <= 3; ++p) {
        ASSERT_EQ(h->SetCurPage(p), 0);
        int used = 3;
        ASSERT_EQ(h->AccessVarCount(1, &used), 0);
        oxtest::setText(*h, p, 2, 1, QStringLiteral("现金%1").arg(p));
        oxtest::setText(*h, p, 3, 1, QStringLiteral("a&b<c>\"'%1").arg(p));
        oxtest::setNumber(*h, p, 2, 2, 1234.567 * p);
        oxtest::setNumber(*h, p, 3, 2, -0.001 * p);
        oxtest::setNumber(*h, p, 2, 3, 0.25 + p);
        if (p != 2) oxtest::setNumber(*h, p, 6, 3, 1e12 + p);
        oxtest::setNumber(*h, p, 7, 2, 77 * p);  // the combined area's value
        oxtest::setKeywordText(*h, 0, p, QStringLiteral("单位%1").arg(p));
        oxtest::setKeyword(*h, 2, p, 2003 + p);
        oxtest::setKeyword(*h, 4, p, p * 4);
        oxtest::setKeywordText(*h, 6, p, QStringLiteral("第%1行").arg(p));
        for (int line = 0; line < 3; ++line) {
            oxtest::setText(*h, p, 11 + line, 1, QStringLiteral("明细%1-%2").arg(p).arg(line));
            oxtest::setNumber(*h, p, 11 + line, 2, p * 100 + line);
        }
    }
    ASSERT_EQ(h->SetCurPage(1), 0);
    const QString before = describe(*h);

    const QString xml = dir + "/orig.xml";
    const auto w = qor::WriteOwnXml(*h, xml, qor::InitialExportSettings(h.get()));
    ASSERT_TRUE(w.written) << qPrintable(w.detail);

    qor::OwnXmlImportResult r;
    auto back = importNew(xml, dir + "/back.rep", &r);
    ASSERT_EQ(r.result, 1) << r.messageId << " " << qPrintable(r.detail);
    ASSERT_EQ(back->SetCurPage(1), 0);
    EXPECT_EQ(describe(*back), before);

    // The area formula is one area formula again, not five copies.
    FormulaInfo info;
    ASSERT_EQ(back->GetCellFormula(CellRef{0, 4, 4}, &info), 1);
    EXPECT_EQ(info.area, CellArea::area(2, 4, 6, 4));
    EXPECT_EQ(info.text, "B2+C2");
    // The variable area comes back as plain rows.
    int k = -1, s = -1, e = -1;
    ASSERT_EQ(back->AccessVarArea(0, &k, &s, &e), 0);
    EXPECT_EQ(k, 0);

    // Saved and exported again, the file is the same but for the name.
    const QString again = dir + "/back.xml";
    ASSERT_TRUE(qor::WriteOwnXml(*back, again, qor::InitialExportSettings(back.get())).written);
    QByteArray a = xmltest::readAll(xml), b = xmltest::readAll(again);
    a.replace("repname=\"orig\"", "repname=\"back\"");
    EXPECT_EQ(a, b);
}

TEST(OwnXmlImport, TheTableTakesTheFilesSize) {
    const QString dir = oxtest::testDir();
    auto small = importNew(writeExchangeFile(dir + "/small.xml", grid(10, 3)), dir + "/small.rep");
    EXPECT_EQ(small->GetRowCount(), 10);
    EXPECT_EQ(small->GetColCount(), 3);

    auto big = importNew(writeExchangeFile(dir + "/big.xml", grid(60, 9)), dir + "/big.rep");
    EXPECT_EQ(big->GetRowCount(), 60);
    EXPECT_EQ(big->GetColCount(), 9);

    // No cell element: the new report keeps its size.
    auto none = importNew(writeExchangeFile(dir + "/none.xml", {}), dir + "/none.rep");
    EXPECT_EQ(none->GetRowCount(), 50);
    EXPECT_EQ(none->GetColCount(), 7);
    EXPECT_EQ(none->GetPageCount(), 1);
}

TEST(OwnXmlImport, TheCutKeepsACombinedAreaThatEndsBeforeTheLastElement) {
    // D9:E10 is combined; the last element is C10, whose end column (3) is
    // not the table's.
    const QString dir = oxtest::testDir();
    QList<CellXml> cells;
    for (int r = 9; r <= 10; ++r) {
        for (int c = 1; c <= 3; ++c) cells.append(CellXml(r, c));
        if (r == 9) {
            CellXml area(9, 4);
            area.r2 = 10;
            area.c2 = 5;
            cells.append(area);
        }
    }
    auto h = importNew(writeExchangeFile(dir + "/cut.xml", cells), dir + "/cut.rep");
    EXPECT_EQ(h->GetRowCount(), 10);
    EXPECT_EQ(h->GetColCount(), 5);
    CellArea comb;
    ASSERT_EQ(h->GetCombinedArea(CellArea::cell(10, 5), &comb), 1);
    EXPECT_EQ(comb, CellArea::area(9, 4, 10, 5));
}

TEST(OwnXmlImport, ReaderRulesForEachElement) {
    const QString dir = oxtest::testDir();
    QList<CellXml> cells;
    CellXml a(1, 1);
    a.set = {{"has_comma", "TRUE"},
             {"has_percent", "False"},
             {"font_style", "bold"},
             {"decimal_digits", "9"},
             {"currency_symbol", "5"},
             {"font_size", "13"},
             {"fill_type", "6"},
             {"background_color", "#abcdef"},
             {"foreground_color", "red"},
             {"horizontal_alignment", "justify"},
             {"vertical_alignment", "top"},
             {"font_name_index", "Arial Black"},
             {"left_line_type", "-2"},
             {"top_line_type", "3"}};
    cells.append(a);
    CellXml b(1, 2);
    b.set = {{"data_type", "15"},
             {"fill_type", "3"},
             {"background_color", "#0000FF"},
             {"horizontal_alignment", "center"},
             {"left_line_type", "7"},
             {"multi_line", "1"}};
    b.values = {"", QString(40, u'字')};
    cells.append(b);
    CellXml c(2, 1);
    c.set = {{"data_type", "5"}, {"font_size", "120"}, {"fill_type", "5"}};
    c.values = {QString(40, u'x'), "ignored"};
    cells.append(c);
    CellXml d(2, 2);
    d.set = {{"data_type", "14"}, {"fill_type", "4"}};
    d.values = {"", ""};  // an empty number stays empty
    cells.append(d);
    auto h = importNew(writeExchangeFile(dir + "/rules.xml", cells), dir + "/rules.rep");

    EXPECT_EQ(formatOf(*h, qor::kFmtThousands, 1, 1), 1);
    EXPECT_EQ(formatOf(*h, qor::kFmtPercent, 1, 1), 0);
    EXPECT_EQ(formatOf(*h, qor::kFmtFontStyle, 1, 1), 0);
    EXPECT_EQ(formatOf(*h, qor::kFmtDecimals, 1, 1), 2);
    EXPECT_EQ(formatOf(*h, qor::kFmtCurrency, 1, 1), 0);
    EXPECT_EQ(formatOf(*h, qor::kFmtFontSize, 1, 1), 1);
    EXPECT_EQ(formatOf(*h, qor::kFmtPattern, 1, 1), 0);
    EXPECT_EQ(formatOf(*h, qor::kFmtBackground, 1, 1), 1);
    EXPECT_EQ(formatOf(*h, qor::kFmtForeground, 1, 1), 0);
    EXPECT_EQ(formatOf(*h, qor::kFmtHAlign, 1, 1), 1);
    EXPECT_EQ(formatOf(*h, qor::kFmtVAlign, 1, 1), 1);
    EXPECT_EQ(formatOf(*h, qor::kFmtFont, 1, 1), 10);
    int32_t line = 0;
    h->AccessRowColFlag(0, 0, 1, &line);
    EXPECT_EQ(line, -2) << "row 1's byte from A1, not from B1";
    h->AccessRowColFlag(0, 1, 1, &line);
    EXPECT_EQ(line, 3);
    h->AccessRowColFlag(0, 1, 2, &line);
    EXPECT_EQ(line, 0) << "B1's top line is written 0 and read as such";

    EXPECT_EQ(formatOf(*h, qor::kFmtKind, 1, 2), kCellText);
    EXPECT_EQ(formatOf(*h, qor::kFmtPattern, 1, 2), 2);
    EXPECT_EQ(formatOf(*h, qor::kFmtBackground, 1, 2), 14);
    EXPECT_EQ(formatOf(*h, qor::kFmtHAlign, 1, 2), 2);
    EXPECT_EQ(formatOf(*h, qor::kFmtWrap, 1, 2), 1) << "text cells keep their line wrap";
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 1, 2, 1), 0);
    EXPECT_EQ(v.text, QString(32, u'字'));

    ASSERT_EQ(h->GetCellValue(&v, 2, 1, 1), 0);
    EXPECT_EQ(v.kind, kCellLabel);
    EXPECT_EQ(v.text, QString(32, u'x'));
    EXPECT_EQ(formatOf(*h, qor::kFmtFontSize, 2, 1), 15);
    EXPECT_EQ(formatOf(*h, qor::kFmtPattern, 2, 1), 3);
    EXPECT_EQ(formatOf(*h, qor::kFmtPattern, 2, 2), 1);
    ASSERT_EQ(h->GetCellValue(&v, 2, 2, 1), 0);
    EXPECT_EQ(v.kind, kCellUnset);
}

TEST(OwnXmlImport, RootFlagsChooseWhatIsApplied) {
    const QString dir = oxtest::testDir();
    QList<CellXml> cells;
    CellXml a(1, 1);
    a.set = {{"font_size", "72"},
             {"height", "30"},
             {"formula", "B1*2"},
             {"formula_area", "A1"},
             {"keyword_name", QStringLiteral("年")}};
    a.values = {"", "1", "2", "3"};
    a.keywordValues = {"", "2001", "2002", "2003"};
    cells.append(a);
    CellXml b(1, 2);
    b.set = {{"data_type", "5"}, {"height", "30"}};  // the row's last cell sets its height
    b.values = {QStringLiteral("标签"), "", "", ""};
    cells.append(b);
    CellXml c(2, 1);
    c.r2 = 3;
    cells.append(c);

    const int32_t defaultSize = formatOf(*newReport(dir + "/fresh.rep"), qor::kFmtFontSize, 1, 1);
    struct Case {
        const char* attributes;
        bool format, data, formula;
    };
    for (const Case& k :
         {Case{"format=\"0\"", false, true, true}, Case{"data=\"0\"", true, false, true},
          Case{"formula=\"true\" data=\"yes\"", true, false, false}, Case{"", true, true, true}}) {
        SCOPED_TRACE(k.attributes);
        const QString xml = writeExchangeFile(dir + "/flags.xml", cells, k.attributes);
        QFile::remove(dir + "/flags.rep");
        qor::OwnXmlImportResult r;
        auto h = importNew(xml, dir + "/flags.rep", &r);
        ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
        EXPECT_EQ(h->GetPageCount(), 3) << "the pages are made whatever the flags";
        EXPECT_EQ(formatOf(*h, qor::kFmtFontSize, 1, 1), k.format ? 14 : defaultSize);
        uint16_t height = 0;
        h->AccessRowColSize(0, 0, 1, &height);
        EXPECT_EQ(height == 30, k.format);
        CellArea comb;
        EXPECT_EQ(h->GetCombinedArea(CellArea::cell(3, 1), &comb), k.format ? 1 : 0);
        CellRef kw;
        h->AccessKeywordCell(0, 2, &kw);
        EXPECT_EQ(kw.row == 1 && kw.col == 1, k.format);
        FormulaInfo info;
        EXPECT_EQ(h->GetCellFormula(CellRef{0, 1, 1}, &info), k.formula ? 1 : 0);
        // Kinds and labels come whatever the format flag says.
        CellValue v;
        h->GetCellValue(&v, 1, 2, 1);
        EXPECT_EQ(v.text, QStringLiteral("标签"));
        h->GetCellValue(&v, 1, 1, 3);
        EXPECT_EQ(v.kind == kCellNumber && v.number == 3, k.data);
        qor::KeywordValue kv;
        h->GetPageKeyword(2, &kv, 2);
        EXPECT_EQ(kv.kind == 1 && kv.number == 2002, k.data);
    }
}

TEST(OwnXmlImport, RefusedValuesStopThePassAndChangeNothing) {
    const QString dir = oxtest::testDir();
    struct Case {
        const char* name;
        std::function<void(CellXml&)> spoil;
        int message;
    };
    const QList<Case> cases = {
        {"comma", [](CellXml& c) { c.set["has_comma"] = "yes"; }, qor::str::kXmlBadHasComma},
        {"percent", [](CellXml& c) { c.set["has_percent"] = "1"; }, qor::str::kXmlBadHasPercent},
        {"type", [](CellXml& c) { c.set["data_type"] = "7"; }, qor::str::kXmlBadDataType},
        {"height", [](CellXml& c) { c.omit << "height"; }, qor::str::kCheckXmlFile},
        {"row", [](CellXml& c) { c.set["start_row"] = "40000"; }, qor::str::kCheckXmlFile},
        {"size", [](CellXml& c) { c.set["font_size"] = "big"; }, qor::str::kCheckXmlFile},
        {"backwards", [](CellXml& c) { c.set["end_row"] = "0"; }, qor::str::kCheckXmlFile},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        QList<CellXml> cells = grid(3, 2);
        CellXml& last = cells.last();
        k.spoil(last);
        const QString xml = writeExchangeFile(dir + "/bad.xml", cells);
        auto h = newReport(dir + QStringLiteral("/bad-%1.rep").arg(k.name));
        const QString before = describe(*h);
        xmltest::MessageCatcher messages;
        const int pass = ImportReportXml(*h, xml, kXmlImportFormatPass);
        const int data = pass ? ImportReportXml(*h, xml, 1) : 0;
        EXPECT_EQ(pass + data, 0) << "a refused file is never reported as imported";
        ASSERT_EQ(messages.texts.size(), 1);
        EXPECT_EQ(messages.texts.first(), LoadErrorText(k.message));
        EXPECT_EQ(describe(*h), before);
    }
}

TEST(OwnXmlImport, AFileThatDoesNotLoadChangesNothing) {
    const QString dir = oxtest::testDir();
    const QString xml = dir + "/broken.xml";
    ASSERT_TRUE(xmltest::writeAll(xml, "<iqor_export><cell_property><height>18</height>"));
    auto h = newReport(dir + "/broken.rep");
    const QString before = describe(*h);
    xmltest::MessageCatcher messages;
    g_strXmlExchangePath = xml;
    EXPECT_EQ(ImportReportXml(h.get(), kXmlImportFormatPass), 0);
    EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kUnsupportedXml)});
    EXPECT_EQ(describe(*h), before);
    EXPECT_FALSE(qor::IsOwnXmlExchangeFile(xml));
    g_strXmlExchangePath.clear();
    EXPECT_EQ(ImportReportXml(h.get(), kXmlImportFormatPass), 0);
    EXPECT_EQ(ImportReportXml(nullptr, kXmlImportFormatPass), 0);
}

TEST(OwnXmlImport, TheRootIsRecognisedByItsNameInAnyCase) {
    const QString dir = oxtest::testDir();
    EXPECT_TRUE(qor::IsOwnXmlExchangeFile(writeExchangeFile(dir + "/ok.xml", grid(1, 1))));
    ASSERT_TRUE(xmltest::writeAll(dir + "/upper.xml", "<IQOR_Export/>"));
    EXPECT_TRUE(qor::IsOwnXmlExchangeFile(dir + "/upper.xml"));
    ASSERT_TRUE(xmltest::writeAll(dir + "/other.xml", "<ReportData/>"));
    EXPECT_FALSE(qor::IsOwnXmlExchangeFile(dir + "/other.xml"));
    EXPECT_FALSE(qor::IsOwnXmlExchangeFile(dir + "/missing.xml"));
}

TEST(OwnXmlImport, AnExternalEntityIsNeverRead) {
    const QString dir = oxtest::testDir();
    const QString secret = dir + "/secret.txt";
    ASSERT_TRUE(xmltest::writeAll(secret, "TOPSECRET"));
    CellXml c(1, 1);
    c.set["data_type"] = "15";
    c.values = {"", "&x;"};
    const QString body = c.toXml();
    const QByteArray file =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE iqor_export [<!ENTITY x SYSTEM \"file://" +
        secret.toUtf8() + "\">]>\n<iqor_export>" + body.toUtf8() + "</iqor_export>";
    const QString xml = dir + "/xxe.xml";
    ASSERT_TRUE(xmltest::writeAll(xml, file));
    xmltest::MessageCatcher messages;
    auto h = newReport(dir + "/xxe.rep");
    ImportReportXml(*h, xml, kXmlImportFormatPass);
    if (h->IsFormatState()) {
        ASSERT_EQ(h->EnterDataState(), 0);
    }
    ImportReportXml(*h, xml, 1);
    QString all;
    for (int p = 1; p <= h->GetPageCount(); ++p) all += h->GetCellText(1, 1, p);
    EXPECT_FALSE(all.contains("TOPSECRET"));
}

TEST(OwnXmlImport, AValueUsingAnEntityThatIsNotReadRefusesTheFile) {
    // The cell would otherwise hold 0, a value the file never held.
    const QString dir = oxtest::testDir();
    CellXml c(1, 1);
    c.values = {"", "&x;"};
    const QByteArray body = c.toXml().toUtf8();
    const QByteArray external = "<?xml version=\"1.0\"?>\n<!DOCTYPE iqor_export [<!ENTITY x "
                                "SYSTEM \"amount.txt\">]>\n<iqor_export>" +
                                body + "</iqor_export>";
    ASSERT_TRUE(xmltest::writeAll(dir + "/amount.txt", "1200"));
    ASSERT_TRUE(xmltest::writeAll(dir + "/ext.xml", external));
    qor::OwnXmlImportResult r;
    auto h = importNew(dir + "/ext.xml", dir + "/ext.rep", &r);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.messageId, qor::str::kUnsupportedXml);
    EXPECT_TRUE(r.detail.contains(QStringLiteral("实体"))) << r.detail.toStdString();
    EXPECT_EQ(h->GetPageCount(), 0);
    EXPECT_FALSE(qor::IsOwnXmlExchangeFile(dir + "/ext.xml"));

    // An internal entity is part of the file and gives its text.
    const QByteArray internal =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE iqor_export [<!ENTITY x \"1200\">]>\n<iqor_export>" +
        body + "</iqor_export>";
    ASSERT_TRUE(xmltest::writeAll(dir + "/int.xml", internal));
    auto h2 = importNew(dir + "/int.xml", dir + "/int.rep", &r);
    ASSERT_EQ(r.result, 1) << r.detail.toStdString();
    CellValue v;
    ASSERT_EQ(h2->GetCellValue(&v, 1, 1, 1), 0);
    EXPECT_EQ(v.number, 1200);
}

TEST(OwnXmlImport, CommentsAndOtherElementsAmongTheCellsArePassedOver) {
    const QString dir = oxtest::testDir();
    CellXml a(1, 1), b(2, 2);
    a.values = {"", "5"};
    b.values = {"", "6"};
    const QByteArray x = "<?xml version=\"1.0\"?><iqor_export><!-- made by hand -->" +
                         a.toXml().toUtf8() + "<?note x?><keyword_date>2004-12-31</keyword_date>" +
                         b.toXml().toUtf8() + "<other/></iqor_export>";
    ASSERT_TRUE(xmltest::writeAll(dir + "/mixed.xml", x));
    qor::OwnXmlImportResult r;
    auto h = importNew(dir + "/mixed.xml", dir + "/mixed.rep", &r);
    ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
    EXPECT_EQ(h->GetRowCount(), 2);
    CellValue v;
    h->GetCellValue(&v, 2, 2, 1);
    EXPECT_EQ(v.number, 6);
}

TEST(OwnXmlImport, PagesFollowTheFirstCellsValues) {
    const QString dir = oxtest::testDir();
    for (int n : {0, 1, 2, 3, 7}) {
        SCOPED_TRACE(n);
        CellXml a(1, 1);
        a.values.clear();
        for (int i = 0; i < n; ++i) a.values.append(i ? QString::number(i * 10) : QString());
        if (n == 0) a.omit << "data_type";
        const QString xml = writeExchangeFile(dir + "/p.xml", {a});
        QFile::remove(dir + "/p.rep");
        qor::OwnXmlImportResult r;
        auto h = importNew(xml, dir + "/p.rep", &r);
        if (n == 0) {
            EXPECT_EQ(r.result, 0) << "a cell without data_type is refused";
            continue;
        }
        ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
        EXPECT_EQ(h->GetPageCount(), std::max(n - 1, 1));
        for (int p = 1; p < n; ++p) {
            CellValue v;
            h->GetCellValue(&v, 1, 1, p);
            EXPECT_EQ(v.number, p * 10);
        }
    }
}

TEST(OwnXmlImport, RefusedPageValuesStopTheDataPassBeforeAnythingIsWritten) {
    const QString dir = oxtest::testDir();
    CellXml good(1, 1);
    good.values = {"", "1", "2", "3"};
    CellXml fewKeywords(1, 2);
    fewKeywords.values = good.values;
    fewKeywords.set["keyword_name"] = QStringLiteral("月");
    fewKeywords.keywordValues = {"", "4", "5"};
    CellXml badNumber(1, 2);
    badNumber.values = {"", "1", "12abc", "3"};
    CellXml badYear(1, 2);
    badYear.values = good.values;
    badYear.set["keyword_name"] = QStringLiteral("年");
    badYear.keywordValues = {"", "2004", "x", "2006"};
    for (const CellXml& bad : {fewKeywords, badNumber, badYear}) {
        const QString xml = writeExchangeFile(dir + "/kw.xml", {good, bad});
        QFile::remove(dir + "/kw.rep");
        auto h = newReport(dir + "/kw.rep");
        xmltest::MessageCatcher messages;
        ASSERT_EQ(ImportReportXml(*h, xml, kXmlImportFormatPass), 1);
        ASSERT_EQ(h->EnterDataState(), 0);
        EXPECT_EQ(ImportReportXml(*h, xml, 1), 0);
        EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kCheckXmlFile)});
        EXPECT_EQ(h->GetPageCount(), 0) << "no page was made";
    }
}

TEST(OwnXmlImport, FormulaCellsOutsideOneAreaGetTheirOwnMovedText) {
    std::shared_ptr<qor::IFormulaChecker> previous = qor::FormulaChecker();
    qor::cmd::InstallEngineHooks();
    const QString dir = oxtest::testDir();
    QList<CellXml> cells = grid(5, 3);
    for (int r : {3, 5}) {
        CellXml& c = cells[(r - 1) * 3 + 2];
        c.set["formula"] = "A3+B3";
        c.set["formula_area"] = "C3";
    }
    // A formula without its area is set as written.
    cells[3 * 3 + 2].set["formula"] = "A1*2";
    auto h = importNew(writeExchangeFile(dir + "/f.xml", cells), dir + "/f.rep");
    FormulaInfo info;
    ASSERT_EQ(h->GetCellFormula(CellRef{0, 3, 3}, &info), 1);
    EXPECT_EQ(info.text, "A3+B3");
    ASSERT_EQ(h->GetCellFormula(CellRef{0, 5, 3}, &info), 1);
    EXPECT_EQ(info.text, "A5+B5");
    EXPECT_EQ(info.area, CellArea::cell(5, 3));
    ASSERT_EQ(h->GetCellFormula(CellRef{0, 4, 3}, &info), 1);
    EXPECT_EQ(info.text, "A1*2");
    qor::InstallFormulaChecker(previous);
}

TEST(OwnXmlImport, KeywordValuesGoToTheirPagesAndNamesMakeTheUserKeyword) {
    const QString dir = oxtest::testDir();
    CellXml a(1, 1), b(1, 2), c(2, 1);
    for (CellXml* x : {&a, &b, &c}) x->values = {"", "", ""};
    a.set["keyword_name"] = QStringLiteral("单位编号");
    // A text keyword keeps 32 characters: 40 are named, not cut.
    a.keywordValues = {"", QString(40, u'9'), "B"};
    qor::OwnXmlImportResult refused;
    importNew(writeExchangeFile(dir + "/kw40.xml", {a}), dir + "/kw40.rep", &refused);
    EXPECT_EQ(refused.result, 0);
    EXPECT_TRUE(refused.detail.contains(QString(32, u'9'))) << qPrintable(refused.detail);
    a.keywordValues = {"", QString(32, u'9'), "B"};
    b.set["keyword_name"] = QStringLiteral("日");
    b.keywordValues = {"", "", "15"};
    c.set["keyword_name"] = QStringLiteral("一个很长很长的自定义关键字名称呀");
    c.keywordValues = {"", "x", "12"};
    auto h = importNew(writeExchangeFile(dir + "/kw.xml", {a, b, c}), dir + "/kw.rep");
    qor::KeywordValue v;
    h->GetPageKeyword(1, &v, 1);
    EXPECT_EQ(v.text, QString(32, u'9'));
    h->GetPageKeyword(1, &v, 2);
    EXPECT_EQ(v.text, "B");
    h->GetPageKeyword(5, &v, 1);
    EXPECT_EQ(v.kind, 0) << "an empty day is unset";
    h->GetPageKeyword(5, &v, 2);
    EXPECT_EQ(v.number, 15);
    EXPECT_EQ(h->GetReportFile()->GetUserKeywordName(),
              QStringLiteral("一个很长很长的自定义关键字名"));
    h->GetPageKeyword(6, &v, 1);
    EXPECT_EQ(v.text, "x");
    CellRef at;
    h->AccessKeywordCell(0, 6, &at);
    EXPECT_EQ(at, (CellRef{0, 2, 1}));
}

// Pages whose keyword cells were never filled come back unset, not as
// 0 and "" (which print "年：0"); the filled page keeps its values, a 0
// year among them.
TEST(OwnXmlImport, UnsetKeywordsStayUnsetThroughAFile) {
    const QString dir = oxtest::testDir();
    auto h = oxtest::newReport(dir + "/kw.rep", 3, 4);
    for (auto [slot, col] : {std::pair{0, 1}, {2, 2}, {4, 3}, {5, 4}}) {
        CellRef at{0, 3, int16_t(col)};
        ASSERT_EQ(h->AccessKeywordCell(1, slot, &at), 0) << slot;
    }
    oxtest::toData(*h, 4);
    oxtest::setKeywordText(*h, 0, 1, QStringLiteral("北京分公司"));
    oxtest::setKeyword(*h, 2, 1, 2024);
    oxtest::setKeyword(*h, 4, 1, 0);
    oxtest::setKeyword(*h, 5, 3, 9);
    const QString xml = dir + "/kw.xml";
    ASSERT_TRUE(qor::WriteOwnXml(*h, xml, qor::InitialExportSettings(h.get())).written);

    qor::OwnXmlImportResult r;
    auto back = importNew(xml, dir + "/back.rep", &r);
    ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
    ASSERT_EQ(back->GetPageCount(), 4);
    for (int page = 1; page <= 4; ++page)
        for (int slot : {0, 2, 4, 5}) {
            qor::KeywordValue was, now;
            ASSERT_EQ(h->GetPageKeyword(slot, &was, page), 0);
            ASSERT_EQ(back->GetPageKeyword(slot, &now, page), 0);
            EXPECT_EQ(now, was) << "page " << page << ", slot " << slot;
        }
    qor::KeywordValue unset;
    ASSERT_EQ(back->GetPageKeyword(2, &unset, 2), 0);
    EXPECT_EQ(unset.kind, 0);
    qor::KeywordValue zero;
    ASSERT_EQ(back->GetPageKeyword(4, &zero, 1), 0);
    EXPECT_EQ(zero, (qor::KeywordValue{1, 0, {}}));
}

// A cell element past what a report holds is refused with its row or
// column and the limit.
TEST(OwnXmlImport, ACellPastTheTablesLimitIsNamed) {
    const QString dir = oxtest::testDir();
    for (const auto& [cell, told] : {std::pair{CellXml(10005, 1), QStringLiteral("第10005行超出了报表最多9999行的上限")},
                                     {CellXml(2, 256), QStringLiteral("第256列超出了报表最多255列的上限")}}) {
        CellXml c = cell;
        c.values = {"", "1"};
        qor::OwnXmlImportResult r;
        importNew(writeExchangeFile(dir + "/far.xml", {c}), dir + "/far.rep", &r);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.detail, told);
    }
}

TEST(OwnXmlImport, FortyThousandCellsImportWholeAndPrettyPrintedAlike) {
    const QString dir = oxtest::testDir();
    QList<CellXml> cells;
    for (int r = 1; r <= 1000; ++r) {
        for (int c = 1; c <= 40; ++c) {
            CellXml x(r, c);
            x.values = {"", QString::number(r * 100 + c)};
            cells.append(x);
        }
    }
    const QString xml = writeExchangeFile(dir + "/big.xml", cells);
    qor::OwnXmlImportResult r;
    auto h = importNew(xml, dir + "/big.rep", &r);
    ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
    EXPECT_EQ(h->GetRowCount(), 1000);
    EXPECT_EQ(h->GetColCount(), 40);
    CellValue v;
    h->GetCellValue(&v, 1000, 40, 1);
    EXPECT_EQ(v.number, 100040) << "the cells past the 32,767th arrive";

    auto pretty = xmltest::xmllint({"--format", "--output", dir + "/pretty.xml", xml});
    if (!pretty) GTEST_SKIP() << "no xmllint";
    ASSERT_EQ(pretty->exitCode, 0) << pretty->err.constData();
    auto h2 = importNew(dir + "/pretty.xml", dir + "/pretty.rep", &r);
    ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
    EXPECT_EQ(describe(*h2), describe(*h));
}

namespace {

// A report of lines (a row area at row 2) with formulas above, below and
// beside them; page p uses lines[p-1] lines. Its shown values, page by
// page, and the row the file puts each shown row of a page at.
struct LinesReport {
    std::unique_ptr<CReportHandle> h;
    std::vector<int> lines;
    int fileLines() const { return *std::max_element(lines.begin(), lines.end()); }
    int fileRow(int page, int shownRow) const {
        const int used = lines[size_t(page - 1)];
        return shownRow < 2 + used ? shownRow : shownRow + fileLines() - used;
    }
};

LinesReport linesReport(const QString& path, std::vector<int> lines) {
    LinesReport out{newReport(path, 7, 4), std::move(lines)};
    CReportHandle& h = *out.h;
    int kind = 1, start = 2, extent = 5;
    EXPECT_EQ(h.AccessVarArea(1, &kind, &start, &extent), 0);
    // Format state: row 3 is the cell below the lines, the formulas read it.
    const std::pair<CellArea, const char*> formulas[] = {
        {CellArea::cell(1, 4), "B3+0"},           // above the lines, reading below them
        {CellArea::cell(4, 2), "B3+1"},           // below
        {CellArea::cell(4, 3), "B3+B2"},          // the template reads the first line
        {CellArea::cell(4, 4), "B3@1"},           // another page
        {CellArea::cell(5, 2), "TOTAL(B3)"},      // every page
        {CellArea::area(5, 3, 6, 4), "B3*2"},     // an area formula beside them
        {CellArea::cell(7, 2), "PTOTAL(B1:B3)"},  // across the lines: no text reads it
    };
    for (auto [area, text] : formulas) EXPECT_EQ(h.SetAreaFormula(&area, text), 0) << text;
    oxtest::toData(h, int(out.lines.size()));
    for (int p = 1; p <= int(out.lines.size()); ++p) {
        EXPECT_EQ(h.SetCurPage(p), 0);
        int used = out.lines[size_t(p - 1)];
        EXPECT_EQ(h.AccessVarCount(1, &used), 0);
        for (int line = 0; line < used; ++line) oxtest::setNumber(h, p, 2 + line, 2, line + 1 + 10 * p);
        oxtest::setNumber(h, p, 2 + used, 2, 100 * p);
        oxtest::setNumber(h, p, 2 + used, 3, 7 * p);
    }
    EXPECT_EQ(h.RecalcAll(), 0);
    return out;
}

}  // namespace

TEST(OwnXmlImport, FormulasAroundTheLinesReadTheSameCellsThroughTheFile) {
    std::shared_ptr<qor::IFormulaChecker> previous = qor::FormulaChecker();
    qor::cmd::InstallEngineHooks();
    for (const std::vector<int>& lines : {std::vector<int>{3}, std::vector<int>{3, 1, 2}}) {
        SCOPED_TRACE(lines.size());
        const QString dir = oxtest::testDir();
        LinesReport src = linesReport(dir + "/lines.rep", lines);
        const QString xml = dir + "/lines.xml";
        const qor::OwnXmlExportResult w =
            qor::WriteOwnXml(*src.h, xml, qor::InitialExportSettings(src.h.get()));
        ASSERT_TRUE(w.written) << qPrintable(w.detail);
        // PTOTAL(B1:B3) passes the template line by; the file's lines are
        // plain rows it would add up. It goes as its value, and is named.
        ASSERT_EQ(w.leftOut.size(), 1) << qPrintable(w.leftOut.join('\n'));
        EXPECT_TRUE(w.leftOut[0].contains("PTOTAL(B1:B3)")) << qPrintable(w.leftOut[0]);

        qor::OwnXmlImportResult r;
        auto back = importNew(xml, dir + "/back.rep", &r);
        ASSERT_EQ(r.result, 1) << qPrintable(r.detail);
        EXPECT_TRUE(r.leftOut.isEmpty()) << qPrintable(r.leftOut.join('\n'));
        ASSERT_EQ(back->RecalcAll(), 0);
        const int below = 3 + src.fileLines() - 1;  // the file row of stored row 3
        FormulaInfo info;
        ASSERT_EQ(back->GetCellFormula(CellRef{0, int16_t(below + 1), 2}, &info), 1);
        EXPECT_EQ(info.text, QStringLiteral("B%1+1").arg(below));
        EXPECT_EQ(back->GetCellFormula(CellRef{0, int16_t(below + 4), 2}, &info), 0)
            << "PTOTAL is a value";
        for (int p = 1; p <= int(lines.size()); ++p) {
            const int shownRows = 7 + lines[size_t(p - 1)] - 1;
            for (int row = 1; row <= shownRows; ++row)
                for (int col = 1; col <= 4; ++col) {
                    CellValue a, b;
                    ASSERT_EQ(src.h->GetCellValue(&a, row, col, p), 0);
                    ASSERT_EQ(back->GetCellValue(&b, src.fileRow(p, row), col, p), 0);
                    EXPECT_EQ(a.kind, b.kind) << "page " << p << " " << row << "," << col;
                    EXPECT_EQ(a.number, b.number) << "page " << p << " " << row << "," << col;
                }
        }
        // A total over every page, and page 1's cell, read the same too.
        CellValue total;
        ASSERT_EQ(back->GetCellValue(&total, below + 2, 2, 1), 0);
        double sum = 0;
        for (int p = 1; p <= int(lines.size()); ++p) sum += 100 * p;
        EXPECT_EQ(total.number, sum);
    }
    qor::InstallFormulaChecker(previous);
}

TEST(OwnXmlImport, SomePagesWrittenKeepOnlyFormulasReadingThosePages) {
    std::shared_ptr<qor::IFormulaChecker> previous = qor::FormulaChecker();
    qor::cmd::InstallEngineHooks();
    const QString dir = oxtest::testDir();
    LinesReport src = linesReport(dir + "/lines.rep", {2, 3, 1});
    qor::ExportSetMembers two = qor::InitialExportSettings(src.h.get());
    two.m_bAllPages = 0;
    qor::ApplyExportPageSelection(&two, {2, 3});
    const QString xml = dir + "/two.xml";
    const qor::OwnXmlExportResult w = qor::WriteOwnXml(*src.h, xml, two);
    ASSERT_TRUE(w.written) << qPrintable(w.detail);
    // B3@1 reads a page not written, TOTAL(B3) adds fewer pages: both go
    // as values, with the PTOTAL across the lines.
    const QString named = w.leftOut.join('\n');
    ASSERT_EQ(w.leftOut.size(), 2) << qPrintable(named);
    EXPECT_TRUE(w.leftOut[0].contains(LoadErrorText(qor::str::kLossLine)
                                          .arg(LoadErrorText(qor::str::kLossFormulasOfUnwrittenPages))
                                          .arg(2)
                                          .arg("D6：B3@1")))
        << qPrintable(named);
    EXPECT_TRUE(w.leftOut[1].contains("PTOTAL")) << qPrintable(named);
    auto back = importNew(xml, dir + "/back.rep");
    ASSERT_EQ(back->RecalcAll(), 0);
    for (int p = 1; p <= 2; ++p) {
        const int from = p + 1;
        for (int row = 1; row <= 7 + src.lines[size_t(from - 1)] - 1; ++row)
            for (int col = 1; col <= 4; ++col) {
                CellValue a, b;
                ASSERT_EQ(src.h->GetCellValue(&a, row, col, from), 0);
                const int used = src.lines[size_t(from - 1)];
                ASSERT_EQ(back->GetCellValue(&b, row < 2 + used ? row : row + 3 - used, col, p), 0);
                EXPECT_EQ(a.number, b.number) << "page " << from << " " << row << "," << col;
            }
    }
    qor::InstallFormulaChecker(previous);
}

// The file numbers the pages it holds from 1: a formula reading its page's
// number, the page count or another report's page of the same number would
// read another one there. It goes as its value, named; a page reference
// follows its page.
TEST(OwnXmlImport, FormulasReadingPageNumbersKeepTheirValuesWhenPagesAreLeftOut) {
    std::shared_ptr<qor::IFormulaChecker> previous = qor::FormulaChecker();
    qor::cmd::InstallEngineHooks();
    const QString dir = oxtest::testDir();
    {
        auto other = newReport(dir + "/other.rep", 3, 3);
        oxtest::toData(*other, 3);
        for (int p = 1; p <= 3; ++p) oxtest::setNumber(*other, p, 1, 1, 1000 * p);
        ASSERT_EQ(other->Save(), 0);
    }
    auto src = newReport(dir + "/pages.rep", 3, 5);
    const std::pair<CellArea, QString> formulas[] = {
        {CellArea::cell(1, 1), QStringLiteral("MRECNO()")},
        {CellArea::cell(1, 2), QStringLiteral("MNUMBER()")},
        {CellArea::cell(1, 3), QStringLiteral("A2@3")},
        {CellArea::cell(1, 4), QStringLiteral("\"%1\"->A1").arg(dir + "/other.rep")},
        {CellArea::cell(1, 5), QStringLiteral("A2*2")},
    };
    for (auto [area, text] : formulas) EXPECT_EQ(src->SetAreaFormula(&area, text), 0) << qPrintable(text);
    oxtest::toData(*src, 3);
    for (int p = 1; p <= 3; ++p) oxtest::setNumber(*src, p, 2, 1, 11 * p);
    ASSERT_EQ(src->RecalcAll(), 0);

    struct Named {
        int kind;
        int count;
        const char* first;
    };
    struct Case {
        QList<int> pages;
        std::vector<Named> named;  // the formulas written as values, by kind
    };
    const Case cases[] = {
        // MRECNO, MNUMBER and the other report's cell of the same page.
        {{2, 3}, {{qor::str::kLossFormulasOfPageNumbers, 3, "A1：MRECNO()"}}},
        // The first pages keep their numbers: only the count differs.
        {{1, 2},
         {{qor::str::kLossFormulasOfPageNumbers, 1, "B1：MNUMBER()"},
          {qor::str::kLossFormulasOfUnwrittenPages, 1, "C1：A2@3"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pages.front());
        qor::ExportSetMembers some = qor::InitialExportSettings(src.get());
        some.m_bAllPages = 0;
        qor::ApplyExportPageSelection(&some, c.pages);
        const QString xml = dir + QStringLiteral("/some%1.xml").arg(c.pages.front());
        const qor::OwnXmlExportResult w = qor::WriteOwnXml(*src, xml, some);
        ASSERT_TRUE(w.written) << qPrintable(w.detail);
        const QString named = w.leftOut.join('\n');
        EXPECT_EQ(w.leftOut.size(), qsizetype(c.named.size())) << qPrintable(named);
        for (const Named& n : c.named)
            EXPECT_TRUE(named.contains(
                LoadErrorText(qor::str::kLossLine).arg(LoadErrorText(n.kind)).arg(n.count).arg(QString::fromUtf8(n.first))))
                << qPrintable(named);
        EXPECT_FALSE(named.contains("E1")) << qPrintable(named);
        auto back = importNew(xml, dir + QStringLiteral("/back%1.rep").arg(c.pages.front()));
        ASSERT_EQ(back->RecalcAll(), 0);
        for (int k = 0; k < int(c.pages.size()); ++k)
            for (int col = 1; col <= 5; ++col) {
                CellValue a, b;
                ASSERT_EQ(src->GetCellValue(&a, 1, col, c.pages[k]), 0);
                ASSERT_EQ(back->GetCellValue(&b, 1, col, k + 1), 0);
                EXPECT_EQ(a.number, b.number) << "page " << c.pages[k] << " column " << col;
            }
    }
    qor::InstallFormulaChecker(previous);
}

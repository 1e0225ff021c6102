// Spreadsheet XML workbooks read into a report: styles, the table walk,
// period keywords, the data-validation check and hostile files.

#include <gtest/gtest.h>

#include <QFile>

#include "exchange/spreadsheetxml.h"
#include "platform/uiservices.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;
using oxtest::formatOf;

const char* kHead =
    "<?xml version=\"1.0\"?>\n"
    "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"\n"
    " xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">\n";

class SpreadsheetXml : public ::testing::Test {
protected:
    void SetUp() override {
        dir = oxtest::testDir();
        ui.messageBox = [this](const MessageRequest& m) {
            told << m.text;
            return m.defaultAnswer;
        };
        previous = installUiServices(ui);
    }
    void TearDown() override { installUiServices(previous); }

    QString write(const QString& body, const QString& name = QStringLiteral("book.xml")) {
        const QString path = dir + u'/' + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(kHead) + body.toUtf8() + "</Workbook>\n");
        return path;
    }
    // Reads the first worksheet of body into a fresh 50 x 7 report.
    std::unique_ptr<CReportHandle> read(const QString& body, CSpreadsheetXmlDoc* reader) {
        auto h = oxtest::newReport(dir + QStringLiteral("/r.rep"));
        const QString path = write(body);
        reader->Open(path);
        EXPECT_FALSE(reader->LoadFailed()) << qPrintable(reader->LoadError());
        const XmlNode ws = reader->GetRootElement().firstChildElement(u"Worksheet");
        EXPECT_FALSE(ws.isNull());
        reader->ReadWorksheetTable(ws, h.get(), 1);
        return h;
    }
    CellValue value(CReportHandle& h, int r, int c) {
        CellValue v;
        EXPECT_EQ(h.GetCellValue(&v, r, c, 0), 0);
        return v;
    }
    CellArea combined(CReportHandle& h, int r, int c) {
        CellArea out = CellArea::cell(r, c);
        h.GetCombinedArea(CellArea::cell(r, c), &out);
        return out;
    }

    QString dir;
    QStringList told;
    UiServices ui, previous;
};

TEST(SpreadsheetXmlLookups, ColoursFontsAndSizes) {
    // Palette texts in either case; other colours to the nearest.
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QStringLiteral("#FF0000")), kColourRed);
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QStringLiteral("#ff0000")), kColourRed);
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QStringLiteral("#7F7F7F")), kColourGrey);
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QStringLiteral("#FFFFFF")), kColourWhite);
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QStringLiteral("#000080")), kColourNavy);
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QString()), 0);
    EXPECT_EQ(CSpreadsheetXmlDoc::ColorToIndex(QStringLiteral("red")), 0);

    EXPECT_EQ(CSpreadsheetXmlDoc::FontNameToIndex(QStringLiteral("Arial")), 9);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontNameToIndex(QStringLiteral("arial")), 0);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontNameToIndex(QStringLiteral("Times New Roman")), 12);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontNameToIndex(QStringLiteral("黑体")), 2);

    EXPECT_EQ(CSpreadsheetXmlDoc::FontSizeToIndex(11), 2);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontSizeToIndex(13), 1);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontSizeToIndex(0), 1);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontSizeToIndex(120), 15);

    EXPECT_EQ(CSpreadsheetXmlDoc::FontStyleCode(1, 0, 1), kFontBoldUnderline);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontStyleCode(0, 1, 1), kFontItalicUnderline);
    EXPECT_EQ(CSpreadsheetXmlDoc::FontStyleCode(1, 1, 1), kFontBoldItalicUnderline);
}

TEST_F(SpreadsheetXml, StylesInADefaultNamespaceReachTheirCells) {
    CSpreadsheetXmlDoc reader;
    auto h = read(QStringLiteral(
                      "<Styles>"
                      "<Style ss:ID=\"v\"><Alignment ss:Vertical=\"Center\"/></Style>"
                      "<Style ss:ID=\"j\"><Alignment ss:Horizontal=\"Justify\"/>"
                      " <Font ss:FontName=\"Arial\" ss:Size=\"10.5\" ss:Color=\"#ff0000\""
                      "  ss:Bold=\"1\" ss:Underline=\"Single\"/></Style>"
                      "<Style ss:ID=\"b\"><Borders>"
                      " <Border ss:Position=\"Left\" ss:LineStyle=\"Continuous\" ss:Weight=\"2\"/>"
                      " <Border ss:Position=\"Top\" ss:LineStyle=\"Continuous\" ss:Weight=\"1\"/>"
                      " <Border ss:Position=\"Right\" ss:LineStyle=\"Dash\" ss:Weight=\"3\"/>"
                      " <Border ss:Position=\"DiagonalLeft\" ss:LineStyle=\"Continuous\"/>"
                      "</Borders></Style>"
                      "<Style ss:ID=\"p\"><NumberFormat ss:Format=\"Percent\"/></Style>"
                      "<Style ss:ID=\"t\"><NumberFormat ss:Format=\"#,##0.000_ \"/></Style>"
                      "<Style ss:ID=\"y\"><NumberFormat ss:Format=\"￥#,##0.00_ \"/></Style>"
                      "<Style ss:ID=\"e\"/>"
                      "</Styles>"
                      "<Worksheet ss:Name=\"S\"><Table>"
                      "<Row><Cell ss:StyleID=\"v\"/><Cell ss:StyleID=\"j\"/>"
                      "<Cell ss:StyleID=\"p\"/><Cell ss:StyleID=\"t\"/><Cell ss:StyleID=\"y\"/>"
                      "<Cell ss:StyleID=\"e\"/></Row>"
                      "<Row ss:Index=\"3\"><Cell ss:Index=\"3\" ss:StyleID=\"b\"/></Row>"
                      "</Table></Worksheet>"),
                  &reader);
    // Vertical alone leaves the horizontal default; Justify is left.
    EXPECT_EQ(formatOf(*h, kFmtHAlign, 1, 1), kAlignDefault);
    EXPECT_EQ(formatOf(*h, kFmtVAlign, 1, 1), kAlignCentre);
    EXPECT_EQ(formatOf(*h, kFmtHAlign, 1, 2), kAlignStart);
    EXPECT_EQ(formatOf(*h, kFmtVAlign, 1, 2), kAlignEnd);
    // Lower-case red stays red; 10.5 points reads as 10.
    EXPECT_EQ(formatOf(*h, kFmtForeground, 1, 2), kColourRed);
    EXPECT_EQ(formatOf(*h, kFmtFont, 1, 2), 9);
    EXPECT_EQ(formatOf(*h, kFmtFontSize, 1, 2), 1);
    EXPECT_EQ(formatOf(*h, kFmtFontStyle, 1, 2), kFontBoldUnderline);

    EXPECT_EQ(formatOf(*h, kFmtPercent, 1, 3), 1);
    EXPECT_EQ(formatOf(*h, kFmtDecimals, 1, 3), 4);
    EXPECT_EQ(formatOf(*h, kFmtDecimals, 1, 4), 3);
    EXPECT_EQ(formatOf(*h, kFmtCurrency, 1, 4), 0);
    EXPECT_EQ(formatOf(*h, kFmtCurrency, 1, 5), 1);
    EXPECT_EQ(formatOf(*h, kFmtDecimals, 1, 5), 2);
    // The thousands flag is set over the whole table.
    EXPECT_EQ(formatOf(*h, kFmtThousands, 3, 6), 1);
    // A style with no children changes nothing.
    EXPECT_EQ(formatOf(*h, kFmtHAlign, 1, 6), kAlignDefault);
    EXPECT_EQ(formatOf(*h, kFmtVAlign, 1, 6), kAlignDefault);

    // C3: left thick, top thin, right dashed draws nothing, no diagonal.
    EXPECT_EQ(formatOf(*h, kFmtRightLine, 3, 2), kLineMedium);
    EXPECT_EQ(formatOf(*h, kFmtBottomLine, 2, 3), kLineThin);
    EXPECT_EQ(formatOf(*h, kFmtRightLine, 3, 3), kLineNone);
}

TEST_F(SpreadsheetXml, TableSizeCountsOnlyWhatIsMissing) {
    {
        CSpreadsheetXmlDoc reader;
        auto h = read(QStringLiteral("<Worksheet><Table ss:ExpandedColumnCount=\"5\">"
                                     "<Column/><Column/><Row/><Row/><Row/></Table></Worksheet>"),
                      &reader);
        EXPECT_EQ(h->GetRowCount(), 3);
        EXPECT_EQ(h->GetColCount(), 5);
    }
    {
        // Neither count nor Column elements: the cells say how wide.
        CSpreadsheetXmlDoc reader;
        auto h = read(QStringLiteral("<Worksheet><Table>"
                                     "<Row><Cell><Data>a</Data></Cell></Row>"
                                     "<Row><Cell ss:Index=\"10\" ss:MergeAcross=\"2\">"
                                     "<Data>far</Data></Cell></Row></Table></Worksheet>"),
                      &reader);
        EXPECT_EQ(h->GetRowCount(), 2);
        EXPECT_EQ(h->GetColCount(), 12);
        EXPECT_EQ(h->GetCellText(2, 10, 0), QStringLiteral("far"));
        EXPECT_TRUE(reader.LeftOutCells().isEmpty());
    }
}

TEST_F(SpreadsheetXml, CellsLandWhereTheFilePutsThem) {
    const QString forty(40, QChar(u'字'));
    CSpreadsheetXmlDoc reader;
    auto h = read(QStringLiteral(
                      "<Worksheet><Table ss:ExpandedColumnCount=\"7\" ss:ExpandedRowCount=\"8\">"
                      "<Column ss:Width=\"54.75\"/><Column ss:Width=\"0\"/><Column ss:Width=\"20\"/>"
                      "<Row ss:Height=\"30.4\"><Cell ss:MergeAcross=\"2\"><Data>wide</Data></Cell>"
                      " <Cell><Data>next</Data></Cell></Row>"
                      "<Row><Cell ss:MergeDown=\"1\"><Data>tall</Data></Cell>"
                      " <Cell><Data>beside</Data></Cell></Row>"
                      "<Row><Cell ss:Index=\"2\"><Data>under</Data></Cell></Row>"
                      "<Row ss:Index=\"5\"><Cell ss:Index=\"1\"><Data>a5</Data></Cell>"
                      " <Cell ss:Index=\"3\"><Data>c5</Data></Cell></Row>"
                      "<Row><Cell><Data>%1</Data></Cell><Cell/></Row>"
                      "</Table></Worksheet>")
                      .arg(forty),
                  &reader);
    uint16_t size = 0;
    ASSERT_EQ(h->AccessRowColSize(0, 1, 1, &size), 0);
    EXPECT_EQ(size, 55);
    ASSERT_EQ(h->AccessRowColSize(0, 1, 3, &size), 0);
    EXPECT_EQ(size, 20);  // the zero width still moved on a column
    ASSERT_EQ(h->AccessRowColSize(0, 0, 1, &size), 0);
    EXPECT_EQ(size, 30);

    // Merged without a style: combined, and the next cell after it.
    EXPECT_EQ(combined(*h, 1, 1), CellArea::area(1, 1, 1, 3));
    EXPECT_EQ(h->GetCellText(1, 4, 0), QStringLiteral("next"));
    // Merged down: the row's later cells stay in the row.
    EXPECT_EQ(combined(*h, 2, 1), CellArea::area(2, 1, 3, 1));
    EXPECT_EQ(h->GetCellText(2, 2, 0), QStringLiteral("beside"));
    EXPECT_EQ(h->GetCellText(3, 2, 0), QStringLiteral("under"));
    // ss:Index skips cells and rows.
    EXPECT_EQ(h->GetCellText(5, 3, 0), QStringLiteral("c5"));
    EXPECT_EQ(h->GetCellText(5, 1, 0), QStringLiteral("a5"));
    EXPECT_EQ(h->GetCellText(6, 1, 0), forty);  // whole, not cut to 32
    EXPECT_EQ(formatOf(*h, kFmtKind, 6, 1), kCellLabel);
    // A cell without Data is numeric and holds nothing.
    EXPECT_EQ(formatOf(*h, kFmtKind, 6, 2), kCellNumber);
    EXPECT_EQ(h->GetCellText(6, 2, 0), QString());
}

TEST_F(SpreadsheetXml, PeriodPlacesItsKeywords) {
    struct Case {
        int children, kind;
        int secondSlot;  // 0: only the year
    };
    for (const Case c : {Case{12, 3, 4}, Case{4, 2, 3}, Case{2, 1, 4}, Case{1, 0, 0}}) {
        SCOPED_TRACE(c.children);
        QString period = QStringLiteral("<Period>");
        for (int i = 0; i < c.children; ++i) period += QStringLiteral("<P/>");
        period += QStringLiteral("</Period>");
        CSpreadsheetXmlDoc reader;
        auto h = read(period + QStringLiteral("<Worksheet><Table ss:ExpandedColumnCount=\"3\" "
                                              "ss:ExpandedRowCount=\"3\"/></Worksheet>"),
                      &reader);
        EXPECT_EQ(reader.GetPeriodKind(), c.kind);
        CellRef cell{};
        ASSERT_EQ(h->AccessKeywordCell(0, 2, &cell), 0);
        EXPECT_EQ(cell.row, 2);
        EXPECT_EQ(cell.col, 2);
        for (int slot : {3, 4}) {
            ASSERT_EQ(h->AccessKeywordCell(0, slot, &cell), 0);
            EXPECT_EQ(cell.col, slot == c.secondSlot ? 3 : 0) << "slot " << slot;
        }
    }
}

TEST_F(SpreadsheetXml, DataValidationFailsTheFirstBadValue) {
    const QString sheet = QStringLiteral(
        "<Worksheet><Table ss:ExpandedColumnCount=\"5\" ss:ExpandedRowCount=\"10\"/>%1"
        "</Worksheet>");
    auto rule = [](const QString& range, const QString& min, const QString& max) {
        return QStringLiteral("<DataValidation><Range>%1</Range><Min>%2</Min><Max>%3</Max>"
                              "</DataValidation>")
            .arg(range, min, max);
    };
    struct Case {
        QString rules;
        int row, col;
        double number;
        bool percent;
        bool passes;
    };
    const Case cases[] = {
        // A single-cell range is checked like any other.
        {rule(QStringLiteral("R1C1"), QStringLiteral("0"), QStringLiteral("10")), 1, 1, 11, false,
         false},
        // Rows 2..10, columns 2..5 (a range past the table is named: see
        // the client's data-rule test).
        {rule(QStringLiteral("R2C2:R10C5"), QStringLiteral("0"), QStringLiteral("10")), 10, 5, 11,
         false, false},
        {rule(QStringLiteral("R2C2:R10C5"), QStringLiteral("0"), QStringLiteral("10")), 1, 5, 11,
         false, true},
        {rule(QStringLiteral("R2C2:R10C5"), QStringLiteral("0"), QStringLiteral("10")), 3, 3, 10,
         false, true},
        // Percent cells: the bounds times 100.
        {rule(QStringLiteral("R1C1:R2C2"), QStringLiteral("0"), QStringLiteral("0.6")), 2, 2, 55,
         true, true},
        {rule(QStringLiteral("R1C1:R2C2"), QStringLiteral("0"), QStringLiteral("0.6")), 2, 2, 61,
         true, false},
        // The last check: at most 12 digits before the point.
        {QString(), 4, 4, 1e12, false, true},
        {QString(), 4, 4, 1e12 + 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(qPrintable(QStringLiteral("%1 %2,%3").arg(c.rules).arg(c.row).arg(c.col)));
        CSpreadsheetXmlDoc reader;
        auto h = read(sheet.arg(c.rules), &reader);
        oxtest::setFormat(*h, kFmtPercent, c.percent ? 1 : 0, CellArea::cell(c.row, c.col));
        oxtest::toData(*h, 1);
        if (HasFatalFailure()) return;
        oxtest::setNumber(*h, 1, c.row, c.col, c.number);
        told.clear();
        const XmlNode ws = reader.GetRootElement().firstChildElement(u"Worksheet");
        EXPECT_EQ(reader.ReadDataValidation(ws, 1), c.passes ? 1 : 0);
        EXPECT_EQ(told.size(), c.passes ? 0 : 1);
        if (!c.passes) {
            EXPECT_TRUE(reader.ValidationMessage().startsWith(
                QStringLiteral("第1页第%1行第%2列").arg(c.row).arg(c.col)))
                << qPrintable(reader.ValidationMessage());
            if (c.rules.isEmpty()) {
                EXPECT_TRUE(reader.ValidationMessage().endsWith(
                    LoadErrorText(qor::str::kTooManyIntegerDigits)));
            }
        }
    }
}

TEST_F(SpreadsheetXml, HostileFilesGiveAnErrorOrAReportedCut) {
    // Cells beyond what a report holds are counted, the rest imported.
    {
        CSpreadsheetXmlDoc reader;
        auto h = read(QStringLiteral(
                          "<Worksheet ss:Name=\"大\"><Table ss:ExpandedColumnCount=\"1000000\">"
                          "<Row><Cell><Data>a</Data></Cell><Cell ss:Index=\"300\"><Data>x</Data>"
                          "</Cell><Cell ss:Index=\"-5\"><Data>neg</Data></Cell></Row>"
                          "<Row ss:Index=\"2\"><Cell ss:MergeDown=\"70000\"/></Row>"
                          "<Row ss:Index=\"99999999999\"><Cell><Data>y</Data></Cell></Row>"
                          "</Table></Worksheet>"),
                      &reader);
        EXPECT_EQ(h->GetColCount(), 255);
        EXPECT_EQ(h->GetRowCount(), kMaxRows);
        EXPECT_EQ(h->GetCellText(1, 1, 0), QStringLiteral("a"));
        ASSERT_EQ(reader.LeftOutCells().size(), 1);
        EXPECT_EQ(reader.LeftOutCells()[0].count, 3);
        EXPECT_EQ(reader.LeftOutCells()[0].sheet, QStringLiteral("大"));
        EXPECT_EQ(reader.LeftOutCells()[0].firstCell(), QStringLiteral("KN1"));
    }
    // Entities are not expanded, a bad number is an error, not a crash.
    auto h = oxtest::newReport(dir + QStringLiteral("/h.rep"));
    const QString entities = dir + QStringLiteral("/ent.xml");
    {
        QFile f(entities);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\"?><!DOCTYPE Workbook [<!ENTITY a \"aaaaaaaaaa\">"
                "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;\">"
                "<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                "<Workbook><Worksheet><Table><Row><Cell><Data>&c;&x;</Data></Cell></Row>"
                "</Table></Worksheet></Workbook>");
    }
    const SpreadsheetXmlImport e = ImportSpreadsheetXml(*h, entities);
    if (e.ok) {
        EXPECT_FALSE(h->GetCellText(1, 1, 1).contains(QStringLiteral("root:")));
    }
    auto bad = oxtest::newReport(dir + QStringLiteral("/b.rep"));
    const SpreadsheetXmlImport b = ImportSpreadsheetXml(
        *bad, write(QStringLiteral("<Worksheet><Table><Row ss:Index=\"zz\"/></Table></Worksheet>")));
    EXPECT_FALSE(b.ok);
    EXPECT_TRUE(b.error.startsWith(LoadErrorText(qor::str::kUnsupportedXml)) &&
                b.error.contains(QStringLiteral("zz")))
        << qPrintable(b.error);
}

TEST_F(SpreadsheetXml, ImportNamesTheWorksheetsItLeavesAndRefusesOtherXml) {
    auto h = oxtest::newReport(dir + QStringLiteral("/r.rep"));
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(
        *h, write(QStringLiteral("<Worksheet ss:Name=\"一\"><Table><Row><Cell><Data>12.5</Data>"
                                 "</Cell><Cell><Data>%1</Data></Cell></Row></Table></Worksheet>"
                                 "<Worksheet ss:Name=\"二\"/>")
                      .arg(QString(300, QChar(u'x')))));
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    EXPECT_EQ(r.otherSheets, QStringList{QStringLiteral("二")});
    EXPECT_TRUE(r.LeftOutText().contains(QStringLiteral("二")));
    // A text longer than a cell holds is kept as far as it fits, and told.
    EXPECT_EQ(h->GetCellText(1, 2, 1).size(), kMaxLabelChars);
    EXPECT_EQ(r.cutTexts, 1);
    EXPECT_TRUE(r.LeftOutText().contains(QStringLiteral("B1"))) << qPrintable(r.LeftOutText());
    EXPECT_EQ(h->IsFormatState(), 0);
    EXPECT_EQ(h->GetCurPage(), 1);
    // Figures of a sample stay the texts they were typed as.
    EXPECT_EQ(h->GetCellText(1, 1, 1), QStringLiteral("12.5"));

    const QString other = dir + QStringLiteral("/other.xml");
    QFile f(other);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<ReportData/>");
    f.close();
    EXPECT_FALSE(HasSpreadsheetXmlRoot(other));
    auto h2 = oxtest::newReport(dir + QStringLiteral("/r2.rep"));
    const SpreadsheetXmlImport o = ImportSpreadsheetXml(*h2, other);
    EXPECT_FALSE(o.ok);
    EXPECT_TRUE(o.error.startsWith(LoadErrorText(qor::str::kUnsupportedXml)));
}

// An ss:Index that goes back to a row or a cell already placed would lay
// a value over another: the file is damaged, and the message names the row.
// One into the area the cell before merged across is a value under that
// area, told as such.
TEST_F(SpreadsheetXml, AnIndexGoingBackIsRefusedNamingTheRow) {
    const struct {
        const char* table;
        const char* named;  // what the message must hold
    } cases[] = {
        {"<Row><Cell><Data>a</Data></Cell></Row><Row ss:Index=\"5\"/>"
         "<Row ss:Index=\"3\"><Cell><Data>b</Data></Cell></Row>",
         "表格第6行的Row元素ss:Index=3"},
        {"<Row ss:Index=\"4\"><Cell ss:Index=\"3\"><Data>c</Data></Cell>"
         "<Cell ss:Index=\"1\"><Data>a</Data></Cell></Row>",
         "表格第4行的Cell元素ss:Index=1"},
        {"<Row/><Row><Cell ss:Index=\"2\"><Data>x</Data></Cell>"
         "<Cell ss:Index=\"2\"><Data>y</Data></Cell></Row>",
         "表格第2行的Cell元素ss:Index=2"},
        {"<Row ss:Index=\"1\"/><Row ss:Index=\"1\"/>", "表格第2行的Row元素ss:Index=1"},
    };
    for (const auto& c : cases) {
        auto h = oxtest::newReport(dir + QStringLiteral("/back.rep"));
        const SpreadsheetXmlImport r = ImportSpreadsheetXml(
            *h, write(QStringLiteral("<Worksheet><Table>%1</Table></Worksheet>")
                          .arg(QString::fromUtf8(c.table))));
        EXPECT_FALSE(r.ok) << c.table;
        EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.named))) << qPrintable(r.error);
    }
    auto h = oxtest::newReport(dir + QStringLiteral("/under.rep"));
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(
        *h, write(QStringLiteral("<Worksheet ss:Name=\"S\"><Table><Row>"
                                 "<Cell ss:MergeAcross=\"2\"><Data>wide</Data></Cell>"
                                 "<Cell ss:Index=\"2\"><Data>hidden</Data></Cell>"
                                 "</Row></Table></Worksheet>")));
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    ASSERT_EQ(r.leftOut.size(), 1);
    EXPECT_EQ(r.leftOut[0].reason, WorkbookCellsLeftOut::UnderMerge);
    EXPECT_EQ(r.leftOut[0].firstCell(), QStringLiteral("B1"));
}

// Every pattern that shows its value times 100 is read as the named
// "Percent" style is: a number cell in percent units, whatever way the
// Data writes the number; other Number cells of a sample stay labels.
TEST_F(SpreadsheetXml, EveryPercentPatternGivesANumberInPercentUnits) {
    auto h = oxtest::newReport(dir + QStringLiteral("/pct.rep"));
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(
        *h, write(QStringLiteral(
                "<Styles><Style ss:ID=\"p\"><NumberFormat ss:Format=\"Percent\"/></Style>"
                "<Style ss:ID=\"p1\"><NumberFormat ss:Format=\"0.0%\"/></Style>"
                "<Style ss:ID=\"p0\"><NumberFormat ss:Format=\"0%\"/></Style>"
                "<Style ss:ID=\"p2\"><NumberFormat ss:Format=\"#,##0.00%\"/></Style>"
                "<Style ss:ID=\"lit\"><NumberFormat ss:Format=\"0.0&quot;%&quot;\"/></Style>"
                "</Styles><Worksheet><Table>"
                "<Row><Cell ss:StyleID=\"p\"><Data ss:Type=\"Number\">.25</Data></Cell>"
                "<Cell ss:StyleID=\"p1\"><Data ss:Type=\"Number\">.25</Data></Cell>"
                "<Cell ss:StyleID=\"p0\"><Data ss:Type=\"Number\">1E+2</Data></Cell>"
                "<Cell ss:StyleID=\"p2\"><Data ss:Type=\"Number\">0.125</Data></Cell>"
                "<Cell ss:StyleID=\"lit\"><Data ss:Type=\"Number\">12.5</Data></Cell>"
                "<Cell><Data ss:Type=\"Number\">1E+2</Data></Cell></Row>"
                "</Table></Worksheet>")));
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    const struct {
        int col;
        double number;
        int decimals;
    } percents[] = {{1, 25, 4}, {2, 25, 1}, {3, 10000, 0}, {4, 12.5, 2}};
    for (const auto& p : percents) {
        EXPECT_EQ(formatOf(*h, kFmtPercent, 1, p.col), 1) << p.col;
        EXPECT_EQ(formatOf(*h, kFmtDecimals, 1, p.col), p.decimals) << p.col;
        CellValue v;
        ASSERT_EQ(h->GetCellValue(&v, 1, p.col, 1), 0);
        EXPECT_EQ(v.kind, kCellNumber) << p.col;
        EXPECT_DOUBLE_EQ(v.number, p.number) << p.col;
    }
    EXPECT_EQ(formatOf(*h, kFmtThousands, 1, 4), 1);
    // A quoted sign shows the value as it is: no percent cell.
    EXPECT_EQ(formatOf(*h, kFmtPercent, 1, 5), 0);
    EXPECT_EQ(h->GetCellText(1, 5, 1), QStringLiteral("12.5"));
    EXPECT_EQ(h->GetCellText(1, 6, 1), QStringLiteral("1E+2"));
}

TEST_F(SpreadsheetXml, ReadsTheCellsAnotherSpreadsheetProgramReads) {
    if (!qortest::needProgram(QStringLiteral("soffice"))) GTEST_SKIP() << "no LibreOffice";
    const QString body = QStringLiteral(
        "<Worksheet ss:Name=\"S\"><Table>"
        "<Row><Cell ss:MergeAcross=\"2\"><Data ss:Type=\"String\">标题</Data></Cell>"
        " <Cell><Data ss:Type=\"String\">next</Data></Cell></Row>"
        "<Row><Cell ss:MergeDown=\"1\"><Data ss:Type=\"String\">tall</Data></Cell>"
        " <Cell><Data ss:Type=\"String\">beside</Data></Cell>"
        " <Cell ss:Index=\"4\"><Data ss:Type=\"Number\">12.5</Data></Cell></Row>"
        "<Row><Cell ss:Index=\"2\"><Data ss:Type=\"String\">under</Data></Cell><Cell/>"
        " <Cell><Data ss:Type=\"String\">%1</Data></Cell></Row>"
        "</Table></Worksheet>")
                             .arg(QString(40, QChar(u'长')));
    const QString path = write(body);
    const qortest::ProcessResult lo = qortest::run(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/lo"),
         QStringLiteral("--headless"), QStringLiteral("--infilter=MS Excel 2003 XML"),
         QStringLiteral("--convert-to"),
         QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true"),
         QStringLiteral("--outdir"), dir, path});
    ASSERT_EQ(lo.exitCode, 0) << lo.err.constData();
    QFile csv(dir + QStringLiteral("/book.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);

    auto h = oxtest::newReport(dir + QStringLiteral("/r.rep"));
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(*h, path);
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    ASSERT_EQ(lines.size(), h->GetRowCount());
    for (int row = 1; row <= h->GetRowCount(); ++row) {
        const QStringList cells = lines[row - 1].trimmed().split(u',');
        ASSERT_EQ(cells.size(), h->GetColCount()) << qPrintable(lines[row - 1]);
        for (int col = 1; col <= h->GetColCount(); ++col)
            EXPECT_EQ(h->GetCellText(row, col, 1), cells[col - 1]) << row << "," << col;
    }
}

}  // namespace

// Workbooks other programs wrote: formulas with and without their results,
// shared and array formulas, inline and formula strings, booleans, errors,
// cells without references, dates of both date systems, and spreadsheet
// XML with its namespace bound to a prefix. The files are made by
// tests/exchange/foreign/make_foreign_books.sh.

#include <gtest/gtest.h>

#include <QFile>

#include "exchange/excelimport.h"
#include "exchange/spreadsheetxml.h"
#include "exchange/workbook_codes.h"
#include "exchange/workbook_dates.h"
#include "exchange/workbook_read.h"
#include "platform/uiservices.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

QString foreign(const char* name) {
    return QStringLiteral(QOR_TEST_SOURCE_DIR "/tests/exchange/foreign/") + QString::fromUtf8(name);
}

// What a report cell shows: its text, its number as text, or "" when empty.
QString shown(CReportHandle& h, int r, int c, int page = 1) {
    CellValue v;
    if (h.GetCellValue(&v, r, c, page) != 0) return QStringLiteral("<no cell>");
    if (v.kind == kCellNumber) return QString::number(v.number, 'g', 15);
    return v.text;
}

class ForeignBooks : public ::testing::Test {
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

    // The workbook imported into a fresh report; the import's result.
    int import(const QString& book, std::unique_ptr<CReportHandle>* h,
               QList<WorkbookCellsLeftOut>* leftOut) {
        *h = oxtest::newReport(dir + QStringLiteral("/r%1.rep").arg(++made), 2, 2);
        QString error;
        const int result = ImportExcelWorkbook(h->get(), book, nullptr, &error, leftOut);
        EXPECT_NE(result, 0) << qPrintable(book) << ": " << qPrintable(error);
        return result;
    }

    QString dir;
    int made = 0;
    UiServices ui, previous;
    QStringList told;
};

TEST_F(ForeignBooks, FormulasComeInAsTheResultsTheFileKeptAndAreCounted) {
    struct Case {
        const char* file;
        bool results;  // the writer kept the formulas' results
        qint64 formulas;
    };
    // openpyxl keeps no results (an empty <v>); LibreOffice does. The
    // binary file repeats the array formula in each of its cells.
    const Case cases[] = {{"formulas_openpyxl.xlsx", false, 6},
                          {"norefs_openpyxl.xlsx", false, 6},
                          {"formulas_lo.xlsx", true, 8},
                          {"formulas_lo.xls", true, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::unique_ptr<CReportHandle> h;
        QList<WorkbookCellsLeftOut> leftOut;
        ASSERT_EQ(import(foreign(c.file), &h, &leftOut), 2);
        CReportHandle& r = *h;
        ASSERT_EQ(leftOut.size(), 1);
        EXPECT_EQ(leftOut[0].reason, WorkbookCellsLeftOut::Formula);
        EXPECT_EQ(leftOut[0].sheet, QStringLiteral("公式"));
        EXPECT_EQ(leftOut[0].count, c.formulas);
        EXPECT_EQ(leftOut[0].firstCell(), QStringLiteral("C2"));
        const QString line = LeftOutCellsMessage(leftOut);
        EXPECT_TRUE(line.contains(QStringLiteral("公式")) && line.contains(QStringLiteral("C2")))
            << qPrintable(line);

        // Plain values, inline and shared strings, booleans.
        EXPECT_EQ(r.GetRowCount(), 4);
        EXPECT_EQ(shown(r, 1, 1), QStringLiteral("项目"));
        EXPECT_EQ(shown(r, 1, 2), QStringLiteral("金额"));
        EXPECT_EQ(shown(r, 2, 1), QStringLiteral("收入"));
        EXPECT_EQ(shown(r, 2, 2), QStringLiteral("120.5"));
        EXPECT_EQ(shown(r, 3, 2), QStringLiteral("-20.25"));
        EXPECT_EQ(shown(r, 4, 1), QStringLiteral("合计"));
        EXPECT_EQ(shown(r, 3, 5), QStringLiteral("0"));
        // Dates as their formats show them.
        EXPECT_EQ(shown(r, 2, 6), QStringLiteral("2024-01-09"));
        EXPECT_EQ(shown(r, 3, 6), QStringLiteral("2024-03-05 14:30"));
        EXPECT_EQ(shown(r, 4, 6), QStringLiteral("2023年12月31日"));
        // An error result comes in as the text the workbook shows; a
        // formula without a kept result stays empty.
        EXPECT_EQ(shown(r, 2, 8), c.results ? QStringLiteral("#DIV/0!") : QString());
        if (c.results) {
            EXPECT_EQ(shown(r, 4, 2), QStringLiteral("100.25"));  // plain
            EXPECT_EQ(shown(r, 2, 3), QStringLiteral("241"));     // shared
            EXPECT_EQ(shown(r, 3, 3), QStringLiteral("-40.5"));
            EXPECT_EQ(shown(r, 2, 4), QStringLiteral("1205"));  // array
            EXPECT_EQ(shown(r, 3, 4), QStringLiteral("-202.5"));
            EXPECT_EQ(shown(r, 2, 5), QStringLiteral("1"));       // boolean formula
            EXPECT_EQ(shown(r, 2, 7), QStringLiteral("收入额"));  // text result
        } else {
            for (const auto& [row, col] : {std::pair{4, 2}, {2, 3}, {3, 3}, {2, 4}, {2, 7}})
                EXPECT_EQ(shown(r, row, col), QString()) << row << "," << col;
            EXPECT_EQ(shown(r, 2, 5), QStringLiteral("1"));  // a boolean value
        }
    }
}

TEST_F(ForeignBooks, DatesOfThe1904SystemKeepTheirDay) {
    for (const char* file : {"dates1904_openpyxl.xlsx", "dates1904_lo.xls"}) {
        SCOPED_TRACE(file);
        std::unique_ptr<CReportHandle> h;
        QList<WorkbookCellsLeftOut> leftOut;
        // A date is no loss: nothing is told.
        ASSERT_EQ(import(foreign(file), &h, &leftOut), 1);
        EXPECT_TRUE(leftOut.isEmpty());
        EXPECT_EQ(shown(*h, 1, 1), QStringLiteral("2024-01-09"));
        EXPECT_EQ(shown(*h, 2, 1), QStringLiteral("1999-12-31"));
        EXPECT_EQ(shown(*h, 1, 2), QStringLiteral("42.5"));
    }
    EXPECT_TRUE(told.isEmpty()) << qPrintable(told.join(u'\n'));
}

// Dates a writer stores as ISO texts (t="d") read as those stored as numbers.
TEST_F(ForeignBooks, IsoDatesShowAsTheirFormats) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    const QString book = dir + QStringLiteral("/iso.xlsx");
    const qortest::ProcessResult made = qortest::python(QStringLiteral(R"PY(
import sys, datetime
from openpyxl import Workbook
wb = Workbook()
wb.iso_dates = True
ws = wb.active
ws["A1"] = datetime.date(2024, 1, 9)
ws["A2"] = datetime.datetime(2024, 3, 5, 14, 30)
ws["A2"].number_format = "yyyy/m/d h:mm"
wb.save(sys.argv[1])
)PY"),
                                                        {book});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const std::unique_ptr<XlWorkbook> wb = ReadWorkbookFile(book);
    const XlWorksheet* ws = wb->sheet(1);
    ASSERT_TRUE(ws->findCell(1, 1) && ws->findCell(2, 1));
    EXPECT_EQ(ws->findCell(1, 1)->text, QStringLiteral("2024-01-09"));
    EXPECT_EQ(ws->findCell(2, 1)->text, QStringLiteral("2024/3/5 14:30"));
}

TEST(WorkbookDates, FormatsShowDatesAndTimesAsTheyRead) {
    EXPECT_TRUE(IsDateNumberFormat(QStringLiteral("yyyy-mm-dd")));
    EXPECT_TRUE(IsDateNumberFormat(QStringLiteral("[$-804]h:mm;@")));
    EXPECT_TRUE(IsDateNumberFormat(QStringLiteral("[h]:mm:ss")));
    EXPECT_TRUE(IsDateNumberFormat(BuiltinNumberFormat(31)));  // the locale's long date
    EXPECT_TRUE(IsDateNumberFormat(QStringLiteral("Short Date")));
    for (const char* f : {"", "General", "0.00", "#,##0_);[Red](#,##0)", "@", "0.00E+00",
                          "\"days\" 0", "[Red]0", "[$￥-804]#,##0.00", "0%"})
        EXPECT_FALSE(IsDateNumberFormat(QString::fromUtf8(f))) << f;

    auto show = [](double v, const char* f, bool date1904 = false) {
        return FormatDateSerial(v, QString::fromUtf8(f), date1904).value_or(QStringLiteral("-"));
    };
    EXPECT_EQ(show(45300, "yyyy-mm-dd"), QStringLiteral("2024-01-09"));
    // The built-in short date follows the reader's locale: shown one way.
    EXPECT_EQ(show(45300, "mm-dd-yy"), QStringLiteral("2024-01-09"));
    EXPECT_EQ(show(45300, "d-mmm-yy"), QStringLiteral("9-Jan-24"));
    EXPECT_EQ(show(45300, "dddd, mmmm d"), QStringLiteral("Tuesday, January 9"));
    EXPECT_EQ(show(45300, "yyyy\"年\"m\"月\"d\"日\" aaaa"), QStringLiteral("2024年1月9日 星期二"));
    // m is minutes beside hours or seconds.
    EXPECT_EQ(show(45300.75, "m/d/yy h:mm"), QStringLiteral("1/9/24 18:00"));
    EXPECT_EQ(show(0.75, "h:mm AM/PM"), QStringLiteral("6:00 PM"));
    EXPECT_EQ(show(0.25, "上午/下午h\"时\"mm\"分\""), QStringLiteral("上午6时00分"));
    EXPECT_EQ(show(1.5, "[h]:mm:ss"), QStringLiteral("36:00:00"));
    EXPECT_EQ(show(0.5 / 86400, "mm:ss.0"), QStringLiteral("00:00.5"));
    // Rounding to the second carries into the next day.
    EXPECT_EQ(show(45300.9999999, "yyyy-mm-dd hh:mm:ss"), QStringLiteral("2024-01-10 00:00:00"));
    // The 1900 system's day that never was, and its first days.
    EXPECT_EQ(show(60, "yyyy-mm-dd"), QStringLiteral("1900-02-29"));
    EXPECT_EQ(show(59, "yyyy-mm-dd"), QStringLiteral("1900-02-28"));
    EXPECT_EQ(show(1, "yyyy-mm-dd"), QStringLiteral("1900-01-01"));
    EXPECT_EQ(show(61, "yyyy-mm-dd"), QStringLiteral("1900-03-01"));
    EXPECT_EQ(show(0, "yyyy-mm-dd", true), QStringLiteral("1904-01-01"));
    EXPECT_EQ(show(43838, "yyyy-mm-dd", true), QStringLiteral("2024-01-09"));
    // No date has these values: the number stays.
    EXPECT_EQ(show(-1, "yyyy-mm-dd"), QStringLiteral("-"));
    EXPECT_EQ(show(3e6, "yyyy-mm-dd"), QStringLiteral("-"));
    EXPECT_EQ(show(45300, "0.00"), QStringLiteral("-"));

    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("2024-01-09T00:00:00.000"), false), 45300.0);
    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("1900-02-28"), false), 59.0);
    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("2024-01-09"), true), 43838.0);
    EXPECT_EQ(PlainDateFormat(0.75), QStringLiteral("hh:mm:ss"));
    EXPECT_EQ(PlainDateFormat(45300), QStringLiteral("yyyy-mm-dd"));
    EXPECT_EQ(PlainDateFormat(45300.5), QStringLiteral("yyyy-mm-dd hh:mm:ss"));
    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("1899-12-31T18:00:00"), false), 0.75);
    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("1899-12-30T18:00:00"), false), 0.75);
    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("1800-01-01"), false), std::nullopt);
    EXPECT_EQ(SerialOfIsoDate(QStringLiteral("tomorrow"), false), std::nullopt);
}

// ---- spreadsheet XML ---------------------------------------------------------

class ForeignSpreadsheetXml : public ForeignBooks {
protected:
    QString write(const QString& name, const QString& text) {
        const QString path = dir + u'/' + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
        return path;
    }
};

TEST_F(ForeignSpreadsheetXml, AnotherProgramsPrefixedWorksheetComesInWhole) {
    auto h = oxtest::newReport(dir + QStringLiteral("/x.rep"), 2, 2);
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(*h, foreign("sheet2003_lo.xml"));
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    // Its formulas came in as their results, and that is told.
    ASSERT_EQ(r.leftOut.size(), 1);
    EXPECT_EQ(r.leftOut[0].reason, WorkbookCellsLeftOut::Formula);
    EXPECT_EQ(r.leftOut[0].count, 8);
    EXPECT_EQ(r.leftOut[0].firstCell(), QStringLiteral("C2"));
    EXPECT_FALSE(r.LeftOutText().isEmpty());
    EXPECT_EQ(h->GetColCount(), 8);
    EXPECT_EQ(shown(*h, 1, 1), QStringLiteral("项目"));
    EXPECT_EQ(shown(*h, 2, 2), QStringLiteral("120.5"));
    EXPECT_EQ(shown(*h, 3, 2), QStringLiteral("-20.25"));
    EXPECT_EQ(shown(*h, 2, 3), QStringLiteral("241"));
    EXPECT_EQ(shown(*h, 3, 4), QStringLiteral("-202.5"));
    EXPECT_EQ(shown(*h, 4, 2), QStringLiteral("100.25"));
    EXPECT_EQ(shown(*h, 2, 7), QStringLiteral("收入额"));
    // Dates as their named formats show them.
    EXPECT_EQ(shown(*h, 2, 6), QStringLiteral("2024-01-09"));
    EXPECT_EQ(shown(*h, 3, 6), QStringLiteral("2024-03-05 14:30:00"));
    EXPECT_EQ(shown(*h, 4, 6), QStringLiteral("2023-12-31"));
}

// LibreOffice's percent cells (0.00% and 0%, both written as "Percent") and
// booleans: a percent cell is a number cell with the percent flag holding
// percent units, as a workbook's percent cell comes in; a boolean shows as
// the workbook shows it.
TEST_F(ForeignSpreadsheetXml, PercentCellsAreNumbersAndBooleansShowAsInTheWorkbook) {
    auto h = oxtest::newReport(dir + QStringLiteral("/p.rep"), 2, 2);
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(*h, foreign("percent_lo.xml"));
    ASSERT_TRUE(r.ok) << qPrintable(r.error);
    for (const auto& [row, want] : {std::pair{2, 1.25}, {3, -50.0}}) {
        CellValue v;
        ASSERT_EQ(h->GetCellValue(&v, row, 2, 1), 0);
        EXPECT_EQ(v.kind, kCellNumber) << row;
        EXPECT_DOUBLE_EQ(v.number, want) << row;
        EXPECT_EQ(oxtest::formatOf(*h, kFmtPercent, row, 2), 1) << row;
    }
    // Other figures stay labels, as before.
    EXPECT_EQ(shown(*h, 4, 2), QStringLiteral("120.5"));
    EXPECT_EQ(shown(*h, 2, 3), QStringLiteral("TRUE"));
    EXPECT_EQ(shown(*h, 3, 3), QStringLiteral("FALSE"));
    // LibreOffice writes its booleans as the formulas TRUE() and FALSE().
    ASSERT_EQ(r.leftOut.size(), 1);
    EXPECT_EQ(r.leftOut[0].count, 2);
}

// One workbook three ways: the namespace as the default, bound to "ss" on
// every element, and bound to another prefix. Each reads the same styles,
// sizes, merges, values and validation rules.
TEST_F(ForeignSpreadsheetXml, ElementsAndAttributesCountByNamespaceNotPrefix) {
    const QString body = QStringLiteral(
        "<P:Styles><P:Style P:ID=\"s1\"><P:Alignment P:Horizontal=\"Center\"/>"
        "<P:Font P:FontName=\"Arial\" P:Bold=\"1\" P:Size=\"14\"/>"
        "<P:NumberFormat P:Format=\"0.00_ \"/></P:Style></P:Styles>"
        "<P:Worksheet P:Name=\"表一\"><P:Table P:ExpandedColumnCount=\"4\" "
        "P:ExpandedRowCount=\"3\">"
        "<P:Column P:Index=\"2\" P:Width=\"80\"/>"
        "<P:Row P:Height=\"30\"><P:Cell P:StyleID=\"s1\" P:MergeAcross=\"1\">"
        "<P:Data P:Type=\"String\">标题</P:Data></P:Cell>"
        "<P:Cell P:Index=\"4\"><P:Data P:Type=\"Number\">7</P:Data></P:Cell></P:Row>"
        "<P:Row P:Index=\"3\"><P:Cell P:Index=\"2\"><P:Data P:Type=\"DateTime\">"
        "2024-01-09T00:00:00.000</P:Data></P:Cell></P:Row></P:Table>"
        "<P:DataValidation><P:Range>R3C4:R3C4</P:Range><P:Min>0</P:Min><P:Max>5</P:Max>"
        "</P:DataValidation></P:Worksheet>"
        "<P:Worksheet P:Name=\"表二\"/>");
    const QString uri = QString::fromUtf16(kSpreadsheetNamespace);
    struct Form {
        const char* name;
        QString open, element, attribute;
    };
    const Form forms[] = {
        {"default", QStringLiteral("<Workbook xmlns=\"%1\" xmlns:ss=\"%1\">").arg(uri), QString(),
         QStringLiteral("ss:")},
        {"ss", QStringLiteral("<ss:Workbook xmlns:ss=\"%1\">").arg(uri), QStringLiteral("ss:"),
         QStringLiteral("ss:")},
        {"other", QStringLiteral("<q:Workbook xmlns:q=\"%1\">").arg(uri), QStringLiteral("q:"),
         QStringLiteral("q:")},
    };
    for (const Form& f : forms) {
        SCOPED_TRACE(f.name);
        QString text = body;
        // Element names first ("<P:" and "</P:"), then attributes (" P:").
        text.replace(QStringLiteral("<P:"), u'<' + f.element)
            .replace(QStringLiteral("</P:"), QStringLiteral("</") + f.element)
            .replace(QStringLiteral(" P:"), u' ' + f.attribute);
        const QString close = f.element.isEmpty() ? QStringLiteral("</Workbook>")
                                                  : QStringLiteral("</%1Workbook>").arg(f.element);
        const QString path =
            write(QStringLiteral("%1.xml").arg(QLatin1String(f.name)),
                  QStringLiteral("<?xml version=\"1.0\"?>\n") + f.open + text + close);
        auto h =
            oxtest::newReport(dir + QStringLiteral("/%1.rep").arg(QLatin1String(f.name)), 2, 2);
        const SpreadsheetXmlImport r = ImportSpreadsheetXml(*h, path);
        ASSERT_TRUE(r.ok) << qPrintable(r.error);
        EXPECT_EQ(r.otherSheets, QStringList{QStringLiteral("表二")});
        EXPECT_EQ(h->GetRowCount(), 3);
        EXPECT_EQ(h->GetColCount(), 4);
        EXPECT_EQ(shown(*h, 1, 1), QStringLiteral("标题"));
        EXPECT_EQ(shown(*h, 1, 4), QStringLiteral("7"));
        EXPECT_EQ(shown(*h, 3, 2), QStringLiteral("2024-01-09"));
        CellArea merged = CellArea::cell(1, 1);
        h->GetCombinedArea(CellArea::cell(1, 1), &merged);
        EXPECT_EQ(merged, CellArea::area(1, 1, 1, 2));
        uint16_t width = 0, height = 0;
        h->AccessRowColSize(0, 1, 2, &width);
        h->AccessRowColSize(0, 0, 1, &height);
        EXPECT_EQ(width, 80);
        EXPECT_EQ(height, 30);
        ASSERT_EQ(h->EnterFormatState(), 0);
        EXPECT_EQ(oxtest::formatOf(*h, kFmtHAlign, 1, 1), kAlignCentre);
        EXPECT_EQ(oxtest::formatOf(*h, kFmtFont, 1, 1), 9);      // Arial
        EXPECT_EQ(oxtest::formatOf(*h, kFmtFontSize, 1, 1), 4);  // 14 points
        EXPECT_EQ(oxtest::formatOf(*h, kFmtFontStyle, 1, 1), kFontBold);
        EXPECT_EQ(oxtest::formatOf(*h, kFmtDecimals, 1, 1), 2);

        // The validation rule is found under any prefix too.
        CSpreadsheetXmlDoc check;
        check.Open(path);
        ASSERT_FALSE(check.LoadFailed());
        const XmlNode sheet = SpreadsheetChild(check.GetRootElement(), u"Worksheet");
        ASSERT_FALSE(sheet.isNull());
        check.SetReport(h.get());
        ASSERT_EQ(h->EnterDataState(), 0);
        CellValue nine = CellValue::ofNumber(9);
        h->SetCellValue(nine, 3, 4, 1, 0, 0);
        EXPECT_EQ(check.ReadDataValidation(sheet, 1), 0);
    }
}

TEST_F(ForeignSpreadsheetXml, ElementsOfAnotherNamespaceAreNoWorksheets) {
    const QString path =
        write(QStringLiteral("other.xml"),
              QStringLiteral(
                  "<?xml version=\"1.0\"?>\n<ss:Workbook xmlns:ss=\"%1\" xmlns:o=\"urn:other\">"
                  "<o:Worksheet ss:Name=\"a\"><o:Table/></o:Worksheet></ss:Workbook>")
                  .arg(QString::fromUtf16(kSpreadsheetNamespace)));
    auto h = oxtest::newReport(dir + QStringLiteral("/o.rep"), 2, 2);
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(*h, path);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QStringLiteral("没有工作表"))) << qPrintable(r.error);
}

}  // namespace

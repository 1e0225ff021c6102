// Workbooks made by another program, as a clerk opens them: numbers in
// General show as written and the columns keep their widths. LibreOffice
// makes the workbooks at test time from a flat spreadsheet document, and
// openpyxl reads back what it wrote.

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>
#include <cmath>

#include "exchange/excelimport.h"
#include "tests/common/libreofficebook.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

// The widths openpyxl reads back: the four columns' own widths (the
// sheet's default for a column without one), one a line.
const char* kReadWidths = R"PY(
import sys
from openpyxl import load_workbook
ws = load_workbook(sys.argv[1]).active
default = ws.sheet_format.defaultColWidth
for letter in "ABCD":
    d = ws.column_dimensions.get(letter)
    print(d.width if d is not None and d.customWidth else default)
)PY";

// The workbook's width for a stored width w: the writer pads a column by
// five pixels at a digit width of seven, and the sheet reports characters
// to two places.
double charsOfStored(double w) {
    const double px = std::floor(w * 7 + 0.5);
    return std::round((px - 5) / 7 * 100) / 100;
}

class LibreOfficeWorkbook : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::needProgram(QStringLiteral("soffice")))
            GTEST_SKIP() << "soffice (LibreOffice) is not installed: the workbooks it makes "
                            "cannot be checked";
        m_dir = qortest::freshDir(QStringLiteral("lo-workbook"));
    }

    QString made(const QString& ext, const QString& filter) {
        return qortest::libreOfficeBook(m_dir, ext, filter);
    }

    std::unique_ptr<CReportHandle> imported(const QString& book) {
        auto report = oxtest::newReport(book + QStringLiteral(".rep"), 3, 3);
        QString error;
        EXPECT_NE(ImportExcelWorkbook(report.get(), book, nullptr, &error), 0) << qPrintable(error);
        return report;
    }

    static uint16_t width(CReportHandle& r, int col) {
        uint16_t w = 0;
        EXPECT_EQ(r.AccessRowColSize(0, 1, col, &w), 0);
        return w;
    }

    QString m_dir;
};

TEST_F(LibreOfficeWorkbook, GeneralNumbersGetTheFewestDecimalsThatShowThem) {
    for (const auto& [ext, filter] :
         {std::pair{QStringLiteral("xlsx"), QStringLiteral("xlsx:Calc MS Excel 2007 XML")},
          std::pair{QStringLiteral("xls"), QStringLiteral("xls:MS Excel 97")}}) {
        SCOPED_TRACE(ext.toStdString());
        const auto report = imported(made(ext, filter));
        CReportHandle& r = *report;
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 1, 2), 0);  // 23000
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 1, 3), 3);  // 0.125
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 1, 4), 1);  // 80000.5
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 2, 1), 7);  // 1/3: the report's maximum
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 2, 2), 1);  // 0.1 + 0.2 shows 0.3
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 2, 3), 0);  // 3
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 3, 1), 1);  // -2.5
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 3, 2), 0);  // 1e20
        // No number to go by: whatever is typed there later shows in full.
        EXPECT_EQ(oxtest::formatOf(r, kFmtDecimals, 2, 4), 7);
        // The values themselves are untouched.
        CellValue v;
        ASSERT_EQ(r.GetCellValue(&v, 1, 3, 1), 0);
        EXPECT_EQ(v.number, 0.125);
        ASSERT_EQ(r.GetCellValue(&v, 1, 2, 1), 0);
        EXPECT_EQ(v.number, 23000);
    }
}

TEST_F(LibreOfficeWorkbook, ColumnWidthsAreTheWorkbooksCharactersTimesFiveAndAHalf) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    const QString xlsx =
        made(QStringLiteral("xlsx"), QStringLiteral("xlsx:Calc MS Excel 2007 XML"));
    const qortest::ProcessResult read = qortest::python(QString::fromUtf8(kReadWidths), {xlsx});
    ASSERT_EQ(read.exitCode, 0) << read.err.constData();
    const QStringList stored = QString::fromUtf8(read.out).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(stored.size(), 4) << read.out.constData();

    const auto fromZip = imported(xlsx);
    const auto fromBinary =
        imported(made(QStringLiteral("xls"), QStringLiteral("xls:MS Excel 97")));
    for (int c = 1; c <= 4; ++c) {
        SCOPED_TRACE(c);
        const int expected = int(charsOfStored(stored[c - 1].toDouble()) * 5.5);
        EXPECT_EQ(width(*fromZip, c), expected) << "stored " << stored[c - 1].toStdString();
        // The binary workbook holds the same widths in 1/256 characters.
        EXPECT_NEAR(width(*fromBinary, c), expected, 1);
    }
    // The default-width column B is the program's default, not a narrower
    // one of its own; C and D, 0.65 and 0.62 inches, stay close.
    EXPECT_GT(width(*fromZip, 2), width(*fromZip, 3));
    EXPECT_LE(std::abs(width(*fromZip, 3) - width(*fromZip, 4)), 3);
    EXPECT_GT(width(*fromZip, 1), 2 * width(*fromZip, 3));
}

}  // namespace

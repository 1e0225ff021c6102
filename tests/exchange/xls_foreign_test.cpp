// Binary workbooks written by another program: a workbook made with
// openpyxl is turned into BIFF8 by LibreOffice at test time, and both files
// must come into a report the same way.

#include <gtest/gtest.h>

#include <QFile>

#include "exchange/excelimport.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

// Two sheets: values, number formats, fonts, fills, borders, alignment,
// merged areas, widths and heights; 3,000 distinct strings (a shared-string
// table far longer than one record) and a 10,000-character Chinese text.
// What the converting program itself changes is left out: it gives a
// Chinese text its own font, drops the borders of a merged area's last
// cell and has a default column width of its own.
const char* kWriteBook = R"PY(
import sys
from openpyxl import Workbook
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
wb = Workbook()
ws = wb.active
ws.title = "收入"
ws["A1"] = "Title"
ws["A1"].font = Font(name="Arial", sz=14, b=True, color="FFFF0000")
ws["A1"].fill = PatternFill("solid", fgColor="FFFFFF00")
ws["A1"].alignment = Alignment(horizontal="center", vertical="top")
ws.merge_cells("A1:C1")
ws["A2"] = 1234.5
ws["A2"].number_format = "#,##0.00"
ws["B2"] = 0.125
ws["B2"].number_format = "0.0%"
ws["B2"].border = Border(bottom=Side(style="dashed"), right=Side(style="thin"))
ws["C2"] = -42
ws["C2"].number_format = "0"
ws["C2"].alignment = Alignment(horizontal="right", vertical="center")
ws["A3"] = "长" * 10000
ws["B3"] = "x"
ws["B3"].font = Font(name="Times New Roman", sz=12, i=True, u="single")
ws["B4"] = 9
ws.merge_cells("B4:C5")
ws.column_dimensions["A"].width = 20
ws.column_dimensions["B"].width = 12
ws.column_dimensions["C"].width = 14
ws.row_dimensions[2].height = 30
for r in range(6, 3006):
    ws.cell(row=r, column=1, value="项目%d" % r)
    ws.cell(row=r, column=2, value=r * 1.25)
ws2 = wb.create_sheet("费用")
ws2["A3"] = "第二页"
ws2["C3"] = 7.75
wb.save(sys.argv[1])
)PY";

TEST(XlsForeign, AnotherProgramsBinaryWorkbookImportsLikeItsZipWorkbook) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl"))) GTEST_SKIP() << "no openpyxl";
    if (!qortest::needProgram(QStringLiteral("soffice"))) GTEST_SKIP() << "no LibreOffice";
    const QString dir = qortest::freshDir(QStringLiteral("xls-foreign"));
    const QString xlsx = dir + QStringLiteral("/book.xlsx");
    const qortest::ProcessResult made = qortest::python(QString::fromUtf8(kWriteBook), {xlsx});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    const qortest::ProcessResult lo = qortest::run(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=file://") + dir + QStringLiteral("/lo"),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), dir, xlsx});
    ASSERT_EQ(lo.exitCode, 0) << lo.err.constData();
    const QString xls = dir + QStringLiteral("/book.xls");
    ASSERT_TRUE(QFile::exists(xls));

    // The long texts come through whole, across the records they span.
    const std::unique_ptr<XlWorkbook> wb = ReadWorkbookFile(xls);
    ASSERT_EQ(wb->sheetCount(), 2);
    const XlCell* longText = wb->sheet(1)->findCell(3, 1);
    ASSERT_TRUE(longText);
    EXPECT_EQ(longText->text, QString(10000, QChar(u'长')));
    ASSERT_TRUE(wb->sheet(1)->findCell(3005, 1));
    EXPECT_EQ(wb->sheet(1)->findCell(3005, 1)->text, QStringLiteral("项目3005"));
    EXPECT_EQ(wb->sheet(2)->name(), QStringLiteral("费用"));

    // Both files give the same report: cells, formats, merges, sizes.
    auto fromZip = oxtest::newReport(dir + QStringLiteral("/zip.rep"), 3, 3);
    auto fromBinary = oxtest::newReport(dir + QStringLiteral("/binary.rep"), 3, 3);
    QString error;
    ASSERT_NE(ImportExcelWorkbook(fromZip.get(), xlsx, nullptr, &error), 0) << qPrintable(error);
    ASSERT_NE(ImportExcelWorkbook(fromBinary.get(), xls, nullptr, &error), 0) << qPrintable(error);
    const QStringList zipLines = oxtest::describe(*fromZip).split(u'\n');
    const QStringList binaryLines = oxtest::describe(*fromBinary).split(u'\n');
    ASSERT_EQ(zipLines.size(), binaryLines.size());
    int differences = 0;
    for (qsizetype i = 0; i < zipLines.size() && differences < 10; ++i) {
        if (zipLines[i] == binaryLines[i]) continue;
        ++differences;
        ADD_FAILURE() << "xlsx: " << zipLines[i].left(200).toStdString()
                      << "\nxls:  " << binaryLines[i].left(200).toStdString();
    }
    // The values themselves, as a check on the description.
    CellValue v;
    ASSERT_EQ(fromBinary->GetCellValue(&v, 2, 2, 1), 0);
    EXPECT_EQ(v.number, 12.5);  // a real percent of another program, in percent units
    EXPECT_EQ(fromBinary->GetCellText(3, 1, 2), QStringLiteral("第二页"));
}

}  // namespace

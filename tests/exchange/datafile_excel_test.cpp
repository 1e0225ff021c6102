// Workbooks as data files: values-only workbooks written from a working
// database (proven by xlrd) and workbooks read as tables.

#include <gtest/gtest.h>

#include <QFile>

#include "engine/creporthandle.h"
#include "exchange/datafilechain.h"
#include "exchange/datafileconvert.h"
#include "exchange/datafiles.h"
#include "exchange/dbreaders.h"
#include "exchange/jetdb.h"
#include "exchange/jetdriver.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor::jet;
using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("dataxls-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

TEST(ExcelDataFile, ValuesWorkbookCapsRecordsAndReadsBackAsTables) {
    if (!qortest::needPythonModule(QStringLiteral("xlrd"))) GTEST_SKIP() << "python3-xlrd missing";
    const QString d = dir();
    const QString mdb = d + QStringLiteral("/work.Mdb");
    {
        auto db = Database::create(mdb);
        db->createTable({QStringLiteral("Sheet1"), true, 0}, {{QStringLiteral("名称"), kText, 255},
                                                              {QStringLiteral("Qty"), kDouble, 8}});
        db->addRecord(QStringLiteral("Sheet1"), {QStringLiteral("甲"), 12.5});
        db->addRecord(QStringLiteral("Sheet1"), {QVariant(), QVariant()});
        db->addRecord(QStringLiteral("Sheet1"), {QStringLiteral("乙"), -3.0});
        db->createTable({QStringLiteral("a:b"), true, 0}, {{QStringLiteral(""), kDouble, 8}});
        for (int i = 0; i < 65540; ++i) db->addRecord(QStringLiteral("a:b"), {double(i)});
    }
    const QString xls = d + QStringLiteral("/out.xls");
    QString error;
    QStringList notes;
    ASSERT_EQ(ConvertMdbToXlsFile(mdb, xls, &error, &notes), 1) << error.toStdString();
    // The five records past the worksheet's rows; "a:b" is cut at ":".
    ASSERT_EQ(notes.size(), 1) << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("5条记录")))
        << notes.join(u'\n').toStdString();

    const auto r = qortest::python(QStringLiteral(R"PY(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
s = b.sheet_by_index(0)
print(b.sheet_names(), s.nrows, s.row_values(0), s.row_values(1), s.row_values(2), b.sheet_by_index(1).nrows)
)PY"),
                                   {xls});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(),
              QStringLiteral("['Sheet1', 'a'] 4 ['名称', 'Qty'] ['甲', 12.5] ['', ''] 65536"));

    // Read back through the Excel driver: tables "<sheet>$", field names
    // from the first row, a number column Double.
    EXPECT_EQ(GetDataFileTableCount(xls), 2);
    EXPECT_EQ(GetDataFileTableName(xls, 0), QStringLiteral("Sheet1$"));
    qor::jet::FieldInfo info;
    ASSERT_EQ(GetDataTableFieldInfo(&info, xls, QStringLiteral("Sheet1$"), 1), 1);
    EXPECT_EQ(info.name, QStringLiteral("Qty"));
    EXPECT_EQ(info.type, kDouble);
    EXPECT_EQ(info.recordCount, 3);
    auto db = Database::open(xls, QStringLiteral("EXCEL 5.0;"), false, true);
    Recordset rs = db->openTable(QStringLiteral("sheet1$"));
    EXPECT_EQ(rs.value(0).toString(), QStringLiteral("甲"));
    rs.moveNext();
    EXPECT_FALSE(rs.value(0).isValid());
    EXPECT_FALSE(rs.value(1).isValid());
    // A worksheet whose first row is empty names its fields F1, F2 ...
    ASSERT_EQ(GetDataTableFieldInfo(&info, xls, QStringLiteral("a$"), 0), 1);
    EXPECT_EQ(info.name, QStringLiteral("F1"));

    // Into a working database and out again: "$" kept, then cut.
    const QString again = d + QStringLiteral("/again.Mdb");
    ASSERT_EQ(ConvertXlsFileToMdb(xls, again, &error), 1) << error.toStdString();
    {
        auto w = Database::open(again, QString(), false, true);
        EXPECT_EQ(w->recordCount(QStringLiteral("Sheet1$")), 3);
        EXPECT_EQ(w->recordCount(QStringLiteral("a$")), 65535);
    }
    ASSERT_EQ(ConvertMdbToXlsFile(again, d + QStringLiteral("/again.xls"), &error), 1)
        << error.toStdString();
    EXPECT_EQ(GetDataFileTableName(d + QStringLiteral("/again.xls"), 0), QStringLiteral("Sheet1$"));
}

TEST(ExcelDataFile, ReportValuesOnlyWorkbookAndRefusals) {
    if (!qortest::needPythonModule(QStringLiteral("xlrd"))) GTEST_SKIP() << "python3-xlrd missing";
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 2, 2);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 2, 1));
    setFormat(*h, 3, 7, CellArea::area(1, 2, 2, 2));
    toData(*h, 2);
    setText(*h, 2, 1, 1, QString(100, QChar(u'报')));
    setNumber(*h, 2, 2, 2, 0.1234567);
    const QString xls = d + QStringLiteral("/r.xls");
    QString error;
    QStringList notes;
    ASSERT_EQ(ExportReportToValuesWorkbook(h.get(), xls, 0, &error, &notes), 1)
        << error.toStdString();
    const auto r = qortest::python(QStringLiteral(R"PY(
import sys, xlrd
b = xlrd.open_workbook(sys.argv[1])
s = b.sheet_by_index(1)
print(b.sheet_names(), s.row_values(0), len(s.cell_value(1, 0)), s.cell_value(2, 1))
)PY"),
                                   {xls});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QString::fromUtf8(r.out).trimmed(),
              QStringLiteral("['Sheet1', 'Sheet2'] ['A', 'B'] 100 0.1234567"));

    // Not a workbook, or no table to write: an error, the old file kept.
    QFile junk(d + QStringLiteral("/junk.xls"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a workbook");
    junk.close();
    error.clear();
    EXPECT_EQ(GetDataFileTableCount(d + QStringLiteral("/junk.xls"), &error), 0);
    EXPECT_FALSE(error.isEmpty());
    TemporaryDatabase empty;
    Database::create(empty.path());
    EXPECT_EQ(ConvertMdbToXlsFile(empty.path(), xls, &error), 0);
    EXPECT_TRUE(
        qortest::python(QStringLiteral("import sys, xlrd; xlrd.open_workbook(sys.argv[1])"), {xls})
            .exitCode == 0);
}

// Names a workbook defines for blocks of cells are tables of their own,
// read through the .xlsx reader and, once LibreOffice has saved the same
// workbook in the binary form, through the BIFF reader; importing the
// workbook still copies the worksheets only.
TEST(ExcelDataFile, DefinedNamesAreTables) {
    if (!qortest::needPythonModule(QStringLiteral("openpyxl")))
        GTEST_SKIP() << "python3-openpyxl missing";
    const QString d = dir();
    const auto made = qortest::python(QStringLiteral(R"PY(
import sys, openpyxl
from openpyxl.workbook.defined_name import DefinedName
wb = openpyxl.Workbook()
s1 = wb.active
s1.title = "Sheet1"
for row in [["title"], [], ["", "名称", "Qty"], ["", "甲", 5], ["", "乙", 7], ["", "丙", 9]]:
    s1.append(row)
s2 = wb.create_sheet("Q1 '24")
for row in [["Code"], ["A1"], ["B2"]]:
    s2.append(row)
wb.defined_names.append(DefinedName("Sales", attr_text="Sheet1!$B$3:$C$6"))
s1.print_area = "A1:C6"
wb.defined_names.append(DefinedName("Rate", attr_text="0.05"))
local = DefinedName("Codes", attr_text="'Q1 ''24'!$A$1:$A$3", localSheetId=1)
if hasattr(s2, "defined_names") and isinstance(s2.defined_names, dict):
    s2.defined_names["Codes"] = local
else:
    wb.defined_names.append(local)
wb.save(sys.argv[1])
)PY"),
                                      {d + QStringLiteral("/book.xlsx")});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();

    QStringList books{d + QStringLiteral("/book.xlsx")};
    if (qortest::needProgram(QStringLiteral("soffice"))) {
        const qortest::ProcessResult lo = qortest::run(
            QStringLiteral("soffice"),
            {QStringLiteral("-env:UserInstallation=file://") + d + QStringLiteral("/lo"),
             QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("xls"),
             QStringLiteral("--outdir"), d, d + QStringLiteral("/book.xlsx")});
        ASSERT_EQ(lo.exitCode, 0) << lo.err.constData();
        books.append(d + QStringLiteral("/book.xls"));
    }
    for (const QString& book : books) {
        SCOPED_TRACE(book.toStdString());
        auto db = Database::open(book, QStringLiteral("EXCEL 5.0;"), false, true);
        QStringList names;
        for (const TableDefInfo& t : db->tableDefs()) names.append(t.name);
        EXPECT_EQ(names, (QStringList{"Sheet1$", "Q1 '24$", "Sales", "Q1 '24$Codes"}));
        Recordset sales = db->openSnapshot(QStringLiteral("sales"), {}, QStringLiteral("[Qty] > 5"));
        ASSERT_EQ(sales.fieldCount(), 2);
        EXPECT_EQ(sales.fields().at(1).type, kDouble);
        EXPECT_EQ(sales.recordCount(), 2);
        EXPECT_EQ(sales.value(QStringLiteral("名称")).toString(), QStringLiteral("乙"));
        Recordset codes = db->openTable(QStringLiteral("Q1 '24$Codes"));
        EXPECT_EQ(codes.recordCount(), 2);
        EXPECT_EQ(codes.value(0).toString(), QStringLiteral("A1"));

        // The import copies the worksheets, not the names.
        const QString mdb = d + QStringLiteral("/copy.Mdb");
        QFile::remove(mdb);
        QString error;
        ASSERT_EQ(ConvertXlsFileToMdb(book, mdb, &error), 1) << error.toStdString();
        auto copy = Database::open(mdb, QString(), false, true);
        QStringList copied;
        for (const TableDefInfo& t : copy->tableDefs())
            if (isUserTable(t.attributes)) copied.append(t.name);
        EXPECT_EQ(copied, (QStringList{"Sheet1$", "Q1 '24$"}));
    }
    // INDB reads a named block of a binary workbook.
    if (books.size() == 2) {
        QVariant v;
        ASSERT_EQ(ReadXlsFieldValue(&v, books.at(1), QStringLiteral("Sales"), QStringLiteral("Qty"),
                                    QString(), 3),
                  1);
        EXPECT_EQ(v.toDouble(), 9);
    }
}

}  // namespace

// Workbooks at their limits: thousands of sheets, the cell limit reached
// before the sheet is held, and packages whose sheets name other parts.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>

#include "exchange/excelimport.h"
#include "exchange/workbook_model.h"
#include "exchange/workbook_read.h"
#include "platform/uiservices.h"
#include "tests/common/largefiles.h"
#include "tests/common/testsupport.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

QString readError(const QString& path, const XlsxReadLimits& limits = XlsxReadLimits()) {
    try {
        ReadXlsxWorkbook(path, limits);
        return QString();
    } catch (const XlError& e) {
        return e.description;
    }
}

// Hand-made packages (argv[1] the file, argv[2] what it holds):
//   "styles"    one sheet whose relationship is that of styles.xml;
//   "styles2"   a good sheet and then that one;
//   "typed"     one sheet whose relationship says worksheet but names styles.xml;
//   "cells N"   one sheet of N number cells, 10,000 a row.
const char* kWritePackage = R"PY(
import sys, zipfile
path, kind = sys.argv[1], sys.argv[2]
ns = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
rt = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
z = zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED)
z.writestr("_rels/.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="' + rt + 'officeDocument" Target="xl/workbook.xml"/></Relationships>')
rels = [("rId9", "styles", "styles.xml")]
sheets = []
if kind == "styles":
    sheets = [("S", "rId9")]
elif kind == "styles2":
    sheets = [("Good", "rId1"), ("Bad", "rId9")]
    rels.append(("rId1", "worksheet", "worksheets/sheet1.xml"))
elif kind == "typed":
    sheets = [("S", "rId1")]
    rels.append(("rId1", "worksheet", "styles.xml"))
else:
    sheets = [("S", "rId1")]
    rels.append(("rId1", "worksheet", "worksheets/sheet1.xml"))
book = '<workbook ' + ns + ' xmlns:r="' + rt[:-1] + '"><sheets>'
for i, (name, rid) in enumerate(sheets):
    book += '<sheet name="%s" sheetId="%d" r:id="%s"/>' % (name, i + 1, rid)
z.writestr("xl/workbook.xml", book + '</sheets></workbook>')
z.writestr("xl/_rels/workbook.xml.rels", '<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' + "".join('<Relationship Id="%s" Type="%s%s" Target="%s"/>' % (i, rt, t, g) for i, t, g in rels) + '</Relationships>')
z.writestr("xl/styles.xml", '<styleSheet ' + ns + '><cellXfs count="1"><xf numFmtId="0"/></cellXfs></styleSheet>')
if kind.startswith("cells"):
    n = int(kind.split()[1])
    per = 10000
    rows = []
    r = 0
    while n > 0:
        k = min(per, n)
        r += 1
        rows.append('<row r="%d">' % r + "".join('<c><v>%d</v></c>' % (r * j) for j in range(k)) + '</row>')
        n -= k
    z.writestr("xl/worksheets/sheet1.xml", '<worksheet ' + ns + '><sheetData>' + "".join(rows) + '</sheetData></worksheet>')
else:
    z.writestr("xl/worksheets/sheet1.xml", '<worksheet ' + ns + '><sheetData><row r="1"><c r="A1"><v>7</v></c></row></sheetData></worksheet>')
z.close()
)PY";

QString writePackage(const QString& dir, const QString& kind) {
    const QString path = dir + u'/' + QString(kind).replace(u' ', u'-') + QStringLiteral(".xlsx");
    const qortest::ProcessResult r = qortest::python(QString::fromUtf8(kWritePackage), {path, kind});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return path;
}

QString renameError(XlWorkbook& wb, int sheet, const QString& name) {
    try {
        wb.renameSheet(wb.sheet(sheet), name);
        return QString();
    } catch (const XlError& e) {
        return e.description;
    }
}

TEST(WorkbookSheets, NewSheetsTakeTheLowestFreeNameAndNamesStayUnique) {
    XlWorkbook wb(3);
    EXPECT_EQ(wb.sheet(3)->name(), QStringLiteral("Sheet3"));
    wb.deleteSheet(wb.sheet(2));
    EXPECT_EQ(wb.addSheet()->name(), QStringLiteral("Sheet2"));
    EXPECT_EQ(wb.addSheet()->name(), QStringLiteral("Sheet4"));
    // Names compare without regard to case; a sheet may change its own.
    EXPECT_TRUE(renameError(wb, 1, QStringLiteral("sheet3")).contains(QStringLiteral("已被使用")));
    const int first = wb.activeIndex();
    EXPECT_TRUE(renameError(wb, first, wb.sheet(first)->name().toUpper()).isEmpty());
    // A default name given up is the next new sheet's.
    XlWorksheet* three = nullptr;
    for (int i = 1; i <= wb.sheetCount(); ++i)
        if (wb.sheet(i)->name() == QStringLiteral("Sheet3")) three = wb.sheet(i);
    ASSERT_NE(three, nullptr);
    wb.renameSheet(three, QStringLiteral("Totals"));
    EXPECT_TRUE(renameError(wb, 1, QStringLiteral("TOTALS")).contains(QStringLiteral("已被使用")));
    EXPECT_EQ(wb.addSheet()->name(), QStringLiteral("Sheet3"));
    // A copy keeps the names in use.
    const std::unique_ptr<XlWorkbook> copy = wb.clone();
    EXPECT_EQ(copy->addSheet()->name(), QStringLiteral("Sheet5"));
    EXPECT_TRUE(renameError(*copy, 1, QStringLiteral("totals")).contains(QStringLiteral("已被使用")));
    // Names read from a file are the file's, even two alike; renaming one
    // of them away frees the name for neither until both have gone.
    XlWorkbook read(2);
    read.nameSheetAsRead(read.sheet(1), QStringLiteral("Same"));
    read.nameSheetAsRead(read.sheet(2), QStringLiteral("same"));
    read.renameSheet(read.sheet(2), QStringLiteral("Other"));
    EXPECT_TRUE(renameError(read, 2, QStringLiteral("SAME")).contains(QStringLiteral("已被使用")));
    EXPECT_EQ(read.addSheet()->name(), QStringLiteral("Sheet1"));
}

TEST(WorkbookSheets, AWorkbookOfThreeThousandAndOneSheetsReadsIntoAsManyPages) {
    const QString dir = oxtest::testDir();
    const QString book = dir + QStringLiteral("/many.xlsx");
    constexpr int kSheets = 3001;
    std::vector<QString> names;
    for (int i = 1; i <= kSheets; ++i) names.push_back(QStringLiteral("第%1页").arg(i));
    // Names a new workbook would give its own sheets, out of their order.
    names[0] = QStringLiteral("Sheet2");
    names[1] = QStringLiteral("Sheet1");
    {
        std::unique_ptr<XlStreamWriter> w = OpenWorkbookWriter(book, names, 0);
        for (int i = 0; i < kSheets; ++i) {
            XlWorksheet ws(names[size_t(i)]);
            ws.cell(1, 1).kind = XlCell::Number;
            ws.cell(1, 1).number = i + 1;
            w->writeSheet(i, ws);
        }
        w->commit();
    }
    const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(book);
    ASSERT_EQ(wb->sheetCount(), kSheets);
    EXPECT_EQ(wb->sheet(1)->name(), QStringLiteral("Sheet2"));
    EXPECT_EQ(wb->sheet(2)->name(), QStringLiteral("Sheet1"));
    EXPECT_EQ(wb->sheet(kSheets)->name(), QStringLiteral("第3001页"));
    EXPECT_EQ(wb->addSheet()->name(), QStringLiteral("Sheet3"));

    xmltest::MessageCatcher messages;
    auto h = oxtest::newReport(dir + QStringLiteral("/many.rep"), 3, 3);
    QString error;
    ASSERT_EQ(ImportExcelWorkbook(h.get(), book, nullptr, &error), 1) << error.toStdString();
    ASSERT_EQ(h->GetPageCount(), kSheets);
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 1, 1, kSheets), 0);
    EXPECT_EQ(v.number, kSheets);
}

TEST(WorkbookSheets, AnXlsxOfMoreSheetsThanTheSoftDescriptorLimitIsWritten) {
    // Each sheet's rows wait in a file of their own until the workbook is
    // closed; with the usual soft limit a report of 1,100 pages failed.
    const QString dir = oxtest::testDir();
    const QString book = dir + QStringLiteral("/wide.xlsx");
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit lim{};
        getrlimit(RLIMIT_NOFILE, &lim);
        if (lim.rlim_max != RLIM_INFINITY && lim.rlim_max < 2048) _exit(3);  // cannot show it
        lim.rlim_cur = 512;
        if (setrlimit(RLIMIT_NOFILE, &lim) != 0) _exit(3);
        try {
            constexpr int kSheets = 1100;
            std::vector<QString> names;
            for (int i = 1; i <= kSheets; ++i) names.push_back(QStringLiteral("第%1页").arg(i));
            std::unique_ptr<XlStreamWriter> w = OpenWorkbookWriter(book, names, 0);
            for (int i = 0; i < kSheets; ++i) w->writeSheet(i, XlWorksheet(names[size_t(i)]));
            w->commit();
        } catch (const XlError&) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 3) GTEST_SKIP() << "the hard limit of descriptors is too low";
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadXlsxWorkbook(book)->sheetCount(), 1100);
}

TEST(WorkbookSheets, ASheetNamingAPartThatIsNoWorksheetIsNamedNotReadAsEmpty) {
    const QString dir = oxtest::testDir();
    xmltest::MessageCatcher messages;
    // Alone, the sheet makes the import fail, naming the part; whether the
    // relationship or the part itself gives it away.
    for (const QString& kind : {QStringLiteral("styles"), QStringLiteral("typed")}) {
        const QString book = writePackage(dir, kind);
        auto h = oxtest::newReport(dir + QStringLiteral("/%1.rep").arg(kind), 3, 3);
        QString error;
        EXPECT_EQ(ImportExcelWorkbook(h.get(), book, nullptr, &error), 0) << kind.toStdString();
        EXPECT_TRUE(error.contains(QStringLiteral("xl/styles.xml")) &&
                    error.contains(QStringLiteral("不是工作表")))
            << error.toStdString();
        EXPECT_EQ(h->GetPageCount(), 0);
    }
    // Beside a good sheet the rest comes in and the sheet is listed as left out.
    const QString both = writePackage(dir, QStringLiteral("styles2"));
    auto h = oxtest::newReport(dir + QStringLiteral("/both.rep"), 3, 3);
    QString error;
    QList<WorkbookCellsLeftOut> leftOut;
    ASSERT_EQ(ImportExcelWorkbook(h.get(), both, nullptr, &error, &leftOut), 2) << error.toStdString();
    ASSERT_EQ(leftOut.size(), 1);
    EXPECT_EQ(leftOut[0].reason, WorkbookCellsLeftOut::NotAWorksheet);
    EXPECT_EQ(leftOut[0].sheet, QStringLiteral("Bad"));
    EXPECT_TRUE(LeftOutCellsMessage(leftOut).contains(QStringLiteral("xl/styles.xml")));
    CellValue v;
    ASSERT_EQ(h->GetCellValue(&v, 1, 1, 1), 0);
    EXPECT_EQ(v.number, 7);
}

TEST(WorkbookCells, TheCellLimitRefusesASheetBeforeItIsHeld) {
    const QString dir = oxtest::testDir();
    const QString book = writePackage(dir, QStringLiteral("cells 3000001"));
    // Under 1 GiB of address space: holding the sheet's cells first ran
    // out of memory before the limit was ever reached.
    EXPECT_TRUE(qortest::endsWellUnder1GiB(
        [&] { return readError(book).contains(QStringLiteral("超出了能读取的限度")); }));

    // The limit itself: the cells it allows read, row by row.
    const QString small = writePackage(dir, QStringLiteral("cells 25000"));
    XlsxReadLimits limits;
    limits.maxCells = 25000;
    const std::unique_ptr<XlWorkbook> wb = ReadXlsxWorkbook(small, limits);
    EXPECT_EQ(wb->sheet(1)->cells().size(), 25000u);
    EXPECT_EQ(wb->sheet(1)->usedArea(), (XlArea{1, 1, 3, 10000}));
    ASSERT_NE(wb->sheet(1)->findCell(3, 2), nullptr);
    EXPECT_EQ(wb->sheet(1)->findCell(3, 2)->number, 3);
    limits.maxCells = 24999;
    EXPECT_TRUE(readError(small, limits).contains(QStringLiteral("超出了能读取的限度")));
}

}  // namespace

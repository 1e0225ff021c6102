// A report saved as a dBASE file goes straight from its pages to the
// file. The file and the notes must be those the way through a working
// database gives (the report into the database, the database into the
// file), on reports that reach every branch of the layout: Chinese texts
// cut to their column, characters outside the code page, negative and too
// large numbers, keywords, and pages of different sizes.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <limits>

#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "exchange/datafilechain.h"
#include "exchange/datafileconvert.h"
#include "exchange/reportmdb.h"
#include "tests/common/testsupport.h"
#include "engine/cellgate.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace oxtest;

QString dir() {
    return qortest::freshDir(
        QStringLiteral("dbfdirect-") +
        QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Both ways on the same report (page 0: all pages); the same bytes and the
// same notes.
// mixed: the note naming the report's numbers written into text fields,
// which only the report's export can give (a working database has no
// report to look at).
void expectSameAsThroughDatabase(CReportHandle* h, const QString& d, int page, const char* what,
                                 const QString& mixed = QString()) {
    SCOPED_TRACE(what);
    const QString direct = d + QStringLiteral("/direct.dbf");
    const QString viaDb = d + QStringLiteral("/via.dbf");
    const QString mdb = d + QStringLiteral("/via.mdb");
    QString error;
    QStringList directNotes;
    ASSERT_EQ(ExportReportToDataFile(h, direct, page, &error, &directNotes), 1) << error.toStdString();

    const int pages = h->GetPageCount();
    ASSERT_EQ(page == 0 ? ExportReportToMdb(h, mdb, &error) : ExportPageToMdb(h, mdb, page, &error), 1)
        << error.toStdString();
    QStringList viaNotes;
    if (page == 0 && pages > 1)
        viaNotes.append(LoadErrorText(qor::str::kPagesAsRecords).arg(pages));
    ASSERT_EQ(ConvertMdbToDbfFile(mdb, viaDb, &error, &viaNotes), 1) << error.toStdString();

    const QByteArray a = bytesOf(direct), b = bytesOf(viaDb);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_EQ(a.size(), b.size());
    EXPECT_TRUE(a == b) << "files differ";
    if (!mixed.isEmpty()) viaNotes.append(mixed);
    EXPECT_EQ(directNotes, viaNotes);
    EXPECT_EQ(bytesOf(d + QStringLiteral("/direct.cpg")), QByteArray("936"));
}

TEST(DBaseDirect, SameFileAsThroughAWorkingDatabase) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 6, 5);
    setFormat(*h, 0, kCellText, CellArea::area(1, 1, 6, 1));
    setFormat(*h, 0, kCellText, CellArea::cell(3, 4));  // one text cell makes D a text field
    setFormat(*h, 3, 7, CellArea::area(1, 2, 6, 3));
    setFormat(*h, 0, kCellNumber, CellArea::cell(5, 5));  // a 0 is a value, typed or not
    CellRef unit{0, 6, 2}, year{0, 6, 3}, own{0, 6, 4};
    ASSERT_EQ(h->AccessKeywordCell(1, 0, &unit), 0);
    ASSERT_EQ(h->AccessKeywordCell(1, 2, &year), 0);
    ASSERT_EQ(h->AccessKeywordCell(1, 6, &own), 0);
    toData(*h, 3);
    setText(*h, 1, 1, 1, QStringLiteral("营业收入"));
    setText(*h, 1, 2, 1, QString(255, QChar(u'长')));       // cut to 254 bytes
    setText(*h, 2, 1, 1, QStringLiteral("😀 outside"));      // not in code page 936
    setText(*h, 3, 4, 1, QStringLiteral("备注"));
    setNumber(*h, 1, 1, 2, -1234567.1234567);
    setNumber(*h, 1, 2, 3, -0.5);
    setNumber(*h, 2, 3, 2, 1e12);                            // too large for the field
    setNumber(*h, 2, 4, 3, -999999999999.25);
    setNumber(*h, 3, 1, 4, 42);                              // a number in a text field
    setNumber(*h, 3, 5, 5, 0);
    // A cell holds no NaN: the engine refuses it, so no exporter meets one.
    EXPECT_EQ(h->SetCellValue(CellValue::ofNumber(std::numeric_limits<double>::quiet_NaN()), 4, 5, 3),
              qor::kValueRefusedStatus);
    setKeywordText(*h, 0, 1, QStringLiteral("第一分公司"));
    setKeyword(*h, 2, 1, 2024);
    setKeyword(*h, 2, 2, -3.75);
    setKeywordText(*h, 6, 3, QStringLiteral("自定义"));
    expectSameAsThroughDatabase(h.get(), d, 0, "every page",
                                LoadErrorText(qor::str::kNumbersWrittenAsText)
                                    .arg(LoadErrorText(qor::str::kColumnAndCount).arg("D").arg(1)));
    expectSameAsThroughDatabase(h.get(), d, 2, "one page");

    // The notes name what was lost, once a kind, with the first place.
    QStringList notes;
    QString error;
    ASSERT_EQ(ExportReportToDataFile(h.get(), d + QStringLiteral("/n.dbf"), 0, &error, &notes), 1);
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("截短到254字节的文本：共1处，第一处在第2条记录")))
        << notes.join(u'\n').toStdString();
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("绝对值不小于10^12的数值（写成了空值）：共1处")));
    EXPECT_TRUE(notes.join(u'\n').contains(QStringLiteral("代码页936中没有的字符")));
    EXPECT_EQ(h->GetCurPage(), 1);
}

// Floating rows and floating columns: pages of different sizes. A wider
// page's columns beyond the first page's are left out (and told), a
// narrower page's records end early; the keyword fields follow each page's
// own columns.
TEST(DBaseDirect, PagesOfDifferentSizes) {
    for (int kind : {1, 2}) {
        const QString d = dir() + QStringLiteral("/kind%1").arg(kind);
        QDir().mkpath(d);
        auto h = newReport(d + QStringLiteral("/r.rep"), 4, 4);
        setFormat(*h, 0, kCellText, CellArea::area(1, 2, 4, 2));
        CellRef year{0, 1, 4};
        ASSERT_EQ(h->AccessKeywordCell(1, 2, &year), 0);
        int varKind = kind, start = 3, extent = 5;
        ASSERT_EQ(h->AccessVarArea(1, &varKind, &start, &extent), 0);
        toData(*h, 3);
        const int used[] = {2, 5, 1};
        for (int p = 1; p <= 3; ++p) {
            ASSERT_EQ(h->SetCurPage(p), 0);
            int lines = used[p - 1];
            ASSERT_EQ(h->AccessVarCount(1, &lines), 0);
            for (int r = 1; r <= h->GetRowCount() - 1 + (kind == 1 ? lines : 1); ++r)
                for (int c = 1; c <= h->GetColCount() - 1 + (kind == 2 ? lines : 1); ++c) {
                    if (c == 2) setText(*h, p, r, c, QStringLiteral("页%1行%2").arg(p).arg(r));
                    else setNumber(*h, p, r, c, p * 100 + r * 10 + c + 0.125);
                }
            setKeyword(*h, 2, p, 2000 + p);
        }
        ASSERT_EQ(h->SetCurPage(1), 0);
        expectSameAsThroughDatabase(h.get(), d, 0, kind == 1 ? "floating rows" : "floating columns");
    }
}

// A failure leaves the file that was there, and says why without naming a
// driver the system does not have.
TEST(DBaseDirect, FailureLeavesTheOldFile) {
    const QString d = dir();
    auto h = newReport(d + QStringLiteral("/r.rep"), 2, 2);
    toData(*h, 1);
    setNumber(*h, 1, 1, 1, 1.5);
    QString error;
    EXPECT_EQ(ExportReportToDataFile(h.get(), d + QStringLiteral("/r.dbf"), 5, &error), 0);
    EXPECT_FALSE(QFile::exists(d + QStringLiteral("/r.dbf")));
    EXPECT_FALSE(error.isEmpty());
    const QString folderInTheWay = d + QStringLiteral("/taken.dbf");
    QDir().mkpath(folderInTheWay);
    error.clear();
    EXPECT_EQ(ExportReportToDataFile(h.get(), folderInTheWay, 0, &error), 0);
    EXPECT_TRUE(QFileInfo(folderInTheWay).isDir());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains(QStringLiteral("ODBC"))) << error.toStdString();
}

}  // namespace

#include <shapefil.h>

#include "exchange/jetdriver.h"

namespace {

// Numbers reach an N field as shapelib's own DBFWriteDoubleAttribute
// prints them: the records of our file and of one shapelib writes with
// the same field are the same bytes, for roundings at the seventh
// decimal, negative zero, the smallest and largest values the field takes.
TEST(DBaseDirect, NumbersPrintedAsTheLibraryPrintsThem) {
    const QString d = dir();
    const QList<double> values{0.0, -0.0, 1.0, -1.0, 0.1 + 0.2, 1234567.1234567, -98765432109.5,
                               0.00000005, 0.00000015, 0.00000025, -0.00000005, 1e-300, 5e-324,
                               999999999999.9999, -999999999999.9999, 99999999999.999999, -99999999999.999999, 123.45678905,
                               2.5e-8, -2.5e-8, 7.0 / 3.0, -1.0 / 3.0, 4503599627370495.5 / 1e4};
    QList<double> sweep = values;
    // And a deterministic sweep over every magnitude the field holds.
    quint64 state = 0x9E3779B97F4A7C15ull;
    for (int i = 0; i < 20000; ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double unit = double(state >> 11) / double(1ull << 53);
        const double v = std::ldexp(unit, int(state % 80) - 40) * ((state >> 7) % 2 ? -1 : 1);
        if (std::fabs(v) < 1e12) sweep.append(v);
    }
    qor::jet::LoadedTable t;
    t.fields = {{QStringLiteral("V"), qor::jet::kDouble, 8}};
    for (double v : sweep) t.rows.append(QVariantList{v});
    QStringList notes;
    const QString ours = d + QStringLiteral("/ours.dbf");
    qor::jet::writeDBaseFile(ours, t, &notes);
    EXPECT_TRUE(notes.isEmpty()) << notes.join(u'\n').toStdString();

    const QString theirs = d + QStringLiteral("/theirs.dbf");
    DBFHandle h = DBFCreateEx(QFile::encodeName(theirs).constData(), "LDID/77");
    ASSERT_TRUE(h);
    ASSERT_EQ(DBFAddField(h, "V", FTDouble, 21, 7), 0);
    for (int i = 0; i < sweep.size(); ++i) ASSERT_TRUE(DBFWriteDoubleAttribute(h, i, 0, sweep.at(i)));
    DBFClose(h);
    const QByteArray a = bytesOf(ours), b = bytesOf(theirs);
    ASSERT_EQ(a.size(), b.size());
    // The header's date of last change is the library's own in both.
    EXPECT_TRUE(a == b) << "records differ";
}

}  // namespace

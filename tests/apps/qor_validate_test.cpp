// qor validate (a report's pages against a sample workbook's data rules)
// and the sheet choice of qor convert, run as a user runs them.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QString& dir, const QStringList& args) {
    const QStringList head{"-c",
                           QStringLiteral("cd '%1' && exec '%2' \"$@\"")
                               .arg(dir, QStringLiteral(QOR_APP_BINARY)),
                           "qor"};
    return qortest::run(QStringLiteral("/bin/sh"), head + args);
}

QString out(const qortest::ProcessResult& r) { return QString::fromUtf8(r.out).trimmed(); }
QString err(const qortest::ProcessResult& r) { return QString::fromUtf8(r.err); }

void write(const QString& path, const QString& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

// Worksheets "其他" (no rules) and "sales" (B2:C3 from 0 to 100, A1 at
// most 0.6 on a percent cell, i.e. 60), written either as a workbook or
// inside a consolidation sample's root.
QString sample(bool wrapped) {
    const QString book = QStringLiteral(
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
        "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
        "<Worksheet ss:Name=\"其他\"><Table/></Worksheet>"
        "<Worksheet ss:Name=\"sales\"><Table/>"
        "<DataValidation><Range>R2C2:R3C3</Range><Min>0</Min><Max>100</Max></DataValidation>"
        "<DataValidation><Range>R1C1</Range><Min>0</Min><Max>0.6</Max></DataValidation>"
        "</Worksheet></Workbook>");
    return QStringLiteral("<?xml version=\"1.0\"?>") +
           (wrapped ? QStringLiteral("<Sample><SampleAlias/>%1</Sample>").arg(book) : book);
}

TEST(QorValidate, PagesAgainstTheSamplesRules) {
    const QString dir = qortest::freshDir("validate");
    ASSERT_EQ(qor(dir, {"new", "sales.rep", "--rows", "5", "--cols", "4", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qor(dir, {"format", "sales.rep", "1", "1", "percent", "1"}).exitCode, 0);
    ASSERT_EQ(qor(dir, {"set", "sales.rep", "1", "2", "2", "100"}).exitCode, 0);  // a bound passes
    ASSERT_EQ(qor(dir, {"set", "sales.rep", "1", "1", "1", "55"}).exitCode, 0);
    write(dir + "/book.xml", sample(false));
    write(dir + "/wrapped.xml", sample(true));

    // Without --sheet the worksheet named like the report is checked; the
    // consolidation sample's form is read the same way.
    for (const char* file : {"book.xml", "wrapped.xml"}) {
        auto ok = qor(dir, {"validate", "sales.rep", file});
        EXPECT_EQ(ok.exitCode, 0) << file << err(ok).toStdString();
        EXPECT_EQ(out(ok), QStringLiteral("2 page(s) pass the rules of worksheet \"sales\""));
    }

    // The first failing cell, on a later page, with its page, row and column.
    ASSERT_EQ(qor(dir, {"set", "sales.rep", "2", "3", "3", "100.5"}).exitCode, 0);
    auto bad = qor(dir, {"validate", "sales.rep", "book.xml"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(err(bad).startsWith(QStringLiteral("qor validate: 第2页第3行第3列"))) << err(bad).toStdString();
    // The percent cell's bound is 60: 61 fails.
    ASSERT_EQ(qor(dir, {"set", "sales.rep", "2", "3", "3", "1"}).exitCode, 0);
    ASSERT_EQ(qor(dir, {"set", "sales.rep", "1", "1", "1", "61"}).exitCode, 0);
    bad = qor(dir, {"validate", "sales.rep", "book.xml"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_TRUE(err(bad).contains(QStringLiteral("第1页第1行第1列"))) << err(bad).toStdString();

    // Another worksheet by name; a name the sample lacks fails, naming those
    // it has. Nothing is saved: the report stays in format state.
    EXPECT_EQ(qor(dir, {"validate", "sales.rep", "book.xml", "--sheet", QStringLiteral("其他")}).exitCode, 0);
    auto none = qor(dir, {"validate", "sales.rep", "book.xml", "--sheet", "sale"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(err(none).contains(QStringLiteral("it has 其他, sales"))) << err(none).toStdString();
    EXPECT_TRUE(out(qor(dir, {"info", "sales.rep"})).contains("state:   format"));

    // Usage, a missing report, a file that is no workbook.
    EXPECT_EQ(qor(dir, {"validate", "sales.rep"}).exitCode, 2);
    EXPECT_EQ(qor(dir, {"validate", "sales.rep", "book.xml", "--sheet"}).exitCode, 2);
    EXPECT_EQ(qor(dir, {"validate", "nothing.rep", "book.xml"}).exitCode, 1);
    write(dir + "/other.xml", "<?xml version=\"1.0\"?><iqor_export/>");
    auto other = qor(dir, {"validate", "sales.rep", "other.xml"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_TRUE(err(other).contains("no spreadsheet worksheet")) << err(other).toStdString();
}

TEST(QorConvert, TheSheetChoiceOfAWorkbookOfSeveralSheets) {
    if (!qortest::needPythonModule("openpyxl")) GTEST_SKIP() << "no openpyxl";
    const QString dir = qortest::freshDir("convert-sheets");
    // Sheet n holds n at A1; sheet 2 is the widest (C1 holds a text).
    auto made = qortest::python(
        "import sys\n"
        "from openpyxl import Workbook\n"
        "wb = Workbook()\n"
        "for i in range(3):\n"
        "    ws = wb.active if i == 0 else wb.create_sheet()\n"
        "    ws['A1'] = i + 1\n"
        "wb.worksheets[1]['C1'] = 'wide'\n"
        "wb.save(sys.argv[1])\n",
        {dir + "/book.xlsx"});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();

    // Every sheet a page, the format from sheet 2: C1 is a text cell. From
    // sheet 1, as without the option, it is not.
    auto all = qor(dir, {"convert", "book.xlsx", "all.rep", "--sheet", "2"});
    ASSERT_NE(all.exitCode, 1) << err(all).toStdString();
    EXPECT_TRUE(out(qor(dir, {"info", "all.rep"})).contains("pages:   3"));
    EXPECT_EQ(out(qor(dir, {"format", "all.rep", "1", "3", "kind"})), "2");
    EXPECT_EQ(out(qor(dir, {"get", "all.rep", "2", "1", "3"})), "wide");
    EXPECT_EQ(out(qor(dir, {"get", "all.rep", "3", "1", "1"})), "3");
    ASSERT_NE(qor(dir, {"convert", "book.xlsx", "first.rep"}).exitCode, 1);
    EXPECT_NE(out(qor(dir, {"format", "first.rep", "1", "3", "kind"})), "2");

    // Only sheet 3, into page 1.
    auto one = qor(dir, {"convert", "book.xlsx", "one.rep", "--one-sheet", "3"});
    ASSERT_NE(one.exitCode, 1) << err(one).toStdString();
    EXPECT_TRUE(out(qor(dir, {"info", "one.rep"})).contains("pages:   1"));
    EXPECT_EQ(out(qor(dir, {"get", "one.rep", "1", "1", "1"})), "3");

    // A sheet the workbook lacks writes nothing.
    auto missing = qor(dir, {"convert", "book.xlsx", "none.rep", "--one-sheet", "4"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(err(missing).contains("the workbook has 3 sheets, not 4")) << err(missing).toStdString();
    EXPECT_FALSE(QFile::exists(dir + "/none.rep"));
    EXPECT_EQ(qor(dir, {"convert", "book.xlsx", "x.rep", "--sheet", "0"}).exitCode, 2);
    EXPECT_EQ(qor(dir, {"convert", "book.xlsx", "x.rep", "--sheet", "1", "--one-sheet", "2"}).exitCode, 2);
}

}  // namespace

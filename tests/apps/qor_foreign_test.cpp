// qor convert on workbooks other programs wrote (tests/exchange/foreign):
// formulas come in as their results and the conversion says so with
// exit 3; dates come in as the texts their formats show.
#include <gtest/gtest.h>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QString& dir, const QStringList& args) {
    const QString script =
        QStringLiteral("cd '%1' && exec '%2' \"$@\"").arg(dir, QStringLiteral(QOR_APP_BINARY));
    return qortest::run(QStringLiteral("/bin/sh"), QStringList{"-c", script, "qor"} + args);
}

QString foreign(const char* name) {
    return QStringLiteral(QOR_TEST_SOURCE_DIR "/tests/exchange/foreign/") + QString::fromUtf8(name);
}

QString get(const QString& dir, const char* report, const char* row, const char* col) {
    return QString::fromUtf8(qor(dir, {"get", report, "1", row, col}).out).trimmed();
}

TEST(QorForeign, FormulasComeInAsTheirResultsWithExit3) {
    const QString dir = qortest::freshDir("foreign-formulas");
    for (const char* book : {"formulas_openpyxl.xlsx", "formulas_lo.xlsx", "sheet2003_lo.xml"}) {
        SCOPED_TRACE(book);
        const QString target = QString::fromUtf8(book).section(u'.', 0, 0) + ".rep";
        const qortest::ProcessResult r = qor(dir, {"convert", foreign(book), target});
        const QString err = QString::fromUtf8(r.err);
        EXPECT_EQ(r.exitCode, 3) << err.toStdString();
        // Named once, with the sheet and the first formula's cell.
        EXPECT_EQ(err.count(QStringLiteral("个公式单元")), 1) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("C2"))) << err.toStdString();
        const QByteArray name = target.toUtf8();
        EXPECT_EQ(get(dir, name.constData(), "2", "2"), QStringLiteral("120.5"));
        EXPECT_EQ(get(dir, name.constData(), "2", "6"), QStringLiteral("2024-01-09"));
    }
    // The results LibreOffice kept.
    EXPECT_EQ(get(dir, "formulas_lo.rep", "4", "2"), QStringLiteral("100.25"));
    EXPECT_EQ(get(dir, "formulas_lo.rep", "2", "7"), QStringLiteral("收入额"));
    EXPECT_EQ(get(dir, "sheet2003_lo.rep", "4", "2"), QStringLiteral("100.25"));
}

TEST(QorForeign, DatesOfA1904WorkbookKeepTheirDay) {
    const QString dir = qortest::freshDir("foreign-dates");
    const qortest::ProcessResult r = qor(dir, {"convert", foreign("dates1904_lo.xls"), "d.rep"});
    const QString err = QString::fromUtf8(r.err);
    EXPECT_NE(r.exitCode, 1) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("公式单元"))) << err.toStdString();
    EXPECT_EQ(get(dir, "d.rep", "1", "1"), QStringLiteral("2024-01-09"));
    EXPECT_EQ(get(dir, "d.rep", "2", "1"), QStringLiteral("1999-12-31"));
}

// LibreOffice's spreadsheet XML: percent cells are numbers in percent
// units, booleans what the workbook shows; its boolean formulas are named.
TEST(QorForeign, PercentCellsAndBooleansOfSpreadsheetXml) {
    const QString dir = qortest::freshDir("foreign-percent");
    const qortest::ProcessResult r = qor(dir, {"convert", foreign("percent_lo.xml"), "p.rep"});
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("2个公式单元"))) << r.err.toStdString();
    const struct {
        const char* row;
        const char* col;
        const char* want;
    } cells[] = {{"2", "2", "1.25"}, {"3", "2", "-50"}, {"4", "2", "120.5"}, {"2", "3", "TRUE"}, {"3", "3", "FALSE"}};
    for (const auto& c : cells) EXPECT_EQ(get(dir, "p.rep", c.row, c.col), QString::fromUtf8(c.want)) << c.row << c.col;
}

}  // namespace

// A cell written with qor set leaves the saved file with its totals worked
// out, as a cell edit in qorview does: a total below a variable area on the
// page written; a formula that fails after the write is named, the write
// stands.
#include <gtest/gtest.h>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

QString got(const QString& report, const QString& page, const QString& row, const QString& col) {
    const auto r = qor({"get", report, page, row, col});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return QString::fromUtf8(r.out).trimmed();
}

}  // namespace

TEST(QorSetRecalc, TheTotalsOverTheCellReadTheNewAmountInTheSavedFile) {
    const QString dir = qortest::freshDir("qor-set-recalc");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "6", "--cols", "3", "--pages", "2"}).exitCode, 0);
    // Row 3 an area of up to 4 lines totalled in C4; A1 divides by B2.
    const auto design = qor({"reader-script", "-"},
                            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetVarArea 1 3 4\n"
                                           "SetCurCell 4 3\nSetFormula \"GTOTAL(V_C)\"\n"
                                           "SetCurCell 1 1\nSetFormula \"10/B2\"\n"
                                           "BeginData\nSetCurPage 1\nSetCurCell 2 2\nSetData 5\n"
                                           "SetCurPage 2\nSetData 5\nSave\nCloseFile\n")
                                .arg(report)
                                .toUtf8());
    ASSERT_EQ(design.exitCode, 0) << design.out.constData();

    ASSERT_EQ(qor({"set", report, "1", "3", "3", "100"}).exitCode, 0);
    EXPECT_EQ(got(report, "1", "4", "3"), "100");
    ASSERT_EQ(qor({"append-lines", report, "1", "1"}).exitCode, 0);
    ASSERT_EQ(qor({"set", report, "1", "4", "3", "20"}).exitCode, 0);
    EXPECT_EQ(got(report, "1", "5", "3"), "120");
    // The other page keeps its own line and total.
    ASSERT_EQ(qor({"set", report, "2", "3", "3", "7"}).exitCode, 0);
    EXPECT_EQ(got(report, "2", "4", "3"), "7");
    EXPECT_EQ(got(report, "1", "5", "3"), "120");
    ASSERT_EQ(qor({"set", report, "2", "2", "2", "4"}).exitCode, 0);
    EXPECT_EQ(got(report, "2", "1", "1"), "2.5");

    // A write that makes a formula fail stands: saved, the failure named,
    // the cell read as failed; the next sound write clears it.
    const auto zero = qor({"set", report, "1", "2", "2", "0"});
    EXPECT_EQ(zero.exitCode, 3) << zero.err.constData();
    EXPECT_TRUE(QString::fromUtf8(zero.err).contains(QStringLiteral("第1页 A1 单元")))
        << zero.err.constData();
    EXPECT_EQ(QString::fromUtf8(zero.out).trimmed(), "page 1, row 2, column 2: 0");
    EXPECT_EQ(got(report, "1", "2", "2"), "0");
    EXPECT_EQ(qor({"get", report, "1", "1", "1"}).exitCode, 3);
    ASSERT_EQ(qor({"set", report, "1", "2", "2", "4"}).exitCode, 0);
    EXPECT_EQ(got(report, "1", "1", "1"), "2.5");
}

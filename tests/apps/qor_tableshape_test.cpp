// A change of the table's shape or of its decimals never costs a page what
// it holds: a size at which a page's variable lines no longer fit, the
// area's row going while lines hold values, fewer decimals while a page
// does not read; each is refused, naming the page, and the file stays as
// it was.
#include <gtest/gtest.h>

#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "resources/stringids.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qorRun(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

// A report of rows x cols with a variable area (kind 1 rows, 2 columns)
// at `start`; page 1 gets `lines` lines, the last holding 7 in its first
// cell after the area's start.
void areaReport(const QString& path, int rows, int cols, int kind, int start, int lines) {
    ASSERT_EQ(qorRun({"new", path, "--rows", QString::number(rows), "--cols", QString::number(cols),
                   "--pages", "2"})
                  .exitCode,
              0);
    const int row = kind == 1 ? start + lines - 1 : 1;
    const int col = kind == 1 ? 1 : start + lines - 1;
    const auto made = qorRun(
        {"reader-script", "-"},
        QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetVarArea %2 %3 20\nBeginData\n"
                       "SetCurPage 1\nAppendRows %4\nSetCurCell %5 %6\nSetData 7\nSave\nCloseFile\n")
            .arg(path)
            .arg(kind)
            .arg(start)
            .arg(lines - 1)
            .arg(row)
            .arg(col)
            .toUtf8());
    ASSERT_EQ(made.exitCode, 0) << made.out.constData() << made.err.constData();
}

}  // namespace

TEST(QorTableShape, ASizeAtWhichAPagesLinesNoLongerFitIsRefusedNamingThePage) {
    const QString dir = qortest::freshDir("qor-tableshape-fit");
    // Columns: 250 with 3 lines shows 252; 255 would put the last at 257.
    const QString cols = dir + "/cols.rep";
    areaReport(cols, 3, 250, 2, 2, 3);
    const QByteArray before = qortest::fileBytes(cols);
    for (const QStringList& args : {QStringList{"table-size", cols, "3", "255"},
                                    QStringList{"reader-script", "-"}}) {
        const auto r = args.first() == u"table-size"
                           ? qorRun(args)
                           : qorRun(args, QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n"
                                                      "SetTableSize 3 254\n")
                                           .arg(cols)
                                           .toUtf8());
        const QString said = QString::fromUtf8(r.err + r.out);
        EXPECT_TRUE(said.contains(QStringLiteral("第1页已用3列"))) << said.toStdString();
        EXPECT_EQ(qortest::fileBytes(cols), before);
    }
    const auto fits = qorRun({"table-size", cols, "3", "253"});
    EXPECT_EQ(fits.exitCode, 0) << fits.err.constData();
    EXPECT_EQ(qorRun({"get", cols, "1", "1", "4"}).out.trimmed(), "7");

    // Rows: append-rows past the room of 9,999 rows.
    const QString rows = dir + "/rows.rep";
    areaReport(rows, 9990, 2, 1, 2, 5);
    const QByteArray rowsBefore = qortest::fileBytes(rows);
    const auto appended = qorRun({"append-rows", rows, "6"});
    EXPECT_EQ(appended.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(appended.err).contains(QStringLiteral("第1页已用5行")))
        << appended.err.constData();
    EXPECT_EQ(qortest::fileBytes(rows), rowsBefore);
    EXPECT_EQ(qorRun({"append-rows", rows, "5"}).exitCode, 0);
    EXPECT_EQ(qorRun({"get", rows, "1", "6", "1"}).out.trimmed(), "7");
}

TEST(QorTableShape, DeletingTheAreasRowRefusesWhileLinesHoldValues) {
    const QString dir = qortest::freshDir("qor-tableshape-drop");
    const QString rep = dir + "/d.rep";
    areaReport(rep, 4, 3, 1, 2, 2);
    const QByteArray before = qortest::fileBytes(rep);
    for (const QStringList& args :
         {QStringList{"delete-rows", rep, "2", "1"}, QStringList{"table-size", rep, "1", "3"}}) {
        const auto r = qorRun(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(QStringLiteral("第1页的可变区有2行数据")))
            << r.err.constData();
        EXPECT_EQ(qortest::fileBytes(rep), before);
    }
    // Rows elsewhere go as before, and so does an area whose lines are empty.
    EXPECT_EQ(qorRun({"delete-rows", rep, "1", "1"}).exitCode, 0);
    const QString empty = dir + "/e.rep";
    ASSERT_EQ(qorRun({"new", empty, "--rows", "4", "--cols", "3", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qorRun({"reader-script", "-"},
                  QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetVarArea 1 2 5\nSave\n")
                      .arg(empty)
                      .toUtf8())
                  .exitCode,
              0);
    EXPECT_EQ(qorRun({"delete-rows", empty, "2", "1"}).exitCode, 0);
}

TEST(QorTableShape, AnAreaOnARowHoldingValuesIsRefusedNamingTheCell) {
    const QString dir = qortest::freshDir("qor-tableshape-held");
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "6", "--cols", "4", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qorRun({"set", rep, "2", "3", "2", "5"}).exitCode, 0);
    auto define = [&](const char* area) {
        return qorRun({"reader-script", "-"},
                      QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetVarArea %2\n"
                                     "BeginData\nSave\nCloseFile\n")
                          .arg(rep, QLatin1String(area))
                          .toUtf8());
    };
    for (const char* area : {"1 3 4", "2 2 4"}) {
        const auto r = define(area);
        const QString said = QString::fromUtf8(r.err + r.out);
        EXPECT_NE(r.exitCode, 0) << area;
        EXPECT_TRUE(said.contains(QStringLiteral("第2页第3行第2列有数据"))) << said.toStdString();
        // The script's save after the refusal keeps the value in sight.
        EXPECT_EQ(qorRun({"get", rep, "2", "3", "2"}).out.trimmed(), "5") << area;
    }
    // A row of no values becomes the area, and the value stays where it was.
    const auto fine = define("1 4 4");
    EXPECT_EQ(fine.exitCode, 0) << fine.err.constData() << fine.out.constData();
    EXPECT_EQ(qorRun({"get", rep, "2", "3", "2"}).out.trimmed(), "5");
}

TEST(QorTableShape, AnAreaOnAFormulasRowIsRefusedForTheFormula) {
    const QString dir = qortest::freshDir("qor-tableshape-formula");
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "6", "--cols", "4", "--pages", "2"}).exitCode, 0);
    for (const char* col : {"1", "2", "3"})
        ASSERT_EQ(qorRun({"format", rep, "4", col, "kind", "number"}).exitCode, 0);
    const auto run = [&](const QString& lines) {
        return qorRun({"reader-script", "-"},
                      QStringLiteral("OpenRep8File \"%1\"\n%2CloseFile\n").arg(rep, lines).toUtf8());
    };
    // Saved once, C4 holds what A4+B4 gives.
    ASSERT_EQ(run("BeginDesign\nSetCurCell 4 3\nSetFormula \"A4+B4\"\nSave\n").exitCode, 0);
    const QByteArray before = qortest::fileBytes(rep);
    const auto r = run("BeginDesign\nSetVarArea 1 4 4\nSave\n");
    const QString said = QString::fromUtf8(r.err + r.out);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(said.contains(LoadErrorText(qor::str::kStatusVarAreaStartInFormula))) << said.toStdString();
    EXPECT_FALSE(said.contains(QStringLiteral("有数据"))) << said.toStdString();
    EXPECT_EQ(qortest::fileBytes(rep), before);
}

TEST(QorTableShape, FewerDecimalsOnAReportWithADamagedPageChangeNothing) {
    const QString dir = qortest::freshDir("qor-tableshape-decimals");
    const QString rep = dir + "/m.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "3"}).exitCode, 0);
    for (int p = 1; p <= 3; ++p)
        ASSERT_EQ(qorRun({"set", rep, QString::number(p), "2", "2", "1.25"}).exitCode, 0);
    qortest::flipStreamByte(rep, QString::fromLatin1(qor::kPageStreamName),
                            qor::directorySize(3) + qor::pageRecordLength(2, 2, 0) +
                                qor::kPageRecordHeaderSize +
                                12);
    const QByteArray before = qortest::fileBytes(rep);
    const auto cut = qorRun({"format", rep, "2", "2", "decimals", "0"});
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_TRUE(cut.err.contains("1008")) << cut.err.constData();
    EXPECT_EQ(qortest::fileBytes(rep), before);
    EXPECT_EQ(qorRun({"get", rep, "1", "2", "2"}).out.trimmed(), "1.25");
    // More decimals round nothing and go ahead.
    EXPECT_EQ(qorRun({"format", rep, "2", "2", "decimals", "3"}).exitCode, 0);
}

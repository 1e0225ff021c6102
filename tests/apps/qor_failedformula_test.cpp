// A cell whose formula failed keeps 0 (or nothing), which is no amount:
// every way a host or a script reads it must say the formula failed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QtEndian>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

QString text(const QByteArray& b) { return QString::fromUtf8(b); }

// The log of the qor processes the test starts (they share its QOR_HOME),
// read as UTF-16LE after its byte-order mark.
QString errorLog(mode_t* mode) {
    const QString path = qEnvironmentVariable("QOR_HOME") + "/qorerr.log";
    struct stat st {};
    *mode = ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
    const QByteArray bytes = qortest::fileBytes(path);
    QString log;
    for (qsizetype i = 2; i + 1 < bytes.size(); i += 2)
        log.append(QChar(qFromLittleEndian<quint16>(bytes.constData() + i)));
    return log;
}

// A one-page report with a failing formula in A1, a sound one in A2 and a
// cell of the second column that reads A1.
QString reportWithFailingFormula(const QString& dir) {
    const QString report = dir + "/r.rep";
    EXPECT_EQ(qor({"new", report, "--rows", "4", "--cols", "3", "--pages", "1"}).exitCode, 0);
    const auto design = qor({"reader-script", "-"},
                            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n"
                                           "SetCurCell 1 1\nSetFormula \"7/0\"\n"
                                           "SetCurCell 2 1\nSetFormula \"5+1\"\n"
                                           "SetCurCell 3 2\nSetFormula \"A1+1\"\n"
                                           "Save\nCloseFile\n")
                                .arg(report)
                                .toUtf8());
    // Saved in format state, the formulas are worked out: A1 and B3 fail.
    EXPECT_EQ(design.exitCode, 3) << design.out.constData() << design.err.constData();
    EXPECT_TRUE(text(design.out).contains(QStringLiteral("重算后有 2 个单元的公式计算失败，第一个在第1页 A1 单元")))
        << design.out.constData();
    return report;
}

}  // namespace

TEST(QorFailedFormulas, EveryReadSaysTheFormulaFailed) {
    const QString dir = qortest::freshDir("qor-failed-formula");
    const QString report = reportWithFailingFormula(dir);
    qortest::writeFile(dir + "/recalc.shl", "RECALC ALL\n");

    // The run recalculates, saves, and tells how many cells failed and
    // the first of them with its reason.
    mode_t mode = 0;
    const QString logBefore = errorLog(&mode);
    const auto ran = qor({"run", dir + "/recalc.shl", report});
    EXPECT_EQ(ran.exitCode, 3) << ran.err.constData();
    EXPECT_TRUE(text(ran.err).contains(QStringLiteral("重算后有 2 个单元的公式计算失败，第一个在第1页 A1 单元")))
        << ran.err.constData();
    EXPECT_TRUE(text(ran.err).contains(QStringLiteral("除数为零"))) << ran.err.constData();
    // The log has it, with each failed cell, and only its user reads it.
    const QString log = errorLog(&mode).mid(logBefore.size());
    EXPECT_TRUE(log.contains(QStringLiteral("第1页 A1 单元的公式计算失败：除数为零"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("第1页 B3 单元的公式计算失败"))) << log.toStdString();
    EXPECT_EQ(mode, mode_t(0600));

    // qor get: no amount on standard output, the failure and exit 3; the
    // sound cell reads as before.
    for (const auto& [row, col] : {std::pair{"1", "1"}, std::pair{"3", "2"}}) {
        const auto got = qor({"get", report, "1", row, col});
        EXPECT_EQ(got.exitCode, 3) << got.out.constData() << got.err.constData();
        EXPECT_TRUE(got.out.isEmpty()) << got.out.constData();
        EXPECT_TRUE(text(got.err).contains(QStringLiteral("单元的公式计算失败"))) << got.err.constData();
    }
    const auto sound = qor({"get", report, "1", "2", "1"});
    EXPECT_EQ(sound.exitCode, 0);
    EXPECT_EQ(text(sound.out).trimmed(), QStringLiteral("6"));

    // The Reader: both reads fail naming the cell, and still hand over the
    // value the cell keeps, marked.
    const auto host = qor({"reader-script", "-"},
                          QStringLiteral("OpenRep8File \"%1\"\nBeginData\nSetCurPage 1\nSetCurCell 1 1\nGetData\n"
                                         "GetCellDataMatrix 1 1\nGetCellDataMatrix 2 1\nCloseFile\n")
                              .arg(report)
                              .toUtf8());
    EXPECT_EQ(host.exitCode, 3);
    const QString lines = text(host.out);
    EXPECT_TRUE(lines.contains(QStringLiteral(
        "GetData: ok=false error=\"GetData: 第1页 A1 单元的公式计算失败\" formulaFailed=true value=0\n")))
        << host.out.constData();
    EXPECT_TRUE(lines.contains(QStringLiteral("GetCellDataMatrix: ok=false error=\"GetCellDataMatrix: "
                                              "第1页 A1 单元的公式计算失败\" formulaFailed=true value=0\n")))
        << host.out.constData();
    EXPECT_TRUE(lines.contains("GetCellDataMatrix: ok=true value=6\n")) << host.out.constData();
    EXPECT_TRUE(lines.contains("CloseFile: ok=true")) << host.out.constData();

    // Written out, the kept 0 would read as an amount: every export writes
    // the file, exits 3 and names the failed cells.
    const QString named = QStringLiteral("公式计算失败的单元（写出的是单元中保存的值，不是计算结果）：共2处，第一处在第1页第1行第1列");
    for (const QStringList& args : {QStringList{"export-xml", report, dir + "/r.xml"},
                                    QStringList{"convert", report, dir + "/r.xlsx"},
                                    QStringList{"convert", report, dir + "/r.csv"},
                                    QStringList{"export-html", report, dir + "/html"}}) {
        const auto out = qor(args);
        EXPECT_EQ(out.exitCode, 3) << args.join(' ').toStdString() << ": " << out.err.constData();
        EXPECT_TRUE(text(out.out + out.err).contains(named))
            << args.join(' ').toStdString() << ": " << out.out.constData() << out.err.constData();
    }
}

TEST(QorFailedFormulas, ARecalculationWithoutFailuresEndsAsBefore) {
    const QString dir = qortest::freshDir("qor-sound-formula");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "2", "--cols", "2", "--pages", "2"}).exitCode, 0);
    const auto design = qor({"reader-script", "-"},
                            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 1 1\n"
                                           "SetFormula \"B2*2\"\nSave\nCloseFile\n")
                                .arg(report)
                                .toUtf8());
    ASSERT_EQ(design.exitCode, 0) << design.out.constData();
    ASSERT_EQ(qor({"set", report, "2", "2", "2", "21"}).exitCode, 0);
    qortest::writeFile(dir + "/recalc.shl", "RECALC ALL\n");
    const auto ran = qor({"run", dir + "/recalc.shl", report});
    EXPECT_EQ(ran.exitCode, 0) << ran.err.constData();
    EXPECT_FALSE(text(ran.err).contains(QStringLiteral("失败"))) << ran.err.constData();
    const auto got = qor({"get", report, "2", "1", "1"});
    EXPECT_EQ(got.exitCode, 0) << got.err.constData();
    EXPECT_EQ(text(got.out).trimmed(), "42");
    // The own XML keeps formulas and values whole.
    const auto xml = qor({"export-xml", report, dir + "/r.xml"});
    EXPECT_EQ(xml.exitCode, 0) << xml.out.constData() << xml.err.constData();
}

// A formula removed takes its failure with it: the cell reads as what it
// keeps, and what read the failed cell is worked out again from it.
TEST(QorFailedFormulas, RemovingTheFormulaTakesItsFailure) {
    const QString dir = qortest::freshDir("qor-failed-removed");
    const QString report = reportWithFailingFormula(dir);
    const auto removed = qor({"reader-script", "-"},
                             QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n"
                                            "SetCurCell 1 1\nSetFormula \"\"\nSave\nCloseFile\n")
                                 .arg(report)
                                 .toUtf8());
    EXPECT_EQ(removed.exitCode, 0) << removed.out.constData() << removed.err.constData();
    const auto a1 = qor({"get", report, "1", "1", "1"});
    EXPECT_EQ(a1.exitCode, 0) << a1.err.constData();
    EXPECT_FALSE(text(a1.err).contains(QStringLiteral("失败"))) << a1.err.constData();
    const auto b3 = qor({"get", report, "1", "3", "2"});
    EXPECT_EQ(b3.exitCode, 0) << b3.err.constData();
    EXPECT_EQ(text(b3.out).trimmed(), "1");
    qortest::writeFile(dir + "/recalc.shl", "RECALC ALL\n");
    const auto ran = qor({"run", dir + "/recalc.shl", report});
    EXPECT_EQ(ran.exitCode, 0) << ran.err.constData();
}

// Commands that carry a failed cell over (a total, an appended page) keep
// its mark in the saved file and make the run exit 3; commands that would
// take it for an amount refuse; the Reader's Recalc says it too.
TEST(QorFailedFormulas, TotalsAndCopiesKeepTheMarkAndTheRunTells) {
    const QString dir = qortest::freshDir("qor-failed-carried");
    const QString report = reportWithFailingFormula(dir);
    qortest::writeFile(dir + "/total.shl", "RECALC ALL\nTOTAL FOR MRECNO()>0\n");
    const auto total = qor({"run", dir + "/total.shl", report});
    EXPECT_EQ(total.exitCode, 3) << total.err.constData();
    EXPECT_TRUE(text(total.err).contains(QStringLiteral("TOTAL：来源中有 2 个单元的公式计算失败")) &&
                text(total.err).contains(QStringLiteral("第一个在第1页 A1 单元")))
        << total.err.constData();
    const auto totalled = qor({"get", report, "2", "1", "1"});
    EXPECT_EQ(totalled.exitCode, 3) << totalled.out.constData();
    EXPECT_EQ(text(qor({"get", report, "2", "2", "1"}).out).trimmed(), "6");

    // Into a report without the formulas: the copy still reads as failed.
    const QString plain = dir + "/plain.rep";
    ASSERT_EQ(qor({"new", plain, "--rows", "4", "--cols", "3"}).exitCode, 0);
    qortest::writeFile(dir + "/append.shl", QStringLiteral("APPEND FROM \"%1\" FOR MRECNO()=1\n")
                                                .arg(report)
                                                .toUtf8());
    const auto appended = qor({"run", dir + "/append.shl", plain});
    EXPECT_EQ(appended.exitCode, 3) << appended.err.constData();
    EXPECT_TRUE(text(appended.err).contains(QStringLiteral("APPEND"))) << appended.err.constData();
    EXPECT_EQ(qor({"get", plain, "1", "1", "1"}).exitCode, 3);
    EXPECT_EQ(qor({"get", plain, "1", "2", "1"}).exitCode, 0);

    // Sorting by it is refused, and the run saves nothing.
    qortest::writeFile(dir + "/sort.shl", "SORT PAGES BY A1\n");
    const auto sorted = qor({"run", dir + "/sort.shl", report});
    EXPECT_EQ(sorted.exitCode, 1) << sorted.err.constData();
    EXPECT_TRUE(text(sorted.err).contains(QStringLiteral("公式计算失败"))) << sorted.err.constData();

    const auto host = qor({"reader-script", "-"},
                          QStringLiteral("OpenRep8File \"%1\"\nBeginData\nSetCurPage 1\nRecalc\nCloseFile\n")
                              .arg(report)
                              .toUtf8());
    EXPECT_TRUE(text(host.out).contains(QStringLiteral(
        "Recalc: ok=false error=\"Recalc: 重算后有 2 个单元的公式计算失败，第一个在第1页 A1 单元")))
        << host.out.constData();
    EXPECT_TRUE(text(host.out).contains("formulaFailed=true")) << host.out.constData();
}

// A script's CONVERT names the real reason: a page the report lacks, or
// a type other verbs write.
TEST(QorFailedFormulas, AScriptsConvertNamesTheRealReason) {
    const QString dir = qortest::freshDir("qor-convert-reasons");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "4", "--cols", "3", "--pages", "3"}).exitCode, 0);
    const QList<std::pair<QString, QString>> cases = {
        {QStringLiteral("CONVERT \"%1\" TO \"%2/p.xls\" PAGE 9\n"), QStringLiteral("报表没有第9页（共3页）")},
        {QStringLiteral("CONVERT \"%1\" TO \"%2/r.xml\"\n"), QStringLiteral("qor export-xml")},
        {QStringLiteral("CONVERT \"%1\" TO \"%2/r.htm\"\n"), QStringLiteral("qor export-html")},
    };
    for (const auto& [line, reason] : cases) {
        qortest::writeFile(dir + "/c.shl", line.arg(report, dir).toUtf8());
        const auto r = qor({"run", dir + "/c.shl"});
        EXPECT_EQ(r.exitCode, 1) << line.toStdString();
        EXPECT_TRUE(text(r.err).contains(reason)) << line.toStdString() << r.err.constData();
        EXPECT_FALSE(text(r.err).contains(QStringLiteral("安装"))) << r.err.constData();
    }
}

// A failed cell past a variable area is named where the sheet shows it on
// its page, as the name box and formulas name it: the Reader's Recalc and
// RECALC both, for a column area and a row area.
TEST(QorFailedFormulas, AFailedCellPastAnAreaIsNamedAsTheSheetShowsIt) {
    const QString dir = qortest::freshDir("qor-failed-shown");
    struct Case {
        const char* area;     // SetVarArea kind start extent
        const char* formula;  // its stored cell, row and column
        const char* stored;   // the name of that cell in format state
        const char* shown;    // with three lines in use
    };
    const Case cases[] = {{"2 2 5", "1 4", "D1", "F1"}, {"1 2 5", "4 1", "A4", "A6"}};
    for (const Case& c : cases) {
        const QString report = dir + QStringLiteral("/r%1.rep").arg(c.area[0]);
        ASSERT_EQ(qor({"new", report, "--rows", "4", "--cols", "4", "--pages", "1"}).exitCode, 0);
        const auto design =
            qor({"reader-script", "-"},
                QStringLiteral(
                    "OpenRep8File \"%1\"\nBeginDesign\nSetVarArea %2\nSetCurCell %3\n"
                    "SetFormula \"10/A1\"\nBeginData\nSetCurPage 1\nRecalc\nSave\nCloseFile\n")
                    .arg(report, QLatin1String(c.area), QLatin1String(c.formula))
                    .toUtf8());
        EXPECT_TRUE(
            text(design.out).contains(QStringLiteral("第1页 %1 单元").arg(QLatin1String(c.stored))))
            << design.out.constData();
        // The lines are added; the formula left failed is told (exit 3).
        ASSERT_EQ(qor({"append-lines", report, "1", "2"}).exitCode, 3);
        const auto reader =
            qor({"reader-script", "-"},
                QStringLiteral("OpenRep8File \"%1\"\nBeginData\nSetCurPage 1\nRecalc\nCloseFile\n")
                    .arg(report)
                    .toUtf8());
        const QString named = QStringLiteral("第一个在第1页 %1 单元").arg(QLatin1String(c.shown));
        EXPECT_TRUE(text(reader.out).contains(named)) << c.area << reader.out.constData();
        qortest::writeFile(dir + "/recalc.shl", "RECALC\n");
        const auto ran = qor({"run", dir + "/recalc.shl", report});
        EXPECT_TRUE(text(ran.err).contains(named)) << c.area << ran.err.constData();
    }
}

// A row deleted under a formula that read it leaves "#REF!" in the formula:
// the failure says the cell it read went with the row, not that "#" is a
// character the language does not know.
TEST(QorFailedFormulas, AReferenceToADeletedRowSaysTheRowWent) {
    const QString dir = qortest::freshDir("qor-failed-deleted-row");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "4", "--cols", "2", "--pages", "1"}).exitCode, 0);
    const auto design = qor({"reader-script", "-"},
                            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n"
                                           "SetCurCell 1 1\nSetFormula \"A3*2\"\nSave\nCloseFile\n")
                                .arg(report)
                                .toUtf8());
    ASSERT_EQ(design.exitCode, 0) << design.out.constData() << design.err.constData();
    // The delete itself works A1 out and tells.
    const auto deleted = qor({"delete-rows", report, "3", "1"});
    EXPECT_EQ(deleted.exitCode, 3) << deleted.err.constData();
    EXPECT_TRUE(text(deleted.err).contains(QStringLiteral("已随删除的行或列去掉"))) << deleted.err.constData();
    qortest::writeFile(dir + "/recalc.shl", "RECALC ALL\n");
    const auto ran = qor({"run", dir + "/recalc.shl", report});
    EXPECT_EQ(ran.exitCode, 3) << ran.err.constData();
    EXPECT_TRUE(text(ran.err).contains(QStringLiteral("第一个在第1页 A1 单元"))) << ran.err.constData();
    EXPECT_TRUE(text(ran.err).contains(QStringLiteral("已随删除的行或列去掉"))) << ran.err.constData();
    EXPECT_FALSE(text(ran.err).contains(QStringLiteral("不能识别的字符"))) << ran.err.constData();
}

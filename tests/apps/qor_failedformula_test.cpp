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
    EXPECT_EQ(design.exitCode, 0) << design.out.constData() << design.err.constData();
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
    EXPECT_EQ(host.exitCode, 1);
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

// qor run: the bundled sample script as the README runs it, and a script
// that fails, which must leave the report file as it was.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>

#include "engine/messages.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult runQor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

QByteArray digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

TEST(QorRun, TheSampleScriptTotalsItsPages) {
    const QString dir = qortest::freshDir("qor-run-sample");
    const QString report = dir + "/sample.rep";
    ASSERT_EQ(runQor({"new", report, "--rows", "6", "--cols", "4", "--pages", "3"}).exitCode, 0);
    auto ran = runQor({"run", QStringLiteral(QOR_TEST_SOURCE_DIR "/samples/sample.shl"), report});
    ASSERT_EQ(ran.exitCode, 0) << ran.err.constData();
    const QString out = QString::fromUtf8(ran.out);
    EXPECT_TRUE(out.contains("&pages = 4 (数值型)")) << qPrintable(out);
    EXPECT_TRUE(out.contains("&revenue = 3600 (数值型)")) << qPrintable(out);
    EXPECT_TRUE(out.contains("&profit = 1239.5 (数值型)")) << qPrintable(out);
    EXPECT_TRUE(out.contains("&shanghai = 549.5 (数值型)")) << qPrintable(out);

    // The report was saved with the keywords and the total page.
    auto pages = runQor({"pages", report});
    ASSERT_EQ(pages.exitCode, 0) << pages.err.constData();
    const QString listed = QString::fromUtf8(pages.out);
    EXPECT_TRUE(listed.contains("pages: 4")) << qPrintable(listed);
    EXPECT_TRUE(listed.contains(QStringLiteral("page 2: 0=\"上海\" 2=2004 4=5")))
        << qPrintable(listed);
    auto total = runQor({"get", report, "4", "1", "1"});
    EXPECT_EQ(total.out.trimmed(), "3600");
}

TEST(QorRun, AFailingLineSavesNothing) {
    const QString dir = qortest::freshDir("qor-run-fail");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", report, "--rows", "3", "--cols", "3", "--pages", "2"}).exitCode, 0);
    const QByteArray before = digest(report);
    QFile script(dir + "/bad.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("LET A1 = 5\nFIND FOR 年=1999\nLET A2 = 6\n");
    script.close();
    auto ran = runQor({"run", script.fileName(), report});
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(ran.err).contains(
        LoadErrorText(qor::str::kScriptLineFailed).arg("bad.shl", "2", QString())))
        << ran.err.constData();
    EXPECT_EQ(digest(report), before);

    EXPECT_EQ(runQor({"run"}).exitCode, 2);
    EXPECT_EQ(runQor({"run", dir + "/none.shl"}).exitCode, 2);
    EXPECT_EQ(runQor({"run", script.fileName(), dir + "/none.rep"}).exitCode, 1);
}

}  // namespace

// A script's CONVERT that leaves something out makes the run's exit code 3
// (a failure stays 1). Nobody sits at a run: the question whether the
// formats go too is answered with its default and not printed, and the
// workbook writer's progress lines appear only when asked for.
TEST(QorRun, AConversionThatLosesSomethingExits3AndAsksNothing) {
    const QString dir = qortest::freshDir("qor-run-convert");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", report, "--rows", "3", "--cols", "3", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(runQor({"keyword", report, "1", "unit-name", "北京", "--text"}).exitCode, 0);
    QFile script(dir + "/conv.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("LET A1 = 5\nCONVERT \"r.rep\" TO \"r.xls\"\n");
    script.close();
    for (const bool progress : {false, true}) {
        SCOPED_TRACE(progress ? "--progress" : "no terminal");
        QFile::remove(dir + "/r.xls");
        QStringList args{"run", script.fileName(), report};
        if (progress) args << "--progress";
        const qortest::ProcessResult ran = runQor(args);
        const QString out = QString::fromUtf8(ran.out), err = QString::fromUtf8(ran.err);
        EXPECT_EQ(ran.exitCode, 3) << qPrintable(out) << qPrintable(err);
        // The unit name is placed in no cell: named once.
        EXPECT_EQ(out.count(QStringLiteral("未放在单元中的表页关键字")), 1) << qPrintable(out);
        EXPECT_FALSE(out.contains(QStringLiteral("是否同时将格式转换为Excel"))) << qPrintable(out);
        EXPECT_EQ(err.contains(QStringLiteral("正在保存第")), progress) << qPrintable(err);
        EXPECT_TRUE(QFile::exists(dir + "/r.xls"));
    }
}

// A workbook's import tells what it left out as it reads; the script's
// CONVERT does not tell it a second time.
TEST(QorRun, AWorkbooksLossIsToldOnce) {
    const QString dir = qortest::freshDir("qor-run-xls");
    QFile script(dir + "/in.shl");
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("CONVERT \"" QOR_TEST_SOURCE_DIR "/tests/exchange/foreign/formulas_lo.xls\" TO \"" +
                 dir.toUtf8() + "/f.rep\"\n");
    script.close();
    const qortest::ProcessResult ran = runQor({"run", script.fileName()});
    const QString out = QString::fromUtf8(ran.out);
    EXPECT_EQ(ran.exitCode, 3) << qPrintable(out) << ran.err.constData();
    EXPECT_EQ(out.count(QStringLiteral("个公式单元")), 1) << qPrintable(out);
    EXPECT_TRUE(QFile::exists(dir + "/f.rep"));
}

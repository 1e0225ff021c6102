// The desktop application started as a user would start it, on the
// offscreen platform, loading a report and leaving at once.
#include <gtest/gtest.h>

#include <QFile>

#include "engine/creporthandle.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qorview(const QStringList& args) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return qortest::run(QStringLiteral(QOR_VIEW_BINARY), args);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(QorView, LoadsAReportLeavesItUntouchedAndFreesItAgain) {
    const QString path = qortest::freshDir("qorview-load") + "/shown.rep";
    {
        CReportHandle made(path);
        ASSERT_TRUE(made.IsOpen());
    }
    const QByteArray before = readAll(path);
    ASSERT_FALSE(before.isEmpty());

    auto first = qorview({path, "--quit-after-load"});
    ASSERT_TRUE(first.started);
    EXPECT_EQ(first.exitCode, 0) << first.err.constData();
    EXPECT_EQ(readAll(path), before);  // only looking never writes the report

    // A second start finds the report free: the first left no in-use mark.
    auto second = qorview({"--quit-after-load", path});
    EXPECT_EQ(second.exitCode, 0) << second.err.constData();

    CReportHandle reopened(path, CReportHandle::OpenMode::OpenExisting);
    EXPECT_TRUE(reopened.IsOpen());
}

TEST(QorView, AFileThatCannotBeOpenedFailsTheLoad) {
    const QString dir = qortest::freshDir("qorview-bad");
    auto missing = qorview({dir + "/missing.rep", "--quit-after-load"});
    EXPECT_EQ(missing.exitCode, 1) << missing.err.constData();
    EXPECT_FALSE(QFile::exists(dir + "/missing.rep"));  // never created by opening

    const QString junk = dir + "/junk.rep";
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a report at all");
    }
    auto bad = qorview({junk, "--quit-after-load"});
    EXPECT_EQ(bad.exitCode, 1) << bad.err.constData();
    EXPECT_EQ(readAll(junk), QByteArray("not a report at all"));
}

TEST(QorView, StartsWithANewReportAndRejectsUnknownOptions) {
    EXPECT_EQ(qorview({"--quit-after-load"}).exitCode, 0);
    EXPECT_EQ(qorview({"--bogus", "--quit-after-load"}).exitCode, 2);
}

// Runs qorview with no display and no platform chosen, as from a bare
// terminal; the test's own environment comes back afterwards.
qortest::ProcessResult qorviewWithoutDisplay(const QStringList& args) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM"), display = qgetenv("DISPLAY"),
                     wayland = qgetenv("WAYLAND_DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    auto r = qortest::run(QStringLiteral(QOR_VIEW_BINARY), args);
    qputenv("QT_QPA_PLATFORM", platform.isEmpty() ? QByteArray("offscreen") : platform);
    if (!display.isEmpty()) qputenv("DISPLAY", display);
    if (!wayland.isEmpty()) qputenv("WAYLAND_DISPLAY", wayland);
    return r;
}

TEST(QorView, HelpAndVersionNeedNoDisplayAndAStartWithoutOneSaysHowToGetOne) {
    auto help = qorviewWithoutDisplay({"--help"});
    EXPECT_EQ(help.exitCode, 0) << help.err.constData();
    const QString usage = QString::fromUtf8(help.out);
    EXPECT_TRUE(usage.startsWith(u"用法：qorview")) << help.out.constData();
    EXPECT_TRUE(usage.contains(u"--version"));
    // The usage names every type the program opens; each of them opens.
    const QString dir = qortest::freshDir("qorview-types");
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qortest::run(QStringLiteral(QOR_APP_BINARY), {"new", rep, "--pages", "1"}).exitCode,
              0);
    ASSERT_EQ(
        qortest::run(QStringLiteral(QOR_APP_BINARY), {"set", rep, "1", "1", "1", "5"}).exitCode, 0);
    for (const char* type : {"rep", "xlsx", "xls", "xml", "dbf", "txt", "csv", "mdb", "wk4"}) {
        const QString suffix = QStringLiteral(".") + QLatin1String(type);
        EXPECT_TRUE(usage.contains(suffix)) << type;
        const QString file = dir + "/t" + suffix;
        if (suffix != u".rep") {
            ASSERT_LE(qortest::run(QStringLiteral(QOR_APP_BINARY), {"convert", rep, file}).exitCode,
                      3)
                << type;
        }
        EXPECT_EQ(qortest::run(QStringLiteral(QOR_VIEW_BINARY),
                               {"--quit-after-load", suffix == u".rep" ? rep : file})
                      .exitCode,
                  0)
            << type;
    }
    EXPECT_TRUE(help.err.isEmpty()) << help.err.constData();

    auto version = qorviewWithoutDisplay({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("qorview 8.")) << version.out.constData();

    auto start = qorviewWithoutDisplay({"--quit-after-load"});
    EXPECT_EQ(start.exitCode, 1);
    const QString line = QString::fromUtf8(start.err).trimmed();
    EXPECT_FALSE(line.contains(u'\n')) << start.err.constData();  // one line, no plugin list
    EXPECT_TRUE(line.contains(u"DISPLAY") && line.contains(u"QT_QPA_PLATFORM=offscreen"))
        << start.err.constData();
}

}  // namespace

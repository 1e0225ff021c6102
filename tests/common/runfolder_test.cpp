// The test main's run folder: every place a test, a library or a program a
// test starts could write for the user lies below it, and it is gone when
// the run ends.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>

#include "tests/common/testsupport.h"

namespace {

bool below(const QString& path, const QString& folder) {
    return QDir::cleanPath(path).startsWith(QDir::cleanPath(folder) + QLatin1Char('/'));
}

// Runs this binary's named test with TMPDIR set to parent and the extra
// variables; its exit code.
int runSelf(const QString& test, const QString& parent, const QStringList& extra = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), parent);
    for (const QString& kv : extra) env.insert(kv.section('=', 0, 0), kv.section('=', 1));
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=") + test});
    if (!p.waitForFinished(60000)) return -1;
    return p.exitCode();
}

}  // namespace

TEST(RunFolder, EveryUserFolderLiesBelowIt) {
    const QString base = qortest::processTempDir();
    EXPECT_TRUE(QFileInfo(base).fileName().startsWith(QStringLiteral("qortest-")));
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                             "XDG_RUNTIME_DIR", "TMPDIR", "QOR_HOME", "QOR_REGISTRY"}) {
        const QString value = qEnvironmentVariable(name);
        EXPECT_TRUE(below(value, base)) << name << " = " << value.toStdString();
        if (QString::fromLatin1(name) != QStringLiteral("QOR_REGISTRY")) {
            EXPECT_TRUE(QFileInfo(value).isDir()) << name;
        }
    }
    // What Qt and the libraries derive from them.
    EXPECT_TRUE(below(QDir::homePath(), base));
    EXPECT_TRUE(below(QDir::tempPath(), base));
    for (auto location : {QStandardPaths::ConfigLocation, QStandardPaths::GenericDataLocation,
                          QStandardPaths::CacheLocation, QStandardPaths::RuntimeLocation})
        EXPECT_TRUE(below(QStandardPaths::writableLocation(location), base)) << int(location);
    // The runtime folder is the user's alone, or Qt and D-Bus refuse it.
    struct stat st {};
    ASSERT_EQ(::stat(qgetenv("XDG_RUNTIME_DIR").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(RunFolder, ProgramsATestStartsInheritIt) {
    const auto r = qortest::run(QStringLiteral("/usr/bin/env"), {});
    ASSERT_EQ(r.exitCode, 0);
    const QString base = qortest::processTempDir();
    for (const QString& line : QString::fromLocal8Bit(r.out).split(QLatin1Char('\n'))) {
        const QString name = line.section('=', 0, 0);
        if (name == QLatin1String("HOME") || name == QLatin1String("TMPDIR") ||
            name.startsWith(QLatin1String("XDG_"))) {
            EXPECT_TRUE(below(line.section('=', 1), base)) << line.toStdString();
        }
    }
}

TEST(RunFolder, IsRemovedAtTheEndUnlessAskedToKeepIt) {
    const QString parent = qortest::testDir();
    ASSERT_EQ(runSelf(QStringLiteral("RunFolder.EveryUserFolderLiesBelowIt"), parent), 0);
    EXPECT_TRUE(
        QDir(parent).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    ASSERT_EQ(runSelf(QStringLiteral("RunFolder.EveryUserFolderLiesBelowIt"), parent,
                      {QStringLiteral("QOR_KEEP_TEST_DIR=1")}),
              0);
    const QStringList kept = QDir(parent).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(kept[0].startsWith(QStringLiteral("qortest-")));
}

TEST(RunFolder, ArtefactsGoWhereCiAsksOrStayInTheRun) {
    const QString saved = qEnvironmentVariable("QOR_TEST_ARTIFACTS");
    qunsetenv("QOR_TEST_ARTIFACTS");
    const QString inRun = qortest::artifactPath(QStringLiteral("sub/x.png"));
    EXPECT_TRUE(below(inRun, qortest::processTempDir()));
    EXPECT_TRUE(QFileInfo(QFileInfo(inRun).path()).isDir());
    const QString ci = qortest::testDir() + QStringLiteral("/kept");
    qputenv("QOR_TEST_ARTIFACTS", QFile::encodeName(ci));
    EXPECT_EQ(qortest::artifactPath(QStringLiteral("sub/x.png")),
              ci + QStringLiteral("/sub/x.png"));
    EXPECT_TRUE(QFileInfo(ci + QStringLiteral("/sub")).isDir());
    EXPECT_EQ(qortest::artifactPath(), ci);
    if (saved.isEmpty())
        qunsetenv("QOR_TEST_ARTIFACTS");
    else
        qputenv("QOR_TEST_ARTIFACTS", QFile::encodeName(saved));
}

TEST(RunFolder, AMissingReaderSkipsUnlessReadersAreRequired) {
    const QByteArray saved = qgetenv("QOR_REQUIRE_READERS");
    qunsetenv("QOR_REQUIRE_READERS");
    EXPECT_TRUE(qortest::needReader(true, QStringLiteral("present")));
    EXPECT_FALSE(qortest::needProgram(QStringLiteral("qor-no-such-program")));
    qputenv("QOR_REQUIRE_READERS", "1");
    EXPECT_TRUE(qortest::needReader(true, QStringLiteral("present")));
    EXPECT_NONFATAL_FAILURE(qortest::needProgram(QStringLiteral("qor-no-such-program")),
                            "qor-no-such-program is missing");
    EXPECT_NONFATAL_FAILURE(qortest::needPythonModule(QStringLiteral("qor_no_such_module")),
                            "qor_no_such_module is missing");
    if (saved.isEmpty())
        qunsetenv("QOR_REQUIRE_READERS");
    else
        qputenv("QOR_REQUIRE_READERS", saved);
}

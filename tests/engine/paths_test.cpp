#include "engine/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include "platform/datadir.h"
#include "platform/registry.h"
#include "tests/common/testsupport.h"

TEST(PathsTest, FolderOfAPath) {
    EXPECT_EQ(FileNameFromPath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(FileNameFromPath("/c.txt"), "/");
    EXPECT_EQ(FileNameFromPath("dir\\x.dbf"), "dir\\");
    EXPECT_EQ(FileNameFromPath("/a/b/"), "/a/b/");
    const QString bare = FileNameFromPath("c.txt");
    EXPECT_TRUE(bare.isEmpty());
    EXPECT_FALSE(bare.isNull());
    EXPECT_TRUE(FileNameFromPath("").isEmpty());
}

TEST(PathsTest, JetTableNames) {
    EXPECT_EQ(JetTableNameFromPath("/data/sales.dbf"), "sales");
    EXPECT_EQ(JetTableNameFromPath("/data/SALES.DBF"), "SALES");
    EXPECT_EQ(JetTableNameFromPath("/data/sales.txt"), "sales#txt");
    EXPECT_EQ(JetTableNameFromPath("/da.ta/a.b.csv"), "a#b#csv");
    EXPECT_EQ(JetTableNameFromPath("/data/x.dbf.bak"), "x#dbf#bak");
    EXPECT_EQ(JetTableNameFromPath("noext"), "noext");
    EXPECT_TRUE(JetTableNameFromPath("").isNull());
}

TEST(PathsTest, TrimAtDelimiters) {
    EXPECT_EQ(TrimAtDelimiters("Sheet1$A1:B2"), "Sheet1");
    EXPECT_EQ(TrimAtDelimiters("a:b#c"), "a");
    EXPECT_EQ(TrimAtDelimiters("sales#txt"), "sales");
    EXPECT_EQ(TrimAtDelimiters("$x"), "");
    EXPECT_EQ(TrimAtDelimiters("plain"), "plain");
    EXPECT_TRUE(TrimAtDelimiters("").isNull());
}

TEST(PathsTest, DiskFreeBytes) {
    EXPECT_GT(GetDiskFreeBytes(QDir::tempPath()), 0.0);
    EXPECT_EQ(GetDiskFreeBytes(qortest::processTempDir() + "/no/such/folder"), 0.0);
    EXPECT_EQ(GetDiskFreeBytes(""), 0.0);
}

TEST(PathsTest, ConfigDirIsCreatedBelowTheDataDir) {
    const QString dir = GetConfigDir();
    EXPECT_EQ(dir, QDir::cleanPath(qor::dataDir() + "/config"));
    EXPECT_TRUE(QFileInfo(dir).isDir());
    EXPECT_FALSE(dir.endsWith('/'));
    EXPECT_EQ(GetConfigDir(), dir);
}

TEST(PathsTest, ImportPathFromTheRegistryElseHome) {
    const QString key = "Software\\Vantix\\QX\\V8.610";
    qor::Registry::deleteValue(key, "ZWQORImportPath");
    EXPECT_EQ(GetImportPath(), QDir::homePath());
    ASSERT_TRUE(qor::Registry::writeString(key, "ZWQORImportPath", "/srv/import"));
    EXPECT_EQ(GetImportPath(), "/srv/import");
    qor::Registry::deleteValue(key, "ZWQORImportPath");
}

TEST(PathsTest, LegacyDataFoldersMoveOnceAndNeverOverAnExistingOne) {
    const QString home = qortest::freshDir("paths-legacy");
    const QByteArray oldHome = qgetenv("QOR_HOME");
    const auto restore = qScopeGuard([&] { qputenv("QOR_HOME", oldHome); });
    qputenv("QOR_HOME", QFile::encodeName(home));
    qortest::writeFile(home + "/qor/config/q_lrb.config", "old config");
    qortest::writeFile(home + "/qor/work/left-behind.rep", "old work");
    qortest::writeFile(home + "/qor/data/sales.db", "old data");
    qortest::writeFile(home + "/qor/notes.txt", "not ours");
    // The new configuration folder already holds the user's files.
    qortest::writeFile(home + "/config/q_lrb.config", "new config");
    EXPECT_EQ(qor::legacyDataFolder("work"), home + "/qor/work");

    EXPECT_EQ(qor::MoveLegacyDataFolders(), 2);
    EXPECT_EQ(qortest::fileBytes(home + "/config/q_lrb.config"), "new config");
    EXPECT_EQ(qortest::fileBytes(home + "/qor/config/q_lrb.config"), "old config");
    EXPECT_EQ(qortest::fileBytes(home + "/work/left-behind.rep"), "old work");
    EXPECT_EQ(qortest::fileBytes(home + "/data/sales.db"), "old data");
    EXPECT_FALSE(QFileInfo::exists(home + "/qor/work"));
    EXPECT_EQ(qortest::fileBytes(home + "/qor/notes.txt"), "not ours");

    // A second start finds nothing to move, even with an old folder made
    // again beside the new one.
    qortest::writeFile(home + "/qor/data/sales.db", "older data");
    EXPECT_EQ(qor::MoveLegacyDataFolders(), 0);
    EXPECT_EQ(qortest::fileBytes(home + "/data/sales.db"), "old data");

    // Once everything has moved the old parent goes, but only when empty.
    const QString other = qortest::freshDir("paths-legacy-empty");
    qputenv("QOR_HOME", QFile::encodeName(other));
    qortest::writeFile(other + "/qor/work/a", "a");
    EXPECT_EQ(qor::MoveLegacyDataFolders(), 1);
    EXPECT_FALSE(QFileInfo::exists(other + "/qor"));
}

#include "engine/paths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

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
    EXPECT_EQ(dir, QDir::cleanPath(qor::dataDir() + "/qor/config"));
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

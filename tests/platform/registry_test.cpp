#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "platform/datadir.h"
#include "platform/inifile.h"
#include "tests/common/testsupport.h"

using namespace qor;

// Readable failure messages for Qt strings.
static void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

// Each test gets its own registry file; the process-wide one is restored.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qgetenv("QOR_REGISTRY");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        file_ = qortest::freshDir(QString("reg-") + info->name()) + "/registry.ini";
        qputenv("QOR_REGISTRY", QFile::encodeName(file_));
    }
    void TearDown() override { qputenv("QOR_REGISTRY", saved_); }

    QString file_;
    QByteArray saved_;
};

const QString kInstall = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Install");

}  // namespace

TEST_F(RegistryTest, WriteReadAcrossSpellings) {
    EXPECT_EQ(Registry::filePath(), file_);
    EXPECT_FALSE(Registry::keyExists(kInstall));
    EXPECT_EQ(Registry::readString(kInstall, "CurrentInstPath", "none"), "none");

    ASSERT_TRUE(
        Registry::writeString(kInstall, "CurrentInstPath", QStringLiteral("D:\\财务\\QOR")));
    ASSERT_TRUE(Registry::writeString(kInstall, "", "default"));
    ASSERT_TRUE(Registry::writeDword(kInstall, "Count", 42));
    ASSERT_TRUE(Registry::writeDword(kInstall, "Max", 0xFFFFFFFFu));

    const QString other = QStringLiteral("\\software\\VANTIX\\qx\\v8.610\\install\\");
    EXPECT_TRUE(Registry::keyExists(other));
    EXPECT_EQ(Registry::readString(other, "currentinstpath"), QStringLiteral("D:\\财务\\QOR"));
    EXPECT_EQ(Registry::readString(other, ""), "default");
    EXPECT_EQ(Registry::readDword(other, "COUNT", 7), 42u);
    EXPECT_EQ(Registry::readDword(other, "Max", 7), 0xFFFFFFFFu);
    EXPECT_EQ(Registry::readDword(other, "Missing", 7), 7u);
    EXPECT_EQ(Registry::valueNames(kInstall), (QStringList{"CurrentInstPath", "", "Count", "Max"}));

    // The stored form is the export's.
    EXPECT_EQ(IniFile(file_).readString(kInstall, "Count"), "dword:0000002a");

    // Overwriting keeps one value.
    ASSERT_TRUE(Registry::writeDword(kInstall, "count", 43));
    EXPECT_EQ(Registry::readDword(kInstall, "Count"), 43u);
    EXPECT_EQ(Registry::valueNames(kInstall).size(), 4);

    EXPECT_TRUE(Registry::deleteValue(kInstall, "COUNT"));
    EXPECT_FALSE(Registry::deleteValue(kInstall, "Count"));
    EXPECT_EQ(Registry::readDword(kInstall, "Count", 9), 9u);
}

TEST_F(RegistryTest, ReadsHandEditedFilesOnEveryCall) {
    ASSERT_TRUE(Registry::writeString("Software\\KORMEL\\QOR_ZH\\", "CWGSK_Dir", "a"));
    // Another process edits the file between our calls.
    QFile f(file_);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(
        "[Software\\KORMEL\\QOR_ZH\\]\n"
        "CWGSK_Dir = b\n"
        "Dec=  17 \n"
        "Hex=DWORD:000000ff\n"
        "Neg=-1\n"
        "Bad=12abc\n"
        "TooLong=dword:123456789\n");
    f.close();
    const QString key = "Software\\KORMEL\\QOR_ZH";
    EXPECT_EQ(Registry::readString(key, "CWGSK_Dir"), "b");
    EXPECT_EQ(Registry::readDword(key, "Dec"), 17u);
    EXPECT_EQ(Registry::readDword(key, "Hex"), 255u);
    EXPECT_EQ(Registry::readDword(key, "Neg"), 0xFFFFFFFFu);
    EXPECT_EQ(Registry::readDword(key, "Bad", 5), 5u);
    EXPECT_EQ(Registry::readDword(key, "TooLong", 5), 5u);
    // Writing goes to the section as the file spells it.
    ASSERT_TRUE(Registry::writeString(key, "CWGSK_Dir", "c"));
    EXPECT_EQ(IniFile(file_).sections().size(), 1);
    EXPECT_EQ(Registry::readString(key, "CWGSK_Dir"), "c");
}

TEST_F(RegistryTest, SubKeysAndDeleteKey) {
    const QString base = "Software\\Vantix\\QX\\V8.610\\AppService";
    ASSERT_TRUE(Registry::writeString(base + "\\Ledger", "CLSID", "1"));
    ASSERT_TRUE(Registry::writeString(base + "\\Ledger\\Options", "x", "1"));
    ASSERT_TRUE(Registry::writeString(base + "\\LEDGER\\More", "x", "1"));
    ASSERT_TRUE(Registry::writeString(base + "\\Audit\\Deep\\Deeper", "x", "1"));
    ASSERT_TRUE(Registry::writeString(base + "Other", "x", "1"));  // shares a prefix only

    EXPECT_EQ(Registry::subKeys(base), (QStringList{"Ledger", "Audit"}));
    EXPECT_EQ(Registry::subKeys(base + "\\ledger"), (QStringList{"Options", "More"}));
    EXPECT_EQ(Registry::subKeys("Software"), QStringList{"Vantix"});
    // Keys that only hold other keys exist too.
    EXPECT_TRUE(Registry::keyExists(base + "\\Audit"));
    EXPECT_FALSE(Registry::keyExists(base + "\\Aud"));

    EXPECT_TRUE(Registry::deleteKey(base + "\\LEDGER"));
    EXPECT_FALSE(Registry::keyExists(base + "\\Ledger"));
    EXPECT_FALSE(Registry::keyExists(base + "\\Ledger\\More"));
    EXPECT_EQ(Registry::subKeys(base), QStringList{"Audit"});
    EXPECT_EQ(Registry::readString(base + "Other", "x"), "1");
    EXPECT_FALSE(Registry::deleteKey(base + "\\Ledger"));
    EXPECT_FALSE(Registry::deleteKey(""));
    EXPECT_TRUE(Registry::keyExists(base + "\\Audit\\Deep\\Deeper"));
}

TEST_F(RegistryTest, NewRegistryFolderIsCreated) {
    const QString nested = qortest::freshDir("reg-nested") + "/a/b/registry.ini";
    qputenv("QOR_REGISTRY", QFile::encodeName(nested));
    ASSERT_TRUE(Registry::writeString("K", "v", "1"));
    EXPECT_EQ(Registry::readString("K", "v"), "1");
    EXPECT_TRUE(QFile::exists(nested));
}

// The data directory and path mapping sit beside the registry as the other
// host-system stand-in.
class DataDirTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = qgetenv("QOR_HOME"); }
    void TearDown() override { qputenv("QOR_HOME", saved_); }
    QByteArray saved_;
};

TEST_F(DataDirTest, CreatedOnFirstUse) {
    const QString home = qortest::freshDir("datadir") + "/not/yet";
    qputenv("QOR_HOME", QFile::encodeName(home));
    EXPECT_EQ(dataDir(), home);
    EXPECT_TRUE(QDir(home).exists());
    EXPECT_EQ(dataPath(""), home);
    EXPECT_EQ(dataPath("config\\qorerr.log"), home + "/config/qorerr.log");
    EXPECT_EQ(dataPath("../../escape"), home + "/escape");
}

TEST_F(DataDirTest, NativePathMapsWindowsPaths) {
    const QString home = qortest::freshDir("datadir-map");
    qputenv("QOR_HOME", QFile::encodeName(home));
    EXPECT_EQ(nativePath("C:\\QORTEMP\\a.rep"), home + "/QORTEMP/a.rep");
    EXPECT_EQ(nativePath("d:/x/y.ini"), home + "/x/y.ini");
    EXPECT_EQ(nativePath("\\QORTEMP\\b.rep"), home + "/QORTEMP/b.rep");
    EXPECT_EQ(nativePath("C:\\..\\..\\etc\\passwd"), home + "/etc/passwd");
    EXPECT_EQ(nativePath("..\\x\\y.ini"), "../x/y.ini");
    EXPECT_EQ(nativePath("sub\\.\\a.rep"), "sub/a.rep");
    EXPECT_EQ(nativePath("/usr/share/x"), "/usr/share/x");
    EXPECT_EQ(nativePath(""), "");

    // Folders that exist under another case are found as Windows would.
    QDir().mkpath(home + "/QorTemp/Sub");
    EXPECT_EQ(nativePath("C:\\QORTEMP\\SUB\\new.rep"), home + "/QorTemp/Sub/new.rep");
}

namespace {

struct FileIdentity {
    ino_t ino = 0;
    qint64 mtimeNs = 0;
    bool operator==(const FileIdentity& o) const { return ino == o.ino && mtimeNs == o.mtimeNs; }
};

FileIdentity identityOf(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return {st.st_ino, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace

TEST_F(RegistryTest, OnlyChangesAreWrittenAndEveryCallSeesTheLatestValue) {
    ASSERT_TRUE(Registry::writeString(kInstall, "Path", "a"));
    const FileIdentity first = identityOf(file_);
    // The same value again is no write at all.
    ASSERT_TRUE(Registry::writeString(kInstall, "Path", "a"));
    ASSERT_TRUE(Registry::writeDword(kInstall, "Path2", 5));
    const FileIdentity second = identityOf(file_);
    ASSERT_TRUE(Registry::writeDword(kInstall, "Path2", 5));
    EXPECT_EQ(identityOf(file_), second);
    EXPECT_FALSE(identityOf(file_) == first);

    // A batch is seen at once in this process and written once, at its end.
    {
        Registry::Batch batch;
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(Registry::writeDword(kInstall, "N", quint32(i)));
        EXPECT_EQ(Registry::readDword(kInstall, "N"), 19u);
        EXPECT_EQ(identityOf(file_), second);
        EXPECT_TRUE(batch.finish());
    }
    EXPECT_FALSE(identityOf(file_) == second);
    EXPECT_EQ(IniFile(file_).readString(kInstall, "N"), "dword:00000013");

    // Another program changing the file is seen by the next call.
    {
        IniFile other(file_);
        other.setString(kInstall, "Path", "changed elsewhere");
        ASSERT_TRUE(other.save());
    }
    EXPECT_EQ(Registry::readString(kInstall, "Path"), "changed elsewhere");
    ASSERT_TRUE(Registry::writeString(kInstall, "Path", "a"));
    EXPECT_EQ(IniFile(file_).readString(kInstall, "Path"), "a");
    EXPECT_EQ(Registry::readDword(kInstall, "N"), 19u);
}

// A connection text with its password stored under a common umask: the
// file is the owner's alone, also when it was readable by all before.
TEST_F(RegistryTest, TheFileIsOwnerOnlyWhateverTheUmaskAndItsModeBefore) {
    const mode_t oldMask = ::umask(022);
    QFile before(file_);
    ASSERT_TRUE(before.open(QIODevice::WriteOnly));
    before.write("[Software\\Old]\nx=1\n");
    before.close();
    ::chmod(QFile::encodeName(file_).constData(), 0644);
    const bool written = Registry::writeString(
        "Software\\Vantix\\QX\\V8.610\\DataSource", "Connect",
        "Driver={PostgreSQL};Server=db;UID=fin;PWD=s3cret");
    ::umask(oldMask);
    ASSERT_TRUE(written);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(file_).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode_t(0600));
    EXPECT_EQ(Registry::readString("Software\\Old", "x"), "1");
}

#include "engine/errorlog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include "platform/uiservices.h"
#include "tests/common/testsupport.h"

namespace {

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Independent reading of the file: BOM, then UTF-16LE code units.
QString decode(const QByteArray& bytes) {
    EXPECT_TRUE(bytes.startsWith(QByteArray("\xFF\xFE", 2)));
    EXPECT_EQ(bytes.size() % 2, 0);
    QString s;
    for (qsizetype i = 2; i + 1 < bytes.size(); i += 2) {
        s.append(QChar(qFromLittleEndian<quint16>(bytes.constData() + i)));
    }
    return s;
}

int headerCount(const QString& text) {
    static const QRegularExpression header(
        "^---------- \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d ----------\\r$",
        QRegularExpression::MultilineOption);
    return int(text.count(header));
}

class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        path = dir + "/qorerr.log";
        SetErrorLogPath(path);
    }
    void TearDown() override { SetErrorLogPath(QString()); }
    QString dir;
    QString path;
};

class AnswerYesNo {
public:
    explicit AnswerYesNo(bool yes) {
        qor::UiServices s;
        s.messageBox = [this, yes](const qor::MessageRequest&) {
            ++asked;
            return yes ? qor::MsgAnswer::Yes : qor::MsgAnswer::No;
        };
        previous_ = qor::installUiServices(s);
    }
    ~AnswerYesNo() { qor::installUiServices(previous_); }
    int asked = 0;

private:
    qor::UiServices previous_;
};

}  // namespace

TEST_F(ErrorLogTest, Utf16WithBomAndOneHeaderPerSession) {
    EXPECT_EQ(ErrorLogPath(), path);
    ASSERT_TRUE(WriteErrorLog(QStringLiteral("公式错误：A1=B1+")));
    ASSERT_TRUE(WriteErrorLog("second\n"));
    QString text = decode(readBytes(path));
    EXPECT_EQ(headerCount(text), 1);
    EXPECT_TRUE(text.endsWith(QStringLiteral("公式错误：A1=B1+\r\nsecond\n")));
    EXPECT_EQ(ReadErrorLogText(), text);

    ResetErrorLogSession();
    ASSERT_TRUE(WriteErrorLog("third"));
    text = decode(readBytes(path));
    EXPECT_EQ(headerCount(text), 2);
    EXPECT_TRUE(text.endsWith("third\r\n"));
}

// The log holds failed statements with the texts of cells: others may
// not read it, whatever the umask, and a log an older run left open to
// them is closed by the next entry.
TEST_F(ErrorLogTest, OnlyItsUserReadsTheLog) {
    const mode_t previous = ::umask(022);
    const auto modeOf = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_mode & 07777;
    };
    ASSERT_TRUE(WriteErrorLog("SELECT secret FROM pay WHERE name = 'x'"));
    EXPECT_EQ(modeOf(), mode_t(0600));
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    ASSERT_TRUE(WriteErrorLog("second"));
    EXPECT_EQ(modeOf(), mode_t(0600));
    EXPECT_TRUE(decode(readBytes(path)).contains("second"));
    ::umask(previous);
}

TEST_F(ErrorLogTest, ClearDeletesAndRearmsTheHeader) {
    ASSERT_TRUE(WriteErrorLog("one"));
    ASSERT_TRUE(ClearErrorLog());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(ReadErrorLogText(), "");
    EXPECT_TRUE(ClearErrorLog());  // nothing to delete is fine
    ASSERT_TRUE(WriteErrorLog("two"));
    const QString text = decode(readBytes(path));
    EXPECT_EQ(headerCount(text), 1);
    EXPECT_FALSE(text.contains("one"));
}

TEST_F(ErrorLogTest, HeadlessRotatesAtTheLimitAndLosesNothing) {
    const QString line = QString(99, QChar(u'日'));  // 202 bytes with CR LF
    int written = 0;
    while (!QFile::exists(path + ".1")) {
        ASSERT_TRUE(WriteErrorLog(line + QString::number(written++)));
        ASSERT_LE(QFileInfo(path).size(), kErrorLogLimit);
        ASSERT_LT(written, 1000);
    }
    const QString old = decode(readBytes(path + ".1"));
    const QString now = decode(readBytes(path));
    EXPECT_LE(readBytes(path + ".1").size(), kErrorLogLimit);
    EXPECT_GT(readBytes(path + ".1").size(), kErrorLogLimit - 300);
    EXPECT_EQ(headerCount(old), 1);
    EXPECT_EQ(headerCount(now), 1);  // a new file starts with its header
    for (int i = 0; i < written; ++i) {
        const QString entry = line + QString::number(i) + "\r\n";
        EXPECT_EQ(old.count(entry) + now.count(entry), 1) << i;
    }
}

TEST_F(ErrorLogTest, YesClearsWhenTheLimitWouldPass) {
    AnswerYesNo yes(true);
    const QString big(20000, QChar(u'x'));  // 40,002 bytes per entry
    ASSERT_TRUE(WriteErrorLog(big));
    EXPECT_EQ(yes.asked, 0);
    ASSERT_TRUE(WriteErrorLog("second " + big));
    EXPECT_EQ(yes.asked, 1);
    EXPECT_FALSE(QFile::exists(path + ".1"));
    const QString text = decode(readBytes(path));
    EXPECT_TRUE(text.contains("second"));
    EXPECT_EQ(text.count(big), 1);
}

TEST_F(ErrorLogTest, AnEntryLargerThanTheLimitIsCut) {
    ASSERT_TRUE(WriteErrorLog(QString(40000, QChar(u'z'))));
    const QByteArray bytes = readBytes(path);
    EXPECT_LE(bytes.size(), kErrorLogLimit);
    EXPECT_TRUE(decode(bytes).endsWith("zz\r\n"));
}

TEST_F(ErrorLogTest, DamagedOrForeignFilesDoNotCorruptNewEntries) {
    // A crash left an odd byte at the end.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\xFF\xFEo\0k\0!", 7));
    }
    ASSERT_TRUE(WriteErrorLog("after"));
    EXPECT_TRUE(decode(readBytes(path)).endsWith("after\r\n"));

    // Not one of our logs: moved aside, a new one started.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("plain ascii text\n");
    }
    ASSERT_TRUE(WriteErrorLog("fresh"));
    EXPECT_EQ(readBytes(path + ".1"), "plain ascii text\n");
    const QString text = decode(readBytes(path));
    EXPECT_EQ(headerCount(text), 1);
    EXPECT_TRUE(text.endsWith("fresh\r\n"));
}

TEST_F(ErrorLogTest, DefaultPlaceAndUnwritablePlace) {
    SetErrorLogPath(dir + "/missing/folder/qorerr.log");
    EXPECT_FALSE(WriteErrorLog("x"));
    SetErrorLogPath(QString());
    const QString p = ErrorLogPath();
    EXPECT_TRUE(p.endsWith("/qorerr.log"));
    EXPECT_TRUE(QFileInfo(QFileInfo(p).absolutePath()).isWritable());
    // In the data folder the test main points at its temporary folder,
    // even though the test binary's own folder is writable.
    EXPECT_EQ(p, QDir(qEnvironmentVariable("QOR_HOME")).filePath("qorerr.log"));
    EXPECT_NE(QFileInfo(p).absolutePath(), QCoreApplication::applicationDirPath());
    ASSERT_TRUE(WriteErrorLog("where"));
    EXPECT_TRUE(QFileInfo::exists(p));
    EXPECT_FALSE(QFileInfo::exists(QCoreApplication::applicationDirPath() + "/qorerr.log"));
    QFile::remove(p);
}

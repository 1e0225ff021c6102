// A report with a file password: convert and print take the password from
// the environment (a script cannot answer a prompt), and an export, which
// carries no password, says so.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/reportlayout.h"
#include "platform/bytes.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult runQor(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, {});
}

QString text(const QByteArray& b) { return QString::fromUtf8(b); }

// Sets the file password as the desktop stores it.
void protect(const QString& path, const QString& password) {
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    ASSERT_TRUE(h.IsOpen());
    QByteArray others;
    qor::ByteWriter w(others);
    w.u32(qor::kOthersMagic);
    w.u16(qor::kRecordRevision);
    w.u16(0);
    w.bytes(qor::encodeFilePasswordField(password));
    h.GetReportFile()->SetDocumentStream(QString::fromLatin1(qor::kOthersStreamName), others);
    ASSERT_EQ(h.Save(), 0);
}

struct PasswordVariable {
    explicit PasswordVariable(const QByteArray& value) { qputenv("QOR_FILE_PASSWORD", value); }
    ~PasswordVariable() { qunsetenv("QOR_FILE_PASSWORD"); }
};

}  // namespace

TEST(QorPasswords, ConvertAndPrintTakeTheFilePasswordFromTheEnvironment) {
    const QString dir = qortest::freshDir("qor-file-password");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(runQor({"new", report, "--rows", "4", "--cols", "3", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(runQor({"set", report, "1", "1", "1", "12"}).exitCode, 0);
    protect(report, "secret");

    // No password given: told where to give it, nothing written.
    const auto bare = runQor({"convert", report, dir + "/a.csv"});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_TRUE(text(bare.err).contains("QOR_FILE_PASSWORD")) << bare.err.constData();
    EXPECT_FALSE(QFile::exists(dir + "/a.csv"));
    {
        // A wrong one is refused once, not asked for forever.
        PasswordVariable wrong("guess");
        const auto refused = runQor({"print", report, "--pdf", dir + "/a.pdf"});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(text(refused.err).contains(QStringLiteral("口令不正确"))) << refused.err.constData();
        EXPECT_FALSE(QFile::exists(dir + "/a.pdf"));
    }
    PasswordVariable right("secret");
    const auto printed = runQor({"print", report, "--pdf", dir + "/b.pdf"});
    EXPECT_EQ(printed.exitCode, 0) << printed.err.constData();
    EXPECT_TRUE(QFile::exists(dir + "/b.pdf"));
    // The export carries no password and says so.
    const auto converted = runQor({"convert", report, dir + "/b.csv"});
    EXPECT_EQ(converted.exitCode, 3) << converted.err.constData();
    EXPECT_TRUE(text(converted.err).contains(QStringLiteral("文件口令")) &&
                text(converted.err).contains(QStringLiteral("没有口令保护")))
        << converted.err.constData();
    const auto xml = runQor({"export-xml", report, dir + "/b.xml"});
    EXPECT_EQ(xml.exitCode, 3) << xml.err.constData();
    EXPECT_TRUE(text(xml.out + xml.err).contains(QStringLiteral("没有口令保护"))) << xml.err.constData();
}

// A script's CONVERT takes the password as the convert verb does, for
// every CONVERT of the report in the run.
TEST(QorPasswords, AScriptsConvertOfAProtectedReportTakesThePasswordFromTheEnvironment) {
    const QString dir = qortest::freshDir("qor-file-password-run");
    const QString report = dir + "/p.rep";
    ASSERT_EQ(runQor({"new", report, "--rows", "4", "--cols", "3", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(runQor({"set", report, "1", "1", "1", "12"}).exitCode, 0);
    protect(report, "secret");
    qortest::writeFile(dir + "/c.shl",
                       QStringLiteral("CONVERT \"%1\" TO \"%2/r.xlsx\"\nCONVERT \"%1\" TO \"%2/s.xlsx\"\n")
                           .arg(report, dir)
                           .toUtf8());
    const auto bare = runQor({"run", dir + "/c.shl"});
    EXPECT_EQ(bare.exitCode, 1);
    EXPECT_TRUE(text(bare.err).contains("QOR_FILE_PASSWORD")) << bare.err.constData();
    EXPECT_FALSE(QFile::exists(dir + "/r.xlsx"));
    {
        PasswordVariable wrong("guess");
        const auto refused = runQor({"run", dir + "/c.shl"});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(text(refused.err).contains(QStringLiteral("口令不正确"))) << refused.err.constData();
        EXPECT_FALSE(QFile::exists(dir + "/r.xlsx"));
    }
    PasswordVariable right("SECRET");  // letter case ignored, as the desktop does
    const auto converted = runQor({"run", dir + "/c.shl"});
    EXPECT_NE(converted.exitCode, 1) << converted.err.constData();
    EXPECT_TRUE(QFile::exists(dir + "/r.xlsx"));
    EXPECT_TRUE(QFile::exists(dir + "/s.xlsx"));
}

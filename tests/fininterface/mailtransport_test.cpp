// The mail transport library loaded by name as the desktop loads it: round
// trips through each folder method, what another mail reader finds in the
// written messages, and the failures that must lose nothing.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include "platform/registry.h"
#include "tests/common/testsupport.h"
#include "tests/fininterface/mailtransport_support.h"

namespace {

using qortest::kMailKey;
using qortest::randomBytes;
using qortest::Transport;
using qortest::writeFile;

class MailTransport : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        qor::Registry::writeString(kMailKey, "DiskFolder", dir + "/disk");
        qor::Registry::writeString(kMailKey, "Inbox", dir + "/inbox");
        qor::Registry::writeString(kMailKey, "PostOffice", dir + "/po");
        qor::Registry::writeString(kMailKey, "Mailbox", "beijing");
        QDir().mkpath(dir + "/out");
        QDir().mkpath(dir + "/inbox");
    }
    QString dir;
};

TEST_F(MailTransport, FolderMethodsCarryFilesByteForByte) {
    Transport t;
    const QString a = dir + QStringLiteral("/out/资产负债表.rep");
    const QString b = dir + QStringLiteral("/out/big.rep");
    writeFile(a, QByteArray("report\0bytes\r\n", 14));
    writeFile(b, randomBytes(50 * 1024 * 1024));

    // Disk file: no address.
    ASSERT_EQ(t.send(4, QString(), {a, b}), 0) << t.lastError().toStdString();
    int n = 0;
    auto got = t.receiveAll(t.AcceptFile, &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(got.value(QStringLiteral("资产负债表.rep")), qortest::fileBytes(a));
    EXPECT_TRUE(got.value(QStringLiteral("big.rep")) == qortest::fileBytes(b));
    // Seen now: not counted again, and still there.
    EXPECT_TRUE(t.receiveAll(t.AcceptFile, &n).isEmpty());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(QDir(dir + "/disk/cur").entryList(QDir::Files).size(), 1);

    // Point to point into this side's inbox; post office into a mailbox.
    ASSERT_EQ(t.send(1, dir + "/inbox", {a}), 0) << t.lastError().toStdString();
    EXPECT_EQ(t.receiveAll(t.AcceptMode).value(QStringLiteral("资产负债表.rep")),
              qortest::fileBytes(a));
    ASSERT_EQ(t.send(2, "beijing", {a}), 0) << t.lastError().toStdString();
    EXPECT_EQ(t.receiveAll(t.AcceptPost).value(QStringLiteral("资产负债表.rep")),
              qortest::fileBytes(a));

    // Another user code's messages are not ours.
    ASSERT_EQ(t.send(4, QString(), {a}, QStringLiteral("cwfx")), 0);
    EXPECT_TRUE(t.receiveAll(t.AcceptFile).isEmpty());
}

TEST_F(MailTransport, AnotherMailReaderFindsEachFile) {
    if (!qortest::needPythonModule("mailbox")) GTEST_SKIP() << "python3 mailbox missing";
    Transport t;
    const QString a = dir + QStringLiteral("/out/利润表.rep");
    writeFile(a, randomBytes(300000));
    ASSERT_EQ(t.send(4, QString(), {a}), 0);
    const qortest::ProcessResult r = qortest::python(
        "import mailbox, sys, hashlib\n"
        "for m in mailbox.Maildir(sys.argv[1], factory=None):\n"
        "    print(m['X-Qor-User'])\n"
        "    for p in m.walk():\n"
        "        if p.get_filename():\n"
        "            print(p.get_filename(), "
        "hashlib.sha256(p.get_payload(decode=True)).hexdigest())\n",
        {dir + "/disk"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString want =
        QStringLiteral("DZBB\n利润表.rep %1\n")
            .arg(QString::fromLatin1(
                QCryptographicHash::hash(qortest::fileBytes(a), QCryptographicHash::Sha256)
                    .toHex()));
    EXPECT_EQ(QString::fromUtf8(r.out), want);
}

TEST_F(MailTransport, HostileAndDamagedMessagesLoseNothing) {
    Transport t;
    // A name from outside never leaves the private folder; a damaged body
    // fails that file alone; a part without a name is left out.
    const QString msg =
        "X-Qor-User: DZBB\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
        "--b\nContent-Disposition: attachment; filename=\"..\\\\..\\\\x.rep\"\n\naGVsbG8=\n"
        "--b\nContent-Disposition: attachment; filename=\"/etc/passwd\"\n\naGk=\n"
        "--b\nContent-Disposition: attachment; filename=\"..\"\n\naGk=\n"
        "--b\nContent-Type: text/plain\n\nno name\n"
        "--b\nContent-Disposition: attachment; filename=\"bad.rep\"\n\n@@@@\n"
        "--b--\n";
    QDir().mkpath(dir + "/disk/new");
    writeFile(dir + "/disk/new/1.hostile", msg.toUtf8());
    t.IniAccept();
    t.SetUser(Transport::u(QStringLiteral("DZBB")));
    ASSERT_EQ(t.AcceptFile(), 3);
    const QString x = t.accept(1);
    EXPECT_EQ(QFileInfo(x).fileName(), "x.rep");
    EXPECT_EQ(qortest::fileBytes(x), "hello");
    EXPECT_EQ(QFileInfo(t.accept(2)).fileName(), "passwd");
    EXPECT_TRUE(t.accept(3).isEmpty());
    EXPECT_TRUE(t.lastError().contains(QStringLiteral("损坏")));
    t.CloseAccept();
    // Not every file was handed out: the message stays unseen.
    EXPECT_TRUE(QFile::exists(dir + "/disk/new/1.hostile"));

    // A name another mailer split into RFC 2231 continuations.
    QDir().mkpath(dir + "/inbox/new");
    writeFile(dir + "/inbox/new/2.split",
              "X-Qor-User: DZBB\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
              "Content-Disposition: attachment;\n filename*0*=UTF-8''%E8%B5%84%E4%BA%A7;\n"
              " filename*1*=%E8%A1%A8.rep\n\naGk=\n--b--\n");
    EXPECT_EQ(t.receiveAll(t.AcceptMode).value(QStringLiteral("资产表.rep")), "hi");

    // Unreachable or refused addresses fail with a reason and write nothing.
    const QString a = dir + "/out/a.rep";
    writeFile(a, "a");
    EXPECT_EQ(t.send(1, dir + "/nowhere", {a}), -1);
    EXPECT_FALSE(t.lastError().isEmpty());
    EXPECT_FALSE(QFile::exists(dir + "/nowhere"));
    EXPECT_EQ(t.send(2, "../escape", {a}), -1);
    EXPECT_FALSE(QFile::exists(dir + "/escape"));
    // The library's reasons are the string table's words, read inside the
    // loaded library.
    EXPECT_EQ(t.lastError(), u"信箱名只能由字母、数字和 . _ - 组成");
    EXPECT_EQ(t.send(9, "x", {a}), -1);
    EXPECT_EQ(t.lastError(), u"未知的传输方式 9");
    EXPECT_EQ(t.send(4, QString(), {dir + "/out/missing.rep"}), -1);
    EXPECT_TRUE(t.lastError().contains("missing.rep"));
    EXPECT_TRUE(QDir(dir + "/disk/tmp").entryList(QDir::Files).isEmpty());
}

// A line break in a user code, an address or a file name would add
// headers of its own to the message: refused before anything is written.
TEST_F(MailTransport, HeaderValuesCannotAddHeaders) {
    Transport t;
    const QString a = dir + "/out/a.rep";
    writeFile(a, "a");
    for (const QString& user : {QStringLiteral("DZBB\r\nBcc: spy@example.org"),
                                QStringLiteral("DZBB\nX-Qor-User: cwfx"), QString(QStringLiteral("DZ") + QChar(1) + QStringLiteral("BB")),
                                QStringLiteral("DZBB\u2028x")}) {
        EXPECT_EQ(t.send(4, QString(), {a}, user), -1);
        EXPECT_TRUE(t.lastError().contains(QStringLiteral("控制字符"))) << t.lastError().toStdString();
    }
    const QString crlf = dir + "/out/b\r\nBcc: x.rep";
    writeFile(crlf, "b");
    EXPECT_EQ(t.send(4, QString(), {a, crlf}), -1);
    EXPECT_TRUE(t.lastError().contains("b?"));
    EXPECT_EQ(t.send(3, "x@example.org\r\nBcc: y@example.org", {a}), -1);
    // Nothing was written anywhere.
    EXPECT_TRUE(QDir(dir + "/disk/new").entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(QDir(dir + "/disk/tmp").entryList(QDir::Files).isEmpty());
    ASSERT_EQ(t.send(4, QString(), {a}), 0) << t.lastError().toStdString();
}

// A received name cannot disguise its kind with bidi overrides, isolates
// or zero widths: they are taken out; a name of nothing else is refused.
TEST_F(MailTransport, ReceivedNamesLoseHiddenCharacters) {
    Transport t;
    const QString msg = QStringLiteral(
        "X-Qor-User: DZBB\nContent-Type: multipart/mixed; boundary=\"b\"\n\n"
        "--b\nContent-Disposition: attachment; filename*=UTF-8''report%E2%80%AEslx.exe\n\naGk=\n"
        "--b\nContent-Disposition: attachment; filename*=UTF-8''a%E2%81%A7b%E2%80%8B.rep%09\n\naGk=\n"
        "--b\nContent-Disposition: attachment; filename*=UTF-8''%E2%80%AE%E2%80%8F\n\naGk=\n"
        "--b\nContent-Disposition: attachment; filename*=UTF-8''%E2%80%AE..\n\naGk=\n"
        "--b--\n");
    QDir().mkpath(dir + "/disk/new");
    writeFile(dir + "/disk/new/1.bidi", msg.toUtf8());
    int n = 0;
    const auto got = t.receiveAll(t.AcceptFile, &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(got.keys(), (QStringList{"ab.rep", "reportslx.exe"}));
}

}  // namespace

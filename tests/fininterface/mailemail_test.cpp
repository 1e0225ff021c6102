// The e-mail method of the mail transport against servers on this computer:
// aiosmtpd delivering into a Maildir and an IMAP stand-in serving it. Both
// are started on free local ports, bounded in time and stopped by the test.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include "vtmail8/mailtls.h"
#include "platform/registry.h"
#include "tests/common/testsupport.h"
#include "tests/fininterface/mailtransport_support.h"

namespace {

using qortest::kMailKey;
using qortest::Transport;

const QString kPassword = QStringLiteral("s3cret-口令");

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

bool accepting(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(quint16(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

// aiosmtpd and the IMAP stand-in over one Maildir.
struct MailServers {
    QProcess smtp, imap;
    int smtpPort = 0, imapPort = 0;

    QString start(const QString& maildir) {
        imap.start(QStringLiteral(QOR_TEST_PYTHON),
                   {QStringLiteral(QOR_TEST_SOURCE_DIR) + "/tests/fininterface/imap_standin.py",
                    maildir, "--user", "qoruser", "--password", kPassword, "--limit", "120"});
        if (!imap.waitForReadyRead(10000)) return "the IMAP stand-in did not start";
        imapPort = imap.readLine().trimmed().toInt();
        // The free port may be taken before aiosmtpd binds it: then again.
        QString why;
        for (int attempt = 0; attempt < 3; ++attempt) {
            smtpPort = freePort();
            // Each server also ends by itself, should this test die first.
            smtp.start(QStringLiteral("timeout"),
                       {"120", QStringLiteral(QOR_TEST_PYTHON), "-m", "aiosmtpd", "-n", "-l",
                        QStringLiteral("127.0.0.1:%1").arg(smtpPort), "-c",
                        "aiosmtpd.handlers.Mailbox", maildir});
            const QDeadlineTimer deadline(10000);
            while (!accepting(smtpPort) && smtp.state() != QProcess::NotRunning &&
                   !deadline.hasExpired())
                QThread::msleep(50);
            if (smtp.state() != QProcess::NotRunning && accepting(smtpPort)) return {};
            why = "aiosmtpd did not start: " + QString::fromUtf8(smtp.readAllStandardError());
            smtp.kill();
            smtp.waitForFinished(5000);
        }
        return why;
    }
    ~MailServers() {
        for (QProcess* p : {&smtp, &imap}) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
};

class MailByEmail : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qortest::needPythonModule("aiosmtpd")) GTEST_SKIP() << "python3-aiosmtpd missing";
        if (!qortest::needProgram("timeout")) GTEST_SKIP() << "timeout missing";
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        maildir = dir + "/server";
        const QString why = servers.start(maildir);
        ASSERT_TRUE(why.isEmpty()) << why.toStdString();
        setServers(servers.smtpPort, servers.imapPort, kPassword);
        QDir().mkpath(dir + "/out");
    }
    static void setServers(int smtp, int imap, const QString& password) {
        qor::Registry::writeString(kMailKey, "SmtpServer",
                                   QStringLiteral("smtp://127.0.0.1:%1").arg(smtp));
        qor::Registry::writeString(kMailKey, "ImapServer",
                                   QStringLiteral("imap://127.0.0.1:%1/INBOX").arg(imap));
        qor::Registry::writeString(kMailKey, "MailUser", "qoruser");
        qor::Registry::writeString(kMailKey, "MailPassword", password);
        qor::Registry::writeString(kMailKey, "MailFrom", "finance@site-a.example");
    }
    // Messages the server holds, and how many of them are seen.
    int messages(int* seen = nullptr) const {
        int all = QDir(maildir + "/new").entryList(QDir::Files).size();
        int s = 0;
        for (const QString& n : QDir(maildir + "/cur").entryList(QDir::Files)) {
            ++all;
            if (n.section(":2,", 1).contains('S')) ++s;
        }
        if (seen) *seen = s;
        return all;
    }
    QString file(const QString& name, const QByteArray& bytes) {
        const QString path = dir + "/out/" + name;
        qortest::writeFile(path, bytes);
        return path;
    }
    MailServers servers;
    QString dir, maildir;
};

TEST_F(MailByEmail, SentFilesComeBackByteForByteAndAreSeenOnlyWhenAllArrived) {
    Transport t;
    const QString a = file(QStringLiteral("现金流量表.rep"), qortest::randomBytes(3 * 1024 * 1024));
    const QString b = file(QStringLiteral("lines.txt"), QByteArray(".\r\n.\n\r\n..x\nFrom me\n"));
    ASSERT_EQ(t.send(3, "site-b@example.org", {a, b}), 0) << t.lastError().toStdString();
    // Another application's message in the same mailbox.
    ASSERT_EQ(t.send(3, "site-b@example.org", {b}, "cwfx"), 0) << t.lastError().toStdString();
    ASSERT_EQ(messages(), 2);

    // Counting fetches, which a server takes as reading: nothing is seen
    // until the files were handed out, and an unfinished receive leaves
    // the message unseen.
    t.IniAccept();
    t.SetUser(Transport::u(QStringLiteral("DZBB")));
    ASSERT_EQ(t.AcceptMail(), 2) << t.lastError().toStdString();
    int seen = -1;
    messages(&seen);
    EXPECT_EQ(seen, 0);
    EXPECT_FALSE(t.accept(1).isEmpty());
    t.CloseAccept();
    messages(&seen);
    EXPECT_EQ(seen, 0);

    int n = 0;
    const auto got = t.receiveAll(t.AcceptMail, &n);
    EXPECT_EQ(n, 2);
    EXPECT_TRUE(got.value(QStringLiteral("现金流量表.rep")) == qortest::fileBytes(a));
    EXPECT_EQ(got.value("lines.txt"), qortest::fileBytes(b));
    messages(&seen);
    EXPECT_EQ(seen, 1);  // the other application's message stays unseen
    EXPECT_TRUE(t.receiveAll(t.AcceptMail, &n).isEmpty());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(t.receiveAll(t.AcceptMail, &n, "cwfx").value("lines.txt"), qortest::fileBytes(b));
    EXPECT_EQ(messages(), 2);  // nothing deleted
}

TEST_F(MailByEmail, FailuresGiveAReasonWithoutThePassword) {
    Transport t;
    const QString a = file("a.rep", "a");
    auto noPassword = [&](const QString& why) {
        EXPECT_FALSE(why.isEmpty());
        EXPECT_FALSE(why.contains(kPassword)) << why.toStdString();
    };
    // An address that would carry a second SMTP command, or none at all.
    EXPECT_EQ(t.send(3, "x@y.example>\r\nRCPT TO:<z@w.example", {a}), -1);
    noPassword(t.lastError());
    EXPECT_EQ(t.send(3, QString(), {a}), -1);
    noPassword(t.lastError());

    // A wrong password: refused, nothing counted, nothing touched.
    ASSERT_EQ(t.send(3, "b@example.org", {a}), 0) << t.lastError().toStdString();
    setServers(servers.smtpPort, servers.imapPort, "wrong");
    t.IniAccept();
    t.SetUser(Transport::u(QStringLiteral("DZBB")));
    EXPECT_EQ(t.AcceptMail(), -1);
    noPassword(t.lastError());
    int seen = -1;
    EXPECT_EQ(messages(&seen), 1);
    EXPECT_EQ(seen, 0);

    // Servers nobody answers at.
    const int closed = freePort();
    setServers(closed, closed, kPassword);
    EXPECT_EQ(t.send(3, "b@example.org", {a}), -1);
    noPassword(t.lastError());
    EXPECT_TRUE(t.lastError().contains(QStringLiteral("127.0.0.1:%1").arg(closed)));
    EXPECT_EQ(t.AcceptMail(), -1);
    noPassword(t.lastError());

    // Not set up at all.
    qor::Registry::writeString(kMailKey, "SmtpServer", "");
    qor::Registry::writeString(kMailKey, "ImapServer", "http://127.0.0.1/");
    EXPECT_EQ(t.send(3, "b@example.org", {a}), -1);
    EXPECT_TRUE(t.lastError().contains("smtp://"));
    EXPECT_EQ(t.AcceptMail(), -1);
    EXPECT_TRUE(t.lastError().contains("imap://"));
}

// A password goes unencrypted only to this computer or when the user
// allowed it; smtps:// and imaps:// are encrypted from the start.
TEST(MailSettings, APasswordNeedsTlsToReachAnotherComputer) {
    using vtmail::PasswordNeedsTls;
    for (const char* far : {"smtp://mail.example.org:25", "imap://192.0.2.7/INBOX",
                            "smtp://[2001:db8::1]:587", "smtp://127.0.0.1.example.org",
                            "imap://localhost.example.org"}) {
        EXPECT_TRUE(PasswordNeedsTls(far, true, false)) << far;
        EXPECT_FALSE(PasswordNeedsTls(far, true, true)) << far;
        EXPECT_FALSE(PasswordNeedsTls(far, false, false)) << far;
    }
    for (const char* near : {"smtp://127.0.0.1:2525", "imap://127.1.2.3/INBOX", "smtp://[::1]:25",
                             "imap://localhost:143", "smtp://LOCALHOST"})
        EXPECT_FALSE(PasswordNeedsTls(near, true, false)) << near;
}

TEST(MailSettings, KeepThePasswordOutOfSightAndTheFilePrivate) {
    Transport t;
    auto setup = reinterpret_cast<void (*)()>(t.lib.resolve("Setup"));
    ASSERT_NE(setup, nullptr);
    bool shownEmpty = false;
    bool shownUnticked = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != "vtmailSetup") continue;
            auto* password = w->findChild<QLineEdit*>("MailPassword");
            shownEmpty = password->text().isEmpty() && password->echoMode() == QLineEdit::Password;
            password->setText("new-口令");
            auto* unencrypted = w->findChild<QCheckBox*>("AllowUnencrypted");
            shownUnticked = unencrypted && !unencrypted->isChecked();
            if (unencrypted) unencrypted->setChecked(true);
            w->findChild<QLineEdit*>("MailFrom")->setText("ledger@site-a.example");
            w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        }
    });
    setup();
    EXPECT_TRUE(shownEmpty);
    EXPECT_TRUE(shownUnticked);
    EXPECT_EQ(qor::Registry::readString(kMailKey, "AllowUnencrypted"), "1");
    EXPECT_EQ(qor::Registry::readString(kMailKey, "MailPassword"), QStringLiteral("new-口令"));
    EXPECT_EQ(qor::Registry::readString(kMailKey, "MailFrom"), "ledger@site-a.example");
    EXPECT_EQ(QFile::permissions(qor::Registry::filePath()) &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
}

// The settings show a folder's whole path: a deep exchange folder is not
// cut off at the edit's edge.
TEST(MailSettings, FolderFieldsAreWideEnoughForTheirPaths) {
    const QString deep = QStringLiteral("/home/clerk/财务报表/2026年度/总公司/汇总交换/磁盘文件交换目录");
    qor::Registry::writeString(kMailKey, "DiskFolder", deep);
    Transport t;
    auto setup = reinterpret_cast<void (*)()>(t.lib.resolve("Setup"));
    ASSERT_NE(setup, nullptr);
    int shownWidth = -1, needed = 0;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() != "vtmailSetup") continue;
            QApplication::processEvents();
            auto* folder = w->findChild<QLineEdit*>("DiskFolder");
            shownWidth = folder->width();
            needed = folder->fontMetrics().horizontalAdvance(folder->text());
            w->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        }
    });
    setup();
    EXPECT_GT(needed, 0);
    EXPECT_GE(shownWidth, needed + 8);
}

}  // namespace

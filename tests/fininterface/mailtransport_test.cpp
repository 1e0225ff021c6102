// The mail transport library loaded by name as the desktop loads it: round
// trips through each folder method, what another mail reader finds in the
// written messages, and the failures that must lose nothing.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLibrary>
#include <QRandomGenerator>

#include "platform/registry.h"
#include "tests/common/testsupport.h"

namespace {

const QString kKey = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail");

struct Transport {
    QLibrary lib{QStringLiteral(QOR_VTMAIL8_PATH)};
    void (*IniSend)() = nullptr;
    void (*SetUser)(const char16_t*) = nullptr;
    void (*AddFile)(const char16_t*) = nullptr;
    int32_t (*SendFile)(int32_t, const char16_t*) = nullptr;
    void (*CloseSend)() = nullptr;
    void (*IniAccept)() = nullptr;
    int32_t (*AcceptMode)() = nullptr;
    int32_t (*AcceptPost)() = nullptr;
    int32_t (*AcceptFile)() = nullptr;
    int32_t (*Accept)(int32_t, char16_t*, int32_t) = nullptr;
    void (*CloseAccept)() = nullptr;
    int32_t (*MailLastError)(char16_t*, int32_t) = nullptr;

    Transport() {
        EXPECT_TRUE(lib.load()) << lib.errorString().toStdString();
        resolve(IniSend, "IniSend");
        resolve(SetUser, "SetUser");
        resolve(AddFile, "AddFile");
        resolve(SendFile, "SendFile");
        resolve(CloseSend, "CloseSend");
        resolve(IniAccept, "IniAccept");
        resolve(AcceptMode, "AcceptMode");
        resolve(AcceptPost, "AcceptPost");
        resolve(AcceptFile, "AcceptFile");
        resolve(Accept, "Accept");
        resolve(CloseAccept, "CloseAccept");
        resolve(MailLastError, "MailLastError");
    }
    template <class F>
    void resolve(F& f, const char* name) {
        f = reinterpret_cast<F>(lib.resolve(name));
        ASSERT_NE(f, nullptr) << name;
    }
    static const char16_t* u(const QString& s) {
        return reinterpret_cast<const char16_t*>(s.utf16());
    }

    int32_t send(int method, const QString& address, const QStringList& files,
                 const QString& user = QStringLiteral("DZBB")) {
        IniSend();
        SetUser(u(user));
        for (const QString& f : files) AddFile(u(f));
        const int32_t rc = SendFile(method, u(address));
        CloseSend();
        return rc;
    }
    QString lastError() {
        const int32_t n = MailLastError(nullptr, 0);
        std::vector<char16_t> buf(size_t(n) + 1);
        MailLastError(buf.data(), n + 1);
        return QString::fromUtf16(buf.data());
    }
    // The path of file i; asks with a small buffer first.
    QString accept(int i) {
        char16_t small[8];
        const int32_t n = Accept(i, small, 8);
        if (n < 0) return QString();
        std::vector<char16_t> buf(size_t(n) + 1);
        EXPECT_EQ(Accept(i, buf.data(), n + 1), n);
        return QString::fromUtf16(buf.data());
    }
};

QByteArray randomBytes(qint64 size) {
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator gen(42);
    gen.fillRange(reinterpret_cast<quint32*>(b.data()), size / 4);
    return b;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

class MailTransport : public ::testing::Test {
protected:
    void SetUp() override {
        dir = qortest::freshDir(
            QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        qor::Registry::writeString(kKey, "DiskFolder", dir + "/disk");
        qor::Registry::writeString(kKey, "Inbox", dir + "/inbox");
        qor::Registry::writeString(kKey, "PostOffice", dir + "/po");
        qor::Registry::writeString(kKey, "Mailbox", "beijing");
        QDir().mkpath(dir + "/out");
        QDir().mkpath(dir + "/inbox");
    }
    // Receives everything counted into a map name -> bytes.
    QMap<QString, QByteArray> receiveAll(int32_t (*count)(), Transport& t, int* n = nullptr) {
        QMap<QString, QByteArray> got;
        t.IniAccept();
        t.SetUser(Transport::u(QStringLiteral("DZBB")));
        const int32_t c = count();
        if (n) *n = c;
        for (int i = 1; i <= c; ++i) {
            const QString path = t.accept(i);
            EXPECT_FALSE(path.isEmpty()) << t.lastError().toStdString();
            got.insert(QFileInfo(path).fileName(), qortest::fileBytes(path));
        }
        t.CloseAccept();
        return got;
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
    auto got = receiveAll(t.AcceptFile, t, &n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(got.value(QStringLiteral("资产负债表.rep")), qortest::fileBytes(a));
    EXPECT_TRUE(got.value(QStringLiteral("big.rep")) == qortest::fileBytes(b));
    // Seen now: not counted again, and still there.
    EXPECT_TRUE(receiveAll(t.AcceptFile, t, &n).isEmpty());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(QDir(dir + "/disk/cur").entryList(QDir::Files).size(), 1);

    // Point to point into this side's inbox; post office into a mailbox.
    ASSERT_EQ(t.send(1, dir + "/inbox", {a}), 0) << t.lastError().toStdString();
    EXPECT_EQ(receiveAll(t.AcceptMode, t).value(QStringLiteral("资产负债表.rep")), qortest::fileBytes(a));
    ASSERT_EQ(t.send(2, "beijing", {a}), 0) << t.lastError().toStdString();
    EXPECT_EQ(receiveAll(t.AcceptPost, t).value(QStringLiteral("资产负债表.rep")), qortest::fileBytes(a));

    // Another user code's messages are not ours.
    ASSERT_EQ(t.send(4, QString(), {a}, QStringLiteral("cwfx")), 0);
    EXPECT_TRUE(receiveAll(t.AcceptFile, t).isEmpty());
}

TEST_F(MailTransport, AnotherMailReaderFindsEachFile) {
    if (!qortest::havePythonModule("mailbox")) GTEST_SKIP() << "python3 mailbox missing";
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
                QCryptographicHash::hash(qortest::fileBytes(a), QCryptographicHash::Sha256).toHex()));
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

    // Unreachable or refused addresses fail with a reason and write nothing.
    const QString a = dir + "/out/a.rep";
    writeFile(a, "a");
    EXPECT_EQ(t.send(1, dir + "/nowhere", {a}), -1);
    EXPECT_FALSE(t.lastError().isEmpty());
    EXPECT_FALSE(QFile::exists(dir + "/nowhere"));
    EXPECT_EQ(t.send(2, "../escape", {a}), -1);
    EXPECT_FALSE(QFile::exists(dir + "/escape"));
    EXPECT_EQ(t.send(4, QString(), {dir + "/out/missing.rep"}), -1);
    EXPECT_TRUE(t.lastError().contains("missing.rep"));
    EXPECT_TRUE(QDir(dir + "/disk/tmp").entryList(QDir::Files).isEmpty());
}

}  // namespace

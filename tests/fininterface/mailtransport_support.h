#pragma once
// The mail transport library loaded by name, as the desktop loads it, for
// the transport's tests.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QMap>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <vector>

#include "tests/common/testsupport.h"

namespace qortest {

inline const QString kMailKey = QStringLiteral("Software\\Vantix\\QX\\V8.610\\Mail");

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
    int32_t (*AcceptMail)() = nullptr;
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
        resolve(AcceptMail, "AcceptMail");
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
    // Receives everything counted into a map name -> bytes.
    QMap<QString, QByteArray> receiveAll(int32_t (*count)(), int* n = nullptr,
                                         const QString& user = QStringLiteral("DZBB")) {
        QMap<QString, QByteArray> got;
        IniAccept();
        SetUser(u(user));
        const int32_t c = count();
        if (n) *n = c;
        for (int i = 1; i <= c; ++i) {
            const QString path = accept(i);
            EXPECT_FALSE(path.isEmpty()) << lastError().toStdString();
            got.insert(QFileInfo(path).fileName(), fileBytes(path));
        }
        CloseAccept();
        return got;
    }
};

inline QByteArray randomBytes(qint64 size) {
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator gen(42);
    gen.fillRange(reinterpret_cast<quint32*>(b.data()), size / 4);
    return b;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

}  // namespace qortest

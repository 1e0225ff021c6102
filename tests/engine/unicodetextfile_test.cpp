#include "engine/unicodetextfile.h"

#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {
QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
}  // namespace

TEST(UnicodeTextFileTest, WritesBytesAndUtf16LeTextAsGiven) {
    const QString path = qortest::freshDir("utf") + "/page1.htm";
    CUnicodeTextFile f;
    EXPECT_EQ(f.GetFileName(), "");
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.GetFileName(), path);
    EXPECT_TRUE(f.Write(QByteArray("\xFF\xFE", 2)));
    EXPECT_TRUE(f.WriteString(QStringLiteral("<td>中</td>")));
    EXPECT_TRUE(f.WriteString(QString()));
    EXPECT_TRUE(f.WriteString(QStringLiteral("\U0001F600")));
    EXPECT_TRUE(f.Close());
    const QByteArray expected = QByteArray("\xFF\xFE", 2) +
                                QByteArray("<\0t\0d\0>\0\x2D\x4E<\0/\0t\0d\0>\0", 20) +
                                QByteArray("\x3D\xD8\x00\xDE", 4);
    EXPECT_EQ(readAll(path), expected);
}

TEST(UnicodeTextFileTest, ReplacesTheTargetOnlyWhenClosed) {
    const QString path = qortest::freshDir("utf2") + "/out.htm";
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    {
        CUnicodeTextFile f;
        ASSERT_TRUE(f.Open(path));
        f.WriteString("new");
        EXPECT_EQ(readAll(path), "old");
        f.Abort();
        EXPECT_FALSE(f.IsOpen());
    }
    EXPECT_EQ(readAll(path), "old");
    {
        CUnicodeTextFile f;
        ASSERT_TRUE(f.Open(path));
        f.WriteString("n");
    }  // the destructor closes
    EXPECT_EQ(readAll(path), QByteArray("n\0", 2));

    CUnicodeTextFile bad;
    EXPECT_FALSE(bad.Open(qortest::processTempDir() + "/no/such/dir/x.htm"));
    EXPECT_FALSE(bad.WriteString("x"));
}

// The MAIL word outside the desktop: the command-line host says where
// transfers run instead of calling them not installed.
#include <gtest/gtest.h>

#include <QFile>

#include "tests/common/testsupport.h"

namespace {

TEST(MailCommand, CommandLineHostSendsUsersToTheDesktop) {
    const QString dir = qortest::freshDir(QStringLiteral("mail-command"));
    const QString script = dir + QStringLiteral("/send.shl");
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("MAIL S\n");
    f.close();
    const qortest::ProcessResult r =
        qortest::run(QStringLiteral(QOR_TEST_BINARY_DIR "/apps/qor/qor"), {"run", script});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.out + r.err).contains(QStringLiteral("qorview")))
        << r.out.toStdString() << r.err.toStdString();
}

}  // namespace

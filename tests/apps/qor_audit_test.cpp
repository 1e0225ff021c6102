// qor audit map: the statement list and mapping file the command line
// writes, as the mapping dialog's OK writes them.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QString& dir, const QString& args) {
    const QString script = QStringLiteral("cd '%1'\nexport QOR_HOME='%1/home'\n'%2' %3")
                               .arg(dir, QStringLiteral(QOR_APP_BINARY), args);
    return qortest::run(QStringLiteral("/bin/sh"), {"-c", script});
}

}  // namespace

TEST(QorAudit, MapWritesTheListAndTheMappingAndRefusesBadInput) {
    const QString dir = qortest::freshDir("qor-audit");
    QDir().mkpath(dir + "/home");
    ASSERT_EQ(qor(dir, "new r.rep --rows 10 --cols 2 --pages 1").exitCode, 0);

    auto r = qor(dir, "audit map r.rep 企业利润表");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString config = dir + "/home/qor/config";
    EXPECT_TRUE(QString::fromUtf8(r.out).startsWith(config + "/q_lrb.config"));
    EXPECT_TRUE(QFile::exists(config + "/q_lrb.config"));
    QFile list(config + "/shenjishu.xml");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_TRUE(list.readAll().contains(QDir(dir).filePath("r.rep").toUtf8()));

    EXPECT_EQ(qor(dir, "audit map r.rep 没有这张表").exitCode, 1);
    EXPECT_EQ(qor(dir, "audit map missing.rep 企业利润表").exitCode, 1);
    EXPECT_EQ(qor(dir, "audit r.rep").exitCode, 2);
}

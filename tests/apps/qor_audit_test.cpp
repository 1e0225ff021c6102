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
    const QString config = dir + "/home/config";
    EXPECT_TRUE(QString::fromUtf8(r.out).startsWith(config + "/q_lrb.config"));
    EXPECT_TRUE(QFile::exists(config + "/q_lrb.config"));
    QFile list(config + "/shenjishu.xml");
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_TRUE(list.readAll().contains(QDir(dir).filePath("r.rep").toUtf8()));

    EXPECT_EQ(qor(dir, "audit map r.rep 没有这张表").exitCode, 1);
    EXPECT_EQ(qor(dir, "audit map missing.rep 企业利润表").exitCode, 1);
    EXPECT_EQ(qor(dir, "audit r.rep").exitCode, 2);
}

TEST(QorIndicators, ComputesTheResultLibraryAndTellsFailures) {
    const QString dir = qortest::freshDir("qor-indicators");
    QDir().mkpath(dir + "/home");
    auto put = [&](const QString& name, const QString& text) {
        QFile f(dir + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.toUtf8());
    };
    put("ind.ini", "[ReportSoft]\r\nDecimal=1\r\n[z1]\r\nName=一\r\n[z2]\r\nName=二\r\n[end]\r\n");
    put("f.ini", "[z1]\r\nExpressions=%endyear%+1\r\n[z2]\r\nExpressions=1+\r\n");
    put("i.ini",
        "[InterCS]\r\nEndTime=2004-12-31\r\nCWZBK_File=ind.ini\r\nCWGSK_File=f.ini\r\n"
        "CWSJK_File=out.ini\r\nLog_File=log.txt\r\n");
    auto r = qor(dir, "indicators i.ini");
    EXPECT_EQ(r.exitCode, 3) << r.err.constData();
    EXPECT_TRUE(QString::fromUtf8(r.out).contains("执行表达式:2005"));
    const auto py = qortest::python(
        "import configparser,sys\nc=configparser.ConfigParser()\n"
        "c.read(sys.argv[1],encoding='gb18030')\n"
        "print(c['z1']['value'],c['z2']['value'],c['FinanceSoft']['dbvalidflag'],c.has_section('"
        "End'))",
        {dir + "/out.ini"});
    EXPECT_EQ(QString::fromUtf8(py.out).trimmed(), u"2005.0 ERROR 0 True") << py.err.constData();
    put("bad.ini", "[InterCS]\r\nCWZBK_File=ind.ini\r\n");
    EXPECT_EQ(qor(dir, "indicators bad.ini").exitCode, 1);
    EXPECT_EQ(qor(dir, "indicators").exitCode, 2);
}

// A period date that is missing, of the wrong form or no day of the
// calendar is named on standard error and the run counts on 1999-01-01;
// a real date is taken as it stands.
TEST(QorIndicators, EveryPeriodDateThatIsNoDayIsNamed) {
    const QString dir = qortest::freshDir("qor-indicator-dates");
    QDir().mkpath(dir + "/home");
    qortest::writeFile(dir + "/ind.ini", "[ReportSoft]\r\nDecimal=0\r\n[d]\r\nName=日期\r\n[end]\r\n");
    qortest::writeFile(dir + "/f.ini", "[d]\r\nExpressions=%endyear%*10000+%endmonth%*100+%endday%\r\n");
    struct Case {
        const char* endLine;  // the interface file's EndTime line, if any
        const char* value;    // the result library's Value
        const char* told;     // on standard error ("" for nothing)
    };
    const Case cases[] = {
        {"", "19990101", "没有EndTime"},
        {"EndTime=\r\n", "19990101", "没有EndTime"},
        {"EndTime=  \r\n", "19990101", "没有EndTime"},
        {"EndTime=2004-13-45\r\n", "19990101", "EndTime=“2004-13-45”不是日期"},
        {"EndTime=2004/02/03\r\n", "19990101", "EndTime=“2004/02/03”不是日期"},
        {"EndTime=2004-02-29\r\n", "20040229", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.endLine);
        qortest::writeFile(dir + "/i.ini", QByteArray("[InterCS]\r\nStartTime=2004-01-01\r\n") + c.endLine +
                                               "CWZBK_File=ind.ini\r\nCWGSK_File=f.ini\r\n"
                                               "CWSJK_File=out.ini\r\nLog_File=log.txt\r\n");
        const auto r = qor(dir, "indicators i.ini");
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        const QString err = QString::fromUtf8(r.err);
        if (*c.told) {
            EXPECT_TRUE(err.contains(QString::fromUtf8(c.told)) && err.contains("1999-01-01")) << err.toStdString();
        } else {
            EXPECT_FALSE(err.contains("1999-01-01")) << err.toStdString();
        }
        const auto py = qortest::python("import configparser,sys\nc=configparser.ConfigParser()\n"
                                        "c.read(sys.argv[1],encoding='gb18030')\nprint(c['d']['value'])",
                                        {dir + "/out.ini"});
        EXPECT_EQ(QString::fromUtf8(py.out).trimmed(), QString::fromUtf8(c.value)) << py.err.constData();
    }
}

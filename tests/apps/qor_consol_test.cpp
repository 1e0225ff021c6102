// qor consol: a client report prepared, saved with its upload file and a
// failing client call, all without a window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult consol(const QString& home, const QString& args) {
    const QString script =
        QStringLiteral("export QOR_HOME='%1' QOR_REGISTRY='%1/registry.ini'\n'%2' consol %3")
            .arg(home, QStringLiteral(QOR_APP_BINARY), args);
    return qortest::run(QStringLiteral("/bin/sh"), {"-c", script});
}

}  // namespace

TEST(QorConsol, OpenPreparesTheReportAndSaveWritesItsUploadFile) {
    const QString home = qortest::freshDir("consol-cli");
    const QString root = home + "/QORTEMP/hbbb";
    qortest::writeFile(root + "/样表/Monthly.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ReportData SampleID=\"7\" SampleName=\"x\">"
        "<Period><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/><M/></Period>"
        "<Workbook xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
        "<Worksheet ss:Name=\"Balance\"><Table ss:ExpandedColumnCount=\"3\" "
        "ss:ExpandedRowCount=\"5\"/></Worksheet></Workbook>"
        "<SampleAlias><SName>Cash</SName><CellCoor>Balance!B4</CellCoor></SampleAlias>"
        "</ReportData>\n");
    qortest::writeFile(root + "/Alpha(001)/Monthly/download/2004-03-01.xml",
        "<ReportData><SampleData><Cash>42</Cash></SampleData></ReportData>");
    const QString rep = root + "/Alpha(001)/Monthly/Balance.rep";

    auto r = consol(home, "open '" + root + "/Alpha(001)/Monthly/Balance.xml'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    ASSERT_TRUE(QFileInfo::exists(rep));
    EXPECT_FALSE(QFileInfo::exists(root + "/Alpha(001)/Monthly/upload/2004-03-01.xml"));

    r = consol(home, "save '" + rep + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QString up = root + "/Alpha(001)/Monthly/upload/2004-03-01.xml";
    auto lint = qortest::run("xmllint", {"--xpath", "string(/ReportData/Balance/Cash)", up});
    EXPECT_EQ(QString::fromUtf8(lint.out).trimmed(), "42.000000");

    // No server folder: the client cannot run, and says so.
    r = consol(home, "upload");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(r.err).contains("无法调用合并报表上报服务")) << r.err.constData();
    // A name too short to carry an extension is refused.
    EXPECT_EQ(consol(home, "open ab").exitCode, 1);
    EXPECT_EQ(consol(home, "open").exitCode, 2);
}

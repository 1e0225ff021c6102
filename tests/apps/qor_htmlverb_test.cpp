// The HTML export verb of the command-line host, run as a user would.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qorRun(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

TEST(QorHtmlVerb, WritesChosenPagesIntoTheFolder) {
    const QString dir = qortest::freshDir("qor-html");
    const QString rep = dir + "/src.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "3"}).exitCode, 0);
    ASSERT_EQ(qorRun({"format", rep, "1", "1", "0", "2"}).exitCode, 0);  // a text cell
    ASSERT_EQ(qorRun({"set", rep, "2", "1", "1", "<i>&", "--text"}).exitCode, 0);

    const QString out = dir + "/out";
    auto ex = qorRun({"export-html", rep, out, "--pages", "2,3"});
    ASSERT_EQ(ex.exitCode, 0) << ex.err.constData();
    EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"src_2.html", "src_3.html"}));
    QFile f(out + "/src_2.html");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray raw = f.readAll();
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(raw.constData()), raw.size() / 2);
    EXPECT_TRUE(text.contains("&lt;i&gt;&amp;")) << text.toStdString();
    EXPECT_EQ(qortest::run("xmllint", {"--html", "--noout", out + "/src_2.html"}).exitCode, 0);

    // Every page by default (over the files there with --force); a page
    // past the end and a missing report fail.
    EXPECT_EQ(qorRun({"export-html", rep, out}).exitCode, 1);
    EXPECT_EQ(qorRun({"export-html", rep, out, "--force"}).exitCode, 0);
    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(qorRun({"export-html", rep, out, "--pages", "4"}).exitCode, 1);
    auto missing = qorRun({"export-html", dir + "/none.rep", out});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(missing.err.isEmpty());
    EXPECT_FALSE(QFile::exists(dir + "/none.rep"));
    EXPECT_EQ(qorRun({"export-html", rep}).exitCode, 2);
}

}  // namespace

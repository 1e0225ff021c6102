// States the engine must not let in, refused where a host or the command
// line asks for them, the report left as it was.
#include <gtest/gtest.h>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

qortest::ProcessResult readerScript(const QString& lines) {
    return qor({"reader-script", "-"}, lines.toUtf8());
}

QString text(const QByteArray& b) { return QString::fromUtf8(b); }

}  // namespace

// A keyword sits in a combined area's first cell or nowhere in it: the
// combine over one placed elsewhere is refused as placing it there is.
TEST(QorRefusals, CombiningOverAPlacedKeywordIsRefusedAsPlacingOneInsideIs) {
    const QString dir = qortest::freshDir("qor-combine-keyword");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "10", "--cols", "6", "--pages", "1"}).exitCode, 0);
    const auto run = readerScript(QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n"
                                                 "SetKeywordCell 0 7 4\n"
                                                 "CombineCells 6 3 8 4\n"
                                                 "CombineCells 7 4 8 5\n"
                                                 "SetKeywordCell 1 2 2\n"
                                                 "CombineCells 1 1 3 3\n"
                                                 "Save\nCloseFile\n")
                                      .arg(report));
    const QStringList lines = text(run.out).split(u'\n');
    ASSERT_GE(lines.size(), 7) << run.out.constData();
    EXPECT_TRUE(lines[3].startsWith("CombineCells: ok=false") && lines[3].contains("1080"))
        << lines[3].toStdString();
    // Over the keyword's own cell as the first one: allowed.
    EXPECT_TRUE(lines[4].startsWith("CombineCells: ok=true")) << lines[4].toStdString();
    EXPECT_TRUE(lines[6].startsWith("CombineCells: ok=false")) << lines[6].toStdString();
    EXPECT_TRUE(lines.join('\n').contains("Save: ok=true")) << run.out.constData();
}

// A cell under a combined area (not its first) is shown by no page: a
// write there would be counted by totals nobody can see.
TEST(QorRefusals, AWriteIntoACellHiddenUnderACombinedAreaIsRefused) {
    const QString dir = qortest::freshDir("qor-set-hidden");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "10", "--cols", "3", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(readerScript(QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nCombineCells 2 1 4 2\n"
                                          "Save\nCloseFile\n")
                               .arg(report))
                  .exitCode,
              0);
    const auto hidden = qor({"set", report, "1", "3", "1", "1000"});
    EXPECT_NE(hidden.exitCode, 0);
    EXPECT_TRUE(text(hidden.err).contains(QStringLiteral("合并单元"))) << hidden.err.constData();
    const auto also = readerScript(QStringLiteral("OpenRep8File \"%1\"\nSetCurPage 1\nSetCurCell 4 2\n"
                                                  "SetData 5\nCloseFile\n")
                                       .arg(report));
    EXPECT_TRUE(text(also.out).contains("SetData: ok=false")) << also.out.constData();
    EXPECT_NE(text(qor({"get", report, "1", "3", "1"}).out).trimmed(), "1000");
    // The area's first cell takes the value.
    EXPECT_EQ(qor({"set", report, "1", "2", "1", "42"}).exitCode, 0);
    EXPECT_EQ(text(qor({"get", report, "1", "2", "1"}).out).trimmed(), "42");
}

// A count past the end deletes nothing and says so; one that fits
// deletes what it says.
TEST(QorRefusals, DeletingPastTheEndIsRefused) {
    const QString dir = qortest::freshDir("qor-delete-past-end");
    const QString report = dir + "/r.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "20", "--cols", "3", "--pages", "5"}).exitCode, 0);
    const auto rows = qor({"delete-rows", report, "19", "5"});
    EXPECT_EQ(rows.exitCode, 1) << rows.out.constData();
    EXPECT_TRUE(text(rows.err).contains(QStringLiteral("超出了末尾"))) << rows.err.constData();
    const auto pages = qor({"delete-pages", report, "4", "5"});
    EXPECT_EQ(pages.exitCode, 1) << pages.out.constData();
    EXPECT_TRUE(text(pages.err).contains(QStringLiteral("超出了末尾"))) << pages.err.constData();
    EXPECT_TRUE(text(qor({"table-size", report}).out).startsWith("table: 20 rows")) << "rows kept";
    EXPECT_TRUE(text(qor({"pages", report}).out).startsWith("pages: 5")) << "pages kept";

    EXPECT_EQ(qor({"delete-rows", report, "19", "2"}).exitCode, 0);
    EXPECT_EQ(qor({"delete-pages", report, "4", "2"}).exitCode, 0);
    EXPECT_TRUE(text(qor({"table-size", report}).out).startsWith("table: 18 rows"));
    EXPECT_TRUE(text(qor({"pages", report}).out).startsWith("pages: 3"));
}

// A page never holds more variable lines than its area's extent, whatever
// would put them there: TOTAL (KEY) whose result needs more, APPEND FROM a
// report whose area holds more, and the line verbs; each refusal says why
// and leaves the saved report as it was. The line verbs on a report
// without an area say so.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

QString text(const QByteArray& b) { return QString::fromUtf8(b).trimmed(); }

QString got(const QString& report, int page, int row, int col) {
    const auto r = qor({"get", report, QString::number(page), QString::number(row), QString::number(col)});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    return text(r.out);
}

QString lines(const QString& report, int page) {
    return text(qor({"lines", report, QString::number(page)}).out);
}

// Rows: 1 a heading, 2 the area (up to `extent` lines: A a text key, B an
// amount), 3 the total of B. Each page gets the lines given as key/amount.
void makeReport(const QString& report, int extent, const QList<QList<QPair<QString, int>>>& pages) {
    ASSERT_EQ(qor({"new", report, "--rows", "3", "--cols", "2", "--pages",
                   QString::number(pages.size())})
                  .exitCode,
              0);
    const auto design =
        qor({"reader-script", "-"},
            QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetVarArea 1 2 %2\n"
                           "SetCurCell 3 2\nSetFormula \"GTOTAL(V_B)\"\nBeginData\nSave\nCloseFile\n")
                .arg(report)
                .arg(extent)
                .toUtf8());
    ASSERT_EQ(design.exitCode, 0) << design.out.constData() << design.err.constData();
    ASSERT_EQ(qor({"format", report, "2", "1", "kind", "text"}).exitCode, 0);
    QString script = QStringLiteral("OpenRep8File \"%1\"\n").arg(report);
    for (int p = 0; p < pages.size(); ++p) {
        script += QStringLiteral("SetCurPage %1\n").arg(p + 1);
        if (pages[p].size() > 1) script += QStringLiteral("AppendRows %1\n").arg(pages[p].size() - 1);
        for (int i = 0; i < pages[p].size(); ++i)
            script += QStringLiteral("SetCurCell %1 1\nSetData \"%2\"\nSetCurCell %1 2\nSetData %3\n")
                          .arg(2 + i)
                          .arg(pages[p][i].first)
                          .arg(pages[p][i].second);
    }
    script += "Save\nCloseFile\n";
    const auto made = qor({"reader-script", "-"}, script.toUtf8());
    ASSERT_EQ(made.exitCode, 0) << made.out.constData() << made.err.constData();
}

QList<QPair<QString, int>> keyed(const QString& prefix, int first, int count) {
    QList<QPair<QString, int>> out;
    for (int i = 0; i < count; ++i) out.append({prefix + QString::number(first + i), 10 * (first + i)});
    return out;
}

qortest::ProcessResult runScript(const QString& dir, const QString& report, const QString& commands) {
    qortest::writeFile(dir + "/s.shl", commands.toUtf8());
    return qor({"run", dir + "/s.shl", report});
}

}  // namespace

TEST(QorVarLinesExtent, TotalWhoseResultNeedsMoreLinesThanTheExtentIsRefusedWholly) {
    const QString dir = qortest::freshDir("qor-varlines-extent-total");
    const QString report = dir + "/r.rep";
    makeReport(report, 5, {keyed("k", 1, 5), keyed("k", 6, 5)});
    const QByteArray before = qortest::fileBytes(report);

    // Ten distinct keys for an area of five: no page appended, nothing saved.
    const auto key = runScript(dir, report, "TOTAL KEY V_A\n");
    EXPECT_NE(key.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(key.err).contains(QStringLiteral("可变区最多5行，结果要10行")))
        << key.err.constData();
    EXPECT_EQ(qortest::fileBytes(report), before);
    EXPECT_EQ(qor({"lines", report, "3"}).exitCode, 1);

    // Into a new report: no file is made.
    const auto to = runScript(dir, report, "TOTAL TO \"sum\" KEY V_A\n");
    EXPECT_NE(to.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(to.err).contains(QStringLiteral("结果要10行"))) << to.err.constData();
    EXPECT_FALSE(QFileInfo::exists(dir + "/sum.rep"));

    // Five keys on each page, the same five: a result of five lines fits.
    const QString same = dir + "/same.rep";
    makeReport(same, 5, {keyed("k", 1, 5), keyed("k", 1, 5)});
    const auto fits = runScript(dir, same, "TOTAL KEY V_A\n");
    ASSERT_EQ(fits.exitCode, 0) << fits.err.constData();
    EXPECT_EQ(lines(same, 3), "page 3: 5 lines");
    EXPECT_EQ(got(same, 3, 2, 1), "k1");
    EXPECT_EQ(got(same, 3, 6, 2), "100");
    EXPECT_EQ(got(same, 3, 7, 2), "300");
    // Without KEY the result is as long as the longest page.
    ASSERT_EQ(runScript(dir, report, "TOTAL\n").exitCode, 0);
    EXPECT_EQ(lines(report, 3), "page 3: 5 lines");
    EXPECT_EQ(got(report, 3, 2, 2), "70");
}

TEST(QorVarLinesExtent, AppendFromAReportWhosePagesHoldMoreLinesIsRefusedBeforeAnyPageComes) {
    const QString dir = qortest::freshDir("qor-varlines-extent-append");
    const QString mine = dir + "/mine.rep";
    const QString wide = dir + "/wide.rep";
    makeReport(mine, 5, {keyed("m", 1, 2)});
    // The same table and area, of eight lines: its first page fits ours,
    // its second does not.
    makeReport(wide, 8, {keyed("w", 1, 3), keyed("w", 1, 7)});
    const QByteArray before = qortest::fileBytes(mine);

    const auto refused = runScript(dir, mine, "APPEND FROM \"wide\"\n");
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(refused.err).contains(QStringLiteral("可变区最多5行，")))
        << refused.err.constData();
    EXPECT_TRUE(QString::fromUtf8(refused.err).contains(QStringLiteral("第2页有7行")))
        << refused.err.constData();
    EXPECT_EQ(qortest::fileBytes(mine), before);

    // Down to five lines on their page, both come in.
    ASSERT_EQ(qor({"delete-lines", wide, "2", "2", "2"}).exitCode, 0);
    ASSERT_EQ(runScript(dir, mine, "APPEND FROM \"wide\"\n").exitCode, 0);
    EXPECT_EQ(lines(mine, 2), "page 2: 3 lines");
    EXPECT_EQ(lines(mine, 3), "page 3: 5 lines");
    EXPECT_EQ(got(mine, 3, 7, 2), QString::number(30 + 40 + 50 + 60 + 70));
}

TEST(QorVarLinesExtent, AppendLinesOffersWhatStillFitsOnThePage) {
    const QString dir = qortest::freshDir("qor-varlines-extent-room");
    const QString report = dir + "/r.rep";
    makeReport(report, 5, {keyed("k", 1, 2), keyed("k", 1, 5)});
    const QByteArray before = qortest::fileBytes(report);

    const auto zero = qor({"append-lines", report, "1", "0"});
    EXPECT_EQ(zero.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(zero.err).contains(QStringLiteral("1和3之间"))) << zero.err.constData();
    const auto past = qor({"append-lines", report, "1", "4"});
    EXPECT_EQ(past.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(past.err).contains(QStringLiteral("可变区最多5行：本页已用2行，不能再加4行")))
        << past.err.constData();
    // A full page has no range to offer: the extent is the reason.
    const auto full = qor({"insert-lines", report, "2", "2", "0"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(full.err).contains(QStringLiteral("可变区最多5行：本页已用5行")))
        << full.err.constData();
    EXPECT_EQ(qortest::fileBytes(report), before);

    ASSERT_EQ(qor({"append-lines", report, "1", "3"}).exitCode, 0);
    EXPECT_EQ(lines(report, 1), "page 1: 5 lines");
}

TEST(QorVarLinesExtent, LineVerbsOnAReportWithoutAnAreaSaySoAndChangeNothing) {
    const QString dir = qortest::freshDir("qor-varlines-extent-none");
    const QString report = dir + "/plain.rep";
    ASSERT_EQ(qor({"new", report, "--rows", "3", "--cols", "2", "--pages", "1"}).exitCode, 0);
    const QByteArray before = qortest::fileBytes(report);
    const QList<QStringList> calls = {{"append-lines", report, "1", "1"},
                                      {"insert-lines", report, "1", "2", "1"},
                                      {"delete-lines", report, "1", "2", "1"}};
    for (const QStringList& c : calls) {
        const auto r = qor(c);
        EXPECT_EQ(r.exitCode, 1) << c.join(' ').toStdString();
        const QString err = QString::fromUtf8(r.err);
        EXPECT_TRUE(err.contains(QStringLiteral("报表没有可变区"))) << err.toStdString();
        EXPECT_FALSE(err.contains(QStringLiteral("格式状态"))) << err.toStdString();
    }
    EXPECT_EQ(qortest::fileBytes(report), before);
}

TEST(QorVarLinesExtent, AnExtentBelowTheLinesAPageUsesIsRefusedNamingThePage) {
    const QString dir = qortest::freshDir("qor-varlines-extent-shrink");
    const QString report = dir + "/r.rep";
    makeReport(report, 5, {keyed("k", 1, 2), keyed("k", 1, 4)});
    const QString open = QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\n").arg(report);

    const auto three = qor({"reader-script", "-"}, (open + "SetVarArea 1 2 3\nSave\nCloseFile\n").toUtf8());
    EXPECT_EQ(three.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(three.out).contains(QStringLiteral("SetVarArea: 第2页已用4行，可变区不能少于4行")))
        << three.out.constData();
    EXPECT_TRUE(QString::fromUtf8(qor({"info", report}).out).contains("variable area: rows from 2, extent 5"));
    EXPECT_EQ(lines(report, 2), "page 2: 4 lines");

    // Four holds every page; the pages keep their lines, and no fifth comes.
    const auto four = qor({"reader-script", "-"},
                          (open + "SetVarArea 1 2 4\nBeginData\nSave\nCloseFile\n").toUtf8());
    ASSERT_EQ(four.exitCode, 0) << four.out.constData();
    EXPECT_TRUE(QString::fromUtf8(qor({"info", report}).out).contains("variable area: rows from 2, extent 4"));
    EXPECT_EQ(lines(report, 2), "page 2: 4 lines");
    EXPECT_EQ(got(report, 2, 5, 1), "k4");
    const auto fifth = qor({"append-lines", report, "2", "1"});
    EXPECT_EQ(fifth.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(fifth.err).contains(QStringLiteral("可变区最多4行"))) << fifth.err.constData();
    ASSERT_EQ(qor({"append-lines", report, "1", "2"}).exitCode, 0);
}

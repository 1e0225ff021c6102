// Every way `qor` changes a report leaves the saved file as a whole
// recalculation of it would: page references and totals over pages after
// pages go, come or move, keywords change, rows go, kinds change, lines
// move; the command language's commands and the Reader's calls alike.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <algorithm>

#include <sys/mount.h>
#include <unistd.h>

#include "cmdlang/enginehooks.h"
#include "tests/common/recalccompare.h"
#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qorRun(const QStringList& args, const QByteArray& input = {}) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args, input);
}

// Four pages, B1 10..40, A1..A3 amounts (A2 0 on page 3), 年 2004 on pages
// 1 and 2; row 5 a variable area of up to 4 lines (B and C amounts).
// C1 TOTAL(B1), C2 B1@4, C3 TOTAL(B1,年=2004), C4 COUNT(B1), D1 V_B1,
// D2 PTOTAL(A1:A3), D3 100/A2 (fails on page 3), C6 GTOTAL(V_C),
// E1 C1+C2 (reads totals and references in turn).
QString baseline(const QString& dir) {
    const QString rep = dir + QStringLiteral("/base.rep");
    EXPECT_EQ(qorRun({"new", rep, "--rows", "6", "--cols", "5", "--pages", "4"}).exitCode, 0);
    QString script = QStringLiteral(
                         "OpenRep8File \"%1\"\nBeginDesign\nSetVarArea 1 5 4\n"
                         "SetCurCell 1 3\nSetFormula \"TOTAL(B1)\"\n"
                         "SetCurCell 2 3\nSetFormula \"B1@4\"\n"
                         "SetCurCell 3 3\nSetFormula \"TOTAL(B1,年=2004)\"\n"
                         "SetCurCell 4 3\nSetFormula \"COUNT(B1)\"\n"
                         "SetCurCell 1 4\nSetFormula \"V_B1\"\n"
                         "SetCurCell 2 4\nSetFormula \"PTOTAL(A1:A3)\"\n"
                         "SetCurCell 3 4\nSetFormula \"100/A2\"\n"
                         "SetCurCell 6 3\nSetFormula \"GTOTAL(V_C)\"\n"
                         "SetCurCell 1 5\nSetFormula \"C1+C2\"\n"
                         "BeginData\n")
                         .arg(rep);
    for (int p = 1; p <= 4; ++p) {
        script += QStringLiteral("SetCurPage %1\nSetKeyword 2 %2\n").arg(p).arg(p <= 2 ? 2004 : 2003);
        const int a2 = p == 3 ? 0 : p;
        const QList<std::pair<QString, int>> cells = {
            {"1 2", 10 * p}, {"1 1", p}, {"2 1", a2}, {"3 1", 5}, {"5 2", 7 * p}, {"5 3", 3}};
        for (const auto& [cell, v] : cells)
            script += QStringLiteral("SetCurCell %1\nSetData %2\n").arg(cell).arg(v);
        script += QStringLiteral("AppendRows 1\nSetCurCell 6 2\nSetData %1\nSetCurCell 6 3\nSetData %2\n")
                      .arg(5 - p)
                      .arg(p);
    }
    script += QStringLiteral("Save\nCloseFile\n");
    const auto made = qorRun({"reader-script", "-"}, script.toUtf8());
    EXPECT_EQ(made.exitCode, 3) << made.out.constData();  // D3 on page 3
    const QString shl = dir + QStringLiteral("/all.shl");
    qortest::writeFile(shl, "RECALC ALL\n");
    const auto all = qorRun({"run", shl, rep});
    EXPECT_EQ(all.exitCode, 3) << all.err.constData();  // D3 on page 3
    EXPECT_TRUE(qortest::SavedEqualsRecalculated(rep));
    return rep;
}

struct Route {
    const char* name;
    QStringList args;   // %r the report, %d the folder
    QByteArray script;  // for `run` (a .shl) and `reader-script` (%r the report)
};

class QorRoutesRecalc : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qor::cmd::InstallEngineHooks(); }
};

}  // namespace

TEST_F(QorRoutesRecalc, EveryRouteSavesWhatARecalculationOfItGives) {
    const QString dir = qortest::freshDir("qor-routes-recalc");
    const QString base = baseline(dir);
    const QList<Route> routes = {
        {"set", {"set", "%r", "2", "1", "2", "25"}, {}},
        {"set a line cell", {"set", "%r", "1", "5", "2", "70"}, {}},
        {"set a failing divisor", {"set", "%r", "1", "2", "1", "0"}, {}},
        {"delete-pages last", {"delete-pages", "%r", "4", "1"}, {}},
        {"delete-pages first", {"delete-pages", "%r", "1", "1"}, {}},
        {"append-pages", {"append-pages", "%r", "2"}, {}},
        {"keyword year", {"keyword", "%r", "3", "year", "2004"}, {}},
        {"delete-rows", {"delete-rows", "%r", "2", "1"}, {}},
        {"insert-rows", {"insert-rows", "%r", "1", "1"}, {}},
        {"append-rows", {"append-rows", "%r", "2"}, {}},
        {"table-size", {"table-size", "%r", "6", "6"}, {}},
        {"format decimals", {"format", "%r", "1", "2", "decimals", "0"}, {}},
        {"format kind", {"format", "%r", "1", "1", "kind", "text"}, {}},
        {"append-lines", {"append-lines", "%r", "2", "1"}, {}},
        {"insert-lines", {"insert-lines", "%r", "2", "5", "1"}, {}},
        {"delete-lines", {"delete-lines", "%r", "1", "5", "1"}, {}},
        {"run LET", {"run", "%d/s.shl", "%r"}, "FIND FOR MRECNO()=2\nLET B1 = 99\n"},
        {"run LET keyword", {"run", "%d/s.shl", "%r"}, "FIND FOR MRECNO()=4\nLET 年 = 2004\n"},
        {"run LET line", {"run", "%d/s.shl", "%r"}, "LET V_B1 = 500\n"},
        {"run DELETE", {"run", "%d/s.shl", "%r"}, "DELETE 4\n"},
        {"run DELETE FOR", {"run", "%d/s.shl", "%r"}, "DELETE FOR 年=2003\n"},
        {"run SORT PAGES", {"run", "%d/s.shl", "%r"}, "SORT PAGES BY B1 DESC\n"},
        {"run SORT keywords", {"run", "%d/s.shl", "%r"}, "SORT BY 年\n"},
        {"run SORT lines", {"run", "%d/s.shl", "%r"}, "SORT BY V_B DESC\n"},
        {"run APPEND FROM", {"run", "%d/s.shl", "%r"}, "APPEND FROM \"other.rep\"\n"},
        {"run TOTAL", {"run", "%d/s.shl", "%r"}, "TOTAL FOR 年=2004\n"},
        {"run TOTAL KEY", {"run", "%d/s.shl", "%r"}, "TOTAL KEY V_C\n"},
        {"run GTOTAL", {"run", "%d/s.shl", "%r"}, "GTOTAL\n"},
        {"run loop", {"run", "%d/s.shl", "%r"},
         "FIND FOR MRECNO()=1\nLET B1 = 100\nFIND FOR MRECNO()=2\nLET B1 = 200\n"
         "FIND FOR MRECNO()=3\nLET A2 = 3\nFIND FOR MRECNO()=4\nLET V_C1 = 9\n"},
        {"reader SetData", {"reader-script", "-"},
         "OpenRep8File \"%r\"\nSetCurPage 2\nSetCurCell 1 2\nSetData 77\nSave\nCloseFile\n"},
        {"reader SetKeyword", {"reader-script", "-"},
         "OpenRep8File \"%r\"\nSetCurPage 4\nSetKeyword 2 2004\nSave\nCloseFile\n"},
        {"reader SetFormula", {"reader-script", "-"},
         "OpenRep8File \"%r\"\nBeginDesign\nSetCurCell 4 3\nSetFormula \"MAX(B1)\"\nBeginData\nSave\nCloseFile\n"},
        // Saved in format state, then only switched to data state: the
        // reopened report has no change of its own to work out.
        {"reader SetFormula saved in format state", {"reader-script", "-"},
         "OpenRep8File \"%r\"\nBeginDesign\nSetCurCell 4 3\nSetFormula \"MAX(B1)\"\nSave\nCloseFile\n"
         "OpenRep8File \"%r\"\nBeginData\nSave\nCloseFile\n"},
        {"reader lines", {"reader-script", "-"},
         "OpenRep8File \"%r\"\nSetCurPage 1\nSetCurCell 5 2\nInsertRows 5 1\nSetData 9\nSave\nCloseFile\n"},
        {"reader DeleteRows", {"reader-script", "-"},
         "OpenRep8File \"%r\"\nSetCurPage 2\nSetCurCell 5 2\nDeleteRows 5 1\nSave\nCloseFile\n"},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        const QString rep = dir + QStringLiteral("/r.rep");
        QFile::remove(rep);
        ASSERT_TRUE(QFile::copy(base, rep));
        QFile::remove(dir + QStringLiteral("/other.rep"));
        ASSERT_TRUE(QFile::copy(base, dir + QStringLiteral("/other.rep")));
        QStringList args;
        for (QString a : route.args) args << a.replace(QLatin1String("%r"), rep).replace(QLatin1String("%d"), dir);
        QByteArray input;
        if (args.first() == QLatin1String("run")) {
            qortest::writeFile(dir + QStringLiteral("/s.shl"), route.script);
        } else {
            input = QByteArray(route.script).replace("%r", rep.toUtf8());
        }
        const auto r = qorRun(args, input);
        EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 3)
            << r.exitCode << " " << r.err.constData() << r.out.constData();
        EXPECT_TRUE(qortest::SavedEqualsRecalculated(rep));
    }
}

// A reference to a page that is gone fails, naming the page, in the saved
// file and in what `qor get` says.
TEST_F(QorRoutesRecalc, AReferenceToAPageThatIsGoneFailsNamingIt) {
    const QString dir = qortest::freshDir("qor-routes-gone");
    const QString rep = baseline(dir);
    ASSERT_EQ(qorRun({"get", rep, "1", "2", "3"}).out.trimmed(), "40");
    const auto del = qorRun({"delete-pages", rep, "4", "1"});
    EXPECT_EQ(del.exitCode, 3) << del.err.constData();
    EXPECT_EQ(qorRun({"get", rep, "1", "1", "3"}).out.trimmed(), "60");
    EXPECT_EQ(qorRun({"get", rep, "1", "4", "3"}).out.trimmed(), "3");
    const auto gone = qorRun({"get", rep, "1", "2", "3"});
    EXPECT_EQ(gone.exitCode, 3);
    EXPECT_TRUE(QString::fromUtf8(gone.err).contains(QStringLiteral("第1页 C2"))) << gone.err.constData();
    EXPECT_TRUE(QString::fromUtf8(del.err).contains(QStringLiteral("个单元的公式计算失败"))) << del.err.constData();
    // A conversion that leaves the page out says so as a deletion does.
    const QString cut = dir + QStringLiteral("/cut.rep");
    const auto converted = qorRun({"convert", rep, cut, "--pages", "1,2"});
    EXPECT_EQ(converted.exitCode, 3) << converted.err.constData();
    EXPECT_TRUE(QString::fromUtf8(converted.err).contains(QStringLiteral("个单元的公式计算失败")))
        << converted.err.constData();
    EXPECT_TRUE(qortest::SavedEqualsRecalculated(cut));
    // The reason names the page.
    CReportHandle h(rep, CReportHandle::OpenMode::OpenExisting);
    ASSERT_EQ(h.RecalcAll(), 0);
    const auto& failed = h.LastRecalcSummary().failed;
    const auto c2 = std::find_if(failed.begin(), failed.end(),
                                 [](const auto& c) { return c.page == 1 && c.cell == "C2"; });
    ASSERT_NE(c2, failed.end());
    EXPECT_TRUE(c2->reason.contains(QStringLiteral("第4页"))) << c2->reason.toStdString();
}

// With the data folder full, a write whose totals over pages read every
// page (more than are kept in memory) either saves what they give or
// names the full disk and the file; the report is never called damaged.
TEST_F(QorRoutesRecalc, AFullDataFolderDuringARecalculationIsNamed) {
    if (::geteuid() != 0) GTEST_SKIP() << "a small file system to fill needs root to mount";
    const QString dir = qortest::freshDir("qor-routes-fullhome");
    const QString home = dir + "/home";
    QDir().mkpath(home);
    if (::mount("tmpfs", QFile::encodeName(home).constData(), "tmpfs", 0, "size=512k") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    struct Restore {
        QString path;
        QByteArray home = qgetenv("QOR_HOME");
        ~Restore() {
            qputenv("QOR_HOME", home);
            ::umount(QFile::encodeName(path).constData());
        }
    } restore{home};
    const QString rep = dir + "/t.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "40", "--cols", "8", "--pages", "40"}).exitCode, 0);
    QString script = QStringLiteral("OpenRep8File \"%1\"\nBeginDesign\nSetCurCell 1 3\n"
                                    "SetFormula \"TOTAL(B1)\"\nBeginData\n")
                         .arg(rep);
    for (int p = 1; p <= 40; ++p)
        script += QStringLiteral("SetCurPage %1\nSetCurCell 1 2\nSetData %1\n").arg(p);
    script += QStringLiteral("Save\nCloseFile\n");
    ASSERT_EQ(qorRun({"reader-script", "-"}, script.toUtf8()).exitCode, 0);
    qputenv("QOR_HOME", QFile::encodeName(home));
    {
        QFile filler(home + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    const auto set = qorRun({"set", rep, "1", "1", "2", "1000"});
    const QString err = QString::fromUtf8(set.err);
    EXPECT_FALSE(err.contains(QStringLiteral("损坏"))) << err.toStdString();
    if (set.exitCode != 0) {
        EXPECT_EQ(set.exitCode, 1);
        EXPECT_TRUE(err.contains(QStringLiteral("磁盘空间不足")) && err.contains(QStringLiteral("t.rep")))
            << err.toStdString();
    }
    QFile::remove(home + "/filler");
    const QString total = QString::fromUtf8(qorRun({"get", rep, "2", "1", "3"}).out).trimmed();
    EXPECT_EQ(total, set.exitCode == 0 ? QStringLiteral("1819") : QStringLiteral("820"));
}

// What qor writes besides reports (a printed PDF, the indicator run's
// result library and log) never goes through a link planted at its name,
// and a killed run never leaves half a file under it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include "tests/common/testsupport.h"

namespace {

qortest::ProcessResult qor(const QString& dir, const QString& args) {
    const QString script = QStringLiteral("umask 022\ncd '%1'\nexport QOR_HOME='%1/home'\n'%2' %3")
                               .arg(dir, QStringLiteral(QOR_APP_BINARY), args);
    return qortest::run(QStringLiteral("/bin/sh"), {"-c", script});
}

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList dotFilesIn(const QString& dir) {
    return QDir(dir).entryList({".*"}, QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs |
                                           QDir::NoDotAndDotDot);
}

}  // namespace

TEST(QorOutputs, PrintReplacesALinkAtThePdfNameAndLeavesItsTargetAlone) {
    const QString dir = qortest::freshDir("outputs-print-link");
    QDir().mkpath(dir + "/home");
    ASSERT_EQ(qor(dir, "new r.rep --rows 10 --cols 3 --pages 2").exitCode, 0);
    ASSERT_EQ(qor(dir, "set r.rep 1 1 1 4711").exitCode, 0);
    put(dir + "/victim.txt", "somebody else's file");
    ASSERT_TRUE(QFile::link(dir + "/victim.txt", dir + "/out.pdf"));
    // What a print killed earlier left in the folder.
    put(dir + "/.out.pdf.Dead01.tmp", "%PDF-1.4 half");

    const auto r = qor(dir, "print r.rep --pdf out.pdf");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(contentOf(dir + "/victim.txt"), "somebody else's file");
    EXPECT_FALSE(QFileInfo(dir + "/out.pdf").isSymLink());
    EXPECT_TRUE(contentOf(dir + "/out.pdf").startsWith("%PDF-"));
    EXPECT_TRUE(dotFilesIn(dir).isEmpty()) << dotFilesIn(dir).join(',').toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(dir + "/out.pdf").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, mode_t(0644));
}

// Killed at random moments, a print leaves either the PDF there before or
// a whole new one, never a PDF cut short.
TEST(QorOutputs, AKilledPrintLeavesTheOldPdfOrAWholeNewOne) {
    const QString dir = qortest::freshDir("outputs-print-kill");
    QDir().mkpath(dir + "/home");
    ASSERT_EQ(qor(dir, "new r.rep --rows 60 --cols 12 --pages 200").exitCode, 0);
    ASSERT_EQ(qor(dir, "print r.rep --pdf out.pdf").exitCode, 0);
    const QByteArray old = contentOf(dir + "/out.pdf");
    ASSERT_TRUE(old.trimmed().endsWith("%%EOF"));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QOR_HOME", dir + "/home");
    auto start = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir);
        p.start(QStringLiteral(QOR_APP_BINARY), {"print", "r.rep", "--pdf", "out.pdf"});
        return p.waitForStarted();
    };
    QElapsedTimer timer;
    timer.start();
    {
        QProcess p;
        ASSERT_TRUE(start(p));
        ASSERT_TRUE(p.waitForFinished(120000));
    }
    const qint64 span = std::max<qint64>(timer.elapsed(), 50);
    for (int i = 0; i < 5; ++i) {
        QProcess p;
        ASSERT_TRUE(start(p));
        QThread::msleep(QRandomGenerator::global()->bounded(quint32(span)));
        ::kill(pid_t(p.processId()), SIGKILL);
        p.waitForFinished(10000);
        const QByteArray now = contentOf(dir + "/out.pdf");
        EXPECT_TRUE(now == old || now.trimmed().endsWith("%%EOF"))
            << "kill " << i << ": " << now.size() << " bytes without an end";
    }
    // The next print sweeps what the killed ones left.
    ASSERT_EQ(qor(dir, "print r.rep --pdf other.pdf").exitCode, 0);
    EXPECT_TRUE(dotFilesIn(dir).isEmpty()) << dotFilesIn(dir).join(',').toStdString();
}

TEST(QorOutputs, IndicatorsReplaceALinkedResultAndRefuseALinkedLog) {
    const QString dir = qortest::freshDir("outputs-indicators");
    QDir().mkpath(dir + "/home");
    put(dir + "/ind.ini", "[ReportSoft]\r\nDecimal=1\r\n[z1]\r\nName=one\r\n[end]\r\n");
    put(dir + "/f.ini", "[z1]\r\nExpressions=%endyear%+1\r\n");
    put(dir + "/i.ini",
        "[InterCS]\r\nEndTime=2004-12-31\r\nCWZBK_File=ind.ini\r\nCWGSK_File=f.ini\r\n"
        "CWSJK_File=out.ini\r\nLog_File=log.txt\r\n");
    put(dir + "/victim.ini", "[Keep]\r\nx=1\r\n");

    // The result library is a link: the link is replaced, its target kept.
    ASSERT_TRUE(QFile::link(dir + "/victim.ini", dir + "/out.ini"));
    auto r = qor(dir, "indicators i.ini");
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(contentOf(dir + "/victim.ini"), "[Keep]\r\nx=1\r\n");
    EXPECT_FALSE(QFileInfo(dir + "/out.ini").isSymLink());
    EXPECT_TRUE(contentOf(dir + "/out.ini").contains("[End]"));

    // The log is a link: nothing is appended through it and the run says
    // so; the result library of the run before stays whole.
    const QByteArray before = contentOf(dir + "/out.ini");
    ASSERT_TRUE(QFile::remove(dir + "/log.txt"));
    ASSERT_TRUE(QFile::link(dir + "/victim.ini", dir + "/log.txt"));
    r = qor(dir, "indicators i.ini");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(contentOf(dir + "/victim.ini"), "[Keep]\r\nx=1\r\n");
    EXPECT_EQ(contentOf(dir + "/out.ini"), before);
    EXPECT_TRUE(dotFilesIn(dir).isEmpty()) << dotFilesIn(dir).join(',').toStdString();
}

// What is not a report is not opened as one. A FIFO at a report's name
// would hold any open of it until someone writes to the other end; a link
// planted by another account in a folder others can write would point our
// writes at a file that account cannot reach. Every verb that takes a
// report refuses both, at once, and the files stay as they were.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "tests/common/testsupport.h"

namespace {

struct Ran {
    bool finished = false;
    int exitCode = -1;
    QString err;
};

// A verb that waits on a FIFO would wait for ever: it is stopped after a
// while and counts as hanging.
Ran qor(const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(QStringLiteral(QOR_APP_BINARY), args);
    Ran r;
    if (!p.waitForStarted(10000)) return r;
    if (!input.isEmpty()) p.write(input);
    p.closeWriteChannel();
    r.finished = p.waitForFinished(20000);
    if (!r.finished) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void newReport(const QString& path) {
    const Ran made = qor({"new", path, "--rows", "4", "--cols", "3", "--pages", "2"});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
}

// Every verb given `report` where it reads or writes one, in the dir
// (scripts and targets are made there).
QList<QStringList> verbsOn(const QString& report, const QString& dir) {
    qortest::writeFile(dir + "/append.shl",
                       QStringLiteral("APPEND FROM \"%1\"\n").arg(report).toUtf8());
    qortest::writeFile(dir + "/convert.shl",
                       QStringLiteral("CONVERT \"%1\" TO \"%2/c.xlsx\"\n").arg(report, dir).toUtf8());
    qortest::writeFile(dir + "/empty.shl", "* nothing\n");
    qortest::writeFile(dir + "/open.txt",
                       QStringLiteral("OpenRep8File \"%1\"\nCloseFile\n").arg(report).toUtf8());
    return {
        {"info", report},
        {"pages", report},
        {"get", report, "1", "1", "1"},
        {"set", report, "1", "1", "1", "5"},
        {"format", report, "1", "1", "decimals"},
        {"format", report, "1", "1", "decimals", "1"},
        {"keyword", report, "1", "2"},
        {"keyword", report, "1", "2", "2004"},
        {"table-size", report},
        {"table-size", report, "5", "3"},
        {"append-pages", report, "1"},
        {"delete-pages", report, "1", "1"},
        {"append-rows", report, "1"},
        {"insert-rows", report, "1", "1"},
        {"delete-rows", report, "1", "1"},
        {"lines", report, "1"},
        {"append-lines", report, "1", "1"},
        {"insert-lines", report, "1", "1", "1"},
        {"delete-lines", report, "1", "1", "1"},
        {"export-xml", report, dir + "/x.xml"},
        {"export-html", report, dir + "/html"},
        {"convert", report, dir + "/c.xls"},
        {"print", report, "--pdf", dir + "/p.pdf"},
        {"run", dir + "/empty.shl", report},
        {"run", dir + "/append.shl", dir + "/host.rep"},
        {"run", dir + "/convert.shl"},
        {"reader-script", dir + "/open.txt"},
    };
}

QString shown(const QStringList& args) { return args.join(QLatin1Char(' ')); }

}  // namespace

TEST(QorNotAReport, EveryVerbRefusesAFifoAtTheReportsNameWithoutWaitingOnIt) {
    const QString dir = qortest::freshDir("qor-notareport-fifo");
    newReport(dir + "/host.rep");
    const QString fifo = dir + "/f.rep";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QStringList& args : verbsOn(fifo, dir)) {
        SCOPED_TRACE(shown(args).toStdString());
        const Ran r = qor(args);
        ASSERT_TRUE(r.finished) << "waits on the FIFO";
        EXPECT_NE(r.exitCode, 0) << r.err.toStdString();
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced";
    }
    EXPECT_FALSE(QFileInfo::exists(dir + "/c.xlsx"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/c.xls"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/x.xml"));
    // The verbs that name a report's status say what it is.
    for (const char* verb : {"get", "set", "info"}) {
        const Ran r = qor(QStringList{verb, fifo} +
                          (QByteArray(verb) == "info" ? QStringList{}
                           : QByteArray(verb) == "get" ? QStringList{"1", "1", "1"}
                                                       : QStringList{"1", "1", "1", "5"}));
        EXPECT_TRUE(r.err.contains(QStringLiteral("1006")) ||
                    r.err.contains(QStringLiteral("不是报表文件")))
            << verb << ": " << r.err.toStdString();
    }
}

// Root's report in a folder everyone may write (sticky, as /tmp): another
// account puts a link there to a report of root's it cannot read. Root's
// verbs do not follow it; a link root owns is followed as before.
TEST(QorNotAReport, ALinkOfAnotherAccountInAFolderOthersWriteIsNotFollowed) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another account";
    const passwd* other = ::getpwnam("nobody");
    if (!other) GTEST_SKIP() << "no account named nobody";
    const QString dir = qortest::freshDir("qor-notareport-link");
    const QString privateDir = dir + "/private", shared = dir + "/shared";
    ASSERT_TRUE(QDir().mkpath(privateDir) && QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(privateDir).constData(), 0700), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    const QString target = privateDir + "/books.rep";
    newReport(target);
    newReport(dir + "/host.rep");
    const QByteArray before = qortest::fileBytes(target);
    const QString link = shared + "/r.rep";
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), other->pw_uid, other->pw_gid), 0);

    for (const QStringList& args : verbsOn(link, dir)) {
        SCOPED_TRACE(shown(args).toStdString());
        const Ran r = qor(args);
        ASSERT_TRUE(r.finished);
        EXPECT_NE(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(qortest::fileBytes(target), before) << "written through the link";
    }
    const Ran got = qor({"get", link, "1", "1", "1"});
    EXPECT_TRUE(got.err.contains(link)) << got.err.toStdString();

    // The same link of root's own is followed; so is one whose owner owns
    // the folder.
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), 0, 0), 0);
    EXPECT_EQ(qor({"get", link, "1", "1", "1"}).exitCode, 0);
    ASSERT_EQ(::lchown(QFile::encodeName(link).constData(), other->pw_uid, other->pw_gid), 0);
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), other->pw_uid, other->pw_gid), 0);
    EXPECT_EQ(qor({"get", link, "1", "1", "1"}).exitCode, 0);
}

// The files read by their type wait on a FIFO the same way: an exchange
// file, a Lotus worksheet, a validation sample. Each is refused at once,
// naming the name; a folder is no file to read either.
TEST(QorNotAReport, FilesReadByTheirTypeRefuseAFifoOrAFolder) {
    const QString dir = qortest::freshDir("qor-notareport-bytype");
    newReport(dir + "/host.rep");
    ASSERT_TRUE(QDir().mkpath(dir + "/folder.xml"));
    for (const char* name : {"f.xml", "f.wk4", "f.xlsx", "f.csv"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(dir + u'/' + QLatin1String(name)).constData(), 0600), 0);
    const QList<QStringList> verbs = {
        {"convert", dir + "/f.xml", dir + "/a.rep"},
        {"convert", dir + "/f.wk4", dir + "/b.rep"},
        {"convert", dir + "/f.xlsx", dir + "/c.rep"},
        {"convert", dir + "/f.csv", dir + "/d.rep"},
        {"convert", dir + "/folder.xml", dir + "/e.rep"},
        {"import-xml", dir + "/f.xml", dir + "/g.rep"},
        {"import-xml", dir + "/folder.xml", dir + "/h.rep"},
        {"validate", dir + "/host.rep", dir + "/f.xml"},
    };
    for (const QStringList& args : verbs) {
        SCOPED_TRACE(shown(args).toStdString());
        const Ran r = qor(args);
        ASSERT_TRUE(r.finished) << "waits on the FIFO";
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QFileInfo(args[1 + (args[0] == "validate")]).fileName()))
            << r.err.toStdString();
    }
    for (const char* made : {"a.rep", "b.rep", "c.rep", "d.rep", "e.rep", "g.rep", "h.rep"})
        EXPECT_FALSE(QFileInfo::exists(dir + u'/' + QLatin1String(made))) << made;
}

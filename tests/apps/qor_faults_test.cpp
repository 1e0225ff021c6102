// Failures of the command-line host seen from outside: each must end with a
// clear message and a non-zero exit, never with a success line or a file
// that looks whole.
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "platform/compoundfile.h"
#include "tests/common/reportfiles.h"
#include "tests/common/testsupport.h"

namespace {

using namespace qor;

qortest::ProcessResult qorRun(const QStringList& args) {
    return qortest::run(QStringLiteral(QOR_APP_BINARY), args);
}

using qortest::fileBytes;

using qortest::flipStreamByte;

TEST(QorFaults, UnreadablePageFailsEveryExportAndWritesNothing) {
    const QString dir = qortest::freshDir("qor-badpage");
    const QString rep = dir + "/d.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "3"}).exitCode, 0);
    ASSERT_EQ(qorRun({"set", rep, "2", "1", "1", "7"}).exitCode, 0);
    // Page 2's record follows page 1's in the page stream.
    flipStreamByte(rep, QString::fromLatin1(kPageStreamName),
                   directorySize(3) + pageRecordLength(2, 2, 0) + kPageRecordHeaderSize + 12);

    const auto xml = qorRun({"export-xml", rep, dir + "/d.xml"});
    EXPECT_EQ(xml.exitCode, 1);
    EXPECT_TRUE(QString::fromUtf8(xml.err).contains(QStringLiteral("第2页不能读取")))
        << xml.err.constData();
    EXPECT_FALSE(QFile::exists(dir + "/d.xml"));

    const QString out = dir + "/html";
    const auto html = qorRun({"export-html", rep, out});
    EXPECT_EQ(html.exitCode, 1);
    EXPECT_TRUE(html.out.isEmpty()) << html.out.constData();  // no "wrote N pages"
    EXPECT_TRUE(QString::fromUtf8(html.err).contains(QStringLiteral("第2页不能读取")))
        << html.err.constData();
    EXPECT_TRUE(QDir(out).entryList(QDir::Files).isEmpty());

    // The pages that can be read still export when chosen alone.
    const auto good = qorRun({"export-html", rep, out, "--pages", "1,3"});
    EXPECT_EQ(good.exitCode, 0) << good.err.constData();
    EXPECT_EQ(QDir(out).entryList(QDir::Files), (QStringList{"d_1.html", "d_3.html"}));
}

TEST(QorFaults, VerbsThatChangeTheReportSaySoOnlyAfterTheSave) {
    const QString dir = qortest::freshDir("qor-diskfull");
    const QString rep = dir + "/f.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "3", "--cols", "3", "--pages", "1"}).exitCode, 0);
    const QByteArray before = fileBytes(rep);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QOR_TEST_DISK_FULL_AFTER", "1000");
    const QList<QStringList> changes = {
        {"set", rep, "1", "1", "1", "5"},
        {"append-pages", rep, "2"},
        {"append-rows", rep, "1"},
        {"keyword", rep, "1", "0", "Acme", "--text"},
        {"format", rep, "1", "1", "0", "2"},
        {"table-size", rep, "4", "4"},
    };
    for (const QStringList& args : changes) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QOR_APP_BINARY), args);
        ASSERT_TRUE(p.waitForFinished(60000));
        const QByteArray out = p.readAllStandardOutput(), err = p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), 1) << qPrintable(args.join(' '));
        EXPECT_TRUE(out.isEmpty()) << qPrintable(args.join(' ')) << ": " << out.constData();
        EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("磁盘已满"))) << err.constData();
    }
    EXPECT_EQ(fileBytes(rep), before);

    // With room on the disk the same verb says what it did.
    const auto set = qorRun({"set", rep, "1", "1", "1", "5"});
    EXPECT_EQ(set.exitCode, 0);
    EXPECT_TRUE(set.out.contains("page 1, row 1, column 1: 5")) << set.out.constData();
}

TEST(QorFaults, HtmlExportOnAFullDiskStopsAtTheFirstPageAndSaysWhy) {
    const QString dir = qortest::freshDir("qor-html-diskfull");
    const QString rep = dir + "/h.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "3", "--cols", "3", "--pages", "6"}).exitCode, 0);
    const QString out = dir + "/html";
    QDir().mkpath(out);
    // An older export of page 1 stays as it was.
    qortest::writeFile(out + "/h_1.html", "older");

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QOR_TEST_DISK_FULL_AFTER", "1000");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QOR_APP_BINARY), {"export-html", rep, out, "--force"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    const QStringList lines = err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << err.toStdString();
    EXPECT_TRUE(lines[0].contains("h_1.html") && lines[0].contains(FileErrorText(ENOSPC)))
        << err.toStdString();
    EXPECT_EQ(QDir(out).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{"h_1.html"});
    EXPECT_EQ(fileBytes(out + "/h_1.html"), "older");
}

// A failed conversion leaves nothing a retry would meet: web pages that
// do not fit leave no folder they made, a data file whose Schema.ini
// cannot be written goes with it.
TEST(QorFaults, AFailedConversionLeavesNothingBehind) {
    const QString dir = qortest::freshDir("qor-failed-leaves-nothing");
    const QString rep = dir + "/h.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "3", "--cols", "3", "--pages", "2"}).exitCode, 0);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QOR_TEST_DISK_FULL_AFTER", "10");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QOR_APP_BINARY), {"export-html", rep, dir + "/html"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1) << p.readAllStandardError().constData();
    EXPECT_FALSE(QFileInfo::exists(dir + "/html"));

    const QString out = dir + "/out";
    QDir().mkpath(out + "/Schema.ini");  // a folder where the file would go
    const auto failed = qorRun({"convert", rep, out + "/c.csv"});
    EXPECT_EQ(failed.exitCode, 1) << failed.err.constData();
    EXPECT_FALSE(QFileInfo::exists(out + "/c.csv"));
    QDir(out + "/Schema.ini").removeRecursively();
    const auto retried = qorRun({"convert", rep, out + "/c.csv"});
    EXPECT_NE(retried.exitCode, 1) << retried.err.constData();  // 3: pages become records
    EXPECT_TRUE(QFileInfo::exists(out + "/c.csv"));
}

TEST(QorFaults, ExchangeFileWithAnEntityThatIsNotReadIsRefused) {
    const QString dir = qortest::freshDir("qor-entity");
    const QString rep = dir + "/s.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "1"}).exitCode, 0);
    ASSERT_EQ(qorRun({"set", rep, "1", "1", "1", "42"}).exitCode, 0);
    ASSERT_EQ(qorRun({"export-xml", rep, dir + "/s.xml"}).exitCode, 0);
    const QByteArray plain = fileBytes(dir + "/s.xml");
    ASSERT_TRUE(plain.contains("<cell_value>42</cell_value>")) << plain.constData();

    auto write = [&](const QString& name, QByteArray bytes) {
        QFile f(dir + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    auto withDoctype = [&](const QByteArray& doctype, const QByteArray& value) {
        QByteArray bytes = plain;
        const qsizetype end = bytes.indexOf("?>") + 2;
        bytes.insert(end, "\n" + doctype);
        bytes.replace("<cell_value>42</cell_value>", "<cell_value>" + value + "</cell_value>");
        return bytes;
    };
    const QByteArray secret = "97";
    write("secret.txt", secret);
    const QString external = write(
        "ext.xml", withDoctype("<!DOCTYPE iqor_export [<!ENTITY v SYSTEM \"secret.txt\">]>", "&v;"));
    // An internal entity whose own text refers to an external one.
    const QString nested = write(
        "nested.xml", withDoctype("<!DOCTYPE iqor_export [<!ENTITY v SYSTEM \"secret.txt\">"
                                  "<!ENTITY w \"4&v;\">]>",
                                  "&w;"));
    // Undeclared, with an external subset that might have declared it.
    const QString undeclared =
        write("undecl.xml", withDoctype("<!DOCTYPE iqor_export SYSTEM \"none.dtd\">", "&v;"));
    const QString parseMessage = LoadErrorText(qor::str::kUnsupportedXml);
    for (const QString& file : {external, nested, undeclared}) {
        const QString target = dir + "/in.rep";
        const auto r = qorRun({"import-xml", file, target});
        EXPECT_EQ(r.exitCode, 1) << qPrintable(file);
        const QString err = QString::fromLocal8Bit(r.err);
        EXPECT_TRUE(err.contains(parseMessage)) << qPrintable(err);
        EXPECT_FALSE(QFile::exists(target)) << qPrintable(file);
    }

    // An internal entity gives its text, as before.
    const QString internal = write(
        "int.xml", withDoctype("<!DOCTYPE iqor_export [<!ENTITY w \"43\">]>", "&w;"));
    const auto ok = qorRun({"import-xml", internal, dir + "/int.rep"});
    ASSERT_EQ(ok.exitCode, 0) << ok.err.constData();
    const auto got = qorRun({"get", dir + "/int.rep", "1", "1", "1"});
    EXPECT_EQ(got.out.trimmed(), "43");
}

TEST(QorFaults, AScriptDoublingATextFailsFastAtTheTextLimit) {
    const QString dir = qortest::freshDir("qor-double");
    const QString rep = dir + "/t.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "1"}).exitCode, 0);
    QByteArray script = "LET &x = \"ab\"\r\n";
    for (int i = 0; i < 40; ++i) script += "LET &x = &x + &x\r\n";
    script += "LET A1 = 1\r\n";
    QFile f(dir + "/double.shl");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(script);
    f.close();
    const QByteArray before = fileBytes(rep);

#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer reserves far more address space than any limit allows.
    const auto r = qorRun({"run", f.fileName(), rep});
#else
    // A small address space: the script must fail on its own words, not on
    // running out of memory.
    const auto r = qortest::run(
        "/bin/sh", {"-c", "ulimit -v 1500000; exec \"$0\" run \"$1\" \"$2\"",
                    QStringLiteral(QOR_APP_BINARY), f.fileName(), rep});
#endif
    EXPECT_EQ(r.exitCode, 1);
    const QString err = QString::fromUtf8(r.err);
    EXPECT_TRUE(err.contains(LoadErrorText(qor::str::kScriptLineFailed).arg("double.shl", "17", QString())))
        << qPrintable(err);  // 2 << 16 > 65,536
    EXPECT_TRUE(err.contains(QStringLiteral("字符串将超过65536个字符"))) << qPrintable(err);
    EXPECT_EQ(fileBytes(rep), before);
}

}  // namespace

namespace {

TEST(QorFaults, PagesListsKeywordsFromTheRecordsAndADamagedPageFailsAlone) {
    const QString dir = qortest::freshDir("qor-pages-records");
    const QString rep = dir + "/k.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "3"}).exitCode, 0);
    ASSERT_EQ(qorRun({"keyword", rep, "1", "0", "北京", "--text"}).exitCode, 0);
    ASSERT_EQ(qorRun({"keyword", rep, "3", "2", "2004"}).exitCode, 0);
    ASSERT_EQ(qorRun({"set", rep, "3", "2", "2", "7.5"}).exitCode, 0);
    const auto listed = qorRun({"pages", rep});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.constData();
    EXPECT_EQ(QString::fromUtf8(listed.out),
              QStringLiteral("pages: 3\npage 1: 0=\"北京\"\npage 2:\npage 3: 2=2004\n"));

    // Page 2 damaged: the listing stops there with the cause, the pages
    // around it are still read.
    flipStreamByte(rep, QString::fromLatin1(kPageStreamName),
                   directorySize(3) + pageRecordLength(2, 2, 0) + kPageRecordHeaderSize + 12);
    const auto damaged = qorRun({"pages", rep});
    EXPECT_EQ(damaged.exitCode, 1);
    EXPECT_TRUE(damaged.err.contains("1008")) << damaged.err.constData();
    EXPECT_FALSE(damaged.out.contains("page 2:")) << damaged.out.constData();
    const auto third = qorRun({"get", rep, "3", "2", "2"});
    EXPECT_EQ(third.exitCode, 0) << third.err.constData();
    EXPECT_EQ(third.out.trimmed(), "7.5");
    const auto second = qorRun({"get", rep, "2", "1", "1"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_TRUE(second.err.contains("1008")) << second.err.constData();
    EXPECT_TRUE(second.out.isEmpty()) << second.out.constData();
}

// The cell formats are read when a verb first needs them: listing pages
// needs none, so a damaged format section does not stop it; a cell read
// or a change does, and nothing is saved.
TEST(QorFaults, ADamagedFormatSectionFailsOnlyTheVerbsThatUseIt) {
    const QString dir = qortest::freshDir("qor-formats-damaged");
    const QString rep = dir + "/f.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "2", "--cols", "2", "--pages", "2"}).exitCode, 0);
    ASSERT_EQ(qorRun({"keyword", rep, "2", "0", "上海", "--text"}).exitCode, 0);
    ASSERT_EQ(qorRun({"set", rep, "2", "2", "2", "3.5"}).exitCode, 0);
    ReportHeader h;
    {
        auto cf = CompoundFile::open(rep, CompoundFile::Mode::ReadOnly);
        ASSERT_TRUE(cf);
        const QByteArray head = cf->read(QString::fromLatin1(kRepStreamName), 0, kHeaderSize);
        ASSERT_EQ(decodeHeader(head.constData(), size_t(head.size()), &h), 0);
    }
    quint64 at = 0;
    for (const SectionEntry& e : h.sections)
        if (e.tag == section::CellFormats) at = e.offset + 8 + 3 * 8;  // the word of B2
    ASSERT_GT(at, 0u);
    flipStreamByte(rep, QString::fromLatin1(kRepStreamName), at);
    const QByteArray before = fileBytes(rep);

    const auto pages = qorRun({"pages", rep});
    EXPECT_EQ(pages.exitCode, 0) << pages.err.constData();
    EXPECT_EQ(QString::fromUtf8(pages.out), QStringLiteral("pages: 2\npage 1:\npage 2: 0=\"上海\"\n"));
    for (const QStringList& args : {QStringList{"get", rep, "2", "2", "2"},
                                    QStringList{"get", rep, "1", "1", "1"},
                                    QStringList{"set", rep, "1", "1", "1", "5"},
                                    QStringList{"export-xml", rep, dir + "/f.xml"}}) {
        const auto r = qorRun(args);
        EXPECT_EQ(r.exitCode, 1) << qPrintable(args.join(' '));
        EXPECT_TRUE(QString::fromUtf8(r.err).contains(StatusText(Status::CorruptReport)) ||
                    r.err.contains("1008"))
            << qPrintable(args.join(' ')) << ": " << r.err.constData();
        EXPECT_TRUE(r.out.isEmpty()) << qPrintable(args.join(' ')) << ": " << r.out.constData();
    }
    EXPECT_EQ(fileBytes(rep), before);
    EXPECT_FALSE(QFile::exists(dir + "/f.xml"));
}

// A reader that runs out of memory (a large data file read under an
// address-space limit) ends the verb with the file's name and "内存不够",
// never with an abort; a reader that keeps within the limit ends normally.
TEST(QorFaults, RunningOutOfMemoryEndsTheVerbWithTheFilesName) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "an address sanitizer reserves more address space than the limit";
#endif
    const QString dir = qortest::freshDir("qor-nomemory");
    const QString csv = dir + "/big.csv";
    {
        QFile f(csv);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("a,b\n");
        const QByteArray block = QByteArray("1,2\n").repeated(100000);
        for (int i = 0; i < 30; ++i) f.write(block);
    }
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit limit{rlim_t(600) << 20, rlim_t(600) << 20};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    p.start(QStringLiteral(QOR_APP_BINARY), {"convert", csv, dir + "/big.rep"});
    ASSERT_TRUE(p.waitForFinished(120000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    ASSERT_EQ(p.exitStatus(), QProcess::NormalExit) << err.toStdString();
    if (p.exitCode() == 1) {
        EXPECT_TRUE(err.contains(NoMemoryText(csv))) << err.toStdString();
        EXPECT_FALSE(QFile::exists(dir + "/big.rep"));
    } else {
        // Records past the last one a report keeps are left out and told.
        EXPECT_EQ(p.exitCode(), 3) << err.toStdString();
    }
}

}  // namespace

// A small file system, filled but for a few blocks: each writer meets the
// full disk as a user's does, and says so in the user's words, naming the
// file; none says "完成" or asks to call support.
TEST(QorFaults, AFullDiskIsNamedWithTheFileByEveryWriter) {
    if (::geteuid() != 0) GTEST_SKIP() << "a small file system to fill needs root to mount";
    const QString dir = qortest::freshDir("qor-fulldisk-names");
    const QString full = dir + "/full";
    QDir().mkpath(full);
    if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    struct Unmount {
        QString path;
        ~Unmount() { ::umount(QFile::encodeName(path).constData()); }
    } unmount{full};
    const QString rep = dir + "/r.rep";
    ASSERT_EQ(qorRun({"new", rep, "--rows", "60", "--cols", "12", "--pages", "8"}).exitCode, 0);
    for (int row = 1; row <= 3; ++row)
        ASSERT_EQ(qorRun({"set", rep, "1", QString::number(row), "2", "1234.5"}).exitCode, 0);
    // Everything but a few blocks is taken.
    {
        QFile filler(full + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        filler.resize(filler.size() - 3 * 4096);
    }

    qortest::writeFile(dir + "/c.shl", QStringLiteral("CONVERT \"%1\" TO \"%2\"\n")
                                           .arg(rep, full + "/run.xlsx")
                                           .toUtf8());
    const QList<std::pair<QStringList, QString>> writers = {
        {{"export-xml", rep, full + "/out.xml"}, "out.xml"},
        {{"convert", rep, full + "/out.xlsx"}, "out.xlsx"},
        {{"convert", rep, full + "/out.xls"}, "out.xls"},
        {{"print", rep, "--pdf", full + "/out.pdf"}, "out.pdf"},
        {{"run", dir + "/c.shl"}, "run.xlsx"},
    };
    for (const auto& [args, file] : writers) {
        const auto r = qorRun(args);
        const QString err = QString::fromUtf8(r.err);
        const QString what = args.first() + ": " + err;
        EXPECT_EQ(r.exitCode, 1) << what.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("磁盘空间不足")) && err.contains(file))
            << what.toStdString();
        EXPECT_FALSE(err.contains(QStringLiteral("完成")) ||
                     err.contains(QStringLiteral("请联系支持人员")) ||
                     err.contains("nothing was printed"))
            << what.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << what.toStdString() << r.out.constData();
        EXPECT_FALSE(QFile::exists(full + "/" + file)) << what.toStdString();
    }

    // Not a block left: the PDF writer's own writes fail unseen, and the
    // print still names the full disk and leaves no empty PDF behind.
    {
        QFile filler(full + "/filler2");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    const auto printed = qorRun({"print", rep, "--pdf", full + "/zero.pdf"});
    EXPECT_EQ(printed.exitCode, 1) << printed.out.constData() << printed.err.constData();
    EXPECT_TRUE(QString::fromUtf8(printed.err).contains(QStringLiteral("磁盘空间不足")))
        << printed.err.constData();
    EXPECT_FALSE(QFile::exists(full + "/zero.pdf"));
}

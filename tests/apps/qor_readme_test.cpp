// The examples of the README and of the user guides in docs/, run as a new
// user runs them: every fenced block marked "<!-- runnable -->" runs, in
// order, with the built qor first on PATH, each file in a scratch folder of
// its own (a reader may open any of them first).
//
// A block whose lines start with "$ " is a transcript: each such line is a
// command, the lines after it up to the next command are what it prints on
// standard output (checked exactly when there are any), and a trailing
// "# exit N" says which exit code it ends with (0 otherwise). Any other
// block runs whole as a shell script that must succeed. A block marked
// "<!-- file: NAME -->" is written to NAME instead of being run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <functional>

#include "tests/common/testsupport.h"

namespace {

struct Block {
    enum Kind { Script, Transcript, File } kind = Script;
    QString fileName;
    QString source;  // the Markdown file it comes from, for failures
    int line = 0;    // of that file
    QStringList lines;
};

// The marked blocks of a Markdown text; `source` names it in failures.
QList<Block> markedBlocks(const QString& markdown,
                          const QString& source = QStringLiteral("README.md")) {
    static const QRegularExpression fileMarker(QStringLiteral("^<!--\\s*file:\\s*(\\S+)\\s*-->$"));
    static const QRegularExpression runMarker(QStringLiteral("^<!--\\s*runnable\\s*-->$"));
    QList<Block> out;
    const QStringList lines = markdown.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString marker = lines[i].trimmed();
        Block b;
        b.source = source;
        if (runMarker.match(marker).hasMatch()) {
            b.kind = Block::Script;
        } else if (const auto m = fileMarker.match(marker); m.hasMatch()) {
            b.kind = Block::File;
            b.fileName = m.captured(1);
        } else {
            continue;
        }
        int j = i + 1;
        while (j < lines.size() && lines[j].trimmed().isEmpty()) ++j;
        if (j >= lines.size() || !lines[j].startsWith(QLatin1String("```"))) {
            ADD_FAILURE() << source.toStdString() << " line " << i + 1
                          << ": a marker without a fenced block";
            continue;
        }
        b.line = j + 1;
        for (++j; j < lines.size() && !lines[j].startsWith(QLatin1String("```")); ++j)
            b.lines << lines[j];
        if (b.kind == Block::Script && !b.lines.isEmpty() && b.lines.first().startsWith("$ "))
            b.kind = Block::Transcript;
        out << b;
        i = j;
    }
    return out;
}

class Runner {
public:
    explicit Runner(const QString& dir) : m_dir(dir) {
        QDir().mkpath(dir + "/home");
        m_env = QProcessEnvironment::systemEnvironment();
        // The system's python3 (with the Debian packages the README's
        // commands install), whatever else the PATH holds.
        m_env.insert("PATH", QFileInfo(QStringLiteral(QOR_APP_BINARY)).absolutePath() +
                                 ":/usr/bin:" + m_env.value("PATH"));
        m_env.insert("QOR_HOME", dir + "/home");
        m_env.insert("QOR_REGISTRY", dir + "/home/registry.ini");
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("LC_ALL", "C.UTF-8");
    }

    qortest::ProcessResult shell(const QString& script) const {
        qortest::ProcessResult r;
        QProcess p;
        p.setWorkingDirectory(m_dir);
        p.setProcessEnvironment(m_env);
        p.start("/bin/sh", {"-e", "-c", script});
        if (!p.waitForStarted(10000)) return r;
        r.started = true;
        p.closeWriteChannel();
        p.waitForFinished(120000);
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    void run(const Block& b) {
        SCOPED_TRACE(QStringLiteral("%1 line %2").arg(b.source).arg(b.line).toStdString());
        switch (b.kind) {
            case Block::File: {
                QFile f(QDir(m_dir).filePath(b.fileName));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly));
                f.write((b.lines.join('\n') + '\n').toUtf8());
                return;
            }
            case Block::Script: {
                const auto r = shell(b.lines.join('\n'));
                EXPECT_EQ(r.exitCode, 0) << b.lines.join('\n').toStdString() << "\n"
                                         << r.err.constData();
                return;
            }
            case Block::Transcript:
                break;
        }
        static const QRegularExpression exitNote(QStringLiteral("\\s+#\\s*exit\\s+(\\d+)\\s*$"));
        for (int i = 0; i < b.lines.size();) {
            QString command = b.lines[i].mid(2);
            int expectedExit = 0;
            if (const auto m = exitNote.match(command); m.hasMatch()) {
                expectedExit = m.captured(1).toInt();
                command.truncate(m.capturedStart());
            }
            QStringList shown;
            for (++i; i < b.lines.size() && !b.lines[i].startsWith("$ "); ++i) shown << b.lines[i];
            while (!shown.isEmpty() && shown.last().trimmed().isEmpty()) shown.removeLast();
            const auto r = shell(command);
            EXPECT_EQ(r.exitCode, expectedExit) << command.toStdString() << "\n"
                                                << r.err.constData();
            if (shown.isEmpty()) continue;
            const QString out = QString::fromUtf8(r.out).trimmed();
            EXPECT_EQ(out.toStdString(), shown.join('\n').trimmed().toStdString())
                << command.toStdString();
        }
    }

private:
    QString m_dir;
    QProcessEnvironment m_env;
};

// The files whose examples run, relative to the source folder.
const QStringList& guides() {
    static const QStringList files{QStringLiteral("README.md"), QStringLiteral("docs/qor.md"),
                                   QStringLiteral("docs/qorview.md")};
    return files;
}

using qortest::sourceText;

TEST(Readme, MarkersAreFoundInAllTheirForms) {
    const QList<Block> blocks = markedBlocks(
        "text\n<!-- runnable -->\n```sh\n$ qor new a.rep\ncreated\n```\n"
        "```sh\nnot marked\n```\n<!-- file: x.shl -->\n\n```\nLET A1 = 1\n```\n"
        "<!--runnable-->\n```sh\necho one\necho two\n```\n");
    ASSERT_EQ(blocks.size(), 3);
    EXPECT_EQ(blocks[0].source, "README.md");
    EXPECT_EQ(blocks[0].line, 3);
    EXPECT_EQ(blocks[0].kind, Block::Transcript);
    EXPECT_EQ(blocks[0].lines, QStringList({"$ qor new a.rep", "created"}));
    EXPECT_EQ(blocks[1].kind, Block::File);
    EXPECT_EQ(blocks[1].fileName, "x.shl");
    EXPECT_EQ(blocks[2].kind, Block::Script);
    EXPECT_EQ(blocks[2].lines.size(), 2);
}

TEST(Readme, EveryRunnableExampleRunsAsWritten) {
    QList<QList<Block>> perFile;
    for (const QString& file : guides()) {
        const QString text = sourceText(file);
        ASSERT_FALSE(text.isEmpty()) << file.toStdString() << " not found";
        perFile << markedBlocks(text, file);
    }
    // The README and the manual walk through a whole first hour; a lost
    // marker would quietly stop checking them.
    int transcripts = 0;
    for (const QList<Block>& blocks : perFile)
        for (const Block& b : blocks) transcripts += b.kind == Block::Transcript;
    ASSERT_GE(transcripts, 5);
    for (qsizetype i = 0; i < perFile.size(); ++i) {
        Runner runner(qortest::freshDir(QStringLiteral("readme-%1").arg(i)));
        for (const Block& b : perFile[i]) {
            runner.run(b);
            if (HasFatalFailure()) return;
        }
    }
}

// A heading's anchor as the usual Markdown renderers make it: lower case,
// no punctuation, blanks as hyphens ("Reading .xlsx: ours" gives
// "reading-xlsx-ours").
QString anchorOf(QString heading) {
    static const QRegularExpression drop(QStringLiteral("[^\\w\\- ]"),
                                         QRegularExpression::UseUnicodePropertiesOption);
    heading = heading.toLower().remove(drop);
    return heading.replace(u' ', u'-');
}

// The anchors of a Markdown text's headings (outside fenced blocks), and
// its links to other files of the source folder, with the line of each.
struct MarkdownParts {
    QStringList anchors;
    QList<std::pair<int, QString>> links;
};

// Calls each(line number from 1, line) for the lines outside fenced blocks.
void forEachProseLine(const QString& markdown,
                      const std::function<void(int, const QString&)>& each) {
    bool fenced = false;
    const QStringList lines = markdown.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String("```"))) fenced = !fenced;
        if (!fenced) each(i + 1, lines[i]);
    }
}

MarkdownParts partsOf(const QString& markdown) {
    static const QRegularExpression link(QStringLiteral("\\[[^\\]]*\\]\\(([^)\\s]+)\\)"));
    MarkdownParts out;
    forEachProseLine(markdown, [&](int number, const QString& line) {
        if (line.startsWith(u'#')) out.anchors << anchorOf(line.section(u' ', 1).trimmed());
        for (auto it = link.globalMatch(line); it.hasNext();) {
            const QString target = it.next().captured(1);
            if (!target.contains(QLatin1String("://")) &&
                !target.startsWith(QLatin1String("mailto:")))
                out.links << std::pair{number, target};
        }
    });
    return out;
}

TEST(Readme, AnchorsAndLinksAreFoundAsRenderersMakeThem) {
    EXPECT_EQ(anchorOf("Reading .xlsx: our own event reader, not liborcus"),
              "reading-xlsx-our-own-event-reader-not-liborcus");
    EXPECT_EQ(anchorOf("Using `qor`"), "using-qor");
    const MarkdownParts parts = partsOf(
        "# Using `qor`\n\nSee [the guide](docs/qorview.md#menus) and [web](https://x.cn).\n"
        "```\n# not a heading [x](nowhere.md)\n```\n## Files, folders\n");
    EXPECT_EQ(parts.anchors, QStringList({"using-qor", "files-folders"}));
    ASSERT_EQ(parts.links.size(), 1);
    EXPECT_EQ(parts.links[0], (std::pair{3, QStringLiteral("docs/qorview.md#menus")}));
}

// The README and the guides link to each other and to the decisions kept by
// area: every such link reaches a file, and a heading of it when it names
// one, so moving a part of a guide cannot leave a reader at a dead link.
TEST(Readme, LinksBetweenTheGuidesReachTheirFileAndHeading) {
    QStringList files{QStringLiteral("README.md")};
    for (const QString& folder : {QStringLiteral("docs"), QStringLiteral("docs/decisions")})
        for (const QString& name : QDir(QStringLiteral(QOR_SOURCE_DIR "/") + folder)
                                       .entryList({QStringLiteral("*.md")}, QDir::Files))
            files << folder + u'/' + name;
    int checked = 0;
    for (const QString& file : files) {
        const MarkdownParts parts = partsOf(sourceText(file));
        const QString folder = QFileInfo(file).path();
        for (const auto& [line, target] : parts.links) {
            SCOPED_TRACE(
                QStringLiteral("%1 line %2: %3").arg(file).arg(line).arg(target).toStdString());
            const QString path = target.section(u'#', 0, 0);
            const QString anchor = target.section(u'#', 1);
            const QString resolved = path.isEmpty() ? file : QDir::cleanPath(folder + u'/' + path);
            const QString text = sourceText(resolved);
            ASSERT_FALSE(text.isEmpty()) << "no file " << resolved.toStdString();
            if (!anchor.isEmpty()) {
                EXPECT_TRUE(partsOf(text).anchors.contains(anchor))
                    << "no heading #" << anchor.toStdString();
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
}

// The verbs of `qor`: the ones its help names ("  qor VERB ..." at the
// start of a block, or after "|" in a block of two) and the ones of its
// verb table, so that a verb left out of the help is not left out here.
QStringList knownVerbs() {
    static const QRegularExpression inHelp(QStringLiteral("(?:^  |\\|\\s*)qor ([a-z][\\w-]*)"));
    static const QRegularExpression inTable(
        QStringLiteral("\\{\"([a-z][\\w-]*)\",\\s*qor::app::verb"));
    QStringList verbs;
    const auto help = qortest::run(QStringLiteral(QOR_APP_BINARY), {QStringLiteral("--help")});
    for (const QString& line : QString::fromUtf8(help.out).split(u'\n'))
        if (line.startsWith(QLatin1String("  qor ")))
            for (auto it = inHelp.globalMatch(line); it.hasNext();) verbs << it.next().captured(1);
    for (auto it = inTable.globalMatch(sourceText(QStringLiteral("apps/qor/main.cpp")));
         it.hasNext();)
        verbs << it.next().captured(1);
    verbs.removeDuplicates();
    return verbs;
}

// A heading of a Markdown text and what its section holds: the verbs its
// usage lines name (indented lines "    qor VERB ...") and the text of its
// runnable examples.
struct ManualSection {
    QString heading;
    QStringList usage;
    QStringList examples;
};

QList<ManualSection> manualSections(const QString& markdown, const QString& source) {
    static const QRegularExpression usageVerb(QStringLiteral("(?:^|\\|\\s*)qor ([a-z][\\w-]*)"));
    QList<ManualSection> sections{{}};
    QList<int> starts{0};
    forEachProseLine(markdown, [&](int number, const QString& line) {
        if (line.startsWith(u'#')) {
            sections << ManualSection{line.section(u' ', 1).trimmed(), {}, {}};
            starts << number;
        } else if (line.startsWith(QLatin1String("    qor "))) {
            // The command part: up to the blanks before its explanation.
            const QString command = line.trimmed().section(QStringLiteral("  "), 0, 0);
            for (auto it = usageVerb.globalMatch(command); it.hasNext();)
                sections.last().usage << it.next().captured(1);
        }
    });
    for (const Block& b : markedBlocks(markdown, source)) {
        if (b.kind == Block::File) continue;
        int at = 0;
        while (at + 1 < starts.size() && starts[at + 1] <= b.line) ++at;
        sections[at].examples << b.lines.join(u'\n');
    }
    return sections;
}

TEST(Readme, ManualSectionsAreFoundWithTheirUsageAndExamples) {
    const QList<ManualSection> s = manualSections(
        "# Using\n\n    qor new FILE [--rows N]   create\n"
        "## Two\n    qor register | qor unregister   write or remove\n"
        "<!-- runnable -->\n```sh\n$ qor register\n```\n<!-- file: a.txt -->\n```\nqor x\n```\n"
        "```sh\n    qor not-usage\n```\n",
        QStringLiteral("x.md"));
    ASSERT_EQ(s.size(), 3);
    EXPECT_EQ(s[1].usage, QStringList({"new"}));
    EXPECT_EQ(s[2].heading, "Two");
    EXPECT_EQ(s[2].usage, QStringList({"register", "unregister"}));
    EXPECT_EQ(s[2].examples, QStringList({"$ qor register"}));
}

// Every verb has its usage line in docs/qor.md, and the section that holds
// it an example that runs the verb (the test above runs it).
TEST(Readme, EveryVerbHasASectionWithARunnableExample) {
    const QStringList verbs = knownVerbs();
    ASSERT_GE(verbs.size(), 25) << "the verbs of qor were not found";
    const QString manual = QStringLiteral("docs/qor.md");
    const QList<ManualSection> sections = manualSections(sourceText(manual), manual);
    for (const QString& verb : verbs) {
        const QRegularExpression runs(
            QStringLiteral("(?:^|[\\s;|&(])qor %1(?:\\s|$)").arg(QRegularExpression::escape(verb)),
            QRegularExpression::MultilineOption);
        QStringList headings;
        bool example = false;
        for (const ManualSection& s : sections) {
            if (!s.usage.contains(verb)) continue;
            headings << s.heading;
            for (const QString& e : s.examples) example = example || runs.match(e).hasMatch();
        }
        EXPECT_FALSE(headings.isEmpty())
            << "qor " << verb.toStdString() << " has no usage line (\"    qor "
            << verb.toStdString() << " ...\") in " << manual.toStdString();
        EXPECT_TRUE(headings.isEmpty() || example)
            << "qor " << verb.toStdString() << ": its section of " << manual.toStdString() << " (\""
            << headings.join(QStringLiteral("\", \"")).toStdString()
            << "\") has no <!-- runnable --> example that runs it";
    }
}

}  // namespace

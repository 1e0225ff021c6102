// The generated command ids: the header says what commands.tsv says, and
// no source file gives a command a number of its own again, neither as a
// constant nor as a literal handed to the command router.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "resources/commandids.h"
#include "resources/tsvtable.h"

using namespace qor::res;

namespace {

QString readText(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return QString::fromUtf8(f.readAll());
}

// id -> name, as the table lists them.
QHash<int, QString> tableNames() {
    const QString path = QStringLiteral(QOR_TEST_SOURCE_DIR "/resources/commands.tsv");
    const TsvParseResult parsed = parseTsv(readText(path).toUtf8(), 3, 5);
    EXPECT_TRUE(parsed.errors.isEmpty()) << parsed.errors.join(u'\n').toStdString();
    QHash<int, QString> names;
    for (const TsvRecord& r : parsed.records) names.insert(parseTsvId(r.fields[0]).value_or(-1), r.fields[1]);
    return names;
}

// The product and test sources, without build folders.
QStringList sourceFiles() {
    QStringList files;
    const QString root = QStringLiteral(QOR_TEST_SOURCE_DIR);
    QDirIterator it(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = path.mid(root.size() + 1);
        if (rel.startsWith(u"build") || rel.startsWith(u'.')) continue;
        files << rel;
    }
    return files;
}

// The text of a line before its comment.
QString code(const QString& line) {
    const qsizetype at = line.indexOf(QStringLiteral("//"));
    return at < 0 ? line : line.left(at);
}

}  // namespace

TEST(CommandIds, TheGeneratedHeaderIsTheTable) {
    const QHash<int, QString> names = tableNames();
    const QString header =
        readText(QStringLiteral(QOR_TEST_BINARY_DIR "/generated/resources/commandids.h"));
    static const QRegularExpression constant(
        QStringLiteral(R"(inline constexpr int (\w+) = (\d+);)"));
    QHash<int, QString> generated;
    for (const auto& m : constant.globalMatch(header)) generated.insert(m.captured(2).toInt(), m.captured(1));
    EXPECT_EQ(generated, names);
    // A few the code leans on, through the compiled constants themselves.
    EXPECT_EQ(names.value(qor::cmd_ids::kCmdFileNew), u"kCmdFileNew");
    EXPECT_EQ(names.value(qor::cmd_ids::kCmdEnterData), u"kCmdEnterData");
    EXPECT_EQ(qor::cmd_ids::kCmdChartType9 - qor::cmd_ids::kCmdChartType0, 9);
}

TEST(CommandIds, NoSourceGivesACommandANumberOfItsOwn) {
    const QHash<int, QString> names = tableNames();
    // Constants that share a number with a command but name something else.
    const QSet<QString> notCommands = {
        QStringLiteral("cmdlang/cmdtexts.h:kTxtCellFailed"),
        QStringLiteral("cmdlang/cmdtexts.h:kTxtVarPositionUnread"),
        QStringLiteral("cmdlang/cmdtexts.h:kTxtNotCompiled"),
    };
    static const QRegularExpression definition(QStringLiteral(R"(\b(k\w+)\s*=\s*(\d+)\b)"));
    static const QRegularExpression routed(
        QStringLiteral(R"(\b(OnCommand|OnUpdateCommand|Execute|Query|Action|FindAction)\(\s*(\d+)\s*[,)])"));
    QStringList faults;
    const QStringList files = sourceFiles();
    ASSERT_GT(files.size(), 500);
    for (const QString& rel : files) {
        const QStringList lines =
            readText(QStringLiteral(QOR_TEST_SOURCE_DIR "/") + rel).split(u'\n');
        for (qsizetype n = 0; n < lines.size(); ++n) {
            const QString text = code(lines[n]);
            const QString where = QStringLiteral("%1:%2: ").arg(rel).arg(n + 1);
            for (const auto& m : definition.globalMatch(text)) {
                const int id = m.captured(2).toInt();
                if (names.contains(id) && !notCommands.contains(rel + u':' + m.captured(1)))
                    faults << where + m.captured(0) + QStringLiteral(" (use cmd_ids::") +
                                  names.value(id) + u')';
            }
            for (const auto& m : routed.globalMatch(text))
                if (names.contains(m.captured(2).toInt()))
                    faults << where + m.captured(0).trimmed();
        }
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

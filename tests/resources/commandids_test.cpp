// The generated command ids: the header says what commands.tsv says, and
// no source file gives a command a number of its own again, neither as a
// constant nor as a literal handed to the command router.
#include "resources/commandids.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include "resources/tsvtable.h"
#include "tests/resources/sourcetree.h"

using namespace qor::res;

namespace {

// id -> name, as the table lists them.
QHash<int, QString> tableNames() {
    const QString path = QStringLiteral(QOR_TEST_SOURCE_DIR "/resources/commands.tsv");
    const TsvParseResult parsed = parseTsv(readSourceText(path).toUtf8(), 3, 5);
    EXPECT_TRUE(parsed.errors.isEmpty()) << parsed.errors.join(u'\n').toStdString();
    QHash<int, QString> names;
    for (const TsvRecord& r : parsed.records) names.insert(parseTsvId(r.fields[0]).value_or(-1), r.fields[1]);
    return names;
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
        readSourceText(QStringLiteral(QOR_TEST_BINARY_DIR "/generated/resources/commandids.h"));
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
    // Constants that share a number with a command but name something else
    // (none today: the string ids are named by resources/stringids.h).
    const QSet<QString> notCommands;
    static const QRegularExpression definition(QStringLiteral(R"(\b(k\w+)\s*=\s*(\d+)\b)"));
    static const QRegularExpression routed(
        QStringLiteral(R"(\b(OnCommand|OnUpdateCommand|Execute|Query|Action|FindAction)\(\s*(\d+)\s*[,)])"));
    QStringList faults;
    const QStringList files = sourceFiles();
    ASSERT_GT(files.size(), 500);
    for (const QString& rel : files) {
        const QStringList lines =
            readSourceText(QStringLiteral(QOR_TEST_SOURCE_DIR "/") + rel).split(u'\n');
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

// A command target decides its commands in the rows of its table
// (document/commandtable.h): a `case` over command ids would be a second
// place where a command is decided, one the table and its reasons never see.
TEST(CommandIds, NoCodeDecidesACommandInASwitch) {
    static const QRegularExpression caseOfCommand(
        QStringLiteral(R"(\bcase\s+(qor::)?(cmd_ids::)?kCmd\w+\s*:)"));
    QStringList faults;
    for (const QString& rel : sourceFiles()) {
        if (rel.startsWith(u"tests/")) continue;
        const QStringList lines =
            readSourceText(QStringLiteral(QOR_TEST_SOURCE_DIR "/") + rel).split(u'\n');
        for (qsizetype n = 0; n < lines.size(); ++n)
            if (caseOfCommand.match(code(lines[n])).hasMatch())
                faults << QStringLiteral("%1:%2: %3").arg(rel).arg(n + 1).arg(lines[n].trimmed());
    }
    EXPECT_TRUE(faults.isEmpty()) << faults.join(u'\n').toStdString();
}

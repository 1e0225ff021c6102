// The built-in string, command and template tables: what the rest of the
// system relies on finding, and the health of the table files themselves.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <thread>
#include <vector>

#include "resources/commandids.h"
#include "resources/stringids.h"
#include "resources/stringtable.h"
#include "resources/tsvtable.h"

using namespace qor::cmd_ids;
using namespace qor::res;

namespace {

QString text(int id) { return stringText(id).value_or(QStringLiteral("<missing>")); }

QByteArray sourceTable(const char* name) {
    QFile f(QStringLiteral(QOR_TEST_SOURCE_DIR "/resources/") + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

}  // namespace

TEST(StringTable, LoadsWithoutProblems) {
    EXPECT_TRUE(tableProblems().isEmpty()) << tableProblems().join(u'\n').toStdString();
    EXPECT_GT(stringCount(), 500);
    EXPECT_GT(commandCount(), 50);
    EXPECT_GT(templateCount(), 50);
    EXPECT_EQ(stringIds().size(), stringCount());
}

TEST(StringTable, MessagesKeepTheirExactText) {
    EXPECT_EQ(text(qor::str::kSheetName), u"第%i页");
    EXPECT_EQ(text(qor::str::kUnsupportedXml), u"不支持该格式的XML文件");
    EXPECT_EQ(text(qor::str::kBadNumberList), u"输入错误！标准输入如：1,8,14");
    EXPECT_EQ(text(qor::str::kInsertPageNoDiskSpace), u"硬盘空间不够！插入表页失败！");
    EXPECT_EQ(text(qor::str::kIndicatorStart),
              u"开始第- %d -个指标计算, 指标编号 - %s - , 指标名称 - %s -");
    EXPECT_EQ(text(qor::str::kAppTitle), u"Vantix软件");
}

TEST(StringTable, EscapesBecomeControlCharactersAndBlanksStay) {
    EXPECT_EQ(text(qor::str::kPageNumberFormat), u"第 %u 页 \n第 %u 页-第 %u 页 \n");
    EXPECT_EQ(text(qor::str::kFileExistsOverwriteQuestion),
              u"\r\n文件已经存在！\r\n\r\n是否覆盖？");
    EXPECT_EQ(text(qor::str::kSampleFolder), u"\\样表\\");  // a path piece, not an escape
    EXPECT_EQ(text(qor::str::kOpenSpaced), u" 打开 ");
    EXPECT_EQ(text(qor::str::kIsOpened), u" 已打开");
    EXPECT_EQ(text(qor::str::kMailDllNotFound), u"没有发现文件 vtmail8.dll ");
    // Texts that were written in code before: their line feeds and blanks
    // stay exactly where the code had them.
    EXPECT_EQ(text(qor::str::kFileNotFoundCheckName), u"\r\n找不到文件，请检查文件名。");
    EXPECT_EQ(text(qor::str::kFileInfoPath), u"%1\n\n路径：%2\n");
    EXPECT_EQ(text(qor::str::kErrorLogTooLarge), u"日志文件%1已超过64K字节，是否清除？\n选择“否”将把它另存为%2，再开始新的日志。");
    EXPECT_EQ(text(qor::str::kPageTab), u" 第%1页");
}

// Names the exchange formats compare against: a wrong one silently breaks
// fonts, keywords and currency formats.
TEST(StringTable, FontKeywordAndCurrencyNames) {
    const char16_t* fonts[] = {u"宋体",  u"仿宋_GB2312",  u"黑体",  u"楷体_GB2312",
                               u"@宋体", u"@仿宋_GB2312", u"@黑体", u"@楷体_GB2312"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(text(qor::str::kFontName0 + i), fonts[i]) << qor::str::kFontName0 + i;

    const char16_t* keywords[] = {u"单位编号", u"单位名称", u"年", u"季", u"月", u"日"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(text(qor::str::kKeywordUnitCode + i), keywords[i])
            << qor::str::kKeywordUnitCode + i;

    EXPECT_EQ(text(qor::str::kCurrencySymbol0), u"￥");
    EXPECT_EQ(text(qor::str::kCurrencySymbol1), u"＄");
    EXPECT_EQ(text(qor::str::kCurrencySymbol2), u"￡");
    EXPECT_EQ(text(qor::str::kCurrencySymbol3), u"￠");
    EXPECT_EQ(text(qor::str::kCurrencySymbol4), u"／");
    const char16_t* names[] = {u"元", u"美元", u"英镑", u"克朗", u"先令"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(text(qor::str::kCurrencyName0 + i), names[i]) << qor::str::kCurrencyName0 + i;
}

// Tables that refer to a string by its name find the same row the code's
// constant names.
TEST(StringTable, NamesLeadToTheirIds) {
    EXPECT_EQ(stringIdOf(u"kAppTitle"), qor::str::kAppTitle);
    EXPECT_EQ(stringIdOf(u"kPtotalDescription"), qor::str::kPtotalDescription);
    for (const char16_t* unknown : {u"", u"kNoSuchString", u"57344", u"kapptitle"})
        EXPECT_FALSE(stringIdOf(unknown).has_value()) << QString::fromUtf16(unknown).toStdString();
}

TEST(StringTable, UnknownIdsGiveNothing) {
    for (int id : {0, -1, 1, 62048, 62738, 63138, 65535, 1 << 30})
        EXPECT_FALSE(stringText(id).has_value()) << id;
}

TEST(StringTable, FirstUseFromManyThreadsAgrees) {
    std::vector<std::thread> threads;
    std::vector<QString> seen(8);
    for (size_t i = 0; i < seen.size(); ++i)
        threads.emplace_back(
            [&seen, i] { seen[i] = stringText(qor::str::kFinish).value_or(QString()); });
    for (auto& t : threads) t.join();
    for (const QString& s : seen) EXPECT_EQ(s, u"完成");
}

TEST(CommandTable, CaptionsAndPrompts) {
    EXPECT_EQ(commandCaption(kCmdCopy), u"复制[&C]");
    EXPECT_EQ(commandCaption(kCmdImportOwnXml), u"从XML导入");
    EXPECT_EQ(commandPrompt(kCmdDisplayScale), u"改变显示的比例数");
    // A command known only by its prompt has no caption.
    EXPECT_FALSE(commandCaption(kCmdInputConfirm).has_value());
    EXPECT_EQ(commandPrompt(kCmdInputConfirm), u"把输入的内容加入到单元\n输入确认（Enter）");
    const auto newFile = commandInfo(kCmdFileNew);
    ASSERT_TRUE(newFile.has_value());
    EXPECT_EQ(newFile->name, u"kCmdFileNew");
    EXPECT_FALSE(commandInfo(12345).has_value());
    EXPECT_FALSE(commandPrompt(12345).has_value());
}

TEST(TemplateTable, DialogsAndControls) {
    EXPECT_EQ(templateCaption(536), u"导出设置");
    const auto exportSet = templateInfo(536);
    ASSERT_TRUE(exportSet.has_value());
    EXPECT_EQ(exportSet->className, u"CExportSetDlg");
    ASSERT_EQ(exportSet->controls.size(), 6);  // OK, Cancel and the four checks
    EXPECT_EQ(exportSet->controls.front().id, 1);  // sorted by id
    EXPECT_EQ(exportSet->controls.at(2).id, 1277);
    EXPECT_EQ(controlInfo(536, 1280)->caption, u"全部");
    EXPECT_EQ(controlInfo(151, 1)->name, u"IDOK");
    // The insert-count dialog sets its caption itself.
    EXPECT_TRUE(templateInfo(182).has_value());
    EXPECT_FALSE(templateCaption(182).has_value());
    EXPECT_FALSE(controlInfo(536, 9999).has_value());
    EXPECT_FALSE(controlInfo(1, 1).has_value());
}

// The checked-in files, read with the same reader: every line parses, ids
// are unique, and the compiled copy is the current one.
TEST(TableFiles, StringsParseUniqueAndMatchTheBuild) {
    const TsvParseResult p = parseTsv(sourceTable("strings.tsv"), 3, 4);
    EXPECT_TRUE(p.errors.isEmpty()) << p.errors.join(u'\n').toStdString();
    QSet<int> ids;
    QSet<QString> names;
    static const QRegularExpression namePattern(QStringLiteral("^k[A-Z][A-Za-z0-9]*$"));
    for (const TsvRecord& r : p.records) {
        const auto id = parseTsvId(r.fields[0]);
        ASSERT_TRUE(id.has_value()) << "line " << r.line;
        EXPECT_FALSE(ids.contains(*id)) << "repeated id " << *id << " line " << r.line;
        ids.insert(*id);
        const QString& name = r.fields[1];
        EXPECT_TRUE(namePattern.match(name).hasMatch()) << "line " << r.line;
        EXPECT_FALSE(names.contains(name)) << "repeated name line " << r.line;
        names.insert(name);
        EXPECT_EQ(stringText(*id), r.fields[2]) << *id;
        EXPECT_FALSE(r.fields[2].isEmpty()) << *id;
    }
    EXPECT_EQ(ids.size(), stringCount());
}

TEST(TableFiles, CommandsAndTemplatesParseAndAreUnique) {
    const TsvParseResult c = parseTsv(sourceTable("commands.tsv"), 3, 5);
    EXPECT_TRUE(c.errors.isEmpty()) << c.errors.join(u'\n').toStdString();
    QSet<int> ids;
    for (const TsvRecord& r : c.records) {
        const auto id = parseTsvId(r.fields[0]);
        ASSERT_TRUE(id.has_value()) << "line " << r.line;
        EXPECT_FALSE(ids.contains(*id)) << "repeated command " << *id;
        ids.insert(*id);
    }
    EXPECT_EQ(ids.size(), commandCount());

    const TsvParseResult t = parseTsv(sourceTable("templates.tsv"), 5, 6);
    EXPECT_TRUE(t.errors.isEmpty()) << t.errors.join(u'\n').toStdString();
    QSet<QPair<int, int>> keys;
    for (const TsvRecord& r : t.records) {
        const auto tid = parseTsvId(r.fields[0]);
        ASSERT_TRUE(tid.has_value()) << "line " << r.line;
        const int cid = r.fields[1].isEmpty() ? -1 : parseTsvId(r.fields[1]).value_or(-2);
        EXPECT_NE(cid, -2) << "line " << r.line;
        EXPECT_FALSE(keys.contains({*tid, cid})) << "repeated row at line " << r.line;
        keys.insert({*tid, cid});
    }
}

TEST(TsvReader, EscapesRoundTripAndBrokenOnesAreRefused) {
    const QString odd = QStringLiteral("a\tb\nc\r\\n\\");
    EXPECT_EQ(unescapeTsvField(escapeTsvField(odd)), odd);
    EXPECT_EQ(unescapeTsvField(u"x\\\\y"), u"x\\y");
    EXPECT_FALSE(unescapeTsvField(u"ends with \\").has_value());
    EXPECT_FALSE(unescapeTsvField(u"\\q").has_value());
}

TEST(TsvReader, LinesCommentsAndFieldCounts) {
    const QByteArray data =
        "\xEF\xBB\xBF# comment\r\n"
        "\n"
        "1\tone\r\n"
        "2\n"                  // too few fields
        "3\ta\tb\tc\n"         // too many
        "4\tbad \\x escape\n"  // refused, not guessed
        "5\t  blanks kept  ";  // no final line break
    const TsvParseResult p = parseTsv(data, 2, 3);
    ASSERT_EQ(p.records.size(), 2);
    EXPECT_EQ(p.records[0].line, 3);
    EXPECT_EQ(p.records[0].fields, QStringList({"1", "one"}));
    EXPECT_EQ(p.records[1].fields[1], u"  blanks kept  ");
    ASSERT_EQ(p.errors.size(), 3);
    EXPECT_TRUE(p.errors[0].startsWith(u"line 4:"));
    EXPECT_TRUE(p.errors[2].startsWith(u"line 6:"));
}

TEST(TsvReader, InvalidUtf8AndBadIds) {
    EXPECT_FALSE(parseTsv("1\t\xFF\xFE\n", 2, 3).errors.isEmpty());
    EXPECT_EQ(parseTsvId(u"62015"), 62015);  // a parsed number, not a string id
    EXPECT_EQ(parseTsvId(u"-1"), -1);
    for (const char16_t* bad : {u"", u"-", u"+5", u" 5", u"5 ", u"0x10", u"99999999999"})
        EXPECT_FALSE(parseTsvId(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

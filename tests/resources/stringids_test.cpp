// The generated string ids: no source file hands the string table a number
// of its own again; every message is named after resources/strings.tsv
// (scripts/name-string-ids.py rewrites what still does).
#include "resources/stringids.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "resources/stringtable.h"
#include "tests/resources/sourcetree.h"

namespace {

// The code of a text: comments and the insides of string literals blanked,
// so that neither a remark nor a quoted example counts as a call.
QString codeOnly(const QString& text) {
    QString out = text;
    enum { Code, Line, Block, Str, Chr } state = Code;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out[i];
        const QChar next = i + 1 < out.size() ? out[i + 1] : QChar();
        switch (state) {
            case Code:
                if (c == u'/' && next == u'/')
                    state = Line;
                else if (c == u'/' && next == u'*')
                    state = Block;
                else if (c == u'"')
                    state = Str;
                else if (c == u'\'' && !(i > 0 && out[i - 1].isLetterOrNumber()))
                    state = Chr;
                continue;
            case Line:
                if (c == u'\n')
                    state = Code;
                else
                    out[i] = u' ';
                continue;
            case Block:
                if (c == u'*' && next == u'/') state = Code, out[i + 1] = u' ', ++i;
                if (c != u'\n') out[i] = u' ';
                continue;
            case Str:
            case Chr:
                if (c == u'\\') {
                    out[i] = u' ';
                    if (i + 1 < out.size() && out[i + 1] != u'\n') out[++i] = u' ';
                } else if (c == (state == Str ? u'"' : u'\'') || c == u'\n') {
                    state = Code;
                } else {
                    out[i] = u' ';
                }
                continue;
        }
    }
    return out;
}

// The functions that take a string id: the first argument, or the second
// after an output pointer.
const QRegularExpression& literalIdCall() {
    static const QRegularExpression re(QStringLiteral(
        R"(\b(LoadErrorText|messageText|stringText|LoadStringText|CmdText|ShowMessageId|tellId))"
        R"(\(\s*(?:&?[\w.>-]+\s*,\s*)?-?\d+\s*[,)])"));
    return re;
}

}  // namespace

TEST(StringIds, TheCheckSeesCallsButNotCommentsOrTexts) {
    const QString sample = QStringLiteral(
        "LoadErrorText(62004);\n"
        "LoadErrorText(&out, 62005);\n"
        "qor::messageText( 1, fallback);\n"
        "// LoadErrorText(62006) in a remark\n"
        "/* stringText(7) */ QStringLiteral(\"CmdText(8)\");\n"
        "LoadErrorText(str::kPasteFailed); LoadErrorText(base + 2); LoadErrorText(v2);\n");
    QStringList found;
    for (const auto& m : literalIdCall().globalMatch(codeOnly(sample))) found << m.captured(0);
    EXPECT_EQ(found, QStringList({QStringLiteral("LoadErrorText(62004)"),
                                  QStringLiteral("LoadErrorText(&out, 62005)"),
                                  QStringLiteral("messageText( 1,")}));
}

TEST(StringIds, NoSourcePassesANumberToTheStringTable) {
    QStringList faults;
    const QStringList files = sourceFiles();
    ASSERT_GT(files.size(), 500);
    for (const QString& rel : files) {
        const QString text =
            codeOnly(readSourceText(QStringLiteral(QOR_TEST_SOURCE_DIR "/") + rel));
        for (const auto& m : literalIdCall().globalMatch(text)) {
            const qsizetype line = text.left(m.capturedStart()).count(u'\n') + 1;
            faults << QStringLiteral("%1:%2: %3").arg(rel).arg(line).arg(m.captured(0));
        }
    }
    EXPECT_TRUE(faults.isEmpty()) << "name the ids (scripts/name-string-ids.py):\n"
                                  << faults.join(u'\n').toStdString();
}

// The names stand for the rows they were made from; the families the code
// counts through keep their order.
TEST(StringIds, NamesReachTheirTexts) {
    using namespace qor::str;
    EXPECT_EQ(qor::res::stringText(kAppTitle), u"Vantix软件");
    EXPECT_EQ(qor::res::stringText(kNoReportOpen), u"没有打开的报表");
    EXPECT_EQ(kFontName7 - kFontName0, 7);
    EXPECT_EQ(kKeywordDay - kKeywordUnitCode, 5);
    EXPECT_EQ(kCurrencyName4 - kCurrencyName0, 4);
    EXPECT_EQ(kFontStyleBoldItalicUnderline - kFontStyleRegular, 7);
}

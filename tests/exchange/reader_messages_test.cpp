// What the readers of other programs' files say when a file does not read
// reaches the desktop's message boxes as it is: every reason is a table
// text in the user's language, naming the part, cell or line it is about.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include "exchange/ownxml_import.h"
#include "exchange/spreadsheetxml.h"
#include "exchange/workbook_read.h"
#include "exchange/xmldom.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using namespace qor;

// Two English words in a row: a sentence that was not translated. Names
// of parts, records and elements ("xl/styles.xml", "LABELSST") pass.
bool hasEnglishPhrase(const QString& text) {
    static const QRegularExpression phrase(QStringLiteral("\\b[A-Za-z]{2,} [a-z]{2,}\\b"));
    return phrase.match(text).hasMatch();
}

QString workbookError(const QString& path) {
    try {
        ReadWorkbookFile(path);
    } catch (const XlError& e) {
        return e.description;
    }
    return QString();
}

TEST(ReaderMessages, WorkbookReadersGiveTheirReasonsInChinese) {
    const QString dir = oxtest::testDir();
    const struct {
        const char* name;
        QByteArray bytes;
        const char* said;
    } files[] = {
        {"junk.xlsx", "PK\x03\x04 this is not really a zip file", "不是工作簿文件"},
        {"text.xls", "a,b\n1,2\n", "不是工作簿文件"},
        {"cut.xls", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(100, '\0'),
         "不能读取“cut.xls”：不是工作簿文件"},
    };
    for (const auto& f : files) {
        ASSERT_TRUE(xmltest::writeAll(dir + "/" + f.name, f.bytes));
        const QString why = workbookError(dir + "/" + f.name);
        EXPECT_TRUE(why.contains(QString::fromUtf8(f.said))) << f.name << ": " << why.toStdString();
        EXPECT_FALSE(hasEnglishPhrase(why)) << f.name << ": " << why.toStdString();
    }
}

TEST(ReaderMessages, XmlParseErrorsNameTheLineInChinese) {
    QString error;
    EXPECT_TRUE(XmlDocument::parse("<r>\n<a>\n</r>", &error).isNull());
    EXPECT_EQ(error, QStringLiteral("第3行：不是格式正确的XML"));
    EXPECT_TRUE(XmlDocument::parse("", &error).isNull());
    EXPECT_EQ(error, QStringLiteral("文件不完整"));
    EXPECT_TRUE(
        XmlDocument::parse("<?xml version=\"1.0\" encoding=\"GB2312\"?><r>\xFF\xFF</r>", &error)
            .isNull());
    EXPECT_TRUE(error.contains(QStringLiteral("GB2312/GBK"))) << error.toStdString();
    EXPECT_FALSE(hasEnglishPhrase(error)) << error.toStdString();
}

TEST(ReaderMessages, SpreadsheetAndOwnXmlFilesThatDoNotReadSaySoInChinese) {
    const QString dir = oxtest::testDir();
    ASSERT_TRUE(xmltest::writeAll(dir + "/empty.xml",
                                  "<?xml version=\"1.0\"?><Workbook "
                                  "xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\"/>"));
    auto h = oxtest::newReport(dir + "/s.rep", 2, 2);
    const SpreadsheetXmlImport r = ImportSpreadsheetXml(*h, dir + "/empty.xml");
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.contains(QStringLiteral("工作簿中没有工作表"))) << r.error.toStdString();
    EXPECT_FALSE(hasEnglishPhrase(r.error)) << r.error.toStdString();

    // A cell element without its row: the element is named by its number.
    ASSERT_TRUE(xmltest::writeAll(dir + "/own.xml",
                                  "<iqor_export><cell_property><height>18</height><width>9</width>"
                                  "</cell_property></iqor_export>"));
    auto o = oxtest::newReport(dir + "/o.rep");
    const OwnXmlImportResult own = ImportOwnXmlReport(*o, dir + "/own.xml");
    EXPECT_EQ(own.result, 0);
    EXPECT_TRUE(own.detail.startsWith(QStringLiteral("第1个单元元素不正确：<")))
        << own.detail.toStdString();
    EXPECT_FALSE(hasEnglishPhrase(own.detail)) << own.detail.toStdString();
}

}  // namespace

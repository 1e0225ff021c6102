// What the readers of other programs' files say when a file does not read
// reaches the desktop's message boxes as it is: every reason is a table
// text in the user's language, naming the part, cell or line it is about.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <cerrno>

#include "engine/messages.h"
#include "exchange/recordquery.h"
#include "exchange/workbook_model.h"
#include "reader/cadoconnection.h"
#include "reader/cadoexception.h"
#include "reader/creader.h"

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

template <typename F>
QString xlError(F call) {
    try {
        call();
    } catch (const XlError& e) {
        return e.description;
    }
    return QString();
}

// A save that fails names its reason in the user's language: the common
// errno values of a save have their own texts.
TEST(ReaderMessages, SaveFailuresGiveTheirReasonInChinese) {
    for (const int e : {EEXIST, EISDIR, EACCES, EPERM, ENOSPC, ENOENT, EROFS, ENOTDIR, EIO}) {
        const QString why = FileErrorText(e);
        EXPECT_FALSE(why.isEmpty()) << e;
        EXPECT_FALSE(hasEnglishPhrase(why)) << e << ": " << why.toStdString();
    }
    EXPECT_NE(FileErrorText(EEXIST), FileErrorText(EISDIR));

    // A folder where the file should go: the XML save, both workbook
    // writers and the text export refuse it with a Chinese reason.
    const QString dir = oxtest::testDir();
    for (const char* name : {"x.xml", "x.xls", "x.xlsx"})
        ASSERT_TRUE(QDir().mkpath(dir + "/" + name));
    QString error;
    const XmlDocument doc = XmlDocument::parse("<r/>", &error);
    EXPECT_NE(doc.save(dir + "/x.xml", &error), XmlSaveStatus::Ok);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(hasEnglishPhrase(error)) << error.toStdString();
    for (const char* name : {"x.xls", "x.xlsx"}) {
        const XlWorkbook book(1);
        const QString why = xlError([&] { book.saveAs(dir + "/" + name); });
        EXPECT_FALSE(why.isEmpty()) << name;
        EXPECT_FALSE(hasEnglishPhrase(why)) << name << ": " << why.toStdString();
        EXPECT_TRUE(QFileInfo(dir + "/" + name).isDir()) << name;
    }
}

TEST(ReaderMessages, WorkbookWritersAndTheirModelRefuseInChinese) {
    const QString dir = oxtest::testDir();
    XlWorkbook book(2);
    const QString tooFar = xlError([&] {
        book.sheet(1)->range(XlArea{70000, 1, 70000, 1}).setNumber(1);
        book.saveAs(dir + "/far.xls");
    });
    EXPECT_TRUE(tooFar.contains(QStringLiteral("65536行"))) << tooFar.toStdString();
    const QString sheetName = xlError([&] {
        XlsStreamWriter w(dir + "/n.xls", {QStringLiteral("a"), QStringLiteral("A")}, 0);
    });
    EXPECT_TRUE(sheetName.contains(QStringLiteral("工作表“A”不能写入"))) << sheetName.toStdString();

    XlWorkbook model(1);
    const QString calls[] = {
        xlError([&] { model.sheet(5); }),
        xlError([&] { model.deleteSheet(model.sheet(1)); }),
        xlError([&] { model.sheet(1)->range(QStringLiteral("A1:")); }),
        xlError([&] { model.sheet(1)->range(XlArea{1, 1, 1, 1}).setFontSize(0); }),
        xlError([&] { model.sheet(1)->range(XlArea{1, 1, 1, 1}).setHorizontalAlignment(99); }),
    };
    for (const QString& why : calls) {
        EXPECT_FALSE(why.isEmpty());
        EXPECT_FALSE(hasEnglishPhrase(why)) << why.toStdString();
    }
}

TEST(ReaderMessages, RecordQueryAndDatabaseErrorsAreChinese) {
    QString error;
    EXPECT_EQ(BuildCellRangeXml(QStringLiteral("select 1"), QStringLiteral("A1:??"), 10,
                                QStringLiteral("1"), 1, &error),
              0);
    EXPECT_TRUE(error.contains(QStringLiteral("不是单元区域"))) << error.toStdString();
    EXPECT_FALSE(hasEnglishPhrase(error)) << error.toStdString();

    // The server's own reason stays after the Chinese heading.
    const QString dir = oxtest::testDir();
    QString why;
    try {
        CAdoConnection c;
        c.Open(QStringLiteral("DRIVER=QSQLITE;DATABASE=") + dir + "/absent.db");
    } catch (const CAdoException& e) {
        why = e.GetErrorMessage();
    }
    EXPECT_TRUE(why.startsWith(QStringLiteral("数据库文件"))) << why.toStdString();

    CReader reader;
    for (const QString& text : {reader.AppendPages(1).error, reader.SetCurPage(1).error}) {
        EXPECT_FALSE(text.isEmpty());
        EXPECT_FALSE(hasEnglishPhrase(text)) << text.toStdString();
    }
}

}  // namespace

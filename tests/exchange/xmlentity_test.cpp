// Entity references cannot make a small file stand for gigabytes of text:
// the XML layer counts what references stand for and refuses past its
// limit, and both readers of XML files report that as a file they cannot
// read, in bounded memory.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <functional>

#include "exchange/ownxml_import.h"
#include "exchange/spreadsheetxml.h"
#include "exchange/xmldom.h"
#include "resources/stringids.h"
#include "tests/exchange/ownxml_testutil.h"

namespace {

using qor::XmlDocument;
using qor::XmlNode;

// A document of `refs` references to one entity of `length` characters,
// inside `open` ... `close`.
QByteArray manyReferences(const QByteArray& root, int length, int refs, const QByteArray& open,
                          const QByteArray& close) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE " + root + " [<!ENTITY e \"" +
           QByteArray(length, 'a') + "\">]>\n" + open + QByteArray("&e;").repeated(refs) + close +
           "\n";
}

// The 171 KB spreadsheet workbook: 40,000 references to 50,000 characters.
QByteArray hostileWorkbook() {
    return manyReferences(
        "Workbook", 50000, 40000,
        "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
        "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\"><Worksheet ss:Name=\"S\"><Table>"
        "<Row><Cell><Data ss:Type=\"String\">",
        "</Data></Cell></Row></Table></Worksheet></Workbook>");
}

// The same as an exchange file: one text cell of those references.
QByteArray hostileExchangeFile() {
    return manyReferences(
        "iqor_export", 50000, 40000,
        "<iqor_export export_type=\"qor_report\" format=\"1\" data=\"1\" formula=\"1\" "
        "repname=\"x\"><cell_property><start_row>1</start_row><start_col>1</start_col>"
        "<end_row>1</end_row><end_col>1</end_col><data_type>15</data_type><cell_value/>"
        "<cell_value>",
        "</cell_value></cell_property></iqor_export>");
}

// Runs `step` in a child whose address space is 1 GiB; its exit code, or
// 100 + the signal that ended it.
int underOneGiB(const std::function<int()>& step) {
    const pid_t pid = fork();
    if (pid == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        // (The address sanitizer reserves far more than any such limit.)
        rlimit lim{rlim_t(1) << 30, rlim_t(1) << 30};
        if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(90);
#endif
        int code = 91;
        try {
            code = step();
        } catch (...) {
            code = 92;
        }
        _exit(code);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    if (WIFSIGNALED(status)) return 100 + WTERMSIG(status);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool refusedForEntities(const QString& why) { return why.contains(QStringLiteral("实体")); }

TEST(XmlEntities, TheLargeReferenceFileIsRefusedByBothReadersInBoundedMemory) {
    const QString dir = oxtest::testDir();
    const QString book = dir + QStringLiteral("/book.xml");
    const QString exchange = dir + QStringLiteral("/exchange.xml");
    ASSERT_TRUE(xmltest::writeAll(book, hostileWorkbook()));
    ASSERT_TRUE(xmltest::writeAll(exchange, hostileExchangeFile()));
    EXPECT_LT(xmltest::readAll(book).size(), 175 * 1024);

    // 0: refused, naming the entities; 1: read; 2: refused for another reason.
    const int workbook = underOneGiB([&] {
        xmltest::MessageCatcher messages;
        auto h = oxtest::newReport(dir + QStringLiteral("/w.rep"));
        const qor::SpreadsheetXmlImport r = qor::ImportSpreadsheetXml(*h, book);
        if (r.ok) return 1;
        return refusedForEntities(r.error) ? 0 : 2;
    });
    EXPECT_EQ(workbook, 0);
    const int own = underOneGiB([&] {
        xmltest::MessageCatcher messages;
        auto h = oxtest::newReport(dir + QStringLiteral("/o.rep"));
        const qor::OwnXmlImportResult r = qor::ImportOwnXmlReport(*h, exchange);
        if (r.result) return 1;
        return r.messageId == qor::str::kUnsupportedXml && refusedForEntities(r.detail) ? 0 : 2;
    });
    EXPECT_EQ(own, 0);
}

TEST(XmlEntities, TheLimitCountsNestedEntitiesAndAttributeValues) {
    // 1,000 characters a hundred times a hundred: one reference to 10 MB.
    const QByteArray nested =
        "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"" + QByteArray(1000, 'x') +
        "\"><!ENTITY b \"" + QByteArray("&a;").repeated(100) + "\"><!ENTITY c \"" +
        QByteArray("&b;").repeated(100) + "\">]><r><v>&c;</v></r>";
    QString why;
    EXPECT_TRUE(XmlDocument::parse(nested, &why).isNull());
    EXPECT_TRUE(refusedForEntities(why)) << why.toStdString();

    // In attribute values the references stay as written, each a copy for
    // whoever reads the value.
    QByteArray attrs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"" +
                       QByteArray(20000, 'y') + "\">]><r>";
    for (int i = 0; i < 400; ++i) attrs += "<v n=\"&e;&e;\"/>";
    attrs += "</r>";
    why.clear();
    EXPECT_TRUE(XmlDocument::parse(attrs, &why).isNull());
    EXPECT_TRUE(refusedForEntities(why)) << why.toStdString();

    // Element by element reading counts the same way.
    int children = 0;
    why.clear();
    EXPECT_FALSE(XmlDocument::parseElements(
        attrs, [](const XmlNode&) {}, [&](const XmlNode&) { ++children; }, &why));
    EXPECT_TRUE(refusedForEntities(why)) << why.toStdString();
    EXPECT_LT(children, 400);
}

TEST(XmlEntities, ModestUseOfEntitiesStillReads) {
    // 500 KB of entity text in a small file lies within the 1 MiB every
    // document may have; the values read whole.
    const QByteArray modest =
        manyReferences("r", 5000, 100, "<r><v>", "</v><w a=\"&e;\"/></r>");
    QString why;
    const XmlDocument doc = XmlDocument::parse(modest, &why);
    ASSERT_FALSE(doc.isNull()) << why.toStdString();
    const XmlNode v = doc.documentElement().firstChildElement();
    EXPECT_EQ(v.text().size(), 500000);
    EXPECT_EQ(v.nextSiblingElement().attributeText(QStringLiteral("a")).size(), 5000);
    qsizetype streamed = 0;
    EXPECT_TRUE(XmlDocument::parseElements(
        modest, [](const XmlNode&) {}, [&](const XmlNode& n) { streamed += n.text().size(); },
        &why))
        << why.toStdString();
    EXPECT_EQ(streamed, 500000);

    // Just past the floor the same file is refused, read either way.
    const QByteArray over = manyReferences("r", 5000, 300, "<r><v>", "</v></r>");
    EXPECT_TRUE(XmlDocument::parse(over, &why).isNull());
    EXPECT_TRUE(refusedForEntities(why)) << why.toStdString();
    EXPECT_FALSE(XmlDocument::parseElements(over, [](const XmlNode&) {}, [](const XmlNode&) {}, &why));
}

}  // namespace

#include "exchange/xmldom.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QUrl>

#include "tests/exchange/xmltestutil.h"

using qor::XmlDocument;
using qor::XmlError;
using qor::XmlNode;
using xmltest::readAll;
using xmltest::writeAll;

namespace {

XmlDocument parseOk(const QByteArray& bytes) {
    QString error;
    XmlDocument doc = XmlDocument::parse(bytes, &error);
    EXPECT_FALSE(doc.isNull()) << error.toStdString();
    return doc;
}

QStringList names(const QList<XmlNode>& nodes, const char* attribute = "n") {
    QStringList out;
    for (const XmlNode& n : nodes)
        out.append(n.isElement() ? n.attributeText(QString::fromLatin1(attribute)) : n.nodeName());
    return out;
}

}  // namespace

TEST(XmlDom, ExternalEntitiesAreNeverRead) {
    const QString dir = qortest::freshDir("dom-xxe");
    const QString secret = dir + "/secret.txt";
    ASSERT_TRUE(writeAll(secret, "TOP-SECRET-MARKER"));
    const QByteArray secretUrl = QUrl::fromLocalFile(secret).toEncoded();
    const QList<QByteArray> attacks = {
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + secretUrl + "\">]><r a='&x;'>&x;</r>",
        "<!DOCTYPE r [<!ENTITY % p SYSTEM \"" + secretUrl + "\"> %p;]><r/>",
        "<!DOCTYPE r SYSTEM \"" + secretUrl + "\"><r/>",
        "<!DOCTYPE r [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]><r>&x;</r>",
    };
    for (const QByteArray& attack : attacks) {
        SCOPED_TRACE(attack.constData());
        const QString path = dir + "/attack.xml";
        ASSERT_TRUE(writeAll(path, attack));
        QString error;
        XmlDocument doc = XmlDocument::load(path, &error);
        if (doc.isNull()) continue;  // refusing the file is as good
        const QByteArray out = doc.toBytes();
        for (const QByteArray& text :
             {doc.xml().toUtf8(), out, doc.documentElement().text().toUtf8(),
              doc.documentElement().attributeText(u"a").toUtf8()}) {
            EXPECT_FALSE(text.contains("TOP-SECRET")) << text.constData();
            EXPECT_FALSE(text.contains("root:")) << text.constData();
        }
        // What we write does not carry the reference on to the next reader.
        EXPECT_FALSE(out.contains("SYSTEM")) << out.constData();
    }
    // Internal entities still read as their text.
    XmlDocument internal = parseOk("<!DOCTYPE r [<!ENTITY i \"inner\">]><r k='&i;'>a&i;b</r>");
    EXPECT_EQ(internal.documentElement().text(), "ainnerb");
    EXPECT_EQ(internal.documentElement().attributeText(u"k"), "inner");
    EXPECT_EQ(internal.documentElement().xml(), "<r k=\"inner\">ainnerb</r>");
}

TEST(XmlDom, DeclaredGb2312ReadsEveryCodePage936Character) {
    // 堃 (88 D2) exists only in the GBK extension; 0x80 is the euro sign.
    const QByteArray bytes =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?><r a=\"\x88\xD2\">"
        "\xB1\xA8\xB1\xED\x80</r>";
    XmlDocument doc = parseOk(bytes);
    EXPECT_EQ(doc.documentElement().attributeText(u"a"), QStringLiteral("堃"));
    EXPECT_EQ(doc.documentElement().text(), QStringLiteral("报表€"));
    EXPECT_EQ(doc.declaredEncoding(), "GB2312");
    EXPECT_EQ(doc.node().firstChild().nodeName(), "xml");

    // Bytes that are no 936 text fail the load with a reason.
    QString error;
    EXPECT_TRUE(
        XmlDocument::parse("<?xml version='1.0' encoding='gbk'?><r>\xFF\xFF</r>", &error).isNull());
    EXPECT_FALSE(error.isEmpty());

    // Other declarations are left to the parser.
    XmlDocument latin = parseOk("<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9</r>");
    EXPECT_EQ(latin.documentElement().text(), QStringLiteral("é"));
    XmlDocument plain = parseOk("<r>\xE6\x8A\xA5</r>");
    EXPECT_EQ(plain.documentElement().text(), QStringLiteral("报"));
    EXPECT_FALSE(plain.hasDeclaration());
}

TEST(XmlDom, CharactersOutsideCodePage936BecomeReferences) {
    const QString dir = qortest::freshDir("dom-cp936");
    XmlDocument doc = XmlDocument::create();
    doc.appendChild(doc.createProcessingInstruction("xml", "version='1.0' encoding='GB2312'"));
    XmlNode root = doc.appendChild(doc.createElement("r"));
    // 😀 and ẞ have no 936 form; € would be the byte 0x80 that GB18030
    // readers reject; 堃 is GBK only, which a file declared GB2312 cannot
    // carry as bytes; 报表 GB2312 proper.
    const QString text = QStringLiteral("报表 😀 ẞ € 堃");
    root.setAttribute(u"t", text);
    root.appendChild(doc.createTextNode(text));
    const QString path = dir + "/refs.xml";
    ASSERT_EQ(doc.save(path), qor::XmlSaveStatus::Ok);
    const QByteArray bytes = readAll(path);
    EXPECT_TRUE(bytes.contains("&#128512;"));
    EXPECT_TRUE(bytes.contains("&#7838;"));
    EXPECT_TRUE(bytes.contains("&#8364;"));
    EXPECT_TRUE(bytes.contains("\xB1\xA8\xB1\xED"));
    EXPECT_TRUE(bytes.contains("&#22531;"));
    EXPECT_FALSE(bytes.contains("\x88\xD2"));
    EXPECT_FALSE(bytes.contains('\x80'));

    QString error;
    XmlDocument back = XmlDocument::load(path, &error);
    ASSERT_FALSE(back.isNull()) << error.toStdString();
    EXPECT_EQ(back.documentElement().text(), text);
    EXPECT_EQ(back.documentElement().attributeText(u"t"), text);

    // An independent reader, whose GB2312 knows no GBK, reads it all.
    auto lint = xmltest::xmllint({"--encode", "UTF-8", path});
    if (!lint) GTEST_SKIP() << "no xmllint";
    ASSERT_EQ(lint->exitCode, 0) << lint->err.constData();
    EXPECT_TRUE(QString::fromUtf8(lint->out)
                    .contains(QStringLiteral("<r t=\"报表 😀 ẞ € 堃\">报表 😀 ẞ € 堃</r>")))
        << lint->out.constData();
}

TEST(XmlDom, UnicodeDeclarationsAreWrittenAsDeclared) {
    XmlDocument utf8 = parseOk("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>报😀</r>");
    EXPECT_EQ(
        utf8.toBytes(),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\xE6\x8A\xA5\xF0\x9F\x98\x80</r>\r\n");
    XmlDocument none = parseOk("<r>报</r>");
    EXPECT_EQ(none.toBytes(), "<r>\xE6\x8A\xA5</r>\r\n");

    XmlDocument wide = XmlDocument::create();
    wide.appendChild(wide.createProcessingInstruction("xml", "version='1.0' encoding='UTF-16'"));
    wide.appendChild(wide.createElement("r")).setText(QStringLiteral("报"));
    const QByteArray w = wide.toBytes();
    ASSERT_TRUE(w.startsWith(QByteArray("\xFF\xFE<\0?\0x\0", 8)));
    XmlDocument back = parseOk(w);
    EXPECT_EQ(back.documentElement().text(), QStringLiteral("报"));

    // An encoding nobody can write: the file says UTF-8 and is UTF-8.
    XmlDocument odd = XmlDocument::create();
    odd.appendChild(odd.createProcessingInstruction("xml", "version='1.0' encoding='X-NONE'"));
    odd.appendChild(odd.createElement("r")).setText(QStringLiteral("报"));
    EXPECT_EQ(odd.toBytes(),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\xE6\x8A\xA5</r>\r\n");
}

TEST(XmlDom, WhitespaceOnlyTextIsDroppedOnLoad) {
    XmlDocument doc = parseOk(
        "<r>\r\n\t<a> x </a>\n  <b>\t</b>\n  <p xml:space='preserve'> <q> </q></p>"
        "<c><![CDATA[  ]]></c></r>");
    const XmlNode r = doc.documentElement();
    EXPECT_EQ(r.childNodes().size(), 4);
    EXPECT_EQ(r.firstChildElement(u"a").text(), " x ");
    EXPECT_FALSE(r.firstChildElement(u"b").hasChildNodes());
    EXPECT_EQ(r.firstChildElement(u"p").childNodes().size(), 2);
    EXPECT_EQ(r.firstChildElement(u"p").firstChildElement(u"q").text(), " ");
    EXPECT_EQ(r.firstChildElement(u"c").text(), "  ");

    // So a pretty-printed file reads like the compact one.
    const XmlDocument compact = parseOk("<r><a>1</a><b n='2'/></r>");
    const XmlDocument pretty = parseOk("<r>\n  <a>1</a>\n  <b n='2'/>\n</r>\n");
    EXPECT_EQ(compact.xml(), pretty.xml());
}

TEST(XmlDom, NamesAndAttributesMatchByQualifiedName) {
    XmlDocument doc = parseOk(
        "<Workbook xmlns='urn:schemas-microsoft-com:office:spreadsheet' "
        "xmlns:ss='urn:schemas-microsoft-com:office:spreadsheet' xmlns:o='urn:o'>"
        "<Styles><Style ss:ID='Default' ss:Name='Normal'/><Style ss:ID='s21'/></Styles>"
        "<Worksheet ss:Name='Sheet1'><ss:Table><o:Row ID='plain'/></ss:Table></Worksheet>"
        "</Workbook>");
    const XmlNode book = doc.documentElement();
    EXPECT_EQ(book.attributeText(u"xmlns:ss"), "urn:schemas-microsoft-com:office:spreadsheet");
    const QList<XmlNode> styles = book.selectNodes(u"//Styles/*");
    ASSERT_EQ(styles.size(), 2);
    EXPECT_EQ(styles[0].attributeText(u"ss:ID"), "Default");
    EXPECT_EQ(styles[1].attributeText(u"ss:ID"), "s21");
    EXPECT_FALSE(styles[0].hasAttribute(u"ID"));

    const XmlNode sheet = book.firstChildElement(u"Worksheet");
    EXPECT_TRUE(sheet.firstChildElement(u"Table").isNull());
    const XmlNode table = sheet.firstChildElement(u"ss:Table");
    ASSERT_FALSE(table.isNull());
    EXPECT_EQ(table.tagName(), "ss:Table");
    const XmlNode row = table.firstChildElement(u"o:Row");
    EXPECT_EQ(row.attributeText(u"ID"), "plain");
    EXPECT_FALSE(row.hasAttribute(u"ss:ID"));

    // New attributes take the namespace in scope for their prefix.
    XmlNode s = styles[1];
    s.setAttribute(u"ss:Name", "Heading");
    s.setAttribute(u"ss:ID", "s22");
    s.setAttribute(u"x:free", "kept whole");
    EXPECT_EQ(s.xml(), "<Style ss:ID=\"s22\" ss:Name=\"Heading\" x:free=\"kept whole\"/>");
    EXPECT_TRUE(s.removeAttribute(u"x:free"));
    const XmlDocument back = parseOk(doc.toBytes());
    EXPECT_EQ(back.documentElement()
                  .selectSingleNode(u"Styles/Style[@ss:ID='s22']")
                  .attributeText(u"ss:Name"),
              "Heading");
}

TEST(XmlDom, WriterKeepsCrLfRawInTextAndEscapesAttributes) {
    XmlDocument doc = XmlDocument::create();
    XmlNode r = doc.appendChild(doc.createElement("r"));
    r.setAttribute(u"a", QStringLiteral("q\"<&>\r\n\tz"));
    r.appendChild(doc.createTextNode(QStringLiteral("l1\r\nl2 & <x> ]]>")));
    r.appendChild(doc.createCDATASection(QStringLiteral("c]]>d")));
    r.appendChild(doc.createComment(QStringLiteral("a--b")));
    r.appendChild(doc.createTextNode(QString(QChar(0x01)) + "ok" + QChar(0xFFFF)));
    EXPECT_EQ(doc.toBytes(),
              "<r a=\"q&quot;&lt;&amp;&gt;&#13;&#10;&#9;z\">l1\r\nl2 &amp; &lt;x&gt; ]]&gt;"
              "<![CDATA[c]]]]><![CDATA[>d]]><!--a- -b-->ok</r>\r\n");
    const XmlDocument back = parseOk(doc.toBytes());
    EXPECT_EQ(back.documentElement().attributeText(u"a"), QStringLiteral("q\"<&>\r\n\tz"));
    // The parser turns CR LF in text into LF, as any XML reader does.
    EXPECT_EQ(back.documentElement().text(), QStringLiteral("l1\nl2 & <x> ]]>c]]>dok"));

    const QString path = qortest::freshDir("dom-writer") + "/w.xml";
    ASSERT_EQ(doc.save(path), qor::XmlSaveStatus::Ok);
    auto lint = xmltest::xmllint({"--noout", path});
    if (!lint) GTEST_SKIP() << "no xmllint";
    EXPECT_EQ(lint->exitCode, 0) << lint->err.constData();
}

TEST(XmlDom, QueriesSelectInDocumentOrder) {
    XmlDocument doc = parseOk(
        "<r n='r'><a n='a1'><b n='b1'/><b n='b2' k='v'/></a><a n='a2'><b n='b3'/>"
        "<c n='c1'><b n='b4'/></c></a>t<!--x--></r>");
    const XmlNode r = doc.documentElement();
    EXPECT_EQ(names(r.selectNodes(u"a")), QStringList({"a1", "a2"}));
    EXPECT_EQ(names(r.selectNodes(u"a/b")), QStringList({"b1", "b2", "b3"}));
    EXPECT_EQ(names(r.selectNodes(u"//b")), QStringList({"b1", "b2", "b3", "b4"}));
    EXPECT_EQ(names(r.selectNodes(u"a//b")), QStringList({"b1", "b2", "b3", "b4"}));
    EXPECT_EQ(names(r.selectNodes(u"/r/a[2]/*")), QStringList({"b3", "c1"}));
    EXPECT_EQ(names(r.selectNodes(u"a/b[last()]")), QStringList({"b2", "b3"}));
    EXPECT_EQ(names(r.selectNodes(u"a/b[@k='v']")), QStringList({"b2"}));
    EXPECT_EQ(names(r.selectNodes(u"a[c]")), QStringList({"a2"}));
    EXPECT_EQ(names(r.selectNodes(u"//b/..")), QStringList({"a1", "a2", "c1"}));
    EXPECT_EQ(names(r.selectNodes(u"c | a/c | a[1]")), QStringList({"a1", "c1"}));
    EXPECT_EQ(names(r.selectNodes(u"text()")), QStringList({"#text"}));
    EXPECT_EQ(names(r.selectNodes(u"comment()")), QStringList({"#comment"}));
    EXPECT_EQ(r.selectNodes(u"/").first().type(), XmlNode::Type::Document);
    EXPECT_EQ(r.selectSingleNode(u"//b[2]").attributeText(u"n"), "b2");
    EXPECT_TRUE(r.selectSingleNode(u"nothing").isNull());
    const XmlNode b3 = r.selectSingleNode(u"a[2]/b");
    EXPECT_EQ(names(b3.selectNodes(u"../../a")), QStringList({"a1", "a2"}));
    EXPECT_EQ(names(b3.selectNodes(u"/r/a[1]/b")), QStringList({"b1", "b2"}));
    for (const char16_t* bad : {u"", u"a[", u"a]", u"[1]", u"a/", u"a[0]", u"a[@k='v]"})
        EXPECT_THROW(r.selectNodes(QStringView(bad)), XmlError)
            << QString::fromUtf16(bad).toStdString();
}

TEST(XmlDom, TreeChangesKeepHandlesValid) {
    XmlDocument doc = parseOk("<r><a/><b/></r>");
    XmlNode r = doc.documentElement();
    XmlNode a = r.firstChildElement(u"a");
    XmlNode b = r.firstChildElement(u"b");

    // Adjacent text nodes stay separate nodes.
    r.appendChild(doc.createTextNode("x"));
    r.appendChild(doc.createTextNode("y"));
    EXPECT_EQ(r.childNodes().size(), 4);
    EXPECT_EQ(r.text(), "xy");

    // Moving, removing and re-appending.
    b.appendChild(a);
    EXPECT_EQ(a.parent(), b);
    EXPECT_EQ(r.xml(), "<r><b><a/></b>xy</r>");
    XmlNode removed = r.removeChild(b);
    EXPECT_TRUE(removed.parent().isNull());
    EXPECT_EQ(a.parent(), b);
    a.setAttribute(u"k", "still usable");
    r.insertBefore(b, r.firstChild());
    EXPECT_EQ(r.xml(), "<r><b><a k=\"still usable\"/></b>xy</r>");

    // Refusals.
    EXPECT_THROW(a.appendChild(r), XmlError);
    EXPECT_THROW(a.appendChild(a), XmlError);
    EXPECT_THROW(doc.appendChild(doc.createElement("second")), XmlError);
    EXPECT_THROW(doc.appendChild(doc.createTextNode("t")), XmlError);
    EXPECT_THROW(r.removeChild(a), XmlError);
    EXPECT_THROW(doc.createElement("1bad"), XmlError);
    EXPECT_THROW(XmlNode().appendChild(a), XmlError);

    // A node of another document comes in as a copy; handles outlive the
    // document object they came from.
    XmlNode foreign;
    {
        XmlDocument other = parseOk("<o><p>q</p></o>");
        foreign = other.documentElement().firstChildElement();
    }
    XmlNode copy = r.appendChild(foreign);
    EXPECT_NE(copy, foreign);
    EXPECT_EQ(copy.ownerDocument(), doc);
    EXPECT_EQ(foreign.text(), "q");
    EXPECT_EQ(r.lastChild().xml(), "<p>q</p>");

    // setText replaces the content of an element.
    b.setText("plain");
    EXPECT_EQ(b.xml(), "<b>plain</b>");
    EXPECT_EQ(a.parent(), XmlNode());
}

TEST(XmlDom, LoadReportsWhyAFileDoesNotParse) {
    QString error;
    EXPECT_TRUE(XmlDocument::parse("<r>\n<a>\n</r>", &error).isNull());
    EXPECT_TRUE(error.startsWith(QStringLiteral("第3行"))) << error.toStdString();
    EXPECT_TRUE(XmlDocument::parse("", &error).isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(XmlDocument::load(qortest::freshDir("dom-missing") + "/none.xml", &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

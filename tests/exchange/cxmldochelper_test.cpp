#include "exchange/cxmldochelper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "engine/messages.h"
#include "tests/exchange/xmltestutil.h"

using qor::XmlError;
using qor::XmlNode;
using xmltest::readAll;
using xmltest::writeAll;

namespace {

const QByteArray kDecl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n";

}  // namespace

TEST(XmlDocHelper, MissingFileBecomesReportDataThatSavesWellFormed) {
    const QString dir = qortest::freshDir("helper-new");
    const QString path = dir + "/out.xml";
    CXmlDocHelper doc(path);
    EXPECT_FALSE(QFile::exists(path)) << "opening alone must not write the file";
    EXPECT_EQ(doc.GetXmlTagName(doc.GetRootElement()), "ReportData");
    EXPECT_FALSE(doc.LoadFailed());
    ASSERT_EQ(doc.Save(), 1);
    EXPECT_EQ(readAll(path), kDecl + "<ReportData>\r\n</ReportData>\r\n");

    auto lint = xmltest::xmllint({"--noout", path});
    if (!lint) GTEST_SKIP() << "no xmllint";
    EXPECT_EQ(lint->exitCode, 0) << lint->err.constData();
    auto root = xmltest::xmllint({"--xpath", "name(/*)", path});
    EXPECT_EQ(root->out.trimmed(), "ReportData");
}

TEST(XmlDocHelper, AppendedElementsAreIndentedWithTabsAndRawCrLf) {
    const QString path = qortest::freshDir("helper-indent") + "/out.xml";
    CXmlDocHelper doc(path);
    const XmlNode root = doc.GetRootElement();
    doc.AppendXmlChildElement(root, "X", "");
    doc.AppendXmlChildElement(root, "X", "");
    doc.AppendXmlChildElement(root, "X", "");
    ASSERT_EQ(doc.Save(), 1);
    const QByteArray bytes = readAll(path);
    EXPECT_EQ(bytes, kDecl + "<ReportData>\r\n\t<X/>\r\n\t<X/>\r\n\t<X/>\r\n</ReportData>\r\n");
    EXPECT_FALSE(bytes.contains("&#13;"));

    // One level deeper: the child's own content is indented two tabs and
    // its closing tag one; texts are escaped.
    CXmlDocHelper nested(qortest::freshDir("helper-nested") + "/n.xml");
    const XmlNode group = nested.AppendXmlChildElement(nested.GetRootElement(), "G", "");
    nested.AppendXmlChildElement(group, "Item", "a<b&c");
    nested.AppendXmlChildElement(group, "Item", QStringLiteral("报表"));
    EXPECT_EQ(nested.GetXmlNodeXml(nested.GetRootElement()),
              QStringLiteral("<ReportData>\r\n\t<G>\r\n\t\t<Item>a&lt;b&amp;c</Item>\r\n\t\t"
                             "<Item>报表</Item>\r\n\t</G>\r\n</ReportData>"));
    EXPECT_TRUE(nested.AppendXmlChildElement(XmlNode(), "X", "").isNull());
}

TEST(XmlDocHelper, AttributeNumbersRoundHalfEvenAndCheckTheRange) {
    const QString path = qortest::freshDir("helper-attr") + "/a.xml";
    ASSERT_TRUE(writeAll(path,
                         "<r><e f='54.75' half='2.5' odd='3.5' big='40000' neg='-2.5' "
                         "thousands='1,234' word='abc' blank='' huge='3000000000'/></r>"));
    CXmlDocHelper doc(path);
    const XmlNode e = doc.FindXmlChildByTag(doc.GetRootElement(), "e");
    ASSERT_FALSE(e.isNull());

    EXPECT_EQ(doc.GetXmlAttributeFloat(e, "f"), 55.0f);
    EXPECT_EQ(doc.GetXmlAttributeInt(e, "f"), 55);
    EXPECT_EQ(doc.GetXmlAttributeInt(e, "half"), 2);
    EXPECT_EQ(doc.GetXmlAttributeInt(e, "odd"), 4);
    EXPECT_EQ(doc.GetXmlAttributeInt(e, "neg"), -2);
    EXPECT_EQ(doc.GetXmlAttributeInt(e, "thousands"), 1234);
    EXPECT_EQ(doc.GetXmlAttributeFloat(e, "big"), 40000.0f);
    EXPECT_EQ(doc.GetXmlAttributeString(e, "big"), "40000");

    // Out of the 16-bit range, no number at all, out of the 32-bit range.
    try {
        doc.GetXmlAttributeInt(e, "big");
        ADD_FAILURE() << "40000 must not fit a 16-bit integer";
    } catch (const XmlError& err) {
        EXPECT_EQ(err.code(), XmlError::Overflow);
    }
    EXPECT_THROW(doc.GetXmlAttributeInt(e, "word"), XmlError);
    EXPECT_THROW(doc.GetXmlAttributeFloat(e, "blank"), XmlError);
    EXPECT_THROW(doc.GetXmlAttributeFloat(e, "huge"), XmlError);

    // Absent, null element, empty name.
    EXPECT_EQ(doc.GetXmlAttributeInt(e, "none"), 0);
    EXPECT_EQ(doc.GetXmlAttributeFloat(e, "none"), 0.0f);
    EXPECT_EQ(doc.GetXmlAttributeString(e, "none"), "");
    EXPECT_EQ(doc.GetXmlAttributeInt(XmlNode(), "f"), 0);
    EXPECT_EQ(doc.GetXmlAttributeFloat(e, ""), 0.0f);

    const QVariant absent = doc.GetXmlAttributeVariant(e, "none");
    EXPECT_TRUE(absent.isValid());
    EXPECT_TRUE(absent.isNull());
    EXPECT_FALSE(doc.GetXmlAttributeVariant(XmlNode(), "f").isValid());
    EXPECT_EQ(doc.GetXmlAttributeVariant(e, "blank").toString(), "");
    EXPECT_FALSE(doc.GetXmlAttributeVariant(e, "blank").isNull());

    EXPECT_EQ(doc.XmlAttributeEquals(e, "half", "2.5"), 1);
    EXPECT_EQ(doc.XmlAttributeEquals(e, "half", "2.50"), 0);
    EXPECT_EQ(doc.XmlAttributeEquals(XmlNode(), "none", ""), 0);
}

TEST(XmlDocHelper, ChildLookupIsExactAndSkipsNonElements) {
    const QString path = qortest::freshDir("helper-find") + "/f.xml";
    ASSERT_TRUE(writeAll(path, "<r>text<!--c--><Row n='1'/><row n='2'/><Row n='3' k='x'/></r>"));
    CXmlDocHelper doc(path);
    const XmlNode root = doc.GetRootElement();
    EXPECT_EQ(doc.GetXmlAttributeString(doc.FindXmlChildByTag(root, "Row"), "n"), "1");
    EXPECT_EQ(doc.GetXmlAttributeString(doc.FindXmlChildByTag(root, "row"), "n"), "2");
    EXPECT_TRUE(doc.FindXmlChildByTag(root, "ROW").isNull());
    EXPECT_TRUE(doc.FindXmlChildByTag(XmlNode(), "Row").isNull());
    EXPECT_EQ(doc.GetXmlAttributeString(doc.FindXmlChildByAttribute(root, "k", "x"), "n"), "3");
    EXPECT_TRUE(doc.FindXmlChildByAttribute(root, "n", "4").isNull());
    EXPECT_EQ(doc.IsXmlElementTag(root, "r"), 1);
    EXPECT_EQ(doc.IsXmlElementTag(root, "R"), 0);
    EXPECT_EQ(doc.IsXmlElementTag(XmlNode(), ""), 0);
    EXPECT_EQ(doc.GetXmlTagName(XmlNode()), "");
    EXPECT_EQ(doc.GetXmlNodeText(root), "text");
    EXPECT_THROW(doc.GetXmlNodeText(XmlNode()), XmlError);
    EXPECT_THROW(doc.GetXmlNodeXml(XmlNode()), XmlError);
}

TEST(XmlDocHelper, BrokenFileIsNeverOverwritten) {
    const QString path = qortest::freshDir("helper-broken") + "/b.xml";
    const QByteArray original = "<Data><Item>user's work</Data>";
    ASSERT_TRUE(writeAll(path, original));
    xmltest::MessageCatcher messages;
    CXmlDocHelper doc(path);
    EXPECT_TRUE(messages.texts.isEmpty()) << "opening reports nothing";
    EXPECT_TRUE(doc.LoadFailed());
    EXPECT_TRUE(doc.LoadError().contains(QStringLiteral("第1行"))) << doc.LoadError().toStdString();
    EXPECT_EQ(doc.GetXmlTagName(doc.GetRootElement()), "ReportData");

    doc.AppendXmlChildElement(doc.GetRootElement(), "X", "");
    EXPECT_EQ(doc.Save(), 0);
    EXPECT_EQ(readAll(path), original);
    EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kUnsupportedXml)});

    // An explicit new document means the caller wants to replace the file.
    doc.CreateNew(path);
    EXPECT_EQ(doc.Save(), 1);
    EXPECT_TRUE(readAll(path).contains("<ReportData>"));

    // An empty file holds nothing to lose.
    const QString empty = qortest::freshDir("helper-empty") + "/e.xml";
    ASSERT_TRUE(writeAll(empty, ""));
    CXmlDocHelper fromEmpty(empty);
    EXPECT_FALSE(fromEmpty.LoadFailed());
    EXPECT_EQ(fromEmpty.Save(), 1);
}

TEST(XmlDocHelper, RefusedWriteReportsFailure) {
    // A folder that is a file cannot take the document.
    const QString blocker = qortest::freshDir("helper-blocked") + "/file";
    ASSERT_TRUE(writeAll(blocker, "x"));
    {
        CXmlDocHelper doc(blocker + "/d.xml");
        xmltest::MessageCatcher messages;
        EXPECT_EQ(doc.Save(), 0);
        EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kWriteFailedCheckDisk)});
    }

    if (geteuid() == 0) GTEST_SKIP() << "root writes anywhere";
    const QString dir = qortest::freshDir("helper-denied");
    const QString path = dir + "/d.xml";
    CXmlDocHelper doc(path);
    ASSERT_TRUE(QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    xmltest::MessageCatcher messages;
    const int result = doc.Save();
    QFile::setPermissions(dir,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(messages.texts, QStringList{LoadErrorText(qor::str::kWriteFailedCheckDisk)});
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden).size(), 0);
}

TEST(XmlDocHelper, SaveReplacesTheFileWithoutLeftovers) {
    const QString dir = qortest::freshDir("helper-replace");
    const QString path = dir + "/r.xml";
    ASSERT_TRUE(writeAll(path, "<ReportData><Old/></ReportData>"));
    CXmlDocHelper doc(path);
    doc.RemoveXmlNodes(doc.GetRootElement(), "Old");
    doc.SetXmlAttribute(doc.GetRootElement(), "v", "1");
    ASSERT_EQ(doc.Save(), 1);
    EXPECT_EQ(readAll(path), "<ReportData v=\"1\"/>\r\n");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList{"r.xml"});
}

TEST(XmlDocHelper, RemoveXmlNodesTakesOnlyChildren) {
    const QString path = qortest::freshDir("helper-remove") + "/r.xml";
    ASSERT_TRUE(
        writeAll(path, "<r><Sheet1><v/></Sheet1><keep/><Sheet1/><deep><Sheet1/></deep></r>"));
    CXmlDocHelper doc(path);
    const XmlNode root = doc.GetRootElement();
    // "//Sheet1" also selects the grandchild: refused before anything goes.
    EXPECT_THROW(doc.RemoveXmlNodes(root, "//Sheet1"), XmlError);
    EXPECT_EQ(root.childElements(u"Sheet1").size(), 2);

    doc.RemoveXmlNodes(root, "Sheet1");
    EXPECT_EQ(doc.GetXmlNodeXml(root), "<r><keep/><deep><Sheet1/></deep></r>");
    doc.RemoveXmlNodes(root, "nothing");
    doc.RemoveXmlNodes(XmlNode(), "keep");
    EXPECT_EQ(root.childNodes().size(), 2);
}

TEST(XmlDocHelper, DiffersFromFileComparesTrimmedRootMarkup) {
    const QString dir = qortest::freshDir("helper-differs");
    ASSERT_TRUE(writeAll(dir + "/a.xml", "<?xml version='1.0'?>\n<r a='1'><x>t</x></r>"));
    ASSERT_TRUE(writeAll(dir + "/b.xml", "\n\n<r a=\"1\"><x>t</x></r>\n   \n"));
    ASSERT_TRUE(writeAll(dir + "/c.xml", "<r a='2'><x>t</x></r>"));
    ASSERT_TRUE(writeAll(dir + "/d.xml", "<r a='1'><x>T</x></r>"));
    CXmlDocHelper a(dir + "/a.xml");
    EXPECT_EQ(a.DiffersFromFile(dir + "/b.xml"), 0);
    EXPECT_EQ(a.DiffersFromFile(dir + "/c.xml"), 1);
    EXPECT_EQ(a.DiffersFromFile(dir + "/d.xml"), 1);
    EXPECT_EQ(a.DiffersFromFile(dir + "/missing.xml"), 1);

    CXmlDocHelper fresh(dir + "/new.xml");
    EXPECT_EQ(fresh.DiffersFromFile(dir + "/missing.xml"), 0);
    EXPECT_FALSE(QFile::exists(dir + "/missing.xml"));
}

// Large documents without the whole tree: the element by element reader and
// the stream writer, held against what the document itself reads and writes.
#include <gtest/gtest.h>

#include <QDir>
#include <QUrl>
#include <array>
#include <stdexcept>

#include "exchange/xmldom.h"
#include "tests/exchange/xmltestutil.h"

using qor::XmlDocument;
using qor::XmlError;
using qor::XmlNameList;
using qor::XmlNode;
using qor::XmlStreamWriter;

namespace {

// What a reading element by element saw: the root's markup when it came
// (attributes, no children yet) and each child's markup and text.
struct Seen {
    QString root;
    QStringList children;
    QStringList texts;
};

Seen readElements(const QByteArray& bytes, bool* ok, QString* error = nullptr) {
    Seen seen;
    *ok = XmlDocument::parseElements(
        bytes, [&](const XmlNode& root) { seen.root = root.xml(); },
        [&](const XmlNode& child) {
            seen.children.append(child.xml());
            QString text;
            child.appendText(text);
            seen.texts.append(text);
        },
        error);
    return seen;
}

// The same from the whole document.
Seen readDocument(const QByteArray& bytes) {
    Seen seen;
    QString error;
    const XmlDocument doc = XmlDocument::parse(bytes, &error);
    EXPECT_FALSE(doc.isNull()) << error.toStdString();
    for (XmlNode c = doc.documentElement().firstChildElement(); c; c.toNextSiblingElement()) {
        seen.children.append(c.xml());
        seen.texts.append(c.text());
    }
    return seen;
}

// One content written both ways: through a document and through the writer.
struct Both {
    XmlDocument doc = XmlDocument::create();
    std::unique_ptr<XmlStreamWriter> writer;
    std::vector<XmlNode> open;

    explicit Both(const QString* declaration) {
        if (declaration) {
            doc.appendChild(doc.createProcessingInstruction("xml", *declaration));
            writer = std::make_unique<XmlStreamWriter>(*declaration);
        } else {
            writer = std::make_unique<XmlStreamWriter>();
        }
    }
    void start(const QString& name) {
        XmlNode e = doc.createElement(name);
        (open.empty() ? doc.node() : open.back()).appendChild(e);
        open.push_back(e);
        writer->startElement(name);
    }
    void attribute(const QString& name, const QString& value) {
        open.back().setAttribute(name, value);
        writer->setAttribute(name, value);
    }
    void text(const QString& name, const QString& value) {
        XmlNode e = doc.createElement(name);
        e.setText(value);
        open.back().appendChild(e);
        writer->textElement(writer->name(name), value);
    }
    void latin1(const QString& name, const QByteArray& value) {
        XmlNode e = doc.createElement(name);
        e.setText(QString::fromLatin1(value));
        open.back().appendChild(e);
        writer->textElement(writer->name(name), QLatin1StringView(value));
    }
    void end() {
        open.pop_back();
        writer->endElement();
    }
};

}  // namespace

TEST(XmlStream, TheWriterWritesWhatTheDocumentWrites) {
    const QString gb = QStringLiteral("version='1.0' encoding='gb2312'");
    const QString utf8 = QStringLiteral("version=\"1.0\" encoding=\"UTF-8\" standalone='yes'");
    const QString utf16 = QStringLiteral("version='1.0' encoding='UTF-16'");
    const QString gb18030 = QStringLiteral("version='1.0' encoding='GB18030'");
    const QString none = QStringLiteral("version='1.0' encoding='X-NONE'");
    const QString bare = QStringLiteral("version='1.0'");
    for (const QString* declaration :
         {&gb, &utf8, &utf16, &gb18030, &none, &bare, static_cast<const QString*>(nullptr)}) {
        SCOPED_TRACE(declaration ? declaration->toStdString() : "no declaration");
        Both both(declaration);
        both.start("iqor_export");
        both.attribute("repname", QStringLiteral("a&b'c\"<>\t\r\n报堃😀€\x01 end"));
        both.attribute("xmlns:ss", "urn:x");
        both.attribute("format", "1");
        both.attribute("repname", QStringLiteral("second <value>"));
        both.text("plain", "1002.25");
        both.text("empty", QString());
        both.text("lines", QStringLiteral("现金\r\nx\ty & <b> ]]> \"q\" 'a'"));
        both.text("odd", QStringLiteral("报 堃 € 😀 ẞ \x02\x1F end \uFFFE\uFFFF."));
        both.text("cut", QStringLiteral("kept") + QChar(0) + QStringLiteral("dropped"));
        both.text("gone", QString(QChar(0)) + QStringLiteral("dropped"));
        both.text("ss:Cell", QStringLiteral("宋体"));
        both.latin1("ascii", "-0.001");
        both.latin1("latin", "caf\xE9");
        both.start("nested");
        both.start("bare");
        both.attribute("only", "attributes");
        both.end();
        both.text("deep", "x");
        both.end();
        both.start("shut");
        both.end();
        both.end();
        const QByteArray written = both.writer->toBytes();
        EXPECT_EQ(written, both.doc.toBytes());
        // Asked again, the same bytes.
        EXPECT_EQ(both.writer->toBytes(), written);
    }
}

TEST(XmlStream, TheWriterRefusesWhatTheDocumentRefuses) {
    XmlStreamWriter w(QStringLiteral("version='1.0' encoding='gb2312'"));
    auto code = [](auto&& f) {
        try {
            f();
        } catch (const XmlError& e) {
            return e.code();
        }
        return XmlError::Code(0);
    };
    EXPECT_EQ(code([&] { w.name(u"1bad"); }), XmlError::InvalidArgument);
    EXPECT_EQ(code([&] { w.name(u""); }), XmlError::InvalidArgument);
    EXPECT_EQ(code([&] { w.setAttribute(u"a", "no element"); }), XmlError::InvalidArgument);
    w.startElement(u"r");
    EXPECT_EQ(code([&] { w.setAttribute(u"a b", "x"); }), XmlError::InvalidArgument);
    EXPECT_EQ(code([&] { w.setAttribute(u"xmlns:xml", "urn:x"); }), XmlError::InvalidArgument);
    XmlStreamWriter other;
    EXPECT_EQ(code([&] { w.textElement(other.name(u"x"), u"t"); }), XmlError::InvalidArgument);
    w.textElement(w.name(u"c"), u"t");
    EXPECT_EQ(code([&] { w.setAttribute(u"late", "x"); }), XmlError::InvalidArgument);
    w.endElement();
    EXPECT_EQ(code([&] { w.endElement(); }), XmlError::HierarchyRequest);
    EXPECT_EQ(code([&] { w.startElement(u"second"); }), XmlError::HierarchyRequest);

    // Open elements are ended by the end of the document; nothing follows.
    XmlStreamWriter open;
    open.startElement(u"r");
    open.startElement(u"a");
    EXPECT_EQ(open.toBytes(), "<r><a/></r>\r\n");
    EXPECT_EQ(code([&] { open.startElement(u"b"); }), XmlError::HierarchyRequest);

    const QString dir = qortest::freshDir("stream-save");
    const QString path = dir + "/out.xml";
    ASSERT_TRUE(xmltest::writeAll(path, "old"));
    ASSERT_EQ(w.save(path), qor::XmlSaveStatus::Ok);
    EXPECT_EQ(xmltest::readAll(path), w.toBytes());
    EXPECT_EQ(QDir(dir).entryList(QDir::Files), QStringList{"out.xml"});
}

TEST(XmlStream, ElementsComeOneByOneAsTheDocumentHoldsThem) {
    const QList<QByteArray> inputs = {
        // Blank text, comments, instructions and text among the children.
        "<?xml version='1.0'?>\n<!-- head -->\n<r a='1' b='&amp;'>\n  <c n='1'> x </c>\n"
        "  <!-- between --> loose text <?pi data?>\n  <c n='2'>\n    <d>\t</d>\n"
        "    <e xml:space='preserve'> <f> </f> </e>\n  </c>\n  <g/>\n</r>\n<!-- tail -->",
        // The root keeps blanks below it unless a child says otherwise.
        "<r xml:space='preserve'> <a> </a> <b xml:space='default'> <c> </c> </b> </r>",
        // Internal entities: text in the children, elements of their own
        // content are not children of the root.
        "<!DOCTYPE r [<!ENTITY i 'inner'><!ENTITY el '<c>in entity</c>'>]>"
        "<r><a>x&i;y</a>&el;<b k='&i;'>&i;</b></r>",
        // Namespaces and CDATA.
        "<r xmlns:ss='urn:s'><ss:Row ss:i='1'><![CDATA[ <raw> ]]></ss:Row><Row/></r>",
        // Code page 936 read as GB18030: GBK, four-byte and two-byte
        // sequences whose second byte is ASCII, a lone euro byte.
        "<?xml version='1.0' encoding='GB2312'?><r><a>\x88\xD2 \x81\x40 \x81\x30\x84\x36"
        " \x94\x39\xFC\x36</a><b>\x80</b><c>plain</c></r>",
    };
    for (const QByteArray& bytes : inputs) {
        SCOPED_TRACE(bytes.constData());
        bool ok = false;
        QString error;
        const Seen seen = readElements(bytes, &ok, &error);
        ASSERT_TRUE(ok) << error.toStdString();
        const Seen whole = readDocument(bytes);
        EXPECT_EQ(seen.children, whole.children);
        EXPECT_EQ(seen.texts, whole.texts);
        EXPECT_FALSE(seen.root.isEmpty());
    }
    bool ok = false;
    const Seen gb = readElements(inputs.last(), &ok);
    ASSERT_EQ(gb.texts.size(), 3);
    EXPECT_EQ(gb.texts[0], QStringLiteral("堃 丂 ¥ 😀"));
    EXPECT_EQ(gb.texts[1], QStringLiteral("€"));
    const Seen first = readElements(inputs.first(), &ok);
    EXPECT_EQ(first.root, "<r a=\"1\" b=\"&amp;\"/>");
}

TEST(XmlStream, AFaultLateInTheFileFailsTheReadingAfterTheChildrenBeforeIt) {
    const QByteArray bytes = "<r><a>1</a><b>2</b><c>3</d></r>";
    bool ok = true;
    QString error;
    const Seen seen = readElements(bytes, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(seen.texts, QStringList({"1", "2"}));
    QString wholeError;
    EXPECT_TRUE(XmlDocument::parse(bytes, &wholeError).isNull());
    EXPECT_EQ(error, wholeError);

    // A damaged code page byte: the same reason as the whole document's.
    const QByteArray damaged = "<?xml version='1.0' encoding='gbk'?><r><a>ok</a>\xFF\xFF</r>";
    EXPECT_TRUE(XmlDocument::parse(damaged, &wholeError).isNull());
    ok = true;
    readElements(damaged, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, wholeError);
    readElements(QByteArray(), &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(error.isEmpty());
}

TEST(XmlStream, AVisitorsExceptionEndsTheReadingAndComesThrough) {
    int visits = 0;
    auto read = [&] {
        XmlDocument::parseElements(
            "<r><a/><b/><c/></r>", [](const XmlNode&) {},
            [&](const XmlNode&) {
                if (++visits == 2) throw std::runtime_error("stop");
            });
    };
    EXPECT_THROW(read(), std::runtime_error);
    EXPECT_EQ(visits, 2);
    EXPECT_THROW(XmlDocument::parseElements(
                     "<r><a/></r>", [](const XmlNode&) { throw XmlError(XmlError::Overflow, "x"); },
                     [&](const XmlNode&) { ++visits; }),
                 XmlError);
    EXPECT_EQ(visits, 2);
}

TEST(XmlStream, ExternalEntitiesAreNeverReadElementByElement) {
    const QString dir = qortest::freshDir("stream-xxe");
    const QString secret = dir + "/secret.txt";
    ASSERT_TRUE(xmltest::writeAll(secret, "TOP-SECRET-MARKER"));
    const QByteArray url = QUrl::fromLocalFile(secret).toEncoded();
    const QByteArray attack = "<!DOCTYPE r [<!ENTITY x SYSTEM \"" + url +
                              "\">]><r a='&x;'><c>&x;</c><c k='&x;'>x&x;</c></r>";
    bool ok = false;
    const Seen seen = readElements(attack, &ok);
    if (!ok) return;  // refusing the file is as good
    for (const QString& t : seen.children + seen.texts + QStringList{seen.root})
        EXPECT_FALSE(t.contains("TOP-SECRET")) << t.toStdString();
}

TEST(XmlStream, NameListsAndWalksMatchTheDocumentsOwnLookups) {
    const XmlDocument doc = XmlDocument::parse(
        "<r xmlns:ss='urn:s'><ss:Row/><Row/><x:Row xmlns:x='urn:s'/><!-- c --><height/>"
        "<cell_value>v</cell_value></r>");
    XmlNode made = doc.createElement("ss:Row");  // a whole name, no namespace
    const std::array<QStringView, 4> names{u"height", u"ss:Row", u"cell_value", u"height"};
    const XmlNameList list(names);
    QList<int> found;
    QStringList tags;
    for (XmlNode c = doc.documentElement().firstChildElement(); c; c.toNextSiblingElement()) {
        found.append(list.indexOf(c));
        tags.append(c.tagName());
        // Each agrees with the document's own match by name.
        const int i = list.indexOf(c);
        EXPECT_EQ(i >= 0, i >= 0 && c.hasTagName(names[size_t(i)]));
    }
    EXPECT_EQ(tags, QStringList({"ss:Row", "Row", "x:Row", "height", "cell_value"}));
    EXPECT_EQ(found, QList<int>({1, -1, -1, 0, 2}));
    EXPECT_EQ(list.indexOf(made), 1);
    EXPECT_EQ(list.indexOf(XmlNode()), -1);
    EXPECT_EQ(
        list.indexOf(doc.documentElement().firstChild().nextSibling().nextSibling().nextSibling()),
        -1);  // the comment

    // appendText adds what text() gives, whatever the node.
    const XmlDocument mixed = XmlDocument::parse(
        "<!DOCTYPE r [<!ENTITY i 'inner'>]><r>a<b>b&i;</b><![CDATA[c]]><!--x-->d\xE6\x8A\xA5</r>");
    QString all = QStringLiteral("kept:");
    mixed.documentElement().appendText(all);
    EXPECT_EQ(all, QStringLiteral("kept:") + mixed.documentElement().text());
    for (XmlNode n = mixed.documentElement().firstChild(); n; n = n.nextSibling()) {
        QString t;
        n.appendText(t);
        EXPECT_EQ(t, n.text()) << n.nodeName().toStdString();
    }
}

// A file is read a piece at a time (pieces of 256 KiB): a code page 936
// character split between two pieces, and a fault after the first piece,
// read exactly as in the whole document, from memory and from a file.
TEST(XmlStream, CharactersSplitBetweenPiecesReadAsTheWholeDocument) {
    const QString dir = qortest::freshDir("stream-pieces");
    const qsizetype piece = 1 << 18;
    const QByteArray head = "<?xml version='1.0' encoding='GB2312'?><r><a>";
    const QList<QByteArray> sequences = {"\x88\xD2", "\x81\x40", "\x81\x30\x84\x36",
                                         "\x80\x88\xD2", "\x80" "A"};
    for (const QByteArray& seq : sequences) {
        for (qsizetype before = 1; before <= 4; ++before) {
            // The sequence starts `before` bytes ahead of the piece's end.
            QByteArray bytes = head;
            bytes += QByteArray(piece - before - bytes.size(), 'x');
            bytes += seq + "</a><b>\xCE\xD2</b></r>";
            SCOPED_TRACE(QString("%1 bytes before, %2").arg(before).arg(seq.toHex()).toStdString());
            bool ok = false;
            QString error;
            const Seen seen = readElements(bytes, &ok, &error);
            ASSERT_TRUE(ok) << error.toStdString();
            const Seen whole = readDocument(bytes);
            EXPECT_EQ(seen.texts, whole.texts);
            EXPECT_EQ(seen.texts.value(1), QStringLiteral("我"));

            const QString file = dir + "/split.xml";
            ASSERT_TRUE(xmltest::writeAll(file, bytes));
            QStringList texts;
            ASSERT_TRUE(XmlDocument::loadElements(
                file, [](const XmlNode&) {}, [&](const XmlNode& c) { texts << c.text(); }, &error))
                << error.toStdString();
            EXPECT_EQ(texts, whole.texts);
        }
    }

    // A damaged byte three pieces in: the offset counts from the file's start.
    QByteArray damaged = head + QByteArray(3 * piece, 'y') + "\xFF\xFF</a></r>";
    QString wholeError, error;
    EXPECT_TRUE(XmlDocument::parse(damaged, &wholeError).isNull());
    bool ok = true;
    readElements(damaged, &ok, &error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, wholeError);
    EXPECT_TRUE(error.contains(QString::number(head.size() + 3 * piece))) << error.toStdString();
}

TEST(XmlStream, TheRootIsReadFromTheStartOfTheFileAlone) {
    const QString dir = qortest::freshDir("stream-root");
    QString name;
    ASSERT_TRUE(xmltest::writeAll(dir + "/cut.xml", "<?xml version='1.0'?><Top a='1'><x>unfinished"));
    EXPECT_TRUE(XmlDocument::peekRootName(dir + "/cut.xml", &name));
    EXPECT_EQ(name, "Top");
    ASSERT_TRUE(xmltest::writeAll(dir + "/bad.xml", "no markup <Top/>"));
    EXPECT_FALSE(XmlDocument::peekRootName(dir + "/bad.xml", &name));
    EXPECT_FALSE(XmlDocument::peekRootName(dir + "/none.xml", &name));
    ASSERT_TRUE(xmltest::writeAll(dir + "/empty.xml", ""));
    EXPECT_FALSE(XmlDocument::peekRootName(dir + "/empty.xml", &name));
}

// A document written to its file as it is made has the bytes of the one
// made whole, and a writer dropped before its save leaves the file alone.
TEST(XmlStream, StreamedToAFileTheBytesAreThoseOfTheWholeDocument) {
    const QString dir = qortest::freshDir("stream-to-file");
    for (const QString& declaration :
         {QStringLiteral("version='1.0' encoding='gb2312'"), QStringLiteral("version='1.0'")}) {
        SCOPED_TRACE(declaration.toStdString());
        auto write = [&](XmlStreamWriter& w) {
            w.startElement(QStringLiteral("根"));
            w.setAttribute(QStringLiteral("a"), QStringLiteral("\"甲\"\t"));
            const XmlStreamWriter::Name cell = w.name(QStringLiteral("cell"));
            // Several megabytes, so the file is written in several steps.
            for (int i = 0; i < 60000; ++i) {
                w.startElement(cell);
                w.textElement(w.name(QStringLiteral("v")), QStringLiteral("值%1 & <x>").arg(i));
                w.textElement(w.name(QStringLiteral("n")), QLatin1StringView("12345.678"));
                w.endElement();
            }
        };
        XmlStreamWriter whole(declaration);
        write(whole);
        const QByteArray expected = whole.toBytes();
        ASSERT_GT(expected.size(), 3 << 20);

        const QString path = dir + "/out.xml";
        XmlStreamWriter streamed(declaration);
        ASSERT_EQ(streamed.streamTo(path), qor::XmlSaveStatus::Ok);
        write(streamed);
        EXPECT_THROW(streamed.toBytes(), XmlError);
        ASSERT_EQ(streamed.save(path), qor::XmlSaveStatus::Ok);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == expected);
    }

    // Dropped half-way: the old file stays and no temporary is left.
    const QString path = dir + "/keep.xml";
    ASSERT_TRUE(xmltest::writeAll(path, "<old/>"));
    {
        XmlStreamWriter w;
        ASSERT_EQ(w.streamTo(path), qor::XmlSaveStatus::Ok);
        w.startElement(QStringLiteral("new"));
        for (int i = 0; i < 100000; ++i) w.textElement(w.name(QStringLiteral("x")), QStringLiteral("y"));
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "<old/>");
    EXPECT_EQ(QDir(dir).entryList(QDir::Files | QDir::Hidden),
              QStringList({"keep.xml", "out.xml"}));
    // A folder that does not exist is refused before anything is written.
    XmlStreamWriter w;
    EXPECT_NE(w.streamTo(dir + "/no/such/out.xml"), qor::XmlSaveStatus::Ok);
}

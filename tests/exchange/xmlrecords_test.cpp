// Record by record reading builds no tree, yet it must read every file as
// the element by element reading (which builds each record's tree and
// reads XmlNode::text() of its fields) does: the same records, the same
// texts, the same refusals and the same messages. Each document here is
// read both ways and the results compared; the fuzz corpora of the XML
// readers are read too, and so is every file of the folder named by
// QOR_XML_RECORDS_CORPUS when it is set (a fuzzer's own corpus).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <array>
#include <vector>

#include "exchange/xmldom.h"

namespace {

using qor::XmlDocument;
using qor::XmlNode;
using qor::XmlRecord;

constexpr std::array<QStringView, 2> kRecordNames = {u"rec", u"cell_property"};
constexpr std::array<QStringView, 6> kFieldNames = {u"a",         u"b",          u"cell_value",
                                                    u"start_row", u"data_type", u"a"};

struct Reading {
    bool ok = false;
    QString error;
    QString root;
    // Per record: its name index, then per field its name index and text.
    std::vector<std::pair<int, std::vector<std::pair<int, QByteArray>>>> records;

    bool operator==(const Reading&) const = default;
};

int indexIn(std::span<const QStringView> names, const QString& name) {
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return int(i);
    return -1;
}

Reading byElements(const QByteArray& bytes) {
    Reading r;
    r.ok = XmlDocument::parseElements(
        bytes, [&](const XmlNode& root) { r.root = root.tagName(); },
        [&](const XmlNode& record) {
            const int name = indexIn(kRecordNames, record.tagName());
            if (name < 0) return;
            auto& fields = r.records.emplace_back(name, std::vector<std::pair<int, QByteArray>>{});
            for (XmlNode f = record.firstChildElement(); f; f.toNextSiblingElement()) {
                const int field = indexIn(kFieldNames, f.tagName());
                if (field >= 0) fields.second.emplace_back(field, f.text().toUtf8());
            }
        },
        &r.error);
    return r;
}

Reading byRecords(const QByteArray& bytes) {
    Reading r;
    r.ok = XmlDocument::parseRecords(
        bytes, [&](const XmlNode& root) { r.root = root.tagName(); }, kRecordNames, kFieldNames,
        [&](const XmlRecord& record) {
            auto& fields =
                r.records.emplace_back(record.name, std::vector<std::pair<int, QByteArray>>{});
            for (const XmlRecord::Field& f : record.fields)
                fields.second.emplace_back(f.name, record.fieldText(f).toByteArray());
        },
        &r.error);
    return r;
}

QString describe(const Reading& r) {
    QString s = QStringLiteral("ok=%1 root=%2 error=%3\n").arg(r.ok).arg(r.root, r.error);
    for (const auto& [name, fields] : r.records) {
        s += QStringLiteral("  record %1:").arg(name);
        for (const auto& [field, text] : fields)
            s += QStringLiteral(" %1=[%2]").arg(field).arg(QString::fromUtf8(text));
        s += u'\n';
    }
    return s;
}

// Both ways agree on the document; the reading is returned for checks of
// its own.
Reading expectSame(const QByteArray& bytes, const QString& what = {}) {
    const Reading old = byElements(bytes);
    const Reading now = byRecords(bytes);
    EXPECT_EQ(old, now) << what.toStdString() << "\nby elements:\n"
                        << describe(old).toStdString() << "by records:\n"
                        << describe(now).toStdString();
    return now;
}

QByteArray doc(const QByteArray& body, const QByteArray& dtd = {},
               const QByteArray& rootAttributes = {}) {
    return "<?xml version=\"1.0\"?>\n" + (dtd.isEmpty() ? QByteArray() : dtd + "\n") + "<root" +
           rootAttributes + ">" + body + "</root>\n";
}

TEST(XmlRecords, BlankTextIsDroppedAsTheTreeDropsIt) {
    // Layout between fields, blank fields, blanks beside text, blank runs
    // split by comments, instructions and CDATA, character references.
    const Reading r = expectSame(doc(
        "\n  <rec>\n    <a>  x  </a>\n    <b>   </b>\n    <a>\t\r\n</a><b/>\n"
        "    <cell_value> <!-- c --> <?pi d?> </cell_value>"
        "    <cell_value> <![CDATA[  ]]> </cell_value>"
        "    <cell_value>&#32;&#10;</cell_value><cell_value>1<!--c-->2</cell_value>\n  </rec>\n"));
    ASSERT_EQ(r.records.size(), 1u);
    EXPECT_EQ(r.records[0].second.at(0).second, "  x  ");
    EXPECT_EQ(r.records[0].second.at(5).second, "  ");  // the CDATA alone
    EXPECT_EQ(r.records[0].second.at(7).second, "12");

    // xml:space on the root, a record, a field and below it, overridden by
    // "default" again; entity references in its value.
    expectSame(doc("<rec><a> </a><b xml:space='default'> </b></rec>", {},
                   " xml:space='preserve'"));
    expectSame(doc("<rec xml:space='preserve'><a> </a><b xml:space='default'> <i> </i>"
                   "<i xml:space='preserve'> </i></b><cell_value xml:space='other'> "
                   "</cell_value></rec><rec><a> </a></rec>"));
    expectSame(doc("<rec><a xml:space='&p;'> </a><b xml:space='&d;'> </b></rec>",
                   "<!DOCTYPE root [<!ENTITY p 'preserve'><!ENTITY d 'default'>]>",
                   " xml:space='preserve'"));
    // Attributes the document type defaults are not the element's.
    expectSame(doc("<rec><a> </a></rec>",
                   "<!DOCTYPE root [<!ATTLIST a xml:space (preserve|default) 'preserve'>]>"));
}

TEST(XmlRecords, FieldTextsGatherWhatTheTreeGathers) {
    // Markup below a field, repeated and unknown fields, records of other
    // names, text and elements straight in the root and in the record,
    // names with prefixes, a default namespace.
    const Reading r = expectSame(doc(
        "text<rec>t<a>1<i>2<j>3</j></i>4</a><a>5</a><zz>6</zz><b/><start_row>7</start_row></rec>"
        "<other><a>8</a></other><!-- c --><?p i?>"
        "<p:rec xmlns:p='u'><a>9</a></p:rec><rec xmlns='u'><a>10</a><q:a xmlns:q='v'>11</q:a></rec>"
        "<cell_property><cell_value>中文</cell_value><data_type>14</data_type></cell_property>"));
    ASSERT_EQ(r.records.size(), 3u);
    EXPECT_EQ(r.records[0].second.at(0).second, "1234");
    EXPECT_EQ(r.records[2].first, 1);
    EXPECT_EQ(QString::fromUtf8(r.records[2].second.at(0).second), u"中文");

    // Entities: plain, nested, holding markup, beside blanks, first used in
    // an attribute, empty, and the predefined ones.
    expectSame(doc("<rec><a> &e; </a><a>&n;</a><a>&m;</a><a>&lt;&amp;&#x4E2D;</a>"
                   "<b at='&f;'>&f;</b><cell_value>&z; &z;</cell_value></rec>",
                   "<!DOCTYPE root [<!ENTITY e 'x'><!ENTITY n 'a&e;b'>"
                   "<!ENTITY m '<i> </i>y<![CDATA[ ]]>'><!ENTITY f 'g&e;'><!ENTITY z ''>]>"));
}

TEST(XmlRecords, RefusalsAndFaultsReadTheSame) {
    const QByteArray deep = QByteArray("<a>").repeated(300) + QByteArray("</a>").repeated(300);
    for (const QByteArray& bytes : {
             doc("<rec><a>&undeclared;</a></rec>"),
             doc("<rec><a>&ext;</a></rec>", "<!DOCTYPE root [<!ENTITY ext SYSTEM 'file:///etc/passwd'>]>"),
             doc("<rec><a>x</b></rec>"),
             doc("<rec>" + deep + "</rec>"),
             doc("<rec><a>1</a></rec><rec><a>2</a>"),
             QByteArray("<?xml version='1.0'?><root><rec><a>1</a></rec></root><rec/>"),
             QByteArray("<?xml version='1.0' encoding='UTF-8'?><root><rec><a>\xff</a></rec></root>"),
             QByteArray(""),
             QByteArray("not xml"),
             // A thousand references to an entity of ten thousand characters.
             doc("<rec><a>" + QByteArray("&e;").repeated(1000) + "</a></rec>",
                 "<!DOCTYPE root [<!ENTITY e '" + QByteArray(10000, 'a') + "'>]>"),
         }) {
        const Reading r = expectSame(bytes, QString::fromUtf8(bytes.left(120)));
        EXPECT_FALSE(r.ok) << bytes.left(120).toStdString();
    }
    // Code page 936 and UTF-16 files.
    QByteArray gb = "<?xml version=\"1.0\" encoding=\"gb2312\"?><root><rec><a>";
    gb += "\xd6\xd0\xce\xc4</a></rec></root>";
    EXPECT_EQ(QString::fromUtf8(expectSame(gb).records.at(0).second.at(0).second), u"中文");
    const QString utf16 = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                         "<root><rec><a> 中 </a></rec></root>");
    QByteArray le("\xff\xfe", 2);
    le.append(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2);
    expectSame(le);
}

TEST(XmlRecords, AnExceptionFromTheVisitorEndsTheReading) {
    struct Stop {};
    int seen = 0;
    EXPECT_THROW(XmlDocument::parseRecords(
                     doc("<rec><a>1</a></rec><rec><a>2</a></rec>"), [](const XmlNode&) {},
                     kRecordNames, kFieldNames,
                     [&](const XmlRecord&) {
                         ++seen;
                         throw Stop{};
                     }),
                 Stop);
    EXPECT_EQ(seen, 1);
}

TEST(XmlRecords, TheFuzzCorporaReadTheSame) {
    QStringList dirs = {QStringLiteral(QOR_TEST_SOURCE_DIR "/fuzz/corpus/fuzz_ownxml"),
                        QStringLiteral(QOR_TEST_SOURCE_DIR "/fuzz/corpus/fuzz_xmlsheet")};
    if (const QString extra = qEnvironmentVariable("QOR_XML_RECORDS_CORPUS"); !extra.isEmpty())
        dirs << extra;
    int files = 0;
    for (const QString& dir : dirs) {
        for (const QString& name : QDir(dir).entryList(QDir::Files)) {
            QFile f(dir + u'/' + name);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            QByteArray bytes = f.readAll();
            expectSame(bytes, name);
            // The exchange file's own names are among those read.
            bytes.replace("iqor_export", "root");
            expectSame(bytes, name);
            ++files;
            if (HasFailure()) return;
        }
    }
    EXPECT_GE(files, 8);
}

}  // namespace

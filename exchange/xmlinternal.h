#pragma once
// Shared between the pieces of the XML layer; not for other libraries.

#include <libxml/tree.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <utility>

#include "exchange/xmldom.h"
#include "platform/safefile.h"

namespace qor::detail {

// The libxml2 document and the nodes that hang in no tree (made and not
// yet appended, or removed). Nodes are freed only with the document, so a
// handle to a removed node never dangles.
struct XmlDocData {
    xmlDocPtr doc = nullptr;
    std::unordered_set<xmlNodePtr> detached;

    XmlDocData();
    explicit XmlDocData(xmlDocPtr parsed);
    ~XmlDocData();
    XmlDocData(const XmlDocData&) = delete;
    XmlDocData& operator=(const XmlDocData&) = delete;

    // A handle to a node of the document.
    static XmlNode handle(const std::shared_ptr<XmlDocData>& data, xmlNodePtr node);
};

// Starts libxml2 once and installs the entity loader that refuses every
// external resource.
void ensureLibxml();

inline const char* chars(const xmlChar* s) { return reinterpret_cast<const char*>(s); }
inline QString fromXml(const xmlChar* s) { return s ? QString::fromUtf8(chars(s)) : QString(); }
inline const xmlChar* xc(const QByteArray& b) {
    return reinterpret_cast<const xmlChar*>(b.constData());
}

// Qualified name of an element or attribute ("prefix:local").
QByteArray qualifiedName(const xmlNs* ns, const xmlChar* name);
bool qualifiedNameEquals(const xmlNs* ns, const xmlChar* name, const QByteArray& qname);
inline bool isElementNamed(const xmlNode* n, const QByteArray& qname) {
    return n->type == XML_ELEMENT_NODE && qualifiedNameEquals(n->ns, n->name, qname);
}

// Attribute value by qualified name (namespace declarations included).
bool attributeValue(const xmlNode* element, const QByteArray& qname, QByteArray* value);
QByteArray attributeContent(const xmlAttr* attr);
// The same of a value's node list (text and entity references).
QByteArray valueContent(const xmlDoc* doc, const xmlNode* first);
// Appends what XmlNode::appendText() reads for a reference to the entity.
void appendReferenceText(const xmlDoc* doc, const xmlChar* name, QByteArray& out);

// Concatenated text of the node and its descendants, UTF-8.
QByteArray textContent(const xmlNode* node);

// Markup of one node (UTF-8, CR raw) and of the whole document before
// encoding; the document form ends every top-level node with CR LF.
void serializeNode(const xmlNode* node, QByteArray& out);
// A non-null encodingOverride replaces the declared encoding in the
// declaration written.
QByteArray serializeDocument(const xmlDoc* doc, QByteArray* declaredEncoding,
                             const QByteArray* encodingOverride = nullptr);
// Whether encodeMarkup can write the encoding.
bool encodingSupported(const QByteArray& encoding);
// UTF-8 markup to the named encoding, characters the encoding cannot hold
// as character references.
QByteArray encodeMarkup(const QByteArray& utf8, const QByteArray& encoding,
                        QByteArray* usedEncoding);

// Output that grows without the bookkeeping of an append per piece: the
// writers put millions of short pieces.
class ByteSink {
public:
    explicit ByteSink(qsizetype reserve = 0) {
        if (reserve > 0) buf_.resize(reserve);
    }
    // Room for n more bytes at the end, taken with advance().
    char* space(qsizetype n) {
        if (len_ + n > buf_.size()) buf_.resize(std::max(buf_.size() * 2, len_ + n + 4096));
        return buf_.data() + len_;
    }
    void advance(qsizetype n) { len_ += n; }
    char* grow(qsizetype n) {
        char* p = space(n);
        len_ += n;
        return p;
    }
    void append(const char* s, qsizetype n) {
        if (n > 0) memcpy(grow(n), s, size_t(n));
    }
    void append(const QByteArray& b) { append(b.constData(), b.size()); }
    void append(char c) { *grow(1) = c; }
    qsizetype size() const { return len_; }
    const char* data() const { return buf_.constData(); }
    void truncate(qsizetype n) { len_ = std::min(len_, n); }
    void clear() { len_ = 0; }
    QByteArray take() {
        buf_.truncate(len_);
        len_ = 0;
        return std::exchange(buf_, QByteArray());
    }

private:
    QByteArray buf_;
    qsizetype len_ = 0;
};

// UTF-8 text as markup carries it: "&", "<" and ">" escaped, what XML
// cannot hold left out, and with `attribute` quotes and white space as
// references, so that it all reads back unchanged.
void escapeText(const char* utf8, qsizetype len, ByteSink& out, bool attribute);

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF).
bool isValidUtf8(const char* s, qsizetype len);

// True for the names of GB2312 itself (not its supersets GBK and GB18030).
bool isGb2312Encoding(const QByteArray& name);

// Code page 936 from UTF-8, piece by piece. For well-formed UTF-8 the
// pieces give, joined, what encodeMarkup gives for the whole: the code page
// has no state, and pieces split between characters. With gb2312Only the
// bytes stay within GB2312 and every other character is written as a
// reference, so that a file declared "gb2312" reads in any parser.
class Cp936Encoder {
public:
    explicit Cp936Encoder(bool gb2312Only = false);
    ~Cp936Encoder();
    Cp936Encoder(const Cp936Encoder&) = delete;
    Cp936Encoder& operator=(const Cp936Encoder&) = delete;
    bool ok() const { return cd_ != nullptr; }
    void append(const char* utf8, qsizetype len, ByteSink& out);

private:
    void convert(const char* utf8, qsizetype len, ByteSink& out);
    void* cd_ = nullptr;
};

// The declaration line ("<?xml ...?>" and CR LF) for a declaration's data;
// a non-null encodingOverride replaces the encoding it names. The encoding
// written goes to *encoding.
QByteArray declarationLine(const QByteArray& data, const QByteArray* encodingOverride,
                           QByteArray* encoding);

// Writes through a temporary file renamed into place.
XmlSaveStatus saveBytes(const QString& path, const QByteArray& bytes, QString* error);
// The same in steps, for a document written as it is made: open the
// temporary, write to it, then commit (rename into place). A save file
// dropped before its commit leaves the target as it was.
XmlSaveStatus openSaveFile(qor::SafeFileWriter& f, QString* error);
XmlSaveStatus commitSaveFile(qor::SafeFileWriter& f, QString* error);
// What a save file's failure is: a full disk, a refused write, or another.
XmlSaveStatus failedSave(const qor::SafeFileWriter& f);

// Whether the encoding name is one of the code page 936 family.
bool isGbEncoding(const QByteArray& name);
// Pseudo-attribute of an xml declaration's data ("version='1.0' ...").
QByteArray declarationField(const QByteArray& data, const char* field);

QList<xmlNodePtr> evaluateQuery(xmlNodePtr context, QStringView query);

}  // namespace qor::detail

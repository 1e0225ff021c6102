#pragma once
// Shared between the pieces of the XML layer; not for other libraries.

#include <libxml/tree.h>

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <unordered_set>

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

// Whether the encoding name is one of the code page 936 family.
bool isGbEncoding(const QByteArray& name);
// Pseudo-attribute of an xml declaration's data ("version='1.0' ...").
QByteArray declarationField(const QByteArray& data, const char* field);

QList<xmlNodePtr> evaluateQuery(xmlNodePtr context, QStringView query);

}  // namespace qor::detail

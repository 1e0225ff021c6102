#pragma once
// A small DOM over libxml2, shaped after the DOM the exchange formats were
// first written against: nodes are counted references (a node keeps its
// document alive), names are matched by their qualified form ("ss:ID"),
// whitespace-only text is dropped on load, and saving writes raw CR LF and
// the document's declared encoding.
//
// Loading never reads anything but the given bytes: no network, no
// external entities, no external DTD, no entity substitution.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>

struct _xmlNode;

namespace qor {

namespace detail {
struct XmlDocData;
}

// A DOM operation that cannot be carried out (null node, wrong hierarchy,
// bad query) or a text that does not convert to the asked number. The
// code is the failure code the DOM would have given.
class XmlError : public std::runtime_error {
public:
    enum Code : uint32_t {
        InvalidPointer = 0x80004003u,
        OutOfMemory = 0x8007000Eu,
        InvalidArgument = 0x80070057u,
        HierarchyRequest = 0x80004005u,
        TypeMismatch = 0x80020005u,
        Overflow = 0x8002000Au,
    };
    XmlError(Code code, const QString& message);
    Code code() const { return code_; }
    QString message() const { return QString::fromUtf8(what()); }

private:
    Code code_;
};

class XmlDocument;

class XmlNode {
public:
    enum class Type {
        Null,
        Element,
        Text,
        CData,
        Comment,
        ProcessingInstruction,
        EntityReference,
        Document,
        Other,
    };

    XmlNode() = default;

    bool isNull() const { return node_ == nullptr; }
    explicit operator bool() const { return node_ != nullptr; }
    Type type() const;
    bool isElement() const { return type() == Type::Element; }

    // Qualified name of an element ("ss:Row"); "#text", "#cdata-section",
    // "#comment", "#document" or the target of a processing instruction.
    QString nodeName() const;
    // The element's qualified name; empty for anything else.
    QString tagName() const;
    // True for an element whose qualified name is exactly the name.
    bool hasTagName(QStringView qualifiedName) const;

    // Text of the node and all its descendants (text and CDATA).
    QString text() const;
    // Replaces the children of an element by one text node (none for an
    // empty text); sets the content of a text, comment or instruction.
    void setText(const QString& text);
    // The node written out as markup (UTF-16, CR kept raw).
    QString xml() const;

    // Attributes by qualified name; "xmlns" and "xmlns:p" read the
    // namespace declarations.
    std::optional<QString> attribute(QStringView name) const;
    QString attributeText(QStringView name) const { return attribute(name).value_or(QString()); }
    bool hasAttribute(QStringView name) const { return attribute(name).has_value(); }
    void setAttribute(QStringView name, const QString& value);
    bool removeAttribute(QStringView name);
    QList<std::pair<QString, QString>> attributes() const;

    XmlNode parent() const;
    XmlNode firstChild() const;
    XmlNode lastChild() const;
    XmlNode nextSibling() const;
    XmlNode previousSibling() const;
    bool hasChildNodes() const;
    QList<XmlNode> childNodes() const;
    // Element children, all or those with the qualified name.
    QList<XmlNode> childElements(QStringView name = {}) const;
    XmlNode firstChildElement(QStringView name = {}) const;
    XmlNode nextSiblingElement(QStringView name = {}) const;

    // Tree changes. A node of another document is copied in and the copy
    // returned. Throw XmlError on a null node, a cycle, a second document
    // element or text at the top of a document.
    XmlNode appendChild(const XmlNode& child);
    XmlNode insertBefore(const XmlNode& child, const XmlNode& before);
    XmlNode removeChild(const XmlNode& child);

    // Selection queries: "name", "*", "a/b", "//name", "/root/name",
    // ".", "..", "text()", "node()", "comment()", predicates [n],
    // [last()], [@a], [@a='v'], [child], [child='v'], and "|" unions.
    // Names are qualified names. Results are in document order without
    // repeats. A query that does not parse throws XmlError.
    QList<XmlNode> selectNodes(QStringView query) const;
    XmlNode selectSingleNode(QStringView query) const;

    XmlDocument ownerDocument() const;
    int lineNumber() const;

    friend bool operator==(const XmlNode& a, const XmlNode& b) { return a.node_ == b.node_; }
    friend bool operator!=(const XmlNode& a, const XmlNode& b) { return a.node_ != b.node_; }

private:
    friend class XmlDocument;
    friend struct detail::XmlDocData;
    XmlNode(std::shared_ptr<detail::XmlDocData> doc, _xmlNode* node)
        : doc_(std::move(doc)), node_(node) {}
    XmlNode wrap(_xmlNode* node) const;
    void requireNotNull(const char* what) const;

    std::shared_ptr<detail::XmlDocData> doc_;
    _xmlNode* node_ = nullptr;
};

enum class XmlSaveStatus { Ok, AccessDenied, WriteFailed };

class XmlDocument {
public:
    XmlDocument() = default;

    // An empty document (no declaration, no element).
    static XmlDocument create();
    // Parses bytes; a null document and the reason when they are not
    // well-formed XML. A declared "GB2312" (or GBK, CP936) is read as
    // GB18030 so every character of code page 936 comes through.
    static XmlDocument parse(const QByteArray& bytes, QString* error = nullptr);
    static XmlDocument load(const QString& path, QString* error = nullptr);

    bool isNull() const { return !data_; }
    explicit operator bool() const { return bool(data_); }

    XmlNode node() const;  // the document node
    XmlNode documentElement() const;

    XmlNode createElement(const QString& qualifiedName) const;
    XmlNode createTextNode(const QString& text) const;
    XmlNode createCDATASection(const QString& text) const;
    XmlNode createComment(const QString& text) const;
    // The target "xml" makes the declaration node; its "encoding" decides
    // how the document is written.
    XmlNode createProcessingInstruction(const QString& target, const QString& data) const;
    XmlNode appendChild(const XmlNode& child) const { return node().appendChild(child); }

    // Encoding named by the declaration ("GB2312"); empty without one.
    QString declaredEncoding() const;
    bool hasDeclaration() const;

    // The document as it is saved: declaration, top-level nodes each
    // followed by CR LF, in the declared encoding (code page 936 with
    // character references for what it cannot hold, UTF-16 with a byte
    // order mark, UTF-8 when nothing or UTF-8 is declared).
    QByteArray toBytes() const;
    QString xml() const;
    // Writes through a temporary file renamed into place.
    XmlSaveStatus save(const QString& path, QString* error = nullptr) const;

    friend bool operator==(const XmlDocument& a, const XmlDocument& b) {
        return a.data_ == b.data_;
    }

private:
    friend class XmlNode;
    explicit XmlDocument(std::shared_ptr<detail::XmlDocData> data) : data_(std::move(data)) {}
    void requireNotNull() const;

    std::shared_ptr<detail::XmlDocData> data_;
};

}  // namespace qor

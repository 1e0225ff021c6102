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
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>
#include <vector>

struct _xmlNode;

namespace qor {

namespace detail {
struct XmlDocData;
struct XmlStreamWriterState;
}  // namespace detail

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
    // The element's name without its prefix, and the URI of its namespace
    // ("" for none): a file may bind a namespace to any prefix or none.
    QString localName() const;
    QString namespaceUri() const;

    // Text of the node and all its descendants (text and CDATA).
    QString text() const;
    // Appends text() to out: a walk over many nodes reads them into one
    // string instead of a string each.
    void appendText(QString& out) const;
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
    // The attribute of that namespace ("" for none) and local name.
    std::optional<QString> attributeNS(QStringView uri, QStringView local) const;

    XmlNode parent() const;
    XmlNode firstChild() const;
    XmlNode lastChild() const;
    XmlNode nextSibling() const;
    bool hasChildNodes() const;
    QList<XmlNode> childNodes() const;
    // Element children, all or those with the qualified name.
    QList<XmlNode> childElements(QStringView name = {}) const;
    XmlNode firstChildElement(QStringView name = {}) const;
    XmlNode nextSiblingElement(QStringView name = {}) const;
    // Moves this handle on to the next element sibling (null after the
    // last); cheaper than nextSiblingElement() in long walks.
    bool toNextSiblingElement();

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
    friend class XmlNameList;
    friend struct detail::XmlDocData;
    XmlNode(std::shared_ptr<detail::XmlDocData> doc, _xmlNode* node)
        : doc_(std::move(doc)), node_(node) {}
    XmlNode wrap(_xmlNode* node) const;
    void requireNotNull(const char* what) const;

    std::shared_ptr<detail::XmlDocData> doc_;
    _xmlNode* node_ = nullptr;
};

// Qualified names an element is looked up among, prepared once for walks
// over many elements.
class XmlNameList {
public:
    explicit XmlNameList(std::span<const QStringView> qualifiedNames);
    // The index of the element's qualified name in the list; -1 for a name
    // not in it, a node that is not an element or a null node.
    int indexOf(const XmlNode& element) const;
    // The same for the name prefix:local (prefix null for none), UTF-8.
    int indexOf(const char* prefix, const char* local) const;

private:
    struct Entry {
        QByteArray name;  // UTF-8
        int index;
    };
    static size_t bucketOf(size_t length, unsigned char first, unsigned char last);
    std::array<std::vector<Entry>, 64> buckets_;
};

// DiskFull: the disk (or the user's quota) ran out; the error text says so.
enum class XmlSaveStatus { Ok, AccessDenied, WriteFailed, DiskFull };

// One record of XmlDocument::parseRecords: an element child of the
// document element, with the texts of those of its element children
// (fields) that were asked for.
struct XmlRecord {
    struct Field {
        int name = -1;  // index among the field names asked for
        qsizetype at = 0, size = 0;  // of its text in `text`
    };
    int name = -1;  // index among the record names asked for
    std::vector<Field> fields;  // in file order
    QByteArray text;            // the fields' texts back to back, UTF-8

    QByteArrayView fieldText(const Field& f) const {
        return QByteArrayView(text.constData() + f.at, f.size);
    }
};

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

    // Reads a document whose element holds a long list of children without
    // holding the whole tree. The document element goes to `root` when its
    // start tag has been read (attributes, no children); then each element
    // child of it, complete and without the whitespace-only text parse()
    // drops, to `child`, and is freed when the call returns: keep no
    // handle to it or to anything in it. Anything else directly inside the
    // document element (text, comments, instructions, entity references)
    // is passed over. Reading follows the rules of parse(), except that a
    // reference to an entity whose text is never read (external, or not
    // declared) refuses the document rather than leave a hole in a value.
    // False and the reason when the bytes are not well-formed XML or are
    // refused so: the calls made until
    // the fault was found stand, so a caller collects and acts only after
    // true. An exception thrown by a call ends the reading and is passed on.
    using ElementVisitor = std::function<void(const XmlNode&)>;
    static bool parseElements(const QByteArray& bytes, const ElementVisitor& root,
                              const ElementVisitor& child, QString* error = nullptr);
    // The same, except that the element children of the document element
    // whose local name is `container` are read a level deeper: each of
    // their element children comes to `child` and is freed, and then the
    // container itself, emptied. A worksheet's rows are read so.
    static bool parseElements(const QByteArray& bytes, const ElementVisitor& root,
                              const ElementVisitor& child, const QByteArray& container,
                              QString* error = nullptr);
    static bool loadElements(const QString& path, const ElementVisitor& root,
                             const ElementVisitor& child, QString* error = nullptr);
    // Reads a whole document from a file as load() does, except for the
    // children of the elements whose local name is `container` and that
    // `accept` takes (asked as each such element starts, with its
    // attributes): each of their element children comes to `child` when it
    // ends, complete and with whitespace-only text dropped as parse() drops
    // it, and is freed when the call returns, with the text before it. The
    // document returned holds those elements empty; all else is as parse()
    // makes it (no declaration node). The document is checked and refused
    // as parseElements() does; a null document and the reason then. A
    // worksheet's rows are read so, its styles and settings kept.
    static XmlDocument loadThinned(const QString& path, const QByteArray& container,
                                   const std::function<bool(const XmlNode&)>& accept,
                                   const ElementVisitor& child, QString* error = nullptr);
    // Reads a document whose element holds a long list of records (elements
    // whose element children, the fields, hold one text each) without
    // building any tree below the document element, which goes to `root`
    // as parseElements() gives it. Each child of the document element whose
    // qualified name is one of recordNames comes to `record`, with those of
    // its element children whose qualified names are in fieldNames, each
    // with the text XmlNode::text() gives of it when parseElements() hands
    // the record over (whitespace-only text dropped by the same rules). The
    // record is reused for the next one: keep nothing of it. Other children
    // and content are passed over. The document is checked, refused and
    // reported as parseElements() does, with the same results.
    using RecordVisitor = std::function<void(const XmlRecord&)>;
    static bool parseRecords(const QByteArray& bytes, const ElementVisitor& root,
                             std::span<const QStringView> recordNames,
                             std::span<const QStringView> fieldNames, const RecordVisitor& record,
                             QString* error = nullptr);
    static bool loadRecords(const QString& path, const ElementVisitor& root,
                            std::span<const QStringView> recordNames,
                            std::span<const QStringView> fieldNames, const RecordVisitor& record,
                            QString* error = nullptr);
    // The document element's name, read from the start of the file alone:
    // false when the file cannot be read or does not begin like XML up to
    // that start tag. Whether the rest is well-formed is not looked at.
    static bool peekRootName(const QString& path, QString* name);

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

// Writes a document element by element, as XmlDocument::toBytes() and
// save() write the same tree built with createElement, setAttribute,
// setText and appendChild, without holding the tree: for files of millions
// of elements. Names and attribute names are checked as the document
// checks them, and a breach throws XmlError the same way.
class XmlStreamWriter {
public:
    // An element name checked and prepared once; it belongs to the writer
    // that made it.
    class Name {
    public:
        Name() = default;

    private:
        friend class XmlStreamWriter;
        const void* owner_ = nullptr;
        QByteArray start_;  // "<name", in the output encoding
        QByteArray open_;   // "<name>"
        QByteArray empty_;  // "<name/>"
        QByteArray end_;    // "</name>"
    };

    // A document without a declaration: written in UTF-8.
    XmlStreamWriter();
    // With the declaration createProcessingInstruction("xml", data) makes;
    // its encoding decides how the document is written.
    explicit XmlStreamWriter(const QString& declarationData);
    ~XmlStreamWriter();
    XmlStreamWriter(const XmlStreamWriter&) = delete;
    XmlStreamWriter& operator=(const XmlStreamWriter&) = delete;

    Name name(QStringView qualifiedName) const;

    // An element whose children follow until endElement(); attributes may
    // be set until its first child.
    void startElement(const Name& name);
    void startElement(QStringView qualifiedName) { startElement(name(qualifiedName)); }
    void setAttribute(QStringView name, const QString& value);
    void endElement();
    // A child element that holds only the text (nothing when it is empty).
    void textElement(const Name& name, QStringView text);
    void textElement(const Name& name, QLatin1StringView text);
    // Text inside the element open now.
    void text(QStringView text);

    // Ends the open elements; the document as toBytes() gives it. Writing
    // after that throws.
    QByteArray toBytes();
    // toBytes() written through a temporary file renamed into place.
    XmlSaveStatus save(const QString& path, QString* error = nullptr);

    // From here on the document goes to a temporary file beside path as it
    // is written, rather than being held whole; save(path) then finishes
    // it and renames it into place, and a writer dropped before that
    // leaves path as it was. The bytes are those save() would write. An
    // encoding that is converted only at the end is still held whole.
    XmlSaveStatus streamTo(const QString& path, QString* error = nullptr);

private:
    void beforeChild();
    void afterWrite();
    std::unique_ptr<detail::XmlStreamWriterState> d_;
};

}  // namespace qor

#include "exchange/xmldom.h"

#include <iconv.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "engine/messages.h"
#include "engine/status.h"
#include "exchange/xmlinternal.h"
#include "platform/safefile.h"

namespace qor {

using namespace detail;

XmlError::XmlError(Code code, const QString& message)
    : std::runtime_error(message.toStdString()), code_(code) {}

namespace detail {

namespace {

// Downloaded files (consolidation definitions, uploads) reach this layer,
// so nothing a document names may be fetched: not a DTD, not an entity,
// not over the network or from the disk.
xmlParserInputPtr refuseExternal(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }

}  // namespace

void ensureLibxml() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(refuseExternal);
    });
}

XmlDocData::XmlDocData() {
    ensureLibxml();
    doc = xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0"));
    if (!doc) throw XmlError(XmlError::OutOfMemory, QStringLiteral("cannot create a document"));
}

XmlDocData::XmlDocData(xmlDocPtr parsed) : doc(parsed) {}

XmlDocData::~XmlDocData() {
    // Detached nodes may hold names from the document's dictionary, so
    // they go before the document.
    for (xmlNodePtr n : detached) xmlFreeNode(n);
    if (doc) xmlFreeDoc(doc);
}

XmlNode XmlDocData::handle(const std::shared_ptr<XmlDocData>& data, xmlNodePtr node) {
    return XmlNode(data, node);
}

QByteArray qualifiedName(const xmlNs* ns, const xmlChar* name) {
    QByteArray q;
    if (ns && ns->prefix) {
        q = chars(ns->prefix);
        q += ':';
    }
    q += chars(name);
    return q;
}

bool qualifiedNameEquals(const xmlNs* ns, const xmlChar* name, const QByteArray& qname) {
    const char* n = chars(name);
    if (!n) return false;
    if (ns && ns->prefix) {
        const char* p = chars(ns->prefix);
        const size_t pl = strlen(p);
        if (size_t(qname.size()) <= pl || qname.at(qsizetype(pl)) != ':') return false;
        if (memcmp(qname.constData(), p, pl) != 0) return false;
        return strcmp(qname.constData() + pl + 1, n) == 0;
    }
    return strcmp(qname.constData(), n) == 0;
}

QByteArray attributeContent(const xmlAttr* attr) { return valueContent(attr->doc, attr->children); }

QByteArray valueContent(const xmlDoc* doc, const xmlNode* c) {
    if (!c) return QByteArray("");
    if (!c->next && c->type == XML_TEXT_NODE) return QByteArray(chars(c->content));
    // Entity references in the value: internal ones give their text,
    // external ones nothing (they are never loaded).
    QByteArray out("");
    for (; c; c = c->next) {
        if (c->type == XML_TEXT_NODE) {
            out += chars(c->content);
        } else if (c->type == XML_ENTITY_REF_NODE) {
            xmlEntityPtr ent = xmlGetDocEntity(doc, c->name);
            if (ent && ent->etype == XML_INTERNAL_GENERAL_ENTITY && ent->content)
                out += chars(ent->content);
        }
    }
    return out;
}

bool attributeValue(const xmlNode* element, const QByteArray& qname, QByteArray* value) {
    if (!element || element->type != XML_ELEMENT_NODE) return false;
    for (const xmlAttr* a = element->properties; a; a = a->next) {
        if (qualifiedNameEquals(a->ns, a->name, qname)) {
            *value = attributeContent(a);
            return true;
        }
    }
    if (qname == "xmlns" || qname.startsWith("xmlns:")) {
        const QByteArray prefix = qname.size() > 6 ? qname.mid(6) : QByteArray();
        for (const xmlNs* ns = element->nsDef; ns; ns = ns->next) {
            const bool match = prefix.isEmpty() ? ns->prefix == nullptr
                                                : (ns->prefix && prefix == chars(ns->prefix));
            if (match) {
                *value = ns->href ? QByteArray(chars(ns->href)) : QByteArray("");
                return true;
            }
        }
    }
    return false;
}

namespace {

void appendText(const xmlNode* node, QByteArray& out, int depth);

void appendChildrenText(const xmlNode* first, QByteArray& out, int depth) {
    for (const xmlNode* c = first; c; c = c->next) appendText(c, out, depth);
}

void appendText(const xmlNode* node, QByteArray& out, int depth) {
    switch (node->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            if (node->content) out += chars(node->content);
            break;
        case XML_ELEMENT_NODE:
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            appendChildrenText(node->children, out, depth);
            break;
        case XML_ENTITY_REF_NODE: {
            // Entities nest only as deep as the parser allowed; the depth
            // guard keeps a hand-built loop from recursing for ever.
            if (depth > 40) break;
            xmlEntityPtr ent = xmlGetDocEntity(node->doc, node->name);
            if (ent && ent->etype == XML_INTERNAL_GENERAL_ENTITY)
                appendChildrenText(ent->children, out, depth + 1);
            break;
        }
        default:
            break;
    }
}

}  // namespace

void appendReferenceText(const xmlDoc* doc, const xmlChar* name, QByteArray& out) {
    xmlEntityPtr ent = xmlGetDocEntity(doc, name);
    if (ent && ent->etype == XML_INTERNAL_GENERAL_ENTITY) appendChildrenText(ent->children, out, 1);
}

QByteArray textContent(const xmlNode* node) {
    if (node->type == XML_COMMENT_NODE || node->type == XML_PI_NODE ||
        node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE)
        return QByteArray(node->content ? chars(node->content) : "");
    // The common case of an element holding one text node.
    if (node->type == XML_ELEMENT_NODE) {
        const xmlNode* c = node->children;
        if (!c) return QByteArray("");
        if (!c->next && (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE))
            return QByteArray(c->content ? chars(c->content) : "");
    }
    QByteArray out("");
    appendText(node, out, 0);
    return out;
}

}  // namespace detail

// ---------------------------------------------------------------- loading

namespace {

bool isBlank(const xmlChar* s) {
    if (!s) return true;
    for (; *s; ++s)
        if (*s != ' ' && *s != '\t' && *s != '\n' && *s != '\r') return false;
    return true;
}

// xml:space="preserve" keeps the blank text below it, "default" ends that.
int spaceMode(const xmlNode* element) {
    for (const xmlAttr* a = element->properties; a; a = a->next) {
        if (a->ns && a->ns->href && xmlStrEqual(a->ns->href, XML_XML_NAMESPACE) &&
            xmlStrEqual(a->name, reinterpret_cast<const xmlChar*>("space"))) {
            const QByteArray v = attributeContent(a);
            if (v == "preserve") return 1;
            if (v == "default") return 0;
        }
    }
    return -1;
}

// Whitespace-only text between elements is layout, not content; dropping
// it makes a pretty-printed file read like a compact one. The parser
// limits nesting, so recursion depth is bounded.
void dropBlankText(xmlNodePtr parent, bool preserve) {
    xmlNodePtr c = parent->children;
    while (c) {
        xmlNodePtr next = c->next;
        if (c->type == XML_TEXT_NODE) {
            if (!preserve && isBlank(c->content)) {
                xmlUnlinkNode(c);
                xmlFreeNode(c);
            }
        } else if (c->type == XML_ELEMENT_NODE) {
            bool keep = preserve;
            if (c->properties) {
                const int mode = spaceMode(c);
                if (mode >= 0) keep = mode == 1;
            }
            if (c->children) dropBlankText(c, keep);
        }
        c = next;
    }
}

struct Declaration {
    bool present = false;
    QByteArray data;  // between "<?xml" and "?>"
    QByteArray encoding;
    bool bom = false;    // any byte order mark
    bool utf16 = false;  // UTF-16 by mark or by the first bytes
};

// Reads the xml declaration (if any) ahead of the parser, so a declared
// code page 936 name can be read as GB18030 and the declaration kept as
// the document's first node.
Declaration sniffDeclaration(const QByteArray& bytes) {
    Declaration d;
    QByteArray head;
    const auto* u = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype n = bytes.size();
    const qsizetype limit = 1024;
    if (n >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF))) {
        d.bom = d.utf16 = true;
        const int lo = u[0] == 0xFF ? 0 : 1;
        for (qsizetype i = 2; i + 1 < n && head.size() < limit; i += 2)
            head += u[i + 1 - lo] == 0 ? char(u[i + lo]) : '?';
    } else if (n >= 4 && ((u[0] == '<' && u[1] == 0 && u[2] == '?' && u[3] == 0) ||
                          (u[0] == 0 && u[1] == '<' && u[2] == 0 && u[3] == '?'))) {
        d.utf16 = true;
        const int lo = u[0] == '<' ? 0 : 1;
        for (qsizetype i = 0; i + 1 < n && head.size() < limit; i += 2)
            head += u[i + 1 - lo] == 0 ? char(u[i + lo]) : '?';
    } else {
        qsizetype start = 0;
        if (n >= 3 && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF) {
            d.bom = true;
            start = 3;
        }
        head = bytes.mid(start, limit);
    }
    if (!head.startsWith("<?xml") || head.size() < 6) return d;
    const char after = head.at(5);
    if (after != ' ' && after != '\t' && after != '\r' && after != '\n') return d;
    const qsizetype end = head.indexOf("?>");
    if (end < 0) return d;
    d.present = true;
    d.data = head.mid(6, end - 6).trimmed();
    d.encoding = declarationField(d.data, "encoding");
    return d;
}

// Code page 936 bytes to UTF-8, strictly: GB18030 decoding, plus the lone
// byte 0x80 that the 936 tables give the euro sign. A byte sequence that is
// not text fails the load like any other malformed input.
//
// The usual file is ASCII markup with some Chinese text, so ASCII is copied
// as it stands and the rest converted a run at a time. GB18030 has no
// state and its sequences are told apart by their first two bytes, so runs
// that convert whole give what converting the whole input gives. Once a
// run does not (a lone euro byte, a damaged byte) the rest goes the
// careful way, a character at a time, from that run on: the runs before it
// ended on character boundaries. The input may come a piece at a time; a
// sequence split between two pieces waits for the next.
class GbStreamDecoder {
public:
    GbStreamDecoder() : m_cd(iconv_open("UTF-8", "GB18030")) {}
    ~GbStreamDecoder() {
        if (ok()) iconv_close(m_cd);
    }
    GbStreamDecoder(const GbStreamDecoder&) = delete;
    GbStreamDecoder& operator=(const GbStreamDecoder&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // Converts what it can of in[0..n), byte `base` of the whole input; the
    // bytes it leaves (a sequence the next piece completes) come again at
    // the front of the next call. -1 and *error for input that is not text.
    qsizetype feed(const char* in, qsizetype n, bool last, qsizetype base, ByteSink& out,
                   QString* error) {
        if (m_careful) return feedCarefully(in, n, last, base, out, error);
        const auto* p = reinterpret_cast<const uchar*>(in);
        const uchar* const end = p + n;
        while (p < end) {
            const uchar* run = p;
            while (end - p >= 8) {
                uint64_t w;
                memcpy(&w, p, 8);
                if (w & 0x8080808080808080ull) break;
                p += 8;
            }
            while (p < end && *p < 0x80) ++p;
            out.append(reinterpret_cast<const char*>(run), p - run);
            if (p == end) break;
            run = p;
            bool split = false;
            while (p < end && *p >= 0x80) {
                if (!last && end - p < 2) {
                    split = true;
                    break;
                }
                const qsizetype len = end - p >= 2 && p[1] >= 0x30 && p[1] <= 0x39 ? 4 : 2;
                if (!last && end - p < len) {
                    split = true;
                    break;
                }
                p += std::min(len, qsizetype(end - p));
            }
            char* src = const_cast<char*>(reinterpret_cast<const char*>(run));
            size_t srcLeft = size_t(p - run);
            const qsizetype mark = out.size();
            while (srcLeft > 0) {
                const qsizetype room = qsizetype(srcLeft) * 2 + 16;
                char* dst = out.space(room);
                char* const dstStart = dst;
                size_t dstLeft = size_t(room);
                const size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
                out.advance(dst - dstStart);
                if (r == size_t(-1) && errno != E2BIG) break;
            }
            if (srcLeft > 0) {
                out.truncate(mark);
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
                m_careful = true;
                const qsizetype at = reinterpret_cast<const char*>(run) - in;
                const qsizetype used =
                    feedCarefully(in + at, n - at, last, base + at, out, error);
                return used < 0 ? -1 : at + used;
            }
            if (split) return reinterpret_cast<const char*>(p) - in;
        }
        return n;
    }

private:
    qsizetype feedCarefully(const char* in, qsizetype n, bool last, qsizetype base, ByteSink& out,
                            QString* error) {
        char* src = const_cast<char*>(in);
        size_t srcLeft = size_t(n);
        while (srcLeft > 0) {
            const qsizetype room = qsizetype(srcLeft) * 2 + 16;
            char* dst = out.space(room);
            char* const dstStart = dst;
            size_t dstLeft = size_t(room);
            const size_t r = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
            out.advance(dst - dstStart);
            if (r != size_t(-1) || errno == E2BIG) continue;
            if (errno == EILSEQ && uchar(*src) == 0x80) {
                out.append("\xE2\x82\xAC", 3);
                ++src;
                --srcLeft;
                iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            if (errno == EINVAL && !last) break;  // completed by the next piece
            if (error) *error = LoadErrorText(str::kXmlNotGbk).arg(base + qsizetype(src - in));
            return -1;
        }
        return src - in;
    }

    iconv_t m_cd;
    bool m_careful = false;
};

bool gbToUtf8(const QByteArray& in, QByteArray* out, QString* error) {
    GbStreamDecoder gb;
    if (!gb.ok()) {
        if (error) *error = StatusText(Status::ReadError);
        return false;
    }
    ByteSink sink(in.size() + in.size() / 4 + 64);
    if (gb.feed(in.constData(), in.size(), true, 0, sink, error) < 0) return false;
    *out = sink.take();
    return true;
}

// What a parse carries to its callbacks (through the context's private
// pointer, which libxml2 hands on to the contexts it makes for entities).
struct ParseState {
    bool haveError = false;
    QString errorText;

    // Reading element by element:
    xmlParserCtxtPtr ctxt = nullptr;  // the document's own context
    const XmlDocument::ElementVisitor* onRoot = nullptr;
    const XmlDocument::ElementVisitor* onChild = nullptr;
    std::shared_ptr<XmlDocData> data;
    xmlNodePtr root = nullptr;
    bool rootKeepsBlanks = false;
    QByteArray containerName;         // children of root so named are read child by child
    xmlNodePtr container = nullptr;   // the one being read
    std::exception_ptr thrown;
    // Reading a whole document but for the children of some elements
    // (XmlDocument::loadThinned):
    QByteArray thinName;  // local name of the elements whose children go one by one
    const std::function<bool(const XmlNode&)>* thinAccept = nullptr;
    std::vector<xmlNodePtr> thinning;  // such elements open now, innermost last
    bool refused = false;  // the document's entities refused it
    struct RecordReading* records = nullptr;  // reading record by record

    // What entity references stand for (see chargeReference).
    qint64 inputBytes = 0;  // of the document, as far as it has been fed
    qint64 entityText = 0;  // bytes the references read so far stand for
    std::unordered_map<const xmlEntity*, qint64> entityLengths;
};

// An entity's text is held once, but each reference to it is a copy of
// that text for whoever reads the value: a file of 170 KB that refers
// 40,000 times to one entity of 50,000 characters makes two gigabytes of
// values. The text that all the references of a document stand for is
// counted as the references are read, and the document is refused once it
// comes to more than nine times the bytes read so far and 1 MiB (the
// whole then is more than ten times the file and 1 MiB), or more than
// 4 MiB in any case. Files this system writes use no entities at all.
constexpr qint64 kMaxEntityText = qint64(4) << 20;
constexpr qint64 kEntityTextFloor = qint64(1) << 20;
constexpr qint64 kEntityTextPerByte = 9;
constexpr int kMaxEntityNesting = 40;

// The length of an entity's value with every entity it refers to
// replaced, from its declared text (what libxml2 keeps as the entity's
// content holds the references to other entities as written). Lengths
// past the limit stop counting early: they only need to be too long.
qint64 expandedLength(ParseState* state, const xmlEntity* ent, int depth) {
    if (!ent || ent->etype != XML_INTERNAL_GENERAL_ENTITY || !ent->content) return 0;
    if (const auto it = state->entityLengths.find(ent); it != state->entityLengths.end())
        return it->second;
    // The parser refuses entity loops; the guard keeps a document it let
    // through from recursing for ever.
    if (depth > kMaxEntityNesting) return kMaxEntityText + 1;
    const char* s = chars(ent->content);
    const char* end = s + strlen(s);
    qint64 total = 0;
    while (s < end && total <= kMaxEntityText) {
        const char* amp = static_cast<const char*>(memchr(s, '&', size_t(end - s)));
        if (!amp) {
            total += end - s;
            break;
        }
        total += amp - s;
        const char* semi = static_cast<const char*>(memchr(amp, ';', size_t(end - amp)));
        if (!semi || amp[1] == '#') {
            total += (semi ? semi + 1 : end) - amp;
            s = semi ? semi + 1 : end;
            continue;
        }
        const QByteArray name(amp + 1, qsizetype(semi - amp - 1));
        const xmlEntity* inner =
            state->ctxt && state->ctxt->myDoc ? xmlGetDocEntity(state->ctxt->myDoc, xc(name)) : nullptr;
        if (inner && inner->etype == XML_INTERNAL_GENERAL_ENTITY)
            total += expandedLength(state, inner, depth + 1);
        else
            total += semi + 1 - amp;
        s = semi + 1;
    }
    state->entityLengths.emplace(ent, total);
    return total;
}

// Adds a reference's text to the document's; false (and the parser
// stopped) once the document is refused for it.
bool chargeEntityText(ParseState* state, xmlParserCtxtPtr ctxt, qint64 length) {
    if (state->refused) return false;
    state->entityText = std::min(state->entityText + length, kMaxEntityText + 1);
    const qint64 allowed =
        std::min(kMaxEntityText, kEntityTextPerByte * state->inputBytes + kEntityTextFloor);
    if (state->entityText <= allowed) return true;
    state->refused = true;
    if (!state->haveError) {
        state->haveError = true;
        state->errorText = LoadErrorText(str::kXmlEntityUnreadable).arg(xmlSAX2GetLineNumber(ctxt));
    }
    xmlStopParser(state->ctxt);
    if (ctxt != state->ctxt) xmlStopParser(ctxt);
    return false;
}

// The document's own references only: those inside an entity's text are
// counted in that entity's length.
bool chargeReference(void* ctx, const xmlChar* name) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = ctxt ? static_cast<ParseState*>(ctxt->_private) : nullptr;
    if (!state || !state->ctxt || ctxt != state->ctxt) return !state || !state->refused;
    const xmlEntity* ent = ctxt->myDoc ? xmlGetDocEntity(ctxt->myDoc, name) : nullptr;
    return chargeEntityText(state, ctxt, expandedLength(state, ent, 0));
}

// Attribute values keep their references as "&name;" (entities are not
// substituted), so they are counted from the values the parser hands on.
bool chargeAttributes(void* ctx, int nbAttributes, const xmlChar** attributes) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = ctxt ? static_cast<ParseState*>(ctxt->_private) : nullptr;
    if (!state || !state->ctxt || ctxt != state->ctxt || !attributes) return true;
    for (int i = 0; i < nbAttributes; ++i) {
        const char* v = chars(attributes[5 * i + 3]);
        const char* end = chars(attributes[5 * i + 4]);
        if (!v || !end || !memchr(v, '&', size_t(end - v))) continue;
        for (const char* s = v; s < end;) {
            const char* amp = static_cast<const char*>(memchr(s, '&', size_t(end - s)));
            if (!amp) break;
            const char* semi = static_cast<const char*>(memchr(amp, ';', size_t(end - amp)));
            if (!semi) break;
            if (amp[1] != '#') {
                const QByteArray name(amp + 1, qsizetype(semi - amp - 1));
                const xmlEntity* ent = ctxt->myDoc ? xmlGetDocEntity(ctxt->myDoc, xc(name)) : nullptr;
                if (!chargeEntityText(state, ctxt, expandedLength(state, ent, 0))) return false;
            }
            s = semi + 1;
        }
    }
    return true;
}

// A parameter entity's text is parsed again at each reference between the
// declarations; counted the same way, a document cannot make the parser
// read gigabytes of declarations from a few kilobytes.
xmlEntityPtr countingParameterEntity(void* ctx, const xmlChar* name) {
    xmlEntityPtr ent = xmlSAX2GetParameterEntity(ctx, name);
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = ctxt ? static_cast<ParseState*>(ctxt->_private) : nullptr;
    if (ent && state && state->ctxt && !chargeEntityText(state, ctxt, ent->length)) return nullptr;
    return ent;
}

void countingReference(void* ctx, const xmlChar* name) {
    if (chargeReference(ctx, name)) xmlSAX2Reference(ctx, name);
}

void countingStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                          const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                          int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
    if (!chargeAttributes(ctx, nbAttributes, attributes)) return;
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                          nbDefaulted, attributes);
}

void recordError(void* userData, xmlErrorPtr err) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    if (!ctxt || !ctxt->_private || !err) return;
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (state->haveError || err->level < XML_ERR_ERROR) return;
    state->haveError = true;
    // libxml2's own words are not the user's language: what is kept of
    // them is whether entities were the trouble.
    const bool entities = err->message && QByteArray(err->message).contains("ntit");
    state->errorText =
        LoadErrorText(entities ? str::kXmlEntityUnreadable : str::kXmlNotWellFormed).arg(err->line);
}

// The bytes as the parser is to read them.
struct ParserInput {
    Declaration decl;
    QByteArray transcoded;
    const QByteArray* bytes = nullptr;
    bool ignoreDeclaredEncoding = false;
};

bool prepareInput(const QByteArray& bytes, ParserInput* in, QString* error) {
    if (bytes.isEmpty()) {
        if (error) *error = LoadErrorText(str::kFileIncomplete);
        return false;
    }
    in->decl = sniffDeclaration(bytes);
    in->bytes = &bytes;
    // A byte order mark outranks the declaration.
    if (!in->decl.bom && !in->decl.utf16 && isGbEncoding(in->decl.encoding)) {
        if (!gbToUtf8(bytes, &in->transcoded, error)) return false;
        in->bytes = &in->transcoded;
        in->ignoreDeclaredEncoding = true;
    }
    if (in->bytes->size() > INT_MAX) {
        if (error) *error = LoadErrorText(str::kFileTooLarge);
        return false;
    }
    return true;
}

// A context that reads the input by the rules of this layer: nothing from
// the network, no entity substitution, no DTD loading, no validation.
xmlParserCtxtPtr newParser(const ParserInput& in, ParseState* state, QString* error) {
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(in.bytes->constData(), int(in.bytes->size()));
    if (!ctxt) {
        if (error) *error = StatusText(Status::OutOfMemory);
        return nullptr;
    }
    ctxt->_private = state;
    if (ctxt->sax) {
        ctxt->sax->serror = recordError;
        ctxt->sax->reference = countingReference;
        ctxt->sax->startElementNs = countingStartElement;
        ctxt->sax->getParameterEntity = countingParameterEntity;
    }
    ctxt->userData = ctxt;
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (in.ignoreDeclaredEncoding) options |= XML_PARSE_IGNORE_ENC;
    xmlCtxtUseOptions(ctxt, options);
    // Process-wide libxml2 defaults can switch these on behind our back.
    ctxt->replaceEntities = 0;
    ctxt->loadsubset = 0;
    ctxt->validate = 0;
    ctxt->keepBlanks = 1;
    state->ctxt = ctxt;
    state->inputBytes = in.bytes->size();
    return ctxt;
}

QString parseError(const ParseState& state, xmlParserCtxtPtr ctxt) {
    if (state.haveError) return state.errorText;
    return LoadErrorText(str::kXmlNotWellFormed).arg(ctxt->lastError.line);
}

// The callbacks of element by element reading. They run inside libxml2, so
// nothing may be thrown through them: a visitor's exception is kept, the
// parser stopped, and the exception thrown again once the parser is gone.
ParseState* streamState(void* ctx) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    // Contexts made for the content of entities share the private pointer
    // and the callbacks; what they build is not the document's.
    if (!state || state->ctxt != ctxt || state->thrown) return nullptr;
    return state;
}

void keepException(ParseState* state) {
    state->thrown = std::current_exception();
    xmlStopParser(state->ctxt);
}

void streamStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                        const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                        int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
    if (!chargeAttributes(ctx, nbAttributes, attributes)) return;
    xmlSAX2StartElementNs(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                          nbDefaulted, attributes);
    ParseState* state = streamState(ctx);
    if (!state) return;
    xmlNodePtr n = state->ctxt->node;
    if (state->root) {
        if (n && n->parent == state->root && !state->container && !state->containerName.isEmpty() &&
            state->containerName == chars(localname))
            state->container = n;
        return;
    }
    if (!n || n->parent != reinterpret_cast<xmlNodePtr>(state->ctxt->myDoc)) return;
    state->root = n;
    state->rootKeepsBlanks = n->properties && spaceMode(n) == 1;
    try {
        state->data = std::make_shared<XmlDocData>(state->ctxt->myDoc);
        (*state->onRoot)(XmlDocData::handle(state->data, n));
    } catch (...) {
        keepException(state);
    }
}

void streamEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                      const xmlChar* uri) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    xmlNodePtr cur = ctxt->node;
    xmlSAX2EndElementNs(ctx, localname, prefix, uri);
    ParseState* state = streamState(ctx);
    if (!state || !cur || !state->root) return;
    xmlNodePtr parent = cur->parent;
    const bool inContainer = state->container && parent == state->container;
    if (!inContainer && parent != state->root) return;
    if (cur == state->container) state->container = nullptr;
    bool keep = state->rootKeepsBlanks;
    if (inContainer && parent->properties) {
        const int mode = spaceMode(parent);
        if (mode >= 0) keep = mode == 1;
    }
    if (cur->properties) {
        const int mode = spaceMode(cur);
        if (mode >= 0) keep = mode == 1;
    }
    if (cur->children) dropBlankText(cur, keep);
    try {
        (*state->onChild)(XmlDocData::handle(state->data, cur));
    } catch (...) {
        keepException(state);
    }
    // Everything read so far inside the element has been seen. Emptying
    // the element (not just taking this child out) also keeps the parser
    // from adding text to a text node it has stopped tracking.
    xmlNodePtr done = inContainer ? parent : state->root;
    xmlNodePtr list = done->children;
    done->children = nullptr;
    done->last = nullptr;
    if (list) xmlFreeNodeList(list);
}

// An entity reference whose text is never read (an external entity, or
// one the document does not declare) stands where the document meant a
// value: reading on would hand the caller a value the file never held, so
// element by element reading refuses the document. The contexts that parse
// an internal entity's content come here too, with the document's state.
bool admitReference(void* ctx, const xmlChar* name) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = ctxt ? static_cast<ParseState*>(ctxt->_private) : nullptr;
    if (!state || !state->ctxt) return true;
    const xmlEntity* ent = state->ctxt->myDoc ? xmlGetDocEntity(state->ctxt->myDoc, name) : nullptr;
    if (ent && ent->etype == XML_INTERNAL_GENERAL_ENTITY) return chargeReference(ctx, name);
    if (!state->refused) {
        state->refused = true;
        state->haveError = true;
        state->errorText = LoadErrorText(str::kXmlEntityUnreadable).arg(xmlSAX2GetLineNumber(ctx));
    }
    xmlStopParser(state->ctxt);
    if (ctxt != state->ctxt) xmlStopParser(ctxt);
    return false;
}

void streamReference(void* ctx, const xmlChar* name) {
    if (admitReference(ctx, name)) xmlSAX2Reference(ctx, name);
}

// ------------------------------------------------ reading record by record

// Names looked up by the pointer the parser hands them over as: it keeps
// one copy of each name in its dictionary, so after the first sight of a
// name finding it again is one comparison of pointers.
class InternedNames {
public:
    explicit InternedNames(std::span<const QStringView> names) : names_(names) { slots_.fill({}); }

    int indexOf(xmlParserCtxtPtr ctxt, const xmlChar* prefix, const xmlChar* local) {
        const size_t h = (reinterpret_cast<uintptr_t>(local) >> 4) ^
                         (reinterpret_cast<uintptr_t>(prefix) >> 6);
        for (size_t i = 0; i < slots_.size(); ++i) {
            Slot& s = slots_[(h + i) % slots_.size()];
            if (s.local == local && s.prefix == prefix) return s.index;
            if (s.local) continue;
            const int index = names_.indexOf(chars(prefix), chars(local));
            // Only names the dictionary owns stay where they are.
            if (ctxt->dict && xmlDictOwns(ctxt->dict, local) == 1 &&
                (!prefix || xmlDictOwns(ctxt->dict, prefix) == 1) && ++used_ < slots_.size() / 2)
                s = {local, prefix, index};
            return index;
        }
        return names_.indexOf(chars(prefix), chars(local));
    }

private:
    struct Slot {
        const xmlChar* local = nullptr;
        const xmlChar* prefix = nullptr;
        int index = -1;
    };
    XmlNameList names_;
    std::array<Slot, 256> slots_;
    size_t used_ = 0;
};

struct RecordReading {
    RecordReading(std::span<const QStringView> recordNames, std::span<const QStringView> fieldNames)
        : records(recordNames), fields(fieldNames) {}
    InternedNames records, fields;
    const XmlDocument::RecordVisitor* onRecord = nullptr;
    XmlRecord record;
    // Elements open: 0 outside the document element, 1 in it, 2 in a
    // record, 3 in a field, more below that.
    int level = 0;
    std::vector<char> preserve{0};  // by level: whitespace-only text kept
    bool inRecord = false;          // a record asked for
    bool inField = false;           // a field of it asked for
    // The run of text being read: where it starts in record.text (-1 for
    // none) and whether it is whitespace only so far. The tree holds such
    // a run as one text node, which is dropped when it is blank.
    qsizetype run = -1;
    bool runBlank = true;

    void endRun() {
        if (run < 0) return;
        if (runBlank && !preserve[size_t(level)]) record.text.truncate(run);
        run = -1;
    }
};

// The state of a record by record reading when ctx is the document's own
// context; null in the contexts that parse an entity's content, which
// build the entity's nodes as before.
ParseState* recordState(void* ctx) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (!state || state->ctxt != ctxt || !state->records) return nullptr;
    return state;
}

bool isBlankByte(xmlChar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// xml:space as spaceMode() reads it from the attribute the tree would hold.
int spaceModeOf(xmlParserCtxtPtr ctxt, int nbAttributes, int nbDefaulted,
                const xmlChar** attributes) {
    // The tree gets the attributes the document defaults only when asked to.
    const int n = (ctxt->loadsubset & XML_COMPLETE_ATTRS) ? nbAttributes : nbAttributes - nbDefaulted;
    int mode = -1;
    for (int i = 0; i < n; ++i) {
        const xmlChar** a = attributes + 5 * i;
        const size_t len = size_t(a[4] - a[3]);
        const bool space = mode < 0 && a[2] && xmlStrEqual(a[2], XML_XML_NAMESPACE) &&
                           xmlStrEqual(a[0], reinterpret_cast<const xmlChar*>("space"));
        if (memchr(a[3], '&', len)) {
            // The tree parses the references of such a value, and that can
            // be where an entity's nodes are first made: done here too, so
            // that what the entity reads as later is the same.
            xmlNodePtr list = xmlStringLenGetNodeList(ctxt->myDoc, a[3], int(len));
            if (space) {
                const QByteArray v = valueContent(ctxt->myDoc, list);
                mode = v == "preserve" ? 1 : v == "default" ? 0 : -1;
            }
            if (list) xmlFreeNodeList(list);
        } else if (space) {
            const QByteArrayView v(chars(a[3]), qsizetype(len));
            mode = v == "preserve" ? 1 : v == "default" ? 0 : -1;
        }
    }
    return mode;
}

void recordStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                        const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                        int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
    ParseState* state = recordState(ctx);
    if (!state || state->records->level == 0) {
        // An entity's content, or the document element, which is built.
        streamStartElement(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                           nbDefaulted, attributes);
        if (state && state->root && !state->thrown) {
            RecordReading& r = *state->records;
            r.level = 1;
            r.preserve.assign(2, 0);
            r.preserve[1] = state->rootKeepsBlanks;
        }
        return;
    }
    if (!chargeAttributes(ctx, nbAttributes, attributes)) return;
    xmlParserCtxtPtr ctxt = state->ctxt;
    // Each element takes a place on the parser's stack of nodes, as the
    // tree's would: the parser's limit on nesting holds the same.
    if (nodePush(ctxt, state->root) < 0) return;
    RecordReading& r = *state->records;
    r.endRun();
    const int mode = spaceModeOf(ctxt, nbAttributes, nbDefaulted, attributes);
    ++r.level;
    if (r.preserve.size() <= size_t(r.level)) r.preserve.resize(size_t(r.level) + 1);
    r.preserve[size_t(r.level)] = mode >= 0 ? char(mode == 1) : r.preserve[size_t(r.level) - 1];
    if (r.level == 2) {
        const int index = r.records.indexOf(ctxt, prefix, localname);
        r.inRecord = index >= 0;
        if (r.inRecord) {
            r.record.name = index;
            r.record.fields.clear();
            r.record.text.resize(0);
        }
    } else if (r.level == 3 && r.inRecord) {
        const int index = r.fields.indexOf(ctxt, prefix, localname);
        r.inField = index >= 0;
        if (r.inField) r.record.fields.push_back({index, r.record.text.size(), 0});
    }
}

void recordEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                      const xmlChar* uri) {
    ParseState* state = recordState(ctx);
    if (!state || state->records->level <= 1) {
        xmlSAX2EndElementNs(ctx, localname, prefix, uri);
        if (state) state->records->level = 0;
        return;
    }
    RecordReading& r = *state->records;
    r.endRun();
    nodePop(state->ctxt);
    if (r.level == 3 && r.inField) {
        XmlRecord::Field& f = r.record.fields.back();
        f.size = r.record.text.size() - f.at;
        r.inField = false;
    } else if (r.level == 2 && r.inRecord) {
        r.inRecord = false;
        try {
            (*r.onRecord)(r.record);
        } catch (...) {
            keepException(state);
        }
    }
    --r.level;
}

void recordCharacters(void* ctx, const xmlChar* ch, int len) {
    ParseState* state = recordState(ctx);
    if (!state) {
        xmlSAX2Characters(ctx, ch, len);
        return;
    }
    RecordReading& r = *state->records;
    if (!r.inField) return;
    if (r.run < 0) {
        r.run = r.record.text.size();
        r.runBlank = true;
    }
    if (r.runBlank) r.runBlank = std::all_of(ch, ch + len, isBlankByte);
    r.record.text.append(chars(ch), len);
}

void recordCData(void* ctx, const xmlChar* value, int len) {
    ParseState* state = recordState(ctx);
    if (!state) {
        xmlSAX2CDataBlock(ctx, value, len);
        return;
    }
    RecordReading& r = *state->records;
    if (!r.inField) return;
    r.endRun();
    r.record.text.append(chars(value), len);
}

// Comments and instructions are no text, but they end a run of it.
void recordComment(void* ctx, const xmlChar* value) {
    ParseState* state = recordState(ctx);
    if (!state || state->records->level == 0) {
        xmlSAX2Comment(ctx, value);
        return;
    }
    if (state->records->inField) state->records->endRun();
}

void recordInstruction(void* ctx, const xmlChar* target, const xmlChar* data) {
    ParseState* state = recordState(ctx);
    if (!state || state->records->level == 0) {
        xmlSAX2ProcessingInstruction(ctx, target, data);
        return;
    }
    if (state->records->inField) state->records->endRun();
}

void recordReference(void* ctx, const xmlChar* name) {
    if (!admitReference(ctx, name)) return;
    ParseState* state = recordState(ctx);
    if (!state || state->records->level == 0) {
        xmlSAX2Reference(ctx, name);
        return;
    }
    RecordReading& r = *state->records;
    if (!r.inField) return;
    r.endRun();
    appendReferenceText(state->ctxt->myDoc, name, r.record.text);
}

}  // namespace

XmlDocument XmlDocument::parse(const QByteArray& bytes, QString* error) {
    ensureLibxml();
    ParserInput in;
    if (!prepareInput(bytes, &in, error)) return {};
    ParseState state;
    xmlParserCtxtPtr ctxt = newParser(in, &state, error);
    if (!ctxt) return {};

    xmlParseDocument(ctxt);
    xmlDocPtr doc = ctxt->myDoc;
    const bool wellFormed = ctxt->wellFormed && doc && !state.refused;
    if (!wellFormed) {
        if (error) *error = parseError(state, ctxt);
        if (doc) xmlFreeDoc(doc);
        ctxt->myDoc = nullptr;
        ctxt->_private = nullptr;
        xmlFreeParserCtxt(ctxt);
        return {};
    }
    ctxt->myDoc = nullptr;
    ctxt->_private = nullptr;
    xmlFreeParserCtxt(ctxt);

    auto data = std::make_shared<XmlDocData>(doc);
    dropBlankText(reinterpret_cast<xmlNodePtr>(doc), false);
    const Declaration& decl = in.decl;
    if (decl.present) {
        // The declaration is the first node of the document, as the
        // exchange code expects to find and write it.
        xmlNodePtr pi = xmlNewDocPI(doc, reinterpret_cast<const xmlChar*>("xml"), xc(decl.data));
        if (pi) {
            pi->parent = reinterpret_cast<xmlNodePtr>(doc);
            pi->next = doc->children;
            if (doc->children) doc->children->prev = pi;
            doc->children = pi;
            if (!doc->last) doc->last = pi;
        }
    }
    return XmlDocument(data);
}

namespace {

// Reads the next raw bytes into buf (at most cap): how many, 0 at the end,
// -1 with *error when the input cannot be read.
using ByteSource = std::function<qsizetype(char* buf, qsizetype cap, QString* error)>;

// Reading over bytes that arrive a piece at a time: the parser is fed as
// the pieces come (code page 936 converted piece by piece), so neither the
// input nor a tree of it is ever held whole. `handlers` puts the callbacks
// of the kind of reading into the parser's table; `state` is the reading's.
bool streamDocument(const ByteSource& source, ParseState& state,
                    const std::function<void(xmlSAXHandler*)>& handlers, QString* error) {
    ensureLibxml();
    constexpr qsizetype kPiece = 1 << 18;
    QByteArray raw(kPiece, Qt::Uninitialized);
    // The first piece whole, so the declaration can be read ahead.
    qsizetype have = 0;
    for (;;) {
        const qsizetype got = source(raw.data() + have, kPiece - have, error);
        if (got < 0) return false;
        if (got == 0) break;
        have += got;
        if (have == kPiece) break;
    }
    if (have == 0) {
        if (error) *error = LoadErrorText(str::kFileIncomplete);
        return false;
    }
    const Declaration decl = sniffDeclaration(QByteArray::fromRawData(raw.constData(), have));
    // A byte order mark outranks the declaration.
    std::unique_ptr<GbStreamDecoder> gb;
    if (!decl.bom && !decl.utf16 && isGbEncoding(decl.encoding)) {
        gb = std::make_unique<GbStreamDecoder>();
        if (!gb->ok()) {
            if (error) *error = StatusText(Status::ReadError);
            return false;
        }
    }

    xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr);
    if (!ctxt) {
        if (error) *error = StatusText(Status::OutOfMemory);
        return false;
    }
    ctxt->_private = &state;
    if (ctxt->sax) ctxt->sax->serror = recordError;
    ctxt->userData = ctxt;
    int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (gb) options |= XML_PARSE_IGNORE_ENC;
    xmlCtxtUseOptions(ctxt, options);
    // Process-wide libxml2 defaults can switch these on behind our back.
    ctxt->replaceEntities = 0;
    ctxt->loadsubset = 0;
    ctxt->validate = 0;
    ctxt->keepBlanks = 1;
    state.ctxt = ctxt;
    handlers(ctxt->sax);
    ctxt->sax->getParameterEntity = countingParameterEntity;

    ByteSink utf8(gb ? kPiece * 2 : 0);
    qsizetype carried = 0;  // raw bytes at the front of raw left by the decoder
    qsizetype base = 0;     // offset in the input of raw's first byte
    bool readFailed = false;
    bool decodeFailed = false;
    bool last = false;
    auto stopped = [&] {
        return state.thrown || state.refused || ctxt->disableSAX || !ctxt->wellFormed;
    };
    while (!stopped()) {
        if (have < kPiece && !last) {
            const qsizetype got = source(raw.data() + have, kPiece - have, error);
            if (got < 0) {
                readFailed = true;
                break;
            }
            if (got == 0) last = true;
            have += got;
        }
        if (have == 0 && last) break;
        if (gb) {
            utf8.clear();
            const qsizetype used = gb->feed(raw.constData(), have, last, base, utf8, error);
            if (used < 0) {
                decodeFailed = true;
                break;
            }
            state.inputBytes += utf8.size();
            if (utf8.size() > 0) xmlParseChunk(ctxt, utf8.data(), int(utf8.size()), 0);
            carried = have - used;
            memmove(raw.data(), raw.constData() + used, size_t(carried));
            base += used;
            have = carried;
            if (last) break;
        } else {
            state.inputBytes += have;
            xmlParseChunk(ctxt, raw.constData(), int(have), 0);
            base += have;
            have = 0;
        }
    }
    if (!readFailed && !decodeFailed && !stopped()) xmlParseChunk(ctxt, nullptr, 0, 1);

    xmlDocPtr doc = ctxt->myDoc;
    const bool wellFormed = !readFailed && !decodeFailed && ctxt->wellFormed && doc &&
                            !state.thrown && !state.refused;
    if (!wellFormed && error && !state.thrown && !readFailed && !decodeFailed)
        *error = parseError(state, ctxt);
    // The document goes with the last handle to it; before the reading
    // reached the document element, nothing holds it.
    ctxt->myDoc = nullptr;
    ctxt->_private = nullptr;
    xmlFreeParserCtxt(ctxt);
    if (!state.data && doc) xmlFreeDoc(doc);
    state.data.reset();
    if (state.thrown) std::rethrow_exception(state.thrown);
    return wellFormed;
}

// Element by element reading (see XmlDocument::parseElements).
bool streamElements(const ByteSource& source, const XmlDocument::ElementVisitor& root,
                    const XmlDocument::ElementVisitor& child, QString* error,
                    const QByteArray& container = QByteArray()) {
    ParseState state;
    state.containerName = container;
    state.onRoot = &root;
    state.onChild = &child;
    return streamDocument(
        source, state,
        [](xmlSAXHandler* sax) {
            sax->startElementNs = streamStartElement;
            sax->endElementNs = streamEndElement;
            sax->reference = streamReference;
        },
        error);
}

}  // namespace

bool XmlDocument::parseElements(const QByteArray& bytes, const ElementVisitor& root,
                                const ElementVisitor& child, QString* error) {
    return parseElements(bytes, root, child, QByteArray(), error);
}

namespace {

ByteSource bytesSource(const QByteArray& bytes) {
    return [&bytes, at = qsizetype(0)](char* buf, qsizetype cap, QString*) mutable {
        const qsizetype n = std::min(cap, bytes.size() - at);
        memcpy(buf, bytes.constData() + at, size_t(n));
        at += n;
        return n;
    };
}

ByteSource fileSource(QFile& f) {
    return [&f](char* buf, qsizetype cap, QString* err) -> qsizetype {
        const qint64 n = f.read(buf, cap);
        if (n < 0 && err) *err = qor::FileErrorText(errno ? errno : EIO);
        return qsizetype(n);
    };
}

// Record by record reading (see XmlDocument::parseRecords).
bool streamRecords(const ByteSource& source, const XmlDocument::ElementVisitor& root,
                   std::span<const QStringView> recordNames, std::span<const QStringView> fieldNames,
                   const XmlDocument::RecordVisitor& record, QString* error) {
    const XmlDocument::ElementVisitor noChild = [](const XmlNode&) {};
    RecordReading reading(recordNames, fieldNames);
    reading.onRecord = &record;
    ParseState state;
    state.onRoot = &root;
    state.onChild = &noChild;
    state.records = &reading;
    return streamDocument(
        source, state,
        [](xmlSAXHandler* sax) {
            sax->startElementNs = recordStartElement;
            sax->endElementNs = recordEndElement;
            sax->reference = recordReference;
            // A process that chose to drop ignorable blanks keeps doing so.
            if (sax->ignorableWhitespace == sax->characters)
                sax->ignorableWhitespace = recordCharacters;
            sax->characters = recordCharacters;
            sax->cdataBlock = recordCData;
            sax->comment = recordComment;
            sax->processingInstruction = recordInstruction;
        },
        error);
}

// Reading a whole document but for the children of the elements named
// thinName (see XmlDocument::loadThinned).
void thinStartElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                      const xmlChar* uri, int nbNamespaces, const xmlChar** namespaces,
                      int nbAttributes, int nbDefaulted, const xmlChar** attributes) {
    streamStartElement(ctx, localname, prefix, uri, nbNamespaces, namespaces, nbAttributes,
                       nbDefaulted, attributes);
    ParseState* state = streamState(ctx);
    if (!state || state->refused || !state->data || state->thinName != chars(localname)) return;
    xmlNodePtr n = state->ctxt->node;
    if (!n || n->type != XML_ELEMENT_NODE || !xmlStrEqual(n->name, localname)) return;
    try {
        if ((*state->thinAccept)(XmlDocData::handle(state->data, n))) state->thinning.push_back(n);
    } catch (...) {
        keepException(state);
    }
}

void thinEndElement(void* ctx, const xmlChar* localname, const xmlChar* prefix,
                    const xmlChar* uri) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    xmlNodePtr cur = ctxt->node;
    xmlSAX2EndElementNs(ctx, localname, prefix, uri);
    ParseState* state = streamState(ctx);
    if (!state || !cur || state->thinning.empty()) return;
    if (state->thinning.back() == cur) {
        state->thinning.pop_back();
        return;
    }
    xmlNodePtr parent = cur->parent;
    if (parent != state->thinning.back()) return;
    // The child's whitespace-only text goes as parse() drops it: by the
    // nearest xml:space of the child and the elements around it.
    bool keep = false;
    for (xmlNodePtr n = cur; n && n->type == XML_ELEMENT_NODE; n = n->parent) {
        const int mode = n->properties ? spaceMode(n) : -1;
        if (mode >= 0) {
            keep = mode == 1;
            break;
        }
    }
    if (cur->children) dropBlankText(cur, keep);
    try {
        (*state->onChild)(XmlDocData::handle(state->data, cur));
    } catch (...) {
        keepException(state);
    }
    // The child and the text before it go; emptying the element (not just
    // taking the child out) keeps the parser from adding text to a text
    // node it has stopped tracking.
    xmlNodePtr list = parent->children;
    parent->children = nullptr;
    parent->last = nullptr;
    if (list) xmlFreeNodeList(list);
}

}  // namespace

XmlDocument XmlDocument::loadThinned(const QString& path, const QByteArray& container,
                                     const std::function<bool(const XmlNode&)>& accept,
                                     const ElementVisitor& child, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = qor::FileErrorText(errno ? errno : EIO);
        return {};
    }
    XmlNode root;
    const ElementVisitor keepRoot = [&root](const XmlNode& r) { root = r; };
    ParseState state;
    state.onRoot = &keepRoot;
    state.onChild = &child;
    state.thinName = container;
    state.thinAccept = &accept;
    const bool ok = streamDocument(
        fileSource(f), state,
        [](xmlSAXHandler* sax) {
            sax->startElementNs = thinStartElement;
            sax->endElementNs = thinEndElement;
            sax->reference = streamReference;
        },
        error);
    if (!ok || root.isNull()) return {};
    XmlDocument doc = root.ownerDocument();
    dropBlankText(reinterpret_cast<xmlNodePtr>(doc.data_->doc), false);
    return doc;
}

bool XmlDocument::parseElements(const QByteArray& bytes, const ElementVisitor& root,
                                const ElementVisitor& child, const QByteArray& container,
                                QString* error) {
    return streamElements(bytesSource(bytes), root, child, error, container);
}

bool XmlDocument::parseRecords(const QByteArray& bytes, const ElementVisitor& root,
                               std::span<const QStringView> recordNames,
                               std::span<const QStringView> fieldNames, const RecordVisitor& record,
                               QString* error) {
    return streamRecords(bytesSource(bytes), root, recordNames, fieldNames, record, error);
}

bool XmlDocument::loadRecords(const QString& path, const ElementVisitor& root,
                              std::span<const QStringView> recordNames,
                              std::span<const QStringView> fieldNames, const RecordVisitor& record,
                              QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = qor::FileErrorText(errno ? errno : EIO);
        return false;
    }
    return streamRecords(fileSource(f), root, recordNames, fieldNames, record, error);
}

namespace {

bool readFile(const QString& path, QByteArray* bytes, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = qor::FileErrorText(errno ? errno : EIO);
        return false;
    }
    *bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error) *error = qor::FileErrorText(errno ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace

XmlDocument XmlDocument::load(const QString& path, QString* error) {
    QByteArray bytes;
    if (!readFile(path, &bytes, error)) return {};
    return parse(bytes, error);
}

bool XmlDocument::loadElements(const QString& path, const ElementVisitor& root,
                               const ElementVisitor& child, QString* error) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error) *error = qor::FileErrorText(errno ? errno : EIO);
        return false;
    }
    return streamElements(fileSource(f), root, child, error);
}

bool XmlDocument::peekRootName(const QString& path, QString* name) {
    // The reading stops as soon as the document element's start tag has
    // been read: nothing after it is looked at.
    struct Enough {};
    QString found;
    try {
        loadElements(
            path,
            [&](const XmlNode& root) {
                found = root.tagName();
                throw Enough{};
            },
            [](const XmlNode&) {});
    } catch (const Enough&) {
        *name = found;
        return true;
    }
    return false;
}

XmlDocument XmlDocument::create() { return XmlDocument(std::make_shared<XmlDocData>()); }

void XmlDocument::requireNotNull() const {
    if (!data_) throw XmlError(XmlError::InvalidPointer, QStringLiteral("no document"));
}

XmlNode XmlDocument::node() const {
    if (!data_) return {};
    return XmlNode(data_, reinterpret_cast<xmlNodePtr>(data_->doc));
}

XmlNode XmlDocument::documentElement() const {
    if (!data_) return {};
    xmlNodePtr root = xmlDocGetRootElement(data_->doc);
    return root ? XmlNode(data_, root) : XmlNode();
}

namespace {

xmlNodePtr adopt(const std::shared_ptr<XmlDocData>& data, xmlNodePtr n) {
    if (!n) throw XmlError(XmlError::OutOfMemory, QStringLiteral("cannot create a node"));
    data->detached.insert(n);
    return n;
}

}  // namespace

XmlNode XmlDocument::createElement(const QString& qualifiedName) const {
    requireNotNull();
    const QByteArray name = qualifiedName.toUtf8();
    if (name.isEmpty() || xmlValidateQName(xc(name), 0) != 0)
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("not an element name: \"%1\"").arg(qualifiedName));
    // The name is kept whole; it is matched and written as given.
    return XmlNode(data_, adopt(data_, xmlNewDocNode(data_->doc, nullptr, xc(name), nullptr)));
}

XmlNode XmlDocument::createTextNode(const QString& text) const {
    requireNotNull();
    const QByteArray t = text.toUtf8();
    return XmlNode(data_, adopt(data_, xmlNewDocTextLen(data_->doc, xc(t), int(t.size()))));
}

XmlNode XmlDocument::createCDATASection(const QString& text) const {
    requireNotNull();
    const QByteArray t = text.toUtf8();
    return XmlNode(data_, adopt(data_, xmlNewCDataBlock(data_->doc, xc(t), int(t.size()))));
}

XmlNode XmlDocument::createComment(const QString& text) const {
    requireNotNull();
    const QByteArray t = text.toUtf8();
    return XmlNode(data_, adopt(data_, xmlNewDocComment(data_->doc, xc(t))));
}

XmlNode XmlDocument::createProcessingInstruction(const QString& target, const QString& data) const {
    requireNotNull();
    const QByteArray t = target.toUtf8();
    const QByteArray d = data.toUtf8();
    if (t.isEmpty() || xmlValidateName(xc(t), 0) != 0)
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("not an instruction target: \"%1\"").arg(target));
    return XmlNode(data_, adopt(data_, xmlNewDocPI(data_->doc, xc(t), xc(d))));
}

namespace {

const xmlNode* declarationNode(const xmlDoc* doc) {
    for (const xmlNode* c = doc->children; c; c = c->next)
        if (c->type == XML_PI_NODE && xmlStrEqual(c->name, reinterpret_cast<const xmlChar*>("xml")))
            return c;
    return nullptr;
}

}  // namespace

bool XmlDocument::hasDeclaration() const { return data_ && declarationNode(data_->doc); }

QString XmlDocument::declaredEncoding() const {
    if (!data_) return {};
    const xmlNode* d = declarationNode(data_->doc);
    if (!d || !d->content) return {};
    return QString::fromUtf8(declarationField(QByteArray(chars(d->content)), "encoding"));
}

QByteArray XmlDocument::toBytes() const {
    requireNotNull();
    QByteArray encoding;
    QByteArray utf8 = serializeDocument(data_->doc, &encoding);
    if (!encodingSupported(encoding)) {
        // Better a file that says what it is than one that lies.
        const QByteArray utf8Name("UTF-8");
        utf8 = serializeDocument(data_->doc, &encoding, &utf8Name);
    }
    return encodeMarkup(utf8, encoding, nullptr);
}

QString XmlDocument::xml() const {
    requireNotNull();
    return QString::fromUtf8(serializeDocument(data_->doc, nullptr));
}

XmlSaveStatus XmlDocument::save(const QString& path, QString* error) const {
    requireNotNull();
    return saveBytes(path, toBytes(), error);
}

namespace {
bool deniedNow(const qor::SafeFileWriter& f) {
    const int err = f.error();
    if (err == EACCES || err == EPERM || err == EROFS) return true;
    const QFileInfo fi(f.target());
    if (fi.exists() && !fi.isWritable()) return true;
    const QFileInfo dir(fi.absolutePath());
    return dir.exists() && !dir.isWritable();
}
}  // namespace

XmlSaveStatus detail::failedSave(const qor::SafeFileWriter& f) {
    if (f.error() == ENOSPC || f.error() == EDQUOT) return XmlSaveStatus::DiskFull;
    return deniedNow(f) ? XmlSaveStatus::AccessDenied : XmlSaveStatus::WriteFailed;
}

XmlSaveStatus detail::openSaveFile(qor::SafeFileWriter& f, QString* error) {
    if (f.open()) return XmlSaveStatus::Ok;
    if (error) *error = qor::FileErrorText(f.error());
    return failedSave(f);
}

XmlSaveStatus detail::commitSaveFile(qor::SafeFileWriter& f, QString* error) {
    if (f.commit()) return XmlSaveStatus::Ok;
    if (error) *error = qor::FileErrorText(f.error());
    return failedSave(f);
}

XmlSaveStatus detail::saveBytes(const QString& path, const QByteArray& bytes, QString* error) {
    qor::SafeFileWriter f(path);
    const XmlSaveStatus opened = openSaveFile(f, error);
    if (opened != XmlSaveStatus::Ok) return opened;
    if (!f.write(bytes)) {
        if (error) *error = qor::FileErrorText(f.error());
        const XmlSaveStatus status = failedSave(f);
        f.cancel();
        return status;
    }
    return commitSaveFile(f, error);
}

// ------------------------------------------------------------------ nodes

XmlNode XmlNode::wrap(xmlNodePtr node) const { return node ? XmlNode(doc_, node) : XmlNode(); }

void XmlNode::requireNotNull(const char* what) const {
    if (!node_)
        throw XmlError(XmlError::InvalidPointer,
                       QStringLiteral("%1 on a null node").arg(QLatin1String(what)));
}

XmlNode::Type XmlNode::type() const {
    if (!node_) return Type::Null;
    switch (node_->type) {
        case XML_ELEMENT_NODE:
            return Type::Element;
        case XML_TEXT_NODE:
            return Type::Text;
        case XML_CDATA_SECTION_NODE:
            return Type::CData;
        case XML_COMMENT_NODE:
            return Type::Comment;
        case XML_PI_NODE:
            return Type::ProcessingInstruction;
        case XML_ENTITY_REF_NODE:
            return Type::EntityReference;
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            return Type::Document;
        default:
            return Type::Other;
    }
}

QString XmlNode::nodeName() const {
    if (!node_) return {};
    switch (node_->type) {
        case XML_ELEMENT_NODE:
            return QString::fromUtf8(qualifiedName(node_->ns, node_->name));
        case XML_TEXT_NODE:
            return QStringLiteral("#text");
        case XML_CDATA_SECTION_NODE:
            return QStringLiteral("#cdata-section");
        case XML_COMMENT_NODE:
            return QStringLiteral("#comment");
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            return QStringLiteral("#document");
        default:
            return fromXml(node_->name);
    }
}

QString XmlNode::tagName() const {
    if (!node_ || node_->type != XML_ELEMENT_NODE) return {};
    return QString::fromUtf8(qualifiedName(node_->ns, node_->name));
}

bool XmlNode::hasTagName(QStringView qualifiedName) const {
    return node_ && node_->type == XML_ELEMENT_NODE &&
           qualifiedNameEquals(node_->ns, node_->name, qualifiedName.toUtf8());
}

QString XmlNode::localName() const {
    if (!node_ || node_->type != XML_ELEMENT_NODE) return {};
    return fromXml(node_->name);
}

QString XmlNode::namespaceUri() const {
    if (!node_ || node_->type != XML_ELEMENT_NODE || !node_->ns || !node_->ns->href) return {};
    return fromXml(node_->ns->href);
}

namespace {

bool namespaceIs(const xmlNs* ns, const QByteArray& uri) {
    if (!ns || !ns->href) return uri.isEmpty();
    return uri == chars(ns->href);
}

}  // namespace

std::optional<QString> XmlNode::attributeNS(QStringView uri, QStringView local) const {
    if (!node_ || node_->type != XML_ELEMENT_NODE) return std::nullopt;
    const QByteArray u = uri.toUtf8(), l = local.toUtf8();
    for (const xmlAttr* a = node_->properties; a; a = a->next)
        if (l == chars(a->name) && namespaceIs(a->ns, u))
            return QString::fromUtf8(attributeContent(a));
    return std::nullopt;
}

QString XmlNode::text() const {
    requireNotNull("text");
    return QString::fromUtf8(textContent(node_));
}

void XmlNode::appendText(QString& out) const {
    requireNotNull("text");
    // The common cases without a string of their own: an element holding
    // one text, or a text itself.
    const xmlChar* s = nullptr;
    switch (node_->type) {
        case XML_ELEMENT_NODE: {
            const xmlNode* c = node_->children;
            if (!c) return;
            if (!c->next && (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE)) {
                if (!c->content) return;
                s = c->content;
            }
            break;
        }
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            if (!node_->content) return;
            s = node_->content;
            break;
        default:
            break;
    }
    if (!s) {
        out += QString::fromUtf8(textContent(node_));
        return;
    }
    // ASCII as Latin-1 straight into the string; from the first byte that
    // is not, the UTF-8 decoder.
    const char* p = chars(s);
    qsizetype ascii = 0;
    while (p[ascii] && uchar(p[ascii]) < 0x80) ++ascii;
    out.append(QLatin1StringView(p, ascii));
    if (p[ascii]) out.append(QString::fromUtf8(p + ascii));
}

namespace {

bool isContainer(const xmlNode* n) {
    return n->type == XML_ELEMENT_NODE || n->type == XML_DOCUMENT_NODE ||
           n->type == XML_HTML_DOCUMENT_NODE;
}

// An entity reference's children are the entity's declaration, not
// content of this tree.
const xmlNode* firstChildOf(const xmlNode* n) { return isContainer(n) ? n->children : nullptr; }
const xmlNode* lastChildOf(const xmlNode* n) { return isContainer(n) ? n->last : nullptr; }

// Links a detached node at the end of the parent's children. libxml2's own
// xmlAddChild merges adjacent text nodes and frees one of them, which
// would leave a handle dangling and the indentation text merged.
void linkBefore(xmlNodePtr parent, xmlNodePtr child, xmlNodePtr before) {
    child->parent = parent;
    if (!before) {
        child->prev = parent->last;
        child->next = nullptr;
        if (parent->last)
            parent->last->next = child;
        else
            parent->children = child;
        parent->last = child;
    } else {
        child->next = before;
        child->prev = before->prev;
        if (before->prev)
            before->prev->next = child;
        else
            parent->children = child;
        before->prev = child;
    }
}

}  // namespace

void XmlNode::setText(const QString& text) {
    requireNotNull("setText");
    const QByteArray t = text.toUtf8();
    switch (node_->type) {
        case XML_ELEMENT_NODE: {
            while (xmlNodePtr c = node_->children) {
                xmlUnlinkNode(c);
                doc_->detached.insert(c);
            }
            if (!t.isEmpty()) {
                xmlNodePtr tn = xmlNewDocTextLen(doc_->doc, xc(t), int(t.size()));
                if (!tn) throw XmlError(XmlError::OutOfMemory, QStringLiteral("setText"));
                linkBefore(node_, tn, nullptr);
            }
            break;
        }
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            xmlNodeSetContentLen(node_, xc(t), int(t.size()));
            break;
        default:
            throw XmlError(XmlError::InvalidArgument,
                           QStringLiteral("setText on a node that holds no text"));
    }
}

QString XmlNode::xml() const {
    requireNotNull("xml");
    if (node_->type == XML_DOCUMENT_NODE || node_->type == XML_HTML_DOCUMENT_NODE)
        return QString::fromUtf8(serializeDocument(reinterpret_cast<xmlDocPtr>(node_), nullptr));
    QByteArray out;
    serializeNode(node_, out);
    return QString::fromUtf8(out);
}

std::optional<QString> XmlNode::attribute(QStringView name) const {
    if (!node_ || name.isEmpty()) return std::nullopt;
    QByteArray v;
    if (!attributeValue(node_, name.toUtf8(), &v)) return std::nullopt;
    return QString::fromUtf8(v);
}

void XmlNode::setAttribute(QStringView name, const QString& value) {
    requireNotNull("setAttribute");
    if (node_->type != XML_ELEMENT_NODE)
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("setAttribute on a non-element"));
    const QByteArray q = name.toUtf8();
    const QByteArray v = value.toUtf8();
    if (q.isEmpty() || xmlValidateQName(xc(q), 0) != 0)
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("not an attribute name: \"%1\"").arg(name));
    for (xmlAttrPtr a = node_->properties; a; a = a->next) {
        if (qualifiedNameEquals(a->ns, a->name, q)) {
            // xmlSetNsProp stores the value as text; entity-like "&x;" in
            // it stays literal.
            if (!xmlSetNsProp(node_, a->ns, a->name, xc(v)))
                throw XmlError(XmlError::OutOfMemory, QStringLiteral("setAttribute"));
            return;
        }
    }
    const qsizetype colon = q.indexOf(':');
    if (q == "xmlns" || (colon > 0 && q.left(colon) == "xmlns")) {
        const QByteArray prefix = colon > 0 ? q.mid(colon + 1) : QByteArray();
        for (xmlNsPtr ns = node_->nsDef; ns; ns = ns->next) {
            const bool match = prefix.isEmpty() ? ns->prefix == nullptr
                                                : (ns->prefix && prefix == chars(ns->prefix));
            if (match) {
                xmlFree(const_cast<xmlChar*>(ns->href));
                ns->href = xmlStrdup(xc(v));
                return;
            }
        }
        if (!xmlNewNs(node_, xc(v), prefix.isEmpty() ? nullptr : xc(prefix)))
            throw XmlError(XmlError::InvalidArgument, QStringLiteral("namespace declaration"));
        return;
    }
    if (colon > 0) {
        const QByteArray prefix = q.left(colon);
        const QByteArray local = q.mid(colon + 1);
        if (xmlNsPtr ns = xmlSearchNs(node_->doc, node_, xc(prefix))) {
            if (!xmlNewNsProp(node_, ns, xc(local), xc(v)))
                throw XmlError(XmlError::OutOfMemory, QStringLiteral("setAttribute"));
            return;
        }
    }
    // No namespace in scope for the prefix: the qualified name is kept
    // whole, matched and written as given.
    if (!xmlNewProp(node_, xc(q), xc(v)))
        throw XmlError(XmlError::OutOfMemory, QStringLiteral("setAttribute"));
}

bool XmlNode::removeAttribute(QStringView name) {
    if (!node_ || node_->type != XML_ELEMENT_NODE) return false;
    const QByteArray q = name.toUtf8();
    for (xmlAttrPtr a = node_->properties; a; a = a->next) {
        if (qualifiedNameEquals(a->ns, a->name, q)) {
            xmlRemoveProp(a);
            return true;
        }
    }
    return false;
}

QList<std::pair<QString, QString>> XmlNode::attributes() const {
    QList<std::pair<QString, QString>> out;
    if (!node_ || node_->type != XML_ELEMENT_NODE) return out;
    for (const xmlNs* ns = node_->nsDef; ns; ns = ns->next)
        out.append(
            {ns->prefix ? QStringLiteral("xmlns:") + fromXml(ns->prefix) : QStringLiteral("xmlns"),
             fromXml(ns->href)});
    for (const xmlAttr* a = node_->properties; a; a = a->next)
        out.append({QString::fromUtf8(qualifiedName(a->ns, a->name)),
                    QString::fromUtf8(attributeContent(a))});
    return out;
}

XmlNode XmlNode::parent() const { return node_ ? wrap(node_->parent) : XmlNode(); }
XmlNode XmlNode::firstChild() const {
    return node_ ? wrap(const_cast<xmlNodePtr>(firstChildOf(node_))) : XmlNode();
}
XmlNode XmlNode::lastChild() const {
    return node_ ? wrap(const_cast<xmlNodePtr>(lastChildOf(node_))) : XmlNode();
}
XmlNode XmlNode::nextSibling() const { return node_ ? wrap(node_->next) : XmlNode(); }
bool XmlNode::hasChildNodes() const { return node_ && firstChildOf(node_); }

QList<XmlNode> XmlNode::childNodes() const {
    QList<XmlNode> out;
    if (!node_) return out;
    for (const xmlNode* c = firstChildOf(node_); c; c = c->next)
        out.append(wrap(const_cast<xmlNodePtr>(c)));
    return out;
}

QList<XmlNode> XmlNode::childElements(QStringView name) const {
    QList<XmlNode> out;
    if (!node_) return out;
    const QByteArray q = name.toUtf8();
    for (const xmlNode* c = firstChildOf(node_); c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && (q.isEmpty() || isElementNamed(c, q)))
            out.append(wrap(const_cast<xmlNodePtr>(c)));
    return out;
}

XmlNode XmlNode::firstChildElement(QStringView name) const {
    if (!node_) return {};
    const QByteArray q = name.toUtf8();
    for (const xmlNode* c = firstChildOf(node_); c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && (q.isEmpty() || isElementNamed(c, q)))
            return wrap(const_cast<xmlNodePtr>(c));
    return {};
}

XmlNode XmlNode::nextSiblingElement(QStringView name) const {
    if (!node_) return {};
    const QByteArray q = name.toUtf8();
    for (const xmlNode* c = node_->next; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && (q.isEmpty() || isElementNamed(c, q)))
            return wrap(const_cast<xmlNodePtr>(c));
    return {};
}

bool XmlNode::toNextSiblingElement() {
    if (!node_) return false;
    const xmlNode* c = node_->next;
    while (c && c->type != XML_ELEMENT_NODE) c = c->next;
    node_ = const_cast<xmlNodePtr>(c);
    if (!node_) doc_.reset();
    return node_ != nullptr;
}

// ------------------------------------------------------------------ names

size_t XmlNameList::bucketOf(size_t length, uchar first, uchar last) {
    return (length * 7 + first * 3 + last) & 63;
}

XmlNameList::XmlNameList(std::span<const QStringView> qualifiedNames) {
    int index = 0;
    for (QStringView q : qualifiedNames) {
        Entry e{q.toUtf8(), index++};
        if (e.name.isEmpty()) continue;
        auto& bucket =
            buckets_[bucketOf(size_t(e.name.size()), uchar(e.name.front()), uchar(e.name.back()))];
        // The first of two equal names wins, as a search from the front.
        const bool repeated = std::any_of(bucket.begin(), bucket.end(),
                                          [&](const Entry& o) { return o.name == e.name; });
        if (!repeated) bucket.push_back(std::move(e));
    }
}

int XmlNameList::indexOf(const XmlNode& element) const {
    const xmlNode* n = element.node_;
    if (!n || n->type != XML_ELEMENT_NODE || !n->name) return -1;
    return indexOf(n->ns && n->ns->prefix ? chars(n->ns->prefix) : nullptr, chars(n->name));
}

int XmlNameList::indexOf(const char* prefix, const char* local) const {
    // Compared as qualifiedNameEquals compares, without making the name.
    const size_t localLen = strlen(local);
    if (!localLen) return -1;
    const size_t prefixLen = prefix ? strlen(prefix) : 0;
    const size_t length = prefix ? prefixLen + 1 + localLen : localLen;
    const uchar first = uchar(prefix ? prefix[0] : local[0]);
    for (const Entry& e : buckets_[bucketOf(length, first, uchar(local[localLen - 1]))]) {
        if (size_t(e.name.size()) != length) continue;
        const char* q = e.name.constData();
        if (prefix) {
            if (memcmp(q, prefix, prefixLen) != 0 || q[prefixLen] != ':' ||
                memcmp(q + prefixLen + 1, local, localLen) != 0)
                continue;
        } else if (memcmp(q, local, localLen) != 0) {
            continue;
        }
        return e.index;
    }
    return -1;
}

XmlNode XmlNode::insertBefore(const XmlNode& childIn, const XmlNode& before) {
    requireNotNull("insertBefore");
    childIn.requireNotNull("insertBefore");
    if (!isContainer(node_))
        throw XmlError(XmlError::HierarchyRequest,
                       QStringLiteral("%1 cannot hold children").arg(nodeName()));
    if (before.node_ && before.node_->parent != node_)
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("the reference node is not a child"));

    XmlNode child = childIn;
    if (child.doc_ != doc_) {
        // A node of another document comes in as a copy.
        xmlNodePtr copy = xmlDocCopyNode(child.node_, doc_->doc, 1);
        if (!copy) throw XmlError(XmlError::OutOfMemory, QStringLiteral("copying a node"));
        doc_->detached.insert(copy);
        child = XmlNode(doc_, copy);
    }
    xmlNodePtr c = child.node_;
    if (c == before.node_) return child;
    switch (c->type) {
        case XML_ELEMENT_NODE:
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
        case XML_ENTITY_REF_NODE:
            break;
        default:
            throw XmlError(XmlError::HierarchyRequest, QStringLiteral("node cannot be a child"));
    }
    for (xmlNodePtr p = node_; p; p = p->parent)
        if (p == c)
            throw XmlError(XmlError::HierarchyRequest,
                           QStringLiteral("a node cannot hold its own ancestor"));
    if (node_->type != XML_ELEMENT_NODE) {
        // The document: one element, no text.
        if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE ||
            c->type == XML_ENTITY_REF_NODE)
            throw XmlError(XmlError::HierarchyRequest,
                           QStringLiteral("text at the top of a document"));
        if (c->type == XML_ELEMENT_NODE) {
            for (const xmlNode* s = node_->children; s; s = s->next)
                if (s->type == XML_ELEMENT_NODE && s != c)
                    throw XmlError(XmlError::HierarchyRequest,
                                   QStringLiteral("a document holds one element"));
        }
    }
    if (c->parent) {
        xmlUnlinkNode(c);
    } else {
        doc_->detached.erase(c);
    }
    linkBefore(node_, c, before.node_);
    return child;
}

XmlNode XmlNode::appendChild(const XmlNode& child) { return insertBefore(child, XmlNode()); }

XmlNode XmlNode::removeChild(const XmlNode& child) {
    requireNotNull("removeChild");
    child.requireNotNull("removeChild");
    if (child.node_->parent != node_ || !isContainer(node_))
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("the node is not a child"));
    xmlUnlinkNode(child.node_);
    doc_->detached.insert(child.node_);
    return child;
}

QList<XmlNode> XmlNode::selectNodes(QStringView query) const {
    requireNotNull("selectNodes");
    QList<XmlNode> out;
    for (xmlNodePtr n : evaluateQuery(node_, query)) out.append(wrap(n));
    return out;
}

XmlNode XmlNode::selectSingleNode(QStringView query) const {
    requireNotNull("selectSingleNode");
    const QList<xmlNodePtr> r = evaluateQuery(node_, query);
    return r.isEmpty() ? XmlNode() : wrap(r.first());
}

XmlDocument XmlNode::ownerDocument() const { return XmlDocument(doc_); }

int XmlNode::lineNumber() const { return node_ ? int(xmlGetLineNo(node_)) : -1; }

}  // namespace qor

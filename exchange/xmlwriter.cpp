// Writing documents out. Our own writer rather than libxml2's: the files
// this system exchanges carry raw CR LF inside text (libxml2 writes the CR
// as "&#13;"), and code page 936 output needs character references for
// what the code page cannot hold.

#include <iconv.h>

#include <cerrno>
#include <cstring>

#include "exchange/xmldom.h"
#include "exchange/xmlinternal.h"

namespace qor::detail {

namespace {

// Bytes XML 1.0 cannot carry even as references: C0 controls other than
// tab, line feed and carriage return. They are left out of the output.
inline bool isForbiddenControl(uchar c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

// U+FFFE and U+FFFF are not XML characters either.
inline bool isNonCharacter(const uchar* p, const uchar* end) {
    return end - p >= 3 && p[0] == 0xEF && p[1] == 0xBF && (p[2] == 0xBE || p[2] == 0xBF);
}

void escape(const xmlChar* s, QByteArray& out, bool attribute) {
    if (!s) return;
    const uchar* p = s;
    const uchar* end = p + strlen(chars(s));
    const uchar* run = p;
    auto flush = [&](const uchar* upTo) {
        if (upTo > run) out.append(reinterpret_cast<const char*>(run), upTo - run);
    };
    while (p < end) {
        const uchar c = *p;
        const char* rep = nullptr;
        int skip = 1;
        switch (c) {
            case '&':
                rep = "&amp;";
                break;
            case '<':
                rep = "&lt;";
                break;
            case '>':
                rep = "&gt;";
                break;
            case '"':
                if (attribute) rep = "&quot;";
                break;
            // In attributes a parser turns raw white space into blanks, so
            // it goes as references to come back unchanged.
            case '\t':
                if (attribute) rep = "&#9;";
                break;
            case '\n':
                if (attribute) rep = "&#10;";
                break;
            case '\r':
                if (attribute) rep = "&#13;";
                break;
            default:
                if (isForbiddenControl(c)) {
                    rep = "";
                } else if (c == 0xEF && isNonCharacter(p, end)) {
                    rep = "";
                    skip = 3;
                }
                break;
        }
        if (rep) {
            flush(p);
            out.append(rep);
            p += skip;
            run = p;
        } else {
            ++p;
        }
    }
    flush(p);
}

void writeName(const xmlNs* ns, const xmlChar* name, QByteArray& out) {
    if (ns && ns->prefix) {
        out.append(chars(ns->prefix));
        out.append(':');
    }
    out.append(chars(name));
}

void writeStartTag(const xmlNode* n, QByteArray& out) {
    out.append('<');
    writeName(n->ns, n->name, out);
    for (const xmlNs* ns = n->nsDef; ns; ns = ns->next) {
        out.append(" xmlns");
        if (ns->prefix) {
            out.append(':');
            out.append(chars(ns->prefix));
        }
        out.append("=\"");
        escape(ns->href, out, true);
        out.append('"');
    }
    for (const xmlAttr* a = n->properties; a; a = a->next) {
        out.append(' ');
        writeName(a->ns, a->name, out);
        out.append("=\"");
        const QByteArray v = attributeContent(a);
        escape(reinterpret_cast<const xmlChar*>(v.constData()), out, true);
        out.append('"');
    }
}

void writeEndTag(const xmlNode* n, QByteArray& out) {
    out.append("</");
    writeName(n->ns, n->name, out);
    out.append('>');
}

void serializeTree(const xmlNode* start, QByteArray& out, int depth);

void writeLeaf(const xmlNode* n, QByteArray& out, int depth) {
    switch (n->type) {
        case XML_TEXT_NODE:
            escape(n->content, out, false);
            break;
        case XML_CDATA_SECTION_NODE: {
            // "]]>" cannot stand inside a section: split it across two.
            QByteArray body(n->content ? chars(n->content) : "");
            body.replace("]]>", "]]]]><![CDATA[>");
            out.append("<![CDATA[");
            out.append(body);
            out.append("]]>");
            break;
        }
        case XML_COMMENT_NODE: {
            QByteArray body(n->content ? chars(n->content) : "");
            while (body.contains("--")) body.replace("--", "- -");
            if (body.endsWith('-')) body.append(' ');
            out.append("<!--");
            out.append(body);
            out.append("-->");
            break;
        }
        case XML_PI_NODE: {
            out.append("<?");
            out.append(chars(n->name));
            QByteArray body(n->content ? chars(n->content) : "");
            body.replace("?>", "? >");
            if (!body.isEmpty()) {
                out.append(' ');
                out.append(body);
            }
            out.append("?>");
            break;
        }
        case XML_ENTITY_REF_NODE: {
            // The document's DTD is not written, so an internal entity is
            // written as its content; an external one was never read and
            // contributes nothing.
            if (depth > 40) break;
            xmlEntityPtr ent = xmlGetDocEntity(n->doc, n->name);
            if (ent && ent->etype == XML_INTERNAL_GENERAL_ENTITY)
                for (const xmlNode* c = ent->children; c; c = c->next)
                    serializeTree(c, out, depth + 1);
            break;
        }
        default:
            break;
    }
}

// Iterative, so a deep tree built in memory cannot exhaust the stack.
void serializeTree(const xmlNode* start, QByteArray& out, int depth) {
    if (start->type != XML_ELEMENT_NODE) {
        writeLeaf(start, out, depth);
        return;
    }
    const xmlNode* n = start;
    for (;;) {
        if (n->type == XML_ELEMENT_NODE) {
            writeStartTag(n, out);
            if (n->children) {
                out.append('>');
                n = n->children;
                continue;
            }
            out.append("/>");
        } else {
            writeLeaf(n, out, depth);
        }
        while (n != start && !n->next) {
            n = n->parent;
            writeEndTag(n, out);
        }
        if (n == start) break;
        n = n->next;
    }
}

bool isXmlDeclaration(const xmlNode* n) {
    return n->type == XML_PI_NODE && xmlStrEqual(n->name, reinterpret_cast<const xmlChar*>("xml"));
}

QByteArray normalisedName(const QByteArray& encoding) { return encoding.trimmed().toUpper(); }

// UTF-8 to another encoding through iconv; what the target cannot hold
// goes as "&#N;".
bool iconvWithReferences(const QByteArray& utf8, const char* to, QByteArray* out) {
    iconv_t cd = iconv_open(to, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    out->resize(utf8.size() + utf8.size() / 2 + 64);
    char* src = const_cast<char*>(utf8.constData());
    const char* srcEnd = utf8.constData() + utf8.size();
    size_t srcLeft = size_t(utf8.size());
    size_t used = 0;
    auto put = [&](const QByteArray& bytes) {
        while (size_t(out->size()) - used < size_t(bytes.size())) out->resize(out->size() * 2);
        memcpy(out->data() + used, bytes.constData(), size_t(bytes.size()));
        used += size_t(bytes.size());
    };
    while (srcLeft > 0) {
        char* dst = out->data() + used;
        size_t dstLeft = size_t(out->size()) - used;
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        used = size_t(dst - out->data());
        if (r != size_t(-1)) break;
        if (errno == E2BIG) {
            out->resize(out->size() * 2);
            continue;
        }
        // One code point the target lacks (or a damaged byte).
        const auto* p = reinterpret_cast<const uchar*>(src);
        const size_t avail = size_t(srcEnd - src);
        char32_t cp = 0;
        size_t len = 0;
        if (p[0] >= 0xC2 && p[0] < 0xE0 && avail >= 2) {
            cp = char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
            len = 2;
        } else if (p[0] >= 0xE0 && p[0] < 0xF0 && avail >= 3) {
            cp = char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            len = 3;
        } else if (p[0] >= 0xF0 && p[0] < 0xF5 && avail >= 4) {
            cp = char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
                 char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
            len = 4;
        }
        if (len) {
            put("&#" + QByteArray::number(quint32(cp)) + ';');
        } else {
            put("?");
            len = 1;
        }
        src += len;
        srcLeft -= len;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* dst = out->data() + used;
    size_t dstLeft = size_t(out->size()) - used;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    used = size_t(dst - out->data());
    iconv_close(cd);
    out->resize(qsizetype(used));
    return true;
}

}  // namespace

bool isGbEncoding(const QByteArray& name) {
    const QByteArray e = normalisedName(name);
    return e == "GB2312" || e == "GBK" || e == "GB18030" || e == "CP936" || e == "936" ||
           e == "MS936" || e == "WINDOWS-936" || e == "EUC-CN" || e == "X-EUC-CN" || e == "X-GBK" ||
           e == "CSGB2312" || e == "GB_2312-80";
}

QByteArray declarationField(const QByteArray& data, const char* field) {
    const qsizetype flen = qsizetype(strlen(field));
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = data.indexOf(field, from);
        if (at < 0) return {};
        from = at + flen;
        if (at > 0 && !QChar::isSpace(uchar(data.at(at - 1)))) continue;
        qsizetype i = at + flen;
        while (i < data.size() && QChar::isSpace(uchar(data.at(i)))) ++i;
        if (i >= data.size() || data.at(i) != '=') continue;
        ++i;
        while (i < data.size() && QChar::isSpace(uchar(data.at(i)))) ++i;
        if (i >= data.size() || (data.at(i) != '"' && data.at(i) != '\'')) continue;
        const char quote = data.at(i);
        const qsizetype close = data.indexOf(quote, i + 1);
        if (close < 0) return {};
        return data.mid(i + 1, close - i - 1);
    }
}

void serializeNode(const xmlNode* node, QByteArray& out) { serializeTree(node, out, 0); }

QByteArray serializeDocument(const xmlDoc* doc, QByteArray* declaredEncoding,
                             const QByteArray* encodingOverride) {
    QByteArray out;
    const xmlNode* decl = nullptr;
    for (const xmlNode* c = doc->children; c; c = c->next)
        if (isXmlDeclaration(c)) {
            decl = c;
            break;
        }
    QByteArray encoding;
    if (decl) {
        const QByteArray data(decl->content ? chars(decl->content) : "");
        QByteArray version = declarationField(data, "version");
        if (version.isEmpty()) version = "1.0";
        encoding = encodingOverride ? *encodingOverride : declarationField(data, "encoding");
        const QByteArray standalone = declarationField(data, "standalone");
        out.append("<?xml version=\"" + version + '"');
        if (!encoding.isEmpty()) out.append(" encoding=\"" + encoding + '"');
        if (!standalone.isEmpty()) out.append(" standalone=\"" + standalone + '"');
        out.append("?>\r\n");
    }
    for (const xmlNode* c = doc->children; c; c = c->next) {
        if (isXmlDeclaration(c) || c->type == XML_DTD_NODE) continue;
        const qsizetype before = out.size();
        serializeTree(c, out, 0);
        if (out.size() != before) out.append("\r\n");
    }
    if (declaredEncoding) *declaredEncoding = encoding;
    return out;
}

QByteArray encodeMarkup(const QByteArray& utf8, const QByteArray& encoding,
                        QByteArray* usedEncoding) {
    const QByteArray e = normalisedName(encoding);
    if (usedEncoding) *usedEncoding = e.isEmpty() ? QByteArray("UTF-8") : e;
    if (e.isEmpty() || e == "UTF-8" || e == "UTF8") return utf8;
    if (e == "UTF-16" || e == "UTF16" || e == "UNICODE" || e == "UCS-2" || e == "UTF-16LE" ||
        e == "UTF-16BE") {
        const QString text = QString::fromUtf8(utf8);
        const bool big = e == "UTF-16BE";
        QByteArray out;
        out.reserve(text.size() * 2 + 2);
        if (e != "UTF-16LE" && e != "UTF-16BE") out.append("\xFF\xFE", 2);
        for (QChar ch : text) {
            const char16_t u = ch.unicode();
            const char lo = char(u & 0xFF), hi = char(u >> 8);
            out.append(big ? hi : lo);
            out.append(big ? lo : hi);
        }
        return out;
    }
    QByteArray out;
    if (isGbEncoding(e) && e != "GB18030") {
        // Code page 936 holds the euro sign as the lone byte 0x80, which a
        // GB18030 reader (ours among them) rejects; a reference is safe.
        QByteArray source = utf8;
        source.replace("\xE2\x82\xAC", "&#8364;");
        if (iconvWithReferences(source, "CP936", &out) || iconvWithReferences(source, "GBK", &out))
            return out;
    } else if (iconvWithReferences(utf8, e.constData(), &out)) {
        return out;
    }
    if (usedEncoding) *usedEncoding = "UTF-8";
    return utf8;
}

bool encodingSupported(const QByteArray& encoding) {
    const QByteArray e = normalisedName(encoding);
    if (e.isEmpty() || e.startsWith("UTF") || e == "UNICODE" || e == "UCS-2") return true;
    iconv_t cd = iconv_open(isGbEncoding(e) ? "CP936" : e.constData(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    iconv_close(cd);
    return true;
}

}  // namespace qor::detail

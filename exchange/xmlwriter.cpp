// Writing documents out. Our own writer rather than libxml2's: the files
// this system exchanges carry raw CR LF inside text (libxml2 writes the CR
// as "&#13;"), and code page 936 output needs character references for
// what the code page cannot hold.

#include <iconv.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include <QFileInfo>

#include "exchange/xmldom.h"
#include "engine/messages.h"
#include "engine/textutil.h"
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

inline void put(QByteArray& out, const char* s, qsizetype n) { out.append(s, n); }
inline void put(ByteSink& out, const char* s, qsizetype n) { out.append(s, n); }

template <typename Out>
void escapeRange(const uchar* p, const uchar* end, Out& out, bool attribute) {
    const uchar* run = p;
    auto flush = [&](const uchar* upTo) {
        if (upTo > run) put(out, reinterpret_cast<const char*>(run), upTo - run);
    };
    while (p < end) {
        const uchar c = *p;
        // Most bytes need nothing; the switch is for the few that do.
        if (c > '>' && c != 0xEF) {
            ++p;
            continue;
        }
        const char* rep = nullptr;
        qsizetype repLen = 0;
        int skip = 1;
        switch (c) {
            case '&':
                rep = "&amp;";
                repLen = 5;
                break;
            case '<':
                rep = "&lt;";
                repLen = 4;
                break;
            case '>':
                rep = "&gt;";
                repLen = 4;
                break;
            case '"':
                if (attribute) {
                    rep = "&quot;";
                    repLen = 6;
                }
                break;
            // In attributes a parser turns raw white space into blanks, so
            // it goes as references to come back unchanged.
            case '\t':
                if (attribute) {
                    rep = "&#9;";
                    repLen = 4;
                }
                break;
            case '\n':
                if (attribute) {
                    rep = "&#10;";
                    repLen = 5;
                }
                break;
            case '\r':
                if (attribute) {
                    rep = "&#13;";
                    repLen = 5;
                }
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
            put(out, rep, repLen);
            p += skip;
            run = p;
        } else {
            ++p;
        }
    }
    flush(p);
}

void escape(const xmlChar* s, QByteArray& out, bool attribute) {
    if (!s) return;
    escapeRange(s, s + strlen(chars(s)), out, attribute);
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

// UTF-8 to another encoding through an open converter, appended to out;
// what the target cannot hold goes as "&#N;".
void iconvAppend(iconv_t cd, const char* utf8, qsizetype len, ByteSink& out) {
    char* src = const_cast<char*>(utf8);
    const char* srcEnd = utf8 + len;
    size_t srcLeft = size_t(len);
    while (srcLeft > 0) {
        // Room for the code pages' two bytes a character; E2BIG asks for
        // more where an encoding takes more.
        const qsizetype room = qsizetype(srcLeft) * 2 + 16;
        char* dst = out.space(room);
        char* const dstStart = dst;
        size_t dstLeft = size_t(room);
        const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.advance(dst - dstStart);
        if (r != size_t(-1)) break;
        if (errno == E2BIG) continue;
        // One code point the target lacks (or a damaged byte).
        const auto* p = reinterpret_cast<const uchar*>(src);
        const size_t left = size_t(srcEnd - src);
        char32_t cp = 0;
        size_t n = 0;
        if (p[0] >= 0xC2 && p[0] < 0xE0 && left >= 2) {
            cp = char32_t(p[0] & 0x1F) << 6 | (p[1] & 0x3F);
            n = 2;
        } else if (p[0] >= 0xE0 && p[0] < 0xF0 && left >= 3) {
            cp = char32_t(p[0] & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F);
            n = 3;
        } else if (p[0] >= 0xF0 && p[0] < 0xF5 && left >= 4) {
            cp = char32_t(p[0] & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 |
                 char32_t(p[2] & 0x3F) << 6 | (p[3] & 0x3F);
            n = 4;
        }
        if (n) {
            out.append("&#", 2);
            char digits[16];
            const auto r2 = std::to_chars(digits, digits + sizeof digits, quint32(cp));
            out.append(digits, r2.ptr - digits);
            out.append(';');
        } else {
            out.append('?');
            n = 1;
        }
        src += n;
        srcLeft -= n;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char tail[64];
    char* dst = tail;
    size_t dstLeft = sizeof tail;
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    out.append(tail, dst - tail);
}

bool iconvWithReferences(const QByteArray& utf8, const char* to, QByteArray* out) {
    iconv_t cd = iconv_open(to, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    ByteSink sink(utf8.size() + utf8.size() / 2 + 64);
    iconvAppend(cd, utf8.constData(), utf8.size(), sink);
    iconv_close(cd);
    *out = sink.take();
    return true;
}

// Bytes of the UTF-8 sequence a lead byte starts; 0 for a byte that starts
// none.
inline int sequenceLength(uchar lead) {
    if (lead < 0x80) return 1;
    if (lead < 0xC2) return 0;
    if (lead < 0xE0) return 2;
    if (lead < 0xF0) return 3;
    if (lead < 0xF5) return 4;
    return 0;
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

QByteArray declarationLine(const QByteArray& data, const QByteArray* encodingOverride,
                           QByteArray* encoding) {
    QByteArray version = declarationField(data, "version");
    if (version.isEmpty()) version = "1.0";
    *encoding = encodingOverride ? *encodingOverride : declarationField(data, "encoding");
    const QByteArray standalone = declarationField(data, "standalone");
    QByteArray out = "<?xml version=\"" + version + '"';
    if (!encoding->isEmpty()) out.append(" encoding=\"" + *encoding + '"');
    if (!standalone.isEmpty()) out.append(" standalone=\"" + standalone + '"');
    out.append("?>\r\n");
    return out;
}

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
    if (decl)
        out = declarationLine(QByteArray(decl->content ? chars(decl->content) : ""),
                              encodingOverride, &encoding);
    for (const xmlNode* c = doc->children; c; c = c->next) {
        if (isXmlDeclaration(c) || c->type == XML_DTD_NODE) continue;
        const qsizetype before = out.size();
        serializeTree(c, out, 0);
        if (out.size() != before) out.append("\r\n");
    }
    if (declaredEncoding) *declaredEncoding = encoding;
    return out;
}

void escapeText(const char* utf8, qsizetype len, ByteSink& out, bool attribute) {
    const auto* p = reinterpret_cast<const uchar*>(utf8);
    escapeRange(p, p + len, out, attribute);
}

bool isValidUtf8(const char* s, qsizetype len) {
    const auto* p = reinterpret_cast<const uchar*>(s);
    const uchar* end = p + len;
    while (p < end) {
        // Eight ASCII bytes at a time: the bulk of the markup.
        if (end - p >= 8) {
            uint64_t w;
            memcpy(&w, p, 8);
            if (!(w & 0x8080808080808080ull)) {
                p += 8;
                continue;
            }
        }
        const uchar c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        const int n = sequenceLength(c);
        if (n == 0 || end - p < n) return false;
        for (int i = 1; i < n; ++i)
            if ((p[i] & 0xC0) != 0x80) return false;
        if (c == 0xE0 && p[1] < 0xA0) return false;   // overlong
        if (c == 0xED && p[1] >= 0xA0) return false;  // surrogate
        if (c == 0xF0 && p[1] < 0x90) return false;   // overlong
        if (c == 0xF4 && p[1] >= 0x90) return false;  // past U+10FFFF
        p += n;
    }
    return true;
}

bool isGb2312Encoding(const QByteArray& name) {
    const QByteArray e = normalisedName(name);
    return e == "GB2312" || e == "EUC-CN" || e == "X-EUC-CN" || e == "CSGB2312" ||
           e == "GB_2312-80";
}

Cp936Encoder::Cp936Encoder(bool gb2312Only) {
    // Readers take "gb2312" at its word: a GBK-only character written as
    // its code page bytes makes the whole file unreadable to them.
    iconv_t cd = iconv_open(gb2312Only ? "EUC-CN" : "CP936", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) cd = iconv_open(gb2312Only ? "GB2312" : "GBK", "UTF-8");
    if (cd != reinterpret_cast<iconv_t>(-1)) cd_ = cd;
}

Cp936Encoder::~Cp936Encoder() {
    if (cd_) iconv_close(static_cast<iconv_t>(cd_));
}

void Cp936Encoder::convert(const char* utf8, qsizetype len, ByteSink& out) {
    if (len > 0) iconvAppend(static_cast<iconv_t>(cd_), utf8, len, out);
}

void Cp936Encoder::append(const char* utf8, qsizetype len, ByteSink& out) {
    const auto* p = reinterpret_cast<const uchar*>(utf8);
    const uchar* end = p + len;
    while (p < end) {
        // ASCII is the same in the code page: copied as it stands.
        const uchar* run = p;
        while (p < end && *p < 0x80) ++p;
        out.append(reinterpret_cast<const char*>(run), p - run);
        if (p == end) break;
        run = p;
        while (p < end && *p >= 0x80) {
            // Code page 936 holds the euro sign as the lone byte 0x80,
            // which a GB18030 reader (ours among them) rejects; a
            // reference is safe.
            if (end - p >= 3 && p[0] == 0xE2 && p[1] == 0x82 && p[2] == 0xAC) {
                convert(reinterpret_cast<const char*>(run), p - run, out);
                out.append("&#8364;", 7);
                p += 3;
                run = p;
                continue;
            }
            ++p;
        }
        convert(reinterpret_cast<const char*>(run), p - run, out);
    }
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
        if (isValidUtf8(utf8.constData(), utf8.size())) {
            Cp936Encoder encoder(isGb2312Encoding(e));
            if (encoder.ok()) {
                ByteSink sink(utf8.size() + 64);
                encoder.append(utf8.constData(), utf8.size(), sink);
                return sink.take();
            }
        }
        // Code page 936 holds the euro sign as the lone byte 0x80, which a
        // GB18030 reader (ours among them) rejects; a reference is safe.
        QByteArray source = utf8;
        source.replace("\xE2\x82\xAC", "&#8364;");
        if (isGb2312Encoding(e) ? iconvWithReferences(source, "EUC-CN", &out)
                                : (iconvWithReferences(source, "CP936", &out) ||
                                   iconvWithReferences(source, "GBK", &out)))
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

namespace qor {

using namespace detail;

namespace detail {

struct XmlStreamWriterState {
    enum class Mode {
        Utf8,   // the output is the UTF-8 markup
        Cp936,  // encoded as it is written
        Later,  // UTF-8 markup, encoded whole at the end
    };
    Mode mode = Mode::Utf8;
    QByteArray encoding;  // for Later
    ByteSink out{1 << 16};
    std::unique_ptr<Cp936Encoder> cp936;
    ByteSink escaped;                  // a text beyond ASCII, escaped, before encoding
    std::vector<QByteArray> openEnds;  // "</name>" of the open elements
    bool startPending = false;         // "<name" written, attributes to come
    // The pending start tag's namespace declarations and attributes (UTF-8),
    // written as the document writes them: declarations first.
    QList<std::pair<QByteArray, QByteArray>> pendingNs;
    QList<std::pair<QByteArray, QByteArray>> pendingAttributes;
    bool rootWritten = false;
    bool finished = false;
    QByteArray result;
    // Where a streamed document goes, and the first failure writing it.
    std::unique_ptr<qor::SafeFileWriter> file;
    QString fileError;

    // The output so far to the file, once enough has gathered.
    void drain(qsizetype atLeast) {
        if (!file || out.size() < atLeast || out.size() == 0) return;
        if (fileError.isEmpty() && !file->write(out.data(), size_t(out.size())))
            fileError = qor::FileErrorText(file->error() ? file->error() : EIO);
        out.clear();
    }

    // UTF-8 markup to the output.
    void writeUtf8(const char* utf8, qsizetype len) {
        if (mode == Mode::Cp936)
            cp936->append(utf8, len, out);
        else
            out.append(utf8, len);
    }
    void writeUtf8(const QByteArray& utf8) { writeUtf8(utf8.constData(), utf8.size()); }
    QByteArray encoded(const QByteArray& utf8) {
        if (mode != Mode::Cp936) return utf8;
        ByteSink s;
        cp936->append(utf8.constData(), utf8.size(), s);
        return s.take();
    }

    // A text or attribute value escaped and encoded: ASCII straight to the
    // output, anything else through UTF-8 as the document writes it. The
    // document holds texts as C strings, so a NUL ends the text.
    template <typename Char>
    void text(const Char* s, qsizetype len, bool attribute) {
        const qsizetype mark = out.size();
        for (qsizetype i = 0; i < len; ++i) {
            const auto c = static_cast<char16_t>(s[i]);
            if (c >= 0x80) {
                out.truncate(mark);
                slowText(s, len, attribute);
                return;
            }
            const char b = char(c);
            switch (b) {
                case '&':
                    out.append("&amp;", 5);
                    break;
                case '<':
                    out.append("&lt;", 4);
                    break;
                case '>':
                    out.append("&gt;", 4);
                    break;
                case '"':
                    if (attribute)
                        out.append("&quot;", 6);
                    else
                        out.append(b);
                    break;
                // In attributes a parser turns raw white space into
                // blanks, so it goes as references to come back unchanged.
                case '\t':
                    if (attribute)
                        out.append("&#9;", 4);
                    else
                        out.append(b);
                    break;
                case '\n':
                    if (attribute)
                        out.append("&#10;", 5);
                    else
                        out.append(b);
                    break;
                case '\r':
                    if (attribute)
                        out.append("&#13;", 5);
                    else
                        out.append(b);
                    break;
                case '\0':
                    return;
                default:
                    // Other controls XML cannot carry even as references.
                    if (uchar(b) >= 0x20) out.append(b);
                    break;
            }
        }
    }
    template <typename Char>
    void slowText(const Char* s, qsizetype len, bool attribute) {
        QByteArray utf8;
        if constexpr (sizeof(Char) == 1)
            utf8 = QLatin1StringView(reinterpret_cast<const char*>(s), len).toString().toUtf8();
        else if (const QStringView v(s, len); UncarriedChars(v) > 0)
            // A surrogate without its pair would become "?" on the way.
            utf8 = WithoutUncarriedChars(v.toString()).toUtf8();
        else
            utf8 = v.toUtf8();
        const qsizetype nul = utf8.indexOf('\0');
        if (nul >= 0) utf8.truncate(nul);
        escaped.clear();
        escapeText(utf8.constData(), utf8.size(), escaped, attribute);
        writeUtf8(escaped.data(), escaped.size());
    }

    void flushStart(bool empty) {
        auto write = [&](const QByteArray& name, const QByteArray& value) {
            writeUtf8(" ", 1);
            writeUtf8(name);
            writeUtf8("=\"", 2);
            escaped.clear();
            escapeText(value.constData(), value.size(), escaped, true);
            writeUtf8(escaped.data(), escaped.size());
            writeUtf8("\"", 1);
        };
        for (const auto& [name, value] : pendingNs) write(name, value);
        for (const auto& [name, value] : pendingAttributes) write(name, value);
        pendingNs.clear();
        pendingAttributes.clear();
        writeUtf8(empty ? "/>" : ">", empty ? 2 : 1);
        startPending = false;
    }
};

}  // namespace detail

namespace {

// A name as the document keeps it: up to a NUL, and a valid qualified name.
QByteArray checkedName(QStringView qualifiedName, const char* what) {
    QByteArray name = qualifiedName.toUtf8();
    const qsizetype nul = name.indexOf('\0');
    if (nul >= 0) name.truncate(nul);
    if (name.isEmpty() || xmlValidateQName(reinterpret_cast<const xmlChar*>(name.constData()), 0))
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("not an %1 name: \"%2\"")
                           .arg(QLatin1StringView(what), qualifiedName.toString()));
    return name;
}

void setUp(XmlStreamWriterState& d, const QByteArray* declarationData) {
    if (!declarationData) return;
    QByteArray encoding;
    QByteArray line = declarationLine(*declarationData, nullptr, &encoding);
    if (!encodingSupported(encoding)) {
        // Better a file that says what it is than one that lies.
        const QByteArray utf8Name("UTF-8");
        line = declarationLine(*declarationData, &utf8Name, &encoding);
    }
    const QByteArray e = encoding.trimmed().toUpper();
    if (e.isEmpty() || e == "UTF-8" || e == "UTF8") {
        d.mode = XmlStreamWriterState::Mode::Utf8;
    } else if (isGbEncoding(e) && e != "GB18030") {
        d.cp936 = std::make_unique<Cp936Encoder>(isGb2312Encoding(e));
        d.mode =
            d.cp936->ok() ? XmlStreamWriterState::Mode::Cp936 : XmlStreamWriterState::Mode::Later;
    } else {
        d.mode = XmlStreamWriterState::Mode::Later;
    }
    d.encoding = encoding;
    d.writeUtf8(line);
}

}  // namespace

XmlStreamWriter::XmlStreamWriter() : d_(std::make_unique<XmlStreamWriterState>()) {
    ensureLibxml();
}

XmlStreamWriter::XmlStreamWriter(const QString& declarationData)
    : d_(std::make_unique<XmlStreamWriterState>()) {
    ensureLibxml();
    const QByteArray data = declarationData.toUtf8();
    setUp(*d_, &data);
}

XmlStreamWriter::~XmlStreamWriter() = default;

XmlStreamWriter::Name XmlStreamWriter::name(QStringView qualifiedName) const {
    const QByteArray n = checkedName(qualifiedName, "element");
    Name out;
    out.owner_ = this;
    out.start_ = d_->encoded('<' + n);
    out.open_ = d_->encoded('<' + n + '>');
    out.empty_ = d_->encoded('<' + n + "/>");
    out.end_ = d_->encoded("</" + n + '>');
    return out;
}

void XmlStreamWriter::beforeChild() {
    XmlStreamWriterState& d = *d_;
    if (d.finished)
        throw XmlError(XmlError::HierarchyRequest, QStringLiteral("the document is written"));
    if (d.startPending) d.flushStart(false);
    if (d.openEnds.empty() && d.rootWritten)
        throw XmlError(XmlError::HierarchyRequest, QStringLiteral("a document holds one element"));
}

void XmlStreamWriter::startElement(const Name& name) {
    if (name.owner_ != this)
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("a name of another writer"));
    beforeChild();
    XmlStreamWriterState& d = *d_;
    d.rootWritten = true;
    d.out.append(name.start_);
    d.openEnds.push_back(name.end_);
    d.startPending = true;
    afterWrite();
}

void XmlStreamWriter::setAttribute(QStringView name, const QString& value) {
    XmlStreamWriterState& d = *d_;
    if (!d.startPending)
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("setAttribute after the element's first child"));
    const QByteArray q = checkedName(name, "attribute");
    QByteArray v = value.toUtf8();
    const qsizetype nul = v.indexOf('\0');
    if (nul >= 0) v.truncate(nul);
    // As the document does: a second value for a name replaces the first
    // where it stands, and namespace declarations come before attributes.
    const bool ns = q == "xmlns" || q.startsWith("xmlns:");
    // The prefix xml is bound for good; the document refuses to bind it.
    if (q == "xmlns:xml")
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("namespace declaration"));
    auto& list = ns ? d.pendingNs : d.pendingAttributes;
    for (auto& [n, old] : list)
        if (n == q) {
            old = v;
            return;
        }
    list.append({q, v});
}

void XmlStreamWriter::endElement() {
    XmlStreamWriterState& d = *d_;
    if (d.finished || d.openEnds.empty())
        throw XmlError(XmlError::HierarchyRequest, QStringLiteral("no element to end"));
    if (d.startPending)
        d.flushStart(true);
    else
        d.out.append(d.openEnds.back());
    d.openEnds.pop_back();
    if (d.openEnds.empty()) d.writeUtf8("\r\n", 2);
    afterWrite();
}

void XmlStreamWriter::textElement(const Name& name, QStringView text) {
    if (name.owner_ != this)
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("a name of another writer"));
    beforeChild();
    XmlStreamWriterState& d = *d_;
    if (text.isEmpty()) {
        d.out.append(name.empty_);
    } else {
        d.out.append(name.open_);
        d.text(text.utf16(), text.size(), false);
        d.out.append(name.end_);
    }
    if (d.openEnds.empty()) {
        d.rootWritten = true;
        d.writeUtf8("\r\n", 2);
    }
    afterWrite();
}

void XmlStreamWriter::textElement(const Name& name, QLatin1StringView text) {
    if (name.owner_ != this)
        throw XmlError(XmlError::InvalidArgument, QStringLiteral("a name of another writer"));
    beforeChild();
    XmlStreamWriterState& d = *d_;
    if (text.isEmpty()) {
        d.out.append(name.empty_);
    } else {
        d.out.append(name.open_);
        d.text(reinterpret_cast<const uchar*>(text.data()), text.size(), false);
        d.out.append(name.end_);
    }
    if (d.openEnds.empty()) {
        d.rootWritten = true;
        d.writeUtf8("\r\n", 2);
    }
    afterWrite();
}

void XmlStreamWriter::text(QStringView text) {
    if (d_->openEnds.empty())
        throw XmlError(XmlError::HierarchyRequest, QStringLiteral("text outside the document element"));
    beforeChild();
    if (!text.isEmpty()) d_->text(text.utf16(), text.size(), false);
    afterWrite();
}

QByteArray XmlStreamWriter::toBytes() {
    XmlStreamWriterState& d = *d_;
    if (d.file)
        throw XmlError(XmlError::HierarchyRequest,
                       QStringLiteral("the document is being written to a file"));
    if (!d.finished) {
        while (!d.openEnds.empty()) endElement();
        d.finished = true;
        d.result = d.out.take();
        if (d.mode == XmlStreamWriterState::Mode::Later)
            d.result = encodeMarkup(d.result, d.encoding, nullptr);
    }
    return d.result;
}

void XmlStreamWriter::afterWrite() { d_->drain(1 << 20); }

XmlSaveStatus XmlStreamWriter::streamTo(const QString& path, QString* error) {
    XmlStreamWriterState& d = *d_;
    if (d.finished || d.file)
        throw XmlError(XmlError::HierarchyRequest, QStringLiteral("the document is written"));
    if (d.mode == XmlStreamWriterState::Mode::Later) return XmlSaveStatus::Ok;
    auto file = std::make_unique<qor::SafeFileWriter>(path);
    const XmlSaveStatus opened = openSaveFile(*file, error);
    if (opened != XmlSaveStatus::Ok) return opened;
    d.file = std::move(file);
    d.drain(1);
    return XmlSaveStatus::Ok;
}

XmlSaveStatus XmlStreamWriter::save(const QString& path, QString* error) {
    XmlStreamWriterState& d = *d_;
    if (!d.file) return saveBytes(path, toBytes(), error);
    if (QFileInfo(d.file->target()).absoluteFilePath() != QFileInfo(path).absoluteFilePath())
        throw XmlError(XmlError::InvalidArgument,
                       QStringLiteral("the document is being written to another file"));
    if (!d.finished) {
        while (!d.openEnds.empty()) endElement();
        d.finished = true;
    }
    d.drain(1);
    std::unique_ptr<qor::SafeFileWriter> file = std::move(d.file);
    if (!d.fileError.isEmpty()) {
        if (error) *error = d.fileError;
        const XmlSaveStatus status = failedSave(*file);
        file->cancel();
        return status;
    }
    return commitSaveFile(*file, error);
}

}  // namespace qor

#include "exchange/workbook_read.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <zip.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/messages.h"
#include "exchange/workbook_codes.h"
#include "exchange/workbook_dates.h"
#include "exchange/xmldom.h"

namespace qor {

namespace {

constexpr int kSheetRows = 1048576;
constexpr int kSheetCols = 16384;
constexpr int kMaxCellText = 32767;
constexpr qint64 kRatioFloor = qint64(1) << 20;

// ---- the package ----------------------------------------------------------

class Package {
public:
    Package(const QString& path, const XlsxReadLimits& limits, const WorkbookReadFailure& fail)
        : m_limits(limits), m_fail(fail) {
        int err = 0;
        m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
        if (!m_zip) {
            zip_error_t ze;
            zip_error_init_with_code(&ze, err);
            const QString why = QString::fromUtf8(zip_error_strerror(&ze));
            zip_error_fini(&ze);
            fail(LoadErrorText(str::kNotAWorkbook));
        }
        const zip_int64_t n = zip_get_num_entries(m_zip, 0);
        if (n < 0 || n > m_limits.maxParts) {
            zip_discard(m_zip);
            m_zip = nullptr;
            fail(LoadErrorText(str::kWorkbookTooLarge));
        }
    }
    ~Package() {
        if (m_zip) zip_discard(m_zip);
    }
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    bool has(const QString& name) const { return locate(name) >= 0; }

    // The part's bytes; a missing part is an empty array when optional.
    QByteArray read(const QString& name, bool optional = false) {
        const zip_int64_t index = locate(name);
        if (index < 0) {
            if (optional) return {};
            m_fail(LoadErrorText(str::kWorkbookPartDamaged).arg(name));
        }
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &st) != 0)
            m_fail(LoadErrorText(str::kWorkbookPartDamaged).arg(name));
        // The sizes in the directory are checked first and the bytes
        // counted as they come, so a lying directory gains nothing.
        const qint64 cap = m_limits.maxPartBytes;
        if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(cap)) tooLarge(name);
        if ((st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) &&
            st.size > zip_uint64_t(kRatioFloor) &&
            st.size / std::max<zip_uint64_t>(st.comp_size, 1) > zip_uint64_t(m_limits.maxRatio))
            tooLarge(name);
        zip_file_t* f = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
        if (!f) m_fail(LoadErrorText(str::kWorkbookPartDamaged).arg(name));
        QByteArray out;
        char buf[65536];
        for (;;) {
            const zip_int64_t got = zip_fread(f, buf, sizeof buf);
            if (got < 0) {
                const QString why = QString::fromUtf8(zip_file_strerror(f));
                zip_fclose(f);
                m_fail(LoadErrorText(str::kWorkbookPartDamaged).arg(name));
            }
            if (got == 0) break;
            if (out.size() + got > cap || m_total + out.size() + got > m_limits.maxTotalBytes) {
                zip_fclose(f);
                tooLarge(name);
            }
            out.append(buf, qsizetype(got));
        }
        zip_fclose(f);
        m_total += out.size();
        return out;
    }

    XmlNode xml(const QString& name, bool optional = false) {
        const QByteArray bytes = read(name, optional);
        if (bytes.isNull()) return {};
        QString why;
        XmlDocument doc = XmlDocument::parse(bytes, &why);
        if (doc.isNull()) m_fail(LoadErrorText(str::kWorkbookPartDamaged).arg(name));
        return doc.documentElement();
    }

private:
    zip_int64_t locate(const QString& name) const {
        return zip_name_locate(m_zip, name.toUtf8().constData(), 0);
    }
    [[noreturn]] void tooLarge(const QString& name) const {
        m_fail(LoadErrorText(str::kReasonAndMessage).arg(LoadErrorText(str::kWorkbookTooLarge), name));
    }
    zip_t* m_zip = nullptr;
    const XlsxReadLimits& m_limits;
    const WorkbookReadFailure& m_fail;
    qint64 m_total = 0;
};

// ---- XML helpers ------------------------------------------------------------

QString localName(const XmlNode& n) {
    const QString t = n.tagName();
    const qsizetype colon = t.indexOf(u':');
    return colon < 0 ? t : t.mid(colon + 1);
}

// Element children by local name: writers differ in the prefix they give
// the spreadsheet namespace.
template <class F>
void forChildren(const XmlNode& parent, QStringView name, F f) {
    if (parent.isNull()) return;
    for (XmlNode n = parent.firstChildElement(); !n.isNull(); n.toNextSiblingElement())
        if (name.isEmpty() || localName(n) == name) f(n);
}

XmlNode child(const XmlNode& parent, QStringView name) {
    XmlNode found;
    if (parent.isNull()) return found;
    for (XmlNode n = parent.firstChildElement(); !n.isNull(); n.toNextSiblingElement())
        if (localName(n) == name) return n;
    return found;
}

// An attribute in any namespace by its local name ("r:id" as "id").
std::optional<QString> prefixedAttribute(const XmlNode& n, QStringView local) {
    for (const auto& [name, value] : n.attributes()) {
        const qsizetype colon = name.indexOf(u':');
        if (colon > 0 && !name.startsWith(QLatin1String("xmlns")) &&
            QStringView(name).mid(colon + 1) == local)
            return value;
    }
    return std::nullopt;
}

bool boolAttribute(const XmlNode& n, QStringView name, bool absent) {
    const std::optional<QString> v = n.attribute(name);
    if (!v) return absent;
    return !(*v == u"0" || v->compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

// The _xHHHH_ escapes of spreadsheet text (control characters).
QString unescapeText(const QString& s) {
    if (!s.contains(QLatin1String("_x"))) return s;
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'_' && i + 6 < s.size() && s[i + 1] == u'x' && s[i + 6] == u'_') {
            bool ok = false;
            const uint code = QStringView(s).mid(i + 2, 4).toUInt(&ok, 16);
            if (ok) {
                out += QChar(char16_t(code));
                i += 6;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// ---- relationships ----------------------------------------------------------

struct Relationship {
    QString type;    // the last step of the type URI ("worksheet")
    QString target;  // part name inside the package
};

QString folderOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash + 1);
}

QString resolveTarget(const QString& fromPart, const QString& target) {
    QString joined = target.startsWith(u'/') ? target.mid(1) : folderOf(fromPart) + target;
    QStringList out;
    for (const QString& step : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (step == u".") continue;
        if (step == u"..") {
            if (!out.isEmpty()) out.removeLast();
            continue;
        }
        out << step;
    }
    return out.join(u'/');
}

std::map<QString, Relationship> relationshipsOf(Package& pkg, const QString& part) {
    const QString relsName = folderOf(part) + QStringLiteral("_rels/") +
                             part.mid(part.lastIndexOf(u'/') + 1) + QStringLiteral(".rels");
    std::map<QString, Relationship> out;
    const XmlNode root = pkg.xml(relsName, true);
    forChildren(root, u"Relationship", [&](const XmlNode& r) {
        if (r.attributeText(u"TargetMode")
                .compare(QLatin1String("External"), Qt::CaseInsensitive) == 0)
            return;
        const QString type = r.attributeText(u"Type");
        out[r.attributeText(u"Id")] = Relationship{type.mid(type.lastIndexOf(u'/') + 1),
                                                   resolveTarget(part, r.attributeText(u"Target"))};
    });
    return out;
}

// ---- numbers and references -------------------------------------------------

uint unitOf(QChar c) { return c.unicode(); }
uint unitOf(char c) { return uchar(c); }

// "B12" from a cell's attribute (bytes) or from a name's text.
template <class View>
bool parseCellRef(View t, int* row, int* col) {
    size_t i = 0;
    const size_t n = size_t(t.size());
    int c = 0, r = 0;
    auto letter = [](uint u) { return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'); };
    while (i < n && letter(unitOf(t[i]))) {
        if (i >= 3) return false;
        c = c * 26 + int((unitOf(t[i]) & ~0x20u) - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == n || n - i > 7) return false;
    for (; i < n; ++i) {
        const uint u = unitOf(t[i]);
        if (u < '0' || u > '9') return false;
        r = r * 10 + int(u - '0');
    }
    if (r < 1 || r > kSheetRows || c < 1 || c > kSheetCols) return false;
    *row = r;
    *col = c;
    return true;
}

bool parseArea(QStringView t, XlArea* a) {
    const qsizetype colon = t.indexOf(u':');
    if (colon < 0) {
        if (!parseCellRef(t, &a->r1, &a->c1)) return false;
        a->r2 = a->r1;
        a->c2 = a->c1;
        return true;
    }
    if (!parseCellRef(t.left(colon), &a->r1, &a->c1) ||
        !parseCellRef(t.mid(colon + 1), &a->r2, &a->c2))
        return false;
    if (a->r1 > a->r2) std::swap(a->r1, a->r2);
    if (a->c1 > a->c2) std::swap(a->c1, a->c2);
    return true;
}

std::optional<double> parseNumber(const QString& t) {
    bool ok = false;
    const double v = t.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

// ---- styles -----------------------------------------------------------------

// The legacy indexed palette, 0xRRGGBB.
uint32_t indexedColour(int i) {
    static constexpr uint32_t base[16] = {
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
        0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080};
    if (i >= 0 && i < 8) return base[i];
    if (i >= 8 && i < 24) return base[i - 8];
    if (i == 65) return 0xFFFFFF;  // system background
    return 0;
}

uint32_t bgrOf(uint32_t rgb) { return (rgb & 0xFF) << 16 | (rgb & 0xFF00) | (rgb >> 16 & 0xFF); }

// 0x00BBGGRR of a <color>; none for a theme colour or automatic.
std::optional<uint32_t> colourOf(const XmlNode& c) {
    if (c.isNull()) return std::nullopt;
    if (const std::optional<QString> rgb = c.attribute(u"rgb")) {
        bool ok = false;
        const uint32_t argb = rgb->right(6).toUInt(&ok, 16);
        if (ok) return bgrOf(argb);
        return std::nullopt;
    }
    if (const std::optional<QString> idx = c.attribute(u"indexed")) {
        bool ok = false;
        const int i = idx->toInt(&ok);
        if (ok && i != 64) return bgrOf(indexedColour(i));
    }
    return std::nullopt;
}

XlBorder borderOf(const XmlNode& edge) {
    XlBorder b;
    if (edge.isNull()) return b;
    const QString s = edge.attributeText(u"style");
    struct Entry {
        const char* name;
        int style, weight;
    };
    static constexpr Entry table[] = {
        {"thin", xl::kContinuous, xl::kThin},
        {"medium", xl::kContinuous, xl::kMedium},
        {"thick", xl::kContinuous, xl::kThick},
        {"hair", xl::kContinuous, xl::kHairline},
        {"dashed", xl::kDash, xl::kThin},
        {"mediumDashed", xl::kDash, xl::kMedium},
        {"dotted", xl::kDot, xl::kThin},
        {"dashDot", xl::kDashDot, xl::kThin},
        {"mediumDashDot", xl::kDashDot, xl::kMedium},
        {"dashDotDot", xl::kDashDotDot, xl::kThin},
        {"mediumDashDotDot", xl::kDashDotDot, xl::kMedium},
        {"slantDashDot", xl::kSlantDashDot, xl::kMedium},
        {"double", xl::kDouble, xl::kThick},
    };
    for (const Entry& e : table)
        if (s == QLatin1String(e.name)) return XlBorder{e.style, e.weight};
    return b;
}

struct FontRec {
    QString name;
    double size = xl::kDefaultFontSize;
    bool bold = false, italic = false;
    int underline = xl::kUnderlineNone;
    uint32_t colour = 0;
};

struct FillRec {
    bool has = false;
    uint32_t colour = 0xFFFFFF;
};

struct BorderRec {
    XlBorder left, top, bottom, right;
};

int horizontalOf(const QString& h) {
    if (h == u"left") return xl::kLeft;
    if (h == u"center" || h == u"centerContinuous") return xl::kCenter;
    if (h == u"right") return xl::kRight;
    if (h == u"justify" || h == u"distributed") return xl::kJustify;
    return xl::kGeneral;
}

int verticalOf(const QString& v) {
    if (v == u"top") return xl::kTop;
    if (v == u"center") return xl::kCenter;
    if (v == u"justify" || v == u"distributed") return xl::kJustify;
    return xl::kBottom;
}

class Styles {
public:
    Styles(const XmlNode& root, const XlsxReadLimits& limits, const WorkbookReadFailure& fail) {
        if (root.isNull()) {
            m_xfs.push_back(nullptr);
            return;
        }
        std::map<int, QString> formats;
        forChildren(child(root, u"numFmts"), u"numFmt", [&](const XmlNode& n) {
            if (int(formats.size()) >= limits.maxStyles) fail(LoadErrorText(str::kWorkbookTooLarge));
            bool ok = false;
            const int id = n.attributeText(u"numFmtId").toInt(&ok);
            const QString code = n.attributeText(u"formatCode");
            if (!ok || id < 0) fail(LoadErrorText(str::kWorkbookStylesDamaged));
            if (code.size() > 255) fail(LoadErrorText(str::kWorkbookStylesDamaged));
            formats[id] = code;
        });
        std::vector<FontRec> fonts;
        forChildren(child(root, u"fonts"), u"font", [&](const XmlNode& n) {
            if (int(fonts.size()) >= limits.maxStyles) fail(LoadErrorText(str::kWorkbookTooLarge));
            FontRec f;
            forChildren(n, {}, [&](const XmlNode& p) {
                const QString tag = localName(p);
                const QString val = p.attributeText(u"val");
                if (tag == u"name")
                    f.name = val.left(31);
                else if (tag == u"sz") {
                    const std::optional<double> sz = parseNumber(val);
                    if (sz && *sz >= 1 && *sz <= 409) f.size = *sz;
                } else if (tag == u"b")
                    f.bold = boolAttribute(p, u"val", true);
                else if (tag == u"i")
                    f.italic = boolAttribute(p, u"val", true);
                else if (tag == u"u") {
                    if (val.isEmpty() || val == u"single" || val == u"singleAccounting")
                        f.underline = xl::kUnderlineSingle;
                    else if (val == u"double" || val == u"doubleAccounting")
                        f.underline = xl::kUnderlineDouble;
                } else if (tag == u"color")
                    f.colour = colourOf(p).value_or(0);
            });
            fonts.push_back(f);
        });
        std::vector<FillRec> fills;
        forChildren(child(root, u"fills"), u"fill", [&](const XmlNode& n) {
            if (int(fills.size()) >= limits.maxStyles) fail(LoadErrorText(str::kWorkbookTooLarge));
            FillRec f;
            const XmlNode p = child(n, u"patternFill");
            const QString type = p.isNull() ? QString() : p.attributeText(u"patternType");
            if (!type.isEmpty() && type != u"none" && type != u"gray125") {
                f.has = true;
                f.colour = colourOf(child(p, u"fgColor")).value_or(0xFFFFFF);
            }
            fills.push_back(f);
        });
        std::vector<BorderRec> borders;
        forChildren(child(root, u"borders"), u"border", [&](const XmlNode& n) {
            if (int(borders.size()) >= limits.maxStyles) fail(LoadErrorText(str::kWorkbookTooLarge));
            BorderRec b;
            b.left = borderOf(child(n, u"left"));
            if (b.left.lineStyle == xl::kLineNone) b.left = borderOf(child(n, u"start"));
            b.right = borderOf(child(n, u"right"));
            if (b.right.lineStyle == xl::kLineNone) b.right = borderOf(child(n, u"end"));
            b.top = borderOf(child(n, u"top"));
            b.bottom = borderOf(child(n, u"bottom"));
            borders.push_back(b);
        });

        auto index = [&](const XmlNode& xf, QStringView name, size_t count,
                         [[maybe_unused]] const char* what) {
            bool ok = false;
            const int i = xf.attributeText(name).toInt(&ok);
            if (!xf.hasAttribute(name)) return -1;
            if (!ok || i < 0 || size_t(i) >= count) fail(LoadErrorText(str::kWorkbookStylesDamaged));
            return i;
        };
        forChildren(child(root, u"cellXfs"), u"xf", [&](const XmlNode& xf) {
            if (int(m_xfs.size()) >= limits.maxStyles) fail(LoadErrorText(str::kWorkbookTooLarge));
            XlStyle s;
            bool ok = false;
            const int fmt = xf.attributeText(u"numFmtId").toInt(&ok);
            if (ok && fmt > 0) {
                auto it = formats.find(fmt);
                s.numberFormat = it != formats.end() ? it->second : BuiltinNumberFormat(fmt);
                if (s.numberFormat.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                    s.numberFormat.clear();
            }
            if (const int f = index(xf, u"fontId", fonts.size(), "font"); f >= 0) {
                const FontRec& r = fonts[size_t(f)];
                s.fontName = r.name;
                s.fontSize = r.size;
                s.bold = r.bold;
                s.italic = r.italic;
                s.underline = r.underline;
                s.fontColor = r.colour;
            }
            if (const int f = index(xf, u"fillId", fills.size(), "fill"); f >= 0) {
                s.hasFill = fills[size_t(f)].has;
                s.fillColor = fills[size_t(f)].colour;
            }
            if (const int b = index(xf, u"borderId", borders.size(), "border"); b >= 0) {
                const BorderRec& r = borders[size_t(b)];
                s.left = r.left;
                s.top = r.top;
                s.bottom = r.bottom;
                s.right = r.right;
            }
            if (const XmlNode a = child(xf, u"alignment"); !a.isNull()) {
                s.hAlign = horizontalOf(a.attributeText(u"horizontal"));
                s.vAlign = verticalOf(a.attributeText(u"vertical"));
                s.wrap = boolAttribute(a, u"wrapText", false);
            }
            m_xfs.push_back(s == XlCell::plainStyle() ? nullptr : std::make_shared<XlStyle>(s));
        });
        if (m_xfs.empty()) m_xfs.push_back(nullptr);
    }

    size_t count() const { return m_xfs.size(); }
    // Shared by every cell of that style; null for the plain style.
    const XlSharedStyle& at(size_t i) const { return m_xfs[i]; }

private:
    std::vector<XlSharedStyle> m_xfs;
};

// ---- markup, element by element ---------------------------------------------

// An attribute as the parser hands it on: views into its buffers, valid
// during the start event only.
struct XmlAttr {
    std::string_view prefix, local, value;
};
using XmlAttrs = std::span<const XmlAttr>;

// An attribute without a prefix, by name.
std::optional<std::string_view> attr(XmlAttrs attrs, std::string_view name) {
    for (const XmlAttr& a : attrs)
        if (a.prefix.empty() && a.local == name) return a.value;
    return std::nullopt;
}

QString qstr(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// What the reader of a part takes from it: elements by local name, and the
// text of the places it asks for. Blank text between elements is dropped
// before it comes here unless xml:space keeps it.
class XmlEvents {
public:
    virtual ~XmlEvents() = default;
    virtual void start(std::string_view local, XmlAttrs attrs) = 0;
    virtual void end() = 0;
    virtual bool wantsText() const = 0;
    virtual void text(std::string_view t) = 0;
};

// Whether the part can be read straight by the parser: UTF-8, and no
// document type (so no entity of its own). Files of spreadsheet programs
// always are; anything else goes through the general XML layer, which
// reads other encodings and keeps declared entities in bounds.
bool readableStraight(const QByteArray& bytes) {
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    if (end - p >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
    // UTF-16 or UTF-32 without a mark.
    if (memchr(p, 0, size_t(std::min<qsizetype>(end - p, 4)))) return false;
    auto startsWith = [&](const char* at, const char* s) {
        const size_t n = strlen(s);
        return size_t(end - at) >= n && memcmp(at, s, n) == 0;
    };
    if (startsWith(p, "<?xml")) {
        const char* close = static_cast<const char*>(memmem(p, size_t(end - p), "?>", 2));
        if (!close) return false;
        const std::string_view decl(p, size_t(close - p));
        const size_t e = decl.find("encoding");
        if (e != std::string_view::npos) {
            size_t i = e + 8;
            while (i < decl.size() && (decl[i] == ' ' || decl[i] == '=' || decl[i] == '\t')) ++i;
            if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return false;
            const size_t q = decl.find(decl[i], i + 1);
            if (q == std::string_view::npos) return false;
            const QByteArray name = QByteArray(decl.data() + i + 1, qsizetype(q - i - 1)).toLower();
            if (name != "utf-8" && name != "utf8") return false;
        }
        p = close + 2;
    }
    // Up to the document element: comments and instructions only.
    for (;;) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')) ++p;
        if (startsWith(p, "<?")) {
            const char* close = static_cast<const char*>(memmem(p, size_t(end - p), "?>", 2));
            if (!close) return false;
            p = close + 2;
        } else if (startsWith(p, "<!--")) {
            const char* close = static_cast<const char*>(memmem(p, size_t(end - p), "-->", 3));
            if (!close) return false;
            p = close + 3;
        } else {
            return p < end && *p == '<' && !startsWith(p, "<!");
        }
    }
}

bool isBlankRun(std::string_view s) {
    for (const char c : s)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
    return true;
}

// libxml2's event parser over a part in memory, building nothing: the
// floor of reading a part at all.
class StraightReader {
public:
    explicit StraightReader(XmlEvents& ev) : m_ev(ev) {
        m_preserve.reserve(16);
        m_attrs.reserve(8);
    }

    // False with *why when the part is not well-formed.
    bool parse(const QByteArray& bytes, QString* why) {
        xmlSAXHandler sax;
        memset(&sax, 0, sizeof sax);
        sax.initialized = XML_SAX2_MAGIC;
        sax.startElementNs = onStart;
        sax.endElementNs = onEnd;
        sax.characters = onText;
        sax.ignorableWhitespace = onText;
        sax.cdataBlock = onCdata;
        sax.comment = onComment;
        sax.processingInstruction = onInstruction;
        sax.internalSubset = onDocumentType;
        sax.serror = onError;
        // Fed piece by piece: a parser over the whole part would first copy
        // all of it, and a part of tens of MiB held twice stays in the heap.
        xmlParserCtxtPtr ctxt = xmlCreatePushParserCtxt(&sax, this, nullptr, 0, nullptr);
        if (!ctxt) {
            *why = StatusText(Status::OutOfMemory);
            return false;
        }
        // Entities are replaced: with no document type, only the five
        // predefined ones and character references can occur.
        xmlCtxtUseOptions(
            ctxt, XML_PARSE_NONET | XML_PARSE_NOENT | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        m_ctxt = ctxt;
        m_preserve.assign(1, false);
        constexpr qsizetype kPiece = 256 * 1024;
        for (qsizetype at = 0;
             at < bytes.size() && !m_thrown && ctxt->wellFormed && !ctxt->disableSAX; at += kPiece)
            xmlParseChunk(ctxt, bytes.constData() + at, int(std::min(kPiece, bytes.size() - at)),
                          0);
        if (!m_thrown && ctxt->wellFormed && !ctxt->disableSAX) xmlParseChunk(ctxt, nullptr, 0, 1);
        const bool wellFormed = ctxt->wellFormed && !m_thrown;
        if (!wellFormed && !m_thrown) {
            *why = !m_error.isEmpty() ? m_error : LoadErrorText(str::kXmlNotWellFormed).arg(ctxt->lastError.line);
        }
        if (ctxt->myDoc) xmlFreeDoc(ctxt->myDoc);
        ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(ctxt);
        m_ctxt = nullptr;
        if (m_thrown) std::rethrow_exception(m_thrown);
        return wellFormed;
    }

private:
    static StraightReader* self(void* ctx) { return static_cast<StraightReader*>(ctx); }

    // Nothing may be thrown through the parser: the exception is kept, the
    // parser stopped, and the exception thrown again once it is gone.
    template <class F>
    void guarded(F f) {
        if (m_thrown) return;
        try {
            f();
        } catch (...) {
            m_thrown = std::current_exception();
            xmlStopParser(m_ctxt);
        }
    }

    // The text since the last markup, unless it is blank and blanks are
    // not kept here.
    void flush() {
        if (m_run.empty()) return;
        if (m_preserve.back() || !isBlankRun(m_run)) m_ev.text(m_run);
        m_run.clear();
    }

    static void onStart(void* ctx, const xmlChar* localname, const xmlChar*, const xmlChar*, int,
                        const xmlChar**, int nbAttributes, int, const xmlChar** attributes) {
        StraightReader* r = self(ctx);
        r->guarded([&] {
            r->flush();
            bool preserve = r->m_preserve.back();
            r->m_attrs.clear();
            for (int i = 0; i < nbAttributes; ++i) {
                const xmlChar** a = attributes + 5 * i;
                const char* value = reinterpret_cast<const char*>(a[3]);
                XmlAttr at{a[1] ? std::string_view(reinterpret_cast<const char*>(a[1]))
                                : std::string_view(),
                           reinterpret_cast<const char*>(a[0]),
                           std::string_view(value, size_t(a[4] - a[3]))};
                if (at.prefix == "xml" && at.local == "space") {
                    if (at.value == "preserve") preserve = true;
                    if (at.value == "default") preserve = false;
                }
                r->m_attrs.push_back(at);
            }
            r->m_preserve.push_back(preserve);
            r->m_ev.start(reinterpret_cast<const char*>(localname), r->m_attrs);
        });
    }
    static void onEnd(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        StraightReader* r = self(ctx);
        r->guarded([&] {
            r->flush();
            r->m_preserve.pop_back();
            r->m_ev.end();
        });
    }
    static void onText(void* ctx, const xmlChar* ch, int len) {
        StraightReader* r = self(ctx);
        if (!r->m_thrown && r->m_ev.wantsText())
            r->m_run.append(reinterpret_cast<const char*>(ch), size_t(len));
    }
    static void onCdata(void* ctx, const xmlChar* ch, int len) {
        StraightReader* r = self(ctx);
        r->guarded([&] {
            r->flush();
            if (r->m_ev.wantsText())
                r->m_ev.text(std::string_view(reinterpret_cast<const char*>(ch), size_t(len)));
        });
    }
    static void onComment(void* ctx, const xmlChar*) {
        StraightReader* r = self(ctx);
        r->guarded([&] { r->flush(); });
    }
    static void onInstruction(void* ctx, const xmlChar*, const xmlChar*) {
        StraightReader* r = self(ctx);
        r->guarded([&] { r->flush(); });
    }
    // Looked for before the parse; should one slip through, the part is
    // refused rather than its entities read.
    static void onDocumentType(void* ctx, const xmlChar*, const xmlChar*, const xmlChar*) {
        StraightReader* r = self(ctx);
        r->guarded([] {
            throw XmlError(XmlError::InvalidArgument, QStringLiteral("unexpected document type"));
        });
    }
    static void onError(void* ctx, xmlErrorPtr err) {
        StraightReader* r = self(ctx);
        if (!err || err->level < XML_ERR_ERROR || !r->m_error.isEmpty()) return;
        r->m_error = LoadErrorText(str::kXmlNotWellFormed).arg(err->line);
    }

    XmlEvents& m_ev;
    xmlParserCtxtPtr m_ctxt = nullptr;
    std::string m_run;
    std::vector<bool> m_preserve;  // xml:space of the open elements
    std::vector<XmlAttr> m_attrs;
    std::exception_ptr m_thrown;
    QString m_error;
};

// The same events from the general XML layer's nodes, for the parts it
// reads (blank text is dropped there already).
class NodeReplay {
public:
    explicit NodeReplay(XmlEvents& ev) : m_ev(ev) {}

    void start(const XmlNode& element) {
        const QByteArray local = localName(element).toUtf8();
        std::vector<QByteArray> keep;
        std::vector<XmlAttr> attrs;
        const auto list = element.attributes();
        keep.reserve(size_t(list.size()) * 3);
        for (const auto& [name, value] : list) {
            const qsizetype colon = name.indexOf(u':');
            keep.push_back(colon < 0 ? QByteArray() : name.left(colon).toUtf8());
            keep.push_back(name.mid(colon + 1).toUtf8());
            keep.push_back(value.toUtf8());
        }
        for (size_t i = 0; i < keep.size(); i += 3)
            attrs.push_back(
                {std::string_view(keep[i].constData(), size_t(keep[i].size())),
                 std::string_view(keep[i + 1].constData(), size_t(keep[i + 1].size())),
                 std::string_view(keep[i + 2].constData(), size_t(keep[i + 2].size()))});
        m_ev.start(std::string_view(local.constData(), size_t(local.size())), attrs);
    }

    void whole(const XmlNode& n) {
        if (n.isElement()) {
            start(n);
            for (XmlNode c = n.firstChild(); !c.isNull(); c = c.nextSibling()) whole(c);
            m_ev.end();
        } else if (m_ev.wantsText()) {
            const QByteArray t = n.text().toUtf8();
            if (!t.isEmpty()) m_ev.text(std::string_view(t.constData(), size_t(t.size())));
        }
    }

private:
    XmlEvents& m_ev;
};

// The part read straight when it can be, else through the general XML
// layer; container as for XmlDocument::parseElements. False with *why when
// the part is not well-formed.
bool readPart(const QByteArray& bytes, XmlEvents& ev, const QByteArray& container, QString* why) {
    if (readableStraight(bytes)) return StraightReader(ev).parse(bytes, why);
    NodeReplay replay(ev);
    bool inContainer = false, inRoot = false;
    const bool ok = XmlDocument::parseElements(
        bytes,
        [&](const XmlNode& root) {
            replay.start(root);
            inRoot = true;
        },
        [&](const XmlNode& n) {
            const bool rootChild = n.parent().parent().type() == XmlNode::Type::Document;
            if (!rootChild) {
                if (!inContainer) {
                    replay.start(n.parent());
                    inContainer = true;
                }
                replay.whole(n);
            } else if (inContainer && n.isElement() && localName(n).toUtf8() == container) {
                ev.end();
                inContainer = false;
            } else {
                replay.whole(n);
            }
        },
        container, why);
    if (ok && inRoot) ev.end();
    return ok;
}

// ---- numbers from bytes -------------------------------------------------------

// The common forms straight from the bytes; anything else as QString reads
// it, so that every value reads as it always has.
bool asciiOnly(std::string_view s) {
    for (const char c : s)
        if (uchar(c) >= 0x80) return false;
    return true;
}

bool isQtSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

std::string_view trimmedAscii(std::string_view s) {
    while (!s.empty() && isQtSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isQtSpace(s.back())) s.remove_suffix(1);
    return s;
}

// Whether the text is empty or white space only, as QString::trimmed sees it.
bool blankText(std::string_view s) {
    if (asciiOnly(s)) return trimmedAscii(s).empty();
    return qstr(s).trimmed().isEmpty();
}

std::optional<double> parseNumber(std::string_view t) {
    const std::string_view s = trimmedAscii(t);
    double v = 0;
    if (!s.empty() && s.front() != '+') {
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec == std::errc() && end == s.data() + s.size() && std::isfinite(v)) return v;
    }
    return parseNumber(qstr(t));
}

// Digits only, as toUInt reads them; trimmed first when trim is set.
std::optional<uint> parseUnsigned(std::string_view t, bool trim) {
    const std::string_view s = trim ? trimmedAscii(t) : t;
    if (!s.empty() && s.size() <= 9 &&
        std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        uint v = 0;
        for (const char c : s) v = v * 10 + uint(c - '0');
        return v;
    }
    bool ok = false;
    const QString q = trim ? qstr(t).trimmed() : qstr(t);
    const uint v = q.toUInt(&ok);
    return ok ? std::optional<uint>(v) : std::nullopt;
}

bool boolAttribute(XmlAttrs attrs, std::string_view name, bool absent) {
    const std::optional<std::string_view> v = attr(attrs, name);
    if (!v) return absent;
    if (*v == "0") return false;
    return qstr(*v).compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
}

// ---- string items -------------------------------------------------------------

// Where an element stands in a string item (a shared string's <si>, a
// cell's <is>): its text is its own <t>, or the <t> of each run; phonetic
// guides are not part of the value.
enum class ItemPart { Item, Run, Text, Other };

ItemPart itemChild(ItemPart parent, std::string_view local) {
    switch (parent) {
        case ItemPart::Item:
            return local == "t" ? ItemPart::Text : local == "r" ? ItemPart::Run : ItemPart::Other;
        case ItemPart::Run:
            return local == "t" ? ItemPart::Text : ItemPart::Other;
        case ItemPart::Text:
            return ItemPart::Text;
        default:
            return ItemPart::Other;
    }
}

// ---- shared strings ---------------------------------------------------------

class SharedStringsReader final : public XmlEvents {
public:
    SharedStringsReader(std::vector<QString>& out, const XlsxReadLimits& limits,
                        const WorkbookReadFailure& fail)
        : m_out(out), m_limits(limits), m_fail(fail) {}

    void start(std::string_view local, XmlAttrs) override {
        if (m_depth++ == 0) return;  // the table
        if (m_depth == 2) {
            m_inItem = local == "si";
            m_text.clear();
            m_parts.assign(1, m_inItem ? ItemPart::Item : ItemPart::Other);
            return;
        }
        m_parts.push_back(itemChild(m_parts.back(), local));
    }
    void end() override {
        if (--m_depth == 1 && m_inItem) {
            if (int(m_out.size()) >= m_limits.maxStrings)
                m_fail(LoadErrorText(str::kWorkbookTooLarge));
            m_out.push_back(unescapeText(qstr(m_text)));
            m_inItem = false;
        }
        if (m_depth >= 1 && !m_parts.empty()) m_parts.pop_back();
    }
    bool wantsText() const override {
        return m_inItem && m_depth >= 3 && m_parts.back() == ItemPart::Text;
    }
    void text(std::string_view t) override { m_text.append(t); }

private:
    std::vector<QString>& m_out;
    const XlsxReadLimits& m_limits;
    const WorkbookReadFailure& m_fail;
    int m_depth = 0;
    bool m_inItem = false;
    std::vector<ItemPart> m_parts;
    std::string m_text;
};

// ---- worksheets -------------------------------------------------------------

// A part named as a worksheet that holds something else.
struct NotAWorksheet {};

// The cell elements ("<c ...>", any prefix) in a worksheet's markup,
// counted before anything is built from it: a file over the cell limit is
// refused before its cells take memory. Nothing else in a worksheet is
// named "c".
qint64 countCellElements(const QByteArray& xml) {
    qint64 n = 0;
    const char* p = xml.constData();
    const char* const end = p + xml.size();
    while ((p = static_cast<const char*>(memchr(p, '<', size_t(end - p))))) {
        const char* name = ++p;
        while (p < end && *p != ' ' && *p != '>' && *p != '/' && *p != '\t' && *p != '\r' &&
               *p != '\n' && *p != '<')
            ++p;
        if (p - name >= 1 && p[-1] == 'c' && (p - name == 1 || p[-2] == ':')) ++n;
    }
    return n;
}

class SheetReader final : public XmlEvents {
public:
    SheetReader(XlWorksheet* ws, const std::vector<QString>& strings, const Styles& styles,
                const XlsxReadLimits& limits, qint64* cells, const WorkbookReadFailure& fail,
                bool date1904)
        : m_ws(ws),
          m_strings(strings),
          m_styles(styles),
          m_limits(limits),
          m_cells(cells),
          m_fail(fail),
          m_date1904(date1904) {
        m_stack.reserve(16);
    }

    // The sheet's part, its cells taken as the parser meets them.
    // NotAWorksheet when the part is some other kind of part.
    void read(const QString& part, const QByteArray& bytes) {
        QString why;
        if (!readPart(bytes, *this, QByteArrayLiteral("sheetData"), &why))
            m_fail(LoadErrorText(str::kWorkbookPartDamaged).arg(part));
        m_ws->finishLoading();
    }

    void start(std::string_view local, XmlAttrs attrs) override {
        if (m_stack.empty()) {
            if (local != "worksheet") throw NotAWorksheet{};
            m_stack.push_back(Root);
            return;
        }
        m_stack.push_back(childOf(m_stack.back(), local, attrs));
    }

    void end() override {
        const Place was = m_stack.back();
        m_stack.pop_back();
        if (was == Cell) finishCell();
    }

    bool wantsText() const override {
        const Place p = m_stack.empty() ? Other : m_stack.back();
        return p == Value || p == ItemText;
    }

    void text(std::string_view t) override {
        (m_stack.back() == Value ? m_value : m_inline).append(t);
    }

private:
    // Where an open element stands. The worksheet's own children and
    // those of its sheetData are read alike, except that rows count in
    // sheetData only.
    enum Place : uint8_t {
        Root,
        SheetData,
        Row,
        Cell,
        Value,
        Columns,
        Merges,
        ItemRoot,
        ItemRun,
        ItemText,
        Other
    };

    static Place ofItem(ItemPart p) {
        switch (p) {
            case ItemPart::Item:
                return ItemRoot;
            case ItemPart::Run:
                return ItemRun;
            case ItemPart::Text:
                return ItemText;
            default:
                return Other;
        }
    }
    static ItemPart itemOf(Place p) {
        return p == ItemRoot   ? ItemPart::Item
               : p == ItemRun  ? ItemPart::Run
               : p == ItemText ? ItemPart::Text
                               : ItemPart::Other;
    }

    Place childOf(Place parent, std::string_view local, XmlAttrs attrs) {
        switch (parent) {
            case Root:
            case SheetData:
                if (local == "row" && parent == SheetData) {
                    beginRow(attrs);
                    return Row;
                }
                if (local == "sheetData" && parent == Root) return SheetData;
                if (local == "dimension") {
                    checkDimension(attrs);
                } else if (local == "sheetFormatPr") {
                    readDefaultColumnWidth(attrs);
                } else if (local == "cols") {
                    return Columns;
                } else if (local == "mergeCells") {
                    m_ws->finishLoading();
                    return Merges;
                }
                return Other;
            case Columns:
                if (local == "col") readColumn(attrs);
                return Other;
            case Merges:
                if (local == "mergeCell") readMerge(attrs);
                return Other;
            case Row:
                if (local != "c") return Other;
                beginCell(attrs);
                return Cell;
            case Cell:
                // Shared and array formulas name their text in another
                // cell or not at all; every cell with an <f> holds a
                // formula.
                if (local == "f") {
                    m_formula = true;
                } else if (local == "v") {
                    m_hasValue = true;
                    m_value.clear();
                    return Value;
                } else if (local == "is") {
                    m_hasInline = true;
                    m_inline.clear();
                    return ItemRoot;
                }
                return Other;
            case Value:
                return Value;
            case ItemRoot:
            case ItemRun:
            case ItemText:
                return ofItem(itemChild(itemOf(parent), local));
            default:
                return Other;
        }
    }

    [[noreturn]] void fail(const QString& what) const {
        m_fail(LoadErrorText(str::kSheetFailure).arg(m_ws->name(), what));
    }

    void checkDimension(XmlAttrs attrs) {
        const QString ref = qstr(attr(attrs, "ref").value_or(std::string_view()));
        XlArea a;
        if (!parseArea(ref, &a))
            fail(LoadErrorText(str::kSheetStructureDamaged));
    }

    // The width of the columns without a "col" of their own: another
    // program leaves out the columns it keeps at its own default width,
    // which is seldom the usual 8.43 characters.
    void readDefaultColumnWidth(XmlAttrs attrs) {
        if (const auto text = attr(attrs, "defaultColWidth")) {
            const std::optional<double> w = parseNumber(*text);
            if (w && *w >= 0 && *w <= 256)
                m_ws->setDefaultColumnWidth(ColumnCharsOfStoredWidth(*w));
        } else if (const auto base = attr(attrs, "baseColWidth")) {
            bool ok = false;
            const int chars = qstr(*base).toInt(&ok);
            if (ok && chars >= 0) m_ws->setDefaultColumnWidth(ColumnCharsOfBaseWidth(chars));
        }
    }

    void readColumn(XmlAttrs attrs) {
        const QString min = qstr(attr(attrs, "min").value_or(std::string_view()));
        const QString max = qstr(attr(attrs, "max").value_or(std::string_view()));
        bool ok1 = false, ok2 = false;
        const int from = min.toInt(&ok1);
        const int to = max.toInt(&ok2);
        if (!ok1 || !ok2 || from < 1 || to < from || to > kSheetCols)
            fail(LoadErrorText(str::kSheetStructureDamaged));
        double chars = -1;
        if (boolAttribute(attrs, "hidden", false)) {
            chars = 0;
        } else if (const auto width = attr(attrs, "width")) {
            const std::optional<double> w = parseNumber(*width);
            if (!w || *w < 0 || *w > 256)
                fail(LoadErrorText(str::kSheetStructureDamaged));
            chars = ColumnCharsOfStoredWidth(*w);
        }
        if (chars >= 0) m_ws->range(XlArea{1, from, 1, to}).setColumnWidth(chars);
    }

    // Each merge is checked against those before it, so their number is
    // bounded.
    void readMerge(XmlAttrs attrs) {
        if (++m_merges > m_limits.maxMerges)
            fail(LoadErrorText(str::kWorkbookTooLarge));
        XlArea a;
        const QString ref = qstr(attr(attrs, "ref").value_or(std::string_view()));
        if (!parseArea(ref, &a)) fail(LoadErrorText(str::kSheetStructureDamaged));
        m_ws->range(a).merge();
    }

    void beginRow(XmlAttrs attrs) {
        int row = m_row + 1;
        const auto ref = attr(attrs, "r");
        if (ref) {
            const std::optional<uint> r = parseUnsigned(*ref, false);
            row = r && *r <= uint(INT_MAX) ? int(*r) : -1;
            if (!r) {
                bool ok = false;
                row = qstr(*ref).toInt(&ok);
                if (!ok) row = -1;
            }
        }
        if (row < 1 || row > kSheetRows)
            fail(LoadErrorText(str::kSheetStructureDamaged));
        if (boolAttribute(attrs, "hidden", false)) {
            m_ws->range(XlArea{row, 1, row, 1}).setRowHeight(0);
        } else if (const auto ht = attr(attrs, "ht")) {
            const std::optional<double> h = parseNumber(*ht);
            if (!h || *h < 0 || *h > 409)
                fail(LoadErrorText(str::kSheetStructureDamaged));
            m_ws->range(XlArea{row, 1, row, 1}).setRowHeight(*h);
        }
        m_row = row;
        m_col = 0;
    }

    void beginCell(XmlAttrs attrs) {
        int r = m_row, col = m_col + 1;
        const auto ref = attr(attrs, "r");
        if (ref) {
            if (!parseCellRef(*ref, &r, &col))
                fail(LoadErrorText(str::kCellDamaged).arg(qstr(*ref)));
        } else if (col > kSheetCols) {
            fail(LoadErrorText(str::kSheetStructureDamaged));
        }
        size_t style = 0;
        if (const auto s = attr(attrs, "s")) {
            const std::optional<uint> v = parseUnsigned(*s, false);
            if (!v || *v >= m_styles.count())
                fail(LoadErrorText(str::kCellDamaged).arg(qstr(ref.value_or(std::string_view()))));
            style = *v;
        }
        m_cellRow = r;
        m_col = col;
        m_style = style;
        const std::string_view type = attr(attrs, "t").value_or(std::string_view());
        m_type.assign(type.data(), type.size());
        m_formula = m_hasValue = m_hasInline = false;
        m_value.clear();
        m_inline.clear();
    }

    void finishCell() {
        const int r = m_cellRow, col = m_col;
        const size_t style = m_style;
        const std::string_view type = m_type;
        const std::string_view text = m_value;  // empty when there is no <v>
        XlCell cell;
        cell.formula = m_formula;
        // Writers that keep no result of a formula write an empty <v>.
        if (type == "inlineStr") {
            if (m_hasInline)
                setText(&cell, unescapeText(qstr(m_inline)), r, col);
            else if (m_hasValue)
                setText(&cell, unescapeText(qstr(text)), r, col);
        } else if (m_hasValue && !(type != "str" && blankText(text))) {
            if (type == "s") {
                const std::optional<uint> i = parseUnsigned(text, true);
                if (!i || *i >= m_strings.size())
                    fail(LoadErrorText(str::kCellDamaged).arg(cellName(r, col)));
                setText(&cell, m_strings[*i], r, col);
            } else if (type == "str") {
                setText(&cell, unescapeText(qstr(text)), r, col);
            } else if (type == "b") {
                // Booleans come through as 1 and 0: the engine's cells hold
                // numbers and texts. Anything but the four spellings of a
                // boolean is no value of one, as "inf" is no number.
                const QString b = qstr(text).trimmed();
                if (b != u"1" && b != u"true" && b != u"0" && b != u"false")
                    fail(LoadErrorText(str::kCellDamaged).arg(cellName(r, col)));
                cell.kind = XlCell::Number;
                cell.number = b == u"1" || b == u"true" ? 1 : 0;
            } else if (type == "e") {
                // An error value comes in as the text the workbook shows
                // ("#N/A"), so that the report shows it too.
                setText(&cell, qstr(text).trimmed(), r, col);
            } else if (type == "d") {
                setText(&cell, isoDateText(qstr(text).trimmed(), style), r, col);
            } else {
                const std::optional<double> n = parseNumber(text);
                if (!n)
                    fail(LoadErrorText(str::kCellDamaged).arg(cellName(r, col)));
                cell.kind = XlCell::Number;
                cell.number = *n;
                if (isDateStyle(style)) {
                    // A date comes in as the text its format shows.
                    if (const std::optional<QString> shown =
                            FormatDateSerial(*n, m_styles.at(style)->numberFormat, m_date1904))
                        setText(&cell, *shown, r, col);
                }
            }
        }
        // A cell of the default style with no value adds nothing; leaving
        // it out keeps it out of the used range.
        if (cell.kind == XlCell::Empty && style == 0 && !cell.formula) return;
        if (++*m_cells > m_limits.maxCells)
            m_fail(LoadErrorText(str::kWorkbookTooLarge));
        cell.shareStyle(m_styles.at(style));
        m_ws->loadCell(r, col, std::move(cell));
    }

    void setText(XlCell* cell, const QString& t, int r, int col) const {
        if (t.size() > kMaxCellText)
            fail(LoadErrorText(str::kCellTextTooLong).arg(cellName(r, col)).arg(kMaxCellText));
        cell->kind = t.isEmpty() ? XlCell::Empty : XlCell::Text;
        cell->text = t;
    }

    // Whether the style's number format shows a date, worked out once a
    // style.
    bool isDateStyle(size_t style) {
        if (m_dateStyles.size() <= style) m_dateStyles.resize(style + 1, -1);
        int8_t& known = m_dateStyles[style];
        if (known < 0) {
            const XlSharedStyle& s = m_styles.at(style);
            known = s && IsDateNumberFormat(s->numberFormat) ? 1 : 0;
        }
        return known == 1;
    }

    // A date written as its ISO text (t="d"): shown as its format shows
    // it, or plainly (PlainDateFormat).
    QString isoDateText(const QString& iso, size_t style) {
        const std::optional<double> serial = SerialOfIsoDate(iso, m_date1904);
        if (!serial) return iso;
        const QString format =
            isDateStyle(style) ? m_styles.at(style)->numberFormat : PlainDateFormat(*serial);
        return FormatDateSerial(*serial, format, m_date1904).value_or(iso);
    }

    static QString cellName(int r, int c) {
        QString letters;
        for (int n = c; n > 0; n = (n - 1) / 26) letters.prepend(QChar(u'A' + (n - 1) % 26));
        return letters + QString::number(r);
    }

    XlWorksheet* m_ws;
    const std::vector<QString>& m_strings;
    const Styles& m_styles;
    const XlsxReadLimits& m_limits;
    qint64* m_cells;
    const WorkbookReadFailure& m_fail;
    bool m_date1904 = false;
    std::vector<int8_t> m_dateStyles;  // by style: -1 not yet known, 0 no date, 1 date
    std::vector<Place> m_stack;        // the open elements
    int m_merges = 0;
    int m_row = 0;  // the last row begun
    int m_col = 0;  // the column of the last cell begun in it
    // The cell being read.
    int m_cellRow = 0;
    size_t m_style = 0;
    std::string m_type;
    bool m_formula = false, m_hasValue = false, m_hasInline = false;
    std::string m_value, m_inline;
};

}  // namespace

namespace {

// The most names a workbook may define; more is a damaged file.
constexpr size_t kMaxDefinedNames = 65536;

// "Sheet1!$A$1:$C$9" or "'Q1 ''24'!A1": a block of one worksheet of wb, into
// out's sheet and area. False for anything else a name may stand for (a
// formula, several blocks, a constant, "#REF!").
// The first sheet of each name, by case-folded name: a file may define
// tens of thousands of names over thousands of sheets.
using SheetsByName = QHash<QString, int>;
SheetsByName sheetsByName(XlWorkbook& wb) {
    SheetsByName out;
    for (int i = wb.sheetCount(); i >= 1; --i) out.insert(wb.sheet(i)->name().toCaseFolded(), i);
    return out;
}

bool readBlockReference(XlWorkbook& wb, const SheetsByName& sheets, const QString& reference,
                        XlDefinedName* out) {
    const QString text = reference.trimmed();
    QString sheetName;
    qsizetype at = 0;
    if (text.startsWith(u'\'')) {
        for (at = 1; at < text.size(); ++at) {
            if (text.at(at) != u'\'') {
                sheetName += text.at(at);
            } else if (at + 1 < text.size() && text.at(at + 1) == u'\'') {
                sheetName += u'\'';
                ++at;
            } else {
                break;
            }
        }
        ++at;  // past the closing quote
    } else {
        at = text.indexOf(u'!');
        if (at <= 0) return false;
        sheetName = text.left(at);
    }
    if (at >= text.size() || text.at(at) != u'!') return false;
    QString block = text.mid(at + 1);
    block.remove(u'$');
    const int i = sheets.value(sheetName.toCaseFolded());
    if (i < 1) return false;
    try {
        const XlArea a = wb.sheet(i)->range(block).area();
        out->sheet = i;
        out->area = XlArea{std::min(a.r1, a.r2), std::min(a.c1, a.c2), std::max(a.r1, a.r2),
                           std::max(a.c1, a.c2)};
        return true;
    } catch (const XlError&) {
        return false;
    }
}

std::unique_ptr<XlWorkbook> readWorkbook(const QString& path, const XlsxReadLimits& limits,
                                         const WorkbookReadFailure& fail) {
    if (!QFileInfo(path).isFile()) fail(LoadErrorText(str::kFileNotFound));
    Package pkg(path, limits, fail);

    // The workbook part is named by the package's relationships; files
    // from writers that leave them out keep the usual name.
    QString bookPart = QStringLiteral("xl/workbook.xml");
    for (const auto& [id, rel] : relationshipsOf(pkg, QString()))
        if (rel.type == u"officeDocument") bookPart = rel.target;
    const XmlNode book = pkg.xml(bookPart);
    if (localName(book) != u"workbook") fail(LoadErrorText(str::kNotAWorkbook));
    const std::map<QString, Relationship> rels = relationshipsOf(pkg, bookPart);
    // Serial numbers count days from 1900 or, in this system, from 1904.
    const bool date1904 = boolAttribute(child(book, u"workbookPr"), u"date1904", false);

    QString stringsPart, stylesPart;
    for (const auto& [id, rel] : rels) {
        if (rel.type == u"sharedStrings") stringsPart = rel.target;
        if (rel.type == u"styles") stylesPart = rel.target;
    }
    if (stringsPart.isEmpty() && pkg.has(folderOf(bookPart) + QStringLiteral("sharedStrings.xml")))
        stringsPart = folderOf(bookPart) + QStringLiteral("sharedStrings.xml");
    if (stylesPart.isEmpty() && pkg.has(folderOf(bookPart) + QStringLiteral("styles.xml")))
        stylesPart = folderOf(bookPart) + QStringLiteral("styles.xml");

    std::vector<QString> strings;
    if (!stringsPart.isEmpty()) {
        SharedStringsReader reader(strings, limits, fail);
        QString why;
        if (!readPart(pkg.read(stringsPart), reader, QByteArray(), &why))
            fail(LoadErrorText(str::kWorkbookPartDamaged).arg(stringsPart));
    }
    const Styles styles(stylesPart.isEmpty() ? XmlNode() : pkg.xml(stylesPart), limits, fail);

    struct SheetEntry {
        QString name;
        QString part;  // empty: not a worksheet (a chart sheet), read as an empty sheet
        QString otherPart;  // a part the sheet names that is no sheet at all
    };
    std::vector<SheetEntry> entries;
    forChildren(child(book, u"sheets"), u"sheet", [&](const XmlNode& s) {
        if (int(entries.size()) >= limits.maxSheets) fail(LoadErrorText(str::kWorkbookTooLarge));
        const std::optional<QString> rid = prefixedAttribute(s, u"id");
        SheetEntry e{s.attributeText(u"name"), QString(), QString()};
        if (rid) {
            auto it = rels.find(*rid);
            if (it == rels.end()) fail(LoadErrorText(str::kWorkbookPartDamaged).arg(e.name));
            const QString& type = it->second.type;
            if (type == u"worksheet")
                e.part = it->second.target;
            else if (type != u"chartsheet" && type != u"dialogsheet" && type != u"xlMacrosheet" &&
                     type != u"xlIntlMacrosheet")
                e.otherPart = it->second.target;
        }
        entries.push_back(e);
    });
    if (entries.empty()) fail(LoadErrorText(str::kWorkbookHasNoSheets));

    auto wb = std::make_unique<XlWorkbook>(int(entries.size()));
    qint64 cells = 0, cellElements = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        XlWorksheet* ws = wb->sheet(int(i) + 1);
        if (!entries[i].name.isEmpty()) wb->nameSheetAsRead(ws, entries[i].name);
        // A damaged file's sheet that names styles.xml or the like is no
        // empty sheet: the import tells it by the part's name.
        if (!entries[i].otherPart.isEmpty()) ws->setUnreadPart(entries[i].otherPart);
        if (entries[i].part.isEmpty()) continue;
        const QByteArray bytes = pkg.read(entries[i].part);
        cellElements += countCellElements(bytes);
        if (cellElements > limits.maxCells) fail(LoadErrorText(str::kWorkbookTooLarge));
        SheetReader reader(ws, strings, styles, limits, &cells, fail, date1904);
        try {
            reader.read(entries[i].part, bytes);
        } catch (const NotAWorksheet&) {
            ws->setUnreadPart(entries[i].part);
        }
    }
    // Names of a block of one worksheet; the others are passed over.
    const SheetsByName sheets = sheetsByName(*wb);
    forChildren(child(book, u"definedNames"), u"definedName", [&](const XmlNode& n) {
        if (wb->definedNames().size() >= kMaxDefinedNames) fail(LoadErrorText(str::kWorkbookTooLarge));
        XlDefinedName d;
        d.name = n.attributeText(u"name").trimmed();
        if (d.name.isEmpty()) return;
        if (const std::optional<QString> local = n.attribute(u"localSheetId")) {
            bool isNumber = false;
            const int index = local->toInt(&isNumber);
            if (!isNumber || index < 0 || index >= wb->sheetCount()) return;
            d.scope = index + 1;
        }
        d.hidden = boolAttribute(n, u"hidden", false) ||
                   d.name.startsWith(QLatin1String("_xlnm."), Qt::CaseInsensitive);
        if (readBlockReference(*wb, sheets, n.text(), &d)) wb->addDefinedName(std::move(d));
    });
    bool ok = false;
    const XmlNode view = child(child(book, u"bookViews"), u"workbookView");
    const int active = view.isNull() ? 0 : view.attributeText(u"activeTab").toInt(&ok);
    if (ok && active >= 0 && active < wb->sheetCount()) wb->activate(wb->sheet(active + 1));
    return wb;
}

}  // namespace

std::unique_ptr<XlWorkbook> ReadXlsxWorkbook(const QString& path, const XlsxReadLimits& limits) {
    const WorkbookReadFailure fail(QFileInfo(path).fileName());
    try {
        return readWorkbook(path, limits, fail);
    } catch (const XmlError& e) {
        fail(e.message());
    } catch (const std::bad_alloc&) {
        fail(StatusText(Status::OutOfMemory));
    }
}

}  // namespace qor

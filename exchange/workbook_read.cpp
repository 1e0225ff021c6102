#include "exchange/workbook_read.h"

#include <zip.h>

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

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
            fail(LoadErrorText(64485));
        }
        const zip_int64_t n = zip_get_num_entries(m_zip, 0);
        if (n < 0 || n > m_limits.maxParts) {
            zip_discard(m_zip);
            m_zip = nullptr;
            fail(LoadErrorText(64489));
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
            m_fail(LoadErrorText(64488).arg(name));
        }
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, zip_uint64_t(index), 0, &st) != 0)
            m_fail(LoadErrorText(64488).arg(name));
        // The sizes in the directory are checked first and the bytes
        // counted as they come, so a lying directory gains nothing.
        const qint64 cap = m_limits.maxPartBytes;
        if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(cap)) tooLarge(name);
        if ((st.valid & ZIP_STAT_SIZE) && (st.valid & ZIP_STAT_COMP_SIZE) &&
            st.size > zip_uint64_t(kRatioFloor) &&
            st.size / std::max<zip_uint64_t>(st.comp_size, 1) > zip_uint64_t(m_limits.maxRatio))
            tooLarge(name);
        zip_file_t* f = zip_fopen_index(m_zip, zip_uint64_t(index), 0);
        if (!f) m_fail(LoadErrorText(64488).arg(name));
        QByteArray out;
        char buf[65536];
        for (;;) {
            const zip_int64_t got = zip_fread(f, buf, sizeof buf);
            if (got < 0) {
                const QString why = QString::fromUtf8(zip_file_strerror(f));
                zip_fclose(f);
                m_fail(LoadErrorText(64488).arg(name));
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
        if (doc.isNull()) m_fail(LoadErrorText(64488).arg(name));
        return doc.documentElement();
    }

private:
    zip_int64_t locate(const QString& name) const {
        return zip_name_locate(m_zip, name.toUtf8().constData(), 0);
    }
    [[noreturn]] void tooLarge(const QString& name) const {
        m_fail(QStringLiteral("%1（%2）").arg(LoadErrorText(64489), name));
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

bool parseCellRef(QStringView t, int* row, int* col) {
    qsizetype i = 0;
    int c = 0, r = 0;
    while (i < t.size() && t[i].unicode() < 128 && t[i].isLetter()) {
        if (i >= 3) return false;
        c = c * 26 + (t[i].toUpper().unicode() - 'A' + 1);
        ++i;
    }
    if (i == 0 || i == t.size() || t.size() - i > 7) return false;
    for (; i < t.size(); ++i) {
        if (t[i].unicode() >= 128 || !t[i].isDigit()) return false;
        r = r * 10 + (t[i].unicode() - '0');
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
            if (int(formats.size()) >= limits.maxStyles) fail(LoadErrorText(64489));
            bool ok = false;
            const int id = n.attributeText(u"numFmtId").toInt(&ok);
            const QString code = n.attributeText(u"formatCode");
            if (!ok || id < 0) fail(LoadErrorText(64495));
            if (code.size() > 255) fail(LoadErrorText(64495));
            formats[id] = code;
        });
        std::vector<FontRec> fonts;
        forChildren(child(root, u"fonts"), u"font", [&](const XmlNode& n) {
            if (int(fonts.size()) >= limits.maxStyles) fail(LoadErrorText(64489));
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
            if (int(fills.size()) >= limits.maxStyles) fail(LoadErrorText(64489));
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
            if (int(borders.size()) >= limits.maxStyles) fail(LoadErrorText(64489));
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
            if (!ok || i < 0 || size_t(i) >= count) fail(LoadErrorText(64495));
            return i;
        };
        forChildren(child(root, u"cellXfs"), u"xf", [&](const XmlNode& xf) {
            if (int(m_xfs.size()) >= limits.maxStyles) fail(LoadErrorText(64489));
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

// ---- shared strings ---------------------------------------------------------

// Text of a string item: its own <t>, or the <t> of each run; phonetic
// guides are not part of the value.
QString stringItemText(const XmlNode& si) {
    QString out;
    forChildren(si, {}, [&](const XmlNode& n) {
        const QString tag = localName(n);
        if (tag == u"t")
            n.appendText(out);
        else if (tag == u"r")
            forChildren(n, u"t", [&](const XmlNode& t) { t.appendText(out); });
    });
    return unescapeText(out);
}

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

class SheetReader {
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
          m_date1904(date1904) {}

    // The sheet's part, its rows read one at a time and freed, so that a
    // sheet of millions of cells is never held as a tree. NotAWorksheet
    // when the part is some other kind of part.
    void read(const QString& part, const QByteArray& bytes) {
        int row = 0;
        int merges = 0;
        QString why;
        const bool ok = XmlDocument::parseElements(
            bytes,
            [&](const XmlNode& root) {
                if (localName(root) != u"worksheet") throw NotAWorksheet{};
            },
            [&](const XmlNode& n) {
                const QString name = localName(n);
                if (name == u"row") {
                    if (localName(n.parent()) == u"sheetData") row = readRow(n, row + 1);
                } else if (name == u"dimension") {
                    XlArea a;
                    if (!parseArea(n.attributeText(u"ref"), &a)) fail(LoadErrorText(64493));
                } else if (name == u"sheetFormatPr") {
                    readDefaultColumnWidth(n);
                } else if (name == u"cols") {
                    forChildren(n, u"col", [&](const XmlNode& c) { readColumn(c); });
                } else if (name == u"mergeCells") {
                    m_ws->finishLoading();
                    // Each merge is checked against those before it, so
                    // their number is bounded.
                    forChildren(n, u"mergeCell", [&](const XmlNode& m) {
                    if (++merges > m_limits.maxMerges) fail(LoadErrorText(64489));
                    XlArea a;
                    const QString ref = m.attributeText(u"ref");
                    if (!parseArea(ref, &a)) fail(LoadErrorText(64493));
                    m_ws->range(a).merge();
                    });
                }
            },
            QByteArrayLiteral("sheetData"), &why);
        if (!ok) m_fail(LoadErrorText(64488).arg(part));
        m_ws->finishLoading();
    }

private:
    [[noreturn]] void fail(const QString& what) const {
        m_fail(LoadErrorText(64490).arg(m_ws->name(), what));
    }

    // The width of the columns without a "col" of their own: another
    // program leaves out the columns it keeps at its own default width,
    // which is seldom the usual 8.43 characters.
    void readDefaultColumnWidth(const XmlNode& format) {
        if (const std::optional<QString> text = format.attribute(u"defaultColWidth")) {
            const std::optional<double> w = parseNumber(*text);
            if (w && *w >= 0 && *w <= 256) m_ws->setDefaultColumnWidth(ColumnCharsOfStoredWidth(*w));
        } else if (const std::optional<QString> base = format.attribute(u"baseColWidth")) {
            bool ok = false;
            const int chars = base->toInt(&ok);
            if (ok && chars >= 0) m_ws->setDefaultColumnWidth(ColumnCharsOfBaseWidth(chars));
        }
    }

    void readColumn(const XmlNode& c) {
        bool ok1 = false, ok2 = false;
        const int from = c.attributeText(u"min").toInt(&ok1);
        const int to = c.attributeText(u"max").toInt(&ok2);
        if (!ok1 || !ok2 || from < 1 || to < from || to > kSheetCols) fail(LoadErrorText(64493));
        double chars = -1;
        if (boolAttribute(c, u"hidden", false)) {
            chars = 0;
        } else if (c.hasAttribute(u"width")) {
            const std::optional<double> w = parseNumber(c.attributeText(u"width"));
            if (!w || *w < 0 || *w > 256) fail(LoadErrorText(64493));
            chars = ColumnCharsOfStoredWidth(*w);
        }
        if (chars >= 0) m_ws->range(XlArea{1, from, 1, to}).setColumnWidth(chars);
    }

    int readRow(const XmlNode& r, int expected) {
        int row = expected;
        if (const std::optional<QString> ref = r.attribute(u"r")) {
            bool ok = false;
            row = ref->toInt(&ok);
            if (!ok) row = -1;
        }
        if (row < 1 || row > kSheetRows) fail(LoadErrorText(64493));
        if (boolAttribute(r, u"hidden", false)) {
            m_ws->range(XlArea{row, 1, row, 1}).setRowHeight(0);
        } else if (r.hasAttribute(u"ht")) {
            const std::optional<double> h = parseNumber(r.attributeText(u"ht"));
            if (!h || *h < 0 || *h > 409) fail(LoadErrorText(64493));
            m_ws->range(XlArea{row, 1, row, 1}).setRowHeight(*h);
        }
        int col = 0;
        forChildren(r, u"c", [&](const XmlNode& c) { col = readCell(c, row, col + 1); });
        return row;
    }

    int readCell(const XmlNode& c, int row, int expectedCol) {
        int r = row, col = expectedCol;
        if (const std::optional<QString> ref = c.attribute(u"r")) {
            if (!parseCellRef(*ref, &r, &col)) fail(LoadErrorText(64491).arg(*ref));
        } else if (col > kSheetCols) {
            fail(LoadErrorText(64493));
        }
        size_t style = 0;
        if (const std::optional<QString> s = c.attribute(u"s")) {
            bool ok = false;
            const uint v = s->toUInt(&ok);
            if (!ok || v >= m_styles.count()) fail(LoadErrorText(64491).arg(c.attributeText(u"r")));
            style = v;
        }
        const QString type = c.attributeText(u"t");
        XmlNode v, inlineText;
        XlCell cell;
        forChildren(c, {}, [&](const XmlNode& part) {
            const QString tag = localName(part);
            if (tag == u"v")
                v = part;
            else if (tag == u"is")
                inlineText = part;
            // Shared and array formulas name their text in another cell
            // or not at all; every cell with an <f> holds a formula.
            else if (tag == u"f")
                cell.formula = true;
        });
        // Writers that keep no result of a formula write an empty <v>.
        const QString text = v.isNull() ? QString() : v.text();
        if (type == u"inlineStr") {
            if (!inlineText.isNull())
                setText(&cell, stringItemText(inlineText), r, col);
            else if (!v.isNull())
                setText(&cell, unescapeText(text), r, col);
        } else if (!v.isNull() && !(text.trimmed().isEmpty() && type != u"str")) {
            if (type == u"s") {
                bool ok = false;
                const uint i = text.trimmed().toUInt(&ok);
                if (!ok || i >= m_strings.size()) fail(LoadErrorText(64491).arg(cellName(r, col)));
                setText(&cell, m_strings[i], r, col);
            } else if (type == u"str") {
                setText(&cell, unescapeText(text), r, col);
            } else if (type == u"b") {
                // Booleans come through as 1 and 0: the engine's cells hold
                // numbers and texts.
                cell.kind = XlCell::Number;
                cell.number = text.trimmed() == u"1" || text.trimmed() == u"true" ? 1 : 0;
            } else if (type == u"e") {
                // An error value has no number or text to give.
            } else if (type == u"d") {
                setText(&cell, isoDateText(text.trimmed(), style), r, col);
            } else {
                const std::optional<double> n = parseNumber(text);
                if (!n) fail(LoadErrorText(64491).arg(cellName(r, col)));
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
        if (cell.kind == XlCell::Empty && style == 0 && !cell.formula) return col;
        if (++*m_cells > m_limits.maxCells) m_fail(LoadErrorText(64489));
        cell.shareStyle(m_styles.at(style));
        m_ws->loadCell(r, col, std::move(cell));
        return col;
    }

    void setText(XlCell* cell, const QString& t, int r, int col) const {
        if (t.size() > kMaxCellText)
            fail(LoadErrorText(64492).arg(cellName(r, col)).arg(kMaxCellText));
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
    if (!QFileInfo(path).isFile()) fail(LoadErrorText(63593));
    Package pkg(path, limits, fail);

    // The workbook part is named by the package's relationships; files
    // from writers that leave them out keep the usual name.
    QString bookPart = QStringLiteral("xl/workbook.xml");
    for (const auto& [id, rel] : relationshipsOf(pkg, QString()))
        if (rel.type == u"officeDocument") bookPart = rel.target;
    const XmlNode book = pkg.xml(bookPart);
    if (localName(book) != u"workbook") fail(LoadErrorText(64485));
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
        // Item by item, each freed once read: the strings of a large
        // workbook are never held as a tree.
        QString why;
        const bool ok = XmlDocument::parseElements(
            pkg.read(stringsPart), [](const XmlNode&) {},
            [&](const XmlNode& si) {
                if (localName(si) != u"si") return;
                if (int(strings.size()) >= limits.maxStrings) fail(LoadErrorText(64489));
                strings.push_back(stringItemText(si));
            },
            &why);
        if (!ok) fail(LoadErrorText(64488).arg(stringsPart));
    }
    const Styles styles(stylesPart.isEmpty() ? XmlNode() : pkg.xml(stylesPart), limits, fail);

    struct SheetEntry {
        QString name;
        QString part;  // empty: not a worksheet (a chart sheet), read as an empty sheet
        QString otherPart;  // a part the sheet names that is no sheet at all
    };
    std::vector<SheetEntry> entries;
    forChildren(child(book, u"sheets"), u"sheet", [&](const XmlNode& s) {
        if (int(entries.size()) >= limits.maxSheets) fail(LoadErrorText(64489));
        const std::optional<QString> rid = prefixedAttribute(s, u"id");
        SheetEntry e{s.attributeText(u"name"), QString(), QString()};
        if (rid) {
            auto it = rels.find(*rid);
            if (it == rels.end()) fail(LoadErrorText(64488).arg(e.name));
            const QString& type = it->second.type;
            if (type == u"worksheet")
                e.part = it->second.target;
            else if (type != u"chartsheet" && type != u"dialogsheet" && type != u"xlMacrosheet" &&
                     type != u"xlIntlMacrosheet")
                e.otherPart = it->second.target;
        }
        entries.push_back(e);
    });
    if (entries.empty()) fail(LoadErrorText(64486));

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
        if (cellElements > limits.maxCells) fail(LoadErrorText(64489));
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
        if (wb->definedNames().size() >= kMaxDefinedNames) fail(LoadErrorText(64489));
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

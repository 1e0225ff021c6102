#include "exchange/ownxml_import.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <climits>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <vector>

#include "engine/cellformat.h"
#include "engine/creporthandle.h"
#include "engine/formula_store.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/losstally.h"
#include "exchange/ownxml_format.h"
#include "exchange/scratchstreams.h"
#include "exchange/variantconvert.h"
#include "exchange/xmldom.h"
#include "platform/uiservices.h"

QString g_strXmlExchangePath;

namespace qor {

namespace {

using namespace ownxml;

// Keyword failures by slot 0..6.
constexpr int kMsgKeywordFailed[7] = {str::kUnitNameKeywordFailed, str::kUnitCodeKeywordFailed,
                                      str::kYearKeywordFailed,     str::kQuarterKeywordFailed,
                                      str::kMonthKeywordFailed,    str::kDayKeywordFailed,
                                      str::kCustomKeywordFailed};

struct ImportFailure {
    int messageId;
    QString detail;
};

// A whole number as textToInt16/textToInt32 read it, without their
// scratch string for the plain digits the file writes; anything else goes
// to them.
template <typename T>
NumberConversion readInteger(QStringView t, T* out) {
    const qsizetype n = t.size();
    qsizetype i = n > 0 && t[0] == u'-' ? 1 : 0;
    if (n - i >= 1 && n - i <= 9) {
        long long v = 0;
        for (; i < n; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9') break;
            v = v * 10 + (c - u'0');
        }
        if (i == n) {
            if (t[0] == u'-') v = -v;
            if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
                return NumberConversion::Overflow;
            *out = T(v);
            return NumberConversion::Ok;
        }
    }
    if constexpr (sizeof(T) == 2)
        return textToInt16(t, out);
    else
        return textToInt32(t, out);
}

// A text to hand to the functions that take a QString, without a copy: it
// lives only as long as the call.
QString borrowed(QStringView v) { return QString::fromRawData(v.data(), v.size()); }

// The children of one cell element: the first of each name, and every
// cell_value and keyword_value in order, as pieces of one string so that a
// cell of forty children costs no forty strings.
struct CellChildren {
    struct Span {
        qsizetype at = -1;  // -1: no such child
        qsizetype len = 0;
    };
    QString texts;
    std::array<Span, kCellChildCount> first;
    std::vector<Span> values;
    std::vector<Span> keywordValues;
    size_t index = 0;  // position among the cell elements, for messages

    QStringView view(Span s) const { return QStringView(texts).mid(s.at, s.len); }
    bool has(int child) const { return first[size_t(child)].at >= 0; }
    std::optional<QStringView> get(int child) const {
        if (!has(child)) return std::nullopt;
        return view(first[size_t(child)]);
    }
    QStringView value(size_t j) const { return view(values[j]); }
    QStringView keywordValue(size_t j) const { return view(keywordValues[j]); }

    QStringView require(int child) const {
        if (!has(child))
            throw ImportFailure{
                str::kCheckXmlFile,
                LoadErrorText(str::kBadCellElement)
                    .arg(index + 1)
                    .arg(QStringLiteral("<%1>").arg(kCellChildTags[size_t(child)]))};
        return view(first[size_t(child)]);
    }
    [[noreturn]] void refuse(int child, QStringView text) const {
        throw ImportFailure{
            str::kCheckXmlFile,
            LoadErrorText(str::kBadCellElement)
                .arg(index + 1)
                .arg(QStringLiteral("<%1>%2").arg(kCellChildTags[size_t(child)], text.left(40)))};
    }
    int int16(int child) const {
        const QStringView t = require(child);
        int16_t v = 0;
        if (readInteger(t, &v) != NumberConversion::Ok) refuse(child, t);
        return v;
    }
    int int32(int child) const {
        const QStringView t = require(child);
        int32_t v = 0;
        if (readInteger(t, &v) != NumberConversion::Ok) refuse(child, t);
        return v;
    }
};

// UTF-8 to the end of out: ASCII as Latin-1 straight in, from the first
// byte that is not, the UTF-8 decoder.
void appendUtf8(QString& out, QByteArrayView bytes) {
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype ascii = 0;
    while (ascii < n && uchar(p[ascii]) < 0x80) ++ascii;
    out.append(QLatin1StringView(p, ascii));
    if (ascii < n) out.append(QString::fromUtf8(p + ascii, n - ascii));
}

void readChildren(const XmlRecord& cell, size_t index, CellChildren& c) {
    c.texts.resize(0);
    c.first.fill({});
    c.values.clear();
    c.keywordValues.clear();
    c.index = index;
    auto read = [&](const XmlRecord::Field& f) {
        CellChildren::Span s;
        s.at = c.texts.size();
        appendUtf8(c.texts, cell.fieldText(f));
        s.len = c.texts.size() - s.at;
        return s;
    };
    for (const XmlRecord::Field& f : cell.fields) {
        const int child = f.name;
        if (child == kCellValue) {
            c.values.push_back(read(f));
        } else if (child == kKeywordValue) {
            c.keywordValues.push_back(read(f));
        } else if (!c.has(child)) {
            c.first[size_t(child)] = read(f);
        }
    }
}

// The area of a cell element: start and end, from 1, end not before start.
struct Area {
    int r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    CellArea cellArea() const { return CellArea::area(r1, c1, r2, c2); }
};

Area readArea(const CellChildren& c) {
    Area a{c.int16(kStartRow), c.int16(kStartCol), c.int16(kEndRow), c.int16(kEndCol)};
    if (a.r1 < 1 || a.c1 < 1 || a.r2 < a.r1 || a.c2 < a.c1)
        throw ImportFailure{
            str::kCheckXmlFile,
            LoadErrorText(str::kBadCellElement)
                .arg(c.index + 1)
                .arg(QStringLiteral("%1..%2, %3..%4").arg(a.r1).arg(a.r2).arg(a.c1).arg(a.c2))};
    return a;
}

// ---------------------------------------------------------------------------
// Format pass

struct FormatCell {
    Area area;
    int dataType = kDataUnchanged;
    QString label;
    // With the format flag:
    int height = 0, width = 0;
    bool numberFormat = false;  // the four below are set
    int decimals = 2, comma = 0, currency = 0, percent = 0;
    std::optional<int> wrap;
    int font = 0, style = 0, size = 1, fill = 0, background = kDefaultBackground,
        foreground = kDefaultForeground, hAlign = 1, vAlign = 3;
    int leftLine = 0, topLine = 0, rightLine = 0, bottomLine = 0;
    int keywordSlot = -1;
    QString keywordName;
    // With the formula flag:
    std::optional<QString> formula;
    QString formulaArea;
};

// The root element's flags: what the file carries.
struct RootFlags {
    int format = 1, data = 1, formula = 1;
};

FormatCell readFormatCell(const CellChildren& c, const RootFlags& f) {
    FormatCell out;
    out.area = readArea(c);
    if (f.format) {
        // Written from the unsigned row and column records.
        for (auto [child, slot] :
             {std::pair{kHeight, &out.height}, std::pair{kWidth, &out.width}}) {
            *slot = c.int32(child);
            if (*slot < 0 || *slot > 0xFFFF) c.refuse(child, c.require(child));
        }
    }
    out.dataType = c.int16(kDataType);
    switch (out.dataType) {
        case kDataNumber:
        case kDataText:
        case kDataUnchanged:
            break;
        case kDataLabel:
            if (c.values.empty()) c.require(kCellValue);
            out.label = c.value(0).toString();
            break;
        default:
            throw ImportFailure{str::kXmlBadDataType,
                                LoadErrorText(str::kBadCellElement)
                                    .arg(c.index + 1)
                                    .arg(QStringLiteral("<data_type>%1").arg(out.dataType))};
    }
    if (f.format && out.dataType == kDataNumber) {
        out.numberFormat = true;
        const std::optional<bool> comma = ParseBoolText(borrowed(c.require(kHasComma)));
        if (!comma)
            throw ImportFailure{str::kXmlBadHasComma,
                                LoadErrorText(str::kBadCellElement)
                                    .arg(c.index + 1)
                                    .arg(QStringLiteral("<has_comma>%1").arg(*c.get(kHasComma)))};
        const std::optional<bool> percent = ParseBoolText(borrowed(c.require(kHasPercent)));
        if (!percent)
            throw ImportFailure{
                str::kXmlBadHasPercent,
                LoadErrorText(str::kBadCellElement)
                    .arg(c.index + 1)
                    .arg(QStringLiteral("<has_percent>%1").arg(*c.get(kHasPercent)))};
        out.comma = *comma;
        out.percent = *percent;
        out.decimals = c.int32(kDecimalDigits);
        if (out.decimals < 0 || out.decimals > 7) out.decimals = 2;
        out.currency = c.int32(kCurrencySymbol);
        if (out.currency != 0 && out.currency != 1) out.currency = 0;
        out.wrap = c.int32(kMultiLine);
    }
    if (f.format) {
        // Line wrap matters most to texts and labels: taken from every cell
        // that carries a readable one.
        int32_t wrap = 0;
        if (!out.wrap && c.has(kMultiLine) &&
            readInteger(*c.get(kMultiLine), &wrap) == NumberConversion::Ok)
            out.wrap = wrap;
        out.font = FontCodeOf(borrowed(c.require(kFontName)));
        out.style = FontStyleCodeOf(borrowed(c.require(kFontStyle)));
        out.size = FontSizeCodeOf(c.int32(kFontSize));
        out.fill = FillCodeOf(c.int32(kFillType));
        out.background = ColourCodeOf(borrowed(c.require(kBackground)), kDefaultBackground);
        out.foreground = ColourCodeOf(borrowed(c.require(kForeground)), kDefaultForeground);
        out.hAlign = HAlignCodeOf(borrowed(c.require(kHAlign)));
        out.vAlign = VAlignCodeOf(borrowed(c.require(kVAlign)));
        if (out.area.c1 == 1) out.leftLine = c.int32(kLeftLine);
        if (out.area.r1 == 1) out.topLine = c.int32(kTopLine);
        out.rightLine = c.int32(kRightLine);
        out.bottomLine = c.int32(kBottomLine);
        if (const std::optional<QStringView> name = c.get(kKeywordName)) {
            out.keywordSlot = KeywordSlotOf(borrowed(*name));
            out.keywordName = name->left(qor::kUserKeywordNameChars).toString();
        }
    }
    if (f.formula) {
        if (const std::optional<QStringView> formula = c.get(kFormula))
            out.formula = formula->toString();
        if (const std::optional<QStringView> area = c.get(kFormulaArea))
            out.formulaArea = area->toString();
    }
    return out;
}

void setFormat(CReportHandle& report, const CellArea& area, int code, int value) {
    int32_t v = value;
    report.AccessAreaFormat(1, code, &v, &area);
}

void applyFormatCell(CReportHandle& report, const FormatCell& cell, bool withFormat) {
    const Area& a = cell.area;
    const CellArea area = a.cellArea();
    if (withFormat) {
        uint16_t height = uint16_t(cell.height), width = uint16_t(cell.width);
        report.AccessRowColSize(1, 0, a.r1, &height);
        report.AccessRowColSize(1, 1, a.c1, &width);
        if (a.r1 != a.r2 || a.c1 != a.c2) report.CombineCells(&area);
    }
    switch (cell.dataType) {
        case kDataNumber:
            setFormat(report, area, kFmtKind, kCellNumber);
            break;
        case kDataText:
            setFormat(report, area, kFmtKind, kCellText);
            break;
        case kDataLabel:
            setFormat(report, area, kFmtKind, kCellLabel);
            // A table text the cell cannot keep is named, not cut.
            if (uint16_t s = report.SetCellValue(CellValue{kCellLabel, 0, cell.label}, a.r1, a.c1, 1, 0, 0))
                throw ImportFailure{0, StatusText(s)};
            break;
        default:
            break;
    }
    if (!withFormat) return;
    if (cell.numberFormat) {
        setFormat(report, area, kFmtThousands, cell.comma);
        setFormat(report, area, kFmtPercent, cell.percent);
        setFormat(report, area, kFmtDecimals, cell.decimals);
        setFormat(report, area, kFmtCurrency, cell.currency);
    }
    if (cell.wrap) setFormat(report, area, kFmtWrap, *cell.wrap);
    setFormat(report, area, kFmtFont, cell.font);
    setFormat(report, area, kFmtFontStyle, cell.style);
    setFormat(report, area, kFmtFontSize, cell.size);
    setFormat(report, area, kFmtPattern, cell.fill);
    setFormat(report, area, kFmtBackground, cell.background);
    setFormat(report, area, kFmtForeground, cell.foreground);
    setFormat(report, area, kFmtHAlign, cell.hAlign);
    setFormat(report, area, kFmtVAlign, cell.vAlign);
    if (a.c1 == 1) {
        int32_t line = cell.leftLine;
        report.AccessRowColFlag(1, 0, a.r1, &line);
    }
    if (a.r1 == 1) {
        int32_t line = cell.topLine;
        report.AccessRowColFlag(1, 1, a.c1, &line);
    }
    setFormat(report, area, kFmtRightLine, cell.rightLine);
    setFormat(report, area, kFmtBottomLine, cell.bottomLine);
    if (cell.keywordSlot >= 0) {
        CReportFile* file = report.GetReportFile();
        file->SetKeywordPos(cell.keywordSlot, a.r1, a.c1, 0);
        if (cell.keywordSlot == kUserKeywordSlot) file->SetUserKeywordName(cell.keywordName);
    }
}

// A formula set on an area is one text whose references move with each
// cell of the area; the file repeats that text at every cell and names the
// area's first cell. The cells of one area come back as one area formula;
// a cell whose area cannot be rebuilt gets the text moved to it.
// Returns what the report refused, by kind, for the caller to name.
LossTally applyFormulas(CReportHandle& report, const std::vector<FormatCell>& cells) {
    LossTally refused;
    struct Group {
        QString text;
        QString corner;
        std::vector<const FormatCell*> members;
    };
    std::vector<Group> groups;
    QHash<QString, size_t> byKey;
    for (const FormatCell& c : cells) {
        if (!c.formula) continue;
        const QString key = c.formulaArea + u'\n' + *c.formula;
        auto it = byKey.find(key);
        if (it == byKey.end()) {
            it = byKey.insert(key, groups.size());
            groups.push_back({*c.formula, c.formulaArea, {}});
        }
        groups[*it].members.push_back(&c);
    }
    for (const Group& g : groups) {
        int cc1 = 0, cr1 = 0, cc2 = 0, cr2 = 0;
        const bool haveCorner =
            !g.corner.isEmpty() && ParseAreaRef(g.corner, &cc1, &cr1, &cc2, &cr2);
        if (haveCorner && g.members.size() > 1) {
            int r1 = INT_MAX, c1 = INT_MAX, r2 = 0, c2 = 0;
            QSet<qint64> seen;
            bool single = true;
            for (const FormatCell* m : g.members) {
                const Area& a = m->area;
                single = single && a.r1 == a.r2 && a.c1 == a.c2;
                seen.insert((qint64(a.r1) << 20) | a.c1);
                r1 = std::min(r1, a.r1);
                c1 = std::min(c1, a.c1);
                r2 = std::max(r2, a.r1);
                c2 = std::max(c2, a.c1);
            }
            if (single && r1 == cr1 + 1 && c1 == cc1 + 1 &&
                qint64(seen.size()) == qint64(r2 - r1 + 1) * (c2 - c1 + 1)) {
                CellArea area = CellArea::area(r1, c1, r2, c2);
                if (report.SetAreaFormula(&area, g.text) == 0) continue;
            }
        }
        for (const FormatCell* m : g.members) {
            QString text = g.text;
            QString moved;
            const int dr = m->area.r1 - (cr1 + 1), dc = m->area.c1 - (cc1 + 1);
            if (haveCorner && (dr || dc) && ShiftFormulaText(g.text, dr, dc, &moved)) text = moved;
            CellArea area = m->area.cellArea();
            // A text the report refuses (one reading a variable area the
            // file did not bring, say) leaves the cell without a formula;
            // the import goes on and names it.
            if (report.SetAreaFormula(&area, text) != 0)
                refused.add(LoadErrorText(str::kLossFormulasRefused),
                            FormatCellRef(m->area.c1 - 1, m->area.r1 - 1) + u'：' + text);
        }
    }
    return refused;
}

// ---------------------------------------------------------------------------
// Data cells

struct DataCell {
    int row = 0, col = 0;
    int dataType = 0;
    std::vector<std::optional<double>> numbers;  // pages 1.., nullopt = empty
    QStringList texts;                           // pages 1..
    int keywordSlot = -1;
    std::vector<KeywordValue> keywords;  // pages 1..
};

DataCell readDataCell(const CellChildren& c) {
    DataCell out;
    const Area a = readArea(c);
    out.row = a.r1;
    out.col = a.c1;
    out.dataType = c.int16(kDataType);
    const qsizetype pages = std::max<qsizetype>(qsizetype(c.values.size()) - 1, 0);
    if (out.dataType == kDataNumber) {
        out.numbers.reserve(size_t(pages));
        for (qsizetype j = 1; j <= pages; ++j) {
            const QStringView t = c.value(size_t(j));
            if (t.isEmpty()) {
                out.numbers.emplace_back();
                continue;
            }
            const std::optional<double> v = ParseNumberText(t);
            if (!v) c.refuse(kCellValue, t);
            out.numbers.push_back(*v);
        }
    } else if (out.dataType == kDataText) {
        for (qsizetype j = 1; j <= pages; ++j)
            // Whole: the cell's gate refuses by name what it cannot keep.
            out.texts.append(c.value(size_t(j)).toString());
    }
    if (const std::optional<QStringView> name = c.get(kKeywordName)) {
        out.keywordSlot = KeywordSlotOf(borrowed(*name));
        if (pages > 0 && qsizetype(c.keywordValues.size()) <= pages)
            throw ImportFailure{
                str::kCheckXmlFile,
                LoadErrorText(str::kBadCellElement)
                    .arg(c.index + 1)
                    .arg(QStringLiteral("%1/%2")
                             .arg(std::max<qsizetype>(qsizetype(c.keywordValues.size()) - 1, 0))
                             .arg(pages))};
        for (qsizetype k = 1; k <= pages; ++k) {
            const QStringView t = c.keywordValue(size_t(k));
            KeywordValue v;
            if (t.isEmpty()) {
                // Written empty: the keyword was never set on that page.
            } else if (out.keywordSlot <= 1 || out.keywordSlot == kUserKeywordSlot) {
                // The report converts a user keyword's text to its kind.
                v.kind = 2;
                v.text = t.toString();
            } else {
                v.kind = 1;
                // A keyword's number has no decimals: "20,04" is no 20.04.
                const std::optional<double> d = ParseNumberText(t, false);
                if (!d) c.refuse(kKeywordValue, t);
                v.number = *d;
            }
            out.keywords.push_back(v);
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// What the passes keep of the cells

// The format cells, set aside in the order they come as the first reading
// checks them, and taken back in that order when the format is applied.
class FormatStream {
public:
    size_t size() const { return m_count; }
    void add(const FormatCell& c) {
        const Fixed f{c.area.r1,  c.area.c1,   c.area.r2,    c.area.c2,     c.dataType,  c.height,
                      c.width,    c.decimals,  c.comma,      c.currency,    c.percent,   c.wrap.value_or(0),
                      c.font,     c.style,     c.size,       c.fill,        c.background, c.foreground,
                      c.hAlign,   c.vAlign,    c.leftLine,   c.topLine,     c.rightLine, c.bottomLine,
                      c.keywordSlot, c.numberFormat, c.wrap.has_value(), c.formula.has_value()};
        m_stream.put(0, &f, sizeof f);
        m_stream.putText(0, c.label);
        m_stream.putText(0, c.keywordName);
        m_stream.putText(0, c.formula.value_or(QString()));
        m_stream.putText(0, c.formulaArea);
        ++m_count;
    }
    FormatCell next() {
        Fixed f;
        m_stream.get(0, &f, sizeof f);
        FormatCell c;
        c.area = {f.r1, f.c1, f.r2, f.c2};
        c.dataType = f.dataType;
        c.height = f.height;
        c.width = f.width;
        c.numberFormat = f.numberFormat;
        c.decimals = f.decimals;
        c.comma = f.comma;
        c.currency = f.currency;
        c.percent = f.percent;
        if (f.hasWrap) c.wrap = f.wrap;
        c.font = f.font;
        c.style = f.style;
        c.size = f.size;
        c.fill = f.fill;
        c.background = f.background;
        c.foreground = f.foreground;
        c.hAlign = f.hAlign;
        c.vAlign = f.vAlign;
        c.leftLine = f.leftLine;
        c.topLine = f.topLine;
        c.rightLine = f.rightLine;
        c.bottomLine = f.bottomLine;
        c.keywordSlot = f.keywordSlot;
        c.label = m_stream.getText(0);
        c.keywordName = m_stream.getText(0);
        QString formula = m_stream.getText(0);
        if (f.hasFormula) c.formula = std::move(formula);
        c.formulaArea = m_stream.getText(0);
        return c;
    }

private:
    struct Fixed {
        int32_t r1, c1, r2, c2, dataType, height, width, decimals, comma, currency, percent, wrap;
        int32_t font, style, size, fill, background, foreground, hAlign, vAlign;
        int32_t leftLine, topLine, rightLine, bottomLine, keywordSlot;
        bool numberFormat, hasWrap, hasFormula;
    };
    ScratchStreams m_stream{1, size_t(16) << 20};
    size_t m_count = 0;
};

// The data cells' values, set aside page by page as the cells are read
// (cell by cell, every page in a cell): the data pass writes the pages one
// after another, each from its own stream. A record is a cell's row and
// column, what it holds, and the value.
class DataValues {
public:
    // Values of the first `pages` pages are kept; later ones have no page
    // to go to.
    explicit DataValues(size_t pages) : m_streams(pages, size_t(16) << 20), m_records(pages, 0) {}

    size_t pages() const { return m_records.size(); }
    uint64_t records(size_t j) const { return j < m_records.size() ? m_records[j] : 0; }

    void add(const DataCell& c) {
        if (c.dataType == kDataNumber) {
            for (size_t j = 0; j < c.numbers.size() && j < pages(); ++j) {
                start(j, c, c.numbers[j] ? kNumber : kNoNumber);
                if (c.numbers[j]) m_streams.putDouble(j, *c.numbers[j]);
            }
        }
        for (size_t j = 0; c.dataType == kDataText && j < size_t(c.texts.size()) && j < pages(); ++j) {
            start(j, c, kText);
            m_streams.putText(j, c.texts[qsizetype(j)]);
        }
        for (size_t j = 0; j < c.keywords.size() && j < pages(); ++j) {
            start(j, c, kKeyword);
            const KeywordValue& v = c.keywords[j];
            const int8_t slot = int8_t(c.keywordSlot);
            m_streams.put(j, &slot, 1);
            m_streams.put(j, &v.kind, sizeof v.kind);
            m_streams.putDouble(j, v.number);
            m_streams.putText(j, v.text);
        }
    }

    // The next record of page j: where, and what it writes.
    struct Record {
        int32_t row = 0, col = 0;
        char what = 0;
        double number = 0;
        QString text;
        int keywordSlot = -1;
        KeywordValue keyword;
    };
    static constexpr char kNoNumber = 0, kNumber = 1, kText = 2, kKeyword = 3;
    Record next(size_t j) {
        Record r;
        m_streams.get(j, &r.row, sizeof r.row);
        m_streams.get(j, &r.col, sizeof r.col);
        m_streams.get(j, &r.what, 1);
        if (r.what == kNumber) r.number = m_streams.getDouble(j);
        if (r.what == kText) r.text = m_streams.getText(j);
        if (r.what == kKeyword) {
            int8_t slot = -1;
            m_streams.get(j, &slot, 1);
            r.keywordSlot = slot;
            m_streams.get(j, &r.keyword.kind, sizeof r.keyword.kind);
            r.keyword.number = m_streams.getDouble(j);
            r.keyword.text = m_streams.getText(j);
        }
        return r;
    }

private:
    void start(size_t j, const DataCell& c, char what) {
        const int32_t at[2] = {c.row, c.col};
        m_streams.put(j, at, sizeof at);
        m_streams.put(j, &what, 1);
        ++m_records[j];
    }
    ScratchStreams m_streams;
    std::vector<uint64_t> m_records;
};

// ---------------------------------------------------------------------------
// Reading the file

// What the reading of the file found: the root's flags, the cells' count
// and extent, the first cell each pass refuses, and what each pass applies
// once the whole file has been checked, set aside in streams: the format
// cells, and the values page by page. The file itself is never held.
struct FileCheck {
    RootFlags flags;
    size_t cellCount = 0;
    qsizetype firstCellValues = 0;  // cell_value elements of the first cell element
    int maxRow = 0, maxCol = 0;
    std::optional<ImportFailure> formatFailure;
    std::optional<ImportFailure> dataFailure;
    std::unique_ptr<FormatStream> format;  // when asked for
    std::unique_ptr<DataValues> data;      // with the data flag, when asked for
};

// The cell elements of the file in order, each to cell; other elements
// (the page dates) and anything that is not an element (comments,
// instructions) are passed over. A file that does not parse throws, after
// the calls made until the fault was found.
void readCells(const QString& path, RootFlags* flags, const std::function<void(const CellChildren&)>& cell) {
    if (path.isEmpty()) throw ImportFailure{str::kUnsupportedXml, LoadErrorText(str::kNoFileNamed)};
    const std::array<QStringView, 1> cellTag{kCellTag};
    CellChildren c;
    size_t index = 0;
    auto readRoot = [&](const XmlNode& root) {
        flags->format = RootFlag(root.attribute(kFormatAttr));
        flags->data = RootFlag(root.attribute(kDataAttr));
        flags->formula = RootFlag(root.attribute(kFormulaAttr));
    };
    auto readCell = [&](const XmlRecord& record) {
        readChildren(record, index++, c);
        cell(c);
    };
    QString error;
    if (!XmlDocument::loadRecords(path, readRoot, cellTag, kCellChildTags, readCell, &error))
        throw ImportFailure{str::kUnsupportedXml, error};
}

// The one reading: every cell is checked for the passes asked for and set
// aside for them; the data pass's values for the report's pages (its page
// count as it is now, or as many as the file has, whichever is more).
FileCheck checkFile(CReportHandle& report, const QString& path, bool forFormat, bool forData) {
    FileCheck f;
    if (forFormat) f.format = std::make_unique<FormatStream>();
    readCells(path, &f.flags, [&](const CellChildren& c) {
        if (f.cellCount == 0) f.firstCellValues = qsizetype(c.values.size());
        ++f.cellCount;
        if (forFormat && !f.formatFailure) {
            try {
                const FormatCell cell = readFormatCell(c, f.flags);
                f.maxRow = std::max(f.maxRow, cell.area.r2);
                f.maxCol = std::max(f.maxCol, cell.area.c2);
                f.format->add(cell);
            } catch (const ImportFailure& e) {
                f.formatFailure = e;
                f.format.reset();
            }
        }
        if (forData && f.flags.data && !f.dataFailure) {
            try {
                const DataCell cell = readDataCell(c);
                if (!f.data) {
                    const int wanted = int(std::clamp<qsizetype>(f.firstCellValues - 1, 1, 99999));
                    f.data = std::make_unique<DataValues>(size_t(std::max(report.GetPageCount(), wanted)));
                }
                f.data->add(cell);
            } catch (const ImportFailure& e) {
                f.dataFailure = e;
                f.data.reset();
            }
        }
    });
    return f;
}

OwnXmlImportResult formatPass(CReportHandle& report, FileCheck& f) {
    if (!report.IsFormatState()) return {0, 0, StatusText(Status::Refused)};
    if (f.formatFailure) throw *f.formatFailure;
    if (f.cellCount == 0) return {1, 0, {}};

    const int maxRow = f.maxRow, maxCol = f.maxCol;
    const int rows = report.GetRowCount(), cols = report.GetColCount();
    // A cell past what any report holds: the table cannot grow to it, and
    // the user is told where, not only that growing failed.
    if (maxRow > kMaxRows)
        return {0, str::kAppendRowFailed, LoadErrorText(str::kRowPastTableLimit).arg(maxRow).arg(kMaxRows)};
    if (maxCol > kMaxCols)
        return {0, str::kAppendRowFailed, LoadErrorText(str::kColumnPastTableLimit).arg(maxCol).arg(kMaxCols)};
    if (maxRow > rows) {
        if (uint16_t s = report.AppendRowColPage(maxRow - rows, 0))
            return {0, str::kAppendRowFailed, StatusText(s)};
    }
    if (maxCol > cols) {
        if (uint16_t s = report.AppendRowColPage(maxCol - cols, 1))
            return {0, str::kAppendRowFailed, StatusText(s)};
    }
    // Each cell is applied as it comes back; only the cells with formulas
    // are kept, to be set as areas at the end.
    std::vector<FormatCell> withFormula;
    for (size_t i = 0; i < f.format->size(); ++i) {
        FormatCell cell = f.format->next();
        applyFormatCell(report, cell, f.flags.format);
        if (f.flags.formula && cell.formula) withFormula.push_back(std::move(cell));
    }
    f.format.reset();
    LossTally refused;
    if (f.flags.formula) refused = applyFormulas(report, withFormula);
    // The table ends where the file's cells end: the farthest row and
    // column any element covers, wherever in the file that element stands.
    if (maxRow < rows) report.DeleteRowColPage(maxRow + 1, rows - maxRow, 0);
    if (maxCol < cols) report.DeleteRowColPage(maxCol + 1, cols - maxCol, 1);
    return {1, 0, {}, refused.lines()};
}

// ---------------------------------------------------------------------------
// Data pass

// Hands what a page left free back to the system, not just to the heap: a
// page the report lets go is large, and the next takes memory of other
// sizes.
void trimHeap() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

int insertFailureMessage(uint16_t status) {
    switch (status) {
        case 1035:
            return str::kInsertPageWriteError;
        case 1040:
            return str::kInsertPageNoMemory;
        case 1090:
            return str::kInsertPageNoDiskSpace;
        default:
            return str::kInsertPageFailed;
    }
}

OwnXmlImportResult dataPass(CReportHandle& report, FileCheck& f) {
    if (report.IsFormatState()) return {0, 0, StatusText(Status::Refused)};
    if (f.flags.data && f.dataFailure) throw *f.dataFailure;
    // The first cell element tells the page count: its values after the
    // first, which belongs to no page.
    const qsizetype n = f.cellCount == 0 ? 0 : f.firstCellValues;
    const int wanted = int(std::clamp<qsizetype>(n - 1, 1, 99999));
    while (report.GetPageCount() < wanted) {
        uint16_t count = uint16_t(std::min(wanted - report.GetPageCount(), 0xFFFF));
        if (uint16_t s = report.InsertRowColPage(1, &count, 2))
            return {0, insertFailureMessage(s), StatusText(s)};
    }
    if (!f.flags.data || !f.data) {
        report.SetCurPage(1);
        return {1, 0, {}};
    }
    DataValues& data = *f.data;
    const int pages = report.GetPageCount();
    // Page by page, each held while it is written.
    for (int page = 1; page <= pages; ++page) {
        const std::shared_ptr<CSheetPage> held = report.GetPage(page);
        const size_t j = size_t(page - 1);
        const uint64_t records = data.records(j);
        if (records == 0) break;
        for (uint64_t k = 0; k < records; ++k) {
            const DataValues::Record r = data.next(j);
            if (r.what == DataValues::kNumber || r.what == DataValues::kText) {
                const CellValue v = r.what == DataValues::kNumber ? CellValue::ofNumber(r.number)
                                                                  : CellValue::ofText(r.text);
                if (uint16_t s = report.SetCellValue(v, r.row, r.col, page, 0, 1)) {
                    report.SetCurPage(1);
                    return {0, 0,
                            LoadErrorText(str::kLossPagePlace).arg(page) + u'：' + StatusText(s)};
                }
            } else if (r.what == DataValues::kKeyword) {
                if (uint16_t s = report.SetPageKeyword(r.keywordSlot, r.keyword, page, 0)) {
                    report.SetCurPage(1);
                    return {0, kMsgKeywordFailed[r.keywordSlot],
                            LoadErrorText(str::kLossPagePlace).arg(page) + u'：' + StatusText(s)};
                }
            }
        }
        trimHeap();
    }
    report.SetCurPage(1);
    return {1, 0, {}};
}

}  // namespace

namespace {

template <typename Step>
OwnXmlImportResult guarded(Step step) {
    try {
        return step();
    } catch (const ImportFailure& e) {
        return {0, e.messageId, e.detail};
    } catch (const ScratchFailure& e) {
        return {0, str::kCheckXmlFile, e.why};
    } catch (const XmlError& e) {
        return {0, str::kCheckXmlFile, e.message()};
    } catch (const std::bad_alloc&) {
        return {0, str::kCheckXmlFile, StatusText(Status::OutOfMemory)};
    }
}

}  // namespace

OwnXmlImportResult ReadOwnXml(CReportHandle& report, const QString& path, int mode) {
    if (!report.IsOpen()) return {0, 0, LoadErrorText(str::kNoReportOpen)};
    return guarded([&] {
        const bool format = mode == kXmlImportFormatPass;
        FileCheck f = checkFile(report, path, format, !format);
        return format ? formatPass(report, f) : dataPass(report, f);
    });
}

OwnXmlImportResult ImportOwnXmlReport(CReportHandle& report, const QString& path,
                                      const std::function<uint16_t()>& betweenPasses) {
    if (!report.IsOpen()) return {0, 0, LoadErrorText(str::kNoReportOpen)};
    // One reading checks the file for both passes and sets aside what
    // each applies.
    std::optional<FileCheck> f;
    OwnXmlImportResult r = guarded([&] {
        f = checkFile(report, path, true, true);
        return formatPass(report, *f);
    });
    if (!r.result) return r;
    const uint16_t s = betweenPasses ? betweenPasses() : report.EnterDataState();
    if (s) return {0, 0, LoadErrorText(str::kCannotEnterDataState).arg(s)};
    OwnXmlImportResult data = guarded([&] { return dataPass(report, *f); });
    data.leftOut = r.leftOut + data.leftOut;
    return data;
}

bool IsOwnXmlExchangeFile(const QString& path) {
    // The whole file must read, but nothing of it need be held.
    QString rootName;
    const bool read = XmlDocument::loadRecords(
        path, [&](const XmlNode& root) { rootName = root.tagName(); }, {}, {},
        [](const XmlRecord&) {});
    return read && rootName.toLower() == ownxml::kRootTag;
}

bool HasOwnXmlRoot(const QString& path) {
    QString rootName;
    return XmlDocument::peekRootName(path, &rootName) && rootName.toLower() == ownxml::kRootTag;
}

}  // namespace qor

int ImportReportXml(CReportHandle& report, const QString& path, int mode) {
    const qor::OwnXmlImportResult r = qor::ReadOwnXml(report, path, mode);
    if (!r.detail.isEmpty()) TraceMessage(LoadErrorText(qor::str::kXmlImportNote).arg(r.detail));
    if (r.messageId)
        qor::messageBox(LoadErrorText(r.messageId), QString(), qor::MsgButtons::Ok,
                        qor::MsgIcon::Warning);
    if (!r.leftOut.isEmpty())
        qor::messageBox(LoadErrorText(qor::str::kLeftOutHeading) + u'\n' + r.leftOut.join(u'\n'),
                        QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
    return r.result;
}

int ImportReportXml(CReportHandle* report, int mode) {
    if (!report) return 0;
    return ImportReportXml(*report, g_strXmlExchangePath, mode);
}

#include "exchange/spreadsheetxml.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <limits>
#include <cmath>
#include <cstring>
#include <new>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "engine/cellformat.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/reportlayout.h"
#include "engine/status.h"
#include "engine/textutil.h"
#include "exchange/variantconvert.h"
#include "exchange/workbook_dates.h"
#include "exchange/workbook_read.h"
#include "platform/uiservices.h"

using namespace qor;
using qor::XmlDocument;
using qor::XmlError;
using qor::XmlNode;

namespace {

constexpr int kFirstCurrencyId[] = {qor::str::kCurrencySymbol0, qor::str::kCurrencySymbol1, qor::str::kCurrencySymbol2, qor::str::kCurrencySymbol3, qor::str::kCurrencySymbol4};
constexpr int kMaxDecimals = 7;

// Line types of DrawAreaLines.
constexpr int kLineTop = 6, kLineBottom = 7, kLineLeft = 8, kLineRight = 9;
// Keyword slots.
constexpr int kSlotYear = 2, kSlotQuarter = 3, kSlotMonth = 4;

// A whole number of any size: ss:Index and the counts address cells far
// beyond what a report holds, and such cells must be counted, not refused.
// Absent gives 0; a text that is no number is an error naming the element.
qint64 wideAttribute(const XmlNode& element, QStringView local) {
    const std::optional<QString> text = SpreadsheetAttribute(element, local);
    const QString name = QStringLiteral("ss:") + local.toString();
    if (!text) return 0;
    const QString t = text->trimmed();
    bool ok = false;
    const qint64 v = t.toLongLong(&ok);
    // Far enough for any real sheet, near enough that sums cannot overflow.
    constexpr qint64 kFar = qint64(1) << 40;
    if (ok) return std::clamp(v, -kFar, kFar);
    const double d = t.toDouble(&ok);
    if (ok && std::isfinite(d))
        return qint64(std::clamp(std::nearbyint(d), -double(kFar), double(kFar)));
    throw XmlError(XmlError::TypeMismatch,
                   LoadErrorText(qor::str::kXmlAttributeNotNumber).arg(name, *text).arg(element.lineNumber()));
}

int clampInt(qint64 v) { return int(std::clamp<qint64>(v, INT_MIN, INT_MAX)); }

// The bounds a cell broke; a side without a bound is not named.
QString formatBounds(double min, double max) {
    if (std::isinf(min))
        return QString::asprintf(LoadErrorText(qor::str::kValueAtMost).toUtf8().constData(), max);
    if (std::isinf(max))
        return QString::asprintf(LoadErrorText(qor::str::kValueAtLeast).toUtf8().constData(), min);
    return QString::asprintf(LoadErrorText(qor::str::kValueBounds).toUtf8().constData(), min, max);
}

QString cellFailedText(int page, int row, int col, const QString& why) {
    return QString::asprintf(LoadErrorText(qor::str::kCellPlaceFailed).toUtf8().constData(), page, row, col,
                             why.toUtf8().constData());
}

// One rectangle of a data rule's range, rows and columns from 1, first
// corner above and left of the last.
struct RuleRange {
    qint64 r1 = 0, c1 = 0, r2 = 0, c2 = 0;
};

// One cell of a rule's range: "R3C2" in either letter case, or "B3" with
// or without "$". False for any other text. The file writes its ranges in
// R1C1 form, where "R3" is a whole row, "C2" a whole column and "RC2" a
// cell relative to the rule's own: read as A1 cells they would check some
// other cell, so they are no cell here (the rule is named as unreadable).
// Columns C and R of the A1 form are taken with a "$" ("$C2", "$R$3").
bool parseRuleCell(const QString& text, qint64* row, qint64* col) {
    static const QRegularExpression r1c1(QStringLiteral("^[Rr](\\d{1,9})[Cc](\\d{1,9})$"));
    static const QRegularExpression a1(QStringLiteral("^\\$?([A-Za-z]{1,3})\\$?(\\d{1,9})$"));
    const QString t = text.trimmed();
    if (const auto m = r1c1.match(t); m.hasMatch()) {
        *row = m.captured(1).toLongLong();
        *col = m.captured(2).toLongLong();
        return *row >= 1 && *col >= 1;
    }
    if (const auto m = a1.match(t); m.hasMatch()) {
        static const QRegularExpression r1c1Part(QStringLiteral("^(?:[Rr]|[Cc]|[Rr][Cc])\\d"));
        if (r1c1Part.match(t).hasMatch()) return false;
        int col0 = 0;
        if (!ParseColumnLetters(m.captured(1), &col0)) return false;
        *row = m.captured(2).toLongLong();
        *col = col0 + 1;
        return *row >= 1;
    }
    return false;
}

// A rule's Range: cells and ranges ("R2C2:R3C2", a corner pair in any
// order) joined by ",". False when any part is neither.
bool parseRuleRanges(const QString& text, QList<RuleRange>* out) {
    out->clear();
    for (const QString& part : text.split(u',')) {
        const qsizetype colon = part.indexOf(u':');
        const QString first = colon < 0 ? part : part.left(colon);
        const QString second = colon < 0 ? part : part.mid(colon + 1);
        qint64 ra = 0, ca = 0, rb = 0, cb = 0;
        if (!parseRuleCell(first, &ra, &ca) || !parseRuleCell(second, &rb, &cb)) return false;
        out->append({std::min(ra, rb), std::min(ca, cb), std::max(ra, rb), std::max(ca, cb)});
    }
    return !out->isEmpty();
}

}  // namespace

namespace qor {

namespace {

constexpr char16_t kOfficeExcelNamespace[] = u"urn:schemas-microsoft-com:office:excel";

bool inSpreadsheetNamespace(const QString& uri, QStringView local) {
    if (uri == QStringView(kSpreadsheetNamespace)) return true;
    return uri == QStringView(kOfficeExcelNamespace) &&
           (local == u"DataValidation" || local == u"Range" || local == u"Min" || local == u"Max" ||
            local == u"ErrorMessage");
}

// A name whose prefix no declaration binds is kept whole ("ss:Name").
bool undeclaredNameIs(QStringView name, QStringView local) {
    if (name == local) return true;
    const qsizetype colon = name.indexOf(u':');
    return colon > 0 && name.mid(colon + 1) == local;
}

}  // namespace

bool IsSpreadsheetElement(const XmlNode& element, QStringView local) {
    if (element.isNull() || !element.isElement()) return false;
    const QString uri = element.namespaceUri();
    if (uri.isEmpty()) return undeclaredNameIs(element.localName(), local);
    return element.localName() == local && inSpreadsheetNamespace(uri, local);
}

XmlNode SpreadsheetChild(const XmlNode& parent, QStringView local) {
    if (parent.isNull()) return {};
    for (XmlNode n = parent.firstChildElement(); n; n.toNextSiblingElement())
        if (IsSpreadsheetElement(n, local)) return n;
    return {};
}

XmlNode NextSpreadsheetSibling(const XmlNode& element, QStringView local) {
    if (element.isNull()) return {};
    for (XmlNode n = element.nextSiblingElement(); n; n.toNextSiblingElement())
        if (IsSpreadsheetElement(n, local)) return n;
    return {};
}

QList<XmlNode> SpreadsheetChildren(const XmlNode& parent, QStringView local) {
    QList<XmlNode> out;
    if (parent.isNull()) return out;
    for (XmlNode n = parent.firstChildElement(); n; n.toNextSiblingElement())
        if (IsSpreadsheetElement(n, local)) out.append(n);
    return out;
}

std::optional<QString> SpreadsheetAttribute(const XmlNode& element, QStringView local) {
    if (element.isNull()) return std::nullopt;
    if (std::optional<QString> v = element.attributeNS(kSpreadsheetNamespace, local)) return v;
    if (std::optional<QString> v = element.attributeNS(u"", local)) return v;
    // "ss:Name" in a file that never declared the prefix.
    return element.attributeNS(u"", QStringLiteral("ss:") + local.toString());
}

}  // namespace qor

namespace {

int ssInt(const XmlNode& element, QStringView local) {
    const std::optional<QString> v = SpreadsheetAttribute(element, local);
    return v ? qor::variantToInt16(*v) : 0;
}

float ssFloat(const XmlNode& element, QStringView local) {
    const std::optional<QString> v = SpreadsheetAttribute(element, local);
    return v ? float(qor::variantToInt32(*v)) : 0;
}

// Every Style of every Styles element under node, in document order.
void collectStyles(const XmlNode& node, bool inStyles, QList<XmlNode>* out) {
    for (XmlNode n = node.firstChildElement(); n; n.toNextSiblingElement()) {
        if (inStyles) out->append(n);
        // Cells hold no styles: the walk need not go through the tables.
        if (IsSpreadsheetElement(n, u"Table")) continue;
        collectStyles(n, IsSpreadsheetElement(n, u"Styles"), out);
    }
}

}  // namespace

// ---------------------------------------------------------------- styles

void CSpreadsheetXmlDoc::setFormat(const CellArea& area, int code, int32_t value) {
    if (m_recording) {
        m_recording->push_back({StyleOp::Format, code, value});
        return;
    }
    if (!m_pReport) return;
    // A report that refuses the change keeps its attribute; the import
    // goes on.
    m_pReport->AccessAreaFormat(1, code, &value, &area);
}

void CSpreadsheetXmlDoc::drawLine(const CellArea& area, int type, int style) {
    if (m_recording) {
        m_recording->push_back({StyleOp::Line, type, style});
        return;
    }
    if (m_pReport) m_pReport->DrawAreaLines(&area, type, style);
}

void CSpreadsheetXmlDoc::setDecimals(const CellArea& area, int32_t decimals) {
    if (m_recording) {
        m_recording->push_back({StyleOp::Decimals, kFmtDecimals, decimals});
        return;
    }
    // A percent cell shows its value times 100: two more places.
    int32_t percent = 0;
    if (m_pReport) m_pReport->AccessAreaFormat(0, kFmtPercent, &percent, &area);
    if (percent == 1) decimals += 2;
    setFormat(area, kFmtDecimals, std::clamp<int32_t>(decimals, 0, kMaxDecimals));
}

void CSpreadsheetXmlDoc::replay(const CellArea& area, const std::vector<StyleOp>& ops) {
    for (const StyleOp& op : ops) {
        switch (op.kind) {
            case StyleOp::Format:
                setFormat(area, op.code, op.value);
                break;
            case StyleOp::Line:
                drawLine(area, op.code, op.value);
                break;
            case StyleOp::Decimals:
                setDecimals(area, op.value);
                break;
        }
    }
}

XmlNode CSpreadsheetXmlDoc::FindStyle(const QString& id, const XmlNode& anyNode) {
    if (anyNode.isNull()) return {};
    const XmlDocument doc = anyNode.ownerDocument();
    if (!(doc == m_styleDoc)) {
        // One walk a workbook: a walk a cell would make the import
        // quadratic in the number of styled cells.
        m_styles.clear();
        m_styleOps.clear();
        m_styleDoc = doc;
        const XmlNode top = doc.isNull() ? anyNode : doc.node();
        QList<XmlNode> styles;
        collectStyles(top, false, &styles);
        for (const XmlNode& s : styles) {
            if (!IsSpreadsheetElement(s, u"Style")) continue;
            const QString sid = SpreadsheetAttributeText(s, u"ID");
            if (!m_styles.contains(sid)) m_styles.insert(sid, s);
        }
    }
    return m_styles.value(id);
}

void CSpreadsheetXmlDoc::ApplyStyle(const CellArea& area, const XmlNode& style) {
    if (style.isNull()) return;
    if (const XmlNode a = SpreadsheetChild(style, u"Alignment")) ReadAlignment(area, a);
    if (const XmlNode b = SpreadsheetChild(style, u"Borders"))
        ReadBorders(area, SpreadsheetChildren(b, u"Border"));
    if (const XmlNode f = SpreadsheetChild(style, u"Font")) ReadFont(area, f);
    if (const XmlNode n = SpreadsheetChild(style, u"NumberFormat")) ReadNumberFormat(area, n);
}

void CSpreadsheetXmlDoc::ReadAlignment(const CellArea& area, const XmlNode& alignment) {
    if (alignment.isNull()) return;
    // Without a horizontal alignment the cell keeps the default (numbers
    // right, texts left): spreadsheet programs write Vertical alone for
    // styles that only centre vertically.
    const std::optional<QString> h = SpreadsheetAttribute(alignment, u"Horizontal");
    if (h) {
        int code = kAlignStart;
        if (*h == u"Center") code = kAlignCentre;
        else if (*h == u"Right") code = kAlignEnd;
        setFormat(area, kFmtHAlign, code);
    }
    const QString v = SpreadsheetAttributeText(alignment, u"Vertical");
    int vcode = kAlignEnd;
    if (v == u"Top") vcode = kAlignStart;
    else if (v == u"Center") vcode = kAlignCentre;
    setFormat(area, kFmtVAlign, vcode);
    if (ssInt(alignment, u"WrapText") != 0) setFormat(area, kFmtWrap, 1);
}

void CSpreadsheetXmlDoc::ReadBorders(const CellArea& area, const QList<XmlNode>& borders) {
    for (const XmlNode& b : borders) {
        if (!IsSpreadsheetElement(b, u"Border")) continue;
        const QString lineStyle = SpreadsheetAttributeText(b, u"LineStyle");
        const int weight = ssInt(b, u"Weight");
        int style = kLineNone;
        if (lineStyle == u"Continuous") style = weight > 1 ? kLineMedium : kLineThin;
        const QString pos = SpreadsheetAttributeText(b, u"Position");
        int type = 0;
        if (pos == u"Left") type = kLineLeft;
        else if (pos == u"Right") type = kLineRight;
        else if (pos == u"Top") type = kLineTop;
        else if (pos == u"Bottom") type = kLineBottom;
        else continue;  // diagonals and unknown sides draw nothing
        drawLine(area, type, style);
    }
}

void CSpreadsheetXmlDoc::ReadFont(const CellArea& area, const XmlNode& font) {
    if (font.isNull()) return;
    setFormat(area, kFmtPattern, 0);
    setFormat(area, kFmtFont, FontNameToIndex(SpreadsheetAttributeText(font, u"FontName")));
    setFormat(area, kFmtForeground, ColorToIndex(SpreadsheetAttributeText(font, u"Color")));
    ReadFontSize(area, font);
    const int bold = ssInt(font, u"Bold");
    const int italic = ssInt(font, u"Italic");
    const int underline = SpreadsheetAttributeText(font, u"Underline").isEmpty() ? 0 : 1;
    setFormat(area, kFmtFontStyle, FontStyleCode(bold, italic, underline));
}

void CSpreadsheetXmlDoc::ReadFontSize(const CellArea& area, const XmlNode& font) {
    if (font.isNull()) return;
    setFormat(area, kFmtFontSize, FontSizeToIndex(ssInt(font, u"Size")));
}

void CSpreadsheetXmlDoc::ReadNumberFormat(const CellArea& area, const XmlNode& numberFormat) {
    if (numberFormat.isNull()) return;
    const QString f = SpreadsheetAttributeText(numberFormat, u"Format");
    // Any pattern that shows its value times 100 ("0.0%", "0%") is a
    // percent as the named style is: its number comes in in percent units.
    const std::optional<int> percentPlaces = f == u"Percent" ? std::nullopt : qor::PercentFormatDecimals(f);
    if (f == u"Percent") {
        setFormat(area, kFmtPercent, 1);
        setFormat(area, kFmtDecimals, 4);
    } else if (percentPlaces) {
        setFormat(area, kFmtPercent, 1);
        setFormat(area, kFmtDecimals, *percentPlaces);
    }
    if (f.contains(u"#,##")) setFormat(area, kFmtThousands, 1);
    const qsizetype pad = f.indexOf(u"0_");
    const qsizetype point = f.indexOf(u"0.0");
    if (pad >= 0 && point >= 0 && !percentPlaces) {
        setDecimals(area, int32_t(std::clamp<qsizetype>(pad - point - 1, -kMaxDecimals, 99)));
    }
    if (f.contains(u'$')) {
        setFormat(area, kFmtCurrency, 1);
        return;
    }
    for (int id : kFirstCurrencyId) {
        const QString symbol = LoadErrorText(id);
        if (!symbol.isEmpty() && f.contains(symbol)) {
            setFormat(area, kFmtCurrency, 1);
            return;
        }
    }
}

int CSpreadsheetXmlDoc::ColorToIndex(const QString& text) {
    const QString t = text.trimmed();
    if (t.size() != 7 || t[0] != u'#') return kColourBlack;
    bool ok = false;
    const uint rgb = t.mid(1).toUInt(&ok, 16);
    if (!ok) return kColourBlack;
    const int r = int(rgb >> 16 & 0xFF), g = int(rgb >> 8 & 0xFF), b = int(rgb & 0xFF);
    // A palette colour in any case gives its own index; any other the
    // nearest one, so that red stays red and a mid grey stays grey.
    int best = 0;
    long bestDistance = LONG_MAX;
    for (int i = 0; i < 16; ++i) {
        const uint32_t p = cellPaletteRgb(i);
        const long dr = r - long(p >> 16 & 0xFF), dg = g - long(p >> 8 & 0xFF),
                   db = b - long(p & 0xFF);
        const long d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

int CSpreadsheetXmlDoc::FontNameToIndex(const QString& name) {
    for (int i = 0; i < 16; ++i) {
        QString face;
        if (i < 8) face = LoadErrorText(qor::str::kFontName0 + i);
        else if (i == 12) face = QString::fromUtf8(kExchangeFontFace12);
        else face = QString::fromUtf8(kCellFontFaces[i]);
        if (name == face) return i;
    }
    return 0;
}

int CSpreadsheetXmlDoc::FontSizeToIndex(int points) {
    for (int i = 0; i < 16; ++i)
        if (kFontSizePoints[i] == points) return i;
    return 1;
}

int CSpreadsheetXmlDoc::FontStyleCode(int bold, int italic, int underline) {
    const bool b = bold != 0, i = italic != 0, u = underline != 0;
    if (b && i && u) return kFontBoldItalicUnderline;
    if (i && u) return kFontItalicUnderline;
    if (b && u) return kFontBoldUnderline;
    if (b && i) return kFontBoldItalic;
    if (u) return kFontUnderline;
    if (i) return kFontItalic;
    if (b) return kFontBold;
    return kFontPlain;
}

QString CSpreadsheetXmlDoc::GetSampleId() const {
    return GetXmlAttributeString(m_pRootElement, QStringLiteral("SampleID"));
}

QString CSpreadsheetXmlDoc::GetSampleName() const {
    return GetXmlAttributeString(m_pRootElement, QStringLiteral("SampleName"));
}

// ---------------------------------------------------------------- table

namespace {

qint64 nonNegative(qint64 v) { return v < 0 ? 0 : v; }

}  // namespace

// Where the cells of a table land: the walk both the measuring and the
// reading follow, so that they agree cell for cell. It takes the table's
// children one at a time, so a table read row by row lands as one read
// whole. The row keeps its place after a cell merged downwards: the file's
// own ss:Index steps over the covered cells.
class CSpreadsheetXmlDoc::TableCursor {
public:
    struct Placement {
        qint64 row = 0, col = 0;          // the cell's first row and column, from 1
        qint64 lastRow = 0, lastCol = 0;  // with MergeDown and MergeAcross
    };
    // column(index, node) for a Column, row(index, node) for a Row, then
    // cell(placement, node) for each of its cells.
    template <class ColumnFn, class RowFn, class CellFn>
    void step(const XmlNode& child, ColumnFn column, RowFn row, CellFn cell) {
        if (IsSpreadsheetElement(child, u"Column")) {
            const qint64 index = wideAttribute(child, u"Index");
            if (index > m_colPos) m_colPos = index - 1;
            column(m_colPos + 1, child);
            ++m_colPos;
        } else if (IsSpreadsheetElement(child, u"Row")) {
            const qint64 index = wideAttribute(child, u"Index");
            backwards(child, index, m_rowPos, m_rowPos + 1);
            if (index > m_rowPos) m_rowPos = index - 1;
            row(m_rowPos + 1, child);
            qint64 cellCol = 0;
            // An index into the area the cell before merged across is a
            // value under that area (the reader tells those); one at or
            // before that cell's own place would overwrite it.
            qint64 lastStart = 0;
            for (XmlNode c = child.firstChildElement(); c; c.toNextSiblingElement()) {
                if (!IsSpreadsheetElement(c, u"Cell")) continue;
                const qint64 ci = wideAttribute(c, u"Index");
                backwards(c, ci, lastStart, m_rowPos + 1);
                if (ci > 0) cellCol = ci - 1;
                Placement p;
                p.row = m_rowPos + 1;
                p.col = cellCol + 1;
                p.lastRow = p.row + nonNegative(wideAttribute(c, u"MergeDown"));
                p.lastCol = p.col + nonNegative(wideAttribute(c, u"MergeAcross"));
                cell(p, c);
                lastStart = p.col;
                cellCol = p.lastCol;
            }
            ++m_rowPos;
        }
    }

private:
    // An index names the place of its element, which comes after the ones
    // before it: one at or before `passed` (from 1) would lay the element
    // over another, so the file is damaged. `row` is the table row it
    // stands in, for the message.
    static void backwards(const XmlNode& element, qint64 index, qint64 passed, qint64 row) {
        if (index <= 0 || index > passed) return;
        throw XmlError(XmlError::TypeMismatch, LoadErrorText(qor::str::kXmlIndexGoesBack)
                                                   .arg(element.localName())
                                                   .arg(index)
                                                   .arg(row)
                                                   .arg(element.lineNumber()));
    }

    qint64 m_colPos = 0, m_rowPos = 0;
};

// What the reading of one table keeps between its children.
struct CSpreadsheetXmlDoc::TableRead {
    XmlNode worksheet;
    CReportHandle* report = nullptr;
    int haveRows = 0, haveCols = 0;
    TableCursor cursor;
    qor::WorkbookCellsLeftOut beyond, formulas, comments, underMerge;
    bool anyMerged = false;
    QString text;
};

CSpreadsheetXmlDoc::CSpreadsheetXmlDoc() = default;

CSpreadsheetXmlDoc::~CSpreadsheetXmlDoc() = default;

void CSpreadsheetXmlDoc::TableExtent::add(const XmlNode& child) {
    if (!m_cursor) m_cursor = std::make_shared<TableCursor>();
    m_cursor->step(
        child, [&](qint64 c, const XmlNode&) { cols = std::max(cols, c); },
        [&](qint64 r, const XmlNode&) { rows = std::max(rows, r); },
        [&](const TableCursor::Placement& p, const XmlNode&) {
            cols = std::max(cols, p.lastCol);
            rows = std::max(rows, p.lastRow);
        });
}

QString CSpreadsheetXmlDoc::dateText(const QString& iso, const XmlNode& cell,
                                     const XmlNode& worksheet) {
    // A date comes in as the text its number format shows, or plainly
    // (PlainDateFormat).
    const std::optional<double> serial = qor::SerialOfIsoDate(iso, false);
    if (!serial) return iso;
    QString format;
    const QString id = SpreadsheetAttributeText(cell, u"StyleID");
    if (!id.isEmpty())
        format = SpreadsheetAttributeText(
            SpreadsheetChild(FindStyle(id, worksheet.isNull() ? cell : worksheet), u"NumberFormat"),
            u"Format");
    if (!qor::IsDateNumberFormat(format)) format = qor::PlainDateFormat(*serial);
    return qor::FormatDateSerial(*serial, format, false).value_or(iso);
}

void CSpreadsheetXmlDoc::resizeTable(int rows, int cols) {
    if (m_resize) {
        m_resize(rows, cols);
        return;
    }
    // Without anything showing the report the table is sized here: keeping
    // the old size would drop every cell beyond it.
    uint16_t r = uint16_t(rows), c = uint16_t(cols);
    m_pReport->AccessTableSize(1, &r, &c);
}

namespace {

// How far the children of a held table reach, counted only when the table
// leaves a count undeclared.
CSpreadsheetXmlDoc::TableExtent heldExtent(const XmlNode& table) {
    CSpreadsheetXmlDoc::TableExtent held;
    if (table && (wideAttribute(table, u"ExpandedColumnCount") <= 0 ||
                  wideAttribute(table, u"ExpandedRowCount") <= 0))
        for (XmlNode child = table.firstChildElement(); child; child.toNextSiblingElement())
            held.add(child);
    return held;
}

// The table's size: the declared counts; a missing one from what the
// table holds.
std::pair<int, int> tableSize(const XmlNode& table, const CSpreadsheetXmlDoc::TableExtent& held) {
    qint64 cols = nonNegative(wideAttribute(table, u"ExpandedColumnCount"));
    qint64 rows = nonNegative(wideAttribute(table, u"ExpandedRowCount"));
    if (cols == 0) cols = held.cols;
    if (rows == 0) rows = held.rows;
    return {int(std::clamp<qint64>(rows, 1, kMaxRows)), int(std::clamp<qint64>(cols, 1, kMaxCols))};
}

}  // namespace

std::pair<int, int> CSpreadsheetXmlDoc::WorksheetTableSize(const XmlNode& worksheet) {
    const XmlNode table = SpreadsheetChild(worksheet, u"Table");
    return tableSize(table, heldExtent(table));
}

int CSpreadsheetXmlDoc::ReadWorksheetTable(const XmlNode& worksheet, CReportHandle* report,
                                           int numeric) {
    const XmlNode table = SpreadsheetChild(worksheet, u"Table");
    if (!BeginWorksheetTable(worksheet, report, numeric, heldExtent(table))) return 1;
    for (XmlNode child = table.firstChildElement(); child; child.toNextSiblingElement())
        ReadTableChild(child);
    EndWorksheetTable();
    return 1;
}

bool CSpreadsheetXmlDoc::BeginWorksheetTable(const XmlNode& worksheet, CReportHandle* report,
                                             int numeric, const TableExtent& held) {
    m_leftOut.clear();
    m_nCutTexts = 0;
    m_strFirstCut.clear();
    m_figures.clear();
    m_table.reset();
    if (worksheet.isNull()) return false;
    m_pReport = report;
    const XmlNode table = SpreadsheetChild(worksheet, u"Table");
    if (!report || table.isNull()) return false;
    if (m_pRootElement.isNull()) SetRootElement(worksheet.ownerDocument().documentElement());

    const auto [tableRows, tableCols] = tableSize(table, held);
    resizeTable(tableRows, tableCols);

    auto t = std::make_unique<TableRead>();
    t->worksheet = worksheet;
    t->report = report;
    // What the report could take (a refused size leaves the old one).
    t->haveRows = std::min<int>(tableRows, report->GetRowCount());
    t->haveCols = std::min<int>(tableCols, report->GetColCount());

    const CellArea whole = CellArea::area(1, 1, t->haveRows, t->haveCols);
    setFormat(whole, kFmtThousands, 1);
    if (numeric) setFormat(whole, kFmtKind, kCellNumber);

    t->beyond.sheet = SpreadsheetAttributeText(worksheet, u"Name");
    t->beyond.tableRows = t->haveRows;
    t->beyond.tableCols = t->haveCols;
    // Cells with formulas come in as the results the file kept: told.
    t->formulas.reason = qor::WorkbookCellsLeftOut::Formula;
    t->formulas.sheet = t->beyond.sheet;
    // A cell's comment is no part of its value; the report has no place
    // for it.
    t->comments.reason = qor::WorkbookCellsLeftOut::Comment;
    t->comments.sheet = t->beyond.sheet;
    // A value the file places inside an area merged before it (by
    // MergeDown from a row above, or ss:Index into a MergeAcross) would be
    // hidden in the report yet count in its totals: it is not imported.
    t->underMerge.reason = qor::WorkbookCellsLeftOut::UnderMerge;
    t->underMerge.sheet = t->beyond.sheet;
    m_table = std::move(t);
    return true;
}

void CSpreadsheetXmlDoc::ReadTableChild(const XmlNode& child) {
    if (!m_table) return;
    TableRead& t = *m_table;
    CReportHandle* report = t.report;
    const auto countAt = [](qor::WorkbookCellsLeftOut& l, qint64 r, qint64 c) {
        if (l.count++ > 0) return;
        l.row = int(r);
        l.col = int(c);
    };
    auto countBeyond = [&](qint64 r, qint64 c) {
        qor::WorkbookCellsLeftOut& beyond = t.beyond;
        const int ri = clampInt(r), ci = clampInt(c);
        if (beyond.count++ == 0 || ri < beyond.row || (ri == beyond.row && ci < beyond.col)) {
            beyond.row = ri;
            beyond.col = ci;
        }
    };
    t.cursor.step(
        child,
        [&](qint64 c, const XmlNode& column) {
            const float width = ssFloat(column, u"Width");
            if (width > 0 && c <= t.haveCols) {
                uint16_t w = uint16_t(std::min(double(width) + 0.5, 65535.0));
                report->AccessRowColSize(1, 1, int(c), &w);
            }
        },
        [&](qint64 r, const XmlNode& row) {
            const float height = ssFloat(row, u"Height");
            if (height > 0 && r <= t.haveRows) {
                uint16_t h = uint16_t(std::min(double(height) + 0.5, 65535.0));
                report->AccessRowColSize(1, 0, int(r), &h);
            }
        },
        [&](const TableCursor::Placement& p, const XmlNode& cell) {
            const XmlNode data = SpreadsheetChild(cell, u"Data");
            if (p.row > t.haveRows || p.col > t.haveCols) {
                if (data) countBeyond(p.row, p.col);
                return;
            }
            if (t.anyMerged && qor::CellUnderCombinedArea(*report, int(p.row), int(p.col))) {
                if (data) countAt(t.underMerge, p.row, p.col);
                return;
            }
            if (SpreadsheetAttribute(cell, u"Formula")) countAt(t.formulas, p.row, p.col);
            if (SpreadsheetChild(cell, u"Comment")) countAt(t.comments, p.row, p.col);
            CellArea area = CellArea::cell(int(p.row), int(p.col));
            ApplyCellStyle(&area, cell, t.worksheet);
            if (!area.isSingleCell()) t.anyMerged = true;
            // The value is the Data element's text (with its formatting
            // markup read through); a comment, phonetic text or anything
            // else beside it in the cell is not.
            t.text.clear();
            if (data) data.appendText(t.text);
            if (data && SpreadsheetAttributeText(data, u"Type") == u"DateTime")
                t.text = dateText(t.text, cell, t.worksheet);
            SetCellData(area, data, t.text);
        });
}

void CSpreadsheetXmlDoc::EndWorksheetTable() {
    if (!m_table) return;
    const std::unique_ptr<TableRead> t = std::move(m_table);
    for (const qor::WorkbookCellsLeftOut* l : {&t->beyond, &t->formulas, &t->underMerge, &t->comments})
        if (l->count > 0) m_leftOut.append(*l);
    const XmlNode& worksheet = t->worksheet;
    CReportHandle* report = t->report;

    // The period keywords the sample asks for.
    const XmlNode root = worksheet.ownerDocument().documentElement();
    const XmlNode period = root ? SpreadsheetChild(root, u"Period") : XmlNode();
    if (period && report->GetReportFile()) {
        CReportFile* file = report->GetReportFile();
        // One child element per period of the year; comments and blanks
        // between them count for nothing.
        const qsizetype n = period.childElements().size();
        if (n >= 1) {
            file->SetKeywordPos(kSlotYear, 2, 2, 0);
            m_nPeriodKind = 0;
        }
        if (n == 4) {
            file->SetKeywordPos(kSlotQuarter, 2, 3, 0);
            m_nPeriodKind = 2;
        }
        if (n == 2 || n == 12) {
            file->SetKeywordPos(kSlotMonth, 2, 3, 0);
            m_nPeriodKind = 3;
        }
        if (n == 2) m_nPeriodKind = 1;
    }
}

void CSpreadsheetXmlDoc::ApplyCellStyle(CellArea* area, const XmlNode& cell,
                                        const XmlNode& worksheet) {
    if (!area || cell.isNull()) return;
    // A merged cell is combined whether or not it has a style, or the next
    // cell of the row would land inside it. The area is cut at the table's
    // end.
    const qint64 down = nonNegative(wideAttribute(cell, u"MergeDown"));
    const qint64 across = nonNegative(wideAttribute(cell, u"MergeAcross"));
    const qint64 rows = m_pReport ? m_pReport->GetRowCount() : kMaxRows;
    const qint64 cols = m_pReport ? m_pReport->GetColCount() : kMaxCols;
    // Never before the first cell, never past the table.
    area->last.row = int16_t(std::max<qint64>(area->first.row, std::min(area->first.row + down, rows)));
    area->last.col = int16_t(std::max<qint64>(area->first.col, std::min(area->first.col + across, cols)));
    const bool merged = !area->isSingleCell();
    if (merged && m_pReport) m_pReport->CombineCells(area);
    const QString id = SpreadsheetAttributeText(cell, u"StyleID");
    if (id.isEmpty()) return;
    const XmlNode style = FindStyle(id, worksheet.isNull() ? cell : worksheet);
    if (style.isNull()) return;
    auto cached = m_styleOps.find(id);
    if (cached == m_styleOps.end()) {
        std::vector<StyleOp> ops;
        m_recording = &ops;
        try {
            ApplyStyle(*area, style);
        } catch (...) {
            m_recording = nullptr;
            throw;
        }
        m_recording = nullptr;
        cached = m_styleOps.insert(id, std::move(ops));
    }
    replay(merged ? CellArea::cell(area->first.row, area->first.col) : *area, *cached);
}

void CSpreadsheetXmlDoc::SetCellData(const CellArea& area, const XmlNode& data,
                                     const QString& text) {
    if (data.isNull()) {
        setFormat(area, kFmtKind, kCellNumber);
        return;
    }
    const QString type = SpreadsheetAttributeText(data, u"Type");
    // A number in a percent cell is a figure the sheet shows as a percent:
    // a number cell holding percent units (0.0125 shows 1.25%), as a
    // workbook's percent cell comes in. Other figures stay labels.
    if (type == u"Number" && m_pReport) {
        int32_t percent = 0;
        m_pReport->AccessAreaFormat(0, kFmtPercent, &percent, &area);
        bool ok = false;
        const double number = text.trimmed().toDouble(&ok);
        if (percent == 1 && ok && std::isfinite(number)) {
            setFormat(area, kFmtKind, kCellNumber);
            m_figures.push_back({area.first.row, area.first.col, number * 100});
            return;
        }
    }
    setFormat(area, kFmtKind, kCellLabel);
    if (!m_pReport) return;
    // The whole text: a label keeps as much as a cell holds, and what it
    // cannot hold is told.
    if (text.size() > kMaxLabelChars && m_nCutTexts++ == 0)
        m_strFirstCut = FormatCellRef(area.first.col - 1, area.first.row - 1);
    CellValue value;
    value.kind = kCellLabel;
    value.text = text;
    // A boolean shows as the workbook shows it, not as its 1 or 0.
    if (type == u"Boolean") {
        const QString b = text.trimmed();
        if (b == u"1" || b.compare(u"true", Qt::CaseInsensitive) == 0) value.text = LoadErrorText(qor::str::kTrue);
        if (b == u"0" || b.compare(u"false", Qt::CaseInsensitive) == 0) value.text = LoadErrorText(qor::str::kFalse);
    }
    // The cut is told above; the cell refuses any longer text.
    value.text = LeftWholeChars(value.text, kMaxLabelChars);
    m_pReport->SetCellValue(value, area.first.row, area.first.col, 0, 0, 0);
}


// ---------------------------------------------------------------- validation

int CSpreadsheetXmlDoc::ReadDataValidation(const XmlNode& worksheet, int page) {
    m_strValidationMessage.clear();
    // A run over the pages starts at the first: what it found wrong with
    // the rules themselves is told once per run, not once per page.
    if (page <= 1) m_toldRules.clear();
    if (worksheet.isNull()) return 1;
    auto fail = [this](const QString& text) {
        m_strValidationMessage = text;
        qor::messageBox(text, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return 0;
    };
    // A rule that cannot be checked as written is named, and the check goes
    // on: the clerk cannot mend the sample, but must not take it for a pass.
    auto tellRule = [this](const QString& text) {
        if (m_toldRules.contains(text)) return;
        m_toldRules << text;
        qor::messageBox(text, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
    };
    uint16_t rowCount = 0, colCount = 0;
    if (!m_pReport || m_pReport->AccessTableSize(0, &rowCount, &colCount) != 0) {
        qor::messageBox(LoadErrorText(qor::str::kTableSizeError), QString(), qor::MsgButtons::Ok);
        return 1;
    }
    if (rowCount == 0 || colCount == 0) return 1;
    auto numberAt = [this, page](int r, int c, double* v) {
        CellValue value;
        if (m_pReport->GetCellValue(&value, r, c, page) != 0) return false;
        if (value.kind != kCellNumber) return false;
        *v = value.number;
        return true;
    };

    QList<RuleRange> ranges;
    for (XmlNode rule = SpreadsheetChild(worksheet, u"DataValidation"); rule;
         rule = NextSpreadsheetSibling(rule, u"DataValidation")) {
        auto childText = [this, &rule](const char16_t* name) {
            const XmlNode n = SpreadsheetChild(rule, QStringView(name));
            return n ? GetXmlNodeText(n) : QString();
        };
        const QString range = childText(u"Range").trimmed();
        const QString minText = childText(u"Min").trimmed(), maxText = childText(u"Max").trimmed();
        // Bounds are read as a clerk writes an amount ("1,000"), by the
        // rule every number cell keeps. A rule without a Min or a Max has
        // no bound on that side; one written empty, or as no number, does
        // not read.
        const bool hasMin = bool(SpreadsheetChild(rule, u"Min")), hasMax = bool(SpreadsheetChild(rule, u"Max"));
        double min = -std::numeric_limits<double>::infinity(), max = std::numeric_limits<double>::infinity();
        const bool minRead = !hasMin || qor::TextAsCellNumber(minText, &min);
        const bool maxRead = !hasMax || qor::TextAsCellNumber(maxText, &max);
        // Bounds the wrong way round would fail every amount: such a rule
        // says nothing a clerk could meet.
        if (!parseRuleRanges(range, &ranges) || !minRead || !maxRead || min > max) {
            tellRule(LoadErrorText(qor::str::kDataRuleUnreadable).arg(range, minText, maxText));
            continue;
        }
        const QString custom = childText(u"ErrorMessage");
        for (const RuleRange& area : ranges) {
            if (area.r2 > rowCount || area.c2 > colCount)
                tellRule(LoadErrorText(qor::str::kDataRuleOutsideTable)
                             .arg(range)
                             .arg(rowCount)
                             .arg(colCount));
            // The rule names cells of the table; on the page they stand
            // where its variable lines put them, a line's template row
            // (column) standing for every line of the page. The format is
            // read through the current page, as every format call reads it.
            for (qint64 sr = area.r1; sr <= std::min<qint64>(area.r2, rowCount); ++sr) {
                for (qint64 sc = area.c1; sc <= std::min<qint64>(area.c2, colCount); ++sc) {
                    const qor::AreaRecord stored{uint16_t(sr), uint16_t(sc), uint16_t(sr), uint16_t(sc)};
                    CellArea onPage, format;
                    if (m_pReport->ShownAreaOnPage(page, stored, &onPage) != 0 ||
                        m_pReport->ShownAreaOnPage(0, stored, &format) != 0)
                        continue;
                    format.last = format.first;
                    int32_t percent = 0;
                    m_pReport->AccessAreaFormat(0, kFmtPercent, &percent, &format);
                    // A percent cell holds percent units: its bounds come
                    // from the file's values times 100, for each cell afresh.
                    const double scale = percent == 1 ? 100.0 : 1.0;
                    const double low = min * scale, high = max * scale;
                    for (int r = onPage.first.row; r <= onPage.last.row; ++r) {
                        for (int c = onPage.first.col; c <= onPage.last.col; ++c) {
                            // A failed formula's cell holds no amount:
                            // whatever it keeps would pass or fail by chance.
                            if (m_pReport->CellValueFailed(r, c, page))
                                return fail(cellFailedText(page, r, c,
                                                           LoadErrorText(qor::str::kCellFormulaFailed)));
                            double v = 0;
                            if (!numberAt(r, c, &v)) continue;
                            if (v >= low && v <= high) continue;
                            const QString why =
                                percent == 1 || custom.isEmpty() ? formatBounds(low, high) : custom;
                            return fail(cellFailedText(page, r, c, why));
                        }
                    }
                }
            }
        }
    }

    // Every cell the page shows, each variable line included.
    CellArea whole;
    const qor::AreaRecord table{1, 1, rowCount, colCount};
    if (m_pReport->ShownAreaOnPage(page, table, &whole) != 0) return 1;
    for (int r = 1; r <= whole.last.row; ++r) {
        for (int c = 1; c <= whole.last.col; ++c) {
            double v = 0;
            if (!numberAt(r, c, &v)) continue;
            if (v < -qor::kLargestAmount || v > qor::kLargestAmount)
                return fail(cellFailedText(page, r, c, LoadErrorText(qor::str::kTooManyIntegerDigits)));
        }
    }
    return 1;
}

// ---------------------------------------------------------------- import

namespace qor {

namespace {

QString localName(const QString& qualified) {
    const qsizetype colon = qualified.indexOf(u':');
    return colon < 0 ? qualified : qualified.mid(colon + 1);
}

}  // namespace

QString SpreadsheetXmlImport::LeftOutText() const {
    QStringList lines;
    if (const QString cells = LeftOutCellsMessage(leftOut); !cells.isEmpty()) lines << cells;
    if (cutTexts > 0)
        lines << LoadErrorText(str::kTextsCut).arg(cutTexts).arg(kMaxLabelChars).arg(firstCutText);
    if (!otherSheets.isEmpty())
        lines << LoadErrorText(str::kOnlyFirstSheetRead).arg(otherSheets.join(QStringLiteral(", ")));
    return lines.join(u'\n');
}

qint64 CountSpreadsheetXmlCells(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    // Start tags named "Cell" under any prefix, read from the bytes a piece
    // at a time; a tag cut by the end of a piece waits for the next.
    constexpr qint64 kPiece = qint64(1) << 20;
    constexpr qsizetype kLongestName = 256;
    QByteArray buffer;
    qint64 cells = 0;
    for (;;) {
        const qsizetype kept = buffer.size();
        buffer.resize(kept + kPiece);
        const qint64 got = file.read(buffer.data() + kept, kPiece);
        buffer.resize(kept + qsizetype(std::max<qint64>(got, 0)));
        const bool last = got <= 0;
        const char* const begin = buffer.constData();
        const char* const end = begin + buffer.size();
        const char* p = begin;
        const char* carry = end;
        while ((p = static_cast<const char*>(memchr(p, '<', size_t(end - p))))) {
            const char* name = ++p;
            while (p < end && *p != ' ' && *p != '>' && *p != '/' && *p != '\t' && *p != '\r' &&
                   *p != '\n' && *p != '<')
                ++p;
            if (p == end && !last) {
                if (p - name < kLongestName) carry = name - 1;
                break;
            }
            const QByteArrayView n(name, p - name);
            if (n == "Cell" || n.endsWith(":Cell")) ++cells;
        }
        if (last) return cells;
        buffer.remove(0, carry - begin);
    }
}

bool HasSpreadsheetXmlRoot(const QString& path) {
    QString name;
    return XmlDocument::peekRootName(path, &name) && localName(name) == u"Workbook";
}

namespace {

SpreadsheetXmlImport importWorkbook(CReportHandle& report, const QString& path,
                                    const CSpreadsheetXmlDoc::ResizeTable& resize) {
    SpreadsheetXmlImport out;
    auto failed = [&out](const QString& why) {
        out.error = LoadErrorText(str::kUnsupportedXml) + (why.isEmpty() ? QString() : u'\n' + why);
        return out;
    };
    if (!report.IsOpen()) return failed(LoadErrorText(str::kNoReportOpen));
    // A workbook larger than a workbook file may be is refused before its
    // tree takes memory, as the .xlsx reader refuses one.
    if (CountSpreadsheetXmlCells(path) > XlsxReadLimits().maxCells)
        return failed(LoadErrorText(str::kNameAndText).arg(path, LoadErrorText(str::kWorkbookTooLarge)));
    // The cells are never held as a tree: the file is read twice, row by
    // row. The first reading keeps everything but the tables' rows (styles,
    // names, settings) and measures the first worksheet's table; the second
    // hands that table's columns and rows to the reader one at a time.
    // Memory then follows what the report keeps, not the file.
    CSpreadsheetXmlDoc reader;
    CSpreadsheetXmlDoc::TableExtent held;
    XmlNode firstTable;  // of the reading under way
    const auto firstSheetTable = [&firstTable](const XmlNode& table) {
        if (!IsSpreadsheetElement(table, u"Table")) return false;
        const XmlNode sheet = table.parent();
        const XmlNode root = sheet.parent();
        if (firstTable.isNull() && IsSpreadsheetElement(sheet, u"Worksheet") &&
            root.parent().type() == XmlNode::Type::Document && SpreadsheetChild(root, u"Worksheet") == sheet &&
            SpreadsheetChild(sheet, u"Table") == table)
            firstTable = table;
        // Every table's rows are let go as they are read.
        return true;
    };
    const auto parseFailed = [&](const QString& loadError) {
        return failed(loadError.isEmpty() ? path : path + QStringLiteral(": ") + loadError);
    };
    QString loadError;
    XmlDocument doc;
    try {
        doc = XmlDocument::loadThinned(
            path, QByteArrayLiteral("Table"), firstSheetTable,
            [&](const XmlNode& child) {
                if (child.parent() == firstTable) held.add(child);
            },
            &loadError);
    } catch (const XmlError& e) {
        return failed(QStringLiteral("%1: %2").arg(path, e.message()));
    }
    if (doc.isNull()) return parseFailed(loadError);
    const XmlNode root = doc.documentElement();
    if (!IsSpreadsheetElement(root, u"Workbook"))
        return failed(LoadErrorText(str::kNameAndText).arg(path, LoadErrorText(str::kUnsupportedXml)));
    const QList<XmlNode> sheets = SpreadsheetChildren(root, u"Worksheet");
    if (sheets.isEmpty()) return failed(LoadErrorText(str::kNameAndText).arg(path, LoadErrorText(str::kWorkbookHasNoSheets)));

    reader.SetRootElement(root);
    reader.SetResizeCallback(resize);
    if (!report.IsFormatState()) report.EnterFormatState();
    try {
        if (reader.BeginWorksheetTable(sheets.first(), &report, 1, held)) {
            firstTable = XmlNode();
            const XmlDocument again = XmlDocument::loadThinned(
                path, QByteArrayLiteral("Table"), firstSheetTable,
                [&](const XmlNode& child) {
                    if (child.parent() == firstTable) reader.ReadTableChild(child);
                },
                &loadError);
            // The file changed between the readings.
            if (again.isNull()) return parseFailed(loadError);
            reader.EndWorksheetTable();
#ifdef __GLIBC__
            // The rows read and freed between the kept labels go back to
            // the system before the report is saved.
            malloc_trim(0);
#endif
        }
    } catch (const XmlError& e) {
        // Nothing is kept: the caller's report is a new one it drops.
        return failed(QStringLiteral("%1: %2").arg(path, e.message()));
    }
    if (report.EnterDataState() != 0) return failed(LoadErrorText(str::kCannotSetUpReportFormat));
    if (report.GetPageCount() < 1) report.AppendRowColPage(1, 2);
    report.SetCurPage(1);
    for (const CSpreadsheetXmlDoc::Figure& f : reader.Figures())
        if (const uint16_t s = report.SetCellValue(CellValue::ofNumber(f.number), f.row, f.col, 1))
            return failed(QStringLiteral("%1: %2").arg(path, StatusText(s)));

    out.ok = true;
    out.leftOut = reader.LeftOutCells();
    out.cutTexts = reader.CutTexts();
    out.firstCutText = reader.FirstCutText();
    for (qsizetype i = 1; i < sheets.size(); ++i) {
        const QString name = SpreadsheetAttributeText(sheets[i], u"Name");
        out.otherSheets << (name.isEmpty() ? QStringLiteral("#%1").arg(i + 1) : name);
    }
    out.sampleId = reader.GetSampleId();
    out.sampleName = reader.GetSampleName();
    out.periodKind = reader.GetPeriodKind();
    return out;
}

}  // namespace

SpreadsheetXmlImport ImportSpreadsheetXml(CReportHandle& report, const QString& path,
                                          const CSpreadsheetXmlDoc::ResizeTable& resize) {
    try {
        return importWorkbook(report, path, resize);
    } catch (const std::bad_alloc&) {
        // A workbook too large for the memory there is is a file that
        // cannot be read, not the end of the program.
        SpreadsheetXmlImport out;
        out.error = LoadErrorText(str::kUnsupportedXml) + QLatin1Char('\n') +
                    LoadErrorText(str::kNameAndText).arg(path, StatusText(Status::OutOfMemory));
        return out;
    }
}

}  // namespace qor

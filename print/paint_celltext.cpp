#include "print/paint_celltext.h"

#include <algorithm>

#include "document/cqorsdoc.h"
#include "engine/messages.h"
#include "engine/textutil.h"

namespace qor::view {

namespace {

constexpr uint32_t kCentre = CQorsDoc::kDrawCentre;
constexpr uint32_t kRight = CQorsDoc::kDrawRight;
constexpr uint32_t kVCentre = CQorsDoc::kDrawVCentre;
constexpr uint32_t kBottom = CQorsDoc::kDrawBottom;
constexpr uint32_t kWordBreak = CQorsDoc::kDrawWordBreak;

// A line placed by the horizontal flags (its width measured once).
CellTextLine placed(const QString& line, int width, uint32_t format, const items::Rect& r,
                    int baseline) {
    int x = r.left;
    if (format & kCentre)
        x = (r.left + r.right) / 2 - width / 2;
    else if (format & kRight)
        x = r.right - width;
    return {line, x, baseline, width};
}

}  // namespace

FontTextMetrics::FontTextMetrics(const QFontMetrics& fm) : m_fm(fm) {
    const QChar han(0x4E2D);
    m_average = fm.inFont(han) ? fm.horizontalAdvance(han) / 2 : fm.averageCharWidth();
    if (m_average < 1) m_average = 1;
}

namespace {

// A character whose advance does not depend on its neighbours once kerning
// is off: not a mark, not a surrogate, not of a script that is shaped.
bool isSimpleChar(char16_t c) {
    if (c < 0x0300) return c >= 0x20;
    if (c < 0x0370) return false;                 // combining marks
    if (c < 0x0590) return true;                  // Greek, Cyrillic
    if (c < 0x1100) return false;                 // Hebrew, Arabic, Indic, Thai ...
    if (c >= 0xD800 && c < 0xE000) return false;  // surrogates
    if (c >= 0xFE00 && c < 0xFE10) return false;  // variation selectors
    if (c >= 0xFE20 && c < 0xFE30) return false;  // combining half marks
    return !(c >= 0x1AB0 && c < 0x1B00) && !(c >= 0x1DC0 && c < 0x1E00) &&
           !(c >= 0x20D0 && c < 0x2100) && !(c >= 0x302A && c < 0x3030);
}

}  // namespace

int FontTextMetrics::width(const QString& text) const {
    int sum = 0;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (!isSimpleChar(c)) return m_fm.horizontalAdvance(text);
        auto it = m_advances.constFind(c);
        if (it == m_advances.constEnd()) it = m_advances.insert(c, m_fm.horizontalAdvance(ch));
        sum += *it;
    }
    return sum;
}

CellTextSource ChooseCellText(const CellTextFacts& f) {
    if (f.formulaState == 2) return CellTextSource::kErrorLabel;
    if (!f.dataState && f.formulaState == 1 && !f.combinedArea)
        return f.printing ? CellTextSource::kNone : CellTextSource::kFormulaLabel;
    switch (f.kind) {
        case 2:
            return f.dataState ? CellTextSource::kText : CellTextSource::kNone;
        case 3:
            return f.dataOnly ? CellTextSource::kNone : CellTextSource::kLabel;
        default:
            return f.dataState ? CellTextSource::kNumber : CellTextSource::kNone;
    }
}

QString FormatNumberCell(const CQorsDoc& doc, int row, int col) {
    double value = 0;
    if (!doc.GetNumCellValue(row, col, &value)) return QString();
    int thousands = 0, percent = 0, currency = 0, decimals = 0;
    doc.GetCellFont(row, col, &thousands, &percent, &currency, &decimals);
    return FormatNumberText(value, percent != 0, thousands != 0, currency != 0, decimals);
}

QString CellDisplayText(const CQorsDoc& doc, int row, int col, const CellTextFacts& facts) {
    QString text;
    switch (ChooseCellText(facts)) {
        case CellTextSource::kNone:
            break;
        case CellTextSource::kFormulaLabel:
            text = LoadErrorText(str::kFormulaCellLabel);
            break;
        case CellTextSource::kErrorLabel:
            text = LoadErrorText(str::kBadFormulaLabel);
            break;
        case CellTextSource::kNumber:
            text = FormatNumberCell(doc, row, col);
            break;
        case CellTextSource::kText:
            if (!doc.GetCharCellText(row, col, &text)) text.clear();
            break;
        case CellTextSource::kLabel:
            if (!doc.GetStyleCellText(row, col, &text)) text.clear();
            break;
    }
    return text;
}

CellTextLayout LayoutCellText(const QString& text, int kind, uint32_t format, const items::Rect& r,
                              const TextMetrics& m) {
    CellTextLayout out;
    const int cellWidth = r.right - r.left;
    const int cellHeight = r.bottom - r.top;
    // A cell of two pixels or less has no inside left once its frame is
    // taken off; the wrapping arithmetic below divides by that width.
    if (text.isEmpty() || cellWidth <= 0 || cellHeight <= 0) return out;
    const int h = std::max(1, m.height());

    if (!(format & kWordBreak)) {
        QString shown = text;
        int width = m.width(text);
        if (kind == 1 && width > cellWidth) {
            shown = QString(text.size(), QLatin1Char('#'));
            width = m.width(shown);
        }
        int top = r.top;
        if (format & kVCentre)
            top = (r.bottom - h + r.top) / 2;
        else if (format & kBottom)
            top = r.bottom - h;
        out.lines.push_back(placed(shown, width, format, r, top + m.ascent()));
        return out;
    }

    QString shown = text;
    shown.remove(QLatin1Char('\r'));
    if (qint64(m.width(shown)) * h > qint64(cellWidth) * cellHeight) {
        for (QChar& c : shown)
            if (c != QLatin1Char('\n')) c = QLatin1Char('#');
    }
    // Break where the room left on the line is less than the character just
    // placed; a Chinese character counts two average widths. A character
    // never counts less than it draws, so a line cannot run past the cell.
    std::vector<QString> lines;
    QString line;
    int used = 0;
    const int average = std::max(1, m.averageCharWidth());
    for (const QChar c : shown) {
        if (c == QLatin1Char('\n')) {
            lines.push_back(line);
            line.clear();
            used = 0;
            continue;
        }
        const int w = std::max(c.unicode() < 0x800 ? average : 2 * average, m.width(QString(c)));
        line += c;
        used += w;
        if (cellWidth - used < w) {
            lines.push_back(line);
            line.clear();
            used = 0;
        }
    }
    if (!line.isEmpty()) lines.push_back(line);

    int top = r.top;
    if (format & kVCentre) top = (r.bottom - int(lines.size()) * h + r.top) / 2;
    for (const QString& l : lines) {
        if (!l.isEmpty()) out.lines.push_back(placed(l, m.width(l), format, r, top + m.ascent()));
        top += h;
    }
    return out;
}

CellTextLayout LayoutKeywordText(const QString& text, uint32_t format, const items::Rect& r,
                                 const TextMetrics& m) {
    CellTextLayout out;
    out.clip = false;
    if (text.isEmpty()) return out;
    const int h = std::max(1, m.height());
    int top = r.top;
    if (format & kVCentre)
        top = (r.bottom - h + r.top) / 2;
    else if (format & kBottom)
        top = r.bottom - h;
    const int width = m.width(text);
    const int x = (format & kRight) ? r.right - width : r.left;
    out.lines.push_back({text, x, top + m.ascent(), width});
    return out;
}

uint32_t KeywordDrawFormat(uint32_t cellFormat, int slot) {
    uint32_t f = cellFormat & ~kCentre;
    if (slot <= 1)
        f &= ~kRight;
    else
        f |= kRight;
    return f;
}

}  // namespace qor::view

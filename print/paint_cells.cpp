#include "print/paint_cells.h"

#include <QLoggingCategory>
#include <QPainterPath>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "print/paint_style.h"

Q_LOGGING_CATEGORY(lcViewPaint, "qor.view.paint")

namespace qor::view {

namespace {

items::Rect shrunk(const items::Rect& r) {
    return {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
}

bool sameFont(const FontDesc& a, const FontDesc& b) {
    return a.height == b.height && a.weight == b.weight && a.italic == b.italic &&
           a.underline == b.underline && a.face == b.face;
}

}  // namespace

CellDrawer::CellDrawer(QPainter& painter, const CQorsDoc& doc, const CellDrawOptions& options)
    : m_painter(painter), m_doc(doc), m_options(options), m_dataState(doc.IsDataState()) {}

CellDrawer::~CellDrawer() = default;

const CellDrawer::FontEntry& CellDrawer::CellFont(int row, int col) {
    FontDesc fd;
    if (!BuildCellFont(m_doc, row, col, m_options.fontScale, &fd)) {
        // Painting must go on: the text takes the painter's font, and the
        // failure is written down once rather than asked about mid-paint.
        if (!m_fallback) {
            qCWarning(lcViewPaint)
                << "cell font of" << row << col << "not available; the sheet font is used";
            m_fallback = std::make_unique<FontEntry>();
            m_fallback->font = m_painter.font();
            m_fallback->metrics = std::make_unique<FontTextMetrics>(QFontMetrics(m_fallback->font));
        }
        return *m_fallback;
    }
    for (const auto& e : m_fonts)
        if (sameFont(e->fd, fd)) return *e;
    auto e = std::make_unique<FontEntry>();
    e->fd = fd;
    e->font = MakeFont(fd);
    e->metrics = std::make_unique<FontTextMetrics>(QFontMetrics(e->font, m_painter.device()));
    m_fonts.push_back(std::move(e));
    return *m_fonts.back();
}

void CellDrawer::DrawCell(int row, int col, const items::Rect& rect) {
    if (!m_options.dataOnly) {
        DrawCellFill(row, col, rect, true);
        const uint16_t code = m_doc.GetCellLineStyle(row, col);
        if (code) DrawCellBorders(rect, code);
    }
    const int kind = m_doc.GetCellKind(row, col);
    const QString text = CellText(row, col, kind, false);
    if (!text.isEmpty()) DrawCellText(row, col, shrunk(rect), text, kind);
}

void CellDrawer::DrawCellFill(int row, int col, const items::Rect& r, bool skipWhite) {
    int pattern = 0;
    uint32_t back = kRefWhite;
    m_doc.GetCellBackPattern(row, col, &pattern, &back);
    const bool white = back == kRefWhite;
    if (white && pattern == 0 && (skipWhite || m_options.printing)) return;

    QRect fill;
    if (m_options.printing)
        fill = QRect(r.left, r.top, r.width() + 1, r.height() + 1);
    else if (skipWhite)
        fill = QRect(r.left, r.top, r.width(), r.height());
    else
        fill = QRect(r.left + 1, r.top + 1, r.width() - 1, r.height() - 1);
    if (fill.isEmpty()) return;
    if (!white)
        m_painter.fillRect(fill, ColorFromRef(back));
    else if (!skipWhite && !m_options.printing)
        m_painter.fillRect(fill, Qt::white);
    if (pattern != 0) {
        const Qt::BrushStyle style = PatternBrushStyle(pattern);
        if (style != Qt::NoBrush) m_painter.fillRect(fill, QBrush(Qt::black, style));
    }
}

void CellDrawer::DrawCellBorders(const items::Rect& r, uint16_t code) {
    struct Edge {
        int shift;
        int x1, y1, x2, y2;
    };
    const Edge edges[4] = {
        {0, r.right, r.top, r.right, r.bottom},
        {8, r.left, r.bottom, r.right, r.bottom},
        {4, r.left, r.top, r.left, r.bottom},
        {12, r.left, r.top, r.right, r.top},
    };
    for (const Edge& e : edges) {
        const int c = code >> e.shift & 15;
        if (c == 0) continue;
        const QPen pen = CellLinePen(c, m_options.printing);
        if (pen.style() == Qt::NoPen) continue;
        m_painter.setPen(pen);
        m_painter.drawLine(e.x1, e.y1, e.x2, e.y2);
    }
}

QString CellDrawer::CellText(int row, int col, int kind, bool combinedArea) const {
    CellTextFacts facts;
    facts.dataState = m_dataState;
    facts.printing = m_options.printing;
    facts.dataOnly = m_options.dataOnly;
    facts.kind = kind;
    facts.combinedArea = combinedArea;
    facts.formulaState = m_doc.GetCellFormulaState(row, col);
    return CellDisplayText(m_doc, row, col, facts);
}

QColor CellDrawer::textColour(int row, int col, int kind) const {
    return ColorFromRef(m_options.kindColours ? KindColorRef(kind)
                                              : m_doc.GetCellForeColor(row, col));
}

void CellDrawer::drawLayout(const CellTextLayout& layout, const items::Rect& clip,
                            const FontEntry& f, QColor colour) {
    if (layout.lines.empty()) return;
    // Most cells share a font and a colour; telling the painter again each
    // time would cost as much as the drawing.
    if (m_currentFont != &f) {
        m_painter.setFont(f.font);
        m_currentFont = &f;
    }
    const QPen& pen = m_painter.pen();
    if (pen.color() != colour || pen.style() != Qt::SolidLine || pen.widthF() > 1.0)
        m_painter.setPen(QPen(colour, 0));
    const int ascent = f.metrics->ascent();
    const int descent = f.metrics->height() - ascent;
    for (const CellTextLine& line : layout.lines) {
        const QPoint at(line.x, line.baseline);
        if (!layout.clip) {
            m_painter.drawText(at, line.text);
            continue;
        }
        const bool fits = line.x >= clip.left && line.x + line.width <= clip.right &&
                          line.baseline - ascent >= clip.top &&
                          line.baseline + descent <= clip.bottom;
        if (fits) {
            m_painter.drawText(at, line.text);
            continue;
        }
        m_painter.save();
        m_painter.setClipRect(QRect(clip.left, clip.top, clip.width(), clip.height()),
                              Qt::IntersectClip);
        m_painter.drawText(at, line.text);
        m_painter.restore();
    }
}

void CellDrawer::DrawCellText(int row, int col, const items::Rect& rect, const QString& text,
                              int kind) {
    if (text.isEmpty()) return;
    const FontEntry& f = CellFont(row, col);
    const uint32_t format = m_doc.GetCellDrawFormat(row, col);
    const CellTextLayout layout = LayoutCellText(text, kind, format, rect, *f.metrics);
    drawLayout(layout, rect, f, textColour(row, col, kind));
}

void CellDrawer::DrawCombinedArea(const CellArea& area, const items::Rect& rect) {
    const int row = area.first.row;
    const int col = area.first.col;
    if (!m_options.dataOnly) {
        DrawCellFill(row, col, rect, false);
        const uint16_t code = m_doc.GetCellLineStyle(row, col);
        if (code) DrawCellBorders(rect, code);
    }
    const int kind = m_doc.GetCellKind(row, col);
    const QString text = CellText(row, col, kind, true);
    if (!text.isEmpty()) DrawCellText(row, col, shrunk(rect), text, kind);
}

void CellDrawer::DrawAreaLine(int code, bool topLeftToBottomRight, const items::Rect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const QPen pen = CellLinePen(code, m_options.printing);
    if (pen.style() == Qt::NoPen) return;
    m_painter.setPen(pen);
    if (topLeftToBottomRight)
        m_painter.drawLine(r.left, r.top, r.right, r.bottom);
    else
        m_painter.drawLine(r.left, r.bottom, r.right, r.top);
}

std::vector<QPoint> CheckMarkPoints(const items::Rect& r) {
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    return {
        {r.right, r.top},
        {r.left + w / 2, r.top + h / 6},
        {r.left + w / 3, r.top + h / 3},
        {r.left + w / 2, r.top + h / 2},
        {r.left + 2 * w / 3, r.top + 2 * h / 3},
        {r.left + w / 2, r.top + 5 * h / 6},
        {r.left, r.bottom},
    };
}

void CellDrawer::DrawCheckMark(const items::Rect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    const std::vector<QPoint> p = CheckMarkPoints(r);
    QPainterPath path(p[0]);
    path.cubicTo(p[1], p[2], p[3]);
    path.cubicTo(p[4], p[5], p[6]);
    QPen pen(Qt::black);
    pen.setWidthF(m_options.printing ? 0.75 : 1.0);
    m_painter.setPen(pen);
    m_painter.setBrush(Qt::NoBrush);
    m_painter.drawPath(path);
}

void CellDrawer::DrawKeywordText(int slot, int row, int col, const items::Rect& rect, int offset,
                                 const QString& text) {
    if (text.isEmpty()) return;
    const FontEntry& f = CellFont(row, col);
    const uint32_t format = KeywordDrawFormat(m_doc.GetCellDrawFormat(row, col), slot);
    const items::Rect moved{rect.left + offset, rect.top, rect.right + offset, rect.bottom};
    const CellTextLayout layout = LayoutKeywordText(text, format, moved, *f.metrics);
    drawLayout(layout, moved, f, ColorFromRef(kRefKeyword));
}

}  // namespace qor::view

// The row and column header strips of the sheet.

#include <QPalette>
#include <algorithm>
#include <cmath>

#include "document/cqorsdoc.h"
#include "engine/textutil.h"
#include "view/cellpainter.h"

namespace qor::view {

namespace {

const QColor kStripBrush(0xC0, 0xC0, 0xC0);  // the light grey of header cells
const QColor kDarkBrush(0x80, 0x80, 0x80);   // a selected whole row or column

void edge(QPainter& p, const QColor& colour, int x1, int y1, int x2, int y2) {
    QPen pen(colour);
    pen.setWidth(1);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(x1, y1, x2, y2);
}

}  // namespace

QFont CellPainter::headerFont(bool bold) const {
    FontDesc fd;
    fd.face = QStringLiteral("Tahoma");
    fd.height = int(std::trunc(double(m_geo->Scale()) * BaseHeaderMetrics().baseHeight * 0.75));
    fd.weight = bold ? kFontWeightBold : kFontWeightNormal;
    return MakeFont(fd);
}

void CellPainter::DrawHeaderCell(const HeaderCell& cell) {
    const items::Rect& r = cell.rect;
    if (r.width() <= 0 || r.height() <= 0) return;
    const bool wholeRows = m_doc.Selection().WholeRows() != 0;
    const bool wholeCols = m_doc.Selection().WholeColumns() != 0;
    const bool everything = wholeRows && wholeCols;
    const bool dark =
        cell.corner ? everything : cell.selected && (cell.columnStrip ? wholeCols : wholeRows);
    const QColor frame = ColorFromRef(kRefHeaderFrame);
    const QColor light = QPalette().color(QPalette::Light);

    m_p.fillRect(QRect(r.left, r.top, r.width(), r.height()), dark ? kDarkBrush : kStripBrush);
    QPen framePen(frame);
    framePen.setWidth(1);
    m_p.setPen(framePen);
    m_p.setBrush(Qt::NoBrush);
    m_p.drawRect(QRect(r.left, r.top, r.width() - 1, r.height() - 1));

    if (!cell.corner && !cell.label.isEmpty()) {
        QColor colour;
        bool bold = false;
        if (cell.varLine) {
            colour = ColorFromRef(kRefHeaderVarText);
        } else if (!cell.selected) {
            colour = ColorFromRef(kRefHeaderText);
        } else {
            colour = dark ? QColor(Qt::white) : ColorFromRef(kRefHeaderSelText);
            bold = true;
        }
        m_p.setFont(headerFont(bold));
        m_p.setPen(colour);
        m_p.drawText(QRect(r.left, r.top, r.width(), r.height()), Qt::AlignCenter, cell.label);
    }

    // Edges inside the frame give the raised look; a selected cell that is
    // not part of a whole row or column looks pressed in.
    const int l = r.left + 1, t = r.top + 1, rr = r.right - 1, b = r.bottom - 1;
    if (rr <= l || b <= t) return;
    if (cell.corner) {
        if (everything) {
            edge(m_p, frame, rr - 1, t, rr - 1, b);
            edge(m_p, frame, l, b - 1, rr, b - 1);
        } else {
            edge(m_p, light, l, t, l, b);
            edge(m_p, light, l, t, rr, t);
        }
    } else if (!cell.selected) {
        if (cell.columnStrip)
            edge(m_p, light, l, t, l, b);
        else
            edge(m_p, light, l, t, rr, t);
    } else if (!cell.columnStrip && wholeRows) {
        edge(m_p, light, l, b - 1, rr, b - 1);
    } else if (cell.columnStrip && wholeCols) {
        edge(m_p, light, rr - 1, t, rr - 1, b);
    } else {
        edge(m_p, light, l, t, l, b);
        edge(m_p, light, l, t, rr, t);
        edge(m_p, Qt::black, l, b - 1, rr, b - 1);
        edge(m_p, Qt::black, rr - 1, t, rr - 1, b);
        edge(m_p, Qt::black, l, b, rr + 1, b);
        edge(m_p, Qt::black, rr, t, rr, b + 1);
        edge(m_p, frame, l + 1, b - 2, rr - 1, b - 2);
        edge(m_p, frame, rr - 2, t + 1, rr - 2, b - 1);
    }
}

int CellPainter::DrawHeaderStrip(bool columns) {
    const int hw = m_geo->HeaderWidth();
    const int hh = m_geo->HeaderHeight();
    const QRect strip =
        columns ? QRect(0, 0, m_client.width(), hh) : QRect(0, 0, hw, m_client.height());
    const bool draw = !m_printing && !strip.isEmpty() && strip.intersects(m_clip);
    if (draw) {
        m_p.fillRect(strip, kStripBrush);
        HeaderCell corner;
        corner.corner = true;
        corner.columnStrip = columns;
        corner.rect = {0, 0, hw + 1, hh + 1};
        DrawHeaderCell(corner);
    }

    const CellArea sel = m_geo->ViewArea(m_doc.Selection().Area());
    const VarAreaInfo& var = m_geo->VarArea();
    const bool area = columns ? m_geo->HasColumnArea() : m_geo->HasRowArea();
    const int last = columns ? m_geo->LastColumn() : m_geo->LastRow();
    const int end = columns ? strip.right() + 1 : strip.bottom() + 1;
    const int dragged =
        !m_req.drag.active ? -1
        : columns
            ? (m_req.drag.hitCode >= 0 && m_req.drag.hitCode < 10000 ? m_req.drag.hitCode : -1)
            : (m_req.drag.hitCode >= 10000 && m_req.drag.hitCode < 20000
                   ? m_req.drag.hitCode - 10000
                   : -1);
    const int dragEnd =
        std::max(columns ? m_req.drag.xSizing : m_req.drag.ySizing, m_req.drag.sizingOld) + 1;

    int at = columns ? hw : hh;
    int i = columns ? m_geo->FirstColumn() : m_geo->FirstRow();
    int lastDrawn = -1;
    while (at < end) {
        if (i < 0 || i > last) {
            // The sheet ends inside the window: the rest of the strip is
            // plain, and the painted part stops here.
            if (columns) {
                m_result.columnsEnd = true;
                m_result.clipRight = at;
            } else {
                m_result.rowsEnd = true;
                m_result.clipBottom = at - 1;
            }
            break;
        }
        int size = columns ? m_geo->GetColumnWidthPixels(i) : m_geo->GetRowHeightPixels(i);
        int cellEnd = at + size + 1;
        if (i == dragged) {
            cellEnd = dragEnd;
            size = std::max(0, cellEnd - 1 - at);
        }
        if (draw) {
            HeaderCell cell;
            cell.columnStrip = columns;
            // Numbered as the name box, the formulas and the dialogs count:
            // the area's hidden band takes no number.
            const int docLine = columns ? m_geo->DocColumn(i) : m_geo->DocRow(i);
            if (docLine >= 0) cell.label = columns ? ColumnToLetters(docLine) : QString::number(docLine + 1);
            cell.selected = columns ? (i >= sel.first.col && i <= sel.last.col)
                                    : (i >= sel.first.row && i <= sel.last.row);
            cell.varLine = area && i >= var.start && i <= var.start + m_geo->VarShown();
            cell.rect =
                columns ? items::Rect{at, 0, cellEnd, hh + 1} : items::Rect{0, at, hw + 1, cellEnd};
            DrawHeaderCell(cell);
        }
        lastDrawn = i;
        at += size;
        i = columns ? m_geo->StepColumn(i, false) : m_geo->StepRow(i, false);
    }
    return lastDrawn;
}

}  // namespace qor::view

// What is drawn over the cells: page-break lines, the items and the
// selection.

#include <QPainterPath>
#include <algorithm>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "view/cellpainter.h"
#include "view/ctracker.h"
#include "print/viewitems_logic.h"

namespace qor::view {

namespace {

// The selection used to be shown by inverting the screen through a
// 0xBEA6A6 pattern; this colour over white gives the same bluish grey
// (166, 166, 190), and the outline the same dark line.
const QColor kSelectionOverlay(0, 0, 69, 89);
const QColor kSelectionOutline(0x59, 0x59, 0x41);

QRect toQRect(const items::Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// The view an item asks when it sets up its tracker.
class PaintItemView final : public items::IItemView {
public:
    PaintItemView(const SheetGeometry& geo, const PaintRequest& req) : m_geo(geo), m_req(req) {}
    items::Rect DocToClient(const items::Rect& r) const override {
        items::Rect out = r;
        m_geo.DocToClient(out);
        return out;
    }
    const CComItem* SelectedItem() const override { return m_req.selectedItem; }
    bool IsChartEditing() const override { return m_req.chartEditing; }

private:
    const SheetGeometry& m_geo;
    const PaintRequest& m_req;
};


}  // namespace

// ---------------------------------------------------------------------------
// Page breaks

std::vector<BreakLine> CellPainter::PageBreakLines() const {
    std::vector<BreakLine> lines;
    if (!m_doc.ViewState().showPageBreaks) return lines;
    const int hw = m_geo->HeaderWidth();
    const int hh = m_geo->HeaderHeight();
    const int right = m_client.right() + 1;
    const int bottom = m_client.bottom() + 1;
    const int firstRow = m_geo->FirstRow();
    const int firstCol = m_geo->FirstColumn();
    auto rowTop = [&](int row) { return hh + m_geo->GetRowDistance(firstRow, row); };
    auto colLeft = [&](int col) { return hw + m_geo->GetColumnDistance(firstCol, col); };

    // A manual break b ends a page after line b: its line is the top of
    // b + 1, drawn only below the header (a line on the header's edge would
    // belong to a row scrolled out of sight).
    for (const PageBreakEntry& e : m_doc.ViewState().manualBreaks) {
        if (e.row >= firstRow && e.row < m_result.lastRow) {
            const int y = rowTop(e.row + 1);
            if (y > hh) lines.push_back({QLine(hw, y, right, y), true});
        }
        if (e.col >= firstCol && e.col < m_result.lastCol) {
            const int x = colLeft(e.col + 1);
            if (x > hw) lines.push_back({QLine(x, hh, x, bottom), true});
        }
    }

    // Automatic breaks name the first line of the next page. Each list ends
    // at its own first empty entry; the array is never read past its size,
    // whatever its capacity field says.
    const size_t count = std::min(m_doc.ViewState().autoBreaks.size(),
                                  size_t(std::max<int32_t>(0, m_doc.ViewState().autoBreakCapacity)));
    for (size_t k = 0; k < count; ++k) {
        const int v = m_doc.ViewState().autoBreaks[k].row;
        if (v < 1) break;
        if (v < m_block.firstRow || v > m_block.lastRow) continue;
        const int y = rowTop(v);
        if (y > hh) lines.push_back({QLine(hw, y, right, y), false});
    }
    for (size_t k = 0; k < count; ++k) {
        const int v = m_doc.ViewState().autoBreaks[k].col;
        if (v < 1) break;
        if (v < m_block.firstCol || v > m_block.lastCol) continue;
        const int x = colLeft(v);
        if (x > hw) lines.push_back({QLine(x, hh, x, bottom), false});
    }
    return lines;
}

void CellPainter::DrawPageBreaks() {
    const std::vector<BreakLine> lines = PageBreakLines();
    if (lines.empty()) return;
    // White first, so the dashes stand on white rather than on the grid.
    QPen white(Qt::white);
    white.setWidth(1);
    white.setCapStyle(Qt::FlatCap);
    m_p.setPen(white);
    for (const BreakLine& b : lines) m_p.drawLine(b.line);
    QPen manual(Qt::black);
    manual.setWidth(1);
    manual.setCapStyle(Qt::FlatCap);
    manual.setDashPattern({9, 3, 3, 3, 3, 3});
    QPen automatic = manual;
    automatic.setDashPattern({3, 3});
    for (const BreakLine& b : lines) {
        m_p.setPen(b.manual ? manual : automatic);
        m_p.drawLine(b.line);
    }
}

// ---------------------------------------------------------------------------
// Items

QRegion CellPainter::ItemRegion() const {
    QRegion region;
    const uint32_t page = CurrentItemPage(m_doc);
    PaintItemView view(*m_geo, m_req);
    CQorsDoc::ItemPos pos = m_doc.Items().GetFirstComItemPos();
    while (pos) {
        CComItem* item = m_doc.Items().GetNextComItem(pos);
        if (!item || item->IsTransparent()) continue;
        if (item->GetPage() != page && item->GetPage() != 0) continue;
        items::ItemTracker tracker;
        items::Rect trueRect = view.DocToClient(item->GetRect());
        item->SetupTracker(&tracker, &view, &trueRect);
        region += toQRect(trueRect).normalized();
    }
    return region;
}

void CellPainter::drawItemTracker(CComItem* item) {
    PaintItemView view(*m_geo, m_req);
    items::ItemTracker tracker;
    items::Rect trueRect;
    item->SetupTracker(&tracker, &view, &trueRect);
    const bool selected = item == m_req.selectedItem;
    if (tracker.style == 0 || (!selected && !item->HasBorder())) return;
    // Drawn by the tracker itself, so the handles the user sees are the
    // ones its hit test finds.
    CRectTrackerEx(tracker).Draw(&m_p);
}

void CellPainter::DrawItems() {
    if (m_geo->ExtentWidth() < 10 || m_geo->ExtentHeight() < 10) return;
    const uint32_t page = CurrentItemPage(m_doc);
    CQorsDoc::ItemPos pos = m_doc.Items().GetFirstComItemPos();
    while (pos) {
        CComItem* item = m_doc.Items().GetNextComItem(pos);
        if (!item) continue;
        if (item->GetPage() != page && item->GetPage() != 0) continue;
        items::Rect rect = item->GetRect();
        m_geo->DocToClient(rect);
        const QRect qr = toQRect(rect).normalized();
        if (!item->IsTransparent()) m_p.fillRect(qr, Qt::white);
        const bool editing = item == m_req.selectedItem && m_req.chartEditing;
        if (!editing && qr.intersects(m_clip)) {
            if (m_req.refreshItem) m_req.refreshItem(item);
            m_p.save();
            item->Draw(&m_p, rect);
            m_p.restore();
            // An item with nothing to show yet still marks its place.
            const auto* chart = item->IsKindOf(&CGraphItem::classCGraphItem)
                                    ? static_cast<const CGraphItem*>(item)
                                    : nullptr;
            if (chart && (!chart->GetPicture() || chart->GetPicture()->isNull())) {
                m_p.save();
                m_p.setPen(QPen(Qt::gray, 1));
                m_p.setBrush(Qt::NoBrush);
                m_p.drawRect(qr.adjusted(0, 0, -1, -1));
                m_p.restore();
            }
        }
        if (!m_printing) {
            drawItemTracker(item);
        } else if (item->HasBorder()) {
            m_p.save();
            m_p.setPen(QPen(Qt::black, 0));
            m_p.setBrush(Qt::NoBrush);
            m_p.drawRect(qr.adjusted(0, 0, -1, -1));
            m_p.restore();
        }
    }
}

// ---------------------------------------------------------------------------
// Selection

void CellPainter::DrawSelection() {
    if (m_geo->LastRow() < 0 || m_geo->LastColumn() < 0) return;
    const int curRow = m_geo->SnapRow(m_geo->ViewRow(m_doc.Selection().CurrentRow()));
    const int curCol = m_geo->SnapColumn(m_geo->ViewColumn(m_doc.Selection().CurrentColumn()));
    CellArea current = CellArea::cell(curRow, curCol);
    CellArea docArea;
    const int dr = m_geo->DocRow(curRow), dc = m_geo->DocColumn(curCol);
    if (dr >= 0 && dc >= 0 && m_doc.GetCombinedArea(dr, dc, &docArea))
        current = m_geo->ViewArea(docArea);
    // The selection shows at least the whole current block; widening the
    // document's selection itself is the selection commands' business.
    CellArea sel = m_geo->ViewArea(m_doc.Selection().Area());
    sel.first.row = std::min(sel.first.row, current.first.row);
    sel.first.col = std::min(sel.first.col, current.first.col);
    sel.last.row = std::max(sel.last.row, current.last.row);
    sel.last.col = std::max(sel.last.col, current.last.col);

    auto areaRect = [this](const CellArea& a) {
        const items::Rect p = GetCellClientRectEx(a.first.row, a.first.col);
        const items::Rect q = GetCellClientRectEx(a.last.row, a.last.col);
        return QRect(QPoint(p.left, p.top), QPoint(q.right - 1, q.bottom - 1));
    };
    const QRect reach = m_client.adjusted(-10, -10, 10, 10);
    const QRect selRect = areaRect(sel) & reach;
    if (selRect.isEmpty()) return;
    const QRect curRect = areaRect(current) & reach;
    const bool oneBlock = sel == current;

    m_p.save();
    const int hw = m_geo->HeaderWidth(), hh = m_geo->HeaderHeight();
    QRegion clip = QRegion(QRect(hw, hh, kFarLimit, kFarLimit));
    clip -= ItemRegion();
    m_p.setClipRegion(clip, Qt::IntersectClip);

    // Over the selection but not over the current block, which keeps its
    // look and gets a frame of its own.
    QRegion fill(selRect.adjusted(-1, -1, 2, 2));
    if (!oneBlock && !curRect.isEmpty()) fill -= QRegion(curRect.adjusted(0, 0, 1, 1));
    for (const QRect& r : fill) m_p.fillRect(r, kSelectionOverlay);

    QPen outline(kSelectionOutline);
    outline.setWidth(1);
    m_p.setPen(outline);
    m_p.setBrush(Qt::NoBrush);
    const QRect o = selRect.adjusted(2, 2, -2, -2);
    if (o.width() > 0 && o.height() > 0) m_p.drawRect(o);

    if (!oneBlock && !curRect.isEmpty()) {
        QPen pen(Qt::black);
        pen.setWidth(1);
        m_p.setPen(pen);
        const int l = curRect.left(), t = curRect.top();
        const int r = curRect.right() + 1, b = curRect.bottom() + 1;
        const QPoint corners[4] = {{l, t}, {r, t}, {r, b}, {l, b}};
        m_p.drawPolyline(corners, 4);
    }
    m_p.restore();
}

}  // namespace qor::view

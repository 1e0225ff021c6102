#include "view/input_logic.h"

#include <algorithm>

namespace qor::view {

namespace {

// The line under a client coordinate, walking from the first visible one;
// -1 past the last line. start is where the first line begins.
struct LineHit {
    int index = -1;
    int from = 0, to = 0;
};

template <typename SizeOf, typename Step>
LineHit hitLine(int pos, int start, int first, SizeOf sizeOf, Step step) {
    LineHit h;
    int edge = start;
    for (int i = first; i >= 0; i = step(i)) {
        const int size = sizeOf(i);
        if (size > 0 && pos < edge + size) {
            h.index = i;
            h.from = edge;
            h.to = edge + size;
            return h;
        }
        edge += size;
    }
    return h;
}

CellArea unite(CellArea a, const CellArea& b) {
    a.first.row = std::min(a.first.row, b.first.row);
    a.first.col = std::min(a.first.col, b.first.col);
    a.last.row = std::max(a.last.row, b.last.row);
    a.last.col = std::max(a.last.col, b.last.col);
    return a;
}

bool contains(const CellArea& outer, const CellArea& inner) {
    return inner.first.row >= outer.first.row && inner.last.row <= outer.last.row &&
           inner.first.col >= outer.first.col && inner.last.col <= outer.last.col;
}

// A row (column) the current cell may land on: shown and not of size 0.
bool rowUsable(const SheetGeometry& geo, int row) {
    return !geo.IsRowHidden(row) && geo.StoredRowHeight(row) > 0;
}
bool columnUsable(const SheetGeometry& geo, int col) {
    return !geo.IsColumnHidden(col) && geo.StoredColumnWidth(col) > 0;
}

int stepUsableRow(const SheetGeometry& geo, int row, bool backward) {
    for (int r = geo.StepRow(row, backward); r >= 0; r = geo.StepRow(r, backward))
        if (rowUsable(geo, r)) return r;
    return -1;
}
int stepUsableColumn(const SheetGeometry& geo, int col, bool backward) {
    for (int c = geo.StepColumn(col, backward); c >= 0; c = geo.StepColumn(c, backward))
        if (columnUsable(geo, c)) return c;
    return -1;
}

}  // namespace

CellHit HitTestCell(const SheetGeometry& geo, QPoint p) {
    CellHit h;
    if (geo.LastRow() < 0 || geo.LastColumn() < 0) return h;
    const int first = geo.FirstRow(), firstCol = geo.FirstColumn();
    LineHit row, col;
    if (p.y() < geo.HeaderHeight()) {
        row = {first, geo.HeaderHeight(), geo.HeaderHeight() + geo.GetRowHeightPixels(first)};
    } else {
        row = hitLine(
            p.y(), geo.HeaderHeight(), first, [&](int r) { return geo.GetRowHeightPixels(r); },
            [&](int r) { return geo.StepRow(r, false); });
    }
    if (p.x() < geo.HeaderWidth()) {
        col = {firstCol, geo.HeaderWidth(), geo.HeaderWidth() + geo.GetColumnWidthPixels(firstCol)};
    } else {
        col = hitLine(
            p.x(), geo.HeaderWidth(), firstCol, [&](int c) { return geo.GetColumnWidthPixels(c); },
            [&](int c) { return geo.StepColumn(c, false); });
    }
    if (row.index < 0 || col.index < 0) return h;
    h.hit = true;
    h.row = row.index;
    h.col = col.index;
    h.rect = {col.from, row.from, col.to, row.to};
    h.prevRow = geo.StepRow(h.row, true);
    h.prevCol = geo.StepColumn(h.col, true);
    return h;
}

Hover HoverTarget(const SheetGeometry& geo, QPoint p, bool rowHeaders, bool columnHeaders) {
    Hover hv;
    const int hw = geo.HeaderWidth(), hh = geo.HeaderHeight();
    if (rowHeaders && p.x() <= hw && p.y() >= hh) {
        const CellHit h = HitTestCell(geo, QPoint(hw, p.y()));
        if (!h.hit) return hv;
        if (p.y() - h.rect.top <= kBorderGrab) {
            // The top edge belongs to the row above; a row of height 0 just
            // above the first visible one can still be pulled open here.
            const bool prevHidden = h.prevRow >= 0 && geo.GetRowHeightPixels(h.prevRow) == 0;
            if (h.row != geo.FirstRow() && h.prevRow >= 0) {
                hv.target = kTargetRowBorder + h.prevRow;
                hv.cursor = prevHidden ? HoverCursor::RowSplit : HoverCursor::RowResize;
            } else if (prevHidden) {
                hv.target = kTargetRowBorder + h.prevRow;
                hv.cursor = HoverCursor::RowSplit;
            }
            return hv;
        }
        if (h.rect.bottom - p.y() <= kBorderGrab) {
            hv.target = kTargetRowBorder + h.row;
            hv.cursor = HoverCursor::RowResize;
            return hv;
        }
        hv.target = kTargetRowHeader + h.row;
        hv.cursor = HoverCursor::HeaderSelect;
        return hv;
    }
    if (columnHeaders && p.x() >= hw && p.y() <= hh) {
        const CellHit h = HitTestCell(geo, QPoint(p.x(), hh));
        if (!h.hit) return hv;
        if (p.x() - h.rect.left <= kBorderGrab) {
            const bool prevHidden = h.prevCol >= 0 && geo.GetColumnWidthPixels(h.prevCol) == 0;
            if (h.col != geo.FirstColumn() && h.prevCol >= 0) {
                hv.target = h.prevCol;
                hv.cursor = prevHidden ? HoverCursor::ColumnSplit : HoverCursor::ColumnResize;
            } else if (prevHidden) {
                hv.target = h.prevCol;
                hv.cursor = HoverCursor::ColumnSplit;
            }
            return hv;
        }
        if (h.rect.right - p.x() <= kBorderGrab) {
            hv.target = h.col;
            hv.cursor = HoverCursor::ColumnResize;
            return hv;
        }
        hv.target = kTargetColumnHeader + h.col;
        hv.cursor = HoverCursor::HeaderSelect;
    }
    return hv;
}

int DraggedSize(int shownPixels, int movement, double scale, int limit) {
    if (!(scale > 0)) scale = kDefaultViewScale;
    const double v = double(shownPixels + movement) / scale;
    return std::clamp(int(v), 0, limit);
}

// ---------------------------------------------------------------------------

CellArea CellOrCombined(const CombinedLookup& combined, int row, int col) {
    if (combined)
        if (auto a = combined(row, col)) return *a;
    return CellArea::cell(row, col);
}

CellArea WidenToCombined(const CombinedLookup& combined, CellArea area) {
    if (!combined) return area;
    // A combined area reaching out of the rectangle crosses its border, so
    // the border cells are enough; repeat until nothing more joins.
    for (bool grown = true; grown;) {
        grown = false;
        auto look = [&](int r, int c) {
            if (auto a = combined(r, c); a && !contains(area, *a)) {
                area = unite(area, *a);
                grown = true;
            }
        };
        for (int c = area.first.col; c <= area.last.col && !grown; ++c) {
            look(area.first.row, c);
            look(area.last.row, c);
        }
        for (int r = area.first.row; r <= area.last.row && !grown; ++r) {
            look(r, area.first.col);
            look(r, area.last.col);
        }
    }
    return area;
}

CellArea ExtendToCell(const SheetGeometry& geo, const CombinedLookup& combined,
                      const Selection& sel, int row, int col, int mode) {
    CellArea a = unite(CellOrCombined(combined, sel.curRow, sel.curCol), CellArea::cell(row, col));
    if (mode == kTargetRows) {
        a.first.col = 0;
        a.last.col = int16_t(std::max(0, geo.LastColumn()));
    } else if (mode == kTargetColumns) {
        a.first.row = 0;
        a.last.row = int16_t(std::max(0, geo.LastRow()));
    }
    return WidenToCombined(combined, a);
}

CellArea ExtendByStep(const SheetGeometry& geo, const CombinedLookup& combined,
                      const Selection& sel, int dRow, int dCol) {
    const CellArea anchor = CellOrCombined(combined, sel.curRow, sel.curCol);
    CellArea raw = sel.area;
    // A shrinking step that would cut a combined cell is widened back to the
    // same area; it then takes the next line too, so the key always acts.
    for (int guard = 0; guard < 20000; ++guard) {
        int16_t* edge = nullptr;
        bool backward = false;
        bool rows = dRow != 0;
        if (dRow < 0) {
            edge = raw.last.row > anchor.last.row ? &raw.last.row : &raw.first.row;
            backward = true;
        } else if (dRow > 0) {
            edge = raw.first.row < anchor.first.row ? &raw.first.row : &raw.last.row;
        } else if (dCol < 0) {
            edge = raw.last.col > anchor.last.col ? &raw.last.col : &raw.first.col;
            backward = true;
        } else if (dCol > 0) {
            edge = raw.first.col < anchor.first.col ? &raw.first.col : &raw.last.col;
        } else {
            return sel.area;
        }
        const int next = rows ? geo.StepRow(*edge, backward) : geo.StepColumn(*edge, backward);
        if (next < 0) return sel.area;
        *edge = int16_t(next);
        const CellArea widened = WidenToCombined(combined, unite(raw, anchor));
        if (widened != sel.area) return widened;
    }
    return sel.area;
}

Selection SelectCell(const CombinedLookup& combined, int row, int col) {
    return {row, col, CellOrCombined(combined, row, col)};
}

Selection MoveCurrent(const SheetGeometry& geo, const CombinedLookup& combined,
                      const Selection& sel, int direction) {
    const CellArea from = CellOrCombined(combined, sel.curRow, sel.curCol);
    int row = sel.curRow, col = sel.curCol;
    int next = -1;
    switch (direction) {
        case kMoveUp:
            next = row = stepUsableRow(geo, from.first.row, true);
            break;
        case kMoveDown:
            next = row = stepUsableRow(geo, from.last.row, false);
            break;
        case kMoveLeft:
            next = col = stepUsableColumn(geo, from.first.col, true);
            break;
        case kMoveRight:
            next = col = stepUsableColumn(geo, from.last.col, false);
            break;
        default:
            break;
    }
    if (next < 0) return SelectCell(combined, sel.curRow, sel.curCol);
    return SelectCell(combined, row, col);
}

// ---------------------------------------------------------------------------

namespace {

template <typename SizeOf, typename Step>
int lastVisible(int first, int start, int extent, SizeOf sizeOf, Step step) {
    int last = first;
    int edge = start;
    for (int i = first; i >= 0 && edge < extent; i = step(i)) {
        last = i;
        edge += sizeOf(i);
    }
    return last;
}

}  // namespace

int LastVisibleRow(const SheetGeometry& geo, int clientHeight) {
    return lastVisible(
        geo.FirstRow(), geo.HeaderHeight(), clientHeight,
        [&](int r) { return geo.GetRowHeightPixels(r); },
        [&](int r) { return geo.StepRow(r, false); });
}

int LastVisibleColumn(const SheetGeometry& geo, int clientWidth) {
    return lastVisible(
        geo.FirstColumn(), geo.HeaderWidth(), clientWidth,
        [&](int c) { return geo.GetColumnWidthPixels(c); },
        [&](int c) { return geo.StepColumn(c, false); });
}

int PageUpRow(const SheetGeometry& geo, int clientHeight) {
    const int first = geo.FirstRow();
    const int avail = std::max(1, clientHeight - geo.HeaderHeight());
    int row = geo.RowFromOffset(first, -avail);
    if (row >= first) row = std::max(0, geo.StepRow(first, true));
    return geo.SnapRow(row);
}

int PageDownRow(const SheetGeometry& geo, int clientHeight) {
    const int first = geo.FirstRow();
    const int last = LastVisibleRow(geo, clientHeight);
    if (last != first) return last;
    const int next = geo.StepRow(first, false);
    return next < 0 ? first : next;
}

bool ShowsLastRow(const SheetGeometry& geo, int clientHeight) {
    return geo.HeaderHeight() + geo.GetRowDistance(geo.FirstRow(), geo.LastRow() + 1) <=
           clientHeight;
}

bool ShowsLastColumn(const SheetGeometry& geo, int clientWidth) {
    return geo.HeaderWidth() + geo.GetColumnDistance(geo.FirstColumn(), geo.LastColumn() + 1) <=
           clientWidth;
}

}  // namespace qor::view

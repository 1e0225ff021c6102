#include "view/cellpainter.h"

#include <algorithm>
#include <cmath>

#include "document/cqorsdoc.h"
#include "engine/uifont.h"

namespace qor::view {

namespace {

int clampFar(int v) { return std::clamp(v, -CellPainter::kFarLimit, CellPainter::kFarLimit); }

bool overlaps(const CellArea& a, const CellBlock& b) {
    return a.last.row >= b.firstRow && a.first.row <= b.lastRow && a.last.col >= b.firstCol &&
           a.first.col <= b.lastCol;
}

bool contains(const CellArea& a, int row, int col) {
    return row >= a.first.row && row <= a.last.row && col >= a.first.col && col <= a.last.col;
}

}  // namespace

PaintResult PaintSheet(QPainter& painter, const PaintRequest& request) {
    if (!request.doc || !request.geometry) return {};
    CellPainter p(painter, request);
    return p.Paint();
}

CellPainter::CellPainter(QPainter& painter, const PaintRequest& request)
    : m_p(painter),
      m_req(request),
      m_doc(*request.doc),
      m_geo(request.geometry),
      m_printing(request.mode == PaintMode::kPrint),
      m_dataState(request.doc->IsDataState()) {
    m_client = QRect(QPoint(0, 0), request.clientSize);
    m_clip = request.clip.isEmpty() ? m_client : (request.clip & m_client);

    // The first visible line may not lie in the hidden band of the variable
    // area; the paint starts after the band, and the view follows.
    int firstRow = m_geo->FirstRow();
    int firstCol = m_geo->FirstColumn();
    const int bandEnd = m_geo->VarArea().start + m_geo->AreaLines();
    const int lastShown = m_geo->VarArea().start + m_geo->VarShown();
    if (m_geo->IsRowHidden(firstRow)) firstRow = bandEnd <= m_geo->LastRow() ? bandEnd : lastShown;
    if (m_geo->IsColumnHidden(firstCol))
        firstCol = bandEnd <= m_geo->LastColumn() ? bandEnd : lastShown;
    if (firstRow != m_geo->FirstRow() || firstCol != m_geo->FirstColumn()) {
        m_ownGeo = std::make_unique<SheetGeometry>(*m_geo);
        m_ownGeo->SetFirstCell(firstRow, firstCol);
        m_geo = m_ownGeo.get();
    }
    m_result.firstRow = firstRow;
    m_result.firstCol = firstCol;

    CellDrawOptions options;
    options.printing = m_printing;
    options.fontScale = m_geo->Scale();
    options.kindColours = request.kindColours;
    options.dataOnly = request.dataOnly;
    m_drawer = std::make_unique<CellDrawer>(m_p, m_doc, options);
}

CellPainter::~CellPainter() = default;

PaintResult CellPainter::Paint() {
    if (!m_doc.IsOpen() || m_doc.ViewState().redrawSuspended) return m_result;
    const int hw = m_geo->HeaderWidth();
    const int hh = m_geo->HeaderHeight();

    m_p.save();
    m_p.setClipRect(m_clip);
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.setRenderHint(QPainter::TextAntialiasing, true);

    const QRect sheetClip = QRect(QPoint(std::max(m_clip.left(), hw), std::max(m_clip.top(), hh)),
                                  m_clip.bottomRight());
    m_result.clipRight = m_clip.right() + 1;
    m_result.clipBottom = m_clip.bottom() + 1;
    if (!sheetClip.isEmpty()) m_p.fillRect(sheetClip, Qt::white);

    m_p.setBackgroundMode(Qt::TransparentMode);
    m_result.lastRow = DrawHeaderStrip(false);
    m_result.lastCol = DrawHeaderStrip(true);

    // The sheet font: what a cell whose own font cannot be made is drawn in.
    FontDesc sheetFont = GetDefaultUiFont();
    sheetFont.height = int(std::trunc(12.0 * m_geo->Scale()));
    m_p.setFont(MakeFont(sheetFont));
    m_drawer->PainterFontChanged();

    if (!sheetClip.isEmpty() && m_geo->LastRow() >= 0 && m_geo->LastColumn() >= 0) {
        m_block = blockFromClip(sheetClip);
        m_result.drawnFirstRow = m_block.firstRow;
        m_result.drawnFirstCol = m_block.firstCol;
        m_result.drawnLastRow = m_block.lastRow;
        m_result.drawnLastCol = m_block.lastCol;
        if (!m_printing) DrawGrid();
        m_p.setClipRect(QRect(hw, hh, kFarLimit, kFarLimit), Qt::IntersectClip);
        DrawAreas();
        if (m_geo->HasColumnArea())
            DrawCellColumns();
        else
            DrawCellRows();
        if (!m_printing) DrawPageBreaks();
        if (m_req.drawItems) DrawItems();
    }
    if (m_req.mode == PaintMode::kScreen) DrawSelection();
    m_p.restore();
    return m_result;
}

// ---------------------------------------------------------------------------
// Cells and their rectangles

bool CellPainter::HitTestCell(QPoint point, int* row, int* col) const {
    auto walk = [](int p, int origin, int first, int last, auto size, auto step) -> int {
        if (first < 0 || first > last) return -1;
        if (p <= origin) return first;
        int at = origin;
        for (int i = first; i != -1 && i <= last; i = step(i)) {
            const int s = size(i);
            if (p < at + s) return i;
            if (i == last) return p <= at + s + 4 ? i : -1;
            at += s;
        }
        return -1;
    };
    const int r = walk(
        point.y(), m_geo->HeaderHeight(), m_geo->FirstRow(), m_geo->LastRow(),
        [this](int i) { return m_geo->GetRowHeightPixels(i); },
        [this](int i) { return m_geo->StepRow(i, false); });
    const int c = walk(
        point.x(), m_geo->HeaderWidth(), m_geo->FirstColumn(), m_geo->LastColumn(),
        [this](int i) { return m_geo->GetColumnWidthPixels(i); },
        [this](int i) { return m_geo->StepColumn(i, false); });
    if (row) *row = r;
    if (col) *col = c;
    return r >= 0 && c >= 0;
}

CellBlock CellPainter::blockFromClip(const QRect& sheetClip) const {
    CellBlock b;
    int r = -1, c = -1;
    HitTestCell(sheetClip.topLeft(), &r, &c);
    b.firstRow = r < 0 ? m_geo->FirstRow() : r;
    b.firstCol = c < 0 ? m_geo->FirstColumn() : c;
    // A corner beyond the sheet's end takes the sheet's last line, so every
    // visible cell lies in the block.
    HitTestCell(sheetClip.bottomRight(), &r, &c);
    b.lastRow = r < 0 ? m_geo->LastRow() : r;
    b.lastCol = c < 0 ? m_geo->LastColumn() : c;
    b.firstRow = std::min(b.firstRow, b.lastRow);
    b.firstCol = std::min(b.firstCol, b.lastCol);
    return b;
}

int CellPainter::GetCellClientRect(int col, int row, items::Rect* out) const {
    if (row < m_geo->FirstRow() || row > m_geo->LastRow() || m_geo->IsRowHidden(row)) return -1;
    const int top = m_geo->HeaderHeight() + m_geo->GetRowDistance(m_geo->FirstRow(), row);
    if (top >= m_client.bottom() + 1) return -1;
    if (col < m_geo->FirstColumn() || col > m_geo->LastColumn() || m_geo->IsColumnHidden(col))
        return 0;
    const int left = m_geo->HeaderWidth() + m_geo->GetColumnDistance(m_geo->FirstColumn(), col);
    if (left >= m_client.right() + 1) return 0;
    if (out)
        *out = {left, top, left + m_geo->GetColumnWidthPixels(col),
                top + m_geo->GetRowHeightPixels(row)};
    return 1;
}

items::Rect CellPainter::GetCellClientRectEx(int row, int col) const {
    const int top = m_geo->OriginY() + m_geo->GetRowDistance(0, row);
    const int left = m_geo->OriginX() + m_geo->GetColumnDistance(0, col);
    return {clampFar(left), clampFar(top), clampFar(left + m_geo->GetColumnWidthPixels(col)),
            clampFar(top + m_geo->GetRowHeightPixels(row))};
}

bool CellPainter::GetAreaClientRect(const CellArea& area, items::Rect* out) const {
    if (!overlaps(area, m_block)) return false;
    if (out) {
        const items::Rect a = GetCellClientRectEx(area.first.row, area.first.col);
        const items::Rect b = GetCellClientRectEx(area.last.row, area.last.col);
        *out = {a.left, a.top, b.right, b.bottom};
    }
    return true;
}

CellArea CellPainter::storedToView(const CellArea& a) const { return m_geo->StoredAreaToView(a); }

bool CellPainter::inFoundArea(int row, int col) const {
    for (const FoundArea& a : m_areas)
        if (contains(a.view, row, col)) return true;
    return false;
}

void CellPainter::DrawAreas() {
    m_areas.clear();
    // Every cell of the block is either visited here or lies in an area
    // already met, so the list ends up holding every area the block touches
    // and each of them is drawn exactly once, however little of it shows.
    for (int c = m_block.firstCol; c != -1 && c <= m_block.lastCol;
         c = m_geo->StepColumn(c, false)) {
        for (int r = m_block.firstRow; r != -1 && r <= m_block.lastRow;) {
            const FoundArea* hit = nullptr;
            for (const FoundArea& a : m_areas)
                if (contains(a.view, r, c)) hit = &a;
            if (hit) {
                r = m_geo->StepRow(hit->view.last.row, false);
                continue;
            }
            const int dr = m_geo->DocRow(r), dc = m_geo->DocColumn(c);
            CellArea docArea;
            if (dr >= 0 && dc >= 0 && m_doc.GetCombinedArea(dr, dc, &docArea)) {
                const CellArea view = m_geo->ViewArea(docArea);
                m_areas.push_back({view, docArea});
                items::Rect rect;
                if (GetAreaClientRect(view, &rect)) m_drawer->DrawCombinedArea(docArea, rect);
                r = m_geo->StepRow(std::max<int>(r, view.last.row), false);
                continue;
            }
            r = m_geo->StepRow(r, false);
        }
    }

    if (!m_req.dataOnly) {
        for (const AreaLineEntry& e : m_doc.GetCombinedAreas()) {
            const CellArea view =
                storedToView(CellArea::area(e.firstRow, e.firstCol, e.lastRow, e.lastCol));
            items::Rect rect;
            if (GetAreaClientRect(view, &rect))
                m_drawer->DrawAreaLine(e.style, e.direction != 0, rect);
        }
    }

    CellArea check;
    if (m_dataState && m_doc.GetCheckLineArea(&check)) {
        items::Rect rect;
        if (GetAreaClientRect(m_geo->ViewArea(check), &rect)) m_drawer->DrawCheckMark(rect);
    }

    for (int slot = 0; slot <= 6; ++slot) {
        int row = 0, col = 0;
        if (!m_doc.GetKeywordCell(slot, &row, &col)) continue;
        CellArea docArea = CellArea::cell(row, col);
        m_doc.GetCombinedArea(row, col, &docArea);
        const CellArea view = m_geo->ViewArea(docArea);
        const items::Rect a = GetCellClientRectEx(view.first.row, view.first.col);
        const items::Rect b = GetCellClientRectEx(view.last.row, view.last.col);
        const int offset = int(std::trunc(m_doc.GetKeywordOffset(slot) * double(m_geo->Scale())));
        m_drawer->DrawKeywordText(slot, row, col, {a.left, a.top, b.right, b.bottom}, offset,
                                  m_doc.GetKeywordDisplayText(slot, m_req.dataOnly));
    }
}

void CellPainter::drawOneCell(int row, int col) {
    items::Rect rect;
    if (GetCellClientRect(col, row, &rect) != 1) return;
    if (rect.width() <= 0 || rect.height() <= 0 || inFoundArea(row, col)) return;
    const int dr = m_geo->DocRow(row), dc = m_geo->DocColumn(col);
    if (dr < 0 || dc < 0) return;
    m_drawer->DrawCell(dr, dc, rect);
}

void CellPainter::DrawRowCells(int row) {
    items::Rect probe;
    if (GetCellClientRect(m_block.firstCol, row, &probe) < 0) return;
    if (m_geo->GetRowHeightPixels(row) == 0) return;
    for (int c = m_block.firstCol; c != -1 && c <= m_block.lastCol; c = m_geo->StepColumn(c, false))
        drawOneCell(row, c);
}

void CellPainter::DrawColumnCells(int col) {
    if (m_geo->GetColumnWidthPixels(col) == 0) return;
    for (int r = m_block.firstRow; r != -1 && r <= m_block.lastRow; r = m_geo->StepRow(r, false))
        drawOneCell(r, col);
}

void CellPainter::DrawCellRows() {
    for (int r = m_block.firstRow; r != -1 && r <= m_block.lastRow; r = m_geo->StepRow(r, false))
        DrawRowCells(r);
}

void CellPainter::DrawCellColumns() {
    for (int c = m_block.firstCol; c != -1 && c <= m_block.lastCol; c = m_geo->StepColumn(c, false))
        DrawColumnCells(c);
}

// ---------------------------------------------------------------------------
// Grid

void CellPainter::DrawGrid() {
    // Data state shows the report as it will print: no grid.
    if (m_dataState) return;
    const int hw = m_geo->HeaderWidth();
    const int hh = m_geo->HeaderHeight();
    const int right = m_client.right() + 1;
    const int bottom = m_client.bottom() + 1;
    QPen pen(ColorFromRef(m_req.gridColour));
    pen.setWidth(1);
    pen.setCapStyle(Qt::FlatCap);
    m_p.setPen(pen);

    int y = hh;
    m_p.drawLine(hw, y, right, y);
    int r = m_geo->FirstRow();
    bool rowsEnded = false;
    while (y <= bottom) {
        if (r == -1 || r > m_geo->LastRow()) {
            rowsEnded = true;
            break;
        }
        y += m_geo->GetRowHeightPixels(r);
        m_p.drawLine(hw, y, right, y);
        r = m_geo->StepRow(r, false);
    }
    const int lastY = std::min(y, bottom);

    int x = hw;
    m_p.drawLine(x, hh, x, lastY);
    int c = m_geo->FirstColumn();
    bool colsEnded = false;
    while (x <= right) {
        if (c == -1 || c > m_geo->LastColumn()) {
            colsEnded = true;
            break;
        }
        x += m_geo->GetColumnWidthPixels(c);
        m_p.drawLine(x, hh, x, lastY);
        c = m_geo->StepColumn(c, false);
    }
    // Past the sheet's end nothing but white.
    if (rowsEnded && y + 1 < bottom)
        m_p.fillRect(QRect(hw, y + 1, right - hw, bottom - y - 1), Qt::white);
    if (colsEnded && x + 1 < right)
        m_p.fillRect(QRect(x + 1, hh, right - x - 1, bottom - hh), Qt::white);
}

}  // namespace qor::view

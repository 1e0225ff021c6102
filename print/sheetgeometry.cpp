#include "print/sheetgeometry.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace qor::view {

// ---------------------------------------------------------------------------
// Scale and headers

bool IsValidViewScale(float scale) {
    return std::isfinite(scale) && scale >= kMinViewScale && scale <= kMaxViewScale;
}

float ValidViewScale(float scale) { return IsValidViewScale(scale) ? scale : kDefaultViewScale; }

int ScaleSize(double stored, double scale) {
    const long double v = static_cast<long double>(stored) * scale + 0.5L;
    // A damaged print scale must not turn into undefined conversions or
    // negative sizes; 1e8 pixels is far beyond any sheet.
    if (!std::isfinite(static_cast<double>(v)) || v <= 0) return 0;
    if (v >= 1e8L) return 100000000;
    return static_cast<int>(v);
}

HeaderMetrics ComputeHeaderMetrics(double dpiX, double dpiY) {
    if (!std::isfinite(dpiX) || dpiX <= 0 || dpiX > 10000) dpiX = 96;
    if (!std::isfinite(dpiY) || dpiY <= 0 || dpiY > 10000) dpiY = 96;
    HeaderMetrics m;
    // The strip's height follows the vertical resolution and its width the
    // horizontal one, so non-square pixels keep the labels in proportion.
    m.baseHeight = static_cast<int>(dpiY * 0.164);
    m.baseWidth = static_cast<int>(dpiX * 0.32);
    return m;
}

namespace {
HeaderMetrics& processMetrics() {
    static HeaderMetrics metrics;
    return metrics;
}
bool metricsSet = false;
}  // namespace

const HeaderMetrics& BaseHeaderMetrics() { return processMetrics(); }

void SetBaseHeaderMetrics(const HeaderMetrics& metrics) {
    processMetrics() = metrics;
    metricsSet = true;
}

bool BaseHeaderMetricsSet() { return metricsSet; }

ViewState DefaultViewState(const HeaderMetrics& base) {
    ViewState s;
    s.scale = kDefaultViewScale;
    s.headerHeight = ScaleSize(base.baseHeight, 1.4);
    s.headerWidth = ScaleSize(base.baseWidth, 1.4);
    return s;
}

ViewState DecodeViewState(uint32_t origin, uint32_t gridColour, uint32_t kindColours, float scale,
                          const HeaderMetrics& base) {
    ViewState s;
    s.headerHeight = static_cast<int16_t>(origin & 0xFFFF);
    s.headerWidth = static_cast<int16_t>(origin >> 16);
    s.gridColour = gridColour;
    s.kindColours = static_cast<int8_t>(kindColours & 0xFF);
    s.scale = scale;
    if (!IsValidViewScale(scale)) {
        const ViewState d = DefaultViewState(base);
        s.scale = d.scale;
        s.headerHeight = d.headerHeight;
        s.headerWidth = d.headerWidth;
    }
    return s;
}

ViewState DecodeViewState(const std::array<uint32_t, 4>& saved, const HeaderMetrics& base) {
    return DecodeViewState(saved[0], saved[1], saved[2], std::bit_cast<float>(saved[3]), base);
}

std::array<uint32_t, 4> EncodeViewState(const ViewState& state) {
    return {uint32_t(uint16_t(state.headerHeight)) | (uint32_t(uint16_t(state.headerWidth)) << 16),
            state.gridColour, uint32_t(uint8_t(state.kindColours)),
            std::bit_cast<uint32_t>(state.scale)};
}

// ---------------------------------------------------------------------------
// Document source

void DocSheetSource::GetTableSize(int32_t* rows, int32_t* cols) const {
    *rows = 0;
    *cols = 0;
    if (m_doc) m_doc->GetTableSize(rows, cols);
}

void DocSheetSource::GetVarAreaInfo(VarAreaInfo* info) const {
    *info = VarAreaInfo{};
    if (m_doc) m_doc->GetVarAreaInfo(info);
}

uint16_t DocSheetSource::GetRowHeight(int row) const {
    return m_doc ? m_doc->GetRowHeight(1, row) : 0;
}

uint16_t DocSheetSource::GetColumnWidth(int col) const {
    return m_doc ? m_doc->GetColumnWidth(col, 1) : 0;
}

bool DocSheetSource::IsDataState() const { return m_doc && m_doc->IsDataState(); }

// ---------------------------------------------------------------------------
// Geometry

SheetGeometry::SheetGeometry(const SheetSource* source, float scale)
    : m_source(source), m_scale(scale) {
    Refresh();
}

void SheetGeometry::Refresh() {
    int32_t rows = 0, cols = 0;
    VarAreaInfo var;
    bool data = false;
    if (m_source) {
        m_source->GetTableSize(&rows, &cols);
        m_source->GetVarAreaInfo(&var);
        data = m_source->IsDataState();
    }
    m_rowCount = std::max(0, int(rows));
    m_colCount = std::max(0, int(cols));
    if (var.kind != 1 && var.kind != 2) var = VarAreaInfo{};
    var.used = std::max(0, int(var.used));
    var.start = std::max(0, int(var.start));
    m_var = var;
    m_dataState = data;
    m_areaLines = m_var.kind ? std::max({1, int(m_var.extent), VarShown() + 1}) : 0;
    m_lastRow = lastIndex(m_rowCount, HasRowArea(), m_areaLines);
    m_lastCol = lastIndex(m_colCount, HasColumnArea(), m_areaLines);

    m_storedRows.assign(size_t(m_lastRow + 1), 0);
    m_storedCols.assign(size_t(m_lastCol + 1), 0);
    if (m_source) {
        for (int r = 0; r <= m_lastRow; ++r) {
            const int d = DocRow(r);
            if (d >= 0) m_storedRows[size_t(r)] = m_source->GetRowHeight(d);
        }
        for (int c = 0; c <= m_lastCol; ++c) {
            const int d = DocColumn(c);
            if (d >= 0) m_storedCols[size_t(c)] = m_source->GetColumnWidth(d);
        }
    }
    rebuildPixels();
}

void SheetGeometry::SetScale(float scale) {
    if (std::bit_cast<uint32_t>(scale) == std::bit_cast<uint32_t>(m_scale)) return;
    m_scale = scale;
    rebuildPixels();
}

void SheetGeometry::rebuildPixels() {
    auto build = [this](const std::vector<uint16_t>& stored, std::vector<int>& px,
                        std::vector<int>& prefix) {
        px.assign(stored.size(), 0);
        prefix.assign(stored.size() + 1, 0);
        for (size_t i = 0; i < stored.size(); ++i) {
            px[i] = ScaleSize(stored[i], double(m_scale));
            prefix[i + 1] = prefix[i] + px[i];
        }
    };
    build(m_storedRows, m_rowPixels, m_rowPrefix);
    build(m_storedCols, m_colPixels, m_colPrefix);
}

int SheetGeometry::lastIndex(int count, bool hasArea, int extent) {
    if (count <= 0) return -1;
    return hasArea ? count + extent - 2 : count - 1;
}

bool SheetGeometry::hidden(int index, bool hasArea) const {
    return hasArea && m_var.start + VarShown() < index && index < m_var.start + m_areaLines;
}

bool SheetGeometry::IsRowHidden(int row) const { return hidden(row, HasRowArea()); }

bool SheetGeometry::IsColumnHidden(int col) const { return hidden(col, HasColumnArea()); }

int SheetGeometry::GetRowHeightPixels(int row) const {
    return row >= 0 && row <= m_lastRow ? m_rowPixels[size_t(row)] : 0;
}

int SheetGeometry::GetColumnWidthPixels(int col) const {
    return col >= 0 && col <= m_lastCol ? m_colPixels[size_t(col)] : 0;
}

uint16_t SheetGeometry::StoredRowHeight(int row) const {
    return row >= 0 && row <= m_lastRow ? m_storedRows[size_t(row)] : 0;
}

uint16_t SheetGeometry::StoredColumnWidth(int col) const {
    return col >= 0 && col <= m_lastCol ? m_storedCols[size_t(col)] : 0;
}

int SheetGeometry::distance(const std::vector<int>& prefix, int a, int b) {
    const int top = int(prefix.size()) - 1;
    if (top < 0) return 0;
    a = std::clamp(a, 0, top);
    b = std::clamp(b, 0, top);
    return prefix[size_t(b)] - prefix[size_t(a)];
}

int SheetGeometry::GetRowDistance(int r1, int r2) const { return distance(m_rowPrefix, r1, r2); }

int SheetGeometry::GetColumnDistance(int c1, int c2) const { return distance(m_colPrefix, c1, c2); }

int SheetGeometry::GetRowSpan(int r1, int r2) const {
    return r1 <= r2 ? distance(m_rowPrefix, r1, r2 + 1) : -distance(m_rowPrefix, r2, r1 + 1);
}

int SheetGeometry::GetColumnSpan(int c1, int c2) const {
    return c1 <= c2 ? distance(m_colPrefix, c1, c2 + 1) : -distance(m_colPrefix, c2, c1 + 1);
}

int SheetGeometry::offsetWalk(const std::vector<int>& pixels, int start, int distance, int last,
                              bool hasArea) const {
    if (last < 0) return 0;
    start = std::clamp(start, 0, last);
    if (distance == 0) return start;
    if (distance > 0) {
        if (start >= last) return start;
        long long sum = 0;
        for (int r = start; r <= last; ++r) {
            if (hidden(r, hasArea)) continue;
            sum += pixels[size_t(r)];
            if (sum >= distance) return r;
        }
        return last;
    }
    // Backward walks go down to row 0 itself, so paging up reaches the top.
    const long long want = -static_cast<long long>(distance);
    long long sum = 0;
    for (int r = start; r >= 0; --r) {
        if (hidden(r, hasArea)) continue;
        sum += pixels[size_t(r)];
        if (sum >= want) return r;
    }
    return 0;
}

int SheetGeometry::RowFromOffset(int start, int pixels) const {
    return offsetWalk(m_rowPixels, start, pixels, m_lastRow, HasRowArea());
}

int SheetGeometry::ColumnFromOffset(int start, int pixels) const {
    return offsetWalk(m_colPixels, start, pixels, m_lastCol, HasColumnArea());
}

int SheetGeometry::step(int index, bool backward, int last, bool hasArea) const {
    int next = index + 1;
    int prev = index - 1;
    if (index >= last) next = -1;
    if (index > last) prev = -1;
    if (hasArea) {
        const int x = m_var.start + VarShown();
        const int end = m_var.start + m_areaLines;
        if (x < index && index <= end) prev = x;
        if (x <= index && index < end) next = end;
    }
    // An area at the end of the table has nothing after its band.
    if (next > last) next = -1;
    if (prev < 0) prev = -1;
    return backward ? prev : next;
}

int SheetGeometry::StepRow(int row, bool backward) const {
    return step(row, backward, m_lastRow, HasRowArea());
}

int SheetGeometry::StepColumn(int col, bool backward) const {
    return step(col, backward, m_lastCol, HasColumnArea());
}

int SheetGeometry::snap(int index, int last, bool hasArea) const {
    index = std::max(0, std::min(index, last));
    if (hidden(index, hasArea)) index = m_var.start + VarShown();
    return index;
}

int SheetGeometry::SnapRow(int row) const { return snap(row, m_lastRow, HasRowArea()); }

int SheetGeometry::SnapColumn(int col) const { return snap(col, m_lastCol, HasColumnArea()); }

int SheetGeometry::toDoc(int index, int last, bool hasArea) const {
    if (index < 0 || index > last || hidden(index, hasArea)) return -1;
    if (hasArea && index >= m_var.start + m_areaLines)
        return index - (m_areaLines - 1 - VarShown());
    return index;
}

int SheetGeometry::toView(int index, bool hasArea) const {
    if (hasArea && index > m_var.start + VarShown()) return index + (m_areaLines - 1 - VarShown());
    return index;
}

int SheetGeometry::DocRow(int viewRow) const { return toDoc(viewRow, m_lastRow, HasRowArea()); }

int SheetGeometry::DocColumn(int viewCol) const {
    return toDoc(viewCol, m_lastCol, HasColumnArea());
}

int SheetGeometry::ViewRow(int docRow) const { return toView(docRow, HasRowArea()); }

int SheetGeometry::ViewColumn(int docCol) const { return toView(docCol, HasColumnArea()); }

CellArea SheetGeometry::StoredAreaToView(const CellArea& a) const {
    const VarAreaInfo& var = VarArea();
    const int shown = VarShown();
    auto row = [&](int r) { return HasRowArea() && r > var.start ? r + shown : r; };
    auto col = [&](int c) { return HasColumnArea() && c > var.start ? c + shown : c; };
    return ViewArea(
        CellArea::area(row(a.first.row), col(a.first.col), row(a.last.row), col(a.last.col)));
}

CellArea SheetGeometry::ViewArea(const CellArea& a) const {
    return CellArea::area(ViewRow(a.first.row), ViewColumn(a.first.col), ViewRow(a.last.row),
                          ViewColumn(a.last.col));
}

void SheetGeometry::SetHeaders(int headerWidth, int headerHeight) {
    m_headerWidth = headerWidth;
    m_headerHeight = headerHeight;
}

void SheetGeometry::SetFirstCell(int firstRow, int firstCol) {
    m_firstRow = firstRow;
    m_firstCol = firstCol;
}

void SheetGeometry::DocToClient(Rect& rect) const {
    const int dx = OriginX(), dy = OriginY();
    rect.left += dx;
    rect.right += dx;
    rect.top += dy;
    rect.bottom += dy;
}

void SheetGeometry::DocToClientPoint(int& x, int& y) const {
    x += OriginX();
    y += OriginY();
}

void SheetGeometry::ClientToDoc(Rect& rect) const {
    const int dx = OriginX(), dy = OriginY();
    rect.left = std::max(0, rect.left - dx);
    rect.right = std::min(ExtentWidth(), rect.right - dx);
    rect.top = std::max(0, rect.top - dy);
    rect.bottom = std::min(ExtentHeight(), rect.bottom - dy);
}

void SheetGeometry::ClientToDocPoint(int& x, int& y) const {
    x = std::clamp(x - OriginX(), 0, std::max(0, ExtentWidth()));
    y = std::clamp(y - OriginY(), 0, std::max(0, ExtentHeight()));
}

void SheetGeometry::DocToClientPoint(QPoint& p) const {
    int x = p.x(), y = p.y();
    DocToClientPoint(x, y);
    p = QPoint(x, y);
}

void SheetGeometry::ClientToDocPoint(QPoint& p) const {
    int x = p.x(), y = p.y();
    ClientToDocPoint(x, y);
    p = QPoint(x, y);
}

void SheetGeometry::CellRangeToDocRect(Rect& rect) const {
    const int leftCol = rect.left, topRow = rect.top, rightCol = rect.right,
              bottomRow = rect.bottom;
    rect.left = GetColumnDistance(0, leftCol);
    rect.top = GetRowDistance(0, topRow);
    rect.right = GetColumnDistance(0, rightCol) + GetColumnWidthPixels(rightCol) + 1;
    rect.bottom = GetRowDistance(0, bottomRow) + GetRowHeightPixels(bottomRow) + 1;
}

// ---------------------------------------------------------------------------
// Selection helpers

void AdjustSelectionForVarArea(const SheetGeometry& geo, bool rows, bool forward, int current,
                               int* anchor, int* end) {
    if (!(rows ? geo.HasRowArea() : geo.HasColumnArea()) || !anchor || !end) return;
    const int s = geo.VarArea().start;
    const int e = geo.AreaLines();
    const int x = s + geo.VarShown();
    const int last = rows ? geo.LastRow() : geo.LastColumn();
    if (forward) {
        const bool pastArea = current >= s + e;
        const bool areaIsLast = current == last && s == last;
        if (*end == x && !areaIsLast) *end = s + e - 1;
        if (*anchor == x && *end >= s + e && pastArea) *anchor = s + e - 1;
    } else {
        if (*anchor == s + e) *anchor = x + 1;
        if (x < *end && *end <= s + e && *anchor <= x) *end = x + 1;
    }
}

SizeTargets RowSizeTargets(const SheetGeometry& geo, const CellArea& sel, int index, int size) {
    const int r1 = std::min(sel.first.row, sel.last.row),
              r2 = std::max(sel.first.row, sel.last.row);
    const int c1 = std::min(sel.first.col, sel.last.col),
              c2 = std::max(sel.first.col, sel.last.col);
    const bool wholeRows = c1 == 0 && c2 == geo.LastColumn();
    if (wholeRows && r1 <= index && index <= r2 && (r2 - r1 < 101 || size != 0)) return {r1, r2};
    return {index, index};
}

SizeTargets ColumnSizeTargets(const SheetGeometry& geo, const CellArea& sel, int index) {
    const int r1 = std::min(sel.first.row, sel.last.row),
              r2 = std::max(sel.first.row, sel.last.row);
    const int c1 = std::min(sel.first.col, sel.last.col),
              c2 = std::max(sel.first.col, sel.last.col);
    const bool wholeCols = r1 == 0 && r2 == geo.LastRow();
    if (wholeCols && c1 <= index && index <= c2) return {c1, c2};
    return {index, index};
}

}  // namespace qor::view

#include "view/tabs_splitter.h"

#include <algorithm>
#include <cmath>

namespace qor::view {

bool IsRowHit(int hit) { return hit == kHitVSplitBox || (hit >= 101 && hit <= 115); }
bool IsColumnHit(int hit) { return hit == kHitHSplitBox || (hit >= 201 && hit <= 215); }
bool IsBothHit(int hit) { return hit == kHitBothBoxes || (hit >= 301 && hit <= 525); }

namespace {

// Splits a length into one or two parts with a bar between them.
struct Split {
    int firstEnd = 0;     // end of the first part
    int secondStart = 0;  // start of the second part
};
Split splitLength(int total, int parts, int firstSize, int bar) {
    if (parts < 2) return {total, total};
    const int first = std::clamp(firstSize, 0, std::max(0, total - bar));
    return {first, first + bar};
}

}  // namespace

SplitterLayout LayoutSplitter(const SplitterLayoutInput& in, const SplitterMetrics& m) {
    SplitterLayout out;
    const int rows = std::clamp(in.rows, 1, 2);
    const int cols = std::clamp(in.cols, 1, 2);
    const int insideW = std::max(0, in.client.width() - m.vScrollWidth);
    const int insideH = std::max(0, in.client.height() - m.hScrollHeight);
    out.inside = QRect(0, 0, insideW, insideH);

    const Split c = splitLength(insideW, cols, in.firstColSize, m.splitterWidth);
    const Split r = splitLength(insideH, rows, in.firstRowSize, m.splitterWidth);
    const int colLeft[2] = {0, c.secondStart};
    const int colRight[2] = {c.firstEnd, insideW};
    const int rowTop[2] = {0, r.secondStart};
    const int rowBottom[2] = {r.firstEnd, insideH};
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j)
            out.pane[i][j] =
                QRect(QPoint(colLeft[j], rowTop[i]), QPoint(colRight[j] - 1, rowBottom[i] - 1));
    if (cols == 2) out.columnBar = QRect(c.firstEnd, 0, m.splitterWidth, insideH);
    if (rows == 2) out.rowBar = QRect(0, r.firstEnd, insideW, m.splitterWidth);

    const bool moreRows = rows < in.maxRows;
    const bool moreCols = cols < in.maxCols;
    if (moreRows) out.vSplitBox = QRect(insideW, 0, m.vScrollWidth, m.splitterWidth);
    if (moreCols)
        out.hSplitBox = QRect(insideW - m.splitterWidth, insideH, m.splitterWidth,
                              in.client.height() - insideH);
    for (int i = 0; i < rows; ++i) {
        const int top = (i == 0 && moreRows) ? m.splitterWidth : rowTop[i];
        out.vBar[i] = QRect(insideW, top, m.vScrollWidth, std::max(0, rowBottom[i] - top));
    }
    const int stripWidth = in.dataMode ? in.tabAreaWidth : in.collapsedWidth;
    for (int j = 0; j < cols; ++j) {
        int left = colLeft[j];
        int right = colRight[j];
        if (j == 0) left += stripWidth;
        if (j == cols - 1 && moreCols) right -= m.splitterWidth;
        out.hBar[j] = QRect(left, insideH, std::max(0, right - left), m.hScrollHeight);
    }
    out.sizeBox = QRect(insideW, insideH, m.vScrollWidth, m.hScrollHeight);
    out.strip = QRect(0, insideH, std::max(0, stripWidth), m.hScrollHeight);
    return out;
}

int HitTestSplitter(const SplitterLayout& layout, int rows, int cols, QPoint p) {
    if (layout.vSplitBox.contains(p)) return kHitVSplitBox;
    if (layout.hSplitBox.contains(p)) return kHitHSplitBox;
    const bool onRow = rows == 2 && layout.rowBar.contains(p);
    const bool onCol = cols == 2 && layout.columnBar.contains(p);
    if (onRow && onCol) return kHitIntersection;
    if (onRow) return kHitRowBar;
    if (onCol) return kHitColumnBar;
    return kHitNone;
}

int TabAreaScaler::Scale(int tabWidth, int firstColumnSize, const SplitterMetrics& m) {
    // A column without a width (a window not yet sized) says nothing about
    // the strip: clamping to it would squeeze the tab area to 7 pixels for
    // good, and a zero remembered width cannot be scaled from.
    if (firstColumnSize <= 0) return tabWidth;
    if (m_remembered <= 0) m_remembered = firstColumnSize;
    int width = int(std::trunc(double(firstColumnSize) / double(m_remembered) * tabWidth));
    const int most = firstColumnSize - (m.vScrollWidth + m.splitterWidth) - 7;
    // The lower bound wins over a column too narrow for both.
    width = std::max(SplitterLayoutInput::kMinTabArea, std::min(width, most));
    m_remembered = firstColumnSize;
    return width;
}

std::optional<int> SnapSplitBar(const SheetGeometry& geo, bool rows, int first, int header,
                                int pos) {
    const int last = rows ? geo.LastRow() : geo.LastColumn();
    int edge = header;
    for (int i = std::max(0, first); i <= last; ++i) {
        const int size = rows ? geo.GetRowHeightPixels(i) : geo.GetColumnWidthPixels(i);
        if (pos <= edge + size / 2) return edge;
        edge += size;
    }
    return std::nullopt;
}

SplitAt SplitAtSelection(const SheetGeometry& geo, bool rows, int selectionLine, int firstShown,
                         int lastShown, int cellClientStart, int trackerSize, int paneSize) {
    if (selectionLine >= firstShown && selectionLine <= lastShown) {
        const int size =
            rows ? geo.GetRowHeightPixels(selectionLine) : geo.GetColumnWidthPixels(selectionLine);
        return {cellClientStart + size - 1 + trackerSize, selectionLine + 1};
    }
    return {paneSize / 2, 0};
}

}  // namespace qor::view

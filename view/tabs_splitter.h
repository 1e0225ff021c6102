#pragma once
// The arithmetic of the sheet splitter: where panes, shared scroll bars,
// split boxes, split bars and the page-tab strip lie for a client size and
// a split; how the tab area follows the first column's width; where a
// dragged split bar snaps to the sheet's row and column edges; and where a
// double-click on a split box splits. The widget (cqorsplitterwnd.h) only
// places children from these results.

#include <QRect>
#include <optional>

#include "print/sheetgeometry.h"

namespace qor::view {

// Hit codes of the splitter: split boxes, split bars, intersections.
inline constexpr int kHitNone = 0;
inline constexpr int kHitVSplitBox = 1;  // splits rows
inline constexpr int kHitHSplitBox = 2;  // splits columns
inline constexpr int kHitBothBoxes = 3;
inline constexpr int kHitRowBar = 101;  // + row index
inline constexpr int kHitColumnBar = 201;
inline constexpr int kHitIntersection = 301;
bool IsRowHit(int hit);     // 1, 101 .. 115
bool IsColumnHit(int hit);  // 2, 201 .. 215
bool IsBothHit(int hit);    // 3, 301 .. 525

// Control ids of the splitter's children.
inline constexpr int kFirstPaneId = 59648;
inline constexpr int kHScrollBarId = 59904;  // + column
inline constexpr int kVScrollBarId = 59920;  // + row
inline constexpr int kSizeBoxId = 59936;

struct SplitterMetrics {
    int vScrollWidth = 16;   // width of a vertical scroll bar
    int hScrollHeight = 16;  // height of a horizontal scroll bar
    int splitterWidth = 6;   // split bars and split boxes
};

struct SplitterLayoutInput {
    QSize client;
    int rows = 1, cols = 1;
    int maxRows = 2, maxCols = 2;
    // Size of the first row (column) when there are two; the second takes
    // the rest.
    int firstRowSize = 0, firstColSize = 0;
    int tabAreaWidth = kMinTabArea;
    bool dataMode = true;
    int collapsedWidth = 42;  // the mode button alone (format mode)
    static constexpr int kMinTabArea = 7;
};

struct SplitterLayout {
    QRect inside;  // client less the scroll bars
    QRect pane[2][2];
    QRect hBar[2], vBar[2];
    QRect vSplitBox, hSplitBox;  // empty when the split is at its maximum
    QRect rowBar, columnBar;     // empty without a split
    QRect sizeBox;
    QRect strip;
};
SplitterLayout LayoutSplitter(const SplitterLayoutInput& in, const SplitterMetrics& m);

// The split-box or split-bar hit code of a client point; 0 for none.
int HitTestSplitter(const SplitterLayout& layout, int rows, int cols, QPoint p);

// Keeps the tab area in proportion to the first column: the width scales
// with the column since the last layout, then stays between 7 pixels and
// what the column leaves beside the scroll bar and the split box.
class TabAreaScaler {
public:
    int Scale(int tabWidth, int firstColumnSize, const SplitterMetrics& m);

private:
    int m_remembered = 0;
};

// Where a dragged split bar snaps: the top (left) edge, in client pixels,
// of the first line of the pane from `first` on whose middle lies at or
// below pos; nothing past the last line (the bar then follows the mouse).
std::optional<int> SnapSplitBar(const SheetGeometry& geo, bool rows, int first, int header,
                                int pos);

// A double-click split at the selection's first line: just below it when
// the line is shown in the pane, else in the middle of the pane. index is
// the line + 1, or 0 for the middle.
struct SplitAt {
    int position = 0;
    int index = 0;
};
SplitAt SplitAtSelection(const SheetGeometry& geo, bool rows, int selectionLine, int firstShown,
                         int lastShown, int cellClientStart, int trackerSize, int paneSize);

}  // namespace qor::view

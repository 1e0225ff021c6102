#pragma once
// The arithmetic of the sheet view: row heights and column widths in pixels
// at the display scale, distances between rows and columns with the hidden
// lines of a variable area counting nothing, offset to row, stepping over
// the hidden band, and the mapping between sheet pixels (origin at the
// top-left corner of cell (0,0)) and client pixels of the window.
//
// Everything here is plain arithmetic over a SheetSource, so it is tested
// without a window and shared by painting, printing and the page layout.
// Rows and columns count from 0. A variable area counts as one row (column)
// in the stored table size; in view indices it occupies `extent` lines
// from `start`, of which start .. start + shown are visible (shown = the
// used value in data state, 0 in format state) and the rest are hidden.
// A page may use more lines than the extent; the band is then as long as
// the lines in use and hides nothing (AreaLines()).
//
// View indices and document indices. The document and its report address
// the current page without the hidden band (a row after the area is its
// stored row moved down by the lines in use). The view keeps the band, so
// that scroll positions, breaks and the layout of a page do not move with
// the lines another page uses. Every call into the document with a row or
// column of the view goes through DocRow()/DocColumn(), and every row or
// column read from the document (current cell, selection) comes back
// through ViewRow()/ViewColumn().
//
// Sizes are read once by Refresh() and kept, so that a paint of a large
// sheet does not walk the report for every distance: the view calls
// Refresh() whenever the document reports a change.

#include <QPoint>
#include <array>
#include <cstdint>
#include <vector>

#include "charts/itemsupport.h"
#include "document/cqorsdoc.h"

class CQorsDoc;

namespace qor::view {

// Sheet and client rectangles: left and top inside, right and bottom just
// past the edge, as the items store theirs.
using Rect = qor::items::Rect;

// ---------------------------------------------------------------------------
// Display scale and header metrics

constexpr float kDefaultViewScale = 1.4f;
constexpr float kMinViewScale = 0.4f;
constexpr float kMaxViewScale = 13.0f;

// The one rule every path uses for a display scale (restore, initial update,
// scale commands): a finite value from 0.4 to 13.0 is kept, anything else
// (a NaN included) gives 1.4.
bool IsValidViewScale(float scale);
float ValidViewScale(float scale);

// Stored size times scale, plus 0.5, truncated: 20 at 1.4 gives 28.
int ScaleSize(double stored, double scale);

// The base header sizes (at scale 1) of the process, from the screen's dots
// per inch: height trunc(dpiY x 0.164), width trunc(dpiX x 0.32); 15 and 30
// at 96 dpi.
struct HeaderMetrics {
    int baseHeight = 15;
    int baseWidth = 30;
};
HeaderMetrics ComputeHeaderMetrics(double dpiX, double dpiY);
// The process-wide metrics; 96 dpi until the application sets them.
const HeaderMetrics& BaseHeaderMetrics();
void SetBaseHeaderMetrics(const HeaderMetrics& metrics);
// True once SetBaseHeaderMetrics ran (the application, or the first view
// from its screen).
bool BaseHeaderMetricsSet();

// The view state a report keeps (four 32-bit values): header height in the
// low and header width in the high 16 bits of the first, the grid colour
// (0x00BBGGRR), the kind-colour flag byte and the scale's float bits.
struct ViewState {
    int headerHeight = 21;
    int headerWidth = 42;
    uint32_t gridColour = 0xC0C0C0;
    int kindColours = 0;
    float scale = kDefaultViewScale;
    bool operator==(const ViewState&) const = default;
};
// The default state: scale 1.4 with headers of the base sizes times 1.4.
ViewState DefaultViewState(const HeaderMetrics& base = BaseHeaderMetrics());
// Restores a saved state: the halves are sign-extended, the flag is a
// signed byte; an invalid scale gives 1.4 and headers recomputed for it.
ViewState DecodeViewState(uint32_t origin, uint32_t gridColour, uint32_t kindColours, float scale,
                          const HeaderMetrics& base = BaseHeaderMetrics());
ViewState DecodeViewState(const std::array<uint32_t, 4>& saved,
                          const HeaderMetrics& base = BaseHeaderMetrics());
std::array<uint32_t, 4> EncodeViewState(const ViewState& state);

// ---------------------------------------------------------------------------
// What the geometry reads of a document

class SheetSource {
public:
    virtual ~SheetSource() = default;
    // Stored table size (a variable area counts as one); 0 x 0 without a
    // report.
    virtual void GetTableSize(int32_t* rows, int32_t* cols) const = 0;
    virtual void GetVarAreaInfo(VarAreaInfo* info) const = 0;
    virtual uint16_t GetRowHeight(int row) const = 0;
    virtual uint16_t GetColumnWidth(int col) const = 0;
    virtual bool IsDataState() const = 0;
};

// The real document as a source.
class DocSheetSource final : public SheetSource {
public:
    explicit DocSheetSource(const CQorsDoc* doc = nullptr) : m_doc(doc) {}
    void SetDocument(const CQorsDoc* doc) { m_doc = doc; }
    const CQorsDoc* Document() const { return m_doc; }

    void GetTableSize(int32_t* rows, int32_t* cols) const override;
    void GetVarAreaInfo(VarAreaInfo* info) const override;
    uint16_t GetRowHeight(int row) const override;
    uint16_t GetColumnWidth(int col) const override;
    bool IsDataState() const override;

private:
    const CQorsDoc* m_doc = nullptr;
};

// ---------------------------------------------------------------------------
// The geometry itself

class SheetGeometry {
public:
    SheetGeometry() = default;
    explicit SheetGeometry(const SheetSource* source, float scale = kDefaultViewScale);

    // The source is not owned. Refresh() must follow a change of source.
    void SetSource(const SheetSource* source) { m_source = source; }
    const SheetSource* Source() const { return m_source; }

    // Reads the table size, the variable area, the state and every stored
    // size again (cheap enough for every document change).
    void Refresh();
    // Pixel sizes use this scale: the display scale, or the print scale
    // while printing or laying out pages. Taken as given (callers validate
    // display scales with ValidViewScale).
    void SetScale(float scale);
    float Scale() const { return m_scale; }

    // ---- table shape
    // The stored counts (a variable area counts as one line).
    int RowCount() const { return m_rowCount; }
    int ColumnCount() const { return m_colCount; }
    // The last row: row count - 1, or row count + extent - 2 with a row
    // area; -1 for an empty table. Columns alike.
    int LastRow() const { return m_lastRow; }
    int LastColumn() const { return m_lastCol; }
    const VarAreaInfo& VarArea() const { return m_var; }
    bool IsDataState() const { return m_dataState; }
    bool HasRowArea() const { return m_var.kind == 1; }
    bool HasColumnArea() const { return m_var.kind == 2; }
    // Lines of the area shown after its start: used in data state, else 0.
    int VarShown() const { return m_dataState ? m_var.used : 0; }
    // View lines the area occupies: its extent, or more when the page uses
    // more lines; 0 without an area.
    int AreaLines() const { return m_areaLines; }
    // A line inside the hidden band of the matching area: start + shown <
    // index < start + extent.
    bool IsRowHidden(int row) const;
    bool IsColumnHidden(int col) const;

    // ---- sizes (pixels at Scale())
    // One row or column; 0 outside the table.
    int GetRowHeightPixels(int row) const;
    int GetColumnWidthPixels(int col) const;
    // Stored size of one line; 0 outside the table.
    uint16_t StoredRowHeight(int row) const;
    uint16_t StoredColumnWidth(int col) const;
    // Top of r1 to top of r2 (left of c1 to left of c2); hidden lines count
    // 0; negative when r2 < r1. Indices are clamped to 0 .. last + 1.
    int GetRowDistance(int r1, int r2) const;
    int GetColumnDistance(int c1, int c2) const;
    // Inclusive: the size of r1 .. r2 both ends counted; negative (the sum
    // over r2 .. r1) when r2 < r1.
    int GetRowSpan(int r1, int r2) const;
    int GetColumnSpan(int c1, int c2) const;
    // The whole sheet (0 to past the last line).
    int SheetHeight() const { return GetRowDistance(0, m_lastRow + 1); }
    int SheetWidth() const { return GetColumnDistance(0, m_lastCol + 1); }

    // The row reached by moving pixels from start: forward for a positive,
    // backward for a negative number, start for 0. The walk counts start
    // itself, skips hidden rows and stops at the first row at which the sum
    // reaches the distance, else at the last row (forward) or row 0
    // (backward). Only an area of the matching kind is stepped over.
    int RowFromOffset(int start, int pixels) const;
    int ColumnFromOffset(int start, int pixels) const;

    // The next (previous) visible row or column, or -1 past either end.
    // Stepping forward from the last shown line of an area jumps past its
    // hidden band; stepping back from inside or just after the band lands
    // on its last shown line.
    int StepRow(int row, bool backward) const;
    int StepColumn(int col, bool backward) const;

    // A row (column) as the view moves to it: clamped to 0 .. the last one
    // and moved from the hidden band onto the area's last shown line.
    int SnapRow(int row) const;
    int SnapColumn(int col) const;

    // ---- view <-> document indices (see the head of this file)
    // The document's row of a view row; -1 for a hidden row or one outside
    // 0 .. the last row. Columns alike.
    int DocRow(int viewRow) const;
    int DocColumn(int viewCol) const;
    // The view row of a document row (no range check).
    int ViewRow(int docRow) const;
    int ViewColumn(int docCol) const;
    CellArea ViewArea(const CellArea& docArea) const;
    // The view area of an area given in the report's stored lines (the
    // area-line list keeps those): a line after the variable area moves down
    // (right) by the area's lines in use first.
    CellArea StoredAreaToView(const CellArea& stored) const;

    // ---- the view's origin (client pixels)
    // Header strips: their sizes are the client x of column m_nFirstCol's
    // left edge and the y of row m_nFirstRow's top edge.
    void SetHeaders(int headerWidth, int headerHeight);
    int HeaderWidth() const { return m_headerWidth; }
    int HeaderHeight() const { return m_headerHeight; }
    void SetFirstCell(int firstRow, int firstCol);
    int FirstRow() const { return m_firstRow; }
    int FirstColumn() const { return m_firstCol; }
    // Client position of sheet (0, 0).
    int OriginX() const { return m_headerWidth - GetColumnDistance(0, m_firstCol); }
    int OriginY() const { return m_headerHeight - GetRowDistance(0, m_firstRow); }

    // ---- sheet <-> client, in place
    // To client: moved, size kept.
    void DocToClient(Rect& rect) const;
    void DocToClientPoint(int& x, int& y) const;
    void DocToClientPoint(QPoint& p) const;
    // To sheet: moved back, then clamped to 0 .. the sheet extent.
    void ClientToDoc(Rect& rect) const;
    void ClientToDocPoint(int& x, int& y) const;
    void ClientToDocPoint(QPoint& p) const;
    // rect holds (left column, top row, right column, bottom row) on entry
    // and the sheet-pixel rectangle of that block on return (right and
    // bottom one past the last line's far edge).
    void CellRangeToDocRect(Rect& rect) const;
    // The sheet extent ClientToDoc clamps to: the computed sheet size.
    int ExtentWidth() const { return SheetWidth(); }
    int ExtentHeight() const { return SheetHeight(); }

private:
    void rebuildPixels();
    static int lastIndex(int count, bool hasArea, int extent);
    static int distance(const std::vector<int>& prefix, int a, int b);
    // Shared by rows and columns: hasArea says whether the area is of the
    // matching kind.
    int offsetWalk(const std::vector<int>& pixels, int start, int distance, int last,
                   bool hasArea) const;
    int step(int index, bool backward, int last, bool hasArea) const;
    int snap(int index, int last, bool hasArea) const;
    bool hidden(int index, bool hasArea) const;
    int toDoc(int index, int last, bool hasArea) const;
    int toView(int index, bool hasArea) const;

    const SheetSource* m_source = nullptr;
    float m_scale = kDefaultViewScale;
    int m_areaLines = 0;
    int m_rowCount = 0, m_colCount = 0;
    int m_lastRow = -1, m_lastCol = -1;
    VarAreaInfo m_var;
    bool m_dataState = false;
    std::vector<uint16_t> m_storedRows, m_storedCols;  // last + 1 entries
    std::vector<int> m_rowPixels, m_colPixels;         // 0 for hidden lines
    std::vector<int> m_rowPrefix, m_colPrefix;         // last + 2 entries
    int m_headerWidth = 42, m_headerHeight = 21;
    int m_firstRow = 0, m_firstCol = 0;
};

// ---------------------------------------------------------------------------
// Selection helpers of the view

// Keeps the selection's anchor and end off the hidden band while it is
// extended; rows for a row area, columns for a column area (pass the
// matching line of the current cell, anchor and end). forward: the
// movement goes down or right. Does nothing without an area of that kind.
void AdjustSelectionForVarArea(const SheetGeometry& geo, bool rows, bool forward, int current,
                               int* anchor, int* end);

// Which lines a dragged row height (column width) is given to: the whole
// selected block when the selection spans whole rows (columns) and index
// lies in it, else only index. Rows of a block of 101 or more keep their
// size when the new size is 0 (a stray drag would hide them all).
struct SizeTargets {
    int first = 0;
    int last = 0;
};
SizeTargets RowSizeTargets(const SheetGeometry& geo, const CellArea& selection, int index,
                           int size);
SizeTargets ColumnSizeTargets(const SheetGeometry& geo, const CellArea& selection, int index);

}  // namespace qor::view

#pragma once
// Painting of the sheet view: the header strips, the grid, combined areas,
// area lines, the check mark, keyword texts, every other cell, the page
// breaks, the items and the selection, in that order, through one
// QPainter, so the same code draws on the screen and into an image (and
// printing reuses the cell routines of paint_cells.h).
//
// The view hands its state over in a PaintRequest and gets back what the
// paint found out (the last row and column reached, where the sheet ends);
// painting never changes the document or the view.

#include <QPainter>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/celltypes.h"
#include "print/paint_cells.h"
#include "print/paint_style.h"
#include "print/sheetgeometry.h"

class CComItem;
class CQorsDoc;

namespace qor::view {

enum class PaintMode {
    kScreen,  // the window: headers, grid, cells, breaks, items, selection
    kImage,   // the same picture without the selection
    kPrint,   // cells, areas and items by the printing rules: no headers,
              // grid, breaks or selection, no formula label, no white fills
};

// A row or column border being dragged in a header strip (the view's
// sizing state): the dragged line ends at the tracked position.
struct HeaderDrag {
    bool active = false;
    int hitCode = -1;  // c: right border of column c; 10,000 + r: bottom of row r
    int xSizing = -1;
    int ySizing = -1;
    int sizingOld = -1;
};

struct PaintRequest {
    const CQorsDoc* doc = nullptr;
    // Refreshed for the document, at the display scale, with the header
    // sizes and the first visible cell of the view.
    const SheetGeometry* geometry = nullptr;
    QSize clientSize;
    QRect clip;  // client pixels to paint; an empty one paints everything
    PaintMode mode = PaintMode::kScreen;
    uint32_t gridColour = kRefDefaultGrid;  // 0x00BBGGRR
    bool kindColours = false;
    bool dataOnly = false;
    HeaderDrag drag;
    bool drawItems = true;
    const CComItem* selectedItem = nullptr;
    bool chartEditing = false;
    // Brings a chart's picture up to date before it is drawn; the chart
    // layer installs it. Without one, charts draw the picture they have.
    std::function<void(CComItem*)> refreshItem;
};

struct PaintResult {
    int lastRow = -1;  // the last row (column) the header strips reached
    int lastCol = -1;
    bool rowsEnd = false;  // the sheet's last row (column) ends inside the window
    bool columnsEnd = false;
    int clipRight = 0;  // right and bottom limit of the painted part
    int clipBottom = 0;
    int drawnFirstRow = -1, drawnFirstCol = -1;  // the block of cells painted
    int drawnLastRow = -1, drawnLastCol = -1;
    // The first visible cell; moved past the hidden band of the variable
    // area when it lay in it (the view then takes it over with its scroll
    // bars).
    int firstRow = 0;
    int firstCol = 0;
};

// The one entry of the view's paint and of rendering a sheet into an image.
// Nothing is drawn without a document or a geometry, or when the document
// has no report or its redrawing is suspended.
PaintResult PaintSheet(QPainter& painter, const PaintRequest& request);

// A block of cells in view indices, both ends included.
struct CellBlock {
    int firstRow = 0;
    int firstCol = 0;
    int lastRow = -1;
    int lastCol = -1;
    bool contains(int row, int col) const {
        return row >= firstRow && row <= lastRow && col >= firstCol && col <= lastCol;
    }
};

// A page-break line as DrawPageBreaks draws it.
struct BreakLine {
    QLine line;
    bool manual = false;
    bool operator==(const BreakLine&) const = default;
};

// The painter behind PaintSheet, its steps open to the view and the tests.
// Rows and columns are view indices unless a name says otherwise.
// The request must name a document and a geometry.
class CellPainter {
public:
    // Cells far outside the window (a large combined area, a keyword above
    // the first visible row) are cut at this distance, which keeps every
    // coordinate well inside what the rasteriser handles.
    static constexpr int kFarLimit = 1 << 20;

    CellPainter(QPainter& painter, const PaintRequest& request);
    ~CellPainter();
    CellPainter(const CellPainter&) = delete;
    CellPainter& operator=(const CellPainter&) = delete;

    PaintResult Paint();

    // Header strips; each returns the last row (column) it reached.
    int DrawHeaderStrip(bool columns);
    struct HeaderCell {
        QString label;  // empty for the corner cell
        bool corner = false;
        bool columnStrip = false;
        bool selected = false;
        bool varLine = false;  // a shown line of the variable area
        items::Rect rect;
    };
    void DrawHeaderCell(const HeaderCell& cell);

    void DrawGrid();
    // Combined areas, area lines, the check mark and the keyword texts.
    void DrawAreas();
    void DrawCellRows();
    void DrawCellColumns();
    void DrawRowCells(int row);
    void DrawColumnCells(int col);
    void DrawPageBreaks();
    void DrawItems();
    void DrawSelection();

    // 1 and the rectangle when the cell is visible, 0 when its row is and
    // its column is not, -1 when its row is not (hidden or off the window).
    int GetCellClientRect(int col, int row, items::Rect* out) const;
    // The client rectangle of any cell, also above or left of the window.
    items::Rect GetCellClientRectEx(int row, int col) const;
    // True and the rectangle of an area (view indices) that overlaps the
    // painted block.
    bool GetAreaClientRect(const CellArea& area, items::Rect* out) const;
    // The cell under a client point; a point on the headers gives the first
    // visible row or column, the last row (column) takes points up to 4
    // pixels past its edge. False outside the sheet.
    bool HitTestCell(QPoint point, int* row, int* col) const;

    // The break lines of the painted block, in drawing order.
    std::vector<BreakLine> PageBreakLines() const;
    // The region the opaque items of the current page cover (client pixels);
    // the selection is not drawn there.
    QRegion ItemRegion() const;

    const CellBlock& Block() const { return m_block; }
    const SheetGeometry& Geometry() const { return *m_geo; }
    const PaintResult& Result() const { return m_result; }

private:
    struct FoundArea {
        CellArea view;  // view indices
        CellArea doc;   // as the document gave it
    };
    CellBlock blockFromClip(const QRect& sheetClip) const;
    CellArea storedToView(const CellArea& stored) const;
    bool inFoundArea(int row, int col) const;
    void drawOneCell(int row, int col);
    void drawItemTracker(CComItem* item);
    QFont headerFont(bool bold) const;

    QPainter& m_p;
    PaintRequest m_req;
    const CQorsDoc& m_doc;
    std::unique_ptr<SheetGeometry> m_ownGeo;  // a copy when the first cell had to move
    const SheetGeometry* m_geo;
    std::unique_ptr<CellDrawer> m_drawer;
    bool m_printing;
    bool m_dataState;
    QRect m_client;
    QRect m_clip;
    CellBlock m_block;
    std::vector<FoundArea> m_areas;  // combined areas met in the block
    PaintResult m_result;
};

}  // namespace qor::view

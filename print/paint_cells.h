#pragma once
// The routines that draw one cell, one combined area, an area line, the
// check mark and a keyword's text. The sheet painter calls them for the
// screen and for images; printing calls them with printing set, where the
// painter's units are points (stored sizes times the print scale) and the
// cell rectangles come from the printed block.
//
// Rows and columns here are the document's (the view's indices after
// SheetGeometry::DocRow/DocColumn): every one of them goes straight to the
// document's cell accessors.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

#include "charts/itemsupport.h"
#include "engine/celltypes.h"
#include "engine/uifont.h"
#include "print/paint_celltext.h"

class CQorsDoc;

namespace qor::view {

struct CellDrawOptions {
    bool printing = false;
    // Font sizes (points) are multiplied by this: the display scale on the
    // screen, the print scale when printing.
    double fontScale = 1.4;
    bool kindColours = false;  // texts in the standard colour of their kind
    bool dataOnly = false;     // overlay printing: no fills, lines or table texts
};

class CellDrawer {
public:
    CellDrawer(QPainter& painter, const CQorsDoc& doc, const CellDrawOptions& options);
    ~CellDrawer();
    CellDrawer(const CellDrawer&) = delete;
    CellDrawer& operator=(const CellDrawer&) = delete;

    // A plain cell (not of a combined area) in its rectangle (left, top at
    // its top-left grid line, right and bottom at the next ones): fill,
    // borders, then its text inside the rectangle shrunk by 1.
    void DrawCell(int row, int col, const items::Rect& rect);

    // The cell's background colour and hatch. skipWhite: a plain cell, whose
    // white fill is the cleared sheet already; its fill covers its own top
    // and left grid line. A combined area (skipWhite clear) is filled inside
    // its frame, which hides the grid lines between its cells.
    void DrawCellFill(int row, int col, const items::Rect& rect, bool skipWhite);
    // The four edges of a line-style word (bits 0-3 right, 4-7 left, 8-11
    // bottom, 12-15 top), right, bottom, left, top in that order.
    void DrawCellBorders(const items::Rect& rect, uint16_t code);
    // A text laid out in rect (already shrunk by 1) in the cell's font,
    // colour and alignment; numbers that do not fit become "#".
    void DrawCellText(int row, int col, const items::Rect& rect, const QString& text, int kind);
    // The text a cell shows, by state, formula state and kind.
    QString CellText(int row, int col, int kind, bool combinedArea) const;

    // A combined area in its rectangle: the first cell's fill and borders
    // over the whole area, then its text.
    void DrawCombinedArea(const CellArea& area, const items::Rect& rect);
    // A diagonal of an area: direction set from top-left to bottom-right,
    // else from bottom-left to top-right. Nothing for an empty rectangle.
    void DrawAreaLine(int code, bool topLeftToBottomRight, const items::Rect& rect);
    // The tick over the check-line area: one path of two cubic curves from
    // the top-right corner to the bottom-left one.
    void DrawCheckMark(const items::Rect& rect);
    // A keyword's text in the font of its cell: red, one line, not clipped,
    // moved right by the keyword's offset (already scaled by the caller).
    void DrawKeywordText(int slot, int row, int col, const items::Rect& rect, int offset,
                         const QString& text);

    // The font of a cell; the painter's font (with one log entry) when the
    // report cannot give one.
    struct FontEntry {
        FontDesc fd;
        QFont font;
        std::unique_ptr<FontTextMetrics> metrics;
    };
    const FontEntry& CellFont(int row, int col);
    // The drawer remembers which font it gave the painter; whoever sets
    // another one between two texts calls this.
    void PainterFontChanged() { m_currentFont = nullptr; }

private:
    void drawLayout(const CellTextLayout& layout, const items::Rect& clip, const FontEntry& f,
                    QColor colour);
    QColor textColour(int row, int col, int kind) const;

    QPainter& m_painter;
    const CQorsDoc& m_doc;
    CellDrawOptions m_options;
    bool m_dataState;
    std::vector<std::unique_ptr<FontEntry>> m_fonts;  // few per paint: searched in order
    std::unique_ptr<FontEntry> m_fallback;
    const FontEntry* m_currentFont = nullptr;  // what the painter holds now
};

// The check mark's seven Bezier points for a rectangle (integer division as
// the mark was always drawn): start, then two groups of control, control,
// end.
std::vector<QPoint> CheckMarkPoints(const items::Rect& rect);

}  // namespace qor::view

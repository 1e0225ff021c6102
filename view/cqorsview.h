#pragma once
// The spreadsheet window over a report document: it shows the current page
// of the report at its display scale with the column and row header
// strips, scrolls by whole rows and columns, moves the current cell and
// cuts the page into printed pages.
//
// The arithmetic lives in SheetGeometry and PageLayout, the drawing in the
// cell painter; this class holds the view's state and keeps the geometry
// in step with the document; its parts (scrolling, display, items, pages,
// clipboard, cell editing, in-place objects) each hold one concern and
// are reached through an accessor. Rows and columns of
// the view count the hidden band of a variable area (sheetgeometry.h);
// the document's current cell and selection are kept in the document's
// own indices and converted at this boundary.

#include <QImage>
#include <QLine>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "charts/itemformats.h"
#include "document/cmdtarget.h"
#include "document/commandtable.h"
#include "document/sheetselection.h"
#include "engine/uifont.h"
#include "view/celleditcontroller.h"
#include "view/celleditor.h"
#include "view/cellpainter.h"
#include "view/inplacecontroller.h"
#include "view/input_edit.h"
#include "view/input_logic.h"
#include "print/pagelayout.h"
#include "view/print_driver.h"
#include "print/sheetgeometry.h"
#include "view/viewclipboard.h"
#include "view/viewdisplay.h"
#include "view/viewitems.h"
#include "view/viewpages.h"
#include "view/viewscroll.h"

class CQorsDoc;
class CComItem;
class QPainter;
class QDrag;
class QMimeData;
class QPrinter;
class QLineEdit;
class CCellEdit;
namespace qor::view {
struct PaintRequest;
}
namespace qor::view {
class IChartWindow;
}

using qor::items::kObjectDescriptorMime;

class CQorsView : public QWidget, public qor::ICommandTarget {
    Q_OBJECT
    // The view's parts reach its state as the view itself does.
    friend class CellEditController;
    friend class InPlaceController;
    friend class ViewItems;
    friend class ViewDisplay;
    friend class ViewPages;
    friend class ViewScroll;

public:
    // The sheet's right-click menus: cells, and a selected item.
    static constexpr int kMenuCells = 115;
    static constexpr int kMenuItem = 102;
    // The chart window's menu: chart types, titles and data groups.
    static constexpr int kMenuChart = 114;

    explicit CQorsView(CQorsDoc* doc, QWidget* parent = nullptr);
    ~CQorsView() override;

    CQorsDoc* GetDocument() const { return m_pDoc; }

    // Restores the saved view state (scale validated), fills the scroll
    // ranges and stores the sheet extent in the document.
    void OnInitialUpdate();

    // ---- geometry (display scale, or the print scale while m_bPrintMapping)
    const qor::view::SheetGeometry& Geometry() const { return m_geo; }
    // Reads the document's table again; called on every change it reports.
    void RefreshGeometry();

    // ---- scroll bars, first shown cell and jumps (viewscroll.h)
    ViewScroll& Scroll() { return m_scroll; }

    // ---- header sizes, colours and scale (viewdisplay.h)
    ViewDisplay& Display() { return m_display; }

    // Ctrl+F2: a chart of the selected cells, defined in the area-chart
    // dialog, centred in the visible sheet and selected in every view.
    // False when the area is refused (the user is told) or the dialog is
    // cancelled.
    bool InsertAreaChart();
    // Inserts an object made from a file chosen in the insert-object
    // dialog, selected; false when cancelled or refused (the user is told).
    bool OnInsertObject();

    // The properties of the selected embedded or linked object: its scale
    // (10 to 500 %), and for a link its file updated now or opened.
    void OnObjectItemProperties();

    // ---- items on the page, dragged out and dropped in (viewitems.h)
    ViewItems& Items() { return m_items; }

    // A dragged row height or column width in stored units.
    void ApplyRowColumnSize(int index, int size, bool isRow);
    // Keeps the selection's ends off the hidden band while it is extended.
    void AdjustSelectionForVarArea(bool forward);
    // Shows the tracking line of a border drag; the same call again
    // removes it. It runs to the client edge.
    void DrawSizingLine(int x, int y, bool horizontal);
    std::optional<QLine> SizingLine() const { return m_sizingLine; }

    // ---- printed pages and breaks (viewpages.h)
    ViewPages& Pages() { return m_pages; }

    // ---- painting
    // Draws the visible part of the sheet into painter (client pixels).
    void OnDraw(QPainter& painter, const QRect& clip);
    // What OnDraw hands the cell painter for the screen.
    qor::view::PaintRequest ScreenPaintRequest(const QRect& clip) const;
    // Context menu of the sheet; none yet (Shift+F10 and the menu key are
    // still consumed).
    virtual void OnContextMenu(QPoint globalPos);

    // ---- input: mouse and keys
    // Stores the current cell and the selection (view indices, normalised
    // here) in the document and refreshes the formula bar.
    void SetCurrentAndSelection(int row, int col, int r1, int c1, int r2, int c2);
    void SetCurrentAndSelection(const qor::view::Selection& sel);
    // The current cell and selection in view indices.
    qor::view::Selection CurrentSelection() const;
    // The combined area of a view cell, in view indices.
    qor::view::CombinedLookup CombinedAreas() const;
    // Directions 1 up, 2 down, 3 left, 4 right; scrolls to keep it shown.
    void MoveCurrentCell(int direction);
    // A keyboard step (dRow, dCol) or, with both 0, a mouse drag to (row,
    // col) in the drag mode m_nHitCode.
    void ExtendSelection(int row, int col, int dRow, int dCol);
    // A key as the sheet handles it (Qt key codes).
    void OnKeyDown(int key, bool shift, bool ctrl);
    // A typed character (control characters for Ctrl+C, V, X).
    void OnChar(QChar ch, bool ctrl);
    // A double click; openVerb (Ctrl held) opens an object in its own
    // window rather than editing it where it is shown.
    void OnLButtonDblClk(QPoint p, bool openVerb = false);

    // ---- objects edited in place (inplacecontroller.h)
    InPlaceController& InPlace() { return m_inPlace; }
    using InPlaceHooks = InPlaceController::Hooks;

    // ---- clipboard commands (viewclipboard.h)
    ViewClipboard& Clipboard() { return m_clipboard; }

    // ---- in-cell editing (celleditcontroller.h)
    CellEditController& CellEdit() { return m_cellEdit; }

    // ---- object commands (view_commands.cpp)
    // The selected item's appearance (33259) and a chart's properties
    // (57860) through their dialogs.
    void OnObjectAppearance();
    void OnObjectProperties();

    // ---- menu commands (view_commands.cpp)
    // The view's commands for the frame's router: clipboard, zoom and
    // style, page breaks, items, table size, cell attributes, page tabs,
    // printing, exports and the split. Off with a reason when the report,
    // its state, the selection or the dialog does not allow them.
    bool OnUpdateCommand(int id, qor::CommandState& state) override;
    bool OnCommand(int id) override;
    // While a chart is edited its window answers first, and it names no
    // ids: the view then asks to be asked about all.
    const qor::CommandIdSet* DeclaredCommands() const override;
    // A command the sheet's keys ask for (Ctrl+C, X, V): sent to the frame
    // when one listens to commandRequested, else run here.
    void RequestCommand(int id);
    // The cell-attribute sheet for the selection (all four pages).
    bool OnCellAttributes();
    // The sheet without the pages of removeMask; after OK what the visited
    // pages hold is written to the selection. True when closed with OK.
    bool EditCellAttributes(int removeMask);
    // The table-size dialog, then SetTableSize on OK.
    void OnTableSize();
    // New table size (stored rows and columns, format state): scroll
    // positions pulled back, 0,0 current, the layout flagged for every view.
    bool SetTableSize(int rows, int cols);
    // Moves the page tabs' first shown page back or forward (data state).
    void OnPageTabsBack();
    void OnPageTabsForward();
    // Runs the print dialog (UI services) and prints; without ask (57608)
    // prints every page on the default printer at once.
    void OnFilePrint(bool ask = true);
    // Prints the selected item alone, through the print dialog; tells the
    // user when nothing is selected.
    void OnObjectPrint();
    // The own XML and the HTML page of the saved report beside it.
    void OnExportXml();
    void OnExportHtml();
    // Scrolls the sheet right of (below) the dragged border with the mouse
    // while a column (row) is being resized: delta pixels from fixedEdge.
    void ScrollResizePreview(int fixedEdge, int delta, bool horizontal);

    // Shows the print preview; tests replace it (default: the modal
    // preview dialog). Returns the previous runner.
    using PreviewRunner = std::function<void(CQorsDoc&, const qor::view::PrintJobSettings&)>;
    static PreviewRunner SetPreviewRunner(PreviewRunner runner);

private:
    // The print command: the sheet, or object alone.
    void PrintJob(bool ask, CComItem* object);
    // Printing is off while an object of the report is active in place,
    // and in the report edited in place itself.
    bool printingBlocked() const;
    // The sheet's commands, one row each: id, enable rule, handler.
    static const qor::CommandTable<CQorsView>& commands();

public:
    // ---- the view's state read from outside
    // The first shown row and column (view indices).
    int FirstRow() const { return m_nFirstRow; }
    int FirstColumn() const { return m_nFirstCol; }
    // What the mouse press or drag is over (the hit codes of input_logic.h).
    int HitCode() const { return m_nHitCode; }
    // A header drag or split is running: the context menu waits.
    void SetHeaderAction(bool on) { m_bHeaderAction = on ? 1 : 0; }

private:
    // The splitter places its panes.
    friend class CQorSplitterWnd;
    int32_t m_bDataOnly = 0;
    int32_t m_bKindColours = 0;
    uint32_t m_crGrid = 0xC0C0C0;
    float m_fScale = qor::view::kDefaultViewScale;
    int32_t m_nHitCode = -1;
    QPoint m_ptTrack{-1, -1}, m_ptDown{-1, -1};
    int32_t m_bHeaderAction = 0;
    int32_t m_xSizing = -1, m_ySizing = -1;
    int32_t m_bSizing = 0;
    int32_t m_nSizingOld = -1;
    int32_t m_nHeaderWidth = 42;
    int32_t m_nHeaderHeight = 21;
    int32_t m_nPaneRow = 0, m_nPaneCol = 0;
    int32_t m_bPrintMapping = 0;
    int32_t m_nColCount = 0, m_nRowCount = 0;
    int32_t m_nFirstRow = 0, m_nFirstCol = 0;
    int32_t m_bRelayoutPending = 0;
    int32_t m_bInPaint = 0;
    int32_t m_bObjectsOnly = 0;
    int32_t m_bNoPrinter = 0;
    int32_t m_bLeftDown = 0;
    int32_t m_bMovedTracking = 0;
    int32_t m_bPostButtonUp = 0;
    QPoint m_ptHover{-1, -1};

signals:
    // A frame command the sheet asks for (state switch 33298, copy 57634,
    // cut 57635, paste 57637); see RequestCommand.
    void commandRequested(int id);
    // A right click asks for the sheet's menu (115 cells, 102 an item) at a
    // screen point; the frame shows it.
    void contextMenuRequested(int menuId, QPoint globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void onDocumentChanged(int hint);
    void hover(QPoint p);
    void pressCells(QPoint p, bool right, bool extend = false);
    void finishSizing(QPoint p);

    CQorsDoc* m_pDoc;
    qor::view::DocSheetSource m_source;
    qor::view::SheetGeometry m_geo;
    std::optional<QLine> m_sizingLine;
    std::unique_ptr<QPrinter> m_printer;
    // The current cell and selection, one for every view of the document
    // (panes of a split window and other windows on the report move
    // together); the document reads it through CQorsDoc::Selection().
    std::shared_ptr<qor::SheetSelection> m_selection;
    ViewClipboard m_clipboard{*this};
    CellEditController m_cellEdit{*this};
    InPlaceController m_inPlace{*this};
    ViewItems m_items{*this};
    ViewPages m_pages{*this};
    ViewScroll m_scroll{*this};
    ViewDisplay m_display{*this};
    // What the last paint of the screen reached.
    qor::view::PaintResult m_lastPaint;
};

// Every sheet view open on doc.
std::vector<CQorsView*> SheetViewsOf(const CQorsDoc* doc);

#pragma once
// The spreadsheet window over a report document: it shows the current page
// of the report at its display scale with the column and row header
// strips, scrolls by whole rows and columns, moves the current cell and
// cuts the page into printed pages.
//
// The arithmetic lives in SheetGeometry and PageLayout, the drawing in the
// cell painter; this class holds the view's state, keeps the geometry in
// step with the document and wires the scroll bars. Rows and columns of
// the view count the hidden band of a variable area (sheetgeometry.h);
// the document's current cell and selection are kept in the document's
// own indices and converted at this boundary.

#include <QImage>
#include <QLine>
#include <QPointer>
#include <QScrollBar>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "charts/itemformats.h"
#include "document/cmdtarget.h"
#include "engine/uifont.h"
#include "view/celleditor.h"
#include "view/input_edit.h"
#include "view/input_logic.h"
#include "view/pagelayout.h"
#include "view/print_driver.h"
#include "view/sheetgeometry.h"

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
namespace qor::clip {
class IPasteSpecialDialog;
}
namespace qor::view {
class IChartWindow;
}

using qor::items::kObjectDescriptorMime;

class CQorsView : public QWidget, public qor::ICommandTarget {
    Q_OBJECT

public:
    // The sheet's right-click menus: cells, and a selected item.
    static constexpr int kMenuCells = 115;
    static constexpr int kMenuItem = 102;
    // The chart window's menu: chart types, titles and data groups.
    static constexpr int kMenuChart = 114;

    explicit CQorsView(CQorsDoc* doc, QWidget* parent = nullptr);
    ~CQorsView() override;
    CQorsView(const CQorsView&) = delete;
    CQorsView& operator=(const CQorsView&) = delete;

    CQorsDoc* GetDocument() const { return m_pDoc; }

    // Restores the saved view state (scale validated), fills the scroll
    // ranges and stores the sheet extent in the document.
    void OnInitialUpdate();

    // ---- geometry (display scale, or the print scale while m_bPrintMapping)
    const qor::view::SheetGeometry& Geometry() const { return m_geo; }
    // Reads the document's table again; called on every change it reports.
    void RefreshGeometry();
    int GetRowHeightPixels(int row) const { return m_geo.GetRowHeightPixels(row); }
    int GetColumnWidthPixels(int col) const { return m_geo.GetColumnWidthPixels(col); }
    int GetRowDistance(int r1, int r2) const { return m_geo.GetRowDistance(r1, r2); }
    int GetColumnDistance(int c1, int c2) const { return m_geo.GetColumnDistance(c1, c2); }
    int GetRowSpan(int r1, int r2) const { return m_geo.GetRowSpan(r1, r2); }
    int GetColumnSpan(int c1, int c2) const { return m_geo.GetColumnSpan(c1, c2); }
    int RowFromOffset(int start, int pixels) const { return m_geo.RowFromOffset(start, pixels); }
    int ColumnFromOffset(int start, int pixels) const {
        return m_geo.ColumnFromOffset(start, pixels);
    }
    int StepRow(int row, bool backward) const { return m_geo.StepRow(row, backward); }
    int StepColumn(int col, bool backward) const { return m_geo.StepColumn(col, backward); }
    void DocToClient(qor::view::Rect& rect) const { m_geo.DocToClient(rect); }
    void ClientToDoc(qor::view::Rect& rect) const { m_geo.ClientToDoc(rect); }
    void DocToClientPoint(QPoint& p) const;
    void ClientToDocPoint(QPoint& p) const;
    void CellRangeToDocRect(qor::view::Rect& rect) const { m_geo.CellRangeToDocRect(rect); }

    // ---- the current cell and selection in view indices
    int CurrentRow() const;
    int CurrentColumn() const;
    CellArea SelectionArea() const;

    // ---- navigation and scroll bars
    // The splitter's shared scroll bars (either may be null); the view then
    // follows and drives them.
    void SetScrollBars(QScrollBar* horizontal, QScrollBar* vertical);
    void UpdateScrollRanges();
    // Scrolls (row, col) to the top-left and makes it current; the
    // selection ends at (endRow, endCol), or at the cell for -1, -1.
    void GoToCell(int row, int col, int endRow = -1, int endCol = -1);
    // Moves one scroll position only and selects the cell alone.
    void ScrollToCell(int row, int col, bool horizontalOnly);
    void GoToLastCell();
    void GoToRowEnd();
    // With col -1: the first column of row outside every combined area;
    // with row -1: the first such row of col. 0 when there is none.
    int FindUncombinedCell(int row, int col) const;
    // Sets the first visible row and column (clamped and moved off the
    // hidden band) and the scroll bars with them.
    void SetFirstCell(int row, int col);

    // ---- scale and sizes
    // The saved view state: header sizes, grid colour, kind colours, scale
    // (an invalid scale gives 1.4 and default headers).
    void SetViewScale(uint32_t origin, uint32_t gridColour, uint32_t kindColours, float scale);
    qor::view::ViewState CurrentViewState() const;
    // The display scale command: the zoom dialog with the percent; on OK
    // the new scale, header sizes, saved view state and rescaled items.
    void OnDisplayScale();
    // The display style command: headers shown or hidden, kind colours and
    // grid colour; on OK saved with the report and passed to the other
    // views of the document (all but their header sizes).
    void OnDisplayStyle();
    // Moves items reaching past the document's sheet extent back onto it.
    void ClampItemsToSheet();
    // Ctrl+F2: a chart of the selected cells, defined in the area-chart
    // dialog, centred in the visible sheet and selected in every view.
    // False when the area is refused (the user is told) or the dialog is
    // cancelled.
    bool InsertAreaChart();
    // Edits a chart item in place: the chart window over the item, every
    // command to it first. False when the item is no chart or charts
    // cannot be edited here.
    bool BeginChartEdit(CComItem* item);
    // Inserts an object made from a file chosen in the insert-object
    // dialog, selected; false when cancelled or refused (the user is told).
    bool OnInsertObject();
    // Ends the editing: the item takes the chart as edited and is drawn
    // again; the chart window goes.
    void EndChartEdit();

    // The cells of rows top..bottom and columns left..right (document
    // indices from 0) with the page's items over them, at this view's
    // scale, as other programs get them; null when there is nothing to
    // draw.
    QImage DrawCellRange(int left, int top, int right, int bottom) const;

    // The properties of the selected embedded or linked object: its scale
    // (10 to 500 %), and for a link its file updated now or opened.
    void OnObjectItemProperties();

    // The selected item's tracker cursor at a client point below and right
    // of the headers; false (cursor untouched) elsewhere.
    bool SetItemCursor(QPoint client);

    // ---- items dragged out and dropped in
    // Runs a drag of the item's data and returns what the target did; the
    // default runs QDrag::exec where the platform has drag and drop (tests
    // install one that drops by hand). -1: no drag could run.
    using DragRunner = std::function<int(QDrag& drag, CQorsView& source)>;
    static DragRunner SetDragRunner(DragRunner runner);
    // A press in the middle of an item: the item as drag data (copy or
    // move) from its place, grabbed at the point. After a move to another
    // window the item goes from here; a drop on this view moved it itself.
    // False when no drag could run (the tracker then moves the item).
    bool StartItemDrag(CComItem* item, QPoint client);
    // The drop rules over a client point: the item's corner in sheet
    // pixels and the effect (qor::view::DropEffect).
    int DropEffectAt(QPoint client, bool ctrl, QPoint* sheetCorner) const;
    // Scrolls one column or row when a drag is over a header or the
    // 20-pixel band at the right or bottom, at most every 100 ms; true
    // when it scrolled.
    bool AutoScrollForDrop(QPoint client, qint64 nowMs);
    std::optional<QRect> DropFocusRect() const { return m_dropRect; }
    // The drop of data at a client point with an effect; true when
    // something was pasted or moved (a move inside this view reports
    // false so that the source keeps its item).
    bool DropData(const QMimeData* data, QPoint client, int effect);
    // A dragged row height or column width in stored units.
    void ApplyRowColumnSize(int index, int size, bool isRow);
    // Keeps the selection's ends off the hidden band while it is extended.
    void AdjustSelectionForVarArea(bool forward);
    // Shows the tracking line of a border drag; the same call again
    // removes it. It runs to the client edge.
    void DrawSizingLine(int x, int y, bool horizontal);
    std::optional<QLine> SizingLine() const { return m_sizingLine; }

    // ---- page layout and breaks
    // The number of printed pages, after the automatic breaks are stored in
    // the document; nothing (after telling the user why) when no layout can
    // be made.
    std::optional<int> RecalcPageLayout();
    // The same for 16-bit callers: 0xFFFF for no layout.
    uint16_t RecalcPageLayoutLegacy() { return qor::view::LegacyPageCount(RecalcPageLayout()); }
    // Makes sure a printer exists. With ask, the print dialog runs with that
    // request and its printer becomes the view's; false when cancelled.
    // Without, the printer of the last print dialog, else the default one,
    // else a PDF printer with the default paper.
    bool PreparePrinting(qor::PrintRequest* ask = nullptr);
    QPrinter* Printer() const { return m_printer.get(); }
    // Where the sheet may print on the printer's paper, in points from its
    // corner, before the report's margins.
    qor::view::PageRect PrintableArea() const;
    void OnForcedPageBreak();
    void OnShowPageBreaks();
    bool OnUpdateShowPageBreaks() const;
    void OnClearAllPageBreaks();
    int IsPageBreakAtCurrentCell();

    // ---- painting
    // While printing, pixel sizes use the document's print scale.
    void SetPrintMapping(bool on);
    // Print mapping (m_bPrintMapping): twips on the painter's device.
    void OnPrepareDC(QPainter& painter) const;
    // Draws the visible part of the sheet into painter (client pixels).
    void OnDraw(QPainter& painter, const QRect& clip);
    // What OnDraw hands the cell painter for the screen.
    qor::view::PaintRequest ScreenPaintRequest(const QRect& clip) const;
    // Context menu of the sheet; none yet (Shift+F10 and the menu key are
    // still consumed).
    virtual void OnContextMenu(QPoint globalPos);
    // The right button's release: the item under the point becomes the
    // selection, then the cells' menu (115) or the item's (102) is asked
    // for at the point. Nothing while another view edits a chart.
    void OnRButtonUp(QPoint client);
    // The formula bar's mirror of the current cell: its formula or contents
    // with flag set, empty with flag clear.
    virtual void UpdateEditLine(int flag);

    // ---- input: mouse and keys
    // The cell under a client point (view indices).
    qor::view::CellHit HitTestCell(QPoint p) const { return qor::view::HitTestCell(m_geo, p); }
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
    void DrawSelectionMarks(bool erase);
    // A key as the sheet handles it (Qt key codes).
    void OnKeyDown(int key, bool shift, bool ctrl);
    // A typed character (control characters for Ctrl+C, V, X).
    void OnChar(QChar ch, bool ctrl);
    // A double click; openVerb (Ctrl held) opens an object in its own
    // window rather than editing it where it is shown.
    void OnLButtonDblClk(QPoint p, bool openVerb = false);

    // ---- objects edited in place
    // True while an object of this view's report is edited in place over
    // the view, and in the view of a report that is itself such an object:
    // printing is off then.
    bool IsInPlaceActive() const;
    // What edits an embedded report in place; the window layer installs it.
    // activate: the object is edited over the view (false: it was not);
    // deactivate: what is active in the view's report is stored back and
    // its window goes (false: nothing was active).
    struct InPlaceHooks {
        std::function<bool(CQorsView& container, CComItem* item)> activate;
        std::function<bool(CQorsView& container)> deactivate;
    };
    static void SetInPlaceHooks(InPlaceHooks hooks);
    static const InPlaceHooks& GetInPlaceHooks();
    // Ends in-place editing in this view's report; false when none was on.
    bool DeactivateInPlaceItem();
    // The scroll bars off while an object edited in place sits over the
    // sheet at a fixed place, on again afterwards.
    void SetSheetScrolling(bool on) { setSheetScrolling(on); }
    // The rows or columns shown now.
    int LastVisibleRow() const { return qor::view::LastVisibleRow(m_geo, height()); }
    int LastVisibleColumn() const { return qor::view::LastVisibleColumn(m_geo, width()); }

    // ---- clipboard commands (clipcmd_view.cpp)
    void OnEditCopy();
    void OnEditCut();
    void OnEditClear();
    void OnEditPaste();
    void OnEditPasteLink();
    // dialog null: the default, which cancels without a window.
    void OnEditPasteSpecial(qor::clip::IPasteSpecialDialog* dialog = nullptr);
    // inPlaceFrame: non-null while the report runs in place in another
    // program.
    bool OnUpdateEditCopy(const void* inPlaceFrame = nullptr) const;
    bool OnUpdateEditPaste() const;
    bool OnUpdateEditPasteSpecial() const;
    // Runs one of the clipboard command ids; false for another id.
    bool OnClipboardCommand(int id);

    // ---- in-cell editing
    CCellEdit* CellEditor() const { return m_pCellEdit; }
    CCellEdit* FormulaBar() const { return m_pFormulaBar; }
    // The frame's formula bar and reference box (either may be null).
    void AttachFormulaBar(CCellEdit* bar, QLineEdit* referenceBox = nullptr);
    // What the editor needs for the current cell: client rectangle (zero
    // when the cell is not shown), mode (-1: no editing), font, decimals.
    void PrepareCellEdit(qor::view::Rect* rect, int* mode, FontDesc* font, int* decimals) const;
    // Stores text into the current cell (into its combined area's first
    // cell). 0 or the document's status.
    int SetCurrentCellText(const QString& text, int mode);
    // After a commit: redraw and move as the key does.
    void HandleEditKey(int key);
    // The entry mode typing ch on the sheet would open (-1: refused).
    int TypingEntryMode(QChar ch) const;
    // Opens the in-cell editor over the current cell with a typed text.
    bool OpenCellEditor(const QString& typed);
    // Commits a pending entry and hides the in-cell editor. False when the
    // cell refused the entry, which then stays open.
    bool CommitPendingEdit();
    // Writes the selection's reference into the reference box.
    void ShowCellReference(int flag);

    // ---- items on the page (viewitems_view.cpp)
    // The topmost item of the shown page under a client point.
    CComItem* HitTestItems(QPoint client) const;
    void SetSelection(CComItem* item);
    bool IsSelected(const CComItem* item) const { return item && item == m_pSelection; }
    // A press on an item: selects it in every view of the document and
    // moves or sizes it with the tracker. False when no item is under the
    // point (the cells take the press).
    bool PressItem(QPoint client, bool right);
    // The selected item's appearance (33259) and a chart's properties
    // (57860) through their dialogs.
    void OnObjectAppearance();
    void OnObjectProperties();
    void OnBringToFront();
    void OnSendToBack();
    void DeleteSelectedItem();

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
    // Printing is off while an object of the report is active in place.
    bool printingBlocked() const;
    // The sheet's commands, one row each: id, enable rule, handler.
    struct Command;
    static const std::vector<Command>& commandTable();
    static const Command* findCommand(int id);

public:
    // ---- the view's state (names as the other parts of the view use them)
    int32_t m_bDeactivatedItem = 0;
    int32_t m_bDataOnly = 0;
    int32_t m_bColumnsEnd = 0, m_bRowsEnd = 0;
    int32_t m_bKindColours = 0;
    uint32_t m_crGrid = 0xC0C0C0;
    float m_fScale = qor::view::kDefaultViewScale;
    int32_t m_nFirstPrintPage = 0;
    int32_t m_bTrackPrintEnd = 1;
    int32_t m_xPrintEnd = 0, m_yPrintEnd = 0;
    int32_t m_nHitCode = -1;
    QPoint m_ptTrack{-1, -1}, m_ptDown{-1, -1};
    int32_t m_bHeaderAction = 0;
    int32_t m_xSizing = -1, m_ySizing = -1;
    int32_t m_bSizing = 0;
    int32_t m_nSizingOld = -1;
    int32_t m_xClipRight = 0, m_yClipBottom = 0;
    int32_t m_nHeaderWidth = 42;
    int32_t m_nHeaderHeight = 21;
    int32_t m_nPaneRow = 0, m_nPaneCol = 0;
    int32_t m_bPrintMapping = 0;
    int32_t m_nColCount = 0, m_nRowCount = 0;
    int32_t m_nLastCol = 0, m_nLastRow = 0;
    int32_t m_nFirstRow = 0, m_nFirstCol = 0;
    int32_t m_nDrawnFirstCol = 0, m_nDrawnLastCol = 0, m_nDrawnFirstRow = 0, m_nDrawnLastRow = 0;
    int32_t m_bRelayoutPending = 0;
    int64_t m_dwLastDragTick = 0;
    int32_t m_bChartEditing = 0;
    // The window the chart is edited in while m_bChartEditing is set.
    std::unique_ptr<qor::view::IChartWindow> m_pPicWnd;
    int32_t m_bInPaint = 0;
    CComItem* m_pSelection = nullptr;
    int32_t m_bRenderRange = 0;
    int32_t m_bObjectsOnly = 0;
    int32_t m_bNoPrinter = 0;
    int32_t m_bLeftDown = 0;
    int32_t m_bMovedTracking = 0;
    int32_t m_bImeKey = 0;
    int32_t m_bPostButtonUp = 0;
    QPoint m_ptHover{-1, -1};
    // A drag of this view's item is running; cleared by a drop on this view.
    bool m_bDraggingOut = false;
    bool m_bDroppedHere = false;
    // The dragged object's size and grab offset (pixels) and its frame.
    QSize m_dropSize;
    QPoint m_dropOffset;
    std::optional<QRect> m_dropRect;

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
    void syncScrollBars();
    // Off while a chart is edited over the sheet, so its window stays on
    // its cells.
    void setSheetScrolling(bool on);
    void selectInDocument(int row, int col, int endRow, int endCol);
    void applyViewState(const qor::view::ViewState& state);
    void hover(QPoint p);
    void pressCells(QPoint p, bool right, bool extend = false);
    void finishSizing(QPoint p);
    bool currentCellShown() const;
    bool typingContext(bool ctrl, qor::view::TypingContext* ctx) const;
    void keepRowsShown(const CellArea& sel, bool up);
    void keepColumnsShown(const CellArea& sel, bool left);

    CQorsDoc* m_pDoc;
    qor::view::DocSheetSource m_source;
    qor::view::SheetGeometry m_geo;
    QPointer<QScrollBar> m_hBar, m_vBar;
    bool m_syncingBars = false;
    std::optional<QLine> m_sizingLine;
    std::unique_ptr<QPrinter> m_printer;
    CCellEdit* m_pCellEdit = nullptr;  // child, owned by Qt
    QPointer<CCellEdit> m_pFormulaBar;
    QPointer<QLineEdit> m_pRefBox;
};

// Every sheet view open on doc.
std::vector<CQorsView*> SheetViewsOf(const CQorsDoc* doc);

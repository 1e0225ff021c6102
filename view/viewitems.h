#pragma once
// The sheet view's side of the page items: the selected item (one per
// view), the press, move and size of an item, the chart edited over the
// sheet, the object commands, and items dragged out of the sheet or data
// dropped onto it. The rules themselves are in viewitems_logic; the view
// reaches its part through CQorsView::Items().

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>
#include <optional>

class CQorsView;
class CComItem;
class QDrag;
class QMimeData;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
namespace qor::view {
class IChartWindow;
}

class ViewItems {
public:
    explicit ViewItems(CQorsView& view);
    ~ViewItems();
    ViewItems(const ViewItems&) = delete;
    ViewItems& operator=(const ViewItems&) = delete;

    // ---- the selected item and the chart edited over the sheet
    CComItem* Selected() const { return m_pSelection; }
    bool IsSelected(const CComItem* item) const { return item && item == m_pSelection; }
    // Selects item (null: none) in this view; another selection ends the
    // chart editing, keeping what was done.
    void SetSelection(CComItem* item);
    // Takes item as the selection as it is: no redraw, no editing ended
    // (an item that went away elsewhere).
    void AssignSelected(CComItem* item) { m_pSelection = item; }
    // A chart is edited over the sheet, in ChartWindow() while it is open.
    bool IsChartEditing() const { return m_bChartEditing != 0; }
    void SetChartEditingFlag(bool on) { m_bChartEditing = on ? 1 : 0; }
    qor::view::IChartWindow* ChartWindow() const { return m_pPicWnd.get(); }
    // Edits a chart item in place: the chart window over the item, every
    // command to it first. False when the item is no chart or charts
    // cannot be edited here.
    bool BeginChartEdit(CComItem* item);
    // Ends the editing: the item takes the chart as edited and is drawn
    // again; the chart window goes.
    void EndChartEdit();

    // ---- the mouse over items
    // The topmost item of the shown page under a client point.
    CComItem* HitTestItems(QPoint client) const;
    // A press on an item: selects it in every view of the document and
    // moves or sizes it with the tracker. False when no item is under the
    // point (the cells take the press).
    bool PressItem(QPoint client, bool right);
    // The selected item's tracker cursor at a client point below and right
    // of the headers; false (cursor untouched) elsewhere.
    bool SetItemCursor(QPoint client);
    // The right button's release: the item under the point becomes the
    // selection, then the cells' menu (115) or the item's (102) is asked
    // for at the point. Nothing while another view edits a chart.
    void OnRButtonUp(QPoint client);

    // ---- object commands
    void OnBringToFront();
    void OnSendToBack();
    void DeleteSelectedItem();
    // Moves items reaching past the document's sheet extent back onto it.
    void ClampItemsToSheet();
    // The cells of rows top..bottom and columns left..right (document
    // indices from 0) with the page's items over them, at the view's
    // scale, as other programs get them; null when there is nothing to
    // draw.
    QImage DrawCellRange(int left, int top, int right, int bottom) const;

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
    // The view's drag and drop events.
    void DragEnter(QDragEnterEvent* event);
    void DragMove(QDragMoveEvent* event);
    void DragLeave();
    void Drop(QDropEvent* event);

private:
    CQorsView& m_v;
    CComItem* m_pSelection = nullptr;
    int32_t m_bChartEditing = 0;
    // The window the chart is edited in while m_bChartEditing is set.
    std::unique_ptr<qor::view::IChartWindow> m_pPicWnd;
    int64_t m_dwLastDragTick = 0;
    // A drag of this view's item is running; cleared by a drop on this view.
    bool m_bDraggingOut = false;
    bool m_bDroppedHere = false;
    // The dragged object's size and grab offset (pixels) and its frame.
    QSize m_dropSize;
    QPoint m_dropOffset;
    std::optional<QRect> m_dropRect;
};

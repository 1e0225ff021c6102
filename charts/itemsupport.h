#pragma once
// What the document items share with the layers above them: the sheet
// rectangle record, the integer scaling the size rules use, the tracker a
// view sets up round an item, and the two small interfaces through which an
// item reaches the document that owns it and the view that shows it. The
// items stay below the document and the view; those implement the
// interfaces.

#include <QPoint>
#include <QSize>
#include <cstdint>

class CComItem;

namespace qor::items {

// A rectangle as the sheet measures it: right and bottom are exclusive
// (right = left + width), and widths may be negative, which QRect cannot
// carry faithfully.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    static Rect fromPosSize(QPoint pos, QSize size) {
        return {pos.x(), pos.y(), pos.x() + size.width(), pos.y() + size.height()};
    }
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool isNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    bool operator==(const Rect&) const = default;
};

// a * b / c in 64 bits, rounded half away from zero; -1 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

// Tracker styles a view draws round an item.
enum TrackerStyle : uint32_t {
    kTrackSolidLine = 1,
    kTrackDottedLine = 2,
    kTrackHatchedBorder = 4,
    kTrackResizeInside = 8,
    kTrackResizeOutside = 16,
    kTrackHatchInside = 32,
};

// The frame and handles a view draws round an item, in client pixels.
struct ItemTracker {
    Rect rect;
    uint32_t style = 0;
    QSize minimum{0, 0};
    int handleSize = 8;

    // -1 outside, 0..7 a handle (corners first: top-left, top-right,
    // bottom-right, bottom-left, then the middles of top, right, bottom,
    // left), 8 inside.
    int HitTest(QPoint point) const;
};

// The view an item is shown in (the sheet view implements it).
class IItemView {
public:
    virtual ~IItemView() = default;
    // Sheet pixels to the view's client pixels.
    virtual Rect DocToClient(const Rect& r) const = 0;
    // The item the view has selected (null for none).
    virtual const CComItem* SelectedItem() const = 0;
    // True while the view's chart window is editing a chart.
    virtual bool IsChartEditing() const = 0;
};

// The document an item belongs to (the report document implements it).
class IItemDocument {
public:
    virtual ~IItemDocument() = default;
    // Takes the item out of the item list (it is not destroyed here).
    virtual void RemoveComItem(CComItem* item) = 0;
    // Tells every view that the item changed (the item is the hint).
    virtual void UpdateItemViews(CComItem* item) = 0;
    virtual void SetModifiedFlag(bool modified = true) = 0;
    // Width and height of the sheet in pixels.
    virtual QSize SheetSize() const = 0;
    // True when the document's first sheet view edits a chart.
    virtual bool IsFirstViewChartEditing() const = 0;
    // Brings a chart item's picture up to date from the cells it shows;
    // false when the chart cannot be drawn.
    virtual bool RefreshChartPicture(CComItem* item, bool force) {
        (void)item;
        (void)force;
        return false;
    }
};

}  // namespace qor::items

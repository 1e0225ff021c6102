#pragma once
// What the sheet view does with the charts and embedded objects of a page,
// as plain functions over the document: finding the item under a point,
// which items may be changed, moving and sizing one (kept on the sheet),
// deleting it and changing the drawing order. The view calls these and
// only adds the mouse, the tracker's drawing and the repaint.
//
// Item rectangles are sheet pixels; a point is in client pixels and is
// tested through the item's own hit test with the view given.

#include <QPoint>
#include <QSize>
#include <cstdint>

#include "charts/chartdesc.h"
#include "charts/itemsupport.h"

class CComItem;
class CQorsDoc;

namespace qor::view {

// The page whose items the view shows: 0 with no page loaded.
uint32_t CurrentItemPage(const CQorsDoc& doc);
bool IsFormatState(const CQorsDoc& doc);

// An item may be moved, sized or changed when it belongs to a page, or in
// format state (a format item shows on every page and belongs to the
// format).
bool IsItemEditable(const CComItem& item, bool formatState);
bool IsItemEditable(const CQorsDoc& doc, const CComItem& item);

// The topmost item of the page under a client point (the list is drawn
// from its head, so the tail wins); null over the row or column header
// (headers: row-header width, column-header height) or where no item is.
CComItem* HitTestItems(const CQorsDoc& doc, QPoint client, QSize headers, uint32_t page,
                       const qor::items::IItemView* view);

// The selection change the view makes: nothing when the item is already
// selected (false); else chart editing ends and the item (or none) is
// selected.
bool SelectItem(CComItem*& selection, CComItem* item, bool* chartEditing);

// A rectangle moved back onto a sheet of the given pixel size with its
// size kept; a side longer than the sheet keeps its left or top at 0.
qor::items::Rect ClampRectToSheet(const qor::items::Rect& r, QSize sheet);

// Scales the chart's part rectangles by numX/denX and numY/denY (integer,
// rounded), and its three title fonts by numY/denY; a zero denominator
// leaves that axis alone, and a zero numY the fonts.
void ScaleChartDesc(qor::items::ChartDesc* desc, int numX, int denX, int numY, int denY);

// Gives the item the rectangle a tracker left it (sheet pixels), kept on
// the sheet and normalised. A chart's description follows its new size.
// False, nothing changed, when the rectangle is empty or equals the old.
bool ApplyItemRect(CQorsDoc& doc, CComItem& item, const qor::items::Rect& sheetRect);

// Moves the item (its size kept) so that its top-left corner is at the
// sheet point; false when that is where it is.
bool MoveItemTo(CQorsDoc& doc, CComItem& item, QPoint sheetTopLeft);

// Takes the item out of the document and tells the views; clears the
// selection when it was the selected item. False when it is not the
// document's.
bool DeleteItem(CQorsDoc& doc, CComItem* item, CComItem** selection = nullptr);

// The appearance command's result: stores each changed flag; true (the
// document marked modified and the views told) when one changed.
bool ApplyItemLook(CQorsDoc& doc, CComItem& item, bool border, bool transparent);

// A chart's native size: the size a new chart is made with.
constexpr int kChartNativeWidth = 300, kChartNativeHeight = 200;
// The properties command's result for a chart: its size becomes scale
// percent of its current size (or of its native size with relative) and
// its description follows the change from the size it had. False, nothing
// changed, when the new size would be empty or is the size it has.
bool ApplyChartScale(CQorsDoc& doc, CComItem& chart, int scale, bool relative);

// The order commands: enabled for an editable item not already at that
// end of the list; the command then moves it there and tells the views.
bool CanBringToFront(const CQorsDoc& doc, const CComItem* item);
bool CanSendToBack(const CQorsDoc& doc, const CComItem* item);
bool BringToFront(CQorsDoc& doc, CComItem* item);
bool SendToBack(CQorsDoc& doc, CComItem* item);

// Where a new area chart goes in the visible part of the sheet (client
// pixels, after the view has scrolled to the first column or row when
// 300 x 200 did not fit): 300 x 200, or the visible extent less 2 where
// that is smaller, centred.
qor::items::Rect NewChartClientRect(const qor::items::Rect& visible);

// Drag and drop inside the sheet. The drop point is the mouse point less
// the grab offset, kept inside the sheet's pixel extent; the effect is
// none (0) outside the sheet's client area, copy (1) with Ctrl held, else
// move (2).
enum DropEffect : int { kDropNone = 0, kDropCopy = 1, kDropMove = 2, kDropLink = 4 };
QPoint DropPoint(QPoint point, QPoint offset, QSize sheet);
int DropEffectFor(bool insideSheet, bool ctrlHeld);

}  // namespace qor::view

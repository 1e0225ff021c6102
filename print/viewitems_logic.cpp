#include "print/viewitems_logic.h"

#include <algorithm>
#include <memory>

#include "charts/ccomitem.h"
#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"

namespace qor::view {

using qor::items::Rect;

uint32_t CurrentItemPage(const CQorsDoc& doc) {
    const CReportHandle* report = doc.GetReport();
    return report ? uint32_t(std::max(0, report->GetCurPage())) : 0;
}

bool IsFormatState(const CQorsDoc& doc) {
    const CReportHandle* report = doc.GetReport();
    return report && report->IsFormatState() != 0;
}

bool IsItemEditable(const CComItem& item, bool formatState) {
    return item.GetPage() != 0 || formatState;
}

bool IsItemEditable(const CQorsDoc& doc, const CComItem& item) {
    return IsItemEditable(item, IsFormatState(doc));
}

CComItem* HitTestItems(const CQorsDoc& doc, QPoint client, QSize headers, uint32_t page,
                       const qor::items::IItemView* view) {
    if (client.x() < headers.width() || client.y() < headers.height()) return nullptr;
    CQorsDoc::ItemPos pos = doc.Items().GetLastComItemPos();
    while (pos) {
        CComItem* item = doc.Items().GetPrevComItem(pos);
        if (item && item->HitTest(client.x(), client.y(), page, view)) return item;
    }
    return nullptr;
}

bool SelectItem(CComItem*& selection, CComItem* item, bool* chartEditing) {
    if (selection == item) return false;
    if (chartEditing) *chartEditing = false;
    selection = item;
    return true;
}

Rect ClampRectToSheet(const Rect& in, QSize sheet) {
    Rect r{std::min(in.left, in.right), std::min(in.top, in.bottom), std::max(in.left, in.right),
           std::max(in.top, in.bottom)};
    const int w = r.width(), h = r.height();
    if (r.right > sheet.width()) r.left = sheet.width() - w;
    if (r.bottom > sheet.height()) r.top = sheet.height() - h;
    r.left = std::max(0, r.left);
    r.top = std::max(0, r.top);
    r.right = r.left + w;
    r.bottom = r.top + h;
    return r;
}

void ScaleChartDesc(qor::items::ChartDesc* desc, int numX, int denX, int numY, int denY) {
    if (!desc) return;
    using D = qor::items::ChartDesc;
    auto sx = [&](int v) { return denX ? qor::items::MulDiv(v, numX, denX) : v; };
    auto sy = [&](int v) { return denY ? qor::items::MulDiv(v, numY, denY) : v; };
    for (D::RectPart part : {D::kPlotRect, D::kLegendRect, D::kTitleRect, D::kXTitleRect,
                             D::kYTitleRect, D::kBottomRect}) {
        const Rect r = desc->GetPartRect(part);
        desc->SetPartRect(part, {sx(r.left), sy(r.top), sx(r.right), sy(r.bottom)});
    }
    // The titles grow and shrink with the chart's height, so a smaller chart
    // still has room for its legend and axes; a height scaled to nothing
    // leaves them as they are, and no title shrinks below one point.
    if (numY == 0 || denY == 0) return;
    for (D::FontField field : {D::kTitleFont, D::kXTitleFont, D::kYTitleFont}) {
        qor::items::ChartFont font = desc->GetFont(field);
        font.size = std::max(1, sy(font.size));
        desc->SetFont(field, font);
    }
}

bool ApplyItemRect(CQorsDoc& doc, CComItem& item, const Rect& sheetRect) {
    const Rect r = ClampRectToSheet(sheetRect, doc.Items().SheetSize());
    if (r.width() <= 0 || r.height() <= 0) return false;
    const Rect old = item.GetRect();
    if (r == old) return false;
    item.Move(r);
    if (auto* chart = dynamic_cast<CGraphItem*>(&item)) {
        const Rect now = chart->GetRect();
        qor::items::ChartDesc desc = chart->GetChartDesc();
        ScaleChartDesc(&desc, now.width(), old.width(), now.height(), old.height());
        chart->SetChartDesc(desc);
        chart->SetTrackedSize(QSize(now.width(), now.height()));
    }
    doc.SetModifiedFlag();
    return true;
}

bool MoveItemTo(CQorsDoc& doc, CComItem& item, QPoint at) {
    const Rect old = item.GetRect();
    return ApplyItemRect(doc, item, {at.x(), at.y(), at.x() + old.width(), at.y() + old.height()});
}

bool DeleteItem(CQorsDoc& doc, CComItem* item, CComItem** selection) {
    // The list may hold the last reference: keep the item alive until the
    // selection no longer points at it.
    const std::shared_ptr<CComItem> keep = doc.Items().GetComItemShared(item);
    if (!keep) return false;
    item->Delete();
    // A kind that does not remove itself is still taken out.
    doc.Items().RemoveComItem(item);
    if (selection && *selection == item) *selection = nullptr;
    doc.SetModifiedFlag();
    doc.UpdateServerItems();
    doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool ApplyItemLook(CQorsDoc& doc, CComItem& item, bool border, bool transparent) {
    bool changed = false;
    if (item.HasBorder() != border) {
        item.SetBorder(border);
        changed = true;
    }
    if (item.IsTransparent() != transparent) {
        item.SetTransparent(transparent);
        changed = true;
    }
    if (!changed) return false;
    doc.SetModifiedFlag();
    doc.UpdateServerItems();
    doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool ApplyChartScale(CQorsDoc& doc, CComItem& chart, int scale, bool relative) {
    if (!dynamic_cast<CGraphItem*>(&chart) || scale <= 0) return false;
    const Rect old = chart.GetRect();
    const int baseW = relative ? kChartNativeWidth : old.width();
    const int baseH = relative ? kChartNativeHeight : old.height();
    // Rounded as MulDiv rounds.
    const int w = int((int64_t(baseW) * scale + 50) / 100);
    const int h = int((int64_t(baseH) * scale + 50) / 100);
    if (w <= 0 || h <= 0) return false;
    // The rectangle change scales the description by new over old size,
    // so a chart drawn at its native size keeps its parts in proportion.
    if (!ApplyItemRect(doc, chart, {old.left, old.top, old.left + w, old.top + h})) return false;
    chart.UpdateItemViews();
    doc.UpdateServerItems();
    doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

bool CanBringToFront(const CQorsDoc& doc, const CComItem* item) {
    return item && doc.Items().FindComItem(item) && IsItemEditable(doc, *item) &&
           doc.Items().GetLastComItemPos() != item;
}

bool CanSendToBack(const CQorsDoc& doc, const CComItem* item) {
    return item && doc.Items().FindComItem(item) && IsItemEditable(doc, *item) &&
           doc.Items().GetFirstComItemPos() != item;
}

namespace {

bool reorder(CQorsDoc& doc, CComItem* item, bool toTail) {
    if (!doc.Items().MoveComItemToEnd(item, toTail)) return false;
    doc.SetModifiedFlag();
    doc.UpdateServerItems();
    doc.UpdateAllViews(CQorsDoc::kHintItems);
    return true;
}

}  // namespace

bool BringToFront(CQorsDoc& doc, CComItem* item) {
    return CanBringToFront(doc, item) && reorder(doc, item, true);
}

bool SendToBack(CQorsDoc& doc, CComItem* item) {
    return CanSendToBack(doc, item) && reorder(doc, item, false);
}

Rect NewChartClientRect(const Rect& visible) {
    constexpr int kWidth = 300, kHeight = 200;
    const int w = visible.width() < kWidth ? std::max(0, visible.width() - 2) : kWidth;
    const int h = visible.height() < kHeight ? std::max(0, visible.height() - 2) : kHeight;
    const int left = visible.left + (visible.width() - w) / 2;
    const int top = visible.top + (visible.height() - h) / 2;
    return {left, top, left + w, top + h};
}

QPoint DropPoint(QPoint point, QPoint offset, QSize sheet) {
    const QPoint p = point - offset;
    return QPoint(std::clamp(p.x(), 0, std::max(0, sheet.width())),
                  std::clamp(p.y(), 0, std::max(0, sheet.height())));
}

int DropEffectFor(bool insideSheet, bool ctrlHeld) {
    if (!insideSheet) return kDropNone;
    return ctrlHeld ? kDropCopy : kDropMove;
}

}  // namespace qor::view

#include "view/displaystyle.h"

#include "print/viewitems_logic.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "charts/cgraphitem.h"
#include "document/cqorsdoc.h"

namespace qor::view {

int ScaleToPercent(float scale) {
    const double raw = double(ValidViewScale(scale)) * 100.0 * 0.7142857142857143 + 0.5;
    int p = int(raw);
    if (p == 99) p = 100;
    return std::clamp(p, kMinZoomPercent, kMaxZoomPercent);
}

float PercentToScale(int percent) {
    const int p = std::clamp(percent, kMinZoomPercent, kMaxZoomPercent);
    return ValidViewScale(float(p * 0.01 * 1.4));
}

int RescaledHeader(int current, int base, float scale) {
    return current == 0 ? 0 : ScaleSize(base, scale);
}

namespace {
int g_paletteIndex = int(kStylePalette.size()) - 1;

bool InPalette(int index) { return index >= 0 && index < int(kStylePalette.size()); }

// trunc(v x ratio + 0.5) as the item arithmetic rounds.
int ScaleCoord(int v, double ratio) { return int(std::trunc(v * ratio + 0.5)); }
}  // namespace

int RememberedPaletteIndex() { return g_paletteIndex; }

void SetRememberedPaletteIndex(int index) {
    if (InPalette(index)) g_paletteIndex = index;
}

int PaletteIndexFor(uint32_t grid) {
    const auto it = std::find(kStylePalette.begin(), kStylePalette.end(), grid);
    if (it != kStylePalette.end()) return int(it - kStylePalette.begin());
    return g_paletteIndex;
}

ViewState ApplyZoom(const ViewState& current, int percent, const HeaderMetrics& base) {
    ViewState s = current;
    s.scale = PercentToScale(percent);
    s.headerWidth = RescaledHeader(current.headerWidth, base.baseWidth, s.scale);
    s.headerHeight = RescaledHeader(current.headerHeight, base.baseHeight, s.scale);
    return s;
}

DisplayStyleDlgMembers StyleMembersFor(const ViewState& state) {
    DisplayStyleDlgMembers m;
    m.hideRowHeaders = state.headerWidth == 0;
    m.hideColumnHeaders = state.headerHeight == 0;
    m.standardColours = state.kindColours != 0;
    m.gridIndex = PaletteIndexFor(state.gridColour);
    return m;
}

ViewState ApplyDisplayStyle(const ViewState& current, const DisplayStyleDlgMembers& members,
                            const HeaderMetrics& base) {
    ViewState s = current;
    s.scale = ValidViewScale(current.scale);
    s.kindColours = members.standardColours ? 1 : 0;
    if (InPalette(members.gridIndex)) s.gridColour = kStylePalette[size_t(members.gridIndex)];
    s.headerHeight = members.hideColumnHeaders ? 0 : ScaleSize(base.baseHeight, s.scale);
    s.headerWidth = members.hideRowHeaders ? 0 : ScaleSize(base.baseWidth, s.scale);
    return s;
}

std::array<uint32_t, 4> MergeZoomIntoSaved(const std::array<uint32_t, 4>& saved, bool haveSaved,
                                           const ViewState& state) {
    const std::array<uint32_t, 4> fresh = EncodeViewState(state);
    if (!haveSaved) return fresh;
    return {fresh[0], saved[1], saved[2], fresh[3]};
}

void ScaleDocumentItems(CQorsDoc& doc, double ratio) {
    if (!std::isfinite(ratio) || ratio <= 0) return;
    CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos();
    while (pos) {
        CComItem* item = doc.Items().GetNextComItem(pos);
        if (!item) continue;
        const QPoint p = item->GetPosition();
        const QPoint np(ScaleCoord(p.x(), ratio), ScaleCoord(p.y(), ratio));
        const QSize sz = item->GetSize();
        item->SetPosition(np);
        item->SetSize(ScaleCoord(sz.width(), ratio), ScaleCoord(sz.height(), ratio));
        auto* chart = dynamic_cast<CGraphItem*>(item);
        if (!chart) continue;
        const QSize tracked = chart->GetTrackedSize();
        // A chart never resized in the chart window has no tracked size;
        // its rectangle then keeps the item size scaled above instead of
        // collapsing to nothing.
        if (tracked.width() > 0 && tracked.height() > 0) {
            const QSize nt(ScaleCoord(tracked.width(), ratio), ScaleCoord(tracked.height(), ratio));
            chart->SetTrackedSize(nt);
            chart->SetRect({np.x(), np.y(), np.x() + nt.width(), np.y() + nt.height()});
        }
        qor::items::ChartDesc desc = chart->GetChartDesc();
        using F = qor::items::ChartDesc::FontField;
        for (F field : {F::kXTitleFont, F::kYTitleFont, F::kTitleFont}) {
            qor::items::ChartFont font = desc.GetFont(field);
            font.size = std::max(1, ScaleCoord(font.size, ratio));
            desc.SetFont(field, font);
        }
        chart->SetChartDesc(desc);
    }
}

void ClampDocumentItems(CQorsDoc& doc, int width, int height) {
    CQorsDoc::ItemPos pos = doc.Items().GetFirstComItemPos();
    while (pos) {
        CComItem* item = doc.Items().GetNextComItem(pos);
        if (!item) continue;
        // The same rule as moving an item by hand: it stays on the sheet.
        const QPoint p = item->GetPosition();
        const QSize sz = item->GetSize();
        const items::Rect at{p.x(), p.y(), p.x() + sz.width(), p.y() + sz.height()};
        const items::Rect in = ClampRectToSheet(at, QSize(width, height));
        if (in.left != p.x() || in.top != p.y()) item->SetPosition(QPoint(in.left, in.top));
    }
}

}  // namespace qor::view

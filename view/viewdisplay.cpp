// The sheet view's display state and the zoom and display-style commands.

#include "view/viewdisplay.h"

#include <QApplication>
#include <array>

#include "document/cqorsdoc.h"
#include "document/dialogregistry.h"
#include "view/cqorsview.h"
#include "view/displaystyle.h"

using namespace qor::view;

void ViewDisplay::ApplyViewState(const ViewState& state) {
    m_v.m_nHeaderHeight = state.headerHeight;
    m_v.m_nHeaderWidth = state.headerWidth;
    m_v.m_crGrid = state.gridColour;
    m_v.m_bKindColours = state.kindColours;
    m_v.m_fScale = ValidViewScale(state.scale);
    if (m_v.m_pDoc) m_v.m_pDoc->SetDisplayScale(m_v.m_fScale);
    m_v.m_geo.SetHeaders(m_v.m_nHeaderWidth, m_v.m_nHeaderHeight);
    if (!m_v.m_bPrintMapping) m_v.m_geo.SetScale(m_v.m_fScale);
    m_v.update();
}

void ViewDisplay::SetViewScale(uint32_t origin, uint32_t gridColour, uint32_t kindColours,
                               float scale) {
    ApplyViewState(DecodeViewState(origin, gridColour, kindColours, scale));
    CQorsDoc* doc = m_v.m_pDoc;
    if (doc && doc->IsOpen() && !m_v.m_bPrintMapping) {
        doc->SetSheetSize(m_v.m_geo.SheetWidth(), m_v.m_geo.SheetHeight());
    }
}

ViewState ViewDisplay::CurrentViewState() const {
    return ViewState{m_v.m_nHeaderHeight, m_v.m_nHeaderWidth, m_v.m_crGrid, m_v.m_bKindColours,
                     m_v.m_fScale};
}

void ViewDisplay::OnDisplayScale() {
    CQorsDoc* doc = m_v.m_pDoc;
    if (!doc || !doc->IsOpen()) return;
    ZoomDlgMembers preset;
    preset.percent = ScaleToPercent(m_v.m_fScale);
    const std::optional<ZoomDlgMembers> members = qor::Ask(preset);
    if (!members) return;
    doc->SetModifiedFlag();
    const float oldScale = m_v.m_fScale;
    const ViewState next = ApplyZoom(CurrentViewState(), members->percent);
    ApplyViewState(next);

    std::array<uint32_t, 4> saved{};
    const bool haveSaved = doc->GetSavedViewState(&saved);
    doc->SetSavedViewState(MergeZoomIntoSaved(saved, haveSaved, next));

    ScaleDocumentItems(*doc, double(m_v.m_fScale) / double(oldScale));
    m_v.RefreshGeometry();
    int32_t rows = 0, cols = 0;
    doc->GetPageTableSize(&rows, &cols);
    doc->SetSheetSize(m_v.m_geo.GetColumnDistance(0, cols), m_v.m_geo.GetRowDistance(0, rows));
    m_v.m_items.ClampItemsToSheet();
    m_v.m_scroll.UpdateScrollRanges();
    m_v.update();
    doc->UpdateAllViews(CQorsDoc::kHintAll);
}

void ViewDisplay::OnDisplayStyle() {
    CQorsDoc* doc = m_v.m_pDoc;
    if (!doc || !doc->IsOpen()) return;
    const std::optional<DisplayStyleDlgMembers> members =
        qor::Ask(StyleMembersFor(CurrentViewState()));
    if (!members) return;
    SetRememberedPaletteIndex(members->gridIndex);
    const ViewState next = ApplyDisplayStyle(CurrentViewState(), *members);
    ApplyViewState(next);
    doc->SetSavedViewState(EncodeViewState(next));
    for (QWidget* w : QApplication::allWidgets()) {
        auto* other = qobject_cast<CQorsView*>(w);
        if (!other || other == &m_v || other->GetDocument() != doc) continue;
        other->m_crGrid = m_v.m_crGrid;
        other->m_bKindColours = m_v.m_bKindColours;
    }
    m_v.RefreshGeometry();
    m_v.m_scroll.UpdateScrollRanges();
    doc->UpdateAllViews(CQorsDoc::kHintAll);
    doc->SetModifiedFlag();
}

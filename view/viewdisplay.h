#pragma once
// The sheet view's display: header sizes, grid and kind colours and the
// display scale, saved with the report, and the zoom and display-style
// commands that change them. The view reaches its part through
// CQorsView::Display().

#include <cstdint>

#include "print/sheetgeometry.h"

class CQorsView;

class ViewDisplay {
public:
    explicit ViewDisplay(CQorsView& view) : m_v(view) {}

    // The saved view state: header sizes, grid colour, kind colours, scale
    // (an invalid scale gives 1.4 and default headers).
    void SetViewScale(uint32_t origin, uint32_t gridColour, uint32_t kindColours, float scale);
    qor::view::ViewState CurrentViewState() const;
    // Takes the state's header sizes and colours and its scale (validated,
    // and stored in the document) into the view and its geometry.
    void ApplyViewState(const qor::view::ViewState& state);
    // The display scale command: the zoom dialog with the percent; on OK
    // the new scale, header sizes, saved view state and rescaled items.
    void OnDisplayScale();
    // The display style command: headers shown or hidden, kind colours and
    // grid colour; on OK saved with the report and passed to the other
    // views of the document (all but their header sizes).
    void OnDisplayStyle();

private:
    CQorsView& m_v;
};

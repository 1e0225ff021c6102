#pragma once
// The sheet view's printed pages: the printer the layout is made for, the
// automatic breaks stored in the document, and the forced-break commands.
// The arithmetic is in pagelayout.h; the view reaches its part through
// CQorsView::Pages().

#include <cstdint>
#include <optional>

#include "print/pagelayout.h"

class CQorsView;
namespace qor {
struct PrintRequest;
}

class ViewPages {
public:
    explicit ViewPages(CQorsView& view) : m_v(view) {}

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
    // Where the sheet may print on the printer's paper, in points from its
    // corner, before the report's margins.
    qor::view::PageRect PrintableArea() const;

    // The forced page break at the selection's first cell: set, or removed
    // when one is there; the breaks are shown.
    void OnForcedPageBreak();
    void OnShowPageBreaks();
    bool OnUpdateShowPageBreaks() const;
    void OnClearAllPageBreaks();
    int IsPageBreakAtCurrentCell();

private:
    CQorsView& m_v;
};

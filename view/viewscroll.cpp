// The sheet view's scroll bars, first shown cell and jumps to a cell.

#include "view/viewscroll.h"

#include <algorithm>

#include "document/cqorsdoc.h"
#include "view/cqorsview.h"

using namespace qor::view;

namespace {

// Selects from (row, col) to (endRow, endCol), view indices moved off the
// hidden band, in the document's indices.
void selectInDocument(CQorsView& v, int row, int col, int endRow, int endCol) {
    CQorsDoc* doc = v.GetDocument();
    if (!doc) return;
    const SheetGeometry& geo = v.Geometry();
    const int r1 = std::max(0, geo.DocRow(geo.SnapRow(row)));
    const int c1 = std::max(0, geo.DocColumn(geo.SnapColumn(col)));
    const int r2 = std::max(0, geo.DocRow(geo.SnapRow(endRow)));
    const int c2 = std::max(0, geo.DocColumn(geo.SnapColumn(endCol)));
    doc->Selection().SetSelection(r1, c1, r2, c2);
}

}  // namespace

void ViewScroll::SetScrollBars(QScrollBar* horizontal, QScrollBar* vertical) {
    const bool chartEditing = m_v.m_items.IsChartEditing();
    if (chartEditing) SetSheetScrolling(true);
    if (m_hBar) QObject::disconnect(m_hBar, nullptr, &m_v, nullptr);
    if (m_vBar) QObject::disconnect(m_vBar, nullptr, &m_v, nullptr);
    m_hBar = horizontal;
    m_vBar = vertical;
    // A bar moved onto the hidden band goes on past it in the direction it
    // was moving, so stepping through the band never sticks.
    if (m_vBar)
        QObject::connect(m_vBar, &QScrollBar::valueChanged, &m_v, [this](int value) {
            if (m_syncingBars) return;
            m_v.m_cellEdit.CommitPendingEdit();
            const SheetGeometry& geo = m_v.m_geo;
            if (geo.IsRowHidden(value))
                value = value > m_v.m_nFirstRow ? geo.StepRow(geo.SnapRow(value), false)
                                                : geo.SnapRow(value);
            SetFirstCell(value < 0 ? geo.LastRow() : value, m_v.m_nFirstCol);
        });
    if (m_hBar)
        QObject::connect(m_hBar, &QScrollBar::valueChanged, &m_v, [this](int value) {
            if (m_syncingBars) return;
            m_v.m_cellEdit.CommitPendingEdit();
            const SheetGeometry& geo = m_v.m_geo;
            if (geo.IsColumnHidden(value))
                value = value > m_v.m_nFirstCol ? geo.StepColumn(geo.SnapColumn(value), false)
                                                : geo.SnapColumn(value);
            SetFirstCell(m_v.m_nFirstRow, value < 0 ? geo.LastColumn() : value);
        });
    if (chartEditing) SetSheetScrolling(false);
    UpdateScrollRanges();
}

void ViewScroll::SyncScrollBars() {
    m_syncingBars = true;
    if (m_vBar) {
        m_vBar->setRange(0, std::max(0, m_v.m_geo.LastRow()));
        m_vBar->setValue(m_v.m_nFirstRow);
    }
    if (m_hBar) {
        m_hBar->setRange(0, std::max(0, m_v.m_geo.LastColumn()));
        m_hBar->setValue(m_v.m_nFirstCol);
    }
    m_syncingBars = false;
}

void ViewScroll::ScrollBarsToEnd() {
    if (m_vBar) m_vBar->setValue(m_vBar->maximum());
    if (m_hBar) m_hBar->setValue(m_hBar->maximum());
}

void ViewScroll::SetSheetScrolling(bool on) {
    for (QScrollBar* bar : {m_hBar.data(), m_vBar.data()})
        if (bar) bar->setEnabled(on);
}

void ViewScroll::UpdateScrollRanges() {
    SheetGeometry& geo = m_v.m_geo;
    m_v.m_nRowCount = geo.RowCount();
    m_v.m_nColCount = geo.ColumnCount();
    m_v.m_nFirstRow = std::max(0, std::min(m_v.m_nFirstRow, geo.LastRow()));
    m_v.m_nFirstCol = std::max(0, std::min(m_v.m_nFirstCol, geo.LastColumn()));
    geo.SetFirstCell(m_v.m_nFirstRow, m_v.m_nFirstCol);
    SyncScrollBars();
}

void ViewScroll::SetFirstCell(int row, int col) {
    SheetGeometry& geo = m_v.m_geo;
    m_v.m_nFirstRow = geo.LastRow() < 0 ? 0 : geo.SnapRow(row);
    m_v.m_nFirstCol = geo.LastColumn() < 0 ? 0 : geo.SnapColumn(col);
    geo.SetFirstCell(m_v.m_nFirstRow, m_v.m_nFirstCol);
    SyncScrollBars();
    m_v.update();
}

void ViewScroll::GoToCell(int row, int col, int endRow, int endCol) {
    row = m_v.m_geo.SnapRow(row);
    col = m_v.m_geo.SnapColumn(col);
    SetFirstCell(row, col);
    if (endRow == -1 && endCol == -1) {
        // A cell of a combined area is selected with its whole area.
        m_v.SetCurrentAndSelection(SelectCell(m_v.CombinedAreas(), row, col));
    } else {
        selectInDocument(m_v, row, col, endRow, endCol);
        m_v.m_cellEdit.UpdateEditLine(1);
    }
    if (m_v.m_pDoc) m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
}

void ViewScroll::ScrollToCell(int row, int col, bool horizontalOnly) {
    row = m_v.m_geo.SnapRow(row);
    col = m_v.m_geo.SnapColumn(col);
    if (horizontalOnly)
        SetFirstCell(m_v.m_nFirstRow, col);
    else
        SetFirstCell(row, m_v.m_nFirstCol);
    m_v.SetCurrentAndSelection(SelectCell(m_v.CombinedAreas(), row, col));
    if (m_v.m_pDoc) m_v.m_pDoc->UpdateAllViews(CQorsDoc::kHintCells);
}

int ViewScroll::FindUncombinedCell(int row, int col) const {
    const CQorsDoc* doc = m_v.m_pDoc;
    const SheetGeometry& geo = m_v.m_geo;
    if (!doc) return 0;
    if (col == -1 && row >= 0) {
        const int r = geo.DocRow(row);
        if (r < 0) return 0;
        for (int c = 0; c <= geo.LastColumn(); ++c) {
            const int d = geo.DocColumn(c);
            if (d >= 0 && !doc->IsCombinedCell(r, d)) return c;
        }
    } else if (row == -1 && col >= 0) {
        const int c = geo.DocColumn(col);
        if (c < 0) return 0;
        for (int r = 0; r <= geo.LastRow(); ++r) {
            const int d = geo.DocRow(r);
            if (d >= 0 && !doc->IsCombinedCell(d, c)) return r;
        }
    }
    return 0;
}

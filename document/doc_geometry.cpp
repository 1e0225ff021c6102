// Table size, the variable area, row heights and column widths, the saved
// view state and sheet-pixel geometry of the document.

#include <QtGlobal>
#include <algorithm>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "engine/messages.h"
#include "engine/varlines.h"
#include "platform/uiservices.h"

namespace {

constexpr int kMaxRowHeightUnits = 480;
constexpr int kMaxColWidthUnits = 640;

}  // namespace

void CQorsDoc::GetTableSize(int32_t* rows, int32_t* cols) const {
    if (!m_pReport) return;
    uint16_t r = 0, c = 0;
    if (m_pReport->AccessTableSize(0, &r, &c) != 0) return;
    if (rows) *rows = r;
    if (cols) *cols = c;
}

void CQorsDoc::GetPageTableSize(int32_t* rows, int32_t* cols) const {
    if (!m_pReport) return;
    const CReportFile* file = m_pReport->GetReportFile();
    if (rows) *rows = file->GetShownRowCount();
    if (cols) *cols = file->GetShownColCount();
}

void CQorsDoc::GetVarAreaInfo(VarAreaInfo* info) const {
    if (!m_pReport || !info) return;
    int kind = 0, start = 0, extent = 0;
    if (m_pReport->AccessVarArea(0, &kind, &start, &extent) != 0) return;
    VarAreaInfo out;
    out.kind = kind;
    out.extent = kind ? extent : 0;
    out.start = kind ? start - 1 : 0;
    out.used = 0;
    if (kind && !m_pReport->IsFormatState()) {
        int count = 1;
        if (m_pReport->AccessVarCount(0, &count) == 0) out.used = std::max(0, count - 1);
    }
    *info = out;
}

uint16_t CQorsDoc::GetRowHeight(int, int row) const {
    uint16_t size = 0;
    if (!m_pReport || m_pReport->AccessRowColSize(0, 0, row + 1, &size) != 0) return 0;
    return size;
}

uint16_t CQorsDoc::GetColumnWidth(int col, int) const {
    uint16_t size = 0;
    if (!m_pReport || m_pReport->AccessRowColSize(0, 1, col + 1, &size) != 0) return 0;
    return size;
}

int CQorsDoc::SetRowHeight(int row, int size) {
    if (!m_pReport || size < 0 || size > kMaxRowHeightUnits) return 1;
    uint16_t s = uint16_t(size);
    const uint16_t status = m_pReport->AccessRowColSize(1, 0, row + 1, &s);
    if (status == 0) {
        SetModifiedFlag();
        UpdateAllViews(kHintLayout);
    }
    return status;
}

int CQorsDoc::SetColumnWidth(int col, int size) {
    if (!m_pReport || size < 0 || size > kMaxColWidthUnits) return 1;
    uint16_t s = uint16_t(size);
    const uint16_t status = m_pReport->AccessRowColSize(1, 1, col + 1, &s);
    if (status == 0) {
        SetModifiedFlag();
        UpdateAllViews(kHintLayout);
    }
    return status;
}

bool CQorsDoc::ResizeTable(int rows, int cols) {
    if (!m_pReport) return false;
    uint16_t status = 1;
    if (rows >= 1 && rows <= 0xFFFF && cols >= 1 && cols <= 0xFFFF) {
        uint16_t r = uint16_t(rows), c = uint16_t(cols);
        // The views must not draw a half-changed table.
        SuspendRedraw();
        status = m_pReport->AccessTableSize(1, &r, &c);
        ResumeRedraw();
    }
    if (status) {
        // A page whose variable lines the new size would cost says why.
        QString why = qor::VarLinesLossRefusal(*m_pReport);
        if (why.isEmpty()) why = LoadErrorText(qor::str::kTableSizeError);
        qor::messageBox(why, QString(), qor::MsgButtons::Ok, qor::MsgIcon::Warning);
        return false;
    }
    // Breaks beyond the new table's end mean nothing any more.
    for (PageBreakEntry& e : m_view.manualBreaks) {
        if (e.row >= rows - 1) e.row = -1;
        if (e.col >= cols - 1) e.col = -1;
    }
    const int row = std::min(Selection().CurrentRow(), rows - 1);
    const int col = std::min(Selection().CurrentColumn(), cols - 1);
    Selection().SetSelection(row, col, row, col);
    SetModifiedFlag();
    UpdateAllViews(kHintLayout);
    return true;
}

void CQorsDoc::SetSheetSize(int width, int height) {
    m_view.sheetWidth = width;
    m_view.sheetHeight = height;
}

bool CQorsDoc::GetSavedViewState(std::array<uint32_t, 4>* state) {
    if (!m_pReport) return false;
    std::array<uint32_t, 4> s{};
    const bool set = m_pReport->GetSavedViewState(&s);
    m_view.savedViewState = s;
    if (state) *state = s;
    return set;
}

void CQorsDoc::SetSavedViewState(const std::array<uint32_t, 4>& state) {
    m_view.savedViewState = state;
    if (m_pReport) m_pReport->SetSavedViewState(state, true);
}

int CQorsDoc::RowPixelHeight(int row) const {
    return int(double(GetRowHeight(1, row)) * double(m_view.scale) + 0.5);
}

int CQorsDoc::ColumnPixelWidth(int col) const {
    return int(double(GetColumnWidth(col, 1)) * double(m_view.scale) + 0.5);
}

qor::items::Rect CQorsDoc::CellRangeToSheetRect(const CellArea& area) const {
    const int r1 = std::min(area.first.row, area.last.row);
    const int r2 = std::max(area.first.row, area.last.row);
    const int c1 = std::min(area.first.col, area.last.col);
    const int c2 = std::max(area.first.col, area.last.col);
    qor::items::Rect rect;
    int y = 0;
    for (int r = 0; r <= r2; ++r) {
        if (r == r1) rect.top = y;
        y += RowPixelHeight(r);
    }
    rect.bottom = y + 1;
    int x = 0;
    for (int c = 0; c <= c2; ++c) {
        if (c == c1) rect.left = x;
        x += ColumnPixelWidth(c);
    }
    rect.right = x + 1;
    return rect;
}

int CQorsDoc::LastShownRow() const {
    int32_t rows = 0, cols = 0;
    GetPageTableSize(&rows, &cols);
    return rows - 1;
}

int CQorsDoc::LastShownCol() const {
    int32_t rows = 0, cols = 0;
    GetPageTableSize(&rows, &cols);
    return cols - 1;
}

#include "print/pagelayout.h"

#include <algorithm>
#include <limits>

#include "document/cqorsdoc.h"
#include "resources/stringids.h"

namespace qor::view {

PageSetup PageSetupFromDocument(const CQorsDoc& doc) {
    PageSetup s;
    s.marginLeft = doc.PageSetup().margins[0];
    s.marginTop = doc.PageSetup().margins[1];
    s.marginRight = doc.PageSetup().margins[2];
    s.marginBottom = doc.PageSetup().margins[3];
    s.printScale = doc.PageSetup().scale;
    s.titles.asColumns = doc.PageSetup().titleSwitch == 1;
    s.titles.head = doc.PageSetup().headFlag != 0;
    s.titles.headFirst = doc.PageSetup().headFirst;
    s.titles.headLast = doc.PageSetup().headLast;
    s.titles.tail = doc.PageSetup().tailFlag != 0;
    s.titles.tailFirst = doc.PageSetup().tailFirst;
    s.titles.tailLast = doc.PageSetup().tailLast;
    s.manual = doc.ViewState().manualBreaks;
    return s;
}

// ---------------------------------------------------------------------------
// Automatic break table

void StoreAutoBreaks(const AutoBreaks& breaks, std::vector<PageBreakEntry>* table) {
    if (!table) return;
    const size_t n = std::max(breaks.rows.size(), breaks.cols.size()) + 1;
    table->assign(n, PageBreakEntry{});
    constexpr int kMax = std::numeric_limits<int16_t>::max();
    // A value the 16-bit word cannot hold ends its list rather than
    // wrapping into a wrong break.
    for (size_t i = 0; i < breaks.rows.size() && breaks.rows[i] <= kMax; ++i)
        (*table)[i].row = int16_t(breaks.rows[i]);
    for (size_t i = 0; i < breaks.cols.size() && breaks.cols[i] <= kMax; ++i)
        (*table)[i].col = int16_t(breaks.cols[i]);
}

AutoBreaks ReadAutoBreaks(const std::vector<PageBreakEntry>& table) {
    AutoBreaks out;
    for (const PageBreakEntry& e : table) {
        if (e.row < 1) break;
        out.rows.push_back(e.row);
    }
    for (const PageBreakEntry& e : table) {
        if (e.col < 1) break;
        out.cols.push_back(e.col);
    }
    return out;
}

// ---------------------------------------------------------------------------
// Titles

PrintTitles ValidatePrintTitles(const SheetGeometry& geo, const PrintTitles& titles,
                                std::vector<int>* messages) {
    PrintTitles out = titles;
    const int last = titles.asColumns ? geo.LastColumn() : geo.LastRow();
    const bool area = titles.asColumns ? geo.HasColumnArea() : geo.HasRowArea();
    const int areaFirst = geo.VarArea().start;
    const int areaLast = areaFirst + geo.AreaLines() - 1;
    auto check = [&](bool& on, int first, int lastLine, int msgBeyond, int msgOverlap) {
        if (!on) return;
        int msg = 0;
        if (first < 0 || first > lastLine || lastLine > last)
            msg = msgBeyond;
        else if (area && first <= areaLast && lastLine >= areaFirst)
            msg = msgOverlap;
        if (!msg) return;
        on = false;
        if (messages) messages->push_back(msg);
    };
    check(out.head, out.headFirst, out.headLast, str::kHeadBeyondTable,
          str::kHeadOverlapsVariableArea);
    check(out.tail, out.tailFirst, out.tailLast, str::kTailBeyondTable,
          str::kTailOverlapsVariableArea);
    return out;
}

// ---------------------------------------------------------------------------
// Layout

PageLayout::PageLayout(const SheetGeometry& printGeometry, const PageSetup& setup)
    : m_geo(printGeometry), m_setup(setup) {}

PageRect PageLayout::GetPrintReserve() const {
    PageRect r;
    const PrintTitles& t = m_setup.titles;
    if (!t.asColumns) {
        if (t.head) r.top = m_geo.GetRowSpan(t.headFirst, t.headLast);
        if (t.tail) r.bottom = m_geo.GetRowSpan(t.tailFirst, t.tailLast);
    } else {
        if (t.head) r.left = m_geo.GetColumnSpan(t.headFirst, t.headLast);
        if (t.tail) r.right = m_geo.GetColumnSpan(t.tailFirst, t.tailLast);
    }
    return r;
}

bool PageLayout::isTitle(bool rows, int index) const {
    const PrintTitles& t = m_setup.titles;
    if (t.asColumns == rows) return false;
    return (t.head && t.headFirst <= index && index <= t.headLast) ||
           (t.tail && t.tailFirst <= index && index <= t.tailLast);
}

int PageLayout::fit(bool rows, int first, int size) const {
    const int last = rows ? m_geo.LastRow() : m_geo.LastColumn();
    first = std::max(first, 0);
    if (first > last) return last;
    long long sum = 0;
    int counted = -1;
    for (int i = first; i <= last; ++i) {
        if (rows ? m_geo.IsRowHidden(i) : m_geo.IsColumnHidden(i)) continue;
        if (isTitle(rows, i)) continue;
        sum += rows ? m_geo.GetRowHeightPixels(i) : m_geo.GetColumnWidthPixels(i);
        if (sum == size) return i;
        if (sum > size) return counted >= 0 ? counted : first;
        counted = i;
    }
    return last;
}

int PageLayout::FitRowsOnPage(int firstRow, int height) const {
    return fit(true, firstRow, height);
}

int PageLayout::FitColumnsOnPage(int firstCol, int width) const {
    return fit(false, firstCol, width);
}

namespace {
// The smallest manual break in start .. end, or -1.
int manualBreakIn(const qor::ManualBreakTable& table, bool rows, int start, int end) {
    int best = -1;
    for (const PageBreakEntry& e : table) {
        const int b = rows ? e.row : e.col;
        if (b >= start && b <= end && (best < 0 || b < best)) best = b;
    }
    return best;
}
}  // namespace

PageLayout::Step PageLayout::stepColumns(int start, int width) const {
    Step s{start, FitColumnsOnPage(start, width), false};
    const int b = manualBreakIn(m_setup.manual, false, start, s.end);
    if (b >= 0) {
        s.end = b;
        s.manual = true;
    }
    return s;
}

PageLayout::Step PageLayout::stepRows(int start, int height) const {
    Step s{start, FitRowsOnPage(start, height), false};
    const int b = manualBreakIn(m_setup.manual, true, start, s.end);
    if (b >= 0) {
        s.end = b;
        s.manual = true;
    }
    return s;
}

std::vector<int> PageLayout::PageColumnStarts(int width) const {
    std::vector<int> starts;
    for (int start = 0; start <= m_geo.LastColumn(); start = stepColumns(start, width).end + 1)
        starts.push_back(start);
    return starts;
}

std::vector<int> PageLayout::PageRowStarts(int height) const {
    std::vector<int> starts;
    for (int start = 0; start <= m_geo.LastRow(); start = stepRows(start, height).end + 1)
        starts.push_back(start);
    return starts;
}

std::optional<int64_t> PageLayout::CountPrintPages(const PageRect& area, int page, PageRange* range,
                                                   AutoBreaks* breaks) const {
    if (area.bottom <= area.top + 20 || area.right < area.left + 20) return std::nullopt;
    const int64_t across = std::max<int64_t>(1, int64_t(PageColumnStarts(area.width()).size()));
    const int64_t down = std::max<int64_t>(1, int64_t(PageRowStarts(area.height()).size()));
    if (page >= 1) {
        PageRange local;
        GetPrintPageRange(area, page, int(across), range ? range : &local, breaks);
    }
    return across * down;
}

void PageLayout::GetPrintPageRange(const PageRect& area, int page, int across, PageRange* range,
                                   AutoBreaks* breaks) const {
    across = std::max(1, across);
    page = std::max(1, page);
    const int colIndex = page % across == 0 ? across : page % across;
    const int rowIndex = (page - 1) / across + 1;
    if (breaks) *breaks = AutoBreaks{};

    // Only a page that the fitting ended, inside the sheet, starts at an
    // automatic break; a manual break or the sheet's end is no such break.
    auto walk = [&](bool rows, int steps, int* first, int* lastOut) {
        const int last = rows ? m_geo.LastRow() : m_geo.LastColumn();
        const int size = rows ? area.height() : area.width();
        Step s{0, 0, false};
        int start = 0;
        for (int i = 0; i < steps && start <= last; ++i) {
            s = rows ? stepRows(start, size) : stepColumns(start, size);
            if (breaks && !s.manual && s.end < last) {
                std::vector<int>& list = rows ? breaks->rows : breaks->cols;
                if (std::find(list.begin(), list.end(), s.end + 1) == list.end())
                    list.push_back(s.end + 1);
            }
            start = s.end + 1;
        }
        *first = s.start;
        *lastOut = s.end;
    };
    PageRange r;
    walk(false, colIndex, &r.firstCol, &r.lastCol);
    walk(true, rowIndex, &r.firstRow, &r.lastRow);
    if (range) *range = r;
}

LayoutResult ComputePageLayout(const SheetGeometry& printGeometry, const PageSetup& setup,
                               const PageRect& printable) {
    LayoutResult out;
    PageRect body = printable;
    body.left += setup.marginLeft;
    body.top += setup.marginTop;
    body.right -= setup.marginRight;
    body.bottom -= setup.marginBottom;
    const PageLayout layout(printGeometry, setup);
    const PageRect reserve = layout.GetPrintReserve();
    body.left += reserve.left;
    body.top += reserve.top;
    body.right -= reserve.right;
    body.bottom -= reserve.bottom;
    out.body = body;

    const std::optional<int64_t> n = layout.CountPrintPages(body, 0);
    if (!n || *n > kMaxPageCount) {
        out.message = str::kPrintAreaTooSmall;
        return out;
    }
    // Walking to the last page meets every automatic break.
    layout.CountPrintPages(body, int(*n), nullptr, &out.breaks);
    out.pages = int(*n);
    if (body.bottom < body.top + 30 || body.right < body.left + 60) {
        out.message = str::kBadPaper;
        out.pages.reset();
    }
    return out;
}

uint16_t LegacyPageCount(const std::optional<int>& pages) {
    if (!pages) return kNoLayout;
    return uint16_t(std::clamp(*pages, 0, int(kNoLayout) - 1));
}

// ---------------------------------------------------------------------------
// Manual breaks

void DropBreaksBeyond(qor::ManualBreakTable& table, int lastRow, int lastCol) {
    for (PageBreakEntry& e : table) {
        if (e.row >= lastRow) e.row = -1;
        if (e.col >= lastCol) e.col = -1;
    }
}

bool IsBreakBefore(const qor::ManualBreakTable& table, int row, int col) {
    for (const PageBreakEntry& e : table)
        if ((e.row >= 0 && e.row == row - 1) || (e.col >= 0 && e.col == col - 1)) return true;
    return false;
}

ForcedBreakResult ToggleForcedBreak(qor::ManualBreakTable& table, const SheetGeometry& geo, int row,
                                    int col) {
    const int s = geo.VarArea().start, used = geo.VarShown();
    const bool rowInArea = geo.HasRowArea() && s < row && row <= s + used;
    const bool colInArea = geo.HasColumnArea() && s < col && col <= s + used;
    return qor::ToggleBreakInTable(table, row, col, geo.LastRow(), geo.LastColumn(), rowInArea,
                                   colInArea);
}

}  // namespace qor::view

#pragma once
// Cutting the current page of a report into printed pages, and the tables
// of page breaks the document keeps.
//
// A printed page holds whole rows and whole columns that fit the printable
// area (points) less the margins and the repeated titles. Pages are
// numbered across first, then down. Manual breaks (the document's table of
// 50 entries) end a page after their row or column; automatic breaks are
// the first row or column of each page the fitting started, kept only for
// drawing them on the sheet.
//
// Everything here is pure over a SheetGeometry set to the print scale (its
// pixel sizes are then whole points) and the page settings, so layouts are
// tested without a printer. The view supplies the printable rectangle from
// its QPrinter.

#include <cstdint>
#include <optional>
#include <vector>

#include "document/doc_others.h"
#include "print/sheetgeometry.h"
#include "resources/stringids.h"

class CQorsDoc;

namespace qor::view {

// The largest page count a layout reports; more is refused (63151) because
// page numbers travel as 16-bit values.
constexpr int kMaxPageCount = 65535;
// What the 16-bit interfaces answer for "no layout".
constexpr uint16_t kNoLayout = 0xFFFF;

// A rectangle in points, y growing downwards.
struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const PageRect&) const = default;
};

// The block of cells of one printed page (view indices).
struct PageRange {
    int firstCol = 0;
    int firstRow = 0;
    int lastCol = 0;
    int lastRow = 0;
    bool operator==(const PageRange&) const = default;
};

// Repeated titles: rows (asColumns false) or columns, a head range and a
// tail range, each from first to last inclusive.
struct PrintTitles {
    bool asColumns = false;
    bool head = false;
    int headFirst = 0, headLast = 0;
    bool tail = false;
    int tailFirst = 0, tailLast = 0;
    bool operator==(const PrintTitles&) const = default;
};

// Everything of the document the layout reads.
struct PageSetup {
    int marginLeft = 0, marginTop = 0, marginRight = 0, marginBottom = 0;  // points
    float printScale = 1.0f;
    PrintTitles titles;
    qor::ManualBreakTable manual{};  // every word -1
};
PageSetup PageSetupFromDocument(const CQorsDoc& doc);

// The automatic breaks of the last layout: the first row (column) of every
// page after the first, ascending.
struct AutoBreaks {
    std::vector<int> rows;
    std::vector<int> cols;
    bool operator==(const AutoBreaks&) const = default;
};
// The document's table form: entry k holds the k-th row break and the k-th
// column break; each list ends at its own first value below 1, and the
// table is rebuilt whole, so nothing of an earlier layout is left in it.
void StoreAutoBreaks(const AutoBreaks& breaks, std::vector<PageBreakEntry>* table);
AutoBreaks ReadAutoBreaks(const std::vector<PageBreakEntry>& table);

// Title ranges that lie beyond the sheet or overlap a variable area of the
// same kind are switched off; messages gets the id of each such finding
// (head first). Ranges with first after last, or negative, count as beyond.
PrintTitles ValidatePrintTitles(const SheetGeometry& geo, const PrintTitles& titles,
                                std::vector<int>* messages = nullptr);

// The layout over one geometry at the print scale. The titles given are
// used as they are (validate them first).
class PageLayout {
public:
    PageLayout(const SheetGeometry& printGeometry, const PageSetup& setup);

    // Space for the repeated titles: added to left, added to top, taken from
    // right, taken from bottom.
    PageRect GetPrintReserve() const;

    // Last row (column) of a page that begins at first and is height
    // (width) points long. Hidden lines of a variable area and title lines
    // are stepped over without counting; a line taller than the page makes
    // a page of its own.
    int FitRowsOnPage(int firstRow, int height) const;
    int FitColumnsOnPage(int firstCol, int width) const;

    // Number of printed pages for the body rectangle, at least 1; nothing
    // when the rectangle is at most 20 points high or under 20 wide. With
    // page >= 1 also that page's range and the automatic breaks met on the
    // way to it.
    std::optional<int64_t> CountPrintPages(const PageRect& area, int page,
                                           PageRange* range = nullptr,
                                           AutoBreaks* breaks = nullptr) const;
    // Page p (from 1) of a layout with `across` page columns: column index p
    // mod across (across when 0), row index p / across rounded up. breaks is
    // rewritten from its start.
    void GetPrintPageRange(const PageRect& area, int page, int across, PageRange* range,
                           AutoBreaks* breaks) const;

    // The page columns (rows) as their first lines, in order.
    std::vector<int> PageColumnStarts(int width) const;
    std::vector<int> PageRowStarts(int height) const;

private:
    struct Step {
        int start = 0;
        int end = 0;
        bool manual = false;  // a manual break ended it
    };
    Step stepColumns(int start, int width) const;
    Step stepRows(int start, int height) const;
    int fit(bool rows, int first, int size) const;
    bool isTitle(bool rows, int index) const;

    const SheetGeometry& m_geo;
    PageSetup m_setup;
};

// One complete layout for a printable rectangle (points, from the printer):
// margins and title reserve applied, pages counted, every automatic break
// found. pages is empty on failure, with message saying why; the breaks
// found before a late failure are kept, as the sheet shows them.
struct LayoutResult {
    std::optional<int> pages;
    int message = 0;
    PageRect body;
    AutoBreaks breaks;
};
LayoutResult ComputePageLayout(const SheetGeometry& printGeometry, const PageSetup& setup,
                               const PageRect& printable);

// The 16-bit answer of older interfaces: 0xFFFF for no layout. A real
// count of 65,535 pages would read as a failure there, so it is given as
// 65,534 (the caller only learns that the layout has very many pages).
uint16_t LegacyPageCount(const std::optional<int>& pages);

// ---------------------------------------------------------------------------
// The manual break table (view indices; a value b ends a page after b)

using ForcedBreakResult = qor::BreakToggle;
// The forced-break command on (row, col), the first cell of the selection:
// stale breaks at or past the last row or column are dropped; a break just
// before the cell is removed; otherwise breaks are added before the row
// and the column. No row break is added for a row inside the shown lines
// of a row area (start < row <= start + used), nor a column break alike.
ForcedBreakResult ToggleForcedBreak(qor::ManualBreakTable& table, const SheetGeometry& geo, int row,
                                    int col);
void DropBreaksBeyond(qor::ManualBreakTable& table, int lastRow, int lastCol);
// True when a manual break ends a page just before the row or the column.
bool IsBreakBefore(const qor::ManualBreakTable& table, int row, int col);

}  // namespace qor::view

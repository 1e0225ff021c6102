#pragma once
// The cell attribute sheet without its widgets: the members of its four
// pages, how they are gathered from the cells of an area and how they go
// back. A member holds -1 when the cells of the area disagree on it
// ("mixed"); a mixed member leaves each cell's own value alone.

#include <QString>
#include <array>
#include <cstdint>

#include "engine/celltypes.h"

class CReportHandle;

namespace qor {

// Cell types as the cell type page numbers them (list index plus one).
enum CellAttrType : int32_t {
    kAttrTypeNumeric = 1,
    kAttrTypeCharacter = 2,
    kAttrTypeLabel = 3,
};

struct DataTypePageMembers {
    int32_t m_nType = kAttrTypeNumeric;  // 1..3, -1 mixed
    int32_t m_nPercent = 0;
    int32_t m_nThousands = 0;
    int32_t m_nDecimals = 2;  // 0..7
    int32_t m_nCurrency = 0;
    int32_t m_bApplied = 0;
    bool operator==(const DataTypePageMembers&) const = default;
};

// Combo indexes into the tables of engine/cellformat.h.
struct FontPatternPageMembers {
    int32_t m_nFont = 0;
    int32_t m_nStyle = 0;
    int32_t m_nSize = 3;  // 12 points
    int32_t m_nForeground = 0;
    int32_t m_nBackground = 1;
    int32_t m_nPattern = 0;
    int32_t m_bApplied = 0;
    bool operator==(const FontPatternPageMembers&) const = default;
};

struct AlignPageMembers {
    int32_t m_nHorizontal = 0;  // 0 automatic, 1 left, 2 centre, 3 right
    int32_t m_nVertical = 0;    // 0 automatic, 1 top, 2 centre, 3 bottom
    int32_t m_nWrap = 0;
    int32_t m_bApplied = 0;
    bool operator==(const AlignPageMembers&) const = default;
};

// The eight lines of the border page.
enum FrameLine : int {
    kFrameLeft = 0,
    kFrameRight = 1,
    kFrameTop = 2,
    kFrameBottom = 3,
    kFrameInnerHorizontal = 4,
    kFrameInnerVertical = 5,
    kFrameFallingDiagonal = 6,  // top-left to bottom-right
    kFrameRisingDiagonal = 7,   // bottom-left to top-right
    kFrameLineCount = 8,
};

struct FramePageMembers {
    std::array<int32_t, kFrameLineCount> m_nLines{};  // line styles 0..7, -1 mixed
    int32_t m_bApplied = 0;
    bool operator==(const FramePageMembers&) const = default;
};

struct CellAttrMembers {
    DataTypePageMembers dataType;
    FontPatternPageMembers fontPattern;
    AlignPageMembers align;
    FramePageMembers frame;
    bool operator==(const CellAttrMembers&) const = default;
};

// The pages' members for an area of the report (rows and columns from 1,
// shown coordinates). Nothing is read without a report or for an area
// outside the table: the defaults come back.
CellAttrMembers GatherCellAttr(CReportHandle& report, const CellArea& area);

struct CellAttrApplyResult {
    bool changed = false;           // something was written
    bool refused = false;           // the report refused a write (e.g. outside format state)
    QString why;                    // what the first refusal named ("" when it named nothing)
    bool diagonalTooLarge = false;  // diagonals left out: the area exceeds 31 x 31 cells
};

// Writes back what the applied pages hold: the cell type (numeric stored as
// 0, with its number format), each font, pattern and alignment member that
// is not mixed, then the border lines that are not mixed. Diagonals are
// drawn only on areas of at most 31 x 31 cells, unless no diagonal member
// asks for a line; otherwise neither is drawn and the result says so (the
// caller tells the user, string 63162). Refusals of the report are not
// fatal: every other attribute is still written.
CellAttrApplyResult ApplyCellAttr(CReportHandle& report, const CellArea& area,
                                  const CellAttrMembers& members);

// The number-format sample of the cell type page: 12345.67 with the
// page's percent sign, thousands separator and decimals, "￥" in front when
// the currency box is checked.
QString CellAttrNumberSample(const DataTypePageMembers& m);

// The border page's line buttons: a line that already has the chosen style
// loses it (0), any other takes it.
void ToggleFrameLine(FramePageMembers& m, int line, int style);
// "外边框": left, right, top and bottom; "内框线": the two inner lines;
// "无框线": all eight lines none.
void SetOuterFrame(FramePageMembers& m, int style);
void SetInnerFrame(FramePageMembers& m, int style);
void ClearFrame(FramePageMembers& m);

}  // namespace qor

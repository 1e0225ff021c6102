#include "view/cellattr_model.h"

#include <algorithm>
#include <functional>

#include "engine/cellformat.h"
#include "engine/cellgate.h"
#include "engine/creportfile.h"
#include "engine/creporthandle.h"
#include "engine/format_areas.h"
#include "engine/messages.h"
#include "engine/status.h"
#include "engine/textutil.h"

namespace qor {

namespace {

// The area with its corners in order.
CellArea ordered(const CellArea& a) {
    return CellArea::area(std::min(a.first.row, a.last.row), std::min(a.first.col, a.last.col),
                          std::max(a.first.row, a.last.row), std::max(a.first.col, a.last.col));
}

// A value read cell by cell: the first one read, or -1 as soon as a later
// one differs. A read the report refuses counts as nothing read.
class Common {
public:
    // False once the value is known to be mixed: no more reads are needed.
    bool open() const { return !m_seen || m_value != -1; }
    void add(int32_t v) {
        if (!m_seen) {
            m_value = v;
            m_seen = true;
        } else if (m_value != v) {
            m_value = -1;
        }
    }
    bool seen() const { return m_seen; }
    int32_t value(int32_t fallback) const { return m_seen ? m_value : fallback; }

private:
    bool m_seen = false;
    int32_t m_value = -1;
};

bool readCode(CReportHandle& r, int code, int row, int col, int32_t* v) {
    const CellArea cell = CellArea::cell(row, col);
    return r.AccessAreaFormat(0, code, v, &cell) == 0;
}

// One code over rows r1..r2 and columns c1..c2, row by row.
int32_t commonCode(CReportHandle& r, int code, int r1, int c1, int r2, int c2, int32_t fallback,
                   const std::function<int32_t(int32_t)>& norm = {}) {
    Common c;
    for (int row = r1; row <= r2 && c.open(); ++row)
        for (int col = c1; col <= c2 && c.open(); ++col) {
            int32_t v = 0;
            if (readCode(r, code, row, col, &v)) c.add(norm ? norm(v) : v);
        }
    return c.value(fallback);
}

// The row (kind 0) or column (kind 1) attribute bytes of first..last.
int32_t commonRowColFlag(CReportHandle& r, int kind, int first, int last, int32_t fallback) {
    Common c;
    for (int i = first; i <= last && c.open(); ++i) {
        int32_t v = 0;
        if (r.AccessRowColFlag(0, kind, i, &v) == 0) c.add(v);
    }
    return c.value(fallback);
}

void gatherDataType(CReportHandle& r, const CellArea& a, DataTypePageMembers& m) {
    const int r1 = a.first.row, c1 = a.first.col, r2 = a.last.row, c2 = a.last.col;
    // An unset type reads as numeric.
    const int32_t type = commonCode(r, kFmtKind, r1, c1, r2, c2, m.m_nType,
                                    [](int32_t v) { return v == kCellUnset ? kCellNumber : v; });
    if (type != kAttrTypeNumeric) {
        m.m_nType = type;
        return;
    }
    const int32_t decimals = commonCode(r, kFmtDecimals, r1, c1, r2, c2, m.m_nDecimals);
    const int32_t currency = commonCode(r, kFmtCurrency, r1, c1, r2, c2, m.m_nCurrency);
    const int32_t percent = commonCode(r, kFmtPercent, r1, c1, r2, c2, m.m_nPercent);
    const int32_t thousands = commonCode(r, kFmtThousands, r1, c1, r2, c2, m.m_nThousands);
    // Numbers formatted differently have no common type to show: picking
    // one must not give every cell the first cell's format unasked.
    if (decimals == -1 || currency == -1 || percent == -1 || thousands == -1) {
        m.m_nType = -1;
        return;
    }
    m.m_nType = kAttrTypeNumeric;
    m.m_nDecimals = decimals;
    m.m_nCurrency = currency;
    m.m_nPercent = percent;
    m.m_nThousands = thousands;
}

void gatherFrame(CReportHandle& r, const CellArea& a, FramePageMembers& m) {
    const int r1 = a.first.row, c1 = a.first.col, r2 = a.last.row, c2 = a.last.col;
    auto& l = m.m_nLines;
    // The top edge of row 1 and the left edge of column 1 have no cell
    // before them to carry the line: the column and row records do.
    l[kFrameTop] = r1 == 1 ? commonRowColFlag(r, 1, c1, c2, l[kFrameTop])
                           : commonCode(r, kFmtBottomLine, r1 - 1, c1, r1 - 1, c2, l[kFrameTop]);
    l[kFrameLeft] = c1 == 1 ? commonRowColFlag(r, 0, r1, r2, l[kFrameLeft])
                            : commonCode(r, kFmtRightLine, r1, c1 - 1, r2, c1 - 1, l[kFrameLeft]);
    l[kFrameBottom] = commonCode(r, kFmtBottomLine, r2, c1, r2, c2, l[kFrameBottom]);
    l[kFrameRight] = commonCode(r, kFmtRightLine, r1, c2, r2, c2, l[kFrameRight]);
    // A one-row (one-column) area has no inner line: its first cell's
    // bottom (right) line stands for it.
    l[kFrameInnerHorizontal] =
        commonCode(r, kFmtBottomLine, r1, c1, std::max(r1, r2 - 1), c2, l[kFrameInnerHorizontal]);
    l[kFrameInnerVertical] =
        commonCode(r, kFmtRightLine, r1, c1, r2, std::max(c1, c2 - 1), l[kFrameInnerVertical]);
    const CReportFile* file = r.GetReportFile();
    CellArea mapped;
    if (file && file->MapAreaAddress(a, &mapped)) {
        int style = 0;
        if (file->GetAreaLine(mapped, 1, &style)) l[kFrameFallingDiagonal] = style;
        style = 0;
        if (file->GetAreaLine(mapped, 0, &style)) l[kFrameRisingDiagonal] = style;
    }
}

struct CodeMember {
    int code;
    int32_t value;
};

}  // namespace

CellAttrMembers GatherCellAttr(CReportHandle& r, const CellArea& area) {
    CellAttrMembers m;
    const CellArea a = ordered(area);
    const CReportFile* file = r.GetReportFile();
    if (!file || a.first.row < 1 || a.first.col < 1 || a.last.row > file->GetShownRowCount() ||
        a.last.col > file->GetShownColCount())
        return m;
    const int r1 = a.first.row, c1 = a.first.col, r2 = a.last.row, c2 = a.last.col;
    gatherDataType(r, a, m.dataType);

    FontPatternPageMembers& f = m.fontPattern;
    f.m_nStyle = commonCode(r, kFmtFontStyle, r1, c1, r2, c2, f.m_nStyle);
    f.m_nSize = commonCode(r, kFmtFontSize, r1, c1, r2, c2, f.m_nSize);
    f.m_nForeground = commonCode(r, kFmtForeground, r1, c1, r2, c2, f.m_nForeground);
    f.m_nBackground = commonCode(r, kFmtBackground, r1, c1, r2, c2, f.m_nBackground);
    f.m_nPattern = commonCode(r, kFmtPattern, r1, c1, r2, c2, f.m_nPattern);
    f.m_nFont = commonCode(r, kFmtFont, r1, c1, r2, c2, f.m_nFont);

    AlignPageMembers& al = m.align;
    al.m_nHorizontal = commonCode(r, kFmtHAlign, r1, c1, r2, c2, al.m_nHorizontal);
    al.m_nVertical = commonCode(r, kFmtVAlign, r1, c1, r2, c2, al.m_nVertical);
    al.m_nWrap = commonCode(r, kFmtWrap, r1, c1, r2, c2, al.m_nWrap);

    gatherFrame(r, a, m.frame);
    return m;
}

CellAttrApplyResult ApplyCellAttr(CReportHandle& r, const CellArea& area,
                                  const CellAttrMembers& m) {
    CellAttrApplyResult result;
    const CellArea a = ordered(area);
    // Each attribute goes to the whole area at once and only when the
    // page was applied and the member is not mixed, so every other
    // attribute of every cell keeps its own value (a cell's lines and the
    // cells of a combined area included).
    auto write = [&](int code, int32_t value) {
        if (value == -1) return;
        const uint16_t s = r.AccessAreaFormat(1, code, &value, &a);
        if (s == 0) {
            result.changed = true;
            return;
        }
        // A change of kind stopped by a text that reads as no number names
        // the page, the cell and the text.
        if (result.why.isEmpty() && s == qor::kValueRefusedStatus) result.why = StatusText(s);
        result.refused = true;
    };

    const DataTypePageMembers& t = m.dataType;
    if (t.m_bApplied && t.m_nType != -1) {
        // Numeric is stored as the unset type.
        const int32_t type = t.m_nType == kAttrTypeNumeric ? kCellUnset : t.m_nType;
        // The decimals first: a text made a number is held to the decimals
        // its cell shows, which are those chosen here.
        if (type == kCellUnset) {
            write(kFmtDecimals, t.m_nDecimals);
            write(kFmtPercent, t.m_nPercent);
            write(kFmtThousands, t.m_nThousands);
            write(kFmtCurrency, t.m_nCurrency);
        }
        write(kFmtKind, type);
    }
    const FontPatternPageMembers& f = m.fontPattern;
    if (f.m_bApplied) {
        for (const CodeMember& c :
             {CodeMember{kFmtFontStyle, f.m_nStyle}, CodeMember{kFmtFontSize, f.m_nSize},
              CodeMember{kFmtForeground, f.m_nForeground},
              CodeMember{kFmtBackground, f.m_nBackground}, CodeMember{kFmtPattern, f.m_nPattern},
              CodeMember{kFmtFont, f.m_nFont}})
            write(c.code, c.value);
    }
    const AlignPageMembers& al = m.align;
    if (al.m_bApplied) {
        write(kFmtHAlign, al.m_nHorizontal);
        write(kFmtVAlign, al.m_nVertical);
        write(kFmtWrap, al.m_nWrap);
    }

    const FramePageMembers& fr = m.frame;
    if (!fr.m_bApplied) return result;
    auto draw = [&](int type, int32_t style) {
        if (style == -1) return;
        if (r.DrawAreaLines(&a, type, style) == 0)
            result.changed = true;
        else
            result.refused = true;
    };
    const auto& l = fr.m_nLines;
    draw(kLinesTop, l[kFrameTop]);
    draw(kLinesLeft, l[kFrameLeft]);
    draw(kLinesBottom, l[kFrameBottom]);
    draw(kLinesRight, l[kFrameRight]);
    draw(kLinesInnerHorizontal, l[kFrameInnerHorizontal]);
    draw(kLinesInnerVertical, l[kFrameInnerVertical]);

    const int32_t falling = l[kFrameFallingDiagonal];
    const int32_t rising = l[kFrameRisingDiagonal];
    if (falling == -1 && rising == -1) return result;
    const bool small = a.last.row - a.first.row < kMaxDiagonalCells &&
                       a.last.col - a.first.col < kMaxDiagonalCells;
    // Removing (0) or leaving alone (-1) is fine on any area.
    const bool drawsNone = falling <= 0 && rising <= 0;
    if (!small && !drawsNone) {
        result.diagonalTooLarge = true;
        return result;
    }
    draw(kLinesDiagonalDown, falling);
    draw(kLinesDiagonalUp, rising);
    return result;
}

QString CellAttrNumberSample(const DataTypePageMembers& m) {
    const int decimals = std::clamp<int>(m.m_nDecimals, 0, 7);
    const QString text =
        FormatNumberText(12345.67, m.m_nPercent > 0, m.m_nThousands > 0, false, decimals);
    return m.m_nCurrency > 0 ? LoadErrorText(str::kCurrencySymbol0) + text : text;
}

void ToggleFrameLine(FramePageMembers& m, int line, int style) {
    if (line < 0 || line >= kFrameLineCount) return;
    int32_t& l = m.m_nLines[size_t(line)];
    l = l == style ? kLineNone : style;
}

void SetOuterFrame(FramePageMembers& m, int style) {
    for (int line : {kFrameLeft, kFrameRight, kFrameTop, kFrameBottom})
        m.m_nLines[size_t(line)] = style;
}

void SetInnerFrame(FramePageMembers& m, int style) {
    m.m_nLines[kFrameInnerHorizontal] = style;
    m.m_nLines[kFrameInnerVertical] = style;
}

void ClearFrame(FramePageMembers& m) { m.m_nLines.fill(kLineNone); }

}  // namespace qor

#include "engine/format_areas.h"

#include <algorithm>

#include "engine/status.h"

namespace qor {

// ---------------------------------------------------------------------------
// Combined areas

int combinePositionCode(const AreaRecord& a, uint16_t row, uint16_t col) {
    if (!areaContains(a, row, col) || (a.r1 == a.r2 && a.c1 == a.c2)) return kCombineNone;
    if (a.r1 == a.r2) {
        if (col == a.c1) return kCombineRowStart;
        return col == a.c2 ? kCombineRowEnd : kCombineTopBottomEdge;
    }
    if (a.c1 == a.c2) {
        if (row == a.r1) return kCombineTopLeft;
        return row == a.r2 ? kCombineBottomRight : kCombineLeftRightEdge;
    }
    const bool top = row == a.r1, bottom = row == a.r2;
    const bool left = col == a.c1, right = col == a.c2;
    if (top && left) return kCombineTopLeft;
    if (top && right) return kCombineTopRight;
    if (bottom && left) return kCombineBottomLeft;
    if (bottom && right) return kCombineBottomRight;
    if (top || bottom) return kCombineTopBottomEdge;
    if (left || right) return kCombineLeftRightEdge;
    return kCombineInterior;
}

void markCombinedAreas(ReportFormat& f) {
    const uint64_t clearMask = ~kFmtCombineCode.mask();
    for (uint64_t& w : f.cellFormats) w &= clearMask;
    const uint16_t rows = f.header.rows, cols = f.header.cols;
    if (f.cellFormats.size() != size_t(rows) * cols) return;
    for (const AreaRecord& a : f.combined) {
        if (!areaInTable(a, rows, cols)) continue;
        for (uint16_t r = a.r1; r <= a.r2; ++r)
            for (uint16_t c = a.c1; c <= a.c2; ++c) {
                uint64_t& w = f.cellFormat(r, c);
                w = kFmtCombineCode.set(w, uint64_t(combinePositionCode(a, r, c)));
            }
    }
}

const AreaRecord* findCombined(const ReportFormat& f, uint16_t row, uint16_t col) {
    for (const AreaRecord& a : f.combined)
        if (areaContains(a, row, col)) return &a;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Border lines

namespace {

bool cellInTable(const ReportFormat& f, uint16_t r, uint16_t c) {
    return r >= 1 && c >= 1 && r <= f.header.rows && c <= f.header.cols &&
           f.cellFormats.size() == size_t(f.header.rows) * f.header.cols;
}

// A combined area is painted with the right and bottom lines of its
// top-left cell, so those two codes belong to the area's right and bottom
// edges: a line on such an edge is written there too, and a line through
// the area's inside leaves them alone.
void setEdgeCode(ReportFormat& f, uint16_t r, uint16_t c, int code, int style) {
    if (!cellInTable(f, r, c)) return;
    const bool right = code == kFmtRightLine;
    const bool combined = kFmtCombineCode.get(f.cellFormat(r, c)) != kCombineNone;
    if (const AreaRecord* a = combined ? findCombined(f, r, c) : nullptr) {
        const bool onEdge = right ? c == a->c2 : r == a->r2;
        const bool isOrigin = r == a->r1 && c == a->c1;
        if (onEdge && !isOrigin) {
            uint64_t& o = f.cellFormat(a->r1, a->c1);
            o = cellFormatSet(o, code, uint32_t(style));
        } else if (!onEdge && isOrigin) {
            return;
        }
    }
    uint64_t& w = f.cellFormat(r, c);
    w = cellFormatSet(w, code, uint32_t(style));
}

void setRight(ReportFormat& f, uint16_t r, uint16_t c, int style) {
    setEdgeCode(f, r, c, kFmtRightLine, style);
}
void setBottom(ReportFormat& f, uint16_t r, uint16_t c, int style) {
    setEdgeCode(f, r, c, kFmtBottomLine, style);
}

void drawTop(ReportFormat& f, const AreaRecord& a, int style) {
    for (uint16_t c = a.c1; c <= a.c2; ++c) {
        if (a.r1 == 1) {
            if (c <= f.colRecs.size()) f.colRecs[c - 1u].line = uint8_t(style);
        } else {
            setBottom(f, uint16_t(a.r1 - 1), c, style);
        }
    }
}
void drawLeft(ReportFormat& f, const AreaRecord& a, int style) {
    for (uint16_t r = a.r1; r <= a.r2; ++r) {
        if (a.c1 == 1) {
            if (r <= f.rowRecs.size()) f.rowRecs[r - 1u].line = uint8_t(style);
        } else {
            setRight(f, r, uint16_t(a.c1 - 1), style);
        }
    }
}
void drawBottom(ReportFormat& f, const AreaRecord& a, int style) {
    for (uint16_t c = a.c1; c <= a.c2; ++c) setBottom(f, a.r2, c, style);
}
void drawRight(ReportFormat& f, const AreaRecord& a, int style) {
    for (uint16_t r = a.r1; r <= a.r2; ++r) setRight(f, r, a.c2, style);
}
void drawInnerHorizontal(ReportFormat& f, const AreaRecord& a, int style) {
    for (uint16_t r = a.r1; r < a.r2; ++r)
        for (uint16_t c = a.c1; c <= a.c2; ++c) setBottom(f, r, c, style);
}
void drawInnerVertical(ReportFormat& f, const AreaRecord& a, int style) {
    for (uint16_t r = a.r1; r <= a.r2; ++r)
        for (uint16_t c = a.c1; c < a.c2; ++c) setRight(f, r, c, style);
}

// Removes the diagonals of one direction lying inside a.
void removeDiagonals(ReportFormat& f, const AreaRecord& a, uint16_t direction) {
    std::erase_if(f.areaLines, [&](const AreaLineRecord& l) {
        return l.direction == direction && l.r1 >= a.r1 && l.r2 <= a.r2 && l.c1 >= a.c1 &&
               l.c2 <= a.c2;
    });
}

uint16_t drawDiagonal(ReportFormat& f, const AreaRecord& a, uint16_t direction, int style) {
    if (style == kLineNone) {
        removeDiagonals(f, a, direction);
        return 0;
    }
    if (a.r2 - a.r1 >= kMaxDiagonalCells || a.c2 - a.c1 >= kMaxDiagonalCells)
        return code(Status::DiagonalTooLarge);
    for (AreaLineRecord& l : f.areaLines) {
        if (l.direction == direction && l.r1 == a.r1 && l.c1 == a.c1 && l.r2 == a.r2 &&
            l.c2 == a.c2) {
            l.style = uint16_t(style);
            return 0;
        }
    }
    f.areaLines.push_back({uint16_t(style), a.r1, a.c1, direction, a.r2, a.c2});
    return 0;
}

}  // namespace

uint16_t drawAreaLines(ReportFormat& f, const AreaRecord& a, int type, int style) {
    if (style < kLineNone || style > kLineThick || type < kLinesGrid || type > kLinesRight)
        return code(Status::Refused);
    if (!areaInTable(a, f.header.rows, f.header.cols)) return code(Status::OutsideTable);
    switch (type) {
        case kLinesGrid:
            drawInnerHorizontal(f, a, style);
            drawInnerVertical(f, a, style);
            [[fallthrough]];
        case kLinesFrame:
            drawTop(f, a, style);
            drawBottom(f, a, style);
            drawLeft(f, a, style);
            drawRight(f, a, style);
            break;
        case kLinesInnerHorizontal:
            drawInnerHorizontal(f, a, style);
            break;
        case kLinesInnerVertical:
            drawInnerVertical(f, a, style);
            break;
        case kLinesDiagonalDown:
            return drawDiagonal(f, a, 1, style);
        case kLinesDiagonalUp:
            return drawDiagonal(f, a, 0, style);
        case kLinesTop:
            drawTop(f, a, style);
            break;
        case kLinesBottom:
            drawBottom(f, a, style);
            break;
        case kLinesLeft:
            drawLeft(f, a, style);
            break;
        case kLinesRight:
            drawRight(f, a, style);
            break;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Table styles

namespace {

struct TableStyle {
    bool headerCol;  // the first column holds row titles
    bool totalRow;   // the last row sums the columns
    bool totalCol;   // the last column sums the rows
    bool colour;
    bool cornerDiagonal;  // a split header cell in the top-left corner
    int top, bottom, left, right;
    int innerHorizontal, innerVertical;
    int separator;  // under the header row, beside the title column, before totals
};

// Index order of the format list: two-way summary (b/w, colour), one-way
// across (b/w, colour), one-way down (b/w, colour), bordered, open,
// standard, variable (b/w, colour). Every style has a header row.
constexpr TableStyle kTableStyles[kTableStyleCount] = {
    {true, true, true, false, true, kLineMedium, kLineMedium, kLineMedium, kLineMedium, kLineThin,
     kLineThin, kLineMedium},
    {true, true, true, true, true, kLineMedium, kLineMedium, kLineMedium, kLineMedium, kLineThin,
     kLineThin, kLineMedium},
    {true, false, true, false, false, kLineMedium, kLineMedium, kLineMedium, kLineMedium, kLineThin,
     kLineThin, kLineMedium},
    {true, false, true, true, false, kLineMedium, kLineMedium, kLineMedium, kLineMedium, kLineThin,
     kLineThin, kLineMedium},
    {true, true, false, false, false, kLineMedium, kLineMedium, kLineMedium, kLineMedium, kLineThin,
     kLineThin, kLineMedium},
    {true, true, false, true, false, kLineMedium, kLineMedium, kLineMedium, kLineMedium, kLineThin,
     kLineThin, kLineMedium},
    {false, false, false, false, false, kLineThick, kLineThick, kLineThick, kLineThick, kLineThin,
     kLineThin, kLineThin},
    {false, false, false, false, false, kLineMedium, kLineMedium, kLineNone, kLineNone, kLineNone,
     kLineNone, kLineThin},
    {false, false, false, false, false, kLineThin, kLineThin, kLineThin, kLineThin, kLineThin,
     kLineThin, kLineThin},
    {false, false, false, false, false, kLineThin, kLineThin, kLineThin, kLineThin, kLineDot,
     kLineThin, kLineMedium},
    {false, false, false, true, false, kLineThin, kLineThin, kLineThin, kLineThin, kLineDot,
     kLineThin, kLineMedium},
};

enum CellRole { kBody, kHeader, kTitle, kTotal };

}  // namespace

uint16_t applyTableStyle(ReportFormat& f, const AreaRecord& a, int index) {
    if (index < 0 || index >= kTableStyleCount) return code(Status::Refused);
    if (!areaInTable(a, f.header.rows, f.header.cols)) return code(Status::OutsideTable);
    const TableStyle& s = kTableStyles[index];
    const bool manyRows = a.r2 > a.r1, manyCols = a.c2 > a.c1;
    const bool titleCol = s.headerCol && manyCols;
    const bool totalRow = s.totalRow && manyRows;
    const bool totalCol = s.totalCol && manyCols;

    for (uint16_t r = a.r1; r <= a.r2; ++r) {
        for (uint16_t c = a.c1; c <= a.c2; ++c) {
            CellRole role = kBody;
            if (r == a.r1)
                role = kHeader;
            else if (titleCol && c == a.c1)
                role = kTitle;
            else if ((totalRow && r == a.r2) || (totalCol && c == a.c2))
                role = kTotal;
            uint64_t w = f.cellFormat(r, c);
            int back = kColourWhite, fore = kColourBlack;
            if (s.colour && (role == kHeader || role == kTitle)) {
                back = kColourNavy;
                fore = kColourWhite;
            } else if (s.colour && role == kTotal) {
                back = kColourSilver;
            }
            w = cellFormatSet(w, kFmtBackground, uint32_t(back));
            w = cellFormatSet(w, kFmtForeground, uint32_t(fore));
            w = cellFormatSet(w, kFmtPattern, 0);
            w = cellFormatSet(w, kFmtFontStyle, role == kBody ? kFontPlain : kFontBold);
            if (role == kHeader) {
                w = cellFormatSet(w, kFmtHAlign, kAlignCentre);
                w = cellFormatSet(w, kFmtVAlign, kAlignCentre);
            }
            f.cellFormat(r, c) = w;
        }
    }

    // Lines from the inside out, so that separators and the frame win.
    drawInnerHorizontal(f, a, s.innerHorizontal);
    drawInnerVertical(f, a, s.innerVertical);
    if (manyRows) {
        drawBottom(f, {a.r1, a.c1, a.r1, a.c2}, s.separator);
        if (totalRow)
            drawBottom(f, {uint16_t(a.r2 - 1), a.c1, uint16_t(a.r2 - 1), a.c2}, s.separator);
    }
    if (titleCol) drawRight(f, {a.r1, a.c1, a.r2, a.c1}, s.separator);
    if (totalCol) drawRight(f, {a.r1, uint16_t(a.c2 - 1), a.r2, uint16_t(a.c2 - 1)}, s.separator);
    drawTop(f, a, s.top);
    drawBottom(f, a, s.bottom);
    drawLeft(f, a, s.left);
    drawRight(f, a, s.right);
    removeDiagonals(f, a, 0);
    removeDiagonals(f, a, 1);
    if (s.cornerDiagonal && manyRows && manyCols)
        drawDiagonal(f, {a.r1, a.c1, a.r1, a.c1}, 1, kLineThin);
    return 0;
}

// ---------------------------------------------------------------------------
// Areas after a shape change

LineRemap::LineRemap(const std::vector<uint16_t>& origin, uint16_t oldCount)
    : m_origin(origin), m_oldCount(oldCount), m_newOf(size_t(oldCount) + 1, 0) {
    for (size_t i = 0; i < origin.size(); ++i) {
        const uint16_t o = origin[i];
        if (o >= 1 && o <= oldCount && !m_newOf[o]) m_newOf[o] = uint16_t(i + 1);
    }
}

std::vector<std::pair<uint16_t, uint16_t>> LineRemap::runs(uint16_t first, uint16_t last) const {
    std::vector<uint16_t> at;
    for (uint32_t o = first; o <= last && o <= m_oldCount; ++o)
        if (m_newOf[o]) at.push_back(m_newOf[o]);
    std::sort(at.begin(), at.end());
    std::vector<std::pair<uint16_t, uint16_t>> out;
    auto isNew = [&](uint16_t index) {
        const uint16_t o = m_origin[index - 1u];
        return o < 1 || o > m_oldCount;
    };
    for (uint16_t p : at) {
        if (!out.empty()) {
            bool joined = true;
            for (uint32_t k = out.back().second + 1u; k < p && joined; ++k)
                joined = isNew(uint16_t(k));
            if (joined) {
                out.back().second = p;
                continue;
            }
        }
        out.emplace_back(p, p);
    }
    return out;
}

bool remapWholeArea(AreaRecord& a, const LineRemap& rows, const LineRemap& cols, int minCells) {
    const auto rr = rows.runs(a.r1, a.r2);
    const auto cr = cols.runs(a.c1, a.c2);
    if (rr.size() != 1 || cr.size() != 1) return false;
    const AreaRecord n{rr[0].first, cr[0].first, rr[0].second, cr[0].second};
    const int cells = (n.r2 - n.r1 + 1) * (n.c2 - n.c1 + 1);
    if (cells < minCells) return false;
    a = n;
    return true;
}

}  // namespace qor

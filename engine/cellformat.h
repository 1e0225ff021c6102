#pragma once
// The cell format word ("CFMT" section, one 64-bit word per stored cell):
// the 17 attributes callers reach by code through
// CReportHandle::AccessAreaFormat, plus the engine's own bits (combined-area
// position code, formula, keyword and label markers).

#include <cstdint>

#include "resources/stringids.h"

namespace qor {

// Attribute codes of AccessAreaFormat.
enum CellFormatCode : int {
    kFmtKind = 0,      // 0 unset (numeric), 1 numeric, 2 character, 3 label
    kFmtHAlign = 1,    // 0 default, 1 left, 2 centre, 3 right
    kFmtVAlign = 2,    // 0 default, 1 top, 2 middle, 3 bottom
    kFmtDecimals = 3,  // 0..7
    kFmtPercent = 4,
    kFmtThousands = 5,
    kFmtCurrency = 6,
    kFmtBackground = 7,  // palette index 0..15
    kFmtForeground = 8,
    kFmtPattern = 9,     // 0..3
    kFmtFont = 10,       // 0..15
    kFmtFontStyle = 11,  // 0 plain .. 7 bold italic underline
    kFmtFontSize = 12,   // size index 0..15
    kFmtRightLine = 13,  // line style 0..7
    kFmtBottomLine = 14,
    kFmtUndefined = 15,  // no such attribute
    kFmtWrap = 16,
    kFmtCodeCount = 17,
};

struct BitField {
    uint8_t shift;
    uint8_t width;
    constexpr uint64_t mask() const { return ((uint64_t(1) << width) - 1) << shift; }
    constexpr uint32_t get(uint64_t word) const { return uint32_t((word & mask()) >> shift); }
    constexpr uint64_t set(uint64_t word, uint64_t value) const {
        return (word & ~mask()) | ((value << shift) & mask());
    }
};

// Field of an attribute code; width 0 for code 15 and codes out of range.
constexpr BitField cellFormatField(int code) {
    constexpr BitField fields[kFmtCodeCount] = {
        {0, 2},  {2, 2},  {4, 2},  {6, 3},  {9, 1},  {10, 1}, {11, 1}, {12, 4}, {16, 4},
        {20, 2}, {22, 4}, {26, 3}, {29, 4}, {33, 3}, {36, 3}, {0, 0},  {39, 1},
    };
    return code >= 0 && code < kFmtCodeCount ? fields[code] : BitField{0, 0};
}

// Engine bits of the word.
inline constexpr BitField kFmtCombineCode{40, 4};  // 0..9, see GetCombineCode
inline constexpr BitField kFmtHasFormula{44, 1};
inline constexpr BitField kFmtKeywordCell{45, 1};
inline constexpr BitField kFmtHasLabel{46, 1};

constexpr uint32_t cellFormatGet(uint64_t word, int code) {
    return cellFormatField(code).get(word);
}
constexpr uint64_t cellFormatSet(uint64_t word, int code, uint32_t value) {
    return cellFormatField(code).set(word, value);
}
// The decimals a number cell shows of its value; -1 for a cell holding
// texts. A percent cell holds percent units (12.5 shows 12.5%), so its sign
// adds no decimals.
constexpr int cellShownDecimals(uint64_t word) {
    if (cellFormatGet(word, kFmtKind) > 1) return -1;
    return int(cellFormatGet(word, kFmtDecimals));
}

// Font sizes in points by size index.
inline constexpr int kFontSizePoints[16] = {9,  10, 11, 12, 14, 16, 18, 20,
                                            22, 24, 26, 28, 36, 48, 72, 120};

// Colour indices of codes 7 and 8, as 0x00BBGGRR values (the order a
// report's colour numbers are stored in; the painter swaps red and blue).
inline constexpr uint32_t kCellPalette[16] = {
    0x000000, 0xFFFFFF, 0x808080, 0x000080, 0x008080, 0x008000, 0x808000, 0x800000,
    0x800080, 0x00FFFF, 0x00FF00, 0xFFFF00, 0xFF0000, 0xFF00FF, 0x0000FF, 0xC0C0C0,
};
enum CellColour : int {
    kColourBlack = 0,
    kColourWhite = 1,
    kColourGrey = 2,
    kColourMaroon = 3,
    kColourOlive = 4,
    kColourGreen = 5,
    kColourTeal = 6,
    kColourNavy = 7,
    kColourPurple = 8,
    kColourYellow = 9,
    kColourLime = 10,
    kColourAqua = 11,
    kColourBlue = 12,
    kColourFuchsia = 13,
    kColourRed = 14,
    kColourSilver = 15,
};
// The same colour as 0xRRGGBB; 0 for an index outside 0..15.
constexpr uint32_t cellPaletteRgb(int index) {
    if (index < 0 || index > 15) return 0;
    const uint32_t bgr = kCellPalette[index];
    return (bgr & 0x00FF00) | (bgr & 0xFF) << 16 | (bgr >> 16 & 0xFF);
}

// Face names of code 10 (UTF-8). The first eight are also string-table
// entries 62027..62034, which the exchange formats read them through.
inline constexpr const char* kCellFontFaces[16] = {
    "宋体",   "仿宋_GB2312",  "黑体",      "楷体_GB2312", "@宋体",       "@仿宋_GB2312",
    "@黑体",  "@楷体_GB2312", "Algerian",  "Arial",       "Arial Black", "Arial Narrow",
    "Tahoma", "Symbol",       "Wingdings", "Modern",
};
// The XML and spreadsheet-XML formats name face 12 differently.
inline constexpr const char* kExchangeFontFace12 = "Times New Roman";

// Font style index of code 11.
enum CellFontStyle : int {
    kFontPlain = 0,
    kFontBold = 1,
    kFontItalic = 2,
    kFontUnderline = 3,
    kFontBoldItalic = 4,
    kFontBoldUnderline = 5,
    kFontItalicUnderline = 6,
    kFontBoldItalicUnderline = 7,
};

// Line style codes of codes 13/14, of the row and column attribute bytes
// and of area lines.
enum CellLineStyle : int {
    kLineNone = 0,
    kLineThin = 1,
    kLineDash = 2,
    kLineDot = 3,
    kLineDashDot = 4,
    kLineDashDotDot = 5,
    kLineMedium = 6,
    kLineThick = 7,
};

// Horizontal and vertical alignment of codes 1 and 2.
enum CellAlign : int {
    kAlignDefault = 0,  // numbers right, texts left; vertically the painter's default
    kAlignStart = 1,    // left / top
    kAlignCentre = 2,
    kAlignEnd = 3,  // right / bottom
};

// Combined-area position codes (kFmtCombineCode).
enum CombineCode : int {
    kCombineNone = 0,
    kCombineTopLeft = 1,      // also the top cell of a one-column area
    kCombineRowStart = 2,     // left end of a one-row area
    kCombineBottomRight = 3,  // also the bottom cell of a one-column area
    kCombineRowEnd = 4,       // right end of a one-row area
    kCombineTopRight = 5,
    kCombineBottomLeft = 6,
    kCombineInterior = 7,
    kCombineTopBottomEdge = 8,  // also the middle cells of a one-row area
    kCombineLeftRightEdge = 9,  // also the middle cells of a one-column area
};

}  // namespace qor

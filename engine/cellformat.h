#pragma once
// The cell format word ("CFMT" section, one 64-bit word per stored cell):
// the 17 attributes callers reach by code through
// CReportHandle::AccessAreaFormat, plus the engine's own bits (combined-area
// position code, formula, keyword and label markers).

#include <cstdint>

namespace qor {

// Attribute codes of AccessAreaFormat.
enum CellFormatCode : int {
    kFmtKind = 0,         // 0 unset (numeric), 1 numeric, 2 character, 3 label
    kFmtHAlign = 1,       // 0 default, 1 left, 2 centre, 3 right
    kFmtVAlign = 2,       // 0 default, 1 top, 2 middle, 3 bottom
    kFmtDecimals = 3,     // 0..7
    kFmtPercent = 4,
    kFmtThousands = 5,
    kFmtCurrency = 6,
    kFmtBackground = 7,   // palette index 0..15
    kFmtForeground = 8,
    kFmtPattern = 9,      // 0..3
    kFmtFont = 10,        // 0..15
    kFmtFontStyle = 11,   // 0 plain .. 7 bold italic underline
    kFmtFontSize = 12,    // size index 0..15
    kFmtRightLine = 13,   // line style 0..7
    kFmtBottomLine = 14,
    kFmtUndefined = 15,   // no such attribute
    kFmtWrap = 16,
    kFmtCodeCount = 17,
};

struct BitField {
    uint8_t shift;
    uint8_t width;
    constexpr uint64_t mask() const { return ((uint64_t(1) << width) - 1) << shift; }
    constexpr uint32_t get(uint64_t word) const {
        return uint32_t((word & mask()) >> shift);
    }
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

// Font sizes in points by size index.
inline constexpr int kFontSizePoints[16] = {9,  10, 11, 12, 14, 16, 18,  20,
                                            22, 24, 26, 28, 36, 48, 72, 120};

}  // namespace qor

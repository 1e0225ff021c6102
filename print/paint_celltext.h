#pragma once
// What a cell shows and where its text goes: the choice of text by state,
// formula state and kind, and the fitting of that text into the cell
// (alignment, wrapping and the "#" a text that does not fit turns into).
// Both are plain functions; measuring is behind TextMetrics so they can be
// checked without a font.

#include <QFontMetrics>
#include <QHash>
#include <QString>
#include <cstdint>
#include <vector>

#include "charts/itemsupport.h"

class CQorsDoc;

namespace qor::view {

// Measures text in the units the cell rectangle is given in.
class TextMetrics {
public:
    virtual ~TextMetrics() = default;
    virtual int width(const QString& text) const = 0;
    // Line height (ascent + descent) and ascent.
    virtual int height() const = 0;
    virtual int ascent() const = 0;
    // The width wrapping counts per character: one of these for a
    // character below U+0800, two for any other.
    virtual int averageCharWidth() const = 0;
};

// TextMetrics of a real font. The average width is half the advance of a
// Chinese character where the font has one (the Chinese faces are designed
// on that half-width grid), else the font's own average.
//
// Widths of texts made of simple characters (Chinese, Latin, digits: no
// marks, no right-to-left or complex scripts) are summed from a cache of
// character advances, which is what shaping gives for them with kerning
// off and costs a fraction; other texts are shaped.
class FontTextMetrics : public TextMetrics {
public:
    explicit FontTextMetrics(const QFontMetrics& fm);
    int width(const QString& text) const override;
    int height() const override { return m_fm.height(); }
    int ascent() const override { return m_fm.ascent(); }
    int averageCharWidth() const override { return m_average; }

private:
    QFontMetrics m_fm;
    int m_average;
    mutable QHash<char16_t, int> m_advances;
};

// ---- which text

enum class CellTextSource {
    kNone,          // nothing is drawn
    kFormulaLabel,  // "公式单元" (62986)
    kErrorLabel,    // "#错误公式" (62987)
    kNumber,        // the value through the cell's number format
    kText,          // the character text
    kLabel,         // the table-style text
};

struct CellTextFacts {
    bool dataState = false;
    bool printing = false;
    bool dataOnly = false;      // overlay printing: no table-style texts
    int formulaState = 0;       // 0 none, 1 formula, 2 formula in error
    int kind = 1;               // 1 numeric, 2 character, 3 table-style
    bool combinedArea = false;  // an area never shows the formula label
};

// Format state shows only table-style texts, and "公式单元" on the screen
// for a cell with a formula; data state shows every kind; a formula in
// error always shows "#错误公式".
CellTextSource ChooseCellText(const CellTextFacts& facts);

// The number as the cell's format shows it; "" when the cell holds no
// number.
QString FormatNumberCell(const CQorsDoc& doc, int row, int col);

// The text of a cell of the current page as it will be fitted (before any
// "#"); "" for nothing or a failed read.
QString CellDisplayText(const CQorsDoc& doc, int row, int col, const CellTextFacts& facts);

// ---- where the text goes

struct CellTextLine {
    QString text;
    int x = 0;         // left of the line's text
    int baseline = 0;  // y of its baseline
    int width = 0;     // its measured width
};

struct CellTextLayout {
    std::vector<CellTextLine> lines;
    bool clip = true;  // draw clipped to the cell
};

// Rectangles are left, top, right, bottom with right and bottom exclusive.
// Lays text out in rect (the cell shrunk by one pixel) by the draw-format
// flags of CQorsDoc::GetCellDrawFormat (1 centre, 2 right, 4 vertical
// centre, 8 bottom, 0x10 word break). Without word break a numeric text
// (kind 1) wider than the cell becomes one "#" per character; with word
// break a text whose extent is larger than the cell's area becomes all
// "#", and lines are broken where the next character would not fit.
// Nothing is laid out for an empty text or a rectangle without width or
// height.
CellTextLayout LayoutCellText(const QString& text, int kind, uint32_t drawFormat,
                              const items::Rect& rect, const TextMetrics& metrics);

// A keyword's text: no clipping, never "#", one line; the horizontal
// offset is already in rect.
CellTextLayout LayoutKeywordText(const QString& text, uint32_t drawFormat, const items::Rect& rect,
                                 const TextMetrics& metrics);

// The draw format of keyword slot's text: centring removed; for slots 0
// and 1 right alignment removed, for the others right alignment set.
uint32_t KeywordDrawFormat(uint32_t cellFormat, int slot);

}  // namespace qor::view

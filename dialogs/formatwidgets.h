#pragma once
// The format widgets the cell attribute sheet, the cell style dialog and
// the draw-lines dialog share: palette swatches and the colour combo, the
// pattern list, the line-style list and the font sample. Painting goes
// through functions taking a QPainter, so tests render into a QImage.

#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QSize>
#include <QString>
#include <cstdint>

class QComboBox;
class QListWidget;
class QPainter;
class QRect;

namespace qor {

constexpr int kPatternCount = 4;
constexpr int kLineStyleCount = 8;

// A palette colour by index (taken modulo 16).
QColor PaletteColour(int index);
// A small picture of a fill, framed in white.
QIcon FormatSwatch(const QBrush& fill, const QSize& size = QSize(40, 14));
// The sixteen palette colours in palette order, each item holding its
// 0x00BBGGRR value.
void FillColourCombo(QComboBox* combo);
// No pattern and the three black hatches.
void FillPatternCombo(QComboBox* combo);
// A line style drawn through the middle of rect; style 0 draws nothing.
void PaintLineStyle(QPainter& p, const QRect& rect, int style);
// The eight line styles; style 0 is named by string 62435.
void FillLineStyleList(QListWidget* list);
void FillLineStyleCombo(QComboBox* combo);
// Selects an index; -1 (mixed) or an index outside the list selects nothing.
void SelectComboIndex(QComboBox* combo, int32_t index);

// What a font sample shows. Colours and pattern outside their ranges fall
// back to black text on white without a pattern, a size outside 0..15 to
// 12 points, a style outside 0..7 to plain.
struct FontSampleLook {
    int font = 0;  // font-table index
    int style = 0;
    int size = 3;
    int foreground = 0;
    int background = 1;
    int pattern = 0;
    int hAlign = 0;  // 2 centre, 3 right, otherwise left
    int vAlign = 0;  // 2 centre, 3 bottom, otherwise top
    bool wrap = false;
    bool centred = false;  // centre both ways whatever the alignment
};
// Fills rect with the background and pattern and draws text in the font.
void PaintFontSample(QPainter& p, const QRect& rect, const FontSampleLook& look,
                     const QString& text);

}  // namespace qor

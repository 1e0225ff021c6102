#pragma once
// The drawing tables of the sheet: how the report's colour numbers, line
// codes, fill patterns and the sixteen faces of the font table become
// QColor, QPen, QBrush and QFont. Reports keep colours as 0x00BBGGRR
// values; they are turned round here and nowhere else.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QStringList>
#include <cstdint>

#include "charts/fontfamilies.h"
#include "engine/uifont.h"

class CQorsDoc;

namespace qor::view {

// A stored 0x00BBGGRR colour as a QColor (0xFF0000 is blue).
constexpr QRgb RgbFromColorRef(uint32_t ref) {
    return 0xFF000000u | (ref & 0xFFu) << 16 | (ref & 0xFF00u) | (ref >> 16 & 0xFFu);
}
inline QColor ColorFromRef(uint32_t ref) { return QColor::fromRgb(RgbFromColorRef(ref)); }

// Colours the sheet is drawn with, as 0x00BBGGRR.
inline constexpr uint32_t kRefWhite = 0xFFFFFF;
inline constexpr uint32_t kRefDefaultGrid = 0xC0C0C0;
inline constexpr uint32_t kRefKindNumber = 0xFF0000;  // blue
inline constexpr uint32_t kRefKindText = 0xFF0080;    // purple
inline constexpr uint32_t kRefKindLabel = 0x008000;   // green
inline constexpr uint32_t kRefKeyword = 0x0000FF;     // red
inline constexpr uint32_t kRefHeaderFrame = 0x848484;
inline constexpr uint32_t kRefHeaderText = 0x3C3287;
inline constexpr uint32_t kRefHeaderSelText = 0x3C32B4;
inline constexpr uint32_t kRefHeaderVarText = 0x0000FF;
inline constexpr uint32_t kRefSelectionFill = 0xBEA6A6;

// The text colour of a cell of kind 1, 2 or 3 while kind colours are shown.
uint32_t KindColorRef(int kind);

// The one table of substitute families, shared with the chart labels.
using qor::items::SubstituteFontFamilies;

// The QFont of a font record: |height| pixels (in the painter's units), the
// record's weight, italic and underline, and the substituted families.
QFont MakeFont(const FontDesc& fd);

// The font of a cell's text: the face of font attribute 10, the style of
// attribute 11 and the size of attribute 12 (points) times scale,
// truncated. False, and *font untouched, without a report.
bool BuildCellFont(const CQorsDoc& doc, int row, int col, double scale, FontDesc* font);

// The pen of a line code 0..7 (0 none; 1 solid one pixel; 2..5 dashed,
// dotted, dash-dot and dash-dot-dot one pixel; 6 and 7 solid two and three
// pixels). When printing, the units are points and a pixel of the solid
// pens becomes 0.75 pt; the broken pens stay one device pixel wide. A code
// outside 0..7 gives no pen.
QPen CellLinePen(int code, bool printing);

// The hatch of a fill pattern number (0 none; 1 forward diagonal, 2
// backward diagonal, 3 crossed diagonals, 4 horizontal, 5 vertical).
Qt::BrushStyle PatternBrushStyle(int pattern);

}  // namespace qor::view

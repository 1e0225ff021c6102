#pragma once
// Codes shared by the workbook file formats: the line codes both file
// formats use for a border, and the default colour palette of the binary
// workbook format, which the report's colours all belong to.

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/messages.h"
#include "engine/status.h"
#include "exchange/workbook_model.h"

namespace qor {

// Column widths are stored (a zip workbook's "width", a binary workbook's
// COLINFO in 1/256 of it) with the writer's padding of five pixels at a
// digit width of seven; a sheet reports them in characters.
inline double ColumnCharsOfStoredWidth(double stored) {
    const double pixels = std::floor(stored * 7 + 0.5);
    const double chars = pixels <= 12 ? pixels / 12 : (pixels - 5) / 7;
    return std::clamp(std::round(chars * 100) / 100, 0.0, 255.0);
}
// A sheet's default width given as whole characters without the cell
// padding (a binary workbook's DEFCOLWIDTH, a zip workbook's baseColWidth):
// the usual 8 is the 8.43 such columns show, so any other count gets the
// same padding.
inline double ColumnCharsOfBaseWidth(int chars) {
    return std::clamp(chars, 0, 255) + (xl::kDefaultColumnWidth - 8);
}
// The stored width of a width in characters, in 1/256 characters.
inline int StoredWidthOfColumnChars256(double chars) {
    chars = std::clamp(chars, 0.0, 255.0);
    const double pixels = chars < 1 ? std::floor(chars * 12 + 0.5) : std::floor(chars * 7 + 0.5) + 5;
    return int(pixels / 7 * 256);
}

// The file formats' line code (0 none, 1 thin, 2 medium, 3 dashed,
// 4 dotted, 5 thick, 6 double, 7 hair, 8 medium dashed, 9 dash-dot,
// 10 medium dash-dot, 11 dash-dot-dot, 12 medium dash-dot-dot, 13 slanted
// dash-dot) for the object model's line style and weight.
inline int BorderLineCode(const XlBorder& b) {
    const bool heavy = b.weight == xl::kMedium || b.weight == xl::kThick;
    switch (b.lineStyle) {
        case xl::kContinuous:
            if (b.weight == xl::kHairline) return 7;
            if (b.weight == xl::kMedium) return 2;
            if (b.weight == xl::kThick) return 5;
            return 1;
        case xl::kDash:
            return heavy ? 8 : 3;
        case xl::kDot:
            return 4;
        case xl::kDashDot:
            return heavy ? 10 : 9;
        case xl::kDashDotDot:
            return heavy ? 12 : 11;
        case xl::kSlantDashDot:
            return 13;
        case xl::kDouble:
            return 6;
        default:
            return 0;
    }
}

// The object model's line style and weight for a line code; what
// BorderLineCode() gives back for every code.
inline XlBorder BorderOfLineCode(int code) {
    struct Entry {
        int style, weight;
    };
    static constexpr Entry table[14] = {
        {xl::kLineNone, xl::kThin},      {xl::kContinuous, xl::kThin},
        {xl::kContinuous, xl::kMedium},  {xl::kDash, xl::kThin},
        {xl::kDot, xl::kThin},           {xl::kContinuous, xl::kThick},
        {xl::kDouble, xl::kThick},       {xl::kContinuous, xl::kHairline},
        {xl::kDash, xl::kMedium},        {xl::kDashDot, xl::kThin},
        {xl::kDashDot, xl::kMedium},     {xl::kDashDotDot, xl::kThin},
        {xl::kDashDotDot, xl::kMedium},  {xl::kSlantDashDot, xl::kMedium},
    };
    if (code <= 0 || code > 13) return XlBorder{};
    return XlBorder{table[code].style, table[code].weight};
}

// Colours 8..63 of the default palette, as 0xRRGGBB.
inline constexpr uint32_t kBiffDefaultPalette[56] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333,
};

// The palette index (8..63) of the colour nearest to a 0x00BBGGRR colour;
// an exact match is the first index holding it.
inline int BiffPaletteIndex(uint32_t bgr) {
    const int r = int(bgr & 0xFF), g = int(bgr >> 8 & 0xFF), b = int(bgr >> 16 & 0xFF);
    int best = 8;
    long bestDistance = -1;
    for (int i = 0; i < 56; ++i) {
        const uint32_t p = kBiffDefaultPalette[i];
        const long dr = long(p >> 16 & 0xFF) - r, dg = long(p >> 8 & 0xFF) - g,
                   db = long(p & 0xFF) - b;
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = i + 8;
            bestDistance = d;
            if (d == 0) break;
        }
    }
    return best;
}

// The text of a built-in number format (0..58) of both file formats;
// empty for General and for the locale's formats that are no dates.
inline QString BuiltinNumberFormat(int id) {
    switch (id) {
        case 1:
            return QStringLiteral("0");
        case 2:
            return QStringLiteral("0.00");
        case 3:
            return QStringLiteral("#,##0");
        case 4:
            return QStringLiteral("#,##0.00");
        case 9:
            return QStringLiteral("0%");
        case 10:
            return QStringLiteral("0.00%");
        case 11:
            return QStringLiteral("0.00E+00");
        case 12:
            return QStringLiteral("# ?/?");
        case 13:
            return QStringLiteral("# ?\?/??");
        case 14:
            return QStringLiteral("mm-dd-yy");
        case 15:
            return QStringLiteral("d-mmm-yy");
        case 16:
            return QStringLiteral("d-mmm");
        case 17:
            return QStringLiteral("mmm-yy");
        case 18:
            return QStringLiteral("h:mm AM/PM");
        case 19:
            return QStringLiteral("h:mm:ss AM/PM");
        case 20:
            return QStringLiteral("h:mm");
        case 21:
            return QStringLiteral("h:mm:ss");
        case 22:
            return QStringLiteral("m/d/yy h:mm");
        case 37:
            return QStringLiteral("#,##0 ;(#,##0)");
        case 38:
            return QStringLiteral("#,##0 ;[Red](#,##0)");
        case 39:
            return QStringLiteral("#,##0.00;(#,##0.00)");
        case 40:
            return QStringLiteral("#,##0.00;[Red](#,##0.00)");
        case 45:
            return QStringLiteral("mm:ss");
        case 46:
            return QStringLiteral("[h]:mm:ss");
        case 47:
            return QStringLiteral("mmss.0");
        case 48:
            return QStringLiteral("##0.0E+0");
        case 49:
            return QStringLiteral("@");
        // The dates and times a locale defines for itself, as the
        // Chinese locale shows them: a file only gives their number.
        case 27:
        case 36:
        case 50:
        case 52:
        case 57:
            return QStringLiteral("yyyy\"年\"m\"月\"");
        case 28:
        case 29:
        case 51:
        case 53:
        case 54:
        case 58:
            return QStringLiteral("m\"月\"d\"日\"");
        case 30:
            return QStringLiteral("m-d-yy");
        case 31:
            return QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
        case 32:
            return QStringLiteral("h\"时\"mm\"分\"");
        case 33:
            return QStringLiteral("h\"时\"mm\"分\"ss\"秒\"");
        case 34:
        case 55:
            return QStringLiteral("上午/下午h\"时\"mm\"分\"");
        case 35:
        case 56:
            return QStringLiteral("上午/下午h\"时\"mm\"分\"ss\"秒\"");
        default:
            return QString();  // General, and the locale's other formats
    }
}

// Ends the reading of a workbook file with an error naming the file; the
// readers of both workbook formats fail through it alike.
class WorkbookReadFailure {
public:
    explicit WorkbookReadFailure(QString file) : m_file(std::move(file)) {}
    [[noreturn]] void operator()(const QString& what) const {
        throw XlError{kXlObjectError, QStringLiteral("Workbook"),
                      LoadErrorText(str::kCannotReadWithReason).arg(m_file, what)};
    }

private:
    QString m_file;
};

}  // namespace qor

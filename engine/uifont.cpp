#include "engine/uifont.h"

namespace {

struct LineEntry {
    int style;
    int width;
};

// Index = line style stored in the cell formats.
constexpr LineEntry kLines[8] = {
    {kPenNull, 1},    {kPenSolid, 1},      {kPenDash, 1},  {kPenDot, 1},
    {kPenDashDot, 1}, {kPenDashDotDot, 1}, {kPenSolid, 2}, {kPenSolid, 3},
};

}  // namespace

FontDesc GetDefaultUiFont(FontDesc* font, int menuBarHeight) {
    *font = FontDesc{};
    font->face = QStringLiteral("Tahoma");
    font->height = menuBarHeight - 6;
    font->weight = kFontWeightNormal;
    font->charset = kGb2312Charset;
    return *font;
}

void ApplyFontStyleIndex(int style, FontDesc* font) {
    if (style < 0 || style > 7) return;
    static constexpr bool bold[8] = {false, true, false, false, true, true, false, true};
    static constexpr bool italic[8] = {false, false, true, false, true, false, true, true};
    static constexpr bool underline[8] = {false, false, false, true, false, true, true, true};
    font->weight = bold[style] ? kFontWeightBold : kFontWeightNormal;
    font->italic = italic[style];
    font->underline = underline[style];
}

void MapLineStyle(int direction, PenDesc* pen, int* index) {
    if (direction == kLineStyleToPen) {
        if (*index == -1) {
            pen->style = kPenUnset;
        } else if (*index >= 0 && *index <= 7) {
            pen->style = kLines[*index].style;
            pen->width = kLines[*index].width;
        }
        return;
    }
    if (pen->style == kPenUnset) {
        *index = -1;
        return;
    }
    if (pen->style == kPenNull) {
        *index = 0;
        return;
    }
    // A cosmetic pen of width 0 draws one pixel wide, as width 1 does.
    const int width = pen->width == 0 ? 1 : pen->width;
    for (int i = 1; i < 8; ++i) {
        if (kLines[i].style == pen->style && kLines[i].width == width) {
            *index = i;
            return;
        }
    }
}

#pragma once
// Fonts and pens described as plain records, so that headless code can
// choose them and the painting layer turns them into QFont and QPen.

#include <QString>

// GDI's character-set and weight numbers, kept because reports and
// exchange files carry them.
constexpr int kGb2312Charset = 134;
constexpr int kFontWeightNormal = 400;
constexpr int kFontWeightBold = 700;

struct FontDesc {
    QString face;
    int height = 0;  // cell height in device units (GDI sign rules)
    int weight = kFontWeightNormal;
    bool italic = false;
    bool underline = false;
    int charset = kGb2312Charset;
};

// The platform's menu bar height the default font is measured against.
constexpr int kDefaultMenuBarHeight = 19;

// "Tahoma", menu bar height - 6, weight 400, GB2312; fills *font and
// returns it.
FontDesc GetDefaultUiFont(FontDesc* font, int menuBarHeight = kDefaultMenuBarHeight);
inline FontDesc GetDefaultUiFont() {
    FontDesc f;
    return GetDefaultUiFont(&f);
}

// Font style index 0..7: 0 regular, 1 bold, 2 italic, 3 underline, 4 bold
// italic, 5 bold underline, 6 italic underline, 7 all three. Sets weight,
// italic and underline; an index outside 0..7 leaves the font unchanged.
void ApplyFontStyleIndex(int style, FontDesc* font);

// GDI pen styles.
enum PenStyleCode : int {
    kPenSolid = 0,
    kPenDash = 1,
    kPenDot = 2,
    kPenDashDot = 3,
    kPenDashDotDot = 4,
    kPenNull = 5,
    kPenUnset = -1,  // all bits set: "mixed" in the dialogs
};

struct PenDesc {
    int style = kPenSolid;
    int width = 1;
};

enum LineStyleDirection : int {
    kLineStyleToPen = 0,  // *index -> *pen
    kPenToLineStyle = 1,  // *pen -> *index
};

// Line style index 0..7 <-> pen: 0 none, 1 solid 1, 2 dash, 3 dot,
// 4 dash-dot, 5 dash-dot-dot, 6 solid 2, 7 solid 3. Index -1 and the unset
// pen (style all ones) map to each other. An index outside the table
// leaves the pen, a pen matching no entry leaves the index unchanged.
void MapLineStyle(int direction, PenDesc* pen, int* index);

#include "engine/uifont.h"

#include <gtest/gtest.h>

TEST(UiFontTest, DefaultFontAndStyleIndices) {
    FontDesc f;
    f.italic = true;
    const FontDesc r = GetDefaultUiFont(&f);
    EXPECT_EQ(f.face, "Tahoma");
    EXPECT_EQ(f.height, kDefaultMenuBarHeight - 6);
    EXPECT_EQ(f.weight, 400);
    EXPECT_FALSE(f.italic);
    EXPECT_EQ(f.charset, kGb2312Charset);
    EXPECT_EQ(r.face, f.face);

    // index: bold, italic, underline
    const bool expected[8][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1},
                                 {1, 1, 0}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    for (int i = 0; i < 8; ++i) {
        ApplyFontStyleIndex(i, &f);
        EXPECT_EQ(f.weight, expected[i][0] ? 700 : 400) << i;
        EXPECT_EQ(f.italic, expected[i][1]) << i;
        EXPECT_EQ(f.underline, expected[i][2]) << i;
    }
    ApplyFontStyleIndex(8, &f);  // unchanged
    EXPECT_EQ(f.weight, 700);
    EXPECT_TRUE(f.italic && f.underline);
}

TEST(UiFontTest, LineStylesRoundTrip) {
    for (int i = -1; i < 8; ++i) {
        PenDesc pen;
        int idx = i;
        MapLineStyle(kLineStyleToPen, &pen, &idx);
        int back = 99;
        MapLineStyle(kPenToLineStyle, &pen, &back);
        EXPECT_EQ(back, i);
    }
    PenDesc pen{kPenDash, 1};
    int idx = 8;
    MapLineStyle(kLineStyleToPen, &pen, &idx);  // no such index: pen kept
    EXPECT_EQ(pen.style, kPenDash);
    pen = {kPenDot, 0};  // cosmetic pen counts as width 1
    MapLineStyle(kPenToLineStyle, &pen, &idx);
    EXPECT_EQ(idx, 3);
    pen = {kPenSolid, 5};  // matches nothing: index kept
    MapLineStyle(kPenToLineStyle, &pen, &idx);
    EXPECT_EQ(idx, 3);
    pen = {kPenDash, 2};
    MapLineStyle(kPenToLineStyle, &pen, &idx);
    EXPECT_EQ(idx, 3);
}

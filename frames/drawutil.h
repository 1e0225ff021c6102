#pragma once
// Painting helpers of the flat bars and menus: colours between RGB and
// hue/lightness/saturation (all packed as 0x00BBGGRR-style words), a
// lighten-or-darken step, and an image drawn in its normal, hot or
// disabled look.

#include <QList>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <cstdint>

namespace qor::frames {

// HLS packed as hue in the low byte, lightness in the second, saturation in
// the third; each 0..255 (hue 0..255 stands for 0..360 degrees).
uint32_t RgbToHls(uint32_t colorref);
uint32_t HlsToRgb(uint32_t hls);
// Lightness and saturation moved by signed percentages: a positive p goes
// p percent of the way to 255, a negative one scales by (100 + p) / 100.
uint32_t AdjustColorHls(uint32_t colorref, int lightnessPercent, int saturationPercent);

// The images of one bar or menu in their three looks.
struct ImageSet {
    QList<QPixmap> normal;
    QList<QPixmap> hot;
    QList<QPixmap> disabled;
    int depth = 32;           // the display's colour depth in bits
    bool flatMenus = false;   // the system draws flat menus (no highlight pass)
    QPalette palette;         // highlight (Light) and shadow (Dark) colours
};

inline constexpr int kLookNormal = 0;
inline constexpr int kLookHot = 1;
inline constexpr int kLookDisabled = 2;

// Draws image index at (x, y). Below 24 bits the disabled look is an
// embossed copy of the normal image (highlight one pixel down and right,
// then shadow). False when nothing was drawn.
bool DrawImageListItem(QPainter& painter, const ImageSet& set, int x, int y, int look, int index);

}  // namespace qor::frames

#include "frames/drawutil.h"

#include <QBitmap>
#include <QImage>
#include <algorithm>
#include <cmath>

namespace qor::frames {

namespace {

int red(uint32_t c) { return int(c & 0xFF); }
int green(uint32_t c) { return int((c >> 8) & 0xFF); }
int blue(uint32_t c) { return int((c >> 16) & 0xFF); }
uint32_t colorref(int r, int g, int b) { return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16); }

double hueValue(double m1, double m2, double h) {
    while (h < 0) h += 360;
    while (h >= 360) h -= 360;
    if (h < 60) return m1 + (m2 - m1) * h / 60;
    if (h < 180) return m2;
    if (h < 240) return m1 + (m2 - m1) * (240 - h) / 60;
    return m1;
}

int toByte(double v) { return std::clamp(int(std::lround(v * 255)), 0, 255); }

int adjust(int value, int percent) {
    if (percent > 0) return value + (255 - value) * percent / 100;
    if (percent < 0) return value * (100 + percent) / 100;
    return value;
}

}  // namespace

uint32_t RgbToHls(uint32_t c) {
    const int r = red(c), g = green(c), b = blue(c);
    const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
    const double l = (mx + mn) / 510.0;
    double h = 0, s = 0;
    if (mx != mn) {
        s = l <= 0.5 ? double(mx - mn) / (mx + mn) : double(mx - mn) / (510 - mx - mn);
        const double d = mx - mn;
        const double rt = (mx - r) / d, gt = (mx - g) / d, bt = (mx - b) / d;
        if (r == mx) h = 60 * (6 + bt - gt);
        if (g == mx) h = 60 * (2 + rt - bt);
        if (b == mx) h = 60 * (4 + gt - rt);
        if (h >= 360) h -= 360;
    }
    const auto byte = [](double v) { return uint32_t(std::clamp(int(v), 0, 255)); };
    return byte(h * 255 / 360) | (byte(l * 255) << 8) | (byte(s * 255) << 16);
}

uint32_t HlsToRgb(uint32_t hls) {
    const int hb = int(hls & 0xFF), lb = int((hls >> 8) & 0xFF), sb = int((hls >> 16) & 0xFF);
    if (sb == 0) return colorref(lb, lb, lb);
    const double h = hb * 360.0 / 255, l = lb / 255.0, s = sb / 255.0;
    const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
    const double m1 = 2 * l - m2;
    return colorref(toByte(hueValue(m1, m2, h + 120)), toByte(hueValue(m1, m2, h)),
                    toByte(hueValue(m1, m2, h - 120)));
}

uint32_t AdjustColorHls(uint32_t c, int lightnessPercent, int saturationPercent) {
    const uint32_t hls = RgbToHls(c);
    const int l = adjust(int((hls >> 8) & 0xFF), lightnessPercent);
    const int s = adjust(int((hls >> 16) & 0xFF), saturationPercent);
    return HlsToRgb((hls & 0xFF) | (uint32_t(l) << 8) | (uint32_t(s) << 16));
}

bool DrawImageListItem(QPainter& painter, const ImageSet& set, int x, int y, int look, int index) {
    if (look < kLookNormal || look > kLookDisabled || index < 0) return false;
    if (set.depth >= 24 || look != kLookDisabled) {
        const QList<QPixmap>& list = set.depth < 24 || look == kLookNormal ? set.normal
                                     : look == kLookHot                   ? set.hot
                                                                          : set.disabled;
        if (index >= list.size()) return false;
        painter.drawPixmap(x, y, list[index]);
        return true;
    }
    if (index >= set.normal.size()) return false;
    // The image on white, reduced to one bit: what is not white is ink.
    const QPixmap& image = set.normal[index];
    QImage onWhite(image.size(), QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    {
        QPainter p(&onWhite);
        p.drawPixmap(0, 0, image);
    }
    const QImage mono = onWhite.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    QImage ink(mono.size(), QImage::Format_ARGB32);
    ink.fill(Qt::transparent);
    for (int yy = 0; yy < mono.height(); ++yy)
        for (int xx = 0; xx < mono.width(); ++xx)
            if (qGray(mono.pixel(xx, yy)) < 128) ink.setPixel(xx, yy, 0xFF000000);
    auto stamp = [&](int at_x, int at_y, const QColor& colour) {
        QImage tinted = ink;
        QPainter p(&tinted);
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(tinted.rect(), colour);
        p.end();
        painter.drawImage(at_x, at_y, tinted);
    };
    if (!set.flatMenus) stamp(x + 1, y + 1, set.palette.color(QPalette::Light));
    stamp(x, y, set.palette.color(QPalette::Dark));
    return true;
}

}  // namespace qor::frames

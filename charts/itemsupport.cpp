#include "charts/itemsupport.h"

#include <algorithm>
#include <cstdlib>

namespace qor::items {

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    const int64_t p = int64_t(a) * b;
    int64_t q = (std::llabs(p) + std::llabs(int64_t(c)) / 2) / std::llabs(int64_t(c));
    if ((p < 0) != (c < 0)) q = -q;
    if (q > INT32_MAX || q < INT32_MIN) return -1;
    return int32_t(q);
}

int ItemTracker::HitTest(QPoint pt) const {
    const int l = std::min(rect.left, rect.right), r = std::max(rect.left, rect.right);
    const int t = std::min(rect.top, rect.bottom), b = std::max(rect.top, rect.bottom);
    const bool inside = pt.x() >= l && pt.x() < r && pt.y() >= t && pt.y() < b;
    if (style & (kTrackResizeInside | kTrackResizeOutside)) {
        // Handles of handleSize pixels, inside or straddling-out of the frame.
        const int h = handleSize;
        const bool out = (style & kTrackResizeOutside) != 0;
        const int xs[3] = {out ? l - h : l, (l + r - h) / 2, out ? r : r - h};
        const int ys[3] = {out ? t - h : t, (t + b - h) / 2, out ? b : b - h};
        // (column, row) of each handle in hit-code order.
        static const int cells[8][2] = {{0, 0}, {2, 0}, {2, 2}, {0, 2},
                                        {1, 0}, {2, 1}, {1, 2}, {0, 1}};
        for (int i = 0; i < 8; ++i) {
            const int hx = xs[cells[i][0]], hy = ys[cells[i][1]];
            if (pt.x() >= hx && pt.x() < hx + h && pt.y() >= hy && pt.y() < hy + h) return i;
        }
    }
    return inside ? 8 : -1;
}

}  // namespace qor::items

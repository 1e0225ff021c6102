#include "view/ctracker.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

namespace {

using Rect = qor::items::Rect;

// Which edge each handle sits on and how it moves (indices into Rect as
// left 0, top 1, right 2, bottom 3), in hit-code order, middle last.
struct HandleInfo {
    int offsetX, offsetY;  // edge the handle's corner starts from
    int centerX, centerY;  // 1: centred along that axis
    int handleX, handleY;  // -1: the handle lies inside the far edge
    int invertX, invertY;  // the handle it becomes when that axis inverts
};
constexpr HandleInfo kHandleInfo[9] = {
    {0, 1, 0, 0, 0, 0, 1, 3},  {2, 1, 0, 0, -1, 0, 0, 2}, {2, 3, 0, 0, -1, -1, 3, 1},
    {0, 3, 0, 0, 0, -1, 2, 0}, {0, 1, 1, 0, 0, 0, 4, 6},  {2, 1, 0, 1, -1, 0, 7, 5},
    {0, 3, 1, 0, 0, -1, 6, 4}, {0, 1, 0, 1, 0, 0, 5, 7},  {0, 1, 0, 0, 0, 0, 8, 8},
};
// For each coordinate: the one across from it and the direction of growth.
struct EdgeInfo {
    int across;
    int sign;
};
constexpr EdgeInfo kEdgeInfo[4] = {{2, 1}, {3, 1}, {0, -1}, {1, -1}};

int32_t* coord(Rect& r, int i) {
    switch (i) {
        case 0:
            return &r.left;
        case 1:
            return &r.top;
        case 2:
            return &r.right;
        default:
            return &r.bottom;
    }
}
int32_t coordOf(const Rect& r, int i) { return *coord(const_cast<Rect&>(r), i); }

Rect normalized(const Rect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}
Rect inflated(const Rect& r, int by) {
    return {r.left - by, r.top - by, r.right + by, r.bottom + by};
}
bool contains(const Rect& r, QPoint p) {
    return p.x() >= r.left && p.x() < r.right && p.y() >= r.top && p.y() < r.bottom;
}
QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

bool validHandle(int h) { return h >= 0 && h <= CRectTrackerEx::hitMiddle; }

Qt::CursorShape cursorFor(int hit) {
    switch (hit) {
        case 0:
        case 2:
            return Qt::SizeFDiagCursor;
        case 1:
        case 3:
            return Qt::SizeBDiagCursor;
        case 4:
        case 6:
            return Qt::SizeVerCursor;
        case 5:
        case 7:
            return Qt::SizeHorCursor;
        default:
            return Qt::SizeAllCursor;
    }
}

}  // namespace

CRectTrackerEx::CRectTrackerEx(const qor::items::ItemTracker& fromItem, QWidget* ownerView)
    : m_nStyle(fromItem.style), m_rect(fromItem.rect), m_pOwnerView(ownerView) {}

// ---------------------------------------------------------------------------
// Geometry

int CRectTrackerEx::GetHandleSize(const Rect* rect) const {
    const Rect& r = rect ? *rect : m_rect;
    int size = m_nHandleSize;
    if (!(m_nStyle & resizeOutside)) {
        const int sizeMax = std::min(std::abs(r.width()), std::abs(r.height()));
        if (size * 2 > sizeMax) size = sizeMax / 2;
    }
    return size;
}

unsigned CRectTrackerEx::GetHandleMask() const {
    unsigned mask = 0x0F;
    const int s = m_nHandleSize * 3;
    if (std::abs(m_rect.width()) - s > 4) mask |= 0x50;
    if (std::abs(m_rect.height()) - s > 4) mask |= 0xA0;
    return mask;
}

void CRectTrackerEx::GetTrueRect(Rect* out) const {
    if (!out) return;
    int by = 0;
    if (m_nStyle & (resizeOutside | hatchedBorder)) by += GetHandleSize() - 1;
    if (m_nStyle & (solidLine | dottedLine)) ++by;
    *out = inflated(normalized(m_rect), by);
}

void CRectTrackerEx::GetHandleRect(int handle, Rect* out) const {
    if (!out || !validHandle(handle)) return;
    Rect t = normalized(m_rect);
    if (m_nStyle & (solidLine | dottedLine)) t = inflated(t, 1);
    // The handles belong to the normalised rectangle: an inverted one
    // shows a grabbed corner on its mirror side.
    handle = NormalizeHit(handle);
    const int size = GetHandleSize();
    if (m_nStyle & resizeOutside) t = inflated(t, size - 1);
    const HandleInfo& hi = kHandleInfo[handle];
    Rect r;
    r.left = coordOf(t, hi.offsetX) + size * hi.handleX + hi.centerX * (t.width() - size) / 2;
    r.top = coordOf(t, hi.offsetY) + size * hi.handleY + hi.centerY * (t.height() - size) / 2;
    r.right = r.left + size;
    r.bottom = r.top + size;
    *out = r;
}

void CRectTrackerEx::GetModifyPointers(int handle, int32_t** px, int32_t** py, int* x, int* y) {
    if (handle == hitMiddle) handle = hitTopLeft;
    *px = nullptr;
    *py = nullptr;
    if (!validHandle(handle)) return;
    const HandleInfo& hi = kHandleInfo[handle];
    if (hi.invertX != handle) {
        *px = coord(m_rect, hi.offsetX);
        if (x) *x = **px;
    } else if (x) {
        *x = m_rect.left + std::abs(m_rect.width()) / 2;
    }
    if (hi.invertY != handle) {
        *py = coord(m_rect, hi.offsetY);
        if (y) *y = **py;
    } else if (y) {
        *y = m_rect.top + std::abs(m_rect.height()) / 2;
    }
}

// ---------------------------------------------------------------------------
// Hit tests

int CRectTrackerEx::NormalizeHit(int handle) const {
    if (!validHandle(handle) || handle == hitMiddle) return handle;
    if (m_rect.width() < 0) handle = kHandleInfo[handle].invertX;
    if (m_rect.height() < 0) handle = kHandleInfo[handle].invertY;
    return handle;
}

int CRectTrackerEx::HitTestHandles(QPoint point) const {
    Rect t;
    GetTrueRect(&t);
    // The hit area reaches half a handle past the frame.
    if (!contains(inflated(t, GetHandleSize() / 2), point)) return hitNothing;
    const unsigned mask = GetHandleMask();
    for (int i = 0; i < 8; ++i) {
        if (!(mask & (1u << i))) continue;
        Rect h;
        GetHandleRect(i, &h);
        if (contains(h, point)) return i;
    }
    if (m_nStyle & hatchedBorder) return hitMiddle;
    return contains(inflated(normalized(m_rect), 1), point) ? hitMiddle : hitNothing;
}

int CRectTrackerEx::HitTest(QPoint point) const {
    if (m_nStyle & (resizeInside | resizeOutside)) return HitTestHandles(point);
    Rect t;
    GetTrueRect(&t);
    return contains(t, point) ? hitMiddle : hitNothing;
}

int CRectTrackerEx::CursorHit(QPoint point) const {
    int hit = HitTestHandles(point);
    if (hit < 0) return hitNothing;
    hit = NormalizeHit(hit);
    if (hit == hitMiddle && (m_nStyle & hatchedBorder) && !contains(normalized(m_rect), point))
        hit = hitMoveBetween;
    return hit;
}

bool CRectTrackerEx::SetCursor(QWidget* window, QPoint point) const {
    const int hit = CursorHit(point);
    if (hit < 0 || !window) return false;
    window->setCursor(cursorFor(hit));
    return true;
}

// ---------------------------------------------------------------------------
// Drawing

void CRectTrackerEx::Draw(QPainter* painter) const {
    if (!painter) return;
    painter->save();
    const Rect r = normalized(m_rect);
    if (m_nStyle & (solidLine | dottedLine)) {
        QPen pen(Qt::black, 0);
        if (m_nStyle & dottedLine) pen.setStyle(Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        // The frame runs one pixel outside the rectangle.
        painter->drawRect(QRect(r.left - 1, r.top - 1, r.width() + 1, r.height() + 1));
    }
    const QBrush hatch(Qt::black, Qt::BDiagPattern);
    if (m_nStyle & hatchInside)
        painter->fillRect(QRect(r.left + 1, r.top + 1, r.width() - 1, r.height() - 1), hatch);
    if (m_nStyle & hatchedBorder) {
        Rect t;
        GetTrueRect(&t);
        const QRect outer = toQRect(t), inner = toQRect(r);
        painter->fillRect(
            QRect(outer.left(), outer.top(), outer.width(), inner.top() - outer.top()), hatch);
        painter->fillRect(
            QRect(outer.left(), inner.bottom() + 1, outer.width(), outer.bottom() - inner.bottom()),
            hatch);
        painter->fillRect(
            QRect(outer.left(), inner.top(), inner.left() - outer.left(), inner.height()), hatch);
        painter->fillRect(
            QRect(inner.right() + 1, inner.top(), outer.right() - inner.right(), inner.height()),
            hatch);
    }
    if (m_nStyle & (resizeInside | resizeOutside)) {
        const unsigned mask = GetHandleMask();
        painter->setPen(QPen(Qt::black, 0));
        painter->setBrush(Qt::white);
        for (int i = 0; i < 8; ++i) {
            if (!(mask & (1u << i))) continue;
            Rect h;
            GetHandleRect(i, &h);
            painter->drawRect(QRect(h.left, h.top, h.width() - 1, h.height() - 1));
        }
    }
    painter->restore();
}

void CRectTrackerEx::DrawTrackerRect(const Rect& rect, QWidget* clipWindow, QWidget* window) {
    m_rectLast = normalized(rect);
    const int border = (m_nStyle & hatchedBorder) ? std::max(1, GetHandleSize() - 1) : 1;
    m_sizeLast = QSize(border, border);
    if (QWidget* w = clipWindow ? clipWindow : window) w->update();
}

// ---------------------------------------------------------------------------
// Tracking

void CRectTrackerEx::AdjustRect(int handle, Rect* rect) {
    if (handle == hitMiddle || !rect) return;
    int32_t *px = nullptr, *py = nullptr;
    GetModifyPointers(handle, &px, &py, nullptr, nullptr);
    // The moved coordinate is set again from the one across from it, with
    // the sign of the present extent kept when inverting is allowed.
    auto enforce = [&](int32_t* p, int extent, int minimum) {
        const int absExtent = m_bAllowInvert ? std::abs(extent) : extent;
        if (!p || absExtent >= minimum) return;
        const int sign = absExtent != 0 ? extent / absExtent : 1;
        const int idx = int(p - &m_rect.left);
        const EdgeInfo& e = kEdgeInfo[idx];
        *p = coordOf(m_rect, e.across) + sign * minimum * -e.sign;
    };
    enforce(px, m_rect.width(), m_sizeMin.width());
    enforce(py, m_rect.height(), m_sizeMin.height());
    *rect = m_rect;
}

bool CRectTrackerEx::BeginTrack(QPoint point, bool allowInvert) {
    const int handle = HitTestHandles(point);
    if (handle < 0) return false;
    m_bAllowInvert = allowInvert;
    m_trackHandle = handle;
    m_trackStart = m_rect;
    m_trackWidth = m_rect.width();
    m_trackHeight = m_rect.height();
    m_trackMoved = false;
    m_bErase = false;
    m_bFinalErase = false;
    m_rectLast = Rect{};
    m_sizeLast = QSize(0, 0);
    int32_t *px = nullptr, *py = nullptr;
    int x = 0, y = 0;
    GetModifyPointers(handle, &px, &py, &x, &y);
    m_xDiff = point.x() - x;
    m_yDiff = point.y() - y;
    return true;
}

bool CRectTrackerEx::TrackTo(QPoint point) { return applyPoint(point, false); }

bool CRectTrackerEx::applyPoint(QPoint point, bool buttonUp) {
    if (!IsTracking()) return false;
    const Rect old = m_rect;
    int32_t *px = nullptr, *py = nullptr;
    GetModifyPointers(m_trackHandle, &px, &py, nullptr, nullptr);
    // Mouse coordinates arrive as signed 16-bit values.
    if (px) *px = int16_t(point.x()) - m_xDiff;
    if (py) *py = int16_t(point.y()) - m_yDiff;
    if (m_trackHandle == hitMiddle) {
        m_rect.right = m_rect.left + m_trackWidth;
        m_rect.bottom = m_rect.top + m_trackHeight;
    }
    AdjustRect(m_trackHandle, &m_rect);
    const int hs = GetHandleSize();
    if (m_rect.width() + 2 * hs > kMaxTrackSize) m_rect.right = m_rect.left + kMaxTrackSize;
    if (m_rect.height() + 2 * hs > kMaxTrackSize) m_rect.bottom = m_rect.top + kMaxTrackSize;
    if (m_rect == old && !buttonUp) return false;
    if (m_bErase) DrawTrackerRect(old, m_trackClip, m_trackWindow);
    OnChangedRect(old);
    // Only a drag counts: a click that lands elsewhere moves nothing.
    if (buttonUp) return m_rect != old;
    m_trackMoved = true;
    DrawTrackerRect(m_rect, m_trackClip, m_trackWindow);
    m_bErase = true;
    return true;
}

bool CRectTrackerEx::EndTrack(QPoint point) {
    if (!IsTracking()) return false;
    applyPoint(point, true);
    m_bFinalErase = true;
    if (!m_trackMoved) m_rect = m_trackStart;
    m_trackHandle = hitNothing;
    m_trackWindow = m_trackClip = nullptr;
    return m_rect != m_trackStart;
}

void CRectTrackerEx::CancelTrack() {
    if (!IsTracking()) return;
    m_rect = m_trackStart;
    m_bFinalErase = true;
    if (m_bErase) DrawTrackerRect(m_rect, m_trackClip, m_trackWindow);
    m_trackHandle = hitNothing;
    m_trackWindow = m_trackClip = nullptr;
}

namespace {

// Routes the grabbed window's mouse and key events into the tracker until
// the loop ends.
class TrackFilter : public QObject {
public:
    TrackFilter(CRectTrackerEx& t, QWidget* w, QEventLoop& loop) : m_t(t), m_w(w), m_loop(loop) {}
    bool changed = false;

protected:
    bool eventFilter(QObject* obj, QEvent* ev) override {
        if (obj != m_w) return false;
        switch (ev->type()) {
            case QEvent::MouseMove:
                m_t.TrackTo(static_cast<QMouseEvent*>(ev)->position().toPoint());
                return true;
            case QEvent::MouseButtonRelease:
                if (static_cast<QMouseEvent*>(ev)->button() != Qt::LeftButton) return true;
                changed = m_t.EndTrack(static_cast<QMouseEvent*>(ev)->position().toPoint());
                m_loop.quit();
                return true;
            case QEvent::MouseButtonPress:
                if (static_cast<QMouseEvent*>(ev)->button() == Qt::RightButton) cancel();
                return true;
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(ev)->key() == Qt::Key_Escape) cancel();
                return true;
            case QEvent::Hide:
            case QEvent::WindowDeactivate:
                // Losing the window ends the loop as a lost capture does.
                cancel();
                return false;
            default:
                return false;
        }
    }

private:
    void cancel() {
        m_t.CancelTrack();
        changed = false;
        m_loop.quit();
    }
    CRectTrackerEx& m_t;
    QWidget* m_w;
    QEventLoop& m_loop;
};

}  // namespace

bool CRectTrackerEx::Track(QWidget* window, QPoint point, bool allowInvert, QWidget* clipWindow) {
    if (!window || IsTracking()) return false;
    if (QWidget::mouseGrabber()) return false;
    if (!BeginTrack(point, allowInvert)) return false;
    m_trackWindow = window;
    m_trackClip = clipWindow;
    window->update();
    if (clipWindow) clipWindow->update();
    QEventLoop loop;
    TrackFilter filter(*this, window, loop);
    window->installEventFilter(&filter);
    window->grabMouse();
    window->grabKeyboard();
    loop.exec();
    window->releaseKeyboard();
    window->releaseMouse();
    window->removeEventFilter(&filter);
    if (IsTracking()) CancelTrack();
    return filter.changed;
}

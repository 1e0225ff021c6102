#pragma once
// The frame and eight sizing handles a view draws round a selected chart or
// embedded object, and the mouse loop that moves or sizes it. The geometry
// (handle places, hit codes, the sizing rules) is plain arithmetic over the
// tracked rectangle so that it is tested without a window; Track() only
// feeds mouse events from a widget into BeginTrack / TrackTo / EndTrack.
//
// Coordinates are client pixels. The rectangle may be inverted (negative
// width or height) while sizing allows it.

#include <QPoint>
#include <QSize>
#include <cstdint>

#include "charts/itemsupport.h"

class QPainter;
class QWidget;

class CRectTrackerEx {
public:
    using Rect = qor::items::Rect;

    enum StyleFlags : uint32_t {
        solidLine = qor::items::kTrackSolidLine,
        dottedLine = qor::items::kTrackDottedLine,
        hatchedBorder = qor::items::kTrackHatchedBorder,
        resizeInside = qor::items::kTrackResizeInside,
        resizeOutside = qor::items::kTrackResizeOutside,
        hatchInside = qor::items::kTrackHatchInside,
    };
    enum TrackerHit : int {
        hitNothing = -1,
        hitTopLeft = 0,
        hitTopRight = 1,
        hitBottomRight = 2,
        hitBottomLeft = 3,
        hitTop = 4,
        hitRight = 5,
        hitBottom = 6,
        hitLeft = 7,
        hitMiddle = 8,
        // Cursor role only: the middle of a hatched border outside the frame.
        hitMoveBetween = 9,
    };

    static constexpr int kHandleSize = 7;
    // Neither side of a sized rectangle grows past this many pixels.
    static constexpr int kMaxTrackSize = 1500;

    CRectTrackerEx() = default;
    explicit CRectTrackerEx(QWidget* ownerView) : m_pOwnerView(ownerView) {}
    // Takes the rectangle and style an item set up for the view.
    explicit CRectTrackerEx(const qor::items::ItemTracker& fromItem, QWidget* ownerView = nullptr);
    virtual ~CRectTrackerEx() = default;

    // ---- drawing
    void Draw(QPainter* painter) const;

    // ---- geometry
    // Handle size for the rectangle: 7, or less for a small rectangle
    // unless the handles lie outside it.
    virtual int GetHandleSize(const Rect* rect = nullptr) const;
    // Bits 0..7 for the handles shown (corners always).
    virtual unsigned GetHandleMask() const;
    void GetTrueRect(Rect* out) const;
    void GetHandleRect(int handle, Rect* out) const;
    // For a handle: which coordinates of m_rect it moves (null when it
    // moves none along that axis) and their present values (the middle of
    // the side for an axis it does not move).
    void GetModifyPointers(int handle, int32_t** px, int32_t** py, int* x, int* y);

    // ---- hit tests (hit codes above)
    int HitTest(QPoint point) const;
    int HitTestHandles(QPoint point) const;
    // The handle a hit on the normalised rectangle means on an inverted one.
    int NormalizeHit(int handle) const;
    // The cursor role for a point: the normalised handle hit, 9 for the
    // middle outside a hatched border's frame, -1 for none.
    int CursorHit(QPoint point) const;
    // Sets the widget's cursor for the point (client pixels); false when
    // the point hits nothing.
    bool SetCursor(QWidget* window, QPoint point) const;

    // ---- tracking
    // The modal loop on a widget: true when the rectangle changed. Esc or
    // the right button restores the starting rectangle.
    bool Track(QWidget* window, QPoint point, bool allowInvert = false,
               QWidget* clipWindow = nullptr);
    // The same loop driven by hand: BeginTrack is false when the point hits
    // no handle; TrackTo moves the grabbed coordinates to a point (true when
    // the rectangle changed); EndTrack finishes at a point and is true when
    // the rectangle differs from the starting one; CancelTrack restores it.
    bool BeginTrack(QPoint point, bool allowInvert);
    bool TrackTo(QPoint point);
    bool EndTrack(QPoint point);
    void CancelTrack();
    bool IsTracking() const { return m_trackHandle != hitNothing; }

    // ---- members
    uint32_t m_nStyle = 0;
    Rect m_rect;
    QSize m_sizeMin{2 * kHandleSize, 2 * kHandleSize};
    int m_nHandleSize = kHandleSize;
    QWidget* m_pOwnerView = nullptr;
    bool m_bAllowInvert = false;
    Rect m_rectLast;
    QSize m_sizeLast{0, 0};
    bool m_bErase = false;
    bool m_bFinalErase = false;

protected:
    // The drag rectangle while tracking; the default asks the window to
    // repaint, as a QPainter cannot draw over a widget outside its paint.
    virtual void DrawTrackerRect(const Rect& rect, QWidget* clipWindow, QWidget* window);
    // Enforces the minimum size on the side the handle moves.
    virtual void AdjustRect(int handle, Rect* rect);
    virtual void OnChangedRect(const Rect& /*old*/) {}

private:
    bool applyPoint(QPoint point, bool buttonUp);

    int m_trackHandle = hitNothing;
    Rect m_trackStart;
    int m_xDiff = 0, m_yDiff = 0;
    int m_trackWidth = 0, m_trackHeight = 0;
    bool m_trackMoved = false;
    QWidget* m_trackWindow = nullptr;
    QWidget* m_trackClip = nullptr;
};

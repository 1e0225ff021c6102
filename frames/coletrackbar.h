#pragma once
// The resize bar of a report edited in place: a hatched border round the
// in-place frame, drawn by the rectangle tracker. Dragging a handle sizes
// the frame; on release the bar asks its owner for the new place (a
// size-child request). Esc or the right button during the drag restores
// the starting rectangle and asks nothing.

#include <QWidget>
#include <functional>

#include "view/ctracker.h"

namespace qor::frames {

class COleTrackBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBarId = 59395;

    explicit COleTrackBar(QWidget* parent = nullptr);

    // Puts the bar round a rectangle of its parent (the frame it sizes):
    // the border lies outside it, one handle wide.
    void Surround(const QRect& inner);
    // The rectangle inside the border, in the parent's coordinates.
    QRect Inner() const;
    int HandleSize() const { return m_tracker.m_nHandleSize; }
    bool IsTracking() const { return m_tracker.IsTracking(); }

    // Fits a proposed rectangle (parent coordinates) to what the frame can
    // show; the handle says which sides the drag moves, so the others stay.
    using Snap = std::function<QRect(const QRect& proposed, int handle)>;
    void SetSnap(Snap snap) { m_snap = std::move(snap); }

signals:
    // The frame's new rectangle in the parent's coordinates.
    void sizeChildRequested(int barId, const QRect& rect);
    // A drag ended, done or cancelled: the keyboard, which the bar took for
    // Esc during the drag, can go back to the sheet.
    void trackEnded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void cancel();
    void snap();

    CRectTrackerEx m_tracker;
    QRect m_start;      // the frame's rectangle when the drag began
    int m_handle = -1;  // the handle being dragged
    Snap m_snap;
};

}  // namespace qor::frames

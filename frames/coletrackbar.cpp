#include "frames/coletrackbar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace qor::frames {

namespace {

using Rect = CRectTrackerEx::Rect;

QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

Rect normalized(Rect r) {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    return r;
}

}  // namespace

COleTrackBar::COleTrackBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("c%1").arg(kBarId));
    m_tracker.m_nStyle =
        CRectTrackerEx::solidLine | CRectTrackerEx::hatchedBorder | CRectTrackerEx::resizeOutside;
    m_tracker.m_pOwnerView = this;
    // Esc reaches the bar while it drags.
    setFocusPolicy(Qt::ClickFocus);
    setMouseTracking(true);
}

void COleTrackBar::Surround(const QRect& inner) {
    const int h = HandleSize();
    setGeometry(inner.adjusted(-h, -h, h, h));
    m_tracker.m_rect = Rect::fromPosSize(QPoint(h, h), inner.size());
    update();
}

QRect COleTrackBar::Inner() const {
    const QRect r = toQRect(normalized(m_tracker.m_rect));
    return r.translated(pos());
}

void COleTrackBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (IsTracking()) return;
    const int h = HandleSize();
    m_tracker.m_rect = Rect::fromPosSize(
        QPoint(h, h), QSize(std::max(0, width() - 2 * h), std::max(0, height() - 2 * h)));
}

void COleTrackBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The hatch lines up with the hatch of any other window.
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    painter.setBrushOrigin(-(origin.x() % 8), -(origin.y() % 8));
    m_tracker.Draw(&painter);
}

void COleTrackBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        if (IsTracking()) cancel();
        return;
    }
    // Another window holding the mouse keeps it.
    if (QWidget* grabber = QWidget::mouseGrabber(); grabber && grabber != this) return;
    const QRect start = Inner();
    const QPoint global = event->globalPosition().toPoint();
    // The drag may reach anywhere in the container's window, and no
    // further: the bar spans it while the drag lasts.
    if (QWidget* container = parentWidget()) {
        setGeometry(container->rect());
        m_tracker.m_rect = Rect::fromPosSize(start.topLeft(), start.size());
    }
    const QPoint at = mapFromGlobal(global);
    m_handle = m_tracker.HitTestHandles(at);
    if (!m_tracker.BeginTrack(at, false)) {
        Surround(start);
        return;
    }
    m_start = start;
    setFocus(Qt::MouseFocusReason);
    update();
}

void COleTrackBar::mouseMoveEvent(QMouseEvent* event) {
    if (!IsTracking()) {
        m_tracker.SetCursor(this, event->position().toPoint());
        return;
    }
    const QPoint p = event->position().toPoint();
    if (m_tracker.TrackTo(QPoint(std::clamp(p.x(), 0, width()), std::clamp(p.y(), 0, height())))) {
        snap();
        update();
    }
}

void COleTrackBar::snap() {
    if (!m_snap) return;
    // While dragging, the bar spans its parent: its coordinates are the
    // parent's.
    const QRect fitted = m_snap(toQRect(normalized(m_tracker.m_rect)), m_handle);
    m_tracker.m_rect = Rect::fromPosSize(fitted.topLeft(), fitted.size());
}

void COleTrackBar::mouseReleaseEvent(QMouseEvent* event) {
    if (!IsTracking() || event->button() != Qt::LeftButton) return;
    const QPoint p = event->position().toPoint();
    const bool changed =
        m_tracker.EndTrack(QPoint(std::clamp(p.x(), 0, width()), std::clamp(p.y(), 0, height())));
    if (changed) snap();
    const QRect proposed = toQRect(normalized(m_tracker.m_rect)).translated(pos());
    // The bar goes back round the frame; the frame moves it when the
    // container agrees to the new place.
    Surround(m_start);
    emit trackEnded();
    if (changed && proposed != m_start) emit sizeChildRequested(kBarId, proposed);
}

void COleTrackBar::keyPressEvent(QKeyEvent* event) {
    if (IsTracking() && event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

void COleTrackBar::cancel() {
    m_tracker.CancelTrack();
    Surround(m_start);
    emit trackEnded();
}

}  // namespace qor::frames

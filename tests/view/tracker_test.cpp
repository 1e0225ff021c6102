// The item tracker's geometry and its sizing loop, driven by hand and
// through a widget with synthetic mouse and key events.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include "view/ctracker.h"

namespace {

using Rect = qor::items::Rect;

CRectTrackerEx sized(Rect r,
                     uint32_t style = CRectTrackerEx::solidLine | CRectTrackerEx::resizeInside) {
    CRectTrackerEx t;
    t.m_rect = r;
    t.m_nStyle = style;
    return t;
}

QPoint centre(const Rect& r) { return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

TEST(TrackerGeometry, HandleMaskHidesSideHandlesOnSmallItems) {
    EXPECT_EQ(sized({10, 10, 30, 30}).GetHandleMask(), 0x0Fu);
    EXPECT_EQ(sized({10, 10, 110, 30}).GetHandleMask(), 0x5Fu);
    EXPECT_EQ(sized({10, 10, 30, 110}).GetHandleMask(), 0xAFu);
    EXPECT_EQ(sized({110, 110, 10, 10}).GetHandleMask(), 0xFFu);  // inverted counts by size
}

TEST(TrackerGeometry, HandleSizeShrinksOnlyForInsideHandles) {
    EXPECT_EQ(sized({0, 0, 100, 100}).GetHandleSize(), 7);
    EXPECT_EQ(sized({0, 0, 100, 9}).GetHandleSize(), 4);
    EXPECT_EQ(sized({0, 0, 100, 9}, CRectTrackerEx::resizeOutside).GetHandleSize(), 7);
}

TEST(TrackerGeometry, EveryHandleAnswersWithItsOwnCode) {
    const CRectTrackerEx t = sized({100, 100, 200, 180});
    Rect h;
    t.GetHandleRect(CRectTrackerEx::hitTopLeft, &h);
    EXPECT_EQ(h, (Rect{99, 99, 106, 106}));  // the frame lies one pixel outside
    t.GetHandleRect(CRectTrackerEx::hitBottomRight, &h);
    EXPECT_EQ(h, (Rect{194, 174, 201, 181}));
    t.GetHandleRect(CRectTrackerEx::hitTop, &h);
    EXPECT_EQ(h, (Rect{146, 99, 153, 106}));
    for (int i = 0; i < 8; ++i) {
        t.GetHandleRect(i, &h);
        EXPECT_EQ(t.HitTest(centre(h)), i) << "handle " << i;
    }
    EXPECT_EQ(t.HitTest({150, 140}), CRectTrackerEx::hitMiddle);
    EXPECT_EQ(t.HitTest({99, 120}), CRectTrackerEx::hitMiddle);  // on the frame
    EXPECT_EQ(t.HitTest({99, 140}), CRectTrackerEx::hitLeft);
    EXPECT_EQ(t.HitTest({97, 120}), CRectTrackerEx::hitNothing);
    EXPECT_EQ(t.HitTest({300, 300}), CRectTrackerEx::hitNothing);
}

TEST(TrackerGeometry, HatchedBorderTakesTheBandRoundTheFrame) {
    CRectTrackerEx t =
        sized({100, 100, 200, 180}, CRectTrackerEx::hatchedBorder | CRectTrackerEx::resizeOutside);
    Rect tr;
    t.GetTrueRect(&tr);
    EXPECT_EQ(tr, (Rect{94, 94, 206, 186}));
    // Half a handle outside the true rectangle still grabs.
    EXPECT_EQ(t.HitTestHandles({92, 140}), CRectTrackerEx::hitMiddle);
    EXPECT_EQ(t.CursorHit({92, 140}), CRectTrackerEx::hitMoveBetween);
    EXPECT_EQ(t.HitTestHandles({90, 140}), CRectTrackerEx::hitNothing);
    // Without resize styles only the true rectangle counts.
    t.m_nStyle = CRectTrackerEx::solidLine;
    EXPECT_EQ(t.HitTest({99, 99}), CRectTrackerEx::hitMiddle);
    EXPECT_EQ(t.HitTest({98, 99}), CRectTrackerEx::hitNothing);
}

TEST(TrackerGeometry, InvertedRectangleMirrorsHandles) {
    EXPECT_EQ(sized({200, 100, 100, 180}).NormalizeHit(0), 1);
    EXPECT_EQ(sized({200, 100, 100, 180}).NormalizeHit(5), 7);
    EXPECT_EQ(sized({100, 180, 200, 100}).NormalizeHit(0), 3);
    EXPECT_EQ(sized({200, 180, 100, 100}).NormalizeHit(0), 2);
    EXPECT_EQ(sized({200, 180, 100, 100}).NormalizeHit(8), 8);
    // The handle drawn at the top-left of an inverted rectangle moves its
    // right and bottom, which lie there.
    const CRectTrackerEx t = sized({200, 180, 100, 100});
    EXPECT_EQ(t.HitTest({100, 100}), CRectTrackerEx::hitBottomRight);
}

TEST(TrackerTracking, SizingKeepsTheMinimumAndInvertsOnlyWhenAllowed) {
    CRectTrackerEx t = sized({100, 100, 200, 180});
    ASSERT_TRUE(t.BeginTrack({200, 180}, false));
    EXPECT_TRUE(t.TrackTo({250, 230}));
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 250, 230}));
    t.TrackTo({105, 50});  // past the far edge: held at 14 x 14
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 114, 114}));
    EXPECT_TRUE(t.EndTrack({105, 50}));
    EXPECT_FALSE(t.IsTracking());

    t = sized({100, 100, 200, 180});
    ASSERT_TRUE(t.BeginTrack({200, 180}, true));
    t.TrackTo({50, 60});
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 50, 60}));
    t.TrackTo({95, 95});  // too small the other way round keeps its sign
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 86, 86}));
    t.CancelTrack();
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 200, 180}));
}

TEST(TrackerTracking, SideHandleMovesOneCoordinateOnly) {
    CRectTrackerEx t = sized({100, 100, 200, 180});
    ASSERT_TRUE(t.BeginTrack({102, 140}, false));  // left handle, 2 px inside
    t.TrackTo({62, 10});
    EXPECT_EQ(t.m_rect, (Rect{60, 100, 200, 180}));
}

TEST(TrackerTracking, SizeSnapsToTheLimit) {
    CRectTrackerEx t = sized({100, 100, 200, 180});
    ASSERT_TRUE(t.BeginTrack({200, 180}, false));
    t.TrackTo({1800, 1900});
    EXPECT_EQ(t.m_rect.width(), 1500);
    EXPECT_EQ(t.m_rect.height(), 1500);
    t.TrackTo({1590, 500});  // 1490 + two handles is past the limit as well
    EXPECT_EQ(t.m_rect.width(), 1500);
}

TEST(TrackerTracking, MovingKeepsTheSizeAndAClickMovesNothing) {
    CRectTrackerEx t = sized({100, 100, 200, 180});
    ASSERT_TRUE(t.BeginTrack({150, 140}, false));
    t.TrackTo({160, 150});
    EXPECT_EQ(t.m_rect, (Rect{110, 110, 210, 190}));
    EXPECT_TRUE(t.EndTrack({160, 150}));

    t = sized({100, 100, 200, 180});
    ASSERT_TRUE(t.BeginTrack({150, 140}, false));
    EXPECT_FALSE(t.EndTrack({170, 170}));  // released elsewhere without a drag
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 200, 180}));
    EXPECT_FALSE(t.BeginTrack({400, 400}, false));
}

void send(QWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton b) {
    QMouseEvent ev(type, QPointF(p), QPointF(w->mapToGlobal(p)), b,
                   type == QEvent::MouseButtonRelease ? Qt::NoButton : b, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

TEST(TrackerTracking, WidgetLoopAppliesADragAndEscapeRestores) {
    QWidget w;
    w.resize(400, 400);
    CRectTrackerEx t = sized({100, 100, 200, 180});
    QTimer::singleShot(0, &w, [&] {
        send(&w, QEvent::MouseMove, {240, 220}, Qt::LeftButton);
        send(&w, QEvent::MouseButtonRelease, {240, 220}, Qt::LeftButton);
    });
    EXPECT_TRUE(t.Track(&w, {200, 180}));
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 240, 220}));

    QTimer::singleShot(0, &w, [&] {
        send(&w, QEvent::MouseMove, {300, 300}, Qt::LeftButton);
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&w, &esc);
    });
    EXPECT_FALSE(t.Track(&w, {240, 220}));
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 240, 220}));

    QTimer::singleShot(0, &w, [&] {
        send(&w, QEvent::MouseMove, {300, 300}, Qt::LeftButton);
        send(&w, QEvent::MouseButtonPress, {300, 300}, Qt::RightButton);
    });
    EXPECT_FALSE(t.Track(&w, {240, 220}));
    EXPECT_EQ(t.m_rect, (Rect{100, 100, 240, 220}));
}

TEST(TrackerDrawing, HandlesAreWhiteSquaresWithABlackOutline) {
    QImage img(300, 300, QImage::Format_RGB32);
    img.fill(Qt::gray);
    {
        QPainter p(&img);
        sized({100, 100, 200, 180}).Draw(&p);
    }
    EXPECT_EQ(img.pixel(99, 99), qRgb(0, 0, 0));             // outline corner
    EXPECT_EQ(img.pixel(102, 102), qRgb(255, 255, 255));     // inside the handle
    EXPECT_EQ(img.pixel(149, 99), qRgb(0, 0, 0));            // top middle handle outline
    EXPECT_EQ(img.pixel(150, 140), QColor(Qt::gray).rgb());  // the item shows through
}

}  // namespace

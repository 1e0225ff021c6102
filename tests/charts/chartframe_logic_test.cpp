// The chart frame's arithmetic: pages a printed chart takes, where each
// page's piece lies, and the chart window's tracker limits.

#include <gtest/gtest.h>

#include <cmath>

#include <QImage>
#include <QPainter>
#include <QPicture>

#include "charts/cgraphitem.h"
#include "charts/chartframe_logic.h"

using namespace qor::charts;

TEST(ChartFramePrint, WholePagesAcrossAndDown) {
    // At scale 1.4 a pixel is 20 twips. A page of 10000 x 14000 twips.
    const QSize page(10000, 14000);
    // One and a half pages wide: two across, one down.
    ChartPrintPlan p = PlanChartPrint({750, 300}, 1.4, page);
    ASSERT_TRUE(p.paperOk);
    EXPECT_EQ(p.chartTwips, QSize(15000, 6000));
    EXPECT_EQ(p.across, 2);
    EXPECT_EQ(p.down, 1);
    // Exactly one page wide and high: one page, never a blank second one.
    p = PlanChartPrint({500, 700}, 1.4, page);
    EXPECT_EQ(p.Pages(), 1);
    // One twip more needs the next page.
    p = PlanChartPrint({501, 701}, 1.4, page);
    EXPECT_EQ(p.across, 2);
    EXPECT_EQ(p.down, 2);
    // A rectangle running backwards counts by its size; an empty chart
    // still prints its one page.
    p = PlanChartPrint({-750, -300}, 1.4, page);
    EXPECT_EQ(p.Pages(), 2);
    EXPECT_EQ(PlanChartPrint({0, 0}, 1.4, page).Pages(), 1);
    // A scale that is no number gives no size rather than a huge one.
    EXPECT_EQ(PlanChartPrint({100, 100}, std::nan(""), page).Pages(), 1);
}

TEST(ChartFramePrint, PaperTooSmallAndPageOrder) {
    EXPECT_FALSE(PlanChartPrint({100, 100}, 1.4, {1199, 5000}).paperOk);
    EXPECT_FALSE(PlanChartPrint({100, 100}, 1.4, {5000, 599}).paperOk);
    EXPECT_EQ(PlanChartPrint({100, 100}, 1.4, {1199, 5000}).Pages(), 0);
    EXPECT_TRUE(PlanChartPrint({100, 100}, 1.4, {1200, 600}).paperOk);

    // Four across, two down: left to right, then the next row.
    const ChartPrintPlan p = PlanChartPrint({1200, 500}, 1.0, {5000, 4000});
    ASSERT_EQ(p.across, 4);
    ASSERT_EQ(p.down, 2);
    EXPECT_EQ(ChartPageOrigin(p, 1), QPoint(0, 0));
    EXPECT_EQ(ChartPageOrigin(p, 2), QPoint(-5000, 0));
    EXPECT_EQ(ChartPageOrigin(p, 4), QPoint(-15000, 0));
    EXPECT_EQ(ChartPageOrigin(p, 5), QPoint(0, -4000));
    EXPECT_EQ(ChartPageOrigin(p, 8), QPoint(-15000, -4000));
}

TEST(ChartWindowTracker, HandlesAndSizeLimits) {
    const QSize w(200, 100);
    EXPECT_EQ(ChartWindowHit(w, 10, {2, 2}), kWindowHitTopLeft);
    EXPECT_EQ(ChartWindowHit(w, 10, {197, 98}), kWindowHitBottomRight);
    EXPECT_EQ(ChartWindowHit(w, 10, {100, 3}), kWindowHitTop);
    EXPECT_EQ(ChartWindowHit(w, 10, {3, 50}), kWindowHitLeft);
    // The edge between handles and the inside move the window.
    EXPECT_EQ(ChartWindowHit(w, 10, {40, 3}), kWindowHitMiddle);
    EXPECT_EQ(ChartWindowHit(w, 10, {100, 50}), kWindowHitMiddle);
    EXPECT_EQ(ChartWindowHit(w, 10, {200, 50}), kWindowHitNone);

    const QRect start(100, 120, 300, 200);
    EXPECT_EQ(TrackChartWindow(start, kWindowHitMiddle, {-150, 30}), QRect(-50, 150, 300, 200));
    EXPECT_EQ(TrackChartWindow(start, kWindowHitBottomRight, {40, -20}), QRect(100, 120, 340, 180));
    // Never below 50: the moving edge stops, the opposite one stays.
    EXPECT_EQ(TrackChartWindow(start, kWindowHitBottomRight, {-500, -500}), QRect(100, 120, 50, 50));
    EXPECT_EQ(TrackChartWindow(start, kWindowHitTopLeft, {500, 500}), QRect(350, 270, 50, 50));
    EXPECT_EQ(TrackChartWindow(start, kWindowHitLeft, {500, 500}), QRect(350, 120, 50, 200));
    // Never above 10000.
    EXPECT_EQ(TrackChartWindow(start, kWindowHitRight, {20000, 0}).width(), 10000);
    EXPECT_EQ(TrackChartWindow(start, kWindowHitTop, {0, -20000}), QRect(100, 320 - 10000, 300, 10000));
}

// A chart's picture lands in its rectangle whatever the device's
// resolution: a printer's 1200 dpi must not blow it up off the page.
TEST(ChartPicture, PlaysIntoItsRectangleAtAnyResolution) {
    QPicture picture;
    {
        QPainter p(&picture);
        p.fillRect(QRect(0, 0, 100, 100), Qt::red);
    }
    CGraphItem chart;
    chart.SetPicture(std::make_unique<QPicture>(picture));
    for (int dpi : {96, 300, 1200}) {
        QImage image(200, 200, QImage::Format_RGB32);
        image.setDotsPerMeterX(int(dpi / 0.0254));
        image.setDotsPerMeterY(int(dpi / 0.0254));
        image.fill(Qt::white);
        {
            QPainter p(&image);
            chart.Draw(&p, {20, 20, 70, 70});
        }
        EXPECT_EQ(image.pixelColor(45, 45), QColor(Qt::red)) << dpi;
        EXPECT_EQ(image.pixelColor(80, 80), QColor(Qt::white)) << dpi;
        EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::white)) << dpi;
    }
}

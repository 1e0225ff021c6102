// Charts on the sheet: the picture each chart item shows, drawn from the
// cells of its page and again only when something it shows changed, on
// screen and on paper.

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPicture>

#include "charts/cgraphitem.h"
#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "tests/document/doc_fixture.h"
#include "view/cqorsview.h"

using namespace doctest;
using namespace qor;

// A chart's picture shows the cells of the item's own page, is drawn again
// only when something it shows changed, and a damaged area draws nothing.
TEST(ChartPictures, FollowTheirPageAndTheCells) {
    UiRecorder ui;
    auto doc = newDoc(3, 3);
    ASSERT_TRUE(doc->EnterDataState());
    CReportHandle* h = doc->GetReport();
    ASSERT_EQ(h->AppendRowColPage(2, 2), 0);
    ASSERT_GE(h->GetPageCount(), 3);
    for (int p = 1; p <= 3; ++p)
        for (int r = 2; r <= 3; ++r)
            for (int c = 2; c <= 3; ++c)
                ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(p * 100 + r * 10 + c), r, c, p), 0);
    std::shared_ptr<CComItem> item = doc->Items().CreateComItem(0);
    ASSERT_TRUE(item);
    auto* chart = static_cast<CGraphItem*>(item.get());
    items::ChartDesc desc = items::ChartDesc::MakeDefault(160, 120, 1);
    desc.SetSourceArea(CellArea::area(1, 1, 3, 3));
    desc.SetSourcePage(1);  // defined on page 1, shown on page 2
    chart->SetChartDesc(desc);
    chart->SetSize(160, 120);
    chart->SetPage(2);

    auto drawn = [](const QPicture& picture) {
        QImage image(160, 120, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter p(&image);
        p.drawPicture(0, 0, picture);
        return image;
    };
    auto expected = [&](int page) {
        items::ChartDesc d = desc;
        d.SetSourcePage(uint32_t(page));
        qor::charts::ReportChartSource source(*h);
        qor::charts::ChartData data;
        EXPECT_TRUE(qor::charts::ReadChartData(d, source, page, 1, &data));
        return drawn(*qor::charts::RenderChartPicture(&d, data, QSize(160, 120)));
    };

    ASSERT_TRUE(doc->Items().RefreshChartPicture(chart));
    ASSERT_TRUE(chart->GetPicture());
    EXPECT_EQ(chart->GetPictureSource().page, 2);
    EXPECT_EQ(drawn(*chart->GetPicture()), expected(2));
    EXPECT_NE(drawn(*chart->GetPicture()), expected(1));
    EXPECT_EQ(chart->GetChartDesc(), desc);  // painting stores nothing

    // Nothing changed: the same picture. A cell changed: a new one.
    const QPicture* first = chart->GetPicture();
    ASSERT_TRUE(doc->Items().RefreshChartPicture(chart));
    EXPECT_EQ(chart->GetPicture(), first);
    ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(5), 2, 2, 2), 0);
    doc->UpdateAllViews(CQorsDoc::kHintCells);
    ASSERT_TRUE(doc->Items().RefreshChartPicture(chart));
    EXPECT_NE(chart->GetPicture(), first);
    EXPECT_EQ(drawn(*chart->GetPicture()), expected(2));

    // A format item shows the page on screen.
    chart->SetPage(0);
    ASSERT_TRUE(doc->SetCurrentPage(3));
    ASSERT_TRUE(doc->Items().RefreshChartPicture(chart));
    EXPECT_EQ(chart->GetPictureSource().page, 3);
    EXPECT_EQ(drawn(*chart->GetPicture()), expected(3));

    // A stored area far beyond the table, or beyond the chart's cell limit,
    // draws nothing and says nothing during a paint.
    ui.messages.clear();
    items::ChartDesc huge = desc;
    huge.SetSourceArea(CellArea::area(1, 1, 300, 300));
    chart->SetChartDesc(huge);
    EXPECT_FALSE(doc->Items().RefreshChartPicture(chart, true));
    EXPECT_FALSE(chart->GetPicture());
    EXPECT_TRUE(ui.messages.isEmpty());
}

// qorview's sheet shows the chart itself, not an empty frame.
TEST(ChartPictures, TheViewPaintsChartsFromTheirCells) {
    UiRecorder ui;
    auto doc = newDoc(3, 3);
    ASSERT_TRUE(doc->EnterDataState());
    CReportHandle* h = doc->GetReport();
    for (int r = 2; r <= 3; ++r)
        for (int c = 2; c <= 3; ++c) ASSERT_EQ(h->SetCellValue(CellValue::ofNumber(50), r, c, 1), 0);
    std::shared_ptr<CComItem> item = doc->Items().CreateComItem(0);
    ASSERT_TRUE(item);
    auto* chart = static_cast<CGraphItem*>(item.get());
    items::ChartDesc desc = items::ChartDesc::MakeDefault(200, 160, 1);
    desc.SetSourceArea(CellArea::area(1, 1, 3, 3));
    chart->SetChartDesc(desc);
    chart->SetRect(items::Rect{20, 20, 220, 180});
    CQorsView view(doc.get());
    view.resize(500, 400);
    view.OnInitialUpdate();
    const QImage image = view.grab().toImage();
    // Kept among the artefacts for a person to look at.
    image.save(qortest::artifactPath(QStringLiteral("chart-on-sheet.png")));
    EXPECT_TRUE(chart->GetPicture());
    // The first category's bar is drawn in the first palette colour.
    int red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == charts::PaletteColor(0)) ++red;
    EXPECT_GT(red, 50);
}

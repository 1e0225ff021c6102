// A sample report as a person sees it: a bar, a pie and a line chart over
// the same figures and an embedded picture, rendered offscreen into PNGs
// among the test artefacts (the page, and the bar chart in the chart frame),
// made anew each run. The spot checks read the pictures back: the palette's
// colours where the charts are, and bars as tall as their figures.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPrinter>

#include "charts/cgraphitem.h"
#include "chartui/cpicframe.h"
#include "chartui/cpicwnd.h"
#include "engine/creporthandle.h"
#include "frame_fixture.h"
#include "resources/commandids.h"
#include "tests/common/testsupport.h"
#include "view/print_driver.h"

using namespace qor::cmd_ids;
using namespace qor::frames;
using frametest::FrameFixture;
using qor::items::ChartDesc;
using qor::items::Rect;

namespace {

// The height of the tallest run of pixels of this colour inside the box;
// 0 when there is none.
int colourHeight(const QImage& image, const QRect& box, const QColor& colour) {
    int top = -1, bottom = -1;
    const QRect r = box.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour) {
                if (top < 0) top = y;
                bottom = y;
                break;
            }
    return top < 0 ? 0 : bottom - top + 1;
}

int countNear(const QImage& image, const QRect& box, const QColor& colour, int tolerance) {
    int n = 0;
    const QRect r = box.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance &&
                std::abs(c.green() - colour.green()) <= tolerance &&
                std::abs(c.blue() - colour.blue()) <= tolerance)
                ++n;
        }
    return n;
}

}  // namespace

TEST_F(FrameFixture, SampleReportRendersItsChartsAndPicture) {
    const QString dir = qortest::artifactPath(QStringLiteral("sample-report"));
    QDir(dir).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(dir));
    frame->resize(1280, 1000);
    CChildFrame* child = newReport();
    CQorsDoc* doc = child->GetDocument();
    CReportHandle* report = doc->GetReport();
    // B2:E3: the months across as labels of the format, one line of figures
    // 10, 20, 40.
    const QStringList months{QStringLiteral("一月"), QStringLiteral("二月"), QStringLiteral("三月")};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(report->SetCellValue({kCellLabel, 0, months.at(i)}, 2, 3 + i), 0);
    ASSERT_EQ(report->SetCellValue({kCellLabel, 0, QStringLiteral("收入")}, 3, 2), 0);
    ASSERT_TRUE(child->EnterDataState());
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(report->SetCellValue(CellValue::ofNumber(10 << i), 3, 3 + i, 1), 0);

    auto addChart = [&](uint32_t type, Rect rect) {
        std::shared_ptr<CComItem> item = doc->Items().CreateComItem(0);
        auto* chart = dynamic_cast<CGraphItem*>(item.get());
        EXPECT_TRUE(chart);
        ChartDesc desc = ChartDesc::MakeDefault(rect.width(), rect.height(), 1);
        desc.SetSourceArea(CellArea::area(2, 2, 3, 5));
        desc.SetGroupByRows(true);
        desc.SetChartType(type);
        chart->SetChartDesc(desc);
        chart->SetRect(rect);
        chart->SetPage(1);
        return chart;
    };
    CGraphItem* bar = addChart(0, {10, 150, 330, 390});
    CGraphItem* pie = addChart(7, {350, 150, 590, 390});
    CGraphItem* line = addChart(4, {610, 150, 930, 390});
    QImage logo(60, 40, QImage::Format_RGB32);
    logo.fill(QColor(0xC0, 0x20, 0xA0));
    ASSERT_TRUE(logo.save(dir + "/logo.png"));
    std::shared_ptr<CComItem> object =
        doc->Items().InsertObjectFromFile(dir + "/logo.png", QPoint(950, 150), false, false);
    ASSERT_TRUE(object);
    doc->UpdateAllViews(CQorsDoc::kHintItems);
    QApplication::processEvents();

    CQorsView* view = child->GetActiveView();
    const QImage page = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(page.save(dir + "/page.png"));
    auto clientOf = [view](const CComItem* item) {
        Rect r = item->GetRect();
        view->Geometry().DocToClient(r);
        return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    };
    // The bar chart: one bar per month in the palette's first colours, as
    // tall as its figure.
    // The plot only: the legend's squares carry the same colours.
    auto plotOf = [](const QRect& chart) {
        return QRect(chart.left(), chart.top(), chart.width() * 13 / 16, chart.height());
    };
    const QRect barBox = plotOf(clientOf(bar));
    ASSERT_TRUE(page.rect().contains(barBox)) << "the view is too small for the sample";
    const int h10 = colourHeight(page, barBox, QColor(255, 0, 0));
    const int h20 = colourHeight(page, barBox, QColor(0, 255, 0));
    const int h40 = colourHeight(page, barBox, QColor(0, 0, 255));
    ASSERT_GT(h10, 5);
    EXPECT_NEAR(double(h20) / h10, 2.0, 0.25);
    EXPECT_NEAR(double(h40) / h10, 4.0, 0.4);
    // The pie's first slice is solid red; the line is drawn in red.
    EXPECT_GT(countNear(page, clientOf(pie), QColor(255, 0, 0), 0), 200);
    EXPECT_GT(countNear(page, clientOf(line), QColor(255, 0, 0), 60), 40);
    // The embedded picture shows its own colour.
    const QRect logoBox = clientOf(object.get());
    EXPECT_EQ(page.pixelColor(logoBox.center()), QColor(0xC0, 0x20, 0xA0));

    // Printed with the report: the charts land on the page at their size
    // (a printer's resolution once blew them up off the paper).
    if (qortest::needProgram("pdftoppm")) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir + "/page.pdf");
        qor::view::PrintJobSettings settings;
        settings.viewScale = view->Display().CurrentViewState().scale;
        ASSERT_TRUE(qor::view::PrintToPrinter(*doc, printer, settings));
        ASSERT_EQ(qortest::run("pdftoppm", {"-r", "50", "-png", "-singlefile", dir + "/page.pdf",
                                            dir + "/printed"})
                      .exitCode,
                  0);
        const QImage printed(dir + "/printed.png");
        ASSERT_FALSE(printed.isNull());
        EXPECT_GT(countNear(printed, printed.rect(), QColor(0, 0, 255), 40), 100);
        EXPECT_GT(countNear(printed, printed.rect(), QColor(0, 255, 0), 40), 50);
    }

    // The bar chart in the chart frame: the same proportions at its own size.
    view->Items().SetSelection(bar);
    ASSERT_TRUE(frame->Router().Execute(kCmdChartWindow));
    QApplication::processEvents();
    CPicFrame* chartFrame = frame->ActiveChartFrame();
    ASSERT_TRUE(chartFrame);
    CPicWnd* wnd = chartFrame->View()->ChartWindow();
    const QImage inFrame = wnd->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(inFrame.save(dir + "/chart-frame.png"));
    ASSERT_TRUE(chartFrame->grab().save(dir + "/chart-frame-window.png"));
    const int f10 = colourHeight(inFrame, plotOf(inFrame.rect()), QColor(255, 0, 0));
    const int f40 = colourHeight(inFrame, plotOf(inFrame.rect()), QColor(0, 0, 255));
    ASSERT_GT(f10, 5);
    EXPECT_NEAR(double(f40) / f10, 4.0, 0.4);
    (void)line;
}

// Charts: a chart of 1,000 cells over 12 pages drawn into a picture and
// played back, against the same bars filled straight into the same image
// (aim: at most three times as long); and a screen of the sheet with 20
// cached charts on it, against the same screen without them (aim: at most
// one and a half times as long).
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <memory>

#include "charts/cgraphitem.h"
#include "charts/chart_data.h"
#include "charts/chart_renderer.h"
#include "charts/chartdesc.h"
#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "view/cellpainter.h"
#include "print/sheetgeometry.h"

namespace {

void ensureGuiApp() {
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qorbench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

constexpr int kRows = 11;  // a label row and ten series
constexpr int kCols = 91;  // a label column and ninety categories: 1,001 cells
constexpr int kPages = 12;
const QSize kChartSize(800, 500);

// A grouped bar chart over every series and category, twelve pages of it.
struct BigChart {
    qor::items::ChartDesc desc = qor::items::ChartDesc::MakeDefault(800, 500, 1);
    qor::charts::ChartData data;
    BigChart() {
        ensureGuiApp();
        desc.SetSourceArea(CellArea::area(1, 1, kRows, kCols));
        desc.SetGroupByRows(true);
        desc.SetWholeReport(true);
        desc.SetChartType(3);
        data.rows = kRows;
        data.cols = kCols;
        data.pages = kPages;
        data.cells.resize(size_t(kPages * kRows * kCols));
        for (int p = 0; p < kPages; ++p) {
            data.pageLabels << QStringLiteral("%1月").arg(p + 1);
            for (int r = 0; r < kRows; ++r)
                for (int c = 0; c < kCols; ++c) {
                    qor::charts::ChartCell& cell = data.cells[size_t((p * kRows + r) * kCols + c)];
                    if (r == 0 || c == 0) {
                        cell.kind = 2;
                        cell.text = QStringLiteral("项%1").arg(r + c);
                    } else {
                        cell.kind = 1;
                        cell.value = (r * 37 + c * 11 + p * 5) % 100 + 1;
                    }
                }
        }
    }
};

void BM_ChartPictureRenderAndReplay(benchmark::State& state) {
    BigChart chart;
    QImage image(kChartSize, QImage::Format_RGB32);
    for (auto _ : state) {
        qor::items::ChartDesc work = chart.desc;
        std::unique_ptr<QPicture> picture =
            qor::charts::RenderChartPicture(&work, chart.data, kChartSize);
        image.fill(Qt::white);
        QPainter p(&image);
        p.drawPicture(0, 0, *picture);
    }
}
BENCHMARK(BM_ChartPictureRenderAndReplay)->Unit(benchmark::kMillisecond);

// The floor: the same number of bars filled into the same image.
void BM_ChartPlainFillRects(benchmark::State& state) {
    BigChart chart;
    QImage image(kChartSize, QImage::Format_RGB32);
    const int bars = (kRows - 1) * (kCols - 1);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter p(&image);
        const double w = 600.0 / bars;
        for (int i = 0; i < bars; ++i) {
            const double v = chart.data.cells[size_t((i / (kCols - 1) + 1) * kCols + i % (kCols - 1) + 1)].value;
            p.fillRect(QRectF(100 + i * w, 450 - v * 3.5, w, v * 3.5), QColor::fromHsv(i * 36 % 360, 255, 255));
        }
    }
}
BENCHMARK(BM_ChartPlainFillRects)->Unit(benchmark::kMillisecond);

// A screen of a report page, with or without 20 charts whose pictures are
// already made.
struct ChartPage {
    CQorsDoc doc;
    qor::view::DocSheetSource source{&doc};
    qor::view::SheetGeometry geo;
    bool ok = false;
    explicit ChartPage(int charts) {
        ensureGuiApp();
        if (!doc.Files().OnNewDocument() || !doc.ResizeTable(200, 40) || !doc.EnterDataState()) return;
        CReportHandle* report = doc.GetReport();
        for (int r = 1; r <= 60; ++r)
            for (int c = 1; c <= 20; ++c) report->SetCellValue(CellValue::ofNumber(r * 3 + c), r, c);
        for (int i = 0; i < charts; ++i) {
            std::shared_ptr<CComItem> item = doc.Items().CreateComItem(0);
            auto* chart = dynamic_cast<CGraphItem*>(item.get());
            if (!chart) return;
            qor::items::ChartDesc desc = qor::items::ChartDesc::MakeDefault(240, 160, i + 1);
            desc.SetSourceArea(CellArea::area(1, 1, 5, 6));
            desc.SetGroupByRows(true);
            desc.SetChartType(uint32_t(i % 10));
            chart->SetChartDesc(desc);
            const int x = 20 + (i % 5) * 250, y = 20 + (i / 5) * 170;
            chart->SetRect({x, y, x + 240, y + 160});
            chart->SetPage(1);
            doc.Items().RefreshChartPicture(chart, true);
        }
        geo.SetSource(&source);
        geo.SetScale(qor::view::kDefaultViewScale);
        geo.Refresh();
        const qor::view::ViewState vs = qor::view::DefaultViewState();
        geo.SetHeaders(vs.headerWidth, vs.headerHeight);
        geo.SetFirstCell(0, 0);
        ok = true;
    }
};

void paintPage(benchmark::State& state, int charts) {
    ChartPage page(charts);
    if (!page.ok) {
        state.SkipWithError("could not make the page");
        return;
    }
    QImage image(1920, 1080, QImage::Format_RGB32);
    qor::view::PaintRequest req;
    req.doc = &page.doc;
    req.geometry = &page.geo;
    req.clientSize = image.size();
    req.mode = qor::view::PaintMode::kScreen;
    // The pictures are current: painting only plays them.
    req.refreshItem = [&page](CComItem* item) { page.doc.Items().RefreshChartPicture(item, false); };
    for (auto _ : state) {
        QPainter painter(&image);
        const qor::view::PaintResult r = qor::view::PaintSheet(painter, req);
        benchmark::DoNotOptimize(r.lastRow);
    }
}

void BM_PaintPageWithoutCharts(benchmark::State& state) { paintPage(state, 0); }
BENCHMARK(BM_PaintPageWithoutCharts)->Unit(benchmark::kMillisecond);

void BM_PaintPageWith20CachedCharts(benchmark::State& state) { paintPage(state, 20); }
BENCHMARK(BM_PaintPageWith20CachedCharts)->Unit(benchmark::kMillisecond);

}  // namespace

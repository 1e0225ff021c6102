// The sheet view: one full screen of a 9,999 x 255 page painted at the
// display scale, and the page layout (every page break) of that page.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <memory>

#include "document/cqorsdoc.h"
#include "engine/celltypes.h"
#include "engine/creporthandle.h"
#include "view/cellpainter.h"
#include "print/pagelayout.h"
#include "print/sheetgeometry.h"

namespace {

constexpr int kRows = 9999;
constexpr int kCols = 255;
constexpr int kFirstRow = 5000;
constexpr int kFirstCol = 100;

// Painting needs fonts, so a GUI application on the offscreen platform.
void ensureGuiApp() {
    if (QGuiApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qorbench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// A full-size page in data state with numbers and texts on the screen
// that the benchmark paints.
struct BigPage {
    CQorsDoc doc;
    qor::view::DocSheetSource source{&doc};
    qor::view::SheetGeometry geo;
    bool ok = false;

    BigPage() {
        ensureGuiApp();
        if (!doc.Files().OnNewDocument() || !doc.ResizeTable(kRows, kCols) || !doc.EnterDataState()) return;
        CReportHandle* report = doc.GetReport();
        for (int r = kFirstRow; r < kFirstRow + 60; ++r)
            for (int c = kFirstCol; c < kFirstCol + 30; ++c) {
                const CellValue v = (r + c) % 3
                                        ? CellValue::ofNumber(r * 1.25 + c)
                                        : CellValue::ofText(QStringLiteral("项目%1").arg(r));
                report->SetCellValue(v, r + 1, c + 1);
            }
        geo.SetSource(&source);
        geo.SetScale(qor::view::kDefaultViewScale);
        geo.Refresh();
        const qor::view::ViewState vs = qor::view::DefaultViewState();
        geo.SetHeaders(vs.headerWidth, vs.headerHeight);
        geo.SetFirstCell(kFirstRow, kFirstCol);
        ok = geo.LastRow() == kRows - 1 && geo.LastColumn() == kCols - 1;
    }
};

void BM_PaintFullScreen(benchmark::State& state) {
    BigPage page;
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
    for (auto _ : state) {
        QPainter painter(&image);
        const qor::view::PaintResult r = qor::view::PaintSheet(painter, req);
        benchmark::DoNotOptimize(r.lastRow);
    }
}
BENCHMARK(BM_PaintFullScreen)->Unit(benchmark::kMillisecond);

void BM_PageLayout(benchmark::State& state) {
    BigPage page;
    if (!page.ok) {
        state.SkipWithError("could not make the page");
        return;
    }
    qor::view::SheetGeometry printGeo = page.geo;
    printGeo.SetScale(page.doc.PageSetup().scale);
    const qor::view::PageSetup setup = qor::view::PageSetupFromDocument(page.doc);
    const qor::view::PageRect a4{0, 0, 595, 842};  // A4 in points
    int pages = 0;
    for (auto _ : state) {
        const qor::view::LayoutResult r = qor::view::ComputePageLayout(printGeo, setup, a4);
        pages = r.pages.value_or(-1);
        benchmark::DoNotOptimize(r.breaks.rows.data());
    }
    state.counters["pages"] = pages;
}
BENCHMARK(BM_PageLayout)->Unit(benchmark::kMillisecond);

// The geometry's own refresh, which the view runs on every document change.
void BM_GeometryRefresh(benchmark::State& state) {
    BigPage page;
    if (!page.ok) {
        state.SkipWithError("could not make the page");
        return;
    }
    for (auto _ : state) {
        page.geo.Refresh();
        benchmark::DoNotOptimize(page.geo.SheetHeight());
    }
}
BENCHMARK(BM_GeometryRefresh)->Unit(benchmark::kMillisecond);

}  // namespace

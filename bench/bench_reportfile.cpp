// Report files: create and save a full-size report, open it again.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "engine/creportfile.h"
#include "engine/creporthandle.h"

namespace {

constexpr uint16_t kRows = 9999;
constexpr uint16_t kCols = 255;
constexpr int kPages = 12;

QString makeLargeReport(const QString& path) {
    QFile::remove(path);
    CReportHandle h(path);
    uint16_t r = kRows, c = kCols;
    h.AccessTableSize(1, &r, &c);
    h.AppendRowColPage(kPages, 2);
    h.Save();
    return h.GetPathName();
}

void BM_CreateAndSaveLargeReport(benchmark::State& state) {
    QTemporaryDir dir;
    for (auto _ : state) {
        makeLargeReport(dir.path() + "/large.rep");
    }
    state.SetLabel("9,999 x 255, 12 pages");
}
BENCHMARK(BM_CreateAndSaveLargeReport)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_OpenLargeReport(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeLargeReport(dir.path() + "/large.rep");
    uint64_t pageReads = 0;
    for (auto _ : state) {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        if (!h.IsOpen()) state.SkipWithError("open failed");
        pageReads += h.GetPageReadCount();
    }
    // Opening reads the header and the directories only.
    state.counters["page_reads"] = double(pageReads);
}
BENCHMARK(BM_OpenLargeReport)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadOnePage(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeLargeReport(dir.path() + "/large.rep");
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    h.EnterDataState(0);
    int page = 1;
    for (auto _ : state) {
        h.SetCurPage(page);
        page = page % kPages + 1;
    }
}
BENCHMARK(BM_LoadOnePage)->Unit(benchmark::kMillisecond)->Iterations(12);

}  // namespace

namespace {

// Opens a report and reads one cell of its last page; seconds taken.
double openAndReadLastPage(const QString& path) {
    QElapsedTimer t;
    t.start();
    CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
    auto page = h.GetPage(h.GetPageCount());
    benchmark::DoNotOptimize(page ? page->Slot(1, 1).numberValue() : -1.0);
    return double(t.nsecsElapsed()) / 1e9;
}

// Opening a full-size report to read one cell of its last page, against
// the same on a 50 x 7 report. Opening copies nothing, but the 20 MB of
// cell formats and the 30 MB page record are read and their CRCs checked
// before any value is used; that floor sets the ratio ("large_ms" is
// what to watch).
void BM_OpenLargeReportReadLastPageVsSmall(benchmark::State& state) {
    QTemporaryDir dir;
    const QString large = makeLargeReport(dir.path() + "/large.rep");
    QString small;
    {
        CReportHandle h(dir.path() + "/small.rep");
        h.AppendRowColPage(kPages, 2);
        h.Save();
        small = h.GetPathName();
    }
    double smallSeconds = 0;
    constexpr int kSmallRuns = 20;
    for (int i = 0; i < kSmallRuns; ++i) smallSeconds += openAndReadLastPage(small);
    smallSeconds /= kSmallRuns;
    double largeSeconds = 0;
    for (auto _ : state) {
        const double s = openAndReadLastPage(large);
        largeSeconds += s;
        state.SetIterationTime(s);
    }
    largeSeconds /= double(state.iterations());
    state.counters["small_ms"] = smallSeconds * 1e3;
    state.counters["large_ms"] = largeSeconds * 1e3;
    state.counters["ratio"] = largeSeconds / smallSeconds;
}
BENCHMARK(BM_OpenLargeReportReadLastPageVsSmall)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

namespace {

// A search by keyword reads every page's keywords: from the records alone
// against loading each page, over the full-size report's 12 pages. Both
// read and check every byte; the first builds no page and keeps no cache.
void BM_KeywordsOfEveryPage(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = makeLargeReport(dir.path() + "/large.rep");
    const bool alone = state.range(0) != 0;
    for (auto _ : state) {
        CReportHandle h(path, CReportHandle::OpenMode::OpenExisting);
        h.EnterDataState(0);
        for (int p = 1; p <= h.GetPageCount(); ++p) {
            qor::KeywordValue v;
            if (alone) {
                if (h.GetPageKeyword(0, &v, p) != 0) state.SkipWithError("keyword read failed");
            } else {
                auto page = h.GetPage(p);
                if (!page) state.SkipWithError("page read failed");
                v = page->Keyword(0);
            }
            benchmark::DoNotOptimize(v.kind);
        }
        state.counters["loaded_pages"] = h.GetReportFile()->LoadedPageCount();
    }
    state.SetLabel(alone ? "keyword part only" : "whole pages");
}
BENCHMARK(BM_KeywordsOfEveryPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// The frame's update pass: every command's state asked of the router (view,
// document, child frame, main frame) and set on its action, with a 9,999 x
// 255 report open; beside it, the same actions set directly with states
// known in advance, which is what the pass costs at the least (aim: the
// routed pass at most twice that).
#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <memory>

#include "document/cqorsdoc.h"
#include "engine/creporthandle.h"
#include "frames/cchildframe.h"
#include "frames/cmainframe.h"
#include "frames/desktop.h"

namespace {

bool ensureWidgetApp() {
    if (QCoreApplication::instance()) return qobject_cast<QApplication*>(QCoreApplication::instance());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qorbench";
    static char* argv[] = {name, nullptr};
    // Left to the end of the process: Qt's own statics go first at exit.
    new QApplication(argc, argv);
    return true;
}

struct FrameWithBigReport {
    std::unique_ptr<qor::frames::CMainFrame> frame;
    bool ok = false;
    FrameWithBigReport() {
        qor::frames::DesktopOptions options;
        options.widgetDialogs = false;
        options.chineseQt = false;
        frame = qor::frames::SetUpDesktop(options);
        qor::frames::CChildFrame* child = frame->NewDocument();
        if (!child) return;
        uint16_t rows = 9999, cols = 255;
        ok = child->GetDocument()->GetReport()->AccessTableSize(1, &rows, &cols) == 0;
        child->GetDocument()->Selection().SetCurrentCell(5000, 100);
    }
    ~FrameWithBigReport() {
        for (auto* child : frame->Children()) child->GetDocument()->SetModifiedFlag(false);
    }
};

// Lives as long as the application object.
FrameWithBigReport* bigFrame() {
    static FrameWithBigReport* f = new FrameWithBigReport;
    return f;
}

void BM_UpdatePassThroughTheRouter(benchmark::State& state) {
    if (!ensureWidgetApp()) {
        state.SkipWithError("another kind of application object exists");
        return;
    }
    FrameWithBigReport* f = bigFrame();
    if (!f->ok) {
        state.SkipWithError("no report");
        return;
    }
    qor::frames::CommandRouter& router = f->frame->Router();
    for (auto _ : state) router.UpdateAll();
    state.counters["commands"] = double(router.ActionIds().size());
}
BENCHMARK(BM_UpdatePassThroughTheRouter)->Unit(benchmark::kMicrosecond);

void BM_UpdatePassSetDirectly(benchmark::State& state) {
    if (!ensureWidgetApp()) {
        state.SkipWithError("another kind of application object exists");
        return;
    }
    FrameWithBigReport* f = bigFrame();
    if (!f->ok) {
        state.SkipWithError("no report");
        return;
    }
    qor::frames::CommandRouter& router = f->frame->Router();
    struct Known {
        QAction* action;
        qor::CommandState state;
    };
    std::vector<Known> known;
    for (int id : router.ActionIds()) known.push_back({router.FindAction(id), router.Query(id)});
    for (auto _ : state) {
        for (Known& k : known) {
            k.action->setEnabled(k.state.enabled);
            k.action->setChecked(k.state.checked);
            if (!k.state.text.isEmpty()) k.action->setText(k.state.text);
            k.action->setStatusTip(k.state.reason);
        }
    }
}
BENCHMARK(BM_UpdatePassSetDirectly)->Unit(benchmark::kMicrosecond);

}  // namespace
